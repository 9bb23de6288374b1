// The clipboard: the composite out as a picture, a picture in from whatever
// form another program offered it in. The decoding is the core's
// (clipboard_image.h); this module opens the clipboard, takes its memory
// blocks and hands them over.
#pragma once

#include <string>

#include "imaging/clipboard_image.h"
#include "imaging/result.h"
#include "win/handles.h"

namespace pgw {

enum class ClipboardError {
  kNone,
  kBusy,       // another program kept the clipboard open
  kNoPicture,  // the clipboard holds nothing that is a picture (empty, text)
  kDamaged,    // it offers a picture, but no form of it can be read
  kFailed,     // the system refused: no memory, or it would not take the data
};

// How long OpenClipboard is retried while another program holds it open.
inline constexpr DWORD kClipboardPatienceMs = 1000;

// Empties the clipboard and puts `image` on it as CF_DIB (24 bits, every
// pixel exact, the key colour too). The system makes CF_BITMAP and
// CF_DIBV5 of it for programs that ask for those. `owner` becomes the
// clipboard's owner and must be a window of this thread.
ClipboardError PutClipboardPicture(HWND owner, const pg::Image& image,
                                   DWORD patienceMs = kClipboardPatienceMs);

struct ClipboardPicture {
  ClipboardError error = ClipboardError::kNone;
  pg::Error detail = pg::Error::kOk;  // for kDamaged: why the picture was refused
  UINT format = 0;                    // the form that was read
  pg::ClipboardImage picture;
  explicit operator bool() const noexcept { return error == ClipboardError::kNone; }
};

// The clipboard's picture, from the best form it is offered in: "PNG"
// (lossless, with real alpha), CF_DIBV5, CF_DIB, then CF_BITMAP with its
// CF_PALETTE. A form that cannot be read gives way to the next one, except
// that CF_BITMAP is not tried after a damaged DIB (the system makes it of
// the DIB); kDamaged when nothing could be read. Nothing on the clipboard
// changes.
ClipboardPicture ReadClipboardPicture(HWND owner, DWORD patienceMs = kClipboardPatienceMs);

// A device-dependent bitmap (CF_BITMAP) as a picture, its colours looked up
// in `palette` when there is one (CF_PALETTE). The bitmap must not be
// selected into a DC.
pg::Result<pg::ClipboardImage> PictureFromBitmap(HBITMAP bitmap, HPALETTE palette);

// The text of the error box for a failed copy or paste, without the caption.
std::wstring ClipboardErrorText(ClipboardError error, pg::Error detail = pg::Error::kOk);

}  // namespace pgw
