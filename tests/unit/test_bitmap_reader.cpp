// test-links: core
// The reader's core on small files written here byte by byte: every header
// size and depth, the channel widening, orientation, fitting to the
// destination, early ends, rejections, run-length rows, and the fast paths
// against the general rule.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <cstdlib>
#include <random>
#include <string>

#include "core/bitmap_reader.h"
#include "test_bitmap_files.h"

namespace {

constexpr Pixel A = 0xFF102030, B = 0xFF405060, C = 0xFF708090, D = 0xFFA0B0C0;

constexpr std::uint32_t ramp(int i) {
    return std::uint32_t(i) << 16 | std::uint32_t(255 - i) << 8 | std::uint32_t(i ^ 0x55);
}

std::vector<std::uint32_t> ramp_palette(int n) {
    std::vector<std::uint32_t> p;
    for (int i = 0; i < n; ++i) p.push_back(ramp(i));
    return p;
}

// ---------------------------------------------------------------------------
// Every header size and depth: one file each, with the pixels it must give.

struct FormatCase {
    const char* name;
    BmpHeader header;
    Bytes rows;                   // as stored in the file, bottom row first
    std::vector<Pixel> expected;  // top row first
};

const std::vector<FormatCase> format_cases = {
    {"bits1_packed_from_the_top_bit",
     {.width = 3, .height = 2, .bits = 1, .palette = {0x112233, 0xAABBCC}},
     {0xA0, 0, 0, 0, /* top row: */ 0x60, 0, 0, 0},
     {0xFF112233, 0xFFAABBCC, 0xFFAABBCC, 0xFFAABBCC, 0xFF112233, 0xFFAABBCC}},
    {"bits2_five_wide_rows_of_two_bytes_and_two_ignored",
     {.width = 5, .bits = 2, .palette = {0x010101, 0x020202, 0x030303, 0x040404}},
     {0x1B, 0x40, 0xEE, 0xEE},
     {0xFF010101, 0xFF020202, 0xFF030303, 0xFF040404, 0xFF020202}},
    {"bits4",
     {.width = 3, .bits = 4, .palette = {0x100000, 0x200000, 0x300000}},
     {0x20, 0x10, 0, 0},
     {0xFF300000, 0xFF100000, 0xFF200000}},
    {"bits8_full_palette",
     {.width = 3, .bits = 8, .palette = ramp_palette(256)},
     {0, 255, 128, 0},
     {0xFF000000 | ramp(0), 0xFF000000 | ramp(255), 0xFF000000 | ramp(128)}},
    {"bits8_short_palette_and_smaller_data_offset",
     {.width = 3, .bits = 8, .palette = {0x0000FF, 0x00FF00}},
     {1, 0, 1, 0},
     {0xFF00FF00, 0xFF0000FF, 0xFF00FF00}},
    {"bits8_index_beyond_the_palette_is_opaque_black",
     {.width = 3, .bits = 8, .palette = {0x0000FF, 0x00FF00}},
     {2, 255, 1, 0},
     {0xFF000000, 0xFF000000, 0xFF00FF00}},
    {"bits16_no_compression_is_5_5_5_and_the_top_bit_ignored",
     {.width = 3, .bits = 16},
     {0xFF, 0x7F, 0x1F, 0x40, 0x00, 0x80, 0, 0},
     {0xFFFFFFFF, 0xFF8400FF, 0xFF000000}},
    {"bits16_bit_fields_5_6_5_after_a_40_byte_header",
     {.width = 2, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}},
     {0xFF, 0xFF, 0x00, 0x04},
     {0xFFFFFFFF, 0xFF008200}},
    {"bits24_bgr_becomes_ffrrggbb",
     {.width = 2, .height = 2, .bits = 24},
     {0x90, 0x80, 0x70, 0xC0, 0xB0, 0xA0, 0, 0, 0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0},
     {A, B, C, D}},
    {"bits32_40_byte_header_top_byte_ff_whatever_the_file_holds",
     {.width = 2, .bits = 32},
     {0x30, 0x20, 0x10, 0x00, 0x60, 0x50, 0x40, 0x7F},
     {A, B}},
    // Without bit fields only the alpha mask is taken from the header.
    {"bits32_108_byte_header_alpha_mask_gives_the_top_byte",
     {.header_size = 108, .width = 2, .bits = 32, .masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000}},
     {0x30, 0x20, 0x10, 0x00, 0x60, 0x50, 0x40, 0x7F},
     {0x00102030, 0x7F405060}},
    {"bits32_bit_fields_in_a_124_byte_header",
     {.header_size = 124, .bits = 32, .compression = 3, .masks = {0xFF, 0xFF00, 0xFF0000, 0}},
     {0x10, 0x20, 0x30, 0x99},
     {A}},
    {"header12_16_bit_sizes_and_3_byte_palette_entries",
     {.header_size = 12, .width = 2, .bits = 8, .palette = {0x102030, 0x405060}},
     {1, 0, 0, 0},
     {B, A}},
    // Read as a compression field, the row's bytes would be rejected.
    {"header16_has_no_compression_field",
     {.header_size = 16, .bits = 24},
     {0x30, 0x20, 0x10, 0x00},
     {A}},
    {"header20_reads_compression",
     {.header_size = 20, .bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}},
     {0x30, 0x20, 0x10, 0x00},
     {A}},
    {"header24", {.header_size = 24, .bits = 24}, {0x30, 0x20, 0x10, 0x00}, {A}},
    // Read after the header, the masks would be the row's bytes.
    {"header52_bit_fields_inside_the_header",
     {.header_size = 52, .width = 2, .bits = 16, .compression = 3, .masks = {0xF800, 0x07E0, 0x001F}},
     {0xFF, 0xFF, 0x00, 0x04},
     {0xFFFFFFFF, 0xFF008200}},
    {"header56_alpha_mask_inside_the_header",
     {.header_size = 56, .bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000}},
     {0x30, 0x20, 0x10, 0x7F},
     {0x7F102030}},
    {"header64_4_byte_palette_entries",
     {.header_size = 64, .width = 3, .bits = 8, .palette = {0x102030, 0x405060}},
     {1, 0, 1, 0},
     {B, A, B}},
    {"data_offset_0_bits8_palette_of_256_then_rows",
     {.bits = 8, .palette = ramp_palette(256), .data_offset = 0},
     {200, 0, 0, 0},
     {0xFF000000 | ramp(200)}},
    {"data_offset_0_bits24_rows_right_after_the_header",
     {.bits = 24, .data_offset = 0},
     {0x30, 0x20, 0x10, 0},
     {A}},
    {"data_offset_0_bit_fields_rows_after_the_masks",
     {.bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}, .data_offset = 0},
     {0x30, 0x20, 0x10, 0},
     {A}},
    {"planes_0_passes", {.planes = 0, .bits = 24}, {0x30, 0x20, 0x10, 0}, {A}},
};

class Formats : public ::testing::TestWithParam<FormatCase> {};

TEST_P(Formats, GiveTheirPixels) {
    const FormatCase& c = GetParam();
    const int w = c.header.width, h = std::abs(c.header.height);
    for (bool fast : {true, false}) {
        const Decoded d = decode_into(bmp_file(c.header, c.rows), w, h, fast);
        EXPECT_EQ(d.result, bitmap_read) << (fast ? "fast" : "general");
        EXPECT_EQ(d.pixels, c.expected) << (fast ? "fast" : "general");
    }
}

INSTANTIATE_TEST_SUITE_P(EveryHeaderAndDepth, Formats, ::testing::ValuesIn(format_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Widening a channel of n bits to 8, through a one-pixel 32-bit bit-field
// file whose red mask is the channel.

struct ChannelCase {
    std::uint32_t mask;
    std::uint32_t value;  // the channel's value, before shifting into place
    std::uint32_t expected;
};

constexpr ChannelCase channel_cases[] = {
    {0x7C00, 0, 0},   {0x7C00, 16, 132}, {0x7C00, 31, 255},  // 5 bits
    {0x8000, 1, 128}, {0x8000, 0, 0},                        // 1 bit: 128, not 255
    {0xC0, 3, 192},   {0x70000, 7, 224},                     // 2 and 3 bits: shifted only
    {0xF, 15, 255},   {0xF, 8, 0x88},                        // 4 bits: repeated
    {0x7E0, 63, 255}, {0x7E0, 32, 130},                      // 6 bits
    {0xFF, 0xAB, 0xAB},                                      // 8 bits
    {0x3FF00000, 0x3FF, 255}, {0x3FF00000, 0x201, 128},      // 10 bits: top 8
    {0xFFFF0000, 0x1234, 0x12},                              // 16 bits
    {0xA, 5, 160},  // bits 1 and 3: counted from lowest to highest, 3 bits
};

class Channels : public ::testing::TestWithParam<ChannelCase> {};

TEST_P(Channels, WidenByTheRule) {
    const ChannelCase& c = GetParam();
    const std::uint32_t p = c.value << std::countr_zero(c.mask);
    const Bytes rows = {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16),
                        std::uint8_t(p >> 24)};
    const Bytes file = bmp_file({.bits = 32, .compression = 3, .masks = {c.mask, 0, 0}}, rows);
    const Decoded d = decode_into(file, 1, 1);
    ASSERT_EQ(d.result, bitmap_read);
    EXPECT_EQ(d.at(0, 0), 0xFF000000 | c.expected << 16);
}

INSTANTIATE_TEST_SUITE_P(MaskWidths, Channels, ::testing::ValuesIn(channel_cases));

TEST(Channels, AlphaWidensLikeColourAndOnlyAbove24Bits) {
    // A 1-bit alpha channel gives 128; the other channels are 5-5-5.
    const Bytes file32 = bmp_file(
        {.header_size = 124, .bits = 32, .compression = 3, .masks = {0x7C00, 0x3E0, 0x1F, 0x80000000}},
        {0xFF, 0xFF, 0x00, 0x80});
    EXPECT_EQ(decode_into(file32, 1, 1).at(0, 0), 0x80FFFFFFu);
    // 16 bits per pixel: an alpha mask does not make the top byte.
    const Bytes file16 = bmp_file(
        {.header_size = 124, .bits = 16, .compression = 3, .masks = {0x7C00, 0x3E0, 0x1F, 0x8000}},
        {0x00, 0x00, 0, 0});
    EXPECT_EQ(decode_into(file16, 1, 1).at(0, 0), 0xFF000000u);
    // A channel whose mask is 0 is 0.
    const Bytes no_blue = bmp_file({.bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0}},
                                   {0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(decode_into(no_blue, 1, 1).at(0, 0), 0xFFFFFF00u);
}

// ---------------------------------------------------------------------------
// Orientation and fitting to the destination.

// A 5 x 4 picture whose every pixel tells its position.
Pixel position_pixel(int x, int y) { return 0xFF000000 | std::uint32_t(x) << 16 | std::uint32_t(y) << 8 | 0x5A; }

Bytes position_rows_24(int w, int h, bool top_down) {
    Bytes rows;
    for (int i = 0; i < h; ++i) {
        const int y = top_down ? i : h - 1 - i;
        for (int x = 0; x < w; ++x) {
            const Pixel p = position_pixel(x, y);
            rows.insert(rows.end(), {std::uint8_t(p), std::uint8_t(p >> 8), std::uint8_t(p >> 16)});
        }
        while (rows.size() % 4 != 0) rows.push_back(0xEE);
    }
    return rows;
}

Bytes position_file(int w, int h, bool top_down) {
    return bmp_file({.width = w, .height = top_down ? -h : h, .bits = 24},
                    position_rows_24(w, h, top_down));
}

struct FitCase {
    int dest_width;
    int dest_height;
};

class Fit : public ::testing::TestWithParam<FitCase> {};

TEST_P(Fit, KeepsTopRowsAndLeftColumnsAndLeavesTheRestAlone) {
    const FitCase& c = GetParam();
    for (bool top_down : {false, true}) {
        const Decoded d = decode_into(position_file(5, 4, top_down), c.dest_width, c.dest_height);
        EXPECT_EQ(d.result, bitmap_read);
        for (int y = 0; y < c.dest_height; ++y)
            for (int x = 0; x < c.dest_width; ++x)
                ASSERT_EQ(d.at(x, y), x < 5 && y < 4 ? position_pixel(x, y) : test_fill)
                    << "x " << x << " y " << y << (top_down ? " top-down" : " bottom-up");
    }
}

INSTANTIATE_TEST_SUITE_P(DestinationSizes, Fit,
                         ::testing::Values(FitCase{5, 4}, FitCase{3, 2}, FitCase{1, 1},
                                           FitCase{7, 6}, FitCase{2, 9}, FitCase{9, 2}));

TEST(Orientation, TopDownEqualsBottomUpForEveryDepth) {
    // The same 3 x 3 palette picture at 1, 4 and 8 bits, stored both ways.
    struct Depth {
        std::uint16_t bits;
        Bytes top_down_rows;
    };
    const Depth depths[] = {
        {1, {0x80, 0, 0, 0, 0x40, 0, 0, 0, 0xE0, 0, 0, 0}},
        {4, {0x10, 0x00, 0, 0, 0x01, 0x00, 0, 0, 0x11, 0x10, 0, 0}},
        {8, {1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1, 0}},
    };
    const std::vector<Pixel> expected = {B, A, A, A, B, A, B, B, B};
    for (const Depth& depth : depths) {
        Bytes bottom_up_rows;
        for (int r = 2; r >= 0; --r)
            bottom_up_rows.insert(bottom_up_rows.end(), depth.top_down_rows.begin() + 4 * r,
                                  depth.top_down_rows.begin() + 4 * r + 4);
        BmpHeader h{.width = 3, .height = -3, .bits = depth.bits, .palette = {0x102030, 0x405060}};
        const Decoded top_down = decode_into(bmp_file(h, depth.top_down_rows), 3, 3);
        h.height = 3;
        const Decoded bottom_up = decode_into(bmp_file(h, bottom_up_rows), 3, 3);
        EXPECT_EQ(top_down.result, bitmap_read);
        EXPECT_EQ(bottom_up.result, bitmap_read);
        EXPECT_EQ(top_down.pixels, expected) << depth.bits << " bits";
        EXPECT_EQ(bottom_up.pixels, expected) << depth.bits << " bits";
    }
    EXPECT_EQ(decode_into(position_file(5, 4, true), 5, 4).pixels,
              decode_into(position_file(5, 4, false), 5, 4).pixels);
}

// ---------------------------------------------------------------------------
// Files that end early.

struct CutCase {
    const char* name;
    bool top_down;
    int dest_height;
    std::size_t cut;  // bytes removed from the end of the 5 x 4 file (rows of 16 bytes)
    int result;
    std::vector<int> stored_rows;  // picture rows that hold the bitmap afterwards
};

const std::vector<CutCase> cut_cases = {
    {"bottom_up_keeps_its_bottom_rows", false, 4, 20, bitmap_bad, {3, 2}},
    {"top_down_keeps_its_top_rows", true, 4, 20, bitmap_bad, {0, 1}},
    {"last_row_missing_only_its_padding_counts_as_read", false, 4, 1, bitmap_read, {0, 1, 2, 3}},
    {"last_row_missing_a_pixel_byte", false, 4, 2, bitmap_bad, {3, 2, 1}},
    // The padding of a row that is not the last belongs to the row.
    {"middle_row_missing_its_padding", false, 4, 17, bitmap_bad, {3, 2}},
    {"rows_beyond_the_copy_height_still_have_to_be_there", true, 2, 16, bitmap_bad, {0, 1}},
    {"bottom_up_cut_before_any_stored_row", false, 2, 40, bitmap_bad, {}},
    {"no_row_at_all", false, 4, 64, bitmap_bad, {}},
};

class EarlyEnd : public ::testing::TestWithParam<CutCase> {};

TEST_P(EarlyEnd, KeepsTheRowsStoredBefore) {
    const CutCase& c = GetParam();
    Bytes file = position_file(5, 4, c.top_down);
    file.resize(file.size() - c.cut);
    const Decoded d = decode_into(file, 5, c.dest_height);
    EXPECT_EQ(d.result, c.result);
    for (int y = 0; y < c.dest_height; ++y) {
        const bool stored = std::find(c.stored_rows.begin(), c.stored_rows.end(), y) != c.stored_rows.end();
        for (int x = 0; x < 5; ++x)
            ASSERT_EQ(d.at(x, y), stored ? position_pixel(x, y) : test_fill) << "x " << x << " y " << y;
    }
}

INSTANTIATE_TEST_SUITE_P(Cuts, EarlyEnd, ::testing::ValuesIn(cut_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Rejections: each leaves the destination untouched.

Bytes valid_24() { return bmp_file({.width = 2, .height = 2, .bits = 24}, Bytes(16, 0x42)); }

Bytes with32(Bytes b, std::size_t at, std::uint32_t v) {
    put32(b, at, v);
    return b;
}

Bytes with16(Bytes b, std::size_t at, std::uint32_t v) {
    put16(b, at, v);
    return b;
}

Bytes cut_to(Bytes b, std::size_t size) {
    b.resize(size);
    return b;
}

Bytes with_byte(Bytes b, std::size_t at, std::uint8_t v) {
    b[at] = v;
    return b;
}

struct RejectCase {
    const char* name;
    Bytes file;
};

const std::vector<RejectCase> reject_cases = {
    {"empty_file", {}},
    {"first_byte_not_B", with_byte(valid_24(), 0, 'b')},
    {"raw_dump_FD", with_byte(valid_24(), 0, 0xFD)},
    {"raw_dump_FE", with_byte(valid_24(), 0, 0xFE)},
    {"signature_BA", with_byte(valid_24(), 1, 'A')},
    {"cut_in_the_file_header", cut_to(valid_24(), 9)},
    {"cut_in_the_header_size", cut_to(valid_24(), 16)},
    {"cut_in_the_information_header", cut_to(valid_24(), 37)},
    {"header_size_11", with32(valid_24(), 14, 11)},
    {"header_size_13", with32(valid_24(), 14, 13)},
    {"header_size_15", with32(valid_24(), 14, 15)},
    {"header_size_0", with32(valid_24(), 14, 0)},
    {"planes_2", with16(valid_24(), 26, 2)},
    {"width_0", with32(valid_24(), 18, 0)},
    {"width_negative", with32(valid_24(), 18, std::uint32_t(-2))},
    {"height_0", with32(valid_24(), 22, 0)},
    {"height_smallest_int", with32(valid_24(), 22, std::uint32_t(INT_MIN))},
    {"compression_4", with32(valid_24(), 30, 4)},
    {"compression_all_ones", with32(valid_24(), 30, 0xFFFFFFFF)},
    {"bits_0", with16(valid_24(), 28, 0)},
    {"bits_33", with16(valid_24(), 28, 33)},
    {"bits_all_ones", with16(valid_24(), 28, 0xFFFF)},
    {"bits_3", with16(valid_24(), 28, 3)},
    {"bits_5", with16(valid_24(), 28, 5)},
    {"bits_6", with16(valid_24(), 28, 6)},
    {"bits_7", with16(valid_24(), 28, 7)},
    {"bit_fields_with_8_bits", bmp_file({.bits = 8, .compression = 3, .palette = {0}}, Bytes(4, 0))},
    {"bit_fields_with_4_bits", bmp_file({.bits = 4, .compression = 3, .palette = {0}}, Bytes(4, 0))},
    {"rle8_with_4_bits", bmp_file({.bits = 4, .compression = 1, .palette = {0}}, {1, 0, 0, 1})},
    {"rle8_with_24_bits", bmp_file({.bits = 24, .compression = 1}, {1, 0, 0, 1})},
    {"rle4_with_8_bits", bmp_file({.bits = 8, .compression = 2, .palette = {0}}, {1, 0, 0, 1})},
    {"rle8_top_down", bmp_file({.height = -1, .bits = 8, .compression = 1, .palette = {0}}, {1, 0, 0, 1})},
    {"rle4_top_down", bmp_file({.height = -1, .bits = 4, .compression = 2, .palette = {0}}, {1, 0, 0, 1})},
    {"masks_cut_off", cut_to(bmp_file({.bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}}, {}), 60)},
    {"masks_of_a_108_byte_header_cut_off",
     cut_to(bmp_file({.header_size = 108, .bits = 32}, Bytes(4, 0)), 66)},
    {"masks_inside_a_52_byte_header_cut_off",
     cut_to(bmp_file({.header_size = 52, .bits = 16, .compression = 3, .masks = {0xF800, 0x7E0, 0x1F}}, {}), 62)},
    {"header12_cut_in_its_fields", cut_to(bmp_file({.header_size = 12, .bits = 24}, Bytes(4, 0)), 24)},
    {"palette_cut_off_with_data_offset_0",
     cut_to(bmp_file({.bits = 8, .palette = ramp_palette(256), .data_offset = 0}, {}), 500)},
    {"huge_claimed_size_in_a_small_file",
     with32(with32(bmp_file({.bits = 32}, Bytes(64, 1)), 18, 0x7FFFFFFF), 22, 0x7FFFFFFF)},
};

class Rejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(Rejects, WithResult3AndTheImageUnchanged) {
    BitmapPalette palette;
    palette.count = 99;
    const Decoded d = decode_into(GetParam().file, 4, 4, true, &palette);
    EXPECT_EQ(d.result, bitmap_bad);
    EXPECT_EQ(d.pixels, std::vector<Pixel>(16, test_fill));
    EXPECT_EQ(palette.count, 0);  // never a stale palette
}

INSTANTIATE_TEST_SUITE_P(EachCheck, Rejects, ::testing::ValuesIn(reject_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Accepts, HeaderSizeBeyondTheFileWhenNothingInItIsNeeded) {
    // Only the fields up to the masks are read; the rest of a header, however
    // long it claims to be, is skipped, and the rows start at the data offset.
    const Bytes file = with32(bmp_file({.header_size = 108, .bits = 24}, {0x30, 0x20, 0x10, 0}), 14, 0xFFFFFFFF);
    const Decoded d = decode_into(file, 1, 1);
    EXPECT_EQ(d.result, bitmap_read);
    EXPECT_EQ(d.at(0, 0), A);
}

TEST(Accepts, FileSizeFieldAndImageSizeFieldAreIgnored) {
    const Bytes file = with32(with32(valid_24(), 2, 0xFFFFFFFF), 34, 0xFFFFFFFF);
    EXPECT_EQ(decode_into(file, 2, 2).pixels, std::vector<Pixel>(4, 0xFF424242));
}

// ---------------------------------------------------------------------------
// Palettes handed back to the caller.

TEST(PaletteOut, HoldsTheEntriesRead) {
    BitmapPalette p;
    decode_into(bmp_file({.bits = 8, .palette = {0x102030, 0x405060, 0x708090}}, Bytes(4, 0)), 1, 1, true, &p);
    ASSERT_EQ(p.count, 3);
    EXPECT_EQ(p.colours[0], A);
    EXPECT_EQ(p.colours[1], B);
    EXPECT_EQ(p.colours[2], C);

    // Room for four entries before the rows, but a 1-bit file has at most two.
    decode_into(bmp_file({.bits = 1, .palette = {0x102030, 0x405060, 0x708090, 0xA0B0C0}}, Bytes(4, 0)), 1, 1,
                true, &p);
    EXPECT_EQ(p.count, 2);

    decode_into(bmp_file({.header_size = 12, .bits = 4, .palette = {0x102030, 0xA0B0C0}}, Bytes(4, 0)), 1, 1,
                true, &p);
    ASSERT_EQ(p.count, 2);
    EXPECT_EQ(p.colours[1], D);

    decode_into(valid_24(), 2, 2, true, &p);
    EXPECT_EQ(p.count, 0);
}

// ---------------------------------------------------------------------------
// Run-length encoded rows.

struct RleCase {
    const char* name;
    std::uint16_t bits;
    Bytes stream;
    int result;
    std::vector<Pixel> expected;  // 6 x 3, top row first; F = left as it was
};

constexpr Pixel F = test_fill;
constexpr Pixel P0 = 0xFF000001, P1 = 0xFF000011, P2 = 0xFF000022, P3 = 0xFF000033;
const std::vector<std::uint32_t> rle_palette = {0x000001, 0x000011, 0x000022, 0x000033};

const std::vector<RleCase> rle_cases = {
    {"rle8_runs_literals_delta_end_of_line_and_end",
     8,
     {3, 1, 0, 3, 2, 3, 0, 0,  // bottom row: run of three 1s, literal 2 3 0 (padded)
      0, 0,                    // end of line
      0, 2, 1, 1,              // delta one right, one up: the middle row is skipped
      2, 2, 0, 1},             // run of two 2s, end of picture
     bitmap_read,
     {F, P2, P2, F, F, F,  //
      F, F, F, F, F, F,    //
      P1, P1, P1, P2, P3, P0}},
    {"rle4_nibbles_alternate",
     4,
     {5, 0x12, 0, 3, 0x30, 0x20,  // run 1 2 1 2 1, literal 3 0 2 (two bytes, even)
      0, 0, 6, 0x33, 0, 1},       // end of line, six 3s, end of picture
     bitmap_read,
     {F, F, F, F, F, F,  //
      P3, P3, P3, P3, P3, P3,
      P1, P2, P1, P2, P1, P3}},
    {"runs_past_the_width_are_dropped_and_a_cut_literal_ends_it",
     8,
     {255, 1, 0, 0, 0, 255, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 2},
     bitmap_bad,
     {F, F, F, F, F, F,  //
      F, F, F, F, F, F,  //
      P1, P1, P1, P1, P1, P1}},
    {"delta_beyond_the_picture_ends_it",
     8,
     {1, 3, 0, 2, 200, 200, 1, 1},
     bitmap_read,
     {F, F, F, F, F, F, F, F, F, F, F, F, P3, F, F, F, F, F}},
    {"every_row_done_without_an_end_marker_counts_as_read",
     8,
     {6, 1, 0, 0, 6, 2, 0, 0, 6, 3, 0, 0},
     bitmap_read,
     {P3, P3, P3, P3, P3, P3, P2, P2, P2, P2, P2, P2, P1, P1, P1, P1, P1, P1}},
    {"stream_running_out_keeps_what_was_stored",
     8,
     {6, 1, 0, 0, 2, 2},
     bitmap_bad,
     {F, F, F, F, F, F, P2, P2, F, F, F, F, P1, P1, P1, P1, P1, P1}},
    {"stream_ending_inside_an_escape",
     4,
     {2, 0x10, 0},
     bitmap_bad,
     {F, F, F, F, F, F, F, F, F, F, F, F, P1, P0, F, F, F, F}},
    {"stream_ending_inside_a_delta",
     8,
     {0, 2, 1},
     bitmap_bad,
     {F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F, F}},
};

class Rle : public ::testing::TestWithParam<RleCase> {};

TEST_P(Rle, DecodesWithEveryWriteChecked) {
    const RleCase& c = GetParam();
    const std::uint32_t compression = c.bits == 8 ? 1 : 2;
    const Bytes file = bmp_file({.width = 6, .height = 3, .bits = c.bits, .compression = compression,
                                 .palette = rle_palette},
                                c.stream);
    // The destination is exactly the picture's size, so a stray write past a
    // row or the last row lands outside the vector, where ASan sees it.
    const Decoded d = decode_into(file, 6, 3);
    EXPECT_EQ(d.result, c.result);
    EXPECT_EQ(d.pixels, c.expected);
    // Cut to the picture's size and beyond it, the same stream stays inside.
    const Decoded small = decode_into(file, 2, 1);
    EXPECT_EQ(small.result, c.result);
}

INSTANTIATE_TEST_SUITE_P(Streams, Rle, ::testing::ValuesIn(rle_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The fast paths give exactly the general rule's pixels.

struct FastCase {
    const char* name;
    std::uint16_t bits;
    std::uint32_t compression;
    std::vector<std::uint32_t> masks;
    int palette_entries;
    std::uint32_t header_size;
};

const std::vector<FastCase> fast_cases = {
    {"bits8_full_palette", 8, 0, {}, 256, 40},
    {"bits8_short_palette", 8, 0, {}, 7, 40},
    {"bits24", 24, 0, {}, 0, 40},
    {"bits24_standard_bit_fields", 24, 3, {0xFF0000, 0xFF00, 0xFF}, 0, 40},
    {"bits32_no_alpha", 32, 0, {}, 0, 40},
    {"bits32_bit_fields_no_alpha", 32, 3, {0xFF0000, 0xFF00, 0xFF}, 0, 40},
    {"bits32_alpha_top_byte", 32, 3, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}, 0, 124},
    {"bits32_alpha_from_108_header_without_bit_fields", 32, 0, {0, 0, 0, 0xFF000000}, 0, 108},
};

class FastPaths : public ::testing::TestWithParam<FastCase> {};

TEST_P(FastPaths, MatchTheGeneralRule) {
    const FastCase& c = GetParam();
    std::mt19937 random(12345);
    // Short rows, and rows around the 4- and 16-pixel steps of the vector loops.
    for (int width : {1, 2, 3, 4, 5, 6, 7, 8, 9, 11, 15, 16, 17, 31, 32, 33, 50}) {
        for (bool top_down : {false, true}) {
            const int height = 3;
            const std::size_t row_bytes = (std::size_t(width) * c.bits / 8 + 3) & ~std::size_t(3);
            Bytes rows(row_bytes * height);
            for (auto& b : rows) b = std::uint8_t(random());
            BmpHeader h{.header_size = c.header_size, .width = width, .height = top_down ? -height : height,
                        .bits = c.bits, .compression = c.compression, .masks = c.masks,
                        .palette = ramp_palette(c.palette_entries)};
            const Bytes file = bmp_file(h, rows);
            // Narrower than the bitmap as well, so the copy width differs from the row's.
            for (int dest_width : {width, std::max(1, width - 2), width + 3}) {
                const Decoded fast = decode_into(file, dest_width, height + 1, true);
                const Decoded general = decode_into(file, dest_width, height + 1, false);
                ASSERT_EQ(fast.result, bitmap_read);
                ASSERT_EQ(general.result, bitmap_read);
                ASSERT_EQ(fast.pixels, general.pixels) << "width " << width << " dest " << dest_width;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(CommonLayouts, FastPaths, ::testing::ValuesIn(fast_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(FastPaths, Bits24GivesTheStoredBytes) {
    // Independent of the general rule: b, g, r straight into 0xFFrrggbb.
    const int w = 37;  // two 16-pixel steps and a tail
    Bytes rows(112);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = std::uint8_t(i * 7 + 1);
    const Decoded d = decode_into(bmp_file({.width = w, .bits = 24}, rows), w, 1);
    for (int x = 0; x < w; ++x) {
        const std::uint8_t* p = rows.data() + 3 * x;
        ASSERT_EQ(d.at(x, 0), 0xFF000000 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[1]) << 8 | p[0]);
    }
}

// ---------------------------------------------------------------------------
// How much of a file the reader needs.

TEST(BytesNeeded, EndsWithTheLastRowsPixels) {
    Bytes file = position_file(5, 4, false);  // rows of 15 bytes and one of padding
    const std::uint64_t rows_end = file.size() - 1;
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), rows_end);
    file.resize(file.size() + 1000, 0xEE);  // trailing bytes are never needed
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), rows_end);
    // The header alone is enough to tell.
    EXPECT_EQ(bitmap_bytes_needed(file.data(), bitmap_header_bytes), rows_end);
}

TEST(BytesNeeded, CoversPaletteAndMasksWhereverTheRowsAre) {
    Bytes file = bmp_file({.bits = 8, .palette = ramp_palette(16)}, Bytes(4, 0));
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), 54u + 64 + 1);
    // Rows placed inside the header: no palette entry counts, the fields still do.
    put32(file, 10, 20);
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), 54u);
    // Masks after the header lie beyond such rows.
    Bytes masked = bmp_file({.bits = 32, .compression = 3, .masks = {0xFF0000, 0xFF00, 0xFF}}, Bytes(4, 0));
    put32(masked, 10, 20);
    EXPECT_EQ(bitmap_bytes_needed(masked.data(), masked.size()), 66u);
}

TEST(BytesNeeded, ClaimsOfTheHeaderAreComputedWithoutOverflow) {
    Bytes file = bmp_file({.bits = 32}, Bytes(4, 0));
    put32(file, 18, 0x7FFFFFFF);
    put32(file, 22, 0x7FFFFFFF);
    const std::uint64_t row = 4ull * 0x7FFFFFFF;
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), 54 + (0x7FFFFFFFull - 1) * row + row);
    put32(file, 10, 0xFFFFFFFF);  // data offset at the top as well
    EXPECT_EQ(bitmap_bytes_needed(file.data(), file.size()), 0xFFFFFFFF + (0x7FFFFFFFull - 1) * row + row);
}

TEST(BytesNeeded, RejectedOrRunLengthFiles) {
    const Bytes bad = with16(valid_24(), 28, 0);
    EXPECT_EQ(bitmap_bytes_needed(bad.data(), bad.size()), bad.size());
    const Bytes rle = bmp_file({.bits = 8, .compression = 1, .palette = {0}}, {0, 1});
    EXPECT_EQ(bitmap_bytes_needed(rle.data(), rle.size()), UINT64_MAX);
}

}  // namespace
