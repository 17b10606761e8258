#pragma once
#include <functional>
#include <string>

#include "editor/RidEder.h"
#include "editor/RidMacroRecorder.h"

class QAction;
class QLabel;
class QMainWindow;

namespace rid {

// The window's Macro menu: Start/Stop Recording, Play/Pause/Resume, Save Macro... and Load
// Macro... on one recorder attached to every editor, so that its keys work in each of them
// (Ctrl+Shift+R and Ctrl+Shift+P, or those the registry file names under kShortCutsKey as
// MacroRecord and MacroPlayback). The status bar says while it records or is paused; what
// fails is told in a message box.
class TEderMacros {
 public:
  TEderMacros(QMainWindow* AWindow, std::function<TRidEder&()> ACurrentEder);
  ~TEderMacros();
  TEderMacros(const TEderMacros&) = delete;
  TEderMacros& operator=(const TEderMacros&) = delete;

  void Attach(TRidEder& AEder);
  TRidMacroRecorder& Recorder() { return FRecorder; }
  QLabel* StateLabel() const { return FState; }
  // What the registry asked for and could not have, or "".
  const std::string& KeyProblem() const { return FKeyProblem; }

  // The menu's commands on the current editor. Recording: starts when stopped, else stops.
  // Playing: plays when stopped, pauses a recording, resumes a paused one.
  void StartStopRecording();
  void PlayPauseResume();
  // False when it failed; the message box (object name "MacroError") says why.
  bool SaveMacro(const std::string& FileName);
  bool LoadMacro(const std::string& FileName);
  // Where the file dialogs open: <user configuration folder>/rideder/macro, made when missing.
  static std::string MacroFolder();

 private:
  // MacroRecord and MacroPlayback of the registry file, when they can be had (FKeyProblem).
  void TakeKeysFromRegistry();
  void AddMenu();
  void AskSave();
  void AskLoad();
  void ShowState();
  void ShowError(const std::string& Message);
  // Runs a recorder operation; what it raises goes to ShowError.
  bool Try(const std::function<void()>& Run);

  QMainWindow* FWindow;
  std::function<TRidEder&()> FCurrentEder;
  TRidMacroRecorder FRecorder{nullptr};
  QLabel* FState;  // owned by the status bar
  std::string FKeyProblem;
};

}  // namespace rid
