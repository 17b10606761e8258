// The ten numbered bookmarks: marks of the mark list that carry their number.
#include <memory>

#include "editor/RidEder.h"

namespace rid {

namespace {

constexpr int32_t BookMarkCount = 10;

bool IsBookMarkNumber(int32_t BookMark) { return BookMark >= 0 && BookMark < BookMarkCount; }

}  // namespace

TRidEderMark* TCustomRidEder::FindBookMark(int32_t BookMark) const {
  for (int32_t i = 0; i < FMarkList->GetCount(); ++i) {
    TRidEderMark* m = FMarkList->GetItem(i);
    if (m->IsBookmark() && m->GetBookmarkNumber() == BookMark) return m;
  }
  return nullptr;
}

void TCustomRidEder::MarkChanged(TRidEderMark*, int32_t Line) { InvalidateGutterLine(Line); }

void TCustomRidEder::SetBookMark(int32_t BookMark, int32_t X, int32_t Y) {
  if (!IsBookMarkNumber(BookMark) || Y < 1 || Y > std::max(1, FLines->GetCount())) return;
  auto mark =
      std::make_unique<TRidEderMark>(TRidEderMarkChangeEvent(this, &TCustomRidEder::MarkChanged));
  mark->SetLine(Y);
  mark->SetColumn(X);
  mark->SetImageIndex(BookMark);
  mark->SetBookmarkNumber(BookMark);
  mark->SetVisible(true);
  mark->SetInternalImage(FBookMarkOpt->GetBookmarkImages() == nullptr);
  TRidEderMark* placed = mark.get();
  DoOnPlaceBookmark(placed);
  if (!placed) return;  // vetoed: the offered mark is freed here
  if (placed != mark.get()) {
    mark.reset(placed);  // replaced: the handler's mark is ours now, the offered one freed
    mark->SetBookmarkNumber(BookMark);
  }
  ClearBookMark(BookMark);
  FMarkList->Add(std::move(mark));
}

void TCustomRidEder::ClearBookMark(int32_t BookMark) {
  if (!IsBookMarkNumber(BookMark)) return;
  TRidEderMark* mark = FindBookMark(BookMark);
  if (!mark) return;
  TRidEderMark* shown = mark;
  DoOnClearBookmark(shown);
  // The handler may have cleared it already.
  if (FMarkList->IndexOf(mark) >= 0) FMarkList->Remove(mark);
}

void TCustomRidEder::GotoBookMark(int32_t BookMark) {
  if (!IsBookMarkNumber(BookMark)) return;
  const TRidEderMark* mark = FindBookMark(BookMark);
  if (!mark || mark->GetLine() < 1 || mark->GetLine() > FLines->GetCount()) return;
  TBufferCoord p{std::max(mark->GetColumn(), 1), mark->GetLine()};
  // The line may have changed since: never stop inside a character.
  if (IsTrailByteAt(FLines->GetView(p.Line - 1), p.Char)) ++p.Char;
  TRidPaintLock lock(*this);
  SetCaretXYEx(false, p);
  EnsureCursorPosVisibleEx(true);
  if (SelAvail()) InvalidateSelection();
  FBlockBegin = FBlockEnd = GetCaretXY();
  StatusChanged({scSelection});
}

}  // namespace rid
