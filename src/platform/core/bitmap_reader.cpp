// BMP decoding from bytes in memory. Every read is checked against the byte
// count, all size and offset arithmetic is done in 64 bits, and nothing is
// allocated: a header may claim any size, the work is bounded by the bytes
// that are really there. The common layouts (8-bit palette, 24-bit, 32-bit)
// have fast row converters beside the general rule; they give the same pixels.
#include "core/bitmap_reader.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <limits>

#if defined(__x86_64__)
#include <immintrin.h>
#define BITMAP_READER_X86 1
#endif

namespace {

constexpr std::uint64_t saturated = std::numeric_limits<std::uint64_t>::max();

constexpr std::uint32_t compression_none = 0;
constexpr std::uint32_t compression_rle8 = 1;
constexpr std::uint32_t compression_rle4 = 2;
constexpr std::uint32_t compression_bit_fields = 3;

constexpr std::uint64_t file_header_size = 14;
constexpr std::uint64_t masks_after_header_size = 12;  // red, green, blue
constexpr Pixel opaque = 0xFF000000u;
// Palette indices that the file's palette does not reach show as this.
constexpr Pixel missing_palette_colour = opaque;

// Information header sizes that decide which fields exist (see parse_layout).
constexpr std::uint32_t core_header = 12;
constexpr std::uint32_t first_long_header = 16;
constexpr std::uint32_t header_with_compression = 20;
constexpr std::uint32_t header_with_image_size = 24;
constexpr std::uint32_t header_with_inner_masks = 52;  // red, green, blue inside
constexpr std::uint32_t header_with_inner_alpha = 56;
constexpr std::uint32_t header_with_all_masks = 108;
constexpr std::uint64_t masks_field_at = 54;  // file offset of the red mask

constexpr std::uint32_t default_masks_16[3] = {0x7C00, 0x03E0, 0x001F};
constexpr std::uint32_t default_masks_32[3] = {0xFF0000, 0x00FF00, 0x0000FF};

std::uint64_t add_sat(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r;
    return __builtin_add_overflow(a, b, &r) ? saturated : r;
}

std::uint64_t mul_sat(std::uint64_t a, std::uint64_t b) {
    std::uint64_t r;
    return __builtin_mul_overflow(a, b, &r) ? saturated : r;
}

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }

std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// True when `count` bytes starting at `at` lie inside the data.
bool inside(std::uint64_t at, std::uint64_t count, std::size_t size) {
    return at <= size && count <= size - at;
}

// Everything the header says about where things are and how pixels look.
struct Layout {
    std::uint32_t header_size;
    std::int64_t width;
    std::int64_t height;  // absolute value
    bool top_down;
    unsigned bits;  // bits per pixel
    std::uint32_t compression;
    std::uint64_t fields_end;      // end of the fixed header fields read
    std::uint32_t masks[4];        // red, green, blue, alpha
    std::uint64_t masks_at;        // masks that follow the information header; 0 if none
    std::uint64_t palette_at;
    std::uint32_t palette_entries;
    unsigned entry_size;           // 3 or 4 bytes
    std::uint64_t rows_at;
    std::uint64_t row_bytes;       // pixel bytes of one row
    std::uint64_t row_stride;      // row_bytes padded to a multiple of 4
};

// Reads and checks the fixed header fields. Masks after the header, the
// palette and the rows are only located here; their bytes are read later.
bool parse_layout(const std::uint8_t* data, std::size_t size, Layout& l) {
    // The first byte alone decides: 0xFD and 0xFE (a raw image dump) are
    // not taken either.
    if (size < 1 || data[0] != 'B') return false;
    if (size < file_header_size + 4 || data[1] != 'M') return false;

    l = Layout{};
    const std::uint32_t data_offset = le32(data + 10);
    const std::uint32_t hs = le32(data + 14);
    l.header_size = hs;
    if (hs < core_header || (hs > core_header && hs < first_long_header)) return false;

    std::uint32_t planes = 0;
    if (hs == core_header) {
        l.fields_end = 26;
        if (size < l.fields_end) return false;
        l.width = le16(data + 18);
        l.height = le16(data + 20);
        planes = le16(data + 22);
        l.bits = le16(data + 24);
    } else {
        l.fields_end = hs < header_with_compression  ? 30
                       : hs < header_with_image_size ? 34
                       : hs < header_with_all_masks  ? 38
                                                     : 70;
        if (size < l.fields_end) return false;
        l.width = std::int32_t(le32(data + 18));
        l.height = std::int32_t(le32(data + 22));
        planes = le16(data + 26);
        l.bits = le16(data + 28);
        if (hs >= header_with_compression) l.compression = le32(data + 30);
    }

    if (planes > 1 || l.width < 1 || l.height == 0) return false;
    // Negating the smallest height would overflow a 32-bit value.
    if (l.height == INT32_MIN) return false;
    if (l.compression > compression_bit_fields) return false;
    if (l.height < 0 && l.compression != compression_none &&
        l.compression != compression_bit_fields)
        return false;
    if (l.bits == 0 || l.bits > 32) return false;
    // 3, 5, 6 and 7 bits per pixel have no row layout.
    if (l.bits < 8 && l.bits != 1 && l.bits != 2 && l.bits != 4) return false;
    // Combinations that would otherwise be read as uncompressed garbage.
    if (l.compression == compression_bit_fields && l.bits <= 8) return false;
    if (l.compression == compression_rle8 && l.bits != 8) return false;
    if (l.compression == compression_rle4 && l.bits != 4) return false;

    l.top_down = l.height < 0;
    if (l.top_down) l.height = -l.height;

    const std::uint64_t after_header = file_header_size + hs;
    if (l.bits > 8) {
        if (l.compression == compression_bit_fields) {
            if (hs >= header_with_all_masks) {
                for (int i = 0; i < 4; ++i) l.masks[i] = le32(data + masks_field_at + 4 * i);
            } else if (hs >= header_with_inner_masks) {
                // These headers hold the masks where the longer headers do;
                // reading them after the header would decode garbage.
                const int count = hs >= header_with_inner_alpha ? 4 : 3;
                l.fields_end = masks_field_at + 4 * count;
                if (size < l.fields_end) return false;
                for (int i = 0; i < count; ++i) l.masks[i] = le32(data + masks_field_at + 4 * i);
            } else {
                l.masks_at = after_header;
            }
        } else {
            const std::uint32_t* d = l.bits <= 16 ? default_masks_16 : default_masks_32;
            std::copy(d, d + 3, l.masks);
            if (hs >= header_with_all_masks) l.masks[3] = le32(data + masks_field_at + 12);
        }
    }

    if (l.bits <= 8) {
        l.entry_size = hs == core_header ? 3 : 4;
        const std::uint32_t most = 1u << l.bits;
        l.palette_at = after_header;
        if (data_offset == 0) {
            l.palette_entries = most;
            l.rows_at = after_header + std::uint64_t(most) * l.entry_size;
        } else {
            const std::uint64_t room =
                data_offset > after_header ? data_offset - after_header : 0;
            l.palette_entries = std::uint32_t(std::min<std::uint64_t>(room / l.entry_size, most));
            l.rows_at = data_offset;
        }
    } else if (data_offset == 0) {
        l.rows_at = after_header + (l.masks_at != 0 ? masks_after_header_size : 0);
    } else {
        l.rows_at = data_offset;
    }

    // The width is below 2^31, so these cannot overflow.
    const std::uint64_t w = std::uint64_t(l.width);
    l.row_bytes = l.bits < 8 ? (w * l.bits + 7) / 8 : w * ((l.bits + 7) / 8);
    l.row_stride = (l.row_bytes + 3) & ~std::uint64_t(3);
    return true;
}

// One channel of the general rule, from its mask.
struct Channel {
    std::uint32_t mask;
    unsigned shift;  // lowest set bit
    std::uint32_t range;
    unsigned bits;  // lowest to highest set bit
};

Channel make_channel(std::uint32_t mask) {
    if (mask == 0) return {0, 0, 0, 0};
    const unsigned shift = unsigned(std::countr_zero(mask));
    return {mask, shift, mask >> shift, 32u - unsigned(std::countl_zero(mask)) - shift};
}

// Widens a channel of n bits to 8 by repeating its top bits, so a full
// channel gives 255; a 1- to 3-bit channel is only shifted (1 bit gives 128).
std::uint32_t channel_value(std::uint32_t p, const Channel& c) {
    if (c.mask == 0) return 0;
    const std::uint32_t v = (p >> c.shift) & c.range;
    if (c.bits > 8) return v >> (c.bits - 8);
    const std::uint32_t high = v << (8 - c.bits);
    return c.bits < 4 ? high : high | (v >> (2 * c.bits - 8));
}

struct Converter {
    unsigned bits;
    unsigned bytes_per_pixel;  // for more than 8 bits per pixel
    bool alpha_from_file;
    Channel channels[4];  // red, green, blue, alpha
    Pixel palette[256];   // every index, the missing ones included
};

Pixel masked_pixel(std::uint32_t p, const Converter& c) {
    const std::uint32_t a = c.alpha_from_file ? channel_value(p, c.channels[3]) : 0xFF;
    return a << 24 | channel_value(p, c.channels[0]) << 16 | channel_value(p, c.channels[1]) << 8 |
           channel_value(p, c.channels[2]);
}

// The general rule for any depth.
void convert_row_general(const std::uint8_t* src, Pixel* dst, std::int64_t count,
                         const Converter& c) {
    if (c.bits <= 8) {
        const unsigned index_mask = (1u << c.bits) - 1;
        for (std::int64_t x = 0; x < count; ++x) {
            const std::uint64_t bit = std::uint64_t(x) * c.bits;
            const unsigned shift = 8 - c.bits - unsigned(bit & 7);
            dst[x] = c.palette[(src[bit >> 3] >> shift) & index_mask];
        }
        return;
    }
    const unsigned n = c.bytes_per_pixel;
    for (std::int64_t x = 0; x < count; ++x, src += n) {
        std::uint32_t p = std::uint32_t(src[0]) | std::uint32_t(src[1]) << 8;
        if (n > 2) p |= std::uint32_t(src[2]) << 16;
        if (n > 3) p |= std::uint32_t(src[3]) << 24;
        dst[x] = masked_pixel(p, c);
    }
}

static_assert(std::endian::native == std::endian::little,
              "the fast row converters load little-endian words directly");

std::uint32_t load32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void convert_row_index8(const std::uint8_t* src, Pixel* dst, std::int64_t count,
                        const Converter& c) {
    for (std::int64_t x = 0; x < count; ++x) dst[x] = c.palette[src[x]];
}

// Four pixels from three little-endian words: b0 g0 r0 b1 | g1 r1 b2 g2 | r2 b3 g3 r3.
void convert_row_bgr24(const std::uint8_t* src, Pixel* dst, std::int64_t count,
                       const Converter&) {
    std::int64_t x = 0;
    for (; x + 4 <= count; x += 4, src += 12) {
        const std::uint32_t w0 = load32(src);
        const std::uint32_t w1 = load32(src + 4);
        const std::uint32_t w2 = load32(src + 8);
        dst[x] = opaque | w0;
        dst[x + 1] = opaque | w0 >> 24 | w1 << 8;
        dst[x + 2] = opaque | w1 >> 16 | w2 << 16;
        dst[x + 3] = opaque | w2 >> 8;
    }
    for (; x < count; ++x, src += 3)
        dst[x] = opaque | std::uint32_t(src[2]) << 16 | std::uint32_t(src[1]) << 8 | src[0];
}

#if BITMAP_READER_X86
// Sixteen pixels from 48 bytes by byte shuffles. The fourth load starts at
// byte 32, not 36, so that no load reaches past the 48 bytes.
__attribute__((target("ssse3"))) void convert_row_bgr24_ssse3(const std::uint8_t* src, Pixel* dst,
                                                              std::int64_t count, const Converter& c) {
    const __m128i spread = _mm_setr_epi8(0, 1, 2, -1, 3, 4, 5, -1, 6, 7, 8, -1, 9, 10, 11, -1);
    const __m128i spread_last = _mm_setr_epi8(4, 5, 6, -1, 7, 8, 9, -1, 10, 11, 12, -1, 13, 14, 15, -1);
    const __m128i top = _mm_set1_epi32(int(opaque));
    std::int64_t x = 0;
    for (; x + 16 <= count; x += 16, src += 48) {
        const auto at = [src](int offset) {
            return _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + offset));
        };
        auto* out = reinterpret_cast<__m128i*>(dst + x);
        _mm_storeu_si128(out, _mm_or_si128(_mm_shuffle_epi8(at(0), spread), top));
        _mm_storeu_si128(out + 1, _mm_or_si128(_mm_shuffle_epi8(at(12), spread), top));
        _mm_storeu_si128(out + 2, _mm_or_si128(_mm_shuffle_epi8(at(24), spread), top));
        _mm_storeu_si128(out + 3, _mm_or_si128(_mm_shuffle_epi8(at(32), spread_last), top));
    }
    convert_row_bgr24(src, dst + x, count - x, c);
}
#endif

void convert_row_bgrx32(const std::uint8_t* src, Pixel* dst, std::int64_t count,
                        const Converter&) {
    std::int64_t x = 0;
#if BITMAP_READER_X86
    // SSE2 is part of every x86-64.
    const __m128i top = _mm_set1_epi32(int(opaque));
    for (; x + 4 <= count; x += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 4 * x));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_or_si128(p, top));
    }
#endif
    for (; x < count; ++x) dst[x] = opaque | load32(src + 4 * x);
}

void convert_row_bgra32(const std::uint8_t* src, Pixel* dst, std::int64_t count,
                        const Converter&) {
    std::memcpy(dst, src, std::size_t(count) * sizeof(Pixel));
}

using RowConverter = void (*)(const std::uint8_t*, Pixel*, std::int64_t, const Converter&);

RowConverter choose_converter(const Layout& l, bool fast_paths) {
    if (!fast_paths) return convert_row_general;
    const bool standard_rgb = l.masks[0] == 0xFF0000 && l.masks[1] == 0xFF00 && l.masks[2] == 0xFF;
    if (l.bits == 8) return convert_row_index8;
    if (l.bits == 24 && standard_rgb) {
#if BITMAP_READER_X86
        // Chosen at run time, so the program still runs on any x86-64.
        if (__builtin_cpu_supports("ssse3")) return convert_row_bgr24_ssse3;
#endif
        return convert_row_bgr24;
    }
    if (l.bits == 32 && standard_rgb && l.masks[3] == 0) return convert_row_bgrx32;
    if (l.bits == 32 && standard_rgb && l.masks[3] == 0xFF000000u) return convert_row_bgra32;
    return convert_row_general;
}

struct CopyArea {
    Pixel* pixels;
    std::ptrdiff_t stride;
    std::int64_t width;   // copy width
    std::int64_t height;  // copy height
};

Pixel* dest_row(const CopyArea& area, std::int64_t y) { return area.pixels + y * area.stride; }

// Uncompressed rows: every row that is in the file in full is read, in file
// order; those within the copy area are stored.
int store_rows(const std::uint8_t* data, std::size_t size, const Layout& l, const Converter& c,
               RowConverter convert, const CopyArea& area) {
    const std::uint64_t h = std::uint64_t(l.height);
    const std::uint64_t available = l.rows_at < size ? size - l.rows_at : 0;
    // The last row needs no padding after it; every other row needs all of it.
    std::uint64_t complete;
    if (available >= l.row_bytes && (available - l.row_bytes) / l.row_stride >= h - 1)
        complete = h;
    else
        complete = std::min(available / l.row_stride, h);

    const std::uint8_t* rows = data + (complete > 0 ? l.rows_at : 0);
    const std::uint64_t stored = std::uint64_t(area.height);
    if (l.top_down) {
        for (std::uint64_t r = 0; r < std::min(stored, complete); ++r)
            convert(rows + r * l.row_stride, dest_row(area, std::int64_t(r)), area.width, c);
    } else {
        // File row r holds picture row h - 1 - r; only the last `stored` are kept.
        for (std::uint64_t r = h - stored; r < complete; ++r)
            convert(rows + r * l.row_stride, dest_row(area, std::int64_t(h - 1 - r)), area.width,
                    c);
    }
    return complete == h ? bitmap_read : bitmap_bad;
}

// Run-length encoded rows (always bottom-up). Pixels the stream skips keep
// the destination's values; every write is checked against the copy area.
int store_rle(const std::uint8_t* data, std::size_t size, const Layout& l, const Converter& c,
              const CopyArea& area) {
    const bool rle4 = l.compression == compression_rle4;
    const std::int64_t h = l.height;
    std::uint64_t pos = l.rows_at;
    std::int64_t x = 0;
    std::int64_t r = 0;  // file row, counted from the bottom
    for (;;) {
        if (r >= h) return bitmap_read;  // nothing further could be stored
        if (!inside(pos, 2, size)) return bitmap_bad;
        const unsigned count = data[pos];
        const unsigned value = data[pos + 1];
        pos += 2;
        const std::int64_t y = h - 1 - r;
        Pixel* row = y < area.height ? dest_row(area, y) : nullptr;
        if (count > 0) {
            if (row != nullptr) {
                for (std::int64_t i = 0; i < count && x + i < area.width; ++i) {
                    const unsigned index = rle4 ? (i & 1 ? value & 15 : value >> 4) : value;
                    row[x + i] = c.palette[index];
                }
            }
            x += count;
        } else if (value == 0) {  // end of line
            x = 0;
            ++r;
        } else if (value == 1) {  // end of picture
            return bitmap_read;
        } else if (value == 2) {  // move right and up
            if (!inside(pos, 2, size)) return bitmap_bad;
            x += data[pos];
            r += data[pos + 1];
            pos += 2;
        } else {  // `value` literal pixels, padded to an even byte count
            const std::uint64_t bytes = rle4 ? (value + 1) / 2 : value;
            if (!inside(pos, bytes, size)) return bitmap_bad;
            if (row != nullptr) {
                const std::uint8_t* src = data + pos;
                for (std::int64_t i = 0; i < value && x + i < area.width; ++i) {
                    const unsigned index =
                        rle4 ? (src[i / 2] >> (i & 1 ? 0 : 4)) & 15 : src[i];
                    row[x + i] = c.palette[index];
                }
            }
            x += value;
            pos += bytes + (bytes & 1);
        }
    }
}

int decode(const std::uint8_t* data, std::size_t size, Image& dest, BitmapPalette* palette_out,
           bool fast_paths) {
    if (palette_out != nullptr) palette_out->count = 0;
    Layout l;
    if (data == nullptr || !parse_layout(data, size, l)) return bitmap_bad;

    if (l.masks_at != 0) {
        if (!inside(l.masks_at, masks_after_header_size, size)) return bitmap_bad;
        for (int i = 0; i < 3; ++i) l.masks[i] = le32(data + l.masks_at + 4 * i);
    }

    Converter c;
    c.bits = l.bits;
    c.bytes_per_pixel = (l.bits + 7) / 8;
    c.alpha_from_file = l.bits > 24 && l.masks[3] != 0;
    for (int i = 0; i < 4; ++i) c.channels[i] = make_channel(l.masks[i]);
    std::fill(std::begin(c.palette), std::end(c.palette), missing_palette_colour);
    if (l.bits <= 8) {
        if (!inside(l.palette_at, std::uint64_t(l.palette_entries) * l.entry_size, size))
            return bitmap_bad;
        const std::uint8_t* entry = data + l.palette_at;
        for (std::uint32_t i = 0; i < l.palette_entries; ++i, entry += l.entry_size)
            c.palette[i] = opaque | std::uint32_t(entry[2]) << 16 | std::uint32_t(entry[1]) << 8 |
                           entry[0];
        if (palette_out != nullptr) {
            palette_out->count = int(l.palette_entries);
            std::copy(c.palette, c.palette + l.palette_entries, palette_out->colours);
        }
    }

    CopyArea area{dest.pixels, dest.stride, 0, 0};
    if (dest.pixels != nullptr && dest.width > 0 && dest.height > 0) {
        area.width = std::min<std::int64_t>(l.width, dest.width);
        area.height = std::min<std::int64_t>(l.height, dest.height);
    }

    if (l.compression == compression_rle8 || l.compression == compression_rle4)
        return store_rle(data, size, l, c, area);
    return store_rows(data, size, l, c, choose_converter(l, fast_paths), area);
}

}  // namespace

int decode_bitmap(const std::uint8_t* data, std::size_t size, Image& dest,
                  BitmapPalette* palette_out) {
    return decode(data, size, dest, palette_out, true);
}

int decode_bitmap_general(const std::uint8_t* data, std::size_t size, Image& dest,
                          BitmapPalette* palette_out) {
    return decode(data, size, dest, palette_out, false);
}

std::uint64_t bitmap_bytes_needed(const std::uint8_t* data, std::size_t size) {
    Layout l;
    if (data == nullptr || !parse_layout(data, size, l)) return size;
    if (l.compression == compression_rle8 || l.compression == compression_rle4) return saturated;
    std::uint64_t end = l.fields_end;
    if (l.masks_at != 0) end = std::max(end, add_sat(l.masks_at, masks_after_header_size));
    if (l.bits <= 8)
        end = std::max(end, add_sat(l.palette_at, std::uint64_t(l.palette_entries) * l.entry_size));
    const std::uint64_t rows =
        add_sat(mul_sat(std::uint64_t(l.height) - 1, l.row_stride), l.row_bytes);
    return std::max(end, add_sat(l.rows_at, rows));
}
