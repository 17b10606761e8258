#include "editor/RidEderKeyCmds.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <tuple>

#include "platform/Menus.h"

namespace rid {
namespace {

TEST(EditorCommands, NamesAreUniqueAndRoundTrip) {
  std::set<TRidEderorCommand> Numbers;
  std::set<std::string_view> Names;
  for (const TRidEderCommandName& c : EditorCommandStrs) {
    EXPECT_TRUE(Numbers.insert(c.Command).second) << c.Name;
    EXPECT_TRUE(Names.insert(c.Name).second) << c.Name;
    EXPECT_EQ(c.Name.substr(0, 2), "ec");
    EXPECT_EQ(EditorCommandToIdent(c.Command), std::string(c.Name));
    EXPECT_EQ(IdentToEditorCommand(c.Name), c.Command);
  }
  EXPECT_EQ(Numbers.size(), 101u);
  // The named ranges, spot-checked at their ends.
  const std::tuple<TRidEderorCommand, const char*> Known[] = {
      {0, "ecNone"},          {1, "ecLeft"},
      {17, "ecGotoXY"},       {101, "ecSelLeft"},
      {117, "ecSelGotoXY"},   {198, "ecSelWord"},
      {201, "ecCopy"},        {214, "ecScrollRight"},
      {233, "ecLineSelect"},  {251, "ecCommentBlock"},
      {301, "ecGotoMarker0"}, {360, "ecSetMarker9"},
      {490, "ecContextHelp"}, {511, "ecChar"},
      {550, "ecImeStr"},      {604, "ecPaste"},
      {613, "ecShiftTab"},    {627, "ecToggleCaseBlock"},
      {630, "ecString"},      {650, "ecAutoCompletion"},
      {1001, "ecUserFirst"},
  };
  for (auto [Number, Name] : Known) EXPECT_EQ(EditorCommandToCodeString(Number), Name);
  EXPECT_EQ(EditorCommandToCodeString(624), "624");
  EXPECT_EQ(EditorCommandToCodeString(64000), "64000");
  EXPECT_FALSE(EditorCommandToIdent(624).has_value());
  EXPECT_FALSE(IdentToEditorCommand("ecleft").has_value());
}

TEST(KeyStrokes, DefaultsInTheirOrder) {
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  ASSERT_EQ(K.GetCount(), 82);
  auto Text = [&](int32_t i) {
    return EditorCommandToCodeString(K[i]->GetCommand()) + " " +
           ShortCutToText(K[i]->GetShortCut());
  };
  // The whole table, written as shortcut and command, in order.
  std::string All;
  for (int32_t i = 0; i < K.GetCount(); ++i)
    All += ShortCutToText(K[i]->GetShortCut()) + " " +
           EditorCommandToCodeString(K[i]->GetCommand()) + ";";
  const std::string Expected =
      "Up ecUp;Shift+Up ecSelUp;Ctrl+Up ecScrollUp;Down ecDown;Shift+Down ecSelDown;"
      "Ctrl+Down ecScrollDown;Left ecLeft;Shift+Left ecSelLeft;Ctrl+Left ecWordLeft;"
      "Shift+Ctrl+Left ecSelWordLeft;Right ecRight;Shift+Right ecSelRight;Ctrl+Right ecWordRight;"
      "Shift+Ctrl+Right ecSelWordRight;PgDn ecPageDown;Shift+PgDn ecSelPageDown;"
      "Ctrl+PgDn ecPageBottom;Shift+Ctrl+PgDn ecSelPageBottom;PgUp ecPageUp;"
      "Shift+PgUp ecSelPageUp;Ctrl+PgUp ecPageTop;Shift+Ctrl+PgUp ecSelPageTop;Home ecLineStart;"
      "Shift+Home ecSelLineStart;Ctrl+Home ecEditorTop;Shift+Ctrl+Home ecSelEditorTop;"
      "End ecLineEnd;Shift+End ecSelLineEnd;Ctrl+End ecEditorBottom;"
      "Shift+Ctrl+End ecSelEditorBottom;Ins ecToggleMode;Ctrl+Ins ecCopy;Shift+Del ecCut;"
      "Shift+Ins ecPaste;Del ecDeleteChar;BkSp ecDeleteLastChar;Shift+BkSp ecDeleteLastChar;"
      "Ctrl+BkSp ecDeleteLastWord;Alt+BkSp ecUndo;Shift+Alt+BkSp ecRedo;Enter ecLineBreak;"
      "Shift+Enter ecLineBreak;Tab ecTab;Shift+Tab ecShiftTab;F1 ecContextHelp;"
      "Ctrl+A ecSelectAll;Ctrl+C ecCopy;Ctrl+V ecPaste;Ctrl+X ecCut;Shift+Ctrl+I ecBlockIndent;"
      "Shift+Ctrl+U ecBlockUnindent;Ctrl+M ecLineBreak;Ctrl+N ecInsertLine;Ctrl+T ecDeleteWord;"
      "Ctrl+Y ecDeleteLine;Shift+Ctrl+Y ecDeleteEOL;Ctrl+Z ecUndo;Shift+Ctrl+Z ecRedo;"
      "Ctrl+0 ecGotoMarker0;Ctrl+1 ecGotoMarker1;Ctrl+2 ecGotoMarker2;Ctrl+3 ecGotoMarker3;"
      "Ctrl+4 ecGotoMarker4;Ctrl+5 ecGotoMarker5;Ctrl+6 ecGotoMarker6;Ctrl+7 ecGotoMarker7;"
      "Ctrl+8 ecGotoMarker8;Ctrl+9 ecGotoMarker9;Shift+Ctrl+0 ecSetMarker0;"
      "Shift+Ctrl+1 ecSetMarker1;Shift+Ctrl+2 ecSetMarker2;Shift+Ctrl+3 ecSetMarker3;"
      "Shift+Ctrl+4 ecSetMarker4;Shift+Ctrl+5 ecSetMarker5;Shift+Ctrl+6 ecSetMarker6;"
      "Shift+Ctrl+7 ecSetMarker7;Shift+Ctrl+8 ecSetMarker8;Shift+Ctrl+9 ecSetMarker9;"
      "Shift+Ctrl+N ecNormalSelect;Shift+Ctrl+C ecColumnSelect;Shift+Ctrl+L ecLineSelect;"
      "Shift+Ctrl+B ecMatchBracket;";
  EXPECT_EQ(All, Expected);

  // Every binding is a one-key binding, no pair occurs twice, and the commands bound to more
  // than one key are exactly the documented ones.
  std::set<TShortCut> Seen;
  std::map<TRidEderorCommand, int> PerCommand;
  for (int32_t i = 0; i < K.GetCount(); ++i) {
    EXPECT_EQ(K[i]->GetKey2(), 0);
    EXPECT_TRUE(Seen.insert(K[i]->GetShortCut()).second) << Text(i);
    ++PerCommand[K[i]->GetCommand()];
  }
  std::map<TRidEderorCommand, int> Multi;
  for (auto [c, n] : PerCommand)
    if (n > 1) Multi[c] = n;
  EXPECT_EQ(Multi, (std::map<TRidEderorCommand, int>{{ecCopy, 2},
                                                     {ecCut, 2},
                                                     {ecPaste, 2},
                                                     {ecUndo, 2},
                                                     {ecRedo, 2},
                                                     {ecDeleteLastChar, 2},
                                                     {ecLineBreak, 3}}));
}

TEST(KeyStrokes, LookupsByKeyAndShortcut) {
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  int32_t i = K.IndexOfKey(VK_BACK, {ssShift});
  ASSERT_GE(i, 0);
  EXPECT_EQ(K[i]->GetCommand(), ecDeleteLastChar);
  EXPECT_EQ(K.IndexOfShortcut(scCtrl | 'Z'), K.IndexOfKey('Z', {ssCtrl}));
  EXPECT_EQ(K.IndexOfKey('K', {ssCtrl}), -1);

  // A two-key binding beside a one-key binding of its first key.
  TRidEderKeyStroke* Seq = K.Add();
  Seq->SetCommand(ecCommentBlock);
  Seq->SetShortCut(scCtrl | 'K');
  Seq->SetShortCut2(scCtrl | 'B');
  EXPECT_EQ(K.IndexOfKey('K', {ssCtrl}), -1);  // only the start of a sequence
  TRidEderKeyStroke* One = K.Add();
  One->SetCommand(ecDeleteLine);
  One->SetShortCut(scCtrl | 'K');  // no clash with Ctrl+K, Ctrl+B
  EXPECT_EQ(K.IndexOfKey('K', {ssCtrl}), One->GetIndex());
  EXPECT_EQ(K.IndexOfKeys('K', {ssCtrl}, 'B', {ssCtrl}), Seq->GetIndex());
  EXPECT_EQ(K.IndexOfShortcuts(scCtrl | 'K', scCtrl | 'B'), Seq->GetIndex());
  EXPECT_EQ(K.IndexOfShortcuts(scCtrl | 'K', 0), One->GetIndex());
  EXPECT_EQ(Seq->GetDisplayName(), "ecCommentBlock - Ctrl+K Ctrl+B");
  EXPECT_EQ(One->GetDisplayName(), "ecDeleteLine - Ctrl+K ");
  EXPECT_EQ(K.Add()->GetDisplayName(), "ecNone - ");
}

TEST(KeyStrokes, DuplicateShortcutsAreRefused) {
  TRidEderKeyStrokes K;
  K.ResetDefaults();
  TRidEderKeyStroke* Undo = K[K.IndexOfShortcut(scCtrl | 'Z')];
  Undo->SetShortCut(scCtrl | 'Z');  // its own value: fine
  TRidEderKeyStroke* Other = K.Add();
  Other->SetCommand(ecRedo);
  try {
    Other->SetShortCut(scCtrl | 'Z');
    FAIL();
  } catch (const ERidKeyError& e) {
    EXPECT_STREQ(e.what(), "Shortcut already exists");
  }
  EXPECT_EQ(Other->GetShortCut(), 0);  // unchanged
  Other->SetShortCut(scCtrl | 'Q');
  Other->SetShortCut2(scCtrl | 'Z');  // Ctrl+Q, Ctrl+Z is a new pair
  TRidEderKeyStroke* Third = K.Add();
  Third->SetShortCut2(scCtrl | 'Z');  // first shortcut 0: never a clash
  EXPECT_THROW(Third->SetShortCut(scCtrl | 'Q'), ERidKeyError);
  EXPECT_EQ(Third->GetShortCut(), 0);
  // AddKey and Assign never check.
  K.AddKey(ecCopy, 'C', {ssCtrl});
  EXPECT_EQ(K.GetCount(), 85);
}

TEST(KeyStrokes, AssignCopiesEveryBinding) {
  TRidEderKeyStrokes A, B;
  A.ResetDefaults();
  A[0]->SetShortCut2(scCtrl | 'X');
  B.AddKey(ecUndo, 'U', {});
  B.Assign(&A);
  ASSERT_EQ(B.GetCount(), A.GetCount());
  for (int32_t i = 0; i < A.GetCount(); ++i) {
    EXPECT_EQ(B[i]->GetShortCut(), A[i]->GetShortCut());
    EXPECT_EQ(B[i]->GetShortCut2(), A[i]->GetShortCut2());
    EXPECT_EQ(B[i]->GetCommand(), A[i]->GetCommand());
    EXPECT_EQ(B[i]->Collection(), &B);
  }
  B.Delete(0);
  EXPECT_EQ(B.GetCount(), 81);
  EXPECT_THROW(B.Delete(81), EListError);
}

}  // namespace
}  // namespace rid
