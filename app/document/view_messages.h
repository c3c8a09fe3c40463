// Message numbers of the view windows and the main window: the private range 0x5000-0x5FFE, the notifications
// sent to the parent, and the commands that set the interaction state.
#pragma once
#include <cstdint>

namespace kz::view {

inline constexpr std::uint32_t UM_VIEW_FORWARD = 0x5000;  // + a standard message number
inline constexpr std::uint32_t UM_VIEW_FIRST = 0x5000;
inline constexpr std::uint32_t UM_VIEW_LAST = 0x5FFE;
inline constexpr std::uint32_t UM_VIEW_SETCURSOR = 0x5020;
inline constexpr std::uint32_t UM_MAIN_IGNORED = 0x5113;
inline constexpr std::uint32_t UM_VIEW_TICK = 0x5500;
inline constexpr std::uint32_t UM_VIEW_NEXT_CAMERA = 0x5501;
inline constexpr std::uint32_t UM_VIEW_SET_BKCOLOR = 0x5506;
inline constexpr std::uint32_t UM_VIEW_STATUS = 0x5507;  // lparam: the pick status text
inline constexpr std::uint32_t UM_VIEW_OPENED = 0x5508;
inline constexpr std::uint32_t UM_VIEW_OPEN_LINK = 0x5509;
inline constexpr std::uint32_t UM_VIEW_NOTIFY_LIST = 0x5510;
inline constexpr std::uint32_t UM_VIEW_STAGE_ADDED = 0x5511;
inline constexpr std::uint32_t UM_VIEW_PLAYBACK_STOPPED = 0x5512;
inline constexpr std::uint32_t UM_VIEW_ITEM_CHANGED = 0x5512;  // the same number, sent after an edit
inline constexpr std::uint32_t UM_VIEW_ITEMS_CHANGED = 0x5513;
inline constexpr std::uint32_t UM_VIEW_SHADOW_CHANGED = 0x5514;
inline constexpr std::uint32_t UM_VIEW_ITEMS_ADDED = 0x5515;
inline constexpr std::uint32_t UM_VIEW_SELECTION_CHANGED = 0x5516;
inline constexpr std::uint32_t UM_VIEW_IMAGE_PICKED = 0x5518;
inline constexpr std::uint32_t UM_VIEW_OPEN_DATA = 0x5600;
inline constexpr std::uint32_t UM_VIEW_DROP = 0x5601;
inline constexpr std::uint32_t UM_TIMER_STATE = 0x560B;
inline constexpr std::uint32_t UM_EXELDATA = 0x5621;
inline constexpr std::uint32_t UM_QUERY_VIEW = 0x5622;
inline constexpr std::uint32_t PLAY_POSE = 0x5702;
inline constexpr std::uint32_t PLAY_RESTART = 0x5703;
inline constexpr std::uint32_t VIEW_AROUND = 0x5704;
inline constexpr std::uint32_t VIEW_WALK = 0x5705;
inline constexpr std::uint32_t VIEW_HEAD = 0x5706;
inline constexpr std::uint32_t VIEW_CENTER = 0x5707;
inline constexpr std::uint32_t DISP_MAX = 0x5708;
inline constexpr std::uint32_t DISP_REDRAW = 0x5709;
inline constexpr std::uint32_t WIN_LAYOUT_A = 0x570A;
inline constexpr std::uint32_t WIN_LAYOUT_B = 0x570B;
inline constexpr std::uint32_t PLAY_STOP = 0x570C;
inline constexpr std::uint32_t VIEW_SWALOW = 0x570D;
inline constexpr std::uint32_t VIEW_SWALOW_OFF = 0x570E;
inline constexpr std::uint32_t SELECT_OUT = 0x570F;
inline constexpr std::uint32_t EYE_SET = 0x5710;
inline constexpr std::uint32_t EYE_OUT = 0x5711;
inline constexpr std::uint32_t DISP_WIRE = 0x5712;
inline constexpr std::uint32_t DISP_TRANSPA = 0x5713;
inline constexpr std::uint32_t UM_VIEW_COPY_ITEM = 0x5720;
inline constexpr std::uint32_t UM_VIEW_COPY_TREE = 0x5721;
inline constexpr std::uint32_t UM_VIEW_CUT_ITEM = 0x5723;
inline constexpr std::uint32_t UM_VIEW_CUT_TREE = 0x5724;
inline constexpr std::uint32_t UM_VIEW_DELETE_SELECTED = 0x5725;
inline constexpr std::uint32_t UM_VIEW_SET_SHADOW_MODE = 0x5726;
inline constexpr std::uint32_t UM_VIEW_PASTE = 0x5727;
inline constexpr std::uint32_t VIEW_SKY = 0x5728;
inline constexpr std::uint32_t UM_VIEW_TOOL_PASTE_IMAGE = 0x5729;
inline constexpr std::uint32_t UM_VIEW_TOOL_PICK_IMAGE = 0x572A;
inline constexpr std::uint32_t UM_VIEW_TOOL_UNPASTE_FACE = 0x572B;
inline constexpr std::uint32_t UM_VIEW_TOOL_UNPASTE_PART = 0x572C;
inline constexpr std::uint32_t UM_VIEW_TOOL_UNPASTE_ITEM = 0x572D;
inline constexpr std::uint32_t move_trunk_x = 0x5741;
inline constexpr std::uint32_t move_trunk_y = 0x5742;
inline constexpr std::uint32_t move_trunk_z = 0x5743;
inline constexpr std::uint32_t move_trunk_xy = 0x5744;
inline constexpr std::uint32_t rotate_trunk_x = 0x5748;
inline constexpr std::uint32_t rotate_trunk_y = 0x5749;
inline constexpr std::uint32_t rotate_trunk_z = 0x574A;
inline constexpr std::uint32_t rotate_trunk_xy = 0x574B;
inline constexpr std::uint32_t rotate_trunk_xz = 0x574C;
inline constexpr std::uint32_t rotate_trunk_yz = 0x574D;
inline constexpr std::uint32_t move_leaves_x = 0x5751;
inline constexpr std::uint32_t move_leaves_y = 0x5752;
inline constexpr std::uint32_t move_leaves_z = 0x5753;
inline constexpr std::uint32_t move_leaves_xy = 0x5754;
inline constexpr std::uint32_t rotate_leaves_x = 0x5758;
inline constexpr std::uint32_t rotate_leaves_y = 0x5759;
inline constexpr std::uint32_t rotate_leaves_z = 0x575A;
inline constexpr std::uint32_t rotate_leaves_xy = 0x575B;
inline constexpr std::uint32_t rotate_leaves_xz = 0x575C;
inline constexpr std::uint32_t rotate_leaves_yz = 0x575D;
inline constexpr std::uint32_t UM_SET_TITLE = 0x5A01;
inline constexpr std::uint32_t ACTION_LEAVES_DISP = 0x5A02;
inline constexpr std::uint32_t UM_VIEW_PASTE_INTO = 0x5A03;

}  // namespace kz::view
