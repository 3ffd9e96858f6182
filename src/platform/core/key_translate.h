// What a key event puts into the key queue and what the keyboard's held keys
// make of key_state. Pure code over plain numbers, so it is tested without a
// window: scan codes here are USB HID keyboard usages (SDL's scancodes use the
// same numbers), and key_state is indexed by PC scan code set 1.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

// Entries of key_state, one per set-1 make code 0..127.
inline constexpr int key_state_entries = 128;

// Code of the window's close request: byte 255 then 'k' (107) when read.
inline constexpr std::int32_t close_key_code = 107 * 256 + 255;

// Queue code of a special key with extended code b (1..255).
constexpr std::int32_t special_key_code(int b) { return b * 256 + 255; }

// Modifier keys held during an event.
enum KeyModifier : unsigned {
    mod_shift = 1u << 0,
    mod_ctrl = 1u << 1,
    mod_left_alt = 1u << 2,
    mod_right_alt = 1u << 3,  // right Alt where it is plain Alt (the US layout): Alt like the left one
    mod_num_lock = 1u << 4,
    mod_altgr = 1u << 5,      // the layout's level-3 shift (AltGr): not Alt, it types characters
};

// A key press (auto-repeats included) as the window reports it.
struct KeyStroke {
    int usage;         // USB HID usage of the physical key
    int character;     // the layout's unshifted character for the key ('a', '['), 0 for none
    unsigned modifiers;
};

// USB HID usages the window backend and the tests name.
namespace usage {
inline constexpr int a = 4;
inline constexpr int digit_2 = 31;
inline constexpr int digit_6 = 35;
inline constexpr int enter = 40;
inline constexpr int escape = 41;
inline constexpr int backspace = 42;
inline constexpr int tab = 43;
inline constexpr int space = 44;
inline constexpr int minus = 45;
inline constexpr int left_bracket = 47;
inline constexpr int right_bracket = 48;
inline constexpr int backslash = 49;
inline constexpr int f1 = 58;
inline constexpr int f4 = 61;
inline constexpr int f10 = 67;
inline constexpr int f11 = 68;
inline constexpr int f12 = 69;
inline constexpr int print_screen = 70;
inline constexpr int insert = 73;
inline constexpr int home = 74;
inline constexpr int page_up = 75;
inline constexpr int del = 76;
inline constexpr int end = 77;
inline constexpr int page_down = 78;
inline constexpr int right = 79;
inline constexpr int left = 80;
inline constexpr int down = 81;
inline constexpr int up = 82;
inline constexpr int num_lock = 83;
inline constexpr int keypad_divide = 84;
inline constexpr int keypad_multiply = 85;
inline constexpr int keypad_minus = 86;
inline constexpr int keypad_plus = 87;
inline constexpr int keypad_enter = 88;
inline constexpr int keypad_1 = 89;
inline constexpr int keypad_5 = 93;
inline constexpr int keypad_8 = 96;
inline constexpr int keypad_0 = 98;
inline constexpr int keypad_period = 99;
inline constexpr int left_ctrl = 224;
inline constexpr int left_shift = 225;
inline constexpr int left_alt = 226;
inline constexpr int right_ctrl = 228;
inline constexpr int right_alt = 230;
inline constexpr int count = 232;  // usages above the right GUI key have no set-1 code here
}  // namespace usage

// PC scan code set 1 make code of a key, E0 keys under their plain code; 0 for
// keys without one.
int set1_code(int usage);

// What a key press queues by itself: nothing, or one queue code.
struct PressCode {
    bool queued;
    std::int32_t code;
};

// The queue code of a key press, in the PC BIOS convention: a control
// character (ESC 27, Enter 13, Ctrl+Enter 10, Tab 9, Backspace 8,
// Ctrl+Backspace 127, Ctrl+letter 1..26, Ctrl+[ \ ] 6 - 27..31, Ctrl+2 the
// typed character 0), a keypad digit or '.', or a special key b*256+255 with
// its extended code. Nothing for keys whose characters come as text, for F10
// alone and for any press while Alt is held without Ctrl.
PressCode key_press(const KeyStroke& press);

// key_press's code, 0 where it queues nothing (and for Ctrl+2's typed 0): for
// a window system that sends typed characters apart and takes only the
// special keys from here.
std::int32_t key_press_code(const KeyStroke& press);

// True for the keypad's digit and period keys. key_press alone decides what
// they give, from the press's own Num Lock and Shift, so whatever text the
// window system makes of the same press is dropped: Num Lock has one source.
bool keypad_types_itself(int usage);

// True for the press that switches between window and full screen: Enter
// (either one) with Alt held and Ctrl not.
bool is_full_screen_toggle(const KeyStroke& press);

// The code page 437 byte of a typed character, '?' for a character that page
// lacks, 0 for code points above 255 (not queued).
std::int32_t typed_char_code(char32_t code_point);

// Queue codes of the characters in one text event (UTF-8), in order; none while
// Alt (left or right) is held without Ctrl, or Ctrl without Alt (such presses
// type nothing). AltGr is no Alt: its characters are queued.
struct TypedCodes {
    std::array<std::int32_t, 32> codes;
    int count;
};
TypedCodes text_codes(std::string_view utf8, unsigned modifiers);

// Sets key_state from the keyboard's held keys, indexed by usage (held[u] non-zero
// while usage u is down): entry i is 1 when a key with set-1 code i is down.
void key_state_from_usages(const std::uint8_t* held, int count, std::uint8_t* key_state);
