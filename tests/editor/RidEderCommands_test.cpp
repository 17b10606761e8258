// The command road (events, hooks, key translation, the input method) and what each command
// does to the text, the caret and the undo lists.
#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QtTest/QTest>
#include <memory>
#include <string>
#include <vector>

#include "editor/RidEder.h"
#include "tests/editor/ShownEder.h"
#include "editor/RidEderPlugins.h"
#include "platform/Imm.h"
#include "platform/Locale.h"

namespace rid {
namespace {

const std::string Ni = "\x93\xfa";   // 日: its trail byte is a lead byte's value
const std::string Hon = "\x96\x7b";  // 本

using TEder = test::TShownEder;

// A lead byte before a byte that cannot trail (a blank, a bracket, a tab) is a character of its
// own for every command, as it is for the search, the highlighters and the conversions.
TEST(RidEderCommands, ALeadByteWithoutATrailByteIsACharacterOfItsOwn) {
  const std::string lone = "\x81 (";  // "(" cannot trail either
  const struct {
    const char* Name;
    std::string Text;
    int32_t Col;
    TRidEderorCommand Command;
    std::string WantText;
    int32_t WantCol;
  } cases[] = {
      {"right", lone, 1, ecRight, lone, 2},
      {"left", lone, 3, ecLeft, lone, 2},
      {"delete", lone, 1, ecDeleteChar, " (", 1},
      {"backspace", lone, 3, ecDeleteLastChar, "\x81(", 2},
      {"backspace after a tab", "\x81\t", 3, ecDeleteLastChar, "\x81", 2},
      {"a lead byte at the line end", "a\x81", 2, ecRight, "a\x81", 3},
      {"a pair moves whole", Ni + "(", 1, ecRight, Ni + "(", 3},
      {"a pair deletes whole", Ni + "(", 1, ecDeleteChar, "(", 1},
      {"typing over it", lone, 1, ecChar, "x (", 2},
      {"a deletion that joins it to a trail byte", "\x81 a", 3, ecDeleteLastChar,
       "\x81"
       "a",
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetText(c.Text);
    s.Ed.SetInsertMode(c.Command != ecChar);
    s.Ed.SetCaretXY({c.Col, 1});
    s.Ed.CommandProcessor(c.Command, 'x', nullptr);
    EXPECT_EQ(s.Ed.GetLines()->Get(0), c.WantText);
    EXPECT_EQ(s.Ed.GetCaretX(), c.WantCol);
  }
}

// --- the road

// Records what reaches the events and the hooks.
struct TRoadLog {
  std::vector<std::string> Log;
  bool HandleFirst = false;
  TRidEderorCommand Replace = ecNone;  // what the first hook turns the command into
  void Event(const char* Name, TRidEderorCommand C) { Log.push_back(Name + std::to_string(C)); }
  void Process(TObject*, TRidEderorCommand& C, char&, void*) { Event("process ", C); }
  void User(TObject*, TRidEderorCommand& C, char&, void*) { Event("user ", C); }
  void Processed(TObject*, TRidEderorCommand& C, char&, void*) { Event("processed ", C); }
  void First(TObject*, bool After, bool& Handled, TRidEderorCommand& C, char&, void*, void* D) {
    Event(After ? "after1 " : "before1 ", C);
    if (!After && HandleFirst) Handled = true;
    if (!After && Replace != ecNone) C = Replace;
    EXPECT_EQ(D, this);
  }
  void Second(TObject*, bool After, bool& Handled, TRidEderorCommand& C, char&, void*, void*) {
    Event(After ? (Handled ? "after2 handled " : "after2 ")
                : (Handled ? "before2 handled " : "before2 "),
          C);
  }
};

TEST(RidEderCommandRoad, EventsAndHooksSeeEachCommandInOrder) {
  struct Case {
    const char* Name;
    TRidEderorCommand Command;
    bool HandleFirst;
    TRidEderorCommand Replace;
    std::vector<std::string> Want;
    std::string WantText;
  };
  const Case cases[] = {
      {"a command runs between the hooks",
       ecChar,
       false,
       ecNone,
       {"process 511", "before1 511", "before2 511", "after1 511", "after2 511", "processed 511"},
       "xab"},
      {"handled in the first hook: the second still sees it, nothing runs",
       ecChar,
       true,
       ecNone,
       {"process 511", "before1 511", "before2 handled 511", "processed 0"},
       "ab"},
      {"a user command reaches its own event and the hooks, never the editor",
       1005,
       false,
       ecNone,
       {"user 1005", "before1 1005", "before2 1005", "after1 1005", "after2 1005",
        "processed 1005"},
       "ab"},
      {"a hook turning the command into a user command stops it",
       ecChar,
       false,
       1001,
       {"process 511", "before1 511", "before2 1001", "after1 1001", "after2 1001",
        "processed 1001"},
       "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetText("ab");
    TRoadLog log;
    log.HandleFirst = c.HandleFirst;
    log.Replace = c.Replace;
    s.Ed.OnProcessCommand = TProcessCommandEvent(&log, &TRoadLog::Process);
    s.Ed.OnProcessUserCommand = TProcessCommandEvent(&log, &TRoadLog::User);
    s.Ed.OnCommandProcessed = TProcessCommandEvent(&log, &TRoadLog::Processed);
    s.Ed.RegisterCommandHandler(THookedCommandEvent(&log, &TRoadLog::First), &log);
    s.Ed.RegisterCommandHandler(THookedCommandEvent(&log, &TRoadLog::Second), nullptr);
    // The same method again keeps its first handler data.
    s.Ed.RegisterCommandHandler(THookedCommandEvent(&log, &TRoadLog::First), nullptr);
    s.Ed.CommandProcessor(c.Command, 'x', nullptr);
    EXPECT_EQ(log.Log, c.Want);
    EXPECT_EQ(s.Ed.GetText(), c.WantText);
  }
}

TEST(RidEderCommandRoad, HookRegistrationAndRemoval) {
  TEder s;
  TRoadLog log;
  const THookedCommandEvent first(&log, &TRoadLog::First), second(&log, &TRoadLog::Second);
  EXPECT_EQ(s.Ed.FindHookedCmdEvent(first), -1);
  s.Ed.RegisterCommandHandler(THookedCommandEvent(), nullptr);  // no method: ignored
  s.Ed.UnregisterCommandHandler(first);                         // never registered
  s.Ed.RegisterCommandHandler(first, &log);
  s.Ed.RegisterCommandHandler(second, nullptr);
  s.Ed.RegisterCommandHandler(first, nullptr);
  EXPECT_EQ(s.Ed.FindHookedCmdEvent(first), 0);
  EXPECT_EQ(s.Ed.FindHookedCmdEvent(second), 1);
  s.Ed.UnregisterCommandHandler(first);
  EXPECT_EQ(s.Ed.FindHookedCmdEvent(first), -1);
  EXPECT_EQ(s.Ed.FindHookedCmdEvent(second), 0);
}

// A hook may unregister itself or another, or free the editor, while the road runs.
struct TUnruly {
  TEder* Owner = nullptr;
  std::vector<std::string> Log;
  bool FreeEditor = false;
  void Self(TObject*, bool After, bool&, TRidEderorCommand&, char&, void*, void*) {
    Log.push_back(After ? "self after" : "self");
    Owner->Ed.UnregisterCommandHandler(THookedCommandEvent(this, &TUnruly::Self));
    Owner->Ed.UnregisterCommandHandler(THookedCommandEvent(this, &TUnruly::Later));
    if (FreeEditor) Owner->Owned.reset();
  }
  void Later(TObject*, bool, bool&, TRidEderorCommand&, char&, void*, void*) {
    Log.push_back("later");
  }
  void Processed(TObject*, TRidEderorCommand&, char&, void*) { Log.push_back("processed"); }
};

TEST(RidEderCommandRoad, HooksMayUnregisterOrFreeTheEditorOnTheWay) {
  for (bool freeEditor : {false, true}) {
    SCOPED_TRACE(freeEditor ? "freeing" : "unregistering");
    TEder s;
    TUnruly u;
    u.Owner = &s;
    u.FreeEditor = freeEditor;
    s.Ed.OnCommandProcessed = TProcessCommandEvent(&u, &TUnruly::Processed);
    s.Ed.RegisterCommandHandler(THookedCommandEvent(&u, &TUnruly::Self), nullptr);
    s.Ed.RegisterCommandHandler(THookedCommandEvent(&u, &TUnruly::Later), nullptr);
    s.Ed.CommandProcessor(ecChar, 'x', nullptr);
    if (freeEditor) {
      EXPECT_EQ(u.Log, (std::vector<std::string>{"self"}));
    } else {
      EXPECT_EQ(u.Log, (std::vector<std::string>{"self", "processed"}));
      EXPECT_EQ(s.Ed.GetText(), "x");
    }
  }
}

// --- keys

// The commands that ran, as OnCommandProcessed saw them.
struct TCommandLog {
  std::vector<TRidEderorCommand> Commands;
  void Processed(TObject*, TRidEderorCommand& C, char&, void*) {
    if (C != ecGotFocus && C != ecLostFocus) Commands.push_back(C);
  }
};

TEST(RidEderKeys, ChordsModifiersAndTheIgnoredCharacter) {
  struct Case {
    const char* Name;
    std::vector<std::pair<Qt::Key, Qt::KeyboardModifiers>> Keys;
    std::vector<TRidEderorCommand> Want;
    std::string WantText;
  };
  const Qt::KeyboardModifiers none = Qt::NoModifier, ctrl = Qt::ControlModifier;
  const Case cases[] = {
      // Ctrl+Q types character 17, which the character command passes over.
      {"Ctrl+Q then K runs the pair's command",
       {{Qt::Key_Q, ctrl}, {Qt::Key_K, none}},
       {ecChar, ecEditorBottom},
       "ab\r\ncd"},
      {"a modifier key between the two cancels the pair",
       {{Qt::Key_Q, ctrl}, {Qt::Key_Shift, none}, {Qt::Key_K, none}},
       {ecChar, ecChar},
       "ab\r\nckd"},
      {"a key of 146 or more cancels it too",
       {{Qt::Key_Q, ctrl}, {Qt::Key_Semicolon, none}, {Qt::Key_K, none}},
       {ecChar, ecChar, ecChar},
       "ab\r\nc;kd"},
      {"a bound key runs its command and its character is dropped",
       {{Qt::Key_Return, none}},
       {ecLineBreak},
       "ab\r\nc\r\nd"},
      {"Ctrl+letter runs its binding only",
       {{Qt::Key_Z, ctrl}, {Qt::Key_Y, ctrl}},
       {ecUndo, ecDeleteLine},
       "ab\r\n"},
      {"after a command the next typed key inserts",
       {{Qt::Key_Right, none}, {Qt::Key_A, none}},
       {ecRight, ecChar},
       "ab\r\ncda"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TEder s;
    s.Ed.SetText("ab\r\ncd");
    s.Ed.SetCaretXY({2, 2});
    TRidEderKeyStroke* pair = s.Ed.GetKeystrokes().Add();
    pair->SetKey('Q');
    pair->SetShift({ssCtrl});
    pair->SetKey2('K');
    pair->SetCommand(ecEditorBottom);
    TCommandLog log;
    s.Ed.OnCommandProcessed = TProcessCommandEvent(&log, &TCommandLog::Processed);
    for (auto [key, mods] : c.Keys) s.Key(key, mods);
    EXPECT_EQ(log.Commands, c.Want);
    EXPECT_EQ(s.Ed.GetText(), c.WantText);
  }
}

// A key the keyboard map has no code for (here typing half-width katakana) still comes down
// first, so the character after a command key is not taken for that key's own.
TEST(RidEderKeys, ACharacterFromAKeyWithoutACodeFollowsACommandKey) {
  TEder s;
  s.Key(Qt::Key_Return);
  QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString::fromUtf8("ｱ"));
  QApplication::sendEvent(s.Ed.ClientWidget(), &press);
  EXPECT_EQ(s.Ed.GetText(), "\r\n\xB1");
}

TEST(RidEderKeys, AltBackspaceUndoesWithoutABeep) {
  TEder s;
  s.Ed.CommandProcessor(ecChar, 'x', nullptr);
  const uint32_t beeps = MessageBeepCount();
  s.Key(Qt::Key_Backspace, Qt::AltModifier);
  EXPECT_EQ(s.Ed.GetText(), "");
  EXPECT_EQ(MessageBeepCount(), beeps);
  // Its character is consumed before any handling.
  TMessage m{WM_SYSCHAR, VK_BACK, KF_ALTDOWN_BIT, 0};
  s.Ed.WndProc(m);
  EXPECT_EQ(m.Msg, 0u);
}

TEST(RidEderKeys, HandlerChainsRunBeforeTheCommand) {
  TEder s;
  int downs = 0, presses = 0;
  const TKeyEvent down = [&](TObject*, uint16_t& Key, TShiftState) {
    ++downs;
    if (Key == VK_RETURN) Key = 0;  // taken: no line break
  };
  const TKeyPressEvent press = [&](TObject*, char& Key) {
    ++presses;
    if (Key == 'a') Key = 'b';
  };
  s.Ed.AddKeyDownHandler(down);
  s.Ed.AddKeyPressHandler(press);
  s.Key(Qt::Key_Return);
  s.Key(Qt::Key_A);
  EXPECT_EQ(s.Ed.GetText(), "b");
  EXPECT_EQ(downs, 2);
  EXPECT_EQ(presses, 2);  // the Enter key's character too: no command had run
  s.Ed.RemoveKeyDownHandler(down);
  s.Ed.RemoveKeyPressHandler(press);
  s.Key(Qt::Key_Return);
  EXPECT_EQ(s.Ed.GetText(), "b\r\n");
  EXPECT_EQ(downs, 2);
}

// --- input method

TEST(RidEderIme, AResultGoesInOnceAndItsEchoIsDropped) {
  TEder s;
  s.Commit("日本");
  EXPECT_EQ(s.Ed.GetText(), Ni + Hon);
  EXPECT_EQ(s.Ed.GetImeCount(), 0);  // the four echoed bytes came and went
  s.Key(Qt::Key_A);
  EXPECT_EQ(s.Ed.GetText(), Ni + Hon + "a");
  // One step of undo.
  s.Ed.CommandProcessor(ecUndo, 0, nullptr);
  s.Ed.CommandProcessor(ecUndo, 0, nullptr);
  EXPECT_EQ(s.Ed.GetText(), "");
}

TEST(RidEderIme, EmptyOrFailedResultsSwallowNoKeys) {
  TEder s;
  HIMC imc = ImmGetContext(s.Ed.GetHandle());
  ASSERT_NE(imc, nullptr);
  // No result: nothing inserted, nothing dropped.
  imc->ResultStr.clear();
  s.Ed.Perform(WM_IME_COMPOSITION, 0, GCS_RESULTSTR);
  EXPECT_EQ(s.Ed.GetImeCount(), 0);
  // A command that fails leaves no count behind (no echo follows it).
  imc->ResultStr = Ni;
  s.Ed.OnProcessCommand = [](TObject*, TRidEderorCommand& C, char&, void*) {
    if (C == ecImeStr) throw Exception("refused");
  };
  EXPECT_THROW(s.Ed.Perform(WM_IME_COMPOSITION, 0, GCS_RESULTSTR), Exception);
  EXPECT_EQ(s.Ed.GetImeCount(), 0);
  imc->ResultStr.clear();
  ImmReleaseContext(s.Ed.GetHandle(), imc);
  s.Ed.OnProcessCommand = nullptr;
  s.Key(Qt::Key_A);
  EXPECT_EQ(s.Ed.GetText(), "a");
}

TEST(RidEderIme, CharactersWithoutAShiftJisFormAreLeftOut) {
  TEder s;
  s.Commit("a\xF0\x9F\x98\x80日");  // an emoji between
  EXPECT_EQ(s.Ed.GetText(), "a" + Ni);
}

TEST(RidEderIme, OpeningTheInputMethodGivesItTheEditorsFont) {
  TEder s;
  HIMC imc = ImmGetContext(s.Ed.GetHandle());
  ImmSetOpenStatus(imc, true);
  TLogFont font;
  ASSERT_TRUE(ImmGetCompositionFontA(imc, &font));
  EXPECT_EQ(font.lfHeight, s.Ed.Font().GetLogFont().lfHeight);
  ImmSetOpenStatus(imc, false);
  ImmReleaseContext(s.Ed.GetHandle(), imc);
}

// --- focus, wheel

TEST(RidEderFocus, FocusListDialogCodesAndTheWheel) {
  TEder s;
  EXPECT_EQ(s.Ed.Perform(WM_GETDLGCODE), DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTALLKEYS);
  s.Ed.SetWantTabs(true);
  s.Ed.SetWantReturns(false);
  EXPECT_EQ(s.Ed.Perform(WM_GETDLGCODE), DLGC_WANTARROWS | DLGC_WANTCHARS | DLGC_WANTTAB);
  EXPECT_EQ(s.Ed.Perform(WM_ERASEBKGND), 1);

  TCommandLog log;
  std::vector<TRidEderorCommand> focus;
  s.Ed.OnCommandProcessed = [&](TObject*, TRidEderorCommand& C, char&, void*) {
    focus.push_back(C);
  };
  s.Ed.Perform(WM_SETFOCUS);
  s.Ed.Perform(WM_KILLFOCUS);
  EXPECT_EQ(focus, (std::vector<TRidEderorCommand>{ecGotFocus, ecLostFocus}));

  // Three small wheel steps scroll once, at the third.
  std::string text;
  for (int i = 0; i < 100; ++i) text += "x\r\n";
  s.Ed.SetText(text);
  s.Ed.SetTopLine(50);
  int scrolls = 0;
  s.Ed.OnScroll = [&](TObject*, TScrollBarKind) { ++scrolls; };
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(s.Ed.GetTopLine(), 50);
    EXPECT_EQ(s.Ed.Perform(WM_MOUSEWHEEL, uintptr_t(40) << 16), 1);
  }
  EXPECT_EQ(s.Ed.GetTopLine(), 47);
  EXPECT_EQ(scrolls, 3);
  s.Ed.Perform(WM_MOUSEWHEEL, uintptr_t(uint16_t(-240)) << 16 | MK_CONTROL);
  EXPECT_EQ(s.Ed.GetTopLine(), 47 + 2 * s.Ed.GetLinesInWindow());
}

// --- plugins on a real editor

class TKeyPlugin : public TAbstractRidHookerPlugin {
 public:
  TKeyPlugin() : TAbstractRidHookerPlugin(nullptr), Command(NewPluginCommand()) {}
  ~TKeyPlugin() override {
    RemoveAllEditors();
    ReleasePluginCommand(Command);
  }
  TRidEderorCommand Command;
  int Runs = 0;

 protected:
  void DoAddEditor(IRidPluginHost* E) override {
    HookEditor(E, Command, 0, scCtrl | scShift | 'R');
  }
  void DoRemoveEditor(IRidPluginHost* E) override {
    UnHookEditor(E, Command, scCtrl | scShift | 'R');
  }
  void OnCommand(TObject*, bool After, bool&, TRidEderorCommand& C, char&, void*, void*) override {
    if (!After && C == Command) ++Runs;
  }
};

TEST(RidEderPlugins, AHookerPluginRunsOnItsShortcutAndLeavesWithEitherSide) {
  TKeyPlugin plugin;
  {
    TEder s;
    plugin.AddEditor(&s.Ed);
    s.Key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(plugin.Runs, 1);
    EXPECT_EQ(s.Ed.GetText(), "");  // a plugin command never reaches the text
    plugin.RemoveEditor(&s.Ed);
    s.Key(Qt::Key_R, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(plugin.Runs, 1);
    EXPECT_EQ(s.Ed.GetKeystrokes().GetCount(), 82);
    plugin.AddEditor(&s.Ed);
  }
  EXPECT_EQ(plugin.GetEditorCount(), 0);  // the editor went first
}

}  // namespace
}  // namespace rid
