// A stand-in for XView's services in the scene's tests: records every call, resolves paths under a fixed unit
// folder and back, keeps an image-name table, and answers the view values with settable fields.
#pragma once
#include <cstring>
#include <string>
#include <vector>

#include "app/foundation/heap_text.h"
#include "app/scene/action_list.h"
#include "app/scene/view_services.h"

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
    void ApplyTrunkAppearance(int, XTrunk*) override { calls.push_back("ApplyTrunkAppearance"); }
    void MarkSelectionFamily() override { calls.push_back("MarkSelectionFamily"); }
    void MakeStampName(char* buffer) override { std::strcpy(buffer, "z-20260101-000000-000-00"); }
    void ParseNumberRanges(const char* text) override { calls.push_back(std::string("ParseNumberRanges ") + text); }
    int InNumberRanges(int) override { return 1; }
    void GetClockTime(SystemTime* out) override { *out = SystemTime{}; }
    kz::crt::GlobalHandle RenderToDib(int, int) override { return nullptr; }

    int TrunkCount() override { return 0; }
    XTrunk* TrunkAt(int) override { return nullptr; }
    XTrunk* CurrentTrunk() override { return nullptr; }
    int SelectedTrunkIndex() override { return -1; }
    int DisplayMode() override { return 0; }
    int WireSwitch() override { return 0; }
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
    CBusMDL* Bridge() override { return nullptr; }
    EyeRecord* Eye() override { return nullptr; }
    void SetShadowDisplay(int on) override { shadow_display = on; }
    void NotifyStageAdded() override { calls.push_back("NotifyStageAdded"); }

private:
    static char* heap(const std::string& s) { return kz::foundation::set_heap_string(nullptr, s.c_str(), nullptr, -1); }
};

}  // namespace kz::scene::test
