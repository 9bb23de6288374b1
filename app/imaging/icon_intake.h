// The rules of getting an icon into a slot that are not about pixels: what
// a dropped file's name says about how to read it, the picker's progress
// figure, and the icon index its item captions stand for.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace pg {

// The extension of a path as the drop hands it over: from the last "." to
// the end when a "." comes after every "\" and ":", otherwise empty.
// Letter case is kept ("ICON.ICO" gives ".ICO"); a name ending in a dot
// gives the dot alone.
std::u16string ExtensionOfPath(std::u16string_view path);

// How a dropped file is read, by its extension without regard to the case
// of ASCII letters: an icon file goes straight into the slot, a packed
// bitmap is converted and offered in the picker like every other file.
enum class DropRoute { kIconFile, kPackedBitmap, kOther };
DropRoute RouteOfExtension(std::u16string_view extension);

// The gauge while the picker fills: icon i of count done, in percent,
// rounded to the nearest with halves to the even neighbour (8 icons give
// 0, 12, 25, 38, 50, 62, 75, 88). 0 for a count below 1.
int FillProgress(int i, int count) noexcept;

// The icon index an item caption stands for: a decimal integer with an
// optional sign, blanks allowed around it, within 32 bits. Nothing for
// any other text (the user may have edited the caption to anything).
std::optional<std::int32_t> ParseIconIndex(std::u16string_view caption) noexcept;

}  // namespace pg
