// Painting: the gutter and the highlighted text rows with selection and marks.
#include <algorithm>

#include "editor/RidEder.h"
#include "editor/RidEderMiscProcs.h"
#include "platform/Forms.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr const char* MarkTab = "-";
constexpr const char* MarkSpace = ".";
constexpr const char* MarkZenkakuSpace = "\x81\xa0";  // a white square
constexpr const char* MarkEol = "\x81\xab";           // a down arrow
constexpr const char* MarkEof = "[EOF]";
constexpr TColor MarkSpaceColor = 0xBBFFBB;
constexpr TColor MarkTabColor = 0x99FF99;
constexpr TColor MarkEndColor = 0xFFCCCC;

bool OnlySpaces(std::string_view S) {
  return std::all_of(S.begin(), S.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// Guards the text drawer's BeginDrawing / EndDrawing pair, also when painting fails.
class TDrawingScope {
 public:
  TDrawingScope(TheTextDrawer& D, HDC DC) : FDrawer(D) { FDrawer.BeginDrawing(DC); }
  ~TDrawingScope() { FDrawer.EndDrawing(); }

 private:
  TheTextDrawer& FDrawer;
};

}  // namespace

struct TCustomRidEder::TPaintState {
  TRect Clip;
  int32_t FirstCol = 1, LastCol = 1, FirstRow = 1, LastRow = 0, FirstLine = 1, LastLine = 0;
  bool AnySelection = false;
  TDisplayCoord SelStart, SelEnd;
  int32_t BlockFrom = 0, BlockTo = 0;  // a column block's columns on the line, unwrapped; 0 none
  std::string EndMark;
  // per line
  std::string Line;
  int32_t LineNo = 0;
  bool CaretRow = false;
  bool SpecialLine = false;
  TColor FG = clWindowText, BG = clWindow, SelFG = clHighlightText, SelBG = clHighlight;
  // per row
  TRect RowRect, TokenRect;
  int32_t FirstChar = 1, LastChar = 1;
  bool Complex = false, RowSelected = false;
  int32_t SelColStart = 0, SelColEnd = 0;
  // the pending run
  std::string Accu;
  int32_t AccuCharsBefore = 0;
  TColor AccuFG = 0, AccuBG = 0;
  TFontStyles AccuStyle;
};

TColor TCustomRidEder::GetEditorBackground(bool CaretRow) {
  if (FActiveLineColor != clNone && CaretRow) return FActiveLineColor;
  if (FHighlighter) {
    TRidHighlighterAttributes* a = FHighlighter->GetDefaultAttribute(4);
    if (a && a->GetBackground() != clNone) return a->GetBackground();
  }
  return GetColor();
}

void TCustomRidEder::ReportPaintError(const std::string& Message) {
  FLastPaintError = Message;
  if (FPaintErrorCount++ > 0) return;
  Application()->HandleException(ERidEder(Message));
}

void TCustomRidEder::Paint() {
  TCanvas& canvas = Canvas();
  TRect rc = canvas.GetClipRect();
  TPaintState S;
  int32_t textLeft = FGutterWidth + 2;
  S.FirstCol = FLeftChar;
  if (rc.Left > textLeft) S.FirstCol += (rc.Left - textLeft) / FCharWidth;
  S.LastCol = static_cast<int32_t>(std::min<int64_t>(
      int64_t(FLeftChar) + (rc.Right - textLeft + FCharWidth - 1) / FCharWidth, MaxInt - 1));
  S.FirstRow = std::max(FTopLine + rc.Top / FTextHeight, FTopLine);
  S.LastRow = std::clamp(FTopLine + (rc.Bottom + FTextHeight - 1) / FTextHeight, 1,
                         std::max(DisplayLineCount(), 1));
  HideCaret();
  // A failing highlighter must not make every repaint fail again: the region counts as
  // painted, the error is reported once and the window stays usable.
  try {
    if (rc.Right > FGutterWidth) {
      TRect r = rc;
      r.Left = std::max(r.Left, FGutterWidth);
      PaintTextLines(r, S.FirstRow, S.LastRow, S.FirstCol, S.LastCol);
    }
    if (FGutterWidth > rc.Left) {
      TRect r = rc;
      r.Right = FGutterWidth;
      PaintGutter(r, S.FirstRow, S.LastRow);
    }
    DoPluginsAfterPaint(canvas, rc, RowToLine(S.FirstRow), RowToLine(S.LastRow));
    DoOnPaint();
    DoOnPaintTransient(1);
  } catch (const std::exception& e) {
    ReportPaintError(e.what());
  }
  UpdateCaret();
}

void TCustomRidEder::PaintGutter(const TRect& AClip, int32_t FirstRow, int32_t LastRow) {
  TCanvas& canvas = Canvas();
  int32_t firstLine = RowToLine(FirstRow);
  int32_t lastLine = std::min(RowToLine(LastRow), FLines->GetCount());
  bool gradient = FGutter->GetGradient();
  if (gradient)
    FillGradient(&canvas, FGutter->GetGradientStartColor(), FGutter->GetGradientEndColor(), true,
                 Rect(0, 0, FGutterWidth, ClientHeight()), FGutter->GetGradientSteps());
  canvas.Brush().SetColor(FGutter->GetColor());
  if (FGutter->GetShowLineNumbers()) {
    if (FGutter->GetUseFontStyle())
      FTextDrawer->SetBaseFont(&FGutter->GetFont());
    else
      FTextDrawer->SetStyle({});
    {
      TDrawingScope scope(*FTextDrawer, &canvas);
      FTextDrawer->SetForeColor(FGutter->GetUseFontStyle() ? FGutter->GetFont().GetColor()
                                                           : Font().GetColor());
      FTextDrawer->SetBackColor(FGutter->GetColor());
      TRect rcLine = AClip;
      rcLine.Right = std::max(AClip.Right, FGutterWidth - 2);
      rcLine.Bottom = rcLine.Top;
      for (int32_t line = firstLine; line <= lastLine; ++line) {
        int32_t top = (LineToRow(line) - FTopLine) * FTextHeight;
        if (GetWordWrap() && !gradient && top > rcLine.Bottom) {
          TRect gap = Rect(rcLine.Left, rcLine.Bottom, rcLine.Right, top);
          FTextDrawer->ExtTextOut(gap.Left, gap.Top, ETO_OPAQUE, gap, "");
        }
        rcLine.Top = top;
        rcLine.Bottom = top + FTextHeight;
        std::string s = FGutter->FormatLineNumber(line);
        if (OnGutterGetText) OnGutterGetText(this, line, s);
        TSize size{};
        canvas.GetTextExtentPoint32(s, size);
        int32_t x = FGutterWidth - FGutter->GetRightOffset() - 2 - size.cx;
        int32_t y = top + (FTextHeight - size.cy) / 2;
        if (gradient) {
          canvas.SetBkMode(TRANSPARENT);
          FTextDrawer->ExtTextOut(x, y, 0, rcLine, s);
          canvas.SetBkMode(OPAQUE);
        } else {
          FTextDrawer->ExtTextOut(x, y, ETO_OPAQUE, rcLine, s);
        }
      }
      if (!gradient && rcLine.Bottom < AClip.Bottom) {
        TRect rest = Rect(AClip.Left, rcLine.Bottom, AClip.Right, AClip.Bottom);
        FTextDrawer->ExtTextOut(rest.Left, rest.Top, ETO_OPAQUE, rest, "");
      }
    }
    if (FGutter->GetUseFontStyle()) FTextDrawer->SetBaseFont(&Font());
  } else if (!gradient) {
    canvas.FillRect(AClip);
  }
  if (GetWordWrap() && FWordWrapGlyph->GetVisible()) {
    for (int32_t row = FirstRow; row <= LastRow; ++row) {
      if (LineToRow(RowToLine(row)) == row) continue;
      FWordWrapGlyph->Draw(
          canvas, FGutterWidth - FGutter->GetRightOffset() - 2 - FWordWrapGlyph->GetWidth(),
          (row - FTopLine) * FTextHeight, FTextHeight);
    }
  }
  if (FGutter->GetBorderStyle() != gbsNone && AClip.Right >= FGutterWidth - 2) {
    canvas.Pen().SetColor(FGutter->GetBorderColor());
    canvas.Pen().SetWidth(1);
    if (FGutter->GetBorderStyle() == gbsMiddle) {
      canvas.MoveTo(FGutterWidth - 2, AClip.Top);
      canvas.LineTo(FGutterWidth - 2, AClip.Bottom);
      canvas.Pen().SetColor(FGutter->GetColor());
    }
    canvas.MoveTo(FGutterWidth - 1, AClip.Top);
    canvas.LineTo(FGutterWidth - 1, AClip.Bottom);
  }
  // Per-row image offsets; a mark on a row outside the painted rows uses offset 0.
  std::vector<int32_t> offsets(std::max(LastRow - FirstRow + 1, 0), 0);
  auto offsetOf = [&](int32_t row) -> int32_t* {
    static thread_local int32_t scratch;
    if (row >= FirstRow && row <= LastRow) return &offsets[row - FirstRow];
    scratch = 0;
    return &scratch;
  };
  if (FBookMarkOpt->GetGlyphsVisible() && FMarkList->GetCount() > 0 && lastLine >= firstLine) {
    bool second = false;
    for (int pass = 0; pass < 2; ++pass) {
      if (pass == 1 && !second) break;
      for (int32_t i = 0; i < FMarkList->GetCount(); ++i) {
        TRidEderMark* m = FMarkList->GetItem(i);
        if (!m->GetVisible() || m->GetLine() < firstLine || m->GetLine() > lastLine) continue;
        bool first = m->IsBookmark() == FBookMarkOpt->GetDrawBookmarksFirst();
        if (pass == 0 && !first) {
          second = true;
          continue;
        }
        if (pass == 1 && first) continue;
        int32_t row = LineToRow(m->GetLine());
        if (row < FirstRow) continue;
        DrawMark(m, *offsetOf(row), row);
      }
    }
  }
  if (OnGutterPaint) {
    for (int32_t line = firstLine; line <= lastLine; ++line) {
      int32_t row = LineToRow(line);
      OnGutterPaint(this, line, *offsetOf(row), (row - FTopLine) * FTextHeight);
    }
  }
}

void TCustomRidEder::DrawMark(TRidEderMark* AMark, int32_t& AOffset, int32_t ARow) {
  TCanvas& canvas = Canvas();
  int32_t y = (ARow - FTopLine) * FTextHeight;
  TImageList* images = FBookMarkOpt->GetBookmarkImages();
  if (!AMark->GetInternalImage() && images) {
    if (AMark->GetImageIndex() >= images->GetCount()) return;
    if (AMark->IsBookmark() == FBookMarkOpt->GetDrawBookmarksFirst())
      AOffset = 0;
    else if (AOffset == 0)
      AOffset = FBookMarkOpt->GetXoffset();
    images->Draw(canvas, FBookMarkOpt->GetLeftMargin() + AOffset, y, AMark->GetImageIndex());
    AOffset += FBookMarkOpt->GetXoffset();
  } else if (AMark->GetImageIndex() >= 0 && AMark->GetImageIndex() <= 9) {
    if (!FInternalImage)
      FInternalImage = std::make_unique<TRidInternalImage>("RidEderInternalImages", 10);
    if (AOffset == 0)
      FInternalImage->DrawMark(canvas, AMark->GetImageIndex(),
                               FBookMarkOpt->GetLeftMargin() + AOffset, y, FTextHeight);
    AOffset += FBookMarkOpt->GetXoffset();
  }
}

void TCustomRidEder::PaintTextLines(TRect AClip, int32_t FirstRow, int32_t LastRow,
                                    int32_t FirstCol, int32_t LastCol) {
  TCanvas& canvas = Canvas();
  TPaintState S;
  S.Clip = AClip;
  S.FirstRow = FirstRow;
  S.LastRow = LastRow;
  S.FirstCol = FirstCol;
  S.LastCol = LastCol;
  S.FirstLine = RowToLine(FirstRow);
  S.LastLine = std::min(RowToLine(LastRow), FLines->GetCount());
  int32_t edgeX = -1;
  if (FRightEdge > 0) {
    int64_t x = int64_t(FRightEdge) * FCharWidth + FTextOffset;
    if (x >= AClip.Left && x <= AClip.Right) edgeX = static_cast<int32_t>(x);
  }
  if (AClip.Left < FGutterWidth + 2) {
    if (FHighlighter) FHighlighter->ResetRange();
    canvas.Brush().SetColor(GetEditorBackground(false));
    canvas.FillRect(
        Rect(std::max(AClip.Left, FGutterWidth), AClip.Top, FGutterWidth + 2, AClip.Bottom));
    AClip.Left = FGutterWidth + 2;
    S.Clip = AClip;
  }
  S.RowRect = Rect(AClip.Left, (FirstRow - FTopLine) * FTextHeight, AClip.Right,
                   (FirstRow - FTopLine) * FTextHeight);
  if (S.LastLine >= S.FirstLine) {
    ComputeSelectionInfo(S);
    FTextDrawer->SetStyle(Font().GetStyle());
    TDrawingScope scope(*FTextDrawer, &canvas);
    PaintLines(S);
  }
  auto drawEdge = [&](int32_t top, int32_t bottom) {
    if (edgeX < 0) return;
    canvas.Pen().SetColor(FRightEdgeColor);
    canvas.Pen().SetWidth(1);
    canvas.MoveTo(edgeX, top);
    canvas.LineTo(edgeX, bottom);
  };
  int32_t lastPainted = std::max(LastRow, S.FirstRow - 1);
  if (S.LastLine < S.FirstLine) lastPainted = FirstRow - 1;
  TRect below =
      Rect(AClip.Left, (lastPainted - FTopLine + 1) * FTextHeight, AClip.Right, AClip.Bottom);
  if (!IsRectEmpty(below)) {
    if (FHighlighter) FHighlighter->ResetRange();
    canvas.Brush().SetColor(GetEditorBackground(false));
    canvas.FillRect(below);
    drawEdge(below.Top, below.Bottom + 1);
  }
  // The edge over the painted rows, drawn last so that token fills do not cover it.
  if (S.LastLine >= S.FirstLine) drawEdge(AClip.Top, std::min(below.Top, AClip.Bottom) + 1);
}

void TCustomRidEder::ComputeSelectionInfo(TPaintState& S) {
  S.AnySelection = false;
  if (FHideSelection && !Focused()) return;
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  if (b == e) return;
  if (FActiveSelectionMode == smColumn && b.Char == e.Char) return;
  if (e.Line < S.FirstLine || b.Line > S.LastLine) return;
  S.AnySelection = true;
  if (FActiveSelectionMode == smLine) {
    b.Char = 1;
    e.Char = MaxInt / 2;
  }
  S.SelStart = BufferToDisplayPos(b);
  S.SelEnd = BufferToDisplayPos(e);
  if (FActiveSelectionMode == smLine) {
    S.SelStart.Column = 1;
    S.SelEnd.Column = MaxInt / 2;
  }
  // A column block's cells are found line by line (ColumnBlockOfLine).
}

void TCustomRidEder::ColumnBlockOfLine(TPaintState& S, int32_t Line) {
  S.BlockFrom = S.BlockTo = 0;
  if (!S.AnySelection || FActiveSelectionMode != smColumn || Line < GetBlockBegin().Line ||
      Line > GetBlockEnd().Line)
    return;
  const auto [a, z] = ColumnBytes(Line);
  S.BlockFrom = ExpandedColumn(Line, a);
  S.BlockTo = ExpandedColumn(Line, z);
}

void TCustomRidEder::PaintLines(TPaintState& S) {
  for (int32_t line = S.FirstLine; line <= S.LastLine; ++line) {
    bool lastLine = line == FLines->GetCount();
    if (FShowSpecialChars || FShowEndMarks)
      S.EndMark = lastLine ? MarkEof : MarkEol;
    else
      S.EndMark.clear();
    S.Line = FLines->GetExpandedString(line - 1);
    S.LineNo = line;
    S.CaretRow = line == FCaretY;
    S.FG = Font().GetColor();
    S.BG = GetEditorBackground(S.CaretRow);
    S.SpecialLine = DoOnSpecialLineColors(line, S.FG, S.BG);
    if (S.SpecialLine) {
      S.SelFG = S.BG;
      S.SelBG = S.FG;
    } else {
      S.SelFG = FSelectedColor->GetForeground();
      S.SelBG = FSelectedColor->GetBackground();
    }
    ColumnBlockOfLine(S, line);
    int32_t firstRowOfLine = LineToRow(line);
    int32_t rowCount =
        GetWordWrap() ? (line < FLines->GetCount() ? LineToRow(line + 1) : DisplayLineCount() + 1) -
                            firstRowOfLine
                      : 1;
    for (int32_t row = firstRowOfLine; row < firstRowOfLine + rowCount; ++row) {
      if (row < S.FirstRow) continue;
      if (row > S.LastRow) break;
      int32_t rowStart = 1, rowLength = 0;  // where the row starts in the line unwrapped; its width
      if (GetWordWrap()) {
        rowStart = FWordWrapPlugin->DisplayToBufferPos({1, row}).Char;
        rowLength = FWordWrapPlugin->GetRowLength(row);
        S.FirstChar = rowStart + S.FirstCol - 1;
        S.LastChar = rowStart + std::min(S.LastCol - 1, rowLength);
      } else {
        S.FirstChar = S.FirstCol;
        S.LastChar = S.LastCol;
      }
      // selection columns of this row
      S.Complex = false;
      S.SelColStart = S.SelColEnd = 0;
      const bool column = FActiveSelectionMode == smColumn;
      int32_t selFrom = S.SelStart.Column, selTo = S.SelEnd.Column;
      // A column block's cells lie on every row its bytes wrap to; the cells right of a row's
      // text belong to the row only where the line ends.
      if (column) {
        selFrom = S.BlockFrom - (rowStart - 1);
        selTo = S.BlockTo - (rowStart - 1);
        if (row < firstRowOfLine + rowCount - 1) selTo = std::min(selTo, rowLength + 1);
      }
      if (column ? S.BlockTo > 0 && selTo > std::max(selFrom, 1)
                 : S.AnySelection && row >= S.SelStart.Row && row <= S.SelEnd.Row) {
        S.SelColStart = S.FirstCol;
        S.SelColEnd = S.LastCol + 1;
        if (column || (FActiveSelectionMode == smNormal && row == S.SelStart.Row)) {
          if (selFrom > S.LastCol) {
            S.SelColStart = S.SelColEnd = 0;
          } else if (selFrom > S.FirstCol) {
            S.SelColStart = selFrom;
            S.Complex = true;
          }
        }
        if (S.SelColStart > 0 &&
            (column || (FActiveSelectionMode == smNormal && row == S.SelEnd.Row))) {
          if (selTo < S.FirstCol) {
            S.SelColStart = S.SelColEnd = 0;
          } else if (selTo < S.LastCol) {
            S.SelColEnd = selTo;
            S.Complex = true;
          }
        }
        if (column && S.SelColStart > 0) {
          // Whole characters only: an edge inside a double-byte character moves past it.
          int32_t off = GetWordWrap() ? S.FirstChar - S.FirstCol : 0;
          int32_t a = S.SelColStart + off, b = S.SelColEnd + off;
          if (IsTrailByteAt(S.Line, a)) ++a;
          if (IsTrailByteAt(S.Line, b)) ++b;
          S.SelColStart = a - off;
          S.SelColEnd = b - off;
        }
      }
      S.RowRect.Top = (row - FTopLine) * FTextHeight;
      S.RowRect.Bottom = S.RowRect.Top + FTextHeight;
      S.RowSelected = !S.Complex && S.SelColStart > 0;
      S.TokenRect = S.RowRect;
      S.Accu.clear();
      S.AccuCharsBefore = 0;
      int32_t lineLen = static_cast<int32_t>(S.Line.size());
      if (!FHighlighter || !FHighlighter->GetEnabled()) {
        std::string text =
            GetWordWrap() ? S.Line.substr(std::min<size_t>(S.FirstChar - S.FirstCol, S.Line.size()),
                                          std::max(S.LastChar - (S.FirstChar - S.FirstCol) - 1, 0))
                          : S.Line;
        int32_t before = 0;
        if (FShowSpecialChars && lineLen < S.LastChar) text += S.EndMark;
        int32_t len = static_cast<int32_t>(text.size());
        if (S.Complex) {
          FTextDrawer->SetForeColor(S.FG);
          FTextDrawer->SetBackColor(S.BG);
          S.TokenRect.Left = std::max(S.RowRect.Left, ColumnToXValue(S.FirstCol));
          S.TokenRect.Right = std::min(S.RowRect.Right, ColumnToXValue(S.SelColStart));
          PaintToken(S, text, len, before, S.FirstCol, S.SelColStart);
          S.TokenRect.Left = ColumnToXValue(S.SelColEnd);
          S.TokenRect.Right = std::min(S.RowRect.Right, ColumnToXValue(S.LastCol));
          PaintToken(S, text, len, before, S.SelColEnd, S.LastCol);
          FTextDrawer->SetForeColor(S.SelFG);
          FTextDrawer->SetBackColor(S.SelBG);
          S.TokenRect.Left = std::max(S.RowRect.Left, ColumnToXValue(S.SelColStart));
          S.TokenRect.Right = std::min(S.RowRect.Right, ColumnToXValue(S.SelColEnd));
          PaintToken(S, text, len, before, S.SelColStart, S.SelColEnd - 1);
        } else {
          FTextDrawer->SetForeColor(S.RowSelected ? S.SelFG : S.FG);
          FTextDrawer->SetBackColor(S.RowSelected ? S.SelBG : S.BG);
          S.TokenRect.Left = std::max(S.RowRect.Left, ColumnToXValue(S.FirstCol));
          PaintToken(S, text, len, before, S.FirstCol, S.LastCol);
        }
      } else {
        if (line == 1)
          FHighlighter->ResetRange();
        else
          FHighlighter->SetRange(FLines->GetRange(line - 2));
        FHighlighter->SetLine(S.Line, line - 1);
        int32_t shift = S.FirstChar - S.FirstCol;
        int32_t reached = 0;  // 0-based end of the text the highlighter gave
        while (!FHighlighter->GetEol()) {
          std::string_view tok = FHighlighter->GetTokenView();
          if (tok.empty()) {
            FHighlighter->Next();
            if (FHighlighter->GetEol()) break;
            tok = FHighlighter->GetTokenView();
            if (tok.empty()) throw ERidEder(SHighlighterLoops);
          }
          int32_t pos = FHighlighter->GetTokenPos();  // 0-based
          int32_t len = static_cast<int32_t>(tok.size());
          reached = pos + len;
          if (pos >= S.LastChar - 1) break;
          if (pos + len >= S.FirstChar) {
            int32_t from = std::max(pos, S.FirstChar - 1);
            int32_t to = std::min(pos + len, S.LastChar - 1);
            if (GetWordWrap() && pos + len > S.LastChar - 1) to = S.LastChar - 1;
            if (to > from)
              AddHighlightToken(S, tok.substr(from - pos, to - from), from - shift, to - from,
                                FHighlighter->GetTokenAttribute());
          }
          FHighlighter->Next();
        }
        // A highlighter that stops short still leaves the rest of the row visible.
        if (reached < S.LastChar - 1 && reached < lineLen) {
          int32_t from = std::max(reached, S.FirstChar - 1);
          int32_t to = std::min(lineLen, S.LastChar - 1);
          if (to > from)
            AddHighlightToken(S, std::string_view(S.Line).substr(from, to - from), from - shift,
                              to - from, nullptr);
        }
        if (lineLen < S.LastChar && (lastLine || FOptions.Contains(eoShowSpecialChars)) &&
            (!FShowEndMarks || lastLine) && !S.EndMark.empty()) {
          TColor keep = S.FG;
          S.FG = MarkEndColor;
          AddHighlightToken(S, S.EndMark, lineLen - shift, static_cast<int32_t>(S.EndMark.size()),
                            nullptr);
          S.FG = keep;
        }
        PaintHighlightToken(S, true);
      }
      if (FShowEndMarks && !lastLine && S.TokenRect.Left > S.Clip.Left && lineLen < S.LastChar) {
        FEndMarkGlyph->Draw(Canvas(), S.TokenRect.Left + 1, S.TokenRect.Top, FTextHeight);
      }
    }
  }
}

void TCustomRidEder::AddHighlightToken(TPaintState& S, std::string_view Token, int32_t CharsBefore,
                                       int32_t TokenLen, TRidHighlighterAttributes* Attri) {
  TColor fg, bg;
  TFontStyles style;
  if (Attri) {
    fg = Attri->GetForeground();
    bg = Attri->GetBackground();
    style = Attri->GetStyle();
  } else {
    fg = S.FG;
    bg = S.BG;
    style = Font().GetStyle();
  }
  if (bg == clNone || (FActiveLineColor != clNone && S.CaretRow))
    bg = GetEditorBackground(S.CaretRow);
  if (fg == clNone) fg = Font().GetColor();
  if (!S.Accu.empty()) {
    bool spaces = OnlySpaces(Token);
    bool styleOk = style == S.AccuStyle ||
                   (!style.Contains(fsUnderline) && !S.AccuStyle.Contains(fsUnderline) && spaces);
    bool colourOk = (S.SpecialLine && !FOptions.Contains(eoSpecialLineDefaultFg)) ||
                    S.RowSelected ||
                    (bg == S.AccuBG && (fg == S.AccuFG || (spaces && !FShowSpecialChars)));
    // Adjacent only: word wrap may skip nothing in between, but be safe.
    bool adjacent = S.AccuCharsBefore + static_cast<int32_t>(S.Accu.size()) == CharsBefore;
    if (styleOk && colourOk && adjacent) {
      S.Accu.append(Token.substr(0, TokenLen));
      return;
    }
    PaintHighlightToken(S, false);
  }
  S.Accu.assign(Token.substr(0, TokenLen));
  S.AccuCharsBefore = CharsBefore;
  S.AccuFG = fg;
  S.AccuBG = bg;
  S.AccuStyle = style;
}

void TCustomRidEder::AdjustEndRect(TPaintState& S, TRect& R) {
  if (S.Accu.empty()) return;
  TCanvas& canvas = Canvas();
  uint8_t last = static_cast<uint8_t>(S.Accu.back());
  TABC abc;
  int32_t w;
  if (canvas.GetCharABCWidths(last, abc))
    w = abc.abcA + static_cast<int32_t>(abc.abcB) + std::max(abc.abcC, 0);
  else
    w = canvas.TextWidth(std::string(1, static_cast<char>(last)));
  if (w - FCharWidth > 0) R.Right += w - FCharWidth;
}

void TCustomRidEder::PaintHighlightToken(TPaintState& S, bool FillToEOL) {
  int32_t len = static_cast<int32_t>(S.Accu.size());
  int32_t c1 = std::max(S.FirstCol, S.AccuCharsBefore + 1);
  int32_t c2 = std::min(S.LastCol, S.AccuCharsBefore + len + 1);
  bool u1 = false, sel = false, u2 = false, split = false;
  if (S.Complex) {
    u1 = c1 < S.SelColStart;
    sel = c1 < S.SelColEnd && c2 >= S.SelColStart;
    u2 = c2 >= S.SelColEnd;
    split = sel && (u1 || u2);
  } else {
    sel = S.RowSelected;
  }
  if (len > 0) {
    TColor fg = S.FG, bg = S.BG;
    if (!S.SpecialLine) {
      fg = S.AccuFG;
      bg = S.AccuBG;
    } else if (FOptions.Contains(eoSpecialLineDefaultFg)) {
      fg = S.AccuFG;
    }
    FTextDrawer->SetStyle(S.AccuStyle);
    auto paint = [&](int32_t from, int32_t to, int32_t right, bool selected) {
      FTextDrawer->SetForeColor(selected ? S.SelFG : fg);
      FTextDrawer->SetBackColor(selected ? S.SelBG : bg);
      S.TokenRect.Right = right;
      PaintToken(S, S.Accu, len, S.AccuCharsBefore, from, to);
    };
    if (split) {
      if (u1) paint(c1, S.SelColStart, ColumnToXValue(S.SelColStart), false);
      int32_t a = std::max(S.SelColStart, c1), b = std::min(S.SelColEnd, c2);
      paint(a, b, ColumnToXValue(b), true);
      if (u2) paint(S.SelColEnd, c2, ColumnToXValue(c2), false);
    } else {
      paint(c1, c2, ColumnToXValue(c2), sel);
    }
  }
  if (FillToEOL && S.TokenRect.Left < S.RowRect.Right) {
    TColor bg = S.SpecialLine ? S.BG : GetEditorBackground(S.CaretRow);
    auto fill = [&](int32_t right, bool selected) {
      if (S.TokenRect.Left >= right) return;
      TRect r = S.TokenRect;
      r.Right = right;
      if (!S.Accu.empty() && !S.AccuStyle.Empty()) AdjustEndRect(S, r);
      FTextDrawer->SetBackColor(selected ? S.SelBG : bg);
      FTextDrawer->ExtTextOut(r.Left, r.Top, ETO_OPAQUE, r, "");
      S.TokenRect.Left = right;
    };
    if (S.Complex) {
      fill(std::min(ColumnToXValue(S.SelColStart), S.RowRect.Right), false);
      fill(std::min(ColumnToXValue(S.SelColEnd), S.RowRect.Right), true);
      fill(S.RowRect.Right, false);
    } else {
      fill(S.RowRect.Right, S.RowSelected);
    }
  }
  S.Accu.clear();
}

void TCustomRidEder::PaintToken(TPaintState& S, std::string_view Token, int32_t TokenLen,
                                int32_t CharsBefore, int32_t First, int32_t Last) {
  const std::string_view token = Token.substr(0, TokenLen);
  std::string text(token);
  bool hasTabs = false, hasSpaces = false, hasZenkaku = false;
  int32_t lo = std::max(First - CharsBefore, 1), hi = std::min(Last - CharsBefore, TokenLen);
  for (int32_t i = 1; i <= TokenLen; ++i) {
    char& c = text[i - 1];
    bool inRange = i >= lo && i <= hi;
    if (c == '\t') {
      c = ' ';
      if (inRange) hasTabs = true;
    } else if (c == ' ' && inRange) {
      hasSpaces = true;
    }
  }
  // A full-width space is found by walking characters, so "ａ@" (82 81 40) is not one.
  std::vector<int32_t> zenkaku;
  if (FShowSpecialChars) {
    for (int32_t i = 1; i <= TokenLen;) {
      if (SjisCharLength(token, static_cast<size_t>(i - 1)) == 2) {
        if (static_cast<uint8_t>(Token[i - 1]) == 0x81 && static_cast<uint8_t>(Token[i]) == 0x40)
          zenkaku.push_back(i);
        i += 2;
      } else {
        ++i;
      }
    }
    hasZenkaku = !zenkaku.empty();
  }
  int32_t i = First - CharsBefore;
  if (Last >= First && !IsRectEmpty(S.TokenRect)) {
    int32_t x = ColumnToXValue(First);
    if (i > 1 && IsTrailByteAt(token, i)) {
      --i;
      x -= FCharWidth;
    }
    if (i >= 1 && i <= TokenLen) {
      int32_t count = std::min(Last - CharsBefore - i + 1, TokenLen - i + 1);
      // Never end inside a character: it is drawn whole.
      if (count > 0 && IsTrailByteAt(token, i + count)) ++count;
      if (count > 0) {
        FTextDrawer->ExtTextOut(x, S.TokenRect.Top, ETO_OPAQUE, S.TokenRect,
                                std::string_view(text).substr(i - 1, count));
      }
    } else {
      FTextDrawer->ExtTextOut(x, S.TokenRect.Top, ETO_OPAQUE, S.TokenRect, "");
    }
  }
  if (FShowSpecialChars) {
    int32_t lastIdx = Last - CharsBefore;
    TRect cell = S.TokenRect;
    if (hasZenkaku) {
      FTextDrawer->SetForeColor(MarkSpaceColor);
      for (int32_t p : zenkaku) {
        if (p < i || p >= lastIdx) continue;
        int32_t x = ColumnToXValue(CharsBefore + p);
        cell.Left = x;
        cell.Right = x + 2 * FCharWidth;
        FTextDrawer->ExtTextOut(x, cell.Top, ETO_OPAQUE, cell, MarkZenkakuSpace);
      }
    }
    std::string search(token);
    if (hasSpaces) {
      FTextDrawer->SetForeColor(MarkSpaceColor);
      for (int32_t p = std::max(i, 1); p <= std::min(lastIdx, TokenLen); ++p) {
        if (search[p - 1] != ' ') continue;
        int32_t x = ColumnToXValue(CharsBefore + p);
        cell.Left = x;
        cell.Right = x + FCharWidth;
        FTextDrawer->ExtTextOut(x, cell.Top, ETO_OPAQUE, cell, MarkSpace);
      }
    }
    if (hasTabs) {
      for (int32_t p = 1; p < std::max(i, 1) && p <= TokenLen; ++p)
        if (search[p - 1] == '\t') search[p - 1] = ' ';
      FTextDrawer->SetForeColor(MarkTabColor);
      for (int32_t p = std::max(i, 1); p <= std::min(lastIdx, TokenLen); ++p) {
        if (search[p - 1] != '\t') continue;
        int32_t n = 1;
        while ((CharsBefore + p + n - 1) % FTabWidth != 0) ++n;
        int32_t x = ColumnToXValue(CharsBefore + p + n / 2 - 1) +
                    (n % 2 == 0 ? FCharWidth / 2 : FCharWidth);
        cell.Left = x;
        cell.Right = x + FCharWidth;
        FTextDrawer->ExtTextOut(x, cell.Top, ETO_OPAQUE, cell, MarkTab);
        for (int32_t k = 0; k < n && p - 1 + k < TokenLen; ++k) search[p - 1 + k] = ' ';
      }
    }
  }
  S.TokenRect.Left = S.TokenRect.Right;
}

}  // namespace rid
