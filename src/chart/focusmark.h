#pragma once

#include <QPointer>
#include <QWidget>

// A clear mark around the control that has the keyboard focus in a window:
// a ring two pixels wide, black dashes on white, drawn inside the control's
// own rectangle over its edge. No control moves, grows or changes colour
// for it, and it takes no mouse clicks. One per window; it follows the
// focus, and an editable list's text field or a scroll area's inside are
// marked as the whole control. It lives with the chart library because both
// windows build on it.
class FocusMark : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kWidthPx = 2;

  explicit FocusMark(QWidget* window);
  // The control marked now, or nullptr.
  QWidget* Target() const { return m_target; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Follow(QWidget* focus);
  void Place();

  QPointer<QWidget> m_target;
};
