// read_bitmap_file with the Windows file API. Only a file on disk counts:
// directories cannot be opened this way, and devices (NUL, CON, COM1),
// pipes and the like are no disk files.
#include <windows.h>

#include "core/bitmap_reader.h"
#include "display/bitmap_file.h"

namespace {

std::size_t read_some(void* handle, std::uint8_t* into, std::size_t want) {
    const DWORD chunk = want > 0x40000000 ? 0x40000000 : DWORD(want);
    DWORD got = 0;
    if (!ReadFile(static_cast<HANDLE>(handle), into, chunk, &got, nullptr)) return 0;
    return got;
}

}  // namespace

int read_bitmap_file(const char* file_name, BitmapFileBytes& out) {
    out = BitmapFileBytes{};
    if (file_name == nullptr) return bitmap_cannot_open;
    HANDLE file = CreateFileA(file_name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bitmap_cannot_open;
    BY_HANDLE_FILE_INFORMATION info{};
    LARGE_INTEGER size{};
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 || !GetFileSizeEx(file, &size)) {
        CloseHandle(file);
        return bitmap_cannot_open;
    }
    const bool have_memory = read_needed_bytes(BitmapSource{file, read_some}, std::uint64_t(size.QuadPart), out);
    CloseHandle(file);
    return have_memory ? bitmap_read : bitmap_bad;
}
