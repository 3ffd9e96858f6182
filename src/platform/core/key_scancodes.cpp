// Set-1 codes to usages, read backwards out of key_translate's own table.
#include "core/key_scancodes.h"

#include <array>
#include <cstddef>

#include "core/key_translate.h"

namespace {

struct ExtendedKey {
    int scan;
    int usage;
};

// Keys sent with E0: the plain code then names their twin on the keypad (or
// the left-hand key). Num Lock is here too: Windows marks it extended, and
// its plain code reaches the backend only as part of Pause.
constexpr ExtendedKey extended_keys[] = {
    {0x1C, usage::keypad_enter}, {0x1D, usage::right_ctrl}, {0x35, 84 /* KP / */}, {0x37, 70 /* PrtSc */},
    {0x38, usage::right_alt},    {0x47, usage::home},       {0x48, usage::up},     {0x49, usage::page_up},
    {0x4B, usage::left},         {0x4D, usage::right},      {0x4F, usage::end},    {0x50, usage::down},
    {0x51, usage::page_down},    {0x52, usage::insert},     {0x53, usage::del},    {0x5B, 227 /* left GUI */},
    {0x5C, 231 /* right GUI */}, {0x5D, 101 /* Menu */},    {0x45, 83 /* Num Lock */},
};

bool is_extended_only(int key) {
    for (const ExtendedKey& entry : extended_keys) {
        if (entry.usage == key && entry.usage != 83) return true;
    }
    return false;
}

// Plain code -> the first usage with that code that is not an E0 key: so
// 0x2B is the US backslash (not the ISO '#' key of the same code) and 0x48
// the keypad's 8.
std::array<int, key_state_entries> make_plain_table() {
    std::array<int, key_state_entries> table{};
    for (int key = usage::count - 1; key > 0; --key) {
        const int scan = set1_code(key);
        if (scan > 0 && scan < key_state_entries && !is_extended_only(key)) table[std::size_t(scan)] = key;
    }
    return table;
}

}  // namespace

int usage_of_set1(int scan, bool extended) {
    if (scan <= 0 || scan >= key_state_entries) return 0;
    if (extended) {
        for (const ExtendedKey& entry : extended_keys) {
            if (entry.scan == scan) return entry.usage;
        }
        return 0;
    }
    static const std::array<int, key_state_entries> plain = make_plain_table();
    return plain[std::size_t(scan)];
}
