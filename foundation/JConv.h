#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "foundation/JCode.h"
#include "platform/Classes.h"
#include "platform/Locale.h"

namespace rid {

// Raised by the conversions with the messages below (code page 932 text).
class EJCodeError : public Exception {
 public:
  using Exception::Exception;
};

// "UTF8の文字列変換に失敗しました."
inline constexpr const char* SUtf8ConvertError =
    "UTF8\x82\xCC\x95\xB6\x8E\x9A\x97\xF1\x95\xCF\x8A\xB7\x82\xC9\x8E\xB8\x94\x73\x82\xB5\x82\xDC"
    "\x82\xB5\x82\xBD.";
// "無効なMemoryStream."
inline constexpr const char* SInvalidMemoryStream = "\x96\xB3\x8C\xF8\x82\xC8MemoryStream.";
// "メモリを確保出来ませんでした."
inline constexpr const char* SOutOfMemory =
    "\x83\x81\x83\x82\x83\x8A\x82\xF0\x8A\x6D\x95\xDB\x8F\x6F\x97\x88\x82\xDC\x82\xB9\x82\xF1\x82"
    "\xC5\x82\xB5\x82\xBD.";

// Double-byte arithmetic between JIS X 0208 rows and Shift-JIS; EUC-JP is JIS with the high bits.
void JisToSjisBytes(uint8_t J1, uint8_t J2, uint8_t& S1, uint8_t& S2);
void SjisToJisBytes(uint8_t S1, uint8_t S2, uint8_t& J1, uint8_t& J2);
void SjisToEucBytes(uint8_t S1, uint8_t S2, uint8_t& E1, uint8_t& E2);
std::string JisToSjisChar(uint8_t J1, uint8_t J2);
std::string SjisToJisChar(uint8_t S1, uint8_t S2);
// The JIS code of the full-width form of the half-width katakana at S[Index] (1-based), merged
// with a following voiced or semi-voiced mark; Index moves past the bytes consumed. An Index
// outside S gives an empty string and stays.
std::string HalfKanaToJis(std::string_view S, int32_t& Index);

// The conversions to Shift-JIS (and to EUC-JP) write '?' for what has no form there and add the
// number written to *Substituted (when given), so that a caller can warn before saving over the
// original file; a save that converts line by line sums over its lines.
// A character cut off by the end of the text (or by a byte that cannot continue it) is such a
// '?' too: copied as it stood, its bytes would read as other characters and save back changed.

// ESC $ shifts into double-byte pairs, ESC ( back to single bytes (each escape three bytes);
// any other escape, and one cut by the end of the text, is copied, not dropped. Inside a shift
// only printable pairs convert: a line break stays itself, and a byte that lacks the second of
// its pair is a '?'.
std::string JisToSjis(std::string_view S, size_t* Substituted = nullptr);
// The final bytes of the escapes a JIS text shifts with: ESC $ B (or ESC $ @) into double bytes,
// ESC ( J (JIS-Roman) or ESC ( B (ASCII) back to single bytes.
struct TJisEscapes {
  char KanjiIn = 'B';
  char KanjiOut = 'J';
};
// Half-width katakana become full width; the escape back ends each shifted run and line.
// *Unwritable (when given) counts what JIS cannot hold as it is: the half-width katakana it
// widens, the double-byte characters outside its rows 21-7E, the bytes of 80 and up that form
// no character, and each ESC of the text's own, which is written as '?'.
std::string SjisToJis(std::string_view S, size_t* Unwritable = nullptr, TJisEscapes Escapes = {});
std::string EucToSjis(std::string_view S, size_t* Substituted = nullptr);
// Lead bytes EB-FC (user-defined and IBM extension characters) have no EUC-JP form: '?'.
std::string SjisToEuc(std::string_view S, size_t* Substituted = nullptr);
// Utf8ToSjis (S, Substituted) and SjisToUtf8 (S, Invalid) are the platform's
// (platform/Locale.h): the whole text is converted, a zero byte included; a malformed UTF-8
// sequence becomes '?' and counts in Substituted. In the other direction, *Invalid (when
// given) counts the Shift-JIS byte sequences that form no character and are written as ・.
std::string Utf8BomToSjis(std::string_view S, size_t* Substituted = nullptr);
std::string SjisToUtf8Bom(std::string_view S, size_t* Invalid = nullptr);

// UTF-16 code units (without a mark) to Shift-JIS; every unit counts, zero units included, and a
// dangling odd byte becomes one '?'.
std::string Utf16ToSjis(std::string_view Bytes, bool BigEndian, size_t* Substituted = nullptr);
// The mark and the UTF-16 form of S.
std::string ConvertToUtf16LE(std::string_view S, size_t* Invalid = nullptr);
std::string ConvertToUtf16BE(std::string_view S, size_t* Invalid = nullptr);
// Put the mark and the UTF-16 form of S into Stream; a missing stream raises.
void WriteTextUtf16LE(TMemoryStream* Stream, std::string_view S);
void WriteTextUtf16BE(TMemoryStream* Stream, std::string_view S);
// Write the file whole (created or replaced).
void SaveTextUtf16LE(const std::string& FileName, std::string_view S);
void SaveTextUtf16BE(const std::string& FileName, std::string_view S);
// Read the file, skip its two mark bytes and convert the rest; an empty name gives an empty
// text. Only a regular file is read (LoadBytesFromFile); a read that fails or does not fit in
// memory raises SOutOfMemory.
std::string LoadTextUtf16LE(const std::string& FileName, size_t* Substituted = nullptr);
std::string LoadTextUtf16BE(const std::string& FileName, size_t* Substituted = nullptr);

// The first line break of S: 0 CR LF, 1 LF, 2 CR, -1 none.
int32_t GetLineBreakKind(std::string_view S);

// Shift-JIS text of a file's bytes, whatever Japanese code DetectCharCode finds in them (a text it
// takes for Shift-JIS or ASCII that is UTF-8 all through, with a character beyond ASCII, is
// UTF-8); *Code (when given) receives the code found. What the conversion replaces by '?' (no
// Shift-JIS form, a malformed sequence, the odd last byte of UTF-16) adds to *Substituted when
// given. UTF-8 is converted where it lies, so that a large file is held once. For a JIS file
// *JisKanjiOut (when given) receives the final byte of its first escape back to ASCII or JIS-Roman
// ('B' or 'J'; 'J' when it has none), so that a save writes the same escapes.
std::string BytesToSjis(std::string Bytes, JCodeKind* Code = nullptr, size_t* Substituted = nullptr,
                        char* JisKanjiOut = nullptr);

// Converts Shift-JIS text that arrives in pieces to a file's code: JIS (SjisToJis), EUC-JP,
// UTF-8 with or without the mark, UTF-16 with the mark; Shift-JIS, ASCII, undecided and binary
// texts pass as they are. The bytes are those of converting the whole text at once: a character
// that a piece cuts waits for the next piece, JIS keeps its shift state from piece to piece, and
// the mark comes once. Put receives the result of at most kBlock bytes of text at a time, so the
// text is never held twice, however long a piece is. Without Put the encoder only counts. JIS
// shifts in with ESC $ B or ESC $ @ as the code says, and back with ESC ( JisKanjiOut.
class TSjisEncoder {
 public:
  using TPut = std::function<void(std::string_view Bytes)>;
  static constexpr size_t kBlock = 16384;
  TSjisEncoder(JCodeKind ACode, TPut APut, char JisKanjiOut = 'J')
      : FCode(ACode), FPut(std::move(APut)), FJis{ACode == jcJisAt ? '@' : 'B', JisKanjiOut} {}
  // Whether Code changes the text, and so may meet what it cannot hold; the other codes pass
  // Shift-JIS through as it is (ConvertWhole's last case).
  static constexpr bool Converts(JCodeKind Code) {
    return Code == jcJisB || Code == jcJisAt || Code == jcEuc || Code == jcUtf8 ||
           Code == jcUtf8Bom || Code == jcUtf16LE || Code == jcUtf16BE;
  }
  void Convert(std::string_view Piece);
  // The end of the text: the character that waited, the mark of an empty text, and for JIS the
  // shift back to single bytes.
  void Finish();
  // The characters the code cannot hold so far ('?' or ・ in the result; for JIS also the
  // half-width katakana it widens, the characters outside its rows 21-7E and the bytes of 80
  // and up that form no character; see SjisToJis).
  size_t Unwritable() const { return FUnwritable; }

 private:
  // Text of whole characters, none of which a later byte can change.
  void ConvertWhole(std::string_view Chars);
  void PutMark();
  void Put(std::string_view Bytes) const {
    if (FPut) FPut(Bytes);
  }

  JCodeKind FCode;
  TPut FPut;
  TJisEscapes FJis;
  std::string FWaiting;  // a last byte that may begin a character of two
  bool FStarted = false;
  bool FShifted = false;  // JIS: inside a run of double-byte characters
  size_t FUnwritable = 0;
};

}  // namespace rid
