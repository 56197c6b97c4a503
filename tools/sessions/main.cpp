// orvanta-sessions: lists the sessions in the store and exports them.
// Usage: orvanta-sessions [--db PATH] COMMAND [ARGUMENTS]   (see --help)

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

#include "sessioncommands.h"
#include "translations.h"

namespace {

void Usage(QTextStream& stream) {
  stream << "orvanta-sessions [--db PATH | --server URI] COMMAND [ARGUMENTS]\n\n"
         << QCoreApplication::translate("SessionCommands", "记录文件默认为 %1")
                .arg(QDir::toNativeSeparators(DefaultStorePath()))
         << '\n'
         << QCoreApplication::translate("SessionCommands",
                                        "--server URI 读实验室服务器（libpq 连接 "
                                        "URI）上所有工作台的记录；list 的最后一列是工作台")
         << "\n\n";
  for (const SessionCommand& command : SessionCommands()) {
    stream << "  " << command.name << ' ' << command.usage << "\n      "
           << QCoreApplication::translate("SessionCommands", command.summary) << '\n';
  }
  stream.flush();
}

}  // namespace

int main(int argc, char* argv[]) {
  QCoreApplication app(argc, argv);
  InstallTranslations(app);
  QTextStream out(stdout);
  QTextStream err(stderr);

  QStringList args = app.arguments().mid(1);
  QString db;
  QString server;
  for (qsizetype i = 0; i < args.size(); ++i) {
    if (args[i] == u"--db" || args[i] == u"--server") {
      if (i + 1 >= args.size()) {
        err << "orvanta-sessions: " << (args[i] == u"--db" ? "--db PATH" : "--server URI")
            << Qt::endl;
        return kExitUsage;
      }
      (args[i] == u"--db" ? db : server) = args[i + 1];
      args.remove(i, 2);
      --i;
    }
  }
  if (args.isEmpty() || args[0] == u"--help" || args[0] == u"-h" || args[0] == u"help") {
    Usage(args.isEmpty() ? err : out);
    return args.isEmpty() ? kExitUsage : kExitOk;
  }
  const QString name = args.takeFirst();
  for (const SessionCommand& command : SessionCommands()) {
    if (name == QLatin1StringView(command.name)) {
      if (args.contains(u"--help"_qs) || args.contains(u"-h"_qs)) {
        out << "orvanta-sessions [--db PATH] " << command.name << ' ' << command.usage << "\n  "
            << QCoreApplication::translate("SessionCommands", command.summary) << '\n';
        out.flush();
        return out.status() == QTextStream::Ok ? kExitOk : kExitFailed;
      }
      CommandContext context{db.isEmpty() ? DefaultStorePath() : db, server, args, out, err};
      return command.run(context);
    }
  }
  err << QCoreApplication::translate("SessionCommands", "未知命令：%1").arg(name) << '\n';
  Usage(err);
  return kExitUsage;
}
