// load_bitmap: the display check, the file, and the display lock around the
// reader's core. The file is read into memory only as far as its rows reach,
// and never further than it really holds, whatever its header claims.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "bitmap_reader.h"
#include "display_state.h"
#include "platform.h"

namespace {

// Enough for every header, mask and palette of an ordinary file, so one
// more read brings in the rows.
constexpr std::size_t first_read_bytes = 4096;

// Reads until `want` bytes are held or the file ends. A read error counts as
// the end of the file: the reader then sees a short file.
void read_until(int fd, BitmapFileBytes& f, std::size_t want) {
    while (f.size < want) {
        const ssize_t got = ::read(fd, f.bytes.get() + f.size, want - f.size);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        f.size += std::size_t(got);
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

// A regular file's size bounds the buffer; anything else (a pipe) grows it
// by doubling as bytes arrive, so memory stays within twice what it holds.
bool read_needed_bytes(int fd, bool sized, std::uint64_t file_size, BitmapFileBytes& f) {
    std::size_t first = first_read_bytes;
    if (sized) first = std::size_t(std::clamp<std::uint64_t>(file_size, 1, first));
    if (!grow(f, first)) return false;
    read_until(fd, f, f.capacity);
    if (f.size < f.capacity) return true;  // the whole file is in

    std::uint64_t need = bitmap_bytes_needed(f.bytes.get(), f.size);
    if (sized) need = std::min(need, std::max<std::uint64_t>(file_size, f.size));
    need = std::min<std::uint64_t>(need, std::numeric_limits<std::size_t>::max());
    while (f.size < need && f.size == f.capacity) {
        const std::uint64_t next = sized ? need : std::min<std::uint64_t>(need, 2 * f.capacity);
        if (!grow(f, std::size_t(next))) return false;
        read_until(fd, f, f.capacity);
    }
    return true;
}

}  // namespace

int read_bitmap_file(const char* file_name, BitmapFileBytes& out) {
    out = BitmapFileBytes{};
    if (file_name == nullptr) return bitmap_cannot_open;
    const int fd = ::open(file_name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return bitmap_cannot_open;
    struct stat st {};
    const bool have_stat = ::fstat(fd, &st) == 0;
    if (have_stat && S_ISDIR(st.st_mode)) {
        ::close(fd);
        return bitmap_cannot_open;
    }
    const bool sized = have_stat && S_ISREG(st.st_mode);
    const bool have_memory = read_needed_bytes(fd, sized, sized ? std::uint64_t(st.st_size) : 0, out);
    ::close(fd);
    return have_memory ? bitmap_read : bitmap_bad;
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
