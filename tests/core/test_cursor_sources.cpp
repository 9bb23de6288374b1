// Cursors, animated cursors and PNG files as icon sources: each told by its
// content, and each kind of damage refused with its error.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "imaging/ico_reader.h"
#include "imaging/icon_source.h"
#include "image_fixtures.h"

namespace pg {
namespace {

using namespace fixtures;

Bytes View(const ByteVec& b) { return Bytes(b.data(), b.size()); }

ByteVec Cursor(std::uint32_t rgb) {
  ByteVec cur = MakeIcoFile({{MakeIconDib(32, 32, 24, [=](int, int) { return rgb; },
                                          [](int x, int) { return x >= 16; })}},
                            2);
  PokeU16(cur, 10, 17);   // the hot spot, where an icon keeps planes
  PokeU16(cur, 12, 400);  // and bits
  return cur;
}

void Chunk(ByteVec& b, const char* id, const ByteVec& data) {
  b.insert(b.end(), id, id + 4);
  PutU32(b, static_cast<std::uint32_t>(data.size()));
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() % 2) b.push_back(0);
}

ByteVec Ani(const std::vector<ByteVec>& frames, std::uint32_t claimed, std::uint32_t flags = 1) {
  ByteVec anih;
  for (std::uint32_t v : {36u, claimed, claimed, 0u, 0u, 0u, 0u, 10u, flags}) PutU32(anih, v);
  ByteVec fram = {'f', 'r', 'a', 'm'};
  for (const ByteVec& f : frames) Chunk(fram, "icon", f);
  ByteVec body = {'A', 'C', 'O', 'N'};
  Chunk(body, "anih", anih);
  Chunk(body, "LIST", fram);
  ByteVec file = {'R', 'I', 'F', 'F'};
  PutU32(file, static_cast<std::uint32_t>(body.size()));
  return Concat(file, body);
}

TEST(CursorSources, CursorsAnimatedCursorsAndPngFilesEachGiveOneIcon) {
  const std::uint32_t red = 0xC80A14, blue = 0x0A14C8;
  const ByteVec cur = Cursor(red);
  const ByteVec png = MakePng(48, 48, [](int x, int) { return x < 24 ? 0xFFC80A14u : 0x7FC80A14u; });
  struct Case {
    const char* what;
    ByteVec bytes;
    SourceKind kind;
  } cases[] = {
      {"cursor", cur, SourceKind::kCursor},
      {"animated cursor: the first frame", Ani({cur, Cursor(blue), Cursor(blue)}, 3), SourceKind::kAnimatedCursor},
      {"PNG with alpha, scaled down to 32", png, SourceKind::kPng},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto src = OpenIconSource(View(c.bytes));
    ASSERT_TRUE(src.ok()) << ErrorText(src.error());
    EXPECT_EQ((*src)->Kind(), c.kind);
    EXPECT_EQ((*src)->Count(), 1);
    for (int size : {32, 16}) {
      auto icon = (*src)->Extract(0, size);
      ASSERT_TRUE(icon.ok());
      ASSERT_EQ(icon->Width(), size);
      EXPECT_EQ(icon->colour.GetPixel(2, 2), Rgb(200, 10, 20));
      EXPECT_EQ(icon->mask.GetPixel(2, 2), kBlack);
      EXPECT_EQ(icon->mask.GetPixel(size - 2, 2), kWhite);
    }
    auto slot = (*src)->ExtractSource(0, false);
    ASSERT_TRUE(slot.ok());
    EXPECT_FALSE(slot->Empty());
  }
  // Where an icon file is expected (a dropped .ico), a cursor stays refused.
  EXPECT_EQ(ReadIcoFile(View(cur)).error(), Error::kBadSignature);
}

TEST(CursorSources, DamagedCursorsAnimatedCursorsAndPngFilesAreRefused) {
  const ByteVec frame = MakeIcoFile({{MakeIconDib(32, 32, 24, [](int, int) { return 0x123456u; },
                                                  [](int, int) { return false; })}});
  const ByteVec good = Ani({frame, frame}, 2);
  const auto poke = [&](std::size_t at, std::uint32_t v) {
    ByteVec b = good;
    PokeU32(b, at, v);
    return b;
  };
  const std::size_t anihSize = 16, anihFrames = 24, anihFlags = 52, listSize = 60, iconSize = 72;
  ByteVec noAnih = good;
  std::memcpy(&noAnih[12], "junk", 4);
  const ByteVec cursor = Cursor(0);
  ByteVec png = MakePng(8, 8, [](int, int) { return 0xFF000000u; });
  ByteVec hugePng = png;
  hugePng[16] = 0x01;  // width 16,777,224: beyond a picture's limits
  struct Case {
    const char* what;
    ByteVec bytes;
    Error error;
  } cases[] = {
      {"RIFF size past the end", poke(4, 0x7FFFFFF0), Error::kTruncated},
      {"chunk size past the end", poke(anihSize, 0xFFFFFF00), Error::kTruncated},
      {"a chunk whose size wraps back onto itself", poke(listSize, 0xFFFFFFF8), Error::kTruncated},
      {"frame chunk past its list", poke(iconSize, static_cast<std::uint32_t>(good.size())), Error::kTruncated},
      {"frame count that overflows", poke(anihFrames, 0xFFFFFFFF), Error::kBadHeader},
      {"more frames claimed than present", poke(anihFrames, 3), Error::kBadHeader},
      {"no frames claimed", poke(anihFrames, 0), Error::kBadHeader},
      {"no anih header", noAnih, Error::kBadHeader},
      {"frames as bare bitmaps", poke(anihFlags, 0), Error::kUnsupported},
      {"no frames", Ani({}, 1), Error::kNoImages},
      {"a damaged frame", Ani({ByteVec(frame.begin(), frame.begin() + 100)}, 1), Error::kTruncated},
      {"cursor cut short", ByteVec(cursor.begin(), cursor.begin() + 200), Error::kTruncated},
      {"PNG file cut short", ByteVec(png.begin(), png.begin() + 40), Error::kBadPng},
      {"PNG file beyond the limits", hugePng, Error::kImageTooLarge},
  };
  // A damaged cursor or animated cursor is still one: its one icon is
  // damaged, as a library's damaged group is. A PNG file is a picture and
  // is refused.
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto src = OpenIconSource(View(c.bytes));
    if (!src) {
      EXPECT_EQ(src.error(), c.error);
      continue;
    }
    EXPECT_NE((*src)->Kind(), SourceKind::kPng);
    ASSERT_EQ((*src)->Count(), 1);
    EXPECT_EQ((*src)->Info(0).status, c.error);
    EXPECT_EQ((*src)->Check(0), c.error);
    EXPECT_EQ((*src)->Extract(0).error(), c.error);
  }
  ASSERT_TRUE(OpenIconSource(View(good)).ok());
}

}  // namespace
}  // namespace pg
