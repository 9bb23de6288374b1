#include "imaging/keysplit.h"

namespace pg {

Icon SplitKeyColour(const Image& composite, Colour key) {
  const int w = composite.Width(), h = composite.Height();
  Icon out{Image(w, h, kBlack), Image(w, h, kBlack)};
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const Colour p = composite.GetPixel(x, y);
      if (p == key) {
        out.mask.SetPixel(x, y, kWhite);
      } else {
        out.colour.SetPixel(x, y, p);
      }
    }
  }
  return out;
}

}  // namespace pg
