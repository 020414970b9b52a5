// The host side of the stand-in Xbase++ run-time: how tests and qvcall call an export
// the way an Xbase++ program does, and what the run-time's audit found in that call.
#ifndef QUORVEL_XPPRT_HOST_H
#define QUORVEL_XPPRT_HOST_H

#include <string>
#include <vector>

#include "host/xpp_api.h"
#include "xpprt/api.h"
#include "xpprt/value.h"

namespace xpp {

// An export of the library: C calling convention, the parameter list as its only argument.
typedef void(XPP_CDECL* ExportFn)(XppParamList);

// One actual parameter of a call.
struct XPPRT_API Arg {
  enum class Kind { kAbsent, kValue, kReference };
  Kind kind = Kind::kAbsent;
  Value value;           // kValue
  Value* ref = nullptr;  // kReference: the caller's variable

  Arg() = default;
  Arg(Value v) : kind(Kind::kValue), value(std::move(v)) {}  // NOLINT: implicit by design
};

XPPRT_API Arg absent();
XPPRT_API Arg by_ref(Value& variable);

struct XPPRT_API CallResult {
  Value value;                          // the call's result (NIL when none was set)
  int results_set = 0;                  // how many times the export set a result
  std::vector<std::string> violations;  // what the audit found; empty for a clean call
};

// Calls the export with the parameters, then audits the call: exactly one result set,
// every container created by the export released, no use of a released container, no
// store into a parameter that was not passed by reference.
XPPRT_API CallResult call(ExportFn fn, const std::vector<Arg>& args);

// A parameter list kept for many calls, as the Xbase++ virtual machine keeps its frames:
// set the parameters, invoke, read the result, set again. Each invocation is audited like
// call(). Not to be shared between threads.
class XPPRT_API Frame {
 public:
  explicit Frame(size_t parameters);
  ~Frame();
  Frame(const Frame&) = delete;
  Frame& operator=(const Frame&) = delete;

  void set(size_t index, Value value);  // 1-based; by value
  void set_reference(size_t index, Value& variable);
  void set_absent(size_t index);
  // The by-value parameter, to change it in place; std::out_of_range for an index outside.
  Value& value(size_t index) {
    if (index - 1 >= count_) index_out_of_range();
    return values_[index - 1];
  }

  // Runs the export; the result and the audit's findings stay valid until the next call.
  const CallResult& invoke(ExportFn fn);

 private:
  [[noreturn]] static void index_out_of_range();

  XppParamList_* list_;
  Value* values_;  // the list's values, which stay in place for the frame's life
  size_t count_;
};

// Makes the next `count` calls of _conNew or _conNewArray return no container.
XPPRT_API void fail_con_new(int count);
XPPRT_API void fail_con_new_array(int count);

// The error codes of the container operations, which return 0 for success: a handle that is
// not a live container of the call, and an element the array does not have (or a container
// of another type than the operation takes).
constexpr XPPAPIRET kConErrorHandle = 1;
constexpr XPPAPIRET kConErrorIndex = 2;

// The flags of the type words the run-time hands out, which differ between the generations
// of Xbase++. The run-time acts as 1.9 and later unless the environment variable
// QVXPP_VERSION names an earlier version (such as 1.82) when it starts.
struct TypeWords {
  bool before_19;
  ULONG reference;   // a parameter passed by reference
  ULONG memo;        // a memo's whole type word
  ULONG floating;    // a number with a fraction
  ULONG past_count;  // a parameter past the number of parameters
};
XPPRT_API const TypeWords& type_words();

// The calling thread's character set from now on: OEM or ANSI (_conCharSetIsOem), as SET
// CHARSET sets it in an Xbase++ thread.
XPPRT_API void set_thread_charset(bool oem);

// Makes the calling thread's conversions between the code pages (_conToAnsiCp,
// _conToOemCp) fail from the one after the next `skip` on, until it is called again with a
// negative `skip`.
XPPRT_API void fail_conversions(int skip);

// Containers alive right now (created by an export and not yet released), all threads.
XPPRT_API int live_containers();

}  // namespace xpp

#endif
