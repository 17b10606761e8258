#pragma once
// Properties every highlighter keeps, whatever the language. A new language's test calls
// CheckConformance with a factory for it, RandomByteLines and ShiftJisLines (with pieces of its
// syntax) and every range it defines plus one outside them, and CheckInstalledFiles with real
// files of the language that a Debian package installs (the package goes into
// scripts/setup-deps.sh).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "highlighters/RidHighlighterHashEntries.h"
#include "platform/Locale.h"
#include "platform/Registry.h"
#include "tests/TestSupport.h"

namespace rid::test {

// Makes a fresh highlighter; shared, so that one a larger set owns can keep its set alive.
using THighlighterFactory = std::function<std::shared_ptr<TRidCustomHighlighter>()>;

struct TScannedToken {
  std::string Text;
  int32_t Pos;
  int32_t Kind;
  bool operator==(const TScannedToken&) const = default;
};

inline std::string Printable(std::string_view S) {
  std::ostringstream o;
  for (unsigned char c : S) {
    if (c >= 32 && c < 127 && c != '\\')
      o << c;
    else {
      static const char* hex = "0123456789ABCDEF";
      o << "\\x" << hex[c >> 4] << hex[c & 15];
    }
  }
  return o.str();
}

// A copy of a line in a buffer of exactly its size, so AddressSanitizer reports any read past
// its end (a std::string would offer its terminator and spare capacity).
class TExactLine {
 public:
  explicit TExactLine(std::string_view S) : FSize(S.size()), FBytes(new char[S.size()]) {
    if (FSize) std::memcpy(FBytes.get(), S.data(), FSize);
  }
  std::string_view View() const { return {FBytes.get(), FSize}; }

 private:
  size_t FSize;
  std::unique_ptr<char[]> FBytes;
};

// Walks the character starts of a Shift-JIS line forward: a lead byte with a trail byte after
// it is one character; every other byte is one of its own.
class TCharStarts {
 public:
  explicit TCharStarts(std::string_view S) : FLine(S) {}
  // True when APos (never below the position asked before) is a character start or the end.
  bool IsStart(size_t APos) {
    while (FPos < APos) {
      const auto b = static_cast<uint8_t>(FLine[FPos]);
      FPos += IsDBCSLeadByte(b) && FPos + 1 < FLine.size() &&
                      IsDBCSTrailByte(static_cast<uint8_t>(FLine[FPos + 1]))
                  ? 2
                  : 1;
    }
    return FPos == APos;
  }

 private:
  std::string_view FLine;
  size_t FPos = 0;
};

// Scans one line from ARange and checks the properties of a single line: bounded steps,
// contiguous non-empty tokens that spell the line, token edges on character starts, copies
// equal to views, attributes from the highlighter's list. *AEndRange gets the range after;
// ATokens, when given, the tokens; ADigest, when given, a hash of their edges and kinds.
// Without ASetRange the line goes on from where the line before left the highlighter, as the
// editor scans a run of lines.
inline void CheckLine(TRidCustomHighlighter& H, std::string_view Line, TRidRange ARange,
                      TRidRange* AEndRange, int32_t LineNumber, std::vector<TScannedToken>* ATokens,
                      uint64_t* ADigest = nullptr, bool ASetRange = true) {
  const TExactLine exact(Line);
  const std::string_view line = exact.View();
  TCharStarts starts(line);
  if (ASetRange) H.SetRange(ARange);
  H.SetLine(line, LineNumber);
  const size_t limit = 2 * line.size() + 4;
  size_t steps = 0;
  size_t expected = 0;
  while (!H.GetEol()) {
    const std::string_view view = H.GetTokenView();
    const int32_t pos = H.GetTokenPos();
    // Checked cheaply; the message is built only for a failure.
    const char* fault = nullptr;
    if (static_cast<size_t>(pos) != expected)
      fault = "gap or overlap";
    else if (view.empty())
      fault = "empty token";
    else if (pos + view.size() > line.size())
      fault = "token outside the line";
    else if (view.data() != line.data() + pos)
      fault = "view not inside the line";
    else if (!starts.IsStart(pos))
      fault = "token starts on a trail byte";
    else if (!starts.IsStart(pos + view.size()))
      fault = "token ends inside a character";
    else if (H.GetToken() != view)
      fault = "GetToken differs from the view";
    else if (TRidHighlighterAttributes* a = H.GetTokenAttribute()) {
      bool listed = false;
      for (int32_t i = 0; i < H.GetAttribCount() && !listed; ++i) listed = H.GetAttribute(i) == a;
      if (!listed) fault = "attribute not in the list";
    }
    if (fault) {
      ADD_FAILURE() << fault << ": line \"" << Printable(Line) << "\" from range " << ARange
                    << ", token at " << pos << " \"" << Printable(view) << "\"";
      break;
    }
    if (ATokens) ATokens->push_back({std::string(view), pos, H.GetTokenKind()});
    if (ADigest)
      *ADigest = (*ADigest * 1000003u) ^ (uint64_t(pos) << 32 | uint64_t(H.GetTokenKind()) << 8);
    expected = pos + view.size();
    H.Next();
    if (++steps > limit) {
      ADD_FAILURE() << "more than " << limit << " steps on line \"" << Printable(Line) << "\"";
      break;
    }
  }
  EXPECT_EQ(expected, line.size())
      << "tokens stop short of the end of \"" << Printable(Line) << "\"";
  if (AEndRange) *AEndRange = H.GetRange();
}

inline std::vector<TScannedToken> ScanCheckedLine(TRidCustomHighlighter& H, std::string_view Line,
                                                  TRidRange ARange, TRidRange* AEndRange,
                                                  int32_t LineNumber = 0) {
  std::vector<TScannedToken> tokens;
  CheckLine(H, Line, ARange, AEndRange, LineNumber, &tokens);
  return tokens;
}

// One line scanned from a range: the tokens it must give (text, kind) and the range after it.
struct TTokenCase {
  TRidRange Range;
  std::string Line;
  std::vector<std::pair<std::string, int32_t>> Tokens;
  TRidRange End;
};

inline std::string Describe(const std::vector<std::pair<std::string, int32_t>>& ATokens) {
  std::ostringstream o;
  for (const auto& [text, kind] : ATokens) o << "{\"" << Printable(text) << "\", " << kind << "} ";
  return o.str();
}

// Each case scanned by a fresh instance: its tokens and end range.
inline void CheckTokenCases(const THighlighterFactory& Make, std::span<const TTokenCase> ACases) {
  for (const TTokenCase& c : ACases) {
    const auto h = Make();
    TRidRange end = 0;
    std::vector<std::pair<std::string, int32_t>> got;
    for (const TScannedToken& t : ScanCheckedLine(*h, c.Line, c.Range, &end))
      got.emplace_back(t.Text, t.Kind);
    EXPECT_EQ(Describe(got), Describe(c.Tokens))
        << "line \"" << Printable(c.Line) << "\" from range " << c.Range;
    EXPECT_EQ(end, c.End) << "line \"" << Printable(c.Line) << "\" from range " << c.Range;
  }
}

// Every word of AWords, after APrefix and scanned from ARange, is one token of its kind.
inline void CheckKeywordsScan(const THighlighterFactory& Make, std::span<const TRidKeyword> AWords,
                              TRidRange ARange = 0, std::string_view APrefix = {}) {
  const auto h = Make();
  for (const TRidKeyword& k : AWords) {
    const std::string line = std::string(APrefix) + std::string(k.Word);
    bool found = false;
    for (const TScannedToken& t : ScanCheckedLine(*h, line, ARange, nullptr))
      found |= t.Pos == int32_t(APrefix.size()) && t.Text == k.Word && t.Kind == k.Kind;
    EXPECT_TRUE(found) << "\"" << k.Word << "\" is no token of kind " << int(k.Kind);
  }
}

// The same for a language whose keywords match in any case: each word as listed, in lower case
// and in upper case.
inline void CheckKeywordsScanInAnyCase(const THighlighterFactory& Make,
                                       std::span<const TRidKeyword> AWords, TRidRange ARange = 0,
                                       std::string_view APrefix = {}) {
  std::vector<std::string> texts;
  for (const TRidKeyword& k : AWords) {
    texts.push_back(AnsiLowerCase(k.Word));
    texts.push_back(AnsiUpperCase(k.Word));
  }
  std::vector<TRidKeyword> cased(AWords.begin(), AWords.end());
  for (size_t i = 0; i < texts.size(); ++i) cased.push_back({texts[i], AWords[i / 2].Kind});
  CheckKeywordsScan(Make, cased, ARange, APrefix);
}

// Random bytes, with more of the bytes that matter to scanners than chance would give.
inline std::vector<std::string> RandomByteLines(uint32_t Seed, int Count, int MaxLength) {
  std::mt19937 rng(Seed);
  const std::string_view favoured = "\"'\\#$%@x.-e0123456789 \t\r\n/*<>&=!{}[]()`;:?|^~_";
  std::vector<std::string> lines;
  for (int n = 0; n < Count; ++n) {
    std::string s(rng() % (MaxLength + 1), '\0');
    for (char& c : s) {
      const uint32_t r = rng() % 4;
      c = r == 0 ? favoured[rng() % favoured.size()] : static_cast<char>(rng() & 0xFF);
    }
    lines.push_back(std::move(s));
  }
  return lines;
}

// Shift-JIS characters whose trail bytes look like \ [ ] { } @ | ~ X (made with iconv).
inline std::vector<std::string> TrickyShiftJisChars() {
  const std::string utf8 = "ソ表十能予噂申構ーゼゾボ＋マ　ァ機ポミ々";
  NeedTool("iconv", "libc-bin");
  const std::string sjis = RunTool("iconv -f UTF-8 -t CP932", utf8);
  std::vector<std::string> chars;
  for (size_t i = 0; i + 1 < sjis.size(); i += 2) chars.push_back(sjis.substr(i, 2));
  return chars;
}

// Lines mixing those characters with ASCII pieces that open and close constructs.
inline std::vector<std::string> ShiftJisLines(uint32_t Seed, int Count, int MaxPieces,
                                              const std::vector<std::string>& AsciiPieces) {
  const std::vector<std::string> chars = TrickyShiftJisChars();
  std::mt19937 rng(Seed);
  std::vector<std::string> lines;
  for (int n = 0; n < Count; ++n) {
    std::string s;
    const int pieces = static_cast<int>(rng() % (MaxPieces + 1));
    for (int p = 0; p < pieces; ++p) {
      switch (rng() % 5) {
        case 0:
        case 1:
          s += chars[rng() % chars.size()];
          break;
        case 2:
          s += AsciiPieces[rng() % AsciiPieces.size()];
          break;
        case 3:
          s += static_cast<char>(0xA1 + rng() % 63);
          break;  // half-width katakana
        default:
          s += " ";
          break;
      }
    }
    if (rng() % 8 == 0) s += chars[rng() % chars.size()][0];  // a lone lead byte at the end
    lines.push_back(std::move(s));
  }
  return lines;
}

// Every property on every line from every start range, and the range round trip: a fresh
// instance started from the range stored after line k-1 gives line k's tokens and end range as
// the scan that goes on from line to line does.
inline void CheckConformance(const THighlighterFactory& Make, const std::vector<std::string>& Lines,
                             const std::vector<TRidRange>& StartRanges) {
  const auto h = Make();
  for (TRidRange r : StartRanges) {
    TRidRange end = 0;
    const auto none = ScanCheckedLine(*h, "", r, &end);
    EXPECT_TRUE(none.empty()) << "an empty line gave tokens from range " << r;
    EXPECT_EQ(end, r) << "an empty line changed range " << r;
    for (const std::string& line : Lines) ScanCheckedLine(*h, line, r, nullptr);
    if (::testing::Test::HasFailure()) return;
  }

  const auto continuous = Make();
  continuous->ResetRange();
  TRidRange stored = continuous->GetRange();
  for (size_t k = 0; k < Lines.size(); ++k) {
    const TRidRange before = stored;
    std::vector<TScannedToken> expected;
    CheckLine(*continuous, Lines[k], stored, &stored, int32_t(k), &expected, nullptr, false);
    const auto fresh = Make();
    TRidRange freshEnd = 0;
    const auto got = ScanCheckedLine(*fresh, Lines[k], before, &freshEnd, int32_t(k));
    EXPECT_EQ(got, expected) << "line " << k << " \"" << Printable(Lines[k])
                             << "\" scans differently from its stored range";
    EXPECT_EQ(freshEnd, stored) << "line " << k;
    if (::testing::Test::HasFailure()) return;
  }
}

// The regular files under Roots whose extension is one of Extensions, sorted. None found is a
// failure naming APackage, the Debian package that installs them.
inline std::vector<std::filesystem::path> InstalledFiles(
    std::initializer_list<const char*> Roots, std::initializer_list<std::string_view> Extensions,
    const char* APackage) {
  std::vector<std::filesystem::path> files;
  for (const char* root : Roots) {
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      const std::string ext = it->path().extension().string();
      if (it->is_regular_file(ec) &&
          std::find(Extensions.begin(), Extensions.end(), ext) != Extensions.end())
        files.push_back(it->path());
    }
  }
  std::sort(files.begin(), files.end());
  if (files.empty()) ADD_FAILURE() << "no files found: install " << APackage;
  return files;
}

// Every AStep-th of AFiles, from the first: a spread of a large set of files.
inline std::vector<std::filesystem::path> EveryNth(const std::vector<std::filesystem::path>& AFiles,
                                                   size_t AStep) {
  std::vector<std::filesystem::path> some;
  for (size_t i = 0; i < AFiles.size(); i += AStep) some.push_back(AFiles[i]);
  return some;
}

// Every AStep-th of AFiles, or all of them when RID_FULL_HL_SCAN is set in the environment: a
// spread of a large set that keeps the default suite quick.
inline std::vector<std::filesystem::path> SampledFiles(
    const std::vector<std::filesystem::path>& AFiles, size_t AStep) {
  const char* full = std::getenv("RID_FULL_HL_SCAN");
  return EveryNth(AFiles, full && *full ? 1 : AStep);
}

// The lines of a file as the editor holds them: split at LF, CR LF or CR, without the breaks.
inline std::vector<std::string_view> SplitLines(std::string_view AText) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < AText.size()) {
    const size_t end = AText.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.push_back(AText.substr(start));
      break;
    }
    lines.push_back(AText.substr(start, end - start));
    start = end + (AText.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
  return lines;
}

// Scans AText line by line, each line from the range the line before left (the first from
// ResetRange): every token has the attribute AByKind gives its kind, and every kind of AByKind
// turns up.
inline void CheckAttributesByKind(TRidCustomHighlighter& H, std::string_view AText,
                                  const std::map<int32_t, TRidHighlighterAttributes*>& AByKind) {
  std::set<int32_t> seen;
  H.ResetRange();
  TRidRange range = H.GetRange();
  for (std::string_view line : SplitLines(AText)) {
    H.SetRange(range);
    H.SetLine(line, 0);
    for (; !H.GetEol(); H.Next()) {
      const auto it = AByKind.find(H.GetTokenKind());
      ASSERT_NE(it, AByKind.end()) << "kind " << H.GetTokenKind() << " of " << H.GetToken();
      EXPECT_EQ(H.GetTokenAttribute(), it->second)
          << "kind " << it->first << " of \"" << Printable(H.GetToken()) << "\"";
      seen.insert(it->first);
    }
    range = H.GetRange();
  }
  for (const auto& [kind, attri] : AByKind)
    EXPECT_TRUE(seen.count(kind)) << "no token of kind " << kind << " in the text";
}

// Every line of AText keeps the properties of CheckLine, scanned by AForward on from line to
// line after ResetRange; then ABackward scans the lines in reverse order, each from the range
// stored after the line before it, and must give the same tokens and ranges. (A highlighter that
// keeps state outside its range colours differently when the editor repaints a line out of
// order.) False after a failure, which names AName and the line; ALineCount grows by the lines.
inline bool CheckInAndOutOfOrder(TRidCustomHighlighter& AForward, TRidCustomHighlighter& ABackward,
                                 const std::string& AName, std::string_view AText,
                                 size_t& ALineCount) {
  AForward.ResetRange();
  const TRidRange initial = AForward.GetRange();
  const std::vector<std::string_view> lines = SplitLines(AText);
  std::vector<TRidRange> after(lines.size());
  std::vector<uint64_t> digests(lines.size());
  TRidRange range = initial;
  AForward.SetRange(initial);
  for (size_t k = 0; k < lines.size(); ++k) {
    CheckLine(AForward, lines[k], range, &after[k], int32_t(k), nullptr, &digests[k], false);
    range = after[k];
    if (::testing::Test::HasFailure()) {
      ADD_FAILURE() << "in " << AName << " line " << k + 1;
      return false;
    }
  }
  for (size_t k = lines.size(); k-- > 0;) {
    uint64_t digest = 0;
    TRidRange end = 0;
    CheckLine(ABackward, lines[k], k ? after[k - 1] : initial, &end, int32_t(k), nullptr, &digest);
    if (digest != digests[k] || end != after[k]) {
      ADD_FAILURE() << AName << " line " << k + 1 << " \"" << Printable(lines[k])
                    << "\" scans differently out of order (end range " << end << ", in order "
                    << after[k] << ")";
      return false;
    }
  }
  ALineCount += lines.size();
  return true;
}

// CheckInAndOutOfOrder over every file.
inline void CheckInstalledFiles(const THighlighterFactory& Make,
                                const std::vector<std::filesystem::path>& Files) {
  const auto forward = Make();
  const auto backward = Make();
  size_t lineCount = 0;
  for (const std::filesystem::path& file : Files)
    if (!CheckInAndOutOfOrder(*forward, *backward, file.string(), ReadFileBytes(file), lineCount))
      return;
  EXPECT_GT(lineCount, 0u);
}

// CheckInAndOutOfOrder over texts that are no files (made, converted or a tool's output), each
// named by the first of its pair.
inline void CheckTexts(const THighlighterFactory& Make,
                       const std::vector<std::pair<std::string, std::string>>& ATexts) {
  const auto forward = Make();
  const auto backward = Make();
  size_t lineCount = 0;
  for (const auto& [name, text] : ATexts)
    if (!CheckInAndOutOfOrder(*forward, *backward, name, text, lineCount)) return;
  EXPECT_GT(lineCount, 0u);
}

// ---------------------------------------------------------------------------------------------
// Colour schemes of an installed IDE, in a registry file of the test's own.

// The registry is a file in a temporary folder while the object lives.
class TTestRegistry {
 public:
  TTestRegistry() { ::setenv("RIDEDER_REGISTRY", (FDir / "registry.ini").c_str(), 1); }
  ~TTestRegistry() { ::unsetenv("RIDEDER_REGISTRY"); }
  // String values, and integers for names that start with '#'.
  void Seed(HKEY ARoot, const std::string& AKey,
            const std::vector<std::pair<std::string, std::string>>& AValues) {
    TRegistry reg;
    reg.SetRootKey(ARoot);
    ASSERT_TRUE(reg.OpenKey(AKey, true));
    for (const auto& [name, value] : AValues) {
      if (name[0] == '#')
        reg.WriteInteger(name.substr(1), std::stoi(value));
      else
        reg.WriteString(name, value);
    }
    reg.CloseKey();
  }
  // Version AVersion of a Borland IDE, installed with a scheme whose entries take palette
  // colours AForeground on ABackground, bold: in the old layout under "Highlight" (entry names
  // with "_" for blanks) or the new one under "Editor\Highlight".
  void SeedIdeScheme(const std::string& AProduct, const std::string& AVersion, bool AOldLayout,
                     const std::vector<std::string>& AEntries, int AForeground, int ABackground) {
    Seed(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Borland\\" + AProduct + "\\" + AVersion, {});
    const std::string key = "\\Software\\Borland\\" + AProduct + "\\" + AVersion;
    for (std::string entry : AEntries) {
      if (AOldLayout) {
        std::replace(entry.begin(), entry.end(), ' ', '_');
        Seed(HKEY_CURRENT_USER, key + "\\Highlight",
             {{entry,
               "0,0,B,0,0," + std::to_string(AForeground) + "," + std::to_string(ABackground)}});
      } else {
        Seed(HKEY_CURRENT_USER, key + "\\Editor\\Highlight\\" + entry,
             {{"#Foreground Color", std::to_string(AForeground)},
              {"#Background Color", std::to_string(ABackground)},
              {"Bold", "True"},
              {"Italic", "False"},
              {"Underline", "False"},
              {"Default Foreground", "False"},
              {"Default Background", "False"}});
      }
    }
  }

 private:
  TempDir FDir;
};

}  // namespace rid::test
