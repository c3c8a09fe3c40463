// Two processes of one test program sharing a real X display (xvfb-run), for checks of what passes between
// programs through the clipboard: a writer puts data there and serves it, a reader takes it and reports.
#pragma once
#include <functional>
#include <optional>
#include <string>

namespace kz::test {
// Whether xvfb-run is installed (the cross-process checks skip without it).
bool xvfb_available();
// Runs this program as a writer (KZ_CLIP_ROLE=writer) and, once the writer has made <dir>/ready, as a reader
// (KZ_CLIP_ROLE=reader), both with only the tests matching `filter` and KZ_CLIP_DIR=<dir>; <dir> is a fresh folder
// named after `name`. What the reader wrote to <dir>/result, or nothing when it wrote none.
std::optional<std::string> run_clipboard_peers(const std::string& name, const std::string& filter);
// Waits up to `seconds` for a file to appear, calling `serve` meanwhile (the writer serves its clipboard data).
bool wait_for_file(const std::string& path, int seconds, const std::function<void()>& serve);
}  // namespace kz::test
