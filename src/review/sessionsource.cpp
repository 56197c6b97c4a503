#include "sessionsource.h"

#include <QCoreApplication>
#include <QDateTime>
#include <algorithm>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

#include "acquisitionpass.h"
#include "snapshotreader.h"

namespace {

// Beyond this the vectors grow as the chunks come; a stored count is a hint.
constexpr qint64 kMaxReserve = qint64(1) << 24;

}  // namespace

void AdviseLargePages(void* data, size_t bytes) {
  // Only a hint: where the system does not take it, nothing changes.
#ifdef Q_OS_LINUX
  constexpr uintptr_t kLarge = uintptr_t(2) << 20;
  const auto start = reinterpret_cast<uintptr_t>(data);
  const uintptr_t begin = (start + kLarge - 1) & ~(kLarge - 1);
  const uintptr_t end = (start + bytes) & ~(kLarge - 1);
  if (end > begin) {
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
  }
#else
  Q_UNUSED(data);
  Q_UNUSED(bytes);
#endif
}

void ReserveSamples(std::vector<ChannelSample>& samples, size_t count) {
  samples.reserve(count);
  AdviseLargePages(samples.data(), samples.capacity() * sizeof(ChannelSample));
}

QString SessionName(qint64 id) {
  return QCoreApplication::translate("ReviewWindow", "会话 %1").arg(id);
}

QString SessionEndText(SessionEnd end) {
  switch (end) {
    case SessionEnd::Running:
      return QCoreApplication::translate("ReviewWindow", "记录中");
    case SessionEnd::Closed:
      return QCoreApplication::translate("ReviewWindow", "关闭串口");
    case SessionEnd::ProgramExit:
      return QCoreApplication::translate("ReviewWindow", "程序退出");
    case SessionEnd::Interrupted:
      return QCoreApplication::translate("ReviewWindow", "中断");
  }
  return {};
}

QString SessionDurationText(const StoredSession& session) {
  const QDateTime end = session.endUtc.isValid() ? session.endUtc : QDateTime::currentDateTimeUtc();
  const qint64 s = std::max<qint64>(0, session.startUtc.secsTo(end));
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600)
      .arg((s / 60) % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

std::optional<SessionEnds> ReadSessionEnds(SessionReader& reader, qint64 sessionId) {
  const auto last = reader.LastCompleteReadings(sessionId);
  if (!last) {
    return std::nullopt;
  }
  return SessionEnds{(*last)[0].Sample(), (*last)[1].Sample()};
}

namespace {
struct ReadFailed {};
}  // namespace

std::optional<ReviewSource> ReadSession(SessionReader& reader, const StoredSession& session,
                                        QString* error, const std::function<bool()>& carryOn) {
  ReviewSource source;
  source.name = SessionName(session.id);
  source.detail = session.port;
  source.sessionId = session.id;
  source.cells = session.cells;
  source.start = session.startUtc.toLocalTime();
  for (auto& channel : source.channels) {
    ReserveSamples(channel, size_t(std::clamp<qint64>(session.frames, 0, kMaxReserve)));
  }
  struct Cancelled {};
  bool ok = true;
  // Read as its saved data1.txt would be: a frame split over two reads, or
  // two frames in one, count as the file's lines do. A chunk that is one
  // whole line comes as its readings alone; only the others bring their
  // text, and the line after one that ended mid-line is fetched whole.
  SnapshotLines lines(source);
  // The notice counts wherever it stands in a chunk, as it does in a
  // data1.txt file; a chunk that holds it always comes with its text.
  const QString marker = QString::fromUtf16(kEndOfDischargeNotice);
  bool notice = false;
  qint64 chunks = 0;
  qint64 lastSeq = 0;  // of the last chunk that came with its text
  try {
    ok = reader.ForEachLineChunk(session.id, marker, [&](const StoredChunk& chunk) {
      if (carryOn && (chunks & 0xfff) == 0 && !carryOn()) {
        throw Cancelled();  // the only way out of the reader's loop
      }
      ++chunks;
      if (!chunk.text.isNull()) {
        notice = notice || chunk.text.contains(marker);
        lines.Add(chunk.text);
        lastSeq = chunk.seq;
      } else if (!lines.InLine()) {
        lines.AddReadings({chunk.channel[0].Sample(), chunk.channel[1].Sample()});
      } else if (const std::optional<QString> text = reader.ChunkTextAfter(session.id, lastSeq)) {
        lines.Add(*text);  // one whole line: it ends the line left open
      } else {
        throw ReadFailed();
      }
    });
    lines.Finish();
  } catch (const Cancelled&) {
    return std::nullopt;
  } catch (const ReadFailed&) {
    ok = false;
  }
  source.chunks = chunks;
  source.skipped = 0;
  source.notice = source.notice || notice;  // the lines may have found it too
  if (!ok) {
    if (error) {
      *error = QCoreApplication::translate("ReviewWindow", "读取%1失败：记录库无法读取。")
                   .arg(source.name);
    }
    return std::nullopt;
  }
  return source;
}
