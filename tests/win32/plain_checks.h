// Plain checks for the Windows-side test programs: each failure is printed, and the
// program's exit status is the number of failures.
#ifndef QUORVEL_TESTS_WIN32_PLAIN_CHECKS_H
#define QUORVEL_TESTS_WIN32_PLAIN_CHECKS_H

#include <cstdio>
#include <string>

inline int failures = 0;

inline void check(bool ok, const std::string& what) {
  if (!ok) {
    ++failures;
    std::printf("FAILED: %s\n", what.c_str());
  }
}

// A text with its line breaks shown, for messages.
inline std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else {
      out += c;
    }
  }
  return out + "\"";
}

#endif
