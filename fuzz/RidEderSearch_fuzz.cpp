// A text of several lines, a pattern, a replacement and options into both search engines and
// into the control's Replace All, each against a plain reference search: on every line each
// hit is found, in order, and none more. The reference takes, from the left and never
// overlapping, each place where the pattern's bytes stand (ASCII letters outside double-byte
// characters folded unless case matters) that starts and ends on a character start; with whole
// word, only those with no letter, digit or '_' character right before or after them (a
// double-byte character is no such one). The regular-expression engine is given the pattern as
// a literal (its syntax bytes escaped, anchored at the line's start or end where the input
// says), and is held to the same hits without the whole-word rule, up to a line's first 0 byte
// (where the expression's input ends, as the engine is made); the pattern as given is
// searched too, its hits sound (inside the line, on character starts, in order) and expanding
// "$&" to their own text. Replace All (the regular expression's replacement without '$' and
// '\' and up to a 0 byte, so it is plain text), forwards or backwards, over the whole text or from
// a caret, counts the reference's hits in its range and gives the text with each of them replaced
// (the replacement's line breaks saved as the text's own where it has one kind); one undo gives
// the text back and a redo the result.
//
// Input: a flags byte (bit 0 match case, 1 whole word, 2 backwards, 3 Replace All with the
// regular-expression engine, 4 the literal anchored at the line start, 5 at the line end,
// 6 from a caret rather than the whole text), a length byte and that pattern, a length byte and
// that replacement, with bit 6 two bytes for the caret's line and column, then the text.
#include <QApplication>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderRegexSearch.h"
#include "editor/RidEderSearch.h"
#include "fuzz/EderFuzzSupport.h"

namespace {

using namespace rid;
using rid::fuzz::Check;
using rid::fuzz::Saved;

struct THit {
  int32_t Pos, Len;  // 1-based, as the engines give them
  bool operator==(const THit&) const = default;
};

struct TLine {
  std::string_view Text, Break;
};

// The lines as the editor reads them: CR LF, CR or LF ends one.
std::vector<TLine> Lines(std::string_view Text) {
  std::vector<TLine> lines;
  size_t at = 0;
  for (;;) {
    const size_t end = std::min(Text.find_first_of("\r\n", at), Text.size());
    const size_t next =
        Text.compare(end, 2, "\r\n") == 0 ? end + 2 : std::min(end + 1, Text.size());
    lines.push_back({Text.substr(at, end - at), Text.substr(end, next - end)});
    if (end == Text.size()) break;
    at = next;
  }
  return lines;
}

// Whether each offset of S (its end included) starts a character.
std::vector<bool> Starts(std::string_view S) {
  std::vector<bool> starts(S.size() + 1, false);
  for (size_t i = 0; i < S.size(); i += SjisCharLength(S, i)) starts[i] = true;
  starts[S.size()] = true;
  return starts;
}

// A letter, digit or '_' standing as a character of its own at I.
bool WordCharAt(std::string_view S, size_t I) {
  return I < S.size() && SjisCharLength(S, I) == 1 &&
         (IsCharAlphaNumericA(static_cast<uint8_t>(S[I])) || S[I] == '_');
}

std::vector<THit> ReferenceHits(std::string_view Line, std::string_view Pattern, bool MatchCase,
                                bool WholeWord) {
  std::vector<THit> hits;
  const size_t m = Pattern.size();
  if (m == 0 || m > Line.size()) return hits;
  const std::vector<bool> starts = Starts(Line);
  const std::string want = MatchCase ? std::string(Pattern) : AnsiLowerCase(Pattern);
  size_t prev = 0;  // the start of the character before I
  for (size_t i = 0, from = 0; i + m <= Line.size(); ++i) {
    if (!starts[i]) continue;
    const size_t before = prev;
    prev = i;
    if (i < from || !starts[i + m]) continue;
    const std::string_view w = Line.substr(i, m);
    if ((MatchCase ? std::string(w) : AnsiLowerCase(w)) != want) continue;
    if (WholeWord && ((i > 0 && WordCharAt(Line, before)) || WordCharAt(Line, i + m))) continue;
    hits.push_back({static_cast<int32_t>(i + 1), static_cast<int32_t>(m)});
    from = i + m;
  }
  return hits;
}

// The hits of AtStart: the first one when it is at the line start; AtEnd: the one that ends
// the line (of the hits any single place gives, so not only those the walk above keeps).
std::vector<THit> Anchored(std::string_view Line, std::string_view Pattern, bool MatchCase,
                           bool AtStart, bool AtEnd) {
  std::vector<THit> hits;
  const size_t m = Pattern.size();
  if (m == 0 || m > Line.size()) return hits;
  const size_t at = AtStart ? 0 : Line.size() - m;
  if (AtStart && AtEnd && m != Line.size()) return hits;
  const std::vector<bool> starts = Starts(Line);
  const std::string_view w = Line.substr(at, m);
  if (starts[at] && starts[at + m] &&
      (MatchCase ? w == Pattern : AnsiLowerCase(w) == AnsiLowerCase(Pattern)))
    hits.push_back({static_cast<int32_t>(at + 1), static_cast<int32_t>(m)});
  return hits;
}

// Pattern as a regular expression that matches it literally; false when it cannot be written
// so: a lone lead byte would take the escape's backslash for its trail byte, and a 0 byte ends
// a literal.
bool AsLiteral(std::string_view Pattern, std::string& Out) {
  static constexpr std::string_view kSyntax = "^$.[()|?+*\\{";
  Out.clear();
  for (size_t i = 0; i < Pattern.size();) {
    const size_t n = SjisCharLength(Pattern, i);
    const char c = Pattern[i];
    if (c == '\0') return false;
    if (n == 1 && IsDBCSLeadByte(static_cast<uint8_t>(c)) && i + 1 < Pattern.size()) return false;
    if (n == 1 && kSyntax.find(c) != std::string_view::npos) Out += '\\';
    Out.append(Pattern.substr(i, n));
    i += n;
  }
  return true;
}

std::vector<THit> Found(TRidEderSearchCustom& E, std::string_view Line) {
  std::vector<THit> hits;
  const int32_t n = E.FindAll(Line);
  for (int32_t i = 0; i < n; ++i) hits.push_back({E.MatchPos(i), E.MatchLength(i)});
  return hits;
}

// Hits inside the line, on character starts, each after the one before.
void CheckSound(const std::vector<THit>& Hits, std::string_view Line) {
  const std::vector<bool> starts = Starts(Line);
  size_t lastStart = 0, lastEnd = 0;
  for (size_t i = 0; i < Hits.size(); ++i) {
    Check(Hits[i].Pos >= 1 && Hits[i].Len >= 0 &&
          static_cast<size_t>(Hits[i].Pos - 1 + Hits[i].Len) <= Line.size());
    const size_t start = Hits[i].Pos - 1, end = start + Hits[i].Len;
    Check(starts[start] && starts[end]);
    Check(i == 0 || (start >= lastEnd && start > lastStart));
    lastStart = start;
    lastEnd = end;
  }
}

// The pattern as given: sound hits, each expanding "$&" to its own text.
void CheckRegexAsGiven(const std::vector<TLine>& Lines, const std::string& Pattern,
                       TRidSearchOptions Options) {
  TRidEderRegexSearch regex(nullptr);
  regex.SetOptions(Options);
  regex.SetPattern(Pattern);
  try {
    for (const TLine& l : Lines) {
      const std::vector<THit> hits = Found(regex, l.Text);
      CheckSound(hits, l.Text);
      for (size_t i = 0; i < hits.size() && i < 64; ++i) {
        const std::string hit(l.Text.substr(hits[i].Pos - 1, hits[i].Len));
        Check(regex.ReplaceMatch(static_cast<int32_t>(i), hit, "$&") == hit);
        regex.ReplaceMatch(static_cast<int32_t>(i), hit, "<$1|${2}>");
      }
    }
  } catch (const ERidRegExpr&) {
  }
}

// The replacement without the regular expression's template syntax, up to its first 0 byte
// (where a template ends, as the engine is made).
std::string PlainTemplate(std::string_view S) {
  S = S.substr(0, S.find('\0'));
  std::string out;
  for (size_t i = 0; i < S.size();) {
    const size_t n = SjisCharLength(S, i);
    if (n == 2 || (S[i] != '$' && S[i] != '\\')) out.append(S.substr(i, n));
    i += n;
  }
  return out;
}

// The break every line is saved with when Text's breaks are all of one kind (CR LF when it has
// none); empty when they are mixed, and each line keeps its own, a new one the kind it came in.
std::string_view SavedBreak(std::string_view Text) {
  bool cr = false, lf = false, crlf = false;
  for (const TLine& l : Lines(Text)) {
    cr = cr || l.Break == "\r";
    lf = lf || l.Break == "\n";
    crlf = crlf || l.Break == "\r\n";
  }
  if (int(cr) + int(lf) + int(crlf) > 1) return {};
  return cr ? "\r" : lf ? "\n" : "\r\n";
}

// S with its breaks saved as Break (as they are when Break is empty).
std::string WithBreaks(std::string_view S, std::string_view Break) {
  if (Break.empty()) return std::string(S);
  std::string out;
  for (const TLine& l : Lines(S)) out.append(l.Text).append(l.Break.empty() ? "" : Break);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rid::fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  const uint8_t flags = in.Byte();
  const std::string pattern(in.Bytes(in.Byte()));
  const std::string given(in.Bytes(in.Byte()));
  const bool matchCase = flags & 1, wholeWord = flags & 2, backwards = flags & 4,
             useRegex = flags & 8, atStart = flags & 16, atEnd = flags & 32, fromCaret = flags & 64;
  const uint8_t caretLine = fromCaret ? in.Byte() : 0, caretCol = fromCaret ? in.Byte() : 0;
  const std::string text(in.Rest());
  const std::vector<TLine> lines = Lines(text);
  TRidSearchOptions options;
  if (matchCase) options.Include(ssoMatchCase);
  if (wholeWord) options.Include(ssoWholeWord);

  CheckRegexAsGiven(lines, pattern, options);
  if (pattern.empty()) return 0;

  TRidEderSearch plain(nullptr);
  plain.SetOptions(options);
  plain.SetPattern(pattern);
  for (const TLine& l : lines)
    Check(Found(plain, l.Text) == ReferenceHits(l.Text, pattern, matchCase, wholeWord));

  std::string literal;
  const bool asRegex = AsLiteral(pattern, literal);
  // The expression's input ends at its first 0 byte, as the engine is made.
  const auto RegexHits = [&](std::string_view Line) {
    Line = Line.substr(0, Line.find('\0'));
    return atStart || atEnd ? Anchored(Line, pattern, matchCase, atStart, atEnd)
                            : ReferenceHits(Line, pattern, matchCase, false);
  };
  if (useRegex && !asRegex) return 0;
  TRidEderRegexSearch regex(nullptr);
  if (asRegex) {
    regex.SetOptions(options);
    regex.SetPattern((atStart ? "^" : "") + literal + (atEnd ? "$" : ""));
    for (const TLine& l : lines) Check(Found(regex, l.Text) == RegexHits(l.Text));
  }

  // Replace All in the control, with the program's options.
  TRidEder ed(nullptr);
  ed.GetLines()->LoadFromBytes(text);
  ed.SetModified(false);
  Check(Saved(ed) == text);
  ed.SetSearchEngine(useRegex ? static_cast<TRidEderSearchCustom*>(&regex) : &plain);
  TBufferCoord caret{1, 1};
  if (fromCaret) {
    caret.Line = 1 + caretLine % static_cast<int32_t>(lines.size());
    const std::string_view l = lines[caret.Line - 1].Text;
    size_t col = caretCol % (l.size() + 4);
    if (col < l.size() && !Starts(l)[col]) --col;  // off a trail byte
    caret.Char = static_cast<int32_t>(col) + 1;
    ed.SetCaretXY(caret);
    caret = ed.GetCaretXY();
  }
  const std::string replacement = useRegex ? PlainTemplate(given) : given;
  const std::string replaced = WithBreaks(replacement, SavedBreak(text));
  std::string want;
  int32_t wantCount = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    const std::string_view l = lines[k].Text;
    const int32_t line = static_cast<int32_t>(k) + 1;
    std::vector<THit> hits =
        useRegex ? RegexHits(l) : ReferenceHits(l, pattern, matchCase, wholeWord);
    std::erase_if(hits, [&](const THit& H) {
      if (!fromCaret) return false;
      if (backwards) return line > caret.Line || (line == caret.Line && H.Pos + H.Len > caret.Char);
      return line < caret.Line || (line == caret.Line && H.Pos < caret.Char);
    });
    size_t at = 0;
    for (const THit& h : hits) {
      want.append(l.substr(at, h.Pos - 1 - at)).append(replaced);
      at = h.Pos - 1 + h.Len;
    }
    want.append(l.substr(at)).append(lines[k].Break);
    wantCount += static_cast<int32_t>(hits.size());
  }
  TRidSearchOptions all = options + TRidSearchOptions{ssoReplace, ssoReplaceAll};
  if (backwards) all.Include(ssoBackwards);
  if (!fromCaret) all.Include(ssoEntireScope);
  const int32_t count = ed.SearchReplace(useRegex ? regex.GetPattern() : pattern, replacement, all);
  Check(count == wantCount);
  Check(Saved(ed) == want);
  Check(ed.GetModified() == (count > 0));  // each hit holds bytes that a replacement takes
  if (count == 0) return 0;
  ed.Undo();
  Check(Saved(ed) == text && !ed.GetModified() && !ed.CanUndo());
  ed.Redo();
  Check(Saved(ed) == want);
  return 0;
}
