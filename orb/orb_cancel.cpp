#include "orb_cancel.h"

namespace {

thread_local orb_cancel_fn g_fn = nullptr;
thread_local void* g_ctx = nullptr;
thread_local bool g_cancelled = false;

}  // namespace

void orb_set_cancel(orb_cancel_fn fn, void* ctx, orb_cancel_fn* prev_fn, void** prev_ctx) {
    if (prev_fn) *prev_fn = g_fn;
    if (prev_ctx) *prev_ctx = g_ctx;
    g_fn = fn;
    g_ctx = ctx;
    g_cancelled = false;
}

bool orb_cancelled() {
    if (!g_cancelled && g_fn && g_fn(g_ctx) != 0) g_cancelled = true;
    return g_cancelled;
}
