#include "common/prompts.h"
#include "console/modi.h"
#include "drawscreen/mf.h"
#include "drawscreen/picture.h"
#include "support/testsupport.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace tombolix;

// Pictures an operator may pick by mistake: none of them may take the window
// down or show half a picture.
class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void badPicturesGiveNoPicture_data();
    void badPicturesGiveNoPicture();
    void drawScreenStaysUsable();

private:
    QTemporaryDir m_dir;
    QString m_good;
};

void TestPictures::initTestCase()
{
    QImage good(800, 600, QImage::Format_RGB32);
    good.fill(QColor(120, 10, 30));
    m_good = m_dir.filePath(QStringLiteral("good.jpg"));
    QVERIFY(good.save(m_good, "JPEG"));

    QFile source(m_good);
    QVERIFY(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    QFile truncated(m_dir.filePath(QStringLiteral("truncated.jpg")));
    QVERIFY(truncated.open(QIODevice::WriteOnly));
    truncated.write(bytes.left(bytes.size() / 2));
    truncated.close();

    QFile text(m_dir.filePath(QStringLiteral("text.jpg")));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write("this is a shopping list, not a picture\n");
    text.close();

    QFile empty(m_dir.filePath(QStringLiteral("empty.jpg")));
    QVERIFY(empty.open(QIODevice::WriteOnly));
    empty.close();

    // 20,000 x 20,000: one bit a pixel keeps the test itself small.
    QImage huge(20000, 20000, QImage::Format_Mono);
    huge.fill(0);
    QVERIFY(huge.save(m_dir.filePath(QStringLiteral("huge.png")), "PNG", 9));
}

void TestPictures::badPicturesGiveNoPicture_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("shown");
    QTest::newRow("good") << "good.jpg" << true;
    QTest::newRow("truncated") << "truncated.jpg" << false;
    QTest::newRow("not a picture") << "text.jpg" << false;
    QTest::newRow("empty file") << "empty.jpg" << false;
    QTest::newRow("20000 x 20000") << "huge.png" << false;
    QTest::newRow("missing") << "none.jpg" << false;
    QTest::newRow("a folder") << "." << false;
}

void TestPictures::badPicturesGiveNoPicture()
{
    QFETCH(QString, name);
    QFETCH(bool, shown);
    const QString path = m_dir.filePath(name);
    QCOMPARE(!draw::LoadPictureIfExists(path).isNull(), shown);

    // The draw editor's thumbnail.
    test::TestDatabase db;
    ScopedScriptedPrompts prompts;
    Modi editor;
    editor.show();
    editor.findChild<QLineEdit *>(QStringLiteral("TT_0"))->setText(path);
    auto *thumbnail = editor.findChild<QLabel *>(QStringLiteral("Img"));
    QVERIFY(thumbnail);
    QCOMPARE(!thumbnail->pixmap().isNull(), shown);
    QVERIFY(prompts.messages().isEmpty());
}

void TestPictures::drawScreenStaysUsable()
{
    for (const char *name : { "truncated.jpg", "text.jpg", "huge.png" }) {
        test::TestDatabase db;
        ScopedScriptedPrompts prompts;
        const qint64 draw = db.addDraw(QStringLiteral("年会"), QStringLiteral("5"), QString(),
            QStringLiteral("0"), QStringLiteral("0"), m_dir.filePath(QString::fromLatin1(name)));
        db.addEntrants(draw, 10);
        db.addAward(draw, 1, QStringLiteral("A"), 2, 1);
        MF screen(draw);
        screen.resize(1280, 720);
        screen.show();
        QVERIFY(!screen.hasBackground());
        screen.ToggleRoll();
        QTest::qWait(20);
        screen.ToggleRoll();
        QCOMPARE(screen.numberCaption().split(QStringLiteral("\r\n")).size(), 1);
        QVERIFY(!screen.grab().isNull());
        QVERIFY(prompts.messages().isEmpty());
    }
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
