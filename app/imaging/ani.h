// Animated cursors (.ani): a RIFF file whose frames are whole .ico or .cur
// files. Private to the icon sources, which take the first frame.
#pragma once

#include <cstdint>

#include "imaging/byte_reader.h"
#include "imaging/result.h"

namespace pg {

// More frames than any animation has; a count beyond it is damage.
inline constexpr std::uint32_t kMaxAniFrames = 1 << 16;

// True when `data` starts as a RIFF file of form "ACON".
bool LooksLikeAni(Bytes data) noexcept;

// The bytes of the first frame (an .ico or .cur file, inside `file`).
// kTruncated when a chunk claims more than the file holds, kBadHeader for a
// missing or impossible "anih" header (no frames, a frame count beyond
// kMaxAniFrames, or more frames claimed than the file has), kUnsupported for
// frames stored as bare bitmaps, kNoImages when no frame is there.
Result<Bytes> FirstAniFrame(Bytes file);

}  // namespace pg
