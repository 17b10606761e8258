// The step from a file's bytes to the editor's Shift-JIS. Any bytes give no more bytes than they
// were, whole characters when they were read as UTF-8 or UTF-16, and themselves when read as
// Shift-JIS or ASCII. A Shift-JIS text of whole characters that Unicode holds comes back byte for
// byte from its UTF-8 (with a mark, or without one unless it looks like JIS or binary data), its
// UTF-16 in either order, its JIS (without half-width katakana or escapes) and its EUC-JP (when
// EUC-JP holds it) when those are detected as such. Bytes read with nothing replaced save, in the
// code they were read in, unless the save counts what it cannot write, back to themselves; JIS,
// whose escapes a save writes its own way, to bytes that read as the same text (unless the text
// holds an escape byte of its own, which JIS cannot write as such).
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "fuzz/FuzzSupport.h"

namespace {

using rid::fuzz::Check;

// An unedited save of Text, read from the file In in Kind, changes nothing silently.
void SavesAsRead(const std::string& In, const std::string& Text, rid::JCodeKind Kind,
                 char KanjiOut) {
  std::string saved;
  rid::TSjisEncoder e(
      Kind, [&saved](std::string_view B) { saved += B; }, KanjiOut);
  e.Convert(Text);
  e.Finish();
  if (e.Unwritable() > 0) return;
  if (Kind != rid::jcJisB && Kind != rid::jcJisAt) {
    Check(saved == In);
  } else if (Text.find('\x1B') == std::string::npos) {
    rid::JCodeKind again = rid::jcBinary;
    const std::string back = rid::BytesToSjis(saved, &again);
    if (again == Kind) Check(back == Text);
  }
}

void AnyBytes(const std::string& In) {
  const rid::JCodeKind detected = rid::DetectCharCode(In);
  rid::JCodeKind kind = rid::jcBinary;
  size_t substituted = 0;
  char kanjiOut = 'J';
  const std::string out = rid::BytesToSjis(In, &kind, &substituted, &kanjiOut);
  if (substituted == 0) SavesAsRead(In, out, kind, kanjiOut);
  Check(out.size() <= In.size());
  // Only a text that is UTF-8 all through is read otherwise than detection says.
  Check(kind == detected || (kind == rid::jcUtf8 && rid::IsMultiByteUtf8(In)));
  switch (kind) {
    case rid::jcUtf8:
    case rid::jcUtf8Bom:
    case rid::jcUtf16LE:
    case rid::jcUtf16BE:
      Check(rid::fuzz::IsWholeShiftJis(out));
      break;
    case rid::jcJisB:
    case rid::jcJisAt:
    case rid::jcEuc:
      break;
    default:
      Check(out == In);
      break;
  }
}

void ShiftJisText(const std::string& S) {
  size_t invalid = 0, substituted = 0;
  const std::string utf8 = rid::SjisToUtf8(S, &invalid);
  if (!rid::fuzz::IsWholeShiftJis(S) || invalid != 0 || rid::Utf8ToSjis(utf8, &substituted) != S ||
      substituted != 0)
    return;
  Check(rid::BytesToSjis("\xEF\xBB\xBF" + utf8) == S);
  const rid::JCodeKind detected = rid::DetectCharCode(utf8);
  if (detected == rid::jcUtf8 || detected == rid::jcSjis || detected == rid::jcEucOrSjis ||
      detected == rid::jcAscii)
    Check(rid::BytesToSjis(utf8) == S);
  Check(rid::BytesToSjis(rid::ConvertToUtf16LE(S)) == S);
  Check(rid::BytesToSjis(rid::ConvertToUtf16BE(S)) == S);
  // JIS holds neither half-width katakana nor escapes of the text's own.
  bool plainJis = S.find('\x1B') == std::string::npos;
  for (size_t i = 0; i < S.size(); i += rid::IsDBCSLeadByte(S[i]) ? 2 : 1)
    plainJis = plainJis && !(uint8_t(S[i]) >= 0xA1 && uint8_t(S[i]) <= 0xDF);
  const std::string jis = rid::SjisToJis(S);
  if (plainJis && rid::DetectCharCode(jis) == rid::jcJisB) Check(rid::BytesToSjis(jis) == S);
  const std::string euc = rid::SjisToEuc(S, &substituted);
  if (substituted == 0 && rid::DetectCharCode(euc) == rid::jcEuc) Check(rid::BytesToSjis(euc) == S);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const std::string in(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  if (Data[0] & 1)
    ShiftJisText(in);
  else
    AnyBytes(in);
  return 0;
}
