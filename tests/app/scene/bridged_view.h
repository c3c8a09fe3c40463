// A view for the scene's end-to-end tests: the recording fake's services with a real bridge drawing headless into
// a window device context, its part array, and the figure line -> part -> shape steps the document takes.
#pragma once
#include <memory>

#include "app/foundation/bridge_services.h"
#include "app/foundation/bus_mdl.h"
#include "app/foundation/eye_record.h"
#include "app/scene/xleaves.h"
#include "app/scene/xtrunk.h"
#include "modeller/render_support.h"
#include "platform/device_context.h"
#include "recording_view_services.h"

namespace kz::scene::test {

class BridgedView : public RecordingViewServices, public kz::foundation::BridgeServices {
public:
    static constexpr int kSize = 64;
    // With bridge false the view has no bridge (the builders' plain path).
    explicit BridgedView(bool with_bridge = true, int size = kSize);
    ~BridgedView() override;

    void BeginTiming(int slot) override { RecordingViewServices::BeginTiming(slot); }
    void EndTiming(int slot) override { RecordingViewServices::EndTiming(slot); }
    void* ViewDeviceContext() override { return dc.get(); }
    std::uint32_t BackgroundColor() override { return 0; }
    double LightValue() override { return RecordingViewServices::LightValue(); }
    void SetShadowDisplay(int on) override { RecordingViewServices::SetShadowDisplay(on); }
    kz::crt::GlobalHandle RenderToDib(int, int) override { return nullptr; }

    // A new part under the current trunk (the root first) or, when given, under `parent`, which becomes the current
    // trunk; the part is added to the part array.
    XTrunk* add_trunk(const char* name = nullptr, XTrunk* parent = nullptr);
    // A shape of the part read from a figure line and built, with the part's matrices pushed to the model.
    XLeaves* add_shape(XTrunk* trunk, const char* line);

    // Camera, black background and one white ambient light that shows every face in its own colour.
    void look(const OfuVector3& eye, const OfuVector3& target, double fov = 30.0);
    kz::test::Frame render();
    _O3duCamera camera() const;

    std::unique_ptr<kz::platform::DeviceContext> dc;
    std::unique_ptr<kz::foundation::CBusMDL> bridge_owner;
    kz::foundation::EyeRecord eye_record;
};

}  // namespace kz::scene::test
