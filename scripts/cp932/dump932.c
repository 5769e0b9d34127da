/* Writes what Windows makes of code page 932, for make-table.py: build it
   with x86_64-w64-mingw32-gcc -O2 -static, run it on Windows or under Wine:
   dump932.exe cp932.txt */
#include <windows.h>
#include <stdio.h>
/* Lines written:
   E uuuu bytes   for every BMP code point (bytes "-" when the default char was used)
   D bytes uuuu.. for every single byte and every lead/trail pair */
int main(int argc, char** argv) {
    FILE* f = fopen(argc > 1 ? argv[1] : "cp932.txt", "wb");
    if (!f) return 1;
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        WCHAR w = (WCHAR)u;
        char out[8];
        BOOL used = FALSE;
        int n = WideCharToMultiByte(932, 0, &w, 1, out, sizeof out, NULL, &used);
        fprintf(f, "E %04X ", u);
        if (used) fprintf(f, "-");
        else for (int i = 0; i < n; ++i) fprintf(f, "%02X", (unsigned char)out[i]);
        fprintf(f, "\n");
    }
    for (unsigned b = 1; b < 0x100; ++b) {
        char in[1] = {(char)b};
        WCHAR w[4];
        int n = MultiByteToWideChar(932, 0, in, 1, w, 4);
        fprintf(f, "D %02X", b);
        for (int i = 0; i < n; ++i) fprintf(f, " %04X", w[i]);
        fprintf(f, "\n");
    }
    for (unsigned l = 0x81; l < 0x100; ++l) {
        if (!(l <= 0x9F || (l >= 0xE0 && l <= 0xFC))) continue;
        for (unsigned t = 1; t < 0x100; ++t) {
            char in[2] = {(char)l, (char)t};
            WCHAR w[4];
            int n = MultiByteToWideChar(932, 0, in, 2, w, 4);
            fprintf(f, "D %02X%02X", l, t);
            for (int i = 0; i < n; ++i) fprintf(f, " %04X", w[i]);
            fprintf(f, "\n");
        }
    }
    fclose(f);
    return 0;
}
