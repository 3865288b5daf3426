#include "common/prompts.h"

#include "data/database.h"

#include <QDebug>

namespace tombolix {

namespace {

class LoggingPrompts : public Prompts
{
public:
    void message(const QString &text) override { qWarning().noquote() << "message:" << text; }
    bool askYesNo(const QString &text, DefaultAnswer = DefaultAnswer::Yes) override
    {
        qWarning().noquote() << "question answered No:" << text;
        return false;
    }
    int askChoice(const QString &text, const QStringList &buttons, int, int escapeButton) override
    {
        qWarning().noquote() << "choice answered" << buttons.value(escapeButton) << ":" << text;
        return escapeButton;
    }
    QString openFileName(const QString &) override { return QString(); }
    QString saveFileName(const QString &, const QString &) override { return QString(); }
    std::optional<QColor> colour(const QColor &) override { return std::nullopt; }
    std::optional<FontChoice> font(const FontChoice &) override { return std::nullopt; }
};

LoggingPrompts g_fallback;
Prompts *g_prompts = nullptr;

} // namespace

Prompts &prompts()
{
    return g_prompts ? *g_prompts : g_fallback;
}

Prompts *setPrompts(Prompts *prompts)
{
    // The run database's failures are the operator's to hear, each once.
    data::Database::run().setFailureReporter(
        [](const data::DatabaseFailure &failure) { tombolix::prompts().message(failure.message()); });
    Prompts *previous = g_prompts;
    g_prompts = prompts;
    return previous;
}

void ScriptedPrompts::message(const QString &text)
{
    m_shown.append({ QStringLiteral("message"), text });
}

bool ScriptedPrompts::askYesNo(const QString &text, DefaultAnswer defaultAnswer)
{
    m_shown.append({ QStringLiteral("question"), text, defaultAnswer });
    return m_answers.isEmpty() ? false : m_answers.takeFirst();
}

int ScriptedPrompts::askChoice(
    const QString &text, const QStringList &buttons, int defaultButton, int escapeButton)
{
    m_shown.append(
        { QStringLiteral("choice"), text, DefaultAnswer::Yes, buttons, defaultButton, escapeButton });
    if (m_choices.isEmpty())
        return escapeButton;
    const qsizetype pressed = buttons.indexOf(m_choices.takeFirst());
    return pressed < 0 ? escapeButton : int(pressed);
}

QString ScriptedPrompts::openFileName(const QString &filter)
{
    m_shown.append({ QStringLiteral("open"), filter });
    return m_fileNames.isEmpty() ? QString() : m_fileNames.takeFirst();
}

QString ScriptedPrompts::saveFileName(const QString &filter, const QString &)
{
    m_shown.append({ QStringLiteral("save"), filter });
    return m_fileNames.isEmpty() ? QString() : m_fileNames.takeFirst();
}

std::optional<QColor> ScriptedPrompts::colour(const QColor &start)
{
    m_shown.append({ QStringLiteral("colour"), start.name() });
    return m_colours.isEmpty() ? std::nullopt : m_colours.takeFirst();
}

std::optional<FontChoice> ScriptedPrompts::font(const FontChoice &start)
{
    m_shown.append({ QStringLiteral("font"), start.font.family() });
    return m_fonts.isEmpty() ? std::nullopt : m_fonts.takeFirst();
}

QStringList ScriptedPrompts::texts(const QString &kind) const
{
    QStringList result;
    for (const Shown &item : m_shown) {
        if (item.kind == kind)
            result << item.text;
    }
    return result;
}

DefaultAnswer ScriptedPrompts::lastDefaultAnswer() const
{
    for (auto it = m_shown.crbegin(); it != m_shown.crend(); ++it) {
        if (it->kind == QStringLiteral("question"))
            return it->defaultAnswer;
    }
    return DefaultAnswer::Yes;
}

ScriptedPrompts::Shown ScriptedPrompts::lastChoice() const
{
    for (auto it = m_shown.crbegin(); it != m_shown.crend(); ++it) {
        if (it->kind == QStringLiteral("choice"))
            return *it;
    }
    return Shown {};
}

void ScriptedPrompts::clear()
{
    m_shown.clear();
    m_answers.clear();
    m_choices.clear();
    m_fileNames.clear();
    m_colours.clear();
    m_fonts.clear();
}

} // namespace tombolix
