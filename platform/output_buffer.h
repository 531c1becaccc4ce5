// OutputBuffer: the output bytes a console holds before it hands them on in
// one piece; fixed in size, so a run allocates nothing for its output.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vorla {

class OutputBuffer {
 public:
  static constexpr size_t kSize = 64 * 1024;

  bool Empty() const { return length_ == 0; }
  bool Full() const { return length_ == kSize; }
  const uint8_t* Bytes() const { return bytes_; }
  size_t Length() const { return length_; }
  void Clear() { length_ = 0; }

  // Put in as many of the `count` bytes as there is room for; answers how many.
  size_t Put(const uint8_t* bytes, size_t count) {
    const size_t n = Room(count);
    std::memcpy(bytes_ + length_, bytes, n);
    length_ += n;
    return n;
  }

  // Put in `byte` up to `count` times, as many as there is room for; answers how many.
  size_t PutRepeated(uint8_t byte, size_t count) {
    const size_t n = Room(count);
    std::memset(bytes_ + length_, byte, n);
    length_ += n;
    return n;
  }

 private:
  size_t Room(size_t count) const { return count < kSize - length_ ? count : kSize - length_; }

  size_t length_ = 0;
  uint8_t bytes_[kSize];
};

}  // namespace vorla
