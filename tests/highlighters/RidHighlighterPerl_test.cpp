#include "highlighters/RidHighlighterPerl.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <set>

#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using P = TRidPerlRid;
using test::TScannedToken;

struct TExpect {
  std::string Text;
  int32_t Kind;
  bool operator==(const TExpect&) const = default;
};

std::vector<TExpect> Scan(std::string_view Line) {
  TRidPerlRid h(nullptr);
  std::vector<TExpect> out;
  for (const TScannedToken& t : test::ScanCheckedLine(h, Line, 0, nullptr))
    out.push_back({t.Text, t.Kind});
  return out;
}

std::ostream& operator<<(std::ostream& o, const TExpect& e) {
  return o << "{\"" << test::Printable(e.Text) << "\", " << e.Kind << "}";
}

// Shift-JIS bytes of characters used below.
const std::string kHyo = "\x95\x5C";  // a kanji whose trail byte is a backslash
const std::string kSo = "\x83\x5C";   // a katakana, the same

struct TCase {
  std::string Line;
  std::vector<TExpect> Tokens;
};

const TCase kCases[] = {
    // Variables
    {"$foo", {{"$foo", P::tkIdentifier}}},
    {"$ENV", {{"$ENV", P::tkVariable}}},
    {"$_", {{"$_", P::tkVariable}}},
    {"$10", {{"$1", P::tkVariable}, {"0", P::tkNumber}}},
    {"$^W", {{"$^W", P::tkVariable}}},
    {"$^", {{"$^", P::tkVariable}}},
    {"$^Z", {{"$", P::tkIdentifier}, {"^", P::tkSymbol}, {"Z", P::tkIdentifier}}},
    {"$,", {{"$", P::tkIdentifier}, {",", P::tkSymbol}}},
    {"%ENV %INC @ARGV @x",
     {{"%ENV", P::tkIdentifier},
      {" ", P::tkSpace},
      {"%INC", P::tkVariable},
      {" ", P::tkSpace},
      {"@ARGV", P::tkVariable},
      {" ", P::tkSpace},
      {"@x", P::tkIdentifier}}},
    {"$FORMAT_LINE_BREAK_CHARACTERS", {{"$FORMAT_LINE_BREAK_CHARACTERS", P::tkVariable}}},
    // % and x as operators
    {"%=", {{"%=", P::tkSymbol}}},
    {"%", {{"%", P::tkSymbol}}},
    {"x= x", {{"x=", P::tkSymbol}, {" ", P::tkSpace}, {"x", P::tkSymbol}}},
    {"xor x1", {{"xor", P::tkOperator}, {" ", P::tkSpace}, {"x1", P::tkIdentifier}}},
    // Keywords are case-sensitive; each list has its kind
    {"Print print", {{"Print", P::tkIdentifier}, {" ", P::tkSpace}, {"print", P::tkKey}}},
    {"use strict", {{"use", P::tkKey}, {" ", P::tkSpace}, {"strict", P::tkPragma}}},
    {"chop redo send $ERRNO",
     {{"chop", P::tkKey},
      {" ", P::tkSpace},
      {"redo", P::tkKey},
      {" ", P::tkSpace},
      {"send", P::tkKey},
      {" ", P::tkSpace},
      {"$ERRNO", P::tkVariable}}},
    {"a eq b",
     {{"a", P::tkIdentifier},
      {" ", P::tkSpace},
      {"eq", P::tkOperator},
      {" ", P::tkSpace},
      {"b", P::tkIdentifier}}},
    // Numbers
    {"1..10", {{"1", P::tkNumber}, {"..", P::tkSymbol}, {"10", P::tkNumber}}},
    {"1e-5", {{"1e", P::tkNumber}, {"-", P::tkSymbol}, {"5", P::tkNumber}}},
    {"1-e5", {{"1-e5", P::tkNumber}}},
    {"1-2", {{"1", P::tkNumber}, {"-", P::tkSymbol}, {"2", P::tkNumber}}},
    {"0x1F 1.5", {{"0x1F", P::tkNumber}, {" ", P::tkSpace}, {"1.5", P::tkNumber}}},
    {"$a.$b .= ... .x",
     {{"$a", P::tkIdentifier},
      {".", P::tkNumber},
      {"$b", P::tkIdentifier},
      {" ", P::tkSpace},
      {".=", P::tkSymbol},
      {" ", P::tkSpace},
      {"...", P::tkSymbol},
      {" ", P::tkSpace},
      {".", P::tkSymbol},
      {"x", P::tkSymbol}}},
    // Operator symbols: the longest form wins
    {"&&=<=>**=->=~!~||=<<=::",
     {{"&&=", P::tkSymbol},
      {"<=>", P::tkSymbol},
      {"**=", P::tkSymbol},
      {"->", P::tkSymbol},
      {"=~", P::tkSymbol},
      {"!~", P::tkSymbol},
      {"||=", P::tkSymbol},
      {"<<=", P::tkSymbol},
      {"::", P::tkSymbol}}},
    {"(){}[];\\",
     {{"(", P::tkSymbol},
      {")", P::tkSymbol},
      {"{", P::tkSymbol},
      {"}", P::tkSymbol},
      {"[", P::tkSymbol},
      {"]", P::tkSymbol},
      {";", P::tkSymbol},
      {"\\", P::tkSymbol}}},
    // Strings
    {R"("a\"b";)", {{R"("a\"b")", P::tkString}, {";", P::tkSymbol}}},
    {R"("a\\";)", {{R"("a\\")", P::tkString}, {";", P::tkSymbol}}},
    {R"("a\\\"b")", {{R"("a\\\"b")", P::tkString}}},
    {R"("open)", {{R"("open)", P::tkString}}},
    {"\"\";", {{"\"\"", P::tkString}, {";", P::tkSymbol}}},
    {"'a\\'b'", {{"'a\\'", P::tkString}, {"b", P::tkIdentifier}, {"'", P::tkString}}},
    {"\"ab\r\n", {{"\"ab\r", P::tkString}, {"\n", P::tkSpace}}},
    // Comments and white space
    {"$x # note\r\n",
     {{"$x", P::tkIdentifier}, {" ", P::tkSpace}, {"# note", P::tkComment}, {"\r\n", P::tkSpace}}},
    {"\t \x01x", {{"\t \x01", P::tkSpace}, {"x", P::tkSymbol}}},
    {"`", {{"`", P::tkUnknown}}},
    // Shift-JIS: outside strings a character is one token; in strings perl's byte reading
    {kHyo + "x", {{kHyo, P::tkUnknown}, {"x", P::tkSymbol}}},
    {"\xB1" + kSo, {{"\xB1", P::tkUnknown}, {kSo, P::tkUnknown}}},
    {"\"" + kHyo + "\";", {{"\"" + kHyo + "\";", P::tkString}}},
    {"\"" + kHyo + "\\\";", {{"\"" + kHyo + "\\\"", P::tkString}, {";", P::tkSymbol}}},
    {"'" + kSo + "';", {{"'" + kSo + "'", P::tkString}, {";", P::tkSymbol}}},
    {"x\x81", {{"x", P::tkIdentifier}, {"\x81", P::tkUnknown}}},
    // A NUL inside the line is a character; the line ends at its length
    {std::string("a\0b", 3),
     {{"a", P::tkIdentifier}, {std::string(1, '\0'), P::tkUnknown}, {"b", P::tkIdentifier}}},
};

TEST(PerlHighlighter, ScansTheListedCases) {
  for (const TCase& c : kCases)
    EXPECT_EQ(Scan(c.Line), c.Tokens) << "line \"" << test::Printable(c.Line) << "\"";
}

TEST(PerlHighlighter, EmptyLineGivesNoToken) {
  TRidPerlRid h(nullptr);
  h.SetLine("", 0);
  EXPECT_TRUE(h.GetEol());
  EXPECT_EQ(h.GetTokenKind(), P::tkNull);
  EXPECT_EQ(h.GetTokenAttribute(), nullptr);
}

TEST(PerlHighlighter, EveryListedWordHasItsKind) {
  const std::pair<const char*, int32_t> lists[] = {
      {"abs atan2 getprotobynumber m q qq qw qx tr y write wantarray", P::tkKey},
      {"and cmp eq ge gt le lt ne not or xor", P::tkOperator},
      {"constant diagnostics integer less locale sigtrap strict subs vars", P::tkPragma},
      {"$ACCUMULATOR $ARG $SIG $UID $WARNING %INC @ARGV @INC", P::tkVariable}};
  for (const auto& [words, kind] : lists) {
    for (const TExpect& t : Scan(words)) {
      if (t.Kind == P::tkSpace) continue;
      // y is not a keyword of the list: it stays an identifier
      EXPECT_EQ(t.Kind, t.Text == "y" ? P::tkIdentifier : kind) << t.Text;
    }
  }
}

TEST(PerlHighlighter, KeywordTableHasTheListsShape) {
  const TRidKeywordTable& t = TRidPerlRid::KeywordTable();
  EXPECT_EQ(t.TableSize(), 2168);
  EXPECT_EQ(t.LargestHash(), 2167u);
  EXPECT_EQ(t.LargestSlot(), 4);
}

// A word long enough that a 32-bit signed sum of its bytes would turn negative.
TEST(PerlHighlighter, AHugeWordIsOneIdentifier) {
  const std::string word(17'700'000, 'z');
  TRidPerlRid h(nullptr);
  h.SetLine(word, 0);
  EXPECT_EQ(h.GetTokenKind(), P::tkIdentifier);
  EXPECT_EQ(h.GetTokenView().size(), word.size());
  h.Next();
  EXPECT_TRUE(h.GetEol());
}

TEST(PerlHighlighter, AttributesAndLanguageData) {
  TRidPerlRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 11);
  // The list is in name order, which exporters and the registry see.
  std::vector<std::string> names;
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) names.push_back(h.GetAttribute(i)->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"Comment", "Identifier", "Illegal Char", "Number",
                                             "Operator", "Pragma", "Reserved Word", "Space",
                                             "String", "Symbol", "Variable"}));
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetPragmaAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetVariableAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetSpaceAttri()->GetForeground(), clWindow);
  EXPECT_EQ(h.GetSpaceAttri()->GetBackground(), clNone);
  EXPECT_EQ(h.GetIdentifierAttri()->GetStyle(), TFontStyles{});
  EXPECT_FALSE(h.GetSpaceAttri()->IsForegroundStored());

  TRidHighlighterAttributes* defaults[] = {h.GetCommentAttri(), h.GetIdentifierAttri(),
                                           h.GetKeyAttri(),     h.GetStringAttri(),
                                           h.GetSpaceAttri(),   h.GetSymbolAttri()};
  for (int i = 0; i < 6; ++i) EXPECT_EQ(h.GetDefaultAttribute(i), defaults[i]) << i;
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetDefaultAttribute(-1), nullptr);

  EXPECT_EQ(h.GetLanguageName(), "Perl");
  EXPECT_EQ(h.ClassName(), "TRidPerlRid");
  EXPECT_EQ(h.GetDefaultFilter(), "Perl Files (*.pl;*.pm;*.cgi)|*.pl;*.pm;*.cgi");
  EXPECT_FALSE(h.IsFilterStored());
  h.SetDefaultFilter("Perl (*.pl)|*.pl");
  EXPECT_TRUE(h.IsFilterStored());

  const TRidCharSet ident = h.GetIdentChars();
  for (int b : std::initializer_list<int>{'$', '%', '@', '0', 'Z', '_', 'a', 0xC0, 0xFF})
    EXPECT_TRUE(ident.Contains(uint8_t(b))) << b;
  for (int b : std::initializer_list<int>{'#', '-', 0xBF, 0xD7, 0xF7})
    EXPECT_FALSE(ident.Contains(uint8_t(b))) << b;
}

TEST(PerlHighlighter, TokenAttributeFollowsTheKind) {
  TRidPerlRid h(nullptr);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {P::tkComment, h.GetCommentAttri()},   {P::tkIdentifier, h.GetIdentifierAttri()},
      {P::tkKey, h.GetKeyAttri()},           {P::tkNumber, h.GetNumberAttri()},
      {P::tkOperator, h.GetOperatorAttri()}, {P::tkPragma, h.GetPragmaAttri()},
      {P::tkSpace, h.GetSpaceAttri()},       {P::tkString, h.GetStringAttri()},
      {P::tkSymbol, h.GetSymbolAttri()},     {P::tkUnknown, h.GetInvalidAttri()},
      {P::tkVariable, h.GetVariableAttri()}};
  const std::string line = "# c\n$x print 'a' 1 eq strict ; ` $ENV";
  std::set<int32_t> seen;
  h.SetLine(line, 0);
  for (; !h.GetEol(); h.Next()) {
    seen.insert(h.GetTokenKind());
    EXPECT_EQ(h.GetTokenAttribute(), byKind.at(h.GetTokenKind())) << h.GetToken();
  }
  EXPECT_EQ(seen.size(), byKind.size());
}

TEST(PerlHighlighter, SampleSourceIsTenCrLfLines) {
  TRidPerlRid h(nullptr);
  const std::string s = h.GetSampleSource();
  size_t crlf = 0;
  for (size_t i = s.find("\r\n"); i != std::string::npos; i = s.find("\r\n", i + 2)) ++crlf;
  EXPECT_EQ(crlf, 10u);
  EXPECT_EQ(s.rfind("\r\n"), s.size() - 2);
  EXPECT_NE(s.find("sigtrap"), std::string::npos);
  EXPECT_EQ(s.rfind("#!/bin/perl", 0), 0u);
}

TEST(PerlHighlighter, RegistersItsClassOnce) {
  TRidHighlighterList& list = GetPlaceableHighlighters();
  const int32_t i = list.IndexOf(&TRidPerlRid::Class());
  ASSERT_GE(i, 0);
  EXPECT_EQ(RegisterHighlighterClass(TRidPerlRid::Class()), i);
  std::unique_ptr<TRidCustomHighlighter> made(list[i]->Create(nullptr));
  EXPECT_EQ(made->ClassName(), "TRidPerlRid");
  EXPECT_EQ(list[i]->LanguageName, "Perl");
}

test::THighlighterFactory PerlFactory() {
  return [] { return std::make_unique<TRidPerlRid>(nullptr); };
}

TEST(PerlHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(PerlFactory(), test::RandomByteLines(7, 600, 80), {0});
}

TEST(PerlHighlighter, ShiftJisLinesKeepTheScannerRules) {
  RID_NEED_TOOL("iconv", "libc-bin");
  const std::vector<std::string> pieces = {"\"", "'",  "\\", "\\\"",  "#",    "$",  "$^", "%",
                                           "x",  "x=", ".",  "..",    "1e",   "-",  "0x", "@",
                                           "\r", "\n", "\t", "print", "$ENV", "=~", "&&="};
  test::CheckConformance(PerlFactory(), test::ShiftJisLines(11, 600, 24, pieces), {0});
}

// Every installed Perl module scans under the same rules, in order and out of order.
TEST(PerlHighlighter, InstalledPerlModulesScanCleanly) {
  test::CheckInstalledFiles(
      PerlFactory(),
      test::InstalledFiles({"/usr/share/perl", "/usr/lib/x86_64-linux-gnu/perl"}, {".pm"}, "perl"));
}

}  // namespace
}  // namespace rid
