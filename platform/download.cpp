// Downloads with libcurl, one transfer per call on the calling thread (the program waits for its unit files, as it
// did with the system's download call), run in short steps so that its limits and the caller's wish to stop are
// seen whatever the server does. Every handle, file and temporary name is
// owned by an RAII holder, so each way out of the transfer leaves nothing behind.
#include "platform/download.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

#include "platform/crt/c_numbers.h"
#include "platform/descriptor.h"
#include "platform/file_system.h"
#include "platform/temp_file.h"
#include "platform/text_codec.h"

namespace kz::platform {

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// The body's file until it takes the target's name, made beside it through the descriptor of the target's folder
// (temp_file.h): a file without a name where the file system has them (a download killed midway leaves nothing),
// else a named one removed on every way out. Only a whole body gets a name, from which it is renamed over the target.
class TemporaryFile {
public:
    TemporaryFile(int folder, std::string leaf) : folder_(folder), leaf_(std::move(leaf)) {
        const int fd = open_temp_beside(folder_, leaf_, &name_);
        if (fd < 0) return;
        // A downloaded file is the user's alone, whatever the umask made of the new file.
        ::fchmod(fd, 0600);
        file_.reset(fdopen(fd, "wb"));
        if (!file_) ::close(fd);
    }
    ~TemporaryFile() {
        file_.reset();
        if (!name_.empty()) ::unlinkat(folder_, name_.c_str(), 0);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    std::FILE* file() const { return file_.get(); }
    bool ok() const { return file_ != nullptr; }
    // Names the written file and moves it over the target; the temporary name is gone either way afterwards.
    bool commit() {
        if (!file_ || std::fflush(file_.get()) != 0) return false;
        if (name_.empty() && !name_temp_beside(::fileno(file_.get()), folder_, leaf_, &name_)) return false;
        if (std::fclose(file_.release()) != 0) return false;
        if (::renameat(folder_, name_.c_str(), folder_, leaf_.c_str()) != 0) return false;
        name_.clear();
        return true;
    }

private:
    int folder_;
    std::string leaf_;
    std::string name_;  // the file's temporary name; empty while it has none
    std::unique_ptr<std::FILE, FileCloser> file_;
};

// What the body's receiver knows: where the bytes go, how many came, when the last ones came, and whether the
// cap stopped them.
struct Receiver {
    std::FILE* file = nullptr;
    std::uint64_t received = 0;
    std::uint64_t cap = 0;
    bool too_large = false;
    std::chrono::steady_clock::time_point last_data = std::chrono::steady_clock::now();
};

std::size_t write_body(char* data, std::size_t size, std::size_t count, void* user) {
    auto* receiver = static_cast<Receiver*>(user);
    const std::size_t bytes = size * count;
    receiver->last_data = std::chrono::steady_clock::now();
    if (receiver->received + bytes > receiver->cap) {
        receiver->too_large = true;
        return 0;  // ends the transfer with a write error
    }
    receiver->received += bytes;
    return std::fwrite(data, 1, bytes, receiver->file);
}

// The multi handle with its one transfer; removed and cleaned up on every way out.
class Transfer {
public:
    explicit Transfer(CURL* easy) : easy_(easy), multi_(curl_multi_init()) {
        if (multi_) added_ = curl_multi_add_handle(multi_, easy_) == CURLM_OK;
    }
    ~Transfer() {
        if (added_) curl_multi_remove_handle(multi_, easy_);
        if (multi_) curl_multi_cleanup(multi_);
    }
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    bool ok() const { return added_; }
    CURLM* multi() const { return multi_; }

private:
    CURL* easy_;
    CURLM* multi_;
    bool added_ = false;
};

std::string seconds_text(long ms) {
    return ms % 1000 == 0 ? kz::crt::int_text(ms / 1000) + " s" : kz::crt::int_text(ms) + " ms";
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
    // The file is written through the descriptor of its folder: below a folder it is confined to, one reached from
    // there through folders of the user's alone, never through a name someone else could swap meanwhile.
    std::string target, leaf;
    Descriptor folder;
    if (!options.confine_to.empty()) {
        target = to_native_path(file_sjis);
        folder = open_private_folder_of(options.confine_to, file_sjis, true, &leaf, &result.error);
        if (!folder) return result;
    } else if (target = resolve_for_write(file_sjis); !target.empty()) {
        const std::size_t slash = target.rfind('/');
        leaf = target.substr(slash == std::string::npos ? 0 : slash + 1);
        const std::string above = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
        folder = Descriptor(::open(above.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    }
    if (!folder || leaf.empty()) {
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
    TemporaryFile temporary(folder.get(), leaf);
    if (!temporary.ok()) {
        result.error = "cannot create a temporary file beside " + target;
        return result;
    }
    const std::string address = encode_address(cp932_name_to_utf8(url));
    char error_text[CURL_ERROR_SIZE] = {};
    Receiver receiver;
    receiver.file = temporary.file();
    receiver.cap = options.max_bytes;
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, address.c_str());
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, options.max_redirects);
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, options.connect_timeout_ms);
    // libcurl refuses an announced length over the cap before the body comes. Its 0 would mean no cap at all: a cap
    // of 0 asks it for at most 1, and the receiver refuses that byte.
    const std::uint64_t announced_cap = std::clamp<std::uint64_t>(options.max_bytes, 1, INT64_MAX);
    curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(announced_cap));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, write_body);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &receiver);
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, error_text);

    Transfer transfer(c);
    if (!transfer.ok()) {
        result.error = "libcurl could not start";
        return result;
    }
    // The transfer runs in short steps on this thread, so the deadline, the stall limit and the caller's wish to
    // stop are looked at between them, whatever the server does.
    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    auto last_wait_call = started;
    auto elapsed_ms = [](clock::time_point from, clock::time_point to) {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(to - from).count());
    };
    std::string stopped;
    int running = 1;
    while (running) {
        if (curl_multi_perform(transfer.multi(), &running) != CURLM_OK) {
            stopped = "libcurl failed";
            break;
        }
        if (!running) break;
        curl_multi_poll(transfer.multi(), nullptr, 0, 50, nullptr);
        const auto now = clock::now();
        if (options.total_timeout_ms > 0 && elapsed_ms(started, now) >= options.total_timeout_ms) {
            stopped = "not finished after " + seconds_text(options.total_timeout_ms) + ", given up";
            break;
        }
        if (options.stall_timeout_ms > 0 && elapsed_ms(receiver.last_data, now) >= options.stall_timeout_ms) {
            stopped = "no data for " + seconds_text(options.stall_timeout_ms) + " (stalled), given up";
            break;
        }
        if (options.keep_waiting && elapsed_ms(last_wait_call, now) >= 50) {
            last_wait_call = now;
            if (!options.keep_waiting()) {
                result.cancelled = true;
                stopped = "cancelled: the window was closed";
                break;
            }
        }
    }
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &result.http_status);
    result.received = receiver.received;
    if (!stopped.empty()) {
        result.error = stopped;
        return result;
    }
    CURLcode code = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(transfer.multi(), &left))
        if (message->msg == CURLMSG_DONE) code = message->data.result;
    if (code != CURLE_OK) {
        const std::string detail = error_text[0] ? error_text : curl_easy_strerror(code);
        result.too_large = receiver.too_large || code == CURLE_FILESIZE_EXCEEDED;
        if (result.too_large)
            result.error = "larger than " + kz::crt::byte_size_text(options.max_bytes) + ", refused";
        else if (code == CURLE_HTTP_RETURNED_ERROR)
            result.error = "HTTP status " + kz::crt::int_text(result.http_status);
        else if (code == CURLE_PARTIAL_FILE)
            result.error = "cut short after " + kz::crt::int_text(receiver.received) + " bytes (" + detail + ")";
        else if (code == CURLE_TOO_MANY_REDIRECTS || code == CURLE_UNSUPPORTED_PROTOCOL)
            result.error = "redirect refused (HTTP status " + kz::crt::int_text(result.http_status) + "): " + detail;
        else
            result.error = detail;
        return result;
    }
    if (result.http_status < 200 || result.http_status >= 300) {
        result.error = "HTTP status " + kz::crt::int_text(result.http_status);
        return result;
    }
    if (!temporary.commit()) {
        result.error = "cannot write " + target;
        return result;
    }
    result.ok = true;
    return result;
}

}  // namespace kz::platform
