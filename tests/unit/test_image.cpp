// create_image: sizes, fill, and no image where none can be made.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "display/display_state.h"
#include "platform.h"

namespace {

class ImageTest : public ::testing::Test {
protected:
    void SetUp() override {
        open_display_state();
        present_changed_lines(nullptr, 0);
    }
    void TearDown() override { close_display_state(); }
};

bool filled_with(const Image& image, Pixel value) {
    for (int j = 0; j < image.height; ++j) {
        const Pixel* row = image.pixels + j * image.stride;
        if (!std::all_of(row, row + image.width, [&](Pixel p) { return p == value; })) return false;
    }
    return true;
}

struct SizeCase {
    int width, height;
};

constexpr SizeCase scene_sizes[] = {{800, 600}, {200, 244}, {233, 250}, {1, 1}, {1, 3000}, {3000, 1}};

TEST_F(ImageTest, HasTheAskedSizeAndTheAskedFill) {
    for (const SizeCase s : scene_sizes) {
        for (const int depth : {0, 32}) {
            Image* keyed = create_image(s.width, s.height, 0x12345678, depth, fill_with_transparent);
            Image* plain = create_image(s.width, s.height, 0x12345678, depth, 0);
            ASSERT_NE(keyed, nullptr);
            ASSERT_NE(plain, nullptr);
            for (const Image* image : {keyed, plain}) {
                EXPECT_EQ(image->width, s.width);
                EXPECT_EQ(image->height, s.height);
                EXPECT_EQ(image->depth, 32);
                EXPECT_GE(image->stride, s.width);
            }
            EXPECT_TRUE(filled_with(*keyed, transparent_colour)) << s.width << "x" << s.height;
            EXPECT_TRUE(filled_with(*plain, 0x12345678)) << s.width << "x" << s.height;
            release_image(keyed);
            release_image(plain);
        }
    }
}

TEST_F(ImageTest, DrawsNothingOnTheDisplay) {
    Image* image = create_image(800, 600, 0, 0, fill_with_transparent);
    ASSERT_NE(image, nullptr);
    const DisplayState& d = display();
    EXPECT_TRUE(std::all_of(d.frame.begin(), d.frame.end(), [](Pixel p) { return p == 0xFF000000u; }));
    EXPECT_EQ(marked_span().first > marked_span().last, true);
    release_image(image);
}

TEST_F(ImageTest, NoImageForSizesBelowOne) {
    constexpr SizeCase bad_sizes[] = {{0, 10}, {10, 0}, {0, 0}, {-1, 10}, {10, -1}, {INT_MIN, INT_MIN}, {INT_MIN, 5}};
    for (const SizeCase s : bad_sizes) {
        EXPECT_EQ(create_image(s.width, s.height, 0, 0, fill_with_transparent), nullptr)
            << s.width << "x" << s.height;
    }
}

TEST_F(ImageTest, NoImageWhenMemoryCannotBeHad) {
    // 2^64 bytes cannot even be counted in a size_t without care; 4 TiB can,
    // but no allocator of this machine will hand it out.
    EXPECT_EQ(create_image(INT_MAX, INT_MAX, 0, 0, fill_with_transparent), nullptr);
    EXPECT_EQ(create_image(1 << 20, 1 << 20, 0, 0, fill_with_transparent), nullptr);
    EXPECT_EQ(create_image(INT_MAX, 1 << 20, 0, 0, 0), nullptr);
    // Failure leaves the program able to make images.
    Image* image = create_image(2, 2, 0, 0, fill_with_transparent);
    EXPECT_NE(image, nullptr);
    release_image(image);
}

TEST_F(ImageTest, NoImageForADepthOtherThanTheDisplays) {
    for (const int depth : {8, 16, 24, 31, 64, -32}) {
        EXPECT_EQ(create_image(10, 10, 0, depth, fill_with_transparent), nullptr) << depth;
    }
}

TEST_F(ImageTest, NoImageWithoutADisplay) {
    close_display_state();
    EXPECT_EQ(create_image(800, 600, 0, 0, fill_with_transparent), nullptr);
    open_display_state();
    Image* image = create_image(800, 600, 0, 0, fill_with_transparent);
    EXPECT_NE(image, nullptr);
    release_image(image);
    release_image(nullptr);
}

}  // namespace
