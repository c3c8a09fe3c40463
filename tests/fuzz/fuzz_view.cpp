// The harnesses' view, made once per process: libFuzzer calls the harness many thousands of times, and a view
// with its windows and modeller costs far more than one input.
#include "tests/fuzz/fuzz_view.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "drawing2d/dxf_files.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/message_loop.h"
#include "platform/shell.h"
#include "platform/window.h"

namespace kz::fuzz {

namespace plat = kz::platform;

const std::string& fuzz_folder() {
    static const std::string folder = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string f = std::string(tmp && *tmp ? tmp : "/tmp") + "/kzfuzz-" + std::to_string(::getpid()) + "/";
        ::mkdir(f.c_str(), 0700);
        for (const char* fifo : {"fifo.fig", "fifo.png"}) ::mkfifo((f + fifo).c_str(), 0600);
        for (const char* zero : {"zero.fig", "zero.png"}) (void)::symlink("/dev/zero", (f + zero).c_str());
        return f;
    }();
    return folder;
}

std::string put_input(const std::string& name, const char* data, std::size_t size) {
    const std::string path = fuzz_folder() + name;
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    return plat::from_native_path(path);
}

void lower_drawing_budgets() {
    using namespace kz::drawing2d;
    set_dxf_import_budget({kMaxDxfRecords / 100, kMaxDxfRowBytes / 100, kMaxDxfBlockPairs / 100});
}

kz::view::XView* fuzz_view() {
    static kz::view::XView* view = [] {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
        ::setenv("EGL_PLATFORM", "surfaceless", 0);
        ::setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
        // Addresses in a model lead nowhere: every transfer goes to a proxy port nobody listens on.
        for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "all_proxy"})
            ::setenv(name, "http://127.0.0.1:9", 1);
        ::unsetenv("no_proxy");
        ::unsetenv("NO_PROXY");
        if (::chdir(fuzz_folder().c_str()) != 0) std::abort();
        if (!plat::ensure_application()) std::abort();
        // No input waits for a person (a modal box would stop the run) or hands anything to the desktop.
        plat::set_dialog_test_mode(true);
        plat::set_shell_test_mode(true);
        plat::WindowClass c;
        c.name = "KzFuzzParent";
        c.procedure = plat::default_window_procedure;
        plat::register_window_class(c);
        plat::WindowHandle parent = plat::create_window("KzFuzzParent", "fuzz", plat::WS_OVERLAPPEDWINDOW, 0, 0, 320,
                                                        240, plat::desktop_window());
        auto* v = new kz::view::XView(parent, nullptr);  // lives as long as the process
        v->document.work_folder = plat::from_native_path(fuzz_folder() + "work");
        // A hundredth of a viewer's budgets: an input that spends them all costs a second under the sanitizers and
        // the fuzzer's counters, not a minute and gigabytes, and the budgets themselves work the same.
        v->document.guard.budget = {kz::view::kMaxUnitLoads / 100, kz::view::kMaxOpenItems / 100,
                                    kz::view::kMaxOpenShapes / 100, kz::view::default_open_memory() / 100};
        plat::create_directory(v->document.work_folder);
        lower_drawing_budgets();  // drawings pasted on faces
        return v;
    }();
    plat::take_dialog_test_log();  // what the last input asked of the user is not kept
    return view;
}

}  // namespace kz::fuzz
