#pragma once
// The program's highlighters: one configured instance of every language, owned as components
// of this module so that GetHighlighters finds them, chosen for a file by its extension and
// for the Highlighter menu by display name. CGI scripts get a multi-language highlighter: Perl,
// with HTML here-documents coloured as pages with their script and style elements.
//
// A new language plugs in with one line in the constructor: Add<TRidXxxRid>(), followed by the
// settings the editor gives it (colours, a filter) where it sets any.
#include <memory>
#include <string>
#include <vector>

#include "editor/RidEderHighlighter.h"
#include "platform/Classes.h"

namespace rid {

class TRidGeneralRid;
class TRidMultiRid;

class TEderHighlighters : public TComponent {
 public:
  explicit TEderHighlighters(TComponent* AOwner = nullptr);
  ~TEderHighlighters() override;

  // One highlighter per language name, sorted by it (GetHighlighters over this module).
  TStrings* List() { return &FList; }
  // The highlighter whose filter lists the file name's extension; the General highlighter for a
  // file no other claims.
  TRidCustomHighlighter* ForFileName(const std::string& AFileName);
  // The highlighter of a display name, or nullptr.
  TRidCustomHighlighter* ByName(const std::string& AName);
  // The display names, sorted: what the Highlighter menu lists.
  std::vector<std::string> Names();
  // A line for each file name: the name, TAB, the class of the highlighter its extension
  // chooses, TAB, the highlighter's display name in UTF-8.
  std::string Describe(const std::vector<std::string>& AFileNames);

  // The CGI highlighter, and the page highlighter of its here-documents (HTML with JavaScript
  // in script and CSS in style elements).
  TRidMultiRid* Cgi() const { return FCgi; }
  TRidMultiRid* Page() const { return FPage.get(); }

 private:
  template <class T>
  T* Add() {
    return new T(this);
  }
  // The languages whose settings take more than a line.
  void AddGeneral();
  void AddTeX();
  void AddPython();
  void AddCgi(TRidCustomHighlighter* APerl, TRidCustomHighlighter* AHtml,
              TRidCustomHighlighter* AJs, TRidCustomHighlighter* ACss);

  TStringList FList;
  // Not a component of the module: the list keeps one highlighter per language name, and the
  // CGI highlighter is the multi-language one it lists.
  std::unique_ptr<TRidMultiRid> FPage;
  TRidMultiRid* FCgi = nullptr;
  TRidGeneralRid* FGeneral = nullptr;  // for the files no other highlighter claims
};

}  // namespace rid
