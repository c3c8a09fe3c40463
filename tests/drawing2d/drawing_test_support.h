// Helpers shared by the drawing library tests: an owned drawing handle and a fake platform.
#pragma once
#include <string>

#include "drawing2d/drawing_context.h"
#include "drawing2d/drawing_platform.h"

namespace kz::drawing2d::test {

// A drawing opened for one test and closed after it.
class Drawing {
public:
    Drawing() : handle_(zolt_open()) {}
    ~Drawing() {
        if (handle_) zolt_close(handle_);
    }
    Drawing(const Drawing&) = delete;
    Drawing& operator=(const Drawing&) = delete;
    drawing_handle handle() const { return handle_; }
    // The context without a client lock, so that the exported functions keep their append hint.
    // (Blocks never move, so the pointer stays good after the unlock.)
    drawing_context* peek() const {
        void* p = kz::crt::global_lock(handle_);
        kz::crt::global_unlock(handle_);
        return static_cast<drawing_context*>(p);
    }

private:
    drawing_handle handle_;
};

class FakePlatform : public DrawingPlatform {
public:
    unsigned register_clipboard_format(const char* name) override {
        last_format = name;
        return 0xC123;
    }
    bool escape_key_down() override { return escape_down && escape_polls++ < 3; }
    std::string temporary_folder() override { return "Z:\\tmp\\"; }
    std::string last_format;
    bool escape_down = false;
    int escape_polls = 0;
};

// Installs a fake platform for the lifetime of the object.
class ScopedPlatform {
public:
    explicit ScopedPlatform(DrawingPlatform* p) : previous_(set_drawing_platform(p)) {}
    ~ScopedPlatform() { set_drawing_platform(previous_); }

private:
    DrawingPlatform* previous_;
};

}  // namespace kz::drawing2d::test
