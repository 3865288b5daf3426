#pragma once

#include <QMainWindow>

class QPushButton;

namespace tombolix {

// The console: the window the program starts on and ends with.
class FSet : public QMainWindow
{
    Q_OBJECT

public:
    explicit FSet(QWidget *parent = nullptr);

    static QString caption();

signals:
    void enterDrawRequested();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QPushButton *m_entr = nullptr;
};

} // namespace tombolix
