// The window backend on the Windows API: window, presenting, messages,
// keyboard, full screen. Every function runs on the display thread, which
// also owns the window and so receives its messages; what they bring goes
// back to the display thread in WindowEvents.
#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>

#include "core/key_scancodes.h"
#include "core/key_translate.h"
#include "display/window.h"

namespace {

constexpr DWORD windowed_style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD full_screen_style = WS_POPUP;
constexpr wchar_t class_name[] = L"scene window";

struct Placement {
    int x, y, width, height;
};

struct Backend {
    HINSTANCE instance = nullptr;
    HWND window = nullptr;
    HDC dc = nullptr;  // the class's own device context, kept for the window's life
    const Pixel* frame = nullptr;  // the frame last presented (or given to window_open)
    BITMAPINFO bands{};  // a top-down 32-bit picture; its height is set per present
    // The DIB section the frame buffer lives in, selected into its own memory
    // DC: presenting is then one blit from it. Made once and kept for the
    // process's life, so the frame buffer never points into freed memory.
    HDC memory_dc = nullptr;
    Pixel* memory = nullptr;
    bool full_screen = false;
    Placement placement{0, 0, window_width, window_height};
    // Activation, followed message by message: focused and not minimised.
    bool focused = false;
    bool minimised = false;
    bool reported_active = false;
    // Held keys by set-1 code, from the key messages while the window is active.
    std::array<std::uint8_t, key_state_entries> held{};
    // What the window procedure saw since the last pump. Messages also come
    // outside window_pump_events (sent ones, while the window is made or
    // moved to full screen), so they gather here and the pump hands them on.
    WindowEvents pending;
    bool timer_period = false;
};

Backend& win() {
    static Backend* instance = new Backend;
    return *instance;
}

bool is_active(const Backend& w) { return w.focused && !w.minimised; }

void note_activation(Backend& w) {
    const bool active = is_active(w);
    if (active == w.reported_active) return;
    // A key released while another window had the focus never reaches this
    // one, so held keys start again from none.
    w.held.fill(0);
    w.reported_active = active;
    w.pending.activation_changed = true;
}

std::wstring wide(const char* utf8) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    if (length <= 0) return L"";
    std::wstring out(std::size_t(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), length);
    out.resize(std::size_t(length - 1));
    return out;
}

std::string last_error(const char* what) { return std::string(what) + " (error " + std::to_string(GetLastError()) + ")"; }

MONITORINFO monitor_of(HWND window) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    HMONITOR monitor = window != nullptr ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                                         : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    if (!GetMonitorInfoW(monitor, &info)) {
        info.rcMonitor = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &info.rcWork, 0);
    }
    return info;
}

// The whole frame around an 800x600 client area, centred on the work area.
RECT centred_frame(HWND window) {
    RECT frame{0, 0, window_width, window_height};
    AdjustWindowRectEx(&frame, windowed_style, FALSE, 0);
    const RECT work = monitor_of(window).rcWork;
    const int width = frame.right - frame.left, height = frame.bottom - frame.top;
    const int x = work.left + (work.right - work.left - width) / 2;
    const int y = work.top + (work.bottom - work.top - height) / 2;
    return RECT{x, y, x + width, y + height};
}

// Unscaled in the window; in full screen scaled to fit, keeping 4:3, centred.
void place_picture(Backend& w) {
    if (!w.full_screen) {
        w.placement = {0, 0, window_width, window_height};
        return;
    }
    RECT client{};
    GetClientRect(w.window, &client);
    const int cw = client.right, ch = client.bottom;
    const bool wide_screen = std::int64_t(cw) * window_height > std::int64_t(ch) * window_width;
    Placement& p = w.placement;
    p.width = wide_screen ? int(std::int64_t(ch) * window_width / window_height) : cw;
    p.height = wide_screen ? ch : int(std::int64_t(cw) * window_height / window_width);
    p.x = (cw - p.width) / 2;
    p.y = (ch - p.height) / 2;
}

// Lines first..last of the frame: blitted from the DIB section when the
// frame lives there, else handed over as a picture of their own.
void draw_lines(Backend& w, HDC dc, int first, int last) {
    const int count = last - first + 1;
    if (w.frame == w.memory && w.memory != nullptr) {
        if (!w.full_screen) {
            BitBlt(dc, 0, first, window_width, count, w.memory_dc, 0, first, SRCCOPY);
        } else {
            const Placement& p = w.placement;
            StretchBlt(dc, p.x, p.y, p.width, p.height, w.memory_dc, 0, 0, window_width, window_height, SRCCOPY);
        }
        return;
    }
    w.bands.bmiHeader.biHeight = -count;
    const Pixel* lines = w.frame + std::ptrdiff_t(first) * window_width;
    if (!w.full_screen) {
        SetDIBitsToDevice(dc, 0, first, window_width, DWORD(count), 0, 0, 0, UINT(count), lines, &w.bands,
                          DIB_RGB_COLORS);
        return;
    }
    const Placement& p = w.placement;
    StretchDIBits(dc, p.x, p.y, p.width, p.height, 0, 0, window_width, window_height, w.frame, &w.bands,
                  DIB_RGB_COLORS, SRCCOPY);
}

void draw_whole(Backend& w, HDC dc) {
    if (w.full_screen) {
        // The bars around the picture.
        RECT client{};
        GetClientRect(w.window, &client);
        const Placement& p = w.placement;
        HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        const RECT bars[] = {{0, 0, client.right, p.y},
                             {0, p.y + p.height, client.right, client.bottom},
                             {0, p.y, p.x, p.y + p.height},
                             {p.x + p.width, p.y, client.right, p.y + p.height}};
        for (const RECT& bar : bars) {
            if (bar.right > bar.left && bar.bottom > bar.top) FillRect(dc, &bar, black);
        }
    }
    draw_lines(w, dc, 0, window_height - 1);
}

unsigned key_modifiers(LPARAM lparam) {
    unsigned modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= mod_shift;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= mod_ctrl;
    if (GetKeyState(VK_LMENU) < 0) modifiers |= mod_left_alt;
    if (GetKeyState(VK_RMENU) < 0) modifiers |= mod_right_alt;
    // The message's own context bit says Alt is down when the key state
    // does not tell which one.
    if ((lparam & (LPARAM(1) << 29)) != 0 && (modifiers & (mod_left_alt | mod_right_alt)) == 0) {
        modifiers |= mod_left_alt;
    }
    if ((GetKeyState(VK_NUMLOCK) & 1) != 0) modifiers |= mod_num_lock;
    return modifiers;
}

// The key of a key message, as key_translate takes it: the usage from the
// set-1 scan code (bits 16-23) and the E0 bit (bit 24).
KeyStroke stroke_of(WPARAM vk, LPARAM lparam) {
    int scan = int((lparam >> 16) & 0xFF);
    const bool extended = (lparam & (LPARAM(1) << 24)) != 0;
    if (scan == 0) scan = int(MapVirtualKeyW(UINT(vk), MAPVK_VK_TO_VSC));
    KeyStroke stroke{usage_of_set1(scan & 0x7F, extended), 0, key_modifiers(lparam)};
    if (vk == VK_PAUSE) stroke.usage = 72;  // shares its scan code with Num Lock
    if (stroke.usage >= usage::keypad_1 && stroke.usage <= usage::keypad_period) {
        // Windows has already decided whether the keypad key types a digit
        // (Num Lock, with Shift turning it round) and says so in the virtual
        // key; Shift is lifted for such a press.
        const bool digit = (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD9) || vk == VK_DECIMAL;
        stroke.modifiers &= ~unsigned(mod_shift | mod_num_lock);
        if (digit) stroke.modifiers |= mod_num_lock;
    }
    return stroke;
}

// The special-key code (b*256+255) a key press queues, 0 for none. Characters
// and control characters come as WM_CHAR instead.
std::int32_t special_code(WPARAM vk, LPARAM lparam) {
    const std::int32_t code = key_press_code(stroke_of(vk, lparam));
    return (code & 0xFF) == 0xFF ? code : 0;
}

void key_message(Backend& w, UINT message, WPARAM vk, LPARAM lparam) {
    const KeyStroke stroke = stroke_of(vk, lparam);
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    const int code = set1_code(stroke.usage);
    if (code > 0 && code < key_state_entries && (is_active(w) || !down)) w.held[std::size_t(code)] = down ? 1 : 0;
    if (!down) return;
    const bool repeat = (lparam & (LPARAM(1) << 30)) != 0;
    if (is_full_screen_toggle(stroke)) {
        // One switch per press: an auto-repeat of a held Alt+Enter is swallowed.
        if (!repeat && is_active(w)) ++w.pending.full_screen_requests;
        return;
    }
    // Alt with a key is the window's business and queues nothing. F10 comes
    // as a system key without Alt: it goes on as any key (F10 alone queues
    // nothing, Shift+F10 and Ctrl+F10 do).
    if (message == WM_SYSKEYDOWN && (stroke.modifiers & (mod_left_alt | mod_right_alt)) != 0) return;
    if (const std::int32_t special = special_code(vk, lparam)) add_key(w.pending, special);
}

// A typed UTF-16 unit as a code page 437 byte: units above 255 are not
// queued, a character the page lacks is '?'.
void char_message(Backend& w, WPARAM unit) {
    if (unit > 0xFF) return;
    const wchar_t text = wchar_t(unit);
    char byte = 0;
    BOOL defaulted = FALSE;
    if (WideCharToMultiByte(437, WC_NO_BEST_FIT_CHARS, &text, 1, &byte, 1, "?", &defaulted) != 1) byte = '?';
    add_key(w.pending, static_cast<unsigned char>(byte));
}

LRESULT handle_message(Backend& w, HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CLOSE:
            // The close button and the window menu's Close: the scene decides.
            add_key(w.pending, close_key_code);
            return 0;
        case WM_SYSCOMMAND:
            switch (wparam & 0xFFF0) {
                case SC_KEYMENU:  // Alt or F10 alone would open the window menu's keyboard mode
                case SC_SCREENSAVE:
                case SC_MONITORPOWER:
                    return 0;
                case SC_MAXIMIZE:
                    // Full screen takes the place of a maximised window.
                    if (is_active(w) && !w.full_screen) ++w.pending.full_screen_requests;
                    return 0;
                default:
                    break;
            }
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYDOWN:
        case WM_SYSKEYUP:
            // System keys never reach DefWindowProcW: that is what would turn
            // Alt+F4 into a close and Alt or F10 into the menu.
            key_message(w, message, wparam, lparam);
            return 0;
        case WM_CHAR:
            char_message(w, wparam);
            return 0;
        case WM_SYSCHAR:
        case WM_SYSDEADCHAR:
            return 0;
        case WM_SETFOCUS:
            w.focused = true;
            return 0;
        case WM_KILLFOCUS:
            w.focused = false;
            return 0;
        case WM_ACTIVATE:
            if (LOWORD(wparam) == WA_INACTIVE) w.focused = false;
            if (HIWORD(wparam) != 0) w.minimised = true;
            break;
        case WM_SIZE:
            if (wparam == SIZE_MINIMIZED) {
                w.minimised = true;
            } else {
                w.minimised = false;
                place_picture(w);
                InvalidateRect(window, nullptr, FALSE);
            }
            return 0;
        case WM_ERASEBKGND:
            return 1;  // WM_PAINT covers every pixel, bars included
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            if (w.frame != nullptr) draw_whole(w, dc);
            EndPaint(window, &paint);
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    Backend& w = win();
    if (w.window == nullptr || window != w.window) return DefWindowProcW(window, message, wparam, lparam);
    const LRESULT result = handle_message(w, window, message, wparam, lparam);
    note_activation(w);
    return result;
}

bool register_class(Backend& w, std::string& reason) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = window_procedure;
    wc.hInstance = w.instance;
    wc.hIcon = LoadIconW(nullptr, reinterpret_cast<LPCWSTR>(IDI_APPLICATION));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = class_name;
    if (RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS) return true;
    reason = last_error("cannot register the window class");
    return false;
}

// The window at its place, windowed or covering the monitor, not yet shown.
HWND create_window(Backend& w, const std::wstring& title, bool full_screen) {
    RECT frame = centred_frame(nullptr);
    DWORD style = windowed_style;
    if (full_screen) {
        frame = monitor_of(nullptr).rcMonitor;
        style = full_screen_style;
    }
    w.full_screen = full_screen;
    // The procedure knows its window only once CreateWindowExW returns;
    // messages sent before then go to DefWindowProcW.
    return CreateWindowExW(0, class_name, title.c_str(), style, frame.left, frame.top, frame.right - frame.left,
                           frame.bottom - frame.top, nullptr, nullptr, w.instance, nullptr);
}

void switch_full_screen(Backend& w) {
    const bool to_full_screen = !w.full_screen;
    RECT frame{};
    if (to_full_screen) {
        frame = monitor_of(w.window).rcMonitor;
    } else {
        frame = centred_frame(w.window);
    }
    w.full_screen = to_full_screen;
    if (IsIconic(w.window) || IsZoomed(w.window)) ShowWindow(w.window, SW_RESTORE);
    SetWindowLongPtrW(w.window, GWL_STYLE, LONG_PTR((to_full_screen ? full_screen_style : windowed_style) | WS_VISIBLE));
    // HWND_TOP, never HWND_TOPMOST: other windows may still come in front.
    SetWindowPos(w.window, HWND_TOP, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_FRAMECHANGED | SWP_SHOWWINDOW);
    place_picture(w);
    InvalidateRect(w.window, nullptr, FALSE);
    SetForegroundWindow(w.window);
    w.focused = true;
    w.minimised = false;
    w.reported_active = true;
}

bool make_frame_memory(Backend& w) {
    if (w.memory != nullptr) return true;
    BITMAPINFO whole = w.bands;
    whole.bmiHeader.biHeight = -window_height;  // top-down, as the frame buffer
    void* bits = nullptr;
    HBITMAP section = CreateDIBSection(nullptr, &whole, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (section == nullptr || bits == nullptr) return false;
    HDC memory_dc = CreateCompatibleDC(nullptr);
    if (memory_dc == nullptr) {
        DeleteObject(section);
        return false;
    }
    SelectObject(memory_dc, section);
    w.memory_dc = memory_dc;
    w.memory = static_cast<Pixel*>(bits);
    return true;
}

void shut_down(Backend& w) {
    if (w.window != nullptr) {
        HWND window = w.window;
        w.window = nullptr;
        DestroyWindow(window);
    }
    w.dc = nullptr;
    w.frame = nullptr;
    if (w.memory != nullptr) GdiFlush();
    UnregisterClassW(class_name, w.instance);
}

}  // namespace

bool window_open(const char* title, const Pixel* frame, std::string& reason) {
    Backend& w = win();
    w.instance = GetModuleHandleW(nullptr);
    w.frame = frame;
    w.pending = WindowEvents{};
    w.held.fill(0);
    w.focused = w.minimised = w.reported_active = false;
    w.bands.bmiHeader = BITMAPINFOHEADER{};
    w.bands.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    w.bands.bmiHeader.biWidth = window_width;
    w.bands.bmiHeader.biPlanes = 1;
    w.bands.bmiHeader.biBitCount = 32;
    w.bands.bmiHeader.biCompression = BI_RGB;
    // 800x600 pixels of the screen, not of a scaled desktop.
    SetProcessDPIAware();
    if (!register_class(w, reason)) return false;
    const std::wstring wide_title = wide(title);
    HWND window = create_window(w, wide_title, false);
    if (window == nullptr) {
        const std::string window_failure = last_error("no window");
        window = create_window(w, wide_title, true);
        if (window == nullptr) {
            reason = window_failure + " and " + last_error("no full screen");
            shut_down(w);
            return false;
        }
    }
    w.window = window;
    w.dc = GetDC(window);
    SetStretchBltMode(w.dc, COLORONCOLOR);
    // Without the DIB section the frame stays the display's own and is
    // handed over line by line.
    make_frame_memory(w);
    place_picture(w);
    // The pause between passes needs the system's 1 ms timer tick.
    w.timer_period = timeBeginPeriod(1) == TIMERR_NOERROR;
    // No screen saver and no display sleep while the window is open. The
    // thread's execution state rather than the desktop's saver setting: the
    // system lifts it by itself should the program end without closing.
    SetThreadExecutionState(ES_CONTINUOUS | ES_DISPLAY_REQUIRED);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    w.focused = GetFocus() == window;
    w.minimised = IsIconic(window) != FALSE;
    note_activation(w);
    return true;
}

void window_present(const Pixel* frame, int first, int last) {
    Backend& w = win();
    if (w.window == nullptr || w.dc == nullptr) return;
    w.frame = frame;
    if (w.full_screen) {
        draw_lines(w, w.dc, 0, window_height - 1);
    } else {
        draw_lines(w, w.dc, first, last);
    }
    GdiFlush();
}

Pixel* window_frame_memory() {
    const Backend& w = win();
    return w.window != nullptr ? w.memory : nullptr;
}

bool window_read_keyboard(std::uint8_t* key_state) {
    const Backend& w = win();
    if (w.window == nullptr) return false;
    std::copy(w.held.begin(), w.held.end(), key_state);
    return true;
}

void window_pump_events(WindowEvents& events) {
    Backend& w = win();
    MSG message;
    // Moving the window by its title bar or with the window menu runs the
    // system's own loop inside DispatchMessageW; the display lock stays held
    // until it ends, as it must while the window is not answering the scene.
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        // A special key queues its code from WM_KEYDOWN; the character
        // TranslateMessage would make of it as well (Shift+Tab's 9) is not made.
        const bool special = message.message == WM_KEYDOWN && message.hwnd == w.window &&
                             special_code(message.wParam, message.lParam) != 0;
        if (!special) TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    for (int i = 0; i < w.pending.key_count; ++i) add_key(events, w.pending.keys[std::size_t(i)]);
    events.activation_changed = events.activation_changed || w.pending.activation_changed;
    events.full_screen_requests += w.pending.full_screen_requests;
    events.repaint = events.repaint || w.pending.repaint;
    events.active = is_active(w);
    w.pending = WindowEvents{};
}

void window_switch_full_screen() {
    Backend& w = win();
    if (w.window != nullptr) switch_full_screen(w);
}

bool window_leave_full_screen() {
    Backend& w = win();
    if (w.window == nullptr || !w.full_screen) return false;
    switch_full_screen(w);
    return true;
}

void window_destroy() { shut_down(win()); }

void window_restore_screen_saver() { SetThreadExecutionState(ES_CONTINUOUS); }

void window_quit() {
    Backend& w = win();
    if (w.timer_period) timeEndPeriod(1);
    w.timer_period = false;
}
