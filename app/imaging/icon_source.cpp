// Icon sources: .ico files, PE and NE executables and libraries, bitmaps.
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
// The group tables are read when the file is opened; an icon's images are
// decoded only when that icon is extracted. The directory entries serve the
// listing only: which image fits a size is decided from the images' own
// headers, since the entries of real files are often wrong.
#include "icon_source.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "bmp.h"
#include "file_io.h"
#include "ne_resources.h"
#include "pe_resources.h"
#include "resample.h"

namespace pg {
namespace {

using Owned = std::vector<std::uint8_t>;

bool ValidSize(int size) noexcept { return size >= 1 && size <= 256; }

IconGroupInfo InfoOfImages(const std::vector<IconImage>& images) {
  IconGroupInfo info;
  for (const IconImage& im : images)
    info.entries.push_back({im.Width(), im.Height(), im.bitsPerPixel});
  return info;
}

class IcoSource final : public IconSource {
 public:
  IcoSource(std::vector<IconImage> images, Owned bytes)
      : images_(std::move(images)), bytes_(std::move(bytes)) {}
  SourceKind Kind() const noexcept override { return SourceKind::kIcoFile; }
  int Count() const noexcept override { return 1; }
  IconGroupInfo Info(int index) const override {
    return index == 0 ? InfoOfImages(images_) : IconGroupInfo{};
  }
  Result<Icon> Extract(int index, int size) const override {
    if (index != 0 || !ValidSize(size)) return Error::kNoSuchIcon;
    return ChooseIconImage(images_, size);
  }
  Result<SlotSource> ExtractSource(int index, bool small) const override {
    if (index != 0) return Error::kNoSuchIcon;
    return ReadIcoSlotSource(bytes_, small);
  }

 private:
  std::vector<IconImage> images_;
  Owned bytes_;
};

// The shell makes one opaque icon of a bitmap file, scaled to the icon size.
class BitmapSource final : public IconSource {
 public:
  BitmapSource(Image image, int bitsPerPixel) : image_(std::move(image)), bpp_(bitsPerPixel) {}
  SourceKind Kind() const noexcept override { return SourceKind::kBitmap; }
  int Count() const noexcept override { return 1; }
  IconGroupInfo Info(int index) const override {
    IconGroupInfo info;
    if (index == 0) info.entries.push_back({image_.Width(), image_.Height(), bpp_});
    return info;
  }
  Result<Icon> Extract(int index, int size) const override {
    if (index != 0 || !ValidSize(size)) return Error::kNoSuchIcon;
    return OpaqueBitmapIcon(image_, size);
  }
  Result<SlotSource> ExtractSource(int index, bool small) const override {
    if (index != 0) return Error::kNoSuchIcon;
    SlotSource source = PictureSlotSource(image_, {}, bpp_);
    source.small = small;
    return source;
  }

 private:
  Image image_;
  int bpp_;
};

struct Group {
  IconGroupInfo info;
  std::vector<std::uint16_t> iconIds;
  Error error = Error::kOk;  // a damaged table refuses only this icon
};

Group ReadGroup(const ExeResource& res) {
  Group g;
  g.info.resourceId = res.named ? 0 : res.id;
  g.info.name = res.name;
  ByteReader r(res.data);
  r.Skip(2);
  const std::uint16_t type = r.U16();
  const std::uint16_t count = r.U16();
  if (r.Failed()) { g.error = Error::kTruncated; return g; }
  if (type != 1) { g.error = Error::kBadSignature; return g; }
  if (std::uint64_t{count} * 14 > r.Remaining()) { g.error = Error::kTruncated; return g; }
  g.iconIds.reserve(count);
  g.info.entries.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    const std::uint8_t w = r.U8();
    const std::uint8_t h = r.U8();
    r.Skip(4);  // colour count, reserved, planes
    const std::uint16_t bpp = r.U16();
    r.Skip(4);  // bytes in resource: the resource's own size is what counts
    g.iconIds.push_back(r.U16());
    g.info.entries.push_back({w ? w : 256, h ? h : 256, bpp});
  }
  return g;
}

class ExeSource final : public IconSource {
 public:
  ExeSource(SourceKind kind, Owned bytes) : kind_(kind), bytes_(std::move(bytes)) {}

  // Parses the bytes this object already owns, so the resource spans stay
  // valid for its whole life.
  Error Parse() {
    const Bytes data(bytes_);
    auto res = kind_ == SourceKind::kNeImage ? ReadNeIconResources(data)
                                             : ReadPeIconResources(data);
    if (!res) return res.error();
    groups_.reserve(res->groups.size());
    for (const ExeResource& g : res->groups) groups_.push_back(ReadGroup(g));
    icons_.reserve(res->icons.size());
    for (const ExeResource& ic : res->icons) icons_.emplace_back(ic.id, ic.data);
    // Stable, so the first of two resources with one id wins.
    std::stable_sort(icons_.begin(), icons_.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
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
    if (g->error != Error::kOk) return g->error;
    if (g->iconIds.empty()) return Error::kNoImages;
    std::vector<IconImage> images;
    images.reserve(g->iconIds.size());
    Error first = Error::kOk;
    for (std::uint16_t id : g->iconIds) {
      const Bytes* data = IconData(id);
      if (!data) {
        if (first == Error::kOk) first = Error::kMissingResource;
        continue;
      }
      // One damaged or missing image leaves the others usable.
      auto im = DecodeIconImage(*data);
      if (im) images.push_back(std::move(*im));
      else if (first == Error::kOk) first = im.error();
    }
    if (images.empty()) return first;
    return ChooseIconImage(images, size);
  }

  Result<SlotSource> ExtractSource(int index, bool small) const override {
    const Group* g = Find(index);
    if (!g) return Error::kNoSuchIcon;
    if (g->error != Error::kOk) return g->error;
    std::vector<Bytes> images;
    images.reserve(g->iconIds.size());
    for (std::uint16_t id : g->iconIds)
      if (const Bytes* data = IconData(id)) images.push_back(*data);
    if (images.empty()) return g->iconIds.empty() ? Error::kNoImages : Error::kMissingResource;
    return DecodeSlotSource(images, small);
  }

 private:
  // Index i >= 0 is the i-th group; below -1, the group with id -index.
  const Group* Find(int index) const noexcept {
    if (index >= 0)
      return static_cast<std::size_t>(index) < groups_.size() ? &groups_[index] : nullptr;
    if (index == -1) return nullptr;
    const std::int64_t id = -static_cast<std::int64_t>(index);
    for (const Group& g : groups_)
      if (g.info.name.empty() && g.info.resourceId == id) return &g;
    return nullptr;
  }

  const Bytes* IconData(std::uint32_t id) const noexcept {
    auto it = std::lower_bound(icons_.begin(), icons_.end(), id,
                               [](const auto& e, std::uint32_t v) { return e.first < v; });
    return it != icons_.end() && it->first == id ? &it->second : nullptr;
  }

  SourceKind kind_;
  Owned bytes_;
  std::vector<Group> groups_;
  std::vector<std::pair<std::uint32_t, Bytes>> icons_;
};

// An icon file: reserved 0, type 1 (or the 0 that old writers left), and a
// directory the file can hold.
bool LooksLikeIco(Bytes data) noexcept {
  ByteReader r(data);
  const std::uint16_t reserved = r.U16();
  const std::uint16_t type = r.U16();
  const std::uint16_t count = r.U16();
  return !r.Failed() && reserved == 0 && type <= 1 && count >= 1 &&
         std::uint64_t{count} * 16 <= r.Remaining();
}

int BitmapBitCount(Bytes data) noexcept {
  ByteReader r(data);
  r.Seek(14);
  const std::uint32_t headerSize = r.U32();
  r.Seek(headerSize == 12 ? 24 : 28);
  const std::uint16_t bpp = r.U16();
  return r.Failed() ? 0 : bpp;
}

Result<std::unique_ptr<IconSource>> OpenOwned(Owned bytes) {
  const Bytes data(bytes);
  if (data.size() >= 2 && data[0] == 'M' && data[1] == 'Z') {
    SourceKind kind;
    switch (DetectExecutable(data)) {
      case ExeFormat::kPe32:
      case ExeFormat::kPe32Plus: kind = SourceKind::kPeImage; break;
      case ExeFormat::kNe: kind = SourceKind::kNeImage; break;
      default: return Error::kNotIconSource;  // a DOS program or another format
    }
    auto src = std::make_unique<ExeSource>(kind, std::move(bytes));
    const Error e = src->Parse();
    if (e != Error::kOk) return e;
    return std::unique_ptr<IconSource>(std::move(src));
  }
  if (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') {
    auto image = ReadBmp(data);
    if (!image) return image.error();
    return std::unique_ptr<IconSource>(
        std::make_unique<BitmapSource>(std::move(*image), BitmapBitCount(data)));
  }
  if (LooksLikeIco(data)) {
    auto images = ReadIcoImages(data);
    if (images && images->empty()) return Error::kNoImages;
    if (!images) {
      // Type 0 is too weak a signature to call a file damaged: four zero
      // bytes start many files that are no icons at all.
      if (data[2] == 0) return Error::kNotIconSource;
      return images.error();
    }
    return std::unique_ptr<IconSource>(std::make_unique<IcoSource>(std::move(*images), std::move(bytes)));
  }
  return Error::kNotIconSource;
}

}  // namespace

Icon OpaqueBitmapIcon(const Image& picture, int size) {
  assert(!picture.Empty() && "a bitmap icon needs a picture");
  Icon icon;
  icon.colour = picture.Width() == size && picture.Height() == size ? picture : Resize(picture, size, size);
  icon.mask = Image(size, size, kBlack);
  return icon;
}

Result<std::unique_ptr<IconSource>> OpenIconSource(Bytes data) {
  return OpenOwned(Owned(data.begin(), data.end()));
}

Result<std::unique_ptr<IconSource>> OpenIconSourceFile(const std::filesystem::path& path) {
  auto bytes = ReadFileBytes(path);
  if (!bytes) return bytes.error();
  return OpenOwned(std::move(*bytes));
}

std::filesystem::path MunFallbackPath(const std::filesystem::path& systemRoot,
                                      const std::filesystem::path& libraryPath) {
  std::filesystem::path name = libraryPath.filename();
  name += ".mun";
  return systemRoot / "SystemResources" / name;
}

}  // namespace pg
