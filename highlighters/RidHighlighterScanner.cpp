#include "highlighters/RidHighlighterScanner.h"

#include <algorithm>
#include <memory>

namespace rid {

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

namespace {
// The blanks a space token runs over: every control byte and the space but the line stops,
// without the tab, and with the line breaks.
constexpr TRidCharSet kBlanksAndBreaks = TRidCharSet::Range(1, 32);
constexpr TRidCharSet kBlanks = kBlanksAndBreaks - TRidCharSet{10, 13};
constexpr TRidCharSet kBlanksButTab = kBlanks - TRidCharSet{9};
}  // namespace

void TRidScanHighlighter::SpaceProc() { RunAfterFirst(FLanguage.SpaceKind, kBlanks); }

void TRidScanHighlighter::BlankRunProc() { RunAfterFirst(FLanguage.SpaceKind, kBlanksButTab); }

void TRidScanHighlighter::BlankLinesProc() { RunAfterFirst(FLanguage.SpaceKind, kBlanksAndBreaks); }

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

}  // namespace rid
