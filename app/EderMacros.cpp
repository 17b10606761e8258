#include "app/EderMacros.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStatusBar>
#include <filesystem>

#include "app/EderShortCuts.h"
#include "platform/Forms.h"
#include "platform/Menus.h"

namespace rid {

namespace {

constexpr const char* kMacroFilter = "Macros (*.mcr);;All files (*)";

}  // namespace

TEderMacros::TEderMacros(QMainWindow* AWindow, std::function<TRidEder&()> ACurrentEder)
    : FWindow(AWindow), FCurrentEder(std::move(ACurrentEder)) {
  TakeKeysFromRegistry();
  FRecorder.OnStateChange = [this](TObject*) { ShowState(); };
  AddMenu();
  FState = new QLabel(FWindow->statusBar());
  FState->setObjectName("MacroState");
  FWindow->statusBar()->addPermanentWidget(FState);
}

void TEderMacros::TakeKeysFromRegistry() {
  const TShortCut defaultRecord = FRecorder.GetRecordShortCut();
  const TShortCut defaultPlayback = FRecorder.GetPlaybackShortCut();
  std::string problems[3];  // each value's, then theirs together
  TShortCut record = ReadShortCutSetting("MacroRecord", defaultRecord, &problems[0]);
  TShortCut playback = ReadShortCutSetting("MacroPlayback", defaultPlayback, &problems[1]);
  // One key cannot be bound twice.
  if (record != 0 && record == playback) {
    problems[2] = "MacroRecord and MacroPlayback name the same key: both keep their defaults";
    record = defaultRecord;
    playback = defaultPlayback;
  }
  for (const std::string& p : problems)
    if (!p.empty()) FKeyProblem += (FKeyProblem.empty() ? "" : "; ") + p;
  FRecorder.SetRecordShortCut(record);
  FRecorder.SetPlaybackShortCut(playback);
}

void TEderMacros::AddMenu() {
  QMenu* menu = FWindow->menuBar()->addMenu("&Macro");
  auto add = [&](const QString& Text, const char* Name, std::function<void()> Run) {
    QAction* a = menu->addAction(Text, GuardedSlot(std::move(Run)));
    a->setObjectName(Name);
  };
  add(WithKey("Start/Stop &Recording", FRecorder.GetRecordShortCut()), "MacroRecord",
      [this] { StartStopRecording(); });
  add(WithKey("&Play/Pause/Resume", FRecorder.GetPlaybackShortCut()), "MacroPlayback",
      [this] { PlayPauseResume(); });
  menu->addSeparator();
  add("&Save Macro...", "MacroSave", [this] { AskSave(); });
  add("&Load Macro...", "MacroLoad", [this] { AskLoad(); });
}

TEderMacros::~TEderMacros() { FRecorder.OnStateChange = nullptr; }

void TEderMacros::Attach(TRidEder& AEder) { FRecorder.AddEditor(&AEder); }

void TEderMacros::ShowState() {
  switch (FRecorder.GetState()) {
    case mrsRecording:
      FState->setText("Recording");
      break;
    case mrsPaused:
      FState->setText("Paused");
      break;
    default:
      FState->clear();
  }
}

bool TEderMacros::Try(const std::function<void()>& Run) {
  try {
    Run();
  } catch (const std::exception& e) {
    ShowError(e.what());
    return false;
  }
  return true;
}

void TEderMacros::ShowError(const std::string& Message) {
  auto* box = new QMessageBox(QMessageBox::Warning, "rideder", QString::fromLocal8Bit(Message),
                              QMessageBox::Ok, FWindow);
  box->setObjectName("MacroError");
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void TEderMacros::StartStopRecording() {
  Try([this] {
    if (FRecorder.GetState() == mrsStopped)
      FRecorder.RecordMacro(&FCurrentEder());
    else if (FRecorder.GetState() != mrsPlaying)
      FRecorder.Stop();
  });
}

void TEderMacros::PlayPauseResume() {
  Try([this] {
    switch (FRecorder.GetState()) {
      case mrsStopped:
        FRecorder.PlaybackMacro(&FCurrentEder());
        break;
      case mrsRecording:
        FRecorder.Pause();
        break;
      case mrsPaused:
        FRecorder.Resume();
        break;
      case mrsPlaying:
        break;
    }
  });
}

bool TEderMacros::SaveMacro(const std::string& FileName) {
  return Try([&] { FRecorder.SaveToFile(FileName); });
}

bool TEderMacros::LoadMacro(const std::string& FileName) {
  return Try([&] { FRecorder.LoadFromFile(FileName); });
}

std::string TEderMacros::MacroFolder() {
  std::filesystem::path folder =
      QStandardPaths::writableLocation(QStandardPaths::ConfigLocation).toStdString();
  folder = folder / "rideder" / "macro";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);  // a dialog still opens when this fails
  return folder.string();
}

void TEderMacros::AskSave() {
  const std::filesystem::path suggested =
      std::filesystem::path(MacroFolder()) / (FRecorder.GetMacroName() + ".mcr");
  const QString name = QFileDialog::getSaveFileName(
      FWindow, "Save Macro", QFile::decodeName(suggested.c_str()), kMacroFilter);
  if (!name.isEmpty()) SaveMacro(QFile::encodeName(name).toStdString());
}

void TEderMacros::AskLoad() {
  const QString name = QFileDialog::getOpenFileName(
      FWindow, "Load Macro", QFile::decodeName(MacroFolder().c_str()), kMacroFilter);
  if (!name.isEmpty()) LoadMacro(QFile::encodeName(name).toStdString());
}

}  // namespace rid
