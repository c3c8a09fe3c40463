// The view fixture for the figure-file tests (the view tests' one with its own download cache), figure line
// makers, a description of the loaded item tree, and a loopback server that serves a folder and logs requests.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <memory>
#include <string>

#include "app/document/xview.h"
#include "tests/support/xview/view_fixture.h"

namespace kz::view::test {

// The view fixture of the view tests, with a download cache of the test's own.
class DocumentTest : public ViewTest {
public:
    void SetUp() override;

    // The item tree below the root as text: name(part names;...){children ...}.
    std::string tree() const;
};

// A "trunk" record named `name` with the attribute column (column 31) `attributes`.
std::string trunk_line(const std::string& name, const std::string& attributes = "");
// A shape record of `kind` (box, ball, ...) named `name`, 100 on each side.
std::string shape_line(const std::string& name, const std::string& kind = "box");
// Fresh folder below the test output folder (emptied first); its POSIX path.
std::string fresh_folder(const std::string& name);
void write_file(const std::string& posix_path, const std::string& bytes);
// Program (Windows) form of a POSIX path.
std::string windows_form(const std::string& posix_path);

// Serves `root` on 127.0.0.1; every request path is appended to `log`.
class UnitServer {
public:
    UnitServer(const std::string& root, const std::string& log);
    ~UnitServer();
    UnitServer(const UnitServer&) = delete;
    UnitServer& operator=(const UnitServer&) = delete;
    int port() const { return port_; }
    std::string url(const std::string& path) const;

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int port_ = 0;
};

}  // namespace kz::view::test
