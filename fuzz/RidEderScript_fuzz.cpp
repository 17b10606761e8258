// Key scripts for the editor control (tests/editor/EderScript.h) drawn from the input: every
// command of the key-command table with its argument, the mouse as the window sends it, saves and
// texts of other programs, on the window's options or a variant of them, now and then under an
// undo limit of a few items or past the control's own. After every step no character is split,
// the caret stands on a character start, the page is modified whenever its text is not the one
// saved, typing and copies do what they say, and undo and redo give back the texts of before;
// undo of everything gives the text loaded (when the limit dropped nothing).
//
// Input: as script::RunInput reads it: the set-up, a length byte and that much text, then steps.
#include <QApplication>
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "tests/editor/EderScript.h"

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: the pointing device the mouse events create is freed after a static
  // application object at exit, and its destruction then crashes.
  static QApplication* App = new QApplication(*Argc, *Argv);
  (void)App;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  const std::string broke = rid::script::RunInput({reinterpret_cast<const char*>(Data), Size});
  if (!broke.empty()) std::fprintf(stderr, "%s\n", broke.c_str());
  rid::fuzz::Check(broke.empty());
  return 0;
}
