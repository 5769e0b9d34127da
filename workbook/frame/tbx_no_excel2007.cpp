// Stands in for the Open XML reader while it is not built.
#include "tbx_readers.h"

int tbx_read_excel2007(XLS_BOOK*, const char*) { return TBX_NO_READER; }
int tbx_list_excel2007(XLS_BOOK*, const char*) { return TBX_NO_READER; }
