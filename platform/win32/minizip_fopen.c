/* minizip's default stdio opens (see minizip_fopen.h): UTF-8 paths through
 * the wide call. */
#include <stdlib.h>
#include <windows.h>

#include "minizip_fopen.h"

#undef fopen
#undef fopen64

FILE* vergle_minizip_fopen(const char* utf8_path, const char* mode) {
    wchar_t wmode[8];
    int n, m;
    wchar_t* wpath;
    FILE* f;
    if (!utf8_path || !mode) return NULL;
    m = MultiByteToWideChar(CP_UTF8, 0, mode, -1, wmode, 8);
    n = MultiByteToWideChar(CP_UTF8, 0, utf8_path, -1, NULL, 0);
    if (m <= 0 || n <= 0) return NULL;
    wpath = (wchar_t*)malloc((size_t)n * sizeof(wchar_t));
    if (!wpath) return NULL;
    MultiByteToWideChar(CP_UTF8, 0, utf8_path, -1, wpath, n);
    f = _wfopen(wpath, wmode);
    free(wpath);
    return f;
}
