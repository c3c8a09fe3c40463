// Helpers shared by the drawing library tests: an owned drawing handle, files in the tests' output folder, the
// record cells of a drawing, and a sample drawing with records of every type and settings of every kind.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drawing2d/drawing_context.h"

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
    // Closes the drawing and opens a new one in its place.
    void reopen() {
        if (handle_) zolt_close(handle_);
        handle_ = zolt_open();
    }
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

// The fixture of the tests that each work on one fresh drawing: `using Suite = test::DrawingTest;`.
class DrawingTest : public ::testing::Test {
protected:
    // A new drawing in place of the test's, for each row of a table.
    void fresh_drawing() {
        d.reopen();
        ctx = d.peek();
    }
    Drawing d;
    drawing_context* ctx = d.peek();
};

// A path (the system's Windows form) in the tests' output folder; the file is removed first.
std::string fresh_path(const std::string& name);
std::string file_bytes(const std::string& path);
void put_file(const std::string& path, const std::string& bytes);
// Cells c1 .. c7 of rows 0 .. the data end, read by name, and the header block.
std::vector<double> record_cells(drawing_context* ctx);
std::string header_bytes(const drawing_context* ctx);
// Head rows from `from` up to the next end row (a block behind a separator starts at the separator + 1).
std::vector<int32_t> head_rows(const drawing_context* ctx, int32_t from);

// The standard output of one of the DXF tests' ezdxf scripts in this folder, run with `arguments`.
std::string python_oracle(const std::string& script, const std::string& arguments);
// Bytes as lower-case hexadecimal digits, two a byte.
std::string hex(const std::string& bytes);

// Lines, arcs (one with equal angles, one beyond the int32 range), single- and double-byte texts, type 7, 9 and
// 15 records, deleted records, and layer names, paint colours, pens, fonts, line styles and layer tables.
void fill_sample_drawing(drawing_context* ctx, unsigned seed);

}  // namespace kz::drawing2d::test
