#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Controls.h"
#include "platform/Delegate.h"
#include "platform/Types.h"

namespace rid {

// Lets a handler choose the mouse cursor shown over a text position.
using TMouseCursorEvent =
    Delegate<void(TObject* Sender, const TBufferCoord& ALineCharPos, TCursor& ACursor)>;

// A list of handlers; Remove takes out the last occurrence only.
template <typename TEvent>
class TMethodList {
 public:
  void Add(const TEvent& AHandler) { FItems.push_back(AHandler); }
  void Remove(const TEvent& AHandler) {
    for (size_t i = FItems.size(); i-- > 0;)
      if (FItems[i] == AHandler) {
        FItems.erase(FItems.begin() + i);
        return;
      }
  }
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  const TEvent& Items(int32_t Index) const { return FItems.at(Index); }
  bool Contains(const TEvent& AHandler) const {
    for (const TEvent& e : FItems)
      if (e == AHandler) return true;
    return false;
  }
  const std::vector<TEvent>& Snapshot() const { return FItems; }

 private:
  std::vector<TEvent> FItems;
};

// The key and mouse handlers that plugins hang on an editor. Each list runs newest first, over
// a snapshot (handlers may add or remove handlers meanwhile; a removed one is not called), and
// never re-enters itself: a handler that raises the same event again is not called back.
// A handler may free this object (or its owner): the run stops there and touches it no more.
class TRidEderKbdHandler : public TObject {
 public:
  RID_CLASS_NAME(TRidEderKbdHandler)

  void AddKeyDownHandler(const TKeyEvent& AHandler) { FKeyDownChain.Add(AHandler); }
  void RemoveKeyDownHandler(const TKeyEvent& AHandler) { FKeyDownChain.Remove(AHandler); }
  void AddKeyPressHandler(const TKeyPressEvent& AHandler) { FKeyPressChain.Add(AHandler); }
  void RemoveKeyPressHandler(const TKeyPressEvent& AHandler) { FKeyPressChain.Remove(AHandler); }

  // Stop at the first handler that sets Key to 0 (#0).
  void ExecuteKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void ExecuteKeyUp(TObject* Sender, uint16_t& Key, TShiftState Shift);
  void ExecuteKeyPress(TObject* Sender, char& Key);
  // Every handler runs.
  void ExecuteMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X,
                        int32_t Y);
  void ExecuteMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X,
                      int32_t Y);
  void ExecuteMouseCursor(TObject* Sender, const TBufferCoord& ALineCharPos, TCursor& ACursor);

  int32_t KeyDownHandlerCount() const { return FKeyDownChain.Count(); }
  int32_t KeyPressHandlerCount() const { return FKeyPressChain.Count(); }

 private:
  TMethodList<TKeyPressEvent> FKeyPressChain;
  TMethodList<TKeyEvent> FKeyDownChain;
  TMethodList<TKeyEvent> FKeyUpChain;
  TMethodList<TMouseEvent> FMouseDownChain;
  TMethodList<TMouseEvent> FMouseUpChain;
  TMethodList<TMouseCursorEvent> FMouseCursorChain;
  bool FInKeyPress = false;
  bool FInKeyDown = false;
  bool FInKeyUp = false;
  bool FInMouseDown = false;
  bool FInMouseUp = false;
  bool FInMouseCursor = false;
  // Expires with this object; a running list checks it after each handler. A copy gets its own.
  struct TAliveToken {
    std::shared_ptr<const char> Ptr = std::make_shared<const char>();
    TAliveToken() = default;
    TAliveToken(const TAliveToken&) {}
    TAliveToken& operator=(const TAliveToken&) { return *this; }
  };
  TAliveToken FAlive;
};

}  // namespace rid
