// What one open may expand to, in counts and in memory, and how deep its blocks may nest: a model that asks for
// more is stopped with one line on standard error, and what was read so far stays. Real buildings stay far below.
#pragma once
#include <chrono>
#include <cstdint>
#include <string>

namespace kz::view {

inline constexpr int kMaxUnitLoads = 20000;
inline constexpr int kMaxOpenItems = 200000;
inline constexpr long long kMaxOpenShapes = 2000000;
// What the transfers of one model may bring from "http:" addresses together, from its open until another model is
// opened: its units, and later its sounds, pictures and linked files (a cached copy costs nothing).
inline constexpr std::uint64_t kMaxOpenDownloadBytes = std::uint64_t(1) << 30;
// Reference levels ("{" blocks and the two of each unit) open at once; a deeper "{" is read at this depth.
inline constexpr int kMaxBlockNesting = 256;

// The memory an open may add (kz::platform::memory_in_use grown above the lowest figure seen since the open
// began): half of the machine's physical memory unless set otherwise for the whole process.
std::uint64_t default_open_memory();
// A program that opens models larger than a user's on purpose (a benchmark) raises it before its views are made.
void set_default_open_memory(std::uint64_t bytes);

class LoadGuard {
public:
    // The limits of one open; lowered only where many opens must run quickly (the fuzz harness, tests).
    struct Budget {
        int unit_loads = kMaxUnitLoads;
        int items = kMaxOpenItems;
        long long shapes = kMaxOpenShapes;
        std::uint64_t memory_bytes = default_open_memory();
        std::uint64_t download_bytes = kMaxOpenDownloadBytes;
        // How often the memory is looked at while the open runs (a look costs a system call); the end of every
        // unit, and what is about to be made with a known size, are looked at whatever it is.
        std::chrono::milliseconds memory_look_interval{2};
    };
    Budget budget;

    // An open of `name` starts and ends; an open inside an open counts into the outer one. `new_model`: the open
    // replaces the model, whose download budget starts again here (with the opened file's own download).
    void begin(const char* name, bool new_model);
    void end();
    bool opening() const { return depth_ > 0; }
    // True once the running open was stopped: nothing more is read.
    bool stopped() const { return depth_ > 0 && !why_.empty(); }
    // Count what the open adds; false once it is stopped (the budget passed now or earlier).
    bool add_unit(const char* name);
    bool add_items(int count);
    bool add_shapes(long long count);
    // A model made without an open (a paste into an empty model) starts its download budget afresh.
    void new_model();
    // The bytes the model's next transfer may bring, in its open or after it.
    std::uint64_t download_room() const;
    // A transfer of the model brought `bytes` (kept or dropped, they were written); `passed_budget`: it was dropped
    // for wanting more than download_room(). In an open that stops the open; after it, the transfer alone is
    // refused, with its line. False when it was refused or the open is stopped.
    bool add_download(const char* name, std::uint64_t bytes, bool passed_budget);
    // What the model's transfers brought since it was opened.
    std::uint64_t downloaded() const { return downloaded_; }
    // Looks at the memory the open has added (at most every memory_look_interval) and stops the open once it is
    // past the budget; false once it is stopped.
    bool check_memory();
    // Looks now, with `coming` bytes the open is about to take (an image's pixels, a drawing's rows, named by
    // `name`) counted as taken: past the budget, the open stops before they are made. False once it is stopped.
    bool weigh_memory(std::uint64_t coming = 0, const char* name = nullptr);
    // Looks now: the memory the open may still add (none once it is stopped; no limit outside an open).
    std::uint64_t memory_room();
    // Stops the open for `why` (the first reason is the one reported), naming `name` or else the opened file.
    void stop(const char* name, const std::string& why);
    // A "{" past the nesting limit: refused, and its "}" swallowed later; the first one of an open is reported.
    void refuse_block(const char* name);
    bool swallow_close();
    // A unit's blocks balance within the unit.
    int refused_blocks() const { return refused_blocks_; }
    void set_refused_blocks(int count) { refused_blocks_ = count; }

private:
    // The memory the open has added, looked at now.
    std::uint64_t memory_added();

    int depth_ = 0;
    int units_ = 0;
    int items_ = 0;
    long long shapes_ = 0;
    std::uint64_t downloaded_ = 0;
    int refused_blocks_ = 0;
    bool deep_reported_ = false;
    std::uint64_t memory_floor_ = 0;  // the least memory in use seen since the open began
    std::chrono::steady_clock::time_point memory_checked_{};
    std::string why_;
    std::string name_;
};

}  // namespace kz::view
