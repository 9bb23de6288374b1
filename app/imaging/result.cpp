#include "imaging/result.h"

namespace pg {

const char* ErrorText(Error e) noexcept {
  switch (e) {
    case Error::kOk: return "no error";
    case Error::kFileNotFound: return "file not found";
    case Error::kFileUnreadable: return "file cannot be read";
    case Error::kFileTooLarge: return "file is too large";
    case Error::kFileWriteFailed: return "file cannot be written";
    case Error::kFileReadOnly: return "file is read-only";
    case Error::kNotAFile: return "name belongs to a folder or device, not a file";
    case Error::kIsFolder: return "is a folder, not a file";
    case Error::kTruncated: return "data is truncated";
    case Error::kBadSignature: return "not a file of the expected format";
    case Error::kBadHeader: return "header holds an impossible value";
    case Error::kUnsupported: return "format variant is not supported";
    case Error::kImageTooLarge: return "image is larger than the size limit";
    case Error::kTooMuchImageData: return "images of the file are too large together";
    case Error::kBadImageSize: return "image size is invalid or disagrees with its header";
    case Error::kBadPalette: return "colour table is invalid";
    case Error::kBadPaletteIndex: return "a pixel refers to a colour the table does not hold";
    case Error::kBadCompression: return "compressed pixel data is damaged";
    case Error::kBadPng: return "PNG image data is damaged";
    case Error::kNoImages: return "icon holds no images";
    case Error::kBadResourceDirectory: return "resource directory is damaged";
    case Error::kBadSectionTable: return "resource lies outside the file's sections";
    case Error::kTooManyResources: return "file holds more icons than the limit";
    case Error::kMissingResource: return "icon group names an image that does not exist";
    case Error::kNotIconSource: return "file holds no icons";
    case Error::kNoSuchIcon: return "file has no icon with that index";
    case Error::kOutOfMemory: return "not enough memory";
  }
  return "unknown error";
}

}  // namespace pg
