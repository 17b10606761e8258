#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "editor/RidEderHighlighter.h"
#include "platform/Classes.h"
#include "platform/Graphics.h"
#include "platform/Types.h"

namespace rid {

// The base of the exporters: runs a highlighter over lines, escapes each token, reports every
// change of colour or style to the format hooks, and puts the format's header in front of the
// body and its footer behind it. The document stays in memory until the next export or Clear.
class TRidCustomExporter : public TComponent {
 public:
  RID_CLASS_NAME(TRidCustomExporter)
  explicit TRidCustomExporter(TComponent* AOwner);
  ~TRidCustomExporter() override;

  // The whole text. An empty text (no lines, or one empty line) gives the header and footer
  // around an empty body.
  void ExportAll(TStrings* ALines);
  // From Start to Stop (1-based column X and line Y; Stop's column is not exported), clipped to
  // the text; a start before the first line counts as (1, 1). Missing lines or highlighter, or
  // an empty range, end in the silent EAbort, and the buffer is left empty rather than holding
  // the previous document.
  void ExportRange(TStrings* ALines, TPoint Start, TPoint Stop);
  // The document, replacing FileName atomically.
  void SaveToFile(const std::string& FileName);
  virtual void Clear();

  std::string_view GetBuffer() const { return FBuffer; }
  int32_t GetBufferSize() const { return static_cast<int32_t>(FBuffer.size()); }

  virtual uint32_t GetClipboardFormat() const { return FClipboardFormat; }
  virtual std::string GetFormatName() const { return {}; }

  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value) { FColor = Value; }
  const std::string& GetDefaultFilter() const { return FDefaultFilter; }
  void SetDefaultFilter(const std::string& Value) { FDefaultFilter = Value; }
  bool GetExportAsText() const { return FExportAsText; }
  void SetExportAsText(bool Value);
  TFont* GetFont() const { return FFont.get(); }
  // Null restores the default font (Courier New, 10 points, window text colour).
  void SetFont(const TFont* Value);
  TRidCustomHighlighter* GetHighlighter() const { return FHighlighter; }
  void SetHighlighter(TRidCustomHighlighter* Value);
  const std::string& GetTitle() const { return FTitle; }
  // An empty title restores "Untitled".
  void SetTitle(const std::string& Value);
  bool GetUseBackground() const { return FUseBackground; }
  void SetUseBackground(bool Value);

 protected:
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The format hooks. Colours of the token being formatted are in FLastBackground and
  // FLastForeground (RGB) when Init runs.
  virtual void FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged,
                                   TFontStyles FontStylesChanged) = 0;
  virtual void FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged,
                                   TFontStyles FontStylesChanged) = 0;
  virtual void FormatAfterLastAttribute() = 0;
  virtual void FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                          TFontStyles FontStylesChanged) = 0;
  virtual void FormatToken(std::string_view Token) { AddData(Token); }
  virtual void FormatNewLine() = 0;
  virtual std::string GetFooter() = 0;
  virtual std::string GetHeader() = 0;
  // Appends the form of a double-byte character (base: its two bytes).
  virtual void ReplaceMBCS(uint8_t Lead, uint8_t Trail, std::string& Out);
  // Appends the form of a lead byte without a trail byte after it (base: the byte itself).
  virtual void ReplaceLeadByteAlone(uint8_t Lead, std::string& Out);
  // A null attribute (a token kind without one) is the font colour on Color, no style.
  virtual void SetTokenAttribute(TRidHighlighterAttributes* Attri);

  void AddData(std::string_view Text) { FBuffer += Text; }
  void AddNewLine() { FBuffer += "\r\n"; }
  // Puts Text in front of what the buffer holds.
  void InsertData(std::string_view Text) { FBuffer.insert(0, Text); }
  // Token text with the table's replacements; a double-byte character is taken whole, so a
  // trail byte never meets the table.
  std::string ReplaceReservedChars(std::string_view Token);
  void ReplaceReservedChars(std::string_view Token, std::string& Out);
  // Bytes the format writes in another form; the table is filled by the constructors.
  void SetReplacement(char Byte, std::string Text);

  uint32_t FClipboardFormat;
  TColor FLastBackground = clWindow;
  TColor FLastForeground = clWindowText;
  TFontStyles FLastStyle;

 private:
  void ExportLines(TStrings* ALines, TPoint Start, TPoint Stop, bool Empty);
  [[noreturn]] void AbortExport();
  void TakeWhitespaceBackground();

  std::string FBuffer;
  std::string FToken;  // the escaped token, reused from token to token
  std::array<std::string, 256> FReplaceReserved;
  std::array<bool, 256> FSpecial{};  // a table entry or a lead byte: leaves the fast copy
  bool FFirstAttribute = true;
  TColor FColor = clWindow;
  std::string FDefaultFilter;
  bool FExportAsText = true;
  std::unique_ptr<TFont> FFont;
  TRidCustomHighlighter* FHighlighter = nullptr;  // not owned: cleared by free notification
  std::string FTitle;
  bool FUseBackground = false;
};

// A byte no reader of an exported document takes raw: below the blank but the tab, and DEL.
constexpr bool IsControlByte(uint8_t Byte) { return (Byte < 0x20 && Byte != '\t') || Byte == 0x7F; }

// The RGB value of a colour, or of Default when it is clNone.
TColor ValidatedColor(TColor AColor, TColor Default);

// Stands in for a highlighter where a file has none: each line is one token without attribute,
// so it is exported as plain text in the font colour.
class TRidPlainTextHighlighter : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TRidPlainTextHighlighter)
  using TRidCustomHighlighter::TRidCustomHighlighter;

  TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const override { return nullptr; }
  bool GetEol() const override { return FDone; }
  std::string GetToken() const override { return std::string(FLine); }
  std::string_view GetTokenView() const override { return FLine; }
  TRidHighlighterAttributes* GetTokenAttribute() const override { return nullptr; }
  int32_t GetTokenKind() const override { return 0; }
  int32_t GetTokenPos() const override { return 0; }
  void Next() override { FDone = true; }
  void SetLine(std::string_view NewValue, int32_t LineNumber) override {
    FLine = NewValue;
    FDone = NewValue.empty();
  }

 private:
  std::string_view FLine;
  bool FDone = true;
};

}  // namespace rid
