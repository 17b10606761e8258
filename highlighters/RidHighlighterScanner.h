#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// The scanner kit every language highlighter is built on.
//
// A new language plugs in like RidHighlighterPerl: a class derived from TRidScanHighlighter
// with one constant TRidLanguageSpec (attributes, kinds, filter, sample, identifier bytes), its
// keywords in highlighters/keywords/<unit>.txt (made into tables by scripts/gen_keywords.py)
// looked up through a TRidKeywordTable (RidHighlighterHashEntries.h), a TScanTable built from
// SharedScanTable, and code only for the rules of its own. Runs by character, line comments,
// comments to a closing marker (also going on from a range over line ends), quoted strings (escaped
// by backslashes or doubled quotes), operators by their longest listed form and numbers up to a
// range are steps of the kit below, so no language walks a Shift-JIS trail byte as a character. The
// unit registers its class (RegisterHighlighterClass) as it starts; the program's data module
// (app/EderHighlighters) then owns one configured instance of it.

// Operators by first byte, each listed form as it is written; a scan takes the longest form
// that stands at the scan position ("<<=" before "<<" before "<"), and only listed forms.
template <size_t N>
class TRidOperatorForms {
 public:
  constexpr explicit TRidOperatorForms(const std::array<std::string_view, N>& AForms)
      : FForms(AForms) {
    std::sort(FForms.begin(), FForms.end(), [](std::string_view A, std::string_view B) {
      const auto a = static_cast<uint8_t>(A[0]), b = static_cast<uint8_t>(B[0]);
      return a != b ? a < b : A.size() > B.size();
    });
    size_t i = 0;
    for (int b = 0; b < 256; ++b) {
      FFirst[b] = static_cast<uint16_t>(i);
      while (i < N && static_cast<uint8_t>(FForms[i][0]) == b) ++i;
    }
    FFirst[256] = static_cast<uint16_t>(N);
  }
  // The forms that start with AFirst, longest first.
  constexpr std::span<const std::string_view> For(uint8_t AFirst) const {
    return {FForms.data() + FFirst[AFirst],
            static_cast<size_t>(FFirst[AFirst + 1] - FFirst[AFirst])};
  }
  // The bytes some form starts with: where a scan table sends the operator scanner.
  constexpr TRidCharSet FirstBytes() const {
    TRidCharSet s;
    for (std::string_view f : FForms) s.Include(static_cast<uint8_t>(f[0]));
    return s;
  }

 private:
  std::array<std::string_view, N> FForms;
  std::array<uint16_t, 257> FFirst{};
};
template <size_t N>
TRidOperatorForms(const std::array<std::string_view, N>&) -> TRidOperatorForms<N>;

// An attribute as a language describes it: name, default style and colours.
struct TRidAttriSpec {
  std::string_view Name;
  TFontStyles Style;
  TColor Foreground = clNone;
  TColor Background = clNone;
};

// The constant description of a language; one per class.
struct TRidLanguageSpec {
  std::string_view LanguageName;
  std::string_view DefaultFilter;
  std::string_view SampleSource;
  TRidCharSet IdentChars;                     // GetIdentChars
  std::span<const TRidAttriSpec> Attributes;  // in creation order
  std::span<const int8_t> KindAttri;          // per token kind: attribute index, or -1
  std::array<int8_t, 6> DefaultAttri;         // comment, identifier, keyword, string, space, symbol
  uint8_t NullKind;
  uint8_t SpaceKind;
  uint8_t UnknownKind;
  uint8_t CommentKind = 0;  // what LineCommentProc gives
};

// The attributes of the plainest languages (Visual Basic, VBScript, Fortran, assembly), in
// their creation order: comments italic, reserved words bold, no colours.
inline constexpr TRidAttriSpec kPlainAttributes[] = {
    {"Comment", {fsItalic}}, {"Identifier", {}}, {"Reserved Word", {fsBold}},
    {"Number", {}},          {"Space", {}},      {"String", {}},
    {"Symbol", {}},
};

// The plain attributes with one of a language's own after them (General, PHP).
constexpr std::array<TRidAttriSpec, std::size(kPlainAttributes) + 1> PlainAttributesAnd(
    const TRidAttriSpec& AOwn) {
  std::array<TRidAttriSpec, std::size(kPlainAttributes) + 1> all{};
  std::copy(std::begin(kPlainAttributes), std::end(kPlainAttributes), all.begin());
  all.back() = AOwn;
  return all;
}

// A highlighter that scans a line by dispatching on the byte at the scan position. Reads past
// the end of the line give 0, so scanners can look ahead freely; the end of the line is its
// length, and a NUL byte inside it is an unknown character.
class TRidScanHighlighter : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TRidScanHighlighter)

  bool GetEol() const override { return FTokenKind == FLanguage.NullKind; }
  std::string GetToken() const override { return std::string(GetTokenView()); }
  std::string_view GetTokenView() const override {
    return {FLineText + FTokenStart, static_cast<size_t>(FRunPos - FTokenStart)};
  }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return FKindAttri[FTokenKind]; }
  int32_t GetTokenKind() const override { return FTokenKind; }
  int32_t GetTokenPos() const override { return FTokenStart; }
  void SetLine(std::string_view NewValue, int32_t LineNumber) override;

  TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const override;
  TRidCharSet GetIdentChars() const override { return FLanguage.IdentChars; }
  std::string GetSampleSource() const override { return std::string(FLanguage.SampleSource); }
  bool IsFilterStored() const override { return GetDefaultFilter() != FLanguage.DefaultFilter; }
  std::string GetLanguageName() const override { return std::string(FLanguage.LanguageName); }

 protected:
  // Creates the attributes in the language's order with their defaults and sets the filter.
  TRidScanHighlighter(TComponent* AOwner, const TRidLanguageSpec& ALanguage);
  // The attribute at its index in the language's creation order.
  TRidHighlighterAttributes* Attri(int32_t Index) const { return FAttris[Index]; }

  // A scanner method: no arguments, sets FTokenKind and moves FRunPos.
  template <class T>
  class TScanTable {
   public:
    using TProc = void (T::*)();
    constexpr explicit TScanTable(TProc ADefault) { FProcs.fill(ADefault); }
    constexpr TScanTable& On(uint8_t AByte, TProc AProc) {
      FProcs[AByte] = AProc;
      return *this;
    }
    constexpr TScanTable& On(std::string_view ABytes, TProc AProc) {
      for (char c : ABytes) FProcs[static_cast<uint8_t>(c)] = AProc;
      return *this;
    }
    constexpr TScanTable& On(const TRidCharSet& ABytes, TProc AProc) {
      for (int b = 0; b < 256; ++b)
        if (ABytes.Contains(static_cast<uint8_t>(b))) FProcs[b] = AProc;
      return *this;
    }
    constexpr TScanTable& OnRange(uint8_t AFirst, uint8_t ALast, TProc AProc) {
      for (int b = AFirst; b <= ALast; ++b) FProcs[b] = AProc;
      return *this;
    }
    constexpr TProc operator[](uint8_t AByte) const { return FProcs[AByte]; }

   private:
    std::array<TProc, 256> FProcs{};
  };
  // How a run of blanks and control bytes goes on: over every such byte; (HTML, CSS, XML) over
  // every one but a TAB, which may start a run but never continues one; or (COBOL) over line
  // breaks too, once a blank or another control byte has started it.
  enum class TBlankRun : uint8_t { brAllControls, brTabStarts, brThroughLineBreaks };
  // A table with the shared rules: NUL, CR, LF and the blank and control run; every other
  // byte goes to the unknown-character scanner until the language says otherwise.
  template <class T>
  static constexpr TScanTable<T> SharedScanTable(TBlankRun ABlanks = TBlankRun::brAllControls) {
    TScanTable<T> t(&TRidScanHighlighter::UnknownProc);
    typename TScanTable<T>::TProc blank = &TRidScanHighlighter::SpaceProc;
    if (ABlanks == TBlankRun::brTabStarts) blank = &TRidScanHighlighter::BlankRunProc;
    if (ABlanks == TBlankRun::brThroughLineBreaks) blank = &TRidScanHighlighter::BlankLinesProc;
    t.On(0, &TRidScanHighlighter::NullProc);
    t.OnRange(1, 9, blank);
    t.On(10, &TRidScanHighlighter::LFProc);
    t.On(11, blank).On(12, blank);
    t.On(13, &TRidScanHighlighter::CRProc);
    t.OnRange(14, 32, blank);
    return t;
  }

  // Reading: any position outside the line reads as 0.
  uint8_t At(int32_t APos) const {
    return static_cast<uint32_t>(APos) < static_cast<uint32_t>(FLineLen)
               ? static_cast<uint8_t>(FLineText[APos])
               : 0;
  }
  uint8_t Cur() const { return At(FRunPos); }
  uint8_t Ahead(int32_t AOffset) const { return At(FRunPos + AOffset); }
  // 2 for a lead byte with its trail byte inside the line, else 1.
  int32_t CharLen(int32_t APos) const {
    return IsDBCSLeadByte(At(APos)) && IsDBCSTrailByte(At(APos + 1)) ? 2 : 1;
  }
  // NUL, LF or CR: where strings and comments stop.
  static constexpr bool IsLineStop(uint8_t B) { return B == 0 || B == 10 || B == 13; }
  static constexpr TRidCharSet kLineStops{0, 10, 13};
  void StepChar() { FRunPos += CharLen(FRunPos); }

  // Runs by character. Each steps from FRunPos over whole characters (CharLen), so a stop or marker
  // is only ever seen where a character starts. None goes past the end of the line.
  //
  // To the first character that starts with a byte of AStops (not taken).
  void RunUntil(const TRidCharSet& AStops);
  // To AClose (taken: true), or to a byte of AStops (not taken: false). Comments use it; with
  // ABackslashEscapes a backslash takes the character after it along (Python's long strings).
  bool RunToClose(std::string_view AClose, const TRidCharSet& AStops,
                  bool ABackslashEscapes = false);
  // A construct a range carries over line ends, going on at FRunPos: a NUL, CR or LF there is
  // the token of its own it always is; otherwise a token of AKind up to AClose (taken: true) or
  // to the end of the line (false).
  bool ContinueToClose(std::string_view AClose, uint8_t AKind, bool ABackslashEscapes = false);
  // How a quoted run treats a backslash and a doubled quote: as any character; a backslash as
  // escaping the character after it; a doubled quote as one inside the run ("a""b").
  enum class TEscape : uint8_t { esNone, esBackslash, esDoubled };
  // How a quoted run ended: at its closing quote (taken), before a byte of the stops, at the
  // end of the line right after an escaping backslash (C's line continuation), or before a stop
  // right after one.
  enum class TQuoteEnd : uint8_t { qeClosed, qeOpen, qeEscapedLineEnd, qeEscapedStop };
  // To the quote AQuote, or to a byte of AStops (not taken). A backslash before a stop escapes
  // nothing.
  TQuoteEnd RunQuoted(uint8_t AQuote, TEscape AEscape, const TRidCharSet& AStops);
  // A string from its opening quote at FRunPos to the same quote on this line; with ATripled,
  // three quotes in a row open it.
  TQuoteEnd StringRun(TEscape AEscape, bool ATripled = false);
  // A token of AKind: the byte at FRunPos and the bytes of ASet after it.
  void RunAfterFirst(uint8_t AKind, const TRidCharSet& ASet) {
    FTokenKind = AKind;
    ++FRunPos;
    SkipSet(ASet);
  }
  // Moves over the bytes of ASet from FRunPos.
  void SkipSet(const TRidCharSet& ASet) {
    while (FRunPos < FLineLen && ASet.Contains(static_cast<uint8_t>(FLineText[FRunPos]))) ++FRunPos;
  }
  // Moves over the characters that start with a byte of ASet: a lead byte of the set takes its
  // trail byte along, whatever its value.
  void SkipChars(const TRidCharSet& ASet) {
    while (FRunPos < FLineLen && ASet.Contains(static_cast<uint8_t>(FLineText[FRunPos])))
      StepChar();
  }
  // A number: the byte at FRunPos, then the bytes of ASet, stopping before ".." (a range).
  void NumberRun(const TRidCharSet& ASet);
  // The sum of the bytes of ASet from APos (each through AValues when given): a word's hash,
  // which no word can overflow. Sets FWordStart and FWordLength.
  uint64_t HashRun(int32_t APos, const TRidCharSet& ASet, const uint8_t* AValues = nullptr);
  // The same with values that may be negative, over the bytes before AEnd only.
  int64_t HashRun(int32_t APos, const TRidCharSet& ASet, const int8_t* AValues, int32_t AEnd);
  // The first form of AForms (listed longest first) that stands at FRunPos; its length, or 0.
  int32_t MatchForm(std::span<const std::string_view> AForms) const;
  // The longest operator of AForms at FRunPos as a token of AKind (a byte no form starts with
  // is one byte of its own).
  template <size_t N>
  void OperatorRun(const TRidOperatorForms<N>& AForms, uint8_t AKind) {
    FTokenKind = AKind;
    FRunPos += std::max(1, MatchForm(AForms.For(Cur())));
  }

  // The shared rules.
  void NullProc();  // end of line: the null kind, no advance
  void CRProc();    // CR, or CR LF
  void LFProc();
  void SpaceProc();        // a blank or control byte and the run of them that follows
  void BlankRunProc();     // the same, but the run stops before a TAB
  void BlankLinesProc();   // the same, but the run goes on over CR and LF
  void LineStopProc();     // the token of the NUL, CR or LF at FRunPos
  void UnknownProc();      // one character, two bytes for a lead byte with its trail
  void LineCommentProc();  // the language's comment from FRunPos to the end of the line

  const char* FLineText = "";
  int32_t FLineLen = 0;
  int32_t FRunPos = 0;
  int32_t FTokenStart = 0;
  uint8_t FTokenKind = 0;
  int32_t FLineNumber = 0;
  int32_t FWordStart = 0;
  int32_t FWordLength = 0;

 private:
  const TRidLanguageSpec& FLanguage;
  std::vector<TRidHighlighterAttributes*> FAttris;  // owned by the base's attribute list
  std::array<TRidHighlighterAttributes*, 256> FKindAttri{};
};

// A highlighter whose first seven attributes are kPlainAttributes, in that order (Visual Basic,
// VBScript, Fortran and assembly; General and PHP add one after them): their published getters.
class TRidPlainScanHighlighter : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TRidPlainScanHighlighter)

  // The published attributes, in their published order.
  TRidHighlighterAttributes* GetCommentAttri() const { return Attri(0); }
  TRidHighlighterAttributes* GetIdentifierAttri() const { return Attri(1); }
  TRidHighlighterAttributes* GetKeyAttri() const { return Attri(2); }
  TRidHighlighterAttributes* GetNumberAttri() const { return Attri(3); }
  TRidHighlighterAttributes* GetSpaceAttri() const { return Attri(4); }
  TRidHighlighterAttributes* GetStringAttri() const { return Attri(5); }
  TRidHighlighterAttributes* GetSymbolAttri() const { return Attri(6); }

 protected:
  using TRidScanHighlighter::TRidScanHighlighter;
};

}  // namespace rid
