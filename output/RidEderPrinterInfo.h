#pragma once
#include <cstdint>

namespace rid {

// Pixels rounded to the nearest, kept within a range no page comes near (a million either way),
// so that sums and differences of page positions never overflow, whatever margins are set.
int32_t PagePixels(double Pixels);

// The current printer's page geometry in printer pixels, read once (UpdatePrinter reads it
// again), with millimetre conversions. A printer that reports no geometry gets A4 at 300 dpi.
class TRidEderPrinterInfo {
 public:
  // Reads the current printer (Printer()); FillDefault when it reports no page.
  void UpdatePrinter();
  void FillDefault();

  // Pixels from the printable area's edge to a distance in millimetres from the paper's edge.
  int32_t PixFromLeft(double MM);
  int32_t PixFromRight(double MM);
  int32_t PixFromTop(double MM);
  int32_t PixFromBottom(double MM);

  int32_t GetPhysicalWidth() { return Read().FPhysicalWidth; }
  int32_t GetPhysicalHeight() { return Read().FPhysicalHeight; }
  int32_t GetPrintableWidth() { return Read().FPrintableWidth; }
  int32_t GetPrintableHeight() { return Read().FPrintableHeight; }
  int32_t GetLeftGutter() { return Read().FLeftGutter; }
  int32_t GetRightGutter() { return Read().FRightGutter; }
  int32_t GetTopGutter() { return Read().FTopGutter; }
  int32_t GetBottomGutter() { return Read().FBottomGutter; }
  int32_t GetXPixPrInch() { return Read().FXPixPrInch; }
  int32_t GetYPixPrInch() { return Read().FYPixPrInch; }
  float GetXPixPrmm() { return Read().FXPixPrmm; }
  float GetYPixPrmm() { return Read().FYPixPrmm; }

 private:
  TRidEderPrinterInfo& Read();
  void SetResolution(int32_t X, int32_t Y);
  int32_t FPhysicalWidth = 0, FPhysicalHeight = 0;
  int32_t FPrintableWidth = 0, FPrintableHeight = 0;
  int32_t FLeftGutter = 0, FRightGutter = 0, FTopGutter = 0, FBottomGutter = 0;
  int32_t FXPixPrInch = 0, FYPixPrInch = 0;
  float FXPixPrmm = 0, FYPixPrmm = 0;
  bool FIsUpdated = false;
};

}  // namespace rid
