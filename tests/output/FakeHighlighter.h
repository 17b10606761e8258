#pragma once
// A highlighter with a few plain rules, so an export's expected bytes can be worked out by
// hand: letters, digits and blanks are runs of their own; "#" and '"' take the rest of the line
// (a comment without attribute, a string); any other bytes are a symbol run, read byte by byte
// like a Perl string, so a lead byte may end a token or meet a byte that is no trail byte.
#include <memory>
#include <string>
#include <string_view>

#include "editor/RidEderHighlighter.h"
#include "platform/Types.h"

namespace rid::test {

class TRidFakeRid : public TRidCustomHighlighter {
 public:
  RID_CLASS_NAME(TRidFakeRid)
  enum TKind { tkIdent, tkNumber, tkSpace, tkComment, tkString, tkSymbol };

  explicit TRidFakeRid(TComponent* AOwner) : TRidCustomHighlighter(AOwner) {
    FIdent = Add("Identifier", clRed, clNone, {});
    FNumber = Add("Number", clBlue, clYellow, {fsBold});
    FSpace = Add("Space", clNone, clSilver, {});
    FString = Add("String", clGreen, clNone, {fsItalic, fsUnderline, fsStrikeOut});
    FSymbol = Add("Symbol", clRed, clNone, {});  // looks like an identifier
  }

  TRidHighlighterAttributes* GetDefaultAttribute(int32_t Index) const override {
    return Index == 4 ? FSpace : nullptr;
  }
  bool GetEol() const override { return FPos >= FLine.size(); }
  std::string GetToken() const override { return std::string(GetTokenView()); }
  std::string_view GetTokenView() const override { return FLine.substr(FPos, FEnd - FPos); }
  TRidHighlighterAttributes* GetTokenAttribute() const override {
    switch (FKind) {
      case tkIdent:
        return FIdent;
      case tkNumber:
        return FNumber;
      case tkSpace:
        return FSpace;
      case tkString:
        return FString;
      case tkSymbol:
        return FSymbol;
      default:
        return nullptr;
    }
  }
  int32_t GetTokenKind() const override { return FKind; }
  int32_t GetTokenPos() const override { return static_cast<int32_t>(FPos); }
  void SetLine(std::string_view NewValue, int32_t LineNumber) override {
    FLine = NewValue;
    FEnd = 0;
    Next();
  }
  void Next() override {
    FPos = FEnd;
    if (FPos >= FLine.size()) return;
    const char c = FLine[FPos];
    FKind = KindOf(c);
    if (FKind == tkComment || FKind == tkString) {
      FEnd = FLine.size();
      return;
    }
    FEnd = FPos + 1;
    while (FEnd < FLine.size() && KindOf(FLine[FEnd]) == FKind) ++FEnd;
  }

  TRidHighlighterAttributes* FIdent;
  TRidHighlighterAttributes* FNumber;
  TRidHighlighterAttributes* FSpace;
  TRidHighlighterAttributes* FString;
  TRidHighlighterAttributes* FSymbol;

 private:
  static TKind KindOf(char c) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return tkIdent;
    if (c >= '0' && c <= '9') return tkNumber;
    if (c == ' ' || c == '\t') return tkSpace;
    if (c == '#') return tkComment;
    if (c == '"') return tkString;
    return tkSymbol;
  }
  TRidHighlighterAttributes* Add(const char* Name, TColor Fg, TColor Bg, TFontStyles Style) {
    auto a = std::make_unique<TRidHighlighterAttributes>(Name);
    a->SetForeground(Fg);
    a->SetBackground(Bg);
    a->SetStyle(Style);
    return AddAttribute(std::move(a));
  }

  std::string_view FLine;
  size_t FPos = 0, FEnd = 0;
  TKind FKind = tkIdent;
};

}  // namespace rid::test
