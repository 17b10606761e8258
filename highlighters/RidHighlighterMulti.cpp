#include "highlighters/RidHighlighterMulti.h"

#include <limits>

#include "platform/Locale.h"
#include "platform/Registry.h"

namespace rid {

namespace {

// Whether a chain of multi-language highlighters leads from AFrom to ATarget.
bool Reaches(const TRidCustomHighlighter* AFrom, const TRidCustomHighlighter* ATarget) {
  if (!AFrom) return false;
  if (AFrom == ATarget) return true;
  if (!AFrom->IsMultiHighlighter()) return false;
  if (Reaches(AFrom->GetMultiDefaultHighlighter(), ATarget)) return true;
  for (int32_t i = 0; i < AFrom->GetSchemeCount(); ++i)
    if (Reaches(AFrom->GetSchemeHighlighter(i), ATarget)) return true;
  return false;
}

// The first character start of ALine at or after APos, walking from AFrom, a character start
// at or before it.
int32_t NextCharStart(std::string_view ALine, int32_t AFrom, int32_t APos) {
  int32_t i = AFrom;
  const auto n = static_cast<int32_t>(ALine.size());
  while (i < APos)
    i += IsDBCSLeadByte(static_cast<uint8_t>(ALine[i])) && i + 1 < n &&
                 IsDBCSTrailByte(static_cast<uint8_t>(ALine[i + 1]))
             ? 2
             : 1;
  return i;
}

bool IsCharStart(std::string_view ALine, int32_t AFrom, int32_t APos) {
  return NextCharStart(ALine, AFrom, APos) == APos;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TScheme

TScheme::TScheme(TCollection* ACollection)
    : TCollectionItem(ACollection),
      FMarkerAttri(std::make_unique<TRidHighlighterAttributes>("Marker")) {
  FMarkerAttri->SetBackground(clYellow);
  FMarkerAttri->SetStyle({fsBold});
  FMarkerAttri->SaveDefaults();
  FMarkerAttri->OnChange = TNotifyEvent(this, &TScheme::MarkerAttriChanged);
}

TScheme::~TScheme() {
  FMarkerAttri->OnChange = nullptr;
  SetHighlighter(nullptr);
}

TRidMultiRid* TScheme::Multi() const {
  auto* schemes = static_cast<TSchemes*>(GetCollection());
  return schemes ? schemes->GetOwner() : nullptr;
}

void TScheme::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TScheme*>(Source);
  if (!src) return TCollectionItem::Assign(Source);
  FCaseSensitive = src->FCaseSensitive;
  FStartExpr = src->FStartExpr;
  FEndExpr = src->FEndExpr;
  FStartRegExpr.reset();
  FEndRegExpr.reset();
  FSchemeName = src->FSchemeName;
  FMarkerAttri->AssignColorAndStyle(src->FMarkerAttri.get());
  SetHighlighter(src->FHighlighter);
  Changed(true);
}

std::string TScheme::GetDisplayName() const {
  return FSchemeName.empty() ? TCollectionItem::GetDisplayName() : FSchemeName;
}

void TScheme::SetCaseSensitive(bool Value) {
  if (FCaseSensitive == Value) return;
  FCaseSensitive = Value;
  FStartRegExpr.reset();
  FEndRegExpr.reset();
  Changed(true);
}

void TScheme::SetStartExpr(const std::string& Value) { SetExpr(FStartExpr, FStartRegExpr, Value); }

void TScheme::SetEndExpr(const std::string& Value) { SetExpr(FEndExpr, FEndRegExpr, Value); }

void TScheme::SetExpr(std::string& AField, std::unique_ptr<TRidRegExpr>& ACompiled,
                      const std::string& Value) {
  if (Value == AField) return;
  std::unique_ptr<TRidRegExpr> compiled;
  if (!Value.empty()) {
    compiled = NewRegExpr(Value);
    compiled->Compile();  // raises for a bad expression; the old one stays
  }
  const bool differs =
      FCaseSensitive ? Value != AField : AnsiUpperCase(Value) != AnsiUpperCase(AField);
  AField = Value;
  ACompiled = std::move(compiled);
  if (differs) Changed(true);
}

std::unique_ptr<TRidRegExpr> TScheme::NewRegExpr(const std::string& AExpr) const {
  auto expr = std::make_unique<TRidRegExpr>();
  expr->SetExpression(AExpr);
  expr->SetModifier(remI, !FCaseSensitive);
  return expr;
}

TRidRegExpr* TScheme::Compiled(std::unique_ptr<TRidRegExpr>& ACompiled, const std::string& AExpr) {
  if (AExpr.empty()) return nullptr;
  if (!ACompiled) ACompiled = NewRegExpr(AExpr);
  return ACompiled.get();
}

bool TScheme::Searchable() const {
  return !FStartExpr.empty() && !FEndExpr.empty() && FHighlighter && FHighlighter->GetEnabled();
}

void TScheme::SetHighlighter(TRidCustomHighlighter* Value) {
  TRidMultiRid* multi = Multi();
  if (Value == FHighlighter) return;
  if (multi && Value && (Value == multi || Reaches(Value, multi)))
    throw ERidMultiError("A RidMultiRid cannot colour its own schemes.");
  TRidCustomHighlighter* old = FHighlighter;
  const bool usedBefore = multi && multi->Uses(Value);
  FHighlighter = Value;
  if (!multi) return;
  if (old && !multi->Uses(old)) multi->Unhook(old);
  if (Value && !usedBefore) multi->Hook(Value);
  multi->SetCurrent(multi->FCurrScheme);
  if (!multi->SelectPacking()) Changed(true);
}

void TScheme::SetMarkerAttri(TRidHighlighterAttributes* Value) {
  if (Value) FMarkerAttri->AssignColorAndStyle(Value);
}

void TScheme::SetSchemeName(const std::string& Value) { FSchemeName = Value; }

void TScheme::MarkerAttriChanged(TObject* Sender) { Changed(false); }

// ---------------------------------------------------------------------------------------------
// TSchemes

TSchemes::~TSchemes() {
  // Quietly: the owner hears of nothing while its schemes go.
  BeginUpdate();
  Clear();
}

TScheme* TSchemes::Add() {
  if (FOwner && Count() >= FOwner->MaxSchemes())
    Assert(false, __FILE__, __LINE__, "no room for another scheme in the range");
  return static_cast<TScheme*>(AddItem(std::make_unique<TScheme>(this)));
}

std::unique_ptr<TCollectionItem> TSchemes::NewItem() { return std::make_unique<TScheme>(this); }

void TSchemes::Update(TCollectionItem* AItem) {
  if (!FOwner) return;
  // Schemes copied in are given their highlighters before they join the list: the packing is
  // chosen again once they have (a change of it notifies by itself).
  if (AItem || !FOwner->SelectPacking())
    FOwner->SchemeChanged(AItem ? static_cast<TObject*>(AItem) : FOwner);
}

// ---------------------------------------------------------------------------------------------
// TRidMultiRid

TRidMultiRid::TRidMultiRid(TComponent* AOwner)
    : TRidCustomHighlighter(AOwner), FSchemes(std::make_unique<TSchemes>(this)) {}

TRidMultiRid::~TRidMultiRid() {
  FDestroying = true;
  FMarkers.clear();
  FSchemes->BeginUpdate();
  FSchemes->Clear();
  SetDefaultHighlighterQuietly(nullptr);
}

void TRidMultiRid::Loaded() {
  TRidCustomHighlighter::Loaded();
  AttributeChanged(this);
}

bool TRidMultiRid::Uses(const TRidCustomHighlighter* AHighlighter) const {
  if (!AHighlighter) return false;
  if (FDefaultHighlighter == AHighlighter) return true;
  for (int32_t i = 0; i < FSchemes->Count(); ++i)
    if (FSchemes->GetItem(i)->GetHighlighter() == AHighlighter) return true;
  return false;
}

void TRidMultiRid::Hook(TRidCustomHighlighter* AHighlighter) {
  AHighlighter->HookAttrChangeEvent(TNotifyEvent(static_cast<TRidCustomHighlighter*>(this),
                                                 &TRidCustomHighlighter::AttributeChanged));
  AHighlighter->FreeNotification(this);
}

void TRidMultiRid::Unhook(TRidCustomHighlighter* AHighlighter) {
  AHighlighter->UnhookAttrChangeEvent(TNotifyEvent(static_cast<TRidCustomHighlighter*>(this),
                                                   &TRidCustomHighlighter::AttributeChanged));
  AHighlighter->RemoveFreeNotification(this);
}

void TRidMultiRid::SetDefaultHighlighterQuietly(TRidCustomHighlighter* Value) {
  TRidCustomHighlighter* old = FDefaultHighlighter;
  const bool usedBefore = Uses(Value);
  FDefaultHighlighter = Value;
  if (old && !Uses(old)) Unhook(old);
  if (Value && !usedBefore) Hook(Value);
  SetCurrent(FCurrScheme);
}

void TRidMultiRid::SetDefaultHighlighter(TRidCustomHighlighter* Value) {
  if (Value == this) throw ERidMultiError("A RidMultiRid cannot be its own DefaultHighlighter.");
  if (Value && Reaches(Value, this))
    throw ERidMultiError("A RidMultiRid cannot colour its own schemes.");
  if (Value == FDefaultHighlighter) return;
  SetDefaultHighlighterQuietly(Value);
  AttributeChanged(this);
}

void TRidMultiRid::SetOnCustomRange(TCustomRangeEvent Value) {
  FOnCustomRange = std::move(Value);
  SelectPacking();
}

TRidMultiRid::TPacking TRidMultiRid::ChoosePacking() const {
  if (FOnCustomRange) return TPacking::pkCustom;
  for (int32_t i = 0; i < FSchemes->Count(); ++i)
    if (dynamic_cast<TRidMultiRid*>(FSchemes->GetItem(i)->GetHighlighter()))
      return TPacking::pkNested;
  return TPacking::pkDefault;
}

bool TRidMultiRid::SelectPacking() {
  const TPacking packing = ChoosePacking();
  if (packing == FPacking) return false;
  FPacking = packing;
  SchemeChanged(this);
  return true;
}

int32_t TRidMultiRid::MaxSchemes() const {
  switch (ChoosePacking()) {
    case TPacking::pkCustom:
      return std::numeric_limits<int32_t>::max();
    case TPacking::pkNested:
      return kMaxNestedSchemes;
    default:
      return kMaxSchemes;
  }
}

void TRidMultiRid::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent) {
    // The highlighter is going: forget it without calling it.
    if (AComponent == FDefaultHighlighter) FDefaultHighlighter = nullptr;
    for (int32_t i = 0; i < FSchemes->Count(); ++i) {
      TScheme* s = FSchemes->GetItem(i);
      if (s->FHighlighter == AComponent) s->FHighlighter = nullptr;
    }
    FPacking = ChoosePacking();
    SetCurrent(FCurrScheme);
  }
  TRidCustomHighlighter::Notification(AComponent, Operation);
}

TScheme* TRidMultiRid::UsableScheme(int32_t AIndex) const {
  if (AIndex < 0 || AIndex >= FSchemes->Count()) return nullptr;
  TScheme* s = FSchemes->GetItem(AIndex);
  return s->GetHighlighter() && s->GetHighlighter()->GetEnabled() ? s : nullptr;
}

TRidCustomHighlighter* TRidMultiRid::Current() const {
  const TScheme* s = UsableScheme(FCurrScheme);
  return s ? s->GetHighlighter() : FDefaultHighlighter;
}

void TRidMultiRid::SetCurrent(int32_t AScheme) {
  FCurrScheme = UsableScheme(AScheme) ? AScheme : -1;
  FActive = Current();
}

TRidCustomHighlighter* TRidMultiRid::GetSchemeHighlighter(int32_t Index) const {
  return Index >= 0 && Index < FSchemes->Count() ? FSchemes->GetItem(Index)->GetHighlighter()
                                                 : nullptr;
}

TRidHighlighterAttributes* TRidMultiRid::GetSchemeMarkerAttri(int32_t Index) const {
  return Index >= 0 && Index < FSchemes->Count() ? FSchemes->GetItem(Index)->GetMarkerAttri()
                                                 : nullptr;
}

// --- Attributes

int32_t TRidMultiRid::GetAttribCount() const {
  int32_t n = FSchemes->Count();
  if (FDefaultHighlighter) n += FDefaultHighlighter->GetAttribCount();
  for (int32_t i = 0; i < FSchemes->Count(); ++i)
    if (TRidCustomHighlighter* h = FSchemes->GetItem(i)->GetHighlighter()) n += h->GetAttribCount();
  return n;
}

TRidHighlighterAttributes* TRidMultiRid::GetAttribute(int32_t Index) const {
  if (Index < 0) return nullptr;
  if (Index < FSchemes->Count()) return FSchemes->GetItem(Index)->GetMarkerAttri();
  Index -= FSchemes->Count();
  auto from = [&Index](const TRidCustomHighlighter* H) -> TRidHighlighterAttributes* {
    if (!H) return nullptr;
    if (Index < H->GetAttribCount()) return H->GetAttribute(Index);
    Index -= H->GetAttribCount();
    return nullptr;
  };
  if (TRidHighlighterAttributes* a = from(FDefaultHighlighter)) return a;
  for (int32_t i = 0; i < FSchemes->Count(); ++i)
    if (TRidHighlighterAttributes* a = from(FSchemes->GetItem(i)->GetHighlighter())) return a;
  return nullptr;
}

TRidHighlighterAttributes* TRidMultiRid::GetDefaultAttribute(int32_t Index) const {
  const TRidCustomHighlighter* h = Current();
  return h ? h->GetDefaultAttribute(Index) : nullptr;
}

TRidCharSet TRidMultiRid::GetIdentChars() const {
  const TRidCustomHighlighter* h = Current();
  return h ? h->GetIdentChars() : TRidCustomHighlighter::GetIdentChars();
}

// --- Markers

void TRidMultiRid::SetLine(std::string_view NewValue, int32_t LineNumber) {
  FMarkers.clear();
  FMarker = nullptr;
  FNextMarker = 0;
  FLine = NewValue.data() ? NewValue : std::string_view("", 0);
  FLineNumber = LineNumber;
  FLineStarted = false;
  FSegmentStart = 0;
  FTokenPos = 0;
  FTokenLen = 0;
  SetCurrent(FCurrScheme);
  if (FDefaultHighlighter) FindMarkers(FLine);
  Next();
}

void TRidMultiRid::FindMarkers(std::string_view ALine) {
  const auto length = static_cast<int32_t>(ALine.size());
  int32_t offset = 0;
  int32_t open = UsableScheme(FCurrScheme) ? FCurrScheme : -1;
  int32_t pos = 0, len = 0;
  while (offset < length) {
    if (open >= 0) {
      TScheme& s = *FSchemes->GetItem(open);
      TRidRegExpr* expr = s.Compiled(s.FEndRegExpr, s.FEndExpr);
      if (!expr || !FindMatch(*expr, ALine, offset, pos, len)) return;
      AddMarker(s, open, pos, len, false);
      open = -1;
    } else {
      // The first scheme in the list that matches anywhere wins.
      for (int32_t i = 0; i < FSchemes->Count() && open < 0; ++i) {
        TScheme& s = *FSchemes->GetItem(i);
        if (!s.Searchable()) continue;
        TRidRegExpr* expr = s.Compiled(s.FStartRegExpr, s.FStartExpr);
        if (expr && FindMatch(*expr, ALine, offset, pos, len)) {
          AddMarker(s, i, pos, len, true);
          open = i;
        }
      }
      if (open < 0) return;
    }
    offset = pos + len;
  }
}

bool TRidMultiRid::FindMatch(TRidRegExpr& AExpr, std::string_view ALine, int32_t AFrom,
                             int32_t& APos, int32_t& ALen) const {
  // The expression sees the rest of the line as its whole input. A match that is empty or
  // starts or ends inside a character is no marker: the search goes on after it.
  try {
    int32_t walk = AFrom;  // a character start; the positions asked about only grow
    auto startsChar = [&](int32_t APos) {
      walk = NextCharStart(ALine, walk, APos);
      return walk == APos;
    };
    for (bool found = AExpr.ExecView(ALine.substr(AFrom)); found; found = AExpr.ExecNext()) {
      APos = AFrom + AExpr.MatchPos() - 1;
      ALen = AExpr.MatchLen();
      if (ALen > 0 && startsChar(APos) && startsChar(APos + ALen)) return true;
    }
  } catch (const ERidRegExpr&) {
    // An expression that gives up on this line (too much work) finds nothing in it.
  }
  return false;
}

void TRidMultiRid::AddMarker(TScheme& AScheme, int32_t AIndex, int32_t APos, int32_t ALen,
                             bool AOpen) {
  TMarker m{AIndex, APos + 1, ALen, std::string(FLine.substr(APos, ALen)), AOpen};
  const TOnCheckMarker& check = AOpen ? AScheme.OnCheckStartMarker : AScheme.OnCheckEndMarker;
  if (check) check(this, m.StartPos, m.MarkerLen, m.MarkerText, FLineNumber);
  // What the event left must still be a piece of the line after the markers before it.
  const int32_t start = m.StartPos - 1;
  const int32_t previousEnd =
      FMarkers.empty() ? 0 : FMarkers.back().StartPos - 1 + FMarkers.back().MarkerLen;
  const auto length = static_cast<int32_t>(FLine.size());
  if (m.MarkerText.empty() || m.MarkerLen < 1 || start < previousEnd ||
      m.MarkerLen > length - start || !IsCharStart(FLine, previousEnd, start) ||
      !IsCharStart(FLine, start, start + m.MarkerLen))
    return;
  FMarkers.push_back(std::move(m));
}

// --- Scanning

void TRidMultiRid::Next() {
  if (!FDefaultHighlighter) {
    // The whole line is one token; an empty line has none.
    FEol = FLineStarted || FLine.empty();
    FLineStarted = true;
    FTokenPos = 0;
    FTokenLen = static_cast<int32_t>(FLine.size());
    return;
  }
  if (FMarker)
    LeaveMarker();
  else if (!FLineStarted)
    StartSegment(0);
  else
    FActive->Next();
  FLineStarted = true;
  if (!FActive->GetEol()) {
    FEol = false;
    FTokenPos = FSegmentStart + FActive->GetTokenPos();
    FTokenLen = static_cast<int32_t>(FActive->GetTokenView().size());
  } else if (FNextMarker < FMarkers.size()) {
    EnterMarker();  // the segment ends at the next marker
  } else {
    // At the end of the line the state becomes what its range says, so the next line scans
    // alike whether it goes on from here or starts from the stored range.
    FEol = true;
    FTokenPos = static_cast<int32_t>(FLine.size());
    FTokenLen = 0;
    if (FPacking != TPacking::pkCustom) SetRange(GetRange());
  }
}

void TRidMultiRid::EnterMarker() {
  const TMarker& m = FMarkers[FNextMarker++];
  FMarker = &m;
  if (m.IsOpenMarker) {
    FSavedDefaultRange = FDefaultHighlighter->GetRange();
    SetCurrent(m.Scheme);
    if (FCurrScheme >= 0) FActive->ResetRange();
  }
  FTokenPos = m.StartPos - 1;
  FTokenLen = m.MarkerLen;
  FEol = false;
}

void TRidMultiRid::LeaveMarker() {
  const TMarker& m = *FMarker;
  FMarker = nullptr;
  if (!m.IsOpenMarker) {
    SetCurrent(-1);
    FDefaultHighlighter->SetRange(FSavedDefaultRange);
  }
  StartSegment(m.StartPos - 1 + m.MarkerLen);
}

void TRidMultiRid::StartSegment(int32_t AFrom) {
  const int32_t end = FNextMarker < FMarkers.size() ? FMarkers[FNextMarker].StartPos - 1
                                                    : static_cast<int32_t>(FLine.size());
  FSegmentStart = AFrom;
  FActive->SetLine(FLine.substr(AFrom, end - AFrom), FLineNumber);
}

bool TRidMultiRid::GetEol() const { return !FMarker && FEol; }

std::string_view TRidMultiRid::GetTokenView() const {
  return FLine.substr(static_cast<size_t>(FTokenPos), static_cast<size_t>(FTokenLen));
}

TRidHighlighterAttributes* TRidMultiRid::GetTokenAttribute() const {
  if (FMarker) return GetSchemeMarkerAttri(FMarker->Scheme);
  return FDefaultHighlighter ? FActive->GetTokenAttribute() : nullptr;
}

int32_t TRidMultiRid::GetTokenKind() const {
  if (FMarker || !FDefaultHighlighter) return 0;
  return FActive->GetTokenKind();
}

// --- Ranges

TRidRange TRidMultiRid::GetRange() const {
  switch (FPacking) {
    case TPacking::pkCustom: {
      TRidRange value = 0;
      FOnCustomRange(const_cast<TRidMultiRid*>(this), roGet, value);
      return value;
    }
    case TPacking::pkNested:
      return NestedGet();
    default:
      return DefaultGet();
  }
}

void TRidMultiRid::SetRange(TRidRange Value) {
  switch (FPacking) {
    case TPacking::pkCustom:
      FOnCustomRange(this, roSet, Value);
      if (FDefaultHighlighter) FSavedDefaultRange = FDefaultHighlighter->GetRange();
      break;
    case TPacking::pkNested:
      NestedSet(Value);
      break;
    default:
      DefaultSet(Value);
  }
}

void TRidMultiRid::ResetRange() {
  SetCurrent(-1);
  if (!FDefaultHighlighter) return;
  FDefaultHighlighter->ResetRange();
  FSavedDefaultRange = FDefaultHighlighter->GetRange();
}

// Default packing: bits 0-2 the scheme index + 1 (0: none); with a scheme, bits 3-10 its
// highlighter's range; above them the default highlighter's range. A scheme that does not fit
// packs as none.
TRidRange TRidMultiRid::DefaultGet() const {
  const TScheme* s = UsableScheme(FCurrScheme);
  if (s && FCurrScheme < kMaxSchemes) {
    const auto inner = static_cast<uintptr_t>(s->GetHighlighter()->GetRange());
    if (inner <= 255)
      return static_cast<TRidRange>((static_cast<uintptr_t>(FSavedDefaultRange) << 11) |
                                    (inner << 3) | static_cast<uintptr_t>(FCurrScheme + 1));
  }
  const auto outer = static_cast<uintptr_t>(
      FCurrScheme >= 0 ? FSavedDefaultRange
                       : (FDefaultHighlighter ? FDefaultHighlighter->GetRange() : 0));
  return static_cast<TRidRange>(outer << 3);
}

void TRidMultiRid::DefaultSet(TRidRange Value) {
  auto v = static_cast<uintptr_t>(Value);
  const int32_t index = static_cast<int32_t>(v & 7) - 1;
  v >>= 3;
  uintptr_t inner = 0;
  if (index >= 0) {
    inner = v & 255;
    v >>= 8;
  }
  FSavedDefaultRange = static_cast<TRidRange>(v);
  if (FDefaultHighlighter) FDefaultHighlighter->SetRange(FSavedDefaultRange);
  SetCurrent(index);
  if (FCurrScheme >= 0) FActive->SetRange(static_cast<TRidRange>(inner));
}

// Nested packing: bits 0-3 the scheme index + 2 (1: none), above them the range of the
// highlighter that colours the text (another multi-language highlighter's own packing).
TRidRange TRidMultiRid::NestedGet() const {
  auto fits = [](const TRidCustomHighlighter* H, uintptr_t R) {
    return (R <= 255 || dynamic_cast<const TRidMultiRid*>(H)) && (R >> 28) == 0;
  };
  if (const TScheme* s = UsableScheme(FCurrScheme); s && FCurrScheme + 2 <= 15) {
    const auto r = static_cast<uintptr_t>(s->GetHighlighter()->GetRange());
    if (fits(s->GetHighlighter(), r)) return static_cast<TRidRange>((FCurrScheme + 2) + r * 16);
  }
  const auto r = static_cast<uintptr_t>(
      FCurrScheme >= 0 ? FSavedDefaultRange
                       : (FDefaultHighlighter ? FDefaultHighlighter->GetRange() : 0));
  return static_cast<TRidRange>(1 + (fits(FDefaultHighlighter, r) ? r * 16 : 0));
}

void TRidMultiRid::NestedSet(TRidRange Value) {
  const auto v = static_cast<uintptr_t>(Value);
  const int32_t index = static_cast<int32_t>(v & 15) - 2;
  const auto r = static_cast<TRidRange>(v >> 4);
  SetCurrent(index);
  if (FCurrScheme >= 0) {
    // Only the scheme's range is kept: the default highlighter goes on from its start.
    FActive->SetRange(r);
    if (FDefaultHighlighter) FDefaultHighlighter->ResetRange();
    FSavedDefaultRange = FDefaultHighlighter ? FDefaultHighlighter->GetRange() : 0;
  } else {
    FSavedDefaultRange = r;
    if (FDefaultHighlighter) FDefaultHighlighter->SetRange(r);
  }
}

// --- Registry

bool TRidMultiRid::LoadFromRegistry(HKEY RootKey, const std::string& Key) {
  return ToRegistry(RootKey, Key, false);
}

bool TRidMultiRid::SaveToRegistry(HKEY RootKey, const std::string& Key) {
  return ToRegistry(RootKey, Key, true);
}

bool TRidMultiRid::ToRegistry(HKEY RootKey, const std::string& Key, bool ASave) {
  // Every highlighter loads or saves, whatever failed before it.
  auto highlighter = [&](TRidCustomHighlighter* H, const std::string& AKey) {
    return H && (ASave ? H->SaveToRegistry(RootKey, AKey) : H->LoadFromRegistry(RootKey, AKey));
  };
  bool ok = highlighter(FDefaultHighlighter, Key + "\\DefaultHighlighter");
  for (int32_t i = 0; i < FSchemes->Count(); ++i) {
    TScheme* s = FSchemes->GetItem(i);
    if (s->GetSchemeName().empty()) {
      ok = false;
      continue;
    }
    const std::string key = Key + "\\" + s->GetSchemeName();
    TRegistry reg;
    reg.SetRootKey(RootKey);
    if (!(ASave ? reg.OpenKey(key, true) : reg.OpenKeyReadOnly(key))) {
      ok = false;
      continue;
    }
    TRidHighlighterAttributes* marker = s->GetMarkerAttri();
    ok = (ASave ? marker->SaveToRegistry(reg) : marker->LoadFromRegistry(reg)) && ok;
    try {
      reg.CloseKey();
    } catch (const Exception&) {
      ok = false;  // the registry file could not be written
    }
    ok = highlighter(s->GetHighlighter(), key) && ok;
  }
  return ok;
}

}  // namespace rid
