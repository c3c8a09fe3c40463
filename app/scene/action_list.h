// The pure services of the action machinery that the scene model needs while it reads and animates records:
// the action-column summary, link tags, motion target names and the eased value of a timed motion.
#pragma once
#include <cstdint>

namespace kz::scene {

// Code of the link tag ("[wav=...]", "<web=...>" ...) in the field text[position, position + length): 0 when the
// field does not open with "[" or "<" or no known keyword follows. content_start gets where the tag's content
// begins (-1 without a bracket); after_close the index after the closing bracket (-1 when none lies within the
// field, `position` without a bracket). Either output may be null.
int parse_action_link(const char* text, int position, int length, int* content_start, int* after_close);

// Summary of an action column: kind 1 when the last recognised item is a motion ("M", "M1", "M2"), 2 when it is a
// hit ("H", "H1", "H2"), else 0; variant 1 or 2 of that item (1 without one); tag_bits the OR of the link codes of
// every hit's second field; reserved always 0. Returns 0.
int parse_action_list(const char* text, std::int32_t* kind, std::int32_t* tag_bits, std::int32_t* reserved,
                      std::int32_t* variant);

// Column number of a motion target name: "dx".."orz" 1..12, "fw" 41, "light" 42, "#shadow_tukihi" 43,
// "#shadow_jikoku" 44 (case ignored); a plain number 0..44 names itself; 0 for anything else.
int motion_target_index(const char* name);

// The eased value of a motion `elapsed_ms` after its start: -1 before the start (value untouched); 1 with `to`
// once `duration_ms` has passed; else 0 with from + (to - from) * f(t): easing 0 ease-out 1 - (1 - t)^2,
// 2 ease-in t^2, 1 and any other easing linear. value may be null.
int interpolate_elapsed(double elapsed_ms, double from, double to, double duration_ms, double* value, int easing);

}  // namespace kz::scene
