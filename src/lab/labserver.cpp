#include "labserver.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QSqlDatabase>

#include "serverconnection.h"
#include "serverschema.h"

namespace labserver {

QString Connect(const QString& uri, const char* role, QString* error) {
  static QAtomicInteger<quint64> counter;
  const QString name =
      QStringLiteral("orvanta-lab-%1-%2").arg(QLatin1StringView(role)).arg(++counter);
  QString why;
  const auto fail = [&](const QString& text) {
    Close(name);
    *error = text;
    return QString();
  };
  if (!serverconnection::Open(uri, name, &why)) {
    return fail(QCoreApplication::translate("LabServer", "无法连接实验室服务器：%1").arg(why));
  }
  QSqlDatabase db = QSqlDatabase::database(name, false);
  const int version = serverschema::Version(db, &why);
  if (version < 0) {
    return fail(QCoreApplication::translate("LabServer", "无法读取实验室服务器 %1：%2")
                    .arg(serverconnection::Shown(uri), why));
  }
  if (version == 0) {
    return fail(QCoreApplication::translate("LabServer",
                                            "实验室服务器 %1 上还没有记录（还没有工作台上传过）。")
                    .arg(serverconnection::Shown(uri)));
  }
  if (version > serverschema::kVersion) {
    return fail(QCoreApplication::translate(
                    "LabServer", "实验室服务器 %1 的数据格式（版本 %2）比本程序新，请升级本程序。")
                    .arg(serverconnection::Shown(uri))
                    .arg(version));
  }
  return name;
}

void Close(const QString& connection) {
  if (!QSqlDatabase::contains(connection)) {
    return;
  }
  {
    QSqlDatabase db = QSqlDatabase::database(connection, false);
    db.close();
  }
  QSqlDatabase::removeDatabase(connection);
}

QString TextFrom(const QSqlQuery& q, int first) {
  return serverschema::DecodeText(q.value(first).toString(), q.value(first + 1).toBool());
}

}  // namespace labserver
