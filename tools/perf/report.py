#!/usr/bin/env python3
"""Writes the performance report (Markdown) and the latency plot (PNG).

usage: report.py --out DIR [--bench FILE]... [--figures FILE] [--footprint FILE]
                 [--source TEXT]

Inputs are the JSON outputs of the benchmark programs (Google Benchmark's
--benchmark_format=json), of pexa-figures and of tools/footprint. Writes DIR/report.md
and DIR/latency.png. tools/perf-report runs everything and then this.
"""
import argparse
import datetime
import json
import os
import sys

sys.dont_write_bytecode = True  # no __pycache__ in the source tree
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import png_plot  # noqa: E402

KB = 1024

# Why an operation stands where it does against its alternative, shown when the ratio is
# far from 1 (below 0.67 or above 1.5).
BENCH_NOTES = {
    "copy 39 chars": "a copy shares the record and counts a reference; the standard string "
                     "allocates and copies once its text is past its inline buffer (15 characters).",
    "copy 39 wide chars": "as above; the 16-bit standard string's inline buffer holds 7 characters.",
    "assign string": "assignment shares the record (a reference count each way); the standard "
                     "string copies the characters into its own buffer.",
    "refill within class": "both reuse their block; the string class measures the text a character "
                           "at a time and checks that it does not come from its own record, the "
                           "standard string uses the C library's vectorised strlen and memcpy. "
                           "Kept: refills are rare in the programs and the texts short.",
    "refill within class wide": "as above, for 16-bit characters.",
    "format 13 chars": "the string class formats into a 128-character stack buffer and copies the "
                       "result into a new record (its one allocation); snprintf into a caller's "
                       "array allocates nothing.",
    "format 200 chars": "past 127 characters the first attempt fails and the text is formatted "
                        "again into a 256-character record, so the formatter runs twice, as the "
                        "measure-then-format standard string does. The programs format nothing "
                        "that long (the longest is a 28-character registry key), so nothing "
                        "was changed.",
    "format 128 chars": "the second formatting pass, one character past the stack buffer.",
    "format 127 chars": "one pass into the stack buffer and a copy into the result's record.",
    "table lookup": "the lookup scans the raw bytes of the file and builds only the value; the "
                    "stream-based parser builds a string per line and per name. Parsing into a "
                    "map first pays for every entry of the file, which a program with a handful "
                    "of lookups never gets back.",
    "language table": "the rows are matched in place and only the two matching codes are "
                      "converted (into records the selection already holds); the stream "
                      "version builds strings and streams for every row.",
    "device control idle read": "the round trip is the simulator's: it builds the request, its "
                                "system buffer and a trace event with the bytes as hex text "
                                "(the allocations). On Windows it is one system call. The five "
                                "port accesses themselves are the small part.",
    "device control no-op": "the fixed cost of the stand-in I/O manager per request.",
    "map code to key two-key": "no alternative: measured for its allocations (none, see below); "
                               "a few nanoseconds per code, once per 150 ms poll at most.",
    "map code to key four-key": "the same for the four-key mapping.",
}

# Promises of the support library and the tray program that allocation counts check:
# (benchmark name, what is promised, the most allocations per operation that keeps it).
PROMISES = [
    ("copy 39 chars/SStr", "a copy shares the record", 0),
    ("copy 39 wide chars/SWStr", "a copy shares the record (wide)", 0),
    ("assign string/SStr", "an assignment shares the record", 0),
    ("refill within class/SStr", "a refill within its capacity class reuses the record", 0),
    ("refill within class wide/SWStr", "the same for the wide class", 0),
    ("format 13 chars/SStr", "Format up to 127 characters: no heap beyond the result", 1),
    ("format 127 chars/SStr", "the same at 127 characters", 1),
    ("map code to key two-key/MapCodeTwoKeys", "the key mapping allocates nothing", 0),
    ("map code to key four-key/MapCodeFourKeys", "the same for the four-key mapping", 0),
    ("language table/ParseLanguageTable", "reading the built-in table reuses the selection's records", 0),
]


def load(path):
    with open(path) as f:
        return json.load(f)


# ---- benchmarks ----

def bench_rows(paths):
    """Benchmark results by name, per operation (time in ns, allocations, port accesses)."""
    rows = {}
    order = []
    for path in paths:
        for b in load(path).get("benchmarks", []):
            if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
                continue
            name = b.get("run_name", b["name"])
            scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[b.get("time_unit", "ns")]
            ops = b.get("ops", 1) or 1
            if name not in rows:
                order.append(name)
            rows[name] = {"ns": b["cpu_time"] * scale / ops,
                          "allocs": b.get("allocs", 0) / ops,
                          "ports": b.get("ports")}
    return rows, order


def fmt_ns(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.2f} µs"
    return f"{ns:.1f} ns"


def fmt_allocs(n):
    return "0" if abs(n) < 0.005 else f"{n:.2f}".rstrip("0").rstrip(".")


def bench_section(rows, order):
    groups = {}
    for name in order:
        operation, _, implementation = name.partition("/")
        groups.setdefault(operation, []).append((implementation, rows[name]))
    out = ["## 1. Benchmarks of the support library and the stand-in I/O manager", "",
           "Host build, CPU time per operation (median of the repetitions); *ratio* is the "
           "system's time over the alternative's (below 1: the system's is faster). "
           "Allocations are calls of the global operator new per operation. The string classes "
           "format through the host's vsnprintf here, in place of the Windows run-time's "
           "formatter (bench/counted_format.cpp), so that the figures are the classes' own.", "",
           "| operation | system's | time | allocs | alternative | time | allocs | ratio |",
           "|---|---|---:|---:|---|---:|---:|---:|"]
    notes = []
    for operation, entries in groups.items():
        ours_name, ours = entries[0]
        alternatives = entries[1:] or [("", None)]
        far = False
        for alt_name, alt in alternatives:
            if alt is None:
                out.append(f"| {operation} | {ours_name} | {fmt_ns(ours['ns'])} | "
                           f"{fmt_allocs(ours['allocs'])} | | | | |")
                continue
            ratio = ours["ns"] / alt["ns"] if alt["ns"] else float("inf")
            far = far or ratio < 0.67 or ratio > 1.5
            out.append(f"| {operation} | {ours_name} | {fmt_ns(ours['ns'])} | "
                       f"{fmt_allocs(ours['allocs'])} | {alt_name} | {fmt_ns(alt['ns'])} | "
                       f"{fmt_allocs(alt['allocs'])} | {ratio:.2f} |")
        if (far or alternatives[0][1] is None) and operation in BENCH_NOTES:
            notes.append(f"- **{operation}**: {BENCH_NOTES[operation]}")
    if notes:
        out += ["", "Where the ratio is far from 1:", ""] + notes
    port_rows = [(n, r) for n, r in rows.items() if r.get("ports") is not None]
    if port_rows:
        out += ["", "Port accesses per request in the round trips: " +
                ", ".join(f"{n} {r['ports']:.0f}" for n, r in port_rows) + "."]
    out += ["", "### Promises checked by allocation counts", "",
            "| promise | benchmark | allocations per operation | holds |", "|---|---|---:|---|"]
    for name, promise, most in PROMISES:
        if name not in rows:
            out.append(f"| {promise} | {name} | not measured | ? |")
            continue
        measured = rows[name]["allocs"]
        holds = "yes" if measured <= most + 0.005 else "**no**"
        limit = "none" if most == 0 else f"at most {most} (the result)"
        out.append(f"| {promise} ({limit}) | {name} | {fmt_allocs(measured)} | {holds} |")
    return out


# ---- figures of the simulated system ----

def ms(us):
    return f"{us / 1000:.3f} ms" if us < 10000 else f"{us / 1000:.2f} ms"


def latency_section(latency):
    bound = latency["bound_us"]
    air = latency["air_us"]
    out = ["### Button-to-key latency", "",
           f"{latency['presses']} presses at random times (to the nanosecond, 0.4 to 1.4 s apart) "
           f"with the tray program polling; latency is from the remote starting a code to the "
           f"key reaching the focused application. {latency['keys']} keys arrived, "
           f"{latency['wrong_keys']} of them wrong.", "",
           f"Design bound: the 150 ms poll plus the code's 3 bytes at 38400 baud = {ms(bound)}. "
           f"Physical limit: the 3 bytes' air time = {ms(air)}.", "",
           "| | latency | against the bound | against the physical limit |",
           "|---|---:|---:|---:|"]
    for key in ("min", "median", "p99", "max"):
        value = latency[key]
        out.append(f"| {key} | {ms(value)} | {value / bound:.3f} | {value / air:.1f} |")
    out += ["", "![latency distribution](latency.png)", "",
            "Every press stays within the bound; the fastest reach the physical limit (a poll "
            "that comes just as the last byte lands). The median is far from the physical limit "
            "(about half the poll period) because the program asks for a code only every 150 ms: "
            "the wait for the next poll is the latency, the driver's part is microseconds. "
            "Kept as designed: the period is the program's, and each idle poll costs the driver "
            "5 port accesses, so a shorter period buys latency with bus time on every poll."]
    return out


def lost_section(lost):
    capacity = 1e6 / lost["poll_period_us"] * lost["codes_per_poll"]
    rows = {}
    for row in lost["rows"]:
        rows.setdefault(row["per_second"], {})[row["pattern"]] = row

    def cell(row):
        if not row:
            return "|"
        share = row["lost"] / row["presses"] if row["presses"] else 0
        return (f"{row['lost']} of {row['presses']} ({share:.0%}) | "
                f"{row['misframed_reads']} / {row['overrun_bytes']}")

    out = ["### Codes lost as the press rate rises", "",
           f"{lost['seconds_per_rate']:.0f} s of presses at each rate, alternately PageUp and "
           f"PageDown codes. The program reads one code per poll: at most {capacity:.2f} codes "
           f"a second. The UART's {lost['fifo_bytes']}-byte receive FIFO holds 5 codes and a "
           f"byte; what comes while it is full is lost (overrun), and the reads after a loss "
           f"no longer line up with the codes (misframed: a read made of two codes).", "",
           "| presses per second | against the poll rate | even: lost | even: misframed reads / overrun bytes "
           "| random: lost | random: misframed reads / overrun bytes |",
           "|---:|---:|---:|---:|---:|---:|"]
    for rate in sorted(rows):
        out.append(f"| {rate:g} | {rate / capacity:.2f} | {cell(rows[rate].get('even'))} | "
                   f"{cell(rows[rate].get('random'))} |")
    out += ["", f"Evenly spaced presses lose nothing up to the poll rate ({capacity:.2f}/s) and "
            "lose the excess above it once the FIFO has filled. Random presses (a Poisson "
            "stream) overflow earlier: a burst of more than 5 codes within a few polls fills "
            "the FIFO even at lower average rates. A person presses a presentation remote far "
            "more slowly; the figure shows where the design's one-code-per-poll reading ends. "
            "Nothing was changed: reading more than one code per poll would change the "
            "program's behaviour."]
    return out


def driver_section(driver):
    idle = driver["idle_poll"]
    code = driver["code_poll"]
    cut = driver.get("cut_short")
    period_us = 150000

    def row(label, work, stat, against):
        ports = work["ports"][stat]
        time_us = work["time_us"][stat]
        return (f"| {label} | {ports:,.0f} | {time_us:,.1f} µs | {work['time_queries'][stat]:,.0f} | "
                f"{against(time_us)} |")

    out = ["### The driver's work per request", "",
           "Read-code requests of the latency run: port accesses (1 µs of bus time each), time "
           "from the request's first to its last port access, reads of the performance "
           "counter.", "",
           "| request | port accesses | time in the driver | clock reads | against |",
           "|---|---:|---:|---:|---|"]
    out.append(row(f"idle poll ({idle['ports']['count']} polls)", idle, "max",
                   lambda t: f"{t / period_us:.5%} of the 150 ms poll period"))
    out.append(row(f"poll finding a whole code (median of {code['ports']['count']})", code, "median",
                   lambda t: f"{t / 781.25:.3f} of the code's air time"))
    out.append(row("poll while the code is on the air (longest)", code, "max",
                   lambda t: f"{t / 781.25:.3f} of the code's air time"))
    if cut and cut["ports"]["count"]:
        out.append(row("code cut short after its first byte", cut, "max",
                       lambda t: f"{t / cut['window_us']:.4f} of the 40 ms receive window"))
    out += ["", "An idle poll makes 5 port accesses: the configuration cycle that reads the "
            "UART base from register 0x25 (enter, index, data, exit) and one line-status read; "
            "it reads no clock. A poll that finds a whole code adds three line-status and three "
            "data reads. Only a code that is still arriving makes the driver wait, for at most "
            "the rest of its air time. A code cut short holds the request for the whole 40 ms "
            "window, polling the line status all the while: that is the bound by design, paid "
            "only for a broken code."]
    return out


def simulator_section(sim):
    return ["### The simulator's own speed", "",
            f"{sim['virtual_s'] / 60:.0f} minutes of use (the tray program polling, "
            f"{sim['presses']} presses, {sim['polls']} requests, {sim['events']} trace events) "
            f"took {sim['wall_s']:.2f} s: **{sim['virtual_per_wall']:,.0f} virtual seconds per "
            f"wall second**. Time is discrete-event: a 150 ms wait costs nothing, so the run "
            f"costs about {sim['wall_s'] * 1e6 / max(sim['polls'], 1):.0f} µs of host time per "
            f"poll (request, port accesses and trace event)."]


def figures_section(figures):
    out = ["## 2. Figures of the system (pexa-sim, virtual time)", "",
           "Scenarios built by pexa-figures (seed " + str(figures.get("seed", "?")) + "); "
           "deterministic except for the simulator's speed.", ""]
    out += latency_section(figures["latency"]) + [""]
    out += lost_section(figures["lost_codes"]) + [""]
    out += driver_section(figures["driver"]) + [""]
    out += simulator_section(figures["simulator"])
    return out


# ---- footprint ----

ORIGIN_ORDER = ["product", "C++ run-time", "C start-up", "import stubs", "resources"]


def footprint_section(entries):
    out = ["## 3. Footprint of the win32 deliverables", "",
           "| file | size | limit | share of the limit | code | read-only data | unwind tables | "
           "resources | imports |", "|---|---:|---:|---:|---:|---:|---:|---:|---|"]
    for e in entries:
        if e.get("missing"):
            out.append(f"| {e['file']} | missing | {e['limit'] // KB} KB | | | | | | |")
            continue
        s = e["sections"]
        imports = ", ".join(f"{dll} {len(fns)}" for dll, fns in e["imports"].items())
        out.append(f"| {e['file']} | {e['size']:,} | {e['limit'] // KB} KB | "
                   f"{e['size'] / e['limit']:.0%} | {s.get('.text', 0):,} | "
                   f"{s.get('.rdata', 0):,} | {s.get('.eh_fram', s.get('.eh_frame', 0)):,} | "
                   f"{s.get('.rsrc', 0):,} | {imports} |")
    out += ["", "Sizes in bytes; imports as DLL and number of functions.", "",
            "What they contain (section bytes by origin, from the linker maps):", ""]
    for e in entries:
        if e.get("missing") or "by_origin" not in e:
            continue
        parts = []
        for origin in ORIGIN_ORDER:
            kinds = e["by_origin"].get(origin)
            if kinds:
                parts.append(f"{origin} {sum(kinds.values()):,}")
        out.append(f"- **{e['file']}**: " + ", ".join(parts) + ". Largest parts: " +
                   ", ".join(f"{m} {n:,}" for m, n in e["biggest"][:4]) + ".")
    out += ["", "Why: the programs link the C++ run-time statically (no Windows machine has "
            "this compiler's run-time DLL) and keep exceptions, which the string classes throw (`SExcept`, "
            "`std::bad_alloc`); the unwinder and the exception support are most of the "
            "run-time's part. The C start-up comes from the toolchain; the C library itself is "
            "the system's msvcrt.dll. The driver links nothing but libgcc's 64-bit division, for "
            "the receive window's arithmetic.", "",
            "What was done (cmake/pexa.cmake; sizes measured on the same objects when the "
            "change was made):", "",
            "- Every Windows image is linked with `-s`. The programs already were; the driver "
            "carried its symbol table: 18,050 bytes went to 9,728 (limit 16 KB).",
            "- On the win32 deliverables `std::terminate`'s default handler is bound to `abort`. "
            "The handler prints the exception's type, and for that pulled in the C++ name "
            "demangler and, through it, the toolchain's own printf: 75 KB of each program. A GUI "
            "program has nowhere to print to, and the handler calls abort after printing anyway "
            "(checked on the x86_64 toolchain under Wine: both end with abort's exit code 3). "
            "The tray programs went from 167,936 to 90,624 bytes, the selector from 155,648 to "
            "78,336. (The 385 KB of the first build's tray program was its debugging "
            "information, before `-s`.)",
            "- Not done: `--gc-sections` (3 KB more, not worth a less ordinary link); dropping "
            "exceptions, or the unwinder they need (about 30 KB), would change behaviour."]
    return out


# ---- the plot ----

def latency_plot(latency, path):
    samples = [us / 1000 for us in latency["samples_us"]]
    bound_ms = latency["bound_us"] / 1000
    air_ms = latency["air_us"] / 1000
    bin_ms = 5
    x_max = 160
    bins = [0] * (x_max // bin_ms)
    for s in samples:
        bins[min(int(s // bin_ms), len(bins) - 1)] += 1
    y_max = max(bins) if bins else 1
    step = 10 if y_max <= 60 else 20 if y_max <= 120 else 50
    y_top = (y_max // step + 1) * step

    width, height = 900, 500
    left, right, top, bottom = 70, 20, 110, 60
    c = png_plot.Canvas(width, height)
    plot_w = width - left - right
    plot_h = height - top - bottom

    def px(x_ms):
        return left + round(x_ms / x_max * plot_w)

    def py(count):
        return top + plot_h - round(count / y_top * plot_h)

    for count in range(0, y_top + 1, step):
        c.line(left, py(count), left + plot_w, py(count), png_plot.GREY)
        label = str(count)
        c.text(left - 8 - c.text_width(label, 2), py(count) - 7, label, scale=2)
    bar = (90, 120, 170)
    for i, count in enumerate(bins):
        if count:
            c.rect(px(i * bin_ms) + 1, py(count), px((i + 1) * bin_ms) - 1, py(0), bar)
    c.line(left, top, left, top + plot_h, png_plot.BLACK)
    c.line(left, top + plot_h, left + plot_w, top + plot_h, png_plot.BLACK)
    for x in range(0, x_max + 1, 20):
        c.line(px(x), top + plot_h, px(x), top + plot_h + 5, png_plot.BLACK)
        c.text(px(x) - c.text_width(str(x), 2) // 2, top + plot_h + 10, str(x), scale=2)
    c.text(left + plot_w // 2 - c.text_width("LATENCY (MS)", 2) // 2, height - 24, "LATENCY (MS)", scale=2)
    c.text(8, top - 24, f"PRESSES PER {bin_ms} MS", scale=2)

    markers = [(air_ms, (0, 150, 0), 0, "PHYSICAL LIMIT"),
               (latency["median"] / 1000, (30, 60, 220), 6, "MEDIAN"),
               (latency["p99"] / 1000, (230, 130, 0), 6, "P99"),
               (bound_ms, (210, 0, 0), 0, "DESIGN BOUND")]
    for x, colour, dash, _ in markers:
        for dx in (0, 1):
            c.line(px(x) + dx, top, px(x) + dx, top + plot_h, colour, dash=dash)
    title = f"BUTTON-TO-KEY LATENCY, {len(samples)} PRESSES AT RANDOM TIMES"
    c.text(left, 10, title, scale=2)
    for i, (value, colour, _, label) in enumerate(markers):
        x = left + (i % 2) * 400
        y = 38 + (i // 2) * 22
        c.rect(x, y, x + 16, y + 13, colour)
        c.text(x + 24, y, f"{label} {value:.2f} MS", scale=2)
    c.save(path)


# ---- main ----

def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True)
    parser.add_argument("--bench", action="append", default=[])
    parser.add_argument("--figures")
    parser.add_argument("--footprint")
    parser.add_argument("--source", default="")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    stamp = datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")
    lines = ["# Performance report", "",
             f"Written by tools/perf-report, {stamp}{(', ' + args.source) if args.source else ''}. "
             "Every figure is given against its alternative (a ratio) or against its bound.", ""]
    if args.bench:
        rows, order = bench_rows(args.bench)
        lines += bench_section(rows, order) + [""]
    else:
        lines += ["## 1. Benchmarks", "", "Not run (no benchmark programs).", ""]
    if args.figures:
        figures = load(args.figures)
        lines += figures_section(figures) + [""]
        latency_plot(figures["latency"], os.path.join(args.out, "latency.png"))
    if args.footprint:
        lines += footprint_section(load(args.footprint)) + [""]
    else:
        lines += ["## 3. Footprint", "", "Not measured (no win32 build).", ""]
    with open(os.path.join(args.out, "report.md"), "w") as f:
        f.write("\n".join(lines))


if __name__ == "__main__":
    main()
