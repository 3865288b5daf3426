#include "common/qtprompts.h"

#include "common/conventions.h"
#include "common/windowops.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>

namespace tombolix {

namespace {
const QString Title = QStringLiteral("澄曜抽奖软件");
}

QWidget *QtPrompts::parentWindow() const
{
    // Over the draw screen on a projector a question would be read by the
    // audience: it is asked over the console instead.
    return DialogHostOf(QApplication::activeWindow());
}

void QtPrompts::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, Title, text, QMessageBox::Ok, parentWindow());
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

bool QtPrompts::askYesNo(const QString &text, DefaultAnswer defaultAnswer)
{
    QMessageBox box(QMessageBox::NoIcon, Title, text, QMessageBox::NoButton, parentWindow());
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    QPushButton *yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(defaultAnswer == DefaultAnswer::No ? no : yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

int QtPrompts::askChoice(const QString &text, const QStringList &buttons, int defaultButton, int escapeButton)
{
    QMessageBox box(QMessageBox::NoIcon, Title, text, QMessageBox::NoButton, parentWindow());
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    // One role for all keeps the buttons in the order asked; roles would
    // let the platform's button order move them about.
    QList<QPushButton *> pushButtons;
    for (const QString &caption : buttons)
        pushButtons << box.addButton(caption, QMessageBox::ActionRole);
    if (QPushButton *button = pushButtons.value(defaultButton))
        box.setDefaultButton(button);
    if (QPushButton *button = pushButtons.value(escapeButton))
        box.setEscapeButton(button);
    box.exec();
    const qsizetype pressed = pushButtons.indexOf(box.clickedButton());
    return pressed < 0 ? escapeButton : int(pressed);
}

QString QtPrompts::qtFilter(const QString &filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        const QString patterns = parts.at(i + 1).split(QLatin1Char(';')).join(QLatin1Char(' '));
        QString description = parts.at(i);
        description.replace(QLatin1Char('('), QStringLiteral("（"))
            .replace(QLatin1Char(')'), QStringLiteral("）"));
        entries << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtPrompts::openFileName(const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(parentWindow(), QStringLiteral("打开"), m_lastDirectory,
        qtFilter(filter), nullptr, QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        m_lastDirectory = QFileInfo(path).absolutePath();
    return path;
}

QString QtPrompts::saveFileName(const QString &filter, const QString &suggested)
{
    const QString start
        = m_lastDirectory.isEmpty() ? suggested : m_lastDirectory + QLatin1Char('/') + suggested;
    // The export asks its own overwrite question; Qt's would make it two.
    const QString path = QFileDialog::getSaveFileName(parentWindow(), QStringLiteral("另存为"), start,
        qtFilter(filter), nullptr, QFileDialog::DontConfirmOverwrite | QFileDialog::DontUseNativeDialog);
    if (!path.isEmpty())
        m_lastDirectory = QFileInfo(path).absolutePath();
    return path;
}

std::optional<QColor> QtPrompts::colour(const QColor &start)
{
    const QColor chosen = QColorDialog::getColor(
        start, parentWindow(), QStringLiteral("颜色"), QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

std::optional<FontChoice> QtPrompts::font(const FontChoice &start)
{
    // The dialog lists the faces of the family it is given: an alias such as
    // "Sans Serif" has none, and a bold font would be offered, and returned,
    // regular. It is given the family the font resolves to, in points.
    QFont offered = start.font;
    const QFontInfo resolved(start.font);
    offered.setFamily(resolved.family());
    if (start.font.pixelSize() > 0)
        offered.setPointSizeF(resolved.pointSizeF());
    QFontDialog dialog(offered, parentWindow());
    dialog.setWindowTitle(QStringLiteral("字体"));
    dialog.setOption(QFontDialog::DontUseNativeDialog);
    const QFont shown = dialog.currentFont();
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    QFont chosen = dialog.selectedFont();
    // A family without a bold or an italic face offers none: in the same
    // family, what the operator left as shown stays as it was.
    if (chosen.family() == shown.family()) {
        if (chosen.bold() == shown.bold())
            chosen.setWeight(start.font.weight());
        if (chosen.italic() == shown.italic())
            chosen.setItalic(start.font.italic());
    }
    FontChoice result { chosen, start.colour };
    const QColor colour = QColorDialog::getColor(colorFromStored(start.colour), parentWindow(),
        QStringLiteral("文字颜色"), QColorDialog::DontUseNativeDialog);
    if (colour.isValid())
        result.colour = storedFromColor(colour);
    return result;
}

} // namespace tombolix
