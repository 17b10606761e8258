#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEder.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"

namespace rid {

// What the pop-up shows: a filterable list of completions, a passive hint, or a parameter hint
// whose current parameter is bold.
enum TRidCompletionType { ctCode, ctHint, ctParams };

// Options of a completion proposal, bit n = value n.
enum class TRidCompletionOption {
  scoAnsiStrings,             // matching by the locale's comparison, else ordinal
  scoCaseSensitive,           // matching sees case
  scoLimitToMatchedText,      // the list shows only the matching items
  scoTitleIsCentered,         // the title is centred
  scoUseInsertList,           // matching and insertion use InsertList
  scoUsePrettyText,           // items are formatted text
  scoUseBuiltInTimer,         // a timer opens the list after a trigger character
  scoEndCharCompletion,       // an end-of-token character also completes
  scoConsiderWordBreakChars,  // the highlighter's word-break characters also end a token
  scoCompleteWithTab,         // Tab accepts
  scoCompleteWithEnter        // Enter accepts
};
using enum TRidCompletionOption;
using TRidCompletionOptions = TSet<TRidCompletionOption, 16>;
// Limit to matched text, end-character completion, Tab and Enter.
constexpr uint16_t RidDefaultCompletionOptions = 0x684;

// ---------------------------------------------------------------------------------------------
// Formatted item text: plain text with the commands \COLOR{colour}, \COLUMN{}, \HSPACE{pixels},
// \IMAGE{index} and \STYLE{+B}, \STYLE{-I}, \STYLE{~U} (add, remove, toggle bold, italic,
// underline or strike-out); "\\" is one backslash. Command names ignore case.

enum TFormatChunkKind { fkText, fkColor, fkStyle, fkColumn, fkHSpace, fkImage };
using TFormatChunkKinds = TSet<TFormatChunkKind, 6>;

// A style change: Style is 'B', 'I', 'U' or 'S'; Action 1 adds, -1 removes, 0 toggles.
struct TFormatStyle {
  char Style = 0;
  int32_t Action = 0;
  bool operator==(const TFormatStyle&) const = default;
};

struct TFormatChunk {
  std::string Str;  // the text of a text chunk
  TFormatChunkKind Command = fkText;
  int32_t Data = 0;  // a colour, pixels or an image index
  TFormatStyle StyleFormatting;
  bool operator==(const TFormatChunk&) const = default;
};

class TFormatChunkList : public TObject {
 public:
  RID_CLASS_NAME(TFormatChunkList)
  int32_t Count() const { return static_cast<int32_t>(FChunks.size()); }
  const TFormatChunk& Chunks(int32_t Index) const { return FChunks.at(static_cast<size_t>(Index)); }
  void Add(TFormatChunk Chunk) { FChunks.push_back(std::move(Chunk)); }
  void Clear() { FChunks.clear(); }
  bool operator==(const TFormatChunkList& O) const { return FChunks == O.FChunks; }

 private:
  std::vector<TFormatChunk> FChunks;
};

// A column of formatted items: as wide as BiggestWord and one space in the current font; its
// DefaultFontStyle applies when painting enters it.
class TProposalColumn : public TCollectionItem {
 public:
  RID_CLASS_NAME(TProposalColumn)
  using TCollectionItem::TCollectionItem;
  void Assign(TPersistent* Source) override;
  const std::string& GetBiggestWord() const { return FBiggestWord; }
  void SetBiggestWord(const std::string& Value);
  TFontStyles GetDefaultFontStyle() const { return FDefaultFontStyle; }
  void SetDefaultFontStyle(TFontStyles Value);

 private:
  std::string FBiggestWord = "CONSTRUCTOR";
  TFontStyles FDefaultFontStyle;
};

class TProposalColumns : public TCollection {
 public:
  RID_CLASS_NAME(TProposalColumns)
  explicit TProposalColumns(TPersistent* AOwner) : FOwner(AOwner) {}
  TPersistent* GetOwner() const { return FOwner; }
  TProposalColumn* Add();
  TProposalColumn* Items(int32_t Index) const;

 protected:
  std::unique_ptr<TCollectionItem> NewItem() override;

 private:
  TPersistent* FOwner;
};

// Splits FormattedString into ChunkList, leaving out the kinds in StripCommands. Double-byte
// characters are text whatever their trail byte. A command with an unknown name, a parameter
// that is not of its kind (a colour, a number, an empty one for COLUMN, two letters for STYLE)
// is skipped and makes the result false; one without its braces ends the text.
bool ParseFormatChunks(std::string_view FormattedString, TFormatChunkList& ChunkList,
                       TFormatChunkKinds StripCommands);
// Draws the chunks from the left top of Rect with a transparent brush (only measures when
// Invisible) and returns the x reached; stops at the right edge. Images (null: none) draw
// image chunks, Columns (null or empty: none) place column chunks. The canvas font comes back.
int32_t PaintChunks(TCanvas& TargetCanvas, const TRect& Rect, const TFormatChunkList& ChunkList,
                    TProposalColumns* Columns, TImageList* Images, bool Invisible);
// Colours are left out of a selected item.
void DrawFormattedText(TCanvas& TargetCanvas, const TRect& Rect, std::string_view Text,
                       bool Selected, TProposalColumns* Columns, TImageList* Images);
int32_t MeasureFormattedText(TCanvas& TargetCanvas, std::string_view Text,
                             TProposalColumns* Columns, TImageList* Images);
// The text without its commands.
std::string StripFormatting(std::string_view Text);
// The items of Text (commas or blanks between them, double quotes grouping) joined by one
// space, item Index wrapped in a toggle of bold.
std::string BoldParameter(std::string_view Text, int32_t Index);

// ---------------------------------------------------------------------------------------------
// The pop-up

using TRidBaseCompletionProposalPaintItem =
    Delegate<void(TObject* Sender, int32_t Index, TCanvas& TargetCanvas, const TRect& ItemRect,
                  bool& CustomDraw)>;
using TRidBaseCompletionProposalMeasureItem =
    Delegate<void(TObject* Sender, int32_t Index, TCanvas& TargetCanvas, int32_t& ItemWidth)>;
using TCompletionChange = Delegate<void(TObject* Sender, int32_t AIndex)>;
using TCompletionParameter =
    Delegate<void(TObject* Sender, int32_t CurrentIndex, int32_t& Level, int32_t& IndexToDisplay,
                  char& Key, std::string& DisplayString)>;
using TCompletionAcceptEvent = Delegate<void(TObject* Sender, TShiftState Shift, char EndToken)>;

class TRidBaseCompletionProposal;

// The window of a completion proposal. A code list filters ItemList by TypedText and selects a
// row; its keys are the proposal's to hand over (the editor keeps the keyboard). Rows are
// indexes of the shown list; the index reported to callers (OnChange, OnPaintItem, accepting)
// is the row itself, or with limit-to-matched-text on the row's index in ItemList.
class TRidBaseCompletionProposalForm : public TCustomForm {
 public:
  RID_CLASS_NAME(TRidBaseCompletionProposalForm)
  explicit TRidBaseCompletionProposalForm(TComponent* AOwner);
  ~TRidBaseCompletionProposalForm() override;

  // --- the list
  const std::string& GetTypedText() const { return FTypedText; }
  // Filters (limit to matched text: the matching items, row 0 selected) or selects the first
  // matching item.
  void SetTypedText(const std::string& Value);
  TStringList* GetItemList() const { return FItemList.get(); }
  // Copies Value, shows all of it and filters again.
  void SetItemList(TStrings* Value);
  TStringList* GetInsertList() const { return FInsertList.get(); }
  void SetInsertList(TStrings* Value) { FInsertList->Assign(Value); }
  // Every item of ItemList shown, unfiltered.
  void ResetShownList();
  int32_t ShownCount() const { return static_cast<int32_t>(FShown.size()); }
  std::string ShownItem(int32_t Row) const;
  // The index callers get for a row; -1 for a row that does not exist.
  int32_t ReportedIndex(int32_t Row) const;
  // The row's index in ItemList; -1 for a row that does not exist.
  int32_t ShownItemIndex(int32_t Row) const;
  int32_t GetPosition() const { return FPosition; }
  // Selects an existing row (not a row that is there no more), scrolls it into view and tells
  // OnChange.
  void SetPosition(int32_t Value);
  // By Delta rows, stopping at the first and the last; nothing without rows.
  void MoveSelection(int32_t Delta);
  int32_t GetNbLinesInWindow() const { return FNbLinesInWindow; }
  void SetNbLinesInWindow(int32_t Value);
  TScrollBar* GetScrollbar() const { return FScrollbar; }
  // The bar's range follows the shown rows (disabled while they fit).
  void AdjustScrollBarPosition();

  // --- keys of a code list, as the list itself would receive them
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  // An input-method result: the whole text goes to the editor, and the list closes.
  void TypeResult(const std::string& Text);

  // --- showing
  void Activate() override;
  void Deactivate() override;
  TRidCompletionType GetDisplayType() const { return FDisplayType; }
  void SetDisplayType(TRidCompletionType Value);
  TRidCompletionType GetDefaultType() const { return FDefaultType; }
  void SetDefaultType(TRidCompletionType Value) { FDefaultType = Value; }
  TCustomRidEder* GetTargetEditor() const { return FTargetEditor; }
  void SetTargetEditor(TCustomRidEder* Value) { FTargetEditor = Value; }

  // --- looks
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value);
  TFont& TitleFont() { return FTitleFont; }
  bool GetResizeable() const { return FResizeable; }
  void SetResizeable(bool Value);
  int32_t GetItemHeight() const { return FItemHeight; }
  void SetItemHeight(int32_t Value);
  int32_t GetMargin() const { return FMargin; }
  void SetMargin(int32_t Value);
  TImageList* GetImages() const { return FImages; }
  // Not owned: forgotten when the list is destroyed.
  void SetImages(TImageList* Value);
  TProposalColumns& Columns() { return FColumns; }
  TColor GetClSelect() const { return FClSelect; }
  void SetClSelect(TColor Value);
  TColor GetClSelectedText() const { return FClSelectedText; }
  void SetClSelectedText(TColor Value);
  TColor GetClBackground() const { return FClBackground; }
  void SetClBackground(TColor Value);
  TColor GetClTitleBackground() const { return FClTitleBackground; }
  void SetClTitleBackground(TColor Value);
  int32_t RowHeight() const { return FItemHeight > 0 ? FItemHeight : FItemFontHeight; }
  int32_t TitleHeight() const { return FTitle.empty() ? 0 : FTitleFontHeight + 4; }
  int32_t GetItemFontHeight() const { return FItemFontHeight; }

  // --- settings of the proposal kept here
  TRidCompletionOptions GetOptions() const { return FOptions; }
  void SetOptions(TRidCompletionOptions Value);
  const TRidCharSet& GetEndOfTokenSet() const { return FEndOfTokenSet; }
  void SetEndOfTokenSet(const TRidCharSet& Value) { FEndOfTokenSet = Value; }
  const std::string& GetEndOfTokenChr() const { return FEndOfTokenChr; }
  void SetEndOfTokenChr(const std::string& Value) { FEndOfTokenChr = Value; }
  const std::string& GetTriggerChars() const { return FTriggerChars; }
  void SetTriggerChars(const std::string& Value) { FTriggerChars = Value; }
  int32_t GetCurrentIndex() const { return FCurrentIndex; }
  void SetCurrentIndex(int32_t Value);

  // OnKeyPress (of the control) is the proposal's key-press callback.
  TRidBaseCompletionProposalPaintItem OnPaintItem;
  TRidBaseCompletionProposalMeasureItem OnMeasureItem;
  TCompletionChange OnChange;
  TCompletionParameter OnParameterToken;  // kept, never raised
  TCompletionAcceptEvent OnAccept;
  TNotifyEvent OnDismiss;

  // --- the window
  void Dispatch(TMessage& Message) override;
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void DblClick() override;
  void Resize() override;
  void FontChanged() override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void DoShow() override;
  void DoHide() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  TRidBaseCompletionProposal* Proposal() const;
  bool Matches(int32_t Item) const;
  void Filter();
  void SelectFirstMatch();
  void RecalcHeights(TObject* Sender = nullptr);
  void PlaceScrollbar();
  void ScrollbarChange(TObject* Sender);
  void ScrollbarScroll(TObject* Sender, TScrollCode ScrollCode, int32_t& ScrollPos);
  void Wheel(int32_t Delta, bool Ctrl);
  void Sizing(uintptr_t Edge, TRect& R);
  void SendToEditor(TRidEderorCommand Command, char AChar = '\0');
  void Dismiss();
  // Back-space and Left: a character less typed (the editor then moves by one character).
  void DropLastTyped(TRidEderorCommand Command);
  void TypeRight();
  void PaintCodeList(TCanvas& C);
  void PaintTitle(TCanvas& C);
  void PaintHint(TCanvas& C);

  std::string FTypedText;
  std::unique_ptr<TStringList> FItemList;
  std::unique_ptr<TStringList> FInsertList;
  std::vector<int32_t> FShown;  // the ItemList index of each row
  int32_t FPosition = 0;
  int32_t FNbLinesInWindow = 8;
  int32_t FTitleFontHeight = 0;
  int32_t FItemFontHeight = 0;
  TScrollBar* FScrollbar;  // owned by the form
  TColor FClSelect = clHighlight;
  TColor FClSelectedText = clHighlightText;
  TColor FClTitleBackground = clBtnFace;
  TColor FClBackground = clWindow;
  TRidCharSet FEndOfTokenSet;
  TCustomRidEder* FTargetEditor = nullptr;  // not owned: the proposal clears it
  std::string FTitle;
  TFont FTitleFont;
  bool FResizeable = true;
  int32_t FItemHeight = 0;
  int32_t FMargin = 2;
  TImageList* FImages = nullptr;  // not owned: free notification
  TRidCompletionOptions FOptions = {scoAnsiStrings, scoTitleIsCentered};
  int32_t FMouseWheelAccumulator = 0;
  TRidCompletionType FDisplayType = ctCode;
  TRidCompletionType FDefaultType = ctCode;
  std::string FEndOfTokenChr = "()[]. ";
  std::string FTriggerChars;
  int32_t FCurrentIndex = 0;
  bool FOldShowCaret = false;
  bool FTrailPending = false;  // a lead byte went to the editor; its trail byte follows it
  TProposalColumns FColumns;
};

// ---------------------------------------------------------------------------------------------
// The proposals

using TCompletionExecute =
    Delegate<void(TRidCompletionType Kind, TObject* Sender, std::string& CurrentInput, int32_t& x,
                  int32_t& y, bool& CanExecute)>;
using TCodeCompletionEvent = Delegate<void(TObject* Sender, std::string& Value, TShiftState Shift,
                                           int32_t Index, char EndToken)>;
using TAfterCodeCompletionEvent = Delegate<void(TObject* Sender, const std::string& Value,
                                                TShiftState Shift, int32_t Index, char EndToken)>;

// Owns the pop-up and opens it at a screen point. The pop-up's own events (OnChange,
// OnPaintItem, OnMeasureItem, OnParameterToken) are set on GetForm().
class TRidBaseCompletionProposal : public TComponent {
 public:
  RID_CLASS_NAME(TRidBaseCompletionProposal)
  explicit TRidBaseCompletionProposal(TComponent* AOwner);
  ~TRidBaseCompletionProposal() override;

  TRidBaseCompletionProposalForm* GetForm() const { return FForm; }
  TRidCompletionOptions GetOptions() const { return FOptions; }
  virtual void SetOptions(TRidCompletionOptions Value);
  // Opens the pop-up showing Kind at screen point x, y (the list: below it, or above the line
  // when it would leave the screen), S being the text typed so far.
  virtual void ExecuteAt(const std::string& S, int32_t x, int32_t y, TRidCompletionType Kind);
  // Closes a parameter hint (nothing here).
  virtual void CloseParameterHint() {}
  // The command hook of the editors served (nothing here).
  virtual void EditorCommand(TObject* Sender, bool AfterProcessing, bool& Handled,
                             TRidEderorCommand& Command, char& AChar, void* Data,
                             void* HandlerData) {}
  bool GetCanExecute() const { return FCanExecute; }
  // The last word before the caret when the pop-up last opened.
  const std::string& GetPreviousToken() const { return FPreviousToken; }

  // --- settings, most of them the pop-up's
  TRidCompletionType GetDefaultType() const { return FForm->GetDefaultType(); }
  // Also what the pop-up shows; the window is made again.
  void SetDefaultType(TRidCompletionType Value);
  TStringList* GetItemList() const { return FForm->GetItemList(); }
  void SetItemList(TStrings* Value) { FForm->SetItemList(Value); }
  TStringList* GetInsertList() const { return FForm->GetInsertList(); }
  void SetInsertList(TStrings* Value) { FForm->SetInsertList(Value); }
  int32_t GetNbLinesInWindow() const { return FNbLinesInWindow; }
  void SetNbLinesInWindow(int32_t Value) { FNbLinesInWindow = Value; }
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t Value) { FWidth = Value; }
  const std::string& GetEndOfTokenChr() const { return FForm->GetEndOfTokenChr(); }
  void SetEndOfTokenChr(const std::string& Value) { FForm->SetEndOfTokenChr(Value); }
  const std::string& GetTriggerChars() const { return FForm->GetTriggerChars(); }
  void SetTriggerChars(const std::string& Value) { FForm->SetTriggerChars(Value); }
  const std::string& GetTitle() const { return FForm->GetTitle(); }
  void SetTitle(const std::string& Value) { FForm->SetTitle(Value); }
  TFont& Font() { return FForm->Font(); }
  TFont& TitleFont() { return FForm->TitleFont(); }
  TProposalColumns& Columns() { return FForm->Columns(); }
  bool GetResizeable() const { return FForm->GetResizeable(); }
  void SetResizeable(bool Value) { FForm->SetResizeable(Value); }
  int32_t GetItemHeight() const { return FForm->GetItemHeight(); }
  void SetItemHeight(int32_t Value) { FForm->SetItemHeight(Value); }
  int32_t GetMargin() const { return FForm->GetMargin(); }
  void SetMargin(int32_t Value) { FForm->SetMargin(Value); }
  TImageList* GetImages() const { return FForm->GetImages(); }
  void SetImages(TImageList* Value) { FForm->SetImages(Value); }

  TCompletionExecute OnExecute;
  TNotifyEvent OnShow;   // Sender: the pop-up
  TNotifyEvent OnClose;  // Sender: the pop-up

 protected:
  // The pop-up's size for Kind at x, y, and where it goes on the screen.
  void PlaceForm(int32_t x, int32_t y, TRidCompletionType Kind);
  int32_t HintWidth(TRidCompletionType Kind);
  TRidCompletionOptions FOptions;
  std::string FPreviousToken;

 private:
  TRidBaseCompletionProposalForm* FForm;  // owned
  int32_t FWidth = 260;
  int32_t FNbLinesInWindow = 8;
  bool FCanExecute = false;
};

// A proposal bound to editors: their shortcut (Ctrl+Space) opens the list at the caret for the
// word before it; accepting replaces that word as one undo step. With scoUseBuiltInTimer a
// trigger character (".") opens it after TimerInterval milliseconds. While a code list is open
// the keys typed into its editor go to the list.
class TRidCompletionProposal : public TRidBaseCompletionProposal {
 public:
  RID_CLASS_NAME(TRidCompletionProposal)
  explicit TRidCompletionProposal(TComponent* AOwner);
  ~TRidCompletionProposal() override;

  void SetOptions(TRidCompletionOptions Value) override;
  void ExecuteAt(const std::string& S, int32_t x, int32_t y, TRidCompletionType Kind) override;
  void CloseParameterHint() override;
  void EditorCommand(TObject* Sender, bool AfterProcessing, bool& Handled,
                     TRidEderorCommand& Command, char& AChar, void* Data,
                     void* HandlerData) override;
  // Opens the pop-up at AEditor's caret for the word before it (a hooked editor only; a code
  // list never in a read-only editor).
  virtual void OpenAtCaret(TCustomRidEder* AEditor);

  // --- editors
  TCustomRidEder* GetEditor() const { return FEditor; }
  // Unhooks the editor set before and hooks Value.
  void SetEditor(TCustomRidEder* Value);
  void AddEditor(TCustomRidEder* AEditor);
  bool RemoveEditor(TCustomRidEder* AEditor);
  int32_t EditorsCount() const { return static_cast<int32_t>(FEditors.size()); }
  TCustomRidEder* GetEditors(int32_t Index) const {
    return FEditors.at(static_cast<size_t>(Index)).Editor;
  }

  TShortCut GetShortCut() const { return FShortCut; }
  // 0: no key opens the list.
  void SetShortCut(TShortCut Value) { FShortCut = Value; }
  uint32_t GetTimerInterval() const { return FTimerInterval; }
  void SetTimerInterval(uint32_t Value);
  // Where the word being completed starts (1-based byte column of the caret line).
  int32_t GetWordStart() const { return FWordStart; }
  bool GetCaretBeyondLine() const { return FCaretBeyondLine; }

  // Closes the pop-up: CloseCompletion quietly, CancelCompletion with OnCancelled.
  void CloseCompletion();
  void CancelCompletion();

  TCodeCompletionEvent OnCodeCompletion;
  TAfterCodeCompletionEvent OnAfterCodeCompletion;
  TNotifyEvent OnCancelled;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void HookEditor(TCustomRidEder* AEditor);
  void UnhookEditor(TCustomRidEder* AEditor);
  // The editor is going: forgotten, and the pop-up closed when it served it.
  void ForgetEditor(TCustomRidEder* AEditor, bool Dying);
  bool IsHooked(TCustomRidEder* AEditor) const;
  // Whether a code list is open on AEditor (its keys are the list's).
  bool CodeListOpenOn(TCustomRidEder* AEditor) const;
  void EditorKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void EditorKeyPress(TObject* Sender, char& Key);
  void FormKeyPress(TObject* Sender, char& Key);
  void FormAccept(TObject* Sender, TShiftState Shift, char EndToken);
  void FormDismiss(TObject* Sender);
  void TimerTick(TObject* Sender);
  // The text to insert for the selected row, or Current when no row is chosen.
  std::string AcceptedValue(const std::string& Current, char EndToken) const;
  void FindWord(TCustomRidEder& AEditor, std::string& Word);
  void StopTimer();

  struct TEditorEntry {
    TCustomRidEder* Editor;
    TComponent* Component;  // the same object: what its free notification names
  };
  std::vector<TEditorEntry> FEditors;  // not owned
  TShortCut FShortCut;
  bool FSwallowNextKey = false;
  int32_t FWordStart = 0;
  bool FCaretBeyondLine = false;
  std::unique_ptr<TTimer> FTimer;  // with scoUseBuiltInTimer
  uint32_t FTimerInterval = 1000;
  TCustomRidEder* FEditor = nullptr;  // not owned
};

}  // namespace rid
