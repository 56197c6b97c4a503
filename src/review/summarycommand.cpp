#include "summarycommand.h"

#include <QCoreApplication>
#include <algorithm>

#include "dischargesummary.h"
#include "sessionsource.h"
#include "snapshotreader.h"

SourceRef ParseSourceRef(const QString& word) {
  SourceRef ref;
  if (word == QStringLiteral("latest")) {
    ref.kind = SourceRef::Kind::Latest;
    return ref;
  }
  bool isNumber = false;
  const qint64 id = word.toLongLong(&isNumber);
  const bool digitsOnly =
      !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) { return c.isDigit(); });
  if (isNumber && digitsOnly) {
    ref.kind = SourceRef::Kind::Session;
    ref.id = id;
    return ref;
  }
  ref.path = word;
  return ref;
}

std::optional<StoredSession> FindSourceSession(const SourceRef& ref, SessionReader* store,
                                               QString* error) {
  if (!store) {
    if (error && error->isEmpty()) {
      *error = QCoreApplication::translate("ReviewWindow", "没有会话记录库。");
    }
    return std::nullopt;
  }
  const std::optional<qint64> id =
      ref.kind == SourceRef::Kind::Session ? std::optional<qint64>(ref.id) : std::nullopt;
  std::optional<StoredSession> session = store->Find(id);
  if (!session && error) {
    *error = ref.kind == SourceRef::Kind::Session
                 ? QCoreApplication::translate("ReviewWindow", "没有编号为 %1 的会话。").arg(ref.id)
                 : QCoreApplication::translate("ReviewWindow", "记录库中还没有会话。");
  }
  return session;
}

std::optional<ReviewSource> ReadSourceRef(const SourceRef& ref, SessionReader* reader,
                                          QString* error) {
  if (ref.kind == SourceRef::Kind::File) {
    return ReadSnapshotFile(ref.path, error);
  }
  const std::optional<StoredSession> session = FindSourceSession(ref, reader, error);
  return session ? ReadSession(*reader, *session, error) : std::nullopt;
}

std::optional<ReviewSource> ReadSourceWord(const QString& word, const StoreOpener& openStore,
                                           QTextStream& err) {
  QString error;
  const SourceRef ref = ParseSourceRef(word);
  std::unique_ptr<SessionReader> store;
  if (ref.kind != SourceRef::Kind::File) {
    store = openStore(&error);
  }
  std::optional<ReviewSource> source = ReadSourceRef(ref, store.get(), &error);
  if (!source) {
    err << error << '\n';
  }
  return source;
}

int RunSummaryCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                      const StoreOpener& openStore) {
  if (args.size() != 1) {
    err << QCoreApplication::translate("ReviewWindow",
                                       "用法：orvanta-sessions summary ID|latest|文件")
        << '\n';
    return 2;
  }
  QString error;
  const SourceRef ref = ParseSourceRef(args[0]);
  std::unique_ptr<SessionReader> store;
  if (ref.kind != SourceRef::Kind::File) {
    store = openStore(&error);
  }
  const std::optional<ReviewSource> source = ReadSourceRef(ref, store.get(), &error);
  if (!source) {
    err << error << '\n';
    return 1;
  }
  for (const DischargeSummary& s : SummarizeSource(*source)) {
    out << SummaryLine(s) << '\n';
  }
  out.flush();
  return 0;
}
