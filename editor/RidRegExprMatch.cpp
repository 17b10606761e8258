// The matcher: a backtracking interpreter of the byte program whose choice points and undo
// records live on a heap stack, so neither the pattern nor the input length can exhaust the
// machine stack. Every change of a capture, of a loop counter or of the loop-stack index is
// undone when the matcher backtracks over it.
#include <algorithm>
#include <cstring>

#include "editor/RidRegExpr.h"
#include "platform/Locale.h"

namespace rid {

using namespace RidRegExprOp;

namespace {

enum : int32_t {
  fkAlt,          // A = node to resume at, B = input position
  fkLoopExit,     // greedy loop: A = loop node, B = position; leave the loop on resume
  fkLoopIter,     // lazy loop: A = loop node, B = position; try one more iteration on resume
  fkRepGreedy,    // counted repeat: A = node, B = start, C = count to try next, D = minimum
  fkRepLazy,      // counted repeat: A = node, B = start, C = count to try next, D = maximum
  fkUndoGroup,    // A = group, B = old start, C = old end
  fkUndoPending,  // A = group, B = old pending start
  fkUndoLoop,     // A = old loop index, B = slot, C = old counter, D = old iteration start
};

// The byte at q of an input of ALen bytes; its end reads as the NUL that ends it, which the
// caller's text need not hold.
inline uint8_t ByteAt(const uint8_t* s, int32_t ALen, int32_t q) { return q < ALen ? s[q] : 0; }

inline int32_t Rd(const uint8_t* code, int32_t at) {
  int32_t v;
  memcpy(&v, code + at, 4);
  return v;
}

// First start at or after AFrom of the literal in s[0, ALen), or -1. Looks for the literal's
// rarest byte (at offset ARare) with memchr and compares the rest only there.
int32_t FindLiteral(const uint8_t* s, int32_t AFrom, int32_t ALen, const uint8_t* ALit,
                    int32_t ALitLen, int32_t ARare) {
  const int32_t last = ALen - ALitLen;
  const uint8_t rare = ALit[ARare];
  for (int32_t p = AFrom; p <= last;) {
    const void* hit = memchr(s + p + ARare, rare, last - p + 1);
    if (hit == nullptr) return -1;
    p = static_cast<int32_t>(static_cast<const uint8_t*>(hit) - s) - ARare;
    // The end bytes first: most false hits fail there without a call.
    if (s[p] == ALit[0] && s[p + ALitLen - 1] == ALit[ALitLen - 1] &&
        (ALitLen <= 2 || memcmp(s + p + 1, ALit + 1, ALitLen - 2) == 0)) {
      return p;
    }
    ++p;
  }
  return -1;
}

// End of the caseless literal ALit (NUL-terminated) matched at q in s[0, ALen), or -1. The
// trail byte of a double-byte character in the literal is compared as it is.
int32_t MatchLiteralCI(const uint8_t* s, int32_t ALen, int32_t q, const uint8_t* ALit,
                       const uint8_t* AInvert) {
  if (ALit[0] == 0) return -1;  // a literal NUL never occurs in the input
  for (const uint8_t* l = ALit; *l; ++l, ++q) {
    if (q >= ALen) return -1;
    if (IsDBCSLeadByte(*l) && l[1] != 0) {
      if (s[q] != l[0] || ByteAt(s, ALen, q + 1) != l[1]) return -1;
      ++l;
      ++q;
    } else if (s[q] != *l && s[q] != AInvert[*l]) {
      return -1;
    }
  }
  return q;
}

// First start at or after AFrom of the caseless literal ALit in s[0, ALen), or -1.
int32_t FindLiteralCI(const uint8_t* s, int32_t AFrom, int32_t ALen, const uint8_t* ALit,
                      const uint8_t* AInvert) {
  const uint8_t a = ALit[0];
  const uint8_t b = AInvert[a];
  for (int32_t p = AFrom; p < ALen; ++p) {
    while (p < ALen && s[p] != a && s[p] != b) ++p;
    if (p < ALen && MatchLiteralCI(s, ALen, p, ALit, AInvert) >= 0) return p;
  }
  return -1;
}

// The input ends at its first NUL.
size_t NulFreeLength(const char* AText, size_t ASize) {
  if (ASize == 0) return 0;
  const void* nul = memchr(AText, 0, ASize);
  return nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - AText) : ASize;
}

}  // namespace

void TRidRegExpr::PrepareProgram() {
  if (FModifiers != FProgModifiers) DiscardProgram();
  if (FProgramm.empty()) CompileRegExpr();
  if (FProgramm.empty() || FProgramm[0] != MAGIC) Error(reeCorruptedProgram);
}

void TRidRegExpr::StoreInput(const char* AText, size_t ASize) {
  FInput = reinterpret_cast<const uint8_t*>(AText != nullptr ? AText : "");
  FInputLen = static_cast<int32_t>(ASize);
  FHasInput = true;
  FWalkFrom = -1;
  FRunNode = -1;  // the slots are cleared by the search that follows
}

bool TRidRegExpr::Exec(const std::string& AInputString) {
  FInputCopy.assign(AInputString.data(), NulFreeLength(AInputString.data(), AInputString.size()));
  StoreInput(FInputCopy.data(), FInputCopy.size());
  return ExecPos(1);
}

bool TRidRegExpr::ExecView(std::string_view AInput, int32_t AOffset) {
  StoreInput(AInput.data(), NulFreeLength(AInput.data(), AInput.size()));
  return ExecPos(AOffset);
}

bool TRidRegExpr::ExecNext() {
  if (FStartP[0] < 0 || FEndP[0] < 0) Error(reeExecNextWithoutExec);
  int32_t offset = FEndP[0] + 1;
  if (FEndP[0] == FStartP[0]) ++offset;
  return ExecPos(offset);
}

bool TRidRegExpr::ExecPos(int32_t AOffset) {
  try {
    return Search(AOffset);
  } catch (...) {
    ClearMatches();  // a search stopped half-way reports no match
    throw;
  }
}

bool TRidRegExpr::Search(int32_t AOffset) {
  if (!FHasInput) Error(reeNoInputStringSpecified);
  if (AOffset < 1) Error(reeOffsetMustBeGreaterThen0);
  ClearMatches();
  PrepareProgram();
  const int32_t len = FInputLen;
  if (AOffset > len + 1) return false;
  const int32_t from = AOffset - 1;
  if (FWalkFrom < 0 || from <= FWalkFrom) {
    FWorkLeft = FWorkBase + kWorkPerByte * (int64_t(len - from) + 1);
  }
  FWalkFrom = from;

  const uint8_t* s = FInput;
  if (FRegMust >= 0 && !FRegMustIsStart) {
    const uint8_t* must = FProgramm.data() + FRegMust;
    if ((FRegMustCI ? FindLiteralCI(s, from, len, must, FInvertTable.data())
                    : FindLiteral(s, from, len, must, FRegMustLen, FRegMustRare)) < 0) {
      return false;
    }
  }
  if (FRegAnch) return FFirstCharSet[ByteAt(s, len, from)] && MatchAt(from);
  if (FRegStart != 0 && FRegStartLitLen > 1) {  // every match begins with this literal
    const uint8_t* lit = FProgramm.data() + FRegStartLit;
    for (int32_t p = from;; ++p) {
      p = FindLiteral(s, p, len, lit, FRegStartLitLen, FRegStartLitRare);
      if (p < 0) return false;
      if (MatchAt(p)) return true;
    }
  }
  if (FRegStartLitCI) {  // every match begins with this caseless literal
    const uint8_t* lit = FProgramm.data() + FRegStartLit;
    for (int32_t p = from;; ++p) {
      p = FindLiteralCI(s, p, len, lit, FInvertTable.data());
      if (p < 0) return false;
      if (MatchAt(p)) return true;
    }
  }
  if (FRegLineAnch) return SearchLineStarts(from);
  if (FRegStart != 0) {
    for (int32_t p = from; p < len;) {
      const void* hit = memchr(s + p, FRegStart, len - p);
      if (hit == nullptr) return false;
      p = static_cast<int32_t>(static_cast<const uint8_t*>(hit) - s);
      if (MatchAt(p)) return true;
      ++p;
    }
    return false;
  }
  // The end of the input reads as the NUL that ends it.
  for (int32_t p = from; p <= len; ++p) {
    if (FFirstCharOnly > 0) {  // one byte begins every match: memchr finds the starts
      const void* hit = memchr(s + p, FFirstCharOnly, len - p);
      if (hit == nullptr) return false;
      p = static_cast<int32_t>(static_cast<const uint8_t*>(hit) - s);
    } else if (FFirstCharCount < 256) {
      while (p < len && !FFirstCharSet[s[p]]) ++p;
      if (p == len && !FFirstCharSet[0]) return false;
    }
    if (MatchAt(p)) return true;
  }
  return false;
}

// Tries only the positions where a line begins: the input start and every position after a
// separator or the tail of the pair (MatchAt rejects the middle of a pair).
bool TRidRegExpr::SearchLineStarts(int32_t AFrom) {
  const uint8_t* s = FInput;
  const int32_t len = FInputLen;
  const bool allFirst = FFirstCharCount >= 256;
  constexpr int kMemchrBytes = static_cast<int>(std::tuple_size_v<decltype(FLineStartBytes)>);
  const int count = FLineStartByteCount;
  // First line-start byte at or after q, or -1. The window grows so that a byte missing from
  // the text costs a scan proportional to the distance covered, not to the rest of the input.
  auto nextSeparator = [&](int32_t q) -> int32_t {
    if (count > kMemchrBytes) {
      for (; q < len; ++q) {
        if (FLineStartAfter[s[q]]) return q;
      }
      return -1;
    }
    int32_t window = 256;
    for (int32_t lo = q; lo < len; lo += window, window = std::min(window * 2, 1 << 16)) {
      const int32_t hi = std::min<int64_t>(len, int64_t(lo) + window);
      const uint8_t* best = nullptr;
      for (int k = 0; k < count; ++k) {
        const int32_t end = best ? static_cast<int32_t>(best - s) : hi;
        const void* hit = memchr(s + lo, FLineStartBytes[k], end - lo);
        if (hit != nullptr) best = static_cast<const uint8_t*>(hit);
      }
      if (best != nullptr) return static_cast<int32_t>(best - s);
    }
    return -1;
  };
  for (int32_t p = AFrom; p <= len;) {
    if (p == 0 || FLineStartAfter[s[p - 1]]) {
      if ((allFirst || FFirstCharSet[ByteAt(s, len, p)]) && MatchAt(p)) return true;
    }
    const int32_t sep = nextSeparator(p);
    if (sep < 0) return false;
    p = sep + 1;
  }
  return false;
}

int32_t TRidRegExpr::RegRepeat(int32_t AScan, int32_t AMax, int32_t APos) const {
  const uint8_t* code = FProgramm.data();
  const uint8_t* s = FInput;
  const int32_t len = FInputLen;
  const int32_t limit = std::min<int64_t>(AMax, len - APos);
  const uint8_t* p = s + APos;
  const uint8_t* end = p + limit;
  const uint8_t* operand = code + AScan + NodeHeader;
  const uint8_t* q = p;
  switch (code[AScan]) {
    case opAnyChar:
      return limit;
    case opExact:
      while (q < end && *q == operand[0]) ++q;
      break;
    case opExactCI: {
      const uint8_t a = operand[0];
      const uint8_t b = FInvertTable[a];
      while (q < end && (*q == a || *q == b)) ++q;
      break;
    }
    case opDigit:
      while (q < end && *q >= '0' && *q <= '9') ++q;
      break;
    case opNotDigit:
      while (q < end && (*q < '0' || *q > '9')) ++q;
      break;
    case opAnyOfTiny:
      while (q < end && (*q == operand[0] || *q == operand[1] || *q == operand[2])) ++q;
      break;
    case opAnyButTiny:
      if (operand[0] == operand[1] && operand[0] == operand[2]) {  // one excluded byte
        const void* hit = memchr(p, operand[0], limit);
        return hit ? static_cast<int32_t>(static_cast<const uint8_t*>(hit) - p) : limit;
      }
      while (q < end && *q != operand[0] && *q != operand[1] && *q != operand[2]) ++q;
      break;
    case opAnyOfSet:
      while (q < end && (operand[*q >> 3] & (1 << (*q & 7)))) ++q;
      break;
    default:
      const_cast<TRidRegExpr*>(this)->Error(reeRegRepeatCalledInappropriately);
  }
  return static_cast<int32_t>(q - p);
}

// RegRepeat that reuses the run counted last: every start inside a run of the same node ends
// where that run ended, so trying the starts of a run one after another counts it once.
int32_t TRidRegExpr::CountRun(int32_t AScan, int32_t AMax, int32_t APos) {
  if (AScan == FRunNode && APos >= FRunFrom && APos <= FRunEnd) {
    return std::min(AMax, FRunEnd - APos);
  }
  const int32_t count = RegRepeat(AScan, AMax, APos);
  Spend(count >> 3);
  if (count < AMax || count == FInputLen - APos) {  // the run really ends there
    FRunNode = AScan;
    FRunFrom = APos;
    FRunEnd = APos + count;
  }
  return count;
}

void TRidRegExpr::Spend(int64_t AUnits) {
  FWorkLeft -= AUnits;
  if (FWorkLeft < 0) Error(reeMatchBudgetExceeded);
}

bool TRidRegExpr::MatchAt(int32_t APos) {
  const uint8_t* code = FProgramm.data();
  const uint8_t* s = FInput;
  const int32_t len = FInputLen;
  const uint8_t* inv = FInvertTable.data();
  const bool paired = FLinePairedSeparatorAssigned;
  const uint8_t head = FLinePairedSeparatorHead;
  const uint8_t tail = FLinePairedSeparatorTail;
  auto isWord = [this](uint8_t c) { return FWordCharSet[c] != 0; };

  int32_t pending[kSubExprs];
  int32_t counters[kLoopMax + 1];
  int32_t iterStart[kLoopMax + 1];
  int32_t loopIdx = 0;
  if (FProgHasGroups) std::fill(std::begin(pending), std::end(pending), -1);
  if (FProgHasLoops) {
    std::fill(std::begin(counters), std::end(counters), 0);
    std::fill(std::begin(iterStart), std::end(iterStart), -1);
  }

  // The stack keeps its storage across starts and searches; top counts the live frames.
  std::vector<TFrame>& frames = FStack;
  if (frames.empty()) frames.resize(64);
  TFrame* stack = frames.data();
  size_t top = 0;
  size_t room = frames.size();
  auto push = [&](int32_t k, int32_t a, int32_t b, int32_t c = 0, int32_t d = 0) {
    if (top == room) [[unlikely]] {
      frames.resize(room * 2);
      stack = frames.data();
      room = frames.size();
    }
    stack[top++] = TFrame{k, a, b, c, d};
  };
  auto nextOf = [code](int32_t p) {
    const int32_t off = Rd(code, p + 1);
    return off == 0 ? -1 : p + off;
  };
  auto spend = [this](int64_t units) { Spend(units); };
  const int32_t* hintOf = FHintOf.data();
  const TNodeHint* hints = FHints.data();
  // Whether the program may go on at the node with the byte c (its hint allows it, or it has
  // none).
  auto mayBegin = [hintOf, hints](int32_t node, uint8_t c) {
    return hintOf[node] < 0 || hints[hintOf[node]].Has(c);
  };
  auto byteAt = [s, len](int32_t q) { return ByteAt(s, len, q); };

  int32_t pc = 1;
  int32_t pos = APos;

  for (;;) {
    // Runs nodes until one fails (break out to backtracking) or the program ends.
    bool failed = false;
    while (!failed) {
      if (--FWorkLeft < 0) Error(reeMatchBudgetExceeded);
      const uint8_t op = code[pc];
      const int32_t next = nextOf(pc);
      if (next < 0 && op != opEnd) Error(reeMatchPrimCorruptedPointers);
      const uint8_t* operand = code + pc + NodeHeader;
      if (op >= opOpen && op < opOpen + kSubExprs) {
        const int n = op - opOpen;
        push(fkUndoPending, n, pending[n]);
        pending[n] = pos;
        pc = next;
        continue;
      }
      if (op >= opClose && op < opClose + kSubExprs) {
        const int n = op - opClose;
        push(fkUndoGroup, n, FStartP[n], FEndP[n]);
        FStartP[n] = pending[n];
        FEndP[n] = pos;
        pc = next;
        continue;
      }
      switch (op) {
        case opEnd:
          FStartP[0] = APos;
          FEndP[0] = pos;
          return true;
        case opInputStart:
          failed = pos != 0;
          break;
        case opInputEnd:
          failed = pos != len;
          break;
        case opAnyChar:
          if (pos < len) {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opAnyInLine:
          if (pos >= len || (paired && s[pos] == head && ByteAt(s, len, pos + 1) == tail) ||
              IsLineSep(s[pos])) {
            failed = true;
          } else {
            ++pos;
          }
          break;
        case opLineStart:
          if (pos != 0) {
            const uint8_t prev = s[pos - 1];
            if (paired && prev == tail && pos - 1 > 0 && s[pos - 2] == head) {
              // after a complete pair
            } else if (paired && prev == head && ByteAt(s, len, pos) == tail) {
              failed = true;
            } else {
              failed = !IsLineSep(prev);
            }
          }
          break;
        case opLineEnd:
          if (pos != len) {
            const uint8_t cur = s[pos];
            if (paired && cur == head && ByteAt(s, len, pos + 1) == tail) {
              // before a complete pair
            } else if (paired && cur == tail && pos > 0 && s[pos - 1] == head) {
              failed = true;
            } else {
              failed = !IsLineSep(cur);
            }
          }
          break;
        case opWordBound:
        case opNotWordBound: {
          const bool before = pos > 0 && isWord(s[pos - 1]);
          const bool here = pos < len && isWord(s[pos]);
          const bool bound = before != here;
          failed = (op == opWordBound) != bound;
          break;
        }
        case opBranch: {
          if (hintOf[pc] < 0) {  // a single alternative, or one without a hint
            if (code[next] == opBranch) push(fkAlt, next, pos);
            pc += NodeHeader;
            continue;
          }
          // Alternatives that cannot begin with the byte here are skipped.
          const uint8_t c = byteAt(pos);
          int32_t alt = pc;
          int32_t skipped = 0;
          while (alt >= 0 && code[alt] == opBranch && !mayBegin(alt, c)) {
            alt = nextOf(alt);
            ++skipped;
          }
          if (alt < 0 || code[alt] != opBranch) {
            spend(skipped >> 3);
            failed = true;
            break;
          }
          int32_t other = nextOf(alt);
          while (other >= 0 && code[other] == opBranch && !mayBegin(other, c)) {
            other = nextOf(other);
            ++skipped;
          }
          spend(skipped >> 3);
          if (other >= 0 && code[other] == opBranch) push(fkAlt, other, pos);
          pc = alt + NodeHeader;
          continue;
        }
        case opBack:
        case opNothing:
        case opComment:
          break;
        case opExact: {
          // A literal NUL can never occur in the input, which ends at its first NUL.
          if (pos >= len || s[pos] != operand[0] || operand[0] == 0) {
            failed = true;
            break;
          }
          const uint8_t* l = operand + 1;
          int32_t p = pos + 1;
          while (*l != 0 && p < len && s[p] == *l) ++l, ++p;
          spend((p - pos) >> 4);
          if (*l != 0) {
            failed = true;
          } else {
            pos = p;
          }
          break;
        }
        case opExactCI: {
          spend(strlen(reinterpret_cast<const char*>(operand)) >> 2);
          const int32_t end = MatchLiteralCI(s, len, pos, operand, inv);
          if (end < 0) {
            failed = true;
          } else {
            pos = end;
          }
          break;
        }
        case opDigit:
          if (pos < len && s[pos] >= '0' && s[pos] <= '9') {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opNotDigit:
          if (pos < len && (s[pos] < '0' || s[pos] > '9')) {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opAnyOfTiny:
          if (pos < len && (s[pos] == operand[0] || s[pos] == operand[1] || s[pos] == operand[2])) {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opAnyButTiny:
          if (pos < len && s[pos] != operand[0] && s[pos] != operand[1] && s[pos] != operand[2]) {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opAnyOfSet:
          if (pos < len && (operand[s[pos] >> 3] & (1 << (s[pos] & 7)))) {
            ++pos;
          } else {
            failed = true;
          }
          break;
        case opBackRef:
        case opBackRefCI: {
          const int n = operand[0];
          if (n >= kSubExprs || FStartP[n] < 0 || FEndP[n] < 0) {
            failed = true;
            break;
          }
          const int32_t gs = FStartP[n];
          const int32_t glen = FEndP[n] - gs;
          if (glen > len - pos) {
            failed = true;
            break;
          }
          // Charged by the bytes compared: a long group compared at many positions is real work.
          // Equal text needs no case folding, so the caseless form tries memcmp first.
          spend(glen >> 4);
          failed = memcmp(s + pos, s + gs, glen) != 0;
          if (failed && op == opBackRefCI) {
            failed = false;
            spend(glen >> 2);
            for (int32_t k = 0; k < glen; ++k) {
              const uint8_t g = s[gs + k];
              if (IsDBCSLeadByte(g) && k + 1 < glen) {
                if (s[pos + k] != g || s[pos + k + 1] != s[gs + k + 1]) {
                  failed = true;
                  break;
                }
                ++k;
              } else if (s[pos + k] != g && s[pos + k] != inv[g]) {
                failed = true;
                break;
              }
            }
          }
          if (!failed) pos += glen;
          break;
        }
        case opStar:
        case opStarLazy:
        case opPlus:
        case opPlusLazy:
        case opBraces:
        case opBracesLazy: {
          int32_t min, max, body;
          if (op == opBraces || op == opBracesLazy) {
            min = Rd(operand, 0);
            max = Rd(operand, 4);
            body = pc + NodeHeader + 8;
          } else {
            min = (op == opPlus || op == opPlusLazy) ? 1 : 0;
            max = 2147483647;
            body = pc + NodeHeader;
          }
          const int32_t start = pos;
          const int32_t count = CountRun(body, max, pos);
          if (count < min) {
            failed = true;
            break;
          }
          // Only counts after which what follows can go on are tried.
          const bool lazy = op == opStarLazy || op == opPlusLazy || op == opBracesLazy;
          const TNodeHint* hint = hintOf[pc] >= 0 ? &hints[hintOf[pc]] : nullptr;
          auto goesOn = [hint, &byteAt](int32_t q) { return !hint || hint->Has(byteAt(q)); };
          int32_t n;
          if (hint && hint->Possessive) {
            n = count;
            failed = !goesOn(start + n);
          } else if (!lazy) {
            n = count;
            while (n >= min && !goesOn(start + n)) --n;
            spend(count - n);
            failed = n < min;
            if (n > min) push(fkRepGreedy, pc, start, n - 1, min);
          } else {
            n = min;
            while (n <= count && !goesOn(start + n)) ++n;
            spend(n - min);
            failed = n > count;
            if (n < count) push(fkRepLazy, pc, start, n + 1, count);
          }
          if (!failed) pos = start + n;
          break;
        }
        case opLoopEntry:
          if (loopIdx >= kLoopMax) Error(reeLoopStackExceeded);
          push(fkUndoLoop, loopIdx, loopIdx + 1, counters[loopIdx + 1], iterStart[loopIdx + 1]);
          ++loopIdx;
          counters[loopIdx] = 0;
          iterStart[loopIdx] = -1;
          break;
        case opLoop:
        case opLoopLazy: {
          if (loopIdx <= 0) Error(reeLoopWithoutEntry);
          const int32_t min = Rd(operand, 0);
          const int32_t max = Rd(operand, 4);
          const int32_t body = pc - Rd(operand, 8);
          const int32_t count = counters[loopIdx];
          bool iterate;
          if (count < min) {
            iterate = true;
          } else if (count > 0 && pos == iterStart[loopIdx]) {
            iterate = false;  // the last iteration consumed nothing: leave the loop
          } else if (op == opLoop) {
            iterate = count < max;
            if (iterate) push(fkLoopExit, pc, pos);
          } else {
            iterate = false;
            if (count < max) push(fkLoopIter, pc, pos);
          }
          if (iterate) {
            push(fkUndoLoop, loopIdx, loopIdx, count, iterStart[loopIdx]);
            counters[loopIdx] = count + 1;
            iterStart[loopIdx] = pos;
            pc = body;
          } else {
            push(fkUndoLoop, loopIdx, loopIdx, count, iterStart[loopIdx]);
            --loopIdx;
            pc = next;
          }
          continue;
        }
        default:
          Error(reeMatchPrimMemoryCorruption);
      }
      if (!failed) pc = next;
    }

    // Backtrack: undo records are replayed until a choice point resumes the match.
    bool resumed = false;
    while (!resumed) {
      if (top == 0) return false;
      const TFrame f = stack[--top];
      switch (f.Kind) {
        case fkUndoGroup:
          FStartP[f.A] = f.B;
          FEndP[f.A] = f.C;
          break;
        case fkUndoPending:
          pending[f.A] = f.B;
          break;
        case fkUndoLoop:
          loopIdx = f.A;
          counters[f.B] = f.C;
          iterStart[f.B] = f.D;
          break;
        case fkAlt:
          if (--FWorkLeft < 0) Error(reeMatchBudgetExceeded);
          pc = f.A;
          pos = f.B;
          resumed = true;
          break;
        case fkLoopExit:
          pos = f.B;
          push(fkUndoLoop, loopIdx, loopIdx, counters[loopIdx], iterStart[loopIdx]);
          --loopIdx;
          pc = nextOf(f.A);
          resumed = true;
          break;
        case fkLoopIter: {
          pos = f.B;
          const int32_t count = counters[loopIdx];
          push(fkUndoLoop, loopIdx, loopIdx, count, iterStart[loopIdx]);
          counters[loopIdx] = count + 1;
          iterStart[loopIdx] = pos;
          pc = f.A - Rd(code, f.A + NodeHeader + 8);
          resumed = true;
          break;
        }
        case fkRepGreedy: {
          int32_t n = f.C;
          while (n >= f.D && !mayBegin(f.A, byteAt(f.B + n))) --n;
          spend(f.C - n + 1);
          if (n < f.D) break;
          if (n > f.D) push(fkRepGreedy, f.A, f.B, n - 1, f.D);
          pos = f.B + n;
          pc = nextOf(f.A);
          resumed = true;
          break;
        }
        case fkRepLazy: {
          int32_t n = f.C;
          while (n <= f.D && !mayBegin(f.A, byteAt(f.B + n))) ++n;
          spend(n - f.C + 1);
          if (n > f.D) break;
          if (n < f.D) push(fkRepLazy, f.A, f.B, n + 1, f.D);
          pos = f.B + n;
          pc = nextOf(f.A);
          resumed = true;
          break;
        }
        default:
          Error(reeMatchPrimMemoryCorruption);
      }
    }
  }
}

}  // namespace rid
