#!/usr/bin/env python3
"""Turns the benchmarks' output into rows of one table (bench/run-all).

  report.py callgrind RESULTS BACKEND OFF.out ON.out TRACE
      the share of the execution protocol in a callgrind session, trace off
      and on, as rows appended to RESULTS
  report.py grid RESULTS grid_bench.json
      the medians of grid_bench against its isql, as rows appended to RESULTS
  report.py table RESULTS
      prints every row as one table
"""
import json
import re
import sys

# The execution protocol: the script guard and the trace writer. Script::call
# is left out: it runs the called function's own body.
PROTOCOL = re.compile(r"^rt::(Script::(?!call<)|TraceWriter::|\(anonymous namespace\)::describe|parseTraceClasses)")
# With the trace off, Script::line() is inlined into every handler: a call of
# TraceWriter::instance() and a load, test and branch of ours. Those three
# instructions are counted per call, as an estimate from above.
INLINE_CHECK = 3


def read_callgrind(path):
    """Instructions of the whole run, and per call edge (caller, callee) its
    inclusive instructions and number of calls."""
    names = {}
    edges = {}
    total = 0
    fn = cfn = None
    pending_call = None

    def name_of(field):
        m = re.match(r"\((\d+)\)(?: (.*))?$", field)
        if not m:
            return field
        if m.group(2) is not None:
            names[m.group(1)] = m.group(2)
        return names.get(m.group(1), field)

    with open(path, encoding="utf-8", errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("fn="):
                fn = name_of(line[3:])
            elif line.startswith("cfn="):
                cfn = name_of(line[4:])
            elif line.startswith("calls="):
                pending_call = int(line[6:].split()[0])
            elif line.startswith(("summary:", "totals:")):
                total = max(total, int(line.split()[1]))
            elif line and (line[0].isdigit() or line[0] in "+-*") and pending_call is not None:
                parts = line.split()
                cost = int(parts[1]) if len(parts) > 1 else 0
                calls, inclusive = edges.get((fn, cfn), (0, 0))
                edges[(fn, cfn)] = (calls + pending_call, inclusive + cost)
                pending_call = None
    return total, edges


def protocol_cost(path):
    """Instructions spent in the protocol, entered from anywhere else, and the
    inline checks on top; the run's total; the number of scripts run."""
    total, edges = read_callgrind(path)
    entered = 0
    instance_calls = 0
    scripts = 0
    for (caller, callee), (calls, inclusive) in edges.items():
        if not PROTOCOL.match(callee or ""):
            continue
        if callee.startswith("rt::Script::Script("):
            scripts += calls
        if PROTOCOL.match(caller or ""):
            continue
        entered += inclusive
        if callee.startswith("rt::TraceWriter::instance("):
            instance_calls += calls
    return entered + INLINE_CHECK * instance_calls, total, scripts


def append(results, rows):
    with open(results, "a", encoding="utf-8") as out:
        for row in rows:
            out.write("\t".join(row) + "\n")


def callgrind(results, backend, off_path, on_path, trace_path):
    off, off_total, scripts = protocol_cost(off_path)
    on, on_total, _ = protocol_cost(on_path)
    try:
        with open(trace_path, encoding="utf-8", errors="replace") as f:
            traced = sum(1 for _ in f)
    except OSError:
        traced = 0
    off_share = 100.0 * off / off_total
    on_share = 100.0 * on / on_total
    append(results, [
        ["Protocol, trace off: share of the session", backend, f"{off:,} Ir", "whole session", f"{off_total:,} Ir",
         f"{off_share:.4f} %", "< 0.5 %", "yes" if off_share < 0.5 else "NO",
         f"{scripts} scripts run; start, Search, View, Save, Close under callgrind"],
        ["Protocol, trace on: share of the session", backend, f"{on:,} Ir", "whole session", f"{on_total:,} Ir",
         f"{on_share:.3f} %", "", "",
         f"{traced} trace lines; the session took {on_total / off_total:.3f} x the instructions of trace off"],
    ])


def grid(results, path):
    with open(path, encoding="utf-8") as f:
        runs = {b["name"]: b["real_time"] for b in json.load(f)["benchmarks"] if b.get("aggregate_name") == "median"}
    isql = runs["isql/real_time_median"]
    rows = []
    for name, what in (("retrieve/long_address:0", "grid_bench: loader + model"),
                       ("retrieve/long_address:1", "grid_bench: the same, one long address"),
                       ("retrieve_filtered/long_answer:0", "grid_bench: with a criterion on Answer")):
        t = runs[name + "/real_time_median"]
        rows.append([what, "SQLite", f"{t:.1f} ms", "isql -b (same DSN)", f"{isql:.1f} ms", f"{t / isql:.2f} x", "", "",
                     "simple texts, no windows (" + name + ")"])
    append(results, rows)


def table(results):
    header = ["measure", "database", "ours", "against", "theirs", "result", "goal", "met", "notes"]
    with open(results, encoding="utf-8") as f:
        rows = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    rows = [r + [""] * (len(header) - len(r)) for r in rows]
    # The notes go below the table, numbered, so the table stays narrow.
    notes = []
    shown = []
    for r in rows:
        if r[8]:
            notes.append(r[8])
            r = r[:8] + [f"[{len(notes)}]"]
        else:
            r = r[:8] + [""]
        shown.append(r)
    widths = [max(len(header[i]), *(len(r[i]) for r in shown)) for i in range(len(header))]
    line = lambda cells: "| " + " | ".join(c.ljust(w) for c, w in zip(cells, widths)) + " |"
    print(line(header))
    print("|" + "|".join("-" * (w + 2) for w in widths) + "|")
    for r in shown:
        print(line(r))
    print()
    for i, note in enumerate(notes, 1):
        print(f"[{i}] {note}")


def main(argv):
    if len(argv) >= 3 and argv[1] == "table":
        table(argv[2])
    elif len(argv) == 7 and argv[1] == "callgrind":
        callgrind(*argv[2:])
    elif len(argv) == 4 and argv[1] == "grid":
        grid(argv[2], argv[3])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv)
