#pragma once

#include <QWidget>
#include <array>
#include <memory>

#include "portcontrol.h"
#include "telemetryframe.h"
#include "titlenotices.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class Clock;
class DeviceLossNotice;
class DischargeChart;
class FolderChooser;
class Lamp;
class LineEditBox;
class LogPane;
class MessageSink;
class PassRecorder;
class RawTextBox;
class SaveControl;
class SegmentClock;
class SegmentReadout;
class SerialPort;

// What the window talks to outside itself. Null members get the desktop's own
// (message boxes, folder dialog, system clock, PauseMs).
struct MainWindowServices {
  std::unique_ptr<SerialPort> port;
  MessageSink* messages = nullptr;
  FolderChooser* folders = nullptr;
  Clock* clock = nullptr;
  PortControl::Pause pause;
  PassRecorder* recorder = nullptr;        // hears every pass (the session store)
  PortControl::PortChanged portChanged{};  // told when the port opens or closes
};

// The program's one window. It owns every control under the control's own
// name, places them from the layout table, runs the load sequence and hands
// each event to its one handler; the logic lives in the subsystem libraries.
class MainWindow : public QWidget {
  Q_OBJECT
 public:
  explicit MainWindow(MainWindowServices services, QWidget* parent = nullptr);
  ~MainWindow() override;

  // Chart area
  DischargeChart* iPlotX;
  LogPane* RichText1;
  // Battery-status frame
  QGroupBox* Frame3;
  QLabel *Label15, *Label16, *Label17, *Label18, *Label10, *Label1, *Label2;
  SegmentReadout *iSSi_T1, *iSSi_V1, *iSSi_I1, *iSSi_R1, *iSSi_W1;
  SegmentReadout *iSSi_T2, *iSSi_V2, *iSSi_I2, *iSSi_R2, *iSSi_W2;
  // Port row
  QComboBox* cmbCOM;
  QPushButton* cmdOpenCOM;
  QPushButton* cmdCloseCOM;
  Lamp* LED1;
  QPushButton* cmdStart;
  Lamp* LED2;
  // Display row
  QCheckBox* Check1;
  QPushButton* Command1;
  SegmentClock* iSSc_time;
  QCheckBox* Check2;
  QCheckBox* Check3;
  // Save row
  QPushButton* CmdSaveDisp;
  QLineEdit* TxtSavePath;
  QPushButton* CmdAmend;
  // Status row
  QLineEdit* Text3;
  RawTextBox* Text2;
  QLabel* Label19;
  QLineEdit* Text11;
  // Non-visual members
  QTimer* Timer1;
  QTimer* Timer2;
  std::unique_ptr<SerialPort> MSComm1;

  // Every control of the layout table by its name (nullptr if unknown).
  QWidget* Control(QStringView name) const;
  // The designed tab order, first to last.
  static const QList<QStringView>& TabOrder();

  // Sets or clears (empty text) one notice after the program's name in the
  // window title.
  void SetTitleNotice(TitleNotices::Slot slot, const QString& text);

 public slots:
  void SetUpChart();
  void OnAcquisitionTick();
  void OnClockTick();
  void OnPortListClicked();
  void OnOpenPortClicked();
  void OnClosePortClicked();
  void OnConnectClicked();
  void OnClearChartClicked();
  void OnShowChannel1Clicked();
  void OnShowChannel2Clicked();
  void OnDataWindowClicked();
  void OnChangeFolderClicked();
  // While the confirmation shows, the focus the disabled button gave up is
  // in the path box that shows it, read out by a screen reader; it comes
  // back to the button when the button is enabled again.
  void OnSaveDataClicked();

 private:
  void CreateControls();
  void PlaceControls();
  void StyleControls();
  void Restack();
  void Connect();
  void RunLoadSequence();
  // The port lamp's accessible names: lit after a failed open, it says the
  // open failed.
  void NamePortLamp();
  // Each port list entry's device as its tooltip, the list's own tooltip
  // that of the entry shown.
  void ShowPortDevices();
  // Follows "保存数据" being disabled and enabled: see OnSaveDataClicked.
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A channel's readouts in the order time, voltage, current, capacity,
  // temperature.
  std::array<SegmentReadout*, kQuantityCount> ChannelReadouts(int channel) const;

  std::unique_ptr<MessageSink> m_ownMessages;
  std::unique_ptr<FolderChooser> m_ownFolders;
  std::unique_ptr<Clock> m_ownClock;
  MessageSink* m_messages;
  FolderChooser* m_folders;
  Clock* m_clock;
  std::unique_ptr<LineEditBox> m_text3Box;
  std::unique_ptr<LineEditBox> m_text11Box;
  std::unique_ptr<PortControl> m_portControl;
  SaveControl* m_saveControl = nullptr;
  DeviceLossNotice* m_deviceNotice = nullptr;
  PortControl::Pause m_pause;
  PassRecorder* m_recorder = nullptr;
  bool m_saveHadFocus = false;  // "保存数据" had the focus when last clicked
  TitleNotices m_title{QStringLiteral("Orvanta")};
};
