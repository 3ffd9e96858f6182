// The three pictures of the scene, each drawn from fixed seeds.
#pragma once

#include "art_kit.h"

namespace art {

inline constexpr int background_width = 800;
inline constexpr int background_height = 600;
inline constexpr int good_ship_width = 200;
inline constexpr int good_ship_height = 244;
inline constexpr int bad_ship_width = 233;
inline constexpr int bad_ship_height = 250;

// Dusk sky over mountains: nebula, stars, a moon and a ringed planet; repeats
// seamlessly every 800 columns because every feature is periodic in x.
Canvas draw_background();

// The player's craft, facing right, its nose at (199, 170); magenta around it.
Canvas draw_good_ship();

// The enemy craft, facing left; magenta around it.
Canvas draw_bad_ship();

}  // namespace art
