// The stand-in Xbase++ run-time: parameter lists, results and value containers, with an
// audit of everything an export does through them.
#include <atomic>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include "host/xpp_api.h"
#include "xpprt/host.h"

namespace {

using xpp::Value;

constexpr uint32_t kMagic = 0x51565850;  // "PXVQ"

struct Param {
  bool present = false;
  bool by_ref = false;
  Value* value = nullptr;
};

struct Container {
  Value value;
  bool released = false;
  XppParamList_* owner = nullptr;
};

}  // namespace

struct XppParamList_ {
  uint32_t magic = kMagic;
  std::vector<Param> params;
  std::vector<Value> copies;  // the values of parameters passed by value
  Value result;
  int results_set = 0;
  std::vector<std::string> violations;
  std::vector<uintptr_t> created;
};

namespace {

std::mutex& containers_lock() {
  static std::mutex mutex;
  return mutex;
}

std::map<uintptr_t, Container>& containers() {
  static std::map<uintptr_t, Container> table;
  return table;
}

uintptr_t next_container_id = 0;
std::atomic<int> con_new_failures{0};
std::atomic<int> con_new_array_failures{0};
thread_local XppParamList_* current_call = nullptr;

void violation(XppParamList_* call, std::string what) {
  if (call == nullptr) call = current_call;
  if (call != nullptr) call->violations.push_back(std::move(what));
}

// The parameter list as the export passed it, or null (with a violation) when it is not
// the list of a call in progress.
XppParamList_* checked(XppParamList pl, const char* op) {
  if (pl == nullptr || pl->magic != kMagic) {
    violation(nullptr, std::string(op) + ": not a parameter list");
    return nullptr;
  }
  return pl;
}

const Param* param_at(XppParamList_* pl, XppUlong index) {
  if (index == 0 || index > pl->params.size()) return nullptr;
  const Param& p = pl->params[index - 1];
  return p.present ? &p : nullptr;
}

bool take_failure(std::atomic<int>& counter) {
  int n = counter.load();
  while (n > 0) {
    if (counter.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}

void set_result(XppParamList_* pl, Value v) {
  pl->result = std::move(v);
  ++pl->results_set;
}

ContainerHandle new_container(Value v) {
  std::lock_guard<std::mutex> guard(containers_lock());
  uintptr_t id = ++next_container_id;
  containers()[id] = Container{std::move(v), false, current_call};
  if (current_call != nullptr) current_call->created.push_back(id);
  return reinterpret_cast<ContainerHandle>(id);
}

// The live container of that handle, or null with a violation. Call with the lock held.
Container* live_container(ContainerHandle con, const char* op) {
  auto found = containers().find(reinterpret_cast<uintptr_t>(con));
  if (found == containers().end()) {
    violation(nullptr, std::string(op) + ": unknown container");
    return nullptr;
  }
  if (found->second.released) {
    violation(nullptr, std::string(op) + ": container used after its release");
    return nullptr;
  }
  return &found->second;
}

// Two's-complement wrap of a number into 32 bits, after truncation toward zero.
XppLong to_long(double n) {
  if (!std::isfinite(n)) return 0;
  double whole = std::fmod(std::trunc(n), 4294967296.0);
  if (whole < 0) whole += 4294967296.0;
  return static_cast<XppLong>(static_cast<uint32_t>(whole));
}

}  // namespace

// The operations keep the visibility of their declarations in host/xpp_api.h. On Windows
// they are exported by the module definition under their decorated names (__parc, ...),
// not by dllexport, which would export the undecorated ones as well.
extern "C" {

XppUlong XPP_CDECL _parc(char* buffer, XppUlong size, XppParamList pl, XppUlong index) {
  XppParamList_* call = checked(pl, "_parc");
  if (call == nullptr) return 0;
  if (buffer == nullptr && size > 0) {
    violation(call, "_parc: no buffer");
    return 0;
  }
  const Param* p = param_at(call, index);
  if (p == nullptr || !p->value->is_character() || p->value->text.empty() || size == 0) return 0;
  const std::string& text = p->value->text;
  size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<XppUlong>(n);
}

XppUlong XPP_CDECL _parclen(XppParamList pl, XppUlong index) {
  XppParamList_* call = checked(pl, "_parclen");
  if (call == nullptr) return 0;
  const Param* p = param_at(call, index);
  return p != nullptr && p->value->is_character() ? static_cast<XppUlong>(p->value->text.size())
                                                  : 0;
}

XppLong XPP_CDECL _parnl(XppParamList pl, XppUlong index) {
  XppParamList_* call = checked(pl, "_parnl");
  if (call == nullptr) return 0;
  const Param* p = param_at(call, index);
  return p != nullptr && p->value->is_number() ? to_long(p->value->number) : 0;
}

XppUlong XPP_CDECL _partype(XppParamList pl, XppUlong index) {
  XppParamList_* call = checked(pl, "_partype");
  if (call == nullptr) return XPP_UNDEF;
  const Param* p = param_at(call, index);
  if (p == nullptr) return XPP_UNDEF;
  XppUlong word = p->by_ref ? XPP_REFERENCE : 0;
  switch (p->value->type) {
    case Value::Type::kNil:
      return word | XPP_UNDEF;
    case Value::Type::kNumber:
      return word | XPP_NUMERIC;
    case Value::Type::kCharacter:
      return word | XPP_CHARACTER;
    case Value::Type::kLogical:
      return word | XPP_LOGICAL;
    case Value::Type::kArray:
      return word | XPP_ARRAY;
  }
  return word;
}

void XPP_CDECL _retnl(XppParamList pl, XppLong value) {
  if (XppParamList_* call = checked(pl, "_retnl")) set_result(call, Value::num(value));
}

void XPP_CDECL _retl(XppParamList pl, XppLong value) {
  if (XppParamList_* call = checked(pl, "_retl")) set_result(call, Value::boolean(value != 0));
}

void XPP_CDECL _retc(XppParamList pl, const char* text) {
  XppParamList_* call = checked(pl, "_retc");
  if (call == nullptr) return;
  if (text == nullptr) {
    violation(call, "_retc: no string");
    text = "";
  }
  set_result(call, Value::str(text));
}

static Value* store_target(XppParamList pl, XppUlong index, const char* op) {
  XppParamList_* call = checked(pl, op);
  if (call == nullptr) return nullptr;
  if (index == 0 || index > call->params.size() || !call->params[index - 1].by_ref) {
    violation(call, std::string(op) + ": parameter " + std::to_string(index) +
                        " was not passed by reference");
    return nullptr;
  }
  return call->params[index - 1].value;
}

XppLong XPP_CDECL _stornl(XppLong value, XppParamList pl, XppUlong index) {
  Value* target = store_target(pl, index, "_stornl");
  if (target == nullptr) return 0;
  *target = Value::num(value);
  return 1;
}

XppLong XPP_CDECL _storc(const char* text, XppParamList pl, XppUlong index) {
  Value* target = store_target(pl, index, "_storc");
  if (target == nullptr) return 0;
  if (text == nullptr) {
    violation(pl, "_storc: no string");
    return 0;
  }
  *target = Value::str(text);
  return 1;
}

ContainerHandle XPP_CDECL _conNewArray(XppUlong dimensions, XppUlong count) {
  if (dimensions != 1) {
    violation(nullptr, "_conNewArray: only one-dimensional arrays are created here");
    return nullptr;
  }
  if (take_failure(con_new_array_failures)) return nullptr;
  return new_container(Value::array(std::vector<Value>(count)));
}

ContainerHandle XPP_CDECL _conNew(ContainerHandle none) {
  if (none != nullptr) violation(nullptr, "_conNew: argument is not null");
  if (take_failure(con_new_failures)) return nullptr;
  return new_container(Value::nil());
}

ContainerHandle XPP_CDECL _conPutNL(ContainerHandle con, XppLong value) {
  std::lock_guard<std::mutex> guard(containers_lock());
  Container* c = live_container(con, "_conPutNL");
  if (c == nullptr) return nullptr;
  c->value = Value::num(value);
  return con;
}

ContainerHandle XPP_CDECL _conPutC(ContainerHandle con, const char* text) {
  std::lock_guard<std::mutex> guard(containers_lock());
  Container* c = live_container(con, "_conPutC");
  if (c == nullptr) return nullptr;
  if (text == nullptr) {
    violation(nullptr, "_conPutC: no string");
    return nullptr;
  }
  c->value = Value::str(text);
  return con;
}

XppLong XPP_CDECL _conArrayPut(ContainerHandle array, ContainerHandle con, XppUlong index,
                               XppUlong closing) {
  std::lock_guard<std::mutex> guard(containers_lock());
  if (closing != 0) violation(nullptr, "_conArrayPut: index list not closed by 0");
  Container* a = live_container(array, "_conArrayPut");
  Container* c = live_container(con, "_conArrayPut");
  if (a == nullptr || c == nullptr) return 0;
  if (!a->value.is_array() || index == 0 || index > a->value.items.size()) {
    violation(nullptr, "_conArrayPut: element " + std::to_string(index) + " out of range");
    return 0;
  }
  a->value.items[index - 1] = c->value;
  return 1;
}

XppLong XPP_CDECL _conReturn(XppParamList pl, ContainerHandle con) {
  XppParamList_* call = checked(pl, "_conReturn");
  if (call == nullptr) return 0;
  std::lock_guard<std::mutex> guard(containers_lock());
  Container* c = live_container(con, "_conReturn");
  if (c == nullptr) return 0;
  set_result(call, c->value);
  return 1;
}

XppLong XPP_CDECL _conRelease(ContainerHandle con) {
  std::lock_guard<std::mutex> guard(containers_lock());
  Container* c = live_container(con, "_conRelease");
  if (c == nullptr) return 0;
  c->released = true;
  c->value = Value::nil();
  return 1;
}

}  // extern "C"

namespace xpp {

Arg absent() { return Arg(); }

Arg by_ref(Value& variable) {
  Arg a;
  a.kind = Arg::Kind::kReference;
  a.ref = &variable;
  return a;
}

CallResult call(ExportFn fn, const std::vector<Arg>& args) {
  XppParamList_ list;
  list.copies.reserve(args.size());
  for (const Arg& arg : args) {
    Param p;
    if (arg.kind == Arg::Kind::kValue) {
      list.copies.push_back(arg.value);
      p.present = true;
      p.value = &list.copies.back();
    } else if (arg.kind == Arg::Kind::kReference) {
      p.present = true;
      p.by_ref = true;
      p.value = arg.ref;
    }
    list.params.push_back(p);
  }

  XppParamList_* outer = current_call;
  current_call = &list;
  fn(&list);
  current_call = outer;

  CallResult result;
  result.value = list.result;
  result.results_set = list.results_set;
  if (list.results_set != 1)
    list.violations.push_back("the export set " + std::to_string(list.results_set) +
                              " results instead of one");
  {
    std::lock_guard<std::mutex> guard(containers_lock());
    for (uintptr_t id : list.created) {
      auto found = containers().find(id);
      if (found == containers().end()) continue;
      if (!found->second.released)
        list.violations.push_back("container " + std::to_string(id) +
                                  " was not released before the export returned");
      containers().erase(found);
    }
  }
  result.violations = std::move(list.violations);
  return result;
}

void fail_con_new(int count) { con_new_failures = count; }
void fail_con_new_array(int count) { con_new_array_failures = count; }

int live_containers() {
  std::lock_guard<std::mutex> guard(containers_lock());
  int n = 0;
  for (const auto& entry : containers()) n += entry.second.released ? 0 : 1;
  return n;
}

}  // namespace xpp
