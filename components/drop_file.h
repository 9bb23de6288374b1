// TDropFile: lets its owner's window take files dragged from the shell and
// turns one drop message into three plain values, the first dropped file's
// full name, that name's extension and the drop point. Of a drop of several
// files only the first counts.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>

class TDropFile {
 public:
  explicit TDropFile(HWND owner = nullptr) noexcept : owner_(owner) {}
  TDropFile(const TDropFile&) = delete;
  TDropFile& operator=(const TDropFile&) = delete;

  void SetOwner(HWND owner) noexcept { owner_ = owner; }

  // Registers the owner's window as a drop target. The registration
  // belongs to that one window; call it again for a window made anew.
  bool AcceptFiles() noexcept;

  // Reads a WM_DROPFILES message (its word parameter is the shell's drop
  // handle), fills the three values and releases the drop. The name is read
  // whole, whatever its length or script.
  bool ReadDrop(UINT msg, WPARAM wp, LPARAM lp);

  std::wstring FileName;  // the full path of the first dropped file
  std::wstring FileExt;   // its extension with the dot, or empty
  POINT DropPoint{};      // in the owner's client coordinates

 private:
  HWND owner_;
};
