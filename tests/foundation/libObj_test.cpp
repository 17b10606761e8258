#include "foundation/libObj.h"

#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "platform/StdCtrls.h"

namespace rid {
namespace {

TEST(ArrowKeyStep, StepsWithinTheRangeAndSwallowsAtTheEnds) {
  struct {
    int32_t Index;
    uint16_t Key;
    bool ForwardBefore;
    int32_t IndexAfter;
    uint16_t KeyAfter;
    bool ForwardAfter;
  } cases[] = {
      {2, 13, false, 3, 13, true}, {2, 40, false, 3, 40, true}, {5, 13, false, 5, 0, true},
      {5, 40, false, 5, 0, true},  {2, 38, true, 1, 38, false}, {1, 38, true, 1, 0, false},
      {3, 37, true, 3, 37, true},  {3, 9, false, 3, 9, false},
  };
  for (const auto& c : cases) {
    int32_t index = c.Index;
    uint16_t key = c.Key;
    bool forward = c.ForwardBefore;
    ArrowKeyStep(1, 5, index, key, forward);
    EXPECT_EQ(index, c.IndexAfter) << c.Index << " " << c.Key;
    EXPECT_EQ(key, c.KeyAfter) << c.Index << " " << c.Key;
    EXPECT_EQ(forward, c.ForwardAfter) << c.Index << " " << c.Key;
  }
}

TEST(ReplaceCursor, ChangesOnlyOwnedControlsWithTheOldCursor) {
  TComponent owner(nullptr);
  auto* a = new TControl(&owner);
  auto* b = new TWinControl(&owner);
  auto* c = new TControl(&owner);
  new TComponent(&owner);  // not a control
  TControl outsider(nullptr);
  a->SetCursor(crHandPoint);
  b->SetCursor(crHandPoint);
  c->SetCursor(crIBeam);
  outsider.SetCursor(crHandPoint);
  ReplaceCursor(&owner, crHandPoint, 1);
  EXPECT_EQ(a->GetCursor(), 1);
  EXPECT_EQ(b->GetCursor(), 1);
  EXPECT_EQ(c->GetCursor(), crIBeam);
  EXPECT_EQ(outsider.GetCursor(), crHandPoint);
  ReplaceCursor(nullptr, 1, 2);
}

TEST(SetChildShowHint, ReachesDirectChildrenOnly) {
  TWinControl parent(nullptr);
  auto* child = new TWinControl(&parent);
  child->SetParent(&parent);
  auto* grandchild = new TControl(&parent);
  grandchild->SetParent(child);
  SetChildShowHint(&parent, true);
  EXPECT_TRUE(child->GetShowHint());
  EXPECT_FALSE(grandchild->GetShowHint());
  EXPECT_FALSE(parent.GetShowHint());
  SetChildShowHint(&parent, false);
  EXPECT_FALSE(child->GetShowHint());
  SetChildShowHint(nullptr, true);
}

// An edit that notes the text rectangle it is given.
class TRectEdit : public TWinControl {
 public:
  using TWinControl::TWinControl;
  TRect Given{-1, -1, -1, -1};
  void WndProc(TMessage& Message) override {
    if (Message.Msg == EM_SETRECT) Given = *reinterpret_cast<const TRect*>(Message.LParam);
    TWinControl::WndProc(Message);
  }
};

TEST(SetEditMargins, InsetsTheClientRectangle) {
  TRectEdit edit(nullptr);
  edit.SetBounds(0, 0, 120, 80);
  TRect client = edit.GetClientRect();
  SetEditMargins(&edit, 4, 2);
  EXPECT_EQ(edit.Given.Left, client.Left + 4);
  EXPECT_EQ(edit.Given.Right, client.Right - 4);
  EXPECT_EQ(edit.Given.Top, client.Top + 2);
  EXPECT_EQ(edit.Given.Bottom, client.Bottom - 2);
  SelectMsImeForEdits(&edit);
}

// The box of the pixels that differ from Background.
QRect InkBox(const QImage& Picture, QRgb Background) {
  QRect box;
  for (int y = 0; y < Picture.height(); ++y)
    for (int x = 0; x < Picture.width(); ++x)
      if ((Picture.pixel(x, y) & 0xFFFFFF) != (Background & 0xFFFFFF)) box |= QRect(x, y, 1, 1);
  return box;
}

// A memo with more text than fits draws it inside the margins and nowhere else: the text
// moves by the margins and is cut at the right and bottom ones.
TEST(SetEditMargins, AMemoDrawsItsTextInsideTheMargins) {
  std::string text;
  for (int line = 0; line < 30; ++line) text += std::string(40, 'W') + "\r\n";
  QRect plain;
  const struct { int32_t Left, Top; } margins[] = {{0, 0}, {7, 3}, {20, 12}};
  for (const auto& m : margins) {
    SCOPED_TRACE(std::to_string(m.Left) + "," + std::to_string(m.Top));
    TMemo memo(nullptr);
    memo.SetBounds(0, 0, 220, 140);
    memo.Show();
    memo.SetText(text);
    SetEditMargins(&memo, m.Left, m.Top);
    memo.Update();
    const QImage picture = memo.Picture();
    const QRect ink = InkBox(picture, ColorToQRgb(clWindow));
    ASSERT_FALSE(ink.isEmpty());
    if (m.Left == 0) plain = ink;
    EXPECT_EQ(ink.left(), plain.left() + m.Left);
    EXPECT_EQ(ink.top(), plain.top() + m.Top);
    EXPECT_LT(ink.right(), picture.width() - m.Left);
    EXPECT_LT(ink.bottom(), picture.height() - m.Top);
    // The text overflows, so it is drawn up to the margins, not short of them.
    EXPECT_GE(ink.right(), picture.width() - m.Left - 12);
    EXPECT_GE(ink.bottom(), picture.height() - m.Top - 20);
  }
}

}  // namespace
}  // namespace rid
