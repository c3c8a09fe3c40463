// Stands in for downloading an address to a file: "http:" (and "https:") with libcurl, into a temporary file in
// the target's folder that is renamed over the target only when the whole body arrived with a success status.
// A failed download leaves no partial file and the previous target untouched. No cache of its own, no cookies,
// no authentication, no proxy settings beyond libcurl's environment variables.
#pragma once
#include <string>
#include <string_view>

namespace kz::platform {

struct DownloadOptions {
    long connect_timeout_ms = 10000;  // to establish the connection
    long stall_timeout_ms = 30000;    // no data at all for this long ends the transfer
    long total_timeout_ms = 0;        // the whole transfer; 0 = no limit
    long max_redirects = 5;
};

struct DownloadResult {
    bool ok = false;
    long http_status = 0;  // 0 when no answer came
    std::string error;     // why it failed, for the one-line report on standard error
};

// Downloads `url` (program form: Shift_JIS, "http:" or "https:") to `file_sjis` (program form).
DownloadResult download_to_file(std::string_view url, std::string_view file_sjis, const DownloadOptions& options = {});

}  // namespace kz::platform
