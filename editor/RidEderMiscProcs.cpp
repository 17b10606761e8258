#include "editor/RidEderMiscProcs.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cstring>
#include <typeinfo>

#include "editor/RidEderHighlighter.h"
#include "platform/Graphics.h"
#include "platform/Locale.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace rid {

void SwapIntegers(int32_t& A, int32_t& B) {
  int32_t t = A;
  A = B;
  B = t;
}

TBufferCoord MinBufferCoord(const TBufferCoord& A, const TBufferCoord& B) {
  return BufferCoordBefore(B, A) ? B : A;
}

bool FindFirstTab(std::string_view Line, int32_t& CharsBefore) {
  size_t p = Line.find('\t');
  CharsBefore = static_cast<int32_t>(p == std::string_view::npos ? Line.size() : p);
  return p != std::string_view::npos;
}

std::string ConvertTabsSingleEx(std::string_view Line, int32_t TabWidth, bool& HasTabs) {
  int32_t Before;
  HasTabs = FindFirstTab(Line, Before);
  std::string Result(Line);
  if (HasTabs)
    for (size_t i = Before; i < Result.size(); ++i)
      if (Result[i] == '\t') Result[i] = ' ';
  return Result;
}

namespace {

// Expands tabs to runs of tab bytes; NextStop(p) gives the stop after display position p.
template <typename NextStopFn>
std::string ExpandTabs(std::string_view Line, bool& HasTabs, NextStopFn NextStop) {
  int32_t Before;
  HasTabs = FindFirstTab(Line, Before);
  if (!HasTabs) return std::string(Line);
  // First pass measures so that the result is allocated once.
  int64_t Len = Before;
  for (size_t i = Before; i < Line.size(); ++i) Len = Line[i] == '\t' ? NextStop(Len) : Len + 1;
  std::string Result;
  Result.resize(static_cast<size_t>(Len));
  char* d = Result.data();
  std::memcpy(d, Line.data(), Before);
  int64_t Pos = Before;
  for (size_t i = Before; i < Line.size(); ++i) {
    if (Line[i] == '\t') {
      int64_t Stop = NextStop(Pos);
      std::memset(d + Pos, '\t', static_cast<size_t>(Stop - Pos));
      Pos = Stop;
    } else {
      d[Pos++] = Line[i];
    }
  }
  return Result;
}

}  // namespace

std::string ConvertTabsPow2Ex(std::string_view Line, int32_t TabWidth, bool& HasTabs) {
  const int64_t w = TabWidth < 1 ? 1 : TabWidth;
  return ExpandTabs(Line, HasTabs, [w](int64_t p) { return (p + w) & ~(w - 1); });
}

std::string ConvertTabsModEx(std::string_view Line, int32_t TabWidth, bool& HasTabs) {
  const int64_t w = TabWidth < 1 ? 1 : TabWidth;
  return ExpandTabs(Line, HasTabs, [w](int64_t p) { return p + w - p % w; });
}

std::string ConvertTabsSingle(std::string_view Line, int32_t TabWidth) {
  bool HasTabs;
  return ConvertTabsSingleEx(Line, TabWidth, HasTabs);
}
std::string ConvertTabsPow2(std::string_view Line, int32_t TabWidth) {
  bool HasTabs;
  return ConvertTabsPow2Ex(Line, TabWidth, HasTabs);
}
std::string ConvertTabsMod(std::string_view Line, int32_t TabWidth) {
  bool HasTabs;
  return ConvertTabsModEx(Line, TabWidth, HasTabs);
}

bool IsPowerOfTwo(int32_t TabWidth) {
  for (int32_t n = 2; n <= 65536; n *= 2)
    if (n == TabWidth) return true;
  return false;
}

TConvertTabsProc GetBestConvertTabsProc(int32_t TabWidth) {
  if (TabWidth < 2) return &ConvertTabsSingle;
  return IsPowerOfTwo(TabWidth) ? &ConvertTabsPow2 : &ConvertTabsMod;
}

TConvertTabsProcEx GetBestConvertTabsProcEx(int32_t TabWidth) {
  if (TabWidth < 2) return &ConvertTabsSingleEx;
  return IsPowerOfTwo(TabWidth) ? &ConvertTabsPow2Ex : &ConvertTabsModEx;
}

int32_t ExpandedLength(std::string_view Line, int32_t TabWidth) {
  const int64_t w = TabWidth < 1 ? 1 : TabWidth;
  const bool pow2 = (w & (w - 1)) == 0;  // the usual widths: no division per tab
  int64_t Len = 0;
  size_t counted = 0;  // the bytes before this are in Len
  // Each tab takes the column to the next stop; the bytes between count one column each.
  auto tabAt = [&](size_t Tab) {
    Len += int64_t(Tab - counted);
    Len = pow2 ? (Len | (w - 1)) + 1 : Len + w - Len % w;
    counted = Tab + 1;
  };
  const char* p = Line.data();
  const size_t n = Line.size();
  size_t i = 0;
#ifdef __SSE2__
  // Sixteen bytes at a time: most blocks hold no tab.
  const __m128i Tab = _mm_set1_epi8('\t');
  for (; i + 16 <= n; i += 16) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
    for (unsigned m = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(a, Tab))); m;
         m &= m - 1)
      tabAt(i + static_cast<size_t>(std::countr_zero(m)));
  }
#endif
  for (; i < n; ++i)
    if (p[i] == '\t') tabAt(i);
  // A long line of wide tabs can reach more columns than an int holds: it has the most there are.
  return static_cast<int32_t>(std::min<int64_t>(Len + int64_t(n - counted), INT32_MAX));
}

int32_t CharIndexToColumn(int32_t CharIndex, int32_t TabWidth, std::string_view Line) {
  if (CharIndex < 2) return 1;
  const size_t inLine = std::min(static_cast<size_t>(CharIndex - 1), Line.size());
  const int64_t past = int64_t(CharIndex) - 1 - int64_t(inLine);  // one column each
  const int64_t col = int64_t(ExpandedLength(Line.substr(0, inLine), TabWidth)) + past + 1;
  return static_cast<int32_t>(std::min<int64_t>(col, INT32_MAX));
}

int32_t ColumnToCharIndex(int32_t Column, int32_t TabWidth, std::string_view Line) {
  const int64_t w = TabWidth < 1 ? 1 : TabWidth;
  int64_t col = 0;  // the columns before byte i
  size_t i = 0;
  // From tab to tab: the bytes between take one column each.
  for (;;) {
    const size_t t = std::min(Line.find('\t', i), Line.size());
    if (col + int64_t(t - i) >= Column || t == Line.size())
      return static_cast<int32_t>(std::clamp<int64_t>(int64_t(i) + Column - col, 1, INT32_MAX));
    col += int64_t(t - i);
    col += w - col % w;
    i = t + 1;
    if (col >= Column) return static_cast<int32_t>(i);
  }
}

namespace {

inline bool IsLead(std::string_view Line, size_t i) {
  return IsDBCSLeadByte(static_cast<uint8_t>(Line[i]));
}

// The 0-based start of the character holding byte i (0-based), walking from the line start.
size_t CharStartAt(std::string_view Line, size_t i) {
  size_t p = 0;
  while (p < i) {
    size_t Next = p + (IsLead(Line, p) ? 2 : 1);
    if (Next > i) return p;
    p = Next;
  }
  return p;
}

}  // namespace

int32_t ScanForCharInSet(std::string_view Line, int32_t Start, TRidCharSet AChars) {
  if (Start < 1 || Start > static_cast<int32_t>(Line.size())) return 0;
  size_t i = Start - 1;
  if (CharStartAt(Line, i) != i) ++i;  // on a trail byte
  while (i < Line.size()) {
    if (IsLead(Line, i)) {
      i += 2;
    } else {
      if (AChars.Contains(Line[i])) return static_cast<int32_t>(i + 1);
      ++i;
    }
  }
  return 0;
}

// Code page 932 is a Far-East code page, so the backward scan walks forward from the start.
int32_t ScanBackForCharInSet(std::string_view Line, int32_t Start, TRidCharSet AChars) {
  if (Start < 1 || Start > static_cast<int32_t>(Line.size())) return 0;
  int32_t Found = 0;
  for (size_t i = 0; i < static_cast<size_t>(Start);) {
    if (IsLead(Line, i)) {
      i += 2;
    } else {
      if (AChars.Contains(Line[i])) Found = static_cast<int32_t>(i + 1);
      ++i;
    }
  }
  return Found;
}

int32_t NextLeadBytePos(std::string_view Line, int32_t Index) {
  if (Index < 1 || Index > static_cast<int32_t>(Line.size())) return 0;
  size_t i = Index - 1;
  if (CharStartAt(Line, i) != i) ++i;
  for (; i < Line.size(); ++i)
    if (IsLead(Line, i)) return static_cast<int32_t>(i + 1);
  return 0;
}

int32_t LastLeadBytePos(std::string_view Line, int32_t Index) {
  int32_t Found = 0;
  const size_t End = Index < 0 ? 0 : std::min(static_cast<size_t>(Index), Line.size());
  for (size_t i = 0; i < End;) {
    if (IsLead(Line, i)) {
      Found = static_cast<int32_t>(i + 1);
      i += 2;
    } else {
      ++i;
    }
  }
  return Found;
}

const char* LineEndPtr(const char* P) {
  if (!P) return nullptr;
  while (*P != '\0' && *P != '\n' && *P != '\r') ++P;
  return P;
}

std::string EncodeString(std::string_view S) {
  std::string Result;
  Result.reserve(S.size() + S.size() / 8);
  for (char c : S) {
    if (c == '\\')
      Result += "\\\\";
    else if (c == '/')
      Result += "\\.";
    else
      Result += c;
  }
  return Result;
}

std::string DecodeString(std::string_view S) {
  std::string Result;
  Result.reserve(S.size());
  for (size_t i = 0; i < S.size(); ++i) {
    if (S[i] != '\\') {
      Result += S[i];
    } else {
      if (++i == S.size()) break;  // a lone backslash at the end has nothing to escape
      Result += S[i] == '\\' ? '\\' : '/';
    }
  }
  return Result;
}

std::string HighlighterFriendlyName(std::string_view AClassName) {
  std::string Name(AClassName);
  auto Lower = [](std::string_view s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
  };
  if (!Name.empty() && (Name[0] == 'T' || Name[0] == 't'))
    Name.erase(0, Lower(Name).rfind("trid", 0) == 0 ? 4 : 1);
  if (Name.size() >= 3 && Lower(Name.substr(Name.size() - 3)) == "rid")
    Name.resize(Name.size() - 3);
  return Name;
}

void FillGradient(TCanvas* ACanvas, TColor AStartColor, TColor AEndColor, bool Horizontal,
                  const TRect& ARect, int32_t Steps) {
  const TColor Start = ColorToRGB(AStartColor), End = ColorToRGB(AEndColor);
  const int32_t Channels[3][2] = {{GetRValue(Start), GetRValue(End)},
                                  {GetGValue(Start), GetGValue(End)},
                                  {GetBValue(Start), GetBValue(End)}};
  const int32_t n = ClampInteger(Steps, 2, 256);
  const int32_t Size = Horizontal ? ARect.Width() : ARect.Height();
  for (int32_t i = 0; i < n; ++i) {
    uint8_t c[3];
    for (int k = 0; k < 3; ++k)
      c[k] =
          static_cast<uint8_t>(Channels[k][0] + MulDiv(i, Channels[k][1] - Channels[k][0], n - 1));
    TRect Band = ARect;
    if (Horizontal) {
      Band.Left = ARect.Left + MulDiv(i, Size, n);
      Band.Right = ARect.Left + MulDiv(i + 1, Size, n);
    } else {
      Band.Top = ARect.Top + MulDiv(i, Size, n);
      Band.Bottom = ARect.Top + MulDiv(i + 1, Size, n);
    }
    ACanvas->Brush().SetStyle(bsSolid);
    ACanvas->Brush().SetColor(RGB(c[0], c[1], c[2]));
    ACanvas->FillRect(Band);
  }
}

int32_t SameClassIndex(const TRidCustomHighlighter* AHighlighter,
                       const std::vector<const TRidCustomHighlighter*>& AList) {
  int32_t Result = 1;
  for (const TRidCustomHighlighter* h : AList) {
    if (h == AHighlighter) break;
    if (h && typeid(*h) == typeid(*AHighlighter)) ++Result;
  }
  return Result;
}

namespace {

struct AttriWalk {
  bool SkipDuplicates;
  TEnumHighlighterAttrisCallback Proc;
  std::span<void* const> Params;
  std::vector<const TRidCustomHighlighter*> Visited;
  std::vector<const TRidCustomHighlighter*> Path;

  std::string Prefix(TRidCustomHighlighter* h) const {
    return HighlighterFriendlyName(h->ClassName()) + std::to_string(SameClassIndex(h, Visited)) +
           ".";
  }

  bool Walk(TRidCustomHighlighter* h) {
    if (!h) return true;
    const bool Seen = std::find(Visited.begin(), Visited.end(), h) != Visited.end();
    if (Seen && SkipDuplicates) return true;
    // Re-entering a highlighter that is being walked would never end.
    if (std::find(Path.begin(), Path.end(), h) != Path.end()) return true;
    if (!Seen) Visited.push_back(h);
    Path.push_back(h);
    bool Result = WalkBody(h);
    Path.pop_back();
    return Result;
  }

  bool WalkBody(TRidCustomHighlighter* h) {
    if (h->IsMultiHighlighter()) {
      if (!Walk(h->GetMultiDefaultHighlighter())) return false;
      for (int32_t i = 0; i < h->GetSchemeCount(); ++i) {
        TRidHighlighterAttributes* Marker = h->GetSchemeMarkerAttri(i);
        if (Marker) {
          std::string Name = Prefix(h) + Marker->GetName() + std::to_string(i + 1);
          if (!Proc(h, Marker, Name, Params)) return false;
        }
        if (!Walk(h->GetSchemeHighlighter(i))) return false;
      }
      return true;
    }
    for (int32_t i = 0; i < h->GetAttribCount(); ++i) {
      TRidHighlighterAttributes* Attri = h->GetAttribute(i);
      if (Attri && !Proc(h, Attri, Prefix(h) + Attri->GetName(), Params)) return false;
    }
    return true;
  }
};

}  // namespace

bool EnumHighlighterAttris(TRidCustomHighlighter* Highlighter, bool SkipDuplicates,
                           TEnumHighlighterAttrisCallback HighlighterAttriProc,
                           std::span<void* const> Params) {
  if (!Highlighter || !HighlighterAttriProc) return false;
  AttriWalk w{SkipDuplicates, HighlighterAttriProc, Params, {}, {}};
  return w.Walk(Highlighter);
}

}  // namespace rid
