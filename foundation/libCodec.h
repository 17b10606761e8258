#pragma once
#include <string>
#include <string_view>

#include "platform/Classes.h"

namespace rid {

// Base64, uuencode and BinHex 4.0 bodies over raw bytes (Shift-JIS text is encoded byte for
// byte). Only the body is produced: no MIME or BinHex headers, no run-length coding, no checksum.
//
// The decoders take any text a user may select, not only encoder output: the result holds
// exactly the bytes decoded, CR and LF are skipped wherever they stand, and a character that
// has no place in the form stops decoding with ECodecError naming its 1-based position.

// Raised by the decoders for text that is not in their form.
class ECodecError : public Exception {
 public:
  using Exception::Exception;
};

// RFC 4648 alphabet with '=' padding; no line breaks.
std::string Base64Encode(std::string_view S);
// Groups of four characters; '=' may stand only as the last one or two characters of a group.
// A group cut short by the end of the text is an error.
std::string Base64Decode(std::string_view S);

// Lines of up to 45 bytes, each led by its length character and ended by LineEnd, then the
// zero-length line "`" and LineEnd (empty input gives that line alone, as GNU uuencode writes).
std::string UUEncode(std::string_view S, std::string_view LineEnd);
// Each line: a length character, then groups of four. Both '`' and ' ' stand for 0. A line
// with fewer characters than its length asks for is an error; characters past that are
// ignored. A leading "begin ..." line is skipped and a line "end" ends the data, so a whole
// uuencoded file decodes as well as a bare body.
std::string UUDecode(std::string_view S);

// ':', groups of four characters with a line break after every 64 characters (the first
// line counts the ':'), then ':'. A final one or two bytes give two or three characters.
std::string BinHexEncode(std::string_view S, std::string_view LineEnd);
// The text must begin with ':' (after any line breaks); decoding ends at the closing ':' or at
// the end of the text. A final group of two or three characters gives one or two bytes; a
// single leftover character is an error.
std::string BinHexDecode(std::string_view S);

}  // namespace rid
