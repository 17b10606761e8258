#include "highlighters/RidHighlighterGeneral.h"

#include <gtest/gtest.h>

#include <map>

#include "platform/Registry.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using G = TRidGeneralRid;
using test::TTokenCase;

struct TSettings {
  TCommentStyles Comments;
  TStringDelim Delim = sdSingleQuote;
  bool Preprocessor = false;
};

test::THighlighterFactory GeneralFactory(TSettings S) {
  return [S] {
    auto h = std::make_unique<TRidGeneralRid>(nullptr);
    h->SetComments(S.Comments);
    h->SetStringDelim(S.Delim);
    h->SetDetectPreprocessor(S.Preprocessor);
    TStringList words;
    words.Add("begin");
    words.Add("END");
    h->SetKeyWords(&words);
    return h;
  };
}

// マ and ± end in "}", 表 in a backslash.
const std::string kMa = "\x83\x7D", kPm = "\x81\x7D", kHyo = "\x95\x5C";

const TCommentStyles kAll = {csAnsiStyle, csPasStyle, csCStyle, csAsmStyle, csBasStyle, csCPPStyle};

struct TGeneralCase {
  TSettings Settings;
  TTokenCase Case;
};

const TGeneralCase kCases[] = {
    // Without comment styles every opener is a symbol or an unknown byte
    {{},
     {4,
      "(* x *)",
      {{"(", G::tkSymbol},
       {"*", G::tkUnknown},
       {" ", G::tkSpace},
       {"x", G::tkIdentifier},
       {" ", G::tkSpace},
       {"*", G::tkUnknown},
       {")", G::tkUnknown}},
      4}},
    {{},
     {4,
      "{ x }",
      {{"{", G::tkSymbol},
       {" ", G::tkSpace},
       {"x", G::tkIdentifier},
       {" ", G::tkSpace},
       {"}", G::tkUnknown}},
      4}},
    {{},
     {4,
      "/* // ;",
      {{"/", G::tkSymbol},
       {"*", G::tkUnknown},
       {" ", G::tkSpace},
       {"/", G::tkSymbol},
       {"/", G::tkSymbol},
       {" ", G::tkSpace},
       {";", G::tkSymbol}},
      4}},
    // "(*" comments; "(*)" does not close; "(." is one symbol
    {{{csAnsiStyle}}, {4, "(*)", {{"(*)", G::tkComment}}, 1}},
    {{{csAnsiStyle}},
     {1, "a *) b", {{"a *)", G::tkComment}, {" ", G::tkSpace}, {"b", G::tkIdentifier}}, 4}},
    {{{csAnsiStyle}}, {1, "*)", {{"*)", G::tkComment}}, 4}},
    {{{csAnsiStyle}},
     {4, "(.(x", {{"(.", G::tkSymbol}, {"(", G::tkSymbol}, {"x", G::tkIdentifier}}, 4}},
    {{{csAnsiStyle}}, {1, "\r\n", {{"\r\n", G::tkSpace}}, 1}},
    // Braces: a trail byte "}" closes nothing, and the range goes on
    {{{csPasStyle}},
     {4, "{ x } y", {{"{ x }", G::tkComment}, {" ", G::tkSpace}, {"y", G::tkIdentifier}}, 4}},
    {{{csPasStyle}}, {4, "{ " + kMa + kPm + " }", {{"{ " + kMa + kPm + " }", G::tkComment}}, 4}},
    {{{csPasStyle}}, {4, "{ " + kMa, {{"{ " + kMa, G::tkComment}}, 2}},
    {{{csPasStyle}},
     {2, kMa + " } x", {{kMa + " }", G::tkComment}, {" ", G::tkSpace}, {"x", G::tkIdentifier}}, 4}},
    {{{csPasStyle}},
     {4, "{ a\rb", {{"{ a", G::tkComment}, {"\r", G::tkSpace}, {"b", G::tkComment}}, 2}},
    // A range left from before goes on whatever the styles are now
    {{}, {2, "x } y", {{"x }", G::tkComment}, {" ", G::tkSpace}, {"y", G::tkIdentifier}}, 4}},
    {{{csCStyle}}, {4, "/* x */y", {{"/* x */", G::tkComment}, {"y", G::tkIdentifier}}, 4}},
    {{{csCStyle}}, {4, "/*/", {{"/*/", G::tkComment}}, 3}},
    {{{csCStyle}}, {3, "*/x", {{"*/", G::tkComment}, {"x", G::tkIdentifier}}, 4}},
    {{{csCPPStyle}},
     {4, "a // c", {{"a", G::tkIdentifier}, {" ", G::tkSpace}, {"// c", G::tkComment}}, 4}},
    {{{csCPPStyle}},
     {4,
      "/* x",
      {{"/", G::tkSymbol}, {"*", G::tkUnknown}, {" ", G::tkSpace}, {"x", G::tkIdentifier}},
      4}},
    // ";" takes the rest of the line, line breaks too, and ends any range
    {{{csBasStyle}}, {4, "x; y\r\nz", {{"x", G::tkIdentifier}, {"; y\r\nz", G::tkComment}}, 4}},
    {{{csAsmStyle}}, {0, "; y", {{"; y", G::tkComment}}, 4}},
    // Strings: the chosen delimiter, no escapes, three in a row open one
    {{},
     {4,
      "'a''b' x",
      {{"'a'", G::tkString}, {"'b'", G::tkString}, {" ", G::tkSpace}, {"x", G::tkIdentifier}},
      4}},
    {{}, {4, "'''a'", {{"'''a'", G::tkString}}, 4}},
    {{}, {4, "'" + kHyo + "'x", {{"'" + kHyo + "'", G::tkString}, {"x", G::tkIdentifier}}, 4}},
    {{}, {4, "\"a\"", {{"\"", G::tkUnknown}, {"a", G::tkIdentifier}, {"\"", G::tkUnknown}}, 4}},
    {{{}, sdDoubleQuote},
     {4,
      "\"a\" 'b'",
      {{"\"a\"", G::tkString},
       {" ", G::tkSpace},
       {"'", G::tkUnknown},
       {"b", G::tkIdentifier},
       {"'", G::tkUnknown}},
      4}},
    // "#": character codes, or with the preprocessor a directive to the end of the line
    {{}, {4, "#13#10", {{"#13", G::tkString}, {"#10", G::tkString}}, 4}},
    {{{}, sdSingleQuote, true}, {4, "#13#10 x", {{"#13#10 x", G::tkPreprocessor}}, 4}},
    // Numbers
    {{},
     {4,
      "3.14e5 0x1F $1Fg",
      {{"3.14e5", G::tkNumber},
       {" ", G::tkSpace},
       {"0x1F", G::tkNumber},
       {" ", G::tkSpace},
       {"$1F", G::tkNumber},
       {"g", G::tkIdentifier}},
      4}},
    {{},
     {4,
      "1..5 12xAG",
      {{"1", G::tkNumber},
       {".", G::tkUnknown},
       {".", G::tkUnknown},
       {"5", G::tkNumber},
       {" ", G::tkSpace},
       {"12xA", G::tkNumber},
       {"G", G::tkIdentifier}},
      4}},
    // The user's keywords in any case
    {{},
     {4,
      "Begin end BEGINS _x1",
      {{"Begin", G::tkKey},
       {" ", G::tkSpace},
       {"end", G::tkKey},
       {" ", G::tkSpace},
       {"BEGINS", G::tkIdentifier},
       {" ", G::tkSpace},
       {"_x1", G::tkIdentifier}},
      4}},
    {{kAll},
     {4, kHyo + "!\x81", {{kHyo, G::tkUnknown}, {"!", G::tkUnknown}, {"\x81", G::tkUnknown}}, 4}},
};

TEST(GeneralHighlighter, ScansTheListedCases) {
  for (const TGeneralCase& c : kCases)
    test::CheckTokenCases(GeneralFactory(c.Settings), {&c.Case, 1});
}

// The caller's list is upper-cased in place; words match in any case; each setting repaints.
TEST(GeneralHighlighter, KeyWordsAreTheUsersListUpperCased) {
  TRidGeneralRid h(nullptr);
  int changes = 0;
  TObject* sender = &h;
  h.HookAttrChangeEvent(TNotifyEvent([&](TObject* Sender) {
    sender = Sender;
    ++changes;
  }));
  TStringList words;
  for (const char* w : {"begin", "END", "begin", "x_1"}) words.Add(w);
  h.SetKeyWords(&words);
  EXPECT_EQ(words.GetText(), "BEGIN\r\nEND\r\nBEGIN\r\nX_1\r\n");
  EXPECT_EQ(h.GetKeyWords()->GetText(), "BEGIN\r\nEND\r\nX_1\r\n");
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(sender, nullptr);
  for (const char* w : {"Begin", "BEGIN", "end", "x_1", "X_1"}) EXPECT_TRUE(h.IsKeyword(w)) << w;
  for (const char* w : {"", "beg", "BEGINS", "x"}) EXPECT_FALSE(h.IsKeyword(w)) << w;
  h.SetKeyWords(nullptr);
  EXPECT_FALSE(h.IsKeyword("begin"));
  EXPECT_EQ(changes, 2);

  // Comments and the preprocessor repaint with the highlighter as sender; the delimiter does not.
  h.SetComments({csCStyle});
  h.SetComments({csCStyle});
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(sender, &h);
  h.SetDetectPreprocessor(true);
  EXPECT_EQ(changes, 4);
  h.SetStringDelim(sdDoubleQuote);
  EXPECT_EQ(h.GetStringDelim(), sdDoubleQuote);
  EXPECT_EQ(changes, 4);
}

// The list goes to the registry as one CR LF text and comes back as it was stored.
TEST(GeneralHighlighter, KeyWordsRoundTripThroughTheRegistry) {
  test::TTestRegistry registry;
  const std::string key = "\\Software\\rideder\\General";
  {
    TRidGeneralRid h(nullptr);
    TStringList words;
    for (const char* w : {"zeta", "Alpha"}) words.Add(w);
    h.SetKeyWords(&words);
    h.GetKeyAttri()->SetForeground(clMaroon);
    ASSERT_TRUE(h.SaveToRegistry(HKEY_CURRENT_USER, key));
  }
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly(key));
  EXPECT_EQ(reg.ReadString("KeyWords"), "ALPHA\r\nZETA\r\n");
  reg.CloseKey();

  TRidGeneralRid loaded(nullptr);
  ASSERT_TRUE(loaded.LoadFromRegistry(HKEY_CURRENT_USER, key));
  EXPECT_EQ(loaded.GetKeyWords()->GetText(), "ALPHA\r\nZETA\r\n");
  EXPECT_EQ(loaded.GetKeyAttri()->GetForeground(), clMaroon);

  // A stored list is taken as it is, and still matched in any case.
  ASSERT_TRUE(reg.OpenKey(key, false));
  reg.WriteString("KeyWords", "one\r\nTwo");
  reg.CloseKey();
  ASSERT_TRUE(loaded.LoadFromRegistry(HKEY_CURRENT_USER, key));
  EXPECT_EQ(loaded.GetKeyWords()->GetText(), "one\r\nTwo\r\n");
  EXPECT_TRUE(loaded.IsKeyword("ONE") && loaded.IsKeyword("two"));
  EXPECT_FALSE(loaded.LoadFromRegistry(HKEY_CURRENT_USER, "\\Software\\rideder\\Missing"));
}

TEST(GeneralHighlighter, IdentifierCharsAreTheWordCharactersOnly) {
  TRidGeneralRid h(nullptr);
  EXPECT_EQ(h.GetIdentChars(), TRidCharSet::Range(33, 255));
  EXPECT_EQ(h.GetIdentifierChars().size(), 223u);
  const TRidCharSet breaks = h.GetWordBreakChars();
  ASSERT_TRUE(breaks.Contains('(') && breaks.Contains('!'));
  h.SetIdentifierChars("abc!(");
  EXPECT_EQ(h.GetIdentChars(), TRidCharSet::Of("abc!("));
  EXPECT_EQ(h.GetIdentifierChars(), "!(abc");
  EXPECT_EQ(h.GetWordBreakChars(), breaks - TRidCharSet::Of("!("));
  // The scanner's identifiers stay letters, digits and "_".
  const TTokenCase cases[] = {{4, "dz!", {{"dz", G::tkIdentifier}, {"!", G::tkUnknown}}, 4}};
  test::CheckTokenCases(
      [] {
        auto g = std::make_unique<TRidGeneralRid>(nullptr);
        g->SetIdentifierChars("abc!(");
        return g;
      },
      cases);
  std::string every(256, '\0');
  for (int b = 0; b < 256; ++b) every[b] = static_cast<char>(b);
  h.SetIdentifierChars(every);
  EXPECT_EQ(h.GetIdentifierChars(), every.substr(0, 255));
}

TEST(GeneralHighlighter, AttributesAndLanguageData) {
  TRidGeneralRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 8);
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetPreprocessorAttri()->GetName(), "Preprocessor");
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetDefaultAttribute(5), h.GetSymbolAttri());
  EXPECT_EQ(h.GetLanguageName(), "General");
  EXPECT_EQ(h.GetDefaultFilter(), "");
  EXPECT_TRUE(h.IsFilterStored());
  EXPECT_EQ(h.GetSampleSource(), "");
  EXPECT_TRUE(h.GetComments().Empty());
  EXPECT_EQ(h.GetStringDelim(), sdSingleQuote);
  EXPECT_FALSE(h.GetDetectPreprocessor());
  h.ResetRange();
  EXPECT_EQ(h.GetRange(), G::rsUnknown);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {G::tkComment, h.GetCommentAttri()},
      {G::tkIdentifier, h.GetIdentifierAttri()},
      {G::tkKey, h.GetKeyAttri()},
      {G::tkNumber, h.GetNumberAttri()},
      {G::tkPreprocessor, h.GetPreprocessorAttri()},
      {G::tkSpace, h.GetSpaceAttri()},
      {G::tkString, h.GetStringAttri()},
      {G::tkSymbol, h.GetSymbolAttri()},
      {G::tkUnknown, h.GetSymbolAttri()}};
  TStringList words;
  words.Add("key");
  h.SetKeyWords(&words);
  h.SetComments(kAll);
  h.SetDetectPreprocessor(true);
  test::CheckAttributesByKind(h, "#define\nkey x 'a' 1 ( ) { c }", byKind);
}

// Every set of comment styles with either delimiter, from every range and one outside them.
TEST(GeneralHighlighter, EverySettingKeepsTheScannerRules) {
  const std::vector<std::string> pieces = {"(*", "*)", "(", "{", "}",  "/*", "*/", "//", ";",
                                           "'",  "\"", "#", "$", "1.", "0x", "\r", "\n"};
  const auto random = test::RandomByteLines(97, 40, 60);
  const auto sjis = test::ShiftJisLines(101, 40, 16, pieces);
  for (uint32_t bits = 0; bits < 64; ++bits) {
    for (TStringDelim delim : {sdSingleQuote, sdDoubleQuote}) {
      const auto make = GeneralFactory({TCommentStyles::FromBits(bits), delim, bits % 3 == 0});
      test::CheckConformance(make, random, {1, 2, 3, 4, 0});
      test::CheckConformance(make, sjis, {1, 2, 3, 4, 0});
      if (::testing::Test::HasFailure()) {
        ADD_FAILURE() << "comment styles " << bits << ", delimiter " << int(delim);
        return;
      }
    }
  }
}

// Text files of the installed packages' documentation, with every comment style.
TEST(GeneralHighlighter, InstalledTextFilesScanCleanly) {
  const auto files = test::InstalledFiles({"/usr/share/doc"}, {".txt"}, "dpkg");
  test::CheckInstalledFiles(GeneralFactory({kAll}), test::SampledFiles(files, 10));
}

}  // namespace
}  // namespace rid
