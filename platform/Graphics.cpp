#include "platform/Graphics.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QImage>
#include <QPaintDevice>
#include <QPainter>
#include <QRawFont>
#include <QRegion>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <unordered_map>

#include "platform/Locale.h"

namespace rid {

// ---------------------------------------------------------------------------------------------
// Font substitution and realised fonts.

namespace {

struct TFaceSubstitute {
  const char* Face;  // UTF-8, compared without ASCII case
  const char* Family;
};

// Faces the editor and its printing name, and the installed family that draws each.
constexpr TFaceSubstitute kFaceSubstitutes[] = {
    {"Courier New", "IPAGothic"},         {"Courier", "IPAGothic"},
    {"FixedSys", "IPAGothic"},            {"Terminal", "IPAGothic"},
    {"Lucida Console", "IPAGothic"},      {"Consolas", "IPAGothic"},
    {"ＭＳ ゴシック", "IPAGothic"},       {"MS Gothic", "IPAGothic"},
    {"ＭＳ Ｐゴシック", "IPAPGothic"},    {"MS PGothic", "IPAPGothic"},
    {"MS UI Gothic", "IPAPGothic"},       {"MS Sans Serif", "IPAPGothic"},
    {"MS Shell Dlg", "IPAPGothic"},       {"MS Shell Dlg 2", "IPAPGothic"},
    {"Arial", "IPAPGothic"},              {"Tahoma", "IPAPGothic"},
    {"ＭＳ 明朝", "IPAMincho"},           {"MS Mincho", "IPAMincho"},
    {"ＭＳ Ｐ明朝", "IPAPMincho"},        {"MS PMincho", "IPAPMincho"},
    {"Times New Roman", "IPAPMincho"},
};

bool FamilyInstalled(const QString& Family) {
  static const QStringList families = QFontDatabase::families();
  return families.contains(Family, Qt::CaseInsensitive);
}

QString FirstInstalled(std::initializer_list<const char*> Families) {
  for (const char* f : Families)
    if (FamilyInstalled(QString::fromUtf8(f))) return QString::fromUtf8(f);
  return QString::fromUtf8(*Families.begin());
}

// Pixel size of the em for a record's height (a positive height is the cell height).
int EmPixels(const QFont& Base, int32_t Height) {
  if (Height < 0) return std::max(1, -Height);
  if (Height == 0) Height = 16;
  QFont probe = Base;
  probe.setPixelSize(1000);
  QFontMetricsF fm(probe);
  const double cell = fm.ascent() + fm.descent();
  if (cell <= 0) return Height;
  return std::max(1, static_cast<int>(std::lround(Height * 1000.0 / cell)));
}

}  // namespace

std::string SubstituteFontFace(std::string_view Face, uint8_t Pitch) {
  const QString face = QString::fromStdString(SjisToUtf8(Face)).trimmed();
  for (const auto& s : kFaceSubstitutes) {
    if (face.compare(QString::fromUtf8(s.Face), Qt::CaseInsensitive) == 0) {
      const QString family = QString::fromUtf8(s.Family);
      if (FamilyInstalled(family)) return family.toStdString();
      break;
    }
  }
  if (!face.isEmpty() && FamilyInstalled(face)) return face.toStdString();
  if ((Pitch & 3) == VARIABLE_PITCH)
    return FirstInstalled({"IPAPGothic", "IPAGothic", "DejaVu Sans"}).toStdString();
  return FirstInstalled({"IPAGothic", "DejaVu Sans Mono", "Monospace"}).toStdString();
}

void SetLogFontFaceName(TLogFont& LogFont, std::string_view Face) {
  std::memset(LogFont.lfFaceName, 0, sizeof LogFont.lfFaceName);
  size_t n = 0;
  while (n < Face.size()) {
    const size_t len = (IsDBCSLeadByte(Face[n]) && n + 1 < Face.size()) ? 2 : 1;
    if (n + len > LF_FACESIZE - 1) break;
    n += len;
  }
  std::memcpy(LogFont.lfFaceName, Face.data(), n);
}

QFont QFontFromLogFont(const TLogFont& LogFont) {
  const std::string face(LogFont.lfFaceName, strnlen(LogFont.lfFaceName, LF_FACESIZE));
  QFont f(QString::fromStdString(SubstituteFontFace(face, LogFont.lfPitchAndFamily)));
  f.setKerning(false);
  f.setHintingPreference(QFont::PreferNoHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  if ((LogFont.lfPitchAndFamily & 3) == FIXED_PITCH) {
    f.setFixedPitch(true);
    f.setStyleHint(QFont::TypeWriter, QFont::PreferAntialias);
  }
  const int weight = LogFont.lfWeight <= 0 ? FW_NORMAL : std::clamp(LogFont.lfWeight, 100, 900);
  f.setWeight(static_cast<QFont::Weight>(weight));
  f.setItalic(LogFont.lfItalic != 0);
  f.setUnderline(LogFont.lfUnderline != 0);
  f.setStrikeOut(LogFont.lfStrikeOut != 0);
  f.setPixelSize(EmPixels(f, LogFont.lfHeight));
  return f;
}

class TFontHandle {
 public:
  explicit TFontHandle(const TLogFont& ALog) : Log(ALog), Font(QFontFromLogFont(ALog)) {
    Raw = QRawFont::fromFont(Font);
    Metrics = std::make_unique<QFontMetricsF>(Font);
  }

  // The advance of one UTF-16 character in whole pixels, as the system measures text.
  int32_t Advance(char16_t Ch) const {
    auto it = FAdvances.find(Ch);
    if (it != FAdvances.end()) return it->second;
    int32_t adv;
    const quint32 glyph = Glyph(Ch);
    if (glyph != 0) {
      const auto a = Raw.advancesForGlyphIndexes(QList<quint32>{glyph}, QRawFont::SeparateAdvances);
      adv = a.isEmpty() ? 0 : static_cast<int32_t>(std::lround(a[0].x()));
    } else {
      adv = static_cast<int32_t>(std::lround(Metrics->horizontalAdvance(QChar(Ch))));
    }
    FAdvances.emplace(Ch, adv);
    return adv;
  }

  quint32 Glyph(char16_t Ch) const {
    if (!Raw.isValid()) return 0;
    auto it = FGlyphs.find(Ch);
    if (it != FGlyphs.end()) return it->second;
    const QChar c(Ch);
    const auto g = Raw.glyphIndexesForString(QString(&c, 1));
    const quint32 glyph = g.isEmpty() ? 0 : g[0];
    FGlyphs.emplace(Ch, glyph);
    return glyph;
  }

  const TTextMetric& Metric() const {
    if (!FMetricDone) {
      FMetricDone = true;
      TTextMetric& m = FMetric;
      m.tmAscent = static_cast<int32_t>(std::lround(Metrics->ascent()));
      m.tmDescent = static_cast<int32_t>(std::lround(Metrics->descent()));
      m.tmHeight = m.tmAscent + m.tmDescent;
      m.tmInternalLeading = std::max(0, m.tmHeight - Font.pixelSize());
      m.tmExternalLeading = std::max(0, static_cast<int32_t>(std::lround(Metrics->leading())));
      m.tmAveCharWidth = Advance(u'x');
      if (m.tmAveCharWidth <= 0)
        m.tmAveCharWidth = static_cast<int32_t>(std::lround(Metrics->averageCharWidth()));
      m.tmMaxCharWidth = std::max<int32_t>(static_cast<int32_t>(std::lround(Metrics->maxWidth())),
                                           m.tmAveCharWidth);
      m.tmWeight = Log.lfWeight <= 0 ? FW_NORMAL : Log.lfWeight;
      m.tmOverhang = 0;
      m.tmItalic = Log.lfItalic;
      m.tmUnderlined = Log.lfUnderline;
      m.tmStruckOut = Log.lfStrikeOut;
      m.tmPitchAndFamily = Log.lfPitchAndFamily;
      const bool japanese =
          QFontDatabase::writingSystems(Font.family()).contains(QFontDatabase::Japanese);
      if (Log.lfCharSet == DEFAULT_CHARSET || Log.lfCharSet == SHIFTJIS_CHARSET)
        m.tmCharSet = japanese ? SHIFTJIS_CHARSET : ANSI_CHARSET;
      else
        m.tmCharSet = Log.lfCharSet;
    }
    return FMetric;
  }

  TLogFont Log;
  QFont Font;
  QRawFont Raw;
  std::unique_ptr<QFontMetricsF> Metrics;

 private:
  mutable std::unordered_map<char16_t, int32_t> FAdvances;
  mutable std::unordered_map<char16_t, quint32> FGlyphs;
  mutable TTextMetric FMetric;
  mutable bool FMetricDone = false;
};

HFONT CreateFontIndirect(const TLogFont& LogFont) {
  // Records compare bytewise, so the face name is zero-filled after its terminator.
  TLogFont key = LogFont;
  const size_t n = strnlen(key.lfFaceName, LF_FACESIZE);
  std::memset(key.lfFaceName + n, 0, LF_FACESIZE - n);
  key.lfFaceName[LF_FACESIZE - 1] = 0;
  static std::map<std::string, std::unique_ptr<TFontHandle>> cache;
  std::string bytes(reinterpret_cast<const char*>(&key), sizeof key);
  auto it = cache.find(bytes);
  if (it == cache.end()) it = cache.emplace(bytes, std::make_unique<TFontHandle>(key)).first;
  return it->second.get();
}

TLogFont GetFontLogFont(HFONT Font) { return Font ? Font->Log : TLogFont{}; }

uint32_t ColorToQRgb(TColor Color) {
  const TColor c = ColorToRGB(Color);
  return qRgb(GetRValue(c), GetGValue(c), GetBValue(c));
}

bool IdentToColor(std::string_view Ident, TColor& Color) {
  static constexpr std::pair<const char*, TColor> kNames[] = {
      {"clBlack", clBlack}, {"clMaroon", clMaroon}, {"clGreen", clGreen}, {"clOlive", clOlive},
      {"clNavy", clNavy}, {"clPurple", clPurple}, {"clTeal", clTeal}, {"clGray", clGray},
      {"clSilver", clSilver}, {"clRed", clRed}, {"clLime", clLime}, {"clYellow", clYellow},
      {"clBlue", clBlue}, {"clFuchsia", clFuchsia}, {"clAqua", clAqua}, {"clWhite", clWhite},
      {"clLtGray", clLtGray}, {"clDkGray", clDkGray}, {"clNone", clNone}, {"clDefault", clDefault},
      {"clScrollBar", clScrollBar}, {"clBackground", clBackground},
      {"clActiveCaption", clActiveCaption}, {"clInactiveCaption", clInactiveCaption},
      {"clMenu", clMenu}, {"clWindow", clWindow}, {"clWindowFrame", clWindowFrame},
      {"clMenuText", clMenuText}, {"clWindowText", clWindowText}, {"clCaptionText", clCaptionText},
      {"clActiveBorder", clActiveBorder}, {"clInactiveBorder", clInactiveBorder},
      {"clAppWorkSpace", clAppWorkSpace}, {"clHighlight", clHighlight},
      {"clHighlightText", clHighlightText}, {"clBtnFace", clBtnFace}, {"clBtnShadow", clBtnShadow},
      {"clGrayText", clGrayText}, {"clBtnText", clBtnText},
      {"clInactiveCaptionText", clInactiveCaptionText}, {"clBtnHighlight", clBtnHighlight},
      {"cl3DDkShadow", cl3DDkShadow}, {"cl3DLight", cl3DLight}, {"clInfoText", clInfoText},
      {"clInfoBk", clInfoBk},
  };
  for (const auto& [name, value] : kNames)
    if (AnsiSameText(Ident, name)) {
      Color = value;
      return true;
    }
  return false;
}

namespace {

QColor ToQColor(TColor Color) { return QColor::fromRgb(ColorToQRgb(Color)); }

// One character of a code page 932 run: its byte offset and length.
struct TCharSpan {
  uint32_t Offset;
  uint32_t Length;
};

std::vector<TCharSpan> SplitCharacters(std::string_view Text) {
  std::vector<TCharSpan> spans;
  spans.reserve(Text.size());
  for (uint32_t i = 0; i < Text.size();) {
    const bool pair = IsDBCSLeadByte(Text[i]) && i + 1 < Text.size() &&
                      IsDBCSTrailByte(static_cast<uint8_t>(Text[i + 1]));
    spans.push_back({i, pair ? 2u : 1u});
    i += pair ? 2 : 1;
  }
  return spans;
}

// The UTF-16 character of each span. Runs repeat from paint to paint (the same line, the
// same token), so conversions are kept for a while.
const std::u16string& ConvertRun(std::string_view Text, const std::vector<TCharSpan>& Spans) {
  static std::unordered_map<std::string, std::u16string> cache;
  auto it = cache.find(std::string(Text));
  if (it != cache.end()) return it->second;
  if (cache.size() >= 4096) cache.clear();
  std::u16string wide = MultiByteToWideChar(CP_SJIS, Text);
  if (wide.size() != Spans.size()) {
    wide.clear();
    for (const auto& s : Spans) {
      const std::u16string one = MultiByteToWideChar(CP_SJIS, Text.substr(s.Offset, s.Length));
      wide.push_back(one.empty() ? u'?' : one[0]);
    }
  }
  return cache.emplace(std::string(Text), std::move(wide)).first->second;
}

HFONT DefaultFont() {
  static HFONT font = [] {
    TFont f;
    return f.GetHandle();
  }();
  return font;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TFont, TBrush, TPen

TFont::TFont() = default;

void TFont::Assign(TPersistent* Source) {
  if (auto* f = dynamic_cast<TFont*>(Source)) {
    if (f == this) return;
    const bool differs = FName != f->FName || FHeight != f->FHeight || FStyle != f->FStyle ||
                         FColor != f->FColor || FCharset != f->FCharset || FPitch != f->FPitch ||
                         FPixelsPerInch != f->FPixelsPerInch;
    FName = f->FName;
    FHeight = f->FHeight;
    FPixelsPerInch = f->FPixelsPerInch;
    FStyle = f->FStyle;
    FColor = f->FColor;
    FCharset = f->FCharset;
    FPitch = f->FPitch;
    if (differs) Changed();
    return;
  }
  TPersistent::Assign(Source);
}

void TFont::Changed() {
  if (OnChange) OnChange(this);
}

void TFont::SetName(const std::string& Value) {
  if (Value.empty() || Value == FName) return;
  FName = Value;
  Changed();
}

void TFont::SetHeight(int32_t Value) {
  if (Value == FHeight) return;
  FHeight = Value;
  Changed();
}

int32_t TFont::GetSize() const { return -MulDiv(FHeight, 72, FPixelsPerInch); }

void TFont::SetSize(int32_t Value) { SetHeight(-MulDiv(Value, FPixelsPerInch, 72)); }

void TFont::SetStyle(TFontStyles Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  Changed();
}

void TFont::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  Changed();
}

void TFont::SetCharset(TFontCharset Value) {
  if (Value == FCharset) return;
  FCharset = Value;
  Changed();
}

void TFont::SetPitch(TFontPitch Value) {
  if (Value == FPitch) return;
  FPitch = Value;
  Changed();
}

TLogFont TFont::GetLogFont() const {
  TLogFont lf;
  lf.lfHeight = FHeight;
  lf.lfWeight = FStyle.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
  lf.lfItalic = FStyle.Contains(fsItalic) ? 1 : 0;
  lf.lfUnderline = FStyle.Contains(fsUnderline) ? 1 : 0;
  lf.lfStrikeOut = FStyle.Contains(fsStrikeOut) ? 1 : 0;
  lf.lfCharSet = FCharset;
  lf.lfPitchAndFamily = FPitch == fpFixed      ? FIXED_PITCH
                        : FPitch == fpVariable ? VARIABLE_PITCH
                                               : DEFAULT_PITCH;
  SetLogFontFaceName(lf, FName);
  return lf;
}

void TFont::SetLogFont(const TLogFont& LogFont) {
  TFontStyles style;
  if (LogFont.lfWeight >= FW_BOLD) style.Include(fsBold);
  if (LogFont.lfItalic) style.Include(fsItalic);
  if (LogFont.lfUnderline) style.Include(fsUnderline);
  if (LogFont.lfStrikeOut) style.Include(fsStrikeOut);
  const auto pitch = LogFont.lfPitchAndFamily & 3;
  FName = std::string(LogFont.lfFaceName, strnlen(LogFont.lfFaceName, LF_FACESIZE));
  FHeight = LogFont.lfHeight;
  FStyle = style;
  FCharset = LogFont.lfCharSet;
  FPitch = pitch == FIXED_PITCH ? fpFixed : pitch == VARIABLE_PITCH ? fpVariable : fpDefault;
  Changed();
}

void TBrush::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBrush*>(Source)) {
    if (b->FColor == FColor && b->FStyle == FStyle) return;
    FColor = b->FColor;
    FStyle = b->FStyle;
    if (OnChange) OnChange(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TBrush::SetColor(TColor Value) {
  // Setting a colour makes a cleared brush solid again, as the framework's brush does.
  if (Value == FColor && FStyle == bsSolid) return;
  FColor = Value;
  FStyle = bsSolid;
  if (OnChange) OnChange(this);
}

void TBrush::SetStyle(TBrushStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  if (OnChange) OnChange(this);
}

void TPen::Assign(TPersistent* Source) {
  if (auto* p = dynamic_cast<TPen*>(Source)) {
    FColor = p->FColor;
    FWidth = p->FWidth;
    FStyle = p->FStyle;
    if (OnChange) OnChange(this);
    return;
  }
  TPersistent::Assign(Source);
}

void TPen::SetColor(TColor Value) {
  if (Value == FColor) return;
  FColor = Value;
  if (OnChange) OnChange(this);
}

void TPen::SetWidth(int32_t Value) {
  if (Value == FWidth) return;
  FWidth = std::max(0, Value);
  if (OnChange) OnChange(this);
}

void TPen::SetStyle(TPenStyle Value) {
  if (Value == FStyle) return;
  FStyle = Value;
  if (OnChange) OnChange(this);
}

// ---------------------------------------------------------------------------------------------
// TCanvas

TCanvas::TCanvas() {
  FState.Font = FFont.GetHandle();
  FState.TextColor = ColorToRGB(FFont.GetColor());
  FFont.OnChange = TNotifyEvent(this, &TCanvas::ObjectChanged);
  FBrush.OnChange = TNotifyEvent(this, &TCanvas::ObjectChanged);
  FPen.OnChange = TNotifyEvent(this, &TCanvas::ObjectChanged);
}

TCanvas::~TCanvas() { FreeHandle(); }

void TCanvas::ObjectChanged(TObject* Sender) {
  if (Sender == &FFont) {
    FState.Font = FFont.GetHandle();
    FState.TextColor = ColorToRGB(FFont.GetColor());
  } else if (Sender == &FBrush) {
    FState.BkColor = ColorToRGB(FBrush.GetColor());
    FState.BkMode = FBrush.GetStyle() == bsClear ? TRANSPARENT : OPAQUE;
  }
}

void TCanvas::SetDevice(QPaintDevice* Device) {
  if (Device == FDevice) return;
  FreeHandle();
  FDevice = Device;
}

void TCanvas::BeginPainter(QPainter* Painter, const TRect& Clip) {
  FreeHandle();
  // Every paint cycle starts with a fresh device context, as the system gives one.
  FSaved.clear();
  FState = TDCState{};
  FState.Font = FFont.GetHandle();
  FState.TextColor = ColorToRGB(FFont.GetColor());
  FState.BkColor = ColorToRGB(FBrush.GetColor());
  FState.BkMode = FBrush.GetStyle() == bsClear ? TRANSPARENT : OPAQUE;
  FPainter = Painter;
  FPainter->save();
  FHasBaseClip = true;
  FBaseClip = Clip;
  ApplyState();
}

void TCanvas::EndPainter() {
  if (FPainter && !FOwnPainter) FPainter->restore();
  if (!FOwnPainter) FPainter = nullptr;
  FHasBaseClip = false;
}

void TCanvas::FreeHandle() {
  if (FOwnPainter) {
    if (FOwnPainter->isActive()) FOwnPainter->end();
    FOwnPainter.reset();
    FPainter = nullptr;
  }
}

QPainter* TCanvas::RequirePainter() {
  if (FPainter) return FPainter;
  if (!FDevice || FDevice->width() <= 0 || FDevice->height() <= 0) return nullptr;
  FOwnPainter = std::make_unique<QPainter>();
  if (!FOwnPainter->begin(FDevice)) {
    FOwnPainter.reset();
    return nullptr;
  }
  FPainter = FOwnPainter.get();
  ApplyState();
  return FPainter;
}

TRect TCanvas::DeviceRect() const {
  const QPaintDevice* d = FPainter ? FPainter->device() : FDevice;
  if (!d) return TRect{};
  return Rect(0, 0, d->width(), d->height());
}

void TCanvas::ApplyState() {
  if (!FPainter) return;
  FPainter->resetTransform();
  QRegion clip;
  bool clipped = false;
  if (FHasBaseClip) {
    clip = QRegion(FBaseClip.Left, FBaseClip.Top, FBaseClip.Width(), FBaseClip.Height());
    clipped = true;
  }
  if (FState.HasClip) {
    QRegion own;
    for (const TRect& r : FState.ClipRects) own += QRect(r.Left, r.Top, r.Width(), r.Height());
    clip = clipped ? clip.intersected(own) : own;
    clipped = true;
  }
  if (clipped)
    FPainter->setClipRegion(clip);
  else
    FPainter->setClipping(false);
  const TSize& we = FState.WindowExt;
  const TSize& ve = FState.ViewportExt;
  QTransform t;
  t.translate(FState.ViewportOrg.X, FState.ViewportOrg.Y);
  if (FState.MapMode == MM_ANISOTROPIC && we.cx != 0 && we.cy != 0)
    t.scale(double(ve.cx) / we.cx, double(ve.cy) / we.cy);
  t.translate(-FState.WindowOrg.X, -FState.WindowOrg.Y);
  FPainter->setWorldTransform(t);
}

TPoint TCanvas::LPtoDP(TPoint P) const {
  double x = P.X - FState.WindowOrg.X, y = P.Y - FState.WindowOrg.Y;
  const TSize& we = FState.WindowExt;
  const TSize& ve = FState.ViewportExt;
  if (FState.MapMode == MM_ANISOTROPIC && we.cx != 0 && we.cy != 0) {
    x = x * ve.cx / we.cx;
    y = y * ve.cy / we.cy;
  }
  return Point(static_cast<int32_t>(std::lround(x)) + FState.ViewportOrg.X,
               static_cast<int32_t>(std::lround(y)) + FState.ViewportOrg.Y);
}

TPoint TCanvas::DPtoLP(TPoint P) const {
  double x = P.X - FState.ViewportOrg.X, y = P.Y - FState.ViewportOrg.Y;
  const TSize& we = FState.WindowExt;
  const TSize& ve = FState.ViewportExt;
  if (FState.MapMode == MM_ANISOTROPIC && ve.cx != 0 && ve.cy != 0) {
    x = x * we.cx / ve.cx;
    y = y * we.cy / ve.cy;
  }
  return Point(static_cast<int32_t>(std::lround(x)) + FState.WindowOrg.X,
               static_cast<int32_t>(std::lround(y)) + FState.WindowOrg.Y);
}

void TCanvas::FillRect(const TRect& R) {
  if (FBrush.GetStyle() == bsClear || IsRectEmpty(R)) return;
  if (QPainter* p = RequirePainter())
    p->fillRect(QRect(R.Left, R.Top, R.Width(), R.Height()), ToQColor(FBrush.GetColor()));
}

void TCanvas::FrameRect(const TRect& R) {
  if (FBrush.GetStyle() == bsClear || IsRectEmpty(R)) return;
  QPainter* p = RequirePainter();
  if (!p) return;
  const QColor c = ToQColor(FBrush.GetColor());
  p->fillRect(QRect(R.Left, R.Top, R.Width(), 1), c);
  p->fillRect(QRect(R.Left, R.Bottom - 1, R.Width(), 1), c);
  p->fillRect(QRect(R.Left, R.Top, 1, R.Height()), c);
  p->fillRect(QRect(R.Right - 1, R.Top, 1, R.Height()), c);
}

namespace {

QPen ToQPen(const TPen& Pen) {
  if (Pen.GetStyle() == psClear) return QPen(Qt::NoPen);
  QPen pen(ToQColor(Pen.GetColor()));
  pen.setWidth(std::max(1, Pen.GetWidth()));
  pen.setCapStyle(Qt::FlatCap);
  switch (Pen.GetStyle()) {
    case psDash: pen.setStyle(Qt::DashLine); break;
    case psDot: pen.setStyle(Qt::DotLine); break;
    case psDashDot: pen.setStyle(Qt::DashDotLine); break;
    case psDashDotDot: pen.setStyle(Qt::DashDotDotLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
  }
  return pen;
}

}  // namespace

void TCanvas::Rectangle(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2) {
  QPainter* p = RequirePainter();
  if (!p || X2 <= X1 || Y2 <= Y1) return;
  if (FBrush.GetStyle() != bsClear)
    p->fillRect(QRect(X1, Y1, X2 - X1, Y2 - Y1), ToQColor(FBrush.GetColor()));
  if (FPen.GetStyle() == psClear) return;
  const int w = std::max(1, FPen.GetWidth());
  const QColor c = ToQColor(FPen.GetColor());
  if (FPen.GetStyle() == psSolid || FPen.GetStyle() == psInsideFrame) {
    p->fillRect(QRect(X1, Y1, X2 - X1, w), c);
    p->fillRect(QRect(X1, Y2 - w, X2 - X1, w), c);
    p->fillRect(QRect(X1, Y1, w, Y2 - Y1), c);
    p->fillRect(QRect(X2 - w, Y1, w, Y2 - Y1), c);
  } else {
    p->save();
    p->setPen(ToQPen(FPen));
    p->setBrush(Qt::NoBrush);
    p->drawRect(QRectF(X1 + 0.5, Y1 + 0.5, X2 - X1 - 1, Y2 - Y1 - 1));
    p->restore();
  }
}

void TCanvas::LineTo(int32_t X, int32_t Y) {
  const TPoint from = FState.PenPos;
  FState.PenPos = {X, Y};
  QPainter* p = RequirePainter();
  if (!p || FPen.GetStyle() == psClear || (from.X == X && from.Y == Y)) return;
  p->save();
  p->setPen(ToQPen(FPen));
  p->setRenderHint(QPainter::Antialiasing, false);
  // A flat cap leaves the end point out: it belongs to the next line.
  p->drawLine(QPoint(from.X, from.Y), QPoint(X, Y));
  p->restore();
}

void TCanvas::TextOut(int32_t X, int32_t Y, std::string_view Text) {
  ExtTextOut(X, Y, 0, nullptr, Text, nullptr);
  FState.PenPos = {X + TextWidth(Text), Y};
}

void TCanvas::TextRect(const TRect& R, int32_t X, int32_t Y, std::string_view Text) {
  uint32_t options = ETO_CLIPPED;
  if (FBrush.GetStyle() != bsClear) options |= ETO_OPAQUE;
  ExtTextOut(X, Y, options, &R, Text, nullptr);
}

int32_t TCanvas::TextWidth(std::string_view Text) { return TextExtent(Text).cx; }
int32_t TCanvas::TextHeight(std::string_view Text) { return TextExtent(Text).cy; }

TSize TCanvas::TextExtent(std::string_view Text) {
  TSize s;
  GetTextExtentPoint32(Text, s);
  return s;
}

bool TCanvas::GetTextExtentPoint32(std::string_view Text, TSize& Size) {
  HFONT font = FState.Font ? FState.Font : DefaultFont();
  const auto spans = SplitCharacters(Text);
  const std::u16string& wide = ConvertRun(Text, spans);
  int32_t w = 0;
  for (char16_t ch : wide) w += font->Advance(ch) + FState.CharExtra;
  Size = TSize{w, font->Metric().tmHeight};
  return true;
}

bool TCanvas::GetTextMetrics(TTextMetric& Metric) {
  HFONT font = FState.Font ? FState.Font : DefaultFont();
  Metric = font->Metric();
  return true;
}

bool TCanvas::GetCharABCWidths(uint32_t Code, TABC& Abc) {
  HFONT font = FState.Font ? FState.Font : DefaultFont();
  std::string bytes;
  if (Code > 0xFF) {
    bytes.push_back(static_cast<char>(Code >> 8));
    bytes.push_back(static_cast<char>(Code & 0xFF));
    // Any pair under a lead byte is one character: one the code page lacks shows as the
    // default character, so it measures as that.
    if (!IsDBCSLeadByte(bytes[0]) || Code > 0xFFFF) return false;
  } else {
    bytes.push_back(static_cast<char>(Code));
    if (IsDBCSLeadByte(bytes[0])) return false;
  }
  std::u16string wide = MultiByteToWideChar(CP_SJIS, bytes);
  if (wide.size() != 1) wide.assign(1, char16_t(0x30FB));
  const int32_t advance = font->Advance(wide[0]);
  const quint32 glyph = font->Glyph(wide[0]);
  double left = 0, width = 0;
  if (glyph != 0) {
    const QRectF box = font->Raw.boundingRect(glyph);
    left = box.left();
    width = box.width();
  } else {
    left = font->Metrics->leftBearing(QChar(wide[0]));
    width = advance - left - font->Metrics->rightBearing(QChar(wide[0]));
  }
  Abc.abcA = static_cast<int32_t>(std::lround(left));
  Abc.abcB = static_cast<uint32_t>(std::max<long>(0, std::lround(width)));
  Abc.abcC = advance - Abc.abcA - static_cast<int32_t>(Abc.abcB);
  return true;
}

uint32_t TCanvas::GetFontLanguageInfo() {
  TTextMetric m;
  GetTextMetrics(m);
  return m.tmCharSet == SHIFTJIS_CHARSET ? GCP_DBCS : 0;
}

int32_t TCanvas::GetDeviceCaps(int32_t Index) {
  const TRect dev = DeviceRect();
  switch (Index) {
    case HORZRES: return dev.Width();
    case VERTRES: return dev.Height();
    case LOGPIXELSX: return FCaps.LogPixelsX;
    case LOGPIXELSY: return FCaps.LogPixelsY;
    case PHYSICALWIDTH: return FCaps.PhysicalWidth ? FCaps.PhysicalWidth : dev.Width();
    case PHYSICALHEIGHT: return FCaps.PhysicalHeight ? FCaps.PhysicalHeight : dev.Height();
    case PHYSICALOFFSETX: return FCaps.PhysicalOffsetX;
    case PHYSICALOFFSETY: return FCaps.PhysicalOffsetY;
    default: return 0;
  }
}

HFONT TCanvas::SelectObject(HFONT Font) {
  const HFONT old = FState.Font;
  if (Font) FState.Font = Font;
  return old;
}

TColor TCanvas::SetTextColor(TColor Color) {
  const TColor old = FState.TextColor;
  FState.TextColor = ColorToRGB(Color);
  return old;
}

TColor TCanvas::SetBkColor(TColor Color) {
  const TColor old = FState.BkColor;
  FState.BkColor = ColorToRGB(Color);
  return old;
}

int32_t TCanvas::SetBkMode(int32_t Mode) {
  const int32_t old = FState.BkMode;
  if (Mode == TRANSPARENT || Mode == OPAQUE) FState.BkMode = Mode;
  return old;
}

int32_t TCanvas::SetTextCharacterExtra(int32_t Extra) {
  const int32_t old = FState.CharExtra;
  FState.CharExtra = Extra;
  return old;
}

uint32_t TCanvas::SetTextAlign(uint32_t Align) {
  const uint32_t old = FState.TextAlign;
  FState.TextAlign = Align;
  return old;
}

bool TCanvas::ExtTextOut(int32_t X, int32_t Y, uint32_t Options, const TRect* Rect,
                         std::string_view Text, const int32_t* Dx) {
  QPainter* p = RequirePainter();
  if (!p) return false;
  if ((Options & ETO_OPAQUE) && Rect && !IsRectEmpty(*Rect))
    p->fillRect(QRect(Rect->Left, Rect->Top, Rect->Width(), Rect->Height()),
                ToQColor(FState.BkColor));
  if (Text.empty()) return true;
  p->save();
  if ((Options & ETO_CLIPPED) && Rect)
    p->setClipRect(QRect(Rect->Left, Rect->Top, Rect->Width(), Rect->Height()),
                   Qt::IntersectClip);
  DrawTextRun(*p, X, Y, Text, Dx, nullptr);
  p->restore();
  return true;
}

void TCanvas::DrawTextRun(QPainter& P, int32_t X, int32_t Y, std::string_view Text,
                          const int32_t* Dx, int32_t* Width) {
  HFONT font = FState.Font ? FState.Font : DefaultFont();
  const TTextMetric& tm = font->Metric();
  const auto spans = SplitCharacters(Text);
  const std::u16string& wide = ConvertRun(Text, spans);

  // Cell positions: every byte advances by its own entry, so a double-byte glyph sits at its
  // lead byte's cell whatever its own width.
  std::vector<int32_t> xs(spans.size());
  int32_t pos = 0;
  for (size_t i = 0; i < spans.size(); ++i) {
    xs[i] = pos;
    if (Dx) {
      pos += Dx[spans[i].Offset];
      if (spans[i].Length == 2) pos += Dx[spans[i].Offset + 1];
    } else {
      pos += font->Advance(wide[i]) + FState.CharExtra;
    }
  }
  const int32_t total = pos;
  if (Width) *Width = total;

  int32_t left = X;
  const uint32_t h = FState.TextAlign & 6;
  if (h == TA_RIGHT) left = X - total;
  if (h == TA_CENTER) left = X - total / 2;
  int32_t top = Y;
  const uint32_t v = FState.TextAlign & 24;
  if (v == TA_BASELINE) top = Y - tm.tmAscent;
  if (v == TA_BOTTOM) top = Y - tm.tmHeight;
  const int32_t baseline = top + tm.tmAscent;

  if (FState.BkMode == OPAQUE)
    P.fillRect(QRect(left, top, total, tm.tmHeight), ToQColor(FState.BkColor));

  const QColor fore = ToQColor(FState.TextColor);
  P.setPen(fore);
  QList<quint32> glyphs;
  QList<QPointF> points;
  glyphs.reserve(static_cast<qsizetype>(spans.size()));
  points.reserve(static_cast<qsizetype>(spans.size()));
  for (size_t i = 0; i < spans.size(); ++i) {
    const char16_t ch = wide[i];
    if (ch < 0x20) continue;
    const quint32 g = font->Glyph(ch);
    if (g != 0) {
      glyphs.push_back(g);
      points.push_back(QPointF(left + xs[i], baseline));
    } else if (ch != u' ') {
      // Not in the family: another installed family draws it in the same cell.
      P.setFont(font->Font);
      P.drawText(QPointF(left + xs[i], baseline), QString(QChar(ch)));
    }
  }
  if (!glyphs.isEmpty()) {
    QGlyphRun run;
    run.setRawFont(font->Raw);
    run.setGlyphIndexes(glyphs);
    run.setPositions(points);
    P.drawGlyphRun(QPointF(0, 0), run);
  }
  const double lineWidth = std::max(1.0, std::round(font->Metrics->lineWidth()));
  if (font->Log.lfUnderline) {
    const double y = baseline + std::max(1.0, std::round(font->Metrics->underlinePos()));
    P.fillRect(QRectF(left, y, total, lineWidth), fore);
  }
  if (font->Log.lfStrikeOut) {
    const double y = baseline - std::round(font->Metrics->strikeOutPos());
    P.fillRect(QRectF(left, y, total, lineWidth), fore);
  }
}

int32_t TCanvas::SaveDC() {
  FSaved.push_back(FState);
  return static_cast<int32_t>(FSaved.size());
}

bool TCanvas::RestoreDC(int32_t Saved) {
  const int32_t count = static_cast<int32_t>(FSaved.size());
  const int32_t index = Saved < 0 ? count + Saved : Saved - 1;
  if (index < 0 || index >= count) return false;
  FState = FSaved[static_cast<size_t>(index)];
  FSaved.resize(static_cast<size_t>(index));
  ApplyState();
  return true;
}

namespace {

TRect ToDeviceRect(const TCanvas& C, int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  const TPoint a = C.LPtoDP(Point(Left, Top));
  const TPoint b = C.LPtoDP(Point(Right, Bottom));
  return Rect(std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X), std::max(a.Y, b.Y));
}

std::vector<TRect> RegionRects(const QRegion& R) {
  std::vector<TRect> rects;
  for (const QRect& q : R) rects.push_back(Bounds(q.x(), q.y(), q.width(), q.height()));
  return rects;
}

QRegion RectsRegion(const std::vector<TRect>& Rects) {
  QRegion r;
  for (const TRect& t : Rects) r += QRect(t.Left, t.Top, t.Width(), t.Height());
  return r;
}

}  // namespace

int32_t TCanvas::ClipResult() {
  QRegion r = FState.HasClip ? RectsRegion(FState.ClipRects)
                             : QRegion(QRect(0, 0, DeviceRect().Width(), DeviceRect().Height()));
  if (FHasBaseClip) r &= QRect(FBaseClip.Left, FBaseClip.Top, FBaseClip.Width(), FBaseClip.Height());
  if (r.isEmpty()) return NULLREGION;
  return r.rectCount() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

int32_t TCanvas::IntersectClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  const TRect d = ToDeviceRect(*this, Left, Top, Right, Bottom);
  QRegion r(QRect(d.Left, d.Top, d.Width(), d.Height()));
  if (FState.HasClip) r &= RectsRegion(FState.ClipRects);
  FState.HasClip = true;
  FState.ClipRects = RegionRects(r);
  ApplyState();
  return ClipResult();
}

int32_t TCanvas::ExcludeClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
  const TRect d = ToDeviceRect(*this, Left, Top, Right, Bottom);
  const TRect dev = DeviceRect();
  QRegion r = FState.HasClip ? RectsRegion(FState.ClipRects)
                             : QRegion(QRect(0, 0, dev.Width(), dev.Height()));
  r -= QRect(d.Left, d.Top, d.Width(), d.Height());
  FState.HasClip = true;
  FState.ClipRects = RegionRects(r);
  ApplyState();
  return ClipResult();
}

int32_t TCanvas::SelectClipRect(const TRect* R) {
  if (!R) {
    FState.HasClip = false;
    FState.ClipRects.clear();
  } else {
    FState.HasClip = true;
    FState.ClipRects = {ToDeviceRect(*this, R->Left, R->Top, R->Right, R->Bottom)};
  }
  ApplyState();
  return ClipResult();
}

TRect TCanvas::GetClipRect() {
  QRegion r = FState.HasClip ? RectsRegion(FState.ClipRects)
                             : QRegion(QRect(0, 0, DeviceRect().Width(), DeviceRect().Height()));
  if (FHasBaseClip) r &= QRect(FBaseClip.Left, FBaseClip.Top, FBaseClip.Width(), FBaseClip.Height());
  const QRect b = r.boundingRect();
  if (b.isEmpty()) return TRect{};
  const TPoint a = DPtoLP(Point(b.left(), b.top()));
  const TPoint c = DPtoLP(Point(b.left() + b.width(), b.top() + b.height()));
  return Rect(a.X, a.Y, c.X, c.Y);
}

int32_t TCanvas::SetMapMode(int32_t Mode) {
  const int32_t old = FState.MapMode;
  FState.MapMode = Mode == MM_ANISOTROPIC ? MM_ANISOTROPIC : MM_TEXT;
  if (FState.MapMode == MM_TEXT) {
    FState.WindowExt = {1, 1};
    FState.ViewportExt = {1, 1};
  }
  ApplyState();
  return old;
}

bool TCanvas::SetWindowExtEx(int32_t X, int32_t Y, TSize* Old) {
  if (Old) *Old = FState.WindowExt;
  if (FState.MapMode != MM_ANISOTROPIC) return true;
  if (X == 0 || Y == 0) return false;
  FState.WindowExt = {X, Y};
  ApplyState();
  return true;
}

bool TCanvas::SetViewportExtEx(int32_t X, int32_t Y, TSize* Old) {
  if (Old) *Old = FState.ViewportExt;
  if (FState.MapMode != MM_ANISOTROPIC) return true;
  if (X == 0 || Y == 0) return false;
  FState.ViewportExt = {X, Y};
  ApplyState();
  return true;
}

bool TCanvas::SetWindowOrgEx(int32_t X, int32_t Y, TPoint* Old) {
  if (Old) *Old = FState.WindowOrg;
  FState.WindowOrg = {X, Y};
  ApplyState();
  return true;
}

bool TCanvas::SetViewportOrgEx(int32_t X, int32_t Y, TPoint* Old) {
  if (Old) *Old = FState.ViewportOrg;
  FState.ViewportOrg = {X, Y};
  ApplyState();
  return true;
}

void TCanvas::Draw(int32_t X, int32_t Y, TBitmap& Bitmap) {
  if (Bitmap.Empty()) return;
  const QImage img = Bitmap.MaskedImage();
  if (QPainter* p = RequirePainter()) p->drawImage(QPoint(X, Y), img);
}

void TCanvas::StretchDraw(const TRect& R, TBitmap& Bitmap) {
  if (Bitmap.Empty() || IsRectEmpty(R)) return;
  const QImage img = Bitmap.MaskedImage();
  if (QPainter* p = RequirePainter())
    p->drawImage(QRect(R.Left, R.Top, R.Width(), R.Height()), img);
}

// ---------------------------------------------------------------------------------------------
// TBitmap, TImageList

TBitmap::TBitmap() : FImage(std::make_unique<QImage>()), FCanvas(std::make_unique<TCanvas>()) {
  FCanvas->SetDevice(FImage.get());
}

TBitmap::~TBitmap() { FCanvas->FreeHandle(); }

void TBitmap::Assign(TPersistent* Source) {
  if (auto* b = dynamic_cast<TBitmap*>(Source)) {
    if (b == this) return;
    SetImage(b->Image());
    FTransparent = b->FTransparent;
    FTransparentColor = b->FTransparentColor;
    return;
  }
  TPersistent::Assign(Source);
}

int32_t TBitmap::GetWidth() const { return FImage->width(); }
int32_t TBitmap::GetHeight() const { return FImage->height(); }

void TBitmap::SetSize(int32_t AWidth, int32_t AHeight) {
  AWidth = std::max(0, AWidth);
  AHeight = std::max(0, AHeight);
  if (AWidth == GetWidth() && AHeight == GetHeight()) return;
  FCanvas->FreeHandle();
  QImage img(AWidth, AHeight, QImage::Format_RGB32);
  img.fill(Qt::white);
  if (!FImage->isNull()) {
    QPainter p(&img);
    p.drawImage(0, 0, *FImage);
  }
  *FImage = std::move(img);
}

TColor TBitmap::GetTransparentColor() const {
  if (FTransparentColor != clDefault || FImage->isNull()) return FTransparentColor;
  const QRgb px = FImage->pixel(0, FImage->height() - 1);
  return RGB(qRed(px), qGreen(px), qBlue(px));
}

TCanvas& TBitmap::Canvas() { return *FCanvas; }

const QImage& TBitmap::Image() {
  FCanvas->FreeHandle();
  return *FImage;
}

void TBitmap::SetImage(const QImage& Image) {
  FCanvas->FreeHandle();
  *FImage = Image.convertToFormat(QImage::Format_RGB32);
}

QImage TBitmap::MaskedImage() {
  const QImage& src = Image();
  if (!FTransparent) return src;
  QImage out = src.convertToFormat(QImage::Format_ARGB32);
  const QRgb mask = ColorToQRgb(GetTransparentColor()) & 0xFFFFFF;
  for (int y = 0; y < out.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < out.width(); ++x)
      if ((line[x] & 0xFFFFFF) == mask) line[x] = 0;
  }
  return out;
}

bool TBitmap::LoadFromFile(const std::string& FileName) {
  QImage img;
  if (!img.load(QString::fromStdString(FileName))) return false;
  SetImage(img);
  return true;
}

TImageList::TImageList(TComponent* AOwner) : TComponent(AOwner) {}
TImageList::~TImageList() = default;

void TImageList::SetSize(int32_t AWidth, int32_t AHeight) {
  FWidth = std::max(1, AWidth);
  FHeight = std::max(1, AHeight);
  Clear();
}

int32_t TImageList::AddMasked(TBitmap& Image, TColor MaskColor) {
  QImage img = Image.Image().convertToFormat(QImage::Format_ARGB32);
  if (MaskColor != clNone) {
    const QRgb mask = ColorToQRgb(MaskColor) & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
      for (int x = 0; x < img.width(); ++x)
        if ((line[x] & 0xFFFFFF) == mask) line[x] = 0;
    }
  }
  // A strip wider than one image holds several, left to right.
  const int32_t count = std::max(1, img.width() / FWidth);
  const int32_t first = GetCount();
  for (int32_t i = 0; i < count; ++i)
    FImages.push_back(std::make_unique<QImage>(img.copy(i * FWidth, 0, FWidth, FHeight)));
  if (OnChange) OnChange(this);
  return first;
}

void TImageList::Clear() {
  FImages.clear();
  if (OnChange) OnChange(this);
}

void TImageList::Draw(TCanvas& Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled) {
  if (Index < 0 || Index >= GetCount()) return;
  QPainter* p = Canvas.RequirePainter();
  if (!p) return;
  p->save();
  if (!Enabled) p->setOpacity(0.5);
  p->drawImage(QPoint(X, Y), *FImages[static_cast<size_t>(Index)]);
  p->restore();
}

}  // namespace rid
