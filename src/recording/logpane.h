#pragma once

#include <QPlainTextEdit>

#include "acquisitionseams.h"

// The receive log pane. Text is only ever appended; Text() returns it exactly
// as received (CR LF kept) whatever the view does with line ends.
class LogPane : public QPlainTextEdit, public LogSink {
  Q_OBJECT
 public:
  explicit LogPane(QWidget* parent = nullptr);

  void AppendAndFollow(const QString& text) override;
  QString Text() const { return m_text; }
  qsizetype CaretPosition() const;
  bool HasSelection() const;

 private:
  QString m_text;
};
