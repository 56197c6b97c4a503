#pragma once

#include <QPlainTextEdit>

#include "acquisitionseams.h"

class QLineEdit;

// A one-line text box seen through the pass's TextBox seam.
class LineEditBox final : public TextBox {
 public:
  explicit LineEditBox(QLineEdit& edit) : m_edit(edit) {}
  QString Text() const override;
  void SetText(const QString& text) override;

 private:
  QLineEdit& m_edit;
};

// The raw receive box: a multi-line box that hands back exactly the text it
// was given (the editor would turn CR LF into its own paragraph breaks).
// It shows at most the first and the last kShownEndChars characters of a
// chunk, with a marker between them, so that no chunk, however long its
// lines, stalls the window while the box lays it out.
class RawTextBox final : public QPlainTextEdit, public TextBox {
  Q_OBJECT
 public:
  static constexpr qsizetype kShownEndChars = 4000;

  explicit RawTextBox(QWidget* parent = nullptr);
  QString Text() const override { return m_text; }
  void SetText(const QString& text) override;
  // What the box shows for `text`.
  static QString ShownText(const QString& text);

 private:
  QString m_text;
};
