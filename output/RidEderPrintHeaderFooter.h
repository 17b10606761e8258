#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace rid {

class TRidEderPrintMargins;

enum class TFrameType { ftLine, ftBox, ftShaded };
using enum TFrameType;
using TFrameTypes = TSet<TFrameType, 3>;

enum THeaderFooterType { hftHeader, hftFooter };

// Item alignments.
constexpr int32_t taLeftJustify = 0;
constexpr int32_t taRightJustify = 1;
constexpr int32_t taCenter = 2;

// Upper-case roman numerals; 0 gives an empty text.
std::string IntToRoman(int32_t Value);

// One text of a header or footer, on a line of its own numbering, with its own font.
class THeaderFooterItem {
 public:
  THeaderFooterItem() = default;
  const std::string& GetText() const { return FText; }
  void SetText(const std::string& Value) { FText = Value; }
  // The text with its macros ($PAGENUM$, $PAGECOUNT$, $TITLE$, $DATE$, $TIME$, $DATETIME$,
  // $TIMEDATE$, in any case) replaced; empty for a text of blanks.
  std::string GetText(int32_t NumPages, int32_t PageNum, bool Roman, const std::string& Title,
                      const std::string& ATime, const std::string& ADate) const;
  TFont& GetFont() { return FFont; }
  const TFont& GetFont() const { return FFont; }
  int32_t GetLineNumber() const { return FLineNumber; }
  void SetLineNumber(int32_t Value) { FLineNumber = Value; }
  int32_t GetAlignment() const { return FAlignment; }
  void SetAlignment(int32_t Value) { FAlignment = Value; }
  int32_t GetIndex() const { return FIndex; }

  // Eleven fields joined by "/": text, charset, colour, height, name, pitch, pixels per inch,
  // size, style, line number, alignment (text and name escaped).
  std::string GetAsString() const;
  // A field that is no number keeps Defaults' value (0 for size, line and alignment), and so
  // do a resolution and a size beyond 10000.
  void SetAsString(const std::string& Value, const TFont& Defaults);

 private:
  friend class THeaderFooter;
  std::string FText;
  TFont FFont;
  int32_t FLineNumber = 1;
  int32_t FAlignment = taLeftJustify;
  int32_t FIndex = 0;
};

// The header or footer of a printed page: items on one or more lines, left, right or centred,
// optionally framed; AsString keeps the items as one settings text.
class THeaderFooter : public TPersistent {
 public:
  RID_CLASS_NAME(THeaderFooter)
  ~THeaderFooter() override;

  // Appends an item with a copy of AFont (DefaultFont when null); returns its index.
  int32_t Add(const std::string& Text, TFont* AFont, int32_t Alignment, int32_t LineNumber);
  void Clear();
  int32_t Count() const { return static_cast<int32_t>(FItems.size()); }
  THeaderFooterItem& Get(int32_t Index) { return *FItems.at(Index); }
  void Assign(TPersistent* Source) override;
  std::string GetAsString();
  void SetAsString(const std::string& Value);

  THeaderFooterType GetType() const { return FType; }
  TFrameTypes GetFrameTypes() const { return FFrameTypes; }
  void SetFrameTypes(TFrameTypes Value) { FFrameTypes = Value; }
  TColor GetShadedColor() const { return FShadedColor; }
  void SetShadedColor(TColor Value) { FShadedColor = Value; }
  TColor GetLineColor() const { return FLineColor; }
  void SetLineColor(TColor Value) { FLineColor = Value; }
  TFont& GetDefaultFont() { return FDefaultFont; }
  void SetDefaultFont(TFont& Value) { FDefaultFont.Assign(&Value); }
  bool GetRomanNumbers() const { return FRomanNumbers; }
  void SetRomanNumbers(bool Value) { FRomanNumbers = Value; }
  bool GetMirrorPosition() const { return FMirrorPosition; }
  void SetMirrorPosition(bool Value) { FMirrorPosition = Value; }

  // Once per job: fixes the date and time, sorts the items by line and measures the lines.
  void InitPrint(TCanvas& ACanvas, int32_t NumPages, const std::string& Title,
                 TRidEderPrintMargins* Margins);
  // Draws the frame and the items of page PageNum inside the margins given to InitPrint.
  void Print(TCanvas& ACanvas, int32_t PageNum);
  // Every item font at this resolution, keeping its point size.
  void SetPixelsPerInch(int32_t Value);
  // The height of the frame in pixels after InitPrint; -1 without items.
  int32_t GetFrameHeight() const { return FFrameHeight; }

 protected:
  explicit THeaderFooter(THeaderFooterType AType);

 private:
  struct TLineInfo {
    int32_t LineHeight = 0;
    int32_t MaxBaseLine = 0;
  };
  // One line record per distinct line number in list order; items renumbered 1, 2, ...
  void FixLines();
  void CalcHeight(TCanvas& ACanvas);
  void DrawFrame(TCanvas& ACanvas);
  int32_t ItemX(TCanvas& ACanvas, const THeaderFooterItem& Item, const std::string& Text,
                int32_t PageNum) const;
  THeaderFooterType FType;
  TFrameTypes FFrameTypes{ftLine};
  TColor FShadedColor = clSilver;
  TColor FLineColor = clBlack;
  TFont FDefaultFont;
  bool FRomanNumbers = false;
  bool FMirrorPosition = false;
  std::vector<std::unique_ptr<THeaderFooterItem>> FItems;
  std::vector<TLineInfo> FLineInfo;
  int32_t FFrameHeight = -1;
  int32_t FNumPages = 0;
  TRidEderPrintMargins* FMargins = nullptr;
  std::string FTitle, FDate, FTime;
};

class THeader : public THeaderFooter {
 public:
  RID_CLASS_NAME(THeader)
  THeader() : THeaderFooter(hftHeader) {}
};

class TFooter : public THeaderFooter {
 public:
  RID_CLASS_NAME(TFooter)
  TFooter() : THeaderFooter(hftFooter) {}
};

}  // namespace rid
