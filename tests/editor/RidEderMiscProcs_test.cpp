#include "editor/RidEderMiscProcs.h"

#include <gtest/gtest.h>

#include <QImage>
#include <random>
#include <string>

#include "editor/RidEderHighlighter.h"
#include "platform/Graphics.h"
#include "tests/TestSupport.h"

namespace rid {
namespace {

using namespace std::string_literals;

TEST(Coordinates, ClampSwapAndMin) {
  EXPECT_EQ(ClampInteger(5, 1, 10), 5);
  EXPECT_EQ(ClampInteger(-3, 1, 10), 1);
  EXPECT_EQ(ClampInteger(30, 1, 10), 10);
  EXPECT_EQ(ClampInteger(5, 10, 1), 10);  // the minimum wins
  int32_t a = 1, b = 2;
  SwapIntegers(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
  EXPECT_EQ(MinBufferCoord(BufferCoord(5, 2), BufferCoord(9, 1)), BufferCoord(9, 1));
  EXPECT_EQ(MinBufferCoord(BufferCoord(5, 2), BufferCoord(3, 2)), BufferCoord(3, 2));
  TBufferCoord x = BufferCoord(4, 4), y = BufferCoord(4, 4);
  EXPECT_EQ(MinBufferCoord(x, y), x);
}

TEST(TabExpansion, FollowsTheStopsOfEachForm) {
  bool HasTabs = false;
  EXPECT_EQ(ConvertTabsPow2Ex("a\tb", 4, HasTabs), "a\t\t\tb");
  EXPECT_TRUE(HasTabs);
  EXPECT_EQ(ConvertTabsSingleEx("a\tb", 1, HasTabs), "a b");
  EXPECT_EQ(ConvertTabsModEx("a\tb", 3, HasTabs), "a\t\tb");
  EXPECT_EQ(ConvertTabsModEx("abc", 3, HasTabs), "abc");
  EXPECT_FALSE(HasTabs);
  EXPECT_EQ(ConvertTabsPow2("\t", 8), std::string(8, '\t'));
  EXPECT_EQ(ConvertTabsMod("", 5), "");
}

// 16 Mi tabs at width 256 reach 2^32 columns: the width stops at the largest an int holds
// instead of wrapping round to a negative one.
TEST(TabExpansion, TheWidthOfAVeryWideLineStopsAtTheLargestInt) {
  const std::string tabs(size_t{16} << 20, '\t');
  EXPECT_EQ(ExpandedLength(tabs, 256), INT32_MAX);
  EXPECT_EQ(ExpandedLength(tabs, 129), INT32_MAX);  // no power of two
  EXPECT_EQ(ExpandedLength(tabs, 8), 8 << 24);
}

TEST(TabExpansion, WorksByLengthAcrossZeroBytes) {
  const std::string Line = "a\0\tb\t"s;
  bool HasTabs = false;
  EXPECT_EQ(ConvertTabsPow2Ex(Line, 4, HasTabs), "a\0\t\tb\t\t\t"s);
  EXPECT_TRUE(HasTabs);
  EXPECT_EQ(ConvertTabsSingle(Line, 1), "a\0 b "s);
  EXPECT_EQ(ExpandedLength(Line, 4), 8);
  int32_t Before = -1;
  EXPECT_TRUE(FindFirstTab(Line, Before));
  EXPECT_EQ(Before, 2);
  EXPECT_FALSE(FindFirstTab("x\0y"s, Before));
  EXPECT_EQ(Before, 3);
}

TEST(TabExpansion, ChoosesTheRoutineByWidth) {
  EXPECT_EQ(GetBestConvertTabsProc(0), &ConvertTabsSingle);
  EXPECT_EQ(GetBestConvertTabsProc(1), &ConvertTabsSingle);
  EXPECT_EQ(GetBestConvertTabsProc(2), &ConvertTabsPow2);
  EXPECT_EQ(GetBestConvertTabsProc(6), &ConvertTabsMod);
  EXPECT_EQ(GetBestConvertTabsProcEx(65536), &ConvertTabsPow2Ex);
  EXPECT_EQ(GetBestConvertTabsProcEx(131072), &ConvertTabsModEx);
  EXPECT_TRUE(IsPowerOfTwo(65536));
  EXPECT_FALSE(IsPowerOfTwo(1));
  EXPECT_FALSE(IsPowerOfTwo(12));
}

TEST(TabExpansion, Pow2AndModAgreeOnRandomLines) {
  std::mt19937 Rng(7);
  for (int n = 0; n < 2000; ++n) {
    // Long enough for several of the blocks the length is measured in.
    std::string Line(Rng() % 100, 'x');
    for (char& c : Line) c = "ab\t\0\x82\xA0 "[Rng() % 7];
    for (int32_t w : {2, 4, 8, 16, 64}) {
      bool t1, t2;
      std::string p = ConvertTabsPow2Ex(Line, w, t1), m = ConvertTabsModEx(Line, w, t2);
      ASSERT_EQ(p, m) << "width " << w;
      ASSERT_EQ(t1, t2);
      ASSERT_EQ(static_cast<int32_t>(p.size()), ExpandedLength(Line, w));
    }
    for (int32_t w : {1, 3, 5, 6, 7, 12}) {
      bool t;
      ASSERT_EQ(static_cast<int32_t>(ConvertTabsModEx(Line, w, t).size()), ExpandedLength(Line, w))
          << "width " << w;
    }
  }
}

// Our expansion keeps tab bytes; expand(1) turns them into blanks. Map ours and compare.
TEST(TabExpansion, MatchesExpandForAsciiLines) {
  RID_NEED_TOOL("expand", "coreutils");
  std::mt19937 Rng(11);
  std::string Lines;
  for (int n = 0; n < 200; ++n) {
    std::string Line(Rng() % 30, 'x');
    for (char& c : Line) c = "abc \t"[Rng() % 5];
    Lines += Line + "\n";
  }
  for (int32_t w : {1, 2, 3, 4, 5, 8, 13}) {
    std::string Expected = test::RunTool("LC_ALL=C expand -t " + std::to_string(w), Lines);
    std::string Ours;
    size_t Start = 0;
    for (size_t nl; (nl = Lines.find('\n', Start)) != std::string::npos; Start = nl + 1) {
      std::string Line = Lines.substr(Start, nl - Start);
      std::string e = GetBestConvertTabsProc(w)(Line, w);
      for (char& c : e)
        if (c == '\t') c = ' ';
      Ours += e + "\n";
      ASSERT_EQ(ExpandedLength(Line, w), static_cast<int32_t>(e.size()));
    }
    EXPECT_EQ(Ours, Expected) << "width " << w;
  }
}

TEST(ColumnArithmetic, CharIndexToColumn) {
  const std::string Line = "a\tb";
  EXPECT_EQ(CharIndexToColumn(1, 4, Line), 1);
  EXPECT_EQ(CharIndexToColumn(2, 4, Line), 2);
  EXPECT_EQ(CharIndexToColumn(3, 4, Line), 5);
  EXPECT_EQ(CharIndexToColumn(4, 4, Line), 6);
  EXPECT_EQ(CharIndexToColumn(10, 4, Line), 12);
  EXPECT_EQ(CharIndexToColumn(0, 4, Line), 1);
  EXPECT_EQ(CharIndexToColumn(3, 1, Line), 3);
  EXPECT_EQ(CharIndexToColumn(7, 4, "abc"), 7);
  // Agrees with the expanded length at every index inside the line.
  const std::string L2 = "\tab\t\tc\td";
  for (int32_t i = 1; i <= static_cast<int32_t>(L2.size()) + 1; ++i)
    EXPECT_EQ(CharIndexToColumn(i, 3, L2), ExpandedLength(L2.substr(0, i - 1), 3) + 1) << i;
}

// Display column -> byte index answers as the expanded text does: each column of the expansion
// (a tab's run of tab bytes included) belongs to the byte it came from, and columns past the end
// to one index each; byte index -> column -> byte index is the identity.
TEST(ColumnArithmetic, ColumnToCharIndexInvertsCharIndexToColumn) {
  std::mt19937 Rng(13);
  for (int n = 0; n < 2000; ++n) {
    std::string Line(Rng() % 40, 'x');
    for (char& c : Line) c = "ab\t\x82\xA0 "[Rng() % 6];
    const int32_t w = 1 + static_cast<int32_t>(Rng() % 9);
    SCOPED_TRACE(testing::Message() << testing::PrintToString(Line) << " width " << w);
    std::vector<int32_t> owner;  // the byte index of each column of the expansion
    for (int32_t i = 1; i <= static_cast<int32_t>(Line.size()); ++i)
      owner.resize(ExpandedLength(Line.substr(0, i), w), i);
    ASSERT_EQ(ColumnToCharIndex(0, w, Line), 1);
    for (int32_t col = 1; col <= static_cast<int32_t>(owner.size()) + 5; ++col) {
      const int32_t want =
          col <= static_cast<int32_t>(owner.size())
              ? owner[col - 1]
              : static_cast<int32_t>(Line.size()) + col - static_cast<int32_t>(owner.size());
      ASSERT_EQ(ColumnToCharIndex(col, w, Line), want) << "column " << col;
    }
    for (int32_t i = 1; i <= static_cast<int32_t>(Line.size()) + 5; ++i)
      ASSERT_EQ(ColumnToCharIndex(CharIndexToColumn(i, w, Line), w, Line), i) << "index " << i;
  }
}

TEST(DoubleByteScans, NeverReturnATrailByte) {
  // 0x95 0x5C is one character whose trail byte looks like a backslash.
  const std::string Line = "a\x95\x5C\\b";
  const TRidCharSet Backslash = TRidCharSet::Of("\\");
  EXPECT_EQ(ScanForCharInSet(Line, 1, Backslash), 4);
  EXPECT_EQ(ScanForCharInSet(Line, 3, Backslash), 4);  // starts on the trail byte
  EXPECT_EQ(ScanForCharInSet(Line, 5, Backslash), 0);
  EXPECT_EQ(ScanForCharInSet(Line, 0, Backslash), 0);
  EXPECT_EQ(ScanForCharInSet(Line, 6, Backslash), 0);
  EXPECT_EQ(ScanBackForCharInSet(Line, 3, Backslash), 0);
  EXPECT_EQ(ScanBackForCharInSet(Line, 5, Backslash), 4);
  EXPECT_EQ(ScanBackForCharInSet(Line, 5, TRidCharSet::Of("a")), 1);
  // A lead byte at the very end does not step past the line.
  EXPECT_EQ(ScanForCharInSet("ab\x82", 1, TRidCharSet::Of("\x82")), 0);
}

TEST(DoubleByteScans, LeadBytePositions) {
  const std::string Line =
      "a\x82\xA0"
      "b\x88\x9F";
  EXPECT_EQ(NextLeadBytePos(Line, 1), 2);
  EXPECT_EQ(NextLeadBytePos(Line, 3), 5);  // from a trail byte: the next character
  EXPECT_EQ(NextLeadBytePos(Line, 6), 0);  // 0x9F is a trail byte here
  EXPECT_EQ(NextLeadBytePos(Line, 7), 0);
  EXPECT_EQ(LastLeadBytePos(Line, 4), 2);
  EXPECT_EQ(LastLeadBytePos(Line, 6), 5);
  EXPECT_EQ(LastLeadBytePos(Line, 1), 0);
  const char* Text = "ab\rc";
  EXPECT_EQ(LineEndPtr(Text), Text + 2);
  EXPECT_EQ(LineEndPtr(nullptr), nullptr);
}

TEST(SettingsEscapes, RoundTripAndStopAtTheEnd) {
  EXPECT_EQ(EncodeString("a/b\\c"), "a\\.b\\\\c");
  EXPECT_EQ(DecodeString("a\\.b\\\\c"), "a/b\\c");
  EXPECT_EQ(DecodeString(""), "");
  EXPECT_EQ(DecodeString("ab\\"), "ab");  // a lone backslash at the end escapes nothing
  // A trail byte that looks like a backslash survives the round trip.
  const std::string Sjis = "\x95\x5C/\x83\x5C";
  EXPECT_EQ(EncodeString(Sjis).find('/'), std::string::npos);
  EXPECT_EQ(DecodeString(EncodeString(Sjis)), Sjis);
}

TEST(HighlighterNames, FriendlyName) {
  EXPECT_EQ(HighlighterFriendlyName("TRidPerlRid"), "Perl");
  EXPECT_EQ(HighlighterFriendlyName("TMyRid"), "My");
  EXPECT_EQ(HighlighterFriendlyName("Foo"), "Foo");
  EXPECT_EQ(HighlighterFriendlyName("tridCpp"), "Cpp");
  EXPECT_EQ(HighlighterFriendlyName(""), "");
}

// A scanner with named attributes only; enough for walks over attributes.
class FakeRid : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TFakeRid)
  FakeRid(std::initializer_list<const char*> Names) : TRidCustomHighlighter(nullptr) {
    for (const char* n : Names) AddAttribute(std::make_unique<TRidHighlighterAttributes>(n));
  }
  TRidHighlighterAttributes* GetDefaultAttribute(int32_t) const override { return nullptr; }
  bool GetEol() const override { return true; }
  std::string GetToken() const override { return {}; }
  std::string_view GetTokenView() const override { return {}; }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return nullptr; }
  int32_t GetTokenKind() const override { return 0; }
  int32_t GetTokenPos() const override { return 0; }
  void Next() override {}
  void SetLine(std::string_view, int32_t) override {}
};

// A highlighter that drives others in schemes, as the multi-language one does.
class FakeMultiRid : public FakeRid {
 public:
  RID_CLASS_NAME(TRidMultiRid)
  FakeMultiRid() : FakeRid({}) {}
  bool IsMultiHighlighter() const override { return true; }
  TRidCustomHighlighter* GetMultiDefaultHighlighter() const override { return Default; }
  int32_t GetSchemeCount() const override { return static_cast<int32_t>(Schemes.size()); }
  TRidCustomHighlighter* GetSchemeHighlighter(int32_t i) const override { return Schemes[i]; }
  TRidHighlighterAttributes* GetSchemeMarkerAttri(int32_t i) const override {
    return Markers[i].get();
  }
  void AddScheme(TRidCustomHighlighter* h) {
    Schemes.push_back(h);
    Markers.push_back(std::make_unique<TRidHighlighterAttributes>("Marker"));
  }
  TRidCustomHighlighter* Default = nullptr;
  std::vector<TRidCustomHighlighter*> Schemes;
  std::vector<std::unique_ptr<TRidHighlighterAttributes>> Markers;
};

struct Collector {
  std::vector<std::string> Names;
  int StopAfter = -1;
  bool Take(TRidCustomHighlighter*, TRidHighlighterAttributes*, const std::string& Name,
            std::span<void* const> Params) {
    Names.push_back(Name);
    if (!Params.empty()) ++*static_cast<int*>(Params[0]);
    return StopAfter < 0 || static_cast<int>(Names.size()) < StopAfter;
  }
  TEnumHighlighterAttrisCallback Callback() {
    return TEnumHighlighterAttrisCallback(this, &Collector::Take);
  }
};

TEST(AttributeWalk, NamesEveryAttributeUniquely) {
  FakeRid A({"Comment", "Key"}), B({"String"});
  Collector C;
  int Calls = 0;
  void* Params[] = {&Calls};
  EXPECT_TRUE(EnumHighlighterAttris(&A, true, C.Callback(), Params));
  EXPECT_EQ(C.Names, (std::vector<std::string>{"Fake1.Comment", "Fake1.Key"}));
  EXPECT_EQ(Calls, 2);
  EXPECT_FALSE(EnumHighlighterAttris(nullptr, true, C.Callback()));
  EXPECT_FALSE(EnumHighlighterAttris(&A, true, TEnumHighlighterAttrisCallback()));

  FakeMultiRid M;
  M.Default = &A;
  M.AddScheme(&B);
  M.AddScheme(&A);  // reached twice
  M.AddScheme(nullptr);
  Collector Skip;
  EXPECT_TRUE(EnumHighlighterAttris(&M, true, Skip.Callback()));
  EXPECT_EQ(Skip.Names,
            (std::vector<std::string>{"Fake1.Comment", "Fake1.Key", "Multi1.Marker1",
                                      "Fake2.String", "Multi1.Marker2", "Multi1.Marker3"}));
  Collector All;
  EXPECT_TRUE(EnumHighlighterAttris(&M, false, All.Callback()));
  EXPECT_EQ(All.Names.size(), 8u);
  EXPECT_EQ(All.Names[5], "Fake1.Comment");  // the same highlighter, the same names
  Collector Stop;
  Stop.StopAfter = 3;
  EXPECT_FALSE(EnumHighlighterAttris(&M, false, Stop.Callback()));
  EXPECT_EQ(Stop.Names.size(), 3u);
}

TEST(AttributeWalk, CyclesEndWithoutSkipping) {
  FakeMultiRid M, Inner;
  FakeRid A({"Text"});
  M.AddScheme(&Inner);
  Inner.AddScheme(&M);  // leads back
  Inner.AddScheme(&A);
  M.Default = &M;
  Collector C;
  EXPECT_TRUE(EnumHighlighterAttris(&M, false, C.Callback()));
  EXPECT_EQ(C.Names, (std::vector<std::string>{"Multi1.Marker1", "Multi2.Marker1", "Multi2.Marker2",
                                               "Fake1.Text"}));
}

TEST(AttributeWalk, SameClassIndexCountsEarlierEntries) {
  FakeRid A({}), B({}), C({});
  FakeMultiRid M;
  std::vector<const TRidCustomHighlighter*> List{&A, &M, &B};
  EXPECT_EQ(SameClassIndex(&A, List), 1);
  EXPECT_EQ(SameClassIndex(&B, List), 2);
  EXPECT_EQ(SameClassIndex(&C, List), 3);  // absent: counts the whole list
  EXPECT_EQ(SameClassIndex(&M, {}), 1);
}

TEST(Gradient, BandsRunFromStartToEndColour) {
  TBitmap Bmp;
  Bmp.SetSize(100, 10);
  FillGradient(&Bmp.Canvas(), clBlack, RGB(255, 0, 100), true, Rect(0, 0, 100, 10), 1);
  const QImage& Img = Bmp.Image();
  EXPECT_EQ(Img.pixelColor(10, 5).red(), 0);    // two bands: start ...
  EXPECT_EQ(Img.pixelColor(90, 5).red(), 255);  // ... and end
  EXPECT_EQ(Img.pixelColor(90, 5).blue(), 100);
  Bmp.SetSize(10, 300);
  FillGradient(&Bmp.Canvas(), clWhite, clBlack, false, Rect(0, 0, 10, 300), 1000);
  const QImage& Tall = Bmp.Image();
  EXPECT_EQ(Tall.pixelColor(5, 0).green(), 255);
  EXPECT_EQ(Tall.pixelColor(5, 299).green(), 0);
  int Changes = 0;
  for (int y = 1; y < 300; ++y) Changes += Tall.pixelColor(5, y) != Tall.pixelColor(5, y - 1);
  EXPECT_EQ(Changes, 255);  // 256 bands at most
}

}  // namespace
}  // namespace rid
