// The fence around every exported function: no C++ exception crosses the C
// interface.  Memory exhaustion becomes -2 with its message; anything else
// becomes -1 with an internal-error message naming the function.
#ifndef TBX_GUARD_H
#define TBX_GUARD_H

#include <new>

#include "tbx_message.h"

template <typename F>
int tbx_guarded(XLS_BOOK* book, const char* function, F&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return tbx_fail_memory(book);
    } catch (...) {
        tbx_message(book, TBX_MSG_INTERNAL, function);
        return tbx_fail(book, -1);
    }
}

#endif
