#pragma once

#include <QLineEdit>

class QAbstractItemView;
class QModelIndex;

namespace tombolix {

// The text box "TT" laid over one cell of a grid view while the cell is typed
// into. Every change of its text is reported at once, so the grid below is
// written through and there is nothing left to save when it closes. Enter
// closes it and goes no further: it neither moves the view nor presses a
// dialog's button. A key that moves to another cell (Tab, Shift+Tab, the
// arrows up and down, Page Up and Page Down) closes it first and then moves
// the view's current cell: the editor never stands over one row while the
// grid's current row is another.
class CellEditor : public QLineEdit
{
    Q_OBJECT

public:
    explicit CellEditor(QAbstractItemView *view);

    // Whether the editor closes when the focus leaves it; off at first.
    void setClosesOnFocusLoss(bool closes);
    // Lays the editor over the cell, shows it, gives it the focus and then
    // the text, which is reported as a change when it differs from the text
    // the editor held.
    void openOver(const QModelIndex &cell, const QString &text);
    void closeEditor();

signals:
    // The text as it stands after each change while the editor is shown.
    void cellTextChanged(const QString &text);

protected:
    // Keys are looked at before the focus chain takes Tab.
    bool event(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    // True when the key moves to another cell: it has been handed to the view.
    bool moveOn(QKeyEvent *event);

private:
    QAbstractItemView *m_view;
    QMetaObject::Connection m_focusLoss;
};

} // namespace tombolix
