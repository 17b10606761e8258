#include "foundation/JConv.h"

#include <algorithm>
#include <array>
#include <new>
#include <utility>

namespace rid {

namespace {

constexpr char kEsc = 0x1B;

constexpr bool In(uint8_t B, uint8_t Lo, uint8_t Hi) { return B >= Lo && B <= Hi; }

// JIS X 0208 code of the full-width form of each half-width katakana 0xA1-0xDF.
constexpr std::array<uint16_t, 63> kHalfKanaJis = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, 0x2525, 0x2527, 0x2529,
    0x2563, 0x2565, 0x2567, 0x2543, 0x213C, 0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B,
    0x252D, 0x252F, 0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, 0x2541,
    0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, 0x254E, 0x254F, 0x2552, 0x2555,
    0x2558, 0x255B, 0x255E, 0x255F, 0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569,
    0x256A, 0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C};

constexpr uint8_t kVoiced = 0xDE, kSemiVoiced = 0xDF;

// Output written through a pointer into a buffer sized for the worst case.
class Writer {
 public:
  explicit Writer(size_t Capacity) : FOut(Capacity, '\0'), FPos(FOut.data()) {}
  void Put(uint8_t B) { *FPos++ = char(B); }
  void Put(std::string_view Bytes) {
    for (char c : Bytes) *FPos++ = c;
  }
  std::string Take() {
    FOut.resize(size_t(FPos - FOut.data()));
    return std::move(FOut);
  }

 private:
  std::string FOut;
  char* FPos;
};

void Count(size_t* Substituted) {
  if (Substituted) ++*Substituted;
}

// A '?' for bytes that form no character of the result, counted.
void Substitute(Writer& Out, size_t* Substituted) {
  Out.Put('?');
  Count(Substituted);
}

constexpr std::string_view Utf16Mark(bool BigEndian) { return BigEndian ? "\xFE\xFF" : "\xFF\xFE"; }

// The UTF-16 form of S, after the byte-order mark when Mark says so.
std::string Utf16Bytes(std::string_view S, bool BigEndian, size_t* Invalid, bool Mark = true) {
  const std::u16string wide = MultiByteToWideChar(CP_ACP, S, Invalid);
  const size_t start = Mark ? 2 : 0;
  std::string out(start + wide.size() * 2, '\0');
  if (Mark) std::copy_n(Utf16Mark(BigEndian).data(), 2, out.data());
  auto* o = reinterpret_cast<uint8_t*>(out.data() + start);
  for (char16_t u : wide) {
    *o++ = uint8_t(BigEndian ? u >> 8 : u & 0xFF);
    *o++ = uint8_t(BigEndian ? u & 0xFF : u >> 8);
  }
  return out;
}

void WriteTextUtf16(TMemoryStream* Stream, std::string_view S, bool BigEndian) {
  if (!Stream) throw EJCodeError(SInvalidMemoryStream);
  Stream->WriteBuffer(Utf16Bytes(S, BigEndian, nullptr));
}

// The final byte of the first escape of a JIS text back to ASCII ('B') or JIS-Roman ('J'); 'J'
// when it has none.
char FirstKanjiOut(std::string_view Jis) {
  for (size_t at = Jis.find("\x1B("); at != std::string_view::npos; at = Jis.find("\x1B(", at + 2))
    if (at + 2 < Jis.size() && (Jis[at + 2] == 'B' || Jis[at + 2] == 'J')) return Jis[at + 2];
  return 'J';
}

std::string LoadTextUtf16(const std::string& FileName, bool BigEndian, size_t* Substituted) {
  if (FileName.empty()) return {};
  std::string bytes;
  try {
    bytes = LoadBytesFromFile(FileName);  // a regular file only: a FIFO would wait for a writer
  } catch (const EOutOfMemory&) {
    throw EJCodeError(SOutOfMemory);
  } catch (const EReadError&) {
    throw EJCodeError(SOutOfMemory);
  }
  if (bytes.size() <= 2) return {};
  return Utf16ToSjis(std::string_view(bytes).substr(2), BigEndian, Substituted);
}

}  // namespace

void JisToSjisBytes(uint8_t J1, uint8_t J2, uint8_t& S1, uint8_t& S2) {
  S1 = uint8_t(((J1 + 1) >> 1) + (J1 < 0x5F ? 0x70 : 0xB0));
  S2 = uint8_t(J2 + ((J1 & 1) == 0 ? 0x7E : (J2 < 0x60 ? 0x1F : 0x20)));
}

void SjisToJisBytes(uint8_t S1, uint8_t S2, uint8_t& J1, uint8_t& J2) {
  J1 = uint8_t(2 * (S1 - (S1 < 0xA0 ? 0x70 : 0xB0)) - (S2 < 0x9F ? 1 : 0));
  J2 = uint8_t(S2 - (S2 >= 0x9F ? 0x7E : (S2 < 0x80 ? 0x1F : 0x20)));
}

void SjisToEucBytes(uint8_t S1, uint8_t S2, uint8_t& E1, uint8_t& E2) {
  SjisToJisBytes(S1, S2, E1, E2);
  E1 |= 0x80;
  E2 |= 0x80;
}

std::string JisToSjisChar(uint8_t J1, uint8_t J2) {
  uint8_t s1, s2;
  JisToSjisBytes(J1, J2, s1, s2);
  return {char(s1), char(s2)};
}

std::string SjisToJisChar(uint8_t S1, uint8_t S2) {
  uint8_t j1, j2;
  SjisToJisBytes(S1, S2, j1, j2);
  return {char(j1), char(j2)};
}

std::string HalfKanaToJis(std::string_view S, int32_t& Index) {
  if (Index < 1 || size_t(Index) > S.size()) return {};
  const size_t i = size_t(Index - 1);
  const uint8_t b = uint8_t(S[i]);
  uint16_t code = In(b, 0xA1, 0xDF) ? kHalfKanaJis[b - 0xA1] : 0x2129;  // else '？'
  const uint8_t next = i + 1 < S.size() ? uint8_t(S[i + 1]) : 0;
  int32_t used = 1;
  if (next == kVoiced && (In(b, 0xB6, 0xC4) || In(b, 0xCA, 0xCE))) {
    code += 1;
    used = 2;
  } else if (next == kSemiVoiced && In(b, 0xCA, 0xCE)) {
    code += 2;
    used = 2;
  } else if (next == kVoiced && b == 0xB3) {
    code = 0x2574;
    used = 2;
  }
  Index += used;
  return {char(code >> 8), char(code & 0xFF)};
}

std::string JisToSjis(std::string_view S, size_t* Substituted) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  Writer out(n);
  bool shifted = false;
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (b == uint8_t(kEsc)) {
      if (i + 2 >= n) {  // a cut escape
        out.Put(S.substr(i));
        break;
      }
      if (p[i + 1] == '$' || p[i + 1] == '(') {
        shifted = p[i + 1] == '$';
        i += 3;
        continue;
      }
      out.Put(b);  // an escape of no shift passes through
      ++i;
    } else if (shifted && In(b, 0x21, 0x98)) {
      // Only printable pairs: a line break inside a shifted run stays itself. A byte cut from
      // the second of its pair (by a line break, an escape or the end of the text) is no
      // character: taken for ASCII, it would save back as another byte.
      if (i + 1 < n && In(p[i + 1], 0x21, 0x7E)) {
        uint8_t s1, s2;
        JisToSjisBytes(b, p[i + 1], s1, s2);
        out.Put(s1);
        out.Put(s2);
        i += 2;
      } else {
        Substitute(out, Substituted);
        ++i;
      }
    } else {
      out.Put(b);
      ++i;
    }
  }
  return out.Take();
}

namespace {

// SjisToJis from the shift state Shifted, which it leaves as the text ends (not shifted back);
// adds what JIS cannot hold as it is to Unwritable.
std::string SjisToJisFrom(std::string_view S, bool& Shifted, TJisEscapes Escapes,
                          size_t& Unwritable) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  // Each byte gives at most two, plus one escape pair per shifted run of at least one byte.
  Writer out(n * 5 + 3);
  const char kanjiIn[] = {kEsc, '$', Escapes.KanjiIn}, kanjiOut[] = {kEsc, '(', Escapes.KanjiOut};
  const auto shiftIn = [&] {
    if (!Shifted) out.Put(std::string_view(kanjiIn, 3));
    Shifted = true;
  };
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (In(b, 0xA1, 0xDF)) {
      shiftIn();
      int32_t index = int32_t(i + 1);
      out.Put(HalfKanaToJis(S, index));
      Unwritable += size_t(index - 1) - i;  // each half-width byte taken is widened
      i = size_t(index - 1);
    } else if (IsDBCSLeadByte(b) && i + 1 < n && IsDBCSTrailByte(p[i + 1])) {
      shiftIn();
      uint8_t j1, j2;
      SjisToJisBytes(b, p[i + 1], j1, j2);
      Unwritable += !In(j1, 0x21, 0x7E);
      out.Put(j1);
      out.Put(j2);
      i += 2;
    } else {
      // ASCII, line breaks and bytes that form no character go out unshifted, as they are. An
      // escape of the text's own is a '?': a reader takes it for a shift, and the text after it
      // for other characters.
      if (Shifted) out.Put(std::string_view(kanjiOut, 3));
      Shifted = false;
      Unwritable += b >= 0x80 || b == uint8_t(kEsc);
      out.Put(b == uint8_t(kEsc) ? uint8_t('?') : b);
      ++i;
    }
  }
  return out.Take();
}

std::string KanjiOut(TJisEscapes Escapes) { return {kEsc, '(', Escapes.KanjiOut}; }

}  // namespace

std::string SjisToJis(std::string_view S, size_t* Unwritable, TJisEscapes Escapes) {
  bool shifted = false;
  size_t unwritable = 0;
  std::string out = SjisToJisFrom(S, shifted, Escapes, unwritable);
  if (shifted) out += KanjiOut(Escapes);
  if (Unwritable) *Unwritable += unwritable;
  return out;
}

std::string EucToSjis(std::string_view S, size_t* Substituted) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  Writer out(n);
  const auto substitute = [&](size_t Used, size_t& I) {
    Substitute(out, Substituted);
    I += Used;
  };
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      out.Put(b);
      ++i;
    } else if (b == 0x8E || b == 0x8F || In(b, 0xA1, 0xFE)) {
      // Cut by the end of the text: one '?' for the cut character (copied, its bytes would
      // read as other characters), when every byte left could continue it; "8F 41" is a bad
      // byte and an 'A', not the start of one character.
      const size_t len = b == 0x8F ? 3 : 2;
      if (i + len > n &&
          std::all_of(p + i + 1, p + n, [](uint8_t C) { return In(C, 0xA1, 0xFE); })) {
        substitute(n - i, i);
        break;
      }
      const uint8_t c = p[i + 1];
      if (b == 0x8E) {
        if (In(c, 0xA1, 0xDF)) {
          out.Put(c);
          i += 2;
        } else {
          substitute(c >= 0x80 ? 2 : 1, i);  // an ASCII byte after it is kept
        }
      } else if (b == 0x8F) {
        // JIS X 0212 has no Shift-JIS form: one '?' for the whole character.
        substitute(In(c, 0xA1, 0xFE) && In(p[i + 2], 0xA1, 0xFE) ? 3 : 1, i);
      } else if (In(c, 0xA1, 0xFE)) {
        uint8_t s1, s2;
        JisToSjisBytes(b & 0x7F, c & 0x7F, s1, s2);
        out.Put(s1);
        out.Put(s2);
        i += 2;
      } else {
        substitute(1, i);
      }
    } else {
      substitute(1, i);
    }
  }
  return out.Take();
}

std::string SjisToEuc(std::string_view S, size_t* Substituted) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  const size_t n = S.size();
  Writer out(n * 2);
  size_t i = 0;
  while (i < n) {
    const uint8_t b = p[i];
    if (b < 0x80) {
      out.Put(b);
      ++i;
    } else if (In(b, 0xA1, 0xDF)) {
      out.Put(0x8E);
      out.Put(b);
      ++i;
    } else if (IsDBCSLeadByte(b)) {
      const uint8_t c = i + 1 < n ? p[i + 1] : 0;  // none after the end: no trail byte either
      if (!IsDBCSTrailByte(c)) {
        Substitute(out, Substituted);
        ++i;
      } else if (b <= 0xEA) {
        uint8_t e1, e2;
        SjisToEucBytes(b, c, e1, e2);
        out.Put(e1);
        out.Put(e2);
        i += 2;
      } else {
        // User-defined and IBM extension characters: the pair is one character.
        Substitute(out, Substituted);
        i += 2;
      }
    } else {
      Substitute(out, Substituted);
      ++i;
    }
  }
  return out.Take();
}

std::string Utf8BomToSjis(std::string_view S, size_t* Substituted) {
  // Only a mark is dropped: text without one keeps its first bytes.
  if (S.starts_with("\xEF\xBB\xBF")) S.remove_prefix(3);
  return Utf8ToSjis(S, Substituted);
}

std::string SjisToUtf8Bom(std::string_view S, size_t* Invalid) {
  return "\xEF\xBB\xBF" + SjisToUtf8(S, Invalid);
}

std::string Utf16ToSjis(std::string_view Bytes, bool BigEndian, size_t* Substituted) {
  const size_t units = Bytes.size() / 2;
  std::u16string wide(units, u'\0');
  const auto* p = reinterpret_cast<const uint8_t*>(Bytes.data());
  for (size_t k = 0; k < units; ++k) {
    const uint8_t a = p[2 * k], b = p[2 * k + 1];
    wide[k] = char16_t(BigEndian ? (a << 8 | b) : (b << 8 | a));
  }
  std::string out = WideCharToMultiByte(CP_ACP, wide, Substituted);
  if (Bytes.size() % 2 != 0) {
    out += '?';
    Count(Substituted);
  }
  return out;
}

std::string ConvertToUtf16LE(std::string_view S, size_t* Invalid) {
  return Utf16Bytes(S, false, Invalid);
}
std::string ConvertToUtf16BE(std::string_view S, size_t* Invalid) {
  return Utf16Bytes(S, true, Invalid);
}

void WriteTextUtf16LE(TMemoryStream* Stream, std::string_view S) {
  WriteTextUtf16(Stream, S, false);
}
void WriteTextUtf16BE(TMemoryStream* Stream, std::string_view S) {
  WriteTextUtf16(Stream, S, true);
}

void SaveTextUtf16LE(const std::string& FileName, std::string_view S) {
  SaveBytesToFileAtomic(FileName, ConvertToUtf16LE(S));
}
void SaveTextUtf16BE(const std::string& FileName, std::string_view S) {
  SaveBytesToFileAtomic(FileName, ConvertToUtf16BE(S));
}

std::string LoadTextUtf16LE(const std::string& FileName, size_t* Substituted) {
  return LoadTextUtf16(FileName, false, Substituted);
}
std::string LoadTextUtf16BE(const std::string& FileName, size_t* Substituted) {
  return LoadTextUtf16(FileName, true, Substituted);
}

int32_t GetLineBreakKind(std::string_view S) {
  const size_t at = S.find_first_of("\r\n");
  if (at == std::string_view::npos) return -1;
  if (S[at] == '\n') return 1;
  return at + 1 < S.size() && S[at + 1] == '\n' ? 0 : 2;
}

// ---------------------------------------------------------------------------------------------
// TSjisEncoder

namespace {

// A half-width katakana that a following voiced or semi-voiced mark joins in JIS.
constexpr bool TakesMark(uint8_t B) { return B == 0xB3 || In(B, 0xB6, 0xC4) || In(B, 0xCA, 0xCE); }

// The bytes at P that are converted together, 0 when the N bytes there may cut them: a lead
// byte with the byte after it (its trail or not), a half-width katakana with the mark JIS joins
// to it, else one byte. A lead byte waits for the next piece: only the end of the whole text
// makes it a character cut short.
size_t CharLength(const uint8_t* P, size_t N) {
  if (!IsDBCSLeadByte(P[0]) && !TakesMark(P[0])) return 1;
  if (N < 2) return 0;
  if (IsDBCSLeadByte(P[0])) return 2;
  return P[1] == kVoiced || P[1] == kSemiVoiced ? 2 : 1;
}

// The length of the whole characters at the start of S, which starts a character: all of it
// but a last byte that may begin a character of two. A character ends after the last byte that
// is neither a lead byte nor a katakana a mark may join (it is a byte of its own, a trail byte,
// or a mark), so only the bytes after it are walked.
size_t WholeLength(std::string_view S) {
  const auto* p = reinterpret_cast<const uint8_t*>(S.data());
  size_t i = S.size();
  while (i > 0 && (IsDBCSLeadByte(p[i - 1]) || TakesMark(p[i - 1]))) --i;
  while (i < S.size()) {
    const size_t n = CharLength(p + i, S.size() - i);
    if (n == 0) break;
    i += n;
  }
  return i;
}

}  // namespace

void TSjisEncoder::Convert(std::string_view Piece) {
  if (Piece.empty()) return;
  if (!FWaiting.empty()) {
    // The byte that waited and the next one: converted together, or one after the other.
    const char pair[2] = {FWaiting[0], Piece[0]};
    const size_t n = CharLength(reinterpret_cast<const uint8_t*>(pair), 2);
    FWaiting.clear();
    ConvertWhole(std::string_view(pair, n));
    Piece.remove_prefix(n - 1);
  }
  while (!Piece.empty()) {
    const std::string_view block = Piece.substr(0, kBlock);
    const size_t whole = WholeLength(block);
    if (whole == 0) {  // the piece's last byte
      FWaiting = block;
      return;
    }
    ConvertWhole(block.substr(0, whole));
    Piece.remove_prefix(whole);
  }
}

void TSjisEncoder::Finish() {
  if (!FWaiting.empty()) ConvertWhole(std::exchange(FWaiting, {}));
  PutMark();
  if (FShifted) Put(KanjiOut(FJis));
  FShifted = false;
}

void TSjisEncoder::PutMark() {
  if (std::exchange(FStarted, true)) return;
  if (FCode == jcUtf8Bom) Put("\xEF\xBB\xBF");
  if (FCode == jcUtf16LE || FCode == jcUtf16BE) Put(Utf16Mark(FCode == jcUtf16BE));
}

void TSjisEncoder::ConvertWhole(std::string_view Chars) {
  PutMark();
  switch (FCode) {
    case jcJisB:
    case jcJisAt:
      Put(SjisToJisFrom(Chars, FShifted, FJis, FUnwritable));
      break;
    case jcEuc:
      Put(SjisToEuc(Chars, &FUnwritable));
      break;
    case jcUtf8:
    case jcUtf8Bom:
      Put(SjisToUtf8(Chars, &FUnwritable));
      break;
    case jcUtf16LE:
    case jcUtf16BE:
      Put(Utf16Bytes(Chars, FCode == jcUtf16BE, &FUnwritable, false));
      break;
    default:  // !Converts(FCode)
      Put(Chars);
      break;
  }
}

std::string BytesToSjis(std::string Bytes, JCodeKind* Code, size_t* Substituted,
                        char* JisKanjiOut) {
  JCodeKind code = DetectCharCode(Bytes);
  // Detection looks for UTF-8 near the start only: a file that is UTF-8 all through is one, also
  // when its first character beyond ASCII comes late (after an English licence header).
  if ((code == jcSjis || code == jcEucOrSjis || code == jcAscii) && IsMultiByteUtf8(Bytes))
    code = jcUtf8;
  if (Code) *Code = code;
  switch (code) {
    case jcJisB:
    case jcJisAt:
      if (JisKanjiOut) *JisKanjiOut = FirstKanjiOut(Bytes);
      return JisToSjis(Bytes, Substituted);
    case jcEuc:
      return EucToSjis(Bytes, Substituted);
    case jcUtf8Bom:
      Bytes.erase(0, 3);  // the mark
      [[fallthrough]];
    case jcUtf8:
      Utf8ToSjisInPlace(Bytes, Substituted);
      return Bytes;
    case jcUtf16LE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), false, Substituted);
    case jcUtf16BE:
      return Utf16ToSjis(std::string_view(Bytes).substr(2), true, Substituted);
    default:
      return Bytes;  // already Shift-JIS: moved out, not copied
  }
}

}  // namespace rid
