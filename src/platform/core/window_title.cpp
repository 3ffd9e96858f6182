#include "core/window_title.h"

std::string window_title(std::string_view path) {
    // A binary replaced while it runs reads back from /proc with this suffix.
    constexpr std::string_view deleted = " (deleted)";
    if (path.size() > deleted.size() && path.substr(path.size() - deleted.size()) == deleted) {
        path.remove_suffix(deleted.size());
    }
#ifdef _WIN32
    constexpr const char* separators = "/\\";
#else
    constexpr const char* separators = "/";
#endif
    if (const auto slash = path.find_last_of(separators); slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    // A leading dot marks a hidden file, not an extension.
    if (const auto dot = path.rfind('.'); dot != std::string_view::npos && dot > 0) {
        path = path.substr(0, dot);
    }
    return std::string(path);
}
