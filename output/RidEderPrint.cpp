#include "output/RidEderPrint.h"

#include <algorithm>
#include <array>
#include <climits>

#include "editor/RidEder.h"
#include "editor/RidEderMiscProcs.h"
#include "foundation/libStr.h"
#include "platform/Printers.h"

namespace rid {

namespace {

// The break characters; all below 0x40, so never the second byte of a character.
using TBreakSet = std::array<bool, 256>;

constexpr TBreakSet MakeBreakSet(std::string_view Chars) {
  TBreakSet set{};
  for (char c : Chars) set[static_cast<uint8_t>(c)] = true;
  return set;
}

constexpr TBreakSet kBlankBreaks = MakeBreakSet("\t ,-");
constexpr TBreakSet kPunctBreaks = MakeBreakSet(").;");

// Breaks after the last break character that keeps a row within MaxCol; a stretch without one
// stays whole here (WrapLine cuts it).
bool WrapText(std::string_view Text, const TBreakSet& BreakSet, int32_t MaxCol,
              std::vector<int32_t>& List) {
  const int32_t len = static_cast<int32_t>(Text.size());
  if (len <= MaxCol) return true;
  int32_t lastBreak = 0, pending = 0;
  for (int32_t i = 1; i <= len; ++i) {
    if (i - lastBreak > MaxCol && pending) {
      List.push_back(pending);
      lastBreak = pending;
      pending = 0;
      if (len - lastBreak <= MaxCol || i == len) break;
    } else if (BreakSet[static_cast<uint8_t>(Text[i - 1])]) {
      pending = i;
    }
  }
  return !List.empty();
}

// Cuts Text[Start, End) into rows of at most MaxCol bytes at character starts; a row holds at
// least one character.
void CutEvery(std::string_view Text, int32_t Start, int32_t End, int32_t MaxCol,
              std::vector<int32_t>& Rows) {
  while (End - Start > MaxCol) {
    int32_t p = Start;
    for (;;) {
      const int32_t next = p + static_cast<int32_t>(CharLenAt(Text, static_cast<size_t>(p)));
      if (next - Start > MaxCol && p > Start) break;
      p = next;
      if (p - Start >= MaxCol) break;
    }
    if (p >= End) return;
    Rows.push_back(p);
    Start = p;
  }
}

// The end of the whole characters of Text that fit in MaxCol bytes.
int32_t FitChars(std::string_view Text, int32_t MaxCol) {
  if (static_cast<int32_t>(Text.size()) <= MaxCol) return static_cast<int32_t>(Text.size());
  int32_t p = 0;
  for (;;) {
    const int32_t next = p + static_cast<int32_t>(CharLenAt(Text, static_cast<size_t>(p)));
    if (next > MaxCol) return p;
    p = next;
  }
}

// A line whose tabs would take it past the longest line printed gets a blank for each tab.
std::string ExpandTabs(std::string_view Line, int32_t TabWidth) {
  if (static_cast<int64_t>(Line.size()) * TabWidth > kMaxLineLength &&
      ExpandedLength(Line, TabWidth) > kMaxLineLength)
    TabWidth = 1;
  std::string s = GetBestConvertTabsProc(TabWidth)(Line, TabWidth);
  std::replace(s.begin(), s.end(), '\t', ' ');
  return s;
}

// A printer job that is aborted unless it ends normally.
class TPrintJobGuard {
 public:
  TPrintJobGuard(TPrinter& APrinter, bool& Printing) : FPrinter(APrinter), FPrinting(Printing) {
    FPrinting = true;
  }
  ~TPrintJobGuard() {
    if (FPrinting) FPrinter.Abort();
    FPrinting = false;
  }
  void Done() { FPrinting = false; }
  TPrintJobGuard(const TPrintJobGuard&) = delete;
  TPrintJobGuard& operator=(const TPrintJobGuard&) = delete;

 private:
  TPrinter& FPrinter;
  bool& FPrinting;
};

}  // namespace

std::vector<int32_t> WrapLine(std::string_view Text, int32_t MaxCol) {
  MaxCol = std::max(MaxCol, 1);
  const int32_t len = static_cast<int32_t>(Text.size());
  std::vector<int32_t> breaks;
  if (len <= MaxCol) return breaks;
  if (!WrapText(Text, kBlankBreaks, MaxCol, breaks)) {
    breaks.clear();
    if (!WrapText(Text, kPunctBreaks, MaxCol, breaks)) breaks.clear();
  }
  // Every stretch the breaks leave longer than a row is cut, so no byte is lost at the edge.
  std::vector<int32_t> rows;
  int32_t start = 0;
  for (int32_t b : breaks) {
    CutEvery(Text, start, b, MaxCol, rows);
    rows.push_back(b);
    start = b;
  }
  CutEvery(Text, start, len, MaxCol, rows);
  return rows;
}

// --- the job

// One line laid out for drawing: where its rows start, and its tokens with the attribute of
// each (neighbours of one attribute joined). A line taller than a page keeps its layout while
// its pages are drawn, so it is wrapped and highlighted once, not once a page.
struct TRidEderPrint::TLineLayout {
  struct TToken {
    int32_t Pos;    // it ends where the next one starts, or at the end of the text
    int32_t Attri;  // in Attris
  };
  int32_t Index = -1;  // the line; -1 for none
  std::string_view Text;
  std::vector<int32_t> RowStarts;  // RowStarts[0] == 0
  int32_t End = 0;                 // bytes shown: the line, or what fits without wrapping
  std::vector<TToken> Tokens;
  std::vector<const TRidHighlighterAttributes*> Attris;  // [0]: none

  int32_t TokenEnd(std::vector<TToken>::const_iterator T) const {
    return T + 1 != Tokens.end() ? T[1].Pos : static_cast<int32_t>(Text.size());
  }
  int32_t RowStart(int32_t Row) const {
    return static_cast<size_t>(Row) < RowStarts.size() ? RowStarts[static_cast<size_t>(Row)] : End;
  }
  int32_t AttriIndex(const TRidHighlighterAttributes* Attri) {
    const auto at = std::find(Attris.begin(), Attris.end(), Attri);
    if (at != Attris.end()) return static_cast<int32_t>(at - Attris.begin());
    Attris.push_back(Attri);
    return static_cast<int32_t>(Attris.size() - 1);
  }
};

TRidEderPrint::TRidEderPrint(TComponent* AOwner) : TComponent(AOwner) {
  FFont.SetName("Courier New");
  FFont.SetSize(10);
  FFont.SetColor(clBlack);
  FFont.OnChange = TNotifyEvent(this, &TRidEderPrint::LayoutChanged);
  FMargins.OnChange = TNotifyEvent(this, &TRidEderPrint::LayoutChanged);
  FLines.OnChange = TNotifyEvent(this, &TRidEderPrint::LinesChanged);
  FDx.assign(1024, 0);
  FLayout = std::make_unique<TLineLayout>();
}

TRidEderPrint::~TRidEderPrint() { SetHighlighter(nullptr); }

void TRidEderPrint::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == FHighlighter) {
    FHighlighter = nullptr;
    FRangesStale = FPagesStale = true;
  }
}

void TRidEderPrint::SetHighlighter(TRidCustomHighlighter* Value) {
  if (Value == FHighlighter) return;
  if (FHighlighter) FHighlighter->RemoveFreeNotification(this);
  FHighlighter = Value;
  if (FHighlighter) FHighlighter->FreeNotification(this);
  FRangesStale = FPagesStale = true;
}

void TRidEderPrint::SetLines(TStrings* Value) {
  TStringsUpdate update(&FLines);
  FLines.Clear();
  const int32_t count = Value ? Value->Count() : 0;
  FLines.SetCapacity(count);
  for (int32_t i = 0; i < count; ++i) FLines.Add(ExpandTabs(Value->Get(i), FTabWidth));
}

void TRidEderPrint::SetRidEder(TCustomRidEder& Editor) {
  SetHighlighter(Editor.GetHighlighter());
  SetFont(Editor.Font());
  SetTabWidth(Editor.GetTabWidth());
  SetLines(Editor.GetLines());
  FSelAvail = Editor.SelAvail();
  FBlockBegin = Editor.GetBlockBegin();
  FBlockEnd = Editor.GetBlockEnd();
  FSelMode = Editor.GetActiveSelectionMode();
  FColumnRows.clear();
  if (FSelAvail && FSelMode == smColumn) {
    const std::string block = Editor.GetSelText();
    for (size_t start = 0;;) {
      const size_t brk = block.find("\r\n", start);
      FColumnRows.push_back(
          ExpandTabs(std::string_view(block).substr(start, brk - start), FTabWidth));
      if (brk == std::string::npos) break;
      start = brk + 2;
    }
  } else if (FSelAvail) {
    // Block columns as offsets into the lines with their tabs expanded.
    const auto expanded = [&](const TBufferCoord& P) {
      const std::string raw = Editor.GetLines()->Get(P.Line - 1);
      return CharIndexToColumn(P.Char, FTabWidth, raw);
    };
    FBlockBegin.Char = expanded(FBlockBegin);
    FBlockEnd.Char = expanded(FBlockEnd);
  }
  FPagesStale = true;
}

std::string TRidEderPrint::GetMargin() const {
  const auto flag = [](bool B) { return B ? "1" : "0"; };
  std::string s = FMargins.GetAsString() + "/";
  for (bool b : {FWrap, FColors, FHighlight, FLineNumbers, FLineNumbersInMargin,
                 FHeader.GetMirrorPosition(), FFooter.GetMirrorPosition()}) {
    s += flag(b);
    s += ",";
  }
  s.pop_back();
  return s;
}

void TRidEderPrint::SetMargin(const std::string& Value) {
  std::string_view text = Value;
  while (!text.empty() && static_cast<uint8_t>(text.back()) <= ' ') text.remove_suffix(1);
  const size_t slash = text.find('/');
  const std::string_view margins = text.substr(0, slash);
  std::string_view flagText = slash == std::string_view::npos ? "" : text.substr(slash + 1);
  std::vector<bool> flags;
  for (;;) {
    const size_t comma = flagText.find(',');
    flags.push_back(flagText.substr(0, comma) == "1");
    if (comma == std::string_view::npos) break;
    flagText.remove_prefix(comma + 1);
  }
  if (flags.size() < 7)
    throw EStringListError(FormatStr(SListIndexError, static_cast<int>(flags.size())));
  FMargins.SetAsString(std::string(margins));
  SetWrap(flags[0]);
  SetColors(flags[1]);
  SetHighlight(flags[2]);
  SetLineNumbers(flags[3]);
  SetLineNumbersInMargin(flags[4]);
  FHeader.SetMirrorPosition(flags[5]);
  FFooter.SetMirrorPosition(flags[6]);
}

// --- layout

void TRidEderPrint::InitRanges() {
  if (!FRangesStale) return;
  FRangesStale = false;
  FRanges.clear();
  if (!FHighlighter || FLines.Count() == 0) return;
  FRanges.resize(static_cast<size_t>(FLines.Count()));
  FHighlighter->ResetRange();
  for (int32_t i = 0; i < FLines.Count(); ++i) {
    const std::string_view line = FLines.GetView(i);
    FHighlighter->SetLine(line, i);
    FHighlighter->NextToEol();
    FRanges[static_cast<size_t>(i)] = FHighlighter->GetRange();
  }
}

void TRidEderPrint::InitPrint(TCanvas& ACanvas) {
  FCanvas = &ACanvas;
  *FLayout = TLineLayout();
  FFontColor = FFont.GetColor();
  // Every font at the printer's resolution, so that a screen canvas measures as the printer.
  const int32_t ppi = FPrinterInfo.GetYPixPrInch();
  const int32_t size = FFont.GetSize();
  FFont.SetPixelsPerInch(ppi);
  FFont.SetSize(size);
  FHeader.SetPixelsPerInch(ppi);
  FFooter.SetPixelsPerInch(ppi);
  ACanvas.Font().Assign(&FFont);
  CalcGrid(ACanvas);
  FMargins.InitPage(ACanvas, 1, MaxLineNumber(), FLineNumbersInMargin, FLineNumbers, FPrinterInfo);
  CalcPages();
  const int32_t pages = static_cast<int32_t>(FPages.size());
  FHeader.InitPrint(ACanvas, pages, FTitle, &FMargins);
  FFooter.InitPrint(ACanvas, pages, FTitle, &FMargins);
  FUseHighlighter = FHighlight && FHighlighter && FLines.Count() > 0;
}

void TRidEderPrint::CalcGrid(TCanvas& ACanvas) {
  // The cell holds the widest style, so that no styled token runs into the next cell.
  TFont& font = ACanvas.Font();
  const TFontStyles style = font.GetStyle();
  font.SetStyle({fsBold, fsItalic, fsUnderline, fsStrikeOut});
  TTextMetric tm;
  ACanvas.GetTextMetrics(tm);
  font.SetStyle(style);
  FCharWidth = std::max(1, tm.tmAveCharWidth);
  FLineHeight = std::max(1, tm.tmHeight + tm.tmExternalLeading);
}

void TRidEderPrint::PrintedLines(int32_t& First, int32_t& Last) const {
  First = 0;
  Last = FLines.Count() - 1;
  if (!FSelectedOnly) return;
  if (!FSelAvail) {
    Last = -1;
    return;
  }
  First = FBlockBegin.Line - 1;
  Last = std::min(FBlockEnd.Line - 1, Last);
}

std::string_view TRidEderPrint::LineText(int32_t Index) const {
  const std::string_view line = FLines.GetView(Index);
  if (!FSelectedOnly || !FSelAvail || FSelMode == smLine) return line;
  if (FSelMode == smColumn) {
    const size_t row = static_cast<size_t>(Index - (FBlockBegin.Line - 1));
    return row < FColumnRows.size() ? std::string_view(FColumnRows[row]) : std::string_view();
  }
  const size_t from = Index == FBlockBegin.Line - 1 ? size_t(FBlockBegin.Char - 1) : 0;
  const size_t to = Index == FBlockEnd.Line - 1 ? size_t(FBlockEnd.Char - 1) : line.size();
  return from < to && from < line.size() ? line.substr(from, to - from) : std::string_view();
}

int32_t TRidEderPrint::RowCount(std::string_view Text) const {
  if (!FWrap || static_cast<int32_t>(Text.size()) <= FMaxCol) return 1;
  return static_cast<int32_t>(WrapLine(Text, FMaxCol).size()) + 1;
}

void TRidEderPrint::CalcPages() {
  InitRanges();
  // The grid decides what fits: MaxCol whole cells stay left of the right margin.
  const int32_t maxWidth = FMargins.PRight - FMargins.PLeft;
  FMaxCol = std::max(1, (maxWidth - 1) / FCharWidth);
  if (FDx.size() < static_cast<size_t>(FMaxCol) + 2) FDx.resize(static_cast<size_t>(FMaxCol) + 2);
  std::fill(FDx.begin(), FDx.end(), FCharWidth);

  int32_t first, last;
  PrintedLines(first, last);
  FPages.assign(1, TPageLine{std::max(first, 0), 0});
  const int32_t rowsPerPage = std::max(1, (FMargins.PBottom - FMargins.PTop) / FLineHeight);
  int64_t used = 0;  // a line may have nearly INT32_MAX rows
  for (int32_t i = first; i <= last; ++i) {
    const int32_t rows = RowCount(LineText(i));
    if (used > 0 && used + rows > rowsPerPage) {
      FPages.push_back({i, 0});
      used = 0;
    }
    used += rows;
    for (; used > rowsPerPage; used -= rowsPerPage)
      FPages.push_back({i, static_cast<int32_t>(rows - (used - rowsPerPage))});
  }
  FPagesStale = false;
}

bool TRidEderPrint::HasTextArea() {
  GetPages();
  const TRidEderPrintMargins& m = FMargins;
  TRidEderPrinterInfo& pi = FPrinterInfo;
  const bool onPaper = m.PLeft >= -pi.GetLeftGutter() && m.PTop >= -pi.GetTopGutter() &&
                       m.PRight <= pi.GetPrintableWidth() + pi.GetRightGutter() &&
                       m.PBottom <= pi.GetPrintableHeight() + pi.GetBottomGutter();
  // As CalcPages counts: a column needs a cell and a pixel more.
  return onPaper && m.PRight - m.PLeft > FCharWidth && m.PBottom - m.PTop >= FLineHeight;
}

int32_t TRidEderPrint::GetPageCount() { return static_cast<int32_t>(GetPages().size()); }

const std::vector<TPageLine>& TRidEderPrint::GetPages() {
  if (FPagesStale) {
    if (!FScreenCanvas) FScreenCanvas = std::make_unique<TCanvas>();
    InitPrint(*FScreenCanvas);
  }
  return FPages;
}

// --- printing

void TRidEderPrint::DoPrintStatus(TRidPrintStatus Status, int32_t PageNumber, bool& Abort) {
  Abort = false;
  if (OnPrintStatus) OnPrintStatus(this, Status, PageNumber, Abort);
  if (Abort && FPrinting) Printer()->Abort();
}

void TRidEderPrint::DoPrintLine(int32_t LineNumber, int32_t PageNumber) {
  if (OnPrintLine) OnPrintLine(this, LineNumber, PageNumber);
}

void TRidEderPrint::PrintRange(int32_t StartPage, int32_t EndPage) {
  if (FSelectedOnly && !FSelAvail) return;
  TPrinter& printer = *Printer();
  FPrinterInfo.UpdatePrinter();
  InitPrint(printer.Canvas());
  const int32_t count = static_cast<int32_t>(FPages.size());
  if (EndPage < 0 || EndPage > count) EndPage = count;
  StartPage = std::max(StartPage, 1);
  if (StartPage > EndPage) return;
  printer.SetTitle(FDocTitle.empty() ? FTitle : FDocTitle);
  // The copies are printed here; a queue asked for copies as well would print them squared.
  printer.SetCopies(1);
  FAbort = false;
  TPrintJobGuard job(printer, FPrinting);
  printer.BeginDoc();
  DoPrintStatus(psBegin, StartPage, FAbort);
  for (int32_t copy = 1; copy <= FCopies && !FAbort; ++copy) {
    for (int32_t page = StartPage; page <= EndPage && !FAbort; ++page) {
      PrintPage(page);
      if (!FAbort && !(copy == FCopies && page == EndPage)) printer.NewPage();
    }
  }
  if (!FAbort) DoPrintStatus(psEnd, EndPage, FAbort);
  job.Done();
  printer.EndDoc();
}

void TRidEderPrint::PrintToCanvas(TCanvas& ACanvas, int32_t PageNumber) {
  FAbort = false;
  FPrinting = false;
  if (FPagesStale || FCanvas != &ACanvas) InitPrint(ACanvas);
  PrintPage(std::clamp(PageNumber, 1, static_cast<int32_t>(FPages.size())));
}

void TRidEderPrint::PrintPage(int32_t PageNum) {
  DoPrintStatus(psNewPage, PageNum, FAbort);
  if (FAbort) return;
  TCanvas& c = *FCanvas;
  FMargins.InitPage(c, PageNum, MaxLineNumber(), FLineNumbersInMargin, FLineNumbers, FPrinterInfo);
  c.Brush().SetStyle(bsSolid);
  c.Brush().SetColor(FColor);
  c.FillRect(Rect(FMargins.PLeft, FMargins.PTop, FMargins.PRight, FMargins.PBottom));
  FHeader.Print(c, PageNum + FPageOffset);
  int32_t first, last;
  PrintedLines(first, last);
  const TPageLine from = FPages[static_cast<size_t>(PageNum - 1)];
  const TPageLine to = static_cast<size_t>(PageNum) < FPages.size()
                           ? FPages[static_cast<size_t>(PageNum)]
                           : TPageLine{last + 1, 0};
  int32_t y = FMargins.PTop;
  for (int32_t i = from.Line; i <= last && (i < to.Line || (i == to.Line && to.Row > 0)); ++i) {
    y = WriteLine(i, i == from.Line ? from.Row : 0, i == to.Line ? to.Row : INT32_MAX, y);
    DoPrintLine(i + 1, PageNum);
  }
  FFooter.Print(c, PageNum + FPageOffset);
}

void TRidEderPrint::WriteLineNumber(int32_t Index, int32_t Y) {
  TCanvas& c = *FCanvas;
  c.Font().SetStyle({});
  c.Font().SetColor(clBlack);
  c.Brush().SetColor(FColor);
  c.Brush().SetStyle(bsClear);  // on the text area's own colour
  const std::string number = std::to_string(Index + 1 + FLineOffset) + ": ";
  c.TextOut(FMargins.PLeft - c.TextWidth(number), Y, number);
}

const TRidEderPrint::TLineLayout& TRidEderPrint::LayOut(int32_t Index) {
  TLineLayout& l = *FLayout;
  if (l.Index == Index) return l;
  l.Index = Index;
  l.Text = LineText(Index);
  l.RowStarts.assign(1, 0);
  if (FWrap) {
    l.End = static_cast<int32_t>(l.Text.size());
    if (l.End > FMaxCol) {
      const std::vector<int32_t> rows = WrapLine(l.Text, FMaxCol);
      l.RowStarts.insert(l.RowStarts.end(), rows.begin(), rows.end());
    }
  } else {
    l.End = FitChars(l.Text, FMaxCol);
  }
  l.Tokens.clear();
  l.Attris.assign(1, nullptr);
  if (!FUseHighlighter) {
    l.Tokens.push_back({0, 0});
    return l;
  }
  if (Index == 0)
    FHighlighter->ResetRange();
  else
    FHighlighter->SetRange(FRanges[static_cast<size_t>(Index - 1)]);
  FHighlighter->SetLine(l.Text, Index);
  for (; !FHighlighter->GetEol(); FHighlighter->Next()) {
    const TRidHighlighterAttributes* attribute = FHighlighter->GetTokenAttribute();
    if (!l.Tokens.empty() && l.Attris[static_cast<size_t>(l.Tokens.back().Attri)] == attribute)
      continue;
    const int32_t attri = l.AttriIndex(attribute);
    const int32_t pos = FHighlighter->GetTokenPos();
    l.Tokens.push_back({l.Tokens.empty() ? pos : std::max(pos, l.Tokens.back().Pos), attri});
  }
  return l;
}

int32_t TRidEderPrint::WriteLine(int32_t Index, int32_t FromRow, int32_t ToRow, int32_t Y) {
  const TLineLayout& l = LayOut(Index);
  const TRowSpan rows{FromRow, std::min<int32_t>(ToRow, static_cast<int32_t>(l.RowStarts.size())),
                      Y};
  FCanvas->SetTextAlign(TA_LEFT | TA_TOP);
  if (FromRow == 0 && FLineNumbers) WriteLineNumber(Index, Y);
  // Only the tokens of the rows drawn are visited, so a line's pages cost what they show.
  const int32_t from = l.RowStart(rows.FromRow);
  const int32_t to = std::min(l.RowStart(rows.ToRow), l.End);
  auto t = std::upper_bound(l.Tokens.begin(), l.Tokens.end(), from,
                            [](int32_t Pos, const TLineLayout::TToken& T) { return Pos < T.Pos; });
  if (t != l.Tokens.begin()) --t;
  // Tokens that look alike are drawn as one run.
  TTextRun run{from, from, RunLook(nullptr)};
  for (; t != l.Tokens.end() && t->Pos < to; ++t) {
    const int32_t pos = std::max(t->Pos, from);
    const int32_t end = std::min(l.TokenEnd(t), to);
    const TRunLook look = RunLook(l.Attris[static_cast<size_t>(t->Attri)]);
    if (pos == run.End && look == run.Look) {
      run.End = end;
    } else {
      DrawRun(l, rows, run);
      run = {pos, end, look};
    }
  }
  DrawRun(l, rows, run);
  return Y + (rows.ToRow - rows.FromRow) * FLineHeight;
}

TRidEderPrint::TRunLook TRidEderPrint::RunLook(const TRidHighlighterAttributes* Attri) const {
  TRunLook look{FFontColor, FColor, FFont.GetStyle()};
  if (Attri) {
    look.Style = Attri->GetStyle();
    if (FColors) {
      if (Attri->GetForeground() != clNone) look.Fore = Attri->GetForeground();
      if (Attri->GetBackground() != clNone) look.Back = Attri->GetBackground();
    }
  }
  return look;
}

void TRidEderPrint::DrawRun(const TLineLayout& L, const TRowSpan& Rows, const TTextRun& Run) {
  const int32_t end = std::min(Run.End, L.End);
  if (Run.Pos >= end) return;
  // Blanks on the text area's own colour leave no mark.
  const bool plain = Run.Look.Back == FColor;
  const std::string_view text = L.Text.substr(size_t(Run.Pos), size_t(end - Run.Pos));
  if (plain && !Run.Look.Style.Contains(fsUnderline) && !Run.Look.Style.Contains(fsStrikeOut) &&
      text.find_first_not_of(' ') == std::string_view::npos)
    return;
  TCanvas& c = *FCanvas;
  c.Font().SetStyle(Run.Look.Style);
  c.Font().SetColor(Run.Look.Fore);
  c.Brush().SetColor(Run.Look.Back);
  c.Brush().SetStyle(plain ? bsClear : bsSolid);
  DrawPiece(L, Rows, Run.Pos, end - Run.Pos);
}

void TRidEderPrint::DrawPiece(const TLineLayout& L, const TRowSpan& Rows, int32_t Pos,
                              int32_t Len) {
  const int32_t end = std::min(Pos + Len, L.End);
  if (Pos >= end) return;
  // The row holding Pos, then every row the piece reaches.
  auto row = std::upper_bound(L.RowStarts.begin(), L.RowStarts.end(), Pos) - 1;
  for (int32_t r = static_cast<int32_t>(row - L.RowStarts.begin()); Pos < end && r < Rows.ToRow;
       ++r) {
    const int32_t rowStart = L.RowStarts[static_cast<size_t>(r)];
    const int32_t pieceEnd = std::min(end, L.RowStart(r + 1));
    if (r >= Rows.FromRow && pieceEnd > Pos) {
      FCanvas->ExtTextOut(
          FMargins.PLeft + (Pos - rowStart) * FCharWidth, Rows.Y + (r - Rows.FromRow) * FLineHeight,
          0, nullptr, L.Text.substr(static_cast<size_t>(Pos), size_t(pieceEnd - Pos)), FDx.data());
    }
    Pos = pieceEnd;
  }
}

}  // namespace rid
