#pragma once
#include <cstdint>
#include <vector>

#include "platform/Classes.h"

namespace rid {

class ENkSTreamError : public Exception {
 public:
  using Exception::Exception;
};

// A fixed-size buffer in front of another stream (the target, not owned), so that many small
// reads or writes become few large ones. The stream is idle, reading (the buffer holds bytes
// read ahead) or writing (the buffer holds bytes not yet written), and switches on demand while
// the position the caller sees stays where the unbuffered target's would be.
//
// Bytes the target refuses stay waiting in the buffer and are never counted as written to it:
// Flush reports them, so a save path calls Flush before it closes and treats false as a failed
// save. The destructor flushes too but, having no way to report, ignores a failure.
class TNkBufferedStream : public TStream {
 public:
  RID_CLASS_NAME(TNkBufferedStream)
  // BufferSize below 1 raises ENkSTreamError.
  TNkBufferedStream(TStream* Target, int32_t BufferSize);
  ~TNkBufferedStream() override;
  TNkBufferedStream(const TNkBufferedStream&) = delete;
  TNkBufferedStream& operator=(const TNkBufferedStream&) = delete;

  void SetSize(int64_t NewSize) override;
  // Negative counts raise ENkSTreamError. Write stops early when the target refuses part of a
  // full buffer.
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  // Origin soFromBeginning, soFromCurrent or soFromEnd; any other seeks to 0. Returns the
  // position.
  int64_t Seek(int64_t Offset, uint16_t Origin) override;

  // Writes the waiting bytes to the target. False when it took fewer; the rest stay waiting.
  bool Flush();

 private:
  enum class TMode { Idle, Reading, Writing };

  int64_t GetLogicalPosition();
  // Back to idle: gives the read-ahead back to the target or writes the waiting bytes (raising
  // ENkSTreamError when the target refuses some, which then stay waiting).
  void SyncBuffer();
  void FillBuffer();
  // Hands the waiting bytes to the target; keeps what it refuses at the front of the buffer.
  bool WriteOut();

  TStream* FTarget;  // not owned
  std::vector<char> FBuffer;
  TMode FMode = TMode::Idle;
  int32_t FCount = 0;  // reading: bytes read ahead
  int32_t FIndex = 0;  // reading: bytes handed out; writing: bytes waiting
};

}  // namespace rid
