// Builders for the files the icon-source tests, fuzz seeds and benchmark
// need: icon images and .ico files, PE32/PE32+ images with a resource
// section, NE files, bitmap files and .pac files. Plain standard C++ with no
// project headers, so the build's fixture generator can use it as well.
//
// The builders return layouts alongside the bytes so that damage tests can
// change one named field of an otherwise valid file.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace pgtest {

using Buf = std::vector<std::uint8_t>;
using Rgb = std::uint32_t;  // 0x00BBGGRR, like a COLORREF

inline void Put16(Buf& b, std::size_t at, std::uint32_t v) {
  b[at] = static_cast<std::uint8_t>(v);
  b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void Put32(Buf& b, std::size_t at, std::uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}
inline void Add16(Buf& b, std::uint32_t v) { b.resize(b.size() + 2); Put16(b, b.size() - 2, v); }
inline void Add32(Buf& b, std::uint32_t v) { b.resize(b.size() + 4); Put32(b, b.size() - 4, v); }
inline std::uint32_t Get32(const Buf& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t{b[at + 3]} << 24);
}
inline void AlignTo(Buf& b, std::size_t unit) { b.resize((b.size() + unit - 1) / unit * unit); }

// ---- icon images and .ico files -------------------------------------------

// One icon image (BITMAPINFOHEADER with doubled height, colour rows, AND
// mask rows) of one solid colour, opaque everywhere but the top-left pixel.
// bpp 1/4/8 put the colour at palette index 1; 24 and 32 store it directly.
// `headerWidth`/`headerHeight` override what the header claims (0: w, h).
inline Buf IconDib(int w, int h, int bpp, Rgb colour) {
  Buf b;
  Add32(b, 40); Add32(b, static_cast<std::uint32_t>(w)); Add32(b, static_cast<std::uint32_t>(2 * h));
  Add16(b, 1); Add16(b, static_cast<std::uint32_t>(bpp));
  for (int i = 0; i < 6; ++i) Add32(b, 0);
  const std::uint8_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, bl = (colour >> 16) & 0xFF;
  if (bpp <= 8) {
    for (int i = 0; i < (1 << bpp); ++i) {
      const bool ours = i == 1;
      b.push_back(ours ? bl : 0); b.push_back(ours ? g : 0); b.push_back(ours ? r : 0); b.push_back(0);
    }
  }
  const std::size_t stride = (static_cast<std::size_t>(w) * bpp + 31) / 32 * 4;
  for (int y = 0; y < h; ++y) {  // bottom-up: y counts from the bottom row
    Buf row(stride, 0);
    for (int x = 0; x < w; ++x) {
      switch (bpp) {
        case 1: row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8)); break;
        case 4: row[x / 2] |= static_cast<std::uint8_t>(x % 2 ? 0x01 : 0x10); break;
        case 8: row[x] = 1; break;
        case 24: row[3 * x] = bl; row[3 * x + 1] = g; row[3 * x + 2] = r; break;
        case 32:
          row[4 * x] = bl; row[4 * x + 1] = g; row[4 * x + 2] = r;
          row[4 * x + 3] = (x == 0 && y == h - 1) ? 0 : 255;
          break;
      }
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  const std::size_t maskStride = (static_cast<std::size_t>(w) + 31) / 32 * 4;
  for (int y = 0; y < h; ++y) {
    Buf row(maskStride, 0);
    if (y == h - 1) row[0] = 0x80;  // the top-left pixel is transparent
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

struct IconImageSpec {
  int width, height, bpp;
  Rgb colour;
};

// The 14-byte entries of an RT_GROUP_ICON naming RT_ICON ids.
inline Buf GroupDir(const std::vector<IconImageSpec>& images,
                    const std::vector<std::uint16_t>& ids) {
  Buf b;
  Add16(b, 0); Add16(b, 1); Add16(b, static_cast<std::uint32_t>(images.size()));
  for (std::size_t i = 0; i < images.size(); ++i) {
    const IconImageSpec& s = images[i];
    b.push_back(static_cast<std::uint8_t>(s.width)); b.push_back(static_cast<std::uint8_t>(s.height));
    b.push_back(0); b.push_back(0);
    Add16(b, 1); Add16(b, static_cast<std::uint32_t>(s.bpp));
    Add32(b, static_cast<std::uint32_t>(IconDib(s.width, s.height, s.bpp, s.colour).size()));
    Add16(b, ids[i]);
  }
  return b;
}

inline Buf IcoFile(const std::vector<IconImageSpec>& images) {
  Buf b;
  Add16(b, 0); Add16(b, 1); Add16(b, static_cast<std::uint32_t>(images.size()));
  std::vector<Buf> dibs;
  for (const auto& s : images) dibs.push_back(IconDib(s.width, s.height, s.bpp, s.colour));
  std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * images.size());
  for (std::size_t i = 0; i < images.size(); ++i) {
    b.push_back(static_cast<std::uint8_t>(images[i].width));
    b.push_back(static_cast<std::uint8_t>(images[i].height));
    b.push_back(0); b.push_back(0);
    Add16(b, 1); Add16(b, static_cast<std::uint32_t>(images[i].bpp));
    Add32(b, static_cast<std::uint32_t>(dibs[i].size())); Add32(b, offset);
    offset += static_cast<std::uint32_t>(dibs[i].size());
  }
  for (const auto& d : dibs) b.insert(b.end(), d.begin(), d.end());
  return b;
}

// ---- bitmap files ---------------------------------------------------------

// A bitmap file of w x h pixels given top row first. bpp 24, or 8 / 1 with
// the colour table `palette` (pixels are then palette indices).
inline Buf BmpFile(int w, int h, int bpp, const std::vector<std::uint32_t>& pixels,
                   const std::vector<Rgb>& palette = {}) {
  const std::size_t stride = (static_cast<std::size_t>(w) * bpp + 31) / 32 * 4;
  const std::uint32_t dataOffset = static_cast<std::uint32_t>(14 + 40 + 4 * palette.size());
  Buf b;
  b.push_back('B'); b.push_back('M');
  Add32(b, static_cast<std::uint32_t>(dataOffset + stride * h)); Add32(b, 0); Add32(b, dataOffset);
  Add32(b, 40); Add32(b, static_cast<std::uint32_t>(w)); Add32(b, static_cast<std::uint32_t>(h));
  Add16(b, 1); Add16(b, static_cast<std::uint32_t>(bpp)); Add32(b, 0); Add32(b, 0);
  Add32(b, 2835); Add32(b, 2835); Add32(b, static_cast<std::uint32_t>(palette.size())); Add32(b, 0);
  for (Rgb c : palette) { b.push_back((c >> 16) & 0xFF); b.push_back((c >> 8) & 0xFF); b.push_back(c & 0xFF); b.push_back(0); }
  for (int y = h - 1; y >= 0; --y) {
    Buf row(stride, 0);
    for (int x = 0; x < w; ++x) {
      const std::uint32_t p = pixels[static_cast<std::size_t>(y) * w + x];
      if (bpp == 24) { row[3 * x] = (p >> 16) & 0xFF; row[3 * x + 1] = (p >> 8) & 0xFF; row[3 * x + 2] = p & 0xFF; }
      else if (bpp == 8) row[x] = static_cast<std::uint8_t>(p);
      else if (bpp == 1 && p) row[x / 8] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
    }
    b.insert(b.end(), row.begin(), row.end());
  }
  return b;
}

// A .pac file: 904 bytes of `filler`, the colour bitmap file, the mask
// bitmap file, then `trailer`.
inline Buf PacFile(const Buf& colour, const Buf& mask, std::uint8_t filler = 0, const Buf& trailer = {}) {
  Buf b(904, filler);
  b.insert(b.end(), colour.begin(), colour.end());
  b.insert(b.end(), mask.begin(), mask.end());
  b.insert(b.end(), trailer.begin(), trailer.end());
  return b;
}

// ---- PE images ------------------------------------------------------------

struct PeResource {
  std::uint32_t type;
  std::uint32_t id;         // used when name is empty
  std::u16string name;
  Buf data;
};

struct PeLayout {
  Buf bytes;
  std::size_t optionalHeader = 0;  // file offset of the optional header
  std::size_t sectionHeader = 0;   // file offset of the .rsrc section header
  std::size_t rsrc = 0;            // file offset of the resource root
  std::uint32_t rsrcRva = 0x1000;
  std::vector<std::size_t> directories;  // file offsets: root, types, names
  std::vector<std::size_t> dataEntries;  // file offsets, in directory order
};

// A DLL with one .rsrc section, its directory sorted as linkers sort it
// (per level: named entries by name, then ids ascending), one language each.
inline PeLayout BuildPe(std::vector<PeResource> res, bool pe32Plus) {
  std::stable_sort(res.begin(), res.end(), [](const PeResource& a, const PeResource& b) {
    if (a.type != b.type) return a.type < b.type;
    if (a.name.empty() != b.name.empty()) return !a.name.empty();
    return a.name.empty() ? a.id < b.id : a.name < b.name;
  });
  std::vector<std::uint32_t> types;
  for (const auto& r : res)
    if (types.empty() || types.back() != r.type) types.push_back(r.type);

  // Offsets inside the section.
  Buf s;
  auto dirHeader = [&s](std::size_t named, std::size_t ids) {
    for (int i = 0; i < 3; ++i) Add32(s, 0);
    Add16(s, static_cast<std::uint32_t>(named)); Add16(s, static_cast<std::uint32_t>(ids));
  };
  PeLayout out;
  std::vector<std::size_t> rootEntries, typeDirs, nameEntries, langDirs, langEntries;
  dirHeader(0, types.size());
  for (std::size_t i = 0; i < types.size(); ++i) { rootEntries.push_back(s.size()); Add32(s, types[i]); Add32(s, 0); }
  out.directories.push_back(0);
  for (std::uint32_t t : types) {
    std::size_t named = 0, ids = 0;
    for (const auto& r : res) if (r.type == t) (r.name.empty() ? ids : named)++;
    typeDirs.push_back(s.size());
    out.directories.push_back(s.size());
    dirHeader(named, ids);
    for (const auto& r : res) if (r.type == t) { nameEntries.push_back(s.size()); Add32(s, 0); Add32(s, 0); }
  }
  for (std::size_t i = 0; i < res.size(); ++i) {
    langDirs.push_back(s.size());
    out.directories.push_back(s.size());
    dirHeader(0, 1);
    langEntries.push_back(s.size());
    Add32(s, 0x409); Add32(s, 0);
  }
  std::vector<std::size_t> dataEntries;
  for (std::size_t i = 0; i < res.size(); ++i) { dataEntries.push_back(s.size()); for (int k = 0; k < 4; ++k) Add32(s, 0); }
  std::vector<std::size_t> names(res.size(), 0);
  for (std::size_t i = 0; i < res.size(); ++i) {
    if (res[i].name.empty()) continue;
    names[i] = s.size();
    Add16(s, static_cast<std::uint32_t>(res[i].name.size()));
    for (char16_t c : res[i].name) Add16(s, c);
  }
  std::vector<std::size_t> blobs;
  for (const auto& r : res) { AlignTo(s, 8); blobs.push_back(s.size()); s.insert(s.end(), r.data.begin(), r.data.end()); }
  // Fill in the links.
  for (std::size_t i = 0; i < types.size(); ++i) Put32(s, rootEntries[i] + 4, 0x80000000u | static_cast<std::uint32_t>(typeDirs[i]));
  for (std::size_t i = 0; i < res.size(); ++i) {
    Put32(s, nameEntries[i], res[i].name.empty() ? res[i].id : 0x80000000u | static_cast<std::uint32_t>(names[i]));
    Put32(s, nameEntries[i] + 4, 0x80000000u | static_cast<std::uint32_t>(langDirs[i]));
    Put32(s, langEntries[i] + 4, static_cast<std::uint32_t>(dataEntries[i]));
    Put32(s, dataEntries[i], out.rsrcRva + static_cast<std::uint32_t>(blobs[i]));
    Put32(s, dataEntries[i] + 4, static_cast<std::uint32_t>(res[i].data.size()));
  }
  const std::uint32_t virtualSize = static_cast<std::uint32_t>(s.size());
  AlignTo(s, 0x200);

  Buf& b = out.bytes;
  b.assign(0x200, 0);
  b[0] = 'M'; b[1] = 'Z'; Put32(b, 0x3C, 0x40);
  b[0x40] = 'P'; b[0x41] = 'E';
  const std::size_t coff = 0x44;
  const std::uint32_t optionalSize = pe32Plus ? 240 : 224;
  Put16(b, coff, pe32Plus ? 0x8664 : 0x14C);
  Put16(b, coff + 2, 1);
  Put16(b, coff + 16, optionalSize);
  Put16(b, coff + 18, 0x2022);
  out.optionalHeader = coff + 20;
  const std::size_t o = out.optionalHeader;
  Put16(b, o, pe32Plus ? 0x20B : 0x10B);
  Put32(b, o + 32, 0x1000);  // section alignment
  Put32(b, o + 36, 0x200);   // file alignment
  Put32(b, o + 56, 0x1000 + ((virtualSize + 0xFFF) & ~0xFFFu));  // size of image
  Put32(b, o + 60, 0x200);   // size of headers
  const std::size_t dirs = o + (pe32Plus ? 112 : 96);
  Put32(b, dirs - 4, 16);
  Put32(b, dirs + 16, out.rsrcRva);
  Put32(b, dirs + 20, virtualSize);
  out.sectionHeader = o + optionalSize;
  const std::size_t sh = out.sectionHeader;
  const char name[] = ".rsrc";
  for (int i = 0; i < 5; ++i) b[sh + i] = static_cast<std::uint8_t>(name[i]);
  Put32(b, sh + 8, virtualSize);
  Put32(b, sh + 12, out.rsrcRva);
  Put32(b, sh + 16, static_cast<std::uint32_t>(s.size()));
  Put32(b, sh + 20, 0x200);
  Put32(b, sh + 36, 0x40000040);
  out.rsrc = 0x200;
  b.insert(b.end(), s.begin(), s.end());
  for (auto& d : out.directories) d += out.rsrc;
  for (std::size_t d : dataEntries) out.dataEntries.push_back(d + out.rsrc);
  return out;
}

// Groups of icon images as PE resources: group k gets the RT_ICON ids
// firstIconId + running count; its own id is groupIds[k] (or the name).
struct GroupSpec {
  std::uint32_t id = 0;
  std::u16string name;
  std::vector<IconImageSpec> images;
};

inline std::vector<PeResource> IconResources(const std::vector<GroupSpec>& groups,
                                             std::uint16_t firstIconId = 1) {
  std::vector<PeResource> res;
  std::uint16_t next = firstIconId;
  for (const auto& g : groups) {
    std::vector<std::uint16_t> ids;
    for (const auto& im : g.images) {
      ids.push_back(next);
      res.push_back({3, next, u"", IconDib(im.width, im.height, im.bpp, im.colour)});
      ++next;
    }
    res.push_back({14, g.id, g.name, GroupDir(g.images, ids)});
  }
  return res;
}

// ---- NE files -------------------------------------------------------------

struct NeResource {
  std::uint16_t type;  // 3 or 14 (the 0x8000 flag is added)
  std::uint16_t id;    // used when name is empty (the 0x8000 flag is added)
  std::string name;
  Buf data;
};

struct NeLayout {
  Buf bytes;
  std::size_t ne = 0x40;        // NE header
  std::size_t table = 0;        // resource table (file offset)
  std::vector<std::size_t> nameInfos;  // file offsets of the 12-byte records
  std::size_t typeEnd = 0;      // file offset of the terminating type id 0
};

// An NE file (or .icl) holding the resources in the order given, grouped by
// type, data aligned to 1 << shift.
inline NeLayout BuildNe(const std::vector<NeResource>& res, unsigned shift = 4) {
  NeLayout out;
  Buf& b = out.bytes;
  b.assign(0x80, 0);
  b[0] = 'M'; b[1] = 'Z'; Put32(b, 0x3C, 0x40);
  b[0x40] = 'N'; b[0x41] = 'E';
  out.table = 0x80;
  Buf t;
  Add16(t, shift);
  std::vector<std::uint16_t> types;
  for (const auto& r : res)
    if (std::find(types.begin(), types.end(), r.type) == types.end()) types.push_back(r.type);
  std::vector<std::size_t> infoAt;
  std::vector<const NeResource*> order;
  for (std::uint16_t ty : types) {
    std::size_t n = 0;
    for (const auto& r : res) n += r.type == ty;
    Add16(t, 0x8000u | ty); Add16(t, static_cast<std::uint32_t>(n)); Add32(t, 0);
    for (const auto& r : res) {
      if (r.type != ty) continue;
      infoAt.push_back(t.size()); order.push_back(&r);
      for (int k = 0; k < 6; ++k) Add16(t, 0);
    }
  }
  out.typeEnd = out.table + t.size();
  Add16(t, 0);
  for (std::size_t i = 0; i < order.size(); ++i) {
    if (order[i]->name.empty()) { Put16(t, infoAt[i] + 6, 0x8000u | order[i]->id); continue; }
    Put16(t, infoAt[i] + 6, static_cast<std::uint32_t>(t.size()));
    t.push_back(static_cast<std::uint8_t>(order[i]->name.size()));
    t.insert(t.end(), order[i]->name.begin(), order[i]->name.end());
  }
  t.push_back(0);
  Put16(b, 0x40 + 0x24, static_cast<std::uint32_t>(out.table - out.ne));
  Put16(b, 0x40 + 0x26, static_cast<std::uint32_t>(out.table - out.ne + t.size()));
  b.insert(b.end(), t.begin(), t.end());
  b.push_back(0);  // empty resident-name table
  for (std::size_t i = 0; i < order.size(); ++i) {
    AlignTo(b, std::size_t{1} << shift);
    const std::size_t at = b.size();
    b.insert(b.end(), order[i]->data.begin(), order[i]->data.end());
    AlignTo(b, std::size_t{1} << shift);
    Put16(b, out.table + infoAt[i], static_cast<std::uint32_t>(at >> shift));
    Put16(b, out.table + infoAt[i] + 2, static_cast<std::uint32_t>((b.size() - at) >> shift));
  }
  for (std::size_t at : infoAt) out.nameInfos.push_back(out.table + at);
  return out;
}

inline std::vector<NeResource> NeIconResources(const std::vector<GroupSpec>& groups) {
  std::vector<NeResource> res;
  std::uint16_t next = 1;
  for (const auto& g : groups) {
    std::vector<std::uint16_t> ids;
    for (const auto& im : g.images) {
      ids.push_back(next);
      res.push_back({3, next, "", IconDib(im.width, im.height, im.bpp, im.colour)});
      ++next;
    }
    res.push_back({14, static_cast<std::uint16_t>(g.id),
                   std::string(g.name.begin(), g.name.end()), GroupDir(g.images, ids)});
  }
  return res;
}

// ---- the library the build makes with the resource compiler -------------

// Colours of the fixture icons: each image is one solid colour, so a test
// can tell which image an extraction chose.
inline constexpr Rgb kFixA16 = 0x0000C0, kFixA32x4 = 0x00C000, kFixA32x8 = 0xC00000, kFixA48 = 0x00C0C0;
inline constexpr Rgb kFixB48 = 0xC000C0;
inline constexpr Rgb kFixC16 = 0xC0C000;
inline constexpr Rgb kFixD32 = 0x204080;

// Group "ALPHA": 16x16 4-bit, 32x32 4-bit, 32x32 8-bit, 48x48 32-bit.
// Group "ZETA": only 48x48 24-bit.  Group 7: only 16x16 8-bit.
// Group 300: only 32x32 24-bit.
inline std::vector<IconImageSpec> FixtureAlpha() {
  return {{16, 16, 4, kFixA16}, {32, 32, 4, kFixA32x4}, {32, 32, 8, kFixA32x8}, {48, 48, 32, kFixA48}};
}
inline std::vector<IconImageSpec> FixtureZeta() { return {{48, 48, 24, kFixB48}}; }
inline std::vector<IconImageSpec> FixtureSeven() { return {{16, 16, 8, kFixC16}}; }
inline std::vector<IconImageSpec> Fixture300() { return {{32, 32, 24, kFixD32}}; }

}  // namespace pgtest
