// Complete Word in the program: the words offered, the key from the registry file, and the
// window's editors completing through it.
#include "app/EderCompletion.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QtTest/QTest>
#include <cstdlib>
#include <functional>

#include "app/EderShortCuts.h"
#include "app/EderWindow.h"
#include "platform/Locale.h"
#include "platform/Menus.h"
#include "platform/Registry.h"
#include "platform/WidgetBridge.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

class EderCompletionKeys : public ::testing::Test {
 protected:
  void SetUp() override { setenv("RIDEDER_REGISTRY", (Dir / "registry.ini").c_str(), 1); }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }
  void Set(const std::string& Name, const std::string& Value) {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey(kShortCutsKey, true));
    reg.WriteString(Name, Value);
    reg.CloseKey();
  }
  test::TempDir Dir;
};

TEST_F(EderCompletionKeys, ReadsTheKeyFromTheRegistryFile) {
  const TShortCut def = ShortCut(VK_SPACE, {ssCtrl});
  EXPECT_EQ(ReadShortCutSetting("Completion", def), def);  // no file
  const std::pair<std::string, TShortCut> cases[] = {
      {"Ctrl+J", ShortCut('J', {ssCtrl})},
      {"shift+ctrl+space", ShortCut(VK_SPACE, {ssShift, ssCtrl})},
      {"F12", ShortCut(VK_F12, {})},
      {"", 0},                // no key at all
      {"Ctrl+Nothing", def},  // not a key: the default stays
  };
  for (const auto& [text, want] : cases) {
    Set("Completion", text);
    EXPECT_EQ(ReadShortCutSetting("Completion", def), want) << text;
  }
  EXPECT_EQ(ReadShortCutSetting("Other", 7), 7);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKey(kShortCutsKey, true));
  reg.WriteInteger("Number", 5);
  reg.CloseKey();
  EXPECT_EQ(ReadShortCutSetting("Number", def), def);
  // The file as the README shows it.
  test::WriteFileBytes(Dir / "registry.ini",
                       "[HKEY_CURRENT_USER\\Software\\rideder\\Keys]\n\"Completion\"=\"Ctrl+J\"\n");
  EXPECT_EQ(ReadShortCutSetting("Completion", def), ShortCut('J', {ssCtrl}));
}

// The window on one file: its editor completes with the other words of the file.
struct TWindow {
  test::TempDir Dir;
  std::unique_ptr<TEderWindow> W;
  explicit TWindow(const std::string& Text) {
    test::WriteFileBytes(Dir / "a.txt", Text);
    W = std::make_unique<TEderWindow>(std::vector<std::string>{(Dir / "a.txt").string()});
    W->show();
    QApplication::processEvents();
  }
  TRidEder& Ed() { return W->CurrentEder(); }
  TRidBaseCompletionProposalForm& List() { return *W->Completion().Proposal().GetForm(); }
  void Key(Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier) {
    QTest::keyClick(Ed().ClientWidget(), K, M);
  }
  std::vector<std::string> Rows() {
    std::vector<std::string> r;
    for (int32_t i = 0; i < List().ShownCount(); ++i) r.push_back(List().ShownItem(i));
    return r;
  }
};

TEST_F(EderCompletionKeys, CtrlSpaceCompletesWithTheWordsOfTheText) {
  TWindow w("print \x95\x5C\x8E\xA6 private\r\npri");
  TRidEder& ed = w.Ed();
  ed.SetCaretXY({4, 2});
  EXPECT_EQ(w.W->Completion().Proposal().GetOptions().ToBits(), 0x684u);
  w.Key(Qt::Key_Space, Qt::ControlModifier);
  ASSERT_TRUE(w.List().GetVisible());
  EXPECT_EQ(w.List().GetItemList()->GetCommaText(), "print,private,\x95\x5C\x8E\xA6");
  EXPECT_EQ(w.Rows(), (std::vector<std::string>{"print", "private"}));
  w.Key(Qt::Key_V);
  EXPECT_EQ(w.Rows(), std::vector<std::string>{"private"});
  w.Key(Qt::Key_Return);
  EXPECT_FALSE(w.List().GetVisible());
  EXPECT_EQ(ed.Lines()->Get(1), "private");
  // The menu entry opens the list too, whatever the key.
  QAction* complete = w.W->findChild<QAction*>("CompleteWord");
  ASSERT_NE(complete, nullptr);
  EXPECT_EQ(complete->text(), "Complete &Word\tCtrl+Space");
  ed.SetCaretXY({3, 2});
  complete->trigger();
  ASSERT_TRUE(w.List().GetVisible());
  EXPECT_EQ(w.List().GetTypedText(), "pr");
  w.Key(Qt::Key_Escape);
  EXPECT_FALSE(w.List().GetVisible());
}

TEST_F(EderCompletionKeys, TheKeyIsTheOneTheRegistryFileNames) {
  Set("Completion", "Ctrl+J");
  TWindow w("print\r\npr");
  w.Ed().SetCaretXY({3, 2});
  w.Key(Qt::Key_Space, Qt::ControlModifier);
  EXPECT_FALSE(w.List().GetVisible());
  w.Key(Qt::Key_J, Qt::ControlModifier);
  ASSERT_TRUE(w.List().GetVisible());
  EXPECT_EQ(w.W->findChild<QAction*>("CompleteWord")->text(), "Complete &Word\tCtrl+J");
}

TEST_F(EderCompletionKeys, EveryPageOfTheWindowCompletes) {
  test::WriteFileBytes(Dir / "b.txt", "beta\r\nbe");
  TWindow w("alpha\r\nal");
  w.W->OpenDroppedFiles({(Dir / "b.txt").string()});
  ASSERT_EQ(w.W->PageCount(), 2);
  TRidEder& second = w.Ed();
  ASSERT_EQ(&second, &w.W->Eder(1));
  second.SetCaretXY({3, 2});
  w.Key(Qt::Key_Space, Qt::ControlModifier);
  ASSERT_TRUE(w.List().GetVisible());
  EXPECT_EQ(w.Rows(), std::vector<std::string>{"beta"});
  w.Key(Qt::Key_Return);
  EXPECT_EQ(second.Lines()->Get(1), "beta");
  // A page that closes leaves the list to the others.
  second.SetModified(false);
  w.W->ClosePage(1);
  EXPECT_EQ(w.W->Completion().Proposal().EditorsCount(), 1);
  w.Ed().SetCaretXY({3, 2});
  w.Key(Qt::Key_Space, Qt::ControlModifier);
  EXPECT_EQ(w.Rows(), std::vector<std::string>{"alpha"});
}

// Under a real X server (no window manager): the keys and the mouse of a user.
void CompleteUnderX() {
  ASSERT_EQ(QGuiApplication::platformName(), "xcb");
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  TWindow w("print\r\nprivate\r\npr");
  TRidEder& ed = w.Ed();
  ASSERT_TRUE(test::WaitUntil([&] { return QApplication::focusWidget() == ed.ClientWidget(); }));
  ed.SetCaretXY({3, 3});
  x.Run("xdotool key ctrl+space");
  ASSERT_TRUE(test::WaitUntil([&] { return w.List().GetVisible(); }));
  // The list shows beside the text and the keyboard stays with the editor.
  EXPECT_TRUE(w.List().Bridge()->isVisible());
  EXPECT_EQ(QApplication::focusWidget(), ed.ClientWidget());
  x.Run("xdotool type --delay 30 i");
  EXPECT_TRUE(test::WaitUntil([&] { return w.List().GetTypedText() == "pri"; }))
      << w.List().GetTypedText();
  EXPECT_EQ(w.Rows(), (std::vector<std::string>{"print", "private"}));
  x.Run("xdotool key --delay 30 Down Return");
  EXPECT_TRUE(test::WaitUntil([&] { return !w.List().GetVisible(); }));
  EXPECT_EQ(ed.Lines()->Get(2), "private");
  // A double click on a row completes with it.
  x.Run("xdotool key --delay 30 Return p r ctrl+space");
  ASSERT_TRUE(test::WaitUntil([&] { return w.List().GetVisible(); }));
  const TRidBaseCompletionProposalForm& list = w.List();
  const QPoint row = list.ClientWidget()->mapToGlobal(QPoint(20, list.RowHeight() * 3 / 2));
  x.Run("xdotool mousemove " + std::to_string(row.x()) + " " + std::to_string(row.y()));
  x.Run("xdotool click --repeat 2 --delay 80 1");
  ASSERT_TRUE(test::WaitUntil([&] { return !w.List().GetVisible(); }));
  EXPECT_EQ(ed.Lines()->Get(3), "private");
}

TEST_F(EderCompletionKeys, CompletesInARealWindowWithTheUsersKeysAndMouse) {
  if (test::UnderX()) return CompleteUnderX();
  RID_NEED_TOOL("xdotool", "xdotool");
  int code = -1;
  const std::string out = test::RunThisTestUnderX(&code);
  EXPECT_EQ(code, 0) << out;
  EXPECT_NE(out.find("[  PASSED  ] 1 test"), std::string::npos) << out;
}

}  // namespace
}  // namespace rid
