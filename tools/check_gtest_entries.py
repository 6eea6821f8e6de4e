#!/usr/bin/env python3
"""Checks that every CTest entry of a build that runs a GoogleTest program reports skips.

An entry runs a GoogleTest program when one of its arguments starts with "--gtest". Such an
entry must either carry a SKIP_REGULAR_EXPRESSION (so that a program whose tests all skipped
shows as skipped, cmake/GoogleTest.cmake) or fail on a skip (a FAIL_REGULAR_EXPRESSION that
names "SKIPPED": the code page entries, which run or fail). Reads `ctest --show-only=json-v1`
of the build folder given as the first argument (with the ctest given as the second); prints every entry that does neither and exits
with 1, or exits with 0.
"""
import json
import subprocess
import sys


def properties(test):
    return {entry["name"]: entry["value"] for entry in test.get("properties", [])}


def as_list(value):
    return value if isinstance(value, list) else [value]


def main(build, ctest):
    listing = subprocess.run([ctest, "--show-only=json-v1", "--test-dir", build],
                             check=True, capture_output=True, text=True).stdout
    tests = json.loads(listing)["tests"]
    missing = []
    checked = 0
    for test in tests:
        if not any(str(arg).startswith("--gtest") for arg in test.get("command", [])):
            continue
        checked += 1
        props = properties(test)
        if "SKIP_REGULAR_EXPRESSION" in props:
            continue
        if any("SKIPPED" in rx for rx in as_list(props.get("FAIL_REGULAR_EXPRESSION", []))):
            continue
        missing.append(test["name"])
    for name in missing:
        print(f"{name}: runs a GoogleTest program but neither reports nor fails on a skip")
    print(f"{checked} GoogleTest entries checked")
    return 1 if missing or checked == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else "ctest"))
