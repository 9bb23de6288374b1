// The program's own resources.
#pragma once

#include "imaging/byte_reader.h"
#include "handles.h"

namespace pgw {

// The bytes of an RCDATA resource of this program, or an empty span when it
// has none of that name. The bytes live as long as the program.
inline pg::Bytes RcData(const wchar_t* name) noexcept {
  const HMODULE self = GetModuleHandleW(nullptr);
  HRSRC res = FindResourceW(self, name, MAKEINTRESOURCEW(10) /* RT_RCDATA */);
  if (!res) return {};
  HGLOBAL loaded = LoadResource(self, res);
  const void* data = loaded ? LockResource(loaded) : nullptr;
  if (!data) return {};
  return pg::Bytes(static_cast<const std::uint8_t*>(data), SizeofResource(self, res));
}

}  // namespace pgw
