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
    void waitIsForTheWindowGiven();
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

// The wait is for the window given: another of the same caption does not
// hold it; a wrong wait would last until the safety timer closes the twin.
void TestWindowOps::waitIsForTheWindowGiven()
{
    QDialog dialog;
    QDialog twin;
    dialog.setWindowTitle(QStringLiteral("选择抽奖设置"));
    twin.setWindowTitle(QStringLiteral("选择抽奖设置"));
    QTimer::singleShot(3000, &twin, &QDialog::close);
    QElapsedTimer timer;
    timer.start();
    WaitUntilClosed(&dialog); // not shown yet
    twin.show();
    dialog.show();
    QTimer::singleShot(50, &dialog, &QDialog::close);
    WaitUntilClosed(&dialog);
    QVERIFY(timer.elapsed() < 1000);
    QVERIFY(twin.isVisible());
}

void TestWindowOps::waitReturnsAtOnceWhenNoneIsOpen()
{
    QElapsedTimer timer;
    timer.start();
    WaitUntilClosed(nullptr);
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
    WaitUntilClosed(dialog);
    QVERIFY(!closing || !closing->isVisible());

    QDialog kept; // hidden, not deleted
    kept.setWindowTitle(QStringLiteral("等"));
    kept.show();
    QTimer::singleShot(50, &kept, &QDialog::hide);
    WaitUntilClosed(&kept);
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
    WaitUntilClosed(&dialog);
    QCOMPARE(ticks, 5);
}

QTEST_MAIN(TestWindowOps)
#include "tst_windowops.moc"
