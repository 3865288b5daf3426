#include "common/celleditor.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QKeyEvent>

namespace tombolix {

CellEditor::CellEditor(QAbstractItemView *view)
    : QLineEdit(view->viewport())
    , m_view(view)
{
    setObjectName(QStringLiteral("TT"));
    hide();
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        if (isVisible())
            emit cellTextChanged(text);
    });
}

void CellEditor::setClosesOnFocusLoss(bool closes)
{
    disconnect(m_focusLoss);
    // Enter never reaches the line edit, so its editing ends only when the
    // focus leaves.
    if (closes)
        m_focusLoss = connect(this, &QLineEdit::editingFinished, this, &CellEditor::closeEditor);
}

void CellEditor::openOver(const QModelIndex &cell, const QString &text)
{
    const QRect area = m_view->visualRect(cell);
    setGeometry(area.x(), area.y(), area.width() + 1, area.height());
    show();
    setFocus();
    setText(text);
}

void CellEditor::closeEditor()
{
    if (!isVisible())
        return;
    // A widget hidden while it has the focus hands it on as Tab would, and
    // the view would take that as a move to the next cell: the focus goes
    // back to the view first, so its current row stays where it is.
    if (hasFocus())
        m_view->setFocus(Qt::OtherFocusReason);
    hide();
}

bool CellEditor::event(QEvent *event)
{
    if (event->type() == QEvent::KeyPress && moveOn(static_cast<QKeyEvent *>(event)))
        return true;
    return QLineEdit::event(event);
}

void CellEditor::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        closeEditor();
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

bool CellEditor::moveOn(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        break;
    default:
        return false;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
        return false;
    // What was typed is written already; the editor closes on its own cell,
    // and the view moves on.
    closeEditor();
    QKeyEvent moved(event->type(), event->key(), event->modifiers(), event->text(), event->isAutoRepeat());
    QCoreApplication::sendEvent(m_view, &moved);
    event->accept();
    return true;
}

} // namespace tombolix
