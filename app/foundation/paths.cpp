// Path and URL text operations over Shift_JIS bytes (a trail byte 0x5C is never a separator), and the folder
// operations over the platform's file layer.
#include "app/foundation/paths.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/sjis_string.h"
#include "platform/file_system.h"

namespace kz::foundation {
namespace {

bool starts_nocase(const std::string& s, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return s.size() >= n && compare_prefix_nocase(s.c_str(), prefix, static_cast<int>(n)) == 0;
}

// Where each character begins, so byte searches never start on a trail byte.
std::vector<bool> char_starts(const std::string& s) {
    std::vector<bool> starts(s.size() + 1, false);
    for (std::size_t i = 0; i < s.size();) {
        starts[i] = true;
        i += static_cast<std::size_t>(sjis_char_size(s.c_str() + i));
    }
    starts[s.size()] = true;
    return starts;
}

// Position of `what` at or after `from` beginning on a character start, or npos.
std::size_t find_at_char(const std::string& s, const char* what, std::size_t from = 0) {
    const std::vector<bool> starts = char_starts(s);
    for (std::size_t p = s.find(what, from); p != std::string::npos; p = s.find(what, p + 1))
        if (starts[p]) return p;
    return std::string::npos;
}

std::string replace_char(std::string s, char from, char to) {
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == from) s[i] = to;
        i += static_cast<std::size_t>(sjis_char_size(s.c_str() + i));
    }
    return s;
}

std::size_t last_separator(const std::string& s) {
    std::size_t last = std::string::npos;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] == '\\' || s[i] == '/') last = i;
        i += static_cast<std::size_t>(sjis_char_size(s.c_str() + i));
    }
    return last;
}

bool ends_with_separator(const std::string& s) {
    const std::size_t last = last_separator(s);
    return last != std::string::npos && last + 1 == s.size();
}

void upper_drive(std::string& s) {
    if (s.size() >= 2 && s[1] == ':' && s[0] >= 'a' && s[0] <= 'z') s[0] = static_cast<char>(s[0] - 'a' + 'A');
}

// The text cut to fit a path buffer, never inside a double-byte character.
std::string fit(const std::string& s, std::size_t limit = kPathBufferSize - 1) {
    if (s.size() <= limit) return s;
    std::size_t end = 0;
    while (end < s.size()) {
        const std::size_t next = end + static_cast<std::size_t>(sjis_char_size(s.c_str() + end));
        if (next > limit) break;
        end = next;
    }
    return s.substr(0, end);
}

void put(char* out, const std::string& s) {
    if (!out) return;
    const std::string f = fit(s);
    std::memcpy(out, f.c_str(), f.size() + 1);
}

std::string text(const char* s) { return s ? std::string(s) : std::string(); }

// The first part of the name (up to its first separator) is one ASCII letter and ":", as a drive is written.
bool first_part_is_drive(const std::string& s) {
    const bool letter = !s.empty() && ((s[0] >= 'A' && s[0] <= 'Z') || (s[0] >= 'a' && s[0] <= 'z'));
    return letter && s.size() >= 2 && s[1] == ':' && (s.size() == 2 || s[2] == '\\' || s[2] == '/');
}

// A name the reader takes as it stands, not as one below the folder it is read in: a share, a "file:" name, an
// address, or a drive name ("C:\\x", whatever the first character).
bool stands_for_itself(const std::string& s) {
    return s.compare(0, 2, "\\\\") == 0 || starts_nocase(s, "file:") || starts_nocase(s, "http:") ||
           (s.size() >= 3 && s[1] == ':' && s[2] == '\\');
}

// Whether the reader takes the name as it stands: a drive or its first folder named like one, a share, an address.
bool reads_as_itself(const std::string& s) { return first_part_is_drive(s) || stands_for_itself(s); }

// "\\.\\" goes first, so that "a\\.\\..\\b" climbs out of "a" (taken the other way round, "." would count as the
// folder that ".." cancels and the path would name a file one folder too deep). A "folder\\..\\" pair is removed
// only when a real folder precedes: not "..", not a drive.
std::string normalized(std::string s) {
    s = replace_char(std::move(s), '/', '\\');
    const bool relative = !reads_as_itself(s);
    for (std::size_t p; (p = find_at_char(s, "\\.\\")) != std::string::npos;) s.erase(p, 2);
    for (std::size_t from = 1;;) {
        const std::size_t p = find_at_char(s, "\\..\\", from);
        if (p == std::string::npos) break;
        const std::size_t q = last_separator(s.substr(0, p));
        const std::size_t begin = q == std::string::npos ? 0 : q + 1;
        const std::string folder = s.substr(begin, p - begin);
        if (folder.empty() || folder == ".." || folder == "." || (folder.size() == 2 && folder[1] == ':')) {
            from = p + 1;
            continue;
        }
        s.erase(begin, p + 4 - begin);
        from = 1;
    }
    if (s.compare(0, 2, ".\\") == 0) s.erase(0, 2);
    // A relative name stays one: a folder named like a drive or an address ("Z:", "1:", "file:") keeps a ".\\"
    // before it, without which the name would read back as that drive or address.
    if (relative && reads_as_itself(s)) s.insert(0, ".\\");
    return s;
}

bool posix_absolute(const std::string& s) { return s.size() >= 1 && s[0] == '/' && (s.size() == 1 || s[1] != '/'); }

// A POSIX name inside: normalised as any path, with "/" separators.
std::string posix_normalized(const std::string& s) { return replace_char(normalized(s), '\\', '/'); }

// The drive name the platform gives a POSIX name ("/a/b" is "Z:\\a\\b"), for comparing it with drive names.
std::string drive_form(const std::string& posix) { return "Z:" + replace_char(posix, '/', '\\'); }

std::size_t find_last_dot(const std::string& file) {
    std::size_t dot = std::string::npos;
    for (std::size_t i = 0; i < file.size();) {
        if (file[i] == '.') dot = i;
        i += static_cast<std::size_t>(sjis_char_size(file.c_str() + i));
    }
    return dot;
}

// The extension of the file part (from its last point), or empty.
std::string extension_of(const std::string& path) {
    const std::size_t sep = last_separator(path);
    const std::string file = sep == std::string::npos ? path : path.substr(sep + 1);
    const std::size_t dot = find_last_dot(file);
    return dot == std::string::npos ? std::string() : file.substr(dot);
}

}  // namespace

int is_posix_absolute(const char* name) { return posix_absolute(text(name)) ? 1 : 0; }

int get_file_kind(const char* path) {
    const std::string ext = extension_of(text(path));
    auto is = [&](std::initializer_list<const char*> list) {
        for (const char* e : list)
            if (compare_nocase(ext.c_str(), e) == 0) return true;
        return false;
    };
    if (is({".fig"})) return 1;
    // ".tif" counts as an image: otherwise an existing TIFF would be opened as a figure file.
    if (is({".bmp", ".jpg", ".jpeg", ".gif", ".png", ".tif"})) return 2;
    if (is({".mpw", ".mpp", ".mpx", ".mpz", ".dwg", ".dxf", ".jww", ".jwc"})) return 3;
    return url_or_file_exists(path);
}

int url_or_file_exists(const char* name) {
    if (!name || !*name) return 0;
    if (starts_nocase(name, "http:")) return 1;
    // A name is a name, never a pattern: "*" and "?" are letters of a POSIX name, and no Windows name holds them.
    if (std::strpbrk(name, "*?")) return platform::file_exists(name) ? 1 : 0;
    return platform::find_files(name).empty() ? 0 : 1;
}

int has_extension(const char* path, const char* extension) {
    if (!path || !extension) return 0;
    return compare_nocase(extension_of(path).c_str(), extension) == 0 ? 1 : 0;
}

void add_default_extension(char* out, const char* path, const char* extension) {
    char folder[kPathBufferSize], file[kPathBufferSize];
    split_folder_and_file(path, folder, file);
    std::string name = file;
    const std::size_t dot = find_last_dot(name);
    if (dot == std::string::npos || name.size() - dot < 2) {
        if (dot != std::string::npos) name.erase(dot);
        name += text(extension);
    }
    put(out, std::string(folder) + name);
}

void split_folder_and_file(const char* path, char* folder, char* file) {
    const std::string p = text(path);
    const std::size_t sep = last_separator(p);
    std::size_t cut = sep == std::string::npos ? 0 : sep + 1;
    if (sep == std::string::npos && p.size() >= 2 && p[1] == ':') cut = 2;  // "C:name"
    put(folder, p.substr(0, cut));
    put(file, p.substr(cut));
}

char* normalize_path(char* old_block, const char* path) {
    return set_heap_string(old_block, fit(normalized(text(path))).c_str(), nullptr, -1);
}

int resolve_relative_path(char* out, const char* name_in, const char* base_in, int n) {
    std::string base = replace_char(text(base_in), '/', '\\');
    if (!ends_with_separator(base)) base += '\\';
    upper_drive(base);
    std::string name = text(name_in);
    if (n > 0 && static_cast<std::size_t>(n) < name.size()) name.resize(static_cast<std::size_t>(n));
    // Told apart before "/" becomes "\\": written "/a/b", the name is the POSIX file, not one below the folder.
    if (posix_absolute(name)) {
        put(out, posix_normalized(fit(name)));
        return 0;
    }
    name = replace_char(fit(name), '/', '\\');
    upper_drive(name);
    if (starts_nocase(name, "http:")) {
        put(out, replace_char(name, '\\', '/'));
        return 0;
    }
    if (stands_for_itself(name)) {
        put(out, name);
        return 0;
    }
    std::string full = normalized(base + name);
    if (starts_nocase(full, "http:")) {
        full = replace_char(full, '\\', '/');
    } else if (posix_absolute(text(base_in))) {
        // Below a POSIX folder the name is a POSIX name, written back relative. One that climbs out of it becomes
        // the drive name of its file: a drive name outside a file's folder is written as a climb, so what a save
        // wrote reads back as what it writes again.
        full = full.compare(0, base.size(), base) == 0 ? replace_char(full, '\\', '/') : "Z:" + full;
    }
    put(out, full);
    return 0;
}

char* make_relative_path(const char* base_in, const char* path_in, char* out) {
    if (!path_in || !*path_in) {
        if (out) *out = 0;
        return nullptr;
    }
    // A POSIX folder is compared as the drive name the platform gives it.
    const std::string written_base = fit(text(base_in));
    std::string base = replace_char(posix_absolute(written_base) ? drive_form(written_base) : written_base, '/', '\\');
    const bool posix_path = posix_absolute(text(path_in));
    std::string path = replace_char(fit(posix_path ? drive_form(text(path_in)) : text(path_in)), '/', '\\');
    upper_drive(base);
    upper_drive(path);
    if (!ends_with_separator(base)) base += '\\';
    std::string result;
    const bool inside = compare_prefix_nocase(path.c_str(), base.c_str(), static_cast<int>(base.size())) == 0 &&
                        path.size() >= base.size();
    if (posix_path && !inside) {
        // Outside the folder a POSIX name is written as it was read, never as a drive name or a climb of "..".
        put(out, posix_normalized(fit(text(path_in))));
        return out;
    }
    if (inside) {
        result = ".\\" + path.substr(base.size());
    } else {
        // Last separator of the common beginning, comparing whole characters.
        std::size_t common = std::string::npos;
        for (std::size_t i = 0; i < base.size() && i < path.size();) {
            const std::size_t step = static_cast<std::size_t>(sjis_char_size(base.c_str() + i));
            if (base.compare(i, step, path, i, step) != 0) break;
            if (step == 1 && base[i] == '\\') common = i;
            i += step;
        }
        if (common == std::string::npos || (common == 1 && base.compare(0, 2, "\\\\") == 0)) {
            result = path;
        } else {
            int ups = 0;
            const std::string rest = base.substr(common + 1);
            for (std::size_t i = 0; i < rest.size();) {
                if (rest[i] == '\\') ++ups;
                i += static_cast<std::size_t>(sjis_char_size(rest.c_str() + i));
            }
            for (int k = 0; k < ups; ++k) result += "..\\";
            result += path.substr(common + 1);
        }
    }
    result = normalized(result);
    if (starts_nocase(path, "http:") || starts_nocase(base, "http:")) result = replace_char(result, '\\', '/');
    put(out, result);
    return out;
}

void split_url_path(const char* url_in, char* server, char* folder, char* file, char* extension, char* query) {
    std::string url = text(url_in);
    const std::size_t q = find_at_char(url, "?");
    put(query, q == std::string::npos ? std::string() : url.substr(q + 1));
    if (!starts_nocase(url, "http:")) {
        put(server, "");
        put(folder, "");
        put(file, "");
        put(extension, "");
        return;
    }
    if (q != std::string::npos) url.resize(q);
    std::size_t host = 5;
    while (host < url.size() && url[host] == '/') ++host;
    std::size_t slash = find_at_char(url, "/", host);
    if (slash == std::string::npos) slash = url.size();
    put(server, "http://" + url.substr(host, slash - host));
    const std::string rest = url.substr(slash);
    const std::size_t last = last_separator(rest);
    const std::string dir = last == std::string::npos ? std::string() : rest.substr(0, last + 1);
    const std::string name = last == std::string::npos ? rest : rest.substr(last + 1);
    const std::size_t dot = find_last_dot(name);
    put(folder, dir);
    put(file, dot == std::string::npos ? name : name.substr(0, dot));
    put(extension, dot == std::string::npos ? std::string() : name.substr(dot));
}

namespace {
char* replace_separators(char* path, char* out, char from, char to) {
    if (!path) return out;
    const std::string r = replace_char(path, from, to);
    char* target = out ? out : path;
    std::memcpy(target, r.c_str(), r.size() + 1);
    return target;
}
}  // namespace

char* to_backslashes(char* path, char* out) { return replace_separators(path, out, '/', '\\'); }
char* to_forward_slashes(char* path, char* out) { return replace_separators(path, out, '\\', '/'); }

int make_folders(const char* path) {
    std::string p = replace_char(fit(text(path)), '/', '\\');
    if (!ends_with_separator(p)) p += '\\';
    const std::vector<bool> starts = char_starts(p);
    for (std::size_t i = 3; i < p.size(); ++i)
        if (starts[i] && p[i] == '\\' && !platform::is_directory(p.substr(0, i)))
            platform::create_directory(p.substr(0, i));
    return 1;
}

char** list_folder(const char* folder, const char* pattern, int folders_only, int* count, std::uint32_t* total,
                   const char* exclude_prefix) {
    if (count) *count = 0;
    if (total) *total = 0;
    char** names = nullptr;
    int n = 0, capacity = 0;
    const std::string prefix = text(exclude_prefix);
    for (const platform::FileInfo& f : platform::find_files(text(folder) + text(pattern))) {
        if (!prefix.empty() &&
            compare_prefix_nocase(f.name.c_str(), prefix.c_str(), static_cast<int>(prefix.size())) == 0)
            continue;
        if (folders_only == 1 ? !f.directory : f.directory) continue;
        if (folders_only != 1 && total) *total += static_cast<std::uint32_t>(f.size);
        if (n + 10 > capacity) {
            auto* grown = static_cast<char**>(std::realloc(names, sizeof(char*) * (capacity + 100)));
            if (!grown) break;
            names = grown;
            std::memset(names + capacity, 0, sizeof(char*) * 100);
            capacity += 100;
        }
        names[n++] = set_heap_string(nullptr, f.name.c_str(), nullptr, -1);
    }
    if (count) *count = n;
    if (n == 0) {
        std::free(names);
        if (total) *total = 0;
        return nullptr;
    }
    return names;
}

void free_folder_listing(char** names, int count) {
    if (!names) return;
    for (int i = 0; i < count; ++i) free_and_null(names[i]);
    std::free(names);
}

int delete_folder_tree(const char* folder) {
    // Only below the program's temporary folders, never through a symlink (the platform helper's rules).
    platform::delete_tree_below_temp(text(folder));
    return 0;
}

std::uint32_t get_file_size(const char* path) {
    platform::FileInfo info;
    if (!path || !platform::get_file_info(path, &info) || info.directory) return 0;
    return static_cast<std::uint32_t>(info.size);
}

std::uint32_t get_file_write_stamp(const char* path) {
    platform::FileInfo info;
    if (!path || !platform::get_file_info(path, &info)) return 0;
    return static_cast<std::uint32_t>(info.write_time);
}

namespace {
// The name cut at its first "(" and first "[" (outside double-byte characters).
std::string cut_at_brackets(std::string s) {
    for (const char* mark : {"(", "["}) {
        const std::size_t p = find_at_char(s, mark);
        if (p != std::string::npos) s.resize(p);
    }
    return s;
}

std::string trimmed(const std::string& s) {
    std::vector<char> buffer(s.begin(), s.end());
    buffer.push_back('\0');
    trim_blanks_quotes(buffer.data());
    return buffer.data();
}
}  // namespace

void decode_path_from_file_name(const char* name, char* out, const char* extension) {
    const std::string n = text(name);
    const std::size_t underscore = find_at_char(n, "_");
    if (underscore == std::string::npos) {
        put(out, "");
        return;
    }
    std::string s = cut_at_brackets(n.substr(underscore + 1));
    s = replace_char(replace_char(s, ')', '\\'), '\'', ':');
    put(out, trimmed(s) + text(extension));
}

int delete_file_copies(const char* folder, const char* name, const char* extension) {
    const std::string n = text(name);
    if (find_at_char(n, "_") == std::string::npos) return 0;
    const std::string stem = trimmed(cut_at_brackets(n));
    // The stem may carry folders of its own: the matches live in the folder of folder + stem.
    char match_folder[kPathBufferSize];
    split_folder_and_file((text(folder) + stem).c_str(), match_folder, nullptr);
    int deleted = 0;
    for (const platform::FileInfo& f : platform::find_files(text(folder) + stem + "*" + text(extension)))
        if (!f.directory && platform::delete_file(std::string(match_folder) + f.name)) ++deleted;
    return deleted;
}

StringPairNode* push_string_pair(StringPairNode* top, const char* folder, const char* file) {
    if (!top) top = new StringPairNode;
    top->folder = set_heap_string(top->folder, folder ? folder : "", nullptr, -1);
    top->file = set_heap_string(top->file, file ? file : "", nullptr, -1);
    auto* next = new StringPairNode;
    next->below = top;
    return next;
}

StringPairNode* pop_string_pair(StringPairNode* top, char** folder, char** file) {
    if (!top || !top->below) return top;
    StringPairNode* below = top->below;
    free_and_null(top->folder);
    free_and_null(top->file);
    delete top;
    if (folder) {
        free_and_null(*folder);
        *folder = below->folder;
    } else {
        free_and_null(below->folder);
    }
    if (file) {
        free_and_null(*file);
        *file = below->file;
    } else {
        free_and_null(below->file);
    }
    below->folder = nullptr;
    below->file = nullptr;
    return below;
}

void free_string_pairs(StringPairNode* top) {
    while (top) {
        StringPairNode* below = top->below;
        free_and_null(top->folder);
        free_and_null(top->file);
        delete top;
        top = below;
    }
}

}  // namespace kz::foundation
