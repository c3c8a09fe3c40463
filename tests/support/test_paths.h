// Where the test programs find their fixtures and put what they write (actual and difference images), and what
// they read back from files, programs and text.
#pragma once
#include <string>

namespace kz::test {
// Folder of checked-in fixtures (tests/data), from KZ_TEST_DATA or the source tree.
std::string data_dir();
// Folder for files a test writes: one of this process's own (and its children's), made on first use by mkdtemp below
// KZ_TEST_OUTPUT or in the system temporary folder, so that two runs never write one file; scripts/test.sh removes
// those of earlier runs below the build's folder before a run.
std::string output_dir();
// data_dir() + "/" + name
std::string data_file(const std::string& name);
// output_dir() + "/" + name
std::string output_file(const std::string& name);
// What a shell command (an oracle program, a child test) prints on its standard output; its wait status goes to
// *status when one is given (-1 when it did not start).
std::string command_output(const std::string& command, int* status = nullptr);
// This test program's own file, to start again as a child; empty when it cannot be found.
std::string self_path();
// The bytes of the file at the native path; empty when it cannot be read.
std::string read_all(const std::string& path);
// The bytes of the file once they end a line, as a program started elsewhere leaves them when it has written
// one (a shell creates the file before it writes); waits a bounded while for that, then gives what is there.
std::string read_written_line(const std::string& path);
// How many times `what` stands in the text, overlapping ones counted.
int count_of(const std::string& text, const std::string& what);
}  // namespace kz::test
