#pragma once

#include <QString>
#include <functional>

class QComboBox;
class QPushButton;
class QTimer;
class IndicatorLamp;
class MessageSink;
class SerialPort;

// The controls the port sequences switch. All are owned by the window.
struct PortControlView {
  QComboBox& cmbCOM;
  QPushButton& cmdOpenCOM;
  QPushButton& cmdCloseCOM;
  QPushButton& cmdStart;
  IndicatorLamp& LED1;  // port open
  IndicatorLamp& LED2;  // acquiring
  QTimer& Timer1;       // the acquisition timer
};

inline constexpr int kPortCount = 16;
inline constexpr char16_t kPortSettings[] = u"115200,n,8,1";
inline constexpr char16_t kMessageTitle[] = u"系统信息";
inline constexpr char16_t kNoPortSelected[] = u"指定串口发生错误！";
inline constexpr char16_t kOpenFailed[] =
    u"打开串口时发生错误，请确定该串口是否存在或者是否已被占用。";
inline constexpr char16_t kCloseFailed[] = u"关闭串口时发生错误，串口没有打开或者已经关闭。";
inline constexpr char16_t kConnectCaption[] = u"连接设备";
inline constexpr char16_t kDisconnectCaption[] = u"断开设备";

// The port list, the open/close/port-change sequences and the acquisition
// switch, with the button and lamp states that follow them:
//   Closed -> Open (open succeeded) | Open failed (no selection, set-up or
//   open failed); Open <-> Acquiring (connect button); Open -> Closed.
// In Open failed the close button covers the still-enabled open button.
class PortControl {
 public:
  using Pause = std::function<void(qint32 ms)>;
  // Told after the port was opened (its list entry, e.g. "COM3", and the
  // device) or closed.
  using PortChanged = std::function<void(bool open, const QString& entry, const QString& device)>;

  PortControl(PortControlView view, SerialPort& port, MessageSink& messages, Pause pause);

  // Fills the list and selects its first entry, running OnPortListClicked
  // for that selection, then disables the connect button and hides the
  // close button.
  //
  // The window must hand the list's later selections to OnPortListClicked
  // on the next turn of the event loop, never from inside the list's own
  // signal: that signal also comes when typed text is committed as the
  // focus leaves the list, inside another control's mouse press, where the
  // handler's pause would swallow the click.
  void StartUp();
  void SetPortChanged(PortChanged handler) { m_portChanged = std::move(handler); }

  void OnOpenPortClicked();
  void OnClosePortClicked();
  void OnPortListClicked();
  void OnConnectClicked();

 private:
  // The list entry the open sequence uses: -1 when the list's text is not
  // exactly one of its entries.
  int SelectedIndex() const;
  void ShowError(const char16_t* text);

  PortControlView m_view;
  SerialPort& m_port;
  MessageSink& m_messages;
  Pause m_pause;
  PortChanged m_portChanged;
};
