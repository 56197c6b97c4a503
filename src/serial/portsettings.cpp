#include "portsettings.h"

#include <QCoreApplication>
#include <QSettings>
#include <QStringList>

namespace {

bool IsDecimal(QStringView text) {
  if (text.isEmpty()) {
    return false;
  }
  for (QChar c : text) {
    if (c < u'0' || c > u'9') {
      return false;
    }
  }
  return true;
}

}  // namespace

std::optional<PortSettings> ParsePortSettings(const QString& text) {
  const QStringList fields = text.split(u',');
  if (fields.size() != 4) {
    return std::nullopt;
  }
  PortSettings settings;

  // Digits only: toInt alone would accept a sign and surrounding blanks.
  bool ok = false;
  const int baud = fields[0].toInt(&ok);
  if (!IsDecimal(fields[0]) || !ok || baud <= 0) {
    return std::nullopt;
  }
  settings.baud = baud;

  if (fields[1].size() != 1) {
    return std::nullopt;
  }
  switch (fields[1][0].toLower().unicode()) {
    case u'n':
      settings.parity = PortParity::None;
      break;
    case u'e':
      settings.parity = PortParity::Even;
      break;
    case u'o':
      settings.parity = PortParity::Odd;
      break;
    case u'm':
      settings.parity = PortParity::Mark;
      break;
    case u's':
      settings.parity = PortParity::Space;
      break;
    default:
      return std::nullopt;
  }

  if (fields[2].size() != 1 || fields[2][0] < u'5' || fields[2][0] > u'8') {
    return std::nullopt;
  }
  settings.dataBits = fields[2][0].unicode() - u'0';

  if (fields[3] == u"1") {
    settings.stopBits = PortStopBits::One;
  } else if (fields[3] == u"1.5") {
    settings.stopBits = PortStopBits::OneAndHalf;
  } else if (fields[3] == u"2") {
    settings.stopBits = PortStopBits::Two;
  } else {
    return std::nullopt;
  }
  return settings;
}

bool PortMap::Assign(const QString& assignment, QString* error) {
  const qsizetype equals = assignment.indexOf(u'=');
  const QString port = assignment.left(equals).trimmed();
  const QString device = equals < 0 ? QString() : assignment.mid(equals + 1).trimmed();
  bool ok = false;
  const int number = port.startsWith(QStringLiteral("COM"), Qt::CaseInsensitive)
                         ? QStringView(port).mid(3).toInt(&ok)
                         : 0;
  if (equals < 0 || !ok || !IsDecimal(QStringView(port).mid(3)) || number < 1 ||
      number > kPortCount) {
    *error =
        QCoreApplication::translate("PortMap", "“%1”应为 COMn=设备，n 为 1 到 16").arg(assignment);
    return false;
  }
  if (device.isEmpty()) {
    *error = QCoreApplication::translate("PortMap", "“%1”缺少设备名").arg(assignment);
    return false;
  }
  m_devices[number - 1] = device;
  return true;
}

QString PortMap::Assigned(int number) const {
  return number >= 1 && number <= kPortCount ? m_devices[number - 1] : QString();
}

QString PortMap::Device(int number) const {
  const QString assigned = Assigned(number);
  if (!assigned.isEmpty()) {
    return assigned;
  }
#ifdef Q_OS_WIN
  return QStringLiteral("COM%1").arg(number);
#else
  const QByteArray variable = "ORVANTA_COM" + QByteArray::number(number);
  const QString named = qEnvironmentVariable(variable.constData());
  if (!named.isEmpty()) {
    return named;
  }
  return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

QStringList ReadPortSection(QSettings& settings, PortMap& map) {
  QStringList problems;
  settings.beginGroup(QStringLiteral("ports"));
  PortMap fromFile;
  for (const QString& key : settings.childKeys()) {
    QString error;
    if (!fromFile.Assign(key + u'=' + settings.value(key).toString(), &error)) {
      problems << error;
    }
  }
  settings.endGroup();
  for (int n = 1; n <= PortMap::kPortCount; ++n) {
    if (map.Assigned(n).isEmpty() && !fromFile.Assigned(n).isEmpty()) {
      QString unused;
      map.Assign(QStringLiteral("COM%1=%2").arg(n).arg(fromFile.Assigned(n)), &unused);
    }
  }
  return problems;
}

namespace {
PortMap& TheMap() {
  static PortMap map;
  return map;
}
}  // namespace

void SetPortMap(const PortMap& map) {
  TheMap() = map;
}

const PortMap& CurrentPortMap() {
  return TheMap();
}
