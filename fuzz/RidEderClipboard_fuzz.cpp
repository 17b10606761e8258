// The editor's private clipboard block from another program: any bytes on the clipboard in its
// format paste without harm, in an editor with the options the program uses (undo grouping on,
// as the window has it). The paste fails with the editor's error and changes nothing, or changes
// nothing and leaves the page unmodified, or leaves the caret on a character start; undo then
// gives back the bytes a save wrote before it and the page unmodified, and redo those after it.
// A block is taken with its bytes as they are, a lead byte alone among them, whatever plain text
// lies beside it.
//
// Input: a flags byte (bits 0-1 the editor's selection mode, 2 trim trailing blanks, 3
// overwrite, 4 plain text beside the block), a length byte and that many bytes of file, four
// bytes for the selection's begin and end line and column, with bit 4 a length byte and that
// much plain text, then the block.
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

// The editor, its text and selection as the input's first bytes give them.
void SetUp(rid::TRidEder& Ed, rid::fuzz::TReader& In, uint8_t Flags) {
  using namespace rid;
  Ed.SetSelectionMode(static_cast<TRidSelectionMode>((Flags & 3) % 3));
  TRidEderorOptions options = Ed.GetOptions();
  Ed.SetOptions(Flags & 4 ? options + TRidEderorOptions{eoTrimTrailingSpaces}
                          : options - TRidEderorOptions{eoTrimTrailingSpaces});
  Ed.SetInsertMode(!(Flags & 8));
  Ed.GetLines()->LoadFromBytes(In.Bytes(In.Byte()));
  const TBufferCoord begin = Pos(In, Ed), end = Pos(In, Ed);
  Ed.SetCaretXY(end);
  Ed.SetBlockBegin(begin);
  Ed.SetBlockEnd(end);
}

void Offer(const std::string* Plain, const std::string* Block) {
  rid::TClipboard* clip = rid::Clipboard();
  clip->Open();
  clip->Clear();
  if (Plain) clip->SetAsText(*Plain);
  if (Block) clip->SetBuffer(rid::RidEderClipboardFormat(), *Block);
  clip->Close();
}

// Pastes; false when the paste failed with the editor's error.
bool Pasted(rid::TRidEder& Ed) {
  try {
    Ed.PasteFromClipboard();
    return true;
  } catch (const rid::ERidEderError&) {
    return false;
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
  const std::string_view data(reinterpret_cast<const char*>(Data), Size);
  fuzz::TReader in{data};
  const uint8_t flags = in.Byte();
  TRidEder ed(nullptr);
  SetUp(ed, in, flags);
  const bool withPlain = flags & 16;
  const std::string plain(withPlain ? in.Bytes(in.Byte()) : std::string_view());
  const std::string block(in.Rest());

  Offer(withPlain ? &plain : nullptr, &block);
  const std::string before = Saved(ed);
  const int32_t items = ed.GetUndoList().ItemCount();
  const bool modified = ed.GetModified();
  const bool pasted = Pasted(ed);
  const std::string after = Saved(ed);
  Check(pasted || block.empty());
  if (!pasted || ed.GetUndoList().ItemCount() == items) {
    Check(after == before && ed.GetModified() == modified);
    return 0;
  }
  Check(CaretOnCharacterStart(ed));
  ed.Undo();
  Check(Saved(ed) == before && ed.GetModified() == modified &&
        ed.GetUndoList().ItemCount() == items);
  ed.Redo();
  Check(Saved(ed) == after);
  // Redone, it still undoes as one paste.
  ed.Undo();
  Check(Saved(ed) == before && ed.GetUndoList().ItemCount() == items);
  return 0;
}
