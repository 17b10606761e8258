#pragma once
// The keyboard macro recorder: it records the commands an editor carries out, plays them back
// into an editor and keeps a recording as a binary stream or file. Each recorded command is an
// event with a one-line text form.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "editor/RidEderPlugins.h"
#include "editor/RidEderTypes.h"
#include "platform/Classes.h"
#include "platform/Delegate.h"

namespace rid {

class TCustomRidEder;

// One recorded command. The binary form is the command number (written by SaveToStream, read by
// the recorder) followed by the fields LoadFromStream reads.
class TRidMacroEvent : public TObject {
 public:
  RID_CLASS_NAME(TRidMacroEvent)
  TRidMacroEvent() = default;

  // The one-line text form: the command's name and what follows it.
  virtual std::string AsString() const = 0;
  // Reads the text after the command's name and its blank (as AsString wrote it).
  virtual void ParseParameters(std::string_view AParams) = 0;
  // What the editor passed with the command: Data as the command road gives it.
  virtual void Initialize(TRidEderorCommand ACmd, char AChar, void* AData) = 0;
  // The fields after the command number; raises EReadError when the stream ends inside them.
  virtual void LoadFromStream(TStream* AStream) = 0;
  virtual void SaveToStream(TStream* AStream) const = 0;
  // Sends the command into AEditor's command processor.
  virtual void Playback(TCustomRidEder* AEditor) = 0;

  uint8_t GetRepeatCount() const { return FRepeatCount; }
  void SetRepeatCount(uint8_t Value) { FRepeatCount = Value; }

 protected:
  uint8_t FRepeatCount = 1;
};

// A command without data, played RepeatCount times.
class TRidBasicEvent : public TRidMacroEvent {
 public:
  RID_CLASS_NAME(TRidBasicEvent)
  std::string AsString() const override;
  void ParseParameters(std::string_view AParams) override;
  void Initialize(TRidEderorCommand ACmd, char AChar, void* AData) override;
  void LoadFromStream(TStream* AStream) override;
  void SaveToStream(TStream* AStream) const override;
  // An input-method command stored without its text (older recordings) plays as nothing.
  void Playback(TCustomRidEder* AEditor) override;

  TRidEderorCommand GetCommand() const { return FCommand; }
  void SetCommand(TRidEderorCommand Value) { FCommand = Value; }

 protected:
  TRidEderorCommand FCommand = ecNone;
};

// ecGotoXY, ecSelGotoXY and ecSetMarker0..9 with their place ((0, 0): none, played once).
class TRidPositionEvent : public TRidBasicEvent {
 public:
  RID_CLASS_NAME(TRidPositionEvent)
  std::string AsString() const override;
  void ParseParameters(std::string_view AParams) override;
  void Initialize(TRidEderorCommand ACmd, char AChar, void* AData) override;
  void LoadFromStream(TStream* AStream) override;
  void SaveToStream(TStream* AStream) const override;
  void Playback(TCustomRidEder* AEditor) override;

  TBufferCoord GetPosition() const { return FPosition; }
  void SetPosition(const TBufferCoord& Value) { FPosition = Value; }

 private:
  TBufferCoord FPosition{0, 0};
};

// A typed byte (ecChar).
class TRidCharEvent : public TRidMacroEvent {
 public:
  RID_CLASS_NAME(TRidCharEvent)
  std::string AsString() const override;
  void ParseParameters(std::string_view AParams) override;
  void Initialize(TRidEderorCommand ACmd, char AChar, void* AData) override;
  void LoadFromStream(TStream* AStream) override;
  void SaveToStream(TStream* AStream) const override;
  void Playback(TCustomRidEder* AEditor) override;

  char GetKey() const { return FKey; }
  void SetKey(char Value) { FKey = Value; }

 private:
  char FKey = '\0';
};

// A text (ecString, and the result of the input method), played one ecChar a byte: the editor
// joins a lead byte with the byte after it.
class TRidStringEvent : public TRidMacroEvent {
 public:
  RID_CLASS_NAME(TRidStringEvent)
  std::string AsString() const override;
  void ParseParameters(std::string_view AParams) override;
  // AData: a NUL-terminated text, or null for none.
  void Initialize(TRidEderorCommand ACmd, char AChar, void* AData) override;
  // The stored length counts the text and its 0 byte; it must fit in what the stream holds.
  void LoadFromStream(TStream* AStream) override;
  void SaveToStream(TStream* AStream) const override;
  void Playback(TCustomRidEder* AEditor) override;

  const std::string& GetValue() const { return FValue; }
  void SetValue(std::string Value) { FValue = std::move(Value); }

 private:
  std::string FValue;
};

enum TRidMacroState : uint8_t { mrsStopped, mrsRecording, mrsPlaying, mrsPaused };

// Lets the application make the event for a user command (from ecUserFirst); a null Event
// leaves it a basic event.
using TRidUserCommandEvent = Delegate<void(TObject* Sender, TRidEderorCommand Command,
                                           std::unique_ptr<TRidMacroEvent>& Event)>;

// The recorder. Attached to editors, it binds the record and playback shortcuts to two commands
// of its own and watches every command through one command hook per editor.
class TCustomRidMacroRecorder : public TAbstractRidHookerPlugin {
 public:
  RID_CLASS_NAME(TCustomRidMacroRecorder)
  explicit TCustomRidMacroRecorder(TComponent* AOwner);
  ~TCustomRidMacroRecorder() override;

  // Starts a new recording of AEditor's commands; Exception unless stopped.
  void RecordMacro(TCustomRidEder* AEditor);
  void Pause();
  void Resume();
  void Stop();
  // Plays the events into AEditor; Exception unless stopped. An exception of an event stops
  // the playback and passes on. The editor paints once, when the playback ends.
  void PlaybackMacro(TCustomRidEder* AEditor);

  void Clear();
  bool IsEmpty() const { return !FEvents || FEvents->empty(); }
  int32_t GetEventCount() const { return FEvents ? static_cast<int32_t>(FEvents->size()) : 0; }
  // EListError outside 0 .. GetEventCount() - 1.
  TRidMacroEvent* GetEvents(int32_t Index) const;
  TRidMacroState GetState() const { return FState; }
  TCustomRidEder* GetCurrentEditor() const { return FCurrentEditor; }
  const std::string& GetMacroName() const { return FMacroName; }
  void SetMacroName(const std::string& Value) { FMacroName = Value; }

  void SaveToStream(TStream* AStream) const;
  // Stops, then reads a whole recording. An empty stream, one that ends inside an event or
  // before its count of events, or one that holds an impossible count or length, raises
  // EReadError saying which ("It is cut short after 1 of 2 events"), and the events stay those
  // of before.
  void LoadFromStream(TStream* AStream);
  // Replaces the file atomically.
  void SaveToFile(const std::string& AFileName) const;
  // Loads, and names the macro after the file (without folder and extension). What is wrong
  // with the file is raised with its name: EFOpenError when it cannot be read, EReadError
  // ("Cannot read file \"<name>\". <why>") when it is no whole macro.
  void LoadFromFile(const std::string& AFileName);

  // 0 leaves the command without a key; the recorder still watches the editors.
  TShortCut GetRecordShortCut() const { return FRecordShortCut; }
  void SetRecordShortCut(TShortCut Value);
  TShortCut GetPlaybackShortCut() const { return FPlaybackShortCut; }
  void SetPlaybackShortCut(TShortCut Value);
  bool GetSaveMarkerPos() const { return FSaveMarkerPos; }
  void SetSaveMarkerPos(bool Value) { FSaveMarkerPos = Value; }

  TNotifyEvent OnStateChange;
  TRidUserCommandEvent OnUserCommand;

 protected:
  // The event kind for a command (OnUserCommand first for user commands).
  std::unique_ptr<TRidMacroEvent> CreateMacroEvent(TRidEderorCommand ACmd);
  void DoAddEditor(IRidPluginHost* AEditor) override;
  void DoRemoveEditor(IRidPluginHost* AEditor) override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void OnCommand(TObject* Sender, bool AfterProcessing, bool& Handled, TRidEderorCommand& Command,
                 char& AChar, void* Data, void* HandlerData) override;
  void StateChanged();

 private:
  using TEventList = std::vector<std::unique_ptr<TRidMacroEvent>>;
  void SetShortCut(TRidEderorCommand ACmd, TShortCut& AField, TShortCut AValue);
  void RecordCommand(TCustomRidEder* AEditor, TRidEderorCommand ACmd, char AChar, void* AData);
  // The recorder's own command in the state it is in; false when it does nothing there.
  bool RunOwnCommand(TCustomRidEder* AEditor, TRidEderorCommand ACmd);
  // Releases the paint lock of the innermost playback, unless its editor has gone.
  void ReleasePlaybackPaintLock();

  TShortCut FRecordShortCut;
  TShortCut FPlaybackShortCut;
  TRidEderorCommand FRecordCommand;
  TRidEderorCommand FPlaybackCommand;
  std::string FMacroName = "unnamed";
  bool FSaveMarkerPos = false;
  TRidMacroState FState = mrsStopped;
  TCustomRidEder* FCurrentEditor = nullptr;  // recorded or played into; cleared when it goes
  // Clear and loading replace the list rather than change it, so a playback keeps the list it
  // plays whatever a handler does meanwhile.
  std::shared_ptr<TEventList> FEvents;
  // The editors played into, innermost playback last, each holding a paint lock so that it
  // paints once at the end; null once the editor has gone.
  std::vector<TCustomRidEder*> FPaintLocked;
};

class TRidMacroRecorder : public TCustomRidMacroRecorder {
 public:
  RID_CLASS_NAME(TRidMacroRecorder)
  using TCustomRidMacroRecorder::TCustomRidMacroRecorder;
};

}  // namespace rid
