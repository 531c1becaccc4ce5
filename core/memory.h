// Script memory: one byte array that holds the constant names, the loaded
// text, the input line and the array memory at fixed offsets. Text positions
// and script addresses are both offsets into it, so whatever address a script
// computes is checked before any byte is read or written. The store functions
// here are the only way its bytes change; a store that reaches SourceBuffer
// advances the text generation, which everything remembered about the text is
// stamped with.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/value.h"

namespace vorla {

// A cursor into the text being interpreted: an offset into the memory.
using TextPosition = uint32_t;

// The areas. Address 0 lies in none of them, and zero-filled gaps follow the
// text and the input line, so a walk that runs off either meets a NUL. The
// constant area and the spare scratch lie outside what scripts can address.
inline constexpr uint32_t kConstantBase = 0x0100;  // names of built-ins, "return", "main"
inline constexpr uint32_t kConstantSize = 0x0100;
inline constexpr uint32_t kSpareScratchBase = 0x0200;  // number scratch while a typed line is evaluated
inline constexpr uint32_t kSpareScratchSize = 128;
inline constexpr uint32_t kSourceBase = 0x1000;    // SourceBuffer: the loaded script text
inline constexpr uint32_t kSourceSize = 4096;
inline constexpr uint32_t kInputBase = 0x3000;     // InputLine: the typed line and number scratch
inline constexpr uint32_t kInputSize = 128;
inline constexpr uint32_t kArrayBase = 0x4000;     // ArrayMemory: 4096 Values for scripts
inline constexpr uint32_t kArraySize = 16384;
inline constexpr uint32_t kMemorySize = kArrayBase + kArraySize;
// Whether the word at `address` lies whole in ArrayMemory: one unsigned compare.
inline bool ArrayWordAt(uint32_t address) { return address - kArrayBase <= kArraySize - 4; }

// Zero bytes after the memory that no script can write. A cursor steps only
// over bytes it has seen to be other than NUL, or jumps over a name whose
// bytes it has compared with a declared name (at most kSourceSize long), from
// a name character inside the memory; so every position a cursor reaches,
// and every byte read a few past it, lies in the memory or in this guard.
inline constexpr uint32_t kGuardSize = kSourceSize + 16;

// The longest text that fits in SourceBuffer together with its ending NUL.
inline constexpr uint32_t kMaxSourceLength = kSourceSize - 1;

inline bool InSource(uint32_t address) { return address - kSourceBase < kSourceSize; }
inline bool InInput(uint32_t address) { return address - kInputBase < kInputSize; }

class ScriptMemory {
 public:
  // The byte at p, unchecked: p lies in the memory or in its guard.
  static uint8_t At(uint32_t p) { return bytes_[p]; }
  // The bytes from address a on, to read (a lies inside the memory).
  static const uint8_t* View(uint32_t a) { return bytes_ + a; }

  // Advances whenever the text may read differently: a store that changes a
  // byte of SourceBuffer, a load, a new routine row (which a called name may
  // find), a reset.
  static uint64_t Generation() { return generation_; }
  static void AdvanceGeneration() { generation_++; }

  // Stores inside the memory (the caller has checked the address).
  static void StoreByte(uint32_t a, uint8_t b) {
    if (InSource(a) && bytes_[a] != b && !InsideLiteral(a, bytes_[a], b)) generation_++;
    bytes_[a] = b;
  }
  static void StoreWord(uint32_t a, Value v) {
    uint32_t bits = Bits(v);
    if (InSource(a) || InSource(a + 3)) {
      for (uint32_t i = 0; i < 4; i++) StoreByte(a + i, uint8_t(bits >> (8 * i)));
      return;
    }
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(bytes_ + a, &bits, 4);
      return;
    }
    for (uint32_t i = 0; i < 4; i++) bytes_[a + i] = uint8_t(bits >> (8 * i));
  }

  // A string literal's characters are text that nothing reads but the
  // output of the text: the code compiled from the text holds only the
  // literal's address. So a store that changes a character inside a literal
  // the code was compiled with (and in which no compiled code begins), into
  // another character that delimits nothing (no quote, apostrophe, ';',
  // parenthesis, brace or NUL, which the walks over skipped text look for),
  // reads no differently and leaves the generation standing. The marks hold
  // for the generation they were made in.
  static void MarkLiteral(uint32_t from, uint32_t to) {
    if (literalGeneration_ != generation_) {
      std::memset(literal_, 0, sizeof literal_);
      literalGeneration_ = generation_;
    }
    for (uint32_t a = from; a < to; a++) literal_[(a - kSourceBase) / 64] |= uint64_t(1) << ((a - kSourceBase) % 64);
  }
  static void StoreBytes(uint32_t a, const void* bytes, size_t count) {
    for (size_t i = 0; i < count; i++) StoreByte(a + uint32_t(i), static_cast<const uint8_t*>(bytes)[i]);
  }
  // Every byte back to zero, as in a fresh process.
  static void Clear() {
    std::memset(bytes_, 0, sizeof bytes_);
    generation_++;
  }

 private:
  static bool Delimits(uint8_t c) {
    return c == 0 || c == '"' || c == '\'' || c == ';' || c == '(' || c == ')' || c == '{' || c == '}';
  }
  static bool InsideLiteral(uint32_t a, uint8_t was, uint8_t becomes) {
    const uint32_t offset = a - kSourceBase;
    return literalGeneration_ == generation_ && (literal_[offset / 64] >> (offset % 64) & 1) != 0 && !Delimits(was) &&
           !Delimits(becomes);
  }

  alignas(64) static inline uint8_t bytes_[kMemorySize + kGuardSize] = {};
  static inline uint64_t literal_[kSourceSize / 64] = {};
  static inline uint64_t literalGeneration_ = 0;
  static inline uint64_t generation_ = 1;
};

// The byte at a text position; every position past the memory reads as NUL.
inline uint8_t Peek(TextPosition p) { return p < kMemorySize ? ScriptMemory::At(p) : 0; }

// The byte at a cursor of the interpreter, read without a check (see
// kGuardSize): the scanning, the evaluator and the executor read the text
// through this.
inline uint8_t PeekText(TextPosition p) { return ScriptMemory::At(p); }

// The end of the script area that holds [address, address + width), or 0 when
// those bytes do not lie inside one of SourceBuffer, InputLine, ArrayMemory.
inline uint32_t AreaEnd(uint32_t address, uint32_t width) {
  const uint32_t bases[] = {kArrayBase, kSourceBase, kInputBase};
  const uint32_t sizes[] = {kArraySize, kSourceSize, kInputSize};
  for (int i = 0; i < 3; i++) {
    if (address - bases[i] < sizes[i] && address - bases[i] + width <= sizes[i]) {
      return bases[i] + sizes[i];
    }
  }
  return 0;
}
inline bool InScriptMemory(uint32_t address, uint32_t width) { return AreaEnd(address, width) != 0; }

// A Value stored little-endian at a (inside the memory).
inline Value ReadWord(uint32_t a) {
  if constexpr (std::endian::native == std::endian::little) {
    uint32_t bits;
    std::memcpy(&bits, ScriptMemory::View(a), 4);
    return Wrap(bits);
  }
  return Wrap(uint32_t(PeekText(a)) | uint32_t(PeekText(a + 1)) << 8 | uint32_t(PeekText(a + 2)) << 16 |
              uint32_t(PeekText(a + 3)) << 24);
}

}  // namespace vorla
