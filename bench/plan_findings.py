#!/usr/bin/env python3
"""Reads a PostgreSQL server log written with auto_explain in JSON (every statement's plan)
and prints, for each distinct statement that reads a table growing with the shop's activity,
how its plan reads that table. A sequential scan of one of them is a finding: the statement
reads the whole table where an index should take it to its rows.

    plan_findings.py LOG    exit status 1 when there is a finding
"""
import json
import re
import sys

# The tables that grow with every credit, voucher and sale.
MOVEMENT_TABLES = {"movpontocons", "vouchervnd", "itfidelidade", "venda", "itvenda", "movcaixa",
                   "vendacancelada", "itvendacancelada"}
# A new record of the log begins with its time stamp.
RECORD = re.compile(r"^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d")


def plans(lines):
    """The JSON document of each logged plan."""
    doc = None
    for line in lines:
        if RECORD.match(line):
            if doc is not None:
                yield "".join(doc)
            doc = [] if line.rstrip().endswith("plan:") else None
        elif doc is not None:
            doc.append(line)
    if doc is not None:
        yield "".join(doc)


def scans(node):
    """(node type, index, table) of every scan in a plan tree."""
    if "Relation Name" in node:
        yield node["Node Type"], node.get("Index Name", ""), node["Relation Name"].lower()
    for child in node.get("Plans", []):
        yield from scans(child)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8", errors="replace") as f:
        docs = list(plans(f))
    seen = {}
    for doc in docs:
        try:
            entry = json.loads(doc)
        except ValueError:
            continue
        query = " ".join(entry.get("Query Text", "").split())
        found = [s for s in scans(entry["Plan"]) if s[2] in MOVEMENT_TABLES]
        if found and query not in seen:
            seen[query] = found
    findings = 0
    for query, found in seen.items():
        whole = any("Seq Scan" in kind for kind, _, _ in found)
        findings += whole
        print(("FINDING  " if whole else "ok       ") + query[:160])
        for kind, index, table in found:
            print(f"           {kind} on {table}" + (f" using {index}" if index else ""))
    print(f"{len(docs)} plans read, {len(seen)} statements read movement tables, {findings} scan one whole")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
