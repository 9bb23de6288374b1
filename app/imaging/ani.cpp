// Animated cursors. All numbers little-endian.
//
//   off size field
//    0   4   "RIFF"
//    4   4   bytes that follow (form type and chunks)
//    8   4   form type "ACON"
//   12   ..  chunks: id (4 letters), size (u32), data, a pad byte when the
//            size is odd
//
//   "anih"  36 bytes: header size (36), frames, steps, width, height, bit
//           count, planes, default rate, flags (bit 0: the frames are .ico
//           or .cur files; clear: bare bitmaps)
//   "LIST"  list type (4 letters), then chunks; type "fram" holds one
//           "icon" chunk per frame, each a whole .ico or .cur file
//   "rate", "seq ", "LIST" "INFO": timing and names, not read here
//
// Every walk advances by at least a chunk header, and chunks are followed
// one level into a LIST only, so no file can make the reader loop or
// recurse; every size is checked against what its parent holds.
#include "imaging/ani.h"

#include <cstring>

namespace pg {
namespace {

struct Chunk {
  char id[4];
  Bytes data;
};

bool Is(const char (&id)[4], const char* want) noexcept { return std::memcmp(id, want, 4) == 0; }

// Calls f(chunk) for each chunk of `body`; stops at the first failure.
template <class F>
Error EachChunk(Bytes body, F&& f) {
  std::uint64_t pos = 0;
  while (pos < body.size()) {
    if (body.size() - pos < 8) return Error::kTruncated;
    ByteReader r(body, static_cast<std::size_t>(pos));
    Chunk c;
    std::memcpy(c.id, body.data() + pos, 4);
    r.Skip(4);
    const std::uint32_t size = r.U32();
    const auto data = SubRange(body, pos + 8, size);
    if (!data) return Error::kTruncated;
    c.data = *data;
    if (const Error e = f(c); e != Error::kOk) return e;
    pos += 8 + std::uint64_t{size} + (size & 1);
  }
  return Error::kOk;
}

}  // namespace

bool LooksLikeAni(Bytes data) noexcept {
  return data.size() >= 12 && std::memcmp(data.data(), "RIFF", 4) == 0 &&
         std::memcmp(data.data() + 8, "ACON", 4) == 0;
}

Result<Bytes> FirstAniFrame(Bytes file) {
  if (!LooksLikeAni(file)) return Error::kBadSignature;
  ByteReader head(file, 4);
  const std::uint32_t riffSize = head.U32();
  if (riffSize < 4) return Error::kBadHeader;
  const auto body = SubRange(file, 12, std::uint64_t{riffSize} - 4);
  if (!body) return Error::kTruncated;

  std::uint32_t frames = 0;
  bool haveHeader = false;
  std::uint64_t found = 0;  // frames present
  Bytes first;
  const Error e = EachChunk(*body, [&](const Chunk& c) {
    if (Is(c.id, "anih")) {
      ByteReader r(c.data);
      const std::uint32_t size = r.U32();
      frames = r.U32();
      r.Skip(24);  // steps, width, height, bit count, planes, rate
      const std::uint32_t flags = r.U32();
      if (r.Failed() || size < 36 || haveHeader) return Error::kBadHeader;
      if (frames == 0 || frames > kMaxAniFrames) return Error::kBadHeader;
      if (!(flags & 1)) return Error::kUnsupported;
      haveHeader = true;
    } else if (Is(c.id, "LIST") && c.data.size() >= 4 && std::memcmp(c.data.data(), "fram", 4) == 0) {
      return EachChunk(c.data.subspan(4), [&](const Chunk& f) {
        if (!Is(f.id, "icon")) return Error::kOk;
        if (found++ == 0) first = f.data;
        return Error::kOk;
      });
    }
    return Error::kOk;
  });
  if (e != Error::kOk) return e;
  if (!haveHeader) return Error::kBadHeader;
  if (found == 0) return Error::kNoImages;
  if (found < frames) return Error::kBadHeader;
  return first;
}

}  // namespace pg
