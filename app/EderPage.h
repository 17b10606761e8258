#pragma once
#include <memory>
#include <string>

#include "app/EderHighlighters.h"
#include "editor/RidEder.h"
#include "editor/RidEderHighlighter.h"
#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "platform/Classes.h"

namespace rid {

// One opened text: its name, its editor and the highlighter that colours it, one of the
// program's set (TEderHighlighters), which outlives the page.
struct TEderPage {
  std::string FileName;                          // empty for the embedded sample
  TRidCustomHighlighter* Highlighter = nullptr;  // not owned
  std::unique_ptr<TRidEder> Eder;
  JCodeKind Code = jcSjis;  // the file's code, which a save writes again
  char JisKanjiOut = 'J';   // JIS: the escape back to single bytes the file uses, ESC ( J or B
  size_t Substituted = 0;   // characters the file's conversion to Shift-JIS replaced by '?'
  int32_t FirstSubstitutedLine = 0;  // the file's line (1-based) that held the first of them
  TFileState Disk;  // the file as it was read or last saved; none for the embedded sample
};

// What a user is told of a page whose conversion replaced characters by '?', or "" when none.
std::string ConversionWarning(const TEderPage& Page);

// What a document made of a file is called: the file's name without folder and extension,
// converted from the system's UTF-8 to Shift-JIS.
std::string DocumentTitle(const std::string& FileName);

// A fresh editor with its default settings holding Sjis, coloured by Highlighter (may be null).
std::unique_ptr<TEderPage> NewPage(const std::string& FileName, std::string Sjis,
                                   TRidCustomHighlighter* Highlighter);
// A file read as the window opens it: converted to Shift-JIS and coloured by the highlighter
// of the set that its extension chooses (the window and the command line both choose here).
// Raises the read error (a file that is not a regular one included), EOutOfMemory naming the
// file and its size, or an Exception naming the file for a text the editor cannot hold.
std::unique_ptr<TEderPage> LoadPage(const std::string& FileName, TEderHighlighters& Highlighters);

}  // namespace rid
