// Clipboard blocks: the same bytes as CF_DIB/CF_DIBV5 and as "PNG", and the
// icon a paste makes of whatever decodes (small pictures only, so that the
// resampler's time does not hide the decoders' coverage).
#include <cstddef>
#include <cstdint>

#include "imaging/clipboard_image.h"

namespace {

void Paste(const pg::Result<pg::ClipboardImage>& picture) {
  if (!picture.ok()) return;
  const pg::Image& im = picture->image;
  if (std::uint64_t(im.Width()) * std::uint64_t(im.Height()) <= 256 * 256) (void)pg::PastedIcon(*picture);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const pg::Bytes bytes(data, size);
  Paste(pg::ReadClipboardDib(bytes));
  Paste(pg::ReadClipboardPng(bytes));
  return 0;
}
