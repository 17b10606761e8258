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

// Edits, undos and redos chosen by the input on a file it gives, with the options the program
// uses (undo grouping on, as the window has it), with no undo limit or one the input draws: an
// undo, which may take back several edits at once, lands on the bytes a save wrote before one of
// them; right after a run of undos each redo gives back, in turn, the bytes its undo took away;
// the page is modified whenever its text is not the file; undo of everything gives the file
// back (unless the limit dropped steps), and redo of everything the text of the newest edit.
//
// Input: an options byte (bit 0 trim trailing blanks, 1 tabs to spaces, 2 scroll past the line
// end, 3 overwrite, bits 4-6 tab width - 1, bit 7 a limit byte follows: modulo 6, an undo limit
// of 1 to 5 items, or the control's own limit with more edits made first than it keeps: z typed
// at the start and taken back, kEarlierPairs times), a length byte and that many bytes of file, a
// stretch byte k (each line of the file is repeated 1 + 20k times, up to 5,000 bytes, so that
// lines run past the 1,024 columns a caret may go beyond a line's end; not with the edits made
// first), then steps: a byte whose low two bits choose an edit (0, 1), an undo (2) or a redo (3).
// An edit takes the selection mode from the byte's next bits, then three bytes each for the
// selection's begin and end (a line, and a column of two bytes that reaches anywhere in the line
// and a little past it), a length byte (mod 16) and that text; the byte's top bits choose what it
// does: put the text in (0-3), indent, unindent, change case (6), or cut, paste or replace the
// caret line with the text (7, by the text's length).
namespace {

// More edits than the control's undo limit keeps.
constexpr int kEarlierPairs = 550;

using rid::fuzz::Check;
using rid::fuzz::NewestChange;
using rid::fuzz::PosAnywhere;
using rid::fuzz::RecordedSince;
using rid::fuzz::Saved;
using rid::fuzz::TReader;

// Each line of File repeated Times times, cut at 5,000 bytes.
std::string Stretched(std::string_view File, int Times) {
  std::string out;
  for (size_t at = 0; at <= File.size();) {
    const size_t end = std::min(File.find_first_of("\r\n", at), File.size());
    std::string line;
    for (int k = 0; k < Times && end > at && line.size() < 5000; ++k)
      line.append(File.substr(at, end - at));
    out += line.substr(0, 5000);
    if (end == File.size()) break;
    const size_t next = File.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
    out.append(File.substr(end, next - end));
    at = next;
  }
  return out;
}

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
  TRidEderorOptions options = ed.GetOptions();
  const TRidEderorOption chosen[] = {eoTrimTrailingSpaces, eoTabsToSpaces, eoScrollPastEol};
  for (int bit = 0; bit < 3; ++bit)
    options = flags & (1 << bit) ? options + TRidEderorOptions{chosen[bit]}
                                 : options - TRidEderorOptions{chosen[bit]};
  ed.SetOptions(options);
  const int limit = flags & 0x80 ? in.Byte() % 6 : -1;
  const bool pastLimit = limit == 5;
  if (limit < 0)
    ed.SetMaxUndo(1 << 24);  // every step stays undoable
  else if (!pastLimit)
    ed.SetMaxUndo(limit + 1);
  const std::string_view given = in.Bytes(in.Byte());
  // Unstretched past the limit, where the history keeps a copy of the text for every edit.
  const int times = 1 + 20 * in.Byte();
  const std::string file = pastLimit ? std::string(given) : Stretched(given, times);
  ed.GetLines()->LoadFromBytes(file);
  Check(Saved(ed) == file);

  // The saved bytes after each recorded edit, Now indexing the current one; and for each undo
  // not yet redone, the bytes before it with their index.
  std::vector<std::string> history{file};
  for (int n = 0; pastLimit && n < kEarlierPairs; ++n) {
    ed.CommandProcessor(ecChar, 'z', nullptr);
    history.push_back(Saved(ed));
    ed.CommandProcessor(ecDeleteLastChar, 0, nullptr);
    history.push_back(Saved(ed));
  }
  ed.SetInsertMode(!(flags & 8));
  ed.SetTabWidth(1 + ((flags >> 4) & 7));
  size_t now = history.size() - 1;
  std::vector<std::pair<std::string, size_t>> undone;
  const auto undo = [&] {
    undone.emplace_back(Saved(ed), now);
    ed.Undo();
    const std::string after = Saved(ed);
    do {
      Check(now > 0);
    } while (history[--now] != after);
  };
  const auto redo = [&] {
    Check(!undone.empty());
    ed.Redo();
    Check(Saved(ed) == undone.back().first);
    now = undone.back().second;
    undone.pop_back();
  };
  // Unmodified only on the file as loaded.
  const auto checkModified = [&] { Check(ed.GetModified() || Saved(ed) == file); };
  for (int steps = 0; in.More() && steps < 64; ++steps) {
    checkModified();
    const uint8_t op = in.Byte();
    if ((op & 3) == 2) {
      if (ed.CanUndo()) undo();
    } else if ((op & 3) == 3) {
      if (ed.CanRedo()) redo();
    } else {
      ed.SetSelectionMode(static_cast<TRidSelectionMode>((op >> 2) % 3));
      const TBufferCoord b = PosAnywhere(in, ed), e = PosAnywhere(in, ed);
      ed.SetCaretXY(e);
      ed.SetBlockBegin(b);
      ed.SetBlockEnd(e);
      const std::string value(in.Bytes(in.Byte() % 16));
      const int32_t newest = NewestChange(ed.GetUndoList());
      const std::string before = Saved(ed);
      Edit(ed, op, value);
      if (!RecordedSince(ed.GetUndoList(), newest)) {
        Check(Saved(ed) == before);
        continue;
      }
      Check(!ed.CanRedo());
      undone.clear();
      history.resize(now + 1);
      history.push_back(Saved(ed));
      ++now;
    }
  }
  checkModified();
  Check(ed.CanRedo() == !undone.empty());
  while (ed.CanUndo()) undo();
  checkModified();
  if (!ed.GetUndoList().GetFullUndoImpossible()) Check(Saved(ed) == history.front());
  while (ed.CanRedo()) redo();
  checkModified();
  Check(Saved(ed) == history.back());
  return 0;
}
