#include "editor/RidEderMethodChain.h"

#include <algorithm>
#include <utility>

namespace rid {

void TRidMethodChain::Add(const TNotifyEvent& AEvent) {
  if (!AEvent)
    throw ERidMethodChain(
        FormatStr("%s.Entry : the parameter `AEvent' must be specified.", ClassName().c_str()));
  FMethods.push_back(AEvent);
}

void TRidMethodChain::Remove(const TNotifyEvent& AEvent) {
  if (!AEvent)
    throw ERidMethodChain(
        FormatStr("%s.Remove: the parameter `AEvent' must be specified.", ClassName().c_str()));
  std::erase(FMethods, AEvent);
}

bool TRidMethodChain::DoHandleException(const std::exception& E) {
  if (!OnException) throw;
  bool DoContinue = true;
  OnException(this, E, DoContinue);
  return DoContinue;
}

void TRidMethodChain::Fire() {
  const std::weak_ptr<const char> Alive = FAlive.Ptr;
  const std::vector<TNotifyEvent> Snapshot = FMethods;
  for (const TNotifyEvent& Event : Snapshot) {
    if (std::find(FMethods.begin(), FMethods.end(), Event) == FMethods.end()) continue;
    try {
      ExecuteEvent(Event);
    } catch (const std::exception& E) {
      if (Alive.expired()) throw;
      if (!DoHandleException(E)) return;
    }
    if (Alive.expired()) return;
  }
}

void TRidNotifyEventChain::Fire(TObject* ASender) {
  struct TRestore {
    TRidNotifyEventChain& Chain;
    std::weak_ptr<const char> Alive;  // a handler may free the chain
    TObject* Outer;
    ~TRestore() {
      if (!Alive.expired()) Chain.FSender = Outer;
    }
  } restore{*this, AliveToken(), std::exchange(FSender, ASender)};
  TRidMethodChain::Fire();
}

}  // namespace rid
