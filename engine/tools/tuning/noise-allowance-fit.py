#!/usr/bin/env python3
"""Fits a per-model noise allowance on the threshold, offline from
sonvera-noise-probe's output and a sonvera-eval dump of the same speakers.

  noise-allowance-fit.py --speakers a,b,... --enrol-log err.txt --probe probe.csv dump.csv...

Per model e = the probe's mean move of its left-out enrolment takes under a
noise condition (less clean, both less the threshold's variable part), less
the mean over the models; drop = the model's enrolment snr less the probe
takes' mean snr under that noise. The threshold of a trial is today's plus
  k x e / drop x max(0, enrol - snr - d0)
(both ways, or looser only: e at least 0), T refitted to the clean FAR
within 1 %. Prints, per predictor and way, the grid's setting with the
lowest mean of the white20 and speech20 EERs among those whose clean EER
and FRR, soft12 and phone EERs stay within SLACK of the shipped engine's
and whose halves' clean EERs are not higher (or the lowest overall,
marked), and the shipped engine's line.
"""
import csv
import statistics
from collections import defaultdict

from fitlib import mean_enrol, parser, sibling, trial_rows

fit = sibling('enrol-snr-fit.py')
probe_report = sibling('noise-probe-report.py')

ENROL_SLOPE, ENROL_MARGIN = 0.0025, 4.0


def model_terms(probe_path, enrol_mean, conditions):
    """Per model: (e, drop) from the probe under `conditions` (their mean)."""
    rows = [((r['speaker'], r['word']), r['condition'], float(r['score']), float(r['snr']))
            for r in csv.DictReader(open(probe_path))]
    moves = probe_report.mean_moves(rows, enrol_mean)
    snrs = defaultdict(list)
    for m, c, s, snr in rows:
        if s < 1e8 and c in conditions:
            snrs[m].append(snr)
    per = {}
    for m in enrol_mean:
        if all((m, c) in moves for c in conditions) and snrs[m]:
            per[m] = (statistics.mean(moves[(m, c)][1] for c in conditions),
                      max(1.0, enrol_mean[m] - statistics.mean(snrs[m])))
    mean_move = statistics.mean(v[0] for v in per.values())
    return {m: (v[0] - mean_move, v[1]) for m, v in per.items()}, mean_move


class Shifted:
    """A trial whose score carries the per-model term, so that the shared
    evaluate() (today's terms only) sees it."""
    __slots__ = ('cond', 'genuine', 'score', 'snr', 'enrol', 'model', 'test', 'flag')

    def __init__(self, t, extra):
        for k in ('cond', 'genuine', 'snr', 'enrol', 'model', 'test', 'flag'):
            setattr(self, k, getattr(t, k))
        self.score = t.score - extra


def apply(trials, models, terms, k, d0, looser_only):
    out = []
    for t, m in zip(trials, models):
        e, drop = terms.get(m, (0.0, 1.0))
        if looser_only:
            e = max(0.0, e)
        out.append(Shifted(t, k * e / drop * max(0.0, t.enrol - t.snr - d0)))
    return out


def evaluate(trials):
    # Today's two terms: the shared slope, and the enrolment term folded in.
    shifted = [Shifted(t, ENROL_SLOPE * max(0.0, t.enrol - t.snr - ENROL_MARGIN)) for t in trials]
    r = fit.evaluate(shifted, fit.SHIPPED_SLOPE, 0.0, 0.0)
    halves = [fit.evaluate([t for t in shifted if t.model in h and t.test in h], fit.SHIPPED_SLOPE, 0.0, 0.0)['clean']
              for h in fit.HALVES]
    return r, halves


def keeps_the_rest(r, h, base, base_h):
    """The clean EER and FRR, soft12 and phone EERs within SLACK of the shipped
    engine's, and neither half's clean EER higher."""
    return (r['clean'] <= base['clean'] + fit.SLACK and r['frr'] <= base['frr'] + fit.SLACK
            and r['soft12'] <= base['soft12'] + fit.SLACK and r['phone'] <= base['phone'] + fit.SLACK
            and h[0] <= base_h[0] and h[1] <= base_h[1])


def lowest_noisy_mean(ks, d0s, run, base, base_h):
    """Over the grid, the setting with the lowest mean of the white20 and
    speech20 EERs that keeps the rest, and the lowest overall: each
    (mean, k, d0, r, h), the first None when no setting keeps the rest."""
    best, best_any = None, None
    for k in ks:
        for d0 in d0s:
            r, h = run(k, d0)
            mean = (r['white20'] + r['speech20']) / 2.0
            if best_any is None or mean < best_any[0]:
                best_any = (mean, k, d0, r, h)
            if keeps_the_rest(r, h, base, base_h) and (best is None or mean < best[0]):
                best = (mean, k, d0, r, h)
    return best, best_any


def line(name, k, d0, r, h):
    return ('%-40s k %.2f d0 %4.1f T %.3f | clean %.2f / %.1f (FAR %.2f) | white %.2f speech %.2f soft %.2f phone %.2f'
            ' | halves %.2f / %.2f | FRR/FAR white %.1f/%.2f speech %.1f/%.2f soft %.1f/%.2f'
            % (name, k, d0, r['T'], r['clean'], r['frr'], r['far'], r['white20'], r['speech20'], r['soft12'],
               r['phone'], h[0], h[1], r['frr_white20'], r['far_white20'], r['frr_speech20'], r['far_speech20'],
               r['frr_soft12'], r['far_soft12']))


def main():
    ap = parser()
    ap.add_argument('--probe', required=True)
    a = ap.parse_args()
    rows = trial_rows(a)
    enrol = mean_enrol(a.enrol_log)
    trials = [fit.Trial(r, enrol) for r in rows]
    models = [(r['model_speaker'], r['word']) for r in rows]
    base, base_h = evaluate(trials)
    print(line('shipped', 0.0, 0.0, base, base_h))
    for pname, conds in (('white20', ('white20',)), ('speech20', ('speech20',)),
                         ('white20+speech20', ('white20', 'speech20'))):
        terms, mean_move = model_terms(a.probe, enrol, conds)
        for looser in (False, True):
            best, best_any = lowest_noisy_mean(
                [0.25 * i for i in range(1, 7)], [2.0 * i for i in range(0, 7)],
                lambda k, d0: evaluate(apply(trials, models, terms, k, d0, looser)), base, base_h)
            name = '%s (mean move %.2f), %s' % (pname, mean_move, 'looser only' if looser else 'both ways')
            chosen, mark = (best, '') if best else (best_any, ' (none within)')
            print(line(name + mark, *chosen[1:]))
            if best and best_any[1:3] != best[1:3]:
                print(line('  (lowest mean overall)', *best_any[1:]))


if __name__ == '__main__':
    main()
