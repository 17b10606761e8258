#include "output/RidEderPrinterInfo.h"

#include <algorithm>
#include <cmath>

#include "platform/Printers.h"

namespace rid {

int32_t PagePixels(double Pixels) {
  constexpr double kLimit = 1 << 20;
  if (std::isnan(Pixels)) return 0;
  return static_cast<int32_t>(std::lround(std::clamp(Pixels, -kLimit, kLimit)));
}

TRidEderPrinterInfo& TRidEderPrinterInfo::Read() {
  if (!FIsUpdated) UpdatePrinter();
  return *this;
}

void TRidEderPrinterInfo::SetResolution(int32_t X, int32_t Y) {
  FXPixPrInch = X;
  FYPixPrInch = Y;
  FXPixPrmm = static_cast<float>(X / 25.4);
  FYPixPrmm = static_cast<float>(Y / 25.4);
}

void TRidEderPrinterInfo::UpdatePrinter() {
  FIsUpdated = true;
  TPrinter& p = *Printer();
  FPhysicalWidth = p.GetDeviceCaps(PHYSICALWIDTH);
  FPhysicalHeight = p.GetDeviceCaps(PHYSICALHEIGHT);
  FPrintableWidth = p.GetPageWidth();
  FPrintableHeight = p.GetPageHeight();
  const int32_t xDpi = p.GetDeviceCaps(LOGPIXELSX), yDpi = p.GetDeviceCaps(LOGPIXELSY);
  if (FPhysicalWidth <= 0 || FPhysicalHeight <= 0 || FPrintableWidth <= 0 ||
      FPrintableHeight <= 0 || xDpi <= 0 || yDpi <= 0) {
    FillDefault();
    return;
  }
  FLeftGutter = p.GetDeviceCaps(PHYSICALOFFSETX);
  FTopGutter = p.GetDeviceCaps(PHYSICALOFFSETY);
  FRightGutter = FPhysicalWidth - FPrintableWidth - FLeftGutter;
  FBottomGutter = FPhysicalHeight - FPrintableHeight - FTopGutter;
  SetResolution(xDpi, yDpi);
}

void TRidEderPrinterInfo::FillDefault() {
  FIsUpdated = true;
  FPhysicalWidth = 2481;
  FPhysicalHeight = 3507;
  FPrintableWidth = 2358;
  FPrintableHeight = 3407;
  FLeftGutter = 65;
  FRightGutter = 58;
  FTopGutter = 50;
  FBottomGutter = 50;
  SetResolution(300, 300);
}

int32_t TRidEderPrinterInfo::PixFromLeft(double MM) {
  return PagePixels(MM * GetXPixPrmm() - FLeftGutter);
}

int32_t TRidEderPrinterInfo::PixFromRight(double MM) {
  return PagePixels(MM * GetXPixPrmm() - FRightGutter);
}

int32_t TRidEderPrinterInfo::PixFromTop(double MM) {
  return PagePixels(MM * GetYPixPrmm() - FTopGutter);
}

int32_t TRidEderPrinterInfo::PixFromBottom(double MM) {
  return PagePixels(MM * GetYPixPrmm() - FBottomGutter);
}

}  // namespace rid
