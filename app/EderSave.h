#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/JCode.h"

class QMainWindow;

namespace rid {

class TRidEderStringList;
struct TEderPage;

// How people call a file's code.
const char* CodeName(JCodeKind Code);

// A page's text as a save writes it, and what is lost on the way.
struct TSavePlan {
  std::string Bytes;
  size_t Unwritable = 0;  // characters the file's code cannot hold
  int32_t FirstLine = 0;  // the first line holding one (1-based), 0 when none
};
// Each line keeps its break, the final break as loaded; a JIS text shifts back to single bytes
// with ESC ( JisKanjiOut.
TSavePlan PlanSave(const TRidEderStringList& Lines, JCodeKind Code, char JisKanjiOut = 'J');

// Ctrl+S: the page to its file in its code (the embedded sample, a Shift-JIS text with CR LF
// breaks, asks for a name first). When characters cannot be written back (or were lost when
// the file was read) a dialog says how many and where, and only a confirmation writes. A failed
// write leaves the file and the page as they were and says why. True when the file was written.
bool SavePage(QMainWindow* Window, TEderPage& Page);
// Before a modified page closes: save, discard or cancel. True when it may close.
bool MayClosePage(QMainWindow* Window, TEderPage& Page);

}  // namespace rid
