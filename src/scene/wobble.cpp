// The wobble, shared by the ships' drawn positions and the shot's start point
// so both follow one formula. The product and the sum are each rounded to
// double: the build's -ffp-contract=off is what stops the compiler from fusing
// them into one multiply-add (separate statements alone do not).
#include <cmath>

#include "platform/platform.h"
#include "scene/scene.h"

double wobble_position(double rate, double amplitude, double base) {
    const double t = clock_seconds();
    const double scaled = std::cos(t * rate) * amplitude;
    return scaled + base;
}
