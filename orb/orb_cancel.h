// Asking long work to stop.  A caller that may have to interrupt a reader
// (the user pressed Ctrl+C, closed the window) names a function that says
// so; the readers' long loops (inflating a package member, scanning a
// worksheet, feeding legacy records) ask it now and then and end with
// ORB_CANCELLED, leaving the caller to release what was read.  The function
// holds for the calling thread: two dumps on two threads each have their own.
#ifndef ORB_CANCEL_H
#define ORB_CANCEL_H

enum { ORB_CANCELLED = -5 };

// Names the function that answers non-zero once the work should stop (null:
// nothing ever stops), and what it is given.  The previous choice is
// returned through prev_fn / prev_ctx when they are not null, so that a
// caller can put it back.
using orb_cancel_fn = int (*)(void* ctx);
void orb_set_cancel(orb_cancel_fn fn, void* ctx, orb_cancel_fn* prev_fn = nullptr, void** prev_ctx = nullptr);

// True once the named function has answered non-zero (it is not asked again
// until orb_set_cancel names one anew).  Cheap enough for every few thousand
// records or kilobytes.
bool orb_cancelled();

#endif
