#pragma once
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/EderWords.h"
#include "editor/RidCompletionProposal.h"
#include "editor/RidEder.h"

class QAction;
class QMenu;

namespace rid {

// Edit > Complete Word: one completion proposal for every editor of the window, offering the
// other words of the editor it opens on. Its key is the user's choice in the registry file (value
// "Completion" of the program's keys), Ctrl+Space by default; the menu entry works whatever
// the key.
class TEderCompletion {
 public:
  TEderCompletion(QMenu* AEditMenu, std::function<TRidEder&()> ACurrentEder);
  ~TEderCompletion();
  void Attach(TRidEder& AEder);
  TRidCompletionProposal& Proposal() { return *FProposal; }
  // Why the key in the registry file was not taken ("" when it was, or when there is none).
  const std::string& KeyProblem() const { return FKeyProblem; }
  QAction* Action() const { return FAction; }

 private:
  // OnExecute: the list holds the words of the editor it opens on.
  void FillWords(TRidCompletionType Kind, TObject* Sender, std::string& CurrentInput, int32_t& x,
                 int32_t& y, bool& CanExecute);

  std::unique_ptr<TRidCompletionProposal> FProposal;
  std::function<TRidEder&()> FCurrentEder;
  std::string FKeyProblem;
  TWordIndex FWords;
  uint64_t FListed = 0;  // the version of the words the list holds
  QAction* FAction;      // owned by the menu
};

}  // namespace rid
