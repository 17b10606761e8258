#include "editor/RidEderWordWrap.h"

#include <algorithm>

#include "editor/RidEderMiscClasses.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// Whether Pos is the second byte of a double-byte character, walking from the row start.
bool IsTrailFrom(const std::string& S, int32_t Start, int32_t Pos) {
  int32_t i = Start;
  while (i < Pos) i += static_cast<int32_t>(SjisCharLength(S, static_cast<size_t>(i)));
  return i > Pos;
}

// Block bounds: a block is split above kMaxLines lines into pieces of at most kHalfLines, or
// above kMaxRows rows unless it holds a single line; one below kMinLines merges into a neighbour
// when the two fit. Small enough that rewriting a block costs about as much as wrapping a line.
constexpr int32_t kHalfLines = 256;
constexpr int32_t kMaxLines = 2 * kHalfLines;
constexpr int32_t kMinLines = kHalfLines / 4;
constexpr int32_t kMaxRows = 8192;

}  // namespace

TRidWordWrapPlugin::TRidWordWrapPlugin(IRidWordWrapEditor* AOwner) : FEditor(AOwner) {
  if (AOwner == nullptr) throw Exception("Owner of TRidWordWrapPlugin must be a TCustomRidEder");
  Reset();
}

TRidWordWrapPlugin::~TRidWordWrapPlugin() = default;

void TRidWordWrapPlugin::TBlockSums::Build(const std::vector<TRowBlock>& ABlocks, bool ARows) {
  const size_t n = ABlocks.size();
  FTree.assign(n + 1, 0);
  for (size_t i = 1; i <= n; ++i) {
    FTree[i] += ARows ? ABlocks[i - 1].RowCount() : ABlocks[i - 1].LineCount();
    const size_t up = i + (i & (~i + 1));
    if (up <= n) FTree[up] += FTree[i];
  }
  FTop = 1;
  while (static_cast<size_t>(FTop) * 2 <= n) FTop *= 2;
}

void TRidWordWrapPlugin::TBlockSums::Add(int32_t AIndex, int32_t ADelta) {
  const int32_t n = static_cast<int32_t>(FTree.size()) - 1;
  for (int32_t i = AIndex + 1; i <= n; i += i & -i) FTree[i] += ADelta;
}

int32_t TRidWordWrapPlugin::TBlockSums::Before(int32_t AIndex) const {
  int32_t sum = 0;
  for (int32_t i = AIndex; i > 0; i -= i & -i) sum += FTree[i];
  return sum;
}

int32_t TRidWordWrapPlugin::TBlockSums::Find(int32_t AAt, int32_t& ABefore) const {
  const int32_t n = static_cast<int32_t>(FTree.size()) - 1;
  int32_t pos = 0;
  int32_t rest = AAt;
  for (int32_t step = FTop; step > 0; step /= 2) {
    if (pos + step <= n && FTree[pos + step] <= rest) {
      pos += step;
      rest -= FTree[pos];
    }
  }
  ABefore = AAt - rest;
  return pos;
}

void TRidWordWrapPlugin::Clear() {
  FBlocks.clear();
  FBlocks.shrink_to_fit();
  FLineCount = 0;
  FRowCount = 0;
  RebuildSums();
  Changed();
}

void TRidWordWrapPlugin::Changed() {
  if (!FTablesValid) return;
  FTablesValid = false;
  std::vector<int32_t>().swap(FLineOffsets);
  std::vector<uint8_t>().swap(FRowLengths);
}

void TRidWordWrapPlugin::RebuildSums() {
  FLineSums.Build(FBlocks, false);
  FRowSums.Build(FBlocks, true);
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
  Changed();
  FBlocks.clear();
  FBlocks.reserve(count / kHalfLines + 1);
  // Rows are appended as they come: no reserve formula bounds them at every width. Each block
  // then takes an exact copy of its rows.
  std::vector<uint8_t>& rows = FScratch;
  rows.clear();
  TRowBlock block;
  block.Ends.reserve(std::min(count, kHalfLines));
  for (int32_t i = 0; i < count; ++i) {
    const size_t before = rows.size();
    WrapLine(FEditor->GetExpandedString(i), rows);
    if (!block.Ends.empty() && (block.LineCount() == kHalfLines || rows.size() > kMaxRows)) {
      block.Rows.assign(rows.begin(), rows.begin() + before);
      FBlocks.push_back(std::move(block));
      block = TRowBlock();
      block.Ends.reserve(std::min(count - i, kHalfLines));
      rows.erase(rows.begin(), rows.begin() + before);
    }
    block.Ends.push_back(static_cast<int32_t>(rows.size()));
  }
  block.Rows.assign(rows.begin(), rows.end());
  FBlocks.push_back(std::move(block));
  FLineCount = count;
  FRowCount = 0;
  for (const TRowBlock& b : FBlocks) FRowCount += b.RowCount();
  RebuildSums();
}

int32_t TRidWordWrapPlugin::FindLine(int32_t ALine, int32_t& ALocal) const {
  if (ALine >= FLineCount) {
    const int32_t last = static_cast<int32_t>(FBlocks.size()) - 1;
    ALocal = FBlocks[last].LineCount() - (ALine - FLineCount);
    return last;
  }
  int32_t before;
  const int32_t b = FLineSums.Find(ALine, before);
  ALocal = ALine - before;
  return b;
}

int32_t TRidWordWrapPlugin::ReWrapLines(int32_t ABlock, int32_t AFirstLine, int32_t ALocal,
                                        int32_t ACount) {
  TRowBlock& block = FBlocks[ABlock];
  std::vector<uint8_t>& rows = FScratch;
  rows.clear();
  const int32_t first = ALocal > 0 ? block.Ends[ALocal - 1] : 0;
  const int32_t oldRows = block.Ends[ALocal + ACount - 1] - first;
  for (int32_t i = 0; i < ACount; ++i) {
    WrapLine(FEditor->GetExpandedString(AFirstLine + i), rows);
    block.Ends[ALocal + i] = first + static_cast<int32_t>(rows.size());
  }
  const int32_t delta = static_cast<int32_t>(rows.size()) - oldRows;
  auto at = block.Rows.begin() + first;
  if (delta == 0) {
    std::copy(rows.begin(), rows.end(), at);
  } else {
    if (delta > 0) {
      std::copy(rows.begin(), rows.begin() + oldRows, at);
      block.Rows.insert(at + oldRows, rows.begin() + oldRows, rows.end());
    } else {
      std::copy(rows.begin(), rows.end(), at);
      block.Rows.erase(at + rows.size(), at + oldRows);
    }
    for (int32_t i = ALocal + ACount; i < block.LineCount(); ++i) block.Ends[i] += delta;
    FRowSums.Add(ABlock, delta);
    FRowCount += delta;
  }
  return delta;
}

bool TRidWordWrapPlugin::Balance(int32_t ABlock) {
  TRowBlock& block = FBlocks[ABlock];
  const int32_t lines = block.LineCount();
  if (lines > kMaxLines || (lines > 1 && block.RowCount() > kMaxRows)) {
    // Even pieces of at most kHalfLines lines, each ended early where its rows would pass
    // kMaxRows.
    const int32_t pieces = (lines + kHalfLines - 1) / kHalfLines;
    const int32_t per = (lines + pieces - 1) / pieces;
    std::vector<TRowBlock> split;
    for (int32_t i = 0; i < lines;) {
      const int32_t base = i > 0 ? block.Ends[i - 1] : 0;
      int32_t j = i + 1;
      while (j < lines && j - i < per && block.Ends[j] - base <= kMaxRows) ++j;
      TRowBlock piece;
      piece.Ends.reserve(j - i);
      for (int32_t k = i; k < j; ++k) piece.Ends.push_back(block.Ends[k] - base);
      piece.Rows.assign(block.Rows.begin() + base, block.Rows.begin() + block.Ends[j - 1]);
      split.push_back(std::move(piece));
      i = j;
    }
    FBlocks[ABlock] = std::move(split.front());
    FBlocks.insert(FBlocks.begin() + ABlock + 1, std::make_move_iterator(split.begin() + 1),
                   std::make_move_iterator(split.end()));
    return true;
  }
  if (lines >= kMinLines || FBlocks.size() < 2) return false;
  const int32_t into = ABlock + 1 < static_cast<int32_t>(FBlocks.size()) ? ABlock : ABlock - 1;
  TRowBlock& head = FBlocks[into];
  TRowBlock& tail = FBlocks[into + 1];
  if (head.LineCount() + tail.LineCount() > kMaxLines ||
      head.RowCount() + tail.RowCount() > kMaxRows)
    return false;
  const int32_t base = head.RowCount();
  for (int32_t end : tail.Ends) head.Ends.push_back(base + end);
  head.Rows.insert(head.Rows.end(), tail.Rows.begin(), tail.Rows.end());
  FBlocks.erase(FBlocks.begin() + into + 1);
  return true;
}

int32_t TRidWordWrapPlugin::LinesInserted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex <= FLineCount);
  Changed();
  if (FBlocks.empty()) {
    FBlocks.emplace_back();
    RebuildSums();
  }
  int32_t local;
  const int32_t b = FindLine(AIndex, local);
  // New lines start with no rows, then take theirs in one rewrap.
  TRowBlock& block = FBlocks[b];
  block.Ends.insert(block.Ends.begin() + local, ACount, local > 0 ? block.Ends[local - 1] : 0);
  FLineSums.Add(b, ACount);
  FLineCount += ACount;
  const int32_t delta = ReWrapLines(b, AIndex, local, ACount);
  if (Balance(b)) RebuildSums();
  return delta;
}

int32_t TRidWordWrapPlugin::LinesDeleted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex + ACount <= FLineCount);
  Changed();
  int32_t local;
  const int32_t firstBlock = FindLine(AIndex, local);
  int32_t removed = 0;
  int32_t wholeFrom = -1;  // blocks left empty: a run after the first block touched
  int32_t wholeCount = 0;
  for (int32_t b = firstBlock, rest = ACount; rest > 0; ++b, local = 0) {
    TRowBlock& block = FBlocks[b];
    const int32_t n = std::min(rest, block.LineCount() - local);
    rest -= n;
    if (n == block.LineCount()) {
      if (wholeCount++ == 0) wholeFrom = b;
      removed += block.RowCount();
      continue;
    }
    const int32_t first = local > 0 ? block.Ends[local - 1] : 0;
    const int32_t rows = block.Ends[local + n - 1] - first;
    block.Rows.erase(block.Rows.begin() + first, block.Rows.begin() + first + rows);
    block.Ends.erase(block.Ends.begin() + local, block.Ends.begin() + local + n);
    for (int32_t i = local; i < block.LineCount(); ++i) block.Ends[i] -= rows;
    FLineSums.Add(b, -n);
    FRowSums.Add(b, -rows);
    removed += rows;
  }
  FLineCount -= ACount;
  FRowCount -= removed;
  bool rebuilt = false;
  if (wholeCount > 0) {
    FBlocks.erase(FBlocks.begin() + wholeFrom, FBlocks.begin() + wholeFrom + wholeCount);
    rebuilt = true;
  }
  // The blocks on either side of the cut may now be small.
  const int32_t seam = wholeCount > 0 ? wholeFrom : firstBlock + 1;
  for (int32_t b : {seam, seam - 1})
    if (b >= 0 && b < static_cast<int32_t>(FBlocks.size())) rebuilt = Balance(b) || rebuilt;
  if (rebuilt) RebuildSums();
  return removed;
}

int32_t TRidWordWrapPlugin::LinesPutted(int32_t AIndex, int32_t ACount) {
  if (FMaxRowLength == 0) return 0;
  RID_ASSERT(AIndex >= 0);
  RID_ASSERT(ACount >= 1);
  RID_ASSERT(AIndex + ACount <= FLineCount);
  Changed();
  int32_t local;
  const int32_t firstBlock = FindLine(AIndex, local);
  int32_t delta = 0;
  int32_t b = firstBlock;
  for (int32_t line = AIndex, rest = ACount; rest > 0; ++b, local = 0) {
    const int32_t n = std::min(rest, FBlocks[b].LineCount() - local);
    delta += ReWrapLines(b, line, local, n);
    line += n;
    rest -= n;
  }
  // Backwards, so that a split leaves the blocks still to visit where they were.
  bool rebuilt = false;
  if (delta != 0 || ACount > 1)
    for (int32_t i = b - 1; i >= firstBlock; --i) rebuilt = Balance(i) || rebuilt;
  if (rebuilt) RebuildSums();
  return delta;
}

int32_t TRidWordWrapPlugin::RowCount() { return FRowCount; }

int32_t TRidWordWrapPlugin::GetRowLength(int32_t ARow) {
  if (ARow < 1 || ARow > RowCount()) throw EListError(FormatStr(SRidListIndexError, ARow));
  int32_t before;
  const int32_t b = FRowSums.Find(ARow - 1, before);
  return FBlocks[b].Rows[ARow - 1 - before];
}

TDisplayCoord TRidWordWrapPlugin::BufferToDisplayPos(const TBufferCoord& APos) {
  RID_ASSERT(APos.Char >= 1);
  RID_ASSERT(APos.Line >= 1);
  if (APos.Line > FLineCount) return {APos.Char, RowCount() + (APos.Line - FLineCount)};
  int32_t local;
  const int32_t b = FindLine(APos.Line - 1, local);
  const TRowBlock& block = FBlocks[b];
  const int32_t base = FRowSums.Before(b);
  const int32_t first = local > 0 ? block.Ends[local - 1] : 0;
  const int32_t last = block.Ends[local] - 1;  // the line's rows in the block, 0-based
  int32_t sum = 0;
  for (int32_t r = first; r <= last; ++r) {
    int32_t before = sum;
    sum += block.Rows[r];
    if (sum >= APos.Char) return {APos.Char - before, base + r + 1};
  }
  return {block.Rows[last] + (APos.Char - sum), base + last + 1};
}

TBufferCoord TRidWordWrapPlugin::DisplayToBufferPos(const TDisplayCoord& APos) {
  RID_ASSERT(APos.Column >= 1);
  RID_ASSERT(APos.Row >= 1);
  const int32_t rows = RowCount();
  if (APos.Row > rows) return {APos.Column, APos.Row - rows + FLineCount};
  int32_t base;
  const int32_t b = FRowSums.Find(APos.Row - 1, base);
  const TRowBlock& block = FBlocks[b];
  const int32_t row = APos.Row - 1 - base;  // 0-based in the block
  const int32_t local = static_cast<int32_t>(
      std::upper_bound(block.Ends.begin(), block.Ends.end(), row) - block.Ends.begin());
  const int32_t first = local > 0 ? block.Ends[local - 1] : 0;
  // Past the end of a line's last row a column stays within the window, but never short of
  // the row's own text (a double-byte character wider than a one-column window).
  int32_t column = APos.Column;
  if (row + 1 < block.Ends[local])
    column = std::min(column, block.Rows[row] + 1);
  else
    column = std::min(column, std::max<int32_t>(FMaxRowLength, block.Rows[row]) + 1);
  int32_t before = 0;
  for (int32_t r = first; r < row; ++r) before += block.Rows[r];
  return {column + before, FLineSums.Before(b) + local + 1};
}

const std::vector<int32_t>& TRidWordWrapPlugin::LineOffsets() const {
  RowLengths();
  return FLineOffsets;
}

const std::vector<uint8_t>& TRidWordWrapPlugin::RowLengths() const {
  if (!FTablesValid) {
    FLineOffsets.clear();
    FRowLengths.clear();
    FLineOffsets.reserve(FLineCount);
    FRowLengths.reserve(FRowCount);
    for (const TRowBlock& block : FBlocks) {
      const int32_t base = static_cast<int32_t>(FRowLengths.size());
      for (int32_t end : block.Ends) FLineOffsets.push_back(base + end);
      FRowLengths.insert(FRowLengths.end(), block.Rows.begin(), block.Rows.end());
    }
    FTablesValid = true;
  }
  return FRowLengths;
}

std::vector<int32_t> TRidWordWrapPlugin::BlockLineCounts() const {
  std::vector<int32_t> counts;
  for (const TRowBlock& block : FBlocks) counts.push_back(block.LineCount());
  return counts;
}

}  // namespace rid
