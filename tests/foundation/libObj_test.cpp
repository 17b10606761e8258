#include "foundation/libObj.h"

#include <gtest/gtest.h>

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
    if (Message.Msg == 0xB3) Given = *reinterpret_cast<const TRect*>(Message.LParam);
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

}  // namespace
}  // namespace rid
