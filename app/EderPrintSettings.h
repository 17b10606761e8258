#pragma once
// What the window and the command line share about printing: the header and footer line
// syntax, the defaults, and the window's saved choices.
#include <string>
#include <vector>

#include "output/RidEderPrint.h"

namespace rid {

// The header a new job gets: the title left, "page/count" right.
inline constexpr const char* kDefaultHeaderLine = "$TITLE$||$PAGENUM$/$PAGECOUNT$";

// Replaces Part's items by lines of "LEFT|CENTRE|RIGHT" (UTF-8, with the item macros); each
// line is a line of the header or footer, and an empty one adds nothing. EConvertError for a
// line of more than three items; Part is unchanged then.
void SetHeaderFooterLines(THeaderFooter& Part, const std::vector<std::string>& Utf8Lines);
// Part's items as such lines (UTF-8; two items of one place are joined by a blank).
std::vector<std::string> HeaderFooterLines(THeaderFooter& Part);

// The window's choices, kept in the registry as the job's Margin text and the header's and
// footer's AsString. Loading keeps the job's values for what was never saved or cannot be used
// (a number or another type where text belongs, a text this version cannot read), and returns
// a line for each value it could not use.
std::vector<std::string> LoadPrintSettings(TRidEderPrint& Job);
// Stores them, leaving a value that cannot be used as it is (loading took it for missing: it is
// the person's own), so that the job's choice for it holds for this run only. Returns what the
// status line says: each value left so, and why the settings file could not be written; "" when
// all was stored. Nothing is raised, since what is being printed goes on regardless.
std::string SavePrintSettings(TRidEderPrint& Job);

}  // namespace rid
