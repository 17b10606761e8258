#include "editor/RidRegExpr.h"

#include <cstring>

#include "platform/Locale.h"

namespace rid {

using namespace RidRegExprOp;

namespace {

// Unit-wide defaults copied by every new object.
constexpr int32_t kDefaultModifiers = kModR | kModS | kModG;
const char kDefaultSpaceChars[] = " \t\n\r\f";
const char kDefaultWordChars[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ_";
const char kDefaultLineSeparators[] = "\r\n";

std::string UpToNul(const std::string& S) { return std::string(S.c_str(), strlen(S.c_str())); }

}  // namespace

uint8_t RidRegExprInvertCase(uint8_t Ch) {
  if (Ch >= 'a' && Ch <= 'z') return Ch - 'a' + 'A';
  if (Ch >= 'A' && Ch <= 'Z') return Ch - 'A' + 'a';
  return Ch;
}

TRidRegExpr::TRidRegExpr()
    : FModifiers(kDefaultModifiers),
      FSpaceChars(kDefaultSpaceChars),
      FWordChars(kDefaultWordChars),
      FLineSeparators(kDefaultLineSeparators),
      FInvertCase(RidRegExprInvertCase),
      FLinePairedSeparatorAssigned(true),
      FLinePairedSeparatorHead('\r'),
      FLinePairedSeparatorTail('\n') {
  FStartP.fill(-1);
  FEndP.fill(-1);
  SetWordChars(FWordChars);
}

TRidRegExpr::~TRidRegExpr() = default;

void TRidRegExpr::DiscardProgram() {
  FProgramm.clear();
  FExprIsCompiled = false;
  FWalkFrom = -1;
  FRunNode = -1;
}

void TRidRegExpr::SetExpression(const std::string& Value) {
  std::string text = UpToNul(Value);
  if (text == FExpression && FExprIsCompiled) return;
  FExprIsCompiled = false;
  FExpression = std::move(text);
  DiscardProgram();
}

bool TRidRegExpr::GetModifier(int32_t AIndex) const {
  if (AIndex < remI || AIndex > remX) {
    const_cast<TRidRegExpr*>(this)->Error(reeModifierUnsupported);
  }
  return (FModifiers & (1 << (AIndex - 1))) != 0;
}

void TRidRegExpr::SetModifier(int32_t AIndex, bool ASet) {
  if (AIndex < remI || AIndex > remX) Error(reeModifierUnsupported);
  const int32_t bit = 1 << (AIndex - 1);
  if (ASet) {
    FModifiers |= bit;
  } else {
    FModifiers &= ~bit;
  }
}

bool TRidRegExpr::ParseModifiers(const std::string& AModStr, int32_t& AModifiers) {
  bool on = true;
  for (char c : AModStr) {
    int32_t bit;
    switch (c) {
      case '-':
        on = false;
        continue;
      case 'i':
      case 'I':
        bit = kModI;
        break;
      case 'r':
      case 'R':
        bit = kModR;
        break;
      case 's':
      case 'S':
        bit = kModS;
        break;
      case 'g':
      case 'G':
        bit = kModG;
        break;
      case 'm':
      case 'M':
        bit = kModM;
        break;
      case 'x':
      case 'X':
        bit = kModX;
        break;
      default:
        return false;
    }
    if (on) {
      AModifiers |= bit;
    } else {
      AModifiers &= ~bit;
    }
  }
  return true;
}

// The character sets are compiled into the program, so a change recompiles it.
void TRidRegExpr::SetSpaceChars(const std::string& Value) {
  if (Value == FSpaceChars) return;
  FSpaceChars = Value;
  DiscardProgram();
}

void TRidRegExpr::SetWordChars(const std::string& Value) {
  if (Value != FWordChars) DiscardProgram();
  FWordChars = Value;
  FWordCharSet.fill(0);
  for (unsigned char c : FWordChars) FWordCharSet[c] = 1;
}

void TRidRegExpr::SetLineSeparators(const std::string& Value) {
  if (Value == FLineSeparators) return;
  FLineSeparators = Value;
  DiscardProgram();
}

std::string TRidRegExpr::GetLinePairedSeparator() const {
  if (!FLinePairedSeparatorAssigned) return std::string();
  return std::string{static_cast<char>(FLinePairedSeparatorHead),
                     static_cast<char>(FLinePairedSeparatorTail)};
}

void TRidRegExpr::SetLinePairedSeparator(const std::string& Value) {
  if (Value.size() == 2 && Value[0] != Value[1]) {
    const uint8_t head = static_cast<uint8_t>(Value[0]);
    const uint8_t tail = static_cast<uint8_t>(Value[1]);
    if (FLinePairedSeparatorAssigned && head == FLinePairedSeparatorHead &&
        tail == FLinePairedSeparatorTail) {
      return;
    }
    FLinePairedSeparatorAssigned = true;
    FLinePairedSeparatorHead = head;
    FLinePairedSeparatorTail = tail;
    DiscardProgram();
  } else if (Value.empty()) {
    if (FLinePairedSeparatorAssigned) {
      FLinePairedSeparatorAssigned = false;
      DiscardProgram();
    }
  } else {
    Error(reeBadLinePairedSeparator);
  }
}

void TRidRegExpr::SetInvertCase(TRidRegExprInvertCaseFunction Value) {
  if (Value == FInvertCase) return;
  FInvertCase = Value ? Value : RidRegExprInvertCase;
  DiscardProgram();
}

void TRidRegExpr::Compile() {
  if (FExpression.empty()) Error(reeNoExpression);
  CompileRegExpr();
}

int32_t TRidRegExpr::MatchPos(int32_t Idx) const {
  if (!FHasInput || Idx < 0 || Idx >= kSubExprs || FStartP[Idx] < 0 || FEndP[Idx] < 0) return -1;
  return FStartP[Idx] + 1;
}

int32_t TRidRegExpr::MatchLen(int32_t Idx) const {
  if (!FHasInput || Idx < 0 || Idx >= kSubExprs || FStartP[Idx] < 0 || FEndP[Idx] < 0) return -1;
  return FEndP[Idx] - FStartP[Idx];
}

std::string TRidRegExpr::Match(int32_t Idx) const {
  const int32_t len = MatchLen(Idx);
  if (len < 0) return std::string();
  return std::string(reinterpret_cast<const char*>(FInput) + FStartP[Idx], len);
}

std::string TRidRegExpr::Substitute(const std::string& ATemplate) {
  PrepareProgram();
  if (!FHasInput) Error(reeNoInputStringSpecified);
  const std::string t = UpToNul(ATemplate);
  std::string result;
  result.reserve(t.size());
  const size_t n = t.size();
  size_t i = 0;
  auto appendGroup = [&](int64_t g) {
    if (g >= 0 && g < kSubExprs && FStartP[g] >= 0 && FEndP[g] >= 0) {
      result.append(reinterpret_cast<const char*>(FInput) + FStartP[g], FEndP[g] - FStartP[g]);
    }
  };
  // Decimal digits from j on, saturating so that a long number cannot wrap to a valid group.
  auto readNumber = [&](size_t& j) {
    int64_t v = 0;
    while (j < n && t[j] >= '0' && t[j] <= '9') {
      if (v < 1000000) v = v * 10 + (t[j] - '0');
      ++j;
    }
    return v;
  };
  while (i < n) {
    const char c = t[i];
    if (c == '$' && i + 1 < n) {
      const char d = t[i + 1];
      if (d == '&') {
        appendGroup(0);
        i += 2;
        continue;
      }
      if (d >= '0' && d <= '9') {
        size_t j = i + 1;
        appendGroup(readNumber(j));
        i = j;
        continue;
      }
      if (d == '{') {
        size_t j = i + 2;
        if (j + 1 < n && t[j] == '&' && t[j + 1] == '}') {
          appendGroup(0);
          i = j + 2;
          continue;
        }
        if (j < n && t[j] >= '0' && t[j] <= '9') {
          const int64_t g = readNumber(j);
          if (j < n && t[j] == '}') {
            appendGroup(g);
            i = j + 1;
            continue;
          }
        }
      }
      result += '$';
      ++i;
    } else if (c == '\\' && i + 1 < n) {
      // An escaped double-byte character is taken whole, so its trail byte never escapes.
      if (i + 2 < n && IsDBCSLeadByte(t[i + 1]) && IsDBCSTrailByte(uint8_t(t[i + 2]))) {
        result.append(t, i + 1, 2);
        i += 3;
      } else {
        result += t[i + 1];
        i += 2;
      }
    } else if (IsDBCSLeadByte(c) && i + 1 < n && IsDBCSTrailByte(uint8_t(t[i + 1]))) {
      result.append(t, i, 2);
      i += 2;
    } else {
      result += c;
      ++i;
    }
  }
  return result;
}

std::string TRidRegExpr::Replace(const std::string& AInputStr, const std::string& AReplaceStr,
                                 bool AUseSubstitution) {
  std::string result;
  const std::string input = UpToNul(AInputStr);
  int32_t prevEnd = 1;
  if (Exec(input)) {
    do {
      const int32_t pos = MatchPos(0);
      result.append(input, prevEnd - 1, pos - prevEnd);
      result += AUseSubstitution ? Substitute(AReplaceStr) : AReplaceStr;
      prevEnd = pos + MatchLen(0);
    } while (ExecNext());
  }
  if (static_cast<size_t>(prevEnd - 1) < input.size()) result.append(input, prevEnd - 1);
  return result;
}

void TRidRegExpr::Error(int32_t AErrorID) {
  FLastError = AErrorID;
  std::string msg = ErrorMsg(AErrorID);
  const int32_t pos = FCompiling ? FCompilerErrorPos : 0;
  if (AErrorID < 1000) msg += " (pos " + std::to_string(pos) + ")";
  throw ERidRegExpr(msg, AErrorID, pos);
}

std::string TRidRegExpr::ErrorMsg(int32_t AErrorID) {
  switch (AErrorID) {
    case reeOk:
      return "No errors";
    case reeCompNullArgument:
      return "TRidRegExpr(comp): Null Argument";
    case reeCompRegexpTooBig:
      return "TRidRegExpr(comp): Regexp Too Big";
    case reeCompParseRegTooManyBrackets:
      return "TRidRegExpr(comp): ParseReg Too Many ()";
    case reeCompParseRegUnmatchedBrackets:
      return "TRidRegExpr(comp): ParseReg Unmatched ()";
    case reeCompParseRegUnmatchedBrackets2:
      return "TRidRegExpr(comp): ParseReg Unmatched ()";
    case reeCompParseRegJunkOnEnd:
      return "TRidRegExpr(comp): ParseReg Junk On End";
    case rePlusStarOperandCouldBeEmpty:
      return "TRidRegExpr(comp): *+ Operand Could Be Empty";
    case reeNestedSQP:
      return "TRidRegExpr(comp): Nested *?+";
    case reeBadHexDigit:
      return "TRidRegExpr(comp): Bad Hex Digit";
    case reeInvalidRange:
      return "TRidRegExpr(comp): Invalid [] Range";
    case reeParseAtomTrailingBackSlash:
      return "TRidRegExpr(comp): Parse Atom Trailing \\";
    case reeNoHexCodeAfterBSlashX:
      return "TRidRegExpr(comp): No Hex Code After \\x";
    case reeHexCodeAfterBSlashXTooBig:
      return "TRidRegExpr(comp): Hex Code After \\x Is Too Big";
    case reeUnmatchedSqBrackets:
      return "TRidRegExpr(comp): Unmatched []";
    case reeInternalUrp:
      return "TRidRegExpr(comp): Internal Urp";
    case reeQPSBFollowsNothing:
      return "TRidRegExpr(comp): ?+*{ Follows Nothing";
    case reeTrailingBackSlash:
      return "TRidRegExpr(comp): Trailing \\";
    case reeRarseAtomInternalDisaster:
      return "TRidRegExpr(comp): RarseAtom Internal Disaster";
    case reeBRACESArgTooBig:
      return "TRidRegExpr(comp): BRACES Argument Too Big";
    case reeBracesMinParamGreaterMax:
      return "TRidRegExpr(comp): BRACE Min Param Greater then Max";
    case reeUnclosedComment:
      return "TRidRegExpr(comp): Unclosed (?#Comment)";
    case reeComplexBracesNotImplemented:
      return "TRidRegExpr(comp): If you want take part in beta-testing BRACES '{min,max}' and "
             "non-greedy ops '*?', '+?', '?"
             "?' for complex cases - remove '.' from "
             "{.$DEFINE ComplexBraces}";
    case reeUrecognizedModifier:
      return "TRidRegExpr(comp): Urecognized Modifier";
    case reeBadLinePairedSeparator:
      return "TRidRegExpr(comp): LinePairedSeparator must countain two different chars or no "
             "chars at all";
    case reeRegRepeatCalledInappropriately:
      return "TRidRegExpr(exec): RegRepeat Called Inappropriately";
    case reeMatchPrimMemoryCorruption:
      return "TRidRegExpr(exec): MatchPrim Memory Corruption";
    case reeMatchPrimCorruptedPointers:
      return "TRidRegExpr(exec): MatchPrim Corrupted Pointers";
    case reeNoExpression:
      return "TRidRegExpr(exec): Not Assigned Expression Property";
    case reeCorruptedProgram:
      return "TRidRegExpr(exec): Corrupted Program";
    case reeNoInputStringSpecified:
      return "TRidRegExpr(exec): No Input String Specified";
    case reeOffsetMustBeGreaterThen0:
      return "TRidRegExpr(exec): Offset Must Be Greater Then 0";
    case reeExecNextWithoutExec:
      return "TRidRegExpr(exec): ExecNext Without Exec[Pos]";
    case reeGetInputStringWithoutInputString:
      return "TRidRegExpr(exec): GetInputString Without InputString";
    case reeDumpCorruptedOpcode:
      return "TRidRegExpr(dump): Corrupted Opcode";
    case reeLoopStackExceeded:
      return "TRidRegExpr(exec): Loop Stack Exceeded";
    case reeLoopWithoutEntry:
      return "TRidRegExpr(exec): Loop Without LoopEntry !";
    case reeMatchBudgetExceeded:
      return "TRidRegExpr(exec): Search Stopped, Expression Too Complex For This Text";
    case reeBadPCodeImported:
      return "TRidRegExpr(misc): Bad p-code imported";
    default:
      return "Unknown error";
  }
}

}  // namespace rid
