#pragma once

#include <QDialog>
#include <QRectF>

class QCheckBox;
class QLabel;
class QGroupBox;
class QLineEdit;

namespace tombolix {

class MF;

// The number frame's layout, edited live on the draw screen behind it;
// "确     定" stores it with the draw.
class FRMSet : public QDialog
{
    Q_OBJECT

public:
    explicit FRMSet(MF *screen);

    static QString caption() { return QStringLiteral("号码框设置"); }

private:
    QGroupBox *buildColourBox();
    void boxChanged(int index);
    // Fills the boxes with a rectangle (twips); their change rule applies it.
    void showRect(const QRectF &twips);
    void fitToScreen();
    void chooseColour();
    void showSwatch();

    MF *m_screen;
    QLineEdit *m_boxes[4] = {};
    QCheckBox *m_transparent = nullptr;
    QCheckBox *m_autoFit = nullptr;
    QLabel *m_colourButton = nullptr;
    QLabel *m_swatch = nullptr;
};

} // namespace tombolix
