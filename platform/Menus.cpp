#include "platform/Menus.h"

#include <array>
#include <cctype>

#include "platform/Locale.h"

namespace rid {
namespace {

struct KeyName {
  uint16_t Key;
  const char* Name;
};

// Keys with a fixed name; letters, digits and F1..F12 are handled by rule.
constexpr std::array<KeyName, 15> kKeyNames{{
    {VK_BACK, "BkSp"},   {VK_TAB, "Tab"},    {VK_ESCAPE, "Esc"}, {VK_RETURN, "Enter"},
    {VK_SPACE, "Space"}, {VK_PRIOR, "PgUp"}, {VK_NEXT, "PgDn"},  {VK_END, "End"},
    {VK_HOME, "Home"},   {VK_LEFT, "Left"},  {VK_UP, "Up"},      {VK_RIGHT, "Right"},
    {VK_DOWN, "Down"},   {VK_INSERT, "Ins"}, {VK_DELETE, "Del"},
}};

struct Modifier {
  TShortCut Bit;
  std::string_view Name;
};
constexpr std::array<Modifier, 3> kModifiers{{
    {scShift, "Shift+"}, {scCtrl, "Ctrl+"}, {scAlt, "Alt+"}}};

std::string KeyToText(uint8_t Key) {
  if ((Key >= '0' && Key <= '9') || (Key >= 'A' && Key <= 'Z'))
    return std::string(1, static_cast<char>(Key));
  if (Key >= VK_F1 && Key <= VK_F12) return "F" + std::to_string(Key - VK_F1 + 1);
  for (const KeyName& k : kKeyNames)
    if (k.Key == Key) return k.Name;
  return {};
}

// The key of a key name, 0 when none.
uint16_t TextToKey(std::string_view Name) {
  if (Name.size() == 1) {
    unsigned char c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(Name[0])));
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z')) return c;
  }
  for (int f = 1; f <= 12; ++f)
    if (AnsiSameText(Name, "F" + std::to_string(f))) return static_cast<uint16_t>(VK_F1 + f - 1);
  for (const KeyName& k : kKeyNames)
    if (AnsiSameText(Name, k.Name)) return k.Key;
  return 0;
}

}  // namespace

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
  if ((Key & 0xFF00) != 0) return 0;
  TShortCut Result = Key;
  if (Shift.Contains(ssShift)) Result |= scShift;
  if (Shift.Contains(ssCtrl)) Result |= scCtrl;
  if (Shift.Contains(ssAlt)) Result |= scAlt;
  return Result;
}

void ShortCutToKey(TShortCut AShortCut, uint16_t& Key, TShiftState& Shift) {
  Key = AShortCut & 0xFF;
  Shift = {};
  if (AShortCut & scShift) Shift.Include(ssShift);
  if (AShortCut & scCtrl) Shift.Include(ssCtrl);
  if (AShortCut & scAlt) Shift.Include(ssAlt);
}

std::string ShortCutToText(TShortCut AShortCut) {
  std::string Name = KeyToText(static_cast<uint8_t>(AShortCut & 0xFF));
  if (Name.empty()) return {};
  std::string Result;
  for (const Modifier& m : kModifiers)
    if (AShortCut & m.Bit) Result += m.Name;
  return Result + Name;
}

TShortCut TextToShortCut(std::string_view Text) {
  TShortCut Shift = 0;
  for (;;) {
    bool Found = false;
    for (const Modifier& m : kModifiers) {
      if (Text.size() > m.Name.size() && AnsiSameText(Text.substr(0, m.Name.size()), m.Name)) {
        Shift |= m.Bit;
        Text.remove_prefix(m.Name.size());
        Found = true;
      }
    }
    if (!Found) break;
  }
  uint16_t Key = TextToKey(Text);
  return Key ? static_cast<TShortCut>(Key | Shift) : 0;
}

}  // namespace rid
