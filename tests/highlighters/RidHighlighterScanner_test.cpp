#include "highlighters/RidHighlighterScanner.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "highlighters/RidHighlighterAsm.h"
#include "highlighters/RidHighlighterFortran.h"
#include "highlighters/RidHighlighterGeneral.h"
#include "highlighters/RidHighlighterHashEntries.h"
#include "highlighters/RidHighlighterPHP.h"
#include "highlighters/RidHighlighterVBScript.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

// The scanner kit, through a small language of its own: words (a few keywords), "{...}"
// comments that may span lines (range 1), strings in three quotes, operators, numbers, "@"
// names that may hold double-byte characters, and everything else from the shared rules.

class TTinyRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TTinyRid)
  enum : uint8_t { tkComment, tkIdent, tkKey, tkNull, tkSpace, tkUnknown, tkString, tkSymbol };
  explicit TTinyRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, Language()) {}

  TRidRange GetRange() const override { return FInComment; }
  void SetRange(TRidRange Value) override { FInComment = Value != 0; }
  void ResetRange() override { FInComment = false; }
  void Next() override {
    FTokenStart = FRunPos;
    if (FInComment && FRunPos < FLineLen) return CommentProc();
    (this->*kTable[Cur()])();
  }

 private:
  static const TRidLanguageSpec& Language() {
    static constexpr TRidAttriSpec attris[] = {
        {"Comment", {fsItalic}}, {"Identifier", {}}, {"Key", {fsBold}}, {"Space", {}},
        {"Unknown", {}},         {"String", {}},     {"Symbol", {}}};
    static constexpr int8_t kinds[] = {0, 1, 2, -1, 3, 4, 5, 6};
    static constexpr TRidLanguageSpec kLanguage = {
        "Tiny", "Tiny (*.t)|*.t",     "",     {},      attris,
        kinds,  {0, 1, 2, -1, 3, -1}, tkNull, tkSpace, tkUnknown};
    return kLanguage;
  }
  static const TRidKeywordTable& Keywords() {
    static constexpr TRidKeyword words[] = {{"do", tkKey}, {"od", tkKey}, {"end", tkKey}};
    static const TRidKeywordTable t(words, 400, ByteSumHash);
    return t;
  }
  void WordProc() {
    const uint64_t h = HashRun(FRunPos, TRidCharSet::Range('a', 'z'));
    FTokenKind = Keywords().Find(h, FLineText + FWordStart, FWordLength, tkIdent);
    FRunPos += FWordLength;
  }
  // { comment } may span lines.
  void BraceProc() {
    FInComment = true;
    ++FRunPos;
    CommentProc();
  }
  void CommentProc() {
    FTokenKind = tkComment;
    FInComment = !RunToClose("}", {});
  }
  // "with \" escapes", 'without' and `with doubled `` quotes`, ending at the line end when
  // open; how the last one ended is kept for the test.
  void StringProc() {
    FTokenKind = tkString;
    const uint8_t quote = Cur();
    LastQuoteEnd = StringRun(quote == '"'   ? TEscape::esBackslash
                             : quote == '`' ? TEscape::esDoubled
                                            : TEscape::esNone);
  }
  // [a list] is one key token.
  void ListProc() {
    FTokenKind = tkKey;
    ++FRunPos;
    RunUntil(TRidCharSet{']'} + kLineStops);
    if (Cur() == ']') ++FRunPos;
  }
  static constexpr TRidOperatorForms kOperators{
      std::to_array<std::string_view>({"<<=", "<", "<<", "==", "=", "->", "-"})};
  void OperatorProc() { OperatorRun(kOperators, tkSymbol); }
  void NumberProc() {
    FTokenKind = tkIdent;
    NumberRun(TRidCharSet::Range('0', '9') + TRidCharSet{'.'});
  }
  // @name, where a name may hold the double-byte characters of lead bytes E0-EF.
  void AtNameProc() {
    FTokenKind = tkKey;
    SkipChars(TRidCharSet::Range('a', 'z') + TRidCharSet{'@'} + TRidCharSet::Range(0xE0, 0xEF));
  }
  static constexpr TScanTable<TTinyRid> kTable =
      SharedScanTable<TTinyRid>(TBlankRun::brTabStarts)
          .OnRange('a', 'z', &TTinyRid::WordProc)
          .On('{', &TTinyRid::BraceProc)
          .On("\"'`", &TTinyRid::StringProc)
          .On('[', &TTinyRid::ListProc)
          .On(kOperators.FirstBytes(), &TTinyRid::OperatorProc)
          .OnRange('0', '9', &TTinyRid::NumberProc)
          .On('@', &TTinyRid::AtNameProc);

 public:
  using TRidScanHighlighter::TQuoteEnd;
  TQuoteEnd LastQuoteEnd = TQuoteEnd::qeOpen;

 private:
  bool FInComment = false;
};

std::vector<std::pair<std::string, int>> Tiny(std::string_view Line, TRidRange Range = 0) {
  TTinyRid h(nullptr);
  std::vector<std::pair<std::string, int>> out;
  for (const auto& t : test::ScanCheckedLine(h, Line, Range, nullptr))
    out.emplace_back(t.Text, t.Kind);
  return out;
}

TEST(ScannerKit, SharedRulesForLineEndsBlanksAndUnknownBytes) {
  using V = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Tiny("do\r\nx\ry\n"), (V{{"do", TTinyRid::tkKey},
                                     {"\r\n", TTinyRid::tkSpace},
                                     {"x", TTinyRid::tkIdent},
                                     {"\r", TTinyRid::tkSpace},
                                     {"y", TTinyRid::tkIdent},
                                     {"\n", TTinyRid::tkSpace}}));
  // A TAB starts a blank run but never continues one.
  EXPECT_EQ(Tiny(" \t\x1F\x0B\t!"), (V{{" ", TTinyRid::tkSpace},
                                       {"\t\x1F\x0B", TTinyRid::tkSpace},
                                       {"\t", TTinyRid::tkSpace},
                                       {"!", TTinyRid::tkUnknown}}));
  // A lead byte takes its trail byte along, even when the trail looks like a brace.
  EXPECT_EQ(Tiny("\x83\x7B"
                 "a"),
            (V{{"\x83\x7B", TTinyRid::tkUnknown}, {"a", TTinyRid::tkIdent}}));
  // A lone lead byte at the end, or before a byte that cannot trail, stands alone.
  EXPECT_EQ(Tiny("a\x81"), (V{{"a", TTinyRid::tkIdent}, {"\x81", TTinyRid::tkUnknown}}));
  EXPECT_EQ(Tiny("\x81 "), (V{{"\x81", TTinyRid::tkUnknown}, {" ", TTinyRid::tkSpace}}));
}

// Runs by character: a trail byte that looks like a quote, backslash or closing bracket is
// part of its character (ソ 83 5C, ゾ 83 5D, マ 83 7D).
TEST(ScannerKit, RunsStepOverWholeCharacters) {
  using V = std::vector<std::pair<std::string, int>>;
  const std::string so = "\x83\x5C", zo = "\x83\x5D", ma = "\x83\x7D";
  const struct {
    std::string Line;
    TRidRange Range;
    V Tokens;
    TRidRange End;
  } cases[] = {
      {R"("a\"b" x)",
       0,
       {{R"("a\"b")", TTinyRid::tkString}, {" ", TTinyRid::tkSpace}, {"x", TTinyRid::tkIdent}},
       0},
      {R"("a\\"b)", 0, {{R"("a\\")", TTinyRid::tkString}, {"b", TTinyRid::tkIdent}}, 0},
      {"\"" + so + "\"x", 0, {{"\"" + so + "\"", TTinyRid::tkString}, {"x", TTinyRid::tkIdent}}, 0},
      {"'a\\'b", 0, {{"'a\\'", TTinyRid::tkString}, {"b", TTinyRid::tkIdent}}, 0},
      {"\"ab\\", 0, {{"\"ab\\", TTinyRid::tkString}}, 0},
      {"\"a\\\rb",
       0,
       {{"\"a\\", TTinyRid::tkString}, {"\r", TTinyRid::tkSpace}, {"b", TTinyRid::tkIdent}},
       0},
      {"{ " + ma + " }do",
       0,
       {{"{ " + ma + " }", TTinyRid::tkComment}, {"do", TTinyRid::tkKey}},
       0},
      {"{ " + ma, 0, {{"{ " + ma, TTinyRid::tkComment}}, 1},
      {ma + "}x", 1, {{ma + "}", TTinyRid::tkComment}, {"x", TTinyRid::tkIdent}}, 0},
      {"[" + zo + "]x", 0, {{"[" + zo + "]", TTinyRid::tkKey}, {"x", TTinyRid::tkIdent}}, 0},
      {"[a\x83", 0, {{"[a\x83", TTinyRid::tkKey}}, 0},
      // A doubled quote stays inside; a name takes each lead byte's trail along (ボ 83 7B would
      // stop a byte run).
      {"`a``b`x", 0, {{"`a``b`", TTinyRid::tkString}, {"x", TTinyRid::tkIdent}}, 0},
      {"``", 0, {{"``", TTinyRid::tkString}}, 0},
      {"`a``", 0, {{"`a``", TTinyRid::tkString}}, 0},
      {"@a\xE0\x7B\xE0\x40"
       "b c",
       0,
       {{"@a\xE0\x7B\xE0\x40"
         "b",
         TTinyRid::tkKey},
        {" ", TTinyRid::tkSpace},
        {"c", TTinyRid::tkIdent}},
       0},
      {"@" + so, 0, {{"@", TTinyRid::tkKey}, {so, TTinyRid::tkUnknown}}, 0},
  };
  for (const auto& c : cases) {
    TTinyRid h(nullptr);
    TRidRange end = 0;
    V got;
    for (const auto& t : test::ScanCheckedLine(h, c.Line, c.Range, &end))
      got.emplace_back(t.Text, t.Kind);
    EXPECT_EQ(got, c.Tokens) << test::Printable(c.Line);
    EXPECT_EQ(end, c.End) << test::Printable(c.Line);
  }
}

TEST(ScannerKit, OperatorsTakeTheLongestListedFormAndNumbersStopBeforeARange) {
  using V = std::vector<std::pair<std::string, int>>;
  const int op = TTinyRid::tkSymbol, num = TTinyRid::tkIdent;
  EXPECT_EQ(Tiny("<<=<<<=-->"),
            (V{{"<<=", op}, {"<<", op}, {"<", op}, {"=", op}, {"-", op}, {"->", op}}));
  EXPECT_EQ(Tiny("==="), (V{{"==", op}, {"=", op}}));
  EXPECT_EQ(Tiny("1.5..2."),
            (V{{"1.5", num}, {".", TTinyRid::tkUnknown}, {".", TTinyRid::tkUnknown}, {"2.", num}}));
}

// A quoted run says how it ended, so a language can carry a string over a backslash at the end
// of the line and only there.
TEST(ScannerKit, AQuotedRunTellsAClosingQuoteFromAnOpenEnd) {
  using E = TTinyRid::TQuoteEnd;
  const std::pair<std::string, E> cases[] = {
      {R"("ab")", E::qeClosed},
      {R"("ab)", E::qeOpen},
      {R"("ab\)", E::qeEscapedLineEnd},
      {R"("ab\\)", E::qeOpen},
      {R"("ab\\\)", E::qeEscapedLineEnd},
      {"\"a\\\\\r", E::qeOpen},
      {"\"\\\x83\\", E::qeOpen},  // the backslash escapes all of ソ (83 5C)
      {R"('a\)", E::qeOpen},
  };
  for (const auto& [line, end] : cases) {
    TTinyRid h(nullptr);
    h.SetLine(line, 0);
    EXPECT_EQ(h.LastQuoteEnd, end) << test::Printable(line);
  }
}

TEST(ScannerKit, AWordBeyondTheTableIsAnIdentifier) {
  // "end" is a keyword; a word whose byte sum passes the table size is never looked up.
  EXPECT_EQ(Tiny("end")[0].second, TTinyRid::tkKey);
  EXPECT_EQ(Tiny("endzzz")[0].second, TTinyRid::tkIdent);
}

TEST(ScannerKit, RangesCarryACommentAcrossLines) {
  using V = std::vector<std::pair<std::string, int>>;
  EXPECT_EQ(Tiny("x {a"),
            (V{{"x", TTinyRid::tkIdent}, {" ", TTinyRid::tkSpace}, {"{a", TTinyRid::tkComment}}));
  EXPECT_EQ(Tiny("a} do", 1),
            (V{{"a}", TTinyRid::tkComment}, {" ", TTinyRid::tkSpace}, {"do", TTinyRid::tkKey}}));
  TTinyRid h(nullptr);
  EXPECT_EQ(h.GetTokenAttribute(), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Tiny");
  EXPECT_EQ(h.GetDefaultAttribute(3), nullptr);
  EXPECT_EQ(h.GetDefaultAttribute(2)->GetName(), "Key");
}

TEST(ScannerKit, TheConformanceHarnessPassesARangedLanguage) {
  RID_NEED_TOOL("iconv", "libc-bin");
  auto make = [] { return std::make_unique<TTinyRid>(nullptr); };
  test::CheckConformance(make, test::RandomByteLines(3, 300, 40), {0, 1});
  test::CheckConformance(
      make,
      test::ShiftJisLines(
          5, 300, 16, {"{", "}", "do", "\r\n", "\"", "'", "\\", "[", "]", "\t", "`", "@", "<<"}),
      {0, 1});
}

// The plain getters name the attributes by their place, and the names are the keys the
// settings are stored under: every plain language lists them in the same order and style.
TEST(PlainScanHighlighter, EveryPlainLanguageKeepsThePlainAttributesInTheirPlaces) {
  struct TCase {
    std::unique_ptr<TRidPlainScanHighlighter> Highlighter;
    std::string_view Own;  // the attribute after the plain seven, if any
  };
  TCase cases[] = {{std::make_unique<TRidAsmRid>(nullptr), {}},
                   {std::make_unique<TRidFortranRid>(nullptr), {}},
                   {std::make_unique<TRidVBRid>(nullptr), {}},
                   {std::make_unique<TRidVBScriptRid>(nullptr), {}},
                   {std::make_unique<TRidGeneralRid>(nullptr), "Preprocessor"},
                   {std::make_unique<TRidPHPRid>(nullptr), "Variable"}};
  for (const TCase& c : cases) {
    const TRidPlainScanHighlighter& h = *c.Highlighter;
    SCOPED_TRACE(h.ClassName());
    const std::vector<std::pair<TRidHighlighterAttributes*, std::string_view>> expected = {
        {h.GetCommentAttri(), "Comment"},   {h.GetIdentifierAttri(), "Identifier"},
        {h.GetKeyAttri(), "Reserved Word"}, {h.GetNumberAttri(), "Number"},
        {h.GetSpaceAttri(), "Space"},       {h.GetStringAttri(), "String"},
        {h.GetSymbolAttri(), "Symbol"}};
    ASSERT_EQ(h.GetAttribCount(), static_cast<int32_t>(expected.size() + !c.Own.empty()));
    for (size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(expected[i].first->GetName(), expected[i].second);
      EXPECT_EQ(expected[i].first->GetStyle(), i == 0   ? TFontStyles{fsItalic}
                                               : i == 2 ? TFontStyles{fsBold}
                                                        : TFontStyles{});
      EXPECT_EQ(expected[i].first->GetForeground(), clNone);
    }
    std::set<std::string> names;
    for (int32_t i = 0; i < h.GetAttribCount(); ++i) names.insert(h.GetAttribute(i)->GetName());
    EXPECT_EQ(names.size(), static_cast<size_t>(h.GetAttribCount()));
    if (!c.Own.empty()) {
      EXPECT_TRUE(names.contains(std::string(c.Own)));
    }
  }
}

}  // namespace
}  // namespace rid
