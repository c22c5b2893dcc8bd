#!/usr/bin/env python3
"""DET curves of every condition in sonvera-eval --dump files, for a set of
speakers, in one SVG (normal-deviate axes, 0.1 % to 60 %), each curve with
its operating point (the engine's noise-aware threshold) marked.

  det-plot.py --speakers a,b,... --out FILE.svg [--threshold T --snr-slope A --snr-knee S]
              [--enrol-log FILE --enrol-slope B --enrol-margin D]
              [--noise-share K --noise-typical M --noise-margin N --noise-min-drop F [--noise-cap]
               [--noise-impostor]] [--line-offset L] [--weighted S,G,T_w] [--clean-held S,T]
              [--level-allowance C,X0] [--matched K,X0,S_M,T_M [--unmatched-shift D,G] [--matched-margin S,C,F0]
               [--matched-over X,T_O]]
              dump.csv...

Only trials whose model and test speaker are both in the set count, as in
condition-report.py; each score's own threshold is taken off it first (the
noise-aware one, or with --weighted the weighted path's for the takes it
weighs, never a take through a telephone line), so that one sweep gives the
curve.
"""
import argparse
import math
from statistics import NormalDist

import importlib.util
import os

source = importlib.util.spec_from_file_location('cr', os.path.join(os.path.dirname(__file__), 'condition-report.py'))
cr = importlib.util.module_from_spec(source)
source.loader.exec_module(cr)

W, H, M = 520, 520, 60
LO, HI = 0.001, 0.6
COLOURS = ['#000000', '#d62728', '#1f77b4', '#2ca02c', '#9467bd', '#ff7f0e', '#8c564b', '#e377c2']


def axis(p):
    z = NormalDist().inv_cdf(min(max(p, LO), HI))
    a, b = NormalDist().inv_cdf(LO), NormalDist().inv_cdf(HI)
    return (z - a) / (b - a) * (W - 2 * M)


def curve(genuine, impostor):
    trials = sorted([(s, 0) for s in genuine] + [(s, 1) for s in impostor])
    fa, fr = 0, len(genuine)
    points = [(0.0, 1.0)]
    for s, imp in trials:
        if s == math.inf:
            break
        if imp:
            fa += 1
        else:
            fr -= 1
        points.append((fa / len(impostor), fr / len(genuine)))
    return points


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--speakers', required=True)
    ap.add_argument('--out', required=True)
    ap.add_argument('--title', default='')
    ap.add_argument('--threshold', type=float, default=-0.57)
    ap.add_argument('--snr-slope', type=float, default=0.015)
    ap.add_argument('--snr-knee', type=float, default=60.0)
    ap.add_argument('--enrol-log', help='sonvera-eval stderr with the "enrolment snr:" lines')
    ap.add_argument('--enrol-slope', type=float, default=0.0025)
    ap.add_argument('--enrol-margin', type=float, default=4.0)
    ap.add_argument('--noise-share', type=float, default=0.0, help="the per-model noise term (condition-report.py's)")
    ap.add_argument('--noise-typical', type=float, default=0.506)
    ap.add_argument('--noise-margin', type=float, default=18.0)
    ap.add_argument('--noise-min-drop', type=float, default=10.0)
    ap.add_argument('--noise-cap', action='store_true')
    ap.add_argument('--noise-impostor', action='store_true')
    ap.add_argument('--line-offset', type=float, default=0.0, help="the phone condition's offset (condition-report.py's)")
    ap.add_argument('--weighted', help="S,G,T_w: condition-report.py's")
    ap.add_argument('--clean-held', help="S,T: condition-report.py's")
    ap.add_argument('--level-allowance', metavar='C,X0', help="condition-report.py's")
    ap.add_argument('--matched', metavar='K,X0,S_M,T_M', help="condition-report.py's")
    ap.add_argument('--unmatched-shift', metavar='D,G', help="condition-report.py's")
    ap.add_argument('--matched-margin', metavar='S,C,F0', help="condition-report.py's")
    ap.add_argument('--matched-over', metavar='X,T_O', help="condition-report.py's")
    ap.add_argument('dumps', nargs='+')
    a = ap.parse_args()
    if a.level_allowance:
        share, excess = (float(x) for x in a.level_allowance.split(','))
        cr.LEVEL.update(share=share, excess=excess)
    if a.matched:
        bound, excess, slope, base = (float(x) for x in a.matched.split(','))
        cr.MATCHED.update(bound=bound, excess=excess, slope=slope, base=base)
    if a.unmatched_shift:
        stricter, shape = (float(x) for x in a.unmatched_shift.split(','))
        cr.SHIFT.update(stricter=stricter, shape=shape)
    if a.matched_margin:
        share, bound, mean = (float(x) for x in a.matched_margin.split(','))
        cr.MARGIN.update(share=share, bound=bound, mean=mean)
    if a.matched_over:
        excess, base = (float(x) for x in a.matched_over.split(','))
        cr.OVER.update(excess=excess, base=base)
    cr.set_weighted(a.weighted)
    cr.set_clean_held(a.clean_held)
    cr.LINE['offset'] = a.line_offset
    if a.enrol_log:
        cr.ENROL.update(slope=a.enrol_slope, margin=a.enrol_margin, snr=cr.read_enrol_log(a.enrol_log))
    cr.NOISE.update(share=a.noise_share, typical=a.noise_typical, margin=a.noise_margin, min_drop=a.noise_min_drop,
                    cap=a.noise_cap, impostor=a.noise_impostor)
    rows = cr.load(a.dumps, set(a.speakers.split(',')))
    shift = lambda r: r['s'] - cr.threshold(r, a.threshold, a.snr_slope, a.snr_knee)
    conditions = sorted({r['condition'] for r in rows if r['kind'] == 'g'}, key=lambda c: (c != 'clean', c))
    legend = H + 14 * len(conditions) + 10
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" font-family="sans-serif" font-size="11">' % (W, legend),
           '<rect width="100%" height="100%" fill="white"/>',
           '<text x="%d" y="20" font-size="13">%s</text>' % (M, a.title)]
    x0, y0 = M, H - M
    for p in (0.001, 0.01, 0.02, 0.05, 0.1, 0.2, 0.4, 0.6):
        t = axis(p)
        out.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="#ddd"/>' % (x0 + t, y0, x0 + t, M))
        out.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="#ddd"/>' % (x0, y0 - t, W - M, y0 - t))
        out.append('<text x="%.1f" y="%d" text-anchor="middle">%g</text>' % (x0 + t, y0 + 15, 100 * p))
        out.append('<text x="%d" y="%.1f" text-anchor="end">%g</text>' % (x0 - 5, y0 - t + 4, 100 * p))
    out.append('<text x="%d" y="%d" text-anchor="middle">false acceptance (%%)</text>' % (W // 2, H - 25))
    out.append('<text x="15" y="%d" transform="rotate(-90 15 %d)" text-anchor="middle">false rejection (%%)</text>' % (H // 2, H // 2))
    for i, c in enumerate(conditions):
        sub = [r for r in rows if r['condition'] == c]
        g = [shift(r) for r in sub if r['kind'] == 'g']
        imp = [shift(r) for r in sub if r['kind'] == 'i']
        if not g or not imp:
            continue
        colour = COLOURS[i % len(COLOURS)]
        # Points closer than half a pixel to the last one drawn are left out.
        kept = []
        for fa, fr in curve(g, imp):
            x, y = x0 + axis(fa), y0 - axis(fr)
            if not kept or abs(x - kept[-1][0]) >= 0.5 or abs(y - kept[-1][1]) >= 0.5:
                kept.append((x, y))
        pts = ' '.join('%.1f,%.1f' % p for p in kept)
        out.append('<polyline fill="none" stroke="%s" stroke-width="1.5" points="%s"/>' % (colour, pts))
        # A take the replay check flags is refused, as the engine does.
        accepted = lambda r: shift(r) <= 0.0 and not cr.copy_flag(r)
        far = sum(accepted(r) for r in sub if r['kind'] == 'i') / len(imp)
        frr = sum(not accepted(r) for r in sub if r['kind'] == 'g') / len(g)
        out.append('<circle cx="%.1f" cy="%.1f" r="4" fill="%s"/>' % (x0 + axis(far), y0 - axis(frr), colour))
        out.append('<text x="%d" y="%d" fill="%s">%s: EER %.1f %%, FAR %.2f %% / FRR %.1f %% at the shipped point</text>'
                   % (M - 40, H + 14 * i, colour, c, 100 * cr.eer(g, imp), 100 * far, 100 * frr))
    out.append('</svg>')
    with open(a.out, 'w') as f:
        f.write('\n'.join(out) + '\n')


if __name__ == '__main__':
    main()
