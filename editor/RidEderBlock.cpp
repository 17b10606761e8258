// Block indent and unindent of the selected lines, and case changes of a word or a block.
#include <algorithm>
#include <tuple>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Locale.h"

namespace rid {

namespace {

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }

// A single-byte character in the case a command asks for; First: whether it is the first
// character of the text (title case).
char InCase(char C, TRidEderorCommand Cmd, bool First) {
  const bool upper = Cmd == ecUpperCase || Cmd == ecUpperCaseBlock ||
                     (Cmd == ecTitleCase && First) ||
                     ((Cmd == ecToggleCase || Cmd == ecToggleCaseBlock) && IsCharLowerA(C));
  const bool lower = Cmd == ecLowerCase || Cmd == ecLowerCaseBlock ||
                     (Cmd == ecTitleCase && !First) ||
                     ((Cmd == ecToggleCase || Cmd == ecToggleCaseBlock) && IsCharUpperA(C));
  if (upper) CharUpperBuffA(&C, 1);
  if (lower) CharLowerBuffA(&C, 1);
  return C;
}

// Bytes [From, To) of Line in the case a command asks for, walking the line by character from
// From, a character start: a trail byte is never taken for a letter and a lone lead byte is a
// character of its own. A letter is never a lead byte and both its cases can trail, so the
// change leaves every character as long as it was. First is passed on from line to line.
std::string InCase(std::string_view Line, size_t From, size_t To, TRidEderorCommand Cmd,
                   bool& First) {
  std::string out(Line.substr(From, To - From));
  for (size_t i = From; i < To; i += SjisCharLength(Line, i), First = false)
    if (SjisCharLength(Line, i) == 1) out[i - From] = InCase(Line[i], Cmd, First);
  return out;
}

}  // namespace

int32_t TCustomRidEder::UnindentWidth(int32_t Line, int32_t& Col) {
  if (Line < 1 || Line > FLines->GetCount()) return 0;
  const std::string_view s = FLines->GetView(Line - 1);
  if (IsTrailByteAt(s, Col)) ++Col;
  // One tab, or up to a tab width of spaces and a tab after fewer.
  if (Col > Len(s)) return 0;
  if (s[Col - 1] == '\t') return 1;
  int32_t n = 0;
  while (n < FTabWidth && Col - 1 + n < Len(s) && s[Col - 1 + n] == ' ') ++n;
  if (n < FTabWidth && Col - 1 + n < Len(s) && s[Col - 1 + n] == '\t') ++n;
  return n;
}

TBufferCoord TCustomRidEder::AfterUnindent(TBufferCoord P, int32_t FirstLine,
                                           const std::vector<int32_t>& Widths) const {
  const int32_t k = P.Line - FirstLine;
  if (k >= 0 && k < static_cast<int32_t>(Widths.size()) && P.Char > 1)
    P.Char = std::max(1, P.Char - Widths[k]);
  return P;
}

void TCustomRidEder::DoBlockIndent() {
  if (GetReadOnly() || !SelAvail()) return;
  const TRidSelectionMode mode = FActiveSelectionMode;
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const TBufferCoord caret = GetCaretXY();
  const std::string indent =
      FOptions.Contains(eoTabsToSpaces) ? std::string(FTabWidth, ' ') : std::string("\t");
  const int32_t n = Len(indent);
  // A selection that ends at column 1 leaves that line alone.
  const int32_t lastLine = std::min(e.Char == 1 ? e.Line - 1 : e.Line, FLines->GetCount());
  if (lastLine < b.Line) return;
  std::string text;
  for (int32_t line = b.Line; line <= lastLine; ++line) {
    text += indent;
    if (line < lastLine) text += "\r\n";
  }
  const int32_t column = mode == smColumn ? std::min(b.Char, e.Char) : 1;
  {
    TRidUndoBlock block(*this);
    TRidPaintLock lock(*this);
    TTrimAfterEdit trims(*this);
    // The selection before and after, so that undo and redo show it where it was.
    FUndoList->AddChange(urIndent, b, e, "", mode);
    InsertBlock({column, b.Line}, {column, lastLine}, text, true);
    FUndoList->AddChange(urIndent, {b.Char + n, b.Line}, {e.Char + (e.Char > 1 ? n : 0), e.Line},
                         "", mode);
    trims.Finish();
  }
  const TBufferCoord newCaret{e.Char == 1 ? 1 : caret.Char + n, caret.Line};
  if (e.Char > 1) e.Char += n;
  b.Char += n;
  FActiveSelectionMode = mode;
  SetCaretAndSelection(newCaret, b, e);
  KeepSelectionOffTrailBytes(false);
}

void TCustomRidEder::DoBlockUnindent() {
  if (GetReadOnly() || !SelAvail()) return;
  const TRidSelectionMode mode = FActiveSelectionMode;
  const TBufferCoord b = GetBlockBegin(), e = GetBlockEnd(), caret = GetCaretXY();
  const int32_t lastLine = std::min(e.Char == 1 ? e.Line - 1 : e.Line, FLines->GetCount());
  const int32_t column = mode == smColumn ? std::min(b.Char, e.Char) : 1;
  std::vector<int32_t> widths;
  std::string removed, shifts;
  {
    TRidUndoBlock block(*this);
    TRidPaintLock lock(*this);
    for (int32_t line = b.Line; line <= lastLine; ++line) {
      int32_t col = column;
      const int32_t w = UnindentWidth(line, col);
      widths.push_back(w);
      shifts += static_cast<char>(col - column);
      if (line > b.Line) removed += "\r\n";
      if (w == 0) continue;
      std::string s = FLines->Get(line - 1);
      removed += s.substr(col - 1, w);
      s.erase(col - 1, w);
      FLines->Put(line - 1, s);
    }
    if (removed.find_first_not_of("\r\n") == std::string::npos) return;
    // Where each row's blanks were, as undo cannot tell once a lone lead byte met the byte after
    // them (see GetColumnText).
    if (shifts.find('\1') == std::string::npos) shifts.clear();
    AddUndoItem(urUnindent, b, e, removed, shifts, mode);
  }
  // Each end keeps its place in the text of its own line.
  if (mode == smColumn)
    SetCaretAndSelection(caret, b, e);
  else
    SetCaretAndSelection(AfterUnindent(caret, b.Line, widths), AfterUnindent(b, b.Line, widths),
                         AfterUnindent(e, b.Line, widths));
  FActiveSelectionMode = mode;
  KeepSelectionOffTrailBytes(false);
}

void TCustomRidEder::DoCaseChange(TRidEderorCommand Cmd) {
  RID_ASSERT((Cmd >= ecUpperCase && Cmd <= ecTitleCase) ||
             (Cmd >= ecUpperCaseBlock && Cmd <= ecToggleCaseBlock));
  if (GetReadOnly()) return;
  const bool wordCommand = Cmd <= ecTitleCase;
  // A caret put inside a character acts after it, as in an edit, whatever the selection mode:
  // the character to the right is then one of its own, never its trail byte.
  KeepSelectionOffTrailBytes(false);
  const TBufferCoord caret = GetCaretXY();
  const bool hadSelection = SelAvail();
  const TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const TRidSelectionMode mode = FActiveSelectionMode;
  // Where caret and selection go afterwards, also when the change fails.
  auto restore = [&] {
    TRidPaintLock lock(*this);
    if (wordCommand) {
      SetCaretAndSelection(caret, caret, caret);
    } else if (hadSelection) {
      FActiveSelectionMode = mode;
      SetCaretAndSelection(caret, b, e);
    } else {
      SetCaretAndSelection(GetCaretXY(), GetCaretXY(), GetCaretXY());
    }
    KeepSelectionOffTrailBytes(false);
  };
  try {
    TRidPaintLock lock(*this);
    if (wordCommand) {
      FBlockBegin = FBlockEnd = caret;  // the word, not what was selected
      SetWordBlock(caret);
      for (int i = 0; i < 2 && !SelAvail(); ++i) {
        InternalSetCaretXY(PrevWordPos());
        SetWordBlock(GetCaretXY());
      }
      FActiveSelectionMode = smNormal;
    } else if (!hadSelection) {
      const int32_t len =
          caret.Line <= FLines->GetCount() ? Len(FLines->GetView(caret.Line - 1)) : 0;
      if (caret.Char > len) {
        if (caret.Line < FLines->GetCount()) InternalSetCaretXY({1, caret.Line + 1});
      } else {
        MoveCaretHorz(1, true);
        FActiveSelectionMode = smNormal;  // one character, whatever the selection mode
      }
    }
    if (SelAvail())
      ChangeCaseOfSelection(Cmd, hadSelection ? b : caret, hadSelection ? e : caret, mode, caret);
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

std::pair<int32_t, int32_t> TCustomRidEder::SelectedBytes(int32_t Line) {
  const TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const int32_t len = Len(FLines->GetView(Line - 1));
  int32_t from = 1, to = len + 1;
  if (FActiveSelectionMode == smNormal) {
    if (Line == b.Line) from = b.Char;
    if (Line == e.Line) to = e.Char;
  } else if (FActiveSelectionMode == smColumn) {
    std::tie(from, to) = ColumnBytes(Line);
  }
  from = std::min(from, len + 1);
  return {from - 1, std::max(from, std::min(to, len + 1)) - 1};
}

// Each changed line gets one hit, from its first changed byte to its last, so that undo and redo
// put back the very bytes and nothing moves.
void TCustomRidEder::ChangeCaseOfSelection(TRidEderorCommand Cmd, TBufferCoord WasBegin,
                                           TBufferCoord WasEnd, TRidSelectionMode WasMode,
                                           TBufferCoord Caret) {
  const TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  const int32_t lastLine = std::min(e.Line, FLines->GetCount());
  auto edits = std::make_shared<TRidLineEdits>();
  bool first = true, blanksToTrim = false;
  for (int32_t line = b.Line; line <= lastLine; ++line) {
    const std::string_view old = FLines->GetView(line - 1);
    const auto [from, to] = SelectedBytes(line);
    const std::string now = InCase(old, from, to, Cmd, first);
    const std::string_view was = old.substr(from, to - from);
    // The option trims every line of the selection, as any edit of the selection stores them.
    blanksToTrim = blanksToTrim || (FOptions.Contains(eoTrimTrailingSpaces) && !old.empty() &&
                                    (old.back() == ' ' || old.back() == '\t'));
    size_t p = 0, q = now.size();
    while (p < q && now[p] == was[p]) ++p;
    while (q > p && now[q - 1] == was[q - 1]) --q;
    if (p == q) continue;
    edits->BeginLine(line - 1);
    edits->AddHit(from + static_cast<int32_t>(p), was.substr(p, q - p),
                  std::string_view(now).substr(p, q - p));
  }
  if (edits->Empty() && !blanksToTrim) return;  // nothing changes: no step to undo
  TRidUndoBlock block(*this);
  FUndoList->AddChange(urSelection, WasBegin, WasEnd, "", WasMode);
  FUndoList->AddChange(urCaret, Caret, Caret, "", WasMode);
  TTrimAfterEdit trims(*this);
  if (!edits->Empty()) {
    PutLineEdits(*edits, true);
    FUndoList->AddLineEdits(std::move(edits), b, e);
  }
  if (FTrimAfterEdit)
    for (int32_t line = b.Line; line <= lastLine; ++line) FTrimAfterEdit->Note(line - 1);
  trims.Finish();
}

}  // namespace rid
