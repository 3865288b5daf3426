#include "common/settingsstore.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace tombolix;

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void freshInstallationReadsDefaults();
    void readingLeavesTheKeyBehind();
    void valuesRoundTrip();
    void emptyValueReadsAsDefault();
    void viewOptionsAreTrueOnlyForExactTrue_data();
    void viewOptionsAreTrueOnlyForExactTrue();
    void viewOptionWritesTrueAndFalse();
    void optionOnByDefaultIsOffOnlyWhenStoredSo();
    void drawSettingsBelongToTheirDraw();

private:
    QTemporaryDir *m_dir = nullptr;
    QString file() const { return m_dir->filePath(QStringLiteral("settings.ini")); }
};

void TestSettingsStore::init()
{
    m_dir = new QTemporaryDir;
    setSettingsFile(file());
}

void TestSettingsStore::cleanup()
{
    setSettingsFile(QString());
    delete m_dir;
    m_dir = nullptr;
}

void TestSettingsStore::freshInstallationReadsDefaults()
{
    QVERIFY(!ReadViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order")));
    QVERIFY(!ReadViewOption(QStringLiteral("ListHide"), QStringLiteral("Hide")));
    QVERIFY(!ReadViewOption(QStringLiteral("ResultOneAward"), QStringLiteral("OneAward")));
    QCOMPARE(
        ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QString()), QString());
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ImputMap"), QStringLiteral("T(0)"), QStringLiteral("1")),
        QStringLiteral("1"));
}

void TestSettingsStore::readingLeavesTheKeyBehind()
{
    ReadViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"));
    QSettings raw(file(), QSettings::IniFormat);
    QVERIFY(raw.contains(QStringLiteral("ResultOrder/Order")));
    QCOMPARE(raw.value(QStringLiteral("ResultOrder/Order")).toString(), QString());
}

void TestSettingsStore::valuesRoundTrip()
{
    QVERIFY(
        WriteRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QStringLiteral("1200")));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Left"), QString()),
        QStringLiteral("1200"));
    // Keys with parentheses and Chinese text survive.
    QVERIFY(WriteRegValue(
        AppName, QStringLiteral("ImputMap"), QStringLiteral("I(1)"), QStringLiteral("B,\"号\"")));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ImputMap"), QStringLiteral("I(1)"), QString()),
        QStringLiteral("B,\"号\""));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ImputMap"), QStringLiteral("I(0)"), QStringLiteral("A")),
        QStringLiteral("A"));
}

void TestSettingsStore::emptyValueReadsAsDefault()
{
    WriteRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Top"), QString());
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ResultBrd"), QStringLiteral("Top"), QStringLiteral("x")),
        QStringLiteral("x"));
}

void TestSettingsStore::viewOptionsAreTrueOnlyForExactTrue_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("on");
    QTest::newRow("true") << "true" << true;
    QTest::newRow("True") << "True" << false;
    QTest::newRow("TRUE") << "TRUE" << false;
    QTest::newRow("padded") << " true" << false;
    QTest::newRow("1") << "1" << false;
    QTest::newRow("false") << "false" << false;
}

void TestSettingsStore::viewOptionsAreTrueOnlyForExactTrue()
{
    QFETCH(QString, stored);
    QFETCH(bool, on);
    WriteRegValue(AppName, QStringLiteral("ResultOrder"), QStringLiteral("Order"), stored);
    QCOMPARE(ReadViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order")), on);
}

void TestSettingsStore::viewOptionWritesTrueAndFalse()
{
    WriteViewOption(QStringLiteral("ListHide"), QStringLiteral("Hide"), true);
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ListHide"), QStringLiteral("Hide"), QString()),
        QStringLiteral("true"));
    WriteViewOption(QStringLiteral("ListHide"), QStringLiteral("Hide"), false);
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("ListHide"), QStringLiteral("Hide"), QString()),
        QStringLiteral("false"));
}

void TestSettingsStore::optionOnByDefaultIsOffOnlyWhenStoredSo()
{
    const QString section = QStringLiteral("Banner");
    const QString key = QStringLiteral("Show");
    QVERIFY(ReadViewOption(section, key, true));
    for (const QString &stored : { QString(), QStringLiteral("1"), QStringLiteral("True") }) {
        WriteRegValue(AppName, section, key, stored);
        QVERIFY(ReadViewOption(section, key, true));
    }
    WriteViewOption(section, key, false);
    QVERIFY(!ReadViewOption(section, key, true));
    WriteViewOption(section, key, true);
    QVERIFY(ReadViewOption(section, key, true));
}

void TestSettingsStore::drawSettingsBelongToTheirDraw()
{
    // As earlier versions kept them, beside sections that are no draw's.
    WriteStoredDrawSetting(7, QStringLiteral("L3"), QStringLiteral("黑体】【√"));
    WriteStoredDrawSetting(7, QStringLiteral("RollSound"), QStringLiteral("/音乐/鼓.wav"));
    WriteStoredDrawSetting(8, QStringLiteral("L3"), QStringLiteral("宋体"));
    WriteRegValue(AppName, QStringLiteral("DrawingBoard"), QStringLiteral("x"), QStringLiteral("1"));
    WriteViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order"), true);
    const QMap<qint64, QMap<QString, QString>> stored = StoredDrawSettings();
    QCOMPARE(stored.keys(), (QList<qint64> { 7, 8 }));
    QCOMPARE(stored[7].value(QStringLiteral("RollSound")), QStringLiteral("/音乐/鼓.wav"));
    QCOMPARE(stored[8].value(QStringLiteral("L3")), QStringLiteral("宋体"));
    ForgetStoredDrawSettings();
    QVERIFY(StoredDrawSettings().isEmpty());
    // The user's own options stay.
    QVERIFY(ReadViewOption(QStringLiteral("ResultOrder"), QStringLiteral("Order")));
    QCOMPARE(ReadRegValue(AppName, QStringLiteral("DrawingBoard"), QStringLiteral("x"), QString()),
        QStringLiteral("1"));
}

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
