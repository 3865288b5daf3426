#include "transfer/xlsxwriter.h"

#include "common/filereplace.h"
#include "common/progress.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <map>
#include <xlsxwriter.h>

namespace tombolix::transfer {

namespace {

constexpr int TwipsPerCharacter = 123;
constexpr lxw_color_t HeaderFill = 0xFFC080; // red 255, green 192, blue 128
constexpr qsizetype MaxCellText = 32767; // what one cell holds

// A hidden name beside the target, so that the final rename stays on one
// file system and is atomic.
QString temporaryNameFor(const QString &path)
{
    const QFileInfo target(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString tag
            = QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        const QString name = QStringLiteral(".%1.%2.tmp").arg(target.fileName(), tag);
        const QString candidate = target.dir().filePath(name);
        if (!QFileInfo::exists(candidate))
            return candidate;
    }
    return QString();
}

// Excel reads _xHHHH_ in a text as one escaped character, so an underscore
// that starts such a sequence in the cell's own text is escaped itself.
QString protectEscapes(const QString &text)
{
    if (!text.contains(QLatin1String("_x")))
        return text;
    static const QRegularExpression escapeStart(QStringLiteral("_(?=x[0-9A-Fa-f]{4}_)"));
    return QString(text).replace(escapeStart, QStringLiteral("_x005F_"));
}

// The decimals of a text that is a number in its plain form: an optional
// minus, digits with no leading zero unless the whole part is 0, an optional
// fraction. -1 for anything else: blanks, exponents, "0012", negative zero,
// and more than 15 significant digits, which a double cannot keep exactly.
int plainNumberDecimals(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^-?(0|[1-9][0-9]*)(\\.([0-9]+))?$"));
    const QRegularExpressionMatch match = plain.match(text);
    if (!match.hasMatch())
        return -1;
    QString digits = match.captured(1) + match.captured(3);
    while (digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 15 || (digits.isEmpty() && text.startsWith(QLatin1Char('-'))))
        return -1;
    return int(match.captured(3).size());
}

// Fills the sheet; false when the library refuses a cell or a width.
bool writeSheet(const ExportTable &table, lxw_workbook *book, lxw_worksheet *sheet, ProgressScope &progress)
{
    lxw_format *header = workbook_add_format(book);
    format_set_bold(header);
    format_set_pattern(header, LXW_PATTERN_SOLID);
    format_set_bg_color(header, HeaderFill);
    format_set_border(header, LXW_BORDER_THIN);
    lxw_format *body = workbook_add_format(book);
    format_set_border(body, LXW_BORDER_THIN);
    // Numbers show as many decimals as their text shows, and long integers in
    // full rather than in exponent form.
    std::map<int, lxw_format *> numberFormats;
    auto numberFormat = [&](int decimals) {
        lxw_format *&format = numberFormats[decimals];
        if (!format) {
            format = workbook_add_format(book);
            format_set_border(format, LXW_BORDER_THIN);
            const QByteArray code = decimals > 0 ? "0." + QByteArray(decimals, '0') : QByteArray("0");
            format_set_num_format(format, code.constData());
        }
        return format;
    };
    // Hidden rows count before the rest: in the grids on screen only the
    // field row above the captions is hidden.
    for (int r = 0; r < table.hiddenRows; ++r)
        progress.advance();
    const bool setWidths = table.widths.size() == size_t(table.columnCount);
    bool ok = true;
    for (int j = 0; j < table.rowCount; ++j) {
        if (ok) {
            const bool isHeader = j < table.headerRows;
            lxw_format *format = isHeader ? header : body;
            const auto sheetRow = lxw_row_t(j);
            for (int i = 0; i < table.columnCount && ok; ++i) {
                const auto sheetCol = lxw_col_t(i);
                const QString &cell = table.text(j, i);
                const bool numeric = size_t(i) < table.numeric.size() && table.numeric[size_t(i)];
                const int decimals = !isHeader && numeric ? plainNumberDecimals(cell) : -1;
                const QString text = protectEscapes(cell.left(MaxCellText));
                // Blank cells are written too: the borders go round every cell.
                lxw_error written;
                if (decimals >= 0)
                    written = worksheet_write_number(
                        sheet, sheetRow, sheetCol, cell.toDouble(), numberFormat(decimals));
                else if (text.isEmpty())
                    written = worksheet_write_blank(sheet, sheetRow, sheetCol, format);
                else
                    written = worksheet_write_string(
                        sheet, sheetRow, sheetCol, text.toUtf8().constData(), format);
                ok = written == LXW_NO_ERROR;
                if (ok && setWidths && j == table.headerRows - 1)
                    ok = worksheet_set_column(
                             sheet, sheetCol, sheetCol, table.widths[size_t(i)] / TwipsPerCharacter, nullptr)
                        == LXW_NO_ERROR;
            }
        }
        progress.advance();
    }
    return ok;
}

} // namespace

bool ExportGridToWorkbook(const ExportTable &table, const QString &path, const QString &sheetName)
{
    ProgressScope progress(
        QStringLiteral("正在将数据导出到EXCEL文件 …"), std::max(0, table.rowCount + table.hiddenRows - 1));
    auto fail = [] { return false; };
    const QByteArray name = sheetName.toUtf8();
    const QString temporary = temporaryNameFor(path);
    if (temporary.isEmpty() || name.isEmpty() || !QFileInfo(QFileInfo(path).absolutePath()).isDir())
        return fail();
#ifdef Q_OS_WIN
    // The library takes UTF-8 names on Windows and opens them as Unicode.
    lxw_workbook *book = workbook_new(QDir::toNativeSeparators(temporary).toUtf8().constData());
#else
    lxw_workbook *book = workbook_new(QFile::encodeName(temporary).constData());
#endif
    if (!book)
        return fail();
    progress.advance();
    // Checked first, as the library would complain on stderr.
    lxw_worksheet *sheet = workbook_validate_sheet_name(book, name.constData()) == LXW_NO_ERROR
        ? workbook_add_worksheet(book, name.constData())
        : nullptr;
    progress.advance();
    const bool written = sheet && writeSheet(table, book, sheet, progress);
    // Closing frees the workbook and writes the file, wanted or not.
    const bool closed = workbook_close(book) == LXW_NO_ERROR;
    if (!written || !closed || !ReplaceFileWith(temporary, path)) {
        QFile::remove(temporary);
        return fail();
    }
    return true;
}

} // namespace tombolix::transfer
