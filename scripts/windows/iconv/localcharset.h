/* FreeXL includes this on Windows and its configure looks for
   locale_charset; the program passes no locale-dependent text to it. */
#ifndef TOMBOLIX_LOCALCHARSET_H
#define TOMBOLIX_LOCALCHARSET_H

#ifdef __cplusplus
extern "C" {
#endif

const char *locale_charset(void);

#ifdef __cplusplus
}
#endif

#endif
