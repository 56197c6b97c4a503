#include "labsettings.h"

#include <QCommandLineParser>
#include <QCoreApplication>

namespace {
const QString kServer = QStringLiteral("server");
const QString kLab = QStringLiteral("lab");
}  // namespace

QString ConfiguredServer(const QString& commandLine, const QSettings& settings) {
  if (!commandLine.trimmed().isEmpty()) {
    return commandLine.trimmed();
  }
  const QString environment = qEnvironmentVariable("ORVANTA_SERVER").trimmed();
  if (!environment.isEmpty()) {
    return environment;
  }
  return settings.value(kServer).toString().trimmed();
}

void AddLabOptions(QCommandLineParser& parser) {
  parser.addOption(QCommandLineOption(
      kServer,
      QCoreApplication::translate(
          "main",
          "实验室服务器（PostgreSQL 的 libpq 连接 URI，例如 "
          "postgresql://orvanta@labdb/orvanta?sslmode=verify-full）。也可用环境变量 "
          "ORVANTA_SERVER 或设置文件中的 server 键。密码不写在这里，写在 libpq 的密码文件"
          "（PGPASSFILE）中。与 --review 一起使用时，历史记录窗口列出服务器上所有工作台的会话。"),
      QStringLiteral("URI")));
  parser.addOption(QCommandLineOption(
      kLab, QCoreApplication::translate(
                "main", "只打开实验室窗口：服务器上每个正在记录的会话及其最新读数，随时更新。")));
}

QString ServerOption(const QCommandLineParser& parser) {
  return parser.value(kServer);
}

bool LabAsked(const QCommandLineParser& parser) {
  return parser.isSet(kLab);
}
