#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "foundation/JCode.h"
#include "platform/Classes.h"

class QMainWindow;

namespace rid {

class TRidEderStringList;
struct TEderPage;

// How people call a file's code.
const char* CodeName(JCodeKind Code);

// What a save in a file's code loses (see TSjisEncoder).
struct TSavePlan {
  size_t Unwritable = 0;  // characters the file's code cannot hold
  int32_t FirstLine = 0;  // the first line holding one (1-based), 0 when none
};
TSavePlan PlanSave(TRidEderStringList& Lines, JCodeKind Code);
// Writes the lines to FileName in Code, atomically (SaveToFileAtomic): each line keeps its
// break, the final break as loaded; a JIS text shifts back to single bytes with ESC (
// JisKanjiOut. The text is converted block by block on its way to the file, so it is never held
// twice. A new file gets what Former, the file deleted, had when given (see
// SaveToFileAtomic); with Checked, only the very file it describes is written. Raises the
// save's error; the old file then stays. Returns the state of the file written and what of
// the file's privileges the save could not keep.
TSavedFile SaveInCode(TRidEderStringList& Lines, JCodeKind Code, const std::string& FileName,
                      char JisKanjiOut = 'J', const TFileState* Former = nullptr,
                      const TFileState* Checked = nullptr);

// Ctrl+S: the page to its file in its code (the embedded sample, a Shift-JIS text with CR LF
// breaks, asks for a name first). When the file was changed, replaced or deleted on disk since
// it was read or last saved (see CompareFileStates; a replaced one may also be the same file
// given to another owner or group), a dialog says so first; when characters cannot be written
// back (or were lost when the file was read) a dialog says how many and where. Cancel is their
// default; only a confirmation writes (a deleted file again with the owner, group, mode and ACL
// it had, as far as the saver may give them). The file is looked at again after every dialog,
// right before the writing, and what changed while one was open is asked about in turn; the
// writing goes to the very file looked at last. A failed write leaves the file and the page as
// they were and says why; a save that could not keep the file's capabilities or set-ID bits
// says so on the status line. True when the file was written.
bool SavePage(QMainWindow* Window, TEderPage& Page);
// Before a modified page closes: save, discard or cancel. True when it may close.
bool MayClosePage(QMainWindow* Window, TEderPage& Page);

}  // namespace rid
