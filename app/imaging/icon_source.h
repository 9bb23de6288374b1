// Every kind of file that holds icons, behind one interface with the shell's
// extraction semantics: how many icons, icon i (large or small), or "this
// file is no icon source". A file is parsed once when it is opened; listing
// and extracting afterwards never re-reads it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "byte_reader.h"
#include "icon.h"
#include "ico_reader.h"
#include "result.h"

namespace pg {

enum class SourceKind { kIcoFile, kPeImage, kNeImage, kBitmap };

// What one icon (group) holds, for listings.
struct IconGroupInfo {
  struct Entry { int width = 0; int height = 0; int bitsPerPixel = 0; };
  std::vector<Entry> entries;
  std::uint32_t resourceId = 0;  // numeric id of the group; 0 when it is named
  std::u16string name;           // the group's name when it has one
};

class IconSource {
 public:
  virtual ~IconSource() = default;
  virtual SourceKind Kind() const noexcept = 0;
  // The number of icons (groups) in the file; at least 1.
  virtual int Count() const noexcept = 0;
  virtual IconGroupInfo Info(int index) const = 0;
  // Icon `index`: 0.. Count()-1 in resource order, or below -1 for the group
  // whose resource id is -index (the shell's "path,-id"). `size` 32 gives
  // the large icon, 16 the small one.
  virtual Result<Icon> Extract(int index, int size = kCellSize) const = 0;
};

// Opens an icon source from bytes in memory. kNotIconSource when the bytes
// are no .ico, PE, NE or bitmap file; another error when they claim to be
// one but are damaged.
Result<std::unique_ptr<IconSource>> OpenIconSource(Bytes data);

// The same for a file on disk.
Result<std::unique_ptr<IconSource>> OpenIconSourceFile(const std::filesystem::path& path);

}  // namespace pg
