// qvcall's statement language: a small subset of Xbase++ expressions for calling the
// library's exports as an Xbase++ program does.
//
//   statement := [name ":="] expr | "?" expr
//   expr      := element { "+" element }
//   element   := term { "[" expr "]" }          (an array's element, from 1)
//   term      := number | string | NIL | .T. | .F. | Chr(expr) | "{" [expr {"," expr}] "}"
//              | name | NAME "(" [arg] {"," [arg]} ")"
//   arg       := expr | "@" name
#ifndef QUORVEL_QVCALL_SCRIPT_H
#define QUORVEL_QVCALL_SCRIPT_H

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "xpprt/host.h"

namespace qvcall {

// A fault in a statement: its syntax, or a value that the statement cannot use.
struct ScriptError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Expr;
using ExprPtr = std::unique_ptr<Expr>;

struct Expr {
  enum class Kind { kLiteral, kVariable, kReference, kAbsent, kAdd, kArray, kChr, kCall, kIndex };
  Kind kind = Kind::kLiteral;
  xpp::Value literal;
  std::string name;  // upper case: a variable or an export
  std::vector<ExprPtr> children;
};

struct Statement {
  std::string target;  // the variable assigned, upper case; empty for none
  ExprPtr expr;
};

// Parses one line; a blank line or a comment (// or *) gives a statement without expr.
Statement parse_statement(const std::string& line);

// Runs statements, each call through the stand-in run-time.
class Interpreter {
 public:
  // Finds an export by its upper-case name; null when the library has none of that name.
  using Resolver = std::function<xpp::ExportFn(const std::string&)>;

  explicit Interpreter(Resolver resolver) : resolver_(std::move(resolver)) {}

  // The value of the statement; throws ScriptError. Audit findings of its calls are
  // appended to violations().
  xpp::Value run(const Statement& statement);

  const std::vector<std::string>& violations() const { return violations_; }

 private:
  xpp::Value eval(const Expr& expr);
  xpp::Value call(const Expr& expr);

  Resolver resolver_;
  std::map<std::string, xpp::Value> variables_;
  std::vector<std::string> violations_;
};

}  // namespace qvcall

#endif
