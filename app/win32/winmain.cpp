// The Windows program: one window, files dropped on it, "比較実行".
#include <windows.h>

#include "linked_dumps.h"
#include "main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    static vergle_window w;
    register_linked_dumps(g_dumps);
    int started = vergle_start(w, instance, show);
    if (started == 0) return 0;  // another instance is running
    if (started > 0) vergle_message_loop(w);
    vergle_exit_process(w);
    return 0;
}
