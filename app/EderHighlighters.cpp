#include "app/EderHighlighters.h"

#include <filesystem>

#include "highlighters/RidHighlighterCSS.h"
#include "highlighters/RidHighlighterCpp.h"
#include "highlighters/RidHighlighterHtml.h"
#include "highlighters/RidHighlighterJScript.h"
#include "highlighters/RidHighlighterJava.h"
#include "highlighters/RidHighlighterPHP.h"
#include "highlighters/RidHighlighterPas.h"
#include "highlighters/RidHighlighterPerl.h"
#include "highlighters/RidHighlighterRuby.h"
#include "highlighters/RidHighlighterSQL.h"
#include "highlighters/RidHighlighterXML.h"
#include "highlighters/uHighlighterProcs.h"

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

}  // namespace

TEderHighlighters::TEderHighlighters(TComponent* AOwner) : TComponent(AOwner) {
  Add<TRidPerlRid>();
  Add<TRidHTMLRid>();
  Add<TRidCssRid>();
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
  GetHighlighters(this, &FList, false);
}

TEderHighlighters::~TEderHighlighters() {
  FList.Clear();
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

}  // namespace rid
