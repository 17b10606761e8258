#include "highlighters/RidHighlighterVBScript.h"

#include "highlighters/keywords/RidHighlighterVBScriptKeywords.h"

namespace rid {

namespace {

using B = TRidVBScanner;

constexpr char kSampleSource[] =
    "' Syntax highlighting\r\n"
    "function printNumber()\r\n"
    "  number = 12345\r\n"
    "  document.write(\"The number is \" + number)\r\n"
    "  for i = 0 to 10\r\n"
    "    x = x + 1.0\r\n"
    "  next\r\n"
    "end function";

constexpr TRidLanguageSpec kLanguage =
    B::Language("MS VBScript", "VBScript Files (*.vbs)|*.vbs",
                {kSampleSource, sizeof kSampleSource - 1}, B::tkIdentifier);

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidVBScriptRid::Class());

}  // namespace

const TRidKeywordTable& TRidVBScriptRid::KeywordTable() {
  static const TRidKeywordTable table(keywords::RidHighlighterVBScript::kKeywords, kKeywordSlots,
                                      LetterValueHash, kLetterValues.data());
  return table;
}

const TRidHighlighterClass& TRidVBScriptRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidVBScriptRid(AOwner); }};
  return c;
}

TRidVBScriptRid::TRidVBScriptRid(TComponent* AOwner)
    : TRidVBScanner(AOwner, kLanguage, KeywordTable()) {}

}  // namespace rid
