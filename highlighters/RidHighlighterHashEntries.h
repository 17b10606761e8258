#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"
#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Keyword chains by hash value, for the languages that keep their keywords as comma lists.

using TEnumKeywordEvent = Delegate<void(const std::string& AKeyword, int32_t AKind)>;

// Calls AKeywordProc for every run of identifier characters in AKeywords, in order.
void EnumKeywords(int32_t AKind, const std::string& AKeywords, const TRidCharSet& AIdentChars,
                  const TEnumKeywordEvent& AKeywordProc);

class ERidHashEntryError : public Exception {
 public:
  using Exception::Exception;
};

// One keyword of a chain; the chain is ordered by KeyLen, equal lengths in the order added.
class TRidHashEntry : public TObject {
 public:
  RID_CLASS_NAME(TRidHashEntry)
  TRidHashEntry(std::string AKey, int32_t AKind);

  // Adds ANewEntry to the chain that starts at AHead (which may become its new head). A
  // keyword equal to one of the chain (ASCII case-insensitive) raises ERidHashEntryError; the
  // chain then stays as it was and ANewEntry is freed.
  static void AddEntry(std::unique_ptr<TRidHashEntry>& AHead,
                       std::unique_ptr<TRidHashEntry> ANewEntry);

  const TRidHashEntry* GetNext() const { return FNext.get(); }
  int32_t GetKeyLen() const { return FKeyLen; }
  const std::string& GetKeyword() const { return FKeyword; }
  int32_t GetKind() const { return FKind; }

 private:
  std::unique_ptr<TRidHashEntry> FNext;  // owned: a head frees its whole chain
  int32_t FKeyLen;
  std::string FKeyword;
  int32_t FKind;
};

class TRidHashEntryList {
 public:
  // The chain head at AHashKey; nullptr for a negative or too large key.
  const TRidHashEntry* Get(int64_t AHashKey) const;
  // Grows the list to hold AHashKey and adds the entry to the chain there.
  void Put(int64_t AHashKey, std::unique_ptr<TRidHashEntry> AEntry);
  void Clear() { FItems.clear(); }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

 private:
  std::vector<std::unique_ptr<TRidHashEntry>> FItems;
};

// ---------------------------------------------------------------------------------------------
// The scanner kit every language highlighter is built on.
//
// A new language plugs in like RidHighlighterPerl: a class derived from TRidScanHighlighter
// with one constant TRidLanguageSpec (attributes, kinds, filter, sample, identifier bytes), its
// keywords in highlighters/keywords/<unit>.txt (made into tables by scripts/gen_keywords.py)
// looked up through a TRidKeywordTable, a TScanTable built from SharedScanTable, and code only
// for the rules of its own. Runs by character, line comments, comments to a closing marker (also
// going on from a range over line ends), quoted strings (escaped by backslashes or doubled
// quotes), operators by their longest listed form and numbers up to a range are steps of the
// kit below, so no language walks a Shift-JIS trail byte as a character.
// The unit registers its class (RegisterHighlighterClass) as it starts; the program's data
// module (app/EderHighlighters) then owns one configured instance of it.

// A keyword of a language's data tables with the token kind it gets.
struct TRidKeyword {
  std::string_view Word;
  uint8_t Kind;
};

// Keywords by hash value: one slot per value, a few exact (or folded) comparisons per lookup.
class TRidKeywordTable {
 public:
  using THashFunc = uint64_t (*)(std::string_view AWord);
  // AFold (256 bytes) maps both sides before comparing; nullptr compares bytes exactly.
  TRidKeywordTable(std::span<const TRidKeyword> AWords, int32_t ATableSize, THashFunc AHash,
                   const uint8_t* AFold = nullptr);

  // The kind of the word, ANotFound when no keyword of slot AHash matches or the hash lies
  // outside the table.
  uint8_t Find(uint64_t AHash, const char* AWord, int32_t ALength, uint8_t ANotFound) const {
    if (AHash >= FSlots.size() - 1) return ANotFound;
    for (uint32_t i = FSlots[AHash], e = FSlots[AHash + 1]; i < e; ++i) {
      const TRidKeyword& k = FEntries[i];
      if (k.Word.size() == static_cast<size_t>(ALength) && Same(k.Word.data(), AWord, ALength))
        return k.Kind;
    }
    return ANotFound;
  }
  // The same, hashing the word with the table's own hash.
  uint8_t Find(std::string_view AWord, uint8_t ANotFound) const {
    return Find(FHash(AWord), AWord.data(), static_cast<int32_t>(AWord.size()), ANotFound);
  }
  int32_t TableSize() const { return static_cast<int32_t>(FSlots.size() - 1); }
  int32_t LargestSlot() const;
  uint64_t LargestHash() const;

 private:
  bool Same(const char* A, const char* B, int32_t ALength) const;
  std::vector<uint32_t> FSlots;  // slot h holds FEntries[FSlots[h] .. FSlots[h + 1])
  std::vector<TRidKeyword> FEntries;
  THashFunc FHash;
  const uint8_t* FFold;
};

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

// ---------------------------------------------------------------------------------------------
// Colour schemes of an installed Borland IDE (Delphi, C++Builder), for the languages whose
// users may want their IDE's colours.

// The installed versions of the IDE: the subkeys of HKEY_LOCAL_MACHINE
// \SOFTWARE\Borland\<AProduct>, put into AList; AList is untouched when there are none.
void EnumIdeVersions(std::string_view AProduct, TStrings* AList);

// An entry of the IDE's scheme and the attributes it colours.
struct TRidIdeEntry {
  std::string_view Name;
  std::string_view OldName;  // its name in the old layout, when it differs
  std::vector<TRidHighlighterAttributes*> Attributes;
};

// Reads version AIndex (of EnumIdeVersions) of the IDE's scheme from HKEY_CURRENT_USER
// \Software\Borland\<AProduct>\<version>: versions whose name starts with a byte of
// AOldLayoutFirst keep it under "Highlight" in the old layout, the others under
// "Editor\Highlight". Every entry must load (an error counts as a failure); then each gives its
// colours and style to its attributes and the result is true. Otherwise nothing changes.
bool LoadIdeScheme(std::string_view AProduct, int32_t AIndex, std::string_view AOldLayoutFirst,
                   std::span<const TRidIdeEntry> AEntries);

// The values of the letter hash of JavaScript, Visual Basic and Fortran: A-Z and a-z 1 to 26, "_"
// 31, every other byte 0. Visual Basic and Fortran compare their keywords by these values too,
// so letters match in any case and a digit any digit.
inline constexpr std::array<uint8_t, 256> kLetterValues = [] {
  std::array<uint8_t, 256> v{};
  for (int c = 'A'; c <= 'Z'; ++c) v[c] = v[c + 32] = static_cast<uint8_t>(c - 'A' + 1);
  v['_'] = 31;
  return v;
}();
constexpr uint64_t LetterValueHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += kLetterValues[static_cast<uint8_t>(c)];
  return h;
}

// The one order word lists are sorted and searched in: bytes, ASCII letters taken as upper case.
constexpr uint8_t AsciiUpper(char C) {
  const auto b = static_cast<uint8_t>(C);
  return b >= 'a' && b <= 'z' ? b - 32 : b;
}
constexpr bool UpperLess(std::string_view A, std::string_view B) {
  return std::lexicographical_compare(A.begin(), A.end(), B.begin(), B.end(),
                                      [](char x, char y) { return AsciiUpper(x) < AsciiUpper(y); });
}

// The byte-sum hash most languages use.
constexpr uint64_t ByteSumHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) h += static_cast<uint8_t>(c);
  return h;
}

// The case-sensitive letter hash of the C family: A-Z add 1 to 26, a-z 2 to 27, other bytes
// nothing.
constexpr uint64_t LetterSumHash(std::string_view AWord) {
  uint64_t h = 0;
  for (char c : AWord) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 'A' && b <= 'Z')
      h += b - 'A' + 1;
    else if (b >= 'a' && b <= 'z')
      h += b - 'a' + 2;
  }
  return h;
}

}  // namespace rid
