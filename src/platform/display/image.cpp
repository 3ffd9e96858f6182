// Off-screen images: one small header and one aligned pixel block.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>

#include "display/display_state.h"
#include "platform.h"

namespace {

constexpr std::align_val_t pixel_alignment{64};

}  // namespace

Image* create_image(int width, int height, Pixel fill, int depth, std::uint32_t flags) {
    if (!display().open || width < 1 || height < 1) return nullptr;
    // Only the display's own pixel format exists here; another depth could
    // never be copied to the screen, so no such image is made.
    if (depth != 0 && depth != display_depth) return nullptr;

    // Both sizes are below 2^31, so the byte count fits in 64 unsigned bits.
    const std::uint64_t count = std::uint64_t(width) * std::uint64_t(height);
    const std::uint64_t bytes = count * sizeof(Pixel);
    if (bytes > std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max())) return nullptr;

    auto* pixels = static_cast<Pixel*>(
        ::operator new(static_cast<std::size_t>(bytes), pixel_alignment, std::nothrow));
    if (pixels == nullptr) return nullptr;
    auto* image = new (std::nothrow) Image{width, height, display_depth, width, pixels};
    if (image == nullptr) {
        ::operator delete(pixels, pixel_alignment);
        return nullptr;
    }
    const Pixel value = (flags & fill_with_transparent) ? transparent_colour : fill;
    std::fill_n(pixels, static_cast<std::size_t>(count), value);
    return image;
}

void release_image(Image* image) {
    if (image == nullptr) return;
    ::operator delete(image->pixels, pixel_alignment);
    delete image;
}
