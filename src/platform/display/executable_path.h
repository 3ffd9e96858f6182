// Where the running program's file lies, for the window's title.
#pragma once

#include <string>

// The path of the running executable (UTF-8), or as much of its name as the
// system tells; "" when it tells nothing.
std::string executable_path();
