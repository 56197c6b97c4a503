#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "reviewsource.h"
#include "sessionreader.h"

// Reads a data1.txt file back, whether this copy of the program or another
// one saved it: GBK text, cut into lines at CR LF or LF, each line handed to
// the frame parser as one chunk, as the live window would have got it.
//
// A first line of the save's date-time form ("2026年3月7日  9时5分3秒") gives the
// source's date. Empty lines are passed over. A line that begins with the
// end-of-discharge notice marks the discharge as ended; as the charger sends
// the notice without a line end, whatever follows it on that line is taken as
// a line of its own. Lines that are not frames, or whose parse fails, are
// counted as skipped; a channel completed before the failure is kept, as the
// live window kept its chart point.
ReviewSource ReadSnapshot(const QByteArray& bytes, const QString& name);

// Reads a text line by line into `source` exactly as ReadSnapshot reads the
// lines after a file's header: for a stored session, whose chunks were cut
// wherever the port's reads fell, so that it gives what its saved data1.txt
// gives. Text may come in pieces; lines are cut at LF, a CR before it
// dropped, and a line still open at Finish() is read as the last one.
class SnapshotLines {
 public:
  explicit SnapshotLines(ReviewSource& source);
  ~SnapshotLines();
  void Add(QStringView text);
  // Both channels of a line read already (a chunk that was one whole line).
  void AddReadings(const std::array<std::optional<ChannelSample>, 2>& channels);
  bool InLine() const { return !m_open.isEmpty(); }
  void Finish();

 private:
  void Line(QStringView line);

  ReviewSource& m_source;
  QString m_open;  // the start of a line whose end has not come yet
  struct Sink;
  std::unique_ptr<Sink> m_sink;
};

// Each line as a chunk with the fields the live pass would have applied
// (no times: the file has none).
void ForEachSnapshotChunk(const QByteArray& bytes,
                          const std::function<void(const StoredChunk&)>& visit);

// Reads the file at `path`; on failure returns nothing and a user-facing
// message in `error`.
std::optional<ReviewSource> ReadSnapshotFile(const QString& path, QString* error);
