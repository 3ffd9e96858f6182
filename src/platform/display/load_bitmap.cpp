// load_bitmap: the display check, the file, and the display lock around the
// reader's core. The file is read into memory only as far as its rows reach,
// and never further than it really holds, whatever its header claims.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "core/bitmap_reader.h"
#include "display/bitmap_file.h"
#include "display/display_state.h"
#include "platform.h"

namespace {

// Enough for every header, mask and palette of an ordinary file, so one
// more read brings in the rows.
constexpr std::size_t first_read_bytes = 4096;

// Reads until `want` bytes are held or the file ends. A read error counts as
// the end of the file: the reader then sees a short file.
void read_until(const BitmapSource& file, BitmapFileBytes& f, std::size_t want) {
    while (f.size < want) {
        const std::size_t got = file.read_some(file.handle, f.bytes.get() + f.size, want - f.size);
        if (got == 0) return;
        f.size += got;
    }
}

// Moves the bytes into a buffer of `capacity`; false when memory cannot be had.
bool grow(BitmapFileBytes& f, std::size_t capacity) {
    std::unique_ptr<std::uint8_t[]> bigger(new (std::nothrow) std::uint8_t[capacity]);
    if (!bigger) return false;
    if (f.size > 0) std::memcpy(bigger.get(), f.bytes.get(), f.size);
    f.bytes = std::move(bigger);
    f.capacity = capacity;
    return true;
}

}  // namespace

// The file's size bounds the buffer: the header is read first, then as much
// of the rest as the rows reach.
bool read_needed_bytes(const BitmapSource& file, std::uint64_t file_size, BitmapFileBytes& f) {
    if (!grow(f, std::size_t(std::clamp<std::uint64_t>(file_size, 1, first_read_bytes)))) return false;
    read_until(file, f, f.capacity);
    if (f.size < f.capacity) return true;  // the whole file is in

    std::uint64_t need = bitmap_bytes_needed(f.bytes.get(), f.size);
    need = std::min(need, std::max<std::uint64_t>(file_size, f.size));
    need = std::min<std::uint64_t>(need, std::numeric_limits<std::size_t>::max());
    if (f.size < need) {
        if (!grow(f, std::size_t(need))) return false;
        read_until(file, f, f.capacity);
    }
    return true;
}

int load_bitmap(const char* file_name, Image* destination, BitmapPalette* palette_out) {
    if (!display().open) return bitmap_no_display;
    BitmapFileBytes f;
    const int read = read_bitmap_file(file_name, f);
    // Without memory for the file's bytes nothing can be read from it.
    if (read != bitmap_read) return read;

    // Rows are stored under the display lock, so a display pass waits for them.
    if (!enter_level()) return bitmap_no_display;
    Image none{0, 0, 0, 0, nullptr};
    const int result = decode_bitmap(f.bytes.get(), f.size, destination ? *destination : none,
                                     palette_out);
    leave_level();
    return result;
}
