#include "editor/RidEderTextBuffer.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/FileFaults.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

using namespace std::string_literals;

std::vector<std::string> Lines(TRidEderStringList& L) {
  std::vector<std::string> r;
  for (int32_t i = 0; i < L.GetCount(); ++i) r.push_back(L.Get(i));
  return r;
}

// Records every event the list fires, in order.
struct EventLog {
  std::vector<std::string> Events;
  void Attach(TRidEderStringList& L) {
    L.OnLinesInserted = [this](TObject*, int32_t i, int32_t n) { Add("ins", i, n); };
    L.OnLinesDeleted = [this](TObject*, int32_t i, int32_t n) { Add("del", i, n); };
    L.OnLinesReplaced = [this](TObject*, int32_t i, int32_t n) { Add("put", i, n); };
    L.OnListCleared = [this](TObject*) { Events.push_back("cleared"); };
    L.OnChanging = [this](TObject*) { Events.push_back("changing"); };
    L.OnChange = [this](TObject*) { Events.push_back("change"); };
  }
  void Add(const char* What, int32_t i, int32_t n) {
    Events.push_back(std::string(What) + " " + std::to_string(i) + " " + std::to_string(n));
  }
};

TEST(LineBuffer, SplitsEveryBreakStyle) {
  struct Case {
    std::string Data;
    std::vector<std::string> Lines;
    uint8_t Style;
  };
  const Case Cases[] = {
      {"a\r\nb", {"a", "b"}, lbsCRLF},
      {"a\nb", {"a", "b"}, lbsLF},
      {"a\rb", {"a", "b"}, lbsCR},
      {"a\r\nb\n", {"a", "b", ""}, lbsCRLF},  // mixed
      {"a\n\rb", {"a", "", "b"}, lbsCRLF},    // LF CR is two breaks
      {"abc", {"abc"}, lbsCRLF},
      {"", {}, lbsCRLF},
      {"\n", {"", ""}, lbsLF},
  };
  for (const Case& c : Cases) {
    TRidEderStringList L;
    L.SetLineBreakStyle(lbsCR);
    L.LoadFromBytes(c.Data);
    EXPECT_EQ(Lines(L), c.Lines) << c.Data;
    EXPECT_EQ(L.GetLineBreakStyle(), c.Style) << c.Data;
    EXPECT_EQ(L.SaveToBytes(), c.Data);
  }
}

// Breaks at every offset of the vector-width scan, against a byte-by-byte split.
TEST(LineBuffer, SplitsRandomDataLikeAPlainScan) {
  std::mt19937 Rng(5);
  for (int n = 0; n < 300; ++n) {
    std::string Data(n % 50 == 0 ? 9000 + Rng() % 40 : Rng() % 80, 'x');
    for (char& c : Data) c = "ab\r\n\x82\0\t"[Rng() % (n % 2 ? 7 : 3)];
    std::vector<std::string> Expected;
    size_t p = 0;
    while (p < Data.size()) {
      size_t e = p;
      while (e < Data.size() && Data[e] != '\r' && Data[e] != '\n') ++e;
      Expected.push_back(Data.substr(p, e - p));
      p = e;
      if (p < Data.size() && Data[p] == '\r') ++p;
      if (p < Data.size() && Data[p] == '\n') ++p;
    }
    if (!Data.empty() && (Data.back() == '\r' || Data.back() == '\n')) Expected.push_back("");
    TRidEderStringList L;
    L.LoadFromBytes(Data);
    ASSERT_EQ(Lines(L), Expected);
    ASSERT_EQ(L.SaveToBytes(), Data);
    // Loading notes which lines hold a tab: their display lengths, and the longest.
    int32_t Longest = 0;
    for (size_t i = 0; i < Expected.size(); ++i) {
      ASSERT_EQ(L.GetExpandedStringLength(static_cast<int32_t>(i)),
                ExpandedLength(Expected[i], L.GetTabWidth()));
      Longest = std::max(Longest, ExpandedLength(Expected[i], L.GetTabWidth()));
    }
    ASSERT_EQ(L.GetLengthOfLongestLine(), Longest);
    ASSERT_LE(L.GetCount(), L.GetCapacity());
    // The same data in pieces, cut anywhere (between CR and LF too), gives the same lines.
    std::vector<std::string_view> Pieces;
    for (size_t At = 0; At < Data.size();) {
      const size_t Len = std::min<size_t>(Rng() % 5, Data.size() - At);
      Pieces.push_back(std::string_view(Data).substr(At, Len));
      At += Len;
    }
    TRidEderStringList P;
    P.LoadFromPieces(Pieces);
    ASSERT_EQ(Lines(P), Expected);
    ASSERT_EQ(P.GetLineBreakStyle(), L.GetLineBreakStyle());
    ASSERT_EQ(P.GetMixedLineBreaks(), L.GetMixedLineBreaks());
    ASSERT_EQ(P.SaveToBytes(), Data);
  }
}

// Random edits of a loaded file with mixed breaks against a plain vector of (text, range,
// object, break): edited lines get storage of their own while their neighbours stay in the
// loaded block; wide ranges and objects live beside the records, also for lines never edited.
TEST(LineBuffer, RandomEditsMatchAPlainModel) {
  struct TModelLine {
    std::string Text;
    TRidRange Range = RidRangeUnscanned;
    TObject* Object = nullptr;
    uint8_t Break = lbsCRLF;
  };
  // Ranges at the edges of what a record holds itself, and some that need all 64 bits, as a
  // pointer would.
  const TRidRange Edges[] = {
      0,         -1,        (1 << 27) - 1,      -(1 << 27), 1 << 27, -(1 << 27) - 1,
      INT32_MAX, INT32_MIN, TRidRange{1} << 40, INTPTR_MIN};
  std::mt19937 Rng(9);
  TObject Objects[4];
  TRidEderStringList L;
  std::vector<TModelLine> Model;
  std::string File;
  for (int i = 0; i < 200; ++i) {
    const uint8_t Break = static_cast<uint8_t>(i % 3);
    Model.push_back({"loaded " + std::to_string(i) + std::string(i % 23, 'z')});
    Model.back().Break = Break;
    File += Model.back().Text + std::string(LineBreakText(Break));
  }
  L.SetFinalLineBreak(true);
  L.LoadFromBytes(File);
  ASSERT_TRUE(L.GetMixedLineBreaks());
  for (int Step = 0; Step < 4000; ++Step) {
    const int32_t Count = static_cast<int32_t>(Model.size());
    const int32_t At = Count ? static_cast<int32_t>(Rng() % (Count + 1)) : 0;
    const std::string Text =
        "line " + std::to_string(Step) + std::string(Rng() % 30, 'x') + (Rng() % 4 ? "" : "\ty");
    switch (Rng() % 9) {
      case 0:
        L.Insert(At, Text);
        Model.insert(Model.begin() + At, {Text});
        break;
      case 1:
        L.Add(Text);
        Model.push_back({Text});
        break;
      case 2: {
        const int32_t n = static_cast<int32_t>(Rng() % 5);
        L.InsertLines(At, n);
        Model.insert(Model.begin() + At, n, TModelLine{});
        break;
      }
      case 3: {
        const int32_t n = static_cast<int32_t>(Rng() % 6);
        L.DeleteLines(At, n);
        Model.erase(Model.begin() + At, Model.begin() + std::min(Count, At + n));
        break;
      }
      case 4:
        if (At < Count) {
          L.Delete(At);
          Model.erase(Model.begin() + At);
        }
        break;
      case 5:
        if (At < Count) {
          const TRidRange Range = Rng() % 3 ? Step : Edges[Rng() % std::size(Edges)];
          if (Rng() % 2) {  // else the text stays where it was (in the loaded block, maybe)
            const std::string NewText = Rng() % 5 ? Text : "";
            L.Put(At, NewText);
            Model[At].Text = NewText;
          }
          L.PutRange(At, Range);
          Model[At].Range = Range;
        }
        break;
      case 6:
        if (Count > 1) {
          const int32_t B = static_cast<int32_t>(Rng() % Count);
          const int32_t A = At % Count;
          L.Exchange(A, B);
          std::swap(Model[A], Model[B]);
        }
        break;
      case 7:
        if (At < Count) {
          TObject* Object = Rng() % 3 ? &Objects[Rng() % 4] : nullptr;
          L.PutObject(At, Object);
          Model[At].Object = Object;
        }
        break;
      case 8:
        L.SetCapacity(Count + static_cast<int32_t>(Rng() % 3));
        break;
    }
    ASSERT_EQ(L.GetCount(), static_cast<int32_t>(Model.size()));
    // The cached longest line is kept across edits, never left stale.
    int32_t Longest = 0;
    for (const TModelLine& Line : Model) Longest = std::max(Longest, ExpandedLength(Line.Text, 8));
    ASSERT_EQ(L.GetLengthOfLongestLine(), Longest) << "step " << Step;
    if (Step % 50 == 0 || Step > 3950) {
      for (int32_t i = 0; i < L.GetCount(); ++i) {
        ASSERT_EQ(L.Get(i), Model[i].Text) << "step " << Step << " line " << i;
        ASSERT_EQ(L.GetRange(i), Model[i].Range);
        ASSERT_EQ(L.GetObject(i), Model[i].Object);
        ASSERT_EQ(L.GetLineBreak(i), Model[i].Break);
        ASSERT_EQ(L.HasTabs(i), Model[i].Text.find('\t') != std::string::npos);
        ASSERT_EQ(L.GetExpandedString(i).size(), size_t(ExpandedLength(Model[i].Text, 8)));
      }
    }
  }
  std::string Saved;
  for (const TModelLine& Line : Model) Saved += Line.Text + std::string(LineBreakText(Line.Break));
  EXPECT_EQ(L.SaveToBytes(), Saved);
}

TEST(LineBuffer, MixedBreaksKeepTheirPlacesUntilAStyleIsChosen) {
  TRidEderStringList L;
  L.LoadFromBytes("a\r\nb\nc\rd");
  EXPECT_TRUE(L.GetMixedLineBreaks());
  EXPECT_EQ(L.GetLineBreakStyle(), lbsCRLF);
  L.Insert(1, "new");  // a line made by editing takes CR LF
  EXPECT_EQ(L.SaveToBytes(), "a\r\nnew\r\nb\nc\rd");
  L.SetLineBreakStyle(lbsLF);
  EXPECT_FALSE(L.GetMixedLineBreaks());
  EXPECT_EQ(L.SaveToBytes(), "a\nnew\nb\nc\nd");
  L.LoadFromBytes("x\ny");
  EXPECT_FALSE(L.GetMixedLineBreaks());
}

TEST(LineBuffer, FinalLineBreakKeepsTheLastLineOnly) {
  TRidEderStringList L;
  L.SetFinalLineBreak(true);
  L.LoadFromBytes("a\n");
  EXPECT_EQ(Lines(L), std::vector<std::string>{"a"});
  EXPECT_EQ(L.SaveToBytes(), "a\n");
  L.SetLineBreakStyle(lbsCRLF);
  EXPECT_EQ(L.SaveToBytes(), "a\r\n");
}

TEST(LineBuffer, ZeroBytesSurviveLoadSaveAndExpansion) {
  TRidEderStringList L;
  const std::string Data = "a\0b\tc\n\0\n"s;
  L.LoadFromBytes(Data);
  ASSERT_EQ(L.GetCount(), 3);
  EXPECT_EQ(L.Get(0), "a\0b\tc"s);
  EXPECT_EQ(L.Get(1), "\0"s);
  EXPECT_EQ(L.GetExpandedStringLength(0), 9);
  EXPECT_EQ(L.GetExpandedString(0), "a\0b\t\t\t\t\tc"s);
  EXPECT_EQ(L.SaveToBytes(), Data);
}

// Files of every style go to disk and back byte for byte.
TEST(LineBuffer, FilesRoundTripByteForByte) {
  test::TempDir Dir;
  const std::string Samples[] = {
      "line one\r\nline two\r\n\x82\xA0\x82\xA2\r\n",
      "unix\nlines\n\nno final break",
      "old\rmac\r",
      "mixed\r\nbreaks\nand\rmore\n\r",
      "\t\x95\x5C\\\0tail"s,
  };
  int n = 0;
  for (const std::string& Data : Samples) {
    auto In = Dir / ("in" + std::to_string(n));
    auto Out = Dir / ("out" + std::to_string(n++));
    test::WriteFileBytes(In, Data);
    TRidEderStringList L;
    L.LoadFromFile(In.string());
    L.SaveToFile(Out.string());
    EXPECT_EQ(test::ReadFileBytes(Out), Data);
    RID_NEED_TOOL("cmp", "diffutils");
    int Exit = -1;
    test::RunTool("cmp " + In.string() + " " + Out.string(), {}, &Exit);
    EXPECT_EQ(Exit, 0);
  }
}

// A stream that keeps what is written to it and the size of each write.
class TRecordingStream : public TMemoryStream {
 public:
  int32_t Write(const void* Buffer, int32_t Count) override {
    Sizes.push_back(Count);
    return TMemoryStream::Write(Buffer, Count);
  }
  std::vector<int32_t> Sizes;
};

std::string RandomBytes(std::mt19937& Rng, size_t Length) {
  std::string s(Length, '\0');
  for (char& c : s) c = static_cast<char>(Rng() % 256);
  return s;
}

// Random line sets, some lines longer than the writer's block: for every break style (and a
// value that is none), with and without a final break, and with the mixed breaks of a loaded
// file, what SaveToStream and SaveToFile write is SaveToBytes byte for byte. The stream gets
// blocks of at most 16 KiB, and a longer line as one write of its own, not a copy.
TEST(LineBuffer, TheFileWriterWritesWhatSaveToBytesGives) {
  test::TempDir Dir;
  std::mt19937 Rng(102);
  const uint8_t Styles[] = {lbsCRLF, lbsLF, lbsCR, 9};
  for (int Round = 0; Round < 40; ++Round) {
    TRidEderStringList L;
    std::vector<size_t> Long;
    if (Round % 4 == 3) {
      std::string Mixed;
      for (int i = Rng() % 3000; i > 0; --i)
        Mixed += RandomBytes(Rng, Rng() % 30) + "\r\n\n\r"[Rng() % 3];
      L.LoadFromBytes(Mixed);
    } else {
      for (int i = Rng() % 60; i > 0; --i) {
        const bool IsLong = Rng() % 10 == 0;
        L.Add(RandomBytes(Rng, IsLong ? 16000 + Rng() % 30000 : Rng() % 100));
        if (IsLong) Long.push_back(L.GetView(L.GetCount() - 1).size());
      }
    }
    for (uint8_t Style : Styles) {
      for (bool Final : {false, true}) {
        SCOPED_TRACE("round " + std::to_string(Round) + " style " + std::to_string(Style) +
                     (Final ? " final" : ""));
        if (!L.GetMixedLineBreaks()) L.SetLineBreakStyle(Style);
        L.SetFinalLineBreak(Final);
        const std::string Want = L.SaveToBytes();
        TRecordingStream Out;
        L.SaveToStream(&Out);
        ASSERT_EQ(Out.Bytes(), Want);
        for (int32_t Size : Out.Sizes) {
          if (Size > int32_t(TRidEderFiler::kBufferSize)) {
            EXPECT_NE(std::find(Long.begin(), Long.end(), size_t(Size)), Long.end()) << Size;
          }
        }
        if (Round % 5 == 0 && Style == lbsCR) {
          L.SaveToFile((Dir / "out").string());
          ASSERT_EQ(test::ReadFileBytes(Dir / "out"), Want);
        }
      }
    }
  }
}

// The writer on its own: what Write and WriteLine put, with the break of the style at the time,
// reaches the stream by Flush or at the latest when the writer goes.
TEST(LineBuffer, TheFileWriterKeepsOrderAndFlushesWhenItGoes) {
  std::mt19937 Rng(7);
  for (int Round = 0; Round < 30; ++Round) {
    TMemoryStream Out;
    std::string Model;
    {
      TRidEderFileWriter W(Out);
      EXPECT_EQ(W.GetLineBreakStyle(), lbsLF);
      for (int Op = Rng() % 200; Op > 0; --Op) {
        const std::string Bytes = RandomBytes(Rng, Rng() % 8 == 0 ? Rng() % 40000 : Rng() % 50);
        switch (Rng() % 4) {
          case 0:
            W.Write(Bytes);
            Model += Bytes;
            break;
          case 1:
            W.WriteLine(Bytes);
            Model += Bytes + std::string(LineBreakText(W.GetLineBreakStyle()));
            break;
          case 2:
            W.SetLineBreakStyle(Rng() % 4);
            break;
          default:
            W.Flush();
            ASSERT_EQ(Out.Bytes(), Model);
        }
      }
    }
    ASSERT_EQ(Out.Bytes(), Model);
  }
  EXPECT_EQ(LineBreakText(lbsCRLF), "\r\n");
  EXPECT_EQ(LineBreakText(lbsLF), "\n");
  EXPECT_EQ(LineBreakText(lbsCR), "\r");
  EXPECT_EQ(LineBreakText(200), "\r\n");
}

// A write that fails after some blocks have reached the temporary file (a file-size limit, as a
// full disk does, root included) raises naming the file and leaves the old file whole.
TEST(LineBuffer, AWriteFailingMidwayKeepsTheOldFile) {
  test::TempDir Dir;
  const auto Name = Dir / "big.txt";
  test::WriteFileBytes(Name, "original\n");
  TRidEderStringList L;
  for (int i = 0; i < 5000; ++i) L.Add("line " + std::to_string(i) + std::string(40, 'x'));
  const std::string Message = test::MessageInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    struct rlimit Limit = {40000, 40000};  // two blocks and a part
    ::setrlimit(RLIMIT_FSIZE, &Limit);
    L.SaveToFile(Name.string());
  });
  EXPECT_TRUE(Message.starts_with("Cannot write file \"" + Name.string() + "\". ")) << Message;
  EXPECT_EQ(test::ReadFileBytes(Name), "original\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Dir.Path()), {}), 1);
}

// Every way a save can fail, root included (a read-only file, a folder that is a file, a full
// disk, a folder or a file we may not write): the save raises and the old file stays.
TEST(LineBuffer, FailedSaveKeepsTheOldFile) {
  for (test::TSaveFault Fault : test::AllSaveFaults()) {
    SCOPED_TRACE(test::SaveFaultName(Fault));
    test::TFailingSave Save(Fault, "original\n");
    TRidEderStringList L;
    L.LoadFromBytes("new text\n");
    const std::string Message = Save.Run([&] { L.SaveToFile(Save.Target.string()); });
    EXPECT_NE(Message.find(Save.Target.string()), std::string::npos) << Message;
    EXPECT_EQ(test::ReadFileBytes(Save.Kept()), "original\n");
    EXPECT_EQ(Save.Names(), std::vector<std::string>{"keep.txt"});
  }
  test::TempDir Dir;
  TRidEderStringList L;
  EXPECT_THROW(L.SaveToFile((Dir / "missing" / "x.txt").string()), EFCreateError);
}

// A pipe without a writer or a device is refused at once, and the lines stay as they were.
TEST(LineBuffer, LoadsRegularFilesOnly) {
  test::TempDir Dir;
  const auto Fifo = Dir / "pipe";
  ASSERT_EQ(::mkfifo(Fifo.c_str(), 0644), 0);
  for (const std::string& Name : {Fifo.string(), std::string("/dev/zero")}) {
    SCOPED_TRACE(Name);
    const std::string Message = test::MessageInChild([&] {
      TRidEderStringList L;
      L.LoadFromBytes("kept");
      try {
        L.LoadFromFile(Name);
      } catch (const EFOpenError&) {
        if (Lines(L) == std::vector<std::string>{"kept"}) throw;
      }
    });
    EXPECT_TRUE(Message.starts_with("Cannot open file \"" + Name + "\". It is a ")) << Message;
  }
}

TEST(LineBuffer, StreamsLoadAndSave) {
  TMemoryStream S;
  S.WriteBuffer("x\ny\n"s);
  TRidEderStringList L;
  L.LoadFromStream(&S);
  EXPECT_EQ(Lines(L), (std::vector<std::string>{"x", "y", ""}));
  TMemoryStream Out;
  L.SaveToStream(&Out);
  EXPECT_EQ(Out.Bytes(), "x\ny\n");
}

TEST(LineBuffer, EditsFireEventsWithIndexesAndCounts) {
  TRidEderStringList L;
  EventLog Log;
  Log.Attach(L);
  L.Add("a");
  L.Insert(0, "b");
  L.Put(1, "c");
  L.Put(2, "d");  // at count: appends
  L.Delete(0);
  L.InsertLines(1, 3);
  L.DeleteLines(3, 10);            // cut to what exists
  L.DeleteLines(L.GetCount(), 2);  // nothing there: no event
  L.Clear();
  L.Clear();  // an empty list too: a clear starts a page anew
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"changing", "ins 0 1", "change",   //
                                                  "changing", "ins 0 1", "change",   //
                                                  "changing", "put 1 1", "change",   //
                                                  "changing", "ins 2 1", "change",   //
                                                  "changing", "del 0 1", "change",   //
                                                  "changing", "ins 1 3", "change",   //
                                                  "changing", "change",  "del 3 2",  //
                                                  "changing", "cleared", "change",   //
                                                  "changing", "cleared", "change"}));
}

TEST(LineBuffer, OuterBracketHoldsBackChangeEvents) {
  TRidEderStringList L;
  EventLog Log;
  Log.Attach(L);
  L.BeginUpdate();
  L.Add("a");
  L.PutRange(0, 5);
  L.EndUpdate();
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"changing", "ins 0 1", "change"}));
}

TEST(LineBuffer, BadIndexesRaiseOrReadEmpty) {
  TRidEderStringList L;
  L.Add("a");
  try {
    L.Delete(1);
    FAIL();
  } catch (const ERidEderStringList& e) {
    EXPECT_STREQ(e.what(), "Invalid stringlist index 1");
  }
  EXPECT_THROW(L.Put(5, "x"), ERidEderStringList);
  EXPECT_THROW(L.PutRange(1, 0), ERidEderStringList);
  EXPECT_THROW(L.InsertLines(3, 1), ERidEderStringList);
  EXPECT_THROW(L.Exchange(0, 1), ERidEderStringList);
  EXPECT_EQ(L.Get(-1), "");
  EXPECT_EQ(L.GetRange(9), 0);
  EXPECT_EQ(L.GetObject(9), nullptr);
  EXPECT_EQ(L.GetExpandedStringLength(9), 0);
  EXPECT_THROW(L.SetCapacity(0), EListError);
}

TEST(LineBuffer, LinesKeepRangeAndObjectThroughPut) {
  TRidEderStringList L;
  TObject Obj;
  L.Add("a");
  L.PutObject(0, &Obj);
  EXPECT_EQ(L.GetRange(0), RidRangeUnscanned);
  L.PutRange(0, 42);
  L.Put(0, "b");
  EXPECT_EQ(L.GetRange(0), 42);
  EXPECT_EQ(L.GetObject(0), &Obj);
  L.Insert(0, "c");
  EXPECT_EQ(L.GetRange(0), RidRangeUnscanned);
  EXPECT_EQ(L.GetTextStr(), "c\r\nb");
  L.SetLineBreakStyle(lbsLF);
  EXPECT_EQ(L.GetTextStr(), "c\r\nb");
}

TEST(LineBuffer, LongestLineFollowsEditsAndTabWidth) {
  TRidEderStringList L;
  L.Add("");
  L.Add("");
  EXPECT_EQ(L.GetLengthOfLongestLine(), 0);
  L.Put(0, "abc");
  L.Put(1, "\tx");
  EXPECT_EQ(L.GetLengthOfLongestLine(), 9);
  L.SetTabWidth(2);
  EXPECT_EQ(L.GetLengthOfLongestLine(), 3);
  L.Exchange(0, 1);
  EXPECT_EQ(L.GetLengthOfLongestLine(), 3);
  L.DeleteLines(1, 1);                       // the longest goes
  EXPECT_EQ(L.GetLengthOfLongestLine(), 3);  // "\tx" at width 2
  L.InsertLines(0, 1);
  L.Put(0, "12345");
  EXPECT_EQ(L.GetLengthOfLongestLine(), 5);
}

TEST(LineBuffer, TabWidthIsClampedAndExpansionCached) {
  TRidEderStringList L;
  L.Add("\ta");
  L.SetTabWidth(0);
  EXPECT_EQ(L.GetTabWidth(), 1);
  EXPECT_EQ(L.GetExpandedString(0), " a");
  L.SetTabWidth(1000);
  EXPECT_EQ(L.GetTabWidth(), 256);
  EXPECT_EQ(L.GetExpandedStringLength(0), 257);
  L.SetTabWidth(3);
  EXPECT_EQ(L.GetExpandedString(0), "\t\t\ta");
  L.Add("plain");
  EXPECT_EQ(L.GetExpandedStringLength(1), 5);
  EXPECT_EQ(L.GetExpandedString(1), "plain");
}

TEST(LineBuffer, AddStringsAppendsInOneEvent) {
  TRidEderStringList Src, L;
  Src.Add("x");
  Src.Add("y");
  L.Add("a");
  EventLog Log;
  Log.Attach(L);
  L.AddStrings(&Src);
  EXPECT_EQ(Lines(L), (std::vector<std::string>{"a", "x", "y"}));
  EXPECT_EQ(Log.Events, (std::vector<std::string>{"changing", "ins 1 2", "change"}));
  EXPECT_EQ(L.GetCapacity() % 16, 0);
}

// --- undo list

struct UndoFixture : ::testing::Test {
  TRidEderUndoList U;
  int Added = 0;
  void SetUp() override {
    U.OnAddedUndo = [this](TObject*) { ++Added; };
  }
  void Change(TRidChangeReason r = urInsert, const std::string& Text = "t") {
    U.AddChange(r, BufferCoord(1, 1), BufferCoord(2, 1), Text, smNormal);
  }
};

TEST_F(UndoFixture, BlocksShareOneChangeNumber) {
  Change();
  U.BeginBlock();
  Change();
  U.BeginBlock();  // nested blocks share the number
  Change();
  U.EndBlock();
  Change();
  U.EndBlock();
  Change();
  ASSERT_EQ(U.ItemCount(), 5);
  EXPECT_EQ(U.GetItem(0)->GetChangeNumber(), 1);
  EXPECT_EQ(U.GetItem(1)->GetChangeNumber(), 2);
  EXPECT_EQ(U.GetItem(2)->GetChangeNumber(), 2);
  EXPECT_EQ(U.GetItem(3)->GetChangeNumber(), 2);
  EXPECT_EQ(U.GetItem(4)->GetChangeNumber(), 3);
  EXPECT_EQ(Added, 6);  // five changes, and the close of a block that recorded something
  U.BeginBlock();
  U.EndBlock();
  EXPECT_EQ(Added, 6);
  U.EndBlock();  // unbalanced: ignored
  EXPECT_EQ(U.GetBlockCount(), 0);
}

TEST_F(UndoFixture, GroupBreaksAreNeverDoubled) {
  EXPECT_EQ(U.LastChangeReason(), urNothing);
  U.AddGroupBreak();
  U.AddGroupBreak();
  EXPECT_EQ(U.ItemCount(), 1);
  EXPECT_EQ(Added, 0);  // a group break is not announced
  Change(urDeleteAfter);
  U.AddGroupBreak();
  EXPECT_EQ(U.ItemCount(), 3);
  EXPECT_EQ(U.LastChangeReason(), urGroupBreak);
}

TEST_F(UndoFixture, LimitDropsTheOldest) {
  for (int i = 0; i < 1025; ++i) Change(urInsert, std::to_string(i));
  EXPECT_EQ(U.ItemCount(), 1024);
  EXPECT_TRUE(U.GetFullUndoImpossible());
  EXPECT_EQ(U.GetItem(0)->GetChangeStr(), "1");
  U.SetMaxUndoActions(-5);
  EXPECT_EQ(U.GetMaxUndoActions(), 0);
  EXPECT_EQ(U.ItemCount(), 0);
  Added = 0;
  Change();
  EXPECT_EQ(U.ItemCount(), 0);
  EXPECT_EQ(Added, 1);
  EXPECT_EQ(U.PeekItem(), nullptr);
  U.Clear();
  EXPECT_FALSE(U.GetFullUndoImpossible());
}

// A group undoes as a whole or not at all: trimming takes whole groups, oldest first, and
// never the one being recorded, however long it grows.
TEST_F(UndoFixture, LimitDropsWholeGroupsNeverTheOneBeingRecorded) {
  U.SetMaxUndoActions(4);
  Change(urInsert, "single");
  U.BeginBlock();
  for (int i = 0; i < 3; ++i) Change(urInsert, "old" + std::to_string(i));
  U.EndBlock();
  U.BeginBlock();
  for (int i = 0; i < 10; ++i) {
    Change(urInsert, "new" + std::to_string(i));
    EXPECT_EQ(U.GetItem(U.ItemCount() - 1 - i)->GetChangeStr(), "new0");
  }
  U.EndBlock();
  EXPECT_EQ(U.ItemCount(), 10);  // the older groups went whole
  EXPECT_TRUE(U.GetFullUndoImpossible());
  Change(urInsert, "next");
  ASSERT_EQ(U.ItemCount(), 1);
  EXPECT_EQ(U.GetItem(0)->GetChangeStr(), "next");
  // Under grouping a group's first change joins a run of its reason until a second comes: then
  // the run under it is a step of its own, and goes.
  U.SetGroupUndo(true);
  U.SetMaxUndoActions(2);
  Change(urDeleteAfter, "run");
  U.BeginBlock();
  Change(urDeleteAfter, "first");
  ASSERT_EQ(U.ItemCount(), 2);  // one step
  EXPECT_EQ(U.GetItem(0)->GetChangeStr(), "run");
  Change(urInsert, "second");
  U.EndBlock();
  ASSERT_EQ(U.ItemCount(), 2);
  EXPECT_EQ(U.GetItem(0)->GetChangeStr(), "first");
  U.SetMaxUndoActions(0);
  EXPECT_EQ(U.ItemCount(), 0);
}

TEST_F(UndoFixture, LockRecordsNothing) {
  U.Lock();
  U.Lock();
  Change();
  U.Unlock();
  Change();
  EXPECT_EQ(U.ItemCount(), 0);
  EXPECT_EQ(Added, 0);
  U.Unlock();
  U.Unlock();  // never below zero
  Change();
  EXPECT_EQ(U.ItemCount(), 1);
  EXPECT_FALSE(U.IsLocked());
}

TEST_F(UndoFixture, SavePointFollowsTheNewestItem) {
  U.MarkSavePoint(true);
  EXPECT_TRUE(U.IsAtSavePoint());
  Change();
  EXPECT_FALSE(U.IsAtSavePoint());
  U.PopItem();
  EXPECT_TRUE(U.IsAtSavePoint());
  Change();
  U.MarkSavePoint(true);
  EXPECT_TRUE(U.IsAtSavePoint());
  U.MarkSavePoint(false);  // changed outside the list
  EXPECT_FALSE(U.IsAtSavePoint());
  Change();
  U.PopItem();
  EXPECT_FALSE(U.IsAtSavePoint());
  U.MarkSavePoint(true);
  EXPECT_TRUE(U.IsAtSavePoint());
}

// The save point outlives the items the limit drops: undoing all that is left reaches the saved
// text when the newest group dropped was the saved state, and an edit dropped at once (a limit
// of 0) still leaves the text changed.
TEST_F(UndoFixture, SavePointOutlivesTheLimit) {
  const struct {
    int32_t Limit;
    bool SavedAfterUndo;
  } cases[] = {{0, false}, {1, true}, {2, true}, {5, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Limit);
    TRidEderUndoList u;
    u.SetMaxUndoActions(c.Limit);
    u.MarkSavePoint(true);
    u.AddChange(urInsert, BufferCoord(1, 1), BufferCoord(2, 1), "", smNormal);
    EXPECT_FALSE(u.IsAtSavePoint());
    u.MarkSavePoint(true);
    EXPECT_TRUE(u.IsAtSavePoint());
    // One step longer than the limit: the saved step goes.
    u.BeginBlock();
    for (int32_t i = 0; i <= c.Limit; ++i)
      u.AddChange(urInsert, BufferCoord(1, 1), BufferCoord(2, 1), "", smNormal);
    u.EndBlock();
    EXPECT_FALSE(u.IsAtSavePoint());
    while (u.PopItem()) {
    }
    EXPECT_EQ(u.IsAtSavePoint(), c.SavedAfterUndo);
    u.Clear();
    u.MarkSavePoint(true);
    EXPECT_TRUE(u.IsAtSavePoint());
  }
}

// What the limit leaves never starts with a group break, which would make one undo that takes
// nothing back; a save point marked on a dropped break is still reached by undoing all.
TEST_F(UndoFixture, TheLimitLeavesNoBreakAtTheFront) {
  const struct {
    int32_t Limit;
    bool SavedOnBreak;   // else on the change under it
    int32_t Left;        // items kept
    bool SavedAfterAll;  // undoing all that is kept reaches the saved text
  } cases[] = {{3, true, 2, true}, {3, false, 2, false}, {2, true, 2, true}, {4, true, 4, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Limit);
    TRidEderUndoList u;
    u.SetMaxUndoActions(c.Limit);
    u.AddChange(urInsert, BufferCoord(1, 1), BufferCoord(2, 1), "a", smNormal);
    if (!c.SavedOnBreak) u.MarkSavePoint(true);
    u.AddGroupBreak();
    if (c.SavedOnBreak) u.MarkSavePoint(true);
    u.AddChange(urDeleteAfter, BufferCoord(1, 1), BufferCoord(2, 1), "b", smNormal);
    u.AddChange(urDeleteBefore, BufferCoord(1, 1), BufferCoord(2, 1), "c", smNormal);
    EXPECT_EQ(u.ItemCount(), c.Left);
    EXPECT_EQ(u.GetFullUndoImpossible(), c.Left < 4);
    int32_t breaks = 0;
    while (TRidEderUndoItem* item = u.PeekItem()) {
      breaks += item->FChangeReason == urGroupBreak;
      u.PopItem();
    }
    EXPECT_EQ(breaks, c.Left < 4 ? 0 : 1);
    EXPECT_EQ(u.IsAtSavePoint(), c.SavedAfterAll);
  }
}

// Lines edited hit by hit: the rows after, the line before again from them, and a walk bottom
// up that comes out as the walk top down.
TEST(LineEdits, RebuildEachLineBothWaysInAnyWalkOrder) {
  std::mt19937 rng(7);
  const std::vector<std::string> texts = {"", "x", "\x93\xfa", "a\nb", "\r", "\r\n\n", "yz\r"};
  for (int round = 0; round < 300; ++round) {
    struct THit {
      int32_t Pos;
      std::string Old, New;
    };
    std::vector<std::pair<std::string, std::vector<THit>>> lines(1 + rng() % 4);
    for (auto& [line, hits] : lines) {
      for (int k = rng() % 20; k > 0; --k) line += "ab c\x83"[rng() % 6];
      for (size_t at = rng() % 3; at < line.size(); at += 1 + rng() % 4) {
        const size_t length = std::min<size_t>(rng() % 3, line.size() - at);
        hits.push_back({static_cast<int32_t>(at), line.substr(at, length), texts[rng() % 7]});
        at += length;
      }
    }
    TRidLineEdits down, up;
    for (size_t l = 0; l < lines.size(); ++l) {
      down.BeginLine(static_cast<int32_t>(l * 2));
      for (const THit& h : lines[l].second) down.AddHit(h.Pos, h.Old, h.New);
    }
    for (size_t l = lines.size(); l-- > 0;) {
      up.BeginLine(static_cast<int32_t>(l * 2));
      for (size_t k = lines[l].second.size(); k-- > 0;) {
        const THit& h = lines[l].second[k];
        up.AddHit(h.Pos, h.Old, h.New);
      }
    }
    up.Reverse();
    // Each walk gives the same rows; the caret follows the hit its walk added last.
    std::vector<std::string> fromDown, fromUp;
    std::vector<size_t> caretDown, caretUp, withHits;
    for (size_t l = 0; l < lines.size(); ++l)
      if (!lines[l].second.empty()) withHits.push_back(l);
    down.ForEachLine([&](const TRidLineEdits::TLine& L) {
      const auto& [before, hits] = lines[fromDown.size()];
      EXPECT_EQ(L.Index, static_cast<int32_t>(fromDown.size() * 2));
      TRidLineEdits::TRows rows;
      L.After(before, rows);
      // The model: the hits replaced from the left, the rows split at each new text's breaks.
      std::string want, joined;
      size_t from = 0;
      for (const THit& h : hits) {
        want += before.substr(from, h.Pos - from) + h.New;
        from = h.Pos + h.Old.size();
      }
      want += before.substr(from);
      const std::string kinds = L.BreakKinds();
      EXPECT_EQ(rows.Breaks, kinds);
      EXPECT_EQ(rows.Ends.size(), kinds.size() + 1);
      for (size_t r = 0; r < rows.Ends.size(); ++r) {
        joined += rows.Row(r);
        if (r < kinds.size()) joined += LineBreakText(kinds[r]);
      }
      EXPECT_EQ(joined, want);
      std::string back;
      L.Before(joined, back);
      EXPECT_EQ(back, before);
      if (rows.CaretRow >= 0) caretDown.push_back(fromDown.size());
      fromDown.push_back(rows.Text);
    });
    up.ForEachLine([&](const TRidLineEdits::TLine& L) {
      TRidLineEdits::TRows rows;
      L.After(lines[fromUp.size()].first, rows);
      if (rows.CaretRow >= 0) caretUp.push_back(fromUp.size());
      fromUp.push_back(rows.Text);
    });
    EXPECT_EQ(fromUp, fromDown);
    if (withHits.empty()) continue;
    EXPECT_EQ(caretDown, std::vector<size_t>{withHits.back()});
    EXPECT_EQ(caretUp, std::vector<size_t>{withHits.front()});
  }
}

TEST_F(UndoFixture, PopPeekAndAssign) {
  EXPECT_EQ(U.PopItem(), nullptr);
  Change(urInsert, "one");
  Change(urDeleteBefore, "two");
  EXPECT_EQ(U.PeekItem()->GetChangeStr(), "two");
  U.PushItem(nullptr);
  EXPECT_EQ(U.ItemCount(), 2);
  U.SetInsideUndo(true);
  U.MarkSavePoint(true);
  TRidEderUndoList Copy;
  Copy.Assign(&U);
  ASSERT_EQ(Copy.ItemCount(), 2);
  EXPECT_NE(Copy.GetItem(1), U.GetItem(1));
  EXPECT_EQ(Copy.GetItem(1)->GetChangeReason(), urDeleteBefore);
  EXPECT_EQ(Copy.GetItem(1)->GetChangeEndPos(), BufferCoord(2, 1));
  EXPECT_TRUE(Copy.GetInsideUndo());
  EXPECT_FALSE(Copy.IsAtSavePoint());  // the save point is not copied
  Copy.AddChange(urInsert, {}, {}, "", smNormal);
  EXPECT_EQ(Copy.PeekItem()->GetChangeNumber(), 3);
  auto Item = U.PopItem();
  EXPECT_EQ(Item->GetChangeStr(), "two");
  EXPECT_EQ(U.ItemCount(), 1);
}

}  // namespace
}  // namespace rid
