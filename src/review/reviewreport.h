#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QStringList>

// One A4 page about the recordings opened for review: a title, the sources
// with their dates, the plot's picture and the summary table, one row per
// curve with its colour mark.
struct ReportContent {
  QString title;
  QStringList sources;  // one line per source: name, date, where it came from
  QImage plot;
  QStringList header;  // the summary table's column titles
  struct Row {
    QColor colour;
    QStringList cells;
  };
  QList<Row> rows;
  QDateTime made;  // local
};

// Paints the page into `painter`, whose device spans `device` (any
// resolution): the layout is done on an A4 sheet of 2100 x 2970 units.
void PaintReport(QPainter& painter, const QRectF& device, const ReportContent& content);

// The page as a picture, A4 portrait at `dpi`.
QImage RenderReport(const ReportContent& content, int dpi = 150);

// Writes a PDF (a name ending ".pdf") or a PNG; false when writing fails,
// which leaves any earlier file of that name as it was.
bool SaveReport(const ReportContent& content, const QString& path);
