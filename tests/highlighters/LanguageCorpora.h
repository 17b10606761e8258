#pragma once
// Source text of languages whose real files are few on a Debian system: the module text of
// LibreOffice's Basic libraries, and fixed-format COBOL and fixed-form Fortran programs made from
// a seed, which cobc and gfortran accept. The tests and the highlighter benchmark share them.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Locale.h"

namespace rid::test {

// The Basic source of a LibreOffice module file (.xba): the script element's text with its
// character references decoded (UTF-8, as the file is).
inline std::string BasicModuleText(std::string_view AXml) {
  const size_t element = AXml.find("<script:module");
  const size_t start = element == std::string_view::npos ? element : AXml.find('>', element);
  const size_t end = AXml.rfind("</script:module>");
  if (start == std::string_view::npos || end == std::string_view::npos || end < start) return {};
  const std::string_view text = AXml.substr(start + 1, end - start - 1);
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&quot;", '"'}, {"&apos;", '\''}, {"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool decoded = false;
    for (const auto& [entity, c] : kEntities) {
      if (text.compare(i, entity.size(), entity) == 0) {
        out += c;
        i += entity.size();
        decoded = true;
        break;
      }
    }
    if (!decoded) out += text[i++];
  }
  return out;
}

// The modules of LibreOffice's Basic libraries (libreoffice-common): each file's name with its
// Basic text in code page 932, sorted by name; none when the libraries are not installed.
inline std::vector<std::pair<std::string, std::string>> BasicModules() {
  std::vector<std::pair<std::string, std::string>> modules;
  std::error_code ec;
  for (auto it =
           std::filesystem::recursive_directory_iterator("/usr/lib/libreoffice/share/basic", ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->path().extension() != ".xba") continue;
    std::ifstream in(it->path(), std::ios::binary);
    std::ostringstream xml;
    xml << in.rdbuf();
    modules.emplace_back(it->path().string(), Utf8ToSjis(BasicModuleText(xml.str())));
  }
  std::sort(modules.begin(), modules.end());
  return modules;
}

// Random choices from a seed, the same on every machine (no standard distributions).
class TSourceDice {
 public:
  explicit TSourceDice(uint32_t ASeed) : FRng(ASeed) {}
  uint32_t Below(uint32_t N) { return FRng() % N; }
  bool OneIn(uint32_t N) { return Below(N) == 0; }
  template <class T>
  const T& Pick(const std::vector<T>& AItems) {
    return AItems[Below(static_cast<uint32_t>(AItems.size()))];
  }
  // A few words of plain text.
  std::string Words(int AMax) {
    static const std::vector<std::string> words = {"ALPHA", "beta", "GAMMA", "delta", "TOTAL",
                                                   "Count", "NAME", "value", "LINE",  "page",
                                                   "A",     "B-2",  "X",     "42",    "3.5"};
    std::string s;
    for (int n = 1 + static_cast<int>(Below(AMax)); n > 0; --n)
      s += (s.empty() ? "" : " ") + Pick(words);
    return s;
  }

 private:
  std::mt19937 FRng;
};

// A fixed-format COBOL program: six-digit sequence numbers, comment ("*", "/") and debugging
// ("D") lines, tag areas, literals in quotes and apostrophes with doubled quotes, X literals,
// literals continued over lines, figurative constants, level-88 conditions set TRUE,
// pseudo-text, numbers with points and signs, words in either case.
inline std::string FixedFormCobol(uint32_t ASeed, int AParagraphs) {
  TSourceDice dice(ASeed);
  std::string out;
  int sequence = 0;
  auto line = [&](char AIndicator, const std::string& ACode, const std::string& ATag = {}) {
    char number[12];
    std::snprintf(number, sizeof number, "%06d", sequence += 10);
    std::string l = std::string(number) + AIndicator + ACode;
    if (!ATag.empty()) l += std::string(l.size() < 72 ? 72 - l.size() : 0, ' ') + ATag;
    out += l + "\n";
  };
  auto comment = [&] { line(dice.OneIn(4) ? '/' : '*', " " + dice.Words(8)); };
  line(' ', "IDENTIFICATION DIVISION.");
  line(' ', "PROGRAM-ID. GEN" + std::to_string(ASeed % 1000) + ".");
  line(' ', "DATA DIVISION.");
  line(' ', "WORKING-STORAGE SECTION.");
  std::vector<std::string> alphas, numbers, conditions;
  for (int i = 0; i < 6 + AParagraphs; ++i) {
    const std::string n = std::to_string(i);
    switch (dice.Below(6)) {
      case 0: {  // a literal with a doubled quote in it
        const std::string text = dice.Words(3) + (dice.OneIn(2) ? " \"\"Q\"\"" : "");
        int length = 0;
        for (size_t k = 0; k < text.size(); ++k) length += !(text[k] == '"' && text[k + 1] == '"');
        line(' ',
             "01  W-A" + n + "   PIC X(" + std::to_string(length) + ") VALUE \"" + text + "\".");
        alphas.push_back("W-A" + n);
        break;
      }
      case 1:
        line(' ',
             "01  W-N" + n + "   PIC S9(5)V99 VALUE " + (dice.OneIn(3) ? "-" : "") +
                 std::to_string(dice.Below(9999)) + "." + std::to_string(dice.Below(99)) + ".",
             dice.OneIn(3) ? "TAG" + n : "");
        numbers.push_back("W-N" + n);
        break;
      case 2: {
        static const std::vector<std::string> figurative = {
            "SPACES", "SPACE", "HIGH-VALUES", "LOW-VALUE", "QUOTES", "ZEROS", "ZEROES"};
        line(' ', "01  W-F" + n + "   PIC X(8) VALUE " + dice.Pick(figurative) + ".");
        alphas.push_back("W-F" + n);
        break;
      }
      case 3:  // a literal that goes on over the next line
      {
        const std::string head = "01  W-L" + n + "   PIC X(120) VALUE \"";
        std::string code = head;
        while (code.size() < 65) code += static_cast<char>('A' + dice.Below(26));
        line(' ', code);
        line('-', "    \"" + dice.Words(4) + "\".");
        alphas.push_back("W-L" + n);
        break;
      }
      case 4:
        line(' ', "01  W-C" + n + "   PIC X VALUE 'N'.");
        line(' ', "    88  W-C" + n + "-ON VALUE 'Y'.");
        conditions.push_back("W-C" + n + "-ON");
        break;
      default:
        line(' ', "01  W-X" + n + "   PIC X(2) VALUE X\"0D0A\".");
        alphas.push_back("W-X" + n);
    }
    if (dice.OneIn(4)) comment();
  }
  if (numbers.empty()) {
    line(' ', "01  W-N   PIC S9(5)V99 VALUE 0.");
    numbers.push_back("W-N");
  }
  if (alphas.empty()) {
    line(' ', "01  W-A   PIC X(4) VALUE SPACES.");
    alphas.push_back("W-A");
  }
  line(' ', "PROCEDURE DIVISION.");
  line(' ', "    REPLACE ==W-UNUSED== BY ==W-OTHER==.");
  for (int p = 0; p < AParagraphs; ++p) {
    line(' ', "P-" + std::to_string(p) + ".");
    for (int s = 2 + static_cast<int>(dice.Below(6)); s > 0; --s) {
      const std::string& num = dice.Pick(numbers);
      const std::string& alpha = dice.Pick(alphas);
      switch (dice.Below(9)) {
        case 0:
          line(' ', "    MOVE \"" + dice.Words(2) + "\" TO " + alpha);
          break;
        case 1:
          line(' ', "    ADD " + std::to_string(dice.Below(100)) + " TO " + num);
          break;
        case 2:
          line(' ', "    COMPUTE " + num + " = " + num + " * 2.5 + 1", dice.OneIn(2) ? "TAGC" : "");
          break;
        case 3:
          line(' ', "    IF " + num + " > 10 THEN DISPLAY " + alpha + " END-IF");
          break;
        case 4:
          line('D', "    DISPLAY \"DEBUG " + dice.Words(2) + "\"");
          break;
        case 5:
          comment();
          break;
        case 6:
          if (!conditions.empty()) line(' ', "    SET " + dice.Pick(conditions) + " TO TRUE");
          break;
        case 7:
          line(' ', "    display '" + dice.Words(3) + "' upon console");
          break;
        default:
          line(' ', "    SUBTRACT 1.5 FROM " + num);
      }
    }
    line(' ',
         p + 1 < AParagraphs ? "    PERFORM P-" + std::to_string(p + 1) + "." : "    STOP RUN.");
  }
  return out;
}

// A fixed-form Fortran program: "C", "c" and "*" comment lines, "!" comments, labels,
// continuation lines, strings in either quote with doubled quotes, dotted operators, numbers
// with points and exponents, subroutines and functions, words in either case.
inline std::string FixedFormFortran(uint32_t ASeed, int AUnits) {
  TSourceDice dice(ASeed);
  std::string out;
  auto line = [&](const std::string& AText) { out += AText + "\n"; };
  auto comment = [&] {
    static const std::vector<std::string> starts = {"C", "c", "*"};
    line(dice.Pick(starts) + "     " + dice.Words(6));
  };
  static const std::vector<std::string> relations = {".EQ.", ".NE.", ".LT.",
                                                     ".le.", ".GT.", ".GE."};
  static const std::vector<std::string> logicals = {".AND.", ".OR.", ".and.", ".or."};
  line("      PROGRAM GEN" + std::to_string(ASeed % 1000));
  line("      INTEGER I, J, K");
  line("      REAL X, Y");
  line("      LOGICAL L");
  line("      CHARACTER*40 S");
  line("      PARAMETER (K = " + std::to_string(2 + dice.Below(20)) + ")");
  line("      DATA X /" + std::to_string(dice.Below(100)) + ".5/");
  for (int u = 0; u < AUnits; ++u) {
    const std::string label = std::to_string(10 * (u + 1));
    if (dice.OneIn(2)) comment();
    line("      Y = " + std::to_string(dice.Below(1000)) + ".0E" + std::to_string(dice.Below(5)) +
         " + X * 3.25");
    line("      L = " + std::string(dice.OneIn(2) ? ".TRUE." : ".false."));
    line("      S = 'it''s " + dice.Words(2) + "'");
    line("      S = \"" + dice.Words(3) + "\"   ! " + dice.Words(3));
    line("      DO " + label + " I = 1, K");
    line("         IF (I " + dice.Pick(relations) + " 3 " + dice.Pick(logicals) + " .NOT. L) THEN");
    line("            J = I + 1");
    line("         ELSE");
    line("            J = 0");
    line("         END IF");
    line(std::string(5 - label.size(), ' ') + label + " CONTINUE");
    line("      do i = 1, 3");
    line("        call sub1(i, x)");
    line("      enddo");
    line("      PRINT *, 'A LONG LITERAL ',");
    line("     &         '" + dice.Words(3) + "'");
  }
  line("      STOP");
  line("      END");
  line("      SUBROUTINE SUB1(N, V)");
  line("      INTEGER N");
  line("      REAL V");
  line("      V = V + N");
  line("      RETURN");
  line("      END");
  line("      FUNCTION F1(A)");
  line("      REAL A, F1");
  line("      F1 = A * 2.0E-1");
  line("      RETURN");
  line("      END");
  return out;
}

}  // namespace rid::test
