#pragma once

#include <QDialog>
#include <QRectF>

class QLineEdit;

namespace tombolix {

class MF;

// The board's place and size, applied live and stored for every draw on
// "确   定", and the fonts of its title and list.
class BRDSet : public QDialog
{
    Q_OBJECT

public:
    explicit BRDSet(MF *screen);

    static QString caption() { return QStringLiteral("公告板位置设置"); }

    // The board's title as the boxes place it (twips); empty while the board is hidden.
    QRectF boxesRect() const;

private:
    void boxChanged();

    MF *m_screen;
    QLineEdit *m_boxes[4] = {};
    bool m_filling = true;
};

} // namespace tombolix
