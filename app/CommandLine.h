#pragma once
// The command-line modes: rideder --MODE TARGET [OPTIONS] FILE, run without a window.
//
// How a mode plugs in:
//  1. Write its runner, `int RunExportRtf(TCliJob& Job)`, in a file of its own in app/, and
//     declare it at the end of this header with the others.
//  2. Add one row to CliModes() in CommandLine.cpp: the mode's option ("--export-rtf"), what its
//     argument is called in the usage text ("OUT.rtf"), the options only it takes, the runner.
// The parser accepts only the shared options (--title, --font, --attr) and the mode's own, so a
// runner reads its options by name without checking them again. Before the runner starts, FILE
// has been read and coloured as the window does, --attr applied to its highlighter and the title
// chosen, and an OUT that cannot be written, or that is FILE itself, has been refused. A
// runner returns the exit code (0), raises ECliUsage for a bad option value (exit 2) and any
// other exception for a failure (exit 1); the message names what failed. A runner writes its
// output with TCliJob::WriteOutput: whole or not at all (SaveBytesToFileAtomic, as the
// window saves), so an older output stays on a failure; "-" writes to standard output, and
// then what the runner reports goes to standard error (TCliJob::Report).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/EderPage.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"

namespace rid {

// A command line that does not say what to do: exit status 2.
class ECliUsage : public Exception {
 public:
  using Exception::Exception;
};

struct TCliOption {
  std::string_view Name;       // "--title"
  std::string_view ValueName;  // "TEXT" in the usage text; empty for a switch
};

class TCliJob;
struct TCliMode {
  std::string_view Name;            // "--print-pdf"
  std::string_view Target;          // "OUT.pdf": the mode's argument in the usage text
  std::vector<TCliOption> Options;  // besides the shared ones
  int (*Run)(TCliJob& Job) = nullptr;
  bool TargetIsFile = true;  // false: a name of something else (a printer queue)
};

// The OUT that stands for standard output.
inline constexpr std::string_view kStandardOutput = "-";

// The options of one command line in the order given; a repeated option keeps every value.
class TCliArgs {
 public:
  const TCliMode* Mode = nullptr;
  std::string Target;
  std::string File;

  void Add(std::string_view Name, std::string Value) { FItems.emplace_back(Name, Value); }
  bool Has(std::string_view Name) const;
  // The last value given, or Default.
  std::string Value(std::string_view Name, std::string_view Default = {}) const;
  // Every value given, in order.
  std::vector<std::string> Values(std::string_view Name) const;
  // A decimal value in Min..Max, or Default when not given; ECliUsage otherwise.
  int32_t Int(std::string_view Name, int32_t Default, int32_t Min, int32_t Max) const;

 private:
  std::vector<std::pair<std::string, std::string>> FItems;
};

// The modes the program knows.
const std::vector<TCliMode>& CliModes();
// Whether the program's arguments (without its name) ask for a command-line mode.
bool IsCliCommand(const std::vector<std::string>& Args);
// Args without the program's name; ECliUsage for anything the modes do not take.
TCliArgs ParseCliArgs(const std::vector<std::string>& Args, const std::vector<TCliMode>& Modes);
// Refuses, before FILE is read, what the mode could not do: FILE "-" (standard input is not
// read) or an OUT that is FILE itself (ECliUsage), an OUT that cannot be replaced (its
// EFCreateError: not a regular file, read-only, or a folder that takes no file).
void CheckCliFiles(const TCliArgs& Args);
// The usage text of the modes.
std::string CliUsage(const std::vector<TCliMode>& Modes);

// A mode's work: its options and FILE, loaded.
class TCliJob {
 public:
  // Checks the shared options (ECliUsage), reads FILE (raises its read error) and applies them.
  explicit TCliJob(TCliArgs AArgs);
  const TCliArgs& Args() const { return FArgs; }
  TEderPage& Page() { return *FPage; }
  // --title, or the file's name without folder and extension; Shift-JIS.
  const std::string& Title() const { return FTitle; }
  // Gives Font the name and size --font asks for; leaves it alone without --font.
  void ApplyFont(TFont& Font) const;
  // Writes the mode's output to OUT, or to standard output for "-". What of OUT's privileges the
  // save could not keep (file capabilities, set-ID bits) is told on standard error.
  void WriteOutput(std::string_view Bytes) const;
  // Where the mode reports (pages=N): standard output, unless the output itself goes there.
  std::FILE* Report() const;

 private:
  void ApplyAttributes();
  TCliArgs FArgs;
  std::unique_ptr<TEderHighlighters> FHighlighters;  // outlives the page that uses one
  std::unique_ptr<TEderPage> FPage;
  std::string FTitle;
  std::string FFontName;  // Shift-JIS; empty without --font
  int32_t FFontPoints = 0;
};

// The program's entry for a command-line mode: parses, loads, runs; returns the exit status.
int RunCommandLine(int argc, char** argv);

// A decimal number with an optional sign, the whole text.
bool ParseCliInt(std::string_view Text, int32_t& Value);
// Two such numbers joined by Separator ("1-3", "800x600").
bool ParseCliPair(std::string_view Text, char Separator, int32_t& A, int32_t& B);

// The modes' own options and runners.
const std::vector<TCliOption>& PrintCliOptions();
const std::vector<TCliOption>& PreviewCliOptions();
int RunPrintPdf(TCliJob& Job);
int RunPrintQueue(TCliJob& Job);
int RunPreviewPng(TCliJob& Job);
int RunExportRtf(TCliJob& Job);
int RunExportHtml(TCliJob& Job);

}  // namespace rid
