// The operations the scene calls: display, images, bitmap files, drawing,
// keyboard, clock and sleep. Plain functions over one display; no SDL here.
// None of them stops the program except end_program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// One pixel, 0xAARRGGBB. The top byte is stored and copied but never shown.
using Pixel = std::uint32_t;

// Fill of every new image; the colour-keyed copy leaves out every pixel
// whose low 24 bits equal its low 24 bits.
inline constexpr Pixel transparent_colour = 0xFFFF00FF;

// An off-screen picture of width x height pixels, rows from the top down,
// each row `stride` pixels after the one before it.
struct Image {
    int width;
    int height;
    int depth;  // bits per pixel; always the display's, 32
    std::ptrdiff_t stride;
    Pixel* pixels;
};

// The colours of a bitmap's palette, as 0xFFRRGGBB, when the file has one.
struct BitmapPalette {
    int count;
    Pixel colours[256];
};

// Opens the 800x600 32-bit display in a window (full screen if no window can
// be had) and starts the display thread; 0 on success, non-zero on failure.
int open_screen(int width, int height, int depth, int pages, std::uint32_t flags, int refresh_rate);

// Why the last open_screen failed, for the user; "" after a success.
const char* display_error();

// Flag for create_image: ignore the fill colour and fill with transparent_colour.
inline constexpr std::uint32_t fill_with_transparent = 0x80000000u;

// A new image of the given size, or nullptr when no display is open, a size is
// below 1 or memory cannot be had. depth 0 means the display's depth (32).
Image* create_image(int width, int height, Pixel fill, int depth, std::uint32_t flags);

// Frees an image; only tests and tools need it, the scene keeps its images.
void release_image(Image* image);

// Reads a BMP file into the top-left corner of `destination`. Returns 0 when
// read, 1 when no display is open, 2 when the file cannot be opened, 3 when it
// is no bitmap this reader takes or ends early (rows stored before stay).
int load_bitmap(const char* file_name, Image* destination, BitmapPalette* palette_out);

// Opens a frame (or one more nested level); the outermost takes the display lock.
void lock_screen();

// Marks lines first_line..last_line for presenting (first below 0 counts as 0,
// last below 0 as 599; nothing when first > last or last > 599), then closes
// one level; the outermost releases the display lock.
void unlock_screen(int first_line, int last_line);

// Copies the whole image with its top-left pixel at (x, y), clipped to the screen.
void put_opaque(float x, float y, const Image* image);

// As put_opaque, leaving out transparent pixels; the others get top byte 0.
void put_transparent(float x, float y, const Image* image);

// A filled circle centred at (x, y); the whole circle for angles 0 to 2 pi.
void fill_circle(float x, float y, float radius, Pixel colour, float aspect, float arc_start,
                 float arc_end);

// True while the key with this PC set-1 scan code was held at the latest
// refresh of the keyboard state; false outside 0..127.
bool key_down(int scan_code);

// Takes one key from the key queue without waiting: "" when empty, one byte
// for a character, byte 255 and the extended code for a special key.
std::string read_key();

// Seconds of the system's monotonic high-resolution counter (no start subtracted).
double clock_seconds();

// One wait of at least `milliseconds`, holding no lock.
void sleep_ms(int milliseconds);

// Stops the display thread, closes the display and ends the process with exit_code.
[[noreturn]] void end_program(int exit_code);
