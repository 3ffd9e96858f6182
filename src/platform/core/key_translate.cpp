// Key events to queue codes and held keys to set-1 scan codes: the tables.
#include "core/key_translate.h"

#include <cstddef>


namespace {

struct UsageCode {
    std::uint8_t usage;
    std::uint8_t code;
};

// USB HID usage -> set-1 make code for the keys of a PC keyboard. Keys sent
// with the E0 prefix (grey cursor and editing keys, right Ctrl and Alt, keypad
// Enter and slash, the GUI keys) take their plain code, so a grey arrow and
// the keypad arrow read as the same key. Pause and the media keys have no
// plain code and stay out.
constexpr UsageCode usage_codes[] = {
    {4, 0x1E},  {5, 0x30},  {6, 0x2E},  {7, 0x20},  {8, 0x12},  {9, 0x21},  {10, 0x22},
    {11, 0x23}, {12, 0x17}, {13, 0x24}, {14, 0x25}, {15, 0x26}, {16, 0x32}, {17, 0x31},
    {18, 0x18}, {19, 0x19}, {20, 0x10}, {21, 0x13}, {22, 0x1F}, {23, 0x14}, {24, 0x16},
    {25, 0x2F}, {26, 0x11}, {27, 0x2D}, {28, 0x15}, {29, 0x2C},                // a..z
    {30, 0x02}, {31, 0x03}, {32, 0x04}, {33, 0x05}, {34, 0x06}, {35, 0x07}, {36, 0x08},
    {37, 0x09}, {38, 0x0A}, {39, 0x0B},                                        // 1..9, 0
    {40, 0x1C}, {41, 0x01}, {42, 0x0E}, {43, 0x0F}, {44, 0x39},                // Enter Esc BS Tab Space
    {45, 0x0C}, {46, 0x0D}, {47, 0x1A}, {48, 0x1B}, {49, 0x2B}, {50, 0x2B},    // - = [ ] \ #
    {51, 0x27}, {52, 0x28}, {53, 0x29}, {54, 0x33}, {55, 0x34}, {56, 0x35},    // ; ' ` , . /
    {57, 0x3A},                                                                // Caps Lock
    {58, 0x3B}, {59, 0x3C}, {60, 0x3D}, {61, 0x3E}, {62, 0x3F}, {63, 0x40}, {64, 0x41},
    {65, 0x42}, {66, 0x43}, {67, 0x44}, {68, 0x57}, {69, 0x58},                // F1..F12
    {70, 0x37}, {71, 0x46},                                                    // PrtSc, Scroll Lock
    {73, 0x52}, {74, 0x47}, {75, 0x49}, {76, 0x53}, {77, 0x4F}, {78, 0x51},    // Ins Home PgUp Del End PgDn
    {79, 0x4D}, {80, 0x4B}, {81, 0x50}, {82, 0x48},                            // Right Left Down Up
    {83, 0x45}, {84, 0x35}, {85, 0x37}, {86, 0x4A}, {87, 0x4E}, {88, 0x1C},    // NumLock KP/ * - + Enter
    {89, 0x4F}, {90, 0x50}, {91, 0x51}, {92, 0x4B}, {93, 0x4C}, {94, 0x4D},    // KP1..KP6
    {95, 0x47}, {96, 0x48}, {97, 0x49}, {98, 0x52}, {99, 0x53},                // KP7..KP9, KP0, KP.
    {100, 0x56}, {101, 0x5D}, {103, 0x59},                                     // 102nd key, Menu, KP=
    {104, 0x64}, {105, 0x65}, {106, 0x66}, {107, 0x67}, {108, 0x68}, {109, 0x69},
    {110, 0x6A}, {111, 0x6B}, {112, 0x6C}, {113, 0x6D}, {114, 0x6E}, {115, 0x76}, // F13..F24
    {133, 0x7E}, {135, 0x73}, {136, 0x70}, {137, 0x7D}, {138, 0x79}, {139, 0x7B}, // KP, and Japanese keys
    {224, 0x1D}, {225, 0x2A}, {226, 0x38}, {227, 0x5B},                        // left Ctrl Shift Alt GUI
    {228, 0x1D}, {229, 0x36}, {230, 0x38}, {231, 0x5C},                        // right Ctrl Shift Alt GUI
};

constexpr std::array<std::uint8_t, usage::count> make_set1_table() {
    std::array<std::uint8_t, usage::count> table{};
    for (const UsageCode& entry : usage_codes) table[entry.usage] = entry.code;
    return table;
}

constexpr std::array<std::uint8_t, usage::count> set1_table = make_set1_table();

static_assert(set1_table[usage::space] == 57, "the fire key");
static_assert(set1_table[usage::up] == set1_table[usage::keypad_8], "grey and keypad Up");

// A special key's PC BIOS extended codes, alone, with Shift and with Ctrl; 0
// where that combination queues nothing.
struct SpecialKey {
    int usage;
    std::uint8_t plain;
    std::uint8_t shift;
    std::uint8_t ctrl;
};

constexpr SpecialKey special_keys[] = {
    {58, 59, 84, 94},    {59, 60, 85, 95},   {60, 61, 86, 96},   {61, 62, 87, 97},    // F1..F4
    {62, 63, 88, 98},    {63, 64, 89, 99},   {64, 65, 90, 100},  {65, 66, 91, 101},   // F5..F8
    {66, 67, 92, 102},   {67, 0, 93, 103},                                            // F9, F10
    {68, 133, 135, 137}, {69, 134, 136, 138},                                         // F11, F12
    {usage::insert, 82, 82, 146},  {usage::home, 71, 71, 119}, {usage::page_up, 73, 73, 132},
    {usage::del, 83, 83, 147},     {usage::end, 79, 79, 117},  {usage::page_down, 81, 81, 118},
    {usage::right, 77, 77, 116},   {usage::left, 75, 75, 115}, {usage::down, 80, 80, 145},
    {usage::up, 72, 72, 141},
    {usage::tab, 0, 15, 148},  // plain Tab types character 9
};

// Keypad keys when they act as cursor keys, as the grey key of the same code;
// keypad 5 has no grey twin and codes of its own.
constexpr int keypad_as_grey[] = {
    usage::end,  usage::down, usage::page_down, usage::left,   0 /* KP5 */, usage::right,
    usage::home, usage::up,   usage::page_up,   usage::insert, usage::del,
};
constexpr std::uint8_t keypad_5_plain = 76, keypad_5_ctrl = 143;

// What the same keys type as digits.
constexpr char keypad_digits[] = "1234567890.";

// Keys whose only code of their own is with Ctrl: the keypad's operators
// (without Ctrl they type their characters) and PrtSc.
constexpr SpecialKey ctrl_only_keys[] = {
    {usage::keypad_divide, 0, 0, 149}, {usage::keypad_multiply, 0, 0, 150},
    {usage::keypad_minus, 0, 0, 142},  {usage::keypad_plus, 0, 0, 144},
    {usage::print_screen, 0, 0, 114},
};

// Ctrl with the layout's character of a key: the control characters beyond
// the letters. Ctrl+2 types character 0.
struct CtrlCharacter {
    char character;
    std::uint8_t code;
};
constexpr CtrlCharacter ctrl_characters[] = {
    {'[', 27}, {'\\', 28}, {']', 29}, {'6', 30}, {'-', 31}, {'2', 0},
};

template <std::size_t n>
const SpecialKey* find_key(const SpecialKey (&table)[n], int key) {
    for (const SpecialKey& special : table) {
        if (special.usage == key) return &special;
    }
    return nullptr;
}

// AltGr (mod_altgr) is not Alt.
bool alt_held(unsigned modifiers) { return (modifiers & (mod_left_alt | mod_right_alt)) != 0; }

constexpr PressCode nothing{false, 0};
constexpr PressCode queue(std::int32_t code) { return {true, code}; }
constexpr PressCode special(int b) { return {true, special_key_code(b)}; }

// Code page 437 for Latin-1 U+00A0..U+00FF, made with glibc's iconv (CP437);
// 0 where the page has no such character. U+0080..U+009F are C1 controls,
// which the page does not have either.
constexpr std::uint8_t cp437_from_latin1[96] = {
    0xFF, 0xAD, 0x9B, 0x9C, 0,    0x9D, 0,    0,    0,    0,    0xA6, 0xAE, 0xAA, 0,    0,    0,
    0xF8, 0xF1, 0xFD, 0,    0,    0xE6, 0,    0xFA, 0,    0,    0xA7, 0xAF, 0xAC, 0xAB, 0,    0xA8,
    0,    0,    0,    0,    0x8E, 0x8F, 0x92, 0x80, 0,    0x90, 0,    0,    0,    0,    0,    0,
    0,    0xA5, 0,    0,    0,    0,    0x99, 0,    0,    0,    0,    0,    0x9A, 0,    0,    0xE1,
    0x85, 0xA0, 0x83, 0,    0x84, 0x86, 0x91, 0x87, 0x8A, 0x82, 0x88, 0x89, 0x8D, 0xA1, 0x8C, 0x8B,
    0,    0xA4, 0x95, 0xA2, 0x93, 0,    0x94, 0xF6, 0,    0x97, 0xA3, 0x96, 0x81, 0,    0,    0x98,
};

// Next code point of a UTF-8 string, or U+FFFD for a broken sequence (which is
// above 255 and so is not queued).
char32_t next_code_point(std::string_view& text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || static_cast<std::size_t>(length) > text.size()) {
        text.remove_prefix(1);
        return 0xFFFD;
    }
    char32_t value = length == 1 ? lead : lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        if ((next & 0xC0) != 0x80) {
            text.remove_prefix(1);
            return 0xFFFD;
        }
        value = (value << 6) | (next & 0x3F);
    }
    text.remove_prefix(static_cast<std::size_t>(length));
    return value;
}

}  // namespace

int set1_code(int key) {
    if (key < 0 || key >= usage::count) return 0;
    return set1_table[static_cast<std::size_t>(key)];
}

PressCode key_press(const KeyStroke& press) {
    const unsigned mods = press.modifiers;
    const bool ctrl = (mods & mod_ctrl) != 0;
    const bool shift = (mods & mod_shift) != 0;
    // Alt without Ctrl is the window's own (menu keys, Alt+F4, Alt+Enter);
    // with Ctrl it is a chord of its own, and keys go on as usual.
    if (alt_held(mods) && !ctrl) return nothing;

    int key = press.usage;
    if (keypad_types_itself(key)) {
        // Num Lock makes the keypad type digits and Shift turns that round
        // for the moment; with Ctrl they are always the cursor keys.
        const int index = key - usage::keypad_1;
        const bool cursor_keys = ctrl || ((mods & mod_num_lock) == 0) != shift;
        if (!cursor_keys) return queue(keypad_digits[index]);
        key = keypad_as_grey[index];
        if (key == 0) return special(ctrl ? keypad_5_ctrl : keypad_5_plain);
        const SpecialKey* grey = find_key(special_keys, key);
        return special(ctrl ? grey->ctrl : grey->plain);
    }
    if (ctrl) {
        if (const SpecialKey* only = find_key(ctrl_only_keys, key)) return special(only->ctrl);
    }
    if (const SpecialKey* special_key = find_key(special_keys, key)) {
        const int b = ctrl ? special_key->ctrl : shift ? special_key->shift : special_key->plain;
        if (b != 0) return special(b);
    }
    switch (key) {
        case usage::escape: return queue(27);
        case usage::enter:
        case usage::keypad_enter: return queue(ctrl ? 10 : 13);
        case usage::backspace: return queue(ctrl ? 127 : 8);
        case usage::tab: return ctrl || shift ? nothing : queue(9);
        default: break;
    }
    // Ctrl+Alt characters are the layout's (AltGr on some systems), not
    // control characters.
    if (!ctrl || alt_held(mods)) return nothing;
    if (press.character >= 'a' && press.character <= 'z') return queue(press.character - 'a' + 1);
    for (const CtrlCharacter& entry : ctrl_characters) {
        if (press.character == entry.character) return queue(entry.code);
    }
    return nothing;
}

std::int32_t key_press_code(const KeyStroke& press) {
    const PressCode code = key_press(press);
    return code.queued ? code.code : 0;
}

bool keypad_types_itself(int key) { return key >= usage::keypad_1 && key <= usage::keypad_period; }

bool is_full_screen_toggle(const KeyStroke& press) {
    return (press.usage == usage::enter || press.usage == usage::keypad_enter) &&
           alt_held(press.modifiers) && (press.modifiers & mod_ctrl) == 0;
}

std::int32_t typed_char_code(char32_t code_point) {
    if (code_point > 0xFF) return 0;
    if (code_point < 0x80) return static_cast<std::int32_t>(code_point);
    if (code_point < 0xA0) return '?';
    const std::uint8_t byte = cp437_from_latin1[code_point - 0xA0];
    return byte != 0 ? byte : '?';
}

TypedCodes text_codes(std::string_view utf8, unsigned modifiers) {
    TypedCodes out{};
    // Alt alone or Ctrl alone types nothing; both together, or AltGr, do.
    const bool ctrl = (modifiers & mod_ctrl) != 0;
    if (alt_held(modifiers) != ctrl) return out;
    while (!utf8.empty() && out.count < static_cast<int>(out.codes.size())) {
        const std::int32_t code = typed_char_code(next_code_point(utf8));
        if (code != 0) out.codes[static_cast<std::size_t>(out.count++)] = code;
    }
    return out;
}

void key_state_from_usages(const std::uint8_t* held, int count, std::uint8_t* key_state) {
    for (int i = 0; i < key_state_entries; ++i) key_state[i] = 0;
    const int limit = count < usage::count ? count : usage::count;
    for (int key = 0; key < limit; ++key) {
        const int code = set1_table[static_cast<std::size_t>(key)];
        if (held[key] != 0 && code != 0) key_state[code] = 1;
    }
}
