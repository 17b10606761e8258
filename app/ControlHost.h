#pragma once
#include <QResizeEvent>
#include <QWidget>

#include "platform/Controls.h"
#include "platform/Forms.h"
#include "platform/WidgetBridge.h"

namespace rid {

// Places a control's window inside a Qt layout and gives it the size of the place it is shown
// in. The control, and with it its window, goes before the host.
class TControlHost : public QWidget {
 public:
  TControlHost(TWinControl* AControl, QWidget* AParent) : QWidget(AParent), FControl(AControl) {
    FControl->SetParentWindow(this);  // made inside, never shown on its own first
    FControl->HandleNeeded();
    FControl->SetBounds(0, 0, width(), height());
    FControl->Bridge()->show();
    setFocusProxy(FControl->ClientWidget());
  }

 protected:
  void resizeEvent(QResizeEvent* E) override {
    Guarded([&] { FControl->SetBounds(0, 0, E->size().width(), E->size().height()); });
  }

 private:
  TWinControl* FControl;
};

}  // namespace rid
