// Downloads with libcurl's easy interface, one blocking transfer per call on the calling thread (the program
// waits for its unit files, as it did with the system's download call). Every handle, file and temporary name is
// owned by an RAII holder, so each way out of the transfer leaves nothing behind.
#include "platform/download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/file_system.h"
#include "platform/text_codec.h"

namespace kz::platform {

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The temporary file until it is renamed: removed when the download does not complete.
class TemporaryFile {
public:
    explicit TemporaryFile(const std::string& target) {
        const auto slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
        const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
        std::string pattern = folder + "/." + base + ".part-XXXXXX";
        const int fd = mkstemp(pattern.data());
        if (fd < 0) return;
        file_.reset(fdopen(fd, "wb"));
        if (!file_) {
            ::close(fd);
            ::unlink(pattern.c_str());
            return;
        }
        path_ = pattern;
    }
    ~TemporaryFile() {
        file_.reset();
        if (!path_.empty()) ::unlink(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* file() const { return file_.get(); }
    bool ok() const { return file_ != nullptr; }
    // Closes the file and moves it over the target; the temporary name is gone either way afterwards.
    bool commit(const std::string& target) {
        std::FILE* f = file_.release();
        const bool closed = f && std::fflush(f) == 0 && std::fclose(f) == 0;
        if (!closed) return false;
        if (std::rename(path_.c_str(), target.c_str()) != 0) return false;
        path_.clear();
        return true;
    }

private:
    std::unique_ptr<std::FILE, FileCloser> file_;
    std::string path_;
};

// Progress watch for the stall limit: libcurl's own low-speed check averages over several seconds, so a server
// that sends a few bytes and then nothing would hold the program far longer than the limit says.
struct StallWatch {
    long limit_ms = 0;
    curl_off_t received = -1;
    std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    bool stalled = false;
};

int watch_progress(void* user, curl_off_t, curl_off_t now_received, curl_off_t, curl_off_t) {
    auto* watch = static_cast<StallWatch*>(user);
    const auto now = std::chrono::steady_clock::now();
    if (now_received != watch->received) {
        watch->received = now_received;
        watch->since = now;
        return 0;
    }
    if (std::chrono::duration_cast<std::chrono::milliseconds>(now - watch->since).count() < watch->limit_ms) return 0;
    watch->stalled = true;
    return 1;
}

std::size_t write_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* file = static_cast<std::FILE*>(user);
    return std::fwrite(data, size, count, file) * size;
}

// Bytes that may not stand in an address are sent percent-encoded; what is already encoded stays.
std::string encode_address(std::string_view utf8) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        if (c <= 0x20 || c >= 0x7F || c == '"' || c == '<' || c == '>' || c == '\\' || c == '^' || c == '`' ||
            c == '{' || c == '|' || c == '}') {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool is_http(std::string_view url) {
    auto starts = [&](std::string_view p) {
        if (url.size() < p.size()) return false;
        for (std::size_t i = 0; i < p.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(url[i])) != p[i]) return false;
        return true;
    };
    return starts("http:") || starts("https:");
}

}  // namespace

DownloadResult download_to_file(std::string_view url, std::string_view file_sjis, const DownloadOptions& options) {
    DownloadResult result;
    if (!is_http(url)) {
        result.error = "not an http address";
        return result;
    }
    const std::string target = resolve_for_write(file_sjis);
    if (target.empty()) {
        result.error = "no such folder for the file";
        return result;
    }
    static std::once_flag curl_started;
    std::call_once(curl_started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });

    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        result.error = "libcurl could not start";
        return result;
    }
    TemporaryFile temporary(target);
    if (!temporary.ok()) {
        result.error = "cannot create a temporary file beside " + target;
        return result;
    }
    const std::string address = encode_address(cp932_name_to_utf8(url));
    char error_text[CURL_ERROR_SIZE] = {};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, options.max_redirects);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connect_timeout_ms);
    if (options.total_timeout_ms > 0) curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, options.total_timeout_ms);
    StallWatch watch;
    watch.limit_ms = options.stall_timeout_ms;
    if (options.stall_timeout_ms > 0) {
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, watch_progress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, &watch);
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    }
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, write_body);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, temporary.file());
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_text);

    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.http_status);
    if (code != CURLE_OK) {
        if (watch.stalled)
            result.error = "no data for " + std::to_string(options.stall_timeout_ms) + " ms";
        else
            result.error = error_text[0] ? error_text : curl_easy_strerror(code);
        return result;
    }
    if (result.http_status < 200 || result.http_status >= 300) {
        result.error = "HTTP status " + std::to_string(result.http_status);
        return result;
    }
    if (!temporary.commit(target)) {
        result.error = "cannot write " + target;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kz::platform
