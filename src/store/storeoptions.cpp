#include "storeoptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "sessionreader.h"

namespace {

const QString kNoStore = QStringLiteral("no-store");
const QString kStoreLimit = QStringLiteral("store-limit");

}  // namespace

std::optional<qint64> ParseByteSize(QStringView text) {
  text = text.trimmed();
  int shift = 0;
  if (!text.isEmpty()) {
    switch (text.back().toUpper().unicode()) {
      case u'K':
        shift = 10;
        break;
      case u'M':
        shift = 20;
        break;
      case u'G':
        shift = 30;
        break;
      case u'T':
        shift = 40;
        break;
      default:
        break;
    }
    if (shift) {
      text.chop(1);
    }
  }
  bool ok = false;
  const qint64 number = text.toLongLong(&ok);
  if (!ok || number < 0 || number > (std::numeric_limits<qint64>::max() >> shift)) {
    return std::nullopt;
  }
  return number << shift;
}

void AddStoreOptions(QCommandLineParser& parser) {
  parser.addOption(QCommandLineOption(
      kNoStore, QCoreApplication::translate("StoreOptions", "本次运行不记录数据。")));
  parser.addOption(QCommandLineOption(
      kStoreLimit,
      QCoreApplication::translate(
          "StoreOptions",
          "记录文件的大小上限（如 500M、2G；0 为不限），超出时删除最早的已结束记录。"),
      QStringLiteral("size")));
}

bool ReadStoreOptions(const QCommandLineParser& parser, const QString& environmentLimit,
                      StoreOptions* options, QString* error) {
  options->enabled = !parser.isSet(kNoStore);
  const bool fromLine = parser.isSet(kStoreLimit);
  const QString text = fromLine ? parser.value(kStoreLimit) : environmentLimit;
  if (!text.isEmpty()) {
    const std::optional<qint64> limit = ParseByteSize(text);
    if (!limit && fromLine) {
      *error = QCoreApplication::translate("StoreOptions", "%1 不是有效的大小：%2")
                   .arg(QStringLiteral("--store-limit"), text);
      return false;
    }
    if (!limit) {
      options->warning =
          QCoreApplication::translate("StoreOptions",
                                      "环境变量 ORVANTA_STORE_LIMIT 的值“%1”不是有效的大小，"
                                      "记录文件使用默认上限 %2 GiB。")
              .arg(text)
              .arg(options->limitBytes >> 30);
    } else {
      options->limitBytes = *limit;
    }
  }
  if (options->path.isEmpty()) {
    options->path = DefaultStorePath();
  }
  return true;
}
