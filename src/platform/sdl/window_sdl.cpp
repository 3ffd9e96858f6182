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
#include <utility>
#include <vector>

#include "core/key_translate.h"
#include "core/scale_row.h"
#include "display/window.h"
#include "sdl/window_sdl.h"
#include "sdl/wayland_buffers.h"
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
    // Presenting goes one of three ways, all without a GPU doing anything in
    // software: on X11 the marked lines are copied straight into the window's
    // shared-memory surface; on Wayland into shared-memory buffers attached to
    // the window's surface; where a GPU is at hand a renderer shows a
    // streaming texture.
    RendererHandle renderer;
    TextureHandle texture;
    SDL_Surface* surface = nullptr;  // X11: the window's own, owned by SDL
    bool surface_path = false;       // X11's window surface
    bool buffer_path = false;        // Wayland's shared-memory buffers
    int buffer_width = 0, buffer_height = 0;
    bool lines_waiting = false;      // a present found no free buffer
    Placement placement{};
    bool clear_surface = true;        // bars to paint before the next present
    std::vector<int> source_column;   // full screen: picture column of each surface column
    CursorHandle cursor;
    bool full_screen = false;
    unsigned key_modifiers = 0;  // of the latest key event, for the text it types
    bool drop_text = false;      // the latest key press was a keypad key that types by itself
    bool right_alt_is_altgr = false;  // the layout makes right Alt its level-3 shift
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
    bool manager_needs_resize = false;  // see insist_on_maximise
    bool pumped = false;  // events pumped in this pass already (window_read_keyboard)
    int passes_off_size = 0;  // see keep_window_size
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

// Where the picture goes in a target of width x height: unscaled and centred
// in a window, scaled to fit (in whole pixels, keeping its 4:3 shape) in full
// screen.
void place_picture(int width, int height) {
    Backend& w = win();
    Placement& p = w.placement;
    const bool wide = std::int64_t(width) * window_height > std::int64_t(height) * window_width;
    p.width = !w.full_screen ? window_width : wide ? int(std::int64_t(height) * window_width / window_height) : width;
    p.height = !w.full_screen ? window_height : wide ? height : int(std::int64_t(width) * window_height / window_width);
    p.x = (width - p.width) / 2;
    p.y = (height - p.height) / 2;
    w.source_column.resize(std::size_t(std::max(p.width, 1)));
    scale_columns(window_width, std::max(p.width, 1), w.source_column.data());
}

Pixel* row_of(const Image& target, int y) { return target.pixels + std::ptrdiff_t(y) * target.stride; }

// Lines first..last of the frame into the target at the placement; returns
// the target's rows written. Unscaled: one copy of each line, clipped to the
// target. Scaled: each row from its nearest picture line, a repeated row
// copied from the one above.
SDL_Rect place_lines(const Image& target, const Pixel* frame, int first, int last) {
    const Backend& w = win();
    const Placement& p = w.placement;
    if (p.width == window_width && p.height == window_height) {
        const int x0 = std::max(p.x, 0), x1 = std::min(p.x + window_width, target.width);
        const int y0 = std::max(p.y + first, 0), y1 = std::min(p.y + last + 1, target.height);
        for (int y = y0; y < y1; ++y) {
            std::memcpy(row_of(target, y) + x0, frame + std::ptrdiff_t(y - p.y) * window_width + (x0 - p.x),
                        std::size_t(std::max(x1 - x0, 0)) * sizeof(Pixel));
        }
        return {x0, y0, x1 - x0, y1 - y0};
    }
    // Rows whose nearest picture line lies in first..last.
    const int y0 = int((std::int64_t(first) * p.height + window_height - 1) / window_height);
    const int y1 = int((std::int64_t(last + 1) * p.height + window_height - 1) / window_height);
    int previous_line = -1;
    for (int y = y0; y < y1; ++y) {
        const int line = int(std::int64_t(y) * window_height / p.height);
        Pixel* out = row_of(target, p.y + y) + p.x;
        if (line == previous_line) {
            std::memcpy(out, row_of(target, p.y + y - 1) + p.x, std::size_t(p.width) * sizeof(Pixel));
            continue;
        }
        scale_row(frame + std::ptrdiff_t(line) * window_width, window_width, out, w.source_column.data(), p.width);
        previous_line = line;
    }
    return {p.x, p.y + y0, p.width, y1 - y0};
}

// X11: the window's shared-memory surface. SDL makes a new one after every
// change of the window's size; the picture is then placed and its bars
// painted again, as after an expose.
void present_to_surface(const Pixel* frame, int first, int last) {
    Backend& w = win();
    SDL_Surface* surface = SDL_GetWindowSurface(w.window.get());
    if (!surface_takes_frame_pixels(surface)) return;
    const bool whole = surface != w.surface || w.clear_surface;
    if (whole) {
        w.surface = surface;
        place_picture(surface->w, surface->h);
        SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 0, 0, 0));
        w.clear_surface = false;
        first = 0;
        last = window_height - 1;
    }
    const Image target{surface->w, surface->h, 32, surface->pitch / 4, static_cast<Pixel*>(surface->pixels)};
    // The frame buffer may live in the surface itself: then it is shown as it is.
    SDL_Rect rows = frame == target.pixels ? SDL_Rect{0, first, window_width, last - first + 1}
                                           : place_lines(target, frame, first, last);
    if (whole) rows = {0, 0, surface->w, surface->h};
    if (rows.w > 0 && rows.h > 0) SDL_UpdateWindowSurfaceRects(w.window.get(), &rows, 1);
}

// Wayland: shared-memory buffers on the window's surface. New buffers are
// black, so the bars need no painting; a buffer that does not hold the
// latest picture gets all of it.
void present_to_buffers(const Pixel* frame, int first, int last) {
    Backend& w = win();
    int width = 0, height = 0;
    SDL_GetWindowSize(w.window.get(), &width, &height);
    if (width < 1 || height < 1) return;
    if (w.clear_surface || width != w.buffer_width || height != w.buffer_height) {
        place_picture(width, height);
        w.buffer_width = width;
        w.buffer_height = height;
        w.clear_surface = false;
    }
    wayland::Target target{};
    bool stale = false;
    if (!wayland::next_target(width, height, target, stale)) {
        w.lines_waiting = true;  // every buffer still on screen: the next pass shows the picture
        return;
    }
    if (stale || w.lines_waiting) {
        first = 0;
        last = window_height - 1;
        w.lines_waiting = false;
    }
    const SDL_Rect rows = place_lines({target.width, target.height, 32, target.stride, target.pixels}, frame, first, last);
    if (rows.h > 0) wayland::show_target(rows.y, rows.y + rows.h - 1);
}

void tear_down() {
    Backend& w = win();
    w.texture.reset();
    w.renderer.reset();
    w.surface = nullptr;
    if (w.buffer_path) wayland::close_buffers();
    w.buffer_path = false;
    w.surface_path = false;
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

// `borders` (top, left, bottom, right) as SDL will know them once the window
// is mapped; before that SDL places the frame where asked.
void centre_window(SDL_Window* window, const std::array<int, 4>& borders, bool mapped) {
    win().centred_borders = borders;
    const auto [top, left, bottom, right] = borders;
    SDL_Rect area{};
    const int screen = std::max(SDL_GetWindowDisplayIndex(window), 0);
    if (SDL_GetDisplayUsableBounds(screen, &area) != 0) return;
    const int frame_x = area.x + (area.w - (window_width + left + right)) / 2;
    const int frame_y = area.y + (area.h - (window_height + top + bottom)) / 2;
    SDL_SetWindowPosition(window, frame_x + (mapped ? left : 0), frame_y + (mapped ? top : 0));
}

void centre_window(SDL_Window* window) { centre_window(window, window_borders(window), true); }

// Before the map: centred with the decoration the window manager says it
// will add, or as the drawing area alone.
void centre_unmapped_window(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    int extents[4] = {0, 0, 0, 0};  // left, right, top, bottom
    if (x11_handles(window, display, x_window)) x11::frame_extents_before_map(display, x_window, extents);
    centre_window(window, {extents[2], extents[0], extents[3], extents[1]}, false);
}

// Passes between two requests for 800x600 while a manager keeps the window
// at another size: the request is repeated, so the window returns to its
// size as soon as the manager allows (a tiling manager never does).
constexpr int window_size_wanted = 10;

void keep_window_size() {
    Backend& w = win();
    Display* display = nullptr;
    ::Window x_window = 0;
    int width = 0, height = 0;
    if (w.full_screen || !w.window || !x11_handles(w.window.get(), display, x_window)) return;
    SDL_GetWindowSize(w.window.get(), &width, &height);
    if (width == window_width && height == window_height) {
        w.passes_off_size = 0;
        return;
    }
    if (++w.passes_off_size < window_size_wanted) return;
    w.passes_off_size = 0;
    x11::request_size(display, x_window, window_width, window_height);
}

// Centres the window again when SDL learns of a decoration other than the
// one it was centred with (a manager that did not say in advance).
void follow_decoration() {
    Backend& w = win();
    if (w.full_screen || !w.window) return;
    const std::array<int, 4> borders = window_borders(w.window.get());
    if (borders != std::array<int, 4>{} && borders != w.centred_borders) centre_window(w.window.get());
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
    x11::set_window_functions(display, x_window, win().manager_needs_resize);
}

// Once mapped: a manager that offers maximise only to a window it may resize
// (openbox) gets the resize function too. It may then resize the window, which
// asks for 800x600 again at once (see SDL_WINDOWEVENT_SIZE_CHANGED).
void insist_on_maximise(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    Backend& w = win();
    if (w.manager_needs_resize || !x11_handles(window, display, x_window)) return;
    if (!x11::maximise_refused(display, x_window)) return;
    w.manager_needs_resize = true;
    x11::set_window_functions(display, x_window, true);
}

bool window_manager_has_full_screen(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    if (!x11_handles(window, display, x_window)) return true;  // the compositor's business
    return x11::window_manager_has_full_screen(display);
}

bool render_driver_forced() {
    const char* forced = std::getenv("SDL_RENDER_DRIVER");
    return forced != nullptr && *forced != 0;
}

// Wayland's buffers on the window's surface, where nothing speaks for the renderer.
bool open_wayland_buffers(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (render_driver_forced() || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE ||
        info.subsystem != SDL_SYSWM_WAYLAND) {
        return false;
    }
    return wayland::open_buffers(info.info.wl.display, info.info.wl.surface);
}

void present(const Pixel* frame, int first, int last) {
    Backend& w = win();
    if (w.surface_path) {
        present_to_surface(frame, first, last);
    } else if (w.buffer_path) {
        present_to_buffers(frame, first, last);
    } else {
        const SDL_Rect lines{0, first, window_width, last - first + 1};
        SDL_UpdateTexture(w.texture.get(), &lines, frame + first * window_width, frame_pitch);
        draw_picture();
    }
}

// The window showing the current frame, shown and raised, with the way of
// presenting that suits where it runs.
bool set_up(const char* title, bool full_screen, const Pixel* frame, std::string& reason) {
    Backend& w = win();
    const Uint32 flags = SDL_WINDOW_HIDDEN | (on_x11() ? Uint32(SDL_WINDOW_RESIZABLE) : 0u) |
                         (full_screen ? Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u);
    w.window.reset(SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, window_width,
                                    window_height, flags));
    w.full_screen = full_screen;
    w.manual_full_screen = false;
    w.surface = nullptr;
    w.clear_surface = true;
    w.buffer_width = w.buffer_height = 0;
    w.lines_waiting = false;
    SDL_Window* window = w.window.get();
    if (window != nullptr) {
        set_window_controls(window);
        if (!full_screen) centre_unmapped_window(window);
        w.surface_path = on_x11() && !render_driver_forced() && !x_server_has_gpu(window) &&
                         surface_takes_frame_pixels(SDL_GetWindowSurface(window));
        w.buffer_path = !w.surface_path && open_wayland_buffers(window);
        if (!w.surface_path && !w.buffer_path) {
            w.renderer = create_renderer(window);
            if (w.renderer) {
                w.texture.reset(SDL_CreateTexture(w.renderer.get(), SDL_PIXELFORMAT_ARGB8888,
                                                  SDL_TEXTUREACCESS_STREAMING, window_width, window_height));
            }
        }
    }
    if (window == nullptr || (!w.surface_path && !w.buffer_path && !w.texture)) {
        reason = SDL_GetError();
        tear_down();
        return false;
    }
    if (w.texture) {
        // The top byte of a pixel is never shown.
        SDL_SetTextureBlendMode(w.texture.get(), SDL_BLENDMODE_NONE);
        SDL_RenderSetLogicalSize(w.renderer.get(), window_width, window_height);
        SDL_UpdateTexture(w.texture.get(), nullptr, frame, frame_pitch);
        draw_picture();
    }
    // The renderer may have re-created the X window, so the background is set
    // last. On X11 showing waits for the map, and the black frame follows.
    set_black_background(window);
    SDL_ShowWindow(window);
    insist_on_maximise(window);
    if (!on_x11()) {
        // Minimum equal to maximum, sent before the first picture maps the
        // window: a tiling compositor then floats it at its own size.
        SDL_SetWindowMinimumSize(window, window_width, window_height);
        SDL_SetWindowMaximumSize(window, window_width, window_height);
    }
    present(frame, 0, window_height - 1);
    SDL_RaiseWindow(window);
    const Uint32 state = SDL_GetWindowFlags(window);
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

// Whether the layout makes right Alt its level-3 shift: SDL 2.26 reports the
// key as right Alt (KMOD_RALT) on every X11 layout, so the server is asked.
// Wayland's SDL names the shift KMOD_MODE itself.
bool right_alt_is_level3_shift(SDL_Window* window) {
    Display* display = nullptr;
    ::Window x_window = 0;
    return window != nullptr && x11_handles(window, display, x_window) && x11::right_alt_is_level3_shift(display);
}

unsigned modifiers_of(Uint16 mod) {
    unsigned modifiers = 0;
    if ((mod & KMOD_SHIFT) != 0) modifiers |= mod_shift;
    if ((mod & KMOD_CTRL) != 0) modifiers |= mod_ctrl;
    if ((mod & KMOD_LALT) != 0) modifiers |= mod_left_alt;
    // Right Alt is Alt unless the layout makes it the level-3 shift.
    if ((mod & KMOD_RALT) != 0) modifiers |= win().right_alt_is_altgr ? mod_altgr : mod_right_alt;
    if ((mod & KMOD_MODE) != 0) modifiers |= mod_altgr;
    if ((mod & KMOD_NUM) != 0) modifiers |= mod_num_lock;
    return modifiers;
}

void handle_key_down(const SDL_KeyboardEvent& event, WindowEvents& events) {
    Backend& w = win();
    const SDL_Keycode sym = event.keysym.sym;
    const KeyStroke press{static_cast<int>(event.keysym.scancode),
                         (sym & SDLK_SCANCODE_MASK) == 0 && sym < 128 ? static_cast<int>(sym) : 0,
                         w.key_modifiers};
    // SDL's Num Lock flag (in the event) and the X server's (in the text it
    // makes of the press) can disagree after Num Lock changes outside the
    // window: the keypad goes by the event alone, its text is dropped.
    w.drop_text = keypad_types_itself(press.usage);
    if (is_full_screen_toggle(press)) {
        // One switch per press: an auto-repeat of a held Alt+Enter is swallowed.
        if (event.repeat == 0 && is_active(w)) ++events.full_screen_requests;
        return;
    }
    if (const PressCode code = key_press(press); code.queued) add_key(events, code.code);
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
            w.passes_off_size = window_size_wanted;  // ask at once
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

void window_present(const Pixel* frame, int first, int last) { present(frame, first, last); }

Pixel* window_frame_memory() {
    // The shared-memory surface, when it is exactly the frame: windowed,
    // 800x600, no padding, and not about to be made anew.
    const Backend& w = win();
    const SDL_Surface* s = w.surface;
    if (!w.surface_path || s == nullptr || w.clear_surface || w.full_screen || s->w != window_width ||
        s->h != window_height || s->pitch != frame_pitch) {
        return nullptr;
    }
    return static_cast<Pixel*>(s->pixels);
}

bool window_read_keyboard(std::uint8_t* key_state) {
    int count = 0;
    // SDL's key state only moves when events are pumped; pumping here reads
    // the keyboard as it is now rather than as of the previous pass, so a
    // press reaches key_down one pass (10 ms or more) sooner. The events stay
    // queued for window_pump_events, which then takes them without pumping
    // again: one trip to the server per pass.
    SDL_PumpEvents();
    win().pumped = true;
    const Uint8* held = SDL_GetKeyboardState(&count);
    if (held == nullptr) return false;
    key_state_from_usages(held, count, key_state);
    return true;
}

void window_pump_events(WindowEvents& events) {
    Backend& w = win();
    events.active = is_active(w);
    if (!std::exchange(w.pumped, false)) SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0) {
        switch (event.type) {
            case SDL_KEYDOWN:
                // The layout is asked at each press of right Alt (a rare key),
                // so a change of layout or group is always seen.
                if (event.key.keysym.scancode == SDL_SCANCODE_RALT && event.key.repeat == 0) {
                    w.right_alt_is_altgr = right_alt_is_level3_shift(w.window.get());
                }
                w.key_modifiers = modifiers_of(event.key.keysym.mod);
                handle_key_down(event.key, events);
                break;
            case SDL_KEYUP:
                w.key_modifiers = modifiers_of(event.key.keysym.mod);
                break;
            case SDL_TEXTINPUT: {
                // Text follows the key press it comes from.
                if (std::exchange(w.drop_text, false)) break;
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
    keep_window_size();
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
