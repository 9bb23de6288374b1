// NE resource tables.
//
//   file offset        size  field
//   0                  2     "MZ"
//   0x3C               4     offset of the NE header
//   ne + 0             2     "NE"
//   ne + 0x24          2     resource table, relative to the NE header
//   ne + 0x26          2     resident-name table: where the resource table ends
//
// Resource table (offsets of names relative to its start):
//   u16 rscAlignShift
//   type records until a typeID of 0:
//     u16 typeID (0x8000 | number, else offset of a name), u16 count,
//     u32 reserved, then count name records of 12 bytes:
//       u16 rnOffset, u16 rnLength (both in units of 1 << shift), u16 flags,
//       u16 rnID (0x8000 | number, else offset of a name), u16 handle,
//       u16 usage
//   names: u8 length + that many characters, until a length of 0
//
// Resource data lies at rnOffset << shift for rnLength << shift bytes,
// clamped to the file: linkers round the last resource up to a whole unit.
#include "imaging/ne_resources.h"

#include <algorithm>

namespace pg {
namespace {

constexpr std::uint16_t kNeNumeric = 0x8000;
constexpr std::size_t kNameInfoSize = 12;

// A resource name: a length byte and that many 8-bit characters, inside the
// resource table.
Result<std::u16string> ReadName(Bytes table, std::uint16_t offset) {
  ByteReader r(table);
  r.Seek(offset);
  const std::uint8_t length = r.U8();
  const Bytes chars = r.Take(length);
  if (r.Failed()) return Error::kBadResourceDirectory;
  std::u16string name(chars.begin(), chars.end());
  return name;
}

}  // namespace

Result<ExeIconResources> ReadNeIconResources(Bytes file) {
  ByteReader mz(file);
  if (mz.U16() != 0x5A4D) return Error::kBadSignature;
  mz.Seek(0x3C);
  const std::uint32_t ne = mz.U32();
  if (mz.Failed()) return Error::kTruncated;
  ByteReader h(file);
  h.Seek(ne);
  if (h.U16() != 0x454E) return h.Failed() ? Error::kTruncated : Error::kBadSignature;
  h.Seek(std::uint64_t{ne} + 0x24);
  const std::uint16_t tableOffset = h.U16();
  const std::uint16_t residentNames = h.U16();
  if (h.Failed()) return Error::kTruncated;

  ExeIconResources out;
  // Both offsets equal: the file has no resources.
  if (tableOffset == residentNames) return out;
  const std::uint64_t tableStart = std::uint64_t{ne} + tableOffset;
  if (tableStart >= file.size()) return Error::kBadResourceDirectory;
  std::uint64_t tableEnd = file.size();
  if (residentNames > tableOffset)
    tableEnd = std::min<std::uint64_t>(tableEnd, std::uint64_t{ne} + residentNames);
  const Bytes table = *SubRange(file, tableStart, tableEnd - tableStart);

  ByteReader r(table);
  const std::uint16_t shift = r.U16();
  if (r.Failed()) return Error::kBadResourceDirectory;
  if (shift > kMaxNeAlignShift) return Error::kBadHeader;

  for (;;) {
    const std::uint16_t typeId = r.U16();
    if (r.Failed()) return Error::kBadResourceDirectory;  // no terminating 0
    if (typeId == 0) break;
    const std::uint16_t count = r.U16();
    r.Skip(4);
    if (r.Failed() || std::uint64_t{count} * kNameInfoSize > r.Remaining())
      return Error::kBadResourceDirectory;
    const std::uint16_t type = typeId & 0x7FFF;
    std::vector<ExeResource>* list = nullptr;
    if (typeId & kNeNumeric) {
      if (type == kRtIcon) list = &out.icons;
      else if (type == kRtGroupIcon) list = &out.groups;
    }
    if (list) list->reserve(list->size() + count);
    for (std::uint16_t i = 0; i < count; ++i) {
      const std::uint16_t rnOffset = r.U16();
      const std::uint16_t rnLength = r.U16();
      r.Skip(2);  // flags
      const std::uint16_t rnId = r.U16();
      r.Skip(4);  // handle, usage
      if (!list) continue;
      ExeResource res;
      if (rnId & kNeNumeric) {
        res.id = rnId & 0x7FFF;
      } else {
        if (list == &out.icons) continue;  // groups name their icons by number
        auto name = ReadName(table, rnId);
        if (!name) return name.error();
        res.named = true;
        res.name = std::move(*name);
      }
      const std::uint64_t offset = std::uint64_t{rnOffset} << shift;
      const std::uint64_t length = std::uint64_t{rnLength} << shift;
      if (offset < file.size())
        res.data = file.subspan(static_cast<std::size_t>(offset),
                                static_cast<std::size_t>(std::min<std::uint64_t>(
                                    length, file.size() - offset)));
      list->push_back(std::move(res));
    }
    if (r.Failed()) return Error::kBadResourceDirectory;
  }
  return out;
}

}  // namespace pg
