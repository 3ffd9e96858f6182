#include "sdl/wayland_buffers.h"

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include <array>
#include <cstring>

namespace wayland {
namespace {

// Three buffers: one on screen, one the compositor may still read, one to draw.
constexpr int buffer_count = 3;

struct Buffer {
    wl_buffer* buffer = nullptr;
    std::uint32_t* pixels = nullptr;
    std::size_t bytes = 0;
    int width = 0, height = 0;
    bool busy = false;  // attached and not yet released
};

struct State {
    wl_display* display = nullptr;
    wl_surface* surface = nullptr;
    wl_event_queue* queue = nullptr;
    wl_display* wrapper = nullptr;  // the display on our queue
    wl_registry* registry = nullptr;
    wl_shm* shm = nullptr;
    std::array<Buffer, buffer_count> buffers{};
    int current = -1;  // the buffer next_target handed out
    int shown = -1;    // the buffer holding the latest picture
};

State& state() {
    static State* instance = new State;
    return *instance;
}

void on_global(void*, wl_registry* registry, std::uint32_t name, const char* interface, std::uint32_t) {
    if (std::strcmp(interface, wl_shm_interface.name) == 0 && state().shm == nullptr) {
        state().shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    }
}
void on_global_remove(void*, wl_registry*, std::uint32_t) {}
const wl_registry_listener registry_listener{on_global, on_global_remove};

void on_release(void* data, wl_buffer*) { static_cast<Buffer*>(data)->busy = false; }
const wl_buffer_listener buffer_listener{on_release};

void free_buffer(Buffer& b) {
    if (b.buffer != nullptr) wl_buffer_destroy(b.buffer);
    if (b.pixels != nullptr) munmap(b.pixels, b.bytes);
    b = Buffer{};
}

bool make_buffer(Buffer& b, int width, int height) {
    State& s = state();
    free_buffer(b);
    const int stride = width * 4;
    const std::size_t bytes = std::size_t(stride) * std::size_t(height);
    const int fd = memfd_create("scene-frame", MFD_CLOEXEC);
    if (fd < 0) return false;
    if (ftruncate(fd, off_t(bytes)) != 0) {
        close(fd);
        return false;
    }
    void* memory = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (memory == MAP_FAILED) {
        close(fd);
        return false;
    }
    wl_shm_pool* pool = wl_shm_create_pool(s.shm, fd, int(bytes));
    b.buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    b.pixels = static_cast<std::uint32_t*>(memory);
    b.bytes = bytes;
    b.width = width;
    b.height = height;
    b.busy = false;
    wl_buffer_add_listener(b.buffer, &buffer_listener, &b);
    return true;
}

}  // namespace

bool open_buffers(wl_display* display, wl_surface* surface) {
    State& s = state();
    s.display = display;
    s.surface = surface;
    s.queue = wl_display_create_queue(display);
    s.wrapper = static_cast<wl_display*>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy*>(s.wrapper), s.queue);
    s.registry = wl_display_get_registry(s.wrapper);
    wl_registry_add_listener(s.registry, &registry_listener, nullptr);
    wl_display_roundtrip_queue(display, s.queue);
    if (s.shm != nullptr) return true;
    close_buffers();
    return false;
}

bool next_target(int width, int height, Target& target, bool& fresh) {
    State& s = state();
    if (s.shm == nullptr) return false;
    wl_display_dispatch_queue_pending(s.display, s.queue);
    int pick = -1;
    for (int i = 0; i < buffer_count && pick < 0; ++i) {
        const int candidate = (s.shown + 1 + i + buffer_count) % buffer_count;
        if (!s.buffers[std::size_t(candidate)].busy) pick = candidate;
    }
    if (pick < 0) return false;
    Buffer& b = s.buffers[std::size_t(pick)];
    fresh = pick != s.shown;
    if (b.width != width || b.height != height) {
        if (!make_buffer(b, width, height)) return false;
        fresh = true;
    }
    s.current = pick;
    target = {b.pixels, b.width, b.height, b.width};
    return true;
}

void show_target(int first, int last) {
    State& s = state();
    if (s.current < 0) return;
    Buffer& b = s.buffers[std::size_t(s.current)];
    wl_surface_attach(s.surface, b.buffer, 0, 0);
    wl_surface_damage(s.surface, 0, first, b.width, last - first + 1);
    wl_surface_commit(s.surface);
    wl_display_flush(s.display);
    b.busy = true;
    s.shown = s.current;
    s.current = -1;
}

void close_buffers() {
    State& s = state();
    for (Buffer& b : s.buffers) free_buffer(b);
    if (s.shm != nullptr) wl_shm_destroy(s.shm);
    if (s.registry != nullptr) wl_registry_destroy(s.registry);
    if (s.wrapper != nullptr) wl_proxy_wrapper_destroy(s.wrapper);
    if (s.queue != nullptr) wl_event_queue_destroy(s.queue);
    s = State{};
}

}  // namespace wayland
