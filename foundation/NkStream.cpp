#include "foundation/NkStream.h"

#include <algorithm>
#include <cstring>

namespace rid {

namespace {
// "TNkBufferedStream.Create: バッファサイズが不正です" and the like, in code page 932.
constexpr const char* SBadBufferSize =
    "TNkBufferedStream.Create: "
    "\x83\x6f\x83\x62\x83\x74\x83\x40\x83\x54\x83\x43\x83\x59\x82\xaa\x95\x73\x90\xb3\x82\xc5"
    "\x82\xb7";
constexpr const char* SNegativeRead =
    "TNkBufferedStream.Read: Count \x82\xaa\x95\x89\x82\xc5\x82\xb7";
constexpr const char* SNegativeWrite =
    "TNkBufferedStream.Write: Count \x82\xaa\x95\x89\x82\xc5\x82\xb7";
// "書き込みが途中で失敗しました"
constexpr const char* SShortWrite =
    "TNkBufferedStream.Flush: \x8f\x91\x82\xab\x8d\x9e\x82\xdd\x82\xaa\x93\x72\x92\x86\x82\xc5"
    "\x8e\xb8\x94\x73\x82\xb5\x82\xdc\x82\xb5\x82\xbd";
}  // namespace

TNkBufferedStream::TNkBufferedStream(TStream* Target, int32_t BufferSize) : FTarget(Target) {
  if (BufferSize < 1) throw ENkSTreamError(SBadBufferSize);
  FBuffer.resize(BufferSize);
}

TNkBufferedStream::~TNkBufferedStream() {
  try {
    Flush();
  } catch (...) {
  }
}

bool TNkBufferedStream::Flush() { return FMode != TMode::Writing || WriteOut(); }

bool TNkBufferedStream::WriteOut() {
  int32_t written = FIndex > 0 ? std::clamp(FTarget->Write(FBuffer.data(), FIndex), 0, FIndex) : 0;
  std::memmove(FBuffer.data(), FBuffer.data() + written, FIndex - written);
  FIndex -= written;
  return FIndex == 0;
}

int64_t TNkBufferedStream::GetLogicalPosition() {
  int64_t target = FTarget->Seek(0, soFromCurrent);
  switch (FMode) {
    case TMode::Reading:
      return target - (FCount - FIndex);
    case TMode::Writing:
      return target + FIndex;
    default:
      return target;
  }
}

void TNkBufferedStream::SyncBuffer() {
  if (FMode == TMode::Reading) {
    if (FCount > FIndex) FTarget->Seek(-(FCount - FIndex), soFromCurrent);
  } else if (FMode == TMode::Writing) {
    if (!WriteOut()) throw ENkSTreamError(SShortWrite);
  }
  FCount = FIndex = 0;
  FMode = TMode::Idle;
}

void TNkBufferedStream::FillBuffer() {
  RID_ASSERT(FMode == TMode::Reading);
  FCount = std::clamp(FTarget->Read(FBuffer.data(), static_cast<int32_t>(FBuffer.size())), 0,
                      static_cast<int32_t>(FBuffer.size()));
  FIndex = 0;
}

int32_t TNkBufferedStream::Read(void* Buffer, int32_t Count) {
  if (Count < 0) throw ENkSTreamError(SNegativeRead);
  if (FMode != TMode::Reading) {
    SyncBuffer();
    FMode = TMode::Reading;
    FillBuffer();
  }
  char* out = static_cast<char*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    if (FIndex == FCount) {
      FillBuffer();
      if (FCount == 0) break;  // end of the target
    }
    int32_t n = std::min(Count - done, FCount - FIndex);
    std::memcpy(out + done, FBuffer.data() + FIndex, n);
    FIndex += n;
    done += n;
  }
  return done;
}

int32_t TNkBufferedStream::Write(const void* Buffer, int32_t Count) {
  if (Count < 0) throw ENkSTreamError(SNegativeWrite);
  if (FMode != TMode::Writing) {
    SyncBuffer();
    FMode = TMode::Writing;
  }
  const char* in = static_cast<const char*>(Buffer);
  const int32_t size = static_cast<int32_t>(FBuffer.size());
  int32_t done = 0;
  for (;;) {
    int32_t n = std::min(Count - done, size - FIndex);
    if (n > 0) std::memcpy(FBuffer.data() + FIndex, in + done, n);
    FIndex += n;
    done += n;
    if (done == Count || !WriteOut()) break;
  }
  return done;
}

int64_t TNkBufferedStream::Seek(int64_t Offset, uint16_t Origin) {
  int64_t wanted = 0;
  switch (Origin) {
    case soFromBeginning:
      wanted = Offset;
      break;
    case soFromCurrent:
      wanted = Offset + GetLogicalPosition();
      break;
    case soFromEnd:
      SyncBuffer();
      wanted = Offset + FTarget->GetSize();
      break;
  }
  if (wanted != GetLogicalPosition()) {
    SyncBuffer();
    FTarget->Seek(wanted, soFromBeginning);
  }
  return GetLogicalPosition();
}

void TNkBufferedStream::SetSize(int64_t NewSize) {
  SyncBuffer();
  FTarget->SetSize(NewSize);
}

}  // namespace rid
