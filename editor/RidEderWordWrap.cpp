#include "editor/RidEderWordWrap.h"

#include <algorithm>

#include "editor/RidEderMiscClasses.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// Whether Pos is the second byte of a double-byte character, walking from the row start.
bool IsTrailFrom(const std::string& S, int32_t Start, int32_t Pos) {
  int32_t i = Start;
  while (i < Pos) i += IsDBCSLeadByte(S[i]) ? 2 : 1;
  return i > Pos;
}

}  // namespace

TRidWordWrapPlugin::TRidWordWrapPlugin(IRidWordWrapEditor* AOwner) : FEditor(AOwner) {
  if (AOwner == nullptr) throw Exception("Owner of TRidWordWrapPlugin must be a TCustomRidEder");
  Reset();
}

TRidWordWrapPlugin::~TRidWordWrapPlugin() = default;

void TRidWordWrapPlugin::Clear() {
  FLineOffsets.clear();
  FLineOffsets.shrink_to_fit();
  FRowLengths.clear();
  FRowLengths.shrink_to_fit();
  FLineCount = 0;
}

void TRidWordWrapPlugin::Reset() {
  int32_t chars = FEditor->GetCharsInWindow();
  RID_ASSERT(chars >= 0);
  FMaxRowLength = static_cast<uint8_t>(std::min(chars, 255));
  FMinRowLength = static_cast<uint8_t>(std::max(FMaxRowLength - FMaxRowLength / 3, 1));
  FBreakChars = FEditor->GetIdentChars().Complement();
  WrapLines();
}

void TRidWordWrapPlugin::DisplayChanged() {
  if (std::min(FEditor->GetCharsInWindow(), 255) != FMaxRowLength) Reset();
}

void TRidWordWrapPlugin::WrapLine(const std::string& S, std::vector<uint8_t>& Rows) const {
  const int32_t n = static_cast<int32_t>(S.size());
  const int32_t maxLen = FMaxRowLength;
  const int32_t minLen = FMinRowLength;
  int32_t s = 0;
  int32_t e = maxLen;
  while (e < n) {
    if (e > s + minLen) {
      for (int32_t p = e; p > s + minLen; --p) {
        if (FBreakChars.Contains(S[p])) {
          e = p;
          break;
        }
      }
    }
    if (IsTrailFrom(S, s, e)) --e;
    // A one-column window cannot hold a double-byte character: the row takes it whole rather
    // than staying empty for ever.
    if (e == s) e = s + 2;
    Rows.push_back(static_cast<uint8_t>(e - s));
    s = e;
    e = s + maxLen;
  }
  if (n == 0 || s < n) Rows.push_back(static_cast<uint8_t>(n - s));
}

void TRidWordWrapPlugin::WrapLines() {
  int32_t count = FEditor->GetLineCount();
  if (count <= 0 || FMaxRowLength == 0) {
    Clear();
    return;
  }
  FLineOffsets.clear();
  FRowLengths.clear();
  FLineOffsets.reserve(count);
  FRowLengths.reserve(count);
  // Rows are appended as they come: no reserve formula bounds them at every width.
  for (int32_t i = 0; i < count; ++i) {
    WrapLine(FEditor->GetExpandedString(i), FRowLengths);
    FLineOffsets.push_back(static_cast<int32_t>(FRowLengths.size()));
  }
  FLineCount = count;
}

int32_t TRidWordWrapPlugin::ReWrapLines(int32_t AIndex, int32_t ACount) {
  std::vector<uint8_t> rows;
  std::vector<int32_t> offsets(ACount);
  const int32_t first = RowsBefore(AIndex);
  for (int32_t i = 0; i < ACount; ++i) {
    WrapLine(FEditor->GetExpandedString(AIndex + i), rows);
    offsets[i] = first + static_cast<int32_t>(rows.size());
  }
  const int32_t oldRows = FLineOffsets[AIndex + ACount - 1] - first;
  const int32_t delta = static_cast<int32_t>(rows.size()) - oldRows;
  auto at = FRowLengths.begin() + first;
  if (delta == 0) {
    std::copy(rows.begin(), rows.end(), at);
  } else {
    // One splice and one pass over the following offsets, whatever the number of lines.
    if (delta > 0) {
      std::copy(rows.begin(), rows.begin() + oldRows, at);
      FRowLengths.insert(at + oldRows, rows.begin() + oldRows, rows.end());
    } else {
      std::copy(rows.begin(), rows.end(), at);
      FRowLengths.erase(at + rows.size(), at + oldRows);
    }
    for (int32_t i = AIndex + ACount; i < FLineCount; ++i) FLineOffsets[i] += delta;
  }
  std::copy(offsets.begin(), offsets.end(), FLineOffsets.begin() + AIndex);
  return delta;
}

int32_t TRidWordWrapPlugin::LinesInserted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex <= FLineCount);
  // New lines start with no rows, then take theirs in one rewrap.
  FLineOffsets.insert(FLineOffsets.begin() + AIndex, ACount, RowsBefore(AIndex));
  FLineCount += ACount;
  return ReWrapLines(AIndex, ACount);
}

int32_t TRidWordWrapPlugin::LinesDeleted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex + ACount <= FLineCount);
  const int32_t first = RowsBefore(AIndex);
  const int32_t removed = FLineOffsets[AIndex + ACount - 1] - first;
  FRowLengths.erase(FRowLengths.begin() + first, FRowLengths.begin() + first + removed);
  FLineOffsets.erase(FLineOffsets.begin() + AIndex, FLineOffsets.begin() + AIndex + ACount);
  FLineCount -= ACount;
  for (int32_t i = AIndex; i < FLineCount; ++i) FLineOffsets[i] -= removed;
  return removed;
}

int32_t TRidWordWrapPlugin::LinesPutted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex + ACount <= FLineCount);
  return ReWrapLines(AIndex, ACount);
}

int32_t TRidWordWrapPlugin::RowCount() { return FLineCount > 0 ? FLineOffsets[FLineCount - 1] : 0; }

int32_t TRidWordWrapPlugin::GetRowLength(int32_t ARow) {
  if (ARow < 1 || ARow > RowCount()) throw EListError(FormatStr(SRidListIndexError, ARow));
  return FRowLengths[ARow - 1];
}

TDisplayCoord TRidWordWrapPlugin::BufferToDisplayPos(const TBufferCoord& APos) {
  RID_ASSERT(APos.Char >= 1);
  RID_ASSERT(APos.Line >= 1);
  if (APos.Line > FLineCount) return {APos.Char, RowCount() + (APos.Line - FLineCount)};
  const int32_t first = RowsBefore(APos.Line - 1);
  const int32_t last = FLineOffsets[APos.Line - 1] - 1;  // 0-based rows of the line
  int32_t sum = 0;
  for (int32_t r = first; r <= last; ++r) {
    int32_t before = sum;
    sum += FRowLengths[r];
    if (sum >= APos.Char) return {APos.Char - before, r + 1};
  }
  return {FRowLengths[last] + (APos.Char - sum), last + 1};
}

TBufferCoord TRidWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord& APos) {
  RID_ASSERT(APos.Column >= 1);
  RID_ASSERT(APos.Row >= 1);
  const int32_t rows = RowCount();
  if (APos.Row > rows) return {APos.Column, APos.Row - rows + FLineCount};
  auto it = std::lower_bound(FLineOffsets.begin(), FLineOffsets.begin() + FLineCount, APos.Row);
  const int32_t line = static_cast<int32_t>(it - FLineOffsets.begin());
  const int32_t first = RowsBefore(line);
  const int32_t row = APos.Row - 1;  // 0-based
  int32_t column = APos.Column;
  if (APos.Row < FLineOffsets[line])
    column = std::min(column, FRowLengths[row] + 1);
  else
    column = std::min(column, FMaxRowLength + 1);
  int32_t before = 0;
  for (int32_t r = first; r < row; ++r) before += FRowLengths[r];
  return {column + before, line + 1};
}

}  // namespace rid
