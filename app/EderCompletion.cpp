#include "app/EderCompletion.h"

#include <QAction>
#include <QMenu>

#include "app/EderShortCuts.h"
#include "platform/Forms.h"
#include "platform/Locale.h"
#include "platform/Menus.h"

namespace rid {

TEderCompletion::TEderCompletion(QMenu* AEditMenu, std::function<TRidEder&()> ACurrentEder)
    : FProposal(std::make_unique<TRidCompletionProposal>(nullptr)),
      FCurrentEder(std::move(ACurrentEder)) {
  FProposal->SetShortCut(ReadShortCutSetting("Completion", FProposal->GetShortCut(), &FKeyProblem));
  FProposal->OnExecute = TCompletionExecute(this, &TEderCompletion::FillWords);
  // The key is the proposal's own (it reaches the editor); the menu only shows it.
  FAction = AEditMenu->addAction(WithKey("Complete &Word", FProposal->GetShortCut()),
                                 GuardedSlot([this] { FProposal->OpenAtCaret(&FCurrentEder()); }));
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
  const std::vector<std::string_view>& words =
      FWords.Words(*ed->GetLines(), word, ed->GetCaretXY());
  if (FWords.Version() == FListed) return;  // the list holds them already
  FListed = FWords.Version();
  TStringList& items = *FProposal->GetItemList();
  TStringsUpdate update(&items);
  items.Clear();
  items.SetCapacity(static_cast<int32_t>(words.size()));
  for (std::string_view w : words) items.Add(std::string(w));
}

}  // namespace rid
