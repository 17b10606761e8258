#include "highlighters/uHighlighterProcs.h"

#include <gtest/gtest.h>

#include <memory>

namespace rid {
namespace {

// A highlighter of a given language name and filter; it scans nothing.
class TStubRid : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TStubRid)
  TStubRid(TComponent* AOwner, std::string ALanguage, std::string AFilter)
      : TRidCustomHighlighter(AOwner), FLanguage(std::move(ALanguage)) {
    SetDefaultFilter(AFilter);
  }
  std::string GetLanguageName() const override { return FLanguage; }
  TRidHighlighterAttributes* GetDefaultAttribute(int32_t) const override { return nullptr; }
  bool GetEol() const override { return true; }
  std::string GetToken() const override { return {}; }
  std::string_view GetTokenView() const override { return {}; }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return nullptr; }
  int32_t GetTokenKind() const override { return 0; }
  int32_t GetTokenPos() const override { return 0; }
  void Next() override {}
  void SetLine(std::string_view, int32_t) override {}

 private:
  std::string FLanguage;
};

const std::string kGeneral = "\x94\xC4\x97\x70\x83\x5E\x83\x43\x83\x76";  // 汎用タイプ

// The data module of a program: highlighters and one component of another kind.
struct TModule {
  TComponent Owner{nullptr};
  TStubRid* Perl = new TStubRid(&Owner, "Perl", "Perl Files (*.pl;*.pm;*.cgi)|*.pl;*.pm;*.cgi");
  TStubRid* Php = new TStubRid(&Owner, "PHP", "PHP Files (*.php;*.inc)|*.php;*.inc");
  TComponent* Other = new TComponent(&Owner);
  TStubRid* Pascal =
      new TStubRid(&Owner, "Object Pascal", "Delphi Files (*.pas;*.pp;*.inc)|*.pas;*.pp;*.inc");
  TStubRid* Html = new TStubRid(&Owner, "HTML", "HTML Documents (*.html;*.htm)|*.html;*.htm");
  TStubRid* Java = new TStubRid(&Owner, "Java", "Java Files (*.java)|*.java");
  TStubRid* Js = new TStubRid(&Owner, "JavaScript", "Javascript Files (*.js)|*.js");
  TStubRid* General = new TStubRid(&Owner, "General", "");
  TStubRid* Bare = new TStubRid(&Owner, "Bare", "*.txt;*.text");
  TStringList List;
  TModule() { GetHighlighters(&Owner, &List, false); }
};

TEST(HighlighterProcs, CollectsOneHighlighterPerLanguageSortedByName) {
  TModule m;
  // A second Perl highlighter made later wins; the list stays sorted.
  auto* perl2 = new TStubRid(&m.Owner, "Perl", "Perl (*.pl)|*.pl");
  GetHighlighters(&m.Owner, &m.List, false);
  std::vector<std::string> names;
  for (int32_t i = 0; i < m.List.GetCount(); ++i) names.push_back(m.List[i]);
  EXPECT_EQ(names, (std::vector<std::string>{"Bare", "General", "HTML", "Java", "JavaScript",
                                             "Object Pascal", "Perl", "PHP"}));
  EXPECT_EQ(m.List.GetObject(m.List.IndexOf("Perl")), perl2);

  // Appending keeps what the list held; missing arguments change nothing.
  TStringList list;
  list.AddObject("Zeta", nullptr);
  GetHighlighters(&m.Owner, &list, true);
  EXPECT_EQ(list.GetCount(), 9);
  EXPECT_EQ(list[8], "Zeta");
  GetHighlighters(nullptr, &list, false);
  GetHighlighters(&m.Owner, nullptr, false);
  EXPECT_EQ(list.GetCount(), 9);
}

TEST(HighlighterProcs, ChoosesByExtension) {
  TModule m;
  const std::pair<std::string, TRidCustomHighlighter*> table[] = {
      {".pl", m.Perl},    {".PL", m.Perl},   {".cgi", m.Perl}, {".p", nullptr},   {".pa", nullptr},
      {".inc", m.Pascal}, {".php", m.Php},   {".htm", m.Html}, {".html", m.Html}, {".h", nullptr},
      {".js", m.Js},      {".java", m.Java}, {".txt", m.Bare}, {".text", m.Bare}, {".te", nullptr},
      {"", nullptr},      {".", nullptr},    {"pl", m.Perl},   {".cg", nullptr},  {".pm;", nullptr},
  };
  for (const auto& [ext, expected] : table)
    EXPECT_EQ(GetHighlighterFromFileExt(&m.List, ext), expected) << ext;
  EXPECT_EQ(GetHighlighterFromFileExt(nullptr, ".pl"), nullptr);

  // The earlier item of the list wins; items without a highlighter are passed over.
  TStringList list;
  list.AddObject("x", m.Other);
  list.AddObject("PHP", m.Php);
  list.AddObject("Pascal", m.Pascal);
  EXPECT_EQ(GetHighlighterFromFileExt(&list, ".inc"), m.Php);
}

// Every occurrence of the extension is tried, not only the first: ".htm" stands first inside
// "*.html".
TEST(HighlighterProcs, FindsAnExtensionListedAfterALongerOne) {
  TModule m;
  EXPECT_EQ(GetHighlighterFromFileExt(&m.List, ".htm"), m.Html);
  m.Html->SetDefaultFilter("Pages|*.htmlx;*.html;*.htm");
  EXPECT_EQ(GetHighlighterFromFileExt(&m.List, ".html"), m.Html);
  EXPECT_EQ(GetHighlighterFromFileExt(&m.List, ".htm"), m.Html);
}

TEST(HighlighterProcs, NamesAreTheFiltersFirstWord) {
  TModule m;
  EXPECT_EQ(GetHighlighterName(m.Perl), "Perl");
  EXPECT_EQ(GetHighlighterName(m.General), kGeneral);
  EXPECT_EQ(GetHighlighterName(m.Bare), kGeneral);  // no blank, no name
  EXPECT_EQ(GetHighlighterName(nullptr), "");
  TStringList names;
  names.Add("old");
  GetHighlighterNames(&m.List, &names);
  std::vector<std::string> got;
  for (int32_t i = 0; i < names.GetCount(); ++i) got.push_back(names[i]);
  EXPECT_EQ(got, (std::vector<std::string>{"Delphi", "HTML", "Java", "Javascript", "Perl", "PHP",
                                           kGeneral, kGeneral}));
}

// A name finds the highlighter whose display name it is, not one whose filter begins with it.
TEST(HighlighterProcs, FindsByTheWholeDisplayName) {
  TModule m;
  EXPECT_EQ(GetHighlighterByName(&m.List, "Perl"), m.Perl);
  EXPECT_EQ(GetHighlighterByName(&m.List, "Java"), m.Java);
  EXPECT_EQ(GetHighlighterByName(&m.List, "Javascript"), m.Js);
  EXPECT_EQ(GetHighlighterByName(&m.List, "Jav"), nullptr);
  EXPECT_EQ(GetHighlighterByName(&m.List, "perl"), nullptr);
  EXPECT_EQ(GetHighlighterByName(&m.List, kGeneral), m.Bare);  // first in list order
  EXPECT_EQ(GetHighlighterByName(nullptr, "Perl"), nullptr);
  m.Java->SetDefaultFilter("Javanese (*.jv)|*.jv");
  EXPECT_EQ(GetHighlighterByName(&m.List, "Java"), nullptr);
}

}  // namespace
}  // namespace rid
