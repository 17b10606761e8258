#pragma once
// Key scripts for the editor control, shared by the property tests and the fuzz targets. A step
// is any command of the key-command table (with an argument where the command takes one: a
// typed byte, lone lead bytes too, a text from the input method, a place outside the text), a
// press of the left mouse button as the window sends it (with and without Shift, Alt and Ctrl,
// past line ends and the last line, a drag or a double click), a save, or a text another program
// puts on the clipboard. A script runs on an editor with the window's options (undo grouping on)
// or a variant of them, now and then with an undo limit of a few items or past the control's own
// limit from the start, and is checked after every step.
#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QMouseEvent>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "editor/RidEder.h"
#include "fuzz/EderFuzzSupport.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Clipboard.h"
#include "platform/Locale.h"

namespace rid::script {

// A number below Bound: from a seeded generator in the tests, from the input in a fuzz target.
using TDraw = std::function<uint32_t(uint32_t Bound)>;

// The input's form of a number: one byte for a bound up to 256, two (high first) above.
inline uint32_t Take(std::string_view Bytes, size_t& At, uint32_t Bound) {
  const auto next = [&]() -> uint32_t { return At < Bytes.size() ? uint8_t(Bytes[At++]) : 0; };
  uint32_t v = next();
  if (Bound > 256) v = v << 8 | next();
  return v % Bound;
}
inline void Put(std::string& Out, uint32_t Value, uint32_t Bound) {
  if (Bound > 256) Out += char(Value >> 8);
  Out += char(Value);
}

// Pieces of drawn text: double-byte characters whose second byte looks like ASCII (5C, 40), can
// only trail (80, A0) or is a lead byte (FA, FC), a lone lead byte, a half-width katakana, a NUL,
// line breaks.
inline const std::string_view Pieces[] = {
    "a",        "Z",        " ",        "  ",       "\t",       "\\",       "(",
    "xyz",      "\x83\x5c", "\x93\xfa", "\x89\xfc", "\x81\x40", "\x83\x80", "\x81\xa0",
    "\xe0\x80", "\x83",     "\xa6",     {"\0", 1},  "\r\n",     "\n",       "\r"};

struct TSetUp {
  int32_t Toggled = -1;   // the window's option toggled, -1 none
  int32_t WrapWidth = 0;  // word wrap at this many columns, 0 none
  int32_t TabWidth = 8;
  int32_t MaxUndo = 0;     // the undo limit, 0 the control's own (1,024 items)
  bool PastLimit = false;  // kEarlierPairs times z typed at the start and taken back, first
};

// More steps than the control's undo limit keeps: what the script does then drops older steps.
constexpr int kEarlierPairs = 550;

enum TKind : uint8_t { kCommand, kMouse, kSave, kOffer };

struct TStep {
  TKind Kind = kCommand;
  TRidEderorCommand Command = ecNone;
  std::string Text;  // typed one ecChar a byte; ecImeStr's; offered
  bool HasPlace = false;
  TBufferCoord Place{}, To{};  // a goto or marker place; the mouse's press and release
  uint8_t Keys = 0;            // the mouse's: 1 Shift, 2 Alt, 4 Ctrl, 8 a double click
  bool operator==(const TStep&) const = default;
};

inline TStep Key(TRidEderorCommand C, std::string Text = {}) {
  TStep s;
  s.Command = C;
  s.Text = std::move(Text);
  return s;
}

// A step's kind is a number below kKinds: below kCommands the command at that place of the
// table; past it more room for typing, the mouse, undo, redo, saves and other programs' texts,
// so that a script does those often.
constexpr uint32_t kCommands = std::size(EditorCommandStrs);
constexpr uint32_t kTyping = kCommands, kMousing = kTyping + 20, kUndoing = kMousing + 15,
                   kRedoing = kUndoing + 8, kSaving = kRedoing + 6, kOffering = kSaving + 4,
                   kKinds = kOffering + 6;

inline bool TakesPlace(TRidEderorCommand C) { return C == ecGotoXY || C == ecSelGotoXY; }
inline bool IsMarker(TRidEderorCommand C) { return C >= ecSetMarker0 && C <= ecSetMarker9; }

// The commands of the key-command table that a macro keeps with a place, or with no data (a
// character and a text are events of their own).
inline std::vector<TRidEderorCommand> MacroCommands(bool WithPlace) {
  std::vector<TRidEderorCommand> list;
  for (const TRidEderCommandName& c : EditorCommandStrs)
    if ((TakesPlace(c.Command) || IsMarker(c.Command)) == WithPlace && c.Command != ecChar &&
        c.Command != ecString)
      list.push_back(c.Command);
  return list;
}

// Each field of a step in turn, as a number below its bound: Field draws it, or writes it out.
template <class TField>  // void(uint32_t& Value, uint32_t Bound)
void Walk(TField&& Field, TRidEderorCommand& Command, TKind& Kind) {
  uint32_t k = Kind == kMouse ? kMousing : Kind == kSave ? kSaving : Kind == kOffer ? kOffering : 0;
  if (Kind == kCommand)
    while (k < kCommands && EditorCommandStrs[k].Command != Command) ++k;
  Field(k, kKinds);
  Kind = k < kMousing || (k >= kUndoing && k < kSaving) ? kCommand
         : k < kUndoing                                 ? kMouse
         : k < kOffering                                ? kSave
                                                        : kOffer;
  if (k < kCommands) Command = EditorCommandStrs[k].Command;
  if (k >= kTyping && k < kMousing) Command = ecChar;
  if (k >= kUndoing && k < kSaving) Command = k < kRedoing ? ecUndo : ecRedo;
}

// Up to 7 pieces or bytes; a text is written as the longest piece at each place, else its byte.
template <class TField>
void WalkText(TField&& Field, std::string& Text) {
  std::vector<std::pair<uint32_t, uint32_t>> parts;  // (a byte, its value) or (a piece, its index)
  for (size_t i = 0, length = 1; i < Text.size(); i += length) {
    parts.emplace_back(1, uint8_t(Text[i]));
    length = 1;
    for (uint32_t p = 0; p < std::size(Pieces); ++p)
      if (Pieces[p].size() >= length && Text.compare(i, Pieces[p].size(), Pieces[p]) == 0) {
        parts.back() = {0, p};
        length = Pieces[p].size();
      }
  }
  uint32_t n = uint32_t(parts.size());
  Field(n, 8);
  std::string drawn;
  for (uint32_t i = 0; i < n; ++i) {
    auto [raw, v] = i < parts.size() ? parts[i] : std::pair<uint32_t, uint32_t>{};
    Field(raw, 2);
    Field(v, raw ? 256 : std::size(Pieces));
    drawn += raw ? std::string(1, char(v)) : std::string(Pieces[v]);
  }
  Text = drawn;
}

// A line from -1 to 14, a column from -1 to 38 or, now and then, to 5,998.
template <class TField>
void WalkPlace(TField&& Field, TBufferCoord& P) {
  uint32_t line = std::max(P.Line + 1, 0), col = std::max(P.Char + 1, 0);
  uint32_t far = col >= 40 ? 3 : 0;
  Field(line, 16);
  Field(far, 4);
  Field(col, far == 3 ? 6000 : 40);
  P = {int32_t(col) - 1, int32_t(line) - 1};
}

template <class TField>
void WalkStep(TField&& Field, TStep& S) {
  Walk(Field, S.Command, S.Kind);
  if (S.Kind == kOffer || (S.Kind == kCommand && (S.Command == ecChar || S.Command == ecImeStr)))
    WalkText(Field, S.Text);
  uint32_t has = S.HasPlace || S.Kind == kMouse || TakesPlace(S.Command);
  if (S.Kind == kCommand && IsMarker(S.Command)) Field(has, 2);
  S.HasPlace = has && (S.Kind == kMouse || TakesPlace(S.Command) || IsMarker(S.Command));
  if (S.HasPlace) WalkPlace(Field, S.Place);
  if (S.Kind != kMouse) return;
  uint32_t drag = !(S.To == S.Place), keys = S.Keys;
  Field(drag, 2);
  if (drag) WalkPlace(Field, S.To);
  if (!drag) S.To = S.Place;
  Field(keys, 16);
  S.Keys = uint8_t(keys);
}

// The window's options half the time, else one of them toggled; word wrap at a small width three
// times in eight; now and then another tab width; an undo limit of 1 to 5 items five times in
// sixteen, and once in sixteen the control's own limit with more steps than it keeps made first.
template <class TField>
void WalkSetUp(TField&& Field, TSetUp& U) {
  static const int32_t wraps[] = {0, 3, 6, 11};
  constexpr uint32_t pastLimit = 6;
  uint32_t option = U.Toggled + 1, wrap = 0, tab = U.TabWidth % 8,
           limit = U.PastLimit ? pastLimit : uint32_t(U.MaxUndo);
  while (wraps[wrap] != U.WrapWidth) ++wrap;
  Field(option, 56);
  Field(wrap, 8);
  Field(tab, 16);
  Field(limit, 16);
  U = {option <= 27 ? int32_t(option) - 1 : -1, wraps[wrap < 4 ? wrap : 0],
       tab > 0 && tab < 8 ? int32_t(tab) : 8, limit < pastLimit ? int32_t(limit) : 0,
       limit == pastLimit};
}

inline TStep DrawStep(const TDraw& D) {
  TStep s;
  WalkStep([&](uint32_t& V, uint32_t Bound) { V = D(Bound); }, s);
  return s;
}
inline TSetUp DrawSetUp(const TDraw& D) {
  TSetUp u;
  WalkSetUp([&](uint32_t& V, uint32_t Bound) { V = D(Bound); }, u);
  return u;
}
// A text of up to Count pieces.
inline std::string DrawText(const TDraw& D, uint32_t Count) {
  std::string s;
  for (uint32_t n = D(Count); n > 0; --n) s += Pieces[D(std::size(Pieces))];
  return s;
}

// The input that draws a step or a set-up (its text and places as given).
template <class T>
std::string Encode(T Value) {
  std::string out;
  const auto put = [&](uint32_t& V, uint32_t Bound) { Put(out, V, Bound); };
  if constexpr (std::is_same_v<T, TStep>)
    WalkStep(put, Value);
  else
    WalkSetUp(put, Value);
  return out;
}

inline std::string Hex(std::string_view S) {
  std::string out;
  char b[4];
  for (unsigned char c : S) out += (std::snprintf(b, sizeof b, " %02X", c), b);
  return out;
}

inline std::string Describe(const TStep& S) {
  const auto at = [](TBufferCoord P) {
    return "(" + std::to_string(P.Char) + "," + std::to_string(P.Line) + ")";
  };
  switch (S.Kind) {
    case kSave:
      return "save";
    case kOffer:
      return "offer" + Hex(S.Text);
    case kMouse: {
      static const char* const names[] = {" shift", " alt", " ctrl", " double"};
      std::string keys;
      for (int b = 0; b < 4; ++b)
        if (S.Keys & (1 << b)) keys += names[b];
      return "mouse " + at(S.Place) + (S.To == S.Place ? "" : "-" + at(S.To)) + keys;
    }
    default:
      return EditorCommandToCodeString(S.Command) + Hex(S.Text) + (S.HasPlace ? at(S.Place) : "");
  }
}

// Whole characters only, walked as the editor walks them.
inline std::vector<bool> CharStarts(std::string_view S) {
  std::vector<bool> starts(S.size() + 1);
  for (size_t i = 0; i <= S.size(); i += i < S.size() ? SjisCharLength(S, i) : 1) starts[i] = true;
  return starts;
}

// Whether a step from Before to After cut a character it kept in two. Walking both from the start,
// the bytes both end with (after those both begin with) start characters where they did, up to
// the first that does not: one that began a character and now ends one was taken by a lone lead
// byte put before it; one that ended a character and now begins one is the half of a character
// cut in two, unless it is the first of those bytes and the step may have put it there itself
// (it is among the bytes of Put).
inline bool SplitsKept(std::string_view Before, std::string_view After, std::string_view Put) {
  const std::vector<bool> was = CharStarts(Before), is = CharStarts(After);
  // What the step kept at each end: the bytes up to the character of the first change, then as
  // many of the last as remain.
  size_t p = 0, s = 0;
  while (p < Before.size() && p < After.size() && Before[p] == After[p]) ++p;
  while (!was[p]) --p;
  while (p + s < Before.size() && p + s < After.size() &&
         Before[Before.size() - 1 - s] == After[After.size() - 1 - s])
    ++s;
  for (size_t k = 0; k < s; ++k) {
    const size_t i = Before.size() - s + k, j = After.size() - s + k;
    if (was[i] != is[j]) return is[j] && !(k == 0 && Put.find(After[j]) != Put.npos);
  }
  return false;
}

// The lines of S without their breaks.
inline std::vector<std::string_view> LinesOf(std::string_view S) {
  std::vector<std::string_view> lines;
  size_t from = 0, length = 0;
  uint8_t kind = 0;
  for (size_t at; (at = FindLineBreak(S, from, length, kind)) != S.npos; from = at + length)
    lines.push_back(S.substr(from, at - from));
  lines.push_back(S.substr(from));
  return lines;
}

// Whether a step cut a character in two. No character spans a break and each line reads from its
// own start, so where the step kept the number of lines (a column block's edit changes several)
// each changed line is matched with the same line before: the bytes it kept at its start count as
// kept though an earlier line changed too, and a byte left before a character taken away is not
// lined up with that character's second byte. Else the text is matched as a whole. A lone lead
// byte takes the byte after it, whatever that is, and what follows is read anew, which the editor
// allows: where the text or what the step puts in holds one, no split is told.
inline bool Splits(std::string_view Before, std::string_view After, std::string_view Put) {
  if (!fuzz::IsWholeShiftJis(Before) || !fuzz::IsWholeShiftJis(Put)) return false;
  const std::vector<std::string_view> was = LinesOf(Before), is = LinesOf(After);
  if (was.size() != is.size()) return SplitsKept(Before, After, Put);
  for (size_t l = 0; l < was.size(); ++l)
    if (was[l] != is[l] && SplitsKept(was[l], is[l], Put)) return true;
  return false;
}

// The bytes a typed byte puts in: none for a control byte; a lead byte waits for the next byte
// (Pending, -1 when none) and goes in with it, as its trail byte or alone before it.
inline std::string Typed(char C, int& Pending) {
  const uint8_t b = uint8_t(C);
  if (b < 32 || b == 127) return {};
  if (Pending >= 0) {
    const char lead = char(Pending);
    Pending = -1;
    return {lead, C};
  }
  if (IsDBCSLeadByte(b)) {
    Pending = b;
    return {};
  }
  return {C};
}

// The pixel the window gives for a place: a column's left edge and a row's middle, in the gutter
// left of column 1, above the first row and below the last line.
inline QPoint Pixel(TRidEder& Ed, TBufferCoord P) {
  const int32_t count = Ed.GetLines()->GetCount();
  TDisplayCoord d{1, 1};
  if (P.Line >= 1 && P.Line <= count) d = Ed.BufferToDisplayPos({std::max(P.Char, 1), P.Line});
  d.Row = P.Line < 1       ? Ed.GetTopLine() + P.Line - 1
          : P.Line > count ? Ed.DisplayLineCount() + P.Line - count
                           : d.Row;
  const int x = Ed.ColumnToXValue(d.Column) + 1 + std::min(P.Char - 1, 0) * Ed.GetCharWidth();
  return QPoint(x, (d.Row - Ed.GetTopLine()) * Ed.GetLineHeight() + Ed.GetLineHeight() / 2);
}

// A mouse event as the window sends it: the system's cursor goes there first.
inline void Send(TRidEder& Ed, QEvent::Type T, QPoint P, Qt::MouseButtons Held,
                 Qt::KeyboardModifiers Keys) {
  QWidget* w = Ed.ClientWidget();
  const QPointF global = w->mapToGlobal(QPointF(P));
  QCursor::setPos(global.toPoint());
  QMouseEvent e(T, QPointF(P), global, T == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, Held,
                Keys);
  QApplication::sendEvent(w, &e);
}

// Runs a step on a shown editor.
inline void Perform(TRidEder& Ed, const TStep& S) {
  switch (S.Kind) {
    case kSave:  // as the window saves
      return Ed.SetModified(false);
    case kOffer:  // as another program copies
      Clipboard()->Open();
      Clipboard()->Clear();
      Clipboard()->Close();
      QGuiApplication::clipboard()->setText(QString::fromStdString(SjisToUtf8(S.Text)));
      return;
    case kMouse: {
      Ed.GetScrollTimer().SetInterval(10'000'000);  // a mouse held outside scrolls by no clock
      Qt::KeyboardModifiers keys;
      if (S.Keys & 1) keys |= Qt::ShiftModifier;
      if (S.Keys & 2) keys |= Qt::AltModifier;
      if (S.Keys & 4) keys |= Qt::ControlModifier;
      const QPoint from = Pixel(Ed, S.Place), to = Pixel(Ed, S.To);
      Send(Ed, QEvent::MouseButtonPress, from, Qt::LeftButton, keys);
      if (to != from) {  // twice: the first may start dragging the selection, the second drags it
        Send(Ed, QEvent::MouseMove, to, Qt::LeftButton, keys);
        Send(Ed, QEvent::MouseMove, to, Qt::LeftButton, keys);
      }
      Send(Ed, QEvent::MouseButtonRelease, to, Qt::NoButton, keys);
      if (S.Keys & 8) {
        Send(Ed, QEvent::MouseButtonDblClick, to, Qt::LeftButton, keys);
        Send(Ed, QEvent::MouseButtonRelease, to, Qt::NoButton, keys);
      }
      return;
    }
    case kCommand:
      break;
  }
  try {
    TBufferCoord at = S.Place;
    if (S.Command == ecChar)
      for (char c : S.Text) Ed.CommandProcessor(ecChar, c, nullptr);
    else
      Ed.CommandProcessor(S.Command, 0,
                          S.Command == ecImeStr ? const_cast<char*>(S.Text.c_str())
                          : S.HasPlace          ? static_cast<void*>(&at)
                                                : nullptr);
  } catch (const ERidEderError&) {  // the clipboard refused: the window tells
  }
}

// The caret, or an end of a normal block, on the second byte of a character: what is there.
inline std::string PlaceInside(const TRidEder& Ed) {
  const auto inside = [&](TBufferCoord P) {
    return P.Line >= 1 && P.Line <= Ed.GetLines()->GetCount() &&
           IsTrailByteAt(Ed.GetLines()->GetView(P.Line - 1), P.Char);
  };
  if (inside(Ed.GetCaretXY())) return "the caret is inside a character";
  if (Ed.GetActiveSelectionMode() == smNormal &&
      (inside(Ed.GetRawBlockBegin()) || inside(Ed.GetRawBlockEnd())))
    return "a block end is inside a character";
  return {};
}

// An editor shown in a window, run by a script and checked after every step.
class TScript {
 public:
  TRidEder Ed{nullptr};

  TScript(const TSetUp& U, const std::string& Text) {
    TRidEderorOptions o = TRidEderorOptions::FromBits(RidDefaultOptions);
    if (U.Toggled >= 0) {
      const TRidEderorOptions t{TRidEderorOption(U.Toggled)};
      o = o.Contains(TRidEderorOption(U.Toggled)) ? o - t : o + t;
    }
    Ed.SetOptions(o);
    Ed.SetTabWidth(U.TabWidth);
    Ed.SetBounds(0, 0, 400, 240);
    Ed.Show();
    Ed.SetFocus();  // as the window's page has it while a person types
    if (U.WrapWidth > 0) {
      Ed.SetBounds(0, 0, 400 - (Ed.GetCharsInWindow() - U.WrapWidth) * Ed.GetCharWidth(), 240);
      Ed.SetWordWrap(true);
    }
    if (U.MaxUndo > 0) Ed.SetMaxUndo(U.MaxUndo);
    Ed.GetLines()->LoadFromBytes(Text);
    Ed.SetModified(false);
    Ed.Update();
    FHistory = {Saved()};
    FRuns = {-1};
    FSaved = FHistory[0];
    FLog = "set-up " + std::to_string(U.Toggled) + " " + std::to_string(U.WrapWidth) + " " +
           std::to_string(U.TabWidth) + " " + std::to_string(U.MaxUndo) + ", text" + Hex(Text);
    if (U.PastLimit) {
      FLog += ", " + std::to_string(kEarlierPairs) + " times z and Backspace at the start";
      for (int n = 0; n < kEarlierPairs && FBroke.empty(); ++n)
        for (const TStep& s : {Key(ecChar, "z"), Key(ecDeleteLastChar)})
          if (FBroke.empty()) FBroke = Run(s, false);
    }
    FLog += ", steps:";
  }

  std::string Saved() const { return Ed.GetLines()->SaveToBytes(); }

  // Runs a step; what broke, with the script up to it, or nothing.
  std::string Run(const TStep& S) { return FBroke.empty() ? Run(S, true) : FBroke; }

  // Every step undone, then redone: the text loaded comes back (unmodified, when it was the one
  // saved), then the newest.
  std::string Finish() {
    if (!FBroke.empty()) return FBroke;
    const TStep undo = Key(ecUndo), redo = Key(ecRedo);
    for (int32_t n = Ed.GetUndoList().ItemCount(); Ed.CanUndo() && n >= 0; --n)
      if (std::string broke = Run(undo); !broke.empty()) return broke;
    const bool whole = !Ed.GetUndoList().GetFullUndoImpossible();
    if (whole && Saved() != FHistory[0])
      return "undoing everything misses the start [" + FLog + "]";
    if (whole && FSavedAtStart && Ed.GetModified())
      return "undoing everything to the text saved leaves the page modified [" + FLog + "]";
    for (int32_t n = Ed.GetRedoList().ItemCount(); Ed.CanRedo() && n >= 0; --n)
      if (std::string broke = Run(redo); !broke.empty()) return broke;
    if (whole && Saved() != FHistory.back())
      return "redoing everything misses the end [" + FLog + "]";
    return {};
  }

 private:
  std::string Run(const TStep& S, bool Logged) {
    if (S.Kind == kCommand && S.Command == ecChar && S.Text.size() > 1) {  // a key at a time
      for (char c : S.Text)
        if (std::string broke = Run(Key(ecChar, std::string(1, c)), Logged); !broke.empty())
          return broke;
      return {};
    }
    if (Logged) FLog += " " + Describe(S) + ";";
    const std::string before = Saved();
    const TBefore b = Note(S);
    // Any command the editor runs and a press of the mouse put a waiting lead byte in first; a
    // typed byte may take it.
    if (S.Kind == kCommand && S.Command == ecChar && !S.Text.empty())
      Typed(S.Text[0], FPending);
    else if (S.Kind == kMouse || (S.Kind == kCommand && S.Command != ecChar &&
                                  S.Command != ecNone && S.Command < ecUserFirst))
      FPending = -1;
    Perform(Ed, S);
    if (S.Kind == kSave) {
      FSaved = Saved();
      FSavedAtStart = FNow == 0;
    }
    std::string broke = Check(S, b, before);
    return broke.empty() ? broke : broke + " [" + FLog + "]";
  }

  struct TBefore {
    int32_t Newest = 0;  // the undo list's highest change number: what a change records is above
    bool CouldUndo = false, CouldRedo = false;
    int Pending = -1;
    TBufferCoord Caret{};
    std::string Text, Line;                   // the lines, joined; the caret's
    std::optional<std::string> Inline;        // typed at the caret, nothing selected
    std::string Copied;                       // the normal selection a copy or a cut takes
    std::optional<std::string> ColumnCopied;  // a column block's copy or cut
    std::vector<std::string> ColumnCut;       // its lines as a cut leaves them, from ColumnLine
    int32_t ColumnLine = 0;
    std::string Put;  // bytes the step may put in
  };

  TBefore Note(const TStep& S) {
    const TBufferCoord c = Ed.GetCaretXY();
    // A lead byte waiting goes in before the step's bytes; indents and padding put blanks in.
    TBefore b;
    b.Newest = fuzz::NewestChange(Ed.GetUndoList());
    b.CouldUndo = Ed.CanUndo();
    b.CouldRedo = Ed.CanRedo();
    b.Pending = FPending;
    b.Caret = c;
    b.Put = (FPending >= 0 ? std::string(1, char(FPending)) : "") + S.Text + " \t";
    if (S.Kind != kCommand) return b;
    if (S.Command == ecChar && Ed.GetInsertMode() && Ed.GetImeCount() == 0 &&
        Ed.GetBlockBegin() == Ed.GetBlockEnd() && c.Line >= 1 &&
        c.Line <= Ed.GetLines()->GetCount() &&
        c.Char <= int32_t(Ed.GetLines()->GetView(c.Line - 1).size()) + 1 && S.Text.size() == 1) {
      int pending = FPending;
      b.Text = Ed.GetText();
      b.Line = Ed.GetLines()->GetView(c.Line - 1);
      b.Inline = Typed(S.Text[0], pending);
    }
    if (FPending >= 0) return b;
    if ((S.Command == ecCopy || S.Command == ecCut) && Ed.SelAvail() &&
        Ed.GetActiveSelectionMode() == smNormal)
      b.Copied = Ed.GetSelText();
    if ((S.Command == ecCopy || (S.Command == ecCut && !Ed.GetReadOnly())) && Ed.SelAvail() &&
        Ed.GetActiveSelectionMode() == smColumn)
      NoteColumnBlock(S.Command == ecCopy, b);
    if (S.Command == ecPaste) {
      std::string block;
      Clipboard()->GetBuffer(RidEderClipboardFormat(), block);
      b.Put += block + Clipboard()->GetAsText();
    }
    return b;
  }

  // A column block takes the same columns of each of its lines, each moved off a trail byte of
  // that line; its copy holds blanks for the columns past a line's end (a cut's too, unless
  // blanks at a line's end are trimmed).
  void NoteColumnBlock(bool Copy, TBefore& B) {
    const TBufferCoord b = Ed.GetBlockBegin(), e = Ed.GetBlockEnd();
    const bool padded = Copy || !Ed.GetOptions().Contains(eoTrimTrailingSpaces);
    B.ColumnLine = b.Line;
    B.ColumnCopied.emplace();
    for (int32_t line = b.Line; line <= e.Line && line <= Ed.GetLines()->GetCount(); ++line) {
      std::string text(Ed.GetLines()->GetView(line - 1));
      const auto at = [&](int32_t C) { return size_t(C - 1 + IsTrailByteAt(text, C)); };
      const size_t first = at(std::min(b.Char, e.Char)), second = at(std::max(b.Char, e.Char));
      const size_t end = std::min(second, text.size()), start = std::min(first, end);
      *B.ColumnCopied += (line > b.Line ? "\r\n" : "") + text.substr(start, end - start);
      if (padded) B.ColumnCopied->append(second - std::max(first, end), ' ');
      B.ColumnCut.push_back(text.erase(start, end - start));
    }
  }

  std::string Check(const TStep& S, const TBefore& B, const std::string& Before) {
    const std::string after = Saved();
    if (std::string broke = PlaceInside(Ed); !broke.empty()) return broke;
    const bool replay = S.Kind == kCommand && (S.Command == ecUndo || S.Command == ecRedo);
    // A drop may put in any text; a press, a lead byte waiting.
    const std::string put = S.Kind == kMouse ? B.Put.substr(0, B.Pending >= 0) + Before : B.Put;
    if (!replay && Splits(Before, after, put)) return "a character is split";
    if (after != FSaved && !Ed.GetModified()) return "unmodified, yet not the text saved";
    if (std::string broke = CheckTyping(B); !broke.empty()) return broke;
    if (std::string broke = CheckCopy(B); !broke.empty()) return broke;
    if (std::string broke = CheckColumnCopy(S, B); !broke.empty()) return broke;
    if (S.Kind == kCommand && S.Command >= ecUpperCase && S.Command <= ecToggleCaseBlock &&
        B.Pending < 0 && !Ed.GetOptions().Contains(eoTrimTrailingSpaces) &&
        !SameButCase(Before, after))
      return "a case change changes more than letters";
    std::string broke = CheckUndo(S, B, Before, after);
    if (!B.Inline) FRunFrom = -1;
    return broke;
  }

  // With nothing selected, typing puts its bytes in at the caret, in the order typed, and nothing
  // else (trailing blanks trimmed, when the option says so), the caret after them. Under undo
  // grouping one undo takes back a run of such typing.
  std::string CheckTyping(const TBefore& B) {
    if (!B.Inline) return {};
    std::string line = B.Line;
    line.insert(B.Caret.Char - 1, *B.Inline);
    const int32_t col = B.Caret.Char + int32_t(B.Inline->size());
    if (!B.Inline->empty() && Ed.GetOptions().Contains(eoTrimTrailingSpaces))
      line = TrimTrailingSpaces(line);
    size_t at = 0;  // where the caret's line starts
    for (int32_t l = 1; l < B.Caret.Line; ++l) at = B.Text.find("\r\n", at) + 2;
    if (Ed.GetText() != B.Text.substr(0, at) + line + B.Text.substr(at + B.Line.size()))
      return "typing with nothing selected puts in more than its characters";
    if (!(Ed.GetCaretXY() == TBufferCoord{col, B.Caret.Line}))
      return "typing leaves the caret elsewhere than after its characters";
    if (FRunFrom < 0 && !B.Inline->empty()) FRunFrom = int64_t(FNow);
    return {};
  }

  std::string CheckCopy(const TBefore& B) {
    if (B.Copied.empty()) return {};
    size_t invalid = 0, lost = 0;
    const std::string unicode = SjisToUtf8(B.Copied, &invalid);
    if (invalid == 0 && Utf8ToSjis(unicode, &lost) == B.Copied && lost == 0 &&
        QGuiApplication::clipboard()->text().toStdString() != unicode)
      return "the plain text copied for other programs is not the text selected";
    TRidEder page(nullptr);
    page.PasteFromClipboard();
    if (page.GetText() != B.Copied) return "a copy does not paste back as the text selected";
    return {};
  }

  std::string CheckColumnCopy(const TStep& S, const TBefore& B) {
    if (!B.ColumnCopied) return {};
    std::string block;
    Clipboard()->GetBuffer(RidEderClipboardFormat(), block);
    if (block != char(smColumn) + *B.ColumnCopied + '\0')
      return "a column block's copy is not the bytes of its lines";
    for (size_t k = 0; S.Command == ecCut && k < B.ColumnCut.size(); ++k)
      if (TrimTrailingSpaces(Ed.GetLines()->GetView(B.ColumnLine - 1 + int32_t(k))) !=
          TrimTrailingSpaces(B.ColumnCut[k]))
        return "a column block's cut takes other bytes than its copy holds";
    return {};
  }

  static bool SameButCase(std::string_view A, std::string_view B) {
    if (A.size() != B.size()) return false;
    for (size_t i = 0; i < A.size(); ++i)
      if (A[i] != B[i] && !(std::isalpha(uint8_t(A[i])) && (A[i] ^ 32) == B[i])) return false;
    return true;
  }

  // An undo lands on a text of before; the redos right after undos give back, in turn, what those
  // undos took; any other step either records a change or leaves the text and the redos alone.
  std::string CheckUndo(const TStep& S, const TBefore& B, const std::string& Before,
                        const std::string& After) {
    // A lead byte waiting goes in as a change of its own before an undo, which then takes it back
    // with the change before it or alone: the text it gave back comes again with the redo.
    const bool undo = S.Kind == kCommand && S.Command == ecUndo && (B.CouldUndo || B.Pending >= 0);
    const bool redo = S.Kind == kCommand && S.Command == ecRedo && B.CouldRedo && B.Pending < 0;
    if (undo) {
      if (B.Pending >= 0) {
        FUndone.clear();
        FHistory.resize(FNow + 1);
        FRuns.resize(FNow + 1);
      }
      FUndone.emplace_back(B.Pending < 0 ? std::optional(Before) : std::nullopt, FNow);
      // It takes back at least the newest change, whose text may be the one before it (a blank
      // typed and trimmed), unless the lead byte is all it takes back.
      if (B.Pending < 0 && FNow > 0) --FNow;
      for (; FHistory[FNow] != After; --FNow)
        if (FNow == 0) return "an undo lands on a text never seen";
      // However many older steps the undo limit dropped.
      if (FNow + 1 < FRuns.size() && FRuns[FNow + 1] >= 0 && FRuns[FNow + 1] < int64_t(FNow) &&
          Ed.GetOptions().Contains(eoGroupUndo))
        return "one undo takes back part of a run of typing";
      return {};
    }
    if (redo) {
      if (FUndone.empty() || (FUndone.back().first && After != *FUndone.back().first))
        return "a redo gives back other than its undo took";
      FNow = FUndone.back().second;
      if (!FUndone.back().first) {
        FHistory.resize(++FNow);
        FHistory.push_back(After);
        FRuns.resize(FNow);
        FRuns.push_back(-1);
      }
      FUndone.pop_back();
      return {};
    }
    if (!fuzz::RecordedSince(Ed.GetUndoList(), B.Newest)) {
      if (After != Before) return "a change is not recorded";
      if (Ed.CanRedo() != B.CouldRedo) return "a step that changes nothing drops the redos";
      return {};
    }
    if (Ed.CanRedo()) return "a change leaves redos";
    FUndone.clear();
    FHistory.resize(FNow + 1);
    FHistory.push_back(After);
    FRuns.resize(FNow + 1);
    FRuns.push_back(B.Inline ? FRunFrom : -1);
    ++FNow;
    return {};
  }

  std::vector<std::string> FHistory;  // the texts after each recorded change; FNow the current
  size_t FNow = 0;
  // For each change of the history, the place before the run of typing it belongs to, -1 none.
  std::vector<int64_t> FRuns;
  // Each undo not yet redone: the text before it (unknown when a lead byte went in first) and its
  // place.
  std::vector<std::pair<std::optional<std::string>, size_t>> FUndone;
  std::string FSaved;
  bool FSavedAtStart = true;  // the text saved is the one loaded, as the history shows
  int FPending = -1;          // a lead byte typed alone, waiting for the next
  int64_t FRunFrom = -1;      // the history place before the current run of typing
  std::string FLog;
  std::string FBroke;  // what broke in the steps made before the script's own
};

// A script as a fuzz target's input: the set-up, a length byte and that many bytes of text,
// then the steps.
inline std::string Input(const TSetUp& U, std::string_view Text, const std::vector<TStep>& Steps) {
  std::string out = Encode(U);
  Put(out, uint32_t(Text.size()), 256);
  out += Text;
  for (const TStep& s : Steps) out += Encode(s);
  return out;
}

// Runs such an input (its first 256 steps), with nothing on the clipboard at the start: what
// broke, or nothing.
inline std::string RunInput(std::string_view In) {
  size_t at = 0;
  const TDraw draw = [&](uint32_t Bound) { return Take(In, at, Bound); };
  const TSetUp u = DrawSetUp(draw);
  const size_t length = Take(In, at, 256);
  const std::string text(In.substr(std::min(at, In.size()), length));
  at += text.size();
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->Close();
  TScript s(u, text);
  for (int n = 0; at < In.size() && n < 256; ++n)
    if (std::string broke = s.Run(DrawStep(draw)); !broke.empty()) return broke;
  return s.Finish();
}

}  // namespace rid::script
