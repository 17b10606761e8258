#include "foundation/immReconv.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodQueryEvent>
#include <QWidget>

#include "foundation/IMECtrl.h"
#include "platform/Controls.h"
#include "platform/Locale.h"
#include "platform/WidgetBridge.h"
#include "tests/ScreenMemo.h"
#include "tests/XSession.h"

namespace rid {
namespace {

std::string Dwords(std::initializer_list<uint32_t> Values) {
  std::string out;
  for (uint32_t v : Values)
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
  return out;
}

TEST(ImeReconvert, BuildsTheRecordByteForByte) {
  EXPECT_EQ(MakeReconvertRecord(""), Dwords({32, 0, 1, 32, 0, 0, 0, 0}) + std::string(2, '\0'));
  EXPECT_EQ(MakeReconvertRecord("").size(), 34u);
  // 漢字 in code page 932, a trail byte 0x5C included (表).
  const std::string text = "\x8a\xbf\x8e\x9a\x95\x5c";
  EXPECT_EQ(MakeReconvertRecord(text),
            Dwords({32, 0, 7, 32, 6, 0, 6, 0}) + text + std::string(2, '\0'));
  const std::string big(300, 'x');
  EXPECT_EQ(MakeReconvertRecord(big).substr(0, 32), Dwords({32, 0, 301, 32, 300, 0, 300, 0}));
}

TEST(ImeReconvert, HandsTheRecordToTheInputContextWithoutFailing) {
  TWinControl control(nullptr);
  HWND wnd = control.GetHandle();
  const std::string text = "\x82\xa9\x82\xc8";  // かな
  EXPECT_NO_THROW(ImeReconvert(wnd, text));
  HIMC imc = ImmGetContext(ImmGetDefaultIMEWnd(wnd));
  ASSERT_NE(imc, nullptr);
  EXPECT_EQ(imc->ReconvertRecord, MakeReconvertRecord(text));
  // Nothing else changes: no composition, no result.
  EXPECT_TRUE(imc->CompStr.empty());
  EXPECT_TRUE(imc->ResultStr.empty());
  ImmReleaseContext(ImmGetDefaultIMEWnd(wnd), imc);
  // The window shows the input method the whole text, selected.
  QInputMethodQueryEvent query(Qt::ImSurroundingText | Qt::ImCurrentSelection |
                               Qt::ImAnchorPosition | Qt::ImCursorPosition);
  QApplication::sendEvent(control.ClientWidget(), &query);
  EXPECT_EQ(query.value(Qt::ImSurroundingText).toString(), QString::fromUtf8("かな"));
  EXPECT_EQ(query.value(Qt::ImCurrentSelection).toString(), QString::fromUtf8("かな"));
  EXPECT_EQ(query.value(Qt::ImAnchorPosition).toInt(), 0);
  EXPECT_EQ(query.value(Qt::ImCursorPosition).toInt(), 2);
  EXPECT_NO_THROW(ImeReconvert(nullptr, text));
  EXPECT_NO_THROW(ImeReconvert(wnd, ""));
}

// mozc reads the text offered for reconversion: Henkan (its reconversion key) on "にほんご"
// converts it, and Return commits the conversion.
TEST(ImeReconvert, ARealInputMethodReconvertsTheTextOffered) {
  if (!test::EnterInputMethodSession()) return;
  test::TXSession x;
  ASSERT_TRUE(x.Ok()) << x.Error();
  test::TScreenMemo memo(10);
  ASSERT_TRUE(memo.Focus()) << "fcitx5 never saw the window's input context";
  SetImeMode(memo.Window(), imOpen);
  // fcitx5 opens mozc a moment later; a key pressed before goes to the plain keyboard.
  ASSERT_TRUE(
      test::WaitUntil([] { return SystemImeOpen() == true; }, test::kInputMethodStateWaitMs))
      << "fcitx5 never opened the input method";
  ImeReconvert(memo.Window(), Utf8ToSjis("にほんご"));
  x.PressKeys("Henkan_Mode");
  EXPECT_TRUE(test::WaitUntil([&] { return !memo.Memo().Bridge()->Preedit().isEmpty(); },
                              test::kInputMethodWaitMs));
  EXPECT_EQ(memo.Memo().Bridge()->Preedit(), QString::fromUtf8("日本語"));
  x.PressKeys("Return");
  const std::string nihongo = Utf8ToSjis("日本語");
  test::WaitUntil([&] { return memo.Memo().GetText() == nihongo; }, test::kInputMethodWaitMs);
  EXPECT_EQ(memo.Memo().GetText(), nihongo);
}

}  // namespace
}  // namespace rid
