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
