#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "editor/RidEderTypes.h"
#include "platform/Classes.h"

namespace rid {

// What the wrap engine reads from its editor. The editor control implements it; tests and
// tools implement it over a plain line buffer.
//   - GetLineCount / GetExpandedString: the lines, 0-based, with tabs expanded as the line
//     buffer expands them (a tab becomes a run of tab bytes), so a byte is a display column and
//     a double-byte character two.
//   - GetCharsInWindow: the window width in whole characters (never negative).
//   - GetIdentChars: the identifier characters of the editor's highlighter (bytes 33-255 without
//     one); every other byte is a break byte that may begin a row.
// The editor tells the engine of changes by calling LinesInserted / LinesDeleted / LinesPutted
// after its line buffer changed, DisplayChanged after a size or font change and Reset after a
// tab-width or highlighter change.
class IRidWordWrapEditor {
 public:
  virtual ~IRidWordWrapEditor() = default;
  virtual int32_t GetLineCount() = 0;
  virtual std::string GetExpandedString(int32_t Index) = 0;
  virtual int32_t GetCharsInWindow() = 0;
  virtual TRidCharSet GetIdentChars() = 0;
};

// Maps buffer positions to display rows. Line indexes are 0-based, positions 1-based.
class IWordWrapMapper {
 public:
  virtual ~IWordWrapMapper() = default;
  virtual TDisplayCoord BufferToDisplayPos(const TBufferCoord& APos) = 0;
  virtual TBufferCoord DisplayToBufferPos(const TDisplayCoord& APos) = 0;
  virtual int32_t RowCount() = 0;
  // Row 1 .. RowCount, else EListError with the list-index message.
  virtual int32_t GetRowLength(int32_t ARow) = 0;
  // Each returns the change in rows (rows added, rows removed, net change).
  virtual int32_t LinesInserted(int32_t AIndex, int32_t ACount) = 0;
  virtual int32_t LinesDeleted(int32_t AIndex, int32_t ACount) = 0;
  virtual int32_t LinesPutted(int32_t AIndex, int32_t ACount) = 0;
  virtual void DisplayChanged() = 0;
  virtual void Reset() = 0;
};

// Wraps every line at the window width: a row ends before a break byte found in the last third
// of the row, else at the full width, never inside a double-byte character, and takes at least
// one whole character. Keeps the rows in blocks of consecutive lines, each with its lines' row
// ends and its row lengths, and sums over the blocks in two Fenwick trees: an edit rewrites one
// block and updates the sums in O(log blocks), whatever the size of the file.
class TRidWordWrapPlugin : public IWordWrapMapper {
 public:
  // A null editor raises Exception "Owner of TRidWordWrapPlugin must be a TCustomRidEder".
  explicit TRidWordWrapPlugin(IRidWordWrapEditor* AOwner);
  ~TRidWordWrapPlugin() override;

  TDisplayCoord BufferToDisplayPos(const TBufferCoord& APos) override;
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& APos) override;
  int32_t RowCount() override;
  int32_t GetRowLength(int32_t ARow) override;
  int32_t LinesInserted(int32_t AIndex, int32_t ACount) override;
  int32_t LinesDeleted(int32_t AIndex, int32_t ACount) override;
  int32_t LinesPutted(int32_t AIndex, int32_t ACount) override;
  void DisplayChanged() override;
  void Reset() override;

  uint8_t GetMaxRowLength() const { return FMaxRowLength; }
  uint8_t GetMinRowLength() const { return FMinRowLength; }
  int32_t GetLineCount() const { return FLineCount; }
  // The tables, for inspection: cumulative rows per line and bytes per row. Gathered from the
  // blocks on demand and kept until the next change.
  const std::vector<int32_t>& LineOffsets() const;
  const std::vector<uint8_t>& RowLengths() const;
  // Lines per block, for inspection.
  std::vector<int32_t> BlockLineCounts() const;

 private:
  struct TRowBlock {
    std::vector<int32_t> Ends;  // rows from the block start to the end of each line
    std::vector<uint8_t> Rows;  // bytes per row
    int32_t LineCount() const { return static_cast<int32_t>(Ends.size()); }
    int32_t RowCount() const { return Ends.empty() ? 0 : Ends.back(); }
  };
  // Prefix sums over the blocks; every entry is positive.
  class TBlockSums {
   public:
    void Build(const std::vector<TRowBlock>& ABlocks, bool ARows);
    void Add(int32_t AIndex, int32_t ADelta);
    // The sum of entries 0 .. AIndex - 1.
    int32_t Before(int32_t AIndex) const;
    // The entry holding unit AAt (0-based, below the total) and the sum before it.
    int32_t Find(int32_t AAt, int32_t& ABefore) const;

   private:
    std::vector<int32_t> FTree;  // 1-based Fenwick tree
    int32_t FTop = 0;            // highest power of two not above the entry count
  };

  void Clear();
  void Changed();
  void WrapLines();
  // Appends the rows of one expanded line to ARows.
  void WrapLine(const std::string& ALine, std::vector<uint8_t>& ARows) const;
  // The block holding line ALine and the line's index in it; ALine == FLineCount gives the end
  // of the last block.
  int32_t FindLine(int32_t ALine, int32_t& ALocal) const;
  // Rewraps lines ALocal .. ALocal + ACount - 1 of block ABlock, whose first line is buffer line
  // AFirstLine, in place; returns the change in rows.
  int32_t ReWrapLines(int32_t ABlock, int32_t AFirstLine, int32_t ALocal, int32_t ACount);
  // Splits a block grown too large, or merges a small one into a neighbour; returns whether the
  // blocks changed.
  bool Balance(int32_t ABlock);
  void RebuildSums();

  IRidWordWrapEditor* FEditor;  // not owned: the editor owns the plugin
  std::vector<TRowBlock> FBlocks;
  TBlockSums FLineSums;
  TBlockSums FRowSums;
  int32_t FLineCount = 0;
  int32_t FRowCount = 0;
  uint8_t FMaxRowLength = 0;
  uint8_t FMinRowLength = 0;
  TRidCharSet FBreakChars;
  std::vector<uint8_t> FScratch;  // rows of a rewrap, kept for its storage
  mutable std::vector<int32_t> FLineOffsets;
  mutable std::vector<uint8_t> FRowLengths;
  mutable bool FTablesValid = false;
};

}  // namespace rid
