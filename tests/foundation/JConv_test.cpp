#include "foundation/JConv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

#include "tests/TestSupport.h"

namespace rid {
namespace {

std::string Bytes(std::initializer_list<int> List) {
  std::string s;
  for (int b : List) s += char(b);
  return s;
}

bool IsAssigned(uint8_t S1, uint8_t S2) {
  const std::string pair{char(S1), char(S2)};
  const std::u16string w = MultiByteToWideChar(CP_SJIS, pair);
  return w.size() == 1 && (w[0] != u'\u30FB' || pair == "\x81\x45");
}

// Every assigned character of the given Shift-JIS lead bytes, with ASCII and all three line
// breaks between them.
std::string Characters(uint8_t FirstLead, uint8_t LastLead, bool (*Skip)(uint8_t) = nullptr) {
  static const char* const kBreaks[] = {"\r\n", "\n", "\r"};
  std::string s;
  int count = 0;
  for (int s1 = FirstLead; s1 <= LastLead; ++s1) {
    if (!IsDBCSLeadByte(uint8_t(s1)) || (Skip && Skip(uint8_t(s1)))) continue;
    for (int s2 = 0x40; s2 <= 0xFC; ++s2) {
      if (s2 == 0x7F || !IsAssigned(uint8_t(s1), uint8_t(s2))) continue;
      s += char(s1);
      s += char(s2);
      if (++count % 40 == 0) s += std::string(" a\\~1") + kBreaks[count / 40 % 3];
    }
  }
  return s + "end\r\n";
}

// JIS X 0208 in Shift-JIS: leads 81-9F and E0-EA less the NEC row 13 (lead 87).
const std::string& Jis0208() {
  static const std::string s = Characters(0x81, 0xEA, [](uint8_t b) { return b == 0x87; });
  return s;
}
const std::string& NecRow13() {
  static const std::string s = Characters(0x87, 0x87);
  return s;
}
const std::string& IbmExtensions() {
  static const std::string s = Characters(0xFA, 0xFC);
  return s;
}
const std::string& NecSelectedIbm() {
  static const std::string s = Characters(0xED, 0xEE);
  return s;
}
// Every half-width katakana alone and every one followed by each mark.
const std::string& HalfKana() {
  static const std::string s = [] {
    std::string k;
    for (int b = 0xA1; b <= 0xDF; ++b) k += char(b);
    k += "\n";
    for (int b = 0xA6; b <= 0xDD; ++b) k += std::string{char(b), '\xDE', char(b), '\xDF', ' '};
    return k + "\r\n";
  }();
  return s;
}

std::string Tool(const std::string& Command, const std::string& Input) {
  int exitCode = 0;
  std::string out = test::RunTool(Command, Input, &exitCode);
  EXPECT_EQ(exitCode, 0) << Command;
  return out;
}

// nkf and iconv end a shifted run with ESC ( B.
constexpr TJisEscapes kAscii{'B', 'B'};

TEST(JConv, ArithmeticMapsTheCornersOfTheTable) {
  EXPECT_EQ(JisToSjisChar(0x21, 0x21), "\x81\x40");
  EXPECT_EQ(JisToSjisChar(0x74, 0x26), "\xEA\xA4");
  EXPECT_EQ(SjisToJisChar(0x88, 0x9F), "\x30\x21");
  uint8_t e1, e2;
  SjisToEucBytes(0x82, 0xA0, e1, e2);
  EXPECT_EQ(e1, 0xA4);
  EXPECT_EQ(e2, 0xA2);
}

TEST(JConv, HalfKanaWidensAndMergesMarks) {
  struct Case {
    std::string in, jis;
    int32_t used;
  } cases[] = {{"\xB6\xDE", "\x25\x2C", 2}, {"\xCA\xDF", "\x25\x51", 2},
               {"\xB3\xDE", "\x25\x74", 2}, {"\xDE", "\x21\x2B", 1},
               {"\xB6\xDF", "\x25\x2B", 1}, {"\xB1", "\x25\x22", 1}};
  for (const Case& c : cases) {
    int32_t index = 1;
    EXPECT_EQ(HalfKanaToJis(c.in, index), c.jis);
    EXPECT_EQ(index, 1 + c.used);
  }
  EXPECT_EQ(SjisToJis("\xB6\xDE"), "\x1B$B\x25\x2C\x1B(J");
  for (int32_t outside : {0, 2}) {
    int32_t index = outside;
    EXPECT_EQ(HalfKanaToJis("\xB1", index), "");
    EXPECT_EQ(index, outside);
  }
}

TEST(JConv, SjisToJisShiftsAroundDoubleByteRuns) {
  EXPECT_EQ(SjisToJis("abc\r\n"), "abc\r\n");
  EXPECT_EQ(SjisToJis("a\x8A\xBF"), "a\x1B$B\x34\x41\x1B(J");
  EXPECT_EQ(SjisToJis("a\x8A\xBF\n", nullptr, {'@', 'B'}), "a\x1B$@\x34\x41\x1B(B\n");
  EXPECT_EQ(SjisToJis("\x8A\xBF\r\n\x8A\xBF"), "\x1B$B\x34\x41\x1B(J\r\n\x1B$B\x34\x41\x1B(J");
  // A lead byte without its trail goes out unshifted and comes back.
  const std::string lone = "\x8A\xBF\x81\r\x81";
  EXPECT_EQ(SjisToJis(lone), "\x1B$B\x34\x41\x1B(J\x81\r\x81");
  EXPECT_EQ(JisToSjis(SjisToJis(lone)), lone);
}

TEST(JConv, JisToSjisReadsEscapes) {
  EXPECT_EQ(JisToSjis("plain \\ text"), "plain \\ text");
  EXPECT_EQ(JisToSjis("\x1B$@\x34\x41\x1B(Bx"), "\x8A\xBFx");
  // A line break inside a shifted run is kept; a cut escape is copied, a cut pair is a '?'.
  EXPECT_EQ(JisToSjis("\x1B$B\x34\x41\n\x34\x41"), "\x8A\xBF\n\x8A\xBF");
  EXPECT_EQ(JisToSjis("a\x1B$"), "a\x1B$");
  size_t substituted = 0;
  EXPECT_EQ(JisToSjis("\x1B$B\x34", &substituted), "?");
  EXPECT_EQ(JisToSjis("\x1B$B\x34\n\x34\x1B(Bx", &substituted), "?\n?x");
  EXPECT_EQ(substituted, 3u);
}

TEST(JConv, EucToSjisSubstitutesWhatShiftJisLacks) {
  size_t substituted = 0;
  EXPECT_EQ(EucToSjis("\x8E\xB1", &substituted), "\xB1");
  EXPECT_EQ(substituted, 0u);
  // JIS X 0212: one '?' for the three bytes.
  EXPECT_EQ(EucToSjis("\x8F\xA1\xA1"
                      "a",
                      &substituted),
            "?a");
  EXPECT_EQ(substituted, 1u);
  EXPECT_EQ(EucToSjis("\xA1\x41\xFF", &substituted), "?A?");
  EXPECT_EQ(substituted, 3u);  // counts add up over calls
  EXPECT_EQ(EucToSjis("\x8E\n"), "?\n");
  // Cut at the end: one '?' for the cut character, never read past.
  substituted = 0;
  EXPECT_EQ(EucToSjis("a\xB4", &substituted), "a?");
  EXPECT_EQ(EucToSjis("a\x8F\xA1", &substituted), "a?");
  EXPECT_EQ(substituted, 2u);
  // A bad byte before the last one is no cut character: the last byte stays itself.
  substituted = 0;
  EXPECT_EQ(EucToSjis("a\x8F\x41", &substituted), "a?A");
  EXPECT_EQ(substituted, 1u);
}

TEST(JConv, SjisToEucTakesAPairWithoutEucFormWhole) {
  size_t substituted = 0;
  // User-defined F0 40 and IBM FA 55 (trail 0x55 alone would be 'U').
  EXPECT_EQ(SjisToEuc("\xF0\x40"
                      "a\xFA\x55\x82\xA0",
                      &substituted),
            "?a?\xA4\xA2");
  EXPECT_EQ(substituted, 2u);
  // A lead byte whose next byte is no trail byte.
  EXPECT_EQ(SjisToEuc("\x82\x0A", &substituted), "?\n");
  // ...or none at all.
  substituted = 0;
  EXPECT_EQ(SjisToEuc("\xB1\x82", &substituted), "\x8E\xB1?");
  EXPECT_EQ(substituted, 1u);
}

TEST(JConv, LineBreakKind) {
  EXPECT_EQ(GetLineBreakKind("abc"), -1);
  EXPECT_EQ(GetLineBreakKind("a\r"), 2);
  EXPECT_EQ(GetLineBreakKind("a\r\nb"), 0);
  EXPECT_EQ(GetLineBreakKind("a\nb\r\n"), 1);
  EXPECT_EQ(GetLineBreakKind("a\rb\r\n"), 2);
}

TEST(JConv, Utf8KeepsTheWholeText) {
  size_t substituted = 0;
  EXPECT_EQ(Utf8ToSjis(std::string("a\0b", 3), &substituted), std::string("a\0b", 3));
  EXPECT_EQ(Utf8BomToSjis("\xEF\xBB\xBF"
                          "abc",
                          &substituted),
            "abc");
  EXPECT_EQ(substituted, 0u);
  EXPECT_EQ(Utf8BomToSjis("abcd"), "abcd");
  // U+00E9 and a malformed byte have no Shift-JIS form.
  EXPECT_EQ(Utf8ToSjis("\xC3\xA9x\xFF", &substituted), "?x?");
  EXPECT_EQ(substituted, 2u);
  EXPECT_EQ(SjisToUtf8Bom("\xB1"), "\xEF\xBB\xBF\xEF\xBD\xB1");
}

TEST(JConv, SavingFormsCountShiftJisBytesThatFormNoCharacter) {
  const std::string stray = "a\x81 \x85\x40\x82\xA0";  // a lone lead, an unassigned pair
  size_t utf8 = 0, le = 0, be = 0;
  SjisToUtf8Bom(stray, &utf8);
  ConvertToUtf16LE(stray, &le);
  ConvertToUtf16BE(stray, &be);
  EXPECT_EQ(utf8, 2u);
  EXPECT_EQ(le, 2u);
  EXPECT_EQ(be, 2u);
}

// Shift-JIS text made to be cut badly: double-byte characters (with trail bytes that look like
// lead bytes or katakana), half-width katakana with and without the marks JIS joins to them,
// lone lead bytes, characters without an EUC-JP or JIS form, stray high bytes and line breaks.
std::string CuttableText(std::mt19937& Rng, size_t Length) {
  static const char* const kPieces[] = {
      "a",        "\r\n",     "\n",       "\x88\x9F", "\x88\x88", "\x82\xA0", "\x83\x40",
      "\xB6\xDE", "\xCA\xDF", "\xB3\xDE", "\xB1",     "\xDE",     "\xDF",     "\xB6",
      "\xCA",     "\x81",     "\x81 ",    "\xF0\x40", "\xFA\x5C", "\x80",     "\xA0",
      "\xFD",     "\xFF",     "\x85\x40", "\x1B",     "\xE0\xB6", "\x88\xCA", "\xE0\xE0"};
  std::string s;
  while (s.size() < Length) s += kPieces[Rng() % std::size(kPieces)];
  return s;
}

// Text converted in random pieces, some cutting a character and some longer than the encoder's
// block, gives the bytes and the count of the whole text converted at once, in every code.
// Each file code with the conversion of a whole Shift-JIS text to it, and what it cannot hold.
using TWhole = std::function<std::string(std::string_view, size_t*)>;
const TWhole kSame = [](std::string_view S, size_t*) { return std::string(S); };
const struct {
  JCodeKind Code;
  TWhole Whole;
} kWholeConversions[] = {
    {jcJisB, [](std::string_view S, size_t* N) { return SjisToJis(S, N); }},
    {jcJisAt,
     [](std::string_view S, size_t* N) {
       return SjisToJis(S, N, {'@', 'J'});
     }},
    {jcEuc, [](std::string_view S, size_t* N) { return SjisToEuc(S, N); }},
    {jcUtf8, [](std::string_view S, size_t* N) { return SjisToUtf8(S, N); }},
    {jcUtf8Bom, [](std::string_view S, size_t* N) { return SjisToUtf8Bom(S, N); }},
    {jcUtf16LE, [](std::string_view S, size_t* N) { return ConvertToUtf16LE(S, N); }},
    {jcUtf16BE, [](std::string_view S, size_t* N) { return ConvertToUtf16BE(S, N); }},
    {jcSjis, kSame},
    {jcAscii, kSame},
    {jcBinary, kSame},
    {jcEucOrSjis, kSame}};

TEST(JConv, TheEncoderConvertsPiecesAsTheWholeText) {
  const auto& codes = kWholeConversions;
  // Converts Text in one piece, or cut at random places, and returns the bytes put.
  // Without Output the encoder only counts.
  const auto encode = [](JCodeKind Code, std::string_view Text, std::mt19937* Rng,
                         size_t* Unwritable, bool Output = true) {
    std::string out;
    TSjisEncoder::TPut put = [&out](std::string_view B) {
      EXPECT_LE(B.size(), 5 * TSjisEncoder::kBlock + 3);
      out += B;
    };
    TSjisEncoder e(Code, Output ? put : nullptr);
    while (Rng && !Text.empty()) {
      const size_t n = (*Rng)() % 8 == 0 ? (*Rng)() % 40000 : (*Rng)() % 4;
      e.Convert(Text.substr(0, n));
      Text.remove_prefix(std::min(n, Text.size()));
    }
    e.Convert(Text);
    e.Finish();
    *Unwritable = e.Unwritable();
    return out;
  };
  std::mt19937 rng(2147);
  for (int round = 0; round < 200; ++round) {
    const std::string text = CuttableText(rng, round % 20 == 0 ? 50000
                                               : round == 1    ? 0
                                                               : rng() % 60);
    for (const auto& [code, whole] : codes) {
      SCOPED_TRACE("round " + std::to_string(round) + " code " + std::to_string(code));
      size_t wholeCount = 0, oneCount = 0, piecesCount = 0, countedOnly = 0;
      const std::string want = whole(text, &wholeCount);
      ASSERT_EQ(encode(code, text, nullptr, &oneCount), want);
      ASSERT_EQ(encode(code, text, &rng, &piecesCount), want);
      EXPECT_EQ(encode(code, text, &rng, &countedOnly, false), "");
      EXPECT_EQ(piecesCount, oneCount);
      EXPECT_EQ(countedOnly, oneCount);
      EXPECT_EQ(oneCount, wholeCount);
    }
  }
}

TEST(JConv, Utf16FilesKeepZeroUnitsAndRaiseOnBadStreams) {
  test::TempDir dir;
  const std::string text = std::string("a\0\x82\xA0\r\n", 6);
  const std::string le = (dir / "le.txt").string(), be = (dir / "be.txt").string();
  SaveTextUtf16LE(le, text);
  SaveTextUtf16BE(be, text);
  EXPECT_EQ(test::ReadFileBytes(le), Bytes({0xFF, 0xFE, 'a', 0, 0, 0, 0x42, 0x30, 13, 0, 10, 0}));
  EXPECT_EQ(test::ReadFileBytes(be), Bytes({0xFE, 0xFF, 0, 'a', 0, 0, 0x30, 0x42, 0, 13, 0, 10}));
  EXPECT_EQ(LoadTextUtf16LE(le), text);
  EXPECT_EQ(LoadTextUtf16BE(be), text);
  EXPECT_EQ(LoadTextUtf16LE(""), "");
  size_t substituted = 0;
  test::WriteFileBytes(dir / "odd.txt", Bytes({0xFF, 0xFE, 'a', 0, 0xE9, 0, 'b'}));
  EXPECT_EQ(LoadTextUtf16LE((dir / "odd.txt").string(), &substituted), "a??");
  EXPECT_EQ(substituted, 2u);
  EXPECT_ANY_THROW(LoadTextUtf16LE((dir / "missing.txt").string()));
  // A pipe is refused at once, not waited on for a writer.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_THROW(LoadTextUtf16BE((dir / "pipe").string()), EFOpenError);
  EXPECT_EQ(ConvertToUtf16BE("a"), Bytes({0xFE, 0xFF, 0, 'a'}));

  TMemoryStream stream;
  WriteTextUtf16LE(&stream, "a");
  EXPECT_EQ(stream.Bytes(), Bytes({0xFF, 0xFE, 'a', 0}));
  try {
    WriteTextUtf16BE(nullptr, "a");
    ADD_FAILURE();
  } catch (const EJCodeError& e) {
    EXPECT_STREQ(e.what(), SInvalidMemoryStream);
  }
}

// Double-byte characters of S, counted by a forward walk.
size_t DoubleByteCount(const std::string& S) {
  size_t n = 0;
  for (size_t i = 0; i < S.size(); i += IsDBCSLeadByte(S[i]) ? 2 : 1) n += IsDBCSLeadByte(S[i]);
  return n;
}

// Replaces every double-byte character of S by '?'.
std::string Questioned(const std::string& S) {
  std::string out;
  for (size_t i = 0; i < S.size(); i += IsDBCSLeadByte(S[i]) ? 2 : 1)
    out += IsDBCSLeadByte(S[i]) ? '?' : S[i];
  return out;
}

TEST(JConvOracle, EucAgreesWithIconvAndNkf) {
  RID_NEED_TOOL("iconv", "libc-bin");
  RID_NEED_TOOL("nkf", "nkf");
  // iconv goes through Unicode, so the NEC duplicates of row 13 come out in row 2: nkf keeps
  // them, as the arithmetic does.
  const std::string sjis = Jis0208() + HalfKana();
  size_t substituted = 0;
  const std::string euc = SjisToEuc(sjis + NecRow13(), &substituted);
  EXPECT_EQ(substituted, 0u);
  EXPECT_EQ(euc, Tool("iconv -f CP932 -t EUC-JP-MS", sjis) + Tool("nkf -S -e -x", NecRow13()));
  EXPECT_EQ(SjisToEuc(sjis), Tool("nkf -S -e -x", sjis));
  EXPECT_EQ(EucToSjis(euc, &substituted), sjis + NecRow13());
  EXPECT_EQ(substituted, 0u);
  const std::string kanji = Characters(0x88, 0xEA);
  EXPECT_EQ(EucToSjis(Tool("iconv -f CP932 -t EUC-JP", kanji)), kanji);
  // Characters without an EUC-JP form: one '?' each, nothing else changes.
  const std::string ibm = IbmExtensions() + NecSelectedIbm();
  EXPECT_EQ(SjisToEuc(ibm, &substituted), Questioned(ibm));
  EXPECT_EQ(substituted, DoubleByteCount(ibm));
}

// What JIS cannot hold as it is is counted, and only that: the rest comes back unchanged.
TEST(JConv, SjisToJisCountsWhatJisCannotHold) {
  const std::string kana = HalfKana();
  const size_t kanaBytes = std::count_if(
      kana.begin(), kana.end(), [](char C) { return uint8_t(C) >= 0xA1 && uint8_t(C) <= 0xDF; });
  const struct {
    const char* Name;
    std::string Sjis;
    size_t Count;
  } rows[] = {
      {"JIS X 0208 and NEC row 13", Jis0208() + NecRow13(), 0},
      {"half-width katakana, each byte widened", kana, kanaBytes},
      {"IBM extensions, outside rows 21-7E", IbmExtensions(), DoubleByteCount(IbmExtensions())},
      {"user-defined characters", "\xF0\x40x\xF9\xFC", 2},
      {"bytes that form no character", "\x81\r\x80 \xFD\xA0\x81", 5},
      {"escapes of the text's own", "\x1B$B\n\x1B(J\x88\x9F\x1B", 3},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    size_t count = 1;  // the count adds to what was there
    const std::string jis = SjisToJis(r.Sjis, &count);
    EXPECT_EQ(count, 1 + r.Count);
    EXPECT_EQ(jis, SjisToJis(r.Sjis));
    if (r.Count == 0) {
      EXPECT_EQ(JisToSjis(jis), r.Sjis);
    }
  }
}

TEST(JConvOracle, JisAgreesWithNkf) {
  RID_NEED_TOOL("nkf", "nkf");
  const std::string sjis = Jis0208() + NecRow13();
  const std::string jis = SjisToJis(sjis);
  EXPECT_EQ(SjisToJis(sjis, nullptr, kAscii), Tool("nkf -S -j", sjis));
  EXPECT_EQ(JisToSjis(jis), sjis);
  EXPECT_EQ(JisToSjis(Tool("nkf -S -j", sjis)), sjis);
  EXPECT_EQ(SjisToJis(HalfKana(), nullptr, kAscii), Tool("nkf -S -j", HalfKana()));
  // iconv reads some symbols of rows 1 and 2 as other Unicode characters than code page 932
  // does; the kanji rows mean the same to both.
  const std::string kanji = Characters(0x88, 0xEA);
  EXPECT_EQ(SjisToJis(kanji, nullptr, kAscii), Tool("iconv -f CP932 -t ISO-2022-JP", kanji));
  EXPECT_EQ(JisToSjis(Tool("iconv -f CP932 -t ISO-2022-JP", kanji)), kanji);
}

TEST(JConvOracle, UnicodeFormsAgreeWithIconv) {
  RID_NEED_TOOL("iconv", "libc-bin");
  const std::string all = Jis0208() + HalfKana() + NecRow13() + IbmExtensions() + NecSelectedIbm();
  const std::string utf8 = SjisToUtf8(all);
  EXPECT_EQ(utf8, Tool("iconv -f CP932 -t UTF-8", all));
  EXPECT_EQ(ConvertToUtf16LE(all), "\xFF\xFE" + Tool("iconv -f CP932 -t UTF-16LE", all));
  EXPECT_EQ(ConvertToUtf16BE(all), "\xFE\xFF" + Tool("iconv -f CP932 -t UTF-16BE", all));
  // The duplicates (NEC row 13 against row 2, the NEC selection against the IBM extensions)
  // come back in the one form code page 932 gives each Unicode character.
  size_t substituted = 0;
  const std::string back = Tool("iconv -f UTF-8 -t CP932", utf8);
  EXPECT_EQ(Utf8ToSjis(utf8, &substituted), back);
  EXPECT_EQ(Utf16ToSjis(ConvertToUtf16LE(all).substr(2), false, &substituted), back);
  EXPECT_EQ(Utf16ToSjis(ConvertToUtf16BE(all).substr(2), true, &substituted), back);
  EXPECT_EQ(substituted, 0u);
}

TEST(JConvOracle, EveryEncodingRoundTrips) {
  const std::string plain = Jis0208() + NecRow13();  // no half-width kana: JIS widens them
  const std::string withKana = Jis0208() + HalfKana();
  size_t substituted = 0;
  EXPECT_EQ(JisToSjis(SjisToJis(plain)), plain);
  EXPECT_EQ(EucToSjis(SjisToEuc(withKana + NecRow13(), &substituted), &substituted),
            withKana + NecRow13());
  EXPECT_EQ(Utf8ToSjis(SjisToUtf8(withKana), &substituted), withKana);
  EXPECT_EQ(Utf8BomToSjis(SjisToUtf8Bom(withKana), &substituted), withKana);
  EXPECT_EQ(Utf16ToSjis(ConvertToUtf16LE(withKana).substr(2), false, &substituted), withKana);
  EXPECT_EQ(Utf16ToSjis(ConvertToUtf16BE(withKana).substr(2), true, &substituted), withKana);
  EXPECT_EQ(substituted, 0u);
  test::TempDir dir;
  SaveTextUtf16BE((dir / "t.txt").string(), withKana);
  EXPECT_EQ(LoadTextUtf16BE((dir / "t.txt").string()), withKana);
}

// Shift-JIS text in a file's code, as a save writes it; *Unwritable (when given) receives what
// the code cannot hold of it.
std::string SjisToBytes(std::string_view Sjis, JCodeKind Code, size_t* Unwritable = nullptr,
                        char JisKanjiOut = 'J') {
  std::string bytes;
  TSjisEncoder encoder(
      Code, [&bytes](std::string_view B) { bytes += B; }, JisKanjiOut);
  encoder.Convert(Sjis);
  encoder.Finish();
  if (Unwritable) *Unwritable = encoder.Unwritable();
  return bytes;
}

// A file that is UTF-8 all through is read as UTF-8 wherever its first character beyond ASCII
// comes (detection looks at the start only), and written back byte for byte; a text that is not
// UTF-8 keeps the code detection found.
TEST(JConvFiles, UTF8PastTheDetectionWindowIsUtf8) {
  const std::string header(700, '#');
  const std::string nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
  const struct {
    const char* Name;
    std::string Bytes;
    JCodeKind Code;
    std::string Sjis;
  } rows[] = {
      {"a long header, then UTF-8", header + "\nprint(\"" + nihongo + "\")\n", jcUtf8,
       header + "\nprint(\"\x93\xfa\x96\x7b\x8c\xea\")\n"},
      {"two-byte UTF-8 at the start", "caf\xC3\xA9 \xC2\xA9", jcUtf8, "caf? ?"},
      {"Shift-JIS after the header", header + "\x93\xfa\x96\x7b", jcSjis,
       header + "\x93\xfa\x96\x7b"},
      {"UTF-8, then a stray byte", header + nihongo + "\xFE", jcSjis, header + nihongo + "\xFE"},
      {"UTF-8 cut at the end", header + nihongo.substr(0, 4), jcSjis,
       header + nihongo.substr(0, 4)},
      {"an overlong form", header + "\xC0\xAF", jcEucOrSjis, header + "\xC0\xAF"},
      {"ASCII", header, jcAscii, header},
      {"EUC-JP", header + "\xC6\xFC\xCB\xDC", jcEuc, header + "\x93\xfa\x96\x7b"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    JCodeKind code = jcBinary;
    EXPECT_EQ(BytesToSjis(r.Bytes, &code), r.Sjis);
    EXPECT_EQ(code, r.Code);
    if (r.Sjis.find('?') == std::string::npos) {
      EXPECT_EQ(SjisToBytes(r.Sjis, code), r.Bytes);
    }
  }
}

// Any run of whole characters after any ASCII prefix: its UTF-8 reads back as UTF-8.
TEST(JConvFiles, UTF8AfterAnyPrefixRoundTrips) {
  std::vector<std::string> chars;  // JIS X 0208, half-width katakana, ASCII and breaks
  const std::string all = Jis0208() + HalfKana();
  for (size_t i = 0; i < all.size(); i += chars.back().size())
    chars.push_back(all.substr(i, IsDBCSLeadByte(all[i]) ? 2 : 1));
  for (size_t prefix : {0, 1, 511, 512, 513, 4000}) {
    for (size_t at = 0; at + 30 < chars.size(); at += chars.size() / 9) {
      SCOPED_TRACE(testing::Message() << "prefix " << prefix << " at " << at);
      std::string sjis(prefix, 'x');
      for (size_t k = at; k < at + 30; ++k) sjis += chars[k];
      const std::string utf8 = SjisToUtf8(sjis);
      JCodeKind code = jcBinary;
      EXPECT_EQ(BytesToSjis(utf8, &code), sjis);
      EXPECT_EQ(code, utf8.size() == sjis.size() ? jcAscii : jcUtf8);
      EXPECT_EQ(SjisToBytes(sjis, code), utf8);
    }
  }
}

// A file whose last character is cut: the cut character reads as one counted '?' (so the window
// warns and a save asks first), and an unedited save writes back what was read. A cut escape
// is read as it stands; JIS cannot write it back, so the save counts it.
TEST(JConvFiles, ACutLastCharacterReadsAsOneCountedQuestionMark) {
  std::string utf8, sjis;  // past the window detection looks at
  for (int k = 0; k < 200; ++k) utf8 += "\xE6\x97\xA5", sjis += "\x93\xFA";
  const struct {
    const char* Name;
    std::string Bytes;
    JCodeKind Code;
    std::string Sjis;
    size_t Substituted;
    std::string Saved;
    size_t Unwritable = 0;
  } rows[] = {
      {"EUC-JP: a kanji, then a lead byte", "\xB0\xF0\xA4", jcEuc, "\x88\xEE?", 1, "\xB0\xF0?"},
      {"EUC-JP: cut in a three-byte character", "\xB0\xF0\x8F\xA1", jcEuc, "\x88\xEE?", 1,
       "\xB0\xF0?"},
      {"EUC-JP: a lone 8F", "\xB0\xF0\x8F", jcEuc, "\x88\xEE?", 1, "\xB0\xF0?"},
      {"EUC-JP: a lone 8E", "\xB0\xF0\x8E", jcEuc, "\x88\xEE?", 1, "\xB0\xF0?"},
      {"EUC-JP: whole", "\xB0\xF0\xA4\xA2", jcEuc, "\x88\xEE\x82\xA0", 0, "\xB0\xF0\xA4\xA2"},
      {"JIS: cut in a pair", "\x1B$B\x30\x70\x34", jcJisB, "\x88\xEE?", 1, "\x1B$B\x30\x70\x1B(J?"},
      {"JIS: a pair cut by the shift back", "\x1B$B\x30\x70\x34\x1B(B\n", jcJisB, "\x88\xEE?\n", 1,
       "\x1B$B\x30\x70\x1B(B?\n"},
      {"JIS: a high byte alone in a shift", "\x1B$B\x30\x70\x85", jcJisB, "\x88\xEE?", 1,
       "\x1B$B\x30\x70\x1B(J?"},
      {"JIS: cut in an escape, kept as read and counted as saved", "\x1B$B\x30\x70\x1B(B\x61\x1B$",
       jcJisB, "\x88\xEE\x61\x1B$", 0, "\x1B$B\x30\x70\x1B(B\x61?$", 1},
      {"JIS: no shift back, the same text", "\x1B$B\x30\x70", jcJisB, "\x88\xEE", 0,
       "\x1B$B\x30\x70\x1B(J"},
      {"UTF-8 with mark: cut after two bytes", "\xEF\xBB\xBF\x61\xE6\x97", jcUtf8Bom, "a?", 1,
       "\xEF\xBB\xBF\x61?"},
      {"UTF-8 with mark: a lone lead byte", "\xEF\xBB\xBF\x61\xE6", jcUtf8Bom, "a?", 1,
       "\xEF\xBB\xBF\x61?"},
      {"UTF-8 cut in the window: not UTF-8, kept", "a\xE6\x97\xA5\xE6\x97", jcSjis,
       "a\xE6\x97\xA5\xE6\x97", 0, "a\xE6\x97\xA5\xE6\x97"},
      {"UTF-8 cut past the window", utf8 + "\xE6\x97", jcUtf8, sjis + "?", 1, utf8 + "?"},
      {"UTF-16LE: an odd last byte", std::string("\xFF\xFE\x61\0\x42", 5), jcUtf16LE, "a?", 1,
       std::string("\xFF\xFE\x61\0?\0", 6)},
      {"UTF-16LE: a lone high surrogate", std::string("\xFF\xFE\x61\0\x3D\xD8", 6), jcUtf16LE, "a?",
       1, std::string("\xFF\xFE\x61\0?\0", 6)},
      {"UTF-16BE: an odd last byte", std::string("\xFE\xFF\0a\x30", 5), jcUtf16BE, "a?", 1,
       std::string("\xFE\xFF\0a\0?", 6)},
      {"UTF-16BE: a lone high surrogate", std::string("\xFE\xFF\0a\xD8\x3D", 6), jcUtf16BE, "a?", 1,
       std::string("\xFE\xFF\0a\0?", 6)},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(r.Name);
    JCodeKind code = jcBinary;
    size_t substituted = 0, unwritable = 0;
    char kanjiOut = 'J';
    const std::string read = BytesToSjis(r.Bytes, &code, &substituted, &kanjiOut);
    EXPECT_EQ(read, r.Sjis);
    EXPECT_EQ(code, r.Code);
    EXPECT_EQ(substituted, r.Substituted);
    const std::string saved = SjisToBytes(read, code, &unwritable, kanjiOut);
    EXPECT_EQ(saved, r.Saved);
    EXPECT_EQ(unwritable, r.Unwritable);
    if (r.Unwritable == 0) {
      EXPECT_EQ(BytesToSjis(saved), read);  // the saved file reads as the text that was saved
    }
  }
}

// Shift-JIS text whose last character is cut (a lead byte without its trail), saved in each
// code: the byte counts as unwritable, so the save asks first.
TEST(JConvFiles, ALoneLeadByteAtTheEndCountsAsUnwritable) {
  const struct {
    JCodeKind Code;
    std::string Sjis, Saved, ReadBack;
  } rows[] = {
      {jcEuc, "a\x82", "a?", "a?"},
      {jcEuc, "\x88\xEE\x82", "\xB0\xF0?", "\x88\xEE?"},
      {jcEuc, "a\xFC", "a?", "a?"},  // a lead byte of no EUC-JP form
      {jcJisB, "a\x82", "a\x82", "a\x82"},
      {jcJisB, "\x88\xEE\x82", "\x1B$B\x30\x70\x1B(J\x82", "\x88\xEE\x82"},
      {jcJisAt, "\x88\xEE\x82", "\x1B$@\x30\x70\x1B(J\x82", "\x88\xEE\x82"},
      {jcUtf8, "a\x82", "a\xE3\x83\xBB", "a\x81\x45"},
      {jcUtf8Bom, "a\x82", "\xEF\xBB\xBF\x61\xE3\x83\xBB", "a\x81\x45"},
      {jcUtf16LE, "a\x82", std::string("\xFF\xFE\x61\0\xFB\x30", 6), "a\x81\x45"},
      {jcUtf16BE, "a\x82", std::string("\xFE\xFF\0a\x30\xFB", 6), "a\x81\x45"},
  };
  for (const auto& r : rows) {
    SCOPED_TRACE(testing::Message() << "code " << r.Code << " " << testing::PrintToString(r.Sjis));
    size_t unwritable = 0;
    EXPECT_EQ(SjisToBytes(r.Sjis, r.Code, &unwritable), r.Saved);
    EXPECT_EQ(unwritable, 1u);
    EXPECT_EQ(BytesToSjis(r.Saved), r.ReadBack);
  }
}

// A JIS save read back: each line whose characters JIS can hold comes back byte for byte,
// whatever the lines around it hold, and the save counts every character of the others. An ESC
// of the text's own is one it cannot hold: written as it is, a reader would take it and the bytes
// after it for a shift, and the text that follows for kanji.
TEST(JConvFiles, JisKeepsEveryLineItCanHold) {
  size_t unwritable = 0;
  EXPECT_EQ(SjisToBytes("\x1B$B\n", jcJisB, &unwritable), "?$B\n");
  EXPECT_EQ(unwritable, 1u);
  EXPECT_EQ(BytesToSjis("?$B\n"), "?$B\n");

  static const char* const kPieces[] = {"a",    "\x1B", "$",        "(",        "B",
                                        "J",    "@",    "\x88\x9F", "\x82\xA0", "\xB6\xDE",
                                        "\xB1", "\x81", "\xF0\x40", "\x80"};
  std::mt19937 rng(4099);
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::string> lines(1 + rng() % 4);
    for (std::string& line : lines)
      for (size_t n = rng() % 6; n > 0; --n) line += kPieces[rng() % std::size(kPieces)];
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    for (const auto& [code, kanjiOut] : {std::pair{jcJisB, 'B'}, std::pair{jcJisAt, 'J'}}) {
      SCOPED_TRACE(testing::Message() << "code " << code << " " << testing::PrintToString(text));
      const std::string back = JisToSjis(SjisToBytes(text, code, &unwritable, kanjiOut));
      size_t counted = 0, at = 0;
      for (const std::string& line : lines) {
        size_t inLine = 0;
        SjisToJis(line, &inLine);
        counted += inLine;
        const size_t end = back.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        if (inLine == 0) {
          EXPECT_EQ(back.substr(at, end - at), line);
        }
        at = end + 1;
      }
      EXPECT_EQ(at, back.size());
      EXPECT_EQ(unwritable, counted);
    }
  }
}

// Text made of every kind of character the encoder holds back, cut at every seam between two
// pieces and at every place across a seam of the encoder's blocks: the same bytes and count as
// the whole text converted at once. Only the real end of the text is an end.
TEST(JConv, TheEncoderKeepsACharacterWholeAtEverySeam) {
  const std::string text =
      "\x88\xEE\xB6\xDE\xCA\xDF\xB3\xDE\xB1\xFA\x5C\x82\xA0\x82\n\x81\x82\xB6\x82";
  for (const auto& [code, whole] : kWholeConversions) {
    SCOPED_TRACE(testing::Message() << "code " << code);
    size_t wholeCount = 0;
    const std::string want = whole(text, &wholeCount);
    for (size_t cut = 0; cut <= text.size(); ++cut) {
      std::string out;
      TSjisEncoder e(code, [&out](std::string_view B) { out += B; });
      e.Convert(std::string_view(text).substr(0, cut));
      e.Convert(std::string_view(text).substr(cut));
      e.Finish();
      EXPECT_EQ(out, want) << "cut at " << cut;
      EXPECT_EQ(e.Unwritable(), wholeCount) << "cut at " << cut;
    }
    for (size_t before = 1; before <= text.size(); ++before) {
      const std::string long_ = std::string(TSjisEncoder::kBlock - before, 'a') + text;
      size_t count = 0, blocksCount = 0;
      EXPECT_EQ(SjisToBytes(long_, code, &blocksCount), whole(long_, &count))
          << before << " bytes before the seam";
      EXPECT_EQ(blocksCount, count);
    }
  }
}

// Whole characters in each code, cut after every byte: the tool reads the characters before the
// cut and reports the cut one; the conversion reads the same characters and one counted '?'.
TEST(JConvOracle, ACutCharacterIsWhatTheToolDropsAndOneQuestionMark) {
  RID_NEED_TOOL("iconv", "libc-bin");
  // 日本a表ｱ CR LF あ and the ideographic space; JIS has no half-width katakana.
  const std::string sjis =
      "\x93\xFA\x96\x7B"
      "a\x95\x5C\xB1\r\n\x82\xA0\x81\x40";
  std::string noKana = sjis;
  noKana.erase(noKana.find('\xB1'), 1);
  const struct {
    const char* Code;  // iconv's name
    std::string Sjis;
    TWhole Decode;
  } rows[] = {
      {"EUC-JP", sjis, [](std::string_view S, size_t* N) { return EucToSjis(S, N); }},
      {"ISO-2022-JP", noKana, [](std::string_view S, size_t* N) { return JisToSjis(S, N); }},
      {"UTF-8", sjis, [](std::string_view S, size_t* N) { return Utf8ToSjis(S, N); }},
      {"UTF-16LE", sjis, [](std::string_view S, size_t* N) { return Utf16ToSjis(S, false, N); }},
      {"UTF-16BE", sjis, [](std::string_view S, size_t* N) { return Utf16ToSjis(S, true, N); }},
  };
  for (const auto& r : rows) {
    const std::string bytes = Tool(std::string("iconv -f CP932 -t ") + r.Code, r.Sjis);
    for (size_t cut = 1; cut <= bytes.size(); ++cut) {
      const std::string head = bytes.substr(0, cut);
      SCOPED_TRACE(testing::Message() << r.Code << " " << testing::PrintToString(head));
      // An escape cut by the end is kept as it was read (the table above).
      const size_t esc = head.rfind('\x1B');
      if (esc != std::string::npos && esc + 3 > cut) continue;
      int exitCode = 0;
      const std::string tool = test::RunTool(
          std::string("iconv -f ") + r.Code + " -t CP932 2>/dev/null", head, &exitCode);
      const bool isCut = exitCode != 0;
      size_t substituted = 0;
      EXPECT_EQ(r.Decode(head, &substituted), tool + (isCut ? "?" : ""));
      EXPECT_EQ(substituted, isCut ? 1u : 0u);
    }
  }
}

}  // namespace
}  // namespace rid
