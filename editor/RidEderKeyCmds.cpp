#include "editor/RidEderKeyCmds.h"

#include <array>

#include "platform/Menus.h"

namespace rid {

extern constexpr TRidEderCommandName EditorCommandStrs[101] = {
    {ecNone, "ecNone"},
    {ecLeft, "ecLeft"},
    {ecRight, "ecRight"},
    {ecUp, "ecUp"},
    {ecDown, "ecDown"},
    {ecWordLeft, "ecWordLeft"},
    {ecWordRight, "ecWordRight"},
    {ecLineStart, "ecLineStart"},
    {ecLineEnd, "ecLineEnd"},
    {ecPageUp, "ecPageUp"},
    {ecPageDown, "ecPageDown"},
    {ecPageLeft, "ecPageLeft"},
    {ecPageRight, "ecPageRight"},
    {ecPageTop, "ecPageTop"},
    {ecPageBottom, "ecPageBottom"},
    {ecEditorTop, "ecEditorTop"},
    {ecEditorBottom, "ecEditorBottom"},
    {ecGotoXY, "ecGotoXY"},
    {ecSelLeft, "ecSelLeft"},
    {ecSelRight, "ecSelRight"},
    {ecSelUp, "ecSelUp"},
    {ecSelDown, "ecSelDown"},
    {ecSelWordLeft, "ecSelWordLeft"},
    {ecSelWordRight, "ecSelWordRight"},
    {ecSelLineStart, "ecSelLineStart"},
    {ecSelLineEnd, "ecSelLineEnd"},
    {ecSelPageUp, "ecSelPageUp"},
    {ecSelPageDown, "ecSelPageDown"},
    {ecSelPageLeft, "ecSelPageLeft"},
    {ecSelPageRight, "ecSelPageRight"},
    {ecSelPageTop, "ecSelPageTop"},
    {ecSelPageBottom, "ecSelPageBottom"},
    {ecSelEditorTop, "ecSelEditorTop"},
    {ecSelEditorBottom, "ecSelEditorBottom"},
    {ecSelGotoXY, "ecSelGotoXY"},
    {ecSelWord, "ecSelWord"},
    {ecSelectAll, "ecSelectAll"},
    {ecCopy, "ecCopy"},
    {ecScrollUp, "ecScrollUp"},
    {ecScrollDown, "ecScrollDown"},
    {ecScrollLeft, "ecScrollLeft"},
    {ecScrollRight, "ecScrollRight"},
    {ecInsertMode, "ecInsertMode"},
    {ecOverwriteMode, "ecOverwriteMode"},
    {ecToggleMode, "ecToggleMode"},
    {ecNormalSelect, "ecNormalSelect"},
    {ecColumnSelect, "ecColumnSelect"},
    {ecLineSelect, "ecLineSelect"},
    {ecMatchBracket, "ecMatchBracket"},
    {ecCommentBlock, "ecCommentBlock"},
    {ecGotoMarker0, "ecGotoMarker0"},
    {ecGotoMarker1, "ecGotoMarker1"},
    {ecGotoMarker2, "ecGotoMarker2"},
    {ecGotoMarker3, "ecGotoMarker3"},
    {ecGotoMarker4, "ecGotoMarker4"},
    {ecGotoMarker5, "ecGotoMarker5"},
    {ecGotoMarker6, "ecGotoMarker6"},
    {ecGotoMarker7, "ecGotoMarker7"},
    {ecGotoMarker8, "ecGotoMarker8"},
    {ecGotoMarker9, "ecGotoMarker9"},
    {ecSetMarker0, "ecSetMarker0"},
    {ecSetMarker1, "ecSetMarker1"},
    {ecSetMarker2, "ecSetMarker2"},
    {ecSetMarker3, "ecSetMarker3"},
    {ecSetMarker4, "ecSetMarker4"},
    {ecSetMarker5, "ecSetMarker5"},
    {ecSetMarker6, "ecSetMarker6"},
    {ecSetMarker7, "ecSetMarker7"},
    {ecSetMarker8, "ecSetMarker8"},
    {ecSetMarker9, "ecSetMarker9"},
    {ecContextHelp, "ecContextHelp"},
    {ecDeleteLastChar, "ecDeleteLastChar"},
    {ecDeleteChar, "ecDeleteChar"},
    {ecDeleteWord, "ecDeleteWord"},
    {ecDeleteLastWord, "ecDeleteLastWord"},
    {ecDeleteBOL, "ecDeleteBOL"},
    {ecDeleteEOL, "ecDeleteEOL"},
    {ecDeleteLine, "ecDeleteLine"},
    {ecClearAll, "ecClearAll"},
    {ecLineBreak, "ecLineBreak"},
    {ecInsertLine, "ecInsertLine"},
    {ecChar, "ecChar"},
    {ecImeStr, "ecImeStr"},
    {ecUndo, "ecUndo"},
    {ecRedo, "ecRedo"},
    {ecCut, "ecCut"},
    {ecPaste, "ecPaste"},
    {ecBlockIndent, "ecBlockIndent"},
    {ecBlockUnindent, "ecBlockUnindent"},
    {ecTab, "ecTab"},
    {ecShiftTab, "ecShiftTab"},
    {ecUpperCase, "ecUpperCase"},
    {ecLowerCase, "ecLowerCase"},
    {ecToggleCase, "ecToggleCase"},
    {ecTitleCase, "ecTitleCase"},
    {ecUpperCaseBlock, "ecUpperCaseBlock"},
    {ecLowerCaseBlock, "ecLowerCaseBlock"},
    {ecToggleCaseBlock, "ecToggleCaseBlock"},
    {ecString, "ecString"},
    {ecAutoCompletion, "ecAutoCompletion"},
    {ecUserFirst, "ecUserFirst"},
};

std::optional<std::string> EditorCommandToIdent(TRidEderorCommand Command) {
  for (const TRidEderCommandName& c : EditorCommandStrs)
    if (c.Command == Command) return std::string(c.Name);
  return std::nullopt;
}

std::optional<TRidEderorCommand> IdentToEditorCommand(std::string_view Ident) {
  for (const TRidEderCommandName& c : EditorCommandStrs)
    if (c.Name == Ident) return c.Command;
  return std::nullopt;
}

std::string EditorCommandToCodeString(TRidEderorCommand Command) {
  if (auto Name = EditorCommandToIdent(Command)) return *Name;
  return std::to_string(Command);
}

// TRidEderKeyStroke

void TRidEderKeyStroke::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TRidEderKeyStroke*>(Source);
  if (!Src) return TPersistent::Assign(Source);
  FCommand = Src->FCommand;
  FKey = Src->FKey;
  FKey2 = Src->FKey2;
  FShift = Src->FShift;
  FShift2 = Src->FShift2;
}

std::string TRidEderKeyStroke::GetDisplayName() const {
  std::string Result = EditorCommandToCodeString(FCommand) + " - " + ShortCutToText(GetShortCut());
  if (GetShortCut() != 0) Result += " " + ShortCutToText(GetShortCut2());
  return Result;
}

TShortCut TRidEderKeyStroke::GetShortCut() const { return ShortCut(FKey, FShift); }
TShortCut TRidEderKeyStroke::GetShortCut2() const { return ShortCut(FKey2, FShift2); }

namespace {
// Another binding of the collection with exactly this pair of shortcuts.
bool PairTakenByOther(const TRidEderKeyStroke* Self, TShortCut SC, TShortCut SC2) {
  if (SC == 0 || !Self->Collection()) return false;
  int32_t Dup = Self->Collection()->IndexOfShortcuts(SC, SC2);
  return Dup >= 0 && Self->Collection()->GetItem(Dup) != Self;
}
}  // namespace

void TRidEderKeyStroke::SetShortCut(TShortCut Value) {
  if (Value != 0 && PairTakenByOther(this, Value, GetShortCut2()))
    throw ERidKeyError("Shortcut already exists");
  uint16_t NewKey;
  TShiftState NewShift;
  ShortCutToKey(Value, NewKey, NewShift);
  FKey = NewKey;
  FShift = NewShift;
}

void TRidEderKeyStroke::SetShortCut2(TShortCut Value) {
  if (Value != 0 && PairTakenByOther(this, GetShortCut(), Value))
    throw ERidKeyError("Shortcut already exists");
  uint16_t NewKey;
  TShiftState NewShift;
  ShortCutToKey(Value, NewKey, NewShift);
  FKey2 = NewKey;
  FShift2 = NewShift;
}

int32_t TRidEderKeyStroke::GetIndex() const {
  return FCollection ? FCollection->IndexOf(this) : -1;
}

// TRidEderKeyStrokes

TRidEderKeyStrokes::~TRidEderKeyStrokes() = default;

TRidEderKeyStroke* TRidEderKeyStrokes::Add() {
  FItems.push_back(std::make_unique<TRidEderKeyStroke>(this));
  return FItems.back().get();
}

void TRidEderKeyStrokes::AddKey(TRidEderorCommand ACmd, uint16_t AKey, TShiftState AShift) {
  TRidEderKeyStroke* Item = Add();
  Item->SetKey(AKey);
  Item->SetShift(AShift);
  Item->SetCommand(ACmd);
}

void TRidEderKeyStrokes::Assign(TPersistent* Source) {
  auto* Src = dynamic_cast<TRidEderKeyStrokes*>(Source);
  if (!Src) return TPersistent::Assign(Source);
  if (Src == this) return;
  Clear();
  FItems.reserve(Src->FItems.size());
  for (const auto& Item : Src->FItems) Add()->Assign(Item.get());
}

void TRidEderKeyStrokes::Clear() { FItems.clear(); }

void TRidEderKeyStrokes::Delete(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) throw EListError(FormatStr(SListIndexError, Index));
  FItems.erase(FItems.begin() + Index);
}

void TRidEderKeyStrokes::DeleteMarked(const std::vector<bool>& Doomed) {
  RID_ASSERT(Doomed.size() == FItems.size());
  size_t kept = 0;
  for (size_t i = 0; i < FItems.size(); ++i)
    if (!Doomed[i]) FItems[kept++] = std::move(FItems[i]);
  FItems.resize(kept);
}

int32_t TRidEderKeyStrokes::IndexOfKey(uint16_t AKey, TShiftState AShift) const {
  for (int32_t i = 0; i < GetCount(); ++i) {
    const TRidEderKeyStroke& k = *FItems[i];
    if (k.GetKey() == AKey && k.GetShift() == AShift && k.GetKey2() == 0) return i;
  }
  return -1;
}

int32_t TRidEderKeyStrokes::IndexOfKeys(uint16_t AKey, TShiftState AShift, uint16_t AKey2,
                                        TShiftState AShift2) const {
  for (int32_t i = 0; i < GetCount(); ++i) {
    const TRidEderKeyStroke& k = *FItems[i];
    if (k.GetKey() == AKey && k.GetShift() == AShift && k.GetKey2() == AKey2 &&
        k.GetShift2() == AShift2)
      return i;
  }
  return -1;
}

int32_t TRidEderKeyStrokes::IndexOfShortcut(TShortCut SC) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FItems[i]->GetShortCut() == SC) return i;
  return -1;
}

int32_t TRidEderKeyStrokes::IndexOfShortcuts(TShortCut SC, TShortCut SC2) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FItems[i]->GetShortCut() == SC && FItems[i]->GetShortCut2() == SC2) return i;
  return -1;
}

int32_t TRidEderKeyStrokes::IndexOf(const TRidEderKeyStroke* Item) const {
  for (int32_t i = 0; i < GetCount(); ++i)
    if (FItems[i].get() == Item) return i;
  return -1;
}

namespace {

struct DefaultBinding {
  TRidEderorCommand Command;
  uint16_t Key;
  uint8_t Shift;  // 1 Shift, 2 Alt, 4 Ctrl
};

constexpr uint8_t S = 1, A = 2, C = 4;

constexpr std::array<DefaultBinding, 82> kDefaultBindings{{
    {ecUp, VK_UP, 0},
    {ecSelUp, VK_UP, S},
    {ecScrollUp, VK_UP, C},
    {ecDown, VK_DOWN, 0},
    {ecSelDown, VK_DOWN, S},
    {ecScrollDown, VK_DOWN, C},
    {ecLeft, VK_LEFT, 0},
    {ecSelLeft, VK_LEFT, S},
    {ecWordLeft, VK_LEFT, C},
    {ecSelWordLeft, VK_LEFT, S | C},
    {ecRight, VK_RIGHT, 0},
    {ecSelRight, VK_RIGHT, S},
    {ecWordRight, VK_RIGHT, C},
    {ecSelWordRight, VK_RIGHT, S | C},
    {ecPageDown, VK_NEXT, 0},
    {ecSelPageDown, VK_NEXT, S},
    {ecPageBottom, VK_NEXT, C},
    {ecSelPageBottom, VK_NEXT, S | C},
    {ecPageUp, VK_PRIOR, 0},
    {ecSelPageUp, VK_PRIOR, S},
    {ecPageTop, VK_PRIOR, C},
    {ecSelPageTop, VK_PRIOR, S | C},
    {ecLineStart, VK_HOME, 0},
    {ecSelLineStart, VK_HOME, S},
    {ecEditorTop, VK_HOME, C},
    {ecSelEditorTop, VK_HOME, S | C},
    {ecLineEnd, VK_END, 0},
    {ecSelLineEnd, VK_END, S},
    {ecEditorBottom, VK_END, C},
    {ecSelEditorBottom, VK_END, S | C},
    {ecToggleMode, VK_INSERT, 0},
    {ecCopy, VK_INSERT, C},
    {ecCut, VK_DELETE, S},
    {ecPaste, VK_INSERT, S},
    {ecDeleteChar, VK_DELETE, 0},
    {ecDeleteLastChar, VK_BACK, 0},
    {ecDeleteLastChar, VK_BACK, S},
    {ecDeleteLastWord, VK_BACK, C},
    {ecUndo, VK_BACK, A},
    {ecRedo, VK_BACK, S | A},
    {ecLineBreak, VK_RETURN, 0},
    {ecLineBreak, VK_RETURN, S},
    {ecTab, VK_TAB, 0},
    {ecShiftTab, VK_TAB, S},
    {ecContextHelp, VK_F1, 0},
    {ecSelectAll, 'A', C},
    {ecCopy, 'C', C},
    {ecPaste, 'V', C},
    {ecCut, 'X', C},
    {ecBlockIndent, 'I', S | C},
    {ecBlockUnindent, 'U', S | C},
    {ecLineBreak, 'M', C},
    {ecInsertLine, 'N', C},
    {ecDeleteWord, 'T', C},
    {ecDeleteLine, 'Y', C},
    {ecDeleteEOL, 'Y', S | C},
    {ecUndo, 'Z', C},
    {ecRedo, 'Z', S | C},
    {ecGotoMarker0, '0', C},
    {ecGotoMarker1, '1', C},
    {ecGotoMarker2, '2', C},
    {ecGotoMarker3, '3', C},
    {ecGotoMarker4, '4', C},
    {ecGotoMarker5, '5', C},
    {ecGotoMarker6, '6', C},
    {ecGotoMarker7, '7', C},
    {ecGotoMarker8, '8', C},
    {ecGotoMarker9, '9', C},
    {ecSetMarker0, '0', S | C},
    {ecSetMarker1, '1', S | C},
    {ecSetMarker2, '2', S | C},
    {ecSetMarker3, '3', S | C},
    {ecSetMarker4, '4', S | C},
    {ecSetMarker5, '5', S | C},
    {ecSetMarker6, '6', S | C},
    {ecSetMarker7, '7', S | C},
    {ecSetMarker8, '8', S | C},
    {ecSetMarker9, '9', S | C},
    {ecNormalSelect, 'N', S | C},
    {ecColumnSelect, 'C', S | C},
    {ecLineSelect, 'L', S | C},
    {ecMatchBracket, 'B', S | C},
}};

}  // namespace

void TRidEderKeyStrokes::ResetDefaults() {
  Clear();
  FItems.reserve(kDefaultBindings.size());
  for (const DefaultBinding& b : kDefaultBindings)
    AddKey(b.Command, b.Key, TShiftState::FromBits(b.Shift));
}

}  // namespace rid
