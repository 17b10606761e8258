// The window's Macro menu and keys: recording in one page and playing in another, the state in
// the status bar, saving and loading files, keys chosen in the registry file, and the real
// program typed into under X.
#include "app/EderMacros.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/EderShortCuts.h"
#include "app/EderWindow.h"
#include "platform/Registry.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

constexpr Qt::KeyboardModifiers CtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// A window over two files, with a registry file and configuration folder of its own.
class WindowMacros : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RIDEDER_REGISTRY", (Dir / "registry.ini").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    test::WriteFileBytes(Dir / "one.txt", "one\r\n");
    test::WriteFileBytes(Dir / "two.txt", "two\r\n");
  }
  void TearDown() override {
    unsetenv("RIDEDER_REGISTRY");
    unsetenv("XDG_CONFIG_HOME");
  }
  // Text null: no value.
  void SetKey(const char* Name, const char* Text) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kShortCutsKey, true));
    if (Text)
      reg.WriteString(Name, Text);
    else
      reg.DeleteValue(Name);
    reg.CloseKey();
  }
  std::unique_ptr<TEderWindow> Open() {
    auto w = std::make_unique<TEderWindow>(
        std::vector<std::string>{(Dir / "one.txt").string(), (Dir / "two.txt").string()});
    w->show();
    QApplication::processEvents();
    return w;
  }
  static void Key(TRidEder& Ed, Qt::Key K, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    QTest::keyClick(Ed.ClientWidget(), K, Mods);
  }
  static QString State(TEderWindow& W) { return W.findChild<QLabel*>("MacroState")->text(); }
  static QAction* Action(TEderWindow& W, const char* Name) { return W.findChild<QAction*>(Name); }
  test::TempDir Dir;
};

TEST_F(WindowMacros, RecordInOnePagePlayInAnotherWithKeysAndMenu) {
  auto w = Open();
  TRidEder& one = w->Eder(0);
  TRidEder& two = w->Eder(1);
  Key(one, Qt::Key_R, CtrlShift);
  EXPECT_EQ(State(*w), "Recording");
  Key(one, Qt::Key_A);
  Key(one, Qt::Key_P, CtrlShift);
  EXPECT_EQ(State(*w), "Paused");
  Key(one, Qt::Key_X);
  Action(*w, "MacroPlayback")->trigger();  // resumes
  EXPECT_EQ(State(*w), "Recording");
  Key(one, Qt::Key_Return);
  Action(*w, "MacroRecord")->trigger();
  EXPECT_EQ(State(*w), "");
  EXPECT_EQ(one.GetText(), "ax\r\none\r\n");
  Key(two, Qt::Key_P, CtrlShift);
  EXPECT_EQ(two.GetText(), "a\r\ntwo\r\n");
  w->Tabs()->setCurrentIndex(1);
  Action(*w, "MacroPlayback")->trigger();
  EXPECT_EQ(two.GetText(), "a\r\na\r\ntwo\r\n");
  // The menu names the keys; the editors, not the menu, take them.
  EXPECT_EQ(Action(*w, "MacroRecord")->text(), "Start/Stop &Recording\tShift+Ctrl+R");
  EXPECT_TRUE(Action(*w, "MacroRecord")->shortcut().isEmpty());
  // A page dropped in later is attached too.
  test::WriteFileBytes(Dir / "three.txt", "three\r\n");
  w->OpenDroppedFiles({(Dir / "three.txt").string()});
  Key(w->Eder(2), Qt::Key_P, CtrlShift);
  EXPECT_EQ(w->Eder(2).GetText(), "a\r\nthree\r\n");
}

TEST_F(WindowMacros, SavesAndLoadsMacroFilesAndShowsALoadError) {
  auto w = Open();
  const std::string folder = TEderMacros::MacroFolder();
  EXPECT_EQ(folder, (Dir / "config" / "rideder" / "macro").string());
  EXPECT_TRUE(std::filesystem::is_directory(folder));
  TEderMacros& m = w->Macros();
  TRidEder& one = w->Eder(0);
  Key(one, Qt::Key_R, CtrlShift);
  Key(one, Qt::Key_Q);
  Key(one, Qt::Key_R, CtrlShift);
  const std::string file = folder + "/q.mcr";
  ASSERT_TRUE(m.SaveMacro(file));
  EXPECT_EQ(test::ReadFileBytes(file), std::string("\x01\0\0\0\xff\x01q\x01", 8));
  test::WriteFileBytes(folder + "/cut.mcr", std::string("\x02\0\0\0\xff\x01q\x01", 8));
  EXPECT_FALSE(m.LoadMacro(folder + "/cut.mcr"));
  auto* box = w->findChild<QMessageBox*>("MacroError");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text().toStdString(),
            "Cannot read file \"" + folder + "/cut.mcr\". It is cut short after 1 of 2 events");
  box->close();
  QApplication::processEvents();
  EXPECT_EQ(m.Recorder().GetEventCount(), 1);  // the macro of before stays
  ASSERT_TRUE(m.LoadMacro(file));
  EXPECT_EQ(m.Recorder().GetMacroName(), "q");
  Key(w->Eder(1), Qt::Key_P, CtrlShift);
  EXPECT_EQ(w->Eder(1).GetText(), "qtwo\r\n");
  EXPECT_FALSE(m.SaveMacro((Dir / "missing" / "x.mcr").string()));
}

// A macro file of one ecClearAll event (command 508), played on a page with unsaved typing: the
// text goes as a step of its own that undo gives back, and the page stays changed ("*", so
// closing it asks) until the typing is undone too.
TEST_F(WindowMacros, AClearAllPlayedFromAFileCanBeUndoneAndLeavesThePageChanged) {
  auto w = Open();
  TRidEder& one = w->Eder(0);
  Key(one, Qt::Key_Z);
  ASSERT_EQ(one.GetText(), "zone\r\n");
  const std::string file = (Dir / "clear.mcr").string();
  test::WriteFileBytes(file, std::string("\x01\0\0\0\xfc\x01\x01", 7));
  ASSERT_TRUE(w->Macros().LoadMacro(file));
  Key(one, Qt::Key_P, CtrlShift);
  EXPECT_EQ(one.GetText(), "");
  EXPECT_TRUE(one.GetModified());
  EXPECT_TRUE(w->Tabs()->tabText(0).startsWith("*"));
  Key(one, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(one.GetText(), "zone\r\n");
  EXPECT_TRUE(one.GetModified());
  Key(one, Qt::Key_Z, Qt::ControlModifier);
  EXPECT_EQ(one.GetText(), "one\r\n");
  EXPECT_FALSE(one.GetModified());
  EXPECT_FALSE(w->Tabs()->tabText(0).startsWith("*"));
}

// Macro > Load of a file that is empty, cut short at any point or no macro says which file and
// why, and the macro of before (its events and its name) stays.
TEST_F(WindowMacros, ALoadThatFailsNamesTheFileAndWhyAndKeepsTheMacro) {
  auto w = Open();
  TEderMacros& m = w->Macros();
  const std::string folder = TEderMacros::MacroFolder();
  const auto le32 = [](int32_t V) {
    std::string s(4, '\0');
    for (int i = 0; i < 4; ++i) s[i] = static_cast<char>(static_cast<uint32_t>(V) >> (8 * i));
    return s;
  };
  // Two events: the character q, and a move to (5, 7) of a byte and two integers.
  const std::string whole =
      le32(2) + std::string("\xff\x01q\x01\x11\x00\x01", 7) + le32(5) + le32(7);
  const struct {
    const char* Name;
    std::string Bytes;
    std::string Why;
  } cases[] = {
      {"empty.mcr", "", "It is empty, not a macro"},
      {"count.mcr", whole.substr(0, 3), "It is cut short inside its count of events"},
      {"first.mcr", whole.substr(0, 6), "It is cut short, inside event 1 of 2"},
      {"between.mcr", whole.substr(0, 8), "It is cut short after 1 of 2 events"},
      {"move.mcr", whole.substr(0, 15), "It is cut short, inside event 2 of 2"},
      {"last.mcr", whole.substr(0, whole.size() - 1), "It is cut short, inside event 2 of 2"},
      {"text.mcr", le32(1) + std::string("\x76\x02", 2) + le32(40) + "abc",
       "It is not a macro, or cut short: a text of 40 bytes where 3 are left, inside event 1 of "
       "1"},
      {"negative.mcr", le32(-3) + "abc", "It is not a macro: its count of events is negative (-3)"},
      {"notes.txt", "hello, world\n",
       "It is not a macro, or cut short: 1819043176 events cannot fit in 9 bytes"},
  };
  test::WriteFileBytes(folder + "/kept.mcr", whole);
  ASSERT_TRUE(m.LoadMacro(folder + "/kept.mcr"));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string file = folder + "/" + c.Name;
    test::WriteFileBytes(file, c.Bytes);
    EXPECT_FALSE(m.LoadMacro(file));
    auto* box = w->findChild<QMessageBox*>("MacroError");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(), "Cannot read file \"" + file + "\". " + c.Why);
    box->close();
    QApplication::processEvents();
    EXPECT_EQ(m.Recorder().GetEventCount(), 2);
    EXPECT_EQ(m.Recorder().GetMacroName(), "kept");
  }
}

TEST_F(WindowMacros, KeysComeFromTheRegistryFile) {
  SetKey("MacroRecord", "F7");
  SetKey("MacroPlayback", "");
  auto w = Open();
  TRidEder& one = w->Eder(0);
  EXPECT_EQ(w->Macros().KeyProblem(), "");
  EXPECT_EQ(Action(*w, "MacroRecord")->text(), "Start/Stop &Recording\tF7");
  EXPECT_EQ(Action(*w, "MacroPlayback")->text(), "&Play/Pause/Resume");
  Key(one, Qt::Key_F7);
  Key(one, Qt::Key_Z);
  Key(one, Qt::Key_F7);
  Key(one, Qt::Key_P, CtrlShift);  // no key plays now
  EXPECT_EQ(one.GetText(), "zone\r\n");
  Action(*w, "MacroPlayback")->trigger();  // the menu always does
  EXPECT_EQ(one.GetText(), "zzone\r\n");
}

TEST_F(WindowMacros, KeysTheEditorTakesOrBothNameStayTheDefaults) {
  struct Case {
    const char* Record;
    const char* Playback;
    const char* Problem;
  };
  const Case cases[] = {
      {"Ctrl+C", "F8", "MacroRecord \"Ctrl+C\" is an editor key: Shift+Ctrl+R kept"},
      {"F8", "Hyper+Q", "MacroPlayback \"Hyper+Q\" is no key: Shift+Ctrl+P kept"},
      {"F8", "F8", "MacroRecord and MacroPlayback name the same key: both keep their defaults"},
      {"Shift+Ctrl+P", "", ""},  // the playback key taken, and playback left without one
      {"Shift+Ctrl+P", nullptr,
       "MacroRecord and MacroPlayback name the same key: both keep their defaults"},
      {"Ctrl+C", "Hyper+Q",
       "MacroRecord \"Ctrl+C\" is an editor key: Shift+Ctrl+R kept; MacroPlayback \"Hyper+Q\" "
       "is no key: Shift+Ctrl+P kept"},
      {"Ctrl+V", "Shift+Ctrl+R",
       "MacroRecord \"Ctrl+V\" is an editor key: Shift+Ctrl+R kept; MacroRecord and "
       "MacroPlayback name the same key: both keep their defaults"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Problem);
    SetKey("MacroRecord", c.Record);
    SetKey("MacroPlayback", c.Playback);
    auto w = Open();
    EXPECT_EQ(w->Macros().KeyProblem(), c.Problem);
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), c.Problem);
    TRidEder& one = w->Eder(0);
    Key(one, Qt::Key_C, Qt::ControlModifier);  // still the editor's copy
    EXPECT_EQ(w->Macros().Recorder().GetState(), mrsStopped);
  }
}

// Values the program cannot read as keys, written by hand in the settings file, are each named.
TEST_F(WindowMacros, KeysOfOtherTypesAreEachNamed) {
  const std::string section = "[HKEY_CURRENT_USER\\Software\\rideder\\Keys]\n";
  const struct {
    const char* Values;
    const char* Problem;
  } cases[] = {
      {"\"MacroRecord\"=dword:00000001\n\"MacroPlayback\"=hex(2):41,00\n",
       "MacroRecord is a number: Shift+Ctrl+R kept; MacroPlayback is hex(2) data, not text: "
       "Shift+Ctrl+P kept"},
      {"\"MacroPlayback\"=hex:01\n\"MacroRecord\"=what\n",
       "MacroRecord is not text: Shift+Ctrl+R kept; MacroPlayback is hex data, not text: "
       "Shift+Ctrl+P kept"},
      {"\"MacroRecord\"=dword:00000002\n\"MacroPlayback\"=\"F7\"\n",
       "MacroRecord is a number: Shift+Ctrl+R kept"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Problem);
    test::WriteFileBytes(Dir / "registry.ini", section + c.Values);
    auto w = Open();
    EXPECT_EQ(w->Macros().KeyProblem(), c.Problem);
    EXPECT_EQ(w->statusBar()->currentMessage().toStdString(), c.Problem);
  }
}

// --- the real program under X

// The window of File under the X server of the test below, which mapped a key for 日 before
// this process started.
void TypeAndPlayUnderX(const std::string& File) {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  TEderWindow w({File});
  w.show();
  QWidget* editor = w.Eder(0).ClientWidget();
  ASSERT_TRUE(test::WaitUntil([&] { return QApplication::focusWidget() == editor; }))
      << "the editor has no keyboard focus as the window opens";
  const auto* state = w.findChild<QLabel*>("MacroState");
  const auto text = [&] { return w.Eder(0).GetText(); };
  // "ab日" and a line break, typed once and played twice, before the file's "x".
  const std::string line = "ab\x93\xfa\r\n";
  x.Run("xdotool key shift+ctrl+r");
  EXPECT_TRUE(test::WaitUntil([&] { return state->text() == "Recording"; }))
      << state->text().toStdString();
  x.Run("xdotool key --delay 30 a b U65E5 Return");
  EXPECT_TRUE(test::WaitUntil([&] { return text() == line + "x\r\n"; })) << text();
  w.grab().save(QString::fromStdString((test::ArtifactDir() / "macro-recording.png").string()));
  x.Run("xdotool key shift+ctrl+r");
  EXPECT_TRUE(test::WaitUntil([&] { return state->text() != "Recording"; }));
  x.Run("xdotool key shift+ctrl+p");
  EXPECT_TRUE(test::WaitUntil([&] { return text() == line + line + "x\r\n"; })) << text();
  x.Run("xdotool key --delay 100 alt+m p");  // the Macro menu's Play
  EXPECT_TRUE(test::WaitUntil([&] { return text() == line + line + line + "x\r\n"; })) << text();
}

TEST(EderMacrosUnderX, RecordAndPlayWithKeysAndTheMenu) {
  if (test::UnderX()) return TypeAndPlayUnderX(std::getenv("RID_MACRO_FILE"));
  RID_NEED_TOOL("xdotool", "xdotool");
  test::TempDir dir;
  const auto file = dir / "x.txt";
  test::WriteFileBytes(file, "x\r\n");
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  ASSERT_TRUE(x.MapKeys("日")) << x.Error();
  setenv("RID_MACRO_FILE", file.c_str(), 1);
  int code = -1;
  const std::string out = x.RunThisTest(&code);
  unsetenv("RID_MACRO_FILE");
  EXPECT_EQ(code, 0) << out;
}

}  // namespace
}  // namespace rid
