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
constexpr qint64 kReadPieceBytes = qint64(8) << 20;

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

// The part of a line that is read as a frame, none when nothing is left;
// `notice` is called when the line holds the end-of-discharge notice. The
// charger sends the notice without a line end, so what follows it on its
// line is read as a line of its own; the notice counts wherever it stands.
template <class Notice>
std::optional<QStringView> AfterNotice(QStringView line, Notice notice) {
  const QStringView kNotice(kEndOfDischargeNotice);
  if (line.startsWith(kNotice)) {
    notice();
    line = line.mid(kNotice.size());
  } else if (line.contains(kNotice)) {
    notice();
  }
  return line.isEmpty() ? std::nullopt : std::optional(line);
}

// Puts the bytes into `text` as they are, reusing its buffer (a week's file
// has over half a million lines); false, with `text` undefined, when one of
// them is not ASCII.
bool WidenAscii(const char* bytes, qsizetype size, QString& text) {
  text.resize(size);
  char16_t* out = reinterpret_cast<char16_t*>(text.data());
  for (qsizetype i = 0; i < size; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    if (byte & 0x80) {
      return false;
    }
    out[i] = byte;
  }
  return true;
}

// Cuts the file into lines and hands each to `line` as the live window would
// have got it; the header's time goes to `saved`, the notice to `notice`.
// GBK's trail bytes are never CR or LF, so the bytes can be cut into lines
// before decoding; a line of plain ASCII, as frames are, needs no codec.
template <class Saved, class Notice, class Line>
void WalkSnapshot(const QByteArray& bytes, Saved saved, Notice notice, Line line) {
  QTextCodec* gbk = QTextCodec::codecForName("GBK");
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
    if (!WidenAscii(p, len, text)) {
      text = gbk->toUnicode(p, int(len));
    }
    QStringView view(text);
    if (first) {
      first = false;
      if (const auto time = SaveTime(view)) {
        saved(*time);
        continue;
      }
    }
    if (const std::optional<QStringView> rest = AfterNotice(view, notice)) {
      line(*rest);
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
  // A frame's line is rarely shorter than this; a reserve that falls short
  // only means the vectors grow as usual.
  constexpr qsizetype kTypicalLineBytes = 48;
  for (auto& channel : source.channels) {
    ReserveSamples(channel, size_t(bytes.size() / kTypicalLineBytes));
  }
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

struct SnapshotLines::Sink {
  explicit Sink(ReviewSource& source) : samples(source) {}
  SampleSink samples;
};

SnapshotLines::SnapshotLines(ReviewSource& source)
    : m_source(source), m_sink(std::make_unique<Sink>(source)) {}

SnapshotLines::~SnapshotLines() = default;

void SnapshotLines::Add(QStringView text) {
  while (!text.isEmpty()) {
    const qsizetype nl = text.indexOf(u'\n');
    if (nl < 0) {
      m_open += text;
      return;
    }
    if (m_open.isEmpty()) {
      Line(text.first(nl));
    } else {
      m_open += text.first(nl);
      Line(m_open);
      m_open.clear();
    }
    text = text.mid(nl + 1);
  }
}

void SnapshotLines::AddReadings(const std::array<std::optional<ChannelSample>, 2>& channels) {
  ++m_source.chunks;
  for (size_t c = 0; c < 2; ++c) {
    if (channels[c]) {
      m_source.channels[c].push_back(*channels[c]);
    }
  }
}

void SnapshotLines::Finish() {
  if (!m_open.isEmpty()) {
    Line(m_open);
    m_open.clear();
  }
}

void SnapshotLines::Line(QStringView line) {
  if (line.endsWith(u'\r')) {
    line.chop(1);
  }
  if (const std::optional<QStringView> rest = AfterNotice(line, [&] { m_source.notice = true; })) {
    ++m_source.chunks;
    if (Parse(*rest, m_sink->samples) != ParseOutcome::Complete) {
      ++m_source.skipped;
    }
  }
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
  // A device, a pipe or a folder is never opened: a pipe would wait for a
  // writer for good, and a device has no end.
  const QFileInfo target(path);
  if (target.exists() && !target.isFile()) {
    if (error) {
      *error = QCoreApplication::translate("ReviewWindow", "%1 不是普通文件，不是数据文件。")
                   .arg(QDir::toNativeSeparators(path));
    }
    return std::nullopt;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    if (error) {
      *error = QCoreApplication::translate("ReviewWindow", "无法打开文件 %1：%2")
                   .arg(QDir::toNativeSeparators(path), file.errorString());
    }
    return std::nullopt;
  }
  // Counted as the bytes come: a file may grow while it is read. Read
  // straight into the buffer, sized for the file as it is now.
  QByteArray bytes;
  bytes.reserve(qsizetype(std::min(file.size(), kMaxFileBytes)) + 1);
  AdviseLargePages(bytes.data(), size_t(bytes.capacity()));
  while (bytes.size() <= kMaxFileBytes) {
    const qsizetype held = bytes.size();
    const qint64 want = std::min<qint64>(kReadPieceBytes, kMaxFileBytes + 1 - held);
    bytes.resize(held + qsizetype(want));
    const qint64 got = file.read(bytes.data() + held, want);
    bytes.resize(held + qsizetype(std::max<qint64>(got, 0)));
    if (got <= 0) {
      break;
    }
  }
  if (bytes.size() > kMaxFileBytes) {
    if (error) {
      *error =
          QCoreApplication::translate("ReviewWindow", "文件 %1 太大（超过 %2 MB），不是数据文件。")
              .arg(QDir::toNativeSeparators(path))
              .arg(kMaxFileBytes >> 20);
    }
    return std::nullopt;
  }
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
