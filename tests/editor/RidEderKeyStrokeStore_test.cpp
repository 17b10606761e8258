#include "editor/RidEderKeyStrokeStore.h"

#include <gtest/gtest.h>

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
  Odd->SetCommand(1234);  // a user command without a name
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
  for (const char* Bad : {"", "ecCopy", "ecCopy,Ctrl+C", "ecNope,Ctrl+C,", "ecCopy,,",
                          "ecCopy,Ctrl+Foo,", "ecCopy,Ctrl+C,Ctrl+C,x", "70000,Ctrl+C,",
                          "ecCopy,99999,", "ecCopy,$1FFFF,", "ecCopy,$,", "ecCopy,56,",
                          "ecCopy,$100,", "ecCopy,$4000,"}) {
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

}  // namespace
}  // namespace rid
