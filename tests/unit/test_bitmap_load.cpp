// load_bitmap around the reader's core: the display check, the file, reading
// no more than the rows need, and the display lock while rows are stored.
// test-label: threads
#include <gtest/gtest.h>
#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "core/bitmap_reader.h"
#include "display/bitmap_file.h"
#include "display/display_state.h"
#include "test_bitmap_files.h"

namespace {

namespace fs = std::filesystem;

constexpr Pixel A = 0xFF102030, B = 0xFF405060, C = 0xFF708090, D = 0xFFA0B0C0;

// 2 x 2, 24 bits: top row A B, bottom row C D.
Bytes small_file() {
    return bmp_file({.width = 2, .height = 2, .bits = 24},
                    {0x90, 0x80, 0x70, 0xC0, 0xB0, 0xA0, 0, 0, 0x30, 0x20, 0x10, 0x60, 0x50, 0x40, 0, 0});
}

class LoadBitmap : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("scene_bitmap_load_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        open_display_state();
    }
    void TearDown() override {
        close_display_state();
        fs::remove_all(dir_);
    }
    std::string write(const std::string& name, const Bytes& bytes) {
        const fs::path path = dir_ / name;
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   std::streamsize(bytes.size()));
        return path.string();
    }

    fs::path dir_;
    std::vector<Pixel> pixels_ = std::vector<Pixel>(9, test_fill);
    Image image_{3, 3, 32, 3, pixels_.data()};
};

TEST_F(LoadBitmap, ReadsIntoTheTopLeftCorner) {
    const std::string path = write("small.bmp", small_file());
    EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_read);
    const Pixel F = test_fill;
    EXPECT_EQ(pixels_, (std::vector<Pixel>{A, B, F, C, D, F, F, F, F}));
}

TEST_F(LoadBitmap, ResultCodesBeforeAnyByteIsRead) {
    const std::string path = write("small.bmp", small_file());
    EXPECT_EQ(load_bitmap((dir_ / "missing.bmp").string().c_str(), &image_, nullptr), bitmap_cannot_open);
    EXPECT_EQ(load_bitmap(dir_.string().c_str(), &image_, nullptr), bitmap_cannot_open);
    EXPECT_EQ(load_bitmap(nullptr, &image_, nullptr), bitmap_cannot_open);
    close_display_state();
    EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_no_display);
    EXPECT_EQ(load_bitmap((dir_ / "missing.bmp").string().c_str(), &image_, nullptr), bitmap_no_display);
    EXPECT_EQ(pixels_, std::vector<Pixel>(9, test_fill));
}

TEST_F(LoadBitmap, EarlyEndKeepsTheBottomRowAndFillsThePalette) {
    Bytes file = bmp_file({.width = 2, .height = 2, .bits = 8, .palette = {0x102030, 0x405060}},
                          {1, 0, 0, 0, 0});  // the top row lacks a pixel byte
    const std::string path = write("cut.bmp", file);
    BitmapPalette palette;
    EXPECT_EQ(load_bitmap(path.c_str(), &image_, &palette), bitmap_bad);
    const Pixel F = test_fill;
    EXPECT_EQ(pixels_, (std::vector<Pixel>{F, F, F, B, A, F, F, F, F}));
    ASSERT_EQ(palette.count, 2);
    EXPECT_EQ(palette.colours[1], B);
}

TEST_F(LoadBitmap, NoDestinationStillGivesTheFilesResult) {
    const std::string path = write("small.bmp", small_file());
    EXPECT_EQ(load_bitmap(path.c_str(), nullptr, nullptr), bitmap_read);
    const std::string bad = write("bad.bmp", Bytes{'B', 'A'});
    EXPECT_EQ(load_bitmap(bad.c_str(), nullptr, nullptr), bitmap_bad);
}

TEST_F(LoadBitmap, LeavesTheNestingAsItFoundIt) {
    const std::string path = write("small.bmp", small_file());
    DisplayState& d = display();
    EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_read);
    EXPECT_EQ(d.nesting, 0);
    ASSERT_TRUE(d.lock.try_lock()) << "the display lock was left taken";
    d.lock.unlock();

    // Inside an open frame the lock is already ours; the level count returns to 1.
    ASSERT_TRUE(enter_level());
    EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_read);
    EXPECT_EQ(d.nesting, 1);
    leave_level();
}

TEST_F(LoadBitmap, StoresRowsOnlyWhileHoldingTheDisplayLock) {
    const std::string path = write("small.bmp", small_file());
    DisplayState& d = display();
    // This thread plays the display thread in the middle of a pass.
    d.lock.lock();
    std::atomic<int> result{-1};
    std::thread scene([&] { result = load_bitmap(path.c_str(), &image_, nullptr); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(result.load(), -1) << "load_bitmap finished without the display lock";
    EXPECT_EQ(pixels_, std::vector<Pixel>(9, test_fill));
    d.lock.unlock();
    scene.join();
    EXPECT_EQ(result.load(), bitmap_read);
    EXPECT_EQ(pixels_[0], A);
}

// ---------------------------------------------------------------------------
// How much of a file is read and held.

TEST_F(LoadBitmap, ReadsNoFurtherThanTheRowsReach) {
    Bytes file = bmp_file({.width = 300, .height = 200, .bits = 24}, Bytes(900 * 200, 7));
    const std::size_t rows_end = file.size();
    file.resize(file.size() + (1 << 20), 0xEE);  // a megabyte nobody needs
    const std::string path = write("trailing.bmp", file);
    BitmapFileBytes f;
    ASSERT_EQ(read_bitmap_file(path.c_str(), f), bitmap_read);
    EXPECT_EQ(f.size, rows_end);
    EXPECT_EQ(f.capacity, rows_end);
}

TEST_F(LoadBitmap, NeverHoldsMoreThanTheFileWhateverTheHeaderClaims) {
    Bytes file = bmp_file({.bits = 32}, Bytes(10000, 1));
    put32(file, 18, 0x7FFFFFFF);
    put32(file, 22, 0x7FFFFFFF);
    const std::string path = write("claims.bmp", file);
    BitmapFileBytes f;
    ASSERT_EQ(read_bitmap_file(path.c_str(), f), bitmap_read);
    EXPECT_EQ(f.size, file.size());
    EXPECT_LE(f.capacity, file.size());
    std::vector<Pixel> big(64, test_fill);
    Image dest{8, 8, 32, 8, big.data()};
    EXPECT_EQ(load_bitmap(path.c_str(), &dest, nullptr), bitmap_bad);
}

// Only a regular file is a bitmap file. A FIFO with no writer would block an
// ordinary open for ever; here it, a directory and a device give 2 at once and
// leave the image as it was. A link to a regular file reads as the file.
#ifndef _WIN32
TEST_F(LoadBitmap, AnythingButARegularFileCannotBeOpened) {
    const fs::path fifo = dir_ / "pipe.bmp";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string real = write("small.bmp", small_file());
    const fs::path link = dir_ / "link.bmp";
    fs::create_symlink(real, link);
    const std::vector<Pixel> before = pixels_;
    for (const std::string& path : {fifo.string(), dir_.string(), std::string("/dev/zero")}) {
        EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_cannot_open) << path;
        EXPECT_EQ(pixels_, before) << path;
    }
    EXPECT_EQ(load_bitmap(link.c_str(), &image_, nullptr), bitmap_read);
    EXPECT_EQ(pixels_[0], A);
}
#else
// On Windows a directory and a device (NUL) give 2 and leave the image as it
// was. (Links need a privilege there, and FIFOs do not exist.)
TEST_F(LoadBitmap, AnythingButARegularFileCannotBeOpened) {
    const std::vector<Pixel> before = pixels_;
    for (const std::string& path : {dir_.string(), std::string("NUL")}) {
        EXPECT_EQ(load_bitmap(path.c_str(), &image_, nullptr), bitmap_cannot_open) << path;
        EXPECT_EQ(pixels_, before) << path;
    }
}
#endif

}  // namespace
