// The completion pop-up: filtering, selection, keys, mouse, painting, and its window.
#include <algorithm>

#include "editor/RidCompletionProposal.h"
#include "foundation/libStr.h"
#include "platform/Imm.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr const char* MeasuredText = "CompletionProposal";

// Where the last character of S starts.
size_t LastCharStart(std::string_view S) {
  size_t last = 0;
  for (size_t p = 0; p < S.size(); p += CharLenAt(S, p)) last = p;
  return last;
}

bool IsKey(TShiftState Shift, TShiftState Want) {
  return (Shift * TShiftState{ssShift, ssCtrl, ssAlt}) == Want;
}

}  // namespace

TRidBaseCompletionProposalForm::TRidBaseCompletionProposalForm(TComponent* AOwner)
    : TCustomForm(AOwner),
      FItemList(std::make_unique<TStringList>()),
      FInsertList(std::make_unique<TStringList>()),
      FColumns(this) {
  SetBorderStyle(bsNone);
  FColor = clWindow;
  FTitleFont.SetStyle({fsBold});
  FTitleFont.SetColor(clBtnText);
  FTitleFont.OnChange = TNotifyEvent(this, &TRidBaseCompletionProposalForm::RecalcHeights);
  FScrollbar = new TScrollBar(this);
  FScrollbar->SetKind(sbVertical);
  FScrollbar->OnChange = TNotifyEvent(this, &TRidBaseCompletionProposalForm::ScrollbarChange);
  FScrollbar->OnScroll = TScrollCodeEvent(this, &TRidBaseCompletionProposalForm::ScrollbarScroll);
  FScrollbar->SetParent(this);
  RecalcHeights();
}

TRidBaseCompletionProposalForm::~TRidBaseCompletionProposalForm() {
  FTitleFont.OnChange = nullptr;
  SetImages(nullptr);
  DestroyHandle();
}

TRidBaseCompletionProposal* TRidBaseCompletionProposalForm::Proposal() const {
  return dynamic_cast<TRidBaseCompletionProposal*>(GetOwner());
}

// A pop-up tool window: a code list with a sizing frame or a thin border, a hint without one.
void TRidBaseCompletionProposalForm::CreateParams(TCreateParams& Params) {
  TCustomForm::CreateParams(Params);
  Params.Style = WS_POPUP;
  Params.ExStyle = WS_EX_TOOLWINDOW;
  if (FDisplayType == ctCode) Params.Style |= FResizeable ? WS_THICKFRAME : WS_DLGFRAME;
}

// --- the list

void TRidBaseCompletionProposalForm::SetItemList(TStrings* Value) {
  FItemList->Assign(Value);
  ResetShownList();
  SetTypedText(FTypedText);
}

void TRidBaseCompletionProposalForm::ResetShownList() {
  FShown.resize(static_cast<size_t>(FItemList->Count()));
  for (size_t i = 0; i < FShown.size(); ++i) FShown[i] = static_cast<int32_t>(i);
}

std::string TRidBaseCompletionProposalForm::ShownItem(int32_t Row) const {
  const int32_t i = ShownItemIndex(Row);
  return i < 0 ? std::string() : FItemList->Get(i);
}

int32_t TRidBaseCompletionProposalForm::ShownItemIndex(int32_t Row) const {
  if (Row < 0 || Row >= ShownCount()) return -1;
  const int32_t i = FShown[static_cast<size_t>(Row)];
  return i < FItemList->Count() ? i : -1;
}

int32_t TRidBaseCompletionProposalForm::ReportedIndex(int32_t Row) const {
  if (Row < 0 || Row >= ShownCount()) return -1;
  return FOptions.Contains(scoLimitToMatchedText) ? ShownItemIndex(Row) : Row;
}

// Compares the first bytes of the item with the typed text; only ASCII letters fold, never a
// byte of a double-byte character.
bool TRidBaseCompletionProposalForm::Matches(int32_t Item) const {
  const TStringList& list = FOptions.Contains(scoUseInsertList) ? *FInsertList : *FItemList;
  if (Item >= list.Count()) return false;
  std::string_view entry = list.GetView(Item);
  std::string stripped;
  if (FOptions.Contains(scoUsePrettyText)) entry = stripped = StripFormatting(entry);
  if (entry.size() < FTypedText.size()) return false;
  entry = entry.substr(0, FTypedText.size());
  if (FOptions.Contains(scoCaseSensitive)) return entry == FTypedText;
  return AnsiCompareText(entry, FTypedText) == 0;
}

void TRidBaseCompletionProposalForm::SetTypedText(const std::string& Value) {
  FTypedText = Value;
  if (FOptions.Contains(scoLimitToMatchedText))
    Filter();
  else
    SelectFirstMatch();
}

void TRidBaseCompletionProposalForm::Filter() {
  FShown.clear();
  for (int32_t i = 0, n = FItemList->Count(); i < n; ++i)
    if (Matches(i)) FShown.push_back(i);
  FPosition = 0;
  AdjustScrollBarPosition();
  FScrollbar->SetPosition(0);
  if (GetVisible() && OnChange && ShownCount() > 0) OnChange(this, ReportedIndex(0));
  Invalidate();
}

void TRidBaseCompletionProposalForm::SelectFirstMatch() {
  for (int32_t i = 0, n = FItemList->Count(); i < n; ++i)
    if (Matches(i)) return SetPosition(i);
  SetPosition(0);
}

void TRidBaseCompletionProposalForm::SetPosition(int32_t Value) {
  if (Value < 0 || Value >= ShownCount() || Value == FPosition) return;
  FPosition = Value;
  const int32_t top = FScrollbar->GetPosition();
  if (Value < top)
    FScrollbar->SetPosition(Value);
  else if (Value > top + FNbLinesInWindow - 1)
    FScrollbar->SetPosition(Value - FNbLinesInWindow + 1);
  if (GetVisible() && OnChange) OnChange(this, ReportedIndex(Value));
  Invalidate();
}

void TRidBaseCompletionProposalForm::MoveSelection(int32_t Delta) {
  const int32_t last = ShownCount() - 1;
  if (last < 0) return;
  const int32_t to = FPosition + Delta;
  if (Delta > 0)
    SetPosition(to >= last ? last : to);
  else
    SetPosition(to < 1 ? 0 : to);
}

void TRidBaseCompletionProposalForm::SetNbLinesInWindow(int32_t Value) {
  FNbLinesInWindow = std::max(1, Value);
  AdjustScrollBarPosition();
}

void TRidBaseCompletionProposalForm::AdjustScrollBarPosition() {
  const int32_t count = ShownCount();
  if (count < FNbLinesInWindow) {
    FScrollbar->SetPageSize(0);
    FScrollbar->SetParams(FScrollbar->GetPosition(), 0, 0);
    FScrollbar->SetEnabled(false);
    return;
  }
  FScrollbar->SetPageSize(1);
  FScrollbar->SetParams(FScrollbar->GetPosition(), 0, count - FNbLinesInWindow);
  FScrollbar->SetLargeChange(FNbLinesInWindow);
  FScrollbar->SetEnabled(HandleAllocated());
}

void TRidBaseCompletionProposalForm::ScrollbarChange(TObject*) {
  const int32_t top = FScrollbar->GetPosition();
  if (FPosition < top)
    SetPosition(top);
  else if (FPosition > top + FNbLinesInWindow - 1)
    SetPosition(top + FNbLinesInWindow - 1);
  else
    Invalidate();
}

// Scrolling with the bar leaves the keyboard with the editor, its caret shown again.
void TRidBaseCompletionProposalForm::ScrollbarScroll(TObject*, TScrollCode, int32_t&) {
  if (!FTargetEditor) return;
  FTargetEditor->SetFocus();
  FTargetEditor->SetAlwaysShowCaret(false);
  FTargetEditor->SetAlwaysShowCaret(true);
}

// --- keys

void TRidBaseCompletionProposalForm::SendToEditor(TRidEderorCommand Command, char AChar) {
  if (FTargetEditor) FTargetEditor->CommandProcessor(Command, AChar, nullptr);
}

void TRidBaseCompletionProposalForm::Dismiss() {
  if (OnDismiss) OnDismiss(this);
}

void TRidBaseCompletionProposalForm::DropLastTyped(TRidEderorCommand Command) {
  if (FTypedText.empty()) {
    SendToEditor(Command);
    return Dismiss();
  }
  SetTypedText(FTypedText.substr(0, LastCharStart(FTypedText)));
  SendToEditor(Command);
}

// The character under the editor's caret joins the typed text, unless it ends the word.
void TRidBaseCompletionProposalForm::TypeRight() {
  if (!FTargetEditor) return;
  const std::string line = FTargetEditor->GetLineText();
  const size_t at = static_cast<size_t>(FTargetEditor->GetCaretX()) - 1;
  std::string c = " ";
  if (at < line.size()) c = line.substr(at, CharLenAt(line, at));
  if (c.size() == 1 && (c[0] == '\t' || c[0] == ' ' || FEndOfTokenSet.Contains(c[0])))
    Dismiss();
  else
    SetTypedText(FTypedText + c);
  SendToEditor(ecRight);
}

void TRidBaseCompletionProposalForm::KeyDown(uint16_t& Key, TShiftState Shift) {
  if (FDisplayType != ctCode) return;
  const bool ctrl = Shift.Contains(ssCtrl);
  switch (Key) {
    case VK_BACK:
      if (IsKey(Shift, {})) DropLastTyped(ecDeleteLastChar);
      break;
    case VK_LEFT:
      DropLastTyped(ecLeft);
      break;
    case VK_RIGHT:
      TypeRight();
      break;
    case VK_TAB:
      if (FOptions.Contains(scoCompleteWithTab) && OnAccept) OnAccept(this, Shift, '\0');
      break;
    case VK_RETURN:
      if (FOptions.Contains(scoCompleteWithEnter) && OnAccept) OnAccept(this, Shift, '\0');
      break;
    case VK_ESCAPE:
      Dismiss();
      break;
    case VK_DELETE:
      SendToEditor(ecDeleteChar);
      break;
    case VK_PRIOR:
      MoveSelection(-FNbLinesInWindow);
      break;
    case VK_NEXT:
      MoveSelection(FNbLinesInWindow);
      break;
    case VK_HOME:
      SetPosition(0);
      break;
    case VK_END:
      SetPosition(ShownCount() - 1);
      break;
    case VK_UP:
      if (ctrl)
        SetPosition(0);
      else
        MoveSelection(-1);
      break;
    case VK_DOWN:
      if (ctrl)
        SetPosition(ShownCount() - 1);
      else
        MoveSelection(1);
      break;
    default:
      break;
  }
  Invalidate();
}

void TRidBaseCompletionProposalForm::KeyPress(char& Key) {
  if (FDisplayType != ctCode) return;
  const uint8_t b = static_cast<uint8_t>(Key);
  if (FTrailPending) {
    // The second byte of a character whose first byte closed the list.
    FTrailPending = false;
    SendToEditor(ecChar, Key);
    return;
  }
  if (b == 8) {
    if (OnKeyPress) OnKeyPress(this, Key);
  } else if (b == 13 || b == 27) {
    // Handled by the key-down.
  } else if (b >= 0x20 && b <= 0x7A) {
    if (FEndOfTokenSet.Contains(b) && OnAccept) OnAccept(this, {}, b == ' ' ? '\0' : Key);
    SetTypedText(FTypedText + Key);
    if (OnKeyPress) OnKeyPress(this, Key);
  } else {
    FTrailPending = IsDBCSLeadByte(b);
    SendToEditor(ecChar, Key);
    Dismiss();
  }
  Invalidate();
}

void TRidBaseCompletionProposalForm::TypeResult(const std::string& Text) {
  if (Text.empty()) return;
  if (FTargetEditor)
    FTargetEditor->CommandProcessor(ecImeStr, '\0', const_cast<char*>(Text.c_str()));
  Dismiss();
}

// --- the window's messages

void TRidBaseCompletionProposalForm::Dispatch(TMessage& M) {
  switch (M.Msg) {
    case WM_GETDLGCODE:
      M.Result = DLGC_WANTTAB | DLGC_WANTARROWS | DLGC_WANTCHARS;
      return;
    case WM_ERASEBKGND:
      M.Result = 1;
      return;
    case WM_MOUSEWHEEL:
      Wheel(GET_WHEEL_DELTA_WPARAM(M.WParam), M.WParam & MK_CONTROL);
      M.Result = 1;
      return;
    case WM_SIZING:
      Sizing(M.WParam, *reinterpret_cast<TRect*>(M.LParam));
      return;
    case WM_IME_COMPOSITION:
      // A result typed into the list itself goes to the editor whole, never byte by byte.
      if ((M.LParam & GCS_RESULTSTR) && HandleAllocated()) {
        if (HIMC imc = ImmGetContext(GetHandle())) {
          const int32_t n = ImmGetCompositionStringA(imc, GCS_RESULTSTR, nullptr, 0);
          std::string text(static_cast<size_t>(std::max(n, 0)), '\0');
          ImmGetCompositionStringA(imc, GCS_RESULTSTR, text.data(),
                                   static_cast<uint32_t>(text.size()));
          ImmReleaseContext(GetHandle(), imc);
          TypeResult(text);
        }
        return;
      }
      break;
    default:
      break;
  }
  TCustomForm::Dispatch(M);
}

void TRidBaseCompletionProposalForm::Wheel(int32_t Delta, bool Ctrl) {
  uint32_t lines = 3;
  if (Ctrl) {
    lines = static_cast<uint32_t>(FNbLinesInWindow);
  } else {
    SystemParametersInfo(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == static_cast<uint32_t>(-1) || lines > static_cast<uint32_t>(FNbLinesInWindow))
      lines = static_cast<uint32_t>(FNbLinesInWindow);
  }
  FMouseWheelAccumulator += Delta;
  const int32_t steps = FMouseWheelAccumulator / WHEEL_DELTA;
  FMouseWheelAccumulator %= WHEEL_DELTA;
  if (steps != 0) MoveSelection(-steps * static_cast<int32_t>(lines));
}

// While the user drags the frame, the height snaps to whole rows.
void TRidBaseCompletionProposalForm::Sizing(uintptr_t Edge, TRect& R) {
  const int32_t frame = GetSystemMetrics(SM_CYSIZEFRAME);
  const int32_t rows = std::max(1, (R.Height() - TitleHeight()) / std::max(1, RowHeight()));
  const int32_t height = rows * RowHeight() + TitleHeight() + 2 * frame;
  if (Edge == WMSZ_TOP || Edge == WMSZ_TOPLEFT || Edge == WMSZ_TOPRIGHT)
    R.Top = R.Bottom - height;
  else
    R.Bottom = R.Top + height;
  const int32_t least = GetSystemMetrics(SM_CXVSCROLL) + 2 * frame;
  if (R.Width() >= least) return;
  if (Edge == WMSZ_LEFT || Edge == WMSZ_TOPLEFT || Edge == WMSZ_BOTTOMLEFT)
    R.Left = R.Right - least;
  else
    R.Right = R.Left + least;
}

void TRidBaseCompletionProposalForm::Resize() {
  TCustomForm::Resize();
  FNbLinesInWindow = std::max(1, (ClientHeight() - TitleHeight()) / std::max(1, RowHeight()));
  PlaceScrollbar();
  AdjustScrollBarPosition();
  Invalidate();
}

void TRidBaseCompletionProposalForm::PlaceScrollbar() {
  const int32_t w = GetSystemMetrics(SM_CXVSCROLL);
  FScrollbar->SetBounds(ClientWidth() - w, TitleHeight(), w,
                        std::max(0, ClientHeight() - TitleHeight()));
}

// A press on a row selects it; the title and the space below the rows are not rows.
void TRidBaseCompletionProposalForm::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X,
                                               int32_t Y) {
  TCustomForm::MouseDown(Button, Shift, X, Y);
  if (FDisplayType != ctCode || Y < TitleHeight()) return;
  SetPosition(FScrollbar->GetPosition() + (Y - TitleHeight()) / std::max(1, RowHeight()));
}

void TRidBaseCompletionProposalForm::DblClick() {
  TCustomForm::DblClick();
  if (FDisplayType == ctCode && OnAccept) OnAccept(this, {}, '\0');
}

// --- showing

void TRidBaseCompletionProposalForm::Activate() {
  TCustomForm::Activate();
  SetVisible(true);
}

void TRidBaseCompletionProposalForm::Deactivate() {
  TCustomForm::Deactivate();
  SetVisible(false);
}

void TRidBaseCompletionProposalForm::DoShow() {
  if (FTargetEditor) {
    FOldShowCaret = FTargetEditor->GetAlwaysShowCaret();
    FTargetEditor->SetAlwaysShowCaret(FTargetEditor->Focused());
  }
  FTrailPending = false;
  if (TRidBaseCompletionProposal* p = Proposal(); p && p->OnShow) p->OnShow(this);
  TCustomForm::DoShow();
}

void TRidBaseCompletionProposalForm::DoHide() {
  if (FTargetEditor) FTargetEditor->SetAlwaysShowCaret(FOldShowCaret);
  TRidBaseCompletionProposal* p = Proposal();
  if (p && FDisplayType == ctCode) {
    p->SetWidth(GetWidth());
    p->SetNbLinesInWindow(FNbLinesInWindow);
  }
  if (p && p->OnClose) p->OnClose(this);
  TCustomForm::DoHide();
}

void TRidBaseCompletionProposalForm::SetDisplayType(TRidCompletionType Value) {
  if (Value == FDisplayType) return;
  FDisplayType = Value;
  FScrollbar->SetVisible(Value == ctCode);
  RecreateWnd();
}

// --- looks

void TRidBaseCompletionProposalForm::RecalcHeights(TObject*) {
  TCanvas measure;
  measure.SetFont(Font());
  FItemFontHeight = measure.TextHeight(MeasuredText);
  measure.SetFont(FTitleFont);
  FTitleFontHeight = measure.TextHeight(MeasuredText);
  PlaceScrollbar();
  Invalidate();
}

void TRidBaseCompletionProposalForm::FontChanged() { RecalcHeights(); }

void TRidBaseCompletionProposalForm::SetTitle(const std::string& Value) {
  if (Value == FTitle) return;
  FTitle = Value;
  RecalcHeights();
}

void TRidBaseCompletionProposalForm::SetResizeable(bool Value) {
  if (Value == FResizeable) return;
  FResizeable = Value;
  RecreateWnd();
}

void TRidBaseCompletionProposalForm::SetItemHeight(int32_t Value) {
  if (Value == FItemHeight) return;
  FItemHeight = Value;
  RecalcHeights();
}

void TRidBaseCompletionProposalForm::SetMargin(int32_t Value) {
  FMargin = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetImages(TImageList* Value) {
  if (Value == FImages) return;
  if (FImages) RemoveFreeNotification(FImages);
  FImages = Value;
  if (FImages) FImages->FreeNotification(this);
  Invalidate();
}

void TRidBaseCompletionProposalForm::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent == FImages) FImages = nullptr;
  TCustomForm::Notification(AComponent, Operation);
}

void TRidBaseCompletionProposalForm::SetClSelect(TColor Value) {
  FClSelect = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetClSelectedText(TColor Value) {
  FClSelectedText = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetClBackground(TColor Value) {
  FClBackground = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetClTitleBackground(TColor Value) {
  FClTitleBackground = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetOptions(TRidCompletionOptions Value) {
  FOptions = Value;
  Invalidate();
}

void TRidBaseCompletionProposalForm::SetCurrentIndex(int32_t Value) {
  FCurrentIndex = Value;
  Invalidate();
}

// --- painting

void TRidBaseCompletionProposalForm::Paint() {
  TCanvas& c = Canvas();
  if (FDisplayType == ctCode) {
    PaintCodeList(c);
    PaintTitle(c);
  } else {
    PaintHint(c);
  }
}

void TRidBaseCompletionProposalForm::PaintCodeList(TCanvas& C) {
  const int32_t width =
      ClientWidth() - (FScrollbar->GetVisible() ? GetSystemMetrics(SM_CXVSCROLL) : 0);
  const int32_t top = TitleHeight(), rh = RowHeight();
  C.Brush().SetColor(FClBackground);
  C.FillRect(Rect(0, top, width, ClientHeight()));
  const int32_t first = FScrollbar->GetPosition();
  const int32_t rows = std::min(FNbLinesInWindow, ShownCount() - first);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t row = first + i;
    const TRect r = Rect(0, top + rh * i, width, top + rh * (i + 1));
    const bool selected = row == FPosition;
    C.Font().Assign(&Font());
    if (selected) {
      C.Brush().SetColor(FClSelect);
      C.FillRect(r);
      C.Font().SetColor(FClSelectedText);
    }
    bool custom = false;
    if (OnPaintItem) OnPaintItem(this, ReportedIndex(row), C, r, custom);
    if (custom) continue;
    const std::string item = ShownItem(row);
    C.Brush().SetStyle(bsClear);
    if (FOptions.Contains(scoUsePrettyText))
      DrawFormattedText(C, Rect(FMargin, r.Top + (rh - FItemFontHeight) / 2, r.Right, r.Bottom),
                        item, selected, &FColumns, FImages);
    else
      C.TextOut(FMargin, r.Top, item);
    C.Brush().SetStyle(bsSolid);
  }
}

void TRidBaseCompletionProposalForm::PaintTitle(TCanvas& C) {
  if (FTitle.empty()) return;
  const int32_t h = TitleHeight(), w = ClientWidth();
  C.Brush().SetColor(FClTitleBackground);
  C.FillRect(Rect(0, 0, w, h));
  C.Pen().SetColor(clBtnShadow);
  C.MoveTo(0, h - 1);
  C.LineTo(w, h - 1);
  C.Font().Assign(&FTitleFont);
  int32_t x = 2;
  if (FOptions.Contains(scoTitleIsCentered)) x = std::max(2, (w - C.TextWidth(FTitle)) / 2);
  C.Brush().SetStyle(bsClear);
  C.TextOut(x, 1, FTitle);
  C.Brush().SetStyle(bsSolid);
}

void TRidBaseCompletionProposalForm::PaintHint(TCanvas& C) {
  const TRect all = GetClientRect();
  C.Brush().SetColor(FClBackground);
  C.FillRect(all);
  C.Pen().SetColor(cl3DLight);
  C.MoveTo(all.Left, all.Bottom - 1);
  C.LineTo(all.Left, all.Top);
  C.LineTo(all.Right - 1, all.Top);
  C.Pen().SetColor(cl3DDkShadow);
  C.LineTo(all.Right - 1, all.Bottom - 1);
  C.LineTo(all.Left, all.Bottom - 1);
  const int32_t rh = RowHeight();
  for (int32_t i = 0; i < FItemList->Count(); ++i) {
    const int32_t y = (rh - FItemFontHeight) / 2 + rh * i + FMargin;
    const TRect r = Rect(FMargin + 1, y, all.Right, y + rh);
    bool custom = false;
    C.Font().Assign(&Font());
    if (OnPaintItem) OnPaintItem(this, i, C, r, custom);
    if (custom) continue;
    const std::string item = FItemList->Get(i);
    DrawFormattedText(C, r, FDisplayType == ctParams ? BoldParameter(item, FCurrentIndex) : item,
                      false, nullptr, FImages);
  }
}

}  // namespace rid
