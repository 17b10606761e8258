// What each command does to the text and the caret, and that undo and redo give back the bytes
// before and after it exactly.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QMouseEvent>
#include <algorithm>
#include <functional>
#include <list>
#include <string>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "editor/RidMacroRecorder.h"
#include "platform/Clipboard.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";   // 日: its trail byte has a lead byte's value
const std::string Hon = "\x96\x7b";  // 本

struct TStep {
  TRidEderorCommand Command;
  char Char = 0;
  const char* Ime = nullptr;  // ecImeStr's text
  TBufferCoord At{0, 0};      // ecGotoXY, ecSelGotoXY, ecSetMarker0..9: the position, if any
  bool ShiftClick = false;    // a left click with Shift held at At, instead of a command
  // What a program does to the control instead of a command; the page starts anew from it,
  // unless it edits as a command does (undo takes it back).
  std::function<void(TRidEder&)> Program = nullptr;
  bool Anew = true;
};
TStep Ch(char C) { return {ecChar, C}; }
TStep Ime(const std::string& S) {
  static std::list<std::string> kept;  // the rows' strings outlive the table, unmoved
  kept.push_back(S);
  return {ecImeStr, 0, kept.back().c_str()};
}
TStep Go(TRidEderorCommand C, TBufferCoord P) { return {C, 0, nullptr, P}; }
TStep ShiftClick(TBufferCoord P) { return {ecNone, 0, nullptr, P, true}; }
// What a program does to the control, in place of a command.
TStep Program(std::function<void(TRidEder&)> Action) {
  TStep step{ecNone};
  step.Program = std::move(Action);
  return step;
}
// A replace-all of one text by another, asking first, with "all" for an answer.
TStep ReplaceAllAsked(const std::string& Search, const std::string& With) {
  TStep step = Program([=](TRidEder& Ed) {
    TRidEderSearch engine(nullptr);
    Ed.SetSearchEngine(&engine);
    Ed.OnReplaceText = [](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                          TRidReplaceAction& Action) { Action = raReplaceAll; };
    TRidSearchOptions options;
    for (TRidSearchOption o : {ssoEntireScope, ssoReplaceAll, ssoPrompt}) options.Include(o);
    Ed.SearchReplace(Search, With, options);
    Ed.OnReplaceText = {};
    Ed.SetSearchEngine(nullptr);
  });
  step.Anew = false;
  return step;
}
// How a program puts a text in place of the page: as a file's bytes, set as a string, or as
// bytes inside its update lock, also after the window is gone.
enum class TLoad { AsBytes, AsString, InUpdate, WithoutWindow };
TStep Load(const std::string& S, TLoad How = TLoad::AsBytes) {
  return Program([=](TRidEder& Ed) {
    if (How == TLoad::WithoutWindow) Ed.DestroyHandle();
    if (How >= TLoad::InUpdate) Ed.BeginUpdate();
    if (How == TLoad::AsString)
      Ed.SetText(S);
    else
      Ed.GetLines()->LoadFromBytes(S);
    if (How >= TLoad::InUpdate) Ed.EndUpdate();
  });
}

struct TRow {
  const char* Name;
  std::string Text;
  TBufferCoord Caret, Anchor;  // a selection from Anchor when it differs from the caret
  std::vector<TStep> Steps;
  std::string Want;
  TBufferCoord WantCaret;
  TRidEderorOptions Add = {}, Remove = {};
  bool Overwrite = false;
  int32_t WrapWidth = 0;  // word wrap at this many columns, 0 none
};

const TRidEderorOptions TabsToSpaces{eoTabsToSpaces}, AutoIndent{eoAutoIndent},
    SmartTabDelete{eoSmartTabDelete}, Trim{eoTrimTrailingSpaces}, GroupUndo{eoGroupUndo};

// Pressed and released as the window sends it, just right of the left edge of P's cell.
void SendShiftClick(TRidEder& Ed, TBufferCoord P) {
  const TDisplayCoord d = Ed.BufferToDisplayPos(P);
  const int32_t h = Ed.GetLineHeight();
  const QPointF at(Ed.ColumnToXValue(d.Column) + 1, (d.Row - Ed.GetTopLine()) * h + h / 2);
  QWidget* w = Ed.ClientWidget();
  for (const bool press : {true, false}) {
    QMouseEvent e(press ? QEvent::MouseButtonPress : QEvent::MouseButtonRelease, at,
                  w->mapToGlobal(at), Qt::LeftButton, press ? Qt::LeftButton : Qt::NoButton,
                  Qt::ShiftModifier);
    QApplication::sendEvent(w, &e);
  }
}

void RunStep(TRidEder& Ed, const TStep& S) {
  if (S.ShiftClick) return SendShiftClick(Ed, S.At);
  if (S.Program) return S.Program(Ed);
  TBufferCoord at = S.At;
  void* data = S.Ime                      ? static_cast<void*>(const_cast<char*>(S.Ime))
               : at == TBufferCoord{0, 0} ? nullptr
                                          : &at;
  Ed.CommandProcessor(S.Command, S.Char, data);
}

void RunRow(const TRow& R) {
  SCOPED_TRACE(R.Name);
  TRidEder ed(nullptr);
  ed.SetBounds(0, 0, 400, 240);
  ed.Show();
  ed.SetOptions(ed.GetOptions() + R.Add - R.Remove);
  ed.SetTabWidth(4);
  ed.SetInsertMode(!R.Overwrite);
  if (R.WrapWidth > 0) {
    ed.SetBounds(0, 0, 400 - (ed.GetCharsInWindow() - R.WrapWidth) * ed.GetCharWidth(), 240);
    ed.SetWordWrap(true);
  }
  ed.GetLines()->LoadFromBytes(R.Text);
  {
    TRidPaintLock lock(ed);  // a caret past the line end stays where the row puts it
    ed.SetCaretXY(R.Caret);
    if (R.Anchor.Line > 0) {
      ed.SetBlockBegin(R.Anchor);
      ed.SetBlockEnd(R.Caret);
    }
  }
  std::string start = R.Text;              // what undoing everything gives back
  std::vector<std::string> texts{R.Text};  // what the page has had
  for (const TStep& s : R.Steps) {
    RunStep(ed, s);
    if (s.Program && s.Anew) texts.clear();
    texts.push_back(ed.GetLines()->SaveToBytes());
    if (s.Program && s.Anew) start = texts.back();
  }
  const std::string after = ed.GetLines()->SaveToBytes();
  EXPECT_EQ(after, R.Want);
  EXPECT_EQ(ed.GetCaretXY(), R.WantCaret);
  const auto onTrail = [&](TBufferCoord P) {
    return P.Line >= 1 && P.Line <= ed.GetLines()->GetCount() &&
           IsTrailByteAt(ed.GetLines()->GetView(P.Line - 1), P.Char);
  };
  EXPECT_FALSE(onTrail(ed.GetCaretXY())) << "the caret inside a character";
  if (ed.GetActiveSelectionMode() == smNormal) {
    EXPECT_FALSE(onTrail(ed.GetRawBlockBegin())) << "the anchor inside a character";
    EXPECT_FALSE(onTrail(ed.GetRawBlockEnd())) << "the block's end inside a character";
  }
  EXPECT_EQ(ed.GetModified(), after != start);
  while (ed.CanUndo()) {
    ed.Undo();
    EXPECT_NE(std::find(texts.begin(), texts.end(), ed.GetLines()->SaveToBytes()), texts.end())
        << "an undo gave a text the page never had";
  }
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), start) << "undo";
  EXPECT_FALSE(ed.GetModified()) << "undo";
  while (ed.CanRedo()) ed.Redo();
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), after) << "redo";
  EXPECT_EQ(ed.GetModified(), after != start) << "redo";
}

TEST(RidEderEditing, TypingAndTheInputMethod) {
  const std::vector<TRow> rows = {
      {"a typed character", "ab", {2, 1}, {}, {Ch('x')}, "axb", {3, 1}},
      {"control characters and DEL type nothing",
       "ab",
       {2, 1},
       {},
       {Ch(31), Ch(127)},
       "ab",
       {2, 1}},
      {"overwriting takes a whole character",
       Ni + "a",
       {1, 1},
       {},
       {Ch('x')},
       "xa",
       {2, 1},
       {},
       {},
       true},
      {"overwriting at the line end inserts",
       "ab\r\ncd",
       {3, 1},
       {},
       {Ch('x')},
       "abx\r\ncd",
       {4, 1},
       {},
       {},
       true},
      {"overwriting past the line end keeps the break",
       "ab\r\ncd",
       {5, 1},
       {},
       {Ch('x')},
       "ab  x\r\ncd",
       {6, 1},
       {},
       {},
       true},
      {"a lead byte waits for its trail byte",
       "a",
       {1, 1},
       {},
       {Ch('\x93'), Ch('\xfa')},
       Ni + "a",
       {3, 1}},
      {"a lead byte followed by another command goes in alone",
       "a",
       {2, 1},
       {},
       {Ch('\x93'), {ecLeft}},
       "a\x93",
       {2, 1}},
      {"a lead byte followed by a byte that cannot follow it goes in alone",
       "a",
       {2, 1},
       {},
       {Ch('\x93'), Ch('!')},
       "a\x93!",
       {4, 1}},
      // A lead byte typed alone goes in with the byte or result typed after it, in that order,
      // and one undo takes both back.
      {"a lead byte and a byte that cannot follow it go in together before the text",
       "ab",
       {2, 1},
       {},
       {Ch('\x8c'), Ch('(')},
       "a\x8c(b",
       {4, 1}},
      {"a lead byte and the byte after it undo together without grouping",
       "",
       {1, 1},
       {},
       {Ch('\x8a'), Ch('&')},
       "\x8a&",
       {3, 1},
       {},
       GroupUndo},
      {"a lead byte and the byte after it overwrite a character each",
       " ",
       {1, 1},
       {},
       {Ch('\xfa'), Ch(' ')},
       "\xfa ",
       {3, 1},
       {},
       {},
       true},
      {"a lead byte goes in with an input-method result after it",
       "\x83\x5c",
       {1, 1},
       {},
       {Ch('\x94'), Ime("@x")},
       "\x94@x\x83\x5c",
       {4, 1}},
      // Before a replace-all, whose window takes the focus while a hit is selected, it goes in
      // where it was typed and undoes with the replacements.
      {"a lead byte goes in before a replace-all",
       "|",
       {2, 1},
       {},
       {Ch('\x89'), ReplaceAllAsked("|", "x")},
       "x\x89",
       {2, 1}},
      {"an input-method result", "ab", {2, 1}, {}, {Ime(Ni + Hon)}, "a" + Ni + Hon + "b", {6, 1}},
      {"overwritten by a result, a character stays whole",
       "abc" + Ni + "d",
       {1, 1},
       {},
       {Ime(Ni + Hon)},
       Ni + Hon + Ni + "d",
       {5, 1},
       {},
       {},
       true},
      {"a result overwrites a single byte before a double-byte character",
       "a" + Ni,
       {1, 1},
       {},
       {Ime("xy")},
       "xy" + Ni,
       {3, 1},
       {},
       {},
       true},
      {"a break in a result is a line break",
       "ab",
       {2, 1},
       {},
       {Ime("x\r\ny")},
       "ax\r\nyb",
       {2, 2}},
      {"a result without text does nothing", "ab", {2, 1}, {}, {{ecImeStr}}, "ab", {2, 1}},
      {"a result replaces the selection",
       "abcd",
       {4, 1},
       {2, 1},
       {Ime(Ni)},
       "a" + Ni + "d",
       {4, 1}},
      // With nothing selected a character goes in at the caret whatever the selection mode, as
      // an input-method result does.
      {"in line mode", "abc", {2, 1}, {}, {{ecLineSelect}, Ch('x'), Ch('y')}, "axybc", {4, 1}},
      {"whole lines typed over",
       "abc\r\nde",
       {2, 1},
       {},
       {{ecLineSelect}, {ecSelDown}, Ch('x')},
       "x",
       {2, 1}},
      {"whole lines typed over while overwriting leave the lines after them",
       "a\r\nb\r\nc",
       {2, 1},
       {1, 1},
       {{ecLineSelect}, Ch('x')},
       "x\r\nb\r\nc",
       {1, 2},
       {},
       {},
       true},
      // Under word wrap too, a blank typed at the end of a full row and trimmed still counts.
      {"a trimmed blank ending a result on a full row",
       "",
       {1, 1},
       {},
       {Ime("x\r\nabc "), Ch('y')},
       "x\r\nabc y",
       {6, 2},
       Trim,
       {},
       false,
       3},
  };
  for (const TRow& r : rows) RunRow(r);
}

// With trimming, a blank typed at a line's end is taken back only while nothing follows it: a
// word typed after it keeps it, whatever the line's length, also where the caret after it stands
// past the 1,024 columns it may otherwise go beyond a line's end. Tab moves to the next stop.
TEST(RidEderEditing, ABlankTypedBetweenWordsStaysWhateverTheLinesLength) {
  std::list<std::string> names;
  std::vector<TRow> rows;
  for (int32_t n :
       {1020, 1021, 1022, 1023, 1024, 1025, 1026, 1027, 1028, 1029, 1030, 1100, 2047, 5000}) {
    const std::string line(n, 'x');
    const int32_t toStop = 4 - (n + 1) % 4;  // from the column after "a" (tab width 4)
    // Typed: what the line gains; Columns: how far the caret goes.
    const auto add = [&](const std::string& What, std::vector<TStep> Steps, std::string Typed,
                         int32_t Columns) {
      names.push_back(What + " after " + std::to_string(n) + " bytes");
      const TBufferCoord caret{n + 1, 1}, wantCaret{n + 1 + Columns, 1};
      rows.push_back(
          {names.back().c_str(), line, caret, {}, std::move(Steps), line + Typed, wantCaret, Trim});
    };
    add("a blank", {Ch('a'), Ch(' '), Ch('b')}, "a b", 3);
    add("two blanks", {Ch('a'), Ch(' '), Ch(' '), Ch('b')}, "a  b", 4);
    add("a tab", {Ch('a'), {ecTab}, Ch('b')}, "a" + std::string(toStop, ' ') + "b", toStop + 2);
    add("a blank ending a result", {Ime("a "), Ch('b')}, "a b", 3);
    add("a blank at the end", {Ch('a'), Ch(' ')}, "a", 2);
  }
  for (const TRow& r : rows) RunRow(r);
}

TEST(RidEderEditing, LineBreaks) {
  const std::vector<TRow> rows = {
      {"inside an indented line",
       "    abcd",
       {7, 1},
       {},
       {{ecLineBreak}},
       "    ab\r\n    cd",
       {5, 2}},
      {"tabs stay tabs without tabs-to-spaces",
       "\t\tabcd",
       {5, 1},
       {},
       {{ecLineBreak}},
       "\t\tab\r\n\t\tcd",
       {3, 2},
       {},
       TabsToSpaces},
      {"at the end the indentation is copied",
       "  ab",
       {5, 1},
       {},
       {{ecLineBreak}},
       "  ab\r\n  ",
       {3, 2}},
      {"without auto-indent",
       "  abcd",
       {5, 1},
       {},
       {{ecLineBreak}},
       "  ab\r\ncd",
       {1, 2},
       {},
       AutoIndent},
      {"at column 1", "ab", {1, 1}, {}, {{ecLineBreak}}, "\r\nab", {1, 2}},
      {"on an empty line the caret takes the indentation above",
       "    x\r\n\r\ny",
       {1, 2},
       {},
       {{ecLineBreak}},
       "    x\r\n\r\n\r\ny",
       {5, 3}},
      {"past the line end", "ab", {5, 1}, {}, {{ecLineBreak}}, "ab\r\n", {1, 2}},
      {"replacing the selection", "abcd", {4, 1}, {2, 1}, {{ecLineBreak}}, "a\r\nd", {1, 2}},
      {"a new line keeps the caret",
       "  abcd",
       {5, 1},
       {},
       {{ecInsertLine}},
       "  ab\r\n  cd",
       {5, 1}},
      {"the break is of the kind of the line's",
       "ab\ncd\r\n",
       {2, 1},
       {},
       {{ecLineBreak}},
       "a\nb\ncd\r\n",
       {1, 2}},
  };
  for (const TRow& r : rows) RunRow(r);
}

TEST(RidEderEditing, Deletions) {
  const std::vector<TRow> rows = {
      {"backspace after a double-byte character and a letter takes the letter",
       Ni + "a",
       {4, 1},
       {},
       {{ecDeleteLastChar}},
       Ni,
       {3, 1}},
      {"backspace takes a double-byte character whole",
       Ni + "b",
       {3, 1},
       {},
       {{ecDeleteLastChar}},
       "b",
       {1, 1}},
      {"backspace at column 1 joins the lines",
       "ab\r\ncd",
       {1, 2},
       {},
       {{ecDeleteLastChar}},
       "abcd",
       {3, 1}},
      {"backspace after the indentation goes back to the indentation above",
       "  x\r\n    y",
       {5, 2},
       {},
       {{ecDeleteLastChar}},
       "  x\r\n  y",
       {3, 2}},
      {"without smart tab delete, back to the tab stop",
       "      y",
       {7, 1},
       {},
       {{ecDeleteLastChar}},
       "    y",
       {5, 1},
       {},
       SmartTabDelete},
      {"back to the tab stop over a tab",
       "  \ty",
       {4, 1},
       {},
       {{ecDeleteLastChar}},
       "y",
       {1, 1},
       {},
       SmartTabDelete + TabsToSpaces},
      {"backspace in virtual space only moves the caret",
       "ab",
       {6, 1},
       {},
       {{ecDeleteLastChar}},
       "ab",
       {3, 1}},
      {"delete takes a double-byte character whole",
       Ni + "b",
       {1, 1},
       {},
       {{ecDeleteChar}},
       "b",
       {1, 1}},
      {"delete past the line end joins at the caret",
       "ab\r\ncd",
       {4, 1},
       {},
       {{ecDeleteChar}},
       "ab cd",
       {4, 1}},
      {"delete past the end of the last line", "ab", {5, 1}, {}, {{ecDeleteChar}}, "ab", {5, 1}},
      {"delete word", "abc def", {1, 1}, {}, {{ecDeleteWord}}, "def", {1, 1}},
      {"delete to the line end", "abcdef", {3, 1}, {}, {{ecDeleteEOL}}, "ab", {3, 1}},
      {"delete the word before", "abc def", {8, 1}, {}, {{ecDeleteLastWord}}, "abc ", {5, 1}},
      {"delete to the line start", "abc def", {5, 1}, {}, {{ecDeleteBOL}}, "def", {1, 1}},
      {"delete a line", "a\r\nb\r\nc", {1, 2}, {}, {{ecDeleteLine}}, "a\r\nc", {1, 2}},
      {"deleting the last line empties it",
       "a\r\nb",
       {1, 2},
       {},
       {{ecDeleteLine}},
       "a\r\n",
       {1, 2}},
  };
  for (const TRow& r : rows) RunRow(r);
}

// A block from an anchor that a command left past a line's end, extended by a Shift+click, is
// replaced from its start in the text: what followed it stays after the typed text, and no
// character is split.
TEST(RidEderEditing, ABlockFromAnAnchorPastTheLineEndIsReplacedAtItsStart) {
  const std::string So = "\x83\x5c", Fu = "\xe0\x80", Hei = "\x89\xfc";
  const TRidEderorOptions trim{eoTrimTrailingSpaces};
  // clang-format off
  const std::vector<TRow> rows = {
      {"typed over after Enter", "   \r\n\r\n?" + Fu, {1, 2}, {},
       {{ecLineBreak}, ShiftClick({2, 4}), Ch(So[0]), Ch(So[1])}, "   \r\n\r\n" + So + Fu, {3, 3}},
      {"Backspace after Enter", "   \r\n\r\n" + Hei + "a", {1, 2}, {},
       {{ecLineBreak}, ShiftClick({3, 4}), {ecDeleteLastChar}}, "   \r\n\r\na", {1, 3}},
      {"Delete after Shift+Tab", "ab\r\nc", {1, 1}, {},
       {Go(ecGotoXY, {12, 1}), {ecShiftTab}, ShiftClick({2, 2}), {ecDeleteChar}}, "ab", {3, 1}},
      {"typed over after Ctrl+N", "ab\r\ncd", {1, 1}, {},
       {Go(ecGotoXY, {6, 1}), {ecInsertLine}, ShiftClick({2, 3}), Ch('x')}, "abxd", {4, 1}},
      {"typed over after an undo", "ab\r\ncd", {6, 1}, {},
       {{ecUpperCase}, {ecUndo}, ShiftClick({2, 2}), Ch('y')}, "abyd", {4, 1}},
      {"typed over after a trimmed blank", "\n?" + Fu, {1, 1}, {},
       {Ch(' '), ShiftClick({2, 2}), Ch(So[0]), Ch(So[1])}, So + Fu, {3, 1}, trim},
  };
  // clang-format on
  for (const TRow& r : rows) RunRow(r);
}

TEST(RidEderEditing, TabsMovesAndOtherCommands) {
  const std::vector<TRow> rows = {
      {"tab: spaces to the next stop", "ab", {3, 1}, {}, {{ecTab}}, "ab  ", {5, 1}},
      {"smart tab: to the next word of the line above",
       "abc def\r\nx",
       {2, 2},
       {},
       {{ecTab}},
       "abc def\r\nx   ",
       {5, 2}},
      {"tab: a tab byte without tabs-to-spaces",
       "ab",
       {1, 1},
       {},
       {{ecTab}},
       "\tab",
       {2, 1},
       {},
       TabsToSpaces},
      {"shift+tab: the blanks back to the tab stop",
       "    ab",
       {5, 1},
       {},
       {{ecShiftTab}},
       "ab",
       {1, 1}},
      {"shift+tab never takes text", "abcdef", {7, 1}, {}, {{ecShiftTab}}, "abcdef", {7, 1}},
      {"smart shift+tab: back to a word start of the line above",
       "ab  cdefghijk\r\n          x",
       {11, 2},
       {},
       {{ecShiftTab}},
       "ab  cdefghijk\r\n    x",
       {5, 2}},
      {"to a position on a trail byte",
       Ni + Hon,
       {1, 1},
       {},
       {Go(ecGotoXY, {2, 1})},
       Ni + Hon,
       {3, 1}},
      {"selecting to a position", "abcd", {1, 1}, {}, {Go(ecSelGotoXY, {3, 1})}, "abcd", {3, 1}},
      {"moves", "ab\r\ncd", {1, 1}, {}, {{ecRight}, {ecDown}, {ecLineEnd}}, "ab\r\ncd", {3, 2}},
      {"to the end and back", "ab\r\ncd", {1, 1}, {}, {{ecEditorBottom}}, "ab\r\ncd", {3, 2}},
      {"case of the selection", "abc", {3, 1}, {1, 1}, {{ecUpperCaseBlock}}, "ABc", {3, 1}},
      {"a tab in overwrite mode still inserts",
       "ab",
       {1, 1},
       {},
       {{ecTab}},
       "    ab",
       {5, 1},
       {},
       {},
       true},
  };
  for (const TRow& r : rows) RunRow(r);
}

TEST(RidEderEditing, ReadOnlyRunsOnlyMovesModesAndCopy) {
  TRidEder ed(nullptr);
  ed.SetText("ab");
  ed.SetReadOnly(true);
  for (TRidEderorCommand c : {ecChar, ecImeStr, ecLineBreak, ecDeleteLastChar, ecDeleteLine, ecTab,
                              ecShiftTab, ecClearAll, ecPaste, ecUpperCase})
    ed.CommandProcessor(c, 'x', const_cast<char*>("x"));
  EXPECT_EQ(ed.GetText(), "ab");
  ed.CommandProcessor(ecLineEnd, 0, nullptr);
  ed.CommandProcessor(ecToggleMode, 0, nullptr);
  EXPECT_EQ(ed.GetCaretXY(), (TBufferCoord{3, 1}));
  EXPECT_FALSE(ed.GetInsertMode());
}

// A read-only text never changes, whatever reaches it: every command of the command table, a
// search that replaces (either engine, one hit or all, asked or not), a paste, an input-method
// commit, a macro played back, and the block operations called by a program. A search still
// finds and selects. The text, its modified state and both undo lists stay as they were.
TEST(RidEderEditing, NothingChangesAReadOnlyText) {
  using TAction = std::function<void(TRidEder&)>;
  // In the selection: the first line's text.
  const auto search = [](bool Regex, TRidSearchOptions Options) {
    return [=](TRidEder& Ed) {
      if (Options.Contains(ssoSelectedOnly)) {
        Ed.SetCaretXY({static_cast<int32_t>(Ed.GetLines()->GetView(0).size()) + 1, 1});
        Ed.SetBlockBegin({1, 1});
      } else {
        Ed.SetCaretXY({1, 1});
      }
      TRidEderSearch plain(nullptr);
      TRidEderRegexSearch regex(nullptr);
      Ed.SetSearchEngine(Regex ? static_cast<TRidEderSearchCustom*>(&regex) : &plain);
      Ed.OnReplaceText = [](TObject*, const std::string&, const std::string&, int32_t, int32_t,
                            TRidReplaceAction& Action) { Action = raReplaceAll; };
      EXPECT_EQ(
          Ed.SearchReplace(Regex ? "b+" : "b", "X", Options + TRidSearchOptions{ssoMatchCase}), 1);
      EXPECT_EQ(Ed.GetSelText(), "b") << "the hit is found and selected";
      Ed.SetSearchEngine(nullptr);
      Ed.OnReplaceText = {};
    };
  };
  std::vector<std::pair<std::string, TAction>> rows = {
      {"replace all, plain", search(false, {ssoReplaceAll, ssoEntireScope})},
      {"replace all, regular expression", search(true, {ssoReplaceAll, ssoEntireScope})},
      {"replace one, plain", search(false, {ssoReplace})},
      {"replace one, regular expression", search(true, {ssoReplace})},
      {"replace all, asked", search(false, {ssoReplaceAll, ssoPrompt})},
      {"replace all backwards in the selection",
       search(true, {ssoReplaceAll, ssoSelectedOnly, ssoBackwards})},
      {"paste",
       [](TRidEder& Ed) {
         Clipboard()->SetAsText("pasted");
         Ed.SelectAll();
         Ed.PasteFromClipboard();
         Ed.Perform(WM_PASTE);
       }},
      {"input-method commit",
       [](TRidEder& Ed) {
         QInputMethodEvent e;
         e.setCommitString(QString::fromUtf8("日本語"));
         QApplication::sendEvent(Ed.ClientWidget(), &e);
       }},
      {"macro played back",
       [](TRidEder& Ed) {
         TRidEder other(nullptr);
         TRidMacroRecorder r(nullptr);
         r.AddEditor(&other);
         r.RecordMacro(&other);
         for (TRidEderorCommand c : {ecSelectAll, ecUpperCaseBlock, ecLineEnd, ecLineBreak})
           other.CommandProcessor(c, 0, nullptr);
         other.CommandProcessor(ecChar, 'q', nullptr);
         r.Stop();
         r.AddEditor(&Ed);
         r.PlaybackMacro(&Ed);
       }},
      {"block operations called directly",
       [](TRidEder& Ed) {
         Ed.SelectAll();
         Ed.DoBlockIndent();
         Ed.DoBlockUnindent();
         Ed.DoCaseChange(ecUpperCaseBlock);
         Ed.DoCaseChange(ecTitleCase);
         Ed.DoTabKey();
         Ed.DoShiftTabKey();
       }},
  };
  // Every command of the table, from a selection over a line break and from the caret alone.
  for (TRidEderorCommand c = 1; c < ecUserFirst; ++c) {
    const auto name = EditorCommandToIdent(c);
    if (!name) continue;
    rows.push_back({*name, [c](TRidEder& Ed) {
                      for (bool selected : {true, false}) {
                        Ed.SetCaretXY({3, 2});
                        if (selected) Ed.SetBlockBegin({2, 1});
                        TBufferCoord at{2, 1};
                        void* data = c == ecImeStr                       ? const_cast<char*>("x")
                                     : c == ecGotoXY || c == ecSelGotoXY ? static_cast<void*>(&at)
                                                                         : nullptr;
                        Ed.CommandProcessor(c, 'x', data);
                      }
                    }});
  }
  const std::string text = "abc abc\r\n\tb" + Ni + "\r\nxyz  ";
  for (const auto& [name, action] : rows) {
    SCOPED_TRACE(name);
    TRidEder ed(nullptr);
    ed.SetBounds(0, 0, 400, 240);
    ed.Show();
    ed.GetLines()->LoadFromBytes(text);
    ed.CommandProcessor(ecChar, 'a', nullptr);  // a step to undo, and one to redo
    ed.CommandProcessor(ecLineBreak, 0, nullptr);
    ed.Undo();
    ASSERT_TRUE(ed.CanUndo() && ed.CanRedo());
    ed.SetModified(false);
    const std::string before = ed.GetLines()->SaveToBytes();
    const int32_t undo = ed.GetUndoList().ItemCount(), redo = ed.GetRedoList().ItemCount();
    ed.SetReadOnly(true);
    action(ed);
    EXPECT_EQ(ed.GetLines()->SaveToBytes(), before);
    EXPECT_FALSE(ed.GetModified());
    EXPECT_EQ(ed.GetUndoList().ItemCount(), undo);
    EXPECT_EQ(ed.GetRedoList().ItemCount(), redo);
    ed.SetReadOnly(false);
    ed.Undo();
    EXPECT_EQ(ed.GetLines()->SaveToBytes(), text) << "the step of before is undone";
  }
}

// A lead byte typed alone waits for its trail byte; whatever comes next, a text made read-only
// meanwhile takes nothing, and the byte is gone when the text can be edited again.
TEST(RidEderEditing, AWaitingLeadByteNeverReachesAReadOnlyText) {
  const std::pair<const char*, TStep> rows[] = {
      {"a move", {ecLeft}},
      {"its trail byte", Ch('\xfa')},
      {"another character", Ch('x')},
      {"a line break", {ecLineBreak}},
      {"an input-method result", Ime("y")},
  };
  for (const auto& [name, next] : rows) {
    SCOPED_TRACE(name);
    TRidEder ed(nullptr);
    ed.SetText("abc");
    ed.SetModified(false);
    ed.SetCaretXY({4, 1});
    ed.CommandProcessor(ecChar, '\x93', nullptr);
    ed.SetReadOnly(true);
    RunStep(ed, next);
    EXPECT_EQ(ed.GetText(), "abc");
    EXPECT_FALSE(ed.GetModified());
    EXPECT_FALSE(ed.CanUndo());
    ed.SetReadOnly(false);
    ed.SetCaretXY({4, 1});
    ed.CommandProcessor(ecChar, 'z', nullptr);
    EXPECT_EQ(ed.GetText(), "abcz");
  }
}

// An input-method result that takes the caret to the window's right edge or past it scrolls
// the view on by up to 25 columns, so that typing on does not scroll at every result.
TEST(RidEderEditing, AnInputMethodResultScrollsAheadOfTheCaret) {
  struct Case {
    const char* Name;
    int32_t Chars;  // columns the window holds
    std::string Text;
    TBufferCoord Caret, Anchor;  // a selection from Anchor when it is set
    std::string Result;
    bool Overwrite;
    int32_t WantLeftChar;
  };
  const std::string a49(49, 'a'), a60(60, 'a');
  const Case cases[] = {
      {"inside the window", 50, "abc", {4, 1}, {}, "xx", false, 1},
      {"up to the last column", 50, std::string(47, 'a'), {48, 1}, {}, "xx", false, 1},
      {"one column past it", 50, std::string(48, 'a'), {49, 1}, {}, "xx", false, 26},
      {"two columns past it", 50, a49, {50, 1}, {}, "xx", false, 26},
      {"double-byte characters", 50, a49, {50, 1}, {}, Ni + Hon, false, 26},
      {"overwriting", 50, a60, {50, 1}, {}, "xx", true, 26},
      {"a narrow window", 10, std::string(9, 'a'), {10, 1}, {}, "xx", false, 10},
      {"a result longer than the step", 50, a49, {50, 1}, {}, std::string(60, 'x'), false, 61},
      {"over a selection only as far as the caret", 50, a49, {50, 1}, {48, 1}, "xxxx", false, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TRidEder ed(nullptr);
    ed.SetBounds(0, 0, 600, 240);
    ed.Show();
    const int32_t frame = ed.GetWidth() - ed.ClientWidth();
    ed.SetBounds(0, 0, frame + ed.GetGutterWidth() + 2 + c.Chars * ed.GetCharWidth(), 240);
    ASSERT_EQ(ed.GetCharsInWindow(), c.Chars);
    ed.SetText(c.Text);
    ed.SetInsertMode(!c.Overwrite);
    ed.SetCaretXY(c.Caret);
    if (c.Anchor.Line > 0) {
      ed.SetBlockBegin(c.Anchor);
      ed.SetBlockEnd(c.Caret);
    }
    ASSERT_EQ(ed.GetLeftChar(), 1);
    RunStep(ed, Ime(c.Result));
    EXPECT_EQ(ed.GetLeftChar(), c.WantLeftChar);
    EXPECT_TRUE(ed.IsCaretInView());
  }
}

// Inserted and deleted lines are reported as the lines they are: a mark stays with its text.
TEST(RidEderEditing, MarksStayWithTheirLines) {
  struct Case {
    const char* Name;
    TRidEderorCommand Command;
    TBufferCoord Caret;
    int32_t MarkLine, WantLine;
  };
  const Case cases[] = {
      {"a new line below the caret's", ecInsertLine, {2, 2}, 2, 2},
      {"a new line below leaves the line above", ecInsertLine, {1, 2}, 1, 1},
      {"a new line before the caret's text moves it", ecInsertLine, {1, 2}, 2, 3},
      {"a break in a line moves the marks below", ecLineBreak, {2, 2}, 3, 4},
      {"deleting line 1 keeps a mark on line 1", ecDeleteLine, {1, 1}, 1, 1},
      {"a mark below the deleted line follows its text", ecDeleteLine, {1, 1}, 2, 1},
      {"deleting line 2 moves its mark to the line above", ecDeleteLine, {2, 2}, 2, 1},
      {"deleting line 2 leaves a mark above", ecDeleteLine, {1, 2}, 1, 1},
      {"deleting line 2 moves a mark below with its text", ecDeleteLine, {1, 2}, 3, 2},
      {"deleting the last line empties it and keeps its mark", ecDeleteLine, {2, 3}, 3, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TRidEder ed(nullptr);
    ed.SetText("ab\r\ncd\r\nef");
    ed.SetCaretXY(c.Caret);
    ed.SetBookMark(1, 1, c.MarkLine);
    ed.CommandProcessor(c.Command, 0, nullptr);
    int32_t x = 0, y = 0;
    ASSERT_TRUE(ed.GetBookMark(1, x, y));
    EXPECT_EQ(y, c.WantLine);
  }
}

TEST(RidEderEditing, BookmarkCommandsToggleAndMoveAtTheGivenPosition) {
  TRidEder ed(nullptr);
  ed.SetText("a" + Ni + "\r\nb");
  TBufferCoord at{3, 1};  // the trail byte of 日
  ed.CommandProcessor(ecSetMarker3, 0, &at);
  int32_t x = 0, y = 0;
  ASSERT_TRUE(ed.GetBookMark(3, x, y));
  EXPECT_EQ(TBufferCoord(x, y), (TBufferCoord{4, 1}));
  ed.CommandProcessor(ecSetMarker3, 0, nullptr);  // the caret is on the same line: cleared
  EXPECT_FALSE(ed.IsBookmark(3));
  ed.CommandProcessor(ecSetMarker3, 0, nullptr);
  TBufferCoord below{1, 2};
  ed.CommandProcessor(ecSetMarker3, 0, &below);  // another line: moved
  ASSERT_TRUE(ed.GetBookMark(3, x, y));
  EXPECT_EQ(y, 2);
  ed.CommandProcessor(ecGotoMarker3, 0, nullptr);
  EXPECT_EQ(ed.GetCaretXY(), (TBufferCoord{1, 2}));
  ed.CommandProcessor(ecClearAll, 0, nullptr);
  EXPECT_FALSE(ed.IsBookmark(3));
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), "");
  // The text goes as a step undo gives back, so it stays modified (ClearAll with tests below).
  EXPECT_TRUE(ed.CanUndo());
  EXPECT_TRUE(ed.GetModified());
}

// ecClearAll, which a macro file or a key bound to it runs, takes the whole text away as one step
// that undo gives back exactly, whatever the selection and the caret.
TEST(RidEderEditing, ClearAllIsAStepUndoGivesBack) {
  const std::vector<TRow> rows = {
      {"lines and a double-byte character",
       "ab\r\n" + Ni + "cd",
       {2, 2},
       {},
       {{ecClearAll}},
       "",
       {1, 1}},
      {"a last line break", "ab\r\ncd\r\n", {1, 3}, {}, {{ecClearAll}}, "", {1, 1}},
      {"a selection", "ab\r\ncd", {2, 2}, {1, 1}, {{ecClearAll}}, "", {1, 1}},
      {"the caret past the line end", "ab  ", {9, 1}, {}, {{ecClearAll}}, "", {1, 1}},
      {"a lone line break", "\r\n", {1, 1}, {}, {{ecClearAll}}, "", {1, 1}},
      {"a waiting lead byte goes in, and goes with the rest",
       "ab",
       {3, 1},
       {},
       {Ch('\x93'), {ecClearAll}},
       "",
       {1, 1}},
      {"typing after it", "ab\r\ncd", {1, 1}, {}, {{ecClearAll}, Ch('x')}, "x", {2, 1}},
  };
  for (const TRow& r : rows) RunRow(r);
}

// A place outside the text (a macro file can hold any) goes to the nearest line, and a column
// there on a trail byte to the character's end, as a place inside the text does.
TEST(RidEderEditing, GotoAPlaceOutsideTheTextLandsOnACharacterStart) {
  using enum TLoad;
  const std::string twoLines = "ab" + Ni + "\r\n" + Hon, divide = "\x81\x80" /* ÷ */;
  const std::vector<TRow> rows = {
      {"line -1", Ni + Hon, {1, 1}, {}, {Go(ecGotoXY, {2, -1})}, Ni + Hon, {3, 1}},
      {"a line before the first", Ni + Hon, {5, 1}, {}, {Go(ecGotoXY, {4, -7})}, Ni + Hon, {5, 1}},
      {"a line past the last",
       "ab\r\n" + Ni,
       {1, 1},
       {},
       {Go(ecGotoXY, {2, 9})},
       "ab\r\n" + Ni,
       {3, 2}},
      {"selecting there, then deleting the selection",
       Ni + Hon + "x",
       {1, 1},
       {},
       {Go(ecSelGotoXY, {2, -1}), {ecDeleteChar}},
       Hon + "x",
       {1, 1}},
      {"deleting the blanks after there",
       "\x95\x5c ab\r\ncd",
       {1, 1},
       {},
       {Go(ecGotoXY, {2, -1}), {ecDeleteWord}},
       "\x95\x5c"
       "ab\r\ncd",
       {3, 1}},
      // A text loaded, or lines a program puts, where the caret stood past a line's end: a load
      // starts the page anew, the caret at its start, also where the page had no lines.
      {"a load into no lines", "", {2, 1}, {}, {Load(divide)}, divide, {1, 1}},
      {"a text set into no lines", "", {2, 1}, {}, {Load(divide, AsString)}, divide, {1, 1}},
      {"a load of lines into no lines", "", {4, 1}, {}, {Load(twoLines)}, twoLines, {1, 1}},
      {"typing after such a load", "", {2, 1}, {}, {Load(Ni), Ch('x')}, "x" + Ni, {2, 1}},
      {"a load over a text: to its start", "abcd", {2, 1}, {}, {Load(Ni + Hon)}, Ni + Hon, {1, 1}},
      {"a line a program puts",
       "abcd",
       {4, 1},
       {2, 1},
       {Program([](TRidEder& Ed) { Ed.GetLines()->Put(0, Ni + Hon); })},
       Ni + Hon,
       {5, 1}},
      {"a load inside a program's update", "", {2, 1}, {}, {Load(Ni, InUpdate)}, Ni, {1, 1}},
      {"the same without a window", "", {2, 1}, {}, {Load(Ni, WithoutWindow)}, Ni, {1, 1}},
  };
  for (const TRow& r : rows) RunRow(r);
}

// With undo grouping on (the window's way), clearing is a step of its own: the Delete before it
// stays done after one undo, and the text is modified until every step is undone. An empty
// text is left as it is, and no step is recorded.
TEST(RidEderEditing, ClearAllKeepsTheTextModifiedUntilUndone) {
  TRidEder ed(nullptr);
  ASSERT_TRUE(ed.GetOptions().Contains(eoGroupUndo));
  ed.GetLines()->LoadFromBytes("abc\r\ndef");
  ed.SetModified(false);
  ed.SetCaretXY({1, 2});
  ed.SetBookMark(2, 1, 2);
  ed.CommandProcessor(ecDeleteChar, 0, nullptr);
  ed.CommandProcessor(ecClearAll, 0, nullptr);
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), "");
  EXPECT_TRUE(ed.GetModified());
  EXPECT_FALSE(ed.IsBookmark(2));
  ed.CommandProcessor(ecClearAll, 0, nullptr);  // nothing left: no step
  ed.Undo();
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), "abc\r\nef");
  EXPECT_TRUE(ed.GetModified());
  ed.Undo();
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), "abc\r\ndef");
  EXPECT_FALSE(ed.GetModified());
  EXPECT_FALSE(ed.CanUndo());
  ed.Redo();
  ed.Redo();
  EXPECT_EQ(ed.GetLines()->SaveToBytes(), "");
  EXPECT_TRUE(ed.GetModified());
  EXPECT_FALSE(ed.CanRedo());
}

// ClearAll itself still starts a new text: no text, no marks, nothing to undo, unmodified.
TEST(RidEderEditing, ClearAllStartsANewText) {
  TRidEder ed(nullptr);
  ed.SetText("ab");
  ed.CommandProcessor(ecChar, 'x', nullptr);
  ed.SetBookMark(1, 1, 1);
  ed.ClearAll();
  EXPECT_EQ(ed.GetLines()->GetCount(), 0);
  EXPECT_FALSE(ed.IsBookmark(1));
  EXPECT_FALSE(ed.CanUndo());
  EXPECT_FALSE(ed.CanRedo());
  EXPECT_FALSE(ed.GetModified());
}

// The caret put on the second byte of a character, which the control's setters allow in every
// selection mode: a deletion or a break acts after the character, never inside it, and undo
// and redo give the exact texts back; an edit that changes nothing leaves no step.
TEST(RidEderEditing, ACaretInsideACharacterEditsAfterIt) {
  const std::string Hyo = "\x95\x5c", Sp = "\x81\x40", Ba = "\x82\x61";  // 表, full-width space, ｂ
  struct Row {
    const char* Name;
    std::string Text;
    TBufferCoord Caret;
    TRidEderorCommand Command;
    std::string Want;
    TBufferCoord WantCaret;
  };
  // clang-format off
  const Row rows[] = {
      {"Delete", Ni + Hyo, {2, 1}, ecDeleteChar, Ni, {3, 1}},
      {"Backspace", Ni + Hyo, {2, 1}, ecDeleteLastChar, Hyo, {1, 1}},
      {"Enter", Ba + "a", {2, 1}, ecLineBreak, Ba + "\r\na", {1, 2}},
      {"Ctrl+N", Ba + "a", {2, 1}, ecInsertLine, Ba + "\r\na", {3, 1}},
      {"Delete on a backslash second byte", Sp + Hyo + "xyz", {4, 1}, ecDeleteChar, Sp + Hyo + "yz", {5, 1}},
      {"Delete to the line's end", Sp + Hyo + "xyz", {4, 1}, ecDeleteEOL, Sp + Hyo, {5, 1}},
      {"Delete to the line's start", Sp + Hyo + "xyz", {4, 1}, ecDeleteBOL, "xyz", {1, 1}},
      {"Delete at the text's end", "x" + Ni, {3, 1}, ecDeleteChar, "x" + Ni, {4, 1}},
      {"a block case change", Ni + "a", {2, 1}, ecUpperCaseBlock, Ni + "A", {4, 1}},
  };
  // clang-format on
  for (const Row& r : rows) {
    for (TRidSelectionMode mode : {smNormal, smLine, smColumn}) {
      for (bool internal : {false, true}) {
        SCOPED_TRACE(testing::Message() << r.Name << " mode " << int(mode)
                                        << (internal ? " InternalSetCaretXY" : " SetCaretXY"));
        TRidEder ed(nullptr);
        ed.GetLines()->LoadFromBytes(r.Text);
        ed.SetSelectionMode(mode);
        if (internal)
          ed.InternalSetCaretXY(r.Caret);
        else
          ed.SetCaretXY(r.Caret);
        ASSERT_EQ(ed.GetCaretXY(), r.Caret);
        ed.CommandProcessor(r.Command, 0, nullptr);
        EXPECT_EQ(ed.GetLines()->SaveToBytes(), r.Want);
        EXPECT_EQ(ed.GetCaretXY(), r.WantCaret);
        EXPECT_EQ(ed.GetModified(), r.Want != r.Text);
        EXPECT_EQ(ed.CanUndo(), r.Want != r.Text);
        if (!ed.CanUndo()) continue;
        for (int round = 0; round < 2; ++round) {
          ed.CommandProcessor(ecUndo, 0, nullptr);
          EXPECT_EQ(ed.GetLines()->SaveToBytes(), r.Text);
          EXPECT_FALSE(ed.GetModified());
          ed.CommandProcessor(ecRedo, 0, nullptr);
          EXPECT_EQ(ed.GetLines()->SaveToBytes(), r.Want);
        }
      }
    }
  }
  // A normal selection begun inside a character takes the character whole, as one ended inside
  // it does.
  TRidEder ed(nullptr);
  ed.SetText(Ni + "ab");
  ed.SetCaretXY({4, 1});
  ed.SetBlockBegin({2, 1});
  ed.SetBlockEnd({4, 1});
  EXPECT_EQ(ed.GetSelText(), Ni + "a");
  ed.CommandProcessor(ecUpperCaseBlock, 0, nullptr);
  EXPECT_EQ(ed.GetText(), Ni + "Ab");
  ed.CommandProcessor(ecUndo, 0, nullptr);
  EXPECT_EQ(ed.GetText(), Ni + "ab");
}

// A redo of Delete leaves the caret where the deleted text ended, past the shortened line's
// end: a deletion to the word's end then starts where the caret may stand (after blanks filling
// the virtual space only where the caret may go past line ends), and undo puts the bytes back
// there, not inside the character the join brought near.
TEST(RidEderEditing, DeletionToTheWordEndStartsWhereTheCaretMayStand) {
  const std::string space = "\x81\x40";  // full-width space
  // A redone deletion leaves the caret where the deletion did.
  {
    const std::string text = space + "b\r\n " + Ni + "b";
    for (bool pastEol : {false, true}) {
      SCOPED_TRACE(pastEol ? "past line ends" : "within lines");
      TRidEder ed(nullptr);
      const TRidEderorOptions o = ed.GetOptions();
      ed.SetOptions(pastEol ? o + TRidEderorOptions{eoScrollPastEol}
                            : o - TRidEderorOptions{eoScrollPastEol});
      ed.SetText(text);
      ed.SetCaretXY({3, 1});
      for (TRidEderorCommand c : {ecDeleteChar, ecUndo, ecRedo, ecDeleteWord})
        ed.CommandProcessor(c, 0, nullptr);
      const std::string want = space + Ni + "b";
      EXPECT_EQ(ed.GetText(), want);
      while (ed.CanUndo()) ed.CommandProcessor(ecUndo, 0, nullptr);
      EXPECT_EQ(ed.GetText(), text);
      while (ed.CanRedo()) ed.CommandProcessor(ecRedo, 0, nullptr);
      EXPECT_EQ(ed.GetText(), want);
    }
  }
  // Trimming a typed blank leaves the caret past the line's end, where it may not stand.
  {
    TRidEder ed(nullptr);
    ed.SetOptions(ed.GetOptions() - TRidEderorOptions{eoScrollPastEol} +
                  TRidEderorOptions{eoTrimTrailingSpaces});
    const std::string text = "abc\r\nxy";
    ed.SetText(text);
    ed.SetCaretXY({1, 1});
    ed.CommandProcessor(ecSelLineEnd, 0, nullptr);
    ed.CommandProcessor(ecChar, ' ', nullptr);
    EXPECT_EQ(ed.GetText(), "\r\nxy");
    ed.CommandProcessor(ecDeleteWord, 0, nullptr);
    EXPECT_EQ(ed.GetText(), "xy");
    ed.CommandProcessor(ecUndo, 0, nullptr);
    EXPECT_EQ(ed.GetText(), "\r\nxy");
    while (ed.CanUndo()) ed.CommandProcessor(ecUndo, 0, nullptr);
    EXPECT_EQ(ed.GetText(), text);
    while (ed.CanRedo()) ed.CommandProcessor(ecRedo, 0, nullptr);
    EXPECT_EQ(ed.GetText(), "xy");
  }
}

// The pages' top and bottom rows below the text's end are its last line; the caret lands on a
// character start there, and a block with Shift ends at it.
TEST(RidEderEditing, PageTopAndBottomLandOnACharacterStart) {
  const std::string Bo = "\x83\x7c";  // ー: its trail byte is a vertical bar
  // clang-format off
  const std::vector<TRow> rows = {
      {"to the bottom", "ab\r\n" + Ni + "a", {2, 1}, {}, {{ecPageBottom}}, "ab\r\n" + Ni + "a", {3, 2}},
      {"a block to the bottom typed over", "ab\r\n" + Ni + "a", {2, 1}, {},
       {{ecSelPageBottom}, Ch('x')}, "axa", {3, 1}},
      {"a block to the top typed over", Ni + "a\r\nab", {2, 2}, {},
       {{ecSelPageTop}, Ch('x')}, Ni + "xb", {4, 1}},
      {"then a block case change in line mode", "xx\r\n" + Bo, {2, 1}, {},
       {{ecLineSelect}, {ecPageBottom}, {ecUpperCaseBlock}}, "xx\r\n" + Bo, {3, 2}},
      {"then a block case change in column mode", "xx\r\n" + Bo, {2, 1}, {},
       {{ecColumnSelect}, {ecPageBottom}, {ecUpperCaseBlock}}, "xx\r\n" + Bo, {3, 2}},
  };
  // clang-format on
  for (const TRow& r : rows) RunRow(r);
}

// Page and row scrolling keep the caret on the rows shown.
TEST(RidEderEditing, PagesAndRowScrolling) {
  TRidEder ed(nullptr);
  std::string text;
  for (int i = 1; i <= 200; ++i) text += std::to_string(i) + "\r\n";
  ed.SetText(text);
  ed.SetBounds(0, 0, 400, 10);
  ed.Show();
  // A window of 21 rows.
  for (int32_t h = 100; ed.GetLinesInWindow() < 21 && h < 2000; ++h) ed.SetBounds(0, 0, 400, h);
  ASSERT_EQ(ed.GetLinesInWindow(), 21);
  ed.SetOptions(ed.GetOptions() + TRidEderorOptions{eoHalfPageScroll, eoScrollByOneLess});
  ed.CommandProcessor(ecPageDown, 0, nullptr);
  EXPECT_EQ(ed.GetCaretY(), 10);
  EXPECT_EQ(ed.GetTopLine(), 10);
  ed.CommandProcessor(ecSelPageUp, 0, nullptr);
  EXPECT_EQ(ed.GetCaretY(), 1);
  EXPECT_EQ(ed.GetBlockBegin(), (TBufferCoord{1, 1}));
  EXPECT_EQ(ed.GetBlockEnd(), (TBufferCoord{1, 10}));
  // The caret on the top row goes down with the text it is on leaving the window.
  ed.SetCaretXY({1, 1});
  ed.CommandProcessor(ecScrollDown, 0, nullptr);
  EXPECT_EQ(ed.GetTopLine(), 2);
  EXPECT_EQ(ed.GetCaretY(), 2);
  ed.CommandProcessor(ecScrollUp, 0, nullptr);
  EXPECT_EQ(ed.GetTopLine(), 1);
  EXPECT_EQ(ed.GetCaretY(), 2);
  ed.CommandProcessor(ecPageBottom, 0, nullptr);
  EXPECT_EQ(ed.GetCaretY(), 21);
  ed.CommandProcessor(ecPageTop, 0, nullptr);
  EXPECT_EQ(ed.GetCaretY(), 1);
}

}  // namespace
}  // namespace rid
