// What one open may expand to, and how deep its blocks may nest: a model that asks for more is stopped with one
// line on standard error, and what was read so far stays. Real buildings stay far below these.
#pragma once
#include <string>

namespace kz::view {

inline constexpr int kMaxUnitLoads = 20000;
inline constexpr int kMaxOpenItems = 200000;
inline constexpr long long kMaxOpenShapes = 2000000;
// Reference levels ("{" blocks and the two of each unit) open at once; a deeper "{" is read at this depth.
inline constexpr int kMaxBlockNesting = 256;

class LoadGuard {
public:
    // The limits of one open; lowered only where many opens must run quickly (the fuzz harness, tests).
    struct Budget {
        int unit_loads = kMaxUnitLoads;
        int items = kMaxOpenItems;
        long long shapes = kMaxOpenShapes;
    };
    Budget budget;

    // An open of `name` starts and ends; an open inside an open counts into the outer one.
    void begin(const char* name);
    void end();
    bool opening() const { return depth_ > 0; }
    // True once the running open was stopped: nothing more is read.
    bool stopped() const { return depth_ > 0 && !why_.empty(); }
    // Count what the open adds; false once it is stopped (the budget passed now or earlier).
    bool add_unit(const char* name);
    bool add_items(int count);
    bool add_shapes(long long count);
    // Stops the open for `why` (the first reason is the one reported), naming `name` or else the opened file.
    void stop(const char* name, const std::string& why);
    // A "{" past the nesting limit: refused, and its "}" swallowed later; the first one of an open is reported.
    void refuse_block(const char* name);
    bool swallow_close();
    // A unit's blocks balance within the unit.
    int refused_blocks() const { return refused_blocks_; }
    void set_refused_blocks(int count) { refused_blocks_ = count; }

private:
    int depth_ = 0;
    int units_ = 0;
    int items_ = 0;
    long long shapes_ = 0;
    int refused_blocks_ = 0;
    bool deep_reported_ = false;
    std::string why_;
    std::string name_;
};

}  // namespace kz::view
