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

} // namespace tombolix
