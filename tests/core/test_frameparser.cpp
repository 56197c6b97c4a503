#include <QLocale>
#include <QtTest>

#include "framecollector.h"
#include "frameparser.h"

namespace {

// Records every report as one line, in order.
class RecordingSink final : public FrameSink {
 public:
  void NotAFrame() override { reports << QStringLiteral("NotAFrame"); }
  void Field(int channel, Quantity quantity, qint32 value) override {
    reports << QStringLiteral("Field %1 %2 %3").arg(channel).arg(int(quantity)).arg(value);
  }
  void ChannelDone(int channel) override { reports << QStringLiteral("Done %1").arg(channel); }
  void Failed(ParseFailure failure, int tokenIndex) override {
    reports << QStringLiteral("Failed %1 at %2").arg(int(failure)).arg(tokenIndex);
  }
  QStringList reports;
};

ChannelReading Reading(qint32 t, qint32 v, qint32 i, qint32 r, qint32 w) {
  return ChannelReading{true, t, v, i, r, w};
}

}  // namespace

Q_DECLARE_METATYPE(ChannelReading)
Q_DECLARE_METATYPE(std::optional<ParseFailure>)

class TestFrameParser : public QObject {
  Q_OBJECT

 private slots:
  void tokenize_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QStringList>("tokens");
    QTest::newRow("empty chunk has no tokens") << QString() << QStringList();
    QTest::newRow("commas and semicolons split alike")
        << QStringLiteral("$1,1;2") << QStringList{u"$1"_qs, u"1"_qs, u"2"_qs};
    QTest::newRow("adjacent separators give empty tokens")
        << QStringLiteral("a,,b") << QStringList{u"a"_qs, QString(), u"b"_qs};
    QTest::newRow("leading separator gives empty token 0")
        << QStringLiteral(",a") << QStringList{QString(), u"a"_qs};
    QTest::newRow("blank after comma is a separator too")
        << QStringLiteral("$1, 1") << QStringList{u"$1"_qs, QString(), u"1"_qs};
    QTest::newRow("line ends stay inside the token")
        << QStringLiteral("24\r\n$1,2") << QStringList{u"24\r\n$1"_qs, u"2"_qs};
    QTest::newRow("trailing separator gives empty last token")
        << QStringLiteral("a;") << QStringList{u"a"_qs, QString()};
    QTest::newRow("a single separator") << QStringLiteral(" ") << QStringList{QString(), QString()};
  }
  void tokenize() {
    QFETCH(QString, chunk);
    QFETCH(QStringList, tokens);
    QCOMPARE(Tokenize(chunk), tokens);
  }

  void toNumber_data() {
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << u"1350"_qs << true << 1350.0;
    QTest::newRow("signed") << u"-25"_qs << true << -25.0;
    QTest::newRow("plus sign") << u"+7"_qs << true << 7.0;
    QTest::newRow("fraction") << u"2.5"_qs << true << 2.5;
    QTest::newRow("leading point") << u".5"_qs << true << 0.5;
    QTest::newRow("trailing point") << u"5."_qs << true << 5.0;
    QTest::newRow("line end after") << u"24\r\n"_qs << true << 24.0;
    QTest::newRow("blanks and tabs around") << u" \t 12 \t"_qs << true << 12.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("only blanks") << u" \r\n"_qs << false << 0.0;
    QTest::newRow("trailing letters") << u"12abc"_qs << false << 0.0;
    QTest::newRow("next marker stuck on") << u"24\r\n$1"_qs << false << 0.0;
    QTest::newRow("exponent") << u"1e3"_qs << false << 0.0;
    QTest::newRow("nan") << u"nan"_qs << false << 0.0;
    QTest::newRow("inf") << u"inf"_qs << false << 0.0;
    QTest::newRow("decimal comma") << u"1,5"_qs << false << 0.0;
    QTest::newRow("two points") << u"1.2.3"_qs << false << 0.0;
    QTest::newRow("sign alone") << u"-"_qs << false << 0.0;
    QTest::newRow("point alone") << u"."_qs << false << 0.0;
    QTest::newRow("two signs") << u"--1"_qs << false << 0.0;
    QTest::newRow("inner blank") << u"1 2"_qs << false << 0.0;
    QTest::newRow("hex") << u"0x10"_qs << false << 0.0;
    QTest::newRow("full-width digits") << u"１２"_qs << false << 0.0;
    QTest::newRow("NUL inside") << QString::fromUtf16(u"1\u00002", 3) << false << 0.0;
    QTest::newRow("overlong digit run") << QString(400, u'9') << false << 0.0;
    QTest::newRow("fraction below any double reads as zero")
        << u"0."_qs + QString(400, u'0') + u"1"_qs << true << 0.0;
  }
  void toNumber() {
    QFETCH(QString, token);
    QFETCH(bool, ok);
    QFETCH(double, value);
    const std::optional<double> number = ToNumber(token);
    QCOMPARE(number.has_value(), ok);
    if (ok) {
      QCOMPARE(*number, value);
    }
  }

  void toInt32_data() {
    QTest::addColumn<QString>("token");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qint32>("value");
    QTest::newRow("2.5 rounds to even 2") << u"2.5"_qs << true << 2;
    QTest::newRow("3.5 rounds to even 4") << u"3.5"_qs << true << 4;
    QTest::newRow("-2.5 rounds to even -2") << u"-2.5"_qs << true << -2;
    QTest::newRow("2.51 rounds up") << u"2.51"_qs << true << 3;
    QTest::newRow("0.49 rounds down") << u"0.49"_qs << true << 0;
    QTest::newRow("max") << u"2147483647"_qs << true << 2147483647;
    QTest::newRow("max plus a half fails") << u"2147483647.5"_qs << false << 0;
    QTest::newRow("min") << u"-2147483648"_qs << true << qint32(-2147483647 - 1);
    QTest::newRow("just above min rounds onto it")
        << u"-2147483648.4"_qs << true << qint32(-2147483647 - 1);
    QTest::newRow("below min fails") << u"-2147483648.6"_qs << false << 0;
    QTest::newRow("far out of range") << u"99999999999"_qs << false << 0;
    QTest::newRow("not a number") << u"x"_qs << false << 0;
    QTest::newRow("minus zero") << u"-0"_qs << true << 0;
  }
  void toInt32() {
    QFETCH(QString, token);
    QFETCH(bool, ok);
    QFETCH(qint32, value);
    const std::optional<qint32> number = ToInt32(token);
    QCOMPARE(number.has_value(), ok);
    if (ok) {
      QCOMPARE(*number, value);
    }
  }

  void conversionsIgnoreLocale() {
    const QLocale saved;
    for (const auto language : {QLocale::German, QLocale::Chinese, QLocale::French}) {
      QLocale::setDefault(QLocale(language));
      QCOMPARE(ToNumber(u"1.5"), std::optional<double>(1.5));
      QCOMPARE(ToNumber(u"1,5"), std::nullopt);
      QCOMPARE(ToInt32(u"1.000"), std::optional<qint32>(1));
    }
    QLocale::setDefault(saved);
  }

  // A channel whose walk failed keeps the fields reported before the failure
  // but is not present.
  void parse_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<bool>("isFrame");
    QTest::addColumn<ChannelReading>("channel1");
    QTest::addColumn<ChannelReading>("channel2");
    QTest::addColumn<std::optional<ParseFailure>>("failure");

    const ChannelReading none;
    QTest::newRow("both channels")
        << u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24"_qs << true
        << Reading(120, 1350, 500, 100, 25) << Reading(118, 1342, 498, 99, 24)
        << std::optional<ParseFailure>();
    QTest::newRow("channel 1 absent, its empty fields never converted")
        << u"$1,0,,,,,,1,60,1300,500,50,24"_qs << true << none << Reading(60, 1300, 500, 50, 24)
        << std::optional<ParseFailure>();
    QTest::newRow("flag 2 counts as absent")
        << u"$1,2,x,x,x,x,x,0"_qs << true << none << none << std::optional<ParseFailure>();
    QTest::newRow("flag 1.0 counts as present")
        << u"$1,1.0,1,2,3,4,5,0"_qs << true << Reading(1, 2, 3, 4, 5) << none
        << std::optional<ParseFailure>();
    QTest::newRow("blank after comma empties the flag")
        << u"$1, 1,120,1350,500,100,25;1,118,1342,498,99,24"_qs << true << none << none
        << std::optional<ParseFailure>(ParseFailure::BadConversion);
    QTest::newRow("$2 is not a frame") << u"$2,1,120,1350,500,100,25;1,118,1342,498,99,24"_qs
                                       << false << none << none << std::optional<ParseFailure>();
    QTest::newRow("marker is case and blank sensitive")
        << u" $1,1,1,1,1,1,1,0"_qs << false << none << none << std::optional<ParseFailure>();
    QTest::newRow("empty chunk fails at the first step")
        << QString() << false << none << none
        << std::optional<ParseFailure>(ParseFailure::MissingToken);
    QTest::newRow("channel 1 only fails when token 7 is needed")
        << u"$1,1,120,1350,500,100,25"_qs << true << Reading(120, 1350, 500, 100, 25) << none
        << std::optional<ParseFailure>(ParseFailure::MissingToken);
    QTest::newRow("fractions round half to even")
        << u"$1,1,2.5,3.5,0,0,0,1,4.5,5.5,0,0,0"_qs << true << Reading(2, 4, 0, 0, 0)
        << Reading(4, 6, 0, 0, 0) << std::optional<ParseFailure>();
    QTest::newRow("trailing CR LF converts")
        << u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n"_qs << true
        << Reading(120, 1350, 500, 100, 25) << Reading(118, 1342, 498, 99, 24)
        << std::optional<ParseFailure>();
    QTest::newRow("end-of-discharge notice") << u" Exit from discharge .... "_qs << false << none
                                             << none << std::optional<ParseFailure>();
    QTest::newRow("end-of-discharge notice with line end")
        << u" Exit from discharge .... \r\n"_qs << false << none << none
        << std::optional<ParseFailure>();
    QTest::newRow("two frames split by CR LF: marker sticks to the temperature")
        << u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n$1,1,121,1349,500,100,25;1,119,1341,498,99,24\r\n"_qs
        << true << Reading(120, 1350, 500, 100, 25) << ChannelReading{false, 118, 1342, 498, 99, 0}
        << std::optional<ParseFailure>(ParseFailure::BadConversion);
    QTest::newRow("two frames split by a comma: the first applies in full")
        << u"$1,1,120,1350,500,100,25;1,118,1342,498,99,24,$1,1,121,1349,500,100,25;1,119,1341,498,99,24"_qs
        << true << Reading(120, 1350, 500, 100, 25) << Reading(118, 1342, 498, 99, 24)
        << std::optional<ParseFailure>();
    QTest::newRow("bad channel 2 temperature leaves channel 1 whole")
        << u"$1,1,1,2,3,4,5,1,6,7,8,9,x"_qs << true << Reading(1, 2, 3, 4, 5)
        << ChannelReading{false, 6, 7, 8, 9, 0}
        << std::optional<ParseFailure>(ParseFailure::BadConversion);
  }
  void parse() {
    QFETCH(QString, chunk);
    QFETCH(bool, isFrame);
    QFETCH(ChannelReading, channel1);
    QFETCH(ChannelReading, channel2);
    QFETCH(std::optional<ParseFailure>, failure);

    std::optional<ParseFailure> seen;
    const TelemetryFrame frame = ParseFrame(chunk, &seen);
    QCOMPARE(frame.isFrame, isFrame);
    QCOMPARE(frame.channel1, channel1);
    QCOMPARE(frame.channel2, channel2);
    QCOMPARE(seen, failure);
  }

  void reportsComeInWalkOrder_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<QStringList>("reports");
    QTest::newRow("channel 1 only, fails at token 7")
        << u"$1,1,120,1350,500,100,25"_qs
        << QStringList{u"Field 1 0 120"_qs, u"Field 1 1 1350"_qs, u"Field 1 2 500"_qs,
                       u"Field 1 3 100"_qs, u"Field 1 4 25"_qs,   u"Done 1"_qs,
                       u"Failed 0 at 7"_qs};
    QTest::newRow("CR LF between frames: four channel 2 fields, then failure")
        << u"$1,0,,,,,,1,6,7,8,9,24\r\n$1"_qs
        << QStringList{u"Field 2 0 6"_qs, u"Field 2 1 7"_qs, u"Field 2 2 8"_qs, u"Field 2 3 9"_qs,
                       u"Failed 1 at 12"_qs};
    QTest::newRow("not a frame") << u"hello"_qs << QStringList{u"NotAFrame"_qs};
    QTest::newRow("empty") << QString() << QStringList{u"Failed 0 at 0"_qs};
    QTest::newRow("bad flag") << u"$1,?"_qs << QStringList{u"Failed 1 at 1"_qs};
  }
  void reportsComeInWalkOrder() {
    QFETCH(QString, chunk);
    QFETCH(QStringList, reports);
    RecordingSink sink;
    Parse(chunk, sink);
    QCOMPARE(sink.reports, reports);
  }

  // A sink that throws stops the walk where it stands: nothing after the
  // throwing report is converted or reported.
  void sinkFailureStopsTheWalk() {
    class ThrowOnThird final : public FrameSink {
     public:
      void NotAFrame() override {}
      void Field(int, Quantity, qint32) override {
        if (++fields == 3) {
          throw std::runtime_error("readout failed");
        }
      }
      void ChannelDone(int) override { ++done; }
      void Failed(ParseFailure, int) override { ++failed; }
      int fields = 0;
      int done = 0;
      int failed = 0;
    } sink;
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, Parse(u"$1,1,1,2,3,4,5,1,6,7,8,9,10", sink));
    QCOMPARE(sink.fields, 3);
    QCOMPARE(sink.done, 0);
    QCOMPARE(sink.failed, 0);
  }
};

QTEST_GUILESS_MAIN(TestFrameParser)
#include "test_frameparser.moc"
