#include "platform/Menus.h"

#include <gtest/gtest.h>

namespace rid {
namespace {

TEST(MenuShortcuts, PackAndUnpackKeyAndShift) {
  EXPECT_EQ(ShortCut('A', {ssCtrl}), scCtrl | 'A');
  EXPECT_EQ(ShortCut(VK_BACK, {ssShift, ssAlt}), scShift | scAlt | VK_BACK);
  EXPECT_EQ(ShortCut(VK_F1, {ssLeft, ssDouble}), VK_F1);  // mouse states do not count
  EXPECT_EQ(ShortCut(0x1FF, {}), 0);                      // not a one-byte key
  uint16_t Key = 0;
  TShiftState Shift;
  ShortCutToKey(scShift | scCtrl | 'Z', Key, Shift);
  EXPECT_EQ(Key, 'Z');
  EXPECT_EQ(Shift, (TShiftState{ssShift, ssCtrl}));
  ShortCutToKey(0, Key, Shift);
  EXPECT_EQ(Key, 0);
  EXPECT_TRUE(Shift.Empty());
}

TEST(MenuShortcuts, TextOfEveryNamedKey) {
  struct Case {
    TShortCut SC;
    const char* Text;
  };
  const Case Cases[] = {
      {VK_BACK, "BkSp"},   {VK_TAB, "Tab"},     {VK_ESCAPE, "Esc"},  {VK_RETURN, "Enter"},
      {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"},  {VK_NEXT, "PgDn"},   {VK_END, "End"},
      {VK_HOME, "Home"},   {VK_LEFT, "Left"},   {VK_UP, "Up"},       {VK_RIGHT, "Right"},
      {VK_DOWN, "Down"},   {VK_INSERT, "Ins"},  {VK_DELETE, "Del"},  {VK_F1, "F1"},
      {VK_F12, "F12"},     {'A', "A"},          {'7', "7"},
      {scCtrl | 'C', "Ctrl+C"},
      {scShift | scCtrl | VK_F5, "Shift+Ctrl+F5"},
      {scShift | scAlt | VK_BACK, "Shift+Alt+BkSp"},
      {scShift | scCtrl | scAlt | VK_DELETE, "Shift+Ctrl+Alt+Del"},
  };
  for (const Case& c : Cases) {
    EXPECT_EQ(ShortCutToText(c.SC), c.Text);
    EXPECT_EQ(TextToShortCut(c.Text), c.SC) << c.Text;
  }
  EXPECT_EQ(ShortCutToText(0), "");
  EXPECT_EQ(ShortCutToText(scCtrl), "");
}

TEST(MenuShortcuts, ReadsLooseTextAndRejectsForeignText) {
  EXPECT_EQ(TextToShortCut("ctrl+shift+a"), scCtrl | scShift | 'A');
  EXPECT_EQ(TextToShortCut("Alt+f4"), scAlt | VK_F4);
  EXPECT_EQ(TextToShortCut(""), 0);
  EXPECT_EQ(TextToShortCut("Ctrl+"), 0);
  EXPECT_EQ(TextToShortCut("Ctrl+Foo"), 0);
  EXPECT_EQ(TextToShortCut("F13"), 0);
  // Every shortcut with a name survives the round trip.
  for (uint32_t sc = 0; sc <= 0xFFFF; ++sc) {
    if (sc & 0x1F00) continue;
    std::string Text = ShortCutToText(static_cast<TShortCut>(sc));
    if (!Text.empty()) {
      ASSERT_EQ(TextToShortCut(Text), sc) << Text;
    }
  }
}

}  // namespace
}  // namespace rid
