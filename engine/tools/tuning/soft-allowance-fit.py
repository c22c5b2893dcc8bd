#!/usr/bin/env python3
"""Each model's own allowance for a soft voice, from the engine's own figure:
does it predict the model's genuine soft trials' move, and which threshold
term does the tuning set allow? Offline from sonvera-eval dumps (the scores
and the figure do not depend on the threshold).

  soft-allowance-fit.py --speakers a,b,... --enrol-log err.txt dump.csv...

The figure e is the dump's soft_move (VRE_GetModelPart(5): training's soft
copies of the model's enrolment takes, their mean move against the other
takes less the threshold's own move). First, per model, e against the mean
move of its genuine soft12 trials (less clean, both less the threshold's
variable part), Pearson and Spearman over the models, all, per corpus and
within speaker. Then the grid: the threshold of a trial is today's plus
  k x e' x min(max(0, min(enrol, 60) - snr - d0), cap) / 12
with e' = e less the models' mean (both ways) or max(0, that) (looser
only), cap none or 16 - d0; T refitted to the clean FAR within 1 %. Prints
the setting with the lowest soft12 EER among those whose clean EER and FRR,
white20, speech20 and phone EERs stay within SLACK of the shipped engine's
and whose halves' clean EERs are not higher, and whether it lowers the
soft12 EER (the round's rule).
"""
import argparse
import csv
import os
import runpy
import statistics
import types
from collections import defaultdict

HERE = os.path.dirname(os.path.abspath(__file__))


def load(file):
    """A sibling script's functions (its name has dashes: no import)."""
    return types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, file)))


fit = load('enrol-snr-fit.py')
allowance = load('noise-allowance-fit.py')
probe_report = load('noise-probe-report.py')

COPY_DROP_DB = 12.0
ENROL_CAP = 60.0


def model_figures(rows):
    figure = {}
    for r in rows:
        figure[(r['model_speaker'], r['word'])] = float(r['soft_move'])
    return figure


def measure(rows, figure, enrol):
    """The figure against the genuine trials' soft12 move, per model."""
    genuine = probe_report.mean_moves(
        [((r['model_speaker'], r['word']), r['condition'], float(r['score']), float(r['snr']))
         for r in rows if r['kind'] == 'g' and r['condition'] in ('clean', 'soft12')], enrol)
    impostor = probe_report.mean_moves(
        [((r['model_speaker'], r['word']), r['condition'], float(r['score']), float(r['snr']))
         for r in rows if r['kind'] == 'i' and r['condition'] in ('clean', 'soft12')], enrol)
    models = sorted(m for (m, c) in genuine if c == 'soft12' and m in figure)
    print('models with a figure: %d (of them 0.0, none measured: %d)'
          % (len(models), sum(1 for m in models if figure[m] == 0.0)))
    for label, keep in (('all', lambda m: True), ('fsdd', lambda m: m[1].startswith('fsdd/')),
                        ('arabicsc', lambda m: m[1].startswith('arabicsc/'))):
        ms = [m for m in models if keep(m)]
        a = [figure[m] for m in ms]
        cells = []
        for k in (0, 1):
            b = [genuine[(m, 'soft12')][k] for m in ms]
            cells.append('%+.2f / %+.2f' % (probe_report.pearson(a, b),
                                            probe_report.pearson(probe_report.ranks(a), probe_report.ranks(b))))
        print('figure -> genuine soft12 move, %-8s raw %s | adjusted %s (n=%d)' % (label, cells[0], cells[1], len(ms)))
    ms = [m for m in models if (m, 'soft12') in impostor]
    print('figure -> impostor soft12 move (adjusted), all: %+.2f (n=%d)'
          % (probe_report.pearson([figure[m] for m in ms], [impostor[(m, 'soft12')][1] for m in ms]), len(ms)))
    by = defaultdict(list)
    for m in models:
        by[m[0]].append(m)
    a, b = [], []
    for ms in by.values():
        pa = statistics.mean(figure[m] for m in ms)
        pb = statistics.mean(genuine[(m, 'soft12')][1] for m in ms)
        a += [figure[m] - pa for m in ms]
        b += [genuine[(m, 'soft12')][1] - pb for m in ms]
    print('within speaker (centred on each speaker), adjusted: %+.2f (n=%d)' % (probe_report.pearson(a, b), len(a)))
    g = [genuine[(m, 'soft12')][1] for m in models]
    f = [figure[m] for m in models]
    print('figure mean %.3f sd %.3f | genuine adjusted move mean %.3f sd %.3f'
          % (statistics.mean(f), statistics.pstdev(f), statistics.mean(g), statistics.pstdev(g)))
    print('per speaker, figure / genuine adjusted move:',
          ' '.join('%s %+.2f/%+.2f' % (s, statistics.mean(figure[m] for m in ms),
                                       statistics.mean(genuine[(m, 'soft12')][1] for m in ms))
                   for s, ms in sorted(by.items())))
    return statistics.mean(f)


def apply(trials, models, figure, mean_figure, k, d0, cap, looser_only):
    out = []
    for t, m in zip(trials, models):
        own = figure.get(m, mean_figure) - mean_figure
        if looser_only:
            own = max(0.0, own)
        counted = max(0.0, min(t.enrol, ENROL_CAP) - t.snr - d0)
        if cap is not None:
            counted = min(counted, cap)
        out.append(allowance.Shifted(t, k * own * counted / COPY_DROP_DB))
    return out


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--speakers', required=True)
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('dumps', nargs='+')
    a = ap.parse_args()
    speakers = set(a.speakers.split(','))
    rows = [r for p in a.dumps for r in csv.DictReader(open(p))
            if r['model_speaker'] in speakers and r['test_speaker'] in speakers and r['kind'] in 'gi']
    enrol = {k: statistics.mean(v) for k, v in fit.enrol_log(a.enrol_log).items()}
    figure = model_figures(rows)
    mean_figure = measure(rows, figure, enrol)
    print()
    trials = [fit.Trial(r, enrol) for r in rows]
    models = [(r['model_speaker'], r['word']) for r in rows]
    base, base_h = allowance.evaluate(trials)
    print(allowance.line('shipped', 0.0, 0.0, base, base_h))
    results = []
    for looser in (False, True):
        for cap_on in (False, True):
            for k in [0.25 * i for i in range(1, 7)]:
                for d0 in [2.0 * i for i in range(0, 5)]:
                    cap = 16.0 - d0 if cap_on else None
                    r, h = allowance.evaluate(apply(trials, models, figure, mean_figure, k, d0, cap, looser))
                    ok = (r['clean'] <= base['clean'] + fit.SLACK and r['frr'] <= base['frr'] + fit.SLACK
                          and r['white20'] <= base['white20'] + fit.SLACK
                          and r['speech20'] <= base['speech20'] + fit.SLACK
                          and r['phone'] <= base['phone'] + fit.SLACK and h[0] <= base_h[0] and h[1] <= base_h[1])
                    name = '%s, cap %s' % ('looser only' if looser else 'both ways',
                                           '%.0f' % cap if cap is not None else 'none')
                    results.append((r['soft12'], ok, name, k, d0, r, h))
    within = sorted((x for x in results if x[1]), key=lambda x: x[0])
    print('within the slack: %d of %d settings; the best five:' % (len(within), len(results)))
    for x in within[:5]:
        print(allowance.line(x[2], x[3], x[4], x[5], x[6]))
    print('lowest soft12 EER overall:')
    x = min(results, key=lambda x: x[0])
    print(allowance.line(x[2] + (' (within)' if x[1] else ' (not within)'), x[3], x[4], x[5], x[6]))
    if within:
        x = within[0]
        print('chosen: %s, k %.2f, d0 %.0f: soft12 %.2f -> %.2f %%, %s; mean figure %.4f'
              % (x[2], x[3], x[4], base['soft12'], x[0], 'ships' if x[0] < base['soft12'] else 'does not ship',
                 mean_figure))


if __name__ == '__main__':
    main()
