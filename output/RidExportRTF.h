#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "output/RidEderExport.h"

namespace rid {

// Rich Text Format for code page 932: a font table, a colour table of the colours the text
// uses (in order of first use, from index 0), and double-byte characters as \'xx\'xx escapes.
class TRidExporterRTF : public TRidCustomExporter {
 public:
  RID_CLASS_NAME(TRidExporterRTF)
  explicit TRidExporterRTF(TComponent* AOwner);

  void Clear() override;
  std::string GetFormatName() const override { return "RTF"; }

 protected:
  void FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged,
                           TFontStyles FontStylesChanged) override;
  void FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged,
                           TFontStyles FontStylesChanged) override;
  void FormatAfterLastAttribute() override {}
  void FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                  TFontStyles FontStylesChanged) override;
  void FormatNewLine() override;
  std::string GetFooter() override { return "}"; }
  std::string GetHeader() override;
  void ReplaceMBCS(uint8_t Lead, uint8_t Trail, std::string& Out) override;
  void ReplaceLeadByteAlone(uint8_t Lead, std::string& Out) override;

 private:
  // The colour's 0-based place in the colour table; a new colour is appended.
  int32_t GetColorIndex(TColor AColor);
  std::string FontTable();

  std::vector<TColor> FColorList;
  bool FAttributesChanged = false;  // control words written since the last separating blank
};

}  // namespace rid
