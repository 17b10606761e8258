#include "platform/Imm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/Controls.h"
#include "platform/Locale.h"
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

}  // namespace
}  // namespace rid
