#pragma once
// What the window says about what it could not do while it goes on.
#include <QString>

class QMainWindow;

namespace rid {

// Shows Text on the window's status line and writes it to the standard error stream, where the
// program's other messages go.
void SayProblem(QMainWindow* Window, const QString& Text);

}  // namespace rid
