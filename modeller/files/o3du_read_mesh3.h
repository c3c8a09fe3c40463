// CO3duReadMesh3: reads an OM3 mesh file into a modeller, one shape per stored primitive or, in single mode, every
// visible stored set merged into one shape in scene coordinates. The file is checked whole before anything
// reaches the modeller: every chunk must lie inside the file and every index inside the list it points into, or
// the file is refused and the modeller left as it was.
#pragma once
#include <functional>
#include <string>
#include <string_view>

#include "modeller/o3du_modelar.h"

class CO3duReadMesh3 {
public:
    // Asked between chunks while a file is read; false stops the reading there, as the file's end would, and
    // what was read before stays. Empty: the reading runs to the end.
    using KeepGoing = std::function<bool()>;

    CO3duReadMesh3() = default;
    CO3duReadMesh3(const CO3duReadMesh3&) = default;
    CO3duReadMesh3& operator=(const CO3duReadMesh3&) { return *this; }
    virtual ~CO3duReadMesh3() = default;

    // 1 when the file opens with an OM3 header of a version this reader knows.
    static int CheckHeder(const char* path);
    // Reads the file; the handles of the shapes added are appended to `added`. 1 when the file was taken; 0 for a
    // file that is missing, too large or malformed, with the reason in `error` (or on stderr when it is null).
    static int ReadFile(CO3duModelar& modeller, const char* path, CO3duPosList& added, int single,
                        std::string* error = nullptr, const KeepGoing& keep_going = {});
    // The whole file as one new shape; null when it cannot be read.
    static _OfuPosition* ReadFile_Singlepos(CO3duModelar& modeller, const char* path, std::string* error = nullptr,
                                            const KeepGoing& keep_going = {});
    // The chunk loop over a file's bytes; 1, or 0 with the reason in `error` for an empty or malformed file.
    static int ReadData(CO3duModelar& modeller, std::string_view bytes, CO3duPosList& added, int single,
                        std::string& error, const KeepGoing& keep_going = {});
};
