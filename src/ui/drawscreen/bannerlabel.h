#pragma once

#include "drawscreen/mf.h"

#include <QPixmap>

namespace tombolix {

// The award banner's label: its text over a soft shadow that keeps it legible
// on any picture. A tick repaints the number's area, which the banner may lie
// in, so the text is rendered once per change and then only copied.
class BannerLabel : public ClickLabel
{
    Q_OBJECT

public:
    using ClickLabel::ClickLabel;

    // The text as painted, when it is broken into lines of its own; empty
    // paints text() as it is.
    void setShownLines(const QString &lines);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void render();

    QPixmap m_rendered;
    QString m_lines;
    QString m_renderedText;
    QFont m_renderedFont;
    QColor m_renderedColour;
};

} // namespace tombolix
