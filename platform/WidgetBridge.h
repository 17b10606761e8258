#pragma once
#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>
#include <string>

#include "platform/Controls.h"

class QMimeData;
class QScrollBar;

namespace rid {

class TBridgeClient;

// The window of a TWinControl: a frame widget with the border and the scroll bars, and a
// client widget that turns Qt's events into the control's messages and shows the control's
// picture with the caret and the preedit text drawn over it.
class TWidgetBridge : public QWidget {
  Q_OBJECT

 public:
  TWidgetBridge(TWinControl* AControl, QWidget* AParent, const TCreateParams& Params);
  ~TWidgetBridge() override;

  TWinControl* Control() const { return FControl; }
  // The control is going: no more messages reach it.
  void Detach() { FControl = nullptr; }
  bool Dispatching() const { return FDispatchDepth > 0; }
  QWidget* Client() const;
  QScrollBar* ScrollBar(int32_t Bar) const { return FBars[Bar == SB_VERT ? 1 : 0]; }
  int32_t BorderWidth() const { return FBorder; }

  // Sends a message to the control; an exception stops at this boundary and is reported.
  intptr_t Send(uint32_t Msg, uintptr_t WParam = 0, intptr_t LParam = 0);

  // Places the frame, the bars and the client from the control's bounds and bar states;
  // sends WM_SIZE when the client size changes.
  void Relayout();
  TRect ClientRect() const;

  // --- the picture
  QImage& Picture() { return FPicture; }
  void InvalidatePicture(const QRegion& Region);
  QRegion Pending() const { return FPending; }
  // Paints the pending region into the picture now (the control's PaintWindow).
  void FlushPaint();
  void ScrollPicture(int32_t DX, int32_t DY, const QRect& Area);
  // Shows what changed in the picture (after the next event-loop turn, or now when Sync).
  void Present(const QRect& R, bool Sync = false);

  // --- input methods: the text being composed, drawn at the composition position
  void SetPreedit(const QString& Text);
  QString Preedit() const { return FPreedit; }
  // Delivers code page 932 text through the input-method road: WM_IME_COMPOSITION with the
  // result string, whose default handling sends the bytes as WM_CHAR.
  void DeliverResultString(const std::string& Sjis);
  QRect CompositionRect() const;
  // The composition's font, and the place its text takes at the composition position.
  QFont PreeditFont() const;
  QRect PreeditArea() const;

  void ApplyScrollBar(int32_t Bar);

 protected:
  void paintEvent(QPaintEvent* Event) override;
  // A sizing frame (WS_THICKFRAME) resizes the window while it is dragged, with WM_SIZING
  // letting the control adjust each new size.
  void mousePressEvent(QMouseEvent* Event) override;
  void mouseMoveEvent(QMouseEvent* Event) override;
  void mouseReleaseEvent(QMouseEvent* Event) override;

 private:
  friend class TBridgeClient;
  void ScrollAction(int32_t Bar, int Action);
  void ScrollReleased(int32_t Bar);

  // The WMSZ_* edge of the frame at P (0: none).
  uintptr_t SizingEdge(const QPoint& P) const;

  TWinControl* FControl;
  TBridgeClient* FClient = nullptr;
  bool FSizable = false;
  uintptr_t FSizingEdge = 0;  // the edge being dragged
  QPoint FSizingFrom;         // where the drag started, in screen pixels
  TRect FSizingBounds;        // the bounds when it started
  QScrollBar* FBars[2] = {nullptr, nullptr};
  int32_t FBorder = 0;
  bool FEdge3D = false;
  int FDispatchDepth = 0;
  QImage FPicture;
  QRegion FPending;
  QString FPreedit;
  QRect FPreeditShown;  // where the text being composed is drawn over the picture
  QSize FLastClientSize{-1, -1};
};

// Key translation: the Windows virtual key of a Qt key (0 when it has none).
uint16_t VirtualKeyFromQt(int Key, Qt::KeyboardModifiers Modifiers);

// The key-state table GetKeyState reads; the bridge keeps it up to date from input events.
void NoteKeyState(uint16_t VirtualKey, bool Down);
void NoteModifiers(Qt::KeyboardModifiers Modifiers);
void NoteButtons(Qt::MouseButtons Buttons);

// The local files of dropped data in code page 932; a name without a 932 form goes to
// Rejected (UTF-8). The point is left at 0, 0.
TDropFiles DroppedFiles(const QMimeData& Mime);

// The drag session of the framework, fed by the client widget of the control that drags.
bool DragInProgress();
void DragMouseMove(TPoint ScreenPoint);
void DragMouseUp(TPoint ScreenPoint);
// Where the caret of Control shows now (false when it does not).
bool CaretOverlay(const TWinControl* Control, QRect& Rect);
// The window whose cursor SetCursor changes: the one the mouse is over.
void NoteCursorWidget(QWidget* Widget);
// A window goes: the caret, capture and cursor leave it.
void WindowDestroyed(TWinControl* Control);

}  // namespace rid
