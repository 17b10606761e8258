#pragma once
#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace rid {

using Integer = int32_t;
using Cardinal = uint32_t;
using Word = uint16_t;
using Byte = uint8_t;

// A Pascal set over an enumeration whose values are 0..N-1.
template <typename E, int N = 32>
class TSet {
  static_assert(N > 0 && N <= 64, "TSet holds at most 64 members");
  using Bits = std::conditional_t<(N <= 32), uint32_t, uint64_t>;

 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> members) {
    for (E e : members) FBits |= Bit(e);
  }
  static constexpr TSet FromBits(Bits bits) {
    TSet s;
    s.FBits = bits & Mask();
    return s;
  }
  constexpr Bits ToBits() const { return FBits; }

  constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
  constexpr bool Empty() const { return FBits == 0; }
  constexpr TSet& Include(E e) {
    FBits |= Bit(e);
    return *this;
  }
  constexpr TSet& Exclude(E e) {
    FBits &= ~Bit(e);
    return *this;
  }

  constexpr TSet operator+(TSet o) const { return FromBits(FBits | o.FBits); }
  constexpr TSet operator-(TSet o) const { return FromBits(FBits & ~o.FBits); }
  constexpr TSet operator*(TSet o) const { return FromBits(FBits & o.FBits); }
  constexpr TSet& operator+=(TSet o) { return *this = *this + o; }
  constexpr TSet& operator-=(TSet o) { return *this = *this - o; }
  constexpr TSet& operator*=(TSet o) { return *this = *this * o; }
  constexpr bool operator==(const TSet&) const = default;
  // a <= b: every member of a is in b.
  constexpr bool operator<=(TSet o) const { return (FBits & ~o.FBits) == 0; }

 private:
  static constexpr Bits Bit(E e) { return Bits(1) << static_cast<int>(e); }
  static constexpr Bits Mask() {
    return N == int(sizeof(Bits) * 8) ? ~Bits(0) : ((Bits(1) << N) - 1);
  }
  Bits FBits = 0;
};

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  constexpr bool operator==(const TPoint&) const = default;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  constexpr int32_t Width() const { return Right - Left; }
  constexpr int32_t Height() const { return Bottom - Top; }
  constexpr bool operator==(const TRect&) const = default;
};

constexpr TPoint Point(int32_t X, int32_t Y) { return TPoint{X, Y}; }
constexpr TRect Rect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  return TRect{Left, Top, Right, Bottom};
}
constexpr TRect Bounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height) {
  return TRect{Left, Top, Left + Width, Top + Height};
}
constexpr bool IsRectEmpty(const TRect& R) { return R.Right <= R.Left || R.Bottom <= R.Top; }
constexpr bool PtInRect(const TRect& R, TPoint P) {
  return P.X >= R.Left && P.X < R.Right && P.Y >= R.Top && P.Y < R.Bottom;
}
// Writes the common part of A and B to Dst; returns false (and an empty Dst) when there is none.
bool IntersectRect(TRect& Dst, const TRect& A, const TRect& B);
// Writes the smallest rectangle holding A and B; an empty rectangle does not count.
bool UnionRect(TRect& Dst, const TRect& A, const TRect& B);
void OffsetRect(TRect& R, int32_t DX, int32_t DY);
void InflateRect(TRect& R, int32_t DX, int32_t DY);

// Colours are $00BBGGRR; $80000000 + n is system colour n.
using TColor = int32_t;
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;

constexpr TColor SystemColor(int n) { return static_cast<TColor>(0x80000000u + uint32_t(n)); }
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);

constexpr bool IsSystemColor(TColor c) { return (static_cast<uint32_t>(c) & 0xFF000000u) == 0x80000000u; }
// Resolves a system colour to its RGB value (the usual Windows defaults); others pass unchanged.
TColor ColorToRGB(TColor Color);
constexpr TColor RGB(uint8_t R, uint8_t G, uint8_t B) { return TColor(R | (G << 8) | (B << 16)); }
constexpr uint8_t GetRValue(TColor c) { return uint8_t(c & 0xFF); }
constexpr uint8_t GetGValue(TColor c) { return uint8_t((c >> 8) & 0xFF); }
constexpr uint8_t GetBValue(TColor c) { return uint8_t((c >> 16) & 0xFF); }

enum class TShiftStateItem { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using enum TShiftStateItem;
using TShiftState = TSet<TShiftStateItem, 7>;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum class TFontStyle { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using enum TFontStyle;
using TFontStyles = TSet<TFontStyle, 4>;

// A * B / C with a 64-bit intermediate, rounded to nearest (halves away from zero);
// -1 when C is 0 or the result does not fit.
int32_t MulDiv(int32_t A, int32_t B, int32_t C);

constexpr int32_t MaxInt = 0x7FFFFFFF;

}  // namespace rid
