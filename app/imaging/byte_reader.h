// The one way the readers look at untrusted bytes. Every read is bounds
// checked; a read past the end yields 0 and marks the reader failed, so a
// parser reads a whole header and checks Failed() once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace pg {

using Bytes = std::span<const std::uint8_t>;

// The sub-range [offset, offset + size) of `data`, or nothing when it does
// not lie wholly inside. Safe for any 64-bit offset and size.
inline std::optional<Bytes> SubRange(Bytes data, std::uint64_t offset,
                                     std::uint64_t size) noexcept {
  if (offset > data.size() || size > data.size() - offset) return std::nullopt;
  return data.subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(size));
}

class ByteReader {
 public:
  explicit ByteReader(Bytes data, std::size_t pos = 0) noexcept
      : data_(data), pos_(pos), failed_(pos > data.size()) {}

  std::uint8_t U8() noexcept { return static_cast<std::uint8_t>(Le<1>()); }
  std::uint16_t U16() noexcept { return static_cast<std::uint16_t>(Le<2>()); }
  std::uint32_t U32() noexcept { return static_cast<std::uint32_t>(Le<4>()); }
  std::int16_t I16() noexcept { return static_cast<std::int16_t>(U16()); }
  std::int32_t I32() noexcept { return static_cast<std::int32_t>(U32()); }

  // The next n bytes, or an empty span (and failure) if fewer remain.
  Bytes Take(std::size_t n) noexcept {
    if (failed_ || n > data_.size() - pos_) { Fail(); return {}; }
    Bytes out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }
  void Skip(std::size_t n) noexcept { (void)Take(n); }
  void Seek(std::uint64_t pos) noexcept {
    if (pos > data_.size()) { Fail(); return; }
    pos_ = static_cast<std::size_t>(pos);
  }

  std::size_t Pos() const noexcept { return pos_; }
  std::size_t Remaining() const noexcept { return failed_ ? 0 : data_.size() - pos_; }
  bool Failed() const noexcept { return failed_; }
  Bytes Data() const noexcept { return data_; }

 private:
  // A fixed width, so that the compiler turns each read into one load.
  template <std::size_t N>
  std::uint64_t Le() noexcept {
    if (failed_ || N > data_.size() - pos_) {
      Fail();
      return 0;
    }
    const std::uint8_t* p = data_.data() + pos_;
    pos_ += N;
    std::uint64_t v = 0;
    for (std::size_t i = N; i-- > 0;) v = (v << 8) | p[i];
    return v;
  }
  void Fail() noexcept { failed_ = true; pos_ = data_.size(); }

  Bytes data_;
  std::size_t pos_;
  bool failed_;
};

// Appends little-endian values to a byte vector: the writers' side of
// ByteReader.
class ByteWriter {
 public:
  explicit ByteWriter(std::vector<std::uint8_t>& out) noexcept : out_(out) {}
  void U8(std::uint8_t v) { out_.push_back(v); }
  void U16(std::uint16_t v) { U8(v & 0xFF); U8(static_cast<std::uint8_t>(v >> 8)); }
  void U32(std::uint32_t v) { U16(v & 0xFFFF); U16(static_cast<std::uint16_t>(v >> 16)); }

 private:
  std::vector<std::uint8_t>& out_;
};

}  // namespace pg
