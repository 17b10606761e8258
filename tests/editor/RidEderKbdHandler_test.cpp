#include "editor/RidEderKbdHandler.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace rid {
namespace {

struct KeyRecorder : TObject {
  std::string* Log;
  char Name;
  uint16_t SetTo;
  KeyRecorder(std::string* ALog, char AName, uint16_t ASetTo = 0xFFFF)
      : Log(ALog), Name(AName), SetTo(ASetTo) {}
  void KeyDown(TObject*, uint16_t& Key, TShiftState) {
    *Log += Name;
    if (SetTo != 0xFFFF) Key = SetTo;
  }
  void KeyPress(TObject*, char& Key) {
    *Log += Name;
    if (SetTo != 0xFFFF) Key = static_cast<char>(SetTo);
  }
};

TEST(KbdHandler, NewestFirstUntilTheKeyIsTaken) {
  std::string Log;
  KeyRecorder First(&Log, '1'), Second(&Log, '2', 0), Third(&Log, '3');
  TRidEderKbdHandler H;
  H.AddKeyDownHandler(TKeyEvent(&First, &KeyRecorder::KeyDown));
  H.AddKeyDownHandler(TKeyEvent(&Second, &KeyRecorder::KeyDown));
  H.AddKeyDownHandler(TKeyEvent(&Third, &KeyRecorder::KeyDown));
  uint16_t Key = 'A';
  H.ExecuteKeyDown(nullptr, Key, {});
  EXPECT_EQ(Log, "32");
  EXPECT_EQ(Key, 0);

  Log.clear();
  H.AddKeyPressHandler(TKeyPressEvent(&First, &KeyRecorder::KeyPress));
  H.AddKeyPressHandler(TKeyPressEvent(&Third, &KeyRecorder::KeyPress));
  char Ch = 'x';
  H.ExecuteKeyPress(nullptr, Ch);
  EXPECT_EQ(Log, "31");
  EXPECT_EQ(Ch, 'x');
}

TEST(KbdHandler, RemoveTakesTheLastOccurrenceOnly) {
  std::string Log;
  KeyRecorder A(&Log, 'a'), B(&Log, 'b');
  TRidEderKbdHandler H;
  H.AddKeyDownHandler(TKeyEvent(&A, &KeyRecorder::KeyDown));
  H.AddKeyDownHandler(TKeyEvent(&B, &KeyRecorder::KeyDown));
  H.AddKeyDownHandler(TKeyEvent(&A, &KeyRecorder::KeyDown));
  H.RemoveKeyDownHandler(TKeyEvent(&A, &KeyRecorder::KeyDown));
  H.RemoveKeyDownHandler(TKeyEvent(&B, &KeyRecorder::KeyDown));
  EXPECT_EQ(H.KeyDownHandlerCount(), 1);
  uint16_t Key = 1;
  H.ExecuteKeyDown(nullptr, Key, {});
  EXPECT_EQ(Log, "a");
  TMethodList<TKeyEvent> L;
  L.Remove(TKeyEvent(&A, &KeyRecorder::KeyDown));  // absent: nothing
  EXPECT_EQ(L.Count(), 0);
}

TEST(KbdHandler, HandlersMayChangeTheListWhileItRuns) {
  std::string Log;
  KeyRecorder A(&Log, 'a'), C(&Log, 'c');
  TRidEderKbdHandler H;
  H.AddKeyDownHandler(TKeyEvent(&A, &KeyRecorder::KeyDown));
  TKeyEvent Changer = [&](TObject*, uint16_t&, TShiftState) {
    Log += '*';
    H.RemoveKeyDownHandler(TKeyEvent(&A, &KeyRecorder::KeyDown));
    H.AddKeyDownHandler(TKeyEvent(&C, &KeyRecorder::KeyDown));
  };
  H.AddKeyDownHandler(Changer);
  uint16_t Key = 1;
  H.ExecuteKeyDown(nullptr, Key, {});
  EXPECT_EQ(Log, "*");  // A was removed before its turn; C waits for the next key
  Log.clear();
  H.ExecuteKeyDown(nullptr, Key, {});
  EXPECT_EQ(Log, "c*");
}

TEST(KbdHandler, NoReentryAndTheGuardSurvivesExceptions) {
  TRidEderKbdHandler H;
  int Calls = 0;
  bool Throw = true;
  TKeyEvent Reenter = [&](TObject*, uint16_t& Key, TShiftState) {
    ++Calls;
    uint16_t Inner = Key;
    H.ExecuteKeyDown(nullptr, Inner, {});  // the same event again: not called back
    if (Throw) throw std::runtime_error("handler failed");
  };
  H.AddKeyDownHandler(Reenter);
  uint16_t Key = 1;
  EXPECT_THROW(H.ExecuteKeyDown(nullptr, Key, {}), std::runtime_error);
  EXPECT_EQ(Calls, 1);
  Throw = false;
  H.ExecuteKeyDown(nullptr, Key, {});  // the list runs again after the throw
  EXPECT_EQ(Calls, 2);
}

// A handler may free the handler object (or what owns it) while its list runs: the run stops
// there and touches nothing of the freed object, also when that handler raises afterwards.
TEST(KbdHandler, AHandlerMayFreeTheListWhileItRuns) {
  std::string Log;
  KeyRecorder Older(&Log, 'o');
  auto* H = new TRidEderKbdHandler;
  H->AddKeyDownHandler(TKeyEvent(&Older, &KeyRecorder::KeyDown));
  H->AddKeyDownHandler([&](TObject*, uint16_t&, TShiftState) {
    Log += '*';
    delete H;
  });
  uint16_t Key = 1;
  H->ExecuteKeyDown(nullptr, Key, {});
  EXPECT_EQ(Log, "*");  // the older handler belonged to the freed list
  EXPECT_EQ(Key, 1);

  struct Owner {
    TRidEderKbdHandler Handler;
  };
  auto* O = new Owner;
  O->Handler.AddKeyPressHandler(TKeyPressEvent(&Older, &KeyRecorder::KeyPress));
  O->Handler.AddKeyPressHandler([&](TObject*, char&) {
    Log += '!';
    delete O;
    throw std::runtime_error("after freeing");
  });
  char Ch = 'x';
  EXPECT_THROW(O->Handler.ExecuteKeyPress(nullptr, Ch), std::runtime_error);
  EXPECT_EQ(Log, "*!");
}

TEST(KbdHandler, MouseListsStayEmpty) {
  TRidEderKbdHandler H;
  int32_t Cursor = 7;
  H.ExecuteMouseDown(nullptr, mbLeft, {}, 1, 2);
  H.ExecuteMouseUp(nullptr, mbLeft, {}, 1, 2);
  H.ExecuteMouseCursor(nullptr, BufferCoord(1, 1), Cursor);
  uint16_t Key = 5;
  H.ExecuteKeyUp(nullptr, Key, {});
  EXPECT_EQ(Cursor, 7);
  EXPECT_EQ(Key, 5);
}

}  // namespace
}  // namespace rid
