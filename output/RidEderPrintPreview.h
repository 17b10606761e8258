#pragma once
#include <cstdint>
#include <memory>

#include "platform/Controls.h"
#include "platform/Delegate.h"
#include "platform/Forms.h"

namespace rid {

class TRidEderPrint;

enum TRidPreviewScale { pscWholePage, pscPageWidth, pscUserScaled };
using TPreviewPageEvent = Delegate<void(TObject* Sender, int32_t PageNumber)>;

// The text of the page hint while the scroll bar's thumb pages.
inline constexpr const char* SPreviewScrollHint = "Page: %d";

// One page of a print job shown as a sheet of paper with a shadow, scaled to the whole page,
// the page width or a percentage; scroll bars, wheel and the page commands move through it.
class TRidEderPrintPreview : public TCustomControl {
 public:
  RID_CLASS_NAME(TRidEderPrintPreview)
  explicit TRidEderPrintPreview(TComponent* AOwner);
  ~TRidEderPrintPreview() override;

  // The job shown (not owned; forgotten when it is destroyed).
  TRidEderPrint* GetRidEderPrint() const { return FRidEderPrint; }
  void SetRidEderPrint(TRidEderPrint* Value);
  TRidPreviewScale GetScaleMode() const { return FScaleMode; }
  void SetScaleMode(TRidPreviewScale Value);
  int32_t GetScalePercent() const { return FScalePercent; }
  void SetScalePercent(int32_t Value);
  TColor GetPageBGColor() const { return FPageBGColor; }
  void SetPageBGColor(TColor Value);
  bool GetShowScrollHint() const { return FShowScrollHint; }
  void SetShowScrollHint(bool Value) { FShowScrollHint = Value; }

  // Lays the job out again on this control (after a change of document or settings).
  void UpdatePreview();
  void FirstPage() { SetPageNumber(1); }
  void LastPage() { SetPageNumber(GetPageCount()); }
  void NextPage() { SetPageNumber(FPageNumber + 1); }
  void PreviousPage() { SetPageNumber(FPageNumber - 1); }
  // Prints the whole job, then shows it again.
  void Print();
  int32_t GetPageCount() const;
  int32_t GetPageNumber() const { return FPageNumber; }
  // Shows a page, kept within the document.
  void SetPageNumber(int32_t Page);
  // Where the sheet is: its size on screen, its offset in the scrolled area and the scroll
  // position (0 or negative).
  int32_t GetPageWidth() const { return FPageWidth; }
  int32_t GetPageHeight() const { return FPageHeight; }
  TPoint GetVirtualOffset() const { return FVirtualOffset; }
  TPoint GetScrollPosition() const { return FScrollPosition; }

  TPreviewPageEvent OnPreviewPage;
  TNotifyEvent OnScaleChange;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void Dispatch(TMessage& Message) override;
  void Resize() override;
  void Paint() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  void PageChanged();
  void SizeChanged();
  void UpdateScrollbars();
  void ScrollTo(int32_t X, int32_t Y);
  void WMVScroll(TMessage& Message);
  void WMHScroll(TMessage& Message);
  void WMMouseWheel(TMessage& Message);
  int32_t TrackPos(int32_t Bar) const;
  void ShowPageHint();
  void PaintSheet(TCanvas& C, const TRect& Sheet);
  // Paper size in printer pixels (or the paper aspect without a job).
  int32_t PaperWidth() const;
  int32_t PaperHeight() const;

  TRidEderPrint* FRidEderPrint = nullptr;
  TRidPreviewScale FScaleMode = pscUserScaled;
  int32_t FScalePercent = 100;
  TColor FPageBGColor = clWhite;
  bool FShowScrollHint = true;
  int32_t FPageNumber = 1;
  int32_t FPageWidth = 1, FPageHeight = 1;
  TPoint FVirtualSize, FVirtualOffset, FScrollPosition;
  int32_t FWheelAccumulator = 0;
  std::unique_ptr<THintWindow> FHintWindow;
};

}  // namespace rid
