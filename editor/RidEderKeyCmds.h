#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"
#include "platform/Keys.h"
#include "platform/Types.h"

namespace rid {

// Editor commands. 1..1000 are executed by the editor; from ecUserFirst they reach only the
// application's events and the command hooks; plugins allocate theirs from 64000.
using TRidEderorCommand = uint16_t;

constexpr TRidEderorCommand ecNone = 0;

constexpr TRidEderorCommand ecLeft = 1;
constexpr TRidEderorCommand ecRight = 2;
constexpr TRidEderorCommand ecUp = 3;
constexpr TRidEderorCommand ecDown = 4;
constexpr TRidEderorCommand ecWordLeft = 5;
constexpr TRidEderorCommand ecWordRight = 6;
constexpr TRidEderorCommand ecLineStart = 7;
constexpr TRidEderorCommand ecLineEnd = 8;
constexpr TRidEderorCommand ecPageUp = 9;
constexpr TRidEderorCommand ecPageDown = 10;
constexpr TRidEderorCommand ecPageLeft = 11;
constexpr TRidEderorCommand ecPageRight = 12;
constexpr TRidEderorCommand ecPageTop = 13;
constexpr TRidEderorCommand ecPageBottom = 14;
constexpr TRidEderorCommand ecEditorTop = 15;
constexpr TRidEderorCommand ecEditorBottom = 16;
constexpr TRidEderorCommand ecGotoXY = 17;

// A selecting move is its move + ecSelection.
constexpr TRidEderorCommand ecSelection = 100;
constexpr TRidEderorCommand ecSelLeft = ecLeft + ecSelection;
constexpr TRidEderorCommand ecSelRight = ecRight + ecSelection;
constexpr TRidEderorCommand ecSelUp = ecUp + ecSelection;
constexpr TRidEderorCommand ecSelDown = ecDown + ecSelection;
constexpr TRidEderorCommand ecSelWordLeft = ecWordLeft + ecSelection;
constexpr TRidEderorCommand ecSelWordRight = ecWordRight + ecSelection;
constexpr TRidEderorCommand ecSelLineStart = ecLineStart + ecSelection;
constexpr TRidEderorCommand ecSelLineEnd = ecLineEnd + ecSelection;
constexpr TRidEderorCommand ecSelPageUp = ecPageUp + ecSelection;
constexpr TRidEderorCommand ecSelPageDown = ecPageDown + ecSelection;
constexpr TRidEderorCommand ecSelPageLeft = ecPageLeft + ecSelection;
constexpr TRidEderorCommand ecSelPageRight = ecPageRight + ecSelection;
constexpr TRidEderorCommand ecSelPageTop = ecPageTop + ecSelection;
constexpr TRidEderorCommand ecSelPageBottom = ecPageBottom + ecSelection;
constexpr TRidEderorCommand ecSelEditorTop = ecEditorTop + ecSelection;
constexpr TRidEderorCommand ecSelEditorBottom = ecEditorBottom + ecSelection;
constexpr TRidEderorCommand ecSelGotoXY = ecGotoXY + ecSelection;

constexpr TRidEderorCommand ecSelWord = 198;
constexpr TRidEderorCommand ecSelectAll = 199;
constexpr TRidEderorCommand ecCopy = 201;

constexpr TRidEderorCommand ecScrollUp = 211;
constexpr TRidEderorCommand ecScrollDown = 212;
constexpr TRidEderorCommand ecScrollLeft = 213;
constexpr TRidEderorCommand ecScrollRight = 214;

constexpr TRidEderorCommand ecInsertMode = 221;
constexpr TRidEderorCommand ecOverwriteMode = 222;
constexpr TRidEderorCommand ecToggleMode = 223;

constexpr TRidEderorCommand ecNormalSelect = 231;
constexpr TRidEderorCommand ecColumnSelect = 232;
constexpr TRidEderorCommand ecLineSelect = 233;

constexpr TRidEderorCommand ecMatchBracket = 250;
constexpr TRidEderorCommand ecCommentBlock = 251;

constexpr TRidEderorCommand ecGotoMarker0 = 301;
constexpr TRidEderorCommand ecGotoMarker1 = 302;
constexpr TRidEderorCommand ecGotoMarker2 = 303;
constexpr TRidEderorCommand ecGotoMarker3 = 304;
constexpr TRidEderorCommand ecGotoMarker4 = 305;
constexpr TRidEderorCommand ecGotoMarker5 = 306;
constexpr TRidEderorCommand ecGotoMarker6 = 307;
constexpr TRidEderorCommand ecGotoMarker7 = 308;
constexpr TRidEderorCommand ecGotoMarker8 = 309;
constexpr TRidEderorCommand ecGotoMarker9 = 310;
constexpr TRidEderorCommand ecSetMarker0 = 351;
constexpr TRidEderorCommand ecSetMarker1 = 352;
constexpr TRidEderorCommand ecSetMarker2 = 353;
constexpr TRidEderorCommand ecSetMarker3 = 354;
constexpr TRidEderorCommand ecSetMarker4 = 355;
constexpr TRidEderorCommand ecSetMarker5 = 356;
constexpr TRidEderorCommand ecSetMarker6 = 357;
constexpr TRidEderorCommand ecSetMarker7 = 358;
constexpr TRidEderorCommand ecSetMarker8 = 359;
constexpr TRidEderorCommand ecSetMarker9 = 360;

constexpr TRidEderorCommand ecContextHelp = 490;

constexpr TRidEderorCommand ecDeleteLastChar = 501;
constexpr TRidEderorCommand ecDeleteChar = 502;
constexpr TRidEderorCommand ecDeleteWord = 503;
constexpr TRidEderorCommand ecDeleteLastWord = 504;
constexpr TRidEderorCommand ecDeleteBOL = 505;
constexpr TRidEderorCommand ecDeleteEOL = 506;
constexpr TRidEderorCommand ecDeleteLine = 507;
constexpr TRidEderorCommand ecClearAll = 508;
constexpr TRidEderorCommand ecLineBreak = 509;
constexpr TRidEderorCommand ecInsertLine = 510;
constexpr TRidEderorCommand ecChar = 511;

constexpr TRidEderorCommand ecImeStr = 550;

constexpr TRidEderorCommand ecUndo = 601;
constexpr TRidEderorCommand ecRedo = 602;
constexpr TRidEderorCommand ecCut = 603;
constexpr TRidEderorCommand ecPaste = 604;
constexpr TRidEderorCommand ecBlockIndent = 610;
constexpr TRidEderorCommand ecBlockUnindent = 611;
constexpr TRidEderorCommand ecTab = 612;
constexpr TRidEderorCommand ecShiftTab = 613;

constexpr TRidEderorCommand ecUpperCase = 620;
constexpr TRidEderorCommand ecLowerCase = 621;
constexpr TRidEderorCommand ecToggleCase = 622;
constexpr TRidEderorCommand ecTitleCase = 623;
constexpr TRidEderorCommand ecUpperCaseBlock = 625;
constexpr TRidEderorCommand ecLowerCaseBlock = 626;
constexpr TRidEderorCommand ecToggleCaseBlock = 627;

constexpr TRidEderorCommand ecString = 630;
constexpr TRidEderorCommand ecAutoCompletion = 650;

constexpr TRidEderorCommand ecUserFirst = 1001;

struct TRidEderCommandName {
  TRidEderorCommand Command;
  std::string_view Name;
};
// Every named command, in ascending order of number (101 entries).
extern const TRidEderCommandName EditorCommandStrs[101];

// The command's name; nullopt when the number has none.
std::optional<std::string> EditorCommandToIdent(TRidEderorCommand Command);
// The number of a command name (exact spelling); nullopt when the name is unknown.
std::optional<TRidEderorCommand> IdentToEditorCommand(std::string_view Ident);
// The name, or the decimal number when the command has none.
std::string EditorCommandToCodeString(TRidEderorCommand Command);

// Raised for a binding whose shortcuts are already bound in the same collection.
class ERidKeyError : public Exception {
 public:
  using Exception::Exception;
};

class TRidEderKeyStrokes;

// One key, or a sequence of two keys, each with its shift state (Shift, Alt, Ctrl only),
// bound to a command.
class TRidEderKeyStroke : public TPersistent {
 public:
  RID_CLASS_NAME(TRidEderKeyStroke)
  explicit TRidEderKeyStroke(TRidEderKeyStrokes* ACollection) : FCollection(ACollection) {}

  // Copies command, keys and shift states from another binding, without the duplicate check.
  void Assign(TPersistent* Source) override;
  // "<command> - <shortcut>[ <shortcut 2>]".
  std::string GetDisplayName() const;

  TRidEderorCommand GetCommand() const { return FCommand; }
  void SetCommand(TRidEderorCommand Value) { FCommand = Value; }
  uint16_t GetKey() const { return FKey; }
  void SetKey(uint16_t Value) { FKey = Value; }
  TShiftState GetShift() const { return FShift; }
  void SetShift(TShiftState Value) { FShift = Value; }
  uint16_t GetKey2() const { return FKey2; }
  void SetKey2(uint16_t Value) { FKey2 = Value; }
  TShiftState GetShift2() const { return FShift2; }
  void SetShift2(TShiftState Value) { FShift2 = Value; }

  TShortCut GetShortCut() const;
  TShortCut GetShortCut2() const;
  // Both raise ERidKeyError "Shortcut already exists" when another binding of the collection
  // has the resulting pair of shortcuts; the binding is then left unchanged.
  void SetShortCut(TShortCut Value);
  void SetShortCut2(TShortCut Value);

  TRidEderKeyStrokes* Collection() const { return FCollection; }
  int32_t GetIndex() const;

 private:
  TRidEderKeyStrokes* FCollection;
  uint16_t FKey = 0;
  TShiftState FShift;
  uint16_t FKey2 = 0;
  TShiftState FShift2;
  TRidEderorCommand FCommand = ecNone;
};

// The key bindings an editor owns.
class TRidEderKeyStrokes : public TPersistent {
 public:
  RID_CLASS_NAME(TRidEderKeyStrokes)
  explicit TRidEderKeyStrokes(TPersistent* AOwner = nullptr) : FOwner(AOwner) {}
  ~TRidEderKeyStrokes() override;

  TPersistent* GetOwner() const { return FOwner; }

  TRidEderKeyStroke* Add();
  // Appends a one-key binding without the duplicate check.
  void AddKey(TRidEderorCommand ACmd, uint16_t AKey, TShiftState AShift);
  // From another collection: clears, then copies every binding.
  void Assign(TPersistent* Source) override;
  void Clear();
  void Delete(int32_t Index);
  // Deletes, in one pass, every binding whose index is marked (Doomed holds one mark a binding).
  void DeleteMarked(const std::vector<bool>& Doomed);
  int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
  TRidEderKeyStroke* GetItem(int32_t Index) const { return FItems.at(Index).get(); }
  TRidEderKeyStroke* operator[](int32_t Index) const { return GetItem(Index); }

  // The first one-key binding of Key with Shift; -1 when none.
  int32_t IndexOfKey(uint16_t AKey, TShiftState AShift) const;
  int32_t IndexOfKeys(uint16_t AKey, TShiftState AShift, uint16_t AKey2, TShiftState AShift2) const;
  int32_t IndexOfShortcut(TShortCut SC) const;
  int32_t IndexOfShortcuts(TShortCut SC, TShortCut SC2) const;
  int32_t IndexOf(const TRidEderKeyStroke* Item) const;

  // Clears and adds the 82 default bindings.
  void ResetDefaults();

 private:
  TPersistent* FOwner;
  std::vector<std::unique_ptr<TRidEderKeyStroke>> FItems;
};

}  // namespace rid
