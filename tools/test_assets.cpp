// Checks the committed pictures in assets/: the art tool draws them again byte
// for byte, the program's own reader loads them at their slot sizes, the
// backdrop wraps without a seam, and each ship sits whole in the colour key.
// Run as: test_assets DRAW_ART_PROGRAM ASSETS_FOLDER [gtest options]
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <ostream>
#include <string>
#include <vector>

#include "display/display_state.h"
#include "platform.h"

namespace {

std::string tool_path;
std::string assets_dir;

constexpr std::uint32_t magenta = 0xFF00FF;

struct Picture {
    const char* name;
    int width;
    int height;
};

constexpr Picture pictures[] = {
    {"background.bmp", 800, 600},
    {"goodship.bmp", 200, 244},
    {"badship.bmp", 233, 250},
};

std::vector<unsigned char> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t u32(const std::vector<unsigned char>& b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24;
}

// A picture decoded here, independently of the program's reader: 0xRRGGBB, rows top down.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> rgb;
    std::uint32_t at(int x, int y) const { return rgb[std::size_t(y) * width + x]; }
};

// Decodes the one layout the tool writes (24 bits, 40-byte header, bottom row
// first, no compression); fails the test for anything else.
Pixels decode_24_bit(const std::string& path) {
    const std::vector<unsigned char> b = read_file(path);
    Pixels p;
    if (b.size() < 54) {
        ADD_FAILURE() << path << " is too short for a bitmap";
        return p;
    }
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(u32(b, 2), b.size()) << "file size field";
    EXPECT_EQ(u32(b, 10), 54u) << "data offset";
    EXPECT_EQ(u32(b, 14), 40u) << "information header size";
    EXPECT_EQ(b[26] | b[27] << 8, 1) << "planes";
    EXPECT_EQ(b[28] | b[29] << 8, 24) << "bits per pixel";
    EXPECT_EQ(u32(b, 30), 0u) << "compression";
    const int width = int(u32(b, 18));
    const int height = int(u32(b, 22));
    EXPECT_GT(height, 0) << "rows must be stored bottom row first";
    const std::size_t row_bytes = (std::size_t(width) * 3 + 3) & ~std::size_t(3);
    if (width < 1 || height < 1 || b.size() != 54 + row_bytes * height) {
        ADD_FAILURE() << path << ": size does not match " << width << "x" << height;
        return p;
    }
    p.width = width;
    p.height = height;
    p.rgb.resize(std::size_t(width) * height);
    for (int y = 0; y < height; ++y) {
        const unsigned char* row = &b[54 + row_bytes * std::size_t(height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            p.rgb[std::size_t(y) * width + x] = row[3 * x + 2] << 16 | row[3 * x + 1] << 8 | row[3 * x];
        }
    }
    return p;
}

std::string asset(const char* name) { return assets_dir + "/" + name; }

int channel_difference(std::uint32_t a, std::uint32_t b) {
    int sum = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        sum += std::abs(int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF));
    }
    return sum;
}

TEST(ArtTool, RedrawsTheCommittedPicturesByteForByte) {
    char folder_template[] = "/tmp/test_assets_XXXXXX";
    const char* folder = mkdtemp(folder_template);
    ASSERT_NE(folder, nullptr);
    const std::string command = "'" + tool_path + "' '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    for (const Picture& picture : pictures) {
        const std::string fresh = std::string(folder) + "/" + picture.name;
        const std::vector<unsigned char> drawn = read_file(fresh);
        const std::vector<unsigned char> committed = read_file(asset(picture.name));
        EXPECT_FALSE(committed.empty()) << picture.name << " is missing from " << assets_dir;
        EXPECT_TRUE(drawn == committed) << picture.name << " differs from what the tool draws";
        std::remove(fresh.c_str());
    }
    rmdir(folder);
}

TEST(Assets, LoadThroughTheProgramsReaderAtTheirSlotSizes) {
    open_display_state();
    for (const Picture& picture : pictures) {
        SCOPED_TRACE(picture.name);
        const Pixels expected = decode_24_bit(asset(picture.name));
        ASSERT_EQ(expected.width, picture.width);
        ASSERT_EQ(expected.height, picture.height);
        Image* image = create_image(picture.width, picture.height, 0, 0, fill_with_transparent);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(load_bitmap(asset(picture.name).c_str(), image, nullptr), 0);
        int wrong = 0;
        for (int y = 0; y < picture.height; ++y) {
            for (int x = 0; x < picture.width; ++x) {
                wrong += image->pixels[y * image->stride + x] != (0xFF000000u | expected.at(x, y));
            }
        }
        EXPECT_EQ(wrong, 0) << "pixels that differ from the file";
        release_image(image);
    }
    close_display_state();
}

// Mean difference between two columns, per channel and row.
double column_difference(const Pixels& p, int a, int b) {
    long sum = 0;
    for (int y = 0; y < p.height; ++y) {
        sum += channel_difference(p.at(a, y), p.at(b, y));
    }
    return double(sum) / (3.0 * p.height);
}

TEST(Assets, BackgroundWrapsWithoutASeamAndHoldsNoKeyColour) {
    const Pixels bg = decode_24_bit(asset("background.bmp"));
    ASSERT_EQ(bg.width, 800);
    std::vector<double> neighbours;
    for (int x = 0; x + 1 < bg.width; ++x) {
        neighbours.push_back(column_difference(bg, x, x + 1));
    }
    std::sort(neighbours.begin(), neighbours.end());
    const double seam = column_difference(bg, bg.width - 1, 0);
    const double median = neighbours[neighbours.size() / 2];
    // A picture that does not repeat shows a seam many times the usual step.
    EXPECT_LE(seam, neighbours.back());
    EXPECT_LE(seam, 1.5 * median) << "median step between neighbouring columns " << median;
    EXPECT_EQ(std::count(bg.rgb.begin(), bg.rgb.end(), magenta), 0);
}

struct ShipCase {
    const char* name;
    // Rows where the ship reaches the right-hand column, or -1 when it must not.
    int right_edge_first_row;
    int right_edge_last_row;
};

void PrintTo(const ShipCase& c, std::ostream* os) { *os << c.name; }

class Ship : public ::testing::TestWithParam<ShipCase> {};

TEST_P(Ship, SitsWholeInTheColourKeyWithADarkOutline) {
    const ShipCase& c = GetParam();
    const Pixels p = decode_24_bit(asset(c.name));
    ASSERT_GT(p.width, 0);
    const int w = p.width;
    const int h = p.height;
    auto is_key = [&](int x, int y) { return p.at(x, y) == magenta; };

    // Key colour all round: corners, and most of the border.
    EXPECT_TRUE(is_key(0, 0) && is_key(w - 1, 0) && is_key(0, h - 1) && is_key(w - 1, h - 1));
    int border = 0;
    int border_key = 0;
    for (int x = 0; x < w; ++x) {
        border += 2;
        border_key += is_key(x, 0) + is_key(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        border += 2;
        border_key += is_key(0, y) + is_key(w - 1, y);
    }
    EXPECT_GT(border_key, border * 9 / 10);

    // Flood the key colour in from the border: any key pixel it cannot reach is
    // a hole inside the silhouette, which the colour key would punch through.
    std::vector<char> outside(std::size_t(w) * h, 0);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        if (x >= 0 && y >= 0 && x < w && y < h && is_key(x, y) && !outside[std::size_t(y) * w + x]) {
            outside[std::size_t(y) * w + x] = 1;
            stack.push_back(y * w + x);
        }
    };
    for (int x = 0; x < w; ++x) {
        push(x, 0);
        push(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        push(0, y);
        push(w - 1, y);
    }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        push(i % w + 1, i / w);
        push(i % w - 1, i / w);
        push(i % w, i / w + 1);
        push(i % w, i / w - 1);
    }
    int holes = 0;
    int ship = 0;
    int bright_edge = 0;
    int fringe = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            if (is_key(x, y)) {
                holes += !outside[std::size_t(y) * w + x];
                continue;
            }
            ++ship;
            const std::uint32_t v = p.at(x, y);
            const int r = v >> 16;
            const int g = (v >> 8) & 0xFF;
            const int b = v & 0xFF;
            // Blends towards magenta would show as a pink halo on screen.
            fringe += r > 150 && b > 150 && g < r / 2 && g < b / 2;
            const bool touches_key = (x > 0 && is_key(x - 1, y)) || (x + 1 < w && is_key(x + 1, y)) ||
                                     (y > 0 && is_key(x, y - 1)) || (y + 1 < h && is_key(x, y + 1));
            bright_edge += touches_key && std::max({r, g, b}) > 64;
        }
    }
    EXPECT_EQ(holes, 0) << "key-coloured pixels inside the silhouette";
    EXPECT_EQ(fringe, 0) << "near-magenta pixels";
    EXPECT_EQ(bright_edge, 0) << "outline pixels that are not dark";
    EXPECT_GT(ship, w * h / 5) << "the craft should fill a good part of its picture";
    EXPECT_LT(ship, w * h * 4 / 5);

    // The good ship's nose is its right edge, where the shot leaves it; nothing
    // else of either craft touches that column.
    int nose_rows = 0;
    int stray_rows = 0;
    for (int y = 0; y < h; ++y) {
        if (!is_key(w - 1, y)) {
            const bool allowed = y >= c.right_edge_first_row && y <= c.right_edge_last_row;
            (allowed ? nose_rows : stray_rows) += 1;
        }
    }
    EXPECT_EQ(stray_rows, 0) << "rows where the craft touches the right-hand column";
    EXPECT_EQ(nose_rows > 0, c.right_edge_first_row >= 0) << "the nose in the right-hand column";
}

INSTANTIATE_TEST_SUITE_P(Assets, Ship,
                         ::testing::Values(ShipCase{"goodship.bmp", 165, 175}, ShipCase{"badship.bmp", -1, -1}),
                         [](const ::testing::TestParamInfo<ShipCase>& info) {
                             return std::string(info.param.name).substr(0, std::string(info.param.name).find('.'));
                         });

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DRAW_ART_PROGRAM ASSETS_FOLDER [gtest options]\n", argv[0]);
        return 2;
    }
    tool_path = argv[1];
    assets_dir = argv[2];
    return RUN_ALL_TESTS();
}
