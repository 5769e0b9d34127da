#include "linked_dumps.h"

#include "macro_dump.h"
#include "ofx.h"
#include "workbook_dump.h"

namespace {

// A Word or PowerPoint document's text, then, when asked for, its macros.
int word_and_macros(const dump_request& req) {
    int rc = dump_word_text(req);
    return rc == 0 && req.macros ? dump_macros(req, nullptr, nullptr) : rc;
}

int powerpoint_and_macros(const dump_request& req) {
    int rc = dump_powerpoint_text(req);
    return rc == 0 && req.macros ? dump_macros(req, nullptr, nullptr) : rc;
}

}  // namespace

void register_linked_dumps(dump_table& t) {
    t.workbook = dump_workbook_text;
    t.word = word_and_macros;
    t.powerpoint = powerpoint_and_macros;
}
