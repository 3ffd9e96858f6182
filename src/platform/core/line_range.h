// A range of screen lines (or image rows), first..last inclusive.
#pragma once

// Empty when first > last.
struct LineRange {
    int first;
    int last;
};
