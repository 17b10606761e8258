#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <cctype>
#include <map>
#include <vector>

#include "platform/Locale.h"

namespace rid {

namespace {

struct TFormatTable {
  std::vector<std::pair<std::string, std::string>> Formats;  // name (lower case), MIME type
};

TFormatTable& Table() {
  static TFormatTable table;
  return table;
}

constexpr uint32_t kFirstRegistered = 0xC000;
constexpr const char* kTextMime = "text/plain";

std::string MimeFor(const std::string& LowerName) {
  static const std::map<std::string, std::string> known = {
      {"rideder control block type", "application/x-rideder-block"},
      {"rich text format", "text/rtf"},
      {"html format", "text/html"},
  };
  auto it = known.find(LowerName);
  if (it != known.end()) return it->second;
  // Distinct names need distinct types: a space is '-', any other byte that is no ASCII letter
  // or digit is '_' and its hex value, so Japanese names do not all fold to one type.
  std::string mime = "application/x-rideder-";
  for (char c : LowerName) {
    const auto b = static_cast<unsigned char>(c);
    if (std::isalnum(b))
      mime += c;
    else if (c == ' ')
      mime += '-';
    else
      mime += FormatStr("_%02X", b);
  }
  return mime;
}

}  // namespace

uint32_t RegisterClipboardFormat(std::string_view Name) {
  if (Name.empty()) return 0;
  const std::string key = AnsiLowerCase(Name);  // a trail byte is never folded
  auto& formats = Table().Formats;
  for (size_t i = 0; i < formats.size(); ++i)
    if (formats[i].first == key) return kFirstRegistered + static_cast<uint32_t>(i);
  formats.emplace_back(key, MimeFor(key));
  return kFirstRegistered + static_cast<uint32_t>(formats.size() - 1);
}

std::string ClipboardFormatMimeType(uint32_t Format) {
  if (Format == CF_TEXT) return kTextMime;
  const auto& formats = Table().Formats;
  if (Format < kFirstRegistered || Format - kFirstRegistered >= formats.size()) return {};
  return formats[Format - kFirstRegistered].second;
}

TClipboard::TClipboard() = default;
TClipboard::~TClipboard() = default;

const QMimeData* TClipboard::Current() const {
  if (FPending) return FPending.get();
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return nullptr;
  return QGuiApplication::clipboard()->mimeData();
}

bool TClipboard::Open() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  if (FOpenCount++ == 0) {
    FPending.reset();
    FFailed = false;
  }
  return true;
}

bool TClipboard::Close() {
  if (FOpenCount == 0) return false;
  if (--FOpenCount > 0) return !FFailed;
  if (!FPending) return !FFailed;
  std::vector<QString> formats;
  for (const QString& f : FPending->formats()) formats.push_back(f);
  QClipboard* cb = QGuiApplication::clipboard();
  cb->setMimeData(FPending.release());
  // The system may refuse the contents; that is a failure, not a quiet success.
  const QMimeData* now = cb->mimeData();
  for (const QString& f : formats)
    if (!now || !now->hasFormat(f)) FFailed = true;
  return !FFailed;
}

bool TClipboard::Clear() {
  if (!IsOpen()) {
    if (!Open()) return false;
    FPending = std::make_unique<QMimeData>();
    return Close();
  }
  FPending = std::make_unique<QMimeData>();
  return true;
}

namespace {

bool Holds(const QMimeData* M, uint32_t Format) {
  if (!M) return false;
  if (Format == CF_TEXT) return M->hasText();
  const std::string mime = ClipboardFormatMimeType(Format);
  return !mime.empty() && M->hasFormat(QString::fromStdString(mime));
}

}  // namespace

bool TClipboard::HasFormat(uint32_t Format) const { return Holds(Current(), Format); }

bool TClipboard::SetBuffer(uint32_t Format, std::string_view Data) {
  const std::string mime = ClipboardFormatMimeType(Format);
  if (mime.empty()) return false;
  const bool opened = !IsOpen();
  if (opened && !Open()) return false;
  // The first block of an opening empties the clipboard; the later ones add to it.
  if (!FPending) FPending = std::make_unique<QMimeData>();
  if (Format == CF_TEXT) {
    FPending->setText(QString::fromStdString(SjisToUtf8(Data)));
  } else {
    FPending->setData(QString::fromStdString(mime),
                      QByteArray(Data.data(), qsizetype(Data.size())));
  }
  return opened ? Close() : true;
}

bool TClipboard::GetBuffer(uint32_t Format, std::string& Data) const {
  if (Format == CF_TEXT) FLastTextLoss = 0;  // each read counts its own losses
  // One look at the clipboard: asking it again lets the system's clipboard handle another
  // owner's claim, which deletes the contents this process offered, m among them.
  const QMimeData* m = Current();
  if (!Holds(m, Format)) return false;
  if (Format == CF_TEXT) {
    Data = Utf8ToSjis(m->text().toStdString(), &FLastTextLoss);
    return true;
  }
  const QByteArray bytes = m->data(QString::fromStdString(ClipboardFormatMimeType(Format)));
  Data.assign(bytes.constData(), static_cast<size_t>(bytes.size()));
  return true;
}

std::string TClipboard::GetAsText() const {
  std::string s;
  GetBuffer(CF_TEXT, s);
  return s;
}

TClipboard* Clipboard() {
  static TClipboard clipboard;
  return &clipboard;
}

}  // namespace rid
