#pragma once

#include "graphics/Rect.h"
#include "graphics/Surface.h"

// How many pixels of area differ between two pictures (area cut to both).
int DifferingPixels(const Surface& shot, const Surface& expected, const Rect& area);
// True when a 64 x 64 button face (dark outline and caption) stands with its
// corner at (x, y); a hidden button leaves the white background.
bool ShowsButtonAt(const Surface& shot, int x, int y);
