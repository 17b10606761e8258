#include "platform/Locale.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <algorithm>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace rid {
namespace {

// One iconv converter reused for many short inputs; nullopt when iconv rejects the input.
class Iconv {
 public:
  Iconv(const char* To, const char* From) : FCd(iconv_open(To, From)) {}
  ~Iconv() {
    if (Ok()) iconv_close(FCd);
  }
  bool Ok() const { return FCd != reinterpret_cast<iconv_t>(-1); }
  std::optional<std::string> Convert(std::string_view In) {
    std::string in(In), out(In.size() * 4 + 8, '\0');
    char* ip = in.data();
    char* op = out.data();
    size_t il = in.size(), ol = out.size();
    const size_t r = iconv(FCd, &ip, &il, &op, &ol);
    iconv(FCd, nullptr, nullptr, nullptr, nullptr);
    if (r == static_cast<size_t>(-1) || il != 0) return std::nullopt;
    out.resize(out.size() - ol);
    return out;
  }

 private:
  iconv_t FCd;
};

std::string Utf16LeBytes(std::u16string_view S) {
  std::string r;
  for (char16_t c : S) r += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return r;
}
std::u16string FromUtf16LeBytes(std::string_view B) {
  std::u16string r;
  for (size_t i = 0; i + 1 < B.size(); i += 2)
    r.push_back(
        static_cast<char16_t>(static_cast<uint8_t>(B[i]) | static_cast<uint8_t>(B[i + 1]) << 8));
  return r;
}

std::u16string Wide(std::string_view Sjis) { return MultiByteToWideChar(CP_SJIS, Sjis); }
std::string Narrow(std::u16string_view W, size_t* Used = nullptr) {
  return WideCharToMultiByte(CP_SJIS, W, Used);
}

// ---------------------------------------------------------------------------------------------
// Code page 932 against iconv

// Well-formed UTF-8 with a character beyond ASCII is what iconv reads without complaint, holding
// a byte of 80 or up: overlong forms, surrogates, codes past U+10FFFF, stray and cut bytes are
// not; a replacement character written in the text is.
TEST(Locale, MultiByteUtf8IsWhatIconvReads) {
  Iconv check("UTF-32LE", "UTF-8");
  ASSERT_TRUE(check.Ok());
  const char* const pieces[] = {
      "a",        "\xC3\xA9",     "\xE6\x97\xA5",     "\xF0\x9F\x98\x80", "\xEF\xBF\xBD", "\x80",
      "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x97",         "\xFE",         "\xC2"};
  std::mt19937 rng(3);
  for (int round = 0; round < 3000; ++round) {
    std::string s;
    for (int n = rng() % 5; n > 0; --n) s += pieces[rng() % (round % 2 ? 5 : std::size(pieces))];
    const bool high =
        std::any_of(s.begin(), s.end(), [](char C) { return static_cast<uint8_t>(C) >= 0x80; });
    ASSERT_EQ(IsMultiByteUtf8(s), high && check.Convert(s).has_value())
        << testing::PrintToString(s);
  }
}

TEST(Locale, DecodesEveryTwoByteInputAsIconvDoes) {
  Iconv dec("UTF-16LE", "CP932");
  ASSERT_TRUE(dec.Ok());
  int compared = 0, mismatches = 0;
  for (int code = 0; code < 0x10000; ++code) {
    const std::string in{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    const std::u16string ours = Wide(in);
    const auto theirs = dec.Convert(in);
    if (theirs) {
      ++compared;
      if (ours != FromUtf16LeBytes(*theirs) && ++mismatches < 10)
        ADD_FAILURE() << std::hex << "pair " << code;
      continue;
    }
    // What iconv rejects, Windows still reads: a lead byte without a character gives U+30FB
    // (with its second byte when that is a trail byte), and 0x80, 0xA0, 0xFD-0xFF are characters.
    const uint8_t lead = code >> 8, trail = code & 0xFF;
    std::u16string expected;
    if (IsDBCSLeadByte(lead))
      expected = IsDBCSTrailByte(trail) ? u"\u30FB" : u"\u30FB" + Wide(in.substr(1));
    else
      expected = Wide(in.substr(0, 1)) + Wide(in.substr(1));
    if (ours != expected && ++mismatches < 10) ADD_FAILURE() << std::hex << "rejected " << code;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(compared, 30000);  // the tables were really built
}

TEST(Locale, EncodesEveryBmpCharacterAsIconvDoesWithoutBestFit) {
  Iconv enc("CP932", "UTF-16LE"), dec("UTF-16LE", "CP932");
  ASSERT_TRUE(enc.Ok() && dec.Ok());
  int mapped = 0, mismatches = 0;
  for (char32_t u = 0; u < 0x10000; ++u) {
    if (u >= 0xD800 && u <= 0xDFFF) continue;
    const std::u16string w(1, static_cast<char16_t>(u));
    size_t used = 0;
    const std::string ours = Narrow(w, &used);
    const auto theirs = enc.Convert(Utf16LeBytes(w));
    std::optional<std::string> expected;
    // iconv's best-fit answers (U+00A5 to 0x5C and the like) are not a round trip: those give '?'.
    if (theirs && dec.Convert(*theirs) == Utf16LeBytes(w)) expected = *theirs;
    if (u == 0x80) expected = "\x80";
    if (u >= 0xF8F0 && u <= 0xF8F3)
      expected = u == 0xF8F0 ? "\xA0" : std::string(1, 0xFD + (u - 0xF8F1));
    if (expected) ++mapped;
    if ((ours != expected.value_or("?") || used != (expected ? 0u : 1u)) && ++mismatches < 10)
      ADD_FAILURE() << std::hex << "U+" << static_cast<uint32_t>(u);
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(mapped, 9000);
}

TEST(Locale, DuplicateCharactersGetTheCodesWindowsWrites) {
  struct Case {
    char16_t U;
    const char* Sjis;
  };
  const Case cases[] = {
      {0x2252, "\x81\xE0"}, {0x2261, "\x81\xDF"}, {0xFFE2, "\x81\xCA"},  // row 2 over row 13
      {0x2235, "\x81\xE6"}, {0x221A, "\x81\xE3"}, {0x22A5, "\x81\xDB"}, {0x2160, "\x87\x54"},
      {0x2116, "\x87\x82"}, {0x3231, "\x87\x8A"},                        // row 13 over IBM
      {0x2121, "\x87\x84"}, {0x2170, "\xFA\x40"}, {0xFFE4, "\xFA\x55"},  // IBM over NEC-selected
      {0xFF07, "\xFA\x56"}, {0xFF02, "\xFA\x57"}, {0x7E8A, "\xFA\x5C"}, {0x9ED1, "\xFC\x4B"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Narrow(std::u16string(1, c.U)), c.Sjis) << std::hex << static_cast<int>(c.U);
  // Every code still reads as its character.
  EXPECT_EQ(Wide("\x87\x90\xEE\xEF\xED\x40"), u"\u2252\u2170\u7E8A");
}

TEST(Locale, SingleBytesAndUserAreaRoundTrip) {
  const std::string bytes = "\x5C\x7E\x80\xA0\xA1\xDF\xFD\xFE\xFF";
  const std::u16string wide = u"\\~\u0080\uF8F0\uFF61\uFF9F\uF8F1\uF8F2\uF8F3";
  EXPECT_EQ(Wide(bytes), wide);
  EXPECT_EQ(Narrow(wide), bytes);
  EXPECT_EQ(Wide("\xF0\x40\xF9\xFC"), u"\uE000\uE757");
  EXPECT_EQ(Narrow(u"\uE000\uE757"), "\xF0\x40\xF9\xFC");
  EXPECT_EQ(Narrow(u"\uE758"), "?");
}

TEST(Locale, BadShiftJisGivesTheWindowsDefaultCharacter) {
  EXPECT_EQ(Wide("\x81"), u"\u30FB");      // lone lead at the end
  EXPECT_EQ(Wide("\x81 a"), u"\u30FB a");  // bad trail: only the lead is used
  EXPECT_EQ(Wide("\x81\x7F"), u"\u30FB\u007F");
  EXPECT_EQ(Wide("\x81\xFD"), u"\u30FB\uF8F1");
  EXPECT_EQ(Wide(std::string("\x81\0", 2)), std::u16string(u"\u30FB\0", 2));
  EXPECT_EQ(Wide("\x85\x40"
                 "a"),
            u"\u30FBa");  // unassigned pair: both bytes used
  EXPECT_EQ(Wide("\x82\xA0\x81"), u"\u3042\u30FB");
}

TEST(Locale, BadShiftJisIsCountedOnBothRoads) {
  // Lone lead, bad trail, unassigned pair: three stray sequences; 0x80 and 0xA0 read as
  // characters of their own and are not counted.
  const std::string text = std::string("\x81 a\x85\x40\x80\xA0\x82\xA0") + "\x81";
  size_t wide = 0, utf8 = 0;
  MultiByteToWideChar(CP_SJIS, text, &wide);
  SjisToUtf8(text, &utf8);
  EXPECT_EQ(wide, 3u);
  EXPECT_EQ(utf8, 3u);
  SjisToUtf8(std::string("\x82\xA0") + "abc", &utf8);  // clean text adds nothing
  EXPECT_EQ(utf8, 3u);
}

TEST(Locale, CharactersWithoutShiftJisFormBecomeQuestionMarks) {
  size_t used = 0;
  EXPECT_EQ(Narrow(u"a\u00A5b\u203E\u00A6", &used), "a?b??");  // no best fit
  EXPECT_EQ(used, 3u);
  used = 0;
  EXPECT_EQ(Narrow(u"\U0001F600x", &used), "?x");  // a surrogate pair is one character
  EXPECT_EQ(used, 1u);
  used = 0;
  EXPECT_EQ(Narrow(std::u16string{0xD800, u'a', 0xDC00, 0xDBFF}, &used), "?a??");
  EXPECT_EQ(used, 3u);
  EXPECT_EQ(Narrow(u"\u3042\u8868"), "\x82\xA0\x95\x5C");
}

// ---------------------------------------------------------------------------------------------
// UTF-8

TEST(Locale, InvalidUtf8GivesOneReplacementPerMaximalSubpart) {
  struct Case {
    std::string In;
    std::u16string Out;
  };
  const Case cases[] = {
      {"\xC0\xAF", u"\uFFFD\uFFFD"},                      // overlong
      {"\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},            // overlong three-byte
      {"\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},            // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},  // above U+10FFFF
      {"\xF8\x88\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"\xE3\x81", u"\uFFFD"},  // truncated at the end
      {"\xE3\x81"
       "A",
       u"\uFFFDA"},
      {"\xF0\x9F\x98"
       "\xE3\x81\x82",
       u"\uFFFD\u3042"},
      {"\x80\xBF", u"\uFFFD\uFFFD"},
      {"\xFF", u"\uFFFD"},
      {"\xF0\x9F\x98\x80", u"\U0001F600"},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"\xEF\xBF\xBF"
       "\xC2\x80",
       u"\uFFFF\u0080"},
      {std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(MultiByteToWideChar(CP_UTF8, c.In), c.Out) << c.In;
}

TEST(Locale, Utf16ToUtf8ReplacesLoneSurrogates) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, u"a\U0001F600\u3042"), "a\xF0\x9F\x98\x80\xE3\x81\x82");
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, std::u16string{0xDC00, u'b', 0xD800}),
            "\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
}

// The direct roads give what the two-step roads give, on any bytes.
TEST(Locale, DirectConversionsAgreeWithTheWideRoad) {
  std::string noise;
  uint32_t seed = 12345;
  for (int i = 0; i < 200000; ++i) {
    seed = seed * 1103515245 + 12345;
    noise.push_back(static_cast<char>(seed >> 16));
  }
  EXPECT_EQ(SjisToUtf8(noise), WideCharToMultiByte(CP_UTF8, Wide(noise)));
  size_t usedDirect = 0, usedWide = 0;
  EXPECT_EQ(Utf8ToSjis(noise, &usedDirect), Narrow(MultiByteToWideChar(CP_UTF8, noise), &usedWide));
  EXPECT_EQ(usedDirect, usedWide);
  EXPECT_GT(usedDirect, 0u);
  // ASCII runs of every length around the 16-byte steps, between Japanese and bad bytes.
  std::string mixed;
  for (size_t run = 0; run < 70; ++run)
    mixed += std::string(run, static_cast<char>('a' + run % 26)) + "\xE6\x97\xA5" +
             noise.substr(run * 7, run % 5);
  EXPECT_EQ(Utf8ToSjis(mixed), Narrow(MultiByteToWideChar(CP_UTF8, mixed), nullptr));
  for (const std::string& text : {mixed, noise}) {
    std::string inPlace = text;
    size_t used = 0, usedCopy = 0;
    Utf8ToSjisInPlace(inPlace, &used);
    EXPECT_EQ(inPlace, Utf8ToSjis(text, &usedCopy));
    EXPECT_EQ(used, usedCopy);
  }
  // The whole length is converted, embedded zero bytes included.
  EXPECT_EQ(Utf8ToSjis(std::string("\xE8\xA1\xA8\0\xE3\x82\xBD", 7)),
            std::string("\x95\x5C\0\x83\x5C", 5));
  EXPECT_EQ(SjisToUtf8(std::string("\x95\x5C\0\xB1", 4)),
            std::string("\xE8\xA1\xA8\0\xEF\xBD\xB1", 7));
}

// ---------------------------------------------------------------------------------------------
// LCMapStringA

TEST(Locale, LCMapStringMapsThroughUnicodeAsWindows) {
  struct Case {
    const char* In;
    uint32_t Flags;
    const char* Out;
  };
  const Case cases[] = {
      // full width: ASCII, space, half-width kana composed with their voiced marks
      {"\xB6\xDE", LCMAP_FULLWIDTH, "\x83\x4B"},                  // ｶﾞ -> ガ
      {"\xCA\xDF", LCMAP_FULLWIDTH, "\x83\x70"},                  // ﾊﾟ -> パ
      {"\xB3\xDE", LCMAP_FULLWIDTH, "\x83\x94"},                  // ｳﾞ -> ヴ
      {"\xC4\xDE\xC1\xDE", LCMAP_FULLWIDTH, "\x83\x68\x83\x61"},  // ﾄﾞﾁﾞ -> ドヂ
      {"\xDC\xDE", LCMAP_FULLWIDTH, "\x83\x8F\x81\x4A"},  // ﾜﾞ has no composed form in 932
      {"\xB1\xDF", LCMAP_FULLWIDTH, "\x83\x41\x81\x4B"},  // ｱﾟ -> ア゜
      {"\xA1\xA5\xB0", LCMAP_FULLWIDTH, "\x81\x42\x81\x45\x81\x5B"},
      {"a-b:c", LCMAP_FULLWIDTH, "\x82\x81\x81\x7C\x82\x82\x81\x46\x82\x83"},
      {" \\~", LCMAP_FULLWIDTH, "\x81\x40\x81\x5F\x81\x60"},
      {"\"'", LCMAP_FULLWIDTH, "\xFA\x57\xFA\x56"},
      {"\xB6\xDE", LCMAP_FULLWIDTH | LCMAP_HIRAGANA, "\x82\xAA"},  // ｶﾞ -> が
      // half width: the inverse, voiced kana split
      {"\x83\x4B", LCMAP_HALFWIDTH, "\xB6\xDE"},
      {"\x83\x70\x83\x94", LCMAP_HALFWIDTH, "\xCA\xDF\xB3\xDE"},
      {"\x82\x60\x81\x40\x81\x5F", LCMAP_HALFWIDTH, "A \\"},
      {"\x81\x8F\x83\x96\x82\xA0", LCMAP_HALFWIDTH, "\x81\x8F\x83\x96\x82\xA0"},  // ￥ヶあ stay
      {"\x82\xA0", LCMAP_HALFWIDTH | LCMAP_KATAKANA, "\xB1"},
      // case, also of full-width, Greek, Cyrillic letters and Roman numerals
      {"\x82\x60"
       "Ab",
       LCMAP_LOWERCASE,
       "\x82\x81"
       "ab"},
      {"\x82\x81"
       "aB",
       LCMAP_UPPERCASE,
       "\x82\x60"
       "AB"},
      {"\x83\x9F\x84\x40\x84\x46", LCMAP_LOWERCASE, "\x83\xBF\x84\x70\x84\x76"},
      {"\x87\x54", LCMAP_LOWERCASE, "\xFA\x40"},
      {"\xFA\x40", LCMAP_UPPERCASE, "\x87\x54"},
      // katakana and hiragana
      {"\x83\x41\x83\x4B\x81\x52", LCMAP_HIRAGANA, "\x82\xA0\x82\xAA\x81\x54"},
      {"\x82\xA0\x82\xAA\x81\x54", LCMAP_KATAKANA, "\x83\x41\x83\x4B\x81\x52"},
      {"\x83\x94\x83\x95", LCMAP_HIRAGANA, "\x83\x94\x83\x95"},  // ヴヵ have no hiragana in 932
      // trail bytes that look like ASCII are never mapped on their own
      {"\x95\x5C\x83\x5C"
       "a",
       LCMAP_UPPERCASE,
       "\x95\x5C\x83\x5C"
       "A"},
      {"\x83\x41", LCMAP_LOWERCASE, "\x83\x41"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(LCMapStringA(c.In, c.Flags), c.Out) << c.In << " flags " << std::hex << c.Flags;
}

TEST(Locale, LCMapStringKeepsBytesItCannotImprove) {
  // Unassigned pairs and a lone lead byte stay, rather than becoming ・.
  EXPECT_EQ(LCMapStringA("\x85\x40"
                         "a\x81",
                         LCMAP_UPPERCASE),
            "\x85\x40"
            "A\x81");
  EXPECT_EQ(LCMapStringA("\xB6\x85\x40", LCMAP_FULLWIDTH), "\x83\x4A\x85\x40");
  // An unchanged NEC-selected character keeps its own code.
  EXPECT_EQ(LCMapStringA("\xEE\xEF", LCMAP_LOWERCASE), "\xEE\xEF");
  EXPECT_EQ(LCMapStringA("\xEE\xEF", LCMAP_UPPERCASE), "\x87\x54");
  // Contradicting flags fail on Windows: the text is kept.
  EXPECT_EQ(LCMapStringA("aB", LCMAP_LOWERCASE | LCMAP_UPPERCASE), "aB");
  EXPECT_EQ(LCMapStringA("\xB1", LCMAP_HALFWIDTH | LCMAP_FULLWIDTH), "\xB1");
  EXPECT_EQ(LCMapStringA("", LCMAP_FULLWIDTH), "");
  EXPECT_EQ(LCMapStringA(std::string("a\0b", 3), LCMAP_UPPERCASE), std::string("A\0B", 3));
}

// ---------------------------------------------------------------------------------------------
// Byte-level case and classes

TEST(Locale, ByteCaseRoutinesNeverTouchDoubleByteCharacters) {
  // 表 95 5C, ソ 83 5C, ａ 82 81, ア 83 41 (trail 'A'), ヂ 83 61 (trail 'a')
  const std::string text =
      "\x95\x5C\x83\x5C\x82\x81\x83\x41\x83\x61"
      "aZ";
  EXPECT_EQ(AnsiUpperCase(text),
            "\x95\x5C\x83\x5C\x82\x81\x83\x41\x83\x61"
            "AZ");
  EXPECT_EQ(AnsiLowerCase(text),
            "\x95\x5C\x83\x5C\x82\x81\x83\x41\x83\x61"
            "az");
  std::string buf =
      "a\x83"
      "ab\x83";
  CharUpperBuffA(buf.data(), buf.size());
  EXPECT_EQ(buf,
            "A\x83"
            "aB\x83");
  CharLowerBuffA(buf.data(), 1);
  EXPECT_EQ(buf,
            "a\x83"
            "aB\x83");
  // A lead byte before a byte that cannot trail it is a character of its own, at a line end too,
  // and every byte stays where it was.
  EXPECT_EQ(AnsiUpperCase("\x83 a\x83\r\nb\x83\tc\x83"), "\x83 A\x83\r\nB\x83\tC\x83");
  EXPECT_EQ(AnsiLowerCase("\x83 A\x83\x41\x83\x61Z"), "\x83 a\x83\x41\x83\x61z");
  std::string lone = "\x83";
  CharUpperBuffA(lone.data(), lone.size());
  EXPECT_EQ(lone, "\x83");
}

TEST(Locale, AnsiCompareTextFoldsOnlyAsciiLetters) {
  EXPECT_EQ(AnsiCompareText("Perl", "pERL"), 0);
  EXPECT_LT(AnsiCompareText("a", "B"), 0);
  EXPECT_GT(AnsiCompareText("b", "A"), 0);
  EXPECT_LT(AnsiCompareText("ab", "ABC"), 0);
  EXPECT_GT(AnsiCompareText("\xB1", "z"), 0);  // bytes compare unsigned
  EXPECT_NE(AnsiCompareText("\x83\x41", "\x83\x61"), 0);
  EXPECT_TRUE(
      AnsiSameText("\x95\x5C"
                   "Ab",
                   "\x95\x5C"
                   "aB"));
  EXPECT_FALSE(AnsiSameText("\x83\x41", "\x83\x61"));
  EXPECT_FALSE(AnsiSameText("a", "a "));
}

TEST(Locale, SingleByteCharacterClasses) {
  EXPECT_TRUE(IsCharAlphaA('a') && IsCharAlphaA('Z') && IsCharAlphaA(0xB1) && IsCharAlphaA(0xA6));
  EXPECT_FALSE(IsCharAlphaA('1') || IsCharAlphaA('_') || IsCharAlphaA(0xA5) || IsCharAlphaA(0x81));
  EXPECT_TRUE(IsCharAlphaNumericA('7') && IsCharAlphaNumericA('q'));
  EXPECT_FALSE(IsCharAlphaNumericA(' '));
  EXPECT_TRUE(IsCharUpperA('Q') && IsCharLowerA('q'));
  EXPECT_FALSE(IsCharUpperA('q') || IsCharLowerA('Q') || IsCharUpperA(0xB1) || IsCharLowerA(0xB1));
  EXPECT_TRUE(IsDBCSLeadByte(uint8_t{0x81}) && IsDBCSLeadByte(uint8_t{0xFC}));
  EXPECT_FALSE(IsDBCSLeadByte(uint8_t{0xA0}) || IsDBCSLeadByte(uint8_t{0xFD}));
}

}  // namespace
}  // namespace rid
