#include "transfer/xlsreader.h"

#include "common/conventions.h"
#include "transfer/sheetlist.h"
#include "transfer/xlsstream.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <algorithm>
#include <cstring>
#include <optional>

namespace tombolix::transfer {

namespace {

using namespace xlsstream;

static_assert(ErrorCannotOpen == CannotOpen && ErrorNotAWorkbook == NotAWorkbook);
static_assert(MaxRows == XlsWorkbook::MaxRows && MaxColumns == XlsWorkbook::MaxColumns);

int g_readTimeoutMs = XlsWorkbook::DefaultReadTimeoutMs;
QString g_helperProgram;
// More than any .xls can hold; a helper that says more is not reading one.
constexpr qsizetype MaxStreamBytes = qsizetype(1) << 30;

struct Frame
{
    quint8 kind = 0;
    quint32 a = 0;
    quint32 b = 0;
    quint32 length = 0;
    const char *payload = nullptr;
};

// Takes the next whole frame of stream at *at; false when the stream ends
// before it does.
bool nextFrame(const QByteArray &stream, qsizetype *at, Frame *frame)
{
    if (stream.size() - *at < HeaderSize)
        return false;
    const char *header = stream.constData() + *at;
    frame->kind = quint8(header[0]);
    std::memcpy(&frame->a, header + 1, 4);
    std::memcpy(&frame->b, header + 5, 4);
    std::memcpy(&frame->length, header + 9, 4);
    if (frame->length > quint64(stream.size() - *at - HeaderSize))
        return false;
    frame->payload = header + HeaderSize;
    *at += HeaderSize + qsizetype(frame->length);
    return true;
}

enum class HelperRun
{
    Read,
    Missing,
    Failed,
};

// Answers the helper's question once the sheet names have come: the index of
// the first sheet named as the scope's, without regard to case.
class SheetChooser
{
public:
    explicit SheetChooser(const QString &sheet)
        : m_sheet(sheet)
    { }

    // Looks at what has come so far; true with *index once the question has.
    bool answer(const QByteArray &stream, quint32 *index)
    {
        Frame frame;
        while (nextFrame(stream, &m_scanned, &frame)) {
            if (frame.kind == SheetFrame && m_chosen == NoSheet
                && IsSheetNamed(QString::fromUtf8(frame.payload, qsizetype(frame.length)), m_sheet))
                m_chosen = m_names;
            if (frame.kind == SheetFrame)
                ++m_names;
            if (frame.kind == ChooseFrame) {
                *index = m_chosen;
                return true;
            }
        }
        return false;
    }

private:
    QString m_sheet;
    qsizetype m_scanned = 0;
    quint32 m_names = 0;
    quint32 m_chosen = NoSheet;
};

// Runs the helper on path and collects its whole output in stream. Waits
// without an event loop, so no click can arrive in the middle of a read.
HelperRun runHelper(const QString &path, const CellScope *scope, QByteArray &stream)
{
    const QString program = XlsWorkbook::helperProgram();
    if (program.isEmpty())
        return HelperRun::Missing;
    QStringList arguments { path };
    if (scope) {
        arguments << QString::number(scope->firstRow) << QString::number(scope->lastRow);
        for (const int col : scope->columns)
            arguments << QString::number(col);
    }
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = g_readTimeoutMs;
    auto left = [&clock, deadline] { return int(std::max<qint64>(0, deadline - clock.elapsed())); };

    QProcess helper;
    helper.setStandardErrorFile(QProcess::nullDevice());
    if (!scope)
        helper.setStandardInputFile(QProcess::nullDevice());
    helper.start(program, arguments, scope ? QIODevice::ReadWrite : QIODevice::ReadOnly);
    if (!helper.waitForStarted(std::max(left(), 1)))
        return helper.error() == QProcess::FailedToStart ? HelperRun::Missing : HelperRun::Failed;

    std::optional<SheetChooser> chooser;
    if (scope)
        chooser.emplace(scope->sheet);
    bool ok = true;
    for (;;) {
        stream += helper.readAllStandardOutput();
        if (stream.size() > MaxStreamBytes) {
            ok = false;
            break;
        }
        quint32 index = NoSheet;
        if (chooser && chooser->answer(stream, &index)) {
            chooser.reset();
            helper.write(reinterpret_cast<const char *>(&index), sizeof index);
            helper.closeWriteChannel();
        }
        if (helper.state() == QProcess::NotRunning)
            break;
        if (left() == 0) {
            ok = false;
            break;
        }
        // A helper that has closed its output but not ended yields no
        // further data; wait for its end instead of turning round.
        if (!helper.waitForReadyRead(left()) && helper.state() != QProcess::NotRunning && left() > 0)
            helper.waitForFinished(left());
    }
    if (!ok || helper.state() != QProcess::NotRunning) {
        helper.kill();
        helper.waitForFinished();
        return HelperRun::Failed;
    }
    stream += helper.readAllStandardOutput();
    return helper.exitStatus() == QProcess::NormalExit && helper.exitCode() == 0 ? HelperRun::Read
                                                                                 : HelperRun::Failed;
}

} // namespace

void XlsWorkbook::setReadTimeout(int milliseconds)
{
    g_readTimeoutMs = std::max(1, milliseconds);
}

void XlsWorkbook::setHelperProgram(const QString &path)
{
    g_helperProgram = path;
}

QString XlsWorkbook::helperProgram()
{
    if (!g_helperProgram.isEmpty())
        return g_helperProgram;
    if (!QCoreApplication::instance())
        return QString();
    // Found with the platform's suffix for programs, and only if it may run.
    return QStandardPaths::findExecutable(
        QString::fromLatin1(HelperName), { QCoreApplication::applicationDirPath() });
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString &path, int *error, const CellScope *scope)
{
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return nullptr;
    };
    // FreeXL would say "not found" for these too; the reader can tell early.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(CannotOpen);
    file.close();
    QByteArray stream;
    switch (runHelper(path, scope, stream)) {
    case HelperRun::Missing:
        return fail(CannotOpen);
    case HelperRun::Failed:
        return fail(NotAWorkbook);
    case HelperRun::Read:
        break;
    }
    return fromStream(stream, error);
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::fromStream(const QByteArray &stream, int *error)
{
    std::unique_ptr<XlsWorkbook> book(new XlsWorkbook);
    const int result = book->load(stream);
    if (error)
        *error = result;
    if (result != NoError)
        return nullptr;
    return book;
}

// Takes the helper's frames apart; anything out of place makes the whole
// workbook unreadable rather than half read.
int XlsWorkbook::load(const QByteArray &stream)
{
    // The sheet being filled, by index: a pointer would dangle when a sheet
    // frame after it grows the list.
    int current = -1;
    qsizetype at = 0;
    Frame frame;
    while (nextFrame(stream, &at, &frame)) {
        const quint32 a = frame.a;
        const quint32 b = frame.b;
        const quint32 length = frame.length;
        const char *payload = frame.payload;
        switch (frame.kind) {
        case ErrorFrame:
            return a == CannotOpen ? int(CannotOpen) : int(NotAWorkbook);
        case SheetFrame:
            if (current >= 0)
                return NotAWorkbook; // every name comes before the first cell
            m_sheets.push_back({ QString::fromUtf8(payload, qsizetype(length)), {}, 0, 0 });
            break;
        case ChooseFrame:
            break;
        case SelectFrame:
            if (a >= quint32(m_sheets.size()))
                return NotAWorkbook;
            current = int(a);
            break;
        case CellFrame: {
            if (current < 0 || length < 1 || a < 1 || a > quint32(MaxRows) || b < 1
                || b > quint32(MaxColumns))
                return NotAWorkbook;
            QString text;
            if (payload[0] == IntegerCell && length == 5) {
                qint32 number = 0;
                std::memcpy(&number, payload + 1, 4);
                text = QString::number(number);
            } else if (payload[0] == DoubleCell && length == 9) {
                double number = 0;
                std::memcpy(&number, payload + 1, 8);
                text = numberText(number);
            } else if (payload[0] == TextCell) {
                text = QString::fromUtf8(payload + 1, qsizetype(length) - 1);
            } else {
                return NotAWorkbook;
            }
            if (text.isEmpty())
                break;
            Sheet &sheet = m_sheets[current];
            sheet.cells.push_back({ (a << 9) | b, quint32(m_pool.size()), quint32(text.size()) });
            sheet.rows = std::max(sheet.rows, int(a));
            sheet.columns = std::max(sheet.columns, int(b));
            m_pool += text;
            break;
        }
        case EndFrame:
            if (at != stream.size())
                return NotAWorkbook;
            for (Sheet &sheet : m_sheets) {
                auto byKey = [](const StoredCell &x, const StoredCell &y) { return x.key < y.key; };
                if (!std::is_sorted(sheet.cells.begin(), sheet.cells.end(), byKey))
                    std::stable_sort(sheet.cells.begin(), sheet.cells.end(), byKey);
            }
            return NoError;
        default:
            return NotAWorkbook;
        }
    }
    return NotAWorkbook; // the helper stopped before its last frame
}

QStringList XlsWorkbook::sheetNames() const
{
    return SheetNames(m_sheets);
}

int XlsWorkbook::selectSheet(const QString &name)
{
    const int i = FindSheet(m_sheets, name);
    if (i < 0)
        return NoSuchSheet;
    m_selected = i;
    return NoError;
}

int XlsWorkbook::rowCount() const
{
    return m_selected < 0 ? 0 : m_sheets.at(m_selected).rows;
}

int XlsWorkbook::columnCount() const
{
    return m_selected < 0 ? 0 : m_sheets.at(m_selected).columns;
}

QString XlsWorkbook::cell(int row, int col) const
{
    if (m_selected < 0 || row < 1 || col < 1 || row > MaxRows || col > MaxColumns)
        return QString();
    const std::vector<StoredCell> &cells = m_sheets.at(m_selected).cells;
    const quint32 key = (quint32(row) << 9) | quint32(col);
    const auto found = std::lower_bound(
        cells.begin(), cells.end(), key, [](const StoredCell &stored, quint32 k) { return stored.key < k; });
    if (found == cells.end() || found->key != key)
        return QString();
    return m_pool.mid(found->offset, found->length);
}

} // namespace tombolix::transfer
