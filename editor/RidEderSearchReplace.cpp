// Search and replace in the control: the search range, the walk over its lines with the search
// engine, the prompt, and the replace-all run with its progress window.
#include <algorithm>
#include <exception>
#include <memory>
#include <optional>
#include <string_view>

#include "editor/Progress.h"
#include "editor/RidEder.h"

namespace rid {

namespace {

// (A loop: replacements are short, and this runs for every hit.)
bool HasLineBreak(std::string_view S) {
  return std::any_of(S.begin(), S.end(), [](char C) { return C == '\r' || C == '\n'; });
}

// Where the caret stands after S went in at From.
TBufferCoord EndOfInsertion(TBufferCoord From, std::string_view S) {
  if (!HasLineBreak(S)) return {From.Char + static_cast<int32_t>(S.size()), From.Line};
  size_t at = 0, length = 0, rowStart = 0;
  uint8_t kind = 0;
  while ((at = FindLineBreak(S, at, length, kind)) != std::string_view::npos) {
    rowStart = at += length;
    ++From.Line;
    From.Char = 1;
  }
  From.Char += static_cast<int32_t>(S.size() - rowStart);
  return From;
}

}  // namespace

// One call of SearchReplace. Its destructor is the step that always runs: it hides the progress
// window, gives back both cursors, releases the paint lock and the undo block and sends the
// transient paint for after, also when an exception passes.
struct TCustomRidEder::TSearchRun {
  TSearchRun(TCustomRidEder& AEder, const std::string& ASearch, const std::string& AReplace,
             TRidSearchOptions AOptions);
  ~TSearchRun() noexcept(false);
  int32_t Execute();

 private:
  void SetRange();
  int32_t LineLength(int32_t Line) const;
  bool InRange(int32_t Line, int32_t Col, int32_t Len) const;
  bool WalkLines();
  bool SearchLine(int32_t& Line);
  void ReplaceLines(int32_t From);
  void CollectHits(int32_t Line, TRidLineEdits& Edits);
  void FollowHit(int32_t Line, int32_t Col, int32_t Len, std::string_view With, bool Changes);
  void PutEdits(std::shared_ptr<TRidLineEdits> Edits);
  void ShowWalkEnd();
  void SelectHit(int32_t Line, int32_t Col, int32_t Len);
  void ReplaceHit(int32_t Index, int32_t& Line, int32_t Col, int32_t Len, int32_t& Offset,
                  bool MoreToCome);
  void FinishHeldTrims();
  void SelectRest(TBufferCoord From);
  void StartReplaceAll();
  void ShowBusy();
  void EndBusy();

  TCustomRidEder& Ed;
  TRidEderSearchCustom& Engine;
  const std::string& Search;
  const std::string& Replacement;
  TRidSearchOptions Options;
  bool Backwards, Prompt, Replacing, ReplaceAll, SelectedOnly;
  bool ColumnRange = false;  // selected text only in a column selection: a range of columns
  bool LineRange = false;    // selected text only in a line selection: whole lines
  TBufferCoord PtStart{1, 1}, PtEnd{1, 1};
  TBufferCoord FirstHit{0, 0}, FirstHitEnd{0, 0};  // of ReplaceLines: what undo selects again
  // ReplaceLines follows the walk hit by hit in the coordinates of after each replacement: the
  // last hit's line, where the caret stands, the lines added so far, the columns the hits still
  // to come on a line moved going forwards, the top line and the line count.
  int32_t LastHitLine = 0;
  TBufferCoord WalkCaret{1, 1};
  int32_t Gained = 0, Shift = 0;
  int32_t ViewTop = 1, ViewLines = 0;
  // The trims of a line waiting for the replacement of its last hit: trimming before would take
  // away blanks that hits still to come lie in (or after, going forwards).
  std::optional<TTrimAfterEdit> HeldTrims;
  int32_t Result = 0;
  // What the always-run step gives back.
  int Uncaught;
  bool TransientSent = false;
  bool Locked = false;
  bool BlockOpen = false;
  bool ProgressShown = false;
  bool Busy = false;
  TCursor OldCursor = crDefault, OldScreenCursor = crDefault;
};

TCustomRidEder::TSearchRun::TSearchRun(TCustomRidEder& AEder, const std::string& ASearch,
                                       const std::string& AReplace, TRidSearchOptions AOptions)
    : Ed(AEder),
      Engine(*AEder.FSearchEngine),
      Search(ASearch),
      Replacement(AReplace),
      Options(AOptions),
      Uncaught(std::uncaught_exceptions()) {
  if (!Ed.SelAvail()) Options.Exclude(ssoSelectedOnly);
  // A read-only text is searched but never changed: the hit is found and selected.
  if (Ed.GetReadOnly()) {
    Options.Exclude(ssoReplace);
    Options.Exclude(ssoReplaceAll);
  }
  Backwards = Options.Contains(ssoBackwards);
  Prompt = Options.Contains(ssoPrompt);
  Replacing = Options.Contains(ssoReplace);
  ReplaceAll = Options.Contains(ssoReplaceAll);
  SelectedOnly = Options.Contains(ssoSelectedOnly);
  ColumnRange = SelectedOnly && Ed.FActiveSelectionMode == smColumn;
  LineRange = SelectedOnly && Ed.FActiveSelectionMode == smLine;
}

TCustomRidEder::TSearchRun::~TSearchRun() noexcept(false) {
  // Every step runs; the first failure is raised after them unless one is already in flight.
  std::exception_ptr first;
  auto step = [&](auto&& Fn) {
    try {
      Fn();
    } catch (...) {
      if (!first) first = std::current_exception();
    }
  };
  step([&] { EndBusy(); });
  if (Locked) step([&] { Ed.DecPaintLock(); });
  if (BlockOpen) step([&] { Ed.EndUndoBlock(); });
  if (TransientSent) step([&] { Ed.DoOnPaintTransient(1); });
  if (first && std::uncaught_exceptions() == Uncaught) std::rethrow_exception(first);
}

int32_t TCustomRidEder::TSearchRun::Execute() {
  // The rows of a column range would no longer line up under a replacement that adds lines.
  if (ColumnRange && (Replacing || ReplaceAll) && HasLineBreak(Replacement))
    throw ERidEderError("A replacement holding a line break cannot go into a column selection");
  SetRange();
  Engine.SetOptions(Options);
  Engine.SetPattern(Search);
  Ed.DoOnPaintTransient(0);
  TransientSent = true;
  if (ReplaceAll && !Prompt) {
    Ed.IncPaintLock();
    Locked = true;
    Ed.BeginUndoBlock();
    BlockOpen = true;
  }
  if (!WalkLines()) return Result;
  if (ReplaceAll) {
    EndBusy();
    MessageBeep(64);
  }
  return Result;
}

int32_t TCustomRidEder::TSearchRun::LineLength(int32_t Line) const {
  return static_cast<int32_t>(Ed.FLines->GetView(Line - 1).size());
}

void TCustomRidEder::TSearchRun::SetRange() {
  if (SelectedOnly) {
    PtStart = Ed.GetBlockBegin();
    PtEnd = Ed.GetBlockEnd();
    if (LineRange) {
      PtStart.Char = 1;
      PtEnd.Char = LineLength(PtEnd.Line) + 1;
    } else if (ColumnRange && PtStart.Char > PtEnd.Char) {
      std::swap(PtStart.Char, PtEnd.Char);
    }
    return;
  }
  // Without lines the range is empty (its last line is 0).
  PtStart = {1, 1};
  PtEnd.Line = Ed.FLines->GetCount();
  PtEnd.Char = LineLength(PtEnd.Line) + 1;
  if (!Options.Contains(ssoEntireScope)) (Backwards ? PtEnd : PtStart) = Ed.GetCaretXY();
}

bool TCustomRidEder::TSearchRun::InRange(int32_t Line, int32_t Col, int32_t Len) const {
  if (LineRange) return true;
  if (ColumnRange)
    return (Col >= PtStart.Char && Col + Len <= PtEnd.Char) || PtEnd.Char - PtStart.Char < 1;
  if (Line == PtStart.Line && Col < PtStart.Char) return false;
  return !(Line == PtEnd.Line && Col + Len > PtEnd.Char);
}

// False when the walk stopped at a hit.
bool TCustomRidEder::TSearchRun::WalkLines() {
  for (int32_t line = Backwards ? PtEnd.Line : PtStart.Line;
       line >= PtStart.Line && line <= PtEnd.Line; line += Backwards ? -1 : 1) {
    if (ReplaceAll && !Prompt) {
      ReplaceLines(line);
      return true;
    }
    const bool goOn = SearchLine(line);
    FinishHeldTrims();
    if (!goOn) return false;
  }
  return true;
}

// Replacing all without asking: the hits from line From to the end of the walk are gathered
// first and then each changed line is stored once, as one undo item. The text, the count, the
// caret and the view come out as replacing hit after hit gives them: the hits are those each
// line had before, and the range is kept in the coordinates of before. On a failure the lines
// gathered so far are replaced.
void TCustomRidEder::TSearchRun::ReplaceLines(int32_t From) {
  auto edits = std::make_shared<TRidLineEdits>();
  ViewTop = Ed.GetTopLine();
  ViewLines = Ed.FLines->GetCount();
  try {
    for (int32_t line = From; line >= PtStart.Line && line <= PtEnd.Line;
         line += Backwards ? -1 : 1)
      CollectHits(line, *edits);
  } catch (...) {
    PutEdits(std::move(edits));
    throw;
  }
  PutEdits(std::move(edits));
}

void TCustomRidEder::TSearchRun::CollectHits(int32_t Line, TRidLineEdits& Edits) {
  const std::string_view text = Ed.FLines->GetView(Line - 1);
  const int32_t n = Engine.FindAll(text);
  if (n == 0) return;
  if (ProgressShown) frmProgress->PGB->SetPosition(Line);
  Shift = 0;
  bool begun = false;
  for (int32_t k = 0; k < n; ++k) {
    const int32_t i = Backwards ? n - 1 - k : k;
    const int32_t col = Engine.MatchPos(i), len = Engine.MatchLength(i);
    if (!InRange(Line, ColumnRange ? col + Shift : col, len)) continue;
    ++Result;
    const std::string found(text.substr(col - 1, len));
    const std::string with = Engine.ReplaceMatch(i, found, Replacement);
    // An empty hit replaced by nothing changes nothing, as an empty selection replaced by nothing.
    const bool changes = !found.empty() || !with.empty();
    FollowHit(Line, col, len, with, changes);
    if (!changes) continue;
    if (!begun) Edits.BeginLine(Line - 1);
    begun = true;
    Edits.AddHit(col - 1, found, with);
    if (FirstHit.Line == 0) {
      FirstHit = {col, Line};
      FirstHitEnd = {col + len, Line};
    }
  }
}

// The walk hit by hit at a hit of line Line of before: the hit's line shown, centred when it was
// out of view, then the caret after its replacement brought into view (the rows being lines).
inline void TCustomRidEder::TSearchRun::FollowHit(int32_t Line, int32_t Col, int32_t Len,
                                                  std::string_view With, bool Changes) {
  // Going forwards the replacements so far lie before the hit, going backwards after it.
  const TBufferCoord at =
      Backwards ? TBufferCoord{Col, Line} : TBufferCoord{Col + Shift, Line + Gained};
  LastHitLine = at.Line;
  WalkCaret = at;
  ViewTop = Ed.TopLineShowing(at.Line, ViewTop, true, ViewLines);
  if (!Changes) return;
  WalkCaret = EndOfInsertion(at, With);
  const int32_t added = WalkCaret.Line - at.Line;
  Gained += added;
  if (!Backwards) Shift = WalkCaret.Char - (Col + Len);
  ViewLines = std::max(ViewLines, 1) + added;  // an insertion into no lines makes one first
  // (On the hit's own line the caret is in view already.)
  if (added > 0) ViewTop = Ed.TopLineShowing(WalkCaret.Line, ViewTop, false, ViewLines);
}

void TCustomRidEder::TSearchRun::PutEdits(std::shared_ptr<TRidLineEdits> Edits) {
  if (LastHitLine == 0) return;
  ShowBusy();
  Ed.SetActiveSelectionMode(smNormal);
  TTrimAfterEdit trims(Ed);
  if (!Edits->Empty()) {
    if (Backwards) Edits->Reverse();
    if (Ed.FLines->GetCount() == 0) Ed.FLines->Add("");  // as an insertion into no lines does
    Ed.PutLineEdits(*Edits, true);
  }
  ShowWalkEnd();
  if (!Edits->Empty()) Ed.FUndoList->AddLineEdits(std::move(Edits), FirstHit, FirstHitEnd);
  trims.Finish();
  Ed.FBlockBegin = Ed.FBlockEnd = Ed.GetCaretXY();
  Ed.KeepSelectionOffTrailBytes(false);
  Ed.EnsureCursorPosVisible();
  Ed.StatusChanged({scSelection});
}

// The view and the caret as the walk leaves them.
void TCustomRidEder::TSearchRun::ShowWalkEnd() {
  if (Ed.GetWordWrap()) {
    // Rows are not lines here: only the last hit's line is placed as the walk places it.
    Ed.SetCaretXYEx(false, {1, LastHitLine});
    Ed.EnsureCursorPosVisibleEx(true);
  } else {
    Ed.SetLeftChar(1);
    Ed.SetTopLine(ViewTop);
  }
  TTempOption pastEol(Ed, eoScrollPastEol, true);
  Ed.InternalSetCaretXY(WalkCaret);
}

// Line follows the line's remaining hits when a replacement adds lines.
bool TCustomRidEder::TSearchRun::SearchLine(int32_t& Line) {
  const int32_t n = Engine.FindAll(Ed.FLines->GetView(Line - 1));
  if (ProgressShown && n > 0) frmProgress->PGB->SetPosition(Line);
  int32_t offset = 0;  // how far replacements moved the hits still to come
  for (int32_t k = 0; k < n; ++k) {
    const int32_t i = Backwards ? n - 1 - k : k;
    const int32_t col = Engine.MatchPos(i) + offset, len = Engine.MatchLength(i);
    if (!InRange(Line, col, len)) continue;
    ++Result;
    SelectHit(Line, col, len);
    if (!Replacing && !ReplaceAll) return false;
    TRidReplaceAction action = raReplace;
    if (Prompt && Ed.OnReplaceText) {
      action = Ed.DoOnReplaceText(Search, Replacement, Line, col);
      if (action == raCancel) return false;
    }
    if (action == raReplaceAll) StartReplaceAll();
    const TBufferCoord hit{col, Line};
    if (action != raSkip)
      ReplaceHit(i, Line, col, len, offset, ReplaceAll && k + 1 < n);
    else if (!Backwards)
      Ed.InternalSetCaretXY({col + len, Line});
    if (!ReplaceAll) {
      // The caret stands after the replacement.
      if (SelectedOnly && action != raSkip) SelectRest(Backwards ? hit : Ed.GetCaretXY());
      return false;
    }
    if (!Prompt) ShowBusy();  // not while the user is asked
  }
  return true;
}

// The hit is selected as normal text whatever the selection mode, so that a replacement takes
// its bytes only: exactly those found, also where a replacement before has joined an end of the
// hit to a character (a lone lead byte and the byte after it).
void TCustomRidEder::TSearchRun::SelectHit(int32_t Line, int32_t Col, int32_t Len) {
  Ed.SetActiveSelectionMode(smNormal);
  Ed.SetCaretXYEx(false, {1, Line});
  Ed.EnsureCursorPosVisibleEx(true);
  const TBufferCoord begin{Col, Line}, end{Col + Len, Line};
  TFlagOn exact(Ed.FExactPositions);
  Ed.SetSelectionRaw(begin, end, Backwards ? begin : end);
}

// MoreToCome: hits of the line still follow.
void TCustomRidEder::TSearchRun::ReplaceHit(int32_t Index, int32_t& Line, int32_t Col, int32_t Len,
                                            int32_t& Offset, bool MoreToCome) {
  const std::string text = Engine.ReplaceMatch(Index, Ed.GetSelText(), Replacement);
  const TBufferCoord start = Ed.GetBlockBegin();
  {
    TRidUndoBlock block(Ed);
    TRidPaintLock lock(Ed);
    if (!HeldTrims) HeldTrims.emplace(Ed);
    {
      TFlagOn exact(Ed.FExactPositions);
      Ed.ReplaceSelectionRecorded(smNormal, text, urInsert);
    }
    if (!MoreToCome) {
      // In the step of the line's last replacement, which then ends as a replacement does: the
      // caret where an edit's trims leave it, not at an exact position.
      FinishHeldTrims();
      Ed.FBlockBegin = Ed.FBlockEnd = Ed.GetCaretXY();
    }
    Ed.KeepSelectionOffTrailBytes(false);
  }
  // The text after the hit now follows the replacement's end, maybe some lines further down;
  // the hits still to come on this line and the range's end move with it. (Not the caret: it
  // steps past a character that a lone lead byte and the byte after it now form.)
  const TBufferCoord end = text.empty() ? start : Ed.FLastInsertEnd;
  const int32_t shift = end.Char - (Col + Len);
  if (!ColumnRange) {
    if (PtEnd.Line == Line) {
      PtEnd.Char += shift;
      PtEnd.Line = end.Line;
    } else if (PtEnd.Line > Line) {
      PtEnd.Line += end.Line - Line;
    }
  }
  if (Backwards) return;
  Offset += shift;
  Line = end.Line;
}

void TCustomRidEder::TSearchRun::FinishHeldTrims() {
  if (!HeldTrims) return;
  HeldTrims->Finish();
  HeldTrims.reset();
}

// After one replacement the part of the range still to search stays selected, so that the next
// Replace goes on inside it: from the replacement's end, or backwards up to its start. A column
// range keeps its columns over the rows still to walk.
void TCustomRidEder::TSearchRun::SelectRest(TBufferCoord From) {
  TBufferCoord b = Backwards ? PtStart : From, e = Backwards ? From : PtEnd;
  if (ColumnRange) {
    b.Char = PtStart.Char;
    e.Char = PtEnd.Char;
  }
  Ed.SetActiveSelectionMode(ColumnRange ? smColumn : smNormal);
  Ed.SetSelectionRaw(b, e, From);
}

void TCustomRidEder::TSearchRun::StartReplaceAll() {
  if (!frmProgress) Application()->CreateForm(frmProgress);
  // An editor without a parent window is its own place.
  frmProgress->PlaceNearCaret(Ed.GetParent() ? Ed.GetParent() : &Ed);
  frmProgress->PGB->SetRange(PtStart.Line, PtEnd.Line);
  ProgressShown = true;
  frmProgress->Show();
  Application()->ProcessPaintMessages();
  ReplaceAll = true;
  Prompt = false;
  if (!Locked) {
    Ed.IncPaintLock();
    Locked = true;
  }
  if (!BlockOpen) {
    Ed.BeginUndoBlock();
    BlockOpen = true;
  }
}

void TCustomRidEder::TSearchRun::ShowBusy() {
  if (!Busy) {
    OldCursor = Ed.GetCursor();
    OldScreenCursor = Screen()->GetCursor();
    Busy = true;
  }
  Ed.SetCursor(crHourGlass);
  Screen()->SetCursor(crHourGlass);
}

void TCustomRidEder::TSearchRun::EndBusy() {
  if (ProgressShown) {
    ProgressShown = false;
    frmProgress->Hide();
  }
  if (Busy) {
    Busy = false;
    Ed.SetCursor(OldCursor);
    Screen()->SetCursor(OldScreenCursor);
  }
}

int32_t TCustomRidEder::SearchReplace(const std::string& ASearch, const std::string& AReplace,
                                      TRidSearchOptions AOptions) {
  if (!FSearchEngine) throw ERidEderError("No search engine has been assigned");
  if (ASearch.empty()) return 0;
  // A lead byte typed alone goes in where it was typed before the search selects a hit or
  // shows a window (whose focus change would put it in over the hit), and undoes with what the
  // search changes, as it does before a command.
  std::optional<TRidUndoBlock> withLead;
  if (FPendingLeadByte >= 0) {
    withLead.emplace(*this);
    PutPendingLeadByte();
  }
  TSearchRun run(*this, ASearch, AReplace, AOptions);
  return run.Execute();
}

TRidReplaceAction TCustomRidEder::DoOnReplaceText(const std::string& ASearch,
                                                  const std::string& AReplace, int32_t Line,
                                                  int32_t Column) {
  TRidReplaceAction action = raCancel;
  if (OnReplaceText) OnReplaceText(this, ASearch, AReplace, Line, Column, action);
  return action;
}

void TCustomRidEder::SetSearchEngine(TRidEderSearchCustom* Value) {
  if (Value == FSearchEngine) return;
  if (FSearchEngine) FSearchEngine->RemoveFreeNotification(this);
  FSearchEngine = Value;
  if (FSearchEngine) FSearchEngine->FreeNotification(this);
}

}  // namespace rid
