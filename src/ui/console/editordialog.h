#pragma once

#include "common/dialogparts.h"

#include <QDialog>

class QGridLayout;
class QLabel;
class QLayout;
class QLineEdit;

namespace tombolix {

namespace data {
struct SaveResult;
}

// What the console's editors share: a window of its own beside the console,
// deleted when it closes and centred on the work area when first shown, its
// fields laid out alike, "确    定" to confirm and "取    消" to close. An
// editor of one stored row keeps the row's ID in a hidden "ID" box: writing
// an ID above 0 into it loads that row.
class EditorDialog : public QDialog
{
    Q_OBJECT

public:
    EditorDialog(const QString &name, const QString &caption, QWidget *parent);

signals:
    // Emitted however the dialog closes: confirmed, cancelled or its close box.
    void closedEditor();

protected:
    void showEvent(QShowEvent *event) override;

    // Checks and stores what the fields hold.
    virtual void confirm() = 0;
    // Fills the fields from the stored row.
    virtual void loadRow(qint64 id);

    void addIdBox();
    qint64 rowId() const;
    void setRowId(qint64 id);
    QLineEdit *addHiddenBox(const QString &name, const QString &text);

    QGridLayout *addFieldGrid(int stretchColumn, QWidget *owner = nullptr);
    QLabel *fieldLabel(const QString &text, Qt::Alignment vertical = Qt::AlignVCenter);
    ButtonRow addButtons(const QString &okName, const QString &cancelName);
    // Stacks the fields over a separating line and the buttons.
    void stackFields(QLayout *fields, const ButtonRow &buttons);

    // Tells the operator of a row that could not be written, the same way in
    // every editor (one that could not be read has been told by the database
    // routine); true when the row was saved.
    bool reportSave(const data::SaveResult &result);

private:
    QLineEdit *m_id = nullptr;
    bool m_placed = false;
};

} // namespace tombolix
