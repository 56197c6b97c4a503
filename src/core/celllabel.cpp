#include "celllabel.h"

QString CleanCellLabel(const QString& text) {
  QString clean;
  clean.reserve(text.size());
  for (const QChar c : text) {
    const QChar::Category category = c.category();
    if (category == QChar::Other_Control || category == QChar::Other_Format ||
        category == QChar::Separator_Line || category == QChar::Separator_Paragraph) {
      clean += u' ';  // keeps the words apart; runs of them trimmed below
    } else {
      clean += c;
    }
  }
  clean = clean.simplified();
  if (clean.size() > kMaxCellLabel) {
    qsizetype end = kMaxCellLabel;
    if (clean.at(end - 1).isHighSurrogate()) {
      --end;
    }
    clean = clean.left(end).trimmed();
  }
  return clean;
}
