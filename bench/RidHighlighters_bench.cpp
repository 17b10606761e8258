// Every highlighter beside a peer, one row per class, in one table.
//
// Our side does what the editor's painter does: every token of every line with its attribute,
// each line started from the range the line before left. QScintilla's side styles the same
// bytes, set as the text of an offscreen editor in code page 932, with the lexer of the
// language, from scratch (SCI_CLEARDOCUMENTSTYLE, then SCI_COLOURISE over the document). Rows
// whose peer is one of ours (the CGI highlighter beside our Perl alone) show what the extra
// layer costs. Corpora are installed files of the language repeated to RID_HL_BENCH_MB
// megabytes (default 4), converted to Shift-JIS, with Japanese comment and string lines mixed
// in. Times are the best of 5 runs per side. SQL runs in its standard dialect beside
// QsciLexerSQL; the Java corpus is a fixed sample of the JDK's sources (java.util, A to L).
// Visual Basic and VBScript scan LibreOffice's Basic libraries, assembly objdump's Intel listings
// of installed programs, COBOL and Fortran the installed sources with generated fixed-format
// programs, General the text files of /usr/share/doc. COBOL and General have no QScintilla
// lexer: their rows give our throughput only.
//
// A new language adds a row to Rows(): its corpus, our factory and its QScintilla lexer (or
// none).
#include <benchmark/benchmark.h>
#include <qscilexer.h>
#include <qscilexercpp.h>
#include <qscilexercss.h>
#include <qscilexerfortran77.h>
#include <qscilexerhtml.h>
#include <qscilexerjava.h>
#include <qscilexerjavascript.h>
#include <qscilexerpascal.h>
#include <qscilexerperl.h>
#include <qscilexerpython.h>
#include <qscilexerruby.h>
#include <qscilexersql.h>
#include <qscilexertex.h>
#include <qscilexerxml.h>
#include <qsciscintilla.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/EderHighlighters.h"
#include "bench/BenchSupport.h"
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
#include "platform/Locale.h"
#include "tests/highlighters/LanguageCorpora.h"

namespace {

using rid::TRidCustomHighlighter;

size_t CorpusBytes() {
  const char* mb = std::getenv("RID_HL_BENCH_MB");
  const double n = mb ? std::atof(mb) : 4.0;
  return static_cast<size_t>((n > 0 ? n : 4.0) * 1024 * 1024);
}

std::string ReadFile(const std::filesystem::path& Path) {
  std::ifstream in(Path, std::ios::binary);
  std::ostringstream o;
  o << in.rdbuf();
  return o.str();
}

using rid::bench::FilesUnder;

// The texts in turn, as Shift-JIS, with one of the Japanese lines (written in UTF-8) after
// every eighth line, repeated to the corpus size.
std::string Corpus(const std::vector<std::string>& Texts,
                   const std::vector<std::string>& JapaneseUtf8) {
  std::vector<std::string> japanese;
  for (const std::string& j : JapaneseUtf8) japanese.push_back(rid::Utf8ToSjis(j) + "\n");
  std::string out;
  size_t line = 0;
  while (out.size() < CorpusBytes() && !Texts.empty()) {
    for (const std::string& t : Texts) {
      const std::string sjis = rid::Utf8ToSjis(t);
      size_t start = 0;
      while (start < sjis.size() && out.size() < CorpusBytes()) {
        size_t end = sjis.find('\n', start);
        end = end == std::string::npos ? sjis.size() : end + 1;
        out.append(sjis, start, end - start);
        if (++line % 8 == 0 && !japanese.empty()) out += japanese[line / 8 % japanese.size()];
        start = end;
      }
    }
  }
  return out;
}

std::vector<std::string> FileTexts(std::initializer_list<const char*> Roots,
                                   std::initializer_list<std::string_view> Exts) {
  std::vector<std::string> texts;
  for (const auto& f : FilesUnder(Roots, Exts)) texts.push_back(ReadFile(f));
  return texts;
}

// What a command prints (the JDK's sources come out of their zip file).
std::string CommandOutput(const std::string& ACommand) {
  std::string out;
  if (FILE* p = popen(ACommand.c_str(), "r")) {
    char buf[65536];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

const char* const kPythonDoc = "/usr/share/doc/python3.11/html";
const char* const kJdkSources = "/usr/lib/jvm/java-17-openjdk-amd64/lib/src.zip";

std::vector<std::string_view> Lines(const std::string& Text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < Text.size()) {
    size_t end = Text.find('\n', start);
    if (end == std::string::npos) end = Text.size();
    lines.push_back(std::string_view(Text).substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// What the painter does: every token of every line with its attribute.
size_t ScanOurs(TRidCustomHighlighter& H, const std::vector<std::string_view>& ALines) {
  size_t work = 0;
  H.ResetRange();
  for (size_t i = 0; i < ALines.size(); ++i) {
    H.SetRange(H.GetRange());
    H.SetLine(ALines[i], static_cast<int32_t>(i));
    for (; !H.GetEol(); H.Next()) {
      work += H.GetTokenView().size() + static_cast<size_t>(H.GetTokenKind());
      benchmark::DoNotOptimize(H.GetTokenAttribute());
    }
  }
  return work;
}

// A side of a row: something that styles the corpus once per call.
class TSide {
 public:
  virtual ~TSide() = default;
  virtual size_t Run() = 0;
};

class TOurSide : public TSide {
 public:
  TOurSide(std::shared_ptr<TRidCustomHighlighter> H, const std::string& Text)
      : FH(std::move(H)), FLines(Lines(Text)) {}
  size_t Run() override { return ScanOurs(*FH, FLines); }

 private:
  std::shared_ptr<TRidCustomHighlighter> FH;
  std::vector<std::string_view> FLines;
};

// QScintilla styling the whole text with a lexer object, or a lexer named to Scintilla.
class TQsciSide : public TSide {
 public:
  TQsciSide(std::unique_ptr<QsciLexer> Lexer, const char* LexerName, const std::string& Text)
      : FLexer(std::move(Lexer)) {
    FEditor.SendScintilla(QsciScintillaBase::SCI_SETCODEPAGE, 932);
    if (FLexer)
      FEditor.setLexer(FLexer.get());
    else
      FEditor.SendScintilla(QsciScintillaBase::SCI_SETLEXERLANGUAGE, 0UL, LexerName);
    if (FEditor.SendScintilla(QsciScintillaBase::SCI_GETLEXER) <= 1) {  // none, or the null one
      std::fprintf(stderr, "QScintilla has no lexer %s\n", LexerName ? LexerName : "object");
      std::exit(1);
    }
    FEditor.SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, Text.c_str());
  }
  size_t Run() override {
    FEditor.SendScintilla(QsciScintillaBase::SCI_CLEARDOCUMENTSTYLE);
    FEditor.SendScintilla(QsciScintillaBase::SCI_COLOURISE, 0UL, -1L);
    return static_cast<size_t>(FEditor.SendScintilla(QsciScintillaBase::SCI_GETENDSTYLED));
  }

 private:
  QsciScintilla FEditor;
  std::unique_ptr<QsciLexer> FLexer;
};

struct TRow {
  std::string Name;
  std::string PeerName;
  std::function<std::string()> Text;
  std::function<std::unique_ptr<TSide>(const std::string&)> Ours;
  std::function<std::unique_ptr<TSide>(const std::string&)> Peer;  // empty: no peer
};

template <class H>
std::function<std::unique_ptr<TSide>(const std::string&)> Ours() {
  return [](const std::string& Text) {
    return std::make_unique<TOurSide>(std::make_shared<H>(nullptr), Text);
  };
}

// One of the program's highlighters, set up as the program sets it up, with the set that owns it.
std::function<std::unique_ptr<TSide>(const std::string&)> OursInProgram(
    std::function<TRidCustomHighlighter*(rid::TEderHighlighters&)> AWhich) {
  return [AWhich](const std::string& Text) {
    auto set = std::make_shared<rid::TEderHighlighters>();
    return std::make_unique<TOurSide>(std::shared_ptr<TRidCustomHighlighter>(set, AWhich(*set)),
                                      Text);
  };
}

// LibreOffice's Basic modules, back in UTF-8 for Corpus.
std::vector<std::string> BasicModulesUtf8() {
  std::vector<std::string> texts;
  for (const auto& [name, sjis] : rid::test::BasicModules()) texts.push_back(rid::SjisToUtf8(sjis));
  return texts;
}

// The first lines of a text.
std::string Head(const std::string& Text, int ALines) {
  size_t at = 0;
  for (int i = 0; i < ALines && at != std::string::npos; ++i) at = Text.find('\n', at + 1);
  return Text.substr(0, at == std::string::npos ? Text.size() : at + 1);
}

// Pages with style and script elements: each page of the documentation followed by a style
// sheet and a script of its own.
std::vector<std::string> PagesWithBlocks() {
  const auto pages = FileTexts({kPythonDoc}, {".html"});
  const auto sheets = FileTexts({kPythonDoc}, {".css"});
  const auto scripts =
      FileTexts({"/usr/share/javascript/jquery", "/usr/share/javascript/underscore"}, {".js"});
  std::vector<std::string> texts;
  for (size_t i = 0; i < pages.size(); ++i) {
    texts.push_back(pages[i]);
    texts.push_back("<style type=\"text/css\">\n" + Head(sheets[i % sheets.size()], 60) +
                    "</style>\n<script type=\"text/javascript\">\n" +
                    Head(scripts[i % scripts.size()], 60) + "</script>\n");
  }
  return texts;
}

// CGI scripts: Perl modules, each followed by a page printed from a here-document.
std::vector<std::string> CgiScripts() {
  const auto modules = FileTexts({"/usr/share/perl"}, {".pm"});
  const auto pages = FileTexts({kPythonDoc}, {".html"});
  std::vector<std::string> texts;
  for (size_t i = 0; i < modules.size(); ++i)
    texts.push_back(modules[i] + "print <<\"HTML\";\n" + Head(pages[i % pages.size()], 80) +
                    "HTML\n");
  return texts;
}

template <class L>
std::function<std::unique_ptr<TSide>(const std::string&)> Qsci() {
  return [](const std::string& Text) {
    return std::make_unique<TQsciSide>(std::make_unique<L>(), nullptr, Text);
  };
}

// A lexer QScintilla has no class for, named to Scintilla.
std::function<std::unique_ptr<TSide>(const std::string&)> QsciNamed(const char* ALexer) {
  return [ALexer](const std::string& Text) {
    return std::make_unique<TQsciSide>(nullptr, ALexer, Text);
  };
}

std::vector<TRow> Rows() {
  std::vector<TRow> rows;
  rows.push_back({"TRidPerlRid", "QsciLexerPerl",
                  [] {
                    return Corpus(
                        FileTexts({"/usr/share/perl", "/usr/lib/x86_64-linux-gnu/perl"}, {".pm"}),
                        {"# 日本語のコメント：表示の確認", "my $msg = \"こんにちは、世界\";"});
                  },
                  Ours<rid::TRidPerlRid>(), Qsci<QsciLexerPerl>()});
  rows.push_back({"TRidHTMLRid", "QsciLexerHTML",
                  [] {
                    return Corpus(
                        FileTexts({kPythonDoc}, {".html"}),
                        {"<p>日本語の段落：表示の確認です。</p>", "<!-- 日本語のコメント -->"});
                  },
                  Ours<rid::TRidHTMLRid>(), Qsci<QsciLexerHTML>()});
  rows.push_back({"TRidCssRid", "QsciLexerCSS",
                  [] {
                    return Corpus(
                        FileTexts({kPythonDoc}, {".css"}),
                        {"/* 日本語のコメント：表示 */", "p { font-family: \"ＭＳ ゴシック\"; }"});
                  },
                  Ours<rid::TRidCssRid>(), Qsci<QsciLexerCSS>()});
  rows.push_back({"TRidJScriptRid", "QsciLexerJavaScript",
                  [] {
                    return Corpus(FileTexts({"/usr/share/javascript/jquery",
                                             "/usr/share/javascript/underscore",
                                             "/usr/share/nodejs/acorn/dist"},
                                            {".js"}),
                                  {"// 日本語のコメント：表示の確認", "var s = \"申し込み表\";"});
                  },
                  Ours<rid::TRidJScriptRid>(), Qsci<QsciLexerJavaScript>()});
  rows.push_back({"TRidPHPRid", "phpscript",
                  [] {
                    return Corpus(
                        FileTexts({"/usr/share/php"}, {".php"}),
                        {"// 日本語のコメント：表示の確認", "$s = \"名前：$name さん\";"});
                  },
                  Ours<rid::TRidPHPRid>(), QsciNamed("phpscript")});
  rows.push_back(
      {"TRidSQLRid", "QsciLexerSQL",
       [] {
         return Corpus(FileTexts({"/usr/share/postgresql"}, {".sql"}),
                       {"-- 日本語のコメント：表示の確認", "SELECT '申し込み表' AS 名前 FROM 表;"});
       },
       Ours<rid::TRidSQLRid>(), Qsci<QsciLexerSQL>()});
  rows.push_back({"TRidXMLRid", "QsciLexerXML",
                  [] {
                    return Corpus(FileTexts({"/usr/share/mime", "/usr/share/glib-2.0"}, {".xml"}),
                                  {"<!-- 日本語のコメント：表示 -->",
                                   "<名前 属性=\"ソース\">表示の確認</名前>"});
                  },
                  Ours<rid::TRidXMLRid>(), Qsci<QsciLexerXML>()});
  rows.push_back({"TRidPasRid", "QsciLexerPascal",
                  [] {
                    return Corpus(FileTexts({"/usr/share/fpcsrc/3.2.2/rtl/objpas",
                                             "/usr/share/fpcsrc/3.2.2/rtl/inc"},
                                            {".pas", ".pp", ".inc"}),
                                  {"{ 日本語のコメント：マクロの表示 }", "s := '申し込み表';"});
                  },
                  Ours<rid::TRidPasRid>(), Qsci<QsciLexerPascal>()});
  rows.push_back(
      {"TRidCppRid", "QsciLexerCPP",
       [] {
         return Corpus(
             FileTexts({"/usr/include/x86_64-linux-gnu/bits", "/usr/include/x86_64-linux-gnu/sys"},
                       {".h"}),
             {"// 日本語のコメント：表示の確認", "const char* s = \"申し込み表\";"});
       },
       Ours<rid::TRidCppRid>(), Qsci<QsciLexerCPP>()});
  rows.push_back({"TRidJavaRid", "QsciLexerJava",
                  [] {
                    return Corpus(
                        {CommandOutput("unzip -p " + std::string(kJdkSources) +
                                       " 'java.base/java/util/[A-L]*.java'")},
                        {"// 日本語のコメント：表示の確認", "String s = \"申し込み表\";"});
                  },
                  Ours<rid::TRidJavaRid>(), Qsci<QsciLexerJava>()});
  rows.push_back({"TRidRubyRid", "QsciLexerRuby",
                  [] {
                    return Corpus(FileTexts({"/usr/lib/ruby"}, {".rb"}),
                                  {"# 日本語のコメント：表示の確認", "s = \"申し込み表\""});
                  },
                  Ours<rid::TRidRubyRid>(), Qsci<QsciLexerRuby>()});
  rows.push_back({"TRidVBRid", "vb",
                  [] {
                    return Corpus(BasicModulesUtf8(),
                                  {"' 日本語のコメント：表示の確認", "s = \"申し込み表\""});
                  },
                  Ours<rid::TRidVBRid>(), QsciNamed("vb")});
  rows.push_back({"TRidVBScriptRid", "vbscript",
                  [] {
                    return Corpus(BasicModulesUtf8(),
                                  {"' 日本語のコメント：表示の確認", "s = \"申し込み表\""});
                  },
                  Ours<rid::TRidVBScriptRid>(), QsciNamed("vbscript")});
  rows.push_back({"TRidTeXRid", "QsciLexerTeX",
                  [] {
                    return Corpus(
                        FileTexts({"/usr/share/texlive/texmf-dist/tex/latex"},
                                  {".tex", ".sty", ".cls", ".ltx"}),
                        {"% 日本語のコメント：表示の確認", "日本語の本文：\\textbf{表示}の確認"});
                  },
                  Ours<rid::TRidTeXRid>(), Qsci<QsciLexerTeX>()});
  rows.push_back({"TRidCobolRid",
                  "",
                  [] {
                    std::vector<std::string> texts =
                        FileTexts({"/usr/share/gnucobol/copy"}, {".cpy"});
                    for (uint32_t seed = 1; seed <= 40; ++seed)
                      texts.push_back(rid::test::FixedFormCobol(seed, 20));
                    return Corpus(texts, {"000000* 日本語の注釈：表示の確認",
                                          "000000     DISPLAY \"申し込み表\"."});
                  },
                  Ours<rid::TRidCobolRid>(),
                  {}});
  rows.push_back(
      {"TRidFortranRid", "QsciLexerFortran77",
       [] {
         std::vector<std::string> texts =
             FileTexts({"/usr/lib/gcc/x86_64-linux-gnu", "/usr/share/cmake-3.25"}, {".f", ".f90"});
         for (uint32_t seed = 1; seed <= 40; ++seed)
           texts.push_back(rid::test::FixedFormFortran(seed, 20));
         return Corpus(texts, {"C     日本語の注釈：表示の確認", "      S = '申し込み表'"});
       },
       Ours<rid::TRidFortranRid>(), Qsci<QsciLexerFortran77>()});
  rows.push_back({"TRidPythonRid", "QsciLexerPython",
                  [] {
                    return Corpus(FileTexts({"/usr/lib/python3.11"}, {".py"}),
                                  {"# 日本語のコメント：表示の確認", "s = \"申し込み表\""});
                  },
                  Ours<rid::TRidPythonRid>(), Qsci<QsciLexerPython>()});
  rows.push_back({"TRidAsmRid", "asm",
                  [] {
                    return Corpus({CommandOutput("objdump -d -M intel --no-show-raw-insn "
                                                 "/usr/bin/gzip /usr/bin/objdump /usr/bin/ls")},
                                  {"; 日本語のコメント：表示の確認", "msg db '申し込み表', 0"});
                  },
                  Ours<rid::TRidAsmRid>(), QsciNamed("asm")});
  rows.push_back({"TRidGeneralRid",
                  "",
                  [] {
                    return Corpus(FileTexts({"/usr/share/doc"}, {".txt"}),
                                  {"日本語の文章：表示の確認です。", "{ 日本語の注釈 } 'マ表'"});
                  },
                  OursInProgram([](auto& H) { return H.ForFileName("notes.txt"); }),
                  {}});
  rows.push_back({"TRidMultiRid page", "QsciLexerHTML",
                  [] {
                    return Corpus(PagesWithBlocks(), {"<p>日本語の段落：表示の確認です。</p>",
                                                      "<!-- 日本語のコメント -->"});
                  },
                  OursInProgram([](auto& H) { return H.Page(); }), Qsci<QsciLexerHTML>()});
  rows.push_back({"TRidMultiRid CGI", "our TRidPerlRid",
                  [] {
                    return Corpus(CgiScripts(), {"# 日本語のコメント：表示の確認",
                                                 "my $msg = \"こんにちは、世界\";"});
                  },
                  OursInProgram([](auto& H) { return H.Cgi(); }), Ours<rid::TRidPerlRid>()});
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);

  struct TPrepared {
    const TRow* Row;
    std::string Text;
    std::unique_ptr<TSide> Ours, Peer;
  };
  const std::vector<TRow> rows = Rows();
  std::vector<TPrepared> prepared;
  for (const TRow& r : rows) {
    TPrepared p{&r, r.Text(), nullptr, nullptr};
    p.Ours = r.Ours(p.Text);
    if (r.Peer) p.Peer = r.Peer(p.Text);
    prepared.push_back(std::move(p));
  }
  for (TPrepared& p : prepared) {
    for (auto [side, who] : {std::pair{p.Ours.get(), "ours"}, std::pair{p.Peer.get(), "peer"}}) {
      if (!side) continue;
      const int64_t bytes = static_cast<int64_t>(p.Text.size());
      benchmark::RegisterBenchmark((p.Row->Name + "/" + who).c_str(), [side, bytes](
                                                                          benchmark::State& State) {
        for (auto _ : State) benchmark::DoNotOptimize(side->Run());
        State.SetBytesProcessed(State.iterations() * bytes);
      })->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();

  std::printf("\n%-18s %10s %10s %8s %-22s %10s %7s\n", "highlighter", "bytes", "ours ms",
              "ours MB/s", "peer", "peer ms", "ratio");
  for (TPrepared& p : prepared) {
    const double ours = rid::bench::BestTime([&] { return p.Ours->Run(); });
    const double rate = p.Text.size() / ours / (1024 * 1024);
    std::printf("%-18s %10zu %10.2f %8.1f ", p.Row->Name.c_str(), p.Text.size(), ours * 1e3, rate);
    if (!p.Peer) {
      std::printf("%-22s %10s %7s\n", "(none)", "-", "-");
      continue;
    }
    const double peer = rid::bench::BestTime([&] { return p.Peer->Run(); });
    std::printf("%-22s %10.2f %7.3f\n", p.Row->PeerName.c_str(), peer * 1e3, ours / peer);
  }
  std::printf("ratio = ours / peer, best of 5 runs each (below 0.5: at least twice as fast)\n");
  return 0;
}
