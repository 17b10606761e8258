#include "app/EderPage.h"

#include <algorithm>
#include <filesystem>
#include <functional>

#include "foundation/JCode.h"
#include "foundation/JConv.h"
#include "platform/Locale.h"

namespace rid {

namespace {

// The end of the line that starts at P, its break (CR LF, CR or LF) included, in a text of
// Unit-byte units whose character code is in the byte at LowAt (UTF-16: two and 0 or 1).
size_t LineEnd(std::string_view Bytes, size_t P, size_t Unit, size_t LowAt) {
  const auto unitIs = [&](size_t At, char C) {
    return At + Unit <= Bytes.size() && Bytes[At + LowAt] == C &&
           (Unit == 1 || Bytes[At + 1 - LowAt] == 0);
  };
  for (; P + Unit <= Bytes.size(); P += Unit) {
    if (unitIs(P, '\n')) return P + Unit;
    if (unitIs(P, '\r')) return unitIs(P + Unit, '\n') ? P + 2 * Unit : P + Unit;
  }
  return Bytes.size();
}

// Whether JIS text is inside a double-byte shift after Line, given whether it was before it: the
// line's last escape of a shift decides, as JisToSjis reads them.
bool ShiftedAfter(std::string_view Line, bool Shifted) {
  for (size_t i = 0; i + 2 < Line.size(); ++i)
    if (Line[i] == '\x1B' && (Line[i + 1] == '$' || Line[i + 1] == '('))
      Shifted = Line[i + 1] == '$';
  return Shifted;
}

// The line (1-based) of a file's bytes in Code that holds the first character the conversion to
// Shift-JIS replaces, 0 when none does. The codes that replace characters read each line on its
// own, so the lines are converted one by one until one replaces something.
int32_t FirstSubstitutedLine(std::string_view Bytes, JCodeKind Code) {
  size_t unit = 1, lowAt = 0;
  std::function<std::string(std::string_view, size_t*)> convert;
  switch (Code) {
    case jcJisB:
    case jcJisAt:
      // A shift runs on over line breaks: a line that starts inside one is read inside one.
      convert = [shifted = false](std::string_view Line, size_t* Substituted) mutable {
        const std::string text = (shifted ? "\x1B$B" : "") + std::string(Line);
        shifted = ShiftedAfter(Line, shifted);
        return JisToSjis(text, Substituted);
      };
      break;
    case jcEuc:
      convert = EucToSjis;
      break;
    case jcUtf8Bom:
      Bytes.remove_prefix(std::min<size_t>(3, Bytes.size()));  // the mark
      [[fallthrough]];
    case jcUtf8:
      convert = Utf8ToSjis;
      break;
    case jcUtf16LE:
    case jcUtf16BE: {
      Bytes.remove_prefix(std::min<size_t>(2, Bytes.size()));  // the mark
      const bool bigEndian = Code == jcUtf16BE;
      unit = 2;
      lowAt = bigEndian ? 1 : 0;
      convert = [bigEndian](std::string_view Line, size_t* Substituted) {
        return Utf16ToSjis(Line, bigEndian, Substituted);
      };
      break;
    }
    default:
      return 0;  // read as they are
  }
  int32_t line = 1;
  for (size_t p = 0; p < Bytes.size(); ++line) {
    const size_t end = LineEnd(Bytes, p, unit, lowAt);
    size_t substituted = 0;
    convert(Bytes.substr(p, end - p), &substituted);
    if (substituted > 0) return line;
    p = end;
  }
  return 0;
}

// FirstSubstitutedLine of the file read again (its first reading was converted where it lay);
// 0 when it cannot be read again.
int32_t FindFirstSubstitutedLine(const std::string& FileName, JCodeKind Code) {
  try {
    return FirstSubstitutedLine(LoadBytesFromFile(FileName), Code);
  } catch (const Exception&) {
    return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
}

}  // namespace

std::string DocumentTitle(const std::string& FileName) {
  return Utf8ToSjis(std::filesystem::path(FileName).stem().string());
}

std::unique_ptr<TEderPage> NewPage(const std::string& FileName, std::string Sjis,
                                   TRidCustomHighlighter* Highlighter) {
  auto page = std::make_unique<TEderPage>();
  page->FileName = FileName;
  page->Highlighter = Highlighter;
  page->Eder = std::make_unique<TRidEder>(nullptr);
  TRidEder& ed = *page->Eder;
  ed.GetLines()->AdoptBytes(std::move(Sjis));  // the lines keep these bytes: no second copy
  ed.SetHighlighter(Highlighter);
  ed.SetModified(false);
  return page;
}

std::string ConversionWarning(const TEderPage& Page) {
  if (Page.Substituted == 0) return {};
  return FormatStr("\"%s\": %zu character%s could not be read as Shift-JIS and show%s as '?'",
                   Page.FileName.c_str(), Page.Substituted, Page.Substituted == 1 ? "" : "s",
                   Page.Substituted == 1 ? "s" : "");
}

std::unique_ptr<TEderPage> LoadPage(const std::string& FileName, TEderHighlighters& Highlighters) {
  TFileState disk;
  std::string bytes = LoadBytesFromFile(FileName, &disk);
  const int64_t size = static_cast<int64_t>(bytes.size());
  try {
    JCodeKind code = jcSjis;
    size_t substituted = 0;
    char kanjiOut = 'J';
    std::string sjis = BytesToSjis(std::move(bytes), &code, &substituted, &kanjiOut);
    auto page = NewPage(FileName, std::move(sjis), Highlighters.ForFileName(FileName));
    page->Code = code;
    page->JisKanjiOut = kanjiOut;
    page->Substituted = substituted;
    if (substituted > 0) page->FirstSubstitutedLine = FindFirstSubstitutedLine(FileName, code);
    page->Disk = disk;
    return page;
  } catch (const std::bad_alloc&) {
    RaiseOutOfMemory(FileName, size);
  } catch (const EOutOfMemory&) {
    throw;
  } catch (const Exception& e) {
    // A text the editor cannot hold (a line beyond 1 GiB): said of this file among the others.
    throw Exception("cannot read " + FileName + ": " + e.Message);
  }
}

}  // namespace rid
