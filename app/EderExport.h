#pragma once
// The program's export: a page's text as an RTF or HTML document, the rich copy to the
// clipboard, and the command-line modes --export-rtf and --export-html.
#include <string>

#include "editor/RidEder.h"
#include "output/RidEderExport.h"

namespace rid {

// Exports Lines coloured by Highlighter into E; without a highlighter, as plain text.
void ExportHighlighted(TRidCustomExporter& E, TStrings* Lines, TRidCustomHighlighter* Highlighter);
// What an editor's copy adds beside its plain text (its OnCopyFormats): the text coloured by the
// editor's highlighter as an RTF document under text/rtf, and as an HTML page under text/html,
// converted to UTF-8, which is what programs on this desktop read there.
void AddRichCopyFormats(TCustomRidEder* Sender, const std::string& Text);

}  // namespace rid
