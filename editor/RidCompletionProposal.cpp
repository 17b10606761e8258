// The completion proposals: opening the pop-up at a point, and binding it to editors (keys,
// the word before the caret, accepting and cancelling, the trigger timer).
#include "editor/RidCompletionProposal.h"

#include <algorithm>

#include "foundation/libStr.h"
#include "platform/Locale.h"
#include "platform/Menus.h"

namespace rid {

namespace {

// The word-break bytes when the editor has no highlighter.
const TRidCharSet DefaultWordBreakChars =
    TRidCharSet{0x21, 0x22, 0x3A, 0x3B, 0x3D, 0x3F, 0x7B, 0x7C, 0x7D} +
    TRidCharSet::Range(0x27, 0x2F) + TRidCharSet::Range(0x5B, 0x5E);

// The 0-based starts of the characters of Line before byte Limit.
std::vector<size_t> CharStarts(std::string_view Line, size_t Limit) {
  std::vector<size_t> starts;
  for (size_t p = 0; p < Limit && p < Line.size(); p += CharLenAt(Line, p)) starts.push_back(p);
  return starts;
}

// A character of a word: a double-byte one, or a byte above blank that does not end a token.
bool IsWordChar(std::string_view Line, size_t At, const TRidCharSet& EndOfToken) {
  const uint8_t b = static_cast<uint8_t>(Line[At]);
  if (CharLenAt(Line, At) == 2) return true;
  return b > 0x20 && !EndOfToken.Contains(b);
}

// Where the run of word characters that ends before byte Limit starts (0-based).
size_t WordBefore(std::string_view Line, size_t Limit, const TRidCharSet& EndOfToken) {
  const std::vector<size_t> starts = CharStarts(Line, Limit);
  size_t k = starts.size();
  while (k > 0 && IsWordChar(Line, starts[k - 1], EndOfToken)) --k;
  return k < starts.size() ? starts[k] : std::min(Limit, Line.size());
}

// The last word before Limit: a character of the set just before it is stepped over, then
// the word runs back to a blank or a character of the set.
std::string LastWordBefore(std::string_view Line, size_t Limit, const TRidCharSet& EndOfToken) {
  std::vector<size_t> starts = CharStarts(Line, Limit);
  if (starts.empty()) return {};
  size_t end = std::min(Limit, Line.size());
  if (EndOfToken.Contains(Line[starts.back()]) && !IsDBCSLeadByte(Line[starts.back()])) {
    end = starts.back();
    starts.pop_back();
  }
  size_t k = starts.size();
  while (k > 0) {
    const char c = Line[starts[k - 1]];
    const bool dbcs = CharLenAt(Line, starts[k - 1]) == 2;
    if (!dbcs && (c == ' ' || c == '\t' || EndOfToken.Contains(c))) break;
    --k;
  }
  const size_t begin = k < starts.size() ? starts[k] : end;
  return std::string(Line.substr(begin, end - begin));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TRidBaseCompletionProposal

TRidBaseCompletionProposal::TRidBaseCompletionProposal(TComponent* AOwner)
    : TComponent(AOwner), FForm(new TRidBaseCompletionProposalForm(this)) {}

TRidBaseCompletionProposal::~TRidBaseCompletionProposal() {
  FForm->OnAccept = nullptr;
  FForm->OnDismiss = nullptr;
  FForm->OnKeyPress = nullptr;
  FForm->SetTargetEditor(nullptr);
}

void TRidBaseCompletionProposal::SetOptions(TRidCompletionOptions Value) {
  if (Value == FOptions) return;
  FOptions = Value;
  const TRidCompletionOptions mirrored{
      scoAnsiStrings,   scoCaseSensitive, scoLimitToMatchedText, scoTitleIsCentered,
      scoUseInsertList, scoUsePrettyText, scoCompleteWithTab,    scoCompleteWithEnter};
  FForm->SetOptions(Value * mirrored);
}

void TRidBaseCompletionProposal::SetDefaultType(TRidCompletionType Value) {
  FForm->SetDefaultType(Value);
  FForm->SetDisplayType(Value);
}

void TRidBaseCompletionProposal::ExecuteAt(const std::string& S, int32_t x, int32_t y,
                                           TRidCompletionType Kind) {
  FForm->SetDisplayType(Kind);
  FCanExecute = true;
  std::string input = S;
  if (OnExecute) OnExecute(Kind, this, input, x, y, FCanExecute);
  if (!FCanExecute || FForm->GetItemList()->Count() == 0) {
    if (Kind == ctParams && FForm->GetVisible()) FForm->Hide();
    return;
  }
  FForm->SetFormStyle(fsStayOnTop);
  FForm->ResetShownList();
  if (Kind == ctCode) {
    FForm->SetTypedText(input);
    FForm->GetScrollbar()->Show();
    PlaceForm(x, y, Kind);
    if (!FOptions.Contains(scoLimitToMatchedText)) {
      FForm->AdjustScrollBarPosition();
      FForm->GetScrollbar()->SetPosition(FForm->GetPosition());
    }
    if (FForm->ShownCount() > 0) FForm->Activate();
    return;
  }
  FForm->GetScrollbar()->Hide();
  PlaceForm(x, y, Kind);
  FForm->Show();
  FForm->Invalidate();
}

int32_t TRidBaseCompletionProposal::HintWidth(TRidCompletionType Kind) {
  TCanvas measure;
  measure.SetFont(FForm->Font());
  TImageList* images = FForm->GetImages();
  TStringList& items = *FForm->GetItemList();
  int32_t widest = 0;
  for (int32_t i = 0; i < items.Count(); ++i) {
    int32_t w = 0;
    if (Kind == ctHint) {
      w = MeasureFormattedText(measure, items[i], nullptr, images);
    } else {
      // As wide as the widest of its forms: no parameter bold, then each one.
      const std::string plain = StripFormatting(items[i]);
      w = MeasureFormattedText(measure, plain, nullptr, images);
      TStringList params;
      params.SetCommaText(plain);
      for (int32_t k = 0; k < params.Count(); ++k)
        w = std::max(w, MeasureFormattedText(measure, BoldParameter(plain, k), nullptr, images));
      if (FForm->OnMeasureItem) FForm->OnMeasureItem(FForm, i, measure, w);
    }
    widest = std::max(widest, w);
  }
  return widest;
}

void TRidBaseCompletionProposal::PlaceForm(int32_t x, int32_t y, TRidCompletionType Kind) {
  int32_t width = FWidth, height;
  if (Kind == ctCode) {
    height = FForm->RowHeight() * FNbLinesInWindow + FForm->TitleHeight() +
             2 * GetSystemMetrics(SM_CYSIZEFRAME);
  } else {
    height = FForm->GetItemList()->Count() * FForm->RowHeight() + 2 + 2 * FForm->GetMargin();
    width = HintWidth(Kind) + 2 * FForm->GetMargin() + 2;
  }
  const int32_t screenW = Screen()->GetWidth(), screenH = Screen()->GetHeight();
  if (x + width > screenW) x = std::max(0, screenW - width - 5);
  if (y + height > screenH) {
    const TCustomRidEder* ed = FForm->GetTargetEditor();
    y = std::max(0, y - height - (ed ? ed->GetLineHeight() : 0) - 2);
  }
  FForm->SetBounds(x, y, width, height);
}

// ---------------------------------------------------------------------------------------------
// TRidCompletionProposal

TRidCompletionProposal::TRidCompletionProposal(TComponent* AOwner)
    : TRidBaseCompletionProposal(AOwner), FShortCut(ShortCut(VK_SPACE, {ssCtrl})) {
  TRidBaseCompletionProposalForm* form = GetForm();
  form->OnKeyPress = TKeyPressEvent(this, &TRidCompletionProposal::FormKeyPress);
  form->OnAccept = TCompletionAcceptEvent(this, &TRidCompletionProposal::FormAccept);
  form->OnDismiss = TNotifyEvent(this, &TRidCompletionProposal::FormDismiss);
  SetEndOfTokenChr("()[]. ");
  SetTriggerChars(".");
  SetOptions(TRidCompletionOptions::FromBits(RidDefaultCompletionOptions));
}

TRidCompletionProposal::~TRidCompletionProposal() {
  if (GetForm()->GetVisible()) CancelCompletion();
  FEditor = nullptr;
  while (!FEditors.empty()) RemoveEditor(FEditors.back().Editor);
  FTimer.reset();
}

void TRidCompletionProposal::SetOptions(TRidCompletionOptions Value) {
  TRidBaseCompletionProposal::SetOptions(Value);
  if (Value.Contains(scoUseBuiltInTimer) == (FTimer != nullptr)) return;
  if (!Value.Contains(scoUseBuiltInTimer)) {
    FTimer.reset();
    return;
  }
  FTimer = std::make_unique<TTimer>(nullptr);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(FTimerInterval);
  FTimer->OnTimer = TNotifyEvent(this, &TRidCompletionProposal::TimerTick);
}

void TRidCompletionProposal::SetTimerInterval(uint32_t Value) {
  FTimerInterval = Value;
  if (FTimer) FTimer->SetInterval(Value);
}

void TRidCompletionProposal::StopTimer() {
  if (FTimer) FTimer->SetEnabled(false);
}

// --- editors

bool TRidCompletionProposal::IsHooked(TCustomRidEder* AEditor) const {
  return AEditor && std::any_of(FEditors.begin(), FEditors.end(),
                                [&](const TEditorEntry& E) { return E.Editor == AEditor; });
}

void TRidCompletionProposal::SetEditor(TCustomRidEder* Value) {
  if (Value == FEditor) return;
  if (FEditor) RemoveEditor(FEditor);
  FEditor = Value;
  if (Value) AddEditor(Value);
}

void TRidCompletionProposal::AddEditor(TCustomRidEder* AEditor) {
  if (!AEditor || IsHooked(AEditor)) return;
  FEditors.push_back({AEditor, AEditor});
  AEditor->FreeNotification(this);
  HookEditor(AEditor);
}

bool TRidCompletionProposal::RemoveEditor(TCustomRidEder* AEditor) {
  if (!IsHooked(AEditor)) return false;
  ForgetEditor(AEditor, false);
  RemoveFreeNotification(AEditor);
  UnhookEditor(AEditor);
  return true;
}

void TRidCompletionProposal::HookEditor(TCustomRidEder* AEditor) {
  AEditor->AddKeyDownHandler(TKeyEvent(this, &TRidCompletionProposal::EditorKeyDown));
  AEditor->AddKeyPressHandler(TKeyPressEvent(this, &TRidCompletionProposal::EditorKeyPress));
  AEditor->RegisterCommandHandler(THookedCommandEvent(this, &TRidCompletionProposal::EditorCommand),
                                  nullptr);
}

void TRidCompletionProposal::UnhookEditor(TCustomRidEder* AEditor) {
  AEditor->RemoveKeyDownHandler(TKeyEvent(this, &TRidCompletionProposal::EditorKeyDown));
  AEditor->RemoveKeyPressHandler(TKeyPressEvent(this, &TRidCompletionProposal::EditorKeyPress));
  AEditor->UnregisterCommandHandler(
      THookedCommandEvent(this, &TRidCompletionProposal::EditorCommand));
}

// The pop-up never keeps serving an editor that is gone.
void TRidCompletionProposal::ForgetEditor(TCustomRidEder* AEditor, bool Dying) {
  std::erase_if(FEditors, [&](const TEditorEntry& E) { return E.Editor == AEditor; });
  if (FEditor == AEditor) FEditor = nullptr;
  TRidBaseCompletionProposalForm* form = GetForm();
  if (form->GetTargetEditor() != AEditor) return;
  if (!Dying && form->GetVisible()) CancelCompletion();
  form->SetTargetEditor(nullptr);
  // A dying editor is not called again: the list closes without giving it the focus.
  if (!form->GetVisible()) return;
  CloseCompletion();
  if (OnCancelled) OnCancelled(this);
}

// A dying editor's derived part is gone: it is known by the component it was added as.
void TRidCompletionProposal::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove)
    for (const TEditorEntry& e : FEditors)
      if (e.Component == AComponent) {
        ForgetEditor(e.Editor, true);
        break;
      }
  TRidBaseCompletionProposal::Notification(AComponent, Operation);
}

bool TRidCompletionProposal::CodeListOpenOn(TCustomRidEder* AEditor) const {
  const TRidBaseCompletionProposalForm* form = GetForm();
  return form->GetVisible() && form->GetDisplayType() == ctCode &&
         form->GetTargetEditor() == AEditor;
}

// --- the editors' keys

void TRidCompletionProposal::EditorKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift) {
  // Only the character of the shortcut's own key press is swallowed; a shortcut that types
  // none leaves the next key alone.
  FSwallowNextKey = false;
  auto* ed = dynamic_cast<TCustomRidEder*>(Sender);
  if (!IsHooked(ed)) return;
  if (CodeListOpenOn(ed)) {
    GetForm()->KeyDown(Key, Shift);
    Key = 0;
    return;
  }
  if (FShortCut == 0 || ShortCut(Key, Shift) != FShortCut) return;
  if (GetDefaultType() == ctCode && ed->GetReadOnly()) return;
  GetForm()->SetTargetEditor(ed);
  Key = 0;
  OpenAtCaret(ed);
}

void TRidCompletionProposal::EditorKeyPress(TObject* Sender, char& Key) {
  if (FSwallowNextKey) {
    FSwallowNextKey = false;
    Key = '\0';
    return;
  }
  auto* ed = dynamic_cast<TCustomRidEder*>(Sender);
  if (!IsHooked(ed)) return;
  if (CodeListOpenOn(ed)) {
    char typed = Key;
    Key = '\0';
    GetForm()->KeyPress(typed);
    return;
  }
  if (!FTimer) return;
  if (Key != '\0' && GetTriggerChars().find(Key) != std::string::npos) {
    GetForm()->SetTargetEditor(ed);
    FTimer->SetEnabled(false);
    FTimer->SetEnabled(true);
  } else {
    FTimer->SetEnabled(false);
  }
}

// Bytes typed into the list go on to the editor; a trigger character that closed the list
// opens it again. Only paints run meanwhile, so the user's next keys keep their order.
void TRidCompletionProposal::FormKeyPress(TObject*, char& Key) {
  TCustomRidEder* ed = GetForm()->GetTargetEditor();
  if (!ed) return;
  ed->CommandProcessor(ecChar, Key, nullptr);
  Application()->ProcessPaintMessages();
  ed = GetForm()->GetTargetEditor();
  if (ed && Key != '\0' && GetTriggerChars().find(Key) != std::string::npos &&
      !GetForm()->GetVisible())
    OpenAtCaret(ed);
}

void TRidCompletionProposal::TimerTick(TObject*) {
  StopTimer();
  TRidBaseCompletionProposalForm* form = GetForm();
  if (Application()->GetActive()) {
    OpenAtCaret(form->GetTargetEditor());
    FSwallowNextKey = false;
  } else if (form->GetVisible()) {
    form->Hide();
  }
}

// --- opening

void TRidCompletionProposal::FindWord(TCustomRidEder& AEditor, std::string& Word) {
  const std::string line = AEditor.GetLineText();
  const size_t caret = static_cast<size_t>(std::max(AEditor.GetCaretX(), 1)) - 1;
  const TRidCharSet& endOfToken = GetForm()->GetEndOfTokenSet();
  FPreviousToken = LastWordBefore(line, caret, endOfToken);
  FCaretBeyondLine = caret > line.size();
  if (FCaretBeyondLine) {
    FWordStart = AEditor.GetCaretX();
    Word.clear();
    return;
  }
  const size_t start = WordBefore(line, caret, endOfToken);
  FWordStart = static_cast<int32_t>(start) + 1;
  Word = line.substr(start, caret - start);
}

void TRidCompletionProposal::OpenAtCaret(TCustomRidEder* AEditor) {
  if (!IsHooked(AEditor)) return;
  const TRidCompletionType kind = GetDefaultType();
  if (kind == ctCode && AEditor->GetReadOnly()) return;
  TPoint p;
  if (kind == ctHint) {
    GetCursorPos(p);
  } else {
    p = AEditor->GetCaretScreenPoint();
    p.Y += AEditor->GetLineHeight();
  }
  TRidBaseCompletionProposalForm* form = GetForm();
  form->SetTargetEditor(AEditor);
  TRidCharSet endOfToken;
  if (FOptions.Contains(scoConsiderWordBreakChars)) {
    const TRidCustomHighlighter* hl = AEditor->GetHighlighter();
    endOfToken = hl ? hl->GetWordBreakChars() : DefaultWordBreakChars;
  }
  form->SetEndOfTokenSet(endOfToken + TRidCharSet::Of(GetEndOfTokenChr()));
  std::string word;
  FindWord(*AEditor, word);
  ExecuteAt(word, p.X, p.Y, kind);
  FSwallowNextKey = kind == ctCode && GetCanExecute() && form->GetVisible();
}

void TRidCompletionProposal::ExecuteAt(const std::string& S, int32_t x, int32_t y,
                                       TRidCompletionType Kind) {
  TRidBaseCompletionProposal::ExecuteAt(S, x, y, Kind);
  StopTimer();
}

// --- accepting and cancelling

std::string TRidCompletionProposal::AcceptedValue(const std::string& Current, char EndToken) const {
  if (!FOptions.Contains(scoEndCharCompletion) && EndToken != '\0') return Current;
  const TRidBaseCompletionProposalForm* form = GetForm();
  const int32_t row = form->GetPosition();
  if (row < 0 || row >= form->ShownCount()) return Current;
  if (!FOptions.Contains(scoUseInsertList)) return form->ShownItem(row);
  const int32_t item = FOptions.Contains(scoLimitToMatchedText) ? form->ShownItemIndex(row) : row;
  TStringList& inserts = *form->GetInsertList();
  return item >= 0 && item < inserts.Count() ? inserts[item] : Current;
}

void TRidCompletionProposal::FormAccept(TObject*, TShiftState Shift, char EndToken) {
  TRidBaseCompletionProposalForm* form = GetForm();
  TCustomRidEder* ed = form->GetTargetEditor();
  if (!ed) return;
  std::string value;
  const int32_t row = form->GetPosition();
  const int32_t index = row >= 0 && row < form->ShownCount() ? form->ShownItemIndex(row) : -1;
  {
    TRidPaintLock lock(*ed);
    TRidUndoBlock block(*ed);
    const TBufferCoord caret = ed->GetCaretXY();
    ed->SetBlockBegin({FWordStart, caret.Line});
    ed->SetBlockEnd(EndToken == '\0' ? TBufferCoord{ed->WordEnd().Char, caret.Line} : caret);
    const std::string selected = ed->GetSelText();
    value = AcceptedValue(selected, EndToken);
    if (OnCodeCompletion) OnCodeCompletion(this, value, Shift, index, EndToken);
    if (value != selected && !ed->GetReadOnly()) ed->SetSelText(value);
    CloseCompletion();
    ed->SetFocus();
    ed->EnsureCursorPosVisible();
    ed->SetCaretXY(ed->GetBlockEnd());
    ed->SetBlockBegin(ed->GetCaretXY());
  }
  if (OnAfterCodeCompletion) OnAfterCodeCompletion(this, value, Shift, index, EndToken);
}

void TRidCompletionProposal::CloseCompletion() {
  StopTimer();
  FSwallowNextKey = false;
  GetForm()->Deactivate();
}

void TRidCompletionProposal::FormDismiss(TObject*) { CancelCompletion(); }

void TRidCompletionProposal::CancelCompletion() {
  FSwallowNextKey = false;
  TRidBaseCompletionProposalForm* form = GetForm();
  TCustomRidEder* ed = form->GetTargetEditor();
  if (!ed) return;
  StopTimer();
  form->Deactivate();
  if (auto* owner = dynamic_cast<TWinControl*>(ed->GetOwner());
      owner && owner->GetVisible() && owner->HandleAllocated())
    owner->SetFocus();
  ed->SetFocus();
  if (OnCancelled) OnCancelled(this);
}

// --- the editors' commands

void TRidCompletionProposal::EditorCommand(TObject* Sender, bool AfterProcessing, bool&,
                                           TRidEderorCommand& Command, char& AChar, void*, void*) {
  auto* ed = dynamic_cast<TCustomRidEder*>(Sender);
  TRidBaseCompletionProposalForm* form = GetForm();
  if (AfterProcessing && form->GetVisible()) {
    if (form->GetTargetEditor() != ed) return;
    switch (form->GetDisplayType()) {
      case ctHint:
        CancelCompletion();
        break;
      case ctParams:
        if (Command == ecGotFocus || Command == ecLostFocus || (Command == ecChar && AChar == 27))
          CancelCompletion();
        else
          OpenAtCaret(ed);  // the hint follows the caret
        break;
      case ctCode:
        // Input-method text reaches the editor whole and ends the list, as the focus going
        // elsewhere does.
        if (Command == ecImeStr || Command == ecLostFocus) CancelCompletion();
        break;
    }
    return;
  }
  if (!form->GetVisible() && FTimer &&
      !(Command == ecChar && AChar != '\0' && GetTriggerChars().find(AChar) != std::string::npos))
    StopTimer();
}

void TRidCompletionProposal::CloseParameterHint() {
  if (GetForm()->GetDisplayType() == ctParams) CancelCompletion();
}

}  // namespace rid
