// Small files that claim to be huge: the inputs that once cost gigabytes or
// minutes. Each is a few kilobytes to a few megabytes, made when needed.
// Used by the core tests, the command-line tests (through pg_hostile_inputs)
// and the fuzz run's regression corpus.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "exe_fixtures.h"

namespace pgtest {

// Writes bits least significant first, as deflate packs them.
class BitWriter {
 public:
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
  }
  // A Huffman code: its most significant bit first.
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
  }
  Buf Finish() {
    if (used_ != 0) out_.push_back(acc_);
    return std::move(out_);
  }

 private:
  void Bit(std::uint32_t b) {
    acc_ = static_cast<std::uint8_t>(acc_ | (b << used_));
    if (++used_ == 8) { out_.push_back(acc_); acc_ = 0; used_ = 0; }
  }
  Buf out_;
  std::uint8_t acc_ = 0;
  int used_ = 0;
};

// A zlib stream that inflates to n zero bytes: one literal 0, then copies of
// 258 bytes at distance 1 (13 bits each, fixed Huffman codes).
inline Buf ZerosZlib(std::uint64_t n) {
  BitWriter w;
  w.Bits(1, 1);  // final block
  w.Bits(1, 2);  // fixed Huffman codes
  const auto literalZero = [&w] { w.Code(0x30, 8); };
  if (n > 0) {
    literalZero();
    const std::uint64_t rest = n - 1;
    for (std::uint64_t i = 0; i < rest / 258; ++i) {
      w.Code(0xC5, 8);  // length code 285: 258 bytes
      w.Code(0, 5);     // distance code 0: 1 byte back
    }
    for (std::uint64_t i = 0; i < rest % 258; ++i) literalZero();
  }
  w.Code(0, 7);  // end of block
  Buf z = {0x78, 0x01};
  const Buf body = w.Finish();
  z.insert(z.end(), body.begin(), body.end());
  const std::uint32_t adler = static_cast<std::uint32_t>(n % 65521) << 16 | 1;
  for (int s = 24; s >= 0; s -= 8) z.push_back(static_cast<std::uint8_t>(adler >> s));
  return z;
}

inline std::uint32_t Crc32(const std::uint8_t* p, std::size_t n, std::uint32_t crc = 0) {
  crc = ~crc;
  for (std::size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

inline void AddChunk(Buf& png, const char* type, const Buf& data) {
  for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<std::uint8_t>(data.size() >> s));
  const std::size_t start = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  const std::uint32_t crc = Crc32(png.data() + start, png.size() - start);
  for (int s = 24; s >= 0; s -= 8) png.push_back(static_cast<std::uint8_t>(crc >> s));
}

// A PNG of the given IHDR whose one IDAT holds `zlib`.
inline Buf Png(std::uint32_t w, std::uint32_t h, const Buf& zlib, int colourType = 6, int depth = 8,
               const std::vector<std::pair<std::string, Buf>>& extra = {}) {
  Buf png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Buf ihdr;
  for (std::uint32_t v : {w, h})
    for (int s = 24; s >= 0; s -= 8) ihdr.push_back(static_cast<std::uint8_t>(v >> s));
  ihdr.insert(ihdr.end(), {static_cast<std::uint8_t>(depth), static_cast<std::uint8_t>(colourType), 0, 0, 0});
  AddChunk(png, "IHDR", ihdr);
  for (const auto& [type, data] : extra) AddChunk(png, type.c_str(), data);
  AddChunk(png, "IDAT", zlib);
  AddChunk(png, "IEND", {});
  return png;
}

// An RGBA PNG of w x h, all zero (transparent black): a few bytes per
// thousand pixels.
inline Buf ZeroPng(std::uint32_t w, std::uint32_t h) {
  return Png(w, h, ZerosZlib(std::uint64_t{h} * (1 + std::uint64_t{w} * 4)));
}

// A group that names one icon `entries` times.
// An icon file of one image: the directory entry says w x h at 32 bits
// (0 for 256 and more), the image follows.
inline Buf SingleImageIco(const Buf& image, int w, int h) {
  Buf f;
  Add16(f, 0); Add16(f, 1); Add16(f, 1);
  f.push_back(static_cast<std::uint8_t>(w >= 256 ? 0 : w));
  f.push_back(static_cast<std::uint8_t>(h >= 256 ? 0 : h));
  f.push_back(0); f.push_back(0);
  Add16(f, 1); Add16(f, 32);
  Add32(f, static_cast<std::uint32_t>(image.size())); Add32(f, 22);
  f.insert(f.end(), image.begin(), image.end());
  return f;
}

inline Buf RepeatedGroup(std::uint16_t iconId, int entries, int size) {
  std::vector<IconImageSpec> specs(static_cast<std::size_t>(entries), IconImageSpec{size, size, 32, 0});
  return GroupDir(specs, std::vector<std::uint16_t>(static_cast<std::size_t>(entries), iconId));
}

// A library with one icon image and `groups` groups, each naming it
// `entries` times: as PE, or as NE.
inline Buf GroupBombPe(const Buf& image, int groups, int entries) {
  std::vector<PeResource> res = {{3, 1, u"", image}};
  for (int g = 0; g < groups; ++g)
    res.push_back({14, static_cast<std::uint32_t>(g + 1), u"", RepeatedGroup(1, entries, 0)});
  return BuildPe(res, true).bytes;
}
inline Buf GroupBombNe(const Buf& image, int groups, int entries) {
  std::vector<NeResource> res = {{3, 1, "", image}};
  for (int g = 0; g < groups; ++g)
    res.push_back({14, static_cast<std::uint16_t>(g + 1), "", RepeatedGroup(1, entries, 0)});
  return BuildNe(res).bytes;
}

// A PE32+ library whose two icon types hold `perType` names each, every name
// with its own empty language directory: the directories overlap in a run
// of zero bytes, so 262,140 of them take a few megabytes.
inline Buf ManyDirectoriesPe(std::uint32_t perType) {
  const std::uint32_t named = perType / 2, ids = perType - named;
  Buf s;
  const auto header = [&s](std::uint32_t n, std::uint32_t i) {
    for (int k = 0; k < 3; ++k) Add32(s, 0);
    Add16(s, n);
    Add16(s, i);
  };
  header(0, 2);
  Add32(s, 3); Add32(s, 0);   // RT_ICON -> type directory, filled in below
  Add32(s, 14); Add32(s, 0);  // RT_GROUP_ICON
  const std::size_t nameAt = s.size();
  Add16(s, 1); Add16(s, 'A');
  AlignTo(s, 4);
  std::vector<std::size_t> typeDirs, entryStarts;
  for (int t = 0; t < 2; ++t) {
    typeDirs.push_back(s.size());
    header(named, ids);
    entryStarts.push_back(s.size());
    s.resize(s.size() + 8 * std::size_t{perType});
  }
  const std::size_t zeros = s.size();
  s.resize(zeros + 2 * std::size_t{perType} + 16, 0);
  Put32(s, 16 + 4, 0x80000000u | static_cast<std::uint32_t>(typeDirs[0]));
  Put32(s, 16 + 12, 0x80000000u | static_cast<std::uint32_t>(typeDirs[1]));
  std::uint32_t next = static_cast<std::uint32_t>(zeros);
  for (int t = 0; t < 2; ++t)
    for (std::uint32_t i = 0; i < perType; ++i) {
      const std::size_t e = entryStarts[static_cast<std::size_t>(t)] + 8 * std::size_t{i};
      Put32(s, e, i < named ? 0x80000000u | static_cast<std::uint32_t>(nameAt) : i - named + 1);
      Put32(s, e + 4, 0x80000000u | next++);
    }
  AlignTo(s, 0x200);
  // The headers of a library without resources, then this section.
  PeLayout pe = BuildPe({}, true);
  pe.bytes.resize(pe.rsrc);
  pe.bytes.insert(pe.bytes.end(), s.begin(), s.end());
  const auto size = static_cast<std::uint32_t>(s.size());
  Put32(pe.bytes, pe.sectionHeader + 8, size);
  Put32(pe.bytes, pe.sectionHeader + 16, size);
  Put32(pe.bytes, pe.optionalHeader + 112 + 20, size);
  Put32(pe.bytes, pe.optionalHeader + 56, 0x1000 + ((size + 0xFFF) & ~0xFFFu));
  return pe.bytes;
}

// A bitmap file of a few dozen bytes that claims w x h 8-bit pixels in
// run-length data that ends at once.
inline Buf RleBomb(std::uint32_t w, std::uint32_t h) {
  Buf b = {'B', 'M'};
  Add32(b, 0); Add32(b, 0); Add32(b, 14 + 40 + 4);
  Add32(b, 40); Add32(b, w); Add32(b, h); Add16(b, 1); Add16(b, 8);
  Add32(b, 1);  // BI_RLE8
  Add32(b, 2); Add32(b, 0); Add32(b, 0); Add32(b, 1); Add32(b, 0);
  Add32(b, 0x00FF8040);   // one colour
  b.push_back(0); b.push_back(1);  // end of bitmap
  Put32(b, 2, static_cast<std::uint32_t>(b.size()));
  return b;
}

}  // namespace pgtest
