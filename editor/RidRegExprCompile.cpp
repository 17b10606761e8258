// The compiler: expression text to byte program, and the search hints derived from the program.
#include <algorithm>
#include <cstring>

#include "editor/RidRegExpr.h"
#include "platform/Locale.h"

namespace rid {

using namespace RidRegExprOp;

namespace {

// Parse flags. NONEMPTY is ours: HASWIDTH keeps the accepted syntax, while NONEMPTY promises that
// the piece really consumes a byte (a back reference to an empty group does not), which decides
// whether a loop needs the empty-iteration check.
constexpr int HASWIDTH = 1;
constexpr int SIMPLE = 2;
constexpr int SPSTART = 4;
constexpr int NONEMPTY = 8;

const char kMeta[] = "^$.[()|?+*\\{";

bool IsMeta(uint8_t c) { return c != 0 && strchr(kMeta, c) != nullptr; }
bool IsQuantifier(uint8_t c) { return c == '*' || c == '+' || c == '?' || c == '{'; }
bool IsXBlank(uint8_t c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

int32_t ReadInt(const std::vector<uint8_t>& code, int32_t at) {
  int32_t v;
  memcpy(&v, code.data() + at, 4);
  return v;
}

void WriteInt(std::vector<uint8_t>& code, int32_t at, int32_t v) {
  memcpy(code.data() + at, &v, 4);
}

int HexValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

struct TRidRegExpr::TCompiler {
  TRidRegExpr& R;
  const std::string& E;
  std::vector<uint8_t>& Code;
  size_t P = 0;
  int32_t NPar = 1;
  int32_t Mods;

  TCompiler(TRidRegExpr& AR, std::vector<uint8_t>& ACode)
      : R(AR), E(AR.FExpression), Code(ACode), Mods(AR.FModifiers) {}

  uint8_t At(size_t i) const { return i < E.size() ? static_cast<uint8_t>(E[i]) : 0; }
  uint8_t Cur() const { return At(P); }
  bool AtEnd() const { return P >= E.size(); }
  bool Mod(int32_t bit) const { return (Mods & bit) != 0; }
  // A lead byte with a valid trail byte after it: one character, whose trail is never syntax.
  // A lead byte before anything else is a byte of its own.
  bool DoubleByteAt(size_t i) const {
    return IsDBCSLeadByte(At(i)) && i + 1 < E.size() && IsDBCSTrailByte(At(i + 1));
  }

  [[noreturn]] void Fail(int32_t code) {
    R.FCompilerErrorPos = static_cast<int32_t>(P);
    R.Error(code);
    throw ERidRegExpr(R.ErrorMsg(code), code, static_cast<int32_t>(P));  // Error always raises
  }

  // --- emit primitives ---
  int32_t EmitNode(uint8_t op) {
    const int32_t at = static_cast<int32_t>(Code.size());
    Code.push_back(op);
    Code.insert(Code.end(), 4, 0);
    return at;
  }
  void EmitByte(uint8_t b) { Code.push_back(b); }
  void EmitInt(int32_t v) {
    const size_t at = Code.size();
    Code.insert(Code.end(), 4, 0);
    WriteInt(Code, static_cast<int32_t>(at), v);
  }
  // Puts a node in front of the operand that starts at At; the operand moves up as a whole, so
  // its relative links stay valid.
  void Insert(uint8_t op, int32_t at, int32_t operandSize) {
    Code.insert(Code.begin() + at, NodeHeader + operandSize, 0);
    Code[at] = op;
  }
  int32_t Next(int32_t p) const {
    const int32_t off = ReadInt(Code, p + 1);
    return off == 0 ? -1 : p + off;
  }
  // Links the node at p, the last of its chain, to val.
  void Link(int32_t p, int32_t val) { WriteInt(Code, p + 1, val - p); }
  void Tail(int32_t p, int32_t val) {
    int32_t scan = p;
    for (int32_t t = Next(scan); t >= 0; t = Next(scan)) scan = t;
    Link(scan, val);
  }
  void OpTail(int32_t p, int32_t val) {
    if (Code[p] == opBranch) Tail(p + NodeHeader, val);
  }

  // --- grammar ---
  int32_t ParseReg(bool paren, int& flags) {
    const int32_t savedMods = Mods;
    flags = HASWIDTH | NONEMPTY;
    int32_t ret = -1;
    int32_t last = -1;  // the last node of the chain of branches: linking stays linear
    int32_t parno = 0;
    if (paren) {
      if (NPar >= kSubExprs) Fail(reeCompParseRegTooManyBrackets);
      parno = NPar++;
      ret = last = EmitNode(static_cast<uint8_t>(opOpen + parno));
    }
    for (;;) {
      int fl;
      const int32_t br = ParseBranch(fl);
      if (ret >= 0) {
        Link(last, br);
      } else {
        ret = br;
      }
      last = br;
      flags &= fl | ~(HASWIDTH | NONEMPTY);
      flags |= fl & SPSTART;
      if (Cur() != '|' || AtEnd()) break;
      ++P;
    }
    const int32_t ender = EmitNode(paren ? static_cast<uint8_t>(opClose + parno) : opEnd);
    Link(last, ender);
    for (int32_t br = ret; br >= 0; br = Next(br)) OpTail(br, ender);
    if (paren) {
      if (AtEnd() || Cur() != ')') Fail(reeCompParseRegUnmatchedBrackets);
      ++P;
    } else if (!AtEnd()) {
      Fail(Cur() == ')' ? reeCompParseRegUnmatchedBrackets2 : reeCompParseRegJunkOnEnd);
    }
    Mods = savedMods;
    return ret;
  }

  int32_t ParseBranch(int& flags) {
    flags = 0;
    const int32_t ret = EmitNode(opBranch);
    int32_t chain = -1;
    while (!AtEnd() && Cur() != '|' && Cur() != ')') {
      int fl;
      const int32_t latest = ParsePiece(fl);
      flags |= fl & (HASWIDTH | NONEMPTY);
      if (chain < 0) {
        flags |= fl & SPSTART;
      } else {
        Tail(chain, latest);
      }
      chain = latest;
    }
    if (chain < 0) EmitNode(opNothing);
    return ret;
  }

  void LoopForm(int32_t ret, int32_t min, int32_t max, bool lazy) {
    Insert(opLoopEntry, ret, 0);
    R.FProgHasLoops = true;
    const int32_t loop = EmitNode(lazy ? opLoopLazy : opLoop);
    EmitInt(min);
    EmitInt(max);
    EmitInt(loop - (ret + NodeHeader));
    Tail(ret, loop);
    Tail(ret + NodeHeader, loop);
  }

  void BracesForm(int32_t ret, int32_t min, int32_t max, bool lazy) {
    Insert(lazy ? opBracesLazy : opBraces, ret, 8);
    WriteInt(Code, ret + NodeHeader, min);
    WriteInt(Code, ret + NodeHeader + 4, max);
  }

  // Reads up to the end of a number; false when no digit is there. *tooBig when it has more than
  // eight digits.
  bool ReadCount(int32_t& value, bool& tooBig) {
    const size_t start = P;
    int64_t v = 0;
    while (Cur() >= '0' && Cur() <= '9' && !AtEnd()) {
      if (P - start < 9) v = v * 10 + (Cur() - '0');
      ++P;
    }
    if (P == start) return false;
    if (P - start > 8 || v >= 2147483647) tooBig = true;
    value = static_cast<int32_t>(tooBig ? 0 : v);
    return true;
  }

  int32_t ParsePiece(int& flags) {
    int fl;
    const int32_t ret = ParseAtom(fl);
    const uint8_t op = AtEnd() ? 0 : Cur();
    if (!IsQuantifier(op)) {
      flags = fl;
      return ret;
    }
    if (!(fl & HASWIDTH) && op != '?') Fail(rePlusStarOperandCouldBeEmpty);
    const bool simple = (fl & SIMPLE) != 0;
    const bool solid = (fl & NONEMPTY) != 0;  // every iteration consumes input
    int32_t min = 0;
    int32_t max = 0;
    if (op == '{') {
      const size_t save = P;
      ++P;
      bool tooBig = false;
      bool isQuant = ReadCount(min, tooBig);
      if (isQuant && Cur() == ',' && !AtEnd()) {
        ++P;
        if (!ReadCount(max, tooBig)) max = LoopInfinite;
        isQuant = Cur() == '}' && !AtEnd();
      } else if (isQuant) {
        max = min;
        isQuant = Cur() == '}' && !AtEnd();
      }
      if (!isQuant) {  // not a quantifier: the "{" is literal text
        P = save;
        flags = fl;
        return ret;
      }
      if (tooBig) Fail(reeBRACESArgTooBig);
      if (max < min) Fail(reeBracesMinParamGreaterMax);
    }
    ++P;
    bool lazy = !Mod(kModG);
    if (Cur() == '?' && !AtEnd()) {
      lazy = true;
      ++P;
    }
    switch (op) {
      case '*':
        flags = SPSTART;
        if (simple) {
          Insert(lazy ? opStarLazy : opStar, ret, 0);
        } else if (lazy || !solid) {
          LoopForm(ret, 0, LoopInfinite, lazy);
        } else {  // x* as (x&|): a branch looping back to itself, or nothing
          Insert(opBranch, ret, 0);
          OpTail(ret, EmitNode(opBack));
          OpTail(ret, ret);
          Tail(ret, EmitNode(opBranch));
          Tail(ret, EmitNode(opNothing));
        }
        break;
      case '+':
        flags = HASWIDTH | SPSTART | (solid ? NONEMPTY : 0);
        if (simple) {
          Insert(lazy ? opPlusLazy : opPlus, ret, 0);
        } else if (lazy || !solid) {
          LoopForm(ret, 1, LoopInfinite, lazy);
        } else {  // x+ as x(&|)
          const int32_t next = EmitNode(opBranch);
          Tail(ret, next);
          Tail(EmitNode(opBack), ret);
          Tail(next, EmitNode(opBranch));
          Tail(ret, EmitNode(opNothing));
        }
        break;
      case '?':
        flags = 0;
        if (lazy) {
          if (simple) {
            BracesForm(ret, 0, 1, true);
          } else {
            LoopForm(ret, 0, 1, true);
          }
        } else {  // x? as (x|)
          Insert(opBranch, ret, 0);
          Tail(ret, EmitNode(opBranch));
          const int32_t next = EmitNode(opNothing);
          Tail(ret, next);
          OpTail(ret, next);
        }
        break;
      default:  // '{'
        flags = max > 0 ? HASWIDTH | SPSTART : 0;
        if (min > 0 && solid) flags |= NONEMPTY;
        if (simple) {
          BracesForm(ret, min, max, lazy);
        } else {
          LoopForm(ret, min, max, lazy);
        }
        break;
    }
    if (!AtEnd() && IsQuantifier(Cur())) Fail(reeNestedSQP);
    return ret;
  }

  // The character-escape rule; P is on the byte after the backslash.
  uint8_t DecodeEscape() {
    const uint8_t c = Cur();
    ++P;
    switch (c) {
      case 't':
        return 9;
      case 'n':
        return 10;
      case 'r':
        return 13;
      case 'f':
        return 12;
      case 'a':
        return 7;
      case 'e':
        return 27;
      case 'x': {
        if (AtEnd()) Fail(reeNoHexCodeAfterBSlashX);
        if (Cur() == '{') {
          ++P;
          int v = 0;
          for (;;) {
            if (AtEnd()) Fail(reeNoHexCodeAfterBSlashX);
            if (Cur() == '}') {
              ++P;
              return static_cast<uint8_t>(v);
            }
            const int d = HexValue(Cur());
            if (d < 0) Fail(reeBadHexDigit);
            if (v > 15) Fail(reeHexCodeAfterBSlashXTooBig);
            v = v * 16 + d;
            ++P;
          }
        }
        const int d1 = HexValue(Cur());
        if (d1 < 0) Fail(reeBadHexDigit);
        ++P;
        if (AtEnd()) Fail(reeNoHexCodeAfterBSlashX);
        const int d2 = HexValue(Cur());
        if (d2 < 0) Fail(reeBadHexDigit);
        ++P;
        return static_cast<uint8_t>(d1 * 16 + d2);
      }
      default:
        return c;
    }
  }

  // Class being built; Fold adds the other case of a member (never of a trail byte).
  struct TClass {
    std::array<uint8_t, 256> Bits{};
    const uint8_t* Invert = nullptr;
    void Add(uint8_t c, bool fold) {
      Bits[c] = 1;
      if (fold && Invert) Bits[Invert[c]] = 1;
    }
  };

  void EmitClass(const TClass& cls, bool negated) {
    uint8_t members[3];
    int count = 0;
    for (int c = 0; c < 256; ++c) {
      if (!cls.Bits[c]) continue;
      if (count < 3) members[count] = static_cast<uint8_t>(c);
      ++count;
    }
    if (count >= 1 && count <= 3) {
      EmitNode(negated ? opAnyButTiny : opAnyOfTiny);
      for (int k = 0; k < 3; ++k) EmitByte(members[k < count ? k : count - 1]);
      return;
    }
    EmitNode(opAnyOfSet);
    for (int byte = 0; byte < 32; ++byte) {
      uint8_t b = 0;
      for (int bit = 0; bit < 8; ++bit) {
        if (cls.Bits[byte * 8 + bit]) b |= static_cast<uint8_t>(1 << bit);
      }
      EmitByte(negated ? static_cast<uint8_t>(~b) : b);
    }
  }

  void EmitCharSetClass(const std::string& chars, bool negated) {
    TClass cls;
    cls.Invert = Mod(kModI) ? R.FInvertTable.data() : nullptr;
    for (unsigned char c : chars) cls.Add(c, true);
    EmitClass(cls, negated);
  }

  void AddRange(TClass& cls, int from, int to) {
    const bool cyr = Mod(kModR);
    if (cyr && from == 0xE0 && to == 0xDF) {
      AddRange(cls, 0xE0, 0xFF);
      AddRange(cls, 0xC0, 0xDF);
      return;
    }
    if (to < from) Fail(reeInvalidRange);
    for (int c = from; c <= to; ++c) cls.Add(static_cast<uint8_t>(c), true);
    if (cyr && from == 0xE0 && to == 0xFF) cls.Add(0xB8, true);
    if (cyr && from == 0xC0 && to == 0xDF) cls.Add(0xA8, true);
  }

  // P is just after "[".
  void ParseClass() {
    TClass cls;
    cls.Invert = Mod(kModI) ? R.FInvertTable.data() : nullptr;
    bool negated = false;
    if (Cur() == '^' && !AtEnd()) {
      negated = true;
      ++P;
    }
    bool any = false;
    int prev = -1;  // a single member just added: a possible range start
    if (Cur() == ']' && !AtEnd()) {
      cls.Add(']', true);
      prev = ']';
      any = true;
      ++P;
    }
    while (!AtEnd() && Cur() != ']') {
      const uint8_t c = Cur();
      any = true;
      if (c == '-' && prev >= 0 && P + 1 < E.size() && At(P + 1) != ']') {
        ++P;
        int to;
        if (Cur() == '\\') {
          if (P + 1 >= E.size()) Fail(reeParseAtomTrailingBackSlash);
          if (strchr("dDsSwW", At(P + 1)) != nullptr) {  // "-" before a class escape is a member
            cls.Add('-', true);
            prev = -1;
            continue;
          }
          ++P;
          to = DecodeEscape();
        } else if (DoubleByteAt(P)) {
          // The range ends at the lead byte; its trail byte is a member, never syntax.
          to = Cur();
          cls.Add(At(P + 1), false);
          P += 2;
        } else {
          to = Cur();
          ++P;
        }
        AddRange(cls, prev, to);
        prev = -1;
      } else if (c == '\\') {
        ++P;
        if (AtEnd()) Fail(reeParseAtomTrailingBackSlash);
        const uint8_t e = Cur();
        if (e == 'd') {
          for (uint8_t d = '0'; d <= '9'; ++d) cls.Add(d, true);
          ++P;
          prev = -1;
        } else if (e == 'w') {
          for (unsigned char w : R.FWordChars) cls.Add(w, true);
          ++P;
          prev = -1;
        } else if (e == 's') {
          for (unsigned char s : R.FSpaceChars) cls.Add(s, true);
          ++P;
          prev = -1;
        } else if (DoubleByteAt(P)) {
          cls.Add(e, true);
          cls.Add(At(P + 1), false);
          P += 2;
          prev = -1;
        } else {
          const uint8_t ch = DecodeEscape();
          cls.Add(ch, true);
          prev = ch;
        }
      } else if (DoubleByteAt(P)) {
        // A double-byte character: both bytes are members; its trail is never syntax.
        cls.Add(c, true);
        cls.Add(At(P + 1), false);
        P += 2;
        prev = -1;
      } else {
        cls.Add(c, true);
        prev = c;
        ++P;
      }
    }
    if (AtEnd() || !any) Fail(reeUnmatchedSqBrackets);
    ++P;
    EmitClass(cls, negated);
  }

  int32_t ParseAtom(int& flags) {
    flags = 0;
    const uint8_t c = Cur();
    if (Mod(kModX) && !AtEnd()) {
      if (c == '#') {
        while (!AtEnd() && Cur() != '\r' && Cur() != '\n') ++P;
        while (!AtEnd() && (Cur() == '\r' || Cur() == '\n')) ++P;
        return EmitNode(opComment);
      }
      if (IsXBlank(c)) {
        while (!AtEnd() && IsXBlank(Cur())) ++P;
        return EmitNode(opComment);
      }
    }
    if (AtEnd()) Fail(reeInternalUrp);
    const bool lineMode =
        Mod(kModM) && (!R.FLineSeparators.empty() || R.FLinePairedSeparatorAssigned);
    switch (c) {
      case '^':
        ++P;
        return EmitNode(lineMode ? opLineStart : opInputStart);
      case '$':
        ++P;
        return EmitNode(lineMode ? opLineEnd : opInputEnd);
      case '.':
        ++P;
        if (Mod(kModS)) {
          flags = HASWIDTH | SIMPLE | NONEMPTY;
          return EmitNode(opAnyChar);
        }
        flags = HASWIDTH | NONEMPTY;
        return EmitNode(opAnyInLine);
      case '[': {
        ++P;
        const int32_t ret = static_cast<int32_t>(Code.size());
        ParseClass();
        flags = HASWIDTH | SIMPLE | NONEMPTY;
        return ret;
      }
      case '(': {
        if (At(P + 1) == '?' && P + 1 < E.size()) {
          const size_t close = E.find(')', P + 2);
          if (At(P + 2) == '#' && P + 2 < E.size()) {
            if (close == std::string::npos) {
              P = E.size();
              Fail(reeUnclosedComment);
            }
            P = close + 1;
            return EmitNode(opComment);
          }
          P += 2;
          if (close == std::string::npos) Fail(reeUrecognizedModifier);
          if (!ParseModifiers(E.substr(P, close - P), Mods)) Fail(reeUrecognizedModifier);
          P = close + 1;
          return EmitNode(opComment);
        }
        ++P;
        int fl;
        const int32_t ret = ParseReg(true, fl);
        flags = fl & (HASWIDTH | SPSTART | NONEMPTY);
        return ret;
      }
      case '|':
      case ')':
        Fail(reeInternalUrp);
      case '?':
      case '+':
      case '*':
        Fail(reeQPSBFollowsNothing);
      case '\\':
        return ParseEscapeAtom(flags);
      default:
        return ParseLiteralRun(flags);
    }
  }

  int32_t ParseEscapeAtom(int& flags) {
    ++P;
    if (AtEnd()) Fail(reeTrailingBackSlash);
    const uint8_t c = Cur();
    const bool ci = Mod(kModI);
    flags = HASWIDTH | SIMPLE | NONEMPTY;
    switch (c) {
      case 'd':
        ++P;
        return EmitNode(opDigit);
      case 'D':
        ++P;
        return EmitNode(opNotDigit);
      case 'w':
      case 'W': {
        ++P;
        const int32_t ret = static_cast<int32_t>(Code.size());
        EmitCharSetClass(R.FWordChars, c == 'W');
        return ret;
      }
      case 's':
      case 'S': {
        ++P;
        const int32_t ret = static_cast<int32_t>(Code.size());
        EmitCharSetClass(R.FSpaceChars, c == 'S');
        return ret;
      }
      case 'b':
        ++P;
        flags = 0;
        return EmitNode(opWordBound);
      case 'B':
        ++P;
        flags = 0;
        return EmitNode(opNotWordBound);
      case 'A':
        ++P;
        flags = 0;
        return EmitNode(opInputStart);
      case 'Z':
        ++P;
        flags = 0;
        return EmitNode(opInputEnd);
      default:
        break;
    }
    if (c >= '1' && c <= '9') {
      ++P;
      flags = HASWIDTH;  // may match the empty text: neither simple nor of guaranteed width
      const int32_t ret = EmitNode(ci ? opBackRefCI : opBackRef);
      EmitByte(static_cast<uint8_t>(c - '0'));
      return ret;
    }
    const int32_t ret = EmitNode(ci ? opExactCI : opExact);
    if (DoubleByteAt(P)) {  // an escaped double-byte character stays whole
      EmitByte(c);
      EmitByte(At(P + 1));
      P += 2;
      flags = HASWIDTH | NONEMPTY;
    } else {
      EmitByte(DecodeEscape());
    }
    EmitByte(0);
    return ret;
  }

  int32_t ParseLiteralRun(int& flags) {
    const bool x = Mod(kModX);
    const size_t start = P;
    size_t lastChar = P;
    if (Cur() == '{') ++P;
    while (!AtEnd()) {
      const uint8_t c = Cur();
      if (IsMeta(c) || (x && c == '#')) break;
      lastChar = P;
      P += DoubleByteAt(P) ? 2 : 1;
    }
    if (P == start) Fail(reeRarseAtomInternalDisaster);
    // The quantifier after a run applies to its last character alone; a double-byte character
    // is kept whole.
    if (P - start > 1 && !AtEnd() && IsQuantifier(Cur()) && lastChar > start) P = lastChar;
    const int32_t ret = EmitNode(Mod(kModI) ? opExactCI : opExact);
    size_t copied = 0;
    for (size_t k = start; k < P; ++k) {
      if (x && IsXBlank(At(k))) continue;
      EmitByte(At(k));
      ++copied;
    }
    EmitByte(0);
    flags = HASWIDTH | NONEMPTY | (copied == 1 ? SIMPLE : 0);
    return ret;
  }
};

void TRidRegExpr::BuildInvertTable() {
  for (int c = 0; c < 256; ++c) FInvertTable[c] = FInvertCase(static_cast<uint8_t>(c));
}

void TRidRegExpr::CompileRegExpr() {
  FLastError = reeOk;
  DiscardProgram();
  if (FExpression.empty()) Error(reeCompNullArgument);
  BuildInvertTable();
  FLineSeparatorsSet.fill(0);
  for (unsigned char c : FLineSeparators) FLineSeparatorsSet[c] = 1;
  std::vector<uint8_t> code;
  code.reserve(FExpression.size() * 2 + 16);
  FProgModifiers = FModifiers;
  FProgHasLoops = false;
  FCompiling = true;
  FCompilerErrorPos = 0;
  int flags = 0;
  try {
    TCompiler c(*this, code);
    c.EmitByte(MAGIC);
    c.ParseReg(false, flags);
    FProgHasGroups = c.NPar > 1;
  } catch (...) {
    FCompiling = false;
    throw;
  }
  FCompiling = false;
  FProgramm = std::move(code);

  FillFirstCharSet(1);
  BuildNodeHints();

  FRegStart = 0;
  FRegStartLit = -1;
  FRegStartLitLen = 0;
  FRegStartLitCI = false;
  FRegAnch = false;
  FRegMust = -1;
  FRegMustLen = 0;
  FRegMustRare = 0;
  FRegStartLitRare = 0;
  FRegMustIsStart = false;
  FRegMustCI = false;
  FRegLineAnch = false;
  auto next = [this](int32_t p) {
    const int32_t off = ReadInt(FProgramm, p + 1);
    return off == 0 ? -1 : p + off;
  };
  const int32_t first = 1;
  const int32_t afterFirst = next(first);
  if (afterFirst < 0 || FProgramm[afterFirst] == opEnd) {  // a single top-level alternative
    const int32_t scan = first + NodeHeader;
    if (FProgramm[scan] == opExact || FProgramm[scan] == opExactCI) {
      FRegStartLitCI = FProgramm[scan] == opExactCI;
      if (!FRegStartLitCI) FRegStart = FProgramm[scan + NodeHeader];
      FRegStartLit = scan + NodeHeader;
      FRegStartLitLen = static_cast<int32_t>(
          strlen(reinterpret_cast<const char*>(FProgramm.data() + FRegStartLit)));
    } else if (FProgramm[scan] == opInputStart) {
      FRegAnch = true;
    } else if (FProgramm[scan] == opLineStart) {
      FRegLineAnch = true;
    }
    // The longest literal every match holds, a caseless one only when there is no other: a
    // text without it is ruled out by one scan. An input-anchored program tries one start
    // only, which is cheaper than that scan.
    for (int32_t s = scan; s >= 0 && !FRegAnch; s = next(s)) {
      const bool ci = FProgramm[s] == opExactCI;
      if (FProgramm[s] != opExact && !ci) continue;
      if (ci && FRegMust >= 0 && !FRegMustCI) continue;
      const char* lit = reinterpret_cast<const char*>(FProgramm.data() + s + NodeHeader);
      const int32_t len = static_cast<int32_t>(strlen(lit));
      if (len > 0 && (len >= FRegMustLen || (FRegMustCI && !ci))) {
        FRegMust = s + NodeHeader;
        FRegMustLen = len;
        FRegMustCI = ci;
      }
    }
  }
  if (FRegStartLitLen > 1 && !FRegStartLitCI)
    FRegStartLitRare = RarestByte(FRegStartLit, FRegStartLitLen);
  if (FRegMust >= 0) {
    if (!FRegMustCI) FRegMustRare = RarestByte(FRegMust, FRegMustLen);
    // The search for the leading literal already fails when it is missing.
    FRegMustIsStart = FRegMust == FRegStartLit;
  }
  // Bytes after which a line begins: the separators and the tail of the pair.
  FLineStartAfter = FLineSeparatorsSet;
  if (FLinePairedSeparatorAssigned) FLineStartAfter[FLinePairedSeparatorTail] = 1;
  FLineStartByteCount = 0;
  for (int c = 0; c < 256; ++c) {
    if (!FLineStartAfter[c]) continue;
    if (FLineStartByteCount < static_cast<int32_t>(FLineStartBytes.size())) {
      FLineStartBytes[FLineStartByteCount] = static_cast<uint8_t>(c);
    }
    ++FLineStartByteCount;
  }
  FExprIsCompiled = true;
}

// Offset of the byte of a program literal least likely to occur in source text and Japanese
// prose, for a memchr prefilter that stops rarely.
int32_t TRidRegExpr::RarestByte(int32_t ALit, int32_t ALen) const {
  auto commonness = [](uint8_t c) -> int {
    static const char kLower[] = "etaoinsrlcdhupmfgbywvkxqjz";  // most common first
    static const char kUpper[] = "STRCIEPADMNLFBGOWHKUVYXJQZ";
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') return 100;
    if (c >= 'a' && c <= 'z') return 90 - static_cast<int>(strchr(kLower, c) - kLower);
    if (c >= 'A' && c <= 'Z') return 40 - static_cast<int>(strchr(kUpper, c) - kUpper);
    if (c >= '0' && c <= '9') return 45;
    if (strchr("()_;,.=*/\"-<>{}:&", c) != nullptr) return 55;
    if (c >= 0x81 && c <= 0x9F) return 60;  // lead bytes of the common double-byte rows
    if (c >= 0x40) return 30;               // trail bytes and half-width katakana
    return 5;
  };
  const uint8_t* lit = FProgramm.data() + ALit;
  int32_t best = 0;
  for (int32_t k = 1; k < ALen; ++k) {
    if (commonness(lit[k]) < commonness(lit[best])) best = k;
  }
  return best;
}

// Walks the program from a node and collects the bytes at which it can go on: a match of the
// program from there must begin with one of them (the end of the input reads as NUL). Each node
// is visited once per walk, which keeps loops and long chains of optional pieces cheap; a
// bounded walk that would visit more nodes gives up and answers every byte.
struct TRidRegExpr::TFirstBytes {
  const TRidRegExpr& R;
  std::vector<uint32_t> Visited;  // walk number that last visited a node
  uint32_t Walk = 0;
  std::vector<int32_t> Work;

  explicit TFirstBytes(const TRidRegExpr& AR) : R(AR), Visited(AR.FProgramm.size(), 0) {}

  int32_t Next(int32_t p) const {
    const int32_t off = ReadInt(R.FProgramm, p + 1);
    return off == 0 ? -1 : p + off;
  }

  // ASet gets the bytes; false when a bound of ALimit nodes (0 = none) cut the walk short.
  bool Collect(int32_t AScan, std::array<uint8_t, 256>& ASet, int32_t ALimit) {
    const std::vector<uint8_t>& code = R.FProgramm;
    ASet.fill(0);
    ++Walk;
    Work.assign(1, AScan);
    int32_t visits = 0;
    auto addAll = [&ASet]() { ASet.fill(1); };
    while (!Work.empty()) {
      int32_t scan = Work.back();
      Work.pop_back();
      while (scan >= 0 && Visited[scan] != Walk) {
        if (ALimit > 0 && ++visits > ALimit) {
          addAll();
          return false;
        }
        Visited[scan] = Walk;
        const uint8_t op = code[scan];
        const uint8_t* operand = code.data() + scan + NodeHeader;
        int32_t cont = -1;  // the node to go on with, -1 = stop
        if (op >= opOpen && op < opOpen + kSubExprs) {
          cont = Next(scan);
        } else if (op >= opClose && op < opClose + kSubExprs) {
          cont = Next(scan);
        } else {
          switch (op) {
            case opEnd:
            case opAnyChar:
            case opAnyInLine:
            case opBackRef:
            case opBackRefCI:
              addAll();
              break;
            case opInputStart:
            case opLineStart:
            case opBack:
            case opNothing:
            case opComment:
            case opWordBound:
            case opNotWordBound:
            case opLoopEntry:
              cont = Next(scan);
              break;
            case opInputEnd:
              ASet[0] = 1;
              break;
            case opLineEnd:  // the mode that emitted it, not the object's modifiers
              ASet[0] = 1;
              for (unsigned char c : R.FLineSeparators) ASet[c] = 1;
              if (R.FLinePairedSeparatorAssigned) ASet[R.FLinePairedSeparatorHead] = 1;
              break;
            case opBranch: {
              const int32_t n = Next(scan);
              if (n >= 0 && code[n] == opBranch) {
                for (int32_t b = scan; b >= 0 && code[b] == opBranch; b = Next(b)) {
                  Work.push_back(b + NodeHeader);
                }
              } else {
                cont = scan + NodeHeader;
              }
              break;
            }
            case opExact:
              ASet[operand[0]] = 1;
              break;
            case opExactCI:
              ASet[operand[0]] = 1;
              ASet[R.FInvertTable[operand[0]]] = 1;
              break;
            case opStar:
            case opStarLazy:
              Work.push_back(scan + NodeHeader);
              cont = Next(scan);
              break;
            case opPlus:
            case opPlusLazy:
              Work.push_back(scan + NodeHeader);
              break;
            case opBraces:
            case opBracesLazy:
              Work.push_back(scan + NodeHeader + 8);
              if (ReadInt(code, scan + NodeHeader) == 0) cont = Next(scan);
              break;
            case opLoop:
            case opLoopLazy:
              // A loop body may match the empty text even with a minimum above 0, so what
              // follows the loop can start a match too.
              Work.push_back(scan - ReadInt(code, scan + NodeHeader + 8));
              cont = Next(scan);
              break;
            case opDigit:
              for (int c = '0'; c <= '9'; ++c) ASet[c] = 1;
              break;
            case opNotDigit:
              for (int c = 0; c < 256; ++c) {
                if (c < '0' || c > '9') ASet[c] = 1;
              }
              break;
            case opAnyOfTiny:
              ASet[operand[0]] = ASet[operand[1]] = ASet[operand[2]] = 1;
              break;
            case opAnyButTiny:
              for (int c = 0; c < 256; ++c) {
                if (c != operand[0] && c != operand[1] && c != operand[2]) ASet[c] = 1;
              }
              break;
            case opAnyOfSet:
              for (int c = 0; c < 256; ++c) {
                if (operand[c >> 3] & (1 << (c & 7))) ASet[c] = 1;
              }
              break;
            default:
              const_cast<TRidRegExpr&>(R).Error(reeMatchPrimMemoryCorruption);
          }
        }
        scan = cont;
      }
    }
    return true;
  }
};

void TRidRegExpr::FillFirstCharSet(int32_t AScan) {
  TFirstBytes(*this).Collect(AScan, FFirstCharSet, 0);
  FFirstCharCount = 0;
  FFirstCharOnly = -1;
  for (int c = 0; c < 256; ++c) {
    if (!FFirstCharSet[c]) continue;
    ++FFirstCharCount;
    FFirstCharOnly = c;
  }
  if (FFirstCharCount != 1) FFirstCharOnly = -1;
}

// Bytes a node and its operand take in the program, for a walk over all nodes in order.
int32_t TRidRegExpr::NodeSize(int32_t AScan) const {
  const uint8_t* operand = FProgramm.data() + AScan + NodeHeader;
  switch (FProgramm[AScan]) {
    case opExact:
    case opExactCI: {
      // A literal of one NUL byte (from "\x00") is that byte and its terminator.
      const size_t n = strlen(reinterpret_cast<const char*>(operand));
      return NodeHeader + static_cast<int32_t>(std::max<size_t>(n, 1) + 1);
    }
    case opAnyOfTiny:
    case opAnyButTiny:
      return NodeHeader + 3;
    case opAnyOfSet:
      return NodeHeader + 32;
    case opBraces:
    case opBracesLazy:
      return NodeHeader + 8;  // the repeated node follows as a node of its own
    case opLoop:
    case opLoopLazy:
      return NodeHeader + 12;
    case opBackRef:
    case opBackRefCI:
      return NodeHeader + 1;
    default:
      return NodeHeader;
  }
}

// Hints for the repeats of one-byte nodes and for the alternatives of lists of several (see
// TNodeHint). Walks are bounded, and so is the number of hints, so that compiling stays linear
// in the expression; a node without a hint is matched without the shortcut.
void TRidRegExpr::BuildNodeHints() {
  constexpr int32_t kWalkLimit = 64;
  constexpr size_t kMaxHints = 4096;
  FHints.clear();
  FHintOf.assign(FProgramm.size(), -1);
  TFirstBytes walk(*this);
  std::array<uint8_t, 256> bytes;
  std::vector<uint8_t> follower(FProgramm.size(), 0);
  auto add = [&](int32_t node) -> TNodeHint& {
    FHintOf[node] = static_cast<int32_t>(FHints.size());
    TNodeHint& hint = FHints.emplace_back();
    for (int c = 0; c < 256; ++c) {
      if (bytes[c]) hint.Bytes[c >> 6] |= uint64_t(1) << (c & 63);
    }
    return hint;
  };
  const int32_t size = static_cast<int32_t>(FProgramm.size());
  for (int32_t scan = 1; scan < size && FHints.size() < kMaxHints; scan += NodeSize(scan)) {
    const uint8_t op = FProgramm[scan];
    const int32_t next = walk.Next(scan);
    if (op == opBranch) {
      // Each alternative of a list is followed by another, which comes later in the program, or
      // follows one.
      const bool followed = next >= 0 && FProgramm[next] == opBranch;
      if (followed) follower[next] = 1;
      if (!followed && !follower[scan]) continue;
      walk.Collect(scan + NodeHeader, bytes, kWalkLimit);
      add(scan);
      continue;
    }
    if (op != opStar && op != opStarLazy && op != opPlus && op != opPlusLazy && op != opBraces &&
        op != opBracesLazy) {
      continue;
    }
    if (next < 0) continue;
    const int32_t body = scan + NodeHeader + (op == opBraces || op == opBracesLazy ? 8 : 0);
    std::array<uint8_t, 256> taken;
    walk.Collect(body, taken, kWalkLimit);
    walk.Collect(next, bytes, kWalkLimit);
    TNodeHint& hint = add(scan);
    hint.Possessive = true;
    for (int c = 0; c < 256 && hint.Possessive; ++c) hint.Possessive = !(taken[c] && bytes[c]);
  }
}

}  // namespace rid
