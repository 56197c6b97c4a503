#include "sessioncommands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cstdio>

#include "bdfexport.h"
#include "celllabel.h"
#include "cycles.h"
#include "savefile.h"
#include "serversessionreader.h"
#include "sessionexport.h"
#include "sessionlabel.h"
#include "sessionsource.h"
#include "summarycommand.h"

namespace {

QString LocalText(const QDateTime& utc) {
  return utc.isValid() ? utc.toLocalTime().toString(u"yyyy-MM-dd HH:mm:ss") : u"-"_qs;
}

// Short words for a tool's listing, in English kept apart from the review
// window's longer ones.
QString EndText(SessionEnd end) {
  switch (end) {
    case SessionEnd::Running:
      return QCoreApplication::translate("SessionCommands", "记录中");
    case SessionEnd::Closed:
      return QCoreApplication::translate("SessionCommands", "关闭串口");
    case SessionEnd::ProgramExit:
      return QCoreApplication::translate("SessionCommands", "程序退出");
    case SessionEnd::Interrupted:
      return QCoreApplication::translate("SessionCommands", "中断");
  }
  return {};
}

using Exporter = bool (*)(SessionReader&, const StoredSession&, QIODevice&, QString*);

QString WriteFailure(const QString& target, const QString& why) {
  return QCoreApplication::translate("SessionCommands", "导出到 %1 失败：%2").arg(target, why);
}

// Writes one export to `target`: "-" is standard output; a pipe, a device
// or a /dev/fd/N name is written into as it is; a file is replaced only once
// all of it is on the disk.
bool WriteExport(CommandContext& context, SessionReader& reader, const StoredSession& session,
                 const QString& target, Exporter exporter) {
  QString error;
  const QFileInfo info(target);
  if (target == u"-" || (info.exists() && !info.isFile() && !info.isDir())) {
    context.out.flush();
    QFile out;
    const bool opened = target == u"-" ? out.open(stdout, QIODevice::WriteOnly)
                                       : (out.setFileName(target), out.open(QIODevice::WriteOnly));
    if (!opened || !exporter(reader, session, out, &error) || !out.flush()) {
      context.err << WriteFailure(target == u"-" ? QStringLiteral("stdout") : target,
                                  error.isEmpty() ? out.errorString() : error)
                  << Qt::endl;
      return false;
    }
    return true;
  }
  QSaveFile file(target);
  if (!file.open(QIODevice::WriteOnly)) {
    context.err << QCoreApplication::translate("SessionCommands", "无法写入 %1：%2")
                       .arg(target, file.errorString())
                << Qt::endl;
    return false;
  }
  if (!exporter(reader, session, file, &error)) {
    context.err << WriteFailure(target, error) << Qt::endl;
    return false;
  }
  if (!CommitSaveFile(file, &error)) {
    context.err << WriteFailure(target, error) << Qt::endl;
    return false;
  }
  return true;
}

StoreOpener Opener(const CommandContext& context) {
  return [path = context.dbPath, uri = context.serverUri](QString* error) {
    return uri.isEmpty() ? SessionReader::Open(path, error)
                         : std::unique_ptr<SessionReader>(ServerSessionReader::Open(uri, error));
  };
}

QString ReadFailure(const SessionReader& reader) {
  return QCoreApplication::translate("SessionCommands", "读取记录文件失败：%1")
      .arg(reader.ReadError());
}

// Standard output reached its file, or the reason is on standard error (a
// full disk, a closed pipe): what was printed is never taken for done when
// it was not.
int Finished(CommandContext& context, int code) {
  context.out.flush();
  if (context.out.status() != QTextStream::Ok) {
    const QIODevice* device = context.out.device();
    context.err << QCoreApplication::translate("SessionCommands", "写入标准输出失败：%1")
                       .arg(device ? device->errorString() : QString())
                << Qt::endl;
    return code == kExitOk ? kExitFailed : code;
  }
  return code;
}

}  // namespace

std::unique_ptr<SessionReader> CommandContext::OpenStore() {
  QString error;
  auto reader = Opener(*this)(&error);
  if (!reader) {
    err << error << Qt::endl;
  }
  return reader;
}

std::optional<StoredSession> CommandContext::FindSession(SessionReader& reader,
                                                         const QString& name) {
  std::optional<qint64> id;
  if (name != u"latest") {
    bool ok = false;
    id = name.toLongLong(&ok);
    if (!ok) {
      err << QCoreApplication::translate("SessionCommands", "记录编号应为数字或 latest：%1")
                 .arg(name)
          << Qt::endl;
      return std::nullopt;
    }
  }
  const std::optional<StoredSession> session = reader.Find(id);
  if (!session && !reader.ReadError().isEmpty()) {
    err << ReadFailure(reader) << Qt::endl;
  } else if (!session) {
    err << (id ? QCoreApplication::translate("SessionCommands", "没有编号为 %1 的记录").arg(name)
               : QCoreApplication::translate("SessionCommands", "记录文件中还没有记录"))
        << Qt::endl;
  }
  return session;
}

const QList<SessionCommand>& SessionCommands() {
  static const QList<SessionCommand> commands = {
      {"list", "[--cell LABEL]",
       QT_TRANSLATE_NOOP("SessionCommands",
                         "每个记录一行：编号、开始、结束、时长、端口、设备、数据块数、帧数、"
                         "结束方式、通道 1 和通道 2 的电池编号；--cell 只列出装过该电池的记录"),
       &RunList},
      {"label", "ID --cell1 LABEL --cell2 LABEL",
       QT_TRANSLATE_NOOP("SessionCommands",
                         "给记录的通道标上电池编号（只改给出的通道；空编号即去掉）"),
       &RunLabel},
      {"export", "ID|latest (--csv FILE | --data1 FILE) | ID|latest|FILE --bdf DIR",
       QT_TRANSLATE_NOOP("SessionCommands",
                         "导出一个记录为 CSV 表格或 data1.txt（FILE 为 - 时写到标准输出）；"
                         "--bdf 把记录或 data1.txt 文件的每个通道写成文件夹 DIR 中的一个"
                         "电池数据格式（BDF）文件"),
       &RunExport},
      {"summary", "ID|latest|FILE",
       QT_TRANSLATE_NOOP("SessionCommands",
                         "每个通道一行放电小结（记录或 data1.txt 文件）：帧数、时长、容量、能量、"
                         "平均电压、最低与终止电压、最高温度、结束方式"),
       &RunSummary},
      {"cycles", "ID|latest|FILE [--cutoff MV]",
       QT_TRANSLATE_NOOP(
           "SessionCommands",
           "每个通道的每个循环一行（充放电仪重新计时即为新循环）：帧数、起始时间、"
           "时长、容量、电量、能量、平均电压、终止电压，以及到截止电压时的时间和电量"),
       &RunCycles},
      {"backup", "FILE",
       QT_TRANSLATE_NOOP("SessionCommands",
                         "把记录文件完整、一致地复制成一个新文件 FILE（程序运行时也可以）"),
       &RunBackup},
  };
  return commands;
}

int RunSummary(CommandContext& context) {
  return Finished(context,
                  RunSummaryCommand(context.arguments, context.out, context.err, Opener(context)));
}

int RunCycles(CommandContext& context) {
  return Finished(context,
                  RunCyclesCommand(context.arguments, context.out, context.err, Opener(context)));
}

int RunBackup(CommandContext& context) {
  if (!context.serverUri.isEmpty()) {
    context.err << QCoreApplication::translate(
                       "SessionCommands",
                       "backup 只复制本机的记录文件；实验室服务器请用其数据库的备份")
                << Qt::endl;
    return kExitUsage;
  }
  if (context.arguments.size() != 1 || context.arguments[0].startsWith(u'-')) {
    context.err << QCoreApplication::translate("SessionCommands",
                                               "用法：orvanta-sessions backup FILE")
                << Qt::endl;
    return kExitUsage;
  }
  QString error;
  if (!BackupStore(context.dbPath, context.arguments[0], &error)) {
    context.err << error << Qt::endl;
    return kExitFailed;
  }
  return kExitOk;
}

int RunLabel(CommandContext& context) {
  const QStringList& args = context.arguments;
  std::array<std::optional<QString>, 2> cells;
  QString name;
  bool usage = false;
  for (qsizetype i = 0; i < args.size() && !usage; ++i) {
    if ((args[i] == u"--cell1" || args[i] == u"--cell2") && i + 1 < args.size()) {
      std::optional<QString>& cell = cells[args[i] == u"--cell1" ? 0 : 1];
      usage = cell.has_value();
      cell = args[++i];
    } else if (name.isEmpty() && !args[i].startsWith(u'-')) {
      name = args[i];
    } else {
      usage = true;
    }
  }
  bool isNumber = false;
  const qint64 id = name.toLongLong(&isNumber);
  if (usage || !isNumber || (!cells[0] && !cells[1])) {
    context.err << QCoreApplication::translate(
                       "SessionCommands",
                       "用法：orvanta-sessions label ID [--cell1 编号] [--cell2 编号]")
                << Qt::endl;
    return kExitUsage;
  }
  if (!context.serverUri.isEmpty()) {
    context.err << QCoreApplication::translate("SessionCommands",
                                               "label 只改本机的记录文件，不能与 --server 一起用")
                << Qt::endl;
    return kExitUsage;
  }
  QString error;
  if (!LabelStoredSession(context.dbPath, id, cells, &error)) {
    context.err << error << Qt::endl;
    return kExitFailed;
  }
  return kExitOk;
}

int RunList(CommandContext& context) {
  QString cell;
  const QStringList& args = context.arguments;
  if (!(args.isEmpty() ||
        (args.size() == 2 && args[0] == u"--cell" && !CleanCellLabel(args[1]).isEmpty()))) {
    context.err << QCoreApplication::translate("SessionCommands",
                                               "用法：orvanta-sessions list [--cell 编号]")
                << Qt::endl;
    return kExitUsage;
  }
  if (!args.isEmpty()) {
    cell = CleanCellLabel(args[1]);
  }
  const auto reader = context.OpenStore();
  if (!reader) {
    return kExitFailed;
  }
  const QList<StoredSession> sessions = reader->Sessions();
  if (!reader->ReadError().isEmpty()) {
    context.err << ReadFailure(*reader) << Qt::endl;
    return kExitFailed;
  }
  const QChar tab(u'\t');
  // An unlabelled channel shows as "-", so the columns stay countable.
  const auto label = [](const QString& cell) { return cell.isEmpty() ? u"-"_qs : cell; };
  for (const StoredSession& s : sessions) {
    if (!cell.isEmpty() && s.cells[0] != cell && s.cells[1] != cell) {
      continue;
    }
    context.out << s.id << tab << LocalText(s.startUtc) << tab << LocalText(s.endUtc) << tab
                << SessionDurationText(s) << tab << s.port << tab << s.device << tab << s.chunks
                << tab << s.frames << tab
                << (s.writerGone ? QCoreApplication::translate("SessionCommands",
                                                               "未结束（记录程序已不在运行）")
                                 : EndText(s.ended))
                << tab << label(s.cells[0]) << tab << label(s.cells[1]);
    // The lab's sessions come from many benches.
    if (!context.serverUri.isEmpty()) {
      context.out << tab << s.bench;
    }
    context.out << '\n';
  }
  return Finished(context, kExitOk);
}

namespace {

// `export SOURCE --bdf DIR`: each channel's file, its path printed.
int RunBdfExport(CommandContext& context, const QString& name, const QString& dir) {
  QString error;
  std::optional<BdfSource> source;
  const SourceRef ref = ParseSourceRef(name);
  if (ref.kind == SourceRef::Kind::File) {
    source = ReadBdfFile(ref.path, &error);
  } else {
    const auto reader = context.OpenStore();
    if (!reader) {
      return kExitFailed;
    }
    const std::optional<StoredSession> session = context.FindSession(*reader, name);
    if (!session) {
      return kExitFailed;
    }
    source = ReadBdfSession(*reader, *session, &error);
  }
  QStringList written;
  if (!source || !WriteBdfFiles(*source, dir, &written, &error)) {
    for (const QString& path : written) {
      context.out << path << '\n';
    }
    context.err << error << Qt::endl;
    return Finished(context, kExitFailed);
  }
  for (const QString& path : written) {
    context.out << path << '\n';
  }
  return Finished(context, kExitOk);
}

}  // namespace

int RunExport(CommandContext& context) {
  QString name, csv, data1, bdf;
  const QStringList& args = context.arguments;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if ((arg == u"--csv" || arg == u"--data1" || arg == u"--bdf") && i + 1 < args.size()) {
      QString& target = arg == u"--csv" ? csv : arg == u"--data1" ? data1 : bdf;
      if (!target.isEmpty()) {
        context.err
            << QCoreApplication::translate("SessionCommands", "export：%1 只能给一次").arg(arg)
            << Qt::endl;
        return kExitUsage;
      }
      target = args[++i];
    } else if (name.isEmpty() && !arg.startsWith(u"--")) {
      name = arg;
    } else {
      context.err
          << QCoreApplication::translate("SessionCommands", "export 的参数有误：%1").arg(arg)
          << Qt::endl;
      return kExitUsage;
    }
  }
  // A data1.txt file is exported only as BDF: the other two would give it
  // back as it is.
  if (name.isEmpty() || (csv.isEmpty() && data1.isEmpty() && bdf.isEmpty()) ||
      (!bdf.isEmpty() && (!csv.isEmpty() || !data1.isEmpty()))) {
    context.err << QCoreApplication::translate(
                       "SessionCommands",
                       "用法：orvanta-sessions export ID|latest (--csv FILE | --data1 FILE)\n"
                       "      orvanta-sessions export ID|latest|FILE --bdf DIR")
                << Qt::endl;
    return kExitUsage;
  }
  if (!bdf.isEmpty()) {
    return RunBdfExport(context, name, bdf);
  }
  const auto reader = context.OpenStore();
  if (!reader) {
    return kExitFailed;
  }
  const std::optional<StoredSession> session = context.FindSession(*reader, name);
  if (!session) {
    return kExitFailed;
  }
  if (!csv.isEmpty() && !WriteExport(context, *reader, *session, csv, &ExportCsv)) {
    return kExitFailed;
  }
  if (!data1.isEmpty() && !WriteExport(context, *reader, *session, data1, &ExportData1)) {
    return kExitFailed;
  }
  return kExitOk;
}
