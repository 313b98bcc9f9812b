"""Summarises what bench/pixgen_bench.exe and the builds left behind into
bench/results.md (scripts/bench runs this; the file is never edited by hand)."""
import argparse
import datetime
import os
import platform
import re
import statistics
import subprocess


def quantile(values, q):
    values = sorted(values)
    if not values:
        return float("nan")
    at = q * (len(values) - 1)
    low = int(at)
    high = min(low + 1, len(values) - 1)
    return values[low] + (values[high] - values[low]) * (at - low)


def machine():
    cpu = "unknown processor"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    return f"{cpu}, {os.cpu_count()} cores, {platform.system()} {platform.release()}"


STARTUP_PROGRAMS = (("pixgen", "PixGen"), ("twin", "mandatory twin"), ("bare", "bare window"))


def startup(runs):
    """Milliseconds of each program, and per round the milliseconds of each."""
    samples, rounds = {}, {}
    with open(os.path.join(runs, "startup.txt")) as f:
        for line in f:
            rnd, which, ms = line.split()
            samples.setdefault(which, []).append(float(ms))
            rounds.setdefault(rnd, {})[which] = float(ms)
    return samples, list(rounds.values())


def ratios(rounds, a, b):
    return [r[a] / r[b] for r in rounds if a in r and b in r]


def phases(runs):
    """Per phase, in the order of the marks: its end and its duration in each run (ms)."""
    by_run = {}
    with open(os.path.join(runs, "phases.txt")) as f:
        for line in f:
            run, phase, ms = line.split()
            by_run.setdefault(run, []).append((phase, float(ms)))
    order, ends, lengths = [], {}, {}
    for marks in by_run.values():
        previous = 0.0
        for phase, ms in marks:
            if phase not in order:
                order.append(phase)
            ends.setdefault(phase, []).append(ms)
            lengths.setdefault(phase, []).append(ms - previous)
            previous = ms
    return order, ends, lengths


def press_costs(path):
    """(cost without the library's time in µs, characters in the area before) of each press that succeeded."""
    costs = []
    with open(path) as f:
        for line in f:
            total, library, length, outcome = line.split()
            if outcome == "ok":
                costs.append((float(total) - float(library), int(length)))
    return costs


def by_answers(costs, answer_length, bucket=100, cleared=1000):
    """The costs grouped by how many answers the area held before the press."""
    groups = {}
    for cost, length in costs:
        answers = min(length // answer_length, cleared - 1) if answer_length else 0
        groups.setdefault(answers // bucket * bucket, []).append((cost, length))
    return groups


def holdings(runs):
    rows = []
    with open(os.path.join(runs, "holdings.txt")) as f:
        for line in f:
            moment, handles, gdi, user, private = line.split()
            rows.append((moment, int(handles), int(gdi), int(user), int(private)))
    return rows


def idle(runs):
    rows = []
    with open(os.path.join(runs, "idle.txt")) as f:
        for line in f:
            moment, cpu, wall = line.split()
            rows.append((moment, float(cpu), float(wall)))
    return rows


def size_parts(map_path):
    """Bytes each input contributes to the image's sections, from a GNU ld map."""
    parts = {}
    in_map = False
    pending = None
    section_line = re.compile(r"^ (\.\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    name_only = re.compile(r"^ (\.\S+)$")
    rest_line = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*)$")
    with open(map_path, errors="replace") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("Linker script and memory map"):
                in_map = True
                continue
            if not in_map:
                continue
            m = section_line.match(line)
            if m:
                section, size, source = m.group(1), int(m.group(3), 16), m.group(4)
            else:
                n = name_only.match(line)
                if n:
                    pending = n.group(1)
                    continue
                r = rest_line.match(line) if pending else None
                pending = None
                if not r:
                    continue
                section, size, source = None, int(r.group(2), 16), r.group(3)
            if size == 0 or source.startswith("*") or "load address" in source:
                continue
            if section is not None and section.startswith((".bss", ".debug", ".tls")):
                continue
            parts[classify(source)] = parts.get(classify(source), 0) + size
    return parts


LIBSTDCXX_STRINGS = re.compile(r"^(cow-)?(w?string|string-io|sso_string|cow-shim_facets|string_view)")
LIBSTDCXX_LOCALE = re.compile(r"(locale|ctype|codecvt|facets|messages|monetary|numeric|time_members|collate)")
LIBSTDCXX_EXCEPTIONS = re.compile(r"^(eh_|bad_|functexcept|(cow-)?stdexcept|system_error|future|ios_failure|"
                                  r"snprintf_lite|guard_error|vterminate|pure)")


def classify(source):
    base = os.path.basename(source.split("(")[0])
    member = source[source.index("(") + 1:source.rindex(")")] if "(" in source else ""
    if "style.rc.res" in source:
        return "house style: its packed data (resource WINDOWSCORVANTI)"
    if "pixgen.rc" in source:
        return "app resources (icon, manifest)"
    if "CMakeFiles/PixGen.dir" in source:
        return "app (start-up, application object)"
    if base in ("libpix_style.a", "libstyle_core.a"):
        return "house style: code (" + base[3:-2] + ")"
    for layer in ("pix_base", "pix_win", "pix_form", "pix_qr", "base_core", "form_core", "pixlib_core", "win_core",
                  "qr_core", "qrcodegen"):
        if base == f"lib{layer}.a":
            return f"{layer}"
    if base.startswith("libstdc++"):
        if LIBSTDCXX_STRINGS.match(member):
            return "C++ library: strings"
        if LIBSTDCXX_LOCALE.search(member):
            return "C++ library: locale"
        if LIBSTDCXX_EXCEPTIONS.match(member):
            return "C++ library: exceptions"
        return "C++ library: the rest (new and delete, type information, static guards, trees)"
    if base.startswith("libgcc_eh"):
        return "unwinder (libgcc_eh)"
    if base.startswith("libgcc"):
        return "compiler support (libgcc)"
    if base.startswith("libQuelvano"):
        return "Quelvano.dll import"
    if base.startswith(("libmingw", "libmsvcrt", "crt", "libmoldname", "libpthread", "libwinpthread")) or \
            base.endswith(".o") and "mingw" in source:
        return "MinGW C runtime start-up and helpers"
    if base.startswith("lib") and base.endswith(".a"):
        return "Windows import libraries"
    return "other (" + base + ")"


def fmt_bytes(n):
    return f"{n:,} B ({n / 1024:.1f} KiB)"


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--runs", required=True)
    p.add_argument("--win32", required=True)
    p.add_argument("--win64", required=True)
    p.add_argument("--wine", required=True)
    p.add_argument("--out", required=True)
    a = p.parse_args()

    out = []
    w = out.append
    w("# PixGen benchmarks")
    w("")
    w("Written by `scripts/bench`; never edit by hand.")
    w("")
    w(f"- Date: {datetime.datetime.now(datetime.timezone.utc).strftime('%Y-%m-%d %H:%M UTC')}")
    w(f"- Machine: {machine()}")
    w(f"- Wine: {a.wine}")
    try:
        rev = subprocess.run(["git", "rev-parse", "--short", "HEAD"], capture_output=True, text=True).stdout.strip()
        dirty = subprocess.run(["git", "status", "--porcelain", "--untracked-files=no"], capture_output=True,
                               text=True).stdout.strip()
        w(f"- Source: {rev}{' with uncommitted changes' if dirty else ''}")
    except OSError:
        pass
    w("- Programs: the x86_64 build under Wine (the i686 build runs only in the emulated tier)")
    w("")

    samples, rounds = startup(a.runs)
    w("## Start-up: CreateProcess to the first painted frame")
    w("")
    w(f"Each program in turn, {len(rounds)} rounds (the order turning), after one unmeasured start of each. "
      "The mandatory twin is the bare window plus exactly what every start of PixGen must do: OLE, the date "
      "classes and one date picker, the stand-in Quelvano.dll bound by import. Goal: PixGen ≤ 1.10 × the twin.")
    w("")
    w("| Program | median | min | quartiles | max |")
    w("|---|---|---|---|---|")
    for key, name in STARTUP_PROGRAMS:
        v = samples.get(key, [])
        if v:
            w(f"| {name} | {statistics.median(v):.1f} ms | {min(v):.1f} ms | "
              f"{quantile(v, .25):.1f}–{quantile(v, .75):.1f} ms | {max(v):.1f} ms |")
    w("")
    w("| Ratio, per round | median | quartiles |")
    w("|---|---|---|")
    for a_key, b_key, label in (("pixgen", "twin", "PixGen / mandatory twin"), ("pixgen", "bare", "PixGen / bare window"),
                                ("twin", "bare", "mandatory twin / bare window")):
        r = ratios(rounds, a_key, b_key)
        if r:
            w(f"| {label} | **{statistics.median(r):.3f}** | {quantile(r, .25):.3f}–{quantile(r, .75):.3f} |")
    w("")

    order, ends, lengths = phases(a.runs)
    w("### PixGen's start-up by phase")
    w("")
    w(f"{len(ends.get(order[0], []))} starts of the timed build (same sources, PIX_BENCH_TIMING), each phase from the end "
      "of the one before; \"loader\" runs from CreateProcess to wWinMain, \"first-paint\" to the loop's first idle "
      "pass; last, the first painted frame as the benchmark saw it.")
    w("")
    w("| Phase | median length | quartiles | median end |")
    w("|---|---|---|---|")
    for phase in order:
        if phase == "frame":
            continue
        v = lengths[phase]
        w(f"| {phase} | {statistics.median(v):.1f} ms | {quantile(v, .25):.1f}–{quantile(v, .75):.1f} ms | "
          f"{statistics.median(ends[phase]):.1f} ms |")
    if "frame" in ends:
        v = ends["frame"]
        w(f"| first painted frame, seen from outside | | | {statistics.median(v):.1f} ms "
          f"(quartiles {quantile(v, .25):.1f}–{quantile(v, .75):.1f}) |")
    w("")

    pixgen = press_costs(os.path.join(a.runs, "timings.txt"))
    bare = press_costs(os.path.join(a.runs, "bare-timings.txt"))
    answer_length = 0
    with open(os.path.join(a.runs, "answer.txt"), "rb") as f:
        answer_length = len(f.read()) // 2 + 4  # the answer, its line break and the empty line
    w("## Gerar: cost of one press against the bare press")
    w("")
    w(f"{len(pixgen)} presses of the timed PixGen, each followed by a press of the bare press (a bare multi-line edit "
      "made like the result area, the same texts appended the same way: select the end, replace the selection, "
      "twice, then scroll the caret into view), both areas cleared every 1,000 presses by select all and delete. "
      "From the click's arrival at the handler to the end of the append, without the library's own time. "
      f"Each answer adds {answer_length} characters. Goal: PixGen ≤ 1.10 × the bare press at every size up to "
      "1,000 answers.")
    w("")
    w("| answers in the area | PixGen median | bare median | ratio | PixGen p99 | bare p99 |")
    w("|---|---|---|---|---|---|")
    pixgen_groups, bare_groups = by_answers(pixgen, answer_length), by_answers(bare, answer_length)
    for group in sorted(set(pixgen_groups) | set(bare_groups)):
        p = [c for c, _ in pixgen_groups.get(group, [])]
        b = [c for c, _ in bare_groups.get(group, [])]
        if not p or not b:
            continue
        w(f"| {group}–{group + 99} | {statistics.median(p):.1f} µs | {statistics.median(b):.1f} µs | "
          f"**{statistics.median(p) / statistics.median(b):.2f}** | {quantile(p, .99):.1f} µs | {quantile(b, .99):.1f} µs |")
    all_p, all_b = [c for c, _ in pixgen], [c for c, _ in bare]
    w(f"| all | {statistics.median(all_p):.1f} µs | {statistics.median(all_b):.1f} µs | "
      f"**{statistics.median(all_p) / statistics.median(all_b):.2f}** | {quantile(all_p, .99):.1f} µs | "
      f"{quantile(all_b, .99):.1f} µs |")
    w("")

    rows = holdings(a.runs)
    w("## What the process holds")
    w("")
    w("| moment | handles | GDI objects | USER objects | private bytes |")
    w("|---|---|---|---|---|")
    for moment, h, g, u, pb in rows:
        w(f"| {moment} | {h} | {g} | {u} | {pb:,} |")
    w("")
    w("Under Wine 8, which answers these questions about another process with 0, the handles are the Linux "
      "process's open file descriptors and the private bytes its anonymous resident memory; GDI and USER objects "
      "read 0 there. The result area's own text (at most 1,000 answers) is part of the private bytes.")
    w("")
    w("Idle, ten seconds without input (the pointer left on \"Gerar\" after the presses and the failures). Goal: 0.")
    w("")
    w("| after | processor time | share |")
    w("|---|---|---|")
    for moment, cpu, wall in idle(a.runs):
        w(f"| {moment} | {cpu:.3f} s over {wall:.1f} s | {100 * cpu / wall:.2f} % |")
    w("")

    w("## Sizes")
    w("")
    w("| File | bytes |")
    w("|---|---|")
    for label, path in (("i686 PixGen.exe", f"{a.win32}/PixGen.exe"), ("x86_64 PixGen.exe", f"{a.win64}/PixGen.exe"),
                        ("i686 Quelvano.dll (stand-in)", f"{a.win32}/Quelvano.dll"),
                        ("x86_64 Quelvano.dll (stand-in)", f"{a.win64}/Quelvano.dll"),
                        ("i686 bare window", f"{a.win32}/bench/BareWindow.exe"),
                        ("x86_64 bare window", f"{a.win64}/bench/BareWindow.exe"),
                        ("i686 mandatory twin", f"{a.win32}/bench/MandatoryTwin.exe"),
                        ("x86_64 mandatory twin", f"{a.win64}/bench/MandatoryTwin.exe")):
        if os.path.exists(path):
            w(f"| {label} | {fmt_bytes(os.path.getsize(path))} |")
    w("")
    w("Goal: i686 PixGen.exe ≤ 300 KB.")
    w("")
    for label, tree in (("i686", a.win32), ("x86_64", a.win64)):
        map_path = f"{tree}/PixGen.map"
        if not os.path.exists(map_path):
            continue
        parts = size_parts(map_path)
        w(f"What each part of the {label} PixGen.exe costs (bytes of its sections, from the link map; headers, "
          "alignment and the import tables come on top):")
        w("")
        w("| Part | bytes |")
        w("|---|---|")
        for name, n in sorted(parts.items(), key=lambda kv: -kv[1]):
            w(f"| {name} | {n:,} |")
        w("")

    with open(a.out, "w") as f:
        f.write("\n".join(out))


if __name__ == "__main__":
    main()
