#include "script.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace qvcall {
namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

class Parser {
 public:
  explicit Parser(const std::string& text) : text_(text) {}

  Statement statement() {
    Statement st;
    skip_blanks();
    if (at_end() || starts_with("//") || peek() == '*') return st;
    if (peek() == '?') {
      ++pos_;
      st.expr = expr();
    } else {
      size_t start = pos_;
      std::string name = identifier();
      skip_blanks();
      if (!name.empty() && starts_with(":=")) {
        pos_ += 2;
        st.target = upper(name);
        st.expr = expr();
      } else {
        pos_ = start;
        st.expr = expr();
      }
    }
    skip_blanks();
    if (!at_end()) fail("unexpected text");
    return st;
  }

 private:
  [[noreturn]] void fail(const std::string& what) {
    throw ScriptError(what + " at column " + std::to_string(pos_ + 1));
  }
  bool at_end() const { return pos_ >= text_.size(); }
  char peek() const { return at_end() ? '\0' : text_[pos_]; }
  bool starts_with(const char* s) const { return text_.compare(pos_, std::strlen(s), s) == 0; }
  void skip_blanks() {
    while (!at_end() && std::isspace(static_cast<unsigned char>(peek()))) ++pos_;
  }
  void expect(char c) {
    skip_blanks();
    if (peek() != c) fail(std::string("expected '") + c + "'");
    ++pos_;
  }

  std::string identifier() {
    size_t start = pos_;
    if (!at_end() && (std::isalpha(static_cast<unsigned char>(peek())) || peek() == '_')) {
      while (!at_end() && (std::isalnum(static_cast<unsigned char>(peek())) || peek() == '_'))
        ++pos_;
    }
    return text_.substr(start, pos_ - start);
  }

  ExprPtr literal(xpp::Value v) {
    auto e = std::make_unique<Expr>();
    e->literal = std::move(v);
    return e;
  }

  ExprPtr expr() {
    ExprPtr left = element();
    skip_blanks();
    while (peek() == '+') {
      ++pos_;
      auto sum = std::make_unique<Expr>();
      sum->kind = Expr::Kind::kAdd;
      sum->children.push_back(std::move(left));
      sum->children.push_back(element());
      left = std::move(sum);
      skip_blanks();
    }
    return left;
  }

  // A term followed by any number of subscripts: a[2], f(x)[1][3].
  ExprPtr element() {
    ExprPtr value = term();
    skip_blanks();
    while (peek() == '[') {
      ++pos_;
      auto index = std::make_unique<Expr>();
      index->kind = Expr::Kind::kIndex;
      index->children.push_back(std::move(value));
      index->children.push_back(expr());
      expect(']');
      value = std::move(index);
      skip_blanks();
    }
    return value;
  }

  ExprPtr number() {
    const char* start = text_.c_str() + pos_;
    char* end = nullptr;
    double n = std::strtod(start, &end);
    if (end == start) fail("bad number");
    pos_ += static_cast<size_t>(end - start);
    return literal(xpp::Value::num(n));
  }

  ExprPtr term() {
    skip_blanks();
    char c = peek();
    if (c == '"' || c == '\'') {
      size_t close = text_.find(c, pos_ + 1);
      if (close == std::string::npos) fail("unterminated string");
      std::string s = text_.substr(pos_ + 1, close - pos_ - 1);
      pos_ = close + 1;
      return literal(xpp::Value::str(s));
    }
    if (std::isdigit(static_cast<unsigned char>(c)) || c == '-' ||
        (c == '.' && std::isdigit(static_cast<unsigned char>(text_[pos_ + 1]))))
      return number();
    if (c == '.') {
      std::string word = upper(text_.substr(pos_, 3));
      if (word == ".T." || word == ".F.") {
        pos_ += 3;
        return literal(xpp::Value::boolean(word == ".T."));
      }
      fail("bad logical");
    }
    if (c == '{') {
      ++pos_;
      auto array = std::make_unique<Expr>();
      array->kind = Expr::Kind::kArray;
      skip_blanks();
      if (peek() == '}') {
        ++pos_;
        return array;
      }
      for (;;) {
        array->children.push_back(expr());
        skip_blanks();
        if (peek() == ',') {
          ++pos_;
          continue;
        }
        expect('}');
        return array;
      }
    }
    std::string name = identifier();
    if (name.empty()) fail("expected a value");
    std::string key = upper(name);
    skip_blanks();
    if (peek() != '(') {
      if (key == "NIL") return literal(xpp::Value::nil());
      auto var = std::make_unique<Expr>();
      var->kind = Expr::Kind::kVariable;
      var->name = key;
      return var;
    }
    ++pos_;
    auto call = std::make_unique<Expr>();
    call->kind = key == "CHR" ? Expr::Kind::kChr : Expr::Kind::kCall;
    call->name = key;
    arguments(*call);
    if (call->kind == Expr::Kind::kChr &&
        (call->children.size() != 1 || call->children[0]->kind == Expr::Kind::kAbsent ||
         call->children[0]->kind == Expr::Kind::kReference))
      fail("Chr takes one value");
    return call;
  }

  void arguments(Expr& call) {
    skip_blanks();
    if (peek() == ')') {
      ++pos_;
      return;
    }
    for (;;) {
      skip_blanks();
      if (peek() == ',' || peek() == ')') {
        auto none = std::make_unique<Expr>();
        none->kind = Expr::Kind::kAbsent;
        call.children.push_back(std::move(none));
      } else if (peek() == '@') {
        ++pos_;
        skip_blanks();
        std::string name = identifier();
        if (name.empty()) fail("expected a variable after @");
        auto ref = std::make_unique<Expr>();
        ref->kind = Expr::Kind::kReference;
        ref->name = upper(name);
        call.children.push_back(std::move(ref));
      } else {
        call.children.push_back(expr());
      }
      skip_blanks();
      if (peek() == ',') {
        ++pos_;
        continue;
      }
      expect(')');
      return;
    }
  }

  const std::string& text_;
  size_t pos_ = 0;
};

}  // namespace

Statement parse_statement(const std::string& line) { return Parser(line).statement(); }

xpp::Value Interpreter::run(const Statement& statement) {
  if (!statement.expr) throw ScriptError("no statement");
  xpp::Value value = eval(*statement.expr);
  if (!statement.target.empty()) variables_[statement.target] = value;
  return value;
}

xpp::Value Interpreter::eval(const Expr& expr) {
  switch (expr.kind) {
    case Expr::Kind::kLiteral:
      return expr.literal;
    case Expr::Kind::kVariable: {
      auto found = variables_.find(expr.name);
      if (found == variables_.end()) throw ScriptError("variable " + expr.name + " does not exist");
      return found->second;
    }
    case Expr::Kind::kAdd: {
      xpp::Value a = eval(*expr.children[0]);
      xpp::Value b = eval(*expr.children[1]);
      if (a.is_number() && b.is_number()) return xpp::Value::num(a.number + b.number);
      if (a.is_character() && b.is_character()) return xpp::Value::str(a.text + b.text);
      throw ScriptError("+ needs two numbers or two strings");
    }
    case Expr::Kind::kArray: {
      std::vector<xpp::Value> items;
      for (const ExprPtr& child : expr.children) items.push_back(eval(*child));
      return xpp::Value::array(std::move(items));
    }
    case Expr::Kind::kChr: {
      xpp::Value n = eval(*expr.children[0]);
      if (!n.is_number()) throw ScriptError("Chr needs a number");
      long code = static_cast<long>(std::trunc(n.number));
      return xpp::Value::str(std::string(1, static_cast<char>(((code % 256) + 256) % 256)));
    }
    case Expr::Kind::kCall:
      return call(expr);
    case Expr::Kind::kIndex: {
      xpp::Value array = eval(*expr.children[0]);
      xpp::Value index = eval(*expr.children[1]);
      if (!array.is_array() || !index.is_number())
        throw ScriptError("[] needs an array and a number");
      double n = std::trunc(index.number);
      if (n < 1 || n > static_cast<double>(array.items.size()))
        throw ScriptError("array index out of bounds");
      return array.items[static_cast<size_t>(n) - 1];
    }
    case Expr::Kind::kReference:
    case Expr::Kind::kAbsent:
      break;
  }
  throw ScriptError("@ and empty parameters are only allowed in a call");
}

xpp::Value Interpreter::call(const Expr& expr) {
  xpp::ExportFn fn = resolver_(expr.name);
  if (fn == nullptr) throw ScriptError("the library has no export " + expr.name);
  std::vector<xpp::Arg> args;
  for (const ExprPtr& child : expr.children) {
    if (child->kind == Expr::Kind::kAbsent) {
      args.push_back(xpp::absent());
    } else if (child->kind == Expr::Kind::kReference) {
      args.push_back(xpp::by_ref(variables_[child->name]));  // created as NIL if new
    } else {
      args.emplace_back(eval(*child));
    }
  }
  xpp::CallResult result = xpp::call(fn, args);
  for (const std::string& v : result.violations) violations_.push_back(expr.name + ": " + v);
  return result.value;
}

}  // namespace qvcall
