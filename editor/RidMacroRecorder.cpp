#include "editor/RidMacroRecorder.h"

#include <algorithm>

#include "editor/RidEder.h"
#include "foundation/libStr.h"
#include "platform/Menus.h"

namespace rid {

namespace {

// --- the binary form: little-endian integers

void WriteLE(TStream* S, uint32_t Value, int32_t Bytes) {
  uint8_t b[4];
  for (int32_t i = 0; i < Bytes; ++i) b[i] = static_cast<uint8_t>(Value >> (8 * i));
  S->WriteBuffer(b, Bytes);
}

int64_t BytesLeft(TStream* S) { return S->GetSize() - S->GetPosition(); }

uint32_t ReadLE(TStream* S, int32_t Bytes) {
  if (BytesLeft(S) < Bytes) throw EReadError("It is cut short");
  uint8_t b[4] = {};
  S->ReadBuffer(b, Bytes);
  uint32_t v = 0;
  for (int32_t i = 0; i < Bytes; ++i) v |= static_cast<uint32_t>(b[i]) << (8 * i);
  return v;
}

int32_t ReadInt32(TStream* S) { return static_cast<int32_t>(ReadLE(S, 4)); }
uint8_t ReadByte(TStream* S) { return static_cast<uint8_t>(ReadLE(S, 1)); }

// --- the text form

// Blanks and control bytes are never part of a double-byte character: trimming is safe.
std::string_view Trim(std::string_view S) {
  while (!S.empty() && static_cast<uint8_t>(S.front()) <= ' ') S.remove_prefix(1);
  while (!S.empty() && static_cast<uint8_t>(S.back()) <= ' ') S.remove_suffix(1);
  return S;
}

int32_t IntOr(std::string_view S, int32_t Default) {
  int32_t value = Default;
  TryStrToInt(Trim(S), value);  // leaves it alone when S is no number
  return value;
}

// A repeat count as text gives: 1 when it is no number, else kept within what a byte holds
// and above 0 (0 would never play).
uint8_t RepeatCountOf(std::string_view S) {
  return static_cast<uint8_t>(std::clamp(IntOr(S, 1), 1, 255));
}

// " <count>" when the count is above 1.
std::string CountSuffix(uint8_t Count) { return Count > 1 ? " " + std::to_string(Count) : ""; }

}  // namespace

// --- TRidBasicEvent

std::string TRidBasicEvent::AsString() const {
  return EditorCommandToIdent(FCommand).value_or("") + CountSuffix(FRepeatCount);
}

void TRidBasicEvent::ParseParameters(std::string_view AParams) {
  FRepeatCount = RepeatCountOf(AParams);
}

void TRidBasicEvent::Initialize(TRidEderorCommand ACmd, char, void*) { FCommand = ACmd; }

void TRidBasicEvent::LoadFromStream(TStream* AStream) { FRepeatCount = ReadByte(AStream); }

void TRidBasicEvent::SaveToStream(TStream* AStream) const {
  WriteLE(AStream, FCommand, 2);
  WriteLE(AStream, FRepeatCount, 1);
}

void TRidBasicEvent::Playback(TCustomRidEder* AEditor) {
  if (FCommand == ecImeStr) return;          // its text was not kept
  const auto alive = AEditor->AliveToken();  // a handler may free the editor between repeats
  for (int32_t i = 0; i < FRepeatCount && !alive.expired(); ++i)
    AEditor->CommandProcessor(FCommand, '\0', nullptr);
}

// --- TRidPositionEvent

std::string TRidPositionEvent::AsString() const {
  return TRidBasicEvent::AsString() +
         FormatStr(" (%d, %d)", static_cast<int>(FPosition.Char),
                   static_cast<int>(FPosition.Line)) +
         CountSuffix(FRepeatCount);
}

void TRidPositionEvent::ParseParameters(std::string_view AParams) {
  const size_t open = AParams.find('(');
  const size_t comma = open == std::string_view::npos ? open : AParams.find(',', open + 1);
  const size_t close = comma == std::string_view::npos ? comma : AParams.find(')', comma + 1);
  if (close == std::string_view::npos) {
    TRidBasicEvent::ParseParameters(AParams);
    return;
  }
  FPosition.Char = IntOr(AParams.substr(open + 1, comma - open - 1), 1);
  FPosition.Line = IntOr(AParams.substr(comma + 1, close - comma - 1), 1);
  FRepeatCount = RepeatCountOf(AParams.substr(close + 1));
}

void TRidPositionEvent::Initialize(TRidEderorCommand ACmd, char, void* AData) {
  FCommand = ACmd;
  FPosition = AData ? *static_cast<const TBufferCoord*>(AData) : TBufferCoord{0, 0};
}

void TRidPositionEvent::LoadFromStream(TStream* AStream) {
  FRepeatCount = ReadByte(AStream);
  FPosition.Char = ReadInt32(AStream);
  FPosition.Line = ReadInt32(AStream);
}

void TRidPositionEvent::SaveToStream(TStream* AStream) const {
  TRidBasicEvent::SaveToStream(AStream);
  WriteLE(AStream, static_cast<uint32_t>(FPosition.Char), 4);
  WriteLE(AStream, static_cast<uint32_t>(FPosition.Line), 4);
}

void TRidPositionEvent::Playback(TCustomRidEder* AEditor) {
  const bool none = FPosition == TBufferCoord{0, 0};
  AEditor->CommandProcessor(FCommand, '\0', none ? nullptr : &FPosition);
}

// --- TRidCharEvent

std::string TRidCharEvent::AsString() const {
  return "ecChar " + std::string(1, FKey) + CountSuffix(FRepeatCount);
}

void TRidCharEvent::ParseParameters(std::string_view AParams) {
  FKey = AParams.empty() ? ' ' : AParams[0];
  FRepeatCount = RepeatCountOf(AParams.substr(std::min<size_t>(1, AParams.size())));
}

void TRidCharEvent::Initialize(TRidEderorCommand, char AChar, void* AData) {
  RID_ASSERT(AData == nullptr);
  FKey = AChar;
}

void TRidCharEvent::LoadFromStream(TStream* AStream) {
  FKey = static_cast<char>(ReadByte(AStream));
  FRepeatCount = ReadByte(AStream);
}

void TRidCharEvent::SaveToStream(TStream* AStream) const {
  WriteLE(AStream, ecChar, 2);
  WriteLE(AStream, static_cast<uint8_t>(FKey), 1);
  WriteLE(AStream, FRepeatCount, 1);
}

void TRidCharEvent::Playback(TCustomRidEder* AEditor) {
  const auto alive = AEditor->AliveToken();
  for (int32_t i = 0; i < FRepeatCount && !alive.expired(); ++i)
    AEditor->CommandProcessor(ecChar, FKey, nullptr);
}

// --- TRidStringEvent

std::string TRidStringEvent::AsString() const {
  // A quote is never the second byte of a double-byte character: doubling bytes is safe.
  std::string quoted = "'";
  for (char c : FValue) quoted += c == '\'' ? std::string("''") : std::string(1, c);
  return "ecString " + quoted + "'" + CountSuffix(FRepeatCount);
}

void TRidStringEvent::ParseParameters(std::string_view AParams) {
  const size_t first = AParams.find('\'');
  const size_t last = AParams.rfind('\'');
  FValue.clear();
  if (first != last) {
    const std::string_view inner = AParams.substr(first + 1, last - first - 1);
    for (size_t i = 0; i < inner.size(); ++i) {
      FValue += inner[i];
      if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
    }
  }
  FRepeatCount = RepeatCountOf(last == std::string_view::npos ? AParams : AParams.substr(last + 1));
}

void TRidStringEvent::Initialize(TRidEderorCommand, char, void* AData) {
  FValue = AData ? static_cast<const char*>(AData) : "";
}

void TRidStringEvent::LoadFromStream(TStream* AStream) {
  const int32_t n = ReadInt32(AStream);
  if (n < 1 || n > BytesLeft(AStream))
    throw EReadError(
        FormatStr("It is not a macro, or cut short: a text of %d bytes where %lld "
                  "are left",
                  n, static_cast<long long>(BytesLeft(AStream))));
  std::string text(static_cast<size_t>(n), '\0');
  AStream->ReadBuffer(text.data(), n);
  // The text ends at its 0 byte, or with the length when that byte is missing.
  if (const size_t end = text.find('\0'); end != std::string::npos) text.resize(end);
  FValue = std::move(text);
  FRepeatCount = ReadByte(AStream);
}

void TRidStringEvent::SaveToStream(TStream* AStream) const {
  WriteLE(AStream, ecString, 2);
  WriteLE(AStream, static_cast<uint32_t>(FValue.size() + 1), 4);
  AStream->WriteBuffer(FValue.c_str(), static_cast<int32_t>(FValue.size() + 1));
  WriteLE(AStream, FRepeatCount, 1);
}

void TRidStringEvent::Playback(TCustomRidEder* AEditor) {
  const auto alive = AEditor->AliveToken();
  for (int32_t i = 0; i < FRepeatCount; ++i)
    for (char c : FValue) {
      if (alive.expired()) return;
      AEditor->CommandProcessor(ecChar, c, nullptr);
    }
}

// --- TCustomRidMacroRecorder

TCustomRidMacroRecorder::TCustomRidMacroRecorder(TComponent* AOwner)
    : TAbstractRidHookerPlugin(AOwner),
      FRecordShortCut(ShortCut('R', TShiftState{ssCtrl, ssShift})),
      FPlaybackShortCut(ShortCut('P', TShiftState{ssCtrl, ssShift})),
      FRecordCommand(NewPluginCommand()),
      FPlaybackCommand(NewPluginCommand()) {}

TCustomRidMacroRecorder::~TCustomRidMacroRecorder() {
  // Going away is no change of state anyone is told of.
  OnStateChange = nullptr;
  Clear();
  RemoveAllEditors();
  ReleasePluginCommand(FPlaybackCommand);
  ReleasePluginCommand(FRecordCommand);
}

void TCustomRidMacroRecorder::StateChanged() {
  if (OnStateChange) OnStateChange(this);
}

void TCustomRidMacroRecorder::RecordMacro(TCustomRidEder* AEditor) {
  if (FState != mrsStopped) throw Exception("Cannot record macro; already recording or playing");
  FEvents = std::make_shared<TEventList>();
  FEvents->reserve(512);
  FState = mrsRecording;
  FCurrentEditor = AEditor;
  if (AEditor) AEditor->FreeNotification(this);
  StateChanged();
}

void TCustomRidMacroRecorder::Pause() {
  if (FState != mrsRecording) throw Exception("Can only pause when recording");
  FState = mrsPaused;
  StateChanged();
}

void TCustomRidMacroRecorder::Resume() {
  if (FState != mrsPaused) throw Exception("Can only resume when paused");
  FState = mrsRecording;
  StateChanged();
}

void TCustomRidMacroRecorder::Stop() {
  if (FState == mrsStopped) return;
  FState = mrsStopped;
  FCurrentEditor = nullptr;
  if (IsEmpty()) FEvents.reset();
  StateChanged();
}

void TCustomRidMacroRecorder::PlaybackMacro(TCustomRidEder* AEditor) {
  if (FState != mrsStopped) throw Exception("Cannot playback macro; already playing or recording");
  RID_ASSERT(AEditor != nullptr);
  const std::shared_ptr<TEventList> events = FEvents;
  FState = mrsPlaying;
  FCurrentEditor = AEditor;
  AEditor->FreeNotification(this);
  // Locked before anyone is told, so that an editor freed by a handler is dropped from the list.
  FPaintLocked.push_back(AEditor);
  AEditor->IncPaintLock();
  try {
    StateChanged();
    for (size_t i = 0; events && i < events->size() && FState == mrsPlaying; ++i)
      (*events)[i]->Playback(AEditor);
  } catch (...) {
    try {
      ReleasePlaybackPaintLock();
    } catch (...) {  // the event's exception is the one to pass on
    }
    Stop();
    throw;
  }
  ReleasePlaybackPaintLock();
  if (FState == mrsPlaying) Stop();
}

void TCustomRidMacroRecorder::ReleasePlaybackPaintLock() {
  TCustomRidEder* editor = FPaintLocked.back();
  FPaintLocked.pop_back();
  if (editor) editor->DecPaintLock();
}

void TCustomRidMacroRecorder::Clear() { FEvents.reset(); }

TRidMacroEvent* TCustomRidMacroRecorder::GetEvents(int32_t Index) const {
  if (Index < 0 || Index >= GetEventCount())
    throw EListError(FormatStr("List index out of bounds (%d)", static_cast<int>(Index)));
  return (*FEvents)[Index].get();
}

std::unique_ptr<TRidMacroEvent> TCustomRidMacroRecorder::CreateMacroEvent(TRidEderorCommand ACmd) {
  std::unique_ptr<TRidMacroEvent> event;
  if (ACmd == ecGotoXY || ACmd == ecSelGotoXY || (ACmd >= ecSetMarker0 && ACmd <= ecSetMarker9)) {
    event = std::make_unique<TRidPositionEvent>();
  } else if (ACmd == ecChar) {
    event = std::make_unique<TRidCharEvent>();
  } else if (ACmd == ecString) {
    event = std::make_unique<TRidStringEvent>();
  } else {
    if (ACmd >= ecUserFirst && OnUserCommand) OnUserCommand(this, ACmd, event);
    if (!event) event = std::make_unique<TRidBasicEvent>();
  }
  if (auto* basic = dynamic_cast<TRidBasicEvent*>(event.get())) basic->SetCommand(ACmd);
  return event;
}

// --- streams and files

void TCustomRidMacroRecorder::SaveToStream(TStream* AStream) const {
  WriteLE(AStream, static_cast<uint32_t>(GetEventCount()), 4);
  if (FEvents)
    for (const auto& e : *FEvents) e->SaveToStream(AStream);
}

void TCustomRidMacroRecorder::LoadFromStream(TStream* AStream) {
  Stop();
  if (BytesLeft(AStream) <= 0) throw EReadError("It is empty, not a macro");
  if (BytesLeft(AStream) < 4) throw EReadError("It is cut short inside its count of events");
  const int32_t count = ReadInt32(AStream);
  if (count < 0)
    throw EReadError(FormatStr("It is not a macro: its count of events is negative (%d)", count));
  // Each event takes at least three bytes; a count past even one a byte is no macro's.
  if (count > BytesLeft(AStream))
    throw EReadError(
        FormatStr("It is not a macro, or cut short: %d events cannot fit in %lld "
                  "bytes",
                  count, static_cast<long long>(BytesLeft(AStream))));
  auto events = std::make_shared<TEventList>();
  events->reserve(static_cast<size_t>(std::min<int64_t>(count, BytesLeft(AStream) / 3)));
  for (int32_t i = 0; i < count; ++i) {
    if (BytesLeft(AStream) <= 0)
      throw EReadError(FormatStr("It is cut short after %d of %d events", i, count));
    try {
      const auto cmd = static_cast<TRidEderorCommand>(ReadLE(AStream, 2));
      std::unique_ptr<TRidMacroEvent> event = CreateMacroEvent(cmd);
      event->Initialize(cmd, '\0', nullptr);
      event->LoadFromStream(AStream);
      events->push_back(std::move(event));
    } catch (const EReadError& e) {
      throw EReadError(FormatStr("%s, inside event %d of %d", e.what(), i + 1, count));
    }
  }
  FEvents = std::move(events);
}

void TCustomRidMacroRecorder::SaveToFile(const std::string& AFileName) const {
  TMemoryStream stream;
  SaveToStream(&stream);
  SaveBytesToFileAtomic(AFileName, stream.Bytes());
}

void TCustomRidMacroRecorder::LoadFromFile(const std::string& AFileName) {
  TMemoryStream stream;
  stream.LoadFromFile(AFileName);
  try {
    LoadFromStream(&stream);
  } catch (const EReadError& e) {
    throw EReadError(FormatStr(SFReadError, AFileName.c_str(), e.what()));
  }
  std::string name = AFileName.substr(AFileName.find_last_of('/') + 1);
  if (const size_t dot = name.find_last_of('.'); dot != std::string::npos) name.resize(dot);
  FMacroName = name;
}

// --- editors and shortcuts

void TCustomRidMacroRecorder::DoAddEditor(IRidPluginHost* AEditor) {
  // The hook stays for as long as the editor is attached, whatever keys are bound.
  AEditor->RegisterCommandHandler(CommandHook(), this);
  if (FRecordShortCut != 0) HookEditor(AEditor, FRecordCommand, 0, FRecordShortCut);
  if (FPlaybackShortCut != 0) HookEditor(AEditor, FPlaybackCommand, 0, FPlaybackShortCut);
}

void TCustomRidMacroRecorder::DoRemoveEditor(IRidPluginHost* AEditor) {
  if (FCurrentEditor && AEditor == static_cast<IRidPluginHost*>(FCurrentEditor)) Stop();
  UnHookEditor(AEditor, FRecordCommand, FRecordShortCut);
  UnHookEditor(AEditor, FPlaybackCommand, FPlaybackShortCut);
}

void TCustomRidMacroRecorder::Notification(TComponent* AComponent, TOperation Operation) {
  TAbstractRidHookerPlugin::Notification(AComponent, Operation);
  // An editor recorded or played into that was not attached.
  if (Operation == opRemove && FCurrentEditor && AComponent == FCurrentEditor) Stop();
  if (Operation == opRemove)
    std::replace_if(
        FPaintLocked.begin(), FPaintLocked.end(),
        [AComponent](TCustomRidEder* E) { return E == AComponent; }, nullptr);
}

void TCustomRidMacroRecorder::SetShortCut(TRidEderorCommand ACmd, TShortCut& AField,
                                          TShortCut AValue) {
  if (AValue == AField) return;
  for (int32_t i = 0; i < GetEditorCount(); ++i) {
    if (AValue != 0)
      HookEditor(GetEditors(i), ACmd, AField, AValue);
    else
      UnbindShortCut(GetEditors(i), ACmd, AField);
  }
  AField = AValue;
}

void TCustomRidMacroRecorder::SetRecordShortCut(TShortCut Value) {
  SetShortCut(FRecordCommand, FRecordShortCut, Value);
}

void TCustomRidMacroRecorder::SetPlaybackShortCut(TShortCut Value) {
  SetShortCut(FPlaybackCommand, FPlaybackShortCut, Value);
}

// --- the command hook

void TCustomRidMacroRecorder::OnCommand(TObject* Sender, bool AfterProcessing, bool& Handled,
                                        TRidEderorCommand& Command, char& AChar, void* Data,
                                        void* HandlerData) {
  auto* editor = dynamic_cast<TCustomRidEder*>(Sender);
  if (!editor) return;
  if (AfterProcessing) {
    if (editor == FCurrentEditor && FState == mrsRecording && !Handled)
      RecordCommand(editor, Command, AChar, Data);
  } else if (RunOwnCommand(editor, Command)) {
    Handled = true;
  }
}

bool TCustomRidMacroRecorder::RunOwnCommand(TCustomRidEder* AEditor, TRidEderorCommand ACmd) {
  const bool record = ACmd == FRecordCommand, playback = ACmd == FPlaybackCommand;
  if (!record && !playback) return false;
  switch (FState) {
    case mrsStopped:
      if (record)
        RecordMacro(AEditor);
      else
        PlaybackMacro(AEditor);
      return true;
    case mrsRecording:
      if (record)
        Stop();
      else
        Pause();
      return true;
    case mrsPaused:
      if (!playback) return false;
      Resume();
      return true;
    case mrsPlaying:
      return false;
  }
  return false;
}

void TCustomRidMacroRecorder::RecordCommand(TCustomRidEder* AEditor, TRidEderorCommand ACmd,
                                            char AChar, void* AData) {
  // The input method's text is kept as a text event, stored as ecString; its characters come
  // back as ecChar when played.
  std::unique_ptr<TRidMacroEvent> event =
      ACmd == ecImeStr ? std::make_unique<TRidStringEvent>() : CreateMacroEvent(ACmd);
  event->Initialize(ACmd, AChar, AData);
  if (FSaveMarkerPos && !AData && ACmd >= ecSetMarker0 && ACmd <= ecSetMarker9)
    static_cast<TRidPositionEvent*>(event.get())->SetPosition(AEditor->GetCaretXY());
  if (!FEvents) FEvents = std::make_shared<TEventList>();
  FEvents->push_back(std::move(event));
}

}  // namespace rid
