// The reasons given after a message: what is wrong with a file that cannot
// be read as a document, told from what stands at its path and from its
// first and last bytes.
#include <cctype>
#include <cstring>

#include "platform.h"
#include "ui.h"

namespace {

bool ends_with_ci(const char* path, const char* ext) {
    size_t n = std::strlen(path), m = std::strlen(ext);
    if (n < m) return false;
    for (size_t i = 0; i < m; ++i) {
        if (std::tolower(static_cast<unsigned char>(path[n - m + i])) != ext[i]) return false;
    }
    return true;
}

bool zip_name(const char* path) {
    for (const char* ext : {".xlsx", ".xlsm", ".docx", ".docm", ".pptx", ".pptm"}) {
        if (ends_with_ci(path, ext)) return true;
    }
    return false;
}

const unsigned char ZIP_MAGIC[4] = {'P', 'K', 3, 4};
const unsigned char CFB_MAGIC[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// True when the last 64 KiB and 22 bytes of f (size bytes) hold a zip end
// record, which every complete package ends with.
bool has_end_record(plat_file* f, int64_t size) {
    const int64_t window = 65535 + 22;
    int64_t from = size > window ? size - window : 0;
    std::string tail(static_cast<size_t>(size - from), '\0');
    if (plat_seek(f, from, 0) != 0 || plat_read(f, &tail[0], tail.size()) != tail.size()) return false;
    for (size_t i = tail.size() >= 22 ? tail.size() - 22 + 1 : 0; i-- > 0;) {
        if (tail.compare(i, 4, "PK\x05\x06", 4) == 0) return true;
    }
    return false;
}

}  // namespace

std::string ui_file_reason(const char* path) {
    switch (plat_check_readable(path)) {
    case PLAT_CHECK_MISSING: return ui_text("ファイルがありません");
    case PLAT_CHECK_DENIED: return ui_text("アクセス権がありません");
    case PLAT_CHECK_FOLDER: return ui_text("フォルダです");
    case PLAT_CHECK_NOT_REGULAR: return ui_text("通常のファイルではありません");
    case PLAT_CHECK_OK: break;
    }
    plat_file* f = plat_open(path, PLAT_READ);
    if (!f) return ui_text("開けません");
    unsigned char head[16] = {0};
    size_t n = plat_read(f, head, sizeof head);
    std::string reason;
    if (n == 0) {
        reason = ui_text("空のファイルです");
    } else if (n < sizeof head) {
        reason = ui_text("文書としては短すぎます");
    } else if (zip_name(path)) {
        plat_seek(f, 0, 2);
        int64_t size = plat_tell(f);
        if (std::memcmp(head, ZIP_MAGIC, 4) != 0) {
            reason = ui_text("zipパッケージではありません");
        } else if (size < 0 || !has_end_record(f, size)) {
            reason = ui_text("途中で切れています");
        }
    } else if (ends_with_ci(path, ".xls") && std::memcmp(head, CFB_MAGIC, 8) != 0) {
        reason = ui_text("Excel 97-2003形式ではありません");
    }
    plat_close(f);
    return reason;
}

std::string ui_code_reason(int rc) {
    switch (rc) {
    case -2: return ui_text("メモリが足りません");
    case -9: return ui_text("扱える大きさを超えています");
    case -101: return ui_text("開けません");
    default: return ui_text("内容が壊れています");
    }
}

std::string ui_open_failure(const std::string& path, int rc, const std::string& internal) {
    if (ui_debug()) return internal;
    std::string reason = ui_file_reason(path.c_str());
    if (reason.empty()) reason = ui_code_reason(rc);
    return ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", path), reason);
}
