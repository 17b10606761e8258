#pragma once
#include <array>
#include <cstdint>
#include <string>

#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

class TCanvas;
class TRidEderPrinterInfo;

enum TUnitSystem { usMM, usCM, usInch, muThousandthsOfInches };

// The page margins, kept in millimetres and shown in UnitSystem; InitPage turns them into the
// pixel rectangle of one page (pixels from the printable area's corner).
class TRidEderPrintMargins : public TPersistent {
 public:
  RID_CLASS_NAME(TRidEderPrintMargins)
  TRidEderPrintMargins();

  // The ten distances, in the order AsString lists them.
  enum TItem {
    miLeft,
    miRight,
    miTop,
    miBottom,
    miHeader,
    miFooter,
    miLeftHFTextIndent,
    miRightHFTextIndent,
    miHFInternalMargin,
    miGutter,
    miCount
  };

  TUnitSystem GetUnitSystem() const { return FUnitSystem; }
  void SetUnitSystem(TUnitSystem Value) { FUnitSystem = Value; }
  // A distance in UnitSystem.
  double Get(TItem Item) const;
  void Set(TItem Item, double Value);
  double GetLeft() const { return Get(miLeft); }
  void SetLeft(double Value) { Set(miLeft, Value); }
  double GetRight() const { return Get(miRight); }
  void SetRight(double Value) { Set(miRight, Value); }
  double GetTop() const { return Get(miTop); }
  void SetTop(double Value) { Set(miTop, Value); }
  double GetBottom() const { return Get(miBottom); }
  void SetBottom(double Value) { Set(miBottom, Value); }
  double GetHeader() const { return Get(miHeader); }
  void SetHeader(double Value) { Set(miHeader, Value); }
  double GetFooter() const { return Get(miFooter); }
  void SetFooter(double Value) { Set(miFooter, Value); }
  double GetGutter() const { return Get(miGutter); }
  void SetGutter(double Value) { Set(miGutter, Value); }
  bool GetMirrorMargins() const { return FMirrorMargins; }
  void SetMirrorMargins(bool Value);

  void Assign(TPersistent* Source) override;
  // "25,15,25,25,15,15,2,2,0.5,0,0": the millimetres, then the mirror flag. Reading raises
  // EStringListError for fewer than eleven items and EConvertError for one that is no number;
  // nothing changes then.
  std::string GetAsString() const;
  void SetAsString(const std::string& Value);

  // The pixel values of page PageNum: mirrored on even pages, and with the text area after the
  // widest line number "MaxLineNum: " when numbers are printed inside it.
  void InitPage(TCanvas& ACanvas, int32_t PageNum, int32_t MaxLineNum, bool LineNumbersInMargin,
                bool LineNumbers, TRidEderPrinterInfo& PrinterInfo);

  int32_t PLeft = 0, PRight = 0, PTop = 0, PBottom = 0, PHeader = 0, PFooter = 0;
  int32_t PLeftHFTextIndent = 0, PRightHFTextIndent = 0, PHFInternalMargin = 0, PGutter = 0;

  // Fires when a distance or the mirror flag changes (the page layout is then stale).
  TNotifyEvent OnChange;

 private:
  double MM(TItem Item) const { return FValues[Item]; }
  void Changed();
  std::array<double, miCount> FValues;
  bool FMirrorMargins = false;
  TUnitSystem FUnitSystem = usMM;
};

}  // namespace rid
