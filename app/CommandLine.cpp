#include "app/CommandLine.h"

#include <sys/stat.h>

#include <QApplication>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/Locale.h"

namespace rid {

namespace {

const std::vector<TCliOption> SharedOptions = {
    {"--title", "TEXT"},
    {"--font", "NAME:POINTS"},
    {"--attr", "'NAME:FG:BG:STYLES'"},
};

const TCliOption* FindOption(const TCliMode& Mode, std::string_view Name) {
  for (const auto* list : {&SharedOptions, &Mode.Options}) {
    for (const TCliOption& o : *list) {
      if (o.Name == Name) return &o;
    }
  }
  return nullptr;
}

bool IsOptionLike(std::string_view Arg) { return Arg.size() > 2 && Arg.starts_with("--"); }

// A usage error quoting the value at fault.
[[noreturn]] void Bad(std::string_view What, std::string_view Value) {
  throw ECliUsage(std::string(What) + ": \"" + std::string(Value) + "\"");
}

// "#RRGGBB" as a colour; empty for none.
TColor ParseColor(std::string_view Text, std::string_view Spec) {
  if (Text.empty()) return clNone;
  uint32_t rgb = 0;
  const char* first = Text.data() + 1;
  const char* last = Text.data() + Text.size();
  const auto [end, ec] = std::from_chars(first, last, rgb, 16);
  if (Text.size() != 7 || Text[0] != '#' || ec != std::errc() || end != last) {
    Bad("--attr colour is not #RRGGBB", Spec);
  }
  return static_cast<TColor>(((rgb & 0xFF) << 16) | (rgb & 0xFF00) | ((rgb >> 16) & 0xFF));
}

constexpr std::pair<char, TFontStyle> StyleLetters[] = {
    {'b', fsBold}, {'i', fsItalic}, {'u', fsUnderline}, {'s', fsStrikeOut}};

TFontStyles ParseStyles(std::string_view Text, std::string_view Spec) {
  TFontStyles styles;
  for (char c : Text) {
    const auto* s = std::find_if(std::begin(StyleLetters), std::end(StyleLetters),
                                 [c](const auto& l) { return l.first == c; });
    if (s == std::end(StyleLetters)) Bad("--attr styles are letters of \"bius\"", Spec);
    styles.Include(s->second);
  }
  return styles;
}

// Cuts Text at its last Count colons (a name may hold colons itself): Count + 1 pieces.
std::vector<std::string_view> SplitFromRight(std::string_view Text, size_t Count) {
  std::vector<std::string_view> parts(Count + 1);
  for (size_t i = Count; i > 0; --i) {
    const size_t colon = Text.rfind(':');
    if (colon == std::string_view::npos) return {};
    parts[i] = Text.substr(colon + 1);
    Text = Text.substr(0, colon);
  }
  parts[0] = Text;
  return parts;
}

TRidHighlighterAttributes* FindAttribute(TRidCustomHighlighter* Highlighter,
                                         std::string_view Name) {
  if (!Highlighter) return nullptr;
  for (int32_t i = 0; i < Highlighter->GetAttribCount(); ++i) {
    TRidHighlighterAttributes* a = Highlighter->GetAttribute(i);
    if (a && AnsiSameText(a->GetName(), Name)) return a;
  }
  return nullptr;
}

}  // namespace

bool ParseCliInt(std::string_view Text, int32_t& Value) {
  if (Text.starts_with('+')) Text.remove_prefix(1);
  const auto [end, ec] = std::from_chars(Text.data(), Text.data() + Text.size(), Value);
  return ec == std::errc() && end == Text.data() + Text.size() && !Text.empty();
}

bool ParseCliPair(std::string_view Text, char Separator, int32_t& A, int32_t& B) {
  const size_t sep = Text.find(Separator, 1);
  return sep != std::string_view::npos && ParseCliInt(Text.substr(0, sep), A) &&
         ParseCliInt(Text.substr(sep + 1), B);
}

bool TCliArgs::Has(std::string_view Name) const {
  return std::any_of(FItems.begin(), FItems.end(), [&](const auto& i) { return i.first == Name; });
}

std::string TCliArgs::Value(std::string_view Name, std::string_view Default) const {
  for (auto i = FItems.rbegin(); i != FItems.rend(); ++i) {
    if (i->first == Name) return i->second;
  }
  return std::string(Default);
}

std::vector<std::string> TCliArgs::Values(std::string_view Name) const {
  std::vector<std::string> values;
  for (const auto& i : FItems) {
    if (i.first == Name) values.push_back(i.second);
  }
  return values;
}

int32_t TCliArgs::Int(std::string_view Name, int32_t Default, int32_t Min, int32_t Max) const {
  if (!Has(Name)) return Default;
  const std::string text = Value(Name);
  int32_t value = 0;
  if (!ParseCliInt(text, value) || value < Min || value > Max) {
    Bad(std::string(Name) + " takes a number from " + std::to_string(Min) + " to " +
            std::to_string(Max),
        text);
  }
  return value;
}

const std::vector<TCliMode>& CliModes() {
  static const std::vector<TCliMode> modes = {
      {"--print-pdf", "OUT.pdf", PrintCliOptions(), RunPrintPdf},
      {"--print", "QUEUE", PrintCliOptions(), RunPrintQueue, false},
      {"--preview-png", "OUT.png", PreviewCliOptions(), RunPreviewPng},
      {"--export-rtf", "OUT.rtf", {{"--background", ""}}, RunExportRtf},
      {"--export-html", "OUT.html", {{"--fragment", ""}, {"--background", ""}}, RunExportHtml},
  };
  return modes;
}

bool IsCliCommand(const std::vector<std::string>& Args) {
  return !Args.empty() && IsOptionLike(Args[0]);
}

TCliArgs ParseCliArgs(const std::vector<std::string>& Args, const std::vector<TCliMode>& Modes) {
  TCliArgs parsed;
  if (Args.empty()) throw ECliUsage("no mode given");
  for (const TCliMode& m : Modes) {
    if (m.Name == Args[0]) parsed.Mode = &m;
  }
  if (!parsed.Mode) Bad("unknown mode", Args[0]);
  if (Args.size() < 2 || Args[1].empty()) {
    throw ECliUsage(std::string(Args[0]) + " needs " + std::string(parsed.Mode->Target));
  }
  parsed.Target = Args[1];
  bool optionsEnded = false;
  bool haveFile = false;
  for (size_t i = 2; i < Args.size(); ++i) {
    const std::string& arg = Args[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
    } else if (!optionsEnded && IsOptionLike(arg)) {
      const TCliOption* option = FindOption(*parsed.Mode, arg);
      if (!option) Bad(std::string(parsed.Mode->Name) + " takes no option", arg);
      if (option->ValueName.empty()) {
        parsed.Add(option->Name, {});
      } else {
        if (i + 1 >= Args.size()) throw ECliUsage(arg + " needs " + std::string(option->ValueName));
        parsed.Add(option->Name, Args[++i]);
      }
    } else {
      if (haveFile) Bad("more than one FILE", arg);
      parsed.File = arg;
      haveFile = true;
    }
  }
  if (!haveFile || parsed.File.empty()) throw ECliUsage("no FILE given");
  return parsed;
}

void CheckCliFiles(const TCliArgs& Args) {
  if (Args.File == kStandardOutput)
    throw ECliUsage(
        "FILE is a file's name; standard input (\"-\") is not read: name ./- for a "
        "file called -");
  if (!Args.Mode->TargetIsFile || Args.Target == kStandardOutput) return;
  struct stat in, out;
  if (::stat(Args.File.c_str(), &in) == 0 && ::stat(Args.Target.c_str(), &out) == 0 &&
      in.st_dev == out.st_dev && in.st_ino == out.st_ino)
    throw ECliUsage(std::string(Args.Mode->Name) + " " + Args.Target + " would replace FILE " +
                    Args.File + " itself");
  CheckCanReplaceFile(Args.Target);
}

std::string CliUsage(const std::vector<TCliMode>& Modes) {
  std::string text =
      "usage: rideder [FILE...]\n       rideder --highlighter FILE...\n       rideder --version\n";
  // Options in brackets, wrapped under their heading.
  auto options = [&](const std::vector<TCliOption>& List) {
    size_t column = 99;
    for (const TCliOption& o : List) {
      std::string item = "[" + std::string(o.Name);
      if (!o.ValueName.empty()) item += " " + std::string(o.ValueName);
      item += "]";
      if (column + item.size() > 96) {
        text += "\n         ";
        column = 9;
      }
      text += " " + item;
      column += item.size() + 1;
    }
  };
  for (const TCliMode& m : Modes) {
    text +=
        "       rideder " + std::string(m.Name) + " " + std::string(m.Target) + " [OPTIONS] FILE";
    options(m.Options);
    text += "\n";
  }
  text += "OUT may be - (standard output). OPTIONS of every mode:";
  options(SharedOptions);
  return text + "\n";
}

TCliJob::TCliJob(TCliArgs AArgs)
    : FArgs(std::move(AArgs)), FHighlighters(std::make_unique<TEderHighlighters>()) {
  if (FArgs.Has("--font")) {
    const std::string spec = FArgs.Value("--font");
    const auto parts = SplitFromRight(spec, 1);
    if (parts.empty() || parts[0].empty() || !ParseCliInt(parts[1], FFontPoints) ||
        FFontPoints < 1 || FFontPoints > 1000) {
      Bad("--font takes NAME:POINTS", spec);
    }
    FFontName = Utf8ToSjis(parts[0]);
  }
  FPage = LoadPage(FArgs.File, *FHighlighters);  // its errors name the file
  if (const std::string warning = ConversionWarning(*FPage); !warning.empty())
    std::fprintf(stderr, "rideder: warning: %s\n", warning.c_str());
  FTitle = FArgs.Has("--title") ? Utf8ToSjis(FArgs.Value("--title")) : DocumentTitle(FArgs.File);
  ApplyAttributes();
}

void TCliJob::ApplyAttributes() {
  for (const std::string& spec : FArgs.Values("--attr")) {
    const auto parts = SplitFromRight(spec, 3);
    if (parts.empty()) Bad("--attr takes 'NAME:FG:BG:STYLES'", spec);
    TRidHighlighterAttributes* attr = FindAttribute(FPage->Highlighter, parts[0]);
    if (!attr) Bad("--attr names no attribute of the file's highlighter", spec);
    attr->SetForeground(ParseColor(parts[1], spec));
    attr->SetBackground(ParseColor(parts[2], spec));
    attr->SetStyle(ParseStyles(parts[3], spec));
  }
}

void TCliJob::ApplyFont(TFont& Font) const {
  if (FFontName.empty()) return;
  Font.SetName(FFontName);
  Font.SetSize(FFontPoints);
}

void TCliJob::WriteOutput(std::string_view Bytes) const {
  if (FArgs.Target != kStandardOutput) {
    const TSavedFile saved =
        SaveToFileAtomic(FArgs.Target, [Bytes](TStream& Out) { Out.WriteBuffer(Bytes); });
    if (!saved.Dropped.empty())
      std::fprintf(stderr, "rideder: warning: \"%s\": %s\n", FArgs.Target.c_str(),
                   saved.DroppedText().c_str());
    return;
  }
  if (std::fwrite(Bytes.data(), 1, Bytes.size(), stdout) != Bytes.size() || std::fflush(stdout))
    throw Exception(std::string("cannot write to standard output: ") + std::strerror(errno));
}

std::FILE* TCliJob::Report() const { return FArgs.Target == kStandardOutput ? stderr : stdout; }

int RunCommandLine(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args[0] == "--help") {
    std::fputs(CliUsage(CliModes()).c_str(), stdout);
    return 0;
  }
  TCliArgs parsed;
  try {
    parsed = ParseCliArgs(args, CliModes());
  } catch (const ECliUsage& e) {
    std::fprintf(stderr, "rideder: %s\n%s", e.what(), CliUsage(CliModes()).c_str());
    return 2;
  }
  // No window is ever shown, so no display is needed; the pages come out the same everywhere.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // Every failure is told in our words, with its reason; Qt's own notes would only confuse.
  qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
  int qtArgc = 1;  // Qt reads none of our options
  QApplication app(qtArgc, argv);
  const std::string_view mode = parsed.Mode->Name;
  try {
    CheckCliFiles(parsed);
    TCliJob job(std::move(parsed));
    return job.Args().Mode->Run(job);
  } catch (const ECliUsage& e) {
    std::fprintf(stderr, "rideder: %s\n", e.what());
    return 2;
  } catch (const std::bad_alloc&) {
    // Reading and converting the file say so naming it (EOutOfMemory): this is the work after.
    std::fprintf(stderr, "rideder: not enough memory for %.*s\n", int(mode.size()), mode.data());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "rideder: %s\n", e.what());
    return 1;
  }
}

}  // namespace rid
