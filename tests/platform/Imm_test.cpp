#include "platform/Imm.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QInputMethodEvent>
#include <QInputMethodQueryEvent>
#include <cstring>
#include <vector>

#include "platform/Controls.h"
#include "platform/Locale.h"
#include "platform/SystemIme.h"
#include "platform/WidgetBridge.h"

namespace rid {
namespace {

class TNoteControl : public TCustomControl {
 public:
  TNoteControl() : TCustomControl(nullptr) {}
  ~TNoteControl() override { DestroyHandle(); }
  void Dispatch(TMessage& M) override {
    if (M.Msg == WM_IME_NOTIFY) Notes.push_back(M.WParam);
    if (M.Msg == WM_CHAR) Chars += static_cast<char>(M.WParam);
    TCustomControl::Dispatch(M);
  }
  std::vector<uintptr_t> Notes;
  std::string Chars;
};

TEST(Imm, ContextKeepsStatusFontAndPositionAndNotifiesTheWindow) {
  TNoteControl c;
  EXPECT_EQ(ImmGetContext(&c), nullptr);  // no window yet
  c.Show();
  HIMC imc = ImmGetContext(&c);
  ASSERT_NE(imc, nullptr);
  EXPECT_EQ(ImmGetDefaultIMEWnd(&c), &c);
  ASSERT_TRUE(ImmSetOpenStatus(imc, true));
  ASSERT_TRUE(ImmSetOpenStatus(imc, true));  // no change, no notice
  EXPECT_TRUE(ImmGetOpenStatus(imc));
  ImmSetConversionStatus(imc, IME_CMODE_NATIVE | IME_CMODE_KATAKANA, 0);
  EXPECT_EQ(c.Notes, (std::vector<uintptr_t>{IMN_SETOPENSTATUS, IMN_SETCONVERSIONMODE}));
  uint32_t conv = 0, sentence = 1;
  ASSERT_TRUE(ImmGetConversionStatus(imc, &conv, &sentence));
  EXPECT_EQ(conv, IME_CMODE_NATIVE | IME_CMODE_KATAKANA);
  EXPECT_EQ(sentence, 0u);

  TLogFont lf = c.Font().GetLogFont(), back;
  EXPECT_FALSE(ImmGetCompositionFontA(imc, &back));  // none set yet
  EXPECT_TRUE(ImmSetCompositionFontA(imc, &lf));
  ASSERT_TRUE(ImmGetCompositionFontA(imc, &back));
  EXPECT_EQ(std::memcmp(&lf, &back, sizeof lf), 0);
  TCompositionForm form, got;
  form.dwStyle = CFS_POINT;
  form.ptCurrentPos = Point(12, 34);
  ASSERT_TRUE(ImmSetCompositionWindow(imc, &form));
  ASSERT_TRUE(ImmGetCompositionWindow(imc, &got));
  EXPECT_EQ(got.ptCurrentPos, Point(12, 34));
  EXPECT_EQ(c.Bridge()->CompositionRect().topLeft(), QPoint(12, 34));
  EXPECT_TRUE(ImmReleaseContext(&c, imc));
}

TEST(Imm, CompositionStringsAreShiftJisWithLengthQueries) {
  TNoteControl c;
  c.Show();
  HIMC imc = ImmGetContext(&c);
  EXPECT_EQ(ImmGetCompositionStringA(nullptr, GCS_RESULTSTR, nullptr, 0), -1);
  EXPECT_EQ(ImmGetCompositionStringA(imc, 0x1234, nullptr, 0), -1);
  EXPECT_EQ(ImmGetCompositionStringA(imc, GCS_RESULTSTR, nullptr, 0), 0);
  c.Bridge()->SetPreedit(QString::fromUtf8("かな"));
  EXPECT_EQ(ImmGetCompositionStringA(imc, GCS_COMPSTR, nullptr, 0), 4);
  char buf[3] = {};
  EXPECT_EQ(ImmGetCompositionStringA(imc, GCS_COMPSTR, buf, 3), 3);  // bounded by the buffer
  EXPECT_EQ(std::string(buf, 3), Utf8ToSjis("かな").substr(0, 3));
  // The default handling echoes a delivered result byte by byte.
  c.Bridge()->DeliverResultString(Utf8ToSjis("漢字"));
  EXPECT_EQ(c.Chars, Utf8ToSjis("漢字"));
}

TEST(Imm, EnablingReconversionAndLayout) {
  TNoteControl c;
  c.Show();
  EXPECT_TRUE(WINNLSGetEnableStatus(&c));
  WINNLSEnableIME(&c, false);
  EXPECT_FALSE(WINNLSGetEnableStatus(&c));
  EXPECT_FALSE(c.ClientWidget()->testAttribute(Qt::WA_InputMethodEnabled));
  WINNLSEnableIME(&c, true);
  EXPECT_TRUE(c.ClientWidget()->testAttribute(Qt::WA_InputMethodEnabled));
  HIMC imc = ImmGetContext(&c);
  EXPECT_EQ(ImmGetProperty(GetKeyboardLayout(0), IGP_SETCOMPSTR) & SCS_CAP_SETRECONVERTSTRING,
            SCS_CAP_SETRECONVERTSTRING);
  const std::string record(34, '\x01');
  EXPECT_TRUE(ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, record.data(), 34, nullptr, 0));
  EXPECT_EQ(imc->ReconvertRecord, record);
  EXPECT_FALSE(ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, nullptr, 0, nullptr, 0));
}

// A reconversion record: the header, then Text and its zero; the target is given in bytes.
std::string Record(const std::string& Text, uint32_t TargetOffset, uint32_t TargetLen) {
  const uint32_t len = static_cast<uint32_t>(Text.size());
  std::string out;
  for (uint32_t v : {32u, 0u, len + 1, 32u, len, 0u, TargetLen, TargetOffset})
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i) & 0xFF);
  return out + Text + std::string(2, '\0');
}

QVariant Ask(TNoteControl& C, Qt::InputMethodQuery Query) {
  QInputMethodQueryEvent e(Query);
  QApplication::sendEvent(C.ClientWidget(), &e);
  return e.value(Query);
}

// The input method asks for the text around the cursor: a reconversion record answers with its
// text in UTF-16 and the target selected, positions counted in UTF-16 units.
TEST(Imm, ReconversionTextIsOfferedToTheInputMethod) {
  const struct {
    const char* Text;  // UTF-8, stored as code page 932
    uint32_t TargetOffset, TargetLen;
    bool Offered;
    int Anchor, Cursor;
    const char* Selection;
  } cases[] = {
      {"かな", 0, 4, true, 0, 2, "かな"},     {"ab漢字cd", 2, 4, true, 2, 4, "漢字"},
      {"表示ソ\\", 2, 4, true, 1, 3, "示ソ"},  // trail bytes 0x5C all over
      {"ｶﾅ漢", 0, 2, true, 0, 2, "ｶﾅ"},        // half-width katakana: one byte each
      {"x漢字", 3, 2, true, 2, 3, "字"},      {"", 0, 0, true, 0, 0, ""},
      {"漢字", 1, 2, false, 0, 0, ""},  // the target starts on a trail byte
      {"漢字", 0, 3, false, 0, 0, ""},  // and ends on one
      {"漢字", 2, 4, false, 0, 0, ""},  // past the text
  };
  TNoteControl c;
  c.Show();
  HIMC imc = ImmGetContext(&c);
  for (const auto& k : cases) {
    SCOPED_TRACE(k.Text);
    const std::string record = Record(Utf8ToSjis(k.Text), k.TargetOffset, k.TargetLen);
    ASSERT_TRUE(ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, record.data(),
                                         static_cast<uint32_t>(record.size()), nullptr, 0));
    const QVariant text = Ask(c, Qt::ImSurroundingText);
    EXPECT_EQ(text.isValid(), k.Offered);
    if (!k.Offered) continue;
    EXPECT_EQ(text.toString(), QString::fromUtf8(k.Text));
    EXPECT_EQ(Ask(c, Qt::ImAnchorPosition).toInt(), k.Anchor);
    EXPECT_EQ(Ask(c, Qt::ImCursorPosition).toInt(), k.Cursor);
    EXPECT_EQ(Ask(c, Qt::ImCurrentSelection).toString(), QString::fromUtf8(k.Selection));
  }
  // A record too short for its header, or whose text lies outside it, offers nothing.
  for (const std::string& bad : {std::string(20, '\0'), Record("abc", 0, 3).substr(0, 34)}) {
    ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, bad.data(),
                             static_cast<uint32_t>(bad.size()), nullptr, 0);
    EXPECT_FALSE(Ask(c, Qt::ImSurroundingText).isValid());
  }
  // A commit uses the record up: the window offers no text afterwards.
  const std::string record = Record(Utf8ToSjis("かな"), 0, 4);
  ImmSetCompositionStringA(imc, SCS_SETRECONVERTSTRING, record.data(),
                           static_cast<uint32_t>(record.size()), nullptr, 0);
  ASSERT_TRUE(Ask(c, Qt::ImSurroundingText).isValid());
  QInputMethodEvent commit;
  commit.setCommitString(QString::fromUtf8("仮名"));
  QApplication::sendEvent(c.ClientWidget(), &commit);
  EXPECT_EQ(c.Chars, Utf8ToSjis("仮名"));
  EXPECT_FALSE(Ask(c, Qt::ImSurroundingText).isValid());
}

// Without fcitx5 (no module named, or no bus to find it on) the status stays in the context.
TEST(Imm, OpenStatusStaysInTheContextWhereNoInputMethodService) {
  const QByteArray module = qgetenv("QT_IM_MODULE"), bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
  for (const char* name : {"", "ibus", "fcitx"}) {
    SCOPED_TRACE(name);
    qputenv("QT_IM_MODULE", name);
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/rid-test-bus");
    EXPECT_FALSE(SystemImeReachable());
    TNoteControl c;
    c.Show();
    c.ClientWidget()->setFocus();
    HIMC imc = ImmGetContext(&c);
    EXPECT_TRUE(ImmSetOpenStatus(imc, true));
    EXPECT_TRUE(ImmGetOpenStatus(imc));
    EXPECT_FALSE(SystemImeSetOpen(false));
    EXPECT_TRUE(ImmGetOpenStatus(imc));
    EXPECT_EQ(SystemImeOpen(), std::nullopt);
  }
  qputenv("QT_IM_MODULE", module);
  qputenv("DBUS_SESSION_BUS_ADDRESS", bus);
}

}  // namespace
}  // namespace rid
