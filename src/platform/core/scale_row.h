// One row of a picture widened by nearest neighbour: out[x] = in[column[x]].
#pragma once

#include "platform.h"

// The source column of every output column, for a row `in_width` wide shown
// `out_width` wide (out_width >= 1): column[x] = x * in_width / out_width.
void scale_columns(int in_width, int out_width, int* column);

// out[x] = in[column[x]] for x in 0..out_width-1; `column` from
// scale_columns with the same widths. Fast where the row is widened (the
// full-screen picture), exact for any widths.
void scale_row(const Pixel* in, int in_width, Pixel* out, const int* column, int out_width);
