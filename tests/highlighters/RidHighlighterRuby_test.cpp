#include "highlighters/RidHighlighterRuby.h"

#include <gtest/gtest.h>

#include <map>

#include "highlighters/keywords/RidHighlighterRubyKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using R = TRidRubyRid;
using test::TTokenCase;

test::THighlighterFactory RubyFactory() {
  return [] { return std::make_unique<TRidRubyRid>(nullptr); };
}

// 表 ends in a backslash; ゾ in "]".
const std::string kHyo = "\x95\x5C", kZo = "\x83\x5D";

const TTokenCase kCases[] = {
    {0,
     "def Def DEF",
     {{"def", R::tkKey},
      {" ", R::tkSpace},
      {"Def", R::tkKey},
      {" ", R::tkSpace},
      {"DEF", R::tkKey}},
     0},
    {0,
     "end_x self1",
     {{"end_x", R::tkIdentifier}, {" ", R::tkSpace}, {"self1", R::tkIdentifier}},
     0},
    // Comments run to the end of the line, interpolations included
    {0,
     "x # c \"#{y}\"",
     {{"x", R::tkIdentifier}, {" ", R::tkSpace}, {"# c \"#{y}\"", R::tkComment}},
     0},
    {0, "\"a#{b}\"", {{"\"a#{b}\"", R::tkString}}, 0},
    // Strings have no escapes and end on their line
    {0, "\"a\\\"b\"", {{"\"a\\\"", R::tkString}, {"b", R::tkIdentifier}, {"\"", R::tkString}}, 0},
    {0,
     "'" + kHyo + "' x",
     {{"'" + kHyo + "'", R::tkString}, {" ", R::tkSpace}, {"x", R::tkIdentifier}},
     0},
    {0, "\"\"\"a\"\"\"", {{"\"\"\"a\"", R::tkString}, {"\"\"", R::tkString}}, 0},
    {0, "'open", {{"'open", R::tkString}}, 0},
    // Numbers stop before a range
    {0,
     "1..2 1.5e3",
     {{"1", R::tkNumber},
      {".", R::tkUnknown},
      {".", R::tkUnknown},
      {"2", R::tkNumber},
      {" ", R::tkSpace},
      {"1.5e3", R::tkNumber}},
     0},
    // Five bytes are symbols, the rest of punctuation kind 9
    {0, "(x)", {{"(", R::tkSymbol}, {"x", R::tkIdentifier}, {")", R::tkUnknown}}, 0},
    {0,
     "/;<{}=",
     {{"/", R::tkSymbol},
      {";", R::tkSymbol},
      {"<", R::tkSymbol},
      {"{", R::tkSymbol},
      {"}", R::tkUnknown},
      {"=", R::tkUnknown}},
     0},
    {0, kZo + "a\x81", {{kZo, R::tkUnknown}, {"a", R::tkIdentifier}, {"\x81", R::tkUnknown}}, 0},
    // The range is kept, never changed
    {7, "x", {{"x", R::tkIdentifier}}, 7},
};

TEST(RubyHighlighter, ScansTheListedCases) { test::CheckTokenCases(RubyFactory(), kCases); }

TEST(RubyHighlighter, ReservedWordsAreFoundInAnyCase) {
  TRidRubyRid h(nullptr);
  EXPECT_EQ(std::size(keywords::RidHighlighterRuby::kReservedWords), 43u);
  for (std::string_view w : keywords::RidHighlighterRuby::kReservedWords) {
    std::string lower(w);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    EXPECT_TRUE(h.IsKeyword(std::string(w)) && h.IsKeyword(lower)) << w;
    const auto tokens = test::ScanCheckedLine(h, lower, 0, nullptr);
    EXPECT_TRUE(tokens.size() == 1 && tokens[0].Kind == R::tkKey) << w;
  }
  for (const char* w : {"", "_", "ALIASX", "ALIA", "A", "Z", "YIELDS", "end_"})
    EXPECT_FALSE(h.IsKeyword(w)) << w;
}

// The second list is upper-cased in the caller's list, searched in any case, and each setting
// repaints.
TEST(RubyHighlighter, SecondKeywordsComeFromTheUsersList) {
  TRidRubyRid h(nullptr);
  int changes = 0;
  h.HookAttrChangeEvent(TNotifyEvent([&](TObject* Sender) {
    EXPECT_EQ(Sender, &h);
    ++changes;
  }));
  TStringList list;
  for (const char* w : {"foo", "Bar_1", "foo", "_z", "A"}) list.Add(w);
  h.SetSecondKeyWords(&list);
  EXPECT_EQ(list.GetText(), "FOO\r\nBAR_1\r\nFOO\r\n_Z\r\nA\r\n");
  EXPECT_EQ(h.GetSecondKeyWords(), (std::vector<std::string>{"A", "BAR_1", "FOO", "_Z"}));
  EXPECT_EQ(changes, 1);
  const TTokenCase cases[] = {{0,
                               "Foo bar_1 _z a if fooo",
                               {{"Foo", R::tkSecondKey},
                                {" ", R::tkSpace},
                                {"bar_1", R::tkSecondKey},
                                {" ", R::tkSpace},
                                {"_z", R::tkSecondKey},
                                {" ", R::tkSpace},
                                {"a", R::tkSecondKey},
                                {" ", R::tkSpace},
                                {"if", R::tkKey},
                                {" ", R::tkSpace},
                                {"fooo", R::tkIdentifier}},
                               0}};
  test::CheckTokenCases(
      [&] {
        auto r = std::make_unique<TRidRubyRid>(nullptr);
        r->SetSecondKeyWords(&list);
        return r;
      },
      cases);
  h.SetSecondKeyWords(nullptr);
  EXPECT_TRUE(h.GetSecondKeyWords().empty());
  EXPECT_EQ(changes, 2);
}

TEST(RubyHighlighter, AttributesAndLanguageData) {
  TRidRubyRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 8);
  EXPECT_EQ(h.GetCommentAttri()->GetForeground(), TColor(0x000080));
  EXPECT_EQ(h.GetKeyAttri()->GetForeground(), TColor(0xFF0000));
  EXPECT_EQ(h.GetNumberAttri()->GetForeground(), TColor(0x008000));
  EXPECT_EQ(h.GetStringAttri()->GetForeground(), TColor(0x800080));
  EXPECT_EQ(h.GetSymbolAttri()->GetForeground(), TColor(0xFF0000));
  EXPECT_EQ(h.GetSecondKeyAttri()->GetName(), "Second Reserved Word");
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Ruby");
  EXPECT_EQ(h.GetDefaultFilter(), "Ruby Files (*.rb;*.rbw)|*.rb;*.rbw");
  EXPECT_FALSE(h.KeepsLineState());
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {R::tkComment, h.GetCommentAttri()}, {R::tkIdentifier, h.GetIdentifierAttri()},
      {R::tkKey, h.GetKeyAttri()},         {R::tkNumber, h.GetNumberAttri()},
      {R::tkSpace, h.GetSpaceAttri()},     {R::tkString, h.GetStringAttri()},
      {R::tkSymbol, h.GetSymbolAttri()},   {R::tkUnknown, h.GetSymbolAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource() + "\r\n# c\tx if 1 's' ( ) 1.5", byKind);
}

TEST(RubyHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(RubyFactory(), test::RandomByteLines(41, 500, 80), {0, 5});
}

TEST(RubyHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"#", "\"", "'",  "\"\"\"", "def", "1.", "..",
                                           "(", ")",  "\\", "\t",     "\r",  "\n"};
  test::CheckConformance(RubyFactory(), test::ShiftJisLines(43, 500, 24, pieces), {0, 5});
}

TEST(RubyHighlighter, InstalledRubyLibrariesScanCleanly) {
  test::CheckInstalledFiles(RubyFactory(),
                            test::InstalledFiles({"/usr/lib/ruby"}, {".rb"}, "ruby"));
}

}  // namespace
}  // namespace rid
