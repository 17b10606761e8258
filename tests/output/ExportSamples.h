#pragma once
// What the exporter tests share: the Perl script the oracles read, the Perl colours they look
// for, and golden files.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "highlighters/RidHighlighterPerl.h"
#include "output/RidEderExport.h"
#include "platform/Classes.h"
#include "platform/Locale.h"
#include "platform/Types.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid::test {

// A Shift-JIS Perl script with everything an exporter must escape: characters whose trail byte
// is 5C, 7B or 7D (表 ソ 能 ボ マ) in strings and comments, { } \ < > & ", half-width katakana,
// tabs, and lead bytes without their trail before "<" and at a line end.
inline std::vector<std::string> OraclePerlLines() {
  const char* const words[] = {"表示",  "ソース", "能力", "ボタン", "マーク", "{",
                               "}",     "\\\\",   "<b>",  "&amp;",  "\\\"",   "ｱｲｳｴｵ",
                               "ﾊﾟｿｺﾝ", "\t",     "data", " ",      "x > y",  "a&b"};
  // Each takes a name and a text.
  const char* const shapes[] = {
      "my $%s = \"%s\";",
      "print $%s, \"%s\\n\";",
      "# %s: %s",
      "\tif ($%s) { print \"%s\"; }",
      "my %%%s = ( k => \"%s\", n => 42 );",
      "sub %s { return \"%s\" . $_[0]; }",
  };
  uint32_t seed = 7;
  auto pick = [&](size_t n) {
    seed = seed * 1103515245 + 12345;
    return (seed >> 16) % n;
  };
  std::vector<std::string> lines = {"#!/usr/bin/perl", "use strict;"};
  for (int i = 0; i < 42; ++i) {
    std::string text;
    for (int k = 1 + pick(4); k > 0; --k) text += words[pick(std::size(words))];
    const std::string name = "v" + std::to_string(i);
    lines.push_back(
        Utf8ToSjis(FormatStr(shapes[i % std::size(shapes)], name.c_str(), text.c_str())));
  }
  lines.push_back("my $lone = \"\x95<b>\";");
  lines.push_back("# lone lead byte at the end \x95");
  lines.push_back(Utf8ToSjis("print \"表}\\n\";\t# ソ{能}ボマ"));
  lines.push_back("");
  lines.push_back("exit 0;");
  return lines;
}

// The lines as a reader of code page 932 shows them: a lead byte without its trail is U+FFFD.
inline std::string ReadAsCp932(const std::string& Sjis) {
  std::string out;
  for (size_t i = 0; i < Sjis.size();) {
    const auto b = static_cast<uint8_t>(Sjis[i]);
    if (IsDBCSLeadByte(b) &&
        !(i + 1 < Sjis.size() && IsDBCSTrailByte(static_cast<uint8_t>(Sjis[i + 1])))) {
      out += "\xef\xbf\xbd";
      ++i;
      continue;
    }
    const size_t n = IsDBCSLeadByte(b) ? 2 : 1;
    out += SjisToUtf8(Sjis.substr(i, n));
    i += n;
  }
  return out;
}

// One line for each control byte (below the blank but tab, CR and LF, and DEL), between text
// and a double-byte character, and once after a lead byte that it leaves alone.
inline std::vector<std::string> ControlByteLines() {
  std::vector<std::string> lines;
  for (int b = 0; b < 0x80; ++b) {
    if (!IsControlByte(static_cast<uint8_t>(b)) || b == '\r' || b == '\n') continue;
    const char c = static_cast<char>(b);
    lines.push_back(std::string("x") + c + Utf8ToSjis("表") + c + "\x95" + c + "y\t<z>");
  }
  return lines;
}

// The control bytes of a document other than CR, LF and tab: none may be there.
inline std::string RawControlBytes(std::string_view Document) {
  std::string found;
  for (char c : Document)
    if (IsControlByte(static_cast<uint8_t>(c)) && c != '\r' && c != '\n') found += c;
  return found;
}

// The whole document of Lines.
inline std::string ExportLines(TRidCustomExporter& E, const std::vector<std::string>& Lines) {
  TStringList list;
  for (const std::string& l : Lines) list.Add(l);
  E.ExportAll(&list);
  return std::string(E.GetBuffer());
}

// Distinct colours for the Perl attributes the oracles look for.
inline void ColourPerl(TRidPerlRid& H) {
  H.GetCommentAttri()->SetForeground(RGB(0x00, 0x80, 0x00));
  H.GetKeyAttri()->SetForeground(RGB(0x00, 0x00, 0xC0));
  H.GetStringAttri()->SetForeground(RGB(0xC0, 0x00, 0x00));
  H.GetVariableAttri()->SetForeground(RGB(0x80, 0x00, 0x80));
  H.GetStringAttri()->SetBackground(RGB(0xFF, 0xFF, 0xC0));
}

// Compares Bytes with the golden file tests/data/output/Name byte for byte; with
// RID_UPDATE_GOLDEN set, writes the file instead (review the difference before committing).
inline void ExpectGolden(const std::string& Name, const std::string& Bytes) {
  const auto path = std::filesystem::path(RID_TEST_DATA) / "output" / Name;
  if (std::getenv("RID_UPDATE_GOLDEN")) WriteFileBytes(path, Bytes);
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  EXPECT_EQ(Printable(ReadFileBytes(path)), Printable(Bytes)) << Name;
}

}  // namespace rid::test
