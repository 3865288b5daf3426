#include "drawscreen/frmset.h"

#include "appearance/dragrect.h"
#include "common/conventions.h"
#include "common/helpers.h"
#include "common/windowops.h"
#include "drawscreen/layoutdrag.h"
#include "drawscreen/mf.h"

#include <QCheckBox>
#include <QFontMetricsF>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tombolix {

namespace {

// A label that acts as a button, as the colour choice does.
class ColourLabel : public QLabel
{
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && onClick)
            onClick();
    }
};

} // namespace

// The frame's colour: transparent, or the colour shown in the swatch, chosen
// by a click on 颜色.
QGroupBox *FRMSet::buildColourBox()
{
    auto *colour = new QGroupBox(QStringLiteral("底色"), this);
    auto *colourRow = new QHBoxLayout(colour);
    m_transparent = new QCheckBox(QStringLiteral("透明"), colour);
    m_transparent->setObjectName(QStringLiteral("CK_0"));
    colourRow->addWidget(m_transparent);
    colourRow->addStretch(1);
    auto *button = new ColourLabel(QStringLiteral("颜色："), colour);
    button->setObjectName(QStringLiteral("LClr"));
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(QStringLiteral("点击选择号码框颜色"));
    button->setMargin(3);
    button->onClick = [this] { chooseColour(); };
    m_colourButton = button;
    colourRow->addWidget(m_colourButton);
    m_swatch = new QLabel(colour);
    m_swatch->setObjectName(QStringLiteral("Shp"));
    m_swatch->setFixedSize(48, 22);
    colourRow->addWidget(m_swatch);
    return colour;
}

FRMSet::FRMSet(MF *screen)
    : QDialog(screen)
    , m_screen(screen)
{
    setObjectName(QStringLiteral("FRMSet"));
    setWindowTitle(caption());
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *layout = new QVBoxLayout(this);
    const QString captions[] = { QStringLiteral("横向："), QStringLiteral("纵向："), QStringLiteral("横向："),
        QStringLiteral("纵向：") };
    for (int i = 0; i < 4; ++i) {
        m_boxes[i] = new QLineEdit(this);
        m_boxes[i]->setObjectName(QStringLiteral("TT_%1").arg(i));
    }
    auto *position = new QGroupBox(QStringLiteral("位置"), this);
    auto *positionForm = new QFormLayout(position);
    positionForm->addRow(captions[0], m_boxes[0]);
    positionForm->addRow(captions[1], m_boxes[1]);
    auto *size = new QGroupBox(QStringLiteral("尺寸"), this);
    auto *sizeForm = new QFormLayout(size);
    sizeForm->addRow(captions[2], m_boxes[2]);
    sizeForm->addRow(captions[3], m_boxes[3]);
    m_autoFit = new QCheckBox(QStringLiteral("纵向自动缩放"), size);
    m_autoFit->setObjectName(QStringLiteral("CK_1"));
    sizeForm->addRow(m_autoFit);
    QGroupBox *colour = buildColourBox();

    auto *boxes = new QHBoxLayout;
    boxes->addWidget(position);
    boxes->addWidget(size);
    layout->addLayout(boxes);
    layout->addWidget(colour);
    auto *buttons = new QHBoxLayout;
    auto *fit = new QPushButton(QStringLiteral("适应屏幕"), this);
    fit->setObjectName(QStringLiteral("fitScreen"));
    buttons->addWidget(fit);
    buttons->addStretch(1);
    auto *ok = new QPushButton(QStringLiteral("确     定"), this);
    ok->setObjectName(QStringLiteral("Com_0"));
    auto *cancel = new QPushButton(QStringLiteral("取     消"), this);
    cancel->setObjectName(QStringLiteral("Com_1"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);

    const appearance::FrameLayout &frame = m_screen->frameLayout();
    showSwatch();
    m_transparent->setChecked(frame.Opaque == 0);
    m_autoFit->setChecked(integerValue(frame.AutoFit) > 0);
    m_screen->frameLayout().AutoFit = m_autoFit->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    const float values[] = { frame.Left, frame.Top, frame.Width, frame.Height };
    for (int i = 0; i < 4; ++i)
        m_boxes[i]->setText(appearance::FrameNumberText(values[i]));

    for (int i = 0; i < 4; ++i)
        connect(m_boxes[i], &QLineEdit::textChanged, this, [this, i] { boxChanged(i); });
    connect(m_transparent, &QCheckBox::toggled, this,
        [this](bool on) { m_screen->frameLayout().Opaque = on ? 0 : 1; });
    connect(m_autoFit, &QCheckBox::toggled, this, [this](bool on) {
        m_screen->frameLayout().AutoFit = on ? QStringLiteral("1") : QStringLiteral("0");
    });
    connect(ok, &QPushButton::clicked, this, [this] {
        m_screen->saveFrameLayout();
        close();
    });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(fit, &QPushButton::clicked, this, &FRMSet::fitToScreen);

    LayoutDrag::Target dragged;
    dragged.rect = [this] { return m_screen->frameLayout().rect(); };
    dragged.apply = [this](const QRectF &twips) { showRect(twips); };
    new LayoutDrag(m_screen, this, std::move(dragged));
    MakeTopmost(this);
    adjustSize();
    CentreOnWorkArea(this);
}

void FRMSet::boxChanged(int index)
{
    appearance::FrameLayout &frame = m_screen->frameLayout();
    const float value = float(numericValue(m_boxes[index]->text()));
    switch (index) {
    case 0:
        frame.Left = value;
        break;
    case 1:
        frame.Top = value;
        break;
    case 2:
        frame.Width = value;
        break;
    default:
        frame.Height = value;
        break;
    }
    m_screen->frameChanged();
}

void FRMSet::showRect(const QRectF &twips)
{
    const double values[] = { twips.left(), twips.top(), twips.width(), twips.height() };
    for (int i = 0; i < 4; ++i)
        m_boxes[i]->setText(appearance::FrameNumberText(float(values[i])));
}

void FRMSet::fitToScreen()
{
    // As high as the lines a round of the current award shows, printed in
    // the number's font.
    const qint64 lines = std::clamp<qint64>(m_screen->session().awardState().PerRound, 1, 1000);
    const QFontMetricsF metrics(m_screen->elementFont(MF::Element::Number).font);
    const QSizeF screen(
        m_screen->width() * double(TwipsPerPixel), m_screen->height() * double(TwipsPerPixel));
    // Clear of the board's title where it shows.
    const auto *title = m_screen->findChild<QWidget *>(QStringLiteral("LL_0"));
    const QRectF keepClear = title && title->isVisible() ? m_screen->boardTitleTwips() : QRectF();
    showRect(appearance::FitScreenRect(screen, int(lines), metrics.height() * TwipsPerPixel, keepClear));
}

void FRMSet::chooseColour()
{
    const qint64 chosen = AskColour(0);
    if (chosen < 0)
        return;
    m_screen->frameLayout().BackColor = qint32(chosen);
    showSwatch();
    // The button wears the colour it chose, as the swatch does.
    const QColor colour = colorFromStored(chosen);
    QPalette palette = m_colourButton->palette();
    palette.setColor(QPalette::Window, colour);
    palette.setColor(QPalette::WindowText, colour.lightness() < 128 ? Qt::white : Qt::black); // still legible
    m_colourButton->setPalette(palette);
    m_colourButton->setAutoFillBackground(true);
    m_screen->frameChanged();
}

void FRMSet::showSwatch()
{
    const QColor colour = colorFromStored(quint32(m_screen->frameLayout().BackColor));
    m_swatch->setStyleSheet(QStringLiteral("background: %1; border: 1px solid #888;").arg(colour.name()));
}

} // namespace tombolix
