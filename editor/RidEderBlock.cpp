// Block indent and unindent of the selected lines, and case changes of a word or a block.
#include <algorithm>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "platform/Locale.h"

namespace rid {

namespace {

int32_t Len(std::string_view S) { return static_cast<int32_t>(S.size()); }

bool IsAsciiLetter(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }

char ToggledCase(char C) {
  if (!IsAsciiLetter(C)) return C;
  return C >= 'a' ? static_cast<char>(C - 'a' + 'A') : static_cast<char>(C - 'A' + 'a');
}

// Text in the case a command asks for; only single-byte letters change, walking by character
// so that a trail byte is never taken for a letter.
std::string InCase(std::string_view Text, TRidEderorCommand Cmd) {
  switch (Cmd) {
    case ecUpperCase:
    case ecUpperCaseBlock:
      return AnsiUpperCase(Text);
    case ecLowerCase:
    case ecLowerCaseBlock:
      return AnsiLowerCase(Text);
    default:
      break;
  }
  std::string s(Text);
  bool first = true;
  for (size_t i = 0; i < s.size(); first = false) {
    if (SjisCharLength(s, i) == 2) {
      i += 2;
      continue;
    }
    if (Cmd == ecTitleCase)
      s[i] = first ? AnsiUpperCase(s.substr(i, 1))[0] : AnsiLowerCase(s.substr(i, 1))[0];
    else
      s[i] = ToggledCase(s[i]);
    ++i;
  }
  return s;
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
    // them (see GetColumnDeletionText).
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
    if (SelAvail()) {
      // Column rows unpadded and breaks of their own kinds, so that only letters change.
      std::string breaks;
      const std::string text = GetSelTextForUndo(breaks);
      TRidUndoBlock block(*this);
      FUndoList->AddChange(urSelection, hadSelection ? b : caret, hadSelection ? e : caret, "",
                           mode);
      FUndoList->AddChange(urCaret, caret, caret, "", mode);
      TInsertBreaks kinds(*this, breaks);
      SetSelText(InCase(text, Cmd));
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

}  // namespace rid
