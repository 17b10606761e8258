#include "app/EderPrintSettings.h"

#include <array>
#include <functional>
#include <map>

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
  const auto take = [&](const char* Name, const std::function<void(const std::string&)>& Use) {
    const std::string said = std::string("Print \"") + Name + "\" ";
    switch (reg.GetDataType(Name)) {
      case rdUnknown:
        return;
      case rdInteger:
        problems.push_back(said + "is a number: the default is used");
        return;
      case rdString:
        break;
    }
    try {
      Use(reg.ReadString(Name));
    } catch (const Exception&) {
      problems.push_back(said + "cannot be read: the default is used");
    }
  };
  take("Margin", [&](const std::string& Text) { Job.SetMargin(Text); });
  take("Header", [&](const std::string& Text) { Job.GetHeader().SetAsString(Text); });
  take("Footer", [&](const std::string& Text) { Job.GetFooter().SetAsString(Text); });
  return problems;
}

std::string SavePrintSettings(TRidEderPrint& Job) {
  try {
    TRegistry reg;
    if (!reg.OpenKey(kSettingsKey, true)) return {};
    const auto store = [&](const char* Name, const std::string& Text) {
      if (reg.GetDataType(Name) != rdInteger) reg.WriteString(Name, Text);
    };
    store("Margin", Job.GetMargin());
    store("Header", Job.GetHeader().GetAsString());
    store("Footer", Job.GetFooter().GetAsString());
    reg.CloseKey();
  } catch (const std::exception& e) {
    return std::string("Settings not saved: ") + e.what();
  }
  return {};
}

}  // namespace rid
