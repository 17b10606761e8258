#include "editor/RidEderHighlighter.h"

#include <algorithm>
#include <charconv>

#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// TRidHighlighterAttributes

TRidHighlighterAttributes::TRidHighlighterAttributes(std::string AName)
    : FName(std::move(AName)) {}

void TRidHighlighterAttributes::Changed() {
  if (OnChange) OnChange(this);
}

void TRidHighlighterAttributes::SetBackground(TColor Value) {
  if (FBackground == Value) return;
  FBackground = Value;
  Changed();
}

void TRidHighlighterAttributes::SetForeground(TColor Value) {
  if (FForeground == Value) return;
  FForeground = Value;
  Changed();
}

void TRidHighlighterAttributes::SetStyle(TFontStyles Value) {
  if (FStyle == Value) return;
  FStyle = Value;
  Changed();
}

void TRidHighlighterAttributes::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TRidHighlighterAttributes*>(Source)) {
    FName = src->FName;
    AssignColorAndStyle(src);
    return;
  }
  TPersistent::Assign(Source);
}

void TRidHighlighterAttributes::AssignColorAndStyle(const TRidHighlighterAttributes* Source) {
  bool changed = false;
  if (FBackground != Source->FBackground) {
    FBackground = Source->FBackground;
    changed = true;
  }
  if (FForeground != Source->FForeground) {
    FForeground = Source->FForeground;
    changed = true;
  }
  if (FStyle != Source->FStyle) {
    FStyle = Source->FStyle;
    changed = true;
  }
  if (changed) Changed();
}

void TRidHighlighterAttributes::SaveDefaults() {
  FBackgroundDefault = FBackground;
  FForegroundDefault = FForeground;
  FStyleDefault = FStyle;
}

int32_t TRidHighlighterAttributes::GetStyleAsInteger() const {
  return static_cast<int32_t>(FStyle.ToBits());
}

void TRidHighlighterAttributes::SetStyleFromInteger(int32_t Value) {
  SetStyle(TFontStyles::FromBits(static_cast<uint32_t>(Value) & 15u));
}

// ---------------------------------------------------------------------------------------------
// Class list

int32_t TRidHighlighterList::IndexOf(TRidHighlighterClassRef AClass) const {
  auto it = std::find(FItems.begin(), FItems.end(), AClass);
  return it == FItems.end() ? -1 : static_cast<int32_t>(it - FItems.begin());
}

int32_t TRidHighlighterList::Add(TRidHighlighterClassRef AClass) {
  int32_t i = IndexOf(AClass);
  if (i >= 0) return i;
  FItems.push_back(AClass);
  return Count() - 1;
}

TRidHighlighterList& GetPlaceableHighlighters() {
  // Built on first use: language units register while static objects are still being made.
  static TRidHighlighterList list;
  return list;
}

int32_t RegisterHighlighterClass(const TRidHighlighterClass& AClass) {
  return GetPlaceableHighlighters().Add(&AClass);
}

// ---------------------------------------------------------------------------------------------
// TRidCustomHighlighter

TRidCustomHighlighter::TRidCustomHighlighter(TComponent* AOwner)
    : TComponent(AOwner),
      FWordBreakChars(TRidCharSet::Of("!\"'()*+,-./:;=?[\\]^{|}")) {}

TRidCustomHighlighter::~TRidCustomHighlighter() {
  // Last to first, as they were made.
  while (!FAttributes.empty()) FAttributes.pop_back();
}

int32_t TRidCustomHighlighter::GetAttribCount() const {
  return static_cast<int32_t>(FAttributes.size());
}

TRidHighlighterAttributes* TRidCustomHighlighter::GetAttribute(int32_t Index) const {
  if (Index < 0 || Index >= GetAttribCount()) return nullptr;
  return FAttributes[Index].Attri.get();
}

TRidCharSet TRidCustomHighlighter::GetIdentChars() const { return TRidCharSet::Range(33, 255); }

TRidHighlighterAttributes* TRidCustomHighlighter::AddAttribute(
    std::unique_ptr<TRidHighlighterAttributes> AAttrib) {
  const std::string& name = AAttrib->GetName();
  auto it = std::lower_bound(FAttributes.begin(), FAttributes.end(), name,
                             [](const TAttribEntry& e, const std::string& n) {
                               return AnsiCompareText(e.Name, n) < 0;
                             });
  if (it != FAttributes.end() && AnsiCompareText(it->Name, name) == 0)
    throw EStringListError(SDuplicateString);
  TRidHighlighterAttributes* result = AAttrib.get();
  FAttributes.insert(it, TAttribEntry{name, std::move(AAttrib)});
  return result;
}

void TRidCustomHighlighter::SetAttributesOnChange(TNotifyEvent AEvent) {
  for (auto it = FAttributes.rbegin(); it != FAttributes.rend(); ++it) {
    it->Attri->OnChange = AEvent;
    it->Attri->SaveDefaults();
  }
}

void TRidCustomHighlighter::AttributeChanged(TObject* Sender) {
  if (GetComponentState().Contains(csLoading)) return;
  // A handler may hook or unhook while we fire: walk a copy.
  const std::vector<TNotifyEvent> hooks = FAttrChangeHooks;
  for (const TNotifyEvent& h : hooks) h(Sender);
}

void TRidCustomHighlighter::HookAttrChangeEvent(TNotifyEvent ANotifyEvent) {
  FAttrChangeHooks.push_back(std::move(ANotifyEvent));
}

void TRidCustomHighlighter::UnhookAttrChangeEvent(TNotifyEvent ANotifyEvent) {
  std::erase(FAttrChangeHooks, ANotifyEvent);
}

void TRidCustomHighlighter::NextToEol() {
  while (!GetEol()) Next();
}

void TRidCustomHighlighter::SetEnabled(bool Value) {
  if (FEnabled == Value) return;
  FEnabled = Value;
  AttributeChanged(nullptr);
}

void TRidCustomHighlighter::Loaded() {
  TComponent::Loaded();
  AttributeChanged(nullptr);
}

void TRidCustomHighlighter::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidCustomHighlighter*>(Source);
  if (!src) {
    TComponent::Assign(Source);
    return;
  }
  for (int32_t i = 0; i < GetAttribCount(); ++i) {
    TRidHighlighterAttributes* mine = GetAttribute(i);
    for (int32_t j = 0; j < src->GetAttribCount(); ++j) {
      TRidHighlighterAttributes* theirs = src->GetAttribute(j);
      if (theirs->GetName() == mine->GetName()) {
        mine->Assign(theirs);
        break;
      }
    }
  }
  if (src->ClassName() == ClassName()) SetSampleSource(src->GetSampleSource());
  SetWordBreakChars(src->GetWordBreakChars());
  SetDefaultFilter(src->GetDefaultFilter());
  SetEnabled(src->GetEnabled());
}

void TRidCustomHighlighter::EnumUserSettings(TStrings* Settings) {
  if (Settings) Settings->Clear();
}

}  // namespace rid
