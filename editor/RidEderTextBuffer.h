#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderMiscProcs.h"
#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

// One line, 16 bytes: files have millions. A loaded line is its start and length in the block
// of the file's bytes shared by all the lines loaded with it. A line that owns its text (after
// an edit), carries an object or has a range wider than 28 bits keeps the text's address, the
// object and the range in the list's extras (few lines have one), and FStart is then the
// extra's index. The expanded length is the cached display length after tab expansion (-1 until
// measured; FHasTabs is known with it). Records are plain data, so the gap moves them as bytes;
// the list frees what a record owns.
struct TRidEderStringRec {
  static constexpr int kRangeBits = 28;
  uint32_t FStart = 0;  // offset into the loaded block; the extra's index with FHasExtra
  uint32_t FLength : 31 = 0;
  uint32_t FHasExtra : 1 = 0;
  int32_t FExpandedLength = -1;
  int32_t FRange : kRangeBits = static_cast<int32_t>(RidRangeUnscanned);  // unused with an extra
  // The break that followed the line when it was loaded (an lbs value); used for files with
  // mixed breaks, so that they save back as they were.
  uint32_t FBreak : 2 = 0;
  uint32_t FHasTabs : 1 = 0;
  uint32_t FOwnText : 1 = 0;  // the extra's text is the line's own, not in the loaded block
};

using TLinesChangeEvent = Delegate<void(TObject* Sender, int32_t Index, int32_t Count)>;
// Answers GetRange for the owner that finds ranges on demand.
using TRangeNeededEvent = Delegate<TRidRange(TObject* Sender, int32_t Index)>;

class ERidEderStringList : public Exception {
 public:
  using Exception::Exception;
};

// Line-break styles of LineBreakStyle.
constexpr uint8_t lbsCRLF = 0;
constexpr uint8_t lbsLF = 1;
constexpr uint8_t lbsCR = 2;

// The bytes of a line break of a style: CR LF for lbsCRLF and any value that is no style.
std::string_view LineBreakText(uint8_t Style);

// A buffered byte writer: the block of bytes not yet written and the line-break style of the
// lines written; Flush (nothing here) empties the block.
class TRidEderFiler : public TObject {
 public:
  RID_CLASS_NAME(TRidEderFiler)
  static constexpr size_t kBufferSize = 16384;
  TRidEderFiler();
  virtual void Flush() {}
  uint8_t GetLineBreakStyle() const { return FLineBreakStyle; }
  void SetLineBreakStyle(uint8_t Value) { FLineBreakStyle = Value; }

 protected:
  std::unique_ptr<char[]> FBuffer;
  size_t FBufPos = 0;
  uint8_t FLineBreakStyle = lbsLF;
};

// Writes to a stream in blocks of 16 KiB; bytes longer than a block go to the stream as they
// are, never copied. Write, WriteLine and Flush raise the stream's errors; the destructor
// flushes what is left but keeps an error to itself, so a save calls Flush when it is done.
class TRidEderFileWriter : public TRidEderFiler {
 public:
  RID_CLASS_NAME(TRidEderFileWriter)
  explicit TRidEderFileWriter(TStream& AStream) : FStream(AStream) {}
  ~TRidEderFileWriter() override;
  TRidEderFileWriter(const TRidEderFileWriter&) = delete;
  TRidEderFileWriter& operator=(const TRidEderFileWriter&) = delete;

  void Flush() override;
  void Write(std::string_view Bytes);
  // Bytes and the line break of the style: CR LF (lbsCRLF), LF (lbsLF) or CR (lbsCR).
  void WriteLine(std::string_view Bytes);

 private:
  TStream& FStream;  // not owned
};

// The lines of one editor. Every mutator brackets itself with BeginUpdate / EndUpdate, so
// OnChanging and OnChange fire around each change unless the caller holds an outer bracket.
class TRidEderStringList : public TStrings {
 public:
  RID_CLASS_NAME(TRidEderStringList)
  TRidEderStringList();
  ~TRidEderStringList() override;

  std::string Get(int32_t Index) const override;
  // The line's bytes without a copy; empty outside. Valid until the line changes.
  std::string_view GetView(int32_t Index) const;
  int32_t GetCapacity() const override { return static_cast<int32_t>(FRecs.size()); }
  int32_t GetCount() const override { return static_cast<int32_t>(FRecs.size() - FGapLen); }
  TObject* GetObject(int32_t Index) const override;
  // All lines joined with CR LF, without a break after the last, whatever LineBreakStyle is.
  std::string GetTextStr() const override;
  void Put(int32_t Index, const std::string& S) override;
  void PutObject(int32_t Index, TObject* AObject) override;
  void SetCapacity(int32_t NewCapacity) override;
  void SetUpdateState(bool Updating) override;

  int32_t Add(const std::string& S) override;
  void AddStrings(TStrings* Strings) override;
  void Clear() override;
  void Delete(int32_t Index) override;
  void Exchange(int32_t Index1, int32_t Index2) override;
  void Insert(int32_t Index, const std::string& S) override;
  // Reads a regular file only (LoadBytesFromFile): a pipe or a device raises EFOpenError.
  void LoadFromFile(const std::string& FileName) override;
  void LoadFromStream(TStream* Stream) override;
  // Replaces the file atomically: on failure (a read-only file included) the old file stays
  // and the error propagates.
  void SaveToFile(const std::string& FileName) override;
  // Each line with its break (the last one's as FinalLineBreak says), through a
  // TRidEderFileWriter: no copy of the text is made.
  void SaveToStream(TStream* Stream) override;

  // Splits Data into lines as a file load does and replaces the list with them.
  void LoadFromBytes(std::string_view Data);
  // The same, keeping Data itself as the lines' storage instead of a copy of it.
  void AdoptBytes(std::string&& Data);
  // The same for data that arrives in pieces (lines and breaks may span pieces).
  void LoadFromPieces(const std::vector<std::string_view>& Pieces);
  // The bytes SaveToStream and SaveToFile write, in one string of their size.
  std::string SaveToBytes() const;

  void InsertLines(int32_t Index, int32_t NumLines);
  // Deletes up to NumLines lines from Index; OnLinesDeleted reports the number deleted and
  // does not fire when nothing was.
  void DeleteLines(int32_t Index, int32_t NumLines);

  // With OnRangeNeeded assigned, the range comes from it (the owner scans on demand).
  TRidRange GetRange(int32_t Index) const;
  void PutRange(int32_t Index, TRidRange ARange);
  // The range as stored, and storing one without change events: for the owner's scans, which
  // change no text.
  TRidRange GetStoredRange(int32_t Index) const;
  void StoreRange(int32_t Index, TRidRange ARange);
  std::string GetExpandedString(int32_t Index);
  int32_t GetExpandedStringLength(int32_t Index);
  // Whether line Index holds a tab (without one a byte is a display column); cached per line.
  bool HasTabs(int32_t Index);
  int32_t GetLengthOfLongestLine();

  int32_t GetTabWidth() const { return FTabWidth; }
  // Clamped to 1..256.
  void SetTabWidth(int32_t Value);
  TConvertTabsProcEx GetConvertTabsProc() const { return FConvertTabsProc; }

  // 0 (CR LF) also for loaded text with mixed breaks, which then saves each line with the break
  // it had until a style is set.
  uint8_t GetLineBreakStyle() const { return FLineBreakStyle; }
  void SetLineBreakStyle(uint8_t Value) {
    FLineBreakStyle = Value;
    FMixedBreaks = false;
  }
  bool GetMixedLineBreaks() const { return FMixedBreaks; }
  // The break a line of a file with mixed breaks saves with (an lbs value); editing keeps it
  // with the text it followed, so that undo can put every break back.
  uint8_t GetLineBreak(int32_t Index) const;
  void SetLineBreak(int32_t Index, uint8_t Value);
  bool GetFinalLineBreak() const { return FFinalLineBreak; }
  void SetFinalLineBreak(bool Value) { FFinalLineBreak = Value; }

  TNotifyEvent OnChange;
  TNotifyEvent OnChanging;
  TNotifyEvent OnListCleared;
  TLinesChangeEvent OnLinesDeleted;
  TLinesChangeEvent OnLinesInserted;
  TLinesChangeEvent OnLinesReplaced;
  TRangeNeededEvent OnRangeNeeded;

 protected:
  [[noreturn]] void ListIndexOutOfBounds(int32_t Index) const;
  void InsertItem(int32_t Index, std::string S);

 private:
  // What a record carries beside it: see TRidEderStringRec.
  struct TLineExtra {
    const char* FText = nullptr;  // the line's own bytes, or its place in the loaded block
    TObject* FObject = nullptr;
    TRidRange FRange = RidRangeUnscanned;
  };
  void BeginLoad(size_t ExpectedLines);
  void LoadBlock(std::unique_ptr<std::string> Block);
  void SplitBlock(const char* p, const char* End);
  // Tab: whether the line holds a tab (without one its display length is its length).
  void AddLoadedLine(const char* p, const char* End, uint8_t Break, bool Tab);
  // Records live in one array with a gap of free records at the last edit, so that lines
  // typed near each other move few records.
  size_t Phys(int32_t Index) const {
    return static_cast<size_t>(Index) < FGap ? Index : Index + FGapLen;
  }
  TRidEderStringRec& Rec(int32_t Index) { return FRecs[Phys(Index)]; }
  const TRidEderStringRec& Rec(int32_t Index) const { return FRecs[Phys(Index)]; }
  // Record contents: the text (copied into storage of the record's own) and what lives beside.
  std::string_view ViewOf(const TRidEderStringRec& r) const {
    if (r.FLength == 0) return {};
    return {r.FHasExtra ? FExtras[r.FStart].FText : FBlock->data() + r.FStart, r.FLength};
  }
  void SetLineText(TRidEderStringRec& r, std::string_view S);
  void FreeOwnText(const TRidEderStringRec& r);
  TLineExtra& ExtraOf(TRidEderStringRec& r);
  void FreeRecord(TRidEderStringRec& r);
  void FreeAll();
  void MoveGap(size_t To);
  void Rebuild(size_t Slots);
  // Makes room for NumLines records at Index; the caller fills FRecs[FGap .. FGap+NumLines).
  void OpenGap(int32_t Index, size_t NumLines);
  void CloseGap(size_t NumLines) {
    FGap += NumLines;
    FGapLen -= NumLines;
  }
  void EraseRecords(int32_t Index, size_t NumLines);
  std::string_view BreakOf(const TRidEderStringRec& r) const;
  size_t SavedSize() const;
  void SaveInto(char* Dest) const;
  int32_t ExpandLine(int32_t Index, std::string* Expanded);
  // The length counts follow each line that arrives, changes or goes, while they are kept.
  void CountLength(int32_t Length, int32_t Delta);
  void CountLine(int32_t Index);
  void UncountRecord(const TRidEderStringRec& r);
  void ForgetLengths();
  void FireInserted(int32_t Index, int32_t Count) {
    if (OnLinesInserted) OnLinesInserted(this, Index, Count);
  }

  std::vector<TRidEderStringRec> FRecs;
  std::unique_ptr<std::string> FBlock;  // the loaded text, which the records point into
  std::vector<TLineExtra> FExtras;
  std::vector<uint32_t> FFreeExtras;  // indexes of FExtras no record uses
  size_t FGap = 0;                    // logical index where the free records sit
  size_t FGapLen = 0;                 // number of free records
  uint8_t FLineBreakStyle = lbsCRLF;
  bool FFinalLineBreak = false;
  bool FMixedBreaks = false;
  TConvertTabsProcEx FConvertTabsProc;
  // How many lines have each expanded length, kept from the first GetLengthOfLongestLine on
  // (every line's length is then known): the longest line without a walk of the file, also when
  // the longest one shrinks or goes. Lengths below kDenseLengths are counted in a table, whose
  // highest used entry is at most FShortTop; the few longer ones in a map.
  static constexpr int32_t kDenseLengths = 1 << 16;
  std::vector<int32_t> FShortCounts;
  int32_t FShortTop = 0;
  std::map<int32_t, int32_t> FLongCounts;
  bool FLengthsCounted = false;
  int32_t FTabWidth = 8;
};

// Reasons recorded with each undo item.
enum TRidChangeReason : uint8_t {
  urInsert = 0,
  urInsertText = 1,
  urDragDropInsert = 2,
  urDeleteCaretStart = 3,
  urDeleteCaretEnd = 4,
  urLineBreak = 5,
  urIndent = 6,
  urUnindent = 7,
  urDeleteBefore = 8,
  urDeleteAfter = 9,
  urPasteBegin = 12,
  urPasteEnd = 13,
  urCaret = 18,
  urSelection = 19,
  urNothing = 20,
  urGroupBreak = 21,
  urLineEdits = 22,  // hits replaced in many lines at once: the item's FLineEdits
};

// Hits replaced in many lines at once, as a replace-all does them, kept in a few flat arrays so
// that millions of hits cost a few allocations: for each changed line its hits, each with its
// byte offset in the line before and its old and new bytes. Undo rebuilds each line from the
// text after, redo from the text before, in one pass a line. A new text may hold line breaks:
// its line then becomes several rows, the breaks of the kinds the text has.
class TRidLineEdits {
 public:
  struct THit {
    int32_t Pos;  // 0-based byte offset in the line before
    int32_t OldLen;
    int32_t NewLen;
  };
  // A line's rows after its edits: their bytes back to back, where each ends in Text, the kind
  // (an lbs value) of the break after each but the last, and where the caret goes when the line
  // holds the caret's hit (CaretRow -1 otherwise).
  struct TRows {
    std::string Text;
    std::vector<size_t> Ends;
    std::string Breaks;
    int32_t CaretRow = -1;
    int32_t CaretCol = 0;  // 0-based
    // For each hit whose new text holds breaks: the row it starts in, whether it starts inside
    // that row (past its first byte), whether it started inside the line before, and how many
    // rows it adds.
    struct TAdded {
      int32_t Row;
      bool Inside;
      bool InsideBefore;
      int32_t Count;
    };
    std::vector<TAdded> Added;
    std::string_view Row(size_t R) const {
      const size_t from = R == 0 ? 0 : Ends[R - 1];
      return std::string_view(Text).substr(from, Ends[R] - from);
    }
  };
  // One changed line: its index in the text before, its hits and their bytes.
  struct TLine {
    int32_t Index;
    std::span<const THit> Hits;
    const char* Bytes;  // each hit's old bytes, then its new bytes, in order
    bool HasCaret;
    size_t CaretHit;  // within Hits, when HasCaret
    // The rows after, from the line before.
    void After(std::string_view Before, TRows& Out) const;
    // The line before, from the rows after joined by their breaks.
    void Before(std::string_view After, std::string& Out) const;
    // The kinds of the breaks the new texts put between the rows after, in order.
    std::string BreakKinds() const;
  };

  // Building, in the order of a walk (top down or bottom up), each line's hits in that order
  // too. The caret goes to the end of the new text of the hit added last.
  void BeginLine(int32_t Index);
  void AddHit(int32_t Pos, std::string_view Old, std::string_view New);
  // After a walk bottom up: lines and hits top down.
  void Reverse();
  // Whether the walk went bottom up (each hit replaced while the text before it was unchanged).
  bool WalkedUp() const { return FWalkedUp; }

  bool Empty() const { return FHits.empty(); }
  size_t HitCount() const { return FHits.size(); }
  // Fn(const TLine&) for each line, top down.
  template <typename F>
  void ForEachLine(F&& Fn) const {
    size_t hit = 0, byte = 0;
    for (const TLineHits& l : FLines) {
      const std::span<const THit> hits(FHits.data() + hit, static_cast<size_t>(l.Hits));
      const bool caret = FCaretHit >= hit && FCaretHit < hit + hits.size();
      Fn(TLine{l.Index, hits, FBytes.data() + byte, caret, caret ? FCaretHit - hit : 0});
      for (const THit& h : hits) byte += static_cast<size_t>(h.OldLen) + h.NewLen;
      hit += hits.size();
    }
  }

 private:
  struct TLineHits {
    int32_t Index;
    int32_t Hits;
  };
  std::vector<TLineHits> FLines;
  std::vector<THit> FHits;
  std::string FBytes;
  size_t FCaretHit = 0;
  bool FWalkedUp = false;
};

// The first line break in S from From on: its offset (npos when there is none), its length and
// its kind (CR LF, LF or a lone CR).
size_t FindLineBreak(std::string_view S, size_t From, size_t& Length, uint8_t& Kind);

class TRidEderUndoItem : public TPersistent {
 public:
  RID_CLASS_NAME(TRidEderUndoItem)
  void Assign(TPersistent* Source) override;

  TRidChangeReason FChangeReason = urNothing;
  TRidSelectionMode FChangeSelMode = smNormal;
  TBufferCoord FChangeStartPos;
  TBufferCoord FChangeEndPos;
  std::string FChangeStr;
  int32_t FChangeNumber = 0;
  // In a file with mixed breaks, the kind (an lbs value) of each break of FChangeStr, in order
  // (the text itself joins lines with CR LF), or of the break a line-break item makes; empty
  // otherwise. For a column deletion or unindent, how far each row started right of the block's
  // column (0 or 1), or empty when every row started at it.
  std::string FChangeBreaks;
  // Blanks the edit under it in its group trimmed from a line's end (see AddTrim).
  bool FTrimmed = false;
  // What an urLineEdits item replaced; undo and redo pass it on unchanged.
  std::shared_ptr<const TRidLineEdits> FLineEdits;

  TRidChangeReason GetChangeReason() const { return FChangeReason; }
  TRidSelectionMode GetChangeSelMode() const { return FChangeSelMode; }
  TBufferCoord GetChangeStartPos() const { return FChangeStartPos; }
  TBufferCoord GetChangeEndPos() const { return FChangeEndPos; }
  const std::string& GetChangeStr() const { return FChangeStr; }
  int32_t GetChangeNumber() const { return FChangeNumber; }
};

// The stack of recorded changes, oldest first. Beyond MaxUndoActions items, whole steps (all that
// one undo takes back: a change group, or under grouping a run of lone changes) are dropped,
// oldest first, but never the step being recorded, however long it grows: an undo never reverts
// part of a change, and a typing run undoes whole. FullUndoImpossible tells that something was
// dropped. The save point is the change number of the newest item when the text was saved; an
// emptied list stands for the newest group dropped, so undoing everything that is left reaches a
// save point that was dropped.
class TRidEderUndoList : public TPersistent {
 public:
  RID_CLASS_NAME(TRidEderUndoList)
  TRidEderUndoList();
  ~TRidEderUndoList() override;

  // Breaks: the item's FChangeBreaks, there before the item is pushed and the limit applied.
  void AddChange(TRidChangeReason AReason, const TBufferCoord& AStart, const TBufferCoord& AEnd,
                 const std::string& ChangeText, TRidSelectionMode SelMode,
                 const std::string& Breaks = {});
  // The blanks an edit trimmed from a line's end, in the edit's group: under grouping the edit
  // still joins a run of its reason, and is joined, as if it were alone.
  void AddTrim(const TBufferCoord& AStart, const TBufferCoord& AEnd, const std::string& Blanks);
  // An urLineEdits item; AStart and AEnd are the range undo selects.
  void AddLineEdits(std::shared_ptr<const TRidLineEdits> Edits, const TBufferCoord& AStart,
                    const TBufferCoord& AEnd);
  void PushItem(std::unique_ptr<TRidEderUndoItem> Item);
  // The newest item, taken off the list (null when empty).
  std::unique_ptr<TRidEderUndoItem> PopItem();
  TRidEderUndoItem* PeekItem() const;
  void BeginBlock();
  void EndBlock();
  void AddGroupBreak();
  TRidChangeReason LastChangeReason() const;
  bool CanUndo() const { return !FItems.empty(); }
  int32_t ItemCount() const { return static_cast<int32_t>(FItems.size()); }
  TRidEderUndoItem* GetItem(int32_t Index) const { return FItems.at(Index).get(); }
  void Clear();
  void Lock() { ++FLockCount; }
  void Unlock() {
    if (FLockCount > 0) --FLockCount;
  }
  bool IsLocked() const { return FLockCount > 0; }
  void MarkSavePoint(bool Unmodified);
  bool IsAtSavePoint() const;
  void Assign(TPersistent* Source) override;

  int32_t GetMaxUndoActions() const { return FMaxUndoActions; }
  void SetMaxUndoActions(int32_t Value);
  bool GetFullUndoImpossible() const { return FFullUndoImpossible; }
  // Grouping (the editor's eoGroupUndo): changes recorded alone (typed characters, Delete or
  // Backspace key by key) of one reason undo in one step.
  bool GetGroupUndo() const { return FGroupUndo; }
  void SetGroupUndo(bool Value) {
    FGroupUndo = Value;
    FStepBegin = -1;
  }
  // The index of the oldest item of the step that one undo takes back from the top (a group
  // break on top goes with the step under it).
  int32_t NewestStepBegin() const;
  bool GetInsideUndo() const { return FInsideUndo; }
  void SetInsideUndo(bool Value) { FInsideUndo = Value; }
  int32_t GetBlockChangeNumber() const { return FBlockChangeNumber; }
  int32_t GetBlockCount() const { return FBlockCount; }

  TNotifyEvent OnAddedUndo;

 private:
  void EnsureMaxEntries();
  bool HasOlderSteps();
  void DropOldestStep();
  void DropFront(size_t Count);
  size_t GroupBegin(size_t Index) const;
  bool JoinsBelow(size_t Index) const;
  size_t WithoutTrims(size_t Index) const;
  void AdvanceChangeNumber();
  std::unique_ptr<TRidEderUndoItem> NewItem(TRidChangeReason AReason, const TBufferCoord& AStart,
                                            const TBufferCoord& AEnd, const std::string& ChangeText,
                                            TRidSelectionMode SelMode);

  int32_t FBlockChangeNumber = 0;
  int32_t FBlockCount = 0;
  bool FFullUndoImpossible = false;
  std::deque<std::unique_ptr<TRidEderUndoItem>> FItems;
  int32_t FLockCount = 0;
  int32_t FMaxUndoActions = 1024;
  int32_t FNextChangeNumber = 1;
  int32_t FSavePoint = 0;
  // What an emptied list stands for: the change number of the newest group dropped over the
  // limit, 0 when none was.
  int32_t FDroppedNumber = 0;
  // Where the step being recorded begins, and where the change group on top begins; -1 when not
  // known. Kept up as items are pushed, so that trimming does not walk a long typing run or a
  // large group at every push.
  int32_t FStepBegin = -1;
  int32_t FGroupBegin = -1;
  bool FGroupUndo = false;
  bool FInsideUndo = false;
};

}  // namespace rid
