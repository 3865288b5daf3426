#include "iconv.h"
#include "localcharset.h"

#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

struct converter
{
    UINT codePage; /* the source; 1200 is UTF-16LE */
};

static int sameName(const char *a, const char *b)
{
    return _stricmp(a, b) == 0;
}

iconv_t iconv_open(const char *tocode, const char *fromcode)
{
    UINT codePage = 0;
    if (!sameName(tocode, "UTF-8")) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    if (sameName(fromcode, "UTF-16LE"))
        codePage = 1200;
    else if (sameName(fromcode, "ASCII"))
        codePage = 20127;
    else if (sameName(fromcode, "MacRoman"))
        codePage = 10000;
    else if (sameName(fromcode, "UTF-8"))
        codePage = CP_UTF8;
    else if ((fromcode[0] == 'C' || fromcode[0] == 'c') && (fromcode[1] == 'P' || fromcode[1] == 'p'))
        codePage = (UINT)strtoul(fromcode + 2, NULL, 10);
    if (codePage == 0 || (codePage != 1200 && !IsValidCodePage(codePage))) {
        errno = EINVAL;
        return (iconv_t)-1;
    }
    struct converter *cd = malloc(sizeof *cd);
    if (!cd) {
        errno = ENOMEM;
        return (iconv_t)-1;
    }
    cd->codePage = codePage;
    return cd;
}

/* Converts the whole input at once, as FreeXL calls it: either all of it
   fits the output or nothing is written and E2BIG is reported. */
size_t iconv(iconv_t handle, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft)
{
    struct converter *cd = handle;
    if (!inbuf || !*inbuf || *inbytesleft == 0)
        return 0;
    int wideLength;
    WCHAR *wide;
    if (cd->codePage == 1200) {
        if (*inbytesleft % 2 != 0) {
            errno = EINVAL;
            return (size_t)-1;
        }
        wideLength = (int)(*inbytesleft / 2);
        wide = malloc(sizeof(WCHAR) * (size_t)wideLength);
        if (!wide) {
            errno = ENOMEM;
            return (size_t)-1;
        }
        memcpy(wide, *inbuf, *inbytesleft);
    } else {
        wideLength = MultiByteToWideChar(cd->codePage, MB_ERR_INVALID_CHARS, *inbuf, (int)*inbytesleft, NULL, 0);
        if (wideLength <= 0) {
            errno = EILSEQ;
            return (size_t)-1;
        }
        wide = malloc(sizeof(WCHAR) * (size_t)wideLength);
        if (!wide) {
            errno = ENOMEM;
            return (size_t)-1;
        }
        MultiByteToWideChar(cd->codePage, 0, *inbuf, (int)*inbytesleft, wide, wideLength);
    }
    const int needed = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, NULL, 0, NULL, NULL);
    if (needed < 0 || (size_t)needed > *outbytesleft) {
        free(wide);
        errno = E2BIG;
        return (size_t)-1;
    }
    WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, *outbuf, needed, NULL, NULL);
    free(wide);
    *inbuf += *inbytesleft;
    *inbytesleft = 0;
    *outbuf += needed;
    *outbytesleft -= (size_t)needed;
    return 0;
}

int iconv_close(iconv_t cd)
{
    free(cd);
    return 0;
}

const char *locale_charset(void)
{
    return "UTF-8";
}
