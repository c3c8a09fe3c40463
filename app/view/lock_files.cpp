// Per-user lock files beside the model's files, and the time-stamped names given to new items.
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xtrunk.h"
#include "platform/crt/c_numbers.h"
#include "platform/file_system.h"

namespace kz::view {

namespace {

// The first field of a line: up to a TAB, a comma or the line end.
std::string first_field(const std::string& line) {
    const std::size_t end = line.find_first_of("\t,\r\n");
    return line.substr(0, end);
}

bool read_line(std::FILE* f, std::string* out) {
    char buffer[1024];
    if (!std::fgets(buffer, sizeof buffer, f)) return false;
    *out = buffer;
    return true;
}

}  // namespace

int XView::ReleaseLockFile(const char* path, const char* user, int number) {
    if (!path || !*path) return 0;
    const bool http = kz::foundation::compare_prefix_nocase(path, "http:", 5) == 0;
    if (!http && !kz::platform::file_exists(path)) return 0;
    std::string lock = path;
    const bool is_lock =
        lock.size() >= 4 && kz::foundation::compare_nocase(lock.c_str() + lock.size() - 4, ".loc") == 0;
    if (!is_lock) lock += ".loc";
    if (!kz::platform::file_exists(lock)) return 0;
    kz::platform::FilePtr f = kz::platform::open_for_reading(lock);
    if (!f) return 2;  // a lock we cannot read is someone else's until shown otherwise
    std::string line1, line2;
    read_line(f.get(), &line1);
    read_line(f.get(), &line2);
    f.reset();
    const std::string holder = first_field(line1);
    const int holder_number = kz::crt::c_atoi(first_field(line2).c_str());
    if (kz::foundation::compare_nocase(holder.c_str(), user) != 0) return 2;
    if (holder_number != 0 && holder_number != number) return 2;
    // A lock that stays on disk is still held, whatever we meant to do with it.
    return kz::platform::delete_file(lock) ? 0 : 2;
}

int XView::RemoveOwnLockFiles() {
    if (document.user_name && *document.user_name && document.data_folder && *document.data_folder) {
        const std::string folder = document.data_folder;
        for (const kz::platform::FileInfo& f : kz::platform::find_files(folder + "*.loc")) {
            if (f.directory) continue;
            ReleaseLockFile((folder + f.name).c_str(), document.user_name, document.user_lock_number);
        }
    }
    document.user_name = kz::foundation::free_and_null(document.user_name);
    return 0;
}

void XView::MakeStampName(char* buffer) {
    if (!buffer) return;
    GetClockTime(&document.stamp_time);
    const SystemTime& t = document.stamp_time;
    const int date = t.year * 10000 + t.month * 100 + t.day;
    const int time = t.hour * 10000 + t.minute * 100 + t.second;
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "z-%08d-%06d-%03d-", date, time, static_cast<int>(t.millisecond));
    // Stamp-like names are gathered from the items added since the last call, and every name handed out is kept:
    // a model of many unnamed items must not cost a look over every item for each of them, however slowly it
    // is read.
    const std::size_t n = std::strlen(prefix);
    auto lower = [](std::string s) {
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    };
    for (; document.stamp_scanned < document.trunks.size(); ++document.stamp_scanned) {
        const XTrunk* trunk = document.trunks[document.stamp_scanned];
        const char* name = trunk ? trunk->base_record()->name : nullptr;
        if (name && std::strlen(name) == n + 2 && (*name == 'z' || *name == 'Z'))
            document.stamp_names.insert(lower(name));
    }
    // Past 100 items in one millisecond the counter would leave its two digits; the names repeat instead of
    // overrunning, and the caller's item keeps a duplicate rather than a cut name.
    int counter = 0;
    auto taken = [&](int c) {
        const char digits[] = {static_cast<char>('0' + c / 10), static_cast<char>('0' + c % 10), '\0'};
        return document.stamp_names.count(prefix + std::string(digits)) > 0;
    };
    while (counter < 99 && taken(counter)) ++counter;
    std::snprintf(buffer, 32, "%s%02d", prefix, counter);
    document.stamp_names.insert(buffer);
}

}  // namespace kz::view
