// What the editor's fuzz targets share: the bytes a save writes, what an undo list recorded last,
// and a place in the text read from the input.
#pragma once
#include <algorithm>
#include <string>

#include "editor/RidEder.h"
#include "fuzz/FuzzSupport.h"

namespace rid::fuzz {

inline std::string Saved(TRidEder& Ed) { return Ed.GetLines()->SaveToBytes(); }

// The highest change number in an undo list, 0 when it is empty: what a change records next goes
// above it, also when the undo limit drops the items under it.
inline int32_t NewestChange(const TRidEderUndoList& List) {
  int32_t newest = 0;
  for (int32_t i = 0; i < List.ItemCount(); ++i)
    newest = std::max(newest, List.GetItem(i)->GetChangeNumber());
  return newest;
}

// Whether a change pushed an item above Newest other than a group break (a caret move alone
// pushes a break; the limit may have dropped the items under the change).
inline bool RecordedSince(const TRidEderUndoList& List, int32_t Newest) {
  for (int32_t i = List.ItemCount() - 1; i >= 0 && List.GetItem(i)->GetChangeNumber() > Newest; --i)
    if (List.GetItem(i)->GetChangeReason() != urGroupBreak) return true;
  return false;
}

// A line of the text and a column up to 20 (past short lines too), from two input bytes.
inline TBufferCoord Pos(TReader& In, TRidEder& Ed) {
  const int32_t line = 1 + In.Byte() % std::max(1, Ed.GetLines()->GetCount());
  return {1 + In.Byte() % 20, line};
}

// A line of the text and a column from two more bytes, anywhere in the line (a long one too)
// and up to 20 past its end.
inline TBufferCoord PosAnywhere(TReader& In, TRidEder& Ed) {
  const int32_t line = 1 + In.Byte() % std::max(1, Ed.GetLines()->GetCount());
  const int32_t length = static_cast<int32_t>(Ed.GetLines()->GetView(line - 1).size());
  const int32_t column = In.Byte() << 8;
  return {1 + (column | In.Byte()) % (length + 20), line};
}

}  // namespace rid::fuzz
