// read_bitmap_file with the POSIX file calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/bitmap_reader.h"
#include "display/bitmap_file.h"

namespace {

std::size_t read_some(void* handle, std::uint8_t* into, std::size_t want) {
    const int fd = *static_cast<const int*>(handle);
    for (;;) {
        const ssize_t got = ::read(fd, into, want);
        if (got < 0 && errno == EINTR) continue;
        return got > 0 ? std::size_t(got) : 0;
    }
}

}  // namespace

int read_bitmap_file(const char* file_name, BitmapFileBytes& out) {
    out = BitmapFileBytes{};
    if (file_name == nullptr) return bitmap_cannot_open;
    // Opening without blocking: a FIFO with no writer would otherwise hold the
    // start-up for ever, with nothing in the window able to end it. Only a
    // regular file (or a link to one) counts as a bitmap file.
    int fd = ::open(file_name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return bitmap_cannot_open;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return bitmap_cannot_open;
    }
    const bool have_memory = read_needed_bytes(BitmapSource{&fd, read_some}, std::uint64_t(st.st_size), out);
    ::close(fd);
    return have_memory ? bitmap_read : bitmap_bad;
}
