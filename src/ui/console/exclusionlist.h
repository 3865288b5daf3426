#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace tombolix {

// A 不参与名单 as the editors take it: numbers pasted into the box (one a
// line, or separated by commas, spaces or 、) or read from the first column
// of a CSV file or a worksheet, with how many there are.
class ExclusionList : public QWidget
{
    Q_OBJECT

public:
    // `who` says whom the numbers may not win ("此奖项").
    ExclusionList(const QString &who, QWidget *parent = nullptr);

    // The numbers in the box, trimmed, deduplicated and sorted.
    QStringList numbers() const;
    void setNumbers(const QStringList &numbers);
    QPlainTextEdit *box() const { return m_box; }

private:
    void showCount();
    void importFile();

    QPlainTextEdit *m_box = nullptr;
    QLabel *m_count = nullptr;
    QPushButton *m_import = nullptr;
};

// The numbers of a list that are not in the draw, for the operator:
// "不参与名单中有 2 个号码不在此抽奖的名单中：9001、9002"; empty when none.
QString NumbersNotInDrawText(const QStringList &unknown);

} // namespace tombolix
