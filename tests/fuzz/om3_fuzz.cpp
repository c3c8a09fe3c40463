// OM3 mesh files through the reader, in both modes: a file is taken, or refused with a reason and nothing of it
// reaches the modeller.
#include <memory>
#include <string>
#include <string_view>

#include "modeller/files/o3du_read_mesh3.h"
#include "modeller/gl_modelar.h"
#include "platform/device_context.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct Target {
    std::unique_ptr<kz::platform::DeviceContext> dc = kz::platform::DeviceContext::create_window(16, 16);
    CO3duGLModelar modeller;
    Target() {
        HDC hdc = dc.get();
        modeller.Initialize(hdc);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Target target;
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    for (int single : {0, 1}) {
        CO3duPosList added;
        std::string error;
        const int read =
            CO3duReadMesh3::ReadData(target.modeller, std::string_view(bytes.data(), size), added, single, error);
        CO3duPosList shapes;
        target.modeller.GetPosArray(shapes);
        if (!read && (error.empty() || shapes.GetSize() != 0 || target.modeller.GetTexCount() != 0))
            kz::fuzz::fail("a refused file reached the modeller", error, std::to_string(shapes.GetSize()));
        target.modeller.RemoveShapeAll();
        target.modeller.RemoveAllTexture();
    }
    return 0;
}
