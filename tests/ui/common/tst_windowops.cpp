#include "common/windowops.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace tombolix;

class TestWindowOps : public QObject
{
    Q_OBJECT

private slots:
    void centresOnTheAvailableArea();
    void topmostKeepsTheWindowShown();
    void isFormOpenMatchesExactCaption();
    void waitReturnsAtOnceWhenNoneIsOpen();
    void waitEndsWhenTheWindowCloses();
    void waitServesOtherEvents();
};

void TestWindowOps::centresOnTheAvailableArea()
{
    QDialog dialog;
    dialog.resize(300, 200);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    CentreOnWorkArea(&dialog);
    const QRect area = dialog.screen()->availableGeometry();
    const QRect frame = dialog.frameGeometry();
    QVERIFY(qAbs(frame.center().x() - area.center().x()) <= 1);
    QVERIFY(qAbs(frame.center().y() - area.center().y()) <= 1);
    CentreOnWorkArea(nullptr); // passed over
}

void TestWindowOps::topmostKeepsTheWindowShown()
{
    QDialog dialog;
    dialog.show();
    MakeTopmost(&dialog);
    QVERIFY(dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(dialog.isVisible());
}

void TestWindowOps::isFormOpenMatchesExactCaption()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("选择抽奖设置"));
    QVERIFY(!IsFormOpen(QStringLiteral("选择抽奖设置"))); // not shown yet
    dialog.show();
    QVERIFY(IsFormOpen(QStringLiteral("选择抽奖设置")));
    QVERIFY(!IsFormOpen(QStringLiteral("选择抽奖")));
    dialog.close();
    QVERIFY(!IsFormOpen(QStringLiteral("选择抽奖设置")));
}

void TestWindowOps::waitReturnsAtOnceWhenNoneIsOpen()
{
    QElapsedTimer timer;
    timer.start();
    WaitWhileFormOpen(QStringLiteral("没有这个窗口"));
    QVERIFY(timer.elapsed() < 1000);
}

void TestWindowOps::waitEndsWhenTheWindowCloses()
{
    auto *dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("选择要导入数据所在的工作表"));
    dialog->show();
    QTimer::singleShot(50, dialog, &QDialog::close);
    WaitWhileFormOpen(QStringLiteral("选择要导入数据所在的工作表"));
    QVERIFY(!IsFormOpen(QStringLiteral("选择要导入数据所在的工作表")));

    QDialog kept; // hidden, not deleted
    kept.setWindowTitle(QStringLiteral("等"));
    kept.show();
    QTimer::singleShot(50, &kept, &QDialog::hide);
    WaitWhileFormOpen(QStringLiteral("等"));
    QVERIFY(!kept.isVisible());
}

void TestWindowOps::waitServesOtherEvents()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("等待"));
    dialog.show();
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] {
        if (++ticks == 5)
            dialog.close();
    });
    ticker.start(10);
    WaitWhileFormOpen(QStringLiteral("等待"));
    QCOMPARE(ticks, 5);
}

QTEST_MAIN(TestWindowOps)
#include "tst_windowops.moc"
