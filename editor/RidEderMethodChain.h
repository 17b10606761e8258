#pragma once
#include <exception>
#include <memory>
#include <vector>

#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

// The method chains of the editor's support classes (unit RidEderMiscClasses): a list of notify
// handlers fired in the order added, for instance a highlighter's attribute-change chain.

class ERidMethodChain : public Exception {
 public:
  using Exception::Exception;
};

// Told of an exception raised by a handler; leaving DoContinue true goes on with the next one.
using TRidExceptionEvent =
    Delegate<void(TObject* Sender, const std::exception& E, bool& DoContinue)>;

class TRidMethodChain : public TObject {
 public:
  RID_CLASS_NAME(TRidMethodChain)
  TRidMethodChain() = default;
  ~TRidMethodChain() override = default;

  // Appends the handler (duplicates allowed); an unassigned one raises ERidMethodChain.
  void Add(const TNotifyEvent& AEvent);
  // Removes every occurrence; an unassigned one raises ERidMethodChain.
  void Remove(const TNotifyEvent& AEvent);
  // Calls each handler in the order added, over a snapshot of the list: handlers added while
  // firing wait for the next Fire, and handlers removed while firing are no longer called.
  // A raising handler goes to OnException; without one the exception reaches the caller.
  // A handler (or OnException) may free the chain: the firing stops there, and an exception
  // raised by a handler that freed it reaches the caller.
  void Fire();
  int32_t Count() const { return static_cast<int32_t>(FMethods.size()); }

  TRidExceptionEvent OnException;

 protected:
  virtual void ExecuteEvent(const TNotifyEvent& AEvent) = 0;
  // Expires with this chain.
  std::weak_ptr<const char> AliveToken() const { return FAlive.Ptr; }
  // True to go on with the next handler; false stops quietly. Rethrows without OnException.
  virtual bool DoHandleException(const std::exception& E);

 private:
  std::vector<TNotifyEvent> FMethods;
  // Expires with this chain; Fire checks it after each handler. A copy gets its own.
  struct TAliveToken {
    std::shared_ptr<const char> Ptr = std::make_shared<const char>();
    TAliveToken() = default;
    TAliveToken(const TAliveToken&) {}
    TAliveToken& operator=(const TAliveToken&) { return *this; }
  };
  TAliveToken FAlive;
};

// A chain whose handlers are called with Sender; the owner may change Sender before each Fire.
class TRidNotifyEventChain : public TRidMethodChain {
 public:
  RID_CLASS_NAME(TRidNotifyEventChain)
  TRidNotifyEventChain() = default;
  explicit TRidNotifyEventChain(TObject* ASender) : FSender(ASender) {}
  static TRidNotifyEventChain* CreateEx(TObject* ASender) {
    return new TRidNotifyEventChain(ASender);
  }

  TObject* GetSender() const { return FSender; }
  void SetSender(TObject* Value) { FSender = Value; }
  // Fires with ASender. A handler that fires again from inside gives that round its own
  // sender; the handlers still to come in this round get this round's back.
  void Fire(TObject* ASender);
  using TRidMethodChain::Fire;

 protected:
  void ExecuteEvent(const TNotifyEvent& AEvent) override { AEvent(FSender); }

 private:
  TObject* FSender = nullptr;
};

}  // namespace rid
