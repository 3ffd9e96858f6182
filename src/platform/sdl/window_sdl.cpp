// The window backend on SDL2 (X11 and Wayland): window, renderer, events,
// keyboard, full screen. The only file that includes SDL; every function runs
// on the display thread, and everything that happens goes back to it in
// WindowEvents.
#include <SDL.h>
#include <SDL_syswm.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/key_translate.h"
#include "display/window.h"
#include "sdl/window_sdl.h"
#include "sdl/x11_window.h"

namespace {

template <auto destroy>
struct SdlDeleter {
    template <typename T>
    void operator()(T* object) const {
        destroy(object);
    }
};
using WindowHandle = std::unique_ptr<SDL_Window, SdlDeleter<SDL_DestroyWindow>>;
using RendererHandle = std::unique_ptr<SDL_Renderer, SdlDeleter<SDL_DestroyRenderer>>;
using TextureHandle = std::unique_ptr<SDL_Texture, SdlDeleter<SDL_DestroyTexture>>;
using CursorHandle = std::unique_ptr<SDL_Cursor, SdlDeleter<SDL_FreeCursor>>;

// Where the picture lands in the window's own surface: unscaled and centred
// in a window of any size, scaled to fit in full screen; black around it.
struct Placement {
    int x, y, width, height;
};

struct Backend {
    WindowHandle window;
    // Presenting goes one of two ways. Where SDL offers a window surface
    // (X11's shared-memory image) the marked lines are copied straight into
    // it; elsewhere (Wayland, a GPU) a renderer shows a streaming texture.
    RendererHandle renderer;
    TextureHandle texture;
    SDL_Surface* surface = nullptr;  // the window's own, owned by SDL; null on the renderer path
    bool surface_path = false;
    Placement placement{};
    bool clear_surface = true;        // bars to paint before the next present
    std::vector<int> source_column;   // full screen: picture column of each surface column
    CursorHandle cursor;
    bool full_screen = false;
    unsigned key_modifiers = 0;  // of the latest key event, for the text it types
    // Activation, followed event by event: focused, not minimised, shown.
    bool focused = false;
    bool minimised = false;
    bool shown = false;
    bool windowless_for_tests = false;
    // Full screen made by hand: a borderless window over the whole screen,
    // where no window manager (or one without a full-screen state) would
    // carry out SDL's request.
    bool manual_full_screen = false;
    // The decoration the window was last centred with: the window manager
    // reports it only after the map, and the window is centred again then.
    std::array<int, 4> centred_borders{};
};

Backend& win() {
    static Backend* instance = new Backend;
    return *instance;
}

constexpr int frame_pitch = window_width * static_cast<int>(sizeof(Pixel));

void set_hints() {
    // Hints, all before SDL_Init:
    // - Closing the window never ends the program: the close request becomes
    //   the close key in the queue and the scene decides.
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // - Ctrl+C and SIGTERM must end the process as they do any program, not
    //   turn into quit events that nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    // - Presenting never waits for the retrace: the scene paces itself.
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
    // - Full screen keeps showing when another window takes the focus; the
    //   scene runs on either way.
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    // The screen saver is switched off by window_open itself, whatever
    // SDL_VIDEO_ALLOW_SCREENSAVER says, and window_restore_screen_saver lifts that.
}

bool driver_is(const char* driver, const char* name) {
    return driver != nullptr && std::strcmp(driver, name) == 0;
}

// SDL video on X11 or Wayland. Without either SDL quietly falls back to its
// offscreen or dummy driver, where no window would ever show: that counts as
// no display unless the backend's own tests asked for the offscreen driver.
bool start_video(std::string& reason) {
    if (win().windowless_for_tests) {
        SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
        if (SDL_Init(SDL_INIT_VIDEO) == 0) return true;
        reason = SDL_GetError();
        return false;
    }
    const char* display_name = std::getenv("DISPLAY");
    const char* wayland_name = std::getenv("WAYLAND_DISPLAY");
    const char* runtime_dir = std::getenv("XDG_RUNTIME_DIR");
    const bool have_x = display_name != nullptr && *display_name != 0;
    const bool have_wayland = wayland_name != nullptr && *wayland_name != 0;
    if (!have_x && !have_wayland) {
        reason = "no X server or Wayland compositor to connect to (DISPLAY and WAYLAND_DISPLAY are unset)";
        return false;
    }
    // Each driver is asked for by name, and only where its variable is set,
    // so that SDL never tries a console driver here and libwayland prints no
    // complaint of its own. An SDL_VIDEODRIVER in the environment still wins,
    // and is checked below.
    std::string failures;
    auto note = [&failures](const std::string& failure) {
        failures += (failures.empty() ? "" : "; ") + failure;
    };
    for (const char* driver : {"x11", "wayland"}) {
        const bool x11 = driver_is(driver, "x11");
        if (x11 && !have_x) continue;
        if (!x11 && !have_wayland) continue;
        if (!x11 && wayland_name[0] != '/' && (runtime_dir == nullptr || *runtime_dir == 0)) {
            note("the Wayland compositor \"" + std::string(wayland_name) + "\": XDG_RUNTIME_DIR is unset");
            continue;
        }
        SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
        // On X11 the window surface is the server's shared-memory image; the
        // OpenGL-backed one would re-create the shown window and costs ten
        // times as much without a GPU. Wayland has no other window surface.
        if (x11) {
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        } else {
            SDL_ResetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION);
        }
        if (SDL_Init(SDL_INIT_VIDEO) == 0) {
            const char* chosen = SDL_GetCurrentVideoDriver();
            if (driver_is(chosen, "x11") || driver_is(chosen, "wayland")) return true;
            reason = std::string("SDL offers only its \"") + (chosen ? chosen : "?") +
                     "\" video driver, which shows no window";
            SDL_Quit();
            return false;
        }
        note(std::string(x11 ? "the X server \"" : "the Wayland compositor \"") +
             (x11 ? display_name : wayland_name) + "\": " + SDL_GetError());
    }
    reason = "cannot connect to " + failures;
    return false;
}

bool x11_handles(SDL_Window* window, Display*& display, ::Window& x_window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return false;
    display = info.info.x11.display;
    x_window = info.info.x11.window;
    return true;
}

void set_black_background(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    if (x11_handles(window, display, x_window)) x11::set_black_background(display, x_window);
}

bool x_server_has_gpu(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    return x11_handles(window, display, x_window) && x11::has_gpu(display);
}

bool gl_is_software() {
    using GetString = const unsigned char* (*)(unsigned);
    constexpr unsigned gl_renderer = 0x1F01;
    auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (get_string == nullptr) return true;
    const auto* name = reinterpret_cast<const char*>(get_string(gl_renderer));
    if (name == nullptr) return true;
    for (const char* software : {"llvmpipe", "softpipe", "Software", "swrast", "SWR"}) {
        if (std::strstr(name, software) != nullptr) return true;
    }
    return false;
}

// The renderer that presents. Where a GPU does the work, SDL's accelerated
// (OpenGL) renderer: presenting and the full-screen scaling cost the CPU next
// to nothing. Without one (Xvfb, remote X, no GPU) OpenGL is Mesa's software
// rasterizer: its context takes about 90 ms to start, and under Xvfb the
// whole program then needs about 18% of a core windowed and 29% in full
// screen, against 3.5% and 7% with the software renderer's X11
// shared-memory path. There the software renderer presents. An
// SDL_RENDER_DRIVER in the environment chooses instead.
RendererHandle create_renderer(SDL_Window* window) {
    const char* forced = std::getenv("SDL_RENDER_DRIVER");
    if (forced != nullptr && *forced != 0) return RendererHandle(SDL_CreateRenderer(window, -1, 0));
    if (driver_is(SDL_GetCurrentVideoDriver(), "wayland") || x_server_has_gpu(window)) {
        RendererHandle accelerated(SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED));
        SDL_RendererInfo info{};
        if (accelerated && SDL_GetRendererInfo(accelerated.get(), &info) == 0 &&
            std::strcmp(info.name, "software") != 0 && !gl_is_software()) {
            return accelerated;
        }
    }
    return RendererHandle(SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE));
}

// The renderer path: the texture scaled to fit with black bars. The bars
// need a clear only where the picture does not fill the window.
void draw_picture() {
    Backend& w = win();
    if (w.full_screen) {
        SDL_SetRenderDrawColor(w.renderer.get(), 0, 0, 0, 255);
        SDL_RenderClear(w.renderer.get());
    }
    SDL_RenderCopy(w.renderer.get(), w.texture.get(), nullptr, nullptr);
    SDL_RenderPresent(w.renderer.get());
}

// The window surface path takes the frame's pixels as they are: 32 bits with
// red in bits 16-23; the top byte is not shown.
bool surface_takes_frame_pixels(const SDL_Surface* surface) {
    return surface != nullptr && (surface->format->format == SDL_PIXELFORMAT_RGB888 ||
                                  surface->format->format == SDL_PIXELFORMAT_ARGB8888);
}

// The window's surface as it is now: SDL makes a new one after every change
// of the window's size, and then the picture is placed and its bars painted
// again. False when there is none.
bool current_surface() {
    Backend& w = win();
    SDL_Surface* surface = SDL_GetWindowSurface(w.window.get());
    if (!surface_takes_frame_pixels(surface)) return false;
    if (surface != w.surface || w.clear_surface) {
        w.surface = surface;
        Placement& p = w.placement;
        if (w.full_screen) {
            // Scaled to fit, in whole pixels, keeping the 4:3 shape.
            const bool wide = std::int64_t(surface->w) * window_height > std::int64_t(surface->h) * window_width;
            p.width = wide ? int(std::int64_t(surface->h) * window_width / window_height) : surface->w;
            p.height = wide ? surface->h : int(std::int64_t(surface->w) * window_height / window_width);
        } else {
            p.width = window_width;
            p.height = window_height;
        }
        p.x = (surface->w - p.width) / 2;
        p.y = (surface->h - p.height) / 2;
        w.source_column.resize(std::size_t(std::max(p.width, 0)));
        for (int x = 0; x < p.width; ++x) w.source_column[std::size_t(x)] = int(std::int64_t(x) * window_width / p.width);
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        w.clear_surface = false;
    }
    return true;
}

Pixel* surface_row(SDL_Surface* surface, int y) {
    return reinterpret_cast<Pixel*>(static_cast<std::uint8_t*>(surface->pixels) + std::ptrdiff_t(y) * surface->pitch);
}

// Lines first..last of the frame into the window surface, then those rows to
// the screen. Unscaled: one copy of each line, clipped to the surface.
// Scaled: each surface row from its nearest picture line, a repeated row
// copied from the one above.
void present_to_surface(const Pixel* frame, int first, int last) {
    Backend& w = win();
    const bool whole = w.clear_surface;
    if (!current_surface()) return;
    if (whole) {
        first = 0;
        last = window_height - 1;
    }
    SDL_Surface* surface = w.surface;
    const Placement& p = w.placement;
    SDL_Rect rows{};
    if (p.width == window_width && p.height == window_height) {
        const int x0 = std::max(p.x, 0), x1 = std::min(p.x + window_width, surface->w);
        const int y0 = std::max(p.y + first, 0), y1 = std::min(p.y + last + 1, surface->h);
        for (int y = y0; y < y1; ++y) {
            std::memcpy(surface_row(surface, y) + x0, frame + std::ptrdiff_t(y - p.y) * window_width + (x0 - p.x),
                        std::size_t(std::max(x1 - x0, 0)) * sizeof(Pixel));
        }
        rows = {x0, y0, x1 - x0, y1 - y0};
    } else {
        // Surface rows whose nearest picture line lies in first..last.
        const int y0 = int((std::int64_t(first) * p.height + window_height - 1) / window_height);
        const int y1 = int((std::int64_t(last + 1) * p.height + window_height - 1) / window_height);
        int previous_line = -1;
        for (int y = y0; y < y1; ++y) {
            const int line = int(std::int64_t(y) * window_height / p.height);
            Pixel* out = surface_row(surface, p.y + y) + p.x;
            if (line == previous_line) {
                std::memcpy(out, surface_row(surface, p.y + y - 1) + p.x, std::size_t(p.width) * sizeof(Pixel));
                continue;
            }
            const Pixel* in = frame + std::ptrdiff_t(line) * window_width;
            for (int x = 0; x < p.width; ++x) out[x] = in[w.source_column[std::size_t(x)]];
            previous_line = line;
        }
        rows = {p.x, p.y + y0, p.width, y1 - y0};
    }
    if (whole) rows = {0, 0, surface->w, surface->h};
    if (rows.w > 0 && rows.h > 0) SDL_UpdateWindowSurfaceRects(w.window.get(), &rows, 1);
}

void tear_down() {
    Backend& w = win();
    w.texture.reset();
    w.renderer.reset();
    w.surface = nullptr;
    w.window.reset();
}

bool on_x11() { return driver_is(SDL_GetCurrentVideoDriver(), "x11"); }

// Centres the whole frame on the work area of the screen that holds the
// window: the drawing area by itself where there is no decoration (yet).
std::array<int, 4> window_borders(SDL_Window* window) {
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0) return {};
    return {top, left, bottom, right};
}

void centre_window(SDL_Window* window) {
    const std::array<int, 4> borders = window_borders(window);
    win().centred_borders = borders;
    const auto [top, left, bottom, right] = borders;
    SDL_Rect area{};
    const int screen = std::max(SDL_GetWindowDisplayIndex(window), 0);
    if (SDL_GetDisplayUsableBounds(screen, &area) != 0) return;
    SDL_SetWindowPosition(window, area.x + (area.w - (window_width + left + right)) / 2 + left,
                          area.y + (area.h - (window_height + top + bottom)) / 2 + top);
}

// Centres the window again once its decoration is known (or changes).
void follow_decoration() {
    Backend& w = win();
    if (w.full_screen || !w.window) return;
    if (window_borders(w.window.get()) != w.centred_borders) centre_window(w.window.get());
}

// On X11: Motif hints for the buttons and no sizing border (see x11_window.h);
// the window is "resizable" to SDL only so that its size hints leave room
// for the maximise button. Elsewhere min = max size keeps it a fixed-size
// window (which also makes tiling compositors float it).
void set_window_controls(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    if (!x11_handles(window, display, x_window)) return;
    SDL_SetWindowMinimumSize(window, window_width, window_height);
    x11::offer_maximise_without_resize(display, x_window);
}

bool window_manager_has_full_screen(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    if (!x11_handles(window, display, x_window)) return true;  // the compositor's business
    return x11::window_manager_has_full_screen(display);
}

// Where nothing speaks for the renderer, the window surface presents.
bool wants_window_surface(SDL_Window* window) {
    const char* forced = std::getenv("SDL_RENDER_DRIVER");
    if (forced != nullptr && *forced != 0) return false;
    return !driver_is(SDL_GetCurrentVideoDriver(), "wayland") && !x_server_has_gpu(window);
}

// The window showing the current frame, shown and raised: with its own
// surface where that works, else with a renderer and a texture.
bool set_up(const char* title, bool full_screen, const Pixel* frame, std::string& reason) {
    Backend& w = win();
    const Uint32 flags = SDL_WINDOW_HIDDEN | (on_x11() ? Uint32(SDL_WINDOW_RESIZABLE) : 0u) |
                         (full_screen ? Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u);
    w.window.reset(SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width,
                                    window_height, flags));
    w.full_screen = full_screen;
    w.manual_full_screen = false;
    if (w.window) {
        set_window_controls(w.window.get());
        if (!full_screen) centre_window(w.window.get());
    }
    w.surface = nullptr;
    w.clear_surface = true;
    w.surface_path = w.window && wants_window_surface(w.window.get()) &&
                     surface_takes_frame_pixels(SDL_GetWindowSurface(w.window.get()));
    if (w.window && !w.surface_path) {
        w.renderer = create_renderer(w.window.get());
        if (w.renderer) {
            w.texture.reset(SDL_CreateTexture(w.renderer.get(), SDL_PIXELFORMAT_ARGB8888,
                                              SDL_TEXTUREACCESS_STREAMING, window_width, window_height));
        }
    }
    if (!w.window || (!w.surface_path && !w.texture)) {
        reason = SDL_GetError();
        tear_down();
        return false;
    }
    if (!w.surface_path) {
        // The top byte of a pixel is never shown.
        SDL_SetTextureBlendMode(w.texture.get(), SDL_BLENDMODE_NONE);
        SDL_RenderSetLogicalSize(w.renderer.get(), window_width, window_height);
        SDL_UpdateTexture(w.texture.get(), nullptr, frame, frame_pitch);
        draw_picture();
    }
    // The renderer may have re-created the X window, so the background is set
    // last. On X11 showing waits for the map, and the black frame follows.
    set_black_background(w.window.get());
    SDL_ShowWindow(w.window.get());
    // Now that the window manager has put its decoration around the window,
    // the whole frame is centred.
    if (!full_screen) centre_window(w.window.get());
    if (w.surface_path) {
        w.clear_surface = true;
        present_to_surface(frame, 0, window_height - 1);
    } else {
        draw_picture();
    }
    SDL_RaiseWindow(w.window.get());
    const Uint32 state = SDL_GetWindowFlags(w.window.get());
    w.focused = (state & SDL_WINDOW_INPUT_FOCUS) != 0;
    w.minimised = (state & SDL_WINDOW_MINIMIZED) != 0;
    w.shown = (state & SDL_WINDOW_SHOWN) != 0;
    return true;
}

bool is_active(const Backend& w) { return w.focused && !w.minimised && w.shown; }

// Between the window and full screen of the desktop's own mode, where the
// renderer scales the picture to fit with black bars; back in the window it
// is 800x600 and centred again.
void switch_full_screen() {
    Backend& w = win();
    SDL_Window* window = w.window.get();
    const bool to_full_screen = !w.full_screen;
    if ((SDL_GetWindowFlags(window) & SDL_WINDOW_MAXIMIZED) != 0) SDL_RestoreWindow(window);
    if (w.manual_full_screen || (to_full_screen && !window_manager_has_full_screen(window))) {
        // By hand: the window itself covers the screen, or is the centred
        // 800x600 window again.
        SDL_Rect screen{};
        const int index = std::max(SDL_GetWindowDisplayIndex(window), 0);
        if (to_full_screen && SDL_GetDisplayBounds(index, &screen) == 0) {
            SDL_SetWindowBordered(window, SDL_FALSE);
            SDL_SetWindowPosition(window, screen.x, screen.y);
            SDL_SetWindowSize(window, screen.w, screen.h);
            SDL_RaiseWindow(window);
            w.manual_full_screen = true;
            w.full_screen = true;
        } else if (!to_full_screen) {
            SDL_SetWindowSize(window, window_width, window_height);
            SDL_SetWindowBordered(window, SDL_TRUE);
            set_window_controls(window);
            w.manual_full_screen = false;
            w.full_screen = false;
        }
    } else if (SDL_SetWindowFullscreen(window, to_full_screen ? Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u) == 0) {
        w.full_screen = to_full_screen;
    } else {
        SDL_SetWindowFullscreen(window, w.full_screen ? Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u);
    }
    if (!w.full_screen) {
        SDL_SetWindowSize(window, window_width, window_height);
        centre_window(window);
    }
    w.clear_surface = true;
    w.focused = true;
    w.minimised = false;
}

unsigned modifiers_of(Uint16 mod) {
    unsigned modifiers = 0;
    if ((mod & KMOD_SHIFT) != 0) modifiers |= mod_shift;
    if ((mod & KMOD_CTRL) != 0) modifiers |= mod_ctrl;
    if ((mod & KMOD_LALT) != 0) modifiers |= mod_left_alt;
    if ((mod & (KMOD_RALT | KMOD_MODE)) != 0) modifiers |= mod_right_alt;
    if ((mod & KMOD_NUM) != 0) modifiers |= mod_num_lock;
    return modifiers;
}

void handle_key_down(const SDL_KeyboardEvent& event, WindowEvents& events) {
    Backend& w = win();
    const SDL_Keycode sym = event.keysym.sym;
    const KeyStroke press{static_cast<int>(event.keysym.scancode),
                         (sym & SDLK_SCANCODE_MASK) == 0 && sym < 128 ? static_cast<int>(sym) : 0,
                         w.key_modifiers};
    if (is_full_screen_toggle(press)) {
        // One switch per press: an auto-repeat of a held Alt+Enter is swallowed.
        if (event.repeat == 0 && is_active(w)) ++events.full_screen_requests;
        return;
    }
    if (const std::int32_t code = key_press_code(press)) add_key(events, code);
}

void handle_window_event(const SDL_WindowEvent& event, WindowEvents& events) {
    Backend& w = win();
    const bool was_active = is_active(w);
    switch (event.event) {
        case SDL_WINDOWEVENT_CLOSE:
            add_key(events, close_key_code);
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            w.clear_surface = true;  // the bars too
            events.repaint = true;
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
            // A window manager that forces its own size: the picture stays
            // 800x600, placed again in the new surface, and the window asks
            // to be 800x600 again, which it gets as soon as the manager allows.
            w.clear_surface = true;
            events.repaint = true;
            if (!w.full_screen && (event.data1 != window_width || event.data2 != window_height)) {
                SDL_SetWindowSize(w.window.get(), window_width, window_height);
            }
            break;
        case SDL_WINDOWEVENT_MAXIMIZED:
            // Full screen takes the place of a maximised window.
            w.minimised = false;
            if (is_active(w) && !w.full_screen) ++events.full_screen_requests;
            break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: w.focused = true; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: w.focused = false; break;
        case SDL_WINDOWEVENT_MINIMIZED: w.minimised = true; break;
        case SDL_WINDOWEVENT_RESTORED: w.minimised = false; break;
        case SDL_WINDOWEVENT_SHOWN: w.shown = true; break;
        case SDL_WINDOWEVENT_HIDDEN: w.shown = false; break;
        default: break;
    }
    if (is_active(w) != was_active) events.activation_changed = true;
    events.active = is_active(w);
}

}  // namespace

void use_offscreen_driver_for_tests() { win().windowless_for_tests = true; }

bool window_open(const char* title, const Pixel* frame, std::string& reason) {
    set_hints();
    if (!start_video(reason)) return false;
    Backend& w = win();
    w.cursor.reset(SDL_CreateSystemCursor(SDL_SYSTEM_CURSOR_ARROW));
    if (w.cursor) SDL_SetCursor(w.cursor.get());
    // Off while the window is open, whatever SDL's environment variable says;
    // window_restore_screen_saver puts the desktop's own setting back.
    SDL_DisableScreenSaver();
    std::string window_failure;
    if (set_up(title, false, frame, window_failure) || set_up(title, true, frame, reason)) return true;
    reason = "no window (" + window_failure + ") and no full screen (" + reason + ")";
    w.cursor.reset();
    SDL_Quit();
    return false;
}

void window_present(const Pixel* frame, int first, int last) {
    Backend& w = win();
    if (w.surface_path) {
        present_to_surface(frame, first, last);
        return;
    }
    const SDL_Rect lines{0, first, window_width, last - first + 1};
    SDL_UpdateTexture(w.texture.get(), &lines, frame + first * window_width, frame_pitch);
    draw_picture();
}

bool window_read_keyboard(std::uint8_t* key_state) {
    int count = 0;
    // SDL's key state only moves when events are pumped; pumping here reads
    // the keyboard as it is now rather than as of the previous pass, so a
    // press reaches key_down one pass (10 ms or more) sooner. The events stay
    // queued for window_pump_events.
    SDL_PumpEvents();
    const Uint8* held = SDL_GetKeyboardState(&count);
    if (held == nullptr) return false;
    key_state_from_usages(held, count, key_state);
    return true;
}

void window_pump_events(WindowEvents& events) {
    Backend& w = win();
    events.active = is_active(w);
    SDL_Event event;
    while (SDL_PollEvent(&event) != 0) {
        switch (event.type) {
            case SDL_KEYDOWN:
                w.key_modifiers = modifiers_of(event.key.keysym.mod);
                handle_key_down(event.key, events);
                break;
            case SDL_KEYUP:
                w.key_modifiers = modifiers_of(event.key.keysym.mod);
                break;
            case SDL_TEXTINPUT: {
                const TypedCodes typed = text_codes(event.text.text, w.key_modifiers);
                for (int i = 0; i < typed.count; ++i) add_key(events, typed.codes[static_cast<std::size_t>(i)]);
                break;
            }
            case SDL_WINDOWEVENT:
                handle_window_event(event.window, events);
                break;
            default:
                break;
        }
    }
    follow_decoration();
}

void window_switch_full_screen() {
    if (win().window) switch_full_screen();
}

bool window_leave_full_screen() {
    Backend& w = win();
    if (!w.full_screen || !w.window) return false;
    if (w.manual_full_screen) {
        switch_full_screen();
    } else {
        SDL_SetWindowFullscreen(w.window.get(), 0);
        w.full_screen = false;
    }
    return true;
}

void window_destroy() {
    tear_down();
    win().cursor.reset();
}

void window_restore_screen_saver() { SDL_EnableScreenSaver(); }

void window_quit() { SDL_Quit(); }
