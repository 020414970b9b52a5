#include "event_filter.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <vector>

#include "event_xml.h"
#include "sim_state.h"

namespace qvsim::detail {

struct FilterStep {
  enum Kind { kElement, kAttribute, kText } kind = kElement;
  std::string name;  // "*": any
  std::vector<std::unique_ptr<FilterNode>> predicates;
};

struct FilterNode {
  enum Type { kOr, kAnd, kCompare, kPath, kLiteral, kNumber, kPosition, kBand, kTimediff };
  Type type = kLiteral;
  std::string text;  // a literal's text, a comparison's operator
  bool integral = false;
  uint64_t integer = 0;
  double number = 0;
  std::vector<std::unique_ptr<FilterNode>> operands;
  std::vector<FilterStep> steps;
};

namespace {

// A number as the filter compares it: exact while it is a whole number that fits 64 bits.
struct Number {
  bool integral = false;
  uint64_t integer = 0;
  double value = NAN;
};

Number whole(uint64_t n) { return {true, n, static_cast<double>(n)}; }

// A node's text as a number: decimal, 0x hexadecimal, or a decimal fraction.
Number text_number(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty()) return {};
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string copy(hex ? text.substr(2) : text);
  char* end = nullptr;
  if (copy.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") == std::string::npos &&
      copy.size() <= (hex ? 16u : 20u)) {
    errno = 0;
    const uint64_t n = std::strtoull(copy.c_str(), &end, hex ? 16 : 10);
    if (errno == 0) return whole(n);
  }
  if (hex) return {};
  const double d = std::strtod(copy.c_str(), &end);
  if (end != copy.c_str() + copy.size()) return {};
  return {false, 0, d};
}

struct Value {
  enum Type { kNodes, kNumber, kString } type = kString;
  std::vector<std::string> nodes;  // the selected nodes' text
  Number number;
  std::string text;
};

Number value_number(const Value& v) {
  if (v.type == Value::kNumber) return v.number;
  if (v.type == Value::kString) return text_number(v.text);
  return v.nodes.empty() ? Number{} : text_number(v.nodes.front());
}

bool value_true(const Value& v) {
  if (v.type == Value::kNodes) return !v.nodes.empty();
  if (v.type == Value::kString) return !v.text.empty();
  return v.number.integral ? v.number.integer != 0
                           : v.number.value != 0 && !std::isnan(v.number.value);
}

int order(double a, double b) { return a < b ? -1 : a > b ? 1 : 0; }

bool holds(int cmp, const std::string& op) {
  if (op == "=") return cmp == 0;
  if (op == "!=") return cmp != 0;
  if (op == "<") return cmp < 0;
  if (op == "<=") return cmp <= 0;
  if (op == ">") return cmp > 0;
  return cmp >= 0;
}

bool compare_numbers(const Number& a, const Number& b, const std::string& op) {
  if (a.integral && b.integral)
    return holds(a.integer < b.integer ? -1 : a.integer > b.integer, op);
  if (std::isnan(a.value) || std::isnan(b.value)) return op == "!=";
  return holds(order(a.value, b.value), op);
}

// Texts: equal when they are, ignoring case, as Windows compares names; ordered as times
// when both are SystemTime values, else by their characters.
bool compare_texts(const std::string& a, const std::string& b, const std::string& op) {
  if (op == "=" || op == "!=") return names_equal(a, b) == (op == "=");
  uint64_t ta = 0, tb = 0;
  if (parse_system_time(a, &ta) && parse_system_time(b, &tb))
    return holds(ta < tb ? -1 : ta > tb, op);
  return holds(a.compare(b) < 0 ? -1 : a.compare(b) > 0, op);
}

bool compare_one(const std::string& node, const Value& other, const std::string& op) {
  if (other.type == Value::kNumber) return compare_numbers(text_number(node), other.number, op);
  if (other.type == Value::kString) return compare_texts(node, other.text, op);
  for (const std::string& text : other.nodes) {
    if (compare_texts(node, text, op)) return true;
  }
  return false;
}

const char* flipped(const std::string& op) {
  if (op == "<") return ">";
  if (op == "<=") return ">=";
  if (op == ">") return "<";
  if (op == ">=") return "<=";
  return op.c_str();
}

bool compare(const Value& a, const Value& b, const std::string& op) {
  if (a.type == Value::kNodes) {
    for (const std::string& text : a.nodes) {
      if (compare_one(text, b, op)) return true;
    }
    return false;
  }
  if (b.type == Value::kNodes) return compare(b, a, flipped(op));
  if (a.type == Value::kString && b.type == Value::kString)
    return compare_texts(a.text, b.text, op);
  return compare_numbers(value_number(a), value_number(b), op);
}

struct Context {
  pugi::xml_node node;
  size_t position = 1;
  uint64_t now_ms = 0;
};

Value evaluate(const FilterNode& node, const Context& context);

bool step_selects(const FilterStep& step, const pugi::xml_node& node, size_t position,
                  uint64_t now_ms) {
  for (const auto& predicate : step.predicates) {
    const Value v = evaluate(*predicate, {node, position, now_ms});
    // A number standing alone selects by position ([2]); a function's number is true when it
    // is not 0 ([band(Keywords,...)]).
    if (predicate->type == FilterNode::kNumber || predicate->type == FilterNode::kPosition) {
      if (!(v.number.integral && v.number.integer == position)) return false;
    } else if (!value_true(v)) {
      return false;
    }
  }
  return true;
}

// The texts of the nodes a path selects from the context node.
Value evaluate_path(const FilterNode& path, const Context& context) {
  std::vector<pugi::xml_node> current{context.node};
  Value result;
  result.type = Value::kNodes;
  for (size_t s = 0; s < path.steps.size(); ++s) {
    const FilterStep& step = path.steps[s];
    if (step.kind != FilterStep::kElement) {
      for (const pugi::xml_node& node : current) {
        if (step.kind == FilterStep::kText) {
          result.nodes.emplace_back(node.text().get());
          continue;
        }
        for (const pugi::xml_attribute& attribute : node.attributes()) {
          if (std::strcmp(attribute.name(), "xmlns") == 0) continue;
          if (step.name == "*" || step.name == attribute.name())
            result.nodes.emplace_back(attribute.value());
        }
      }
      return result;
    }
    std::vector<pugi::xml_node> next;
    for (const pugi::xml_node& node : current) {
      size_t position = 0;
      for (pugi::xml_node child : node.children()) {
        if (child.type() != pugi::node_element) continue;
        if (step.name != "*" && step.name != child.name()) continue;
        if (step_selects(step, child, ++position, context.now_ms)) next.push_back(child);
      }
    }
    current.swap(next);
  }
  for (const pugi::xml_node& node : current) result.nodes.emplace_back(node.text().get());
  return result;
}

Value evaluate(const FilterNode& node, const Context& context) {
  Value v;
  switch (node.type) {
    case FilterNode::kOr:
    case FilterNode::kAnd: {
      const bool any = node.type == FilterNode::kOr;
      bool result = !any;
      for (const auto& operand : node.operands) {
        if (value_true(evaluate(*operand, context)) == any) {
          result = any;
          break;
        }
      }
      // A boolean is a text, kept apart from numbers, which a predicate takes as a position.
      v.text = result ? "true" : "";
      return v;
    }
    case FilterNode::kCompare: {
      const bool result = compare(evaluate(*node.operands[0], context),
                                  evaluate(*node.operands[1], context), node.text);
      v.text = result ? "true" : "";
      return v;
    }
    case FilterNode::kPath:
      return evaluate_path(node, context);
    case FilterNode::kLiteral:
      v.text = node.text;
      return v;
    case FilterNode::kNumber:
      v.type = Value::kNumber;
      v.number = {node.integral, node.integer, node.number};
      return v;
    case FilterNode::kPosition:
      v.type = Value::kNumber;
      v.number = whole(context.position);
      return v;
    case FilterNode::kBand: {
      const Number a = value_number(evaluate(*node.operands[0], context));
      const Number b = value_number(evaluate(*node.operands[1], context));
      v.type = Value::kNumber;
      v.number = a.integral && b.integral ? whole(a.integer & b.integer) : whole(0);
      return v;
    }
    case FilterNode::kTimediff: {
      const Value time = evaluate(*node.operands[0], context);
      const std::string text =
          time.type == Value::kNodes ? (time.nodes.empty() ? "" : time.nodes.front()) : time.text;
      uint64_t filetime = 0;
      v.type = Value::kNumber;
      if (!parse_system_time(text, &filetime)) return v;  // NaN: no comparison holds
      const uint64_t ms = filetime / 10000;
      v.number = context.now_ms >= ms ? whole(context.now_ms - ms)
                                      : Number{false, 0, -static_cast<double>(ms - context.now_ms)};
      return v;
    }
  }
  return v;
}

// The parser: a recursive descent over the accepted subset; anything else is refused.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  std::unique_ptr<FilterNode> selector() {
    auto path = std::make_unique<FilterNode>();
    path->type = FilterNode::kPath;
    skip_space();
    FilterStep step;
    if (take("*")) {
      step.name = "*";
    } else {
      step.name = name();
      if (step.name != "Event") return nullptr;
    }
    if (!predicates(&step)) return nullptr;
    path->steps.push_back(std::move(step));
    skip_space();
    return at_ >= text_.size() ? std::move(path) : nullptr;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
  int depth_ = 0;

  void skip_space() {
    while (at_ < text_.size() && std::strchr(" \t\r\n", text_[at_]) != nullptr) ++at_;
  }
  bool peek(std::string_view token) {
    skip_space();
    return text_.substr(at_, token.size()) == token;
  }
  bool take(std::string_view token) {
    if (!peek(token)) return false;
    at_ += token.size();
    return true;
  }
  static bool name_char(char c, bool first) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_') return true;
    return !first && ((c >= '0' && c <= '9') || c == '-' || c == '.');
  }
  std::string name() {
    skip_space();
    const size_t start = at_;
    while (at_ < text_.size() && name_char(text_[at_], at_ == start)) ++at_;
    return std::string(text_.substr(start, at_ - start));
  }
  // A keyword (and, or) standing as a word of its own.
  bool keyword(std::string_view word) {
    skip_space();
    if (text_.substr(at_, word.size()) != word) return false;
    const size_t after = at_ + word.size();
    if (after < text_.size() && name_char(text_[after], false)) return false;
    at_ = after;
    return true;
  }

  bool predicates(FilterStep* step) {
    while (take("[")) {
      auto e = expression();
      if (e == nullptr || !take("]")) return false;
      step->predicates.push_back(std::move(e));
    }
    return true;
  }

  std::unique_ptr<FilterNode> expression() {
    if (++depth_ > 64) return nullptr;
    auto e = binary(FilterNode::kOr);
    --depth_;
    return e;
  }

  std::unique_ptr<FilterNode> binary(FilterNode::Type type) {
    auto first = type == FilterNode::kOr ? binary(FilterNode::kAnd) : comparison();
    if (first == nullptr) return nullptr;
    const char* word = type == FilterNode::kOr ? "or" : "and";
    if (!peek(word)) return first;
    auto node = std::make_unique<FilterNode>();
    node->type = type;
    node->operands.push_back(std::move(first));
    while (keyword(word)) {
      auto next = type == FilterNode::kOr ? binary(FilterNode::kAnd) : comparison();
      if (next == nullptr) return nullptr;
      node->operands.push_back(std::move(next));
    }
    return node;
  }

  std::unique_ptr<FilterNode> comparison() {
    auto left = primary();
    if (left == nullptr) return nullptr;
    static const char* const kOperators[] = {"!=", "<=", ">=", "=", "<", ">"};
    for (const char* op : kOperators) {
      if (!take(op)) continue;
      auto right = primary();
      if (right == nullptr) return nullptr;
      auto node = std::make_unique<FilterNode>();
      node->type = FilterNode::kCompare;
      node->text = op;
      node->operands.push_back(std::move(left));
      node->operands.push_back(std::move(right));
      return node;
    }
    return left;
  }

  std::unique_ptr<FilterNode> primary() {
    skip_space();
    if (at_ >= text_.size()) return nullptr;
    const char c = text_[at_];
    if (c == '(') {
      ++at_;
      auto e = expression();
      return e != nullptr && take(")") ? std::move(e) : nullptr;
    }
    if (c == '\'' || c == '"') {
      const size_t close = text_.find(c, at_ + 1);
      if (close == std::string_view::npos) return nullptr;
      auto node = std::make_unique<FilterNode>();
      node->text = std::string(text_.substr(at_ + 1, close - at_ - 1));
      at_ = close + 1;
      return node;
    }
    if (c >= '0' && c <= '9') return number();
    return path_or_call();
  }

  std::unique_ptr<FilterNode> number() {
    const size_t start = at_;
    while (at_ < text_.size() && ((text_[at_] >= '0' && text_[at_] <= '9') || text_[at_] == '.'))
      ++at_;
    if (at_ < text_.size() && name_char(text_[at_], true)) return nullptr;  // 0x10, 12abc
    auto node = std::make_unique<FilterNode>();
    node->type = FilterNode::kNumber;
    const Number n = text_number(text_.substr(start, at_ - start));
    if (std::isnan(n.value)) return nullptr;
    node->integral = n.integral;
    node->integer = n.integer;
    node->number = n.value;
    return node;
  }

  std::unique_ptr<FilterNode> path_or_call() {
    const size_t start = at_;
    const std::string word = name();
    if (!word.empty() && word != "text" && peek("(")) {
      at_ = start;
      return call();
    }
    at_ = start;
    auto path = std::make_unique<FilterNode>();
    path->type = FilterNode::kPath;
    do {
      FilterStep step;
      if (take("@")) {
        step.kind = FilterStep::kAttribute;
        step.name = take("*") ? "*" : name();
        if (step.name.empty()) return nullptr;
        path->steps.push_back(std::move(step));
        break;  // an attribute ends the path
      }
      if (take("*")) {
        step.name = "*";
      } else {
        step.name = name();
        if (step.name.empty() || step.name == "and" || step.name == "or") return nullptr;
        if (step.name == "text") {
          if (!take("(") || !take(")")) return nullptr;
          step.kind = FilterStep::kText;
          path->steps.push_back(std::move(step));
          break;
        }
      }
      if (!predicates(&step)) return nullptr;
      path->steps.push_back(std::move(step));
    } while (take("/"));
    if (peek("/") || peek("[") || peek(":")) return nullptr;
    return path;
  }

  std::unique_ptr<FilterNode> call() {
    const std::string function = to_upper(name());
    if (!take("(")) return nullptr;
    auto node = std::make_unique<FilterNode>();
    size_t arity = 0;
    if (function == "POSITION") {
      node->type = FilterNode::kPosition;
    } else if (function == "BAND") {
      node->type = FilterNode::kBand;
      arity = 2;
    } else if (function == "TIMEDIFF") {
      node->type = FilterNode::kTimediff;
      arity = 1;
    } else {
      return nullptr;
    }
    for (size_t i = 0; i < arity; ++i) {
      if (i > 0 && !take(",")) return nullptr;
      auto operand = primary();
      if (operand == nullptr) return nullptr;
      node->operands.push_back(std::move(operand));
    }
    return take(")") ? std::move(node) : nullptr;
  }
};

}  // namespace

EventFilter::EventFilter() = default;
EventFilter::~EventFilter() = default;
EventFilter::EventFilter(EventFilter&&) noexcept = default;
EventFilter& EventFilter::operator=(EventFilter&&) noexcept = default;

bool EventFilter::parse(const std::string& xpath) {
  root_ = Parser(xpath).selector();
  return root_ != nullptr;
}

bool EventFilter::matches(const pugi::xml_document& event, uint64_t now_ms) const {
  if (root_ == nullptr) return false;
  Context context{event, 1, now_ms};
  return !evaluate(*root_, context).nodes.empty();
}

}  // namespace qvsim::detail
