#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "editor/RidRegExpr.h"
#include "platform/Classes.h"

namespace rid {

class TRidMultiRid;

class ERidMultiError : public Exception {
 public:
  using Exception::Exception;
};

// Called for each marker found in a line; may move it, change its length or text (a marker
// whose text becomes empty is dropped). StartPos is 1-based in the line.
using TOnCheckMarker = Delegate<void(TObject* Sender, int32_t& StartPos, int32_t& MarkerLen,
                                     std::string& MarkerText, int32_t Line)>;

// One language inside the text: the text from a match of StartExpr to a match of EndExpr is
// coloured by Highlighter; the two matches (markers) by MarkerAttri.
class TScheme : public TCollectionItem {
 public:
  RID_CLASS_NAME(TScheme)
  explicit TScheme(TCollection* ACollection);
  ~TScheme() override;
  void Assign(TPersistent* Source) override;
  std::string GetDisplayName() const override;

  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  // An expression that does not compile raises its ERidRegExpr and keeps the old one.
  const std::string& GetStartExpr() const { return FStartExpr; }
  void SetStartExpr(const std::string& Value);
  const std::string& GetEndExpr() const { return FEndExpr; }
  void SetEndExpr(const std::string& Value);
  // Not owned: cleared when the highlighter goes.
  TRidCustomHighlighter* GetHighlighter() const { return FHighlighter; }
  void SetHighlighter(TRidCustomHighlighter* Value);
  TRidHighlighterAttributes* GetMarkerAttri() const { return FMarkerAttri.get(); }
  void SetMarkerAttri(TRidHighlighterAttributes* Value);  // copies colours and style
  const std::string& GetSchemeName() const { return FSchemeName; }
  void SetSchemeName(const std::string& Value);

  TOnCheckMarker OnCheckStartMarker;
  TOnCheckMarker OnCheckEndMarker;

 private:
  friend class TRidMultiRid;
  TRidMultiRid* Multi() const;
  void SetExpr(std::string& AField, std::unique_ptr<TRidRegExpr>& ACompiled,
               const std::string& Value);
  void MarkerAttriChanged(TObject* Sender);
  std::unique_ptr<TRidRegExpr> NewRegExpr(const std::string& AExpr) const;
  // The expressions compiled with the scheme's case rule, kept until one of them changes.
  TRidRegExpr* Compiled(std::unique_ptr<TRidRegExpr>& ACompiled, const std::string& AExpr);
  // Whether the search may open this scheme.
  bool Searchable() const;

  bool FCaseSensitive = true;
  std::string FStartExpr;
  std::string FEndExpr;
  TRidCustomHighlighter* FHighlighter = nullptr;
  std::unique_ptr<TRidHighlighterAttributes> FMarkerAttri;
  std::string FSchemeName;
  std::unique_ptr<TRidRegExpr> FStartRegExpr;
  std::unique_ptr<TRidRegExpr> FEndRegExpr;
};

class TSchemes : public TCollection {
 public:
  RID_CLASS_NAME(TSchemes)
  explicit TSchemes(TRidMultiRid* AOwner) : FOwner(AOwner) {}
  ~TSchemes() override;
  // A new scheme at the end. Raises when the owner's range packing has no room for another.
  TScheme* Add();
  TScheme* GetItem(int32_t Index) const {
    return static_cast<TScheme*>(TCollection::GetItem(Index));
  }
  TRidMultiRid* GetOwner() const { return FOwner; }

 protected:
  std::unique_ptr<TCollectionItem> NewItem() override;
  void Update(TCollectionItem* AItem) override;

 private:
  TRidMultiRid* FOwner;
};

// A marker found in the current line.
struct TMarker {
  int32_t Scheme;
  int32_t StartPos;  // 1-based in the line
  int32_t MarkerLen;
  std::string MarkerText;
  bool IsOpenMarker;
};

enum class TRangeOperation { roGet, roSet };
using enum TRangeOperation;
// The owner's own packing of a line's range: on roGet it leaves the value in Range, on roSet it
// reads it from there.
using TCustomRangeEvent =
    Delegate<void(TRidMultiRid* Sender, TRangeOperation Operation, TRidRange& Range)>;

// Text that mixes languages: the text outside every scheme goes to DefaultHighlighter, the text
// inside a scheme to the scheme's highlighter, the markers are tokens of their own.
class TRidMultiRid : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TRidMultiRid)
  // Room for schemes in the range packings: 7 beside a default highlighter's range, 14 when a
  // scheme's highlighter is itself a multi-language one.
  static constexpr int32_t kMaxSchemes = 7;
  static constexpr int32_t kMaxNestedSchemes = 14;

  explicit TRidMultiRid(TComponent* AOwner);
  ~TRidMultiRid() override;

  void Loaded() override;
  int32_t GetAttribCount() const override;
  TRidHighlighterAttributes* GetAttribute(int32_t Index) const override;
  TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const override;
  TRidCharSet GetIdentChars() const override;
  std::string GetSampleSource() const override { return FSampleSource; }
  void SetSampleSource(const std::string& Value) override { FSampleSource = Value; }
  std::string GetLanguageName() const override { return "General Multi-Highlighter"; }

  bool GetEol() const override;
  TRidRange GetRange() const override;
  std::string GetToken() const override { return std::string(GetTokenView()); }
  std::string_view GetTokenView() const override;
  TRidHighlighterAttributes* GetTokenAttribute() const override;
  int32_t GetTokenKind() const override;
  int32_t GetTokenPos() const override { return FTokenPos; }
  void Next() override;
  void SetLine(std::string_view NewValue, int32_t LineNumber) override;
  void SetRange(TRidRange Value) override;
  void ResetRange() override;

  // The default highlighter's attributes under Key\DefaultHighlighter, each scheme's marker
  // and highlighter under Key\<scheme name>. True only when everything loaded / saved.
  bool LoadFromRegistry(HKEY RootKey, const std::string& Key) override;
  bool SaveToRegistry(HKEY RootKey, const std::string& Key) override;

  bool IsMultiHighlighter() const override { return true; }
  TRidCustomHighlighter* GetMultiDefaultHighlighter() const override { return FDefaultHighlighter; }
  int32_t GetSchemeCount() const override { return FSchemes->Count(); }
  TRidCustomHighlighter* GetSchemeHighlighter(int32_t Index) const override;
  TRidHighlighterAttributes* GetSchemeMarkerAttri(int32_t Index) const override;

  TSchemes* GetSchemes() const { return FSchemes.get(); }
  void SetSchemes(TSchemes* Value) { FSchemes->Assign(Value); }
  TRidCustomHighlighter* GetDefaultHighlighter() const { return FDefaultHighlighter; }
  void SetDefaultHighlighter(TRidCustomHighlighter* Value);
  const std::string& GetDefaultLanguageName() const { return FDefaultLanguageName; }
  void SetDefaultLanguageName(const std::string& Value) { FDefaultLanguageName = Value; }
  const TCustomRangeEvent& GetOnCustomRange() const { return FOnCustomRange; }
  void SetOnCustomRange(TCustomRangeEvent Value);
  // The scheme whose text the scan stands in, or -1: what an OnCustomRange handler packs.
  int32_t GetCurrScheme() const { return FCurrScheme; }
  void SetCurrScheme(int32_t Value) { SetCurrent(Value); }

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TScheme;
  friend class TSchemes;
  enum class TPacking { pkDefault, pkNested, pkCustom };

  // Highlighters this one uses are hooked once each, for attribute changes and free
  // notification, however many schemes use them.
  bool Uses(const TRidCustomHighlighter* AHighlighter) const;
  void Hook(TRidCustomHighlighter* AHighlighter);
  void Unhook(TRidCustomHighlighter* AHighlighter);
  void SetDefaultHighlighterQuietly(TRidCustomHighlighter* Value);
  void SchemeChanged(TObject* Sender) {
    if (!FDestroying) AttributeChanged(Sender);
  }
  TPacking ChoosePacking() const;
  // Chooses the packing after a change of the event or of a scheme's highlighter; true when
  // it changed (and the attribute-change handler ran).
  bool SelectPacking();
  int32_t MaxSchemes() const;
  bool ToRegistry(HKEY RootKey, const std::string& Key, bool ASave);
  // The scheme at AIndex when it can colour text, else nullptr.
  TScheme* UsableScheme(int32_t AIndex) const;
  // The highlighter of the current scheme, else the default one.
  TRidCustomHighlighter* Current() const;
  // Makes AScheme (when it can colour text, else none) the current scheme.
  void SetCurrent(int32_t AScheme);

  // Searching the line for markers.
  void FindMarkers(std::string_view ALine);
  // The first match of AExpr in ALine from AFrom (0-based) that is not empty and starts and
  // ends on character starts; false when there is none.
  bool FindMatch(TRidRegExpr& AExpr, std::string_view ALine, int32_t AFrom, int32_t& APos,
                 int32_t& ALen) const;
  void AddMarker(TScheme& AScheme, int32_t AScheme0, int32_t APos, int32_t ALen, bool AOpen);

  // Scanning.
  void EnterMarker();
  void LeaveMarker();
  void StartSegment(int32_t AFrom);

  // Range packings.
  TRidRange DefaultGet() const;
  void DefaultSet(TRidRange Value);
  TRidRange NestedGet() const;
  void NestedSet(TRidRange Value);

  bool FDestroying = false;
  std::unique_ptr<TSchemes> FSchemes;
  TRidCustomHighlighter* FDefaultHighlighter = nullptr;  // not owned
  std::string FDefaultLanguageName;
  TCustomRangeEvent FOnCustomRange;
  TPacking FPacking = TPacking::pkDefault;
  std::string FSampleSource;

  std::vector<TMarker> FMarkers;
  const TMarker* FMarker = nullptr;  // the current token, when it is a marker
  size_t FNextMarker = 0;
  int32_t FCurrScheme = -1;
  TRidCustomHighlighter* FActive = nullptr;  // what colours the text: Current(), kept
  TRidRange FSavedDefaultRange = 0;
  std::string_view FLine;
  int32_t FLineNumber = 0;
  bool FLineStarted = false;
  int32_t FSegmentStart = 0;  // where the active highlighter's text starts in the line
  int32_t FTokenPos = 0;
  int32_t FTokenLen = 0;
  bool FEol = true;
};

}  // namespace rid
