#pragma once

#include <QString>
#include <QWidget>

class QKeyEvent;

namespace tombolix {

// The hall's numbers (现场随机数), asked for before a commitment's first
// round: tables call out digits, the operator types them, and the room sees
// them large as they come. Enter locks them, Esc goes back to the stage.
class HallNumbersPanel : public QWidget
{
    Q_OBJECT

public:
    explicit HallNumbersPanel(QWidget *stage);

    void open();
    QString typed() const { return m_typed; }
    // The keys of the panel: digits, space between tables' numbers,
    // Backspace, Enter, Esc. False for any other key.
    bool takeKey(QKeyEvent *event);

signals:
    void lockAsked(const QString &typed);
    void closedWithoutLocking();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_typed;
};

} // namespace tombolix
