// Icon files as the shell finds them.
#pragma once

#include <memory>
#include <string>

#include "imaging/icon_source.h"
#include "imaging/result.h"

namespace pgw {

// The system folder (GetSystemDirectory) with leading and trailing blanks
// and control characters trimmed.
std::wstring SystemFolder();

// Opens an icon source the way the shell's icon extraction sees it. Since
// Windows 10 the libraries of the system folder keep their icons in
// %SystemRoot%\SystemResources\<name>.mun and the library itself has none
// left; a library of the system folder with such a file is read from it, so
// "shell32.dll,3" means the same folder icon it always did.
pg::Result<std::unique_ptr<pg::IconSource>> OpenIconFile(const std::wstring& path);

}  // namespace pgw
