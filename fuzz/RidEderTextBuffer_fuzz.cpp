#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderTextBuffer.h"

// Any bytes load, save back unchanged, and split the same when they arrive in pieces; the
// first byte chooses where the pieces are cut. Editing one line leaves the others' bytes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  const size_t Step = Data[0] % 17 + 1;
  std::string_view Text(reinterpret_cast<const char*>(Data) + 1, Size - 1);
  rid::TRidEderStringList Whole;
  Whole.LoadFromBytes(Text);
  if (Whole.SaveToBytes() != Text) abort();
  std::vector<std::string_view> Pieces;
  for (size_t At = 0; At < Text.size(); At += Step) Pieces.push_back(Text.substr(At, Step));
  rid::TRidEderStringList Split;
  Split.LoadFromPieces(Pieces);
  if (Split.GetCount() != Whole.GetCount() || Split.SaveToBytes() != Text) abort();
  for (int32_t i = 0; i < Whole.GetCount(); ++i)
    if (Whole.GetExpandedStringLength(i) < static_cast<int32_t>(Whole.GetView(i).size())) abort();
  if (Whole.GetCount() == 0) return 0;
  const int32_t Edited = Whole.GetCount() / 2;
  Whole.Put(Edited, Whole.Get(Edited) + "x");
  for (int32_t i = 0; i < Whole.GetCount(); ++i)
    if (i != Edited && Whole.GetView(i) != Split.GetView(i)) abort();
  if (Whole.GetView(Edited) != std::string(Split.GetView(Edited)) + "x") abort();
  return 0;
}
