// Japanese typed into the program through a real input method (fcitx5 with mozc, in a session
// of its own: tests/input-method-session.sh) and saved with Ctrl+S: the program as a person runs
// it, and the editor's input method opened and closed by SetImeMode.
#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <string>

#include "app/EderWindow.h"
#include "editor/RidEder.h"
#include "foundation/IMECtrl.h"
#include "platform/Imm.h"
#include "platform/SystemIme.h"
#include "platform/WidgetBridge.h"
#include "tests/ScreenMemo.h"
#include "tests/TestSupport.h"
#include "tests/XSession.h"

namespace rid {
namespace {

using test::kInputMethodWaitMs;

const std::string kNihongo = "\x93\xFA\x96\x7B\x8C\xEA";  // 日本語 in Shift-JIS
// The same keys with the input method closed; Return breaks the line as a new file's CR LF.
const std::string kTypedPlain = "nihongo \r\n";

// A new file, empty, in a folder of its own.
struct TEmptyFile {
  test::TempDir Dir;
  const std::filesystem::path Path = Dir / "empty.txt";
  TEmptyFile() { test::WriteFileBytes(Path, ""); }
};

// Waits until the file holds Want (the program saves it whole, by renaming) and gives it.
std::string SavedAs(const std::filesystem::path& File, const std::string& Want) {
  test::WaitUntil([&] { return test::ReadFileBytes(File) == Want; }, kInputMethodWaitMs);
  return test::ReadFileBytes(File);
}

// The program on an empty file, its input method opened with fcitx5's own key (Ctrl+Space):
// "nihongo", space and Return commit 日本語, which Ctrl+S writes in Shift-JIS, with no line
// break (Return commits the conversion).
TEST(EderInputMethod, NihongoSpaceReturnIntoTheProgramSavesJapaneseInShiftJis) {
  if (!test::EnterInputMethodSession()) return;
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  const TEmptyFile file;
  const std::string window = x.StartRideder({file.Path.string()});
  ASSERT_FALSE(window.empty()) << x.Error();
  // The program is the session's only client: the context fcitx5 has focused is its editor's.
  ASSERT_TRUE(test::WaitUntil([] { return SystemImeOpen() == false; }, kInputMethodWaitMs))
      << "fcitx5 never reported the program's input context (focused, closed)";
  x.PressKeys("ctrl+space");
  ASSERT_TRUE(test::WaitUntil([] { return SystemImeOpen() == true; }, kInputMethodWaitMs))
      << "fcitx5's Ctrl+Space did not open mozc in the program";
  x.TypeText("nihongo");
  x.PressKeys("space Return");
  // The title's "*" comes with the commit, the first change of the text.
  const auto title = [&] { return x.Run("xdotool getwindowname " + window); };
  EXPECT_TRUE(test::WaitUntil([&] { return title().starts_with("*"); }, kInputMethodWaitMs))
      << "nothing reached the editor; the title is " << title();
  x.PressKeys("ctrl+s");
  EXPECT_EQ(SavedAs(file.Path, kNihongo), kNihongo);
}

// The editor in this process, its input method opened and closed by SetImeMode on the editor:
// open, the keys convert; closed (after having been open), they come as typed.
TEST(EderInputMethod, SetImeModeOnTheEditorOpensAndClosesTheInputMethodTheKeysGoThrough) {
  if (!test::EnterInputMethodSession()) return;
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  const TEmptyFile file;
  TEderWindow w({file.Path.string()});
  w.show();
  TRidEder& editor = w.Eder(0);
  ASSERT_TRUE(test::FocusForInputMethod(editor)) << "fcitx5 never saw the editor's input context";
  const struct {
    int32_t Mode;
    std::string Saved;  // the whole file after the keys and Ctrl+S
  } table[] = {
      {imHira, kNihongo},
      {imClose, kNihongo + kTypedPlain},
      {imOpen, kNihongo + kTypedPlain + kNihongo},
  };
  for (const auto& row : table) {
    SCOPED_TRACE(row.Mode);
    SetImeMode(&editor, row.Mode);
    x.TypeText("nihongo");
    x.PressKeys("space Return");
    const auto text = [&] { return editor.GetLines()->SaveToBytes(); };
    EXPECT_TRUE(test::WaitUntil([&] { return text() == row.Saved; }, kInputMethodWaitMs))
        << "the editor holds " << testing::PrintToString(text());
    x.PressKeys("ctrl+s");
    EXPECT_EQ(SavedAs(file.Path, row.Saved), row.Saved);
  }
}

// Pixels of the editor's client that the screen shows otherwise than a fresh painting of it
// does, the caret's cell left out (it blinks).
int StalePixels(TRidEder& Editor) {
  QWidget* client = Editor.ClientWidget();
  const QPoint from = client->mapTo(client->window(), QPoint(0, 0));
  const QImage shown = client->screen()
                           ->grabWindow(client->window()->winId(), from.x(), from.y(),
                                        client->width(), client->height())
                           .toImage()
                           .convertToFormat(QImage::Format_RGB32);
  const QImage fresh = client->grab().toImage().convertToFormat(QImage::Format_RGB32);
  if (shown.size() != fresh.size()) return shown.width() * shown.height();
  const TPoint at = Editor.RowColumnToPixels(Editor.GetDisplayXY());
  const QRect caret(at.X - 2, at.Y, Editor.GetCharWidth() + 4, Editor.GetLineHeight());
  int stale = 0;
  for (int y = 0; y < shown.height(); ++y)
    for (int x = 0; x < shown.width(); ++x)
      stale += !caret.contains(x, y) && shown.pixel(x, y) != fresh.pixel(x, y);
  return stale;
}

// At the end of a line with one below, "nihongo", space and Return commit 日本語 through the
// input method: where the underlined composition was drawn, the screen shows at once what a
// fresh painting of the text shows, not only once something repaints that place. Its font is
// taller than the rows, so that it reaches into the row below, as a font of another size may.
TEST(EderInputMethod, ACommittedTextIsShownAsTextWhereItWasComposed) {
  if (!test::EnterInputMethodSession()) return;
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  const TEmptyFile file;
  test::WriteFileBytes(file.Path, "abc\r\nxyz\r\n");
  TEderWindow w({file.Path.string()});
  w.show();
  TRidEder& editor = w.Eder(0);
  ASSERT_TRUE(test::FocusForInputMethod(editor)) << "fcitx5 never saw the editor's input context";
  editor.CommandProcessor(ecLineEnd, '\0', nullptr);
  SetImeMode(&editor, imHira);
  TLogFont tall = editor.Font().GetLogFont();
  tall.lfHeight *= 2;
  HIMC imc = ImmGetContext(&editor);
  ImmSetCompositionFontA(imc, &tall);
  ImmReleaseContext(&editor, imc);
  x.TypeText("nihongo");
  x.PressKeys("space");
  TWidgetBridge* bridge = editor.Bridge();
  ASSERT_TRUE(test::WaitUntil([&] { return bridge->Preedit() == QString::fromUtf8("日本語"); },
                              kInputMethodWaitMs))
      << "mozc composed " << bridge->Preedit().toStdString();
  const QRect composed = bridge->PreeditArea();
  ASSERT_TRUE(test::WaitUntil([&] { return StalePixels(editor) == 0; }, kInputMethodWaitMs))
      << "the composition was never drawn";
  x.PressKeys("Return");
  const auto text = [&] { return editor.GetLines()->SaveToBytes(); };
  ASSERT_TRUE(test::WaitUntil([&] { return text() == "abc" + kNihongo + "\r\nxyz\r\n"; },
                              kInputMethodWaitMs))
      << "the editor holds " << testing::PrintToString(text());
  EXPECT_TRUE(test::WaitUntil([&] { return StalePixels(editor) == 0; }, kInputMethodWaitMs))
      << StalePixels(editor) << " pixels still show the composition drawn at " << composed.x()
      << "," << composed.y();
}

}  // namespace
}  // namespace rid
