#include "app/EderHighlighters.h"

#include <filesystem>

#include "highlighters/RidHighlighterAsm.h"
#include "highlighters/RidHighlighterCSS.h"
#include "highlighters/RidHighlighterCobol.h"
#include "highlighters/RidHighlighterCpp.h"
#include "highlighters/RidHighlighterFortran.h"
#include "highlighters/RidHighlighterGeneral.h"
#include "highlighters/RidHighlighterHtml.h"
#include "highlighters/RidHighlighterJScript.h"
#include "highlighters/RidHighlighterJava.h"
#include "highlighters/RidHighlighterMulti.h"
#include "highlighters/RidHighlighterPHP.h"
#include "highlighters/RidHighlighterPas.h"
#include "highlighters/RidHighlighterPerl.h"
#include "highlighters/RidHighlighterPython.h"
#include "highlighters/RidHighlighterRuby.h"
#include "highlighters/RidHighlighterSQL.h"
#include "highlighters/RidHighlighterTeX.h"
#include "highlighters/RidHighlighterVBScript.h"
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

template <class T>
void SetEditorColours(T* AHighlighter) {
  SetEditorColours(AHighlighter->GetCommentAttri(), AHighlighter->GetKeyAttri(),
                   AHighlighter->GetNumberAttri(), AHighlighter->GetStringAttri());
}

// The bytes the editor counts as parts of a word in a file of no particular language.
constexpr char kGeneralIdentifierChars[] =
    "!#$%&*+,-./0123456789@ABCDEFGHIJKLMNOPQRSTUVWXYZ\\^_`abcdefghijklmnopqrstuvwxyz";
static_assert(sizeof kGeneralIdentifierChars - 1 == 78);

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
  SetEditorColours(js);
  js->GetCommentAttri()->SetStyle({});
  Add<TRidSQLRid>();
  Add<TRidXMLRid>();
  Add<TRidPasRid>();  // sorts before PHP, so .inc files are Pascal
  Add<TRidCppRid>();
  Add<TRidJavaRid>();
  Add<TRidRubyRid>();
  AddGeneral();
  auto* vb = Add<TRidVBRid>();
  vb->SetDefaultFilter("VisualBasic Files (*.bas)|*.bas");
  SetEditorColours(vb);
  SetEditorColours(Add<TRidVBScriptRid>());
  AddTeX();
  auto* cobol = Add<TRidCobolRid>();
  cobol->GetCommentAttri()->SetForeground(clRed);
  cobol->GetKeyAttri()->SetForeground(clMaroon);
  SetEditorColours(Add<TRidFortranRid>());
  AddPython();
  auto* assembly = Add<TRidAsmRid>();
  assembly->SetDefaultFilter("x86Assembly Files (*.asm)|*.asm");
  SetEditorColours(assembly);
  AddCgi(perl, html, js, css);
  GetHighlighters(this, &FList, false);
}

void TEderHighlighters::AddGeneral() {
  FGeneral = Add<TRidGeneralRid>();
  FGeneral->SetComments({csAnsiStyle, csPasStyle, csCStyle, csAsmStyle, csBasStyle, csCPPStyle});
  FGeneral->SetDetectPreprocessor(false);
  FGeneral->SetIdentifierChars(kGeneralIdentifierChars);
  SetEditorColours(FGeneral);
  FGeneral->GetCommentAttri()->SetStyle({});
}

void TEderHighlighters::AddTeX() {
  auto* tex = Add<TRidTeXRid>();
  tex->GetCommentAttri()->SetForeground(clRed);
  tex->GetTextAttri()->SetForeground(clBlue);
  tex->GetControlSequenceAttri()->SetForeground(clBlack);
  tex->GetControlSequenceAttri()->SetStyle({});
  tex->GetBraceAttri()->SetForeground(clFuchsia);
  tex->GetBraceAttri()->SetStyle({});
}

void TEderHighlighters::AddPython() {
  auto* python = Add<TRidPythonRid>();
  python->GetCommentAttri()->SetForeground(clRed);
  python->GetCommentAttri()->SetStyle({});
  python->GetKeyAttri()->SetForeground(clMaroon);
  python->GetNumberAttri()->SetForeground(clGreen);
  for (TRidHighlighterAttributes* a :
       {python->GetHexAttri(), python->GetOctalAttri(), python->GetFloatAttri()})
    a->SetForeground(clTeal);
  python->GetErrorAttri()->SetBackground(clRed);
  python->GetErrorAttri()->SetForeground(clBlack);
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
  TRidCustomHighlighter* h =
      GetHighlighterFromFileExt(&FList, std::filesystem::path(AFileName).extension().string());
  return h ? h : FGeneral;
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
    out += f + "\t" + h->ClassName() + "\t" + SjisToUtf8(GetHighlighterName(h)) + "\n";
  }
  return out;
}

}  // namespace rid
