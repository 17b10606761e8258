#pragma once
// What the window says about what it could not do while it goes on.
#include <QString>
#include <string>

class QMainWindow;

namespace rid {

class TRegistry;

// Shows Text on the window's status line and writes it to the standard error stream, where the
// program's other messages go.
void SayProblem(QMainWindow* Window, const QString& Text);

// Why the settings value Name of Reg's open key cannot be taken where text belongs, in the
// words of the status line ("is a number", "is hex(2) data, not text"); "" for text or a
// missing value.
std::string NotTextReason(TRegistry& Reg, const std::string& Name);

}  // namespace rid
