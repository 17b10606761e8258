// Formatted item text of the completion pop-up: the command parser, the painter and the helpers
// built on them.
#include <algorithm>

#include "editor/RidCompletionProposal.h"
#include "foundation/libStr.h"
#include "platform/Locale.h"

namespace rid {

// --- columns

void TProposalColumn::Assign(TPersistent* Source) {
  auto* src = dynamic_cast<TProposalColumn*>(Source);
  if (!src) return TCollectionItem::Assign(Source);
  FBiggestWord = src->FBiggestWord;
  FDefaultFontStyle = src->FDefaultFontStyle;
  Changed(false);
}

void TProposalColumn::SetBiggestWord(const std::string& Value) {
  if (Value == FBiggestWord) return;
  FBiggestWord = Value;
  Changed(false);
}

void TProposalColumn::SetDefaultFontStyle(TFontStyles Value) {
  if (Value == FDefaultFontStyle) return;
  FDefaultFontStyle = Value;
  Changed(false);
}

TProposalColumn* TProposalColumns::Add() {
  return static_cast<TProposalColumn*>(AddItem(NewItem()));
}

TProposalColumn* TProposalColumns::Items(int32_t Index) const {
  return static_cast<TProposalColumn*>(GetItem(Index));
}

std::unique_ptr<TCollectionItem> TProposalColumns::NewItem() {
  return std::make_unique<TProposalColumn>(this);
}

// --- parsing

namespace {

// The position of the first character C at or after From, walking characters; npos if none.
size_t FindChar(std::string_view S, size_t From, char C) {
  for (size_t p = From; p < S.size(); p += CharLenAt(S, p))
    if (S[p] == C) return p;
  return std::string_view::npos;
}

bool ParseStyle(std::string_view Param, TFormatStyle& Style) {
  if (Param.size() != 2) return false;
  const char letter = static_cast<char>(AnsiUpperCase(Param.substr(1))[0]);
  if (std::string_view("BIUS").find(letter) == std::string_view::npos) return false;
  switch (Param[0]) {
    case '+':
      Style.Action = 1;
      break;
    case '-':
      Style.Action = -1;
      break;
    case '~':
      Style.Action = 0;
      break;
    default:
      return false;
  }
  Style.Style = letter;
  return true;
}

// The chunk a command stands for; false when the command or its parameter is malformed.
bool ParseCommand(std::string_view Name, std::string_view Param, TFormatChunk& Chunk) {
  const std::string name = AnsiUpperCase(Name);
  if (name == "COLOR") {
    Chunk.Command = fkColor;
    return IdentToColor(Param, Chunk.Data) || TryStrToInt(Param, Chunk.Data);
  }
  if (name == "COLUMN") {
    Chunk.Command = fkColumn;
    return Param.empty();
  }
  if (name == "HSPACE" || name == "IMAGE") {
    Chunk.Command = name == "HSPACE" ? fkHSpace : fkImage;
    return TryStrToInt(Param, Chunk.Data);
  }
  if (name == "STYLE") {
    Chunk.Command = fkStyle;
    return ParseStyle(Param, Chunk.StyleFormatting);
  }
  return false;
}

}  // namespace

bool ParseFormatChunks(std::string_view S, TFormatChunkList& ChunkList,
                       TFormatChunkKinds StripCommands) {
  ChunkList.Clear();
  bool ok = true;
  std::string text;
  auto flush = [&] {
    if (text.empty()) return;
    if (!StripCommands.Contains(fkText)) ChunkList.Add({text, fkText, 0, {}});
    text.clear();
  };
  size_t p = 0;
  while (p < S.size()) {
    const size_t len = CharLenAt(S, p);
    if (len == 2 || S[p] != '\\') {
      text.append(S.substr(p, len));
      p += len;
      continue;
    }
    if (p + 1 < S.size() && S[p + 1] == '\\') {
      text += '\\';
      p += 2;
      continue;
    }
    flush();
    const size_t open = FindChar(S, p + 1, '{');
    const size_t close = open == std::string_view::npos ? open : FindChar(S, open + 1, '}');
    if (close == std::string_view::npos) return ok;  // no braces: the rest goes with it
    TFormatChunk chunk;
    if (!ParseCommand(S.substr(p + 1, open - p - 1), S.substr(open + 1, close - open - 1), chunk))
      ok = false;
    else if (!StripCommands.Contains(chunk.Command))
      ChunkList.Add(std::move(chunk));
    p = close + 1;
  }
  flush();
  return ok;
}

// --- painting

namespace {

TFontStyle StyleOf(char Letter) {
  switch (Letter) {
    case 'B':
      return fsBold;
    case 'I':
      return fsItalic;
    case 'U':
      return fsUnderline;
    default:
      return fsStrikeOut;
  }
}

void ApplyStyle(TFont& Font, const TFormatStyle& Change) {
  const TFontStyle style = StyleOf(Change.Style);
  TFontStyles s = Font.GetStyle();
  const bool on = Change.Action > 0 || (Change.Action == 0 && !s.Contains(style));
  if (on)
    s.Include(style);
  else
    s.Exclude(style);
  Font.SetStyle(s);
}

// Restores the canvas font and a solid brush, also when drawing fails.
class TChunkPainting {
 public:
  explicit TChunkPainting(TCanvas& C) : FCanvas(C) {
    FSaved.Assign(&C.Font());
    C.Brush().SetStyle(bsClear);
  }
  ~TChunkPainting() {
    FCanvas.Font().Assign(&FSaved);
    FCanvas.Brush().SetStyle(bsSolid);
  }
  TChunkPainting(const TChunkPainting&) = delete;
  TChunkPainting& operator=(const TChunkPainting&) = delete;

 private:
  TCanvas& FCanvas;
  TFont FSaved;
};

constexpr int64_t ClampToInt(int64_t V) { return std::clamp<int64_t>(V, INT32_MIN, INT32_MAX); }

}  // namespace

int32_t PaintChunks(TCanvas& C, const TRect& Rect, const TFormatChunkList& ChunkList,
                    TProposalColumns* Columns, TImageList* Images, bool Invisible) {
  TChunkPainting painting(C);
  const int32_t columnCount = Columns ? Columns->Count() : 0;
  int32_t column = columnCount > 0 ? 0 : -1;
  if (column == 0) C.Font().SetStyle(Columns->Items(0)->GetDefaultFontStyle());
  int64_t x = Rect.Left, columnStart = x;
  for (int32_t i = 0; i < ChunkList.Count() && x <= Rect.Right; ++i) {
    const TFormatChunk& chunk = ChunkList.Chunks(i);
    switch (chunk.Command) {
      case fkText:
        if (!Invisible) C.TextOut(static_cast<int32_t>(x), Rect.Top, chunk.Str);
        x += C.TextWidth(chunk.Str);
        break;
      case fkColor:
        if (!Invisible) C.Font().SetColor(chunk.Data);
        break;
      case fkStyle:
        ApplyStyle(C.Font(), chunk.StyleFormatting);
        break;
      case fkColumn:
        if (column < 0) break;
        columnStart += C.TextWidth(Columns->Items(column)->GetBiggestWord() + " ");
        x = columnStart;
        if (++column < columnCount)
          C.Font().SetStyle(Columns->Items(column)->GetDefaultFontStyle());
        else
          column = -1;
        break;
      case fkHSpace:
        x += chunk.Data;
        break;
      case fkImage:
        // Without images, or for an index the list does not have, nothing is drawn.
        if (!Images || chunk.Data < 0 || chunk.Data >= Images->GetCount()) break;
        if (!Invisible) Images->Draw(C, static_cast<int32_t>(x), Rect.Top, chunk.Data);
        x += Images->GetWidth();
        break;
    }
  }
  return static_cast<int32_t>(ClampToInt(x));
}

void DrawFormattedText(TCanvas& TargetCanvas, const TRect& Rect, std::string_view Text,
                       bool Selected, TProposalColumns* Columns, TImageList* Images) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, Selected ? TFormatChunkKinds{fkColor} : TFormatChunkKinds{});
  PaintChunks(TargetCanvas, Rect, chunks, Columns, Images, false);
}

int32_t MeasureFormattedText(TCanvas& TargetCanvas, std::string_view Text,
                             TProposalColumns* Columns, TImageList* Images) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, {fkColor});
  return PaintChunks(TargetCanvas, Rect(0, 0, MaxInt, MaxInt), chunks, Columns, Images, true);
}

std::string StripFormatting(std::string_view Text) {
  TFormatChunkList chunks;
  ParseFormatChunks(Text, chunks, {fkColor, fkStyle, fkColumn, fkHSpace, fkImage});
  std::string out;
  for (int32_t i = 0; i < chunks.Count(); ++i) out += chunks.Chunks(i).Str;
  return out;
}

std::string BoldParameter(std::string_view Text, int32_t Index) {
  TStringList items;
  items.SetCommaText(std::string(Text));
  std::string out;
  for (int32_t i = 0; i < items.Count(); ++i) {
    if (i > 0) out += ' ';
    if (i == Index)
      out += "\\style{~B}" + items[i] + "\\style{~B}";
    else
      out += items[i];
  }
  return out;
}

}  // namespace rid
