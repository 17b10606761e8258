#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/RidCompletionProposal.h"
#include "editor/RidEder.h"
#include "editor/RidEderTextBuffer.h"

class QAction;
class QMenu;

namespace rid {

// The distinct words of Lines: runs of single bytes of WordChars and of double-byte
// characters. Sorted without ASCII case (bytes decide between words that differ only in case),
// and without the occurrence on line Caret.Line that the caret (1-based column) is in, at the
// start of, or just after.
std::vector<std::string> DistinctWords(const TRidEderStringList& Lines,
                                       const TRidCharSet& WordChars, TBufferCoord Caret);

// Edit > Complete Word: one completion proposal for every editor of the window, offering the
// words of the editor it opens on. Its key is the user's choice in the registry file (value
// "Completion" of the program's keys), Ctrl+Space by default; the menu entry works whatever
// the key.
class TEderCompletion {
 public:
  TEderCompletion(QMenu* AEditMenu, std::function<TRidEder&()> ACurrentEder);
  ~TEderCompletion();
  void Attach(TRidEder& AEder);
  TRidCompletionProposal& Proposal() { return *FProposal; }
  QAction* Action() const { return FAction; }

 private:
  // OnExecute: the list holds the words of the editor it opens on.
  void FillWords(TRidCompletionType Kind, TObject* Sender, std::string& CurrentInput, int32_t& x,
                 int32_t& y, bool& CanExecute);

  std::unique_ptr<TRidCompletionProposal> FProposal;
  std::function<TRidEder&()> FCurrentEder;
  QAction* FAction;  // owned by the menu
};

}  // namespace rid
