#include "editor/RidEderPlugins.h"

#include <algorithm>

namespace rid {

namespace {
constexpr int32_t ecPluginFirst = 64000;
// Past the last 16-bit number the next would wrap into the editor's own commands.
constexpr int32_t ecPluginEnd = 65536;
int32_t GCurrentCommand = ecPluginFirst;
}  // namespace

TRidEderorCommand NewPluginCommand() {
  if (GCurrentCommand >= ecPluginEnd) throw Exception("No plugin command numbers left");
  return static_cast<TRidEderorCommand>(GCurrentCommand++);
}

void ReleasePluginCommand(TRidEderorCommand ACmd) {
  if (ACmd >= ecPluginFirst && ACmd == GCurrentCommand - 1) GCurrentCommand = ACmd;
}

// TAbstractRidPlugin

TAbstractRidPlugin::TAbstractRidPlugin(TComponent* AOwner) : TComponent(AOwner) {}

TAbstractRidPlugin::~TAbstractRidPlugin() { RemoveAllEditors(); }

int32_t TAbstractRidPlugin::IndexOfEditor(const IRidPluginHost* AEditor) const {
  if (!FEditors) return -1;
  for (size_t i = 0; i < FEditors->size(); ++i)
    if ((*FEditors)[i].Host == AEditor) return static_cast<int32_t>(i);
  return -1;
}

int32_t TAbstractRidPlugin::AddEditor(IRidPluginHost* AEditor) {
  if (!AEditor || IndexOfEditor(AEditor) >= 0) return -1;
  TComponent* Component = AEditor->PluginHostComponent();
  if (Component) Component->FreeNotification(this);
  if (!FEditors) FEditors = std::make_unique<std::vector<TEditorEntry>>();
  FEditors->push_back({AEditor, Component});
  const int32_t Result = static_cast<int32_t>(FEditors->size()) - 1;
  DoAddEditor(AEditor);
  return Result;
}

int32_t TAbstractRidPlugin::RemoveEditor(IRidPluginHost* AEditor) {
  const int32_t Result = IndexOfEditor(AEditor);
  if (Result < 0) return -1;
  TComponent* Component = (*FEditors)[Result].Component;
  FEditors->erase(FEditors->begin() + Result);
  if (FEditors->empty()) FEditors.reset();
  if (Component && AEditor != FDyingEditor) RemoveFreeNotification(Component);
  DoRemoveEditor(AEditor);
  return Result;
}

void TAbstractRidPlugin::RemoveAllEditors() {
  while (FEditors && !FEditors->empty()) RemoveEditor(FEditors->back().Host);
}

IRidPluginHost* TAbstractRidPlugin::GetEditor() const {
  return FEditors && !FEditors->empty() ? FEditors->front().Host : nullptr;
}

void TAbstractRidPlugin::SetEditor(IRidPluginHost* Value) {
  if (Value == GetEditor()) return;
  if (GetEditorCount() == 1) RemoveEditor(GetEditor());
  if (Value) AddEditor(Value);
}

void TAbstractRidPlugin::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation != opRemove || !FEditors) return;
  for (size_t i = 0; FEditors && i < FEditors->size(); ++i) {
    if ((*FEditors)[i].Component != AComponent) continue;
    IRidPluginHost* Editor = (*FEditors)[i].Host;
    if (!AComponent->GetComponentState().Contains(csDestroying)) {
      RemoveEditor(Editor);
      return;
    }
    // The editor is being destroyed: its derived part is gone, so it is not called again.
    FDyingEditor = Editor;
    try {
      RemoveEditor(Editor);
    } catch (...) {
      FDyingEditor = nullptr;
      throw;
    }
    FDyingEditor = nullptr;
    return;
  }
}

// TAbstractRidHookerPlugin

void TAbstractRidHookerPlugin::HookEditor(IRidPluginHost* AEditor, TRidEderorCommand ACommand,
                                          TShortCut AOldShortCut, TShortCut ANewShortCut) {
  RID_ASSERT(ANewShortCut != 0);
  TRidEderKeyStrokes* Keys = AEditor->GetKeystrokes();
  if (GetComponentState().Contains(csDesigning)) {
    if (Keys->IndexOfShortcut(ANewShortCut) >= 0) throw ERidKeyError("Shortcut already exists");
    return;
  }
  if (AOldShortCut != 0) {
    const int32_t i = Keys->IndexOfShortcut(AOldShortCut);
    if (i >= 0 && Keys->GetItem(i)->GetCommand() == ACommand) {
      Keys->GetItem(i)->SetShortCut(ANewShortCut);
      return;
    }
  }
  TRidEderKeyStroke* Key = Keys->Add();
  try {
    Key->SetShortCut(ANewShortCut);
  } catch (...) {
    Keys->Delete(Key->GetIndex());
    throw;
  }
  Key->SetCommand(ACommand);
  AEditor->RegisterCommandHandler(CommandHook(), this);
}

void TAbstractRidHookerPlugin::UnHookEditor(IRidPluginHost* AEditor, TRidEderorCommand ACommand,
                                            TShortCut AShortCut) {
  if (!EditorAlive(AEditor)) return;  // a dying editor frees its hooks and bindings itself
  AEditor->UnregisterCommandHandler(CommandHook());
  UnbindShortCut(AEditor, ACommand, AShortCut);
}

void TAbstractRidHookerPlugin::UnbindShortCut(IRidPluginHost* AEditor, TRidEderorCommand ACommand,
                                              TShortCut AShortCut) {
  if (!EditorAlive(AEditor) || AShortCut == 0) return;
  TRidEderKeyStrokes* Keys = AEditor->GetKeystrokes();
  const int32_t i = Keys->IndexOfShortcut(AShortCut);
  if (i >= 0 && Keys->GetItem(i)->GetCommand() == ACommand) Keys->Delete(i);
}

}  // namespace rid
