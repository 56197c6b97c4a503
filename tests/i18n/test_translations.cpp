// Which catalogues each locale loads, and what Qt's dialogs and the chart's
// toolbar then read; the designed texts stay Chinese in every locale.
#include <QAbstractFileIconProvider>
#include <QAction>
#include <QTranslator>
#include <QtTest>

#include "dischargechart.h"
#include "translations.h"
#include "translators.h"

class TestTranslations : public QObject {
  Q_OBJECT
 private slots:
  void cleanup() { RemoveTranslators(); }

  void localeChoosesTheCatalogues_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QStringList>("loaded");
    QTest::addColumn<QString>("cancel");    // Qt's standard button
    QTest::addColumn<QString>("lookIn");    // the file dialog's folder field
    QTest::addColumn<QString>("csv");       // the chart's CSV export button
    QTest::addColumn<QString>("csvError");  // its failure message
    QTest::addColumn<QString>("folder");    // a folder's type in the file dialogs
    const QStringList chinese{u"qtbase_zh_CN"_qs, u"qtserialport_zh_CN"_qs, u"orvanta_qt_zh_CN"_qs};
    QTest::newRow("zh_CN") << u"zh_CN"_qs << chinese << u"取消"_qs << u"查找范围："_qs
                           << u"导出CSV"_qs << u"无法把图表数据保存到 x。"_qs << u"文件夹"_qs;
    QTest::newRow("zh_TW reads Chinese too")
        << u"zh_TW"_qs << chinese << u"取消"_qs << u"查找范围："_qs << u"导出CSV"_qs
        << u"无法把图表数据保存到 x。"_qs << u"文件夹"_qs;
    QTest::newRow("en_US") << u"en_US"_qs << QStringList{u"orvanta_en"_qs} << u"Cancel"_qs
                           << u"Look in:"_qs << u"Export CSV"_qs
                           << u"Could not save the chart data to x."_qs << u"Folder"_qs;
    QTest::newRow("de_DE") << u"de_DE"_qs << QStringList{u"orvanta_en"_qs} << u"Cancel"_qs
                           << u"Look in:"_qs << u"Export CSV"_qs
                           << u"Could not save the chart data to x."_qs << u"Folder"_qs;
  }
  void localeChoosesTheCatalogues() {
    QFETCH(QString, locale);
    QFETCH(QStringList, loaded);
    QFETCH(QString, cancel);
    QFETCH(QString, lookIn);
    QFETCH(QString, csv);
    QFETCH(QString, csvError);
    QFETCH(QString, folder);
    QCOMPARE(InstallTranslations(*qApp, QLocale(locale)), loaded);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), lookIn);
    // The type column of the chart's and the review's file dialogs.
    QCOMPARE(QAbstractFileIconProvider().type(QFileInfo(QDir::tempPath())), folder);
    QCOMPARE(
        QCoreApplication::translate("DischargeChart", "无法把图表数据保存到 %1。").arg(u"x"_qs),
        csvError);
    DischargeChart chart;
    QCOMPARE(chart.Action(ChartCommand::SaveCsv)->text(), csv);
    // The chart's designed title and trace titles are set by the program
    // and stay as designed.
    chart.ClearChart();
    QCOMPARE(chart.TraceTitle(0), u"通道1"_qs);
  }
};

QTEST_MAIN(TestTranslations)
#include "test_translations.moc"
