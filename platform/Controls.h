#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QPointer>
#include <QWidget>

#include "platform/Classes.h"
#include "platform/Delegate.h"
#include "platform/Graphics.h"
#include "platform/Keys.h"
#include "platform/Messages.h"
#include "platform/Types.h"


namespace rid {

// Controls on Qt widgets.
//
// How a control works:
// - Window. A TWinControl owns a window only while HandleAllocated(): GetHandle(),
//   HandleNeeded() or showing it creates one through the virtual CreateWnd(), and DestroyWnd()
//   removes it (override both to register drop targets and the like, calling the base). A
//   class that overrides DestroyWnd or handles messages calls DestroyHandle() in its own
//   destructor, since the base destructors no longer reach its overrides. The
//   window is a TWidgetBridge (platform/WidgetBridge.h): a frame with the border, the scroll
//   bars, and a client widget that receives Qt's input and shows the control's picture.
// - Messages. Every input arrives as a TMessage through the virtual WndProc(), whose base calls
//   Dispatch(). TWinControl::Dispatch turns the framework's messages into the virtual methods
//   below (WM_KEYDOWN -> KeyDown, WM_CHAR -> KeyPress, mouse -> MouseDown/MouseMove/MouseUp,
//   WM_LBUTTONDBLCLK -> DblClick then MouseDown with ssDouble, WM_SIZE -> Resize, ...) and
//   hands everything else to DefaultHandler(). A control handles a message by overriding
//   WndProc or Dispatch, switching on Msg and calling the base for the rest:
//     void Dispatch(TMessage& M) override {
//       if (M.Msg == WM_IME_COMPOSITION) { WMImeComposition(M); return; }
//       TCustomControl::Dispatch(M);
//     }
//   and calls DefaultHandler(M) where the system's default handling should follow. The default
//   handling of WM_IME_COMPOSITION with GCS_RESULTSTR sends the result bytes again as WM_CHAR
//   messages, one per byte, as the system does. Perform() sends a message directly.
// - Keyboard. A key press is WM_KEYDOWN (WM_SYSKEYDOWN with Alt) with the Windows virtual key
//   (modifier keys arrive as key-downs of their own), then its character as WM_CHAR: one code
//   page 932 byte; Enter 13, Tab 9, Backspace 8, Esc 27, Ctrl+letter 1..26. A double-byte
//   character, typed or committed by an input method, arrives as WM_IME_COMPOSITION with the
//   result string (Imm.h), whose default handling then sends the bytes as WM_CHAR.
// - Painting. TCustomControl keeps a picture of its client area. InvalidateRect() collects an
//   update region; the virtual Paint() runs later (or at once by Update()) with Canvas()
//   clipped to the update region's bounding box and must draw every pixel in it. The caret and
//   the input method's preedit are overlays drawn over the picture, never into it.
//   Canvas() outside Paint draws straight into the picture.
// - Tests drive a control by sending Qt events to its client widget (ClientWidget(): QKeyEvent,
//   QInputMethodEvent, QMouseEvent, QWheelEvent) or by Perform(), and read the picture with
//   Picture().

// Cursors.
using TCursor = int32_t;
constexpr TCursor crDefault = 0;
constexpr TCursor crNone = -1;
constexpr TCursor crArrow = -2;
constexpr TCursor crCross = -3;
constexpr TCursor crIBeam = -4;
constexpr TCursor crSizeNESW = -6;
constexpr TCursor crSizeNS = -7;
constexpr TCursor crSizeNWSE = -8;
constexpr TCursor crSizeWE = -9;
constexpr TCursor crUpArrow = -10;
constexpr TCursor crHourGlass = -11;
constexpr TCursor crDrag = -12;
constexpr TCursor crNoDrop = -13;
constexpr TCursor crHSplit = -14;
constexpr TCursor crVSplit = -15;
constexpr TCursor crMultiDrag = -16;
constexpr TCursor crSQLWait = -17;
constexpr TCursor crNo = -18;
constexpr TCursor crAppStart = -19;
constexpr TCursor crHelp = -20;
constexpr TCursor crHandPoint = -21;
constexpr TCursor crSizeAll = -22;
using HCURSOR = int32_t;  // a cursor handle is the cursor's number

enum TBorderStyle { bsNone, bsSingle };
enum TScrollStyle { ssNone, ssHorizontal, ssVertical, ssBoth };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
enum TDragMode { dmManual, dmAutomatic };
enum TAlign { alNone, alClient };

// Window styles CreateParams may set.
constexpr uint32_t WS_POPUP = 0x80000000;
constexpr uint32_t WS_BORDER = 0x00800000;
constexpr uint32_t WS_DLGFRAME = 0x00400000;
constexpr uint32_t WS_VSCROLL = 0x00200000;
constexpr uint32_t WS_HSCROLL = 0x00100000;
constexpr uint32_t WS_THICKFRAME = 0x00040000;  // a sizing frame: dragging it resizes the window
constexpr uint32_t WS_EX_TOOLWINDOW = 0x00000080;
constexpr uint32_t WS_EX_CLIENTEDGE = 0x00000200;

struct TCreateParams {
  uint32_t Style = 0;
  uint32_t ExStyle = 0;
};

// The width of the frame a window of these styles draws around its client area and bars.
int32_t FrameWidth(const TCreateParams& Params);

using TMouseEvent =
    Delegate<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)>;
using TMouseMoveEvent = Delegate<void(TObject* Sender, TShiftState Shift, int32_t X, int32_t Y)>;
using TKeyEvent = Delegate<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = Delegate<void(TObject* Sender, char& Key)>;
using TDragOverEvent = Delegate<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y,
                                     TDragState State, bool& Accept)>;
using TDragDropEvent = Delegate<void(TObject* Sender, TObject* Source, int32_t X, int32_t Y)>;
using TEndDragEvent = Delegate<void(TObject* Sender, TObject* Target, int32_t X, int32_t Y)>;

class TWinControl;
class TWidgetBridge;
struct TInputContext;

// The shift state of mouse key flags (Alt read from the keyboard).
TShiftState KeysToShiftState(uintptr_t Keys);
// The shift state of the keyboard now.
TShiftState KeyboardStateToShiftState();

class TControl : public TComponent {
 public:
  RID_CLASS_NAME(TControl)
  explicit TControl(TComponent* AOwner);
  ~TControl() override;

  // --- messages
  virtual void WndProc(TMessage& Message);
  virtual void Dispatch(TMessage& Message);
  virtual void DefaultHandler(TMessage& Message);
  intptr_t Perform(uint32_t Msg, uintptr_t WParam = 0, intptr_t LParam = 0);

  // --- placement (pixels, relative to the parent's client area or the screen)
  TWinControl* GetParent() const { return FParent; }
  virtual void SetParent(TWinControl* AParent);
  int32_t GetLeft() const { return FLeft; }
  int32_t GetTop() const { return FTop; }
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  void SetLeft(int32_t Value) { SetBounds(Value, FTop, FWidth, FHeight); }
  void SetTop(int32_t Value) { SetBounds(FLeft, Value, FWidth, FHeight); }
  void SetWidth(int32_t Value) { SetBounds(FLeft, FTop, Value, FHeight); }
  void SetHeight(int32_t Value) { SetBounds(FLeft, FTop, FWidth, Value); }
  TRect GetBoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
  virtual void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight);
  TAlign GetAlign() const { return FAlign; }
  void SetAlign(TAlign Value);
  virtual TRect GetClientRect();
  int32_t ClientWidth() { return GetClientRect().Width(); }
  int32_t ClientHeight() { return GetClientRect().Height(); }
  virtual TPoint ClientToScreen(TPoint P);
  virtual TPoint ScreenToClient(TPoint P);

  bool GetVisible() const { return FVisible; }
  virtual void SetVisible(bool Value);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool GetEnabled() const { return FEnabled; }
  virtual void SetEnabled(bool Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TFont& Font() { return FFont; }
  void SetFont(TFont& Value) { FFont.Assign(&Value); }

  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  // Whether the control shows its hint when the mouse rests on it.
  bool GetShowHint() const { return FShowHint; }
  void SetShowHint(bool Value) { FShowHint = Value; }
  // The context menu: not owned, forgotten when it is destroyed.
  TComponent* GetPopupMenu() const { return FPopupMenu; }
  void SetPopupMenu(TComponent* Value);
  TCursor GetDragCursor() const { return FDragCursor; }
  void SetDragCursor(TCursor Value) { FDragCursor = Value; }
  TDragMode GetDragMode() const { return FDragMode; }
  void SetDragMode(TDragMode Value) { FDragMode = Value; }

  // --- mouse capture: the captured control gets the mouse messages; losing the capture sends
  // it WM_CAPTURECHANGED.
  bool GetMouseCapture() const;
  void SetMouseCapture(bool Value);

  // --- the framework's drag session between controls
  // Starts a drag of this control: at once, or when the mouse has moved Threshold pixels
  // (-1: the default of 5). The session takes the mouse from the control that captured it.
  void BeginDrag(bool Immediate, int32_t Threshold = -1);
  bool Dragging() const;
  // Ends this control's drag, dropping on the current target when Drop and it accepts.
  void EndDrag(bool Drop);

  virtual void Invalidate() {}
  virtual void Update() {}
  void Repaint() {
    Invalidate();
    Update();
  }

  // --- events
  TNotifyEvent OnClick;
  TNotifyEvent OnDblClick;
  TMouseEvent OnMouseDown;
  TMouseMoveEvent OnMouseMove;
  TMouseEvent OnMouseUp;
  TNotifyEvent OnMouseEnter;
  TNotifyEvent OnMouseLeave;
  TNotifyEvent OnResize;
  TDragOverEvent OnDragOver;
  TDragDropEvent OnDragDrop;
  TEndDragEvent OnEndDrag;

  // --- the framework's virtual methods (overrides call the base to keep the events)
  virtual void MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseMove(TShiftState Shift, int32_t X, int32_t Y);
  virtual void MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
  virtual void Click();
  virtual void DblClick();
  virtual void Resize();
  // Accept starts as true when OnDragOver is assigned.
  virtual void DragOver(TObject* Source, int32_t X, int32_t Y, TDragState State, bool& Accept);
  virtual void DragDrop(TObject* Source, int32_t X, int32_t Y);
  virtual void DoEndDrag(TObject* Target, int32_t X, int32_t Y);
  virtual void FontChanged() {}

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;
  virtual void BoundsChanged() {}
  virtual void VisibleChanged() {}
  void FontChange(TObject* Sender);

  TWinControl* FParent = nullptr;
  int32_t FLeft = 0, FTop = 0, FWidth = 100, FHeight = 50;
  TAlign FAlign = alNone;
  bool FVisible = true;
  bool FEnabled = true;
  TColor FColor = clWindow;
  TFont FFont;
  TCursor FCursor = crDefault;
  bool FShowHint = false;
  TCursor FDragCursor = crDrag;
  TDragMode FDragMode = dmManual;
  TComponent* FPopupMenu = nullptr;
};

class TWinControl : public TControl {
 public:
  RID_CLASS_NAME(TWinControl)
  explicit TWinControl(TComponent* AOwner);
  ~TWinControl() override;

  void Dispatch(TMessage& Message) override;
  void DefaultHandler(TMessage& Message) override;

  // --- the window
  HWND GetHandle();
  HWND Handle() { return GetHandle(); }
  bool HandleAllocated() const { return FBridge != nullptr; }
  void HandleNeeded();
  void DestroyHandle();
  // Destroys and creates the window again (after a change of CreateParams).
  void RecreateWnd();
  TWidgetBridge* Bridge() const { return FBridge; }
  // The widget that receives input and shows the picture; null without a window.
  QWidget* ClientWidget() const;

  // The widget a control without a parent control shows in (a place in a Qt layout); the
  // window is made inside it, also when made again, so it never shows on its own.
  QWidget* GetParentWindow() const { return FParentWindow; }
  void SetParentWindow(QWidget* Value);

  TBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  bool GetCtl3D() const { return FCtl3D; }
  void SetCtl3D(bool Value);
  TScrollStyle GetScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);

  void SetParent(TWinControl* AParent) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  TRect GetClientRect() override;
  TPoint ClientToScreen(TPoint P) override;
  TPoint ScreenToClient(TPoint P) override;
  int32_t ControlCount() const { return static_cast<int32_t>(FControls.size()); }
  TControl* Controls(int32_t Index) const { return FControls[static_cast<size_t>(Index)]; }

  // --- focus
  virtual void SetFocus();
  bool Focused() const;
  bool CanFocus() const;

  // --- painting
  void Invalidate() override;
  // Adds R (client coordinates; null: the whole client area) to the update region.
  void InvalidateRect(const TRect* R, bool Erase = false);
  // Paints what is pending now.
  void Update() override;
  // Moves the pixels of Rect (null: the client area) by DX, DY inside Clip (null: the client
  // area); the pending update region moves with them and the uncovered strip is invalidated.
  void ScrollWindow(int32_t DX, int32_t DY, const TRect* Rect = nullptr,
                    const TRect* Clip = nullptr);

  // --- scroll bars (Bar: SB_HORZ or SB_VERT)
  int32_t SetScrollInfo(int32_t Bar, const TScrollInfo& Info, bool Redraw = true);
  bool GetScrollInfo(int32_t Bar, TScrollInfo& Info) const;
  int32_t SetScrollPos(int32_t Bar, int32_t Pos, bool Redraw = true);
  int32_t GetScrollPos(int32_t Bar) const;
  bool ShowScrollBar(int32_t Bar, bool Show);
  bool EnableScrollBar(int32_t Bar, uint32_t Arrows);
  // Whether a bar is shown now.
  bool ScrollBarVisible(int32_t Bar) const;

  // --- keyboard
  TKeyEvent OnKeyDown;
  TKeyPressEvent OnKeyPress;
  TKeyEvent OnKeyUp;
  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;
  virtual void KeyDown(uint16_t& Key, TShiftState Shift);
  virtual void KeyUp(uint16_t& Key, TShiftState Shift);
  virtual void KeyPress(char& Key);
  virtual void DoEnter();
  virtual void DoExit();

  // --- the input context of the window (Imm.h), made with it
  TInputContext* InputContext();

  // The painting hooks the window calls: the canvas a paint cycle draws with (null: the
  // control does not paint), the painting itself, and the end of drawing outside a cycle.
  virtual TCanvas* PaintCanvas() { return nullptr; }
  virtual void PaintWindow(TCanvas& Canvas) {}
  virtual void FreeCanvasHandle() {}
  // Scroll-bar state the window shows.
  bool ScrollBarEnabled(int32_t Bar) const;
  void SetTrackPos(int32_t Bar, int32_t Pos);
  // Whether files may be dropped on the window (DragAcceptFiles).
  bool GetAcceptFiles() const { return FAcceptFiles; }
  void SetAcceptFiles(bool Value);

 protected:
  virtual void CreateParams(TCreateParams& Params);
  virtual void CreateWnd();
  virtual void DestroyWnd();
  void BoundsChanged() override;
  void VisibleChanged() override;
  void RealignChildren();

 private:
  friend class TControl;
  friend class TWidgetBridge;
  void InsertControl(TControl* C);
  void RemoveControl(TControl* C);
  void UpdateChildHandles();

  TWidgetBridge* FBridge = nullptr;  // owned by Qt's widget tree (or top-level): see DestroyWnd
  QPointer<QWidget> FParentWindow;   // see GetParentWindow
  std::vector<TControl*> FControls;  // children, not owned
  std::unique_ptr<TInputContext> FInputContext;
  TBorderStyle FBorderStyle = bsNone;
  bool FCtl3D = true;
  TScrollStyle FScrollBars = ssNone;
  bool FAcceptFiles = false;
  struct TBarState {
    TScrollInfo Info;
    bool Shown = false;
    bool Styled = false;  // the window has this bar (style, or ShowScrollBar)
    bool Active = true;   // the range needs scrolling
    uint32_t Disabled = ESB_ENABLE_BOTH;
  } FBars[2];
};

// A windowed control that paints itself with a canvas.
class TCustomControl : public TWinControl {
 public:
  RID_CLASS_NAME(TCustomControl)
  explicit TCustomControl(TComponent* AOwner);
  ~TCustomControl() override;
  // During Paint: clipped to the update box. Outside it: draws straight into the picture.
  TCanvas& Canvas();
  // The control's picture (its client area as last painted), for tests and screenshots.
  QImage Picture();
  bool Painting() const { return FPainting; }
  TCanvas* PaintCanvas() override { return FCanvas.get(); }
  void PaintWindow(TCanvas& Canvas) override;
  void FreeCanvasHandle() override;

 protected:
  virtual void Paint();

 private:
  std::unique_ptr<TCanvas> FCanvas;
  bool FPainting = false;
};

// --- the Win32-style services the editor calls, on the control that owns the window

void InvalidateRect(HWND Wnd, const TRect* R, bool Erase);
void UpdateWindow(HWND Wnd);
void ScrollWindow(HWND Wnd, int32_t DX, int32_t DY, const TRect* Rect, const TRect* Clip);
int32_t SetScrollInfo(HWND Wnd, int32_t Bar, const TScrollInfo& Info, bool Redraw);
bool GetScrollInfo(HWND Wnd, int32_t Bar, TScrollInfo& Info);
bool ShowScrollBar(HWND Wnd, int32_t Bar, bool Show);
bool EnableScrollBar(HWND Wnd, int32_t Bar, uint32_t Arrows);

// The caret: one per application, owned by one window, drawn by that window as a blinking
// overlay. CreateCaret starts it hidden (ShowCaret once to see it); hides and shows count.
bool CreateCaret(HWND Wnd, int32_t Width, int32_t Height);
bool DestroyCaret();
bool SetCaretPos(int32_t X, int32_t Y);
bool GetCaretPos(TPoint& P);
bool ShowCaret(HWND Wnd);
bool HideCaret(HWND Wnd);
uint32_t GetCaretBlinkTime();
void SetCaretBlinkTime(uint32_t Milliseconds);
// Whether the caret shows on screen at this moment (visible and in the "on" half of a blink).
bool CaretShowing();

HWND SetCapture(HWND Wnd);
bool ReleaseCapture();
HWND GetCapture();
HWND GetFocus();
HWND SetFocus(HWND Wnd);

// The keyboard and mouse buttons as the last input events left them: negative while down.
int16_t GetKeyState(int32_t VirtualKey);
bool GetCursorPos(TPoint& P);
HCURSOR SetCursor(HCURSOR Cursor);
void MessageBeep(uint32_t Type);
// The beeps sounded so far (the speaker cannot be asked).
uint32_t MessageBeepCount();
uint32_t GetTickCount();

constexpr int32_t SM_CXSCREEN = 0;
constexpr int32_t SM_CYSCREEN = 1;
constexpr int32_t SM_CXVSCROLL = 2;
constexpr int32_t SM_CYHSCROLL = 3;
constexpr int32_t SM_CYVSCROLL = 20;
constexpr int32_t SM_CXHSCROLL = 21;
constexpr int32_t SM_CXSIZEFRAME = 32;
constexpr int32_t SM_CYSIZEFRAME = 33;
constexpr int32_t SM_CXDRAG = 68;
constexpr int32_t SM_CYDRAG = 69;
int32_t GetSystemMetrics(int32_t Index);
constexpr uint32_t SPI_GETWHEELSCROLLLINES = 0x0068;
// Only the wheel's lines per notch (3) is known; Param points to a uint32_t.
bool SystemParametersInfo(uint32_t Action, uint32_t UiParam, void* Param, uint32_t WinIni);

// Files dropped on a window: WM_DROPFILES carries a pointer to this record as its WParam.
// Names are code page 932 without any length limit; a name without a 932 form is not
// mangled into a wrong name but listed in Rejected (UTF-8) and left out of Files.
struct TDropFiles {
  std::vector<std::string> Files;
  std::vector<std::string> Rejected;
  TPoint Point;  // client coordinates of the drop
};
using HDROP = const TDropFiles*;
void DragAcceptFiles(HWND Wnd, bool Accept);
uint32_t DragQueryFileCount(HDROP Drop);
std::string DragQueryFile(HDROP Drop, uint32_t Index);
bool DragQueryPoint(HDROP Drop, TPoint& P);
inline void DragFinish(HDROP) {}

// The Qt cursor shape of a cursor number.
int QtCursorShape(TCursor Cursor);

}  // namespace rid
