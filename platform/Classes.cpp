#include "platform/Classes.h"

#include <cstdarg>
#include <cstdio>

namespace rid {

// First cut: declarations link; bodies are being filled in.
namespace {
[[noreturn]] void NotYet(const char* What) { throw Exception(std::string("not implemented: ") + What); }
}  // namespace

std::string FormatStr(const char* Fmt, ...) {
  va_list ap;
  va_start(ap, Fmt);
  va_list ap2;
  va_copy(ap2, ap);
  int n = std::vsnprintf(nullptr, 0, Fmt, ap);
  va_end(ap);
  std::string s(n > 0 ? n : 0, '\0');
  if (n > 0) std::vsnprintf(s.data(), s.size() + 1, Fmt, ap2);
  va_end(ap2);
  return s;
}

void Abort() { throw EAbort(); }
void Assert(bool Condition, const char* SourceName, int32_t Line, const char* Message) {
  if (!Condition) throw EAssertionFailed("Assertion failure", SourceName ? SourceName : "", Line);
}

void TPersistent::Assign(TPersistent* Source) { NotYet("Assign"); }
void TPersistent::AssignTo(TPersistent* Dest) { NotYet("AssignTo"); }
void TPersistent::AssignError(TPersistent* Source) { NotYet("AssignError"); }

TComponent::TComponent(TComponent* AOwner) {}
TComponent::~TComponent() {}
TComponent* TComponent::GetComponent(int32_t Index) const { NotYet("GetComponent"); }
TComponent* TComponent::FindComponent(std::string_view AName) const { return nullptr; }
void TComponent::SetName(const std::string& Value) { FName = Value; }
void TComponent::InsertComponent(TComponent* AComponent) { NotYet("InsertComponent"); }
void TComponent::RemoveComponent(TComponent* AComponent) { NotYet("RemoveComponent"); }
void TComponent::DestroyComponents() {}
void TComponent::Destroying() {}
void TComponent::FreeNotification(TComponent* AComponent) {}
void TComponent::RemoveFreeNotification(TComponent* AComponent) {}
void TComponent::BeginLoading() {}
void TComponent::Loaded() {}
void TComponent::SetDesigning(bool Value) {}
void TComponent::Notification(TComponent* AComponent, TOperation Operation) {}
void TComponent::Insert(TComponent* AComponent) {}
void TComponent::Remove(TComponent* AComponent) {}
void TComponent::RemoveNotification(TComponent* AComponent) {}

void TStream::SetSize(int64_t NewSize) {}
int64_t TStream::GetSize() { NotYet("GetSize"); }
void TStream::ReadBuffer(void* Buffer, int32_t Count) { NotYet("ReadBuffer"); }
void TStream::WriteBuffer(const void* Buffer, int32_t Count) { NotYet("WriteBuffer"); }
void TStream::WriteBuffer(std::string_view Bytes) { NotYet("WriteBuffer"); }
int64_t TStream::CopyFrom(TStream* Source, int64_t Count) { NotYet("CopyFrom"); }
std::string TStream::ReadRest() { NotYet("ReadRest"); }

int32_t TMemoryStream::Read(void* Buffer, int32_t Count) { NotYet("Read"); }
int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) { NotYet("Write"); }
int64_t TMemoryStream::Seek(int64_t Offset, uint16_t Origin) { NotYet("Seek"); }
void TMemoryStream::SetSize(int64_t NewSize) { NotYet("SetSize"); }
void TMemoryStream::Clear() {}
void TMemoryStream::LoadFromStream(TStream* Stream) { NotYet("LoadFromStream"); }
void TMemoryStream::LoadFromFile(const std::string& FileName) { NotYet("LoadFromFile"); }
void TMemoryStream::SaveToStream(TStream* Stream) { NotYet("SaveToStream"); }
void TMemoryStream::SaveToFile(const std::string& FileName) { NotYet("SaveToFile"); }

TFileStream::TFileStream(const std::string& AFileName, uint16_t Mode) { NotYet("TFileStream"); }
TFileStream::~TFileStream() {}
int32_t TFileStream::Read(void* Buffer, int32_t Count) { NotYet("Read"); }
int32_t TFileStream::Write(const void* Buffer, int32_t Count) { NotYet("Write"); }
int64_t TFileStream::Seek(int64_t Offset, uint16_t Origin) { NotYet("Seek"); }
void TFileStream::SetSize(int64_t NewSize) { NotYet("SetSize"); }

void SaveBytesToFileAtomic(const std::string& FileName, std::string_view Bytes) { NotYet("Save"); }
std::string LoadBytesFromFile(const std::string& FileName) { NotYet("Load"); }

TObject* TStrings::GetObject(int32_t Index) const { return nullptr; }
void TStrings::Put(int32_t Index, const std::string& S) { NotYet("Put"); }
void TStrings::PutObject(int32_t Index, TObject* AObject) {}
std::string TStrings::GetTextStr() const { NotYet("GetTextStr"); }
void TStrings::SetTextStr(const std::string& Value) { NotYet("SetTextStr"); }
int32_t TStrings::CompareStrings(const std::string& S1, const std::string& S2) const { return S1.compare(S2); }
int32_t TStrings::Add(const std::string& S) { int32_t r = GetCount(); Insert(r, S); return r; }
int32_t TStrings::AddObject(const std::string& S, TObject* AObject) { int32_t r = Add(S); PutObject(r, AObject); return r; }
void TStrings::AddStrings(TStrings* Strings) { NotYet("AddStrings"); }
void TStrings::Exchange(int32_t Index1, int32_t Index2) { NotYet("Exchange"); }
void TStrings::InsertObject(int32_t Index, const std::string& S, TObject* AObject) { Insert(Index, S); PutObject(Index, AObject); }
void TStrings::Move(int32_t CurIndex, int32_t NewIndex) { NotYet("Move"); }
int32_t TStrings::IndexOf(const std::string& S) const { NotYet("IndexOf"); }
int32_t TStrings::IndexOfName(const std::string& Name) const { NotYet("IndexOfName"); }
int32_t TStrings::IndexOfObject(const TObject* AObject) const { NotYet("IndexOfObject"); }
void TStrings::Assign(TPersistent* Source) { NotYet("Assign"); }
void TStrings::BeginUpdate() { if (FUpdateCount++ == 0) SetUpdateState(true); }
void TStrings::EndUpdate() { if (--FUpdateCount == 0) SetUpdateState(false); }
void TStrings::LoadFromFile(const std::string& FileName) { NotYet("LoadFromFile"); }
void TStrings::LoadFromStream(TStream* Stream) { NotYet("LoadFromStream"); }
void TStrings::SaveToFile(const std::string& FileName) { NotYet("SaveToFile"); }
void TStrings::SaveToStream(TStream* Stream) { NotYet("SaveToStream"); }
std::string TStrings::Names(int32_t Index) const { NotYet("Names"); }
std::string TStrings::Values(const std::string& Name) const { NotYet("Values"); }
std::string TStrings::ValueFromIndex(int32_t Index) const { NotYet("ValueFromIndex"); }
void TStrings::SetValues(const std::string& Name, const std::string& Value) { NotYet("SetValues"); }
std::string TStrings::GetCommaText() const { NotYet("GetCommaText"); }
void TStrings::SetCommaText(const std::string& Value) { NotYet("SetCommaText"); }
void TStrings::Error(const char* Msg, int32_t Data) const { throw EStringListError(FormatStr(Msg, Data)); }

TStringList::~TStringList() {}
std::string TStringList::Get(int32_t Index) const { CheckIndex(Index); return FList[Index].FString; }
TObject* TStringList::GetObject(int32_t Index) const { CheckIndex(Index); return FList[Index].FObject; }
void TStringList::Put(int32_t Index, const std::string& S) { CheckIndex(Index); FList[Index].FString = S; }
void TStringList::PutObject(int32_t Index, TObject* AObject) { CheckIndex(Index); FList[Index].FObject = AObject; }
void TStringList::SetCapacity(int32_t NewCapacity) { FList.reserve(NewCapacity); }
void TStringList::SetUpdateState(bool Updating) {}
int32_t TStringList::CompareStrings(const std::string& S1, const std::string& S2) const { return S1.compare(S2); }
int32_t TStringList::Add(const std::string& S) { FList.push_back({S, nullptr}); return GetCount() - 1; }
void TStringList::Clear() { FList.clear(); }
void TStringList::Delete(int32_t Index) { CheckIndex(Index); FList.erase(FList.begin() + Index); }
void TStringList::Exchange(int32_t Index1, int32_t Index2) { NotYet("Exchange"); }
void TStringList::Insert(int32_t Index, const std::string& S) { FList.insert(FList.begin() + Index, {S, nullptr}); }
void TStringList::InsertObject(int32_t Index, const std::string& S, TObject* AObject) { FList.insert(FList.begin() + Index, {S, AObject}); }
int32_t TStringList::IndexOf(const std::string& S) const { NotYet("IndexOf"); }
bool TStringList::Find(const std::string& S, int32_t& Index) const { NotYet("Find"); }
void TStringList::Sort() { NotYet("Sort"); }
void TStringList::CustomSort(const TStringListSortCompare& Compare) { NotYet("CustomSort"); }
void TStringList::SetSorted(bool Value) { FSorted = Value; }
void TStringList::SetCaseSensitive(bool Value) { FCaseSensitive = Value; }
void TStringList::Changed() {}
void TStringList::Changing() {}
void TStringList::InsertItem(int32_t Index, const std::string& S, TObject* AObject) { NotYet("InsertItem"); }
void TStringList::CheckIndex(int32_t Index) const { if (Index < 0 || Index >= GetCount()) Error(SListIndexError, Index); }

}  // namespace rid
