// Feeds arbitrary bytes to the bitmap reader, as a file and as a bare DIB, and traces whatever
// it accepts.

#include "core/pad/DibImage.h"
#include "core/pad/PadBitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <vector>

namespace {

void Check(const std::optional<vext::DibImage>& image) {
    if (!image) {
        return;
    }
    const auto w = static_cast<std::size_t>(image->Width());
    const auto h = static_cast<std::size_t>(image->Height());
    if (w == 0 || h == 0 || image->Indexes().size() != w * h) {
        std::abort();
    }
    const std::vector<vext::PadPoint> outline = vext::TracePadRegion(*image);
    const std::vector<vext::PadPoint> cut = vext::TracePadRegion(*image, vext::IsPlainBackground);
    if (outline.size() > 2 * h || cut.size() > outline.size()) {
        std::abort();
    }
    for (const vext::PadPoint& p : outline) {
        if (p.x < 0 || p.y < 0 || static_cast<std::size_t>(p.x) >= w ||
            static_cast<std::size_t>(p.y) >= h) {
            std::abort();
        }
    }
    (void)vext::BuildPalette(*image);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    Check(vext::DibImage::FromBmpFile(bytes));
    Check(vext::DibImage::FromDib(bytes));
    return 0;
}
