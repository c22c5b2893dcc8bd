// The outline of a picture as a region: every pixel that is not of the
// transparent colour belongs to it.
#pragma once

#include "fw/Bitmap.h"
#include "fw/Rgn.h"

// The region of the picture's pixels whose colour lies outside the
// transparent range: from each channel of `transparent` up to that channel
// plus the same channel of `tolerance` (capped at 255). Rows are taken as
// runs of one pixel height, joined into regions 2000 runs at a time. An
// all-transparent picture gives an empty region; no picture, or no memory
// DC, gives none (a null region).
CRgn BitmapToRegion(const CBitmap& picture, COLORREF transparent, COLORREF tolerance);
