#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "editor/RidEderTypes.h"
#include "output/RidEderPrintHeaderFooter.h"
#include "output/RidEderPrintMargins.h"
#include "output/RidEderPrinterInfo.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"
#include "platform/Graphics.h"

namespace rid {

class TCustomRidEder;

enum TRidPrintStatus { psBegin, psNewPage, psEnd };
using TPrintStatusEvent =
    Delegate<void(TObject* Sender, TRidPrintStatus Status, int32_t PageNumber, bool& Abort)>;
using TPrintLineEvent = Delegate<void(TObject* Sender, int32_t LineNumber, int32_t PageNumber)>;

// Where a page starts: a line (0-based) and its first row there (a line taller than a page goes
// on over the following pages).
struct TPageLine {
  int32_t Line = 0;
  int32_t Row = 0;
  constexpr bool operator==(const TPageLine&) const = default;
};

// The offsets at which the rows of a line after the first begin, for rows of at most MaxCol
// bytes: after a blank, tab, "," or "-" where one is near enough, else after ")", "." or ";",
// else cut every MaxCol bytes; a cut never splits a double-byte character, and a row holds at
// least one character. Empty when the line fits.
std::vector<int32_t> WrapLine(std::string_view Text, int32_t MaxCol);

// Prints lines of Shift-JIS text in a character grid: wrapped or cut at the right margin,
// optionally highlighted and numbered, with a header and a footer on every page, to the
// printer (Printer()) or page by page on any canvas (the preview).
class TRidEderPrint : public TComponent {
 public:
  RID_CLASS_NAME(TRidEderPrint)
  explicit TRidEderPrint(TComponent* AOwner);
  ~TRidEderPrint() override;

  // The document: lines with tabs expanded to TabWidth, taken as they are set.
  TStrings* GetLines() { return &FLines; }
  void SetLines(TStrings* Value);
  // Highlighter, font, tab width, lines and selection of an editor.
  void SetRidEder(TCustomRidEder& Editor);

  TFont& GetFont() { return FFont; }
  void SetFont(TFont& Value) { FFont.Assign(&Value); }
  THeader& GetHeader() { return FHeader; }
  TFooter& GetFooter() { return FFooter; }
  TRidEderPrintMargins& GetMargins() { return FMargins; }
  TRidEderPrinterInfo& GetPrinterInfo() { return FPrinterInfo; }
  TRidCustomHighlighter* GetHighlighter() const { return FHighlighter; }
  void SetHighlighter(TRidCustomHighlighter* Value);

  int32_t GetCopies() const { return FCopies; }
  void SetCopies(int32_t Value) { FCopies = Value < 1 ? 1 : Value; }
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  const std::string& GetDocTitle() const { return FDocTitle; }
  void SetDocTitle(const std::string& Value) { FDocTitle = Value; }
  bool GetWrap() const { return FWrap; }
  void SetWrap(bool Value) { SetLayout(FWrap, Value); }
  bool GetHighlight() const { return FHighlight; }
  void SetHighlight(bool Value) { FHighlight = Value; }
  bool GetSelectedOnly() const { return FSelectedOnly; }
  void SetSelectedOnly(bool Value) { SetLayout(FSelectedOnly, Value); }
  bool GetColors() const { return FColors; }
  void SetColors(bool Value) { FColors = Value; }
  bool GetLineNumbers() const { return FLineNumbers; }
  void SetLineNumbers(bool Value) { SetLayout(FLineNumbers, Value); }
  bool GetLineNumbersInMargin() const { return FLineNumbersInMargin; }
  void SetLineNumbersInMargin(bool Value) { SetLayout(FLineNumbersInMargin, Value); }
  int32_t GetLineOffset() const { return FLineOffset; }
  void SetLineOffset(int32_t Value) { SetLayout(FLineOffset, Value); }
  int32_t GetPageOffset() const { return FPageOffset; }
  void SetPageOffset(int32_t Value) { FPageOffset = Value; }
  int32_t GetTabWidth() const { return FTabWidth; }
  void SetTabWidth(int32_t Value) { FTabWidth = Value < 1 ? 1 : Value; }
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }

  // "<margins>/<wrap>,<colors>,<highlight>,<line numbers>,<in margin>,<header mirror>,
  // <footer mirror>". Reading raises for a text with fewer than seven flags, or with margins
  // TRidEderPrintMargins cannot read; nothing changes then.
  std::string GetMargin() const;
  void SetMargin(const std::string& Value);

  // Prepares the layout on a canvas: fonts at the printer's resolution, the grid, the pages,
  // header and footer. The preview prepares on its own canvas; printing on the printer's.
  void InitPrint(TCanvas& ACanvas);
  // The number of pages, laid out when needed (with the screen's canvas).
  int32_t GetPageCount();
  const std::vector<TPageLine>& GetPages();
  // The grid: characters per row, cell width and row height in printer pixels.
  int32_t GetMaxCol() const { return FMaxCol; }
  int32_t GetCharWidth() const { return FCharWidth; }
  int32_t GetLineHeight() const { return FLineHeight; }
  // Whether the text area (laid out when needed) lies on the paper and holds a character cell
  // and a row. Without one every character still prints, one a row, a row a page.
  bool HasTextArea();

  void Print() { PrintRange(1, -1); }
  // Prints pages StartPage to EndPage (-1: the last), Copies times. A range outside the
  // document is cut to it; an empty one prints nothing and starts no job.
  void PrintRange(int32_t StartPage, int32_t EndPage);
  // Draws page PageNumber (kept within the document) on a canvas prepared by InitPrint.
  void PrintToCanvas(TCanvas& ACanvas, int32_t PageNumber);
  bool GetPrinting() const { return FPrinting; }

  TPrintStatusEvent OnPrintStatus;
  TPrintLineEvent OnPrintLine;

 protected:
  virtual void DoPrintStatus(TRidPrintStatus Status, int32_t PageNumber, bool& Abort);
  virtual void DoPrintLine(int32_t LineNumber, int32_t PageNumber);
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  struct TLineLayout;
  template <typename T>
  void SetLayout(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    FPagesStale = true;
  }
  void LayoutChanged(TObject* Sender) { FPagesStale = true; }
  void LinesChanged(TObject* Sender) { FRangesStale = FPagesStale = true; }
  void InitRanges();
  void CalcGrid(TCanvas& ACanvas);
  void CalcPages();
  // The lines printed: all, or those of the selection (Last < First: none).
  void PrintedLines(int32_t& First, int32_t& Last) const;
  // The text printed of line Index: the whole line or its selected part.
  std::string_view LineText(int32_t Index) const;
  int32_t RowCount(std::string_view Text) const;
  int32_t MaxLineNumber() const { return FLines.Count() + FLineOffset; }
  void PrintPage(int32_t PageNum);
  // The rows and tokens of line Index, made once while the pages of a long line are drawn.
  const TLineLayout& LayOut(int32_t Index);
  // Draws rows FromRow up to ToRow of line Index at Y; returns the Y after them.
  int32_t WriteLine(int32_t Index, int32_t FromRow, int32_t ToRow, int32_t Y);
  void WriteLineNumber(int32_t Index, int32_t Y);
  // How a token is drawn: colours and font style.
  struct TRunLook {
    TColor Fore, Back;
    TFontStyles Style;
    bool operator==(const TRunLook&) const = default;
  };
  struct TTextRun {
    int32_t Pos, End;
    TRunLook Look;
  };
  // The rows FromRow up to ToRow of a laid-out line, drawn at Y.
  struct TRowSpan {
    int32_t FromRow, ToRow, Y;
  };
  TRunLook RunLook(const TRidHighlighterAttributes* Attri) const;
  void DrawRun(const TLineLayout& L, const TRowSpan& Rows, const TTextRun& Run);
  void DrawPiece(const TLineLayout& L, const TRowSpan& Rows, int32_t Pos, int32_t Len);

  TStringList FLines;
  std::vector<TRidRange> FRanges;  // the highlighter's range after each line
  TFont FFont;
  THeader FHeader;
  TFooter FFooter;
  TRidEderPrintMargins FMargins;
  TRidEderPrinterInfo FPrinterInfo;
  TRidCustomHighlighter* FHighlighter = nullptr;  // not owned: cleared by free notification
  std::unique_ptr<TCanvas> FScreenCanvas;         // lays out pages when nothing else does
  TCanvas* FCanvas = nullptr;                     // what InitPrint prepared
  std::unique_ptr<TLineLayout> FLayout;           // the line drawn last

  int32_t FCopies = 1;
  std::string FTitle, FDocTitle;
  bool FWrap = true, FHighlight = true, FSelectedOnly = false, FColors = false;
  bool FLineNumbers = false, FLineNumbersInMargin = false;
  int32_t FLineOffset = 0, FPageOffset = 0, FTabWidth = 8;
  TColor FColor = clWhite;

  // The selection taken from the editor: block ends (1-based; Char an offset into the line
  // with tabs expanded) and, in column mode, each row as the editor's block gives it.
  bool FSelAvail = false;
  TBufferCoord FBlockBegin, FBlockEnd;
  TRidSelectionMode FSelMode = smNormal;
  std::vector<std::string> FColumnRows;

  // The layout InitPrint made.
  std::vector<TPageLine> FPages;
  std::vector<int32_t> FDx;  // one advance per byte of the longest row
  int32_t FCharWidth = 1, FLineHeight = 1, FMaxCol = 1;
  TColor FFontColor = clBlack;
  bool FRangesStale = true, FPagesStale = true, FUseHighlighter = false;
  bool FPrinting = false, FAbort = false;
};

}  // namespace rid
