#include "highlighters/RidHighlighterHashEntries.h"

#include <algorithm>
#include <numeric>

namespace rid {

// ---------------------------------------------------------------------------------------------
// Keyword chains

void EnumKeywords(int32_t AKind, const std::string& AKeywords, const TRidCharSet& AIdentChars,
                  const TEnumKeywordEvent& AKeywordProc) {
  if (!AKeywordProc || AKeywords.empty()) return;
  const size_t n = AKeywords.size();
  auto ident = [&](size_t i) {
    return i < n && AIdentChars.Contains(static_cast<uint8_t>(AKeywords[i]));
  };
  size_t i = 0;
  for (;;) {
    while (i < n && !ident(i)) ++i;
    if (i >= n) return;
    const size_t start = i;
    while (ident(i)) ++i;
    AKeywordProc(AKeywords.substr(start, i - start), AKind);
    // One separator byte; the list ends when it, or the byte after it, is the end.
    if (i >= n || i + 1 >= n) return;
    ++i;
  }
}

TRidHashEntry::TRidHashEntry(std::string AKey, int32_t AKind)
    : FKeyLen(static_cast<int32_t>(AKey.size())), FKeyword(std::move(AKey)), FKind(AKind) {}

void TRidHashEntry::AddEntry(std::unique_ptr<TRidHashEntry>& AHead,
                             std::unique_ptr<TRidHashEntry> ANewEntry) {
  if (!ANewEntry) return;
  // Check the whole chain first, so a refused keyword leaves it as it was.
  for (const TRidHashEntry* e = AHead.get(); e; e = e->FNext.get())
    if (AnsiSameText(e->FKeyword, ANewEntry->FKeyword))
      throw ERidHashEntryError(FormatStr("Keyword \"%s\" already in list", e->FKeyword.c_str()));
  // Insert before the first entry that is longer; equal lengths keep the order of adding.
  std::unique_ptr<TRidHashEntry>* slot = &AHead;
  while (*slot && (*slot)->FKeyLen <= ANewEntry->FKeyLen) slot = &(*slot)->FNext;
  ANewEntry->FNext = std::move(*slot);
  *slot = std::move(ANewEntry);
}

const TRidHashEntry* TRidHashEntryList::Get(int64_t AHashKey) const {
  if (AHashKey < 0 || AHashKey >= static_cast<int64_t>(FItems.size())) return nullptr;
  return FItems[static_cast<size_t>(AHashKey)].get();
}

void TRidHashEntryList::Put(int64_t AHashKey, std::unique_ptr<TRidHashEntry> AEntry) {
  if (AHashKey < 0) return;  // no keyword hashes below 0; nothing to keep
  if (AHashKey >= static_cast<int64_t>(FItems.size())) FItems.resize(AHashKey + 1);
  TRidHashEntry::AddEntry(FItems[static_cast<size_t>(AHashKey)], std::move(AEntry));
}

// ---------------------------------------------------------------------------------------------
// Keyword table

TRidKeywordTable::TRidKeywordTable(std::span<const TRidKeyword> AWords, int32_t ATableSize,
                                   THashFunc AHash, const uint8_t* AFold)
    : FSlots(static_cast<size_t>(ATableSize) + 1, 0), FHash(AHash), FFold(AFold) {
  std::vector<uint64_t> hashes;
  hashes.reserve(AWords.size());
  for (const TRidKeyword& k : AWords) {
    hashes.push_back(AHash(k.Word));
    RID_ASSERT(hashes.back() < static_cast<uint64_t>(ATableSize));
  }
  // Counting sort by hash, keeping the list order inside a slot.
  for (uint64_t h : hashes) ++FSlots[h + 1];
  std::partial_sum(FSlots.begin(), FSlots.end(), FSlots.begin());
  FEntries.resize(AWords.size());
  std::vector<uint32_t> next(FSlots.begin(), FSlots.end() - 1);
  for (size_t i = 0; i < AWords.size(); ++i) FEntries[next[hashes[i]]++] = AWords[i];
}

bool TRidKeywordTable::Same(const char* A, const char* B, int32_t ALength) const {
  if (!FFold) return std::equal(A, A + ALength, B);
  for (int32_t i = 0; i < ALength; ++i)
    if (FFold[static_cast<uint8_t>(A[i])] != FFold[static_cast<uint8_t>(B[i])]) return false;
  return true;
}

int32_t TRidKeywordTable::LargestSlot() const {
  uint32_t most = 0;
  for (size_t h = 0; h + 1 < FSlots.size(); ++h) most = std::max(most, FSlots[h + 1] - FSlots[h]);
  return static_cast<int32_t>(most);
}

uint64_t TRidKeywordTable::LargestHash() const {
  for (size_t h = FSlots.size() - 1; h > 0; --h)
    if (FSlots[h] != FSlots[h - 1]) return h - 1;
  return 0;
}

// ---------------------------------------------------------------------------------------------
// Scanner base

TRidScanHighlighter::TRidScanHighlighter(TComponent* AOwner, const TRidLanguageSpec& ALanguage)
    : TRidCustomHighlighter(AOwner), FLanguage(ALanguage) {
  for (const TRidAttriSpec& def : FLanguage.Attributes) {
    auto attri = std::make_unique<TRidHighlighterAttributes>(std::string(def.Name));
    attri->SetStyle(def.Style);
    attri->SetForeground(def.Foreground);
    attri->SetBackground(def.Background);
    FAttris.push_back(AddAttribute(std::move(attri)));
  }
  for (size_t kind = 0; kind < FLanguage.KindAttri.size(); ++kind) {
    const int8_t a = FLanguage.KindAttri[kind];
    FKindAttri[kind] = a >= 0 ? FAttris[a] : nullptr;
  }
  SetAttributesOnChange(TNotifyEvent(static_cast<TRidCustomHighlighter*>(this),
                                     &TRidCustomHighlighter::AttributeChanged));
  SetDefaultFilter(std::string(FLanguage.DefaultFilter));
  FTokenKind = FLanguage.NullKind;
}

TRidHighlighterAttributes* TRidScanHighlighter::GetDefaultAttribute(int32_t Index) const {
  if (Index < 0 || Index >= static_cast<int32_t>(FLanguage.DefaultAttri.size())) return nullptr;
  const int8_t a = FLanguage.DefaultAttri[Index];
  return a >= 0 ? FAttris[a] : nullptr;
}

void TRidScanHighlighter::SetLine(std::string_view NewValue, int32_t LineNumber) {
  FLineText = NewValue.data() ? NewValue.data() : "";
  FLineLen = static_cast<int32_t>(NewValue.size());
  FRunPos = 0;
  FLineNumber = LineNumber;
  Next();
}

uint64_t TRidScanHighlighter::HashRun(int32_t APos, const TRidCharSet& ASet,
                                      const uint8_t* AValues) {
  uint64_t hash = 0;
  int32_t i = APos;
  if (AValues) {
    for (; i < FLineLen && ASet.Contains(static_cast<uint8_t>(FLineText[i])); ++i)
      hash += AValues[static_cast<uint8_t>(FLineText[i])];
  } else {
    for (; i < FLineLen && ASet.Contains(static_cast<uint8_t>(FLineText[i])); ++i)
      hash += static_cast<uint8_t>(FLineText[i]);
  }
  FWordStart = APos;
  FWordLength = i - APos;
  return hash;
}

int64_t TRidScanHighlighter::HashRun(int32_t APos, const TRidCharSet& ASet, const int8_t* AValues,
                                     int32_t AEnd) {
  int64_t hash = 0;
  int32_t i = APos;
  for (const int32_t end = std::min(AEnd, FLineLen);
       i < end && ASet.Contains(static_cast<uint8_t>(FLineText[i])); ++i)
    hash += AValues[static_cast<uint8_t>(FLineText[i])];
  FWordStart = APos;
  FWordLength = i - APos;
  return hash;
}

int32_t TRidScanHighlighter::MatchForm(std::span<const std::string_view> AForms) const {
  for (std::string_view form : AForms) {
    int32_t i = 0;
    const int32_t n = static_cast<int32_t>(form.size());
    while (i < n && Ahead(i) == static_cast<uint8_t>(form[i])) ++i;
    if (i == n) return n;
  }
  return 0;
}

void TRidScanHighlighter::NullProc() {
  if (FRunPos >= FLineLen) {
    FTokenKind = FLanguage.NullKind;
    return;
  }
  // A NUL byte inside the line: a character like any other we cannot classify.
  FTokenKind = FLanguage.UnknownKind;
  ++FRunPos;
}

void TRidScanHighlighter::CRProc() {
  FTokenKind = FLanguage.SpaceKind;
  FRunPos += Ahead(1) == 10 ? 2 : 1;
}

void TRidScanHighlighter::LFProc() {
  FTokenKind = FLanguage.SpaceKind;
  ++FRunPos;
}

void TRidScanHighlighter::SpaceProc() {
  FTokenKind = FLanguage.SpaceKind;
  ++FRunPos;
  while (FRunPos < FLineLen) {
    const uint8_t b = static_cast<uint8_t>(FLineText[FRunPos]);
    if (b == 0 || b == 10 || b == 13 || b > 32) break;
    ++FRunPos;
  }
}

void TRidScanHighlighter::BlankRunProc() {
  FTokenKind = FLanguage.SpaceKind;
  ++FRunPos;
  while (FRunPos < FLineLen) {
    const uint8_t b = static_cast<uint8_t>(FLineText[FRunPos]);
    if (b == 0 || b == 9 || b == 10 || b == 13 || b > 32) break;
    ++FRunPos;
  }
}

void TRidScanHighlighter::BlankLinesProc() {
  FTokenKind = FLanguage.SpaceKind;
  ++FRunPos;
  while (FRunPos < FLineLen) {
    const uint8_t b = static_cast<uint8_t>(FLineText[FRunPos]);
    if (b == 0 || b > 32) break;
    ++FRunPos;
  }
}

void TRidScanHighlighter::LineStopProc() {
  switch (Cur()) {
    case 10:
      return LFProc();
    case 13:
      return CRProc();
    default:
      return NullProc();
  }
}

void TRidScanHighlighter::RunUntil(const TRidCharSet& AStops) {
  int32_t i = FRunPos;
  while (i < FLineLen) {
    const uint8_t b = static_cast<uint8_t>(FLineText[i]);
    if (AStops.Contains(b)) break;
    i += CharLen(i);
  }
  FRunPos = i;
}

bool TRidScanHighlighter::RunToClose(std::string_view AClose, const TRidCharSet& AStops,
                                     bool ABackslashEscapes) {
  const auto first = static_cast<uint8_t>(AClose.front());
  const auto size = static_cast<int32_t>(AClose.size());
  while (FRunPos < FLineLen) {
    const uint8_t b = Cur();
    if (b == first && FRunPos + size <= FLineLen &&
        std::string_view(FLineText + FRunPos, size) == AClose) {
      FRunPos += size;
      return true;
    }
    if (AStops.Contains(b)) return false;
    if (b == '\\' && ABackslashEscapes && FRunPos + 1 < FLineLen && !AStops.Contains(Ahead(1)))
      ++FRunPos;
    StepChar();
  }
  return false;
}

bool TRidScanHighlighter::ContinueToClose(std::string_view AClose, uint8_t AKind,
                                          bool ABackslashEscapes) {
  if (IsLineStop(Cur())) {
    LineStopProc();
    return false;
  }
  FTokenKind = AKind;
  return RunToClose(AClose, kLineStops, ABackslashEscapes);
}

TRidScanHighlighter::TQuoteEnd TRidScanHighlighter::RunQuoted(uint8_t AQuote, TEscape AEscape,
                                                              const TRidCharSet& AStops) {
  while (FRunPos < FLineLen) {
    const uint8_t b = Cur();
    if (b == AQuote) {
      ++FRunPos;
      if (AEscape != TEscape::esDoubled || Cur() != AQuote) return TQuoteEnd::qeClosed;
      ++FRunPos;
      continue;
    }
    if (AStops.Contains(b)) return TQuoteEnd::qeOpen;
    if (b == '\\' && AEscape == TEscape::esBackslash) {
      ++FRunPos;
      if (FRunPos >= FLineLen) return TQuoteEnd::qeEscapedLineEnd;
      if (AStops.Contains(Cur())) return TQuoteEnd::qeEscapedStop;
    }
    StepChar();
  }
  return TQuoteEnd::qeOpen;
}

TRidScanHighlighter::TQuoteEnd TRidScanHighlighter::StringRun(TEscape AEscape, bool ATripled) {
  const uint8_t quote = Cur();
  FRunPos += ATripled && Ahead(1) == quote && Ahead(2) == quote ? 3 : 1;
  return RunQuoted(quote, AEscape, kLineStops);
}

void TRidScanHighlighter::NumberRun(const TRidCharSet& ASet) {
  ++FRunPos;
  while (FRunPos < FLineLen && ASet.Contains(Cur()) && !(Cur() == '.' && Ahead(1) == '.'))
    ++FRunPos;
}

void TRidScanHighlighter::LineCommentProc() {
  FTokenKind = FLanguage.CommentKind;
  RunUntil(kLineStops);
}

void TRidScanHighlighter::UnknownProc() {
  FTokenKind = FLanguage.UnknownKind;
  FRunPos += CharLen(FRunPos);
}

// ---------------------------------------------------------------------------------------------
// IDE colour schemes

void EnumIdeVersions(std::string_view AProduct, TStrings* AList) {
  TRegistry reg;
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  if (reg.OpenKeyReadOnly("\\SOFTWARE\\Borland\\" + std::string(AProduct))) reg.GetKeyNames(AList);
}

bool LoadIdeScheme(std::string_view AProduct, int32_t AIndex, std::string_view AOldLayoutFirst,
                   std::span<const TRidIdeEntry> AEntries) {
  TStringList versions;
  EnumIdeVersions(AProduct, &versions);
  if (AIndex < 0 || AIndex >= versions.Count()) return false;
  const std::string version = versions[AIndex];
  const bool old = !version.empty() && AOldLayoutFirst.find(version[0]) != std::string_view::npos;
  const std::string key = "\\Software\\Borland\\" + std::string(AProduct) + "\\" + version +
                          (old ? "\\Highlight" : "\\Editor\\Highlight");
  std::vector<std::unique_ptr<TRidHighlighterAttributes>> read;
  for (const TRidIdeEntry& e : AEntries) {
    std::string name(old && !e.OldName.empty() ? e.OldName : e.Name);
    if (old) std::replace(name.begin(), name.end(), ' ', '_');
    auto attri = std::make_unique<TRidHighlighterAttributes>(name);
    try {
      if (!attri->LoadFromIdeRegistry(HKEY_CURRENT_USER, key, name, old)) return false;
    } catch (const Exception&) {
      return false;
    }
    read.push_back(std::move(attri));
  }
  for (size_t i = 0; i < AEntries.size(); ++i)
    for (TRidHighlighterAttributes* a : AEntries[i].Attributes)
      a->AssignColorAndStyle(read[i].get());
  return true;
}

}  // namespace rid
