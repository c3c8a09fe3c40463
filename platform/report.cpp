#include "platform/report.h"

#include <atomic>
#include <cstdio>

namespace kz::platform {

namespace {

// Movies and meshes may be written and read away from the main thread.
std::atomic<ReportFunction> g_report{nullptr};

}  // namespace

ReportFunction set_report_function(ReportFunction function) { return g_report.exchange(function); }

void report_line(std::string_view line) {
    if (const ReportFunction f = g_report.load()) {
        f(line);
        return;
    }
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

}  // namespace kz::platform
