#include <QTest>

class Placeholder : public QObject
{
    Q_OBJECT
private slots:
    void nothingYet() { }
};

QTEST_MAIN(Placeholder)
#include "tst_workbook.moc"
