// The icon resources of executables and libraries: where RT_GROUP_ICON and
// RT_ICON resources lie inside the file. Both the 32/64-bit PE reader here
// and the 16-bit NE reader (ne_resources.h) produce this one description, so
// the icon source above them does not care which format it came from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/result.h"

namespace pg {

inline constexpr std::uint32_t kRtIcon = 3;
inline constexpr std::uint32_t kRtGroupIcon = 14;

// One resource as the file's directory names it. `data` points into the
// bytes that were parsed; they must outlive the description.
struct ExeResource {
  bool named = false;
  std::uint32_t id = 0;   // numeric id (0 when named)
  std::u16string name;    // the name when `named`
  Bytes data;
  // Why the resource's bytes could not be found (its data entry lies outside
  // the directory, or its bytes outside the file's sections): only the
  // groups that use it are damaged, not the file.
  Error fault = Error::kOk;
};

struct ExeIconResources {
  std::vector<ExeResource> groups;  // RT_GROUP_ICON, in directory order
  std::vector<ExeResource> icons;   // RT_ICON with numeric ids, in directory order
};

enum class ExeFormat { kNone, kDos, kPe32, kPe32Plus, kNe };

// Which executable format the bytes hold: "MZ" with the new header named by
// the word at 0x3C ("PE\0\0" + optional-header magic, or "NE"). kDos for an
// MZ file without a usable new header, kNone for anything else.
ExeFormat DetectExecutable(Bytes file) noexcept;

// The icon resources of a PE32 or PE32+ file. An image without a resource
// directory has none (success, both lists empty). Damage in the headers,
// the section table or the directory tree of the two icon types refuses the
// file; a resource whose bytes cannot be found is listed with its fault.
Result<ExeIconResources> ReadPeIconResources(Bytes file);

}  // namespace pg
