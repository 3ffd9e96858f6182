// test-label: threads
// The drawing operations on the headless display: rounding, clipping, the
// colour key, the disc's spans and which lines each operation marks.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "display/display_state.h"
#include "core/draw_core.h"
#include "platform.h"
#include "test_display_support.h"

namespace {

constexpr Pixel backdrop = 0x11223344;
constexpr Pixel black = 0xFF000000;

// Opens the display headless over a known backdrop with no line marked.
class Drawing : public ::testing::Test {
protected:
    void SetUp() override {
        open_display_state();
        display().frame.fill(backdrop);
        present_changed_lines(nullptr, 0);
    }
    void TearDown() override { close_display_state(); }

    static Pixel at(int x, int y) { return display().frame[y * display_width + x]; }

    static int count_pixels(Pixel value) {
        const auto& f = display().frame;
        return int(std::count(f.begin(), f.end(), value));
    }
};

// An image that owns its pixels, for tests that need no display.
struct TestImage {
    std::vector<Pixel> pixels;
    Image image;
    TestImage(int w, int h) : pixels(std::size_t(w) * h), image{w, h, 32, w, nullptr} {
        image.pixels = pixels.data();
    }
    Pixel& at(int i, int j) { return pixels[std::size_t(j) * image.width + i]; }
};

// ---------------------------------------------------------------- rounding

struct RoundingCase {
    float v;
    std::int64_t expected;
};

constexpr std::int64_t far_limit = std::int64_t(1) << 40;

const RoundingCase rounding_cases[] = {
    {59.5f, 60},
    {2.5f, 3},
    {-2.5f, -3},
    {-0.4f, 0},
    {0.0f, 0},
    {-0.0f, 0},
    {static_cast<float>(59.5 - 1e-7), 60},  // a double just below 59.5 that is 59.5 in single precision
    {0.49999997f, 0},                       // the float just below 0.5: a float sum would round up to 1
    {-0.49999997f, 0},
    {-0.5f, -1},
    {0.5f, 1},
    {799.4f, 799},
    {-232.5f, -233},
    {16777216.0f, 16777216},
    {1e30f, far_limit},
    {-1e30f, -far_limit},
    {std::numeric_limits<float>::infinity(), far_limit},
    {-std::numeric_limits<float>::infinity(), -far_limit},
};

TEST(RoundPosition, HalvesAwayFromZeroWithTheSumFormedExactly) {
    for (const RoundingCase& c : rounding_cases) {
        EXPECT_EQ(round_position(c.v), c.expected) << "v = " << c.v;
    }
    const std::int64_t nan = round_position(std::numeric_limits<float>::quiet_NaN());
    EXPECT_TRUE(nan >= far_limit || nan <= -far_limit);
}

TEST_F(Drawing, ShipPositionsAreRoundedBeforeCopying) {
    Image* ship = create_image(4, 4, 0x00ABCDEF, 0, 0);
    ASSERT_NE(ship, nullptr);
    put_transparent(static_cast<float>(59.5 - 1e-7), 10.0f, ship);
    EXPECT_EQ(at(59, 10), backdrop);
    EXPECT_EQ(at(60, 10), 0x00ABCDEFu);
    put_transparent(-2.5f, 100.0f, ship);  // columns -3..0: only column 0 lands
    EXPECT_EQ(at(0, 100), 0x00ABCDEFu);
    EXPECT_EQ(at(1, 100), backdrop);
    release_image(ship);
}

// ---------------------------------------------------------------- clipping

// Every pixel distinct, with a scattering of key pixels of several top bytes.
TestImage make_ship(int w, int h) {
    TestImage ship(w, h);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const Pixel top = Pixel((i * 31 + j * 7) & 0xFF) << 24;
            ship.at(i, j) = (i + 2 * j) % 5 == 0 ? (top | 0x00FF00FF) : (top | Pixel(j) << 12 | Pixel(i));
        }
    }
    return ship;
}

struct PlaceCase {
    float x, y;
    std::int64_t px, py;  // where the rounding rule puts the top-left pixel
};

// The 233x250 bad ship at every edge, at every corner, wholly inside, just
// off each side, and far away.
const PlaceCase place_cases[] = {
    {480.0f, 130.0f, 480, 130},   {-100.0f, 50.0f, -100, 50},   {700.0f, 50.0f, 700, 50},
    {300.0f, -200.0f, 300, -200}, {300.0f, 500.0f, 300, 500},   {-200.0f, -200.0f, -200, -200},
    {700.0f, 500.0f, 700, 500},   {-120.0f, 450.0f, -120, 450}, {650.0f, -30.0f, 650, -30},
    {-232.4f, 0.0f, -232, 0},     {0.0f, 599.4f, 0, 599},       {799.0f, -249.0f, 799, -249},
    {-232.5f, 0.0f, -233, 0},     {800.0f, 0.0f, 800, 0},       {0.0f, -250.0f, 0, -250},
    {0.0f, 599.5f, 0, 600},       {1e20f, 0.0f, far_limit, 0},  {0.0f, -1e20f, 0, -far_limit},
};

class ShipClipping : public Drawing, public ::testing::WithParamInterface<PlaceCase> {};

TEST_P(ShipClipping, WritesExactlyTheClippedPixelsAndMarksOnlyTheirRows) {
    const PlaceCase c = GetParam();
    TestImage ship = make_ship(233, 250);
    for (const bool keyed : {false, true}) {
        SetUp();
        (keyed ? put_transparent : put_opaque)(c.x, c.y, &ship.image);
        int first_written = display_height;
        int last_written = -1;
        for (int y = 0; y < display_height; ++y) {
            for (int x = 0; x < display_width; ++x) {
                const std::int64_t i = x - c.px;
                const std::int64_t j = y - c.py;
                Pixel expected = backdrop;
                if (i >= 0 && i < 233 && j >= 0 && j < 250) {
                    first_written = std::min(first_written, y);
                    last_written = std::max(last_written, y);
                    const Pixel p = ship.at(int(i), int(j));
                    if (!keyed) {
                        expected = p;
                    } else if ((p & 0xFFFFFF) != 0xFF00FF) {
                        expected = p & 0xFFFFFF;
                    }
                }
                ASSERT_EQ(at(x, y), expected) << "keyed " << keyed << " at (" << x << ", " << y << ")";
            }
        }
        const LineRange marked = marked_span();
        if (last_written < 0) {
            EXPECT_EQ(marked_count(), 0);
        } else {
            EXPECT_EQ(marked.first, first_written);
            EXPECT_EQ(marked.last, last_written);
            EXPECT_EQ(marked_count(), last_written - first_written + 1);
        }
        EXPECT_EQ(display().nesting, 0);
        EXPECT_FALSE(display().scene_holds_lock);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryEdge, ShipClipping, ::testing::ValuesIn(place_cases));

TEST_F(Drawing, TwoBackgroundCopiesShowEveryColumnScrolled) {
    Image* background = create_image(800, 600, 0, 0, fill_with_transparent);
    ASSERT_NE(background, nullptr);
    for (int y = 0; y < 600; ++y) {
        for (int x = 0; x < 800; ++x) background->pixels[y * background->stride + x] = Pixel(y) << 12 | Pixel(x);
    }
    for (const int offset : {0, 1, 400, 799}) {
        SetUp();
        put_opaque(float(offset), 0.0f, background);
        put_opaque(float(offset - 800), 0.0f, background);
        for (int y = 0; y < 600; ++y) {
            for (int c = 0; c < 800; ++c) {
                ASSERT_EQ(at(c, y), Pixel(y) << 12 | Pixel((c - offset + 800) % 800))
                    << "offset " << offset << " column " << c << " row " << y;
            }
        }
        EXPECT_EQ(marked_count(), 600);
    }
    release_image(background);
}

TEST_F(Drawing, OpaqueCopyKeepsAllBitsOfTransparentPixels) {
    Image* background = create_image(800, 600, 0, 0, fill_with_transparent);
    ASSERT_NE(background, nullptr);
    put_opaque(0.0f, 0.0f, background);
    EXPECT_EQ(count_pixels(transparent_colour), 800 * 600);
    release_image(background);
}

TEST_F(Drawing, AllTransparentShipDrawsNothing) {
    Image* ship = create_image(200, 244, 0, 0, fill_with_transparent);
    ASSERT_NE(ship, nullptr);
    put_transparent(60.0f, 110.0f, ship);
    EXPECT_EQ(count_pixels(backdrop), 800 * 600);
    release_image(ship);
}

// ---------------------------------------------------------------- colour key

struct KeyCase {
    Pixel source;
    bool skipped;
};

const KeyCase key_cases[] = {
    {0x00FF00FF, true},  {0x80FF00FF, true},  {0xFFFF00FF, true},  {0x7FFF00FF, true},
    {0xFFFF00FE, false}, {0xFFFE00FF, false}, {0xFFFF01FF, false}, {0xFF7F00FF, false},
    {0x80123456, false}, {0x00000000, false}, {0xFF000000, false}, {0xFFFFFFFF, false},
};

// Every kernel set the processor runs, on rows of every length up to 40 and
// some longer ones, at every destination alignment within 64 bytes and four
// source alignments, so vector heads, bodies and tails meet every kind of pixel.
class RowKernelRule : public ::testing::TestWithParam<CopyKernels> {
protected:
    void SetUp() override { ASSERT_TRUE(force_copy_kernels(GetParam())); }
    void TearDown() override { use_fastest_copy_kernels(); }
};

std::vector<int> row_widths() {
    std::vector<int> widths;
    for (int width = 1; width <= 40; ++width) widths.push_back(width);
    for (const int width : {47, 48, 63, 64, 65, 79, 80, 81, 127, 128, 129, 200, 233, 800}) widths.push_back(width);
    return widths;
}

TEST_P(RowKernelRule, OpaqueCopiesAllBitsAndKeyedSkipsKeyWhateverTheTopByteAndClearsTheRest) {
    EXPECT_EQ(current_copy_kernels(), GetParam());
    constexpr int n = int(std::size(key_cases));
    constexpr int surface_width = 832;
    constexpr Pixel untouched = 0x5A5A5A5A;
    std::vector<Pixel> screen(surface_width * 4);
    const Image surface{surface_width, 4, 32, surface_width, screen.data()};
    for (const bool keyed : {false, true}) {
        for (const int width : row_widths()) {
            for (int source_shift = 0; source_shift < 4; ++source_shift) {
                // Two rows of `width` pixels starting source_shift pixels into a buffer.
                std::vector<Pixel> source(std::size_t(width) * 2 + 4);
                const Image row{width, 2, 32, width, source.data() + source_shift};
                auto source_pixel = [&](int i, int j) { return key_cases[(i * 5 + j * 3 + source_shift) % n].source; };
                for (int j = 0; j < 2; ++j) {
                    for (int i = 0; i < width; ++i) row.pixels[j * width + i] = source_pixel(i, j);
                }
                for (int shift = 0; shift < 16 && shift + width <= surface_width; ++shift) {
                    std::fill(screen.begin(), screen.end(), untouched);
                    const LineRange rows = (keyed ? copy_keyed : copy_opaque)(surface, row, shift, 1);
                    EXPECT_EQ(rows.first, 1);
                    EXPECT_EQ(rows.last, 2);
                    std::ptrdiff_t skipped = 0;
                    for (int j = 0; j < 2; ++j) {
                        for (int i = 0; i < width; ++i) {
                            const Pixel p = source_pixel(i, j);
                            const bool skip = keyed && (p & 0xFFFFFF) == 0xFF00FF;
                            skipped += skip;
                            const Pixel expected = !keyed ? p : skip ? untouched : (p & 0x00FFFFFF);
                            ASSERT_EQ(screen[(j + 1) * surface_width + shift + i], expected)
                                << (keyed ? "keyed" : "opaque") << " width " << width << " shift " << shift
                                << " source shift " << source_shift << " source " << std::hex << p;
                        }
                    }
                    // Nothing outside the picture's rectangle is touched.
                    ASSERT_EQ(std::count(screen.begin(), screen.end(), untouched),
                              std::ptrdiff_t(surface_width * 4 - 2 * width) + skipped)
                        << (keyed ? "keyed" : "opaque") << " width " << width << " shift " << shift;
                }
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKernelThisProcessorRuns, RowKernelRule,
                         ::testing::ValuesIn(available_copy_kernels().begin(), available_copy_kernels().end()),
                         [](const auto& info) { return std::string(copy_kernels_name(info.param)); });

TEST(CopyKernelSeam, ListsBaselineLastAndRefusesWhatItLacks) {
    const auto kernels = available_copy_kernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_EQ(kernels.back(), CopyKernels::sse2);
    EXPECT_EQ(current_copy_kernels(), kernels.front());
    for (const CopyKernels k : {CopyKernels::avx512, CopyKernels::avx2, CopyKernels::sse2}) {
        const bool listed = std::find(kernels.begin(), kernels.end(), k) != kernels.end();
        EXPECT_EQ(force_copy_kernels(k), listed) << copy_kernels_name(k);
        if (listed) {
            EXPECT_EQ(current_copy_kernels(), k);
        }
    }
    use_fastest_copy_kernels();
    EXPECT_EQ(current_copy_kernels(), kernels.front());
}

// ---------------------------------------------------------------- the disc

constexpr float whole_circle = 6.2831859f;

void draw_shot(float x, float y) { fill_circle(x, y, 8.0f, black, 1.0f, 0.0f, whole_circle); }

TEST_F(Drawing, RadiusEightDiscHasTheTabledSpans) {
    constexpr std::array<int, 9> half_width = {8, 8, 8, 7, 7, 6, 5, 4, 2};
    draw_shot(400.0f, 300.0f);
    for (int y = 0; y < display_height; ++y) {
        const int dy = std::abs(y - 300);
        for (int x = 0; x < display_width; ++x) {
            const bool inside = dy <= 8 && std::abs(x - 400) <= half_width[std::size_t(dy)];
            ASSERT_EQ(at(x, y), inside ? black : backdrop) << "(" << x << ", " << y << ")";
        }
    }
    EXPECT_EQ(count_pixels(black), 221);
    EXPECT_EQ(marked_span().first, 292);
    EXPECT_EQ(marked_span().last, 308);
    EXPECT_EQ(marked_count(), 17);
}

struct DiscCase {
    float x, y;
    int pixels;
    int left, right, top, bottom;  // bounding box of what is drawn (pixels > 0)
    int marked_first, marked_last;  // centre line +-b limited to the screen, drawn or not
};

const DiscCase disc_cases[] = {
    {0.0f, 0.0f, 64, 0, 8, 0, 8, 0, 8},
    {799.0f, 599.0f, 64, 791, 799, 591, 599, 591, 599},
    {-8.0f, 300.0f, 5, 0, 0, 298, 302, 292, 308},
    {400.0f, -8.0f, 5, 398, 402, 0, 0, 0, 0},
    {-9.0f, 300.0f, 0, 0, 0, 0, 0, 292, 308},
    {808.0f, 300.0f, 0, 0, 0, 0, 0, 292, 308},
    {400.0f, -9.0f, 0, 0, 0, 0, 0, 0, -1},
    {400.0f, 608.0f, 0, 0, 0, 0, 0, 0, -1},
    {399.5f, 299.5f, 221, 392, 408, 292, 308, 292, 308},  // rounds to (400, 300)
};

class DiscEdges : public Drawing, public ::testing::WithParamInterface<DiscCase> {};

TEST_P(DiscEdges, DrawsOnlyWhatLandsOnTheScreen) {
    const DiscCase c = GetParam();
    draw_shot(c.x, c.y);
    EXPECT_EQ(count_pixels(black), c.pixels);
    EXPECT_EQ(count_pixels(backdrop), 800 * 600 - c.pixels);
    if (c.marked_first <= c.marked_last) {
        EXPECT_EQ(marked_span().first, c.marked_first);
        EXPECT_EQ(marked_span().last, c.marked_last);
        EXPECT_EQ(marked_count(), c.marked_last - c.marked_first + 1);
    } else {
        EXPECT_EQ(marked_count(), 0);
    }
    if (c.pixels == 0) return;
    int left = 800, right = -1, top = 600, bottom = -1;
    for (int y = 0; y < display_height; ++y) {
        for (int x = 0; x < display_width; ++x) {
            if (at(x, y) != black) continue;
            left = std::min(left, x), right = std::max(right, x);
            top = std::min(top, y), bottom = std::max(bottom, y);
        }
    }
    EXPECT_EQ(left, c.left);
    EXPECT_EQ(right, c.right);
    EXPECT_EQ(top, c.top);
    EXPECT_EQ(bottom, c.bottom);
}

INSTANTIATE_TEST_SUITE_P(EdgePositions, DiscEdges, ::testing::ValuesIn(disc_cases));

// The span algorithm written out step by step, with its map of lines that
// already have a span, to hold the fast version to it.
LineRange reference_disc(const Image& s, std::int64_t cx, std::int64_t cy, float a, float b, Pixel colour) {
    std::vector<std::uint8_t> has_span(std::size_t(s.height), 0);
    std::int64_t xl = std::int64_t(double(cx) - a);
    std::int64_t xr = std::int64_t(double(cx) + a);
    auto span = [&](std::int64_t r) {
        if (r < 0 || r > s.height - 1 || xr < 0 || xl > s.width - 1 || has_span[std::size_t(r)]) return;
        has_span[std::size_t(r)] = 1;
        for (std::int64_t x = std::max<std::int64_t>(xl, 0); x <= std::min<std::int64_t>(xr, s.width - 1); ++x) {
            s.pixels[r * s.stride + x] = colour;
        }
    };
    span(cy);
    const std::int64_t big_a = std::int64_t(double(a) * a);
    const std::int64_t big_b = std::int64_t(double(b) * b);
    std::int64_t d = std::int64_t(double(big_b) * a);
    std::int64_t dx = 2 * d;
    std::int64_t dy = 0;
    std::int64_t steps = std::int64_t(a);
    std::int64_t k = 0;
    while (steps > 0) {
        if (d > 0) {
            ++k;
            dy += 2 * big_a;
            d -= dy;
        }
        if (d <= 0) {
            --steps;
            ++xl;
            --xr;
            dx -= 2 * big_b;
            d += dx;
        }
        span(cy + k);
        span(cy - k);
    }
    const std::int64_t top = std::max<std::int64_t>(std::int64_t(double(cy) - b), 0);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(double(cy) + b), s.height - 1);
    return top > bottom ? LineRange{0, -1} : LineRange{int(top), int(bottom)};
}

// Two surfaces of one size over the backdrop, one for fill_disc and one for
// the step-by-step algorithm.
struct DiscPair {
    int w, h;
    std::vector<Pixel> fast, slow;
    DiscPair(int width, int height) : w(width), h(height), fast(std::size_t(w) * h), slow(std::size_t(w) * h) {}

    // radius and aspect as fill_circle takes them.
    void expect_same(float radius, float aspect, std::int64_t cx, std::int64_t cy) {
        const float a = aspect <= 1.0f ? radius : radius / aspect;
        const float b = aspect <= 1.0f ? radius * aspect : radius;
        std::fill(fast.begin(), fast.end(), backdrop);
        std::fill(slow.begin(), slow.end(), backdrop);
        const LineRange got = fill_disc(Image{w, h, 32, w, fast.data()}, cx, cy, a, b, black);
        const LineRange want = reference_disc(Image{w, h, 32, w, slow.data()}, cx, cy, a, b, black);
        ASSERT_TRUE(fast == slow) << "radius " << radius << " aspect " << aspect << " at (" << cx << ", " << cy
                              << ") on " << w << "x" << h << ": " << std::count(slow.begin(), slow.end(), black)
                              << " pixels expected, " << std::count(fast.begin(), fast.end(), black) << " drawn";
        EXPECT_EQ(got.first, want.first);
        EXPECT_EQ(got.last, want.last);
    }
};

TEST(FillDisc, MatchesTheStepByStepAlgorithmForManyRadiiAndPlaces) {
    DiscPair screen(800, 600);
    const float radii[] = {0.4f, 1.0f, 1.5f, 2.0f, 3.0f, 5.5f, 7.9f, 8.0f, 8.5f, 13.0f, 27.6589f, 40.25f, 100.0f, 333.3f, 1000.0f};
    const float aspects[] = {1.0f, 0.5f, 0.3f, 1.7f, 4.0f, 20.0f};
    const std::int64_t centres[][2] = {{400, 300}, {0, 0},     {799, 599}, {-8, 300},  {3, -20},   {790, 610},
                                       {-500, 300}, {400, -900}, {1200, 50}, {400, 1100}, {-30, -30}, {830, 630},
                                       {400, -31},  {400, 630}};
    for (const float radius : radii) {
        for (const float aspect : aspects) {
            for (const auto& c : centres) {
                screen.expect_same(radius, aspect, c[0], c[1]);
                if (::testing::Test::HasFatalFailure()) return;
            }
        }
    }
}

// A tall ellipse (aspect above 1, so a < b) takes its spans further from the
// centre line than b, since trunc(a * a) undercounts the vertical step: every
// centre line from far above the surface to far below it, on a small surface
// whose edges behave as the screen's do.
TEST(FillDisc, TallEllipsesMatchTheStepByStepAlgorithmWithTheCentreOffTheSurface) {
    DiscPair surface(64, 48);
    const float radii[] = {1.0f, 1.5f, 8.0f, 13.0f, 27.6589f, 40.25f};
    const float aspects[] = {1.2f, 1.7f, 4.0f, 20.0f, 27.0f};
    for (const float radius : radii) {
        for (const float aspect : aspects) {
            const std::int64_t reach = std::int64_t(3 * radius) + 2;
            for (const std::int64_t cx : {32, -1, 64}) {
                for (std::int64_t cy = -reach; cy < surface.h + reach; ++cy) {
                    surface.expect_same(radius, aspect, cx, cy);
                    if (::testing::Test::HasFatalFailure()) return;
                }
            }
        }
    }
}

TEST_F(Drawing, ExtremeCirclesStayDefinedAndBounded) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // A radius far beyond the screen around an on-screen centre covers it all.
    fill_circle(400.0f, 300.0f, 3e38f, black, 1.0f, 0.0f, whole_circle);
    EXPECT_EQ(count_pixels(black), 800 * 600);
    SetUp();
    fill_circle(400.0f, 300.0f, inf, black, 1.0f, 0.0f, whole_circle);
    EXPECT_EQ(count_pixels(black), 800 * 600);
    SetUp();
    // A disc at the radius limit whose centre lies that far above the screen:
    // its error terms run through their whole range before the cap is drawn.
    fill_circle(400.0f, -1048000.0f, 3e38f, black, 1.0f, 0.0f, whole_circle);
    fill_circle(400.0f, -1048000.0f, 3e38f, black, 0.5f, 0.0f, whole_circle);
    EXPECT_GT(count_pixels(black), 0);
    EXPECT_LT(count_pixels(black), 800 * 600);
    SetUp();
    // Centres and radii at the ends of the float range draw nothing and never overflow.
    for (const float far : {3e38f, -3e38f, inf, -inf, nan}) {
        fill_circle(far, 300.0f, 8.0f, black, 1.0f, 0.0f, whole_circle);
        fill_circle(400.0f, far, 8.0f, black, 1.0f, 0.0f, whole_circle);
        fill_circle(far, far, 3e38f, black, 1.0f, 0.0f, whole_circle);
    }
    EXPECT_EQ(count_pixels(black), 0);
    // Aspects outside the scene's one value still give a bounded shape.
    fill_circle(400.0f, 300.0f, 8.0f, black, nan, 0.0f, whole_circle);
    fill_circle(400.0f, 300.0f, 8.0f, black, -3.0f, 0.0f, whole_circle);
    fill_circle(400.0f, 300.0f, 8.0f, black, inf, 0.0f, whole_circle);
    fill_circle(400.0f, 300.0f, 8.0f, black, 0.0f, 0.0f, whole_circle);
    EXPECT_LE(count_pixels(black), 221);
}

TEST_F(Drawing, NonPositiveRadiusDrawsAndMarksNothing) {
    for (const float radius : {0.0f, -0.0f, -8.0f, std::numeric_limits<float>::quiet_NaN()}) {
        fill_circle(400.0f, 300.0f, radius, black, 1.0f, 0.0f, whole_circle);
    }
    EXPECT_EQ(count_pixels(backdrop), 800 * 600);
    EXPECT_EQ(marked_count(), 0);
}

// ---------------------------------------------------------------- display state

TEST_F(Drawing, NothingHappensWithoutADisplay) {
    Image* ship = create_image(20, 20, 0x00123456, 0, 0);
    ASSERT_NE(ship, nullptr);
    close_display_state();
    put_opaque(0.0f, 0.0f, ship);
    put_transparent(100.0f, 100.0f, ship);
    draw_shot(400.0f, 300.0f);
    EXPECT_EQ(count_pixels(backdrop), 800 * 600);
    EXPECT_EQ(marked_count(), 0);
    EXPECT_EQ(display().nesting, 0);
    release_image(ship);
}

TEST_F(Drawing, EmptySlotAndForeignDepthAreNotCopied) {
    put_opaque(0.0f, 0.0f, nullptr);
    put_transparent(0.0f, 0.0f, nullptr);
    TestImage other(10, 10);
    other.image.depth = 16;
    put_opaque(0.0f, 0.0f, &other.image);
    EXPECT_EQ(count_pixels(backdrop), 800 * 600);
    EXPECT_EQ(marked_count(), 0);
}

TEST_F(Drawing, InsideAFrameDrawingOnlyCountsAndOutsideItTakesAndReleasesTheLock) {
    TestImage ship = make_ship(30, 30);
    lock_screen();
    put_opaque(10.0f, 10.0f, &ship.image);
    put_transparent(20.0f, 20.0f, &ship.image);
    draw_shot(400.0f, 300.0f);
    EXPECT_EQ(display().nesting, 1);
    EXPECT_FALSE(lock_free_for_another_thread());
    unlock_screen(1, 0);
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());

    put_opaque(10.0f, 10.0f, &ship.image);
    draw_shot(400.0f, 300.0f);
    EXPECT_EQ(display().nesting, 0);
    EXPECT_TRUE(lock_free_for_another_thread());
}

TEST_F(Drawing, CopiesThatMissTheScreenDoNotWaitForTheLock) {
    TestImage ship = make_ship(30, 30);
    std::atomic<bool> held{false};
    std::atomic<bool> done{false};
    std::atomic<bool> gave_up{false};
    // Another thread holds the lock as a display pass would; it lets go when
    // the copies have returned, or after five seconds if they waited for it.
    std::thread pass([&] {
        std::lock_guard<std::mutex> guard(display().lock);
        held = true;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (!done && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        gave_up = !done;
    });
    while (!held) std::this_thread::yield();
    put_opaque(-30.0f, 0.0f, &ship.image);
    put_transparent(800.0f, 0.0f, &ship.image);
    put_opaque(0.0f, 600.0f, &ship.image);
    put_transparent(0.0f, -30.0f, &ship.image);
    done = true;
    pass.join();
    EXPECT_FALSE(gave_up);
    EXPECT_EQ(marked_count(), 0);
}

}  // namespace
