#include "serveroptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSettings>
#include <QSysInfo>

#include "serverconnection.h"

namespace {

const QString kBench = QStringLiteral("bench");

}  // namespace

void AddBenchOption(QCommandLineParser& parser) {
  parser.addOption(QCommandLineOption(
      kBench,
      QCoreApplication::translate(
          "ServerOptions", "本台架在服务器上的名称（默认为主机名）。也可写在设置文件的 bench 项。"),
      QStringLiteral("NAME")));
}

bool ReadServerOptions(const QString& uri, const QCommandLineParser& parser, QSettings& settings,
                       ServerOptions* options, QString* error) {
  options->uri = uri.trimmed();
  options->bench = parser.isSet(kBench) ? parser.value(kBench).trimmed()
                                        : settings.value(kBench).toString().trimmed();
  if (options->bench.isEmpty()) {
    options->bench = QSysInfo::machineHostName();
  }
  if (options->uri.isEmpty()) {
    return true;
  }
  QString why;
  if (serverconnection::ConnectOptions(options->uri, &why).isEmpty()) {
    *error = QCoreApplication::translate("ServerOptions", "实验室服务器的地址不可用：%1").arg(why);
    return false;
  }
  return true;
}
