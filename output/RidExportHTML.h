#pragma once
#include <string>
#include <string_view>
#include <unordered_map>

#include "output/RidEderExport.h"

namespace rid {

// A Shift_JIS HTML 4.01 page: one CSS class per highlighter attribute, the text in pre and
// code, one span per run of equally formatted tokens. Also a bare fragment, and the clipboard
// form with the offsets block in front (export as text off).
class TRidExporterHTML : public TRidCustomExporter {
 public:
  RID_CLASS_NAME(TRidExporterHTML)
  explicit TRidExporterHTML(TComponent* AOwner);

  void Clear() override;
  std::string GetFormatName() const override { return "HTML"; }

  bool GetCreateHTMLFragment() const { return FCreateHTMLFragment; }
  void SetCreateHTMLFragment(bool Value) { FCreateHTMLFragment = Value; }

 protected:
  void FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged,
                           TFontStyles FontStylesChanged) override;
  void FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged,
                           TFontStyles FontStylesChanged) override;
  void FormatAfterLastAttribute() override;
  void FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                  TFontStyles FontStylesChanged) override;
  void FormatNewLine() override { AddNewLine(); }
  std::string GetFooter() override;
  std::string GetHeader() override;
  void SetTokenAttribute(TRidHighlighterAttributes* Attri) override;

 private:
  // The class name of an attribute: the first entry of the highlighter's attribute walk that
  // is this attribute. The walk is made once per export.
  const std::string& GetStyleName(TRidHighlighterAttributes* Attri);
  std::string PageHeader();
  std::string StyleSheet();

  TRidHighlighterAttributes* FLastAttri = nullptr;  // valid during an export
  bool FCreateHTMLFragment = false;
  std::unordered_map<const TRidHighlighterAttributes*, std::string> FStyleNames;
  bool FStyleNamesMade = false;
};

// "#RRGGBB" of a colour's RGB value.
std::string ColorToHTML(TColor AColor);
// A CSS class name: ASCII letters lower-cased, "." and "_" as "-", a-z 0-9 "-" kept, every
// other character (a double-byte one whole) dropped.
std::string MakeValidName(std::string_view Name);
// An exported page as programs read it from the system clipboard: in UTF-8, its XML and meta
// charset declarations saying so.
std::string HtmlPageToUtf8(std::string_view Page);

}  // namespace rid
