// Replacing the selection by a text in the three selection modes, and the undo items that make
// every replacement reversible byte for byte.
#include <algorithm>
#include <optional>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderMiscProcs.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// A row of a text and the kind of break that ended it (CR LF for the last row).
struct TRow {
  std::string_view Text;
  uint8_t Break = lbsCRLF;
};

// The rows of a text, split at CR LF, CR or LF; Kinds, when given, are the kinds of the breaks.
std::vector<TRow> SplitRows(std::string_view Value, std::string_view Kinds = {}) {
  std::vector<TRow> rows;
  size_t start = 0, length = 0;
  uint8_t kind = lbsCRLF;
  for (size_t at; (at = FindLineBreak(Value, start, length, kind)) != std::string_view::npos;
       start = at + length)
    rows.push_back({Value.substr(start, at - start), kind});
  rows.push_back({Value.substr(start)});
  for (size_t k = 0; k < Kinds.size() && k + 1 < rows.size(); ++k)
    rows[k].Break = static_cast<uint8_t>(Kinds[k]);
  return rows;
}

bool EndsWithBreak(std::string_view Value) {
  return !Value.empty() && (Value.back() == '\r' || Value.back() == '\n');
}

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }
int32_t Len(const std::vector<TRow>& V) { return static_cast<int32_t>(V.size()); }

}  // namespace

TCustomRidEder::TTempOption::TTempOption(TCustomRidEder& AEder, TRidEderorOption AOption, bool AOn)
    : Ed(AEder), Option(AOption), Was(AEder.FOptions.Contains(AOption)) {
  if (AOn)
    Ed.FOptions.Include(Option);
  else
    Ed.FOptions.Exclude(Option);
}

TCustomRidEder::TTempOption::~TTempOption() {
  if (Was)
    Ed.FOptions.Include(Option);
  else
    Ed.FOptions.Exclude(Option);
}

void TCustomRidEder::NoteBreak(std::string* Breaks, int32_t Line) const {
  if (Breaks && FLines->GetMixedLineBreaks())
    Breaks->push_back(static_cast<char>(FLines->GetLineBreak(Line - 1)));
}

void TCustomRidEder::AddUndoItem(TRidChangeReason Reason, TBufferCoord Start, TBufferCoord End,
                                 const std::string& Text, const std::string& Breaks,
                                 TRidSelectionMode Mode) {
  FUndoList->AddChange(Reason, Start, End, Text, Mode, Breaks);
}

void TCustomRidEder::SetLineTrimmed(int32_t Index, const std::string& Text) {
  const bool now = FOptions.Contains(eoTrimTrailingSpaces) && !FTrimAfterEdit;
  FLines->Put(Index, now ? TrimTrailingSpaces(Text) : Text);
  if (FTrimAfterEdit) FTrimAfterEdit->Note(Index);
}

void TCustomRidEder::SetJoinedLine(int32_t Index, const std::string& Text) {
  if (FOptions.Contains(eoScrollPastEol))
    SetLineTrimmed(Index, Text);
  else
    FLines->Put(Index, Text);
}

void TCustomRidEder::InsertLineTrimmed(int32_t Index, const std::string& Text) {
  const bool now = FOptions.Contains(eoTrimTrailingSpaces) && !FTrimAfterEdit;
  FLines->Insert(Index, now ? TrimTrailingSpaces(Text) : Text);
  if (FTrimAfterEdit) FTrimAfterEdit->Note(Index);
}

TCustomRidEder::TTrimAfterEdit::TTrimAfterEdit(TCustomRidEder& AEder) : Ed(AEder) {
  if (Ed.FTrimAfterEdit || !Ed.FOptions.Contains(eoTrimTrailingSpaces)) return;
  Ed.FTrimAfterEdit = this;
  FActive = true;
}

TCustomRidEder::TTrimAfterEdit::~TTrimAfterEdit() {
  if (FActive) Ed.FTrimAfterEdit = nullptr;
}

// Edits store their lines top down, and add or remove lines below those they stored: a note is
// an append, and a shift touches only the few noted lines below the change.
void TCustomRidEder::TTrimAfterEdit::Note(int32_t Index) {
  const auto at = std::lower_bound(FLines.begin(), FLines.end(), Index);
  if (at == FLines.end() || *at != Index) FLines.insert(at, Index);
}

void TCustomRidEder::TTrimAfterEdit::LinesInserted(int32_t Index, int32_t Count) {
  for (auto at = std::lower_bound(FLines.begin(), FLines.end(), Index); at != FLines.end(); ++at)
    *at += Count;
}

void TCustomRidEder::TTrimAfterEdit::LinesDeleted(int32_t Index, int32_t Count) {
  const auto from = std::lower_bound(FLines.begin(), FLines.end(), Index);
  auto at = FLines.erase(from, std::lower_bound(from, FLines.end(), Index + Count));
  for (; at != FLines.end(); ++at) *at -= Count;
}

void TCustomRidEder::TTrimAfterEdit::Finish() {
  if (!FActive) return;
  Ed.FTrimAfterEdit = nullptr;
  FActive = false;
  // The caret line last, so that a redo leaves the caret on it.
  const int32_t caretIndex = Ed.FCaretY - 1;
  std::stable_partition(FLines.begin(), FLines.end(), [&](int32_t l) { return l != caretIndex; });
  for (int32_t index : FLines) {
    if (index >= Ed.FLines->GetCount()) continue;
    const std::string line = Ed.FLines->Get(index);
    const std::string trimmed = TrimTrailingSpaces(line);
    if (trimmed.size() == line.size()) continue;
    // Display columns before the caret (also in virtual space): the trimmed blanks still count.
    int32_t caretColumns = -1;
    if (index == caretIndex && Ed.FCaretX > Len(trimmed)) {
      const int32_t inLine = std::min(Ed.FCaretX - 1, Len(line));
      caretColumns = ExpandedLength(std::string_view(line).substr(0, inLine), Ed.FTabWidth) +
                     (Ed.FCaretX - 1 - inLine);
    }
    Ed.FLines->Put(index, trimmed);
    Ed.FUndoList->AddTrim({Len(trimmed) + 1, index + 1}, {Len(line) + 1, index + 1},
                          line.substr(trimmed.size()));
    if (caretColumns >= 0)
      Ed.SetCaretAfterTrimmedBlanks(Len(trimmed) + 1 + caretColumns -
                                    ExpandedLength(trimmed, Ed.FTabWidth));
  }
}

void TCustomRidEder::SetSelectionRaw(TBufferCoord Start, TBufferCoord End, TBufferCoord Caret) {
  InternalSetCaretXY(Caret);
  if (SelAvail()) InvalidateSelection();
  FBlockBegin = Start;
  FBlockEnd = End;
  // Column ends and a column caret stay as given: their columns apply to every line.
  KeepSelectionOffTrailBytes(false, FActiveSelectionMode != smColumn);
  if (SelAvail()) InvalidateSelection();
  StatusChanged({scSelection});
}

void TCustomRidEder::SetSelTextPrimitive(const std::string& Value) {
  SetSelTextPrimitiveEx(FActiveSelectionMode, Value, true);
}

void TCustomRidEder::SetSelTextPrimitiveEx(TRidSelectionMode PasteMode, std::string_view Value,
                                           bool AddToUndoList) {
  ReplaceSelection(PasteMode, Value, AddToUndoList, FExactPositions);
}

void TCustomRidEder::ReplaceSelection(TRidSelectionMode PasteMode, std::string_view Value,
                                      bool AddToUndoList, bool AtCaret, int32_t Column) {
  TRidPaintLock lock(*this);
  TStringsUpdate update(FLines);
  KeepSelectionOffTrailBytes(false, false);  // a column insertion starts at its own column
  bool exact = AtCaret;
  if (SelAvail()) {
    TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
    DeleteSelection();
    // A column block starts at its left column, whichever way it was drawn.
    if (FActiveSelectionMode == smColumn) Column = b.Char = std::min(b.Char, e.Char);
    if (FActiveSelectionMode == smLine) b.Char = 1;
    InternalSetCaretXY(b);
    exact = exact || FActiveSelectionMode == smNormal;
  }
  if (!Value.empty()) InsertText(PasteMode, Value, AddToUndoList, exact, Column);
  if (FCaretY < 1) InternalSetCaretY(1);
  KeepSelectionOffTrailBytes(false);
}

void TCustomRidEder::KeepSelectionOffTrailBytes(bool AllModes, bool Caret) {
  if (FExactPositions) return;
  auto onTrail = [&](const TBufferCoord& P) {
    return P.Line >= 1 && P.Line <= FLines->GetCount() &&
           IsTrailByteAt(FLines->GetView(P.Line - 1), P.Char);
  };
  // Column ends are otherwise moved line by line where they are used.
  if (AllModes || FActiveSelectionMode == smNormal)
    for (TBufferCoord* p : {&FBlockBegin, &FBlockEnd})
      if (onTrail(*p)) ++p->Char;
  if (Caret && onTrail(GetCaretXY())) InternalSetCaretX(FCaretX + 1);
}

std::pair<int32_t, int32_t> TCustomRidEder::ColumnBytes(int32_t Line) {
  const TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  int32_t a = std::min(b.Char, e.Char), z = std::max(b.Char, e.Char);
  if (!FExactColumns) MoveOffTrailByte(Line, a, z);
  return {a, z};
}

std::string TCustomRidEder::GetColumnText(bool Padded, std::string* Shifts) {
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const int32_t c1 = std::min(b.Char, e.Char);
  std::string out, shifts;
  for (int32_t line = b.Line; line <= e.Line && line <= FLines->GetCount(); ++line) {
    const auto [a, z] = ColumnBytes(line);
    shifts += static_cast<char>(a - c1);
    std::string_view s = FLines->GetView(line - 1);
    if (line != b.Line) out += "\r\n";
    if (a - 1 < Len(s)) out += s.substr(a - 1, std::min(z - a, Len(s) - (a - 1)));
    // Only columns past the line's end are padded: a copy pasted back puts back the very bytes.
    if (Padded) out.append(std::max(z - std::max(a, Len(s) + 1), 0), ' ');
  }
  if (Shifts) *Shifts = shifts.find('\1') == std::string::npos ? std::string() : shifts;
  return out;
}

void TCustomRidEder::DeleteSelection() {
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const int32_t count = FLines->GetCount();
  switch (FActiveSelectionMode) {
    case smNormal: {
      if (count == 0) break;
      b.Line = std::min(b.Line, count);
      e.Line = std::min(e.Line, count);
      std::string head(FLines->GetView(b.Line - 1));
      head.resize(std::min(Len(head), b.Char - 1));
      std::string_view tail = FLines->GetView(e.Line - 1);
      std::string joined = head;
      if (e.Char - 1 < Len(tail)) joined += tail.substr(e.Char - 1);
      // The joined line ends with the break that ended the last one.
      const uint8_t tailBreak = FLines->GetLineBreak(e.Line - 1);
      if (e.Line > b.Line) FLines->DeleteLines(b.Line, e.Line - b.Line);
      SetJoinedLine(b.Line - 1, joined);
      FLines->SetLineBreak(b.Line - 1, tailBreak);
      InternalSetCaretXY(b);
      if (e.Line > b.Line) DoLinesDeleted(b.Line, e.Line - b.Line);
      break;
    }
    case smLine: {
      if (count == 0) break;
      e.Line = std::min(e.Line, count);
      if (e.Line == count) {
        FLines->Put(e.Line - 1, "");
        if (e.Line > b.Line) FLines->DeleteLines(b.Line - 1, e.Line - b.Line);
      } else {
        FLines->DeleteLines(b.Line - 1, e.Line - b.Line + 1);
      }
      InternalSetCaretXY({1, b.Line});
      DoLinesDeleted(b.Line, e.Line - b.Line + 1);
      break;
    }
    case smColumn: {
      const int32_t c1 = std::min(b.Char, e.Char);
      for (int32_t line = b.Line; line <= e.Line && line <= count; ++line) {
        const auto [a, z] = ColumnBytes(line);
        std::string s = FLines->Get(line - 1);
        if (a - 1 >= Len(s)) continue;
        s.erase(a - 1, std::min(z - a, Len(s) - (a - 1)));
        SetLineTrimmed(line - 1, s);
      }
      InternalSetCaretXY({c1, b.Line});
      break;
    }
  }
}

void TCustomRidEder::InsertText(TRidSelectionMode PasteMode, std::string_view Value,
                                bool AddToUndoList, bool AtCaret, int32_t Column) {
  if (FLines->GetCount() == 0) FLines->Add("");
  // Text never goes between the two bytes of a character.
  // (Column rows move off trail bytes line by line.)
  if (PasteMode == smNormal && !AtCaret && IsTrailByteAt(FLines->GetView(FCaretY - 1), FCaretX))
    InternalSetCaretX(FCaretX + 1);
  const TBufferCoord start = GetCaretXY();
  int32_t added = 0;
  switch (PasteMode) {
    case smNormal:
      added = InsertNormal(Value);
      break;
    case smLine:
      added = InsertLine(Value);
      break;
    case smColumn:
      added = InsertColumn(Value, AddToUndoList, Column > 0 ? Column : FCaretX);
      break;
  }
  if (added > 0) {
    int32_t first = start.Line;
    if (PasteMode == smNormal && start.Char > 1) ++first;
    if (PasteMode == smColumn) first = FLines->GetCount() - added + 1;
    DoLinesInserted(first, added);
  }
  EnsureCursorPosVisible();
}

int32_t TCustomRidEder::InsertNormal(std::string_view Value) {
  const int32_t y = FCaretY;
  const std::string line(FLines->GetView(y - 1));
  std::string left, right;
  if (FCaretX - 1 > Len(line)) {
    left = line;
    if (!FOptions.Contains(eoTabsToSpaces) && StringIsBlank(left))
      left = GetLeftSpacing(GetDisplayX() - 1, true);
    else
      left.append(FCaretX - 1 - Len(line), ' ');
  } else {
    left = line.substr(0, FCaretX - 1);
    right = line.substr(FCaretX - 1);
  }
  std::vector<TRow> rows = SplitRows(Value, FInsertBreaks);
  const int32_t breaks = Len(rows) - 1;
  std::string stored;
  if (breaks == 0) {
    stored = left + std::string(rows[0].Text);
    SetLineTrimmed(y - 1, stored + right);
  } else {
    // Each new break is of the kind the text has; the last line keeps the line's own.
    const uint8_t lineBreak = FLines->GetLineBreak(y - 1);
    SetLineTrimmed(y - 1, left + std::string(rows[0].Text));
    FLines->SetLineBreak(y - 1, rows[0].Break);
    FLines->InsertLines(y, breaks);
    for (int32_t k = 1; k <= breaks; ++k) {
      stored = std::string(rows[k].Text);
      SetLineTrimmed(y - 1 + k, k == breaks ? stored + right : stored);
      FLines->SetLineBreak(y - 1 + k, k == breaks ? lineBreak : rows[k].Break);
      FCaretY = y + k;
      StatusChanged({scCaretY});
    }
  }
  TTempOption pastEol(*this, eoScrollPastEol, true);
  const int32_t lastLen = Len(FLines->GetView(FCaretY - 1));
  int32_t x = lastLen - Len(right) + 1;
  if (FOptions.Contains(eoTrimTrailingSpaces) && right.empty())
    x = lastLen + ExpandedLength(stored, FTabWidth) -
        ExpandedLength(FLines->GetView(FCaretY - 1), FTabWidth) + 1;
  InternalSetCaretXY({std::max(x, 1), FCaretY});
  FLastInsertEnd = GetCaretXY();
  return breaks;
}

int32_t TCustomRidEder::InsertLine(std::string_view Value) {
  InternalSetCaretX(1);
  std::vector<TRow> rows = SplitRows(Value, FInsertBreaks);
  const bool terminated = EndsWithBreak(Value);
  if (terminated) rows.pop_back();
  int32_t y = FCaretY, added = 0;
  for (size_t k = 0; k < rows.size(); ++k) {
    const std::string row(rows[k].Text);
    const bool lastLine = y == FLines->GetCount();
    if (k + 1 == rows.size() && !terminated && lastLine && FLines->GetView(y - 1).empty()) {
      // A text without a final break fills the empty last line, as a line deletion that
      // reached the end left it, so that text never grows an extra empty line.
      SetLineTrimmed(y - 1, row);
      TTempOption pastEol(*this, eoScrollPastEol, true);
      InternalSetCaretXY({Len(FLines->GetView(y - 1)) + 1, y});
      FLastInsertEnd = GetCaretXY();
      return added;
    }
    if (!FInsertMode && !lastLine) {
      SetLineTrimmed(y - 1, row);
    } else {
      InsertLineTrimmed(y - 1, row);
      ++added;
    }
    if (k + 1 < rows.size() || terminated) FLines->SetLineBreak(y - 1, rows[k].Break);
    ++y;
    // The view follows the caret after the first row and the last: the rows between would
    // scroll it a row at a time, each scroll repainting the window, to where the last row's
    // scroll takes it in one.
    SetCaretXYEx(k == 0 || k + 1 == rows.size(), {FCaretX, y});
  }
  FLastInsertEnd = {1, y};
  return added;
}

int32_t TCustomRidEder::InsertColumn(std::string_view Value, bool AddToUndoList, int32_t Column) {
  std::vector<TRow> rows = SplitRows(Value);
  int32_t y = FCaretY, added = 0, lastAt = Column;
  for (size_t k = 0; k < rows.size(); ++k, ++y) {
    const std::string_view row = rows[k].Text;
    // The first row goes in at the caret, which may not stand past its line's end without
    // eoScrollPastEol; every other row at the block's own column.
    const int32_t col = k == 0 ? FCaretX : Column;
    int32_t at = col, from = col;
    if (y <= FLines->GetCount()) {
      std::string s = FLines->Get(y - 1);
      const int32_t oldLen = Len(s);
      if (!row.empty()) {
        if (oldLen < col - 1) s.append(col - 1 - oldLen, ' ');
        // Undo puts a deleted row back where it was, not where the join it made suggests.
        if (!FExactPositions)
          MoveOffTrailByte(y, at);
        else if (k < FInsertBreaks.size())
          at += FInsertBreaks[k];
        s.insert(std::min(at - 1, Len(s)), row);
        SetLineTrimmed(y - 1, s);
      }
      // The padding belongs to the insertion, so undo takes it away too.
      from = std::min(at, oldLen + 1);
    } else {
      if (AddToUndoList && y > 1) {
        TBufferCoord prevEnd{Len(FLines->GetView(y - 2)) + 1, y - 1};
        FUndoList->AddChange(urLineBreak, prevEnd, prevEnd, "", smColumn);
      }
      InsertLineTrimmed(FLines->GetCount(),
                        row.empty() ? std::string() : std::string(col - 1, ' ') + std::string(row));
      // The new last line takes the break that ended the text.
      if (y > 1) FLines->SetLineBreak(y - 1, FLines->GetLineBreak(y - 2));
      ++added;
      from = 1;
    }
    lastAt = at;
    if (AddToUndoList && (!row.empty() || from < at))
      // Column rows whatever the selection mode, so that undo takes away just the row.
      FUndoList->AddChange(urInsertText, {from, y}, {at + Len(row), y}, "", smColumn);
    if (k + 1 < rows.size()) StatusChanged({scCaretY});
  }
  TTempOption pastEol(*this, eoScrollPastEol, true);
  InternalSetCaretXY({lastAt + Len(rows.back().Text), FCaretY + Len(rows) - 1});
  FLastInsertEnd = GetCaretXY();
  return added;
}

void TCustomRidEder::InsertBlock(const TBufferCoord& BlockBegin, const TBufferCoord& BlockEnd,
                                 std::string_view Text, bool AddToUndoList) {
  TRidPaintLock lock(*this);
  FActiveSelectionMode = smColumn;
  SetSelectionRaw(BlockBegin, BlockEnd, BlockBegin);
  // The block's column, also where the caret cannot stand past the first line's end.
  ReplaceSelection(smColumn, Text, AddToUndoList, FExactPositions,
                   std::min(BlockBegin.Char, BlockEnd.Char));
  StatusChanged({scSelection});
}

void TCustomRidEder::ReplaceSelectionRecorded(TRidSelectionMode Mode, std::string_view Value,
                                              TRidChangeReason InsertReason) {
  KeepSelectionOffTrailBytes(false, false);
  TTrimAfterEdit trims(*this);
  // A text replaces the selection and nothing more: overwriting takes the lines after the caret
  // only when nothing is selected.
  std::optional<TFlagOn> inserting;
  if (SelAvail()) inserting.emplace(FInsertMode);
  // The text replacing a normal selection goes exactly where it started (see ReplaceSelection),
  // and with exact positions any text goes exactly at the caret.
  const bool atCaret = FExactPositions || (SelAvail() && FActiveSelectionMode == smNormal);
  const TBufferCoord start = GetBlockBegin();
  // Column rows replacing a column block go in at its left column (the first row where the
  // caret can stand), each moved off a trail byte of its own line only.
  const int32_t column = SelAvail() && FActiveSelectionMode == smColumn
                             ? std::min(FBlockBegin.Char, FBlockEnd.Char)
                             : 0;
  if (SelAvail()) {
    std::string breaks;
    const std::string removed = GetSelTextForUndo(breaks);
    // A column block right of every line's text removes nothing and leaves no step.
    if (FActiveSelectionMode != smColumn || removed.find_first_not_of("\r\n") != std::string::npos)
      AddUndoItem(urDeleteCaretEnd, FBlockBegin, FBlockEnd, removed, breaks, FActiveSelectionMode);
    SetSelTextPrimitiveEx(Mode, {}, true);
    if (atCaret && !Value.empty()) InternalSetCaretXY(start);
  }
  FBlockBegin = FBlockEnd = GetCaretXY();
  if (Value.empty()) {
    trims.Finish();
    FBlockBegin = FBlockEnd = GetCaretXY();
    StatusChanged({scSelection});
    return;
  }
  if (FLines->GetCount() == 0) FLines->Add("");
  // Where the insertion begins; the insert item starts there so that undo also takes away the
  // spacing added in virtual space.
  const int32_t count = FLines->GetCount();
  TBufferCoord from = GetCaretXY();
  std::string_view line = FLines->GetView(from.Line - 1);
  if (Mode == smNormal) {
    if (from.Char - 1 > Len(line)) {
      from.Char = Len(line) + 1;
      if (!FOptions.Contains(eoTabsToSpaces) && StringIsBlank(line) && !line.empty()) {
        // The blanks before the caret are rewritten as tabs and spaces.
        FUndoList->AddChange(urDeleteCaretEnd, {1, from.Line}, from, std::string(line), smNormal);
        from.Char = 1;
      }
    } else if (!atCaret && IsTrailByteAt(line, from.Char)) {
      from.Char += 1;
    }
  } else if (Mode == smLine) {
    from.Char = 1;
    if (!FInsertMode) {
      // Overwritten lines are recorded as a deletion before the insertion.
      std::vector<TRow> rows = SplitRows(Value);
      if (EndsWithBreak(Value)) rows.pop_back();
      const int32_t k = std::min(Len(rows), count - from.Line);
      if (k > 0) {
        std::string old, breaks;
        for (int32_t i = 0; i < k; ++i) {
          (old += FLines->GetView(from.Line - 1 + i)) += "\r\n";
          NoteBreak(&breaks, from.Line + i);
        }
        AddUndoItem(urDeleteCaretEnd, from, {1, from.Line + k}, old, breaks, smNormal);
      }
    }
  }
  ReplaceSelection(Mode, Value, true, atCaret, column);
  // Inserted lines are recorded as the plain text range they cover; column rows recorded
  // themselves.
  if (Mode != smColumn) FUndoList->AddChange(InsertReason, from, FLastInsertEnd, "", smNormal);
  trims.Finish();
  FBlockBegin = FBlockEnd = GetCaretXY();
  StatusChanged({scSelection});
}

TBufferCoord TCustomRidEder::PutLineEdits(const TRidLineEdits& Edits, bool Redo) {
  TStringsUpdate update(FLines);
  TRidLineEdits::TRows rows;
  std::string text;
  int32_t gained = 0;  // rows the lines above have gained
  TBufferCoord caret = GetCaretXY();
  bool first = true;
  // Marks move as when each text went in on its own, in the walk's order: going up, each text
  // went in while the lines above it were still those of before.
  std::vector<std::pair<int32_t, int32_t>> addedGoingUp;  // first line and count, top down
  Edits.ForEachLine([&](const TRidLineEdits::TLine& L) {
    if (first) {
      InvalidateLines(L.Index + 1, MaxInt);
      first = false;
    }
    if (!Redo) {
      PutLineBefore(L, text);
      return;
    }
    const int32_t index = L.Index + gained;
    gained += PutLineAfter(L, index, rows);
    if (rows.CaretRow >= 0) caret = {rows.CaretCol + 1, index + 1 + rows.CaretRow};
    for (const auto& added : rows.Added) {
      if (Edits.WalkedUp())
        addedGoingUp.push_back({L.Index + 1 + (added.InsideBefore ? 1 : 0), added.Count});
      else
        DoLinesInserted(index + 1 + added.Row + (added.Inside ? 1 : 0), added.Count);
    }
  });
  for (auto at = addedGoingUp.rbegin(); at != addedGoingUp.rend(); ++at)
    DoLinesInserted(at->first, at->second);
  return caret;
}

int32_t TCustomRidEder::PutLineAfter(const TRidLineEdits::TLine& L, int32_t Index,
                                     TRidLineEdits::TRows& Rows) {
  L.After(FLines->GetView(Index), Rows);
  const int32_t more = static_cast<int32_t>(Rows.Ends.size()) - 1;
  if (more == 0) {
    // A line whose hits were only deleted is stored as a deletion stores it.
    if (std::any_of(L.Hits.begin(), L.Hits.end(), [](const auto& H) { return H.NewLen > 0; }))
      SetLineTrimmed(Index, Rows.Text);
    else
      SetJoinedLine(Index, Rows.Text);
    return 0;
  }
  // The new breaks are of the kinds the texts have; the last row keeps the line's own.
  const uint8_t lineBreak = FLines->GetLineBreak(Index);
  SetLineTrimmed(Index, std::string(Rows.Row(0)));
  FLines->SetLineBreak(Index, Rows.Breaks[0]);
  FLines->InsertLines(Index + 1, more);
  for (int32_t k = 1; k <= more; ++k) {
    SetLineTrimmed(Index + k, std::string(Rows.Row(k)));
    FLines->SetLineBreak(Index + k, k == more ? lineBreak : Rows.Breaks[k]);
  }
  return more;
}

void TCustomRidEder::PutLineBefore(const TRidLineEdits::TLine& L, std::string& Text) {
  const std::string kinds = L.BreakKinds();
  const int32_t more = static_cast<int32_t>(kinds.size());
  std::string joined;
  std::string_view after = FLines->GetView(L.Index);
  if (more > 0) {
    joined = after;
    for (int32_t k = 1; k <= more; ++k)
      (joined += LineBreakText(kinds[k - 1])) += FLines->GetView(L.Index + k);
    after = joined;
  }
  L.Before(after, Text);
  if (more == 0) {
    SetLineTrimmed(L.Index, Text);
    return;
  }
  const uint8_t lineBreak = FLines->GetLineBreak(L.Index + more);
  FLines->DeleteLines(L.Index + 1, more);
  SetLineTrimmed(L.Index, Text);
  FLines->SetLineBreak(L.Index, lineBreak);
  DoLinesDeleted(L.Index + 1, more);
}

void TCustomRidEder::SetLineText(const std::string& Value) {
  const int32_t count = FLines->GetCount();
  if (FCaretY < 1 || FCaretY > std::max(1, count)) return;
  const TBufferCoord caret = GetCaretXY();
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  TTempOption asGiven(*this, eoTrimTrailingSpaces, false);
  const int32_t len = FCaretY <= count ? Len(FLines->GetView(FCaretY - 1)) : 0;
  FActiveSelectionMode = smNormal;
  SetSelectionRaw({1, FCaretY}, {len + 1, FCaretY}, {1, FCaretY});
  ReplaceSelectionRecorded(smNormal, Value, urInsert);
  InternalSetCaretXY(caret);
  FBlockBegin = FBlockEnd = GetCaretXY();
  KeepSelectionOffTrailBytes(false);
}

void TCustomRidEder::SetLines(TStrings* Value) {
  FLines->Assign(Value);
  ClearUndo();
}

void TCustomRidEder::SetSelText(const std::string& Value) {
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  if (!SelAvail()) FActiveSelectionMode = FSelectionMode;
  ReplaceSelectionRecorded(FActiveSelectionMode, Value, urInsert);
}

}  // namespace rid
