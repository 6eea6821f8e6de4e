#!/usr/bin/env python3
"""The setup's firewall rules, read from makensis's listing of the compiled script (-V4).

Wine has no firewall, so what can be checked here is the commands themselves: following the
calls from the install section, the setup deletes any earlier rules and adds one rule per
program (inbound UDP 5350 from the local subnet, for the installed program's path); from the
uninstall section it deletes rules of exactly the names it adds, so none is left behind.

  check_firewall_rules.py LISTING
"""
import re
import shlex
import sys

PROGRAMS = {"QuorinFree.exe", "TLDDNSService.exe"}
RULE = {"dir": "in", "action": "allow", "protocol": "UDP", "localport": "5350",
        "remoteip": "localsubnet", "enable": "yes"}


def blocks(lines):
    """Section and function names to the calls and netsh commands inside them, in order."""
    found, current = {}, None
    for line in lines:
        start = re.match(r'(?:Section|Function): "([^"]*)"', line)
        if start:
            current = found.setdefault(start.group(1), [])
        elif line.startswith(("SectionEnd", "FunctionEnd")):
            current = None
        elif current is not None:
            call = re.match(r'Call "([^"]*)"', line)
            if call:
                current.append(("call", call.group(1)))
            elif "netsh.exe" in line and "advfirewall" in line:
                words = shlex.split(line.split("ExecToLog", 1)[1].replace("\\", "/"))
                current.append(("netsh", words[1:]))
    return found


def commands(found, name, depth=0):
    if depth > 20 or name not in found:
        return []
    out = []
    for kind, what in found[name]:
        out.extend(commands(found, what, depth + 1) if kind == "call" else [what])
    return out


def main():
    found = blocks(open(sys.argv[1], encoding="utf-8", errors="replace").read().splitlines())
    faults = []
    install = commands(found, "-Program files")
    uninstall = commands(found, "Uninstall")
    added, deleted_first = {}, set()
    for words in install:
        options = dict(w.split("=", 1) for w in words if "=" in w)
        if words[:4] == ["advfirewall", "firewall", "delete", "rule"]:
            if not added:
                deleted_first.add(options.get("name"))
        elif words[:4] == ["advfirewall", "firewall", "add", "rule"]:
            added[options.get("name")] = options
            for key, value in RULE.items():
                if options.get(key, "").lower() != value.lower():
                    faults.append(f"rule {options.get('name')}: {key}={options.get(key)}")
    programs = {o.get("program", "").removeprefix("$INSTDIR/") for o in added.values()}
    if programs != PROGRAMS:
        faults.append(f"rules for {sorted(programs)}, expected {sorted(PROGRAMS)}")
    if deleted_first != set(added):
        faults.append(f"earlier rules deleted before adding: {sorted(deleted_first)}")
    removed = {dict(w.split("=", 1) for w in words if "=" in w).get("name")
               for words in uninstall if words[2:4] == ["delete", "rule"]}
    if removed != set(added):
        faults.append(f"the uninstaller deletes {sorted(removed)}, the setup adds {sorted(added)}")
    for fault in faults:
        print("FAULT:", fault)
    if not faults:
        print(f"firewall rules: {len(added)} added after deleting earlier ones, "
              f"the same {len(removed)} deleted by the uninstaller")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
