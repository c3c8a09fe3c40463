// XView, the one document-and-view object: its state in named parts (the headers beside this one) and its
// members, the document half's in app/document and the view half's in app/view.
#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/document/action_words.h"
#include "app/document/display_switches.h"
#include "app/document/document_state.h"
#include "app/document/input_tools.h"
#include "app/document/scene_settings.h"
#include "app/document/timeline_state.h"
#include "app/document/view_camera.h"
#include "app/document/view_clock.h"
#include "app/document/view_output.h"
#include "app/foundation/bridge_services.h"
#include "app/foundation/date_time.h"
#include "app/foundation/eye_record.h"
#include "app/foundation/paths.h"
#include "app/foundation/text_label.h"
#include "app/scene/view_services.h"
#include "platform/device_context.h"
#include "platform/shell.h"
#include "platform/window.h"

struct _OfuPosition;
namespace kz::foundation {
class CBusMDL;
}
namespace kz::scene {
class XLeaf;
class COBJECTA;
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

// What an item looked like before a tool moved it (compared to tell whether it moved).
struct TrunkState {
    std::vector<std::int32_t> numbers;
    std::vector<std::int32_t> values;
    double doubles[5] = {};
    std::int32_t last[2] = {};
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

// What an action command runs for: the chained time, the item and part whose action it is (-1 for none), and
// whether it came from a unit read over "http:".
struct ExcomContext {
    double time = 0.0;
    int item = -1, part = -1;
    int downloaded = 0;
};

// TextLabelView: the captions read the menu screen height and the movie frame size through it.
class XView : public kz::scene::XViewServices,
              public kz::foundation::BridgeServices,
              public kz::foundation::TextLabelView {
public:
    XView(WindowHandle parent, void* instance);
    ~XView() override;
    XView(const XView&) = delete;
    XView& operator=(const XView&) = delete;

    // The view's state in named parts. A field declared `{}` gets its start value from InitDefaults.
    DocumentState document;   // the open model: folders, item array, units, the interpreter's and model's tables
    SceneSettings settings;   // what the "set" lines carry: background, light, shadow, site, the settings' eye
    ViewCamera camera;        // the eye record and lens, eye moves, the followed item or camera part
    TimelineState timeline;   // timed lists, schedule and pauses, clock offset, timer slot, timing slots
    InputTools input;         // interaction state words, selection, mouse and drag state, face-tool settings
    DisplaySwitches display;  // what is drawn and how, the marker and grid shapes, the counts shown
    ViewOutput output;        // windows and their layout, device contexts, the bridge, notices to the parent

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
    // The selected item leaves the model (its children go to its parent); nothing is selected after.
    void DeleteSelected();
    void PasteIntoRoot();
    void LookFromSky();
    void OpenLink(const char* text);
    // Runs the block of format "exeldata-<number>" from the clipboard; the sender's answers (message UM_EXELDATA
    // with two numbers) go through `answer`: -2 and -2 when there is no such block (said on standard error too).
    void ExchangeCommandBlock(LParam number, const std::function<void(std::int64_t, std::int64_t)>& answer);
    void SendNotifyList(const int numbers[10]);
    void SendTitle();

    // --- Scene tree ------------------------------------------------------------------------------------------
    int CreateTrunk(const double* position, const double* rotation, const double* base_point,
                    const double* base_rotation, const char* name);
    void BuildTrunks(XTrunk* source, XTrunk* parent);
    // A copy's parts with their surface and placement and its attributes; the lock owner is dropped.
    void CopyTrunkContent(XTrunk* copy, XTrunk* source);
    int DeleteTrunk(int index, int unlink);
    int DeleteTrunkTree(XTrunk* trunk, int recursive);
    void UnloadReferences(XTrunk* trunk);
    void UnloadReference(XTrunk* trunk, int recursive);
    int HasChangedUnits(XTrunk* trunk);
    void ClearChangedFlags(XTrunk* trunk);
    int MarkTrunkChanged(XTrunk* trunk) override;
    XTrunk* FindUnitTrunk(XTrunk* trunk) override;
    // The unit whose file holds the item's row: the nearest unit above whose own file gave the row on the way
    // up (an item a referring file placed under a unit lives in that file); the root at the top.
    XTrunk* FindRowFileTrunk(XTrunk* trunk);
    void MarkSelectionFamily() override;
    // Per-frame refresh of every item's marks and highlight / selection display.
    void RefreshMarks();
    void RefreshSelectionStyles();
    void SelectItem(int trunk, int part, int face);
    void PassUnitAttributes(XTrunk* trunk, XTrunk* unit, int force);
    // The first item at or after start whose attribute has that value; -1 when none.
    int FindTrunkByAttribute(const char* name, const char* value, int start);
    // The next item with a camera entry after the last one found (from the first again past the end): the eye
    // moves to it and it becomes selected.
    void FocusNextMatch();
    // 1 when a part of the item carries a camera entry ("C", "C1", "C2") in its action column.
    static bool HasCameraEntry(const XTrunk* item);
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
    // A new record owned by the trunk: a copy of `from`, or empty.
    std::unique_ptr<kz::scene::COBJECTA> CreateObjectRecord(const kz::scene::COBJECTA* from, XTrunk* trunk);
    // Rebuilds parts 1.. of item 1..count-1 from their records and places them; 0 for a bad index.
    int RebuildTrunkParts(int index);

    // --- Lock files and stamp names ---------------------------------------------------------------------------
    int ReleaseLockFile(const char* path, const char* user, int number);
    int RemoveOwnLockFiles();
    void MakeStampName(char* buffer) override;

    // --- Folder stack (the data folder and file name saved while units are read) ------------------------------
    void PushDataFolder();
    void PopDataFolder();

    // --- Work of other parts of the view and the document ---------------------------------------------------
    void LayoutWindows(int width, int height);
    void Redraw(int full);
    // From the start model's read on: the program ends (a quit is posted) at the first frame drawing all of the
    // shown model's triangles, however far the eye still has to move; a model no frame shows whole ends at the
    // first frame after the eye has come to rest.
    void EndAtStartModelFrame();
    void UpdateCursor();
    void OnMouseMove(WParam keys, LParam lparam);
    void OnLeftDown(LParam lparam);
    void OnLeftUp(LParam lparam);
    void OnLeftDoubleClick(LParam lparam);
    void OnRightDown(LParam lparam);
    void OnMiddleDown(LParam lparam);
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
    void ExecExelData(const char* text, int* a, int* b);
    // Moves the eye to a target (mode 1: eye placed along the current direction at the given distance when no
    // eye is given), animated over seconds on the view clock or at once.
    int AnimateEyeTo(const double* target, int mode, const double* eye, double seconds, double lens, double value,
                     double distance);

    // --- Services of the scene and the bridge ---------------------------------------------------------------
    char* ToAbsolutePath(char* old_text, const char* path, XTrunk* owner) override;
    char* ToRelativePath(char* old_text, const char* path, XTrunk* owner) override;
    int FindDataFile(const char* file_name, char* local_path) override;
    int FindPastedFile(const char* file_name, char* local_path, const char* what) override;
    int AddAction(const char* action_line, XLeaves* context, const SystemTime& now) override;
    char* PartPropertyTable(int mode, XLeaves* part, int column) override;
    char* ComputeAttributes(char* old_value, XTrunk* trunk, const char* name, const char* expression) override;
    void ApplyTrunkColor(int trunk_index) override;
    void ApplyTrunkTransparency(int trunk_index) override;
    void ApplyTrunkAppearance(int unused, XTrunk* trunk) override;
    kz::crt::GlobalHandle RenderToDib(int width, int height) override;
    // Long work asks this between its steps: false once it should stop where it is (a close came, or the open is
    // stopped). About every 50 ms it serves the windows: they repaint their last image and a close is taken.
    bool KeepWorking() override;
    // The open's memory budget asked before an image is decoded or a drawing read (scene and bridge alike).
    bool MemoryAllows(std::uint64_t bytes, const char* name) override {
        return document.guard.weigh_memory(bytes, name);
    }
    std::uint64_t MemoryRoom() override { return document.guard.memory_room(); }
    int TrunkCount() override { return trunk_count(); }
    XTrunk* TrunkAt(int index) override;
    XTrunk* CurrentTrunk() override { return TrunkAt(document.current_trunk_index); }
    void AdoptRootTrunk(XTrunk* root) override;
    int SelectedTrunkIndex() override { return input.selected_trunk; }
    int DisplayMode() override { return display.selection_display_mode; }
    int WireSwitch() override { return display.wire_display; }
    int ChangeLock() override { return document.change_lock; }
    void SetChangeLock(int on) override { document.change_lock = on; }
    double LightValue() override { return settings.light_value; }
    void SetLightValue(double value) override { settings.light_value = value; }
    double MenuScreenHeight() override { return settings.menu_screen_height; }
    int TextureOption() override { return display.texture_option; }
    double ShadowDate() override { return settings.shadow_date; }
    double ShadowTime() override { return settings.shadow_time; }
    void SetShadowDate(double value) override { settings.shadow_date = value; }
    void SetShadowTime(double value) override { settings.shadow_time = value; }
    std::uint32_t BackgroundColor() override { return settings.background_color; }
    void* ViewDeviceContext() override { return output.view_dc[0].get(); }
    int MovieRecording(int*, int*) override { return 0; }
    int EditFlag() override { return display.edit_flag; }
    CBusMDL* Bridge() override { return output.bridge; }
    EyeRecord* Eye() override { return camera.eye; }
    void SetShadowDisplay(int on) override { settings.shadow_display = on; }
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
    // A pose or stage line for the item: form 0 "pose", 1 "pose2", 2 "pose3", 3 "stage3", 4 "stage2"; next is
    // where the fields after the keyword begin.
    void ApplyPoseRecord(XTrunk* trunk, int form, const char* line, int next);
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
    // Writes the "set" lines; for a model opened through a figure set, the figure file's own values of the
    // settings the session has not changed.
    int WriteSettings(kz::foundation::EString* buffer, const char* separator);
    // Where the eye stands, or goes to while an eye move runs.
    EyePlace EyeHeading() const;
    int MapDataName(char* name, char* local_name);
    int ResolveDataPath(const char* url, char* local_name);
    int FindDataFile(const char* name, char* local_name, char* joined_name);
    int CompleteDataPath(char* name);
    void GetUnitFolder(XTrunk* trunk, char* folder);
    int TrunkDownloaded(const XTrunk* trunk) const;
    int LoadsOnDemand(const XTrunk* trunk) const;
    // Feeds a text's lines to the interpreter; the number of lines skipped as too long.
    int apply_figure_bytes(std::string* bytes, const char* unit);
    // Notes whether a new item's row came from its parent unit's own file (read_from_unit).
    void NoteRowSource(XTrunk* trunk);
    // The unit's file name: "#frefer" with ".fig" added when it has none, resolved against the base folder.
    void UnitFullName(const XTrunk* trunk, char* full);

    // --- end of the figure-file block ------------------------------------------------------------------------

    // --- Figure writers, clipboard paste and referenced units (app/document/figure_writers.cpp,
    //     clipboard_paste.cpp, bang_records.cpp) -----------------------------------------------------------------
    // Writes the unit's file when it is changed (top 1: with the settings and command blocks first) and visits
    // the units below; 1 when its file was written.
    int SaveUnitFig(XTrunk* unit, int top);
    int SaveChildUnits(XTrunk* unit, kz::foundation::EString* buffer);
    // One child's rows: a plain item's subtree in "{" "}", a unit's own file saved and what this file placed
    // under it in "{" "}".
    void SaveChildUnit(XTrunk* child, kz::foundation::EString* buffer);
    int CanWriteUnit(XTrunk* trunk);
    // 1 when the unit's file was read whole (or does not exist yet) and is not fetched over "http:".
    int UnitFileKeptWhole(const XTrunk* trunk) const;
    // The local file a unit is written to, the one it is read from; 0 when it has none ("http:", "file:" of another
    // machine).
    int UnitWriteName(const XTrunk* unit, char* local);
    // Why a changed unit's file is not written by this save (empty: the save's first walk noted it for the user's
    // question); null when it is written.
    const char* UnitWriteRefusal(const XTrunk* unit, const char* local);
    // The save's first walk: where the unit's write lands, and whether it may, may only if the user agrees, or may
    // not land there.
    void JudgeUnitWrite(const XTrunk* unit, const char* local, SaveRun::Judged* judged);
    // Writes the unit's text where the first walk judged it lands; 1 when written.
    int WriteUnitFile(XTrunk* unit, const char* local, const kz::foundation::EString& text);
    int WriteUnitModel(kz::foundation::EString* buffer, XTrunk* trunk, const char* separator);
    void WriteAttributeLines(kz::foundation::EString* buffer, XTrunk* trunk);
    void WritePoseLines(kz::foundation::EString* buffer, XTrunk* trunk);
    int WriteExcoms(kz::foundation::EString* buffer, const char* separator);
    int ItemToText(XTrunk* trunk, kz::foundation::EString* buffer, int with_children, int expand_units);
    void CopyItemToClipboard(int item, int with_children, int expand_units = 0);
    // The save command: the whole model, asking for a file name when the model has none of its own.
    int SaveModel();
    // The clipboard's text without its leading line ends (wrap 1: inside "{" and "}" lines); false when none.
    bool GetClipboardText(std::string* text, int wrap);
    // What the clipboard's text would paste as, by its first telling line: kPasteFigureText, kPasteBangRecords or
    // kPasteNothing.
    int ClipboardPasteKind();
    int PasteFromClipboard();
    int PasteFigureText();
    // point: a packed window point of the first view window to place the new item on, or null.
    void PasteBangRecords(const std::int64_t* point);
    int ConvertBangRecords();
    int PasteClipRef();
    int AddReferFile(const char* path);
    void PasteAsTrunk(int item);
    // path null: the clipboard. The replacing item's index (or the reloaded unit's), -1 on failure.
    int ReplaceItemWithFile(int item, const char* path);
    // --- end of the writers' block ----------------------------------------------------------------------------

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
    // --- end of the property-table block ---------------------------------------------------------------------

    int trunk_count() const { return static_cast<int>(document.trunks.size()); }

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
    void EndIfStartModelShown();
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

    // --- Keyboard commands and key help (app/view/keyboard_commands.cpp, key_help.cpp) -------------------------
    // A key routed by the interaction class; every key is kept as the last key.
    void OnKeyMessage(int virtual_key);
    void OnCameraKey(int virtual_key);
    // 1 when the key is one of the view's commands (handled), 0 for the keys left to navigation.
    int OnKeyDown(int virtual_key);
    // Painted into the frame shown now; the next redraw covers them.
    void DrawKeyHelp();
    void DrawSceneReport();
    // The work folder, home of the download cache, emptied; a note says so.
    void ClearDownloadCache();

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

    // --- Timeline pieces the view fires (app/view/timeline.cpp) ---------------------------------------------------
    // mask 0 fires every action item, 1 the single-click (variant 1) items, 2 the double-click (variant 2) ones.
    int FireLeafActions(int item, int part, int mask);
    int QueueAction(const char* line, const SystemTime& stamp, int mask);
    int RunTimedEntries(const SystemTime& now);
    int RunTimedCommands(const SystemTime& now);
    int RunActions(const SystemTime& now);
    int AddTimedCommand(const char* line, const SystemTime& due, int id, int a, int b, int downloaded = 0);
    // 1 with the first match (the trunk itself first, then its children in order) in *result, else 0.
    int FindTargetTrunk(XTrunk* trunk, const kz::scene::ConditionList* target, XTrunk** result);
    // Runs one hit entry ("item;part;tag and target;offset;pose duration;pose easing;mask"); 1 when it opened
    // another model.
    // downloaded: the hit was queued by a command of a unit that came over "http:".
    int ExecTag(const char* entry, int downloaded = 0);
    double ExecActionCommand(const char* text, double time, int item, int part, int downloaded = 0);
    // --- end of the view-side block ---------------------------------------------------------------------------

    // --- Timed part motions (app/document/timed_motions.cpp) ------------------------------------------------------
    // Appends the parts the condition selects in the item's subtree, children before their parent.
    void ResolveActionTargets(const kz::scene::ConditionList* condition, int item, ActionRecord* record);
    int StartAction(const ActionRecord& record);
    void RemoveAction(int index);
    // One tick of the parts: the due motions start and every item with running motions animates; the number of
    // parts still running.
    int AnimateItems(const SystemTime& now);
    // An item was deleted: its pending motions go, those of later items follow it down one place.
    void RenumberActions(int deleted);

    // --- The link tags' own work (app/document/tag_commands.cpp) ----------------------------------------------
    int PlaySoundTag(const char* name, int mode);
    // Whether the item (-1: the unit being read) or one holding it came over "http:".
    bool CameFromDownload(int item);
    // Asks the user the first time the open model would start this program file with these arguments; never for
    // a unit read over "http:".
    bool MayStartProgram(const std::string& target, const kz::platform::ProgramJudgement& program, int item,
                         int downloaded);
    // A document or address to the desktop's handler; a program only when MayStartProgram allows it.
    bool OpenTarget(const std::string& target, const std::string& parameters, int item, int downloaded);
    void SendViewCommand(int id);
    // The first item from 1 that the target selects a part of; 0 when none.
    int FirstMatchingItem(const char* target, int own_item, int own_part, int* item, int* part);

    // --- Action commands (app/document/action_commands.cpp); each returns the chained time -------------------------
    double ExcomChangeDisplay(const std::string& arguments, const ExcomContext& context);
    double ExcomPopView(const std::string& arguments, const ExcomContext& context);
    double ExcomSetAttribute(const std::string& arguments, const ExcomContext& context);
    double ExcomChangeParameters(const std::string& arguments, const ExcomContext& context);
    double ExcomChangeColour(const std::string& arguments, const ExcomContext& context);
    double ExcomChangeCameraPos(const std::string& arguments, const ExcomContext& context);
    double ExcomHit(const std::string& arguments, const ExcomContext& context);
    double ExcomEye(const std::string& arguments, const ExcomContext& context);
    double ExcomCaption(const std::string& arguments, const ExcomContext& context);
    double ExcomEyePos(const std::string& arguments, const ExcomContext& context);
    double ExcomWindow(const std::string& arguments, const ExcomContext& context);
    double ExcomPlayPose(const std::string& arguments, const ExcomContext& context);
    double ExcomPlayStage(const std::string& arguments, const ExcomContext& context);
    double PlayPoseCommand(const std::string& arguments, const ExcomContext& context, int kind);

    // --- Command names and the command block of other programs (app/document/command_block.cpp) ---------------
    static int CommandIdFromName(const char* name) { return command_id_from_name(name); }
    void MoveFromBlock(int item, const std::vector<std::string>& fields, const std::vector<std::string>& entries);
    // Figure text of a block inside a level of its own; the first item it made (-1 none) into *first_item.
    void ApplyBlockFigureText(const char* text, int* first_item);

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
// Called in every step of long work (null: nothing), so that a test's small files keep the program as busy as
// huge ones would.
void set_work_step_hook_for_testing(void (*hook)());

}  // namespace kz::view
