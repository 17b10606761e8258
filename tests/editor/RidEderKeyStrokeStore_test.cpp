#include "editor/RidEderKeyStrokeStore.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/Menus.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

TRidEderorCommand CommandOf(const TRidEderKeyStrokes& K, TShortCut SC, TShortCut SC2 = 0) {
  int32_t i = K.IndexOfShortcuts(SC, SC2);
  return i < 0 ? ecNone : K[i]->GetCommand();
}

TEST(KeyStrokeStore, DefaultsWriteNothing) {
  TMemIni Ini("");
  Ini.WriteString(SAddedKeystrokes, "1", "ecCopy,Ctrl+Q,");  // stale: must go
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  WriteKeystrokes(Ini, K);
  EXPECT_FALSE(Ini.SectionExists(SRemovedKeystrokes));
  EXPECT_FALSE(Ini.SectionExists(SAddedKeystrokes));
}

TEST(KeyStrokeStore, RebindingIsOneRemovalAndOneAddition) {
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  K[K.IndexOfShortcut(scCtrl | 'Z')]->SetCommand(ecRedo);
  auto Removed = RemovedKeystrokes(K, nullptr);
  auto Added = AddedKeystrokes(K, nullptr);
  ASSERT_EQ(Removed->GetCount(), 1);
  ASSERT_EQ(Added->GetCount(), 1);
  EXPECT_EQ(KeyStrokeToText(*Removed->GetItem(0)), "ecUndo,Ctrl+Z,");
  EXPECT_EQ(KeyStrokeToText(*Added->GetItem(0)), "ecRedo,Ctrl+Z,");

  TMemIni Ini("");
  WriteKeystrokes(Ini, K);
  EXPECT_EQ(Ini.ReadString(SRemovedKeystrokes, "1", ""), "ecUndo,Ctrl+Z,");
  EXPECT_EQ(Ini.ReadString(SAddedKeystrokes, "1", ""), "ecRedo,Ctrl+Z,");

  TRidEderKeyStrokes Back;
  Back.ResetDefaults();
  ReadKeystrokes(Ini, Back);  // a removal first, so the addition does not clash
  EXPECT_EQ(Back.GetCount(), 82);
  EXPECT_EQ(CommandOf(Back, scCtrl | 'Z'), ecRedo);
  EXPECT_EQ(CommandOf(Back, VK_BACK | scAlt), ecUndo);
  EXPECT_TRUE(RemovedKeystrokes(Back, nullptr)->GetCount() == 1);
  EXPECT_EQ(KeyStrokeToText(*AddedKeystrokes(Back, nullptr)->GetItem(0)), "ecRedo,Ctrl+Z,");
}

TEST(KeyStrokeStore, TwoKeyAndUnnamedBindingsSurviveAFile) {
  test::TempDir Dir;
  const std::string File = (Dir / "keys.ini").string();
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  K.Delete(K.IndexOfShortcut(VK_F1));
  TRidEderKeyStroke* Seq = K.Add();
  Seq->SetCommand(ecCommentBlock);
  Seq->SetShortCut(scCtrl | 'K');
  Seq->SetShortCut2(scCtrl | 'C');
  TRidEderKeyStroke* Odd = K.Add();
  Odd->SetCommand(1234);               // a user command without a name
  Odd->SetShortCut(scAlt | VK_OEM_1);  // a key without a name
  {
    TMemIni Ini(File);
    WriteKeystrokes(Ini, K);
    ASSERT_TRUE(Ini.Save());
  }
  TMemIni Ini(File);
  EXPECT_EQ(Ini.ReadString(SAddedKeystrokes, "1", ""), "ecCommentBlock,Ctrl+K,Ctrl+C");
  EXPECT_EQ(Ini.ReadString(SAddedKeystrokes, "2", ""), "1234,$80BA,");
  TRidEderKeyStrokes Back;
  Back.ResetDefaults();
  ReadKeystrokes(Ini, Back);
  EXPECT_TRUE(CollectionsEqual(Back, K));
}

TEST(KeyStrokeStore, AncestorIsTheBase) {
  TRidEderKeyStrokes Ancestor, K;
  Ancestor.AddKey(ecCopy, 'C', {ssCtrl});
  Ancestor.AddKey(ecPaste, 'V', {ssCtrl});
  K.Assign(&Ancestor);
  K.Delete(0);
  auto Removed = RemovedKeystrokes(K, &Ancestor);
  ASSERT_EQ(Removed->GetCount(), 1);
  EXPECT_EQ(Removed->GetItem(0)->GetCommand(), ecCopy);
  EXPECT_EQ(AddedKeystrokes(K, &Ancestor)->GetCount(), 0);
}

TEST(KeyStrokeStore, ForeignLinesAreSkipped) {
  TRidEderKeyStroke Key(nullptr);
  for (const char* Bad :
       {"", "ecCopy", "ecCopy,Ctrl+C", "ecNope,Ctrl+C,", "ecCopy,,", "ecCopy,Ctrl+Foo,",
        "ecCopy,Ctrl+C,Ctrl+C,x", "70000,Ctrl+C,", "ecCopy,99999,", "ecCopy,$1FFFF,", "ecCopy,$,",
        "ecCopy,56,", "ecCopy,$100,", "ecCopy,$4000,"}) {
    EXPECT_FALSE(TextToKeyStroke(Bad, Key)) << Bad;
  }
  EXPECT_EQ(Key.GetCommand(), ecNone);
  ASSERT_TRUE(TextToKeyStroke("ecCopy,8,Shift+8", Key));  // digits are keys
  EXPECT_EQ(Key.GetShortCut(), '8');
  EXPECT_EQ(Key.GetShortCut2(), scShift | '8');
  TMemIni Ini("");
  Ini.WriteString(SAddedKeystrokes, "1", "garbage");
  Ini.WriteString(SAddedKeystrokes, "2", "ecUndo,Ctrl+U,");
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  ReadKeystrokes(Ini, K);
  EXPECT_EQ(K.GetCount(), 83);
  EXPECT_EQ(CommandOf(K, scCtrl | 'U'), ecUndo);
}

// The difference is found in one pass over each collection; it must be what taking the
// bindings one at a time (find the first of the same keys, compare, delete) gives, also with
// bindings that share keys or repeat.
TEST(KeyStrokeStore, DifferenceAsTakingOneBindingAtATime) {
  const auto sameFirst = [](const TRidEderKeyStrokes& K, const TRidEderKeyStroke& Key) {
    const int32_t i = K.IndexOfShortcuts(Key.GetShortCut(), Key.GetShortCut2());
    return i >= 0 && K[i]->GetCommand() == Key.GetCommand() ? i : -1;
  };
  const auto append = [](TRidEderKeyStrokes& K, const TRidEderKeyStroke& Key) {
    K.Add()->Assign(const_cast<TRidEderKeyStroke*>(&Key));
  };
  std::mt19937 rng(33);
  const auto random = [&](TRidEderKeyStrokes& K) {
    K.Clear();
    for (int n = rng() % 12; n > 0; --n) {
      TRidEderKeyStroke* Key = K.Add();
      Key->SetCommand(static_cast<TRidEderorCommand>(ecCopy + rng() % 2));
      Key->SetKey(static_cast<uint16_t>('A' + rng() % 3));
      Key->SetKey2(static_cast<uint16_t>(rng() % 2 ? 0 : 'B'));
    }
  };
  for (int round = 0; round < 2000; ++round) {
    TRidEderKeyStrokes Keys, Base, Removed, Added;
    random(Keys);
    random(Base);
    random(Removed);
    random(Added);
    SCOPED_TRACE(round);
    TRidEderKeyStrokes WantRemoved, WantAdded, WantApplied, Applied;
    WantRemoved.Assign(&Base);
    for (int32_t i = 0; i < WantRemoved.GetCount();)
      sameFirst(Keys, *WantRemoved[i]) >= 0 ? WantRemoved.Delete(i) : void(++i);
    EXPECT_TRUE(CollectionsEqual(*RemovedKeystrokes(Keys, &Base), WantRemoved));
    for (int32_t i = 0; i < Keys.GetCount(); ++i)
      if (sameFirst(Base, *Keys[i]) < 0) append(WantAdded, *Keys[i]);
    EXPECT_TRUE(CollectionsEqual(*AddedKeystrokes(Keys, &Base), WantAdded));
    WantApplied.Assign(&Keys);
    for (int32_t i = 0; i < Removed.GetCount(); ++i)
      if (const int32_t j = sameFirst(WantApplied, *Removed[i]); j >= 0) WantApplied.Delete(j);
    for (int32_t i = 0; i < Added.GetCount(); ++i) append(WantApplied, *Added[i]);
    Applied.Assign(&Keys);
    ApplyKeystrokeDifference(Applied, Removed, Added);
    EXPECT_TRUE(CollectionsEqual(Applied, WantApplied));
  }
}

}  // namespace
}  // namespace rid
