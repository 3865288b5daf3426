#pragma once

#include <QDialog>

class QComboBox;

namespace tombolix {

// The draw chooser: lists the draws, newest first, and says which one was
// chosen (its ID list item) through chosen() as it closes; nothing when
// cancelled. Shown without modality; the caller waits for the window titled
// "选择抽奖设置" to close.
class GetProject : public QDialog
{
    Q_OBJECT

public:
    explicit GetProject(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("选择抽奖设置"); }

signals:
    void chosen(const QString &draw);

private:
    void confirm();

    QComboBox *m_draws = nullptr;
};

} // namespace tombolix
