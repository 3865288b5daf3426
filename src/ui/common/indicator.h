#pragma once

#include "common/progress.h"

#include <QDialog>
#include <QPointer>
#include <functional>

class QLabel;

namespace tombolix {

class IndicatorBar;

// The small always-on-top window of long loops: the operation text, a bar
// with its percentage and, for the grid formatting, counts and times.
class Indicator : public QDialog
{
    Q_OBJECT

public:
    explicit Indicator(QWidget *parent = nullptr);

    static QString caption() { return QStringLiteral("请稍侯 …"); }

    void setOperationText(const QString &text);
    void setPercentText(const QString &text);
    void setCountText(const QString &text);
    void setTimesText(const QString &text);
    // Share of the bar to fill; values above 1 are clipped at the edge.
    void setBarFraction(double fraction);

    QString operationText() const;
    QString percentText() const;
    QString countText() const;
    QString timesText() const;
    double barFraction() const;

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    IndicatorBar *m_bar = nullptr;
    QLabel *m_percent = nullptr;
    QLabel *m_operation = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_times = nullptr;
};

// The progress sink of the windowed program: drives one Indicator, created
// when needed and deleted on close.
class IndicatorProgress : public ProgressSink
{
public:
    // Whole seconds on any fixed scale; only differences are used.
    using SecondsClock = std::function<qint64()>;

    explicit IndicatorProgress(QWidget *parent = nullptr);
    ~IndicatorProgress() override;

    void open(const QString &text, qint64 total) override;
    void advance(qint64 step, const QString &text) override;
    void close() override;

    void setClock(SecondsClock clock);

    // The window while it exists (open, or recreated hidden by an advance).
    Indicator *window() const { return m_window; }
    qint64 total() const { return m_total; }
    qint64 current() const { return m_current; }

    // What the window shows; empty texts and 0 while there is no window.
    QString operationText() const;
    QString percentText() const;
    QString countText() const;
    QString timesText() const;
    double barFraction() const;

private:
    Indicator *ensureWindow();
    void yieldToEvents();

    QPointer<QWidget> m_parent;
    QPointer<Indicator> m_window;
    SecondsClock m_clock;
    qint64 m_total = 0;
    qint64 m_current = 0;
    qint64 m_start = 0;
    bool m_yielding = false;
};

} // namespace tombolix
