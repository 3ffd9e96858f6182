// The window's title, from the path of the running executable.
#pragma once

#include <string>
#include <string_view>

// The file name at `path` without its directory and without its last
// extension: "/opt/my.demo.exe" gives "my.demo". Directories end at '/', and
// on Windows at '\\' too.
std::string window_title(std::string_view path);
