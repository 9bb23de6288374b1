// Every kind of file that holds icons, behind one interface with the shell's
// extraction semantics: how many icons, icon i (large or small), or "this
// file is no icon source". A file is parsed once when it is opened; listing
// and extracting afterwards never re-reads it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "imaging/byte_reader.h"
#include "imaging/icon.h"
#include "imaging/ico_reader.h"
#include "imaging/slot_source.h"
#include "imaging/result.h"

namespace pg {

enum class SourceKind { kIcoFile, kPeImage, kNeImage, kBitmap, kPng, kCursor, kAnimatedCursor };

// Limits of the executable and library readers, beyond those of the image
// readers (ico_reader.h). No real library comes near them: the system's
// largest hold a few hundred groups of a dozen images each.
inline constexpr int kMaxIconGroups = 1 << 16;           // RT_GROUP_ICON per file
inline constexpr int kMaxIconGroupEntries = 1 << 18;     // entries of all groups together

// What one icon (group) holds, for listings: its images as their own
// headers describe them (a group's directory entries are often wrong), the
// images that cannot be read left out.
struct IconGroupInfo {
  struct Entry { int width = 0; int height = 0; int bitsPerPixel = 0; };
  std::vector<Entry> entries;
  std::uint32_t resourceId = 0;  // numeric id of the group; 0 when it is named
  std::u16string name;           // the group's name when it has one
  // Why Extract refuses this icon, as far as the group table and the
  // images' headers tell (kOk: it extracts unless the pixel data of every
  // usable image is damaged, which only decoding finds).
  Error status = Error::kOk;
};

class IconSource {
 public:
  virtual ~IconSource() = default;
  virtual SourceKind Kind() const noexcept = 0;
  // The number of icons (groups) in the file. 0 for an executable or
  // library without icon groups: the shell's "no icon", which is not the
  // same as "no icon source" (OpenIconSource failing with kNotIconSource).
  // An .ico, .cur, .ani, PNG or bitmap file always has exactly 1.
  virtual int Count() const noexcept = 0;
  // What icon `index` (0 .. Count()-1) holds, from the directory alone;
  // an empty info for any other index.
  virtual IconGroupInfo Info(int index) const = 0;
  // Icon `index`: 0.. Count()-1 in resource order, or below -1 for the group
  // whose resource id is -index (the shell's "path,-id"). `size` 32 gives
  // the large icon, 16 the small one. kNoSuchIcon for -1 and for any index
  // the file has no icon for. The image is chosen from the headers and only
  // that one is decoded; all decoding of one source shares one pixel budget
  // (kMaxIconPixelsPerFile), which a file is refused for at opening already
  // when its large and small icons could not all be decoded within it.
  virtual Result<Icon> Extract(int index, int size = kCellSize) const = 0;
  // What Extract of icon `index`'s large and then its small icon would
  // give: kOk, or the first error. The images' headers decide where they
  // vouch for the pixels (IconImageHeader::decodes); an image they cannot
  // vouch for, such as a PNG stream, is decoded as Extract would. A listing
  // of a library touches its headers, not its pixels.
  virtual Error Check(int index) const {
    for (int size : {kCellSize, kSmallSize})
      if (auto icon = Extract(index, size); !icon) return icon.error();
    return Error::kOk;
  }
  // The images of icon `index` (the same indices as Extract) that the sizes
  // beyond 32x32 are composed from, for the large icon or the small one
  // (laid at half size). A bitmap gives its whole picture. The default makes
  // the source of the extracted icon alone.
  virtual Result<SlotSource> ExtractSource(int index, bool small) const {
    auto icon = Extract(index, small ? kSmallSize : kCellSize);
    if (!icon) return icon.error();
    SlotSource source = IconSlotSource(*icon);
    source.small = small;
    return source;
  }
};

// The icon the shell makes of a bitmap: opaque everywhere; a size x size
// picture as it is, whole-number enlargements by pixel replication, any other
// size through the resampling filter. `picture` must not be empty.
Icon OpaqueBitmapIcon(const Image& picture, int size = kCellSize);

// The icon of a picture with an alpha byte per pixel: transparent where alpha
// is below kOpaqueAlpha, as in an icon's own images, and scaled like an icon;
// without alpha, OpaqueBitmapIcon. `picture` must not be empty.
Icon PictureIcon(const Image& picture, std::span<const std::uint8_t> alpha, int size);

// Opens an icon source from bytes in memory. kNotIconSource when the bytes
// are no .ico, .cur, .ani (its first frame), PNG, PE, NE or bitmap file; another error when they claim to be
// one but are damaged or pass a limit. A failed allocation is kOutOfMemory,
// here and in Extract.
Result<std::unique_ptr<IconSource>> OpenIconSource(Bytes data);

// The same for a file on disk. The kind is told by the bytes, never by the
// extension.
Result<std::unique_ptr<IconSource>> OpenIconSourceFile(const std::filesystem::path& path);

// The source of a file that a slot takes its icon from, the same for the
// command line and the window: a packed bitmap (.pac, which has no
// signature) told by its extension, in any letter case, and converted in
// memory; every other file by its content, as OpenIconSourceFile opens it.
Result<std::unique_ptr<IconSource>> OpenSlotSourceFile(const std::filesystem::path& path);

// The index of the group with resource id `idOrName` (decimal, not 0) or
// name `idOrName` (UTF-8; letters compared without case, as the resource
// compiler stores names in capitals); nothing when the source has none.
std::optional<int> FindIconGroup(const IconSource& source, std::string_view idOrName);

// Since Windows 10 the system libraries keep their icons in a resource file
// beside the system folder: %SystemRoot%\SystemResources\<file name>.mun
// (shell32.dll -> SystemResources\shell32.dll.mun), which the system serves
// in place of the library's own resources. Deciding that a library is a
// system one is up to the caller.
// What a file that is no icon source is, told from its first bytes, for the
// user who gave it: "an empty file", "a text file", "a JPEG image", ...
const char* DescribeFileKind(Bytes head) noexcept;

std::filesystem::path MunFallbackPath(const std::filesystem::path& systemRoot,
                                      const std::filesystem::path& libraryPath);

}  // namespace pg
