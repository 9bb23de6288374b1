// Changing an image's size: pixel replication for whole-number enlargements,
// a good filter for everything else.
#pragma once

#include <vector>

#include "imaging/icon.h"
#include "imaging/rgba_image.h"

namespace pg {

// One source coordinate a destination coordinate draws on, and how much.
struct ResampleTap {
  int index;
  double weight;
};

// For each of `dst` destination coordinates, taps into `src` source ones
// with weights summing to 1: the area each destination pixel covers when
// shrinking, a linear filter when growing.
std::vector<std::vector<ResampleTap>> ResampleWeights(int src, int dst);

// Resizes to width x height (both >= 1). Whole-number enlargements in both
// directions replicate pixels; any other change uses a filtered resample.
Image Resize(const Image& src, int width, int height);

// Resizes an icon to size x size: colour and mask are resampled together
// (the mask as coverage) and the result is opaque where coverage >= 50 %.
Icon ResizeIcon(const Icon& icon, int size);

// Resizes a picture with alpha to width x height by the filter, on
// premultiplied colour, so that transparent pixels lend their neighbours no
// colour.
RgbaImage ResampleRgba(const RgbaImage& src, int width, int height);

// Enlarges a picture with alpha by whole factors, by pixel replication.
RgbaImage ReplicateRgba(const RgbaImage& src, int fx, int fy);

}  // namespace pg
