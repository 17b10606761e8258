#include "platform/Locale.h"

#include <iconv.h>

#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace rid {
namespace {

constexpr char16_t kReplacement = 0xFFFD;  // invalid UTF-8, lone surrogates
constexpr char16_t kSjisDefault = 0x30FB;  // what Windows gives for a bad 932 sequence
constexpr uint16_t kNoCode = 0xFFFF;       // no 932 form (0xFF is never a lead byte)

// ---------------------------------------------------------------------------------------------
// Code page 932 tables

struct SjisTables {
  std::array<char16_t, 256> Single{};  // single bytes (lead bytes hold 0)
  std::vector<char16_t> Pair;          // indexed by lead << 8 | trail; 0 = unassigned
  std::vector<uint16_t> Reverse;       // indexed by UTF-16 unit; byte, pair or kNoCode
};

// Which of several codes of one character Windows writes: the JIS X 0208 code first, then NEC
// row 13, then the IBM extension, and the NEC-selected IBM extension last.
int DuplicateRank(uint16_t Code) {
  const uint8_t lead = Code >> 8;
  if (lead == 0x87) return 1;
  if (lead >= 0xFA) return 2;
  if (lead == 0xED || lead == 0xEE) return 3;
  return 0;
}

// One pair through iconv; 0 when iconv has no single UTF-16 unit for it.
char16_t DecodePairWithIconv(iconv_t Cd, uint8_t Lead, uint8_t Trail) {
  char in[2] = {static_cast<char>(Lead), static_cast<char>(Trail)};
  unsigned char out[8];
  char* inPtr = in;
  size_t inLeft = 2;
  char* outPtr = reinterpret_cast<char*>(out);
  size_t outLeft = sizeof out;
  const size_t r = iconv(Cd, &inPtr, &inLeft, &outPtr, &outLeft);
  iconv(Cd, nullptr, nullptr, nullptr, nullptr);  // clear any state a failure left
  if (r == static_cast<size_t>(-1) || inLeft != 0 || sizeof out - outLeft != 2) return 0;
  return static_cast<char16_t>(out[0] | out[1] << 8);
}

std::unique_ptr<SjisTables> BuildSjisTables() {
  auto t = std::make_unique<SjisTables>();
  t->Pair.assign(0x10000, 0);
  t->Reverse.assign(0x10000, kNoCode);

  // Single bytes as Windows reads them: 0x5C and 0x7E stay ASCII; the bytes iconv rejects map to
  // U+0080 and the private-use U+F8F0-U+F8F3, so they survive a round trip.
  for (int b = 0; b < 0x80; ++b) t->Single[b] = static_cast<char16_t>(b);
  for (int b = 0xA1; b <= 0xDF; ++b) t->Single[b] = static_cast<char16_t>(0xFF61 + b - 0xA1);
  t->Single[0x80] = 0x0080;
  t->Single[0xA0] = 0xF8F0;
  t->Single[0xFD] = 0xF8F1;
  t->Single[0xFE] = 0xF8F2;
  t->Single[0xFF] = 0xF8F3;
  for (int b = 0; b < 256; ++b)
    if (!IsDBCSLeadByte(static_cast<uint8_t>(b)))
      t->Reverse[t->Single[b]] = static_cast<uint16_t>(b);

  // Without iconv's CP932 every pair reads as unassigned; single bytes still work.
  iconv_t cd = iconv_open("UTF-16LE", "CP932");
  if (cd == reinterpret_cast<iconv_t>(-1)) return t;
  for (int lead = 0x81; lead <= 0xFC; ++lead) {
    if (!IsDBCSLeadByte(static_cast<uint8_t>(lead))) continue;
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (!IsDBCSTrailByte(static_cast<uint8_t>(trail))) continue;
      const char16_t c = DecodePairWithIconv(cd, lead, trail);
      if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) continue;
      const uint16_t code = static_cast<uint16_t>(lead << 8 | trail);
      t->Pair[code] = c;
      uint16_t& back = t->Reverse[c];
      if (back == kNoCode || (back > 0xFF && DuplicateRank(code) < DuplicateRank(back)))
        back = code;
    }
  }
  iconv_close(cd);
  return t;
}

const SjisTables& Tables() {
  static const std::unique_ptr<SjisTables> tables = BuildSjisTables();
  return *tables;
}

// Calls Emit(unit, position, length, valid) for each character of 932 text; an unassigned pair
// or a lead byte without a trail byte gives U+30FB and valid = false.
template <typename Sink>
void DecodeSjis(const SjisTables& t, std::string_view Text, Sink&& Emit) {
  const auto* p = reinterpret_cast<const uint8_t*>(Text.data());
  const size_t n = Text.size();
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (!IsDBCSLeadByte(b)) {
      Emit(t.Single[b], i, 1, true);
      ++i;
    } else if (i + 1 < n && IsDBCSTrailByte(p[i + 1])) {
      const char16_t c = t.Pair[b << 8 | p[i + 1]];
      Emit(c ? c : kSjisDefault, i, 2, c != 0);
      i += 2;
    } else {
      Emit(kSjisDefault, i, 1, false);
      ++i;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// UTF-8

// The length of the run of ASCII bytes at the start of [p, End), 16 bytes at a time.
size_t AsciiRun(const uint8_t* p, const uint8_t* End) {
  const uint8_t* q = p;
#ifdef __SSE2__
  for (; End - q >= 16; q += 16) {
    const unsigned high = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(q))));
    if (high) return static_cast<size_t>(q - p) + std::countr_zero(high);
  }
#endif
  while (q < End && *q < 0x80) ++q;
  return static_cast<size_t>(q - p);
}

// The code point of the sequence at p[i], a byte of 0x80 or above, with i moved past it; each
// maximal subpart of an ill-formed sequence gives one U+FFFD.
char32_t DecodeUtf8Char(const uint8_t* p, size_t n, size_t& i) {
  const uint8_t b = p[i];
  int need;
  uint8_t lo = 0x80, hi = 0xBF;
  char32_t cp;
  if (b >= 0xC2 && b <= 0xDF) {
    need = 1, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    need = 2, cp = b & 0x0F;
    if (b == 0xE0) lo = 0xA0;
    if (b == 0xED) hi = 0x9F;  // no surrogates
  } else if (b >= 0xF0 && b <= 0xF4) {
    need = 3, cp = b & 0x07;
    if (b == 0xF0) lo = 0x90;
    if (b == 0xF4) hi = 0x8F;  // nothing above U+10FFFF
  } else {
    ++i;
    return kReplacement;
  }
  size_t k = 1;
  for (; k <= static_cast<size_t>(need); ++k) {
    if (i + k >= n) break;
    const uint8_t c = p[i + k];
    if (c < lo || c > hi) break;
    cp = cp << 6 | (c & 0x3F);
    lo = 0x80, hi = 0xBF;
  }
  i += k;
  return k <= static_cast<size_t>(need) ? char32_t{kReplacement} : cp;
}

// Calls Emit(code point) for each character.
template <typename Sink>
void DecodeUtf8(std::string_view Text, Sink&& Emit) {
  const auto* p = reinterpret_cast<const uint8_t*>(Text.data());
  const size_t n = Text.size();
  for (size_t i = 0; i < n;) {
    if (p[i] < 0x80)
      Emit(static_cast<char32_t>(p[i++]));
    else
      Emit(DecodeUtf8Char(p, n, i));
  }
}

inline char* PutUtf8(char* Out, char32_t Cp) {
  if (Cp < 0x80) {
    *Out++ = static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    *Out++ = static_cast<char>(0xC0 | Cp >> 6);
    *Out++ = static_cast<char>(0x80 | (Cp & 0x3F));
  } else if (Cp < 0x10000) {
    *Out++ = static_cast<char>(0xE0 | Cp >> 12);
    *Out++ = static_cast<char>(0x80 | (Cp >> 6 & 0x3F));
    *Out++ = static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    *Out++ = static_cast<char>(0xF0 | Cp >> 18);
    *Out++ = static_cast<char>(0x80 | (Cp >> 12 & 0x3F));
    *Out++ = static_cast<char>(0x80 | (Cp >> 6 & 0x3F));
    *Out++ = static_cast<char>(0x80 | (Cp & 0x3F));
  }
  return Out;
}

// Appends the 932 form of one BMP unit, or '?' (counted) when it has none.
inline void PutSjis(const SjisTables& t, std::string& Out, char32_t Cp, size_t* UsedDefault) {
  const uint16_t code = Cp < 0x10000 ? t.Reverse[Cp] : kNoCode;
  if (code == kNoCode) {
    Out.push_back('?');
    if (UsedDefault) ++*UsedDefault;
  } else if (code > 0xFF) {
    Out.push_back(static_cast<char>(code >> 8));
    Out.push_back(static_cast<char>(code & 0xFF));
  } else {
    Out.push_back(static_cast<char>(code));
  }
}

bool IsUtf8CodePage(uint32_t CodePage) { return CodePage == CP_UTF8; }

// ---------------------------------------------------------------------------------------------
// LCMapStringA mappings

// Full-width forms of U+FF61-U+FF9D (the half-width kana, from ｡ to ﾝ).
constexpr char16_t kWideKana[] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3};
constexpr char16_t kHalfVoiced = 0xFF9E, kHalfSemiVoiced = 0xFF9F;
constexpr char16_t kWideVoiced = 0x309B, kWideSemiVoiced = 0x309C;

// The katakana whose voiced form is the next code point: カ..ト and ハ..ホ.
bool TakesVoicedMark(char16_t Kana) {
  if (Kana >= 0x30AB && Kana <= 0x30C1) return (Kana - 0x30AB) % 2 == 0;  // カ..チ
  if (Kana >= 0x30C4 && Kana <= 0x30C8) return (Kana - 0x30C4) % 2 == 0;  // ツ テ ト
  return Kana >= 0x30CF && Kana <= 0x30DB && (Kana - 0x30CF) % 3 == 0;    // ハ..ホ
}
bool TakesSemiVoicedMark(char16_t Kana) {
  return Kana >= 0x30CF && Kana <= 0x30DB && (Kana - 0x30CF) % 3 == 0;
}
bool IsVoicedKana(char16_t Kana) { return Kana > 0x30AB && TakesVoicedMark(Kana - 1); }
bool IsSemiVoicedKana(char16_t Kana) { return Kana > 0x30CF && TakesSemiVoicedMark(Kana - 2); }

// Full width of one character, composing a half-width kana with a following voiced mark
// (Next, 0 when none). *Used tells whether Next was taken.
char16_t ToWide(char16_t C, char16_t Next, bool* Used) {
  *Used = false;
  if (C == 0x20) return 0x3000;
  if (C >= 0x21 && C <= 0x7E) return static_cast<char16_t>(C - 0x21 + 0xFF01);
  if (C == kHalfVoiced) return kWideVoiced;
  if (C == kHalfSemiVoiced) return kWideSemiVoiced;
  if (C < 0xFF61 || C > 0xFF9D) return C;
  const char16_t kana = kWideKana[C - 0xFF61];
  if (Next == kHalfVoiced && kana == 0x30A6) return *Used = true, 0x30F4;  // ｳﾞ -> ヴ
  if (Next == kHalfVoiced && TakesVoicedMark(kana)) return *Used = true, kana + 1;
  if (Next == kHalfSemiVoiced && TakesSemiVoicedMark(kana)) return *Used = true, kana + 2;
  return kana;
}

// Half width of one character: up to two units (a voiced kana splits into kana and mark).
std::u16string ToNarrow(char16_t C) {
  if (C == 0x3000) return u" ";
  if (C >= 0xFF01 && C <= 0xFF5E)
    return std::u16string(1, static_cast<char16_t>(C - 0xFF01 + 0x21));
  if (C == kWideVoiced) return std::u16string(1, kHalfVoiced);
  if (C == kWideSemiVoiced) return std::u16string(1, kHalfSemiVoiced);
  char16_t base = C, mark = 0;
  if (C == 0x30F4) {
    base = 0x30A6, mark = kHalfVoiced;
  } else if (IsVoicedKana(C)) {
    base = C - 1, mark = kHalfVoiced;
  } else if (IsSemiVoicedKana(C)) {
    base = C - 2, mark = kHalfSemiVoiced;
  }
  for (size_t i = 0; i < std::size(kWideKana); ++i) {
    if (kWideKana[i] != base) continue;
    std::u16string r(1, static_cast<char16_t>(0xFF61 + i));
    if (mark) r.push_back(mark);
    return r;
  }
  return std::u16string(1, C);
}

char16_t ToKatakana(char16_t C) {
  if (C >= 0x3041 && C <= 0x3093) return C + 0x60;
  if (C == 0x309D || C == 0x309E) return C + 0x60;  // ゝゞ -> ヽヾ
  return C;
}
char16_t ToHiragana(char16_t C) {
  if (C >= 0x30A1 && C <= 0x30F3) return C - 0x60;
  if (C == 0x30FD || C == 0x30FE) return C - 0x60;
  return C;
}

// Simple case mapping of the cased letters code page 932 holds: Latin (half and full width),
// Greek, Cyrillic and the Roman numerals.
char16_t ToUpperUnit(char16_t C) {
  if ((C >= u'a' && C <= u'z') || (C >= 0xFF41 && C <= 0xFF5A)) return C - 0x20;
  if (C >= 0x03B1 && C <= 0x03C9 && C != 0x03C2) return C - 0x20;
  if (C >= 0x0430 && C <= 0x044F) return C - 0x20;
  if (C >= 0x0450 && C <= 0x045F) return C - 0x50;
  if (C >= 0x2170 && C <= 0x217F) return C - 0x10;
  return C;
}
char16_t ToLowerUnit(char16_t C) {
  if ((C >= u'A' && C <= u'Z') || (C >= 0xFF21 && C <= 0xFF3A)) return C + 0x20;
  if (C >= 0x0391 && C <= 0x03A9 && C != 0x03A2) return C + 0x20;
  if (C >= 0x0410 && C <= 0x042F) return C + 0x20;
  if (C >= 0x0400 && C <= 0x040F) return C + 0x50;
  if (C >= 0x2160 && C <= 0x216F) return C + 0x10;
  return C;
}

struct SjisChar {
  char16_t Code;
  size_t Pos, Len;
  bool Valid;
};

// Maps the characters from index I on; returns how many it used and fills Out.
size_t MapOne(const std::vector<SjisChar>& In, size_t I, uint32_t Flags, std::u16string& Out) {
  const char16_t c = In[I].Code;
  size_t used = 1;
  Out.clear();
  if (Flags & LCMAP_FULLWIDTH) {
    const bool nextOk = I + 1 < In.size() && In[I + 1].Valid;
    bool took = false;
    Out.push_back(ToWide(c, nextOk ? In[I + 1].Code : 0, &took));
    if (took) used = 2;
    if (Flags & LCMAP_KATAKANA) Out[0] = ToKatakana(Out[0]);
    if (Flags & LCMAP_HIRAGANA) Out[0] = ToHiragana(Out[0]);
  } else {
    char16_t k = c;
    if (Flags & LCMAP_KATAKANA) k = ToKatakana(k);
    if (Flags & LCMAP_HIRAGANA) k = ToHiragana(k);
    Out = (Flags & LCMAP_HALFWIDTH) ? ToNarrow(k) : std::u16string(1, k);
  }
  for (char16_t& u : Out) {
    if (Flags & LCMAP_UPPERCASE) u = ToUpperUnit(u);
    if (Flags & LCMAP_LOWERCASE) u = ToLowerUnit(u);
  }
  return used;
}

// ---------------------------------------------------------------------------------------------
// Byte-level case

inline uint8_t UpperByte(uint8_t B) { return B >= 'a' && B <= 'z' ? B - 0x20 : B; }
inline uint8_t LowerByte(uint8_t B) { return B >= 'A' && B <= 'Z' ? B + 0x20 : B; }

template <uint8_t (*Fold)(uint8_t)>
void FoldBuffer(char* Text, size_t Length) {
  for (size_t i = 0; i < Length; ++i) {
    const uint8_t b = static_cast<uint8_t>(Text[i]);
    if (SjisCharLength(std::string_view(Text, Length), i) == 2)
      ++i;  // the trail byte may look like a letter
    else
      Text[i] = static_cast<char>(Fold(b));
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

std::u16string MultiByteToWideChar(uint32_t CodePage, std::string_view Text, size_t* Invalid) {
  std::u16string out;
  out.reserve(Text.size());
  if (IsUtf8CodePage(CodePage)) {
    DecodeUtf8(Text, [&](char32_t cp) {
      if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
      } else {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 | cp >> 10));
        out.push_back(static_cast<char16_t>(0xDC00 | (cp & 0x3FF)));
      }
    });
  } else {
    // One unit per byte at most: write in place, then trim.
    out.resize(Text.size());
    char16_t* o = out.data();
    size_t invalid = 0;
    DecodeSjis(Tables(), Text, [&](char16_t c, size_t, size_t, bool valid) {
      *o++ = c;
      invalid += !valid;
    });
    if (Invalid) *Invalid += invalid;
    out.resize(static_cast<size_t>(o - out.data()));
  }
  return out;
}

namespace {

std::string WideToUtf8(std::u16string_view Text) {
  std::string out(Text.size() * 3, '\0');
  char* o = out.data();
  for (size_t i = 0; i < Text.size(); ++i) {
    char32_t cp = Text[i];
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      if (cp <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF) {
        cp = 0x10000 + ((cp - 0xD800) << 10) + (Text[i + 1] - 0xDC00);
        ++i;
      } else {
        cp = kReplacement;
      }
    }
    o = PutUtf8(o, cp);
  }
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

// Writes straight into a buffer of the largest size: this is the save road of every
// UTF-16 and UTF-8 file.
std::string WideToSjis(std::u16string_view Text, size_t* UsedDefault) {
  const SjisTables& t = Tables();
  std::string out(Text.size() * 2, '\0');
  char* o = out.data();
  size_t substituted = 0;
  for (size_t i = 0; i < Text.size(); ++i) {
    const char16_t c = Text[i];
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      continue;
    }
    uint16_t code = t.Reverse[c];
    if (c >= 0xD800 && c <= 0xDFFF) {
      // A surrogate pair is one character outside 932; a lone surrogate is none.
      if (c <= 0xDBFF && i + 1 < Text.size() && Text[i + 1] >= 0xDC00 && Text[i + 1] <= 0xDFFF) ++i;
      code = kNoCode;
    }
    if (code == kNoCode) {
      *o++ = '?';
      ++substituted;
    } else if (code > 0xFF) {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    } else {
      *o++ = static_cast<char>(code);
    }
  }
  if (UsedDefault) *UsedDefault += substituted;
  out.resize(static_cast<size_t>(o - out.data()));
  return out;
}

}  // namespace

std::string WideCharToMultiByte(uint32_t CodePage, std::u16string_view Text, size_t* UsedDefault) {
  return IsUtf8CodePage(CodePage) ? WideToUtf8(Text) : WideToSjis(Text, UsedDefault);
}

std::string SjisToUtf8(std::string_view Sjis, size_t* Invalid) {
  const SjisTables& t = Tables();
  std::string out(Sjis.size() * 3, '\0');
  char* o = out.data();
  const auto* p = reinterpret_cast<const uint8_t*>(Sjis.data());
  const size_t n = Sjis.size();
  size_t i = 0, invalid = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      *o++ = static_cast<char>(b);
      ++i;
    } else if (!IsDBCSLeadByte(b)) {
      o = PutUtf8(o, t.Single[b]);
      ++i;
    } else if (i + 1 < n && IsDBCSTrailByte(p[i + 1])) {
      const char16_t c = t.Pair[b << 8 | p[i + 1]];
      invalid += c == 0;
      o = PutUtf8(o, c ? c : kSjisDefault);
      i += 2;
    } else {
      ++invalid;
      o = PutUtf8(o, kSjisDefault);
      ++i;
    }
  }
  if (Invalid) *Invalid += invalid;
  out.resize(o - out.data());
  return out;
}

namespace {

// Converts the n bytes at p into Out and returns the length written. Out may be p itself: a
// character is read whole before its at most as many bytes are written, never past it.
size_t Utf8ToSjisInto(const uint8_t* p, size_t n, char* Out, size_t* UsedDefault) {
  const SjisTables& t = Tables();
  char* o = Out;
  size_t substituted = 0;
  for (size_t i = 0; i < n;) {
    if (const size_t run = AsciiRun(p + i, p + n)) {
      if (o != reinterpret_cast<const char*>(p + i)) std::memmove(o, p + i, run);
      o += run;
      i += run;
      if (i == n) break;
    }
    const char32_t cp = DecodeUtf8Char(p, n, i);
    const uint16_t code = cp < 0x10000 ? t.Reverse[cp] : kNoCode;
    if (code == kNoCode) {
      *o++ = '?';
      ++substituted;
    } else {
      if (code > 0xFF) *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  if (UsedDefault) *UsedDefault += substituted;
  return static_cast<size_t>(o - Out);
}

}  // namespace

std::string Utf8ToSjis(std::string_view Utf8, size_t* UsedDefault) {
  // Never longer than the input: an ASCII byte stays one byte, a longer sequence becomes at
  // most two, and a bad one a single '?'.
  std::string out(Utf8.size(), '\0');
  out.resize(Utf8ToSjisInto(reinterpret_cast<const uint8_t*>(Utf8.data()), Utf8.size(), out.data(),
                            UsedDefault));
  return out;
}

void Utf8ToSjisInPlace(std::string& Text, size_t* UsedDefault) {
  Text.resize(Utf8ToSjisInto(reinterpret_cast<const uint8_t*>(Text.data()), Text.size(),
                             Text.data(), UsedDefault));
}

bool IsMultiByteUtf8(std::string_view Text) {
  const auto* p = reinterpret_cast<const uint8_t*>(Text.data());
  const size_t n = Text.size();
  bool multiByte = false;
  for (size_t i = AsciiRun(p, p + n); i < n; i += AsciiRun(p + i, p + n)) {
    const size_t start = i;
    // A replacement character that the text spells itself is one; any other marks a bad byte.
    if (DecodeUtf8Char(p, n, i) == kReplacement && Text.substr(start, i - start) != "\xEF\xBF\xBD")
      return false;
    multiByte = true;
  }
  return multiByte;
}

std::string LCMapStringA(std::string_view Text, uint32_t Flags) {
  // Contradicting flags fail on Windows, and the callers then keep the text as it was.
  const bool contradicts = ((Flags & LCMAP_LOWERCASE) && (Flags & LCMAP_UPPERCASE)) ||
                           ((Flags & LCMAP_HALFWIDTH) && (Flags & LCMAP_FULLWIDTH)) ||
                           ((Flags & LCMAP_KATAKANA) && (Flags & LCMAP_HIRAGANA));
  if (contradicts) return std::string(Text);

  const SjisTables& t = Tables();
  std::vector<SjisChar> chars;
  chars.reserve(Text.size());
  DecodeSjis(t, Text, [&](char16_t c, size_t pos, size_t len, bool valid) {
    chars.push_back({c, pos, len, valid});
  });

  std::string out;
  out.reserve(Text.size() + Text.size() / 2);
  std::u16string mapped;
  std::string encoded;
  for (size_t i = 0; i < chars.size();) {
    const SjisChar& first = chars[i];
    if (!first.Valid) {  // bytes with no character are kept, not turned into ・
      out.append(Text.substr(first.Pos, first.Len));
      ++i;
      continue;
    }
    const size_t used = MapOne(chars, i, Flags, mapped);
    bool same = mapped.size() == used;
    for (size_t k = 0; same && k < used; ++k) same = mapped[k] == chars[i + k].Code;
    size_t missing = 0;
    if (!same) {
      encoded.clear();
      for (char16_t u : mapped) PutSjis(t, encoded, u, &missing);
    }
    const size_t end = chars[i + used - 1].Pos + chars[i + used - 1].Len;
    // Unchanged characters keep their own bytes (an NEC-selected code stays as it was), and a
    // result with no 932 form leaves the input as it was.
    if (same || missing)
      out.append(Text.substr(first.Pos, end - first.Pos));
    else
      out.append(encoded);
    i += used;
  }
  return out;
}

void CharUpperBuffA(char* Text, size_t Length) { FoldBuffer<UpperByte>(Text, Length); }
void CharLowerBuffA(char* Text, size_t Length) { FoldBuffer<LowerByte>(Text, Length); }

std::string AnsiUpperCase(std::string_view Text) {
  std::string s(Text);
  CharUpperBuffA(s.data(), s.size());
  return s;
}

std::string AnsiLowerCase(std::string_view Text) {
  std::string s(Text);
  CharLowerBuffA(s.data(), s.size());
  return s;
}

// Folds while it compares, without building copies: each side keeps its own character
// boundaries, so a trail byte is never folded.
int AnsiCompareText(std::string_view A, std::string_view B) {
  const size_t n = std::min(A.size(), B.size());
  bool trailA = false, trailB = false;
  for (size_t i = 0; i < n; ++i) {
    uint8_t x = static_cast<uint8_t>(A[i]), y = static_cast<uint8_t>(B[i]);
    const bool foldA = !trailA && !IsDBCSLeadByte(x), foldB = !trailB && !IsDBCSLeadByte(y);
    trailA = !trailA && IsDBCSLeadByte(x);
    trailB = !trailB && IsDBCSLeadByte(y);
    if (foldA && x >= 'a' && x <= 'z') x -= 'a' - 'A';
    if (foldB && y >= 'a' && y <= 'z') y -= 'a' - 'A';
    if (x != y) return x < y ? -1 : 1;
  }
  return A.size() == B.size() ? 0 : (A.size() < B.size() ? -1 : 1);
}

bool AnsiSameText(std::string_view A, std::string_view B) {
  return A.size() == B.size() && AnsiCompareText(A, B) == 0;
}

bool IsCharUpperA(uint8_t B) { return B >= 'A' && B <= 'Z'; }
bool IsCharLowerA(uint8_t B) { return B >= 'a' && B <= 'z'; }
bool IsCharAlphaA(uint8_t B) {
  return IsCharUpperA(B) || IsCharLowerA(B) || (B >= 0xA6 && B <= 0xDF);
}
bool IsCharAlphaNumericA(uint8_t B) { return IsCharAlphaA(B) || (B >= '0' && B <= '9'); }

}  // namespace rid
