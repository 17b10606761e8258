#include "editor/RidEderHighlighter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <stdexcept>

#include "tests/TestSupport.h"

namespace rid {
namespace {

// A highlighter with a few attributes and one token per line: enough to drive the base.
class TFakeRid : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TFakeRid)
  explicit TFakeRid(TComponent* AOwner, std::vector<std::string> Names = {"b", "C", "a"})
      : TRidCustomHighlighter(AOwner) {
    for (const std::string& n : Names) AddAttribute(std::make_unique<TRidHighlighterAttributes>(n));
    SetAttributesOnChange(TNotifyEvent(static_cast<TRidCustomHighlighter*>(this),
                                       &TRidCustomHighlighter::AttributeChanged));
  }
  TRidHighlighterAttributes* GetDefaultAttribute(int32_t) const override { return nullptr; }
  bool GetEol() const override { return FEol; }
  std::string GetToken() const override { return std::string(FLine); }
  std::string_view GetTokenView() const override { return FLine; }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return GetAttribute(0); }
  int32_t GetTokenKind() const override { return 0; }
  int32_t GetTokenPos() const override { return 0; }
  void Next() override { FEol = true; }
  void SetLine(std::string_view NewValue, int32_t) override {
    FLine = NewValue;
    FEol = NewValue.empty();
  }
  std::string GetSampleSource() const override { return FSample; }
  void SetSampleSource(const std::string& Value) override { FSample = Value; }

 private:
  std::string_view FLine;
  bool FEol = true;
  std::string FSample;
};

// Records the senders of the attribute-change chain.
struct TRecorder {
  std::vector<TObject*> Senders;
  void Changed(TObject* Sender) { Senders.push_back(Sender); }
  TNotifyEvent Event() { return TNotifyEvent(this, &TRecorder::Changed); }
};

TRidHighlighterAttributes* Named(TRidCustomHighlighter& H, const std::string& Name) {
  for (int32_t i = 0; i < H.GetAttribCount(); ++i)
    if (H.GetAttribute(i)->GetName() == Name) return H.GetAttribute(i);
  return nullptr;
}

TEST(HighlighterAttributes, StoreOnlyWhatDiffersFromTheDefaults) {
  TRidHighlighterAttributes a("Comment");
  EXPECT_EQ(a.GetBackground(), clNone);
  EXPECT_EQ(a.GetForeground(), clNone);
  EXPECT_TRUE(a.GetStyle().Empty());
  EXPECT_FALSE(a.IsBackgroundStored() || a.IsForegroundStored() || a.IsStyleStored());
  a.SetStyle({fsItalic});
  a.SaveDefaults();
  a.SetForeground(clRed);
  EXPECT_TRUE(a.IsForegroundStored());
  EXPECT_FALSE(a.IsBackgroundStored() || a.IsStyleStored());
  EXPECT_EQ(a.GetStyleDefault(), TFontStyles{fsItalic});
}

TEST(HighlighterAttributes, StyleAsInteger) {
  TRidHighlighterAttributes a("x");
  a.SetStyle({fsBold, fsUnderline});
  EXPECT_EQ(a.GetStyleAsInteger(), 5);
  a.SetStyleFromInteger(10);
  EXPECT_EQ(a.GetStyle(), (TFontStyles{fsItalic, fsStrikeOut}));
}

TEST(HighlighterAttributes, ChangesFireOnceAndOnlyWhenSomethingChanged) {
  TFakeRid h(nullptr);
  TRecorder rec;
  h.HookAttrChangeEvent(rec.Event());
  TRidHighlighterAttributes* a = h.GetAttribute(0);
  a->SetStyle({});
  a->SetForeground(clNone);
  EXPECT_TRUE(rec.Senders.empty());
  a->SetStyle({fsBold});
  EXPECT_EQ(rec.Senders, std::vector<TObject*>{a});

  TRidHighlighterAttributes src("other");
  src.SetForeground(clBlue);
  src.SetBackground(clYellow);
  src.SetStyle({fsBold});
  rec.Senders.clear();
  a->AssignColorAndStyle(&src);  // two values differ: still one notification
  EXPECT_EQ(rec.Senders.size(), 1u);
  a->Assign(&src);
  EXPECT_EQ(a->GetName(), "other");
  EXPECT_EQ(rec.Senders.size(), 1u);  // nothing else differed
}

TEST(CustomHighlighter, KeepsAttributesSortedAndRefusesDuplicates) {
  TFakeRid h(nullptr, {"b", "C", "a", "Illegal Char", "Identifier"});
  std::vector<std::string> names;
  for (int32_t i = 0; i < h.GetAttribCount(); ++i) names.push_back(h.GetAttribute(i)->GetName());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "C", "Identifier", "Illegal Char"}));
  EXPECT_EQ(h.GetAttribute(-1), nullptr);
  EXPECT_EQ(h.GetAttribute(5), nullptr);
  EXPECT_THROW(h.AddAttribute(std::make_unique<TRidHighlighterAttributes>("c")), EStringListError);
  EXPECT_EQ(h.GetAttribCount(), 5);
}

TEST(CustomHighlighter, BaseValues) {
  TFakeRid h(nullptr);
  EXPECT_TRUE(h.GetEnabled());
  EXPECT_EQ(h.GetLanguageName(), "<Unknown>");
  EXPECT_EQ(h.GetCapabilities(), THighlighterCapabilities{capRegistry});
  EXPECT_EQ(h.GetRange(), 0);
  EXPECT_FALSE(h.UseUserSettings(0));
  EXPECT_EQ(h.GetWordBreakChars(), TRidCharSet::Of("!\"'()*+,-./:;=?[\\]^{|}"));
  EXPECT_EQ(h.GetIdentChars(), TRidCharSet::Range(33, 255));
  TStringList settings;
  settings.Add("stale");
  h.EnumUserSettings(&settings);
  EXPECT_EQ(settings.Count(), 0);
}

TEST(CustomHighlighter, ChainFiresInOrderWithNilForWholeChanges) {
  TFakeRid h(nullptr);
  TRecorder first, second;
  h.HookAttrChangeEvent(first.Event());
  h.HookAttrChangeEvent(second.Event());
  h.HookAttrChangeEvent(first.Event());
  h.SetEnabled(true);  // unchanged: nothing
  h.SetEnabled(false);
  EXPECT_EQ(first.Senders, (std::vector<TObject*>{nullptr, nullptr}));
  EXPECT_EQ(second.Senders, std::vector<TObject*>{nullptr});
  h.UnhookAttrChangeEvent(first.Event());  // both hooks of it go
  h.GetAttribute(1)->SetForeground(clRed);
  EXPECT_EQ(first.Senders.size(), 2u);
  EXPECT_EQ(second.Senders.size(), 2u);
  // While loading nothing fires; Loaded then tells everyone once.
  h.BeginLoading();
  h.GetAttribute(1)->SetForeground(clBlue);
  EXPECT_EQ(second.Senders.size(), 2u);
  h.Loaded();
  EXPECT_EQ(second.Senders, (std::vector<TObject*>{nullptr, h.GetAttribute(1), nullptr}));
}

TEST(CustomHighlighter, AHandlerMayUnhookOthersOrDestroyTheHighlighterWhileItFires) {
  auto* h = new TFakeRid(nullptr);
  TRecorder late;
  int calls = 0;
  TNotifyEvent unhook([&](TObject*) {
    ++calls;
    h->UnhookAttrChangeEvent(late.Event());
  });
  h->HookAttrChangeEvent(unhook);
  h->HookAttrChangeEvent(late.Event());
  h->SetEnabled(false);
  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(late.Senders.empty());  // unhooked before its turn

  TNotifyEvent destroy([&](TObject*) { delete h; });
  h->UnhookAttrChangeEvent(unhook);
  h->HookAttrChangeEvent(destroy);
  h->HookAttrChangeEvent(late.Event());
  h->SetEnabled(true);  // the firing stops with the highlighter
  EXPECT_TRUE(late.Senders.empty());
}

// Notes "<who>:<sender's name>" for each notification it gets.
struct TNamedRecorder {
  std::vector<std::string>* Log;
  std::string Who;
  void Changed(TObject* Sender) {
    const auto* attr = static_cast<TRidHighlighterAttributes*>(Sender);
    Log->push_back(Who + ":" + (attr ? attr->GetName() : "nil"));
  }
  TNotifyEvent Event() { return TNotifyEvent(this, &TNamedRecorder::Changed); }
};

void Toggle(TRidHighlighterAttributes* A) {
  A->SetForeground(A->GetForeground() == clRed ? clBlue : clRed);
}

// What a handler may do to the chain while a change notification runs, and what the other
// handlers see of it in that round and in the next.
TEST(CustomHighlighter, ChainReentryCases) {
  TFakeRid h(nullptr);
  TRidHighlighterAttributes* a = Named(h, "a");
  TRidHighlighterAttributes* b = Named(h, "b");
  std::vector<std::string> log;
  TNamedRecorder last{&log, "last"}, added{&log, "new"};
  // The first handler: notes like a recorder, then acts on the chain.
  struct TActor : TNamedRecorder {
    std::function<void(TActor& Self, TObject* Sender)> Act;
    void Acting(TObject* Sender) {
      Changed(Sender);
      Act(*this, Sender);
    }
    TNotifyEvent Event() { return TNotifyEvent(this, &TActor::Acting); }
  };
  struct TCase {
    const char* Name;
    std::function<void(TActor& Self, TObject* Sender)> Act;
    std::vector<std::string> Round1, Round2;
  };
  const TCase cases[] = {
      {"unhooks itself",
       [&](TActor& Self, TObject*) { h.UnhookAttrChangeEvent(Self.Event()); },
       {"first:a", "last:a"},
       {"last:a"}},
      {"hooks another",
       [&](TActor&, TObject*) { h.HookAttrChangeEvent(added.Event()); },
       {"first:a", "last:a"},
       {"first:a", "last:a", "new:a"}},
      {"unhooks the next",
       [&](TActor&, TObject*) { h.UnhookAttrChangeEvent(last.Event()); },
       {"first:a"},
       {"first:a"}},
      // The inner round tells everyone of b; the rest of the outer round still says a.
      {"changes another attribute",
       [&](TActor&, TObject* Sender) {
         if (Sender == a) Toggle(b);
       },
       {"first:a", "first:b", "last:b", "last:a"},
       {"first:a", "first:b", "last:b", "last:a"}},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Name);
    TActor first{{&log, "first"}, c.Act};
    h.HookAttrChangeEvent(first.Event());
    h.HookAttrChangeEvent(last.Event());
    for (const auto* round : {&c.Round1, &c.Round2}) {
      log.clear();
      Toggle(a);
      EXPECT_EQ(log, *round);
    }
    for (const TNotifyEvent& e : {first.Event(), last.Event(), added.Event()})
      h.UnhookAttrChangeEvent(e);
  }

  // A raising handler stops the round: the exception reaches the code that made the change,
  // which is made all the same, and the next change notifies everyone again.
  TNotifyEvent raise([&](TObject*) { throw std::runtime_error("handler failed"); });
  h.HookAttrChangeEvent(raise);
  h.HookAttrChangeEvent(last.Event());
  log.clear();
  EXPECT_THROW(a->SetStyle({fsBold}), std::runtime_error);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(a->GetStyle(), TFontStyles{fsBold});
  h.UnhookAttrChangeEvent(raise);
  a->SetStyle({});
  EXPECT_EQ(log, std::vector<std::string>{"last:a"});
}

TEST(CustomHighlighter, AssignCopiesAttributesByNameAndSettings) {
  TFakeRid src(nullptr, {"a", "b", "z"});
  Named(src, "a")->SetForeground(clRed);
  Named(src, "z")->SetForeground(clBlue);
  src.SetDefaultFilter("Fake (*.f)|*.f");
  src.SetEnabled(false);
  src.SetWordBreakChars(TRidCharSet::Of(","));
  src.SetSampleSource("sample");
  TFakeRid dst(nullptr, {"a", "b", "c"});
  dst.Assign(&src);
  EXPECT_EQ(Named(dst, "a")->GetForeground(), clRed);
  EXPECT_EQ(Named(dst, "c")->GetForeground(), clNone);
  EXPECT_EQ(dst.GetDefaultFilter(), "Fake (*.f)|*.f");
  EXPECT_FALSE(dst.GetEnabled());
  EXPECT_EQ(dst.GetWordBreakChars(), TRidCharSet::Of(","));
  EXPECT_EQ(dst.GetSampleSource(), "sample");  // same class
}

TEST(CustomHighlighter, NextToEolRunsToTheEnd) {
  TFakeRid h(nullptr);
  const std::string line = "abc";
  h.SetLine(line, 0);
  EXPECT_FALSE(h.GetEol());
  h.NextToEol();
  EXPECT_TRUE(h.GetEol());
}

TEST(HighlighterList, RegistersAClassOnce) {
  static const TRidHighlighterClass fake{
      "TFakeRid", "Fake", {capRegistry}, [](TComponent* O) -> TRidCustomHighlighter* {
        return new TFakeRid(O);
      }};
  const int32_t i = RegisterHighlighterClass(fake);
  EXPECT_EQ(RegisterHighlighterClass(fake), i);
  EXPECT_EQ(GetPlaceableHighlighters()[i], &fake);
  TComponent owner(nullptr);
  TRidCustomHighlighter* made = fake.Create(&owner);
  EXPECT_EQ(made->GetOwner(), &owner);  // freed with its owner
}

// ---------------------------------------------------------------------------------------------
// Registry, over a registry file of the test's own.

class HighlighterRegistry : public ::testing::Test {
 protected:
  void SetUp() override { setenv("RIDEDER_REGISTRY", (FDir / "registry.ini").c_str(), 1); }
  void TearDown() override { unsetenv("RIDEDER_REGISTRY"); }
  // Writes string values (and integers for names starting with '#') under a key.
  void Seed(HKEY Root, const std::string& Key,
            const std::vector<std::pair<std::string, std::string>>& Values) {
    TRegistry reg;
    reg.SetRootKey(Root);
    ASSERT_TRUE(reg.OpenKey(Key, true));
    for (const auto& [name, value] : Values) {
      if (name[0] == '#')
        reg.WriteInteger(name.substr(1), std::stoi(value));
      else
        reg.WriteString(name, value);
    }
    reg.CloseKey();
  }
  test::TempDir FDir;
};

TEST_F(HighlighterRegistry, SavesAndLoadsEveryAttribute) {
  TFakeRid saved(nullptr);
  Named(saved, "a")->SetForeground(clRed);
  Named(saved, "b")->SetBackground(clWindow);
  Named(saved, "C")->SetStyle({fsBold, fsStrikeOut});
  ASSERT_TRUE(saved.SaveToRegistry(HKEY_CURRENT_USER, "\\Software\\Test\\Fake"));

  TFakeRid loaded(nullptr);
  EXPECT_TRUE(loaded.LoadFromRegistry(HKEY_CURRENT_USER, "\\Software\\Test\\Fake"));
  EXPECT_EQ(Named(loaded, "a")->GetForeground(), clRed);
  EXPECT_EQ(Named(loaded, "b")->GetBackground(), clWindow);
  EXPECT_EQ(Named(loaded, "C")->GetStyle(), (TFontStyles{fsBold, fsStrikeOut}));
  EXPECT_FALSE(loaded.LoadFromRegistry(HKEY_CURRENT_USER, "\\Software\\Test\\Missing"));
  // One more attribute than was saved: loading reports it, the others still load.
  TFakeRid more(nullptr, {"a", "new"});
  EXPECT_FALSE(more.LoadFromRegistry(HKEY_CURRENT_USER, "\\Software\\Test\\Fake"));
  EXPECT_EQ(Named(more, "a")->GetForeground(), clRed);
}

TEST_F(HighlighterRegistry, AMissingValueLeavesItsPropertyAndTheKeyIsRestored) {
  Seed(HKEY_CURRENT_USER, "\\Software\\Test\\Only\\Comment", {{"#Style", "2"}});
  TRidHighlighterAttributes a("Comment");
  a.SetForeground(clGreen);
  TRegistry reg;
  ASSERT_TRUE(reg.OpenKeyReadOnly("\\Software\\Test\\Only"));
  EXPECT_TRUE(a.LoadFromRegistry(reg));
  EXPECT_EQ(a.GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(a.GetForeground(), clGreen);
  EXPECT_EQ(reg.GetCurrentPath(), "Software\\Test\\Only");
  TRidHighlighterAttributes missing("Nothing");
  EXPECT_FALSE(missing.LoadFromRegistry(reg));
}

const std::string kIde = "\\Software\\IDE\\Highlight";

TEST_F(HighlighterRegistry, ImportsTheOldIdeLayout) {
  Seed(HKEY_CURRENT_USER, kIde,
       {{"Comment", "0,0,BU,0,0,4,15"},
        {"Plain", "0,0,,1,1,99,99"},  // defaults: the indexes are not read
        {"Short", "0,0,B,0,0,4"},
        {"Foreign", "0,0,B,0,0,4,16"},
        {"Negative", "0,0,B,0,0,-1,2"},
        {"Letters", "0,0,B,0,0,red,2"}});
  TRidHighlighterAttributes a("x");
  ASSERT_TRUE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, "Comment", true));
  EXPECT_EQ(a.GetForeground(), 0x800000);
  EXPECT_EQ(a.GetBackground(), 0xFFFFFF);
  EXPECT_EQ(a.GetStyle(), (TFontStyles{fsBold, fsUnderline}));
  ASSERT_TRUE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, "Plain", true));
  EXPECT_EQ(a.GetForeground(), clWindowText);
  EXPECT_EQ(a.GetBackground(), clWindow);
  EXPECT_TRUE(a.GetStyle().Empty());
  // A short value, an index the palette lacks and a missing value fail without a change.
  for (const char* bad : {"Short", "Foreign", "Negative", "Letters", "Absent"})
    EXPECT_FALSE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, bad, true)) << bad;
  EXPECT_EQ(a.GetForeground(), clWindowText);
  EXPECT_FALSE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, "\\Software\\None", "Comment", true));
}

TEST_F(HighlighterRegistry, ImportsTheNewIdeLayout) {
  const std::vector<std::pair<std::string, std::string>> flags = {{"Bold", "True"},
                                                                  {"Italic", "false"},
                                                                  {"Underline", "0"},
                                                                  {"Default Foreground", "False"},
                                                                  {"Default Background", "-1"}};
  auto with = [&](std::vector<std::pair<std::string, std::string>> v) {
    v.insert(v.end(), flags.begin(), flags.end());
    return v;
  };
  Seed(HKEY_CURRENT_USER, kIde + "\\Comment",
       with({{"#Foreground Color", "9"}, {"#Background Color", "1"}}));
  Seed(HKEY_CURRENT_USER, kIde + "\\Named",
       with({{"Foreground Color New", "clNavy"}, {"Background Color New", "$00FF00"}}));
  Seed(HKEY_CURRENT_USER, kIde + "\\Foreign",
       with({{"#Foreground Color", "16"}, {"#Background Color", "1"}}));
  Seed(HKEY_CURRENT_USER, kIde + "\\NoColor", with({{"#Foreground Color", "1"}}));
  Seed(HKEY_CURRENT_USER, kIde + "\\NoFlags",
       {{"#Foreground Color", "1"}, {"#Background Color", "1"}, {"Bold", "1"}});

  TRidHighlighterAttributes a("x");
  ASSERT_TRUE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, "Comment", false));
  EXPECT_EQ(a.GetForeground(), clRed);
  EXPECT_EQ(a.GetBackground(), clWindow);  // "Default Background" is true
  EXPECT_EQ(a.GetStyle(), TFontStyles{fsBold});
  ASSERT_TRUE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, "Named", false));
  EXPECT_EQ(a.GetForeground(), clNavy);
  for (const char* bad : {"Foreign", "NoColor", "NoFlags", "Absent"})
    EXPECT_FALSE(a.LoadFromIdeRegistry(HKEY_CURRENT_USER, kIde, bad, false)) << bad;
  EXPECT_EQ(a.GetForeground(), clNavy);
}

}  // namespace
}  // namespace rid
