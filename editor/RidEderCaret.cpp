// Caret, selection, scrolling and the conversions between buffer and display positions.
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

#include "editor/RidEder.h"
#include "platform/Forms.h"
#include "platform/Imm.h"
#include "platform/Locale.h"

namespace rid {

namespace {

constexpr int64_t PixelLimit = int64_t(1) << 30;

int32_t ClampPixels(int64_t V) {
  return static_cast<int32_t>(std::clamp<int64_t>(V, -PixelLimit, PixelLimit));
}

}  // namespace

// --- selection

TBufferCoord TCustomRidEder::GetBlockBegin() const {
  return BufferCoordBefore(FBlockEnd, FBlockBegin) ? FBlockEnd : FBlockBegin;
}

TBufferCoord TCustomRidEder::GetBlockEnd() const {
  return BufferCoordBefore(FBlockEnd, FBlockBegin) ? FBlockBegin : FBlockEnd;
}

bool TCustomRidEder::SelAvail() const {
  return FBlockBegin.Char != FBlockEnd.Char ||
         (FBlockBegin.Line != FBlockEnd.Line && FActiveSelectionMode != smColumn);
}

bool TCustomRidEder::SelAvailMultiLine() const {
  return FBlockBegin.Line != FBlockEnd.Line && FActiveSelectionMode != smColumn;
}

bool TCustomRidEder::IsSelectionWholeLines() {
  return SelAvail() && GetBlockBegin().Char == 1 &&
         GetBlockEnd().Char > static_cast<int32_t>(GetLineText().size());
}

int32_t TCustomRidEder::MaxColumnOf(int32_t Line) {
  const int64_t text =
      Line >= 1 && Line <= FLines->GetCount() ? FLines->GetExpandedStringLength(Line - 1) : 0;
  return static_cast<int32_t>(
      std::min<int64_t>(std::max<int64_t>(FMaxScrollWidth, text) + 1, MaxInt));
}

std::string_view TCustomRidEder::LineView(int32_t Line) const {
  return Line >= 1 && Line <= FLines->GetCount() ? FLines->GetView(Line - 1) : std::string_view();
}

TBufferCoord TCustomRidEder::ClampedBlockPos(TBufferCoord Value) {
  Value.Line = std::clamp(Value.Line, 1, std::max(FLines->GetCount(), 1));
  if (FOptions.Contains(eoScrollPastEol) && !GetWordWrap())
    Value.Char = std::clamp(Value.Char, 1, MaxColumnOf(Value.Line));
  else
    Value.Char = std::max(Value.Char, 1);
  if (FActiveSelectionMode == smNormal) {
    int32_t len = Value.Line <= FLines->GetCount()
                      ? static_cast<int32_t>(FLines->GetView(Value.Line - 1).size())
                      : 0;
    Value.Char = std::min(Value.Char, len + 1);
  }
  return Value;
}

TBufferCoord TCustomRidEder::AnchorPos(TBufferCoord Value) {
  Value = ClampedBlockPos(Value);
  // As SetBlockEnd, a normal selection takes a character whole (a column's ends apply to every
  // line, each moving off a trail byte of its own).
  if (FActiveSelectionMode == smNormal && Value.Line <= FLines->GetCount() &&
      IsTrailByteAt(FLines->GetView(Value.Line - 1), Value.Char))
    --Value.Char;
  return Value;
}

void TCustomRidEder::SetBlockBegin(TBufferCoord Value) {
  FActiveSelectionMode = FSelectionMode;
  Value = AnchorPos(Value);
  if (SelAvail()) {
    int32_t lo = std::min({Value.Line, FBlockBegin.Line, FBlockEnd.Line});
    int32_t hi = std::max({Value.Line, FBlockBegin.Line, FBlockEnd.Line});
    FBlockBegin = FBlockEnd = Value;
    InvalidateLines(lo, hi);
    StatusChanged({scSelection});
  } else {
    bool moved = !(FBlockBegin == Value) || !(FBlockEnd == Value);
    FBlockBegin = FBlockEnd = Value;
    if (moved) StatusChanged({scSelection});
  }
}

void TCustomRidEder::SetBlockEnd(TBufferCoord Value) {
  SetActiveSelectionMode(FSelectionMode);  // the anchor too becomes a position of that mode
  if (FOptions.Contains(eoNoSelection)) return;
  // Commands leave the anchor with the caret, also past a line's end: a block drawn from it
  // (a Shift+click) begins where SetBlockBegin would put it, as the Shift+arrow keys begin one,
  // so that a normal block's ends are places of the text and its deletion undoes exactly.
  const TBufferCoord anchor = AnchorPos(FBlockBegin);
  if (!(anchor == FBlockBegin)) {
    InvalidateLine(FBlockBegin.Line);
    FBlockBegin = anchor;
    StatusChanged({scSelection});
  }
  Value = ClampedBlockPos(Value);
  if (Value.Line <= FLines->GetCount() &&
      IsTrailByteAt(FLines->GetView(Value.Line - 1), Value.Char))
    --Value.Char;
  if (Value == FBlockEnd) return;
  if (FActiveSelectionMode != smColumn || FBlockBegin.Char == Value.Char ||
      Value.Char == FBlockEnd.Char) {
    int32_t old = FBlockEnd.Line;
    FBlockEnd = Value;
    if (FActiveSelectionMode != smColumn || FBlockBegin.Char != FBlockEnd.Char)
      InvalidateLines(old, FBlockEnd.Line);
  } else {
    int32_t lo = std::min({FBlockBegin.Line, FBlockEnd.Line, Value.Line});
    int32_t hi = std::max({FBlockBegin.Line, FBlockEnd.Line, Value.Line});
    InvalidateLines(lo, hi);
    FBlockEnd = Value;
  }
  StatusChanged({scSelection});
}

void TCustomRidEder::SelectAll() {
  TRidPaintLock lock(*this);
  TBufferCoord last{1, 1};
  if (FLines->GetCount() > 0)
    last = {static_cast<int32_t>(FLines->GetView(FLines->GetCount() - 1).size()) + 1,
            FLines->GetCount()};
  SetCaretXYEx(false, last);
  SetBlockBegin({1, 1});
  SetBlockEnd(last);
  StatusChanged({scSelection});
  InvalidateLines(-1, -1);
}

bool TCustomRidEder::IsPointInSelection(const TBufferCoord& P) const {
  if (!SelAvail()) return false;
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  if (P.Line < b.Line || P.Line > e.Line) return false;
  switch (FActiveSelectionMode) {
    case smLine:
      return true;
    case smColumn: {
      int32_t lo = std::min(b.Char, e.Char), hi = std::max(b.Char, e.Char);
      return P.Char >= lo && P.Char < hi;
    }
    default:
      return (P.Line > b.Line || P.Char >= b.Char) && (P.Line < e.Line || P.Char < e.Char);
  }
}

// The selected bytes; lines are joined with CR LF.
std::string TCustomRidEder::GetSelText() { return GetSelTextEx(nullptr); }

std::string TCustomRidEder::GetSelTextForUndo(std::string& Breaks) {
  Breaks.clear();
  return FActiveSelectionMode == smColumn ? GetColumnText(false, &Breaks) : GetSelTextEx(&Breaks);
}

std::string TCustomRidEder::GetSelTextEx(std::string* Breaks) {
  if (!SelAvail()) return {};
  TBufferCoord b = GetBlockBegin(), e = GetBlockEnd();
  std::string out;
  auto line = [&](int32_t L) { return std::string(FLines->GetView(L - 1)); };
  auto lineBreak = [&](int32_t L) {
    out += "\r\n";
    NoteBreak(Breaks, L);
  };
  switch (FActiveSelectionMode) {
    case smNormal:
      for (int32_t L = b.Line; L <= e.Line && L <= FLines->GetCount(); ++L) {
        std::string s = line(L);
        int32_t from = L == b.Line ? b.Char - 1 : 0;
        int32_t to = L == e.Line ? e.Char - 1 : static_cast<int32_t>(s.size());
        from = std::min<int32_t>(from, s.size());
        to = std::min<int32_t>(to, s.size());
        if (to > from) out += s.substr(from, to - from);
        if (L != e.Line) lineBreak(L);
      }
      break;
    case smLine:
      for (int32_t L = b.Line; L <= e.Line && L <= FLines->GetCount(); ++L) {
        out += line(L);
        if (L != e.Line || L < FLines->GetCount()) lineBreak(L);
      }
      break;
    case smColumn:
      out = GetColumnText(!FOptions.Contains(eoTrimTrailingSpaces));
      break;
  }
  return out;
}

// --- caret

TDisplayCoord TCustomRidEder::GetDisplayXY() {
  TDisplayCoord r = BufferToDisplayPos(GetCaretXY());
  if (GetWordWrap() && FCaretAtEndOfRow) {
    if (r.Column == 1 && r.Row > 1) {
      r.Row -= 1;
      r.Column = FWordWrapPlugin->GetRowLength(r.Row) + 1;
    } else {
      FCaretAtEndOfRow = false;
    }
  }
  return r;
}

int32_t TCustomRidEder::GetDisplayY() { return GetWordWrap() ? GetDisplayXY().Row : FCaretY; }

void TCustomRidEder::SetCaretXY(const TBufferCoord& Value) {
  TRidPaintLock lock(*this);
  FStatusChanges.Include(scSelection);
  SetCaretXYEx(true, Value);
  if (SelAvail()) InvalidateSelection();
  FBlockBegin = FBlockEnd = GetCaretXY();
}

void TCustomRidEder::InternalSetCaretXY(const TBufferCoord& Value) { SetCaretXYEx(true, Value); }

void TCustomRidEder::SetCaretXYEx(bool EnsureVisible, TBufferCoord Value) {
  FCaretAtEndOfRow = FCaretAfterTrimmedBlanks = false;
  if (HandleAllocated()) DoOnPaintTransient(0);
  bool pastEol = FOptions.Contains(eoScrollPastEol);
  if (Value.Line > FLines->GetCount()) Value.Line = FLines->GetCount();
  const bool noLine = Value.Line < 1;
  if (noLine) Value.Line = 1;
  int64_t maxX;
  if (!pastEol)
    maxX = noLine ? 1 : int64_t(FLines->GetView(Value.Line - 1).size()) + 1;
  else if (GetWordWrap() || FExactPositions)  // a replay puts columns back where the edit had them
    maxX = INT64_MAX;
  else
    maxX = MaxColumnOf(Value.Line);
  if (Value.Char > maxX && (!pastEol || !FOptions.Contains(eoAutoSizeMaxScrollWidth)))
    Value.Char = static_cast<int32_t>(maxX);
  Value.Char = std::max(Value.Char, 1);
  if (Value == GetCaretXY()) {
    UpdateLastCaretX();
    if (HandleAllocated()) DoOnPaintTransient(1);
    return;
  }
  {
    TRidPaintLock lock(*this);
    if (Value.Char != FCaretX) {
      FCaretX = Value.Char;
      FStatusChanges.Include(scCaretX);
    }
    if (Value.Line != FCaretY) {
      if (FActiveLineColor != clNone) {
        InvalidateLine(Value.Line);
        InvalidateLine(FCaretY);
      }
      FCaretY = Value.Line;
      FStatusChanges.Include(scCaretY);
    }
    UpdateLastCaretX();
    if (EnsureVisible) EnsureCursorPosVisible();
    FStateFlags |= sfCaretChanged | sfScrollbarChanged;
  }
  if (HandleAllocated()) DoOnPaintTransient(1);
}

void TCustomRidEder::UpdateLastCaretX() {
  FSteppedOffTrailByte = false;  // the caret's own column is the one to keep now
  FLastCaretX = GetDisplayX();
}

bool TCustomRidEder::IsCaretInView() {
  TDisplayCoord d = GetDisplayXY();
  return d.Column >= FLeftChar && int64_t(d.Column) <= int64_t(FLeftChar) + FCharsInWindow &&
         d.Row >= FTopLine && int64_t(d.Row) <= int64_t(FTopLine) + FLinesInWindow;
}

void TCustomRidEder::GotoLineAndCenter(int32_t Line) {
  SetCaretXYEx(false, {1, Line});
  if (SelAvail()) InvalidateSelection();
  FBlockBegin = FBlockEnd = GetCaretXY();
  EnsureCursorPosVisibleEx(true);
}

void TCustomRidEder::EnsureCursorPosVisibleEx(bool ForceToMiddle) {
  TRidPaintLock lock(*this);
  TDisplayCoord d = GetDisplayXY();
  if (d.Column < FLeftChar)
    SetLeftChar(d.Column);
  else if (FCharsInWindow >= 1 && int64_t(d.Column) >= int64_t(FLeftChar) + FCharsInWindow)
    SetLeftChar(d.Column - FCharsInWindow + 1);
  const int32_t top = TopLineShowing(d.Row, FTopLine, ForceToMiddle, DisplayLineCount());
  if (top != FTopLine) SetTopLine(top);
}

int32_t TCustomRidEder::TopLineShowing(int32_t Row, int32_t Top, bool ForceToMiddle,
                                       int32_t Rows) const {
  if (ForceToMiddle) {
    if (Row < Top || Row > Top + FLinesInWindow - 1)
      return ClampedTopLine(Row - (FLinesInWindow - 1) / 2, Rows);
  } else if (Row < Top) {
    return ClampedTopLine(Row, Rows);
  } else if (Row > Top + std::max(FLinesInWindow, 1) - 1) {
    return ClampedTopLine(Row - (FLinesInWindow - 1), Rows);
  }
  return Top;
}

int32_t TCustomRidEder::ClampedTopLine(int32_t Value, int32_t Rows) const {
  const int32_t maxTop = FOptions.Contains(eoScrollPastEof) ? Rows : Rows - FLinesInWindow + 1;
  return std::clamp(Value, 1, std::max(maxTop, 1));
}

void TCustomRidEder::MoveOffTrailByte(int32_t Line, int32_t& Col) {
  if (Line >= 1 && Line <= FLines->GetCount() && IsTrailByteAt(FLines->GetView(Line - 1), Col))
    ++Col;
}

void TCustomRidEder::MoveOffTrailByte(int32_t Line, int32_t& Col1, int32_t& Col2) {
  MoveOffTrailByte(Line, Col1);
  MoveOffTrailByte(Line, Col2);
}

void TCustomRidEder::HideCaret() {
  if (!(FStateFlags & sfCaretVisible) || !HandleAllocated()) return;
  if (rid::HideCaret(GetHandle())) FStateFlags &= ~sfCaretVisible;
}

void TCustomRidEder::ShowCaret() {
  if (FOptions.Contains(eoNoCaret) || (FStateFlags & sfCaretVisible) || !HandleAllocated()) return;
  if (rid::ShowCaret(GetHandle())) FStateFlags |= sfCaretVisible;
}

void TCustomRidEder::InitializeCaret() {
  if (!HandleAllocated()) return;
  TRidEderCaretType ct = FInsertMode ? FInsertCaret : FOverwriteCaret;
  int32_t w, h;
  switch (ct) {
    case ctHorizontalLine:
      w = FCharWidth, h = 2, FCaretOffset = {0, FTextHeight - 2};
      break;
    case ctHalfBlock:
      w = FCharWidth, h = (FTextHeight - 2) / 2, FCaretOffset = {0, h};
      break;
    case ctBlock:
      w = FCharWidth, h = FTextHeight - 2, FCaretOffset = {0, 0};
      break;
    default:
      w = 2, h = FTextHeight - 2, FCaretOffset = {-1, 0};
  }
  FStateFlags &= ~sfCaretVisible;
  if (Focused() || FAlwaysShowCaret) {
    CreateCaret(GetHandle(), w, h);
    UpdateCaret();
  }
}

void TCustomRidEder::UpdateCaret() {
  if (FPaintLock != 0 || (!Focused() && !FAlwaysShowCaret)) {
    FStateFlags |= sfCaretChanged;
    return;
  }
  FStateFlags &= ~sfCaretChanged;
  TDisplayCoord d = GetDisplayXY();
  if (GetWordWrap() && d.Column > FCharsInWindow + 1) d.Column = FCharsInWindow + 1;
  int64_t x = (int64_t(d.Column) - 1) * FCharWidth + FTextOffset;
  int64_t y = (int64_t(d.Row) - FTopLine) * FTextHeight;
  int32_t cx = ClampPixels(x + FCaretOffset.X), cy = ClampPixels(y + FCaretOffset.Y + 1);
  TRect client = GetClientRect();
  bool outside = x < FGutterWidth || x > client.Right || y < client.Top || y > client.Bottom;
  SetCaretPos(cx, cy);
  if (outside)
    HideCaret();
  else
    ShowCaret();
  if (HIMC imc = ImmGetContext(GetHandle())) {
    TCompositionForm cf;
    cf.dwStyle = CFS_POINT;
    cf.ptCurrentPos = {cx, cy};
    ImmSetCompositionWindow(imc, &cf);
    ImmReleaseContext(GetHandle(), imc);
  }
}

// --- words

void TCustomRidEder::GetWordCharSets(TRidCharSet& WordChars, TRidCharSet& WhiteChars) {
  if (FHighlighter) {
    WordChars = FHighlighter->GetIdentChars() - FHighlighter->GetWordBreakChars();
  } else {
    WordChars = TRidCharSet::Range('0', '9') + TRidCharSet::Range('A', 'Z') +
                TRidCharSet::Range('a', 'z') + TRidCharSet{'_'} +
                (TRidCharSet::Range(0xC0, 0xFF) - TRidCharSet{0xD7, 0xF7});
    WordChars = WordChars - TRidCharSet::Of("!\"'()*+,-./:;=?[\\]^{|}");
  }
  WhiteChars = TRidCharSet::Range(1, 255) - WordChars;
}

namespace {

// The 1-based starts of the characters of S; a double-byte character counts as a word
// character whatever its lead byte, so a word never ends inside one.
struct TCharWalk {
  std::vector<int32_t> Starts;
  std::vector<bool> White;
  std::vector<bool> Double;
  TCharWalk(std::string_view S, const TRidCharSet& WhiteChars) {
    for (int32_t i = 1; i <= static_cast<int32_t>(S.size());) {
      const bool dbcs = SjisCharLength(S, static_cast<size_t>(i - 1)) == 2;
      Starts.push_back(i);
      White.push_back(!dbcs && WhiteChars.Contains(S[i - 1]));
      Double.push_back(dbcs);
      i += dbcs ? 2 : 1;
    }
  }
  size_t Count() const { return Starts.size(); }
  // A single-byte word character (words for Ctrl+Right and Ctrl+Left).
  bool Word(size_t K) const { return !White[K] && !Double[K]; }
  // Index of the character holding column Col (Col within the text).
  size_t IndexOf(int32_t Col) const {
    return static_cast<size_t>(std::upper_bound(Starts.begin(), Starts.end(), Col) -
                               Starts.begin()) -
           1;
  }
};

}  // namespace

TRidCharSet TCustomRidEder::WhiteChars() {
  TRidCharSet word, white;
  GetWordCharSets(word, white);
  return white;
}

TBufferCoord TCustomRidEder::WordStartEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > FLines->GetCount()) return XY;
  std::string_view s = FLines->GetView(XY.Line - 1);
  const TRidCharSet white = WhiteChars();
  TCharWalk w(s, white);
  int32_t x = std::min<int32_t>(XY.Char, static_cast<int32_t>(s.size()) + 1);
  if (x > 1) {
    size_t k = w.IndexOf(x - 1);
    if (!w.White[k]) {
      while (k > 0 && !w.White[k - 1]) --k;
      x = w.Starts[k];
    }
  }
  return {x, XY.Line};
}

TBufferCoord TCustomRidEder::WordEndEx(const TBufferCoord& XY) {
  if (XY.Line < 1 || XY.Line > FLines->GetCount()) return XY;
  std::string_view s = FLines->GetView(XY.Line - 1);
  const TRidCharSet white = WhiteChars();
  TCharWalk w(s, white);
  int32_t len = static_cast<int32_t>(s.size());
  if (XY.Char > len) return {len + 1, XY.Line};
  for (size_t k = w.IndexOf(std::max(XY.Char, 1)); k < w.Starts.size(); ++k)
    if (w.White[k] && w.Starts[k] >= XY.Char) return {w.Starts[k], XY.Line};
  return {len + 1, XY.Line};
}

TBufferCoord TCustomRidEder::NextWordPosEx(const TBufferCoord& XY) {
  const int32_t count = FLines->GetCount();
  if (XY.Line < 1 || XY.Line > count) return XY;
  const TRidCharSet white = WhiteChars();
  std::string_view s = FLines->GetView(XY.Line - 1);
  const int32_t len = static_cast<int32_t>(s.size());
  if (XY.Char < len) {
    // Past the rest of the word (or the one double-byte character), then past the blanks.
    TCharWalk w(s, white);
    size_t k = w.IndexOf(std::max(XY.Char, 1));
    if (w.Double[k])
      ++k;
    else
      while (k < w.Count() && w.Word(k)) ++k;
    while (k < w.Count() && w.White[k]) ++k;
    return {k < w.Count() ? w.Starts[k] : len + 1, XY.Line};
  }
  if (XY.Line == count) return XY;
  // The next line's first word or double-byte character.
  TCharWalk w(FLines->GetView(XY.Line), white);
  for (size_t k = 0; k < w.Count(); ++k)
    if (!w.White[k]) return {w.Starts[k], XY.Line + 1};
  return {1, XY.Line + 1};
}

TBufferCoord TCustomRidEder::PrevWordPosEx(const TBufferCoord& XY) {
  const int32_t count = FLines->GetCount();
  if (XY.Line < 1 || XY.Line > count) return XY;
  const TRidCharSet white = WhiteChars();
  std::string_view s = FLines->GetView(XY.Line - 1);
  const int32_t x = std::min<int32_t>(XY.Char, static_cast<int32_t>(s.size()) + 1);
  if (x > 1) {
    // Back over the blanks, then to the start of the word (a double-byte character is one).
    TCharWalk w(s, white);
    size_t k = w.IndexOf(x - 1) + 1;
    while (k > 0 && w.White[k - 1]) --k;
    if (k > 0) {
      --k;
      if (!w.Double[k])
        while (k > 0 && w.Word(k - 1)) --k;
      return {w.Starts[k], XY.Line};
    }
  }
  if (XY.Line == 1) return {1, 1};
  return {static_cast<int32_t>(FLines->GetView(XY.Line - 2).size()) + 1, XY.Line - 1};
}

void TCustomRidEder::SetWordBlock(TBufferCoord Value) {
  Value.Char = std::max(Value.Char, 1);
  Value.Line = std::clamp(Value.Line, 1, std::max(FLines->GetCount(), 1));
  int32_t len = Value.Line <= FLines->GetCount()
                    ? static_cast<int32_t>(FLines->GetView(Value.Line - 1).size())
                    : 0;
  if (Value.Char > len + 1) {
    InternalSetCaretXY({len + 1, Value.Line});
    return;
  }
  TBufferCoord b = WordStartEx(Value), e = WordEndEx(Value);
  if (b.Line == e.Line && b.Char < e.Char) {
    TRidPaintLock lock(*this);
    FBlockBegin = b;
    InternalSetCaretXY(e);
    SetBlockEnd(e);
    InvalidateLine(Value.Line);
    StatusChanged({scSelection});
  }
}

std::string TCustomRidEder::GetWordAtRowCol(const TBufferCoord& XY) {
  TBufferCoord b = WordStartEx(XY), e = WordEndEx(XY);
  if (b.Line != e.Line || b.Char >= e.Char || XY.Line < 1 || XY.Line > FLines->GetCount())
    return {};
  return std::string(FLines->GetView(XY.Line - 1).substr(b.Char - 1, e.Char - b.Char));
}

// --- view

int32_t TCustomRidEder::GetTextOffset() const { return ClampPixels(FTextOffset); }

void TCustomRidEder::SetTextOffsetFromLeftChar() {
  FTextOffset = int64_t(FGutterWidth) + 2 - (int64_t(FLeftChar) - 1) * FCharWidth;
}

int32_t TCustomRidEder::ColumnToXValue(int32_t Col) const {
  return ClampPixels((int64_t(Col) - 1) * FCharWidth + FTextOffset);
}

void TCustomRidEder::SetTopLine(int32_t Value) {
  Value = ClampedTopLine(Value, DisplayLineCount());
  if (Value == FTopLine) return;
  int32_t delta = FTopLine - Value;
  FTopLine = Value;
  // Under a paint lock the picture is repainted at the end: moving its pixels would be wasted.
  if (HandleAllocated()) {
    if (std::abs(delta) < FLinesInWindow && FPaintLock == 0)
      ScrollWindow(0, FTextHeight * delta);
    else
      Invalidate();
  }
  UpdateScrollBars();
  StatusChanged({scTopLine});
}

void TCustomRidEder::SetLeftChar(int32_t Value) {
  if (GetWordWrap()) Value = 1;
  const int32_t maxVal =
      FOptions.Contains(eoScrollPastEol) && FOptions.Contains(eoAutoSizeMaxScrollWidth)
          ? MaxInt - FCharsInWindow
          : LastLeftChar();
  Value = std::clamp(Value, 1, std::max(maxVal, 1));
  if (Value == FLeftChar) return;
  int64_t delta = int64_t(FLeftChar) - Value;
  FLeftChar = Value;
  SetTextOffsetFromLeftChar();
  if (HandleAllocated()) {
    if (std::abs(delta) < FCharsInWindow && FPaintLock == 0) {
      TRect r = GetClientRect();
      r.Left = FGutterWidth + 2;
      ScrollWindow(static_cast<int32_t>(delta * FCharWidth), 0, &r, &r);
    } else {
      InvalidateLines(-1, -1);
    }
  }
  if (FOptions.Contains(eoAutoSizeMaxScrollWidth) && FOptions.Contains(eoScrollPastEol) &&
      int64_t(FLeftChar) + FCharsInWindow > FMaxScrollWidth)
    SetMaxScrollWidth(
        static_cast<int32_t>(std::min<int64_t>(int64_t(FLeftChar) + FCharsInWindow, MaxInt - 1)));
  else
    UpdateScrollBars();
  StatusChanged({scLeftChar});
}

void TCustomRidEder::SetGutterWidth(int32_t Value) {
  Value = std::max(Value, 0);
  if (FGutterWidth == Value) return;
  FGutterWidth = Value;
  SetTextOffsetFromLeftChar();
  if (!HandleAllocated()) return;
  FCharsInWindow = std::max(ClientWidth() - FGutterWidth - 2, 0) / FCharWidth;
  if (GetWordWrap()) FWordWrapPlugin->DisplayChanged();
  UpdateScrollBars();
  Invalidate();
}

void TCustomRidEder::SetScrollBars(TScrollStyle Value) {
  if (FScrollBarsStyle == Value) return;
  FScrollBarsStyle = Value;
  TWinControl::SetScrollBars(Value);
  UpdateScrollBars();
  Invalidate();
}

int32_t TCustomRidEder::VerticalScrollMax() {
  int64_t m = DisplayLineCount();
  if (FOptions.Contains(eoScrollPastEof)) m += FLinesInWindow - 1;
  return static_cast<int32_t>(std::clamp<int64_t>(m, 1, MaxInt));
}

int32_t TCustomRidEder::HorizontalScrollMax() {
  const int32_t longest = FLines->GetLengthOfLongestLine();
  if (FOptions.Contains(eoScrollPastEol)) return std::max(FMaxScrollWidth, longest);
  return std::max(longest, 1);
}

int32_t TCustomRidEder::LastLeftChar() {
  return static_cast<int32_t>(
      std::max<int64_t>(int64_t(HorizontalScrollMax()) - FCharsInWindow + 1, 1));
}

// Bars longer than this are scaled to it, both when set and when a dragged thumb is read back.
constexpr int32_t kScrollScale = 32767;

int32_t TCustomRidEder::ThumbPosition(int32_t Bar, int32_t Code, const TMessage& Msg, int32_t Max) {
  TScrollInfo si;
  si.fMask = SIF_TRACKPOS;
  GetScrollInfo(Bar, si);
  const int32_t pos = Code == SB_THUMBTRACK ? si.nTrackPos : static_cast<int32_t>(Msg.WParam >> 16);
  return Max > kScrollScale ? MulDiv(Max, pos, kScrollScale) : pos;
}

void TCustomRidEder::ScrollBarRange(int32_t Bar, int32_t& Max, int32_t& Page, int32_t& Pos) {
  if (Bar == SB_VERT) {
    Max = VerticalScrollMax();
    Page = FLinesInWindow;
    Pos = FTopLine;
  } else {
    Max = HorizontalScrollMax();
    Page = FCharsInWindow;
    Pos = FLeftChar;
  }
}

bool TCustomRidEder::ScrollBarWanted(int32_t Bar) {
  int32_t max, page, pos;
  ScrollBarRange(Bar, max, page, pos);
  return !FOptions.Contains(eoHideShowScrollbars) || max > kScrollScale || max > page;
}

void TCustomRidEder::UpdateOneScrollBar(int32_t Bar) {
  int32_t max, page, pos;
  ScrollBarRange(Bar, max, page, pos);
  TScrollInfo si;
  // The bars show as they were settled: a range never shows or hides one.
  si.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  if (max > kScrollScale) {
    si.nMin = 0;
    si.nMax = kScrollScale;
    si.nPage = static_cast<uint32_t>(std::max(MulDiv(kScrollScale, page, max), 0));
    si.nPos = MulDiv(kScrollScale, pos, max);
  } else {
    si.nMin = 1;
    si.nMax = max;
    si.nPage = static_cast<uint32_t>(std::max(page, 0));
    si.nPos = pos;
  }
  si.nTrackPos = si.nPos;
  SetScrollInfo(Bar, si, true);
  uint32_t arrows;
  if (!FOptions.Contains(eoDisableScrollArrows) && max > page) {
    arrows = ESB_ENABLE_BOTH;
  } else {
    bool atStart = pos < 2;
    bool atEnd = int64_t(max) <= int64_t(pos) + page - 1;
    arrows = (atStart ? ESB_DISABLE_LEFT : 0) | (atEnd ? ESB_DISABLE_RIGHT : 0);
  }
  EnableScrollBar(Bar, arrows);
}

// A bar shown or hidden changes the text's room and with it what either bar needs: a wrapped
// text a column or two wide may need a bar only while it has none. Once the room changed a bar
// may still come but none goes again, so the bars settle within three passes (two bars).
void TCustomRidEder::SettleScrollBars(bool Horz, bool Vert) {
  bool h = Horz && ScrollBarWanted(SB_HORZ), v = Vert && ScrollBarWanted(SB_VERT);
  for (int pass = 0; pass < 3; ++pass) {
    const TRect room = GetClientRect();
    ShowScrollBar(SB_HORZ, h);
    ShowScrollBar(SB_VERT, v);
    if (GetClientRect() == room) return;
    h = h || (Horz && ScrollBarWanted(SB_HORZ));
    v = v || (Vert && ScrollBarWanted(SB_VERT));
  }
}

void TCustomRidEder::UpdateScrollBars() {
  // Called again by the resize of a bar shown or hidden: the call under way goes on from there.
  if (FUpdatingScrollBars) return;
  if (!HandleAllocated() || FPaintLock != 0) {
    FStateFlags |= sfScrollbarChanged;
    return;
  }
  TFlagOn updating(FUpdatingScrollBars);
  FStateFlags &= ~sfScrollbarChanged;
  const bool horz =
      (FScrollBarsStyle == ssHorizontal || FScrollBarsStyle == ssBoth) && !GetWordWrap();
  const bool vert = FScrollBarsStyle == ssVertical || FScrollBarsStyle == ssBoth;
  SettleScrollBars(horz, vert);
  if (horz) UpdateOneScrollBar(SB_HORZ);
  if (vert) UpdateOneScrollBar(SB_VERT);
}

// One hint window for every editor, living as long as the application.
static THintWindow* GetScrollHint() {
  static THintWindow* hint = new THintWindow(Application());
  return hint;
}

void TCustomRidEder::ShowScrollHint() {
  THintWindow* hint = GetScrollHint();
  hint->SetColor(FScrollHintColor);
  char text[64];
  int32_t count = DisplayLineCount();
  if (FScrollHintFormat == shfTopToBottom)
    std::snprintf(text, sizeof text, "%d - %d", RowToLine(FTopLine),
                  RowToLine(FTopLine + std::min(FLinesInWindow, count - FTopLine)));
  else
    std::snprintf(text, sizeof text, "Top Line: %d", RowToLine(FTopLine));
  TRect r = hint->CalcHintRect(200, text);
  int32_t x = ClientWidth() - r.Width() - 4;
  int32_t y = 10;
  if (FOptions.Contains(eoScrollHintFollows)) {
    TScrollInfo si;
    si.fMask = SIF_ALL;
    GetScrollInfo(SB_VERT, si);
    int32_t button = GetSystemMetrics(SM_CYVSCROLL);
    y = button +
        static_cast<int32_t>(std::lround(double(ClientHeight() - 2 * button) * si.nTrackPos /
                                         std::max(si.nMax, 1))) +
        r.Height() / 2;
  }
  TPoint p = ClientToScreen({x, y});
  OffsetRect(r, p.X, p.Y);
  hint->ActivateHint(r, text);
  hint->Update();
}

void TCustomRidEder::WMHScroll(TMessage& Msg) {
  Msg.Result = 0;
  int32_t code = static_cast<int32_t>(Msg.WParam & 0xFFFF);
  int32_t page = FOptions.Contains(eoScrollByOneLess) ? FCharsInWindow - 1 : FCharsInWindow;
  switch (code) {
    case SB_LINELEFT:
      SetLeftChar(FLeftChar - 1);
      break;
    case SB_LINERIGHT:
      SetLeftChar(FLeftChar + 1);
      break;
    case SB_PAGELEFT:
      SetLeftChar(FLeftChar - page);
      break;
    case SB_PAGERIGHT:
      SetLeftChar(FLeftChar + page);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      FIsScrolling = true;
      SetLeftChar(ThumbPosition(SB_HORZ, code, Msg, HorizontalScrollMax()));
      break;
    }
    case SB_LEFT:
      SetLeftChar(1);
      break;
    case SB_RIGHT:
      SetLeftChar(LastLeftChar());
      break;
    case SB_ENDSCROLL:
      FIsScrolling = false;
      break;
  }
  if (OnScroll) OnScroll(this, sbHorizontal);
}

void TCustomRidEder::WMVScroll(TMessage& Msg) {
  Msg.Result = 0;
  int32_t code = static_cast<int32_t>(Msg.WParam & 0xFFFF);
  int32_t page = FOptions.Contains(eoScrollByOneLess) ? FLinesInWindow - 1 : FLinesInWindow;
  switch (code) {
    case SB_LINEUP:
      SetTopLine(FTopLine - 1);
      break;
    case SB_LINEDOWN:
      SetTopLine(FTopLine + 1);
      break;
    case SB_PAGEUP:
      SetTopLine(FTopLine - page);
      break;
    case SB_PAGEDOWN:
      SetTopLine(FTopLine + page);
      break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
      FIsScrolling = true;
      // Scaled back with the same maximum the bar was given, so a drag lands where it shows.
      SetTopLine(ThumbPosition(SB_VERT, code, Msg, VerticalScrollMax()));
      if (FOptions.Contains(eoShowScrollHint)) ShowScrollHint();
      break;
    }
    case SB_TOP:
      SetTopLine(1);
      break;
    case SB_BOTTOM:
      SetTopLine(DisplayLineCount());
      break;
    case SB_ENDSCROLL:
      FIsScrolling = false;
      if (FOptions.Contains(eoShowScrollHint)) GetScrollHint()->ReleaseHandle();
      break;
  }
  Update();
  if (OnScroll) OnScroll(this, sbVertical);
}

// --- positions

TDisplayCoord TCustomRidEder::BufferToDisplayPos(const TBufferCoord& P) {
  TDisplayCoord r{ExpandedColumn(P.Line, P.Char), P.Line};
  if (GetWordWrap()) r = FWordWrapPlugin->BufferToDisplayPos({r.Column, P.Line});
  return r;
}

int32_t TCustomRidEder::ExpandedColumn(int32_t Line, int32_t Char) {
  // Without a tab every byte is a column: no walk over a long line for each caret move.
  if (Line >= 1 && Line <= FLines->GetCount() && FLines->HasTabs(Line - 1))
    return CharIndexToColumn(Char, FTabWidth, FLines->GetView(Line - 1));
  return Char;
}

TBufferCoord TCustomRidEder::DisplayToBufferPos(const TDisplayCoord& P) {
  TBufferCoord r = DisplayToBufferPosRaw(P);
  if (r.Line >= 1 && r.Line <= FLines->GetCount() &&
      IsTrailByteAt(FLines->GetView(r.Line - 1), r.Char))
    ++r.Char;
  return r;
}

TBufferCoord TCustomRidEder::DisplayToBufferPosRaw(const TDisplayCoord& P) {
  TBufferCoord r{P.Column, P.Row};
  if (GetWordWrap()) r = FWordWrapPlugin->DisplayToBufferPos(P);
  if (r.Line < 1 || r.Line > FLines->GetCount()) return r;
  // Without a tab a column is a byte.
  if (FLines->HasTabs(r.Line - 1))
    r.Char = ColumnToCharIndex(r.Char, FTabWidth, FLines->GetView(r.Line - 1));
  r.Char = std::max(r.Char, 1);
  return r;
}

int32_t TCustomRidEder::LineToRow(int32_t Line) { return BufferToDisplayPos({1, Line}).Row; }

int32_t TCustomRidEder::RowToLine(int32_t Row) { return DisplayToBufferPos({1, Row}).Line; }

int32_t TCustomRidEder::DisplayLineCount() {
  if (!GetWordWrap()) return FLines->GetCount();
  return FLines->GetCount() == 0 ? 0 : FWordWrapPlugin->RowCount();
}

void TCustomRidEder::SetInternalDisplayXY(const TDisplayCoord& P) {
  {
    TRidPaintLock lock(*this);
    InternalSetCaretXY(DisplayToBufferPos(P));
    FCaretAtEndOfRow = GetWordWrap() && P.Row <= FWordWrapPlugin->RowCount() &&
                       P.Column > FWordWrapPlugin->GetRowLength(P.Row) && GetDisplayY() != P.Row;
  }
  FLastCaretX = P.Column;
}

TBufferCoord TCustomRidEder::CharIndexToRowCol(int32_t Index) {
  int64_t t = 0;
  for (int32_t i = 0; i < FLines->GetCount(); ++i) {
    int64_t len = static_cast<int64_t>(FLines->GetView(i).size());
    if (Index < t + len + 2) return {static_cast<int32_t>(Index - t + 1), i + 1};
    t += len + 2;
  }
  return {1, FLines->GetCount() + 1};
}

int32_t TCustomRidEder::RowColToCharIndex(const TBufferCoord& P) {
  int64_t t = 0;
  int32_t n = std::min(P.Line, FLines->GetCount());
  for (int32_t i = 0; i < n - 1; ++i) t += static_cast<int64_t>(FLines->GetView(i).size()) + 2;
  return static_cast<int32_t>(std::min<int64_t>(t + P.Char - 1, MaxInt));
}

int32_t TCustomRidEder::GetSelStart() {
  return RowColToCharIndex(SelAvail() ? GetBlockBegin() : GetCaretXY());
}

// A character index may fall inside a double-byte character: take its first byte.
static TBufferCoord OffTrail(TRidEderStringList* Lines, TBufferCoord P) {
  if (P.Line >= 1 && P.Line <= Lines->GetCount() &&
      IsTrailByteAt(Lines->GetView(P.Line - 1), P.Char))
    --P.Char;
  return P;
}

void TCustomRidEder::SetSelStart(int32_t Value) {
  HandleNeeded();
  TBufferCoord p = OffTrail(FLines, CharIndexToRowCol(Value));
  SetCaretXY(p);
  SetBlockBegin(GetCaretXY());
}

int32_t TCustomRidEder::GetSelLength() {
  if (!SelAvail()) return 0;
  return RowColToCharIndex(GetBlockEnd()) - RowColToCharIndex(GetBlockBegin());
}

void TCustomRidEder::SetSelLength(int32_t Value) {
  TBufferCoord start = GetBlockBegin();
  int32_t iStart = RowColToCharIndex(start);
  int64_t n = int64_t(iStart) + Value;
  TRidPaintLock lock(*this);
  if (Value >= 0) {
    TBufferCoord p =
        OffTrail(FLines, n > MaxInt ? CharIndexToRowCol(MaxInt) : CharIndexToRowCol(int32_t(n)));
    FBlockBegin = start;
    InternalSetCaretXY(p);
    SetBlockEnd(p);
  } else if (n >= 0) {
    TBufferCoord p = OffTrail(FLines, CharIndexToRowCol(int32_t(n)));
    InternalSetCaretXY(p);
    FBlockBegin = p;
    SetBlockEnd(start);
  }
}

TDisplayCoord TCustomRidEder::PixelsToRowColumn(int32_t X, int32_t Y) {
  int64_t col = (int64_t(X) - FTextOffset) / std::max(FCharWidth, 1) + 1;
  int64_t row = int64_t(Y / std::max(FTextHeight, 1)) + FTopLine;
  return {static_cast<int32_t>(std::clamp<int64_t>(col, 1, MaxInt)),
          static_cast<int32_t>(std::clamp<int64_t>(row, 1, MaxInt))};
}

bool TCustomRidEder::GetPositionOfMouse(TBufferCoord& P) {
  TPoint pt;
  GetCursorPos(pt);
  pt = ScreenToClient(pt);
  if (pt.X < 0 || pt.Y < 0 || pt.X >= ClientWidth() || pt.Y >= ClientHeight()) return false;
  P = DisplayToBufferPos(PixelsToRowColumn(pt.X, pt.Y));
  return true;
}

bool TCustomRidEder::GetBookMark(int32_t Number, int32_t& X, int32_t& Y) {
  const TRidEderMark* m = FindBookMark(Number);
  if (!m) return false;
  X = m->GetColumn();
  Y = m->GetLine();
  return true;
}

bool TCustomRidEder::IsBookmark(int32_t Number) {
  int32_t x, y;
  return GetBookMark(Number, x, y);
}

void TCustomRidEder::DoLinesInserted(int32_t FirstLine, int32_t Count) {
  for (int32_t i = 0; i < FMarkList->GetCount(); ++i) {
    TRidEderMark* m = FMarkList->GetItem(i);
    if (m->GetLine() >= FirstLine) m->SetLine(m->GetLine() + Count);
  }
  for (auto* p : std::vector<TRidEderPlugin*>(FPlugins)) p->LinesInserted(FirstLine, Count);
}

void TCustomRidEder::DoLinesDeleted(int32_t FirstLine, int32_t Count) {
  for (int32_t i = 0; i < FMarkList->GetCount(); ++i) {
    TRidEderMark* m = FMarkList->GetItem(i);
    if (m->GetLine() >= FirstLine + Count)
      m->SetLine(m->GetLine() - Count);
    else if (m->GetLine() > FirstLine)
      m->SetLine(FirstLine);
  }
  for (auto* p : std::vector<TRidEderPlugin*>(FPlugins)) p->LinesDeleted(FirstLine, Count);
}

void TCustomRidEder::DoPluginsAfterPaint(TCanvas& ACanvas, const TRect& AClip, int32_t FirstLine,
                                         int32_t LastLine) {
  for (auto* p : std::vector<TRidEderPlugin*>(FPlugins))
    p->AfterPaint(ACanvas, AClip, FirstLine, LastLine);
}

}  // namespace rid
