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
// one whole character. Keeps the cumulative row count per line and the length of every row and
// updates both incrementally.
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
  // The tables, for inspection: cumulative rows per line and bytes per row.
  const std::vector<int32_t>& LineOffsets() const { return FLineOffsets; }
  const std::vector<uint8_t>& RowLengths() const { return FRowLengths; }

 private:
  void Clear();
  void WrapLines();
  // Appends the rows of one expanded line to ARows.
  void WrapLine(const std::string& ALine, std::vector<uint8_t>& ARows) const;
  // Rewraps lines AIndex .. AIndex + ACount - 1 in place; returns the change in rows.
  int32_t ReWrapLines(int32_t AIndex, int32_t ACount);
  int32_t RowsBefore(int32_t ALine) const { return ALine > 0 ? FLineOffsets[ALine - 1] : 0; }

  IRidWordWrapEditor* FEditor;  // not owned: the editor owns the plugin
  std::vector<int32_t> FLineOffsets;
  std::vector<uint8_t> FRowLengths;
  int32_t FLineCount = 0;
  uint8_t FMaxRowLength = 0;
  uint8_t FMinRowLength = 0;
  TRidCharSet FBreakChars;
};

}  // namespace rid
