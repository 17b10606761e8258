// Small decoders of the editor's texts; the first byte picks one, the rest is its input.
//  0: DecodeString (the header and footer settings): at most one byte out per byte in, every
//     text comes back through EncodeString, and an encoded text through DecodeString.
//  1: HalfKanaToJis at every index: a JIS code of row 1 or 5, one or two bytes taken (two only
//     for a voiced or semi-voiced mark that changes the code), nothing outside the text.
//  2, 3: LoadTextUtf16LE / BE of a file of those bytes: whole Shift-JIS characters, at most one
//     per two bytes after the mark (a cut final byte counting as one), no more substituted.
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/RidEderMiscProcs.h"
#include "foundation/JConv.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Classes.h"

namespace {

using rid::fuzz::Check;

void DecodeStrings(std::string_view In) {
  const std::string decoded = rid::DecodeString(In);
  Check(decoded.size() <= In.size());
  Check(rid::DecodeString(rid::EncodeString(In)) == In);
  // An encoding (no bare '/', every '\' escaping '\' or '.') is what EncodeString writes.
  bool encoding = true;
  for (size_t i = 0; i < In.size() && encoding; ++i) {
    if (In[i] == '/') encoding = false;
    if (In[i] == '\\') encoding = ++i < In.size() && (In[i] == '\\' || In[i] == '.');
  }
  if (encoding) Check(rid::EncodeString(decoded) == In);
}

void HalfKanas(std::string_view In) {
  const int32_t size = static_cast<int32_t>(In.size());
  for (int32_t index : {0, -1, size + 1}) {
    int32_t at = index;
    Check(rid::HalfKanaToJis(In, at).empty() && at == index);
  }
  for (int32_t index = 1; index <= size; ++index) {
    int32_t at = index;
    const std::string jis = rid::HalfKanaToJis(In, at);
    Check(jis.size() == 2 && (jis[0] == 0x21 || jis[0] == 0x25) && jis[1] >= 0x21 &&
          jis[1] <= 0x7E);
    Check(at == index + 1 || at == index + 2);
    if (at == index + 2) {
      const uint8_t mark = static_cast<uint8_t>(In[index]);
      Check(mark == 0xDE || mark == 0xDF);
      int32_t alone = index;
      Check(rid::HalfKanaToJis(In.substr(0, index), alone) != jis);
    }
  }
}

void Utf16File(std::string_view In, bool BigEndian) {
  const std::string file = rid::fuzz::ScratchFile("utf16.txt");
  rid::SaveBytesToFileAtomic(file, In);
  size_t substituted = 0;
  const std::string sjis = BigEndian ? rid::LoadTextUtf16BE(file, &substituted)
                                     : rid::LoadTextUtf16LE(file, &substituted);
  const size_t body = In.size() > 2 ? In.size() - 2 : 0;
  const size_t chars = rid::fuzz::ShiftJisCharCount(sjis);
  Check(rid::fuzz::IsWholeShiftJis(sjis));
  Check(chars <= (body + 1) / 2);
  Check(substituted <= chars);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const std::string_view in(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  switch (Data[0] % 4) {
    case 0:
      DecodeStrings(in);
      break;
    case 1:
      HalfKanas(in);
      break;
    default:
      Utf16File(in, Data[0] % 4 == 3);
      break;
  }
  return 0;
}
