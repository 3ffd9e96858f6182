// Loading the 800x600 24-bit background beside its peers on the same file:
// a plain fread of the file (the limit), SDL_LoadBMP plus conversion to
// ARGB8888, and stb_image; also the in-memory conversion alone, fast paths
// against the general rule. The file is in the page cache after the first
// call. Prints the ratios and the loader's memory at the end of the run.
#include <SDL.h>
#include <benchmark/benchmark.h>
#include <stb_image.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/bitmap_reader.h"
#include "display/bitmap_file.h"
#include "display/display_state.h"
#include "platform.h"
#include "ratio_report.h"

namespace {

constexpr int picture_w = 800;
constexpr int picture_h = 600;

// A 24-bit picture with detail everywhere, so no converter gets an easy ride.
std::vector<std::uint8_t> generated_file() {
    const std::size_t row = picture_w * 3;
    std::vector<std::uint8_t> f(54 + row * picture_h, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) f[at + i] = std::uint8_t(v >> (8 * i));
    };
    f[0] = 'B';
    f[1] = 'M';
    put32(2, std::uint32_t(f.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, picture_w);
    put32(22, picture_h);
    f[26] = 1;
    f[28] = 24;
    std::uint32_t seed = 1;
    for (std::size_t i = 54; i < f.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        f[i] = std::uint8_t((i / 7) ^ (seed >> 24));
    }
    return f;
}

struct Data {
    std::string path;
    const char* source;
    std::vector<std::uint8_t> bytes;
    Image* image;
    std::size_t loader_peak_bytes;  // what the loader holds at its peak, besides the image

    Data() {
        open_display_state();
        image = create_image(picture_w, picture_h, 0, 0, fill_with_transparent);
        const std::string asset = std::string(SCENE_SOURCE_DIR) + "/assets/background.bmp";
        BitmapFileBytes f;
        if (read_bitmap_file(asset.c_str(), f) == bitmap_read && decode_bitmap(f.bytes.get(), f.size, *image, nullptr) == bitmap_read &&
            f.size > 28 && f.bytes[28] == 24 && f.size >= 54 + picture_w * 3 * picture_h) {
            path = asset;
            source = "assets/background.bmp";
        } else {
            path = (std::filesystem::temp_directory_path() / "scene_bench_background.bmp").string();
            const std::vector<std::uint8_t> g = generated_file();
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(g.data()), std::streamsize(g.size()));
            source = "a generated 800x600 24-bit file";
        }
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        BitmapFileBytes held;
        read_bitmap_file(path.c_str(), held);
        // The first 4 KiB buffer is alive while the full one is filled.
        loader_peak_bytes = held.capacity + (held.capacity > 4096 ? 4096 : 0);
    }
};

Data& data() {
    static Data d;
    return d;
}

void BM_fread(benchmark::State& state) {
    Data& d = data();
    std::vector<std::uint8_t> buffer(d.bytes.size());
    for (auto _ : state) {
        std::FILE* f = std::fopen(d.path.c_str(), "rb");
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(got);
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(d.bytes.size()));
}

void BM_load_bitmap(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        const int result = load_bitmap(d.path.c_str(), d.image, nullptr);
        if (result != bitmap_read) state.SkipWithError("load_bitmap failed");
        benchmark::DoNotOptimize(d.image->pixels);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(d.bytes.size()));
}

void BM_decode_in_memory(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        decode_bitmap(d.bytes.data(), d.bytes.size(), *d.image, nullptr);
        benchmark::DoNotOptimize(d.image->pixels);
    }
}

void BM_decode_general_rule(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        decode_bitmap_general(d.bytes.data(), d.bytes.size(), *d.image, nullptr);
        benchmark::DoNotOptimize(d.image->pixels);
    }
}

void BM_sdl_load_convert(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        SDL_Surface* loaded = SDL_LoadBMP(d.path.c_str());
        SDL_Surface* converted = loaded ? SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_ARGB8888, 0) : nullptr;
        if (converted == nullptr) state.SkipWithError(SDL_GetError());
        benchmark::DoNotOptimize(converted);
        SDL_FreeSurface(converted);
        SDL_FreeSurface(loaded);
    }
}

void BM_stb_image(benchmark::State& state) {
    Data& d = data();
    for (auto _ : state) {
        int w = 0, h = 0, n = 0;
        stbi_uc* pixels = stbi_load(d.path.c_str(), &w, &h, &n, 4);
        if (pixels == nullptr) state.SkipWithError("stbi_load failed");
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
}

BENCHMARK(BM_fread)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_load_bitmap)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_decode_in_memory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_decode_general_rule)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_sdl_load_convert)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_stb_image)->Unit(benchmark::kMicrosecond);

// CPU time (user and system) so that the kernel's copy out of the page cache
// counts against the readers that go through a file.
void print_ratios(const BenchTimes& t) {
    constexpr int w = 50;
    const Data& d = data();
    std::printf("\nFile: %s, %zu bytes\n", d.source, d.bytes.size());
    std::printf("Ratios of CPU time per call\n");
    print_ratio(t, w, "load_bitmap / fread                    (goal <= 4)", "BM_load_bitmap", "BM_fread");
    print_ratio(t, w, "SDL load + convert / load_bitmap       (goal >= 2)", "BM_sdl_load_convert", "BM_load_bitmap");
    print_ratio(t, w, "stb_image / load_bitmap", "BM_stb_image", "BM_load_bitmap");
    print_ratio(t, w, "SDL load + convert / fread", "BM_sdl_load_convert", "BM_fread");
    print_ratio(t, w, "stb_image / fread", "BM_stb_image", "BM_fread");
    print_ratio(t, w, "conversion alone (in memory) / fread", "BM_decode_in_memory", "BM_fread");
    print_ratio(t, w, "general rule / fast path (in memory)", "BM_decode_general_rule", "BM_decode_in_memory");
    std::printf("Memory held by load_bitmap at its peak, besides the image: %zu bytes = %.3f file sizes\n",
                d.loader_peak_bytes, double(d.loader_peak_bytes) / double(d.bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    return run_benchmarks_with_ratios(argc, argv, [] { data(); }, print_ratios);
}
