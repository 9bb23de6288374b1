// Errors are values in the core: one enum with a text, carried by Result<T>.
// No exceptions cross a codec API and there is no global "last error".
#pragma once

#include <cassert>
#include <utility>
#include <variant>

namespace pg {

enum class Error {
  kOk = 0,
  // Files on disk.
  kFileNotFound,
  kFileUnreadable,
  kFileTooLarge,
  kFileWriteFailed,
  kFileReadOnly,       // the target is marked read-only
  kNotAFile,           // the target is a folder or a device, not a file
  kIsFolder,           // the file to read is a folder
  // Structure of any format.
  kTruncated,          // a field or block runs past the end of the data
  kBadSignature,       // magic number / type word is not what the format needs
  kBadHeader,          // a header field holds an impossible value
  kUnsupported,        // a valid variant this reader does not handle
  kImageTooLarge,      // dimensions above the reader's limits
  kTooMuchImageData,   // the images of one file together pass the decoding budget
  kBadImageSize,       // width or height 0, or header disagrees with its entry
  kBadPalette,         // colour table too large or reaching past the data
  kBadPaletteIndex,    // a pixel names a colour the table does not have
  kBadCompression,     // RLE stream runs past its row or image
  kBadPng,             // the embedded PNG stream cannot be decoded
  kNoImages,           // an icon directory or group without images
  // Resources of executables.
  kBadResourceDirectory,  // loops, nests too deep, or points outside the file
  kBadSectionTable,       // an RVA that lies in no section
  kMissingResource,       // a group names an icon that does not exist
  kTooManyResources,      // more icon groups or entries than the readers' limits
  // Icon sources.
  kNotIconSource,      // the file is no icon file, executable, library or bitmap
  kNoSuchIcon,         // index outside the file's icons
  // Anywhere.
  kOutOfMemory,        // an allocation failed; nothing was changed
};

// A short English sentence for the user, without a trailing full stop.
const char* ErrorText(Error e) noexcept;

template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : v_(std::move(value)) {}  // NOLINT: implicit by design
  Result(Error e) : v_(e) {                   // NOLINT: implicit by design
    assert(e != Error::kOk && "a failed Result needs a real error");
  }

  bool ok() const noexcept { return std::holds_alternative<T>(v_); }
  explicit operator bool() const noexcept { return ok(); }
  Error error() const noexcept { return ok() ? Error::kOk : std::get<Error>(v_); }

  T& value() & { assert(ok()); return std::get<T>(v_); }
  const T& value() const& { assert(ok()); return std::get<T>(v_); }
  T&& value() && { assert(ok()); return std::get<T>(std::move(v_)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  T& operator*() & { return value(); }
  const T& operator*() const& { return value(); }

 private:
  std::variant<T, Error> v_;
};

}  // namespace pg
