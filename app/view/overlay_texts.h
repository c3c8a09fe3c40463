// Texts the view draws over its frame from more than one place: the type face of its overlay lines and popups,
// and the note that only the parts near the target are shown.
#pragma once

namespace kz::view {

// "ＭＳ ゴシック" and "ＭＳ Ｐゴシック" in the system's code page.
inline constexpr char kGothicFace[] = "\x82\x6c\x82\x72\x20\x83\x53\x83\x56\x83\x62\x83\x4e";
inline constexpr char kPGothicFace[] = "\x82l\x82r \x82o\x83S\x83V\x83\x62\x83N";
// "H　注視点回りだけ表示。　　　"
inline constexpr char kNearOnlyText[] =
    "H\x81@\x92\x8d\x8e\x8b\x93_\x89\xf1\x82\xe8\x82\xbe\x82\xaf\x95\x5c\x8e\xa6\x81\x42\x81@\x81@\x81@";

}  // namespace kz::view
