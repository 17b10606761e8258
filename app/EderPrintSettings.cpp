#include "app/EderPrintSettings.h"

#include <array>
#include <map>

#include "app/EderStatus.h"
#include "platform/Locale.h"
#include "platform/Registry.h"

namespace rid {

namespace {

constexpr const char* kSettingsKey = "Software\\rideder\\Print";
// Places of a line's items, in the order the syntax lists them.
constexpr int32_t kPlaces[] = {taLeftJustify, taCenter, taRightJustify};

int32_t PlaceOf(int32_t Alignment) {
  for (int32_t i = 0; i < 3; ++i)
    if (kPlaces[i] == Alignment) return i;
  return 0;  // an alignment no version wrote prints left
}

// A print choice kept in the settings: the name of its value, how the job takes its text
// (raising when it cannot read it) and the text the job gives back.
struct TPrintSetting {
  const char* Name;
  void (*Take)(TRidEderPrint& Job, const std::string& Text);
  std::string (*Text)(TRidEderPrint& Job);
};

const TPrintSetting kPrintSettings[] = {
    {"Margin", [](TRidEderPrint& J, const std::string& T) { J.SetMargin(T); },
     [](TRidEderPrint& J) { return J.GetMargin(); }},
    {"Header", [](TRidEderPrint& J, const std::string& T) { J.GetHeader().SetAsString(T); },
     [](TRidEderPrint& J) { return J.GetHeader().GetAsString(); }},
    {"Footer", [](TRidEderPrint& J, const std::string& T) { J.GetFooter().SetAsString(T); },
     [](TRidEderPrint& J) { return J.GetFooter().GetAsString(); }},
};

// Why the value stored for Setting cannot be used, in the words of the status line, having
// given it to Job when it can be; "" then, and when there is none.
std::string TakeSetting(TRegistry& Reg, const TPrintSetting& Setting, TRidEderPrint& Job) {
  if (std::string why = NotTextReason(Reg, Setting.Name); !why.empty()) return why;
  if (Reg.GetDataType(Setting.Name) != rdString) return {};
  try {
    Setting.Take(Job, Reg.ReadString(Setting.Name));
  } catch (const Exception&) {
    return "cannot be read";
  }
  return {};
}

std::string Said(const TPrintSetting& Setting, const std::string& Why) {
  return std::string("Print \"") + Setting.Name + "\" " + Why;
}

}  // namespace

void SetHeaderFooterLines(THeaderFooter& Part, const std::vector<std::string>& Utf8Lines) {
  // "|" is split in UTF-8, where it is never part of a character (in Shift-JIS it can be).
  std::vector<std::array<std::string, 3>> lines;
  for (const std::string& line : Utf8Lines) {
    if (line.empty()) continue;
    std::array<std::string, 3>& items = lines.emplace_back();
    size_t start = 0;
    for (int32_t place = 0;; ++place) {
      const size_t bar = line.find('|', start);
      if (place == 2 && bar != std::string::npos)
        throw EConvertError("a header or footer line has at most three items: \"" + line + "\"");
      items[place] = Utf8ToSjis(line.substr(start, bar - start));
      if (bar == std::string::npos) break;
      start = bar + 1;
    }
  }
  Part.Clear();
  for (size_t i = 0; i < lines.size(); ++i)
    for (int32_t place = 0; place < 3; ++place)
      if (!lines[i][place].empty())
        Part.Add(lines[i][place], nullptr, kPlaces[place], static_cast<int32_t>(i) + 1);
}

std::vector<std::string> HeaderFooterLines(THeaderFooter& Part) {
  std::map<int32_t, std::array<std::string, 3>> lines;
  for (int32_t i = 0; i < Part.Count(); ++i) {
    THeaderFooterItem& item = Part.Get(i);
    std::string& place = lines[item.GetLineNumber()][PlaceOf(item.GetAlignment())];
    place += (place.empty() ? "" : " ") + SjisToUtf8(item.GetText());
  }
  std::vector<std::string> out;
  for (const auto& [number, items] : lines) {
    std::string line = items[0];
    if (!items[1].empty() || !items[2].empty()) line += "|" + items[1];
    if (!items[2].empty()) line += "|" + items[2];
    out.push_back(line);
  }
  return out;
}

std::vector<std::string> LoadPrintSettings(TRidEderPrint& Job) {
  SetHeaderFooterLines(Job.GetHeader(), {kDefaultHeaderLine});
  TRegistry reg;
  if (!reg.OpenKeyReadOnly(kSettingsKey)) return {};
  std::vector<std::string> problems;
  for (const TPrintSetting& setting : kPrintSettings)
    if (const std::string why = TakeSetting(reg, setting, Job); !why.empty())
      problems.push_back(Said(setting, why) + ": the default is used");
  return problems;
}

std::string SavePrintSettings(TRidEderPrint& Job) {
  std::string said;
  try {
    TRegistry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return {};
    TRidEderPrint scratch(nullptr);  // tries what is stored
    for (const TPrintSetting& setting : kPrintSettings) {
      if (const std::string why = TakeSetting(reg, setting, scratch); !why.empty())
        said += (said.empty() ? "" : "; ") + Said(setting, why) +
                ": its line is kept as written, and the choice holds for this run only";
      else
        reg.WriteString(setting.Name, setting.Text(Job));
    }
    reg.CloseKey();
  } catch (const std::exception& e) {
    said += (said.empty() ? "" : "; ") + std::string("Settings not saved: ") + e.what();
  }
  return said;
}

}  // namespace rid
