#pragma once
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "platform/Classes.h"
#include "platform/Controls.h"

class QTimer;

namespace rid {

using TExceptionEvent = Delegate<void(TObject* Sender, const std::exception& E)>;

// The application: message pumping and the place where an exception escaping a message
// handler or a paint ends up.
class TApplication : public TComponent {
 public:
  RID_CLASS_NAME(TApplication)
  explicit TApplication(TComponent* AOwner);
  // Handles the events waiting now (input, timers, paints) and returns.
  void ProcessMessages();
  // Reports E through OnException, or on the standard error stream when it is unassigned.
  void HandleException(const std::exception& E);
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  TExceptionEvent OnException;

 private:
  std::string FTitle = "RidEder";
};

// The screen: global cursor, resolution and size.
class TScreen : public TComponent {
 public:
  RID_CLASS_NAME(TScreen)
  explicit TScreen(TComponent* AOwner);
  // A cursor other than crDefault shows over every window of the application.
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  HCURSOR Cursors(TCursor Index) const { return Index; }
  int32_t GetPixelsPerInch() const;
  int32_t GetWidth() const;
  int32_t GetHeight() const;

 private:
  TCursor FCursor = crDefault;
};

TApplication* Application();
TScreen* Screen();

// For timing a program from its start to its first painted window: with the environment
// variable RID_EXIT_AFTER_PAINT set, the process ends as soon as the first paint of its windows
// has been drawn and handed to the screen. Called after the application object exists.
void ExitAfterFirstPaintIfAsked();

// A pop-up window with a short text (the scroll hint), placed in screen coordinates.
class THintWindow : public TCustomControl {
 public:
  RID_CLASS_NAME(THintWindow)
  explicit THintWindow(TComponent* AOwner);
  ~THintWindow() override;
  // The rectangle (at 0, 0) the text needs, at most MaxWidth wide.
  virtual TRect CalcHintRect(int32_t MaxWidth, const std::string& AHint);
  // Shows the hint in Rect (screen coordinates).
  virtual void ActivateHint(const TRect& Rect, const std::string& AHint);
  void ReleaseHandle();
  const std::string& GetCaption() const { return FCaption; }

 protected:
  void CreateWnd() override;
  void Paint() override;

 private:
  std::string FCaption;
};

// A timer on the user-interface thread.
class TTimer : public TComponent {
 public:
  RID_CLASS_NAME(TTimer)
  explicit TTimer(TComponent* AOwner);
  ~TTimer() override;
  bool GetEnabled() const { return FEnabled; }
  void SetEnabled(bool Value);
  uint32_t GetInterval() const { return FInterval; }
  void SetInterval(uint32_t Value);
  TNotifyEvent OnTimer;

 private:
  void UpdateTimer();
  std::unique_ptr<QTimer> FTimer;
  bool FEnabled = true;
  uint32_t FInterval = 1000;
};

}  // namespace rid
