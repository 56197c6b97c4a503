#include "sessionlabel.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "celllabel.h"
#include "storefile.h"
#include "storeschema.h"

namespace {

QString Tr(const char* text) {
  return QCoreApplication::translate("SessionLabel", text);
}

enum class Outcome { Done, NoSuchSession, Failed };

Outcome Label(QSqlDatabase& db, qint64 id, const std::array<std::optional<QString>, 2>& cells,
              QString* error) {
  // Brings an older store to the layout that has labels (as the program's
  // next start would), then changes the one row.
  if (!storeschema::Migrate(db, error)) {
    return Outcome::Failed;
  }
  QSqlQuery q(db);
  q.prepare(
      QStringLiteral("UPDATE sessions SET cell1 = coalesce(?, cell1),"
                     " cell2 = coalesce(?, cell2), labels_unconfirmed = 1 WHERE id = ?"));
  for (const std::optional<QString>& cell : cells) {
    // NULL keeps the label; a null QString would bind NULL too, so an
    // empty label is bound as a non-null empty text.
    const QString label = cell ? CleanCellLabel(*cell) : QString();
    q.addBindValue(cell ? QVariant(label.isEmpty() ? QStringLiteral("") : label)
                        : QVariant(QMetaType::fromType<QString>()));
  }
  q.addBindValue(id);
  if (!q.exec()) {
    *error = storeschema::Describe(QStringLiteral("update"), q.lastError());
    return Outcome::Failed;
  }
  return q.numRowsAffected() == 1 ? Outcome::Done : Outcome::NoSuchSession;
}

}  // namespace

bool LabelStoredSession(const QString& path, qint64 id,
                        const std::array<std::optional<QString>, 2>& cells, QString* error) {
  const QString native = QDir::toNativeSeparators(path);
  QString reason;
  const storefile::Verdict verdict = storefile::Inspect(path, storeschema::kVersion, &reason);
  if (verdict == storefile::Verdict::Missing) {
    *error = Tr("记录文件 %1 不存在").arg(native);
    return false;
  }
  if (verdict != storefile::Verdict::Store) {
    *error =
        Tr("%1 不是可写的记录文件：%2").arg(native, reason.isEmpty() ? Tr("不是记录文件") : reason);
    return false;
  }
  if (!storefile::JournalsAreOurs(path, &reason)) {
    *error = reason;
    return false;
  }
  const QString connection = storeschema::UniqueConnectionName("label");
  bool ok = false;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(path);
    // Waits for a recording program's commit instead of failing at once.
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
      *error = Tr("无法打开记录文件 %1：%2").arg(native, db.lastError().text());
    } else {
      switch (Label(db, id, cells, error)) {
        case Outcome::Done:
          ok = true;
          break;
        case Outcome::NoSuchSession:
          *error = Tr("没有编号为 %1 的记录").arg(id);
          break;
        case Outcome::Failed:
          *error = Tr("无法给记录 %1 写标签：%2").arg(id).arg(*error);
          break;
      }
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(connection);
  return ok;
}
