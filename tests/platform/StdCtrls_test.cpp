#include "platform/StdCtrls.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>

#include "platform/Locale.h"
#include "platform/WidgetBridge.h"

namespace rid {
namespace {

void Press(TMemo& Memo, Qt::Key Key, const QString& Text = {}) {
  QKeyEvent press(QEvent::KeyPress, Key, Qt::NoModifier, Text);
  QKeyEvent release(QEvent::KeyRelease, Key, Qt::NoModifier, Text);
  QApplication::sendEvent(Memo.ClientWidget(), &press);
  QApplication::sendEvent(Memo.ClientWidget(), &release);
}

TEST(Memo, TypedCharactersAndInputMethodResultsGoToTheEnd) {
  TMemo memo(nullptr);
  memo.Show();
  memo.SetText("x");
  Press(memo, Qt::Key_A, "a");
  Press(memo, Qt::Key_Return, "\r");
  memo.Bridge()->DeliverResultString(Utf8ToSjis("表示"));  // trail bytes 0x5C and 0xA6
  EXPECT_EQ(memo.GetText(), "xa\r\n" + Utf8ToSjis("表示"));
  for (uintptr_t control : {0x01, 0x1B, 0x7F}) memo.Perform(WM_CHAR, control);  // type nothing
  EXPECT_EQ(memo.GetText(), "xa\r\n" + Utf8ToSjis("表示"));
  // Backspace takes whole characters: a double-byte one, then the line break.
  const struct {
    std::string After;
  } steps[] = {{"xa\r\n" + Utf8ToSjis("表")}, {"xa\r\n"}, {"xa"}, {"x"}, {""}, {""}};
  for (const auto& s : steps) {
    Press(memo, Qt::Key_Backspace, "\b");
    EXPECT_EQ(memo.GetText(), s.After);
  }
  // A lone trail byte that looks like a backslash is not a character of its own.
  memo.SetText("a" + Utf8ToSjis("ソ"));
  Press(memo, Qt::Key_Backspace, "\b");
  EXPECT_EQ(memo.GetText(), "a");
}

TEST(Memo, FormattingRectangleIsSetReadAndResetBySizing) {
  TMemo memo(nullptr);
  memo.SetBounds(0, 0, 160, 90);
  memo.Show();
  const TRect client = memo.GetClientRect();
  TRect r;
  memo.Perform(EM_GETRECT, 0, reinterpret_cast<intptr_t>(&r));
  EXPECT_EQ(r, client);
  const TRect inset = Rect(5, 4, client.Right - 5, client.Bottom - 4);
  memo.Perform(EM_SETRECT, 0, reinterpret_cast<intptr_t>(&inset));
  memo.Perform(EM_GETRECT, 0, reinterpret_cast<intptr_t>(&r));
  EXPECT_EQ(r, inset);
  memo.Perform(EM_SETRECT, 0, 0);  // null: back to the client area
  memo.Perform(EM_GETRECT, 0, reinterpret_cast<intptr_t>(&r));
  EXPECT_EQ(r, client);
  memo.Perform(EM_SETRECT, 0, reinterpret_cast<intptr_t>(&inset));
  memo.SetBounds(0, 0, 200, 120);
  memo.Perform(EM_GETRECT, 0, reinterpret_cast<intptr_t>(&r));
  EXPECT_EQ(r, memo.GetClientRect());
}

}  // namespace
}  // namespace rid
