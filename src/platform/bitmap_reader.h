// The BMP reader's core: parses a file's bytes held in memory and stores the
// rows into an image. load_bitmap wraps it with the display check, the file
// and the display lock; the fuzz target and tests call it directly.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform.h"

// Result codes, as load_bitmap returns them.
enum BitmapResult : int {
    bitmap_read = 0,
    bitmap_no_display = 1,
    bitmap_cannot_open = 2,
    bitmap_bad = 3,
};

// Decodes `size` bytes of a BMP file into the top-left corner of `dest`.
// Returns bitmap_read or bitmap_bad; rows stored before an early end stay.
int decode_bitmap(const std::uint8_t* data, std::size_t size, Image& dest,
                  BitmapPalette* palette_out);
