// libFuzzer target for the bitmap reader's core. Besides running it under the
// sanitizers, it checks two promises the loader relies on: the fast paths
// give the general rule's pixels, and the bytes bitmap_bytes_needed names are
// all the decoder looks at.
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/bitmap_reader.h"

namespace {

constexpr Pixel fill = 0x12345678;
// Smaller than most seeds, so rows and columns get cut, larger than some, so
// the corner fill is exercised too.
constexpr int dest_width = 48;
constexpr int dest_height = 40;

struct Outcome {
    int result;
    std::vector<Pixel> pixels;
    BitmapPalette palette;
};

Outcome run(const std::uint8_t* data, std::size_t size, bool fast) {
    // Exactly the destination's size, so a stray write is a heap overflow.
    Outcome o{0, std::vector<Pixel>(dest_width * dest_height, fill), {}};
    Image image{dest_width, dest_height, 32, dest_width, o.pixels.data()};
    o.result = fast ? decode_bitmap(data, size, image, &o.palette)
                    : decode_bitmap_general(data, size, image, &o.palette);
    return o;
}

bool same(const Outcome& a, const Outcome& b) {
    if (a.result != b.result || a.pixels != b.pixels || a.palette.count != b.palette.count) return false;
    for (int i = 0; i < a.palette.count; ++i)
        if (a.palette.colours[i] != b.palette.colours[i]) return false;
    return true;
}

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "fuzz_bitmap: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Outcome fast = run(data, size, true);
    if (!same(fast, run(data, size, false))) fail("fast path differs from the general rule");

    // Copy the input so that a read past the needed bytes is a heap overflow.
    const std::uint64_t needed = bitmap_bytes_needed(data, size);
    if (needed < size) {
        const std::vector<std::uint8_t> prefix(data, data + needed);
        if (!same(fast, run(prefix.data(), prefix.size(), true)))
            fail("decoding the needed bytes alone gives another outcome");
    }
    return 0;
}
