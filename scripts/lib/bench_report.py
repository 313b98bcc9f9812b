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


def startup(runs):
    pixgen, bare, by_pair = [], [], {}
    with open(os.path.join(runs, "startup.txt")) as f:
        for line in f:
            pair, which, ms = line.split()
            (pixgen if which == "pixgen" else bare).append(float(ms))
            by_pair.setdefault(pair, {})[which] = float(ms)
    ratios = [p["pixgen"] / p["bare"] for p in by_pair.values() if "pixgen" in p and "bare" in p]
    return pixgen, bare, ratios


def presses(runs):
    total, own = [], []
    with open(os.path.join(runs, "timings.txt")) as f:
        for line in f:
            t, library, outcome = line.split()
            if outcome != "ok":
                continue
            total.append(float(t))
            own.append(float(t) - float(library))
    return total, own


def holdings(runs):
    rows = []
    with open(os.path.join(runs, "holdings.txt")) as f:
        for line in f:
            moment, handles, gdi, user, private = line.split()
            rows.append((moment, int(handles), int(gdi), int(user), int(private)))
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


def classify(source):
    base = os.path.basename(source.split("(")[0])
    if "CMakeFiles/PixGen.dir" in source or "pixgen.rc" in source:
        return "app (start-up, application object, resources)"
    for layer in ("pix_base", "pix_win", "pix_form", "pix_style", "pix_qr", "base_core", "form_core", "pixlib_core",
                  "style_core", "qr_core", "qrcodegen"):
        if base == f"lib{layer}.a":
            return f"{layer}"
    if base.startswith("libstdc++"):
        return "C++ library (libstdc++)"
    if base.startswith("libgcc") or base.startswith("libgcc_eh"):
        return "compiler support (libgcc, unwinder)"
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

    pixgen, bare, ratios = startup(a.runs)
    w("## Start-up: CreateProcess to the first painted frame")
    w("")
    w(f"Alternating runs, {len(ratios)} pairs, after one unmeasured start of each. Goal: ratio ≤ 1.10.")
    w("")
    w("| Program | median | min | quartiles | max |")
    w("|---|---|---|---|---|")
    for name, v in (("PixGen", pixgen), ("bare window", bare)):
        w(f"| {name} | {statistics.median(v):.1f} ms | {min(v):.1f} ms | {quantile(v, .25):.1f}–{quantile(v, .75):.1f} ms"
          f" | {max(v):.1f} ms |")
    w("")
    w(f"Median of the pair ratios PixGen / bare: **{statistics.median(ratios):.3f}** "
      f"(quartiles {quantile(ratios, .25):.3f}–{quantile(ratios, .75):.3f}).")
    w("")

    total, own = presses(a.runs)
    w("## Gerar: cost of one press inside PixGen")
    w("")
    w(f"{len(total)} presses of the timed build (same sources, PIX_BENCH_PRESS_TIMING), the stand-in library "
      "answering at once, the result area cleared every 1,000 presses by select all and delete. From the click's "
      "arrival at the handler to the end of the append. Goal: median ≤ 50 µs without the library's own time.")
    w("")
    w("| | median | p99 | max |")
    w("|---|---|---|---|")
    w(f"| whole press | {statistics.median(total):.1f} µs | {quantile(total, .99):.1f} µs | {max(total):.1f} µs |")
    w(f"| without the library's time | {statistics.median(own):.1f} µs | {quantile(own, .99):.1f} µs | "
      f"{max(own):.1f} µs |")
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
    with open(os.path.join(a.runs, "idle.txt")) as f:
        cpu, wall = (float(x) for x in f.read().split())
    w(f"Idle CPU: {cpu:.3f} s of processor time over {wall:.1f} s idle ({100 * cpu / wall:.2f} %). Goal: 0.")
    w("")

    w("## Sizes")
    w("")
    w("| File | bytes |")
    w("|---|---|")
    for label, path in (("i686 PixGen.exe", f"{a.win32}/PixGen.exe"), ("x86_64 PixGen.exe", f"{a.win64}/PixGen.exe"),
                        ("i686 Quelvano.dll (stand-in)", f"{a.win32}/Quelvano.dll"),
                        ("x86_64 Quelvano.dll (stand-in)", f"{a.win64}/Quelvano.dll"),
                        ("i686 bare window", f"{a.win32}/bench/BareWindow.exe"),
                        ("x86_64 bare window", f"{a.win64}/bench/BareWindow.exe")):
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
