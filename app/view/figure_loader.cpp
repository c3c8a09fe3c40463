// TEMPORARY: the figure loader's entry points. A name handed over is recorded and becomes the view's data folder,
// file name and title; reading the file, figure sets and settings come with the figure-file work.
#include <cstdio>
#include <cstring>
#include <string>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/document/view_messages.h"
#include "app/document/xview.h"
#include "platform/file_system.h"

namespace kz::view {

int XView::OpenModel(const char* path) {
    if (!path || !*path) return 0;
    opened_model_paths.emplace_back(path);
    char folder[kz::foundation::kPathBufferSize] = {}, file[kz::foundation::kPathBufferSize] = {};
    kz::foundation::split_folder_and_file(path, folder, file);
    data_folder = kz::foundation::set_heap_string(data_folder, folder, nullptr, -1);
    data_file_name = kz::foundation::set_heap_string(data_file_name, file, nullptr, -1);
    SendTitle();
    return 1;
}

int XView::OpenModelFile(const char* path, int) { return OpenModel(path); }

void XView::FindStartFigFile(const char* set_path, char* figure_path) {
    if (!figure_path) return;
    *figure_path = '\0';
    std::string bytes;
    if (!set_path || !kz::platform::read_whole_file(set_path, &bytes, 1 << 20)) return;
    char folder[kz::foundation::kPathBufferSize] = {};
    kz::foundation::split_folder_and_file(set_path, folder, nullptr);
    int pos = 0;
    while (pos >= 0 && pos < static_cast<int>(bytes.size())) {
        int len = 0;
        const int next = kz::foundation::next_line(bytes.c_str(), pos, len);
        const std::string line = bytes.substr(pos, len);
        pos = next;
        const std::size_t cut = line.find_first_of("\t,");
        if (cut == std::string::npos) continue;
        char key[64] = {}, name[1024] = {};
        std::snprintf(key, sizeof key, "%s", line.substr(0, cut).c_str());
        kz::foundation::trim_blanks_quotes(key);
        if (kz::foundation::compare_nocase(key, "figfile") != 0) continue;
        const std::string rest = line.substr(cut + 1);
        std::snprintf(name, sizeof name, "%s", rest.substr(0, rest.find_first_of("\t,")).c_str());
        kz::foundation::trim_blanks_quotes(name);
        if (*name) kz::foundation::resolve_relative_path(figure_path, name, folder, 0);
        return;
    }
}

void XView::SendTitle() {
    const std::string title = data_file_name ? data_file_name : "";
    kz::platform::send_message(parent, UM_SET_TITLE, 0,
                               static_cast<LParam>(reinterpret_cast<std::uintptr_t>(title.c_str())));
}

}  // namespace kz::view
