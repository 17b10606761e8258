#include "highlighters/RidHighlighterMulti.h"

#include <gtest/gtest.h>

#include <random>

#include "editor/RidEder.h"
#include "editor/RidEderSearch.h"
#include "editor/RidMacroRecorder.h"
#include "highlighters/RidHighlighterScanner.h"
#include "platform/Registry.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

// A stand-in language: words (kind 1), other characters (kind 2), "{ comments }" over lines
// (kind 0, range 1) and "#n", which sets the range to n (kind 2), so a test can ask for any
// range.
class TStandInRid : public TRidScanHighlighter {
 public:
  RID_CLASS_NAME(TStandInRid)
  enum : uint8_t { tkComment, tkWord, tkOther, tkNull, tkSpace };
  explicit TStandInRid(TComponent* AOwner) : TRidScanHighlighter(AOwner, Language()) {}

  TRidRange GetRange() const override { return FRange; }
  void SetRange(TRidRange Value) override { FRange = Value; }
  void ResetRange() override { FRange = 0; }
  void Next() override {
    FTokenStart = FRunPos;
    if (FRange == 1 && FRunPos < FLineLen) return CommentProc();
    (this->*kTable[Cur()])();
  }

 private:
  static const TRidLanguageSpec& Language() {
    static constexpr TRidAttriSpec attris[] = {
        {"Comment", {}}, {"Word", {}}, {"Other", {}}, {"Space", {}}};
    static constexpr int8_t kinds[] = {0, 1, 2, -1, 3};
    static constexpr TRidLanguageSpec kLanguage = {"Stand-in",
                                                   "Stand-in (*.si)|*.si",
                                                   "",
                                                   TRidCharSet::Range('a', 'z'),
                                                   attris,
                                                   kinds,
                                                   {0, 1, 1, -1, 3, 2},
                                                   tkNull,
                                                   tkSpace,
                                                   tkOther};
    return kLanguage;
  }
  void WordProc() {
    FTokenKind = tkWord;
    SkipSet(TRidCharSet::Range('a', 'z'));
  }
  void BraceProc() {
    FRange = 1;
    ++FRunPos;
    CommentProc();
  }
  void CommentProc() {
    FTokenKind = tkComment;
    if (RunToClose("}", {})) FRange = 0;
  }
  void HashProc() {
    FTokenKind = tkOther;
    ++FRunPos;
    TRidRange n = 0;
    while (Cur() >= '0' && Cur() <= '9' && n < 100000000) n = n * 10 + (At(FRunPos++) - '0');
    FRange = n;
  }
  static constexpr TScanTable<TStandInRid> kTable = SharedScanTable<TStandInRid>()
                                                        .OnRange('a', 'z', &TStandInRid::WordProc)
                                                        .On('{', &TStandInRid::BraceProc)
                                                        .On('#', &TStandInRid::HashProc);
  TRidRange FRange = 0;
};

// A multi-language highlighter that owns its highlighters: the default D and the schemes
// A ("<s>" to "</s>") and B ("<t>" to "</t>", case-insensitive).
struct TSetUp {
  std::unique_ptr<TRidMultiRid> Multi = std::make_unique<TRidMultiRid>(nullptr);
  TStandInRid* D = new TStandInRid(Multi.get());
  TStandInRid* A = new TStandInRid(Multi.get());
  TStandInRid* B = new TStandInRid(Multi.get());
  TSetUp() {
    Multi->SetDefaultHighlighter(D);
    AddScheme("A", "<s>", "</s>", A, true);
    AddScheme("B", "<t>", "</t>", B, false);
  }
  TScheme* AddScheme(const char* AName, const char* AStart, const char* AEnd,
                     TRidCustomHighlighter* H, bool ACase) {
    TScheme* s = Multi->GetSchemes()->Add();
    s->SetSchemeName(AName);
    s->SetCaseSensitive(ACase);
    s->SetStartExpr(AStart);
    s->SetEndExpr(AEnd);
    s->SetHighlighter(H);
    return s;
  }
  TScheme* Scheme(int32_t I) const { return Multi->GetSchemes()->GetItem(I); }

  // Each token's text and who coloured it: "D1" (highlighter D, kind 1), "M0" (the marker of
  // scheme 0), or "-" (no attribute).
  std::vector<std::pair<std::string, std::string>> Scan(std::string_view ALine, TRidRange ARange,
                                                        TRidRange* AEnd = nullptr) {
    std::vector<std::pair<std::string, std::string>> out;
    TRidRange end = 0;
    test::ScanCheckedLine(*Multi, ALine, ARange, &end);
    Multi->SetRange(ARange);
    Multi->SetLine(ALine, 0);
    for (; !Multi->GetEol(); Multi->Next())
      out.emplace_back(Multi->GetToken(), Who(Multi->GetTokenAttribute()));
    EXPECT_EQ(Multi->GetRange(), end);
    if (AEnd) *AEnd = end;
    return out;
  }
  std::string Who(TRidHighlighterAttributes* Attr) const {
    if (!Attr) return "-";
    for (int32_t i = 0; i < Multi->GetSchemes()->Count(); ++i)
      if (Scheme(i)->GetMarkerAttri() == Attr) return "M" + std::to_string(i);
    for (auto [name, h] : {std::pair{"D", D}, {"A", A}, {"B", B}})
      for (int32_t k = 0; k < h->GetAttribCount(); ++k)
        if (h->GetAttribute(k) == Attr) return name + std::to_string(Multi->GetTokenKind());
    return "?";
  }
};

using V = std::vector<std::pair<std::string, std::string>>;

TEST(MultiHighlighter, TheFirstSchemeOfTheListWinsWhereverItMatches) {
  TSetUp s;
  TRidRange end = 0;
  EXPECT_EQ(s.Scan("x<t>y<s>z", 0, &end), (V{{"x", "D1"},
                                             {"<", "D2"},
                                             {"t", "D1"},
                                             {">", "D2"},
                                             {"y", "D1"},
                                             {"<s>", "M0"},
                                             {"z", "A1"}}));
  EXPECT_EQ(end & 7, 1);  // scheme 0 open
  // The next line is searched for the end first; the marker ends the scheme.
  EXPECT_EQ(s.Scan("a</s><T>b</t>", end, &end),
            (V{{"a", "A1"}, {"</s>", "M0"}, {"<T>", "M1"}, {"b", "B1"}, {"</t>", "M1"}}));
  EXPECT_EQ(end & 7, 0);
  // Ranges of the highlighters are kept inside and outside the schemes.
  EXPECT_EQ(s.Scan("{c<s>{d", 0, &end), (V{{"{c", "D0"}, {"<s>", "M0"}, {"{d", "A0"}}));
  EXPECT_EQ(s.Scan("e}</s>f}", end, &end), (V{{"e}", "A0"}, {"</s>", "M0"}, {"f}", "D0"}}));
  EXPECT_EQ(end, 0);
  // An empty line keeps the range; a line without markers stays in its scheme.
  TRidRange inside = 0;
  s.Scan("<s>", 0, &inside);
  EXPECT_EQ(s.Scan("", inside, &end), V{});
  EXPECT_EQ(end, inside);
  EXPECT_EQ(s.Scan("q", inside, &end), (V{{"q", "A1"}}));
  EXPECT_EQ(end, inside);
}

TEST(MultiHighlighter, CheckEventsAndDisabledHighlighters) {
  TSetUp s;
  // An emptied start marker is dropped: the text goes to the default highlighter up to the end
  // marker, which keeps its colour.
  s.Scheme(0)->OnCheckStartMarker = TOnCheckMarker(
      [](TObject*, int32_t&, int32_t&, std::string& Text, int32_t) { Text.clear(); });
  EXPECT_EQ(s.Scan("<s>q</s>r", 0),
            (V{{"<", "D2"}, {"s", "D1"}, {">", "D2"}, {"q", "D1"}, {"</s>", "M0"}, {"r", "D1"}}));
  // A moved marker that no longer lies in the line, or overlaps the one before, is dropped.
  s.Scheme(0)->OnCheckStartMarker =
      TOnCheckMarker([](TObject*, int32_t& Pos, int32_t& Len, std::string&, int32_t) { Len = 99; });
  EXPECT_EQ(s.Scan("a<s>b", 0),
            (V{{"a", "D1"}, {"<", "D2"}, {"s", "D1"}, {">", "D2"}, {"b", "D1"}}));
  s.Scheme(0)->OnCheckStartMarker = nullptr;
  // A disabled highlighter's scheme is not searched.
  s.A->SetEnabled(false);
  EXPECT_EQ(s.Scan("<s>", 0), (V{{"<", "D2"}, {"s", "D1"}, {">", "D2"}}));
}

// A marker expression that matches nothing but the empty string finds no marker, and the
// search ends; a match that starts or ends inside a double-byte character is passed over.
TEST(MultiHighlighter, EmptyAndSplitMatchesAreNoMarkers) {
  TSetUp s;
  s.Scheme(0)->SetStartExpr("x*");
  s.Scheme(0)->SetEndExpr("^");
  TRidRange end = 0;
  EXPECT_EQ(s.Scan("ab", 0, &end), (V{{"ab", "D1"}}));
  EXPECT_EQ(s.Scan("axxb", 0, &end), (V{{"a", "D1"}, {"xx", "M0"}, {"b", "A1"}}));
  EXPECT_EQ(s.Scan("cd", end), (V{{"cd", "A1"}}));

  TSetUp t;
  t.Scheme(0)->SetStartExpr("\\\\");  // a backslash: also the trail byte of 表
  t.Scheme(0)->SetEndExpr("\\x83");   // a lead byte: also the trail byte of 何
  // 表 and ソ end in a backslash byte, 何 in 0x83, the lead byte of ソ.
  const std::string hyo = "\x95\x5C", nani = "\x89\x83", so = "\x83\x5C";
  EXPECT_EQ(t.Scan(hyo + "\\" + nani + so + "\x83", 0),
            (V{{hyo, "D2"}, {"\\", "M0"}, {nani, "A2"}, {so, "A2"}, {"\x83", "M0"}}));
}

// A stored range may name a scheme that is gone, has no highlighter or is switched off: the
// line is the default highlighter's then.
TEST(MultiHighlighter, ARangeNamingASchemeThatCannotColourIsNoScheme) {
  TSetUp s;
  TRidRange inB = 0;
  s.Scan("<t>", 0, &inB);
  ASSERT_EQ(inB & 7, 2);
  s.B->SetEnabled(false);
  EXPECT_EQ(s.Scan("x", inB), (V{{"x", "D1"}}));
  s.B->SetEnabled(true);
  delete s.B;  // the scheme forgets its highlighter
  s.B = nullptr;
  EXPECT_EQ(s.Scheme(1)->GetHighlighter(), nullptr);
  EXPECT_EQ(s.Scan("x", inB), (V{{"x", "D1"}}));
  s.Multi->GetSchemes()->Delete(1);
  EXPECT_EQ(s.Scan("x", inB), (V{{"x", "D1"}}));
  EXPECT_EQ(s.Scan("x", 7 | 5 << 3), (V{{"x", "D1"}}));
  delete s.D;
  s.D = nullptr;
  EXPECT_EQ(s.Multi->GetDefaultHighlighter(), nullptr);
}

TEST(MultiHighlighter, WithoutADefaultHighlighterALineIsOneToken) {
  TRidMultiRid m(nullptr);
  m.SetLine("", 0);
  EXPECT_TRUE(m.GetEol());
  m.SetLine("a <s> b", 0);
  ASSERT_FALSE(m.GetEol());
  EXPECT_EQ(m.GetToken(), "a <s> b");
  EXPECT_EQ(m.GetTokenKind(), 0);
  EXPECT_EQ(m.GetTokenAttribute(), nullptr);
  m.Next();
  EXPECT_TRUE(m.GetEol());
  EXPECT_EQ(m.GetRange(), 0);
}

// Ranges pack without raising, whatever the highlighters leave: a range that does not fit
// packs as no scheme. The number of schemes is limited when a scheme is added.
TEST(MultiHighlighter, RangesPackWithoutRaising) {
  TSetUp s;
  TRidRange end = 0;
  for (TRidRange inner : {0, 2, 18, 255}) {
    s.Scan("#5<s>#" + std::to_string(inner), 0, &end);
    EXPECT_EQ(end, (5 << 11) | (inner << 3) | 1) << inner;
    EXPECT_EQ(s.Scan("x</s>y", end), (V{{"x", "A1"}, {"</s>", "M0"}, {"y", "D1"}}));
    EXPECT_EQ(s.D->GetRange(), 5);
  }
  s.Scan("#5<s>#256", 0, &end);
  EXPECT_EQ(end, 5 << 3);
  for (int i = 2; i < TRidMultiRid::kMaxSchemes; ++i) s.AddScheme("C", "<c>", "</c>", s.A, true);
  EXPECT_THROW(s.Multi->GetSchemes()->Add(), EAssertionFailed);
  EXPECT_EQ(s.Multi->GetSchemes()->Count(), TRidMultiRid::kMaxSchemes);
  s.Scheme(6)->SetStartExpr("<u>");
  s.Scan("<u>", 0, &end);
  EXPECT_EQ(end & 7, 7);

  // A scheme coloured by another multi-language highlighter packs only the active range.
  TSetUp outer;
  TSetUp inner;
  outer.Scheme(0)->SetStartExpr("<x>");
  outer.Scheme(1)->SetHighlighter(inner.Multi.get());
  outer.Scan("<t>#3<s>#9", 0, &end);
  EXPECT_EQ(end, 3 + 16 * ((3 << 11) | (9 << 3) | 1));
  EXPECT_EQ(outer.Scan("a</s>b</t>c", end),
            (V{{"a", "?"}, {"</s>", "?"}, {"b", "?"}, {"</t>", "M1"}, {"c", "D1"}}));
  // Unknown scheme numbers and 0 decode as no scheme.
  EXPECT_EQ(outer.Scan("a", 0), (V{{"a", "D1"}}));
  EXPECT_EQ(outer.Scan("a", 15 + 16 * 7), (V{{"a", "D1"}}));
  for (int i = 2; i < TRidMultiRid::kMaxNestedSchemes; ++i)
    outer.AddScheme("C", "<c>", "</c>", outer.A, true);
  EXPECT_THROW(outer.Multi->GetSchemes()->Add(), EAssertionFailed);
}

TEST(MultiHighlighter, ACustomEventPacksTheRange) {
  TSetUp s;
  int calls = 0;
  s.Multi->SetOnCustomRange(
      TCustomRangeEvent([&](TRidMultiRid* Sender, TRangeOperation Op, TRidRange& Range) {
        ++calls;
        if (Op == roGet) {
          Range = Sender->GetCurrScheme() + 1;
        } else {
          Sender->SetCurrScheme(static_cast<int32_t>(Range) - 1);
        }
      }));
  TRidRange end = 0;
  s.Scan("<t>", 0, &end);
  EXPECT_EQ(end, 2);
  EXPECT_EQ(s.Scan("a", end), (V{{"a", "B1"}}));
  EXPECT_GT(calls, 0);
  for (int i = 2; i < 20; ++i) s.AddScheme("C", "<c>", "</c>", s.A, true);  // no limit then
}

TEST(MultiHighlighter, SettingsFailSafely) {
  TSetUp s;
  try {
    s.Multi->SetDefaultHighlighter(s.Multi.get());
    ADD_FAILURE() << "no exception";
  } catch (const ERidMultiError& e) {
    EXPECT_STREQ(e.what(), "A RidMultiRid cannot be its own DefaultHighlighter.");
  }
  EXPECT_THROW(s.Scheme(0)->SetHighlighter(s.Multi.get()), ERidMultiError);
  TSetUp other;
  other.Scheme(0)->SetHighlighter(s.Multi.get());
  EXPECT_THROW(s.Scheme(0)->SetHighlighter(other.Multi.get()), ERidMultiError);
  EXPECT_EQ(s.Scheme(0)->GetHighlighter(), s.A);

  // A bad expression raises and keeps the old one.
  EXPECT_THROW(s.Scheme(0)->SetStartExpr("(<s>"), ERidRegExpr);
  EXPECT_EQ(s.Scheme(0)->GetStartExpr(), "<s>");
  EXPECT_EQ(s.Scan("<s>", 0).front().second, "M0");
}

TEST(MultiHighlighter, AttributesAndChanges) {
  TSetUp s;
  const int32_t each = s.D->GetAttribCount();
  ASSERT_EQ(s.Multi->GetAttribCount(), 2 + 3 * each);
  EXPECT_EQ(s.Multi->GetAttribute(0), s.Scheme(0)->GetMarkerAttri());
  EXPECT_EQ(s.Multi->GetAttribute(1), s.Scheme(1)->GetMarkerAttri());
  EXPECT_EQ(s.Multi->GetAttribute(2), s.D->GetAttribute(0));
  EXPECT_EQ(s.Multi->GetAttribute(2 + each), s.A->GetAttribute(0));
  EXPECT_EQ(s.Multi->GetAttribute(1 + 3 * each), s.B->GetAttribute(each - 1));
  EXPECT_EQ(s.Multi->GetAttribute(2 + 3 * each), nullptr);
  EXPECT_EQ(s.Multi->GetAttribute(-1), nullptr);
  TRidHighlighterAttributes* marker = s.Scheme(0)->GetMarkerAttri();
  EXPECT_EQ(marker->GetName(), "Marker");
  EXPECT_EQ(marker->GetBackground(), clYellow);
  EXPECT_EQ(marker->GetStyle(), TFontStyles{fsBold});
  EXPECT_FALSE(marker->IsBackgroundStored());
  EXPECT_EQ(s.Multi->GetLanguageName(), "General Multi-Highlighter");
  EXPECT_EQ(s.Scheme(0)->GetDisplayName(), "A");

  // Changes of a marker, a scheme or a highlighter in use reach those hooked to the multi.
  int changes = 0;
  TNotifyEvent count([&](TObject*) { ++changes; });
  s.Multi->HookAttrChangeEvent(count);
  marker->SetForeground(clRed);
  s.A->GetAttribute(0)->SetForeground(clRed);
  s.D->GetAttribute(0)->SetForeground(clRed);
  s.Scheme(1)->SetEndExpr("</T>");  // same text without case: no change
  s.Scheme(0)->SetEndExpr("</S>");
  EXPECT_EQ(changes, 4);
  // A highlighter used by two schemes stays hooked until neither uses it.
  s.Scheme(1)->SetHighlighter(s.A);
  s.Scheme(0)->SetHighlighter(s.B);
  changes = 0;
  s.A->GetAttribute(0)->SetForeground(clBlue);
  EXPECT_EQ(changes, 1);
  s.Multi->UnhookAttrChangeEvent(count);
}

// Schemes copied from another multi-language highlighter: expressions, case rule, name, marker
// colours and highlighters; the copies search as the originals do.
TEST(MultiHighlighter, CopiesSchemes) {
  TSetUp s;
  s.Scheme(1)->GetMarkerAttri()->SetForeground(clRed);
  TRidMultiRid copy(nullptr);
  copy.SetDefaultHighlighter(s.D);
  copy.SetSchemes(s.Multi->GetSchemes());
  ASSERT_EQ(copy.GetSchemes()->Count(), 2);
  TScheme* b = copy.GetSchemes()->GetItem(1);
  EXPECT_EQ(b->GetSchemeName(), "B");
  EXPECT_EQ(b->GetStartExpr(), "<t>");
  EXPECT_FALSE(b->GetCaseSensitive());
  EXPECT_EQ(b->GetHighlighter(), s.B);
  EXPECT_EQ(b->GetMarkerAttri()->GetForeground(), clRed);
  copy.SetLine("x<T>y", 0);
  std::vector<std::string> tokens;
  for (; !copy.GetEol(); copy.Next()) tokens.push_back(copy.GetToken());
  EXPECT_EQ(tokens, (std::vector<std::string>{"x", "<T>", "y"}));
  copy.SetDefaultHighlighter(nullptr);
  copy.GetSchemes()->Clear();

  // With a scheme coloured by another multi-language highlighter, the copy packs its range as
  // the original does, keeping the inner state of more than 8 bits.
  TSetUp inner;
  s.Scheme(0)->SetStartExpr("<x>");
  s.Scheme(1)->SetHighlighter(inner.Multi.get());
  TRidMultiRid nested(nullptr);
  nested.SetDefaultHighlighter(s.D);
  nested.SetSchemes(s.Multi->GetSchemes());
  TRidRange end = 0;
  test::ScanCheckedLine(nested, "<t>#3<s>#9", 0, &end);
  EXPECT_EQ(end, 3 + 16 * ((3 << 11) | (9 << 3) | 1));
  nested.SetDefaultHighlighter(nullptr);
  nested.GetSchemes()->Clear();
}

class MultiRegistry : public ::testing::Test {
 protected:
  void SetUp() override { setenv("RIDEDER_REGISTRY", (FDir / "registry.ini").c_str(), 1); }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }
  test::TempDir FDir;
};

TEST_F(MultiRegistry, SavesAndLoadsMarkersAndHighlighters) {
  TSetUp s;
  s.Scheme(0)->GetMarkerAttri()->SetForeground(clRed);
  s.A->GetAttribute(1)->SetForeground(clBlue);
  s.D->GetAttribute(1)->SetForeground(clGreen);
  ASSERT_TRUE(s.Multi->SaveToRegistry(HKEY_CURRENT_USER, "Software\\rid\\Multi"));
  TSetUp t;
  ASSERT_TRUE(t.Multi->LoadFromRegistry(HKEY_CURRENT_USER, "Software\\rid\\Multi"));
  EXPECT_EQ(t.Scheme(0)->GetMarkerAttri()->GetForeground(), clRed);
  EXPECT_EQ(t.A->GetAttribute(1)->GetForeground(), clBlue);
  EXPECT_EQ(t.D->GetAttribute(1)->GetForeground(), clGreen);
  // A key that is missing, a scheme without name or highlighter: false, the rest still loads.
  EXPECT_FALSE(t.Multi->LoadFromRegistry(HKEY_CURRENT_USER, "Software\\rid\\None"));
  t.Scheme(1)->SetSchemeName("");
  t.Scheme(0)->SetHighlighter(nullptr);
  t.D->GetAttribute(1)->SetForeground(clNone);
  EXPECT_FALSE(t.Multi->LoadFromRegistry(HKEY_CURRENT_USER, "Software\\rid\\Multi"));
  EXPECT_EQ(t.D->GetAttribute(1)->GetForeground(), clGreen);
  TRidMultiRid bare(nullptr);
  EXPECT_FALSE(bare.SaveToRegistry(HKEY_CURRENT_USER, "Software\\rid\\Bare"));
}

// The multi-language highlighter of a set-up; it owns the highlighters it uses.
test::THighlighterFactory SetUpFactory() {
  return [] { return std::shared_ptr<TRidCustomHighlighter>(TSetUp().Multi.release()); };
}

const std::vector<std::string> kPieces = {"<s>",  "</s>", "<t>", "</T>", "{", "}",  "#3",
                                          "#300", "ab",   " ",   "<",    "/", "\r", "\n"};

TEST(MultiHighlighter, KeepsTheScannerRulesAndItsRangeContract) {
  TSetUp s;
  std::vector<TRidRange> ranges = {0};
  for (const char* line : {"<s>", "<t>", "<s>{", "#7<t>#255", "{"}) {
    TRidRange r = 0;
    s.Scan(line, 0, &r);
    ranges.push_back(r);
  }
  test::CheckConformance(SetUpFactory(), test::RandomByteLines(53, 300, 60), ranges);
  test::CheckConformance(SetUpFactory(), test::ShiftJisLines(59, 400, 20, kPieces), ranges);
}

// Lines of random pieces, joined with CR LF.
std::string PieceLines(std::mt19937& Rng, int ALines) {
  std::string text;
  for (int k = 0; k < ALines; ++k) {
    if (k > 0) text += "\r\n";
    text += kPieces[Rng() % (kPieces.size() - 2)] + kPieces[Rng() % (kPieces.size() - 2)];
  }
  return text;
}

// The last edit taken back, and at times given again.
void MaybeUndoAndRedo(TRidEder& Ed, std::mt19937& Rng) {
  if (Rng() % 2 == 0) return;
  Ed.Undo();
  if (Rng() % 2) Ed.Redo();
}

// The editor keeps the multi-language highlighter's range of every line as a fresh scan finds
// it, through random edits: of a line, of many lines at once (pastes in either mode, a replace
// all, a played macro, each also undone and redone), and several under one paint lock with a
// range read among them.
TEST(MultiHighlighter, EditorRangesEqualAFreshScanAfterRandomEdits) {
  TSetUp s;
  TSetUp fresh;
  TRidEder ed(nullptr);
  TRidEderSearch engine(nullptr);
  ed.SetSearchEngine(&engine);
  const TRidSearchOptions replaceAll{ssoEntireScope, ssoReplaceAll};
  TRidMacroRecorder macro(nullptr);
  macro.AddEditor(&ed);
  macro.RecordMacro(&ed);
  for (char c : std::string("<s>{")) ed.CommandProcessor(ecChar, c, nullptr);
  ed.CommandProcessor(ecLineBreak, '\0', nullptr);
  for (char c : std::string("}</s>")) ed.CommandProcessor(ecChar, c, nullptr);
  macro.Stop();
  ed.SetText("a<s>b\r\n{c\r\nd}</s>\r\n<t>e\r\nf</t>g\r\n");
  ed.SetHighlighter(s.Multi.get());
  TStrings* lines = ed.Lines();
  auto expectFreshRanges = [&](int AStep) {
    fresh.Multi->ResetRange();
    for (int32_t k = 0; k < lines->GetCount(); ++k) {
      const std::string text = lines->Get(k);
      fresh.Multi->SetRange(fresh.Multi->GetRange());
      fresh.Multi->SetLine(text, k);
      fresh.Multi->NextToEol();
      ASSERT_EQ(ed.GetLines()->GetRange(k), fresh.Multi->GetRange())
          << "step " << AStep << " line " << k << "\n"
          << test::Printable(ed.GetText());
    }
  };
  std::mt19937 rng(61);
  for (int step = 0; step < 300; ++step) {
    const int n = lines->GetCount();
    const int i = n ? static_cast<int>(rng() % n) : 0;
    const std::string& p = kPieces[rng() % (kPieces.size() - 2)];
    switch (rng() % 8) {
      case 0:
        lines->Insert(i, p);
        break;
      case 1:
        if (n > 1) lines->Delete(i);
        break;
      case 2:
        ed.SetCaretXY({1, i + 1});
        ed.SetSelText(PieceLines(rng, 1 + rng() % 6));
        MaybeUndoAndRedo(ed, rng);
        break;
      case 3:
        ed.SetCaretXY({1 + static_cast<int32_t>(rng() % 3), i + 1});
        ed.SetSelectionMode(smColumn);
        ed.SetSelText(PieceLines(rng, 1 + rng() % 6));
        ed.SetSelectionMode(smNormal);
        MaybeUndoAndRedo(ed, rng);
        break;
      case 4:
        if (ed.SearchReplace(p, kPieces[rng() % kPieces.size()], replaceAll) > 0)
          MaybeUndoAndRedo(ed, rng);
        break;
      case 5:
        ed.SetCaretXY({1, i + 1});
        macro.PlaybackMacro(&ed);
        MaybeUndoAndRedo(ed, rng);
        break;
      case 6:
        ed.BeginUpdate();
        if (n) lines->Put(n - 1, lines->Get(n - 1) + kPieces[rng() % (kPieces.size() - 2)]);
        lines->Insert(i, p);
        lines->Put(0, lines->Get(0) + kPieces[rng() % (kPieces.size() - 2)]);
        expectFreshRanges(step);
        if (lines->GetCount() > 2) lines->Delete(static_cast<int>(rng() % lines->GetCount()));
        ed.EndUpdate();
        break;
      default:
        if (n) lines->Put(i, lines->Get(i) + p);
    }
    expectFreshRanges(step);
    if (HasFatalFailure()) break;
  }
  ed.SetHighlighter(nullptr);
}

}  // namespace
}  // namespace rid
