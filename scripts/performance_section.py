#!/usr/bin/env python3
"""Turns the outputs scripts/measure-performance collected into the markdown section of
docs/performance.md, and prints it or writes it between the file's two marker lines.

    scripts/performance_section.py RESULTS --app PROGRAM --bench BENCH --seconds N
        --startup-runs N [--quick] [--env NAME=VALUE]... [--write FILE]

RESULTS holds, per measurement NAME, NAME.cmd (the command), NAME.out (what it printed),
NAME.rc (its exit status) and NAME.load (the load average before it); bench.json with the
benchmarks' output, or bench.missing when the benchmark was not built.
"""
import argparse
import datetime
import json
import os
import re
import statistics
import subprocess
import sys

BEGIN = "<!-- measured: begin -->"
END = "<!-- measured: end -->"

# The budgets, in the units the figures are given in.
STARTUP_MS = 300
RSS_MIB = 80
CPU_STATIC_HIDDEN = 1.0
CPU_STATIC_SHOWN = 2.0
KEYBOARD_FRAME_SHARE = 90
BENCH_RATIO = 1.2
# The frame timer waits this long after a frame before the next one goes out (on a cable).
FRAME_TIMER_MS = 5

DEVICE_TYPES = {1: "keyboard", 2: "mouse", 3: "pad", 7: "headset"}
LIGHTS = [
    ("static", "static light on every device"),
    ("factory", "factory effects"),
    ("music", "music lighting on the keyboard, factory effects on the others"),
]
WINDOWS = [("hidden", "hidden (tray)"), ("mouse", "shown, mouse page"),
           ("keyboard", "shown, keyboard page")]


class Results:
    def __init__(self, folder):
        self.folder = folder

    def text(self, name, default=None):
        try:
            with open(os.path.join(self.folder, name), encoding="utf-8", errors="replace") as f:
                return f.read().strip()
        except FileNotFoundError:
            return default

    def has(self, name):
        return os.path.exists(os.path.join(self.folder, name))

    def run(self, name):
        """(command, output, exit status, load average before it), or None if not run."""
        command = self.text(name + ".cmd")
        if command is None:
            return None
        return command, self.text(name + ".out", ""), int(self.text(name + ".rc", "1")), \
            self.text(name + ".load", "?")


def code(text):
    return "`" + text.replace("`", "'") + "`"


def cell(text):
    return str(text).replace("|", "\\|").replace("\n", " ")


def table(header, rows):
    lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
    lines += ["| " + " | ".join(cell(c) for c in row) + " |" for row in rows]
    return lines


def met(ok):
    if ok is None:
        return "not measured"
    return "yes" if ok else "**no**"


def failure(run):
    command, output, rc, _ = run
    last = [line for line in output.splitlines() if line.strip()][-3:]
    said = "; ".join(last) if last else "nothing printed"
    return f"{code(command)} failed (exit {rc}): {said}"


def shell(args, cwd=None):
    try:
        return subprocess.run(args, cwd=cwd, capture_output=True, text=True,
                              check=True).stdout.strip()
    except (OSError, subprocess.CalledProcessError):
        return None


def fmt_ms(value):
    return "—" if value is None else f"{value:.0f}"


# ---- Machine ----

def machine(results, args):
    cpu = "?"
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    memory = "?"
    try:
        with open("/proc/meminfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("MemTotal:"):
                    memory = f"{int(line.split()[1]) / 1024 / 1024:.1f} GiB"
                    break
    except OSError:
        pass
    debian = results_file("/etc/debian_version") or "?"
    qt = None
    qt_from = None
    for package in ("qt6-base-dev", "libqt6core6"):
        qt = shell(["dpkg-query", "-W", "-f", "${Version}", package])
        if qt:
            qt_from = f"dpkg-query -W -f '${{Version}}' {package}"
            break
    tree = os.path.dirname(os.path.abspath(args.app))
    # Noted by measure-performance while it measured; else the tree as it is now.
    commit = results.text("commit")
    if commit is None:
        commit = shell(["git", "-C", tree, "log", "-1", "--format=%h %s (%ci)"])
        if commit is None:
            commit = "unknown: the program is not in a git work tree"
        elif shell(["git", "-C", tree, "status", "--porcelain", "--untracked-files=no"]):
            commit += ", with changes not committed"
    try:
        built = datetime.datetime.fromtimestamp(os.path.getmtime(args.app), datetime.timezone.utc)
        program = f"{args.app}, file time {built:%Y-%m-%d %H:%M} UTC"
    except OSError:
        program = args.app
    rows = [
        ["cores", shell(["nproc"]) or "?", code("nproc")],
        ["CPU", cpu, code("grep -m1 'model name' /proc/cpuinfo")],
        ["memory", memory, code("grep MemTotal /proc/meminfo")],
        ["Debian", debian, code("cat /etc/debian_version")],
        ["Qt", qt or "?", code(qt_from or "dpkg-query -W qt6-base-dev")],
        ["commit measured", commit, code("git log -1") + " in the program's tree"],
        ["program", program, "MORVA_APP"],
        ["date", results.text("date", "?"), code("date -u")],
        ["load average (1, 5, 15 min)",
         f"{results.text('load-start', '?')} at the start, {results.text('load-end', '?')} at the end",
         code("cat /proc/loadavg")],
    ]
    return table(["What", "Value", "From"], rows)


def results_file(path):
    try:
        with open(path, encoding="utf-8") as f:
            return f.read().strip()
    except OSError:
        return None


# ---- Benchmarks ----

TO_MS = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}
# Suffixes Google Benchmark adds to a name for the options a benchmark was registered with.
NAME_SUFFIX = re.compile(
    r"(/(real_time|manual_time|process_time|iterations:\d+|repeats:\d+|threads:\d+"
    r"|min_time:[\d.]+s?|min_warmup_time:[\d.]+s?))+$")


def bench_rows(data):
    """One (name, entry) per benchmark: its median aggregate where repetitions made one,
    else its first run."""
    chosen = {}
    order = []
    for entry in data.get("benchmarks", []):
        name = entry.get("run_name") or entry.get("name", "?")
        if name not in chosen:
            order.append(name)
            chosen[name] = entry
        elif entry.get("aggregate_name") == "median":
            chosen[name] = entry
    return [(NAME_SUFFIX.sub("", name), chosen[name]) for name in order]


def number(entry, key):
    value = entry.get(key)
    return float(value) if isinstance(value, (int, float)) else None


def benchmarks(results, args):
    """The section's lines, and (met, total) for the summary, or None."""
    if results.has("bench.missing"):
        return [f"The benchmark was not built ({code(args.bench)} is missing): no figures."], None
    command = results.text("bench.cmd", args.bench + " --benchmark_format=json")
    lines = [code(command) + ", load average " + results.text("bench.load", "?") + " before it:", ""]
    rc = int(results.text("bench.rc", "1"))
    try:
        data = json.loads(results.text("bench.json", ""))
    except json.JSONDecodeError:
        data = None
    if rc != 0 or data is None:
        err = [l for l in results.text("bench.err", "").splitlines() if l.strip()][-3:]
        lines = [f"{code(command)} failed (exit {rc}): " + ("; ".join(err) or "no JSON printed")]
        return lines, (0, 1)
    rows = []
    good = 0
    compared = 0
    for name, entry in bench_rows(data):
        if entry.get("error_occurred"):
            rows.append([name, "error: " + str(entry.get("error_message", "")), "", "", "", "", "**no**"])
            compared += 1
            continue
        time = number(entry, "real_time")
        unit = entry.get("time_unit", "ns")
        time_ms = time * TO_MS.get(unit, 1e-6) if time is not None else None
        minimum = number(entry, "minimum_ms")
        ratio = number(entry, "ratio")
        if ratio is None and time_ms is not None and minimum:
            ratio = time_ms / minimum
        reports = number(entry, "reports")
        sleeps = number(entry, "sleep_ms")
        # An operation that moves no report has no minimum to be measured against.
        idle_link = minimum == 0 and not reports
        if idle_link:
            ratio = None
        else:
            compared += 1
        ok = ratio is not None and ratio <= BENCH_RATIO
        good += ok
        rows.append([
            name,
            "—" if time_ms is None else f"{time_ms:.2f}",
            "—" if minimum is None else f"{minimum:.2f}",
            "—" if ratio is None else f"{ratio:.2f}",
            "—" if reports is None else f"{reports:.0f}",
            "—" if sleeps is None else f"{sleeps:.0f}",
            "— (no reports)" if idle_link else "yes" if ok else "**no**",
        ])
    if not rows:
        return lines[:-1] + ["", "The benchmark ran but reported no benchmarks."], (0, 1)
    lines += table(["Operation", "Time ms", "Minimum ms", "Ratio", "Reports",
                    "Mandated sleeps ms", f"≤ {BENCH_RATIO}"], rows)
    lines += ["", "The minimum is what the protocol needs: the reports moved times the link's "
              "time per report, plus the sleeps it mandates; the ratio is the time over it."]
    return lines, (good, compared)


# ---- Start-up ----

RUN_LINE = re.compile(
    r"^run (\d+): mapped for good after (\d+) ms \((\d+) map\(s\) of the window\)"
    r"(?:, first frame after (-?\d+) ms)?"
    r"(?:, first device page \((\d+)\) filled after (-?\d+) ms \(read in (\d+) ms\)"
    r"|, no device page filled)?")


def startup(results):
    run = results.run("startup")
    if run is None:
        return ["Not measured."], None
    if run[2] != 0:
        return [failure(run)], None
    command, output, _, load = run
    runs = [m for m in (RUN_LINE.match(l) for l in output.splitlines()) if m]
    if not runs:
        return [f"{code(command)} printed no run."], None
    rows = []
    mapped, frames, pages = [], [], []
    for m in runs:
        mapped.append(int(m[2]))
        if m[4] is not None:
            frames.append(int(m[4]))
        if m[6] is not None:
            pages.append(int(m[6]))
        page = "none filled" if m[6] is None else \
            f"{m[6]} ({DEVICE_TYPES.get(int(m[5]), 'type ' + m[5])}, read in {m[7]} ms)"
        rows.append([m[1], m[2], m[3], m[4] or "—", page])

    def median(values):
        return statistics.median_low(values) if values else None

    rows.append(["**median**", f"**{median(mapped)}**", "", fmt_ms(median(frames)),
                 fmt_ms(median(pages))])
    lines = [f"{code(command)}, load average {load} before it: a private Xvfb at 1920 × 1080, "
             "all four devices simulated, a fresh home and data folder each run, the debug log "
             "on. Times are from starting the process, in ms.", ""]
    lines += table(["Run", "Window mapped for good", "Maps", "First frame painted",
                    "First device page filled"], rows)
    lines += ["", f"Budget: the window mapped within {STARTUP_MS} ms (median)."]
    return lines, median(mapped)


# ---- CPU, memory, frames ----

CPU_LINE = re.compile(r"^CPU over \d+ s, window .*: ([\d.]+) % of one core")
HELPER_LINE = re.compile(r"^the capture helper beside it: ([\d.]+) % of one core")
MEMORY_LINE = re.compile(r"^memory rss (\d+) KiB pss (\d+) KiB")
PIXELS_LINE = re.compile(r"^the window changed in (\S+) pixels")
FRAMES_LINE = re.compile(
    r"^frames sent to the (.+?): median (\d+) a second over (\d+) s \((\d+)\.\.(\d+)\); "
    r"link ([\d.]+) ms a frame, so (\d+) a second allowed: (\d+) %")


def idle(results, name):
    """The figures one measure-idle-cpu run printed, or None when it did not run."""
    run = results.run(name)
    if run is None:
        return None
    command, output, rc, load = run
    got = {"command": command, "load": load, "run": run, "ok": rc == 0, "frames": {}}
    for line in output.splitlines():
        if m := CPU_LINE.match(line):
            got["cpu"] = float(m[1])
        elif m := HELPER_LINE.match(line):
            got["helper"] = float(m[1])
        elif line.startswith("no capture helper was running"):
            got["helper"] = None
            got["no_helper"] = True
        elif m := MEMORY_LINE.match(line):
            got["rss"], got["pss"] = int(m[1]), int(m[2])
        elif m := PIXELS_LINE.match(line):
            try:
                got["pixels"] = f"{float(m[1]):,.0f}"
            except ValueError:
                got["pixels"] = m[1]
        elif m := FRAMES_LINE.match(line):
            got["frames"][m[1]] = {
                "median": int(m[2]), "seconds": int(m[3]), "low": int(m[4]), "high": int(m[5]),
                "link_ms": float(m[6]), "allowed": int(m[7]), "share": int(m[8])}
    if "cpu" not in got:
        got["ok"] = False
    return got


def cpu_budget(light, window):
    if light != "static":
        return None
    return CPU_STATIC_HIDDEN if window == "hidden" else CPU_STATIC_SHOWN


def cpu(results):
    rows = []
    failures = []
    budgets = []
    for light, light_text in LIGHTS:
        for window, window_text in WINDOWS:
            got = idle(results, f"cpu-{light}-{window}")
            if got is None:
                continue
            budget = cpu_budget(light, window)
            if not got["ok"]:
                failures.append(failure(got["run"]))
                rows.append([light_text, window_text, "failed", "", "", got["load"], "—",
                             code(got["command"])])
                if budget is not None:
                    budgets.append((light_text, window_text, None, budget))
                continue
            helper = got.get("helper")
            total = got["cpu"] + (helper or 0)
            rows.append([
                light_text, window_text, f"{got['cpu']:.2f}",
                "not running" if got.get("no_helper") else f"{helper:.2f}",
                got.get("pixels", "—") if window != "hidden" else "—",
                got["load"],
                "—" if budget is None else f"≤ {budget:g} %: {met(total <= budget)}",
                code(got["command"]),
            ])
            if budget is not None:
                budgets.append((light_text, window_text, total, budget))
    if not rows:
        return ["Not measured."], budgets
    lines = table(["Lighting", "Window", "Program %", "Capture helper %",
                   "Pixels changed in 0.3 s", "Load average before", "Budget (program + helper)",
                   "Command"], rows)
    lines += ["", "Percent of one core: the CPU time read from /proc over the window, after the "
              "program settled. The pixels are counted between two looks at the window after the "
              "measurement (0 for a still page). The music runs have the debug log on."]
    if failures:
        lines += [""] + [f"- {f}" for f in failures]
    return lines, budgets


def memory(results):
    rows = []
    shown_rss = None
    for name, what in (("cpu-factory-mouse", "shown, mouse page"),
                       ("cpu-factory-hidden", "hidden (tray)")):
        got = idle(results, name)
        if got is None or "rss" not in got:
            if got is not None:
                rows.append([what, "not measured", "", "", code(got["command"])])
            continue
        rss_mib = got["rss"] / 1024
        if name == "cpu-factory-mouse":
            shown_rss = rss_mib
        rows.append([
            what, f"{got['rss']:,} KiB ({rss_mib:.1f} MiB)",
            f"{got['pss']:,} KiB ({got['pss'] / 1024:.1f} MiB)",
            f"≤ {RSS_MIB} MiB: {met(rss_mib <= RSS_MIB)}" if name == "cpu-factory-mouse" else "—",
            code(got["command"]),
        ])
    if not rows:
        return ["Not measured."], None
    lines = ["The program's memory from /proc/PID/smaps_rollup at the end of the CPU window "
             "(factory profiles, four simulated devices):", ""]
    lines += table(["Window", "RSS", "PSS", "Budget (RSS)", "Command"], rows)
    return lines, shown_rss


def frames(results):
    rows = []
    shares = []
    sources = [("frames-factory", "factory effect, window hidden", ("mouse", "pad", "headset")),
               ("cpu-music-hidden", "music lighting, window hidden", ("keyboard",)),
               ("cpu-music-keyboard", "music lighting, keyboard page shown", ("keyboard",))]
    for name, what, devices in sources:
        got = idle(results, name)
        if got is None:
            continue
        for device in devices:
            f = got["frames"].get(device)
            keyboard = device == "keyboard"
            if f is None:
                said = "failed" if not got["ok"] else "not counted: the debug log has no frame count for it"
                rows.append([device, what, said, "", "", "", "", code(got["command"])])
                if keyboard:
                    shares.append((what, None))
                continue
            budget = "—"
            if keyboard:
                budget = f"≥ {KEYBOARD_FRAME_SHARE} %: {met(f['share'] >= KEYBOARD_FRAME_SHARE)}"
                shares.append((what, f["share"]))
            rows.append([
                device, what, f"{f['median']} ({f['low']}–{f['high']}, {f['seconds']} s)",
                f"{f['link_ms']:.1f}", str(f["allowed"]), f"{f['share']} %", budget,
                code(got["command"]),
            ])
    if not rows:
        return ["Not measured."], shares
    lines = table(["Device", "Lighting", "Frames a second (median, range, seconds counted)",
                   "Link ms a frame", "Allowed a second", "Share", "Budget", "Command"], rows)
    lines += ["", f"Allowed: 1 s / (the link's time per frame + the frame timer's {FRAME_TIMER_MS} ms "
              "wait), from the counts the debug log gives once a second. The keyboard on music "
              "lighting is sent a frame at every tick; the mouse and the pad only when their "
              "effect steps, so their share is the room left on the link rather than a shortfall."]
    return lines, shares


# ---- The section ----

def section(results, args):
    env = dict(e.split("=", 1) for e in args.env)
    startup_lines, startup_median = startup(results)
    bench_lines, bench_count = benchmarks(results, args)
    memory_lines, rss = memory(results)
    cpu_lines, cpu_budgets = cpu(results)
    frame_lines, shares = frames(results)

    summary = [["start-up: the window mapped for good (median)",
                "not measured" if startup_median is None else f"{startup_median} ms",
                f"≤ {STARTUP_MS} ms",
                met(None if startup_median is None else startup_median <= STARTUP_MS)],
               ["memory: RSS, window shown", "not measured" if rss is None else f"{rss:.1f} MiB",
                f"≤ {RSS_MIB} MiB", met(None if rss is None else rss <= RSS_MIB)]]
    for light_text, window_text, total, budget in cpu_budgets:
        summary.append([f"CPU (program + helper), {light_text}, {window_text}",
                        "failed" if total is None else f"{total:.2f} %", f"≤ {budget:g} %",
                        met(None if total is None else total <= budget)])
    for what, share in shares:
        summary.append([f"keyboard frames, {what}, of the allowed rate",
                        "not measured" if share is None else f"{share} %",
                        f"≥ {KEYBOARD_FRAME_SHARE} %",
                        met(None if share is None else share >= KEYBOARD_FRAME_SHARE)])
    if bench_count is None:
        summary.append(["benchmarks within 1.2 × the protocol minimum", "not built",
                        "all", "not measured"])
    else:
        good, total = bench_count
        summary.append(["benchmarks within 1.2 × the protocol minimum", f"{good} of {total}",
                        "all", met(good == total)])

    minutes = int(results.text("duration", "0")) / 60
    kind = (f"a quick run ({args.seconds} s windows, {args.startup_runs} start-up runs): "
            "a try, not figures to keep" if args.quick else
            f"{args.seconds} s CPU windows, {args.startup_runs} start-up runs")
    lines = [f"Measured {results.text('date', '?')}, {kind}; the run took {minutes:.0f} min.", ""]
    if env:
        lines += ["Every command ran from the repository's top folder with " +
                  ", ".join(code(f"{k}={v}") for k, v in env.items()) + ".", ""]
    else:
        lines += ["Every command ran from the repository's top folder.", ""]
    lines += ["### Summary", ""] + table(["Figure", "Measured", "Budget", "Met"], summary)
    lines += ["", "### Machine", ""] + machine(results, args)
    lines += ["", "### Protocol benchmarks", ""] + bench_lines
    lines += ["", "### Start-up", ""] + startup_lines
    lines += ["", "### Memory", ""] + memory_lines
    lines += ["", "### CPU", ""] + cpu_lines
    lines += ["", "### Lighting frames against what the link allows", ""] + frame_lines
    return "\n".join(lines) + "\n"


def write(path, text):
    with open(path, encoding="utf-8") as f:
        old = f.read()
    lines = old.split("\n")
    try:
        begin = lines.index(BEGIN)
        end = lines.index(END)
    except ValueError:
        sys.exit(f"performance_section: {path} needs the lines {BEGIN} and {END}")
    if end < begin:
        sys.exit(f"performance_section: in {path} {END} comes before {BEGIN}")
    new = "\n".join(lines[:begin + 1]) + "\n" + text + "\n".join(lines[end:])
    temp = path + ".new"
    with open(temp, "w", encoding="utf-8") as f:
        f.write(new)
    os.replace(temp, path)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("results")
    parser.add_argument("--app", required=True)
    parser.add_argument("--bench", required=True)
    parser.add_argument("--seconds", type=int, required=True)
    parser.add_argument("--startup-runs", type=int, required=True)
    parser.add_argument("--quick", action="store_true")
    parser.add_argument("--env", action="append", default=[])
    parser.add_argument("--write")
    args = parser.parse_args()
    text = section(Results(args.results), args)
    if args.write:
        write(args.write, text)
    else:
        sys.stdout.write(text)


if __name__ == "__main__":
    main()
