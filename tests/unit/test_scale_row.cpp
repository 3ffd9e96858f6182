// test-links: core
// Widening a row by nearest neighbour, as full screen shows the picture:
// every output pixel is the source pixel its column maps to, for widening and
// narrowing alike, and no read goes past the source row (the row is its own
// allocation, so the address sanitizer build sees any overrun).
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "core/scale_row.h"

namespace {

class ScaleRow : public ::testing::TestWithParam<int> {};

TEST_P(ScaleRow, EveryPixelFromItsNearestSourceColumn) {
    constexpr int in_width = 800;
    const int out_width = GetParam();
    auto in = std::make_unique<Pixel[]>(in_width);
    for (int x = 0; x < in_width; ++x) in[x] = 0xA5000000u ^ Pixel(x * 2654435761u);
    std::vector<int> column(static_cast<std::size_t>(out_width));
    scale_columns(in_width, out_width, column.data());
    std::vector<Pixel> out(std::size_t(out_width) + 1, 0xDEADBEEF);
    scale_row(in.get(), in_width, out.data(), column.data(), out_width);
    for (int x = 0; x < out_width; ++x) {
        ASSERT_EQ(out[std::size_t(x)], in[std::int64_t(x) * in_width / out_width]) << "column " << x;
    }
    EXPECT_EQ(out.back(), 0xDEADBEEF) << "wrote past the row";
}

INSTANTIATE_TEST_SUITE_P(Widths, ScaleRow, ::testing::Values(1, 7, 8, 13, 640, 799, 800, 801, 807, 1024, 1280, 1366, 1600, 1920, 6401));

}  // namespace
