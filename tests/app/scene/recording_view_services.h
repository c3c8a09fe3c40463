// A stand-in for XView's services in the scene's tests: records every call, resolves paths under a fixed unit
// folder and back, keeps an image-name table, and answers the view values with settable fields.
#pragma once
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/action_list.h"
#include "app/scene/view_services.h"
#include "app/scene/xtrunk.h"

namespace kz::scene::test {

class RecordingViewServices : public XViewServices {
public:
    static constexpr const char* kUnitFolder = "C:\\unit\\";

    std::vector<std::string> calls;
    std::vector<std::string> image_names{"clear"};
    double clock_offset_ms = 0;
    int change_lock = 0;
    double light_value = 1.0;
    double shadow_date = 0;
    double shadow_time = 0;
    int shadow_display = 1;
    // The view's part array (entry 0 the root), selection and display state, the bridge and the eye.
    std::vector<XTrunk*> trunks;
    XTrunk* current_trunk = nullptr;
    int selected_trunk = -1;
    int display_mode = 0;
    int wire_switch = 0;
    CBusMDL* bridge = nullptr;
    EyeRecord* eye = nullptr;
    // Local folder that data files named under the unit folder are found in ("" finds none).
    std::string data_folder;

    char* ToAbsolutePath(char* old_text, const char* path, XTrunk*) override {
        calls.push_back(std::string("ToAbsolutePath ") + (path ? path : "(null)"));
        kz::foundation::free_and_null(old_text);
        if (!path || !*path) return nullptr;
        return heap(std::strncmp(path, "C:\\", 3) == 0 ? std::string(path) : kUnitFolder + std::string(path));
    }
    char* ToRelativePath(char* old_text, const char* path, XTrunk*) override {
        calls.push_back(std::string("ToRelativePath ") + (path ? path : "(null)"));
        kz::foundation::free_and_null(old_text);
        if (!path || !*path) return nullptr;
        const std::size_t n = std::strlen(kUnitFolder);
        return heap(std::strncmp(path, kUnitFolder, n) == 0 ? std::string(path + n) : std::string(path));
    }
    int FindDataFile(const char* file_name, char* local_path) override {
        calls.push_back(std::string("FindDataFile ") + file_name);
        local_path[0] = 0;
        if (data_folder.empty()) return 0;
        std::string name(file_name);
        if (name.rfind(kUnitFolder, 0) == 0) name.erase(0, std::strlen(kUnitFolder));
        const std::string local = data_folder + "/" + name;
        if (FILE* f = std::fopen(local.c_str(), "rb")) {
            std::fclose(f);
            std::snprintf(local_path, 1024, "%s", local.c_str());
            return 1;
        }
        return 0;
    }
    int AddAction(const char* line, XLeaves*, const SystemTime&) override {
        calls.push_back(std::string("AddAction ") + line);
        return static_cast<int>(calls.size());
    }
    char* PartPropertyTable(int mode, XLeaves*, int column) override {
        calls.push_back("PartPropertyTable " + std::to_string(mode) + " " + std::to_string(column));
        return heap("0");
    }
    char* ComputeAttributes(char* old_value, XTrunk*, const char* name, const char*) override {
        calls.push_back(std::string("ComputeAttributes ") + name);
        return old_value;
    }
    void BeginTiming(int slot) override { calls.push_back("BeginTiming " + std::to_string(slot)); }
    void EndTiming(int slot) override { calls.push_back("EndTiming " + std::to_string(slot)); }
    int InternName(const char* name) override {
        for (std::size_t i = 0; i < image_names.size(); ++i)
            if (image_names[i] == name) return static_cast<int>(i);
        image_names.emplace_back(name);
        return static_cast<int>(image_names.size() - 1);
    }
    int MarkTrunkChanged(XTrunk*) override {
        calls.push_back("MarkTrunkChanged");
        return 0;
    }
    XTrunk* FindUnitTrunk(XTrunk* trunk) override { return trunk; }
    int InterpolateAtTime(const SystemTime& start, double from, double to, const SystemTime& now, double duration_ms,
                          double* value, int easing) override {
        const double elapsed = static_cast<double>(kz::foundation::time_diff_ms(start, now)) - clock_offset_ms;
        return interpolate_elapsed(elapsed, from, to, duration_ms, value, easing);
    }
    void ApplyTrunkColor(int index) override { calls.push_back("ApplyTrunkColor " + std::to_string(index)); }
    void ApplyTrunkTransparency(int index) override {
        calls.push_back("ApplyTrunkTransparency " + std::to_string(index));
    }
    void ApplyTrunkAppearance(int, XTrunk* trunk) override {
        char text[96];
        std::snprintf(text, sizeof text, "ApplyTrunkAppearance %d 0x%06X %g", trunk ? trunk->index : -1,
                      trunk ? trunk->highlight_color : 0u, trunk ? trunk->highlight_transparency : 0.0);
        calls.push_back(text);
    }
    void MarkSelectionFamily() override { calls.push_back("MarkSelectionFamily"); }
    void MakeStampName(char* buffer) override { std::strcpy(buffer, "z-20260101-000000-000-00"); }
    void ParseNumberRanges(const char* text) override { calls.push_back(std::string("ParseNumberRanges ") + text); }
    int InNumberRanges(int) override { return 1; }
    bool KeepWorking() override { return true; }
    void GetClockTime(SystemTime* out) override { *out = SystemTime{}; }
    kz::crt::GlobalHandle RenderToDib(int, int) override { return nullptr; }

    int TrunkCount() override { return static_cast<int>(trunks.size()); }
    XTrunk* TrunkAt(int i) override { return i >= 0 && i < TrunkCount() ? trunks[i] : nullptr; }
    XTrunk* CurrentTrunk() override { return current_trunk; }
    void AdoptRootTrunk(XTrunk* root) override {
        if (trunks.empty())
            trunks.push_back(root);
        else
            trunks[0] = root;
        current_trunk = root;
    }
    int SelectedTrunkIndex() override { return selected_trunk; }
    int DisplayMode() override { return display_mode; }
    int WireSwitch() override { return wire_switch; }
    int ChangeLock() override { return change_lock; }
    void SetChangeLock(int on) override { change_lock = on; }
    double LightValue() override { return light_value; }
    void SetLightValue(double value) override { light_value = value; }
    double MenuScreenHeight() override { return 1000.0; }
    int TextureOption() override { return 0; }
    double ShadowDate() override { return shadow_date; }
    double ShadowTime() override { return shadow_time; }
    void SetShadowDate(double value) override { shadow_date = value; }
    void SetShadowTime(double value) override { shadow_time = value; }
    std::uint32_t BackgroundColor() override { return 0; }
    void* ViewDeviceContext() override { return nullptr; }
    int MovieRecording(int*, int*) override { return 0; }
    int EditFlag() override { return 0; }
    CBusMDL* Bridge() override { return bridge; }
    EyeRecord* Eye() override { return eye; }
    void SetShadowDisplay(int on) override { shadow_display = on; }
    void NotifyStageAdded() override { calls.push_back("NotifyStageAdded"); }

private:
    static char* heap(const std::string& s) { return kz::foundation::set_heap_string(nullptr, s.c_str(), nullptr, -1); }
};

}  // namespace kz::scene::test
