#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"
#include "platform/Delegate.h"
#include "platform/Graphics.h"
#include "platform/Locale.h"
#include "platform/Types.h"

namespace rid {

// The list-index error text of the platform's lists, in code page 932:
// "リストのインデックスが範囲を超えています (%d)".
inline constexpr const char* SRidListIndexError =
    "\x83\x8a\x83\x58\x83\x67\x82\xcc\x83\x43\x83\x93\x83\x66\x83\x62\x83\x4e\x83\x58\x82\xaa"
    "\x94\xcd\x88\xcd\x82\xf0\x92\xb4\x82\xa6\x82\xc4\x82\xa2\x82\xdc\x82\xb7 (%d)";

// Mouse cursor ids; 0 is the control's default cursor.
using TRidCursor = int32_t;
constexpr TRidCursor crRidDefault = 0;

// ---------------------------------------------------------------------------------------------
// Selection colours.

class TRidSelectedColor : public TPersistent {
 public:
  RID_CLASS_NAME(TRidSelectedColor)
  void Assign(TPersistent* Source) override;
  TColor GetBackground() const { return FBG; }
  void SetBackground(TColor Value);
  TColor GetForeground() const { return FFG; }
  void SetForeground(TColor Value);
  TNotifyEvent OnChange;

 private:
  void Changed();
  TColor FBG = clHighlight;
  TColor FFG = clHighlightText;
};

// ---------------------------------------------------------------------------------------------
// Gutter settings and line-number formatting.

enum TRidGutterBorderStyle { gbsNone, gbsMiddle, gbsRight };

class TRidGutter : public TPersistent {
 public:
  RID_CLASS_NAME(TRidGutter)
  TRidGutter();
  ~TRidGutter() override;
  // Copies every setting but the cursor, with the digit count in use; the font by value.
  void Assign(TPersistent* Source) override;

  // With Visible, AutoSize and ShowLineNumbers on, widens the digit count in use to hold the
  // largest number shown for ALinesCount lines; otherwise it is DigitCount.
  void AutoSizeDigitCount(int32_t ALinesCount);
  // The number shown for a 1-based line, right-aligned to the digit count in use.
  std::string FormatLineNumber(int32_t ALine) const;
  int32_t RealGutterWidth(int32_t ACharWidth) const;

  bool GetAutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TRidGutterBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TRidGutterBorderStyle Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TColor GetBorderColor() const { return FBorderColor; }
  void SetBorderColor(TColor Value);
  TRidCursor GetCursor() const { return FCursor; }
  void SetCursor(TRidCursor Value);
  int32_t GetDigitCount() const { return FDigitCount; }
  void SetDigitCount(int32_t Value);
  // The digit count in use.
  int32_t GetAutoSizeDigitCount() const { return FAutoSizeDigitCount; }
  TFont& GetFont() { return *FFont; }
  void SetFont(TFont* Value) { FFont->Assign(Value); }
  bool GetLeadingZeros() const { return FLeadingZeros; }
  void SetLeadingZeros(bool Value);
  int32_t GetLeftOffset() const { return FLeftOffset; }
  void SetLeftOffset(int32_t Value);
  int32_t GetRightOffset() const { return FRightOffset; }
  void SetRightOffset(int32_t Value);
  bool GetShowLineNumbers() const { return FShowLineNumbers; }
  void SetShowLineNumbers(bool Value);
  bool GetUseFontStyle() const { return FUseFontStyle; }
  void SetUseFontStyle(bool Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  int32_t GetWidth() const { return FWidth; }
  void SetWidth(int32_t Value);
  bool GetZeroStart() const { return FZeroStart; }
  void SetZeroStart(bool Value);
  int32_t GetLineNumberStart() const { return FLineNumberStart; }
  void SetLineNumberStart(int32_t Value);
  bool GetGradient() const { return FGradient; }
  void SetGradient(bool Value);
  TColor GetGradientStartColor() const { return FGradientStartColor; }
  void SetGradientStartColor(TColor Value);
  TColor GetGradientEndColor() const { return FGradientEndColor; }
  void SetGradientEndColor(TColor Value);
  int32_t GetGradientSteps() const { return FGradientSteps; }
  void SetGradientSteps(int32_t Value);

  TNotifyEvent OnChange;

 private:
  void Changed();
  void FontChanged(TObject* Sender);
  // The number a 1-based line shows; wide, as a late start plus many lines exceeds 32 bits.
  int64_t LineNumber(int32_t ALine) const;
  template <typename T>
  void Store(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    Changed();
  }

  bool FAutoSize = false;
  TRidGutterBorderStyle FBorderStyle = gbsMiddle;
  TColor FColor = clBtnFace;
  TColor FBorderColor = clWindow;
  TRidCursor FCursor = crRidDefault;
  int32_t FDigitCount = 4;
  int32_t FAutoSizeDigitCount = 4;
  std::unique_ptr<TFont> FFont;
  bool FLeadingZeros = false;
  int32_t FLeftOffset = 16;
  int32_t FRightOffset = 2;
  bool FShowLineNumbers = false;
  bool FUseFontStyle = true;
  bool FVisible = true;
  int32_t FWidth = 30;
  bool FZeroStart = false;
  int32_t FLineNumberStart = 1;
  bool FGradient = false;
  TColor FGradientStartColor = clWindow;
  TColor FGradientEndColor = clBtnFace;
  int32_t FGradientSteps = 48;
};

// ---------------------------------------------------------------------------------------------
// Bookmark options.

class TRidBookMarkOpt : public TPersistent {
 public:
  RID_CLASS_NAME(TRidBookMarkOpt)
  // AOwner (the editor) hears of the image list's destruction and then clears BookmarkImages.
  explicit TRidBookMarkOpt(TComponent* AOwner);
  void Assign(TPersistent* Source) override;

  TImageList* GetBookmarkImages() const { return FBookmarkImages; }
  void SetBookmarkImages(TImageList* Value);
  bool GetDrawBookmarksFirst() const { return FDrawBookmarksFirst; }
  void SetDrawBookmarksFirst(bool Value);
  bool GetEnableKeys() const { return FEnableKeys; }
  void SetEnableKeys(bool Value);
  bool GetGlyphsVisible() const { return FGlyphsVisible; }
  void SetGlyphsVisible(bool Value);
  int32_t GetLeftMargin() const { return FLeftMargin; }
  void SetLeftMargin(int32_t Value);
  int32_t GetXoffset() const { return FXoffset; }
  void SetXoffset(int32_t Value);
  TComponent* GetOwner() const { return FOwner; }

  TNotifyEvent OnChange;

 private:
  template <typename T>
  void Store(T& Field, T Value) {
    if (Field == Value) return;
    Field = Value;
    if (OnChange) OnChange(this);
  }

  TComponent* FOwner;
  TImageList* FBookmarkImages = nullptr;  // not owned: cleared by the owner's free notification
  bool FDrawBookmarksFirst = true;
  bool FEnableKeys = true;
  bool FGlyphsVisible = true;
  int32_t FLeftMargin = 2;
  int32_t FXoffset = 12;
};

// ---------------------------------------------------------------------------------------------
// Built-in images, drawn in code: "RidEderWrapped" (the wrapped-row and end-of-line mark, mask
// colour $00FF00) and "RidEderInternalImages" (ten bookmark images 0..9 side by side).
// Returns null for an unknown name. Names are case-insensitive.
std::unique_ptr<TBitmap> LoadRidResourceBitmap(const std::string& AName);

// A transparent glyph: the assigned Glyph, else the built-in image it was created with.
class TRidGlyph : public TPersistent {
 public:
  RID_CLASS_NAME(TRidGlyph)
  // AResName names a built-in image (empty: none); AMaskColor is its transparent colour.
  explicit TRidGlyph(const std::string& AResName = "", TColor AMaskColor = clNone);
  ~TRidGlyph() override;
  void Assign(TPersistent* Source) override;

  // Draws centred on a line of ALineHeight below Y, or cropped to its middle rows.
  void Draw(TCanvas& ACanvas, int32_t X, int32_t Y, int32_t ALineHeight);

  TBitmap& GetGlyph() { return *FGlyph; }
  void SetGlyph(TBitmap* Value);
  TColor GetMaskColor() const { return FMaskColor; }
  void SetMaskColor(TColor Value);
  bool GetVisible() const { return FVisible; }
  void SetVisible(bool Value);
  int32_t GetWidth() const;

  TNotifyEvent OnChange;

 private:
  void GlyphChange(TObject* Sender);

  std::unique_ptr<TBitmap> FGlyph;
  std::unique_ptr<TBitmap> FInternalGlyph;
  TColor FInternalMaskColor = clNone;
  TColor FMaskColor = clNone;
  bool FVisible = true;
};

// One shared strip: reference count, upper-case name, bitmap.
struct TInternalResource;

// A strip of ACount images of equal width, loaded once per name for the whole process.
class TRidInternalImage {
 public:
  TRidInternalImage(const std::string& AName, int32_t ACount);
  ~TRidInternalImage();
  TRidInternalImage(const TRidInternalImage&) = delete;
  TRidInternalImage& operator=(const TRidInternalImage&) = delete;

  // Draws image ANumber (0 .. count - 1, else nothing) opaquely, fitted to the line as a glyph.
  void DrawMark(TCanvas& ACanvas, int32_t ANumber, int32_t X, int32_t Y, int32_t ALineHeight);
  int32_t GetWidth() const { return FWidth; }
  int32_t GetHeight() const { return FHeight; }
  int32_t GetCount() const { return FCount; }

 private:
  TInternalResource* FResource;  // shared: reference-counted in the process-wide list
  int32_t FWidth;
  int32_t FHeight;
  int32_t FCount;
};

// ---------------------------------------------------------------------------------------------
// Marks in the gutter.

class TRidEderMark;
// A mark asks its editor to repaint one line (1-based).
using TRidEderMarkChangeEvent = Delegate<void(TRidEderMark* Sender, int32_t Line)>;

class TRidEderMark : public TObject {
 public:
  RID_CLASS_NAME(TRidEderMark)
  explicit TRidEderMark(TRidEderMarkChangeEvent AOnChange = {});

  virtual void SetColumn(int32_t Value) { FColumn = Value; }
  virtual void SetImageIndex(int32_t Value);
  virtual void SetLine(int32_t Value);
  void SetVisible(bool Value);
  void SetInternalImage(bool Value);
  void SetBookmarkNumber(int32_t Value) { FBookmarkNumber = Value; }

  int32_t GetLine() const { return FLine; }
  int32_t GetColumn() const { return FColumn; }
  int32_t GetImageIndex() const { return FImageIndex; }
  bool GetVisible() const { return FVisible; }
  bool GetInternalImage() const { return FInternalImage; }
  int32_t GetBookmarkNumber() const { return FBookmarkNumber; }
  bool IsBookmark() const { return FBookmarkNumber >= 0; }

 private:
  void LineChanged(int32_t ALine) {
    if (FOnChange) FOnChange(this, ALine);
  }

  TRidEderMarkChangeEvent FOnChange;
  int32_t FLine = 0;
  int32_t FColumn = 0;
  int32_t FImageIndex = 0;
  bool FVisible = false;
  bool FInternalImage = false;
  int32_t FBookmarkNumber = -1;
};

constexpr int32_t RidMaxMarksPerLine = 17;
using TRidEderMarks = std::array<TRidEderMark*, RidMaxMarksPerLine>;

// Owns its marks.
class TRidEderMarkList : public TObject {
 public:
  RID_CLASS_NAME(TRidEderMarkList)
  TRidEderMarkList() = default;
  ~TRidEderMarkList() override;
  TRidEderMarkList(const TRidEderMarkList&) = delete;
  TRidEderMarkList& operator=(const TRidEderMarkList&) = delete;

  TRidEderMark* Add(std::unique_ptr<TRidEderMark> Item);
  // Frees the mark at Index; fires no OnChange.
  void Delete(int32_t Index);
  // Frees a mark of the list; one not in it raises EListError.
  void Remove(TRidEderMark* Item);
  void ClearAll();
  // The marks on ALine in list order; the remaining entries are null.
  TRidEderMarks GetMarksForLine(int32_t ALine) const;

  int32_t GetCount() const { return static_cast<int32_t>(FItems.size()); }
  TRidEderMark* GetItem(int32_t Index) const;
  int32_t IndexOf(const TRidEderMark* Item) const;

  TNotifyEvent OnChange;

 private:
  void Changed() {
    if (OnChange) OnChange(this);
  }
  std::vector<std::unique_ptr<TRidEderMark>> FItems;
};

// ---------------------------------------------------------------------------------------------
// The search-engine base that the editor drives one line at a time.

enum class TRidSearchOption {
  ssoMatchCase,
  ssoWholeWord,
  ssoBackwards,
  ssoEntireScope,
  ssoSelectedOnly,
  ssoReplace,
  ssoReplaceAll,
  ssoPrompt
};
using enum TRidSearchOption;
using TRidSearchOptions = TSet<TRidSearchOption, 8>;

class TRidEderSearchCustom : public TComponent {
 public:
  RID_CLASS_NAME(TRidEderSearchCustom)
  using TComponent::TComponent;

  virtual std::string GetPattern() = 0;
  virtual void SetPattern(const std::string& Value) = 0;
  // Byte length and 1-based byte column of match AIndex (0-based) of the last FindAll.
  virtual int32_t MatchLength(int32_t AIndex) = 0;
  virtual int32_t MatchPos(int32_t AIndex) = 0;
  virtual int32_t MatchCount() = 0;
  virtual void SetOptions(TRidSearchOptions Value) = 0;
  // Finds every match in one line; returns their number. Matches start and end on character
  // starts and do not overlap.
  virtual int32_t FindAll(std::string_view NewText) = 0;
  // The replacement text for one found text.
  virtual std::string Replace(const std::string& AOccurrence, const std::string& AReplacement) = 0;
  // The replacement text for match AIndex of the last FindAll, whose text is AOccurrence; an
  // engine whose replacement depends on the match's context in its line overrides this.
  virtual std::string ReplaceMatch(int32_t AIndex, const std::string& AOccurrence,
                                   const std::string& AReplacement) {
    return Replace(AOccurrence, AReplacement);
  }
};

// The character starts of a Shift-JIS line, found walking forward: a lead byte takes the next
// byte when that is a trail byte, and the line end is a start. Positions asked for must not
// decrease, so a walk over a whole line costs at most one pass; a position far ahead is reached
// from a start found just before it, without walking the bytes in between.
class TRidCharStarts {
 public:
  explicit TRidCharStarts(std::string_view Line) : FLine(Line) {}
  // Whether 0-based offset Pos starts a character.
  bool IsStart(size_t Pos) {
    WalkTo(Pos);
    return FAt == Pos;
  }
  // The start of the character before the last start reached (npos at the line start).
  size_t PrevStart() const { return FPrev; }
  // The first character start after Pos.
  size_t NextAfter(size_t Pos) {
    WalkTo(Pos + 1);
    return FAt;
  }

 private:
  // To the first start at or after Pos. A byte that cannot lead a pair ends a character, so the
  // byte after the last such one before Pos starts one; every byte from there to Pos can both
  // lead and trail, so the walk on from there is short.
  void WalkTo(size_t Pos) {
    if (Pos > FAt + 16 && Pos <= FLine.size()) {
      size_t at = Pos - 1;
      while (at > FAt && IsDBCSLeadByte(FLine[at - 1])) --at;
      FAt = at;
    }
    while (FAt < Pos) Step();
  }
  void Step() {
    FPrev = FAt;
    FAt += SjisCharLength(FLine, FAt);
  }
  std::string_view FLine;
  size_t FAt = 0;
  size_t FPrev = std::string_view::npos;
};

}  // namespace rid
