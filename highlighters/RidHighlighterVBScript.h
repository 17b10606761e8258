#pragma once

#include "highlighters/RidHighlighterVB.h"

namespace rid {

// VBScript: the Visual Basic scanner with VBScript's keywords; its unknown characters are
// identifiers (kind 1).
class TRidVBScriptRid final : public TRidVBScanner {
 public:
  RID_CLASS_NAME(TRidVBScriptRid)
  explicit TRidVBScriptRid(TComponent* AOwner);
  static const TRidHighlighterClass& Class();
  // The keyword table, for checks of its shape.
  static const TRidKeywordTable& KeywordTable();
};

}  // namespace rid
