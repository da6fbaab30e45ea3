#!/usr/bin/env python3
"""The controller's udev rule must open the board the program opens, and nothing else.

Usage: udev_rule_check.py RULES_FILE HEADER
HEADER holds kControllerDescription, the USB product string the program opens. Every rule
of RULES_FILE is parsed as udev parses it (KEY OP "VALUE", comma separated, one rule per
line, backslash continues a line); each one must match the USB subsystem and exactly that
product string, and may not give the device to everybody.
"""
import re
import sys

TOKEN = re.compile(r'\s*([A-Za-z_]+(?:\{[^}]*\})?)\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*(,|$)')
MATCH_OPS = ("==", "!=")
# Keys a rule may match on; anything else (KERNEL, DRIVERS, ...) could widen or move it.
ALLOWED_MATCHES = {"SUBSYSTEM", "ATTRS{idVendor}", "ATTRS{product}", "ENV{DEVTYPE}"}
ALLOWED_ASSIGNS = {"MODE", "GROUP", "TAG"}


def rules_of(text):
    rules, pending = [], ""
    for number, line in enumerate(text.splitlines(), 1):
        line = pending + line.strip()
        if line.endswith("\\"):
            pending = line[:-1] + " "
            continue
        pending = ""
        if line and not line.startswith("#"):
            rules.append((number, line))
    return rules


def parse(line):
    tokens, at = [], 0
    while at < len(line):
        m = TOKEN.match(line, at)
        if not m:
            raise ValueError(f"cannot parse from: {line[at:]!r}")
        tokens.append((m.group(1), m.group(2), m.group(3)))
        at = m.end()
    return tokens


def faults_of(tokens, product):
    faults = []
    matches = [(k, op, v) for k, op, v in tokens if op in MATCH_OPS]
    assigns = [(k, op, v) for k, op, v in tokens if op not in MATCH_OPS]
    for key, op, value in matches:
        if key not in ALLOWED_MATCHES:
            faults.append(f"matches on {key}, which the rule has no need of")
        if op == "!=":
            faults.append(f"{key}!=\"{value}\" matches every other device")
        if re.search(r"[*?\[|]", value):
            faults.append(f"{key}==\"{value}\" is a pattern, not one value")
    if ("SUBSYSTEM", "==", "usb") not in matches:
        faults.append('does not match SUBSYSTEM=="usb"')
    products = [v for k, op, v in matches if k == "ATTRS{product}" and op == "=="]
    if products != [product]:
        faults.append(f'does not match ATTRS{{product}}=="{product}" (the board the program opens): {products}')
    vendors = [v for k, op, v in matches if k == "ATTRS{idVendor}"]
    if any(v != "0403" for v in vendors):
        faults.append(f"names a vendor other than FTDI's 0403: {vendors}")
    for key, op, value in assigns:
        if key not in ALLOWED_ASSIGNS:
            faults.append(f"assigns {key}")
        elif key == "MODE" and (not re.fullmatch(r"0?[0-7]{3}", value) or int(value, 8) & 0o002):
            faults.append(f'MODE="{value}" lets everybody write to the device')
        elif key == "GROUP" and value != "plugdev":
            faults.append(f'gives the device to the group "{value}"')
        elif key == "TAG" and value != "uaccess":
            faults.append(f'tags the device "{value}"')
    return faults


def main():
    rules_file, header = sys.argv[1:3]
    m = re.search(r'kControllerDescription\s*=\s*"([^"]*)"', open(header, encoding="utf-8").read())
    if not m:
        sys.exit(f"FAIL: no kControllerDescription in {header}")
    product = m.group(1)
    rules = rules_of(open(rules_file, encoding="utf-8").read())
    if not rules:
        sys.exit(f"FAIL: {rules_file} holds no rule")
    failed = False
    for number, line in rules:
        try:
            faults = faults_of(parse(line), product)
        except ValueError as error:
            faults = [str(error)]
        for fault in faults:
            print(f"FAIL: {rules_file}:{number}: {fault}")
        failed = failed or bool(faults)
    if failed:
        sys.exit(1)
    print(f'ok: {len(rules)} rule(s), each only for the USB device "{product}"')


if __name__ == "__main__":
    main()
