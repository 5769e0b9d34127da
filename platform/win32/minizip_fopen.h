/* Read first (-include) by minizip's ioapi.c in the Windows build: its
 * default stdio file functions open paths with fopen, in the ANSI code page.
 * Vergle hands minizip file-function tables of its own, but those defaults
 * are linked all the same; here they open UTF-8 paths through _wfopen, as
 * every path of the program is opened, and no ANSI open is imported. */
#ifndef VERGLE_MINIZIP_FOPEN_H
#define VERGLE_MINIZIP_FOPEN_H

#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif
FILE* vergle_minizip_fopen(const char* utf8_path, const char* mode);
#ifdef __cplusplus
}
#endif

#define fopen vergle_minizip_fopen
#define fopen64 vergle_minizip_fopen

#endif
