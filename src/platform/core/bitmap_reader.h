// The BMP reader's core: parses a file's bytes held in memory and stores the
// rows into an image. load_bitmap wraps it with the display check, the file
// and the display lock; the fuzz target and tests call it directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "platform.h"

// Result codes, as load_bitmap returns them.
enum BitmapResult : int {
    bitmap_read = 0,
    bitmap_no_display = 1,
    bitmap_cannot_open = 2,
    bitmap_bad = 3,
};

// Leading bytes of a file that bitmap_bytes_needed must be given (or the whole
// file when it is shorter): every fixed header field lies within them.
inline constexpr std::size_t bitmap_header_bytes = 70;

// Decodes `size` bytes of a BMP file into the top-left corner of `dest`.
// Returns bitmap_read or bitmap_bad; rows stored before an early end stay.
// palette_out, when given, gets the palette entries read (count 0 if none).
int decode_bitmap(const std::uint8_t* data, std::size_t size, Image& dest,
                  BitmapPalette* palette_out);

// As decode_bitmap, but converts every pixel by the general rule, never by a
// fast path; tests compare the two.
int decode_bitmap_general(const std::uint8_t* data, std::size_t size, Image& dest,
                          BitmapPalette* palette_out);

// How many leading bytes of the file decode_bitmap can look at, judged from
// its first `size` bytes (at least bitmap_header_bytes, or the whole file):
// `size` when the header is rejected, UINT64_MAX when the whole file may be
// needed (run-length encoded rows). Saturates instead of overflowing.
std::uint64_t bitmap_bytes_needed(const std::uint8_t* data, std::size_t size);
