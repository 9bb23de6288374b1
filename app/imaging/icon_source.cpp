// Icon sources: .ico and .cur files, animated cursors, PE and NE executables
// and libraries, PNG and bitmap files.
//
// RT_GROUP_ICON data (the same in PE and NE files):
//   offset  size  field
//   0       2     reserved, 0
//   2       2     type, 1 = icon
//   4       2     count
//   6       14*n  entries: width (0 = 256), height, colour count, reserved,
//                 planes (u16), bit count (u16), bytes in resource (u32),
//                 RT_ICON id (u16)
//
// The group tables and every image's header are read when the file is
// opened; an icon's pixels are decoded only when that icon is extracted, and
// then only the image chosen for the size. The directory entries serve the
// listing only: which image fits a size is decided from the images' own
// headers, since the entries of real files are often wrong.
#include "imaging/icon_source.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <map>
#include <new>
#include <string_view>
#include <utility>

#include "imaging/ani.h"
#include "imaging/bmp.h"
#include "imaging/icon_intake.h"
#include "imaging/ne_resources.h"
#include "imaging/packed_bitmap.h"
#include "imaging/pe_resources.h"
#include "imaging/png.h"
#include "imaging/resample.h"
#include "imaging/utf.h"
#include "platform/file_io.h"

namespace pg {
namespace {

// The file's bytes, mapped or owned; the sources keep them, as their
// images are spans into them.
using Owned = MappedFile;

bool ValidSize(int size) noexcept { return size >= 1 && size <= 256; }

// Runs `f`, turning a failed allocation into an error value: a hostile file
// must never end the program, and the caller's state is untouched.
template <class F>
auto Guarded(F&& f) noexcept -> decltype(f()) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    return Error::kOutOfMemory;
  } catch (const std::length_error&) {
    return Error::kOutOfMemory;
  }
}

// Decoding for one source: one pixel budget for the file, and the large and
// small icons remembered when they were costly to make, so a picker that
// lists a file and then takes an icon from it decodes each image once.
class Decoder {
 public:
  Result<Icon> Extract(std::size_t group, const std::vector<IconImageRef>& images, int size) const {
    const auto key = std::make_pair(group, size);
    if (auto it = made_.find(key); it != made_.end()) return it->second;
    const std::uint64_t before = budget_;
    auto icon = DecodeBestImage(images, size, budget_);
    if (icon && size <= kCellSize && before - budget_ > kRememberAbove) made_.emplace(key, *icon);
    return icon;
  }

  // What Extract of the large and then the small icon would give, decoding
  // only where the best image's header cannot vouch for its pixels: when
  // it can, Extract decodes that image and succeeds (the budget for it was
  // checked when the file was opened).
  Error Check(std::size_t group, const std::vector<IconImageRef>& images) const {
    for (int size : {kCellSize, kSmallSize}) {
      if (const IconImageHeader* best = Best(images, size); best && best->decodes) continue;
      if (auto icon = Extract(group, images, size); !icon) return icon.error();
    }
    return Error::kOk;
  }

  // What decoding the large and small icon of every group once would cost,
  // checked against the budget when the file is opened, so that whether an
  // icon can be decoded does not depend on which were taken before it.
  static std::uint64_t Cost(const std::vector<IconImageRef>& images) {
    std::uint64_t cost = 0;
    for (int size : {kCellSize, kSmallSize})
      if (const IconImageHeader* best = Best(images, size)) cost += best->Pixels();
    return cost;
  }

 private:
  // The header of the image that serves `size`, the first of RankIconImages
  // (the first of equals, as that order keeps file order); a listing asks
  // this of every group twice, so it sorts nothing.
  static const IconImageHeader* Best(const std::vector<IconImageRef>& images, int size) {
    const auto best = std::min_element(images.begin(), images.end(), [size](const IconImageRef& a, const IconImageRef& b) {
      return ServesBefore(a.header, b.header, size);
    });
    return best == images.end() ? nullptr : &best->header;
  }

  static constexpr std::uint64_t kRememberAbove = 256 * 256;
  mutable std::uint64_t budget_ = kMaxIconPixelsPerFile;
  mutable std::map<std::pair<std::size_t, int>, Icon> made_;
};

IconGroupInfo InfoOfImages(const std::vector<IconImageRef>& images) {
  IconGroupInfo info;
  info.entries.reserve(images.size());
  for (const IconImageRef& im : images)
    info.entries.push_back({im.header.width, im.header.height, im.header.storedBits});
  return info;
}

// An .ico or .cur file, or the first frame of an animated cursor (an .ico
// or .cur file inside it).
class IcoSource final : public IconSource {
 public:
  IcoSource(SourceKind kind, Owned bytes) : kind_(kind), bytes_(std::move(bytes)) {}
  // What is wrong with the file; the source then holds its one icon as a
  // damaged one, as a damaged group of a library is listed.
  Error Parse() {
    Bytes file = bytes_.Data();
    if (kind_ == SourceKind::kAnimatedCursor) {
      auto frame = FirstAniFrame(file);
      if (!frame) return status_ = frame.error();
      file = *frame;
    }
    auto directory = ReadIcoDirectory(file, kind_ != SourceKind::kIcoFile);
    if (!directory) return status_ = directory.error();
    images_ = std::move(*directory);
    return Error::kOk;
  }
  SourceKind Kind() const noexcept override { return kind_; }
  int Count() const noexcept override { return 1; }
  IconGroupInfo Info(int index) const override {
    if (index != 0) return IconGroupInfo{};
    IconGroupInfo info = InfoOfImages(images_);
    info.status = status_;
    return info;
  }
  Result<Icon> Extract(int index, int size) const override {
    if (index != 0 || !ValidSize(size)) return Error::kNoSuchIcon;
    if (status_ != Error::kOk) return status_;
    return Guarded([&]() -> Result<Icon> { return decoder_.Extract(0, images_, size); });
  }
  Error Check(int index) const override {
    if (index != 0) return Error::kNoSuchIcon;
    if (status_ != Error::kOk) return status_;
    return Guarded([&] { return decoder_.Check(0, images_); });
  }
  Result<SlotSource> ExtractSource(int index, bool small) const override {
    if (index != 0) return Error::kNoSuchIcon;
    if (status_ != Error::kOk) return status_;
    std::vector<Bytes> images;
    images.reserve(images_.size());
    for (const IconImageRef& ref : images_) images.push_back(ref.data);
    return Guarded([&]() -> Result<SlotSource> { return DecodeSlotSource(images, small); });
  }

 private:
  SourceKind kind_;
  Owned bytes_;
  std::vector<IconImageRef> images_;
  Error status_ = Error::kOk;
  Decoder decoder_;
};

// A picture file: a bitmap, which the shell makes one opaque icon of, or a
// PNG, transparent where alpha is below kOpaqueAlpha as in an icon's own
// images; either is scaled to each size. A PNG takes a bitmap's limits, not
// an icon image's: it is a picture, not an icon.
class PictureSource final : public IconSource {
 public:
  PictureSource(SourceKind kind, Image image, std::vector<std::uint8_t> alpha, int bitsPerPixel)
      : kind_(kind), image_(std::move(image)), alpha_(std::move(alpha)), bpp_(bitsPerPixel) {}
  SourceKind Kind() const noexcept override { return kind_; }
  int Count() const noexcept override { return 1; }
  IconGroupInfo Info(int index) const override {
    IconGroupInfo info;
    if (index == 0) info.entries.push_back({image_.Width(), image_.Height(), bpp_});
    return info;
  }
  Result<Icon> Extract(int index, int size) const override {
    if (index != 0 || !ValidSize(size)) return Error::kNoSuchIcon;
    return Guarded([&]() -> Result<Icon> { return PictureIcon(image_, alpha_, size); });
  }
  Result<SlotSource> ExtractSource(int index, bool small) const override {
    if (index != 0) return Error::kNoSuchIcon;
    return Guarded([&]() -> Result<SlotSource> {
      SlotSource source = PictureSlotSource(image_, alpha_, bpp_);
      source.small = small;
      return source;
    });
  }

 private:
  SourceKind kind_;
  Image image_;
  std::vector<std::uint8_t> alpha_;  // empty: opaque
  int bpp_;
};

Result<std::unique_ptr<IconSource>> OpenPng(Bytes data) {
  auto header = png::ReadHeader(data);
  if (!header) return header.error();
  auto rgba = png::Decode(data, kMaxImageDimension, kMaxImagePixels);
  if (!rgba) return rgba.error();
  Image colour(rgba->width, rgba->height);
  std::vector<std::uint8_t> alpha(static_cast<std::size_t>(rgba->width) * static_cast<std::size_t>(rgba->height));
  const std::uint8_t* p = rgba->pixels.data();
  for (int y = 0; y < rgba->height; ++y)
    for (int x = 0; x < rgba->width; ++x, p += 4) {
      colour.SetPixel(x, y, Rgb(p[0], p[1], p[2]));
      alpha[static_cast<std::size_t>(y) * static_cast<std::size_t>(rgba->width) + static_cast<std::size_t>(x)] = p[3];
    }
  return std::unique_ptr<IconSource>(
      std::make_unique<PictureSource>(SourceKind::kPng, std::move(colour), std::move(alpha), header->bitsPerPixel));
}

struct Group {
  IconGroupInfo info;
  std::vector<IconImageRef> images;  // every entry's image; none when the group is damaged
};

// The group table: its entries for the listing and the icon ids they name.
Error ReadGroupTable(const ExeResource& res, Group& g, std::vector<std::uint16_t>& ids) {
  g.info.resourceId = res.named ? 0 : res.id;
  g.info.name = res.name;
  if (res.fault != Error::kOk) return res.fault;
  ByteReader r(res.data);
  r.Skip(2);
  const std::uint16_t type = r.U16();
  const std::uint16_t count = r.U16();
  if (r.Failed()) return Error::kTruncated;
  if (type != 1) return Error::kBadSignature;
  if (std::uint64_t{count} * 14 > r.Remaining()) return Error::kTruncated;
  if (count == 0) return Error::kNoImages;
  ids.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    // Sizes, colours, planes and bits are claims the images' own headers
    // replace; the resource's own size is what counts, not the entry's.
    r.Skip(12);
    ids.push_back(r.U16());
  }
  return Error::kOk;
}

class ExeSource final : public IconSource {
 public:
  ExeSource(SourceKind kind, Owned bytes) : kind_(kind), bytes_(std::move(bytes)) {}

  // Parses the bytes this object already owns, so the resource spans stay
  // valid for its whole life.
  Error Parse() {
    const Bytes data = bytes_.Data();
    auto res = kind_ == SourceKind::kNeImage ? ReadNeIconResources(data)
                                             : ReadPeIconResources(data);
    if (!res) return res.error();
    if (res->groups.size() > static_cast<std::size_t>(kMaxIconGroups)) return Error::kTooManyResources;

    // Every icon's header once, looked up by id; the first of two
    // resources with one id wins.
    struct IconRes {
      std::uint32_t id;
      Bytes data;
      Error fault;
      Result<IconImageHeader> header = Error::kNoImages;
      bool read = false;
    };
    std::vector<IconRes> icons;
    icons.reserve(res->icons.size());
    for (const ExeResource& ic : res->icons) icons.push_back({ic.id, ic.data, ic.fault});
    // Directories are sorted by id already (the format asks for it); only
    // one that is not pays for the sort.
    const auto byId = [](const IconRes& a, const IconRes& b) { return a.id < b.id; };
    if (!std::is_sorted(icons.begin(), icons.end(), byId)) std::stable_sort(icons.begin(), icons.end(), byId);
    const auto find = [&](std::uint32_t id) -> IconRes* {
      auto it = std::lower_bound(icons.begin(), icons.end(), id,
                                 [](const IconRes& e, std::uint32_t v) { return e.id < v; });
      return it != icons.end() && it->id == id ? &*it : nullptr;
    };

    groups_.reserve(res->groups.size());
    std::uint64_t entries = 0, cost = 0;
    std::vector<std::uint16_t> ids;
    for (const ExeResource& res1 : res->groups) {
      Group g;
      ids.clear();
      Error e = ReadGroupTable(res1, g, ids);
      entries += ids.size();
      if (entries > static_cast<std::uint64_t>(kMaxIconGroupEntries)) return Error::kTooManyResources;
      // An entry naming an image that is missing, empty, outside the file
      // or unreadable damages its group as a whole, as it does a group of
      // one image: the group's other images are a different icon from the
      // one its author made. Other groups are untouched by it.
      for (std::uint16_t id : ids) {
        if (e != Error::kOk) break;
        IconRes* icon = find(id);
        if (!icon) {
          e = Error::kMissingResource;
          break;
        }
        if (!icon->read) {
          icon->header = icon->fault != Error::kOk ? Result<IconImageHeader>(icon->fault)
                                                   : ReadIconImageHeader(icon->data);
          icon->read = true;
        }
        if (!icon->header) {
          e = icon->header.error();
          break;
        }
        g.images.push_back({*icon->header, icon->data});
      }
      if (e != Error::kOk) g.images.clear();
      g.info.status = e;
      g.info.entries = InfoOfImages(g.images).entries;
      cost += Decoder::Cost(g.images);
      groups_.push_back(std::move(g));
    }
    if (cost > kMaxIconPixelsPerFile) return Error::kTooMuchImageData;
    return Error::kOk;
  }

  SourceKind Kind() const noexcept override { return kind_; }
  int Count() const noexcept override { return static_cast<int>(groups_.size()); }
  IconGroupInfo Info(int index) const override {
    const Group* g = Find(index);
    return g ? g->info : IconGroupInfo{};
  }

  Result<Icon> Extract(int index, int size) const override {
    const Group* g = Find(index);
    if (!g || !ValidSize(size)) return Error::kNoSuchIcon;
    if (g->info.status != Error::kOk) return g->info.status;
    return Guarded([&]() -> Result<Icon> {
      return decoder_.Extract(static_cast<std::size_t>(g - groups_.data()), g->images, size);
    });
  }

  Error Check(int index) const override {
    const Group* g = Find(index);
    if (!g) return Error::kNoSuchIcon;
    if (g->info.status != Error::kOk) return g->info.status;
    return Guarded([&] { return decoder_.Check(static_cast<std::size_t>(g - groups_.data()), g->images); });
  }

  Result<SlotSource> ExtractSource(int index, bool small) const override {
    const Group* g = Find(index);
    if (!g) return Error::kNoSuchIcon;
    if (g->info.status != Error::kOk) return g->info.status;
    std::vector<Bytes> images;
    images.reserve(g->images.size());
    for (const IconImageRef& ref : g->images) images.push_back(ref.data);
    if (images.empty()) return Error::kNoImages;
    return Guarded([&]() -> Result<SlotSource> { return DecodeSlotSource(images, small); });
  }

 private:
  // Index i >= 0 is the i-th group; below -1, the group with id -index.
  const Group* Find(int index) const noexcept {
    if (index >= 0)
      return static_cast<std::size_t>(index) < groups_.size() ? &groups_[static_cast<std::size_t>(index)] : nullptr;
    if (index == -1) return nullptr;
    const std::int64_t id = -static_cast<std::int64_t>(index);
    for (const Group& g : groups_)
      if (g.info.name.empty() && g.info.resourceId == id) return &g;
    return nullptr;
  }

  SourceKind kind_;
  Owned bytes_;
  std::vector<Group> groups_;
  Decoder decoder_;
};

// An icon file: reserved 0, type 1 (or the 0 that old writers left) and at
// least one image; or a cursor file, type 2. Types 1 and 2 are signature
// enough to call a file that fails to read a damaged icon or cursor; type 0
// is not (see OpenOwned).
bool LooksLikeIco(Bytes data) noexcept {
  ByteReader r(data);
  const std::uint16_t reserved = r.U16();
  const std::uint16_t type = r.U16();
  const std::uint16_t count = r.U16();
  return !r.Failed() && reserved == 0 && type <= 2 && (type != 0 || count >= 1);
}

int BitmapBitCount(Bytes data) noexcept {
  ByteReader r(data);
  r.Seek(14);
  const std::uint32_t headerSize = r.U32();
  r.Seek(headerSize == 12 ? 24 : 28);
  const std::uint16_t bpp = r.U16();
  return r.Failed() ? 0 : bpp;
}

template <class Source>
Result<std::unique_ptr<IconSource>> Parsed(std::unique_ptr<Source> src) {
  const Error e = src->Parse();
  if (e != Error::kOk) return e;
  return std::unique_ptr<IconSource>(std::move(src));
}

Result<std::unique_ptr<IconSource>> OpenOwned(Owned bytes) {
  const Bytes data = bytes.Data();
  if (data.size() >= 2 && data[0] == 'M' && data[1] == 'Z') {
    SourceKind kind;
    switch (DetectExecutable(data)) {
      case ExeFormat::kPe32:
      case ExeFormat::kPe32Plus: kind = SourceKind::kPeImage; break;
      case ExeFormat::kNe: kind = SourceKind::kNeImage; break;
      default: return Error::kNotIconSource;  // a DOS program or another format
    }
    return Parsed(std::make_unique<ExeSource>(kind, std::move(bytes)));
  }
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    auto image = ReadBmp(data);
    if (!image) return image.error();
    return std::unique_ptr<IconSource>(
        std::make_unique<PictureSource>(SourceKind::kBitmap, std::move(*image), std::vector<std::uint8_t>{},
                                        BitmapBitCount(data)));
  }
  if (png::HasSignature(data)) return OpenPng(data);
  // An icon or cursor file that is damaged is still one: it holds one icon,
  // which is damaged, just as a library's damaged group is listed.
  if (LooksLikeAni(data)) {
    auto src = std::make_unique<IcoSource>(SourceKind::kAnimatedCursor, std::move(bytes));
    (void)src->Parse();
    return std::unique_ptr<IconSource>(std::move(src));
  }
  if (LooksLikeIco(data)) {
    const bool typeZero = data[2] == 0;
    const SourceKind kind = data[2] == 2 ? SourceKind::kCursor : SourceKind::kIcoFile;
    auto src = std::make_unique<IcoSource>(kind, std::move(bytes));
    // Type 0 is too weak a signature to call a file damaged: four zero
    // bytes start many files that are no icons at all.
    if (src->Parse() != Error::kOk && typeZero) return Error::kNotIconSource;
    return std::unique_ptr<IconSource>(std::move(src));
  }
  return Error::kNotIconSource;
}

// A source over a file that another program may shorten while it is open
// (see MappedFile): whatever the source makes of its bytes once the file
// is found shorter is dropped for "file cannot be read".
class WatchedSource final : public IconSource {
 public:
  WatchedSource(std::unique_ptr<IconSource> inner, FileWatch watch) noexcept
      : inner_(std::move(inner)), watch_(watch) {}
  SourceKind Kind() const noexcept override { return inner_->Kind(); }
  int Count() const noexcept override { return inner_->Count(); }
  // Made from the directory when the file was opened, and checked then.
  IconGroupInfo Info(int index) const override { return inner_->Info(index); }
  Result<Icon> Extract(int index, int size) const override { return Checked(inner_->Extract(index, size)); }
  Error Check(int index) const override {
    const Error verdict = inner_->Check(index);
    return watch_.Intact() ? verdict : Error::kFileUnreadable;
  }
  Result<SlotSource> ExtractSource(int index, bool small) const override {
    return Checked(inner_->ExtractSource(index, small));
  }

 private:
  template <class T>
  Result<T> Checked(Result<T> made) const {
    if (!watch_.Intact()) return Error::kFileUnreadable;
    return made;
  }

  std::unique_ptr<IconSource> inner_;
  FileWatch watch_;
};

}  // namespace

Icon OpaqueBitmapIcon(const Image& picture, int size) {
  assert(!picture.Empty() && "a bitmap icon needs a picture");
  Icon icon;
  icon.colour = picture.Width() == size && picture.Height() == size ? picture : Resize(picture, size, size);
  icon.mask = Image(size, size, kBlack);
  return icon;
}

Icon PictureIcon(const Image& picture, std::span<const std::uint8_t> alpha, int size) {
  if (alpha.empty()) return OpaqueBitmapIcon(picture, size);
  Icon icon{picture, Image(picture.Width(), picture.Height(), kBlack)};
  ApplyAlpha(icon, alpha);
  return ResizeIcon(icon, size);
}

Result<std::unique_ptr<IconSource>> OpenIconSource(Bytes data) {
  return Guarded([&] { return OpenOwned(Owned(std::vector<std::uint8_t>(data.begin(), data.end()))); });
}

Result<std::unique_ptr<IconSource>> OpenIconSourceFile(const std::filesystem::path& path) {
  return Guarded([&]() -> Result<std::unique_ptr<IconSource>> {
    auto file = MappedFile::Open(path);
    if (!file) return file.error();
    const FileWatch watch = file->Watch();
    auto source = OpenOwned(std::move(*file));
    if (!watch.Intact()) return Error::kFileUnreadable;
    if (!source || !watch.Watched()) return source;
    return std::unique_ptr<IconSource>(std::make_unique<WatchedSource>(std::move(*source), watch));
  });
}

Result<std::unique_ptr<IconSource>> OpenSlotSourceFile(const std::filesystem::path& path) {
  const auto ext = path.extension().u8string();
  const std::u16string extension = Utf16FromUtf8(std::string_view(reinterpret_cast<const char*>(ext.data()), ext.size()));
  if (RouteOfExtension(extension) != DropRoute::kPackedBitmap) return OpenIconSourceFile(path);
  return Guarded([&]() -> Result<std::unique_ptr<IconSource>> {
    auto pac = MappedFile::Open(path);
    if (!pac) return pac.error();
    auto bmp = ConvertPackedBitmap(pac->Data());
    if (!pac->Intact()) return Error::kFileUnreadable;
    if (!bmp) return bmp.error();
    return OpenIconSource(*bmp);
  });
}

std::optional<int> FindIconGroup(const IconSource& source, std::string_view idOrName) {
  std::string_view digits = idOrName;
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::uint32_t number = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  const bool numeric = ec == std::errc{} && end == digits.data() + digits.size() && !digits.empty() && number != 0;
  const auto lower = [](std::string t) {
    for (char& c : t) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return t;
  };
  const std::string wanted = lower(std::string(idOrName));
  for (int i = 0; i < source.Count(); ++i) {
    const IconGroupInfo info = source.Info(i);
    if (info.name.empty() ? numeric && info.resourceId == number : lower(Utf8FromUtf16(info.name)) == wanted)
      return i;
  }
  return std::nullopt;
}

const char* DescribeFileKind(Bytes head) noexcept {
  const auto starts = [&](std::string_view magic) {
    return head.size() >= magic.size() && std::equal(magic.begin(), magic.end(), head.begin(),
                                                     [](char a, std::uint8_t b) { return static_cast<std::uint8_t>(a) == b; });
  };
  if (head.empty()) return "an empty file";
  if (starts("MZ")) {
    switch (DetectExecutable(head)) {
      case ExeFormat::kDos: return "a DOS program or an executable of another kind";
      case ExeFormat::kNone: break;
      default: return "an executable or library without icon resources";
    }
  }
  if (starts("%PDF")) return "a PDF document";
  if (starts("PK\x03\x04")) return "a ZIP archive";
  if (starts("\x7f" "ELF")) return "an ELF program or library";
  if (starts("\xff\xd8\xff")) return "a JPEG image";
  if (starts("GIF8")) return "a GIF image";
  if (starts("\x1f\x8b")) return "a gzip archive";
  if (starts("RIFF") && head.size() >= 12 && std::string_view(reinterpret_cast<const char*>(head.data()) + 8, 4) == "WEBP")
    return "a WebP image";
  if (starts("RIFF")) return "a RIFF file of another kind";
  // Text: no control characters beyond the whitespace ones; bytes of 0x80
  // and above may be UTF-8 or a code page.
  bool text = true, allZero = true;
  for (std::uint8_t b : head.first(std::min<std::size_t>(head.size(), 4096))) {
    allZero &= b == 0;
    if (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f') text = false;
  }
  if (allZero) return "a file of nothing but zero bytes";
  if (text) return "a text file";
  return "a file of unknown kind";
}

std::filesystem::path MunFallbackPath(const std::filesystem::path& systemRoot,
                                      const std::filesystem::path& libraryPath) {
  std::filesystem::path name = libraryPath.filename();
  name += ".mun";
  return systemRoot / "SystemResources" / name;
}

}  // namespace pg
