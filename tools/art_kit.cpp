#include "art_kit.h"

#include <cmath>
#include <cstdio>
#include <memory>

namespace art {

Canvas make_canvas(int width, int height, std::uint32_t fill) {
    return Canvas{width, height, std::vector<std::uint32_t>(static_cast<std::size_t>(width) * height, fill)};
}

namespace {

void put_u16(std::vector<unsigned char>& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void put_u32(std::vector<unsigned char>& out, std::uint32_t v) {
    put_u16(out, v & 0xFFFF);
    put_u16(out, v >> 16);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool write_bmp(const std::string& path, const Canvas& canvas) {
    const std::uint32_t row_bytes = (static_cast<std::uint32_t>(canvas.width) * 3 + 3) & ~3u;
    const std::uint32_t data_bytes = row_bytes * static_cast<std::uint32_t>(canvas.height);
    const std::uint32_t data_offset = 14 + 40;
    std::vector<unsigned char> out;
    out.reserve(data_offset + data_bytes);
    out.push_back('B');
    out.push_back('M');
    put_u32(out, data_offset + data_bytes);
    put_u32(out, 0);  // two reserved fields
    put_u32(out, data_offset);
    put_u32(out, 40);
    put_u32(out, static_cast<std::uint32_t>(canvas.width));
    put_u32(out, static_cast<std::uint32_t>(canvas.height));  // positive: bottom row first
    put_u16(out, 1);                                          // planes
    put_u16(out, 24);                                         // bits per pixel
    put_u32(out, 0);                                          // no compression
    put_u32(out, data_bytes);
    put_u32(out, 2835);  // 72 dots per inch, in dots per metre
    put_u32(out, 2835);
    put_u32(out, 0);  // colours used
    put_u32(out, 0);  // colours important
    for (int y = canvas.height - 1; y >= 0; --y) {
        const std::uint32_t* row = &canvas.pixels[static_cast<std::size_t>(y) * canvas.width];
        for (int x = 0; x < canvas.width; ++x) {
            out.push_back(static_cast<unsigned char>(row[x] & 0xFF));
            out.push_back(static_cast<unsigned char>((row[x] >> 8) & 0xFF));
            out.push_back(static_cast<unsigned char>((row[x] >> 16) & 0xFF));
        }
        for (std::uint32_t pad = static_cast<std::uint32_t>(canvas.width) * 3; pad < row_bytes; ++pad) {
            out.push_back(0);
        }
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        return false;
    }
    if (std::fwrite(out.data(), 1, out.size(), file.get()) != out.size()) {
        return false;
    }
    return std::fclose(file.release()) == 0;
}

std::uint32_t hash3(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    std::uint32_t h = a * 0x9E3779B1u ^ (b + 0x7F4A7C15u) * 0x85EBCA77u ^ (c + 0x165667B1u) * 0xC2B2AE3Du;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h;
}

double hash_unit(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    return static_cast<double>(hash3(a, b, c) >> 8) / 16777216.0;
}

double clamp01(double v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }
double mix(double a, double b, double t) { return a + (b - a) * t; }
Rgb mix(Rgb a, Rgb b, double t) { return Rgb{mix(a.r, b.r, t), mix(a.g, b.g, t), mix(a.b, b.b, t)}; }
Rgb add(Rgb a, Rgb b) { return Rgb{a.r + b.r, a.g + b.g, a.b + b.b}; }
Rgb scale(Rgb c, double k) { return Rgb{c.r * k, c.g * k, c.b * k}; }

double smoothstep(double e0, double e1, double v) {
    const double t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0 - 2.0 * t);
}

Rgb hex(std::uint32_t rgb) {
    return Rgb{static_cast<double>((rgb >> 16) & 0xFF) / 255.0, static_cast<double>((rgb >> 8) & 0xFF) / 255.0,
               static_cast<double>(rgb & 0xFF) / 255.0};
}

namespace {
std::uint32_t channel(double v) { return static_cast<std::uint32_t>(std::floor(clamp01(v) * 255.0 + 0.5)); }
}  // namespace

std::uint32_t pack(Rgb c) { return channel(c.r) << 16 | channel(c.g) << 8 | channel(c.b); }

double powi(double base, int exponent) {
    double result = 1.0;
    for (int i = 0; i < exponent; ++i) {
        result *= base;
    }
    return result;
}

double length(Vec v) { return std::sqrt(v.x * v.x + v.y * v.y); }
Vec sub(Vec a, Vec b) { return Vec{a.x - b.x, a.y - b.y}; }

namespace {

// Sixteen unit gradients, 22.5 degrees apart, written out so no sine is needed.
constexpr double gradient_table[16][2] = {
    {1.0, 0.0},
    {0.9238795325112867, 0.3826834323650898},
    {0.7071067811865476, 0.7071067811865476},
    {0.3826834323650898, 0.9238795325112867},
    {0.0, 1.0},
    {-0.3826834323650898, 0.9238795325112867},
    {-0.7071067811865476, 0.7071067811865476},
    {-0.9238795325112867, 0.3826834323650898},
    {-1.0, 0.0},
    {-0.9238795325112867, -0.3826834323650898},
    {-0.7071067811865476, -0.7071067811865476},
    {-0.3826834323650898, -0.9238795325112867},
    {0.0, -1.0},
    {0.3826834323650898, -0.9238795325112867},
    {0.7071067811865476, -0.7071067811865476},
    {0.9238795325112867, -0.3826834323650898},
};

double corner(int ix, int iy, double fx, double fy, int period_x, std::uint32_t seed) {
    const int wrapped = ((ix % period_x) + period_x) % period_x;
    const std::uint32_t h = hash3(static_cast<std::uint32_t>(wrapped), static_cast<std::uint32_t>(iy), seed);
    const double* g = gradient_table[h & 15];
    return g[0] * fx + g[1] * fy;
}

double fade(double t) { return t * t * t * (t * (t * 6.0 - 15.0) + 10.0); }

}  // namespace

double noise(double x, double y, int period_x, std::uint32_t seed) {
    const double flx = std::floor(x);
    const double fly = std::floor(y);
    const int ix = static_cast<int>(flx);
    const int iy = static_cast<int>(fly);
    const double fx = x - flx;
    const double fy = y - fly;
    const double n00 = corner(ix, iy, fx, fy, period_x, seed);
    const double n10 = corner(ix + 1, iy, fx - 1.0, fy, period_x, seed);
    const double n01 = corner(ix, iy + 1, fx, fy - 1.0, period_x, seed);
    const double n11 = corner(ix + 1, iy + 1, fx - 1.0, fy - 1.0, period_x, seed);
    const double u = fade(fx);
    const double v = fade(fy);
    return 1.4142135623730951 * mix(mix(n00, n10, u), mix(n01, n11, u), v);
}

double fbm(double x, double y, int period_x, int octaves, double gain, std::uint32_t seed) {
    double sum = 0.0;
    double amplitude = 1.0;
    double norm = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * noise(x, y, period_x, seed + static_cast<std::uint32_t>(i) * 1013u);
        norm += amplitude;
        amplitude *= gain;
        x *= 2.0;
        y *= 2.0;
        period_x *= 2;
    }
    return sum / norm;
}

double distance_to_segment(Vec p, Vec a, Vec b) {
    const Vec pa = sub(p, a);
    const Vec ba = sub(b, a);
    const double len2 = ba.x * ba.x + ba.y * ba.y;
    const double h = len2 > 0.0 ? clamp01((pa.x * ba.x + pa.y * ba.y) / len2) : 0.0;
    return length(Vec{pa.x - ba.x * h, pa.y - ba.y * h});
}

double sd_polygon(Vec p, const std::vector<Vec>& v) {
    const std::size_t n = v.size();
    double best = (p.x - v[0].x) * (p.x - v[0].x) + (p.y - v[0].y) * (p.y - v[0].y);
    bool inside = false;
    for (std::size_t i = 0, j = n - 1; i < n; j = i, ++i) {
        const Vec e{v[j].x - v[i].x, v[j].y - v[i].y};
        const Vec w{p.x - v[i].x, p.y - v[i].y};
        const double len2 = e.x * e.x + e.y * e.y;
        const double h = len2 > 0.0 ? clamp01((w.x * e.x + w.y * e.y) / len2) : 0.0;
        const Vec b{w.x - e.x * h, w.y - e.y * h};
        const double d2 = b.x * b.x + b.y * b.y;
        if (d2 < best) {
            best = d2;
        }
        const bool c1 = p.y >= v[i].y;
        const bool c2 = p.y < v[j].y;
        const bool c3 = e.x * w.y > e.y * w.x;
        if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) {
            inside = !inside;
        }
    }
    const double d = std::sqrt(best);
    return inside ? -d : d;
}

void line_to(Path& path, Vec to) { path.points.push_back(to); }

void cubic_to(Path& path, Vec c1, Vec c2, Vec to, int steps) {
    const Vec from = path.points.back();
    for (int i = 1; i <= steps; ++i) {
        const double t = static_cast<double>(i) / steps;
        const double s = 1.0 - t;
        const double a = s * s * s;
        const double b = 3.0 * s * s * t;
        const double c = 3.0 * s * t * t;
        const double d = t * t * t;
        path.points.push_back(Vec{a * from.x + b * c1.x + c * c2.x + d * to.x, a * from.y + b * c1.y + c * c2.y + d * to.y});
    }
}

Path start_at(Vec from) { return Path{{from}}; }

Path polygon(std::initializer_list<Vec> corners) { return Path{corners}; }

namespace {
// Control-point distance that makes a cubic a close quarter circle.
constexpr double quarter = 0.5522847498307936;
}  // namespace

Path ellipse_path(Vec centre, double rx, double ry) {
    const double kx = rx * quarter;
    const double ky = ry * quarter;
    const double cx = centre.x;
    const double cy = centre.y;
    Path path = start_at(Vec{cx + rx, cy});
    cubic_to(path, Vec{cx + rx, cy + ky}, Vec{cx + kx, cy + ry}, Vec{cx, cy + ry}, 12);
    cubic_to(path, Vec{cx - kx, cy + ry}, Vec{cx - rx, cy + ky}, Vec{cx - rx, cy}, 12);
    cubic_to(path, Vec{cx - rx, cy - ky}, Vec{cx - kx, cy - ry}, Vec{cx, cy - ry}, 12);
    cubic_to(path, Vec{cx + kx, cy - ry}, Vec{cx + rx, cy - ky}, Vec{cx + rx, cy}, 12);
    path.points.pop_back();  // the last point repeats the first
    return path;
}

Path rounded_box(double left, double top, double right, double bottom, double radius) {
    const double k = radius * (1.0 - quarter);
    Path path = start_at(Vec{left + radius, top});
    line_to(path, Vec{right - radius, top});
    cubic_to(path, Vec{right - k, top}, Vec{right, top + k}, Vec{right, top + radius}, 6);
    line_to(path, Vec{right, bottom - radius});
    cubic_to(path, Vec{right, bottom - k}, Vec{right - k, bottom}, Vec{right - radius, bottom}, 6);
    line_to(path, Vec{left + radius, bottom});
    cubic_to(path, Vec{left + k, bottom}, Vec{left, bottom - k}, Vec{left, bottom - radius}, 6);
    line_to(path, Vec{left, top + radius});
    cubic_to(path, Vec{left, top + k}, Vec{left + k, top}, Vec{left + radius, top}, 6);
    path.points.pop_back();
    return path;
}

Path band_along(Vec from, Vec c1, Vec c2, Vec to, Vec out, Vec in) {
    Path curve = start_at(from);
    cubic_to(curve, c1, c2, to, 24);
    Path band;
    for (const Vec& p : curve.points) {
        band.points.push_back(Vec{p.x + out.x, p.y + out.y});
    }
    for (auto it = curve.points.rbegin(); it != curve.points.rend(); ++it) {
        band.points.push_back(Vec{it->x + in.x, it->y + in.y});
    }
    return band;
}

}  // namespace art
