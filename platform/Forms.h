#pragma once
#include <QApplication>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

#include "platform/Classes.h"
#include "platform/Controls.h"

class QTimer;
class QScrollBar;

namespace rid {

using TExceptionEvent = Delegate<void(TObject* Sender, const std::exception& E)>;
// Count characters typed or committed into Control that have no code page 932 form and were
// left out.
using TInputLostEvent = Delegate<void(TWinControl* Control, int32_t Count)>;

// The application: message pumping and the place where an exception escaping a message
// handler or a paint ends up.
class TApplication : public TComponent {
 public:
  RID_CLASS_NAME(TApplication)
  explicit TApplication(TComponent* AOwner);
  // Handles the events waiting now (input, timers, paints) and returns.
  void ProcessMessages();
  // Handles the paints, timers and window events waiting now but leaves keyboard, mouse and
  // input-method events queued, so that a long operation can show its progress without the
  // user's keystrokes changing what it works on.
  void ProcessPaintMessages();
  // Creates a form owned by the application and stores it in Reference.
  template <class TForm>
  void CreateForm(TForm*& Reference) {
    Reference = new TForm(this);
  }
  // Reports E through OnException, or on the standard error stream when it is unassigned.
  void HandleException(const std::exception& E);
  // Whether one of the application's windows has the system's focus.
  bool GetActive() const;
  const std::string& GetTitle() const { return FTitle; }
  void SetTitle(const std::string& Value) { FTitle = Value; }
  TExceptionEvent OnException;
  TInputLostEvent OnInputLost;

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

// Runs Fn; what it raises goes to Application()->HandleException instead of on to the caller.
// The work of every handler that Qt calls (events, slots, timers) runs through this: an
// exception that reached Qt's event handling would end the program, and the unsaved text with
// it.
template <class F>
void Guarded(F&& Fn) {
  try {
    Fn();
  } catch (const std::exception& e) {
    Application()->HandleException(e);
  }
}

// Fn as a slot without arguments that runs Guarded.
inline std::function<void()> GuardedSlot(std::function<void()> Fn) {
  return [Fn = std::move(Fn)] { Guarded(Fn); };
}

// The program's Qt application: an exception that a handler let through is reported
// (HandleException) where Qt hands out the event, and the program goes on.
class TGuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* Receiver, QEvent* E) override;
};

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

enum TFormStyle { fsNormal, fsStayOnTop };

class TPopupWatch;

// A top-level window, hidden until shown; Left and Top are screen coordinates. BorderStyle
// bsNone gives a window without a frame. Its window goes when the application object does.
// It paints its client area like a TCustomControl (Paint, Canvas).
//
// A form whose CreateParams ask for WS_POPUP is a pop-up tool window: it stays on top, shows
// without taking the keyboard from the window the user works in, and draws its own frame
// (WS_THICKFRAME: a sizing frame the user drags, with WM_SIZING adjusting each new size;
// WS_BORDER or WS_DLGFRAME: a thin line; neither: none).
class TCustomForm : public TCustomControl {
 public:
  RID_CLASS_NAME(TCustomForm)
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;
  TFormStyle GetFormStyle() const { return FFormStyle; }
  void SetFormStyle(TFormStyle Value);
  // Sets the size of the client area.
  void SetClientSize(int32_t AWidth, int32_t AHeight);
  // A pop-up never holds the keyboard, so it cannot be activated as the system activates
  // windows. Activate makes it stand for the active window until a mouse button goes down in
  // another window of the application, the application loses the focus or the form hides:
  // then Deactivate runs. Overrides call the base.
  virtual void Activate();
  virtual void Deactivate();
  bool GetActive() const { return FActive; }
  // Fires before the window shows.
  TNotifyEvent OnShow;
  // Fires after it has been hidden.
  TNotifyEvent OnHide;
  TNotifyEvent OnActivate;
  TNotifyEvent OnDeactivate;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void VisibleChanged() override;
  virtual void DoShow();
  virtual void DoHide();

 private:
  TFormStyle FFormStyle = fsNormal;
  bool FActive = false;
  std::unique_ptr<TPopupWatch> FPopupWatch;
};

// A bar that shows Position between Min and Max; the position is kept within the range.
class TProgressBar : public TCustomControl {
 public:
  RID_CLASS_NAME(TProgressBar)
  explicit TProgressBar(TComponent* AOwner);
  ~TProgressBar() override;
  int32_t GetMin() const { return FMin; }
  int32_t GetMax() const { return FMax; }
  int32_t GetPosition() const { return FPosition; }
  // A Min above Max takes Max with it, a Max below Min takes Min.
  void SetMin(int32_t Value);
  void SetMax(int32_t Value);
  void SetPosition(int32_t Value);
  // Both ends at once (AMax below AMin counts as AMin).
  void SetRange(int32_t AMin, int32_t AMax);

 protected:
  void Paint() override;

 private:
  void Changed();
  int32_t FilledWidth();
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
  int32_t FPaintedWidth = -1;
};

enum TScrollBarKind { sbHorizontal, sbVertical };
enum TScrollCode {
  scLineUp,
  scLineDown,
  scPageUp,
  scPageDown,
  scPosition,
  scTrack,
  scTop,
  scBottom,
  scEndScroll
};
// A user action on a scroll bar: the handler may change the position it leads to.
using TScrollCodeEvent =
    Delegate<void(TObject* Sender, TScrollCode ScrollCode, int32_t& ScrollPos)>;

// A scroll bar control. Position stays within Min..Max, or Min..Max - PageSize + 1 with a page;
// a range or page that shrinks takes the position with it. OnChange fires for every change of
// Position, OnScroll for the user's actions (a line: SmallChange, a page: LargeChange).
class TScrollBar : public TWinControl {
 public:
  RID_CLASS_NAME(TScrollBar)
  explicit TScrollBar(TComponent* AOwner);
  ~TScrollBar() override;
  TScrollBarKind GetKind() const { return FKind; }
  void SetKind(TScrollBarKind Value);
  int32_t GetMin() const { return FMin; }
  int32_t GetMax() const { return FMax; }
  int32_t GetPosition() const { return FPosition; }
  int32_t GetPageSize() const { return FPageSize; }
  int32_t GetLargeChange() const { return FLargeChange; }
  int32_t GetSmallChange() const { return FSmallChange; }
  void SetMin(int32_t Value) { SetParams(FPosition, Value, std::max(Value, FMax)); }
  void SetMax(int32_t Value) { SetParams(FPosition, std::min(FMin, Value), Value); }
  void SetPosition(int32_t Value) { SetParams(Value, FMin, FMax); }
  void SetPageSize(int32_t Value);
  void SetLargeChange(int32_t Value);
  void SetSmallChange(int32_t Value);
  // Range and position at once (AMax below AMin counts as AMin).
  void SetParams(int32_t APosition, int32_t AMin, int32_t AMax);
  void SetEnabled(bool Value) override;
  // A user action: OnScroll may change ScrollPos, which then becomes the position.
  virtual void Scroll(TScrollCode ScrollCode, int32_t& ScrollPos);
  TNotifyEvent OnChange;
  TScrollCodeEvent OnScroll;

 protected:
  void CreateWnd() override;
  void DestroyWnd() override;
  void BoundsChanged() override;

 private:
  int32_t LastPosition() const;
  void ShowOnBar();
  void BarAction(int Action);
  TScrollBarKind FKind = sbHorizontal;
  int32_t FMin = 0;
  int32_t FMax = 100;
  int32_t FPosition = 0;
  int32_t FPageSize = 0;
  int32_t FLargeChange = 1;
  int32_t FSmallChange = 1;
  QScrollBar* FBar = nullptr;  // a child of the client widget, while the window exists
};

// Where a pop-up of AWidth x AHeight shows for the screen point P next to Control: moved inside
// Control's top-level window, or inside the screen when Control has no window.
TPoint PopupPlacement(TWinControl* Control, TPoint P, int32_t AWidth, int32_t AHeight);

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
