#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderMethodChain.h"
#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Registry.h"
#include "platform/Types.h"

namespace rid {

enum class THighlighterCapability { capUserSettings, capRegistry };
using enum THighlighterCapability;
using THighlighterCapabilities = TSet<THighlighterCapability, 2>;

// The colour and font style of one token class, under a name that is its key in the
// highlighter's list and its registry subkey.
class TRidHighlighterAttributes : public TPersistent {
 public:
  RID_CLASS_NAME(TRidHighlighterAttributes)
  explicit TRidHighlighterAttributes(std::string AName);

  TColor GetBackground() const { return FBackground; }
  void SetBackground(TColor Value);
  TColor GetForeground() const { return FForeground; }
  void SetForeground(TColor Value);
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  const std::string& GetName() const { return FName; }

  TColor GetBackgroundDefault() const { return FBackgroundDefault; }
  TColor GetForegroundDefault() const { return FForegroundDefault; }
  TFontStyles GetStyleDefault() const { return FStyleDefault; }
  // A published value is written to form data only when it differs from its default.
  bool IsBackgroundStored() const { return FBackground != FBackgroundDefault; }
  bool IsForegroundStored() const { return FForeground != FForegroundDefault; }
  bool IsStyleStored() const { return FStyle != FStyleDefault; }

  // From another attribute: the name, then colours and style; anything else as inherited.
  void Assign(TPersistent* Source) override;
  // Copies the two colours and the style, firing OnChange once when any of them differed.
  void AssignColorAndStyle(const TRidHighlighterAttributes* Source);
  void SaveDefaults();

  // Bold 1, italic 2, underline 4, strike-out 8.
  int32_t GetStyleAsInteger() const;
  void SetStyleFromInteger(int32_t Value);

  // Registry values "Background", "Foreground" and "Style" under a subkey named after the
  // attribute, below Reg's current key; the current key is restored afterwards.
  bool LoadFromRegistry(TRegistry& Reg);
  bool SaveToRegistry(TRegistry& Reg);
  // Imports the attribute from an installed IDE's colour scheme (old or new layout). Any value
  // that is missing, short or out of the palette makes it fail (False) without a change.
  virtual bool LoadFromIdeRegistry(HKEY RootKey, const std::string& AttrKey,
                                   const std::string& AttrName, bool OldStyle);

  TNotifyEvent OnChange;

 protected:
  virtual void Changed();

 private:
  TColor FBackground = clNone;
  TColor FBackgroundDefault = clNone;
  TColor FForeground = clNone;
  TColor FForegroundDefault = clNone;
  std::string FName;
  TFontStyles FStyle;
  TFontStyles FStyleDefault;
};

class TRidCustomHighlighter;

// A highlighter class as a value: what the class list holds and what a caller creates from.
struct TRidHighlighterClass {
  const char* ClassName;  // "TRidPerlRid"
  std::string_view LanguageName;
  THighlighterCapabilities Capabilities;
  TRidCustomHighlighter* (*Create)(TComponent* AOwner);  // owned by AOwner when given
};
using TRidHighlighterClassRef = const TRidHighlighterClass*;

// The process-wide list of highlighter classes, filled as the language units start.
class TRidHighlighterList {
 public:
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  TRidHighlighterClassRef operator[](int32_t Index) const { return FItems.at(Index); }
  int32_t IndexOf(TRidHighlighterClassRef AClass) const;
  int32_t Add(TRidHighlighterClassRef AClass);  // unless present; returns its index

 private:
  std::vector<TRidHighlighterClassRef> FItems;
};
TRidHighlighterList& GetPlaceableHighlighters();
int32_t RegisterHighlighterClass(const TRidHighlighterClass& AClass);

// The contract between the editor (and printing and export) and the language scanners: one
// line at a time into tokens, with a range value carried from line to line.
class TRidCustomHighlighter : public TComponent {
 public:
  RID_CLASS_NAME(TRidCustomHighlighter)
  explicit TRidCustomHighlighter(TComponent* AOwner);
  ~TRidCustomHighlighter() override;

  // Own attributes take the values of the source's attributes of equal name; a source of the
  // same class also gives its sample source; then word breaks, filter and Enabled.
  void Assign(TPersistent* Source) override;
  void Loaded() override;

  // Attributes in name order (ASCII case-insensitive); nullptr outside 0 .. count-1.
  virtual int32_t GetAttribCount() const;
  virtual TRidHighlighterAttributes* GetAttribute(int32_t Index) const;
  // 0 comment, 1 identifier, 2 keyword, 3 string, 4 whitespace, 5 symbol; nullptr when none.
  virtual TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const = 0;
  virtual std::string GetDefaultFilter() const { return FDefaultFilter; }
  virtual TRidCharSet GetIdentChars() const;
  virtual std::string GetSampleSource() const { return {}; }
  virtual bool IsFilterStored() const { return true; }
  virtual void SetDefaultFilter(const std::string& Value) { FDefaultFilter = Value; }
  virtual void SetSampleSource(const std::string& Value) {}
  virtual void SetWordBreakChars(const TRidCharSet& AChars) { FWordBreakChars = AChars; }
  // Class operations, asked of an instance; the class list holds the same values.
  virtual THighlighterCapabilities GetCapabilities() const { return {capRegistry}; }
  virtual std::string GetLanguageName() const { return "<Unknown>"; }

  // Scanning. SetLine does not copy the text: the caller keeps it alive while it scans the
  // line. A NUL byte inside the text is an ordinary byte; the line ends at its length.
  virtual bool GetEol() const = 0;
  virtual TRidRange GetRange() const { return 0; }
  virtual std::string GetToken() const = 0;
  // The current token's bytes inside the line given to SetLine, without a copy.
  virtual std::string_view GetTokenView() const = 0;
  virtual TRidHighlighterAttributes* GetTokenAttribute() const = 0;
  virtual int32_t GetTokenKind() const = 0;
  virtual int32_t GetTokenPos() const = 0;  // 0-based
  virtual bool IsKeyword(const std::string& AKeyword) const { return false; }
  virtual void Next() = 0;
  virtual void SetLine(std::string_view NewValue, int32_t LineNumber) = 0;
  virtual void SetRange(TRidRange Value) {}
  virtual void ResetRange() {}
  // False for a highlighter that carries nothing from one line to the next (its range is always
  // 0), whose ranges then never need a scan.
  virtual bool KeepsLineState() const { return true; }

  virtual bool UseUserSettings(int32_t SettingIndex) { return false; }
  virtual void EnumUserSettings(TStrings* Settings);
  // Every attribute under Key (one subkey each): True only when every one loaded / saved.
  virtual bool LoadFromRegistry(HKEY RootKey, const std::string& Key);
  virtual bool SaveToRegistry(HKEY RootKey, const std::string& Key);

  // A highlighter that drives others inside schemes (the multi-language highlighter) answers
  // these, so that attribute walks reach every highlighter it uses.
  virtual bool IsMultiHighlighter() const { return false; }
  virtual TRidCustomHighlighter* GetMultiDefaultHighlighter() const { return nullptr; }
  virtual int32_t GetSchemeCount() const { return 0; }
  virtual TRidCustomHighlighter* GetSchemeHighlighter(int32_t Index) const { return nullptr; }
  virtual TRidHighlighterAttributes* GetSchemeMarkerAttri(int32_t Index) const { return nullptr; }

  // Takes ownership and inserts under the attribute's name; a name already present (ASCII
  // case-insensitive) raises EStringListError and the attribute is freed.
  TRidHighlighterAttributes* AddAttribute(std::unique_ptr<TRidHighlighterAttributes> AAttrib);
  // Every attribute, last to first, gets AEvent as OnChange and saves its defaults.
  void SetAttributesOnChange(TNotifyEvent AEvent);
  // Fires the attribute-change chain with Sender (nullptr: everything) unless loading.
  void AttributeChanged(TObject* Sender);
  void HookAttrChangeEvent(TNotifyEvent ANotifyEvent);
  void UnhookAttrChangeEvent(TNotifyEvent ANotifyEvent);
  void NextToEol();

  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  const TRidCharSet& GetWordBreakChars() const { return FWordBreakChars; }

 private:
  struct TAttribEntry {
    std::string Name;
    std::unique_ptr<TRidHighlighterAttributes> Attri;
  };
  std::vector<TAttribEntry> FAttributes;  // sorted by name
  // Fired with the changed attribute as its sender; a handler may unhook or free us.
  std::unique_ptr<TRidNotifyEventChain> FAttrChangeChain = std::make_unique<TRidNotifyEventChain>();
  bool FEnabled = true;
  TRidCharSet FWordBreakChars;
  std::string FDefaultFilter;
};

}  // namespace rid
