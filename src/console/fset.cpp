#include "console/fset.h"

#include "draw/enterdraw.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace tombolix {

FSet::FSet(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("FSet"));
    setWindowTitle(caption());

    auto *central = new QWidget(this);
    auto *layout = new QHBoxLayout(central);
    layout->addStretch(1);

    auto *side = new QVBoxLayout;
    m_entr = new QPushButton(QStringLiteral("开  始\n\n抽  奖"), central);
    m_entr->setObjectName(QStringLiteral("Entr"));
    m_entr->setMinimumSize(96, 96);
    QFont big = m_entr->font();
    big.setPointSizeF(big.pointSizeF() * 1.3);
    big.setBold(true);
    m_entr->setFont(big);
    side->addWidget(m_entr);
    side->addStretch(1);
    layout->addLayout(side);
    setCentralWidget(central);
    resize(960, 640);

    connect(m_entr, &QPushButton::clicked, this, [this] {
        emit enterDrawRequested();
        EnterDraw(this);
    });
}

QString FSet::caption()
{
    return QStringLiteral("澄曜抽奖软件1.12");
}

void FSet::closeEvent(QCloseEvent *event)
{
    // Closing the console ends the program, whatever else is open.
    event->accept();
    QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}

} // namespace tombolix
