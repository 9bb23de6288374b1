// The clipboard module against the real system clipboard (under Wine in the
// test session). Each test leaves the clipboard empty.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "clipboard.h"
#include "imaging/icon.h"
#include "image_fixtures.h"

namespace pgw {
namespace {

using namespace pg::fixtures;

class Clipboard : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExW(0, L"STATIC", L"clipboard test", 0, 0, 0, 1, 1, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    Set({});
  }
  void TearDown() override {
    Set({});
    DestroyWindow(window_);
  }

  // Replaces the clipboard's content by these blocks, as another program
  // would put them.
  void Set(const std::vector<std::pair<UINT, ByteVec>>& blocks) {
    ASSERT_TRUE(OpenClipboard(window_));
    EmptyClipboard();
    for (const auto& [format, bytes] : blocks) {
      unique_hglobal block(GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
      ASSERT_TRUE(block);
      {
        const GlobalLockGuard lock(block.get());
        std::memcpy(lock.get(), bytes.data(), bytes.size());
      }
      ASSERT_TRUE(SetClipboardData(format, block.get()));
      block.release();
    }
    CloseClipboard();
  }

  HWND window_ = nullptr;
};

pg::Image Picture(int w, int h) {
  pg::Image im(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      im.SetPixel(x, y, pg::Rgb(static_cast<std::uint8_t>(8 * x + 1), static_cast<std::uint8_t>(7 * y + 2),
                                static_cast<std::uint8_t>(x ^ y)));
  im.SetPixel(0, 0, pg::kKeyColour);
  im.SetPixel(5, 9, pg::kKeyColour);
  return im;
}

TEST_F(Clipboard, APutPictureReadsBackExactlyInEveryForm) {
  const pg::Image composite = Picture(32, 32);
  ASSERT_EQ(PutClipboardPicture(window_, composite), ClipboardError::kNone);

  const ClipboardPicture got = ReadClipboardPicture(window_);
  ASSERT_TRUE(got) << static_cast<int>(got.error);
  EXPECT_EQ(got.picture.image, composite);
  EXPECT_TRUE(got.picture.alpha.empty());

  // Other programs may ask for any of the bitmap forms.
  ASSERT_TRUE(OpenClipboard(window_));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_BITMAP));
  const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  ASSERT_NE(bitmap, nullptr);
  auto fromBitmap = PictureFromBitmap(bitmap, nullptr);
  const HANDLE dib = GetClipboardData(CF_DIB);
  ByteVec dibBytes;
  if (dib) {
    const GlobalLockGuard lock(static_cast<HGLOBAL>(dib));
    const auto* p = static_cast<const std::uint8_t*>(lock.get());
    dibBytes.assign(p, p + lock.Size());
  }
  CloseClipboard();
  ASSERT_TRUE(fromBitmap.ok()) << pg::ErrorText(fromBitmap.error());
  EXPECT_EQ(fromBitmap->image, composite);
  auto fromDib = pg::ReadClipboardDib(dibBytes);
  ASSERT_TRUE(fromDib.ok());
  EXPECT_EQ(fromDib->image, composite);
}

TEST_F(Clipboard, PrefersPngWithItsAlphaAndFallsBackPastADamagedForm) {
  const UINT png = RegisterClipboardFormatW(L"PNG");
  const ByteVec transparentCorner = MakePng(4, 4, [](int x, int y) {
    return (x == 0 && y == 0 ? 0x00000000u : 0xFF000000u) | 0x123456u;
  });
  const ByteVec plainDib = pg::ClipboardDib(pg::Image(4, 4, pg::Rgb(9, 8, 7)));
  Set({{CF_DIB, plainDib}, {png, transparentCorner}});
  ClipboardPicture got = ReadClipboardPicture(window_);
  ASSERT_TRUE(got);
  EXPECT_EQ(got.format, png);
  EXPECT_EQ(got.picture.image.GetPixel(1, 1), pg::Rgb(0x12, 0x34, 0x56));
  ASSERT_EQ(got.picture.alpha.size(), 16u);
  EXPECT_EQ(got.picture.alpha[0], 0);

  // A PNG that cannot be decoded gives way to the DIB beside it.
  Set({{CF_DIB, plainDib}, {png, ByteVec(transparentCorner.begin(), transparentCorner.begin() + 40)}});
  got = ReadClipboardPicture(window_);
  ASSERT_TRUE(got);
  EXPECT_NE(got.format, png);
  EXPECT_EQ(got.picture.image, pg::Image(4, 4, pg::Rgb(9, 8, 7)));

  // A lone damaged picture is reported as such, with the reason.
  ByteVec damaged = plainDib;
  damaged[4] = 0;  // width 0
  damaged[5] = 0;
  Set({{CF_DIB, damaged}});
  got = ReadClipboardPicture(window_);
  EXPECT_EQ(got.error, ClipboardError::kDamaged) << "read as format " << got.format;
  EXPECT_EQ(got.detail, pg::Error::kBadImageSize);
  EXPECT_EQ(ClipboardErrorText(got.error, got.detail),
            L"The picture on the clipboard cannot be read.\n\n"
            L"Image size is invalid or disagrees with its header.");
}

TEST_F(Clipboard, TextOrNothingIsNoPicture) {
  EXPECT_EQ(ReadClipboardPicture(window_).error, ClipboardError::kNoPicture);
  const wchar_t text[] = L"not a picture";
  ByteVec bytes(reinterpret_cast<const std::uint8_t*>(text),
                reinterpret_cast<const std::uint8_t*>(text) + sizeof text);
  Set({{CF_UNICODETEXT, bytes}});
  EXPECT_EQ(ReadClipboardPicture(window_).error, ClipboardError::kNoPicture);
  EXPECT_EQ(ClipboardErrorText(ClipboardError::kNoPicture), L"The clipboard holds no picture.");
}

TEST_F(Clipboard, WaitsForAHolderAndGivesUpWhenItStays) {
  const pg::Image picture = Picture(32, 32);
  ASSERT_EQ(PutClipboardPicture(window_, picture), ClipboardError::kNone);

  // Another thread holds the clipboard open for `holdMs`.
  const auto holdFor = [](int holdMs, std::atomic<bool>& opened) {
    return std::thread([holdMs, &opened] {
      if (!OpenClipboard(nullptr)) return;
      opened = true;
      Sleep(static_cast<DWORD>(holdMs));
      CloseClipboard();
    });
  };
  const auto waitOpened = [](const std::atomic<bool>& opened) {
    for (int i = 0; i < 200 && !opened; ++i) Sleep(5);
    return opened.load();
  };

  {
    std::atomic<bool> opened{false};
    std::thread holder = holdFor(300, opened);
    ASSERT_TRUE(waitOpened(opened));
    const ClipboardPicture got = ReadClipboardPicture(window_, 2000);
    holder.join();
    ASSERT_TRUE(got) << "a short hold is waited out";
    EXPECT_EQ(got.picture.image, picture);
  }
  {
    std::atomic<bool> opened{false};
    std::thread holder = holdFor(1500, opened);
    ASSERT_TRUE(waitOpened(opened));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadClipboardPicture(window_, 300).error, ClipboardError::kBusy);
    EXPECT_EQ(PutClipboardPicture(window_, pg::Image(32, 32), 300), ClipboardError::kBusy);
    const auto waited = std::chrono::steady_clock::now() - start;
    holder.join();
    EXPECT_GE(waited, std::chrono::milliseconds(550));
    // The failed copy left the clipboard as it was.
    const ClipboardPicture after = ReadClipboardPicture(window_);
    ASSERT_TRUE(after);
    EXPECT_EQ(after.picture.image, picture);
  }
  EXPECT_EQ(ClipboardErrorText(ClipboardError::kBusy),
            L"The clipboard is in use by another program.\n\nTry again in a moment.");
}

TEST_F(Clipboard, ABitmapWithAPaletteReadsThroughIt) {
  // An 8-bit DIB section with a colour table of its own and a palette of
  // the same colours, as a program on a palette display offers them.
  const COLORREF colours[4] = {RGB(200, 10, 10), RGB(10, 200, 10), RGB(10, 10, 200), RGB(64, 96, 128)};
  struct {
    BITMAPINFOHEADER h;
    RGBQUAD table[256];
  } info{};
  info.h.biSize = sizeof info.h;
  info.h.biWidth = 4;
  info.h.biHeight = -2;
  info.h.biPlanes = 1;
  info.h.biBitCount = 8;
  info.h.biClrUsed = 4;
  for (int i = 0; i < 4; ++i)
    info.table[i] = RGBQUAD{GetBValue(colours[i]), GetGValue(colours[i]), GetRValue(colours[i]), 0};
  void* bits = nullptr;
  unique_hbitmap bitmap(CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits,
                                         nullptr, 0));
  ASSERT_TRUE(bitmap);
  const std::uint8_t indices[8] = {0, 1, 2, 3, 3, 2, 1, 0};
  std::memcpy(bits, indices, 4);
  std::memcpy(static_cast<std::uint8_t*>(bits) + 4, indices + 4, 4);
  struct {
    WORD version, count;
    PALETTEENTRY entries[4];
  } log{0x300, 4, {}};
  for (int i = 0; i < 4; ++i)
    log.entries[i] = PALETTEENTRY{GetRValue(colours[i]), GetGValue(colours[i]), GetBValue(colours[i]), 0};
  unique_hpalette palette(CreatePalette(reinterpret_cast<LOGPALETTE*>(&log)));
  ASSERT_TRUE(palette);

  auto got = PictureFromBitmap(bitmap.get(), palette.get());
  ASSERT_TRUE(got.ok()) << pg::ErrorText(got.error());
  ASSERT_EQ(got->image.Width(), 4);
  ASSERT_EQ(got->image.Height(), 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(got->image.GetPixel(x, y), colours[indices[y * 4 + x]]) << x << "," << y;
  EXPECT_FALSE(PictureFromBitmap(nullptr, nullptr).ok());
}

}  // namespace
}  // namespace pgw
