#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cparse.h"

namespace {

struct SplitCase {
    const char* what;
    std::wstring script;
    std::vector<std::wstring> statements;
};

class CParseSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(CParseSplit, GivesStatementsInOrder) {
    const SplitCase& c = GetParam();
    CParse parse;
    EXPECT_EQ(parse.Parse(c.script, 0), static_cast<int>(c.statements.size()));
    EXPECT_EQ(parse.Statements(), c.statements);
}

INSTANTIATE_TEST_SUITE_P(
    Quoting, CParseSplit,
    ::testing::Values(
        SplitCase{"plain", L"SELECT 1; SELECT 2", {L"SELECT 1", L"SELECT 2"}},
        SplitCase{"trailing semicolon and blanks", L"  SELECT 1 ;\r\n\t", {L"SELECT 1"}},
        SplitCase{"empty statements", L";; ;\n;SELECT 1;;", {L"SELECT 1"}},
        SplitCase{"only a comment", L"SELECT 1; -- done\n", {L"SELECT 1"}},
        SplitCase{"block comment alone", L"SELECT 1; /* end; */", {L"SELECT 1"}},
        SplitCase{"single quotes", L"SELECT 'a;b'; SELECT 2", {L"SELECT 'a;b'", L"SELECT 2"}},
        SplitCase{"doubled quote", L"SELECT 'it''s;'; SELECT 2", {L"SELECT 'it''s;'", L"SELECT 2"}},
        SplitCase{"double-quoted identifier", L"SELECT 1 AS \"x;y\"; SELECT 2", {L"SELECT 1 AS \"x;y\"", L"SELECT 2"}},
        SplitCase{"backticks", L"SELECT `a;b` FROM t; SELECT 2", {L"SELECT `a;b` FROM t", L"SELECT 2"}},
        SplitCase{"brackets", L"SELECT [a;b] FROM t; SELECT 2", {L"SELECT [a;b] FROM t", L"SELECT 2"}},
        SplitCase{"quote inside comment", L"SELECT 1; -- don't\nSELECT 2", {L"SELECT 1", L"-- don't\nSELECT 2"}},
        SplitCase{"semicolon in line comment", L"--NAME: a;b\nSELECT 1", {L"--NAME: a;b\nSELECT 1"}},
        SplitCase{"semicolon in block comment", L"SELECT /* ; */ 1; SELECT 2", {L"SELECT /* ; */ 1", L"SELECT 2"}},
        SplitCase{"dollar quote", L"DO $$ BEGIN PERFORM 1; END $$; SELECT 2",
                  {L"DO $$ BEGIN PERFORM 1; END $$", L"SELECT 2"}},
        SplitCase{"tagged dollar quote holding $$", L"SELECT $fn$ a; $$ b; $fn$; SELECT 2",
                  {L"SELECT $fn$ a; $$ b; $fn$", L"SELECT 2"}},
        SplitCase{"parameter is no dollar quote", L"SELECT $1; SELECT $2", {L"SELECT $1", L"SELECT $2"}},
        SplitCase{"dollar inside identifier", L"SELECT a$b$ FROM t; SELECT 2", {L"SELECT a$b$ FROM t", L"SELECT 2"}},
        SplitCase{"escape string", L"SELECT E'a\\';b'; SELECT 2", {L"SELECT E'a\\';b'", L"SELECT 2"}},
        SplitCase{"unterminated quote keeps the rest", L"SELECT 1; SELECT 'a; b", {L"SELECT 1", L"SELECT 'a; b"}},
        SplitCase{"non-ASCII", L"SELECT 'Grüße; 東京'; SELECT 2", {L"SELECT 'Grüße; 東京'", L"SELECT 2"}},
        SplitCase{"nothing", L"", {}}),
    [](const ::testing::TestParamInfo<SplitCase>& info) {
        std::string name;
        for (const char* p = info.param.what; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        return name;
    });

TEST(CParse, ParsingAgainReplacesTheStatements) {
    CParse parse;
    parse.Parse(L"SELECT 1; SELECT 2; SELECT 3", 0);
    EXPECT_EQ(parse.Parse(L"SELECT 4", 0), 1);
    EXPECT_EQ(parse.Statement(0), L"SELECT 4");
}

}  // namespace
