// PE32 / PE32+ resource directories, as far as icons need them.
//
//   file offset          size  field
//   0                    2     "MZ"
//   0x3C                 4     e_lfanew: offset of the PE signature
//   e_lfanew             4     "PE\0\0"
//   +4                   20    COFF header: machine, NumberOfSections (+2),
//                              SizeOfOptionalHeader (+16)
//   +24                  var   optional header: magic 0x10B (PE32) or 0x20B
//                              (PE32+); NumberOfRvaAndSizes at +92 / +108,
//                              data directories (RVA, size) from +96 / +112;
//                              directory 2 is the resource directory
//   +24+SizeOfOptHdr     40*n  section table: VirtualSize (+8),
//                              VirtualAddress (+12), SizeOfRawData (+16),
//                              PointerToRawData (+20)
//
// The resource tree, all offsets relative to its root:
//   directory  16 bytes: ..., NumberOfNamedEntries (+12), NumberOfIdEntries
//              (+14); then 8-byte entries, named ones first, each
//              Name (bit 31: offset of a UTF-16 name = u16 length + chars;
//              else the id) and OffsetToData (bit 31: a subdirectory; else
//              a data entry)
//   data entry 16 bytes: RVA, Size, CodePage, Reserved
// Levels: type (RT_ICON 3, RT_GROUP_ICON 14), name, language. Only the first
// language of each resource is used.
//
// Hostile files: the tree is walked at most three levels deep and a
// directory that is reached twice refuses the file, so a self- or ancestor-
// pointing entry cannot loop and no directory is read twice; the visited
// offsets are kept in a hash set, so the walk stays linear in the number of
// directories however many a file holds; entry counts are checked against
// the bytes the resource section holds before any entry is read; of a
// language directory only the first entry is read; every RVA goes through
// MapRva(), the one place that turns it into file bytes.
#include "imaging/pe_resources.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace pg {
namespace {

constexpr std::uint16_t kMagicPe32 = 0x10B;
constexpr std::uint16_t kMagicPe32Plus = 0x20B;
constexpr std::uint32_t kResourceDirectoryIndex = 2;
constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::size_t kDirectoryHeaderSize = 16;
constexpr std::size_t kDirectoryEntrySize = 8;
constexpr std::size_t kDataEntrySize = 16;
constexpr std::size_t kSectionHeaderSize = 40;

struct Section {
  std::uint32_t virtualAddress = 0;
  std::uint32_t virtualSize = 0;
  std::uint32_t rawSize = 0;
  std::uint32_t rawOffset = 0;
};

struct PeLayout {
  std::uint16_t magic = 0;
  std::uint32_t resourceRva = 0;
  std::uint32_t resourceSize = 0;
  std::vector<Section> sections;
};

std::optional<std::uint32_t> NewHeaderOffset(Bytes file) noexcept {
  ByteReader r(file);
  if (r.U16() != 0x5A4D) return std::nullopt;  // "MZ"
  r.Seek(0x3C);
  const std::uint32_t offset = r.U32();
  if (r.Failed()) return std::nullopt;
  return offset;
}

Result<PeLayout> ReadLayout(Bytes file) {
  const auto peOffset = NewHeaderOffset(file);
  if (!peOffset) return Error::kBadSignature;
  ByteReader r(file);
  r.Seek(*peOffset);
  if (r.U32() != 0x00004550u) return r.Failed() ? Error::kTruncated : Error::kBadSignature;
  r.Skip(2);  // machine
  const std::uint16_t sectionCount = r.U16();
  r.Skip(12);  // time stamp, symbol table, symbol count
  const std::uint16_t optionalSize = r.U16();
  r.Skip(2);  // characteristics
  if (r.Failed()) return Error::kTruncated;

  const std::size_t optionalStart = r.Pos();
  PeLayout layout;
  layout.magic = r.U16();
  if (r.Failed()) return Error::kTruncated;
  std::size_t countField = 0;
  if (layout.magic == kMagicPe32) countField = 92;
  else if (layout.magic == kMagicPe32Plus) countField = 108;
  else return Error::kBadSignature;
  const std::size_t directoriesField = countField + 4;

  r.Seek(optionalStart + countField);
  const std::uint32_t directoryCount = r.U32();
  if (r.Failed()) return Error::kTruncated;
  const std::uint64_t resourceEntryEnd =
      directoriesField + std::uint64_t{kResourceDirectoryIndex + 1} * 8;
  if (directoryCount > kResourceDirectoryIndex && resourceEntryEnd <= optionalSize) {
    r.Seek(optionalStart + directoriesField + kResourceDirectoryIndex * 8);
    layout.resourceRva = r.U32();
    layout.resourceSize = r.U32();
    if (r.Failed()) return Error::kTruncated;
  }

  // The section table follows the optional header, whatever size it claims.
  const auto table = SubRange(file, std::uint64_t{optionalStart} + optionalSize,
                              std::uint64_t{sectionCount} * kSectionHeaderSize);
  if (!table) return Error::kBadSectionTable;
  ByteReader s(*table);
  layout.sections.reserve(sectionCount);
  for (std::uint16_t i = 0; i < sectionCount; ++i) {
    Section sec;
    s.Skip(8);  // name
    sec.virtualSize = s.U32();
    sec.virtualAddress = s.U32();
    sec.rawSize = s.U32();
    sec.rawOffset = s.U32();
    s.Skip(16);
    layout.sections.push_back(sec);
  }
  if (s.Failed()) return Error::kBadSectionTable;
  return layout;
}

// The one place that turns an RVA into file bytes: the bytes from `rva` to
// the end of its section's raw data, as far as the file holds them. Callers
// take what they need from the front and refuse anything that does not fit.
std::optional<Bytes> MapRva(Bytes file, const std::vector<Section>& sections,
                            std::uint32_t rva) noexcept {
  for (const Section& sec : sections) {
    const std::uint64_t start = sec.virtualAddress;
    const std::uint64_t extent = std::max(sec.virtualSize, sec.rawSize);
    if (rva < start || rva - start >= extent) continue;
    const std::uint64_t within = rva - start;
    // Raw data past the end of the file is absent, not trusted.
    const std::uint64_t available =
        sec.rawOffset >= file.size()
            ? 0
            : std::min<std::uint64_t>(sec.rawSize, file.size() - sec.rawOffset);
    if (within > available) return std::nullopt;
    return SubRange(file, std::uint64_t{sec.rawOffset} + within, available - within);
  }
  return std::nullopt;
}

std::optional<Bytes> MapRva(Bytes file, const std::vector<Section>& sections,
                            std::uint32_t rva, std::uint64_t size) noexcept {
  const auto tail = MapRva(file, sections, rva);
  if (!tail) return std::nullopt;
  return SubRange(*tail, 0, size);
}

struct DirEntry {
  std::uint32_t name = 0;
  std::uint32_t target = 0;
};

// The directory offsets read so far, in one table with open addressing: a
// library has a directory per resource, thousands of them, and a node
// allocated for each would cost more than reading them.
class OffsetSet {
 public:
  // False when `offset` was in the set already.
  bool Insert(std::uint32_t offset) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t i = Hash(offset) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == offset) return false;
      if (slots_[i] == kEmpty) {
        slots_[i] = offset;
        ++count_;
        return true;
      }
    }
  }

 private:
  // Offsets into a section fit in 31 bits (the high bit marks a
  // subdirectory and is taken off), so this is no offset.
  static constexpr std::uint32_t kEmpty = 0xFFFFFFFFu;
  static std::size_t Hash(std::uint32_t v) noexcept { return (v * 0x9E3779B1u) >> 7; }
  void Grow() {
    std::vector<std::uint32_t> old(std::max<std::size_t>(64, slots_.size() * 2), kEmpty);
    old.swap(slots_);
    count_ = 0;
    for (std::uint32_t v : old)
      if (v != kEmpty) Insert(v);
  }

  std::vector<std::uint32_t> slots_;
  std::size_t count_ = 0;
};

class ResourceTree {
 public:
  ResourceTree(Bytes file, Bytes rsrc, const std::vector<Section>& sections)
      : file_(file), rsrc_(rsrc), sections_(sections) {}

  // The entries of the directory at `offset`; each directory may be read
  // only once, which is what stops loops.
  Result<std::vector<DirEntry>> Directory(std::uint32_t offset) {
    std::uint32_t count = 0;
    auto r = Open(offset, count);
    if (!r) return r.error();
    std::vector<DirEntry> entries(count);
    for (DirEntry& e : entries) {
      e.name = r->U32();
      e.target = r->U32();
    }
    return entries;
  }

  // Only the first entry of the directory at `offset`, or nothing when it
  // has none.
  Result<std::optional<DirEntry>> FirstEntry(std::uint32_t offset) {
    std::uint32_t count = 0;
    auto r = Open(offset, count);
    if (!r) return r.error();
    if (count == 0) return std::optional<DirEntry>();
    return std::optional<DirEntry>(DirEntry{r->U32(), r->U32()});
  }

 private:
  // A reader at the first entry of the directory at `offset`, all `count`
  // of whose entries lie inside the section; each directory opens once.
  Result<ByteReader> Open(std::uint32_t offset, std::uint32_t& count) {
    if (!visited_.Insert(offset)) return Error::kBadResourceDirectory;
    ByteReader r(rsrc_);
    r.Seek(offset);
    r.Skip(12);
    count = std::uint32_t{r.U16()} + r.U16();
    if (r.Failed()) return Error::kBadResourceDirectory;
    if (std::uint64_t{count} * kDirectoryEntrySize > r.Remaining()) return Error::kBadResourceDirectory;
    return r;
  }

 public:
  Result<std::u16string> Name(std::uint32_t nameField) const {
    ByteReader r(rsrc_);
    r.Seek(nameField & ~kHighBit);
    const std::uint16_t length = r.U16();
    const Bytes chars = r.Take(std::size_t{length} * 2);
    if (r.Failed()) return Error::kBadResourceDirectory;
    std::u16string name(length, u'\0');
    for (std::size_t i = 0; i < length; ++i)
      name[i] = static_cast<char16_t>(chars[2 * i] | (chars[2 * i + 1] << 8));
    return name;
  }

  Result<Bytes> Data(std::uint32_t offset) const {
    ByteReader r(rsrc_);
    r.Seek(offset);
    const Bytes entry = r.Take(kDataEntrySize);
    if (r.Failed()) return Error::kBadResourceDirectory;
    ByteReader e(entry);
    const std::uint32_t rva = e.U32();
    const std::uint32_t size = e.U32();
    const auto bytes = MapRva(file_, sections_, rva, size);
    if (!bytes) return Error::kBadSectionTable;
    return *bytes;
  }

 private:
  Bytes file_;
  Bytes rsrc_;
  const std::vector<Section>& sections_;
  OffsetSet visited_;
};

// Level 2 and 3 below one type: every name, first language.
Error ReadType(ResourceTree& tree, std::uint32_t typeDirectory, bool numericOnly,
               std::vector<ExeResource>& out) {
  auto names = tree.Directory(typeDirectory);
  if (!names) return names.error();
  out.reserve(names->size());
  for (const DirEntry& n : *names) {
    ExeResource res;
    if (n.name & kHighBit) {
      if (numericOnly) continue;  // icons are always named by number
      auto name = tree.Name(n.name);
      if (!name) return name.error();
      res.named = true;
      res.name = std::move(*name);
    } else {
      res.id = n.name & 0xFFFFu;
    }
    std::uint32_t dataEntry = n.target;
    if (n.target & kHighBit) {
      auto language = tree.FirstEntry(n.target & ~kHighBit);
      if (!language) return language.error();
      if (!*language) continue;  // a name without any language holds nothing
      const DirEntry& first = **language;
      // A fourth level does not exist.
      if (first.target & kHighBit) return Error::kBadResourceDirectory;
      dataEntry = first.target;
    }
    auto data = tree.Data(dataEntry);
    if (data)
      res.data = *data;
    else
      res.fault = data.error();
    out.push_back(std::move(res));
  }
  return Error::kOk;
}

}  // namespace

ExeFormat DetectExecutable(Bytes file) noexcept {
  const auto offset = NewHeaderOffset(file);
  if (!offset) return ExeFormat::kNone;
  ByteReader r(file);
  r.Seek(*offset);
  const std::uint16_t sig = r.U16();
  if (r.Failed()) return ExeFormat::kDos;
  if (sig == 0x454E) return ExeFormat::kNe;  // "NE"
  if (sig != 0x4550 || r.U16() != 0) return ExeFormat::kDos;
  r.Skip(20);
  const std::uint16_t magic = r.U16();
  if (r.Failed()) return ExeFormat::kDos;
  if (magic == kMagicPe32) return ExeFormat::kPe32;
  if (magic == kMagicPe32Plus) return ExeFormat::kPe32Plus;
  return ExeFormat::kDos;
}

Result<ExeIconResources> ReadPeIconResources(Bytes file) {
  auto layout = ReadLayout(file);
  if (!layout) return layout.error();
  ExeIconResources out;
  if (layout->resourceRva == 0 || layout->resourceSize == 0) return out;
  // Directory offsets are relative to the root and may reach anywhere in
  // the rest of its section.
  const auto rsrc = MapRva(file, layout->sections, layout->resourceRva);
  if (!rsrc || rsrc->size() < kDirectoryHeaderSize) return Error::kBadSectionTable;

  ResourceTree tree(file, *rsrc, layout->sections);
  auto types = tree.Directory(0);
  if (!types) return types.error();
  bool seenIcon = false, seenGroup = false;
  for (const DirEntry& t : *types) {
    if (t.name & kHighBit) continue;  // named types are never icons
    const std::uint32_t type = t.name & 0xFFFFu;
    bool* seen = type == kRtIcon ? &seenIcon : type == kRtGroupIcon ? &seenGroup : nullptr;
    if (!seen) continue;
    if (*seen || !(t.target & kHighBit)) return Error::kBadResourceDirectory;
    *seen = true;
    const Error e = ReadType(tree, t.target & ~kHighBit, type == kRtIcon,
                             type == kRtIcon ? out.icons : out.groups);
    if (e != Error::kOk) return e;
  }
  return out;
}

}  // namespace pg
