// One drag move as Tessary does it at a display scale, timed under the real
// GDI: the session composes the layers for the new pointer point, the
// composite is enlarged for the zoom view and the preview, both are copied
// into their DIBs and drawn into the window's back buffer, which goes to the
// screen. Prints the median and the 99th percentile of many moves.
//
//   pg_bench_drag_paint [PERCENT] [MOVES]     (default 300 %, 2000 moves)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "imaging/scale.h"
#include "session/session.h"
#include "win/dib.h"

namespace {

pg::Icon PatternIcon(int seed) {
  pg::Icon icon{pg::Image(32, 32), pg::Image(32, 32, pg::kWhite)};
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) {
      if ((x * 7 + y * 3 + seed) % 5 == 0) continue;
      icon.mask.SetPixel(x, y, pg::kBlack);
      icon.colour.SetPixel(x, y, pg::Rgb(static_cast<std::uint8_t>(x * 8 + seed),
                                         static_cast<std::uint8_t>(y * 8), 200));
    }
  return icon;
}

double Ms(LARGE_INTEGER a, LARGE_INTEGER b, LARGE_INTEGER freq) {
  return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(freq.QuadPart);
}

}  // namespace

int main(int argc, char** argv) {
  const int percent = argc > 1 ? std::atoi(argv[1]) : 300;
  const int moves = argc > 2 ? std::atoi(argv[2]) : 2000;
  const pg::Scale scale{percent};

  pg::Session session;
  session.SetScale(scale);
  session.SetStartContent(pg::Slot::kUpper, pg::ContentOfIcon(PatternIcon(1)));
  session.SetStartContent(pg::Slot::kLower, pg::ContentOfIcon(PatternIcon(2)));
  session.Rebuild();

  const pg::Place window = scale.Of(layout::Image4);
  const pg::Place zoom = scale.Of(layout::omotebi);
  const pg::Place preview = scale.Of(layout::omote);
  HWND hwnd = CreateWindowExW(0, L"STATIC", L"bench", WS_POPUP | WS_VISIBLE, 0, 0, window.width,
                              window.height, nullptr, nullptr, nullptr, nullptr);
  HDC screen = GetDC(hwnd);
  HDC back = CreateCompatibleDC(screen);
  HBITMAP backBitmap = CreateCompatibleBitmap(screen, window.width, window.height);
  HGDIOBJ old = SelectObject(back, backBitmap);

  pg::Image zoomPicture(zoom.width, zoom.height), previewPicture(preview.width, preview.height);
  pgw::Dib zoomDib, previewDib;
  LARGE_INTEGER freq;
  QueryPerformanceFrequency(&freq);
  std::vector<double> times;
  times.reserve(static_cast<std::size_t>(moves));
  session.Press(zoom.width / 2, zoom.height / 2);
  for (int i = 0; i < moves; ++i) {
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    session.Move(zoom.width / 2 + (i % 97) - 48, zoom.height / 2 + (i % 53) - 26);
    pg::EnlargeNearestInto(session.Composite(), zoomPicture);
    pg::EnlargeNearestInto(session.Composite(), previewPicture);
    zoomDib.Assign(zoomPicture);
    previewDib.Assign(previewPicture);
    zoomDib.Draw(back, zoom.left, zoom.top);
    previewDib.Draw(back, preview.left, preview.top);
    BitBlt(screen, zoom.left, zoom.top, zoom.width, zoom.height, back, zoom.left, zoom.top, SRCCOPY);
    BitBlt(screen, preview.left, preview.top, preview.width, preview.height, back, preview.left,
           preview.top, SRCCOPY);
    GdiFlush();
    QueryPerformanceCounter(&t1);
    times.push_back(Ms(t0, t1, freq));
  }
  session.Release();
  std::sort(times.begin(), times.end());
  std::printf("drag move at %d %%: median %.3f ms, 99th percentile %.3f ms, max %.3f ms (%d moves)\n",
              percent, times[times.size() / 2], times[times.size() * 99 / 100], times.back(), moves);
  SelectObject(back, old);
  DeleteObject(backBitmap);
  DeleteDC(back);
  ReleaseDC(hwnd, screen);
  DestroyWindow(hwnd);
  return 0;
}
