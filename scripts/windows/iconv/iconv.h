/* iconv for the Windows build of FreeXL: conversions to UTF-8 from the code
   pages a workbook names (CPnnn, ASCII, MacRoman, UTF-16LE), over the
   system's MultiByteToWideChar and WideCharToMultiByte. */
#ifndef TOMBOLIX_ICONV_H
#define TOMBOLIX_ICONV_H

#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef void *iconv_t;

iconv_t iconv_open(const char *tocode, const char *fromcode);
size_t iconv(iconv_t cd, char **inbuf, size_t *inbytesleft, char **outbuf, size_t *outbytesleft);
int iconv_close(iconv_t cd);

#ifdef __cplusplus
}
#endif

#endif
