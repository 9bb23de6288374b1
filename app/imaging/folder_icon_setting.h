// The shell's folder-icon override ("file,index") and how the lower slot is
// chosen from it at start, plus the "folder part of a path" rule the save
// dialog's starting folder follows. Paths are UTF-16 as Windows keeps them,
// so a backslash is always a separator (no double-byte trail-byte cases).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pg {

struct FolderIconChoice {
  enum class Kind {
    kUseFile,          // icon `index` of `file` (an index below -1 names a resource id)
    kEmptySlot,        // the index text did not convert: the lower slot starts empty
    kKeepDefault,      // no usable comma: keep the lower slot's built-in picture
    kUseShellDefault,  // no setting: icon 3 of the system folder's shell library
  };
  Kind kind = Kind::kUseShellDefault;
  std::u16string file;
  std::int32_t index = 0;

  friend bool operator==(const FolderIconChoice&, const FolderIconChoice&) = default;
};

// The longest index text after the first comma that still counts as an
// index; anything longer means the comma belongs to the path.
inline constexpr std::size_t kMaxIndexTextLength = 4;

// The shell's own folder icon in its icon library.
inline constexpr std::int32_t kShellFolderIconIndex = 3;

FolderIconChoice ChooseFolderIcon(std::u16string_view setting);

// Text to signed 32-bit integer: leading spaces, one optional sign, then
// decimal digits or "$" and hexadecimal digits, nothing else. Empty text,
// any other character or a value outside 32 bits is no number.
std::optional<std::int32_t> StrToInt(std::u16string_view text);

// The folder of a path: cut at the last backslash or colon, and drop the
// final backslash unless it follows a drive colon or another backslash
// (D:\Tools\prog.exe -> D:\Tools, D:\prog.exe -> D:\). No separator: "".
std::u16string FolderOfPath(std::u16string_view path);

}  // namespace pg
