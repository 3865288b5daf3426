#include "drawscreen/brdset.h"

#include "common/conventions.h"
#include "common/settingsstore.h"
#include "common/windowops.h"
#include "drawscreen/layoutdrag.h"
#include "drawscreen/mf.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tombolix {

BRDSet::BRDSet(MF *screen)
    : QDialog(screen)
    , m_screen(screen)
{
    setObjectName(QStringLiteral("BRDSet"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    for (int i = 0; i < 4; ++i) {
        m_boxes[i] = new QLineEdit(this);
        m_boxes[i]->setObjectName(QStringLiteral("TT_%1").arg(i));
    }
    auto *layout = new QVBoxLayout(this);
    auto *groups = new QHBoxLayout;
    auto *position = new QGroupBox(QStringLiteral("位置"), this);
    auto *positionForm = new QFormLayout(position);
    positionForm->addRow(QStringLiteral("横向："), m_boxes[0]);
    positionForm->addRow(QStringLiteral("纵向："), m_boxes[1]);
    auto *size = new QGroupBox(QStringLiteral("尺寸"), this);
    auto *sizeForm = new QFormLayout(size);
    sizeForm->addRow(QStringLiteral("横向："), m_boxes[2]);
    sizeForm->addRow(QStringLiteral("纵向："), m_boxes[3]);
    auto *fonts = new QGroupBox(QStringLiteral("字体"), this);
    auto *fontButtons = new QVBoxLayout(fonts);
    auto *title = new QPushButton(QStringLiteral("标题"), fonts);
    title->setObjectName(QStringLiteral("Com_1"));
    auto *list = new QPushButton(QStringLiteral("内容"), fonts);
    list->setObjectName(QStringLiteral("Com_2"));
    fontButtons->addWidget(title);
    fontButtons->addWidget(list);
    groups->addWidget(position);
    groups->addWidget(size);
    groups->addWidget(fonts);
    layout->addLayout(groups);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("确   定"), this);
    ok->setObjectName(QStringLiteral("Com_0"));
    buttons->addWidget(ok);
    layout->addLayout(buttons);

    // The boxes show the board as it stands; filling them moves nothing.
    const QRectF board = m_screen->boardTitleTwips();
    const double values[] = { board.left(), board.top(), board.width(), board.height() };
    for (int i = 0; i < 4; ++i)
        m_boxes[i]->setText(numberText(values[i]));
    m_filling = false;

    for (QLineEdit *box : m_boxes)
        connect(box, &QLineEdit::textChanged, this, &BRDSet::boxChanged);
    connect(title, &QPushButton::clicked, this, [this] { m_screen->chooseFont(MF::Element::Title); });
    connect(list, &QPushButton::clicked, this, [this] { m_screen->chooseFont(MF::Element::List); });
    connect(ok, &QPushButton::clicked, this, [this] {
        const QString keys[] = { QStringLiteral("Left"), QStringLiteral("Top"), QStringLiteral("Width"),
            QStringLiteral("Height") };
        for (int i = 0; i < 4; ++i)
            WriteRegValue(AppName, QStringLiteral("ResultBrd"), keys[i], m_boxes[i]->text());
        close();
    });

    LayoutDrag::Target dragged;
    dragged.rect = [this] { return boxesRect(); };
    dragged.apply = [this](const QRectF &twips) {
        const double values[] = { twips.left(), twips.top(), twips.width(), twips.height() };
        for (int i = 0; i < 4; ++i)
            m_boxes[i]->setText(numberText(values[i]));
    };
    dragged.board = true;
    new LayoutDrag(m_screen, this, std::move(dragged));
    MakeTopmost(this);
    adjustSize();
    CentreOnWorkArea(this);
}

QRectF BRDSet::boxesRect() const
{
    // A hidden board is not there to be taken.
    auto *title = m_screen->findChild<QLabel *>(QStringLiteral("LL_0"));
    if (title && title->isHidden())
        return QRectF();
    return QRectF(numericValue(m_boxes[0]->text()), numericValue(m_boxes[1]->text()),
        numericValue(m_boxes[2]->text()), numericValue(m_boxes[3]->text()));
}

void BRDSet::boxChanged()
{
    if (m_filling)
        return;
    m_screen->placeBoardTitle(QRectF(numericValue(m_boxes[0]->text()), numericValue(m_boxes[1]->text()),
        numericValue(m_boxes[2]->text()), numericValue(m_boxes[3]->text())));
}

} // namespace tombolix
