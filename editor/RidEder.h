#pragma once
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "editor/RidEderKbdHandler.h"
#include "editor/RidEderKeyCmds.h"
#include "editor/RidEderMiscClasses.h"
#include "editor/RidEderPlugins.h"
#include "editor/RidEderTextBuffer.h"
#include "editor/RidEderTypes.h"
#include "editor/RidEderWordWrap.h"
#include "editor/RidTextDrawer.h"
#include "platform/Classes.h"
#include "platform/Controls.h"
#include "platform/Delegate.h"
#include "platform/Forms.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace rid {

// Options of the control, bit n = value n.
enum class TRidEderorOption {
  eoAltSetsColumnMode,
  eoAutoIndent,
  eoAutoSizeMaxScrollWidth,
  eoDisableScrollArrows,
  eoDragDropEditing,
  eoDropFiles,
  eoEnhanceHomeKey,
  eoEnhanceEndKey,
  eoGroupUndo,
  eoHalfPageScroll,
  eoHideShowScrollbars,
  eoKeepCaretX,
  eoNoCaret,
  eoNoSelection,
  eoRightMouseMovesCursor,
  eoScrollByOneLess,
  eoScrollHintFollows,
  eoScrollPastEof,
  eoScrollPastEol,
  eoShowScrollHint,
  eoShowSpecialChars,
  eoSmartTabDelete,
  eoSmartTabs,
  eoSpecialLineDefaultFg,
  eoTabIndent,
  eoTabsToSpaces,
  eoTrimTrailingSpaces
};
using enum TRidEderorOption;
using TRidEderorOptions = TSet<TRidEderorOption, 27>;
constexpr uint32_t RidDefaultOptions = 0x026C0192;
constexpr uint32_t RidScrollOptionsMask = 0x60408;

// What OnStatusChange reports; the bit of each value is 1 << value.
enum class TRidStatusChange {
  scAll,
  scCaretX,
  scCaretY,
  scLeftChar,
  scTopLine,
  scInsertMode,
  scModified,
  scSelection,
  scReadOnly
};
using enum TRidStatusChange;
using TRidStatusChanges = TSet<TRidStatusChange, 16>;

enum TRidEderCaretType { ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock };
enum TScrollHintFormat { shfTopLineOnly, shfTopToBottom };

// State flags of the control.
constexpr uint16_t sfCaretChanged = 1;
constexpr uint16_t sfScrollbarChanged = 2;
constexpr uint16_t sfLinesChanging = 4;
constexpr uint16_t sfIgnoreNextChar = 8;
constexpr uint16_t sfCaretVisible = 16;
constexpr uint16_t sfDblClicked = 32;
constexpr uint16_t sfPossibleGutterClick = 64;
constexpr uint16_t sfWaitForDragging = 128;
constexpr uint16_t sfUpdatePending = 256;  // Update() under a paint lock: paint at its release
constexpr uint16_t sfLinesChangedUnderLock = 512;  // positions checked at the lock's release

// The commands the control runs when it gains and loses the keyboard focus.
constexpr TRidEderorCommand ecGotFocus = 480;
constexpr TRidEderorCommand ecLostFocus = 481;

class TCustomRidEder;

using TStatusChangeEvent = Delegate<void(TObject* Sender, TRidStatusChanges Changes)>;
using TPaintEvent = Delegate<void(TObject* Sender, TCanvas* ACanvas)>;
using TPaintTransient = Delegate<void(TObject* Sender, TCanvas* Canvas, int32_t TransientType)>;
using TScrollEvent = Delegate<void(TObject* Sender, TScrollBarKind ScrollBar)>;
using TSpecialLineColorsEvent =
    Delegate<void(TObject* Sender, int32_t Line, bool& Special, TColor& FG, TColor& BG)>;
using TGutterGetTextEvent = Delegate<void(TObject* Sender, int32_t aLine, std::string& aText)>;
using TGutterPaintEvent = Delegate<void(TObject* Sender, int32_t aLine, int32_t X, int32_t Y)>;
using TPlaceMarkEvent = Delegate<void(TObject* Sender, TRidEderMark*& Mark)>;
class TCustomRidEder;
using TCopyFormatsEvent = Delegate<void(TCustomRidEder* Sender, const std::string& Text)>;
using TDropFilesEvent = Delegate<void(TObject* Sender, int32_t X, int32_t Y, TStrings* AFiles)>;
// Mark is the clicked mark of the line (null when the click was beside every mark).
using TGutterClickEvent = Delegate<void(TObject* Sender, TMouseButton Button, int32_t X, int32_t Y,
                                        int32_t Line, TRidEderMark* Mark)>;
// Before and after a command: the handler may change the command (ecNone drops it) and the
// character.
using TProcessCommandEvent =
    Delegate<void(TObject* Sender, TRidEderorCommand& Command, char& AChar, void* Data)>;
using TContextHelpEvent = Delegate<void(TObject* Sender, const std::string& Word)>;

// The answer to OnReplaceText.
enum TRidReplaceAction { raCancel, raSkip, raReplace, raReplaceAll };
using TReplaceTextEvent =
    Delegate<void(TObject* Sender, const std::string& ASearch, const std::string& AReplace,
                  int32_t Line, int32_t Column, TRidReplaceAction& Action)>;

// The standard edit commands a menu or tool bar hands to the focused editor (ExecuteAction,
// UpdateAction); the framework offers no action classes of its own.
class TEditAction : public TComponent {
 public:
  RID_CLASS_NAME(TEditAction)
  using TComponent::TComponent;
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value) { FEnabled = Value; }

 private:
  bool FEnabled = true;
};
#define RID_EDIT_ACTION(Name)       \
  class Name : public TEditAction { \
   public:                          \
    RID_CLASS_NAME(Name)            \
    using TEditAction::TEditAction; \
  };
RID_EDIT_ACTION(TEditCut)
RID_EDIT_ACTION(TEditCopy)
RID_EDIT_ACTION(TEditPaste)
RID_EDIT_ACTION(TEditDelete)
RID_EDIT_ACTION(TEditUndo)
RID_EDIT_ACTION(TEditSelectAll)
#undef RID_EDIT_ACTION

// A plugin the control tells of painting and of inserted and deleted lines. It adds itself to
// its owner's list and leaves it when freed.
class TRidEderPlugin : public TObject {
 public:
  RID_CLASS_NAME(TRidEderPlugin)
  explicit TRidEderPlugin(TCustomRidEder* AOwner);
  ~TRidEderPlugin() override;
  virtual void AfterPaint(TCanvas& ACanvas, const TRect& AClip, int32_t FirstLine,
                          int32_t LastLine) = 0;
  virtual void LinesInserted(int32_t FirstLine, int32_t Count) = 0;
  virtual void LinesDeleted(int32_t FirstLine, int32_t Count) = 0;
  TCustomRidEder* Owner() const { return FOwner; }

 private:
  friend class TCustomRidEder;
  TCustomRidEder* FOwner;
};

// Raised when painting or scanning cannot go on.
class ERidEder : public Exception {
 public:
  using Exception::Exception;
};
// Its message for a highlighter that gives empty tokens without reaching the end of the line.
constexpr const char* SHighlighterLoops = "The highlighter seems to be in an infinite loop";

// Raised when the clipboard refuses a copy or a paste.
class ERidEderError : public Exception {
 public:
  using Exception::Exception;
};

// The number of the private clipboard block ("RidEder Control Block Type"): the selection mode
// byte, the text and a NUL.
uint32_t RidEderClipboardFormat();

// Without the trailing run of tabs and spaces.
std::string TrimTrailingSpaces(std::string_view S);
// Empty or only tabs and spaces.
bool StringIsBlank(std::string_view S);
// Whether 1-based column Col of Line is the second byte of a double-byte character.
bool IsTrailByteAt(std::string_view Line, int32_t Col);

// The editor control: a line buffer shown highlighted, with gutter, caret, selection in three
// modes, scroll bars and word wrap.
class TCustomRidEder : public TCustomControl, public IRidWordWrapEditor, public IRidPluginHost {
 public:
  RID_CLASS_NAME(TCustomRidEder)
  explicit TCustomRidEder(TComponent* AOwner);
  ~TCustomRidEder() override;

  void Loaded() override;
  // While designing, a text that still shows the old name follows the new one.
  void SetName(const std::string& Value) override;

  // --- the buffer
  TRidEderStringList* GetLines() const { return FLines; }
  TStrings* Lines() const { return FLines; }
  std::string GetText() const { return FLines->GetTextStr(); }
  // The length of GetText(), without building it.
  size_t GetTextLength() const;
  void SetText(const std::string& Value) { FLines->SetTextStr(Value); }
  std::string GetLineText();
  // Replaces the caret line as one undo step (text with breaks becomes several lines); nothing
  // when the caret is below the last line.
  void SetLineText(const std::string& Value);
  // The buffer takes Value's lines; both undo lists are cleared.
  void SetLines(TStrings* Value);
  TRidEderUndoList& GetUndoList() { return *FUndoList; }
  TRidEderUndoList& GetRedoList() { return *FRedoList; }

  // --- paint lock and invalidation
  void IncPaintLock();
  void DecPaintLock();
  void BeginUpdate() { IncPaintLock(); }
  void EndUpdate() { DecPaintLock(); }
  int32_t GetPaintLock() const { return FPaintLock; }
  // Expires with the control: who calls handlers that may free it checks it after each one.
  std::weak_ptr<const char> AliveToken() const { return FAliveToken; }
  // Paints what is pending now; under a paint lock, when the outermost lock is released, so
  // that a run of commands paints once.
  void Update() override;
  uint16_t GetStateFlags() const { return FStateFlags; }
  void InvalidateGutter() { InvalidateGutterLines(-1, -1); }
  void InvalidateGutterLine(int32_t Line);
  void InvalidateGutterLines(int32_t FirstLine, int32_t LastLine);
  void InvalidateLines(int32_t FirstLine, int32_t LastLine);
  void InvalidateLine(int32_t Line);
  void InvalidateSelection();
  virtual void InvalidateRect(const TRect& ARect, bool AErase);

  // --- indentation helpers
  int32_t LeftSpaces(std::string_view Line) { return LeftSpacesEx(Line, false); }
  int32_t LeftSpacesEx(std::string_view Line, bool WantTabs);
  std::string GetLeftSpacing(int32_t CharCount, bool WantTabs);

  // --- selection
  TBufferCoord GetBlockBegin() const;
  TBufferCoord GetBlockEnd() const;
  TBufferCoord GetRawBlockBegin() const { return FBlockBegin; }
  TBufferCoord GetRawBlockEnd() const { return FBlockEnd; }
  void SetBlockBegin(TBufferCoord Value);
  void SetBlockEnd(TBufferCoord Value);
  bool SelAvail() const;
  bool SelAvailMultiLine() const;
  bool IsSelectionWholeLines();
  void SelectAll();
  // Deletes the selection, if any.
  void ClearSelection();
  std::string GetSelText();
  void SetSelText(const std::string& Value);
  // Replaces the selection by Value inserted in PasteMode; records only column rows.
  void SetSelTextPrimitive(const std::string& Value);
  void SetSelTextPrimitiveEx(TRidSelectionMode PasteMode, std::string_view Value,
                             bool AddToUndoList);
  // Replaces the column block BlockBegin..BlockEnd by the rows of Text.
  void InsertBlock(const TBufferCoord& BlockBegin, const TBufferCoord& BlockEnd,
                   std::string_view Text, bool AddToUndoList);
  // Stores line Index (0-based), without trailing blanks under eoTrimTrailingSpaces (a recorded
  // edit trims them when it is done, recording the blanks for undo).
  void SetLineTrimmed(int32_t Index, const std::string& Text);
  // --- undo and redo (RidEderUndoRedo.cpp)
  bool CanUndo() const { return !FReadOnly && FUndoList->CanUndo(); }
  bool CanRedo() const { return !FReadOnly && FRedoList->CanUndo(); }
  void Undo();
  void Redo();
  void UndoItem();
  void RedoItem();
  // --- clipboard (RidEderClipboard.cpp)
  void SetClipboardText(const std::string& Text);
  void CopyToClipboard();
  void CutToClipboard();
  void PasteFromClipboard();
  bool CanPaste();
  bool IsPointInSelection(const TBufferCoord& P) const;
  TRidSelectionMode GetSelectionMode() const { return FSelectionMode; }
  void SetSelectionMode(TRidSelectionMode Value);
  TRidSelectionMode GetActiveSelectionMode() const { return FActiveSelectionMode; }
  void SetActiveSelectionMode(TRidSelectionMode Value);

  // --- caret
  TBufferCoord GetCaretXY() const { return {FCaretX, FCaretY}; }
  int32_t GetCaretX() const { return FCaretX; }
  int32_t GetCaretY() const { return FCaretY; }
  virtual void SetCaretXY(const TBufferCoord& Value);
  virtual void InternalSetCaretXY(const TBufferCoord& Value);
  virtual void SetCaretXYEx(bool EnsureVisible, TBufferCoord Value);
  void SetCaretX(int32_t Value) { SetCaretXY({Value, FCaretY}); }
  void SetCaretY(int32_t Value) { SetCaretXY({FCaretX, Value}); }
  void InternalSetCaretX(int32_t Value) { InternalSetCaretXY({Value, FCaretY}); }
  void InternalSetCaretY(int32_t Value) { InternalSetCaretXY({FCaretX, Value}); }
  TDisplayCoord GetDisplayXY();
  int32_t GetDisplayX() { return GetDisplayXY().Column; }
  int32_t GetDisplayY();
  void UpdateLastCaretX();
  bool IsCaretInView();
  void GotoLineAndCenter(int32_t Line);
  void EnsureCursorPosVisible() { EnsureCursorPosVisibleEx(false); }
  void EnsureCursorPosVisibleEx(bool ForceToMiddle);
  // Moves columns that fall on a trail byte of Line one to the right.
  void MoveOffTrailByte(int32_t Line, int32_t& Col);
  void MoveOffTrailByte(int32_t Line, int32_t& Col1, int32_t& Col2);
  void HideCaret();
  void ShowCaret();
  void UpdateCaret();
  void InitializeCaret();
  bool GetCaretAtEndOfRow() const { return FCaretAtEndOfRow; }

  // --- caret moves (RidEderMove.cpp); every position they give is a character start
  // By DX characters; a double-byte character is crossed whole. Under word wrap a move across a
  // row end first shows the caret at the end of the row.
  void MoveCaretHorz(int32_t DX, bool SelectionCommand);
  // By DY display rows, keeping the display column (LastCaretX with eoKeepCaretX).
  void MoveCaretVert(int32_t DY, bool SelectionCommand);
  // The caret to After; a selection command extends the selection from Before (the anchor when
  // there is none), any other collapses it. Ends undo grouping under eoGroupUndo.
  void MoveCaretAndSelection(const TBufferCoord& Before, const TBufferCoord& After,
                             bool SelectionCommand);
  // Caret and selection at once, keeping the active selection mode.
  void SetCaretAndSelection(const TBufferCoord& Caret, const TBufferCoord& BlockBegin,
                            const TBufferCoord& BlockEnd);
  // Home: column 1, or with eoEnhanceHomeKey alternately the first non-blank; End likewise.
  void DoHomeKey(bool Selection);
  void DoEndKey(bool Selection);
  // --- block commands (RidEderBlock.cpp)
  // Indents or unindents the selected lines (the block's column in column mode) in one undo
  // step, keeping the selection on the same text.
  void DoBlockIndent();
  void DoBlockUnindent();
  // ecUpperCase .. ecToggleCaseBlock: single-byte letters change case, double-byte characters
  // never; the caret and selection come back also when the change fails.
  void DoCaseChange(TRidEderorCommand Cmd);

  // --- words (a double-byte character is a word character; trail bytes are never a position)
  // Ctrl+Right and Ctrl+Left: the next and previous word start; each double-byte character is
  // a stop of its own.
  virtual TBufferCoord NextWordPosEx(const TBufferCoord& XY);
  virtual TBufferCoord PrevWordPosEx(const TBufferCoord& XY);
  TBufferCoord NextWordPos() { return NextWordPosEx(GetCaretXY()); }
  TBufferCoord PrevWordPos() { return PrevWordPosEx(GetCaretXY()); }
  void SelectWordAtCaret() { SetWordBlock(GetCaretXY()); }
  void GetWordCharSets(TRidCharSet& WordChars, TRidCharSet& WhiteChars);
  virtual TBufferCoord WordStartEx(const TBufferCoord& XY);
  virtual TBufferCoord WordEndEx(const TBufferCoord& XY);
  TBufferCoord WordStart() { return WordStartEx(GetCaretXY()); }
  TBufferCoord WordEnd() { return WordEndEx(GetCaretXY()); }
  void SetWordBlock(TBufferCoord Value);
  std::string GetWordAtRowCol(const TBufferCoord& XY);
  std::string GetWordAtCaret() { return GetWordAtRowCol(GetCaretXY()); }

  // --- view
  int32_t GetTopLine() const { return FTopLine; }
  void SetTopLine(int32_t Value);
  int32_t GetLeftChar() const { return FLeftChar; }
  void SetLeftChar(int32_t Value);
  int32_t GetCharsInWindow() override { return FCharsInWindow; }
  int32_t GetLinesInWindow() const { return FLinesInWindow; }
  int32_t GetCharWidth() const { return FCharWidth; }
  int32_t GetLineHeight() const { return FTextHeight; }
  int32_t GetGutterWidth() const { return FGutterWidth; }
  void SetGutterWidth(int32_t Value);
  // Pixel x of the text's left edge; clamped, the exact value may exceed 32 bits.
  int32_t GetTextOffset() const;
  void UpdateScrollBars();
  // The vertical bar's range maximum, shared by the bar and its thumb handling.
  int32_t VerticalScrollMax();
  // The horizontal one: the longest line, or with eoScrollPastEol that or MaxScrollWidth,
  // whichever is wider.
  int32_t HorizontalScrollMax();
  // The largest LeftChar that still shows the end of that range.
  int32_t LastLeftChar();
  // The largest column of Line with eoScrollPastEol: MaxScrollWidth limits how far a position
  // may lie past the line's end, never a position inside its text.
  int32_t MaxColumnOf(int32_t Line);
  TScrollStyle GetScrollBarsStyle() const { return FScrollBarsStyle; }
  void SetScrollBars(TScrollStyle Value);
  bool GetIsScrolling() const { return FIsScrolling; }
  TTimer& GetScrollTimer() { return *FScrollTimer; }

  // --- positions
  TDisplayCoord BufferToDisplayPos(const TBufferCoord& P);
  TBufferCoord DisplayToBufferPos(const TDisplayCoord& P);
  int32_t LineToRow(int32_t Line);
  int32_t RowToLine(int32_t Row);
  int32_t DisplayLineCount();
  void SetInternalDisplayXY(const TDisplayCoord& P);
  TBufferCoord CharIndexToRowCol(int32_t Index);
  int32_t RowColToCharIndex(const TBufferCoord& P);
  int32_t GetSelStart();
  void SetSelStart(int32_t Value);
  int32_t GetSelLength();
  void SetSelLength(int32_t Value);
  int32_t ColumnToXValue(int32_t Col) const;
  TDisplayCoord PixelsToRowColumn(int32_t X, int32_t Y);
  // The buffer position under the mouse; false when it is outside the client area.
  bool GetPositionOfMouse(TBufferCoord& P);
  bool GetBookMark(int32_t Number, int32_t& X, int32_t& Y);
  bool IsBookmark(int32_t Number);

  // --- the mouse (RidEderMouse.cpp): clicks place the caret and select (Shift extends, Alt
  // with eoAltSetsColumnMode selects columns), a double click selects a word, a press inside the
  // selection may start dragging it, and the scroll timer scrolls while the mouse is held
  // outside the text. No position the mouse gives is ever on a trail byte.
  void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
  void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
  void DblClick() override;
  // OnGutterClick with the clicked line and mark; nothing below the last line.
  virtual void DoOnGutterClick(TMouseButton Button, int32_t X, int32_t Y);
  // Sets the scroll direction and speed for a mouse at X, Y held outside the text area; the
  // timer runs while there is one and the mouse is captured or dragging.
  void ComputeScroll(int32_t X, int32_t Y);
  // The nearest character boundary: columns round to the nearer cell edge, rows stop at the
  // last whole row.
  TDisplayCoord PixelsToNearestRowColumn(int32_t X, int32_t Y);
  TPoint RowColumnToPixels(const TDisplayCoord& RowCol);
  // Where the caret shows, in screen coordinates (for pop-ups).
  TPoint GetCaretScreenPoint();
  // The caret to the character boundary nearest to X, Y.
  void ComputeCaret(int32_t X, int32_t Y);
  // The client point of the last left press on a selection.
  int32_t GetMouseDownX() const { return FMouseDownX; }
  int32_t GetMouseDownY() const { return FMouseDownY; }
  // --- text dragged from an editor (RidEderDragDrop.cpp). Within one editor the text moves
  // (Ctrl copies); from another it is copied (Shift moves). The dropped text ends selected with
  // the caret at its start; each editor's undo list undoes its own part.
  void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept) override;
  void DragDrop(TObject* Source, int32_t X, int32_t Y) override;
  void DoEndDrag(TObject* Target, int32_t X, int32_t Y) override;
  // Files dropped on the window (eoDropFiles): whole names in code page 932, drop point in
  // client coordinates.
  TDropFilesEvent OnDropFiles;
  TGutterClickEvent OnGutterClick;
  // The editor's own mouse enter and leave events (they hide the framework's plain ones): the
  // shift state and the mouse position in client coordinates.
  TMouseMoveEvent OnMouseEnter;
  TMouseMoveEvent OnMouseLeave;
  // --- bookmarks 0..9 (RidEderBookmark.cpp); other numbers do nothing. A bookmark is the mark
  // of its number in GetMarks(), which owns it.
  // OnPlaceBookmark receives the new mark and may replace it or set it to null (a veto). The
  // handler never frees the mark it is given: the control frees it when it was replaced or
  // vetoed. A replacement must come from new; it becomes the control's, as bookmark BookMark.
  void SetBookMark(int32_t BookMark, int32_t X, int32_t Y);
  void ClearBookMark(int32_t BookMark);
  // The caret to the mark, centred, never inside a character the line has gained since.
  void GotoBookMark(int32_t BookMark);
  // --- brackets (RidEderBracket.cpp): "()[]{}<>" nest across lines; those the highlighter
  // shows as string or comment are skipped. (0, 0) when there is no partner or no bracket.
  virtual TBufferCoord GetMatchingBracketEx(const TBufferCoord& APoint);
  virtual TBufferCoord GetMatchingBracket() { return GetMatchingBracketEx(GetCaretXY()); }
  // The caret to the partner of the bracket at the caret, if there is one.
  virtual void FindMatchingBracket();
  // The highlighter token covering XY: its text, kind, start column and attribute.
  bool GetHighlighterAttriAtRowCol(const TBufferCoord& XY, std::string& Token,
                                   TRidHighlighterAttributes*& Attri);
  bool GetHighlighterAttriAtRowColEx(const TBufferCoord& XY, std::string& Token, int32_t& TokenType,
                                     int32_t& Start, TRidHighlighterAttributes*& Attri);
  void DoLinesInserted(int32_t FirstLine, int32_t Count);
  void DoLinesDeleted(int32_t FirstLine, int32_t Count);
  void DoPluginsAfterPaint(TCanvas& ACanvas, const TRect& AClip, int32_t FirstLine,
                           int32_t LastLine);
  int32_t PluginCount() const { return static_cast<int32_t>(FPlugins.size()); }

  // --- ranges
  // Ranges are found on demand: the stored ranges of lines [0, FRangesKnown) equal a full scan,
  // and a read below them scans on from there as far as the read needs. The lines an edit
  // changes are marked stale there and scanned again once, when the edit ends (the lines' update
  // and the paint lock released) or a read needs them, so an edit of many lines costs one scan.
  int32_t ScanFrom(int32_t Index);
  void ScanRanges();
  TRidRange RangeNeeded(TObject* Sender, int32_t Index);
  void ScanLine(int32_t Index);
  bool KeepsRanges() const;
  void MarkStale(int32_t Index, int32_t Count);
  int32_t NextStale(int32_t From, int32_t Last) const;
  void RescanStale();
  void RescanStaleUnlessEditing();

  // --- properties
  TRidEderorOptions GetOptions() const { return FOptions; }
  void SetOptions(TRidEderorOptions Value);
  TColor GetActiveLineColor() const { return FActiveLineColor; }
  void SetActiveLineColor(TColor Value);
  int32_t GetRightEdge() const { return FRightEdge; }
  void SetRightEdge(int32_t Value);
  TColor GetRightEdgeColor() const { return FRightEdgeColor; }
  void SetRightEdgeColor(TColor Value);
  int32_t GetMaxUndo() const { return FUndoList->GetMaxUndoActions(); }
  void SetMaxUndo(int32_t Value);
  TRidCustomHighlighter* GetHighlighter() const { return FHighlighter; }
  void SetHighlighter(TRidCustomHighlighter* Value);
  bool GetHideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  bool GetInsertMode() const { return FInsertMode; }
  void SetInsertMode(bool Value);
  TRidEderCaretType GetInsertCaret() const { return FInsertCaret; }
  void SetInsertCaret(TRidEderCaretType Value);
  TRidEderCaretType GetOverwriteCaret() const { return FOverwriteCaret; }
  void SetOverwriteCaret(TRidEderCaretType Value);
  int32_t GetMaxScrollWidth() const { return FMaxScrollWidth; }
  void SetMaxScrollWidth(int32_t Value);
  TRidEderKeyStrokes& GetKeystrokes() { return *FKeystrokes; }
  void SetKeystrokes(TRidEderKeyStrokes* Value);
  bool GetAlwaysShowCaret() const { return FAlwaysShowCaret; }
  void SetAlwaysShowCaret(bool Value);
  int32_t GetExtraLineSpacing() const { return FExtraLineSpacing; }
  void SetExtraLineSpacing(int32_t Value);
  TRidGutter& GetGutter() { return *FGutter; }
  void SetGutter(TRidGutter* Value) { FGutter->Assign(Value); }
  int32_t GetTabWidth() const { return FTabWidth; }
  void SetTabWidth(int32_t Value);
  bool GetWordWrap() const { return FWordWrapPlugin != nullptr; }
  void SetWordWrap(bool Value);
  IWordWrapMapper* GetWordWrapPlugin() const { return FWordWrapPlugin.get(); }
  bool GetWantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool GetWantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  TRidGlyph& GetWordWrapGlyph() { return *FWordWrapGlyph; }
  void SetWordWrapGlyph(TRidGlyph* Value) { FWordWrapGlyph->Assign(Value); }
  virtual bool GetReadOnly() const { return FReadOnly; }
  virtual void SetReadOnly(bool Value);
  bool GetModified() const { return FModified; }
  void SetModified(bool Value);
  void UpdateModifiedStatus();
  bool GetShowEndMarks() const { return FShowEndMarks; }
  void SetShowEndMarks(bool Value);
  bool GetSearchKeyActive() const { return FSearchKeyActive; }
  void SetSearchKeyActive(bool Value);
  const std::string& GetSearchKey() const { return FSearchKey; }
  void SetSearchKey(const std::string& Value);
  TRidSelectedColor& GetSelectedColor() { return *FSelectedColor; }
  TRidBookMarkOpt& GetBookMarkOptions() { return *FBookMarkOpt; }
  TRidEderMarkList& GetMarks() { return *FMarkList; }
  TRidEderSearchCustom* GetSearchEngine() const { return FSearchEngine; }
  // Not owned: cleared when the engine is freed.
  void SetSearchEngine(TRidEderSearchCustom* Value);
  TColor GetScrollHintColor() const { return FScrollHintColor; }
  void SetScrollHintColor(TColor Value) { FScrollHintColor = Value; }
  TScrollHintFormat GetScrollHintFormat() const { return FScrollHintFormat; }
  void SetScrollHintFormat(TScrollHintFormat Value) { FScrollHintFormat = Value; }
  TheTextDrawer& GetTextDrawer() { return *FTextDrawer; }
  TRidEderKbdHandler& GetKbdHandler() { return *FKbdHandler; }
  // The font the control draws with; a proportional font is replaced by a fixed-pitch one.
  void SetFont(TFont& Value);

  // --- search and replace (RidEderSearchReplace.cpp)
  // Finds, selects and replaces ASearch with the search engine, line by line; returns the
  // number of hits reached in the search range.
  int32_t SearchReplace(const std::string& ASearch, const std::string& AReplace,
                        TRidSearchOptions AOptions);
  // Cancel unless OnReplaceText answers otherwise.
  virtual TRidReplaceAction DoOnReplaceText(const std::string& ASearch, const std::string& AReplace,
                                            int32_t Line, int32_t Column);
  TReplaceTextEvent OnReplaceText;

  // --- the command road (RidEderCommands.cpp)
  // Runs one command: OnProcessCommand (OnProcessUserCommand from ecUserFirst), the command
  // hooks, ExecuteCommand for numbers below ecUserFirst, the hooks again, and OnCommandProcessed
  // always. A handler may free the control; the road then stops.
  virtual void CommandProcessor(TRidEderorCommand Command, char AChar, void* Data);
  // What a command does. Data: a TBufferCoord* for ecGotoXY, ecSelGotoXY and ecSetMarker0..9
  // (null: nothing, or the caret for a marker), a NUL-terminated string for ecImeStr.
  virtual void ExecuteCommand(TRidEderorCommand Command, char AChar, void* Data);
  virtual void DoOnProcessCommand(TRidEderorCommand& Command, char& AChar, void* Data);
  virtual void DoOnCommandProcessed(TRidEderorCommand Command, char AChar, void* Data);
  // Every hook in registration order with one Handled flag; Handled set by any drops the
  // command.
  virtual void NotifyHookedCommandHandlers(bool AfterProcessing, TRidEderorCommand& Command,
                                           char& AChar, void* Data);
  // A method registered twice stays once, with its first HandlerData.
  void RegisterCommandHandler(THookedCommandEvent AHandlerProc, void* AHandlerData) override;
  void UnregisterCommandHandler(THookedCommandEvent AHandlerProc) override;
  // The hook's index, -1 when it is not registered.
  int32_t FindHookedCmdEvent(const THookedCommandEvent& AHandlerProc) const;
  // Empties the text, the marks and both undo lists.
  void ClearAll();
  // Tab and Shift+Tab: block indent with eoTabIndent and a multi-line selection, else a tab
  // (smart, or spaces) at the caret, and Shift+Tab takes back the blanks before the caret.
  void DoTabKey();
  void DoShiftTabKey();
  // --- plugins (IRidPluginHost)
  TComponent* PluginHostComponent() override { return this; }
  TRidEderKeyStrokes* GetKeystrokes() const override { return FKeystrokes.get(); }

  // --- keyboard, input method and focus (RidEderKeys.cpp)
  // The command bound to Code with Shift, or to the pending first key followed by it; an
  // unbound key of 30..145 becomes the pending first key, any other key clears it.
  TRidEderorCommand TranslateKeyCode(uint16_t Code, TShiftState Shift, void*& Data);
  // Whether the key-stroke table binds Code with Shift, alone or as the first key of two, or as
  // the second key of the one pending: such a key is the editor's, not a window shortcut's.
  bool IsBoundKey(uint16_t Code, TShiftState Shift) const;
  void KeyDown(uint16_t& Key, TShiftState Shift) override;
  void KeyPress(char& Key) override;
  void WndProc(TMessage& Message) override;
  // With an empty focus list the control takes the focus, else the last window of the list.
  void SetFocus() override;
  void AddFocusControl(TWinControl* AControl) { FFocusList.push_back(AControl); }
  void RemoveFocusControl(TWinControl* AControl);
  void AddKeyDownHandler(const TKeyEvent& AHandler) { FKbdHandler->AddKeyDownHandler(AHandler); }
  void RemoveKeyDownHandler(const TKeyEvent& AHandler) {
    FKbdHandler->RemoveKeyDownHandler(AHandler);
  }
  void AddKeyPressHandler(const TKeyPressEvent& AHandler) {
    FKbdHandler->AddKeyPressHandler(AHandler);
  }
  void RemoveKeyPressHandler(const TKeyPressEvent& AHandler) {
    FKbdHandler->RemoveKeyPressHandler(AHandler);
  }
  // Bytes of the last input-method result still to come back as characters (and be dropped).
  int32_t GetImeCount() const { return FImeCount; }
  TProcessCommandEvent OnProcessCommand;
  TProcessCommandEvent OnProcessUserCommand;
  TProcessCommandEvent OnCommandProcessed;
  TContextHelpEvent OnContextHelp;

  // --- undo grouping
  void BeginUndoBlock() { FUndoList->BeginBlock(); }
  void EndUndoBlock() { FUndoList->EndBlock(); }
  void LockUndo();
  void UnlockUndo();
  void ClearUndo();

  // --- status and events
  void StatusChanged(TRidStatusChanges Changes);
  TRidStatusChanges GetPendingStatusChanges() const { return FStatusChanges; }
  virtual void DoChange();
  virtual void DoOnPaint();
  virtual void DoOnPaintTransientEx(int32_t TransientType, bool Lock);
  virtual void DoOnPaintTransient(int32_t TransientType) {
    DoOnPaintTransientEx(TransientType, false);
  }
  virtual bool DoOnSpecialLineColors(int32_t Line, TColor& Foreground, TColor& Background);
  virtual void DoOnStatusChange(TRidStatusChanges Changes);
  virtual void DoOnClearBookmark(TRidEderMark*& Mark);
  virtual void DoOnPlaceBookmark(TRidEderMark*& Mark);
  virtual void ResetKeystrokes();
  // Shows the cursor for the mouse position: the gutter's, the arrow over a draggable
  // selection, else Cursor; OnMouseCursor and the handler chain may change it.
  virtual void UpdateMouseCursor();
  // The standard edit actions (TEditAction): true when the action was one of them.
  bool ExecuteAction(TComponent* Action);
  bool UpdateAction(TComponent* Action);
  // The last error that stopped a paint (empty when none).
  const std::string& GetLastPaintError() const { return FLastPaintError; }
  int32_t GetPaintErrorCount() const { return FPaintErrorCount; }

  TNotifyEvent OnChange;
  TPlaceMarkEvent OnClearBookmark;
  TPlaceMarkEvent OnPlaceBookmark;
  TPaintEvent OnPaint;
  TSpecialLineColorsEvent OnSpecialLineColors;
  TPaintTransient OnPaintTransient;
  TScrollEvent OnScroll;
  TGutterGetTextEvent OnGutterGetText;
  TGutterPaintEvent OnGutterPaint;
  TStatusChangeEvent OnStatusChange;
  TNotifyEvent OnLoaded;
  TNotifyEvent OnGutterWidthChange;
  TMouseCursorEvent OnMouseCursor;
  // Fired by a copy while the clipboard is still open, after the plain text and the private
  // block: the handler adds other forms of the copied text, which reach the system with them.
  TCopyFormatsEvent OnCopyFormats;

  // --- IRidWordWrapEditor
  int32_t GetLineCount() override { return FLines->GetCount(); }
  std::string GetExpandedString(int32_t Index) override { return FLines->GetExpandedString(Index); }
  TRidCharSet GetIdentChars() override;

  // --- framework
  void Dispatch(TMessage& Message) override;
  void Resize() override;
  void DoEnter() override;
  void KeyUp(uint16_t& Key, TShiftState Shift) override;

 protected:
  void Paint() override;
  virtual void PaintGutter(const TRect& AClip, int32_t FirstRow, int32_t LastRow);
  virtual void PaintTextLines(TRect AClip, int32_t FirstRow, int32_t LastRow, int32_t FirstCol,
                              int32_t LastCol);
  virtual void LinesChanged(TObject* Sender);
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void DestroyWnd() override;
  void FontChanged() override;

 private:
  friend class TRidEderPlugin;
  struct TPaintState;  // per-paint values (RidEderPaint.cpp)
  struct TSearchRun;   // one SearchReplace call (RidEderSearchReplace.cpp)

  // handlers
  void LinesChanging(TObject* Sender);
  void ListCleared(TObject* Sender);
  void ListDeleted(TObject* Sender, int32_t Index, int32_t Count);
  void ListInserted(TObject* Sender, int32_t Index, int32_t Count);
  void ListPutted(TObject* Sender, int32_t Index, int32_t Count);
  void UndoRedoAdded(TObject* Sender);
  void SelectedColorsChanged(TObject* Sender);
  void BookmarkOptionsChanged(TObject* Sender);
  void GutterChanged(TObject* Sender);
  void WordWrapGlyphChange(TObject* Sender);
  void MarkListChange(TObject* Sender);
  void MarkChanged(TRidEderMark* Sender, int32_t Line);
  // The highlighter set to line Index (0-based) from the range stored before it.
  void StartTokens(int32_t Index);
  // The columns of line Index's characters Open and Close that count for bracket matching.
  void BracketsOfLine(int32_t Index, char Open, char Close, std::vector<int32_t>& Cols);
  // The bookmark of that number in the mark list, if set.
  TRidEderMark* FindBookMark(int32_t BookMark) const;
  void HighlighterAttrChanged(TObject* Sender);
  void FontHolderChanged(TObject* Sender);
  void RecalcCharExtent();
  void SizeOrFontChanged(bool bFont);
  void GrowMaxScrollWidth(int32_t Index);
  void ScrollTimerHandler(TObject* Sender);
  // The top line after bringing row Row into view from top line Top (centred with ForceToMiddle),
  // in a text of Rows rows: Top when Row is in view, else clamped as SetTopLine clamps.
  int32_t TopLineShowing(int32_t Row, int32_t Top, bool ForceToMiddle, int32_t Rows) const;
  int32_t ClampedTopLine(int32_t Value, int32_t Rows) const;
  // mouse messages (RidEderMouse.cpp)
  void WMDropFiles(TMessage& Msg);
  void WMCaptureChanged(TMessage& Msg);
  void MouseEnterLeave(TMessage& Msg);
  // The character boundary nearest to X, Y as a display position, its row within the text.
  TDisplayCoord NearestCharBoundary(int32_t X, int32_t Y);
  // Whether dropping Source's selection here moves it (else copies): within one editor unless
  // Ctrl is held, from another only with Shift.
  bool MovesOnDrop(const TCustomRidEder& Source) const;

  // The clipboard, undo and whole-text messages (RidEderClipboard.cpp).
  void TextMessage(TMessage& Msg);
  // scrolling
  void WMHScroll(TMessage& Msg);
  void WMVScroll(TMessage& Msg);
  void ShowScrollHint();
  // text insertion (RidEderInsert.cpp)
  struct TTempOption {  // an option set or cleared for a scope
    TTempOption(TCustomRidEder& AEder, TRidEderorOption AOption, bool AOn);
    ~TTempOption();
    TCustomRidEder& Ed;
    TRidEderorOption Option;
    bool Was;
  };
  // Lines a recorded edit stores keep their trailing blanks until the edit is done; then each
  // is trimmed with an undo item of its own, so undo puts the blanks back.
  class TTrimAfterEdit {
   public:
    explicit TTrimAfterEdit(TCustomRidEder& AEder);
    ~TTrimAfterEdit();
    void Note(int32_t Index);
    void LinesInserted(int32_t Index, int32_t Count);
    void LinesDeleted(int32_t Index, int32_t Count);
    // Trims the noted lines, recording each; the caret keeps its display column.
    void Finish();

   private:
    TCustomRidEder& Ed;
    std::vector<int32_t> FLines;  // 0-based, ascending, each once
    bool FActive = false;
  };
  TTrimAfterEdit* FTrimAfterEdit = nullptr;
  void InsertLineTrimmed(int32_t Index, const std::string& Text);
  // Stores the line a deletion joined: its trailing blanks go only where the caret may stand
  // past the line's end (else the caret would stand past the end of the line it is on).
  void SetJoinedLine(int32_t Index, const std::string& Text);
  // The selected text as a deletion removes it (column rows unpadded), and in a file with mixed
  // breaks the kind of each of its breaks, or the shift of each column row (see
  // TRidEderUndoItem::FChangeBreaks).
  std::string GetSelTextForUndo(std::string& Breaks);
  std::string GetSelTextEx(std::string* Breaks);
  // The kind of the break after line Line (1-based) for an undo item, in a mixed-break file.
  void NoteBreak(std::string* Breaks, int32_t Line) const;
  void AddUndoItem(TRidChangeReason Reason, TBufferCoord Start, TBufferCoord End,
                   const std::string& Text, const std::string& Breaks, TRidSelectionMode Mode);
  // The kinds of the breaks of a text being put back, or the shifts of its column rows.
  std::string_view FInsertBreaks;
  // Sets FInsertBreaks for a scope.
  struct TInsertBreaks {
    TInsertBreaks(TCustomRidEder& AEder, std::string_view Kinds) : Ed(AEder) {
      Ed.FInsertBreaks = Kinds;
    }
    ~TInsertBreaks() { Ed.FInsertBreaks = {}; }
    TCustomRidEder& Ed;
  };
  // Sets a flag for a scope.
  struct TFlagOn {
    explicit TFlagOn(bool& AField) : Field(AField), Was(AField) { Field = true; }
    ~TFlagOn() { Field = Was; }
    bool& Field;
    bool Was;
  };
  void PutBack(TRidSelectionMode Mode, const TRidEderUndoItem& Item);
  void DeleteSelection();
  // SetSelTextPrimitiveEx. With AtCaret, and after deleting a normal selection, the text goes
  // exactly at the caret: where a selection started was a character start, and a byte there
  // that now seems to be a trail byte was only joined to a lone lead byte by the deletion.
  // Column: where the rows of a column insertion after the first go in (0: the caret's column);
  // a column selection gives its own left column.
  void ReplaceSelection(TRidSelectionMode PasteMode, std::string_view Value, bool AddToUndoList,
                        bool AtCaret, int32_t Column = 0);
  // AtCaret: exactly at the caret, even where it seems to be on a trail byte.
  void InsertText(TRidSelectionMode PasteMode, std::string_view Value, bool AddToUndoList,
                  bool AtCaret, int32_t Column = 0);
  int32_t InsertNormal(std::string_view Value);
  int32_t InsertLine(std::string_view Value);
  // The first row at the caret, the others at Column.
  int32_t InsertColumn(std::string_view Value, bool AddToUndoList, int32_t Column);
  // A column block's bytes on line Line, 1-based [first, second): the block's two columns, each
  // moved off a trail byte of that line, wrapped or not. What is shown selected, copied, deleted,
  // put back by undo and changed in case is always these bytes.
  std::pair<int32_t, int32_t> ColumnBytes(int32_t Line);
  // The column block's bytes, rows joined by CR LF; Padded: a row's columns past its line's end
  // as blanks (a copy; a deletion takes none). *Shifts (when given) receives for each row how far
  // its first byte lies right of the block's column (1 where the column fell on a trail byte), or
  // stays empty when no row's does: undo puts each row back there, as a deletion may join a lone
  // lead byte to a byte that can trail.
  std::string GetColumnText(bool Padded, std::string* Shifts = nullptr);
  // The column of line Line unwrapped (tabs expanded) where byte Char is shown.
  int32_t ExpandedColumn(int32_t Line, int32_t Char);
  // Moves the caret and normal-mode selection ends (all ends with AllModes) that fall on a trail
  // byte past the character.
  void KeepSelectionOffTrailBytes(bool AllModes, bool Caret = true);
  // After the lines changed: now, or at the paint lock's release.
  void KeepPositionsOffTrailBytes();
  // Replaces the selection by Value in Mode, recording items that undo it exactly.
  bool ReplayPositionStep(const TRidEderUndoItem& Item, TRidEderUndoList& Into, int32_t Number,
                          TRidSelectionMode Shown);
  void ReplaceSelectionRecorded(TRidSelectionMode Mode, std::string_view Value,
                                TRidChangeReason InsertReason);
  // Puts the lines Edits changed as they are after its hits were replaced (Redo) or before, each
  // changed line stored once and one change notice for all; returns where the caret goes after.
  TBufferCoord PutLineEdits(const TRidLineEdits& Edits, bool Redo);
  // Line Index (0-based) as it is after L's hits were replaced; returns the rows it gained.
  int32_t PutLineAfter(const TRidLineEdits::TLine& L, int32_t Index, TRidLineEdits::TRows& Rows);
  // L's line as it was before its hits were replaced, from its rows after.
  void PutLineBefore(const TRidLineEdits::TLine& L, std::string& Text);
  // The bytes of line Line (1-based, one of the text) that the selection covers, as 0-based
  // [first, second) within the line: a column row moved off trail bytes, as a deletion takes it.
  std::pair<int32_t, int32_t> SelectedBytes(int32_t Line);
  // The case change of the selection's letters, in place, as one undo step that gives back the
  // selection from WasBegin to WasEnd in WasMode and the caret at Caret; nothing when no letter
  // changes and no blank is to be trimmed.
  void ChangeCaseOfSelection(TRidEderorCommand Cmd, TBufferCoord WasBegin, TBufferCoord WasEnd,
                             TRidSelectionMode WasMode, TBufferCoord Caret);
  // Selection and caret as given, keeping the active selection mode.
  void SetSelectionRaw(TBufferCoord Start, TBufferCoord End, TBufferCoord Caret);
  // The indentation an unindent removes from Line at Col (moved off a trail byte first).
  int32_t UnindentWidth(int32_t Line, int32_t& Col);
  // P after an unindent that removed Widths[k] bytes from line FirstLine + k before it.
  TBufferCoord AfterUnindent(TBufferCoord P, int32_t FirstLine,
                             const std::vector<int32_t>& Widths) const;
  // Under word wrap, a caret that a move took to the start of a row other than Row is shown at
  // the end of the row before.
  void ShowCaretAtRowEnd(int32_t Row);
  // A selection end as the block setters keep it: on an existing line, Char within
  // MaxColumnOf with eoScrollPastEol, within the text in normal mode.
  TBufferCoord ClampedBlockPos(TBufferCoord Value);
  // The bytes of line Line (1-based); none below the last line, where a caret may stand.
  std::string_view LineView(int32_t Line) const;
  // An anchor as SetBlockBegin keeps it: clamped, and in normal mode on a character's start.
  TBufferCoord AnchorPos(TBufferCoord Value);
  // DisplayToBufferPos, where a column on the second byte of a character stays there.
  TBufferCoord DisplayToBufferPosRaw(const TDisplayCoord& P);
  TRidCharSet WhiteChars();
  TBufferCoord FLastInsertEnd{1, 1};  // where the last insertion ended
  // Undo, redo and a search's replacement of a hit: no position moves off a trail byte, nor is
  // held to a line's last column.
  bool FExactPositions = false;
  bool FExactColumns = false;  // nor a column of a column deletion
  int32_t FReplayNumber = 0;   // change number of the step being replayed
  // A bar's range maximum, page and position: the rows or the columns, and the view on them.
  void ScrollBarRange(int32_t Bar, int32_t& Max, int32_t& Page, int32_t& Pos);
  bool ScrollBarWanted(int32_t Bar);
  void SettleScrollBars(bool Horz, bool Vert);
  void UpdateOneScrollBar(int32_t Bar);
  bool FUpdatingScrollBars = false;
  // Where a dragged or released thumb of a bar of Max positions points.
  int32_t ThumbPosition(int32_t Bar, int32_t Code, const TMessage& Msg, int32_t Max);
  void SetTextOffsetFromLeftChar();

  // painting
  void PaintLines(TPaintState& S);
  void ComputeSelectionInfo(TPaintState& S);
  // The columns of line Line, unwrapped, that a column block covers: those of ColumnBytes.
  void ColumnBlockOfLine(TPaintState& S, int32_t Line);
  void PaintToken(TPaintState& S, std::string_view Token, int32_t TokenLen, int32_t CharsBefore,
                  int32_t First, int32_t Last);
  void AddHighlightToken(TPaintState& S, std::string_view Token, int32_t CharsBefore,
                         int32_t TokenLen, TRidHighlighterAttributes* Attri);
  void PaintHighlightToken(TPaintState& S, bool FillToEOL);
  void AdjustEndRect(TPaintState& S, TRect& R);
  void DrawMark(TRidEderMark* AMark, int32_t& AOffset, int32_t ARow);
  TColor GetEditorBackground(bool CaretRow);
  void ReportPaintError(const std::string& Message);

  // commands (RidEderCommands.cpp, RidEderEditing.cpp)
  struct THookedCommandHandlerEntry {
    THookedCommandEvent Event;
    void* Data;
  };
  void ExecuteMoveCommand(TRidEderorCommand Command, void* Data);
  bool ExecuteEditCommand(TRidEderorCommand Command, char AChar, void* Data);
  void MovePage(TRidEderorCommand Command);
  void ScrollByRow(TRidEderorCommand Command);
  void ToggleBookMark(int32_t BookMark, const TBufferCoord* At);
  void TypeChar(char AChar);
  // A lead byte typed alone waits for the byte after it. Take: the bytes it adds to the next text
  // typed (none when no byte waits). Put: it goes in alone, at the caret where it was typed
  // (dropped on a read-only text).
  std::string TakePendingLeadByte();
  void PutPendingLeadByte();
  void TypeBytes(const std::string& Bytes);
  // With trimming, blanks typed at the end of a line that has none would go at once: the caret
  // steps over them instead, and the text, its undo steps and a run of typing stay as they were.
  // False when Bytes are more than such blanks (or a selection waits to be replaced).
  bool StepOverTrimmedBlanks(std::string_view Bytes);
  // The caret to column Col past the blanks trimmed at the end of its line, however far past
  // (MaxScrollWidth too): the character typed next goes in after them.
  void SetCaretAfterTrimmedBlanks(int32_t Col);
  void InsertImeString(const char* Data);
  void LineBreak(bool MoveCaret);
  // Blanks from the line end to a caret past it, recorded.
  void PadToCaret();
  // One recorded edit: the transient paint around it, one undo step, one screen update, and
  // the blanks it leaves at line ends trimmed as steps of their own; it starts from a caret off
  // trail bytes.
  template <typename F>
  void EditStep(F&& Body);
  void DeleteLastChar();
  // Where Backspace takes a caret past the line end.
  int32_t BackspaceInVirtualSpace(std::string_view Line);
  // Where ecDeleteWord deletes to: the word's end, and the blanks after it.
  TBufferCoord DeleteWordTarget(TBufferCoord Caret);
  void DeleteChar();
  void DeleteToWordOrLineEnd(TRidEderorCommand Command);
  void DeleteToWordOrLineStart(TRidEderorCommand Command);
  void DeleteLine();
  // ecClearAll: the whole text deleted as one undoable step, and the marks.
  void DeleteAll();
  // Under eoGroupUndo, keeps the next change out of the undo group of the changes before it.
  void EndUndoGroup();
  // Removes From..To (From first) and records it with Reason.
  void DeleteRecorded(TBufferCoord From, TBufferCoord To, TRidChangeReason Reason);
  // The bytes Backspace removes directly after the indentation (unindenting).
  int32_t UnindentBytes(std::string_view Line, int32_t Col);
  // The columns Tab moves by with eoSmartTabs: to the next word start of a line above; 0 when
  // no line above reaches the caret's column.
  int32_t SmartTabDistance();
  // The caret's column with tabs expanded, in its whole line (rows of word wrap aside): tab
  // stops are counted from the line's start.
  int32_t CaretColumn();
  // The display column Shift+Tab goes back to with eoSmartTabs: a word start of a line above;
  // 0 when no line above reaches the column before the caret.
  int32_t SmartShiftTabColumn();
  std::shared_ptr<const char> FAliveToken = std::make_shared<const char>();
  std::vector<THookedCommandHandlerEntry> FHookedCommandHandlers;
  std::vector<TWinControl*> FFocusList;  // not owned
  uint16_t FLastKey = 0;                 // pending first key of a two-key shortcut
  TShiftState FLastShift;
  int32_t FImeCount = 0;
  int32_t FMouseWheelAccumulator = 0;
  int16_t FPendingLeadByte = -1;  // a lead byte typed as ecChar, waiting for its trail byte
  // keyboard, input method and focus (RidEderKeys.cpp)
  // The keyboard, input-method, focus and wheel messages; false for the others.
  bool InputMessage(TMessage& Message);
  void WMImeComposition(TMessage& Msg);
  void WMImeNotify(TMessage& Msg);
  void WMKillFocus(TMessage& Msg);
  void WMMouseWheel(TMessage& Msg);

  TRidEderStringList* FLines;  // owned (FOwnLines)
  std::unique_ptr<TRidEderStringList> FOwnLines;
  std::unique_ptr<TRidEderUndoList> FUndoList;
  std::unique_ptr<TRidEderUndoList> FRedoList;
  std::unique_ptr<TFont> FFontDummy;
  std::unique_ptr<TRidSelectedColor> FSelectedColor;
  std::unique_ptr<TRidBookMarkOpt> FBookMarkOpt;
  std::unique_ptr<TRidGutter> FGutter;
  std::unique_ptr<TRidGlyph> FWordWrapGlyph;
  std::unique_ptr<TRidGlyph> FEndMarkGlyph;
  std::unique_ptr<TheTextDrawer> FTextDrawer;
  std::unique_ptr<TRidEderKeyStrokes> FKeystrokes;
  std::unique_ptr<TRidEderKbdHandler> FKbdHandler;
  std::unique_ptr<TRidEderMarkList> FMarkList;
  std::unique_ptr<TRidInternalImage> FInternalImage;
  std::unique_ptr<IWordWrapMapper> FWordWrapPlugin;
  std::unique_ptr<TTimer> FScrollTimer;  // auto-scroll while the mouse drags outside the text
  int32_t FScrollDeltaX = 0;
  int32_t FScrollDeltaY = 0;
  int32_t FMouseDownX = 0;
  int32_t FMouseDownY = 0;
  std::vector<TRidEderPlugin*> FPlugins;          // not owned: each plugin leaves when freed
  TRidCustomHighlighter* FHighlighter = nullptr;  // not owned: free notification
  int32_t FRangesKnown = 0;
  int32_t FStaleFirst = -1;  // the first and last stale lines, -1 without any
  int32_t FStaleLast = -1;
  TRidEderSearchCustom* FSearchEngine = nullptr;  // not owned

  TColor FActiveLineColor = clNone;
  int32_t FRightEdge = 80;
  TColor FRightEdgeColor = clSilver;
  int32_t FGutterWidth = 30;
  int64_t FTextOffset = 32;
  int32_t FCharWidth = 8;
  int32_t FTextHeight = 16;
  int32_t FCharsInWindow = 0;
  int32_t FLinesInWindow = 0;
  int32_t FExtraLineSpacing = 0;
  int32_t FLeftChar = 1;
  int32_t FTopLine = 1;
  int32_t FCaretX = 1;
  int32_t FCaretY = 1;
  int32_t FLastCaretX = 1;
  bool FSteppedOffTrailByte = false;  // a vertical move stepped left off a trail byte
  bool FCaretAtEndOfRow = false;
  // An edit put the caret after blanks it trimmed: with word wrap it may stand past the row.
  bool FCaretAfterTrimmedBlanks = false;
  TPoint FCaretOffset;
  TBufferCoord FBlockBegin{1, 1};
  TBufferCoord FBlockEnd{1, 1};
  TRidSelectionMode FSelectionMode = smNormal;
  TRidSelectionMode FActiveSelectionMode = smNormal;
  int32_t FMaxScrollWidth = 1024;
  TScrollStyle FScrollBarsStyle = ssBoth;
  TRidEderCaretType FInsertCaret = ctVerticalLine;
  TRidEderCaretType FOverwriteCaret = ctBlock;
  bool FInsertMode = true;
  bool FHideSelection = false;
  bool FAlwaysShowCaret = false;
  bool FWantReturns = true;
  bool FWantTabs = false;
  bool FReadOnly = false;
  bool FModified = false;
  bool FShowSpecialChars = false;
  bool FShowEndMarks = false;
  bool FSearchKeyActive = false;
  bool FIsScrolling = false;
  bool FDestroying = false;
  std::string FSearchKey;
  int32_t FTabWidth = 8;
  TColor FScrollHintColor = clInfoBk;
  TScrollHintFormat FScrollHintFormat = shfTopLineOnly;
  TRidEderorOptions FOptions = TRidEderorOptions::FromBits(RidDefaultOptions);
  TRidStatusChanges FStatusChanges;
  uint16_t FStateFlags = 0;
  TRect FInvalidateRect;
  int32_t FPaintLock = 0;
  int32_t FPaintTransientLock = 0;
  std::string FLastPaintError;
  int32_t FPaintErrorCount = 0;
};

// Holds one of the control's brackets (paint lock, undo block) for a scope, also when an
// exception passes; an error while closing it during unwinding gives way to the one in flight.
template <void (TCustomRidEder::*Open)(), void (TCustomRidEder::*Close)()>
class TRidEderBracket {
 public:
  explicit TRidEderBracket(TCustomRidEder& AEder)
      : FEder(AEder), FUncaught(std::uncaught_exceptions()) {
    (FEder.*Open)();
  }
  ~TRidEderBracket() noexcept(false) {
    if (std::uncaught_exceptions() == FUncaught) {
      (FEder.*Close)();
      return;
    }
    try {
      (FEder.*Close)();
    } catch (...) {
    }
  }
  TRidEderBracket(const TRidEderBracket&) = delete;
  TRidEderBracket& operator=(const TRidEderBracket&) = delete;

 private:
  TCustomRidEder& FEder;
  int FUncaught;
};

// The outermost release brings the screen, the scroll bars and OnStatusChange up to date once.
using TRidPaintLock = TRidEderBracket<&TCustomRidEder::IncPaintLock, &TCustomRidEder::DecPaintLock>;
// Everything recorded inside undoes in one step.
using TRidUndoBlock =
    TRidEderBracket<&TCustomRidEder::BeginUndoBlock, &TCustomRidEder::EndUndoBlock>;

class TRidEder : public TCustomRidEder {
 public:
  RID_CLASS_NAME(TRidEder)
  using TCustomRidEder::TCustomRidEder;
};

}  // namespace rid
