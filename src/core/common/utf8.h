#pragma once

#include <QtGlobal>

// What the check of text as UTF-8 and the JSON reader take as UTF-8.
namespace tombolix::json {

// The length of the UTF-8 sequence starting at p, or 0 when it is not a
// valid one (overlong, a surrogate, beyond U+10FFFF, cut short).
inline int utf8SequenceLength(const uchar *p, const uchar *end)
{
    const uchar c = p[0];
    if (c < 0x80)
        return 1;
    int length = 0;
    char32_t value = 0;
    if ((c & 0xE0) == 0xC0) {
        length = 2;
        value = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        length = 3;
        value = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        length = 4;
        value = c & 0x07;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    for (int i = 1; i < length; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        value = value << 6 | (p[i] & 0x3F);
    }
    static const char32_t smallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    return length;
}

} // namespace tombolix::json
