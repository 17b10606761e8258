#include "editor/RidEderKbdHandler.h"

namespace rid {

namespace {

// Raises a list's busy flag for one run and lowers it again, also when a handler throws, unless
// a handler has freed the flag's owner meanwhile.
class BusyGuard {
 public:
  BusyGuard(bool& AFlag, std::weak_ptr<const char> AAlive)
      : FFlag(AFlag), FAlive(std::move(AAlive)) {
    FFlag = true;
  }
  ~BusyGuard() {
    if (!FAlive.expired()) FFlag = false;
  }
  BusyGuard(const BusyGuard&) = delete;
  BusyGuard& operator=(const BusyGuard&) = delete;

 private:
  bool& FFlag;
  std::weak_ptr<const char> FAlive;
};

// Runs the handlers newest first until Stop() says so or a handler frees the list. Works on a
// copy of the list; a handler removed meanwhile by another is skipped.
template <typename TEvent, typename Call, typename StopFn>
void RunNewestFirst(bool& Busy, const std::shared_ptr<const char>& Alive,
                    const TMethodList<TEvent>& List, Call CallOne, StopFn Stop) {
  if (Busy) return;
  const std::weak_ptr<const char> Token = Alive;
  BusyGuard Guard(Busy, Token);
  const std::vector<TEvent> Snapshot = List.Snapshot();
  for (size_t i = Snapshot.size(); i-- > 0;) {
    if (!List.Contains(Snapshot[i])) continue;
    CallOne(Snapshot[i]);
    if (Token.expired() || Stop()) return;
  }
}

}  // namespace

void TRidEderKbdHandler::ExecuteKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift) {
  RunNewestFirst(
      FInKeyDown, FAlive.Ptr, FKeyDownChain, [&](const TKeyEvent& e) { e(Sender, Key, Shift); },
      [&] { return Key == 0; });
}

void TRidEderKbdHandler::ExecuteKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift) {
  RunNewestFirst(
      FInKeyUp, FAlive.Ptr, FKeyUpChain, [&](const TKeyEvent& e) { e(Sender, Key, Shift); },
      [&] { return Key == 0; });
}

void TRidEderKbdHandler::ExecuteKeyPress(TObject* Sender, char& Key) {
  RunNewestFirst(
      FInKeyPress, FAlive.Ptr, FKeyPressChain, [&](const TKeyPressEvent& e) { e(Sender, Key); },
      [&] { return Key == '\0'; });
}

void TRidEderKbdHandler::ExecuteMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                          int32_t X, int32_t Y) {
  RunNewestFirst(
      FInMouseDown, FAlive.Ptr, FMouseDownChain,
      [&](const TMouseEvent& e) { e(Sender, Button, Shift, X, Y); }, [] { return false; });
}

void TRidEderKbdHandler::ExecuteMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift,
                                        int32_t X, int32_t Y) {
  RunNewestFirst(
      FInMouseUp, FAlive.Ptr, FMouseUpChain,
      [&](const TMouseEvent& e) { e(Sender, Button, Shift, X, Y); }, [] { return false; });
}

void TRidEderKbdHandler::ExecuteMouseCursor(TObject* Sender, const TBufferCoord& ALineCharPos,
                                            TCursor& ACursor) {
  RunNewestFirst(
      FInMouseCursor, FAlive.Ptr, FMouseCursorChain,
      [&](const TMouseCursorEvent& e) { e(Sender, ALineCharPos, ACursor); }, [] { return false; });
}

}  // namespace rid
