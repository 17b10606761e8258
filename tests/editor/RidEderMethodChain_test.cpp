#include "editor/RidEderMethodChain.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace rid {
namespace {

// Handlers bound as object and member function, so that they compare by identity.
struct Recorder : TObject {
  std::string* Log;
  char Name;
  Recorder(std::string* ALog, char AName) : Log(ALog), Name(AName) {}
  void Handle(TObject* Sender) { *Log += Name; }
  void Raise(TObject* Sender) {
    *Log += Name;
    throw std::runtime_error("boom");
  }
};

TEST(MethodChain, FiresInOrderWithTheSender) {
  std::string Log;
  Recorder A(&Log, 'a'), B(&Log, 'b');
  TObject Sender;
  TObject* Seen = nullptr;
  TRidNotifyEventChain Chain(&Sender);
  Chain.Add(TNotifyEvent(&A, &Recorder::Handle));
  Chain.Add(TNotifyEvent(&B, &Recorder::Handle));
  Chain.Add(TNotifyEvent(&A, &Recorder::Handle));  // duplicates allowed
  TNotifyEvent Capture = [&](TObject* s) { Seen = s; };
  Chain.Add(Capture);
  Chain.Fire();
  EXPECT_EQ(Log, "aba");
  EXPECT_EQ(Seen, &Sender);
  Chain.Remove(TNotifyEvent(&A, &Recorder::Handle));  // both occurrences
  Log.clear();
  Chain.Fire();
  EXPECT_EQ(Log, "b");
  EXPECT_EQ(Chain.Count(), 2);
}

TEST(MethodChain, UnassignedHandlersAreRefused) {
  TRidNotifyEventChain Chain;
  try {
    Chain.Add(TNotifyEvent());
    FAIL();
  } catch (const ERidMethodChain& e) {
    EXPECT_STREQ(e.what(),
                 "TRidNotifyEventChain.Entry : the parameter `AEvent' must be specified.");
  }
  try {
    Chain.Remove(nullptr);
    FAIL();
  } catch (const ERidMethodChain& e) {
    EXPECT_STREQ(e.what(),
                 "TRidNotifyEventChain.Remove: the parameter `AEvent' must be specified.");
  }
}

TEST(MethodChain, HandlersMayChangeTheChainWhileItFires) {
  std::string Log;
  Recorder A(&Log, 'a'), B(&Log, 'b'), C(&Log, 'c');
  TRidNotifyEventChain Chain;
  TNotifyEvent Changer = [&](TObject*) {
    Log += '*';
    Chain.Remove(TNotifyEvent(&B, &Recorder::Handle));
    Chain.Add(TNotifyEvent(&C, &Recorder::Handle));
  };
  Chain.Add(TNotifyEvent(&A, &Recorder::Handle));
  Chain.Add(Changer);
  Chain.Add(TNotifyEvent(&B, &Recorder::Handle));
  Chain.Fire();
  EXPECT_EQ(Log, "a*");  // B is gone before its turn, C waits for the next round
  Log.clear();
  Chain.Remove(Changer);
  Chain.Fire();
  EXPECT_EQ(Log, "ac");
}

TEST(MethodChain, ExceptionsGoToTheHandlerOrTheCaller) {
  std::string Log;
  Recorder A(&Log, 'a'), B(&Log, 'b');
  TRidNotifyEventChain Chain;
  Chain.Add(TNotifyEvent(&A, &Recorder::Raise));
  Chain.Add(TNotifyEvent(&B, &Recorder::Handle));
  EXPECT_THROW(Chain.Fire(), std::runtime_error);
  EXPECT_EQ(Log, "a");

  std::string Message;
  bool Continue = true;
  Chain.OnException = [&](TObject* Sender, const std::exception& E, bool& DoContinue) {
    Message = E.what();
    DoContinue = Continue;
  };
  Log.clear();
  Chain.Fire();
  EXPECT_EQ(Log, "ab");
  EXPECT_EQ(Message, "boom");
  Continue = false;
  Log.clear();
  Chain.Fire();
  EXPECT_EQ(Log, "a");
}

// A handler may free the chain while it fires: the rest is not called and nothing of the chain
// is touched; a raising handler that freed it reaches the caller, as the chain's OnException
// went with it.
TEST(MethodChain, AHandlerMayFreeTheChainWhileItFires) {
  std::string Log;
  Recorder B(&Log, 'b');
  auto* Chain = new TRidNotifyEventChain;
  Chain->Add([&](TObject*) {
    Log += '*';
    delete Chain;
  });
  Chain->Add(TNotifyEvent(&B, &Recorder::Handle));
  Chain->Fire();
  EXPECT_EQ(Log, "*");

  bool Consulted = false;
  Chain = new TRidNotifyEventChain;
  Chain->OnException = [&](TObject*, const std::exception&, bool&) { Consulted = true; };
  Chain->Add([&](TObject*) {
    delete Chain;
    throw std::runtime_error("after freeing");
  });
  Chain->Add(TNotifyEvent(&B, &Recorder::Handle));
  EXPECT_THROW(Chain->Fire(), std::runtime_error);
  EXPECT_FALSE(Consulted);

  // OnException itself may free the chain: the firing stops there.
  Log.clear();
  Chain = new TRidNotifyEventChain;
  Chain->OnException = [&](TObject*, const std::exception&, bool& DoContinue) {
    DoContinue = true;
    delete Chain;
  };
  Chain->Add(TNotifyEvent(&B, &Recorder::Raise));
  Chain->Add(TNotifyEvent(&B, &Recorder::Handle));
  Chain->Fire();
  EXPECT_EQ(Log, "b");
}

}  // namespace
}  // namespace rid
