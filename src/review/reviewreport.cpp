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

// The window's Song face, sized in page units.
QFont PageFont(int pixelSize, bool bold = false) {
  QFont font = SongFont(12, bold);
  font.setPixelSize(pixelSize);
  return font;
}

}  // namespace

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

  // The summary table: the first column takes what the others leave.
  const int columns = int(content.header.size());
  if (columns > 0) {
    const double rowH = 48;
    const double markW = 40;
    const double numW = std::min(150.0, (width * 0.62) / std::max(1, columns - 1));
    const double firstW = width - numW * (columns - 1);
    auto cellRect = [&](int c, double top) {
      const double left = c == 0 ? kMargin : kMargin + firstW + numW * (c - 1);
      return QRectF(left, top, c == 0 ? firstW : numW, rowH);
    };
    painter.setFont(PageFont(24, true));
    painter.fillRect(QRectF(kMargin, y, width, rowH), QColor(225, 225, 225));
    for (int c = 0; c < columns; ++c) {
      painter.drawText(
          cellRect(c, y).adjusted(6, 0, -6, 0),
          Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight) | Qt::TextWordWrap,
          content.header[c]);
    }
    y += rowH;
    painter.setFont(PageFont(24));
    for (const ReportContent::Row& row : content.rows) {
      if (y + rowH > kPageH - kMargin) {
        break;
      }
      painter.fillRect(QRectF(kMargin + 6, y + 14, markW - 12, rowH - 28), row.colour);
      painter.setPen(QPen(Qt::black, 1));
      painter.drawRect(QRectF(kMargin + 6, y + 14, markW - 12, rowH - 28));
      for (int c = 0; c < columns && c < row.cells.size(); ++c) {
        QRectF r = cellRect(c, y).adjusted(6, 0, -6, 0);
        if (c == 0) {
          r.setLeft(r.left() + markW);
        }
        const QString text =
            painter.fontMetrics().elidedText(row.cells[c], Qt::ElideMiddle, int(r.width()));
        painter.drawText(r, Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight), text);
      }
      y += rowH;
      painter.setPen(QPen(QColor(200, 200, 200), 1));
      painter.drawLine(QPointF(kMargin, y), QPointF(kMargin + width, y));
      painter.setPen(Qt::black);
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
