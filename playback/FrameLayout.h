// Where a frame goes in the control's picture area and how it is drawn there, shared by the
// paint, the worker that decides how large to decode it and the export of an animation, so
// that all see the same rectangle and the same pixels.
#pragma once

#include <cstdint>

#include "platform/Gdi.h"
#include "platform/Types.h"

class CImage;

// A frame's rectangle in the picture area: its top left corner and the size it is drawn at.
struct CFrameRect {
    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const CFrameRect&) const = default;
};

// A picture of width x height in an area of cx x cy: centred, shrunk to fit when larger,
// enlarged to fit with maximize, keeping its aspect ratio. The precision is part of the
// layout (the height ratio is a single-precision one): frames land where they always have.
// Callers pass positive sizes.
CFrameRect FrameLayout(int32_t width, int32_t height, int32_t cx, int32_t cy, BOOL maximize);

// Draws image as the control paints it in the top cx by cy pixels of dc: laid out by
// FrameLayout at its file's size (GetFullWidth, GetFullHeight), stretched there through its
// palette, the bands around it filled with back; an image without pixels leaves the whole
// area in back. Programs that render frames as the control shows them draw through this too.
void DrawFramePicture(CDC* dc, CImage& image, int32_t cx, int32_t cy, BOOL maximize, COLORREF back);

// What the worker needs to know to decode frames to fit: whether DecodeToFit is on, and the
// picture area the paint lays frames out in.
struct CFrameFit {
    bool on = false;
    int32_t cx = 0;
    int32_t cy = 0;
    BOOL maximize = FALSE;
    bool operator==(const CFrameFit&) const = default;
};

// The size to decode a picture of width x height to (a JPEG read's size to fit): the size the
// layout draws it at when fit is on and the layout shrinks it; 0 x 0 (the whole picture)
// otherwise.
void FitSizeFor(int32_t width, int32_t height, const CFrameFit& fit, int32_t* fitWidth,
                int32_t* fitHeight);
