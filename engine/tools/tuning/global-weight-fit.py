#!/usr/bin/env python3
"""A weighting learnt from other voices' recordings on the weighted path
(thirty-fourth round), offline from sonvera-eval dumps: the main branch's
engine against a build whose weighted path multiplies the speaker's weights
by the learnt ones.

  global-weight-fit.py --enrol-log main.err --main main.csv... --halves \\
                       --half-a a.csv --half-b b.csv
  global-weight-fit.py --enrol-log main.err --main main.csv... --variant v.csv... [--t-weighted T]

Both builds' dumps are read as fusion-fit.py reads them, with the paths the
main branch has (a line's takes and the clean unweighted takes at the
shipped fusion and base, the other unweighted takes at the noisy fusion
and -0.6110). Only the weighted path's trials differ between the builds;
its base T_w is refitted by the seventh round's rule: the largest keeping
the clean impostor trials within 1 % (every path counted, the others at
their bases), four decimals on the stricter side.

--halves: each half's clean figures over the trials whose model and test
speaker are both in it, T_w refitted on that half's clean impostor trials,
for the main branch's dumps and the half's own run alike; the half passes
when its clean EER is lower by more than the slack (the larger of 0.1
point and one trial of either side) and its clean FRR at the refitted
point is not higher.
--variant: the tuning speakers' rule: T_w refitted over all clean impostor
trials (or --t-weighted given); the clean EER and the clean FRR at the
shipped point lower by more than the slack; the soft12, phone, reverb,
white20, speech20 and white10 EERs and FARs at the shipped point not
higher (slack: the larger of 0.1 point and one trial of the figure's own
count).
"""
import argparse
import math

from fitlib import print_checks, sibling

FIT = sibling('fusion-fit.py')
TUNING = 'george,jackson,nicolas,theo,asc01,asc03,asc04,asc05,asc07,asc09,asc11'
HALF_A = {'george', 'jackson', 'nicolas', 'theo', 'asc01', 'asc03', 'asc04'}
HALF_B = {'asc05', 'asc07', 'asc09', 'asc11'}
NOISY_FUSION = (0.5, 0.15, 1.0, 2.0, 1.0, 4.0)
T_NOISY = -0.6110
CHECKED = ('soft12', 'phone', 'reverb', 'white20', 'speech20', 'white10')


def read(dumps, log, speakers):
    FIT.LINE_HELD['on'] = True
    FIT.CLEAN_HELD['on'] = True
    return FIT.load(dumps, log, speakers, FIT.T_WEIGHTED, T_NOISY)


def cut_and_rest(trials):
    """Each trial's cut (score less the variable part of its limit) and the
    margins of the trials off the weighted path (None on it)."""
    c = FIT.cuts(trials, FIT.SHIPPED, NOISY_FUSION)
    rest = FIT.margins(trials, c, 0.0, T_NOISY)
    return c, [None if t['weighted'] else x for t, x in zip(trials, rest)]


def refit(trials, c, rest, target=1.0):
    """The largest T_w keeping the clean impostor trials within target %,
    four decimals on the stricter side."""
    idx = [j for j, t in enumerate(trials) if t['condition'] == 'clean' and t['kind'] == 'i']
    allowed = int(math.floor(target / 100.0 * len(idx)))
    fixed = sum(1 for j in idx if rest[j] is not None and rest[j] <= 0.0 and not trials[j]['flag'])
    w = sorted(c[j] for j in idx if rest[j] is None and c[j] < math.inf and not trials[j]['flag'])
    room = allowed - fixed
    if room < 0:
        return -math.inf
    exact = w[room] - 1e-6 if room < len(w) else math.inf
    return math.floor(exact * 1e4) / 1e4


def margins_at(trials, c, rest, t_w):
    return [x - t_w if r is None else r for x, r in zip(c, rest)]


def within(trials, half):
    return [t for t in trials if t['model_speaker'] in half and t['test_speaker'] in half]


def one_trial(count):
    return 100.0 / count if count else 0.0


def halves(a):
    main = read(a.main, a.enrol_log, set(TUNING.split(',')))
    ok_all = True
    for name, half, path in (('A', HALF_A, a.half_a), ('B', HALF_B, a.half_b)):
        rows = {}
        for label, trials in (('main', within(main, half)), ('variant', within(read([path], a.enrol_log, half), half))):
            trials = [t for t in trials if t['condition'] == 'clean']
            c, rest = cut_and_rest(trials)
            t_w = refit(trials, c, rest)
            f = FIT.figures(trials, margins_at(trials, c, rest, t_w), 'clean')
            weighted = sum(1 for t in trials if t['kind'] in 'gi' and t['weighted'])
            rows[label] = (t_w, f)
            print('half %s %-8s T_w %.4f clean EER %.2f FAR %.2f FRR %.2f (g %d, i %d, weighted %d)' % (
                name, label, t_w, f['eer'], f['far'], f['frr'], f['g'], f['i'], weighted))
        b, v = rows['main'][1], rows['variant'][1]
        s = max(FIT.SLACK, one_trial(b['g']), one_trial(b['i']))
        eer_ok = v['eer'] < b['eer'] - s - 1e-9
        frr_ok = v['frr'] <= b['frr'] + 1e-9
        ok_all = ok_all and eer_ok and frr_ok
        print('  clean EER lower by more than %.2f: %.4f -> %.4f %s' % (s, b['eer'], v['eer'], 'ok' if eer_ok else 'FAILS'))
        print('  clean FRR at the refitted point not higher: %.4f -> %.4f %s' % (b['frr'], v['frr'],
                                                                               'ok' if frr_ok else 'FAILS'))
    print('halves pass' if ok_all else 'halves fail')


def variant(a):
    speakers = set(TUNING.split(','))
    main = read(a.main, a.enrol_log, speakers)
    new = read(a.variant, a.enrol_log, speakers)
    c, rest = cut_and_rest(main)
    base = {cond: FIT.figures(main, margins_at(main, c, rest, FIT.T_WEIGHTED), cond) for cond in FIT.CONDITIONS}
    c, rest = cut_and_rest(new)
    t_w = a.t_weighted if a.t_weighted is not None else refit(new, c, rest)
    m = margins_at(new, c, rest, t_w)
    v = {cond: FIT.figures(new, m, cond) for cond in FIT.CONDITIONS}
    print('T_w refitted: %.4f' % t_w)
    for cond in FIT.CONDITIONS:
        weighted = sum(1 for t in new if t['condition'] == cond and t['kind'] in 'gi' and t['weighted'])
        print('%-9s main EER %.2f FAR %.2f FRR %.2f -> EER %.2f FAR %.2f FRR %.2f (weighted %d)' % (
            cond, base[cond]['eer'], base[cond]['far'], base[cond]['frr'], v[cond]['eer'], v[cond]['far'],
            v[cond]['frr'], weighted))
    checks = []
    b = base['clean']
    for side, key in (('eer', 'gi'), ('frr', 'g')):
        s = max([FIT.SLACK] + [one_trial(b[k]) for k in key])
        checks.append(('clean %s lower by more than %.2f' % (side.upper(), s), b[side], v['clean'][side],
                       v['clean'][side] < b[side] - s - 1e-9))
    for cond in CHECKED:
        b = base[cond]
        for side, key in (('eer', 'gi'), ('far', 'i')):
            s = max([FIT.SLACK] + [one_trial(b[k]) for k in key])
            checks.append(('%s %s not higher' % (cond, side.upper()), b[side], v[cond][side],
                           v[cond][side] <= b[side] + s + 1e-9))
    print_checks(checks)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('--main', nargs='+', required=True)
    ap.add_argument('--halves', action='store_true')
    ap.add_argument('--half-a')
    ap.add_argument('--half-b')
    ap.add_argument('--variant', nargs='+')
    ap.add_argument('--t-weighted', type=float)
    a = ap.parse_args()
    if a.halves:
        halves(a)
    if a.variant:
        variant(a)


if __name__ == '__main__':
    main()
