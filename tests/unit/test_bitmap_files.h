// Small BMP files built from byte tables, for the reader's tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/bitmap_reader.h"
#include "platform.h"

using Bytes = std::vector<std::uint8_t>;

// The header fields a test sets; everything else follows from them.
struct BmpHeader {
    std::uint32_t header_size = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t planes = 1;
    std::uint16_t bits = 24;
    std::uint32_t compression = 0;
    // Written inside the information header from 52 bytes on (where 108-byte
    // headers keep them), else right after it.
    std::vector<std::uint32_t> masks = {};
    std::vector<std::uint32_t> palette = {};  // 0xRRGGBB; 3 bytes each for header size 12
    // -1: right after the palette; 0 is written as 0 with the rows there too.
    // A larger value leaves a gap of zeros, a smaller one cuts what is before.
    std::int64_t data_offset = -1;
};

inline void put16(Bytes& b, std::size_t at, std::uint32_t v) {
    b[at] = std::uint8_t(v);
    b[at + 1] = std::uint8_t(v >> 8);
}

inline void put32(Bytes& b, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = std::uint8_t(v >> (8 * i));
}

// A whole file: file header, information header, masks, palette, then `rows`
// exactly as given (padding included), from the data offset on.
inline Bytes bmp_file(const BmpHeader& h, const Bytes& rows) {
    const std::size_t hs = h.header_size;
    Bytes b(14 + hs, 0);
    b[0] = 'B';
    b[1] = 'M';
    put32(b, 14, h.header_size);
    if (hs == 12) {
        put16(b, 18, std::uint32_t(h.width));
        put16(b, 20, std::uint32_t(h.height));
        put16(b, 22, h.planes);
        put16(b, 24, h.bits);
    } else {
        put32(b, 18, std::uint32_t(h.width));
        put32(b, 22, std::uint32_t(h.height));
        put16(b, 26, h.planes);
        put16(b, 28, h.bits);
        if (hs >= 20) put32(b, 30, h.compression);
    }
    if (hs >= 52) {
        for (std::size_t i = 0; i < h.masks.size() && 54 + 4 * i + 4 <= b.size(); ++i)
            put32(b, 54 + 4 * i, h.masks[i]);
    } else {
        for (std::uint32_t m : h.masks) {
            b.resize(b.size() + 4);
            put32(b, b.size() - 4, m);
        }
    }
    for (std::uint32_t c : h.palette) {
        b.push_back(std::uint8_t(c));
        b.push_back(std::uint8_t(c >> 8));
        b.push_back(std::uint8_t(c >> 16));
        if (hs != 12) b.push_back(0);
    }
    const std::size_t offset = h.data_offset > 0 ? std::size_t(h.data_offset) : b.size();
    put32(b, 10, h.data_offset == 0 ? 0 : std::uint32_t(offset));
    b.resize(offset);
    b.insert(b.end(), rows.begin(), rows.end());
    put32(b, 2, std::uint32_t(b.size()));
    return b;
}

// A destination of w x h pixels filled with `fill`, decoded into.
struct Decoded {
    int result;
    int width;
    int height;
    std::vector<Pixel> pixels;
    Pixel at(int x, int y) const { return pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
};

inline constexpr Pixel test_fill = transparent_colour;

inline Decoded decode_into(const Bytes& file, int w, int h, bool fast_paths = true,
                           BitmapPalette* palette = nullptr, Pixel fill = test_fill) {
    Decoded d{0, w, h, std::vector<Pixel>(std::size_t(w) * std::size_t(h), fill)};
    Image image{w, h, 32, w, d.pixels.data()};
    d.result = fast_paths ? decode_bitmap(file.data(), file.size(), image, palette)
                          : decode_bitmap_general(file.data(), file.size(), image, palette);
    return d;
}
