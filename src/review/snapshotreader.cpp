#include "snapshotreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextCodec>
#include <algorithm>
#include <cstring>

#include "acquisitionpass.h"
#include "frameparser.h"

namespace {

// A year of frames is about 50 MB; anything far beyond is not a log.
constexpr qint64 kMaxFileBytes = qint64(1) << 30;

// Appends each channel's reading once all five fields have come.
class SampleSink final : public FrameSink {
 public:
  explicit SampleSink(ReviewSource& source) : m_source(source) {}

  void NotAFrame() override {}
  void Field(int channel, Quantity quantity, qint32 value) override {
    m_pending[size_t(channel - 1)].Field(quantity) = value;
  }
  void ChannelDone(int channel) override {
    m_source.channels[size_t(channel - 1)].push_back(m_pending[size_t(channel - 1)]);
  }
  void Failed(ParseFailure, int) override {}

 private:
  ReviewSource& m_source;
  std::array<ChannelSample, 2> m_pending{};
};

std::optional<QDateTime> SaveTime(QStringView line) {
  static const QRegularExpression kHeader(QStringLiteral(
      "^(\\d{1,4})年(\\d{1,2})月(\\d{1,2})日  (\\d{1,2})时(\\d{1,2})分(\\d{1,2})秒$"));
  const QRegularExpressionMatch m = kHeader.match(line.toString());
  if (!m.hasMatch()) {
    return std::nullopt;
  }
  const QDate date(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
  const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
  if (!date.isValid() || !time.isValid()) {
    return std::nullopt;
  }
  return QDateTime(date, time);
}

// Cuts the file into lines and hands each to `line` as the live window would
// have got it; the header's time goes to `saved`, the notice to `notice`.
// GBK's trail bytes are never CR or LF, so the bytes can be cut into lines
// before decoding; a line of plain ASCII, as frames are, needs no codec.
template <class Saved, class Notice, class Line>
void WalkSnapshot(const QByteArray& bytes, Saved saved, Notice notice, Line line) {
  QTextCodec* gbk = QTextCodec::codecForName("GBK");
  const QStringView kNotice(kEndOfDischargeNotice);
  QString text;
  const char* const data = bytes.constData();
  const qsizetype size = bytes.size();
  qsizetype start = 0;
  bool first = true;
  while (start < size) {
    const char* nl =
        static_cast<const char*>(std::memchr(data + start, '\n', size_t(size - start)));
    const qsizetype end = nl ? nl - data : size;
    qsizetype len = end - start;
    if (len > 0 && data[start + len - 1] == '\r') {
      --len;
    }
    const char* p = data + start;
    start = end + 1;
    const bool ascii = std::all_of(p, p + len, [](char c) { return (c & 0x80) == 0; });
    text = ascii ? QString::fromLatin1(p, len) : gbk->toUnicode(p, int(len));
    QStringView view(text);
    if (first) {
      first = false;
      if (const auto time = SaveTime(view)) {
        saved(*time);
        continue;
      }
    }
    if (view.startsWith(kNotice)) {
      notice();
      view = view.mid(kNotice.size());
    }
    if (!view.isEmpty()) {
      line(view);
    }
  }
}

// Keeps each field as the pass would have applied it.
class ChunkSink final : public FrameSink {
 public:
  explicit ChunkSink(StoredChunk& chunk) : m_chunk(chunk) {}
  void NotAFrame() override {}
  void Field(int channel, Quantity quantity, qint32 value) override {
    m_chunk.channel[size_t(channel - 1)].fields[size_t(quantity)] = value;
  }
  void ChannelDone(int) override {}
  void Failed(ParseFailure, int) override {}

 private:
  StoredChunk& m_chunk;
};

}  // namespace

ReviewSource ReadSnapshot(const QByteArray& bytes, const QString& name) {
  ReviewSource source;
  source.name = name;
  source.startIsSave = true;
  source.bytes = bytes.size();
  SampleSink sink(source);
  WalkSnapshot(
      bytes, [&](const QDateTime& saved) { source.start = saved; }, [&] { source.notice = true; },
      [&](QStringView line) {
        ++source.chunks;
        if (Parse(line, sink) != ParseOutcome::Complete) {
          ++source.skipped;
        }
      });
  return source;
}

void ForEachSnapshotChunk(const QByteArray& bytes,
                          const std::function<void(const StoredChunk&)>& visit) {
  StoredChunk chunk;
  WalkSnapshot(
      bytes, [](const QDateTime&) {}, [] {},
      [&](QStringView line) {
        const qint64 seq = chunk.seq + 1;
        chunk = StoredChunk();
        chunk.seq = seq;
        chunk.text = line.toString();
        ChunkSink sink(chunk);
        Parse(line, sink);
        visit(chunk);
      });
}

std::optional<ReviewSource> ReadSnapshotFile(const QString& path, QString* error) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) {
      *error = QCoreApplication::translate("ReviewWindow", "无法打开文件 %1：%2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
  }
  if (file.size() > kMaxFileBytes) {
    if (error) {
      *error =
          QCoreApplication::translate("ReviewWindow", "文件 %1 太大（超过 %2 MB），不是数据文件。")
              .arg(QDir::toNativeSeparators(path))
              .arg(kMaxFileBytes >> 20);
    }
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    if (error) {
      *error = QCoreApplication::translate("ReviewWindow", "读取文件 %1 失败：%2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
  }
  const QFileInfo info(path);
  ReviewSource source = ReadSnapshot(bytes, info.fileName());
  source.path = info.absoluteFilePath();
  source.detail = QDir::toNativeSeparators(source.path);
  if (!source.start.isValid()) {
    source.start = info.lastModified();
  }
  return source;
}
