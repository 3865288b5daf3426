#pragma once

#include <QIODevice>
#include <QString>
#include <QVector>
#include <QXmlStreamReader>
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <zip.h>

// The parts of an .xlsx package, the XML files in its zip: opened for the
// XML reader or for the scanner (transfer/xlsxscanner.h), and the
// relationships that lead from one part to another.
namespace tombolix::transfer::xlsx {

// One part of the package as a sequential device, so that the XML reader
// pulls it through in small chunks. A part that inflates to more than its
// header declares is corrupt or hostile, so reading stops there.
class ZipPartDevice : public QIODevice
{
public:
    ZipPartDevice(zip_file_t *file, qint64 declaredSize)
        : m_file(file)
        , m_limit(declaredSize)
    {
        QIODevice::open(QIODevice::ReadOnly);
    }
    ~ZipPartDevice() override { zip_fclose(m_file); }
    bool isSequential() const override { return true; }
    bool failed() const { return m_failed; }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_failed)
            return -1;
        const zip_int64_t n = zip_fread(m_file, data, zip_uint64_t(maxSize));
        m_total += std::max<zip_int64_t>(n, 0);
        if (n < 0 || m_total > m_limit) {
            m_failed = true;
            return -1;
        }
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    zip_file_t *m_file;
    qint64 m_limit;
    qint64 m_total = 0;
    bool m_failed = false;
};

// The bytes of a part, pulled through a buffer, for the sheet scanner.
class PartBytes
{
public:
    PartBytes(zip_file_t *file, qint64 limit)
        : m_file(file)
        , m_limit(limit)
        , m_buffer(new char[BufferSize])
    { }
    ~PartBytes() { zip_fclose(m_file); }
    PartBytes(const PartBytes &) = delete;
    PartBytes &operator=(const PartBytes &) = delete;

    // The next byte, or -1 at the end of the part or when it cannot be read.
    int next()
    {
        if (m_pos == m_end && !refill())
            return -1;
        return uchar(m_buffer[m_pos++]);
    }
    bool failed() const { return m_failed; }
    // Gives back the byte a successful next() has just given.
    void unget() { --m_pos; }
    // Appends the bytes before the next '<' to out (when given) and takes
    // the '<'; false at the end of the part.
    bool textUntilTag(std::string *out)
    {
        for (;;) {
            if (m_pos == m_end && !refill())
                return false;
            const char *from = m_buffer.get() + m_pos;
            const void *found = std::memchr(from, '<', size_t(m_end - m_pos));
            const qsizetype length
                = found ? static_cast<const char *>(found) - from : qsizetype(m_end - m_pos);
            if (out)
                out->append(from, size_t(length));
            m_pos += length;
            if (found) {
                ++m_pos;
                return true;
            }
        }
    }

private:
    static constexpr qsizetype BufferSize = 1 << 16;
    bool refill()
    {
        if (m_failed)
            return false;
        const zip_int64_t n = zip_fread(m_file, m_buffer.get(), zip_uint64_t(BufferSize));
        m_total += std::max<zip_int64_t>(n, 0);
        if (n < 0 || m_total > m_limit) {
            m_failed = true;
            return false;
        }
        m_pos = 0;
        m_end = qsizetype(n);
        return n > 0;
    }

    zip_file_t *m_file;
    qint64 m_limit;
    qint64 m_total = 0;
    std::unique_ptr<char[]> m_buffer;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    bool m_failed = false;
};

enum class PartStatus
{
    Ok,
    Missing,
    Broken,
};

// Opens a part for reading, with the most it may inflate to. Part names are
// case-insensitive in a package, and writers do not agree on case.
PartStatus openPart(zip_t *zip, const QString &name, zip_file_t **file, qint64 *limit);

// Runs parse over the XML of a part.
template<typename Parse> PartStatus parsePart(zip_t *zip, const QString &name, Parse &&parse)
{
    zip_file_t *file = nullptr;
    qint64 limit = 0;
    const PartStatus opened = openPart(zip, name, &file, &limit);
    if (opened != PartStatus::Ok)
        return opened;
    ZipPartDevice device(file, limit);
    QXmlStreamReader xml(&device);
    parse(xml);
    if (xml.hasError() || device.failed())
        return PartStatus::Broken;
    return PartStatus::Ok;
}

struct Relationship
{
    QString id;
    QString type;
    QString target; // resolved part name
};

// The relationships of a part; an absent relationships part simply has
// none. False when it is there but cannot be read.
bool readRelationships(zip_t *zip, const QString &sourcePart, QVector<Relationship> &out);

} // namespace tombolix::transfer::xlsx
