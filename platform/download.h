// Stands in for downloading an address to a file: "http:" (and "https:") with libcurl, into a temporary file in
// the target's folder (without a name until then, where the file system allows) that is renamed over the target
// only when the whole body arrived with a success status.
// A failed download leaves no partial file and the previous target untouched; one killed midway where the file
// system has no unnamed files leaves its ".<name>.kztmp-XXXXXX", which the next download or save of the name removes.
// No cache of its own, no cookies, no authentication, no proxy settings beyond libcurl's environment variables.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace kz::platform {

// The largest body one transfer takes.
inline constexpr std::uint64_t kMaxDownloadBytes = std::uint64_t(256) << 20;

struct DownloadOptions {
    long connect_timeout_ms = 10000;  // to establish the connection
    long stall_timeout_ms = 30000;    // no data at all for this long ends the transfer
    long total_timeout_ms = 120000;   // the whole transfer; 0 = no limit
    long max_redirects = 5;
    // A larger body is refused: before any of it is read when the server announces its length, else at the
    // first bytes past it (0: only an empty body is taken).
    std::uint64_t max_bytes = kMaxDownloadBytes;
    // Program-form folder the file must land in, as written: it and every folder from it down to the file's must
    // be the user's alone, reached without following a link (made where missing), and the file is written through
    // its folder's descriptor; empty means anywhere the caller names.
    std::string confine_to;
    // Called about every 50 ms while the transfer waits on the network; returning false cancels it (the user
    // closed the window).
    std::function<bool()> keep_waiting;
};

struct DownloadResult {
    bool ok = false;
    bool cancelled = false;      // keep_waiting said stop
    bool too_large = false;      // the body was longer than max_bytes
    std::uint64_t received = 0;  // body bytes written to the temporary file, whether it was kept or not
    long http_status = 0;        // 0 when no answer came
    std::string error;           // what happened, for the one-line report on standard error
};

// Downloads `url` (program form: Shift_JIS, "http:" or "https:") to `file_sjis` (program form).
DownloadResult download_to_file(std::string_view url, std::string_view file_sjis, const DownloadOptions& options = {});

}  // namespace kz::platform
