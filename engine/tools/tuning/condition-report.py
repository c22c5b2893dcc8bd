#!/usr/bin/env python3
"""Per-condition figures from sonvera-eval --dump files, for a set of speakers.

  condition-report.py --speakers a,b,... [--threshold T] [--snr-slope A --snr-knee S]
                      [--enrol-log FILE --enrol-slope B --enrol-margin D]
                      [--noise-share K --noise-typical M --noise-margin N [--noise-min-drop F] [--noise-cap]
                       [--noise-impostor]]
                      [--line-offset L | --fit-line] [--weighted S,G,T_w] [--clean-held S,T]
                      [--noisy-term K,s] dump.csv...

Only trials whose model speaker and test speaker are both in the set count
(the figures of speakers left out of the tuning come from their own trials,
with each other as impostors). A trial is accepted when its score is at most
T + A x max(0, S - snr) + B x max(0, min(E, 60) - snr - D) (+ L for a take
through a telephone line: every trial of the `phone` condition, and no
other, takes the band's path in the engine) (the engine's noise-aware
threshold; A = B = 0: a fixed one; E: the model's enrolment snr, the mean of
its enrolment takes' snr from the "enrolment snr:" lines sonvera-eval writes
to stderr with --dump, given as --enrol-log; none without it) (+ K x (e - M) /
max(min(E, 60) - c, F) x max(0, min(E, 60) - snr - N), e and c the model's
own move in noise and its noisy copies' snr from the dump, none when not
measured; with --noise-cap, min(E, 60) - snr counted no further than
max(min(E, 60) - c, F), the depth the copies measured: the twentieth
round's term, for that round's dumps; with --noise-impostor as well, e is
min(e, i), i the move of the model's near impostors, the dump's noise_imp:
the engine's term since the twenty-fourth round, with --noise-cap) and the
replay check did not flag it (the engine refuses those). Prints
per condition: EER, FAR and FRR at that threshold, replays caught, fresh
genuine takes flagged, the worst model/impostor pair, and, with --fit, the
largest T at which the clean condition's FAR is at most 1 %, with --fit-line
the largest L (a multiple of 0.01) at which the `phone` condition's FAR is.
--weighted S,G,T_w: a take at least S dB itself and no more than G dB under
its model's enrolment snr (min(E, 60) - snr <= G, E known) was scored with
the model's per-dimension weights (the engine's since the twenty-eighth
round) and is held to T_w + the terms above without the noise figure's,
unless it went through a telephone line (the `phone` condition: the line's
band has no weights, and such a take keeps the unweighted threshold at any
level, the engine's since the twenty-ninth round); every EER is then taken
on the margins (the score less the trial's own threshold).
--noisy-term K,s: a take on the unweighted path under 40 dB (neither
weighted, nor held clean, nor through a line) is held to a threshold raised
by s x max(0, K - snr) beside every term above (fortieth round).
"""
import argparse
import csv
import math
from collections import defaultdict

REFUSED = 1e8
ENROL = {'slope': 0.0, 'margin': 0.0, 'snr': {}}
# The engine counts an enrolment snr up to the snr term's knee only (a
# noise-gated enrolment reads far beyond any room's).
ENROL_SNR_CAP = 60.0
LINE = {'offset': 0.0, 'conditions': ('phone',)}
# Each model's own allowance for noise (the twentieth round's term, tried and
# not shipped): share x (its move less the typical move) / max(its copies'
# drop, min_drop) for every dB more than `margin` under its enrolment snr; the
# move and the copies' snr are the dump's noise_move and noise_snr (that
# round's build; 0: none measured). cap: the dB under the enrolment counted no
# further than the copies fell (without it the move is extrapolated to any
# depth).
# impostor: the move counted no further than the model's near impostors'
# (noise_imp): min(e, i).
NOISE = {'share': 0.0, 'typical': 0.0, 'margin': 0.0, 'min_drop': 10.0, 'cap': False, 'impostor': False}
# The takes scored with the model's weights: at least `level` dB themselves,
# at most `drop` dB under the enrolment snr; their threshold's base (None: no
# such path).
WEIGHTED = {'level': 0.0, 'drop': 0.0, 'base': None}
# --clean-held S,T: an unweighted take that reads at least S dB itself (and
# is not on a line's band) held to a base of its own (thirty-third round).
CLEAN_HELD = {'level': 0.0, 'base': None}
# --noisy-term K,s: the noisy takes' own term, s per dB under K (slope 0: none).
NOISY = {'knee': 0.0, 'slope': 0.0}
# The unweighted path's loosening below the model's own level given back by
# a share for a take whose noise lies under X0 dB over the model's templates'
# own (the dumps' noise_excess; sixty-third round): --level-allowance C,X0.
LEVEL = {'share': 0.0, 'excess': 0.0}
# A noisy-path take at most K dB whose noise lies X0 dB or more over its
# model's own (noise_excess) is matched to its noise and held to a base T_m
# and s_m a dB under the knee, the enrolment's term as every take's, no
# noise figure's term (eighty-first round's setting, built in the
# eighty-second): --matched K,X0,S_M,T_M. One the excess leaves unmatched is
# held D stricter when its noise is shaped over G dB against its model's
# enrolment noise (enrol_noise_shape): --unmatched-shift D,G.
MATCHED = {'bound': None, 'excess': 0.0, 'slope': 0.0, 'base': 0.0}
# A matched take's base moved by its model's own place on the matched scale
# (the dumps' matched_margin, 0 for a model without one): S x its distance
# from F0, bounded at +-C (ninety-seventh round): --matched-margin S,C,F0.
MARGIN = {'share': 0.0, 'bound': 0.0, 'mean': 0.0}
OVER = {'excess': None, 'base': 0.0}
SHIFT = {'stricter': 0.0, 'shape': 0.0}


def read_enrol_log(path):
    snr = {}
    for line in open(path):
        if line.startswith('enrolment snr:'):
            p = line.split()
            values = [float(x) for x in p[4:]]
            if values:
                snr[(p[2], p[3])] = sum(values) / len(values)
    return snr


def load(paths, speakers):
    rows = []
    for path in paths:
        for r in csv.DictReader(open(path)):
            if r['model_speaker'] in speakers and r['test_speaker'] in speakers:
                s = float(r['score'])
                r['s'] = math.inf if s >= REFUSED else s
                r['snr_db'] = float(r['snr'])
                r['enrol_db'] = ENROL['snr'].get((r['model_speaker'], r['word']), 0.0)
                rows.append(r)
    return rows


def eer(genuine, impostor):
    if not genuine or not impostor:
        return float('nan')
    trials = sorted([(s, 0) for s in genuine] + [(s, 1) for s in impostor])
    fa, fr = 0, len(genuine)
    best, result = 2.0, 0.0
    for s, imp in trials:
        if imp:
            fa += 1
        else:
            fr -= 1
        far, frr = fa / len(impostor), fr / len(genuine)
        if abs(far - frr) < best:
            best, result = abs(far - frr), 0.5 * (far + frr)
    return result


def variable_part(row, slope, knee):
    """The threshold's part that follows the take's snr (and its model's enrolment snr)."""
    enrol = min(row['enrol_db'], ENROL_SNR_CAP)
    under = max(0.0, enrol - row['snr_db'] - ENROL['margin']) if row['enrol_db'] > 0.0 else 0.0
    noise = 0.0 if weighed(row) else noise_allowance(row, enrol)
    return slope * max(0.0, knee - row['snr_db']) + ENROL['slope'] * under + noise


def weighed(row):
    """The take was scored with its model's weights (--weighted); never one
    on a line's band."""
    if WEIGHTED['base'] is None or row['enrol_db'] <= 0.0 or row['condition'] in LINE['conditions']:
        return False
    return (row['snr_db'] >= WEIGHTED['level'] and
            min(row['enrol_db'], ENROL_SNR_CAP) - row['snr_db'] <= WEIGHTED['drop'])


def noise_allowance(row, enrol):
    copy_snr = float(row.get('noise_snr') or 0.0)
    if NOISE['share'] == 0.0 or row['enrol_db'] <= 0.0 or copy_snr <= 0.0:
        return 0.0
    drop = max(enrol - copy_snr, NOISE['min_drop'])
    depth = enrol - row['snr_db']
    if NOISE['cap']:
        depth = min(depth, drop)
    under = max(0.0, depth - NOISE['margin'])
    move = float(row['noise_move'])
    if NOISE['impostor']:
        move = min(move, float(row['noise_imp']))
    return NOISE['share'] * (move - NOISE['typical']) / drop * under


def line_offset(row):
    return LINE['offset'] if row['condition'] in LINE['conditions'] else 0.0


def clean_held(row):
    return (CLEAN_HELD['base'] is not None and not weighed(row) and row['condition'] not in LINE['conditions'] and
            row['snr_db'] >= CLEAN_HELD['level'])


def on_noisy_path(row):
    """The take is on the unweighted path for noisy takes: not weighted,
    not through a line, not held clean."""
    return not weighed(row) and row['condition'] not in LINE['conditions'] and not clean_held(row)


def noisy_term(row):
    if NOISY['slope'] == 0.0 or not on_noisy_path(row):
        return 0.0
    return NOISY['slope'] * max(0.0, NOISY['knee'] - row['snr_db'])


def level_taken(row, slope, knee):
    """What the unweighted path gives back of its snr loosening for a take
    whose noise the model already holds (--level-allowance)."""
    if LEVEL['share'] == 0.0 or not on_noisy_path(row) or row['enrol_db'] <= 0.0:
        return 0.0
    if not float(row['noise_excess']) < LEVEL['excess']:
        return 0.0
    level = min(row['enrol_db'], ENROL_SNR_CAP)
    return LEVEL['share'] * slope * max(0.0, knee - max(row['snr_db'], level))


def matched(row):
    """The take is matched to its noise (--matched)."""
    return (MATCHED['bound'] is not None and on_noisy_path(row) and row['snr_db'] <= MATCHED['bound'] and
            float(row['noise_excess']) >= MATCHED['excess'])


def shifted(row):
    """The take is held stricter unmatched (--matched and --unmatched-shift)."""
    return (MATCHED['bound'] is not None and SHIFT['stricter'] != 0.0 and on_noisy_path(row) and
            row['snr_db'] <= MATCHED['bound'] and not matched(row) and
            float(row['enrol_noise_shape']) > SHIFT['shape'])


def matched_over(row):
    """The held or noisy take over the bound matched to its noise (--matched-over); a take whose templates could
    not be given its noise the engine held as its path (noise_hold 3 when it did not)."""
    return (OVER['excess'] is not None and not weighed(row) and row['condition'] not in LINE['conditions'] and
            row['snr_db'] > MATCHED['bound'] and float(row['noise_excess']) >= OVER['excess'] and
            float(row.get('noise_hold') or 0.0) == 3.0)


def matched_threshold(row, knee):
    enrol = min(row['enrol_db'], ENROL_SNR_CAP)
    under = max(0.0, enrol - row['snr_db'] - ENROL['margin']) if row['enrol_db'] > 0.0 else 0.0
    base = OVER['base'] if matched_over(row) else MATCHED['base']
    return (base + MATCHED['slope'] * max(0.0, knee - row['snr_db']) + ENROL['slope'] * under +
            margin_move(row))


def margin_move(row):
    margin = float(row.get('matched_margin') or 0.0)
    if MARGIN['share'] == 0.0 or margin == 0.0:
        return 0.0
    return MARGIN['share'] * max(-MARGIN['bound'], min(MARGIN['bound'], margin - MARGIN['mean']))


def threshold(row, t0, slope, knee):
    if matched(row) or matched_over(row):
        return matched_threshold(row, knee)
    base = WEIGHTED['base'] if weighed(row) else CLEAN_HELD['base'] if clean_held(row) else t0
    return (base + variable_part(row, slope, knee) + line_offset(row) + noisy_term(row) -
            level_taken(row, slope, knee) - (SHIFT['stricter'] if shifted(row) else 0.0))


def figures(rows, t0, slope, knee):
    g = [r for r in rows if r['kind'] == 'g']
    i = [r for r in rows if r['kind'] == 'i']
    rp = [r for r in rows if r['kind'] == 'r']
    acc = lambda r: r['s'] <= threshold(r, t0, slope, knee) and not copy_flag(r)
    far = 100.0 * sum(acc(r) for r in i) / max(1, len(i))
    frr = 100.0 * sum(not acc(r) for r in g) / max(1, len(g))
    pairs = defaultdict(lambda: [0, 0])
    for r in i:
        p = pairs[(r['model_speaker'], r['word'], r['test_speaker'])]
        p[0] += acc(r)
        p[1] += 1
    worst = max(pairs.items(), key=lambda kv: kv[1][0] / kv[1][1], default=None)
    # EER on the margins: the scores less their own thresholds.
    shift = lambda r: r['s'] - threshold(r, t0, slope, knee)
    e = 100.0 * eer([shift(r) for r in g], [shift(r) for r in i])
    caught = 100.0 * sum(copy_flag(r) for r in rp) / max(1, len(rp))
    flagged = 100.0 * sum(copy_flag(r) for r in g) / max(1, len(g))
    miss = sum(r['epd'] == '0' for r in g)
    return e, far, frr, caught, flagged, miss, worst, len(g), len(i), len(rp)


# VRE_VCopy said "replay": a checked take whose pitch contour is within
# PITCH_LIMIT semitones of a known take's, or whose waveform is at least
# WAVE_LIMIT times as like a known take's print as two enrolment takes' prints
# are alike. Until the eleventh round the engine also flagged takes by a
# cepstral fingerprint (the dump's `copy` then); this counts them without it.
PITCH_LIMIT = 0.07
WAVE_LIMIT = 2.15


def set_limits(wave, pitch):
    global WAVE_LIMIT, PITCH_LIMIT
    WAVE_LIMIT, PITCH_LIMIT = wave, pitch


def copy_flag(r):
    if r['epd'] != '1' or r['s'] == math.inf:
        return False
    return float(r.get('copy_pitch') or 'inf') <= PITCH_LIMIT or float(r.get('copy_wave') or 0.0) >= WAVE_LIMIT


def set_weighted(text):
    """--weighted S,G,T_w (None: every take unweighted)."""
    if text:
        level, drop, base = (float(x) for x in text.split(','))
        WEIGHTED.update(level=level, drop=drop, base=base)


def set_clean_held(text):
    """--clean-held S,T (None: every unweighted take at the threshold)."""
    if text:
        level, base = (float(x) for x in text.split(','))
        CLEAN_HELD.update(level=level, base=base)


def set_noisy_term(text):
    """--noisy-term K,s (None: no such term)."""
    if text:
        knee, slope = (float(x) for x in text.split(','))
        NOISY.update(knee=knee, slope=slope)


def fit(rows, slope, knee, target=1.0):
    i = [r for r in rows if r['kind'] == 'i' and r['condition'] == 'clean']
    cuts = sorted(r['s'] - variable_part(r, slope, knee) for r in i if r['s'] < math.inf)
    allowed = int(math.floor(target / 100.0 * len(i)))
    # The largest T that accepts at most `allowed` impostor trials.
    return cuts[allowed] - 1e-6 if allowed < len(cuts) else math.inf


def fit_line(rows, t0, slope, knee, target=1.0):
    """The largest line offset, a multiple of 0.01, keeping the line's FAR within target %."""
    i = [r for r in rows if r['kind'] == 'i' and r['condition'] in LINE['conditions']]
    allowed = int(math.floor(target / 100.0 * len(i)))
    margins = sorted(r['s'] - t0 - variable_part(r, slope, knee) for r in i if r['s'] < math.inf and not copy_flag(r))
    # An impostor trial passes when its margin is at most the offset.
    limit = margins[allowed] - 1e-6 if allowed < len(margins) else 10.0
    return math.floor(limit * 100.0) / 100.0


def fit_noise(rows, conditions=('clean', 'white20', 'speech20', 'soft12'), max_far=2.0):
    """The knee and slope that bring the FRR of the clean and noisy conditions lowest (mean
    over them) while each keeps its FAR within max_far %, with the threshold
    refitted to the clean FAR at every knee and slope."""
    best = (0.0, 0.0, None, fit(rows, 0.0, 0.0))
    for knee in (20.0, 25.0, 30.0, 35.0, 40.0, 45.0, 50.0, 55.0, 60.0, 65.0, 70.0):
        for step in range(0, 31):
            slope = 0.005 * step
            t0 = fit(rows, slope, knee)
            frrs = []
            ok = True
            for c in conditions:
                sub = [r for r in rows if r['condition'] == c]
                if not sub:
                    continue
                _, far, frr, *_ = figures(sub, t0, slope, knee)
                ok = ok and far <= max_far
                frrs.append(frr)
            if ok and frrs and (best[2] is None or sum(frrs) / len(frrs) < best[2]):
                best = (slope, knee, sum(frrs) / len(frrs), t0)
    return best


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--speakers', required=True)
    ap.add_argument('--threshold', type=float, default=1.40)
    ap.add_argument('--snr-slope', type=float, default=0.0)
    ap.add_argument('--snr-knee', type=float, default=0.0)
    ap.add_argument('--enrol-log', help='sonvera-eval stderr with the "enrolment snr:" lines')
    ap.add_argument('--enrol-slope', type=float, default=0.0, help='threshold per dB under the enrolment snr')
    ap.add_argument('--enrol-margin', type=float, default=0.0, help='dB under the enrolment snr that cost nothing')
    ap.add_argument('--noise-share', type=float, default=0.0, help="the model's own noise allowance: its share")
    ap.add_argument('--noise-typical', type=float, default=0.0, help='... the typical move it is measured from')
    ap.add_argument('--noise-margin', type=float, default=0.0, help='... dB under the enrolment snr that cost nothing')
    ap.add_argument('--noise-min-drop', type=float, default=10.0, help="... the least drop of the copies' snr counted")
    ap.add_argument('--noise-cap', action='store_true', help="... the dB under the enrolment counted up to that drop")
    ap.add_argument('--noise-impostor', action='store_true', help="... the move capped at its near impostors' move")
    ap.add_argument('--fit', action='store_true', help='T: largest with clean FAR <= 1 %%')
    ap.add_argument('--fit-noise', action='store_true', help='slope, knee and T together: see fit_noise')
    ap.add_argument('--line-offset', type=float, default=0.0, help='threshold offset of a take through a line')
    ap.add_argument('--fit-line', action='store_true', help='line offset: largest with the phone FAR <= 1 %%')
    ap.add_argument('--detail', action='store_true', help='FAR per word and FRR per speaker too')
    ap.add_argument('--wave-limit', type=float, default=WAVE_LIMIT, help='replay check: waveform similarity limit')
    ap.add_argument('--pitch-limit', type=float, default=PITCH_LIMIT, help='replay check: pitch-contour limit')
    ap.add_argument('--weighted', help="S,G,T_w: the takes scored with the model's weights and their base")
    ap.add_argument('--clean-held', help='S,T: the unweighted takes reading at least S dB themselves and their base')
    ap.add_argument('--noisy-term', help='K,s: the noisy takes\' threshold raised by s a dB under K')
    ap.add_argument('--level-allowance', metavar='C,X0',
                    help='the unweighted path gives back c of its loosening below the model\'s level for a take '
                         'whose noise_excess is under X0 dB')
    ap.add_argument('--matched', metavar='K,X0,S_M,T_M',
                    help='the noisy-path takes at most K dB with noise_excess at least X0 held to T_M + S_M a dB '
                         'under the knee, without the noise figure\'s term')
    ap.add_argument('--unmatched-shift', metavar='D,G',
                    help='with --matched: a noisy-path take at most K dB left unmatched held D stricter when its '
                         'enrol_noise_shape is over G dB')
    ap.add_argument('--matched-margin', metavar='S,C,F0',
                    help="with --matched: a matched take's base moved by S x (its model's matched_margin - F0), "
                         'bounded at +-C')
    ap.add_argument('--matched-over', metavar='X,T_O',
                    help='with --matched: a held or noisy take over K dB with noise_excess at least X matched (the '
                         "dumps' noise_hold 3) and held to the matched form on the base T_O")
    ap.add_argument('dumps', nargs='+')
    a = ap.parse_args()
    if a.level_allowance:
        share, excess = (float(x) for x in a.level_allowance.split(','))
        LEVEL.update(share=share, excess=excess)
    if a.matched:
        bound, excess, slope, base = (float(x) for x in a.matched.split(','))
        MATCHED.update(bound=bound, excess=excess, slope=slope, base=base)
    if a.unmatched_shift:
        if not a.matched:
            raise SystemExit('--unmatched-shift needs --matched')
        stricter, shape = (float(x) for x in a.unmatched_shift.split(','))
        SHIFT.update(stricter=stricter, shape=shape)
    if a.matched_margin:
        if not a.matched:
            raise SystemExit('--matched-margin needs --matched')
        share, bound, mean = (float(x) for x in a.matched_margin.split(','))
        MARGIN.update(share=share, bound=bound, mean=mean)
    if a.matched_over:
        if not a.matched:
            raise SystemExit('--matched-over needs --matched')
        excess, base = (float(x) for x in a.matched_over.split(','))
        OVER.update(excess=excess, base=base)
    set_limits(a.wave_limit, a.pitch_limit)
    set_weighted(a.weighted)
    set_clean_held(a.clean_held)
    set_noisy_term(a.noisy_term)
    if (a.weighted or a.clean_held or a.noisy_term) and (a.fit or a.fit_noise or a.fit_line):
        raise SystemExit('the weighted path is fitted by gate-weight-fit.py, the held clean takes take no fit')
    speakers = set(a.speakers.split(','))
    if a.enrol_log:
        ENROL.update(slope=a.enrol_slope, margin=a.enrol_margin, snr=read_enrol_log(a.enrol_log))
    NOISE.update(share=a.noise_share, typical=a.noise_typical, margin=a.noise_margin, min_drop=a.noise_min_drop,
                 cap=a.noise_cap, impostor=a.noise_impostor)
    rows = load(a.dumps, speakers)
    t0 = fit(rows, a.snr_slope, a.snr_knee) if a.fit else a.threshold
    if a.fit_noise:
        a.snr_slope, a.snr_knee, mean_frr, t0 = fit_noise(rows)
        print('noise fit: slope %.4f per dB below %.1f dB, mean FRR %s' % (a.snr_slope, a.snr_knee, mean_frr))
    LINE['offset'] = fit_line(rows, t0, a.snr_slope, a.snr_knee) if a.fit_line else a.line_offset
    print('threshold %.4f slope %.4f knee %.1f speakers %d' % (t0, a.snr_slope, a.snr_knee, len(speakers)) +
          (' enrolment slope %.4f margin %.1f' % (ENROL['slope'], ENROL['margin']) if a.enrol_log else '') +
          ' line offset %.2f' % LINE['offset'] +
          (' noise share %.2f typical %.3f margin %.1f min drop %.1f%s' % (
              NOISE['share'], NOISE['typical'], NOISE['margin'], NOISE['min_drop'],
              ' capped at the drop' if NOISE['cap'] else '') +
           (" and at the near impostors' move" if NOISE['impostor'] else '') if NOISE['share'] else '') +
          (' weighted from %.0f dB, %.0f dB under the enrolment, base %.4f' % (
              WEIGHTED['level'], WEIGHTED['drop'], WEIGHTED['base']) if WEIGHTED['base'] is not None else '') +
          (' unweighted from %.0f dB base %.4f' % (CLEAN_HELD['level'], CLEAN_HELD['base'])
           if CLEAN_HELD['base'] is not None else '') +
          (' noisy takes %.4f a dB under %.0f dB' % (NOISY['slope'], NOISY['knee']) if NOISY['slope'] else '') +
          (' level allowance given back %.2f under %g dB of excess' % (LEVEL['share'], LEVEL['excess'])
           if LEVEL['share'] else '') +
          (' matched at most %g dB from %g dB of excess, base %.4f, %.3f a dB' % (
              MATCHED['bound'], MATCHED['excess'], MATCHED['base'], MATCHED['slope'])
           if MATCHED['bound'] is not None else '') +
          (', moved %.2f x the model\'s matched margin less %.4f within +-%g' % (
              MARGIN['share'], MARGIN['mean'], MARGIN['bound']) if MARGIN['share'] else '') +
          (' unmatched held %.2f stricter over %g dB of enrolment noise shape' % (SHIFT['stricter'], SHIFT['shape'])
           if SHIFT['stricter'] else '') +
          (' matched over the bound from %g dB of excess, base %.4f' % (OVER['excess'], OVER['base'])
           if OVER['excess'] is not None else ''))
    if MATCHED['bound'] is not None:
        # How many trials each hold reaches, and whether the recomputed
        # decisions are the dumps' own (the engine's).
        count = lambda c, hold: '/'.join(str(sum(1 for r in rows if r['condition'] == c and r['kind'] == k and hold(r)))
                                         for k in 'gir')
        conds = sorted({r['condition'] for r in rows}, key=lambda c: (c != 'clean', c))
        print('matched (genuine/impostor/replays): ' + ' '.join('%s %s' % (c, count(c, matched)) for c in conds))
        print('shifted (genuine/impostor/replays): ' + ' '.join('%s %s' % (c, count(c, shifted)) for c in conds))
        if OVER['excess'] is not None:
            print('matched over the bound (genuine/impostor/replays): ' +
                  ' '.join('%s %s' % (c, count(c, matched_over)) for c in conds))
        differ = sum(1 for r in rows if r['kind'] in 'gi' and
                     (r['s'] <= threshold(r, t0, a.snr_slope, a.snr_knee) and not copy_flag(r)) != (r['accept'] == '1'))
        print('genuine and impostor decisions differing from the dumps\' own: %d of %d' % (
            differ, sum(1 for r in rows if r['kind'] in 'gi')))
    conditions = sorted({r['condition'] for r in rows}, key=lambda c: (c != 'clean', c))
    for c in conditions:
        e, far, frr, caught, flagged, miss, worst, ng, ni, nr = figures([r for r in rows if r['condition'] == c], t0, a.snr_slope, a.snr_knee)
        w = '-' if worst is None else '%s %s %s %.1f%%' % (worst[0] + (100.0 * worst[1][0] / worst[1][1],))
        print('%-9s EER=%.2f%% FAR=%.2f%% FRR=%.2f%% replay_caught=%.1f%% fresh_flagged=%.2f%% epd_miss=%d worst=%s (g=%d i=%d r=%d)'
              % (c, e, far, frr, caught, flagged, miss, w, ng, ni, nr))
        if a.detail and c != 'replay':
            sub = [r for r in rows if r['condition'] == c]
            acc = lambda r: r['s'] <= threshold(r, t0, a.snr_slope, a.snr_knee) and not copy_flag(r)
            words = sorted({r['word'] for r in sub})
            print('  far_by_word: ' + ' '.join('%s=%.1f%%' % (w, 100.0 * sum(acc(r) for r in sub if r['kind'] == 'i' and r['word'] == w)
                                                            / max(1, sum(1 for r in sub if r['kind'] == 'i' and r['word'] == w))) for w in words))
            spk = sorted({r['model_speaker'] for r in sub})
            print('  frr_by_speaker: ' + ' '.join('%s=%.0f%%' % (m, 100.0 * sum(not acc(r) for r in sub if r['kind'] == 'g' and r['model_speaker'] == m)
                                                                / max(1, sum(1 for r in sub if r['kind'] == 'g' and r['model_speaker'] == m))) for m in spk))


if __name__ == '__main__':
    main()
