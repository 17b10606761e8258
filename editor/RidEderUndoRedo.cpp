// Replaying recorded changes: one undo or redo step reverts a group of items and records each
// item's counterpart on the opposite list under the step's change number.
#include <algorithm>
#include <vector>

#include "editor/RidEder.h"

namespace rid {

namespace {

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }

// Holds the change number of the step being replayed for the items it records.
struct TReplayNumber {
  TReplayNumber(int32_t& AField, int32_t Value) : Field(AField) { Field = Value; }
  ~TReplayNumber() { Field = 0; }
  int32_t& Field;
};

// Marks the undo list as being filled by a replay for a scope.
struct TInsideUndo {
  explicit TInsideUndo(TRidEderUndoList& AList) : List(AList) { List.SetInsideUndo(true); }
  ~TInsideUndo() { List.SetInsideUndo(false); }
  TRidEderUndoList& List;
};

bool IsInsertReason(TRidChangeReason R) {
  return R == urInsert || R == urInsertText || R == urDragDropInsert;
}

// The items that mark where a paste or a group begins or ends: they hold no selection.
bool IsMarker(TRidChangeReason R) {
  return R == urPasteBegin || R == urPasteEnd || R == urGroupBreak;
}

bool IsDeleteReason(TRidChangeReason R) {
  return R == urDeleteCaretStart || R == urDeleteCaretEnd || R == urDeleteBefore ||
         R == urDeleteAfter;
}

// Records on List with the given change number, so that a replayed step stays one group.
void Record(TRidEderUndoList& List, TRidChangeReason Reason, TBufferCoord Start, TBufferCoord End,
            const std::string& Text, TRidSelectionMode Mode, int32_t Number,
            const std::string& Breaks = {},
            std::shared_ptr<const TRidLineEdits> LineEdits = nullptr) {
  if (List.IsLocked()) return;
  auto item = std::make_unique<TRidEderUndoItem>();
  item->FChangeReason = Reason;
  item->FChangeSelMode = Mode;
  item->FChangeStartPos = Start;
  item->FChangeEndPos = End;
  item->FChangeStr = Text;
  item->FChangeNumber = Number;
  item->FChangeBreaks = Breaks;
  item->FLineEdits = std::move(LineEdits);
  List.PushItem(std::move(item));
}

// Moves a group break on top of From to the top of To.
bool MoveGroupBreak(TRidEderUndoList& From, TRidEderUndoList& To) {
  if (From.LastChangeReason() != urGroupBreak) return false;
  std::unique_ptr<TRidEderUndoItem> item = From.PopItem();
  Record(To, urGroupBreak, {}, {}, {}, smNormal, item->FChangeNumber);
  return true;
}

}  // namespace

// One step: what the undo list counts as its newest step (the change group on top, or with
// grouping the run of lone changes of its reason). Everything it reverts goes on the redo list
// under one number, so that one redo gives back exactly what it took.
void TCustomRidEder::Undo() {
  if (FReadOnly) return;
  MoveGroupBreak(*FUndoList, *FRedoList);
  const TRidEderUndoItem* top = FUndoList->PeekItem();
  if (!top) return;
  TRidPaintLock lock(*this);
  TReplayNumber replay(FReplayNumber, top->FChangeNumber);
  for (int32_t n = FUndoList->ItemCount() - FUndoList->NewestStepBegin(); n > 0; --n) UndoItem();
  UpdateModifiedStatus();
}

// One step: the group of the newest redo item, which one undo put there.
void TCustomRidEder::Redo() {
  if (FReadOnly) return;
  TRidEderUndoItem* top = FRedoList->PeekItem();
  if (!top) return;
  const int32_t first = top->FChangeNumber;
  TRidPaintLock lock(*this);
  TReplayNumber replay(FReplayNumber, first);
  for (;;) {
    RedoItem();
    const TRidEderUndoItem* next = FRedoList->PeekItem();
    if (!next || next->FChangeNumber != first || next->FChangeReason == urGroupBreak) break;
  }
  MoveGroupBreak(*FRedoList, *FUndoList);
  UpdateModifiedStatus();
}

// The steps that only move the caret or the selection, and the paste markers, replay alike in
// both directions; true when Item was one of them, recorded into Into for the way back. The
// markers go both ways so that a paste redone still undoes as a paste. Shown: the mode the
// selection had before the replay took the item's.
bool TCustomRidEder::ReplayPositionStep(const TRidEderUndoItem& Item, TRidEderUndoList& Into,
                                        int32_t Number, TRidSelectionMode Shown) {
  const TBufferCoord start = Item.FChangeStartPos, end = Item.FChangeEndPos;
  switch (Item.FChangeReason) {
    case urCaret:
      Record(Into, urCaret, GetCaretXY(), GetCaretXY(), "", FActiveSelectionMode, Number);
      InternalSetCaretXY(start);
      return true;
    case urSelection:
      // In its own mode: line or column ends past a line's end are no normal selection.
      Record(Into, urSelection, GetBlockBegin(), GetBlockEnd(), "", Shown, Number);
      SetSelectionRaw(start, end, GetCaretXY());
      return true;
    case urIndent:
      SetSelectionRaw(start, end, end);
      Record(Into, urIndent, start, end, Item.FChangeStr, Item.FChangeSelMode, Number);
      return true;
    case urPasteBegin:
    case urPasteEnd:
      Record(Into, Item.FChangeReason, start, end, "", smNormal, Number);
      return true;
    default:
      return false;
  }
}

// Replaces the selection by the item's text, its breaks of the kinds they had, unrecorded.
void TCustomRidEder::PutBack(TRidSelectionMode Mode, const TRidEderUndoItem& Item) {
  TInsertBreaks breaks(*this, Item.FChangeBreaks);
  SetSelTextPrimitiveEx(Mode, Item.FChangeStr, false);
}

void TCustomRidEder::UndoItem() {
  std::unique_ptr<TRidEderUndoItem> item = FUndoList->PopItem();
  if (!item) return;
  const TRidChangeReason reason = item->FChangeReason;
  const TBufferCoord start = item->FChangeStartPos, end = item->FChangeEndPos;
  const TRidSelectionMode mode = item->FChangeSelMode;
  const int32_t number = FReplayNumber ? FReplayNumber : item->FChangeNumber;
  const TRidSelectionMode shown = FActiveSelectionMode;
  // (A marker keeps the mode of the selection an item before it brought back.)
  if (!IsMarker(reason)) FActiveSelectionMode = mode;
  TRidPaintLock lock(*this);
  TTempOption pastEol(*this, eoScrollPastEol, true);
  TTempOption untrimmed(*this, eoTrimTrailingSpaces, false);  // trims replay as items of their own
  // Replays always insert: overwrite mode would eat the lines a replayed item puts back.
  TFlagOn inserting(FInsertMode);
  {
    // Positions are replayed as recorded: an end may fall inside a character that the change
    // itself formed (a lone lead byte meeting the byte after it).
    TFlagOn exact(FExactPositions);
    if (IsInsertReason(reason)) {
      // What an insertion added, padding included, even where a column falls inside a character.
      TFlagOn exactColumns(FExactColumns);
      SetSelectionRaw(start, end, start);
      std::string breaks;
      const std::string inserted = GetSelTextForUndo(breaks);
      PutBack(mode, *item);
      Record(*FRedoList, reason, start, end, inserted, mode, number, breaks);
      InternalSetCaretXY(start);
      FBlockBegin = FBlockEnd = GetCaretXY();
    } else if (IsDeleteReason(reason)) {
      TBufferCoord at = BufferCoordBefore(end, start) ? end : start;
      if (mode == smColumn) at = {std::min(start.Char, end.Char), std::min(start.Line, end.Line)};
      if ((reason == urDeleteCaretStart || reason == urDeleteAfter) &&
          at.Line > FLines->GetCount()) {
        FLines->Add("");
        InternalSetCaretXY({1, FLines->GetCount()});
      }
      SetSelectionRaw(at, at, at);
      PutBack(mode, *item);
      const TBufferCoord to = reason == urDeleteCaretStart || reason == urDeleteAfter ? start : end;
      if (reason == urDeleteBefore || reason == urDeleteAfter) {
        InternalSetCaretXY(to);
        FBlockBegin = FBlockEnd = GetCaretXY();
      } else {
        SetSelectionRaw(start, end, to);
      }
      Record(*FRedoList, reason, start, end, "", mode, number);
      EnsureCursorPosVisible();
    } else if (reason == urLineBreak) {
      InternalSetCaretXY(start);
      std::string line = FLines->Get(start.Line - 1);
      const std::string& text = item->FChangeStr;
      if (Len(line) < start.Char - 1 && LeftSpaces(text) == 0)
        line.append(start.Char - 1 - line.size(), ' ');
      SetLineTrimmed(start.Line - 1, line + text);
      // The joined line ends as the removed one did; redo puts the removed break back.
      const uint8_t removedBreak = FLines->GetLineBreak(start.Line - 1);
      if (end.Line < FLines->GetCount()) {
        FLines->SetLineBreak(start.Line - 1, FLines->GetLineBreak(end.Line));
        FLines->Delete(end.Line);
        DoLinesDeleted(start.Line + 1, 1);
      }
      FBlockBegin = FBlockEnd = GetCaretXY();
      Record(*FRedoList, reason, start, end, "", mode, number,
             std::string(1, static_cast<char>(removedBreak)));
    } else if (ReplayPositionStep(*item, *FRedoList, number, shown)) {
      // only the caret or the selection moved, or a paste marker passed
    } else if (reason == urLineEdits && item->FLineEdits) {
      PutLineEdits(*item->FLineEdits, false);
      SetSelectionRaw(start, end, end);  // the first hit replaced
      Record(*FRedoList, reason, start, end, "", mode, number, {}, item->FLineEdits);
      EnsureCursorPosVisible();
    } else if (reason == urUnindent) {
      const int32_t c = mode == smColumn ? std::min(start.Char, end.Char) : 1;
      {
        TInsertBreaks shifts(*this, item->FChangeBreaks);
        InsertBlock({c, start.Line}, {c, end.Line}, item->FChangeStr, false);
      }
      FActiveSelectionMode = mode;
      SetSelectionRaw(start, end, start);
      Record(*FRedoList, reason, start, end, item->FChangeStr, mode, number, item->FChangeBreaks);
    }
  }
  KeepSelectionOffTrailBytes(false);
}

void TCustomRidEder::RedoItem() {
  std::unique_ptr<TRidEderUndoItem> item = FRedoList->PopItem();
  if (!item) return;
  const TRidChangeReason reason = item->FChangeReason;
  const TBufferCoord start = item->FChangeStartPos, end = item->FChangeEndPos;
  const TRidSelectionMode mode = item->FChangeSelMode;
  const int32_t number = FReplayNumber ? FReplayNumber : item->FChangeNumber;
  const TRidSelectionMode shown = FActiveSelectionMode;
  if (!IsMarker(reason)) FActiveSelectionMode = mode;
  TRidPaintLock lock(*this);
  TInsideUndo inside(*FUndoList);
  TTempOption pastEol(*this, eoScrollPastEol, true);
  TTempOption untrimmed(*this, eoTrimTrailingSpaces, false);
  TFlagOn inserting(FInsertMode);
  {
    TFlagOn exact(FExactPositions);
    if (IsInsertReason(reason)) {
      SetSelectionRaw(start, start, start);
      PutBack(mode, *item);
      InternalSetCaretXY(end);
      FBlockBegin = FBlockEnd = GetCaretXY();
      Record(*FUndoList, reason, start, end, "", mode, number);
      if (reason == urDragDropInsert) SetSelectionRaw(start, end, start);
    } else if (IsDeleteReason(reason)) {
      SetSelectionRaw(start, end, start);
      std::string breaks;
      const std::string removed = GetSelTextForUndo(breaks);
      PutBack(mode, *item);
      Record(*FUndoList, reason, start, end, removed, mode, number, breaks);
      // Where the text went, as after the deletion itself: its end is gone with it.
      InternalSetCaretXY(start);
      FBlockBegin = FBlockEnd = GetCaretXY();
    } else if (reason == urLineBreak) {
      // A plain break: the rest of the line moves to a new line below.
      InternalSetCaretXY(start);
      std::string line = FLines->Get(start.Line - 1);
      std::string right = start.Char - 1 < Len(line) ? line.substr(start.Char - 1) : "";
      line.resize(std::min(Len(line), start.Char - 1));
      const TBufferCoord at{Len(line) + 1, start.Line};
      // The new line keeps the line's break; the break made here is the one undo removed.
      const uint8_t lineBreak = FLines->GetLineBreak(start.Line - 1);
      SetLineTrimmed(start.Line - 1, line);
      FLines->SetLineBreak(start.Line - 1,
                           item->FChangeBreaks.empty() ? lineBreak : item->FChangeBreaks[0]);
      FLines->Insert(start.Line, right);
      FLines->SetLineBreak(start.Line, lineBreak);
      DoLinesInserted(start.Line + 1, 1);
      Record(*FUndoList, urLineBreak, at, at, right, mode, number);
      InternalSetCaretXY({1, start.Line + 1});
      FBlockBegin = FBlockEnd = GetCaretXY();
    } else if (ReplayPositionStep(*item, *FUndoList, number, shown)) {
      // only the caret or the selection moved, or a paste marker passed
    } else if (reason == urLineEdits && item->FLineEdits) {
      InternalSetCaretXY(PutLineEdits(*item->FLineEdits, true));
      FBlockBegin = FBlockEnd = GetCaretXY();
      Record(*FUndoList, reason, start, end, "", mode, number, {}, item->FLineEdits);
      EnsureCursorPosVisible();
    } else if (reason == urUnindent) {
      const int32_t c = mode == smColumn ? std::min(start.Char, end.Char) : 1;
      std::string_view text = item->FChangeStr;
      std::vector<int32_t> widths;
      int32_t y = start.Line;
      for (size_t i = 0;; ++y) {
        size_t j = std::min(text.find('\r', i), text.size());
        const int32_t n = static_cast<int32_t>(j - i);
        widths.push_back(n);
        if (n > 0 && y <= FLines->GetCount()) {
          int32_t col = c;
          MoveOffTrailByte(y, col);
          std::string s = FLines->Get(y - 1);
          if (col - 1 < Len(s)) s.erase(col - 1, std::min(n, Len(s) - (col - 1)));
          FLines->Put(y - 1, s);
        }
        if (j == text.size()) break;
        i = j + 1;
        if (i < text.size() && text[i] == '\n') ++i;
      }
      if (mode == smColumn)
        SetSelectionRaw(start, end, start);
      else
        SetSelectionRaw(AfterUnindent(start, start.Line, widths),
                        AfterUnindent(end, start.Line, widths),
                        AfterUnindent(start, start.Line, widths));
      Record(*FUndoList, reason, start, end, item->FChangeStr, mode, number, item->FChangeBreaks);
    }
  }
  KeepSelectionOffTrailBytes(false);
}

}  // namespace rid
