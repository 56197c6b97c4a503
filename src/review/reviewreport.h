#pragma once

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <vector>

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
  // The grading of the batch, printed below the summaries when it has rows.
  QString gradingTitle;
  QString gradingSummary;
  QStringList gradingHeader;
  QList<QStringList> gradingRows;
};

// How a table is laid out on the page (0.1 mm units): the font's pixel size
// and each column's width. Every column but the first is as wide as its
// widest header line ('\n' breaks a header) or cell; the first takes what
// they leave (its cells are shortened in the middle when they do not fit).
// The font shrinks, down to 16, until the first column keeps at least a
// quarter of the width or all it needs.
struct ReportTableLayout {
  int fontPx = 24;
  std::vector<double> widths;
};
inline constexpr double kReportCellPadding = 12;  // left and right together
ReportTableLayout LayOutReportTable(const QStringList& header, const QList<QStringList>& rows,
                                    double width, double firstExtra);
// The report's font at `pixelSize` page units.
QFont ReportFont(int pixelSize, bool bold = false);

// Paints the page into `painter`, whose device spans `device` (any
// resolution): the layout is done on an A4 sheet of 2100 x 2970 units.
void PaintReport(QPainter& painter, const QRectF& device, const ReportContent& content);

// The page as a picture, A4 portrait at `dpi`.
QImage RenderReport(const ReportContent& content, int dpi = 150);

// Writes a PDF (a name ending ".pdf") or a PNG; false when writing fails,
// which leaves any earlier file of that name as it was.
bool SaveReport(const ReportContent& content, const QString& path);
