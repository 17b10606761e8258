#include "app/EderStatus.h"

#include <QMainWindow>
#include <QStatusBar>
#include <cstdio>

namespace rid {

void SayProblem(QMainWindow* Window, const QString& Text) {
  Window->statusBar()->showMessage(Text);
  std::fprintf(stderr, "rideder: %s\n", Text.toLocal8Bit().constData());
}

}  // namespace rid
