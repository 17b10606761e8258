// Undo and redo through the key commands, with the options the program uses (undo grouping on):
// which changes one undo takes back, that the redos right after a run of undos give back in turn
// what those undos took, and that a paste which changes nothing leaves no trace.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Clipboard.h"
#include "tests/TestSupport.h"
#include "tests/editor/EderScript.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";  // 日: its trail byte has a lead byte's value
const std::string So = "\x83\x5c";  // ソ: its trail byte is a backslash

struct TEder {
  TRidEder Ed{nullptr};
  explicit TEder(const std::string& Text, TBufferCoord Caret = {1, 1}) {
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.SetCaretXY(Caret);
  }
  void Run(TRidEderorCommand Command, char Char = 0, TBufferCoord Place = {}) {
    Ed.CommandProcessor(Command, Char, script::TakesPlace(Command) ? &Place : nullptr);
  }
  void Type(const std::string& Bytes) {
    for (char c : Bytes) Run(ecChar, c);
  }
  std::string Text() { return Ed.GetLines()->SaveToBytes(); }
};

void Offer(const std::string* Plain, const std::string* Block) {
  Clipboard()->Open();
  Clipboard()->Clear();
  if (Plain) Clipboard()->SetAsText(*Plain);
  if (Block) Clipboard()->SetBuffer(RidEderClipboardFormat(), *Block);
  Clipboard()->Close();
}

// A key command, or a character typed (Char set, Command ecChar); a goto's place.
struct TKey {
  TRidEderorCommand Command;
  char Char = 0;
  TBufferCoord Place{};
};
std::vector<TKey> Typed(const std::string& Bytes) {
  std::vector<TKey> keys;
  for (char c : Bytes) keys.push_back({ecChar, c});
  return keys;
}
std::vector<TKey> operator+(std::vector<TKey> A, const std::vector<TKey>& B) {
  A.insert(A.end(), B.begin(), B.end());
  return A;
}

// Keys pressed on a text, with the caret at Caret.
struct TRow {
  const char* Name;
  std::string Text;
  TBufferCoord Caret;
  std::vector<TKey> Keys;
  std::string Want;
  // Undos and redos after the keys, each with the text it gives.
  std::vector<std::pair<TRidEderorCommand, std::string>> Then;
  int32_t MaxUndo = 0;  // the undo limit, 0 the control's own
};

// 1,200 steps: more than the control's undo limit keeps.
std::vector<TKey> PastTheUndoLimit() {
  std::vector<TKey> keys;
  for (int n = 0; n < 600; ++n) keys = keys + Typed("z") + std::vector<TKey>{{ecDeleteLastChar}};
  return keys;
}

TEST(RidEderUndoRedo, EachUndoTakesOneStepAndEachRedoGivesItBack) {
  const std::string a = "\x82\xa0";  // あ
  // The block "bc" over "x": the second row starts right of the block's column, inside あ.
  const std::vector<TKey> block = {
      {ecColumnSelect}, {ecGotoXY, 0, {2, 1}}, {ecSelGotoXY, 0, {4, 2}}};
  const std::vector<TKey> typedThenBlock = Typed("z") + block;
  const std::vector<TKey> pastLimitThenBlock = PastTheUndoLimit() + typedThenBlock;
  const std::string blockText = "abcd\r\n" + a + "xy", typedText = "abcdz\r\n" + a + "xy",
                    deletedText = "adz\r\n" + a + "y";
  const std::vector<std::pair<TRidEderorCommand, std::string>> deletedAndBack = {
      {ecUndo, typedText}, {ecRedo, deletedText}, {ecUndo, typedText}};
  const std::vector<TRow> rows = {
      {"a cut, then a paste over everything",
       "abc def ghi",
       {1, 1},
       {{ecSelRight}, {ecSelRight}, {ecSelRight}, {ecCut}, {ecSelectAll}, {ecPaste}},
       "abc",
       {{ecUndo, " def ghi"},
        {ecUndo, "abc def ghi"},
        {ecRedo, " def ghi"},
        {ecRedo, "abc"},
        {ecUndo, " def ghi"},  // redone, the paste still undoes alone
        {ecUndo, "abc def ghi"},
        {ecRedo, " def ghi"}}},
      {"a deletion of a selection, then a paste over everything",
       "abc def",
       {1, 1},
       {{ecSelRight}, {ecCopy}, {ecDeleteChar}, {ecSelectAll}, {ecPaste}},
       "a",
       {{ecUndo, "bc def"}, {ecUndo, "abc def"}, {ecRedo, "bc def"}, {ecRedo, "a"}}},
      {"typing over a selection, then typing on",
       "abc",
       {1, 1},
       std::vector<TKey>{{ecRight}, {ecSelRight}} + Typed("xy"),
       "axyc",
       {{ecUndo, "axc"}, {ecUndo, "abc"}, {ecRedo, "axc"}, {ecRedo, "axyc"}}},
      {"typing over a selection after typing",
       "abc",
       {4, 1},
       Typed("de") + std::vector<TKey>{{ecSelLeft}, {ecChar, 'X'}} + Typed("Y"),
       "abcdXY",
       {{ecUndo, "abcdX"},
        {ecUndo, "abcde"},
        {ecUndo, "abc"},
        {ecRedo, "abcde"},
        {ecRedo, "abcdX"},
        {ecRedo, "abcdXY"}}},
      {"typing, a move, typing",
       "ab",
       {3, 1},
       Typed("cd") + std::vector<TKey>{{ecLeft}} + Typed("e" + Ni),
       "abce" + Ni + "d",
       {{ecUndo, "abcd"}, {ecUndo, "ab"}, {ecRedo, "abcd"}, {ecRedo, "abce" + Ni + "d"}}},
      {"two pastes in a row",
       "one two",
       {1, 1},
       {{ecSelWordRight}, {ecCopy}, {ecLineEnd}, {ecPaste}, {ecPaste}},
       "one twoone one ",
       {{ecUndo, "one twoone "},
        {ecUndo, "one two"},
        {ecRedo, "one twoone "},
        {ecRedo, "one twoone one "},
        {ecUndo, "one twoone "}}},
      {"Backspaces, then typing",
       "ab" + So + "d",
       {6, 1},
       std::vector<TKey>{{ecDeleteLastChar}, {ecDeleteLastChar}} + Typed("x"),
       "abx",
       {{ecUndo, "ab"}, {ecUndo, "ab" + So + "d"}, {ecRedo, "ab"}, {ecRedo, "abx"}}},
      {"typing, Enter, typing",
       "ab",
       {3, 1},
       Typed("c") + std::vector<TKey>{{ecLineBreak}} + Typed("d"),
       "abc\r\nd",
       {{ecUndo, "abc\r\n"},
        {ecUndo, "abc"},
        {ecUndo, "ab"},
        {ecRedo, "abc"},
        {ecRedo, "abc\r\n"},
        {ecRedo, "abc\r\nd"}}},
      // The steps the undo limit keeps undo and redo exactly, however many it dropped.
      {"a column block deleted past the undo limit",
       blockText,
       {5, 1},
       pastLimitThenBlock + std::vector<TKey>{{ecDeleteChar}},
       deletedText,
       deletedAndBack},
      {"Enter over a column block past the undo limit",
       blockText,
       {5, 1},
       pastLimitThenBlock + std::vector<TKey>{{ecLineBreak}},
       "a\r\ndz\r\n" + a + "y",
       {{ecUndo, typedText}, {ecRedo, "a\r\ndz\r\n" + a + "y"}}},
      {"typing over a column block past the undo limit",
       blockText,
       {5, 1},
       pastLimitThenBlock + Typed("q"),
       "aqdz\r\n" + a + "y",
       {{ecUndo, typedText}, {ecRedo, "aqdz\r\n" + a + "y"}}},
      {"a column block deleted past an undo limit of 1",
       blockText,
       {5, 1},
       typedThenBlock + std::vector<TKey>{{ecDeleteChar}},
       deletedText,
       deletedAndBack,
       1},
      {"a column block deleted past an undo limit of 2",
       blockText,
       {5, 1},
       typedThenBlock + std::vector<TKey>{{ecDeleteChar}},
       deletedText,
       deletedAndBack,
       2},
      // A run of typing goes whole, or an undo would take back part of it.
      {"typing runs past an undo limit of 3",
       "",
       {1, 1},
       Typed("ab") + std::vector<TKey>{{ecLeft}} + Typed("c"),
       "acb",
       {{ecUndo, "ab"}, {ecUndo, "ab"}, {ecRedo, "acb"}},
       3},
      {"typing over everything in mixed line breaks past an undo limit of 1",
       "a\nb\rc",
       {2, 1},
       Typed("z") + std::vector<TKey>{{ecSelectAll}} + Typed("x"),
       "x",
       {{ecUndo, "az\nb\rc"}, {ecRedo, "x"}, {ecUndo, "az\nb\rc"}},
       1},
  };
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Name);
    TEder s(r.Text, r.Caret);
    if (r.MaxUndo > 0) s.Ed.SetMaxUndo(r.MaxUndo);
    for (const TKey& k : r.Keys) s.Run(k.Command, k.Char, k.Place);
    EXPECT_EQ(s.Text(), r.Want);
    for (size_t i = 0; i < r.Then.size(); ++i) {
      s.Run(r.Then[i].first);
      EXPECT_EQ(s.Text(), r.Then[i].second) << "after step " << i + 1 << " of the undos";
    }
  }
}

// A redo leaves the caret where the change itself left it, so that the next key acts there; with
// scrolling past the line end on and off.
TEST(RidEderUndoRedo, RedoLeavesTheCaretWhereTheChangeDid) {
  const std::vector<TRow> rows = {
      {"Delete", "a" + Ni + "b", {1, 1}, {{ecDeleteChar}}},
      {"Delete at a line's end", "ab\r\ncd", {3, 1}, {{ecDeleteChar}}},
      {"Delete to the line end", "  b\r\n" + Ni + "a", {1, 1}, {{ecDeleteEOL}}},
      {"Delete of a word", "ab cd", {1, 1}, {{ecDeleteWord}}},
      {"Delete of a line", "ab\r\ncd\r\nef", {2, 2}, {{ecDeleteLine}}},
      {"Backspace", "a" + So + "b", {4, 1}, {{ecDeleteLastChar}}},
      {"Backspace of a word", "ab cd", {6, 1}, {{ecDeleteLastWord}}},
      {"typing", "ab", {2, 1}, Typed("x" + Ni)},
      {"Enter", "abc", {2, 1}, {{ecLineBreak}}},
      {"a cut", "abcd", {2, 1}, {{ecSelRight}, {ecSelRight}, {ecCut}}},
      {"typing over a selection", "abcd", {2, 1}, {{ecSelRight}, {ecChar, 'x'}}},
  };
  for (const bool pastEol : {true, false}) {
    for (const TRow& r : rows) {
      SCOPED_TRACE(testing::Message() << r.Name << (pastEol ? "" : ", not past the line end"));
      TEder s(r.Text, r.Caret);
      if (!pastEol) s.Ed.SetOptions(s.Ed.GetOptions() - TRidEderorOptions{eoScrollPastEol});
      for (const TKey& k : r.Keys) s.Run(k.Command, k.Char);
      const TBufferCoord after = s.Ed.GetCaretXY();
      const std::string text = s.Text();
      s.Run(ecUndo);
      EXPECT_EQ(s.Text(), r.Text);
      s.Run(ecRedo);
      EXPECT_EQ(s.Text(), text);
      EXPECT_EQ(s.Ed.GetCaretXY(), after);
    }
  }
}

TEST(RidEderUndoRedo, AnEmptyPasteLeavesThePageAsItWas) {
  const std::string modeByte(1, '\0'), lineModeByte(1, '\1'), columnModeByte(1, '\2');
  const std::string empty, stray("x\0\x81", 3);
  struct TClip {
    const char* Name;
    const std::string* Plain;
    const std::string* Block;
  };
  const TClip clips[] = {
      {"an empty text", &empty, nullptr},
      {"a block of its mode byte alone", nullptr, &modeByte},
      {"a line block of its mode byte alone", &empty, &lineModeByte},
      {"a column block of its mode byte alone", nullptr, &columnModeByte},
      {"an empty text beside a block whose text ends at a NUL", &empty, &stray},
  };
  for (const TClip& c : clips) {
    SCOPED_TRACE(c.Name);
    // A page as loaded.
    TEder s("abc \r\ndef", {5, 1});
    Offer(c.Plain, c.Block);
    s.Run(ecPaste);
    EXPECT_EQ(s.Text(), "abc \r\ndef");
    EXPECT_FALSE(s.Ed.GetModified());
    EXPECT_FALSE(s.Ed.CanUndo());

    // Typing undone: the page is unmodified again, and the redo stays.
    s.Type("x");
    s.Run(ecUndo);
    s.Run(ecPaste);
    EXPECT_FALSE(s.Ed.GetModified());
    s.Run(ecRedo);
    EXPECT_EQ(s.Text(), "abc x\r\ndef");
    EXPECT_TRUE(s.Ed.GetModified());

    // A modified page stays so, and its undo takes back the typing.
    s.Run(ecPaste);
    EXPECT_TRUE(s.Ed.GetModified());
    s.Run(ecUndo);
    EXPECT_EQ(s.Text(), "abc \r\ndef");
    EXPECT_FALSE(s.Ed.GetModified());

    // A column block right of the text's end has nothing to take away.
    s.Run(ecColumnSelect);
    s.Run(ecSelRight);
    s.Run(ecSelDown);
    s.Run(ecPaste);
    EXPECT_EQ(s.Text(), "abc \r\ndef");
    EXPECT_FALSE(s.Ed.GetModified());
    EXPECT_TRUE(s.Ed.CanRedo());

    // With the undo list full, the oldest step stays.
    TEder full("abc");
    full.Ed.SetMaxUndo(1);
    full.Type("d");
    Offer(c.Plain, c.Block);
    full.Run(ecPaste);
    EXPECT_EQ(full.Text(), "dabc");
    full.Run(ecUndo);
    EXPECT_EQ(full.Text(), "abc");
  }
}

// Ctrl+S, as the window saves: the page is marked unmodified.
constexpr TRidEderorCommand Save = ecNone;

// Keys on a page as loaded (an empty one unless a row says), then saves, undos and redos, each
// with the text it gives and whether the page shows as modified: never on a text other than the
// one saved. One undo takes a typing run back whole, also beyond the undo limit, which drops older
// steps instead.
TEST(RidEderUndoRedo, ThePageShowsUnmodifiedOnlyOnTheTextSaved) {
  struct TStep {
    TKey Key;
    std::string Text;
    bool Modified;
  };
  struct TSavedRow {
    const char* Name;
    std::vector<TKey> Keys;
    bool Dropped;  // older steps went over the undo limit
    std::vector<TStep> Then;
    std::string Text = {};
    TBufferCoord Caret = {1, 1};
    int32_t MaxUndo = 0;  // the undo limit, 0 the control's own
  };
  std::string run;
  for (int i = 0; i < 1500; ++i) run += static_cast<char>('a' + i % 26);
  const std::vector<TSavedRow> rows = {
      {"a lead byte alone, then a move",
       Typed("a") + std::vector<TKey>{{ecChar, '\x82'}, {ecRight}},
       false,
       {{{Save}, "a\x82", false},
        {{ecUndo}, "", true},
        {{ecRedo}, "a\x82", false},
        {{ecUndo}, "", true},
        {{ecRedo}, "a\x82", false}}},
      {"1,500 characters typed", Typed(run), false, {{{ecUndo}, "", false}, {{ecRedo}, run, true}}},
      {"1,500 characters typed after older typing",
       Typed("xy") + std::vector<TKey>{{ecLeft}} + Typed(run),
       true,
       {{{ecUndo}, "xy", true}, {{ecUndo}, "xy", true}, {{ecRedo}, "x" + run + "y", true}}},
      // The save marked on the break the limit dropped with the typing under it.
      {"a column block deleted after a save, past an undo limit of 1",
       Typed("z") + std::vector<TKey>{{Save},
                                      {ecColumnSelect},
                                      {ecGotoXY, 0, {2, 1}},
                                      {ecSelGotoXY, 0, {4, 2}},
                                      {ecDeleteChar}},
       true,
       {{{ecUndo}, "az\r\n\xfc\xfc ", false},
        {{ecRedo}, "a\r\n\xfc\xfc", true},
        {{ecUndo}, "az\r\n\xfc\xfc ", false}},
       "a\r\n\xfc\xfc ",
       {2, 1},
       1},
  };
  for (const TSavedRow& r : rows) {
    SCOPED_TRACE(r.Name);
    TEder s(r.Text, r.Caret);
    if (r.MaxUndo > 0) s.Ed.SetMaxUndo(r.MaxUndo);
    const auto press = [&](const TKey& k) {
      if (k.Command == Save)
        s.Ed.SetModified(false);
      else
        s.Run(k.Command, k.Char, k.Place);
    };
    for (const TKey& k : r.Keys) press(k);
    EXPECT_EQ(s.Ed.GetUndoList().GetFullUndoImpossible(), r.Dropped);
    for (size_t i = 0; i < r.Then.size(); ++i) {
      const TStep& step = r.Then[i];
      press(step.Key);
      EXPECT_EQ(s.Text(), step.Text) << "after step " << i + 1;
      EXPECT_EQ(s.Ed.GetModified(), step.Modified) << "after step " << i + 1;
    }
  }
}

// Random key scripts (tests/editor/EderScript.h): every command of the key-command table, with
// its argument drawn where it takes one, mouse presses with and without Shift, Alt and Ctrl
// anywhere (past line ends and the last line too), saves and texts of other programs, on the
// window's options and variants of them, now and then under an undo limit of a few items or past
// the control's own. After each step no character is split, the caret and a normal block's ends
// stand on character starts, the page is modified whenever its text is not the one saved, typing
// with nothing selected puts in just its characters, and a copy gives the text selected to other
// programs and back (a column block's, the bytes a cut of it takes); an undo, which may take back
// several steps at once (a run of typing whole, whatever the limit dropped), lands on a text the
// page had before one of them; right after a run of undos each redo gives back, in turn, the text
// its undo took away; undo of everything gives the text loaded (when the limit dropped nothing),
// and redo of everything the text of the newest change.
TEST(RidEderUndoRedo, RandomKeyScriptsRedoWhatTheirUndosTook) {
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    std::mt19937 rng(seed);
    const script::TDraw draw = [&](uint32_t Bound) { return rng() % Bound; };
    Offer(nullptr, nullptr);
    script::TScript s(script::DrawSetUp(draw), script::DrawText(draw, 24));
    // Now and then column selection, a copy or a cut: by chance alone a column block is rarely
    // drawn and then copied.
    const auto step = [&] {
      static constexpr TRidEderorCommand column[] = {ecColumnSelect, ecCopy, ecCut};
      return rng() % 12 ? script::DrawStep(draw) : script::Key(column[rng() % 3]);
    };
    for (int n = 0; n < 60; ++n) ASSERT_EQ(s.Run(step()), "") << seed;
    ASSERT_EQ(s.Finish(), "") << seed;
  }
}

using script::Key;
script::TStep Type(const std::string& Bytes) { return Key(ecChar, Bytes); }
script::TStep Goto(int32_t X, int32_t Y) { return {script::kCommand, ecGotoXY, {}, true, {X, Y}}; }
script::TStep SelectTo(int32_t X, int32_t Y) {
  return {script::kCommand, ecSelGotoXY, {}, true, {X, Y}};
}
script::TStep Click(int32_t X, int32_t Y, uint8_t Keys = 0) {
  return {script::kMouse, ecNone, {}, true, {X, Y}, {X, Y}, Keys};
}
constexpr uint8_t Shift = 1;

// Scripts that broke the properties above, each also a seed of the fuzz target that runs them
// (fuzz/corpus/RidEderScript_fuzz/<name>).
struct TKnownScript {
  const char* Name;
  std::string Text;
  std::vector<script::TStep> Steps;
  script::TSetUp SetUp = {};
};

TEST(RidEderUndoRedo, KnownKeyScriptsKeepTheProperties) {
  script::TSetUp trim, trimWrapped, plainEndWrapped, limitOf1, limitOf3, pastLimit;
  limitOf1.MaxUndo = 1;
  limitOf3.MaxUndo = 3;
  pastLimit.PastLimit = true;
  trim.Toggled = trimWrapped.Toggled = int32_t(eoTrimTrailingSpaces);
  plainEndWrapped.Toggled = int32_t(eoEnhanceEndKey);
  trimWrapped.WrapWidth = plainEndWrapped.WrapWidth = 3;
  std::vector<script::TStep> typedOn;  // past the undo limit of 1,024 steps
  for (int n = 0; n < 1500; n += 7) typedOn.push_back(Type("abcdefg"));
  typedOn.push_back(Key(ecUndo));
  const std::vector<TKnownScript> rows = {
      {"shift-click-from-past-the-line-end-then-type",
       "   \r\n\r\n?\xe0\x80",
       {Goto(1, 2), Key(ecLineBreak), Click(2, 4, Shift), Type(So)}},
      {"shift-click-from-past-the-line-end-then-backspace",
       "   \r\n\r\n\x89\xfc"
       "a",
       {Goto(1, 2), Key(ecLineBreak), Click(2, 4, Shift), Key(ecDeleteLastChar)}},
      {"shift-click-after-shift-tab-past-the-line-end-then-delete",
       "ab\r\nc",
       {Goto(12, 1), Key(ecShiftTab), Click(2, 2, Shift), Key(ecDeleteChar), Key(ecUndo),
        Key(ecRedo)}},
      {"trimmed-blank-then-shift-click-and-type",
       "\n?\xe0\x80",
       {Type(" "), Click(2, 2, Shift), Type(So)},
       trim},
      {"ctrl-page-down", "ab\r\n" + Ni + "a", {Goto(2, 1), Key(ecPageBottom)}},
      {"shift-ctrl-page-down", "ab\r\n" + Ni + "a", {Goto(2, 1), Key(ecSelPageBottom)}},
      {"block-upper-case-in-line-mode-after-ctrl-page-down",
       "xx\r\n\x83\x7c",
       {Key(ecLineSelect), Goto(2, 1), Key(ecPageBottom), Key(ecUpperCaseBlock)}},
      {"block-upper-case-in-column-mode-after-ctrl-page-down",
       "xx\r\n\x83\x7c",
       {Key(ecColumnSelect), Goto(2, 1), Key(ecPageBottom), Key(ecUpperCaseBlock)}},
      {"typing-in-line-mode", "abc", {Goto(2, 1), Key(ecLineSelect), Type("x"), Type("y")}},
      {"save-after-a-lone-lead-byte-then-undo-redo-undo",
       "",
       {Type("a"),
        Type("\x82"),
        Key(ecRight),
        {script::kSave},
        Key(ecUndo),
        Key(ecRedo),
        Key(ecUndo)}},
      {"cut-and-paste-of-a-lone-lead-byte", "\x83", {Key(ecSelLineEnd), Key(ecCut), Key(ecPaste)}},
      {"copy-of-a-nul",
       "",
       {{script::kOffer, ecNone, std::string("ab\0cd", 5)},
        Key(ecPaste),
        Key(ecSelectAll),
        Key(ecCopy)}},
      {"undo-of-1500-typed-characters", "", typedOn},
      // A lead byte typed alone, then a byte that cannot trail it, over a selection: one key put
      // both in, and one undo takes both back.
      {"lone-lead-byte-and-the-next-character-over-a-selection",
       "x",
       {Key(ecSelLineEnd), Type("\x8c("), Key(ecUndo)}},
      // A block case change of empty lines in line mode, typing over: no line goes.
      {"block-case-change-of-empty-lines-in-line-mode-overwriting",
       "\r\n\r\n",
       {Key(ecToggleMode), Key(ecLineSelect), Goto(2, 1), Key(ecSelLineStart),
        Key(ecUpperCaseBlock)}},
      // A blank typed at the end of a line that fills its row, trimmed: the caret stays past it.
      {"trimmed-blank-after-a-full-row-under-word-wrap",
       "\r\nabc",
       {Goto(4, 2), Type(" ")},
       trimWrapped},
      // A blank typed at the end of a run of typing, trimmed at once: one undo takes the run.
      {"trimmed-blank-ending-a-run-of-typing", "", {Type("ab "), Key(ecUndo)}, trim},
      // A lead byte waiting for the next key goes in where it was typed when a click moves the
      // caret, and with an input-method result typed after it.
      {"lone-lead-byte-then-a-click", "ab", {Key(ecLineEnd), Type("\x8a"), Click(2, 1), Type("x")}},
      {"lone-lead-byte-then-an-input-method-result",
       "\x83\x5c",
       {Type("\x94"), Key(ecImeStr, "@x")}},
      // Typing into a line whose blanks at its end the first key trims: one undo takes the run.
      {"typing-that-trims-the-line-it-goes-in",
       "\r\nab ",
       {Goto(1, 2), Type("x"), Type("y"), Key(ecUndo)},
       trim},
      // End in an empty text under word wrap, where no row is yet.
      {"end-in-an-empty-text-under-word-wrap",
       "",
       {Key(ecLineEnd), Key(ecSelLineEnd)},
       plainEndWrapped},
      // Past the undo limit, a column block whose second row starts inside a character, and
      // mixed line breaks, come back as they were; a save marked on a step dropped still counts.
      {"column-delete-past-the-undo-limit",
       "abcd\r\n\x82\xa0xy",
       {Key(ecLineEnd), Type("z"), Key(ecColumnSelect), Goto(2, 1), SelectTo(4, 2),
        Key(ecDeleteChar), Key(ecUndo), Key(ecRedo)},
       pastLimit},
      {"column-delete-after-a-save-past-an-undo-limit-of-1",
       "a\r\n\xfc\xfc ",
       {Goto(2, 1),
        Type("z"),
        {script::kSave},
        Key(ecColumnSelect),
        Goto(2, 1),
        SelectTo(4, 2),
        Key(ecDeleteChar),
        Key(ecUndo),
        Key(ecRedo)},
       limitOf1},
      {"typing-over-mixed-line-breaks-past-an-undo-limit-of-1",
       "a\nb\rc",
       {Goto(2, 1), Type("z"), Key(ecSelectAll), Type("x"), Key(ecUndo), Key(ecRedo)},
       limitOf1},
      // A block case change of a column right of a lone lead byte changes its letters in place:
      // no byte moves, though the lead byte would take the byte after the row were it taken out.
      {"column-upper-case-right-of-a-lone-lead-byte",
       "\x83 ab",
       {Key(ecColumnSelect), Goto(2, 1), SelectTo(4, 1), Key(ecUpperCaseBlock)}},
      // An undo, then a caret move that ends the run of typing, then undoing everything: the
      // break goes onto the redo list with the steps, and redoing everything still reaches the
      // step undone first, though the steps and the break are more than the limit.
      {"undo-then-a-caret-move-then-undo-all-under-an-undo-limit-of-3",
       "x",
       {Key(ecSelLineEnd), Type("a"), Type("b"), Key(ecUndo), Key(ecSelLeft)},
       limitOf3},
  };
  const std::filesystem::path seeds =
      std::filesystem::path(RID_TEST_DATA) / "../../fuzz/corpus/RidEderScript_fuzz";
  for (const TKnownScript& r : rows) {
    SCOPED_TRACE(r.Name);
    const std::string input = script::Input(r.SetUp, r.Text, r.Steps);
    EXPECT_EQ(test::ReadFileBytes(seeds / r.Name), input) << "the fuzz target's seed";
    EXPECT_EQ(script::RunInput(input), "");
  }
}

}  // namespace
}  // namespace rid
