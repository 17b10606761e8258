#include "highlighters/RidHighlighterPas.h"

#include <gtest/gtest.h>

#include <map>

#include "editor/RidEder.h"
#include "highlighters/keywords/RidHighlighterPasKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using P = TRidPasRid;
using test::TTokenCase;

test::THighlighterFactory PasFactory(TDelphiVersion AVersion = dvDelphi2005, bool APackage = true) {
  return [=] {
    auto h = std::make_unique<TRidPasRid>(nullptr);
    h->SetDelphiVersion(AVersion);
    h->SetPackageSource(APackage);
    return h;
  };
}

// マ ends in "}"; ソ in a backslash.
const std::string kMa = "\x83\x7D", kSo = "\x83\x5C";

struct TPasCase {
  TDelphiVersion Version;
  bool Package;
  TTokenCase Case;
};

const TPasCase kCases[] = {
    // Version and package gates
    {dvDelphi1,
     false,
     {10,
      "a//b stdcall",
      {{"a", P::tkIdentifier},
       {"/", P::tkSymbol},
       {"/", P::tkSymbol},
       {"b", P::tkIdentifier},
       {" ", P::tkSpace},
       {"stdcall", P::tkIdentifier}},
      10}},
    {dvDelphi2,
     false,
     {10, "stdcall // c", {{"stdcall", P::tkKey}, {" ", P::tkSpace}, {"// c", P::tkComment}}, 10}},
    {dvDelphi7,
     true,
     {10,
      "Sealed deprecated contains",
      {{"Sealed", P::tkIdentifier},
       {" ", P::tkSpace},
       {"deprecated", P::tkKey},
       {" ", P::tkSpace},
       {"contains", P::tkKey}},
      10}},
    {dvDelphi2005,
     false,
     {10,
      "sealed requires",
      {{"sealed", P::tkKey}, {" ", P::tkSpace}, {"requires", P::tkIdentifier}},
      10}},
    // Property and exports declarations make their words reserved until ";" or end
    {dvDelphi2005,
     true,
     {10,
      "property X: Integer read FX write FX;",
      {{"property", P::tkKey},
       {" ", P::tkSpace},
       {"X", P::tkIdentifier},
       {":", P::tkSymbol},
       {" ", P::tkSpace},
       {"Integer", P::tkIdentifier},
       {" ", P::tkSpace},
       {"read", P::tkKey},
       {" ", P::tkSpace},
       {"FX", P::tkIdentifier},
       {" ", P::tkSpace},
       {"write", P::tkKey},
       {" ", P::tkSpace},
       {"FX", P::tkIdentifier},
       {";", P::tkSymbol}},
      10}},
    {dvDelphi2005,
     true,
     {10,
      "read index name",
      {{"read", P::tkIdentifier},
       {" ", P::tkSpace},
       {"index", P::tkIdentifier},
       {" ", P::tkSpace},
       {"name", P::tkIdentifier}},
      10}},
    {dvDelphi3,
     true,
     {P::rsProperty,
      "implements readonly index name",
      {{"implements", P::tkIdentifier},
       {" ", P::tkSpace},
       {"readonly", P::tkKey},
       {" ", P::tkSpace},
       {"index", P::tkKey},
       {" ", P::tkSpace},
       {"name", P::tkIdentifier}},
      P::rsProperty}},
    {dvDelphi2005,
     true,
     {10,
      "exports F index 1 name 'f' end",
      {{"exports", P::tkKey},
       {" ", P::tkSpace},
       {"F", P::tkIdentifier},
       {" ", P::tkSpace},
       {"index", P::tkKey},
       {" ", P::tkSpace},
       {"1", P::tkNumber},
       {" ", P::tkSpace},
       {"name", P::tkKey},
       {" ", P::tkSpace},
       {"'f'", P::tkString},
       {" ", P::tkSpace},
       {"end", P::tkKey}},
      10}},
    {dvDelphi2005,
     true,
     {P::rsProperty,
      "{ c } read",
      {{"{ c }", P::tkComment}, {" ", P::tkSpace}, {"read", P::tkIdentifier}},
      10}},
    // asm blocks: all but comments, directives and space are assembler; "end" closes
    {dvDelphi2005,
     true,
     {10,
      "asm mov AX, 1 { c } end;",
      {{"asm", P::tkKey},
       {" ", P::tkSpace},
       {"mov", P::tkAsm},
       {" ", P::tkSpace},
       {"AX", P::tkAsm},
       {",", P::tkAsm},
       {" ", P::tkSpace},
       {"1", P::tkAsm},
       {" ", P::tkSpace},
       {"{ c }", P::tkComment},
       {" ", P::tkSpace},
       {"end", P::tkKey},
       {";", P::tkSymbol}},
      10}},
    {dvDelphi2005, true, {P::rsAsm, "(* a", {{"(* a", P::tkComment}}, P::rsAnsiAsm}},
    {dvDelphi2005,
     true,
     {P::rsAnsiAsm,
      "*) {$R+} x",
      {{"*)", P::tkComment},
       {" ", P::tkSpace},
       {"{$R+}", P::tkDirec},
       {" ", P::tkSpace},
       {"x", P::tkAsm}},
      P::rsAsm}},
    {dvDelphi2005, true, {P::rsAsm, "{ a", {{"{ a", P::tkComment}}, P::rsBorAsm}},
    // Comments and directives over lines, by character
    {dvDelphi2005, true, {10, "{ a", {{"{ a", P::tkComment}}, P::rsBor}},
    {dvDelphi2005,
     true,
     {P::rsBor, "b } x", {{"b }", P::tkComment}, {" ", P::tkSpace}, {"x", P::tkIdentifier}}, 10}},
    {dvDelphi2005, true, {10, "{$R+", {{"{$R+", P::tkDirec}}, P::rsDirective}},
    {dvDelphi2005, true, {P::rsDirective, "x}", {{"x}", P::tkDirec}}, 10}},
    {dvDelphi2005,
     true,
     {10,
      "{ " + kMa + "} x",
      {{"{ " + kMa + "}", P::tkComment}, {" ", P::tkSpace}, {"x", P::tkIdentifier}},
      10}},
    {dvDelphi2005, true, {10, "(*)", {{"(*)", P::tkComment}}, P::rsAnsi}},
    {dvDelphi2005, true, {P::rsAnsi, "*)(.", {{"*)", P::tkComment}, {"(.", P::tkSymbol}}, 10}},
    // Numbers
    {dvDelphi2005,
     true,
     {10,
      "1..2 1.5e+3 1+2",
      {{"1", P::tkNumber},
       {"..", P::tkSymbol},
       {"2", P::tkNumber},
       {" ", P::tkSpace},
       {"1.5e+3", P::tkFloat},
       {" ", P::tkSpace},
       {"1", P::tkNumber},
       {"+", P::tkSymbol},
       {"2", P::tkNumber}},
      10}},
    {dvDelphi2005,
     true,
     {10,
      "#32 #$1F $5E 'it''s'",
      {{"#32", P::tkChar},
       {" ", P::tkSpace},
       {"#$1F", P::tkChar},
       {" ", P::tkSpace},
       {"$5E", P::tkHex},
       {" ", P::tkSpace},
       {"'it''s'", P::tkString}},
      10}},
    {dvDelphi2005,
     true,
     {10,
      "'" + kSo + "' 'open",
      {{"'" + kSo + "'", P::tkString}, {" ", P::tkSpace}, {"'open", P::tkString}},
      10}},
    // Keywords in any case, but not with a digit or "_" right after the letters
    {dvDelphi2005,
     true,
     {10,
      "If1 IF if_ BEGIN",
      {{"If1", P::tkIdentifier},
       {" ", P::tkSpace},
       {"IF", P::tkKey},
       {" ", P::tkSpace},
       {"if_", P::tkIdentifier},
       {" ", P::tkSpace},
       {"BEGIN", P::tkKey}},
      10}},
    // Symbols and unknown bytes
    {dvDelphi2005,
     true,
     {10,
      ":=<>@@.)|" + kSo,
      {{":=", P::tkSymbol},
       {"<>", P::tkSymbol},
       {"@@", P::tkSymbol},
       {".)", P::tkSymbol},
       {"|", P::tkUnknown},
       {kSo, P::tkUnknown}},
      10}},
    {dvDelphi2005, true, {0, "x", {{"x", P::tkIdentifier}}, 0}},
};

TEST(PasHighlighter, ScansTheListedCases) {
  for (const TPasCase& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Version));
    test::CheckTokenCases(PasFactory(c.Version, c.Package), {&c.Case, 1});
  }
}

// 81 words without a condition and 30 with one, each reserved where its condition holds.
TEST(PasHighlighter, KeywordsHaveTheirCountsTableShapeAndConditions) {
  const TRidKeywordTable& t = TRidPasRid::KeywordTable();
  EXPECT_EQ(t.TableSize(), 192);
  EXPECT_EQ(t.LargestHash() + 1, uint64_t(t.TableSize()));
  std::map<TRidRange, std::vector<TRidKeyword>> byRange;
  size_t plain = 0, conditional = 0;
  for (const TRidKeyword& k : keywords::RidHighlighterPas::kKeywords) {
    (k.Kind <= P::wcExports ? plain : conditional) += 1;
    const TRidRange range = k.Kind == P::wcExportsSpec    ? P::rsExports
                            : k.Kind >= P::wcPropertySpec ? P::rsProperty
                                                          : 10;
    byRange[range].push_back({k.Word, P::tkKey});
  }
  EXPECT_EQ(plain, 81u);
  EXPECT_EQ(conditional, 30u);
  for (const auto& [range, words] : byRange) test::CheckKeywordsScan(PasFactory(), words, range);
}

// Changes repaint with the highlighter as sender, and the two settings keep each other sound.
TEST(PasHighlighter, VersionAndPackageSettingsNotifyAndInterlock) {
  TRidPasRid h(nullptr);
  EXPECT_EQ(h.GetDelphiVersion(), dvDelphi2005);
  EXPECT_TRUE(h.GetPackageSource());
  std::vector<TObject*> senders;
  h.HookAttrChangeEvent(TNotifyEvent([&](TObject* Sender) { senders.push_back(Sender); }));
  h.SetDelphiVersion(dvDelphi2005);
  h.SetPackageSource(true);
  EXPECT_TRUE(senders.empty());
  h.SetDelphiVersion(dvDelphi2);
  EXPECT_FALSE(h.GetPackageSource());
  h.SetPackageSource(true);
  EXPECT_EQ(h.GetDelphiVersion(), dvDelphi3);
  h.SetDelphiVersion(dvDelphi1);
  EXPECT_EQ(senders, (std::vector<TObject*>{&h, &h, &h}));
  EXPECT_FALSE(h.GetPackageSource());
}

// Delphi 1 has no "//" comments, so an editor's stored ranges follow a change of version.
TEST(PasHighlighter, AnEditorScansItsRangesAgainWhenTheVersionChanges) {
  TRidEder ed(nullptr);
  TRidPasRid pas(nullptr);
  ed.SetText("// { a\r\nb");
  ed.SetHighlighter(&pas);
  EXPECT_EQ(ed.GetLines()->GetRange(0), P::rsUnknown);
  pas.SetDelphiVersion(dvDelphi1);
  EXPECT_EQ(ed.GetLines()->GetRange(0), P::rsBor);
  pas.SetPackageSource(true);  // back to Delphi 3, with "//"
  EXPECT_EQ(ed.GetLines()->GetRange(0), P::rsUnknown);
  ed.SetHighlighter(nullptr);
}

TEST(PasHighlighter, AttributesAndLanguageData) {
  TRidPasRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 12);
  EXPECT_EQ(h.GetDirectiveAttri()->GetName(), "Preprocessor");
  EXPECT_EQ(h.GetDirectiveAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetKeyAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetAsmAttri()->GetName(), "Assembler");
  EXPECT_EQ(h.GetDefaultAttribute(0), h.GetCommentAttri());
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "Object Pascal");
  EXPECT_EQ(h.GetDefaultFilter(),
            "Pascal Files (*.pas;*.pp;*.dpr;*.dpk;*.inc)|*.pas;*.pp;*.dpr;*.dpk;*.inc");
  EXPECT_TRUE(h.GetCapabilities().Contains(capUserSettings));
  EXPECT_EQ(h.GetRange(), P::rsUnknown);
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {P::tkAsm, h.GetAsmAttri()},
      {P::tkComment, h.GetCommentAttri()},
      {P::tkIdentifier, h.GetIdentifierAttri()},
      {P::tkKey, h.GetKeyAttri()},
      {P::tkNumber, h.GetNumberAttri()},
      {P::tkSpace, h.GetSpaceAttri()},
      {P::tkString, h.GetStringAttri()},
      {P::tkSymbol, h.GetSymbolAttri()},
      {P::tkUnknown, h.GetSymbolAttri()},
      {P::tkFloat, h.GetFloatAttri()},
      {P::tkHex, h.GetHexAttri()},
      {P::tkDirec, h.GetDirectiveAttri()},
      {P::tkChar, h.GetCharAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource() + "\r\n|", byKind);
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};

TEST(PasHighlighter, RandomBytesKeepTheScannerRules) {
  const auto lines = test::RandomByteLines(67, 400, 80);
  for (TDelphiVersion v : {dvDelphi1, dvDelphi2005})
    test::CheckConformance(PasFactory(v), lines, kAllRanges);
}

TEST(PasHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"{",   "}",   "{$",  "(*",       "*)", "//",   "'",
                                           "''",  "asm", "end", "property", ";",  "read", "1..",
                                           "1e+", "#$",  "\t",  "\r",       "\n"};
  const auto lines = test::ShiftJisLines(71, 400, 24, pieces);
  for (TDelphiVersion v : {dvDelphi1, dvDelphi2005})
    test::CheckConformance(PasFactory(v), lines, kAllRanges);
}

// The runtime library's sources in a fixed order, up to 5 MB.
TEST(PasHighlighter, FreePascalSourcesScanCleanly) {
  auto files =
      test::InstalledFiles({"/usr/share/fpcsrc/3.2.2/rtl"}, {".pas", ".pp", ".inc"}, "fpc-source");
  std::vector<std::filesystem::path> sample;
  uintmax_t bytes = 0;
  for (const auto& f : files) {
    bytes += std::filesystem::file_size(f);
    if (bytes > 5 * 1024 * 1024) break;
    sample.push_back(f);
  }
  EXPECT_GT(sample.size(), 100u);
  test::CheckInstalledFiles(PasFactory(), sample);
}

const std::vector<std::string> kDelphiEntries = {"Assembler",     "Comment", "Identifier",
                                                 "Reserved word", "Number",  "Whitespace",
                                                 "String",        "Symbol"};

// The eight entries of a Delphi scheme colour the twelve attributes, all of them or none.
TEST(PasHighlighter, ImportsADelphiColourSchemeAllOrNothing) {
  test::TTestRegistry registry;
  TRidPasRid h(nullptr);
  TStringList versions;
  h.EnumUserSettings(&versions);
  EXPECT_EQ(versions.Count(), 0);
  EXPECT_FALSE(h.UseUserSettings(0));

  registry.SeedIdeScheme("Delphi", "3.0", true, kDelphiEntries, 4, 15);
  registry.SeedIdeScheme("Delphi", "7.0", false, kDelphiEntries, 9, 1);
  std::vector<std::string> partial(kDelphiEntries.begin(), kDelphiEntries.end() - 1);
  registry.SeedIdeScheme("Delphi", "2005", false, partial, 2, 3);
  h.EnumUserSettings(&versions);
  EXPECT_EQ(versions.GetText(), "3.0\r\n7.0\r\n2005\r\n");

  ASSERT_TRUE(h.UseUserSettings(0));
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) {
    EXPECT_EQ(h.GetAttribute(i)->GetForeground(), TColor(0x800000)) << i;
    EXPECT_EQ(h.GetAttribute(i)->GetBackground(), TColor(0xFFFFFF)) << i;
    EXPECT_EQ(h.GetAttribute(i)->GetStyle(), TFontStyles{fsBold}) << i;
  }
  ASSERT_TRUE(h.UseUserSettings(1));
  EXPECT_EQ(h.GetDirectiveAttri()->GetForeground(), TColor(0x0000FF));
  EXPECT_EQ(h.GetCharAttri()->GetBackground(), TColor(0x000080));
  EXPECT_FALSE(h.UseUserSettings(2));  // "Symbol" is missing: nothing changes
  EXPECT_FALSE(h.UseUserSettings(3));
  for (int32_t i = 0; i < h.GetAttribCount(); ++i)
    EXPECT_EQ(h.GetAttribute(i)->GetForeground(), TColor(0x0000FF)) << i;
}

}  // namespace
}  // namespace rid
