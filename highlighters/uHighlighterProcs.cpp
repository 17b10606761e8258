#include "highlighters/uHighlighterProcs.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace rid {

namespace {

// "汎用タイプ" (general type) in code page 932.
constexpr char kGeneralName[] = "\x94\xC4\x97\x70\x83\x5E\x83\x43\x83\x76";

TRidCustomHighlighter* HighlighterAt(TStrings* AList, int32_t Index) {
  return dynamic_cast<TRidCustomHighlighter*>(AList->GetObject(Index));
}

std::string AsciiLower(std::string S) {
  for (char& c : S)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return S;
}

// Without the control bytes and blanks at both ends.
std::string Trimmed(std::string_view S) {
  while (!S.empty() && static_cast<uint8_t>(S.front()) <= ' ') S.remove_prefix(1);
  while (!S.empty() && static_cast<uint8_t>(S.back()) <= ' ') S.remove_suffix(1);
  return std::string(S);
}

// Sorts any string list as the list compares its strings, keeping the objects.
void SortStrings(TStrings* AList) {
  std::vector<std::pair<std::string, TObject*>> items;
  for (int32_t i = 0; i < AList->GetCount(); ++i)
    items.emplace_back(AList->Get(i), AList->GetObject(i));
  std::stable_sort(items.begin(), items.end(), [AList](const auto& A, const auto& B) {
    return AList->CompareStrings(A.first, B.first) < 0;
  });
  TStringsUpdate update(AList);
  AList->Clear();
  for (auto& [s, o] : items) AList->AddObject(s, o);
}

// Whether Ext stands in AMasks followed by ";" or the end, at any of its occurrences.
bool MasksListExtension(const std::string& AMasks, const std::string& AExt) {
  for (size_t p = AMasks.find(AExt); p != std::string::npos; p = AMasks.find(AExt, p + 1)) {
    const size_t after = p + AExt.size();
    if (after == AMasks.size() || AMasks[after] == ';') return true;
  }
  return false;
}

}  // namespace

void GetHighlighters(TComponent* AOwner, TStrings* AHighlighters, bool AppendToList) {
  if (!AOwner || !AHighlighters) return;
  TStringsUpdate update(AHighlighters);
  if (!AppendToList) AHighlighters->Clear();
  for (int32_t i = AOwner->GetComponentCount() - 1; i >= 0; --i) {
    auto* h = dynamic_cast<TRidCustomHighlighter*>(AOwner->GetComponent(i));
    if (!h) continue;
    const std::string name = h->GetLanguageName();
    if (AHighlighters->IndexOf(name) < 0) AHighlighters->AddObject(name, h);
  }
  SortStrings(AHighlighters);
}

TRidCustomHighlighter* GetHighlighterFromFileExt(TStrings* AHighlighters, std::string Extension) {
  Extension = AsciiLower(std::move(Extension));
  if (Extension.empty() || !AHighlighters) return nullptr;
  for (int32_t i = 0; i < AHighlighters->GetCount(); ++i) {
    TRidCustomHighlighter* h = HighlighterAt(AHighlighters, i);
    if (!h) continue;
    std::string masks = AsciiLower(h->GetDefaultFilter());
    if (const size_t bar = masks.find('|'); bar != std::string::npos) masks.erase(0, bar + 1);
    if (MasksListExtension(masks, Extension)) return h;
  }
  return nullptr;
}

void GetHighlighterNames(TStrings* AHighlighters, TStrings* ANames) {
  if (!AHighlighters || !ANames) return;
  TStringsUpdate update(ANames);
  ANames->Clear();
  for (int32_t i = 0; i < AHighlighters->GetCount(); ++i)
    if (TRidCustomHighlighter* h = HighlighterAt(AHighlighters, i))
      ANames->Add(GetHighlighterName(h));
  SortStrings(ANames);
}

std::string GetHighlighterName(TRidCustomHighlighter* AHighlighter) {
  if (!AHighlighter) return {};
  const std::string filter = AHighlighter->GetDefaultFilter();
  const size_t blank = filter.find(' ');
  const std::string name = blank == std::string::npos
                               ? std::string()
                               : Trimmed(std::string_view(filter).substr(0, blank));
  return name.empty() ? kGeneralName : name;
}

TRidCustomHighlighter* GetHighlighterByName(TStrings* AHighlighters, const std::string& AName) {
  if (!AHighlighters) return nullptr;
  for (int32_t i = 0; i < AHighlighters->GetCount(); ++i) {
    TRidCustomHighlighter* h = HighlighterAt(AHighlighters, i);
    if (h && GetHighlighterName(h) == AName) return h;
  }
  return nullptr;
}

}  // namespace rid
