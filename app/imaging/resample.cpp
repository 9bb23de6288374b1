// Resizing. Whole-number enlargements replicate pixels exactly, as
// StretchBlt does; everything else goes through a separable filter: an area
// (box) average on each axis that shrinks, a triangle (linear) filter on
// each axis that grows by a fraction. Both have only non-negative weights,
// so no colour overshoots and a coverage channel stays within 0..1.
#include "imaging/resample.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace pg {
namespace {

using Tap = ResampleTap;
using Taps = std::vector<std::vector<Tap>>;  // per destination coordinate; weights sum to 1

// Filters `channels` interleaved planes of sw x sh values to dw x dh, one
// source row at a time: `row(y, out)` fills out[0 .. sw * channels) with
// source row y. Only one source row, one filtered row and the destination
// are held, so a large picture costs no copy of itself; the sums run in the
// same order as a whole-image pass would.
template <class RowFn>
std::vector<double> Filter(int sw, int sh, int channels, int dw, int dh, RowFn row) {
  const Taps across = ResampleWeights(sw, dw), down = ResampleWeights(sh, dh);
  const auto c = static_cast<std::size_t>(channels);
  const auto w = static_cast<std::size_t>(dw);
  // For each source row, the destination rows it feeds and with what weight,
  // in the order of each destination row's taps.
  std::vector<std::vector<std::pair<int, double>>> feeds(static_cast<std::size_t>(sh));
  for (int y = 0; y < dh; ++y)
    for (const Tap& t : down[static_cast<std::size_t>(y)])
      feeds[static_cast<std::size_t>(t.index)].push_back({y, t.weight});
  std::vector<double> in(static_cast<std::size_t>(sw) * c), mid(w * c);
  std::vector<double> out(w * static_cast<std::size_t>(dh) * c, 0.0);
  for (int y = 0; y < sh; ++y) {
    const auto& targets = feeds[static_cast<std::size_t>(y)];
    if (targets.empty()) continue;
    row(y, in.data());
    std::fill(mid.begin(), mid.end(), 0.0);
    for (std::size_t x = 0; x < w; ++x)
      for (const Tap& t : across[x])
        for (std::size_t k = 0; k < c; ++k) mid[x * c + k] += t.weight * in[static_cast<std::size_t>(t.index) * c + k];
    for (const auto& [ty, weight] : targets) {
      double* dst = &out[static_cast<std::size_t>(ty) * w * c];
      for (std::size_t i = 0; i < w * c; ++i) dst[i] += weight * mid[i];
    }
  }
  return out;
}

std::uint8_t ToByte(double v) noexcept {
  return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

bool IsWholeEnlargement(int sw, int sh, int dw, int dh) noexcept {
  return sw > 0 && sh > 0 && dw % sw == 0 && dh % sh == 0;
}

Image Replicate(const Image& src, int width, int height) {
  const int fx = width / src.Width(), fy = height / src.Height();
  Image out(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) out.SetPixel(x, y, src.GetPixel(x / fx, y / fy));
  return out;
}

}  // namespace

Image Resize(const Image& src, int width, int height) {
  assert(width >= 1 && height >= 1 && "resize targets are at least one pixel");
  if (src.Empty()) return Image(width, height);
  if (IsWholeEnlargement(src.Width(), src.Height(), width, height)) return Replicate(src, width, height);
  const int sw = src.Width();
  const std::vector<double> out = Filter(sw, src.Height(), 3, width, height, [&](int y, double* in) {
    for (int x = 0; x < sw; ++x) {
      const Colour c = src.GetPixel(x, y);
      in[3 * x] = RedOf(c);
      in[3 * x + 1] = GreenOf(c);
      in[3 * x + 2] = BlueOf(c);
    }
  });
  Image result(width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      const double* p = &out[(static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3];
      result.SetPixel(x, y, Rgb(ToByte(p[0]), ToByte(p[1]), ToByte(p[2])));
    }
  return result;
}

Icon ResizeIcon(const Icon& icon, int size) {
  assert(size >= 1 && "icon sizes are at least one pixel");
  const int w = icon.Width(), h = icon.Height();
  if (w == 0 || h == 0) return TransparentIcon(size);
  if (IsWholeEnlargement(w, h, size, size)) {
    // Exact, and inverting pixels (white mask, coloured) survive unchanged.
    Image colour(w, h);
    BitBlt(colour, 0, 0, w, h, icon.colour, 0, 0, Rop::kCopy);
    return Icon{Replicate(colour, size, size), Replicate(icon.mask, size, size)};
  }
  // Coverage 1 where the mask is opaque, 0 where it is white; the colour is
  // weighted by coverage so that transparent pixels (black, or inverting
  // colours, which have no meaning once blended) lend the result nothing.
  const std::vector<double> out = Filter(w, h, 4, size, size, [&](int y, double* in) {
    for (int x = 0; x < w; ++x, in += 4) {
      const double cover = icon.mask.GetPixel(x, y) == kWhite ? 0.0 : 1.0;
      const Colour c = icon.colour.Contains(x, y) ? icon.colour.GetPixel(x, y) : kBlack;
      in[0] = cover;
      in[1] = cover * RedOf(c);
      in[2] = cover * GreenOf(c);
      in[3] = cover * BlueOf(c);
    }
  });
  Icon result = TransparentIcon(size);
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double* p = &out[(static_cast<std::size_t>(y) * static_cast<std::size_t>(size) + static_cast<std::size_t>(x)) * 4];
      // A little slack so that exactly half, summed from inexact thirds and
      // the like, still counts as half.
      if (p[0] < 0.5 - 1e-9) continue;
      result.mask.SetPixel(x, y, kBlack);
      result.colour.SetPixel(x, y, Rgb(ToByte(p[1] / p[0]), ToByte(p[2] / p[0]), ToByte(p[3] / p[0])));
    }
  return result;
}

std::vector<std::vector<ResampleTap>> ResampleWeights(int src, int dst) {
  std::vector<std::vector<ResampleTap>> taps(static_cast<std::size_t>(dst));
  const double scale = static_cast<double>(src) / dst;
  for (int i = 0; i < dst; ++i) {
    auto& t = taps[static_cast<std::size_t>(i)];
    if (scale >= 1.0) {
      // The source interval [lo, hi) this destination pixel covers.
      const double lo = i * scale, hi = (i + 1) * scale;
      for (int j = static_cast<int>(std::floor(lo)); j < src && j < hi; ++j) {
        const double overlap = std::min(hi, j + 1.0) - std::max(lo, static_cast<double>(j));
        if (overlap > 0) t.push_back({j, overlap / scale});
      }
    } else {
      const double centre = (i + 0.5) * scale - 0.5;
      const double j0 = std::floor(centre), f = centre - j0;
      const auto clampIndex = [src](double j) { return static_cast<int>(std::clamp(j, 0.0, src - 1.0)); };
      t.push_back({clampIndex(j0), 1.0 - f});
      t.push_back({clampIndex(j0 + 1), f});
    }
  }
  return taps;
}

// Separable resampling of premultiplied colour, so that transparent pixels
// lend their neighbours no colour.
RgbaImage ResampleRgba(const RgbaImage& src, int width, int height) {
  const auto across = ResampleWeights(src.width, width), down = ResampleWeights(src.height, height);
  const auto sw = static_cast<std::size_t>(src.width);
  const auto dw = static_cast<std::size_t>(width);
  std::vector<float> pre(src.pixels.size());
  for (std::size_t i = 0; i < src.pixels.size(); i += 4) {
    const float a = src.pixels[i + 3] / 255.0f;
    pre[i] = src.pixels[i] * a;
    pre[i + 1] = src.pixels[i + 1] * a;
    pre[i + 2] = src.pixels[i + 2] * a;
    pre[i + 3] = src.pixels[i + 3];
  }
  std::vector<float> mid(dw * static_cast<std::size_t>(src.height) * 4, 0.0f);
  for (int y = 0; y < src.height; ++y)
    for (std::size_t x = 0; x < dw; ++x) {
      float* m = &mid[(static_cast<std::size_t>(y) * dw + x) * 4];
      for (const ResampleTap& t : across[x]) {
        const float* p = &pre[(static_cast<std::size_t>(y) * sw + static_cast<std::size_t>(t.index)) * 4];
        for (int k = 0; k < 4; ++k) m[k] += static_cast<float>(t.weight) * p[k];
      }
    }
  RgbaImage out(width, height);
  std::vector<float> row(dw * 4);
  for (int y = 0; y < height; ++y) {
    std::fill(row.begin(), row.end(), 0.0f);
    for (const ResampleTap& t : down[static_cast<std::size_t>(y)]) {
      const float* m = &mid[static_cast<std::size_t>(t.index) * dw * 4];
      for (std::size_t i = 0; i < dw * 4; ++i) row[i] += static_cast<float>(t.weight) * m[i];
    }
    for (std::size_t x = 0; x < dw; ++x) {
      const float* r = &row[x * 4];
      const long a = std::clamp(std::lround(r[3]), 0L, 255L);
      if (a == 0) continue;
      std::uint8_t* o = out.At(static_cast<int>(x), y);
      const float unpremultiply = 255.0f / r[3];
      for (int k = 0; k < 3; ++k)
        o[k] = static_cast<std::uint8_t>(std::clamp(std::lround(r[k] * unpremultiply), 0L, 255L));
      o[3] = static_cast<std::uint8_t>(a);
    }
  }
  return out;
}

RgbaImage ReplicateRgba(const RgbaImage& src, int fx, int fy) {
  RgbaImage out(src.width * fx, src.height * fy);
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x) std::copy_n(src.At(x / fx, y / fy), 4, out.At(x, y));
  return out;
}

}  // namespace pg
