// Reading a bitmap file into memory, as far as the reader needs its bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// A file's leading bytes, read as far as decode_bitmap needs them.
struct BitmapFileBytes {
    std::unique_ptr<std::uint8_t[]> bytes;
    std::size_t size = 0;      // bytes read
    std::size_t capacity = 0;  // bytes allocated
};

// Reads the file as far as its rows reach and never beyond what it holds:
// bitmap_cannot_open when it cannot be opened or is no regular file (a FIFO,
// directory, device or socket; a link to a regular file is read as that file),
// bitmap_bad when memory cannot be had, else bitmap_read.
int read_bitmap_file(const char* file_name, BitmapFileBytes& out);

// An open file for read_needed_bytes: read_some reads up to `want` bytes
// into `into` and gives the number read, 0 at the end or on an error.
struct BitmapSource {
    void* handle;
    std::size_t (*read_some)(void* handle, std::uint8_t* into, std::size_t want);
};

// The part of read_bitmap_file every system shares: the file's bytes as far as
// its rows reach, never more than file_size; false when memory cannot be had.
bool read_needed_bytes(const BitmapSource& file, std::uint64_t file_size, BitmapFileBytes& out);
