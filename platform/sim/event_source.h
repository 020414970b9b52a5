// Where the events of a Windows Vista+ query come from: a channel (a classic log of the
// simulation, or a channel served from an .evtx file) or a log file (.evtx, or a classic
// .evt backup). Call everything here with lock() held.
#ifndef QUORVEL_SIM_EVENT_SOURCE_H
#define QUORVEL_SIM_EVENT_SOURCE_H

#include <pugixml.hpp>

#include <memory>
#include <string>
#include <vector>

#include "windows_sim.h"

namespace qvsim::detail {

class EventSource {
 public:
  virtual ~EventSource() = default;
  // The events it holds, oldest first.
  virtual size_t size() const = 0;
  // The event at that index as its XML document; the Windows error when it cannot be read.
  virtual DWORD load(size_t index, pugi::xml_document* doc) = 0;
};

// The channel of that name (ignoring case); 15007 when there is none, 5 for Security when
// the process is no administrator's.
DWORD open_channel(const std::string& name, std::unique_ptr<EventSource>* source);

// The channel's events with record ids above `after` (a classic log's alone; a channel served
// from a file gives all of its events), and the record ids of its oldest and newest events
// (a classic log that is empty: the next number, and the one before it). Errors as
// open_channel.
DWORD open_channel_after(const std::string& name, uint64_t after,
                         std::unique_ptr<EventSource>* source);
DWORD channel_span(const std::string& name, uint64_t* oldest, uint64_t* newest);

// The record id of an event; 0 when it has none.
uint64_t record_id(const pugi::xml_document& doc);

// The log file at that path (a path of the calling process); 2 when there is none, 1500
// when it is no log file that can be read.
DWORD open_log_file(const std::string& path, std::unique_ptr<EventSource>* source);

// The names of all channels, as the channel enumeration lists them.
std::vector<std::string> channel_names();

}  // namespace qvsim::detail

#endif
