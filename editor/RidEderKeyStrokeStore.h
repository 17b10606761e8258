#pragma once
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "editor/RidEderKeyCmds.h"
#include "foundation/MemIni.h"

namespace rid {

// An editor's key bindings are stored as their difference from a base: the ancestor's bindings
// when given, else the defaults. Two bindings are the same when both shortcuts and the command
// are equal.
inline constexpr const char* SRemovedKeystrokes = "RemovedKeystrokes";
inline constexpr const char* SAddedKeystrokes = "AddedKeystrokes";

// The first binding of each pair of shortcuts in a collection, found in constant time; the
// collection must not change while this is used.
class TFirstBindings {
 public:
  explicit TFirstBindings(const TRidEderKeyStrokes& Keys);
  // As TRidEderKeyStrokes::IndexOfShortcuts with Key's shortcuts.
  int32_t IndexOfShortcuts(const TRidEderKeyStroke& Key) const;
  // That binding when it also runs Key's command; -1 otherwise.
  int32_t IndexOfSame(const TRidEderKeyStroke& Key) const;

 private:
  const TRidEderKeyStrokes& FKeys;
  std::unordered_map<uint32_t, int32_t> FFirst;
};

// Same bindings in the same order.
bool CollectionsEqual(const TRidEderKeyStrokes& A, const TRidEderKeyStrokes& B);

// The base bindings that AKeys does not have, in base order.
std::unique_ptr<TRidEderKeyStrokes> RemovedKeystrokes(const TRidEderKeyStrokes& AKeys,
                                                      const TRidEderKeyStrokes* AAncestor);
// The bindings of AKeys that the base lacks or binds to another command, in AKeys order.
std::unique_ptr<TRidEderKeyStrokes> AddedKeystrokes(const TRidEderKeyStrokes& AKeys,
                                                    const TRidEderKeyStrokes* AAncestor);

// Takes out of AKeys each binding of ARemoved that it has, then appends copies of AAdded;
// no duplicate check, so a rebinding read back never fails.
void ApplyKeystrokeDifference(TRidEderKeyStrokes& AKeys, const TRidEderKeyStrokes& ARemoved,
                              const TRidEderKeyStrokes& AAdded);

// One binding as a line: "<command>,<shortcut>,<shortcut 2>" ("ecCopy,Ctrl+C,"); a command
// without a name is its decimal number, a key without a name "$" and the shortcut in hex.
std::string KeyStrokeToText(const TRidEderKeyStroke& AKey);
// False, leaving AKey alone, when the text is not such a line.
bool TextToKeyStroke(const std::string& Text, TRidEderKeyStroke& AKey);

// Appends to AKeys each line that reads as a binding; returns the lines that do not.
std::vector<std::string> TextsToKeyStrokes(const TStrings& Lines, TRidEderKeyStrokes& AKeys);

// Writes both sections when AKeys differs from the base, and erases them when it does not.
void WriteKeystrokes(TMemIni& Ini, const TRidEderKeyStrokes& AKeys,
                     const TRidEderKeyStrokes* AAncestor = nullptr);
// Applies the stored difference to AKeys, which holds the base (the defaults) beforehand.
// Lines that do not read as a binding are skipped.
void ReadKeystrokes(const TMemIni& Ini, TRidEderKeyStrokes& AKeys);

}  // namespace rid
