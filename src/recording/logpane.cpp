#include "logpane.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyleOptionSlider>
#include <QTextLayout>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

#include "logpaneaccessible.h"

namespace {

constexpr int kMarginPx = 3;
// QTextLayout's default tab stop distance.
constexpr int kTabStopPx = 80;
constexpr int kUnmeasured = -1;

}  // namespace

namespace {

// A scroll bar that repaints only when its look changes. The log's range
// grows by a line each second while the slider, a few pixels of a long
// track, mostly stays where it was. While held, changes are only noted; the
// release repaints if the look then differs from the one on the screen.
class QuietScrollBar : public QScrollBar {
 public:
  using QScrollBar::QScrollBar;

  void Hold() { m_held = true; }
  void Release() {
    m_held = false;
    if (CurrentLook() != m_painted) {
      update();
    }
  }

 protected:
  void sliderChange(SliderChange change) override {
    if (change == SliderRangeChange || change == SliderValueChange || change == SliderStepsChange) {
      if (m_held || CurrentLook() == m_painted) {
        return;
      }
    }
    QScrollBar::sliderChange(change);
  }
  void paintEvent(QPaintEvent* event) override {
    m_painted = CurrentLook();
    QScrollBar::paintEvent(event);
  }

 private:
  struct Look {
    QRect slider;
    bool atMinimum = false;
    bool atMaximum = false;
    bool operator==(const Look&) const = default;
  };
  Look CurrentLook() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
        value() == minimum(), value() == maximum()};
  }
  bool m_held = false;
  Look m_painted;
};

}  // namespace

LogPane::LogPane(QWidget* parent) : QAbstractScrollArea(parent) {
  InstallLogPaneAccessibility();
  // Opaque, so what lies beneath (the chart) need not repaint it.
  setAutoFillBackground(true);
  setVerticalScrollBar(new QuietScrollBar(Qt::Vertical, this));
  setHorizontalScrollBar(new QuietScrollBar(Qt::Horizontal, this));
  m_asciiAdvancePx.fill(kUnmeasured);
  setFocusPolicy(Qt::StrongFocus);
  viewport()->setCursor(Qt::IBeamCursor);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  UpdateScrollRanges();
}

LogPane::~LogPane() = default;

void LogPane::AppendAndFollow(const QString& text) {
  // The bars change their range and value below; one look at the end.
  struct Holding {
    QuietScrollBar* bar;
    explicit Holding(QScrollBar* b) : bar(static_cast<QuietScrollBar*>(b)) { bar->Hold(); }
    ~Holding() { bar->Release(); }
  };
  const Holding vertical(verticalScrollBar());
  const Holding horizontal(horizontalScrollBar());
  const qsizetype oldLastLine = m_log.LineCount() - 1;
  const qsizetype appendedAt = m_log.Size();
  if (m_appendMode == AppendMode::WholeTextReplacement) {
    QString whole = m_log.Text();
    whole += text;
    m_log = LogText(whole);
    RemeasureAll();
  } else {
    const qsizetype oldSize = m_log.Size();
    m_log.Append(text);
    MeasureAppended(oldLastLine, oldSize);
  }
  UpdateScrollRanges();
  SetCaret(m_log.Size(), false);
  ScrollToCaret();
  // The old last line and every line after it are new to the eye.
  UpdateLines(oldLastLine, m_log.LineCount() - 1);
  NotifyLogAppended(*this, appendedAt, text);
}

void LogPane::setReadOnly(bool readOnly) {
  m_readOnly = readOnly;
  viewport()->update();
}

QString LogPane::SelectedText() const {
  const qsizetype from = std::min(m_anchor, m_caret);
  return m_log.Mid(from, std::max(m_anchor, m_caret) - from);
}

void LogPane::SetSelection(qsizetype anchor, qsizetype caret) {
  m_anchor = std::clamp<qsizetype>(anchor, 0, m_log.Size());
  SetCaret(caret, true);
}

void LogPane::SelectAll() {
  SetSelection(0, m_log.Size());
}

void LogPane::Copy() const {
  if (HasSelection()) {
    QApplication::clipboard()->setText(SelectedText());
  }
}

qsizetype LogPane::FirstVisibleLine() const {
  return verticalScrollBar()->value();
}

qsizetype LogPane::PositionAt(QPoint viewportPoint) const {
  const int lineHeight = LineHeight();
  const int row = viewportPoint.y() >= 0 ? viewportPoint.y() / lineHeight
                                         : -((-viewportPoint.y() + lineHeight - 1) / lineHeight);
  const qsizetype line = std::clamp<qsizetype>(FirstVisibleLine() + row, 0, m_log.LineCount() - 1);
  QTextLayout layout;
  LayOutLine(line, layout);
  const qreal x = viewportPoint.x() - kMarginPx + horizontalScrollBar()->value();
  const int column = layout.lineAt(0).xToCursor(x);
  return std::clamp<qsizetype>(m_log.LineStart(line) + column, m_log.LineStart(line),
                               m_log.LineEnd(line));
}

QRect LogPane::CharacterRect(qsizetype position) const {
  if (m_log.Size() == 0) {
    return {};
  }
  position = std::clamp<qsizetype>(position, 0, m_log.Size());
  const qsizetype line = m_log.LineOfPosition(position);
  QTextLayout layout;
  LayOutLine(line, layout);
  const QTextLine row = layout.lineAt(0);
  const int length = layout.text().size();
  const int column = int(std::min<qsizetype>(position - m_log.LineStart(line), length));
  const qreal left = row.cursorToX(column);
  // A line end or the text's end gets a box of an average character.
  const qreal right =
      column < length ? row.cursorToX(column + 1) : left + fontMetrics().averageCharWidth();
  const int x = kMarginPx - horizontalScrollBar()->value() + int(std::floor(left));
  const int y = int(line - FirstVisibleLine()) * LineHeight();
  return QRect(x, y, std::max(1, int(std::ceil(right - left))), LineHeight());
}

void LogPane::ScrollToPosition(qsizetype position) {
  position = std::clamp<qsizetype>(position, 0, m_log.Size());
  const qsizetype line = m_log.LineOfPosition(position);
  ScrollLineIntoView(line);
  const QRect box = CharacterRect(position);
  ScrollColumnsIntoView(box.left() - kMarginPx + horizontalScrollBar()->value(), box.width());
}

void LogPane::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const int lineHeight = LineHeight();
  const int xOffset = kMarginPx - horizontalScrollBar()->value();
  const qsizetype first = FirstVisibleLine();
  const qsizetype selFrom = std::min(m_anchor, m_caret);
  const qsizetype selTo = std::max(m_anchor, m_caret);
  const bool showCaret = hasFocus() && !m_readOnly;
  QTextLayout::FormatRange selection;
  selection.format.setBackground(palette().brush(QPalette::Highlight));
  selection.format.setForeground(palette().brush(QPalette::HighlightedText));
  int widestSeen = 0;

  // Only the rows the paint covers: a new line repaints one or two.
  const QRect dirty = event->rect();
  const int lastRow = std::min(VisibleRows(), dirty.bottom() / lineHeight);
  for (int row = std::max(0, dirty.top() / lineHeight); row <= lastRow; ++row) {
    const qsizetype line = first + row;
    if (line >= m_log.LineCount()) {
      break;
    }
    const qsizetype start = m_log.LineStart(line);
    const qsizetype end = m_log.LineEnd(line);
    QTextLayout layout;
    LayOutLine(line, layout);
    widestSeen =
        std::max(widestSeen, static_cast<int>(std::ceil(layout.lineAt(0).naturalTextWidth())));
    QList<QTextLayout::FormatRange> selections;
    if (selFrom < end && selTo > start) {
      selection.start = static_cast<int>(std::max(selFrom, start) - start);
      selection.length = static_cast<int>(std::min(selTo, end) - start) - selection.start;
      selections << selection;
    }
    const QPointF origin(xOffset, row * lineHeight);
    layout.draw(&painter, origin, selections);
    if (showCaret && m_caret >= start && m_caret <= end) {
      layout.drawCursor(&painter, origin, static_cast<int>(m_caret - start));
    }
  }
  if (widestSeen > m_widestLinePx) {
    // The estimate fell short for a line in view: widen the scroll range
    // once this paint is over.
    m_widestLinePx = widestSeen;
    QTimer::singleShot(0, this, &LogPane::UpdateScrollRanges);
  }
}

void LogPane::resizeEvent(QResizeEvent* event) {
  QScrollBar* bar = verticalScrollBar();
  const bool atEnd = bar->value() == bar->maximum();
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollRanges();
  if (atEnd) {
    bar->setValue(bar->maximum());
  }
}

void LogPane::changeEvent(QEvent* event) {
  if (event->type() == QEvent::FontChange) {
    RemeasureAll();
    UpdateScrollRanges();
  }
  QAbstractScrollArea::changeEvent(event);
}

void LogPane::keyPressEvent(QKeyEvent* event) {
  if (event == QKeySequence::SelectAll) {
    SelectAll();
  } else if (event == QKeySequence::Copy) {
    Copy();
  } else if (!MoveCaretByKey(event)) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

bool LogPane::MoveCaretByKey(QKeyEvent* event) {
  // Where the caret goes for each key, and whether Shift (the Select...
  // sequence) keeps the anchor. Up and Down keep the column the caret had
  // when the vertical moves began, as far as each line reaches.
  const qsizetype line = m_log.LineOfPosition(m_caret);
  const qsizetype column = m_caret - m_log.LineStart(line);
  auto onLine = [&](qsizetype target) {
    target = std::clamp<qsizetype>(target, 0, m_log.LineCount() - 1);
    const qsizetype start = m_log.LineStart(target);
    return std::min(start + m_goalColumn, m_log.LineEnd(target));
  };
  const bool vertical = event->matches(QKeySequence::MoveToPreviousLine) ||
                        event->matches(QKeySequence::MoveToNextLine) ||
                        event->matches(QKeySequence::MoveToPreviousPage) ||
                        event->matches(QKeySequence::MoveToNextPage) ||
                        event->matches(QKeySequence::SelectPreviousLine) ||
                        event->matches(QKeySequence::SelectNextLine) ||
                        event->matches(QKeySequence::SelectPreviousPage) ||
                        event->matches(QKeySequence::SelectNextPage);
  if (vertical && !m_keepGoalColumn) {
    m_goalColumn = column;
  }
  const qsizetype page = std::max<qsizetype>(1, VisibleRows());
  // A character is stepped over whole, both halves of a surrogate pair.
  auto unit = [this](qsizetype at) {
    const QString piece = m_log.Mid(at, 1);
    return piece.isEmpty() ? char16_t(0) : piece.front().unicode();
  };
  const struct {
    QKeySequence::StandardKey move;
    QKeySequence::StandardKey select;
    qsizetype to;
  } moves[] = {
      {QKeySequence::MoveToPreviousLine, QKeySequence::SelectPreviousLine, onLine(line - 1)},
      {QKeySequence::MoveToNextLine, QKeySequence::SelectNextLine, onLine(line + 1)},
      {QKeySequence::MoveToPreviousPage, QKeySequence::SelectPreviousPage, onLine(line - page)},
      {QKeySequence::MoveToNextPage, QKeySequence::SelectNextPage, onLine(line + page)},
      {QKeySequence::MoveToStartOfDocument, QKeySequence::SelectStartOfDocument, 0},
      {QKeySequence::MoveToEndOfDocument, QKeySequence::SelectEndOfDocument, m_log.Size()},
      {QKeySequence::MoveToStartOfLine, QKeySequence::SelectStartOfLine, m_log.LineStart(line)},
      {QKeySequence::MoveToEndOfLine, QKeySequence::SelectEndOfLine, m_log.LineEnd(line)},
      {QKeySequence::MoveToPreviousChar, QKeySequence::SelectPreviousChar,
       m_caret - (m_caret >= 2 && QChar::isLowSurrogate(unit(m_caret - 1)) ? 2 : 1)},
      {QKeySequence::MoveToNextChar, QKeySequence::SelectNextChar,
       m_caret + (m_caret + 1 < m_log.Size() && QChar::isHighSurrogate(unit(m_caret)) ? 2 : 1)},
  };
  for (const auto& m : moves) {
    const bool select = event->matches(m.select);
    if (select || event->matches(m.move)) {
      SetCaret(m.to, select);
      m_keepGoalColumn = vertical;
      ScrollToCaret();
      NotifyCaretMoved(*this);
      return true;
    }
  }
  return false;
}

void LogPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  SetCaret(PositionAt(event->position().toPoint()), event->modifiers().testFlag(Qt::ShiftModifier));
  m_selecting = true;
  event->accept();
}

void LogPane::mouseMoveEvent(QMouseEvent* event) {
  if (!m_selecting || !(event->buttons() & Qt::LeftButton)) {
    QAbstractScrollArea::mouseMoveEvent(event);
    return;
  }
  const QPoint point = event->position().toPoint();
  if (point.y() < 0) {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepSub);
  } else if (point.y() >= viewport()->height()) {
    verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  }
  SetCaret(PositionAt(point), true);
  event->accept();
}

void LogPane::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && m_selecting) {
    m_selecting = false;
    QClipboard* clipboard = QApplication::clipboard();
    if (HasSelection() && clipboard->supportsSelection()) {
      clipboard->setText(SelectedText(), QClipboard::Selection);
    }
    event->accept();
    return;
  }
  QAbstractScrollArea::mouseReleaseEvent(event);
}

void LogPane::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    QAbstractScrollArea::mouseDoubleClickEvent(event);
    return;
  }
  const qsizetype position = PositionAt(event->position().toPoint());
  const qsizetype line = m_log.LineOfPosition(position);
  const qsizetype start = m_log.LineStart(line);
  const QString text = m_log.LineText(line);
  qsizetype from = position - start;
  qsizetype to = from;
  while (from > 0 && text[from - 1].isLetterOrNumber()) {
    --from;
  }
  while (to < text.size() && text[to].isLetterOrNumber()) {
    ++to;
  }
  SetSelection(start + from, start + to);
  event->accept();
}

void LogPane::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  QAction* copy = menu.addAction(QStringLiteral("复制"), this, &LogPane::Copy);
  copy->setEnabled(HasSelection());
  menu.addAction(QStringLiteral("全选"), this, &LogPane::SelectAll);
  menu.exec(event->globalPos());
}

void LogPane::focusInEvent(QFocusEvent* event) {
  viewport()->update();
  QAbstractScrollArea::focusInEvent(event);
}

void LogPane::focusOutEvent(QFocusEvent* event) {
  viewport()->update();
  QAbstractScrollArea::focusOutEvent(event);
}

int LogPane::LineHeight() const {
  return std::max(1, fontMetrics().lineSpacing());
}

int LogPane::VisibleRows() const {
  return std::max(1, viewport()->height() / LineHeight());
}

void LogPane::LayOutLine(qsizetype line, QTextLayout& layout) const {
  QString text = m_log.LineText(line);
  // These would start a second line inside the layout; the pane has one row
  // per line.
  text.replace(QChar::LineSeparator, u' ').replace(QChar::ParagraphSeparator, u' ');
  layout.setText(text);
  layout.setFont(font());
  QTextOption option;
  option.setWrapMode(QTextOption::NoWrap);
  option.setTabStopDistance(kTabStopPx);
  layout.setTextOption(option);
  layout.setCacheEnabled(true);
  layout.beginLayout();
  QTextLine row = layout.createLine();
  row.setLineWidth(std::numeric_limits<int>::max() / 1024);
  row.setPosition(QPointF(0, 0));
  layout.endLayout();
}

int LogPane::EstimateWidth(QStringView text) {
  int width = 0;
  for (const QChar c : text) {
    width += CharAdvance(c.unicode());
  }
  return width;
}

int LogPane::CharAdvance(char16_t c) {
  if (c < m_asciiAdvancePx.size()) {
    int& advance = m_asciiAdvancePx[c];
    if (advance == kUnmeasured) {
      advance = c == u'\t' ? kTabStopPx : fontMetrics().horizontalAdvance(QChar(c));
    }
    return advance;
  }
  if (QChar::isLowSurrogate(c)) {
    return 0;
  }
  auto found = m_otherAdvancePx.constFind(c);
  if (found != m_otherAdvancePx.constEnd()) {
    return *found;
  }
  // A surrogate pair is measured as one wide character.
  const QChar measured = QChar::isHighSurrogate(c) ? QChar(0x4E2D) : QChar(c);
  const int advance = fontMetrics().horizontalAdvance(measured);
  m_otherAdvancePx.insert(c, advance);
  return advance;
}

void LogPane::MeasureAppended(qsizetype firstLine, qsizetype fromPosition) {
  for (qsizetype line = firstLine; line < m_log.LineCount(); ++line) {
    const qsizetype start = std::max(fromPosition, m_log.LineStart(line));
    const qsizetype end = std::max(start, m_log.LineEnd(line));
    const int width = EstimateWidth(
        QStringView(m_log.LineText(line)).mid(start - m_log.LineStart(line), end - start));
    m_lastLinePx = line == firstLine ? m_lastLinePx + width : width;
    m_widestLinePx = std::max(m_widestLinePx, m_lastLinePx);
  }
}

void LogPane::RemeasureAll() {
  m_asciiAdvancePx.fill(kUnmeasured);
  m_otherAdvancePx.clear();
  m_widestLinePx = 0;
  m_lastLinePx = 0;
  MeasureAppended(0, 0);
}

void LogPane::UpdateScrollRanges() {
  QScrollBar* vertical = verticalScrollBar();
  const int rows = VisibleRows();
  const int maximum = static_cast<int>(std::max<qsizetype>(0, m_log.LineCount() - rows));
  {
    // The vertical bar is always shown, so a range that only grows changes
    // nothing of the pane's layout; telling the pane would lay out, restack
    // and repaint both bars on every new line. A growing range never moves
    // the value, so no value change is held back either.
    const QSignalBlocker quiet(maximum >= vertical->maximum() ? vertical : nullptr);
    vertical->setRange(0, maximum);
  }
  vertical->setPageStep(rows);
  vertical->setSingleStep(1);
  QScrollBar* horizontal = horizontalScrollBar();
  const int width = viewport()->width();
  horizontal->setRange(0, std::max(0, m_widestLinePx + 2 * kMarginPx - width));
  horizontal->setPageStep(width);
  horizontal->setSingleStep(std::max(1, fontMetrics().averageCharWidth() * 2));
}

void LogPane::ScrollLineIntoView(qsizetype line) {
  QScrollBar* vertical = verticalScrollBar();
  const qsizetype rows = VisibleRows();
  if (line < vertical->value()) {
    vertical->setValue(static_cast<int>(line));
  } else if (line >= vertical->value() + rows) {
    vertical->setValue(static_cast<int>(line - rows + 1));
  }
}

void LogPane::ScrollToCaret() {
  const qsizetype line = m_log.LineOfPosition(m_caret);
  ScrollLineIntoView(line);
  const qsizetype start = m_log.LineStart(line);
  const int caretX = m_caret == m_log.Size()
                         ? m_lastLinePx
                         : EstimateWidth(QStringView(m_log.LineText(line)).left(m_caret - start));
  ScrollColumnsIntoView(caretX, 0);
}

void LogPane::ScrollColumnsIntoView(int left, int width) {
  QScrollBar* horizontal = horizontalScrollBar();
  const int room = std::max(0, viewport()->width() - 2 * kMarginPx);
  if (left < horizontal->value()) {
    horizontal->setValue(left);
  } else if (left + width > horizontal->value() + room) {
    horizontal->setValue(left + width - room);
  }
}

void LogPane::SetCaret(qsizetype position, bool keepAnchor) {
  m_keepGoalColumn = false;
  const qsizetype oldFrom = std::min(m_anchor, m_caret);
  const qsizetype oldTo = std::max(m_anchor, m_caret);
  m_caret = std::clamp<qsizetype>(position, 0, m_log.Size());
  if (!keepAnchor) {
    m_anchor = m_caret;
  }
  // Only a selection or a shown caret draws anything of its own.
  const bool caretShown = hasFocus() && !m_readOnly;
  if (oldFrom != oldTo || caretShown) {
    UpdateLines(m_log.LineOfPosition(oldFrom), m_log.LineOfPosition(oldTo));
  }
  if (HasSelection() || caretShown) {
    UpdateLines(m_log.LineOfPosition(std::min(m_anchor, m_caret)),
                m_log.LineOfPosition(std::max(m_anchor, m_caret)));
  }
}

void LogPane::UpdateLines(qsizetype first, qsizetype last) {
  const qsizetype top = FirstVisibleLine();
  const qsizetype from = std::max(first, top);
  const qsizetype to = std::min(last, top + VisibleRows());
  if (from > to) {
    return;
  }
  const int lineHeight = LineHeight();
  viewport()->update(0, int(from - top) * lineHeight, viewport()->width(),
                     int(to - from + 1) * lineHeight);
}

void LogPane::scrollContentsBy(int dx, int dy) {
  // The vertical bar counts lines, the horizontal one pixels. Moving what is
  // drawn leaves only the uncovered rows and columns to paint.
  viewport()->scroll(dx, dy * LineHeight());
}
