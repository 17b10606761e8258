#pragma once
#include <cstdint>
#include <string_view>

namespace rid {

// The character code of a text, shared by detection, conversion and the encoding choices.
using JCodeKind = int32_t;
constexpr JCodeKind jcAscii = 0;      // no decisive byte
constexpr JCodeKind jcBinary = 1;     // binary data, or an empty text
constexpr JCodeKind jcJisB = 2;       // JIS, ESC $ B
constexpr JCodeKind jcJisAt = 3;      // JIS, ESC $ @
constexpr JCodeKind jcEuc = 4;        // EUC-JP
constexpr JCodeKind jcSjis = 5;       // Shift-JIS
constexpr JCodeKind jcEucOrSjis = 6;  // undecided between EUC-JP and Shift-JIS
constexpr JCodeKind jcUtf16LE = 7;    // mark FF FE
constexpr JCodeKind jcUtf16BE = 8;    // mark FE FF
constexpr JCodeKind jcUtf8Bom = 9;    // mark EF BB BF
constexpr JCodeKind jcUtf8 = 10;      // no mark

// Bytes that the binary test and the UTF-8 test examine at the start of a text.
constexpr int32_t MaxCheck = 512;

// Plain ASCII, binary, JIS, EUC-JP or Shift-JIS (0-6). A rule that needs a byte after the end of
// the text decides nothing: the result stays as it was.
JCodeKind DetectJCode(std::string_view S);
// Byte-order marks (a text of just the mark counts), UTF-8 without a mark (three-byte sequences
// starting within the first MaxCheck bytes; one may end past them, but a sequence cut by the end
// of the text makes it not UTF-8), else DetectJCode.
JCodeKind DetectCharCode(std::string_view S);

}  // namespace rid
