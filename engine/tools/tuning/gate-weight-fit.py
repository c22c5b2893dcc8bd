#!/usr/bin/env python3
"""The per-dimension weights kept for takes near their enrolment's snr
(twenty-seventh round), offline from sonvera-eval dumps of both builds.

  gate-weight-fit.py --speakers a,b,... --base base.csv --base-log base.err
                     --weighted dump.csv --weighted-log dump.err
                     [--gates 4,6,8,10] [--levels 30,35,40]
                     [--gate G [--level S] --t-weighted T]

--base: the engine without weights (its scores, e, i and copies' snr);
--weighted: the build with the weights (its scores). Both dumps must hold
the same trials, one for one, with the same snr and enrolment snr.

A trial whose take lies within G dB of its model's enrolment snr (min(E,
60) - snr <= G, E known) and, with --levels, reads at least S dB itself
(snr >= S: a take clean in itself; twenty-eighth round) takes the weighted score against T_w + the snr
term + the enrolment-snr term + the line offset, without the noise
figure's term; any other trial, and every trial through a telephone line
(the `phone` condition: its band has no weights; twenty-ninth round), keeps
the base score against the engine's whole threshold (T -0.5681). Figures are taken on the margin, the score
less the trial's own threshold. For each G, T_w is the largest keeping the
clean FAR within 1 % over all clean impostor trials (those gated out at
the engine's threshold), rounded down to 4 decimals; the rule's checks
against the base as in noise-weight-fit.py. The settings that pass,
lowest clean EER first; ties by the lowest mean of the white20 and
speech20 EERs, the lowest soft12 EER, the smaller G, the larger S.
--engine (with --gate): the engine built with the choice, checked trial by
trial against the offline scores, thresholds and decisions. --gate with --t-weighted: every condition's
figures at a fixed choice (the left-out and all-19 figures), nothing
fitted. --with-term: the weighted path with the noise figure's term as
well (what it would have given there).
"""
import argparse
import math

from fitlib import figures_text, sibling

WEIGHTS = sibling('frame-weight-fit.py')
REPORT = WEIGHTS.REPORT
T_TODAY = -0.5681
SNR_SLOPE, SNR_KNEE = WEIGHTS.SNR_SLOPE, WEIGHTS.SNR_KNEE
ENROL_CAP = 60.0
EER_CHECKS = ('white20', 'speech20', 'soft12', 'phone', 'reverb')
FAR_CHECKS = ('white10', 'speech20')
CONDITIONS = ('clean', 'white20', 'speech20', 'white10', 'soft12', 'phone', 'reverb')
KEY = ('condition', 'kind', 'model_speaker', 'word', 'test_speaker', 'take')


def key(r):
    return tuple(r[k] for k in KEY)


def threshold_parts(r, with_noise_term):
    """The threshold less its base, with or without the noise figure's term."""
    saved = REPORT.NOISE['share']
    if not with_noise_term:
        REPORT.NOISE['share'] = 0.0
    part = REPORT.variable_part(r, SNR_SLOPE, SNR_KNEE) + REPORT.line_offset(r)
    REPORT.NOISE['share'] = saved
    return part


def paired_trials(base_path, base_log, weighted_path, weighted_log, speakers):
    """One record per trial: both builds' scores and thresholds' variable
    parts; the noise figure's term from the base build's e and i."""
    base = WEIGHTS.load(base_path, base_log, speakers)
    weighted = {key(r): r for r in WEIGHTS.load(weighted_path, weighted_log, speakers)}
    if len(weighted) != len(base) or {key(r) for r in base} != set(weighted):
        raise SystemExit('the dumps do not hold the same trials')
    trials = []
    for b in base:
        w = weighted[key(b)]
        if b['snr'] != w['snr'] or b['enrol_db'] != w['enrol_db']:
            raise SystemExit('snr differs between the dumps: %s' % (key(b),))
        trials.append({
            'condition': b['condition'], 'kind': b['kind'], 'model_speaker': b['model_speaker'],
            'test_speaker': b['test_speaker'], 'word': b['word'], 'epd': b['epd'],
            'copy_pitch': b['copy_pitch'], 'copy_wave': b['copy_wave'],
            'snr_db': b['snr_db'], 'enrol_db': b['enrol_db'],
            'base_margin': b['s'] - T_TODAY - threshold_parts(b, True),
            'weighted_cut': w['s'] - threshold_parts(b, False),
            'weighted_cut_term': w['s'] - threshold_parts(b, True),
            'key': key(b), 'base_s': b['s'], 'weighted_s': w['s'],
            'base_limit': T_TODAY + threshold_parts(b, True), 'weighted_part': threshold_parts(b, False),
        })
    return trials


def gated_in(t, gate):
    """gate: G, or (G, S) with the take's own level as well."""
    level = -math.inf
    if isinstance(gate, tuple):
        gate, level = gate
    return (t['enrol_db'] > 0.0 and t['snr_db'] >= level and t['condition'] not in REPORT.LINE['conditions'] and
            min(t['enrol_db'], ENROL_CAP) - t['snr_db'] <= gate)


def margin(t, gate, t_weighted, with_term=False):
    if gate is not None and gated_in(t, gate):
        return t['weighted_cut_term' if with_term else 'weighted_cut'] - t_weighted
    return t['base_margin']


def fit_weighted(trials, gate, with_term=False, target=1.0):
    """The largest T_w (to 4 decimals, rounded down) keeping the clean FAR
    within target %, the gated-out trials at the engine's threshold."""
    imp = [t for t in trials if t['kind'] == 'i' and t['condition'] == 'clean']
    allowed = int(math.floor(target / 100.0 * len(imp)))
    out_accepted = sum(1 for t in imp if not gated_in(t, gate) and t['base_margin'] <= 0.0)
    cuts = sorted(t['weighted_cut_term' if with_term else 'weighted_cut'] for t in imp
                  if gated_in(t, gate) and t['weighted_cut'] < math.inf)
    room = allowed - out_accepted
    if room < 0:
        return -math.inf
    exact = cuts[room] - 1e-6 if room < len(cuts) else math.inf
    return math.floor(exact * 1e4) / 1e4


def accepted(t, m):
    row = {'epd': t['epd'], 's': m, 'copy_pitch': t['copy_pitch'], 'copy_wave': t['copy_wave']}
    return m <= 0.0 and not REPORT.copy_flag(row)


def figures(trials, cond, gate, t_weighted, speakers=None, with_term=False):
    """EER on the margins, FAR and FRR at the shipped point, share gated in."""
    sub = [t for t in trials if t['condition'] == cond and
           (speakers is None or (t['model_speaker'] in speakers and t['test_speaker'] in speakers))]
    g = [(t, margin(t, gate, t_weighted, with_term)) for t in sub if t['kind'] == 'g']
    i = [(t, margin(t, gate, t_weighted, with_term)) for t in sub if t['kind'] == 'i']
    e = 100.0 * REPORT.eer([m for _, m in g], [m for _, m in i])
    far = 100.0 * sum(accepted(t, m) for t, m in i) / max(1, len(i))
    frr = 100.0 * sum(not accepted(t, m) for t, m in g) / max(1, len(g))
    share = 100.0 * sum(gate is not None and gated_in(t, gate) for t, _ in g + i) / max(1, len(g) + len(i))
    return {'eer': e, 'far': far, 'frr': frr, 'gated': share, 'g': len(g), 'i': len(i)}


def judge(trials, gate, t_weighted, with_term=False):
    out = {c: figures(trials, c, gate, t_weighted, with_term=with_term) for c in CONDITIONS}
    out['halves'] = [figures(trials, 'clean', gate, t_weighted, h, with_term)['eer'] for h in WEIGHTS.HALVES]
    return out


def slack(trials, cond, sides, speakers=None):
    sub = [t for t in trials if t['condition'] == cond and
           (speakers is None or (t['model_speaker'] in speakers and t['test_speaker'] in speakers))]
    n = {s: sum(t['kind'] == s for t in sub) for s in 'gi'}
    return max([WEIGHTS.SLACK] + [100.0 / n[s] for s in sides if n[s]])


def checks(v, base, trials):
    """(name, before, after, passes) for every check of the rule."""
    s = slack(trials, 'clean', 'gi')
    out = [('clean EER lower by more than the slack', base['clean']['eer'], v['clean']['eer'],
            v['clean']['eer'] < base['clean']['eer'] - s - 1e-9),
           ('clean FRR', base['clean']['frr'], v['clean']['frr'], v['clean']['frr'] <= base['clean']['frr'] + 1e-9)]
    for c in EER_CHECKS:
        s = slack(trials, c, 'gi')
        out.append(('%s EER' % c, base[c]['eer'], v[c]['eer'], v[c]['eer'] <= base[c]['eer'] + s + 1e-9))
    for j, half in enumerate(WEIGHTS.HALVES):
        s = slack(trials, 'clean', 'gi', half)
        out.append(('clean EER, half %d' % (j + 1), base['halves'][j], v['halves'][j],
                    v['halves'][j] <= base['halves'][j] + s + 1e-9))
    for c in FAR_CHECKS:
        s = slack(trials, c, 'i')
        out.append(('%s FAR' % c, base[c]['far'], v[c]['far'], v[c]['far'] <= base[c]['far'] + s + 1e-9))
    return out


def row_text(label, t_weighted, v):
    gated = tuple(v[k]['gated'] for k in ('clean', 'white20', 'speech20', 'white10', 'soft12', 'phone', 'reverb'))
    return ('%-12s T_w %8.4f %s | gated in: clean %.0f white20 %.0f speech20 %.0f white10 %.0f soft12 %.0f '
            'phone %.0f reverb %.0f%%' % ((label, t_weighted, figures_text(v)) + gated))


def setting_text(gate):
    return 'G %g S %g' % gate if isinstance(gate, tuple) else 'G %g' % gate


def preference(v, gate):
    """Lowest clean EER; then the two noisy EERs' mean, the soft voice's
    EER, the smaller G, the larger S (figures to the printed 2 decimals)."""
    g, s = gate if isinstance(gate, tuple) else (gate, 0.0)
    r = lambda x: round(x, 2)
    return (r(v['clean']['eer']), r((v['white20']['eer'] + v['speech20']['eer']) / 2.0),
            r(v['soft12']['eer']), g, -s)


def term_there(trials, gate):
    """What the noise figure's term would give on the gated-in trials."""
    parts = [t['weighted_cut'] - t['weighted_cut_term'] for t in trials if gated_in(t, gate)]
    moved = [p for p in parts if abs(p) > 1e-9]
    if not moved:
        return 'the term is 0 on every gated-in trial'
    return 'the term is non-zero on %d of %d gated-in trials (%.4f to %+.4f, mean %+.4f)' % (
        len(moved), len(parts), min(moved), max(moved), sum(moved) / len(moved))


def full_report(trials, gate, t_weighted):
    for c in CONDITIONS:
        f = figures(trials, c, gate, t_weighted)
        print('%-9s EER=%.2f%% FAR=%.2f%% FRR=%.2f%% gated_in=%.1f%% (g=%d i=%d)' % (
            c, f['eer'], f['far'], f['frr'], f['gated'], f['g'], f['i']))


def engine_check(trials, engine_path, engine_log, speakers, gate, t_weighted):
    """The engine built with the choice against the offline figures, trial
    by trial: its score is the path's build's, its threshold the path's,
    its accept decision the offline one."""
    offline = {t['key']: t for t in trials}
    rows = WEIGHTS.load(engine_path, engine_log, speakers)
    differ = {'missing': 0, 'score': 0, 'threshold': 0, 'decision': 0}
    worst_limit = 0.0
    for r in rows:
        t = offline.get(key(r))
        if t is None:
            differ['missing'] += 1
            continue
        weighed = gated_in(t, gate)
        score = t['weighted_s'] if weighed else t['base_s']
        limit = t_weighted + t['weighted_part'] if weighed else t['base_limit']
        if not (score == r['s'] or abs(score - r['s']) <= 1e-5):
            differ['score'] += 1
        if r['s'] < math.inf:
            worst_limit = max(worst_limit, abs(limit - float(r['threshold'])))
            if abs(limit - float(r['threshold'])) > 5e-4:
                differ['threshold'] += 1
        if accepted(t, margin(t, gate, t_weighted)) != (r['accept'] == '1'):
            differ['decision'] += 1
            print('  decision differs: %s engine score %.5f threshold %s, offline margin %.5f (snr %.2f, enrolment %.2f)' % (
                t['key'], r['s'], r['threshold'], margin(t, gate, t_weighted), t['snr_db'], t['enrol_db']))
    print('engine check: %d trials; differing: %s; largest threshold difference %.5f' % (
        len(rows), ', '.join('%s %d' % kv for kv in differ.items()), worst_limit))


def main():
    ap = argparse.ArgumentParser()
    for name in ('--speakers', '--base', '--base-log', '--weighted', '--weighted-log'):
        ap.add_argument(name, required=True)
    ap.add_argument('--gates', default='4,6,8,10')
    ap.add_argument('--levels', help='S in dB: the take itself at least this clean')
    ap.add_argument('--level', type=float, help='S of a fixed choice')
    ap.add_argument('--gate', type=float, help='a fixed choice: every condition, nothing fitted')
    ap.add_argument('--t-weighted', type=float)
    ap.add_argument('--with-term', action='store_true')
    ap.add_argument('--engine', action='append', default=[],
                    help='with --gate: a dump of the engine built with the choice (its log beside it, .err)')
    a = ap.parse_args()
    trials = paired_trials(a.base, a.base_log, a.weighted, a.weighted_log, set(a.speakers.split(',')))
    print('trials matched one for one: %d' % len(trials))
    if a.gate is not None:
        chosen = a.gate if a.level is None else (a.gate, a.level)
        print('base (unweighted, T %.4f):' % T_TODAY)
        full_report(trials, None, 0.0)
        print('gate %s, T_w %.4f:' % (setting_text(chosen), a.t_weighted))
        full_report(trials, chosen, a.t_weighted)
        for path in a.engine:
            engine_check(trials, path, path.rsplit('.', 1)[0] + '.err', set(a.speakers.split(',')), chosen,
                         a.t_weighted)
        return
    base = judge(trials, None, 0.0)
    print(row_text('base', T_TODAY, base))
    passing = []
    gates = [float(x) for x in a.gates.split(',')]
    if a.levels:
        gates = [(g, float(s)) for s in a.levels.split(',') for g in gates]
    for gate in gates:
        t_weighted = fit_weighted(trials, gate, a.with_term)
        v = judge(trials, gate, t_weighted, a.with_term)
        print(row_text(setting_text(gate), t_weighted, v))
        print('  ' + term_there(trials, gate))
        failed = [name for name, before, after, ok in checks(v, base, trials) if not ok]
        for name, before, after, ok in checks(v, base, trials):
            print('  %-40s %.2f -> %.2f%% %s' % (name, before, after, 'ok' if ok else 'FAILS'))
        if not failed:
            passing.append((preference(v, gate), gate, t_weighted))
    passing.sort(key=lambda p: p[0])
    print('passing: ' + (', '.join('%s (T_w %.4f, clean EER %.2f%%)' % (setting_text(g), t, k[0])
                                   for k, g, t in passing) or 'none'))
    print('chosen: %s, T_w %.4f' % (setting_text(passing[0][1]), passing[0][2]) if passing
          else 'none passes: nothing ships')


if __name__ == '__main__':
    main()
