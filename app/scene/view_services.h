// What the scene model needs of the document-and-view object: its services and the view values it reads or sets.
// XView implements this; the scene holds only this interface, so it never includes a header from above it.
#pragma once
#include <cstdint>

#include "app/foundation/date_time.h"
#include "platform/crt/global_memory.h"

namespace kz::foundation {
class CBusMDL;
struct EyeRecord;
}  // namespace kz::foundation

namespace kz::scene {

using kz::foundation::CBusMDL;
using kz::foundation::EyeRecord;
using kz::foundation::SystemTime;
class XTrunk;
class XLeaves;

class XViewServices {
public:
    virtual ~XViewServices() = default;

    // --- Document services ---------------------------------------------------------------------------------

    // The path resolved against the folder of the unit that holds `owner`; `old_text` is freed. An empty path
    // frees `old_text` and gives null. The result is a heap text (set_heap_string) the caller owns.
    virtual char* ToAbsolutePath(char* old_text, const char* path, XTrunk* owner) = 0;
    // The path made relative to the folder of `owner`'s unit when relative paths are written, else a copy;
    // null for an empty path. The caller frees the heap text.
    virtual char* ToRelativePath(char* old_text, const char* path, XTrunk* owner) = 0;
    // Non-zero when the file exists; its local name goes to `local_path` (at least 1024 bytes).
    virtual int FindDataFile(const char* file_name, char* local_path) = 0;
    // As FindDataFile, for a file pasted on a face (`what`: "texture image", "pasted drawing"); the viewer says on
    // standard error, once for each name while the model is open, when it exists nowhere.
    virtual int FindPastedFile(const char* file_name, char* local_path, const char* /*what*/) {
        return FindDataFile(file_name, local_path);
    }
    // Queues one timed motion "target;property;mode;value;start;duration;last" for `context`'s part, with
    // start times counted from `now`; the index of the queued record, or -1 when the target selects no part.
    virtual int AddAction(const char* action_line, XLeaves* context, const SystemTime& now) = 0;
    // Read-back mode (2) of the property table: column 0..39 of `part` as a new heap text the caller frees.
    virtual char* PartPropertyTable(int mode, XLeaves* part, int column) = 0;
    // The old value unless `expression` starts "=sum;" or "=count;"; then the subtree's total as a new heap text
    // that replaces (and frees) the old one.
    virtual char* ComputeAttributes(char* old_value, XTrunk* trunk, const char* name, const char* expression) = 0;

    // --- View services -------------------------------------------------------------------------------------

    // Statistics only: builders pass their kind, the build dispatch 14, the bridge's polygon commit 13.
    virtual void BeginTiming(int slot) = 0;
    virtual void EndTiming(int slot) = 0;
    // Index of `name` in the image-name table (exact compare), appended when missing.
    virtual int InternName(const char* name) = 0;
    // Every operation that changes stored data reports its trunk; ignored while the change lock is on.
    virtual int MarkTrunkChanged(XTrunk* trunk) = 0;
    // Nearest ancestor carrying a referenced unit file, else the root.
    virtual XTrunk* FindUnitTrunk(XTrunk* trunk) = 0;
    // -1 before `start`; 1 with `to` once `duration_ms` has passed; else 0 with the eased value (0 ease-out,
    // 1 linear, 2 ease-in; any other easing is linear). The view's clock offset counts against the elapsed time.
    virtual int InterpolateAtTime(const SystemTime& start, double from, double to, const SystemTime& now,
                                  double duration_ms, double* value, int easing) = 0;
    virtual void ApplyTrunkColor(int trunk_index) = 0;
    virtual void ApplyTrunkTransparency(int trunk_index) = 0;
    virtual void ApplyTrunkAppearance(int unused, XTrunk* trunk) = 0;
    virtual void MarkSelectionFamily() = 0;
    // Writes a new unique item name "z-%08d-%06d-%03d-%02d" into `buffer` (at least 32 bytes).
    virtual void MakeStampName(char* buffer) = 0;
    virtual void ParseNumberRanges(const char* text) = 0;
    virtual int InNumberRanges(int number) = 0;
    virtual void GetClockTime(SystemTime* out) = 0;
    // A new movable 24-bit packed DIB of the view at that size, or null; the caller owns it.
    virtual kz::crt::GlobalHandle RenderToDib(int width, int height) = 0;
    // Asked again and again by long work on the user-interface thread (reading a drawing and laying it on a face):
    // false once the work should stop where it is (the window is being closed, or the open is stopped). The viewer
    // serves its windows meanwhile.
    virtual bool KeepWorking() = 0;
    // Whether `bytes` more memory may be taken now for what `name` holds (a drawing about to be read): false when
    // the model being opened would pass its budget, which stops the open.
    virtual bool MemoryAllows(std::uint64_t /*bytes*/, const char* /*name*/) { return true; }

    // --- View values read by the scene ---------------------------------------------------------------------

    virtual int TrunkCount() = 0;
    virtual XTrunk* TrunkAt(int index) = 0;  // entry 0 is the root
    virtual XTrunk* CurrentTrunk() = 0;      // new trunks become its children
    // The trunk of index 0 becomes entry 0 of the trunk array, the root and the current trunk.
    virtual void AdoptRootTrunk(XTrunk* root) = 0;
    virtual int SelectedTrunkIndex() = 0;
    virtual int DisplayMode() = 0;  // 0..4
    virtual int WireSwitch() = 0;
    virtual int ChangeLock() = 0;
    virtual void SetChangeLock(int on) = 0;
    virtual double LightValue() = 0;  // column 42, 1.0 by default
    virtual void SetLightValue(double value) = 0;
    virtual double MenuScreenHeight() = 0;  // 1000.0 by default
    virtual int TextureOption() = 0;
    virtual double ShadowDate() = 0;  // column 43
    virtual double ShadowTime() = 0;  // column 44
    virtual void SetShadowDate(double value) = 0;
    virtual void SetShadowTime(double value) = 0;
    virtual std::uint32_t BackgroundColor() = 0;  // COLORREF
    virtual void* ViewDeviceContext() = 0;
    // Non-zero while an AVI movie is recorded; its frame size goes to the outputs.
    virtual int MovieRecording(int* frame_width, int* frame_height) = 0;
    // 1 makes the poly and revolution builders write their normalised polygon text back into the record.
    virtual int EditFlag() = 0;
    virtual CBusMDL* Bridge() = 0;
    virtual EyeRecord* Eye() = 0;

    // --- View values set by the scene ----------------------------------------------------------------------

    virtual void SetShadowDisplay(int on) = 0;
    // Message 0x5511 (wParam 0, lParam 0) to the view's parent window: a stage was added to a trunk.
    virtual void NotifyStageAdded() = 0;
};

}  // namespace kz::scene
