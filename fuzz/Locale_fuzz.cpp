// Feeds arbitrary bytes through every conversion of the locale layer and checks its invariants.
#include <iconv.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/Locale.h"

namespace {

using namespace rid;

void Check(bool Ok) {
  if (!Ok) std::abort();
}

std::optional<std::string> Iconv(iconv_t Cd, std::string_view In) {
  std::string in(In), out(In.size() * 4 + 8, '\0');
  char* ip = in.data();
  char* op = out.data();
  size_t il = in.size(), ol = out.size();
  iconv(Cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(Cd, &ip, &il, &op, &ol) == static_cast<size_t>(-1) || il != 0) return std::nullopt;
  out.resize(out.size() - ol);
  return out;
}

std::string Utf16Le(std::u16string_view S) {
  std::string r;
  for (char16_t c : S) r += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return r;
}

constexpr uint32_t kFlags[] = {
    0,
    LCMAP_LOWERCASE,
    LCMAP_UPPERCASE,
    LCMAP_FULLWIDTH,
    LCMAP_HALFWIDTH,
    LCMAP_KATAKANA,
    LCMAP_HIRAGANA,
    LCMAP_FULLWIDTH | LCMAP_KATAKANA,
    LCMAP_FULLWIDTH | LCMAP_HIRAGANA | LCMAP_LOWERCASE,
    LCMAP_HALFWIDTH | LCMAP_KATAKANA | LCMAP_UPPERCASE,
    LCMAP_HALFWIDTH | LCMAP_FULLWIDTH,
    LCMAP_LOWERCASE | LCMAP_UPPERCASE,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  static iconv_t fromSjis = iconv_open("UTF-16LE", "CP932");
  static iconv_t toSjis = iconv_open("CP932", "UTF-16LE");
  static iconv_t fromUtf8 = iconv_open("UTF-16LE", "UTF-8");
  const std::string_view bytes(reinterpret_cast<const char*>(Data), Size);

  // 932 -> UTF-16 -> 932: every character read has a 932 form, so a second pass changes nothing.
  const std::u16string wide = MultiByteToWideChar(CP_SJIS, bytes);
  size_t used = 0;
  const std::string back = WideCharToMultiByte(CP_SJIS, wide, &used);
  Check(used == 0 && MultiByteToWideChar(CP_SJIS, back) == wide);
  // Text iconv reads is read the same, and text iconv round-trips round-trips through us.
  if (auto theirs = Iconv(fromSjis, bytes)) {
    Check(*theirs == Utf16Le(wide));
    if (Iconv(toSjis, *theirs) == std::string(bytes)) Check(back == bytes);
  }

  // UTF-8 -> UTF-16 -> UTF-8: the result is well formed; well-formed input comes back as it was.
  const std::u16string fromUtf8Wide = MultiByteToWideChar(CP_UTF8, bytes);
  const std::string utf8 = WideCharToMultiByte(CP_UTF8, fromUtf8Wide);
  Check(MultiByteToWideChar(CP_UTF8, utf8) == fromUtf8Wide);
  if (Iconv(fromUtf8, bytes)) Check(utf8 == bytes);

  // The direct roads agree with the wide ones.
  Check(SjisToUtf8(bytes) == WideCharToMultiByte(CP_UTF8, wide));
  size_t usedDirect = 0, usedWide = 0;
  Check(Utf8ToSjis(bytes, &usedDirect) == WideCharToMultiByte(CP_SJIS, fromUtf8Wide, &usedWide));
  Check(usedDirect == usedWide);

  // LCMapStringA with a flag set chosen by the first byte; no flags leave the text as it was,
  // and case changes keep every character's length.
  if (Size > 0) {
    const uint32_t flags = kFlags[Data[0] % std::size(kFlags)];
    const std::string_view text = bytes.substr(1);
    const std::string mapped = LCMapStringA(text, flags);
    if (flags == 0) Check(mapped == text);
    if (flags == LCMAP_LOWERCASE || flags == LCMAP_UPPERCASE) Check(mapped.size() == text.size());
    const std::string upper = AnsiUpperCase(text);
    Check(upper.size() == text.size() && AnsiSameText(upper, AnsiLowerCase(text)));
  }
  return 0;
}
