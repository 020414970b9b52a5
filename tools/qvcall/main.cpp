// qvcall: runs call statements against the library, as an Xbase++ program calls it.
//
//   qvcall [-l LIBRARY] [-d] [-v] [-e STATEMENT]... [FILE]
//
// With -d the library is called as a program that loads it with DllLoad() calls it: each
// function through what the library registered with the run-time as it loaded, never found
// in the library itself.
// Statements come from -e arguments, else from FILE, else from standard input, one a
// line. Each prints its value on a line of its own; with -v, beside the statement itself,
// and comments are shown too. Exit status: 0; 1 when the
// run-time's audit found a violation; 2 for a usage or syntax error.
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "library_loader.h"
#include "xpprt/registered.h"
#include "script.h"

namespace {

int usage() {
  std::cerr << "usage: qvcall [-l LIBRARY] [-d] [-v] [-e STATEMENT]... [FILE]\n";
  return 2;
}

std::string strip_cr(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// The statement, then its value from a column of its own: what -v shows.
void print_beside(const std::string& statement, const std::string& value) {
  constexpr size_t kValueColumn = 56;
  std::cout << statement;
  std::cout << std::string(statement.size() < kValueColumn ? kValueColumn - statement.size() : 1,
                           ' ');
  std::cout << "-> " << value << "\n" << std::flush;
}

}  // namespace

int main(int argc, char** argv) {
  std::string library_path;
  std::vector<std::string> statements;
  std::string file;
  bool verbose = false;
  bool dll_load = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if ((arg == "-l" || arg == "-e") && i + 1 < argc) {
      (arg == "-l" ? library_path : statements.emplace_back()) = argv[++i];
    } else if (arg == "-v") {
      verbose = true;
    } else if (arg == "-d") {
      dll_load = true;
    } else if (arg == "-h" || arg == "--help" || !file.empty() ||
               (arg.size() > 1 && arg[0] == '-')) {
      return usage();
    } else {
      file = arg;
    }
  }
  if (!statements.empty() && !file.empty()) return usage();

  if (statements.empty()) {
    std::ifstream in;
    if (!file.empty()) {
      in.open(file, std::ios::binary);
      if (!in) {
        std::cerr << "qvcall: cannot read " << file << "\n";
        return 2;
      }
    }
    std::istream& source = file.empty() ? std::cin : in;
    for (std::string line; std::getline(source, line);) statements.push_back(strip_cr(line));
  }

  qvcall::Library library;
  std::string error;
  if (library_path.empty()) library_path = qvcall::default_library_path();
  if (!library.open(library_path, &error)) {
    std::cerr << "qvcall: cannot load " << library_path << ": " << error << "\n";
    return 2;
  }

  qvcall::Interpreter interpreter([&](const std::string& name) {
    return dll_load ? xpp::find_registered(name) : library.find(name);
  });
  size_t reported = 0;
  for (size_t n = 0; n < statements.size(); ++n) {
    try {
      qvcall::Statement st = qvcall::parse_statement(statements[n]);
      if (!st.expr) {
        if (verbose) std::cout << statements[n] << "\n";
        continue;
      }
      const std::string value = xpp::to_literal(interpreter.run(st));
      if (verbose) {
        print_beside(statements[n], value);
      } else {
        std::cout << value << "\n" << std::flush;
      }
    } catch (const qvcall::ScriptError& e) {
      std::cerr << "qvcall: line " << n + 1 << ": " << e.what() << "\n";
      return 2;
    }
    for (; reported < interpreter.violations().size(); ++reported)
      std::cerr << "qvcall: line " << n + 1 << ": audit: " << interpreter.violations()[reported]
                << "\n";
  }
  return interpreter.violations().empty() ? 0 : 1;
}
