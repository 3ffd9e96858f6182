// The wobble, shared by the ships' drawn positions and the shot's start point
// so both follow one formula. Kept as separate steps so no compiler fuses the
// product and the sum.
#include <cmath>

#include "platform/platform.h"
#include "scene/scene.h"

double wobble_position(double rate, double amplitude, double base) {
    const double t = clock_seconds();
    const double scaled = std::cos(t * rate) * amplitude;
    return scaled + base;
}
