// The choices a generated program is made of: a string of bytes read one
// decision at a time. The same bytes always make the same program, and bytes
// that run out read as zero, which always means the smallest or plainest
// choice, so every input, even an empty one, makes a program.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vorla::fuzz {

class Choices {
 public:
  Choices(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  // A number from 0 to n - 1 (0 when n is 0 or 1): one byte for n up to
  // 256, two above.
  uint32_t Below(uint32_t n) {
    if (n <= 1) return 0;
    uint32_t v = Byte();
    if (n > 256) v = v << 8 | Byte();
    return v % n;
  }
  // A number from lo to hi, both included.
  int Between(int lo, int hi) { return hi <= lo ? lo : lo + int(Below(uint32_t(hi - lo + 1))); }
  // True in about `percent` cases of 100; false once the bytes have run out.
  bool Chance(int percent) { return int(Below(100)) >= 100 - percent; }

  template <typename T, size_t N>
  const T& Pick(const T (&items)[N]) {
    return items[Below(N)];
  }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(uint32_t(items.size()))];
  }
  template <typename T>
  const T& Pick(std::span<const T> items) {
    return items[Below(uint32_t(items.size()))];
  }

 private:
  uint8_t Byte() { return used_ < size_ ? data_[used_++] : 0; }

  const uint8_t* data_;
  size_t size_;
  size_t used_ = 0;
};

}  // namespace vorla::fuzz
