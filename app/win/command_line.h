// The files the program was started with, as the shell's "Open with" and
// "Send to" pass them.
#pragma once

#include <string>
#include <vector>

namespace pgw {

// The program's arguments after its own name, split as the system splits
// a command line (quoted names with blanks in them stay whole), each made a
// full path against the current folder, whatever its length or script. An
// empty argument stays empty.
std::vector<std::wstring> CommandLineFiles();

// `path` made full against the current folder; `path` itself if the system
// cannot.
std::wstring FullPath(const std::wstring& path);

}  // namespace pgw
