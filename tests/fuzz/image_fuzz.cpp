// Image files through the image layer: decoded within the size limits, or refused; a decoded picture is a DIB
// whose rows all lie inside its block.
#include "platform/crt/global_memory.h"
#include "platform/device_context.h"
#include "platform/image_io.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<char> bytes = kz::fuzz::terminated_copy(data, size);
    for (int fit : {0, 4096}) {
        kz::crt::GlobalHandle dib = kz::platform::load_image_dib_from_memory(bytes.data(), size, fit);
        if (!dib) continue;
        const auto* header = static_cast<const kz::platform::DibInfoHeader*>(kz::crt::global_lock(dib));
        const std::uint64_t need =
            static_cast<std::uint64_t>(kz::platform::dib_stride(header->width, header->bit_count)) *
            static_cast<std::uint64_t>(header->height);
        if (header->width <= 0 || header->height <= 0 ||
            static_cast<std::int64_t>(header->width) * header->height > kz::platform::kMaxImagePixels ||
            kz::crt::global_size(dib) < sizeof *header + need)
            kz::fuzz::fail("decoded image breaks its limits", std::to_string(header->width),
                           std::to_string(header->height));
        kz::crt::global_unlock(dib);
        kz::crt::global_free(dib);
    }
    return 0;
}
