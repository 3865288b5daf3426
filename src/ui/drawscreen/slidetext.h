#pragma once

#include "drawscreen/mf.h"

namespace tombolix {

// Lines of plain text whose first line, "公证码 XXXX XXXX …", is printed as
// the word, then the code in two halves of large print; the lines after it
// (what the code is, its commitment) in the label's font. The text stays
// as it is given.
class SlideText : public ClickLabel
{
    Q_OBJECT

public:
    using ClickLabel::ClickLabel;

    // The code's font; the other lines are printed in the label's own.
    void setFirstLineFont(const QFont &font);
    const QFont &firstLineFont() const { return m_first; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QFont m_first;
};

// The next award's card: lines of plain text centred, the first (what the
// card is, "下一个奖项") smaller than the award's own lines under it.
class CardText : public QLabel
{
    Q_OBJECT

public:
    using QLabel::QLabel;

    static constexpr double CaptionShare = 0.55; // of the lines' size

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tombolix
