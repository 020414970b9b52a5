// The event filters of the Windows Vista+ event log: the subset of XPath 1.0 the service
// accepts (the child and attribute axes, the names *, NAME and text(), and, or, the
// comparisons = != < <= > >=, parentheses, literals, numbers, and the functions position(),
// Band() and timediff()), evaluated over an event's XML.
#ifndef QUORVEL_SIM_EVENT_FILTER_H
#define QUORVEL_SIM_EVENT_FILTER_H

#include <pugixml.hpp>

#include <cstdint>
#include <memory>
#include <string>

namespace qvsim::detail {

struct FilterNode;

// An event selector, parsed once and matched against each event.
class EventFilter {
 public:
  EventFilter();
  ~EventFilter();
  EventFilter(EventFilter&&) noexcept;
  EventFilter& operator=(EventFilter&&) noexcept;

  // False when the text is not an event selector of the accepted subset.
  bool parse(const std::string& xpath);
  // Whether the event (its <Event> document) is selected; `now_ms` is the clock for
  // timediff(), in milliseconds since 1601.
  bool matches(const pugi::xml_document& event, uint64_t now_ms) const;

 private:
  std::unique_ptr<FilterNode> root_;
};

}  // namespace qvsim::detail

#endif
