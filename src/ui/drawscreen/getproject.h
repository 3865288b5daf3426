#pragma once

#include <QDialog>

class QComboBox;

namespace tombolix {

// The draw chooser: lists the draws, newest first, and leaves the chosen one
// in ChosenDraw ("" when cancelled). Shown without modality; the caller waits
// for the window titled "选择抽奖设置" to close.
class GetProject : public QDialog
{
    Q_OBJECT

public:
    explicit GetProject(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("选择抽奖设置"); }

private:
    void confirm();

    QComboBox *m_draws = nullptr;
};

} // namespace tombolix
