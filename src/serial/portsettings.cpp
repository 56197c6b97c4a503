#include "portsettings.h"

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
