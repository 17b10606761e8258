#include "app/EderHighlighters.h"

#include <filesystem>

#include "highlighters/RidHighlighterCSS.h"
#include "highlighters/RidHighlighterCpp.h"
#include "highlighters/RidHighlighterHtml.h"
#include "highlighters/RidHighlighterJScript.h"
#include "highlighters/RidHighlighterJava.h"
#include "highlighters/RidHighlighterMulti.h"
#include "highlighters/RidHighlighterPHP.h"
#include "highlighters/RidHighlighterPas.h"
#include "highlighters/RidHighlighterPerl.h"
#include "highlighters/RidHighlighterRuby.h"
#include "highlighters/RidHighlighterSQL.h"
#include "highlighters/RidHighlighterXML.h"
#include "highlighters/uHighlighterProcs.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// The colours the editor gives a language's comments, reserved words, numbers and strings.
void SetEditorColours(TRidHighlighterAttributes* AComment, TRidHighlighterAttributes* AKey,
                      TRidHighlighterAttributes* ANumber, TRidHighlighterAttributes* AString) {
  AComment->SetForeground(clRed);
  AKey->SetForeground(clMaroon);
  ANumber->SetForeground(clGreen);
  AString->SetForeground(clBlue);
}

// A scheme of a multi-language highlighter.
TScheme* AddScheme(TRidMultiRid& AMulti, const char* AName, const char* AStart, const char* AEnd,
                   TRidCustomHighlighter* AHighlighter, bool ACaseSensitive) {
  TScheme* s = AMulti.GetSchemes()->Add();
  s->SetSchemeName(AName);
  s->SetCaseSensitive(ACaseSensitive);
  s->SetStartExpr(AStart);
  s->SetEndExpr(AEnd);
  s->SetHighlighter(AHighlighter);
  return s;
}

}  // namespace

TEderHighlighters::TEderHighlighters(TComponent* AOwner) : TComponent(AOwner) {
  auto* perl = Add<TRidPerlRid>();
  auto* html = Add<TRidHTMLRid>();
  auto* css = Add<TRidCssRid>();
  Add<TRidPHPRid>();
  auto* js = Add<TRidJScriptRid>();
  SetEditorColours(js->GetCommentAttri(), js->GetKeyAttri(), js->GetNumberAttri(),
                   js->GetStringAttri());
  js->GetCommentAttri()->SetStyle({});
  Add<TRidSQLRid>();
  Add<TRidXMLRid>();
  Add<TRidPasRid>();  // sorts before PHP, so .inc files are Pascal
  Add<TRidCppRid>();
  Add<TRidJavaRid>();
  Add<TRidRubyRid>();
  AddCgi(perl, html, js, css);
  GetHighlighters(this, &FList, false);
}

void TEderHighlighters::AddCgi(TRidCustomHighlighter* APerl, TRidCustomHighlighter* AHtml,
                               TRidCustomHighlighter* AJs, TRidCustomHighlighter* ACss) {
  FPage = std::make_unique<TRidMultiRid>(nullptr);
  FPage->SetDefaultHighlighter(AHtml);
  AddScheme(*FPage, "JavaScript", "<script[^>]*>", "</script[^>]*>", AJs, false);
  AddScheme(*FPage, "Style Sheet", "<style[^>]*>", "</style[^>]*>", ACss, false);

  // A here-document: from "<<" and its terminator (bare or quoted) to the end of that line,
  // then up to a line that holds nothing but a name.
  FCgi = Add<TRidMultiRid>();
  FCgi->SetDefaultFilter("CGI Scripts (*.cgi)|*.cgi");
  FCgi->SetDefaultHighlighter(APerl);
  AddScheme(*FCgi, "HTML", "<<([\"']?)[A-Za-z_][A-Za-z_0-9]*\\1.*$", "^[A-Za-z_][A-Za-z_0-9]*$",
            FPage.get(), true);
}

TEderHighlighters::~TEderHighlighters() {
  FList.Clear();
  FPage.reset();
  DestroyComponents();
}

TRidCustomHighlighter* TEderHighlighters::ForFileName(const std::string& AFileName) {
  return GetHighlighterFromFileExt(&FList, std::filesystem::path(AFileName).extension().string());
}

TRidCustomHighlighter* TEderHighlighters::ByName(const std::string& AName) {
  return GetHighlighterByName(&FList, AName);
}

std::vector<std::string> TEderHighlighters::Names() {
  TStringList names;
  GetHighlighterNames(&FList, &names);
  std::vector<std::string> out;
  for (int32_t i = 0; i < names.GetCount(); ++i) out.push_back(names[i]);
  return out;
}

std::string TEderHighlighters::Describe(const std::vector<std::string>& AFileNames) {
  std::string out;
  for (const std::string& f : AFileNames) {
    TRidCustomHighlighter* h = ForFileName(f);
    out += f + "\t" + (h ? h->ClassName() : "-") + "\t" +
           (h ? SjisToUtf8(GetHighlighterName(h)) : "") + "\n";
  }
  return out;
}

}  // namespace rid
