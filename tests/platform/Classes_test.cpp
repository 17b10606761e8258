#include "platform/Classes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>

#include "platform/Locale.h"
#include "tests/FileFaults.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

std::vector<std::string> Lines(const TStrings& L) {
  std::vector<std::string> out;
  for (int32_t i = 0; i < L.Count(); ++i) out.push_back(L[i]);
  return out;
}

using V = std::vector<std::string>;

// ---------------------------------------------------------------------------------------------
// Comparison and search

TEST(StringList, IgnoresAsciiCaseButNeverFoldsDoubleByteCharacters) {
  TStringList l;
  l.Add("abc");
  l.Add("\x82\x81");  // full-width a
  l.Add("\x83\x41");  // katakana A: trail byte 'A'
  EXPECT_EQ(l.IndexOf("ABC"), 0);
  EXPECT_EQ(l.IndexOf("\x82\x60"), -1);  // full-width A is another character
  EXPECT_EQ(l.IndexOf("\x83\x61"), -1);  // small tsu: trail byte 'a', not the same as 'A'
  EXPECT_EQ(l.IndexOf("\x83\x41"), 2);
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("ABC"), -1);
  EXPECT_EQ(l.IndexOf("abc"), 0);
}

TEST(StringList, CaseInsensitiveOrderAgreesWithAnsiCompareText) {
  // Random strings over ASCII letters, lead bytes and trail bytes, so that the two sides'
  // character boundaries differ.
  const char alphabet[] = {'a', 'A', 'z', 'Z', '_', '[', '\x82', '\x83', '\x41', '\x61', '\xE0'};
  std::mt19937 rng(7);
  TStringList l;
  for (int round = 0; round < 5000; ++round) {
    std::string a, b;
    for (int i = rng() % 6; i > 0; --i) a += alphabet[rng() % sizeof alphabet];
    for (int i = rng() % 6; i > 0; --i) b += alphabet[rng() % sizeof alphabet];
    const int expected = AnsiCompareText(a, b);
    const int got = l.CompareStrings(a, b);
    ASSERT_EQ((expected > 0) - (expected < 0), got) << a << " / " << b;
  }
}

TEST(StringList, SortedListKeepsOrderAndFindsByBinarySearch) {
  TStringList l;
  for (const char* s : {"pear", "Apple", "fig", "banana", "Cherry"}) l.Add(s);
  l.SetSorted(true);
  EXPECT_EQ(Lines(l), (V{"Apple", "banana", "Cherry", "fig", "pear"}));
  int32_t index = -1;
  EXPECT_TRUE(l.Find("CHERRY", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(l.Find("date", index));
  EXPECT_EQ(index, 3);  // where it would go
  EXPECT_EQ(l.Add("date"), 3);
  EXPECT_EQ(l.IndexOf("DATE"), 3);
  EXPECT_EQ(l.IndexOf("kiwi"), -1);
}

TEST(StringList, DuplicatesIgnoredRefusedOrAccepted) {
  TStringList l;
  l.SetSorted(true);
  TObject marker;
  l.AddObject("b", &marker);
  EXPECT_EQ(l.Add("a"), 0);
  EXPECT_EQ(l.Add("B"), 1);  // dupIgnore: the existing index, nothing added
  EXPECT_EQ(l.Count(), 2);
  EXPECT_EQ(l.AddObject("b", nullptr), 1);
  EXPECT_EQ(l.Objects(1), &marker);  // the entry already there is left alone

  l.SetDuplicates(dupError);
  try {
    l.Add("b");
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "String list does not allow duplicates");
  }

  l.SetDuplicates(dupAccept);
  l.Add("b");
  l.Add("B");
  EXPECT_EQ(l.Count(), 4);
  int32_t index = -1;
  EXPECT_TRUE(l.Find("b", index));
  EXPECT_EQ(index, 1);  // the first of the equal entries
}

TEST(StringList, SortedListRefusesPositionalChanges) {
  TStringList l;
  l.SetSorted(true);
  l.Add("x");
  EXPECT_THROW(l.Insert(0, "a"), EStringListError);
  try {
    l.SetStrings(0, "y");
    FAIL() << "no exception";
  } catch (const EStringListError& e) {
    EXPECT_STREQ(e.what(), "Operation not allowed on sorted list");
  }
}

TEST(StringList, ChangingCaseSensitivityResortsASortedList) {
  TStringList l;
  for (const char* s : {"b", "B", "a", "A"}) l.Add(s);
  l.SetSorted(true);
  l.SetDuplicates(dupAccept);
  l.SetCaseSensitive(true);
  EXPECT_EQ(Lines(l), (V{"A", "B", "a", "b"}));
  int32_t index;
  EXPECT_TRUE(l.Find("a", index));
  EXPECT_EQ(index, 2);
}

TEST(StringList, IndexErrorsNameTheIndex) {
  TStringList l;
  l.Add("only");
  struct Case {
    std::function<void()> Call;
    const char* Message;
  } cases[] = {
      {[&] { l.Get(1); }, "List index out of bounds (1)"},
      {[&] { l.Get(-1); }, "List index out of bounds (-1)"},
      {[&] { l.Delete(3); }, "List index out of bounds (3)"},
      {[&] { l.Insert(2, "x"); }, "List index out of bounds (2)"},
      {[&] { l.Exchange(0, 5); }, "List index out of bounds (5)"},
      {[&] { l.SetObjects(4, nullptr); }, "List index out of bounds (4)"},
  };
  for (const Case& c : cases) {
    try {
      c.Call();
      ADD_FAILURE() << "no exception for " << c.Message;
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), c.Message);
    }
  }
  EXPECT_EQ(l.Count(), 1);
}

// ---------------------------------------------------------------------------------------------
// Editing and events

struct EventLog {
  int Changes = 0, Changings = 0;
  void Change(TObject*) { ++Changes; }
  void Changing(TObject*) { ++Changings; }
};

TEST(StringList, UpdateBracketFiresOnceAtTheOutermostLevel) {
  TStringList l;
  EventLog log;
  l.OnChange = TNotifyEvent(&log, &EventLog::Change);
  l.OnChanging = TNotifyEvent(&log, &EventLog::Changing);
  l.Add("a");
  l.Add("b");
  EXPECT_EQ(log.Changes, 2);
  EXPECT_EQ(log.Changings, 2);

  log = {};
  l.BeginUpdate();
  l.BeginUpdate();
  l.Add("c");
  l.Delete(0);
  l.EndUpdate();
  EXPECT_EQ(log.Changes, 0);
  l.SetStrings(0, "x");
  l.EndUpdate();
  EXPECT_EQ(log.Changes, 1);
  EXPECT_EQ(log.Changings, 1);

  log = {};
  l.SetText("1\r\n2\r\n3");  // one bracket around the whole replacement
  EXPECT_EQ(log.Changes, 1);
  {
    TStringsUpdate guard(&l);
    l.Clear();
  }
  EXPECT_EQ(log.Changes, 2);
}

TEST(StringList, ExchangeMoveAddStringsAndAssignCarryObjects) {
  TObject o1, o2;
  TStringList l;
  l.AddObject("one", &o1);
  l.AddObject("two", &o2);
  l.Add("three");
  l.Exchange(0, 1);
  EXPECT_EQ(Lines(l), (V{"two", "one", "three"}));
  EXPECT_EQ(l.Objects(0), &o2);
  l.Move(0, 2);
  EXPECT_EQ(Lines(l), (V{"one", "three", "two"}));
  EXPECT_EQ(l.Objects(2), &o2);
  EXPECT_EQ(l.IndexOfObject(&o1), 0);

  TStringList copy;
  copy.Add("old");
  copy.Assign(&l);
  EXPECT_EQ(Lines(copy), Lines(l));
  EXPECT_EQ(copy.Objects(0), &o1);
  copy.AddStrings(&l);
  EXPECT_EQ(copy.Count(), 6);
}

TEST(StringList, NameValuePairs) {
  TStringList l;
  l.SetText("Color=red\r\nSize=10\r\nplain\r\nempty=");
  EXPECT_EQ(l.Names(0), "Color");
  EXPECT_EQ(l.Names(2), "");
  EXPECT_EQ(l.Values("color"), "red");
  EXPECT_EQ(l.Values("missing"), "");
  EXPECT_EQ(l.IndexOfName("SIZE"), 1);
  EXPECT_EQ(l.IndexOfName("plain"), -1);
  EXPECT_EQ(l.ValueFromIndex(1), "10");
  l.SetValues("size", "12");
  EXPECT_EQ(l[1], "size=12");
  l.SetValues("New", "x=y");
  EXPECT_EQ(l[4], "New=x=y");
  EXPECT_EQ(l.Values("new"), "x=y");
  l.SetValues("Color", "");
  EXPECT_EQ(l.IndexOfName("Color"), -1);
  EXPECT_EQ(l.Count(), 4);
}

TEST(StringList, SortAndCustomSortAreStable) {
  TStringList l;
  TObject first, second;
  l.AddObject("b", &first);
  l.Add("a");
  l.AddObject("B", &second);
  l.Sort();
  EXPECT_EQ(Lines(l), (V{"a", "b", "B"}));
  EXPECT_EQ(l.Objects(1), &first);
  l.CustomSort([](TStringList* List, int32_t A, int32_t B) {
    return List->CompareStrings(List->Get(B), List->Get(A));  // descending
  });
  EXPECT_EQ(Lines(l), (V{"b", "B", "a"}));
  EXPECT_FALSE(l.GetSorted());
}

// ---------------------------------------------------------------------------------------------
// Text, comma text, files

TEST(StringList, TextSplitsOnEveryBreakAndJoinsWithCrLf) {
  struct Case {
    std::string Text;
    V Lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\r\n", {"a"}},
      {"\r\n", {""}},
      {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"a\n\rb", {"a", "", "b"}},
      {"a\r\n\r\n", {"a", ""}},
      {std::string("x\0y\r\n\x82\x5C", 7), {std::string("x\0y", 3), "\x82\x5C"}},
  };
  TStringList l;
  for (const Case& c : cases) {
    l.SetText(c.Text);
    EXPECT_EQ(Lines(l), c.Lines) << c.Text;
    std::string joined;
    for (const std::string& s : c.Lines) joined += s + "\r\n";
    EXPECT_EQ(l.GetText(), joined);
  }
}

TEST(StringList, CommaTextQuotesWhatNeedsIt) {
  TStringList l;
  for (const char* s : {"plain", "two words", "say \"hi\"", "a,b", "\x83\x5C\x83\x41", ""})
    l.Add(s);
  const std::string text = l.GetCommaText();
  EXPECT_EQ(text, "plain,\"two words\",\"say \"\"hi\"\"\",\"a,b\",\x83\x5C\x83\x41,");
  TStringList back;
  back.SetCommaText(text);
  EXPECT_EQ(Lines(back), Lines(l));

  back.SetCommaText(" a b , c,\"d e\"f ");
  EXPECT_EQ(Lines(back), (V{"a", "b", "c", "d e", "f"}));
  l.Clear();
  l.Add("");
  EXPECT_EQ(l.GetCommaText(), "\"\"");
}

TEST(StringList, FilesKeepTheirBytes) {
  test::TempDir dir;
  const std::string name = (dir / "list.txt").string();
  const std::string bytes = "\x8A\xBF\x8E\x9A\r\nline\rlast";
  test::WriteFileBytes(name, bytes);
  TStringList l;
  l.LoadFromFile(name);
  EXPECT_EQ(Lines(l), (V{"\x8A\xBF\x8E\x9A", "line", "last"}));
  l.SaveToFile(name);
  EXPECT_EQ(test::ReadFileBytes(name), "\x8A\xBF\x8E\x9A\r\nline\r\nlast\r\n");
  try {
    l.LoadFromFile((dir / "missing.txt").string());
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("missing.txt"), std::string::npos) << e.what();
  }
}

// ---------------------------------------------------------------------------------------------
// Streams

TEST(Streams, MemoryStreamReadsWritesAndSeeks) {
  TMemoryStream m;
  m.WriteBuffer("hello world");
  EXPECT_EQ(m.Size(), 11);
  EXPECT_EQ(m.Position(), 11);
  EXPECT_EQ(m.Seek(-5, soFromEnd), 6);
  char buf[8] = {};
  EXPECT_EQ(m.Read(buf, 8), 5);
  EXPECT_EQ(std::string(buf, 5), "world");
  EXPECT_EQ(m.Read(buf, 8), 0);
  m.SetPosition(0);
  m.WriteBuffer("J", 1);
  EXPECT_EQ(m.Bytes(), "Jello world");
  m.SetPosition(13);  // writing past the end leaves zeros in the gap
  m.WriteBuffer("!");
  EXPECT_EQ(m.Bytes(), std::string("Jello world\0\0!", 14));
  m.SetSize(5);
  EXPECT_EQ(m.Position(), 5);
  EXPECT_EQ(m.Bytes(), "Jello");
  m.SetPosition(2);
  EXPECT_THROW(m.ReadBuffer(buf, 4), EReadError);
}

TEST(Streams, CopyFromCopiesACountOrTheWholeSource) {
  TMemoryStream src, dst;
  src.WriteBuffer("0123456789");
  src.SetPosition(3);
  EXPECT_EQ(dst.CopyFrom(&src, 4), 4);
  EXPECT_EQ(dst.Bytes(), "3456");
  EXPECT_EQ(dst.CopyFrom(&src, 0), 10);
  EXPECT_EQ(dst.Bytes(), "34560123456789");
  EXPECT_THROW(dst.CopyFrom(&src, 1), EReadError);  // src is at its end
}

TEST(Streams, FileStreamModes) {
  test::TempDir dir;
  const std::string name = (dir / "data.bin").string();
  {
    TFileStream f(name, fmCreate | fmShareExclusive);
    f.WriteBuffer(std::string("abc\0def", 7));
    EXPECT_EQ(f.Size(), 7);
  }
  {
    TFileStream f(name, fmOpenReadWrite | fmShareDenyNone);
    f.Seek(2, soFromBeginning);
    f.WriteBuffer("C");
    f.SetSize(4);
    EXPECT_EQ(f.Position(), 4);
  }
  {
    TFileStream f(name, fmOpenRead);
    EXPECT_EQ(f.ReadRest(), std::string("abC\0", 4));
    char c;
    EXPECT_EQ(f.Write(&c, 1), 0);  // opened for reading only
  }
  TMemoryStream m;
  m.LoadFromFile(name);
  EXPECT_EQ(m.Size(), 4);

  try {
    TFileStream f((dir / "nope.bin").string(), fmOpenRead);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_NE(std::string(e.what()).find("nope.bin"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TFileStream((dir / "no" / "such.bin").string(), fmCreate), EFCreateError);
  EXPECT_THROW(TFileStream(dir.Path().string(), fmOpenRead), EFOpenError);
}

// ---------------------------------------------------------------------------------------------
// Whole files

// Only regular files are read: anything else raises at once, naming the file and what it is,
// instead of waiting for a pipe's writer or reading a device without end.
TEST(LoadBytesFromFile, ReadsRegularFilesOnly) {
  test::TempDir dir;
  const auto fifo = dir / "pipe";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  std::filesystem::create_directory(dir / "folder");
  const std::vector<std::pair<std::string, const char*>> cases = {
      {fifo.string(), "It is a pipe (FIFO), not a regular file"},
      {"/dev/zero", "It is a device, not a regular file"},
      {"/dev/null", "It is a device, not a regular file"},
      {(dir / "folder").string(), "It is a folder, not a regular file"},
      {(dir / "missing").string(), "No such file or directory"},
  };
  const std::vector<std::pair<const char*, std::function<void(const std::string&)>>> loaders = {
      {"bytes", [](const std::string& f) { LoadBytesFromFile(f); }},
      {"list", [](const std::string& f) { TStringList().LoadFromFile(f); }},
      {"stream", [](const std::string& f) { TMemoryStream().LoadFromFile(f); }},
  };
  for (const auto& [name, says] : cases)
    for (const auto& [how, load] : loaders) {
      SCOPED_TRACE(name + " " + how);
      EXPECT_EQ(test::MessageInChild([&] { load(name); }),
                "Cannot open file \"" + name + "\". " + says);
    }
  test::WriteFileBytes(dir / "empty", "");
  std::filesystem::create_symlink("empty", dir / "link");
  test::WriteFileBytes(dir / "full", std::string(100000, '\x81'));
  EXPECT_EQ(LoadBytesFromFile((dir / "link").string()), "");
  EXPECT_EQ(LoadBytesFromFile((dir / "full").string()), std::string(100000, '\x81'));
}

TEST(LoadBytesFromFile, RunningOutOfMemoryNamesTheFileAndItsSize) {
  if (test::NoOutOfMemoryReason) GTEST_FAIL() << test::NoOutOfMemoryReason;
  test::TempDir dir;
  const std::string big = (dir / "big.txt").string();
  test::WriteSparseFile(big, "", 1ull << 30);
  EXPECT_EQ(test::MessageWithLittleMemory(256 << 20, [&] { LoadBytesFromFile(big); }),
            "Not enough memory for file \"" + big + "\" (1073741824 bytes)");
}

// ---------------------------------------------------------------------------------------------
// Atomic saving

TEST(AtomicSave, ReplacesTheFileAndKeepsItsPermissions) {
  test::TempDir dir;
  const auto name = dir / "keep.txt";
  test::WriteFileBytes(name, "old");
  ::chmod(name.c_str(), 0640);
  SaveBytesToFileAtomic(name.string(), "new contents");
  EXPECT_EQ(test::ReadFileBytes(name), "new contents");
  struct stat st;
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  // Nothing but the file is left in the folder.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

TEST(AtomicSave, FollowsASymbolicLink) {
  test::TempDir dir;
  test::WriteFileBytes(dir / "target.txt", "old");
  std::filesystem::create_symlink("target.txt", dir / "link.txt");
  TMemoryStream m;
  m.WriteBuffer("via link");
  m.SaveToFile((dir / "link.txt").string());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "link.txt"));
  EXPECT_EQ(test::ReadFileBytes(dir / "target.txt"), "via link");
}

TEST(AtomicSave, AFailedWriteLeavesTheOldFileWhole) {
  test::TempDir dir;
  const auto name = dir / "precious.txt";
  const std::string old(100, 'o');
  test::WriteFileBytes(name, old);
  // A file-size limit makes the write fail half way, as a full disk would (root included).
  struct rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = saved;
  small.rlim_cur = 1000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  TStringList l;
  l.SetText(std::string(5000, 'n'));
  std::string message;
  try {
    l.SaveToFile(name.string());
  } catch (const EStreamError& e) {
    message = e.what();
  }
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::signal(SIGXFSZ, oldHandler);
  EXPECT_NE(message.find("precious.txt"), std::string::npos) << message;
  EXPECT_EQ(test::ReadFileBytes(name), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// The content is streamed into the temporary file; when its writer raises part way (a
// conversion, memory), the old file stays and the temporary file goes.
TEST(AtomicSave, StreamsTheContentAndDropsItWhenTheWriterRaises) {
  test::TempDir dir;
  const auto name = dir / "streamed.txt";
  test::WriteFileBytes(name, "old");
  ::chmod(name.c_str(), 0600);
  SaveToFileAtomic(name.string(), [](TStream& Out) {
    for (int i = 0; i < 3; ++i) Out.WriteBuffer(std::string(20000, char('a' + i)));
  });
  EXPECT_EQ(test::ReadFileBytes(name),
            std::string(20000, 'a') + std::string(20000, 'b') + std::string(20000, 'c'));
  struct stat st;
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_THROW(SaveToFileAtomic(name.string(),
                                [](TStream& Out) {
                                  Out.WriteBuffer(std::string(50000, 'n'));
                                  throw std::bad_alloc();
                                }),
               std::bad_alloc);
  EXPECT_EQ(test::ReadFileBytes(name).size(), 60000u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
}

// Whatever stops a save, as root too, it raises naming the file and the old file stays whole.
TEST(AtomicSave, AFailedSaveRaisesAndKeepsTheOldFile) {
  for (test::TSaveFault fault : test::AllSaveFaults()) {
    SCOPED_TRACE(test::SaveFaultName(fault));
    test::TFailingSave save(fault, "old");
    const std::string message =
        save.Run([&] { SaveBytesToFileAtomic(save.Target.string(), "new"); });
    EXPECT_TRUE(message.starts_with("Cannot create file \"" + save.Target.string() + "\". ") ||
                message.starts_with("Cannot write file \"" + save.Target.string() + "\". "))
        << message;
    EXPECT_EQ(test::ReadFileBytes(save.Kept()), "old");
    EXPECT_EQ(save.Names(), V{"keep.txt"});
  }
}

// A file without write permission is read-only to everyone here, root included, also behind a
// link; every save raises the create error and leaves it as it was.
TEST(AtomicSave, NeverReplacesAReadOnlyFile) {
  test::TempDir dir;
  const auto name = dir / "ro.txt";
  test::WriteFileBytes(name, "old");
  ::chmod(name.c_str(), 0444);
  std::filesystem::create_symlink("ro.txt", dir / "link.txt");
  TStringList list;
  list.Add("new");
  TMemoryStream stream;
  stream.WriteBuffer("new");
  const std::vector<std::pair<std::string, std::function<void()>>> saves = {
      {"bytes", [&] { SaveBytesToFileAtomic(name.string(), "new"); }},
      {"link", [&] { SaveBytesToFileAtomic((dir / "link.txt").string(), "new"); }},
      {"list", [&] { list.SaveToFile(name.string()); }},
      {"stream", [&] { stream.SaveToFile(name.string()); }},
  };
  for (const auto& [what, save] : saves) {
    SCOPED_TRACE(what);
    try {
      save();
      ADD_FAILURE() << "no exception";
    } catch (const EFCreateError& e) {
      EXPECT_NE(std::string(e.what()).find("is read-only"), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(".txt\""), std::string::npos) << e.what();
    }
    EXPECT_EQ(test::ReadFileBytes(name), "old");
    struct stat st;
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST(AtomicSave, NeverReplacesWhatIsNotARegularFileAndChecksAsItSaves) {
  test::TempDir dir;
  test::MakeNullDevice(dir / "device");
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
  std::filesystem::create_directory(dir / "folder");
  std::filesystem::create_symlink("pipe", dir / "link-to-pipe");
  test::WriteFileBytes(dir / "ro", "old");
  ::chmod((dir / "ro").c_str(), 0444);
  test::WriteFileBytes(dir / "plain", "old");
  std::filesystem::create_symlink("missing", dir / "dangling");
  std::filesystem::create_symlink("loop2", dir / "loop");
  std::filesystem::create_symlink("loop", dir / "loop2");
  struct TCase {
    const char* Name;
    const char* Reason;  // nullptr: replaced
  };
  const TCase cases[] = {
      {"device", "It is a device, not a regular file"},
      {"pipe", "It is a pipe (FIFO), not a regular file"},
      {"link-to-pipe", "It is a pipe (FIFO), not a regular file"},
      {"folder", "It is a folder, not a regular file"},
      {"ro", "The file is read-only"},
      {"none/x", "No such file or directory"},
      {"loop", "Too many levels of symbolic links"},
      {"plain", nullptr},
      {"dangling", nullptr},
  };
  const auto kind = [&](const char* Name) {
    struct stat st {};
    ::lstat((dir / Name).c_str(), &st);
    return st.st_mode;
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    const std::string name = (dir / c.Name).string();
    const mode_t before = kind(c.Name);
    for (const bool save : {false, true}) {
      const std::string message = test::MessageInChild(
          [&] { save ? SaveBytesToFileAtomic(name, "new") : CheckCanReplaceFile(name); });
      if (c.Reason) {
        EXPECT_EQ(message, "Cannot create file \"" + name + "\". " + c.Reason);
        EXPECT_EQ(kind(c.Name), before);
      } else {
        EXPECT_EQ(message, "(no exception)");
      }
    }
  }
  EXPECT_EQ(test::ReadFileBytes(dir / "plain"), "new");
  EXPECT_EQ(test::ReadFileBytes(dir / "missing"), "new");  // through the link, which stays
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "dangling"));
  EXPECT_EQ(test::ReadFileBytes(dir / "ro"), "old");
  // No temporary file is left beside them.
  for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
    EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
}

// The check before a long job answers for the effective user, as the save does: a process whose
// real user may write the folder but whose effective user may not is refused by both.
TEST(AtomicSave, TheCheckAnswersForTheEffectiveUserAsTheSaveDoes) {
  test::TempDir dir;
  const std::string name = (dir / "x.txt").string();
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "save" : "check");
    const std::string message = test::MessageInChild([&] {
      // Root (as the tests run) keeps root as the real user and takes nobody as the effective.
      if (::geteuid() == 0 && ::seteuid(65534) != 0) throw std::runtime_error("no seteuid");
      save ? SaveBytesToFileAtomic(name, "new") : CheckCanReplaceFile(name);
    });
    EXPECT_EQ(message, "Cannot create file \"" + name + "\". Permission denied");
  }
  EXPECT_FALSE(std::filesystem::exists(name));
}

// Where a rename would fail or lose something of the old file (its folder takes no new file, it
// has a second name, its owner cannot be given to a new file) the save writes it in place,
// keeping its inode, owner, mode and other name; elsewhere it renames. A write that fails part
// way puts the old text back and says so; one that fails at once says the file was left as it
// was. Set-ID bits that a write by another than the owner clears are gone, and the save says
// so. No temporary file or copy of the old text is left.
TEST(AtomicSave, WritesInPlaceWhereARenameWouldLoseSomething) {
  using enum test::TSaveSite;
  const std::string old(4000, 'o'), text = "x" + old;
  struct TCase {
    test::TSaveSite Site;
    bool InPlace;
    mode_t Mode;
    uid_t Owner;
    const char* Says;                // nullptr: saved
    std::string Dropped = "(none)";  // what the save says it could not keep
  };
  const TCase cases[] = {
      {Plain, false, 0640, 0, nullptr},
      {ThroughLink, false, 0640, 0, nullptr},
      {LongName, false, 0640, 0, nullptr},
      {HardLinked, true, 0640, 0, nullptr},
      {FolderRefuses, true, 0644, test::kNobody, nullptr},
      {StickyFolder, true, 0666, 0, nullptr},
      {NotOwner, true, 0666, 0, nullptr},
      {FailsMidway, true, 0640, 0, "File too large; the old text was put back"},
      {FailsAtOnce, true, 0640, 0, "No space left on device; the file was left as it was"},
      {SetIdNotOwner, true, 0777, 0, nullptr, test::kSetIdBitsWrittenOver},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.Site));
    test::TSaveSiteFiles f(c.Site, old);
    const auto before = test::TSaveSiteFiles::See(f.Real);
    const std::string message = test::MessageInChild([&] {
      f.BecomeSaver();
      CheckCanReplaceFile(f.File.string());  // as the save finds it
      const TSavedFile saved =
          SaveToFileAtomic(f.File.string(), [&](TStream& Out) { Out.WriteBuffer(text); });
      throw std::runtime_error(saved.Dropped.empty() ? "(none)" : saved.DroppedText());
    });
    EXPECT_EQ(message,
              c.Says ? "Cannot write file \"" + f.File.string() + "\". " + c.Says : c.Dropped);
    const auto after = test::TSaveSiteFiles::See(f.Real);
    EXPECT_EQ(after.Bytes, c.Says ? old : text);
    EXPECT_EQ(after.Mode, c.Mode);
    EXPECT_EQ(after.Owner, c.Owner);
    EXPECT_EQ(after.Inode == before.Inode, c.InPlace);
    if (!f.Partner.empty()) {
      EXPECT_EQ(test::ReadFileBytes(f.Partner), after.Bytes);  // the other name, the same text
    }
    EXPECT_EQ(std::filesystem::is_symlink(f.File), c.Site == ThroughLink);
    EXPECT_EQ(f.Leftovers(), V{});
  }
}

// An ending signal that comes while a file is written in place ends the program once the file
// holds the whole new text.
TEST(AtomicSave, AnEndingSignalWaitsUntilAFileWrittenInPlaceIsWhole) {
  test::TSaveSiteFiles f(test::TSaveSite::HardLinked, "old");
  const std::string message = test::MessageInChild([&] {
    RemoveTemporaryFilesOnSignals();
    SaveToFileAtomic(f.File.string(), [](TStream& Out) {
      Out.WriteBuffer("first half, ");
      ::raise(SIGTERM);
      Out.WriteBuffer("second half");
    });
  });
  EXPECT_EQ(message, "");  // ended by the signal, after the save
  EXPECT_EQ(test::ReadFileBytes(f.Partner), "first half, second half");
  EXPECT_EQ(f.Leftovers(), V{});
}

TEST(AtomicSave, AMissingFolderRaisesWithTheName) {
  test::TempDir dir;
  try {
    SaveBytesToFileAtomic((dir / "none" / "x.txt").string(), "data");
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_NE(std::string(e.what()).find("x.txt"), std::string::npos) << e.what();
  }
}

// What another program does to a file after a save looked at it: before the save or while the
// save writes.
enum class TDoneMeanwhile {
  Nothing,
  Appended,
  Replaced,
  SwappedForALink,
  Deleted,
  Created,
  Retargeted
};

void DoMeanwhile(TDoneMeanwhile What, const test::TSaveSiteFiles& F) {
  namespace fs = std::filesystem;
  const fs::path other = F.Real.parent_path() / "other";
  switch (What) {
    case TDoneMeanwhile::Nothing:
      break;
    case TDoneMeanwhile::Appended:
      test::WriteFileBytes(F.Real, test::ReadFileBytes(F.Real) + "appended\n");
      break;
    case TDoneMeanwhile::Replaced:
    case TDoneMeanwhile::Created:
      test::WriteFileBytes(other, "other\n");
      fs::rename(other, F.File);
      break;
    case TDoneMeanwhile::SwappedForALink:
      fs::create_symlink("secret", other);
      fs::rename(other, F.File);
      break;
    case TDoneMeanwhile::Deleted:
      fs::remove(F.File);
      break;
    case TDoneMeanwhile::Retargeted:
      fs::remove(F.File);
      fs::create_symlink("secret", F.File);
      break;
  }
}

// A save given the state of the file it looked at writes that very file or nothing: whatever
// was done to the name since (the text changed, another file or a link put there, the file
// deleted, a file made where there was none, the link it was opened through turned elsewhere),
// before the save or while it writes, it raises and writes nothing, also not through a link
// that came meanwhile. Only a file written in place is written as it was opened.
TEST(AtomicSave, WritesOnlyTheFileThatWasLookedAt) {
  using enum test::TSaveSite;
  using enum TDoneMeanwhile;
  enum THolds { kNew, kOld, kAppended, kOther, kSecret, kNothing };
  struct TCase {
    test::TSaveSite Site;
    bool DeletedFirst;  // the name was free when looked at
    TDoneMeanwhile Done;
    bool WhileWriting;
    bool Saved;
    THolds Holds;  // what the name shows afterwards
  };
  const TCase cases[] = {
      {Plain, false, Nothing, false, true, kNew},
      {Plain, false, Appended, false, false, kAppended},
      {Plain, false, Replaced, false, false, kOther},
      {Plain, false, SwappedForALink, false, false, kSecret},
      {Plain, false, Deleted, false, false, kNothing},
      {Plain, true, Nothing, false, true, kNew},
      {Plain, true, Created, false, false, kOther},
      {Plain, true, SwappedForALink, false, false, kSecret},
      {ThroughLink, false, Nothing, false, true, kNew},
      {ThroughLink, false, Retargeted, false, false, kSecret},
      {Plain, false, Appended, true, false, kAppended},
      {Plain, false, SwappedForALink, true, false, kSecret},
      {Plain, false, Deleted, true, false, kNothing},
      {Plain, true, Created, true, false, kOther},
      {HardLinked, false, Appended, false, false, kAppended},
      {HardLinked, false, SwappedForALink, false, false, kSecret},
      {HardLinked, false, Deleted, false, false, kNothing},
      {HardLinked, false, SwappedForALink, true, true, kSecret},
  };
  const std::string old = "old\n", text = "new text\n";
  for (const TCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "site " << int(c.Site) << ", done " << int(c.Done)
                                    << (c.DeletedFirst ? ", free first" : "")
                                    << (c.WhileWriting ? ", while writing" : ""));
    test::TSaveSiteFiles f(c.Site, old);
    const auto secret = f.Real.parent_path() / "secret";
    test::WriteFileBytes(secret, "secret\n");
    ::chmod(secret.c_str(), 0600);
    if (c.DeletedFirst) std::filesystem::remove(f.File);
    const TFileState looked = FileStateOf(f.File.string());
    if (!c.WhileWriting) DoMeanwhile(c.Done, f);
    const std::string message = test::MessageInChild([&] {
      f.BecomeSaver();
      SaveToFileAtomic(
          f.File.string(),
          [&](TStream& Out) {
            Out.WriteBuffer(text);
            if (c.WhileWriting) DoMeanwhile(c.Done, f);
          },
          nullptr, &looked);
    });
    EXPECT_EQ(message, c.Saved ? "(no exception)"
                               : "Cannot create file \"" + f.File.string() +
                                     "\". It changed on disk after it was checked");
    const std::string holds[] = {text, old, old + "appended\n", "other\n", "secret\n"};
    const auto now = test::TSaveSiteFiles::See(f.File);
    EXPECT_EQ(now.Exists, c.Holds != kNothing);
    if (c.Holds != kNothing) {
      EXPECT_EQ(now.Bytes, holds[c.Holds]);
    }
    EXPECT_EQ(std::filesystem::is_symlink(f.File), c.Holds == kSecret || c.Site == ThroughLink);
    EXPECT_EQ(test::ReadFileBytes(secret), "secret\n");
    if (!f.Partner.empty()) {
      // The file looked at, as the save or the other program left it.
      EXPECT_EQ(test::ReadFileBytes(f.Partner),
                c.Saved ? text : (c.Done == Appended ? old + "appended\n" : old));
    }
    EXPECT_EQ(f.Leftovers(), V{});
  }
}

// What a file carries besides its text, as the real tools show it: owner, group, whole mode,
// ACL and extended attributes.
std::string Carried(const std::filesystem::path& File) {
  struct stat st {};
  ::stat(File.c_str(), &st);
  const std::string name = test::ShellQuoted(File.string());
  return FormatStr("owner %u, group %u, mode %04o\n", unsigned(st.st_uid), unsigned(st.st_gid),
                   unsigned(st.st_mode & 07777)) +
         test::RunTool("getfacl -c " + name) +
         test::RunTool("getfattr -d -m - --absolute-names " + name);
}

// A save keeps the whole mode (set-user-ID, set-group-ID, sticky), the ACL and every extended
// attribute of the file, as root and as the file's owner, whether it renames a new file over
// the old one or writes in place (a hard-linked file); an attribute the saver cannot give a new
// file (security.*, which only root may set) makes it write in place. A file capability, which
// any write clears, is set again by root; its owner may not, and the save says so.
TEST(AtomicSave, KeepsTheWholeModeTheAclAndTheAttributes) {
  RID_NEED_TOOL("setfacl", "acl");
  RID_NEED_TOOL("getfacl", "acl");
  RID_NEED_TOOL("setfattr", "attr");
  RID_NEED_TOOL("getfattr", "attr");
  RID_NEED_TOOL("setcap", "libcap2-bin");
  struct TCase {
    const char* What;
    mode_t Mode;
    const char* Command;  // a shell command run on the file ($f) and its folder ($d) first
    bool OnlyRootMaySet;
    bool KeptByOwner = true;
  };
  const TCase cases[] = {
      {"set-user-ID", 04755, ":", false},
      {"set-group-ID", 02775, ":", false},
      {"both, and no one else may read", 06750, ":", false},
      {"sticky", 01644, ":", false},
      {"an ACL entry", 0644, "setfacl -m u:nobody:rw \"$f\"", false},
      {"a user attribute", 0644, "setfattr -n user.comment -v keepme \"$f\"", false},
      {"an ACL and an attribute", 0640,
       "setfacl -m g:root:r,u:root:rw \"$f\" && setfattr -n user.x -v 1 \"$f\"", false},
      {"a folder that gives new files an ACL", 0644, "setfacl -d -m u:root:rwx \"$d\"", false},
      {"a security attribute", 0644, "setfattr -n security.test -v 1 \"$f\"", true},
      {"a file capability", 0755, "setcap cap_net_raw+ep \"$f\"", true, false},
  };
  for (const TCase& c : cases)
    for (const bool byOwner : {false, true})
      for (const bool hardLinked : {false, true}) {
        SCOPED_TRACE(std::string(c.What) + (byOwner ? ", by the owner" : ", by root") +
                     (hardLinked ? ", hard-linked" : ""));
        test::TempDir dir;
        ::chmod(dir.Path().c_str(), 0755);
        const auto folder = dir / "folder", file = folder / "f.txt", cache = dir / "cache";
        std::filesystem::create_directories(folder);
        std::filesystem::create_directories(cache);
        test::WriteFileBytes(file, "old\n");
        if (hardLinked) std::filesystem::create_hard_link(file, folder / "partner.txt");
        ASSERT_EQ(::chown(folder.c_str(), test::kNobody, test::kNobody), 0);
        ASSERT_EQ(::chown(file.c_str(), test::kNobody, test::kNobody), 0);
        ASSERT_EQ(::chown(cache.c_str(), test::kNobody, test::kNobody), 0);
        ASSERT_EQ(::chmod(file.c_str(), c.Mode), 0);
        test::RunTool("f=" + test::ShellQuoted(file) + " d=" + test::ShellQuoted(folder) +
                      " sh -c " + test::ShellQuoted(c.Command));
        const std::string before = Carried(file);
        struct stat old {};
        ::stat(file.c_str(), &old);
        const std::string message = test::MessageInChild([&] {
          ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
          if (byOwner) test::BecomeNobody();
          const TSavedFile saved =
              SaveToFileAtomic(file.string(), [](TStream& Out) { Out.WriteBuffer("new\n"); });
          if (!saved.Dropped.empty()) throw std::runtime_error(saved.DroppedText());
        });
        EXPECT_EQ(message,
                  !byOwner || c.KeptByOwner ? "(no exception)" : test::kCapabilitiesDropped);
        EXPECT_EQ(test::ReadFileBytes(file), "new\n");
        if (!byOwner || c.KeptByOwner)
          EXPECT_EQ(Carried(file), before);
        else
          EXPECT_EQ(test::RunTool("getfattr -d -m - --absolute-names " + test::ShellQuoted(file)),
                    "");
        struct stat now {};
        ::stat(file.c_str(), &now);
        EXPECT_EQ(now.st_ino == old.st_ino, hardLinked || (byOwner && c.OnlyRootMaySet));
      }
}

// A file mounted over another name cannot be renamed over; the save writes it in place, as the
// window does with a file it looked at.
TEST(AtomicSave, WritesInPlaceWhereTheRenameIsRefused) {
  RID_NEED_TOOL("mount", "mount");
  test::TempDir dir;
  const auto a = dir / "a.txt", b = dir / "b.txt";
  for (const bool looked : {false, true}) {
    SCOPED_TRACE(looked ? "looked at" : "not looked at");
    test::WriteFileBytes(a, "a old\n");
    test::WriteFileBytes(b, "b old\n");
    const std::string message = test::MessageInChild([&] {
      // A mount namespace of the child's own: the mount goes with the child.
      if (::unshare(CLONE_NEWNS) != 0 ||
          ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        throw std::runtime_error(std::string("no mount namespace: ") + std::strerror(errno));
      test::RunTool("mount --bind " + test::ShellQuoted(a) + " " + test::ShellQuoted(b));
      if (test::ReadFileBytes(b) != "a old\n") throw std::runtime_error("a is not mounted on b");
      ::setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
      const TFileState state = FileStateOf(b.string());
      SaveToFileAtomic(
          b.string(), [](TStream& Out) { Out.WriteBuffer("new\n"); }, nullptr,
          looked ? &state : nullptr);
    });
    EXPECT_EQ(message, "(no exception)");
    EXPECT_EQ(test::ReadFileBytes(a), "new\n");
    EXPECT_EQ(test::ReadFileBytes(b), "b old\n");
    V names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (V{"a.txt", "b.txt", "cache"}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "cache" / "rideder"), {}), 0);
  }
}

// The old text of a file written in place is copied only into a cache folder that is a real
// folder of the saver's alone, mode 0700, as it is when opened; else into the temporary folder.
// Where neither serves, the save refuses before it touches the file, saying why of each.
TEST(AtomicSave, KeepsTheOldTextOnlyInAFolderOfTheSaversAlone) {
  namespace fs = std::filesystem;
  enum TWhere { kCache, kTemporary, kRefused };
  struct TCase {
    const char* What;
    std::function<void(const fs::path& Folder, const fs::path& Others)> Make;
    TWhere Where;
  };
  const auto folder = [](mode_t Mode, uid_t Owner) {
    return [=](const fs::path& F, const fs::path&) {
      fs::create_directory(F);
      ::chmod(F.c_str(), Mode);
      if (::chown(F.c_str(), Owner, Owner) != 0) throw std::runtime_error("no chown");
    };
  };
  const auto link = [](const fs::path& F, const fs::path& Others) {
    fs::create_symlink(Others, F);
  };
  const TCase cases[] = {
      {"missing, so made", [](const fs::path&, const fs::path&) {}, kCache},
      {"the saver's, 0700", folder(0700, 0), kCache},
      {"the saver's, 0755", folder(0755, 0), kTemporary},
      {"the saver's, 0770", folder(0770, 0), kTemporary},
      {"another user's, 0700", folder(0700, test::kNobody), kTemporary},
      {"a link into another user's folder", link, kTemporary},
      {"a file", [](const fs::path& F, const fs::path&) { test::WriteFileBytes(F, "x"); },
       kTemporary},
      {"a link, and no temporary folder", link, kRefused},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.What);
    test::TempDir dir;
    const fs::path cache = dir / "cache", ours = cache / "rideder", others = dir / "others",
                   temporary = dir / (c.Where == kRefused ? "none" : "tmp");
    fs::create_directories(cache);
    fs::create_directories(others);
    ::chmod(others.c_str(), 0700);
    ASSERT_EQ(::chown(others.c_str(), test::kNobody, test::kNobody), 0);
    if (c.Where != kRefused) fs::create_directories(temporary);
    c.Make(ours, others);
    const auto file = dir / "f.txt";
    test::WriteFileBytes(file, "old\n");
    fs::create_hard_link(file, dir / "g.txt");  // written in place
    // Where copies are, counted while the new text is written.
    const auto copies = [&] {
      const auto count = [](const fs::path& F) {
        return fs::is_directory(fs::symlink_status(F))
                   ? std::distance(fs::directory_iterator(F), {})
                   : 0;
      };
      return FormatStr("cache %d, others %d, temporary %d", int(count(ours)), int(count(others)),
                       int(count(temporary)));
    };
    const auto report = dir / "report";
    const std::string message = test::MessageInChild([&] {
      ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
      ::setenv("TMPDIR", temporary.c_str(), 1);
      SaveToFileAtomic(file.string(), [&](TStream& Out) {
        test::WriteFileBytes(report, copies());
        Out.WriteBuffer("new\n");
      });
    });
    if (c.Where == kRefused) {
      EXPECT_EQ(message,
                "Cannot create file \"" + file.string() +
                    "\". No copy of the old text could be kept while it is written over (" +
                    ours.string() + ": It is not a folder of the user's alone (mode 0700); " +
                    temporary.string() + ": No such file or directory)");
      EXPECT_EQ(test::ReadFileBytes(file), "old\n");
      EXPECT_FALSE(fs::exists(report));
    } else {
      EXPECT_EQ(message, "(no exception)");
      EXPECT_EQ(test::ReadFileBytes(file), "new\n");
      EXPECT_EQ(test::ReadFileBytes(report), c.Where == kCache ? "cache 1, others 0, temporary 0"
                                                               : "cache 0, others 0, temporary 1");
    }
    EXPECT_EQ(copies(), "cache 0, others 0, temporary 0");  // removed after the save
  }
}

// Two looks at one file: Then, and Now with one thing of it changed. Another owner, group, kind
// or inode is another file; another size, modification time, or status change time with the same
// number of names may be another content; a name added or taken away alone is nothing.
TEST(FileStates, TellAReplacedFileFromAChangedOneAndANewNameFromEither) {
  TFileState then;
  then.Exists = true;
  then.Device = 8;
  then.Inode = 1234;
  then.Type = S_IFREG;
  then.Owner = 0;
  then.Group = 0;
  then.Links = 2;
  then.Size = 100;
  then.ModifiedNs = 1'700'000'000'000'000'000;
  then.ChangedNs = then.ModifiedNs;
  then.Mode = 0640;
  using enum TFileChange;
  const struct {
    const char* What;
    std::function<void(TFileState&)> Change;
    TFileChange Is;
  } cases[] = {
      {"nothing", [](TFileState&) {}, None},
      {"another inode", [](TFileState& S) { S.Inode += 1; }, Replaced},
      {"another device", [](TFileState& S) { S.Device += 1; }, Replaced},
      {"another owner", [](TFileState& S) { S.Owner = test::kNobody; }, Replaced},
      {"another group", [](TFileState& S) { S.Group = test::kNobody; }, Replaced},
      {"a pipe", [](TFileState& S) { S.Type = S_IFIFO; }, Replaced},
      {"a device", [](TFileState& S) { S.Type = S_IFCHR; }, Replaced},
      {"a folder", [](TFileState& S) { S.Type = S_IFDIR; }, Replaced},
      {"another owner, and written",
       [](TFileState& S) {
         S.Owner = test::kNobody;
         S.Size += 1;
       },
       Replaced},
      {"another size", [](TFileState& S) { S.Size += 1; }, Changed},
      {"another modification time", [](TFileState& S) { S.ModifiedNs += 1; }, Changed},
      {"written with its modification time set back", [](TFileState& S) { S.ChangedNs += 1; },
       Changed},
      {"another mode",
       [](TFileState& S) {
         S.Mode = 0600;
         S.ChangedNs += 1;
       },
       Changed},
      {"a name added",
       [](TFileState& S) {
         S.Links += 1;
         S.ChangedNs += 1;
       },
       None},
      {"a name taken away",
       [](TFileState& S) {
         S.Links -= 1;
         S.ChangedNs += 1;
       },
       None},
      {"a name added, and written",
       [](TFileState& S) {
         S.Links += 1;
         S.ChangedNs += 1;
         S.ModifiedNs += 1;
       },
       Changed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    TFileState now = then;
    c.Change(now);
    EXPECT_EQ(CompareFileStates(then, now), c.Is);
    EXPECT_EQ(CompareFileStates(now, then), c.Is);  // the same either way round
  }
}

// What is done to a file after a save looked at it, as another user or program does it: the
// size and modification time stay, and a file made anew may get the inode number back.
enum class TAltered {
  Nothing,
  Chowned,     // to nobody
  Regrouped,   // to nobody's group
  Chmoded,     // to 0600
  Linked,      // a second name added
  Remade,      // deleted and made again with as many bytes and the modification time set back
  MadeAsFifo,  // deleted (where there was a file), and a pipe made with the modification time
};

// Does it to F's file; returns what the name then holds ("" for a pipe).
std::string Alter(TAltered What, const test::TSaveSiteFiles& F, size_t Size) {
  namespace fs = std::filesystem;
  const fs::path& file = F.Real;
  struct stat was {};
  const bool existed = ::stat(file.c_str(), &was) == 0;
  const auto setTimeBack = [&] {
    const struct timespec times[2] = {{0, UTIME_OMIT}, was.st_mtim};
    if (existed) ::utimensat(AT_FDCWD, file.c_str(), times, 0);
  };
  switch (What) {
    case TAltered::Nothing:
    case TAltered::Linked:
      if (What == TAltered::Linked) fs::create_hard_link(file, file.parent_path() / "new-name");
      break;
    case TAltered::Chowned:
    case TAltered::Regrouped:
      if (::chown(file.c_str(), What == TAltered::Chowned ? test::kNobody : uid_t(-1),
                  What == TAltered::Regrouped ? test::kNobody : gid_t(-1)) != 0)
        throw std::runtime_error("no chown");
      break;
    case TAltered::Chmoded:
      ::chmod(file.c_str(), 0600);
      break;
    case TAltered::Remade:
      fs::remove(file);
      test::WriteFileBytes(file, std::string(Size, 'r'));
      if (existed) ::chmod(file.c_str(), was.st_mode & 07777);
      setTimeBack();
      return std::string(Size, 'r');
    case TAltered::MadeAsFifo:
      fs::remove(file);
      ::mkfifo(file.c_str(), 0640);
      setTimeBack();
      return "";
  }
  return test::ReadFileBytes(file);
}

// Each way a save goes (renamed over, written in place, made anew where the file was deleted)
// writes only the file looked at: one given to another owner or group, made anew with its size
// and modification time, turned into a pipe, or changed in a way only its status change time
// tells, is refused, the save writing nothing and leaving nothing; a second name added to it is
// no change, and the save goes on (in place, as for any file with other names, when it was added
// before the save began).
TEST(AtomicSave, ChecksTheOwnerGroupKindAndChangeTimeOnEveryPath) {
  using enum test::TSaveSite;
  using enum TAltered;
  enum TPath { kRename, kInPlace, kMadeAnew };
  const std::pair<TPath, test::TSaveSite> paths[] = {
      {kRename, Plain}, {kInPlace, HardLinked}, {kMadeAnew, Plain}};
  const std::string old = "old text\n", text = "new text\n";
  for (const auto& [path, site] : paths)
    for (const TAltered altered :
         {Nothing, Chowned, Regrouped, Chmoded, Linked, Remade, MadeAsFifo})
      for (const bool whileWriting : {false, true}) {
        const bool made = path == kMadeAnew;
        // A free name can only be taken: by a file, or a pipe. A file written in place is
        // written as it was opened, whatever is done to it then.
        if (made && altered != Nothing && altered != Remade && altered != MadeAsFifo) continue;
        if (path == kInPlace && whileWriting) continue;
        SCOPED_TRACE(testing::Message() << "path " << int(path) << ", altered " << int(altered)
                                        << (whileWriting ? ", while writing" : ""));
        test::TSaveSiteFiles f(site, old);
        if (made) std::filesystem::remove(f.File);
        const TFileState looked = FileStateOf(f.File.string());
        std::string left;
        if (!whileWriting) left = Alter(altered, f, old.size());
        const std::string message = test::MessageInChild([&] {
          f.BecomeSaver();
          SaveToFileAtomic(
              f.File.string(),
              [&](TStream& Out) {
                Out.WriteBuffer(text);
                if (whileWriting) Alter(altered, f, old.size());
              },
              nullptr, &looked);
        });
        const bool saved = altered == Nothing || altered == Linked;
        if (whileWriting) left = altered == MadeAsFifo ? "" : test::ReadFileBytes(f.File);
        EXPECT_EQ(message, saved ? "(no exception)"
                                 : "Cannot create file \"" + f.File.string() +
                                       "\". It changed on disk after it was checked");
        struct stat now {};
        ASSERT_EQ(::stat(f.File.c_str(), &now), 0);
        EXPECT_EQ(S_ISFIFO(now.st_mode), altered == MadeAsFifo);
        if (!S_ISFIFO(now.st_mode)) {
          EXPECT_EQ(test::ReadFileBytes(f.File), saved ? text : left);
        }
        EXPECT_EQ(now.st_uid, altered == Chowned ? test::kNobody : 0u);
        EXPECT_EQ(now.st_gid, altered == Regrouped ? test::kNobody : 0u);
        EXPECT_EQ(f.Leftovers(), V{});
      }
}

// A file deleted and saved again gets what it had, as read: its owner and group where the saver
// may give them (root may), its ACL and its mode, less set-user-ID where its new owner (the
// saver) is not the former one, set-group-ID where its new owner or group is not, and the
// rights of its group where that is another (in the ACL, where a mask stands in the group
// bits): no one comes by the rights of a user or group that did not have them, and the save
// says which set-ID bits it dropped. The rest of the mode stays.
TEST(AtomicSave, AFileMadeAnewGetsSetIdBitsOnlyFromItsFormerOwnerAndGroup) {
  RID_NEED_TOOL("setfacl", "acl");
  RID_NEED_TOOL("getfacl", "acl");
  const uid_t root = 0, nobody = test::kNobody;
  const std::string both = test::kSetUserIdNotMadeAnew + "; " + test::kSetGroupIdNotMadeAnew;
  const struct {
    uid_t Owner;
    gid_t Group;
    mode_t Mode;
    bool ByNobody;
    mode_t Made;
    std::string Dropped = "(none)";
    const char* Acl = nullptr;  // given to the file read (setfacl -m)
    const char* MadeAcl = "";   // getfacl -c of the file made anew, where it had an ACL
  } cases[] = {
      {root, root, 06755, false, 06755},
      {nobody, nobody, 06755, false, 06755},
      {root, nobody, 06755, false, 06755},
      {nobody, root, 06755, false, 06755},
      {nobody, nobody, 06750, true, 06750},
      {root, root, 06755, true, 0705, both},
      {nobody, root, 02775, true, 0705, test::kSetGroupIdNotMadeAnew},
      {nobody, nobody, 01644, false, 01644},
      {nobody, nobody, 0640, false, 0640},
      {root, root, 0640, false, 0640, "(none)", "u:nobody:-",
       "user::rw-\nuser:nobody:---\ngroup::r--\nmask::r--\nother::---\n\n"},
      {nobody, nobody, 0640, true, 0640, "(none)", "u:daemon:r",
       "user::rw-\nuser:daemon:r--\ngroup::r--\nmask::r--\nother::---\n\n"},
      {root, root, 0660, true, 0660, "(none)", "u:daemon:rw",
       "user::rw-\nuser:daemon:rw-\ngroup::---\nmask::rw-\nother::---\n\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FormatStr("%u:%u %04o%s%s, saved by %s", unsigned(c.Owner), unsigned(c.Group),
                           unsigned(c.Mode), c.Acl ? " with " : "", c.Acl ? c.Acl : "",
                           c.ByNobody ? "nobody" : "root"));
    test::TempDir dir;
    ::chmod(dir.Path().c_str(), 0777);
    const std::string name = (dir / "f.txt").string();
    test::WriteFileBytes(name, "read\n");
    ASSERT_EQ(::chown(name.c_str(), c.Owner, c.Group), 0);
    ASSERT_EQ(::chmod(name.c_str(), c.Mode), 0);
    if (c.Acl) test::RunTool("setfacl -m " + std::string(c.Acl) + " " + test::ShellQuoted(name));
    TFileState former;
    LoadBytesFromFile(name, &former);
    std::filesystem::remove(name);
    const TFileState none = FileStateOf(name);
    const std::string message = test::MessageInChild([&] {
      if (c.ByNobody) test::BecomeNobody();
      const TSavedFile saved = SaveToFileAtomic(
          name, [](TStream& Out) { Out.WriteBuffer("again\n"); }, &former, &none);
      throw std::runtime_error(saved.Dropped.empty() ? "(none)" : saved.DroppedText());
    });
    EXPECT_EQ(message, c.Dropped);
    struct stat st {};
    ASSERT_EQ(::stat(name.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.Made);
    EXPECT_EQ(st.st_uid, c.ByNobody ? nobody : c.Owner);
    EXPECT_EQ(st.st_gid, c.ByNobody ? nobody : c.Group);  // nobody's only group is nogroup
    if (c.Acl) {
      EXPECT_EQ(test::RunTool("getfacl -c " + test::ShellQuoted(name)), c.MadeAcl);
    }
    EXPECT_EQ(test::ReadFileBytes(name), "again\n");
  }
}

// No name in an append-only folder (chattr +a) can be renamed or removed, root's included, so a
// save there makes no temporary name: it writes a file that is there in place, and makes a new
// one without a name, which it names once it is whole; a new one whose writing fails, or whose
// name was taken meanwhile, leaves nothing. An append-only cache folder gets no copy of the old
// text of a file written in place: the temporary folder does.
TEST(AtomicSave, LeavesNothingInAnAppendOnlyFolder) {
  RID_NEED_TOOL("chattr", "e2fsprogs");
  namespace fs = std::filesystem;
  test::TSaveSiteFiles f(test::TSaveSite::AppendOnlyFolder, "old\n");
  const fs::path folder = f.Real.parent_path(), ours = f.Cache() / "rideder";
  test::TempDir temporary;
  const auto names = [](const fs::path& Folder) {
    V all;
    for (const auto& e : fs::directory_iterator(Folder)) all.push_back(e.path().filename());
    std::sort(all.begin(), all.end());
    return all;
  };
  const auto inode = [](const fs::path& P) {
    struct stat st {};
    ::stat(P.c_str(), &st);
    return st.st_ino;
  };
  // The cache folder is the saver's, 0700, and append-only too.
  fs::create_directory(ours);
  ::chmod(ours.c_str(), 0700);
  ASSERT_EQ(test::SetAppendOnly(ours, true), "");
  struct TOurs {
    fs::path Path;
    ~TOurs() { (void)test::SetAppendOnly(Path, false); }
  } ourCleared{ours};
  const auto save = [&](const fs::path& Name, bool Raises, bool TakenMeanwhile) {
    const TFileState looked = FileStateOf(Name);
    return test::MessageInChild([&] {
      f.BecomeSaver();
      ::setenv("TMPDIR", temporary.Path().c_str(), 1);
      SaveToFileAtomic(
          Name.string(),
          [&](TStream& Out) {
            Out.WriteBuffer("new\n");
            if (TakenMeanwhile) test::WriteFileBytes(Name, "other\n");
            if (Raises) throw std::runtime_error("the writer failed");
          },
          nullptr, &looked);
    });
  };
  const ino_t before = inode(f.Real);
  EXPECT_EQ(save(f.Real, false, false), "(no exception)");
  EXPECT_EQ(test::ReadFileBytes(f.Real), "new\n");
  EXPECT_EQ(inode(f.Real), before);  // in place
  EXPECT_EQ(save(folder / "made.txt", false, false), "(no exception)");
  EXPECT_EQ(test::ReadFileBytes(folder / "made.txt"), "new\n");
  EXPECT_EQ(save(folder / "failed.txt", true, false), "the writer failed");
  EXPECT_EQ(save(folder / "taken.txt", false, true),
            "Cannot create file \"" + (folder / "taken.txt").string() +
                "\". It changed on disk after it was checked");
  EXPECT_EQ(test::ReadFileBytes(folder / "taken.txt"), "other\n");
  EXPECT_EQ(names(folder), (V{"f.txt", "made.txt", "taken.txt"}));
  EXPECT_EQ(names(ours), V{});
  EXPECT_EQ(names(temporary.Path()), V{});
}

// trusted.* attributes are shown only to a process that may set them (root): root gives them to
// the new file renamed over the old one, and a save in place (a hard-linked file) keeps them; the
// owner, who cannot see them, renames a new file over the old one without them.
TEST(AtomicSave, TrustedAttributesStayWhereTheSaverSeesThemOrWritesInPlace) {
  const struct {
    const char* What;
    bool ByOwner;
    mode_t Mode;
    bool InPlace;
  } cases[] = {
      {"by its owner", true, 0644, false},
      {"by root", false, 0644, false},
      {"by its owner, who may not read it", true, 0200, false},
      {"by its owner, hard-linked", true, 0644, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::TSaveSiteFiles f(test::TSaveSite::TrustedOwnFile, "old\n");
    ::chmod(f.Real.c_str(), c.Mode);
    const auto partner = f.Real.parent_path() / "partner.txt";
    if (c.InPlace) std::filesystem::create_hard_link(f.Real, partner);
    const auto before = test::TSaveSiteFiles::See(f.Real);
    const std::string message = test::MessageInChild([&] {
      if (c.ByOwner) f.BecomeSaver();
      SaveBytesToFileAtomic(f.File.string(), "new\n");
    });
    EXPECT_EQ(message, "(no exception)");
    const auto after = test::TSaveSiteFiles::See(f.Real);
    EXPECT_EQ(after.Bytes, "new\n");
    EXPECT_EQ(after.Inode == before.Inode, c.InPlace);
    EXPECT_EQ(after.Owner, test::kNobody);
    EXPECT_EQ(after.Mode, c.Mode);
    char value[16] = {};
    const bool kept = !c.ByOwner || c.InPlace;
    EXPECT_EQ(::getxattr(f.Real.c_str(), test::TSaveSiteFiles::kTrusted, value, sizeof value),
              kept ? 4 : -1);
    EXPECT_STREQ(value, kept ? "kept" : "");
    EXPECT_EQ(f.Leftovers(), V{});
  }
}

// What a file carries as Carried shows it, whatever its name (getfattr heads its list with it).
std::string CarriedByAnyName(const std::filesystem::path& File) {
  std::string carried = Carried(File);
  if (const size_t at = carried.find("# file: "); at != std::string::npos)
    carried.erase(at, carried.find('\n', at) + 1 - at);
  return carried;
}

// The regular files this process holds open under Dir, but for Except: for each, the folder it
// is in (relative to Dir) and what it carries.
std::string OpenFilesCarry(const std::filesystem::path& Dir, const std::filesystem::path& Except) {
  namespace fs = std::filesystem;
  std::string files;
  for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
    std::error_code ec;
    const fs::path target = fs::read_symlink(e.path(), ec);
    struct stat st {};
    if (ec || ::stat(e.path().c_str(), &st) != 0 || !S_ISREG(st.st_mode) || target == Except ||
        !target.string().starts_with(Dir.string() + "/"))
      continue;
    // Through the process's own descriptor, which a tool run from here can follow too.
    const fs::path held =
        "/proc/" + std::to_string(::getpid()) + "/fd/" + e.path().filename().string();
    files += target.parent_path().lexically_relative(Dir).string() + ": " + CarriedByAnyName(held);
  }
  return files;
}

// Every file a save makes has, from the moment it is made until its text is whole, no more
// permissions than the file it is for: a new file already has the old file's owner, group, mode
// and ACL (or, made anew where the file was deleted, what it had as read) when the writer is
// first called, whatever the folder gives new files (a set-group-ID folder its group, a default
// ACL its entries), and keeps them; a copy of the old text kept while a file is written in place
// is its saver's alone.
TEST(AtomicSave, EveryFileItMakesHasTheOldPermissionsBeforeItsText) {
  RID_NEED_TOOL("setfacl", "acl");
  RID_NEED_TOOL("getfacl", "acl");
  RID_NEED_TOOL("getfattr", "attr");
  RID_NEED_TOOL("chattr", "e2fsprogs");
  using enum test::TSaveSite;
  namespace fs = std::filesystem;
  enum TMade { kNewFile, kMadeAnew, kCopy };
  const struct {
    const char* What;
    test::TSaveSite Site;
    const char* Command;  // a shell command run on the file ($f) and its folder ($d) first
    TMade Made;
  } cases[] = {
      {"renamed over", Private, ":", kNewFile},
      {"renamed over, in a folder that gives new files an ACL", Private,
       "setfacl -d -m u:nobody:rwx \"$d\"", kNewFile},
      {"renamed over, with an ACL entry and set-group-ID", Private,
       "chmod 02640 \"$f\" && setfacl -m u:daemon:r \"$f\"", kNewFile},
      {"nobody's file renamed over by root", OthersFolder, ":", kNewFile},
      {"made anew where it was deleted", Private, ":", kMadeAnew},
      {"made anew without a name in an append-only folder", AppendOnlyFolder, ":", kMadeAnew},
      {"written in place", HardLinked, ":", kCopy},
      {"written in place by a user who does not own it", NotOwner, ":", kCopy},
      {"made anew, with an ACL entry that shuts nobody out", AclShutsNobodyOut, ":", kMadeAnew},
      {"made anew in a set-group-ID folder", SetGroupIdFolder, ":", kMadeAnew},
      {"made anew in a folder that gives new files an ACL", DefaultAclFolder, ":", kMadeAnew},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::TSaveSiteFiles f(c.Site, "old\n");
    const fs::path folder = f.Real.parent_path(), dir = folder.parent_path();
    test::RunTool("f=" + test::ShellQuoted(f.Real) + " d=" + test::ShellQuoted(folder) + " sh -c " +
                  test::ShellQuoted(c.Command));
    const std::string old = CarriedByAnyName(f.Real);
    TFileState former;
    LoadBytesFromFile(f.File.string(), &former);
    if (c.Made == kMadeAnew) {  // an append-only folder lets it go for the moment
      ASSERT_EQ(test::SetAppendOnly(folder, false), "");
      fs::remove(f.File);
      if (c.Site == AppendOnlyFolder) {
        ASSERT_EQ(test::SetAppendOnly(folder, true), "");
      }
    }
    const TFileState looked = FileStateOf(f.File.string());
    const fs::path report = f.Cache() / "report";
    const std::string message = test::MessageInChild([&] {
      f.BecomeSaver();
      ::prctl(PR_SET_DUMPABLE, 1);  // its descriptors open to the tools it runs as nobody too
      SaveToFileAtomic(
          f.File.string(),
          [&](TStream& Out) {
            test::WriteFileBytes(report, OpenFilesCarry(dir, f.Real));
            Out.WriteBuffer("new\n");
          },
          &former, &looked);
    });
    EXPECT_EQ(message, "(no exception)");
    EXPECT_EQ(test::ReadFileBytes(f.Real), "new\n");
    const uid_t saver = f.ByNobody() ? test::kNobody : 0;
    EXPECT_EQ(test::ReadFileBytes(report),
              c.Made == kCopy ? FormatStr("cache/rideder: owner %u, group %u, mode 0600\n",
                                          unsigned(saver), unsigned(saver)) +
                                    "user::rw-\ngroup::---\nother::---\n\n"
                              : "folder: " + old);
    EXPECT_EQ(CarriedByAnyName(f.Real), old);
    EXPECT_EQ(f.Leftovers(), V{});
  }
}

// Another user who watches the folder and opens every file made there the moment it appears
// can open none of them: neither the new file of root's 0600 file, while its text is written
// and once it is renamed over the old one, nor the file made anew where it was deleted.
TEST(AtomicSave, AnotherUserWatchingTheFolderOpensNothingASaveMakes) {
  for (const bool madeAnew : {false, true}) {
    SCOPED_TRACE(madeAnew ? "made anew" : "renamed over");
    test::TSaveSiteFiles f(test::TSaveSite::Private, "old\n");
    const TFileState former = FileStateOf(f.File.string());
    if (madeAnew) std::filesystem::remove(f.File);
    const TFileState looked = FileStateOf(f.File.string());
    test::TNobodyWatching watching(f.Real.parent_path());
    const std::string message = test::MessageInChild([&] {
      SaveToFileAtomic(
          f.File.string(),
          [&](TStream& Out) {
            // Nobody has tried the file made before any of its text is written.
            if (!watching.WaitForTries(1)) throw std::runtime_error("nobody saw no file made");
            Out.WriteBuffer("root's new text\n");
          },
          &former, &looked);
    });
    EXPECT_EQ(message, "(no exception)");
    EXPECT_TRUE(watching.WaitForTries(1));  // the file under its name
    EXPECT_EQ(watching.Stop(), "(temporary): Permission denied\nf.txt: Permission denied\n");
    EXPECT_EQ(test::ReadFileBytes(f.Real), "root's new text\n");
  }
}

// A file written in place on a full disk keeps its old text whole or takes the new text whole,
// under every name it has: a text that needs more blocks than are free fails, and the old bytes
// go back into the blocks the new ones took, none of which was freed meanwhile (ext4 would not
// give a freed block again before its journal commits). So for a file with a second name (on
// 1 KiB and 4 KiB blocks), a sparse one, one in an append-only folder, and root's 0666 file in
// nobody's folder saved by nobody; a shorter text is saved. A file whose first block is a hole
// is left as it was, the very first write failing; with the cache and temporary folders on the
// full disk too, no copy of the old text can be kept and nothing is written, for the reason the
// system gives. On a nearly full btrfs every block written over takes a new one, so the save
// finds no room for the new text beside the old and writes nothing; with room, or for a file
// marked No_COW, which is written over in its own blocks, it saves. No copy of the old text
// stays. The disk is a 16 MiB ext4 image without blocks kept for root (mkfs.ext4 -m 0), or a
// 32 MiB btrfs one (data and metadata mixed), loop-mounted in a mount namespace of a child
// process's own, so that the mount and its loop device go with the child whatever happens.
TEST(AtomicSave, AFileWrittenInPlaceOnAFullDiskKeepsItsOldTextOrTakesTheNewWhole) {
  RID_NEED_TOOL("mkfs.ext4", "e2fsprogs");
  RID_NEED_TOOL("mkfs.btrfs", "btrfs-progs");
  RID_NEED_TOOL("chattr", "e2fsprogs");
  RID_NEED_TOOL("mount", "mount");
  namespace fs = std::filesystem;
  enum TSetup {
    kHardLinked,
    kSparse,
    kAppendOnly,
    kNobodysFolder,
    kSparseFromItsStart,  // and hard-linked
    kCopiesOnTheDisk,     // hard-linked, with the cache and temporary folders on the disk
    kNoCow,               // hard-linked, marked No_COW (chattr +C) before its text
  };
  enum TNew { kLonger, kShorter, kThreeLinesLess };  // 2 MiB before the old; 1 MiB
  enum TEnds { kSaved, kPutBack, kLeftAsItWas, kNoRoom, kNoCopy };
  struct TDisk {
    const char* Mkfs;
    int MiB;
    size_t OldSize;
    size_t Free;  // left when the disk is filled
  };
  const size_t mib = 1 << 20;
  const TDisk ext4k1 = {"mkfs.ext4 -q -F -m 0 -b 1024", 16, 3 * mib, 0},
              ext4k4 = {"mkfs.ext4 -q -F -m 0 -b 4096", 16, 3 * mib, 0},
              btrfs = {"mkfs.btrfs -q -f --mixed", 32, mib, 450 << 10},
              roomyBtrfs = {"mkfs.btrfs -q -f --mixed", 32, mib, 4 * mib};
  const struct {
    const char* What;
    TDisk Disk;
    TSetup Setup;
    TNew New;
    TEnds Ends;
  } cases[] = {
      {"hard-linked, 1 KiB blocks", ext4k1, kHardLinked, kLonger, kPutBack},
      {"hard-linked, 4 KiB blocks", ext4k4, kHardLinked, kLonger, kPutBack},
      {"sparse and hard-linked", ext4k4, kSparse, kLonger, kPutBack},
      {"in an append-only folder", ext4k1, kAppendOnly, kLonger, kPutBack},
      {"root's 0666 file in nobody's folder, saved by nobody", ext4k1, kNobodysFolder, kLonger,
       kPutBack},
      {"hard-linked, a shorter text", ext4k1, kHardLinked, kShorter, kSaved},
      {"hard-linked, a hole first", ext4k4, kSparseFromItsStart, kLonger, kLeftAsItWas},
      {"hard-linked, the copy's folders on the disk too", ext4k1, kCopiesOnTheDisk, kShorter,
       kNoCopy},
      {"hard-linked, on a nearly full btrfs", btrfs, kHardLinked, kThreeLinesLess, kNoRoom},
      {"hard-linked, on a btrfs with room", roomyBtrfs, kHardLinked, kThreeLinesLess, kSaved},
      {"hard-linked and No_COW, on a nearly full btrfs", btrfs, kNoCow, kThreeLinesLess, kSaved},
  };
  const auto lines = [](const char* Word, size_t Size) {
    std::string text;
    while (text.size() < Size) text += FormatStr("%s line %zu\n", Word, text.size());
    text.resize(Size);
    return text;
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.What);
    test::TempDir dir;
    ::chmod(dir.Path().c_str(), 0755);
    const fs::path image = dir / "disk.img", disk = dir / "disk", folder = disk / "folder",
                   file = folder / "f.txt", partner = folder / "partner.txt", cache = dir / "cache",
                   result = dir / "result";
    fs::create_directories(disk);
    fs::create_directories(cache);
    ::chmod(cache.c_str(), 0777);
    const bool copiesOnTheDisk = c.Setup == kCopiesOnTheDisk;
    const fs::path copies = copiesOnTheDisk ? disk / "cache" : cache, temporary = disk / "tmp";
    std::string old = lines("old", c.Disk.OldSize);
    if (c.Setup == kSparse) old.replace(mib, mib, std::string(mib, '\0'));
    if (c.Setup == kSparseFromItsStart) old.replace(0, mib, std::string(mib, '\0'));
    size_t threeLines = 0;
    for (int line = 0; line < 3; ++line) threeLines = old.find('\n', threeLines) + 1;
    const std::string text = c.New == kLonger           ? lines("new", 2 * mib) + old
                             : c.New == kThreeLinesLess ? old.substr(threeLines)
                                                        : lines("new", mib);
    const auto holds = [&](const fs::path& Name) {
      const std::string bytes = test::ReadFileBytes(Name);
      return Name.filename().string() + ": " +
             (bytes == old    ? std::string("the old text")
              : bytes == text ? std::string("the new text")
                              : FormatStr("%zu bytes, neither text", bytes.size()));
    };
    const auto count = [](const fs::path& Folder) {
      return fs::is_directory(Folder) ? int(std::distance(fs::directory_iterator(Folder), {})) : 0;
    };
    const std::string message = test::MessageInChild(
        [&] {
          test::OwnMounts();
          test::MountNewDisk(image, c.Disk.MiB, c.Disk.Mkfs, disk);
          fs::create_directory(folder);
          if (copiesOnTheDisk) fs::create_directory(temporary);
          if (c.Setup == kNoCow) {
            test::WriteFileBytes(file, "");
            test::RunTool("chattr +C " + test::ShellQuoted(file.string()));
          }
          const bool sparse = c.Setup == kSparse || c.Setup == kSparseFromItsStart;
          const size_t holeAt = c.Setup == kSparse ? mib : 0;  // a hole of 1 MiB
          test::WriteFileBytes(file, old.substr(0, sparse ? holeAt : old.size()));
          if (sparse) {
            const int fd = ::open(file.c_str(), O_WRONLY | O_CLOEXEC);
            const size_t after = holeAt + mib, size = old.size() - after;
            const bool written =
                ::pwrite(fd, old.data() + after, size, off_t(after)) == ssize_t(size);
            ::close(fd);
            if (!written) throw std::runtime_error("no sparse file");
          }
          if (c.Setup != kAppendOnly && c.Setup != kNobodysFolder)
            fs::create_hard_link(file, partner);
          if (c.Setup == kNobodysFolder &&
              (::chown(folder.c_str(), test::kNobody, test::kNobody) != 0 ||
               ::chmod(file.c_str(), 0666) != 0))
            throw std::runtime_error("no chown");
          test::FillDisk(disk, c.Disk.Free);
          const std::string failed =
              c.Setup == kAppendOnly ? test::SetAppendOnly(folder, true) : "";
          if (!failed.empty()) throw std::runtime_error(failed);
          std::string seen = test::MessageInChild(
              [&] {
                ::setenv("XDG_CACHE_HOME", copies.c_str(), 1);
                if (copiesOnTheDisk) ::setenv("TMPDIR", temporary.c_str(), 1);
                if (c.Setup == kNobodysFolder) test::BecomeNobody();
                SaveToFileAtomic(file.string(), [&](TStream& Out) { Out.WriteBuffer(text); });
              },
              60);
          seen += "\n" + holds(file);
          if (fs::exists(partner)) seen += "\n" + holds(partner);
          seen += FormatStr("\ncopies kept: %d", count(copies / "rideder") + count(temporary));
          test::WriteFileBytes(result, seen);
        },
        120);
    EXPECT_EQ(message, "(no exception)");
    std::string seen = test::ReadFileBytes(result);
    // As much room as the file system asks for, and no less than the text.
    if (const size_t at = seen.find(" needs "); c.Ends == kNoRoom && at != std::string::npos) {
      const size_t from = at + 7, end = seen.find(' ', from);
      EXPECT_GE(std::atoll(seen.substr(from, end - from).c_str()), (long long)text.size());
      seen.replace(from, end - from, "<n>");
    }
    const std::string cannotWrite = "Cannot write file \"" + file.string() + "\". ";
    const std::string says[] = {
        "(no exception)",
        cannotWrite + "No space left on device; the old text was put back",
        cannotWrite + "No space left on device; the file was left as it was",
        cannotWrite +
            FormatStr("The disk has no room for the new text beside the old (No space left on "
                      "device): writing over this file takes new blocks while the old text (%zu "
                      "bytes) keeps its own until the save ends, so the new text (%zu bytes) "
                      "needs <n> bytes free; the file was left as it was",
                      old.size(), text.size()),
        "Cannot create file \"" + file.string() +
            "\". No copy of the old text could be kept while it is written over (" +
            (copies / "rideder").string() + ": No space left on device; " + temporary.string() +
            ": No space left on device)",
    };
    const std::string now = c.Ends == kSaved ? "the new text" : "the old text";
    std::string expected = says[c.Ends] + "\nf.txt: " + now;
    if (c.Setup != kAppendOnly && c.Setup != kNobodysFolder) expected += "\npartner.txt: " + now;
    EXPECT_EQ(seen, expected + "\ncopies kept: 0");
  }
}

// ---------------------------------------------------------------------------------------------
// Components

class TLogged : public TComponent {
 public:
  RID_CLASS_NAME(TLogged)
  TLogged(TComponent* AOwner, std::string AName, std::vector<std::string>* ALog)
      : TComponent(AOwner), FLog(ALog) {
    SetName(AName);
  }
  ~TLogged() override {
    // Children are marked before any of them goes; the component being deleted itself is
    // marked only when its own TComponent part runs.
    FLog->push_back(GetName() + (ComponentState().Contains(csDestroying) ? " (marked)" : ""));
  }

 private:
  std::vector<std::string>* FLog;
};

// Holds a reference to a component that may die first.
class THolder : public TComponent {
 public:
  RID_CLASS_NAME(THolder)
  using TComponent::TComponent;
  ~THolder() override { SetTarget(nullptr); }
  void SetTarget(TComponent* Value) {
    if (FTarget) FTarget->RemoveFreeNotification(this);
    FTarget = Value;
    if (FTarget) FTarget->FreeNotification(this);
  }
  TComponent* Target() const { return FTarget; }
  int Removals = 0;

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override {
    if (Operation == opRemove && AComponent == FTarget) {
      FTarget = nullptr;
      ++Removals;
    }
    TComponent::Notification(AComponent, Operation);
  }

 private:
  TComponent* FTarget = nullptr;
};

TEST(Component, OwnerFreesChildrenInReverseOrder) {
  std::vector<std::string> log;
  auto* owner = new TLogged(nullptr, "owner", &log);
  new TLogged(owner, "first", &log);
  auto* second = new TLogged(owner, "second", &log);
  new TLogged(second, "grandchild", &log);
  new TLogged(owner, "third", &log);
  EXPECT_EQ(owner->ComponentCount(), 3);
  EXPECT_EQ(owner->FindComponent("SECOND"), second);
  EXPECT_EQ(owner->Components(1), second);
  EXPECT_THROW(owner->Components(3), EListError);
  delete owner;
  EXPECT_EQ(log, (V{"owner", "third (marked)", "second (marked)", "grandchild (marked)",
                    "first (marked)"}));
}

TEST(Component, AChildFreedFirstLeavesItsOwner) {
  std::vector<std::string> log;
  TLogged owner(nullptr, "owner", &log);
  auto* child = new TLogged(&owner, "child", &log);
  delete child;
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(Component, FreeNotificationClearsReferences) {
  auto* holder = new THolder(nullptr);
  auto* target = new TComponent(nullptr);
  holder->SetTarget(target);
  delete target;
  EXPECT_EQ(holder->Target(), nullptr);
  EXPECT_EQ(holder->Removals, 1);

  // The holder dying first must not leave the target calling it later.
  auto* target2 = new TComponent(nullptr);
  holder->SetTarget(target2);
  delete holder;
  delete target2;
}

TEST(Component, SiblingsHearOfEachOtherThroughTheOwner) {
  TComponent owner(nullptr);
  auto* holder = new THolder(&owner);
  auto* target = new TComponent(&owner);
  holder->SetTarget(target);
  delete target;
  EXPECT_EQ(holder->Target(), nullptr);
  EXPECT_EQ(holder->Removals, 1);
}

TEST(Component, RemovedFreeNotificationIsNotCalled) {
  THolder holder(nullptr);
  auto* target = new TComponent(nullptr);
  holder.SetTarget(target);
  target->RemoveFreeNotification(&holder);
  holder.SetTarget(nullptr);
  delete target;
  EXPECT_EQ(holder.Removals, 0);
}

TEST(Component, StateFlags) {
  TComponent owner(nullptr);
  owner.SetDesigning(true);
  auto* child = new TComponent(&owner);
  EXPECT_TRUE(child->ComponentState().Contains(csDesigning));
  owner.BeginLoading();
  EXPECT_TRUE(owner.ComponentState().Contains(csLoading));
  owner.Loaded();
  EXPECT_FALSE(owner.ComponentState().Contains(csLoading));
}

// ---------------------------------------------------------------------------------------------
// Objects and errors

TEST(Classes, AssertionFailureNamesTheSource) {
  EXPECT_NO_THROW(RID_ASSERT(1 + 1 == 2));
  try {
    RID_ASSERT(1 + 1 == 3);
    FAIL() << "no exception";
  } catch (const EAssertionFailed& e) {
    const std::string m = e.what();
    EXPECT_EQ(m.rfind("Assertion failure (Classes_test.cpp, line ", 0), 0u) << m;
    EXPECT_EQ(e.SourceName, "Classes_test.cpp");
  }
  try {
    Assert(false, "RidEderMiscClasses", 0, "Call DeactivateFontsInfo before calling this.");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message,
              "Assertion failure: Call DeactivateFontsInfo before calling this. "
              "(RidEderMiscClasses)");
  }
}

TEST(Classes, AssignBetweenUnrelatedClassesNamesBoth) {
  TComponent c(nullptr);
  TStringList l;
  try {
    c.Assign(&l);
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TStringList to a TComponent");
  }
  EXPECT_EQ(TStringList::StaticClassName(), std::string("TStringList"));
  const TObject& asObject = l;
  EXPECT_EQ(asObject.ClassName(), "TStringList");
}

}  // namespace
}  // namespace rid
