#include "highlighters/RidHighlighterSQL.h"

#include <gtest/gtest.h>

#include <map>

#include "editor/RidEder.h"
#include "tests/TestSupport.h"
#include "tests/highlighters/HighlighterConformance.h"

namespace rid {
namespace {

using S = TRidSQLRid;
using test::TTokenCase;

constexpr TSQLDialect kDialects[] = {sqlStandard, sqlInterbase6, sqlMSSQL7, sqlMySQL,
                                     sqlOracle,   sqlSybase,     sqlIngres, sqlMSSQL2K};

test::THighlighterFactory SqlFactory(TSQLDialect ADialect) {
  return [ADialect] {
    auto h = std::make_unique<TRidSQLRid>(nullptr);
    h->SetSQLDialect(ADialect);
    return h;
  };
}

// 表 ends in a backslash, ゾ in "]", マ in "}".
const std::string kHyo = "\x95\x5C", kZo = "\x83\x5D", kMa = "\x83\x7D";

struct TSqlCase {
  TSQLDialect Dialect;
  TTokenCase Case;
};

const TSqlCase kCases[] = {
    // Oracle's REM comments out the rest of the line, wherever it stands
    {sqlOracle, {0, "REM a 'b", {{"REM a 'b", S::tkComment}}, 0}},
    {sqlOracle,
     {0, "select rem x", {{"select", S::tkKey}, {" ", S::tkSpace}, {"rem x", S::tkComment}}, 0}},
    {sqlStandard,
     {0, "rem x", {{"rem", S::tkIdentifier}, {" ", S::tkSpace}, {"x", S::tkIdentifier}}, 0}},
    // MySQL escapes quotes with an odd run of backslashes; the others end at the quote
    {sqlMySQL,
     {0,
      R"('a\'b' x)",
      {{R"('a\'b')", S::tkString}, {" ", S::tkSpace}, {"x", S::tkIdentifier}},
      0}},
    {sqlStandard,
     {0,
      R"('a\'b' x)",
      {{R"('a\')", S::tkString}, {"b", S::tkIdentifier}, {"' x", S::tkString}},
      S::rsString}},
    {sqlMySQL,
     {0,
      R"('C:\\' x)",
      {{R"('C:\\')", S::tkString}, {" ", S::tkSpace}, {"x", S::tkIdentifier}},
      0}},
    {sqlMySQL, {0, R"('C:\\\' x)", {{R"('C:\\\' x)", S::tkString}}, S::rsString}},
    {sqlMySQL,
     {S::rsString,
      R"(\'a' b)",
      {{R"(\'a')", S::tkString}, {" ", S::tkSpace}, {"b", S::tkIdentifier}},
      0}},
    {sqlMySQL,
     {0,
      "'" + kHyo + "' x",
      {{"'" + kHyo + "'", S::tkString}, {" ", S::tkSpace}, {"x", S::tkIdentifier}},
      0}},
    // Strings carry over lines; a doubled quote ends one token and opens the next
    {sqlStandard,
     {S::rsString, "b' c", {{"b'", S::tkString}, {" ", S::tkSpace}, {"c", S::tkIdentifier}}, 0}},
    {sqlStandard, {S::rsString, "'x", {{"'", S::tkString}, {"x", S::tkIdentifier}}, 0}},
    {sqlStandard, {0, "'a''b'", {{"'a'", S::tkString}, {"'b'", S::tkString}}, 0}},
    // "#" and backquotes are MySQL's
    {sqlMySQL, {0, "# c", {{"# c", S::tkComment}}, 0}},
    {sqlOracle, {0, "#c", {{"#", S::tkUnknown}, {"c", S::tkIdentifier}}, 0}},
    {sqlMySQL,
     {0,
      "`a``b` x",
      {{"`a``b`", S::tkDelimitedIdentifier}, {" ", S::tkSpace}, {"x", S::tkIdentifier}},
      0}},
    {sqlSybase, {0, "`a`", {{"`", S::tkUnknown}, {"a", S::tkIdentifier}, {"`", S::tkUnknown}}, 0}},
    // Delimited identifiers: double quotes everywhere, brackets on the servers
    {sqlStandard,
     {0,
      "\"a\"\"b\" x\"",
      {{"\"a\"\"b\"", S::tkDelimitedIdentifier},
       {" ", S::tkSpace},
       {"x", S::tkIdentifier},
       {"\"", S::tkDelimitedIdentifier}},
      0}},
    {sqlMSSQL7,
     {0,
      "[" + kZo + "]]x] y",
      {{"[" + kZo + "]]x]", S::tkDelimitedIdentifier}, {" ", S::tkSpace}, {"y", S::tkIdentifier}},
      0}},
    {sqlIngres, {0, "[a]", {{"[", S::tkSymbol}, {"a", S::tkIdentifier}, {"]", S::tkSymbol}}, 0}},
    // Variables and the "@@" functions
    {sqlMSSQL7,
     {0,
      "@@ROWCOUNT @x:y",
      {{"@@ROWCOUNT", S::tkFunction},
       {" ", S::tkSpace},
       {"@x", S::tkVariable},
       {":", S::tkSymbol},
       {"y", S::tkIdentifier}},
      0}},
    {sqlStandard, {0, "@x@", {{"@x", S::tkVariable}, {"@", S::tkVariable}}, 0}},
    {sqlMySQL, {0, "@x", {{"@", S::tkSymbol}, {"x", S::tkIdentifier}}, 0}},
    {sqlOracle,
     {0,
      ":x @y",
      {{":x", S::tkVariable}, {" ", S::tkSpace}, {"@", S::tkSymbol}, {"y", S::tkIdentifier}},
      0}},
    {sqlIngres, {0, ":x", {{":x", S::tkVariable}}, 0}},
    // Keywords compare letters in any case and every other byte exactly
    {sqlMySQL,
     {0, "int1 INT9", {{"int1", S::tkKey}, {" ", S::tkSpace}, {"INT9", S::tkIdentifier}}, 0}},
    {sqlOracle,
     {0,
      "Varchar2 VARCHAR9 AQ$_AGENT AQ#_AGENT",
      {{"Varchar2", S::tkDatatype},
       {" ", S::tkSpace},
       {"VARCHAR9", S::tkIdentifier},
       {" ", S::tkSpace},
       {"AQ$_AGENT", S::tkSQLPlus},
       {" ", S::tkSpace},
       {"AQ#_AGENT", S::tkIdentifier}},
      0}},
    {sqlMSSQL7,
     {0,
      "log10 LOG99",
      {{"log10", S::tkFunction}, {" ", S::tkSpace}, {"LOG99", S::tkIdentifier}},
      0}},
    {sqlStandard,
     {0, "end-exec", {{"end", S::tkKey}, {"-", S::tkSymbol}, {"exec", S::tkIdentifier}}, 0}},
    // Numbers take minus signs between digits and stop before a range
    {sqlStandard,
     {0,
      "1-2-3 1..2",
      {{"1-2-3", S::tkNumber},
       {" ", S::tkSpace},
       {"1", S::tkNumber},
       {".", S::tkSymbol},
       {".", S::tkSymbol},
       {"2", S::tkNumber}},
      0}},
    // Comments
    {sqlStandard, {0, "-- c */", {{"-- c */", S::tkComment}}, 0}},
    {sqlStandard,
     {0,
      "x /* c",
      {{"x", S::tkIdentifier}, {" ", S::tkSpace}, {"/* c", S::tkComment}},
      S::rsComment}},
    {sqlStandard,
     {S::rsComment, kMa + " */x", {{kMa + " */", S::tkComment}, {"x", S::tkIdentifier}}, 0}},
    {sqlStandard, {0, "/*/", {{"/*/", S::tkComment}}, S::rsComment}},
    {sqlMySQL,
     {0,
      "/*!32302 TEMPORARY */ t",
      {{"/*!32302 TEMPORARY */", S::tkConditionalComment},
       {" ", S::tkSpace},
       {"t", S::tkIdentifier}},
      0}},
    {sqlMySQL, {0, "/*! a", {{"/*! a", S::tkConditionalComment}}, S::rsConditionalComment}},
    {sqlMySQL, {S::rsConditionalComment, "b */", {{"b */", S::tkConditionalComment}}, 0}},
    {sqlStandard, {0, "/*! a */", {{"/*! a */", S::tkComment}}, 0}},
    // Symbols take their longest listed form
    {sqlStandard,
     {0,
      "<<=<>!=||=>/=",
      {{"<<=", S::tkSymbol},
       {"<", S::tkSymbol},
       {">", S::tkSymbol},
       {"!=", S::tkSymbol},
       {"||", S::tkSymbol},
       {"=>", S::tkSymbol},
       {"/=", S::tkSymbol}},
      0}},
    {sqlStandard,
     {0,
      "\\" + kHyo + "\x81",
      {{"\\", S::tkUnknown}, {kHyo, S::tkUnknown}, {"\x81", S::tkUnknown}},
      0}},
};

TEST(SqlHighlighter, ScansTheListedCases) {
  for (const TSqlCase& c : kCases) {
    SCOPED_TRACE(static_cast<int>(c.Dialect));
    test::CheckTokenCases(SqlFactory(c.Dialect), {&c.Case, 1});
  }
}

// The keywords of a dialect with their kinds, as its chains hold them.
std::vector<std::pair<std::string, uint8_t>> DialectWords(TSQLDialect ADialect) {
  TRidSQLRid h(nullptr);
  h.SetSQLDialect(ADialect);
  std::vector<std::pair<std::string, uint8_t>> words;
  for (int32_t i = 0; i < h.Keywords().Count(); ++i)
    for (const TRidHashEntry* e = h.Keywords().Get(i); e; e = e->GetNext())
      words.emplace_back(e->GetKeyword(), static_cast<uint8_t>(e->GetKind()));
  return words;
}

// The words of each list, by kind (a dialect has one list a kind): 4,065 in all. The chains
// end at the largest hash.
TEST(SqlHighlighter, KeywordListsHaveTheirCounts) {
  using K = std::map<uint8_t, size_t>;
  const std::map<TSQLDialect, K> counts = {
      {sqlStandard, {{S::tkKey, 306}}},
      {sqlInterbase6, {{S::tkDatatype, 13}, {S::tkFunction, 8}, {S::tkKey, 251}}},
      {sqlMSSQL7, {{S::tkKey, 197}, {S::tkDatatype, 24}, {S::tkFunction, 139}}},
      {sqlMySQL, {{S::tkKey, 181}, {S::tkDatatype, 29}, {S::tkFunction, 149}}},
      {sqlOracle,
       {{S::tkKey, 617},
        {S::tkDatatype, 46},
        {S::tkException, 20},
        {S::tkFunction, 371},
        {S::tkComment, 4},
        {S::tkDefaultPackage, 181},
        {S::tkPLSQL, 163},
        {S::tkSQLPlus, 184}}},
      {sqlSybase, {{S::tkKey, 373}}},
      {sqlIngres, {{S::tkDatatype, 23}, {S::tkKey, 315}, {S::tkFunction, 102}}},
      {sqlMSSQL2K, {{S::tkKey, 171}, {S::tkDatatype, 30}, {S::tkFunction, 168}}}};
  size_t total = 0;
  for (TSQLDialect d : kDialects) {
    K got;
    for (const auto& [word, kind] : DialectWords(d)) ++got[kind];
    EXPECT_EQ(got, counts.at(d)) << static_cast<int>(d);
    for (const auto& [kind, n] : got) total += n;
    TRidSQLRid h(nullptr);
    h.SetSQLDialect(d);
    EXPECT_LE(h.Keywords().Count(), 256);
    EXPECT_NE(h.Keywords().Get(h.Keywords().Count() - 1), nullptr);
  }
  EXPECT_EQ(total, 4065u);
}

// In every dialect every word of its lists is one token of its kind, in either letter case;
// the standard's "end-exec" never matches.
TEST(SqlHighlighter, EveryListedWordScansWithItsKind) {
  for (TSQLDialect d : kDialects) {
    std::vector<std::string> storage;
    std::vector<uint8_t> kinds;
    for (const auto& [w, kind] : DialectWords(d)) {
      if (w == "end-exec") continue;
      std::string lower = w;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      storage.insert(storage.end(), {w, lower});
      kinds.insert(kinds.end(), {kind, kind});
    }
    std::vector<TRidKeyword> words;
    for (size_t i = 0; i < storage.size(); ++i) words.push_back({storage[i], kinds[i]});
    SCOPED_TRACE(static_cast<int>(d));
    test::CheckKeywordsScan(SqlFactory(d), words);
  }
  TRidSQLRid h(nullptr);
  for (const char* line : {"end-exec", "END-EXEC"})
    EXPECT_EQ(test::ScanCheckedLine(h, line, 0, nullptr).size(), 3u);
}

TEST(SqlHighlighter, SampleSourcesAreTheDialectsOwn) {
  const std::string expected[] = {
      "-- ANSI SQL sample source\r\nSELECT *\r\nFROM planets\r\nWHERE diameter < 13000\r\n  AND "
      "name <> 'Earth'",
      "/* Interbase sample source */\r\nSET TERM !! ;\r\n\r\nCREATE PROCEDURE HelloWorld(P_MSG "
      "VARCHAR(80)) AS\r\nBEGIN\r\n  EXECUTE PROCEDURE WRITELN(:P_MSG);\r\nEND !!\r\n\r\nSET TERM "
      "; !!",
      "/* SQL Server 7 example source */\r\nSET QUOTED_IDENTIFIER ON\r\nGO\r\nSET ANSI_NULLS "
      "OFF\r\nGO\r\n\r\n/* Object:  Stored Procedure dbo.sp_PPQInsertOrder */\r\nCREATE PROCEDURE "
      "sp_PPQInsertOrder\r\n  @Name    varchar(25),\r\n  @Address varchar(255),\r\n  @ZipCode "
      "varchar(15)\r\nAS\r\n  INSERT INTO PPQOrders(Name, Address, ZipCode, OrderDate)\r\n  VALUES "
      "(@Name, @Address, @ZipCode, GetDate())\r\n\r\n  SELECT SCOPE_IDENTITY()\r\nGO",
      "/* MySQL sample source*/\r\nSET @variable = 1;\r\n\r\nCREATE /*!32302 TEMPORARY */ TABLE t "
      "(a INT);\r\n\r\nCREATE TABLE sample (\r\n        id INT NOT NULL,\r\n        first_name "
      "CHAR(30) NOT NULL,\r\n        PRIMARY KEY (id),\r\n        INDEX name "
      "(first_name));\r\n\r\nSELECT DATE_ADD('1997-12-31 23:59:59',\r\n        INTERVAL 1 "
      "SECOND);\r\n\r\n# End of sample",
      "PROMPT Oracle sample source\r\ndeclare\r\n  x varchar2(2000);\r\nbegin   -- Show some text "
      "here\r\n  select to_char(count(*)) into x\r\n  from tab;\r\n\r\n  "
      "dbms_output.put_line('Hello World: ' || x);\r\nexception\r\n  when others then\r\n    "
      "null;\r\nend;",
      "/* SyBase example source */\r\ndeclare @Integer        int\r\n\r\n/* Good for positive "
      "numbers only. */\r\nselect @Integer = 1000\r\n\r\nselect \"Positives Only\" =\r\n  "
      "right(replicate(\"0\",12) + \r\n    convert(varchar, @Integer),12)\r\n\r\n/* Good for "
      "positive and negative numbers. */\r\nselect @Integer = -1000\r\n\r\nselect \"Both Signs\" "
      "=\r\n  substring( \"- +\", (sign(@Integer) + 2), 1) +\r\n  right(replicate(\"0\",12) + \r\n "
      "   convert(varchar, abs(@Integer)),12)\r\n\r\nselect @Integer = 1000\r\n\r\nselect \"Both "
      "Signs\" =\r\n  substring( \"- +\", (sign(@Integer) + 2), 1) +\r\n  "
      "right(replicate(\"0\",12) + \r\n    convert(varchar, abs(@Integer)),12)\r\n\r\ngo",
      "/* Ingres example source */\r\nDELETE\r\nFROM t1\r\nWHERE EXISTS\r\n(SELECT t2.column1, "
      "t2.column2\r\nFROM t2\r\nWHERE t1.column1 = t2.column1 and\r\nt1.column2 = t2.column2)",
      "/* SQL Server2000 example source */\r\nSET QUOTED_IDENTIFIER ON\r\nGO\r\nSET ANSI_NULLS "
      "OFF\r\nGO\r\n\r\n/* Object:  Stored Procedure dbo.sp_PPQInsertOrder */\r\nCREATE PROCEDURE "
      "sp_PPQInsertOrder\r\n  @Name    varchar(25),\r\n  @Address varchar(255),\r\n  @ZipCode "
      "varchar(15)\r\nAS\r\n  INSERT INTO PPQOrders(Name, Address, ZipCode, OrderDate)\r\n  VALUES "
      "(@Name, @Address, @ZipCode, GetDate())\r\n\r\n  SELECT SCOPE_IDENTITY()\r\nGO",
  };
  for (TSQLDialect d : kDialects) {
    TRidSQLRid h(nullptr);
    h.SetSQLDialect(d);
    EXPECT_EQ(h.GetSampleSource(), expected[static_cast<int>(d)]);
    TRidRange range = 0;
    const std::string sample = h.GetSampleSource();
    for (std::string_view line : test::SplitLines(sample))
      test::ScanCheckedLine(h, line, range, &range);
    EXPECT_EQ(range, 0) << static_cast<int>(d);
  }
}

// Rebuilds repaint through the attribute-change chain with the highlighter as sender: a new
// dialect and every change of the table names rebuild, the same dialect does not.
TEST(SqlHighlighter, DialectAndTableNameChangesRebuildOnceAndNotify) {
  TRidSQLRid h(nullptr);
  std::vector<TObject*> senders;
  h.HookAttrChangeEvent(TNotifyEvent([&](TObject* Sender) { senders.push_back(Sender); }));
  h.SetSQLDialect(sqlStandard);
  EXPECT_TRUE(senders.empty());
  h.SetSQLDialect(sqlMySQL);
  EXPECT_EQ(senders, std::vector<TObject*>{&h});
  TStringList names;
  for (const char* n : {"Planets", "planets", "SELECT", "orders", "x y"}) names.Add(n);
  h.SetTableNames(&names);
  EXPECT_EQ(senders.size(), 2u);
  h.SetTableNames(&names);
  EXPECT_EQ(senders.size(), 3u);
  h.GetTableNames()->Add("more");
  EXPECT_EQ(senders.size(), 4u);
  h.SetTableNames(nullptr);
  EXPECT_EQ(senders.size(), 5u);
  EXPECT_EQ(h.GetTableNames()->Count(), 0);
  EXPECT_EQ(senders.back(), &h);
}

// The dialect decides ranges, so an editor's stored ranges follow a change of it.
TEST(SqlHighlighter, AnEditorScansItsRangesAgainWhenTheDialectChanges) {
  TRidEder ed(nullptr);
  TRidSQLRid sql(nullptr);
  ed.SetText("/*! a\r\nb */ 'c\\'\r\nd' e");
  ed.SetHighlighter(&sql);
  EXPECT_EQ(ed.GetLines()->GetRange(0), S::rsComment);
  EXPECT_EQ(ed.GetLines()->GetRange(1), S::rsUnknown);
  sql.SetSQLDialect(sqlMySQL);
  EXPECT_EQ(ed.GetLines()->GetRange(0), S::rsConditionalComment);
  EXPECT_EQ(ed.GetLines()->GetRange(1), S::rsString);  // a backslash escapes the quote
  EXPECT_EQ(ed.GetLines()->GetRange(2), S::rsUnknown);
  ed.SetHighlighter(nullptr);
}

TEST(SqlHighlighter, TableNamesKeepKeywordKindsAndMatchInAnyCase) {
  TRidSQLRid h(nullptr);
  size_t before = 0;
  for (int32_t i = 0; i < h.Keywords().Count(); ++i)
    for (const TRidHashEntry* e = h.Keywords().Get(i); e; e = e->GetNext()) ++before;
  TStringList names;
  for (const char* n : {"Planets", "planets", "SELECT", "orders"}) names.Add(n);
  h.SetTableNames(&names);
  size_t after = 0;
  for (int32_t i = 0; i < h.Keywords().Count(); ++i)
    for (const TRidHashEntry* e = h.Keywords().Get(i); e; e = e->GetNext()) ++after;
  EXPECT_EQ(after, before + 2);  // Planets and orders, once each
  const TTokenCase cases[] = {{0,
                               "PLANETS select Orders order",
                               {{"PLANETS", S::tkTableName},
                                {" ", S::tkSpace},
                                {"select", S::tkKey},
                                {" ", S::tkSpace},
                                {"Orders", S::tkTableName},
                                {" ", S::tkSpace},
                                {"order", S::tkKey}},
                               0}};
  test::CheckTokenCases(
      [&] {
        auto s = std::make_unique<TRidSQLRid>(nullptr);
        s->SetTableNames(&names);
        return s;
      },
      cases);
  // Other dialects keep the names; a copy takes the dialect but not the names.
  h.SetSQLDialect(sqlOracle);
  EXPECT_EQ(test::ScanCheckedLine(h, "planets", 0, nullptr)[0].Kind, S::tkTableName);
  TRidSQLRid copy(nullptr);
  copy.Assign(&h);
  EXPECT_EQ(copy.GetSQLDialect(), sqlOracle);
  EXPECT_EQ(copy.GetTableNames()->Count(), 0);
  EXPECT_EQ(test::ScanCheckedLine(copy, "planets", 0, nullptr)[0].Kind, S::tkIdentifier);
}

TEST(SqlHighlighter, IsKeywordAnswersForTheKeywordKinds) {
  TRidSQLRid h(nullptr);
  h.SetSQLDialect(sqlOracle);
  TStringList names;
  names.Add("planets");
  h.SetTableNames(&names);
  for (const char* w :
       {"varchar2", "DBMS_ALERT", "ACCESS_INTO_NULL", "ADD_MONTHS", "Select", "ABORT"})
    EXPECT_TRUE(h.IsKeyword(w)) << w;
  for (const char* w : {"REM", "APPINFO", "planets", "foo", "", "select x", "VARCHAR9"})
    EXPECT_FALSE(h.IsKeyword(w)) << w;
}

TEST(SqlHighlighter, AttributesAndLanguageData) {
  TRidSQLRid h(nullptr);
  ASSERT_EQ(h.GetAttribCount(), 17);
  EXPECT_EQ(h.GetSQLPlusAttri()->GetName(), "SQL*Plus Command");
  EXPECT_EQ(h.GetPLSQLAttri()->GetStyle(), TFontStyles{fsBold});
  EXPECT_EQ(h.GetConditionalCommentAttri()->GetStyle(), TFontStyles{fsItalic});
  EXPECT_EQ(h.GetDefaultPackageAttri()->GetName(), "Default Packages");
  EXPECT_EQ(h.GetTableNameAttri()->GetForeground(), clNone);
  EXPECT_EQ(h.GetDefaultAttribute(1), h.GetIdentifierAttri());
  EXPECT_EQ(h.GetDefaultAttribute(6), nullptr);
  EXPECT_EQ(h.GetLanguageName(), "SQL");
  EXPECT_EQ(h.GetDefaultFilter(), "SQL Files (*.sql)|*.sql");
  EXPECT_FALSE(h.IsFilterStored());
  const TRidCharSet base = h.GetIdentChars();
  EXPECT_FALSE(base.Contains('@') || base.Contains('#') || base.Contains('$'));
  h.SetSQLDialect(sqlMSSQL2K);
  EXPECT_EQ(h.GetIdentChars(), base + TRidCharSet{'@'});
  h.SetSQLDialect(sqlOracle);
  EXPECT_EQ(h.GetIdentChars(), base + TRidCharSet::Of("#$"));
  const std::map<int32_t, TRidHighlighterAttributes*> byKind = {
      {S::tkComment, h.GetCommentAttri()},
      {S::tkDatatype, h.GetDataTypeAttri()},
      {S::tkDefaultPackage, h.GetDefaultPackageAttri()},
      {S::tkException, h.GetExceptionAttri()},
      {S::tkFunction, h.GetFunctionAttri()},
      {S::tkIdentifier, h.GetIdentifierAttri()},
      {S::tkKey, h.GetKeyAttri()},
      {S::tkNumber, h.GetNumberAttri()},
      {S::tkSpace, h.GetSpaceAttri()},
      {S::tkPLSQL, h.GetPLSQLAttri()},
      {S::tkSQLPlus, h.GetSQLPlusAttri()},
      {S::tkString, h.GetStringAttri()},
      {S::tkSymbol, h.GetSymbolAttri()},
      {S::tkTableName, h.GetTableNameAttri()},
      {S::tkUnknown, h.GetIdentifierAttri()},
      {S::tkVariable, h.GetVariableAttri()},
      {S::tkConditionalComment, h.GetConditionalCommentAttri()},
      {S::tkDelimitedIdentifier, h.GetDelimitedIdentifierAttri()}};
  TStringList names;
  names.Add("t");
  h.SetTableNames(&names);
  auto oracle = byKind;  // all but MySQL's conditional comments
  oracle.erase(S::tkConditionalComment);
  test::CheckAttributesByKind(h,
                              "/* c */ VARCHAR2 DBMS_ALERT ACCESS_INTO_NULL ABS x select 1 \r\n"
                              "ABORT APPINFO 'a' ; t \\ :v \"d\"",
                              oracle);
  h.SetSQLDialect(sqlMySQL);
  h.SetLine("/*!1*/", 0);
  EXPECT_EQ(h.GetTokenAttribute(), h.GetConditionalCommentAttri());
}

const std::vector<TRidRange> kAllRanges = {0, 1, 2, 3, 9};

TEST(SqlHighlighter, RandomBytesKeepTheScannerRulesInEveryDialect) {
  const auto lines = test::RandomByteLines(47, 300, 80);
  for (TSQLDialect d : kDialects) test::CheckConformance(SqlFactory(d), lines, kAllRanges);
}

TEST(SqlHighlighter, ShiftJisLinesKeepTheScannerRulesInEveryDialect) {
  const std::vector<std::string> pieces = {"'",   "\"", "`",  "[",  "]",    "\\", "/*",  "*/",
                                           "/*!", "--", "#",  "@@", "@",    ":",  "rem", "1-2",
                                           "..",  "\t", "\r", "\n", "INT1", "''"};
  const auto lines = test::ShiftJisLines(53, 300, 24, pieces);
  for (TSQLDialect d : kDialects) test::CheckConformance(SqlFactory(d), lines, kAllRanges);
}

TEST(SqlHighlighter, PostgreSqlScriptsScanCleanlyInEveryDialect) {
  const auto files = test::InstalledFiles({"/usr/share/postgresql"}, {".sql"}, "postgresql");
  for (TSQLDialect d : kDialects) {
    SCOPED_TRACE(static_cast<int>(d));
    test::CheckInstalledFiles(SqlFactory(d), files);
  }
}

}  // namespace
}  // namespace rid
