#include <QApplication>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/EderHighlighters.h"
#include "app/EderWindow.h"
#include "platform/Classes.h"
#include "platform/Forms.h"

// rideder [FILE...]: one editor per file, or the sample script without files.
// rideder --MODE TARGET [OPTIONS] FILE: a command-line mode, no window.
// rideder --highlighter FILE...: the highlighter each file gets, no window.
int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
    std::puts("rideder 0.1");
    return 0;
  }
  if (argc > 1 && std::strcmp(argv[1], "--highlighter") == 0) {
    rid::TEderHighlighters highlighters;
    std::fputs(highlighters.Describe({argv + 2, argv + argc}).c_str(), stdout);
    return 0;
  }
  // Interrupted, a save leaves no temporary file behind, in a mode as in the window.
  rid::RemoveTemporaryFilesOnSignals();
  // A write past the file-size limit fails and is told as a full disk is, instead of ending the
  // program with its unsaved text.
  std::signal(SIGXFSZ, SIG_IGN);
  if (rid::IsCliCommand({argv + 1, argv + argc})) return rid::RunCommandLine(argc, argv);
  rid::TGuardedApplication app(argc, argv);  // takes its own options out of argv
  rid::ExitAfterFirstPaintIfAsked();
  std::vector<std::string> files(argv + 1, argv + argc);
  try {
    rid::TEderWindow window(files);  // says what it did not take of the settings
    for (const std::string& p : window.OpenProblems())
      std::fprintf(stderr, "rideder: %s\n", p.c_str());
    window.show();
    return app.exec();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rideder: %s\n", e.what());
    return 1;
  }
}
