#include "app/EderExport.h"

#include "app/CommandLine.h"
#include "output/RidExportHTML.h"
#include "output/RidExportRTF.h"
#include "platform/Clipboard.h"

namespace rid {

namespace {

int RunExport(TCliJob& Job, TRidCustomExporter& E) {
  E.SetTitle(Job.Title());
  Job.ApplyFont(*E.GetFont());
  E.SetUseBackground(Job.Args().Has("--background"));
  ExportHighlighted(E, Job.Page().Eder->Lines(), Job.Page().Highlighter);
  Job.WriteOutput(E.GetBuffer());
  return 0;
}

}  // namespace

void ExportHighlighted(TRidCustomExporter& E, TStrings* Lines, TRidCustomHighlighter* Highlighter) {
  TRidPlainTextHighlighter plain(nullptr);  // the exporter forgets it when it goes
  E.SetHighlighter(Highlighter ? Highlighter : &plain);
  E.ExportAll(Lines);
}

void AddRichCopyFormats(TCustomRidEder* Sender, const std::string& Text) {
  TStringList lines;
  lines.SetTextStr(Text);
  TRidExporterRTF rtf(nullptr);
  ExportHighlighted(rtf, &lines, Sender->GetHighlighter());
  Clipboard()->SetBuffer(rtf.GetClipboardFormat(), rtf.GetBuffer());
  TRidExporterHTML html(nullptr);
  ExportHighlighted(html, &lines, Sender->GetHighlighter());
  Clipboard()->SetBuffer(html.GetClipboardFormat(), HtmlPageToUtf8(html.GetBuffer()));
}

int RunExportRtf(TCliJob& Job) {
  TRidExporterRTF rtf(nullptr);
  return RunExport(Job, rtf);
}

int RunExportHtml(TCliJob& Job) {
  TRidExporterHTML html(nullptr);
  html.SetCreateHTMLFragment(Job.Args().Has("--fragment"));
  return RunExport(Job, html);
}

}  // namespace rid
