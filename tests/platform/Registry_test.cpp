#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <stdexcept>

#include "tests/FileFaults.h"
#include "tests/FileLooks.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

// Every test works on its own registry file in a temporary folder.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FFile = (FDir / "registry.ini").string();
    ::setenv("RIDEDER_REGISTRY", FFile.c_str(), 1);
  }
  void TearDown() override { ::unsetenv("RIDEDER_REGISTRY"); }
  std::string FileText() const { return test::ReadFileBytes(FFile); }

  test::TempDir FDir;
  std::string FFile;
};

std::vector<std::string> Lines(const TStrings& L) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < L.Count(); ++i) out.push_back(L[i]);
  return out;
}

TEST_F(RegistryTest, FileNameComesFromTheEnvironment) {
  EXPECT_EQ(RegistryFileName(), FFile);
  ::unsetenv("RIDEDER_REGISTRY");
  EXPECT_NE(RegistryFileName().find("rideder/registry.ini"), std::string::npos);
}

TEST_F(RegistryTest, ValuesRoundTripThroughTheFile) {
  const std::string keywords = "abs\r\naccept\r\n\x95\x5C\x8E\xA6\r\n";  // CR LF and Shift-JIS
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Rid\\Perl", true));
    r.WriteString("KeyWords", keywords);
    r.WriteString("Quote \"\\\"", "tab\there, quote \" backslash \\");
    r.WriteInteger("Style", -7);
    r.WriteBool("Enabled", true);
    r.WriteString("", "default value");
  }  // destroyed: written to the file
  EXPECT_NE(FileText().find("[HKEY_CURRENT_USER\\Software\\Rid\\Perl]"), std::string::npos);

  // A fresh process would see the same: reread the file through a second name for it.
  ::setenv("RIDEDER_REGISTRY", (FDir.Path().string() + "/./registry.ini").c_str(), 1);
  TRegistry r;
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Rid\\Perl"));
  EXPECT_EQ(r.ReadString("KeyWords"), keywords);
  EXPECT_EQ(r.ReadString("quote \"\\\""), "tab\there, quote \" backslash \\");
  EXPECT_EQ(r.ReadInteger("Style"), -7);
  EXPECT_TRUE(r.ReadBool("Enabled"));
  EXPECT_EQ(r.ReadString(""), "default value");
}

TEST_F(RegistryTest, EveryByteOfNamesAndValuesSurvives) {
  // Unassigned pairs, a NEC duplicate of an ordinary character, half-width kana, stray bytes,
  // a lead byte at the end, control bytes and a percent sign.
  static constexpr char kOdd[] = "\x85\x40|\x87\x90|\xB1\xDF|\x80\xA0\xFD|%|\x01\x7F|\x00|\x81";
  const std::string odd(kOdd, sizeof kOdd - 1);
  // In a key path a lead byte takes the next byte, '\\' included: no lone lead at a key's end.
  const std::string oddKey = "Odd" + odd.substr(0, odd.size() - 1);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\" + oddKey + "\\\x95\x5C", true));
    r.WriteString(odd, odd);
  }
  ::setenv("RIDEDER_REGISTRY", (FDir.Path().string() + "//registry.ini").c_str(), 1);
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\" + oddKey, false));
  TStringList names;
  r.GetKeyNames(&names);
  EXPECT_EQ(Lines(names), std::vector<std::string>{"\x95\x5C"});  // trail byte 0x5C is no '\'
  ASSERT_TRUE(r.OpenKey("\x95\x5C", false));
  r.GetValueNames(&names);
  EXPECT_EQ(Lines(names), std::vector<std::string>{odd});
  EXPECT_EQ(r.ReadString(odd), odd);
  // Text that UTF-8 can carry is written as UTF-8.
  EXPECT_NE(FileText().find("\xE8\xA1\xA8"), std::string::npos);  // 表
}

TEST_F(RegistryTest, KeyAndValueNamesIgnoreCaseAndKeepTheirSpelling) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software\\MyApp", true));
  r.WriteInteger("Width", 80);
  ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\myapp", false));
  EXPECT_EQ(r.CurrentPath(), "SOFTWARE\\myapp");  // as the caller spelled it
  EXPECT_EQ(r.ReadInteger("WIDTH"), 80);
  r.WriteInteger("width", 81);
  TStringList names;
  r.GetValueNames(&names);
  EXPECT_EQ(Lines(names), std::vector<std::string>{"Width"});
  EXPECT_TRUE(r.KeyExists("\\software"));
  r.CloseKey();
  r.OpenKey("\\", false);
  r.GetKeyNames(&names);
  EXPECT_EQ(Lines(names), std::vector<std::string>{"Software"});
  // Full-width letters are different characters, not another case.
  EXPECT_FALSE(r.KeyExists("\\\x82\x72oftware"));
}

TEST_F(RegistryTest, RelativeAndAbsoluteKeys) {
  TRegistry r;
  EXPECT_FALSE(r.OpenKey("\\Missing", false));
  EXPECT_EQ(r.CurrentPath(), "");
  ASSERT_TRUE(r.OpenKey("Software\\Rid", true));  // relative to the root while none is open
  EXPECT_EQ(r.CurrentPath(), "Software\\Rid");
  ASSERT_TRUE(r.OpenKey("Highlighters\\Perl", true));
  EXPECT_EQ(r.CurrentPath(), "Software\\Rid\\Highlighters\\Perl");
  EXPECT_FALSE(r.OpenKey("Nothing", false));
  EXPECT_EQ(r.CurrentPath(), "Software\\Rid\\Highlighters\\Perl");  // unchanged
  EXPECT_TRUE(r.KeyExists("\\Software\\Rid\\Highlighters"));
  EXPECT_FALSE(r.KeyExists("Highlighters"));  // relative to ...\Perl
  // The save-and-restore pattern: remember the path, go elsewhere, reopen "\" + path.
  const std::string saved = r.CurrentPath();
  ASSERT_TRUE(r.OpenKey("\\Other", true));
  ASSERT_TRUE(r.OpenKey("\\" + saved, false));
  EXPECT_EQ(r.CurrentPath(), saved);
}

TEST_F(RegistryTest, RootKeysAreSeparate) {
  TRegistry r;
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(r.OpenKey("\\SOFTWARE\\Borland", true));
  r.WriteString("Where", "machine");
  r.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_FALSE(r.KeyExists("\\SOFTWARE\\Borland"));
  r.SetRootKey(HKEY_LOCAL_MACHINE);
  EXPECT_TRUE(r.KeyExists("\\SOFTWARE\\Borland"));
  r.CloseKey();
  EXPECT_NE(FileText().find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Borland]"), std::string::npos);
}

TEST_F(RegistryTest, MissingAndMistypedValues) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software\\T", true));
  EXPECT_EQ(r.ReadString("none"), "");
  EXPECT_FALSE(r.ValueExists("none"));
  try {
    r.ReadInteger("none");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'none'");
  }
  r.WriteString("text", "12");
  r.WriteInteger("number", 12);
  try {
    r.ReadInteger("text");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'text'");
  }
  EXPECT_THROW(r.ReadString("number"), ERegistryException);
  EXPECT_THROW(r.ReadBool("none"), ERegistryException);
}

TEST_F(RegistryTest, ReadOnlyKeysRefuseWrites) {
  TRegistry r;
  EXPECT_FALSE(r.OpenKeyReadOnly("\\Software\\Absent"));
  EXPECT_FALSE(r.KeyExists("\\Software\\Absent"));  // not created by looking
  ASSERT_TRUE(r.OpenKey("\\Software\\Present", true));
  r.WriteInteger("x", 1);
  ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\Present"));
  EXPECT_EQ(r.ReadInteger("x"), 1);
  EXPECT_THROW(r.WriteInteger("x", 2), ERegistryException);
  EXPECT_FALSE(r.DeleteValue("x"));
  EXPECT_EQ(r.ReadInteger("x"), 1);
}

TEST_F(RegistryTest, DeleteKeyRemovesTheWholeBranch) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Rid\\A\\Deep", true));
    r.WriteString("v", "1");
    ASSERT_TRUE(r.OpenKey("\\Software\\Rid\\B", true));
    ASSERT_TRUE(r.OpenKey("\\Software\\Rid", false));
    TStringList names;
    r.GetKeyNames(&names);
    EXPECT_EQ(Lines(names), (std::vector<std::string>{"A", "B"}));
    EXPECT_TRUE(r.HasSubKeys());
    EXPECT_TRUE(r.DeleteKey("a"));  // relative, any case
    EXPECT_FALSE(r.DeleteKey("a"));
    r.GetKeyNames(&names);
    EXPECT_EQ(Lines(names), std::vector<std::string>{"B"});
    EXPECT_TRUE(r.DeleteKey("\\Software\\Rid\\B"));
    EXPECT_FALSE(r.HasSubKeys());
  }
  EXPECT_EQ(FileText().find("Deep"), std::string::npos);
  TRegistry r;
  EXPECT_TRUE(r.KeyExists("\\Software\\Rid"));
  EXPECT_FALSE(r.KeyExists("\\Software\\Rid\\A\\Deep"));
}

TEST_F(RegistryTest, DeleteValue) {
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\K", true));
  r.WriteString("a", "1");
  r.WriteString("b", "2");
  EXPECT_TRUE(r.DeleteValue("A"));
  EXPECT_FALSE(r.DeleteValue("A"));
  TStringList names;
  r.GetValueNames(&names);
  EXPECT_EQ(Lines(names), std::vector<std::string>{"b"});
}

TEST_F(RegistryTest, EmptyKeysPersistAndWritesToADeletedKeyFail) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Empty\\Key", true));
  }
  TRegistry r;
  EXPECT_TRUE(r.KeyExists("\\Empty\\Key"));
  ASSERT_TRUE(r.OpenKey("\\Empty\\Key", false));
  TRegistry other;
  EXPECT_TRUE(other.DeleteKey("\\Empty"));
  EXPECT_THROW(r.WriteString("x", "y"), ERegistryException);
}

TEST_F(RegistryTest, ObjectsOnOneFileShareTheirChanges) {
  TRegistry writer, reader;
  ASSERT_TRUE(writer.OpenKey("\\Shared", true));
  writer.WriteInteger("n", 1);
  ASSERT_TRUE(reader.OpenKey("\\Shared", false));
  EXPECT_EQ(reader.ReadInteger("n"), 1);
  reader.WriteInteger("m", 2);
  reader.CloseKey();
  writer.CloseKey();  // saving again must not drop the reader's value
  TRegistry again;
  ASSERT_TRUE(again.OpenKey("\\Shared", false));
  EXPECT_EQ(again.ReadInteger("m"), 2);
}

TEST_F(RegistryTest, AFileChangedOutsideIsReadAgain) {
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\X", true));
    r.WriteInteger("v", 1);
  }
  test::WriteFileBytes(FFile,
                       "[HKEY_CURRENT_USER\\Software\\X]\r\n\"v\"=dword:0000000a\r\n"
                       "\"s\"=\"\xE8\xA1\xA8\\r\\n\"\r\nnot a value line\r\n");
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\Software\\X", false));
  EXPECT_EQ(r.ReadInteger("v"), 10);
  EXPECT_EQ(r.ReadString("s"), "\x95\x5C\r\n");
}

TEST_F(RegistryTest, NothingIsWrittenWithoutAChange) {
  auto inode = [&] {
    struct stat st {};
    ::stat(FFile.c_str(), &st);
    return st.st_ino;
  };
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Same", true));
    r.WriteInteger("v", 1);
  }
  const auto before = inode();  // every save makes a new file
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\Software\\Same", true));
    r.WriteInteger("V", 1);
    r.CloseKey();
  }
  EXPECT_EQ(inode(), before);
}

// A section whose first name is no root key is kept as read, however often the file is saved:
// its name is written escaped as every other name is, not as the raw bytes it decodes to.
TEST_F(RegistryTest, SectionsOutsideTheRootKeysSurviveEverySave) {
  const std::string odd = "[Odd%2541 \xE5\x86\x86\\Key]\n\"v\"=\"x\"\n";
  test::WriteFileBytes(FFile, odd + "[HKEY_CURRENT_USER\\K]\n\"n\"=dword:00000001\n");
  for (int32_t save = 2; save <= 3; ++save) {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\K", false));
    r.WriteInteger("n", save);
    r.CloseKey();
    EXPECT_NE(FileText().find(odd), std::string::npos) << FileText();
  }
}

TEST_F(RegistryTest, AFailedSaveIsRaisedByCloseKey) {
  const std::string blocked = (FDir / "file-not-folder").string();
  test::WriteFileBytes(blocked, "");
  ::setenv("RIDEDER_REGISTRY", (blocked + "/registry.ini").c_str(), 1);
  TRegistry r;
  ASSERT_TRUE(r.OpenKey("\\K", true));
  r.WriteInteger("v", 1);
  EXPECT_THROW(r.CloseKey(), EStreamError);
}

// A failed save is told once: CloseKey raises it and the object's end says nothing more, unless
// something changed through the object since; an object that never closes its key says it on
// the error stream as it ends. The types of values are told without reading them.
TEST_F(RegistryTest, AFailedSaveIsToldOnceAndTypesAreToldWithoutReading) {
  const std::string blocked = (FDir / "file-not-folder").string();
  test::WriteFileBytes(blocked, "");
  ::setenv("RIDEDER_REGISTRY", (blocked + "/registry.ini").c_str(), 1);
  const struct {
    const char* What;
    std::function<void(TRegistry&)> Use;
    bool Told;  // on the error stream, as the object ends
  } cases[] = {
      {"raised by CloseKey", [](TRegistry& R) { EXPECT_THROW(R.CloseKey(), EStreamError); }, false},
      {"raised, then changed again",
       [](TRegistry& R) {
         EXPECT_THROW(R.CloseKey(), EStreamError);
         ASSERT_TRUE(R.OpenKey("\\K", false));
         R.WriteInteger("v", 2);
       },
       true},
      {"never closed", [](TRegistry&) {}, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    testing::internal::CaptureStderr();
    {
      TRegistry r;
      ASSERT_TRUE(r.OpenKey("\\K", true));
      r.WriteInteger("v", 1);
      r.WriteString("s", "1");
      EXPECT_EQ(r.GetDataType("V"), rdInteger);
      EXPECT_EQ(r.GetDataType("s"), rdString);
      EXPECT_EQ(r.GetDataType("none"), rdUnknown);
      c.Use(r);
    }
    const std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told.find("settings not saved") != std::string::npos, c.Told) << told;
  }
}

// A file a person wrote: comments of both kinds, blank lines, values of types the store does
// not read (hex, multi-string, with a continued line), a short dword, a CR LF line, names with
// '%' and '\\', a key whose name holds '\\', a section outside the root keys, a line that is
// nothing, and a last line without its end. Every write keeps all of it in its place; only
// what the write changes differs.
TEST_F(RegistryTest, AHandWrittenFileKeepsEveryLineThroughEveryWrite) {
  const std::string hand =
      "; rideder settings, kept by hand\n"
      "# notes in the other style\n"
      "\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n"
      "; margins in mm\n"
      "\"Margin\"=\"10,10\"\r\n"
      "\"Bin\"=hex:01,02,03,\\\n"
      "  04,05\n"
      "\"Paths\"=hex(7):61,00,00,00\n"
      "\"Count\"=dword:1\n"
      "\"50%\"=\"half\"\n"
      "\"back\\\\slash\"=\"a\\\\b\"\n"
      "\n"
      "[HKEY_CURRENT_USER\\a%5Cb]\n"
      "\"v\"=\"under a\\\\b\"\n"
      "\n"
      "[%5C]\n"
      "\"odd\"=\"x\"\n"
      "not a line\n"
      "[HKEY_CURRENT_USER\\Software\\rideder\\Keys]\n"
      "\"MacroRecord\"=\"F7\"";
  const auto replaced = [&](const std::string& From, const std::string& To) {
    std::string s = hand;
    const size_t at = s.find(From);
    EXPECT_NE(at, std::string::npos) << From;
    return at == std::string::npos ? s : s.replace(at, From.size(), To);
  };
  const std::string print = "\\Software\\rideder\\Print";
  const struct {
    const char* What;
    std::function<void(TRegistry&)> Write;
    std::string Want;
  } cases[] = {
      {"the same values again",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey(print, false));
         r.WriteString("margin", "10,10");
         r.WriteInteger("Count", 1);
       },
       hand},
      {"a changed value",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey(print, false));
         r.WriteString("Margin", "25,15");
       },
       replaced("\"10,10\"\r\n", "\"25,15\"\r\n")},
      {"a changed type",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey(print, false));
         r.WriteString("Count", "one");
       },
       replaced("dword:1\n", "\"one\"\n")},
      {"a new value",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey(print, false));
         r.WriteString("Header", "$TITLE$");
       },
       replaced("\"a\\\\b\"\n", "\"a\\\\b\"\n\"Header\"=\"$TITLE$\"\n")},
      {"a deleted value",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey(print, false));
         EXPECT_TRUE(r.DeleteValue("50%"));
       },
       replaced("\"50%\"=\"half\"\n", "")},
      {"a new key",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey("\\Software\\rideder\\Recent", true));
         r.WriteString("File1", "/tmp/a");
       },
       hand + "\n\n[HKEY_CURRENT_USER\\Software\\rideder\\Recent]\n\"File1\"=\"/tmp/a\"\n"},
      {"a value at the end",
       [&](TRegistry& r) {
         ASSERT_TRUE(r.OpenKey("\\Software\\rideder\\Keys", false));
         r.WriteString("Completion", "Ctrl+J");
       },
       hand + "\n\"Completion\"=\"Ctrl+J\"\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::WriteFileBytes(FFile, hand);
    {
      TRegistry r;
      c.Write(r);
    }
    EXPECT_EQ(FileText(), c.Want);
    // Each name reads back as it was written.
    TRegistry r;
    TStringList names;
    ASSERT_TRUE(r.OpenKey("\\", false));
    r.GetKeyNames(&names);
    EXPECT_EQ(Lines(names), (std::vector<std::string>{"Software", "a\\b"}));
    ASSERT_TRUE(r.OpenKey(print, false));
    EXPECT_EQ(r.ReadString("back\\slash"), "a\\b");
    EXPECT_FALSE(r.ValueExists("Bin"));
    EXPECT_FALSE(r.ValueExists("Paths"));
  }
}

// Values of types the store neither reads nor writes (hex:, hex(2):, hex(7): over a continued
// line, a dword that is no number, anything else after "=") are there with the type their line
// writes: they read as missing, a write to one is refused and leaves the file as it was, with one
// line for the name, and deleting one takes its line away. The last line of a name counts.
TEST_F(RegistryTest, AValueOfAnotherTypeKeepsItsOneLine) {
  const std::string hand =
      "[HKEY_CURRENT_USER\\K]\n"
      "\"Bin\"=hex:41,42,\\\n"
      "  43\n"
      "\"Expand\"=hex(2):41,00\n"
      "\"Multi\"=hex(7):61,00,00,00\n"
      "\"Bad\"=dword:zz\n"
      "\"Odd\"=what\n"
      "\"Later\"=\"text\"\n"
      "\"Later\"=hex(b):01,00,00,00,00,00,00,00\n";
  const std::pair<const char*, const char*> others[] = {{"Bin", "hex"},      {"Expand", "hex(2)"},
                                                        {"Multi", "hex(7)"}, {"Bad", "dword"},
                                                        {"Odd", ""},         {"Later", "hex(b)"}};
  test::WriteFileBytes(FFile, hand);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\K", false));
    TStringList names;
    r.GetValueNames(&names);
    EXPECT_EQ(Lines(names),
              (std::vector<std::string>{"Bin", "Expand", "Multi", "Bad", "Odd", "Later"}));
    for (const auto& [name, type] : others) {
      SCOPED_TRACE(name);
      EXPECT_EQ(r.GetDataType(name), rdOther);
      EXPECT_EQ(r.GetOtherType(name), type);
      EXPECT_FALSE(r.ValueExists(name));
      EXPECT_EQ(r.ReadString(name), "");
      EXPECT_THROW(r.ReadInteger(name), ERegistryException);
      for (const auto& write : std::vector<std::function<void()>>{
               [&] { r.WriteString(name, "mine"); }, [&] { r.WriteInteger(name, 1); }}) {
        try {
          write();
          ADD_FAILURE() << "no exception";
        } catch (const ERegistryException& e) {
          EXPECT_EQ(e.what(), "Invalid data type for '" + std::string(name) + "'");
        }
      }
    }
    EXPECT_EQ(r.GetOtherType("nothing"), "");
    r.CloseKey();
  }
  EXPECT_EQ(FileText(), hand);
  {
    TRegistry r;
    ASSERT_TRUE(r.OpenKey("\\K", false));
    EXPECT_TRUE(r.DeleteValue("Expand"));
  }
  std::string want = hand;
  want.erase(want.find("\"Expand\""), std::string("\"Expand\"=hex(2):41,00\n").size());
  EXPECT_EQ(FileText(), want);
}

// Lines may end in CR LF, LF or CR alone, mixed in one file: each is a line break. A store
// keeps each line's own break and ends new lines as the first line ends, except where a CR
// would run into the LF of a blank line after it.
TEST_F(RegistryTest, EveryLineBreakEndsALineAndEachLineKeepsItsOwn) {
  const struct {
    const char* What;
    std::string Hand;
    std::string Want;
  } cases[] = {
      {"CR", "; mine\r[HKEY_CURRENT_USER\\K]\r\"a\"=\"1\"\r\"b\"=dword:00000002\r",
       "; mine\r[HKEY_CURRENT_USER\\K]\r\"a\"=\"one\"\r\"b\"=dword:00000002\r\"c\"=\"3\"\r"
       "\r[HKEY_CURRENT_USER\\New]\r\"n\"=\"4\"\r"},
      {"CR, no end on the last line", "[HKEY_CURRENT_USER\\K]\r\"a\"=\"1\"\r\"b\"=dword:00000002",
       "[HKEY_CURRENT_USER\\K]\r\"a\"=\"one\"\r\"b\"=dword:00000002\r\"c\"=\"3\"\r"
       "\r[HKEY_CURRENT_USER\\New]\r\"n\"=\"4\"\r"},
      {"mixed",
       "; mine\r\n[HKEY_CURRENT_USER\\K]\r\"a\"=\"1\"\n\"b\"=dword:00000002\r\n# end\r\r\n",
       "; mine\r\n[HKEY_CURRENT_USER\\K]\r\"a\"=\"one\"\n\"b\"=dword:00000002\r\n\"c\"=\"3\"\r\n"
       "# end\r\r\n\r\n[HKEY_CURRENT_USER\\New]\r\n\"n\"=\"4\"\r\n"},
      {"LF, and a CR of its own", "[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\r\r\n\"b\"=dword:00000002\n",
       "[HKEY_CURRENT_USER\\K]\n\"a\"=\"one\"\r\r\n\"b\"=dword:00000002\n\"c\"=\"3\"\n"
       "\n[HKEY_CURRENT_USER\\New]\n\"n\"=\"4\"\n"},
      // A new line's CR before a blank LF line would read back as one CR LF.
      {"CR first, a blank LF line after the new value",
       "[HKEY_CURRENT_USER\\K0]\r[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n\"b\"=dword:00000002\n\n; "
       "end\n",
       "[HKEY_CURRENT_USER\\K0]\r[HKEY_CURRENT_USER\\K]\n\"a\"=\"one\"\n\"b\"=dword:00000002\n"
       "\"c\"=\"3\"\r\n\n; end\n\r[HKEY_CURRENT_USER\\New]\r\"n\"=\"4\"\r"},
      // The blank LF line before a new key, after a last line ending in a CR of its own.
      {"LF first, a CR on the last line",
       "[HKEY_CURRENT_USER\\K]\n\"a\"=\"1\"\n\"b\"=dword:00000002\n; end\r",
       "[HKEY_CURRENT_USER\\K]\n\"a\"=\"one\"\n\"b\"=dword:00000002\n\"c\"=\"3\"\n; end\r"
       "\r\n[HKEY_CURRENT_USER\\New]\n\"n\"=\"4\"\n"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.What);
    FFile = (FDir / ("breaks" + std::to_string(i) + ".ini")).string();
    ::setenv("RIDEDER_REGISTRY", FFile.c_str(), 1);
    test::WriteFileBytes(FFile, c.Hand);
    {
      TRegistry r;
      EXPECT_EQ(r.SkipReason(), "");
      ASSERT_TRUE(r.OpenKey("\\K", false));
      TStringList names;
      r.GetValueNames(&names);
      EXPECT_EQ(Lines(names), (std::vector<std::string>{"a", "b"}));
      EXPECT_EQ(r.ReadString("a"), "1");
      EXPECT_EQ(r.ReadInteger("b"), 2);
      r.CloseKey();
    }
    EXPECT_EQ(FileText(), c.Hand);  // nothing changed, nothing written
    {
      TRegistry r;
      ASSERT_TRUE(r.OpenKey("\\K", false));
      r.WriteString("a", "one");
      r.WriteString("c", "3");
      ASSERT_TRUE(r.OpenKey("\\New", true));
      r.WriteString("n", "4");
    }
    EXPECT_EQ(FileText(), c.Want);
  }
}

// A line of a file as the test makes it: its text and end, the key of the section it stands in
// (-1 before the first) and, for a value line, its name and value as the program should read
// it ("s:text", "i:number").
struct TMadeLine {
  std::string Text, End;
  int32_t Key = -1;
  std::string Name, Value;
};

// Lines ending in CR, LF or CR LF at random, the last one maybe in none; a lone CR never comes
// before a blank LF line, which would read as one CR LF. Values are named v<key>_<n>, unique.
std::vector<TMadeLine> RandomSettingsLines(std::mt19937& Random, int32_t Keys) {
  const auto pick = [&](uint32_t N) { return static_cast<int32_t>(Random() % N); };
  static const char* const kEnds[] = {"\r", "\n", "\r\n"};
  std::vector<TMadeLine> lines(1 + pick(12));
  int32_t key = -1;
  for (size_t i = 0; i < lines.size(); ++i) {
    TMadeLine& line = lines[i];
    const int32_t kind = pick(6);
    if (kind == 0) {
      key = pick(Keys);
      line.Text = "[HKEY_CURRENT_USER\\K" + std::to_string(key) + "]";
    } else if (kind <= 2 && key >= 0) {
      line.Name = "v" + std::to_string(key) + "_" + std::to_string(i);
      line.Text =
          "\"" + line.Name + "\"=" +
          (kind == 1 ? "\"t" + std::to_string(i) + "\"" : "dword:0000000" + std::to_string(i % 10));
      line.Value = kind == 1 ? "s:t" + std::to_string(i) : "i:" + std::to_string(i % 10);
    } else if (kind == 3 && key >= 0) {
      line.Text = "\"h" + std::to_string(i) + "\"=hex:01,02";
    } else if (kind == 4) {
      line.Text = i % 2 ? "; note " + std::to_string(i) : "# note";
    }  // else a blank line
    line.Key = key;
    const bool afterCr = i > 0 && lines[i - 1].End == "\r";
    do line.End = kEnds[pick(3)];
    while (afterCr && line.Text.empty() && line.End == "\n");
    if (i + 1 == lines.size() && !line.Text.empty() && pick(3) == 0) line.End.clear();
  }
  return lines;
}

// The lines of Bytes with their ends, as any reader splits them: CR LF, LF or CR.
std::vector<std::pair<std::string, std::string>> SplitLines(const std::string& Bytes) {
  std::vector<std::pair<std::string, std::string>> lines;
  for (size_t at = 0; at < Bytes.size();) {
    size_t end = Bytes.find_first_of("\r\n", at);
    if (end == std::string::npos) end = Bytes.size();
    const size_t next =
        Bytes.compare(end, 2, "\r\n") == 0 ? end + 2 : std::min(end + 1, Bytes.size());
    lines.emplace_back(Bytes.substr(at, end - at), Bytes.substr(end, next - end));
    at = next;
  }
  return lines;
}

// Random files of lines with every kind of end, changed at random by the program (values
// written anew and over others, values and keys deleted, new keys): read back, every line the
// program left is there byte for byte and in order (a lone CR may have become CR LF where a
// line taken away put a blank LF line after it, and a last line without end may have got one),
// every other line is the program's (a value it wrote, a new key's header and the blank line
// before it), and each value reads as it left it.
TEST_F(RegistryTest, RandomChangesKeepEveryOtherLineWithItsEnd) {
  std::mt19937 random(20261208);
  const auto pick = [&](uint32_t N) { return static_cast<int32_t>(random() % N); };
  constexpr int32_t kKeys = 3;
  for (int32_t round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    const std::vector<TMadeLine> made = RandomSettingsLines(random, kKeys);
    std::string bytes;
    // The values as the program should read them, by key and name.
    std::map<std::string, std::map<std::string, std::string>> values;
    for (const TMadeLine& line : made) {
      bytes += line.Text + line.End;
      if (line.Key < 0) continue;
      auto& named = values["K" + std::to_string(line.Key)];
      if (!line.Name.empty()) named[line.Name] = line.Value;
    }
    FFile = (FDir / ("random" + std::to_string(round) + ".ini")).string();
    ::setenv("RIDEDER_REGISTRY", FFile.c_str(), 1);
    test::WriteFileBytes(FFile, bytes);
    std::set<std::string> touched;   // names written or deleted (each name is one key's)
    std::set<std::string> madeAnew;  // keys without a section when the program wrote to them
    std::set<std::string> deleted;   // keys deleted, whose lines all go
    {
      TRegistry r;
      for (int32_t step = 0, steps = 1 + pick(5); step < steps; ++step) {
        const int32_t kind = pick(5);
        const std::string key =
            pick(4) == 0 ? "N" + std::to_string(pick(2)) : "K" + std::to_string(pick(kKeys));
        if (kind == 4) {
          if (r.DeleteKey("\\" + key)) {
            deleted.insert(key);
            values.erase(key);
          }
          continue;
        }
        if (!values.contains(key)) madeAnew.insert(key);
        ASSERT_TRUE(r.OpenKey("\\" + key, true));
        std::map<std::string, std::string>& held = values[key];
        const bool existing = !held.empty() && pick(2) == 0;
        const std::string name =
            existing ? std::next(held.begin(), pick(static_cast<uint32_t>(held.size())))->first
                     : "p" + key + "_" + std::to_string(step);
        touched.insert(name);
        if (kind == 3) {
          EXPECT_EQ(r.DeleteValue(name), existing);
          held.erase(name);
        } else if (kind == 2) {
          r.WriteInteger(name, step);
          held[name] = "i:" + std::to_string(step);
        } else {
          r.WriteString(name, "w" + std::to_string(step));
          held[name] = "s:w" + std::to_string(step);
        }
      }
      r.CloseKey();
    }
    const std::string written = FileText();
    SCOPED_TRACE(test::ShellQuoted(bytes) + " became " + test::ShellQuoted(written));
    // The lines the program left, in order.
    std::vector<std::pair<std::string, std::string>> left;
    for (const TMadeLine& line : made) {
      const std::string key = "K" + std::to_string(line.Key);
      if (line.Key >= 0 && deleted.contains(key)) continue;
      if (touched.contains(line.Name)) continue;
      left.emplace_back(line.Text, line.End);
    }
    const auto programs = [&](const std::string& Text) {
      const std::string header = "[HKEY_CURRENT_USER\\";
      if (Text.starts_with(header))
        return madeAnew.contains(Text.substr(header.size(), Text.size() - header.size() - 1));
      return Text == "; rideder settings" ||
             (Text.starts_with('"') && touched.contains(Text.substr(1, Text.find('"', 1) - 1)));
    };
    size_t next = 0, blanks = 0, headers = 0;
    for (const auto& [text, end] : SplitLines(written)) {
      if (next < left.size() && text == left[next].first &&
          (end == left[next].second || left[next].second.empty() ||
           (left[next].second == "\r" && end == "\r\n"))) {
        ++next;
      } else if (text.empty()) {
        ++blanks;
      } else {
        EXPECT_TRUE(programs(text)) << "not the program's: " << text;
        headers += text.starts_with("[");
      }
    }
    EXPECT_EQ(next, left.size()) << "lost: " << (next < left.size() ? left[next].first : "");
    EXPECT_EQ(blanks, headers) << "each new key's header comes after one blank line";
    // Read back from a copy, by a store of its own.
    const std::string copy = (FDir / ("copy" + std::to_string(round) + ".ini")).string();
    test::WriteFileBytes(copy, written);
    ::setenv("RIDEDER_REGISTRY", copy.c_str(), 1);
    TRegistry r;
    for (const auto& [key, named] : values) {
      ASSERT_TRUE(r.OpenKeyReadOnly("\\" + key)) << key;
      TStringList names;
      r.GetValueNames(&names);
      std::map<std::string, std::string> read;
      for (const std::string& name : Lines(names))
        if (r.GetDataType(name) == rdString)
          read[name] = "s:" + r.ReadString(name);
        else if (r.GetDataType(name) == rdInteger)
          read[name] = "i:" + std::to_string(r.ReadInteger(name));
      EXPECT_EQ(read, named) << key;
    }
  }
}

// A save that failed (the file was read-only) keeps the program's changes. The person makes
// the file writable again and edits it: reads see the file with the program's changes, and the
// next save (a key closed, with nothing new to store) writes them over what the file then
// holds. Every line written by hand stays; a value the program changed is the program's, one
// given another type by hand keeps that line; a key the program made is there.
TEST_F(RegistryTest, ASaveAfterAFailedOneKeepsTheLinesWrittenByHandMeanwhile) {
  const std::string print = "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n";
  const std::string before = "; mine\n" + print + "\"Margin\"=\"1\"\n";
  const auto inPlace = [](const std::string& File, const std::string& Text) {
    test::WriteFileBytes(File, Text);
  };
  const auto byRename = [](const std::string& File, const std::string& Text) {
    test::WriteFileBytes(File + "~", Text);
    std::filesystem::rename(File + "~", File);
  };
  const struct {
    const char* What;
    std::function<void(const std::string&, const std::string&)> Edit;
    std::string Edited;
    std::string Want;
    TRegDataType Margin;  // as read between the saves
  } cases[] = {
      {"a comment and a value added", inPlace, before + "# added\n\"Mine\"=\"x\"\n",
       "; mine\n" + print + "\"Margin\"=\"2\"\n# added\n\"Mine\"=\"x\"\n\"Header\"=\"h\"\n",
       rdString},
      {"the same, saved by a rename", byRename, before + "# added\n\"Mine\"=\"x\"\n",
       "; mine\n" + print + "\"Margin\"=\"2\"\n# added\n\"Mine\"=\"x\"\n\"Header\"=\"h\"\n",
       rdString},
      {"the value changed by hand", inPlace, "; mine\n" + print + "\"Margin\"=\"9\"\n; was 1\n",
       "; mine\n" + print + "\"Margin\"=\"2\"\n\"Header\"=\"h\"\n; was 1\n", rdString},
      {"the section taken away", inPlace, "; mine\n# none\n",
       "; mine\n# none\n\n" + print + "\"Margin\"=\"2\"\n\"Header\"=\"h\"\n", rdString},
      {"the value given another type", inPlace, "; mine\n" + print + "\"Margin\"=hex:32\n",
       "; mine\n" + print + "\"Margin\"=hex:32\n\"Header\"=\"h\"\n", rdOther},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.What);
    FFile = (FDir / ("failed" + std::to_string(i) + ".ini")).string();
    ::setenv("RIDEDER_REGISTRY", FFile.c_str(), 1);
    test::WriteFileBytes(FFile, before);
    ::chmod(FFile.c_str(), 0444);
    {
      TRegistry r;
      ASSERT_TRUE(r.OpenKey("\\Software\\rideder\\Print", true));
      r.WriteString("Margin", "2");
      r.WriteString("Header", "h");
      ASSERT_TRUE(r.OpenKey("\\Software\\rideder\\Empty", true));
      try {
        r.CloseKey();
        ADD_FAILURE() << "saved to a read-only file";
      } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message, FormatStr(SFCreateError, FFile.c_str(), "The file is read-only"));
      }
    }
    ::chmod(FFile.c_str(), 0644);
    c.Edit(FFile, c.Edited);
    {
      TRegistry r;
      ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\rideder\\Print"));
      EXPECT_EQ(r.GetDataType("Margin"), c.Margin);
      EXPECT_EQ(r.ReadString("Margin"), c.Margin == rdString ? "2" : "");
      EXPECT_EQ(r.ReadString("Header"), "h");
      EXPECT_EQ(FileText(), c.Edited);  // reads write nothing
      r.CloseKey();
    }
    EXPECT_EQ(FileText(), c.Want + "\n[HKEY_CURRENT_USER\\Software\\rideder\\Empty]\n");
  }
}

// Root keeps its settings in a folder of nobody's, who may take the file away and put another
// in its place; nobody does that in a child process after root's first store. A link nobody
// puts there (to a file only root may read) or a file of nobody's own is neither read nor
// written: root's second store is refused, saying why, and root's settings stay as they were.
// A link that was there from the start (a person's dotfiles) is followed, and a file put in
// place by root's own editor (a rename) is read again and the store writes into it. A file
// read and then deleted is made anew with the mode and ACL it had, whatever ACL its folder
// gives new files.
TEST_F(RegistryTest, AFileAnotherUserPutsInPlaceOfTheSettingsIsNeitherReadNorWritten) {
  RID_NEED_TOOL("setfacl", "acl");
  RID_NEED_TOOL("getfacl", "acl");
  namespace fs = std::filesystem;
  const std::string secretText = "[HKEY_CURRENT_USER\\Secret]\n\"k\"=\"v\"\n";
  const fs::path secret = FDir / "secret.ini";
  test::WriteFileBytes(secret, secretText);
  ::chmod(secret.c_str(), 0600);
  ::chmod(FDir.Path().c_str(), 0755);  // nobody may come in
  const auto asNobody = [](const std::function<void()>& Act) {
    const std::string said = test::MessageInChild([&] {
      test::BecomeNobody();
      Act();
    });
    ASSERT_EQ(said, "(no exception)");
  };
  const struct {
    const char* What;
    bool LinkedAtStart;
    std::function<void(const fs::path& Settings)> PutInPlace;
    std::string Why;       // "" when the second store writes
    bool Deleted = false;  // the second store makes the file anew
  } cases[] = {
      {"a link by nobody to a file only root may read", false,
       [&](const fs::path& Settings) {
         asNobody([&] {
           fs::remove(Settings);
           fs::create_symlink(secret, Settings);
         });
       },
       "It was replaced by a link to \"" + secret.string() +
           "\": the settings are never written through a link put in place of their file"},
      {"a file of nobody's own", false,
       [&](const fs::path& Settings) {
         asNobody([&] {
           test::WriteFileBytes(Settings.string() + "~", secretText);
           fs::rename(Settings.string() + "~", Settings);
         });
       },
       "It was replaced by a file of nobody, not of root: the settings are never written into "
       "another's file"},
      {"a file root's editor saved by a rename", false,
       [&](const fs::path& Settings) {
         test::WriteFileBytes(Settings.string() + "~", test::ReadFileBytes(Settings) + "; mine\n");
         fs::rename(Settings.string() + "~", Settings);
       },
       ""},
      {"a link from the start, its file edited", true,
       [&](const fs::path& Settings) {
         test::WriteFileBytes(Settings, test::ReadFileBytes(Settings) + "; mine\n");
       },
       ""},
      {"its file read as 0600, then deleted, in a folder whose new files nobody may read", false,
       [&](const fs::path& Settings) {
         ::chmod(Settings.c_str(), 0600);
         test::RunTool("setfacl -d -m u:nobody:r,g::r,o::- " +
                       test::ShellQuoted(Settings.parent_path().string()));
         EXPECT_FALSE(TRegistry().KeyExists("\\Secret"));  // read again
         fs::remove(Settings);
       },
       "", true},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const auto& c = cases[i];
    SCOPED_TRACE(c.What);
    const fs::path folder = FDir / ("nobodys" + std::to_string(i));
    fs::create_directory(folder);
    ASSERT_EQ(::chown(folder.c_str(), test::kNobody, test::kNobody), 0);
    const fs::path settings = folder / "registry.ini";
    if (c.LinkedAtStart) fs::create_symlink(FDir / ("dotfile" + std::to_string(i)), settings);
    ::setenv("RIDEDER_REGISTRY", settings.c_str(), 1);
    const auto store = [](const char* Margin) {
      TRegistry r;
      EXPECT_TRUE(r.OpenKey("\\Software\\rideder\\Print", true));
      r.WriteString("Margin", Margin);
      try {
        r.CloseKey();
      } catch (const EFileChangedError& e) {
        return e.Message;
      }
      return std::string();
    };
    ASSERT_EQ(store("1"), "");
    c.PutInPlace(settings);
    const std::string there = test::ReadFileBytes(settings);
    EXPECT_EQ(store("2"),
              c.Why.empty() ? "" : FormatStr(SFCreateError, settings.c_str(), c.Why.c_str()));
    EXPECT_EQ(test::ReadFileBytes(secret), secretText);
    TRegistry r;
    EXPECT_FALSE(r.KeyExists("\\Secret"));
    ASSERT_TRUE(r.OpenKeyReadOnly("\\Software\\rideder\\Print"));
    EXPECT_EQ(r.ReadString("Margin"), "2");
    if (!c.Why.empty()) {
      EXPECT_EQ(test::ReadFileBytes(settings), there);
    } else {
      EXPECT_EQ(test::ReadFileBytes(settings),
                "; rideder settings\n\n[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n"
                "\"Margin\"=\"2\"\n" +
                    std::string(c.Deleted ? "" : "; mine\n"));
      EXPECT_EQ(fs::is_symlink(settings), c.LinkedAtStart);
    }
    if (c.Deleted) {
      EXPECT_EQ(test::RunTool("getfacl -c " + test::ShellQuoted(settings.string())),
                "user::rw-\ngroup::---\nother::---\n\n");
    }
  }
}

// A key opened once is looked at once, however many of its values are read, listed or typed;
// opening it again looks again and sees what was written by hand in between.
TEST_F(RegistryTest, AKeyOpenedOnceLooksAtTheFileOnceForAllItsReads) {
  std::string hand = "[HKEY_CURRENT_USER\\K]\n";
  for (int32_t i = 0; i < 300; ++i)
    hand += "\"v" + std::to_string(i) + "\"=\"" + std::to_string(i) + "\"\n";
  test::WriteFileBytes(FFile, hand);
  TRegistry r;
  const auto looksToRead = [&](int32_t Values) {
    test::TFileLooks looks(FFile);
    EXPECT_TRUE(r.OpenKeyReadOnly("\\K"));
    TStringList names;
    r.GetValueNames(&names);
    EXPECT_GE(names.Count(), Values);
    for (int32_t i = 0; i < std::min(Values, names.Count()); ++i) {
      EXPECT_EQ(r.GetDataType(names[i]), rdString);
      EXPECT_EQ(r.GetOtherType(names[i]), "");
      EXPECT_TRUE(r.ValueExists(names[i]));
      EXPECT_EQ(r.ReadString(names[i]), std::to_string(i));
    }
    EXPECT_TRUE(r.KeyExists("\\K"));
    EXPECT_FALSE(r.HasSubKeys());
    return looks.Count();
  };
  looksToRead(0);  // reads the file
  const int one = looksToRead(1);
  EXPECT_GT(one, 0);
  EXPECT_EQ(looksToRead(300), one);
  test::WriteFileBytes(FFile, hand + "\"v300\"=\"300\"\n");
  looksToRead(301);  // reads it again
  EXPECT_EQ(looksToRead(301), one);
}

// The peak memory of a child above what it started with, in bytes, after each step it is given;
// "" when a step ends the child instead (a stack overflow, say), or the step's complaint.
std::string PeakGrowthInChild(const std::vector<std::function<void()>>& Steps) {
  return test::MessageInChild([&] {
    struct rusage start {};
    ::getrusage(RUSAGE_SELF, &start);
    std::string peaks;
    for (const auto& step : Steps) {
      step();
      struct rusage now {};
      ::getrusage(RUSAGE_SELF, &now);
      peaks += std::to_string((now.ru_maxrss - start.ru_maxrss) * 1024) + " ";
    }
    throw std::runtime_error(peaks);
  });
}

// A key nested tens of thousands of levels deep, as a hand-made or hostile file may hold, is
// read, kept byte for byte when another value is stored, found, made anew and deleted without a
// stack frame or a copy of its path per level. Measured in a child: reading and storing stay
// within a fixed multiple of the file's size, and everything together costs no more than as
// many keys side by side (which need neither), the reference.
TEST_F(RegistryTest, AKeyNestedVeryDeepCostsNoMoreThanAsManyKeysSideBySide) {
  const std::string print = "[HKEY_CURRENT_USER\\Software\\rideder\\Print]\n\"Margin\"=\"1\"\n";
  const std::string stored = print.substr(0, print.size() - 3) + "2\"\n";
#ifdef __SANITIZE_ADDRESS__
  constexpr size_t kBytesPerFileByte = 1024;  // it pads every block and keeps freed ones a while
  // Each step costs some ten times as much there; a frame or a copy of the path per level
  // shows at 30,000 levels already.
  constexpr int32_t kLevels[] = {30000};
#else
  constexpr size_t kBytesPerFileByte = 256;
  constexpr int32_t kLevels[] = {30000, 100000};
#endif
  for (const int32_t levels : kLevels) {
    SCOPED_TRACE(levels);
    std::string deep;  // \d\d...\d
    for (int32_t i = 0; i < levels; ++i) deep += "\\d";
    struct TShape {
      std::string Rest;                         // the file after the print settings
      std::string Key;                          // a key of the file, and its value "v"
      std::function<void(TRegistry&)> MakeNew;  // as many keys again
      size_t Peak[2] = {0, 0};                  // after reading and storing, after everything
    } shapes[] = {
        {"[HKEY_CURRENT_USER" + deep + "]\n\"v\"=\"end\"\n", deep,
         [&](TRegistry& R) { R.OpenKey("\\n" + deep, true); }},
        {"", "\\w\\k0",
         [&](TRegistry& R) {
           for (int32_t i = 0; i < levels; ++i) R.OpenKey("\\n\\k" + std::to_string(i), true);
         }},
    };
    for (int32_t i = 0; i < levels; ++i)
      shapes[1].Rest += "[HKEY_CURRENT_USER\\w\\k" + std::to_string(i) + "]\n" +
                        (i == 0 ? "\"v\"=\"end\"\n" : "");
    for (TShape& shape : shapes) {
      test::WriteFileBytes(FFile, print + shape.Rest);
      TRegistry r;
      const std::string peaks = PeakGrowthInChild({
          [&] {
            if (!r.OpenKey("\\Software\\rideder\\Print", false)) throw std::runtime_error("no key");
            r.WriteString("Margin", "2");
            r.CloseKey();
            if (FileText() != stored + shape.Rest) throw std::runtime_error("not kept");
          },
          [&] {
            if (!r.OpenKeyReadOnly(shape.Key) || r.ReadString("v") != "end")
              throw std::runtime_error("not found");
            shape.MakeNew(r);
            r.WriteString("v", "new");
            r.CloseKey();
            if (!r.DeleteKey(shape.Key.substr(0, 2)) || !r.DeleteKey("\\n"))
              throw std::runtime_error("not deleted");
            r.CloseKey();
            if (FileText() != stored) throw std::runtime_error("deleted keys kept");
          },
      });
      ASSERT_EQ(std::sscanf(peaks.c_str(), "%zu %zu", &shape.Peak[0], &shape.Peak[1]), 2)
          << "the child said: \"" << peaks << "\"";
    }
    const size_t deepFile = print.size() + shapes[0].Rest.size();
    EXPECT_LE(shapes[0].Peak[0], kBytesPerFileByte * deepFile);
    EXPECT_LE(shapes[0].Peak[1], shapes[1].Peak[1]);
  }
}

// A settings file that cannot be one is skipped: the settings start empty, what the program
// writes stays in memory, and the file is left as it was. Each case runs in a child, as the
// user nobody where root would read what others may not.
TEST_F(RegistryTest, AnUnusableFileIsSkippedSaidAndNeverWritten) {
  const std::string file = FFile;
  const std::string body = "[HKEY_CURRENT_USER\\K]\n\"v\"=\"1\"\n";
  struct TCase {
    const char* What;
    std::function<void()> Make;
    bool AsNobody;
    std::string Why;  // "" when the file is used
    bool HasK = false;
  };
  std::vector<TCase> cases;
  for (const test::TUnreadableFile& u : test::UnreadableFiles())
    cases.push_back({u.What, [&, u] { u.Make(file, body); }, u.AsNobody,
                     FormatStr(SFOpenError, file.c_str(), u.Why.c_str())});
  const std::string noSettings = "Cannot read file \"" + file + "\". It is no settings file: ";
  cases.insert(
      cases.end(),
      {
          {"a zero byte",
           [&] { test::WriteFileBytes(file, body + std::string("\"w\"=\"\0\"\n", 7)); }, false,
           noSettings + "line 3 holds a zero byte"},
          {"Shift-JIS text", [&] { test::WriteFileBytes(file, body + "\"w\"=\"\x95\x5C\"\n"); },
           false, noSettings + "line 3 is not UTF-8 text"},
          {"text without a section", [&] { test::WriteFileBytes(file, "# notes\nhello\n"); }, false,
           noSettings + "it has no [section], and line 2 is no comment"},
          {"comments only", [&] { test::WriteFileBytes(file, "# notes\n;more\n"); }, false, ""},
          {"a mark of UTF-8 first", [&] { test::WriteFileBytes(file, "\xEF\xBB\xBF" + body); },
           false, "", true},
      });
  ::chmod(FDir.Path().c_str(), 0755);  // nobody may come in
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    std::filesystem::remove_all(file);
    c.Make();
    const auto type = std::filesystem::symlink_status(file).type();
    const std::string before = type == std::filesystem::file_type::regular ? FileText() : "";
    const std::string seen = test::MessageInChild([&] {
      if (c.AsNobody) test::BecomeNobody();
      TRegistry r;
      std::string out = r.SkipReason() + "|" + (r.KeyExists("\\K") ? "K" : "-");
      r.OpenKey("\\Software\\rideder\\Print", true);
      r.WriteString("Margin", "1");
      r.CloseKey();  // no error: nothing is written
      r.OpenKey("\\Software\\rideder\\Print", false);
      throw std::runtime_error(out + "|" + r.ReadString("Margin"));
    });
    const bool used = c.Why.empty();
    EXPECT_EQ(seen, c.Why + "|" + (c.HasK ? "K" : "-") + "|1");
    EXPECT_EQ(std::filesystem::symlink_status(file).type(), type);
    if (used) {
      EXPECT_NE(FileText().find("\"Margin\"=\"1\""), std::string::npos);
    } else if (type == std::filesystem::file_type::regular) {
      EXPECT_EQ(FileText(), before);
    }
  }
}

}  // namespace
}  // namespace rid
