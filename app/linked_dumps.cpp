#include "linked_dumps.h"

#include "ofx.h"
#include "workbook_dump.h"

void register_linked_dumps(dump_table& t) {
    t.workbook = dump_workbook_text;
    t.word = dump_word_text;
    t.powerpoint = dump_powerpoint_text;
}
