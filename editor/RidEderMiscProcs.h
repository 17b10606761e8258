#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderTypes.h"
#include "platform/Delegate.h"
#include "platform/Types.h"

namespace rid {

// Max(Min(Value, AMax), AMin): when AMin exceeds AMax the minimum wins.
constexpr int32_t ClampInteger(int32_t Value, int32_t AMin, int32_t AMax) {
  int32_t v = Value < AMax ? Value : AMax;
  return v > AMin ? v : AMin;
}
void SwapIntegers(int32_t& A, int32_t& B);
// The earlier of two positions; ties yield A.
TBufferCoord MinBufferCoord(const TBufferCoord& A, const TBufferCoord& B);

// Tab expansion. Lines are counted by length and may hold zero bytes. The Pow2 and Mod forms
// replace each tab by a run of tab bytes (byte 9) up to the next tab stop; the Single form
// replaces each tab by one space. Text without a tab comes back unchanged.
using TConvertTabsProc = std::string (*)(std::string_view Line, int32_t TabWidth);
using TConvertTabsProcEx = std::string (*)(std::string_view Line, int32_t TabWidth,
                                           bool& HasTabs);

// CharsBefore receives the number of bytes before the first tab (the whole length when none).
bool FindFirstTab(std::string_view Line, int32_t& CharsBefore);

std::string ConvertTabsSingleEx(std::string_view Line, int32_t TabWidth, bool& HasTabs);
std::string ConvertTabsPow2Ex(std::string_view Line, int32_t TabWidth, bool& HasTabs);
std::string ConvertTabsModEx(std::string_view Line, int32_t TabWidth, bool& HasTabs);
std::string ConvertTabsSingle(std::string_view Line, int32_t TabWidth);
std::string ConvertTabsPow2(std::string_view Line, int32_t TabWidth);
std::string ConvertTabsMod(std::string_view Line, int32_t TabWidth);

// 2, 4, 8, ... 65536.
bool IsPowerOfTwo(int32_t TabWidth);
TConvertTabsProc GetBestConvertTabsProc(int32_t TabWidth);
TConvertTabsProcEx GetBestConvertTabsProcEx(int32_t TabWidth);

// Display width after tab expansion (a width below 1 counts as 1), at most INT32_MAX.
int32_t ExpandedLength(std::string_view Line, int32_t TabWidth);
// The 1-based display column of a 1-based byte index; indexes past the end take one column
// each. A caller that knows the line has no tab takes the index itself.
int32_t CharIndexToColumn(int32_t CharIndex, int32_t TabWidth, std::string_view Line);
// The other way: the 1-based byte index whose columns hold display column Column (a column
// inside a tab gives the tab, one inside a double-byte character either of its bytes); past the
// end one index a column, and a column below 1 gives 1.
int32_t ColumnToCharIndex(int32_t Column, int32_t TabWidth, std::string_view Line);

// Double-byte-aware scans; indexes are 1-based, 0 means "none". A trail byte is never
// returned, even when its value is in the set.
int32_t ScanForCharInSet(std::string_view Line, int32_t Start, TRidCharSet AChars);
int32_t ScanBackForCharInSet(std::string_view Line, int32_t Start, TRidCharSet AChars);
int32_t NextLeadBytePos(std::string_view Line, int32_t Index);
int32_t LastLeadBytePos(std::string_view Line, int32_t Index);
// The first NUL, LF or CR at or after P; null for null.
const char* LineEndPtr(const char* P);

// The escape coding of the header and footer settings: "\" <-> "\\", "/" <-> "\.".
// Bytes are coded one by one, so strings written earlier read back unchanged.
std::string EncodeString(std::string_view S);
std::string DecodeString(std::string_view S);

// "TRidPerlRid" -> "Perl": a leading T (with "Rid" after it) and a trailing "Rid" go.
std::string HighlighterFriendlyName(std::string_view AClassName);

class TCanvas;
class TRidCustomHighlighter;
class TRidHighlighterAttributes;

// Fills ARect with bands running from AStartColor to AEndColor (system colours resolved): side
// by side when Horizontal, else stacked; the band count is Steps kept to 2..256.
void FillGradient(TCanvas* ACanvas, TColor AStartColor, TColor AEndColor, bool Horizontal,
                  const TRect& ARect, int32_t Steps);

// 1 plus the number of entries of AList before AHighlighter's own entry (before the end when
// it is absent) that are of its class.
int32_t SameClassIndex(const TRidCustomHighlighter* AHighlighter,
                       const std::vector<const TRidCustomHighlighter*>& AList);

// Called for each attribute with a name unique among all reached highlighters ("Perl1.Comment");
// returns true to go on.
using TEnumHighlighterAttrisCallback =
    Delegate<bool(TRidCustomHighlighter* Highlighter, TRidHighlighterAttributes* Attri,
                  const std::string& UniqueAttriName, std::span<void* const> Params)>;

// Walks every attribute of Highlighter and, for a multi-language highlighter, of its default
// and scheme highlighters. With SkipDuplicates a highlighter reached twice is walked once;
// without, a highlighter is still never re-entered while it is being walked, so a scheme that
// leads back to its own highlighter ends the recursion. False at once for a nil highlighter or
// callback; otherwise true when every callback returned true.
bool EnumHighlighterAttris(TRidCustomHighlighter* Highlighter, bool SkipDuplicates,
                           TEnumHighlighterAttrisCallback HighlighterAttriProc,
                           std::span<void* const> Params = {});

}  // namespace rid
