// Feeds arbitrary bytes to the .xls reader, both ways in:
// - as the helper's output, straight to the reader's stream parser, which is
//   the part of the reader that runs inside the program;
// - as an .xls file, read by the helper's own routine and the stream it
//   writes parsed back. FreeXL reads only files, so the bytes go through one
//   temporary file per process. FreeXL itself crashes and hangs on some
//   inputs (the helper program exists for that reason), so here a forked
//   child stands in for the helper process, with a time limit, and only our
//   own code runs in the fuzzer's process.
#include "readcells.h"
#include "transfer/xlsreader.h"
#include "transfer/xlsstream.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <poll.h>
#include <sanitizer/common_interface_defs.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace tombolix::transfer;

// The child's stream goes to the pipe; the sheet is chosen in the child the
// way the reader chooses it.
class PipeOutput : public xlsstream::Output
{
public:
    PipeOutput(int fd, const QString &sheet)
        : m_fd(fd)
        , m_sheet(sheet)
    { }

    bool write(const char *data, size_t length) override
    {
        while (length > 0) {
            const ssize_t n = ::write(m_fd, data, length);
            if (n <= 0)
                return false;
            data += n;
            length -= size_t(n);
        }
        return true;
    }

    uint32_t chooseSheet(const std::vector<std::string> &names) override
    {
        for (size_t i = 0; i < names.size(); ++i) {
            if (QString::fromStdString(names[i]).compare(m_sheet, Qt::CaseInsensitive) == 0)
                return uint32_t(i);
        }
        return xlsstream::NoSheet;
    }

private:
    int m_fd;
    QString m_sheet;
};

// A child that FreeXL crashes must simply die, quietly: libFuzzer's death
// hook would report the child's crash as the fuzzer's own, and the
// sanitizer's report of FreeXL's faults would drown the fuzzer's output.
[[noreturn]] void readInChild(const QByteArray &path, int fd, bool scoped)
{
    __sanitizer_set_death_callback(nullptr);
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0)
        dup2(null, STDERR_FILENO);
    for (const int number : { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT })
        std::signal(number, SIG_DFL);
    PipeOutput out(fd, QStringLiteral("sheet2"));
    xlsstream::Scope scope;
    scope.columns = { 1, 2, 4 };
    scope.firstRow = 2;
    scope.lastRow = 1000;
    _exit(xlsstream::WriteStream(path.constData(), scoped ? &scope : nullptr, out) ? 0 : 1);
}

// FreeXL can spin for minutes over absurd date serials; the child is given
// up on well inside the fuzzer's own time limit per input.
QByteArray streamOfFile(const QByteArray &path, bool scoped)
{
    int ends[2];
    if (::pipe(ends) != 0)
        return QByteArray();
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        readInChild(path, ends[1], scoped);
    }
    ::close(ends[1]);
    QByteArray stream;
    char buffer[1 << 16];
    for (;;) {
        pollfd readable { ends[0], POLLIN, 0 };
        if (child < 0 || ::poll(&readable, 1, 2000) <= 0)
            break;
        const ssize_t n = ::read(ends[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        stream.append(buffer, n);
    }
    ::close(ends[0]);
    if (child > 0) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    return stream;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    int error = 0;
    qsizetype total = ReadWorksheetCorners(XlsWorkbook::fromStream(bytes, &error).get());

    static const QString path = QDir::temp().filePath(QStringLiteral("fuzz_xls_%1.xls").arg(getpid()));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(bytes);
    }
    // Whole or scoped by the last byte, so that both are fuzzed.
    const bool scoped = size > 0 && (data[size - 1] & 1);
    total += ReadWorksheetCorners(
        XlsWorkbook::fromStream(streamOfFile(QFile::encodeName(path), scoped), &error).get());
    QFile::remove(path);
    return total < 0 ? 1 : 0;
}
