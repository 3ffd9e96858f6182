// executable_path on Windows: the module's own file name, in UTF-8.
#include <windows.h>

#include <vector>

#include "display/executable_path.h"

std::string executable_path() {
    // Paths may be longer than MAX_PATH; the buffer grows until the name fits.
    std::vector<wchar_t> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), DWORD(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            const int bytes = WideCharToMultiByte(CP_UTF8, 0, path.data(), int(length), nullptr, 0, nullptr, nullptr);
            std::string out(std::size_t(bytes > 0 ? bytes : 0), '\0');
            if (bytes > 0) WideCharToMultiByte(CP_UTF8, 0, path.data(), int(length), out.data(), bytes, nullptr, nullptr);
            return out;
        }
        if (path.size() >= 32768) return {};
        path.resize(path.size() * 2);
    }
}
