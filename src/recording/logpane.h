#pragma once

#include <QAbstractScrollArea>
#include <QHash>
#include <array>

#include "acquisitionseams.h"
#include "logtext.h"

class QKeyEvent;
class QTextLayout;

// The receive log pane. It keeps the received text exactly as it came (CR LF
// and all; it is never read as HTML or rich text) in a LogText and draws only
// the lines in view, one line per row without wrapping, so both an append and
// a repaint cost the same at a week of frames as at the first one.
//
// Text is only ever appended. After every append the caret stands at the end
// with nothing selected and the view shows the end, whether the pane is shown
// or not. The user can select (mouse, Shift+click, Ctrl+A) and copy (Ctrl+C,
// context menu) and scroll with the mouse wheel. The keyboard moves the
// caret, the view following it, so a screen reader reads line by line:
// arrows by character and line, Page Up/Down by a page of rows, Home/End to
// the line's ends, Ctrl+Home/Ctrl+End to the text's; with Shift they select.
// A move costs the same at a month of log as at its start. The pane never
// takes typed text; read-only mode only hides the caret.
//
// Positions (caret, anchor) count UTF-16 code units from the start of the
// text.
class LogPane : public QAbstractScrollArea, public LogSink {
  Q_OBJECT
 public:
  // How AppendAndFollow stores the text. WholeTextReplacement is a benchmark
  // aid only: it reads the whole text, builds a new text from it plus the
  // chunk and re-indexes all of it on every call, as a pane that replaces
  // its whole text would, so its cost grows with the log.
  enum class AppendMode { InPlace, WholeTextReplacement };

  explicit LogPane(QWidget* parent = nullptr);
  ~LogPane() override;

  void AppendAndFollow(const QString& text) override;
  QString Text() const { return m_log.Text(); }

  void setReadOnly(bool readOnly);
  bool isReadOnly() const { return m_readOnly; }

  qsizetype CaretPosition() const { return m_caret; }
  qsizetype AnchorPosition() const { return m_anchor; }
  bool HasSelection() const { return m_anchor != m_caret; }
  QString SelectedText() const;
  // Selects from `anchor` to `caret` (clamped to the text).
  void SetSelection(qsizetype anchor, qsizetype caret);
  void SelectAll();
  void Copy() const;

  void SetAppendMode(AppendMode mode) { m_appendMode = mode; }
  const LogText& Log() const { return m_log; }
  // The first row in view.
  qsizetype FirstVisibleLine() const;
  // The text position under a viewport point.
  qsizetype PositionAt(QPoint viewportPoint) const;
  // The box of the character at `position`, in viewport coordinates (empty
  // when the text is empty); where the pane draws it now.
  QRect CharacterRect(qsizetype position) const;
  // Scrolls the least that brings `position` into view; caret and selection
  // stay.
  void ScrollToPosition(qsizetype position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;

 private:
  int LineHeight() const;
  int VisibleRows() const;
  // Lays out one line of the log for drawing or hit testing.
  void LayOutLine(qsizetype line, QTextLayout& layout) const;
  // Estimated pixel width of a stretch of text, from per-character advances
  // (exact widths would need a layout per appended line).
  int EstimateWidth(QStringView text);
  int CharAdvance(char16_t c);
  void MeasureAppended(qsizetype firstLine, qsizetype fromPosition);
  void RemeasureAll();
  void UpdateScrollRanges();
  void ScrollToCaret();
  // Scrolls the fewest rows that bring `line` into view.
  void ScrollLineIntoView(qsizetype line);
  // Scrolls the fewest pixels that bring the text's columns from `left`
  // (0 at the text's start), `width` wide, into view.
  void ScrollColumnsIntoView(int left, int width);
  void SetCaret(qsizetype position, bool keepAnchor);
  // Moves the caret for a navigation key; false for any other key.
  bool MoveCaretByKey(QKeyEvent* event);
  // Repaints the rows of lines first to last that are in view.
  void UpdateLines(qsizetype first, qsizetype last);

  LogText m_log;
  AppendMode m_appendMode = AppendMode::InPlace;
  bool m_readOnly = false;
  bool m_selecting = false;  // a mouse drag selection is in progress
  qsizetype m_caret = 0;
  qsizetype m_anchor = 0;
  qsizetype m_goalColumn = 0;     // code units; the column Up and Down keep
  bool m_keepGoalColumn = false;  // the last move was Up, Down or a page
  int m_widestLinePx = 0;         // estimated widest line, px
  int m_lastLinePx = 0;           // estimated width of the last line, px
  std::array<int, 128> m_asciiAdvancePx{};
  QHash<char16_t, int> m_otherAdvancePx;
};
