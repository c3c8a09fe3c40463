// The parent window the view benchmarks hang their XView under, the way the program's main window does.
#pragma once
#include <memory>

#include "app/document/xview.h"
#include "platform/message_loop.h"
#include "platform/window.h"

inline kz::platform::WindowHandle make_bench_parent(int width, int height) {
    namespace plat = kz::platform;
    plat::ensure_application();
    plat::WindowClass c;
    c.name = "KzBenchParent";
    c.procedure = plat::default_window_procedure;
    plat::register_window_class(c);
    return plat::create_window("KzBenchParent", "bench", plat::WS_OVERLAPPEDWINDOW, 0, 0, width, height,
                               plat::desktop_window());
}
