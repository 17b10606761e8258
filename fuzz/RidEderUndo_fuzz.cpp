#include <QApplication>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "fuzz/EderFuzzSupport.h"
#include "platform/Clipboard.h"

// Edits, undos and redos chosen by the input on a file it gives: every undo gives back the bytes
// a save wrote before the edit, every redo those after it, whatever the options.
//
// Input: an options byte (bit 0 trim trailing blanks, 1 tabs to spaces, 2 scroll past the line
// end, 3 overwrite, bits 4-6 tab width - 1), a length byte and that many bytes of file, then
// steps: a byte whose low two bits choose an edit (0, 1), an undo (2) or a redo (3). An edit
// takes the selection mode from the byte's next bits, then four bytes for the selection's
// begin and end line and column, a length byte (mod 16) and that text; the byte's top bits
// choose what it does: put the text in (0-3), indent, unindent, change case (6), or cut, paste
// or replace the caret line with the text (7, by the text's length).
namespace {

using rid::fuzz::Check;
using rid::fuzz::Pos;
using rid::fuzz::Saved;
using rid::fuzz::TReader;

void Edit(rid::TRidEder& Ed, uint8_t Op, const std::string& Value) {
  using namespace rid;
  static const TRidEderorCommand cases[] = {ecUpperCaseBlock, ecLowerCaseBlock, ecToggleCaseBlock};
  switch (Op >> 5) {
    case 4:
      return Ed.DoBlockIndent();
    case 5:
      return Ed.DoBlockUnindent();
    case 6:
      return Ed.DoCaseChange(cases[Value.size() % 3]);
    case 7:
      if (Value.size() % 3 == 0) return Ed.CutToClipboard();
      if (Value.size() % 3 == 1) return Ed.PasteFromClipboard();
      return Ed.SetLineText(Value);
    default:
      return Ed.SetSelText(Value);
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace rid;
  TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->Close();
  TRidEder ed(nullptr);
  const uint8_t flags = in.Byte();
  TRidEderorOptions options = ed.GetOptions() - TRidEderorOptions{eoGroupUndo};
  const TRidEderorOption chosen[] = {eoTrimTrailingSpaces, eoTabsToSpaces, eoScrollPastEol};
  for (int bit = 0; bit < 3; ++bit)
    options = flags & (1 << bit) ? options + TRidEderorOptions{chosen[bit]}
                                 : options - TRidEderorOptions{chosen[bit]};
  ed.SetOptions(options);
  ed.SetMaxUndo(1 << 24);  // every step stays undoable: this is about exactness, not limits
  ed.SetInsertMode(!(flags & 8));
  ed.SetTabWidth(1 + ((flags >> 4) & 7));
  const std::string_view file = in.Bytes(in.Byte());
  ed.GetLines()->LoadFromBytes(file);
  Check(Saved(ed) == file);

  // The saved bytes after each recorded edit; Now indexes the current one.
  std::vector<std::string> history{std::string(file)};
  size_t now = 0;
  for (int steps = 0; in.More() && steps < 64; ++steps) {
    const uint8_t op = in.Byte();
    if ((op & 3) == 2) {
      if (!ed.CanUndo()) continue;
      ed.Undo();
      Check(now > 0 && Saved(ed) == history[--now]);
    } else if ((op & 3) == 3) {
      if (!ed.CanRedo()) continue;
      ed.Redo();
      Check(now + 1 < history.size() && Saved(ed) == history[++now]);
    } else {
      ed.SetSelectionMode(static_cast<TRidSelectionMode>((op >> 2) % 3));
      const TBufferCoord b = Pos(in, ed), e = Pos(in, ed);
      ed.SetCaretXY(e);
      ed.SetBlockBegin(b);
      ed.SetBlockEnd(e);
      const std::string value(in.Bytes(in.Byte() % 16));
      const int32_t items = ed.GetUndoList().ItemCount();
      const std::string before = Saved(ed);
      Edit(ed, op, value);
      if (ed.GetUndoList().ItemCount() == items) {
        Check(Saved(ed) == before);
        continue;
      }
      history.resize(now + 1);
      history.push_back(Saved(ed));
      ++now;
    }
  }
  while (ed.CanUndo()) ed.Undo();
  Check(Saved(ed) == history.front());
  while (ed.CanRedo()) ed.Redo();
  Check(Saved(ed) == history.back());
  return 0;
}
