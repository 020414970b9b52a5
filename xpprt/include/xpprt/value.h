// Xbase++ values as the stand-in run-time holds them.
#ifndef QUORVEL_XPPRT_VALUE_H
#define QUORVEL_XPPRT_VALUE_H

#include <string>
#include <vector>

#include "xpprt/api.h"

namespace xpp {

struct XPPRT_API Value {
  // A memo is character data as a database field holds it: the run-time's type word tells
  // it apart, while every fetch treats it as a character value. A date holds its day as
  // text, "YYYYMMDD".
  enum class Type { kNil, kNumber, kCharacter, kMemo, kLogical, kDate, kArray };

  Type type = Type::kNil;
  double number = 0;
  std::string text;
  bool logical = false;
  std::vector<Value> items;

  static Value nil() { return Value{}; }
  static Value num(double n) {
    Value v;
    v.type = Type::kNumber;
    v.number = n;
    return v;
  }
  static Value str(std::string s) {
    Value v;
    v.type = Type::kCharacter;
    v.text = std::move(s);
    return v;
  }
  static Value memo(std::string s) {
    Value v;
    v.type = Type::kMemo;
    v.text = std::move(s);
    return v;
  }
  static Value boolean(bool b) {
    Value v;
    v.type = Type::kLogical;
    v.logical = b;
    return v;
  }
  static Value date(std::string yyyymmdd) {
    Value v;
    v.type = Type::kDate;
    v.text = std::move(yyyymmdd);
    return v;
  }
  static Value array(std::vector<Value> elements) {
    Value v;
    v.type = Type::kArray;
    v.items = std::move(elements);
    return v;
  }

  bool is_nil() const { return type == Type::kNil; }
  bool is_number() const { return type == Type::kNumber; }
  bool is_character() const { return type == Type::kCharacter || type == Type::kMemo; }
  bool is_memo() const { return type == Type::kMemo; }
  bool is_logical() const { return type == Type::kLogical; }
  bool is_array() const { return type == Type::kArray; }

  bool operator==(const Value& other) const;
};

// The value in Xbase++ literal notation: NIL, .T., .F., 42, 1.5, "text"+Chr(13),
// SToD("20041109"), {1, "x"}.
XPPRT_API std::string to_literal(const Value& value);

}  // namespace xpp

#endif
