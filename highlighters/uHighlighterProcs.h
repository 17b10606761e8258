#pragma once
#include <string>

#include "editor/RidEderHighlighter.h"
#include "platform/Classes.h"

namespace rid {

// Routines over a list of highlighters whose items carry the highlighter objects (items with
// any other object are passed over). A highlighter's display name is the text of its filter
// before the first blank ("Perl" for "Perl Files (*.pl;*.pm;*.cgi)|*.pl;*.pm;*.cgi"); without
// one, "汎用タイプ".

// Fills AHighlighters (cleared first unless AppendToList) with the highlighters AOwner owns,
// one per language name (the later component wins), as language name and object, sorted.
void GetHighlighters(TComponent* AOwner, TStrings* AHighlighters, bool AppendToList);
// The first highlighter of the list whose filter lists the extension (".pl", any case), or
// nullptr.
TRidCustomHighlighter* GetHighlighterFromFileExt(TStrings* AHighlighters, std::string Extension);
// Fills ANames with the display names of the list's highlighters, sorted.
void GetHighlighterNames(TStrings* AHighlighters, TStrings* ANames);
std::string GetHighlighterName(TRidCustomHighlighter* AHighlighter);
// The first highlighter of the list whose display name is AName, or nullptr.
TRidCustomHighlighter* GetHighlighterByName(TStrings* AHighlighters, const std::string& AName);

}  // namespace rid
