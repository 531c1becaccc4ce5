// The text of a generated program while it is built. Script text is written
// into pieces that carry marks (named places) and holes (the offset from one
// mark to another, filled in once the whole text stands), so a script can
// store into its own text at places that are known only when the text is
// complete: the main body, the routine definitions and the global section
// are written apart and put together at the end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vorla::fuzz {

// A hole is written as a sign and four digits (" 0123", "-0123"): its width
// is fixed, so filling it in moves no text, and every offset within a script
// fits.
inline constexpr size_t kHoleWidth = 5;

class Piece {
 public:
  Piece& operator<<(std::string_view text) {
    text_ += text;
    return *this;
  }
  Piece& operator<<(char c) {
    text_ += c;
    return *this;
  }
  Piece& operator<<(int number) {
    text_ += std::to_string(number);
    return *this;
  }
  // Appends another piece with its marks and holes.
  Piece& operator<<(const Piece& other);
  // The mark `id` stands at the current end.
  Piece& Mark(int id) {
    marks_.emplace_back(id, text_.size());
    return *this;
  }
  // Here stands the offset from mark `anchor` to mark `target`, plus `delta`.
  Piece& Offset(int anchor, int target, int delta = 0);

  size_t Size() const { return text_.size(); }
  const std::string& Text() const { return text_; }
  // Where mark `id` stands, or -1 when it stands nowhere in this piece.
  long Where(int id) const;
  // The text with every hole filled in. A hole whose marks stand nowhere is
  // the generator's own fault: it aborts.
  std::string Resolve() const;

 private:
  struct Hole {
    size_t at;
    int anchor, target, delta;
  };
  std::string text_;
  std::vector<std::pair<int, size_t>> marks_;
  std::vector<Hole> holes_;
};

// What a byte of generated code is, so that a rewrite can choose a byte
// that keeps the code valid, or one that breaks it on purpose.
enum class Part : uint8_t {
  Digit,        // of a decimal literal
  Operator,     // a binary operator, or one character of a two-character one
  Name,         // a character of a variable's name
  Routine,      // a character of a routine's name, at a call or a definition
  Keyword,      // a character of "if (", "else", "for (", "do ", "while (", "var"
  Punctuation,  // ( ) , ; { } [ ]
  Blank,        // a space between tokens
  Text,         // a character inside a string literal
};

// A byte a self-modifying program may store over: the mark before it, what
// it is, and its byte in the text as written.
struct Target {
  int mark;
  char original;
  Part part;
};
using Targets = std::vector<Target>;

// A whole script under construction.
class Program {
 public:
  Program();

  int NewMark() { return nextMark_++; }
  // Appends `text` to `out`, one mark per byte, each recorded as a target of
  // `part` when `targets` is given.
  void Put(Piece& out, std::string_view text, Part part, Targets* targets);
  // Marks every byte of the global `name` in the global section, and
  // answers them as targets of the part Name.
  Targets MarkGlobal(const std::string& name);
  // r01, r02, ...: all of one length, so none begins another.
  std::string NewRoutineName();
  int RoutinesLeft() const;

  std::vector<std::string> globals;     // the global section, in order
  std::vector<std::string> mainLocals;  // the var line of main's block
  std::vector<Piece> definitions;       // whole routine definitions, in order
  size_t mainAt = 0;                    // main stands before definitions[mainAt]
  Piece main;                           // main's statements
  int anchor = 0;                       // the mark of the text address `_s` holds
  std::string keys;

  // The whole script, globals and definitions with main among them, its
  // holes not yet filled in; Assemble fills them in.
  Piece Whole() const;
  std::string Assemble() const { return Whole().Resolve(); }

 private:
  int nextMark_ = 0;
  int routines_ = 0;
  std::vector<std::pair<std::string, Targets>> markedGlobals_;
};

// How a byte is stored by a script: a character literal where one reads
// plainly and survives every skip of the text, else its code.
std::string ByteLiteral(char c);

}  // namespace vorla::fuzz
