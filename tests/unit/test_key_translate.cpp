// test-links: core
// Key events to queue codes, typed text to code page 437, held keys to set-1
// scan codes.
#include <gtest/gtest.h>

#include <iconv.h>

#include <array>
#include <string>
#include <vector>

#include "core/key_queue.h"
#include "core/key_translate.h"

namespace {

constexpr unsigned shift = mod_shift, ctrl = mod_ctrl, alt = mod_left_alt, ralt = mod_right_alt,
                   altgr = mod_altgr, num = mod_num_lock;
constexpr int kp2 = usage::keypad_1 + 1, kp4 = usage::keypad_1 + 3, kp6 = usage::keypad_1 + 5,
              kp7 = usage::keypad_1 + 6, kp9 = usage::keypad_1 + 8, kp3 = usage::keypad_1 + 2;

constexpr std::int32_t special(int b) { return special_key_code(b); }

// What a press queues, none for nothing (0 is a code: the typed character 0).
constexpr std::int32_t none = -1;
std::int32_t queued(const KeyStroke& press) {
    const PressCode code = key_press(press);
    return code.queued ? code.code : none;
}

struct PressCase {
    const char* name;
    KeyStroke press;
    std::int32_t code;
};

void PrintTo(const PressCase& c, std::ostream* os) { *os << c.name; }

class KeyPressCode : public ::testing::TestWithParam<PressCase> {};

TEST_P(KeyPressCode, QueuesTheCode) {
    EXPECT_EQ(queued(GetParam().press), GetParam().code) << GetParam().name;
}

const PressCase press_cases[] = {
    // Control characters come from key presses.
    {"Esc", {usage::escape, 27, 0}, 27},
    {"Shift+Esc", {usage::escape, 27, shift}, 27},
    {"Enter", {usage::enter, '\r', 0}, 13},
    {"keypad Enter", {usage::keypad_enter, '\r', 0}, 13},
    {"Backspace", {usage::backspace, '\b', 0}, 8},
    {"Tab", {usage::tab, '\t', 0}, 9},
    {"Ctrl+A", {usage::a, 'a', ctrl}, 1},
    {"Ctrl+Shift+Z", {usage::a + 25, 'z', ctrl | shift}, 26},
    {"Ctrl+A on a layout with A elsewhere", {usage::a + 16, 'a', ctrl}, 1},
    {"Ctrl+[", {usage::left_bracket, '[', ctrl}, 27},
    {"Ctrl+Enter", {usage::enter, '\r', ctrl}, 10},
    {"Ctrl+keypad Enter", {usage::keypad_enter, '\r', ctrl}, 10},
    {"Shift+Enter", {usage::enter, '\r', shift}, 13},
    {"Ctrl+Backspace", {usage::backspace, '\b', ctrl}, 127},
    {"Ctrl+\\", {usage::backslash, '\\', ctrl}, 28},
    {"Ctrl+]", {usage::right_bracket, ']', ctrl}, 29},
    {"Ctrl+6", {usage::digit_6, '6', ctrl}, 30},
    {"Ctrl+Shift+6", {usage::digit_6, '6', ctrl | shift}, 30},
    {"Ctrl+-", {usage::minus, '-', ctrl}, 31},
    {"Ctrl+2 types character 0", {usage::digit_2, '2', ctrl}, 0},
    // Keys that type characters queue nothing themselves: the text does.
    {"A", {usage::a, 'a', 0}, none},
    {"Shift+A", {usage::a, 'a', shift}, none},
    {"space", {usage::space, ' ', 0}, none},
    {"Ctrl+1", {usage::a + 26, '1', ctrl}, none},
    // Function keys, alone, with Shift and with Ctrl.
    {"F1", {usage::f1, 0, 0}, special(59)},
    {"F9", {usage::f1 + 8, 0, 0}, special(67)},
    {"F10 alone", {usage::f10, 0, 0}, none},
    {"Shift+F1", {usage::f1, 0, shift}, special(84)},
    {"Shift+F10", {usage::f10, 0, shift}, special(93)},
    {"Ctrl+F1", {usage::f1, 0, ctrl}, special(94)},
    {"Ctrl+F10", {usage::f10, 0, ctrl}, special(103)},
    {"F11", {usage::f11, 0, 0}, special(133)},
    {"F12", {usage::f12, 0, 0}, special(134)},
    {"Shift+F11", {usage::f11, 0, shift}, special(135)},
    {"Shift+F12", {usage::f12, 0, shift}, special(136)},
    {"Ctrl+F11", {usage::f11, 0, ctrl}, special(137)},
    {"Ctrl+F12", {usage::f12, 0, ctrl}, special(138)},
    // Cursor and editing keys.
    {"Home", {usage::home, 0, 0}, special(71)},
    {"Up", {usage::up, 0, 0}, special(72)},
    {"PgUp", {usage::page_up, 0, 0}, special(73)},
    {"Left", {usage::left, 0, 0}, special(75)},
    {"Right", {usage::right, 0, 0}, special(77)},
    {"End", {usage::end, 0, 0}, special(79)},
    {"Down", {usage::down, 0, 0}, special(80)},
    {"PgDn", {usage::page_down, 0, 0}, special(81)},
    {"Insert", {usage::insert, 0, 0}, special(82)},
    {"Delete", {usage::del, 0, 0}, special(83)},
    {"Shift+Up", {usage::up, 0, shift}, special(72)},
    {"Ctrl+Home", {usage::home, 0, ctrl}, special(119)},
    {"Ctrl+Up", {usage::up, 0, ctrl}, special(141)},
    {"Ctrl+PgUp", {usage::page_up, 0, ctrl}, special(132)},
    {"Ctrl+Left", {usage::left, 0, ctrl}, special(115)},
    {"Ctrl+Right", {usage::right, 0, ctrl}, special(116)},
    {"Ctrl+End", {usage::end, 0, ctrl}, special(117)},
    {"Ctrl+Down", {usage::down, 0, ctrl}, special(145)},
    {"Ctrl+PgDn", {usage::page_down, 0, ctrl}, special(118)},
    {"Ctrl+Insert", {usage::insert, 0, ctrl}, special(146)},
    {"Ctrl+Delete", {usage::del, 0, ctrl}, special(147)},
    {"Shift+Tab", {usage::tab, '\t', shift}, special(15)},
    {"Ctrl+Tab", {usage::tab, '\t', ctrl}, special(148)},
    // The keypad: cursor keys with Num Lock off (or Shift with it on), digits
    // by text otherwise.
    {"keypad 8, Num Lock off", {usage::keypad_8, 0, 0}, special(72)},
    {"keypad 2", {kp2, 0, 0}, special(80)},
    {"keypad 4", {kp4, 0, 0}, special(75)},
    {"keypad 6", {kp6, 0, 0}, special(77)},
    {"keypad 7", {kp7, 0, 0}, special(71)},
    {"keypad 9", {kp9, 0, 0}, special(73)},
    {"keypad 1", {usage::keypad_1, 0, 0}, special(79)},
    {"keypad 3", {kp3, 0, 0}, special(81)},
    {"keypad 0", {usage::keypad_0, 0, 0}, special(82)},
    {"keypad .", {usage::keypad_period, 0, 0}, special(83)},
    {"keypad 5", {usage::keypad_5, 0, 0}, special(76)},
    {"Ctrl+keypad 5", {usage::keypad_5, 0, ctrl}, special(143)},
    {"Ctrl+keypad 8", {usage::keypad_8, 0, ctrl}, special(141)},
    {"Ctrl+keypad 7", {kp7, 0, ctrl}, special(119)},
    {"Ctrl+keypad 0", {usage::keypad_0, 0, ctrl}, special(146)},
    {"Ctrl+keypad .", {usage::keypad_period, 0, ctrl}, special(147)},
    // Num Lock on: digits, from the press itself; Shift or Ctrl give the
    // cursor keys (Ctrl their Ctrl codes) all the same.
    {"keypad 8, Num Lock on", {usage::keypad_8, 0, num}, '8'},
    {"keypad 1, Num Lock on", {usage::keypad_1, 0, num}, '1'},
    {"keypad 5, Num Lock on", {usage::keypad_5, 0, num}, '5'},
    {"keypad 0, Num Lock on", {usage::keypad_0, 0, num}, '0'},
    {"keypad ., Num Lock on", {usage::keypad_period, 0, num}, '.'},
    {"Shift+keypad 8, Num Lock off", {usage::keypad_8, 0, shift}, '8'},
    {"Shift+keypad 8, Num Lock on", {usage::keypad_8, 0, num | shift}, special(72)},
    {"Shift+keypad 5, Num Lock on", {usage::keypad_5, 0, num | shift}, special(76)},
    {"Ctrl+keypad 8, Num Lock on", {usage::keypad_8, 0, num | ctrl}, special(141)},
    {"Ctrl+keypad 5, Num Lock on", {usage::keypad_5, 0, num | ctrl}, special(143)},
    {"Ctrl+Shift+keypad 3, Num Lock on", {kp3, 0, num | ctrl | shift}, special(118)},
    // The keypad's operators type their characters (as text), except with Ctrl.
    {"keypad *", {usage::keypad_multiply, '*', 0}, none},
    {"keypad -, Num Lock on", {usage::keypad_minus, '-', num}, none},
    {"Ctrl+keypad *", {usage::keypad_multiply, '*', ctrl}, special(150)},
    {"Ctrl+keypad -", {usage::keypad_minus, '-', ctrl}, special(142)},
    {"Ctrl+keypad +", {usage::keypad_plus, '+', ctrl}, special(144)},
    {"Ctrl+keypad /", {usage::keypad_divide, '/', ctrl | num}, special(149)},
    {"PrtSc", {usage::print_screen, 0, 0}, none},
    {"Ctrl+PrtSc", {usage::print_screen, 0, ctrl}, special(114)},
    {"Num Lock", {usage::num_lock, 0, num}, none},
    // Alt without Ctrl is the window's: nothing is queued.
    {"Alt+F1", {usage::f1, 0, alt}, none},
    {"Alt+F4", {usage::f4, 0, alt}, none},
    {"Alt+Esc", {usage::escape, 27, alt}, none},
    {"Alt+Enter", {usage::enter, '\r', alt}, none},
    {"Alt+Tab", {usage::tab, '\t', alt}, none},
    {"right Alt+Up", {usage::up, 0, ralt}, none},
    {"right Alt+Q", {usage::a + 16, 'q', ralt}, none},
    {"Alt+keypad 8, Num Lock on", {usage::keypad_8, 0, alt | num}, none},
    {"Alt+keypad 8", {usage::keypad_8, 0, alt}, none},
    {"Alt+Shift+F10", {usage::f10, 0, alt | shift}, none},
    // AltGr is no Alt: keys go on as usual.
    {"AltGr+Up", {usage::up, 0, altgr}, special(72)},
    {"AltGr+Q", {usage::a + 16, 'q', altgr}, none},
    {"Alt+Shift+Up", {usage::up, 0, alt | shift}, none},
    // With Ctrl the keys go on (AltGr on some systems), but no Ctrl+letter.
    {"Ctrl+Alt+Up", {usage::up, 0, ctrl | alt}, special(141)},
    {"Ctrl+Alt+A", {usage::a, 'a', ctrl | alt}, none},
    {"Ctrl+Alt+2", {usage::digit_2, '2', ctrl | alt}, none},
    {"Ctrl+Alt+Esc", {usage::escape, 27, ctrl | alt}, 27},
};

INSTANTIATE_TEST_SUITE_P(Table, KeyPressCode, ::testing::ValuesIn(press_cases));

TEST(KeyPressCode, NoSpecialKeyReadsAsEscape) {
    for (int key = 0; key < usage::count; ++key) {
        for (unsigned mods = 0; mods < 64; ++mods) {
            for (int character : {0, int('a'), int('['), 27}) {
                const std::int32_t code = queued({key, character, mods});
                if (code == 27) {
                    EXPECT_TRUE(key == usage::escape || (character == '[' && (mods & ctrl)))
                        << key << " " << mods;
                }
            }
        }
    }
}

TEST(FullScreenToggle, AltEnterOnly) {
    EXPECT_TRUE(is_full_screen_toggle({usage::enter, '\r', alt}));
    EXPECT_TRUE(is_full_screen_toggle({usage::keypad_enter, '\r', alt}));
    EXPECT_TRUE(is_full_screen_toggle({usage::enter, '\r', ralt | shift}));
    EXPECT_FALSE(is_full_screen_toggle({usage::enter, '\r', altgr}));
    EXPECT_FALSE(is_full_screen_toggle({usage::enter, '\r', 0}));
    EXPECT_FALSE(is_full_screen_toggle({usage::enter, '\r', ctrl | alt}));
    EXPECT_FALSE(is_full_screen_toggle({usage::space, ' ', alt}));
}

struct TextCase {
    const char* utf8;
    unsigned modifiers;
    std::vector<std::int32_t> codes;
};

class TextCodes : public ::testing::TestWithParam<TextCase> {};

TEST_P(TextCodes, QueuesCodePage437Bytes) {
    const TypedCodes typed = text_codes(GetParam().utf8, GetParam().modifiers);
    EXPECT_EQ(std::vector<std::int32_t>(typed.codes.begin(), typed.codes.begin() + typed.count),
              GetParam().codes)
        << GetParam().utf8;
}

INSTANTIATE_TEST_SUITE_P(
    Table, TextCodes,
    ::testing::Values(TextCase{"a", 0, {'a'}}, TextCase{"A", shift, {'A'}},
                      TextCase{" ", 0, {' '}}, TextCase{"~", shift, {'~'}},
                      TextCase{"ab", 0, {'a', 'b'}},
                      TextCase{"\u00e9", 0, {0x82}},              // é
                      TextCase{"\u00a3", shift, {0x9C}},          // £
                      TextCase{"\u00c7\u00fc\u00ff", 0, {0x80, 0x81, 0x98}},
                      TextCase{"\u00a0", 0, {0xFF}},              // no-break space
                      TextCase{"\u00a4", 0, {'?'}},               // ¤: not on the page
                      TextCase{"\u20ac", altgr, {}},              // €: above 255
                      TextCase{"x\u20acy", 0, {'x', 'y'}},
                      TextCase{"\u00e9", altgr, {0x82}},          // AltGr types characters
                      TextCase{"@", ctrl | alt, {'@'}},           // so does Ctrl+Alt
                      TextCase{"a", alt, {}},                     // Alt+letter types nothing
                      TextCase{"q", ralt, {}},                    // right Alt where it is Alt
                      TextCase{"@", altgr | shift, {'@'}},
                      TextCase{"1", ctrl, {}},                    // nor does Ctrl+digit
                      TextCase{"\xc3", 0, {}},                    // a cut-off sequence
                      TextCase{"\xff" "a", 0, {'a'}}));

// The page built into the program against glibc's own converter.
TEST(TypedCharCode, MatchesIconvForEveryLatin1Character) {
    iconv_t converter = iconv_open("CP437", "UTF-32LE");
    ASSERT_NE(converter, reinterpret_cast<iconv_t>(-1));
    for (char32_t cp = 0x20; cp <= 0xFF; ++cp) {
        if (cp == 0x7F) continue;
        char32_t in = cp;
        char out[8] = {};
        char* in_ptr = reinterpret_cast<char*>(&in);
        char* out_ptr = out;
        std::size_t in_left = sizeof in, out_left = sizeof out;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        const bool converted = iconv(converter, &in_ptr, &in_left, &out_ptr, &out_left) != std::size_t(-1);
        const std::int32_t expected = converted ? static_cast<unsigned char>(out[0]) : '?';
        EXPECT_EQ(typed_char_code(cp), expected) << std::hex << std::uint32_t(cp);
    }
    iconv_close(converter);
    EXPECT_EQ(typed_char_code(0x100), 0);
    EXPECT_EQ(typed_char_code(0x263A), 0);  // ☺ is on the page, but above 255
}

TEST(Set1Code, SpaceAndThePlainCodesOfE0Keys) {
    EXPECT_EQ(set1_code(usage::space), 57);
    EXPECT_EQ(set1_code(usage::escape), 1);
    EXPECT_EQ(set1_code(usage::a), 30);
    EXPECT_EQ(set1_code(usage::enter), 28);
    const std::array<std::array<int, 2>, 14> same = {{
        {usage::up, usage::keypad_8}, {usage::down, kp2}, {usage::left, kp4}, {usage::right, kp6},
        {usage::home, kp7}, {usage::end, usage::keypad_1}, {usage::page_up, kp9},
        {usage::page_down, kp3}, {usage::insert, usage::keypad_0}, {usage::del, usage::keypad_period},
        {usage::right_ctrl, usage::left_ctrl}, {usage::right_alt, usage::left_alt},
        {usage::keypad_enter, usage::enter}, {84 /* keypad slash */, 56 /* slash */},
    }};
    for (const auto& pair : same) {
        EXPECT_NE(set1_code(pair[0]), 0) << pair[0];
        EXPECT_EQ(set1_code(pair[0]), set1_code(pair[1])) << pair[0] << " " << pair[1];
    }
    EXPECT_EQ(set1_code(usage::up), 72);
    EXPECT_EQ(set1_code(usage::right_ctrl), 29);
    EXPECT_EQ(set1_code(usage::right_alt), 56);
    EXPECT_EQ(set1_code(84), 53);
    EXPECT_EQ(set1_code(-1), 0);
    EXPECT_EQ(set1_code(usage::count), 0);
    for (int key = 0; key < usage::count; ++key) EXPECT_LT(set1_code(key), 128) << key;
}

TEST(KeyStateFromUsages, SetsHeldKeysAndClearsTheRest) {
    std::array<std::uint8_t, 512> held{};  // SDL's table is 512 long
    held[usage::space] = 1;
    held[usage::keypad_8] = 1;
    held[300] = 1;  // a key with no set-1 code
    std::array<std::uint8_t, key_state_entries> state;
    state.fill(1);
    key_state_from_usages(held.data(), int(held.size()), state.data());
    for (int i = 0; i < key_state_entries; ++i) {
        EXPECT_EQ(state[std::size_t(i)], (i == 57 || i == 72) ? 1 : 0) << i;
    }
}

}  // namespace
