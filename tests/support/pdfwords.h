#pragma once

#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QString>

// The words of a PDF's first page with their boxes in points, as poppler's
// pdftotext reads them back: what a printed or saved page really shows.
struct PdfWord {
  QString text;
  QRectF box;
};

struct PdfPage {
  QSizeF size;  // pt
  QList<PdfWord> words;
  QString error;  // why the page could not be read; empty when it was

  const PdfWord* Find(const QString& text) const {
    for (const PdfWord& w : words) {
      if (w.text == text) {
        return &w;
      }
    }
    return nullptr;
  }
};

inline PdfPage ReadPdfPage(const QString& path) {
  PdfPage page;
  QProcess tool;
  tool.start(QStringLiteral("pdftotext"),
             {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
              QStringLiteral("-l"), QStringLiteral("1"), path, QStringLiteral("-")});
  if (!tool.waitForFinished(30000) || tool.exitCode() != 0) {
    page.error = QStringLiteral("pdftotext (poppler-utils, from scripts/install-deps) failed: ") +
                 tool.errorString() + QString::fromUtf8(tool.readAllStandardError());
    return page;
  }
  const QString xml = QString::fromUtf8(tool.readAllStandardOutput());
  static const QRegularExpression pageRe(
      QStringLiteral(R"re(<page width="([\d.]+)" height="([\d.]+)")re"));
  static const QRegularExpression wordRe(QStringLiteral(
      R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
  const QRegularExpressionMatch p = pageRe.match(xml);
  if (!p.hasMatch()) {
    page.error = QStringLiteral("no page in ") + path;
    return page;
  }
  page.size = {p.captured(1).toDouble(), p.captured(2).toDouble()};
  for (auto it = wordRe.globalMatch(xml); it.hasNext();) {
    const QRegularExpressionMatch w = it.next();
    page.words.append(
        {w.captured(5), QRectF(QPointF(w.captured(1).toDouble(), w.captured(2).toDouble()),
                               QPointF(w.captured(3).toDouble(), w.captured(4).toDouble()))});
  }
  return page;
}
