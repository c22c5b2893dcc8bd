#!/usr/bin/env python3
"""Weights learnt from the noisy copies for takes off the clean path
(thirtieth round), offline from sonvera-eval dumps of the tuning speakers.

  noisy-weight-fit.py --speakers a,b,... --base base.csv --base-log base.err
                      --weighted dump.csv --weighted-log dump.err
                      --noisy trial.csv --noisy-log trial.err [--setting K,D0]

--base and --weighted: the main branch's two paths (the unweighted engine
and the clean weights' build, as gate-weight-fit.py reads them), which
give the main branch's figures at S 40, G 6, T_w -0.5179. --noisy: the
trial build with the noisy weights, whose dump carries the noisy path's
scores and each model's e, i and copies' snr measured with them (no
`phone` trials: a line's take keeps the main branch's score and limit).
A trial on the clean path keeps the main branch's weighted margin; one
through a line its unweighted margin; every other takes the trial's
score against T_n + the snr terms + the noise figure's term with the
trial's e and i, the models' mean of min(e, i) recomputed on the trial's
models. Family 1: k 1.25, d0 6; family 2: k 0.25-1.5 by 0.25, d0 0-24 by
2. T_n: the largest keeping the clean FAR within 1 % (4 decimals, rounded
down), the other paths' clean impostors at their fixed limits (--t-noisy:
held at a given value instead, for comparison, not the rule). The rule:
white20 and speech20 EERs both lower by more than the slack; the clean,
soft12, phone and reverb EERs, both halves' clean EERs, the white10 and
speech20 FARs not higher (within the slack); the clean FRR not higher.
Among those that pass, the lowest mean of the white20 and speech20 EERs.
"""
import argparse
import math

from fitlib import sibling

GATE = sibling('gate-weight-fit.py')
NOISE_FIT = sibling('noise-weight-fit.py')
WEIGHTS = GATE.WEIGHTS
REPORT = WEIGHTS.REPORT
CLEAN_PATH = (6.0, 40.0)
T_WEIGHTED = -0.5179
CONDITIONS = GATE.CONDITIONS


def noisy_trials(trials, noisy_path, noisy_log, speakers):
    """Each main-branch trial with its fixed margin, or, on the noisy path,
    the trial build's score and the pieces of its threshold."""
    rows = {GATE.key(r): r for r in WEIGHTS.load(noisy_path, noisy_log, speakers)}
    on_noisy, score_differs = 0, 0
    out = []
    for t in trials:
        rec = dict(t)
        rec['fixed'] = None
        if t['condition'] in REPORT.LINE['conditions']:
            rec['fixed'] = t['base_margin']
        else:
            r = rows.get(t['key'])
            if r is None:
                raise SystemExit('trial missing in the noisy dump: %s' % (t['key'],))
            if r['snr_db'] != t['snr_db']:
                raise SystemExit('snr differs: %s' % (t['key'],))
            if GATE.gated_in(t, CLEAN_PATH):
                rec['fixed'] = t['weighted_cut'] - T_WEIGHTED
                if not (r['s'] == t['weighted_s'] or abs(r['s'] - t['weighted_s']) <= 1e-5):
                    score_differs += 1
            else:
                on_noisy += 1
                rec['s'] = r['s']
                rec['plain'] = WEIGHTS.SNR_SLOPE * max(0.0, WEIGHTS.SNR_KNEE - r['snr_db']) + \
                    REPORT.ENROL['slope'] * (max(0.0, min(r['enrol_db'], 60.0) - r['snr_db'] - REPORT.ENROL['margin'])
                                             if r['enrol_db'] > 0.0 else 0.0)
                rec['term'] = term_pieces(r)
        out.append(rec)
    return out, on_noisy, score_differs


def term_pieces(r):
    """(min(e, i), drop, depth) of the noise figure's term, or None."""
    copy_snr = float(r.get('noise_snr') or 0.0)
    if r['enrol_db'] <= 0.0 or copy_snr <= 0.0:
        return None
    enrol = min(r['enrol_db'], 60.0)
    drop = max(enrol - copy_snr, 10.0)
    depth = min(enrol - r['snr_db'], drop)
    return min(float(r['noise_move']), float(r['noise_imp'])), drop, depth


def cut(t, k, d0, typical):
    """The noisy path's score less its threshold's variable part."""
    term = 0.0
    if t['term'] is not None:
        move, drop, depth = t['term']
        term = k * (move - typical) / drop * max(0.0, depth - d0)
    return t['s'] - t['plain'] - term


def fit_base(trials, k, d0, typical, target=1.0):
    imp = [t for t in trials if t['kind'] == 'i' and t['condition'] == 'clean']
    allowed = int(math.floor(target / 100.0 * len(imp)))
    fixed_in = sum(1 for t in imp if t['fixed'] is not None and t['fixed'] <= 0.0)
    cuts = sorted(cut(t, k, d0, typical) for t in imp if t['fixed'] is None and t['s'] < math.inf)
    room = allowed - fixed_in
    if room < 0:
        return -math.inf
    exact = cuts[room] - 1e-6 if room < len(cuts) else math.inf
    return math.floor(exact * 1e4) / 1e4


def margin(t, k, d0, typical, t_noisy):
    return t['fixed'] if t['fixed'] is not None else cut(t, k, d0, typical) - t_noisy


def figures(trials, cond, k, d0, typical, t_noisy, speakers=None):
    sub = [t for t in trials if t['condition'] == cond and
           (speakers is None or (t['model_speaker'] in speakers and t['test_speaker'] in speakers))]
    g = [(t, margin(t, k, d0, typical, t_noisy)) for t in sub if t['kind'] == 'g']
    i = [(t, margin(t, k, d0, typical, t_noisy)) for t in sub if t['kind'] == 'i']
    return {'eer': 100.0 * REPORT.eer([m for _, m in g], [m for _, m in i]),
            'far': 100.0 * sum(GATE.accepted(t, m) for t, m in i) / max(1, len(i)),
            'frr': 100.0 * sum(not GATE.accepted(t, m) for t, m in g) / max(1, len(g)),
            'noisy': 100.0 * sum(t['fixed'] is None for t, _ in g + i) / max(1, len(g) + len(i))}


def judge(trials, k, d0, typical, t_noisy):
    out = {c: figures(trials, c, k, d0, typical, t_noisy) for c in CONDITIONS}
    out['halves'] = [figures(trials, 'clean', k, d0, typical, t_noisy, h)['eer'] for h in WEIGHTS.HALVES]
    return out


def checks(v, base, trials):
    s = lambda c, sides, h=None: GATE.slack(trials, c, sides, h)
    out = []
    for c in ('white20', 'speech20'):
        out.append(('%s EER lower by more than the slack' % c, base[c]['eer'], v[c]['eer'],
                    v[c]['eer'] < base[c]['eer'] - s(c, 'gi') - 1e-9))
    for c in ('clean', 'soft12', 'phone', 'reverb'):
        out.append(('%s EER' % c, base[c]['eer'], v[c]['eer'], v[c]['eer'] <= base[c]['eer'] + s(c, 'gi') + 1e-9))
    out.append(('clean FRR', base['clean']['frr'], v['clean']['frr'], v['clean']['frr'] <= base['clean']['frr'] + 1e-9))
    for j, half in enumerate(WEIGHTS.HALVES):
        out.append(('clean EER, half %d' % (j + 1), base['halves'][j], v['halves'][j],
                    v['halves'][j] <= base['halves'][j] + s('clean', 'gi', half) + 1e-9))
    for c in ('white10', 'speech20'):
        out.append(('%s FAR' % c, base[c]['far'], v[c]['far'], v[c]['far'] <= base[c]['far'] + s(c, 'i') + 1e-9))
    return out


def row_text(label, t_noisy, v):
    c = v['clean']
    return ('%-14s T_n %8.4f clean %.2f / %.2f / %.2f%% | EER white20 %.2f speech20 %.2f soft12 %.2f phone %.2f '
            'reverb %.2f white10 %.2f | halves %.2f / %.2f | FAR white10 %.2f speech20 %.2f' % (
                label, t_noisy, c['eer'], c['far'], c['frr'], v['white20']['eer'], v['speech20']['eer'],
                v['soft12']['eer'], v['phone']['eer'], v['reverb']['eer'], v['white10']['eer'],
                v['halves'][0], v['halves'][1], v['white10']['far'], v['speech20']['far']))


def main():
    ap = argparse.ArgumentParser()
    for name in ('--speakers', '--base', '--base-log', '--weighted', '--weighted-log', '--noisy', '--noisy-log'):
        ap.add_argument(name, required=True)
    ap.add_argument('--setting', help='K,D0: one setting in full')
    ap.add_argument('--t-noisy', type=float, help='T_n held here instead of refitted (for comparison only)')
    a = ap.parse_args()
    speakers = set(a.speakers.split(','))
    trials = GATE.paired_trials(a.base, a.base_log, a.weighted, a.weighted_log, speakers)
    base = GATE.judge(trials, CLEAN_PATH, T_WEIGHTED)
    print(GATE.row_text('main branch', T_WEIGHTED, base))
    typical, models = NOISE_FIT.mean_figure(a.noisy, speakers)
    noisy, on_noisy, differs = noisy_trials(trials, a.noisy, a.noisy_log, speakers)
    clean_on = [t for t in noisy if t['condition'] == 'clean' and t['kind'] in 'gi' and t['fixed'] is None]
    print('models\' mean of min(e, i): %.5f (%d models); trials on the noisy path: %d; clean trials there: %d '
          '(%d genuine, %d impostor); clean-path scores differing from the main branch\'s: %d' % (
              typical, models, on_noisy, len(clean_on), sum(t['kind'] == 'g' for t in clean_on),
              sum(t['kind'] == 'i' for t in clean_on), differs))
    settings = [(1.25, 6.0)] + [(0.25 * k, 2.0 * d) for k in range(1, 7) for d in range(13)]
    if a.setting:
        settings = [tuple(float(x) for x in a.setting.split(','))]
    passing = []
    for n, (k, d0) in enumerate(settings):
        t_noisy = fit_base(noisy, k, d0, typical) if a.t_noisy is None else a.t_noisy
        v = judge(noisy, k, d0, typical, t_noisy)
        result = checks(v, base, trials)
        failed = [name for name, _, _, ok in result if not ok]
        label = ('family 1 ' if n == 0 and not a.setting else '') + 'k %g d0 %g' % (k, d0)
        print(row_text(label, t_noisy, v) + ' | fails: ' + (', '.join(failed) or 'none'))
        if a.setting:
            for name, before, after, ok in result:
                print('  %-40s %.2f -> %.2f%% %s' % (name, before, after, 'ok' if ok else 'FAILS'))
        if not failed:
            passing.append(((v['white20']['eer'] + v['speech20']['eer']) / 2.0, k, d0, t_noisy))
    passing.sort()
    print('passing: ' + (', '.join('k %g d0 %g (T_n %.4f, mean %.2f%%)' % (k, d, t, m) for m, k, d, t in passing)
                         or 'none'))


if __name__ == '__main__':
    main()
