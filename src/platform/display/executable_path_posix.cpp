// executable_path on Linux: the link /proc/self/exe, else the name the
// program was started under.
#include <unistd.h>

#include <cerrno>

#include "display/executable_path.h"

std::string executable_path() {
    char path[4096];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0) return program_invocation_short_name;
    return std::string(path, static_cast<std::size_t>(length));
}
