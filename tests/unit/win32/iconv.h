// The little of iconv the key tests use (one UTF-32LE character to a code
// page), for the Windows build, which has no iconv: the conversion is the
// system's own, WideCharToMultiByte without best-fit guesses.
#pragma once

#include <windows.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

using iconv_t = void*;

inline iconv_t iconv_open(const char* to, const char* from) {
    if (std::strncmp(to, "CP", 2) != 0 || std::strcmp(from, "UTF-32LE") != 0) return reinterpret_cast<iconv_t>(-1);
    return reinterpret_cast<iconv_t>(static_cast<std::uintptr_t>(std::stoul(to + 2)));
}

inline int iconv_close(iconv_t) { return 0; }

// Converts one character at a time; (size_t)-1 with EILSEQ for a character
// the page lacks. A call with no input resets nothing, as there is no state.
inline std::size_t iconv(iconv_t page, char** in, std::size_t* in_left, char** out, std::size_t* out_left) {
    if (in == nullptr || *in == nullptr) return 0;
    std::size_t converted = 0;
    while (*in_left >= 4) {
        char32_t code_point = 0;
        std::memcpy(&code_point, *in, 4);
        if (code_point > 0xFFFF || *out_left < 1) {
            errno = code_point > 0xFFFF ? EILSEQ : E2BIG;
            return std::size_t(-1);
        }
        const wchar_t unit = wchar_t(code_point);
        char byte = 0;
        BOOL defaulted = FALSE;
        const UINT code_page = UINT(reinterpret_cast<std::uintptr_t>(page));
        if (WideCharToMultiByte(code_page, WC_NO_BEST_FIT_CHARS, &unit, 1, &byte, 1, nullptr, &defaulted) != 1 ||
            defaulted) {
            errno = EILSEQ;
            return std::size_t(-1);
        }
        **out = byte;
        ++*out;
        --*out_left;
        *in += 4;
        *in_left -= 4;
        ++converted;
    }
    return converted;
}
