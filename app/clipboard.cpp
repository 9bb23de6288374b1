#include "clipboard.h"

#include <cstring>
#include <cwctype>
#include <span>
#include <vector>

#include "imaging/bmp.h"
#include "win/strings.h"

namespace pgw {
namespace {

// OpenClipboard, retried while another program holds the clipboard open
// (it is meant to do so only for a moment), and CloseClipboard at the end.
class OpenedClipboard {
 public:
  OpenedClipboard(HWND owner, DWORD patienceMs) noexcept {
    const ULONGLONG deadline = GetTickCount64() + patienceMs;
    while (!(open_ = OpenClipboard(owner) != FALSE) && GetTickCount64() < deadline) Sleep(20);
  }
  ~OpenedClipboard() { if (open_) CloseClipboard(); }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  explicit operator bool() const noexcept { return open_; }

 private:
  bool open_ = false;
};

// The bytes of a clipboard block, while the guard is alive.
std::span<const std::uint8_t> BlockBytes(const GlobalLockGuard& lock) noexcept {
  if (!lock) return {};
  return {static_cast<const std::uint8_t*>(lock.get()), static_cast<std::size_t>(lock.Size())};
}

pg::Result<pg::ClipboardImage> ReadBlock(UINT format, UINT pngFormat) {
  // The block belongs to the clipboard: locked and read, never freed.
  const HANDLE data = GetClipboardData(format);
  if (!data) return pg::Error::kTruncated;
  const GlobalLockGuard lock(static_cast<HGLOBAL>(data));
  if (!lock) return pg::Error::kTruncated;
  const auto bytes = BlockBytes(lock);
  return format == pngFormat ? pg::ReadClipboardPng(bytes) : pg::ReadClipboardDib(bytes);
}

pg::Result<pg::ClipboardImage> ReadForm(UINT format, UINT pngFormat) {
  if (format != CF_BITMAP) return ReadBlock(format, pngFormat);
  const auto bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
  if (!bitmap) return pg::Error::kTruncated;
  const auto palette =
      IsClipboardFormatAvailable(CF_PALETTE) ? static_cast<HPALETTE>(GetClipboardData(CF_PALETTE)) : nullptr;
  return PictureFromBitmap(bitmap, palette);
}

void PutU32(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

ClipboardError PutClipboardPicture(HWND owner, const pg::Image& image, DWORD patienceMs) {
  const std::vector<std::uint8_t> dib = pg::ClipboardDib(image);
  unique_hglobal block(GlobalAlloc(GMEM_MOVEABLE, dib.size()));
  if (!block) return ClipboardError::kFailed;
  {
    const GlobalLockGuard lock(block.get());
    if (!lock) return ClipboardError::kFailed;
    std::memcpy(lock.get(), dib.data(), dib.size());
  }
  const OpenedClipboard clipboard(owner, patienceMs);
  if (!clipboard) return ClipboardError::kBusy;
  if (!EmptyClipboard()) return ClipboardError::kFailed;
  if (!SetClipboardData(CF_DIB, block.get())) return ClipboardError::kFailed;
  block.release();  // the clipboard's now
  return ClipboardError::kNone;
}

ClipboardPicture ReadClipboardPicture(HWND owner, DWORD patienceMs) {
  ClipboardPicture out;
  const OpenedClipboard clipboard(owner, patienceMs);
  if (!clipboard) {
    out.error = ClipboardError::kBusy;
    return out;
  }
  const UINT png = RegisterClipboardFormatW(L"PNG");
  const UINT order[] = {png, CF_DIBV5, CF_DIB, CF_BITMAP};
  out.error = ClipboardError::kNoPicture;
  for (UINT format : order) {
    if (format == 0 || !IsClipboardFormatAvailable(format)) continue;
    // The system makes CF_BITMAP of any DIB, a damaged one too (Wine gives
    // a 1x1 bitmap then): it is a form of its own only without a DIB.
    if (format == CF_BITMAP && out.error == ClipboardError::kDamaged) continue;
    auto picture = ReadForm(format, png);
    if (picture) {
      out.error = ClipboardError::kNone;
      out.detail = pg::Error::kOk;
      out.format = format;
      out.picture = std::move(*picture);
      return out;
    }
    // Keep the first refusal: the best form's reason is the one to show.
    if (out.error != ClipboardError::kDamaged) {
      out.error = ClipboardError::kDamaged;
      out.detail = picture.error();
    }
  }
  return out;
}

pg::Result<pg::ClipboardImage> PictureFromBitmap(HBITMAP bitmap, HPALETTE palette) {
  BITMAP bm{};
  if (GetObjectW(bitmap, sizeof bm, &bm) != sizeof bm) return pg::Error::kBadHeader;
  if (bm.bmWidth <= 0 || bm.bmHeight <= 0) return pg::Error::kBadImageSize;
  if (bm.bmWidth > pg::kMaxImageDimension || bm.bmHeight > pg::kMaxImageDimension ||
      std::uint64_t(bm.bmWidth) * std::uint64_t(bm.bmHeight) > pg::kMaxImagePixels)
    return pg::Error::kImageTooLarge;

  // A packed DIB of 32-bit bottom-up rows, which the core reads like any
  // other clipboard DIB.
  constexpr std::size_t kHeader = sizeof(BITMAPINFOHEADER);
  const std::size_t rowBytes = std::size_t(bm.bmWidth) * 4;
  std::vector<std::uint8_t> dib(kHeader + rowBytes * std::size_t(bm.bmHeight));
  struct {
    BITMAPINFOHEADER header;
    RGBQUAD room[256];  // GetDIBits may write a colour table or masks here
  } info{};
  info.header.biSize = kHeader;
  info.header.biWidth = bm.bmWidth;
  info.header.biHeight = bm.bmHeight;
  info.header.biPlanes = 1;
  info.header.biBitCount = 32;
  info.header.biCompression = BI_RGB;

  const WindowDc screen(nullptr);
  if (!screen.get()) return pg::Error::kUnsupported;
  HPALETTE previous = nullptr;
  if (palette) {
    previous = SelectPalette(screen.get(), palette, FALSE);
    RealizePalette(screen.get());
  }
  const int rows = GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(bm.bmHeight), dib.data() + kHeader,
                             reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  if (palette) SelectPalette(screen.get(), previous, FALSE);
  if (rows != bm.bmHeight) return pg::Error::kTruncated;

  PutU32(dib, 0, kHeader);
  PutU32(dib, 4, static_cast<std::uint32_t>(bm.bmWidth));
  PutU32(dib, 8, static_cast<std::uint32_t>(bm.bmHeight));
  PutU32(dib, 12, 1u | (32u << 16));  // planes, bit count
  // Compression BI_RGB, sizes, resolution and colour counts stay 0.
  return pg::ReadClipboardDib(dib);
}

std::wstring ClipboardErrorText(ClipboardError error, pg::Error detail) {
  switch (error) {
    case ClipboardError::kNone: return L"";
    case ClipboardError::kBusy:
      return L"The clipboard is in use by another program.\n\nTry again in a moment.";
    case ClipboardError::kNoPicture: return L"The clipboard holds no picture.";
    case ClipboardError::kDamaged: {
      std::wstring reason = Widen(pg::ErrorText(detail));
      if (!reason.empty()) reason[0] = static_cast<wchar_t>(std::towupper(reason[0]));
      return L"The picture on the clipboard cannot be read.\n\n" + reason + L".";
    }
    case ClipboardError::kFailed: return L"The picture cannot be put on the clipboard.";
  }
  return L"";
}

}  // namespace pgw
