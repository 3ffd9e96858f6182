// Small drawing kit for the art tool: colours, hashing, noise, signed
// distances and BMP output. Only +, -, *, /, sqrt and floor are used on
// doubles, so the pictures come out byte-identical from any compiler and
// optimisation level (the build also turns off floating-point contraction).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace art {

// Colour channels in 0..1.
struct Rgb {
    double r;
    double g;
    double b;
};

struct Vec {
    double x;
    double y;
};

// A picture of 0xRRGGBB pixels, rows from the top down.
struct Canvas {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;
};

inline constexpr std::uint32_t key_magenta = 0xFF00FF;

// A canvas of the given size filled with `fill`.
Canvas make_canvas(int width, int height, std::uint32_t fill);

// Writes a 24-bit uncompressed bottom-up BMP with a 40-byte information header; true on success.
bool write_bmp(const std::string& path, const Canvas& canvas);

// A well-mixed 32-bit hash of three integers.
std::uint32_t hash3(std::uint32_t a, std::uint32_t b, std::uint32_t c);

// hash3 mapped to [0, 1).
double hash_unit(std::uint32_t a, std::uint32_t b, std::uint32_t c);

double clamp01(double v);
double mix(double a, double b, double t);
Rgb mix(Rgb a, Rgb b, double t);
Rgb add(Rgb a, Rgb b);
Rgb scale(Rgb c, double k);
// Hermite step from 0 at e0 to 1 at e1.
double smoothstep(double e0, double e1, double v);
// Colour from 0xRRGGBB.
Rgb hex(std::uint32_t rgb);
// Rounds and clamps to 0xRRGGBB.
std::uint32_t pack(Rgb c);
// `base` raised to a small whole power.
double powi(double base, int exponent);

double length(Vec v);
Vec sub(Vec a, Vec b);

// Gradient noise in about -1..1 that repeats every `period_x` units in x.
double noise(double x, double y, int period_x, std::uint32_t seed);

// Sum of `octaves` noise layers, each twice the frequency and `gain` times
// the amplitude of the one before; repeats every `period_x` units in x.
double fbm(double x, double y, int period_x, int octaves, double gain, std::uint32_t seed);

// Distance in pixels from p to the segment a-b.
double distance_to_segment(Vec p, Vec a, Vec b);
// Signed distance in pixels to a closed polygon: negative inside, positive outside.
double sd_polygon(Vec p, const std::vector<Vec>& points);

// A closed outline built from lines and cubic curves.
struct Path {
    std::vector<Vec> points;
};
void line_to(Path& path, Vec to);
// Appends a cubic curve from the path's last point, in `steps` segments.
void cubic_to(Path& path, Vec c1, Vec c2, Vec to, int steps);
// A path that starts at `from`.
Path start_at(Vec from);
// A closed outline through the given corners.
Path polygon(std::initializer_list<Vec> corners);
// An ellipse drawn with four cubic curves (no sine needed).
Path ellipse_path(Vec centre, double rx, double ry);
// A rectangle with corners rounded by `radius`.
Path rounded_box(double left, double top, double right, double bottom, double radius);
// A strip along a cubic curve: the curve moved by `out`, back along it moved by `in`.
Path band_along(Vec from, Vec c1, Vec c2, Vec to, Vec out, Vec in);

}  // namespace art
