#pragma once

#include "common/prompts.h"

class QWidget;

namespace tombolix {

// The prompts the program shows: Qt's message boxes and dialogs. The file,
// colour and font dialogs are always Qt's own, never the desktop's native
// ones: those speak the desktop's language, Qt's the program's Chinese.
class QtPrompts : public Prompts
{
public:
    void message(const QString &text) override;
    bool askYesNo(const QString &text, DefaultAnswer defaultAnswer = DefaultAnswer::Yes) override;
    int askChoice(
        const QString &text, const QStringList &buttons, int defaultButton, int escapeButton) override;
    QString openFileName(const QString &filter) override;
    QString saveFileName(const QString &filter, const QString &suggested) override;
    std::optional<QColor> colour(const QColor &start) override;
    std::optional<FontChoice> font(const FontChoice &start) override;

    // "Excel 工作簿(*.xls)|*.xls|CSV(*.csv)|*.csv" becomes Qt's ";;" form.
    static QString qtFilter(const QString &filter);

private:
    QWidget *parentWindow() const;
    QString m_lastDirectory;
};

} // namespace tombolix
