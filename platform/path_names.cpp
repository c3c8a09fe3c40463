// Windows-form names and POSIX paths, one into the other, and the parts of a POSIX path. Other drive letters and
// UNC names are missing.
#include "platform/path_names.h"

#include <algorithm>
#include <cctype>

#include "platform/crt/mbcs.h"
#include "platform/text_codec.h"

namespace kz::platform {
namespace {

// A Windows path already in UTF-8 to its POSIX form; empty when it has no place here.
std::string posix_form(std::string p) {
    if (p.empty()) return {};
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.size() >= 2 && p[0] == '/' && p[1] == '/') return {};  // UNC
    if (p.size() >= 2 && p[1] == ':' && std::isalpha(static_cast<unsigned char>(p[0]))) {
        if (p[0] != 'Z' && p[0] != 'z') return {};
        std::string rest = p.substr(2);
        if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');  // "Z:a" is relative to Z:'s root here
        return rest;
    }
    return p;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool starts_nocase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// A POSIX name in the program's form: every separator outside double-byte characters a "/".
std::string with_forward_slashes(std::string_view name) {
    std::string out(name);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (kz::crt::is_sjis_lead(static_cast<unsigned char>(out[i])) && i + 1 < out.size())
            ++i;
        else if (out[i] == '\\')
            out[i] = '/';
    }
    return out;
}

}  // namespace

std::string to_native_path(std::string_view windows_path) { return posix_form(cp932_name_to_utf8(windows_path)); }

std::string from_native_path(std::string_view native_path) {
    std::string p(native_path);
    std::replace(p.begin(), p.end(), '/', '\\');
    if (!p.empty() && p[0] == '\\') p = "Z:" + p;
    return utf8_name_to_cp932(p);
}

std::string file_url_local_name(std::string_view name) {
    if (!starts_nocase(name, "file:")) return std::string(name);
    const std::string_view rest = name.substr(5);
    std::size_t separators = 0;
    while (separators < rest.size() && is_separator(rest[separators])) ++separators;
    if (separators == 1 || separators == 3) return with_forward_slashes(rest.substr(separators - 1));
    if (separators == 2) {
        const std::string_view host = rest.substr(2);
        if (starts_nocase(host, "localhost") && (host.size() == 9 || is_separator(host[9])))
            return host.size() == 9 ? std::string("/") : with_forward_slashes(host.substr(9));
        const bool drive = host.size() >= 2 && host[1] == ':' && std::isalpha(static_cast<unsigned char>(host[0]));
        if (!drive) return {};
    }
    return std::string(name.size() > 7 ? name.substr(7) : std::string_view());
}

std::string display_name(std::string_view name) {
    // An address, and a "file:" name that is no file here, as written, with the separators of an address.
    const bool url = starts_nocase(name, "http:") || starts_nocase(name, "file:");
    const std::string as_written = cp932_name_to_shown_utf8(url ? with_forward_slashes(name) : std::string(name));
    if (starts_nocase(name, "http:")) return as_written;
    const std::string shown = cp932_name_to_shown_utf8(file_url_local_name(name), posix_form);
    return shown.empty() ? as_written : shown;
}

std::vector<std::string> split_path_components(const std::string& native, std::string* root) {
    root->assign(!native.empty() && native[0] == '/' ? 1 : 0, '/');
    std::vector<std::string> parts;
    std::size_t i = 0;
    while (i < native.size()) {
        std::size_t j = native.find('/', i);
        if (j == std::string::npos) j = native.size();
        if (j > i) parts.push_back(native.substr(i, j - i));
        i = j + 1;
    }
    return parts;
}

std::string join_path(const std::string& base, const std::string& name) {
    if (base.empty()) return name;
    if (base.back() == '/') return base + name;
    return base + "/" + name;
}

void split_last_name(const std::string& native, std::string* folder, std::string* name) {
    std::string path = native;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::size_t slash = path.rfind('/');
    *folder = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/") : path.substr(0, slash);
    *name = slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace kz::platform
