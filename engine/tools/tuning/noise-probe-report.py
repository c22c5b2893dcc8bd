#!/usr/bin/env python3
"""Does a model's own enrolment takes' move under noise predict how far its
genuine trials move?

usage: noise-probe-report.py PROBE.csv DUMP.csv ENROL_LOG

PROBE.csv: sonvera-noise-probe's output (each enrolment take left out in
turn, scored against the other four, clean and under each condition).
DUMP.csv and ENROL_LOG: a sonvera-eval --dump run of the same speakers and
its stderr. Per model: the probe's mean move (condition less clean) against
the genuine trials' mean move, raw and after the threshold's variable part
(0.015 a dB under 60 dB, 0.0025 a dB more than 4 dB under the enrolment
snr), Pearson and Spearman over the models, all and per corpus.
"""
import csv
import statistics as st
import sys
from collections import defaultdict

SLOPE, KNEE, ENROL_SLOPE, MARGIN = 0.015, 60.0, 0.0025, 4.0
CONDITIONS = ("white20", "speech20", "soft12")
REFUSED = 1e8


def allowance(snr, enrol):
    return SLOPE * max(0.0, KNEE - snr) + (ENROL_SLOPE * max(0.0, enrol - snr - MARGIN) if enrol else 0.0)


def ranks(xs):
    order = sorted(range(len(xs)), key=lambda i: xs[i])
    r = [0.0] * len(xs)
    i = 0
    while i < len(order):
        j = i
        while j + 1 < len(order) and xs[order[j + 1]] == xs[order[i]]:
            j += 1
        for k in range(i, j + 1):
            r[order[k]] = (i + j) / 2.0
        i = j + 1
    return r


def pearson(a, b):
    if len(a) < 3:
        return float("nan")
    ma, mb = st.mean(a), st.mean(b)
    sab = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    sa = sum((x - ma) ** 2 for x in a) ** 0.5
    sb = sum((y - mb) ** 2 for y in b) ** 0.5
    return sab / (sa * sb) if sa and sb else float("nan")


def enrol_snrs(path):
    out = {}
    for line in open(path):
        if line.startswith("enrolment snr:"):
            f = line.split()
            vals = [float(v) for v in f[4:]]
            out[(f[2], f[3])] = st.mean(vals) if vals else 0.0
    return out


def mean_moves(rows, enrol):
    """rows: (model, condition, score, snr) -> per model and condition the
    mean raw and adjusted move from the clean mean."""
    raw, adj = defaultdict(list), defaultdict(list)
    for model, cond, score, snr in rows:
        if score > REFUSED:
            continue
        raw[(model, cond)].append(score)
        adj[(model, cond)].append(score - allowance(snr, enrol.get(model, 0.0)))
    moves = {}
    for (model, cond), v in raw.items():
        if cond == "clean" or (model, "clean") not in raw:
            continue
        moves[(model, cond)] = (st.mean(v) - st.mean(raw[(model, "clean")]),
                                st.mean(adj[(model, cond)]) - st.mean(adj[(model, "clean")]))
    return moves


def main():
    probe_path, dump_path, log_path = sys.argv[1:4]
    enrol = enrol_snrs(log_path)
    probe_rows = [((r["speaker"], r["word"]), r["condition"], float(r["score"]), float(r["snr"]))
                  for r in csv.DictReader(open(probe_path))]
    # The probe's own model has no enrolment snr of its own: the mean of the
    # five clean enrolment takes stands for it.
    probe = mean_moves(probe_rows, enrol)
    dump_rows = [((r["model_speaker"], r["word"]), r["condition"], float(r["score"]), float(r["snr"]))
                 for r in csv.DictReader(open(dump_path))
                 if r["kind"] == "g" and r["condition"] in ("clean",) + CONDITIONS]
    genuine = mean_moves(dump_rows, enrol)
    print("predictor (probe) condition -> target (genuine) condition: Pearson / Spearman, raw | adjusted (n models)")
    for pc in CONDITIONS:
        for tc in CONDITIONS:
            for label, keep in (("all", lambda m: True), ("fsdd", lambda m: m[1].startswith("fsdd/")),
                                ("arabicsc", lambda m: m[1].startswith("arabicsc/"))):
                models = sorted(m for (m, c) in genuine if c == tc and keep(m) and (m, pc) in probe)
                cells = []
                for k in (0, 1):
                    a = [probe[(m, pc)][k] for m in models]
                    b = [genuine[(m, tc)][k] for m in models]
                    cells.append("%+.2f / %+.2f" % (pearson(a, b), pearson(ranks(a), ranks(b))))
                print("%-8s -> %-8s %-8s %s | %s (n=%d)" % (pc, tc, label, cells[0], cells[1], len(models)))
    print()
    print("spread over models (standard deviation) and mean, adjusted: probe | genuine")
    for c in CONDITIONS:
        a = [v[1] for (m, cc), v in probe.items() if cc == c]
        b = [v[1] for (m, cc), v in genuine.items() if cc == c]
        print("%-8s %.3f (mean %+.3f) | %.3f (mean %+.3f)" % (c, st.pstdev(a), st.mean(a), st.pstdev(b), st.mean(b)))
    # Within-speaker: does the probe rank a speaker's own words?
    print()
    print("within speaker (each speaker's models centred on the speaker's mean), adjusted, Pearson")
    for c in CONDITIONS:
        models = sorted(m for (m, cc) in genuine if cc == c and (m, c) in probe)
        by = defaultdict(list)
        for m in models:
            by[m[0]].append(m)
        a, b = [], []
        for spk, ms in by.items():
            pa = st.mean(probe[(m, c)][1] for m in ms)
            pb = st.mean(genuine[(m, c)][1] for m in ms)
            a += [probe[(m, c)][1] - pa for m in ms]
            b += [genuine[(m, c)][1] - pb for m in ms]
        print("%-8s %+.2f (n=%d)" % (c, pearson(a, b), len(a)))
    print()
    print("per speaker, adjusted mean move: probe / genuine")
    for c in CONDITIONS:
        by = defaultdict(lambda: ([], []))
        for (m, cc), v in genuine.items():
            if cc == c and (m, c) in probe:
                by[m[0]][0].append(probe[(m, c)][1])
                by[m[0]][1].append(v[1])
        print(c, " ".join("%s %+.2f/%+.2f" % (s, st.mean(p), st.mean(g)) for s, (p, g) in sorted(by.items())))


if __name__ == "__main__":
    main()
