#include "foundation/MemIni.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <memory>
#include <random>

#include "tests/TestSupport.h"

namespace rid {
namespace {

namespace fs = std::filesystem;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

// Shift-JIS words whose trail bytes look like ASCII: 設定, 表示 (5C), ソース (5C), 履歴.
#define SETTEI "\x90\xdd\x92\xe8"
#define HYOUJI "\x95\x5c\x8e\xa6"
#define SOOSU "\x83\x5c\x81\x5b\x83\x58"
#define RIREKI "\x97\x9a\x97\xf0"

std::vector<std::string> Items(TStrings& List) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < List.Count(); ++i) out.push_back(List[i]);
  return out;
}

TEST(MemIni, ReadsByTheWindowsRules) {
  TempDir dir;
  WriteFileBytes(dir / "a.ini",
                 "; header comment\r\n"
                 "stray=before any section\r\n"
                 "\r\n"
                 "  [ Main ]  trailing\n"
                 "; Key=commented\r\n"
                 "  Key  =  some value  \r"
                 "no equals sign here\n"
                 "\t\n"
                 "key=second, never read\r\n"
                 "Empty=\r\n"
                 "Quoted=\"q\"\r\n"
                 "[main]\r\n"
                 "Other=in a duplicate section\r\n");
  TMemIni ini((dir / "a.ini").string());
  EXPECT_EQ(ini.ReadString("Main", "Key", "-"), "some value");
  EXPECT_EQ(ini.ReadString("MAIN", "KEY", "-"), "some value");  // first of duplicates
  EXPECT_EQ(ini.ReadString("Main", "Empty", "-"), "");
  EXPECT_EQ(ini.ReadString("Main", "Quoted", "-"), "\"q\"");
  EXPECT_EQ(ini.ReadString("Main", "; Key", "-"), "-");
  EXPECT_EQ(ini.ReadString("Main", "no equals sign here", "-"), "-");
  EXPECT_EQ(ini.ReadString("Main", "Other", "-"), "-");  // the first section named Main wins
  EXPECT_EQ(ini.ReadString("", "stray", "-"), "-");
  EXPECT_TRUE(ini.ValueExists("main", "empty"));
  EXPECT_FALSE(ini.ValueExists("Main", "Missing"));

  TStringList list;
  ini.ReadStrings("Main", &list);
  EXPECT_EQ(Items(list),
            (std::vector<std::string>{"some value", "second, never read", "", "\"q\""}));

  // Kept lines go back where they stood; entries are written trimmed.
  EXPECT_EQ(ini.GetText(),
            "; header comment\r\n"
            "stray=before any section\r\n"
            "[Main]\r\n"
            "; Key=commented\r\n"
            "Key=some value\r\n"
            "no equals sign here\r\n"
            "key=second, never read\r\n"
            "Empty=\r\n"
            "Quoted=\"q\"\r\n"
            "\r\n"
            "[main]\r\n"
            "Other=in a duplicate section\r\n"
            "\r\n");
}

TEST(MemIni, ChangesJapaneseSettingsByteForByte) {
  TempDir dir;
  std::string path = (dir / "s.ini").string();
  WriteFileBytes(path, "[" SETTEI "]\r\n" HYOUJI "=1\r\n" SOOSU "=C:\\" SOOSU "\r\n");
  {
    TMemIni ini(path);
    EXPECT_EQ(ini.ReadInteger(SETTEI, HYOUJI, 0), 1);
    EXPECT_EQ(ini.ReadString(SETTEI, SOOSU, ""), "C:\\" SOOSU);
    ini.WriteInteger(SETTEI, HYOUJI, 0);
    ini.WriteString(RIREKI, "Last", HYOUJI);
    EXPECT_EQ(ReadFileBytes(path),
              "[" SETTEI "]\r\n" HYOUJI "=1\r\n" SOOSU "=C:\\" SOOSU "\r\n");  // not yet
  }
  EXPECT_EQ(ReadFileBytes(path), "[" SETTEI "]\r\n" HYOUJI "=0\r\n" SOOSU "=C:\\" SOOSU
                                 "\r\n\r\n[" RIREKI "]\r\nLast=" HYOUJI "\r\n\r\n");
}

TEST(MemIni, FoldsAsciiLettersButNeverTrailBytes) {
  TMemIni ini("");
  ini.WriteString("Sec", "aB", "ascii");
  EXPECT_EQ(ini.ReadString("sEC", "Ab", "-"), "ascii");
  // 0x83 0x41 and 0x83 0x61 are two different characters.
  ini.WriteString("\x83\x41", "\x83\x41", "A");
  ini.WriteString("\x83\x61", "\x83\x61", "a");
  EXPECT_EQ(ini.ReadString("\x83\x41", "\x83\x41", "-"), "A");
  EXPECT_EQ(ini.ReadString("\x83\x61", "\x83\x61", "-"), "a");
  EXPECT_EQ(ini.ReadString("\x83\x41", "\x83\x61", "-"), "-");
}

TEST(MemIni, ReadsNumbersAndFlags) {
  TMemIni ini("");
  ini.SetText(
      "[N]\r\nabc=abc\r\nneg=-12\r\nplus=+7\r\nbig=99999999999\r\nsp=1 2\r\nhex=$1F\r\n"
      "zero=0\r\nempty=\r\nno=no\r\n");
  EXPECT_EQ(ini.ReadInteger("N", "missing", 5), 5);
  EXPECT_EQ(ini.ReadInteger("N", "abc", 5), 0);
  EXPECT_EQ(ini.ReadInteger("N", "neg", 5), -12);
  EXPECT_EQ(ini.ReadInteger("N", "plus", 5), 7);
  EXPECT_EQ(ini.ReadInteger("N", "big", 5), 0);
  EXPECT_EQ(ini.ReadInteger("N", "sp", 5), 0);
  EXPECT_EQ(ini.ReadInteger("N", "hex", 5), 0);
  EXPECT_EQ(ini.ReadInteger("N", "empty", 5), 0);
  EXPECT_TRUE(ini.ReadBool("N", "missing", true));
  EXPECT_FALSE(ini.ReadBool("N", "missing", false));
  EXPECT_FALSE(ini.ReadBool("N", "zero", true));
  EXPECT_TRUE(ini.ReadBool("N", "empty", false));
  EXPECT_TRUE(ini.ReadBool("N", "no", false));
  ini.WriteBool("N", "b", false);
  ini.WriteInteger("N", "i", -2147483647 - 1);
  EXPECT_EQ(ini.ReadString("N", "b", ""), "0");
  EXPECT_EQ(ini.ReadInteger("N", "i", 0), -2147483647 - 1);
}

TEST(MemIni, KeepsHistoryListsUnderNumberedKeys) {
  TMemIni ini("");
  ini.SetText("[History]\r\nold=x\r\n9=y\r\n[Other]\r\na=1\r\n[history]\r\n1=dup\r\n");
  TStringList list;
  for (int i = 0; i < 10; ++i) list.Add("item" + std::to_string(i));
  ini.WriteStrings("History", &list, 3);
  EXPECT_EQ(ini.GetText(),
            "[Other]\r\na=1\r\n\r\n[History]\r\n1=item0\r\n2=item1\r\n3=item2\r\n\r\n");
  TStringList back;
  back.Add("stale");
  ini.ReadStrings("HISTORY", &back);
  EXPECT_EQ(Items(back), (std::vector<std::string>{"item0", "item1", "item2"}));

  ini.WriteStrings("All", &list, 0);
  ini.ReadStrings("All", &back);
  EXPECT_EQ(back.Count(), 10);
  EXPECT_EQ(ini.ReadString("All", "10", ""), "item9");

  // Values in file order, whatever the keys.
  ini.SetText("[R]\r\n3=c\r\n1=a\r\n");
  ini.ReadStrings("R", &back);
  EXPECT_EQ(Items(back), (std::vector<std::string>{"c", "a"}));
  ini.ReadStrings("Missing", &back);
  EXPECT_EQ(back.Count(), 0);
  ini.EraseSection("r");
  EXPECT_FALSE(ini.SectionExists("R"));
}

TEST(MemIni, ValuesCannotInjectLines) {
  TMemIni ini("");
  ini.WriteString("S", "K", "x\r\n[Evil]\r\nk=v\n");
  ini.WriteString("S", " K2 ", " padded ");
  std::string text = ini.GetText();
  EXPECT_EQ(text, "[S]\r\nK=x[Evil]k=v\r\nK2=padded\r\n\r\n");
  TMemIni again("");
  again.SetText(text);
  EXPECT_FALSE(again.SectionExists("Evil"));
  EXPECT_EQ(again.ReadString("S", "K", ""), "x[Evil]k=v");
  EXPECT_EQ(again.ReadString("S", "K2", ""), "padded");
}

// A name that would read back as something else (a section, a comment, another name) is refused
// and nothing is written; the keys after it stay where they were written.
TEST(MemIni, RefusesNamesThatWouldNotReadBack) {
  struct Case {
    const char* Section;
    const char* Key;
    const char* Says;
  };
  const Case refused[] = {
      {"S", "[evil]", "key name \"[evil]\""},
      {"S", " [x", "starts with '['"},
      {"S", "a=b", "holds '='"},
      {"S", "k\r", "line break"},
      {"S", "k\nj", "line break"},
      {"S", "; note", "starts with ';'"},
      {"[T]", "k", "section name \"[T]\""},
      {"a]b", "k", "holds ']'"},
      {"S\r\n[T]", "k", "line break"},
      {"x=y", "k", "holds '='"},
      {"\t[T", "k", "starts with '['"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(std::string(c.Section) + " / " + c.Key);
    TMemIni ini("");
    ini.WriteString("S", "a", "1");
    try {
      ini.WriteString(c.Section, c.Key, "2");
      ADD_FAILURE() << "accepted";
    } catch (const EIniNameError& e) {
      EXPECT_NE(std::string(e.what()).find(c.Says), std::string::npos) << e.what();
    }
    TStringList list;
    list.Add("x");
    if (std::string_view(c.Key) == "k") {
      EXPECT_THROW(ini.WriteStrings(c.Section, &list, 0), EIniNameError);
    }
    ini.WriteString("S", "b", "3");
    EXPECT_EQ(ini.GetText(), "[S]\r\na=1\r\nb=3\r\n\r\n");
  }
  // Brackets, semicolons and a trail byte 0x5D inside a name read back as they were.
  TMemIni ini("");
  const std::pair<const char*, const char*> accepted[] = {
      {"S[", "k]"}, {"\x81]x", "a;b"}, {";S", "]"}, {" S ", " k "}, {"", ""}};
  for (const auto& [section, key] : accepted)
    ini.WriteString(section, key, std::string("<") + key + ">");
  TMemIni again("");
  again.SetText(ini.GetText());
  for (const auto& [section, key] : accepted)
    EXPECT_EQ(again.ReadString(section, key, "-"), std::string("<") + key + ">") << section;
}

// Random names and values, written, saved and loaded again, read as they did before the save;
// each write that was taken reads back at once as the value written (CR and LF removed and the
// blanks around trimmed).
TEST(MemIni, WhatIsWrittenReadsBackFromTheFile) {
  TempDir dir;
  const std::string path = (dir / "p.ini").string();
  const char alphabet[] = {'a', 'A',  'b',  ' ',    '\t',   '[',    ']',    '=',
                           ';', '\r', '\n', '\x81', '\x5D', '\x83', '\x41', '\x40'};
  std::mt19937 rng(105);
  auto randomText = [&](size_t MaxLength) {
    std::string s(rng() % (MaxLength + 1), ' ');
    for (char& c : s) c = alphabet[rng() % sizeof alphabet];
    return s;
  };
  auto cleaned = [](std::string s) {
    std::erase_if(s, [](char c) { return c == '\r' || c == '\n'; });
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.erase(0, 1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
  };
  int refusedCount = 0;
  for (int round = 0; round < 50; ++round) {
    std::vector<std::pair<std::string, std::string>> names;
    {
      TMemIni ini(path);
      ini.SetText("");
      for (int i = 0; i < 40; ++i) {
        names.emplace_back(randomText(3), randomText(3));
        const auto& [section, key] = names.back();
        const std::string value = randomText(6);
        try {
          ini.WriteString(section, key, value);
        } catch (const EIniNameError&) {
          ++refusedCount;
          continue;
        }
        ASSERT_EQ(ini.ReadString(section, key, "-"), cleaned(value));
      }
      std::string error;
      ASSERT_TRUE(ini.Save(&error)) << error;
      TMemIni loaded(path);
      for (const auto& [section, key] : names) {
        SCOPED_TRACE(testing::PrintToString(section) + " " + testing::PrintToString(key));
        ASSERT_EQ(loaded.ReadString(section, key, "(none)"),
                  ini.ReadString(section, key, "(none)"));
        ASSERT_EQ(loaded.SectionExists(section), ini.SectionExists(section));
      }
      ASSERT_EQ(loaded.GetText(), ini.GetText());
    }
  }
  EXPECT_GT(refusedCount, 100);  // the names reach the refusals
}

TEST(MemIni, SectionNameEndingInALoneLeadByteSurvivesTheFile) {
  TMemIni ini("");
  ini.WriteString("ab\x81", "k", "v");
  TMemIni again("");
  again.SetText(ini.GetText());
  EXPECT_EQ(again.GetText(), ini.GetText());
  EXPECT_EQ(again.ReadString("ab", "k", ""), "v");
  // A closing bracket in a trail byte does not end the name.
  again.SetText("[\x81]x]\r\nk=w\r\n");
  EXPECT_EQ(again.ReadString("\x81]x", "k", ""), "w");
}

TEST(MemIni, SavesExplicitlyAndOnDestruction) {
  TempDir dir;
  std::string path = (dir / "new.ini").string();
  {
    TMemIni ini(path);
    ini.WriteString("A", "k", "1");
    std::string error;
    EXPECT_TRUE(ini.Save(&error)) << error;
    EXPECT_EQ(ReadFileBytes(path), "[A]\r\nk=1\r\n\r\n");
    ini.WriteString("A", "k", "2");
  }
  EXPECT_EQ(ReadFileBytes(path), "[A]\r\nk=2\r\n\r\n");
  // An object that changed nothing, or wrote what was there, leaves the file as it is.
  WriteFileBytes(path, "[A]\nk = 2\n\n\n");
  {
    TMemIni ini(path);
    EXPECT_EQ(ini.ReadString("A", "k", ""), "2");
    ini.WriteString("a", "K", "2");
  }
  EXPECT_EQ(ReadFileBytes(path), "[A]\nk = 2\n\n\n");
}

// A read-only file is never replaced (root included): an unchanged object writes nothing, a
// changed one fails to save and says why.
TEST(MemIni, LeavesAReadOnlyFileAsItIs) {
  TempDir dir;
  const auto path = dir / "ro.ini";
  const std::string old = "[A]\nk = 1\n";
  WriteFileBytes(path, old);
  ::chmod(path.c_str(), 0444);
  { TMemIni ini(path.string()); }
  EXPECT_EQ(ReadFileBytes(path), old);
  {
    TMemIni ini(path.string());
    ini.WriteString("A", "k", "2");
    std::string error;
    EXPECT_FALSE(ini.Save(&error));
    EXPECT_NE(error.find("ro.ini\". The file is read-only"), std::string::npos) << error;
  }
  EXPECT_EQ(ReadFileBytes(path), old);
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0444u);
}

TEST(MemIni, FailedSaveLeavesTheOldFileWhole) {
  TempDir dir;
  fs::create_directory(dir / "conf");
  std::string path = (dir / "conf" / "app.ini").string();
  const std::string old = "[A]\r\nk=old\r\n\r\n";
  WriteFileBytes(path, old);
  {
    auto ini = std::make_unique<TMemIni>(path);
    ini->WriteString("A", "k", "new");
    // The folder disappears while the settings are open.
    fs::rename(dir / "conf", dir / "away");
    std::string error;
    EXPECT_FALSE(ini->Save(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_NO_THROW(ini.reset());
  }
  EXPECT_EQ(ReadFileBytes(dir / "away" / "app.ini"), old);
  EXPECT_FALSE(fs::exists(dir / "conf"));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir / "away"), fs::directory_iterator()), 1);
}

TEST(MemIni, NeverWritesOverWhatItCouldNotRead) {
  TempDir dir;
  fs::create_directory(dir / "ini_is_a_folder");
  WriteFileBytes(dir / "ini_is_a_folder" / "keep", "x");
  {
    TMemIni ini((dir / "ini_is_a_folder").string());
    ini.WriteString("A", "k", "v");
    std::string error;
    EXPECT_FALSE(ini.Save(&error));
    EXPECT_NE(error.find("ini_is_a_folder"), std::string::npos) << error;
  }
  EXPECT_TRUE(fs::is_directory(dir / "ini_is_a_folder"));
  EXPECT_EQ(ReadFileBytes(dir / "ini_is_a_folder" / "keep"), "x");
}

}  // namespace
}  // namespace rid
