#pragma once

#include "console/gridtab.h"

namespace tombolix {

// The console's 奖项设置 tab: the awards of the draw chosen in their order,
// added, changed, deleted and moved up or down here.
class AwardsTab : public GridTab
{
    Q_OBJECT

public:
    explicit AwardsTab(QWidget *console);

protected:
    void afterFill() override;

private:
    void editAward(bool existing);
    void deleteAwards();
    void moveAward(int from, int to);
};

} // namespace tombolix
