#pragma once

#include "console/editordialog.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace tombolix {

class RangeEditor;

// The award editor: creates a row of 奖项表 or changes one. Shown without
// modality; the console reloads its awards grid on saved().
class ModiCon : public EditorDialog
{
    Q_OBJECT

public:
    explicit ModiCon(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("添加/修改奖项设置"); }

    // Writes the award's ID into the hidden ID box; an ID above 0 loads that award.
    void setAwardId(qint64 id);
    // The draw a new award belongs to.
    void setDrawId(qint64 id);
    // The drawing order a new award gets.
    void setOrder(const QString &order);

signals:
    // The award was written; emitted before the dialog closes.
    void saved();

protected:
    void confirm() override;
    void loadRow(qint64 id) override;

private:
    bool save();
    // Who may win the award now, after it was stored with a range.
    void tellReach(qint64 drawId, qint64 awardId, const QStringList &ownList);
    void offerAttributes(qint64 drawId);

    QLineEdit *m_drawId = nullptr;
    QLineEdit *m_order = nullptr;
    QLineEdit *m_name = nullptr;
    QLineEdit *m_count = nullptr;
    QPlainTextEdit *m_prize = nullptr;
    QLineEdit *m_perRound = nullptr;
    QCheckBox *m_show = nullptr;
    QCheckBox *m_repeat = nullptr;
    RangeEditor *m_range = nullptr;
};

} // namespace tombolix
