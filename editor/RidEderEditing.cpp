// The commands that type, break and delete text, Tab and Shift+Tab. Every change is recorded so
// that undo puts the bytes back exactly (trailing blanks a command trims are recorded apart),
// and no command splits a double-byte character or leaves a position on its second byte.
#include <algorithm>

#include "editor/RidEder.h"
#include "editor/RidEderMiscProcs.h"
#include "platform/Locale.h"

namespace rid {

namespace {

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }

bool IsBlank(char C) { return C == ' ' || C == '\t'; }

// The start of the character of Line that display column Disp falls in (a column inside a tab
// gives the tab); past the end one byte a column.
int32_t CharAtColumn(std::string_view Line, int32_t Disp, int32_t TabWidth) {
  const int32_t col = ColumnToCharIndex(Disp, TabWidth, Line);
  return IsTrailByteAt(Line, col) ? col - 1 : col;
}

// The length of the character at Col (a character start inside Line).
int32_t CharLength(std::string_view Line, int32_t Col) {
  return static_cast<int32_t>(SjisCharLength(Line, static_cast<size_t>(Col - 1)));
}

// The first column of the run of blanks that ends just before Col (Col when there is none).
int32_t BlankRunStart(std::string_view Line, int32_t Col) {
  int32_t p = std::min(Col, Len(Line) + 1);
  while (p > 1 && IsBlank(Line[p - 2])) --p;
  return p;
}

bool TextCommand(TRidEderorCommand C) {
  return (C >= ecDeleteLastChar && C <= ecChar) || C == ecImeStr ||
         (C >= ecBlockIndent && C <= ecShiftTab) || (C >= ecUpperCase && C <= ecTitleCase) ||
         (C >= ecUpperCaseBlock && C <= ecToggleCaseBlock);
}

}  // namespace

bool TCustomRidEder::ExecuteEditCommand(TRidEderorCommand Command, char AChar, void* Data) {
  switch (Command) {
    case ecUndo:
      Undo();
      return true;
    case ecRedo:
      Redo();
      return true;
    case ecCut:
      if (SelAvail()) CutToClipboard();
      return true;
    case ecPaste:
      PasteFromClipboard();
      return true;
    default:
      break;
  }
  if (!TextCommand(Command)) return false;
  if (GetReadOnly()) return true;
  switch (Command) {
    case ecChar:
      TypeChar(AChar);
      break;
    case ecImeStr:
      InsertImeString(static_cast<const char*>(Data));
      break;
    case ecLineBreak:
    case ecInsertLine:
      LineBreak(Command == ecLineBreak);
      break;
    case ecDeleteLastChar:
      DeleteLastChar();
      break;
    case ecDeleteChar:
      DeleteChar();
      break;
    case ecDeleteWord:
    case ecDeleteEOL:
      DeleteToWordOrLineEnd(Command);
      break;
    case ecDeleteLastWord:
    case ecDeleteBOL:
      DeleteToWordOrLineStart(Command);
      break;
    case ecDeleteLine:
      DeleteLine();
      break;
    case ecClearAll:
      DeleteAll();
      break;
    case ecBlockIndent:
      DoBlockIndent();
      break;
    case ecBlockUnindent:
      DoBlockUnindent();
      break;
    case ecTab:
      DoTabKey();
      break;
    case ecShiftTab:
      DoShiftTabKey();
      break;
    default:
      DoCaseChange(Command);
      break;
  }
  return true;
}

// --- typing

void TCustomRidEder::TypeChar(char AChar) {
  const uint8_t b = static_cast<uint8_t>(AChar);
  if (b < 32 || b == 127) return;
  // The byte after a lead byte typed alone, its trail byte or one that cannot trail it, goes in
  // with it: both appear together, as typed, and undo together.
  if (FPendingLeadByte < 0 && IsDBCSLeadByte(b)) {
    FPendingLeadByte = b;
    return;
  }
  TypeBytes(TakePendingLeadByte() + AChar);
}

std::string TCustomRidEder::TakePendingLeadByte() {
  if (FPendingLeadByte < 0) return {};
  const char lead = static_cast<char>(FPendingLeadByte);
  FPendingLeadByte = -1;
  return std::string(1, lead);
}

void TCustomRidEder::PutPendingLeadByte() {
  const std::string lead = TakePendingLeadByte();
  if (!lead.empty() && !GetReadOnly()) TypeBytes(lead);
}

void TCustomRidEder::TypeBytes(const std::string& Bytes) {
  DoOnPaintTransient(0);
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  if (!SelAvail()) {
    // With nothing selected the character goes in at the caret whatever the selection mode, as
    // an input-method result does (an empty column block is no selection either).
    FActiveSelectionMode = smNormal;
    FBlockBegin = FBlockEnd = GetCaretXY();
    // Overwriting takes a whole character under the caret for each one typed; at or past the
    // line end there is nothing to overwrite and the characters are inserted.
    const std::string_view line = LineView(FCaretY);
    int32_t end = FCaretX;
    for (size_t i = 0; i < Bytes.size() && end <= Len(line); i += SjisCharLength(Bytes, i))
      end += CharLength(line, end);
    if (!FInsertMode && end > FCaretX) SetSelectionRaw(GetCaretXY(), {end, FCaretY}, GetCaretXY());
  }
  if (!StepOverTrimmedBlanks(Bytes))
    ReplaceSelectionRecorded(FActiveSelectionMode, Bytes, urInsert);
  DoOnPaintTransient(1);
}

bool TCustomRidEder::StepOverTrimmedBlanks(std::string_view Bytes) {
  if (!FOptions.Contains(eoTrimTrailingSpaces) || SelAvail() ||
      Bytes.find_first_not_of(' ') != std::string_view::npos)
    return false;
  const std::string_view line = LineView(FCaretY);
  if (FCaretX <= Len(line) || (!line.empty() && IsBlank(line.back()))) return false;
  SetCaretAfterTrimmedBlanks(FCaretX + Len(Bytes));
  FBlockBegin = FBlockEnd = GetCaretXY();
  return true;
}

void TCustomRidEder::SetCaretAfterTrimmedBlanks(int32_t Col) {
  TTempOption pastEol(*this, eoScrollPastEol, true);
  TFlagOn exact(FExactPositions);
  InternalSetCaretX(Col);
  FCaretAfterTrimmedBlanks = true;
}

void TCustomRidEder::InsertImeString(const char* Data) {
  // A lead byte typed alone goes in with the result, as with a character typed after it. A macro
  // replays the command without its text.
  const std::string s = TakePendingLeadByte() + (Data ? Data : "");
  if (s.empty()) return;
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  // Over a selection the view follows the caret only.
  const bool scrollAhead = !SelAvail();
  const int64_t leftChar = FLeftChar;
  if (scrollAhead) {
    FActiveSelectionMode = smNormal;
    FBlockBegin = FBlockEnd = GetCaretXY();  // an empty column block is no selection either
    if (!FInsertMode && FCaretY <= FLines->GetCount()) {
      // As many bytes as the first row of the result, never half a character.
      const std::string_view line = FLines->GetView(FCaretY - 1);
      const int32_t count = static_cast<int32_t>(std::min(s.find_first_of("\r\n"), s.size()));
      int32_t end = std::min(FCaretX + count, Len(line) + 1);
      if (IsTrailByteAt(line, end)) --end;
      if (end > FCaretX) SetSelectionRaw(GetCaretXY(), {end, FCaretY}, GetCaretXY());
    }
  }
  if (!StepOverTrimmedBlanks(s)) ReplaceSelectionRecorded(FActiveSelectionMode, s, urInsert);
  // A result reaching the window's right edge scrolls the view on by a good step, so that the
  // text typed next does not scroll it again at once; the caret stays in view.
  if (scrollAhead && leftChar + FCharsInWindow <= GetDisplayX()) {
    const int64_t ahead = leftChar + std::min(25, FCharsInWindow - 1);
    SetLeftChar(static_cast<int32_t>(std::clamp<int64_t>(ahead, FLeftChar, MaxInt)));
  }
}

// --- line breaks

void TCustomRidEder::LineBreak(bool MoveCaret) {
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  TTrimAfterEdit trims(*this);
  if (SelAvail()) ReplaceSelectionRecorded(FActiveSelectionMode, {}, urInsert);
  KeepSelectionOffTrailBytes(false);  // never a break inside a character
  if (FLines->GetCount() == 0) FLines->Add("");
  const int32_t y = FCaretY, x = FCaretX;
  const std::string line = FLines->Get(y - 1);
  const uint8_t lineBreak = FLines->GetLineBreak(y - 1);
  // Where the break goes: undo joins there, so it is never past the line's end.
  const TBufferCoord at{std::min(x, Len(line) + 1), y};
  std::string indent;    // bytes the new line starts with
  int32_t caretCol = 1;  // on the new line
  int32_t inserted = y + 1;
  if (line.empty() || x > Len(line)) {
    // A new line below; with auto-indent the caret (or, after text, a copy of the blanks of
    // the nearest line with text) takes its indentation.
    int32_t found = y;
    while (found > 1 && FLines->GetView(found - 1).empty()) --found;
    const std::string_view above = FLines->GetView(found - 1);
    if (line.empty()) {
      caretCol = LeftSpacesEx(above, true) + 1;
    } else if (MoveCaret) {
      indent = std::string(above.substr(0, LeftSpaces(above)));
      caretCol = Len(indent) + 1;
    }
    FLines->Insert(y, indent);
    FLines->SetLineBreak(y, lineBreak);
    AddUndoItem(urLineBreak, at, at, "", "", smNormal);
  } else if (x == 1) {
    FLines->Insert(y - 1, "");
    FLines->SetLineBreak(y - 1, lineBreak);
    AddUndoItem(urLineBreak, at, at, line, "", smNormal);
    inserted = y;
  } else {
    const std::string left = line.substr(0, x - 1), right = line.substr(x - 1);
    indent = GetLeftSpacing(LeftSpacesEx(left, true), true);
    caretCol = Len(indent) + 1;
    FLines->Insert(y, indent + right);
    FLines->SetLineBreak(y, lineBreak);
    SetLineTrimmed(y - 1, left);
    AddUndoItem(urLineBreak, at, at, right, "", smNormal);
  }
  // The indentation is a change of its own, so that a redo, which breaks plainly, puts back
  // exactly what was inserted.
  if (!indent.empty())
    AddUndoItem(urInsert, {1, y + 1}, {Len(indent) + 1, y + 1}, "", "", smNormal);
  DoLinesInserted(inserted, 1);
  if (MoveCaret) {
    TTempOption pastEol(*this, eoScrollPastEol, true);
    InternalSetCaretXY({caretCol, y + 1});
  }
  trims.Finish();
  FBlockBegin = FBlockEnd = GetCaretXY();
  StatusChanged({scSelection});
  EnsureCursorPosVisible();
  UpdateLastCaretX();
}

// --- deletions

template <typename F>
void TCustomRidEder::EditStep(F&& Body) {
  DoOnPaintTransient(0);
  {
    TRidUndoBlock block(*this);
    TRidPaintLock lock(*this);
    TTrimAfterEdit trims(*this);
    // A caret put inside a character (InternalSetCaretXY, a column caret) acts after it, so that
    // no deletion splits the character.
    KeepSelectionOffTrailBytes(false);
    Body();
    trims.Finish();
  }
  DoOnPaintTransient(1);
}

void TCustomRidEder::DeleteRecorded(TBufferCoord From, TBufferCoord To, TRidChangeReason Reason) {
  FActiveSelectionMode = smNormal;
  SetSelectionRaw(From, To, From);
  std::string breaks;
  const std::string text = GetSelTextForUndo(breaks);
  SetSelTextPrimitiveEx(smNormal, {}, true);
  AddUndoItem(Reason, From, To, text, breaks, smNormal);
  FBlockBegin = FBlockEnd = GetCaretXY();
}

// ecClearAll: a macro or a key takes the text away as one step of its own that undo gives back,
// so the text stays modified and nothing unsaved is lost; the marks go with it. (ClearAll, which
// forgets the undo lists too, is for starting a new text.)
void TCustomRidEder::DeleteAll() {
  const int32_t count = FLines->GetCount();
  if (count > 1 || (count == 1 && !FLines->GetView(0).empty())) {
    EndUndoGroup();
    EditStep([this, count] {
      DeleteRecorded({1, 1}, {Len(FLines->GetView(count - 1)) + 1, count}, urDeleteAfter);
    });
  }
  FMarkList->ClearAll();
}

void TCustomRidEder::EndUndoGroup() {
  if (FOptions.Contains(eoGroupUndo) && FUndoList->CanUndo()) FUndoList->AddGroupBreak();
}

void TCustomRidEder::PadToCaret() {
  const int32_t x = FCaretX, len = Len(FLines->GetView(FCaretY - 1));
  if (x <= len + 1) return;
  InternalSetCaretX(len + 1);
  ReplaceSelectionRecorded(smNormal, std::string(x - 1 - len, ' '), urInsert);
}

void TCustomRidEder::DeleteLastChar() {
  EditStep([this] {
    if (SelAvail()) {
      SetSelText("");
      return;
    }
    if (FCaretY > FLines->GetCount()) return;
    const std::string line = FLines->Get(FCaretY - 1);
    const int32_t x = FCaretX, y = FCaretY;
    if (x > Len(line) + 1) {
      // In virtual space nothing is deleted: the caret goes back.
      TTempOption pastEol(*this, eoScrollPastEol, true);
      InternalSetCaretX(BackspaceInVirtualSpace(line));
    } else if (x == 1) {
      if (y > 1) DeleteRecorded({Len(FLines->GetView(y - 2)) + 1, y - 1}, {1, y}, urDeleteBefore);
    } else if (static_cast<uint8_t>(line[x - 2]) > 32 || x - 1 != LeftSpaces(line)) {
      // Whether the byte before the caret ends a double-byte character is read from the line's
      // start: a byte's value alone cannot tell.
      const int32_t n = IsTrailByteAt(line, x - 1) ? 2 : 1;
      DeleteRecorded({x - n, y}, {x, y}, urDeleteBefore);
    } else {
      DeleteRecorded({x - UnindentBytes(line, x), y}, {x, y}, urDeleteBefore);
      UpdateLastCaretX();
      StatusChanged({scCaretX});
    }
  });
  EnsureCursorPosVisible();
}

int32_t TCustomRidEder::BackspaceInVirtualSpace(std::string_view Line) {
  const int32_t x = FCaretX;
  if (!FOptions.Contains(eoSmartTabDelete)) return x - 1;
  if (!Line.empty()) return Len(Line) + 1;
  // To the indentation of the nearest line above that has less.
  for (int32_t i = FCaretY - 1; i >= 1; --i) {
    const std::string_view above = FLines->GetView(i - 1);
    const int32_t n =
        FOptions.Contains(eoTrimTrailingSpaces) ? LeftSpacesEx(above, true) : LeftSpaces(above);
    if (!above.empty() && n < x - 1) return n + 1;
  }
  return 1;
}

int32_t TCustomRidEder::UnindentBytes(std::string_view Line, int32_t Col) {
  const int32_t s = Col - 1;  // the caret stands right after the indentation
  if (FOptions.Contains(eoSmartTabDelete)) {
    int32_t target = 0;
    for (int32_t i = FCaretY - 1; i >= 1; --i) {
      const int32_t n = LeftSpaces(FLines->GetView(i - 1));
      if (n < s) {
        target = n;
        break;
      }
    }
    return s - target;
  }
  // Back to the previous tab stop: the spaces up to it, or up to and with a tab on the way.
  const int32_t disp = CharIndexToColumn(Col, FTabWidth, Line);
  int32_t d = (disp - 1) % FTabWidth;
  if (d == 0) d = FTabWidth;
  int32_t count = 0;
  for (int32_t p = CharAtColumn(Line, disp - d, FTabWidth); p < Col; ++p) {
    if (Line[p - 1] == '\t') {
      ++count;
      break;
    }
    if (count >= d) break;
    ++count;
  }
  return std::max(count, 1);
}

void TCustomRidEder::DeleteChar() {
  EditStep([this] {
    if (SelAvail()) {
      SetSelText("");
      return;
    }
    if (FCaretY > FLines->GetCount()) return;
    const std::string_view line = FLines->GetView(FCaretY - 1);
    const int32_t x = FCaretX, y = FCaretY;
    if (x <= Len(line)) {
      DeleteRecorded({x, y}, {x + CharLength(line, x), y}, urDeleteAfter);
    } else if (y < FLines->GetCount()) {
      // The next line joins at the caret: blanks fill the virtual space before it.
      PadToCaret();
      DeleteRecorded({x, y}, {1, y + 1}, urDeleteAfter);
    }
  });
}

void TCustomRidEder::DeleteToWordOrLineEnd(TRidEderorCommand Command) {
  if (FCaretY > FLines->GetCount()) return;
  EditStep([this, Command] {
    // The range the command takes replaces any selection; it starts where the caret may stand
    // (a redo can leave it past the line's end without eoScrollPastEol).
    SetCaretXY(GetCaretXY());
    const TBufferCoord caret = GetCaretXY();
    const std::string_view line = FLines->GetView(caret.Line - 1);
    const TBufferCoord target =
        Command == ecDeleteWord ? DeleteWordTarget(caret) : TBufferCoord{Len(line) + 1, caret.Line};
    // Virtual space before the target is kept: blanks fill it first.
    if (BufferCoordBefore(caret, target) &&
        (caret.Char <= Len(line) + 1 || target.Line > caret.Line)) {
      PadToCaret();
      DeleteRecorded(caret, target, urDeleteAfter);
    }
  });
}

TBufferCoord TCustomRidEder::DeleteWordTarget(TBufferCoord Caret) {
  TBufferCoord target = WordEnd();
  if (BufferCoordBefore(target, Caret) || (target == Caret && target.Line < FLines->GetCount())) {
    const std::string_view t = FLines->GetView(target.Line - 1);
    if (Len(t) >= target.Char) {
      if (t[target.Char - 1] != ' ') target.Char += CharLength(t, target.Char);
    } else if (target.Line < FLines->GetCount()) {
      target = {1, target.Line + 1};
    }
  }
  const std::string_view t = FLines->GetView(target.Line - 1);
  while (target.Char <= Len(t) && t[target.Char - 1] == ' ') ++target.Char;
  return target;
}

void TCustomRidEder::DeleteToWordOrLineStart(TRidEderorCommand Command) {
  if (FCaretY > FLines->GetCount()) return;
  EditStep([this, Command] {
    // The range the command takes replaces any selection; it starts where the caret may stand
    // (a redo can leave it past the line's end without eoScrollPastEol).
    SetCaretXY(GetCaretXY());
    const TBufferCoord caret = GetCaretXY();
    const TBufferCoord target =
        Command == ecDeleteLastWord ? PrevWordPos() : TBufferCoord{1, caret.Line};
    // Virtual space holds nothing to delete.
    const TBufferCoord end{std::min(caret.Char, Len(FLines->GetView(caret.Line - 1)) + 1),
                           caret.Line};
    if (BufferCoordBefore(target, end)) {
      DeleteRecorded(target, end, urDeleteBefore);
    } else if (!(target == caret)) {
      TTempOption pastEol(*this, eoScrollPastEol, true);
      SetCaretXY(target);
    }
  });
}

void TCustomRidEder::DeleteLine() {
  const int32_t count = FLines->GetCount(), y = FCaretY;
  if (count == 0 || y > count || (y == count && FLines->GetView(y - 1).empty())) return;
  EditStep([&] {
    if (y == count) {
      DeleteRecorded({1, y}, {Len(FLines->GetView(y - 1)) + 1, y}, urDeleteAfter);
      return;
    }
    std::string breaks;
    NoteBreak(&breaks, y);
    const std::string text = FLines->Get(y - 1) + "\r\n";
    FLines->Delete(y - 1);
    AddUndoItem(urDeleteAfter, {1, y}, {1, y + 1}, text, breaks, smNormal);
    // Marks below follow their text; one on the deleted line goes to the line above, or on
    // line 1 stays there, with the next line's text.
    DoLinesDeleted(std::max(y - 1, 1), 1);
  });
  SetCaretXY({1, y});
}

// --- Tab and Shift+Tab

int32_t TCustomRidEder::CaretColumn() {
  const std::string_view line = LineView(FCaretY);
  return CharIndexToColumn(FCaretX, FTabWidth, line);
}

int32_t TCustomRidEder::SmartTabDistance() {
  const int32_t disp = CaretColumn();
  for (int32_t i = FCaretY - 1; i >= 1; --i) {
    const std::string_view above = FLines->GetView(i - 1);
    if (CharIndexToColumn(Len(above) + 1, FTabWidth, above) <= disp) continue;
    int32_t p = CharAtColumn(above, disp, FTabWidth);
    while (p <= Len(above) && !IsBlank(above[p - 1])) p += CharLength(above, p);
    while (p <= Len(above) && IsBlank(above[p - 1])) ++p;
    return CharIndexToColumn(p, FTabWidth, above) - disp;
  }
  return 0;
}

int32_t TCustomRidEder::SmartShiftTabColumn() {
  const int32_t disp = CaretColumn();
  for (int32_t i = FCaretY - 1; i >= 1; --i) {
    const std::string_view above = FLines->GetView(i - 1);
    if (CharIndexToColumn(Len(above) + 1, FTabWidth, above) < disp) continue;  // too short
    // Back over blanks, then to the start of the word before them.
    int32_t p = CharAtColumn(above, disp - 1, FTabWidth);
    while (p > 1 && above[p - 1] == ' ') --p;
    while (p > 1 && above[p - 2] != ' ') --p;
    return CharIndexToColumn(p, FTabWidth, above);
  }
  return 0;
}

void TCustomRidEder::DoTabKey() {
  if (GetReadOnly()) return;
  if (FOptions.Contains(eoTabIndent) && (SelAvailMultiLine() || IsSelectionWholeLines())) {
    const bool wholeLines = IsSelectionWholeLines();
    DoBlockIndent();
    if (wholeLines) {
      TBufferCoord b = FBlockBegin, e = FBlockEnd;
      (b.Char < e.Char ? b : e).Char = 1;
      SetCaretAndSelection(GetCaretXY(), b, e);
    }
    return;
  }
  const int32_t smart = FOptions.Contains(eoSmartTabs) && FCaretY > 1 ? SmartTabDistance() : 0;
  TRidUndoBlock block(*this);
  TRidPaintLock lock(*this);
  if (SelAvail()) ReplaceSelectionRecorded(FActiveSelectionMode, {}, urInsert);
  if (FLines->GetCount() == 0) FLines->Add("");
  const std::string_view line = FLines->GetView(FCaretY - 1);
  const int32_t disp = CaretColumn();
  const int32_t toNextStop = FTabWidth - (disp - 1) % FTabWidth;
  const int32_t distance = smart > 0 ? smart : toNextStop;
  std::string text;
  if (FOptions.Contains(eoTabsToSpaces)) {
    text.assign(distance, ' ');
  } else if (FOptions.Contains(eoTrimTrailingSpaces) && FCaretX > Len(line)) {
    // Blanks at the line end would be trimmed: the caret only moves.
    SetCaretAfterTrimmedBlanks(FCaretX + (smart > 0 ? smart : toNextStop));
    FBlockBegin = FBlockEnd = GetCaretXY();
    return;
  } else if (smart > 0 && StringIsBlank(line.substr(0, std::min(FCaretX - 1, Len(line))))) {
    // Tabs while a whole tab stop fits before the target, then spaces.
    int32_t d = disp;
    const int32_t target = disp + smart;
    while (d + (FTabWidth - (d - 1) % FTabWidth) <= target) {
      text += '\t';
      d += FTabWidth - (d - 1) % FTabWidth;
    }
    text.append(target - d, ' ');
  } else {
    text = "\t";
  }
  ReplaceSelectionRecorded(smNormal, text, urInsert);
  EnsureCursorPosVisible();
}

void TCustomRidEder::DoShiftTabKey() {
  if (GetReadOnly()) return;
  if (FOptions.Contains(eoTabIndent) && (SelAvailMultiLine() || IsSelectionWholeLines())) {
    DoBlockUnindent();
    return;
  }
  if (FCaretY > FLines->GetCount()) return;
  const std::string_view line = FLines->GetView(FCaretY - 1);
  const int32_t x = FCaretX, len = Len(line);
  // Only the blanks right before the caret (and virtual space) can go.
  const int32_t blanks = x > len + 1 ? BlankRunStart(line, len + 1) : BlankRunStart(line, x);
  int32_t target = FOptions.Contains(eoSmartTabs) && x > 1 ? SmartShiftTabColumn() : 0;
  if (target == 0) {
    const int32_t disp = CaretColumn();
    target = disp < 2 ? 1 : (disp - 2) / FTabWidth * FTabWidth + 1;
  }
  int32_t to = x;
  while (to > blanks && CharIndexToColumn(to - 1, FTabWidth, line) >= target) {
    --to;
    if (to <= len && line[to - 1] == '\t') break;  // a tab reaches the stop by itself
  }
  if (to == x) return;
  EditStep([&] {
    const int32_t y = FCaretY, end = std::min(x, len + 1);
    if (to < end) DeleteRecorded({to, y}, {end, y}, urDeleteBefore);
  });
  // The deletion may have joined a lone lead byte before the blanks to the byte after them.
  MoveOffTrailByte(FCaretY, to);
  TTempOption pastEol(*this, eoScrollPastEol, true);
  SetCaretXY({to, FCaretY});
}

}  // namespace rid
