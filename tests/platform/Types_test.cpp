#include "platform/Types.h"

#include <gtest/gtest.h>

#include "platform/Delegate.h"

namespace rid {
namespace {

TEST(Types, MulDivRoundsToNearestWithWideIntermediate) {
  EXPECT_EQ(MulDiv(10, 3, 4), 8);    // 7.5 -> 8
  EXPECT_EQ(MulDiv(-10, 3, 4), -8);  // halves away from zero
  EXPECT_EQ(MulDiv(7, 1, 3), 2);
  EXPECT_EQ(MulDiv(1 << 30, 8, 16), 1 << 29);  // product needs 64 bits
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
  EXPECT_EQ(MulDiv(INT32_MAX, 4, 1), -1);
}

TEST(Types, SystemColoursResolveAndPlainColoursPass) {
  EXPECT_EQ(ColorToRGB(clWindow), RGB(255, 255, 255));
  EXPECT_EQ(ColorToRGB(clWindowText), RGB(0, 0, 0));
  EXPECT_EQ(ColorToRGB(clRed), clRed);
  EXPECT_EQ(ColorToRGB(clNone), clNone);
  EXPECT_TRUE(IsSystemColor(clBtnFace));
  EXPECT_FALSE(IsSystemColor(clNone));
}

TEST(Types, RectangleOperations) {
  TRect r;
  EXPECT_TRUE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(5, 5, 20, 20)));
  EXPECT_EQ(r, Rect(5, 5, 10, 10));
  EXPECT_FALSE(IntersectRect(r, Rect(0, 0, 10, 10), Rect(10, 0, 20, 10)));
  EXPECT_EQ(r, TRect{});
  EXPECT_TRUE(UnionRect(r, Rect(0, 0, 0, 0), Rect(1, 1, 2, 2)));
  EXPECT_EQ(r, Rect(1, 1, 2, 2));
  EXPECT_TRUE(PtInRect(Rect(0, 0, 2, 2), Point(1, 1)));
  EXPECT_FALSE(PtInRect(Rect(0, 0, 2, 2), Point(2, 1)));
}

TEST(Types, SetsBehaveAsPascalSets) {
  TShiftState s{ssShift, ssCtrl};
  EXPECT_TRUE(s.Contains(ssCtrl));
  EXPECT_FALSE(s.Contains(ssAlt));
  EXPECT_TRUE(TShiftState{ssShift} <= s);
  EXPECT_EQ(s - TShiftState{ssShift}, TShiftState{ssCtrl});
  EXPECT_EQ((s * TShiftState{ssCtrl, ssAlt}).ToBits(), 1u << 2);
}

enum class TWide { w0, w31 = 31 };
TEST(Types, SetsOfThirtyTwoMembersKeepTheirTopBit) {
  const auto full = TSet<TWide, 32>::FromBits(0xFFFFFFFFu);
  EXPECT_EQ(full.ToBits(), 0xFFFFFFFFu);
  EXPECT_TRUE((TSet<TWide, 32>{TWide::w31}.Contains(TWide::w31)));
}

struct Counter {
  int Value = 0;
  void Add(int N) { Value += N; }
  void Sub(int N) { Value -= N; }
};
void FreeHandler(int) {}

TEST(Delegate, EqualityIsSameObjectAndSameFunction) {
  Counter a, b;
  using D = Delegate<void(int)>;
  EXPECT_EQ(D(&a, &Counter::Add), D(&a, &Counter::Add));
  EXPECT_FALSE(D(&a, &Counter::Add) == D(&a, &Counter::Sub));
  EXPECT_FALSE(D(&a, &Counter::Add) == D(&b, &Counter::Add));
  EXPECT_EQ(D(&FreeHandler), D(&FreeHandler));
  EXPECT_TRUE(D() == nullptr);
  D lambda([&](int n) { a.Value = n; });
  D copy = lambda;
  EXPECT_EQ(lambda, copy);
  EXPECT_FALSE(lambda == D([&](int n) { a.Value = n; }));
}

TEST(Delegate, CallsTheBoundFunction) {
  Counter a;
  Delegate<void(int)> d(&a, &Counter::Add);
  ASSERT_TRUE(d);
  d(5);
  d(2);
  EXPECT_EQ(a.Value, 7);
  EXPECT_FALSE(Delegate<void(int)>());
}

}  // namespace
}  // namespace rid
