#!/usr/bin/env python3
"""The fusion searched again for each scoring path (thirty-first round),
offline from sonvera-eval dumps of one build.

  fusion-fit.py --speakers a,b,... --enrol-log run.err dump.csv... --check
  fusion-fit.py ... --search a
  fusion-fit.py ... --search b [--weighted-fusion W2,W3,K0,K2,K3,G,T_W]
  fusion-fit.py ... --weighted-fusion ... --unweighted-fusion W2,W3,K0,K2,K3,G,T_U --report
                    [--engine engine.csv]

Every trial's score is the fusion of its dumped distances: with d, n and m
the distances to the model, the neighbours' means and the typical
distances the take was scored against (w1 = 0: the mean spectrum is out),
score = sum_p w_p (d_p + G (d_p - n_p) - k_p m_p) / s_p, s = (25, 10, 12,
0.085). The take's path is the engine's: the dump's threshold is the
weighted path's (T_w + the snr and enrolment terms) or the unweighted
one's (T + those terms + the noise figure's + the line's offset); the
gate (snr >= 40, within 6 dB of the enrolment, not through a line) is
checked against it. --check recomputes the build's own scores and accept
decisions with the shipped fusion and counts those that differ.

--search a: the weighted path's grid (w2, w3, k0, k2, k3, G; w0 1, w1 0),
the unweighted path as dumped; T_w for each setting the largest keeping
the clean impostor trials within 1 % (both paths; the seventh round's
rule), to 4 decimals on the stricter side. --search b: the unweighted
path's grid on top of the weighted fusion given (default the shipped
one); T_u the largest keeping the clean FAR within 1 % and the white10 and
speech20 FARs at the shipped point not above the shipped engine's. Each
part's rule against the shipped fusion (engine/doc/tuning-rounds.md,
thirty-first round); the settings that pass, best first.
--show W2,W3,K0,K2,K3,G (with --search, repeated): those settings only, each
check in full. --line-held (for comparison only): a line's takes kept at
the shipped fusion and base, as a path of their own would keep them.
--clean-held: so too every unweighted take that reads at least 40 dB itself
(the weighted path's level gate). --clean-rule: the thirty-third round's
rule, the fusions given with and without the clean takes held.
--report: every condition's figures at the two fusions given; --engine: a
dump of the engine built with them, checked trial by trial.
"""
import itertools
import math

from fitlib import figures_text, impostor_pairs, parser, print_checks, sibling

REPORT = sibling('condition-report.py')
SCALES = (25.0, 10.0, 12.0, 0.085)
PARTS = (0, 2, 3)   # the mean spectrum (1) has weight 0 on both paths
# w2, w3, k0, k2, k3, G (w0 1, w1 0, k1 0).
SHIPPED = (0.5, 0.1, 1.0, 2.0, 1.0, 3.0)
GRID = ((0.25, 0.5, 0.75, 1.0), (0.05, 0.1, 0.15, 0.2), (0.5, 1.0, 1.5), (1.0, 2.0, 3.0), (0.0, 1.0),
        (2.0, 3.0, 4.0, 5.0))
T_UNWEIGHTED = -0.5681
T_WEIGHTED = -0.5179
SNR_SLOPE, SNR_KNEE = 0.015, 60.0
GATE_LEVEL, GATE_DROP = 40.0, 6.0
SLACK = 0.1
HALVES = ({'george', 'jackson', 'nicolas', 'theo', 'asc01', 'asc03', 'asc04'},
          {'george', 'jackson', 'asc05', 'asc07', 'asc09', 'asc11'})
CONDITIONS = ('clean', 'white20', 'speech20', 'white10', 'soft12', 'phone', 'reverb')
KEY = ('condition', 'kind', 'model_speaker', 'word', 'test_speaker', 'take')


def load(dumps, log, speakers, t_w=T_WEIGHTED, t_u=T_UNWEIGHTED):
    """One record per genuine, impostor or replay trial among the speakers;
    t_w, t_u: the bases of the build that made the dumps."""
    REPORT.ENROL.update(slope=0.0025, margin=4.0, snr=REPORT.read_enrol_log(log))
    REPORT.NOISE.update(share=1.25, typical=0.28397, margin=6.0, min_drop=10.0, cap=True, impostor=True)
    REPORT.LINE['offset'] = -0.17
    REPORT.WEIGHTED['base'] = None
    trials = []
    for r in REPORT.load(dumps, speakers):
        unweighted_part = REPORT.variable_part(r, SNR_SLOPE, SNR_KNEE) + REPORT.line_offset(r)
        # The weighted path's part has no noise figure's term.
        saved = REPORT.NOISE['share']
        REPORT.NOISE['share'] = 0.0
        weighted_part = REPORT.variable_part(r, SNR_SLOPE, SNR_KNEE)
        REPORT.NOISE['share'] = saved
        limit = float(r['threshold'])
        # A take on a line's band is never weighed. Where the noise figure's
        # term makes the two paths' limits meet (within the dump's
        # rounding), the limit cannot tell the path: the gate does.
        off_weighted = abs(limit - (t_w + weighted_part))
        # A clean take held (--clean-held) has the shipped base on the unweighted path.
        held_base = CLEAN_HELD['on'] and r['condition'] not in REPORT.LINE['conditions'] and r['snr_db'] >= GATE_LEVEL
        off_unweighted = abs(limit - ((T_UNWEIGHTED if held_base else t_u) + unweighted_part))
        weighted = (r['condition'] not in REPORT.LINE['conditions'] and
                    (off_weighted < off_unweighted if abs(off_weighted - off_unweighted) > 5e-4 else gate(r)))
        t = {k: r[k] for k in KEY}
        t.update(key=tuple(r[k] for k in KEY), epd=r['epd'], s=r['s'], accept=r['accept'] == '1',
                 copy_pitch=r['copy_pitch'], copy_wave=r['copy_wave'], snr_db=r['snr_db'], enrol_db=r['enrol_db'],
                 weighted=weighted, part=weighted_part if weighted else unweighted_part,
                 gate=gate(r), engine_limit=limit,
                 d=[float(r['d%d' % p]) for p in range(4)], n=[float(r['n%d' % p]) for p in range(4)],
                 m=[float(r['m%d' % p]) for p in range(4)])
        t['flag'] = REPORT.copy_flag({'epd': t['epd'], 's': t['s'], 'copy_pitch': t['copy_pitch'],
                                      'copy_wave': t['copy_wave']})
        trials.append(t)
    return trials


def gate(r):
    """The engine's gate to the weighted path, from the dumped snr and the
    logged enrolment snr (a mean of values rounded to two decimals)."""
    if r['enrol_db'] <= 0.0 or r['condition'] in REPORT.LINE['conditions']:
        return False
    return r['snr_db'] >= GATE_LEVEL and min(r['enrol_db'], REPORT.ENROL_SNR_CAP) - r['snr_db'] <= GATE_DROP


def score(t, fusion):
    """The trial's score under fusion (w2, w3, k0, k2, k3, G); a refused
    take (no score) stays refused."""
    if t['s'] == math.inf:
        return math.inf
    w2, w3, k0, k2, k3, g = fusion
    d, n, m = t['d'], t['n'], t['m']
    total = 0.0
    for p, w, k in ((0, 1.0, k0), (2, w2, k2), (3, w3, k3)):
        total += w * (d[p] + g * (d[p] - n[p]) - k * m[p]) / SCALES[p]
    return total


# --line-held: a line's takes kept at the shipped fusion and base, as a
# path of their own keeps them (the thirty-second round's engine).
# --clean-held: so too the unweighted takes that read at least the weighted
# path's level gate themselves (thirty-third round).
LINE_HELD = {'on': False}
CLEAN_HELD = {'on': False}


def clean_held(t):
    return (CLEAN_HELD['on'] and not t['weighted'] and t['condition'] not in REPORT.LINE['conditions'] and
            t['snr_db'] >= GATE_LEVEL)


def held(t):
    return (LINE_HELD['on'] and t['condition'] in REPORT.LINE['conditions']) or clean_held(t)


def cuts(trials, weighted_fusion, unweighted_fusion):
    """Each trial's score less the variable part of its threshold (its
    margin is this less its path's base)."""
    out = []
    for t in trials:
        f = weighted_fusion if t['weighted'] else SHIPPED if held(t) else unweighted_fusion
        out.append(score(t, f) - t['part'])
    return out


def margins(trials, c, t_w, t_u):
    return [x - (t_w if t['weighted'] else T_UNWEIGHTED if held(t) else t_u) for t, x in zip(trials, c)]


def check(trials):
    """The build's own scores and decisions from its dumped distances."""
    by = {}
    for t in trials:
        if t['s'] == math.inf:
            continue
        diff = abs(score(t, SHIPPED) - t['s'])
        accept = score(t, SHIPPED) - t['part'] - (T_WEIGHTED if t['weighted'] else T_UNWEIGHTED) <= 0.0 \
            and not t['flag']
        row = by.setdefault(t['condition'], [0, 0, 0, 0, 0, 0.0])
        row[5] = max(row[5], diff)
        row[0] += 1
        row[1] += diff > 2e-4
        row[2] += accept != t['accept']
        row[3] += t['weighted']
        row[4] += t['weighted'] != t['gate']
        base = T_WEIGHTED if t['weighted'] else T_UNWEIGHTED
        if abs(base + t['part'] - t['engine_limit']) > 5e-4:
            print('  threshold differs: %s dumped %.5f offline %.5f' % (t['key'], t['engine_limit'], base + t['part']))
    for t in trials:
        if t['s'] == math.inf:
            row = by.setdefault(t['condition'], [0, 0, 0, 0, 0, 0.0])
            row[2] += t['accept']
    print('condition: scored trials, scores differing by more than 2e-4, decisions differing, weighted, '
          'path against the offline gate differing, largest score difference')
    for c, row in sorted(by.items()):
        print('  %-9s %6d %6d %6d %6d %6d %9.6f' % (c, *row))
    for t in trials:
        if t['s'] < math.inf and abs(score(t, SHIPPED) - t['s']) > 2e-4 and t['condition'] != 'phone':
            print('  differs: %s dumped %.5f recomputed %.5f' % (t['key'], t['s'], score(t, SHIPPED)))


def fit_weighted(trials, c, t_u, target=1.0):
    """Largest T_w (4 decimals, stricter side) keeping the clean impostor
    trials within target %, the unweighted path at t_u."""
    idx = [j for j, t in enumerate(trials) if t['condition'] == 'clean' and t['kind'] == 'i']
    allowed = int(math.floor(target / 100.0 * len(idx)))
    out_accepted = sum(1 for j in idx if not trials[j]['weighted'] and c[j] - t_u <= 0.0)
    w = sorted(c[j] for j in idx if trials[j]['weighted'] and c[j] < math.inf)
    room = allowed - out_accepted
    if room < 0:
        return -math.inf
    exact = w[room] - 1e-6 if room < len(w) else math.inf
    return math.floor(exact * 1e4) / 1e4


def largest_within(trials, c, cond, t_w, allowed, flags):
    """Largest T_u at which at most `allowed` impostor trials of cond pass,
    the weighted path at t_w (flags: a replay-flagged take never passes)."""
    idx = [j for j, t in enumerate(trials) if t['condition'] == cond and t['kind'] == 'i' and
           not (flags and trials[j]['flag'])]
    fixed = sum(1 for j in idx if trials[j]['weighted'] and c[j] - t_w <= 0.0)
    u = sorted(c[j] for j in idx if not trials[j]['weighted'] and c[j] < math.inf)
    room = allowed - fixed
    if room < 0:
        return -math.inf
    return u[room] - 1e-6 if room < len(u) else math.inf


def fit_unweighted(trials, c, t_w, caps):
    """Largest T_u (4 decimals, stricter side) keeping the clean FAR within
    1 % and the white10 and speech20 FARs' counts within caps."""
    n_clean = sum(1 for t in trials if t['condition'] == 'clean' and t['kind'] == 'i')
    limits = [largest_within(trials, c, 'clean', t_w, int(math.floor(0.01 * n_clean)), False)]
    limits += [largest_within(trials, c, cond, t_w, cap, True) for cond, cap in caps.items()]
    return math.floor(min(limits) * 1e4) / 1e4


def far_counts(trials, m, conds):
    return {cond: sum(1 for t, x in zip(trials, m) if t['condition'] == cond and t['kind'] == 'i' and
                      x <= 0.0 and not t['flag']) for cond in conds}


def figures(trials, m, cond, speakers=None):
    sel = [(t, x) for t, x in zip(trials, m) if t['condition'] == cond and
           (speakers is None or (t['model_speaker'] in speakers and t['test_speaker'] in speakers))]
    g = [x for t, x in sel if t['kind'] == 'g']
    i = [x for t, x in sel if t['kind'] == 'i']
    acc = lambda t, x: x <= 0.0 and not t['flag']
    far = 100.0 * sum(acc(t, x) for t, x in sel if t['kind'] == 'i') / max(1, len(i))
    frr = 100.0 * sum(not acc(t, x) for t, x in sel if t['kind'] == 'g') / max(1, len(g))
    return {'eer': 100.0 * REPORT.eer(g, i), 'far': far, 'frr': frr, 'g': len(g), 'i': len(i)}


def judge(trials, m):
    v = {c: figures(trials, m, c) for c in CONDITIONS}
    v['halves'] = [figures(trials, m, 'clean', h)['eer'] for h in HALVES]
    return v


def slack(v, cond, sides):
    return max([SLACK] + [100.0 / v[cond][s] for s in sides if v[cond][s]])


def slack_half(trials, half):
    n = {s: sum(1 for t in trials if t['condition'] == 'clean' and t['kind'] == s and
                t['model_speaker'] in half and t['test_speaker'] in half) for s in 'gi'}
    return max([SLACK] + [100.0 / x for x in n.values() if x])


def not_higher(name, before, after, s):
    return (name, before, after, after <= before + s + 1e-9)


def checks_a(v, base, trials):
    """The weighted path's rule (Search A)."""
    s = slack(base, 'clean', 'gi')
    out = [('clean EER lower by more than the slack', base['clean']['eer'], v['clean']['eer'],
            v['clean']['eer'] < base['clean']['eer'] - s - 1e-9),
           not_higher('clean FRR', base['clean']['frr'], v['clean']['frr'], 0.0)]
    for j, half in enumerate(HALVES):
        out.append(not_higher('clean EER, half %d' % (j + 1), base['halves'][j], v['halves'][j],
                              slack_half(trials, half)))
    for c in ('reverb', 'soft12', 'phone', 'white20', 'speech20'):
        out.append(not_higher('%s EER' % c, base[c]['eer'], v[c]['eer'], slack(base, c, 'gi')))
    for c in ('white10', 'speech20'):
        out.append(not_higher('%s FAR' % c, base[c]['far'], v[c]['far'], slack(base, c, 'i')))
    return out


def checks_b(v, base, trials):
    """The unweighted path's rule (Search B)."""
    out = []
    for c in ('white20', 'speech20'):
        s = slack(base, c, 'gi')
        out.append(('%s EER lower by more than the slack' % c, base[c]['eer'], v[c]['eer'],
                    v[c]['eer'] < base[c]['eer'] - s - 1e-9))
    out.append(not_higher('clean EER', base['clean']['eer'], v['clean']['eer'], slack(base, 'clean', 'gi')))
    out.append(not_higher('clean FRR', base['clean']['frr'], v['clean']['frr'], 0.0))
    for c in ('soft12', 'phone', 'reverb'):
        out.append(not_higher('%s EER' % c, base[c]['eer'], v[c]['eer'], slack(base, c, 'gi')))
    for j, half in enumerate(HALVES):
        out.append(not_higher('clean EER, half %d' % (j + 1), base['halves'][j], v['halves'][j],
                              slack_half(trials, half)))
    # Held by T_u's choice; shown.
    for c in ('white10', 'speech20'):
        out.append(not_higher('%s FAR' % c, base[c]['far'], v[c]['far'], 0.0))
    return out


def row_text(label, t, v):
    return '%-34s T %8.4f %s | FRR white20 %.2f speech20 %.2f' % (
        label, t, figures_text(v), v['white20']['frr'], v['speech20']['frr'])


def fusion_text(f):
    return 'w2 %g w3 %g k0 %g k2 %g k3 %g G %g' % f


def changed(f):
    return sum(a != b for a, b in zip(f, SHIPPED))


def parse_fusion(text):
    """W2,W3,K0,K2,K3,G,T: the fusion and its path's base."""
    v = [float(x) for x in text.split(',')]
    return tuple(v[:6]), v[6]


def run_grid(trials, part, weighted_fusion, t_w_fixed, only=None):
    base_cuts = cuts(trials, SHIPPED, SHIPPED)
    base_m = margins(trials, base_cuts, T_WEIGHTED, T_UNWEIGHTED)
    base = judge(trials, base_m)
    print(row_text('shipped (%s)' % fusion_text(SHIPPED), T_WEIGHTED if part == 'a' else T_UNWEIGHTED, base))
    caps = far_counts(trials, base_m, ('white10', 'speech20'))
    if part == 'b':
        wc = cuts(trials, weighted_fusion, SHIPPED)
        on_top = judge(trials, margins(trials, wc, t_w_fixed, T_UNWEIGHTED))
        print(row_text('weighted path as given, unweighted shipped', T_UNWEIGHTED, on_top))
        print('white10 / speech20 impostors accepted by the shipped engine: %d / %d' % (
            caps['white10'], caps['speech20']))
    passing, failures, rows = [], {}, 0
    for f in only or itertools.product(*GRID):
        if part == 'a':
            c = cuts(trials, f, SHIPPED)
            t = fit_weighted(trials, c, T_UNWEIGHTED)
            m = margins(trials, c, t, T_UNWEIGHTED)
            v = judge(trials, m)
            result = checks_a(v, base, trials)
        else:
            c = cuts(trials, weighted_fusion, f)
            t = fit_unweighted(trials, c, t_w_fixed, caps)
            m = margins(trials, c, t_w_fixed, t)
            v = judge(trials, m)
            result = checks_b(v, base, trials)
        rows += 1
        failed = [name for name, _, _, ok in result if not ok]
        for name in failed:
            failures[name] = failures.get(name, 0) + 1
        if part == 'a':
            rank = (round(v['clean']['eer'] + v['clean']['frr'], 4), changed(f))
        else:
            rank = (round((v['white20']['frr'] + v['speech20']['frr']) / 2.0, 4),
                    round((v['white20']['eer'] + v['speech20']['eer']) / 2.0, 4), changed(f))
        line = row_text(fusion_text(f), t, v)
        print(line + (' | passes' if not failed else ' | fails: ' + ', '.join(failed)))
        if only:
            for name, before, after, ok in result:
                print('  %-42s %.4f -> %.4f%% %s' % (name, before, after, 'ok' if ok else 'FAILS'))
        if not failed:
            passing.append((rank, f, t, v, result))
    print('settings: %d; failures by check: %s' % (rows, ', '.join('%s %d' % kv for kv in sorted(failures.items()))))
    passing.sort(key=lambda p: p[0])
    print('passing: %d' % len(passing))
    for rank, f, t, v, result in passing[:15]:
        print('  %s T %.4f rank %s' % (fusion_text(f), t, rank))
    if passing:
        rank, f, t, v, result = passing[0]
        print('chosen: %s, T %.4f' % (fusion_text(f), t))
        for name, before, after, ok in result:
            print('  %-42s %.2f -> %.2f%% %s' % (name, before, after, 'ok' if ok else 'FAILS'))
    else:
        print('none passes')


def worst_pair(trials, m, cond):
    k, (a, n) = max(impostor_pairs(trials, m, cond).items(), key=lambda kv: kv[1][0] / kv[1][1])
    return '%.0f%% (%s %s by %s)' % (100.0 * a / n, k[0], k[1], k[2])


def report(trials, wf, t_w, uf, t_u):
    m = margins(trials, cuts(trials, wf, uf), t_w, t_u)
    for cond in CONDITIONS:
        f = figures(trials, m, cond)
        weighted = sum(1 for t in trials if t['condition'] == cond and t['kind'] in 'gi' and t['weighted'])
        kept = sum(1 for t in trials if t['condition'] == cond and t['kind'] in 'gi' and clean_held(t))
        print('%-9s EER=%.2f%% FAR=%.2f%% FRR=%.2f%% (g=%d i=%d, weighted %d, clean held %d) worst pair %s' % (
            cond, f['eer'], f['far'], f['frr'], f['g'], f['i'], weighted, kept, worst_pair(trials, m, cond)))
    rp = [t for t in trials if t['kind'] == 'r']
    g = [t for t in trials if t['kind'] == 'g' and t['condition'] == 'clean']
    print('replays caught %.2f%% (%d), fresh clean takes flagged %.2f%%' % (
        100.0 * sum(t['flag'] for t in rp) / max(1, len(rp)), len(rp),
        100.0 * sum(t['flag'] for t in g) / max(1, len(g))))
    return m


def engine_check(trials, m, path, log, speakers, wf, t_w, uf, t_u):
    """The engine built with the two fusions against the offline decisions."""
    built = {t['key']: t for t in load([path], log, speakers, t_w, t_u)}
    differ = {'missing': 0, 'score': 0, 'path': 0, 'decision': 0}
    for t, x in zip(trials, m):
        if t['kind'] not in 'gi':
            continue
        e = built.get(t['key'])
        if e is None:
            differ['missing'] += 1
            continue
        s = score(t, wf if t['weighted'] else SHIPPED if held(t) else uf)
        differ['score'] += not (s == e['s'] or abs(s - e['s']) <= 2e-4)
        differ['path'] += e['weighted'] != t['weighted']
        if (x <= 0.0 and not t['flag']) != e['accept']:
            differ['decision'] += 1
            print('  decision differs: %s engine score %.5f limit %.5f, offline margin %.5f' % (
                t['key'], e['s'], e['engine_limit'], x))
    print('engine check: %d trials; differing: %s' % (
        sum(1 for t in trials if t['kind'] in 'gi'), ', '.join('%s %d' % kv for kv in differ.items())))


# The thirty-third round's soft voice FAR before the thirty-second round.
SOFT12_FAR_BEFORE = 2.27


def clean_rule(trials, wf, t_w, uf, t_u):
    """The clean takes held against the engine without them held (both
    with the line's takes held), by the thirty-third round's rule."""
    CLEAN_HELD['on'] = False
    base = judge(trials, margins(trials, cuts(trials, wf, uf), t_w, t_u))
    CLEAN_HELD['on'] = True
    v = judge(trials, margins(trials, cuts(trials, wf, uf), t_w, t_u))
    print(row_text('without the clean takes held', t_u, base))
    print(row_text('with them held', t_u, v))
    out = [not_higher('soft12 FAR against %.2f%%' % SOFT12_FAR_BEFORE, SOFT12_FAR_BEFORE, v['soft12']['far'],
                      slack(base, 'soft12', 'i')),
           ('clean FAR within 1%', 1.0, v['clean']['far'], v['clean']['far'] <= 1.0 + 1e-9),
           not_higher('clean EER', base['clean']['eer'], v['clean']['eer'], slack(base, 'clean', 'gi')),
           not_higher('clean FRR', base['clean']['frr'], v['clean']['frr'], slack(base, 'clean', 'g'))]
    for c in ('soft12', 'phone', 'reverb'):
        out.append(not_higher('%s EER' % c, base[c]['eer'], v[c]['eer'], slack(base, c, 'gi')))
    for c in ('white20', 'speech20', 'white10'):
        out.append(not_higher('%s EER' % c, base[c]['eer'], v[c]['eer'], slack(base, c, 'gi')))
        out.append(not_higher('%s FAR' % c, base[c]['far'], v[c]['far'], slack(base, c, 'i')))
    print_checks(out, width=42, unit='%')


def main():
    ap = parser()
    ap.add_argument('--check', action='store_true')
    ap.add_argument('--search', choices=('a', 'b'))
    ap.add_argument('--weighted-fusion', help='W2,W3,K0,K2,K3,G,T_W (default: the shipped fusion and T_w)')
    ap.add_argument('--unweighted-fusion', help='W2,W3,K0,K2,K3,G,T_U (default: the shipped fusion and T)')
    ap.add_argument('--show', action='append', default=[],
                    help='with --search: W2,W3,K0,K2,K3,G, one setting with its checks in full (the grid otherwise)')
    ap.add_argument('--line-held', action='store_true',
                    help='for comparison only: a line\'s takes at the shipped fusion and base')
    ap.add_argument('--clean-held', action='store_true',
                    help='the unweighted takes reading at least the weighted gate\'s level at the shipped fusion and base')
    ap.add_argument('--clean-rule', action='store_true',
                    help='the clean takes held against the fusions given without them (thirty-third round)')
    ap.add_argument('--report', action='store_true')
    ap.add_argument('--engine', help='with --report: a dump of the engine built with the fusions (its log .err)')
    a = ap.parse_args()
    speakers = set(a.speakers.split(','))
    LINE_HELD['on'] = a.line_held
    CLEAN_HELD['on'] = a.clean_held
    trials = load(a.dumps, a.enrol_log, speakers)
    print('trials: %d' % len(trials))
    wf, t_w = parse_fusion(a.weighted_fusion) if a.weighted_fusion else (SHIPPED, T_WEIGHTED)
    uf, t_u = parse_fusion(a.unweighted_fusion) if a.unweighted_fusion else (SHIPPED, T_UNWEIGHTED)
    if a.check:
        check(trials)
    if a.search:
        only = [tuple(float(x) for x in text.split(',')) for text in a.show]
        run_grid(trials, a.search, wf, t_w, only)
    if a.clean_rule:
        clean_rule(trials, wf, t_w, uf, t_u)
        CLEAN_HELD['on'] = a.clean_held
    if a.report:
        m = report(trials, wf, t_w, uf, t_u)
        if a.engine:
            engine_check(trials, m, a.engine, a.engine.rsplit('.', 1)[0] + '.err', speakers, wf, t_w, uf, t_u)


if __name__ == '__main__':
    main()
