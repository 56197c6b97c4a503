#include "reviewreport.h"

#include <QCoreApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <algorithm>

#include "savefile.h"
#include "songfont.h"

namespace {

constexpr double kPageW = 2100;  // 0.1 mm units
constexpr double kPageH = 2970;
constexpr double kMargin = 120;

QFont PageFont(int pixelSize, bool bold = false) {
  return ReportFont(pixelSize, bold);
}

double Advance(const QFont& font, const QString& text) {
  return QFontMetricsF(font).horizontalAdvance(text);
}

// Paints a table from `y` down, as far as the page allows; returns where it
// ended and how many rows it left out.
double PaintTable(QPainter& painter, double y, double width, const QStringList& header,
                  const QList<QStringList>& rows, const QList<QColor>& marks, int* left) {
  const double markW = marks.isEmpty() ? 0 : 40;
  const ReportTableLayout layout = LayOutReportTable(header, rows, width, markW);
  const int columns = int(layout.widths.size());
  const double lineH = layout.fontPx * 1.5;
  const double rowH = lineH + 12;
  int lines = 1;
  for (const QString& h : header) {
    lines = std::max(lines, int(h.count(u'\n')) + 1);
  }
  const double headH = lines * lineH + 12;
  const auto cellRect = [&](int c, double top, double h) {
    double left = kMargin;
    for (int k = 0; k < c; ++k) {
      left += layout.widths[size_t(k)];
    }
    return QRectF(left, top, layout.widths[size_t(c)], h)
        .adjusted(kReportCellPadding / 2, 0, -kReportCellPadding / 2, 0);
  };
  painter.setFont(PageFont(layout.fontPx, true));
  painter.fillRect(QRectF(kMargin, y, width, headH), QColor(225, 225, 225));
  for (int c = 0; c < columns; ++c) {
    painter.drawText(cellRect(c, y, headH),
                     Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight), header[c]);
  }
  y += headH;
  painter.setFont(PageFont(layout.fontPx));
  const QFontMetricsF metrics(painter.font());
  *left = 0;
  for (qsizetype i = 0; i < rows.size(); ++i) {
    if (y + rowH > kPageH - kMargin - (i + 1 < rows.size() ? rowH : 0)) {
      *left = int(rows.size() - i);
      break;
    }
    if (i < marks.size()) {
      const QRectF mark(kMargin + 6, y + rowH / 2 - 10, markW - 12, 20);
      painter.fillRect(mark, marks[i]);
      painter.setPen(QPen(Qt::black, 1));
      painter.drawRect(mark);
    }
    for (int c = 0; c < columns && c < rows[i].size(); ++c) {
      QRectF r = cellRect(c, y, rowH);
      if (c == 0) {
        r.setLeft(r.left() + markW);
      }
      painter.drawText(r, Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight),
                       metrics.elidedText(rows[i][c], Qt::ElideMiddle, r.width()));
    }
    y += rowH;
    painter.setPen(QPen(QColor(200, 200, 200), 1));
    painter.drawLine(QPointF(kMargin, y), QPointF(kMargin + width, y));
    painter.setPen(Qt::black);
  }
  return y;
}

}  // namespace

QFont ReportFont(int pixelSize, bool bold) {
  // The window's Song face, sized in page units.
  QFont font = SongFont(12, bold);
  font.setPixelSize(pixelSize);
  return font;
}

ReportTableLayout LayOutReportTable(const QStringList& header, const QList<QStringList>& rows,
                                    double width, double firstExtra) {
  ReportTableLayout layout;
  const int columns = int(header.size());
  for (int px = 24; px >= 16; px -= 2) {
    const QFont bold = ReportFont(px, true);
    const QFont plain = ReportFont(px);
    std::vector<double> need(size_t(columns), 0);
    for (int c = 0; c < columns; ++c) {
      for (const QString& line : header[c].split(u'\n')) {
        need[size_t(c)] = std::max(need[size_t(c)], Advance(bold, line));
      }
      for (const QStringList& row : rows) {
        if (c < row.size()) {
          need[size_t(c)] = std::max(need[size_t(c)], Advance(plain, row[c]));
        }
      }
      // A little over the measure: a printer's glyphs may set a hair wider.
      need[size_t(c)] = std::ceil(need[size_t(c)] * 1.03) + kReportCellPadding;
    }
    double others = 0;
    for (int c = 1; c < columns; ++c) {
      others += need[size_t(c)];
    }
    layout.fontPx = px;
    layout.widths = need;
    if (columns > 0) {
      layout.widths[0] = width - others;
      const double firstNeeds = need[0] + firstExtra;
      if (layout.widths[0] >= std::min(firstNeeds, width / 4)) {
        // Room the first column does not need spaces the figures apart a
        // little, so neighbouring numbers do not run together.
        const double spare = layout.widths[0] - firstNeeds;
        if (spare > 0 && columns > 1) {
          const double each = std::min(spare / (columns - 1), kReportCellPadding * 2);
          for (int c = 1; c < columns; ++c) {
            layout.widths[size_t(c)] += each;
          }
          layout.widths[0] -= each * (columns - 1);
        }
        return layout;
      }
    }
  }
  // Still too wide at the smallest font: the numbers' columns share what
  // is left beside a quarter for the first.
  double others = 0;
  for (int c = 1; c < columns; ++c) {
    others += layout.widths[size_t(c)];
  }
  for (int c = 1; c < columns; ++c) {
    layout.widths[size_t(c)] *= (width * 0.75) / std::max(1.0, others);
  }
  if (columns > 0) {
    layout.widths[0] = width / 4;
  }
  return layout;
}

void PaintReport(QPainter& painter, const QRectF& device, const ReportContent& content) {
  painter.save();
  painter.fillRect(device, Qt::white);
  painter.translate(device.topLeft());
  const double scale = std::min(device.width() / kPageW, device.height() / kPageH);
  painter.scale(scale, scale);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.setPen(Qt::black);

  const double width = kPageW - 2 * kMargin;
  double y = kMargin;
  painter.setFont(PageFont(60, true));
  painter.drawText(QRectF(kMargin, y, width, 80), Qt::AlignLeft | Qt::AlignVCenter, content.title);
  painter.setFont(PageFont(30));
  painter.drawText(QRectF(kMargin, y, width, 80), Qt::AlignRight | Qt::AlignVCenter,
                   QCoreApplication::translate("ReviewWindow", "生成于 %1")
                       .arg(content.made.toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
  y += 100;
  painter.drawLine(QPointF(kMargin, y), QPointF(kMargin + width, y));
  y += 20;

  painter.setFont(PageFont(32));
  for (const QString& line : content.sources) {
    painter.drawText(QRectF(kMargin, y, width, 44), Qt::AlignLeft | Qt::AlignVCenter, line);
    y += 44;
  }
  y += 20;

  if (!content.plot.isNull()) {
    const double h = width * content.plot.height() / std::max(1, content.plot.width());
    painter.drawImage(QRectF(kMargin, y, width, h), content.plot);
    y += h + 40;
  }

  if (!content.header.isEmpty()) {
    QList<QStringList> rows;
    QList<QColor> marks;
    for (const ReportContent::Row& row : content.rows) {
      rows << row.cells;
      marks << row.colour;
    }
    int left = 0;
    y = PaintTable(painter, y, width, content.header, rows, marks, &left) + 40;
  }

  if (!content.gradingRows.isEmpty() && y + 200 < kPageH - kMargin) {
    painter.setFont(PageFont(32, true));
    painter.drawText(QRectF(kMargin, y, width, 48), Qt::AlignLeft | Qt::AlignVCenter,
                     content.gradingTitle);
    painter.setFont(PageFont(28));
    painter.drawText(QRectF(kMargin, y, width, 48), Qt::AlignRight | Qt::AlignVCenter,
                     content.gradingSummary);
    y += 56;
    int left = 0;
    y = PaintTable(painter, y, width, content.gradingHeader, content.gradingRows, {}, &left);
    if (left > 0) {
      painter.setFont(PageFont(24));
      painter.drawText(
          QRectF(kMargin, y, width, 40), Qt::AlignLeft | Qt::AlignVCenter,
          QCoreApplication::translate("ReviewWindow", "……另有 %n 行，见分选 CSV", nullptr, left));
    }
  }
  painter.restore();
}

QImage RenderReport(const ReportContent& content, int dpi) {
  const QSize size(int(std::lround(210 / 25.4 * dpi)), int(std::lround(297 / 25.4 * dpi)));
  QImage image(size, QImage::Format_RGB32);
  image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
  image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
  QPainter painter(&image);
  PaintReport(painter, QRectF(QPointF(0, 0), QSizeF(size)), content);
  painter.end();
  return image;
}

bool SaveReport(const ReportContent& content, const QString& path) {
  // Through a temporary file: a failed save leaves no partial report and an
  // earlier one of that name as it was.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  bool written = false;
  if (!path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
    written = RenderReport(content).save(&file, "PNG");
  } else {
    QPdfWriter writer(&file);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    writer.setResolution(300);
    writer.setTitle(content.title);
    QPainter painter;
    if (painter.begin(&writer)) {
      PaintReport(painter, QRectF(QPointF(0, 0), QSizeF(writer.width(), writer.height())), content);
      written = painter.end();
    }
  }
  if (!written) {
    file.cancelWriting();
    return false;
  }
  return CommitSaveFile(file);
}
