#include "drawscreen/hallnumbers.h"

#include "common/notary.h"

#include <QKeyEvent>
#include <QPainter>

namespace tombolix {

HallNumbersPanel::HallNumbersPanel(QWidget *stage)
    : QWidget(stage)
{
    setObjectName(QStringLiteral("hallNumbers"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
}

void HallNumbersPanel::open()
{
    m_typed.clear();
    if (QWidget *stage = parentWidget())
        setGeometry(stage->rect());
    show();
    raise();
    update();
}

bool HallNumbersPanel::takeKey(QKeyEvent *event)
{
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9) {
        if (m_typed.size() < notary::MaxHallNumbers)
            m_typed += QChar(u'0' + (key - Qt::Key_0));
    } else if (key == Qt::Key_Space) {
        if (!m_typed.isEmpty() && !m_typed.endsWith(QLatin1Char(' '))
            && m_typed.size() < notary::MaxHallNumbers)
            m_typed += QLatin1Char(' ');
    } else if (key == Qt::Key_Backspace) {
        m_typed.chop(1);
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        emit lockAsked(notary::HallNumbers(m_typed).value_or(QString()));
        return true;
    } else if (key == Qt::Key_Escape) {
        hide();
        emit closedWithoutLocking();
        return true;
    } else {
        return false;
    }
    update();
    return true;
}

void HallNumbersPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // Above the 公证码 and its QR code in the corner below, which stay in view.
    const QRectF box
        = QRectF(rect()).adjusted(width() * 0.12, height() * 0.13, -width() * 0.12, -height() * 0.43);
    painter.setPen(QPen(QColor(212, 175, 55), 3));
    painter.setBrush(QColor(20, 0, 4, 225));
    painter.drawRoundedRect(box, 18, 18);

    QFont font = this->font();
    font.setBold(true);
    font.setPixelSize(std::max(16, height() / 16));
    painter.setFont(font);
    painter.setPen(QColor(255, 215, 0));
    const QRectF title(box.left(), box.top() + box.height() * 0.06, box.width(), box.height() * 0.2);
    painter.drawText(title, Qt::AlignCenter, QStringLiteral("现场随机数"));

    // The numbers as they come, as large as the box allows.
    // Each table's numbers apart from the next, for the hall to follow.
    QString shown = m_typed.isEmpty() ? QStringLiteral("—") : m_typed;
    shown.replace(QLatin1Char(' '), QStringLiteral("\u2002·\u2002"));
    font.setPixelSize(std::max(24, height() / 7));
    const QRectF digits(
        box.left() + box.width() * 0.04, title.bottom(), box.width() * 0.92, box.height() * 0.46);
    while (font.pixelSize() > 16 && QFontMetricsF(font).horizontalAdvance(shown) > digits.width())
        font.setPixelSize(font.pixelSize() * 9 / 10);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(digits, Qt::AlignCenter, shown);

    font.setBold(false);
    font.setPixelSize(std::max(12, height() / 40));
    painter.setFont(font);
    painter.setPen(QColor(255, 244, 214));
    painter.drawText(QRectF(box.left(), digits.bottom(), box.width(), box.bottom() - digits.bottom()),
        Qt::AlignCenter | Qt::TextWordWrap,
        QStringLiteral("请各桌依次报出数字，操作员逐位输入（空格分隔各桌）\n回车 锁定　　Esc 返回"));
}

} // namespace tombolix
