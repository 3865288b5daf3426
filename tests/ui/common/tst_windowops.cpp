#include "common/windowops.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
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
    void waitMatchesTheExactCaptionOfAShownWindow();
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

// Only a shown window with exactly the caption is waited for; a wrong wait
// would last until the safety timer closes the window.
void TestWindowOps::waitMatchesTheExactCaptionOfAShownWindow()
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("选择抽奖设置"));
    QTimer::singleShot(3000, &dialog, &QDialog::close);
    QElapsedTimer timer;
    timer.start();
    WaitWhileFormOpen(QStringLiteral("选择抽奖设置")); // not shown yet
    dialog.show();
    WaitWhileFormOpen(QStringLiteral("选择抽奖"));
    WaitWhileFormOpen(QStringLiteral("选择抽奖设置 "));
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(dialog.isVisible());
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
    QPointer<QDialog> closing(dialog);
    WaitWhileFormOpen(QStringLiteral("选择要导入数据所在的工作表"));
    QVERIFY(!closing || !closing->isVisible());

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
