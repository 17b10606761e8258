#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Classes.h"

namespace rid {

// Raised for every failure of the regular-expression engine; ErrorCode is one of the reeXxx
// codes below, CompilerErrorPos the byte distance of the parse cursor from the expression start
// (0 outside a compile).
class ERidRegExpr : public Exception {
 public:
  ERidRegExpr(std::string AMessage, int32_t AErrorCode, int32_t ACompilerErrorPos)
      : Exception(std::move(AMessage)),
        ErrorCode(AErrorCode),
        CompilerErrorPos(ACompilerErrorPos) {}
  int32_t ErrorCode;
  int32_t CompilerErrorPos;
};

// Error codes.
constexpr int32_t reeOk = 0;
constexpr int32_t reeCompNullArgument = 100;
constexpr int32_t reeCompRegexpTooBig = 101;
constexpr int32_t reeCompParseRegTooManyBrackets = 102;
constexpr int32_t reeCompParseRegUnmatchedBrackets = 103;
constexpr int32_t reeCompParseRegUnmatchedBrackets2 = 104;
constexpr int32_t reeCompParseRegJunkOnEnd = 105;
constexpr int32_t rePlusStarOperandCouldBeEmpty = 106;
constexpr int32_t reeNestedSQP = 107;
constexpr int32_t reeBadHexDigit = 108;
constexpr int32_t reeInvalidRange = 109;
constexpr int32_t reeParseAtomTrailingBackSlash = 110;
constexpr int32_t reeNoHexCodeAfterBSlashX = 111;
constexpr int32_t reeHexCodeAfterBSlashXTooBig = 112;
constexpr int32_t reeUnmatchedSqBrackets = 113;
constexpr int32_t reeInternalUrp = 114;
constexpr int32_t reeQPSBFollowsNothing = 115;
constexpr int32_t reeTrailingBackSlash = 116;
constexpr int32_t reeRarseAtomInternalDisaster = 119;
constexpr int32_t reeBRACESArgTooBig = 122;
constexpr int32_t reeBracesMinParamGreaterMax = 124;
constexpr int32_t reeUnclosedComment = 125;
constexpr int32_t reeComplexBracesNotImplemented = 126;
constexpr int32_t reeUrecognizedModifier = 127;
constexpr int32_t reeBadLinePairedSeparator = 128;
constexpr int32_t reeRegRepeatCalledInappropriately = 1000;
constexpr int32_t reeMatchPrimMemoryCorruption = 1001;
constexpr int32_t reeMatchPrimCorruptedPointers = 1002;
constexpr int32_t reeNoExpression = 1003;
constexpr int32_t reeCorruptedProgram = 1004;
constexpr int32_t reeNoInputStringSpecified = 1005;
constexpr int32_t reeOffsetMustBeGreaterThen0 = 1006;
constexpr int32_t reeExecNextWithoutExec = 1007;
constexpr int32_t reeGetInputStringWithoutInputString = 1008;
constexpr int32_t reeDumpCorruptedOpcode = 1011;
constexpr int32_t reeModifierUnsupported = 1013;
constexpr int32_t reeLoopStackExceeded = 1014;
constexpr int32_t reeLoopWithoutEntry = 1015;
// A search gave up because it ran out of its work budget (a pattern such as (a+)+b that would
// otherwise take exponential time).
constexpr int32_t reeMatchBudgetExceeded = 1016;
constexpr int32_t reeBadPCodeImported = 2000;

// Modifier indexes for GetModifier / SetModifier.
constexpr int32_t remI = 1;  // case-insensitive
constexpr int32_t remR = 2;  // Cyrillic range extension in classes
constexpr int32_t remS = 3;  // "." matches every byte
constexpr int32_t remG = 4;  // greedy quantifiers
constexpr int32_t remM = 5;  // "^" and "$" at line separators
constexpr int32_t remX = 6;  // extended syntax

// Program opcodes: a program is the magic byte then nodes of opcode, little-endian 32-bit
// "next" offset (relative to the node, 0 = none) and operand.
namespace RidRegExprOp {
constexpr uint8_t MAGIC = 216;
constexpr uint8_t opEnd = 0;
constexpr uint8_t opInputStart = 1;
constexpr uint8_t opInputEnd = 2;
constexpr uint8_t opAnyChar = 3;
constexpr uint8_t opBranch = 6;
constexpr uint8_t opBack = 7;
constexpr uint8_t opExact = 8;
constexpr uint8_t opNothing = 9;
constexpr uint8_t opStar = 10;
constexpr uint8_t opPlus = 11;
constexpr uint8_t opDigit = 12;
constexpr uint8_t opNotDigit = 13;
constexpr uint8_t opBraces = 18;
constexpr uint8_t opComment = 19;
constexpr uint8_t opExactCI = 20;
constexpr uint8_t opLoopEntry = 23;
constexpr uint8_t opLoop = 24;
constexpr uint8_t opAnyOfTiny = 25;
constexpr uint8_t opAnyButTiny = 26;
constexpr uint8_t opAnyOfSet = 27;
constexpr uint8_t opBackRef = 28;
constexpr uint8_t opBackRefCI = 29;
constexpr uint8_t opStarLazy = 30;
constexpr uint8_t opPlusLazy = 31;
constexpr uint8_t opBracesLazy = 32;
constexpr uint8_t opLoopLazy = 33;
constexpr uint8_t opLineStart = 34;
constexpr uint8_t opLineEnd = 35;
constexpr uint8_t opAnyInLine = 36;
constexpr uint8_t opWordBound = 37;
constexpr uint8_t opNotWordBound = 38;
constexpr uint8_t opOpen = 39;   // + group number 1-14
constexpr uint8_t opClose = 54;  // + group number 1-14
constexpr uint8_t opLastCode = 68;
constexpr int32_t NodeHeader = 5;
constexpr int32_t LoopInfinite = 2147483646;

// Modifier bits, one per modifier letter i, r, s, g, m, x.
constexpr int32_t kModI = 1;
constexpr int32_t kModR = 2;
constexpr int32_t kModS = 4;
constexpr int32_t kModG = 8;
constexpr int32_t kModM = 16;
constexpr int32_t kModX = 32;
}  // namespace RidRegExprOp

using TRidRegExprInvertCaseFunction = uint8_t (*)(uint8_t);

// Default case inversion: ASCII letters swap case; no byte above 0x7F has a case in code page
// 932, so lead and trail bytes of double-byte characters stay as they are.
uint8_t RidRegExprInvertCase(uint8_t Ch);

// A byte-oriented backtracking regular-expression engine: a compiler to a byte program and a
// matcher that keeps its backtracking state on a heap stack.
class TRidRegExpr : public TObject {
 public:
  RID_CLASS_NAME(TRidRegExpr)
  TRidRegExpr();
  ~TRidRegExpr() override;
  TRidRegExpr(const TRidRegExpr&) = delete;
  TRidRegExpr& operator=(const TRidRegExpr&) = delete;

  std::string GetExpression() const { return FExpression; }
  void SetExpression(const std::string& Value);

  bool GetModifier(int32_t AIndex) const;
  void SetModifier(int32_t AIndex, bool ASet);
  int32_t GetModifiers() const { return FModifiers; }
  // Applies a modifier text such as "i-sx" to AModifiers; false on a foreign character.
  static bool ParseModifiers(const std::string& AModStr, int32_t& AModifiers);

  std::string GetSpaceChars() const { return FSpaceChars; }
  void SetSpaceChars(const std::string& Value);
  std::string GetWordChars() const { return FWordChars; }
  void SetWordChars(const std::string& Value);
  std::string GetLineSeparators() const { return FLineSeparators; }
  void SetLineSeparators(const std::string& Value);
  std::string GetLinePairedSeparator() const;
  void SetLinePairedSeparator(const std::string& Value);
  TRidRegExprInvertCaseFunction GetInvertCase() const { return FInvertCase; }
  void SetInvertCase(TRidRegExprInvertCaseFunction Value);

  void Compile();
  // Searching. An input ends at its first NUL. Exec stores a copy of the input and searches
  // from its start. ExecView stores the caller's text in place, without a copy, and searches
  // from AOffset: the caller keeps that text alive and unchanged until the next Exec or
  // ExecView, since ExecPos, ExecNext, Match and Substitute read it. ExecPos searches the stored
  // input again from an offset (a search adapter runs it at a hit on a line); ExecNext continues
  // after the last match, one byte further after an empty one.
  //
  // A walk forward over one stored input (a first search, then ExecNext or ExecPos at later
  // offsets, as Replace does) shares one work budget proportional to the input from where the
  // walk began, so walking all matches costs at most linear time; a search that runs out stops
  // with reeMatchBudgetExceeded. Storing an input, a new program, or a search from an offset at
  // or before the previous search's start begins a new walk.
  bool Exec(const std::string& AInputString);
  bool ExecView(std::string_view AInput, int32_t AOffset = 1);
  bool ExecPos(int32_t AOffset = 1);
  bool ExecNext();
  int32_t MatchPos(int32_t Idx = 0) const;
  int32_t MatchLen(int32_t Idx = 0) const;
  std::string Match(int32_t Idx = 0) const;
  // The template expanded with the last match ($n, ${n}, $&, ${&}; "\c" is c).
  std::string Substitute(const std::string& ATemplate);
  // Every match in the input replaced: one walk, one budget.
  std::string Replace(const std::string& AInputStr, const std::string& AReplaceStr,
                      bool AUseSubstitution = false);

  int32_t LastError() const { return FLastError; }
  virtual void Error(int32_t AErrorID);
  virtual std::string ErrorMsg(int32_t AErrorID);

  // Work units a walk may spend: a base plus a share per input byte from where the walk began.
  // A unit is about one program step (a few nanoseconds): eight bytes counted by a repeat, 16
  // compared exactly or four compared without case.
  static constexpr int64_t kWorkBase = int64_t(1) << 22;
  static constexpr int64_t kWorkPerByte = 32;
  // The base of this object's walks. A caller that runs hopeless searches by the thousand under
  // heavy instrumentation (a fuzzer) lowers it, so that each stops the same way, sooner.
  void SetWorkBase(int64_t Value) { FWorkBase = Value; }

 private:
  static constexpr int kSubExprs = 15;
  static constexpr int kLoopMax = 10;

  // Compiler (RidRegExprCompile.cpp).
  struct TCompiler;
  void CompileRegExpr();
  struct TFirstBytes;
  void FillFirstCharSet(int32_t AScan);
  int32_t NodeSize(int32_t AScan) const;
  void BuildNodeHints();
  int32_t RarestByte(int32_t ALit, int32_t ALen) const;
  void BuildInvertTable();

  // What the matcher knows of a node from the bytes at which the program can go on there. For
  // a repeat of a one-byte node: the bytes at which what follows it can go on, and whether its
  // operand takes none of them, so that giving back a byte can never help and the repeat is
  // tried at its full count only. For an alternative of several: the bytes it can begin with,
  // so that one that cannot is skipped.
  struct TNodeHint {
    std::array<uint64_t, 4> Bytes{};
    bool Possessive = false;
    bool Has(uint8_t Ch) const { return (Bytes[Ch >> 6] >> (Ch & 63)) & 1; }
  };

  // Matcher (RidRegExprMatch.cpp).
  // One backtracking record: a choice point or the undo of a state change.
  struct TFrame {
    int32_t Kind;
    int32_t A;
    int32_t B;
    int32_t C;
    int32_t D;
  };
  void PrepareProgram();
  void StoreInput(const char* AText, size_t ASize);
  bool Search(int32_t AOffset);
  bool SearchLineStarts(int32_t AFrom);
  bool MatchAt(int32_t APos);
  int32_t RegRepeat(int32_t AScan, int32_t AMax, int32_t APos) const;
  int32_t CountRun(int32_t AScan, int32_t AMax, int32_t APos);
  void Spend(int64_t AUnits);
  bool IsLineSep(uint8_t Ch) const { return FLineSeparatorsSet[Ch] != 0; }
  void ClearMatches() {
    FStartP.fill(-1);
    FEndP.fill(-1);
  }
  void DiscardProgram();

  // Match slots: byte offsets into the stored input, -1 = not set.
  std::array<int32_t, kSubExprs> FStartP{};
  std::array<int32_t, kSubExprs> FEndP{};

  // Optimisation data built by the compiler.
  uint8_t FRegStart = 0;
  int32_t FRegStartLit = -1;  // the literal every match begins with (offset in the program)
  int32_t FRegStartLitLen = 0;
  bool FRegStartLitCI = false;  // that literal is caseless (FRegStart is then 0)
  bool FRegAnch = false;
  int32_t FRegMust = -1;  // offset of the literal inside the program
  int32_t FRegMustLen = 0;
  bool FRegMustCI = false;       // that literal is caseless
  int32_t FRegMustRare = 0;      // offset in that literal of the byte the prefilter looks for
  int32_t FRegStartLitRare = 0;  // the same for the leading literal
  bool FRegMustIsStart = false;  // the required literal is the leading one
  bool FRegLineAnch = false;     // every match begins at a line start ("^" in multi-line mode)
  bool FProgHasLoops = false;    // the program has counted group loops
  bool FProgHasGroups = false;   // the program has parenthesised groups
  std::array<uint8_t, 256> FLineStartAfter{};  // bytes after which a line starts
  std::array<uint8_t, 4> FLineStartBytes{};    // the first of them, for memchr
  int32_t FLineStartByteCount = 0;
  std::array<uint8_t, 256> FFirstCharSet{};
  int32_t FFirstCharCount = 0;
  int32_t FFirstCharOnly = -1;  // the one byte of that set, -1 when it has more or none
  std::vector<TNodeHint> FHints;
  std::vector<int32_t> FHintOf;  // per program byte: the hint of the node there, -1 = none
  std::array<uint8_t, 256> FInvertTable{};

  bool FExprIsCompiled = false;
  std::vector<uint8_t> FProgramm;  // empty = not compiled
  std::string FExpression;
  std::string FInputCopy;           // the input Exec stored
  const uint8_t* FInput = nullptr;  // the stored input: FInputCopy or the caller's text
  int32_t FInputLen = 0;            // up to its first NUL
  bool FHasInput = false;
  int32_t FLastError = reeOk;
  int32_t FCompilerErrorPos = 0;
  bool FCompiling = false;

  int32_t FModifiers;
  int32_t FProgModifiers = 0;

  std::string FSpaceChars;
  std::string FWordChars;
  std::string FLineSeparators;
  TRidRegExprInvertCaseFunction FInvertCase;
  bool FLinePairedSeparatorAssigned = false;
  uint8_t FLinePairedSeparatorHead = 0;
  uint8_t FLinePairedSeparatorTail = 0;
  std::array<uint8_t, 256> FLineSeparatorsSet{};
  std::array<uint8_t, 256> FWordCharSet{};

  // Matcher state of the current search.
  std::vector<TFrame> FStack;
  int64_t FWorkBase = kWorkBase;
  int64_t FWorkLeft = 0;
  int32_t FWalkFrom = -1;  // start offset of the walk's last search, -1 = no walk
  // The last run a repeat counted: the bytes in [FRunFrom, FRunEnd) are taken by node FRunNode
  // and the byte at FRunEnd is not (or is the end), so a later start inside the run ends there
  // too without counting again. FRunNode -1 = none.
  int32_t FRunNode = -1;
  int32_t FRunFrom = 0;
  int32_t FRunEnd = 0;
};

}  // namespace rid
