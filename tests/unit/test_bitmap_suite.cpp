// test-links: core
// The public BMP test suite (g/ good, q/ questionable, b/ bad, x/ related
// formats): real-world files no one here wrote. Every file loads or is
// rejected as the reader's rules say; the pictures that load are compared
// with the suite's reference PNGs, decoded by stb_image.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "core/bitmap_reader.h"
#include "test_bitmap_files.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_PNG
#define STBI_NO_STDIO_WARNINGS
#include <stb/stb_image.h>

namespace {

const std::filesystem::path suite_dir = SCENE_BMPSUITE_DIR;

Bytes read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A reference picture, 16 bits a channel so that wide channels keep their precision.
struct Reference {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> rgba;
    std::uint32_t channel(int x, int y, int c) const {
        return rgba[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4 + std::size_t(c)];
    }
    // The 8-bit value, rounded.
    std::uint32_t channel8(int x, int y, int c) const { return (channel(x, y, c) + 128) / 257; }
    Pixel argb(int x, int y) const {
        return channel8(x, y, 3) << 24 | channel8(x, y, 0) << 16 | channel8(x, y, 1) << 8 | channel8(x, y, 2);
    }
};

Reference load_reference(const std::string& name) {
    Reference r;
    const std::string path = (suite_dir / "html" / name).string();
    int channels = 0;
    std::uint16_t* data = stbi_load_16(path.c_str(), &r.width, &r.height, &channels, 4);
    if (data == nullptr) return r;
    r.rgba.assign(data, data + std::size_t(r.width) * std::size_t(r.height) * 4);
    stbi_image_free(data);
    return r;
}

// How our pixels must relate to the reference's.
enum class Compare {
    none,            // no reference picture; the result code is what counts
    exact,           // every pixel equal
    by_rule,         // channels of the given widths, widened by the reader's rule
    holes_untouched, // exact, and pixels the reference leaves transparent keep the destination's
};

struct SuiteCase {
    const char* file;
    int result;
    const char* reference;
    Compare compare;
    int bits[4] = {8, 8, 8, 0};  // red, green, blue, alpha channel widths for by_rule; alpha 0: top byte 0xFF
};

// The reader's widening of an n-bit channel value to 8 bits.
std::uint32_t widen(std::uint32_t v, int n) {
    if (n > 8) return v >> (n - 8);
    const std::uint32_t high = v << (8 - n);
    return n < 4 ? high : high | v >> (2 * n - 8);
}

// What the rule gives for a reference channel that came from an n-bit value.
// The reference scales n bits to 8 exactly (31 * 255 / 31); the rule repeats
// the top bits instead, which differs by one for some values and, for 1- to
// 3-bit channels, only shifts (a 1-bit channel gives 128, not 255).
std::uint32_t rule_value(const Reference& ref, int x, int y, int c, int n) {
    if (n == 0) return c == 3 ? 0xFF : 0;
    const double max = double((1u << n) - 1);
    const auto v = std::uint32_t(std::lround(ref.channel(x, y, c) * max / 65535.0));
    return widen(v, n);
}

const std::vector<SuiteCase> suite_cases = {
    // g/: every file loads and matches its reference.
    {"g/pal1.bmp", 0, "pal1.png", Compare::exact},
    {"g/pal1wb.bmp", 0, "pal1.png", Compare::exact},
    {"g/pal1bg.bmp", 0, "pal1bg.png", Compare::exact},
    {"g/pal4.bmp", 0, "pal4.png", Compare::exact},
    {"g/pal4gs.bmp", 0, "pal4gs.png", Compare::exact},
    {"g/pal4rle.bmp", 0, "pal4.png", Compare::exact},
    {"g/pal8.bmp", 0, "pal8.png", Compare::exact},
    {"g/pal8-0.bmp", 0, "pal8.png", Compare::exact},
    {"g/pal8gs.bmp", 0, "pal8gs.png", Compare::exact},
    {"g/pal8rle.bmp", 0, "pal8.png", Compare::exact},
    {"g/pal8w126.bmp", 0, "pal8w126.png", Compare::exact},
    {"g/pal8w125.bmp", 0, "pal8w125.png", Compare::exact},
    {"g/pal8w124.bmp", 0, "pal8w124.png", Compare::exact},
    {"g/pal8topdown.bmp", 0, "pal8.png", Compare::exact},
    // Pixels are taken as they are stored; no stretching to square pixels.
    {"g/pal8nonsquare.bmp", 0, "pal8nonsquare-e.png", Compare::exact},
    {"g/pal8os2.bmp", 0, "pal8.png", Compare::exact},
    {"g/pal8v4.bmp", 0, "pal8.png", Compare::exact},
    {"g/pal8v5.bmp", 0, "pal8.png", Compare::exact},
    // 5- and 6-bit channels: the rule's bit repetition, e.g. 3 gives 24 where
    // the reference's exact scaling gives 25.
    {"g/rgb16.bmp", 0, "rgb16.png", Compare::by_rule, {5, 5, 5, 0}},
    {"g/rgb16bfdef.bmp", 0, "rgb16.png", Compare::by_rule, {5, 5, 5, 0}},
    {"g/rgb16-565.bmp", 0, "rgb16-565.png", Compare::by_rule, {5, 6, 5, 0}},
    {"g/rgb16-565pal.bmp", 0, "rgb16-565.png", Compare::by_rule, {5, 6, 5, 0}},
    {"g/rgb24.bmp", 0, "rgb24.png", Compare::exact},
    {"g/rgb24pal.bmp", 0, "rgb24.png", Compare::exact},
    {"g/rgb32.bmp", 0, "rgb24.png", Compare::exact},
    {"g/rgb32bfdef.bmp", 0, "rgb24.png", Compare::exact},
    {"g/rgb32bf.bmp", 0, "rgb24.png", Compare::exact},

    // q/: loaded where the rules cover them.
    {"q/pal1p1.bmp", 0, "pal1p1.png", Compare::exact},
    {"q/pal2.bmp", 0, "pal2.png", Compare::exact},
    {"q/pal2color.bmp", 0, "pal2color.png", Compare::exact},
    // Pixels the "delta" and early end-of-line codes skip keep the
    // destination's pixels: the scene's images show them transparent.
    {"q/pal4rletrns.bmp", 0, "pal4rletrns.png", Compare::holes_untouched},
    {"q/pal4rlecut.bmp", 0, "pal4rlecut.png", Compare::holes_untouched},
    {"q/pal8rletrns.bmp", 0, "pal8rletrns.png", Compare::holes_untouched},
    {"q/pal8rlecut.bmp", 0, "pal8rlecut.png", Compare::holes_untouched},
    {"q/pal8offs.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8oversizepal.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2-sz.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2-hs.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2sp.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2v2.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2v2-16.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2v2-sz.bmp", 0, "pal8.png", Compare::exact},
    {"q/pal8os2v2-40sz.bmp", 0, "pal8.png", Compare::exact},
    {"q/rgb24rle24.bmp", 3, nullptr, Compare::none},   // compression 4
    {"q/pal1huffmsb.bmp", 3, nullptr, Compare::none},  // compression 3 with 1 bit per pixel
    {"q/rgb16faketrns.bmp", 0, "rgb16.png", Compare::by_rule, {5, 5, 5, 0}},
    {"q/rgb16-231.bmp", 0, "rgb16-231.png", Compare::by_rule, {2, 3, 1, 0}},
    {"q/rgb16-3103.bmp", 0, "rgb16-3103.png", Compare::by_rule, {3, 10, 3, 0}},
    // At 16 bits per pixel an alpha mask does not make the top byte.
    {"q/rgba16-4444.bmp", 0, "rgba16-4444.png", Compare::by_rule, {4, 4, 4, 0}},
    // Its reference shows the 1-bit alpha composited, which the rules ignore.
    {"q/rgba16-5551.bmp", 0, nullptr, Compare::none},
    {"q/rgba16-1924.bmp", 0, "rgba16-1924.png", Compare::by_rule, {1, 9, 2, 0}},
    {"q/rgb24largepal.bmp", 0, "rgb24.png", Compare::exact},
    // Colour profiles are not applied.
    {"q/rgb24prof.bmp", 0, "rgb24.png", Compare::exact},
    // Red and green are stored swapped, for a profile to swap them back.
    {"q/rgb24prof2.bmp", 0, nullptr, Compare::none},
    {"q/rgb24lprof.bmp", 0, "rgb24.png", Compare::exact},
    {"q/rgb24jpeg.bmp", 3, nullptr, Compare::none},  // compression 4
    {"q/rgb24png.bmp", 3, nullptr, Compare::none},   // compression 5
    {"q/rgb32h52.bmp", 0, "rgb24.png", Compare::exact},  // masks inside a 52-byte header
    {"q/rgb32-xbgr.bmp", 0, "rgb24.png", Compare::exact},
    // A 40-byte header has no alpha mask: the top byte is 0xFF.
    {"q/rgb32fakealpha.bmp", 0, "rgb24.png", Compare::exact},
    {"q/rgb32-111110.bmp", 0, "rgb24.png", Compare::by_rule, {11, 11, 10, 0}},
    {"q/rgb32-7187.bmp", 0, "rgb32-7187.png", Compare::by_rule, {7, 18, 7, 0}},
    {"q/rgba32-1.bmp", 0, "rgba32.png", Compare::exact},
    {"q/rgba32-2.bmp", 0, "rgba32.png", Compare::exact},
    {"q/rgba32-1010102.bmp", 0, "rgba32-1010102.png", Compare::by_rule, {10, 10, 10, 2}},
    {"q/rgba32-81284.bmp", 0, "rgba32-81284.png", Compare::by_rule, {8, 12, 8, 4}},
    {"q/rgba32-61754.bmp", 0, "rgba32-61754.png", Compare::by_rule, {6, 17, 5, 4}},
    {"q/rgba32abf.bmp", 3, nullptr, Compare::none},  // compression 6
    {"q/rgba32h56.bmp", 0, "rgba32.png", Compare::exact},  // masks inside a 56-byte header
    {"q/rgba64.bmp", 3, nullptr, Compare::none},           // 64 bits per pixel

    // b/: most are rejected. Those that load do so because the rules ignore
    // the field that is wrong (file size, image size, densities, colour
    // count), accept any header size from 16 on (66 here), give opaque black
    // for a palette index beyond the palette, or drop the writes of run-length
    // codes that reach past a row or the picture.
    {"b/badbitcount.bmp", 3, nullptr, Compare::none},
    {"b/badbitssize.bmp", 0, "pal1.png", Compare::exact},
    {"b/baddens1.bmp", 0, "pal1.png", Compare::exact},
    {"b/baddens2.bmp", 0, "pal1.png", Compare::exact},
    {"b/badfilesize.bmp", 0, "pal1.png", Compare::exact},
    {"b/badheadersize.bmp", 0, "pal1.png", Compare::exact},
    {"b/badpalettesize.bmp", 0, "pal8.png", Compare::exact},
    {"b/badplanes.bmp", 3, nullptr, Compare::none},
    {"b/badrle.bmp", 0, nullptr, Compare::none},
    {"b/badrlebis.bmp", 0, nullptr, Compare::none},
    {"b/badrleter.bmp", 0, nullptr, Compare::none},
    {"b/badrle4.bmp", 0, nullptr, Compare::none},
    {"b/badrle4bis.bmp", 0, nullptr, Compare::none},
    {"b/badrle4ter.bmp", 0, nullptr, Compare::none},
    {"b/badwidth.bmp", 3, nullptr, Compare::none},
    {"b/pal8badindex.bmp", 0, nullptr, Compare::none},  // checked below
    {"b/reallybig.bmp", 3, nullptr, Compare::none},     // rows end early, nothing stored
    {"b/rgb16-880.bmp", 0, "rgb16-880.png", Compare::by_rule, {8, 8, 0, 0}},
    {"b/rletopdown.bmp", 3, nullptr, Compare::none},
    {"b/shortfile.bmp", 3, nullptr, Compare::none},  // checked below

    {"x/ba-bm.bmp", 3, nullptr, Compare::none},  // "BA" signature
};

// The destination is two pixels larger each way, to see the rest stay as it was.
constexpr int margin = 2;

class Suite : public ::testing::TestWithParam<SuiteCase> {};

TEST_P(Suite, LoadsAsTheRulesSay) {
    const SuiteCase& c = GetParam();
    const Bytes file = read_file(suite_dir / c.file);
    ASSERT_FALSE(file.empty()) << "missing " << (suite_dir / c.file);

    Reference ref;
    if (c.reference != nullptr) {
        ref = load_reference(c.reference);
        ASSERT_GT(ref.width, 0) << "cannot decode " << c.reference;
    }
    const int w = (ref.width > 0 ? ref.width : 127) + margin;
    const int h = (ref.height > 0 ? ref.height : 64) + margin;
    const Decoded d = decode_into(file, w, h);
    ASSERT_EQ(d.result, c.result);
    if (c.result != bitmap_read) {
        if (std::string(c.file) != "b/shortfile.bmp") {
            EXPECT_EQ(d.pixels, std::vector<Pixel>(d.pixels.size(), test_fill));
        }
        return;
    }
    // Whatever the fast paths did, the general rule gives the same.
    EXPECT_EQ(decode_into(file, w, h, false).pixels, d.pixels);
    if (c.compare == Compare::none) return;

    int wrong = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const bool in_ref = x < ref.width && y < ref.height;
            const std::uint32_t ref_alpha = in_ref ? ref.channel8(x, y, 3) : 255;
            // Where a file's alpha is ignored (16 bits per pixel), the
            // reference's colour at a transparent pixel is no guide.
            if (ref_alpha != 255 && c.compare == Compare::by_rule && c.bits[3] == 0) continue;
            // A fully transparent reference pixel has no colour, only its alpha.
            const Pixel mask = ref_alpha == 0 && c.compare != Compare::holes_untouched ? 0xFF000000 : 0xFFFFFFFF;
            const Pixel got = d.at(x, y) & mask;
            Pixel want;
            if (x >= ref.width || y >= ref.height)
                want = test_fill;
            else if (c.compare == Compare::by_rule)
                want = rule_value(ref, x, y, 3, c.bits[3]) << 24 | rule_value(ref, x, y, 0, c.bits[0]) << 16 |
                       rule_value(ref, x, y, 1, c.bits[1]) << 8 | rule_value(ref, x, y, 2, c.bits[2]);
            else if (c.compare == Compare::holes_untouched && ref.channel8(x, y, 3) == 0)
                want = test_fill;
            else
                want = ref.argb(x, y);
            want &= mask;
            // Channels wider than 8 bits keep their top 8 bits; the
            // reference rounds, so those may be one below it.
            bool ok = got == want;
            if (!ok && c.compare == Compare::by_rule && x < ref.width && y < ref.height) {
                ok = true;
                for (int ch = 0; ch < 4; ++ch) {
                    const int shift = ch == 3 ? 24 : 16 - 8 * ch;
                    const int g = int(got >> shift & 0xFF), e = int(want >> shift & 0xFF);
                    ok = ok && (g == e || (c.bits[ch] > 8 && std::abs(g - int(ref.channel8(x, y, ch))) <= 1));
                }
            }
            if (!ok && ++wrong <= 5)
                ADD_FAILURE() << c.file << " at " << x << "," << y << ": got " << std::hex << got << " want "
                              << want;
        }
    }
    EXPECT_EQ(wrong, 0);
}

INSTANTIATE_TEST_SUITE_P(BmpSuite, Suite, ::testing::ValuesIn(suite_cases), [](const auto& info) {
    std::string name = info.param.file;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
    return name;
});

TEST(Suite, EveryFileIsListed) {
    std::set<std::string> listed;
    for (const SuiteCase& c : suite_cases) listed.insert(c.file);
    for (const char* dir : {"g", "q", "b", "x"}) {
        for (const auto& entry : std::filesystem::directory_iterator(suite_dir / dir)) {
            EXPECT_TRUE(listed.count(std::string(dir) + "/" + entry.path().filename().string()))
                << entry.path() << " is not in the table";
        }
    }
}

TEST(Suite, ShortFileKeepsTheBottomRowsItHas) {
    // 62 bytes of headers and palette, then rows of 16 bytes, bottom row first.
    const Bytes file = read_file(suite_dir / "b/shortfile.bmp");
    const Reference ref = load_reference("pal1.png");
    const Decoded d = decode_into(file, ref.width, ref.height);
    ASSERT_EQ(d.result, bitmap_bad);
    const int rows_in_file = int(file.size() - 62) / 16;
    ASSERT_GT(rows_in_file, 0);
    for (int y = 0; y < ref.height; ++y) {
        for (int x = 0; x < ref.width; ++x) {
            ASSERT_EQ(d.at(x, y), y >= ref.height - rows_in_file ? ref.argb(x, y) : test_fill)
                << "x " << x << " y " << y;
        }
    }
}

TEST(Suite, BadPaletteIndexGivesOpaqueBlack) {
    // 101 palette entries; the rows use indices up to 252.
    const Bytes file = read_file(suite_dir / "b/pal8badindex.bmp");
    BitmapPalette palette;
    const Decoded d = decode_into(file, 127, 64, true, &palette);
    ASSERT_EQ(d.result, bitmap_read);
    ASSERT_EQ(palette.count, 101);
    const std::size_t rows_at = 458, stride = 128;
    int beyond = 0;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 127; ++x) {
            const std::uint8_t index = file[rows_at + std::size_t(63 - y) * stride + std::size_t(x)];
            const Pixel want = index < palette.count ? palette.colours[index] : 0xFF000000;
            beyond += index >= palette.count;
            ASSERT_EQ(d.at(x, y), want) << "x " << x << " y " << y;
        }
    }
    EXPECT_GT(beyond, 0);
}

}  // namespace
