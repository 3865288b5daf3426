#include "transfer/xlsreader.h"

#include "common/conventions.h"

#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <freexl.h>
#include <poll.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tombolix::transfer {

namespace {

// What the reading child sends: frames of a kind byte, two numbers and a
// payload, all little-endian as the machine is the same on both ends.
enum FrameKind : quint8
{
    ErrorFrame = 1, // a = error number
    SheetFrame, // payload = sheet name in UTF-8
    SelectFrame, // a = sheet index; the cells that follow are its own
    CellFrame, // a = row, b = column (1-based), payload = type byte + value
    EndFrame,
};
enum CellType : char
{
    IntegerCell = 'i',
    DoubleCell = 'd',
    TextCell = 't',
};
constexpr int FrameHeaderSize = 13;
int g_readTimeoutMs = XlsWorkbook::DefaultReadTimeoutMs;
constexpr qsizetype MaxFrameBytes = qsizetype(1) << 30;

class FrameWriter
{
public:
    explicit FrameWriter(int fd)
        : m_fd(fd)
    { }

    void frame(FrameKind kind, quint32 a, quint32 b, const char *payload = nullptr, quint32 length = 0,
        char type = 0)
    {
        const quint32 total = length + (type ? 1 : 0);
        char header[FrameHeaderSize];
        header[0] = char(kind);
        std::memcpy(header + 1, &a, 4);
        std::memcpy(header + 5, &b, 4);
        std::memcpy(header + 9, &total, 4);
        append(header, FrameHeaderSize);
        if (type)
            append(&type, 1);
        append(payload, length);
    }

    void flush()
    {
        const char *data = m_buffer.data();
        size_t left = m_buffer.size();
        while (left > 0) {
            const ssize_t n = ::write(m_fd, data, left);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                _exit(1);
            data += n;
            left -= size_t(n);
        }
        m_buffer.clear();
    }

private:
    void append(const char *data, size_t length)
    {
        if (length == 0)
            return;
        m_buffer.insert(m_buffer.end(), data, data + length);
        if (m_buffer.size() >= 1 << 16)
            flush();
    }

    int m_fd;
    std::vector<char> m_buffer;
};

// Sends one cell's value, if it has one.
void sendCell(FrameWriter &out, const void *handle, unsigned int r, unsigned short c)
{
    FreeXL_CellValue value;
    if (freexl_get_cell_value(handle, r, c, &value) != FREEXL_OK)
        return;
    switch (value.type) {
    case FREEXL_CELL_INT:
        out.frame(
            CellFrame, r + 1, c + 1U, reinterpret_cast<const char *>(&value.value.int_value), 4, IntegerCell);
        break;
    case FREEXL_CELL_DOUBLE:
        out.frame(CellFrame, r + 1, c + 1U, reinterpret_cast<const char *>(&value.value.double_value), 8,
            DoubleCell);
        break;
    case FREEXL_CELL_TEXT:
    case FREEXL_CELL_SST_TEXT:
    case FREEXL_CELL_DATE:
    case FREEXL_CELL_DATETIME:
    case FREEXL_CELL_TIME:
        if (value.value.text_value)
            out.frame(CellFrame, r + 1, c + 1U, value.value.text_value,
                quint32(std::strlen(value.value.text_value)), TextCell);
        break;
    default:
        break;
    }
}

// The child's whole life: read the workbook with FreeXL and send it, or
// with a scope the sheet names and the scope's cells, so that the pipe and
// the parent carry no cell nobody reads.
[[noreturn]] void readInChild(const QByteArray &path, int fd, const CellScope *scope)
{
    // A crash here is expected on hostile files and is the parent's to
    // judge, not a crash handler's to report.
    for (const int number : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT, SIGPIPE })
        std::signal(number, SIG_DFL);
    FrameWriter out(fd);
    const void *handle = nullptr;
    const int opened = freexl_open(path.constData(), &handle);
    unsigned int password = 0;
    unsigned int sheets = 0;
    if (opened != FREEXL_OK || freexl_get_info(handle, FREEXL_BIFF_PASSWORD, &password) != FREEXL_OK
        || password == FREEXL_BIFF_OBFUSCATED
        || freexl_get_info(handle, FREEXL_BIFF_SHEET_COUNT, &sheets) != FREEXL_OK) {
        out.frame(ErrorFrame, opened == FREEXL_FILE_NOT_FOUND ? CannotOpen : NotAWorkbook, 0);
        out.frame(EndFrame, 0, 0);
        out.flush();
        _exit(0);
    }
    sheets = std::min(sheets, 0xffffU);
    int scopeSheet = -1;
    for (unsigned int i = 0; i < sheets; ++i) {
        const char *name = nullptr;
        if (freexl_get_worksheet_name(handle, static_cast<unsigned short>(i), &name) != FREEXL_OK || !name)
            _exit(1);
        out.frame(SheetFrame, i, 0, name, quint32(std::strlen(name)));
        if (scope && scopeSheet < 0
            && QString::fromUtf8(name).compare(scope->sheet, Qt::CaseInsensitive) == 0)
            scopeSheet = int(i);
    }
    for (unsigned int i = 0; i < sheets; ++i) {
        if (scope && int(i) != scopeSheet)
            continue;
        unsigned int rows = 0;
        unsigned short columns = 0;
        if (freexl_select_active_worksheet(handle, static_cast<unsigned short>(i)) != FREEXL_OK
            || freexl_worksheet_dimensions(handle, &rows, &columns) != FREEXL_OK)
            _exit(1);
        out.frame(SelectFrame, i, 0);
        rows = std::min(rows, unsigned(XlsWorkbook::MaxRows));
        columns = std::min(columns, static_cast<unsigned short>(XlsWorkbook::MaxColumns));
        if (!scope) {
            for (unsigned int r = 0; r < rows; ++r) {
                for (unsigned short c = 0; c < columns; ++c)
                    sendCell(out, handle, r, c);
            }
            continue;
        }
        const unsigned int firstRow = unsigned(std::max(scope->firstRow, 1)) - 1;
        const unsigned int endRow = std::min(rows, unsigned(std::max(scope->lastRow, 0)));
        for (unsigned int r = firstRow; r < endRow; ++r) {
            for (const int col : scope->columns) {
                if (col >= 1 && col <= columns)
                    sendCell(out, handle, r, static_cast<unsigned short>(col - 1));
            }
        }
    }
    out.frame(EndFrame, 0, 0);
    out.flush();
    _exit(0);
}

// Runs the reading child and collects what it sends; false when it failed,
// crashed, overran its time or said too much.
bool readSandboxed(const QByteArray &path, const CellScope *scope, QByteArray &frames)
{
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0)
        return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        return false;
    }
    if (child == 0) {
        ::close(pipeEnds[0]);
        readInChild(path, pipeEnds[1], scope);
    }
    ::close(pipeEnds[1]);

    bool ok = true;
    QElapsedTimer clock;
    clock.start();
    const qint64 deadline = g_readTimeoutMs;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const qint64 left = deadline - clock.elapsed();
        pollfd readable { pipeEnds[0], POLLIN, 0 };
        const int ready = left > 0 ? ::poll(&readable, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0) {
            ok = false;
            break;
        }
        const ssize_t n = ::read(pipeEnds[0], buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        frames.append(buffer.data(), qsizetype(n));
        if (frames.size() > MaxFrameBytes) {
            ok = false;
            break;
        }
    }
    ::close(pipeEnds[0]);
    if (!ok)
        ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) { }
    return ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace

void XlsWorkbook::setReadTimeout(int milliseconds)
{
    g_readTimeoutMs = std::max(1, milliseconds);
}

std::unique_ptr<XlsWorkbook> XlsWorkbook::open(const QString &path, int *error, const CellScope *scope)
{
    auto fail = [error](int code) {
        if (error)
            *error = code;
        return nullptr;
    };
    // FreeXL would say "not found" for these too; the parent can tell early.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(CannotOpen);
    file.close();
    QByteArray frames;
    if (!readSandboxed(QFile::encodeName(path), scope, frames))
        return fail(NotAWorkbook);
    std::unique_ptr<XlsWorkbook> book(new XlsWorkbook);
    const int result = book->load(frames);
    if (result != NoError)
        return fail(result);
    if (error)
        *error = NoError;
    return book;
}

// Takes the child's frames apart; anything out of place makes the whole
// workbook unreadable rather than half read.
int XlsWorkbook::load(const QByteArray &frames)
{
    Sheet *current = nullptr;
    qsizetype at = 0;
    while (at + FrameHeaderSize <= frames.size()) {
        const char *header = frames.constData() + at;
        quint32 a = 0;
        quint32 b = 0;
        quint32 length = 0;
        std::memcpy(&a, header + 1, 4);
        std::memcpy(&b, header + 5, 4);
        std::memcpy(&length, header + 9, 4);
        at += FrameHeaderSize;
        if (length > quint64(frames.size() - at))
            return NotAWorkbook;
        const char *payload = frames.constData() + at;
        at += length;
        switch (quint8(header[0])) {
        case ErrorFrame:
            return a == CannotOpen ? int(CannotOpen) : int(NotAWorkbook);
        case SheetFrame:
            m_sheets.push_back({ QString::fromUtf8(payload, qsizetype(length)), {}, 0, 0 });
            break;
        case SelectFrame:
            if (a >= quint32(m_sheets.size()))
                return NotAWorkbook;
            current = &m_sheets[int(a)];
            break;
        case CellFrame: {
            if (!current || length < 1 || a < 1 || a > quint32(MaxRows) || b < 1 || b > quint32(MaxColumns))
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
            current->cells.push_back({ (a << 9) | b, quint32(m_pool.size()), quint32(text.size()) });
            current->rows = std::max(current->rows, int(a));
            current->columns = std::max(current->columns, int(b));
            m_pool += text;
            break;
        }
        case EndFrame:
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
    return NotAWorkbook; // the child stopped before its last frame
}

QStringList XlsWorkbook::sheetNames() const
{
    QStringList names;
    for (const Sheet &sheet : m_sheets)
        names << sheet.name;
    return names;
}

int XlsWorkbook::selectSheet(const QString &name)
{
    for (int i = 0; i < m_sheets.size(); ++i) {
        if (m_sheets.at(i).name.compare(name, Qt::CaseInsensitive) == 0) {
            m_selected = i;
            return NoError;
        }
    }
    return NoSuchSheet;
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
