// The editor's private clipboard block from another program: any bytes on the clipboard in its
// format paste without harm. The paste fails with the editor's error and changes nothing, or
// changes nothing, or leaves the caret on a character start; undo then gives back the bytes a
// save wrote before it, and redo those after it.
//
// Input: a flags byte (bits 0-1 the editor's selection mode, 2 trim trailing blanks, 3
// overwrite), a length byte and that many bytes of file, four bytes for the selection's begin
// and end line and column, then the block.
#include <QApplication>
#include <cstdint>
#include <string>
#include <string_view>

#include "editor/RidEder.h"
#include "fuzz/EderFuzzSupport.h"
#include "platform/Clipboard.h"

namespace {

using rid::fuzz::Check;
using rid::fuzz::Pos;
using rid::fuzz::Saved;

bool CaretOnCharacterStart(rid::TRidEder& Ed) {
  const rid::TBufferCoord caret = Ed.GetCaretXY();
  if (caret.Line < 1 || caret.Line > Ed.GetLines()->GetCount()) return true;
  const std::string line = Ed.GetLines()->Get(caret.Line - 1);
  const size_t column = size_t(caret.Char - 1);
  return column >= line.size() || rid::fuzz::IsCharStart(line, column);  // past the text: none
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* Argc, char*** Argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static QApplication App(*Argc, *Argv);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  using namespace rid;
  fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  TRidEder ed(nullptr);
  const uint8_t flags = in.Byte();
  ed.SetSelectionMode(static_cast<TRidSelectionMode>((flags & 3) % 3));
  TRidEderorOptions options = ed.GetOptions() - TRidEderorOptions{eoGroupUndo};
  ed.SetOptions(flags & 4 ? options + TRidEderorOptions{eoTrimTrailingSpaces}
                          : options - TRidEderorOptions{eoTrimTrailingSpaces});
  ed.SetInsertMode(!(flags & 8));
  ed.GetLines()->LoadFromBytes(in.Bytes(in.Byte()));
  const TBufferCoord begin = Pos(in, ed), end = Pos(in, ed);
  ed.SetCaretXY(end);
  ed.SetBlockBegin(begin);
  ed.SetBlockEnd(end);
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->SetBuffer(RidEderClipboardFormat(), std::string(in.Rest()));
  Clipboard()->Close();

  const std::string before = Saved(ed);
  const int32_t items = ed.GetUndoList().ItemCount();
  try {
    ed.PasteFromClipboard();
  } catch (const ERidEderError&) {
    Check(Saved(ed) == before);
    return 0;
  }
  const std::string after = Saved(ed);
  if (ed.GetUndoList().ItemCount() == items) {
    Check(after == before);
    return 0;
  }
  Check(CaretOnCharacterStart(ed));
  ed.Undo();
  Check(Saved(ed) == before);
  ed.Redo();
  Check(Saved(ed) == after);
  return 0;
}
