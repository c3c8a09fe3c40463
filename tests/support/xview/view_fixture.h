// A view under test: a parent window whose procedure records every message it gets, the one XView as its child
// on a hand-driven clock, and helpers to read what the parent saw.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/document/xview.h"
#include "platform/window.h"

namespace kz::view::test {

struct RecordedMessage {
    std::uint32_t message = 0;
    kz::platform::WParam wparam = 0;
    kz::platform::LParam lparam = 0;
    std::string text;       // the notification list's text, when the message carries one
    int button_state = -1;  // the view's button state when the parent saw the message
};

// The recording parent's log and the view it watches (for state seen at the moment of forwarding).
std::vector<RecordedMessage>& parent_log();
XView*& watched_view();

// A model under examples/ (a path below it) and the bundled sample model, in the program's form (Z: drive,
// backslashes).
std::string example_model_path(const std::string& file);
std::string sample_model_path();

// A top-level window shaped as the program's main window, of a class of that name which `procedure` serves.
kz::platform::WindowHandle create_main_window(const char* class_name, kz::platform::WindowProcedure procedure,
                                              const char* title = "");

// A fresh folder below the test output folder, in native and in the program's Windows form (with the trailing
// backslash).
struct ScratchFolder {
    explicit ScratchFolder(const std::string& name);
    // Writes the file, with the folders on its way.
    void write(const std::string& file, const std::string& text) const;
    bool exists(const std::string& file) const;
    std::string path(const std::string& file) const { return windows + file; }
    std::string native, windows;
};

class ViewTest : public ::testing::Test {
public:
    void SetUp() override;
    void TearDown() override;

    // Messages of one number that reached the parent.
    std::vector<RecordedMessage> received(std::uint32_t message) const;
    // An item under `parent_index` (the current item is set for the creation).
    int add_item(int parent_index, const char* name);
    // The last item of that name; -1 when there is none.
    int item_named(const char* name) const;
    // A new view in place of the old one, as a program started now would make it (with the environment now).
    void restart_view();

    kz::platform::WindowHandle parent_window = nullptr;
    std::unique_ptr<ManualViewClock> clock;
    XView* view = nullptr;
};

}  // namespace kz::view::test
