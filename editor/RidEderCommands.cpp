// The command road: events and hooks around each command, and what the moves, modes and other
// commands that do not type or delete text do (RidEderEditing.cpp has those).
#include <algorithm>
#include <optional>

#include "editor/RidEder.h"

namespace rid {

namespace {

bool IsSelectionCommand(TRidEderorCommand C) { return C >= ecSelection && C < ecSelWord; }

}  // namespace

// --- the road

void TCustomRidEder::CommandProcessor(TRidEderorCommand Command, char AChar, void* Data) {
  const std::weak_ptr<const char> alive = AliveToken();
  DoOnProcessCommand(Command, AChar, Data);
  if (alive.expired()) return;
  if (Command != ecNone) {
    NotifyHookedCommandHandlers(false, Command, AChar, Data);
    if (alive.expired()) return;
    if (Command != ecNone && Command < ecUserFirst) {
      ExecuteCommand(Command, AChar, Data);
      if (alive.expired()) return;
    }
    if (Command != ecNone) {
      NotifyHookedCommandHandlers(true, Command, AChar, Data);
      if (alive.expired()) return;
    }
  }
  DoOnCommandProcessed(Command, AChar, Data);
}

void TCustomRidEder::DoOnProcessCommand(TRidEderorCommand& Command, char& AChar, void* Data) {
  if (Command >= ecUserFirst) {
    if (OnProcessUserCommand) OnProcessUserCommand(this, Command, AChar, Data);
  } else if (OnProcessCommand) {
    OnProcessCommand(this, Command, AChar, Data);
  }
}

void TCustomRidEder::DoOnCommandProcessed(TRidEderorCommand Command, char AChar, void* Data) {
  if (OnCommandProcessed) OnCommandProcessed(this, Command, AChar, Data);
}

void TCustomRidEder::NotifyHookedCommandHandlers(bool AfterProcessing, TRidEderorCommand& Command,
                                                 char& AChar, void* Data) {
  if (FHookedCommandHandlers.empty()) return;
  const std::weak_ptr<const char> alive = AliveToken();
  bool handled = false;
  // A hook may unregister hooks (itself too) or free the control: the ones still registered
  // when their turn comes are called.
  const std::vector<THookedCommandHandlerEntry> hooks = FHookedCommandHandlers;
  for (const THookedCommandHandlerEntry& h : hooks) {
    if (FindHookedCmdEvent(h.Event) < 0) continue;
    h.Event(this, AfterProcessing, handled, Command, AChar, Data, h.Data);
    if (alive.expired()) return;
  }
  if (handled) Command = ecNone;
}

void TCustomRidEder::RegisterCommandHandler(THookedCommandEvent AHandlerProc, void* AHandlerData) {
  if (!AHandlerProc || FindHookedCmdEvent(AHandlerProc) >= 0) return;
  FHookedCommandHandlers.push_back({AHandlerProc, AHandlerData});
}

void TCustomRidEder::UnregisterCommandHandler(THookedCommandEvent AHandlerProc) {
  if (!AHandlerProc) return;
  const int32_t i = FindHookedCmdEvent(AHandlerProc);
  if (i >= 0) FHookedCommandHandlers.erase(FHookedCommandHandlers.begin() + i);
}

int32_t TCustomRidEder::FindHookedCmdEvent(const THookedCommandEvent& AHandlerProc) const {
  for (int32_t i = static_cast<int32_t>(FHookedCommandHandlers.size()) - 1; i >= 0; --i)
    if (FHookedCommandHandlers[i].Event == AHandlerProc) return i;
  return -1;
}

// --- execution

void TCustomRidEder::ExecuteCommand(TRidEderorCommand Command, char AChar, void* Data) {
  TRidPaintLock lock(*this);
  // A lead byte typed alone waits for the next character or input-method result; before anything
  // else it goes in alone and undoes with that command. A text made read-only meanwhile takes
  // nothing: the byte is dropped.
  std::optional<TRidUndoBlock> withLead;
  if (FPendingLeadByte >= 0 && ((Command != ecChar && Command != ecImeStr) || GetReadOnly())) {
    withLead.emplace(*this);
    PutPendingLeadByte();
  }
  if (Command < ecSelWord) {
    ExecuteMoveCommand(Command, Data);
    return;
  }
  if (ExecuteEditCommand(Command, AChar, Data)) return;
  switch (Command) {
    case ecSelWord:
      SetWordBlock(GetCaretXY());
      break;
    case ecSelectAll:
      SelectAll();
      break;
    case ecCopy:
      CopyToClipboard();
      break;
    case ecScrollUp:
    case ecScrollDown:
      ScrollByRow(Command);
      break;
    case ecScrollLeft:
    case ecScrollRight:
      SetLeftChar(FLeftChar + (Command == ecScrollLeft ? -1 : 1));
      Update();
      break;
    case ecInsertMode:
      SetInsertMode(true);
      break;
    case ecOverwriteMode:
      SetInsertMode(false);
      break;
    case ecToggleMode:
      SetInsertMode(!FInsertMode);
      break;
    case ecNormalSelect:
      SetSelectionMode(smNormal);
      break;
    case ecColumnSelect:
      SetSelectionMode(smColumn);
      break;
    case ecLineSelect:
      SetSelectionMode(smLine);
      break;
    case ecMatchBracket:
      FindMatchingBracket();
      break;
    case ecContextHelp:
      if (OnContextHelp) OnContextHelp(this, GetWordAtCaret());
      break;
    default:
      if (Command >= ecGotoMarker0 && Command <= ecGotoMarker9 && FBookMarkOpt->GetEnableKeys())
        GotoBookMark(Command - ecGotoMarker0);
      else if (Command >= ecSetMarker0 && Command <= ecSetMarker9 && FBookMarkOpt->GetEnableKeys())
        ToggleBookMark(Command - ecSetMarker0, static_cast<const TBufferCoord*>(Data));
      break;
  }
}

void TCustomRidEder::ExecuteMoveCommand(TRidEderorCommand Command, void* Data) {
  const bool sel = IsSelectionCommand(Command);
  const TRidEderorCommand move = sel ? Command - ecSelection : Command;
  const TBufferCoord caret = GetCaretXY();
  switch (move) {
    case ecLeft:
    case ecRight:
      MoveCaretHorz(move == ecLeft ? -1 : 1, sel);
      break;
    case ecUp:
    case ecDown:
      MoveCaretVert(move == ecUp ? -1 : 1, sel);
      Update();
      break;
    case ecWordLeft:
      MoveCaretAndSelection(caret, PrevWordPos(), sel);
      break;
    case ecWordRight:
      MoveCaretAndSelection(caret, NextWordPos(), sel);
      break;
    case ecLineStart:
      DoHomeKey(sel);
      break;
    case ecLineEnd:
      DoEndKey(sel);
      break;
    case ecPageUp:
    case ecPageDown:
      MovePage(Command);
      break;
    case ecPageLeft:
    case ecPageRight:
      MoveCaretHorz(move == ecPageLeft ? -FCharsInWindow : FCharsInWindow, sel);
      break;
    case ecPageTop:
    case ecPageBottom: {
      int32_t row = move == ecPageTop ? FTopLine : FTopLine + std::max(FLinesInWindow, 1) - 1;
      // Rows below the text's end are its last row, whose column is then found on that row.
      row = std::min(row, std::max(DisplayLineCount(), 1));
      MoveCaretAndSelection(caret, DisplayToBufferPos({GetDisplayX(), row}), sel);
      Update();
      break;
    }
    case ecEditorTop:
    case ecEditorBottom: {
      const int32_t count = FLines->GetCount();
      TBufferCoord to{1, 1};
      if (move == ecEditorBottom && count > 0)
        to = {static_cast<int32_t>(FLines->GetView(count - 1).size()) + 1, count};
      MoveCaretAndSelection(caret, to, sel);
      Update();
      break;
    }
    case ecGotoXY: {
      if (!Data) break;
      TBufferCoord to = *static_cast<const TBufferCoord*>(Data);
      // A line outside the text (a macro file can hold any) is the nearest one, as the caret
      // takes it, before the column moves off a trail byte of that line.
      to.Line = std::clamp(to.Line, 1, std::max(FLines->GetCount(), 1));
      MoveOffTrailByte(to.Line, to.Char);
      MoveCaretAndSelection(caret, to, sel);
      Update();
      break;
    }
    default:
      break;
  }
}

void TCustomRidEder::MovePage(TRidEderorCommand Command) {
  int32_t n = FLinesInWindow;
  if (FOptions.Contains(eoHalfPageScroll)) n >>= 1;
  if (FOptions.Contains(eoScrollByOneLess)) --n;
  if (Command == ecPageUp || Command == ecSelPageUp) n = -n;
  SetTopLine(FTopLine + n);
  MoveCaretVert(n, Command == ecSelPageUp || Command == ecSelPageDown);
  Update();
}

void TCustomRidEder::ScrollByRow(TRidEderorCommand Command) {
  const int32_t row = GetDisplayY();
  if (row < FTopLine || row > FTopLine + FLinesInWindow - 1) {
    EnsureCursorPosVisible();
    return;
  }
  SetTopLine(FTopLine + (Command == ecScrollUp ? -1 : 1));
  // The caret stays on the rows shown.
  const int32_t last = FTopLine + std::max(FLinesInWindow, 1) - 1;
  if (row > last)
    MoveCaretVert(last - row, false);
  else if (row < FTopLine)
    MoveCaretVert(FTopLine - row, false);
  EnsureCursorPosVisible();
  Update();
}

void TCustomRidEder::ToggleBookMark(int32_t BookMark, const TBufferCoord* At) {
  TBufferCoord p = At ? *At : GetCaretXY();
  MoveOffTrailByte(p.Line, p.Char);
  int32_t x, y;
  if (!GetBookMark(BookMark, x, y)) {
    SetBookMark(BookMark, p.Char, p.Line);
    return;
  }
  ClearBookMark(BookMark);
  if (y != p.Line) SetBookMark(BookMark, p.Char, p.Line);
}

void TCustomRidEder::ClearAll() {
  TRidPaintLock lock(*this);
  FLines->Clear();
  FMarkList->ClearAll();
  ClearUndo();
  SetModified(false);
}

}  // namespace rid
