#include "output/RidEderPrintMargins.h"

#include <charconv>
#include <cmath>
#include <string_view>
#include <vector>

#include "output/RidEderPrinterInfo.h"
#include "platform/Graphics.h"

namespace rid {

namespace {

constexpr std::array<double, TRidEderPrintMargins::miCount> kDefaults = {25, 15, 25, 25,  15,
                                                                         15, 2,  2,  0.5, 0};

// Millimetres per unit of each unit system.
constexpr double kUnitMM[] = {1.0, 10.0, 25.4, 25.4 / 1000};

// The shortest general text (at most 15 digits, as the settings were always written), with a
// point whatever the locale.
std::string FloatText(double Value) {
  char buf[32];
  const auto r = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::general, 15);
  return std::string(buf, r.ptr);
}

double ParseFloat(std::string_view Text) {
  std::string_view v = Text;
  while (!v.empty() && static_cast<uint8_t>(v.front()) <= ' ') v.remove_prefix(1);
  while (!v.empty() && static_cast<uint8_t>(v.back()) <= ' ') v.remove_suffix(1);
  if (v.starts_with('+')) v.remove_prefix(1);
  double value = 0;
  const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), value);
  if (v.empty() || ec != std::errc() || end != v.data() + v.size() || !std::isfinite(value))
    throw EConvertError("'" + std::string(Text) + "' is not a valid floating point value");
  return value;
}

std::vector<std::string_view> SplitCommas(std::string_view Text) {
  std::vector<std::string_view> items;
  for (;;) {
    const size_t comma = Text.find(',');
    items.push_back(Text.substr(0, comma));
    if (comma == std::string_view::npos) return items;
    Text.remove_prefix(comma + 1);
  }
}

}  // namespace

TRidEderPrintMargins::TRidEderPrintMargins() : FValues(kDefaults) {}

double TRidEderPrintMargins::Get(TItem Item) const { return FValues[Item] / kUnitMM[FUnitSystem]; }

void TRidEderPrintMargins::Set(TItem Item, double Value) {
  const double mm = Value * kUnitMM[FUnitSystem];
  if (FValues[Item] == mm) return;
  FValues[Item] = mm;
  Changed();
}

void TRidEderPrintMargins::SetMirrorMargins(bool Value) {
  if (FMirrorMargins == Value) return;
  FMirrorMargins = Value;
  Changed();
}

void TRidEderPrintMargins::Changed() {
  if (OnChange) OnChange(this);
}

void TRidEderPrintMargins::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidEderPrintMargins*>(Source);
  if (!src) return TPersistent::Assign(Source);
  const bool changed = FValues != src->FValues || FMirrorMargins != src->FMirrorMargins;
  FValues = src->FValues;
  FMirrorMargins = src->FMirrorMargins;
  FUnitSystem = src->FUnitSystem;
  if (changed) Changed();
}

std::string TRidEderPrintMargins::GetAsString() const {
  std::string s;
  for (double v : FValues) s += FloatText(v) + ",";
  return s + (FMirrorMargins ? "1" : "0");
}

void TRidEderPrintMargins::SetAsString(const std::string& Value) {
  const auto items = SplitCommas(Value);
  if (items.size() < miCount + 1)
    throw EStringListError(FormatStr(SListIndexError, static_cast<int>(items.size())));
  std::array<double, miCount> values;
  for (size_t i = 0; i < values.size(); ++i) values[i] = ParseFloat(items[i]);
  const bool mirror = items[miCount] == "1";
  if (values == FValues && mirror == FMirrorMargins) return;
  FValues = values;
  FMirrorMargins = mirror;
  Changed();
}

void TRidEderPrintMargins::InitPage(TCanvas& ACanvas, int32_t PageNum, int32_t MaxLineNum,
                                    bool LineNumbersInMargin, bool LineNumbers,
                                    TRidEderPrinterInfo& PrinterInfo) {
  TRidEderPrinterInfo& pi = PrinterInfo;
  if (FMirrorMargins && PageNum % 2 == 0) {
    PLeft = pi.PixFromLeft(MM(miRight));
    PRight = pi.GetPrintableWidth() - pi.PixFromRight(MM(miLeft) + MM(miGutter));
  } else {
    PLeft = pi.PixFromLeft(MM(miLeft) + MM(miGutter));
    PRight = pi.GetPrintableWidth() - pi.PixFromRight(MM(miRight));
  }
  if (LineNumbers && !LineNumbersInMargin)
    PLeft += ACanvas.TextWidth(std::to_string(MaxLineNum) + ": ");
  PTop = pi.PixFromTop(MM(miTop));
  PBottom = pi.GetPrintableHeight() - pi.PixFromBottom(MM(miBottom));
  PHeader = pi.PixFromTop(MM(miHeader));
  PFooter = pi.GetPrintableHeight() - pi.PixFromBottom(MM(miFooter));
  const auto px = [](float PerMM, double MMs) { return PagePixels(PerMM * MMs); };
  PHFInternalMargin = px(pi.GetYPixPrmm(), MM(miHFInternalMargin));
  PGutter = px(pi.GetXPixPrmm(), MM(miGutter));
  PRightHFTextIndent = PRight - px(pi.GetXPixPrmm(), MM(miRightHFTextIndent));
  PLeftHFTextIndent = PLeft + px(pi.GetXPixPrmm(), MM(miLeftHFTextIndent));
}

}  // namespace rid
