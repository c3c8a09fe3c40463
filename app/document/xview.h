// XView, the one document-and-view object: its windows, bridge, eye record, clock and timer slot, the flat item
// array of the loaded model with its selection and the tables kept beside it, and the view's message handling.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/document/document_state.h"
#include "app/document/view_clock.h"
#include "app/foundation/bridge_services.h"
#include "app/foundation/date_time.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/paths.h"
#include "app/foundation/text_label.h"
#include "app/scene/view_services.h"
#include "platform/device_context.h"
#include "platform/window.h"

struct _OfuPosition;
namespace kz::foundation {
class CBusMDL;
}
namespace kz::scene {
class XLeaf;
struct ConditionList;
}  // namespace kz::scene

namespace kz::view {

using kz::foundation::CBusMDL;
using kz::foundation::EyeRecord;
using kz::platform::LParam;
using kz::platform::LResult;
using kz::platform::WindowHandle;
using kz::platform::WParam;
using kz::scene::XLeaves;
using kz::scene::XTrunk;

inline constexpr int kTimingSlotCount = 128;
inline constexpr int kKindNameCount = 32;

// One entry of the timed lists. timed_list[0] holds the timed entries (kind 1 camera, 2 hit, 0 none; the text
// from the line's second field on), timed_list[1] the timed commands (one command line; a and b the item and
// part it belongs to, id its command block). trunk is the item the entry belongs to, renumbered on deletes.
struct TimedEntry {
    char* text = nullptr;  // owned heap text
    int trunk = -1;        // item index, -1 for none
    int a = 0, b = 0;
    int kind = 0;
    int id = 0;
    int state = 0;
    SystemTime due{};
};

// A named list: items of owned heap texts.
struct NamedList {
    char* name = nullptr;
    std::vector<char*> items;
};

// An "excoms" block: its lines, its name and its two numbers.
struct CommandBlock {
    std::vector<char*> lines;
    char* name = nullptr;
    double first = 0.0;
    double second = 0.0;
};

// An object a reference level keeps alive while its unit is read.
class ReferenceLevelObject {
public:
    virtual ~ReferenceLevelObject() = default;
};
struct ReferenceLevel {
    XTrunk* owner = nullptr;  // the item new items go under while this level is open
    char* file = nullptr;
    char* text = nullptr;
    std::unique_ptr<ReferenceLevelObject> object;
};

struct TimingSlot {
    std::int64_t start_ms = 0;
    double total_seconds = 0.0;
    int count = 0;
    int running_mark = 0;
};

// What an item looked like before a tool moved it (compared to tell whether it moved).
struct TrunkState {
    std::vector<std::int32_t> numbers;
    std::vector<std::int32_t> values;
    double doubles[5] = {};
    std::int32_t last[2] = {};
};

// The running eye move: an animated eye move (no target item) or a camera-entry move to an item's camera part.
struct CameraMove {
    int active = 0;
    int first_step = 0;
    int target_item = -1;
    int hidden_item = -1, hidden_display = 0;
    int end_on_camera_part = 0, remembered_view_mode = 0;
    SystemTime start{};
    double duration_ms = 0.0;
    int easing = 0;
    double start_eye[3] = {}, end_eye[3] = {};
    double start_target[3] = {}, end_target[3] = {};
    double start_lens = 0.0, end_lens = 0.0;
    double value = 0.0;    // handed through to the interpolation
    double times[2] = {};  // the camera entry's pair of time values
};

// The drag plane (local axes at the hit point), the last drag point and its copy, and the stored drag pick.
struct DragPlane {
    double matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    double point[3] = {};
    double normal[3] = {0, 0, 1};
    double last[3] = {};
    double last_copy[3] = {};
    int pick_trunk = -1, pick_part = -1, pick_face = -1;
    double pick_height = 0.0;
};

// The press, last and current points, the hover cursor state and the points of an item drag. The state word
// itself (bit 1 left down, 4 moved; 2 after a release, 8 after a double click, 16 Ctrl middle press) is
// XView::button_state, which the window procedure also writes.
struct MouseState {
    kz::platform::Point press{}, last{}, current{};
    int hover = 0;  // 0 none, 1 finger one, 2 finger double, 3 finger alt, 4 finger move
    // A hover move waiting for its pick: its point and popup mode (0 hide, 1 comment, 2 attributes).
    int hover_pending = 0;
    kz::platform::Point hover_point{};
    int hover_popup = 0;
    int clicked_item = 0, clicked_part = 0;
    double tool_reference[3] = {};
    double drag_start[3] = {};
    double drag_origin[3] = {};
    int selected_face_count = 0;
    int near_target_at_press = 0;
};

// A window point as the picks take it: x in the low and y in the high 32 bits.
inline std::int64_t pack_view_point(int x, int y) {
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(static_cast<std::uint32_t>(y)) << 32) |
                                     static_cast<std::uint32_t>(x));
}
inline int view_point_x(std::int64_t p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p & 0xFFFFFFFF));
}
inline int view_point_y(std::int64_t p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(p) >> 32));
}

// TextLabelView: the captions read the menu screen height and the movie frame size through it.
class XView : public kz::scene::XViewServices,
              public kz::foundation::BridgeServices,
              public kz::foundation::TextLabelView {
public:
    XView(WindowHandle parent, void* instance);
    ~XView() override;
    XView(const XView&) = delete;
    XView& operator=(const XView&) = delete;

    // --- Object, eye and clock -------------------------------------------------------------------------------
    void InitDefaults();
    void CreateEyeRecord();
    void ResetEye();
    void SetZoom(double zoom);
    static void CopyEyeRecord(EyeRecord* destination, const EyeRecord* source);
    static int SameTrunkState(const TrunkState& a, const TrunkState& b);
    // Tests replace the time source; null puts the system clock back.
    void SetClock(ViewClock* source);
    void GetClockTime(SystemTime* out) override;
    int InterpolateAtTime(const SystemTime& start, double from, double to, const SystemTime& now, double duration_ms,
                          double* value, int easing) override;
    void BeginTiming(int slot) override;
    void EndTiming(int slot) override;
    void ClearTimings();
    int InternName(const char* name) override;
    int FindImageName(const char* name) const;
    const char* KindName(int kind) const;

    // --- Windows and messages -------------------------------------------------------------------------------
    void RegisterViewClass();
    void RegisterCommentClass();
    LResult OnWindowMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
    LResult OnViewMessage(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
    void OnTimerTick();
    void PauseTimeline();
    void ResumeTimeline();
    void StopAll(int walk);
    void ToggleCentrePick();
    void ToggleActionPartsDisplay();
    void SetToolCommand(std::uint32_t message);
    void SetShadowModeTree(int index, int mode);
    void PasteIntoRoot();
    void LookFromSky();
    void OpenLink(const char* text);
    void ExchangeCommandBlock(WParam sender, LParam number);
    void SendNotifyList(const int numbers[10]);
    void SendTitle();

    // --- Scene tree ------------------------------------------------------------------------------------------
    int CreateTrunk(const double* position, const double* rotation, const double* base_point,
                    const double* base_rotation, const char* name);
    void BuildTrunks(XTrunk* source, XTrunk* parent);
    int DeleteTrunk(int index, int unlink);
    int DeleteTrunkTree(XTrunk* trunk, int recursive);
    void UnloadReferences(XTrunk* trunk);
    void UnloadReference(XTrunk* trunk, int recursive);
    int HasChangedUnits(XTrunk* trunk);
    void ClearChangedFlags(XTrunk* trunk);
    int MarkTrunkChanged(XTrunk* trunk) override;
    XTrunk* FindUnitTrunk(XTrunk* trunk) override;
    void MarkSelectionFamily() override;
    // Per-frame refresh of every item's marks and highlight / selection display.
    void RefreshMarks();
    void RefreshSelectionStyles();
    void SelectItem(int trunk, int part, int face);
    void ClearTimedLists();
    void CloseScene();
    void StopPlayback();
    void TruncateReferenceStack(int depth);
    void ClearNamedLists();
    void ClearCommandBlocks();
    int OpenCommandBlock(const char* name, double first, double second);
    void RemoveCommandBlock(int index);
    void ParseNumberRanges(const char* text) override;
    int InNumberRanges(int number) override;
    void MakeRootTrunk();
    void NewModel();

    // --- Lock files and stamp names ---------------------------------------------------------------------------
    int ReleaseLockFile(const char* path, const char* user, int number);
    int RemoveOwnLockFiles();
    void MakeStampName(char* buffer) override;

    // --- Folder stack (the data folder and file name saved while units are read) ------------------------------
    void PushDataFolder();
    void PopDataFolder();

    // --- Work of other parts of the view and the document (see view_pending.cpp) -----------------------------
    void LayoutWindows(int width, int height);
    void Redraw(int full);
    void UpdateCursor();
    void OnMouseMove(LParam lparam);
    void OnLeftDown(LParam lparam);
    void OnLeftUp(LParam lparam);
    void OnLeftDoubleClick(LParam lparam);
    void OnRightDown(LParam lparam);
    void OnMiddleDown(LParam lparam);
    void OnKeyMessage(int virtual_key);
    void OnWheelMessage(int mode, int delta, kz::platform::Point point);
    void ToolPasteImage(std::int64_t point);
    void ToolPickImage(std::int64_t point);
    void ToolUnpasteFace(std::int64_t point);
    void ToolUnpastePart(std::int64_t point);
    void ToolUnpasteItem(std::int64_t point);
    void DropAtPoint(const char* text);
    int OpenModel(const char* path);
    int OpenModelFile(const char* path, int ask);
    int FindStartFigFile(const char* set_path, char* figure_path);
    int LoadStartSettings(const char* set_path);
    void GoToStartEye();
    void FireStartActions();
    void SetShadowDefaults();
    int RunSchedule(const SystemTime& now);
    void ClearActions();
    void ToggleWalk(int on);
    void FitEyeToModel(double seconds);
    void ApplyVisibility();
    void QueueItemCamera(int item, double seconds);
    void CopyItemToClipboard(int item, int with_children);
    void PasteFromClipboard();
    void PasteAsTrunk(int item);
    void ExecExelData(const char* text, int* a, int* b);
    // Moves the eye to a target (mode 1: eye placed along the current direction at the given distance when no
    // eye is given), animated over seconds on the view clock or at once.
    int AnimateEyeTo(const double* target, int mode, const double* eye, double seconds, double lens, double value,
                     double distance);
    void NextCamera();

    // --- Services of the scene and the bridge ---------------------------------------------------------------
    char* ToAbsolutePath(char* old_text, const char* path, XTrunk* owner) override;
    char* ToRelativePath(char* old_text, const char* path, XTrunk* owner) override;
    int FindDataFile(const char* file_name, char* local_path) override;
    int AddAction(const char* action_line, XLeaves* context, const SystemTime& now) override;
    char* PartPropertyTable(int mode, XLeaves* part, int column) override;
    char* ComputeAttributes(char* old_value, XTrunk* trunk, const char* name, const char* expression) override;
    void ApplyTrunkColor(int trunk_index) override;
    void ApplyTrunkTransparency(int trunk_index) override;
    void ApplyTrunkAppearance(int unused, XTrunk* trunk) override;
    kz::crt::GlobalHandle RenderToDib(int width, int height) override;
    int TrunkCount() override { return trunk_count(); }
    XTrunk* TrunkAt(int index) override;
    XTrunk* CurrentTrunk() override { return TrunkAt(current_trunk_index); }
    void AdoptRootTrunk(XTrunk* root) override;
    int SelectedTrunkIndex() override { return selected_trunk; }
    int DisplayMode() override { return selection_display_mode; }
    int WireSwitch() override { return wire_display; }
    int ChangeLock() override { return change_lock; }
    void SetChangeLock(int on) override { change_lock = on; }
    double LightValue() override { return light_value; }
    void SetLightValue(double value) override { light_value = value; }
    double MenuScreenHeight() override { return menu_screen_height; }
    int TextureOption() override { return texture_option; }
    double ShadowDate() override { return shadow_date; }
    double ShadowTime() override { return shadow_time; }
    void SetShadowDate(double value) override { shadow_date = value; }
    void SetShadowTime(double value) override { shadow_time = value; }
    std::uint32_t BackgroundColor() override { return background_color; }
    void* ViewDeviceContext() override { return view_dc[0].get(); }
    int MovieRecording(int*, int*) override { return 0; }
    int EditFlag() override { return edit_flag; }
    CBusMDL* Bridge() override { return bridge; }
    EyeRecord* Eye() override { return eye; }
    void SetShadowDisplay(int on) override { shadow_display = on; }
    void NotifyStageAdded() override;

    // --- Figure files: reading, records, settings lines, data paths (document side; see app/document/) ------
    int ExpandReference(XTrunk* trunk, int reload, int on_demand);
    void LoadReferenceFile(XTrunk* trunk);
    int CanLoadReference(XTrunk* trunk);
    void ApplyFigureText(char* text);
    int PushReferenceLevel(XTrunk* trunk, const char* name);
    int PopReferenceLevel(const char* name);
    void EnterUnitFile(const char* path);
    void LeaveUnitFile();
    int ApplyFigureLine(const char* line, int line_number);
    int AddTrunkRecord(const char* line);
    int AddShapeRecord(const char* line, int line_number);
    int DuplicateShapes(const char* line);
    void AddPendingLine(const char* line);
    void ClearPendingLines();
    int RegisterPushref(const char* name, int length, int trunk_index);
    int FindPushref(const char* name) const;
    void ClearPushrefTable();
    int ApplyPopref(const char* line);
    int CopyTrunkAt(int source, const double* position, const double* rotation, int with_children);
    int RemoveNotRealTrunks();
    int AddPart(int trunk_index, const kz::scene::COBJECTA* record, int line_number);
    void ApplySetting(const char* text);
    int WriteSettings(kz::foundation::EString* buffer, const char* separator);
    int MapDataName(char* name, char* local_name);
    int ResolveDataPath(const char* url, char* local_name);
    int FindDataFile(const char* name, char* local_name, char* joined_name);
    int CompleteDataPath(char* name);
    void GetUnitFolder(XTrunk* trunk, char* folder);
    int TrunkDownloaded(const XTrunk* trunk) const;
    int LoadsOnDemand(const XTrunk* trunk) const;
    void apply_figure_bytes(std::string* bytes, const char* unit);

    DocumentState document;  // figure-file state of the document half (app/document/document_state.h)
    // --- end of the figure-file block ------------------------------------------------------------------------

    // --- Part property table and attributes (app/document/part_property_table.cpp, computed_attributes.cpp;
    //     the popup text in app/view/attribute_popup.cpp) ------------------------------------------------------
    // mode 1: *labels and *values get new zeroed arrays of 48 heap texts, rows 0..39 filled (free_property_rows);
    // mode 2: *result gets the column's value as a heap text; other modes set the column from text and rebuild the
    // part: 40, or 39 for the transparency column. -1 without a part.
    int PartPropertyTable(XLeaves* part, char*** labels, char*** values, int column, const char* text, int mode,
                          char** result);
    static void free_property_rows(char** rows);
    // mode 0 sets and marks, 1 sets where empty, 2 sets unmarked, 3 deletes; 1 when the target selects the trunk.
    int ApplyAttributeSet(XTrunk* trunk, const kz::scene::ConditionList* target, const char* name, const char* value,
                          const char* expression, int mode);
    int ApplyAttributeSetTree(XTrunk* trunk, const kz::scene::ConditionList* target, const char* name,
                              const char* value, const char* expression, int mode);
    // The item's attribute rows laid out in three columns as a heap text; 0 (popup hidden) when it has none.
    char* ItemAttributeList(char* old, XTrunk* item);
    void SumAttributeInTree(XTrunk* trunk, const char* name, const char* expression, double* sum, int nested);
    void PushAttributeEval(XTrunk* trunk, const char* name);
    int IsAttributeEvalActive(XTrunk* trunk, const char* name);
    static int ParseResultDigits(const char* expression);
    struct AttributeEval {
        XTrunk* trunk = nullptr;
        std::string name;
    };
    std::vector<AttributeEval> attribute_evals;  // (trunk, name) pairs whose count or sum is being computed
    XTrunk* last_top_trunk = nullptr;
    std::string last_top_name;
    // --- end of the property-table block ---------------------------------------------------------------------

    int trunk_count() const { return static_cast<int>(trunks.size()); }

    // --- 1. Folders and names -------------------------------------------------------------------------------
    std::string program_folder;
    std::string temp_folder;
    int last_tool_id = 0;
    int near_target_display = 0;
    std::array<std::string, kKindNameCount> kind_names;
    int layout_done = 0;
    int face_paste = 0;
    SystemTime clock_last_time{};
    double eye_move_time = 0.3;
    int image_paste_range = 3;
    std::string paste_image_name;
    int layout_width = 0, layout_height = 0;
    int wire_display = 0;
    int selection_display_mode = 0;
    char* user_name = nullptr;  // owned heap text
    int user_lock_number = 0;
    int random_number = 0;
    std::vector<char*> text_table;  // owned heap texts

    // --- 2. Windows and folders -----------------------------------------------------------------------------
    void* instance = nullptr;
    WindowHandle parent = nullptr;
    WindowHandle view_window[2] = {nullptr, nullptr};
    WindowHandle comment_window = nullptr;
    std::string comment_text;
    int comment_display = 1;
    double comment_text_factor = 1.0;
    char* base_folder = nullptr;  // owned heap texts
    char* data_folder = nullptr;
    char* data_file_name = nullptr;
    std::string link_base;
    std::string work_folder;
    kz::foundation::StringPairNode* folder_stack = nullptr;
    std::string current_figure_path;
    std::vector<std::string> opened_model_paths;  // every name handed to the figure loader, in order
    int force_download = 0;

    // --- 3./4. Layout, bridge, device contexts ----------------------------------------------------------------
    int margin[4] = {0, 0, 0, 0};
    int fixed_width = 0, fixed_height = 0;
    CBusMDL* bridge = nullptr;  // owned
    int axis_display = 0;
    int plan_display = 0;
    std::unique_ptr<kz::platform::DeviceContext> view_dc[2];
    int window_layout = 0, applied_layout = 0;
    double stereo_eye_distance = 65.0;
    double stereo_factor = 1.0;
    double walk_factor = 1.0;
    std::vector<XTrunk*> trunks;  // owned; entry 0 is the root
    int running_part_count = 0;
    int notreal_mark = 0;
    int loading_settings = 0;

    // --- 5. Scene settings ---------------------------------------------------------------------------------
    std::uint32_t background_color = 0;
    double light_value = 1.0;
    double settings_eye[3] = {1.0, -2.0, 1.0};
    double settings_target[3] = {0.0, 0.0, 0.0};
    double settings_lens = 55.0;
    double menu_screen_height = 1000.0;
    double shadow_date = 0.0, shadow_time = 0.0;
    int shadow_display = 0;
    int texture_option = 0;
    int edit_flag = 0;
    std::uint32_t sky_color = 0x808080;
    _OfuPosition* sky_shape = nullptr;  // the ground grid drawn in the sky colour

    // --- 6. Eye and interaction -----------------------------------------------------------------------------
    int base_lens = 55;
    EyeRecord* eye = nullptr;  // owned
    double draw_time = 0.0;
    double press_handling_seconds = 0.0, press_to_move_seconds = 0.0;
    std::int64_t press_start = 0, press_frequency = 0;
    int press_pending = 0;
    double alt_drag_step = 10.0;
    XTrunk* camera_link_item = nullptr;
    void* current_camera_part = nullptr;  // an XLeaves of the item the eye follows
    XTrunk* camera_part_owner = nullptr;  // the item of that part
    int target = 0;
    int interaction_class = 1;
    int tool_origin_state = -1;
    int view_mode = 1;
    int tool_bits = 3;
    int selected_trunk = -1, selected_part = -1, selected_face = -1;
    int selected_line = -1;
    double selected_position[3] = {};
    int button_state = 2;
    kz::platform::Point tool_point{};

    // --- 7. Schedule and clock ------------------------------------------------------------------------------
    int leave_without_asking = 0;
    double screen_scale = 1.0;
    int paste_target = 0;
    std::vector<int> pushref_table;  // item indices
    int notreal = 0;
    std::vector<TimedEntry> timed_list[2];
    int schedule_suspended = 0;
    SystemTime schedule_time{};
    int actions_off = 0;
    int running_count = 0;
    double fit_time = 0.3;
    int immediate_eye_move = 0;
    int change_lock = 0;
    int timer_slot = -1;
    int keep_running = 0;
    double frame_rate = 30.0;
    int active_motions = 0;
    std::vector<NamedList> named_lists;
    int current_named_list = -1;
    std::vector<CommandBlock*> command_blocks;  // owned
    int current_command_block = -1;
    std::vector<ReferenceLevel> reference_stack;
    int current_trunk_index = -1;
    int notify_mode = 0;
    SystemTime pause_time{};
    SystemTime resume_time{};
    double clock_offset_ms = 0.0;  // one unit everywhere: milliseconds
    int camera_move = 0, playback_step = 0, last_fired_step = -99;
    int camera_entry_trunk = -1;

    // --- 8./9. Timing slots and further lists ---------------------------------------------------------------
    std::array<TimingSlot, kTimingSlotCount> timings{};
    int next_camera_index = 1;
    int collision_check = 0;
    std::vector<std::string> image_names;
    int last_key = 0;
    std::vector<int> range_lower, range_upper;
    int action_parts_display = 0;
    int search_index = 1;
    SystemTime stamp_time{};

    // --- View side: per-frame modeller state, paint, layouts, plan outline, display switches (app/view) -------
    int SyncScene(int refresh);
    void SetProjectionWindow();
    int PushSectionPlane(int on);
    int SetSectionAtPart(int trunk_index, int part_index);
    void PushShadowColor();
    void FollowEye();
    double ComputeSceneBounds(double* box, double* centre);
    int UpdateViewMatrices();
    void LookFromCameraPart(XTrunk* trunk, XLeaves* part);
    void ShowGroundGrid(const double* matrix);
    void CopyViewToDib(kz::crt::GlobalHandle dib);
    void DrawEyeShifted(kz::platform::DeviceContext* dc, double offset);
    int RenderFrame(int flag);
    void SetStereoEye(double offset);
    void CycleLayout();
    void UpdateScreenScale();
    void PrintView(std::int32_t background);
    void DrawPlanOutline(kz::platform::DeviceContext* dc);
    void PropagateUnitColors(XTrunk* trunk, std::int64_t inherited);
    void ShowActionParts(int mode);
    void InvertVisibility();
    void RestoreNearHidden();
    void ResetShownFlags();
    void ApplyProximityDisplay();
    void CountScene();
    // Builds the pick status text; copies it to out when given (out must hold 512 bytes).
    std::string FormatPickStatus(char* out);
    void SyncHandleMarkers();
    void ShowAttributePopup(kz::platform::Point point, int mode);
    void ShowTextWindow(const char* text, kz::platform::Point point, int line_gap, int font_height, int margin);
    void HideCommentWindow();
    static char* JoinColumns(char* heap_text, const char* text1, int width1, const char* text2, int width2,
                             const char* text3, int width3);
    static int CutToWidth(const char* text, char* buffer, int width);
    void DrawOverlayText(const char* text);

    // The shadow and light settings are document.settings (the "set" lines fill them).
    // Section plane: point, three axes, the chosen one and its side, cap colour 0..255.
    int section_switch = 0, section_defined = 0;
    double section_point[3] = {};
    double section_axes[3][3] = {};
    int section_axis = 0, section_side = 0;
    double section_cap_color[3] = {255.0, 0.0, 0.0};
    int second_set = 0;
    _OfuPosition* handle_markers[5] = {};
    _OfuPosition* ground_grid_shape = nullptr;
    double camera_link_numbers[12] = {};
    int unit_depth = 0;
    int scene_stats[4][3] = {};  // trunks, parts, faces, triangles x hidden, visible, shown
    int face_total = 0;
    double scene_radius = 0.0;  // 0: not yet computed
    double scene_centre[3] = {};

    // --- Navigation and the eye move (app/view/navigation.cpp, eye_animation.cpp) ------------------------------
    int SetEye(const double* new_eye, const double* new_target, double lens, int check);
    double ObstacleDistance(const double* from, const double* to);
    int ApproachStep(double amount, double fraction, int mode);
    int OrbitAzimuth(double amount, double scale);
    int OrbitElevation(double amount, double scale);
    int WalkForward(double amount, double scale, int horizontal);
    int WalkSideways(double amount, double scale);
    int WalkVertical(double amount, double scale);
    int HeadAzimuth(double amount, double scale);
    int HeadElevation(double amount, double scale);
    int LensStep(int delta);
    // Null points: no drag; key: a virtual key (37..40 arrows) or 0.
    int Navigate(const kz::platform::Point* from, const kz::platform::Point* to, int wheel_delta, int key);
    void OnMouseWheel(int delta);
    // 0 when no move runs or it just ended, 1 while it runs, -1 before its start.
    int StepCameraMove(const SystemTime& now);
    // The item a camera-entry move hid is shown again with the display flag it had.
    void ShowCameraMoveItem();
    CameraMove camera_motion;  // the running eye move or camera-entry move

    // --- Picking and drag geometry (app/view/picking.cpp, drag_plane.cpp) ----------------------------------------
    // Window points are packed with pack_view_point (x low, y high 32 bits).
    XTrunk* PickItem(std::int64_t point, int* trunk_index, int* part_index, int* face_index, int mask_bit1,
                     int mask_bit2, double* hit);
    kz::scene::XLeaf* PickFace(std::int64_t point, XLeaves* shape, double* hit, int* face_index);
    XTrunk* PickByOutline(std::int64_t point, int* trunk_index, int* part_index, int* face_index, double* hit,
                          int mask);
    int PickRay(std::int64_t point, double* ray);
    XLeaves* PartAtPoint(std::int64_t point);
    void SetDragPlane(int trunk_index, int part_index, int face_index, const double* hit, int store);
    void BeginDragAt(std::int64_t point);
    void DragPointOnPlane(std::int64_t point, double* delta, int trunk_index);
    void DragHeight(std::int64_t point, double* p, double* dz);
    int WorldToPartLocal(const double* world, int trunk_index, int part_index, double* out);
    void LookAtPoint(std::int64_t point);
    void ApproachPoint(std::int64_t point);
    void ApproachFace(std::int64_t point, double value);
    // The part a modeller shape was built from, with its item and part numbers; null for shapes of no part.
    XLeaves* ShapeOwner(_OfuPosition* shape, int* trunk_index, int* part_index);
    // Where the pick ray meets a plane in front of the eye; 0 when it runs parallel or meets it behind.
    int CrossPickRay(std::int64_t point, const double* plane_point, const double* plane_normal, double* out);
    DragPlane drag;                  // the drag plane, last drag points and the stored drag pick
    double window_item_scale = 1.0;  // pixels per window unit, for items drawn in window coordinates
    int ground_grid_switch = 0;

    // --- Part operations and placement (app/view/part_operations.cpp, placement.cpp, face_images.cpp) -----------
    int PlaceItemAtPoint(int item, std::int64_t point);
    int ApplyPartOperation(int trunk_index, int target_kind, int op, double a, double b, double c);
    int MovePart(XLeaves* part, double dx, double dy, double dz);
    int RotatePart(XLeaves* part, double ax, double ay, double az);
    void FireMatchingLeafActions(int origin_trunk, int origin_part, XTrunk* trunk,
                                 const kz::scene::ConditionList* target, int kind);
    int HideLayer(XTrunk* trunk, const char* layer);
    void StartCameraMove(const char* entry_text);
    // Returns the number of copies made.
    int DuplicateTrunkGrid(int source, const double* step, const double* increment, const double* counts,
                           int with_children);
    int PasteImageOnFace(const char* image_path, int trunk_index, int part_index, int face_index);
    int SwapFaceImage(int trunk_index, int part_index, int face_index, const char* old_source, const char* new_path);
    int SwapImageOnParts(const char* new_path, const char* old_source, int trunk_index, int part_index, int mode);
    void ShowSubtreeShapes(int item, int on);
    // The trunk and every trunk below it, children before their parent, each subtree in child order.
    static void CollectSubtree(XTrunk* trunk, std::vector<XTrunk*>* out);
    int paste_size_switch = 0;
    double paste_size[2] = {};
    int walk_run_flag = 0;

    // --- Mouse input and tools (app/view/mouse_input.cpp, mouse_tools.cpp, cursor.cpp) ---------------------------
    void CameraPress(kz::platform::Point point);
    void CameraRelease(kz::platform::Point point);
    void CameraDoubleClick(kz::platform::Point point);
    void DragCamera(kz::platform::Point point);
    void BeginMoveItem(kz::platform::Point point);
    void MoveItemStep(kz::platform::Point point);
    void EndMoveItem(kz::platform::Point point);
    int DragItem(int item, kz::platform::Point last, kz::platform::Point current);
    void FollowDraggedItem(int item);
    // Runs the hover pick that the last queued mouse move left waiting (popup and action cursor).
    void ResolveHoverPick();
    // Referenced files brought in by drops (the figure loader's side).
    int ReplaceItemWithFile(int item, const char* path);
    int AddReferFile(const char* path);
    int IndexOfTrunk(const XTrunk* trunk) const;
    void StartViewTimer();
    static bool key_held(int virtual_key);
    // The part whose shape is under the window point (with its item and part numbers), or null.
    XLeaves* PartUnderPoint(kz::platform::Point point, int* item, int* part);
    int DragImageOnFace(int item, kz::platform::Point current, int dx, int dy);
    // The face tools' pick: false unless it found a face of a part 1.. of an item 1..
    bool PickToolFace(std::int64_t point, int* item, int* part, int* face);
    void RebuildPastedPart(XLeaves* part);
    void UnpasteAll(XLeaves* part);
    void EndFaceTool(int item);
    // A left-button message to the tools handler in the tools class, else to the camera handler.
    void RouteLeftButton(kz::platform::Point point, void (XView::*tools)(kz::platform::Point),
                         void (XView::*camera)(kz::platform::Point));
    MouseState mouse;  // press/last/current points, hover state and drag points (the state word: button_state)

    // --- Timeline pieces the view fires (app/view/timeline.cpp) ---------------------------------------------------
    // mask 0 fires every action item, 1 the single-click (variant 1) items, 2 the double-click (variant 2) ones.
    int FireLeafActions(int item, int part, int mask);
    int QueueAction(const char* line, const SystemTime& stamp, int mask);
    int RunTimedEntries(const SystemTime& now);
    int RunTimedCommands(const SystemTime& now);
    int RunActions(const SystemTime& now);
    int AddTimedCommand(const char* line, const SystemTime& due, int id, int a, int b);
    // 1 with the first match (the trunk itself first, then its children in order) in *result, else 0.
    int FindTargetTrunk(XTrunk* trunk, const kz::scene::ConditionList* target, XTrunk** result);
    // Runs one hit entry ("item;part;tag and target;offset;pose duration;pose easing;mask"); 1 when it opened
    // another model.
    int ExecTag(const char* entry);
    double ExecActionCommand(const char* text, double time, int item, int part);
    SystemTime last_action_start{};
    int schedule_halted = 0;  // a hit disturbed the entry list under the scan: the schedule stands still
    // --- end of the view-side block ---------------------------------------------------------------------------

private:
    void RenumberAfterDelete(int deleted);
    // Mark 1 on every descendant of the trunk, 2 on every ancestor below the root.
    void MarkFamilyOf(XTrunk* selected, void (*mark)(XTrunk*, int));
    void FreeOwnedTables();

    SystemViewClock system_clock;
    ViewClock* clock_source = &system_clock;
    SystemTime clock_anchor_local{};
    std::int64_t clock_anchor_ms = 0;
    std::int64_t ClockMilliseconds();
    SystemTime LocalTime();
};

// The window table shared by the view windows' procedure.
LResult XviewWndProc(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
LResult CommentWndProc(WindowHandle window, std::uint32_t message, WParam wparam, LParam lparam);
XView* find_view_of_window(WindowHandle window);
int view_window_table_count();
// Adds the view's two windows (a window already there is not added twice; a full table refuses more) / removes
// every window of the view.
void register_view_windows(XView* view);
void unregister_view_windows(XView* view);

}  // namespace kz::view
