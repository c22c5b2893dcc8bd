#!/usr/bin/env python3
"""The background-mixture score (sonvera-ubm-score) against the engine's,
offline on the tuning speakers' dumps (sixty-ninth round).

  ubm-score-fit.py --enrol-log main-a.err --main main-a.csv main-b.csv \\
                   --llr-a ubm-a.csv --llr-b ubm-b.csv --measure [--conditions clean,...]
  ubm-score-fit.py ... --grid --columns llr_k16_r4,... --centre M --scale R --shares 0.25,0.5,...

Each half's trials are those whose model and test speaker are both in it,
its likelihood ratios from the mixture learnt on the other half's speakers
(--llr-a for half A's models, --llr-b for half B's); pooled is the two sets
together. Main's trials are the set, row for row; a trial without a ratio
(no word found, or a model without enrolment takes) counts as refused on
the ratio's side.

--measure: per ratio column, the clean EER of the ratio alone per half and
pooled against main's (its margin, score less the limit it applied); the
ratio's correlation with main's score over genuine and impostor trials;
the worst model/impostor pair of each (the pair with most of its trials
within the other side's genuine trials' EER point).
--grid: the fused score on the weighted path, score - s R (llr - M) (a
likelier take scores lower; R the scale fixed in the rule, s a share from
the grid), the path's base refitted as the engine's clean base is fitted:
the largest keeping the set's clean impostor acceptances at most main's at
its shipped point, four decimals on the stricter side, every other path at
its limit; a take flagged as a replay never passes. Checks per set
(pooled, half A, half B): clean EER lower by more than the slack (the
larger of 0.1 point and one trial of either side), clean FRR at the
refitted point not higher than main's at the shipped point, the worst
pair's acceptances not more.

--norm-a/--norm-b (sonvera-ubm-score --norm-out, seventieth round): each
model's levels, and a column may then be NORM:llr_k<K>_r<R>, the model's
ratio normalised by its own levels so that one base can hold every model's:
  raw       the ratio as it is
  loo-mean  less the mean of its enrolment takes' leave-one-out ratios
  loo       that, divided by their sd
  zo        less the mean of its ratios on the learning takes of other
            words, divided by their sd (Z-norm on voices a product carries)
  zw        the same on the learning takes of its own word (no product
            has them: it shows what the word's mismatch costs)
  both      less the other words' mean, divided by the distance from it
            to the leave-one-out mean (other voices at 0, its own at 1)
  mo-NAME   less the mean of its enrolment takes' copies moved along the
            mel scale (--moves NAME, scored against the model), divided by
            their sd: Z-norm on other voices saying the model's own word,
            made from its own takes (seventy-second round)
  ml-NAME   the same with each left-out take's copies scored against the
            mixture adapted from the other takes
  both-mo-NAME, both-ml-NAME  as both, the moved copies' mean in place of
            the other words' (moved voices at 0, its own at 1)
Each spread or distance is kept at least SD_FLOOR or SPAN_FLOOR: five
enrolment takes can lie closer together than the ratio's own noise.
--measure --norm raw,loo,... prints each normalised column's figures, half
A by corpus beside the halves, and its mean and sd over the pooled genuine
trials on the weighted path (where a fusion's centre and scale come from).

--levels: per half, each normalised column's genuine and impostor means
and sds over the clean weighted trials (of arabicsc models with
--arabicsc-models), and nothing else: how far a level carries to words a
setting is later to be judged on, without any figure of that judgment.

--confirm COLUMN --share s --centre M --scale R --base T_w (seventy-first
round): one fused setting, fixed, on trials it was not chosen on, every
condition of --conditions: main's figures (its dumped decisions recomputed,
and any disagreement counted) and the setting's at the fixed base, EER,
FAR, FRR and the worst pair, for the judged set and each half beside;
--hold clean,reverb then judges the FAR and FRR of those conditions not
higher than main's by more than the larger of 0.1 point and one trial of
their side. --speakers a,b,...: one set of those speakers' trials among
themselves (the speakers left out of the tuning) instead of the halves;
--llr-b and --norm-b are then not needed.
"""
import argparse
import csv
import math
import statistics

from fitlib import sibling

REPORT = sibling('condition-report.py')
HALF_A = {'george', 'jackson', 'nicolas', 'theo', 'asc01', 'asc03', 'asc04'}
HALF_B = {'asc05', 'asc07', 'asc09', 'asc11'}
KEY = ('condition', 'kind', 'model_speaker', 'word', 'test_speaker', 'take')
T_WEIGHTED = -0.2984
SNR_SLOPE, SNR_KNEE, ENROL_SLOPE, ENROL_MARGIN, ENROL_CAP = 0.015, 60.0, 0.0025, 4.0, 60.0
SLACK = 0.1
NORMS = ('raw', 'loo-mean', 'loo', 'zo', 'zw', 'both', 'mo-NAME', 'ml-NAME', 'both-mo-NAME', 'both-ml-NAME')
MOVED = ('mo-', 'ml-')
SD_FLOOR, SPAN_FLOOR = 0.5, 1.0


def weighted_part(snr, enrol):
    under = max(0.0, min(enrol, ENROL_CAP) - snr - ENROL_MARGIN) if enrol > 0.0 else 0.0
    return SNR_SLOPE * max(0.0, SNR_KNEE - snr) + ENROL_SLOPE * under


def read_levels(paths):
    levels = {}
    for path in paths:
        for r in csv.DictReader(open(path)):
            levels[(r['model_speaker'], r['word'])] = r
    return levels


def load(a):
    enrol = REPORT.read_enrol_log(a.enrol_log)
    llr = {}
    for path in (p for p in (a.llr_a, a.llr_b) if p):
        for r in csv.DictReader(open(path)):
            llr[tuple(r[k] for k in KEY)] = r
    levels = read_levels([p for p in (a.norm_a, a.norm_b) if p])
    conds = set(a.conditions.split(','))
    trials, missing = [], 0
    for path in a.main:
        for r in csv.DictReader(open(path)):
            if r['kind'] not in 'gi' or r['condition'] not in conds:
                continue
            ms, ts = r['model_speaker'], r['test_speaker']
            half = set_of(ms, ts, a.speakers)
            if half is None:
                continue
            s = float(r['score'])
            refused = r['epd'] != '1' or s >= 1e8
            snr = float(r['snr'])
            e = enrol.get((ms, r['word']), 0.0)
            limit = float(r['threshold'])
            part = weighted_part(snr, e)
            weighted = not refused and abs(limit - (T_WEIGHTED + part)) < 2e-3
            row = {'epd': r['epd'], 's': math.inf if refused else s, 'copy_pitch': r['copy_pitch'],
                   'copy_wave': r['copy_wave']}
            lr = llr.get(tuple(r[k] for k in KEY))
            if lr is None:
                missing += 1
            trials.append(dict(key=tuple(r[k] for k in KEY), cond=r['condition'], kind=r['kind'], half=half,
                               model=(ms, r['word']), test=ts, score=row['s'], limit=limit, part=part,
                               weighted=weighted, flag=REPORT.copy_flag(row), llr=lr,
                               levels=levels.get((ms, r['word'])), dumped_accept=r['accept'] == '1'))
    return trials, missing


def set_of(model_speaker, test_speaker, speakers=None):
    """The set a trial is judged in: a half of the tuning split when both
    speakers lie in it (a trial across the halves would be scored by a
    mixture that heard one of them), or 'L' when both are among the given
    speakers; None: not judged."""
    if speakers:
        chosen = set(speakers.split(','))
        return 'L' if model_speaker in chosen and test_speaker in chosen else None
    if model_speaker in HALF_A and test_speaker in HALF_A:
        return 'A'
    if model_speaker in HALF_B and test_speaker in HALF_B:
        return 'B'
    return None


def level(t, name):
    v = t['levels'].get(name, '') if t['levels'] else ''
    return float(v) if v not in ('', None) else math.nan


def normalised(x, t, norm, col):
    """The model's ratio x by its own levels; nan when a level is missing."""
    tail = col[len('llr'):]
    if norm == 'raw':
        return x
    if norm in ('loo-mean', 'loo', 'zo', 'zw'):
        kind = 'loo' if norm.startswith('loo') else norm
        centre = level(t, kind + tail + '_mean')
        spread = 1.0 if norm == 'loo-mean' else max(level(t, kind + tail + '_sd'), SD_FLOOR)
        return (x - centre) / spread
    if norm.startswith(MOVED):
        return (x - level(t, norm + tail + '_mean')) / max(level(t, norm + tail + '_sd'), SD_FLOOR)
    if norm == 'both' or norm.startswith('both-'):
        other = level(t, (norm[len('both-'):] if norm != 'both' else 'zo') + tail + '_mean')
        own = level(t, 'loo' + tail + '_mean')
        return (x - other) / max(own - other, SPAN_FLOOR)
    raise ValueError(norm)


def ratio(t, choice):
    """choice: a column, or NORM:column."""
    norm, col = choice.split(':') if ':' in choice else ('raw', choice)
    v = t['llr'].get(col, '') if t['llr'] else ''
    if v in ('', None):
        return -math.inf
    x = normalised(float(v), t, norm, col)
    return x if math.isfinite(x) else -math.inf


def column_of(choice):
    return choice.split(':')[-1]


def eer_of(gen, imp):
    return 100.0 * REPORT.eer(gen, imp)


def sets(trials, cond, by_corpus=False):
    out = {'pooled': [t for t in trials if t['cond'] == cond],
           'A': [t for t in trials if t['cond'] == cond and t['half'] == 'A'],
           'B': [t for t in trials if t['cond'] == cond and t['half'] == 'B']}
    if by_corpus:
        for corpus in ('fsdd', 'arabicsc'):
            out['A-' + corpus] = [t for t in out['A'] if t['model'][1].startswith(corpus + '/')]
    return out


def corr(x, y):
    pairs = [(p, q) for p, q in zip(x, y) if math.isfinite(p) and math.isfinite(q)]
    if len(pairs) < 3:
        return float('nan')
    return statistics.correlation([p for p, _ in pairs], [q for _, q in pairs])


def worst_pair(trials, values):
    """values: lower = accepted sooner. The pair (model, impostor) with most
    impostor trials at or under the EER point's value, and that count."""
    g = sorted(v for t, v in zip(trials, values) if t['kind'] == 'g')
    i = [v for t, v in zip(trials, values) if t['kind'] == 'i']
    cut = eer_cut(g, i)
    pairs = {}
    for t, v in zip(trials, values):
        if t['kind'] == 'i':
            p = pairs.setdefault((t['model'][0], t['model'][1], t['test']), [0, 0])
            p[0] += v <= cut
            p[1] += 1
    k = max(pairs, key=lambda p: (pairs[p][0], p))
    return k, pairs[k]


def eer_cut(g, i):
    best, cut = 2.0, 0.0
    for c in sorted(set(g + i)):
        if not math.isfinite(c):
            continue
        frr = sum(x > c for x in g) / len(g)
        far = sum(x <= c for x in i) / len(i)
        if abs(far - frr) < best:
            best, cut = abs(far - frr), c
    return cut


def margin_main(t):
    return t['score'] - t['limit']


def mean_of(v):
    return statistics.mean(v) if v else math.nan


def sd_of(v):
    return statistics.stdev(v) if len(v) > 1 else math.nan


def measure(a, trials):
    cols = [c for c in next(t['llr'] for t in trials if t['llr']).keys() if c.startswith('llr_')]
    cols = [c if n == 'raw' else n + ':' + c for n in a.norm.split(',') for c in cols]
    for cond in a.conditions.split(','):
        if cond == 'clean':
            print_floors(trials, cols)
            print_centres(trials, cols)
        for name, s in sets(trials, cond, by_corpus=True).items():
            gm = [margin_main(t) for t in s if t['kind'] == 'g']
            im = [margin_main(t) for t in s if t['kind'] == 'i']
            wp, wc = worst_pair(s, [margin_main(t) for t in s])
            print('%s %-6s main EER %.2f (g %d, i %d, weighted %d, without ratio %d) worst pair %s/%s<-%s %d/%d' % (
                cond, name, eer_of(gm, im), len(gm), len(im), sum(t['weighted'] for t in s),
                sum(t['llr'] is None or not math.isfinite(ratio(t, cols[0])) for t in s), wp[0], wp[1], wp[2],
                wc[0], wc[1]))
            for col in cols:
                neg = [-ratio(t, col) for t in s]
                g = [v for t, v in zip(s, neg) if t['kind'] == 'g']
                i = [v for t, v in zip(s, neg) if t['kind'] == 'i']
                cg = corr([t['score'] for t in s if t['kind'] == 'g'], [ratio(t, col) for t in s if t['kind'] == 'g'])
                ci = corr([t['score'] for t in s if t['kind'] == 'i'], [ratio(t, col) for t in s if t['kind'] == 'i'])
                fin = lambda v: [x for x in v if math.isfinite(x)]
                wp, wc = worst_pair(s, neg)
                print('    %-14s EER %.2f  r(score, llr) genuine %+.3f impostor %+.3f  llr genuine %.3f sd %.3f '
                      'impostor %.3f sd %.3f  worst pair %s/%s<-%s %d/%d' % (
                          col, eer_of(g, i), cg, ci, -mean_of(fin(g)), sd_of(fin(g)),
                          -mean_of(fin(i)), sd_of(fin(i)), wp[0], wp[1], wp[2], wc[0], wc[1]))


def print_floors(trials, cols):
    """How many models' levels the floors hold up (they are then not their own)."""
    models = {t['model']: t for t in trials if t['levels']}
    print('models with levels %d of %d' % (len(models), len({t['model'] for t in trials})))
    for choice in cols:
        norm, col = choice.split(':') if ':' in choice else ('raw', choice)
        tail = col[len('llr'):]
        if norm in ('loo', 'zo', 'zw') or norm.startswith(MOVED):
            kind = 'loo' if norm == 'loo' else norm
            held = sum(level(t, kind + tail + '_sd') < SD_FLOOR for t in models.values())
        elif norm == 'both' or norm.startswith('both-'):
            other = norm[len('both-'):] if norm != 'both' else 'zo'
            held = sum(level(t, 'loo' + tail + '_mean') - level(t, other + tail + '_mean') < SPAN_FLOOR
                       for t in models.values())
        else:
            continue
        print('    %-22s held at the floor %d' % (choice, held))


def print_levels(a, trials):
    """Each normalised column's genuine and impostor level per half (clean,
    weighted trials): where the normalisation puts the two sides, no EER."""
    cols = [n + ':' + c if n != 'raw' else c for n in a.norm.split(',') for c in a.columns.split(',')]
    for half in ('A', 'B'):
        s = [t for t in trials if t['cond'] == 'clean' and t['half'] == half and t['weighted'] and
             (not a.arabicsc_models or t['model'][1].startswith('arabicsc/'))]
        print('half %s: clean weighted trials g %d i %d' % (half, sum(t['kind'] == 'g' for t in s),
                                                            sum(t['kind'] == 'i' for t in s)))
        for choice in cols:
            side = {k: [x for x in (ratio(t, choice) for t in s if t['kind'] == k) if math.isfinite(x)] for k in 'gi'}
            print('    %-26s genuine %.3f sd %.3f (%d)  impostor %.3f sd %.3f (%d)  gap %.3f' % (
                choice, mean_of(side['g']), sd_of(side['g']), len(side['g']), mean_of(side['i']), sd_of(side['i']),
                len(side['i']), mean_of(side['g']) - mean_of(side['i'])))


def print_centres(trials, cols):
    """Each column's mean and sd over the pooled clean genuine trials on the
    weighted path, and main's score's sd there."""
    g = [t for t in trials if t['cond'] == 'clean' and t['kind'] == 'g' and t['weighted']]
    print('pooled clean genuine weighted trials %d, main score sd %.4f' % (
        len(g), statistics.stdev([t['score'] for t in g])))
    for choice in cols:
        v = [x for x in (ratio(t, choice) for t in g) if math.isfinite(x)]
        print('    %-22s mean %.4f sd %.4f (%d)' % (choice, statistics.mean(v), statistics.stdev(v), len(v)))


def accepted(t, m):
    return m <= 0.0 and not t['flag']


def fused_margins(s, col, share, centre, scale, t_w):
    out = []
    for t in s:
        if t['weighted']:
            x = t['score'] - share * scale * (ratio(t, col) - centre)
            out.append(x - (t_w + t['part']) if math.isfinite(x) else math.inf)
        else:
            out.append(margin_main(t))
    return out


def refit(s, col, share, centre, scale, allowed):
    """The largest T_w keeping the impostor acceptances at most `allowed`."""
    fixed = sum(1 for t in s if t['kind'] == 'i' and not t['weighted'] and accepted(t, margin_main(t)))
    cuts = sorted(t['score'] - share * scale * (ratio(t, col) - centre) - t['part']
                  for t in s if t['kind'] == 'i' and t['weighted'] and not t['flag'])
    cuts = [c for c in cuts if math.isfinite(c)]
    room = allowed - fixed
    if room < 0:
        return -math.inf
    exact = cuts[room] - 1e-6 if room < len(cuts) else math.inf
    return math.floor(exact * 1e4) / 1e4


def figures(s, m):
    g = [x for t, x in zip(s, m) if t['kind'] == 'g']
    i = [x for t, x in zip(s, m) if t['kind'] == 'i']
    fa = sum(accepted(t, x) for t, x in zip(s, m) if t['kind'] == 'i')
    fr = sum(not accepted(t, x) for t, x in zip(s, m) if t['kind'] == 'g')
    pairs = {}
    for t, x in zip(s, m):
        if t['kind'] == 'i':
            p = pairs.setdefault((t['model'][0], t['model'][1], t['test']), [0, 0])
            p[0] += accepted(t, x)
            p[1] += 1
    worst = max(pairs, key=lambda p: (pairs[p][0], p))
    return {'eer': eer_of(g, i), 'fa': fa, 'fr': fr, 'g': len(g), 'i': len(i), 'far': 100.0 * fa / len(i),
            'frr': 100.0 * fr / len(g), 'worst': pairs[worst][0], 'worst_pair': worst, 'worst_n': pairs[worst][1]}


def set_checks(f, b, slack, held):
    """EER, FRR, worst pair against main's. A set that must gain: the EER
    lower beyond the slack, the FRR not higher. A set only held (a half the
    fusion can hardly better, its EER already near nothing): the EER and the
    FRR not higher beyond the slack. The worst pair never more."""
    if held:
        return [f['eer'] <= b['eer'] + slack + 1e-9, f['frr'] <= b['frr'] + slack + 1e-9, f['worst'] <= b['worst']]
    return [f['eer'] < b['eer'] - slack - 1e-9, f['frr'] <= b['frr'] + 1e-9, f['worst'] <= b['worst']]


def grid(a, trials):
    s_all = sets(trials, 'clean', by_corpus=a.by_corpus)
    checked = ('pooled', 'A', 'B')
    base = {n: figures(s, [margin_main(t) for t in s]) for n, s in s_all.items()}
    for n, b in base.items():
        print('main %-6s EER %.2f FAR %.2f (%d/%d) FRR %.2f (%d/%d) worst %s/%s<-%s %d/%d' % (
            n, b['eer'], b['far'], b['fa'], b['i'], b['frr'], b['fr'], b['g'], *b['worst_pair'], b['worst'],
            b['worst_n']))
    shares = [float(x) for x in a.shares.split(',')]
    rows = []
    for col in a.columns.split(','):
        for share in shares:
            res, ok_all = {}, True
            for n, s in s_all.items():
                t_w = refit(s, col, share, a.centre, a.scale, base[n]['fa'])
                f = figures(s, fused_margins(s, col, share, a.centre, a.scale, t_w))
                b = base[n]
                slack = max(SLACK, 100.0 / b['g'], 100.0 / b['i'])
                checks = set_checks(f, b, slack, held=a.halves == 'held' and n != 'pooled')
                ok_all = ok_all and (all(checks) or n not in checked)
                res[n] = (t_w, f, checks)
            rows.append((col, share, ok_all, res))
            print('%-14s s %.2f %s' % (col, share, 'PASSES' if ok_all else 'fails'))
            for n in res:
                t_w, f, checks = res[n]
                print('    %-11s T_w %.4f EER %.2f%s FAR %.2f (%d) FRR %.2f (%d)%s worst %s/%s<-%s %d/%d%s' % (
                    n, t_w, f['eer'], '' if checks[0] else '*', f['far'], f['fa'], f['frr'], f['fr'],
                    '' if checks[1] else '*', *f['worst_pair'], f['worst'], f['worst_n'], '' if checks[2] else '*'))
    passing = [r for r in rows if r[2]]
    if not passing:
        print('chosen: none')
        return
    order = sorted(passing, key=lambda r: (r[3]['pooled'][1]['eer'],
                                           int(column_of(r[0]).split('_k')[1].split('_')[0]),
                                           r[1], -float(column_of(r[0]).split('_r')[1])))
    print('chosen: %s s %.2f' % (order[0][0], order[0][1]))


def trial_slack(side_count):
    return max(SLACK, 100.0 / side_count) if side_count else SLACK


def confirm(a, trials):
    """One fixed setting on trials it was not chosen on, condition by
    condition; returns whether every held figure is within its slack."""
    held = set(a.hold.split(',')) if a.hold else set()
    names = ['L'] if a.speakers else ['pooled', 'A', 'B']
    ok = True
    for cond in a.conditions.split(','):
        s_all = sets(trials, cond)
        if a.speakers:
            s_all = {'L': s_all['pooled']}
        for n in names:
            s = s_all[n]
            if not s:
                continue
            main_m = [margin_main(t) for t in s]
            disagree = sum(accepted(t, m) != t['dumped_accept'] for t, m in zip(s, main_m))
            new_m = fused_margins(s, a.confirm, a.share, a.centre, a.scale, a.base)
            b, f = figures(s, main_m), figures(s, new_m)
            weighted = sum(t['weighted'] for t in s)
            no_ratio = sum(t['weighted'] and not math.isfinite(ratio(t, a.confirm)) for t in s)
            moved_g = sum(accepted(t, x) != accepted(t, y) for t, x, y in zip(s, main_m, new_m) if t['kind'] == 'g')
            moved_i = sum(accepted(t, x) != accepted(t, y) for t, x, y in zip(s, main_m, new_m) if t['kind'] == 'i')
            print('%-8s %-6s g %d i %d weighted %d (without ratio or level %d) main disagrees with the dump %d; '
                  'decisions turned g %d i %d' % (cond, n, b['g'], b['i'], weighted, no_ratio, disagree, moved_g,
                                                  moved_i))
            for label, x in (('main', b), ('fused', f)):
                print('    %-5s EER %.2f FAR %.2f (%d) FRR %.2f (%d) worst %s/%s<-%s %d/%d (%.0f %%)' % (
                    label, x['eer'], x['far'], x['fa'], x['frr'], x['fr'], *x['worst_pair'], x['worst'],
                    x['worst_n'], 100.0 * x['worst'] / x['worst_n']))
            if cond in held and n == names[0]:
                far_slack, frr_slack = trial_slack(b['i']), trial_slack(b['g'])
                far_ok = f['far'] <= b['far'] + far_slack + 1e-9
                frr_ok = f['frr'] <= b['frr'] + frr_slack + 1e-9
                print('    held: FAR %.2f -> %.2f (slack %.2f) %s; FRR %.2f -> %.2f (slack %.2f) %s' % (
                    b['far'], f['far'], far_slack, 'holds' if far_ok else 'FAILS', b['frr'], f['frr'], frr_slack,
                    'holds' if frr_ok else 'FAILS'))
                ok = ok and far_ok and frr_ok
    if held:
        print('verdict: %s' % ('passes' if ok else 'fails'))
    return ok


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('--main', nargs='+', required=True)
    ap.add_argument('--llr-a', required=True)
    ap.add_argument('--llr-b')
    ap.add_argument('--conditions', default='clean')
    ap.add_argument('--measure', action='store_true')
    ap.add_argument('--grid', action='store_true')
    ap.add_argument('--columns')
    ap.add_argument('--centre', type=float)
    ap.add_argument('--scale', type=float)
    ap.add_argument('--shares')
    ap.add_argument('--norm-a')
    ap.add_argument('--norm-b')
    ap.add_argument('--norm', default='raw')
    ap.add_argument('--levels', action='store_true', help='per half, each --norm of each --columns: '
                    'genuine and impostor levels on the clean weighted trials, nothing else')
    ap.add_argument('--arabicsc-models', action='store_true', help='--levels: arabicsc models\' trials alone')
    ap.add_argument('--confirm', help='NORM:column of one fixed setting (with --share, --centre, --scale, --base)')
    ap.add_argument('--share', type=float)
    ap.add_argument('--base', type=float, help='--confirm: the weighted path\'s fixed base T_w')
    ap.add_argument('--hold', help='--confirm: conditions whose FAR and FRR must hold within the slack')
    ap.add_argument('--speakers', help='one set of these speakers\' trials among themselves instead of the halves')
    ap.add_argument('--halves', choices=('bettered', 'held'), default='bettered',
                    help='--grid: each half must gain as the pooled set does, or only be held within the slack')
    ap.add_argument('--by-corpus', action='store_true',
                    help='--grid: half A by corpus beside the checked sets, each its own base (not checked)')
    a = ap.parse_args()
    trials, missing = load(a)
    print('trials %d, without a ratio row %d' % (len(trials), missing))
    if a.measure:
        measure(a, trials)
    if a.levels:
        print_levels(a, trials)
    if a.grid:
        grid(a, trials)
    if a.confirm:
        confirm(a, trials)


if __name__ == '__main__':
    main()
