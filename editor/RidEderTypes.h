#pragma once
#include <cstdint>
#include <initializer_list>
#include <string_view>

namespace rid {

// A position in the text buffer: 1-based byte column and 1-based line. A double-byte
// character occupies two consecutive columns.
struct TBufferCoord {
  int32_t Char = 0;
  int32_t Line = 0;
  constexpr bool operator==(const TBufferCoord&) const = default;
};

// Whether A comes before B in the text.
constexpr bool BufferCoordBefore(const TBufferCoord& A, const TBufferCoord& B) {
  return A.Line < B.Line || (A.Line == B.Line && A.Char < B.Char);
}

// A position on screen after tab expansion and word wrap, 1-based.
struct TDisplayCoord {
  int32_t Column = 0;
  int32_t Row = 0;
  constexpr bool operator==(const TDisplayCoord&) const = default;
};

// The longest line the editor loads and prints, in bytes (with tabs expanded, for printing):
// half the 32-bit range, so that a position plus a length within a line never overflows.
constexpr int32_t kMaxLineLength = 1 << 30;

constexpr TBufferCoord BufferCoord(int32_t AChar, int32_t ALine) { return {AChar, ALine}; }
constexpr TDisplayCoord DisplayCoord(int32_t AColumn, int32_t ARow) { return {AColumn, ARow}; }

// The highlighter's state after a line, stored per line by the line buffer; -1 is "not yet
// scanned". Pointer-sized, shared by the highlighter base, the line buffer and the control.
using TRidRange = intptr_t;
constexpr TRidRange RidRangeUnscanned = -1;

// Stored as one byte in undo items and in the private clipboard block.
enum TRidSelectionMode : uint8_t { smNormal = 0, smLine = 1, smColumn = 2 };

// A set of byte values (bit n = byte n), passed by value like the 32-byte Pascal set.
class TRidCharSet {
 public:
  constexpr TRidCharSet() = default;
  constexpr TRidCharSet(std::initializer_list<uint8_t> Bytes) {
    for (uint8_t b : Bytes) Include(b);
  }
  // Every byte of Chars.
  static constexpr TRidCharSet Of(std::string_view Chars) {
    TRidCharSet s;
    for (char c : Chars) s.Include(static_cast<uint8_t>(c));
    return s;
  }
  // Every byte in First..Last.
  static constexpr TRidCharSet Range(uint8_t First, uint8_t Last) {
    TRidCharSet s;
    for (int b = First; b <= Last; ++b) s.Include(static_cast<uint8_t>(b));
    return s;
  }
  constexpr bool Contains(uint8_t B) const { return (FBits[B >> 6] >> (B & 63)) & 1u; }
  constexpr bool Contains(char B) const { return Contains(static_cast<uint8_t>(B)); }
  constexpr TRidCharSet& Include(uint8_t B) {
    FBits[B >> 6] |= uint64_t(1) << (B & 63);
    return *this;
  }
  constexpr TRidCharSet& Exclude(uint8_t B) {
    FBits[B >> 6] &= ~(uint64_t(1) << (B & 63));
    return *this;
  }
  constexpr TRidCharSet operator+(const TRidCharSet& O) const {
    TRidCharSet s;
    for (int i = 0; i < 4; ++i) s.FBits[i] = FBits[i] | O.FBits[i];
    return s;
  }
  constexpr TRidCharSet operator-(const TRidCharSet& O) const {
    TRidCharSet s;
    for (int i = 0; i < 4; ++i) s.FBits[i] = FBits[i] & ~O.FBits[i];
    return s;
  }
  constexpr TRidCharSet operator*(const TRidCharSet& O) const {
    TRidCharSet s;
    for (int i = 0; i < 4; ++i) s.FBits[i] = FBits[i] & O.FBits[i];
    return s;
  }
  // All bytes not in this set.
  constexpr TRidCharSet Complement() const {
    TRidCharSet s;
    for (int i = 0; i < 4; ++i) s.FBits[i] = ~FBits[i];
    return s;
  }
  constexpr bool Empty() const { return (FBits[0] | FBits[1] | FBits[2] | FBits[3]) == 0; }
  constexpr bool operator==(const TRidCharSet&) const = default;

 private:
  uint64_t FBits[4] = {0, 0, 0, 0};
};

}  // namespace rid
