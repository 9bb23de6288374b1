// ".pac" files.
//
//   offset          size     field
//   0               904      not read
//   904             S1       colour image: a complete bitmap file, "BM" and
//                            its size field S1 (u32 at 906) first
//   904 + S1        S2       mask image: a complete bitmap file, size field
//                            S2 at 904 + S1 + 2
//   904 + S1 + S2   any      not read
//
// Each embedded file must lie wholly inside the .pac file and be 14 to 4096
// bytes long, and neither picture may be larger than
// kMaxPackedBitmapDimension in either direction (checked before its pixels
// are decoded). Mask pixels of pure white (0x00FFFFFF) mark transparent pixels
// of the top-left 16 x 16; those colour pixels become exactly the key colour.
// The result is always a 24-bit bitmap: written back with a colour table,
// the key colour would become the table's nearest colour and the pixels
// would no longer be transparent in the saved icon.
#include "imaging/packed_bitmap.h"

#include "imaging/bmp.h"
#include "imaging/colour.h"

namespace pg {
namespace {

constexpr std::uint64_t kColourImageOffset = 904;
constexpr std::uint32_t kMinEmbeddedSize = 14;  // the bitmap file header alone
constexpr std::uint32_t kMaxEmbeddedSize = 4096;
constexpr int kExamined = 16;

Result<Bytes> Embedded(Bytes pac, std::uint64_t offset) {
  ByteReader r(pac);
  r.Seek(offset);
  const std::uint16_t signature = r.U16();
  const std::uint32_t size = r.U32();
  if (r.Failed()) return Error::kTruncated;
  if (signature != 0x4D42) return Error::kBadSignature;  // "BM"
  if (size < kMinEmbeddedSize || size > kMaxEmbeddedSize) return Error::kBadHeader;
  const auto bytes = SubRange(pac, offset, size);
  if (!bytes) return Error::kTruncated;
  // The size decides the allocation: look at it before decoding.
  auto picture = ReadBmpSize(*bytes);
  if (!picture) return picture.error();
  if (picture->width > kMaxPackedBitmapDimension || picture->height > kMaxPackedBitmapDimension)
    return Error::kImageTooLarge;
  return *bytes;
}

}  // namespace

Result<std::vector<std::uint8_t>> ConvertPackedBitmap(Bytes pacFile) {
  const auto colourFile = Embedded(pacFile, kColourImageOffset);
  if (!colourFile) return colourFile.error();
  const auto maskFile = Embedded(pacFile, kColourImageOffset + colourFile->size());
  if (!maskFile) return maskFile.error();
  auto mask = ReadBmp(*maskFile);
  if (!mask) return mask.error();
  auto colour = ReadBmp(*colourFile);
  if (!colour) return colour.error();
  for (int y = 0; y < kExamined; ++y)
    for (int x = 0; x < kExamined; ++x)
      if (mask->GetPixel(x, y) == kWhite) colour->SetPixel(x, y, kKeyColour);
  return WriteBmp24(*colour);
}

}  // namespace pg
