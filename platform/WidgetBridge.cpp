#include "platform/WidgetBridge.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QUrl>
#include <QWheelEvent>
#include <utility>

#include "platform/Forms.h"
#include "platform/Imm.h"
#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Virtual keys

uint16_t VirtualKeyFromQt(int Key, Qt::KeyboardModifiers Modifiers) {
  const bool keypad = Modifiers & Qt::KeypadModifier;
  if (Key >= Qt::Key_A && Key <= Qt::Key_Z) return static_cast<uint16_t>(Key);
  if (Key >= Qt::Key_0 && Key <= Qt::Key_9)
    return static_cast<uint16_t>(keypad ? VK_NUMPAD0 + (Key - Qt::Key_0) : Key);
  if (Key >= Qt::Key_F1 && Key <= Qt::Key_F24) return static_cast<uint16_t>(VK_F1 + (Key - Qt::Key_F1));
  struct TMap {
    int Qt;
    uint16_t Vk;
  };
  static constexpr TMap kKeys[] = {
      {Qt::Key_Space, VK_SPACE},       {Qt::Key_Backspace, VK_BACK},
      {Qt::Key_Tab, VK_TAB},           {Qt::Key_Backtab, VK_TAB},
      {Qt::Key_Return, VK_RETURN},     {Qt::Key_Enter, VK_RETURN},
      {Qt::Key_Escape, VK_ESCAPE},     {Qt::Key_Shift, VK_SHIFT},
      {Qt::Key_Control, VK_CONTROL},   {Qt::Key_Alt, VK_MENU},
      {Qt::Key_AltGr, VK_MENU},        {Qt::Key_Meta, VK_LWIN},
      {Qt::Key_Pause, VK_PAUSE},       {Qt::Key_CapsLock, VK_CAPITAL},
      {Qt::Key_PageUp, VK_PRIOR},      {Qt::Key_PageDown, VK_NEXT},
      {Qt::Key_End, VK_END},           {Qt::Key_Home, VK_HOME},
      {Qt::Key_Left, VK_LEFT},         {Qt::Key_Up, VK_UP},
      {Qt::Key_Right, VK_RIGHT},       {Qt::Key_Down, VK_DOWN},
      {Qt::Key_Insert, VK_INSERT},     {Qt::Key_Delete, VK_DELETE},
      {Qt::Key_Help, VK_HELP},         {Qt::Key_Print, VK_SNAPSHOT},
      {Qt::Key_NumLock, VK_NUMLOCK},   {Qt::Key_ScrollLock, VK_SCROLL},
      {Qt::Key_Menu, VK_APPS},         {Qt::Key_Clear, VK_CLEAR},
      {Qt::Key_Henkan, VK_CONVERT},    {Qt::Key_Muhenkan, VK_NONCONVERT},
      {Qt::Key_Zenkaku_Hankaku, VK_KANJI}, {Qt::Key_Kanji, VK_KANJI},
      {Qt::Key_Hiragana_Katakana, VK_KANA},
      // US layout punctuation, shifted or not.
      {Qt::Key_Semicolon, VK_OEM_1},   {Qt::Key_Colon, VK_OEM_1},
      {Qt::Key_Equal, VK_OEM_PLUS},    {Qt::Key_Comma, VK_OEM_COMMA},
      {Qt::Key_Less, VK_OEM_COMMA},    {Qt::Key_Underscore, VK_OEM_MINUS},
      {Qt::Key_Greater, VK_OEM_PERIOD}, {Qt::Key_Question, VK_OEM_2},
      {Qt::Key_QuoteLeft, VK_OEM_3},   {Qt::Key_AsciiTilde, VK_OEM_3},
      {Qt::Key_BracketLeft, VK_OEM_4}, {Qt::Key_BraceLeft, VK_OEM_4},
      {Qt::Key_Backslash, VK_OEM_5},   {Qt::Key_Bar, VK_OEM_5},
      {Qt::Key_BracketRight, VK_OEM_6}, {Qt::Key_BraceRight, VK_OEM_6},
      {Qt::Key_Apostrophe, VK_OEM_7},  {Qt::Key_QuoteDbl, VK_OEM_7},
      {Qt::Key_Exclam, '1'},           {Qt::Key_At, '2'},
      {Qt::Key_NumberSign, '3'},       {Qt::Key_Dollar, '4'},
      {Qt::Key_Percent, '5'},          {Qt::Key_AsciiCircum, '6'},
      {Qt::Key_Ampersand, '7'},        {Qt::Key_ParenLeft, '9'},
      {Qt::Key_ParenRight, '0'},
  };
  if (keypad) {
    switch (Key) {
      case Qt::Key_Asterisk: return VK_MULTIPLY;
      case Qt::Key_Plus: return VK_ADD;
      case Qt::Key_Minus: return VK_SUBTRACT;
      case Qt::Key_Period: return VK_DECIMAL;
      case Qt::Key_Slash: return VK_DIVIDE;
      default: break;
    }
  }
  switch (Key) {
    case Qt::Key_Asterisk: return '8';
    case Qt::Key_Plus: return VK_OEM_PLUS;
    case Qt::Key_Minus: return VK_OEM_MINUS;
    case Qt::Key_Period: return VK_OEM_PERIOD;
    case Qt::Key_Slash: return VK_OEM_2;
    default: break;
  }
  for (const auto& m : kKeys)
    if (m.Qt == Key) return m.Vk;
  return 0;
}

namespace {

uintptr_t MouseKeys(Qt::MouseButtons Buttons, Qt::KeyboardModifiers Mods) {
  uintptr_t k = 0;
  if (Buttons & Qt::LeftButton) k |= MK_LBUTTON;
  if (Buttons & Qt::RightButton) k |= MK_RBUTTON;
  if (Buttons & Qt::MiddleButton) k |= MK_MBUTTON;
  if (Mods & Qt::ShiftModifier) k |= MK_SHIFT;
  if (Mods & Qt::ControlModifier) k |= MK_CONTROL;
  return k;
}

TPoint ToPoint(const QPointF& P) { return Point(qRound(P.x()), qRound(P.y())); }

// The character a key press types as the system would (0: none).
int ControlCharacter(int Key, Qt::KeyboardModifiers Mods) {
  const bool ctrl = Mods & Qt::ControlModifier;
  const bool alt = Mods & Qt::AltModifier;
  switch (Key) {
    case Qt::Key_Backspace: return ctrl ? 0x7F : 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return ctrl ? -1 : 9;
    case Qt::Key_Return:
    case Qt::Key_Enter: return ctrl ? 10 : 13;
    case Qt::Key_Escape: return 27;
    default: break;
  }
  if (ctrl && !alt) {
    if (Key >= Qt::Key_A && Key <= Qt::Key_Z) return Key - Qt::Key_A + 1;
    if (Key == Qt::Key_BracketLeft) return 27;
    if (Key == Qt::Key_Backslash) return 28;
    if (Key == Qt::Key_BracketRight) return 29;
    return -1;  // other Ctrl combinations type nothing
  }
  return 0;
}

// Typed or committed text in code page 932: a character without a 932 form is left out (never
// a '?' in its place) and reported to the application.
std::string InputToSjis(const QString& Text, TWinControl* Control) {
  std::string out;
  int32_t lost = 0;
  for (char32_t c : Text.toUcs4()) {
    size_t missing = 0;
    const std::string bytes = Utf8ToSjis(QString::fromUcs4(&c, 1).toStdString(), &missing);
    if (missing)
      ++lost;
    else
      out += bytes;
  }
  // Telling of the loss must not lose what was typed with it.
  if (lost && Application()->OnInputLost)
    Guarded([&] { Application()->OnInputLost(Control, lost); });
  return out;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The client widget: input in, picture out.

class TBridgeClient : public QWidget {
 public:
  TBridgeClient(TWidgetBridge* ABridge) : QWidget(ABridge), FBridge(ABridge) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_InputMethodEnabled);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
    setAutoFillBackground(false);
    FollowInputMethodFocus();
  }

  TWidgetBridge* Bridge() const { return FBridge; }

  static TWinControl* ControlOf(QObject* Object) {
    auto* client = dynamic_cast<TBridgeClient*>(Object);
    return client ? client->FBridge->Control() : nullptr;
  }

  // Tells the windows' input contexts where Qt's input method has the focus: that is where
  // the system's open and close go, and Qt tells it only after the window's own focus event.
  static void FollowInputMethodFocus() {
    static const bool connected = [] {
      QObject::connect(qApp, &QGuiApplication::focusObjectChanged, qApp, [](QObject* Object) {
        // The focus may leave a client while it is destroyed: dynamic_cast then finds none.
        static QPointer<QObject> focused;
        const QPointer<QObject> left = std::exchange(focused, Object);
        Guarded([&] {
          if (TWinControl* c = ControlOf(left.data())) ImmInputMethodFocus(c, false);
          if (TWinControl* c = ControlOf(Object)) ImmInputMethodFocus(c, true);
        });
      });
      return true;
    }();
    (void)connected;
  }

 protected:
  bool event(QEvent* E) override {
    // A key the control wants (CM_WANTSPECIALKEY) reaches it as a key press; a window shortcut
    // for it runs only when the control leaves the key alone.
    if (E->type() == QEvent::ShortcutOverride) {
      auto* k = static_cast<QKeyEvent*>(E);
      NoteModifiers(k->modifiers());
      const uint16_t vk = VirtualKeyFromQt(k->key(), k->modifiers());
      if (vk && FBridge->Send(CM_WANTSPECIALKEY, vk)) {
        E->accept();
        return true;
      }
    }
    // Tab belongs to the control when it asks for it (WM_GETDLGCODE), else it moves focus.
    if (E->type() == QEvent::KeyPress) {
      auto* k = static_cast<QKeyEvent*>(E);
      if (k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) {
        const intptr_t code = FBridge->Send(WM_GETDLGCODE);
        if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS)) {
          keyPressEvent(k);
          return true;
        }
      }
    }
    return QWidget::event(E);
  }

  void paintEvent(QPaintEvent* E) override {
    Guarded([this] { FBridge->FlushPaint(); });
    QPainter p(this);
    const QRect r = E->rect();
    p.drawImage(r, FBridge->Picture(), r);
    Guarded([&] {
      if (TWinControl* c = FBridge->Control()) {
        QRect caret;
        if (CaretOverlay(c, caret)) {
          p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
          p.fillRect(caret, Qt::white);
          p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
      }
      if (!FBridge->Preedit().isEmpty()) DrawPreedit(p);
    });
  }

  void DrawPreedit(QPainter& P) {
    const QFont font = FBridge->PreeditFont();
    const QRect area = FBridge->PreeditArea();
    // The composition moved with the caret: its old place shows the picture again, and the new
    // one is drawn whole.
    if (area != FBridge->FPreeditShown) {
      update(FBridge->FPreeditShown);
      update(area);
      FBridge->FPreeditShown = area;
    }
    P.setFont(font);
    const QFontMetrics fm(font);
    P.fillRect(area, Qt::white);
    P.setPen(Qt::black);
    P.drawText(area.left(), area.top() + fm.ascent(), FBridge->Preedit());
  }

  void keyPressEvent(QKeyEvent* E) override {
    Guarded([&] { KeyPress(E); });
  }

  void KeyPress(QKeyEvent* E) {
    NoteModifiers(E->modifiers());
    const Qt::KeyboardModifiers mods = E->modifiers();
    const bool alt = (mods & Qt::AltModifier) && !(mods & Qt::ControlModifier);
    const uint16_t vk = VirtualKeyFromQt(E->key(), mods);
    if (vk) NoteKeyState(vk, true);
    if (DragInProgress() && E->key() == Qt::Key_Escape) {
      if (TWinControl* c = FBridge->Control()) c->EndDrag(false);
      return;
    }
    intptr_t data = 1;
    if (E->isAutoRepeat()) data |= KF_REPEAT_BIT;
    if (alt) data |= KF_ALTDOWN_BIT;
    QPointer<TBridgeClient> self(this);
    // A key the keyboard map does not name still comes down, as the system's packet key, when
    // it types text: every typed character follows a key-down.
    const uint16_t down = vk ? vk : (E->text().isEmpty() ? 0 : VK_PACKET);
    if (down) FBridge->Send(alt || vk == VK_MENU ? WM_SYSKEYDOWN : WM_KEYDOWN, down, data);
    if (!self || !FBridge->Control()) return;

    const int control = ControlCharacter(E->key(), mods);
    const uint32_t charMsg = alt ? WM_SYSCHAR : WM_CHAR;
    if (control > 0) {
      FBridge->Send(charMsg, static_cast<uintptr_t>(control), data);
      return;
    }
    if (control < 0) return;
    QString text = E->text();
    text.removeIf([](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; });
    if (text.isEmpty()) return;
    const std::string bytes = InputToSjis(text, FBridge->Control());
    if (bytes.empty() || !self || !FBridge->Control()) return;
    bool dbcs = false;
    for (char b : bytes) dbcs |= IsDBCSLeadByte(b);
    if (dbcs && !alt) {
      FBridge->DeliverResultString(bytes);
      return;
    }
    for (char b : bytes) {
      if (!self || !FBridge->Control()) return;
      FBridge->Send(charMsg, static_cast<uint8_t>(b), data);
    }
  }

  void keyReleaseEvent(QKeyEvent* E) override {
    if (E->isAutoRepeat()) return;  // the system repeats key-downs only
    NoteModifiers(E->modifiers());
    const uint16_t vk = VirtualKeyFromQt(E->key(), E->modifiers());
    if (!vk) return;
    NoteKeyState(vk, false);
    const bool alt = E->modifiers() & Qt::AltModifier;
    intptr_t data = 1 | KF_REPEAT_BIT | KF_UP_BIT;
    if (alt) data |= KF_ALTDOWN_BIT;
    FBridge->Send(alt || vk == VK_MENU ? WM_SYSKEYUP : WM_KEYUP, vk, data);
  }

  void inputMethodEvent(QInputMethodEvent* E) override {
    Guarded([&] {
      // A commit ends a reconversion: its text is not offered again.
      if (TWinControl* c = E->commitString().isEmpty() ? nullptr : FBridge->Control())
        ImmDropReconvertRecord(c->InputContext());
      QPointer<TBridgeClient> self(this);
      if (!E->commitString().isEmpty()) {
        const std::string bytes = InputToSjis(E->commitString(), FBridge->Control());
        FBridge->DeliverResultString(bytes);
      }
      if (self) FBridge->SetPreedit(E->preeditString());
    });
    E->accept();
  }

  QVariant inputMethodQuery(Qt::InputMethodQuery Query) const override {
    switch (Query) {
      case Qt::ImEnabled: {
        TWinControl* c = FBridge->Control();
        return c && c->InputContext() && c->InputContext()->Enabled;
      }
      case Qt::ImCursorRectangle: return FBridge->CompositionRect();
      case Qt::ImFont: {
        TWinControl* c = FBridge->Control();
        if (!c) return QVariant();
        TInputContext* ic = c->InputContext();
        return QFontFromLogFont(ic && ic->HasFont ? ic->Font : c->Font().GetLogFont());
      }
      case Qt::ImHints: return int(Qt::ImhMultiLine);
      case Qt::ImSurroundingText:
      case Qt::ImCurrentSelection:
      case Qt::ImCursorPosition:
      case Qt::ImAnchorPosition: {
        QVariant answer;
        Guarded([&] { answer = ReconvertQuery(Query); });
        return answer;
      }
      default: return QWidget::inputMethodQuery(Query);
    }
  }

  // A reconversion request shows its text as the text around the cursor, with the part to
  // reconvert selected (the cursor at its end); without one the window offers no text.
  QVariant ReconvertQuery(Qt::InputMethodQuery Query) const {
    TWinControl* c = FBridge->Control();
    TReconvertText r;
    if (!c || !ImmGetReconvertText(c->InputContext(), r)) return QWidget::inputMethodQuery(Query);
    const QString text = QString::fromStdU16String(r.Text);
    switch (Query) {
      case Qt::ImSurroundingText: return text;
      case Qt::ImCurrentSelection: return text.mid(r.TargetStart, r.TargetEnd - r.TargetStart);
      case Qt::ImCursorPosition: return r.TargetEnd;
      default: return r.TargetStart;
    }
  }

  void focusInEvent(QFocusEvent*) override { FBridge->Send(WM_SETFOCUS); }
  void focusOutEvent(QFocusEvent*) override {
    if (TWinControl* c = FBridge->Control())
      Guarded([&] { ImmDropReconvertRecord(c->InputContext()); });
    QWidget* next = QApplication::focusWidget();
    auto* other = dynamic_cast<TBridgeClient*>(next);
    FBridge->Send(WM_KILLFOCUS,
                  reinterpret_cast<uintptr_t>(other ? other->Bridge()->Control() : nullptr));
  }

  // Mouse messages go to the window holding the capture, in its coordinates.
  TWidgetBridge* MouseTarget(QPoint& Local, const QPointF& Global) {
    HWND cap = GetCapture();
    if (cap && cap->Bridge() && cap->Bridge() != FBridge) {
      Local = cap->Bridge()->Client()->mapFromGlobal(Global.toPoint());
      return cap->Bridge();
    }
    return FBridge;
  }

  void SendMouse(uint32_t Msg, QMouseEvent* E) {
    NoteModifiers(E->modifiers());
    NoteButtons(E->buttons());
    QPoint local = E->position().toPoint();
    TWidgetBridge* target = MouseTarget(local, E->globalPosition());
    if (!GetCapture()) {
      NoteCursorWidget(this);
      target->Send(WM_SETCURSOR, reinterpret_cast<uintptr_t>(target->Control()),
                   static_cast<intptr_t>(MAKELONG(HTCLIENT, static_cast<uint16_t>(Msg))));
    }
    target->Send(Msg, MouseKeys(E->buttons(), E->modifiers()), PointToLParam(local.x(), local.y()));
  }

  static uint32_t ButtonMessage(Qt::MouseButton B, uint32_t Left) {
    // Left, right and middle messages come in groups of three (down, up, double click).
    if (B == Qt::RightButton) return Left + 3;
    if (B == Qt::MiddleButton) return Left + 6;
    return Left;
  }

  void mousePressEvent(QMouseEvent* E) override {
    SendMouse(ButtonMessage(E->button(), WM_LBUTTONDOWN), E);
  }
  void mouseDoubleClickEvent(QMouseEvent* E) override {
    SendMouse(ButtonMessage(E->button(), WM_LBUTTONDBLCLK), E);
  }
  void mouseMoveEvent(QMouseEvent* E) override {
    if (DragInProgress()) {
      NoteModifiers(E->modifiers());
      Guarded([&] { DragMouseMove(ToPoint(E->globalPosition())); });
      return;
    }
    SendMouse(WM_MOUSEMOVE, E);
  }
  void mouseReleaseEvent(QMouseEvent* E) override {
    if (DragInProgress()) {
      NoteModifiers(E->modifiers());
      NoteButtons(E->buttons());
      Guarded([&] { DragMouseUp(ToPoint(E->globalPosition())); });
      return;
    }
    SendMouse(ButtonMessage(E->button(), WM_LBUTTONUP), E);
  }
  void wheelEvent(QWheelEvent* E) override {
    NoteModifiers(E->modifiers());
    int delta = E->angleDelta().y();
    if (E->inverted()) delta = -delta;
    if (delta == 0) return;
    const uintptr_t keys = MouseKeys(E->buttons(), E->modifiers());
    const uintptr_t w = keys | (uintptr_t(static_cast<uint16_t>(delta)) << 16);
    const TPoint g = ToPoint(E->globalPosition());
    FBridge->Send(WM_MOUSEWHEEL, w, PointToLParam(g.X, g.Y));
    E->accept();
  }
  void enterEvent(QEnterEvent*) override {
    NoteCursorWidget(this);
    FBridge->Send(CM_MOUSEENTER);
  }
  void leaveEvent(QEvent*) override { FBridge->Send(CM_MOUSELEAVE); }

  void dragEnterEvent(QDragEnterEvent* E) override {
    if (E->mimeData()->hasUrls()) E->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* E) override {
    if (E->mimeData()->hasUrls()) E->acceptProposedAction();
  }
  void dropEvent(QDropEvent* E) override {
    Guarded([&] {
      TDropFiles drop = DroppedFiles(*E->mimeData());
      drop.Point = ToPoint(E->position());
      if (drop.Files.empty() && drop.Rejected.empty()) return;
      FBridge->Send(WM_DROPFILES, reinterpret_cast<uintptr_t>(&drop));
      E->acceptProposedAction();
    });
  }

 private:
  TWidgetBridge* FBridge;
};

TDropFiles DroppedFiles(const QMimeData& Mime) {
  TDropFiles drop;
  for (const QUrl& url : Mime.urls()) {
    if (!url.isLocalFile()) continue;
    const std::string utf8 = url.toLocalFile().toStdString();
    size_t lost = 0;
    std::string name = Utf8ToSjis(utf8, &lost);
    if (lost) {
      drop.Rejected.push_back(utf8);
    } else {
      drop.Files.push_back(std::move(name));
    }
  }
  return drop;
}

// ---------------------------------------------------------------------------------------------
// TWidgetBridge

TWidgetBridge::TWidgetBridge(TWinControl* AControl, QWidget* AParent, const TCreateParams& Params)
    : QWidget(AParent), FControl(AControl) {
  FEdge3D = Params.ExStyle & WS_EX_CLIENTEDGE;
  FBorder = FrameWidth(Params);
  FSizable = !FEdge3D && (Params.Style & WS_THICKFRAME);
  setMouseTracking(FSizable);
  setAttribute(Qt::WA_OpaquePaintEvent);
  if (!AParent && (Params.Style & WS_POPUP)) {
    // A pop-up stays on top, takes no focus and goes exactly where it is put.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
    setAttribute(Qt::WA_ShowWithoutActivating);
  }
  FClient = new TBridgeClient(this);
  for (int i = 0; i < 2; ++i) {
    FBars[i] = new QScrollBar(i == 0 ? Qt::Horizontal : Qt::Vertical, this);
    FBars[i]->setFocusPolicy(Qt::NoFocus);
    FBars[i]->hide();
    const int32_t bar = i == 0 ? SB_HORZ : SB_VERT;
    connect(FBars[i], &QScrollBar::actionTriggered, this,
            [this, bar](int Action) { Guarded([&] { ScrollAction(bar, Action); }); });
    connect(FBars[i], &QScrollBar::sliderReleased, this,
            GuardedSlot([this, bar] { ScrollReleased(bar); }));
  }
}

TWidgetBridge::~TWidgetBridge() {
  // The client goes first, while this is still whole: losing the focus on the way sends it
  // through Send, which now reaches no control.
  FControl = nullptr;
  delete FClient;
  FClient = nullptr;
}

QWidget* TWidgetBridge::Client() const { return FClient; }

intptr_t TWidgetBridge::Send(uint32_t Msg, uintptr_t WParam, intptr_t LParam) {
  if (!FControl) return 0;
  QPointer<TWidgetBridge> self(this);
  ++FDispatchDepth;
  intptr_t result = 0;
  try {
    result = FControl->Perform(Msg, WParam, LParam);
  } catch (const std::exception& e) {
    Application()->HandleException(e);
  }
  if (self) --FDispatchDepth;
  return result;
}

TRect TWidgetBridge::ClientRect() const {
  return Bounds(0, 0, FClient->width(), FClient->height());
}

void TWidgetBridge::Relayout() {
  if (!FControl) return;
  const TRect b = FControl->GetBoundsRect();
  setGeometry(b.Left, b.Top, std::max(0, b.Width()), std::max(0, b.Height()));
  const int sb = GetSystemMetrics(SM_CXVSCROLL);
  const bool h = FControl->ScrollBarVisible(SB_HORZ);
  const bool v = FControl->ScrollBarVisible(SB_VERT);
  const int cw = std::max(0, b.Width() - 2 * FBorder - (v ? sb : 0));
  const int ch = std::max(0, b.Height() - 2 * FBorder - (h ? sb : 0));
  FClient->setGeometry(FBorder, FBorder, cw, ch);
  FBars[0]->setGeometry(FBorder, FBorder + ch, cw, sb);
  FBars[1]->setGeometry(FBorder + cw, FBorder, sb, ch);
  FBars[0]->setVisible(h);
  FBars[1]->setVisible(v);

  const QSize size(cw, ch);
  if (size == FLastClientSize) return;
  // The picture keeps what still fits; the uncovered part is painted next.
  FControl->FreeCanvasHandle();
  QImage picture(std::max(1, cw), std::max(1, ch), QImage::Format_RGB32);
  picture.fill(QColor::fromRgb(ColorToQRgb(FControl->GetColor())));
  QRegion uncovered(0, 0, cw, ch);
  if (!FPicture.isNull() && FLastClientSize.isValid()) {
    QPainter p(&picture);
    p.drawImage(0, 0, FPicture);
    uncovered -= QRegion(0, 0, FLastClientSize.width(), FLastClientSize.height());
  }
  FPicture = std::move(picture);
  FPending &= QRegion(0, 0, cw, ch);
  FPending += uncovered;
  FLastClientSize = size;
  FClient->update();
  Send(WM_SIZE, SIZE_RESTORED,
       static_cast<intptr_t>(MAKELONG(static_cast<uint16_t>(cw), static_cast<uint16_t>(ch))));
}

void TWidgetBridge::InvalidatePicture(const QRegion& Region) {
  const QRegion r = Region & QRect(0, 0, FClient->width(), FClient->height());
  if (r.isEmpty()) return;
  FPending += r;
  FClient->update(r);
}

void TWidgetBridge::FlushPaint() {
  if (!FControl || FPending.isEmpty()) return;
  FControl->FreeCanvasHandle();
  const QRect box = FPending.boundingRect() & FPicture.rect();
  // The region is valid from here on, even when painting fails.
  FPending = QRegion();
  if (box.isEmpty()) return;
  QPointer<TWidgetBridge> self(this);
  ++FDispatchDepth;
  {
    QPainter p(&FPicture);
    TCanvas* canvas = FControl->PaintCanvas();
    if (canvas) {
      canvas->BeginPainter(&p, Bounds(box.x(), box.y(), box.width(), box.height()));
      try {
        FControl->PaintWindow(*canvas);
      } catch (const std::exception& e) {
        Application()->HandleException(e);
      }
      canvas->EndPainter();
    }
  }
  if (self) --FDispatchDepth;
  if (self) FClient->update(box);
}

void TWidgetBridge::ScrollPicture(int32_t DX, int32_t DY, const QRect& Area) {
  const QRect area = Area & FPicture.rect();
  if (area.isEmpty() || (DX == 0 && DY == 0)) return;
  if (FControl) FControl->FreeCanvasHandle();
  const QImage copy = FPicture.copy(area);
  {
    QPainter p(&FPicture);
    p.setClipRect(area);
    p.drawImage(area.topLeft() + QPoint(DX, DY), copy);
  }
  const QRegion inside = FPending & area;
  FPending -= inside;
  FPending += inside.translated(DX, DY) & area;
  const QRegion uncovered = QRegion(area) - QRegion(area.translated(DX, DY));
  FPending += uncovered;
  FClient->update(area);
}

void TWidgetBridge::Present(const QRect& R, bool Sync) {
  if (Sync && FClient->isVisible())
    FClient->repaint(R);
  else
    FClient->update(R);
}

void TWidgetBridge::SetPreedit(const QString& Text) {
  if (Text == FPreedit) return;
  FPreedit = Text;
  if (FControl) {
    if (TInputContext* ic = FControl->InputContext())
      ic->CompStr = Utf8ToSjis(Text.toStdString());
  }
  // Where the text was drawn, not where the caret is now: a commit has moved the caret since.
  FClient->update(FPreeditShown);
  FPreeditShown = Text.isEmpty() ? QRect() : PreeditArea();
  FClient->update(FPreeditShown);
}

QFont TWidgetBridge::PreeditFont() const {
  TInputContext* ic = FControl ? FControl->InputContext() : nullptr;
  QFont font = ic && ic->HasFont ? QFontFromLogFont(ic->Font)
               : FControl        ? QFontFromLogFont(FControl->Font().GetLogFont())
                                 : QFont();
  font.setUnderline(true);
  return font;
}

QRect TWidgetBridge::PreeditArea() const {
  const QFontMetrics fm(PreeditFont());
  return QRect(CompositionRect().topLeft(), QSize(fm.horizontalAdvance(FPreedit), fm.height()));
}

QRect TWidgetBridge::CompositionRect() const {
  QPoint pos;
  int height = 16;
  TInputContext* ic = FControl ? FControl->InputContext() : nullptr;
  if (ic && ic->CompositionWindow.dwStyle != CFS_DEFAULT) {
    pos = QPoint(ic->CompositionWindow.ptCurrentPos.X, ic->CompositionWindow.ptCurrentPos.Y);
  } else {
    TPoint caret;
    if (GetCaretPos(caret)) pos = QPoint(caret.X, caret.Y);
  }
  if (FControl) {
    const QFontMetrics fm(QFontFromLogFont(ic && ic->HasFont ? ic->Font
                                                             : FControl->Font().GetLogFont()));
    height = fm.height();
  }
  return QRect(pos, QSize(1, height));
}

void TWidgetBridge::DeliverResultString(const std::string& Sjis) {
  if (!FControl || Sjis.empty()) return;
  TInputContext* ic = FControl->InputContext();
  if (!ic) return;
  QPointer<TWidgetBridge> self(this);
  const uint8_t lead = static_cast<uint8_t>(Sjis[0]);
  const uintptr_t first = (IsDBCSLeadByte(lead) && Sjis.size() > 1)
                              ? (uintptr_t(lead) << 8 | static_cast<uint8_t>(Sjis[1]))
                              : lead;
  ic->ResultStr = Sjis;
  Send(WM_IME_STARTCOMPOSITION);
  if (!self || !FControl) return;
  Send(WM_IME_COMPOSITION, first, GCS_RESULTSTR);
  if (!self || !FControl) return;
  if (TInputContext* after = FControl->InputContext()) after->ResultStr.clear();
  Send(WM_IME_ENDCOMPOSITION);
}

void TWidgetBridge::ApplyScrollBar(int32_t Bar) {
  if (!FControl) return;
  QScrollBar* sb = ScrollBar(Bar);
  TScrollInfo si;
  FControl->GetScrollInfo(Bar, si);
  const int page = std::max<int>(1, static_cast<int>(si.nPage));
  const QSignalBlocker block(sb);
  if (!sb->isSliderDown()) {
    sb->setRange(si.nMin, std::max(si.nMin, si.nMax - page + 1));
    sb->setPageStep(page);
    sb->setSingleStep(1);
    sb->setValue(si.nPos);
  }
  sb->setEnabled(FControl->ScrollBarEnabled(Bar));
}

void TWidgetBridge::ScrollAction(int32_t Bar, int Action) {
  QScrollBar* sb = ScrollBar(Bar);
  const uint32_t msg = Bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  uint16_t code;
  switch (Action) {
    case QAbstractSlider::SliderSingleStepAdd: code = SB_LINEDOWN; break;
    case QAbstractSlider::SliderSingleStepSub: code = SB_LINEUP; break;
    case QAbstractSlider::SliderPageStepAdd: code = SB_PAGEDOWN; break;
    case QAbstractSlider::SliderPageStepSub: code = SB_PAGEUP; break;
    case QAbstractSlider::SliderToMinimum: code = SB_TOP; break;
    case QAbstractSlider::SliderToMaximum: code = SB_BOTTOM; break;
    case QAbstractSlider::SliderMove: code = SB_THUMBTRACK; break;
    default: return;
  }
  if (code == SB_THUMBTRACK) {
    const int pos = sb->sliderPosition();
    if (FControl) FControl->SetTrackPos(Bar, pos);
    Send(msg, MAKELONG(code, static_cast<uint16_t>(pos)));
    return;
  }
  Send(msg, code);
  if (FControl) Send(msg, SB_ENDSCROLL);
  // The bar shows the position the control sets, not one of its own.
  if (FControl) sb->setSliderPosition(FControl->GetScrollPos(Bar));
}

void TWidgetBridge::ScrollReleased(int32_t Bar) {
  const uint32_t msg = Bar == SB_VERT ? WM_VSCROLL : WM_HSCROLL;
  const int pos = ScrollBar(Bar)->sliderPosition();
  if (FControl) FControl->SetTrackPos(Bar, pos);
  Send(msg, MAKELONG(SB_THUMBPOSITION, static_cast<uint16_t>(pos)));
  Send(msg, SB_ENDSCROLL);
  if (FControl) ApplyScrollBar(Bar);
}

void TWidgetBridge::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect all = rect();
  if (FBorder > 0) {
    if (FSizable) {
      const QRegion frame =
          QRegion(all) - QRegion(all.adjusted(FBorder, FBorder, -FBorder, -FBorder));
      p.setClipRegion(frame);
      p.fillRect(all, QColor::fromRgb(ColorToQRgb(clBtnFace)));
      p.setClipping(false);
    }
    p.setPen(QColor(128, 128, 128));
    p.drawRect(all.adjusted(0, 0, -1, -1));
    if (FEdge3D) {
      p.setPen(QColor(64, 64, 64));
      p.drawRect(all.adjusted(1, 1, -2, -2));
    }
  }
  if (FBars[0]->isVisible() && FBars[1]->isVisible()) {
    p.fillRect(QRect(FBars[1]->x(), FBars[0]->y(), FBars[1]->width(), FBars[0]->height()),
               palette().window());
  }
}

uintptr_t TWidgetBridge::SizingEdge(const QPoint& P) const {
  if (!FSizable) return 0;
  const int b = FBorder, corner = std::max(2 * b, 8);
  const int w = width(), h = height();
  bool left = P.x() < b, right = P.x() >= w - b, top = P.y() < b, bottom = P.y() >= h - b;
  if (left || right) {
    top = top || P.y() < corner;
    bottom = bottom || P.y() >= h - corner;
  } else if (top || bottom) {
    left = P.x() < corner;
    right = P.x() >= w - corner;
  }
  if (top) return left ? WMSZ_TOPLEFT : right ? WMSZ_TOPRIGHT : WMSZ_TOP;
  if (bottom) return left ? WMSZ_BOTTOMLEFT : right ? WMSZ_BOTTOMRIGHT : WMSZ_BOTTOM;
  return left ? WMSZ_LEFT : right ? WMSZ_RIGHT : 0;
}

namespace {

Qt::CursorShape SizingCursor(uintptr_t Edge) {
  switch (Edge) {
    case WMSZ_LEFT:
    case WMSZ_RIGHT: return Qt::SizeHorCursor;
    case WMSZ_TOP:
    case WMSZ_BOTTOM: return Qt::SizeVerCursor;
    case WMSZ_TOPLEFT:
    case WMSZ_BOTTOMRIGHT: return Qt::SizeFDiagCursor;
    case WMSZ_TOPRIGHT:
    case WMSZ_BOTTOMLEFT: return Qt::SizeBDiagCursor;
    default: return Qt::ArrowCursor;
  }
}

bool MovesLeft(uintptr_t E) { return E == WMSZ_LEFT || E == WMSZ_TOPLEFT || E == WMSZ_BOTTOMLEFT; }
bool MovesRight(uintptr_t E) {
  return E == WMSZ_RIGHT || E == WMSZ_TOPRIGHT || E == WMSZ_BOTTOMRIGHT;
}
bool MovesTop(uintptr_t E) { return E == WMSZ_TOP || E == WMSZ_TOPLEFT || E == WMSZ_TOPRIGHT; }
bool MovesBottom(uintptr_t E) {
  return E == WMSZ_BOTTOM || E == WMSZ_BOTTOMLEFT || E == WMSZ_BOTTOMRIGHT;
}

}  // namespace

void TWidgetBridge::mousePressEvent(QMouseEvent* E) {
  FSizingEdge = E->button() == Qt::LeftButton && FControl ? SizingEdge(E->position().toPoint()) : 0;
  if (!FSizingEdge) return QWidget::mousePressEvent(E);
  FSizingFrom = E->globalPosition().toPoint();
  FSizingBounds = FControl->GetBoundsRect();
}

void TWidgetBridge::mouseMoveEvent(QMouseEvent* E) {
  if (!FSizingEdge || !FControl) {
    if (FSizable) setCursor(SizingCursor(SizingEdge(E->position().toPoint())));
    return QWidget::mouseMoveEvent(E);
  }
  const QPoint d = E->globalPosition().toPoint() - FSizingFrom;
  TRect r = FSizingBounds;
  const int least = 2 * FBorder + 1;
  if (MovesLeft(FSizingEdge)) r.Left = std::min(r.Left + d.x(), r.Right - least);
  if (MovesRight(FSizingEdge)) r.Right = std::max(r.Right + d.x(), r.Left + least);
  if (MovesTop(FSizingEdge)) r.Top = std::min(r.Top + d.y(), r.Bottom - least);
  if (MovesBottom(FSizingEdge)) r.Bottom = std::max(r.Bottom + d.y(), r.Top + least);
  QPointer<TWidgetBridge> self(this);
  Send(WM_SIZING, FSizingEdge, reinterpret_cast<intptr_t>(&r));
  if (self && FControl) Guarded([&] { FControl->SetBounds(r.Left, r.Top, r.Width(), r.Height()); });
}

void TWidgetBridge::mouseReleaseEvent(QMouseEvent* E) {
  if (!FSizingEdge) return QWidget::mouseReleaseEvent(E);
  FSizingEdge = 0;
}

}  // namespace rid
