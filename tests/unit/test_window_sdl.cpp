// test-links: sdl
// The SDL backend's event handling fed real SDL events, on SDL's offscreen
// driver: key presses, releases and text in, the WindowEvents record out.
#include <gtest/gtest.h>

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/key_translate.h"
#include "display/window.h"
#include "sdl/window_sdl.h"

namespace {

SDL_Event key(Uint32 type, SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, Uint8 repeat = 0) {
    SDL_Event event{};
    event.key.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = sym;
    event.key.keysym.mod = mod;
    return event;
}

SDL_Event down(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = 0) { return key(SDL_KEYDOWN, scancode, sym, mod); }
SDL_Event repeat(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = 0) {
    return key(SDL_KEYDOWN, scancode, sym, mod, 1);
}
SDL_Event up(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod = 0) { return key(SDL_KEYUP, scancode, sym, mod); }

SDL_Event text(const char* utf8) {
    SDL_Event event{};
    event.text.type = SDL_TEXTINPUT;
    SDL_strlcpy(event.text.text, utf8, sizeof event.text.text);
    return event;
}

SDL_Event window_event(Uint8 which) {
    SDL_Event event{};
    event.window.type = SDL_WINDOWEVENT;
    event.window.event = which;
    return event;
}

WindowEvents pump(const std::vector<SDL_Event>& in) {
    for (SDL_Event event : in) EXPECT_EQ(SDL_PushEvent(&event), 1) << SDL_GetError();
    WindowEvents events;
    window_pump_events(events);
    return events;
}

std::vector<std::int32_t> keys_of(const WindowEvents& events) {
    return {events.keys.begin(), events.keys.begin() + events.key_count};
}

constexpr std::int32_t special(int b) { return special_key_code(b); }

class WindowSdl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        use_offscreen_driver_for_tests();
        static std::vector<Pixel> frame(std::size_t(window_width) * window_height, 0xFF000000u);
        std::string reason;
        ASSERT_TRUE(window_open("test_window_sdl", frame.data(), reason)) << reason;
    }
    static void TearDownTestSuite() {
        window_destroy();
        window_quit();
    }
    // Each test starts with the window active and nothing pending.
    void SetUp() override {
        pump({window_event(SDL_WINDOWEVENT_SHOWN), window_event(SDL_WINDOWEVENT_RESTORED),
              window_event(SDL_WINDOWEVENT_FOCUS_GAINED)});
        ASSERT_TRUE(pump({}).active);
    }
};

struct EventCase {
    const char* name;
    std::vector<SDL_Event> in;
    std::vector<std::int32_t> keys;
    int full_screen_requests = 0;
};

constexpr Uint16 lctrl = KMOD_LCTRL, lalt = KMOD_LALT, ralt = KMOD_RALT, mode = KMOD_MODE, num = KMOD_NUM;

const EventCase event_cases[] = {
    {"a typed, released", {down(SDL_SCANCODE_A, 'a'), text("a"), up(SDL_SCANCODE_A, 'a')}, {'a'}},
    {"a held: one entry per auto-repeat",
     {down(SDL_SCANCODE_A, 'a'), text("a"), repeat(SDL_SCANCODE_A, 'a'), text("a"), repeat(SDL_SCANCODE_A, 'a'),
      text("a"), up(SDL_SCANCODE_A, 'a')},
     {'a', 'a', 'a'}},
    {"Up held", {down(SDL_SCANCODE_UP, SDLK_UP), repeat(SDL_SCANCODE_UP, SDLK_UP), repeat(SDL_SCANCODE_UP, SDLK_UP),
                 up(SDL_SCANCODE_UP, SDLK_UP)},
     {special(72), special(72), special(72)}},
    {"releases alone", {up(SDL_SCANCODE_A, 'a'), up(SDL_SCANCODE_UP, SDLK_UP), up(SDL_SCANCODE_RETURN, SDLK_RETURN)},
     {}},
    {"Esc, Enter, F1", {down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE), down(SDL_SCANCODE_RETURN, SDLK_RETURN),
                        down(SDL_SCANCODE_F1, SDLK_F1)},
     {27, 13, special(59)}},
    {"Ctrl+Enter", {down(SDL_SCANCODE_LCTRL, SDLK_LCTRL, lctrl), down(SDL_SCANCODE_RETURN, SDLK_RETURN, lctrl)}, {10}},
    {"Ctrl+2 types character 0, not its text",
     {down(SDL_SCANCODE_2, '2', lctrl), text("2"), up(SDL_SCANCODE_2, '2', lctrl)}, {0}},
    {"é on its own key, then AltGr's € (above 255)",
     {down(SDL_SCANCODE_2, 0xE9), text("\xc3\xa9"), down(SDL_SCANCODE_E, 'e', mode), text("\xe2\x82\xac")},
     {0x82}},
    {"Shift+Tab", {down(SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT)}, {special(15)}},
    {"F10 alone", {down(SDL_SCANCODE_F10, SDLK_F10), up(SDL_SCANCODE_F10, SDLK_F10)}, {}},
    {"Alt alone, Alt+x, Alt+F4",
     {down(SDL_SCANCODE_LALT, SDLK_LALT, lalt), down(SDL_SCANCODE_X, 'x', lalt), text("x"),
      down(SDL_SCANCODE_F4, SDLK_F4, lalt), up(SDL_SCANCODE_LALT, SDLK_LALT)},
     {}},
    {"right Alt+q where right Alt is Alt",
     {down(SDL_SCANCODE_RALT, SDLK_RALT, ralt), down(SDL_SCANCODE_Q, 'q', ralt), text("q"),
      up(SDL_SCANCODE_RALT, SDLK_RALT)},
     {}},
    {"AltGr+q where right Alt is the level-3 shift",
     {down(SDL_SCANCODE_RALT, SDLK_MODE, mode), down(SDL_SCANCODE_Q, 'q', mode), text("@"),
      up(SDL_SCANCODE_RALT, SDLK_MODE)},
     {'@'}},
    // The keypad goes by the key event's Num Lock, whatever text came with it.
    {"keypad 8, Num Lock off, the text says 8", {down(SDL_SCANCODE_KP_8, SDLK_KP_8), text("8")}, {special(72)}},
    {"keypad 8, Num Lock on, no text", {down(SDL_SCANCODE_KP_8, SDLK_KP_8, num)}, {'8'}},
    {"keypad 8, Num Lock on, held",
     {down(SDL_SCANCODE_KP_8, SDLK_KP_8, num), text("8"), repeat(SDL_SCANCODE_KP_8, SDLK_KP_8, num), text("8")},
     {'8', '8'}},
    {"keypad 5, Num Lock off, then a", {down(SDL_SCANCODE_KP_5, SDLK_KP_5), down(SDL_SCANCODE_A, 'a'), text("a")},
     {special(76), 'a'}},
    {"Ctrl+keypad 8, Num Lock on", {down(SDL_SCANCODE_KP_8, SDLK_KP_8, num | lctrl)}, {special(141)}},
    {"keypad * and Ctrl+keypad *",
     {down(SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY), text("*"),
      down(SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, lctrl), text("*")},
     {'*', special(150)}},
    {"the close request", {window_event(SDL_WINDOWEVENT_CLOSE)}, {close_key_code}},
    {"Alt+Enter held: one switch, nothing queued",
     {down(SDL_SCANCODE_RETURN, SDLK_RETURN, lalt), repeat(SDL_SCANCODE_RETURN, SDLK_RETURN, lalt),
      repeat(SDL_SCANCODE_RETURN, SDLK_RETURN, lalt), up(SDL_SCANCODE_RETURN, SDLK_RETURN, lalt)},
     {},
     1},
    {"right Alt+keypad Enter", {down(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, ralt)}, {}, 1},
    {"maximise", {window_event(SDL_WINDOWEVENT_MAXIMIZED)}, {}, 1},
};

TEST_F(WindowSdl, EventsToWhatThePassApplies) {
    for (const EventCase& c : event_cases) {
        const WindowEvents events = pump(c.in);
        EXPECT_EQ(keys_of(events), c.keys) << c.name;
        EXPECT_EQ(events.full_screen_requests, c.full_screen_requests) << c.name;
        EXPECT_FALSE(events.activation_changed) << c.name;
        EXPECT_TRUE(events.active) << c.name;
    }
}

TEST_F(WindowSdl, FocusAndMinimiseChangeActivation) {
    struct Step {
        Uint8 event;
        bool active;
    };
    const Step steps[] = {
        {SDL_WINDOWEVENT_FOCUS_LOST, false}, {SDL_WINDOWEVENT_FOCUS_GAINED, true},
        {SDL_WINDOWEVENT_MINIMIZED, false},  {SDL_WINDOWEVENT_RESTORED, true},
        {SDL_WINDOWEVENT_HIDDEN, false},     {SDL_WINDOWEVENT_SHOWN, true},
    };
    for (const Step& step : steps) {
        const WindowEvents events = pump({window_event(step.event)});
        EXPECT_TRUE(events.activation_changed) << int(step.event);
        EXPECT_EQ(events.active, step.active) << int(step.event);
    }
    // Lost and back within one pump still counts as a change.
    const WindowEvents blink = pump({window_event(SDL_WINDOWEVENT_FOCUS_LOST), window_event(SDL_WINDOWEVENT_FOCUS_GAINED)});
    EXPECT_TRUE(blink.activation_changed);
    EXPECT_TRUE(blink.active);
    EXPECT_FALSE(pump({}).activation_changed);
}

TEST_F(WindowSdl, InactiveWindowSwitchesNothingButStillQueuesKeys) {
    pump({window_event(SDL_WINDOWEVENT_FOCUS_LOST)});
    const WindowEvents events = pump({down(SDL_SCANCODE_RETURN, SDLK_RETURN, lalt), window_event(SDL_WINDOWEVENT_MAXIMIZED),
                                      window_event(SDL_WINDOWEVENT_CLOSE)});
    EXPECT_EQ(events.full_screen_requests, 0);
    EXPECT_EQ(keys_of(events), std::vector<std::int32_t>{close_key_code});
    EXPECT_FALSE(events.active);
}

TEST_F(WindowSdl, ExposeAsksForTheWholePicture) {
    EXPECT_FALSE(pump({}).repaint);
    EXPECT_TRUE(pump({window_event(SDL_WINDOWEVENT_EXPOSED)}).repaint);
}

TEST_F(WindowSdl, AFullRecordDropsItsOldestKey) {
    std::vector<SDL_Event> in;
    for (int i = 0; i < 70; ++i) in.push_back(down(SDL_SCANCODE_F1, SDLK_F1));
    in.push_back(down(SDL_SCANCODE_ESCAPE, SDLK_ESCAPE));
    const WindowEvents events = pump(in);
    ASSERT_EQ(events.key_count, 64);
    EXPECT_EQ(events.keys[63], 27);
    EXPECT_EQ(events.keys[0], special(59));
}

// Without a display the seam is not used: SDL would quietly pick its
// offscreen driver, and window_open must refuse that and say why. In a child
// started afresh, so the seam the other tests set is not there.
TEST(WindowSdlDeathTest, NoDisplayIsAFailureThatSaysSo) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsetenv("DISPLAY");
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
            std::vector<Pixel> frame(std::size_t(window_width) * window_height, 0xFF000000u);
            std::string reason;
            const bool opened = window_open("test_window_sdl", frame.data(), reason);
            std::fprintf(stderr, "%s\n", reason.c_str());
            std::_Exit(opened ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "DISPLAY and WAYLAND_DISPLAY are unset");
}

}  // namespace
