#pragma once
#include <memory>
#include <string>

#include "editor/RidEder.h"
#include "editor/RidEderHighlighter.h"

namespace rid {

// One opened text: its name, its editor and the highlighter that colours it.
struct TEderPage {
  std::string FileName;  // empty for the embedded sample
  std::unique_ptr<TRidCustomHighlighter> Highlighter;
  std::unique_ptr<TRidEder> Eder;  // declared last: goes before the highlighter it uses
};

// Shift-JIS text of a file's bytes, whatever Japanese code they are in.
std::string BytesToSjis(const std::string& Bytes);
// Whether a file name gets the Perl colours (until highlighters are chosen by extension).
bool IsPerlFileName(const std::string& FileName);
// The highlighter that colours a file of this name, or none (plain text). The window and the
// command line both choose here.
std::unique_ptr<TRidCustomHighlighter> HighlighterForFile(const std::string& FileName);

// A fresh editor with its default settings holding Sjis, coloured by Highlighter (may be null).
std::unique_ptr<TEderPage> NewPage(const std::string& FileName, const std::string& Sjis,
                                   std::unique_ptr<TRidCustomHighlighter> Highlighter);
// A file read as the window opens it: converted to Shift-JIS and coloured by its name. Raises
// the read error.
std::unique_ptr<TEderPage> LoadPage(const std::string& FileName);

}  // namespace rid
