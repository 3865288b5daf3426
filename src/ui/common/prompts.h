#pragma once

#include <QColor>
#include <QFont>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

// Everything the program asks or tells the operator goes through Prompts: the
// real implementation shows Qt dialogs, the scripted one answers from a queue
// and records what was shown, so tests never block on a modal box.
namespace tombolix {

// A font with the extras the font dialog offers: strikeout, underline and the
// text colour (0x00BBGGRR).
struct FontChoice
{
    QFont font;
    qint64 colour = 0;
};

// The button a Yes/No question takes on Enter. A question whose Yes destroys
// data defaults to No.
enum class DefaultAnswer
{
    Yes,
    No
};

class Prompts
{
public:
    virtual ~Prompts() = default;

    // An OK-only message box. Texts are shown as plain text, never as markup.
    virtual void message(const QString &text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool askYesNo(const QString &text, DefaultAnswer defaultAnswer = DefaultAnswer::Yes) = 0;
    // A question with its own buttons, in the order given: Enter presses
    // defaultButton, Esc and the close box escapeButton. Returns the index of
    // the button pressed.
    virtual int askChoice(
        const QString &text, const QStringList &buttons, int defaultButton, int escapeButton)
        = 0;
    // The open and save dialogs; an empty text when cancelled. The filter is
    // in the "description|*.ext|description|*.ext" form. The save dialog does
    // not ask about overwriting: the caller asks its own question.
    virtual QString openFileName(const QString &filter) = 0;
    virtual QString saveFileName(const QString &filter, const QString &suggested) = 0;
    // The colour dialog; nothing when cancelled.
    virtual std::optional<QColor> colour(const QColor &start) = 0;
    // The font dialog with strikeout, underline and colour; nothing when cancelled.
    virtual std::optional<FontChoice> font(const FontChoice &start) = 0;
};

// The prompts the program uses. Never null: before setPrompts() a prompts
// object that answers No and Cancel and only logs stands in.
Prompts &prompts();
// Installs the prompts to use and returns the previous ones. The run
// database's failures are told through the prompts in use from then on. The caller keeps
// ownership; pass nullptr to go back to the stand-in.
Prompts *setPrompts(Prompts *prompts);

// Prompts for tests: every question takes the next queued answer of its kind
// (No, Cancel, the escape button when none is queued) and everything shown is
// recorded in order.
class ScriptedPrompts : public Prompts
{
public:
    struct Shown
    {
        QString kind; // "message", "question", "choice", "open", "save", "colour", "font"
        QString text; // the message, the question or the filter
        DefaultAnswer defaultAnswer = DefaultAnswer::Yes; // of a question
        QStringList buttons {}; // of a choice, in order
        int defaultButton = -1; // of a choice
        int escapeButton = -1; // of a choice
    };

    void message(const QString &text) override;
    bool askYesNo(const QString &text, DefaultAnswer defaultAnswer = DefaultAnswer::Yes) override;
    int askChoice(
        const QString &text, const QStringList &buttons, int defaultButton, int escapeButton) override;
    QString openFileName(const QString &filter) override;
    QString saveFileName(const QString &filter, const QString &suggested) override;
    std::optional<QColor> colour(const QColor &start) override;
    std::optional<FontChoice> font(const FontChoice &start) override;

    void queueAnswer(bool yes) { m_answers << yes; }
    // The caption of the button the next choice presses; one the choice does
    // not offer presses its escape button.
    void queueChoice(const QString &button) { m_choices << button; }
    void queueFileName(const QString &path) { m_fileNames << path; }
    void queueColour(const std::optional<QColor> &colour) { m_colours << colour; }
    void queueFont(const std::optional<FontChoice> &font) { m_fonts << font; }

    const QList<Shown> &shown() const { return m_shown; }
    // The texts of everything shown of one kind, in order.
    QStringList texts(const QString &kind) const;
    QStringList messages() const { return texts(QStringLiteral("message")); }
    QStringList questions() const { return texts(QStringLiteral("question")); }
    QStringList choices() const { return texts(QStringLiteral("choice")); }
    // The default button of the last question asked.
    DefaultAnswer lastDefaultAnswer() const;
    // The last choice offered, with its buttons; an empty record when none was.
    Shown lastChoice() const;
    void clear();

private:
    QList<Shown> m_shown;
    QList<bool> m_answers;
    QStringList m_choices;
    QStringList m_fileNames;
    QList<std::optional<QColor>> m_colours;
    QList<std::optional<FontChoice>> m_fonts;
};

// Installs scripted prompts for the lifetime of the object.
class ScopedScriptedPrompts : public ScriptedPrompts
{
public:
    ScopedScriptedPrompts() { m_previous = setPrompts(this); }
    ~ScopedScriptedPrompts() override { setPrompts(m_previous); }

private:
    Prompts *m_previous = nullptr;
};

} // namespace tombolix
