// What the macro fuzz targets share: a macro played into an editor holding a file as the window
// plays it, then taken back step by step and played again through redo.
#pragma once
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEder.h"
#include "editor/RidEderKeyCmds.h"
#include "editor/RidMacroRecorder.h"
#include "fuzz/EderFuzzSupport.h"
#include "platform/Clipboard.h"
#include "tests/editor/EderScript.h"

namespace rid::fuzz {

// Commands a playback runs at most, and the text size past which it runs none: a few bytes of
// macro could otherwise copy and paste a text into gigabytes.
constexpr int kMaxPlayedCommands = 1000;
constexpr size_t kMaxPlayedText = 32 * 1024;

inline bool TextOver(TRidEder& Ed, size_t Limit) {
  size_t n = 0;
  for (int32_t i = 0; i < Ed.GetLines()->GetCount() && n <= Limit; ++i)
    n += Ed.GetLines()->GetView(i).size() + 2;
  return n > Limit;
}

// Plays R's macro into an editor holding File with the window's options (the editor's defaults,
// undo grouping on) and the recorder attached, as the window has it, after an empty clipboard.
// Each command played leaves the caret and a normal block's ends on character starts. Nothing
// unsaved is lost without a trace: a text that differs from the file is modified. Every
// undo then takes a step back until the file's bytes come back, unmodified; each redo after
// them gives back, in turn, the text its undo took away, ending at the played text, modified as
// it was.
inline void CheckPlayback(TCustomRidMacroRecorder& R, std::string_view File) {
  Clipboard()->Open();
  Clipboard()->Clear();
  Clipboard()->Close();
  TRidEder ed(nullptr);
  ed.SetMaxUndo(1 << 24);  // every step stays undoable: this is about exactness, not limits
  ed.GetLines()->LoadFromBytes(File);
  ed.SetModified(false);
  Check(Saved(ed) == File);
  int commands = 0;
  ed.OnProcessCommand = [&](TObject*, TRidEderorCommand& Command, char&, void*) {
    if (++commands > kMaxPlayedCommands || TextOver(ed, kMaxPlayedText)) Command = ecNone;
  };
  // After each command the caret and a normal block's ends stand on character starts.
  ed.OnCommandProcessed = [&](TObject*, TRidEderorCommand&, char&, void*) {
    if (const std::string broke = script::PlaceInside(ed); !broke.empty()) {
      std::fprintf(stderr, "%s\n", broke.c_str());
      Check(false);
    }
  };
  R.AddEditor(&ed);
  try {
    R.PlaybackMacro(&ed);
  } catch (const Exception&) {  // the window tells it; what was played stays
  }
  R.RemoveEditor(&ed);
  Check(R.GetState() == mrsStopped);
  const std::string played = Saved(ed);
  const bool modified = ed.GetModified();
  Check(played == File || modified);

  std::vector<std::string> before;  // the text each undo found
  for (int32_t items = ed.GetUndoList().ItemCount(); ed.CanUndo(); --items) {
    Check(items > 0);  // each undo takes at least one item
    before.push_back(Saved(ed));
    ed.Undo();
  }
  Check(Saved(ed) == File && !ed.GetModified());
  for (auto it = before.rbegin(); it != before.rend(); ++it) {
    Check(ed.CanRedo());
    ed.Redo();
    Check(Saved(ed) == *it);
  }
  Check(ed.GetModified() == modified);
}

}  // namespace rid::fuzz
