#pragma once

#include "console/gridtab.h"

class QLabel;

namespace tombolix {

// The console's 抽奖结果 tab: the winners of the draw chosen, deleted and
// exported here, with the draw's 公证码 under its buttons and its notary
// record and commitment sheet in the export menu.
class ResultsTab : public GridTab
{
    Q_OBJECT

public:
    explicit ResultsTab(QWidget *console);

protected:
    void addExportCommands(QMenu &menu) override;

private:
    void deleteResults();
    // Reveals the draw's seed and writes its record for tombolix-verify.
    void exportNotaryRecord(qint64 draw);
    void exportCommitmentSheet(qint64 draw);
    void refreshNotaryLine();

    QLabel *m_notaryLine = nullptr;
};

} // namespace tombolix
