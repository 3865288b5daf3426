#include "grid/gridops.h"

#include "common/conventions.h"
#include "common/progress.h"
#include "data/database.h"
#include "grid/textwidth.h"

#include <QDateTime>
#include <QFontMetricsF>
#include <QHash>
#include <cmath>
#include <vector>

namespace tombolix::grid {

namespace {

const QString SerialCaption = QStringLiteral("序号");
const QString UpArrow = QStringLiteral("△");
const QString DownArrow = QStringLiteral("▽");
constexpr int MeasuredLength = 300;

QString shownValue(const QVariant &value, QMetaType::Type declared, bool dateOnly)
{
    if (value.isNull() || !value.isValid())
        return QString();
    if (declared == QMetaType::Bool)
        return BoolToMark(value);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return QString::number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'f', 2);
    default:
        return FormatCellValue(value, dateOnly);
    }
}

} // namespace

void SetupGridHeader(GridModel &grid, const QStringList &fields, const QStringList &captions)
{
    if (fields.size() != captions.size())
        return;
    const int n = int(fields.size());
    grid.beginBulkChange();
    grid.setCols(n);
    grid.setFixedCols(n > 2 ? 2 : 1);
    grid.setRows(3);
    grid.setFixedRows(2);
    grid.setRows(2);
    for (int r = 0; r < grid.FixedRows() - 1; ++r)
        grid.setRowHeight(r, 0);
    for (int i = 0; i < n; ++i) {
        grid.setTextMatrix(0, i, fields.at(i));
        grid.setTextMatrix(1, i, captions.at(i));
        grid.setColAlignment(i, Align::LeftTop);
    }
    grid.setColAlignment(1, Align::LeftBottom);
    grid.endBulkChange();
}

int LoadingLimit(int cols)
{
    if (cols <= 0)
        return 0;
    return int(roundHalfEven(350000.0 / cols - 0.5)) - 2;
}

qint64 FillGrid(
    GridModel &grid, const QString &condition, const QString &sortField, bool dateOnly, const QFont &font)
{
    return FillGrid(grid, data::Condition { condition, {} }, sortField, dateOnly, font);
}

namespace {

// What a grid column shows, worked out once per fill.
struct FillColumn
{
    enum class Kind
    {
        Computed,
        Serial,
        Lookup,
        Field
    };
    Kind kind = Kind::Computed;
    int field = -1;
    QStringList lookup;
    QMetaType::Type declared = QMetaType::UnknownType;
};

std::vector<FillColumn> fillColumns(const GridModel &grid, const data::Recordset &rs)
{
    using Kind = FillColumn::Kind;
    std::vector<FillColumn> columns(static_cast<size_t>(grid.Cols()));
    QHash<QString, int> fieldIndex;
    for (int i = 0; i < rs.fieldCount(); ++i)
        fieldIndex.insert(rs.fieldName(i).toLower(), i);
    for (int c = 0; c < grid.Cols(); ++c) {
        const QString spec = grid.TextMatrix(0, c);
        FillColumn &column = columns[size_t(c)];
        if (spec.isEmpty()) {
            column.kind
                = grid.TextMatrix(grid.FixedRows() - 1, c) == SerialCaption ? Kind::Serial : Kind::Computed;
        } else if (spec.count(QLatin1Char(':')) == 3) {
            column.kind = Kind::Lookup;
            column.lookup = spec.split(QLatin1Char(':'));
            column.field = fieldIndex.value(column.lookup.at(0).toLower(), -1);
        } else {
            column.kind = Kind::Field;
            column.field = fieldIndex.value(spec.toLower(), -1);
            if (column.field >= 0)
                column.declared = rs.fieldType(column.field);
        }
    }
    return columns;
}

// Reads up to limit rows into the grid below its header; the rows read.
int fillRows(
    GridModel &grid, data::Recordset &rs, const std::vector<FillColumn> &columns, qint64 limit, bool dateOnly)
{
    using Kind = FillColumn::Kind;
    const int first = grid.FixedRows();
    grid.setRows(first + int(limit));
    // A lookup asks the same few questions over and over (the award of
    // every result); each is asked once per fill.
    QHash<QString, QString> looked;
    int r = first;
    for (; r < first + int(limit) && !rs.eof(); ++r, rs.moveNext()) {
        for (int c = 0; c < int(columns.size()); ++c) {
            const FillColumn &column = columns[size_t(c)];
            switch (column.kind) {
            case Kind::Computed:
                break;
            case Kind::Serial:
                grid.setTextMatrix(r, c, IntegerText(r - first + 1));
                break;
            case Kind::Lookup: {
                const QString key = textOf(rs.field(column.field));
                const QString memo = column.lookup.mid(1).join(QLatin1Char(':')) + QLatin1Char(':') + key;
                auto found = looked.constFind(memo);
                if (found == looked.constEnd()) {
                    const QVariant value = column.field < 0
                        ? QVariant()
                        : data::LookupValue(column.lookup.at(1), rs.field(column.field), column.lookup.at(2),
                            column.lookup.at(3));
                    found = looked.insert(memo, FormatCellValue(value, dateOnly));
                }
                grid.setTextMatrix(r, c, *found);
                break;
            }
            case Kind::Field:
                if (column.field >= 0)
                    grid.setTextMatrix(r, c, shownValue(rs.field(column.field), column.declared, dateOnly));
                break;
            }
        }
    }
    return r - first;
}

} // namespace

qint64 FillGrid(GridModel &grid, const data::Condition &condition, const QString &sortField, bool dateOnly,
    const QFont &font)
{
    grid.beginBulkChange();
    grid.setRows(grid.FixedRows());
    qint64 count = 0;
    const QString table = grid.Tag();
    if (!table.isEmpty() && data::TableExists(table)) {
        data::Recordset rs = data::OpenTableRows(table, condition, sortField);
        count = rs.recordCount();
        const qint64 limit = std::min<qint64>(LoadingLimit(grid.Cols()), count);
        const int read = fillRows(grid, rs, fillColumns(grid, rs), limit, dateOnly);
        grid.setRows(grid.FixedRows() + read); // fewer rows than counted: keep what was read
        data::CloseRecordset(rs);
    }
    FitGridColumns(font, grid, 1, true);
    grid.endBulkChange();
    return count;
}

QString CaptionWithoutSortMark(QString caption)
{
    if (caption.endsWith(UpArrow) || caption.endsWith(DownArrow))
        caption.chop(1);
    return caption;
}

bool IsNumericAlignment(Align align)
{
    return int(align) >= int(Align::CenterCenter);
}

int SerialColumn(const GridModel &grid)
{
    const int captionRow = grid.FixedRows() - 1;
    for (int c = 0; c <= grid.FixedCols() && c < grid.Cols(); ++c) {
        if (grid.TextMatrix(captionRow, c) == SerialCaption)
            return c;
    }
    return grid.FixedCols() - 1;
}

void FitGridColumns(const QFont &font, GridModel &grid, int startRow, bool showProgress)
{
    if (grid.FixedRows() < 1)
        return;
    const bool progress = grid.Rows() > 200 && showProgress;
    ProgressScope scope(QStringLiteral("正在做交易数据表格进行格式设置……"), grid.Cols(), progress);
    const int serial = SerialColumn(grid);
    if (grid.Rows() <= grid.FixedRows())
        startRow = 0;
    startRow = std::max(0, startRow);
    const QFontMetricsF metrics(font);
    CharAdvances advances(metrics);
    std::vector<QString> texts;
    const int captionRow = grid.FixedRows() - 1;
    for (int c = 0; c < grid.Cols(); ++c) {
        double width = 0;
        if (c >= serial) {
            texts.clear();
            for (int r = startRow; r < grid.Rows(); ++r) {
                QString text = grid.TextMatrix(r, c);
                if (!text.isEmpty())
                    texts.push_back(std::move(text));
            }
            // A column never grows past half the grid, so a few hundred
            // characters say all there is to say about a huge cell.
            width = WidestTextWidth(metrics, advances, texts, MeasuredLength) * TwipsPerPixel;
            if (width != 0)
                width = std::max(
                    width, metrics.horizontalAdvance(grid.TextMatrix(captionRow, c)) * TwipsPerPixel);
            width = width != 0 ? width + 100 : 50;
            if (grid.Width() > 0 && grid.Width() / 2.0 < width)
                width = grid.Width() / 2.0;
        }
        grid.setColWidth(c, int(roundHalfEven(width)));
        scope.advance(1, QStringLiteral("pages"));
    }
}

void HandleHeaderClick(const QFont &font, GridModel &grid, int col)
{
    if (col >= grid.Cols())
        col = grid.Cols() - 1;
    if (col < 0)
        return;
    if (grid.TextMatrix(grid.FixedRows() - 1, col) != SerialCaption)
        SortGridByColumn(grid, col);
    else
        FitGridColumns(font, grid, 1, true);
}

void SortGridByColumn(GridModel &grid, int col)
{
    if (col < 0 || col >= grid.Cols() || grid.FixedRows() < 1)
        return;
    const int captionRow = grid.FixedRows() - 1;
    const bool numeric = IsNumericAlignment(grid.ColAlignment(col));
    const bool wasUp = grid.TextMatrix(captionRow, col).endsWith(UpArrow);
    SortOrder order;
    if (numeric)
        order = wasUp ? SortOrder::NumericDescending : SortOrder::NumericAscending;
    else
        order = wasUp ? SortOrder::TextAscending : SortOrder::TextDescending;
    for (int c = 0; c < grid.Cols(); ++c) {
        QString caption = grid.TextMatrix(captionRow, c);
        caption.remove(UpArrow).remove(DownArrow);
        grid.setTextMatrix(captionRow, c, caption);
    }
    grid.setCol(col);
    grid.Sort(col, order);
    const bool down = order == SortOrder::NumericDescending || order == SortOrder::TextAscending;
    grid.setTextMatrix(captionRow, col, grid.TextMatrix(captionRow, col) + (down ? DownArrow : UpArrow));
    RenumberGrid(grid);
}

void RenumberGrid(GridModel &grid)
{
    const int serial = SerialColumn(grid);
    if (serial < 0)
        return;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r)
        grid.setTextMatrix(r, serial, IntegerText(r - grid.FixedRows() + 1));
}

QString IntegerText(qint64 value)
{
    char16_t digits[20]; // a sign and the 19 digits of the largest magnitude
    char16_t *const end = digits + 20;
    char16_t *first = end;
    quint64 magnitude = value < 0 ? 0 - quint64(value) : quint64(value);
    do {
        *--first = char16_t(u'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--first = u'-';
    return QString(reinterpret_cast<const QChar *>(first), end - first);
}

bool ClickMarkColumn(GridModel &grid, int shift, int row, int col, bool multi)
{
    const int fixedRows = grid.FixedRows();
    const int markCol = grid.FixedCols();
    if (grid.Rows() <= fixedRows || markCol >= grid.Cols() || row < 0 || col < 0 || col >= grid.Cols()
        || row >= grid.Rows() || col > markCol)
        return false;
    if (row >= fixedRows) {
        if (!multi) {
            for (int r = fixedRows; r < grid.Rows(); ++r)
                grid.setTextMatrix(r, markCol, QString());
            grid.setTextMatrix(row, markCol, QStringLiteral("√"));
        } else if (shift == 1) {
            const QString value = ToggleMark(grid.TextMatrix(grid.Row(), grid.Col()));
            const int from = std::max(fixedRows, std::min(grid.Row(), row));
            const int to = std::max(grid.Row(), row);
            for (int r = from; r <= to; ++r)
                grid.setTextMatrix(r, markCol, value);
        } else {
            grid.setTextMatrix(row, markCol, ToggleMark(grid.TextMatrix(row, markCol)));
        }
    } else if (multi) {
        const QString value = ToggleMark(grid.TextMatrix(fixedRows, markCol));
        for (int r = fixedRows; r < grid.Rows(); ++r)
            grid.setTextMatrix(r, markCol, value);
    }
    return true;
}

QString NotAllShownMessage(const GridModel &grid, qint64 found)
{
    const qint64 limit = LoadingLimit(grid.Cols());
    if (found <= limit)
        return QString();
    return QStringLiteral("数据库里共有") + QString::number(found) + QStringLiteral("条记录，表格只能显示")
        + QString::number(limit) + QStringLiteral("条记录，因此无法全部显示，请修改筛选条件。");
}

bool DeleteGridRows(GridModel &grid, int &firstRow, int &lastRow, const AskFirst &ask, bool fromTable)
{
    const int fixedRows = grid.FixedRows();
    if (grid.Rows() <= fixedRows)
        return false;
    OrderPair(lastRow, firstRow);
    firstRow = std::max(firstRow, fixedRows);
    lastRow = std::min(lastRow, grid.Rows() - 1);
    if (lastRow < firstRow)
        return false;
    const int count = lastRow - firstRow + 1;
    if (ask && !ask(DeletionQuestion(grid, firstRow, lastRow)))
        return false;

    if (fromTable) {
        // Each row's record is found by its own key. A refusal is not told:
        // the rows leave the grid all the same, as they always have.
        QStringList keys;
        for (int r = firstRow; r <= lastRow; ++r) {
            const QString key = grid.TextMatrix(r, 0).trimmed();
            if (!key.isEmpty())
                keys << key;
        }
        (void)data::DeleteRowsByKey(grid.Tag(), grid.TextMatrix(0, 0), keys);
    }

    // The last fixed column (the serial or order number) stays in place, so
    // it keeps counting 1, 2, 3 by position.
    const int keep = grid.FixedCols() - 1;
    std::vector<QString> kept;
    if (keep >= 0) {
        for (int r = firstRow; r < grid.Rows(); ++r)
            kept.push_back(grid.TextMatrix(r, keep));
    }
    grid.removeGridRows(firstRow, count);
    if (keep >= 0) {
        for (int r = firstRow; r < grid.Rows(); ++r)
            grid.setTextMatrix(r, keep, kept[size_t(r - firstRow)]);
    }
    return true;
}

QString DeletionQuestion(const GridModel &grid, int firstRow, int lastRow)
{
    return QStringLiteral("您确定要删除第") + QString::number(firstRow - grid.FixedRows() + 1)
        + QStringLiteral("至第") + QString::number(lastRow - grid.FixedRows() + 1) + QStringLiteral("行？");
}

QString FormatCellValue(const QVariant &value, bool dateOnly)
{
    if (value.isNull() || !value.isValid())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return numberText(double(roundHalfEven(value.toDouble() * 100)) / 100);
    case QMetaType::QDateTime:
    case QMetaType::QDate: {
        const QDateTime when = value.toDateTime();
        if (when == QDateTime(QDate(1900, 1, 1), QTime(0, 0)))
            return QString();
        return when.toString(dateOnly ? QStringLiteral("yyyy.MM.dd") : QStringLiteral("yyyy.MM.dd HH:mm"));
    }
    case QMetaType::Bool:
        return BoolToMark(value);
    default:
        return value.toString();
    }
}

QString BoolToMark(const QVariant &value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    if (value.typeId() == QMetaType::Bool)
        return flagText(value.toBool());
    return flagText(numericValue(value) != 0);
}

QString ToggleMark(const QString &text)
{
    return text.isEmpty() ? QStringLiteral("√") : QString();
}

void OrderPair(int &a, int &b)
{
    if (b > a)
        std::swap(a, b);
}

void SelectedRows(const GridModel &grid, int &first, int &last)
{
    last = grid.RowSel();
    first = grid.Row();
    OrderPair(last, first);
}

} // namespace tombolix::grid
