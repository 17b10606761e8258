// Bracket matching and the highlighter token at a position. A line is looked at only when it
// holds one of the two bracket bytes, and then walked by character and tokenized once from its
// stored range, so a search over a large file costs little more than reading it.
#include <cstring>
#include <vector>

#include "editor/RidEder.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr std::string_view Brackets = "()[]{}<>";

bool Holds(std::string_view S, char C) { return !S.empty() && std::memchr(S.data(), C, S.size()); }

}  // namespace

void TCustomRidEder::StartTokens(int32_t Index) {
  if (Index == 0)
    FHighlighter->ResetRange();
  else
    FHighlighter->SetRange(FLines->GetRange(Index - 1));
  FHighlighter->SetLine(FLines->GetView(Index), Index);
}

bool TCustomRidEder::GetHighlighterAttriAtRowColEx(const TBufferCoord& XY, std::string& Token,
                                                   int32_t& TokenType, int32_t& Start,
                                                   TRidHighlighterAttributes*& Attri) {
  Token.clear();
  TokenType = 0;
  Start = 0;
  Attri = nullptr;
  if (!FHighlighter || XY.Line < 1 || XY.Line > FLines->GetCount()) return false;
  const int32_t len = static_cast<int32_t>(FLines->GetView(XY.Line - 1).size());
  if (XY.Char < 1 || XY.Char > len) return false;
  StartTokens(XY.Line - 1);
  for (; !FHighlighter->GetEol(); FHighlighter->Next()) {
    const int32_t from = FHighlighter->GetTokenPos() + 1;
    const std::string_view token = FHighlighter->GetTokenView();
    if (XY.Char >= from && XY.Char < from + static_cast<int32_t>(token.size())) {
      Token = token;
      TokenType = FHighlighter->GetTokenKind();
      Start = from;
      Attri = FHighlighter->GetTokenAttribute();
      return true;
    }
  }
  return false;
}

bool TCustomRidEder::GetHighlighterAttriAtRowCol(const TBufferCoord& XY, std::string& Token,
                                                 TRidHighlighterAttributes*& Attri) {
  int32_t kind, start;
  return GetHighlighterAttriAtRowColEx(XY, Token, kind, start, Attri);
}

void TCustomRidEder::BracketsOfLine(int32_t Index, char Open, char Close,
                                    std::vector<int32_t>& Cols) {
  Cols.clear();
  const std::string_view s = FLines->GetView(Index);
  if (!Holds(s, Open) && !Holds(s, Close)) return;
  const int32_t n = static_cast<int32_t>(s.size());
  for (int32_t i = 0; i < n;) {
    if (SjisCharLength(s, static_cast<size_t>(i)) == 2) {
      i += 2;
      continue;
    }
    if (s[i] == Open || s[i] == Close) Cols.push_back(i + 1);
    ++i;
  }
  if (Cols.empty() || !FHighlighter) return;
  // Brackets the highlighter shows as string or comment text do not count.
  const TRidHighlighterAttributes* text = FHighlighter->GetDefaultAttribute(3);
  const TRidHighlighterAttributes* comment = FHighlighter->GetDefaultAttribute(0);
  size_t k = 0, kept = 0;
  StartTokens(Index);
  for (; !FHighlighter->GetEol() && k < Cols.size(); FHighlighter->Next()) {
    const int32_t from = FHighlighter->GetTokenPos() + 1;
    const int32_t to = from + static_cast<int32_t>(FHighlighter->GetTokenView().size());
    const TRidHighlighterAttributes* attri = FHighlighter->GetTokenAttribute();
    const bool skipped = attri && (attri == text || attri == comment);
    for (; k < Cols.size() && Cols[k] < to; ++k)
      if (!skipped || Cols[k] < from) Cols[kept++] = Cols[k];
  }
  while (k < Cols.size()) Cols[kept++] = Cols[k++];
  Cols.resize(kept);
}

TBufferCoord TCustomRidEder::GetMatchingBracketEx(const TBufferCoord& APoint) {
  const int32_t count = FLines->GetCount();
  if (APoint.Line < 1 || APoint.Line > count) return {0, 0};
  const std::string_view line = FLines->GetView(APoint.Line - 1);
  if (APoint.Char < 1 || APoint.Char > static_cast<int32_t>(line.size()) ||
      IsTrailByteAt(line, APoint.Char))
    return {0, 0};
  const size_t k = Brackets.find(line[APoint.Char - 1]);
  if (k == std::string_view::npos) return {0, 0};
  const char open = Brackets[k], close = Brackets[k ^ 1];
  const bool forward = k % 2 == 0;
  const int32_t step = forward ? 1 : -1;
  std::vector<int32_t> cols;
  int32_t level = 1;
  for (int32_t index = APoint.Line - 1; index >= 0 && index < count; index += step) {
    BracketsOfLine(index, open, close, cols);
    const std::string_view s = FLines->GetView(index);
    const int32_t n = static_cast<int32_t>(cols.size());
    for (int32_t i = forward ? 0 : n - 1; i >= 0 && i < n; i += step) {
      const int32_t col = cols[i];
      if (index == APoint.Line - 1 && (forward ? col <= APoint.Char : col >= APoint.Char)) continue;
      level += s[col - 1] == open ? 1 : -1;
      if (level == 0) return {col, index + 1};
    }
  }
  return {0, 0};
}

void TCustomRidEder::FindMatchingBracket() {
  const TBufferCoord p = GetMatchingBracket();
  if (p.Char > 0) SetCaretXY(p);
}

}  // namespace rid
