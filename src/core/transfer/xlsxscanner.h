#pragma once

#include "transfer/xlsxparts.h"

#include <QString>
#include <QStringView>
#include <algorithm>
#include <cstring>
#include <string>

// A scanner of the little XML that worksheets and shared strings are written
// in, many times faster than the XML reader: it reads tags and text straight
// from a part's bytes, and answers false for whatever it is not sure the XML
// reader would read the same way, which then reads the part instead.
namespace tombolix::transfer::xlsx {

// A tag as the scanner sees it: its name and the three cell attributes.
struct ScannedTag
{
    std::string name;
    std::string r, t, s;
    bool hasR = false, hasT = false, hasS = false;
    bool end = false;
    bool empty = false; // <x/>

    std::string attribute, value; // scratch, kept for its capacity

    bool is(const char *n) const
    {
        const size_t length = std::strlen(n);
        return name.size() == length && std::memcmp(name.data(), n, length) == 0;
    }
};

// Reads a tag after its '<'. False for whatever the scanner leaves to the
// full XML reader: declarations, comments, CDATA, processing instructions,
// and cell attributes that are anything but letters and digits.
bool readTag(PartBytes &in, ScannedTag &tag);

// After an element's start tag, appends its text to raw and reads its end
// tag; false when anything but text comes before an end tag of that name.
bool readElementText(PartBytes &in, ScannedTag &tag, const char *name, std::string &raw);

// Reads up to the root element, taking its '<'. False for what the scanner
// leaves to the XML reader: UTF-16, another encoding, a doctype, comments.
bool startDocument(PartBytes &in);

// A number of digits only, as toInt() reads it; absent or empty gives ok
// false. False for anything toInt() might read otherwise.
bool readDigits(const std::string &text, int &number, bool &ok);

// Element text as the XML reader gives it: references resolved, UTF-8
// decoded. False for what the scanner leaves to that reader (line ends it
// would normalise, control characters, unknown entities, bad UTF-8).
bool decodeText(const std::string &raw, QString &out);

// parseCellReference() over the letters and digits of a scanned reference.
bool parseAsciiCellReference(const std::string &ref, int &row, int &col);

// An ASCII attribute value as the view the XML reader's attributes give.
struct AsciiView
{
    char16_t chars[24];
    qsizetype size = 0;
    explicit AsciiView(const std::string &text)
    {
        size = qsizetype(std::min(text.size(), sizeof chars / sizeof chars[0]));
        for (qsizetype i = 0; i < size; ++i)
            chars[i] = char16_t(uchar(text[size_t(i)]));
    }
    QStringView view() const { return QStringView(chars, size); }
};

// Text that XML cannot carry (control characters, a lone CR) is stored in
// cells and shared strings as _xHHHH_; the text with those decoded.
QString decodeEscapes(const QString &text);

} // namespace tombolix::transfer::xlsx
