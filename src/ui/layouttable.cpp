#include "layouttable.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace {

constexpr QStringView kWindow;
constexpr QStringView kFrame = u"Frame3";

constexpr std::array<ControlPlacement, 38> kTable = {{
    // Chart area
    {u"iPlotX", kWindow, 0, 0, 14295, 6975},
    {u"RichText1", kWindow, 4680, 1200, 5055, 4575},
    // Battery-status frame and its grid
    {u"Frame3", kWindow, 120, 7080, 8775, 2055},
    {u"Label15", kFrame, 1440, 360, 825, 210},
    {u"Label16", kFrame, 3195, 360, 945, 210},
    {u"Label17", kFrame, 4440, 360, 945, 210},
    {u"Label18", kFrame, 5775, 360, 1065, 210},
    {u"Label10", kFrame, 7080, 360, 465, 210},
    {u"Label1", kFrame, 480, 840, 855, 255},
    {u"Label2", kFrame, 480, 1440, 735, 255},
    {u"iSSi_T1", kFrame, 1320, 720, 1500, 420},
    {u"iSSi_V1", kWindow, 3240, 7800, 1020, 420},  // over its frame cell 120+3120, 7080+720
    {u"iSSi_I1", kFrame, 4440, 720, 1020, 420},
    {u"iSSi_R1", kFrame, 5760, 720, 1020, 420},
    {u"iSSi_W1", kFrame, 7080, 720, 1020, 420},
    {u"iSSi_T2", kFrame, 1320, 1320, 1500, 420},
    {u"iSSi_V2", kFrame, 3120, 1320, 1020, 420},
    {u"iSSi_I2", kFrame, 4440, 1320, 1020, 420},
    {u"iSSi_R2", kFrame, 5760, 1320, 1020, 420},
    {u"iSSi_W2", kFrame, 7080, 1320, 1020, 420},
    // Port row
    {u"cmbCOM", kWindow, 9240, 7320, 1215, 330},
    {u"cmdOpenCOM", kWindow, 10680, 7320, 1095, 375},
    {u"cmdCloseCOM", kWindow, 10680, 7320, 1095, 375},
    {u"LED1", kWindow, 11925, 7380, 255, 255},
    {u"cmdStart", kWindow, 12360, 7320, 1095, 375},
    {u"LED2", kWindow, 13560, 7380, 375, 255},
    // Display row
    {u"Check1", kWindow, 9240, 7845, 1335, 255},
    {u"Command1", kWindow, 10680, 7800, 1110, 360},
    {u"iSSc_time", kWindow, 12000, 7920, 2055, 495},
    {u"Check2", kWindow, 9240, 8280, 1335, 180},
    {u"Check3", kWindow, 10680, 8280, 1095, 180},
    // Save row
    {u"CmdSaveDisp", kWindow, 9240, 8760, 1215, 375},
    {u"TxtSavePath", kWindow, 10800, 8790, 1695, 315},
    {u"CmdAmend", kWindow, 12840, 8760, 1215, 375},
    // Status row, below the initial client area
    {u"Text3", kWindow, 5520, 9600, 735, 375},
    {u"Text2", kWindow, 6480, 9600, 5295, 615},
    {u"Label19", kWindow, 12000, 9600, 555, 180},
    {u"Text11", kWindow, 12840, 9600, 1095, 375},
}};

}  // namespace

QRect ControlPlacement::Pixels() const {
  return QRect(left / kTwipsPerPixel, top / kTwipsPerPixel, width / kTwipsPerPixel,
               height / kTwipsPerPixel);
}

std::span<const ControlPlacement> LayoutTable() {
  return kTable;
}

const ControlPlacement& PlacementOf(QStringView name) {
  const auto it = std::find_if(kTable.begin(), kTable.end(),
                               [name](const ControlPlacement& p) { return p.name == name; });
  if (it == kTable.end()) {
    throw std::out_of_range("no placement for control");
  }
  return *it;
}
