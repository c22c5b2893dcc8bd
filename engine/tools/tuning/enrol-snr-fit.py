#!/usr/bin/env python3
"""Fits a threshold term on how far a take's snr lies under its model's
enrolment snr, offline from sonvera-eval dumps (the scores do not depend on
the threshold).

  enrol-snr-fit.py --speakers a,b,... --enrol-log err.txt [--models DIR] dump.csv...

The threshold of a trial is
  T + slope x max(0, 60 - snr) + a x max(0, enrol - snr - d0)
with `enrol` the model's enrolment snr: the mean or the median of its
enrolment takes' snr (the "enrolment snr:" lines sonvera-eval writes to
stderr with --dump), or, with --models (the run's work/work folder), the
depth of its templates (the median over templates of the quietest frame's
energy under the word's peak, read from the model files), which needs no
new field in the model. T is refitted each time (the largest keeping the
clean FAR within 1 %). For every variant the grid's setting with the lowest
mean of the white20, speech20 and soft12 EERs among those whose clean EER
and FRR and phone EER stay within SLACK of the shipped engine's is printed
(or, if none does, the lowest mean overall, marked).
"""
import glob
import math
import os
import re
import statistics
import struct

from fitlib import enrol_log, parser, sibling, trial_rows

REPORT = sibling('condition-report.py')
KNEE = 60.0
SHIPPED_SLOPE = 0.015
SLACK = 0.1
PITCH_LIMIT = 0.07
WAVE_LIMIT = 2.15
CONDITIONS = ('clean', 'white20', 'speech20', 'soft12', 'phone')
HALVES = ({'george', 'jackson', 'nicolas', 'theo', 'asc01', 'asc03', 'asc04'},
          {'george', 'jackson', 'asc05', 'asc07', 'asc09', 'asc11'})


def template_depth(folder):
    depth = {}
    for path in glob.glob(os.path.join(folder, 'm_*.bin')):
        m = re.match(r'm_(\w+?)_(\w+)_(\w+)\.bin$', os.path.basename(path))
        pl = open(path, 'rb').read()[24:]
        dims, count = struct.unpack_from('<2H', pl, 10)
        o = 14
        scale = struct.unpack_from('<%df' % dims, pl, o)
        o += 4 * dims
        lows = []
        for _ in range(count):
            n, = struct.unpack_from('<H', pl, o)
            o += 2
            data = struct.unpack_from('<%db' % (n * dims), pl, o)
            o += n * dims
            lows.append(min(data[i * dims + dims - 1] for i in range(n)) * scale[dims - 1])
        depth[(m.group(3), m.group(1) + '/' + m.group(2))] = -statistics.median(lows)
    return depth


class Trial:
    __slots__ = ('cond', 'genuine', 'score', 'snr', 'enrol', 'model', 'test', 'flag')

    def __init__(self, r, enrol):
        s = float(r['score'])
        self.cond = r['condition']
        self.genuine = r['kind'] == 'g'
        self.score = math.inf if s >= 1e8 else s
        self.snr = float(r['snr'])
        self.enrol = enrol[(r['model_speaker'], r['word'])]
        self.model, self.test = r['model_speaker'], r['test_speaker']
        # The replay check's verdict: refused whatever the score.
        self.flag = (r['epd'] == '1' and self.score < math.inf and
                     (float(r.get('copy_pitch') or 'inf') <= PITCH_LIMIT or
                      float(r.get('copy_wave') or 0.0) >= WAVE_LIMIT))


def evaluate(trials, slope, a, d0):
    """EER per condition (scores less the threshold's variable part), the
    refitted T, FAR and FRR there per condition."""
    by = {c: ([], []) for c in CONDITIONS}
    for t in trials:
        shifted = t.score - slope * max(0.0, KNEE - t.snr) - a * max(0.0, t.enrol - t.snr - d0)
        by[t.cond][0 if t.genuine else 1].append((shifted, t.flag))
    clean_imp = by['clean'][1]
    cuts = sorted(s for s, _ in clean_imp if s < math.inf)
    allowed = int(math.floor(0.01 * len(clean_imp)))
    t0 = cuts[allowed] - 1e-6 if allowed < len(cuts) else math.inf
    out = {'T': t0}
    for c, (g, i) in by.items():
        out[c] = 100.0 * REPORT.eer([s for s, _ in g], [s for s, _ in i])
        out['far_' + c] = 100.0 * sum(s <= t0 and not f for s, f in i) / max(1, len(i))
        out['frr_' + c] = 100.0 * sum(not (s <= t0 and not f) for s, f in g) / max(1, len(g))
    out['far'], out['frr'] = out['far_clean'], out['frr_clean']
    return out


def halves(trials, slope, a, d0):
    return [evaluate([t for t in trials if t.model in h and t.test in h], slope, a, d0)['clean'] for h in HALVES]


def line(name, t, slope, a, d0, r):
    h = halves(t, slope, a, d0)
    return ('%-34s slope %.3f a %.4f d0 %4.1f T %.3f | clean %.2f / %.1f (FAR %.2f) | white %.2f speech %.2f soft %.2f '
            'phone %.2f | halves %.2f / %.2f | FRR/FAR white %.1f/%.2f speech %.1f/%.2f soft %.1f/%.2f phone %.1f/%.2f'
            % (name, slope, a, d0, r['T'], r['clean'], r['frr'], r['far'], r['white20'], r['speech20'], r['soft12'],
               r['phone'], h[0], h[1], r['frr_white20'], r['far_white20'], r['frr_speech20'], r['far_speech20'],
               r['frr_soft12'], r['far_soft12'], r['frr_phone'], r['far_phone']))


def main():
    ap = parser()
    ap.add_argument('--models', help="the run's model folder: the templates' depth as a variant")
    a = ap.parse_args()
    rows = trial_rows(a)
    log = enrol_log(a.enrol_log)
    measures = {'mean': {k: statistics.mean(v) for k, v in log.items()},
                'median': {k: statistics.median(v) for k, v in log.items()}}
    if a.models:
        measures['templates'] = template_depth(a.models)
    base_t = [Trial(r, measures['mean']) for r in rows]
    base = evaluate(base_t, SHIPPED_SLOPE, 0.0, 0.0)
    print(line('shipped', base_t, SHIPPED_SLOPE, 0.0, 0.0, base))
    a_grid = [0.0025 * k for k in range(1, 21)]
    d_grid = [2.0 * k for k in range(0, 16)]
    for name, enrol in measures.items():
        t = [Trial(r, enrol) for r in rows]
        for variant, slopes in (('beside today\'s term', [SHIPPED_SLOPE]),
                                ('beside today\'s term, refitted', [0.005 * k for k in range(0, 7)]),
                                ('instead of today\'s term', [0.0])):
            best, best_any = None, None
            for slope in slopes:
                for aa in a_grid:
                    for d0 in d_grid:
                        r = evaluate(t, slope, aa, d0)
                        mean = (r['white20'] + r['speech20'] + r['soft12']) / 3.0
                        ok = (r['clean'] <= base['clean'] + SLACK and r['frr'] <= base['frr'] + SLACK
                              and r['phone'] <= base['phone'] + SLACK)
                        if best_any is None or mean < best_any[0]:
                            best_any = (mean, slope, aa, d0, r)
                        if ok and (best is None or mean < best[0]):
                            best = (mean, slope, aa, d0, r)
            chosen, mark = (best, '') if best else (best_any, ' (none within the slack)')
            _, slope, aa, d0, r = chosen
            print(line('%s, %s%s' % (name, variant, mark), t, slope, aa, d0, r))
            if best and best_any[2:4] != best[2:4]:
                _, slope, aa, d0, r = best_any
                print(line('  (lowest mean overall)', t, slope, aa, d0, r))


if __name__ == '__main__':
    main()
