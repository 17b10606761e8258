#include "highlighters/RidHighlighterCpp.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>

#include "highlighters/keywords/RidHighlighterCppKeywords.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using C = TRidCppRid;
using test::TTokenCase;

test::THighlighterFactory CppFactory() {
  return [] { return std::make_unique<TRidCppRid>(nullptr); };
}

// 表 and ソ end in a backslash, マ in "}".
const std::string kHyo = "\x95\x5C", kSo = "\x83\x5C", kMa = "\x83\x7D";

const TTokenCase kCases[] = {
    {0, "IF if", {{"IF", C::tkIdentifier}, {" ", C::tkSpace}, {"if", C::tkKey}}, 0},
    // Directives: "#" first on the line, up to a comment, on over a final backslash
    {0,
     "  #define X 1 // c",
     {{"  ", C::tkSpace}, {"#define X 1 ", C::tkDirective}, {"// c", C::tkComment}},
     0},
    {0,
     "x # y",
     {{"x", C::tkIdentifier},
      {" ", C::tkSpace},
      {"#", C::tkUnknown},
      {" ", C::tkSpace},
      {"y", C::tkIdentifier}},
     0},
    {0, "#define A \\", {{"#define A \\", C::tkDirective}}, C::rsMultiLineDirective},
    {C::rsMultiLineDirective, "  B", {{"  B", C::tkDirective}}, 0},
    {C::rsMultiLineDirective, "", {}, C::rsMultiLineDirective},
    {0, "#define S \"" + kHyo + "\"", {{"#define S \"" + kHyo + "\"", C::tkDirective}}, 0},
    {0,
     "#if A /* c */ B",
     {{"#if A ", C::tkDirective}, {"/* c */", C::tkComment}, {" B", C::tkDirective}},
     0},
    {0, "#if A /* c", {{"#if A ", C::tkDirective}, {"/* c", C::tkComment}}, C::rsDirectiveComment},
    {C::rsDirectiveComment, "*/", {{"*/", C::tkComment}}, 0},
    {C::rsMultiLineDirective, "/* x */ y", {{"/* x */", C::tkComment}, {" y", C::tkDirective}}, 0},
    // Inline assembler: a statement to ";", a block to "}"
    {0,
     "asm { mov ax, 1 } x",
     {{"asm", C::tkKey},
      {" ", C::tkSpace},
      {"{", C::tkSymbol},
      {" ", C::tkSpace},
      {"mov", C::tkAsm},
      {" ", C::tkSpace},
      {"ax", C::tkAsm},
      {",", C::tkAsm},
      {" ", C::tkSpace},
      {"1", C::tkAsm},
      {" ", C::tkSpace},
      {"}", C::tkSymbol},
      {" ", C::tkSpace},
      {"x", C::tkIdentifier}},
     0},
    {0,
     "__asm mov ax; x",
     {{"__asm", C::tkKey},
      {" ", C::tkSpace},
      {"mov", C::tkAsm},
      {" ", C::tkSpace},
      {"ax", C::tkAsm},
      {";", C::tkSymbol},
      {" ", C::tkSpace},
      {"x", C::tkIdentifier}},
     0},
    {C::rsAsmBlock,
     "/* c */ nop /*",
     {{"/* c */", C::tkComment},
      {" ", C::tkSpace},
      {"nop", C::tkAsm},
      {" ", C::tkSpace},
      {"/*", C::tkComment}},
     C::rsAnsiCAsmBlock},
    {C::rsAnsiCAsm, "*/ x", {{"*/", C::tkComment}, {" ", C::tkSpace}, {"x", C::tkAsm}}, C::rsAsm},
    // Strings go on over a final backslash only; characters never
    {0,
     "\"a\\\" b\" c",
     {{"\"a\\\" b\"", C::tkString}, {" ", C::tkSpace}, {"c", C::tkIdentifier}},
     0},
    {0, "\"abc\\", {{"\"abc\\", C::tkString}}, C::rsMultiLineString},
    {0, "\"abc\\\\", {{"\"abc\\\\", C::tkString}}, 0},
    {C::rsMultiLineString,
     "def\" x",
     {{"def\"", C::tkString}, {" ", C::tkSpace}, {"x", C::tkIdentifier}},
     0},
    {C::rsMultiLineString, "\"", {{"\"", C::tkString}}, 0},
    {0,
     "\"" + kHyo + "\" '" + kSo + "'",
     {{"\"" + kHyo + "\"", C::tkString}, {" ", C::tkSpace}, {"'" + kSo + "'", C::tkChar}},
     0},
    {0,
     "'\\'' '\\\\' 'a",
     {{"'\\''", C::tkChar},
      {" ", C::tkSpace},
      {"'\\\\'", C::tkChar},
      {" ", C::tkSpace},
      {"'a", C::tkChar}},
     0},
    // Comments
    {0, "/* " + kMa + " */x", {{"/* " + kMa + " */", C::tkComment}, {"x", C::tkIdentifier}}, 0},
    {0, "/*", {{"/*", C::tkComment}}, C::rsAnsiC},
    {C::rsAnsiC,
     "a */ /=/",
     {{"a */", C::tkComment}, {" ", C::tkSpace}, {"/=", C::tkSymbol}, {"/", C::tkSymbol}},
     0},
    // Symbols, dots and illegal bytes
    {0,
     "<<=->*=::...",
     {{"<<=", C::tkSymbol},
      {"->", C::tkSymbol},
      {"*=", C::tkSymbol},
      {"::", C::tkSymbol},
      {"...", C::tkSymbol}},
     0},
    {0,
     ".. .5",
     {{".", C::tkSymbol}, {".", C::tkSymbol}, {" ", C::tkSpace}, {".5", C::tkFloat}},
     0},
    {0,
     "@$`\\" + kMa,
     {{"@", C::tkUnknown},
      {"$", C::tkUnknown},
      {"`", C::tkUnknown},
      {"\\", C::tkUnknown},
      {kMa, C::tkUnknown}},
     0},
    {0,
     "1e x",
     {{"1", C::tkUnknown}, {"e", C::tkIdentifier}, {" ", C::tkSpace}, {"x", C::tkIdentifier}},
     0},
    {6, "x", {{"x", C::tkIdentifier}}, 6},
};

TEST(CppHighlighter, ScansTheListedCases) { test::CheckTokenCases(CppFactory(), kCases); }

// Number literals with the kind of their first token; g++ accepts exactly those we do not call
// malformed, but for "1.e5" (legal C we flag) and "10lL" (a suffix g++ refuses).
const std::pair<const char*, int32_t> kNumbers[] = {
    {"0", C::tkNumber},      {"123", C::tkNumber},    {"10u", C::tkNumber},
    {"10UL", C::tkNumber},   {"10ul", C::tkNumber},   {"10LL", C::tkNumber},
    {"1uLL", C::tkNumber},   {"10lL", C::tkNumber},   {"10LLL", C::tkUnknown},
    {"10UU", C::tkUnknown},  {"017", C::tkOctal},     {"00", C::tkOctal},
    {"077L", C::tkOctal},    {"018", C::tkUnknown},   {"08", C::tkUnknown},
    {"09", C::tkUnknown},    {"0x1F", C::tkHex},      {"0XaBc", C::tkHex},
    {"0xFFul", C::tkHex},    {"0x1fLL", C::tkHex},    {"0x8U", C::tkHex},
    {"0x", C::tkUnknown},    {"0x1.5", C::tkUnknown}, {"1.5e3", C::tkFloat},
    {"1.5f", C::tkFloat},    {"1.5F", C::tkFloat},    {"0.5", C::tkFloat},
    {".5", C::tkFloat},      {".5e2", C::tkFloat},    {"1e+5", C::tkFloat},
    {"3.0e-10", C::tkFloat}, {"1.5e-3f", C::tkFloat}, {"1.5e3L", C::tkFloat},
    {"2.5L", C::tkFloat},    {"1.e5", C::tkUnknown},  {"1e", C::tkUnknown},
    {"1e+", C::tkUnknown},   {"1.0fF", C::tkUnknown}, {"1.5ef", C::tkUnknown},
    {"1.5lf", C::tkUnknown},
};

TEST(CppHighlighter, NumbersAreToldApartAsGccTellsThem) {
  RID_NEED_TOOL("g++", "g++");
  std::string source;
  for (const auto& [text, kind] : kNumbers) {
    const std::string line = std::string("auto v = ") + text + ";";
    const auto tokens = test::ScanCheckedLine(*CppFactory()(), line, 0, nullptr);
    ASSERT_GE(tokens.size(), 7u);
    EXPECT_EQ(tokens[6].Kind, kind) << text;
    source += "void f" + std::to_string(source.size()) + "() { " + line + " }\n";
  }
  test::TempDir dir;
  test::WriteFileBytes(dir / "numbers.cpp", source);
  const std::string out = test::RunTool("g++ -fsyntax-only -fmax-errors=0 '" +
                                        (dir / "numbers.cpp").string() + "' 2>&1");
  std::set<size_t> refused;
  std::istringstream in(out);
  for (std::string l; std::getline(in, l);) {
    const size_t at = l.find("numbers.cpp:");
    if (at != std::string::npos && l.find("error") != std::string::npos)
      refused.insert(std::stoul(l.substr(at + 12)));
  }
  for (size_t i = 0; i < std::size(kNumbers); ++i) {
    const std::string text = kNumbers[i].first;
    const bool malformed = kNumbers[i].second == C::tkUnknown;
    const bool allowed = text == "1.e5" || text == "10lL";
    EXPECT_EQ(refused.count(i + 1) == 1, malformed != allowed) << text;
  }
}

TEST(CppHighlighter, KeywordsHaveTheirCountAndTableShape) {
  const TRidKeywordTable& t = TRidCppRid::KeywordTable();
  EXPECT_EQ(std::size(keywords::RidHighlighterCpp::kKeywords), 95u);
  EXPECT_EQ(t.TableSize(), 207);
  EXPECT_EQ(t.LargestHash() + 1, uint64_t(t.TableSize()));
  std::vector<TRidKeyword> words;
  for (const TRidKeyword& k : keywords::RidHighlighterCpp::kKeywords)
    words.push_back({k.Word, C::tkKey});
  test::CheckKeywordsScan(CppFactory(), words);
}

TEST(CppHighlighter, AttributesAndLanguageData) {
  TRidCppRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 14);
  EXPECT_EQ(h.GetSpaceAttri()->GetForeground(), clWindow);
  EXPECT_EQ(h.GetInvalidAttri()->GetName(), "Illegal Char");
  EXPECT_EQ(h.GetDirecAttri()->GetName(), "Preprocessor");
  EXPECT_EQ(h.GetCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetDefaultAttribute(3), h.GetStringAttri());
  EXPECT_EQ(h.GetLanguageName(), "C/C++");
  EXPECT_EQ(h.GetDefaultFilter(), "C/C++ Files (*.c;*.cpp;*.h;*.hpp)|*.c;*.cpp;*.h;*.hpp");
  EXPECT_TRUE(h.GetCapabilities().Contains(capUserSettings));
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {C::tkAsm, h.GetAsmAttri()},         {C::tkComment, h.GetCommentAttri()},
      {C::tkDirective, h.GetDirecAttri()}, {C::tkIdentifier, h.GetIdentifierAttri()},
      {C::tkKey, h.GetKeyAttri()},         {C::tkNumber, h.GetNumberAttri()},
      {C::tkSpace, h.GetSpaceAttri()},     {C::tkString, h.GetStringAttri()},
      {C::tkSymbol, h.GetSymbolAttri()},   {C::tkUnknown, h.GetInvalidAttri()},
      {C::tkChar, h.GetCharAttri()},       {C::tkFloat, h.GetFloatAttri()},
      {C::tkHex, h.GetHexAttri()},         {C::tkOctal, h.GetOctalAttri()}};
  test::CheckAttributesByKind(h, h.GetSampleSource(), byKind);
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 4, 5, 7, 10, 11, 6, 200};

TEST(CppHighlighter, RandomBytesKeepTheScannerRules) {
  test::CheckConformance(CppFactory(), test::RandomByteLines(73, 400, 80), kAllRanges);
}

TEST(CppHighlighter, ShiftJisLinesKeepTheScannerRules) {
  const std::vector<std::string> pieces = {"#",  "#if", "/*", "*/", "//", "\"", "'",
                                           "\\", "asm", "{",  "}",  ";",  "0x", "1e",
                                           "1.", "..",  "\t", "\r", "\n"};
  test::CheckConformance(CppFactory(), test::ShiftJisLines(79, 400, 24, pieces), kAllRanges);
}

// The C library's headers, as libc6-dev installs them.
TEST(CppHighlighter, CLibraryHeadersScanCleanly) {
  RID_NEED_TOOL("dpkg", "dpkg");
  std::istringstream list(test::RunTool("dpkg -L libc6-dev"));
  std::vector<std::filesystem::path> files;
  for (std::string f; std::getline(list, f);)
    if (f.ends_with(".h") && std::filesystem::is_regular_file(f)) files.push_back(f);
  ASSERT_GT(files.size(), 300u) << "install libc6-dev";
  test::CheckInstalledFiles(CppFactory(), files);
}

// g++ reading Shift-JIS (CP932) closes these literals and comments where we close them.
TEST(CppHighlighter, ShiftJisLiteralsCloseWhereGccClosesThem) {
  RID_NEED_TOOL("g++", "g++");
  const std::string so = kSo, hyo = kHyo, ma = kMa;
  const std::pair<std::string, int32_t> fixtures[] = {
      {"\"" + hyo + "\"", C::tkString},     {"\"" + so + "\\\"" + hyo + "\"", C::tkString},
      {"\"\\\\" + hyo + "\"", C::tkString}, {"'\\\\'", C::tkChar},
      {"/* " + ma + " */", C::tkComment},   {"\"" + ma + "\"", C::tkString},
  };
  std::string source;
  int n = 0;
  for (const auto& [text, kind] : fixtures) {
    const std::string line =
        "const auto v" + std::to_string(n++) + " = " + text + (kind == C::tkComment ? " 0;" : ";");
    bool found = false;
    for (const auto& t : test::ScanCheckedLine(*CppFactory()(), line, 0, nullptr))
      found |= t.Text == text && t.Kind == kind;
    EXPECT_TRUE(found) << test::Printable(text) << " is not one token";
    source += line + "\n";
  }
  test::TempDir dir;
  test::WriteFileBytes(dir / "sjis.cpp", source);
  int code = -1;
  const std::string out = test::RunTool(
      "g++ -finput-charset=CP932 -fsyntax-only '" + (dir / "sjis.cpp").string() + "' 2>&1", {},
      &code);
  EXPECT_EQ(code, 0) << out;
}

const std::vector<std::string> kBuilderEntries = {
    "Comment", "Identifier", "Illegal Char", "Reserved word", "Integer", "Float",       "Hex",
    "Octal",   "Whitespace", "String",       "Character",     "Symbol",  "Preprocessor"};

// The fourteen entries of a C++Builder scheme colour the attributes; a failure restores them.
TEST(CppHighlighter, ImportsACppBuilderColourSchemeOrRestores) {
  test::TTestRegistry registry;
  TRidCppRid h(nullptr);
  TStringList versions;
  h.EnumUserSettings(&versions);
  EXPECT_EQ(versions.Count(), 0);
  EXPECT_FALSE(h.UseUserSettings(0));

  std::vector<std::string> old = kBuilderEntries, current = kBuilderEntries;
  old.push_back("Plain text");  // the old layout's name for the assembler entry
  current.push_back("Assembler");
  registry.SeedIdeScheme("C++Builder", "1.0", true, old, 4, 15);
  registry.SeedIdeScheme("C++Builder", "5.0", false, current, 9, 1);
  current.erase(current.begin() + 5);  // no "Float"
  registry.SeedIdeScheme("C++Builder", "6.0", false, current, 2, 3);
  h.EnumUserSettings(&versions);
  EXPECT_EQ(versions.GetText(), "1.0\r\n5.0\r\n6.0\r\n");

  ASSERT_TRUE(h.UseUserSettings(0));
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) {
    EXPECT_EQ(h.GetAttribute(i)->GetForeground(), TColor(0x800000)) << i;
    EXPECT_EQ(h.GetAttribute(i)->GetStyle(), TFontStyles{fsBold}) << i;
  }
  ASSERT_TRUE(h.UseUserSettings(1));
  EXPECT_FALSE(h.UseUserSettings(2));
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) {
    EXPECT_EQ(h.GetAttribute(i)->GetForeground(), TColor(0x0000FF)) << i;
    EXPECT_EQ(h.GetAttribute(i)->GetBackground(), TColor(0x000080)) << i;
  }
}

}  // namespace
}  // namespace rid
