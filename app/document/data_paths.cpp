// Names inside model files turned into files the program can open: local, "file:" and "http:" through the
// download cache under the work folder; and names made absolute on reading and relative on writing.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/document/xview.h"
#include "app/foundation/date_time.h"
#include "app/foundation/field_tokenizer.h"
#include "app/foundation/heap_text.h"
#include "app/foundation/paths.h"
#include "app/foundation/sjis_string.h"
#include "app/scene/xtrunk.h"
#include "platform/download.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/report.h"
#include "platform/text_codec.h"

namespace kz::view {

namespace fnd = kz::foundation;

namespace {

constexpr int kPath = fnd::kPathBufferSize;
// A cached copy younger than three hours is served without asking the server again.
constexpr std::int64_t kCacheFreshMs = 10800001;

bool has_prefix(const char* name, const char* prefix) {
    return name && fnd::compare_prefix_nocase(name, prefix, static_cast<int>(std::strlen(prefix))) == 0;
}

// One path component of the cache: characters a file name cannot hold become "_", and "." or ".." (which
// would climb out of the cache folder) give nothing.
std::string cache_component(const std::string& part) {
    if (part.empty() || part == "." || part == "..") return {};
    std::string out;
    for (std::size_t i = 0; i < part.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(part[i]);
        const int size = fnd::sjis_char_size(part.c_str() + i);
        if (size == 2) {
            out.append(part, i, 2);
            ++i;
            continue;
        }
        out += (c < 0x20 || std::strchr(":*?\"<>|", c)) ? '_' : static_cast<char>(c);
    }
    return out;
}

std::uint64_t text_digest(const std::string& text) {
    std::uint64_t h = 1469598103934665603ull;  // FNV-1a
    for (unsigned char c : text) h = (h ^ c) * 1099511628211ull;
    return h;
}

}  // namespace

std::string cache_folder(const std::string& work_folder) {
    if (work_folder.empty()) return {};  // no private folder: nothing is cached anywhere
    std::string out = work_folder;
    if (!out.empty() && out.back() != '\\') out += '\\';
    return out + "http\\";
}

// The cache file of an address: host, folders and name below the cache folder, the query as a digest. Every
// write to it is checked again after the name is resolved (ResolveDataPath), so a name that still climbs out
// through a link is refused there.
std::string cache_file_name(const std::string& work_folder, const char* url) {
    char server[kPath] = {}, folder[kPath] = {}, file[kPath] = {}, extension[kPath] = {}, query[kPath] = {};
    fnd::split_url_path(url, server, folder, file, extension, query);
    std::string out = cache_folder(work_folder);
    if (out.empty()) return out;
    const char* host = std::strncmp(server, "http://", 7) == 0 ? server + 7 : server;
    std::string h = cache_component(host);
    out += (h.empty() ? std::string("_") : h) + '\\';
    std::string dirs = folder;
    for (char& c : dirs)
        if (c == '/') c = '\\';
    std::size_t start = 0;
    while (start < dirs.size()) {
        std::size_t end = dirs.find('\\', start);
        if (end == std::string::npos) end = dirs.size();
        const std::string part = cache_component(dirs.substr(start, end - start));
        if (!part.empty()) out += part + '\\';
        start = end + 1;
    }
    std::string name = cache_component(std::string(file) + extension);
    if (name.empty()) name = "index";
    if (*query) {
        char digest[24];
        std::snprintf(digest, sizeof digest, "%016llx", static_cast<unsigned long long>(text_digest(query)));
        // The digest goes before the extension, so the cached copy still tells its kind.
        const std::string ext = cache_component(extension);
        std::string stem = name.substr(0, name.size() - (ext.size() <= name.size() ? ext.size() : 0));
        name = stem + "~q" + digest + ext;
    }
    return out + name;
}

namespace {

// Downloads an address to a file inside `cache`, taking at most `max_bytes`; the transfer goes to a temporary file
// renamed on success, so a failure leaves the previous copy as it was. While it waits, the windows only repaint
// and a close ends it.
kz::platform::DownloadResult fetch_url(const char* url, const char* file_name, const std::string& cache,
                                       std::uint64_t max_bytes) {
    kz::platform::DownloadOptions options;
    options.confine_to = cache;
    options.max_bytes = max_bytes;
    options.keep_waiting = [] { return kz::platform::serve_windows_while_waiting(); };
    kz::platform::WaitScope wait;
    return kz::platform::download_to_file(url, file_name, options);
}

}  // namespace

void print_viewer_line(std::string_view line) {
    const std::string shown = "kzview: " + kz::platform::escape_line(line) + "\n";
    std::fwrite(shown.data(), 1, shown.size(), stderr);
}

void report_unit_problem(const char* unit, const char* reason) {
    print_viewer_line((unit && *unit ? kz::platform::display_name(unit) : std::string("(no name)")) + ": " +
                      (reason ? reason : ""));
}

std::string shown_name_sjis(const char* name) {
    return kz::platform::utf8_to_cp932(kz::platform::display_name(name ? name : ""));
}

int XView::ResolveDataPath(const char* url, char* local_name) {
    const std::string root = cache_folder(document.work_folder);
    const std::string cache = cache_file_name(document.work_folder, url);
    document.last_download_error.clear();
    document.last_download_told = false;
    if (root.empty()) {
        // Only a folder no one else can write is trusted with what the server sends (said at start on stderr).
        *local_name = '\0';
        document.last_download_error = "not fetched, the user's private folder for the download cache is not usable";
        return 0;
    }
    kz::platform::create_private_directory(document.work_folder);
    kz::platform::create_private_directory(root);
    // Whatever the name says, nothing lands outside the cache, and nothing is read from or written to it through a
    // folder that is not the user's alone: another user's folder there could be swapped for a link meanwhile.
    bool cached = false;
    std::string why;
    if (!kz::platform::prepare_private_file(root, cache, &cached, &why)) {
        *local_name = '\0';
        document.last_download_error = "its cache cannot be used (" + why + "), refused";
        return 0;
    }
    fnd::copy_string_bounded(local_name, cache.c_str(), kPath);
    if (document.force_download == 0 && cached && fnd::file_age_ms(cache.c_str()) < kCacheFreshMs) return 1;
    if (document.guard.stopped()) {
        document.last_download_error = "not fetched, the open was stopped";
        return 0;
    }
    // Each transfer takes what the model's budget has left, up to the cap of one transfer.
    const std::uint64_t room = document.guard.download_room();
    const kz::platform::DownloadResult r =
        fetch_url(url, cache.c_str(), root, std::min(room, kz::platform::kMaxDownloadBytes));
    if (!r.ok) document.last_download_error = r.error.empty() ? "no answer" : r.error;
    // Refused for the model's budget rather than for the cap of one transfer: the guard says so (or stops the open).
    const bool passed_budget = r.too_large && room <= kz::platform::kMaxDownloadBytes;
    document.guard.add_download(url, r.received, passed_budget);
    document.last_download_told = passed_budget;
    // The window is closing: the rest of the open would only hold it up.
    if (r.cancelled) {
        document.close_pending = true;
        document.guard.stop(url, "the window was closed during a download");
    }
    return r.ok ? 1 : 0;
}

int XView::MapDataName(char* name, char* local_name) {
    if (has_prefix(name, "http:")) {
        fnd::to_forward_slashes(name, nullptr);
        ResolveDataPath(name, local_name);
        return 1;
    }
    if (!has_prefix(name, "file:")) {
        fnd::copy_string_bounded(local_name, name ? name : "", kPath);
        return 3;
    }
    // "file:/a", "file:///a" and "file://localhost/a" are the POSIX "/a"; another host names nothing here.
    fnd::copy_string_bounded(local_name, kz::platform::file_url_local_name(name).c_str(), kPath);
    return 2;
}

std::string base_folder_of(const char* base_folder) {
    std::string folder = base_folder && *base_folder ? base_folder : kz::platform::current_directory();
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder;
}

int XView::FindDataFile(const char* name, char* local_name, char* joined_name) {
    char joined[kPath] = {}, local[kPath] = {};
    fnd::resolve_relative_path(joined, name ? name : "", base_folder_of(document.base_folder).c_str(), 0);
    if (joined_name) fnd::copy_string_bounded(joined_name, joined, kPath);
    MapDataName(joined, local);
    if (local_name) fnd::copy_string_bounded(local_name, local, kPath);
    return fnd::url_or_file_exists(local);
}

int XView::FindDataFile(const char* file_name, char* local_path) {
    return FindDataFile(file_name, local_path, nullptr);
}

int XView::FindPastedFile(const char* file_name, char* local_path, const char* what) {
    char joined[kPath] = {};
    if (FindDataFile(file_name, local_path, joined)) return 1;
    // The same picture on a thousand faces is one missing file.
    const bool fetched = has_prefix(joined, "http:");
    if (!document.missing_pasted.insert(joined).second || (fetched && document.last_download_told)) return 0;
    const std::string why = fetched && !document.last_download_error.empty()
                                ? std::string(what) + " not fetched (" + document.last_download_error + ")"
                                : std::string(what) + " not found";
    report_unit_problem(joined, why.c_str());
    return 0;
}

int XView::CompleteDataPath(char* name) {
    if (!name || has_prefix(name, "http:") || kz::platform::file_exists(name)) return 1;
    char full[kPath] = {};
    fnd::resolve_relative_path(full, name, document.data_folder ? document.data_folder : "", 0);
    if (has_prefix(full, "http:")) fnd::to_forward_slashes(full, nullptr);
    std::strcpy(name, full);
    return 1;
}

void XView::GetUnitFolder(XTrunk* trunk, char* folder) {
    XTrunk* root = document.trunks.empty() ? nullptr : document.trunks[0];
    for (XTrunk* p = trunk ? trunk->parent : nullptr; p && p != root; p = p->parent) {
        const kz::scene::COBJECTA* r = p->base_record();
        if (r && r->frefer && *r->frefer) {
            fnd::split_folder_and_file(r->frefer, folder, nullptr);
            return;
        }
    }
    fnd::copy_string_bounded(folder, document.data_folder ? document.data_folder : "", kPath);
}

char* XView::ToAbsolutePath(char* old_text, const char* path, XTrunk* owner) {
    if (!path || !*path) return fnd::free_and_null(old_text);
    if (!owner) return fnd::set_heap_string(old_text, path, nullptr, -1);
    char folder[kPath] = {}, full[kPath] = {};
    GetUnitFolder(owner, folder);
    fnd::resolve_relative_path(full, path, folder, 0);
    return fnd::set_heap_string(old_text, full, nullptr, -1);
}

char* XView::ToRelativePath(char* old_text, const char* path, XTrunk* owner) {
    if (!path || !*path) return fnd::free_and_null(old_text);
    if (!owner || document.relative_paths != 1) return fnd::set_heap_string(old_text, path, nullptr, -1);
    char folder[kPath] = {}, relative[kPath] = {};
    GetUnitFolder(owner, folder);
    fnd::make_relative_path(folder, path, relative);
    return fnd::set_heap_string(old_text, relative, nullptr, -1);
}

int XView::TrunkDownloaded(const XTrunk* trunk) const { return trunk && (trunk->flags & kTrunkDownloadedUnit) ? 1 : 0; }

}  // namespace kz::view
