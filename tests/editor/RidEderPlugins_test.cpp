#include "editor/RidEderPlugins.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rid {
namespace {

// An editor as far as plugins see one: key bindings and a de-duplicated hook list.
class FakeEditor : public TComponent, public IRidPluginHost {
 public:
  FakeEditor() : TComponent(nullptr) { Keys.ResetDefaults(); }
  TComponent* PluginHostComponent() override { return this; }
  TRidEderKeyStrokes* GetKeystrokes() const override { return &Keys; }
  void RegisterCommandHandler(THookedCommandEvent AHandlerProc, void* AHandlerData) override {
    for (auto& h : Hooks)
      if (h.first == AHandlerProc) return;
    Hooks.push_back({AHandlerProc, AHandlerData});
  }
  void UnregisterCommandHandler(THookedCommandEvent AHandlerProc) override {
    std::erase_if(Hooks, [&](auto& h) { return h.first == AHandlerProc; });
  }
  void Run(TRidEderorCommand Cmd) {
    bool Handled = false;
    char Ch = 0;
    for (auto& h : Hooks) h.first(this, false, Handled, Cmd, Ch, nullptr, h.second);
  }
  mutable TRidEderKeyStrokes Keys;
  std::vector<std::pair<THookedCommandEvent, void*>> Hooks;
};

class TestPlugin : public TAbstractRidHookerPlugin {
 public:
  explicit TestPlugin(TComponent* AOwner = nullptr) : TAbstractRidHookerPlugin(AOwner) {
    Command = NewPluginCommand();
  }
  ~TestPlugin() override {
    RemoveAllEditors();
    ReleasePluginCommand(Command);
  }
  TRidEderorCommand Command;
  TShortCut Key = scCtrl | scShift | 'R';
  std::vector<std::string> Log;
  using TAbstractRidHookerPlugin::HookEditor;

 protected:
  void DoAddEditor(IRidPluginHost* AEditor) override {
    Log.push_back("add");
    HookEditor(AEditor, Command, 0, Key);
  }
  void DoRemoveEditor(IRidPluginHost* AEditor) override {
    Log.push_back("remove");
    UnHookEditor(AEditor, Command, Key);
  }
  void OnCommand(TObject* Sender, bool AfterProcessing, bool& Handled, TRidEderorCommand& Cmd,
                 char& AChar, void* Data, void* HandlerData) override {
    if (Cmd == Command && HandlerData == this) Log.push_back("command");
  }
};

TEST(PluginCommands, NumbersFrom64000AndOnlyTheLastGoesBack) {
  TRidEderorCommand a = NewPluginCommand(), b = NewPluginCommand();
  EXPECT_EQ(b, a + 1);
  ReleasePluginCommand(a);
  EXPECT_EQ(NewPluginCommand(), b + 1);
  ReleasePluginCommand(b + 1);
  ReleasePluginCommand(b);
  EXPECT_EQ(NewPluginCommand(), b);
  ReleasePluginCommand(b);
  ReleasePluginCommand(a);
  EXPECT_EQ(NewPluginCommand(), 64000);  // nothing else has taken numbers in this program
  ReleasePluginCommand(64000);
  ReleasePluginCommand(63999);  // never handed out: the counter stays
  EXPECT_EQ(NewPluginCommand(), 64000);
  ReleasePluginCommand(64000);
}

// The numbers end at 65535: the next request fails instead of wrapping into the editor's own
// commands, and the counter is left as it was.
TEST(PluginCommands, ExhaustionFailsWithoutWrapping) {
  std::vector<TRidEderorCommand> Taken;
  for (int i = 0; i < 1536; ++i) Taken.push_back(NewPluginCommand());
  EXPECT_EQ(Taken.front(), 64000);
  EXPECT_EQ(Taken.back(), 65535);
  try {
    NewPluginCommand();
    FAIL() << "a number past 65535 was handed out";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "No plugin command numbers left");
  }
  EXPECT_THROW(NewPluginCommand(), Exception);
  ReleasePluginCommand(65535);
  EXPECT_EQ(NewPluginCommand(), 65535);
  for (auto it = Taken.rbegin(); it != Taken.rend(); ++it) ReleasePluginCommand(*it);
  EXPECT_EQ(NewPluginCommand(), 64000);
  ReleasePluginCommand(64000);
}

TEST(Plugins, AttachHooksAndDetachUnhooks) {
  FakeEditor Ed;
  TestPlugin P;
  EXPECT_EQ(P.AddEditor(&Ed), 0);
  EXPECT_EQ(P.AddEditor(&Ed), -1);
  EXPECT_EQ(P.GetEditor(), &Ed);
  int32_t i = Ed.Keys.IndexOfShortcut(P.Key);
  ASSERT_GE(i, 0);
  EXPECT_EQ(Ed.Keys[i]->GetCommand(), P.Command);
  ASSERT_EQ(Ed.Hooks.size(), 1u);
  Ed.Run(P.Command);
  EXPECT_EQ(P.Log, (std::vector<std::string>{"add", "command"}));
  P.SetEditor(nullptr);
  EXPECT_EQ(P.GetEditor(), nullptr);
  EXPECT_TRUE(Ed.Hooks.empty());
  EXPECT_EQ(Ed.Keys.IndexOfShortcut(P.Key), -1);
  EXPECT_EQ(Ed.Keys.GetCount(), 82);
  EXPECT_EQ(P.RemoveEditor(&Ed), -1);
}

TEST(Plugins, RebindingMovesTheExistingBinding) {
  FakeEditor Ed;
  TestPlugin P;
  P.AddEditor(&Ed);
  P.HookEditor(&Ed, P.Command, P.Key, scCtrl | scAlt | 'Q');
  EXPECT_EQ(Ed.Keys.IndexOfShortcut(P.Key), -1);
  EXPECT_GE(Ed.Keys.IndexOfShortcut(scCtrl | scAlt | 'Q'), 0);
  EXPECT_EQ(Ed.Keys.GetCount(), 83);
  EXPECT_EQ(Ed.Hooks.size(), 1u);
  // A shortcut the editor binds already is refused and leaves no half binding behind.
  EXPECT_THROW(P.HookEditor(&Ed, P.Command, 0, scCtrl | 'Z'), ERidKeyError);
  EXPECT_EQ(Ed.Keys.GetCount(), 83);
}

TEST(Plugins, EditorDestructionDetachesThePlugin) {
  TestPlugin P;
  {
    FakeEditor Ed;
    P.AddEditor(&Ed);
    FakeEditor Second;
    P.AddEditor(&Second);
    EXPECT_EQ(P.GetEditorCount(), 2);
  }
  EXPECT_EQ(P.GetEditorCount(), 0);
  EXPECT_EQ(P.Log, (std::vector<std::string>{"add", "add", "remove", "remove"}));
}

TEST(Plugins, PluginDestructionDetachesFromItsEditors) {
  FakeEditor Ed;
  {
    TestPlugin P;
    P.AddEditor(&Ed);
    FakeEditor Other;
    P.SetEditor(&Other);  // replaces the single editor
    EXPECT_EQ(P.GetEditorCount(), 1);
    EXPECT_TRUE(Ed.Hooks.empty());
    P.AddEditor(&Ed);
    FakeEditor Third;
    P.SetEditor(&Third);  // with two attached, one more
    EXPECT_EQ(P.GetEditorCount(), 3);
  }
  EXPECT_TRUE(Ed.Hooks.empty());
  EXPECT_EQ(Ed.Keys.GetCount(), 82);
}

}  // namespace
}  // namespace rid
