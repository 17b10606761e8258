#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "editor/RidEderKeyCmds.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

// A command hook: called by the editor before (AfterProcessing false) and after it processes a
// command, with the handler data given at registration.
using THookedCommandEvent =
    Delegate<void(TObject* Sender, bool AfterProcessing, bool& Handled, TRidEderorCommand& Command,
                  char& AChar, void* Data, void* HandlerData)>;

// What a plugin needs of an editor control. The editor control implements it; a plugin keeps
// the component beside it, so that it can tell when the editor is being destroyed.
class IRidPluginHost {
 public:
  virtual ~IRidPluginHost() = default;
  virtual TComponent* PluginHostComponent() = 0;
  virtual TRidEderKeyStrokes* GetKeystrokes() const = 0;
  virtual void RegisterCommandHandler(THookedCommandEvent AHandlerProc, void* AHandlerData) = 0;
  virtual void UnregisterCommandHandler(THookedCommandEvent AHandlerProc) = 0;
};

// Plugin command numbers, process-wide, from 64000 to 65535; past that it raises Exception.
TRidEderorCommand NewPluginCommand();
// Gives a number back; only the last one handed out can be reused.
void ReleasePluginCommand(TRidEderorCommand ACmd);

// A component attached to one or more editors.
class TAbstractRidPlugin : public TComponent {
 public:
  RID_CLASS_NAME(TAbstractRidPlugin)
  explicit TAbstractRidPlugin(TComponent* AOwner);
  // Detaches from every editor. A derived plugin whose DoRemoveEditor does work calls
  // RemoveAllEditors in its own destructor, as the base cannot reach the override from here.
  ~TAbstractRidPlugin() override;

  // The index of the newly attached editor; -1 when it was attached already.
  int32_t AddEditor(IRidPluginHost* AEditor);
  // The index it had; -1 when it was not attached.
  int32_t RemoveEditor(IRidPluginHost* AEditor);
  void RemoveAllEditors();

  // The first attached editor, null when none.
  IRidPluginHost* GetEditor() const;
  // Replaces the single attached editor (with several attached, adds one more).
  void SetEditor(IRidPluginHost* Value);
  int32_t GetEditorCount() const { return FEditors ? static_cast<int32_t>(FEditors->size()) : 0; }
  IRidPluginHost* GetEditors(int32_t Index) const { return FEditors->at(Index).Host; }

 protected:
  virtual void DoAddEditor(IRidPluginHost* AEditor) {}
  virtual void DoRemoveEditor(IRidPluginHost* AEditor) {}
  void Notification(TComponent* AComponent, TOperation Operation) override;
  // True while AEditor can be called: attached or detaching, and not being destroyed.
  bool EditorAlive(IRidPluginHost* AEditor) const { return AEditor && AEditor != FDyingEditor; }

 private:
  struct TEditorEntry {
    IRidPluginHost* Host;
    TComponent* Component;
  };
  int32_t IndexOfEditor(const IRidPluginHost* AEditor) const;

  std::unique_ptr<std::vector<TEditorEntry>> FEditors;  // present while any is attached
  IRidPluginHost* FDyingEditor = nullptr;
};

// A plugin that binds shortcuts to its own commands and handles them in a command hook.
class TAbstractRidHookerPlugin : public TAbstractRidPlugin {
 public:
  RID_CLASS_NAME(TAbstractRidHookerPlugin)
  using TAbstractRidPlugin::TAbstractRidPlugin;

 protected:
  // Binds ANewShortCut (not 0) to ACommand in AEditor: rebinds the binding of AOldShortCut when
  // it belongs to ACommand, else adds a binding and registers OnCommand with the editor.
  // A shortcut taken already raises ERidKeyError.
  void HookEditor(IRidPluginHost* AEditor, TRidEderorCommand ACommand, TShortCut AOldShortCut,
                  TShortCut ANewShortCut);
  // Unregisters OnCommand and removes the binding of AShortCut when it belongs to ACommand.
  void UnHookEditor(IRidPluginHost* AEditor, TRidEderorCommand ACommand, TShortCut AShortCut);
  // Removes the binding of AShortCut when it belongs to ACommand; OnCommand stays registered.
  void UnbindShortCut(IRidPluginHost* AEditor, TRidEderorCommand ACommand, TShortCut AShortCut);
  virtual void OnCommand(TObject* Sender, bool AfterProcessing, bool& Handled,
                         TRidEderorCommand& Command, char& AChar, void* Data,
                         void* HandlerData) = 0;
  THookedCommandEvent CommandHook() {
    return THookedCommandEvent(this, &TAbstractRidHookerPlugin::OnCommand);
  }
};

}  // namespace rid
