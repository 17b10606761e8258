// The file-code encoder on text cut anywhere: the first byte picks the code, the second how the
// text is cut, the rest is the text. The pieces give the bytes and the count of the whole text
// converted at once, and no put holds more than a block's worth. A lead byte that ends the text
// is a character cut short, which no code that converts can hold. Read back, a Shift-JIS file
// gives the text's bytes, and a UTF-8 or UTF-16 one the same characters (a byte sequence that
// forms none reads as the ・ it was written as).
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/JConv.h"
#include "fuzz/FuzzSupport.h"

namespace {

constexpr rid::JCodeKind kCodes[] = {rid::jcJisB,    rid::jcEuc,     rid::jcUtf8, rid::jcUtf8Bom,
                                     rid::jcUtf16LE, rid::jcUtf16BE, rid::jcSjis};

// Converts Text in pieces of the lengths Cut gives in turn (0 to 7 bytes).
std::string Encode(rid::JCodeKind Code, std::string_view Text, uint8_t Cut, size_t& Unwritable) {
  std::string out;
  rid::TSjisEncoder e(Code, [&out](std::string_view B) {
    rid::fuzz::Check(B.size() <= 5 * rid::TSjisEncoder::kBlock + 3);
    out += B;
  });
  for (unsigned step = 0; !Text.empty(); ++step) {
    const size_t n = Cut == 0 ? Text.size() : (Cut >> (step % 6)) & 7;
    e.Convert(Text.substr(0, n));
    Text.remove_prefix(std::min(n, Text.size()));
  }
  e.Finish();
  Unwritable = e.Unwritable();
  return out;
}

// The Shift-JIS text a file of Code reads back as; the encoder's bytes for the others.
std::string ReadBack(rid::JCodeKind Code, std::string_view Bytes) {
  switch (Code) {
    case rid::jcUtf8:
      return rid::Utf8ToSjis(Bytes);
    case rid::jcUtf8Bom:
      rid::fuzz::Check(Bytes.starts_with("\xEF\xBB\xBF"));
      return rid::Utf8BomToSjis(Bytes);
    case rid::jcUtf16LE:
    case rid::jcUtf16BE: {
      const bool big = Code == rid::jcUtf16BE;
      rid::fuzz::Check(Bytes.starts_with(big ? "\xFE\xFF" : "\xFF\xFE"));
      return rid::Utf16ToSjis(Bytes.substr(2), big);
    }
    default:
      return std::string(Bytes);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rid::fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  const rid::JCodeKind code = kCodes[in.Byte() % std::size(kCodes)];
  const uint8_t cut = in.Byte();
  const std::string_view text = in.Rest();
  size_t whole = 0, pieces = 0;
  const std::string want = Encode(code, text, 0, whole);
  rid::fuzz::Check(Encode(code, text, cut, pieces) == want);
  rid::fuzz::Check(pieces == whole);
  if (code != rid::jcSjis && !text.empty() && rid::IsDBCSLeadByte(text.back()) &&
      rid::fuzz::IsCharStart(text, text.size() - 1))
    rid::fuzz::Check(whole > 0);
  if (code == rid::jcJisB) rid::fuzz::Check(want == rid::SjisToJis(text));
  if (code == rid::jcEuc) rid::fuzz::Check(want == rid::SjisToEuc(text));
  const std::string back = ReadBack(code, want);
  if (code == rid::jcSjis)
    rid::fuzz::Check(back == text);
  else if (code != rid::jcJisB && code != rid::jcEuc)
    rid::fuzz::Check(rid::MultiByteToWideChar(rid::CP_SJIS, back) ==
                     rid::MultiByteToWideChar(rid::CP_SJIS, text));
  return 0;
}
