#pragma once

#include "data/awardrange.h"

#include <QGroupBox>
#include <QList>
#include <QStringList>
#include <optional>

class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tombolix {

class ExclusionList;

// The award editor's 抽奖范围: everyone, or only the entrants who meet every
// condition (an attribute, a kind of comparison and its values), less the
// award's own 不参与名单.
class RangeEditor : public QGroupBox
{
    Q_OBJECT

public:
    explicit RangeEditor(QWidget *parent = nullptr);

    // The draw's attribute names, offered for each condition.
    void setAttributes(const QStringList &names);
    void setRange(const data::AwardRange &range);

    // The range as the boxes hold it, in its one form; nothing, with the
    // condition named in `problem`, when a condition cannot be read.
    std::optional<data::AwardRange> range(QString &problem) const;

    // Adds an empty condition and returns its index.
    int addCondition();
    void removeCondition(int index);
    int conditionCount() const { return int(m_rows.size()); }
    ExclusionList *exclusions() const { return m_exclusions; }

signals:
    void grew();

private:
    struct Row
    {
        QLabel *joiner;
        QComboBox *attribute;
        QComboBox *kind;
        QLineEdit *values;
        QPushButton *remove;
    };
    void placeRows();
    void setRow(const Row &row, const data::RangeCondition &condition);
    std::optional<data::RangeCondition> readRow(const Row &row, int index, QString &problem) const;

    QStringList m_attributes;
    QList<Row> m_rows;
    QGridLayout *m_grid = nullptr;
    QLabel *m_everyone = nullptr;
    QPushButton *m_add = nullptr;
    ExclusionList *m_exclusions = nullptr;
};

} // namespace tombolix
