// Our drawing beside its peers on the same pictures: memcpy of the same bytes
// (the memory-bandwidth limit), SDL's blitter with and without a colour key,
// and pixman (SRC for opaque, OVER with a prepared alpha for keyed); our
// copies once per kernel set the processor runs. Whole frames back to back
// and after the program's 18 ms pause. Prints the ratios at the end of the run.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "display/display_state.h"
#include "core/copy_kernels.h"
#include "core/draw_core.h"
#include "platform.h"
#include "ratio_report.h"

namespace {

constexpr int screen_w = display_width;
constexpr int screen_h = display_height;
constexpr Pixel shot_colour = 0xFF000000;
constexpr float whole_circle = 6.2831859f;

// Where the scene puts things in a typical frame.
constexpr int good_x = 60, good_y = 110, bad_x = 480, bad_y = 130;
constexpr int shot_x = 300, shot_y = 250;
constexpr int disc_half_width[9] = {8, 8, 8, 7, 7, 6, 5, 4, 2};

// A ship-like picture: an oval hull about half the box, with magenta (of
// several top bytes, as bitmaps give them) all around and in a few port holes.
Image* make_ship(int w, int h) {
    Image* image = create_image(w, h, 0, 0, fill_with_transparent);
    for (int j = 0; j < h; ++j) {
        for (int i = 0; i < w; ++i) {
            const double u = (i - w / 2.0) / (0.40 * w);
            const double v = (j - h / 2.0) / (0.40 * h);
            const bool hull = u * u + v * v <= 1.0;
            const bool hole = std::hypot(u - 0.3, v) < 0.08 || std::hypot(u + 0.3, v) < 0.08;
            Pixel p = 0xFF000000 | Pixel((i * 3) & 0xFF) << 16 | Pixel((j * 5) & 0xFF) << 8 | Pixel((i ^ j) & 0xFF);
            if ((p & 0xFFFFFF) == 0xFF00FF) p ^= 1;
            if (!hull || hole) p = ((i + j) & 1) ? 0xFFFF00FF : 0x00FF00FF;
            image->pixels[j * image->stride + i] = p;
        }
    }
    return image;
}

struct Data {
    Image* background;
    Image* good_ship;
    Image* bad_ship;
    Image* bad_ship_art = nullptr;  // the program's own picture, when assets/ has it
    // The background again, placed at the frame buffer's offset within a
    // 4 KiB page: the placement at which library memcpy of a row slows most
    // at small relative offsets.
    std::vector<Pixel> same_page_pixels;
    Image same_page{};
    Data() {
        open_display_state();
        background = create_image(screen_w, screen_h, 0, 0, fill_with_transparent);
        for (int j = 0; j < screen_h; ++j) {
            for (int i = 0; i < screen_w; ++i) {
                background->pixels[j * background->stride + i] = 0xFF000000 | Pixel(i * 77 + j * 13);
            }
        }
        good_ship = make_ship(200, 244);
        bad_ship = make_ship(233, 250);
        same_page_pixels.resize(std::size_t(screen_w) * screen_h + 2048);
        const auto page_offset = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p) & 4095; };
        const std::size_t skip = ((page_offset(display().frame.data()) - page_offset(same_page_pixels.data())) & 4095) / sizeof(Pixel);
        same_page = {screen_w, screen_h, 32, screen_w, same_page_pixels.data() + skip};
        std::copy_n(background->pixels, std::size_t(screen_w) * screen_h, same_page.pixels);
        Image* art = create_image(233, 250, 0, 0, fill_with_transparent);
        if (load_bitmap(SCENE_SOURCE_DIR "/assets/badship.bmp", art, nullptr) == 0) bad_ship_art = art;
    }
};

Data& data() {
    static Data d;
    return d;
}

Pixel* frame() { return display().frame.data(); }

// Ship benchmarks run on picture 0 (drawn here, about half magenta) and
// picture 1 (assets/badship.bmp, about 60% magenta).
Image* bench_ship(benchmark::State& state) {
    Image* ship = state.range(0) == 0 ? data().bad_ship : data().bad_ship_art;
    if (ship == nullptr) state.SkipWithError("assets/badship.bmp did not load");
    return ship;
}

// ---------------------------------------------------------------- pixman

using PixmanImage = std::unique_ptr<pixman_image_t, decltype(&pixman_image_unref)>;

PixmanImage pixman_wrap(Pixel* pixels, int w, int h, std::ptrdiff_t stride) {
    return PixmanImage(pixman_image_create_bits(PIXMAN_a8r8g8b8, w, h, pixels, int(stride * sizeof(Pixel))),
                       pixman_image_unref);
}

// A premultiplied copy of a ship: key pixels fully transparent, others opaque.
std::vector<Pixel> prepared_alpha(const Image& ship) {
    std::vector<Pixel> out(std::size_t(ship.width) * ship.height);
    for (int j = 0; j < ship.height; ++j) {
        for (int i = 0; i < ship.width; ++i) {
            const Pixel p = ship.pixels[j * ship.stride + i] & 0xFFFFFF;
            out[std::size_t(j) * ship.width + i] = p == 0xFF00FF ? 0 : (0xFF000000 | p);
        }
    }
    return out;
}

struct PixmanScene {
    PixmanImage screen = pixman_wrap(frame(), screen_w, screen_h, screen_w);
    PixmanImage background = pixman_wrap(data().background->pixels, screen_w, screen_h, data().background->stride);
    std::vector<Pixel> good_bits = prepared_alpha(*data().good_ship);
    std::vector<Pixel> bad_bits = prepared_alpha(*data().bad_ship);
    std::vector<Pixel> art_bits = data().bad_ship_art ? prepared_alpha(*data().bad_ship_art) : bad_bits;
    PixmanImage good = pixman_wrap(good_bits.data(), 200, 244, 200);
    PixmanImage bad = pixman_wrap(bad_bits.data(), 233, 250, 233);
    PixmanImage art = pixman_wrap(art_bits.data(), 233, 250, 233);
    pixman_box32_t disc[17];
    PixmanScene() {
        for (int dy = -8; dy <= 8; ++dy) {
            const int w = disc_half_width[std::abs(dy)];
            disc[dy + 8] = {shot_x - w, shot_y + dy, shot_x + w + 1, shot_y + dy + 1};
        }
    }
};

PixmanScene& pixman_scene() {
    static PixmanScene s;
    return s;
}

// ---------------------------------------------------------------- SDL

using SdlSurface = std::unique_ptr<SDL_Surface, decltype(&SDL_FreeSurface)>;

SdlSurface sdl_wrap(Pixel* pixels, int w, int h, std::ptrdiff_t stride) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormatFrom(pixels, w, h, 32, int(stride * sizeof(Pixel)),
                                                        SDL_PIXELFORMAT_ARGB8888);
    SDL_SetSurfaceBlendMode(s, SDL_BLENDMODE_NONE);
    return SdlSurface(s, SDL_FreeSurface);
}

struct SdlScene {
    SdlSurface screen = sdl_wrap(frame(), screen_w, screen_h, screen_w);
    SdlSurface background = sdl_wrap(data().background->pixels, screen_w, screen_h, data().background->stride);
    SdlSurface good = sdl_wrap(data().good_ship->pixels, 200, 244, data().good_ship->stride);
    SdlSurface bad = sdl_wrap(data().bad_ship->pixels, 233, 250, data().bad_ship->stride);
    SdlSurface good_keyed = sdl_wrap(data().good_ship->pixels, 200, 244, data().good_ship->stride);
    SdlSurface bad_keyed = sdl_wrap(data().bad_ship->pixels, 233, 250, data().bad_ship->stride);
    Image* art_image = data().bad_ship_art ? data().bad_ship_art : data().bad_ship;
    SdlSurface art_keyed = sdl_wrap(art_image->pixels, 233, 250, art_image->stride);
    // The same ships run-length encoded: SDL skips transparent runs whole.
    SdlSurface bad_rle = sdl_wrap(data().bad_ship->pixels, 233, 250, data().bad_ship->stride);
    SdlSurface art_rle = sdl_wrap(art_image->pixels, 233, 250, art_image->stride);
    SdlScene() {
        SDL_SetColorKey(good_keyed.get(), SDL_TRUE, transparent_colour);
        SDL_SetColorKey(bad_keyed.get(), SDL_TRUE, transparent_colour);
        SDL_SetColorKey(art_keyed.get(), SDL_TRUE, transparent_colour);
        for (SDL_Surface* rle : {bad_rle.get(), art_rle.get()}) {
            SDL_SetColorKey(rle, SDL_TRUE, transparent_colour);
            SDL_SetSurfaceRLE(rle, 1);
        }
    }
};

SdlScene& sdl_scene() {
    static SdlScene s;
    return s;
}

void sdl_blit(SDL_Surface* source, int x, int y) {
    SDL_Rect at{x, y, 0, 0};
    SDL_BlitSurface(source, nullptr, sdl_scene().screen.get(), &at);
}

// ---------------------------------------------------------------- memcpy limits

void memcpy_rect(const Image& image, int x, int y) {
    for (int j = 0; j < image.height; ++j) {
        std::memcpy(frame() + (y + j) * screen_w + x, image.pixels + j * image.stride,
                    std::size_t(image.width) * sizeof(Pixel));
    }
}

void memcpy_disc() {
    for (int dy = -8; dy <= 8; ++dy) {
        const int w = disc_half_width[std::abs(dy)];
        std::memset(frame() + (shot_y + dy) * screen_w + shot_x - w, 0, std::size_t(2 * w + 1) * sizeof(Pixel));
    }
}

// The scroll offset moves one column a frame, as in the scene.
int next_offset(int& offset) {
    offset = offset == 0 ? screen_w - 1 : offset - 1;
    return offset;
}

// ---------------------------------------------------------------- kernels

// Benchmarks of our copies run once per kernel set this processor has, the
// set's CopyKernels value as their last argument, forced through the seam.
void each_kernel(benchmark::internal::Benchmark* b) {
    for (const CopyKernels k : available_copy_kernels()) b->Arg(int(k));
}

void each_picture_and_kernel(benchmark::internal::Benchmark* b) {
    for (const int picture : {0, 1}) {
        for (const CopyKernels k : available_copy_kernels()) b->Args({picture, int(k)});
    }
}

void force_kernels(benchmark::State& state, int argument) {
    const auto k = CopyKernels(state.range(argument));
    if (!force_copy_kernels(k)) state.SkipWithError("kernel set not available");
    state.SetLabel(copy_kernels_name(k));
}

// ---------------------------------------------------------------- background

void BM_background_memcpy(benchmark::State& state) {
    const Image& bg = *data().background;
    for (auto _ : state) {
        std::memcpy(frame(), bg.pixels, std::size_t(screen_w) * screen_h * sizeof(Pixel));
        benchmark::ClobberMemory();
    }
}

void BM_background_put_opaque(benchmark::State& state) {
    force_kernels(state, 0);
    for (auto _ : state) {
        put_opaque(0.0f, 0.0f, data().background);
        benchmark::ClobberMemory();
    }
    use_fastest_copy_kernels();
}

// The background as the scene draws it, in two pieces a row, the scroll
// offset moving one column a call: over a run every one of the 800 relative
// alignments of source and destination row comes round equally often.
// frame_memcpy copies both pieces of a row together; the scene's two
// put_opaque calls copy every row's right piece, then every row's left piece,
// an order that costs memcpy about as much as our kernels, so both are timed.
void background_memcpy_scrolled(const Image& bg, int s) {
    for (int y = 0; y < screen_h; ++y) {
        Pixel* row = frame() + y * screen_w;
        const Pixel* src = bg.pixels + y * bg.stride;
        std::memcpy(row + s, src, std::size_t(screen_w - s) * sizeof(Pixel));
        std::memcpy(row, src + screen_w - s, std::size_t(s) * sizeof(Pixel));
    }
}

void background_memcpy_two_passes(const Image& bg, int s) {
    for (int y = 0; y < screen_h; ++y) {
        std::memcpy(frame() + y * screen_w + s, bg.pixels + y * bg.stride, std::size_t(screen_w - s) * sizeof(Pixel));
    }
    for (int y = 0; y < screen_h; ++y) {
        std::memcpy(frame() + y * screen_w, bg.pixels + y * bg.stride + screen_w - s, std::size_t(s) * sizeof(Pixel));
    }
}

// Picture 0 is the program's own kind of placement (an image of its own
// against the display's frame buffer); picture 1 the same pixels at the frame
// buffer's page offset.
const Image& scrolled_background(benchmark::State& state) {
    return state.range(0) == 0 ? *data().background : data().same_page;
}

void BM_background_scrolled_memcpy(benchmark::State& state) {
    const Image& bg = scrolled_background(state);
    int offset = 0;
    for (auto _ : state) {
        background_memcpy_scrolled(bg, next_offset(offset));
        benchmark::ClobberMemory();
    }
}

void BM_background_scrolled_memcpy_two_passes(benchmark::State& state) {
    const Image& bg = scrolled_background(state);
    int offset = 0;
    for (auto _ : state) {
        background_memcpy_two_passes(bg, next_offset(offset));
        benchmark::ClobberMemory();
    }
}

void BM_background_scrolled_put_opaque(benchmark::State& state) {
    const Image& bg = scrolled_background(state);
    force_kernels(state, 1);
    int offset = 0;
    for (auto _ : state) {
        const int s = next_offset(offset);
        put_opaque(float(s), 0.0f, &bg);
        put_opaque(float(s - screen_w), 0.0f, &bg);
        benchmark::ClobberMemory();
    }
    use_fastest_copy_kernels();
}

void BM_background_pixman_src(benchmark::State& state) {
    PixmanScene& p = pixman_scene();
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_SRC, p.background.get(), nullptr, p.screen.get(), 0, 0, 0, 0, 0, 0,
                                 screen_w, screen_h);
        benchmark::ClobberMemory();
    }
}

void BM_background_sdl_blit(benchmark::State& state) {
    for (auto _ : state) {
        sdl_blit(sdl_scene().background.get(), 0, 0);
        benchmark::ClobberMemory();
    }
}

// ---------------------------------------------------------------- the bad ship

void BM_ship_memcpy_rows(benchmark::State& state) {
    Image* ship = bench_ship(state);
    if (ship == nullptr) return;
    for (auto _ : state) {
        memcpy_rect(*ship, bad_x, bad_y);
        benchmark::ClobberMemory();
    }
}

void BM_ship_put_transparent(benchmark::State& state) {
    Image* ship = bench_ship(state);
    if (ship == nullptr) return;
    force_kernels(state, 1);
    for (auto _ : state) {
        put_transparent(float(bad_x), float(bad_y), ship);
        benchmark::ClobberMemory();
    }
    use_fastest_copy_kernels();
}

void BM_ship_pixman_over(benchmark::State& state) {
    if (bench_ship(state) == nullptr) return;
    PixmanScene& p = pixman_scene();
    pixman_image_t* ship = state.range(0) == 0 ? p.bad.get() : p.art.get();
    for (auto _ : state) {
        pixman_image_composite32(PIXMAN_OP_OVER, ship, nullptr, p.screen.get(), 0, 0, 0, 0, bad_x, bad_y, 233, 250);
        benchmark::ClobberMemory();
    }
}

void BM_ship_sdl_keyed_blit(benchmark::State& state) {
    if (bench_ship(state) == nullptr) return;
    SDL_Surface* ship = state.range(0) == 0 ? sdl_scene().bad_keyed.get() : sdl_scene().art_keyed.get();
    for (auto _ : state) {
        sdl_blit(ship, bad_x, bad_y);
        benchmark::ClobberMemory();
    }
}

void BM_ship_sdl_rle_blit(benchmark::State& state) {
    if (bench_ship(state) == nullptr) return;
    SDL_Surface* ship = state.range(0) == 0 ? sdl_scene().bad_rle.get() : sdl_scene().art_rle.get();
    for (auto _ : state) {
        sdl_blit(ship, bad_x, bad_y);
        benchmark::ClobberMemory();
    }
}

// ---------------------------------------------------------------- the disc

void BM_disc_memset_spans(benchmark::State& state) {
    for (auto _ : state) {
        memcpy_disc();
        benchmark::ClobberMemory();
    }
}

void BM_disc_fill_circle(benchmark::State& state) {
    for (auto _ : state) {
        fill_circle(float(shot_x), float(shot_y), 8.0f, shot_colour, 1.0f, 0.0f, whole_circle);
        benchmark::ClobberMemory();
    }
}

// ---------------------------------------------------------------- a whole frame

// The same bytes as the frame: every background row in its two pieces, both
// ship rectangles and the disc's spans.
void frame_memcpy(int s) {
    background_memcpy_scrolled(*data().background, s);
    memcpy_rect(*data().good_ship, good_x, good_y);
    memcpy_rect(*data().bad_ship, bad_x, bad_y);
    memcpy_disc();
}

void frame_ours(int s) {
    lock_screen();
    put_opaque(float(s), 0.0f, data().background);
    put_opaque(float(s - screen_w), 0.0f, data().background);
    put_transparent(float(good_x), float(good_y), data().good_ship);
    put_transparent(float(bad_x), float(bad_y), data().bad_ship);
    fill_circle(float(shot_x), float(shot_y), 8.0f, shot_colour, 1.0f, 0.0f, whole_circle);
    unlock_screen(-1, -1);
}

void BM_frame_memcpy(benchmark::State& state) {
    int offset = 0;
    for (auto _ : state) {
        frame_memcpy(next_offset(offset));
        benchmark::ClobberMemory();
    }
}

void BM_frame_ours(benchmark::State& state) {
    force_kernels(state, 0);
    int offset = 0;
    for (auto _ : state) {
        frame_ours(next_offset(offset));
        benchmark::ClobberMemory();
    }
    use_fastest_copy_kernels();
}

void BM_frame_pixman(benchmark::State& state) {
    PixmanScene& p = pixman_scene();
    int offset = 0;
    for (auto _ : state) {
        const int s = next_offset(offset);
        pixman_image_composite32(PIXMAN_OP_SRC, p.background.get(), nullptr, p.screen.get(), 0, 0, 0, 0, s, 0,
                                 screen_w - s, screen_h);
        pixman_image_composite32(PIXMAN_OP_SRC, p.background.get(), nullptr, p.screen.get(), screen_w - s, 0, 0, 0,
                                 0, 0, s, screen_h);
        pixman_image_composite32(PIXMAN_OP_OVER, p.good.get(), nullptr, p.screen.get(), 0, 0, 0, 0, good_x, good_y,
                                 200, 244);
        pixman_image_composite32(PIXMAN_OP_OVER, p.bad.get(), nullptr, p.screen.get(), 0, 0, 0, 0, bad_x, bad_y,
                                 233, 250);
        const pixman_color_t black{0, 0, 0, 0xFFFF};
        pixman_image_fill_boxes(PIXMAN_OP_SRC, p.screen.get(), &black, 17, p.disc);
        benchmark::ClobberMemory();
    }
}

void BM_frame_sdl(benchmark::State& state) {
    SdlScene& q = sdl_scene();
    int offset = 0;
    for (auto _ : state) {
        const int s = next_offset(offset);
        sdl_blit(q.background.get(), s, 0);
        sdl_blit(q.background.get(), s - screen_w, 0);
        sdl_blit(q.good_keyed.get(), good_x, good_y);
        sdl_blit(q.bad_keyed.get(), bad_x, bad_y);
        for (int dy = -8; dy <= 8; ++dy) {
            const int w = disc_half_width[std::abs(dy)];
            SDL_Rect span{shot_x - w, shot_y + dy, 2 * w + 1, 1};
            SDL_FillRect(q.screen.get(), &span, shot_colour);
        }
        benchmark::ClobberMemory();
    }
}

// ---------------------------------------------------------------- a frame after the pause

// The program sleeps about 18 ms between frames, and meets its pictures and
// frame buffer in colder caches than a back-to-back loop does. Each iteration
// sleeps untimed, then times one frame by this thread's CPU clock, so these
// figures are CPU time per frame like every other one here.
double thread_seconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

constexpr int cold_frames = 60;  // a second of pauses per repetition

void after_pause(benchmark::State& state, void (*draw)(int)) {
    int offset = 0;
    for (auto _ : state) {
        std::this_thread::sleep_for(std::chrono::milliseconds(18));
        const int s = next_offset(offset);
        const double start = thread_seconds();
        draw(s);
        benchmark::ClobberMemory();
        state.SetIterationTime(thread_seconds() - start);
    }
}

void BM_cold_frame_memcpy(benchmark::State& state) { after_pause(state, frame_memcpy); }

void BM_cold_frame_ours(benchmark::State& state) {
    force_kernels(state, 0);
    after_pause(state, frame_ours);
    use_fastest_copy_kernels();
}

BENCHMARK(BM_background_memcpy);
BENCHMARK(BM_background_put_opaque)->Apply(each_kernel);
BENCHMARK(BM_background_scrolled_memcpy)->Arg(0)->Arg(1);
BENCHMARK(BM_background_scrolled_memcpy_two_passes)->Arg(0)->Arg(1);
BENCHMARK(BM_background_scrolled_put_opaque)->Apply(each_picture_and_kernel);
BENCHMARK(BM_background_pixman_src);
BENCHMARK(BM_background_sdl_blit);
BENCHMARK(BM_ship_memcpy_rows)->Arg(0)->Arg(1);
BENCHMARK(BM_ship_put_transparent)->Apply(each_picture_and_kernel);
BENCHMARK(BM_ship_pixman_over)->Arg(0)->Arg(1);
BENCHMARK(BM_ship_sdl_keyed_blit)->Arg(0)->Arg(1);
BENCHMARK(BM_ship_sdl_rle_blit)->Arg(0)->Arg(1);
BENCHMARK(BM_disc_memset_spans);
BENCHMARK(BM_disc_fill_circle);
BENCHMARK(BM_frame_memcpy);
BENCHMARK(BM_frame_ours)->Apply(each_kernel);
BENCHMARK(BM_frame_pixman);
BENCHMARK(BM_frame_sdl);
BENCHMARK(BM_cold_frame_memcpy)->UseManualTime()->Iterations(cold_frames);
BENCHMARK(BM_cold_frame_ours)->Apply(each_kernel)->UseManualTime()->Iterations(cold_frames);

// The ship rows are per picture: the benchmark's own drawing ("/0") and
// assets/badship.bmp ("/1"). Rows marked with a kernel set's name ran with
// that set forced; the others with what the processor gets by default.
void print_ratios(const BenchTimes& t) {
    constexpr int w = 58;
    const std::string fastest = std::to_string(int(available_copy_kernels().front()));
    auto per_kernel = [&](const std::string& label, const std::string& top, const std::string& bottom) {
        for (const CopyKernels k : available_copy_kernels()) {
            print_ratio(t, w, label + " [" + copy_kernels_name(k) + "]", top + "/" + std::to_string(int(k)), bottom);
        }
    };
    std::printf("\nRatios of CPU time per call (below 1 is faster); default kernels: %s\n",
                copy_kernels_name(available_copy_kernels().front()));
    per_kernel("background: put_opaque / memcpy", "BM_background_put_opaque", "BM_background_memcpy");
    for (const std::string placement : {"0", "1"}) {
        std::printf("  background scrolled through all 800 offsets, %s\n",
                    placement == "0" ? "as placed in the program" : "at the frame buffer's page offset");
        const std::string ours = "BM_background_scrolled_put_opaque/" + placement;
        per_kernel("  put_opaque / memcpy   (goal <= 1.05)", ours, "BM_background_memcpy");
        per_kernel("  put_opaque / its rows memcpy'd in the same two passes", ours,
                   "BM_background_scrolled_memcpy_two_passes/" + placement);
        print_ratio(t, w, "  rows memcpy'd in two passes / memcpy",
                    "BM_background_scrolled_memcpy_two_passes/" + placement, "BM_background_memcpy");
        print_ratio(t, w, "  rows memcpy'd both pieces together / memcpy",
                    "BM_background_scrolled_memcpy/" + placement, "BM_background_memcpy");
    }
    print_ratio(t, w, "background: pixman SRC / memcpy", "BM_background_pixman_src", "BM_background_memcpy");
    print_ratio(t, w, "background: SDL blit / memcpy", "BM_background_sdl_blit", "BM_background_memcpy");
    for (const std::string picture : {"0", "1"}) {
        std::printf("  ship picture %s (%s)\n", picture.c_str(),
                    picture == "0" ? "drawn by the benchmark" : "assets/badship.bmp");
        const std::string memcpy_rows = "BM_ship_memcpy_rows/" + picture;
        const std::string ours = "BM_ship_put_transparent/" + picture;
        per_kernel("  put_transparent / row memcpy   (goal <= 1.0)", ours, memcpy_rows);
        print_ratio(t, w, "  pixman OVER / row memcpy", "BM_ship_pixman_over/" + picture, memcpy_rows);
        print_ratio(t, w, "  SDL keyed blit / row memcpy", "BM_ship_sdl_keyed_blit/" + picture, memcpy_rows);
        print_ratio(t, w, "  SDL run-length keyed blit / row memcpy", "BM_ship_sdl_rle_blit/" + picture,
                    memcpy_rows);
        print_ratio(t, w, "  pixman OVER / put_transparent   (goal >= 2)", "BM_ship_pixman_over/" + picture,
                    ours + "/" + fastest);
        print_ratio(t, w, "  SDL keyed blit / put_transparent (goal >= 4)", "BM_ship_sdl_keyed_blit/" + picture,
                    ours + "/" + fastest);
    }
    print_ratio(t, w, "disc: fill_circle / memset of its spans", "BM_disc_fill_circle", "BM_disc_memset_spans");
    per_kernel("frame: ours / memcpy   (goal <= 1.15)", "BM_frame_ours", "BM_frame_memcpy");
    per_kernel("frame: ours / pixman   (goal < 1)", "BM_frame_ours", "BM_frame_pixman");
    print_ratio(t, w, "frame: pixman / memcpy", "BM_frame_pixman", "BM_frame_memcpy");
    print_ratio(t, w, "frame: SDL / memcpy", "BM_frame_sdl", "BM_frame_memcpy");
    per_kernel("frame after 18 ms: ours / memcpy   (goal <= 1.2)", "BM_cold_frame_ours", "BM_cold_frame_memcpy");
    print_ratio(t, w, "frame after 18 ms / frame back to back: memcpy", "BM_cold_frame_memcpy", "BM_frame_memcpy");
    print_ratio(t, w, "frame after 18 ms / frame back to back: ours",
                "BM_cold_frame_ours/" + fastest, "BM_frame_ours/" + fastest);
}

}  // namespace

int main(int argc, char** argv) {
    return run_benchmarks_with_ratios(argc, argv, [] { data(); }, print_ratios);
}
