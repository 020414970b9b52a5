#!/usr/bin/env python3
"""Runs the qvcall sessions shown in the README and checks that qvcall prints what it shows.

A session is a fenced block opened with ```qvcall. Lines starting with "> " are statements;
the lines after a statement, up to the next statement, are what it prints. Each block runs
in a fresh qvcall process.
"""
import subprocess
import sys


def sessions(text):
    block, inside = [], False
    for line in text.splitlines():
        if line.strip() == "```qvcall":
            block, inside = [], True
        elif inside and line.strip() == "```":
            inside = False
            yield block
        elif inside:
            block.append(line)


def main():
    qvcall, readme = sys.argv[1], sys.argv[2]
    with open(readme, encoding="utf-8") as f:
        text = f.read()
    count, failures = 0, 0
    for block in sessions(text):
        count += 1
        statements = [line[2:] for line in block if line.startswith("> ")]
        expected = [line for line in block if not line.startswith("> ")]
        run = subprocess.run([qvcall], input="\n".join(statements) + "\n", text=True,
                             capture_output=True)
        actual = run.stdout.splitlines()
        if run.returncode != 0 or actual != expected:
            failures += 1
            print(f"session {count} ({statements[0] if statements else 'empty'}) differs:")
            print("  expected: " + repr(expected))
            print("  actual:   " + repr(actual))
            if run.stderr:
                print("  stderr:   " + run.stderr.strip())
    print(f"{count - failures} passed, {failures} failed")
    return 1 if failures or count == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
