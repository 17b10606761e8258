#pragma once
// The program's highlighters: one configured instance of every language, owned as components
// of this module so that GetHighlighters finds them, chosen for a file by its extension and
// for the Highlighter menu by display name.
//
// A new language plugs in with one line in the constructor: Add<TRidXxxRid>(), followed by the
// settings the editor gives it (colours, a filter) where it sets any.
#include <string>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "platform/Classes.h"

namespace rid {

class TEderHighlighters : public TComponent {
 public:
  explicit TEderHighlighters(TComponent* AOwner = nullptr);
  ~TEderHighlighters() override;

  // One highlighter per language name, sorted by it (GetHighlighters over this module).
  TStrings* List() { return &FList; }
  // The highlighter whose filter lists the file name's extension, or nullptr.
  TRidCustomHighlighter* ForFileName(const std::string& AFileName);
  // The highlighter of a display name, or nullptr.
  TRidCustomHighlighter* ByName(const std::string& AName);
  // The display names, sorted: what the Highlighter menu lists.
  std::vector<std::string> Names();

 private:
  template <class T>
  T* Add() {
    return new T(this);
  }

  TStringList FList;
};

}  // namespace rid
