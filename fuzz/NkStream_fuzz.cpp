// The buffered stream behaves as its target would alone: a memory stream read, written, sought
// and resized through a buffer of 1 to 64 bytes answers every call as a second memory stream
// used directly does, the same bytes, counts and positions, and holds the same bytes once
// flushed.
//
// Input: the buffer size byte, a length byte and that many bytes of first content, then steps:
// a byte whose low three bits choose read, write, seek from the start, from the position or
// from the end, resize, flush or a position check, and whose high bits (with the next byte for
// writes) give the count or offset.
#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/NkStream.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Classes.h"

namespace {

using rid::fuzz::Check;

void Step(rid::fuzz::TReader& In, rid::TNkBufferedStream& Buffered, rid::TMemoryStream& Plain) {
  const uint8_t op = In.Byte();
  const int32_t amount = op >> 3;  // 0..31
  switch (op & 7) {
    case 0: {
      std::string a(amount, '\0'), b(amount, '\0');
      Check(Buffered.Read(a.data(), amount) == Plain.Read(b.data(), amount) && a == b);
      break;
    }
    case 1: {
      const std::string_view bytes = In.Bytes(amount);
      const int32_t n = static_cast<int32_t>(bytes.size());
      Check(Buffered.Write(bytes.data(), n) == Plain.Write(bytes.data(), n));
      break;
    }
    case 2:
    case 3:
    case 4: {
      const uint16_t origin = (op & 7) - 2;
      const int64_t offset = amount - 16;
      const int64_t base = origin == rid::soFromBeginning ? 0
                           : origin == rid::soFromCurrent ? Plain.GetPosition()
                                                          : Plain.GetSize();
      // The plain stream refuses writes before the start, which the buffer takes in: stay inside.
      if (base + offset < 0) break;
      Check(Buffered.Seek(offset, origin) == Plain.Seek(offset, origin));
      break;
    }
    case 5:
      Buffered.SetSize(amount * 4);
      Plain.SetSize(amount * 4);
      break;
    case 6:
      Check(Buffered.Flush());
      break;
    default:
      Check(Buffered.GetSize() == Plain.GetSize());
      break;
  }
  Check(Buffered.GetPosition() == Plain.GetPosition());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  rid::fuzz::TReader in{std::string_view(reinterpret_cast<const char*>(Data), Size)};
  const int32_t bufferSize = 1 + in.Byte() % 64;
  const std::string_view first = in.Bytes(in.Byte());
  rid::TMemoryStream target, plain;
  target.WriteBuffer(first);
  plain.WriteBuffer(first);
  target.SetPosition(0);
  plain.SetPosition(0);
  {
    rid::TNkBufferedStream buffered(&target, bufferSize);
    for (int steps = 0; in.More() && steps < 256; ++steps) Step(in, buffered, plain);
    Check(buffered.Flush());
    Check(buffered.GetPosition() == plain.GetPosition());
  }
  Check(target.Bytes() == plain.Bytes());
  return 0;
}
