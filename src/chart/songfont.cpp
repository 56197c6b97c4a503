#include "songfont.h"

#include <QStringList>

QFont SongFont(double points, bool bold) {
  QFont font;
  font.setFamilies(
      QStringList{QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("NSimSun"),
                  QStringLiteral("AR PL UMing CN"), QStringLiteral("AR PL SungtiL GB"),
                  QStringLiteral("Noto Serif CJK SC"), QStringLiteral("Source Han Serif SC")});
  font.setPointSizeF(points);
  font.setBold(bold);
  font.setStyleHint(QFont::Serif);
  return font;
}
