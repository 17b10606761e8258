#include "highlighters/RidHighlighterTeX.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using T = TRidTeXRid;
using test::TTokenCase;

test::THighlighterFactory TeXFactory() {
  return [] { return std::make_unique<TRidTeXRid>(nullptr); };
}

// Characters whose trail bytes are TeX syntax: a backslash (ソ 表), square brackets (ー ゼ ゾ)
// and braces (ボ ＋ ± マ).
const std::string kSo = "\x83\x5C", kHyo = "\x95\x5C", kBar = "\x81\x5B", kZe = "\x83\x5B",
                  kZo = "\x83\x5D", kBo = "\x83\x7B", kPlus = "\x81\x7B", kPm = "\x81\x7D",
                  kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    {0,
     "50\\% off",
     {{"5", T::tkText},
      {"0", T::tkText},
      {"\\%", T::tkControlSequence},
      {" ", T::tkSpace},
      {"o", T::tkText},
      {"f", T::tkText},
      {"f", T::tkText}},
     0},
    {0, "$x$", {{"$", T::tkMathMode}, {"x", T::tkText}, {"$", T::tkMathMode}}, 0},
    {0, "% a", {{"% a", T::tkComment}}, 0},
    {0, "a%b\\c", {{"a", T::tkText}, {"%b\\c", T::tkComment}}, 0},
    {0,
     "\\section{x}[y]",
     {{"\\section", T::tkControlSequence},
      {"{", T::tkBrace},
      {"x", T::tkText},
      {"}", T::tkBrace},
      {"[", T::tkBracket},
      {"y", T::tkText},
      {"]", T::tkBracket}},
     0},
    // The backslash itself goes on: "\\" and letters are one sequence
    {0, "\\\\abc", {{"\\\\abc", T::tkControlSequence}}, 0},
    {0, "\\1", {{"\\", T::tkControlSequence}, {"1", T::tkText}}, 0},
    {0, "\\a1", {{"\\a", T::tkControlSequence}, {"1", T::tkText}}, 0},
    {0, "\\a b", {{"\\a", T::tkControlSequence}, {" ", T::tkSpace}, {"b", T::tkText}}, 0},
    {0, "\\a\tb", {{"\\a", T::tkControlSequence}, {"\t", T::tkSpace}, {"b", T::tkText}}, 0},
    {0, "\\ x", {{"\\", T::tkControlSequence}, {" ", T::tkSpace}, {"x", T::tkText}}, 0},
    {0, "\\a_b`c|d\x7F", {{"\\a_b`c|d\x7F", T::tkControlSequence}}, 0},
    // A symbol right after the backslash is the sequence's last character; later it ends it
    {0, "\\{\\}", {{"\\{", T::tkControlSequence}, {"\\}", T::tkControlSequence}}, 0},
    {0, "\\a{", {{"\\a", T::tkControlSequence}, {"{", T::tkBrace}}, 0},
    {0, "\\\\{", {{"\\\\{", T::tkControlSequence}}, 0},
    // Shift-JIS: a character is one text token, whatever its trail byte looks like
    {0, kSo + kHyo, {{kSo, T::tkText}, {kHyo, T::tkText}}, 0},
    {0, kBar + kZe + kZo, {{kBar, T::tkText}, {kZe, T::tkText}, {kZo, T::tkText}}, 0},
    {0,
     kBo + kPlus + kPm + kMa,
     {{kBo, T::tkText}, {kPlus, T::tkText}, {kPm, T::tkText}, {kMa, T::tkText}},
     0},
    {0, "\xB1" + kSo + "x", {{"\xB1", T::tkText}, {kSo, T::tkText}, {"x", T::tkText}}, 0},
    // ... and inside a control sequence belongs to it: its trail byte is no TeX syntax
    {0, "\\" + kSo + "x", {{"\\" + kSo + "x", T::tkControlSequence}}, 0},
    {0,
     "\\" + kSo + kHyo + "x y",
     {{"\\" + kSo + kHyo + "x", T::tkControlSequence}, {" ", T::tkSpace}, {"y", T::tkText}},
     0},
    {0, "\\" + kSo + "{", {{"\\" + kSo, T::tkControlSequence}, {"{", T::tkBrace}}, 0},
    {0, "\\a" + kZo + "[", {{"\\a" + kZo, T::tkControlSequence}, {"[", T::tkBracket}}, 0},
    {0, "\\" + kMa + "}", {{"\\" + kMa, T::tkControlSequence}, {"}", T::tkBrace}}, 0},
    // A lone lead byte at the end of the line stays alone
    {0, "a\x81", {{"a", T::tkText}, {"\x81", T::tkText}}, 0},
    {0, "\\a\x81", {{"\\a\x81", T::tkControlSequence}}, 0},
    {0, "\r\n\n", {{"\r\n", T::tkSpace}, {"\n", T::tkSpace}}, 0},
    // The range is not the highlighter's
    {9, "x", {{"x", T::tkText}}, 0},
};

TEST(TeXHighlighter, ScansTheListedCases) { test::CheckTokenCases(TeXFactory(), kCases); }

TEST(TeXHighlighter, AttributesAndLanguageData) {
  TRidTeXRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 7);
  struct TAttri {
    TRidHighlighterAttributes* Attri;
    const char* Name;
    TColor Foreground, Background;
    TFontStyles Style;
  };
  const TAttri attris[] = {
      {h.GetCommentAttri(), "Comment", clTeal, clNone, {}},
      {h.GetTextAttri(), "Text", clBlack, clNone, {}},
      {h.GetMathmodeAttri(), "Math Mode", clOlive, clNone, {fsBold}},
      {h.GetSpaceAttri(), "Space", clNone, clWhite, {}},
      {h.GetControlSequenceAttri(), "TeX Command", clBlue, clWhite, {fsBold}},
      {h.GetBracketAttri(), "Square Bracket", clPurple, clNone, {}},
      {h.GetBraceAttri(), "Round Bracket", clRed, clNone, {fsBold}},
  };
  for (const TAttri& a : attris) {
    EXPECT_EQ(a.Attri->GetName(), a.Name);
    EXPECT_EQ(a.Attri->GetForeground(), a.Foreground) << a.Name;
    EXPECT_EQ(a.Attri->GetBackground(), a.Background) << a.Name;
    EXPECT_EQ(a.Attri->GetStyle(), a.Style) << a.Name;
  }
  for (int i = 0; i < 7; ++i)
    EXPECT_EQ(h.GetDefaultAttribute(i), i == 0   ? h.GetCommentAttri()
                                        : i == 4 ? h.GetSpaceAttri()
                                                 : nullptr)
        << i;
  EXPECT_EQ(h.GetLanguageName(), "TeX");
  EXPECT_EQ(h.GetDefaultFilter(), "TeX Files (*.tex)|*.tex");
  EXPECT_FALSE(h.KeepsLineState());
  EXPECT_EQ(h.GetIdentChars(), TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
                                   TRidCharSet::Range('a', 'z') + TRidCharSet{'_'});
  EXPECT_EQ(h.GetSampleSource(),
            "\\documentclass[a4paper]{article}\r\n% LaTeX sample source\r\n"
            "\\begin{document}\r\nHere is a formula: $ (2x + 3)*5y $\r\n\\end{document}");
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {T::tkBrace, h.GetBraceAttri()},      {T::tkBracket, h.GetBracketAttri()},
      {T::tkSpace, h.GetSpaceAttri()},      {T::tkText, h.GetTextAttri()},
      {T::tkComment, h.GetCommentAttri()},  {T::tkControlSequence, h.GetControlSequenceAttri()},
      {T::tkMathMode, h.GetMathmodeAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource(), byKind);
}

TEST(TeXHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(TeXFactory(), test::RandomByteLines(51, 500, 80), {0});
}

TEST(TeXHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"\\", "\\a", "%", "$", "{", "}",  "[",
                                           "]",  "\\{", "1", " ", "`", "\t", "\r\n"};
  test::CheckConformance(TeXFactory(), test::ShiftJisLines(53, 500, 24, pieces), {0});
}

TEST(TeXHighlighter, InstalledLaTeXSourcesScanCleanly) {
  const auto files =
      test::InstalledFiles({"/usr/share/texlive/texmf-dist/tex/latex"},
                           {".tex", ".sty", ".cls", ".ltx", ".def", ".clo"}, "texlive-latex-base");
  test::CheckInstalledFiles(TeXFactory(), test::SampledFiles(files, 4));
}

}  // namespace
}  // namespace rid
