#pragma once

#include "console/gridtab.h"

namespace tombolix {

// The console's first tab, 抽奖设置: every draw of 奖次表, made, changed and
// deleted here through the draw editor.
class DrawsTab : public GridTab
{
    Q_OBJECT

public:
    explicit DrawsTab(QWidget *console);

    void load() override;

signals:
    // The draw editor closed: the console shows what it saved.
    void editorClosed();

private:
    void editDraw(bool existing);
    void deleteDraws();
};

} // namespace tombolix
