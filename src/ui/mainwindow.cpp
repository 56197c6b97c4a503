#include "mainwindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "acquisitionpass.h"
#include "chartsetup.h"
#include "checkboxfitstyle.h"
#include "clock.h"
#include "datetime.h"
#include "devicelossnotice.h"
#include "dialogfolderchooser.h"
#include "dischargechart.h"
#include "focusmark.h"
#include "lamp.h"
#include "layouttable.h"
#include "logpane.h"
#include "mainwindowaccessible.h"
#include "messageboxsink.h"
#include "pausems.h"
#include "portlistaccessible.h"
#include "portsettings.h"
#include "savecontrol.h"
#include "segmentclock.h"
#include "segmentreadout.h"
#include "serialport.h"
#include "serialportdevice.h"
#include "songfont.h"
#include "textboxes.h"

namespace {

constexpr int kTimerIntervalMs = 1000;

// A check box's signal for every change of its state.
#if QT_VERSION >= QT_VERSION_CHECK(6, 7, 0)
constexpr auto kCheckStateChanged = &QCheckBox::checkStateChanged;
#else
constexpr auto kCheckStateChanged = &QCheckBox::stateChanged;
#endif

const QColor kWindowColor(255, 192, 128);
const QColor kFrameCaptionColor(128, 0, 128);
const QColor kStatusTextColor(0, 0, 255);
const QColor kStatusBackColor(224, 224, 224);

// Digits and leading-zero style of the readouts: time 6 digits with unlit
// leading positions; voltage and temperature zero-padded; current and
// capacity unlit.
SegmentReadout* MakeReadout(Quantity q, QWidget* parent) {
  switch (q) {
    case Quantity::Time:
      return new SegmentReadout(6, false, parent);
    case Quantity::Voltage:
    case Quantity::Temperature:
      return new SegmentReadout(4, true, parent);
    case Quantity::Current:
    case Quantity::Capacity:
      break;
  }
  return new SegmentReadout(4, false, parent);
}

// Gives a control its designed name, by which tests and accessibility tools
// find it.
template <typename Widget>
Widget* Named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1StringView(name));
  return widget;
}

std::array<Readout*, kQuantityCount> AsReadouts(
    const std::array<SegmentReadout*, kQuantityCount>& r) {
  return {r[0], r[1], r[2], r[3], r[4]};
}

QColor ControlFace() {
  return QApplication::palette().color(QPalette::Button);
}

QColor Highlight() {
  return QApplication::palette().color(QPalette::Highlight);
}

void SetColors(QWidget* w, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> roles) {
  QPalette p = w->palette();
  for (const auto& [role, color] : roles) {
    p.setColor(role, color);
  }
  w->setPalette(p);
}

}  // namespace

MainWindow::MainWindow(MainWindowServices services, QWidget* parent)
    : QWidget(parent), MSComm1(std::move(services.port)) {
  if (!services.messages) {
    m_ownMessages = std::make_unique<MessageBoxSink>(this);
  }
  if (!services.folders) {
    m_ownFolders = std::make_unique<DialogFolderChooser>();
  }
  if (!services.clock) {
    m_ownClock = std::make_unique<SystemClock>();
  }
  m_messages = services.messages ? services.messages : m_ownMessages.get();
  m_folders = services.folders ? services.folders : m_ownFolders.get();
  m_clock = services.clock ? services.clock : m_ownClock.get();
  m_pause = services.pause ? std::move(services.pause) : PortControl::Pause(&PauseMs);

  InstallMainWindowAccessibility();
  InstallPortListAccessibility();
  setWindowTitle(m_title.Title());
  CreateControls();
  StyleControls();
  PlaceControls();
  Restack();

  m_text3Box = std::make_unique<LineEditBox>(*Text3);
  m_text11Box = std::make_unique<LineEditBox>(*Text11);
  m_portControl = std::make_unique<PortControl>(
      PortControlView{*cmbCOM, *cmdOpenCOM, *cmdCloseCOM, *cmdStart, *LED1, *LED2, *Timer1},
      *MSComm1, *m_messages, m_pause);
  m_portControl->SetPortChanged(std::move(services.portChanged));
  m_recorder = services.recorder;
  m_saveControl =
      new SaveControl(*TxtSavePath, *CmdSaveDisp, *RichText1, *m_clock, *m_folders, this);
  // A failed save changes nothing on screen; the button's description, which
  // a screen reader reads out as it changes on the focused button, says why.
  m_saveControl->SetFailureHandler([this](const QString& reason) {
    CmdSaveDisp->setAccessibleDescription(tr("保存失败：%1").arg(reason));
  });
  m_deviceNotice = new DeviceLossNotice(
      *LED1, [this](const QString& text) { SetTitleNotice(TitleNotices::Slot::Device, text); },
      this);

  Connect();
  RunLoadSequence();
  ShowPortDevices();
  new FocusMark(this);
  resize(kClientWidthTwips / kTwipsPerPixel, kClientHeightTwips / kTwipsPerPixel);
  Timer2->start();
}

MainWindow::~MainWindow() = default;

void MainWindow::CreateControls() {
  // Controls are created in the designed tab order, which makes it the focus
  // chain; compound controls (the editable port list) must be complete before
  // the next control is created so their inner parts keep their place.
  // Stacking is set afterwards in Restack().
  LED1 = Named(new Lamp(this), "LED1");
  LED2 = Named(new Lamp(this), "LED2");

  Frame3 = Named(new QGroupBox(QStringLiteral("电池状态"), this), "Frame3");
  Label15 = Named(new QLabel(QStringLiteral("时间(S)"), Frame3), "Label15");
  Label16 = Named(new QLabel(QStringLiteral("电压(mV)"), Frame3), "Label16");
  Label17 = Named(new QLabel(QStringLiteral("电流(mA)"), Frame3), "Label17");
  Label18 = Named(new QLabel(QStringLiteral("容量(mAh)"), Frame3), "Label18");
  Label10 = Named(new QLabel(QStringLiteral("温度"), Frame3), "Label10");
  iPlotX = Named(new DischargeChart(this), "iPlotX");
  Label1 = Named(new QLabel(QStringLiteral("通道 1"), Frame3), "Label1");
  Label2 = Named(new QLabel(QStringLiteral("通道 2"), Frame3), "Label2");
  cmdOpenCOM = Named(new QPushButton(QStringLiteral("打开串口"), this), "cmdOpenCOM");
  cmbCOM = Named(new QComboBox(this), "cmbCOM");
  cmbCOM->setEditable(true);
  cmbCOM->setInsertPolicy(QComboBox::NoInsert);
  cmdStart = Named(new QPushButton(QString::fromUtf16(kConnectCaption), this), "cmdStart");
  CmdSaveDisp = Named(new QPushButton(QStringLiteral("保存数据"), this), "CmdSaveDisp");
  CmdAmend = Named(new QPushButton(QStringLiteral("更改路径"), this), "CmdAmend");
  TxtSavePath = Named(new QLineEdit(DefaultSaveFolder(), this), "TxtSavePath");
  Text2 = Named(new RawTextBox(this), "Text2");
  Text11 = Named(new QLineEdit(this), "Text11");
  Label19 = Named(new QLabel(QStringLiteral("状态："), this), "Label19");
  Command1 = Named(new QPushButton(QStringLiteral("清除图表"), this), "Command1");
  Text3 = Named(new QLineEdit(QStringLiteral("5533"), this), "Text3");
  Check1 = Named(new QCheckBox(QStringLiteral("显示通道 1"), this), "Check1");
  Check2 = Named(new QCheckBox(QStringLiteral("显示通道 2"), this), "Check2");
  // A child of the window laid over its frame cell.
  iSSi_V1 = Named(MakeReadout(Quantity::Voltage, this), "iSSi_V1");
  iSSi_T1 = Named(MakeReadout(Quantity::Time, Frame3), "iSSi_T1");
  iSSi_I1 = Named(MakeReadout(Quantity::Current, Frame3), "iSSi_I1");
  iSSi_R1 = Named(MakeReadout(Quantity::Capacity, Frame3), "iSSi_R1");
  iSSi_W1 = Named(MakeReadout(Quantity::Temperature, Frame3), "iSSi_W1");
  iSSi_T2 = Named(MakeReadout(Quantity::Time, Frame3), "iSSi_T2");
  iSSi_V2 = Named(MakeReadout(Quantity::Voltage, Frame3), "iSSi_V2");
  iSSi_I2 = Named(MakeReadout(Quantity::Current, Frame3), "iSSi_I2");
  iSSi_R2 = Named(MakeReadout(Quantity::Capacity, Frame3), "iSSi_R2");
  iSSi_W2 = Named(MakeReadout(Quantity::Temperature, Frame3), "iSSi_W2");
  iSSc_time = Named(new SegmentClock(this), "iSSc_time");
  cmdCloseCOM = Named(new QPushButton(QStringLiteral("关闭串口"), this), "cmdCloseCOM");
  Check3 = Named(new QCheckBox(QStringLiteral("数据窗口"), this), "Check3");
  RichText1 = Named(new LogPane(this), "RichText1");

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer2 = Named(new QTimer(this), "Timer2");
}

void MainWindow::StyleControls() {
  setFont(SongFont(9));
  setAutoFillBackground(true);
  SetColors(this, {{QPalette::Window, kWindowColor}});

  Frame3->setFont(SongFont(12));
  Frame3->setAutoFillBackground(true);
  SetColors(Frame3,
            {{QPalette::Window, ControlFace()}, {QPalette::WindowText, kFrameCaptionColor}});

  for (QLabel* label : {Label15, Label16, Label17, Label18, Label10, Label1, Label2}) {
    label->setFont(SongFont(10.5, true));
    label->setAutoFillBackground(true);
    SetColors(label, {{QPalette::Window, ControlFace()}, {QPalette::WindowText, Highlight()}});
  }
  Label19->setFont(SongFont(9));
  SetColors(Label19, {{QPalette::WindowText, Highlight()}});

  cmbCOM->setFont(SongFont(10.5));

  Text11->setFont(SongFont(12, true));
  Text11->setAlignment(Qt::AlignCenter);
  SetColors(Text11, {{QPalette::Text, kStatusTextColor}, {QPalette::Base, kStatusBackColor}});

  Text2->SetText(QStringLiteral("接收数据"));
  Text2->setEnabled(false);  // for the window's whole life; only the program writes it

  Check1->setChecked(true);
  Check2->setChecked(true);
  Check3->setChecked(false);
  // Two boxes are lower than the style's check square: draw one that fits.
  auto* fit = new CheckBoxFitStyle;
  fit->setParent(this);
  for (QCheckBox* box : {Check1, Check2, Check3}) {
    box->setStyle(fit);
  }

  // Display-only controls never take the focus.
  for (QWidget* w : std::initializer_list<QWidget*>{
           iPlotX,  iSSi_T1, iSSi_V1, iSSi_I1,   iSSi_R1, iSSi_W1, iSSi_T2, iSSi_V2,
           iSSi_I2, iSSi_R2, iSSi_W2, iSSc_time, LED1,    LED2,    Frame3,  Label15,
           Label16, Label17, Label18, Label10,   Label1,  Label2,  Label19}) {
    w->setFocusPolicy(Qt::NoFocus);
  }

  // Screen readers name each readout by its row and column headings.
  const std::array<QLabel*, kQuantityCount> columns = {Label15, Label16, Label17, Label18, Label10};
  for (const int channel : {1, 2}) {
    const QLabel* row = channel == 1 ? Label1 : Label2;
    const auto readouts = ChannelReadouts(channel);
    for (size_t i = 0; i < readouts.size(); ++i) {
      readouts[i]->setAccessibleName(row->text() + u' ' + columns[i]->text());
    }
  }
  iSSc_time->setAccessibleName(QStringLiteral("时钟"));
  // Boxes without a caption of their own are named by the label or button
  // they belong to; the lamps say what they show.
  cmbCOM->setAccessibleName(tr("串口"));
  // On Linux a combo box reads its current entry as its name and is named by
  // the label whose buddy it is; the port list has no caption on screen, so
  // it gets a label that is never shown.
  auto* portListLabel = Named(new QLabel(tr("串口"), this), "cmbCOMLabel");
  portListLabel->setBuddy(cmbCOM);
  portListLabel->hide();
  // The focus lands in the list's text field, which is what a reader names.
  cmbCOM->lineEdit()->setAccessibleName(tr("串口"));
  TxtSavePath->setAccessibleName(tr("保存路径"));
  Text3->setAccessibleName(tr("非数据帧计数"));
  Text2->setAccessibleName(tr("原始数据"));
  Text11->setAccessibleName(tr("状态"));
  RichText1->setAccessibleName(tr("接收数据"));
  LED1->SetStateNames(tr("串口已打开"), tr("串口未打开"));
  LED2->SetStateNames(tr("已连接"), tr("未连接"));

  Timer1->setInterval(kTimerIntervalMs);
  Timer2->setInterval(kTimerIntervalMs);
}

void MainWindow::PlaceControls() {
  for (const ControlPlacement& p : LayoutTable()) {
    QWidget* w = Control(p.name);
    w->setGeometry(p.Pixels());
  }
  // Headings that size themselves to their text keep only their position.
  for (QLabel* label : {Label15, Label16, Label17, Label18, Label10, Label19}) {
    label->adjustSize();
  }
}

const QList<QStringView>& MainWindow::TabOrder() {
  static const QList<QStringView> order = {
      u"Frame3",      u"Label15",  u"Label16",     u"Label17",     u"Label18", u"Label10",
      u"iPlotX",      u"Label1",   u"Label2",      u"cmdOpenCOM",  u"cmbCOM",  u"cmdStart",
      u"CmdSaveDisp", u"CmdAmend", u"TxtSavePath", u"Text2",       u"Text11",  u"Label19",
      u"Command1",    u"Text3",    u"Check1",      u"Check2",      u"iSSi_V1", u"iSSi_T1",
      u"iSSi_I1",     u"iSSi_R1",  u"iSSi_W1",     u"iSSi_T2",     u"iSSi_V2", u"iSSi_I2",
      u"iSSi_R2",     u"iSSi_W2",  u"iSSc_time",   u"cmdCloseCOM", u"Check3",  u"RichText1",
  };
  return order;
}

void MainWindow::Restack() {
  // Upper first: the log pane over the chart, the close button over the open
  // button, the channel 1 voltage readout over the frame. Lamps lie beneath.
  iPlotX->lower();
  RichText1->raise();
  cmdCloseCOM->raise();
  iSSi_V1->raise();
  LED1->lower();
  LED2->lower();
}

std::array<SegmentReadout*, kQuantityCount> MainWindow::ChannelReadouts(int channel) const {
  if (channel == 1) {
    return {iSSi_T1, iSSi_V1, iSSi_I1, iSSi_R1, iSSi_W1};
  }
  return {iSSi_T2, iSSi_V2, iSSi_I2, iSSi_R2, iSSi_W2};
}

void MainWindow::SetTitleNotice(TitleNotices::Slot slot, const QString& text) {
  if (m_title.Set(slot, text)) {
    setWindowTitle(m_title.Title());
  }
}

QWidget* MainWindow::Control(QStringView name) const {
  return findChild<QWidget*>(name.toString());
}

void MainWindow::Connect() {
  if (auto* device = dynamic_cast<SerialPortDevice*>(MSComm1.get())) {
    connect(device, &SerialPortDevice::DeviceWentAway, m_deviceNotice,
            &DeviceLossNotice::OnDeviceWentAway);
    connect(device, &SerialPortDevice::DeviceCameBack, m_deviceNotice,
            &DeviceLossNotice::OnDeviceCameBack);
  }
  connect(Timer1, &QTimer::timeout, this, &MainWindow::OnAcquisitionTick);
  connect(Timer2, &QTimer::timeout, this, &MainWindow::OnClockTick);
  // Queued: the pause of the list's handler must not run inside another
  // control's input handling (see PortControl::StartUp).
  connect(cmbCOM, &QComboBox::currentIndexChanged, this, &MainWindow::OnPortListClicked,
          Qt::QueuedConnection);
  connect(cmdOpenCOM, &QPushButton::clicked, this, &MainWindow::OnOpenPortClicked);
  connect(cmdCloseCOM, &QPushButton::clicked, this, &MainWindow::OnClosePortClicked);
  connect(cmdStart, &QPushButton::clicked, this, &MainWindow::OnConnectClicked);
  connect(Command1, &QPushButton::clicked, this, &MainWindow::OnClearChartClicked);
  // Every change of a box's state runs its handler once: a click, Space, an
  // accessibility tool's Toggle action and a change made by code alike.
  connect(Check1, kCheckStateChanged, this, &MainWindow::OnShowChannel1Clicked);
  connect(Check2, kCheckStateChanged, this, &MainWindow::OnShowChannel2Clicked);
  connect(Check3, kCheckStateChanged, this, &MainWindow::OnDataWindowClicked);
  connect(CmdAmend, &QPushButton::clicked, this, &MainWindow::OnChangeFolderClicked);
  connect(CmdSaveDisp, &QPushButton::clicked, this, &MainWindow::OnSaveDataClicked);
  CmdSaveDisp->installEventFilter(this);
}

void MainWindow::RunLoadSequence() {
  SetUpChart();
  m_portControl->StartUp();
  // The log pane: hidden until "数据窗口" is checked, and read-only so the
  // record of received data cannot be edited by accident.
  RichText1->hide();
  RichText1->setReadOnly(true);
}

void MainWindow::SetUpChart() {
  ApplyChartStartUp(*iPlotX);
}

void MainWindow::OnAcquisitionTick() {
  const AcquisitionTargets targets{
      .port = *MSComm1,
      .rawBox = *Text2,
      .nonFrameBox = *m_text3Box,
      .statusBox = *m_text11Box,
      .log = *RichText1,
      .channel1 = AsReadouts(ChannelReadouts(1)),
      .channel2 = AsReadouts(ChannelReadouts(2)),
      .chart = *iPlotX,
      .recorder = m_recorder,
  };
  RunAcquisitionPass(targets);
}

void MainWindow::OnClockTick() {
  iSSc_time->SetTime(ToDateTimeValue(m_clock->LocalNow()));
}

void MainWindow::OnPortListClicked() {
  m_portControl->OnPortListClicked();
}

void MainWindow::OnOpenPortClicked() {
  m_portControl->OnOpenPortClicked();
  NamePortLamp();
}

void MainWindow::OnClosePortClicked() {
  m_portControl->OnClosePortClicked();
  if (!MSComm1->IsOpen()) {
    m_deviceNotice->OnPortClosed();
  }
  NamePortLamp();
}

void MainWindow::NamePortLamp() {
  // After a failed open the lamp is lit as designed, but the port is not
  // open: its name says so.
  LED1->SetStateNames(MSComm1->IsOpen() ? tr("串口已打开") : tr("串口打开失败"), tr("串口未打开"));
}

void MainWindow::ShowPortDevices() {
  for (int i = 0; i < cmbCOM->count(); ++i) {
    cmbCOM->setItemData(i, CurrentPortMap().Device(i + 1), Qt::ToolTipRole);
  }
  cmbCOM->setToolTip(cmbCOM->itemData(cmbCOM->currentIndex(), Qt::ToolTipRole).toString());
  connect(cmbCOM, &QComboBox::currentIndexChanged, this, [this](int index) {
    cmbCOM->setToolTip(cmbCOM->itemData(index, Qt::ToolTipRole).toString());
  });
}

void MainWindow::OnConnectClicked() {
  m_portControl->OnConnectClicked();
}

void MainWindow::OnClearChartClicked() {
  iPlotX->ClearChart();
}

void MainWindow::OnShowChannel1Clicked() {
  iPlotX->SetTraceVisible(0, Check1->checkState() == Qt::Checked);
}

void MainWindow::OnShowChannel2Clicked() {
  iPlotX->SetTraceVisible(1, Check2->checkState() == Qt::Checked);
}

void MainWindow::OnDataWindowClicked() {
  RichText1->setVisible(Check3->checkState() == Qt::Checked);
}

void MainWindow::OnChangeFolderClicked() {
  m_saveControl->OnChangeFolderClicked();
}

void MainWindow::OnSaveDataClicked() {
  m_saveHadFocus = CmdSaveDisp->hasFocus();
  m_saveControl->OnSaveDataClicked();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == CmdSaveDisp && event->type() == QEvent::EnabledChange) {
    if (!CmdSaveDisp->isEnabled()) {
      CmdSaveDisp->setAccessibleDescription(QString());  // saved: no failure to tell
      // The confirmation shows in the path box, from its start ("OK,...")
      // however narrow the box. The focus the disabled button gave up goes
      // to that box, so a screen reader reads the result out.
      TxtSavePath->setCursorPosition(0);
      if (m_saveHadFocus) {
        TxtSavePath->setFocus(Qt::OtherFocusReason);
      }
    } else if (m_saveHadFocus) {
      m_saveHadFocus = false;
      if (TxtSavePath->hasFocus()) {
        CmdSaveDisp->setFocus(Qt::OtherFocusReason);
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}
