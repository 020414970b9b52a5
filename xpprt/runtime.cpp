// The stand-in Xbase++ run-time: parameter lists, results and value containers, with an
// audit of everything an export does through them.
#include <atomic>
#include <cstdarg>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "host/type_word.h"
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
  bool borrowed = false;  // a variable passed by reference: the caller's, never released
};

// A container handle names the call that created the container and its place in that
// call's list, so that a handle of another call, or a stale one, is recognised.
constexpr unsigned kIndexBits = sizeof(uintptr_t) == 8 ? 32 : 12;
constexpr uintptr_t kIndexMask = (uintptr_t{1} << kIndexBits) - 1;

}  // namespace

struct XppParamList_ {
  uint32_t magic = kMagic;
  uintptr_t serial = 0;  // this invocation's number, drawn at its first container; 0 before
  std::vector<Param> params;
  std::vector<Value> values;  // the values of parameters passed by value
  xpp::CallResult outcome;
  std::vector<Container> containers;  // created during this invocation
};

namespace {

std::atomic<uintptr_t> next_serial{0};
std::atomic<int> live_count{0};
std::atomic<int> con_new_failures{0};
std::atomic<int> con_new_array_failures{0};
// The call in progress on this thread. Where the platform allows, the run-time's variable
// sits in the static TLS block, reached without a call into the dynamic loader.
#if defined(__ELF__)
#define XPPRT_FAST_TLS __attribute__((tls_model("initial-exec")))
#else
#define XPPRT_FAST_TLS
#endif
thread_local XppParamList_* current_call XPPRT_FAST_TLS = nullptr;

[[gnu::noinline, gnu::cold]] void violation(XppParamList_* call, std::string what) {
  if (call == nullptr) call = current_call;
  if (call != nullptr) call->outcome.violations.push_back(std::move(what));
}

// The same for a fixed text: the callers' common path builds no string.
[[gnu::noinline, gnu::cold]] void violation(XppParamList_* call, const char* what) {
  violation(call, std::string(what));
}

// Nothing (0, null) for a parameter list that is not the list of a call in progress, with a
// violation; a tail call from the operations, off their common way.
[[gnu::noinline, gnu::cold]] int not_a_list(const char* op) {
  violation(nullptr, std::string(op) + ": not a parameter list");
  return 0;
}

inline bool is_list(XppParamList pl) { return pl != nullptr && pl->magic == kMagic; }

// The parameter list as the export passed it, or null (with a violation) when it is not
// the list of a call in progress.
inline XppParamList_* checked(XppParamList pl, const char* op) {
  if (is_list(pl)) [[likely]]
    return pl;
  not_a_list(op);
  return nullptr;
}

// One unsigned comparison covers index 0 as well.
inline const Param* param_at(XppParamList_* pl, ULONG index) {
  const size_t i = static_cast<size_t>(index) - 1;
  if (i >= pl->params.size()) return nullptr;
  const Param& p = pl->params[i];
  return p.present ? &p : nullptr;
}

bool take_failure(std::atomic<int>& counter) {
  int n = counter.load(std::memory_order_relaxed);
  while (n > 0) {
    if (counter.compare_exchange_weak(n, n - 1)) return true;
  }
  return false;
}

// The text of _retc into the result's string. A kept frame's result mostly has the length
// of the one before: the text is then copied over it and measured in the same pass, a byte
// at a time, so that a text its caller has just written byte by byte is read back without
// waiting for those writes to land, as wider reads would. A longer text, or one out of the
// string's own storage, takes the general way.
// A shorter text: only the length changes.
[[gnu::noinline]] void shorten(std::string& stored, size_t n) { stored.resize(n); }

[[gnu::noinline]] void store_text_slowly(std::string& stored, const char* text) {
  stored.assign(text, std::strlen(text));
}

inline void store_text(std::string& stored, const char* text) {
  char* const own = stored.data();
  const size_t size = stored.size();
  if (reinterpret_cast<uintptr_t>(text) - reinterpret_cast<uintptr_t>(own) <= size)
    return store_text_slowly(stored, text);
  // Eight bytes a round while they fit; the round that meets the end is done again below.
  const auto copied = [own, text](size_t i) {
    const char c = text[i];
    own[i] = c;
    return c != '\0';
  };
  size_t n = 0;
  for (; n + 8 <= size; n += 8) {
    if (!(copied(n) && copied(n + 1) && copied(n + 2) && copied(n + 3) && copied(n + 4) &&
          copied(n + 5) && copied(n + 6) && copied(n + 7)))
      break;
  }
  for (; n < size; ++n) {
    const char c = text[n];
    if (c == '\0') return shorten(stored, n);
    own[n] = c;
  }
  if (text[size] != '\0') store_text_slowly(stored, text);
}

// Elements of an earlier array result, dropped off the common path.
[[gnu::noinline]] void clear_items(Value& v) { v.items.clear(); }

void set_result(XppParamList_* pl, const Value& v) {
  pl->outcome.value = v;
  ++pl->outcome.results_set;
}

ContainerHandle new_container(Value v, const char* op) {
  XppParamList_* call = current_call;
  if (call == nullptr) return nullptr;  // containers belong to a call in progress
  if (call->containers.size() >= kIndexMask) {
    violation(call, std::string(op) + ": too many containers in one call");
    return nullptr;
  }
  // A call's number is drawn only when it makes a container: calls without any cost no
  // shared counter.
  if (call->serial == 0) call->serial = next_serial.fetch_add(1, std::memory_order_relaxed) + 1;
  call->containers.push_back(Container{std::move(v), false});
  live_count.fetch_add(1, std::memory_order_relaxed);
  uintptr_t handle = ((call->serial << kIndexBits) | call->containers.size());
  return reinterpret_cast<ContainerHandle>(handle);
}

// The live container of that handle, or null with a violation.
Container* live_container(ContainerHandle con, const char* op) {
  XppParamList_* call = current_call;
  uintptr_t handle = reinterpret_cast<uintptr_t>(con);
  uintptr_t index = handle & kIndexMask;
  uintptr_t serial_mask = ~uintptr_t{0} >> kIndexBits;
  if (call == nullptr || index == 0 || index > call->containers.size() ||
      (handle >> kIndexBits) != (call->serial & serial_mask)) {
    violation(call, std::string(op) + ": unknown container");
    return nullptr;
  }
  Container& c = call->containers[index - 1];
  if (c.released) {
    violation(call, std::string(op) + ": container used after its release");
    return nullptr;
  }
  return &c;
}

// Two's-complement wrap of a number into 32 bits, after truncation toward zero, for
// numbers beyond 64 bits or not finite.
[[gnu::noinline]] LONG to_long_widely(double n) {
  if (!std::isfinite(n)) return 0;
  double whole = std::fmod(std::trunc(n), 4294967296.0);
  if (whole < 0) whole += 4294967296.0;
  return static_cast<LONG>(static_cast<uint32_t>(whole));
}

// The same for any number: within 64 bits the conversion truncates and the cast to 32 bits
// wraps.
inline LONG to_long(double n) {
  if (n > -9.2e18 && n < 9.2e18)
    return static_cast<LONG>(static_cast<uint32_t>(static_cast<int64_t>(n)));
  return to_long_widely(n);
}

// The text of a character parameter into the caller's buffer of `size` (> 0) bytes,
// terminated there.
[[gnu::noinline]] ULONG copy_text(char* buffer, ULONG size, const std::string& text) {
  const size_t n = text.size() < size - 1 ? text.size() : size - 1;
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return static_cast<ULONG>(n);
}

// The type word of a value, with the flags of the generation the run-time acts as.
ULONG type_word(const Value& v, bool by_ref) {
  const xpp::TypeWords& words = xpp::type_words();
  ULONG word = by_ref ? words.reference : 0;
  switch (v.type) {
    case Value::Type::kNil:
      return word | XPP_UNDEF;
    case Value::Type::kNumber:
      return word | (v.number == std::trunc(v.number) ? XPP_NUMERIC : words.floating);
    case Value::Type::kCharacter:
      return word | XPP_CHARACTER;
    case Value::Type::kMemo:
      return word | words.memo;
    case Value::Type::kLogical:
      return word | XPP_LOGICAL;
    case Value::Type::kDate:
      return word | XPP_DATE;
    case Value::Type::kArray:
      return word | XPP_ARRAY;
  }
  return word;
}

// The one index of an element, read from an index list that must be closed by 0.
ULONG element_index(va_list indices, const char* op) {
  ULONG index = va_arg(indices, ULONG);
  if (index != 0 && va_arg(indices, ULONG) != 0)
    violation(nullptr, std::string(op) + ": one index, closed by 0, is taken here");
  return index;
}

}  // namespace

// The operations keep the visibility of their declarations in host/xpp_api.h. On Windows
// they are exported by the module definition under their decorated names (__parc, ...),
// not by dllexport, which would export the undecorated ones as well. The index lists of the
// parameter operations (an element of an array parameter) are not read: the library passes
// none.
extern "C" {

ULONG XPP_CDECL _parc(CHAR* buffer, ULONG size, XppParamList pl, ULONG index, ...) {
  if (!is_list(pl)) [[unlikely]]
    return not_a_list("_parc");
  if (buffer == nullptr && size > 0) [[unlikely]] {
    violation(pl, "_parc: no buffer");
    return 0;
  }
  // Nothing to copy (a parameter not given among them) is a common way, not a fault's.
  const Param* p = param_at(pl, index);
  if (p == nullptr || !p->value->is_character() || p->value->text.empty() || size == 0) return 0;
  return copy_text(buffer, size, p->value->text);
}

ULONG XPP_CDECL _parclen(XppParamList pl, ULONG index, ...) {
  XppParamList_* call = checked(pl, "_parclen");
  if (call == nullptr) return 0;
  const Param* p = param_at(call, index);
  return p != nullptr && p->value->is_character() ? static_cast<ULONG>(p->value->text.size()) : 0;
}

LONG XPP_CDECL _parnl(XppParamList pl, ULONG index, ...) {
  if (!is_list(pl)) [[unlikely]]
    return not_a_list("_parnl");
  const Param* p = param_at(pl, index);
  return p != nullptr && p->value->is_number() ? to_long(p->value->number) : 0;
}

// Index 0: the number of parameters. A parameter left out is NIL; one past the count is
// XPP_UNDEF from 1.9 on and 0 before.
ULONG XPP_CDECL _partype(XppParamList pl, ULONG index) {
  XppParamList_* call = checked(pl, "_partype");
  if (call == nullptr) return 0;
  if (index == 0) return static_cast<ULONG>(call->params.size());
  if (index > call->params.size()) return xpp::type_words().past_count;
  const Param* p = param_at(call, index);
  if (p == nullptr) return XPP_UNDEF;
  return type_word(*p->value, p->by_ref);
}

BOOL XPP_CDECL _parl(XppParamList pl, ULONG index, ...) {
  XppParamList_* call = checked(pl, "_parl");
  if (call == nullptr) return FALSE;
  const Param* p = param_at(call, index);
  return p != nullptr && p->value->is_logical() && p->value->logical ? TRUE : FALSE;
}

BOOL XPP_CDECL _retnl(XppParamList pl, LONG value) {
  XppParamList_* call = checked(pl, "_retnl");
  if (call == nullptr) return FALSE;
  set_result(call, Value::num(value));
  return TRUE;
}

BOOL XPP_CDECL _retl(XppParamList pl, BOOL value) {
  XppParamList_* call = checked(pl, "_retl");
  if (call == nullptr) return FALSE;
  set_result(call, Value::boolean(value != 0));
  return TRUE;
}

BOOL XPP_CDECL _retc(XppParamList pl, const CHAR* text) {
  if (!is_list(pl)) [[unlikely]] {
    not_a_list("_retc");
    return FALSE;
  }
  XppParamList_* call = pl;
  if (text == nullptr) [[unlikely]] {
    violation(call, "_retc: no string");
    text = "";
  }
  // In place, so that a kept frame reuses the result's storage; the text last, where its
  // rarer ways are the operation's last step.
  Value& result = call->outcome.value;
  result.type = Value::Type::kCharacter;
  ++call->outcome.results_set;
  if (!result.items.empty()) clear_items(result);
  store_text(result.text, text);
  return TRUE;
}

static Value* store_target(XppParamList pl, ULONG index, const char* op) {
  XppParamList_* call = checked(pl, op);
  if (call == nullptr) return nullptr;
  if (index == 0 || index > call->params.size() || !call->params[index - 1].by_ref) {
    violation(call, std::string(op) + ": parameter " + std::to_string(index) +
                        " was not passed by reference");
    return nullptr;
  }
  return call->params[index - 1].value;
}

BOOL XPP_CDECL _stornl(LONG value, XppParamList pl, ULONG index, ...) {
  Value* target = store_target(pl, index, "_stornl");
  if (target == nullptr) return FALSE;
  *target = Value::num(value);
  return TRUE;
}

BOOL XPP_CDECL _storc(const CHAR* text, XppParamList pl, ULONG index, ...) {
  Value* target = store_target(pl, index, "_storc");
  if (target == nullptr) return FALSE;
  if (text == nullptr) {
    violation(pl, "_storc: no string");
    return FALSE;
  }
  *target = Value::str(text);
  return TRUE;
}

ContainerHandle XPP_CDECL _conNewArray(ULONG dimensions, ...) {
  if (dimensions != 1) {
    violation(nullptr, "_conNewArray: only one-dimensional arrays are created here");
    return NULLCONTAINER;
  }
  va_list sizes;
  va_start(sizes, dimensions);
  ULONG count = va_arg(sizes, ULONG);
  va_end(sizes);
  if (take_failure(con_new_array_failures)) return NULLCONTAINER;
  return new_container(Value::array(std::vector<Value>(count)), "_conNewArray");
}

ContainerHandle XPP_CDECL _conNew(ContainerHandle source) {
  Value copy;
  if (source != NULLCONTAINER) {
    Container* c = live_container(source, "_conNew");
    if (c == nullptr) return NULLCONTAINER;
    copy = c->value;
  }
  if (take_failure(con_new_failures)) return NULLCONTAINER;
  return new_container(std::move(copy), "_conNew");
}

// The container to fill: the one given, or a new one for NULLCONTAINER, which the caller
// releases like any other.
static Container* put_target(ContainerHandle* con, const char* op) {
  if (*con == NULLCONTAINER) {
    *con = new_container(Value::nil(), op);
    if (*con == NULLCONTAINER) return nullptr;
  }
  return live_container(*con, op);
}

ContainerHandle XPP_CDECL _conPutNL(ContainerHandle con, LONG value) {
  Container* c = put_target(&con, "_conPutNL");
  if (c == nullptr) return NULLCONTAINER;
  c->value.type = Value::Type::kNumber;
  c->value.number = value;
  c->value.items.clear();
  return con;
}

ContainerHandle XPP_CDECL _conPutCL(ContainerHandle con, const CHAR* text, ULONG length) {
  if (text == nullptr && length > 0) {
    violation(nullptr, "_conPutCL: no string");
    return NULLCONTAINER;
  }
  Container* c = put_target(&con, "_conPutCL");
  if (c == nullptr) return NULLCONTAINER;
  c->value.type = Value::Type::kCharacter;
  c->value.text.assign(text != nullptr ? text : "", length);
  c->value.items.clear();
  return con;
}

ContainerHandle XPP_CDECL _conPutC(ContainerHandle con, const CHAR* text) {
  if (text == nullptr) {
    violation(nullptr, "_conPutC: no string");
    return NULLCONTAINER;
  }
  return _conPutCL(con, text, static_cast<ULONG>(std::strlen(text)));
}

XPPAPIRET XPP_CDECL _conArrayPut(ContainerHandle array, ContainerHandle con, ...) {
  va_list indices;
  va_start(indices, con);
  ULONG index = element_index(indices, "_conArrayPut");
  va_end(indices);
  Container* a = live_container(array, "_conArrayPut");
  Container* c = live_container(con, "_conArrayPut");
  if (a == nullptr || c == nullptr) return xpp::kConErrorHandle;
  if (!a->value.is_array() || index == 0 || index > a->value.items.size()) {
    violation(nullptr, "_conArrayPut: element " + std::to_string(index) + " out of range");
    return xpp::kConErrorIndex;
  }
  if (a != c) a->value.items[index - 1] = c->value;
  return 0;
}

XPPAPIRET XPP_CDECL _conReturn(XppParamList pl, ContainerHandle con) {
  XppParamList_* call = checked(pl, "_conReturn");
  if (call == nullptr) return xpp::kConErrorHandle;
  Container* c = live_container(con, "_conReturn");
  if (c == nullptr) return xpp::kConErrorHandle;
  set_result(call, c->value);
  return 0;
}

XPPAPIRET XPP_CDECL _conRelease(ContainerHandle con) {
  Container* c = live_container(con, "_conRelease");
  if (c == nullptr) return xpp::kConErrorHandle;
  if (c->borrowed) {
    violation(nullptr, "_conRelease: the container of a parameter passed by reference");
    return xpp::kConErrorHandle;
  }
  c->released = true;
  live_count.fetch_sub(1, std::memory_order_relaxed);
  return 0;
}

// A parameter passed by value comes as a new container, the export's to release; one passed
// by reference is the caller's variable, which the export must not release.
ContainerHandle XPP_CDECL _conParam(XppParamList pl, ULONG index, BOOL* by_ref) {
  XppParamList_* call = checked(pl, "_conParam");
  if (call == nullptr) return NULLCONTAINER;
  const Param* p = param_at(call, index);
  bool reference = p != nullptr && p->by_ref;
  if (by_ref != nullptr) *by_ref = reference ? TRUE : FALSE;
  ContainerHandle con = new_container(p != nullptr ? *p->value : Value::nil(), "_conParam");
  if (con != NULLCONTAINER && reference) {
    Container* c = live_container(con, "_conParam");
    c->borrowed = true;
    live_count.fetch_sub(1, std::memory_order_relaxed);
  }
  return con;
}

XPPAPIRET XPP_CDECL _conSizeA(ContainerHandle array, ULONG* size, ...) {
  va_list indices;
  va_start(indices, size);
  ULONG first = va_arg(indices, ULONG);
  va_end(indices);
  if (first != 0) violation(nullptr, "_conSizeA: only the array itself is measured here");
  Container* a = live_container(array, "_conSizeA");
  if (a == nullptr || size == nullptr) return xpp::kConErrorHandle;
  if (!a->value.is_array()) return xpp::kConErrorIndex;
  *size = static_cast<ULONG>(a->value.items.size());
  return 0;
}

// The element into the container given, or into a new one for NULLCONTAINER; that
// container, or NULLCONTAINER when there is no such element.
ContainerHandle XPP_CDECL _conArrayGet(ContainerHandle array, ContainerHandle con, ...) {
  va_list indices;
  va_start(indices, con);
  ULONG index = element_index(indices, "_conArrayGet");
  va_end(indices);
  Container* a = live_container(array, "_conArrayGet");
  if (a == nullptr) return NULLCONTAINER;
  if (!a->value.is_array() || index == 0 || index > a->value.items.size()) return NULLCONTAINER;
  Value element = a->value.items[index - 1];
  Container* c = put_target(&con, "_conArrayGet");
  if (c == nullptr) return NULLCONTAINER;
  c->value = std::move(element);
  return con;
}

// The string's bytes, as many as the buffer holds, the count copied in *copied. A string
// that fills the buffer is not terminated: the caller knows the count. A container that
// holds no string answers nonzero and copies nothing.
XPPAPIRET XPP_CDECL _conGetCL(ContainerHandle con, ULONG* copied, CHAR* buffer, ULONG size) {
  Container* c = live_container(con, "_conGetCL");
  if (c == nullptr) return xpp::kConErrorHandle;
  if (!c->value.is_character()) return xpp::kConErrorIndex;
  if (buffer == nullptr || size == 0 || copied == nullptr) {
    violation(nullptr, "_conGetCL: no buffer");
    return xpp::kConErrorHandle;
  }
  const size_t n = c->value.text.size() < size ? c->value.text.size() : size;
  std::memcpy(buffer, c->value.text.data(), n);
  if (n < size) buffer[n] = '\0';
  *copied = static_cast<ULONG>(n);
  return 0;
}

}  // extern "C"

namespace xpp {

namespace {

// The generation named by QVXPP_VERSION: before 1.9 for a version number below 1.9.
TypeWords read_type_words() {
  const char* version = std::getenv("QVXPP_VERSION");
  char* end = nullptr;
  const double number = version != nullptr ? std::strtod(version, &end) : 0;
  if (version != nullptr && end != version && number < 1.9)
    return {true, qv::kReferenceBefore19, qv::kMemoBefore19, XPP_NUMERIC | qv::kDoubleBefore19, 0};
  return {false, qv::kReference, XPP_CHARACTER | qv::kMemoFlag, XPP_NUMERIC | qv::kDoubleFlag,
          XPP_UNDEF};
}

const TypeWords words_of_this_run = read_type_words();

}  // namespace

const TypeWords& type_words() { return words_of_this_run; }

Arg absent() { return Arg(); }

Arg by_ref(Value& variable) {
  Arg a;
  a.kind = Arg::Kind::kReference;
  a.ref = &variable;
  return a;
}

Frame::Frame(size_t parameters) : list_(new XppParamList_), values_(nullptr), count_(parameters) {
  list_->params.resize(parameters);
  list_->values.resize(parameters);
  values_ = list_->values.data();
}

void Frame::index_out_of_range() { throw std::out_of_range("xpp::Frame: no such parameter"); }

Frame::~Frame() { delete list_; }

void Frame::set(size_t index, Value value) {
  list_->values.at(index - 1) = std::move(value);
  list_->params.at(index - 1) = Param{true, false, &list_->values[index - 1]};
}

void Frame::set_reference(size_t index, Value& variable) {
  list_->params.at(index - 1) = Param{true, true, &variable};
}

void Frame::set_absent(size_t index) { list_->params.at(index - 1) = Param{}; }

namespace {

// What the audit of a call found beyond its common end (one result, no container).
[[gnu::noinline]] void audit_end(XppParamList_& list) {
  if (list.outcome.results_set != 1)
    list.outcome.violations.push_back("the export set " + std::to_string(list.outcome.results_set) +
                                      " results instead of one");
  for (size_t i = 0; i < list.containers.size(); ++i) {
    if (list.containers[i].released || list.containers[i].borrowed) continue;
    list.outcome.violations.push_back("container " + std::to_string(i + 1) +
                                      " was not released before the export returned");
    live_count.fetch_sub(1, std::memory_order_relaxed);
  }
  list.containers.clear();
}

[[gnu::noinline]] void clear_violations(XppParamList_& list) { list.outcome.violations.clear(); }

}  // namespace

const CallResult& Frame::invoke(ExportFn fn) {
  XppParamList_& list = *list_;
  list.serial = 0;
  list.outcome.value.type = Value::Type::kNil;
  list.outcome.results_set = 0;
  if (!list.outcome.violations.empty()) clear_violations(list);

  XppParamList_* outer = current_call;
  current_call = &list;
  fn(&list);
  current_call = outer;

  if (list.outcome.results_set != 1 || !list.containers.empty()) audit_end(list);
  return list.outcome;
}

CallResult call(ExportFn fn, const std::vector<Arg>& args) {
  Frame frame(args.size());
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].kind == Arg::Kind::kValue) {
      frame.set(i + 1, args[i].value);
    } else if (args[i].kind == Arg::Kind::kReference) {
      frame.set_reference(i + 1, *args[i].ref);
    }
  }
  return frame.invoke(fn);
}

void fail_con_new(int count) { con_new_failures = count; }
void fail_con_new_array(int count) { con_new_array_failures = count; }

int live_containers() { return live_count.load(); }

}  // namespace xpp
