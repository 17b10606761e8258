#include "editor/RidEder.h"

#include <QImage>
#include <algorithm>
#include <climits>

#include "platform/Locale.h"

namespace rid {

std::string TrimTrailingSpaces(std::string_view S) {
  size_t n = S.size();
  while (n > 0 && (S[n - 1] == ' ' || S[n - 1] == '\t')) --n;
  return std::string(S.substr(0, n));
}

bool StringIsBlank(std::string_view S) {
  return std::all_of(S.begin(), S.end(), [](char c) { return c == ' ' || c == '\t'; });
}

bool IsTrailByteAt(std::string_view Line, int32_t Col) {
  if (Col < 2 || Col > static_cast<int32_t>(Line.size())) return false;
  // A character starts after every byte that is not a lead byte, so only the run of lead bytes
  // just before Col decides: its bytes pair up from its start (a lead byte is also a trail
  // byte), and the last one odd out takes the byte at Col only when that can trail.
  int32_t leads = 0;
  for (int32_t i = Col - 1; i >= 1 && IsDBCSLeadByte(Line[i - 1]); --i) ++leads;
  return leads % 2 == 1 && IsDBCSTrailByte(static_cast<uint8_t>(Line[Col - 1]));
}

// --- plugins

TRidEderPlugin::TRidEderPlugin(TCustomRidEder* AOwner) : FOwner(AOwner) {
  if (FOwner) FOwner->FPlugins.push_back(this);
}

TRidEderPlugin::~TRidEderPlugin() {
  if (!FOwner) return;
  auto& l = FOwner->FPlugins;
  l.erase(std::remove(l.begin(), l.end(), this), l.end());
}

// --- construction

TCustomRidEder::TCustomRidEder(TComponent* AOwner) : TCustomControl(AOwner) {
  FOwnLines = std::make_unique<TRidEderStringList>();
  FLines = FOwnLines.get();
  FLines->OnChange = TNotifyEvent(this, &TCustomRidEder::LinesChanged);
  FLines->OnChanging = TNotifyEvent(this, &TCustomRidEder::LinesChanging);
  FLines->OnListCleared = TNotifyEvent(this, &TCustomRidEder::ListCleared);
  FLines->OnLinesDeleted = TLinesChangeEvent(this, &TCustomRidEder::ListDeleted);
  FLines->OnLinesInserted = TLinesChangeEvent(this, &TCustomRidEder::ListInserted);
  FLines->OnLinesReplaced = TLinesChangeEvent(this, &TCustomRidEder::ListPutted);
  FLines->OnRangeNeeded = TRangeNeededEvent(this, &TCustomRidEder::RangeNeeded);

  FFontDummy = std::make_unique<TFont>();
  FUndoList = std::make_unique<TRidEderUndoList>();
  FUndoList->OnAddedUndo = TNotifyEvent(this, &TCustomRidEder::UndoRedoAdded);
  FUndoList->SetGroupUndo(FOptions.Contains(eoGroupUndo));
  FRedoList = std::make_unique<TRidEderUndoList>();
  FRedoList->OnAddedUndo = TNotifyEvent(this, &TCustomRidEder::UndoRedoAdded);
  // The redo list holds what undos took off the undo list, which its limit bounds already, and
  // the group breaks that went with it: a limit of its own would drop the change to be redone
  // last.
  FRedoList->SetMaxUndoActions(MaxInt);

  FSelectedColor = std::make_unique<TRidSelectedColor>();
  FSelectedColor->OnChange = TNotifyEvent(this, &TCustomRidEder::SelectedColorsChanged);
  FBookMarkOpt = std::make_unique<TRidBookMarkOpt>(this);
  FBookMarkOpt->OnChange = TNotifyEvent(this, &TCustomRidEder::BookmarkOptionsChanged);

  FGutter = std::make_unique<TRidGutter>();
  FGutter->OnChange = TNotifyEvent(this, &TCustomRidEder::GutterChanged);
  FGutterWidth = FGutter->GetWidth();
  FWordWrapGlyph = std::make_unique<TRidGlyph>("RidEderWrapped", TColor(0x00FF00));
  FWordWrapGlyph->OnChange = TNotifyEvent(this, &TCustomRidEder::WordWrapGlyphChange);
  FTextOffset = FGutterWidth + 2;

  SetBounds(GetLeft(), GetTop(), 200, 150);
  SetCursor(crIBeam);
  SetColor(clWindow);

  FFontDummy->SetName("Courier New");
  FFontDummy->SetSize(10);
  FFontDummy->SetCharset(1);
  FTextDrawer = std::make_unique<TheTextDrawer>(TFontStyles{}, FFontDummy.get());
  Font().Assign(FFontDummy.get());
  Font().OnChange = TNotifyEvent(this, &TCustomRidEder::FontHolderChanged);

  TWinControl::SetBorderStyle(bsSingle);
  TWinControl::SetScrollBars(ssBoth);

  FKbdHandler = std::make_unique<TRidEderKbdHandler>();
  FKeystrokes = std::make_unique<TRidEderKeyStrokes>(this);
  FMarkList = std::make_unique<TRidEderMarkList>();
  FMarkList->OnChange = TNotifyEvent(this, &TCustomRidEder::MarkListChange);
  ResetKeystrokes();

  FScrollTimer = std::make_unique<TTimer>(nullptr);
  FScrollTimer->SetEnabled(false);
  FScrollTimer->SetInterval(100);
  FScrollTimer->OnTimer = TNotifyEvent(this, &TCustomRidEder::ScrollTimerHandler);

  FEndMarkGlyph = std::make_unique<TRidGlyph>("RidEderWrapped", TColor(0x00FF00));
  RecalcCharExtent();
}

TCustomRidEder::~TCustomRidEder() {
  FDestroying = true;
  SetHighlighter(nullptr);
  // Plugins leave the list as they go: free them last to first without touching it here.
  for (auto* p : FPlugins) p->FOwner = nullptr;
  FPlugins.clear();
  if (HandleAllocated()) DestroyHandle();
  FLines->OnChange = nullptr;
  FLines->OnChanging = nullptr;
  FLines->OnListCleared = nullptr;
  FLines->OnLinesDeleted = nullptr;
  FLines->OnLinesInserted = nullptr;
  FLines->OnLinesReplaced = nullptr;
  FLines->OnRangeNeeded = nullptr;
  Font().OnChange = nullptr;
  FScrollTimer->SetEnabled(false);
}

void TCustomRidEder::Loaded() {
  TCustomControl::Loaded();
  GutterChanged(this);
  UpdateScrollBars();
  if (OnLoaded) OnLoaded(this);
}

static std::string TrimControls(std::string_view S) {
  size_t b = 0, e = S.size();
  while (b < e && static_cast<uint8_t>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<uint8_t>(S[e - 1]) <= ' ') --e;
  return std::string(S.substr(b, e - b));
}

void TCustomRidEder::SetName(const std::string& Value) {
  TComponentState st = ComponentState();
  bool follow =
      st.Contains(csDesigning) && !st.Contains(csLoading) && TrimControls(GetText()) == GetName();
  TCustomControl::SetName(Value);
  if (follow) SetText(Value);
}

void TCustomRidEder::CreateParams(TCreateParams& Params) {
  TCustomControl::CreateParams(Params);
  if (GetBorderStyle() == bsSingle) {
    if (GetCtl3D())
      Params.ExStyle |= WS_EX_CLIENTEDGE;
    else
      Params.Style |= WS_BORDER;
  }
}

void TCustomRidEder::CreateWnd() {
  TCustomControl::CreateWnd();
  if (FOptions.Contains(eoDropFiles) && !ComponentState().Contains(csDesigning))
    DragAcceptFiles(GetHandle(), true);
  SizeOrFontChanged(true);
  UpdateScrollBars();
}

void TCustomRidEder::DestroyWnd() {
  if (FOptions.Contains(eoDropFiles) && HandleAllocated() &&
      !ComponentState().Contains(csDesigning))
    DragAcceptFiles(GetHandle(), false);
  TCustomControl::DestroyWnd();
}

std::string TCustomRidEder::GetLineText() {
  if (FCaretY >= 1 && FCaretY <= FLines->GetCount()) return FLines->Get(FCaretY - 1);
  return {};
}

// --- paint lock

void TCustomRidEder::IncPaintLock() { ++FPaintLock; }

void TCustomRidEder::DecPaintLock() {
  Assert(FPaintLock > 0, "RidEder");
  --FPaintLock;
  if (FPaintLock != 0) return;
  if (!(FStateFlags & sfLinesChanging)) RescanStale();
  if (FStateFlags & sfLinesChangedUnderLock) KeepPositionsOffTrailBytes();
  if (!HandleAllocated()) {
    FStateFlags &= ~sfUpdatePending;
    return;
  }
  if (FStateFlags & sfScrollbarChanged) UpdateScrollBars();
  if (GetWordWrap() && (FStatusChanges.Contains(scCaretX) || FStatusChanges.Contains(scCaretY))) {
    TDisplayCoord vp = GetDisplayXY();
    if (vp.Column > FCharsInWindow + 1 && FCharsInWindow >= 1) {
      if (FCaretAtEndOfRow) {
        FCaretAtEndOfRow = false;
      } else if (FStatusChanges.Contains(scCaretY) && !FCaretAfterTrimmedBlanks) {
        vp.Column = FCharsInWindow + 1;
        TBufferCoord p = DisplayToBufferPos(vp);
        FCaretX = p.Char;
        FStatusChanges.Include(scCaretX);
        UpdateLastCaretX();
      }
      FStateFlags |= sfCaretChanged;
    }
  }
  if (FStateFlags & sfCaretChanged) UpdateCaret();
  if (FStateFlags & sfUpdatePending) Update();
  if (!FStatusChanges.Empty()) DoOnStatusChange(FStatusChanges);
}

void TCustomRidEder::Update() {
  if (FPaintLock != 0) {
    FStateFlags |= sfUpdatePending;
    return;
  }
  FStateFlags &= ~sfUpdatePending;
  TCustomControl::Update();
}

// --- buffer changes

void TCustomRidEder::LinesChanging(TObject*) { FStateFlags |= sfLinesChanging; }

void TCustomRidEder::LinesChanged(TObject*) {
  if (FPaintLock == 0) RescanStale();
  FStateFlags &= ~sfLinesChanging;
  KeepPositionsOffTrailBytes();
  if (!HandleAllocated()) return;
  UpdateScrollBars();
  TRidSelectionMode mode = FActiveSelectionMode;
  SetBlockBegin(GetCaretXY());
  FActiveSelectionMode = mode;
  if (!IsRectEmpty(FInvalidateRect)) InvalidateRect(FInvalidateRect, false);
  FInvalidateRect = TRect{};
  if (FGutter->GetShowLineNumbers() && FGutter->GetAutoSize())
    FGutter->AutoSizeDigitCount(FLines->GetCount());
  if (!FOptions.Contains(eoScrollPastEof)) SetTopLine(FTopLine);
}

// Lines a program changed or loaded may have a character where the caret or a selection end
// stood: they step after it. Under the paint lock an operation places them itself; a program's
// own lock (BeginUpdate) leaves them to its release.
void TCustomRidEder::KeepPositionsOffTrailBytes() {
  if (FPaintLock != 0) {
    FStateFlags |= sfLinesChangedUnderLock;
    return;
  }
  FStateFlags &= ~sfLinesChangedUnderLock;
  KeepSelectionOffTrailBytes(false);
}

// --- invalidation

void TCustomRidEder::InvalidateRect(const TRect& ARect, bool AErase) {
  TCustomControl::InvalidateRect(&ARect, AErase);
}

void TCustomRidEder::InvalidateGutterLine(int32_t Line) {
  if (Line < 1 || Line > FLines->GetCount()) return;
  InvalidateGutterLines(Line, Line);
}

void TCustomRidEder::InvalidateGutterLines(int32_t FirstLine, int32_t LastLine) {
  if (!GetVisible() || !HandleAllocated()) return;
  TRect rc;
  if (FirstLine == -1 && LastLine == -1) {
    rc = Rect(0, 0, FGutterWidth, ClientHeight());
  } else {
    if (LastLine < FirstLine) std::swap(FirstLine, LastLine);
    if (GetWordWrap()) {
      FirstLine = LineToRow(FirstLine);
      LastLine = LastLine > FLines->GetCount() ? MaxInt : LineToRow(LastLine);
    }
    FirstLine = std::max(FirstLine, FTopLine);
    LastLine = std::min<int64_t>(LastLine, int64_t(FTopLine) + FLinesInWindow);
    if (LastLine < FirstLine) return;
    rc = Rect(0, (FirstLine - FTopLine) * FTextHeight, FGutterWidth,
              (LastLine - FTopLine + 1) * FTextHeight);
  }
  if (FStateFlags & sfLinesChanging)
    UnionRect(FInvalidateRect, FInvalidateRect, rc);
  else
    InvalidateRect(rc, false);
}

void TCustomRidEder::InvalidateLines(int32_t FirstLine, int32_t LastLine) {
  if (!GetVisible() || !HandleAllocated()) return;
  TRect rc;
  if (FirstLine == -1 && LastLine == -1) {
    rc = GetClientRect();
    rc.Left += FGutterWidth;
  } else {
    FirstLine = std::max(FirstLine, 1);
    LastLine = std::max(LastLine, 1);
    if (LastLine < FirstLine) std::swap(FirstLine, LastLine);
    if (LastLine >= FLines->GetCount()) LastLine = MaxInt;
    if (GetWordWrap()) {
      FirstLine = LineToRow(FirstLine);
      if (LastLine != MaxInt) LastLine = LineToRow(LastLine + 1) - 1;
    }
    FirstLine = std::max(FirstLine, FTopLine);
    LastLine =
        static_cast<int32_t>(std::min<int64_t>(LastLine, int64_t(FTopLine) + FLinesInWindow));
    if (LastLine < FirstLine) return;
    rc = Rect(FGutterWidth, (FirstLine - FTopLine) * FTextHeight, ClientWidth(),
              (LastLine - FTopLine + 1) * FTextHeight);
  }
  if (FStateFlags & sfLinesChanging)
    UnionRect(FInvalidateRect, FInvalidateRect, rc);
  else
    InvalidateRect(rc, false);
}

void TCustomRidEder::InvalidateLine(int32_t Line) {
  if (!HandleAllocated() || Line < 1 || Line > FLines->GetCount() || !GetVisible()) return;
  if (GetWordWrap()) {
    InvalidateLines(Line, Line);
    return;
  }
  if (Line < FTopLine || Line > FTopLine + FLinesInWindow) return;
  TRect rc = Rect(FGutterWidth, (Line - FTopLine) * FTextHeight, ClientWidth(),
                  (Line - FTopLine + 1) * FTextHeight);
  if (FStateFlags & sfLinesChanging)
    UnionRect(FInvalidateRect, FInvalidateRect, rc);
  else
    InvalidateRect(rc, false);
}

void TCustomRidEder::InvalidateSelection() {
  InvalidateLines(GetBlockBegin().Line, GetBlockEnd().Line);
}

// --- indentation

int32_t TCustomRidEder::LeftSpacesEx(std::string_view Line, bool WantTabs) {
  if (Line.empty() || !FOptions.Contains(eoAutoIndent)) return 0;
  int32_t n = 0;
  for (char c : Line) {
    auto b = static_cast<uint8_t>(c);
    if (b < 1 || b > 32) break;
    n += (b == 9 && WantTabs) ? FTabWidth : 1;
  }
  return n;
}

std::string TCustomRidEder::GetLeftSpacing(int32_t CharCount, bool WantTabs) {
  if (CharCount <= 0) return {};
  if (WantTabs && !FOptions.Contains(eoTabsToSpaces) && CharCount >= FTabWidth)
    return std::string(CharCount / FTabWidth, '\t') + std::string(CharCount % FTabWidth, ' ');
  return std::string(CharCount, ' ');
}

// --- options and properties

void TCustomRidEder::SetOptions(TRidEderorOptions Value) {
  if (Value == FOptions) return;
  bool dropChanged = Value.Contains(eoDropFiles) != FOptions.Contains(eoDropFiles);
  bool scrollChanged = ((Value.ToBits() ^ FOptions.ToBits()) & RidScrollOptionsMask) != 0;
  FOptions = Value;
  FUndoList->SetGroupUndo(FOptions.Contains(eoGroupUndo));
  // Re-clamps the caret without dropping the selection.
  InternalSetCaretXY(GetCaretXY());
  if (FOptions.Contains(eoScrollPastEol)) {
    TBufferCoord b = FBlockBegin, e = FBlockEnd;
    SetBlockBegin(b);
    SetBlockEnd(e);
  }
  if (dropChanged && HandleAllocated() && !ComponentState().Contains(csDesigning))
    DragAcceptFiles(GetHandle(), FOptions.Contains(eoDropFiles));
  if (FShowSpecialChars != FOptions.Contains(eoShowSpecialChars)) {
    FShowSpecialChars = FOptions.Contains(eoShowSpecialChars);
    Invalidate();
  }
  if (scrollChanged) UpdateScrollBars();
}

void TCustomRidEder::SetActiveLineColor(TColor Value) {
  if (FActiveLineColor == Value) return;
  FActiveLineColor = Value;
  InvalidateLine(FCaretY);
}

void TCustomRidEder::SetRightEdge(int32_t Value) {
  if (FRightEdge == Value) return;
  FRightEdge = Value;
  Invalidate();
}

void TCustomRidEder::SetRightEdgeColor(TColor Value) {
  if (FRightEdgeColor == Value) return;
  FRightEdgeColor = Value;
  if (!HandleAllocated()) return;
  int32_t x = ColumnToXValue(FRightEdge + 1);
  InvalidateRect(Rect(x - 1, 0, x + 1, ClientHeight()), false);
}

void TCustomRidEder::SetMaxUndo(int32_t Value) {
  if (Value < 0) return;
  FUndoList->SetMaxUndoActions(Value);
}

void TCustomRidEder::SetHighlighter(TRidCustomHighlighter* Value) {
  if (Value == FHighlighter) return;
  if (FHighlighter) {
    FHighlighter->UnhookAttrChangeEvent(
        TNotifyEvent(this, &TCustomRidEder::HighlighterAttrChanged));
    FHighlighter->RemoveFreeNotification(this);
  }
  if (Value) {
    Value->HookAttrChangeEvent(TNotifyEvent(this, &TCustomRidEder::HighlighterAttrChanged));
    Value->FreeNotification(this);
  }
  FHighlighter = Value;
  if (!FDestroying) HighlighterAttrChanged(FHighlighter);
}

void TCustomRidEder::SetHideSelection(bool Value) {
  if (FHideSelection == Value) return;
  FHideSelection = Value;
  InvalidateSelection();
}

void TCustomRidEder::SetInsertMode(bool Value) {
  if (FInsertMode == Value) return;
  FInsertMode = Value;
  if (!ComponentState().Contains(csDesigning)) InitializeCaret();
  StatusChanged({scInsertMode});
}

void TCustomRidEder::SetInsertCaret(TRidEderCaretType Value) {
  if (FInsertCaret == Value) return;
  FInsertCaret = Value;
  InitializeCaret();
}

void TCustomRidEder::SetOverwriteCaret(TRidEderCaretType Value) {
  if (FOverwriteCaret == Value) return;
  FOverwriteCaret = Value;
  InitializeCaret();
}

void TCustomRidEder::SetMaxScrollWidth(int32_t Value) {
  Value = std::clamp(Value, 1, MaxInt - 1);
  if (FMaxScrollWidth == Value) return;
  FMaxScrollWidth = Value;
  if (FOptions.Contains(eoScrollPastEol)) UpdateScrollBars();
}

void TCustomRidEder::SetKeystrokes(TRidEderKeyStrokes* Value) {
  if (!Value)
    FKeystrokes->Clear();
  else
    FKeystrokes->Assign(Value);
}

void TCustomRidEder::SetSelectionMode(TRidSelectionMode Value) {
  // Also when only the active mode differed (a selection an undo brought back, a paste).
  FSelectionMode = Value;
  SetActiveSelectionMode(Value);
}

void TCustomRidEder::SetActiveSelectionMode(TRidSelectionMode Value) {
  if (FActiveSelectionMode == Value) return;
  if (SelAvail()) InvalidateSelection();
  FActiveSelectionMode = Value;
  // Column and line ends may lie past a line's end, and column ends inside a character; a
  // normal selection's ends are positions of the text.
  if (Value == smNormal) {
    FBlockBegin = ClampedBlockPos(FBlockBegin);
    FBlockEnd = ClampedBlockPos(FBlockEnd);
    KeepSelectionOffTrailBytes(false, false);
  }
  if (SelAvail()) InvalidateSelection();
  StatusChanged({scSelection});
}

void TCustomRidEder::SetAlwaysShowCaret(bool Value) {
  if (FAlwaysShowCaret == Value) return;
  FAlwaysShowCaret = Value;
  if (ComponentState().Contains(csDesigning) || Focused()) return;
  if (Value) {
    InitializeCaret();
  } else {
    HideCaret();
    if (HandleAllocated()) DestroyCaret();
  }
}

void TCustomRidEder::SetExtraLineSpacing(int32_t Value) {
  if (FExtraLineSpacing == Value) return;
  FExtraLineSpacing = Value;
  FontChanged();
}

void TCustomRidEder::SetTabWidth(int32_t Value) {
  Value = std::clamp(Value, 1, 256);
  if (FTabWidth == Value) return;
  FTabWidth = Value;
  FLines->SetTabWidth(Value);
  Invalidate();
  if (GetWordWrap()) {
    FWordWrapPlugin->Reset();
    InvalidateGutter();
  }
}

void TCustomRidEder::SetReadOnly(bool Value) {
  if (FReadOnly == Value) return;
  FReadOnly = Value;
  StatusChanged({scReadOnly});
}

void TCustomRidEder::SetModified(bool Value) {
  if (FModified == Value) return;
  if (!Value) EndUndoGroup();
  FUndoList->MarkSavePoint(!Value);
  FModified = Value;
  StatusChanged({scModified});
}

void TCustomRidEder::UpdateModifiedStatus() { SetModified(!FUndoList->IsAtSavePoint()); }

void TCustomRidEder::SetShowEndMarks(bool Value) {
  if (FShowEndMarks == Value) return;
  FShowEndMarks = Value;
  Invalidate();
}

void TCustomRidEder::SetSearchKeyActive(bool Value) {
  if (FSearchKeyActive == Value) return;
  FSearchKeyActive = Value;
  Invalidate();
}

void TCustomRidEder::SetSearchKey(const std::string& Value) {
  if (FSearchKey == Value) return;
  FSearchKey = Value;
  if (FSearchKeyActive) Invalidate();
}

void TCustomRidEder::SetFont(TFont& Value) {
  TFont probe;
  probe.Assign(&Value);
  TheTextDrawer measure(TFontStyles{}, &probe);
  TTextMetric tm{};
  bool proportional = false;
  {
    TCanvas c;
    QImage img(8, 8, QImage::Format_RGB32);
    c.SetDevice(&img);
    c.SetFont(probe);
    if (c.GetTextMetrics(tm)) proportional = tm.tmMaxCharWidth != tm.tmAveCharWidth;
    c.FreeHandle();
  }
  if (proportional) {
    FFontDummy->SetColor(Value.GetColor());
    FFontDummy->SetSize(Value.GetSize());
    FFontDummy->SetStyle(Value.GetStyle());
    FFontDummy->SetName(Value.GetName());
    FFontDummy->SetPitch(fpFixed);
    Font().Assign(FFontDummy.get());
  } else {
    Font().Assign(&Value);
  }
  if (FGutter->GetShowLineNumbers()) GutterChanged(this);
}

void TCustomRidEder::LockUndo() {
  FUndoList->Lock();
  FRedoList->Lock();
}

void TCustomRidEder::UnlockUndo() {
  FUndoList->Unlock();
  FRedoList->Unlock();
}

void TCustomRidEder::ClearUndo() {
  FUndoList->Clear();
  FRedoList->Clear();
}

// --- events

void TCustomRidEder::StatusChanged(TRidStatusChanges Changes) {
  FStatusChanges += Changes;
  if (FPaintLock == 0) DoOnStatusChange(FStatusChanges);
}

void TCustomRidEder::DoOnStatusChange(TRidStatusChanges Changes) {
  // Told, with a handler or without: the set holds only what changed since, which the end of a
  // paint lock reads (a line change of long ago must not pull the caret back from past a row).
  FStatusChanges = {};
  if (OnStatusChange) OnStatusChange(this, Changes);
}

void TCustomRidEder::DoChange() {
  if (OnChange) OnChange(this);
}

void TCustomRidEder::DoOnPaint() {
  if (!OnPaint) return;
  Canvas().Font().Assign(&Font());
  Canvas().Brush().SetColor(GetColor());
  OnPaint(this, &Canvas());
}

void TCustomRidEder::DoOnPaintTransientEx(int32_t TransientType, bool Lock) {
  if (Lock) {
    if (TransientType == 1) --FPaintTransientLock;
  }
  bool fire = FPaintTransientLock == 0 && OnPaintTransient;
  if (Lock && TransientType == 0) ++FPaintTransientLock;
  if (!fire) return;
  Canvas().Font().Assign(&Font());
  Canvas().Brush().SetColor(GetColor());
  HideCaret();
  OnPaintTransient(this, &Canvas(), TransientType);
  ShowCaret();
}

bool TCustomRidEder::DoOnSpecialLineColors(int32_t Line, TColor& Foreground, TColor& Background) {
  bool special = false;
  if (OnSpecialLineColors) OnSpecialLineColors(this, Line, special, Foreground, Background);
  return special;
}

void TCustomRidEder::DoOnClearBookmark(TRidEderMark*& Mark) {
  if (OnClearBookmark) OnClearBookmark(this, Mark);
}

void TCustomRidEder::DoOnPlaceBookmark(TRidEderMark*& Mark) {
  if (OnPlaceBookmark) OnPlaceBookmark(this, Mark);
}

void TCustomRidEder::ResetKeystrokes() { FKeystrokes->ResetDefaults(); }

void TCustomRidEder::ClearSelection() {
  if (SelAvail()) SetSelText("");
}

bool TCustomRidEder::ExecuteAction(TComponent* Action) {
  if (dynamic_cast<TEditCut*>(Action))
    CutToClipboard();
  else if (dynamic_cast<TEditCopy*>(Action))
    CopyToClipboard();
  else if (dynamic_cast<TEditPaste*>(Action))
    PasteFromClipboard();
  else if (dynamic_cast<TEditDelete*>(Action))
    ClearSelection();
  else if (dynamic_cast<TEditUndo*>(Action))
    Undo();
  else if (dynamic_cast<TEditSelectAll*>(Action))
    SelectAll();
  else
    return false;
  return true;
}

bool TCustomRidEder::UpdateAction(TComponent* Action) {
  auto* a = dynamic_cast<TEditAction*>(Action);
  if (!a || !Focused()) return false;
  if (dynamic_cast<TEditCut*>(a) || dynamic_cast<TEditCopy*>(a) || dynamic_cast<TEditDelete*>(a))
    a->SetEnabled(SelAvail());
  else if (dynamic_cast<TEditPaste*>(a))
    a->SetEnabled(CanPaste());
  else if (dynamic_cast<TEditUndo*>(a))
    a->SetEnabled(CanUndo());
  else if (dynamic_cast<TEditSelectAll*>(a))
    a->SetEnabled(true);
  else
    return false;
  return true;
}

void TCustomRidEder::UpdateMouseCursor() {
  TPoint p;
  GetCursorPos(p);
  p = ScreenToClient(p);
  TCursor cursor;
  if (p.X < FGutterWidth) {
    cursor = FGutter->GetCursor();
  } else {
    TBufferCoord pos = DisplayToBufferPos(PixelsToRowColumn(p.X, p.Y));
    cursor = GetCursor();
    if (FOptions.Contains(eoDragDropEditing) && !GetMouseCapture() && IsPointInSelection(pos))
      cursor = crArrow;
    if (OnMouseCursor) OnMouseCursor(this, pos, cursor);
    FKbdHandler->ExecuteMouseCursor(this, pos, cursor);
  }
  ::rid::SetCursor(Screen()->Cursors(cursor));
}

void TCustomRidEder::UndoRedoAdded(TObject* Sender) {
  // Halfway through a replayed step the newest item may carry the save point's number while the
  // text is not the saved one yet, and marking the page unmodified would put a group break inside
  // the step: the step sets Modified once it is done.
  if (FReplayNumber == 0) UpdateModifiedStatus();
  if (Sender == FUndoList.get() && !FUndoList->GetInsideUndo() && FUndoList->PeekItem() &&
      FUndoList->PeekItem()->GetChangeReason() != urGroupBreak)
    FRedoList->Clear();
  auto* list = static_cast<TRidEderUndoList*>(Sender);
  if (list->GetBlockCount() == 0) DoChange();
}

void TCustomRidEder::SelectedColorsChanged(TObject*) { InvalidateSelection(); }

void TCustomRidEder::BookmarkOptionsChanged(TObject*) {
  if (!ComponentState().Contains(csLoading)) InvalidateGutter();
}

void TCustomRidEder::WordWrapGlyphChange(TObject*) {
  if (GetWordWrap()) InvalidateGutter();
}

void TCustomRidEder::MarkListChange(TObject*) { InvalidateGutter(); }

void TCustomRidEder::Notification(TComponent* AComponent, TOperation Operation) {
  TCustomControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FSearchEngine) FSearchEngine = nullptr;
  if (AComponent == FHighlighter) {
    FHighlighter = nullptr;
    if (!FDestroying) HighlighterAttrChanged(nullptr);
  }
  if (FBookMarkOpt && AComponent == FBookMarkOpt->GetBookmarkImages()) {
    FBookMarkOpt->SetBookmarkImages(nullptr);
    InvalidateGutter();
  }
}

// --- font, extent, window size

void TCustomRidEder::FontHolderChanged(TObject*) { FontChanged(); }

void TCustomRidEder::FontChanged() {
  RecalcCharExtent();
  SizeOrFontChanged(true);
}

void TCustomRidEder::RecalcCharExtent() {
  std::vector<TFontStyles> styles;
  auto note = [&](TFontStyles s) {
    s = s * TFontStyles{fsBold, fsItalic};
    if (std::find(styles.begin(), styles.end(), s) == styles.end()) styles.push_back(s);
  };
  if (FHighlighter && FHighlighter->GetAttribCount() > 0) {
    for (int32_t i = 0; i < FHighlighter->GetAttribCount(); ++i)
      note(FHighlighter->GetAttribute(i)->GetStyle());
  } else {
    note(Font().GetStyle());
  }
  FTextDrawer->SetBaseFont(&Font());
  int32_t w = 0, h = 0;
  for (TFontStyles s : styles) {
    FTextDrawer->SetBaseStyle(s);
    w = std::max(w, FTextDrawer->GetCharWidth());
    h = std::max(h, FTextDrawer->GetCharHeight());
  }
  FTextDrawer->SetBaseStyle(Font().GetStyle());
  FCharWidth = std::max(w, 1);
  FTextHeight = std::max(h + FExtraLineSpacing, 1);
}

void TCustomRidEder::SizeOrFontChanged(bool bFont) {
  if (!HandleAllocated() || FCharWidth == 0) return;
  FCharsInWindow = std::max(ClientWidth() - FGutterWidth - 2, 0) / FCharWidth;
  FLinesInWindow = ClientHeight() / FTextHeight;
  if (GetWordWrap()) {
    FWordWrapPlugin->DisplayChanged();
    Invalidate();
  }
  if (bFont) {
    if (FGutter->GetShowLineNumbers())
      GutterChanged(this);
    else
      UpdateScrollBars();
    InitializeCaret();
    FStateFlags &= ~sfCaretChanged;
    Invalidate();
  } else {
    UpdateScrollBars();
  }
  FStateFlags &= ~sfScrollbarChanged;
  if (!FOptions.Contains(eoScrollPastEol)) SetLeftChar(FLeftChar);
  if (!FOptions.Contains(eoScrollPastEof)) SetTopLine(FTopLine);
}

void TCustomRidEder::Resize() {
  TCustomControl::Resize();
  SizeOrFontChanged(false);
}

void TCustomRidEder::GutterChanged(TObject*) {
  if (ComponentState().Contains(csLoading)) return;
  if (FGutter->GetShowLineNumbers() && FGutter->GetAutoSize())
    FGutter->AutoSizeDigitCount(FLines->GetCount());
  int32_t w;
  if (FGutter->GetUseFontStyle()) {
    FTextDrawer->SetBaseFont(&FGutter->GetFont());
    w = FGutter->RealGutterWidth(FTextDrawer->GetCharWidth());
    FTextDrawer->SetBaseFont(&Font());
  } else {
    w = FGutter->RealGutterWidth(FCharWidth);
  }
  if (w == FGutterWidth)
    InvalidateGutter();
  else
    SetGutterWidth(w);
  if (OnGutterWidthChange) OnGutterWidthChange(this);
}

void TCustomRidEder::HighlighterAttrChanged(TObject* Sender) {
  RecalcCharExtent();
  if (Sender && Sender == FHighlighter) {
    TStringsUpdate update(FLines);
    ScanRanges();
  } else {
    Invalidate();
  }
  if (GetWordWrap()) FWordWrapPlugin->Reset();
  FPaintErrorCount = 0;
  SizeOrFontChanged(true);
}

TRidCharSet TCustomRidEder::GetIdentChars() {
  if (FHighlighter) return FHighlighter->GetIdentChars();
  return TRidCharSet::Range(33, 255);
}

// --- word wrap

void TCustomRidEder::SetWordWrap(bool Value) {
  if (Value == GetWordWrap()) return;
  Invalidate();
  bool inView = IsCaretInView();
  int32_t topLine = RowToLine(FTopLine);
  if (Value) {
    FWordWrapPlugin = std::make_unique<TRidWordWrapPlugin>(this);
    FLeftChar = 1;
    SetTextOffsetFromLeftChar();
  } else {
    FWordWrapPlugin.reset();
  }
  FTopLine = 0;  // force the setter to store
  SetTopLine(LineToRow(topLine));
  UpdateScrollBars();
  if (FOptions.Contains(eoScrollPastEol)) {
    TBufferCoord b = FBlockBegin, e = FBlockEnd;
    InternalSetCaretXY(GetCaretXY());
    SetBlockBegin(b);
    SetBlockEnd(e);
  }
  if (inView) EnsureCursorPosVisible();
}

// --- messages

void TCustomRidEder::Dispatch(TMessage& Message) {
  if (InputMessage(Message)) return;
  switch (Message.Msg) {
    case WM_HSCROLL:
      WMHScroll(Message);
      return;
    case WM_VSCROLL:
      WMVScroll(Message);
      return;
    case WM_COPY:
    case WM_CUT:
    case WM_PASTE:
    case WM_CLEAR:
    case WM_UNDO:
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
    case WM_SETTEXT:
      TextMessage(Message);
      return;
    case WM_DROPFILES:
      WMDropFiles(Message);
      return;
    case WM_CAPTURECHANGED:
      WMCaptureChanged(Message);
      return;
    case CM_MOUSEENTER:
    case CM_MOUSELEAVE:
      MouseEnterLeave(Message);
      return;
    case WM_SETCURSOR:
      if (LOWORD(static_cast<uintptr_t>(Message.LParam)) == HTCLIENT &&
          Message.WParam == reinterpret_cast<uintptr_t>(static_cast<TWinControl*>(this)) &&
          !ComponentState().Contains(csDesigning) && Screen()->GetCursor() == crDefault) {
        UpdateMouseCursor();
        Message.Result = 1;
        return;
      }
      TCustomControl::Dispatch(Message);
      return;
    default:
      TCustomControl::Dispatch(Message);
  }
}

void TCustomRidEder::KeyUp(uint16_t& Key, TShiftState Shift) {
  TCustomControl::KeyUp(Key, Shift);
  FKbdHandler->ExecuteKeyUp(this, Key, Shift);
}

}  // namespace rid
