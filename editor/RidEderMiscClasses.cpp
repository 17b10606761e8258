#include "editor/RidEderMiscClasses.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// TRidSelectedColor

void TRidSelectedColor::Changed() {
  if (OnChange) OnChange(this);
}

void TRidSelectedColor::SetBackground(TColor Value) {
  if (FBG == Value) return;
  FBG = Value;
  Changed();
}

void TRidSelectedColor::SetForeground(TColor Value) {
  if (FFG == Value) return;
  FFG = Value;
  Changed();
}

void TRidSelectedColor::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidSelectedColor*>(Source);
  if (!src) return TPersistent::Assign(Source);
  FBG = src->FBG;
  FFG = src->FFG;
  Changed();
}

// ---------------------------------------------------------------------------------------------
// TRidGutter

TRidGutter::TRidGutter() : FFont(std::make_unique<TFont>()) {
  FFont->SetName("Courier New");
  FFont->SetSize(8);
  FFont->SetStyle({});
  FFont->OnChange = TNotifyEvent(this, &TRidGutter::FontChanged);
}

TRidGutter::~TRidGutter() = default;

void TRidGutter::Changed() {
  if (OnChange) OnChange(this);
}

void TRidGutter::FontChanged(TObject*) { Changed(); }

void TRidGutter::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidGutter*>(Source);
  if (!src) return TPersistent::Assign(Source);
  // One notification for the whole copy: the font's own change is held back.
  FFont->OnChange = nullptr;
  FFont->Assign(src->FFont.get());
  FFont->OnChange = TNotifyEvent(this, &TRidGutter::FontChanged);
  FAutoSize = src->FAutoSize;
  FBorderStyle = src->FBorderStyle;
  FColor = src->FColor;
  FBorderColor = src->FBorderColor;
  FDigitCount = src->FDigitCount;
  FAutoSizeDigitCount = src->FAutoSizeDigitCount;
  FLeadingZeros = src->FLeadingZeros;
  FLeftOffset = src->FLeftOffset;
  FRightOffset = src->FRightOffset;
  FShowLineNumbers = src->FShowLineNumbers;
  FUseFontStyle = src->FUseFontStyle;
  FVisible = src->FVisible;
  FWidth = src->FWidth;
  FZeroStart = src->FZeroStart;
  FLineNumberStart = src->FLineNumberStart;
  FGradient = src->FGradient;
  FGradientStartColor = src->FGradientStartColor;
  FGradientEndColor = src->FGradientEndColor;
  FGradientSteps = src->FGradientSteps;
  Changed();
}

void TRidGutter::AutoSizeDigitCount(int32_t ALinesCount) {
  if (!(FVisible && FAutoSize && FShowLineNumbers)) {
    FAutoSizeDigitCount = FDigitCount;
    return;
  }
  int64_t largest = ALinesCount;
  if (FLineNumberStart > 1)
    largest += int64_t(FLineNumberStart) - 1;
  else if (FZeroStart)
    largest -= 1;
  const int32_t digits =
      std::max(static_cast<int32_t>(std::to_string(largest).size()), FDigitCount);
  if (digits != FAutoSizeDigitCount) {
    FAutoSizeDigitCount = digits;
    Changed();
  }
}

int64_t TRidGutter::LineNumber(int32_t ALine) const {
  if (FZeroStart) return int64_t(ALine) - 1;
  if (FLineNumberStart > 1) return int64_t(ALine) + FLineNumberStart - 1;
  return ALine;
}

std::string TRidGutter::FormatLineNumber(int32_t ALine) const {
  std::string s = FormatStr("%*lld", static_cast<int>(FAutoSizeDigitCount),
                            static_cast<long long>(LineNumber(ALine)));
  if (FLeadingZeros)
    for (size_t i = 0; i + 1 < s.size() && s[i] == ' '; ++i) s[i] = '0';
  return s;
}

int32_t TRidGutter::RealGutterWidth(int32_t ACharWidth) const {
  if (!FVisible) return 0;
  if (FShowLineNumbers) return FLeftOffset + FRightOffset + FAutoSizeDigitCount * ACharWidth + 2;
  return FWidth;
}

void TRidGutter::SetAutoSize(bool Value) { Store(FAutoSize, Value); }
void TRidGutter::SetBorderStyle(TRidGutterBorderStyle Value) { Store(FBorderStyle, Value); }
void TRidGutter::SetColor(TColor Value) { Store(FColor, Value); }
void TRidGutter::SetBorderColor(TColor Value) { Store(FBorderColor, Value); }
void TRidGutter::SetCursor(TRidCursor Value) { Store(FCursor, Value); }
void TRidGutter::SetLeadingZeros(bool Value) { Store(FLeadingZeros, Value); }
void TRidGutter::SetLeftOffset(int32_t Value) { Store(FLeftOffset, std::max(Value, 0)); }
void TRidGutter::SetRightOffset(int32_t Value) { Store(FRightOffset, std::max(Value, 0)); }
void TRidGutter::SetShowLineNumbers(bool Value) { Store(FShowLineNumbers, Value); }
void TRidGutter::SetUseFontStyle(bool Value) { Store(FUseFontStyle, Value); }
void TRidGutter::SetVisible(bool Value) { Store(FVisible, Value); }
void TRidGutter::SetWidth(int32_t Value) { Store(FWidth, std::max(Value, 0)); }
void TRidGutter::SetZeroStart(bool Value) { Store(FZeroStart, Value); }
void TRidGutter::SetGradient(bool Value) { Store(FGradient, Value); }
void TRidGutter::SetGradientStartColor(TColor Value) { Store(FGradientStartColor, Value); }
void TRidGutter::SetGradientEndColor(TColor Value) { Store(FGradientEndColor, Value); }
void TRidGutter::SetGradientSteps(int32_t Value) { Store(FGradientSteps, std::max(Value, 2)); }

void TRidGutter::SetDigitCount(int32_t Value) {
  Value = std::clamp(Value, 2, 12);
  if (FDigitCount == Value) return;
  FDigitCount = Value;
  FAutoSizeDigitCount = Value;
  Changed();
}

void TRidGutter::SetLineNumberStart(int32_t Value) {
  Value = std::max(Value, 0);
  if (FLineNumberStart == Value) return;
  FLineNumberStart = Value;
  FZeroStart = Value == 0;
  Changed();
}

// ---------------------------------------------------------------------------------------------
// TRidBookMarkOpt

TRidBookMarkOpt::TRidBookMarkOpt(TComponent* AOwner) : FOwner(AOwner) {}

void TRidBookMarkOpt::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidBookMarkOpt*>(Source);
  if (!src) return TPersistent::Assign(Source);
  FBookmarkImages = src->FBookmarkImages;
  if (FBookmarkImages && FOwner) FBookmarkImages->FreeNotification(FOwner);
  FDrawBookmarksFirst = src->FDrawBookmarksFirst;
  FEnableKeys = src->FEnableKeys;
  FGlyphsVisible = src->FGlyphsVisible;
  FLeftMargin = src->FLeftMargin;
  FXoffset = src->FXoffset;
  if (OnChange) OnChange(this);
}

void TRidBookMarkOpt::SetBookmarkImages(TImageList* Value) {
  if (FBookmarkImages == Value) return;
  FBookmarkImages = Value;
  if (Value && FOwner) Value->FreeNotification(FOwner);
  if (OnChange) OnChange(this);
}

void TRidBookMarkOpt::SetDrawBookmarksFirst(bool Value) { Store(FDrawBookmarksFirst, Value); }
void TRidBookMarkOpt::SetEnableKeys(bool Value) { Store(FEnableKeys, Value); }
void TRidBookMarkOpt::SetGlyphsVisible(bool Value) { Store(FGlyphsVisible, Value); }
void TRidBookMarkOpt::SetLeftMargin(int32_t Value) { Store(FLeftMargin, Value); }
void TRidBookMarkOpt::SetXoffset(int32_t Value) { Store(FXoffset, Value); }

// ---------------------------------------------------------------------------------------------
// Built-in images

namespace {

QColor Rgb(TColor c) { return QColor::fromRgb(ColorToQRgb(c)); }

// A return arrow on a green key colour: the wrapped-row and end-of-line mark.
QImage DrawWrappedGlyph() {
  QImage img(11, 11, QImage::Format_RGB32);
  img.fill(Rgb(0x00FF00));
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing, false);
  const QColor ink = Rgb(0x804000);
  p.setPen(ink);
  p.drawLine(8, 1, 8, 6);  // down the right side
  p.drawLine(2, 6, 8, 6);  // back to the left
  p.drawLine(3, 5, 3, 7);  // arrow head
  p.drawLine(4, 4, 4, 8);
  p.drawLine(5, 3, 5, 9);
  return img;
}

// Ten bookmark ribbons, each with its digit.
QImage DrawBookmarkStrip() {
  constexpr int w = 12, h = 16;
  QImage img(w * 10, h, QImage::Format_RGB32);
  img.fill(Rgb(clWhite));
  QPainter p(&img);
  QFont f(QStringLiteral("DejaVu Sans Mono"));
  f.setPixelSize(9);
  f.setBold(true);
  p.setFont(f);
  for (int i = 0; i < 10; ++i) {
    const int x = i * w;
    QPainterPath ribbon;
    ribbon.moveTo(x + 1, 0);
    ribbon.lineTo(x + w - 1, 0);
    ribbon.lineTo(x + w - 1, h - 1);
    ribbon.lineTo(x + w / 2, h - 5);
    ribbon.lineTo(x + 1, h - 1);
    ribbon.closeSubpath();
    p.fillPath(ribbon, Rgb(0xC06000));
    p.setPen(Rgb(clWhite));
    p.drawText(QRect(x + 1, 1, w - 2, 10), Qt::AlignCenter, QString::number(i));
  }
  return img;
}

std::string UpperName(const std::string& Name) { return AnsiUpperCase(Name); }

}  // namespace

std::unique_ptr<TBitmap> LoadRidResourceBitmap(const std::string& AName) {
  const std::string name = UpperName(AName);
  QImage img;
  if (name == "RIDEDERWRAPPED")
    img = DrawWrappedGlyph();
  else if (name == "RIDEDERINTERNALIMAGES")
    img = DrawBookmarkStrip();
  else
    return nullptr;
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetImage(img);
  return bmp;
}

namespace {

// Draws Section of Source fitted to a line: cropped to its middle rows when taller, centred
// when shorter; MaskColor (clNone: none) stays out.
void DrawFitted(TCanvas& ACanvas, const QImage& Source, const QRect& Section, int32_t X, int32_t Y,
                int32_t ALineHeight, TColor MaskColor) {
  QRect src = Section;
  int32_t y = Y;
  if (src.height() > ALineHeight) {
    src.setTop(src.top() + (src.height() - ALineHeight) / 2);
    src.setHeight(ALineHeight);
  } else {
    y += (ALineHeight - src.height()) / 2;
  }
  if (src.width() <= 0 || src.height() <= 0) return;
  TBitmap part;
  part.SetImage(Source.copy(src));
  if (MaskColor != clNone) {
    part.SetTransparent(true);
    part.SetTransparentColor(MaskColor);
  }
  ACanvas.Draw(X, y, part);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TRidGlyph

TRidGlyph::TRidGlyph(const std::string& AResName, TColor AMaskColor)
    : FGlyph(std::make_unique<TBitmap>()) {
  if (!AResName.empty()) FInternalGlyph = LoadRidResourceBitmap(AResName);
  FInternalMaskColor = FInternalGlyph ? AMaskColor : clNone;
}

TRidGlyph::~TRidGlyph() = default;

void TRidGlyph::GlyphChange(TObject*) {
  if (OnChange) OnChange(this);
}

void TRidGlyph::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TRidGlyph*>(Source);
  if (!src) return TPersistent::Assign(Source);
  FGlyph->Assign(src->FGlyph.get());
  FInternalGlyph.reset();
  if (src->FInternalGlyph) {
    FInternalGlyph = std::make_unique<TBitmap>();
    FInternalGlyph->Assign(src->FInternalGlyph.get());
  }
  FInternalMaskColor = src->FInternalMaskColor;
  FMaskColor = src->FMaskColor;
  FVisible = src->FVisible;
  GlyphChange(this);
}

void TRidGlyph::SetGlyph(TBitmap* Value) {
  if (Value)
    FGlyph->Assign(Value);
  else
    FGlyph = std::make_unique<TBitmap>();
  GlyphChange(this);
}

void TRidGlyph::SetMaskColor(TColor Value) {
  if (FMaskColor == Value) return;
  FMaskColor = Value;
  GlyphChange(this);
}

void TRidGlyph::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  GlyphChange(this);
}

int32_t TRidGlyph::GetWidth() const {
  if (!FGlyph->Empty()) return FGlyph->GetWidth();
  return FInternalGlyph ? FInternalGlyph->GetWidth() : 0;
}

void TRidGlyph::Draw(TCanvas& ACanvas, int32_t X, int32_t Y, int32_t ALineHeight) {
  TBitmap* bmp;
  TColor mask;
  if (!FGlyph->Empty()) {
    bmp = FGlyph.get();
    mask = FMaskColor;
  } else if (FInternalGlyph) {
    bmp = FInternalGlyph.get();
    mask = FInternalMaskColor;
  } else {
    return;
  }
  const QImage& img = bmp->Image();
  DrawFitted(ACanvas, img, img.rect(), X, Y, ALineHeight, mask);
}

// ---------------------------------------------------------------------------------------------
// TRidInternalImage

struct TInternalResource {
  int32_t RefCount = 0;
  std::string Name;  // upper case
  std::unique_ptr<TBitmap> Bitmap;
};

namespace {

// The process-wide list of shared strips; freed when its last strip goes.
std::vector<TInternalResource*>* InternalResources = nullptr;

}  // namespace

TRidInternalImage::TRidInternalImage(const std::string& AName, int32_t ACount)
    : FResource(nullptr), FCount(ACount) {
  RID_ASSERT(ACount > 0);
  const std::string name = UpperName(AName);
  if (!InternalResources) InternalResources = new std::vector<TInternalResource*>;
  for (TInternalResource* r : *InternalResources)
    if (r->Name == name) FResource = r;
  if (!FResource) {
    FResource = new TInternalResource;
    FResource->Name = name;
    FResource->Bitmap = LoadRidResourceBitmap(AName);
    if (!FResource->Bitmap) FResource->Bitmap = std::make_unique<TBitmap>();
    InternalResources->push_back(FResource);
  }
  ++FResource->RefCount;
  FWidth = (FResource->Bitmap->GetWidth() + FCount / 2) / FCount;
  FHeight = FResource->Bitmap->GetHeight();
}

TRidInternalImage::~TRidInternalImage() {
  if (--FResource->RefCount > 0) return;
  auto& list = *InternalResources;
  list.erase(std::find(list.begin(), list.end(), FResource));
  delete FResource;
  if (list.empty()) {
    delete InternalResources;
    InternalResources = nullptr;
  }
}

void TRidInternalImage::DrawMark(TCanvas& ACanvas, int32_t ANumber, int32_t X, int32_t Y,
                                 int32_t ALineHeight) {
  if (ANumber < 0 || ANumber >= FCount) return;
  const QImage& img = FResource->Bitmap->Image();
  DrawFitted(ACanvas, img, QRect(ANumber * FWidth, 0, FWidth, FHeight), X, Y, ALineHeight, clNone);
}

// ---------------------------------------------------------------------------------------------
// TRidEderMark, TRidEderMarkList

TRidEderMark::TRidEderMark(TRidEderMarkChangeEvent AOnChange) : FOnChange(std::move(AOnChange)) {}

void TRidEderMark::SetImageIndex(int32_t Value) {
  FImageIndex = Value;
  if (FVisible) LineChanged(FLine);
}

void TRidEderMark::SetInternalImage(bool Value) {
  FInternalImage = Value;
  if (FVisible) LineChanged(FLine);
}

void TRidEderMark::SetVisible(bool Value) {
  if (FVisible == Value) return;
  FVisible = Value;
  LineChanged(FLine);
}

void TRidEderMark::SetLine(int32_t Value) {
  const int32_t old = FLine;
  FLine = Value;
  if (!FVisible) return;
  if (old > 0) LineChanged(old);
  if (Value > 0) LineChanged(Value);
}

TRidEderMarkList::~TRidEderMarkList() { FItems.clear(); }

TRidEderMark* TRidEderMarkList::Add(std::unique_ptr<TRidEderMark> Item) {
  TRidEderMark* mark = Item.get();
  FItems.push_back(std::move(Item));
  Changed();
  return mark;
}

void TRidEderMarkList::Delete(int32_t Index) {
  if (Index < 0 || Index >= GetCount()) throw EListError(FormatStr(SRidListIndexError, Index));
  FItems.erase(FItems.begin() + Index);
}

void TRidEderMarkList::Remove(TRidEderMark* Item) {
  Delete(IndexOf(Item));
  Changed();
}

void TRidEderMarkList::ClearAll() {
  FItems.clear();
  Changed();
}

TRidEderMark* TRidEderMarkList::GetItem(int32_t Index) const {
  if (Index < 0 || Index >= GetCount()) throw EListError(FormatStr(SRidListIndexError, Index));
  return FItems[Index].get();
}

int32_t TRidEderMarkList::IndexOf(const TRidEderMark* Item) const {
  for (size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].get() == Item) return static_cast<int32_t>(i);
  return -1;
}

TRidEderMarks TRidEderMarkList::GetMarksForLine(int32_t ALine) const {
  TRidEderMarks marks{};
  size_t n = 0;
  for (const auto& m : FItems) {
    if (m->GetLine() != ALine) continue;
    marks[n++] = m.get();
    if (n == marks.size()) break;
  }
  return marks;
}

}  // namespace rid
