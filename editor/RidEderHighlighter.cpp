#include "editor/RidEderHighlighter.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "platform/Graphics.h"
#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// TRidHighlighterAttributes

TRidHighlighterAttributes::TRidHighlighterAttributes(std::string AName) : FName(std::move(AName)) {}

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
// Registry

namespace {

constexpr const char* kBackground = "Background";
constexpr const char* kForeground = "Foreground";
constexpr const char* kStyle = "Style";

// The 16 colours an IDE colour scheme indexes.
constexpr TColor kIdePalette[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                    0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                    0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};

// A palette entry; false for an index the palette does not have.
bool PaletteColor(int64_t Index, TColor& Color) {
  if (Index < 0 || Index >= 16) return false;
  Color = kIdePalette[Index];
  return true;
}

bool ParseInteger(std::string_view Text, int64_t& Value) {
  while (!Text.empty() && Text.front() == ' ') Text.remove_prefix(1);
  while (!Text.empty() && Text.back() == ' ') Text.remove_suffix(1);
  int base = 10;
  bool negative = false;
  if (!Text.empty() && (Text.front() == '-' || Text.front() == '+')) {
    negative = Text.front() == '-';
    Text.remove_prefix(1);
  }
  if (!Text.empty() && Text.front() == '$') {
    base = 16;
    Text.remove_prefix(1);
  } else if (Text.size() > 2 && Text[0] == '0' && (Text[1] == 'x' || Text[1] == 'X')) {
    base = 16;
    Text.remove_prefix(2);
  }
  if (Text.empty()) return false;
  uint64_t v = 0;
  auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), v, base);
  if (ec != std::errc() || end != Text.data() + Text.size() || v > 0xFFFFFFFFull) return false;
  Value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

// A colour as the IDE writes it: a colour name ("clRed", "clWindow") or a number.
bool ParseColor(const std::string& Text, TColor& Color) {
  if (IdentToColor(Text, Color)) return true;
  int64_t v = 0;
  if (!ParseInteger(Text, v) || v < INT32_MIN || v > UINT32_MAX) return false;
  Color = static_cast<TColor>(static_cast<uint32_t>(v));
  return true;
}

bool IsRegistryTrue(const std::string& Value) {
  return !AnsiSameText(Value, "FALSE") && Value != "0";
}

// Splits at commas, as the old layout's "a,b,c,..." value is read field by field.
std::vector<std::string> SplitFields(const std::string& Value) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    const size_t comma = Value.find(',', start);
    fields.push_back(Value.substr(start, comma == std::string::npos ? comma : comma - start));
    if (comma == std::string::npos) return fields;
    start = comma + 1;
  }
}

// Returns to the key that was open before; the path is absolute.
void Reopen(TRegistry& Reg, const std::string& Path, bool ReadOnly) {
  if (ReadOnly)
    Reg.OpenKeyReadOnly("\\" + Path);
  else
    Reg.OpenKey("\\" + Path, false);
}

}  // namespace

bool TRidHighlighterAttributes::LoadFromRegistry(TRegistry& Reg) {
  const std::string path = Reg.GetCurrentPath();
  if (!Reg.OpenKeyReadOnly(FName)) return false;
  bool ok = true;
  try {
    if (Reg.ValueExists(kBackground)) SetBackground(Reg.ReadInteger(kBackground));
    if (Reg.ValueExists(kForeground)) SetForeground(Reg.ReadInteger(kForeground));
    if (Reg.ValueExists(kStyle)) SetStyleFromInteger(Reg.ReadInteger(kStyle));
  } catch (const ERegistryException&) {
    ok = false;  // a value of the wrong type
  }
  Reopen(Reg, path, true);
  return ok;
}

bool TRidHighlighterAttributes::SaveToRegistry(TRegistry& Reg) {
  const std::string path = Reg.GetCurrentPath();
  if (!Reg.OpenKey(FName, true)) return false;
  bool ok = true;
  try {
    Reg.WriteInteger(kBackground, FBackground);
    Reg.WriteInteger(kForeground, FForeground);
    Reg.WriteInteger(kStyle, GetStyleAsInteger());
  } catch (const ERegistryException&) {
    ok = false;  // the key was opened read-only
  }
  Reopen(Reg, path, false);
  return ok;
}

bool TRidHighlighterAttributes::LoadFromIdeRegistry(HKEY RootKey, const std::string& AttrKey,
                                                    const std::string& AttrName, bool OldStyle) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  TColor background = clWindow;
  TColor foreground = clWindowText;
  TFontStyles style;
  try {
    if (OldStyle) {
      // "x,x,<styles>,<default fg>,<default bg>,<fg index>,<bg index>"
      if (!reg.OpenKeyReadOnly(AttrKey) || !reg.ValueExists(AttrName)) return false;
      const std::vector<std::string> f = SplitFields(reg.ReadString(AttrName));
      if (f.size() < 7) return false;
      int64_t index = 0;
      if (f[4] != "1" && !(ParseInteger(f[6], index) && PaletteColor(index, background)))
        return false;
      if (f[3] != "1" && !(ParseInteger(f[5], index) && PaletteColor(index, foreground)))
        return false;
      if (f[2].find('B') != std::string::npos) style.Include(fsBold);
      if (f[2].find('I') != std::string::npos) style.Include(fsItalic);
      if (f[2].find('U') != std::string::npos) style.Include(fsUnderline);
    } else {
      if (!reg.OpenKeyReadOnly(AttrKey + "\\" + AttrName)) return false;
      auto readColor = [&](const char* Name, TColor& Color) {
        const std::string newName = std::string(Name) + " New";
        if (reg.ValueExists(Name)) return PaletteColor(reg.ReadInteger(Name), Color);
        return reg.ValueExists(newName) && ParseColor(reg.ReadString(newName), Color);
      };
      TColor fg = clNone, bg = clNone;
      if (!readColor("Foreground Color", fg) || !readColor("Background Color", bg)) return false;
      for (const char* flag :
           {"Bold", "Italic", "Underline", "Default Foreground", "Default Background"})
        if (!reg.ValueExists(flag)) return false;
      if (!IsRegistryTrue(reg.ReadString("Default Background"))) background = bg;
      if (!IsRegistryTrue(reg.ReadString("Default Foreground"))) foreground = fg;
      if (IsRegistryTrue(reg.ReadString("Bold"))) style.Include(fsBold);
      if (IsRegistryTrue(reg.ReadString("Italic"))) style.Include(fsItalic);
      if (IsRegistryTrue(reg.ReadString("Underline"))) style.Include(fsUnderline);
    }
  } catch (const ERegistryException&) {
    return false;  // a value of the wrong type
  }
  SetBackground(background);
  SetForeground(foreground);
  SetStyle(style);
  return true;
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
    : TComponent(AOwner), FWordBreakChars(TRidCharSet::Of("!\"'()*+,-./:;=?[\\]^{|}")) {}

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
  auto it = std::lower_bound(
      FAttributes.begin(), FAttributes.end(), name,
      [](const TAttribEntry& e, const std::string& n) { return AnsiCompareText(e.Name, n) < 0; });
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
  FAttrChangeChain->Fire(Sender);  // a handler changing another attribute fires again inside
}

void TRidCustomHighlighter::HookAttrChangeEvent(TNotifyEvent ANotifyEvent) {
  FAttrChangeChain->Add(ANotifyEvent);
}

void TRidCustomHighlighter::UnhookAttrChangeEvent(TNotifyEvent ANotifyEvent) {
  FAttrChangeChain->Remove(ANotifyEvent);
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
      if (AnsiSameText(theirs->GetName(), mine->GetName())) {
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

bool TRidCustomHighlighter::LoadFromRegistry(HKEY RootKey, const std::string& Key) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKeyReadOnly(Key)) return false;
  bool ok = true;
  for (int32_t i = 0; i < GetAttribCount(); ++i) ok = GetAttribute(i)->LoadFromRegistry(reg) && ok;
  return ok;
}

bool TRidCustomHighlighter::SaveToRegistry(HKEY RootKey, const std::string& Key) {
  TRegistry reg;
  reg.SetRootKey(RootKey);
  if (!reg.OpenKey(Key, true)) return false;
  bool ok = true;
  for (int32_t i = 0; i < GetAttribCount(); ++i) ok = GetAttribute(i)->SaveToRegistry(reg) && ok;
  try {
    reg.CloseKey();
  } catch (const Exception&) {
    return false;  // the registry file could not be written
  }
  return ok;
}

}  // namespace rid
