// qvcall's statement parser, evaluator and value printer.
#include <gtest/gtest.h>

#include "host/type_word.h"
#include "script.h"

namespace {

using xpp::Value;

// An export that returns its parameters as an array, and stores "set" into by-reference
// character parameters.
void XPP_CDECL echo(XppParamList pl) {
  ContainerHandle array = _conNewArray(1, 3);
  ContainerHandle con = _conNew(NULLCONTAINER);
  for (ULONG i = 1; i <= 3; ++i) {
    ULONG type = _partype(pl, i);
    char buffer[64] = {0};
    if (qv::is_by_reference(type)) {
      _storc("set", pl, i);
      _conPutC(con, "ref");
    } else if (qv::is_character(type)) {
      _parc(buffer, sizeof buffer, pl, i);
      _conPutC(con, buffer);
    } else if (type & XPP_NUMERIC) {
      _conPutNL(con, _parnl(pl, i));
    } else {
      _conPutC(con, qv::has_value(type) ? "other" : "undef");
    }
    _conArrayPut(array, con, i, 0);
  }
  _conReturn(pl, array);
  _conRelease(con);
  _conRelease(array);
}

std::string eval(qvcall::Interpreter& in, const std::string& line) {
  return xpp::to_literal(in.run(qvcall::parse_statement(line)));
}

qvcall::Interpreter interpreter() {
  return qvcall::Interpreter(
      [](const std::string& name) -> xpp::ExportFn { return name == "ECHO" ? echo : nullptr; });
}

TEST(QvcallPrint, WritesXbaseLiterals) {
  struct Case {
    Value value;
    const char* literal;
  } cases[] = {
      {Value::nil(), "NIL"},
      {Value::boolean(true), ".T."},
      {Value::boolean(false), ".F."},
      {Value::num(-1100), "-1100"},
      {Value::num(4294967295.0), "4294967295"},
      {Value::num(1.5), "1.5"},
      {Value::str(""), "\"\""},
      {Value::str("a\"b"), "\"a\"+Chr(34)+\"b\""},
      {Value::str("End of file.\r\n"), "\"End of file.\"+Chr(13)+Chr(10)"},
      {Value::str("\r\n"), "Chr(13)+Chr(10)"},
      {Value::str(std::string("\x7f", 1)), "Chr(127)"},
      {Value::str("M\x81ller"), "\"M\"+Chr(129)+\"ller\""},
      {Value::array({}), "{}"},
      {Value::array({Value::num(1), Value::str("x"), Value::array({Value::nil()})}),
       "{1, \"x\", {NIL}}"},
  };
  for (const Case& c : cases) EXPECT_EQ(xpp::to_literal(c.value), c.literal);
}

TEST(QvcallEval, ExpressionsAndAssignments) {
  qvcall::Interpreter in = interpreter();
  struct Case {
    const char* line;
    const char* printed;
  } cases[] = {
      {"? 1 + 2.5", "3.5"},
      {"-3", "-3"},
      {"x := 'ab' + \"cd\"", "\"abcd\""},
      {"? X + Chr(13) + Chr(10)", "\"abcd\"+Chr(13)+Chr(10)"},
      {"? {1, {}, nil, .t., .F.}", "{1, {}, NIL, .T., .F.}"},
      {"? Chr(65 + 1)", "\"B\""},
      {"? echo(1.9, 'a', )", "{1, \"a\", \"undef\"}"},
      {"? echo(, , -1)", "{\"undef\", \"undef\", -1}"},
      {"? Echo()", "{\"undef\", \"undef\", \"undef\"}"},
      {"? ECHO(@v, x, 4294967295)", "{\"ref\", \"abcd\", -1}"},
      {"? v", "\"set\""},
      {"? echo(NIL, .T., {1})", "{\"undef\", \"other\", \"other\"}"},
      {"a := {10, {20, 'x'}}", "{10, {20, \"x\"}}"},
      {"? a[1] + a[2][1]", "30"},
      {"? a[2][2]", "\"x\""},
      {"? echo(1, 'b')[2]", "\"b\""},
      {"? {5, 6}[1.9]", "5"},
  };
  for (const Case& c : cases) EXPECT_EQ(eval(in, c.line), c.printed) << c.line;
  EXPECT_TRUE(in.violations().empty());
}

TEST(QvcallParse, BlankLinesAndCommentsAreNoStatements) {
  for (const char* line : {"", "   ", "// a comment", "* a comment", "\t"})
    EXPECT_EQ(qvcall::parse_statement(line).expr, nullptr) << line;
}

TEST(QvcallParse, RejectsMalformedStatements) {
  for (const char* line :
       {"? 'open", "x :=", "? (1", "? echo(1", "? {1, 2", "? 1 2", "? .X.", "? Chr()",
        "? Chr(1, 2)", "? echo(@)", "? @x", "? 1 +", "? {1}[1", "? {1}[]"})
    EXPECT_THROW(qvcall::parse_statement(line), qvcall::ScriptError) << line;
}

TEST(QvcallEval, RejectsWhatCannotBeEvaluated) {
  qvcall::Interpreter in = interpreter();
  for (const char* line : {"? nosuch", "? 1 + 'a'", "? NOEXPORT(1)", "? Chr('a')", "? {1}[2]",
                           "? {1}[0]", "? 5[1]", "? {1}['a']"})
    EXPECT_THROW(in.run(qvcall::parse_statement(line)), qvcall::ScriptError) << line;
}

}  // namespace
