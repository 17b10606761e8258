#include "app/EderStatus.h"

#include <QMainWindow>
#include <QStatusBar>
#include <cstdio>

#include "platform/Registry.h"

namespace rid {

void SayProblem(QMainWindow* Window, const QString& Text) {
  Window->statusBar()->showMessage(Text);
  std::fprintf(stderr, "rideder: %s\n", Text.toLocal8Bit().constData());
}

std::string NotTextReason(TRegistry& Reg, const std::string& Name) {
  switch (Reg.GetDataType(Name)) {
    case rdUnknown:
    case rdString:
      return {};
    case rdInteger:
      return "is a number";
    case rdOther:
      break;
  }
  const std::string type = Reg.GetOtherType(Name);
  return type.empty() ? "is not text" : "is " + type + " data, not text";
}

}  // namespace rid
