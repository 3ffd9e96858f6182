#include "sdl/x11_window.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/keysym.h>
#include <dlfcn.h>

#include <cstring>
#include <ctime>
#include <initializer_list>

namespace x11 {
namespace {

template <typename Function>
Function* xlib(const char* name) {
    void* library = dlopen("libX11.so.6", RTLD_LAZY | RTLD_NOLOAD);
    if (library == nullptr) return nullptr;
    void* function = dlsym(library, name);
    dlclose(library);  // SDL keeps its own reference
    return reinterpret_cast<Function*>(function);
}

// The Xlib calls used here, all or none.
struct Calls {
    decltype(XInternAtom)* intern_atom = xlib<decltype(XInternAtom)>("XInternAtom");
    decltype(XGetWindowProperty)* get_property = xlib<decltype(XGetWindowProperty)>("XGetWindowProperty");
    decltype(XChangeProperty)* change_property = xlib<decltype(XChangeProperty)>("XChangeProperty");
    decltype(XFree)* free = xlib<decltype(XFree)>("XFree");
    decltype(XSetErrorHandler)* set_error_handler = xlib<decltype(XSetErrorHandler)>("XSetErrorHandler");
    decltype(XSync)* sync = xlib<decltype(XSync)>("XSync");
    bool ok() const { return intern_atom && get_property && change_property && free && set_error_handler && sync; }
};

// The 32-bit items of a property, as Xlib hands them back (longs).
struct Items {
    unsigned long* data = nullptr;
    unsigned long count = 0;
};

Items read_property(const Calls& x, Display* display, Window window, const char* name, Atom type) {
    Atom actual = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const Atom property = x.intern_atom(display, name, True);
    if (property == None ||
        x.get_property(display, window, property, 0, 4096, False, type, &actual, &format, &count, &after, &data) !=
            Success) {
        return {};
    }
    if (data != nullptr && (actual != type || format != 32)) {
        x.free(data);
        return {};
    }
    return {reinterpret_cast<unsigned long*>(data), data != nullptr ? count : 0};
}

}  // namespace

void set_black_background(Display* display, Window window) {
    auto set_background = xlib<decltype(XSetWindowBackground)>("XSetWindowBackground");
    if (set_background == nullptr) return;
    constexpr unsigned long true_colour_black = 0;
    set_background(display, window, true_colour_black);
}

bool has_gpu(Display* display) {
    auto query = xlib<decltype(XQueryExtension)>("XQueryExtension");
    if (query == nullptr) return false;
    for (const char* extension : {"DRI3", "DRI2", "NV-GLX"}) {
        int opcode = 0, event = 0, error = 0;
        if (query(display, extension, &opcode, &event, &error)) return true;
    }
    return false;
}

void set_window_functions(Display* display, Window window, bool allow_resize) {
    const Calls x;
    if (!x.ok()) return;
    // _MOTIF_WM_HINTS: flags, functions, decorations, input mode, status.
    constexpr unsigned long hints_functions = 1, hints_decorations = 2;
    constexpr unsigned long func_resize = 2, func_move = 4, func_minimize = 8, func_maximize = 16, func_close = 32;
    constexpr unsigned long decor_border = 2, decor_title = 8, decor_menu = 16, decor_minimize = 32,
                            decor_maximize = 64;
    long hints[5] = {long(hints_functions | hints_decorations),
                     long((allow_resize ? func_resize : 0) | func_move | func_minimize | func_maximize | func_close),
                     long(decor_border | decor_title | decor_menu | decor_minimize | decor_maximize), 0, 0};
    const Atom motif = x.intern_atom(display, "_MOTIF_WM_HINTS", False);
    x.change_property(display, window, motif, motif, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(hints), 5);
}

bool frame_extents_before_map(Display* display, Window window, int extents[4]) {
    const Calls x;
    auto send_event = xlib<decltype(XSendEvent)>("XSendEvent");
    if (!x.ok() || send_event == nullptr) return false;
    const Window root = DefaultRootWindow(display);
    const Items manager = read_property(x, display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (manager.data == nullptr) return false;  // nobody to decorate it
    x.free(manager.data);
    XEvent request{};
    request.xclient.type = ClientMessage;
    request.xclient.window = window;
    request.xclient.message_type = x.intern_atom(display, "_NET_REQUEST_FRAME_EXTENTS", False);
    request.xclient.format = 32;
    send_event(display, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &request);
    // A manager that supports the request answers at once; one that does not
    // costs this wait once, at start-up.
    for (int tries = 0; tries < 50; ++tries) {
        const Items got = read_property(x, display, window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
        if (got.count >= 4) {
            for (int i = 0; i < 4; ++i) extents[i] = int(got.data[i]);
            x.free(got.data);
            return true;
        }
        if (got.data != nullptr) x.free(got.data);
        timespec pause{0, 2'000'000};
        nanosleep(&pause, nullptr);
    }
    return false;
}

void request_size(Display* display, Window window, int width, int height) {
    auto resize = xlib<decltype(XResizeWindow)>("XResizeWindow");
    auto flush = xlib<decltype(XFlush)>("XFlush");
    if (resize == nullptr || flush == nullptr) return;
    resize(display, window, unsigned(width), unsigned(height));
    flush(display);
}

bool maximise_refused(Display* display, Window window) {
    const Calls x;
    if (!x.ok()) return false;
    const Items actions = read_property(x, display, window, "_NET_WM_ALLOWED_ACTIONS", XA_ATOM);
    if (actions.data == nullptr) return false;
    const Atom maximise = x.intern_atom(display, "_NET_WM_ACTION_MAXIMIZE_HORZ", True);
    bool offered = false;
    for (unsigned long i = 0; i < actions.count; ++i) offered = offered || Atom(actions.data[i]) == maximise;
    x.free(actions.data);
    return actions.count > 0 && !offered;
}

bool right_alt_is_level3_shift(Display* display) {
    auto get_map = xlib<decltype(XkbGetMap)>("XkbGetMap");
    auto get_names = xlib<decltype(XkbGetNames)>("XkbGetNames");
    auto get_state = xlib<decltype(XkbGetState)>("XkbGetState");
    auto keysym_of = xlib<decltype(XkbKeycodeToKeysym)>("XkbKeycodeToKeysym");
    auto free_keyboard = xlib<decltype(XkbFreeKeyboard)>("XkbFreeKeyboard");
    if (!get_map || !get_names || !get_state || !keysym_of || !free_keyboard) return false;
    XkbStateRec state{};
    XkbDescPtr keyboard = get_map(display, 0, XkbUseCoreKbd);
    if (keyboard == nullptr) return false;
    bool level3 = false;
    if (get_state(display, XkbUseCoreKbd, &state) == Success &&
        get_names(display, XkbKeyNamesMask, keyboard) == Success && keyboard->names != nullptr) {
        for (int code = keyboard->min_key_code; code <= keyboard->max_key_code; ++code) {
            if (std::strncmp(keyboard->names->keys[code].name, "RALT", XkbKeyNameLength) != 0) continue;
            const KeySym sym = keysym_of(display, KeyCode(code), state.group, 0);
            level3 = sym == XK_ISO_Level3_Shift || sym == XK_Mode_switch;
            break;
        }
    }
    free_keyboard(keyboard, 0, True);
    return level3;
}

bool window_manager_has_full_screen(Display* display) {
    const Calls x;
    if (!x.ok()) return false;
    const Window root = DefaultRootWindow(display);
    const Items check = read_property(x, display, root, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    if (check.count == 0) return false;
    // The check window must name itself, or the manager that set it is gone;
    // a window that no longer exists must not end the process through
    // Xlib's default error handler.
    const Window wm = Window(check.data[0]);
    x.free(check.data);
    x.sync(display, False);
    auto previous = x.set_error_handler([](Display*, XErrorEvent*) { return 0; });
    const Items self = read_property(x, display, wm, "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    x.sync(display, False);
    x.set_error_handler(previous);
    const bool alive = self.count > 0 && Window(self.data[0]) == wm;
    if (self.data != nullptr) x.free(self.data);
    if (!alive) return false;
    const Atom full_screen = x.intern_atom(display, "_NET_WM_STATE_FULLSCREEN", True);
    const Items supported = read_property(x, display, root, "_NET_SUPPORTED", XA_ATOM);
    bool found = false;
    for (unsigned long i = 0; i < supported.count; ++i) found = found || Atom(supported.data[i]) == full_screen;
    if (supported.data != nullptr) x.free(supported.data);
    return found && full_screen != None;
}

}  // namespace x11
