#include "highlighters/RidHighlighterPerl.h"

#include <array>

namespace rid {

namespace {

using P = TRidPerlRid;

// clang-format off
constexpr TRidAttriSpec kAttributes[] = {
    {"Comment", {fsItalic}},
    {"Identifier", {}},
    {"Illegal Char", {}},
    {"Reserved Word", {fsBold}},
    {"Number", {}},
    {"Operator", {}},
    {"Pragma", {fsBold}},
    {"Space", {}, clWindow},
    {"String", {}},
    {"Symbol", {}},
    {"Variable", {fsBold}},
};
// clang-format on

// Attribute index per token kind (the null kind has none).
constexpr int8_t kKindAttri[] = {0, 1, 3, -1, 4, 5, 6, 7, 8, 9, 2, 10};

constexpr char kSampleSource[] =
    "#!/bin/perl\r\n"
    "require \"cgi-lib.pl\";\r\n"
    "use sigtrap;\r\n"
    "do 'envars.pl';\r\n"
    "$_ = $password1;\r\n"
    "sub WriteBack {\r\n"
    "        while ($_ ne \"fred\") {\r\n"
    "                sleep 5;\r\n"
    "        }\r\n"
    "}\r\n";

constexpr TRidCharSet kLetters = TRidCharSet::Range('A', 'Z') + TRidCharSet::Range('a', 'z');
constexpr TRidCharSet kIdentTable = kLetters + TRidCharSet::Range('0', '9') + TRidCharSet{'_'};
// The bytes a keyword hash walks: the identifier bytes and the sigils.
constexpr TRidCharSet kHashSet = kIdentTable + TRidCharSet::Of("$%@");
constexpr TRidCharSet kNumberSet = TRidCharSet::Of("-._xX") + TRidCharSet::Range('0', '9') +
                                   TRidCharSet::Range('A', 'F') + TRidCharSet::Range('a', 'f');
// What makes "$" and the next byte one punctuation variable ($_, $1, $@ ...).
constexpr TRidCharSet kDollarPunct =
    TRidCharSet::Range(0x21, 0x2B) + TRidCharSet::Range(0x2D, 0x40) + TRidCharSet::Of("[\\]_`|~");
constexpr TRidCharSet kCaretVars = TRidCharSet::Of("ADFILPTWX");

constexpr TRidLanguageSpec kLanguage = {
    .LanguageName = "Perl",
    .DefaultFilter = "Perl Files (*.pl;*.pm;*.cgi)|*.pl;*.pm;*.cgi",
    .SampleSource = {kSampleSource, sizeof kSampleSource - 1},
    .IdentChars = TRidCharSet::Of("$%@_") + TRidCharSet::Range('0', '9') + kLetters +
                  TRidCharSet::Range(0xC0, 0xD6) + TRidCharSet::Range(0xD8, 0xF6) +
                  TRidCharSet::Range(0xF8, 0xFF),
    .Attributes = kAttributes,
    .KindAttri = kKindAttri,
    .DefaultAttri = {0, 1, 3, 8, 7, 9},
    .NullKind = P::tkNull,
    .SpaceKind = P::tkSpace,
    .UnknownKind = P::tkUnknown,
};

// clang-format off
constexpr TRidKeyword kKeywords[] = {
    {"abs", P::tkKey}, {"accept", P::tkKey}, {"alarm", P::tkKey}, {"atan2", P::tkKey},
    {"bind", P::tkKey}, {"binmode", P::tkKey}, {"bless", P::tkKey}, {"caller", P::tkKey},
    {"chdir", P::tkKey}, {"chmod", P::tkKey}, {"chomp", P::tkKey}, {"chop", P::tkKey},
    {"chown", P::tkKey}, {"chr", P::tkKey}, {"chroot", P::tkKey}, {"close", P::tkKey},
    {"closedir", P::tkKey}, {"connect", P::tkKey}, {"cos", P::tkKey}, {"crypt", P::tkKey},
    {"dbmclose", P::tkKey}, {"dbmopen", P::tkKey}, {"defined", P::tkKey}, {"delete", P::tkKey},
    {"die", P::tkKey}, {"do", P::tkKey}, {"dump", P::tkKey}, {"each", P::tkKey}, {"else", P::tkKey},
    {"elsif", P::tkKey}, {"endgrent", P::tkKey}, {"endhostent", P::tkKey}, {"endnetent", P::tkKey},
    {"endprotoent", P::tkKey}, {"endpwent", P::tkKey}, {"endservent", P::tkKey}, {"eof", P::tkKey},
    {"eval", P::tkKey}, {"exec", P::tkKey}, {"exists", P::tkKey}, {"exit", P::tkKey},
    {"exp", P::tkKey}, {"fcntl", P::tkKey}, {"fileno", P::tkKey}, {"flock", P::tkKey},
    {"for", P::tkKey}, {"foreach", P::tkKey}, {"fork", P::tkKey}, {"format", P::tkKey},
    {"formline", P::tkKey}, {"getc", P::tkKey}, {"getgrent", P::tkKey}, {"getgrgid", P::tkKey},
    {"getgrnam", P::tkKey}, {"gethostbyaddr", P::tkKey}, {"gethostbyname", P::tkKey},
    {"gethostent", P::tkKey}, {"getlogin", P::tkKey}, {"getnetbyaddr", P::tkKey},
    {"getnetbyname", P::tkKey}, {"getnetent", P::tkKey}, {"getpeername", P::tkKey},
    {"getpgrp", P::tkKey}, {"getppid", P::tkKey}, {"getpriority", P::tkKey},
    {"getprotobyname", P::tkKey}, {"getprotobynumber", P::tkKey}, {"getprotoent", P::tkKey},
    {"getpwent", P::tkKey}, {"getpwnam", P::tkKey}, {"getpwuid", P::tkKey},
    {"getservbyname", P::tkKey}, {"getservbyport", P::tkKey}, {"getservent", P::tkKey},
    {"getsockname", P::tkKey}, {"getsockopt", P::tkKey}, {"glob", P::tkKey}, {"gmtime", P::tkKey},
    {"goto", P::tkKey}, {"grep", P::tkKey}, {"hex", P::tkKey}, {"if", P::tkKey},
    {"import", P::tkKey}, {"index", P::tkKey}, {"int", P::tkKey}, {"ioctl", P::tkKey},
    {"join", P::tkKey}, {"keys", P::tkKey}, {"kill", P::tkKey}, {"last", P::tkKey},
    {"lc", P::tkKey}, {"lcfirst", P::tkKey}, {"length", P::tkKey}, {"link", P::tkKey},
    {"listen", P::tkKey}, {"local", P::tkKey}, {"localtime", P::tkKey}, {"log", P::tkKey},
    {"lstat", P::tkKey}, {"m", P::tkKey}, {"map", P::tkKey}, {"mkdir", P::tkKey},
    {"msgctl", P::tkKey}, {"msgget", P::tkKey}, {"msgrcv", P::tkKey}, {"msgsnd", P::tkKey},
    {"my", P::tkKey}, {"next", P::tkKey}, {"no", P::tkKey}, {"oct", P::tkKey}, {"open", P::tkKey},
    {"opendir", P::tkKey}, {"ord", P::tkKey}, {"pack", P::tkKey}, {"package", P::tkKey},
    {"pipe", P::tkKey}, {"pop", P::tkKey}, {"pos", P::tkKey}, {"print", P::tkKey},
    {"push", P::tkKey}, {"q", P::tkKey}, {"qq", P::tkKey}, {"quotemeta", P::tkKey},
    {"qw", P::tkKey}, {"qx", P::tkKey}, {"rand", P::tkKey}, {"read", P::tkKey},
    {"readdir", P::tkKey}, {"readlink", P::tkKey}, {"recv", P::tkKey}, {"redo", P::tkKey},
    {"ref", P::tkKey}, {"rename", P::tkKey}, {"require", P::tkKey}, {"reset", P::tkKey},
    {"return", P::tkKey}, {"reverse", P::tkKey}, {"rewinddir", P::tkKey}, {"rindex", P::tkKey},
    {"rmdir", P::tkKey}, {"scalar", P::tkKey}, {"seek", P::tkKey}, {"seekdir", P::tkKey},
    {"select", P::tkKey}, {"semctl", P::tkKey}, {"semget", P::tkKey}, {"semop", P::tkKey},
    {"send", P::tkKey}, {"setgrent", P::tkKey}, {"sethostent", P::tkKey}, {"setnetent", P::tkKey},
    {"setpgrp", P::tkKey}, {"setpriority", P::tkKey}, {"setprotoent", P::tkKey},
    {"setpwent", P::tkKey}, {"setservent", P::tkKey}, {"setsockopt", P::tkKey}, {"shift", P::tkKey},
    {"shmctl", P::tkKey}, {"shmget", P::tkKey}, {"shmread", P::tkKey}, {"shmwrite", P::tkKey},
    {"shutdown", P::tkKey}, {"sin", P::tkKey}, {"sleep", P::tkKey}, {"socket", P::tkKey},
    {"socketpair", P::tkKey}, {"sort", P::tkKey}, {"splice", P::tkKey}, {"split", P::tkKey},
    {"sprintf", P::tkKey}, {"sqrt", P::tkKey}, {"srand", P::tkKey}, {"stat", P::tkKey},
    {"study", P::tkKey}, {"sub", P::tkKey}, {"substr", P::tkKey}, {"symlink", P::tkKey},
    {"syscall", P::tkKey}, {"sysread", P::tkKey}, {"system", P::tkKey}, {"syswrite", P::tkKey},
    {"tell", P::tkKey}, {"telldir", P::tkKey}, {"tie", P::tkKey}, {"time", P::tkKey},
    {"times", P::tkKey}, {"tr", P::tkKey}, {"truncate", P::tkKey}, {"uc", P::tkKey},
    {"ucfirst", P::tkKey}, {"umask", P::tkKey}, {"undef", P::tkKey}, {"unless", P::tkKey},
    {"unlink", P::tkKey}, {"unpack", P::tkKey}, {"unshift", P::tkKey}, {"untie", P::tkKey},
    {"use", P::tkKey}, {"utime", P::tkKey}, {"values", P::tkKey}, {"vec", P::tkKey},
    {"wait", P::tkKey}, {"waitpid", P::tkKey}, {"wantarray", P::tkKey}, {"warn", P::tkKey},
    {"while", P::tkKey}, {"write", P::tkKey}, {"and", P::tkOperator}, {"cmp", P::tkOperator},
    {"eq", P::tkOperator}, {"ge", P::tkOperator}, {"gt", P::tkOperator}, {"le", P::tkOperator},
    {"lt", P::tkOperator}, {"ne", P::tkOperator}, {"not", P::tkOperator}, {"or", P::tkOperator},
    {"xor", P::tkOperator}, {"constant", P::tkPragma}, {"diagnostics", P::tkPragma},
    {"integer", P::tkPragma}, {"less", P::tkPragma}, {"locale", P::tkPragma},
    {"sigtrap", P::tkPragma}, {"strict", P::tkPragma}, {"subs", P::tkPragma}, {"vars", P::tkPragma},
    {"$ACCUMULATOR", P::tkVariable}, {"$ARG", P::tkVariable}, {"$ARGV", P::tkVariable},
    {"$BASETIME", P::tkVariable}, {"$CHILD_ERROR", P::tkVariable}, {"$DEBUGGING", P::tkVariable},
    {"$EFFECTIVE_GROUP_ID", P::tkVariable}, {"$EFFECTIVE_USER_ID", P::tkVariable},
    {"$EGID", P::tkVariable}, {"$ENV", P::tkVariable}, {"$ERRNO", P::tkVariable},
    {"$EUID", P::tkVariable}, {"$EVAL_ERROR", P::tkVariable}, {"$EXECUTABLE_NAME", P::tkVariable},
    {"$FORMAT_FORMFEED", P::tkVariable}, {"$FORMAT_LINES_LEFT", P::tkVariable},
    {"$FORMAT_LINES_PER_PAGE", P::tkVariable}, {"$FORMAT_LINE_BREAK_CHARACTERS", P::tkVariable},
    {"$FORMAT_NAME", P::tkVariable}, {"$FORMAT_PAGE_NUMBER", P::tkVariable},
    {"$FORMAT_TOP_NAME", P::tkVariable}, {"$GID", P::tkVariable}, {"$INPLACE_EDIT", P::tkVariable},
    {"$INPUT_LINE_NUMBER", P::tkVariable}, {"$INPUT_RECORD_SEPARATOR", P::tkVariable},
    {"$LAST_PAREN_MATCH", P::tkVariable}, {"$LIST_SEPARATOR", P::tkVariable},
    {"$MATCH", P::tkVariable}, {"$MULTILINE_MATCHING", P::tkVariable}, {"$NR", P::tkVariable},
    {"$OFMT", P::tkVariable}, {"$ORS", P::tkVariable}, {"$OS_ERROR", P::tkVariable},
    {"$OUTPUT_AUTOFLUSH", P::tkVariable}, {"$OUTPUT_FIELD_SEPARATOR", P::tkVariable},
    {"$PERLDB", P::tkVariable}, {"$PERL_VERSION", P::tkVariable}, {"$PID", P::tkVariable},
    {"$POSTMATCH", P::tkVariable}, {"$PREMATCH", P::tkVariable}, {"$PROCESS_ID", P::tkVariable},
    {"$PROGRAM_NAME", P::tkVariable}, {"$REAL_GROUP_ID", P::tkVariable},
    {"$REAL_USER_ID", P::tkVariable}, {"$RS", P::tkVariable}, {"$SIG", P::tkVariable},
    {"$SUBSCRIPT_SEPARATOR", P::tkVariable}, {"$SUBSEP", P::tkVariable},
    {"$SYSTEM_FD_MAX", P::tkVariable}, {"$UID", P::tkVariable}, {"$WARNING", P::tkVariable},
    {"%INC", P::tkVariable}, {"@ARGV", P::tkVariable}, {"@INC", P::tkVariable},
};
// clang-format on

// Operator forms by first byte, longest first.
constexpr std::string_view kOpBang[] = {"!=", "!~", "!"};
constexpr std::string_view kOpAmp[] = {"&&=", "&&", "&=", "&"};
constexpr std::string_view kOpStar[] = {"**=", "**", "*=", "*"};
constexpr std::string_view kOpPlus[] = {"++", "+=", "+"};
constexpr std::string_view kOpMinus[] = {"--", "-=", "->", "-"};
constexpr std::string_view kOpSlash[] = {"/=", "/"};
constexpr std::string_view kOpColon[] = {"::", ":"};
constexpr std::string_view kOpLess[] = {"<<=", "<=>", "<<", "<=", "<"};
constexpr std::string_view kOpEqual[] = {"==", "=>", "=~", "="};
constexpr std::string_view kOpGreater[] = {">>=", ">>", ">=", ">"};
constexpr std::string_view kOpCaret[] = {"^=", "^"};
constexpr std::string_view kOpBar[] = {"||=", "||", "|=", "|"};

constexpr std::span<const std::string_view> OperatorForms(uint8_t AFirst) {
  switch (AFirst) {
    case '!':
      return kOpBang;
    case '&':
      return kOpAmp;
    case '*':
      return kOpStar;
    case '+':
      return kOpPlus;
    case '-':
      return kOpMinus;
    case '/':
      return kOpSlash;
    case ':':
      return kOpColon;
    case '<':
      return kOpLess;
    case '=':
      return kOpEqual;
    case '>':
      return kOpGreater;
    case '^':
      return kOpCaret;
    default:
      return kOpBar;
  }
}

[[maybe_unused]] const int32_t kRegistered = RegisterHighlighterClass(TRidPerlRid::Class());

}  // namespace

const TRidScanHighlighter::TScanTable<TRidPerlRid> TRidPerlRid::ScanTable =
    SharedScanTable<TRidPerlRid>()
        .On('#', &P::CommentProc)
        .On('"', &P::StringInterpProc)
        .On('\'', &P::StringLiteralProc)
        .On("$%@_", &P::IdentProc)
        .OnRange('A', 'Z', &P::IdentProc)
        .OnRange('a', 'z', &P::IdentProc)
        .On('.', &P::NumberProc)
        .OnRange('0', '9', &P::NumberProc)
        .On("(),;?[\\]{}~", &P::SymbolProc)
        .On("!&*+-/:<=>^|", &P::OperatorProc);

const TRidKeywordTable& TRidPerlRid::KeywordTable() {
  static const TRidKeywordTable table(kKeywords, 2168, ByteSumHash);
  return table;
}

const TRidHighlighterClass& TRidPerlRid::Class() {
  static const TRidHighlighterClass c{
      StaticClassName(),
      kLanguage.LanguageName,
      {capRegistry},
      [](TComponent* AOwner) -> TRidCustomHighlighter* { return new TRidPerlRid(AOwner); }};
  return c;
}

TRidPerlRid::TRidPerlRid(TComponent* AOwner)
    : TRidScanHighlighter(AOwner, kLanguage), FKeywords(KeywordTable()) {}

void TRidPerlRid::Next() {
  FTokenStart = FRunPos;
  (this->*ScanTable[Cur()])();
}

void TRidPerlRid::CommentProc() {
  FTokenKind = tkComment;
  do ++FRunPos;
  while (!IsLineStop(Cur()));
}

void TRidPerlRid::StringInterpProc() {
  FTokenKind = tkString;
  if (Ahead(1) == '"' && Ahead(2) == '"') FRunPos += 2;
  do {
    const uint8_t b = Cur();
    if (IsLineStop(b)) break;
    if (b == '\\' && Ahead(1) == '"') {
      // An odd run of backslashes escapes the quote; a trail byte 0x5C counts, as in perl.
      int32_t run = 0;
      for (int32_t i = FRunPos; i >= 0 && At(i) == '\\'; --i) ++run;
      if (run & 1) ++FRunPos;
    }
    ++FRunPos;
  } while (Cur() != '"');
  if (Cur() != 0) ++FRunPos;  // the closing quote, or the LF or CR that ended it
}

void TRidPerlRid::StringLiteralProc() {
  FTokenKind = tkString;
  do ++FRunPos;
  while (!IsLineStop(Cur()) && Cur() != '\'');
  if (Cur() != 0) ++FRunPos;
}

void TRidPerlRid::IdentProc() {
  const uint8_t first = Cur();
  const uint8_t next = Ahead(1);
  switch (first) {
    case '$':
      if (kDollarPunct.Contains(next)) {
        FTokenKind = tkVariable;
        FRunPos += 2;
        return;
      }
      if (next == '^') {
        const uint8_t name = Ahead(2);
        if (kCaretVars.Contains(name) || IsLineStop(name)) {
          FTokenKind = tkVariable;
          FRunPos += IsLineStop(name) ? 2 : 3;
          return;
        }
      }
      break;
    case '%':
    case 'x':
      if (IsLineStop(next) || next == '=') {
        FTokenKind = tkSymbol;
        FRunPos += next == '=' ? 2 : 1;
        return;
      }
      break;
  }
  WordProc();
}

void TRidPerlRid::WordProc() {
  const uint64_t hash = HashRun(FRunPos, kHashSet);
  FTokenKind = FKeywords.Find(hash, FLineText + FWordStart, FWordLength, tkIdentifier);
  FRunPos += FWordLength;
  SkipSet(kIdentTable);
}

void TRidPerlRid::NumberProc() {
  if (Cur() == '.') {
    const uint8_t next = Ahead(1);
    int32_t len = 0;
    if (kLetters.Contains(next) || next == '_')
      len = 1;  // the concatenation dot before a word
    else if (next == '.')
      len = Ahead(2) == '.' ? 3 : 2;
    else if (next == '=')
      len = 2;
    if (len) {
      FTokenKind = tkSymbol;
      FRunPos += len;
      return;
    }
  }
  FTokenKind = tkNumber;
  ++FRunPos;
  for (;;) {
    const uint8_t b = Cur();
    if (!kNumberSet.Contains(b)) break;
    if (b == '.' && Ahead(1) == '.') break;  // a range: 1..10
    if (b == '-' && Ahead(1) != 'e' && Ahead(1) != 'E') break;
    ++FRunPos;
  }
}

void TRidPerlRid::SymbolProc() {
  FTokenKind = tkSymbol;
  ++FRunPos;
}

void TRidPerlRid::OperatorProc() {
  FTokenKind = tkSymbol;
  FRunPos += MatchForm(OperatorForms(Cur()));
}

}  // namespace rid
