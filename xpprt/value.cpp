#include <charconv>
#include <cmath>

#include "xpprt/value.h"

namespace xpp {
namespace {

std::string number_literal(double n) {
  if (std::isfinite(n) && n == std::trunc(n) && std::fabs(n) < 1e15) {
    return std::to_string(static_cast<long long>(n));
  }
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, n);
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

// Printable characters stay in one quoted run; others are Chr(n) terms joined with +.
std::string string_literal(const std::string& text) {
  std::string out;
  bool in_quotes = false;
  for (unsigned char c : text) {
    bool plain = c >= 32 && c < 127 && c != '"';
    if (plain) {
      if (!in_quotes) {
        if (!out.empty()) out += '+';
        out += '"';
        in_quotes = true;
      }
      out += static_cast<char>(c);
    } else {
      if (in_quotes) {
        out += '"';
        in_quotes = false;
      }
      if (!out.empty()) out += '+';
      out += "Chr(" + std::to_string(c) + ")";
    }
  }
  if (in_quotes) out += '"';
  return out.empty() ? "\"\"" : out;
}

}  // namespace

bool Value::operator==(const Value& other) const {
  if (type != other.type) return false;
  switch (type) {
    case Type::kNil:
      return true;
    case Type::kNumber:
      return number == other.number;
    case Type::kCharacter:
    case Type::kMemo:
    case Type::kDate:
      return text == other.text;
    case Type::kLogical:
      return logical == other.logical;
    case Type::kArray:
      return items == other.items;
  }
  return false;
}

std::string to_literal(const Value& value) {
  switch (value.type) {
    case Value::Type::kNil:
      return "NIL";
    case Value::Type::kNumber:
      return number_literal(value.number);
    case Value::Type::kCharacter:
    case Value::Type::kMemo:
      return string_literal(value.text);
    case Value::Type::kLogical:
      return value.logical ? ".T." : ".F.";
    case Value::Type::kDate:
      return "SToD(" + string_literal(value.text) + ")";
    case Value::Type::kArray: {
      std::string out = "{";
      for (size_t i = 0; i < value.items.size(); ++i) {
        if (i > 0) out += ", ";
        out += to_literal(value.items[i]);
      }
      return out + "}";
    }
  }
  return "NIL";
}

}  // namespace xpp
