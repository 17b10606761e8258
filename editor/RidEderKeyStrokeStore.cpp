#include "editor/RidEderKeyStrokeStore.h"

#include <charconv>
#include <cstdio>
#include <deque>
#include <string_view>
#include <unordered_map>

#include "platform/Menus.h"

namespace rid {

namespace {

bool SameBinding(const TRidEderKeyStroke& A, const TRidEderKeyStroke& B) {
  return A.GetShortCut() == B.GetShortCut() && A.GetShortCut2() == B.GetShortCut2() &&
         A.GetCommand() == B.GetCommand();
}

std::unique_ptr<TRidEderKeyStrokes> MakeBase(const TRidEderKeyStrokes* AAncestor) {
  auto Base = std::make_unique<TRidEderKeyStrokes>();
  if (AAncestor)
    Base->Assign(const_cast<TRidEderKeyStrokes*>(AAncestor));
  else
    Base->ResetDefaults();
  return Base;
}

uint32_t PairOf(const TRidEderKeyStroke& Key) {
  return static_cast<uint32_t>(Key.GetShortCut()) << 16 | Key.GetShortCut2();
}

}  // namespace

TFirstBindings::TFirstBindings(const TRidEderKeyStrokes& Keys) : FKeys(Keys) {
  FFirst.reserve(static_cast<size_t>(Keys.GetCount()));
  for (int32_t i = 0; i < Keys.GetCount(); ++i) FFirst.emplace(PairOf(*Keys.GetItem(i)), i);
}

int32_t TFirstBindings::IndexOfShortcuts(const TRidEderKeyStroke& Key) const {
  const auto it = FFirst.find(PairOf(Key));
  return it == FFirst.end() ? -1 : it->second;
}

int32_t TFirstBindings::IndexOfSame(const TRidEderKeyStroke& Key) const {
  const int32_t i = IndexOfShortcuts(Key);
  return i >= 0 && FKeys.GetItem(i)->GetCommand() == Key.GetCommand() ? i : -1;
}

namespace {

void Append(TRidEderKeyStrokes& Keys, const TRidEderKeyStroke& Key) {
  Keys.Add()->Assign(const_cast<TRidEderKeyStroke*>(&Key));
}

// A key without a name is written as "$" and the shortcut in hexadecimal, which no key name
// can be mistaken for ("8" is the digit key).
std::string ShortCutText(TShortCut SC) {
  if (SC == 0) return {};
  std::string Text = ShortCutToText(SC);
  if (!Text.empty()) return Text;
  char Hex[8];
  std::snprintf(Hex, sizeof Hex, "$%04X", static_cast<unsigned>(SC));
  return Hex;
}

bool ParseNumber(std::string_view Text, uint32_t Max, uint32_t& Value, int Base = 10) {
  if (Text.empty()) return false;
  auto [End, Ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value, Base);
  return Ec == std::errc() && End == Text.data() + Text.size() && Value <= Max;
}

bool ParseShortCut(std::string_view Text, TShortCut& SC) {
  uint32_t Number;
  if (Text.empty()) {
    SC = 0;
  } else if (Text[0] == '$') {
    // Only a key with modifier bits: the bits between them mean nothing and would not survive.
    if (!ParseNumber(Text.substr(1), 0xFFFF, Number, 16)) return false;
    if ((Number & 0xFF) == 0 || (Number & 0x1F00) != 0) return false;
    SC = static_cast<TShortCut>(Number);
  } else {
    SC = TextToShortCut(Text);
    if (SC == 0) return false;
  }
  return true;
}

void WriteSection(TMemIni& Ini, const char* Section, const TRidEderKeyStrokes& Keys) {
  Ini.EraseSection(Section);
  for (int32_t i = 0; i < Keys.GetCount(); ++i)
    Ini.WriteString(Section, std::to_string(i + 1), KeyStrokeToText(*Keys.GetItem(i)));
}

void ReadSection(const TMemIni& Ini, const char* Section, TRidEderKeyStrokes& Keys) {
  TStringList Values;
  Ini.ReadStrings(Section, &Values);
  TextsToKeyStrokes(Values, Keys);
}

}  // namespace

bool CollectionsEqual(const TRidEderKeyStrokes& A, const TRidEderKeyStrokes& B) {
  if (A.GetCount() != B.GetCount()) return false;
  for (int32_t i = 0; i < A.GetCount(); ++i)
    if (!SameBinding(*A.GetItem(i), *B.GetItem(i))) return false;
  return true;
}

std::unique_ptr<TRidEderKeyStrokes> RemovedKeystrokes(const TRidEderKeyStrokes& AKeys,
                                                      const TRidEderKeyStrokes* AAncestor) {
  auto Base = MakeBase(AAncestor);
  const TFirstBindings Kept(AKeys);
  std::vector<bool> Doomed(static_cast<size_t>(Base->GetCount()));
  for (int32_t i = 0; i < Base->GetCount(); ++i)
    Doomed[i] = Kept.IndexOfSame(*Base->GetItem(i)) >= 0;
  Base->DeleteMarked(Doomed);
  return Base;
}

std::unique_ptr<TRidEderKeyStrokes> AddedKeystrokes(const TRidEderKeyStrokes& AKeys,
                                                    const TRidEderKeyStrokes* AAncestor) {
  auto Base = MakeBase(AAncestor);
  const TFirstBindings InBase(*Base);
  auto Added = std::make_unique<TRidEderKeyStrokes>();
  for (int32_t i = 0; i < AKeys.GetCount(); ++i)
    if (InBase.IndexOfSame(*AKeys.GetItem(i)) < 0) Append(*Added, *AKeys.GetItem(i));
  return Added;
}

void ApplyKeystrokeDifference(TRidEderKeyStrokes& AKeys, const TRidEderKeyStrokes& ARemoved,
                              const TRidEderKeyStrokes& AAdded) {
  // Each removal takes the first binding of its keys that is still there, when that one runs
  // its command: the bindings of each pair of keys wait in a queue, in collection order.
  std::unordered_map<uint32_t, std::deque<int32_t>> ByKeys;
  for (int32_t i = 0; i < AKeys.GetCount(); ++i) ByKeys[PairOf(*AKeys.GetItem(i))].push_back(i);
  std::vector<bool> Doomed(static_cast<size_t>(AKeys.GetCount()));
  for (int32_t i = 0; i < ARemoved.GetCount(); ++i) {
    const TRidEderKeyStroke& Key = *ARemoved.GetItem(i);
    const auto it = ByKeys.find(PairOf(Key));
    if (it == ByKeys.end() || it->second.empty()) continue;
    const int32_t First = it->second.front();
    if (AKeys.GetItem(First)->GetCommand() != Key.GetCommand()) continue;
    Doomed[First] = true;
    it->second.pop_front();
  }
  AKeys.DeleteMarked(Doomed);
  for (int32_t i = 0; i < AAdded.GetCount(); ++i) Append(AKeys, *AAdded.GetItem(i));
}

std::string KeyStrokeToText(const TRidEderKeyStroke& AKey) {
  return EditorCommandToCodeString(AKey.GetCommand()) + "," + ShortCutText(AKey.GetShortCut()) +
         "," + ShortCutText(AKey.GetShortCut2());
}

bool TextToKeyStroke(const std::string& Text, TRidEderKeyStroke& AKey) {
  const size_t c1 = Text.find(',');
  if (c1 == std::string::npos) return false;
  const size_t c2 = Text.find(',', c1 + 1);
  if (c2 == std::string::npos || Text.find(',', c2 + 1) != std::string::npos) return false;
  const std::string_view All(Text);
  const std::string_view Name = All.substr(0, c1);
  TRidEderorCommand Command;
  uint32_t Number;
  if (auto Found = IdentToEditorCommand(Name))
    Command = *Found;
  else if (ParseNumber(Name, 0xFFFF, Number))
    Command = static_cast<TRidEderorCommand>(Number);
  else
    return false;
  TShortCut SC, SC2;
  if (!ParseShortCut(All.substr(c1 + 1, c2 - c1 - 1), SC) ||
      !ParseShortCut(All.substr(c2 + 1), SC2) || SC == 0)
    return false;
  uint16_t Key;
  TShiftState Shift;
  AKey.SetCommand(Command);
  ShortCutToKey(SC, Key, Shift);
  AKey.SetKey(Key);
  AKey.SetShift(Shift);
  ShortCutToKey(SC2, Key, Shift);
  AKey.SetKey2(Key);
  AKey.SetShift2(Shift);
  return true;
}

std::vector<std::string> TextsToKeyStrokes(const TStrings& Lines, TRidEderKeyStrokes& AKeys) {
  std::vector<std::string> NotRead;
  TRidEderKeyStrokes Scratch;
  TRidEderKeyStroke* Key = Scratch.Add();
  for (int32_t i = 0; i < Lines.GetCount(); ++i) {
    if (TextToKeyStroke(Lines.Get(i), *Key))
      Append(AKeys, *Key);
    else
      NotRead.push_back(Lines.Get(i));
  }
  return NotRead;
}

void WriteKeystrokes(TMemIni& Ini, const TRidEderKeyStrokes& AKeys,
                     const TRidEderKeyStrokes* AAncestor) {
  if (CollectionsEqual(AKeys, *MakeBase(AAncestor))) {
    Ini.EraseSection(SRemovedKeystrokes);
    Ini.EraseSection(SAddedKeystrokes);
    return;
  }
  WriteSection(Ini, SRemovedKeystrokes, *RemovedKeystrokes(AKeys, AAncestor));
  WriteSection(Ini, SAddedKeystrokes, *AddedKeystrokes(AKeys, AAncestor));
}

void ReadKeystrokes(const TMemIni& Ini, TRidEderKeyStrokes& AKeys) {
  TRidEderKeyStrokes Removed, Added;
  ReadSection(Ini, SRemovedKeystrokes, Removed);
  ReadSection(Ini, SAddedKeystrokes, Added);
  ApplyKeystrokeDifference(AKeys, Removed, Added);
}

}  // namespace rid
