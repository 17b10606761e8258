#include "app/EderCompletion.h"

#include <QAction>
#include <QMenu>
#include <algorithm>

#include "app/EderShortCuts.h"
#include "platform/Locale.h"
#include "platform/Menus.h"

namespace rid {

namespace {

// The words met so far: an open-addressing set of views into the text, with their hashes.
class TWordSet {
 public:
  TWordSet() : FSlots(1024) {}
  void Insert(std::string_view Word, uint64_t Hash) {
    if (2 * (FWords.size() + 1) > FSlots.size()) Grow();
    size_t i = Hash & (FSlots.size() - 1);
    for (; FSlots[i].Used; i = (i + 1) & (FSlots.size() - 1))
      if (FSlots[i].Hash == Hash && FWords[FSlots[i].Index] == Word) return;
    FSlots[i] = {Hash, static_cast<uint32_t>(FWords.size()), true};
    FWords.push_back(Word);
  }
  std::vector<std::string_view>& Words() { return FWords; }

 private:
  struct TSlot {
    uint64_t Hash = 0;
    uint32_t Index = 0;
    bool Used = false;
  };
  void Grow() {
    std::vector<TSlot> grown(FSlots.size() * 2);
    for (const TSlot& s : FSlots) {
      if (!s.Used) continue;
      size_t i = s.Hash & (grown.size() - 1);
      while (grown[i].Used) i = (i + 1) & (grown.size() - 1);
      grown[i] = s;
    }
    FSlots.swap(grown);
  }
  std::vector<TSlot> FSlots;
  std::vector<std::string_view> FWords;
};

// What a byte starts: nothing of a word, a single-byte word character or a double-byte one.
enum TByteKind : uint8_t { bkOther, bkWord, bkLead };

// The first eight bytes of W with single-byte letters in upper case, as a number that orders as
// AnsiCompareText does.
uint64_t SortKey(std::string_view W) {
  uint8_t bytes[8] = {};
  for (size_t i = 0; i < W.size() && i < 8; ++i) {
    uint8_t b = static_cast<uint8_t>(W[i]);
    if (IsDBCSLeadByte(b) && i + 1 < W.size()) {
      bytes[i] = b;
      if (++i < 8) bytes[i] = static_cast<uint8_t>(W[i]);
      continue;
    }
    bytes[i] = b >= 'a' && b <= 'z' ? static_cast<uint8_t>(b - ('a' - 'A')) : b;
  }
  uint64_t key = 0;
  for (uint8_t b : bytes) key = key << 8 | b;
  return key;
}

}  // namespace

std::vector<std::string> DistinctWords(const TRidEderStringList& Lines,
                                       const TRidCharSet& WordChars, TBufferCoord Caret) {
  TByteKind kinds[256];
  for (int b = 0; b < 256; ++b)
    kinds[b] = IsDBCSLeadByte(static_cast<uint8_t>(b))       ? bkLead
               : WordChars.Contains(static_cast<uint8_t>(b)) ? bkWord
                                                             : bkOther;
  TWordSet set;
  const size_t caret = static_cast<size_t>(std::max(Caret.Char, 1)) - 1;
  for (int32_t line = 0, count = Lines.GetCount(); line < count; ++line) {
    const std::string_view s = Lines.GetView(line);
    const auto* b = reinterpret_cast<const uint8_t*>(s.data());
    const size_t n = s.size();
    for (size_t i = 0; i < n;) {
      if (kinds[b[i]] == bkOther) {
        ++i;
        continue;
      }
      const size_t start = i;
      uint64_t hash = 0xcbf29ce484222325ull;
      for (; i < n && kinds[b[i]] != bkOther; ++i) {
        if (kinds[b[i]] == bkLead && i + 1 < n) hash = (hash ^ b[i++]) * 0x100000001b3ull;
        hash = (hash ^ b[i]) * 0x100000001b3ull;
      }
      if (line + 1 == Caret.Line && start <= caret && caret <= i) continue;
      set.Insert(s.substr(start, i - start), hash);
    }
  }
  struct TEntry {
    uint64_t Key;
    std::string_view Word;
  };
  std::vector<TEntry> entries;
  entries.reserve(set.Words().size());
  for (std::string_view w : set.Words()) entries.push_back({SortKey(w), w});
  std::sort(entries.begin(), entries.end(), [](const TEntry& A, const TEntry& B) {
    if (A.Key != B.Key) return A.Key < B.Key;
    const int c = AnsiCompareText(A.Word, B.Word);
    return c != 0 ? c < 0 : A.Word < B.Word;
  });
  std::vector<std::string> words;
  words.reserve(entries.size());
  for (const TEntry& e : entries) words.emplace_back(e.Word);
  return words;
}

TEderCompletion::TEderCompletion(QMenu* AEditMenu, std::function<TRidEder&()> ACurrentEder)
    : FProposal(std::make_unique<TRidCompletionProposal>(nullptr)),
      FCurrentEder(std::move(ACurrentEder)) {
  FProposal->SetShortCut(ReadShortCutSetting("Completion", FProposal->GetShortCut()));
  FProposal->OnExecute = TCompletionExecute(this, &TEderCompletion::FillWords);
  // The key is the proposal's own (it reaches the editor); the menu only shows it.
  QString text = "Complete &Word";
  if (const TShortCut key = FProposal->GetShortCut())
    text += "\t" + QString::fromStdString(ShortCutToText(key));
  FAction = AEditMenu->addAction(text, [this] { FProposal->OpenAtCaret(&FCurrentEder()); });
  FAction->setObjectName("CompleteWord");
}

TEderCompletion::~TEderCompletion() = default;

void TEderCompletion::Attach(TRidEder& AEder) { FProposal->AddEditor(&AEder); }

void TEderCompletion::FillWords(TRidCompletionType, TObject*, std::string&, int32_t&, int32_t&,
                                bool& CanExecute) {
  TCustomRidEder* ed = FProposal->GetForm()->GetTargetEditor();
  if (!ed) {
    CanExecute = false;
    return;
  }
  TRidCharSet word, white;
  ed->GetWordCharSets(word, white);
  const std::vector<std::string> words = DistinctWords(*ed->GetLines(), word, ed->GetCaretXY());
  TStringList& items = *FProposal->GetItemList();
  TStringsUpdate update(&items);
  items.Clear();
  items.SetCapacity(static_cast<int32_t>(words.size()));
  for (const std::string& w : words) items.Add(w);
}

}  // namespace rid
