#include "platform/Types.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace rid {

bool IntersectRect(TRect& Dst, const TRect& A, const TRect& B) {
  Dst = TRect{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
              std::min(A.Bottom, B.Bottom)};
  if (IsRectEmpty(Dst)) {
    Dst = TRect{};
    return false;
  }
  return true;
}

bool UnionRect(TRect& Dst, const TRect& A, const TRect& B) {
  if (IsRectEmpty(A)) {
    Dst = IsRectEmpty(B) ? TRect{} : B;
  } else if (IsRectEmpty(B)) {
    Dst = A;
  } else {
    Dst = TRect{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                std::max(A.Bottom, B.Bottom)};
  }
  return !IsRectEmpty(Dst);
}

void OffsetRect(TRect& R, int32_t DX, int32_t DY) {
  R.Left += DX;
  R.Right += DX;
  R.Top += DY;
  R.Bottom += DY;
}

void InflateRect(TRect& R, int32_t DX, int32_t DY) {
  R.Left -= DX;
  R.Right += DX;
  R.Top -= DY;
  R.Bottom += DY;
}

TColor ColorToRGB(TColor Color) {
  if (!IsSystemColor(Color)) return Color;
  // The classic Windows scheme.
  static constexpr TColor kSystem[] = {
      RGB(200, 200, 200),  // scroll bar
      RGB(0, 0, 0),        // background
      RGB(153, 180, 209),  // active caption
      RGB(191, 205, 219),  // inactive caption
      RGB(240, 240, 240),  // menu
      RGB(255, 255, 255),  // window
      RGB(100, 100, 100),  // window frame
      RGB(0, 0, 0),        // menu text
      RGB(0, 0, 0),        // window text
      RGB(0, 0, 0),        // caption text
      RGB(180, 180, 180),  // active border
      RGB(244, 247, 252),  // inactive border
      RGB(171, 171, 171),  // app workspace
      RGB(0, 120, 215),    // highlight
      RGB(255, 255, 255),  // highlight text
      RGB(240, 240, 240),  // button face
      RGB(160, 160, 160),  // button shadow
      RGB(109, 109, 109),  // gray text
      RGB(0, 0, 0),        // button text
      RGB(0, 0, 0),        // inactive caption text
      RGB(255, 255, 255),  // button highlight
      RGB(105, 105, 105),  // 3D dark shadow
      RGB(227, 227, 227),  // 3D light
      RGB(0, 0, 0),        // info text
      RGB(255, 255, 225),  // info background
  };
  const uint32_t n = static_cast<uint32_t>(Color) & 0xFF;
  return n < std::size(kSystem) ? kSystem[n] : clBlack;
}

int32_t MulDiv(int32_t A, int32_t B, int32_t C) {
  if (C == 0) return -1;
  const int64_t product = int64_t(A) * int64_t(B);
  const int64_t half = std::llabs(int64_t(C)) / 2;
  const bool negative = (product < 0) != (C < 0);
  const int64_t magnitude = (std::llabs(product) + half) / std::llabs(int64_t(C));
  const int64_t result = negative ? -magnitude : magnitude;
  if (result > INT32_MAX || result < INT32_MIN) return -1;
  return static_cast<int32_t>(result);
}

}  // namespace rid
