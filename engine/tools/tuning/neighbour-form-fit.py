#!/usr/bin/env python3
"""Which neighbouring voices the weighted path's score is measured against
(thirty-fifth round), offline from the dumps of a build that writes each
neighbouring voice's four distances (columns v<s>_d<p>, s = 0..3 the moves
-1, -0.5, +0.5, +1 channel).

  neighbour-form-fit.py --enrol-log run.err dump.csv... --check
  neighbour-form-fit.py --enrol-log run.err dump.csv... --grid [--show FORM,G1[,G2]]...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --noisy-grid [--noisy-show GN,GF]...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --soft-held-grid [--soft-held-show S,GN,GF]...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --distance-grid [--distance-engine GD,GN,T_W DUMP...]
  neighbour-form-fit.py --enrol-log run.err dump.csv... --noisy-distance-grid
  neighbour-form-fit.py --enrol-log run.err dump.csv... --noisy-distance-engine GD,GN,T_U DUMP...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --cue-grid
  neighbour-form-fit.py --enrol-log run.err dump.csv... --noisy-cue-grid
  neighbour-form-fit.py --enrol-log run.err dump.csv... --cue-frr-grid [--intonation-column COLUMN]
  neighbour-form-fit.py --enrol-log run.err dump.csv... --cue-frr-grid --contour-cues
  neighbour-form-fit.py --enrol-log run.err dump.csv... --cue-confirm W_E,W_M,W_V,W_INT,T_W
  neighbour-form-fit.py --enrol-log run.err dump.csv... --cue-engine W_DUR,W_INT,T_W DUMP...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --noise-match-grid TRIAL_DUMP...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... [--gate G1]
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... --excess-gate 3,6,10
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... --matched-parts K,S_M,TERM,X0,T_M
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... --excess-gate 3,6 --matched-offsets 3=A.csv,B.csv 6=...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... --excess-gate 3,6 --level-knees=-24,-22 --level-slopes 0.05,0.1
  neighbour-form-fit.py --enrol-log run.err dump.csv... --own-threshold-grid TRIAL_DUMP... --excess-gate 6 --unmatched-shifts 0.5 --shift-shape-gates 0.41 --own-engine T_M DUMP...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --level-allowance 0,0.25,0.5,0.75,1
  neighbour-form-fit.py --enrol-log run.err dump.csv... --level-allowance 0.25,0.5,0.75,1 --level-excess 1.5,3,6 --excess-dumps TRIAL_DUMP...
  neighbour-form-fit.py --enrol-log run.err dump.csv... --line-cue-grid
  neighbour-form-fit.py --enrol-log run.err dump.csv... --held-cue-grid

With the weighted path's fusion each voice's fused distance is fused_s =
sum_p w_p (d_sp - k_p m_p) / s_p, the model's own fused is fused, and the
weighted path's score takes one of the forms
  min:   fused + G (fused - min_s fused_s)
  split: fused + Gn (fused - mean of the +-0.5 pair) + Gf (fused - mean of the +-1 pair)
  near2: fused + G (fused - mean of the two smallest fused_s)
(split 1.5,1.5 is the engine's: the mean of the four with gain 3). Every
other path keeps its fusion and base (global-weight-fit.py reads the
paths). For each setting the weighted path's base T_w is refitted by the
seventh round's rule (global-weight-fit.py's refit).

--check: every scored trial's dumped score against its path's fusion with
the neighbours' mean taken from the 16 columns.
--grid: every setting on all the dumps' tuning speakers against the engine
at its shipped point, the choice by the thirty-fifth round's rule, each
family's best, and the chosen setting's checks (the halves, each with T_w
refitted on its own clean impostor trials for both forms, and the other
conditions at the setting's T_w). --show: those settings' checks in full.
--noisy-grid (thirty-sixth round): the split form on the unweighted path
for takes under 40 dB instead (its fusion as the engine has it, gains
Gn, Gf in {0, ..., 5}; Gn = Gf = 2 is the engine's), its base T_u refitted
for each setting (the clean impostor trials within 1 %, the white10 and
speech20 impostors accepted no more often than the engine's), the choice
by the thirty-sixth round's rule and the chosen setting's checks (the
clean, soft12, phone and reverb figures; each half's noisy EERs).
--noisy-show: those settings' checks in full.
--noisy-engine GN,GF,T_U DUMP... (thirty-seventh round): the engine built
with that setting on the noisy path, run on the same trials, against the
offline one from these dumps, trial by trial: on the noisy path its score,
threshold and decision; off it every column of its dump but the take's
time (the noise figure's columns among them) equal to these dumps'.
--soft-held-grid (thirty-eighth round, on dumps of the engine with the
split form 4,3 at -0.6192 on the noisy path): only the noisy path's takes
under S dB change, to the split form Gn, Gf in {0, ..., 6} with a base of
their own T_n refitted by the same rule for each (S, Gn, Gf), S in {30, 32,
34, 36}; takes from S to 40 dB keep the engine's form and base. The
settings that clear the noisy EERs and FARs are ordered (mean FRR, mean
EER, nearness to the engine's gains, the larger S) and checked in that
order; the first that passes every check is chosen.
--soft-held-show S,GN,GF: that setting's checks in full.
--distance-grid (thirty-ninth round, on dumps of the engine with the split
form 4,3 at -0.6192 on the noisy path): only the weighted path's takes
change, to a neighbours' term per distance, fused + sum_p G_p w_p ((d_p -
k_p m_p) - mean over the four voices of (d_sp - k_p m_p)) / s_p, G_DTW and
G_nearest in {0, ..., 6} (the pitch's gain the engine's 3; its distance is
the same to every voice), T_w refitted for each by the thirty-fifth round's
rule; every other trial keeps its dumped score and base. The settings that
clear the clean EER and FRR are ordered (clean FRR, clean EER, nearness to
the engine's gains) and checked in that order (the halves, each with T_w
refitted on its own clean impostor trials for both forms; the other
conditions at the setting's T_w); the first that passes every check is
chosen.
--distance-engine GD,GN,T_W DUMP...: the engine built with that setting,
run on the same trials, against the offline one, trial by trial: on the
weighted path its score and decision; off it every column of its dump but
the take's time equal to these dumps'.
--noisy-distance-grid (forty-first round, on the main branch's dumps: the
weighted path with a gain per distance at -0.5129, the split form 4,3 at
-0.6192 on the noisy path): only the noisy path's takes change, the split
form's two pair terms of each distance scaled by its gain g_p, g_DTW and
g_nearest in {0, 0.25, ..., 2} (the pitch's 1; g = (1, 1) is the engine),
T_u refitted for each by the thirty-sixth round's rule; every other trial
keeps its dumped score and threshold, a noisy take's threshold is its
dumped one moved by the base. The settings that clear the three noisy
EERs (their FARs within one impostor trial) are ordered (mean EER, mean
FRR, nearness to (1, 1)) and checked in that order (each half's noisy
EERs, T_u refitted on the half; the soft12, reverb, phone and clean EERs
and FARs); the first that passes every check is chosen.
--noisy-distance-engine GD,GN,T_U DUMP...: the engine built with that
setting, run on the same trials, against the offline one, trial by trial.
--noise-match-grid TRIAL_DUMP... (fifty-sixth round, on main's dumps and a
trial build's dumps of the same trials, whose unweighted path matched the
model to each take's noise): four settings, the gate G1 (every noisy-path
trial takes the trial's score) or G2 (only those at least 10 dB under
min(snrEnrol, 60)), each with the noise figure's threshold term kept (N1)
or dropped (N0) for the matched trials; T_u refitted for each as above;
the clearing (the three noisy EERs lower by more than the slack, their
FARs within one impostor trial), the order (mean noisy EER, mean noisy
FRR, G1 before G2, N1 before N0) and each setting's checks (each half's
noisy EERs and their mean, T_u refitted on the half; the soft12, reverb,
phone and clean EERs and FARs and the clean FRR); the first clearing
setting that passes every check is chosen.
--own-threshold-grid TRIAL_DUMP... (fifty-seventh round, the same dumps):
only the matched trials change: on the noisy path, under G2's gate and at
most K dB (K in {30, 34, 40}), each takes the trial's score and a threshold
of its own, T_m + s_m x max(0, 60 - snr) with main's enrolment and
security terms, the noise figure's term kept (N1) or dropped (N0), s_m in
{0, 0.005, ..., 0.03}; every other trial, the noisy path's unmatched ones
among them, keeps its dumped score and threshold. T_m refitted for each
(the clean impostor trials within 1 %, each noisy condition's accepted
impostors within the larger of main's count and 1.5 % of its impostor
trials); main's one base refitted by the same rule is "main refit". The
clearing (each noisy EER lower than main's by more than the slack, the
mean noisy FRR lower than main refit's by more than the slack, the clean
FAR up by one impostor trial at most), the order (mean noisy FRR, mean
noisy EER, N0 before N1, the larger K, s_m nearest 0.015) and the checks
(each half's noisy EERs against main, their mean, its mean noisy FRR
against main refit on the half; the held conditions' EERs and FARs and
the clean, soft12 and reverberation FRRs); when none clears, the best
rows' checks are shown for the record. --gate G1 (fifty-eighth round)
drops G2's condition on the enrolment's noise: every noisy-path trial at
most K dB is matched, the noisiest model's own trials among them.
--excess-gate X0,... (fifty-ninth round, trial dumps with the column
noise_excess) gates on the take's own noise instead: a noisy-path trial
at most K dB is matched when its noise lies X0 dB or more over what the
model's templates keep of their own (G1 otherwise); each X0 is a setting
beside K, s_m and the term, and the order adds the larger X0 last.
--level-allowance C,... (sixtieth round, main's dumps alone): the
unweighted path's snr term counted from the model's own level, 0.015 x
[max(0, 60 - snr) - c x max(0, 60 - max(snr, min(snrEnrol, 60)))], one
setting per c (0 is main's form); every score and every other threshold
main's. T_u refitted for each by the forty-first round's rule (the clean
impostor trials within 1 %, the white10 and speech20 impostors accepted
no more often than main's at -0.6636); the clearing (the mean noisy EER
lower by more than the pooled slack, none of the three higher than its
slack, the clean FAR up by one impostor trial at most), the order (mean
noisy EER, mean noisy FRR, the smaller c), each setting's checks (each
half's noisy EERs and their mean against main, T_u refitted on the half;
the held conditions' EERs and FARs and the clean, soft12 and
reverberation FRRs) and the cross check (the best c on either half alone
must not raise the other half's mean noisy EER). --level-excess X0,...
(sixty-second round, with --excess-dumps, a trial build's dumps of the
same trials with the column noise_excess, read for that column alone and
found for every trial) gives the change only to a trial whose noise lies
under X0 dB over what the model's templates keep of their own; every
other keeps main's term. Each (c, X0) with c above 0 is a setting, c 0
main refit; the order adds the smaller X0 after the smaller c, the cross
check takes the best over every setting, and each setting's row shows
the noisiest-enrolled speaker's models' white20 and speech20 impostors
accepted and soft12 takes refused. --hold-untouched-half (sixty-third
round) judges a half in which a setting moves no trial's threshold by
its three noisy EERs and their mean not higher than main's; a half with
any trial moved keeps the check above. With --own-threshold-grid it
judges a half in which a setting matches no trial by its three noisy
EERs, their mean and its mean noisy FRR not higher than main's.
--main-level C,X0,T_U (sixty-fourth round, with --own-threshold-grid):
main's dumps were made with the give-back c under X0 dB of excess at the
unweighted base T_U; their thresholds are recomputed with it, every
unmatched trial keeps it, and no matched trial may carry it (each is
checked against its recomputation without it). --excess-from-main: the
excess gate reads main's own noise_excess column, which the trial dumps'
must equal within 1e-3 dB on every trial. Each row then shows the
noisiest-enrolled speaker's models' white20 and speech20 impostors
accepted and clean, reverberated and soft12 takes refused.
--matched-offsets D=DUMP,... (seventy-sixth round, with --own-threshold-grid
and --excess-gate): the matched score is taken from one more build's dumps
per D (the templates matched to the take's noise held D dB under itself),
whose noise_excess and thresholds must equal --own-threshold-grid's dumps';
each D is one more dimension of the grid, shown first in a setting's name,
and the order adds the smaller D last. --own-terms N0 (or N1) keeps one
threshold term alone in the grid.
--level-knees=L0,... --level-slopes B,... (seventy-seventh round, with
--own-threshold-grid and --excess-gate): a matched trial's threshold is
lowered by b x max(0, L - L0), L the take's noise against its word (minus
the dumps' snr column, the end-point detector's word peak over its noise
floor, dB), so a take whose noise sits close under its word is held
stricter; each (L0, b) is one more grid dimension, shown first in a
setting's name, and the order adds the smaller b, then the larger L0, last
(the knees are negative, so they follow an '=': a leading minus would read
as an option).
--unmatched-shifts D,... (seventy-eighth round, with --own-threshold-grid
and --excess-gate): a noisy-path take at most K dB that the excess gate
leaves unmatched (its noise under X0 dB over the model's own) keeps main's
score but is held d stricter, so the trials of a model that holds its
room's noise are not judged on main's scale beside the matched ones; each
d is one more grid dimension, shown first in a setting's name, and the
order adds the smaller d last.
Without them every report is unchanged.
--own-engine T_M DUMP... (eighty-second round, with --own-threshold-grid
and one value of each of its grid's options): after the grid, the engine
built with that setting at base T_M against it, trial by trial: each
trial's hold (the build's noise_hold: 1 matched, 2 shifted, 0 neither)
the offline one; a matched trial's score, distances, typical distances,
voices' parts and cues the trial build's (TRIAL_DUMP), its threshold
main's rebuilt on the matched form; a shifted trial main's score with
main's threshold d stricter; every other trial every column main's but
the take's time; every decision the offline one; and the figures, theo's
row among them, computed from the build's own scores and thresholds.
--matched-parts K,S_M,TERM,X0,T_M (sixty-fifth round, with --own-threshold-grid's
dumps and options): instead of the grid, that excess-gated setting at
T_m against main, each unweighted-path margin split into the score's
terms (each distance in the fusion, each typical taken off, each
distance's neighbours' term) and the threshold (the matched base, slope
and noise term), recomposed to the dumped scores; for speech20, white20
and white10 and the groups half A without the noisiest-enrolled
speaker's models, its fsdd and its arabicsc models, and half B: the EERs,
the trials that change side at each side's own EER point, and how many
of them each part put back undoes, with the EER so.
--cue-grid (forty-second round, on dumps with the columns cue_dur and
cue_int, the main branch's scoring otherwise): only the weighted path's
scored takes change, fused + w_dur x dur / s_dur + w_int x int / s_int (s
each cue's spread over the scored genuine clean trials; the neighbours'
term unchanged: the cues are the same for every voice), w_dur and w_int in
{0, 0.05, 0.1, 0.15, 0.2, 0.3, 0.4}, T_w refitted for each by the
thirty-ninth round's rule on all tuning speakers and on each half; every
other trial keeps its dumped score and threshold. The settings that lower
the clean EER by more than the slack (the FRR not higher) there and on
each half are ordered (clean EER, clean FRR, w_dur + w_int) and checked in
that order (soft12, reverb and phone EERs and FARs); nothing is chosen
unless the best setting on either half alone lowers the other half's clean
EER by more than its slack.
--noisy-cue-grid (forty-third round, on the same dumps): the cues on the
unweighted path under 40 dB instead (s each cue's spread over the scored
genuine white20, speech20 and white10 trials on that path), T_u refitted
for each by the thirty-sixth round's rule on all tuning speakers and on
each half (the half's own caps). The settings that lower the mean of the
three noisy EERs by more than the pooled slack (none of the three EERs
higher than its own slack, no FAR up by more than one impostor trial)
there and on each half are ordered (mean noisy EER, mean noisy FRR, w_dur
+ w_int) and checked in that order (soft12, reverb, phone and clean EERs
and FARs); nothing is chosen unless the best setting on either half alone
lowers the other half's mean noisy EER by more than its slack.
--cue-frr-grid (forty-fourth round, on the same dumps): the forty-second
round's cues on the weighted path with its scales fixed (0.12458, 1.50899),
w_dur and w_int in {0, 0.025, 0.05, 0.075, 0.1, 0.15, 0.2}, judged by the
clean FRR at the refitted point: the settings that lower it by more than
the slack (the clean EER not higher than its slack, the clean FAR up by
one impostor trial at most) there and on each half are ordered (clean
FRR, clean EER, w_dur + w_int) and checked in that order (soft12, reverb
and phone EERs and FARs, the worst clean model/impostor pair); nothing is
chosen unless the best setting on either half alone lowers the other
half's clean FRR by more than its slack.
--cue-frr-grid --intonation-column COLUMN (forty-seventh round, on the
dumps of the engine that ships the cues on the weighted path, 0.05 and
0.05 over the fixed scales, base -0.2984): the same grid and judgement
with the intonation read from COLUMN (cue_int_fold: each frame's octave
error folded back) in place of the shipped one: a weighted trial's score
is the dumped one less the shipped cue term, plus w_dur x cue_dur /
0.12458 + w_int x COLUMN / s, s the column's spread over the scored
genuine clean trials on the weighted path (five decimals); main is the
shipped form, recomputed the same way.
--cue-frr-grid --contour-cues (forty-ninth round, on the dumps of the
engine that ships the cues, with the columns cue_loud, cue_int_path and
cue_voiced): three more cues on the weighted path beside the shipped
duration (0.05): a weighted trial's score is the dumped one plus (w_int -
0.05) x cue_int / 1.50899 + w_e x cue_loud / s_e + w_m x cue_int_path /
s_m + w_v x cue_voiced / s_v, s each column's spread over the scored
genuine clean trials on the weighted path (five decimals); w_e, w_m, w_v
in {0, 0.025, 0.05, 0.1, 0.15} with w_int 0.05 (the shipped linear
melody) and with w_int 0 (the path melody in its place), judged as
--cue-frr-grid judges the shipped cues (the order's weights' sum is
w_e + w_m + w_v + w_int); main is the shipped form.
--cue-confirm W_E,W_M,W_V,W_INT,T_W (sixty-first round): one setting of
--contour-cues' form, its scales (the forty-ninth round's spreads on the
digits: 0.90653, 1.39877, 0.07966) and its base fixed, nothing refitted,
against main's shipped form at -0.2984 on dumps of trials no setting was
chosen on (the tuning speakers' other words): every condition's figures
on all the dumps' speakers and on each half, the worst clean pair, and
the rule: the clean FRR at the shipped point lower than main's by more
than its slack, the clean FAR and EER and the soft12, reverb and phone
EERs and FARs not higher than main's by more than theirs.
--cue-engine W_DUR,W_INT,T_W DUMP...: the engine built with that setting on
the weighted path, run on the same trials, against the offline one, trial
by trial: on the weighted path its score, threshold and decision; off it
every column of its dump but the take's time.
--line-cue-grid (forty-fifth round, on the dumps of the engine with the
cues on the weighted path): the same cues on the line's path instead (the
`phone` trials), s each cue's spread over the scored genuine phone trials
(to five decimals), w_dur and w_int in {0, 0.025, ..., 0.2}, the line's
offset refitted for each by condition-report.py --fit-line's rule on all
tuning speakers and on each half, judged by the phone FRR at the refitted
point as --cue-frr-grid judges the clean one; the checks: every other
condition's EER and FAR, the worst phone model/impostor pair; nothing is
chosen unless the best setting on either half alone lowers the other
half's phone FRR by more than its slack.
--held-cue-grid (forty-sixth round, on the same dumps): the cues on the
clean unweighted path instead (the takes condition-report.py --clean-held
40,-0.5681 holds: at least 40 dB themselves, far under their enrolment's
level; mostly soft12's), s each cue's spread over the scored genuine
trials on that path, its base T_c refitted for each setting (the path's
impostor trials accepted no more than main's at -0.5681, the clean
impostor trials within 1 %, every path counted), judged by the soft12 FRR
at the refitted point as --line-cue-grid judges the phone one.
"""
import argparse
import bisect
import csv
import math
import statistics

from fitlib import impostor_pairs, print_checks, sibling

GW = sibling('global-weight-fit.py')
FIT = GW.FIT
SCALES = FIT.SCALES
NEAR, FAR = (1, 2), (0, 3)   # the +-0.5 and the +-1 channel voices
ENGINE_FORM = ('split', 1.5, 1.5)
GAINS = (2.0, 3.0, 4.0, 5.0)
PAIR_GAINS = (0.0, 1.0, 1.5, 2.0, 3.0)
FAMILIES = ('split', 'near2', 'min')   # the order of nearness to the engine's form


def settings():
    out = [('split', gn, gf) for gn in PAIR_GAINS for gf in PAIR_GAINS]
    out += [('near2', g) for g in GAINS] + [('min', g) for g in GAINS]
    return out


def nearness(form):
    """How far a setting lies from the engine's form (the rule's tie-break)."""
    if form[0] == 'split':
        return (0, abs(form[1] - 1.5) + abs(form[2] - 1.5), form[1], form[2])
    return (FAMILIES.index(form[0]), abs(form[1] - 3.0), form[1], 0.0)


def form_text(form):
    return '%s %s' % (form[0], ','.join('%g' % g for g in form[1:]))


def attach_voices(trials, dumps):
    """Each trial's 16 distances to the neighbouring voices."""
    voices = {}
    for path in dumps:
        for r in csv.DictReader(open(path)):
            voices[tuple(r[k] for k in FIT.KEY)] = [[float(r['v%d_d%d' % (s, p)]) for p in range(4)] for s in range(4)]
    for t in trials:
        t['v'] = voices[t['key']]


def fused_of(d, m, fusion):
    w2, w3, k0, k2, k3, _ = fusion
    return sum(w * (d[p] - k * m[p]) / SCALES[p] for p, w, k in ((0, 1.0, k0), (2, w2, k2), (3, w3, k3)))


def form_score(t, fusion, form):
    """The trial's score with fusion's weights and shares and the
    neighbours' term of form (a refused take stays refused)."""
    if t['s'] == math.inf:
        return math.inf
    own = fused_of(t['d'], t['m'], fusion)
    voices = [fused_of(v, t['m'], fusion) for v in t['v']]
    if form[0] == 'split':
        near = sum(voices[s] for s in NEAR) / 2.0
        far = sum(voices[s] for s in FAR) / 2.0
        return own + form[1] * (own - near) + form[2] * (own - far)
    if form[0] == 'near2':
        return own + form[1] * (own - sum(sorted(voices)[:2]) / 2.0)
    return own + form[1] * (own - min(voices))


def path_fusion(t):
    return FIT.SHIPPED if t['weighted'] or FIT.held(t) else GW.NOISY_FUSION


def check(trials):
    """The dumped scores from the 16 columns, each path's fusion with the
    four voices' mean (its gain split evenly between the pairs)."""
    by = {}
    for t in trials:
        if t['s'] == math.inf:
            continue
        f = path_fusion(t)
        s = form_score(t, f, ('split', f[5] / 2.0, f[5] / 2.0))
        row = by.setdefault(t['condition'], [0, 0, 0.0])
        row[0] += 1
        row[1] += abs(s - t['s']) > 2e-4
        row[2] = max(row[2], abs(s - t['s']))
    print('condition: scored trials, differing by more than 2e-4, largest difference')
    for c, row in sorted(by.items()):
        print('  %-9s %6d %6d %9.6f' % (c, *row))
    print('check %s' % ('passes' if all(row[1] == 0 for row in by.values()) else 'FAILS'))


def cuts_with(trials, form):
    """The weighted trials' cuts with form, the others' margins (None on
    the weighted path), as global-weight-fit.py's cut_and_rest."""
    c, rest = GW.cut_and_rest(trials)
    if form is not None:
        c = [form_score(t, FIT.SHIPPED, form) - t['part'] if t['weighted'] else x for t, x in zip(trials, c)]
    return c, rest


def at(trials, form, t_w=None):
    """Every condition's figures with form (None: the engine's dumped
    neighbours' mean) at t_w (None: refitted)."""
    c, rest = cuts_with(trials, form)
    if t_w is None:
        t_w = GW.refit(trials, c, rest)
    m = GW.margins_at(trials, c, rest, t_w)
    return t_w, {cond: FIT.figures(trials, m, cond) for cond in FIT.CONDITIONS}


def one_trial(count):
    return 100.0 / count if count else 0.0


def slack(f, sides):
    return max([FIT.SLACK] + [one_trial(f[k]) for k in sides])


def clears(v, base):
    """Both clean figures lower than the engine's by more than the slack."""
    b = base['clean']
    return (v['clean']['eer'] < b['eer'] - slack(b, 'gi') - 1e-9 and
            v['clean']['frr'] < b['frr'] - slack(b, 'g') - 1e-9)


def rank(form, v):
    return (round(v['clean']['frr'], 6), round(v['clean']['eer'], 6), nearness(form))


def halves_checks(trials, form):
    out = []
    for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B)):
        sel = [t for t in GW.within(trials, half) if t['condition'] == 'clean']
        tb, b = at(sel, None)
        tv, v = at(sel, form)
        s = slack(b['clean'], 'gi')
        print('  half %s: T_w %.4f -> %.4f, clean EER %.2f -> %.2f, FRR %.2f -> %.2f (g %d, i %d)' % (
            name, tb, tv, b['clean']['eer'], v['clean']['eer'], b['clean']['frr'], v['clean']['frr'],
            b['clean']['g'], b['clean']['i']))
        out.append(('half %s clean EER not higher (slack %.2f)' % (name, s), b['clean']['eer'], v['clean']['eer'],
                    v['clean']['eer'] <= b['clean']['eer'] + s + 1e-9))
    return out


def condition_checks(base, v, conds=GW.CHECKED):
    """Each of conds' EER and FAR not higher than base's by more than its
    slack."""
    out = []
    for cond in conds:
        for side, key in (('eer', 'gi'), ('far', 'i')):
            s = slack(base[cond], key)
            out.append(('%s %s not higher (slack %.2f)' % (cond, side.upper(), s), base[cond][side], v[cond][side],
                        v[cond][side] <= base[cond][side] + s + 1e-9))
    return out


def full_checks(trials, base, form, v):
    result = halves_checks(trials, form) + condition_checks(base, v)
    for name, before, after, ok in result:
        print('  %-44s %.4f -> %.4f %s' % (name, before, after, 'ok' if ok else 'FAILS'))
    return all(ok for _, _, _, ok in result)


def row_text(form, t_w, v):
    c = v['clean']
    return '%-14s T_w %.4f clean EER %.2f FAR %.2f FRR %.2f | soft12 %.2f/%.2f reverb %.2f/%.2f' % (
        form_text(form), t_w, c['eer'], c['far'], c['frr'], v['soft12']['eer'], v['soft12']['far'],
        v['reverb']['eer'], v['reverb']['far'])


def grid(trials, shows):
    _, base = at(trials, None, FIT.T_WEIGHTED)
    b = base['clean']
    print('engine at its shipped point: T_w %.4f clean EER %.2f FAR %.2f FRR %.2f (g %d, i %d); slack EER %.2f, '
          'FRR %.2f' % (FIT.T_WEIGHTED, b['eer'], b['far'], b['frr'], b['g'], b['i'], slack(b, 'gi'), slack(b, 'g')))
    rows = []
    for form in settings():
        t_w, v = at(trials, form)
        rows.append((form, t_w, v))
        print(row_text(form, t_w, v) + (' | clears the slack' if clears(v, base) else ''))
    for family in FAMILIES:
        form, t_w, v = min((r for r in rows if r[0][0] == family), key=lambda r: rank(r[0], r[2]))
        print('best of %-6s %s' % (family, row_text(form, t_w, v)))
    for text in shows:
        p = text.split(',')
        form = (p[0],) + tuple(float(x) for x in p[1:])
        t_w, v = at(trials, form)
        print('show: ' + row_text(form, t_w, v))
        full_checks(trials, base, form, v)
    candidates = [r for r in rows if clears(r[2], base)]
    if not candidates:
        print('chosen: none clears the slack; nothing ships')
        return
    form, t_w, v = min(candidates, key=lambda r: rank(r[0], r[2]))
    print('chosen: ' + row_text(form, t_w, v))
    print('passes' if full_checks(trials, base, form, v) else 'fails')


NOISY_GAINS = (0.0, 1.0, 2.0, 3.0, 4.0, 5.0)
NOISY_ENGINE = ('split', 2.0, 2.0)
NOISY_CONDITIONS = ('white20', 'speech20', 'white10')
OTHER_CONDITIONS = ('clean', 'soft12', 'phone', 'reverb')


def on_noisy_path(t):
    """The unweighted path for takes under 40 dB (neither weighted, nor a
    line's, nor held at the clean unweighted path's fusion)."""
    return not t['weighted'] and not FIT.held(t)


def noisy_cuts(trials, form):
    """Each trial's cut; the noisy path's with form (None: as dumped)."""
    c, _ = GW.cut_and_rest(trials)
    if form is None:
        return c
    return [form_score(t, GW.NOISY_FUSION, form) - t['part'] if on_noisy_path(t) else x for t, x in zip(trials, c)]


def other_base(t):
    return FIT.T_WEIGHTED if t['weighted'] else FIT.T_UNWEIGHTED


def noisy_margins(trials, c, t_u):
    return [x - (t_u if on_noisy_path(t) else other_base(t)) for t, x in zip(trials, c)]


def largest_base(trials, c, cond, allowed, on_path, off_margin):
    """The largest base of a path at which at most `allowed` unflagged
    impostor trials of cond pass: c holds the trials' scores (on_path(t))
    less everything but that base, off_margin(t, x) a trial's margin off
    the path."""
    idx = [j for j, t in enumerate(trials) if t['condition'] == cond and t['kind'] == 'i' and not t['flag']]
    fixed = sum(1 for j in idx if not on_path(trials[j]) and off_margin(trials[j], c[j]) <= 0.0)
    u = sorted(c[j] for j in idx if on_path(trials[j]) and c[j] < math.inf)
    room = allowed - fixed
    if room < 0:
        if not OVERSPENT_ADMITS_NONE:
            return -math.inf
        room = 0
    return u[room] - 1e-6 if room < len(u) else math.inf


# Whether a limit that the trials off the moved base already overspend
# still gives a base: the one just under the path's lowest impostor cut of
# its condition, so that the path adds none to what is spent (eighty-third
# round). Otherwise no base meets it.
OVERSPENT_ADMITS_NONE = False


def refit_base(trials, c, caps, on_path, off_margin):
    """A path's base by the thirty-second round's rule: the clean impostor
    trials within 1 %, each of caps' conditions within its count; four
    decimals on the stricter side."""
    n_clean = sum(1 for t in trials if t['condition'] == 'clean' and t['kind'] == 'i')
    limits = [largest_base(trials, c, 'clean', int(math.floor(0.01 * n_clean)), on_path, off_margin)]
    limits += [largest_base(trials, c, cond, cap, on_path, off_margin) for cond, cap in caps.items()]
    return math.floor(min(limits) * 1e4) / 1e4


def refit_noisy(trials, c, caps):
    return refit_base(trials, c, caps, on_noisy_path, lambda t, x: x - other_base(t))


def noisy_at(trials, form, t_u):
    m = noisy_margins(trials, noisy_cuts(trials, form), t_u)
    v = {cond: FIT.figures(trials, m, cond) for cond in FIT.CONDITIONS}
    for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B)):
        for cond in ('white20', 'speech20'):
            v['half %s %s' % (name, cond)] = FIT.figures(trials, m, cond, half)
    return v


def noisy_clears(v, base):
    return all(v[c]['eer'] < base[c]['eer'] - slack(base[c], 'gi') - 1e-9 and
               v[c]['far'] <= base[c]['far'] + slack(base[c], 'i') + 1e-9 for c in NOISY_CONDITIONS)


def noisy_rank(form, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return (round(mean('frr'), 6), round(mean('eer'), 6), abs(form[1] - 2.0) + abs(form[2] - 2.0), form[1])


def noisy_row_text(form, t_u, v):
    return '%-11s T_u %.4f | %s | mean FRR %.2f | clean %.2f/%.2f soft12 %.2f/%.2f phone %.2f/%.2f reverb %.2f/%.2f' % (
        form_text(form), t_u, ' '.join('%s %.2f/%.2f/%.2f' % (c, v[c]['eer'], v[c]['far'], v[c]['frr'])
                                       for c in NOISY_CONDITIONS),
        sum(v[c]['frr'] for c in NOISY_CONDITIONS) / 3.0,
        *[v[c][k] for c in OTHER_CONDITIONS for k in ('eer', 'far')])


def noisy_checks(base, v):
    out = condition_checks(base, v, OTHER_CONDITIONS)
    for name in ('half A white20', 'half A speech20', 'half B white20', 'half B speech20'):
        s = slack(base[name], 'gi')
        out.append(('%s EER not higher (slack %.2f)' % (name, s), base[name]['eer'], v[name]['eer'],
                    v[name]['eer'] <= base[name]['eer'] + s + 1e-9))
    print_checks(out, 44)
    return all(ok for _, _, _, ok in out)


def noisy_grid(trials, shows):
    base_c = noisy_cuts(trials, None)
    base_m = noisy_margins(trials, base_c, GW.T_NOISY)
    caps = {cond: sum(1 for t, x in zip(trials, base_m) if t['condition'] == cond and t['kind'] == 'i' and
                      x <= 0.0 and not t['flag']) for cond in ('white10', 'speech20')}
    base = noisy_at(trials, None, GW.T_NOISY)
    print('noisy path trials (genuine and impostor): %s' % ', '.join(
        '%s %d' % (cond, sum(1 for t in trials if t['condition'] == cond and t['kind'] in 'gi' and on_noisy_path(t)))
        for cond in FIT.CONDITIONS))
    print('white10 / speech20 impostors accepted by the engine: %d / %d' % (caps['white10'], caps['speech20']))
    print('engine as dumped: ' + noisy_row_text(NOISY_ENGINE, GW.T_NOISY, base))
    own = noisy_at(trials, NOISY_ENGINE, GW.T_NOISY)
    print('engine recomputed: ' + noisy_row_text(NOISY_ENGINE, GW.T_NOISY, own))
    print('engine\'s form refitted: T_u %.4f' % refit_noisy(trials, noisy_cuts(trials, NOISY_ENGINE), caps))
    print('slack: ' + ', '.join('%s EER %.2f FAR %.2f' % (c, slack(base[c], 'gi'), slack(base[c], 'i'))
                                for c in NOISY_CONDITIONS))
    rows = []
    for gn in NOISY_GAINS:
        for gf in NOISY_GAINS:
            form = ('split', gn, gf)
            t_u = refit_noisy(trials, noisy_cuts(trials, form), caps)
            v = noisy_at(trials, form, t_u)
            rows.append((form, t_u, v))
            print(noisy_row_text(form, t_u, v) + (' | clears' if noisy_clears(v, base) else ''))
    print('best rows by the choice\'s order (whether or not they clear):')
    for form, t_u, v in sorted(rows, key=lambda r: noisy_rank(r[0], r[2]))[:6]:
        print('  ' + noisy_row_text(form, t_u, v))
    for text in shows:
        gn, gf = (float(x) for x in text.split(','))
        form = ('split', gn, gf)
        t_u = refit_noisy(trials, noisy_cuts(trials, form), caps)
        v = noisy_at(trials, form, t_u)
        print('show: ' + noisy_row_text(form, t_u, v))
        for name in ('half A white20', 'half A speech20', 'half B white20', 'half B speech20'):
            print('  %s EER %.2f -> %.2f' % (name, base[name]['eer'], v[name]['eer']))
        noisy_checks(base, v)
    candidates = [r for r in rows if noisy_clears(r[2], base)]
    print('clearing: %d' % len(candidates))
    if not candidates:
        print('chosen: none clears the slack; nothing ships')
        return
    form, t_u, v = min(candidates, key=lambda r: noisy_rank(r[0], r[2]))
    print('chosen: ' + noisy_row_text(form, t_u, v))
    noisy_checks(base, v)


# A dump's columns that no choice of scoring moves: all but the take's time
# and, on the noisy path, the score, its threshold and the decision.
TIMED = ('take_ms',)
SCORED = ('score', 'threshold', 'accept')


def raw_rows(dumps):
    return {tuple(r[k] for k in FIT.KEY): r for path in dumps for r in csv.DictReader(open(path))}


def columns_differ(key, old, new, scored_path):
    """Whether a trial's dumped row changed in a column the build must not
    move (SCORED ones too off the path whose scoring changed); a changed
    trial's columns are printed."""
    skip = TIMED + (SCORED if scored_path else ())
    changed = [k for k in old if k not in skip and old[k] != new.get(k)]
    if changed:
        print('  columns differ: %s %s' % (key, ', '.join('%s %s -> %s' % (k, old[k], new.get(k)) for k in changed)))
    return len(changed) > 0


# How near the build's score and threshold must come to the offline ones:
# the dumps hold five decimals and the offline score is rebuilt from them.
def score_differs(offline, built):
    return not (offline == built or abs(offline - built) <= 2e-4)


def threshold_differs(offline, built):
    return abs(offline - built) > 1.5e-5


def decision_differs(key, e, offline):
    """Whether the build's decision e['accept'] on a trial differs from the
    offline one; such a trial is printed."""
    if offline == e['accept']:
        return False
    print('  decision differs: %s engine score %.5f limit %.5f accept %d, offline %d' % (
        key, e['s'], e['engine_limit'], e['accept'], offline))
    return True


def noisy_engine_check(trials, text, dumps, built_dumps, log):
    """The engine built with the split form on the noisy path against the
    offline form from the dumps trials were read from."""
    gn, gf, t_u = (float(x) for x in text.split(','))
    form = ('split', gn, gf)
    speakers = set(GW.TUNING.split(','))
    built = {t['key']: t for t in FIT.load(built_dumps, log, speakers, FIT.T_WEIGHTED, t_u)}
    before = raw_rows(dumps)
    after = raw_rows(built_dumps)
    differ = {'missing': 0, 'noisy score': 0, 'noisy threshold': 0, 'decision': 0, 'other column': 0}
    compared = {'noisy': 0, 'other': 0, 'decisions': 0}
    for t in trials:
        e = built.get(t['key'])
        if e is None or t['key'] not in after:
            differ['missing'] += 1
            continue
        old, new = before[t['key']], after[t['key']]
        noisy = on_noisy_path(t)
        compared['noisy' if noisy else 'other'] += 1
        differ['other column'] += columns_differ(t['key'], old, new, noisy)
        if noisy:
            s = form_score(t, GW.NOISY_FUSION, form)
            limit = t['part'] + t_u
            differ['noisy score'] += score_differs(s, e['s'])
            # The dumped limit moves by the base alone (both dumps rounded to
            # five decimals; the offline part is rebuilt from rounded columns);
            # an unscored take has none.
            moved = 0.0 if t['s'] == math.inf else t_u - GW.T_NOISY
            differ['noisy threshold'] += threshold_differs(t['engine_limit'] + moved, e['engine_limit'])
            offline = s - limit <= 0.0 and not t['flag']
        else:
            offline = t['accept']
        if t['kind'] in 'gi':
            compared['decisions'] += 1
            differ['decision'] += decision_differs(t['key'], e, offline)
    print('engine check (%s): %d trials on the noisy path, %d off it, %d genuine and impostor decisions; '
          'differing: %s' % (form_text(form) + ' T_u %.4f' % t_u, compared['noisy'], compared['other'],
                             compared['decisions'], ', '.join('%s %d' % kv for kv in differ.items())))


# The noisy path's takes under an snr boundary with gains and a base of
# their own; from S to 40 dB the engine's split form and base.
SOFT_HELD_BOUNDS = (30.0, 32.0, 34.0, 36.0)
SOFT_HELD_GAINS = (0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0)
SPLIT_ENGINE = ('split', 4.0, 3.0)
T_SPLIT = -0.6192


def read_split_engine(dumps, log):
    """The tuning trials of dumps made by the engine with SPLIT_ENGINE at
    T_SPLIT on the noisy path."""
    FIT.LINE_HELD['on'] = True
    FIT.CLEAN_HELD['on'] = True
    return FIT.load(dumps, log, set(GW.TUNING.split(',')), FIT.T_WEIGHTED, T_SPLIT)


def under_bound(t, bound):
    return on_noisy_path(t) and t['snr_db'] < bound


def split_engine_cuts(trials):
    """Each trial's cut with the engine's form (the noisy path's recomputed
    from the voices' columns, the others as global-weight-fit.py reads them)."""
    c, _ = GW.cut_and_rest(trials)
    return [form_score(t, GW.NOISY_FUSION, SPLIT_ENGINE) - t['part'] if on_noisy_path(t) else x
            for t, x in zip(trials, c)]


def soft_held_cuts(trials, engine_c, bound, form):
    return [form_score(t, GW.NOISY_FUSION, form) - t['part'] if under_bound(t, bound) else x
            for t, x in zip(trials, engine_c)]


def soft_held_base(t, bound, t_n):
    if under_bound(t, bound):
        return t_n
    return T_SPLIT if on_noisy_path(t) else other_base(t)


def soft_held_margins(trials, c, bound, t_n):
    return [x - soft_held_base(t, bound, t_n) for t, x in zip(trials, c)]


def largest_t_n(trials, c, bound, cond, allowed):
    """The largest T_n at which at most `allowed` unflagged impostor trials
    of cond pass, every take not under the bound at its own base."""
    idx = [j for j, t in enumerate(trials) if t['condition'] == cond and t['kind'] == 'i' and not t['flag']]
    fixed = sum(1 for j in idx if not under_bound(trials[j], bound) and
                c[j] - soft_held_base(trials[j], bound, 0.0) <= 0.0)
    u = sorted(c[j] for j in idx if under_bound(trials[j], bound) and c[j] < math.inf)
    room = allowed - fixed
    if room < 0:
        return -math.inf
    return u[room] - 1e-6 if room < len(u) else math.inf


def refit_soft_held(trials, c, bound, caps):
    n_clean = sum(1 for t in trials if t['condition'] == 'clean' and t['kind'] == 'i')
    limits = [largest_t_n(trials, c, bound, 'clean', int(math.floor(0.01 * n_clean)))]
    limits += [largest_t_n(trials, c, bound, cond, cap) for cond, cap in caps.items()]
    return math.floor(min(limits) * 1e4) / 1e4


def figures_of(trials, m):
    v = {cond: FIT.figures(trials, m, cond) for cond in FIT.CONDITIONS}
    for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B)):
        for cond in ('white20', 'speech20'):
            v['half %s %s' % (name, cond)] = FIT.figures(trials, m, cond, half)
    return v


def soft_held_rank(bound, form, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return (round(mean('frr'), 6), round(mean('eer'), 6), abs(form[1] - 4.0) + abs(form[2] - 3.0), -bound)


def soft_held_text(bound, form, t_n, v):
    return 'S %2.0f %s' % (bound, noisy_row_text(form, t_n, v).replace('T_u', 'T_n'))


def soft_held_setting(trials, engine_c, caps, bound, form):
    c = soft_held_cuts(trials, engine_c, bound, form)
    t_n = refit_soft_held(trials, c, bound, caps)
    return t_n, figures_of(trials, soft_held_margins(trials, c, bound, t_n))


def soft_held_show_halves(base, v):
    for name in ('half A white20', 'half A speech20', 'half B white20', 'half B speech20'):
        print('  %s EER %.2f -> %.2f' % (name, base[name]['eer'], v[name]['eer']))


def soft_held_grid(trials, shows):
    dumped_c, _ = GW.cut_and_rest(trials)
    dumped_c = [t['s'] - t['part'] if on_noisy_path(t) else x for t, x in zip(trials, dumped_c)]
    engine_c = split_engine_cuts(trials)
    base_m = soft_held_margins(trials, dumped_c, 0.0, None)
    caps = {cond: sum(1 for t, x in zip(trials, base_m) if t['condition'] == cond and t['kind'] == 'i' and
                      x <= 0.0 and not t['flag']) for cond in ('white10', 'speech20')}
    base = figures_of(trials, base_m)
    own = figures_of(trials, soft_held_margins(trials, engine_c, 0.0, None))
    print('white10 / speech20 impostors accepted by the engine: %d / %d' % (caps['white10'], caps['speech20']))
    print('engine as dumped:   ' + noisy_row_text(SPLIT_ENGINE, T_SPLIT, base))
    print('engine recomputed:  ' + noisy_row_text(SPLIT_ENGINE, T_SPLIT, own))
    print('slack: ' + ', '.join('%s EER %.2f FAR %.2f' % (c, slack(base[c], 'gi'), slack(base[c], 'i'))
                                for c in NOISY_CONDITIONS))
    for bound in SOFT_HELD_BOUNDS:
        print('S %.0f: noisy path trials under it (genuine and impostor): %s' % (bound, ', '.join(
            '%s %d' % (cond, sum(1 for t in trials if t['condition'] == cond and t['kind'] in 'gi' and
                                 under_bound(t, bound))) for cond in FIT.CONDITIONS)))
    rows = []
    for bound in SOFT_HELD_BOUNDS:
        for gn in SOFT_HELD_GAINS:
            for gf in SOFT_HELD_GAINS:
                form = ('split', gn, gf)
                t_n, v = soft_held_setting(trials, engine_c, caps, bound, form)
                rows.append((bound, form, t_n, v))
                print(soft_held_text(bound, form, t_n, v) + (' | clears' if noisy_clears(v, base) else ''))
    order = lambda r: soft_held_rank(r[0], r[1], r[3])
    print('best rows by the order (whether or not they clear):')
    for r in sorted(rows, key=order)[:8]:
        print('  ' + soft_held_text(*r) + (' | clears' if noisy_clears(r[3], base) else ''))
    for text in shows:
        bound, gn, gf = (float(x) for x in text.split(','))
        form = ('split', gn, gf)
        t_n, v = soft_held_setting(trials, engine_c, caps, bound, form)
        print('show: ' + soft_held_text(bound, form, t_n, v))
        soft_held_show_halves(base, v)
        noisy_checks(base, v)
    candidates = sorted((r for r in rows if noisy_clears(r[3], base)), key=order)
    print('clearing: %d, in order:' % len(candidates))
    for r in candidates:
        print('  ' + soft_held_text(*r))
    for r in candidates:
        print('checked: ' + soft_held_text(*r))
        soft_held_show_halves(base, r[3])
        if noisy_checks(base, r[3]):
            print('chosen: ' + soft_held_text(*r))
            return
    print('chosen: none passes every check; nothing ships')


# The weighted path's neighbours' term with a gain per distance.
DISTANCE_GAINS = (0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 6.0)
DISTANCE_ENGINE = (3.0, 3.0)   # G_DTW, G_nearest: the one gain the engine has
PITCH_GAIN = 3.0


def distance_score(t, gains):
    """The weighted path's score with a neighbours' gain per distance
    (gains: DTW, nearest frames; the pitch's the engine's)."""
    if t['s'] == math.inf:
        return math.inf
    w2, w3, k0, k2, k3, _ = FIT.SHIPPED
    total = 0.0
    for p, w, k, g in ((0, 1.0, k0, gains[0]), (2, w2, k2, gains[1]), (3, w3, k3, PITCH_GAIN)):
        own = t['d'][p] - k * t['m'][p]
        voices = sum(v[p] - k * t['m'][p] for v in t['v']) / len(t['v'])
        total += w * (own + g * (own - voices)) / SCALES[p]
    return total


def split_engine_base(t, t_w):
    if t['weighted']:
        return t_w
    return FIT.T_UNWEIGHTED if FIT.held(t) else T_SPLIT


def distance_cuts(trials, gains):
    """Each trial's cut: the weighted path's with gains (None: as dumped),
    every other trial's as dumped."""
    return [distance_score(t, gains) - t['part'] if gains is not None and t['weighted'] else t['s'] - t['part']
            for t in trials]


def distance_at(trials, gains, t_w=None):
    """T_w (None: refitted by the thirty-fifth round's rule) and every
    condition's figures."""
    c = distance_cuts(trials, gains)
    rest = [None if t['weighted'] else x - split_engine_base(t, 0.0) for t, x in zip(trials, c)]
    if t_w is None:
        t_w = GW.refit(trials, c, rest)
    m = GW.margins_at(trials, c, rest, t_w)
    return t_w, {cond: FIT.figures(trials, m, cond) for cond in FIT.CONDITIONS}, m


def distance_text(gains, t_w, v):
    c = v['clean']
    return 'G %g,%g T_w %.4f clean EER %.2f FAR %.2f FRR %.2f | %s' % (
        gains[0], gains[1], t_w, c['eer'], c['far'], c['frr'],
        ' '.join('%s %.2f/%.2f' % (cond, v[cond]['eer'], v[cond]['far']) for cond in GW.CHECKED))


def distance_clears(v, base):
    b = base['clean']
    return (v['clean']['eer'] < b['eer'] - slack(b, 'gi') - 1e-9 and
            v['clean']['frr'] < b['frr'] - slack(b, 'g') - 1e-9 and
            v['clean']['far'] <= b['far'] + slack(b, 'i') + 1e-9)


def distance_rank(gains, v):
    return (round(v['clean']['frr'], 6), round(v['clean']['eer'], 6),
            abs(gains[0] - DISTANCE_ENGINE[0]) + abs(gains[1] - DISTANCE_ENGINE[1]), gains[0])


def distance_checks(trials, base, gains, v):
    out = []
    for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B)):
        sel = [t for t in GW.within(trials, half) if t['condition'] == 'clean']
        tb, b, _ = distance_at(sel, None)
        tv, h, _ = distance_at(sel, gains)
        s = slack(b['clean'], 'gi')
        print('  half %s: T_w %.4f -> %.4f, clean EER %.2f -> %.2f, FRR %.2f -> %.2f (g %d, i %d)' % (
            name, tb, tv, b['clean']['eer'], h['clean']['eer'], b['clean']['frr'], h['clean']['frr'],
            b['clean']['g'], b['clean']['i']))
        out.append(('half %s clean EER not higher (slack %.2f)' % (name, s), b['clean']['eer'], h['clean']['eer'],
                    h['clean']['eer'] <= b['clean']['eer'] + s + 1e-9))
    out += condition_checks(base, v)
    print_checks(out, 44)
    return all(ok for _, _, _, ok in out)


def grid_and_choose(gains, evaluate, text, clears, rank, checks, best):
    """Every (DTW, nearest frames) pair of gains: evaluate(g) gives the
    refitted base and the figures, text(g, base, figures) a row; then the
    rows in the round's order (rank(g, figures)), the clearing ones
    (clears(figures)) and the first of those that passes checks(g,
    figures), which is the one chosen."""
    rows = []
    for gd in gains:
        for gn in gains:
            t, v = evaluate((gd, gn))
            rows.append(((gd, gn), t, v))
            print(text((gd, gn), t, v) + (' | clears' if clears(v) else ''))
    order = lambda r: rank(r[0], r[2])
    print('best rows by the order (whether or not they clear):')
    for r in sorted(rows, key=order)[:best]:
        print('  ' + text(*r) + (' | clears' if clears(r[2]) else ''))
    candidates = sorted((r for r in rows if clears(r[2])), key=order)
    print('clearing: %d, in order:' % len(candidates))
    for r in candidates:
        print('  ' + text(*r))
    for r in candidates:
        print('checked: ' + text(*r))
        if checks(r[0], r[2]):
            print('chosen: ' + text(*r))
            return
    print('chosen: none passes every check; nothing ships')


def distance_grid(trials):
    dumped_t_w, base, base_m = distance_at(trials, None, FIT.T_WEIGHTED)
    _, own, own_m = distance_at(trials, DISTANCE_ENGINE, FIT.T_WEIGHTED)
    mismatch = sum(1 for t, x in zip(trials, base_m) if t['kind'] in 'gi' and (x <= 0.0 and not t['flag']) != t['accept'])
    print('main as dumped, margins against the dumped decisions: %d of %d differ' % (
        mismatch, sum(1 for t in trials if t['kind'] in 'gi')))
    print('main as dumped:     ' + distance_text(DISTANCE_ENGINE, dumped_t_w, base))
    print('main recomputed:    ' + distance_text(DISTANCE_ENGINE, dumped_t_w, own))
    same = all('%.2f' % base[c][k] == '%.2f' % own[c][k] for c in FIT.CONDITIONS for k in ('eer', 'far', 'frr'))
    print('main recomputed gives its dumped figures: %s' % ('yes' if same else 'NO'))
    weighted = sum(1 for t in trials if t['weighted'] and t['s'] < math.inf)
    worst = max(abs(distance_score(t, DISTANCE_ENGINE) - t['s']) for t in trials if t['weighted'] and t['s'] < math.inf)
    print('weighted scored trials %d, largest |recomputed - dumped| %.6f' % (weighted, worst))
    b = base['clean']
    print('slack: clean EER %.2f FRR %.2f FAR %.2f' % (slack(b, 'gi'), slack(b, 'g'), slack(b, 'i')))
    grid_and_choose(DISTANCE_GAINS, lambda g: distance_at(trials, g)[:2], distance_text,
                    lambda v: distance_clears(v, base), distance_rank,
                    lambda g, v: distance_checks(trials, base, g, v), best=8)


def distance_engine_check(trials, text, dumps, built_dumps, log):
    """The engine built with a gain per distance on the weighted path
    against the offline setting from the dumps trials were read from."""
    gd, gn, t_w = (float(x) for x in text.split(','))
    gains = (gd, gn)
    speakers = set(GW.TUNING.split(','))
    built = {t['key']: t for t in FIT.load(built_dumps, log, speakers, t_w, T_SPLIT)}
    before = raw_rows(dumps)
    after = raw_rows(built_dumps)
    c = distance_cuts(trials, gains)
    differ = {'missing': 0, 'path': 0, 'weighted score': 0, 'weighted threshold': 0, 'decision': 0,
              'other column': 0}
    compared = {'weighted': 0, 'other': 0, 'decisions': 0}
    changed_decisions = 0
    for t, x in zip(trials, c):
        e = built.get(t['key'])
        if e is None or t['key'] not in after:
            differ['missing'] += 1
            continue
        old, new = before[t['key']], after[t['key']]
        weighted = t['weighted']
        differ['path'] += weighted != e['weighted']
        compared['weighted' if weighted else 'other'] += 1
        differ['other column'] += columns_differ(t['key'], old, new, weighted)
        if weighted:
            s = distance_score(t, gains)
            differ['weighted score'] += score_differs(s, e['s'])
            moved = 0.0 if t['s'] == math.inf else t_w - FIT.T_WEIGHTED
            differ['weighted threshold'] += threshold_differs(t['engine_limit'] + moved, e['engine_limit'])
            offline = x - t_w <= 0.0 and not t['flag']
        else:
            offline = t['accept']
        if t['kind'] in 'gi':
            compared['decisions'] += 1
            changed_decisions += e['accept'] != t['accept']
            differ['decision'] += decision_differs(t['key'], e, offline)
    print('engine check (G %g,%g T_w %.4f): %d trials on the weighted path, %d off it, %d genuine and impostor '
          'decisions (%d changed against the dumps); differing: %s' % (
              gd, gn, t_w, compared['weighted'], compared['other'], compared['decisions'], changed_decisions,
              ', '.join('%s %d' % kv for kv in differ.items())))



# The noisy path's neighbours' term with a gain per distance (forty-first
# round), read as condition-report.py reads the main branch's dumps: every
# trial keeps its dumped score and threshold, and only the noisy path's
# scores are made again from the voices' columns.
NOISY_DISTANCE_GAINS = tuple(0.25 * k for k in range(9))
NOISY_DISTANCE_ENGINE = (1.0, 1.0)   # g_DTW, g_nearest: the engine's split form as it is
NOISY_PITCH_GAIN = 1.0
REPORT = FIT.REPORT
ALL_CONDITIONS = ('clean', 'white20', 'speech20', 'white10', 'soft12', 'phone', 'reverb')
HELD_CHECKED = ('soft12', 'reverb', 'phone', 'clean')


def read_main_rows(dumps, log):
    """The tuning trials of the main branch's dumps (weighted base -0.5129,
    the noisy path's split form 4,3 at -0.6192), each with its path."""
    REPORT.ENROL.update(slope=0.0025, margin=4.0, snr=REPORT.read_enrol_log(log))
    REPORT.NOISE.update(share=1.25, typical=0.28397, margin=6.0, min_drop=10.0, cap=True, impostor=True)
    REPORT.LINE['offset'] = -0.1189
    REPORT.set_weighted('40,6,-0.5129')
    REPORT.set_clean_held('40,-0.5681')
    rows = [r for r in REPORT.load(dumps, set(GW.TUNING.split(','))) if r['kind'] in 'gir']
    for r in rows:
        r['key'] = tuple(r[k] for k in FIT.KEY)
        r['t'] = float(r['threshold'])
        r['flag'] = REPORT.copy_flag(r)
        r['noisy'] = REPORT.on_noisy_path(r)
        r['d'] = [float(r['d%d' % p]) for p in range(4)]
        r['m'] = [float(r['m%d' % p]) for p in range(4)]
        r['v'] = [[float(r['v%d_d%d' % (s, p)]) for p in range(4)] for s in range(4)]
    return rows


def noisy_distance_score(r, gains):
    """The noisy path's score with the split form's two pair terms of each
    distance scaled by its gain (gains: DTW, nearest frames; the pitch's 1)."""
    if r['s'] == math.inf:
        return math.inf
    w2, w3, k0, k2, k3, _ = GW.NOISY_FUSION
    gn, gf = SPLIT_ENGINE[1], SPLIT_ENGINE[2]
    total = 0.0
    for p, w, k, g in ((0, 1.0, k0, gains[0]), (2, w2, k2, gains[1]), (3, w3, k3, NOISY_PITCH_GAIN)):
        own = r['d'][p] - k * r['m'][p]
        near = sum(r['v'][s][p] - k * r['m'][p] for s in NEAR) / len(NEAR)
        far = sum(r['v'][s][p] - k * r['m'][p] for s in FAR) / len(FAR)
        total += w * (own + g * (gn * (own - near) + gf * (own - far))) / SCALES[p]
    return total


def noisy_distance_cuts(rows, gains):
    """Each trial's score less its threshold but the noisy path's base: the
    noisy path's margin is this less T_u, every other trial's is final
    (gains None: the dumped scores)."""
    out = []
    for r in rows:
        if not r['noisy']:
            out.append(r['s'] - r['t'])
            continue
        s = r['s'] if gains is None else noisy_distance_score(r, gains)
        out.append(s - (r['t'] - T_SPLIT))
    return out


def noisy_distance_margins(rows, c, t_u):
    return [x - t_u if r['noisy'] else x for r, x in zip(rows, c)]


def accepted_impostors(rows, m, cond):
    return sum(1 for r, x in zip(rows, m) if r['condition'] == cond and r['kind'] == 'i' and x <= 0.0 and not r['flag'])


def refit_noisy_base(rows, c, caps):
    """T_u by the thirty-sixth round's rule: every trial off the noisy path
    at its own threshold (c holds its margin)."""
    return refit_base(rows, c, caps, lambda r: r['noisy'], lambda r, x: x)


def noisy_distance_figures(rows, m):
    """Each condition's EER (on the margins), FAR and FRR at the shipped
    point, and the trial counts."""
    v = {}
    for cond in ALL_CONDITIONS:
        sel = [(r, x) for r, x in zip(rows, m) if r['condition'] == cond]
        g = [x for r, x in sel if r['kind'] == 'g']
        i = [x for r, x in sel if r['kind'] == 'i']
        acc = lambda r, x: x <= 0.0 and not r['flag']
        fa = sum(acc(r, x) for r, x in sel if r['kind'] == 'i')
        fr = sum(not acc(r, x) for r, x in sel if r['kind'] == 'g')
        v[cond] = {'eer': 100.0 * REPORT.eer(g, i), 'far': 100.0 * fa / max(1, len(i)),
                   'frr': 100.0 * fr / max(1, len(g)), 'fa': fa, 'g': len(g), 'i': len(i)}
    return v


def noisy_base_figures(rows, cuts, caps, t_u=None):
    """T_u (None: refitted) and the figures of a setting's margins but the
    noisy path's base (`cuts`) on rows."""
    if t_u is None:
        t_u = refit_noisy_base(rows, cuts, caps)
    return t_u, noisy_distance_figures(rows, noisy_distance_margins(rows, cuts, t_u))


def noisy_caps(rows, cuts, t_u):
    """The white10 and speech20 impostors accepted at T_u: the caps of the
    noisy base's refit."""
    m = noisy_distance_margins(rows, cuts, t_u)
    return {cond: accepted_impostors(rows, m, cond) for cond in ('white10', 'speech20')}


def noisy_distance_setting(rows, caps, gains, t_u=None):
    return noisy_base_figures(rows, noisy_distance_cuts(rows, gains), caps, t_u)


def main_caps(rows):
    return noisy_caps(rows, noisy_distance_cuts(rows, None), T_SPLIT)


def half_noisy_eer_checks(name, main, v):
    """A half's three noisy EERs, each not higher than main's by more than
    its slack."""
    return [('half %s %s EER not higher (slack %.2f)' % (name, c, slack(main[c], 'gi')), main[c]['eer'],
             v[c]['eer'], v[c]['eer'] <= main[c]['eer'] + slack(main[c], 'gi') + 1e-9) for c in NOISY_CONDITIONS]


def frr_not_higher_checks(main, v, conds):
    """Each condition's FRR at the shipped point not higher than main's by
    more than one genuine trial's slack."""
    return [('%s FRR not higher (slack %.2f)' % (c, slack(main[c], 'g')), main[c]['frr'], v[c]['frr'],
             v[c]['frr'] <= main[c]['frr'] + slack(main[c], 'g') + 1e-9) for c in conds]


def print_main_recomputed(base, own, width):
    """Main's figures as dumped and as recomputed from the dump's parts,
    and whether they agree to the report's last digit."""
    print('main as dumped:'.ljust(width) + figures_line(base))
    print('main recomputed:'.ljust(width) + figures_line(own))
    same = all('%.2f' % base[c][k] == '%.2f' % own[c][k] for c in ALL_CONDITIONS for k in ('eer', 'far', 'frr'))
    print('main recomputed gives its dumped figures: %s' % ('yes' if same else 'NO'))


def noisy_distance_clears(v, base):
    return all(v[c]['eer'] < base[c]['eer'] - slack(base[c], 'gi') - 1e-9 and v[c]['fa'] <= base[c]['fa'] + 1
               for c in NOISY_CONDITIONS)


def noisy_distance_rank(gains, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return (round(mean('eer'), 6), round(mean('frr'), 6),
            abs(gains[0] - NOISY_DISTANCE_ENGINE[0]) + abs(gains[1] - NOISY_DISTANCE_ENGINE[1]), gains[0])


def noisy_distance_text(gains, t_u, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return 'g %.2f,%.2f T_u %.4f | %s | mean EER %.2f FRR %.2f | %s' % (
        gains[0], gains[1], t_u,
        ' '.join('%s %.2f/%.2f/%.2f' % (c, v[c]['eer'], v[c]['far'], v[c]['frr']) for c in NOISY_CONDITIONS),
        mean('eer'), mean('frr'),
        ' '.join('%s %.2f/%.2f' % (c, v[c]['eer'], v[c]['far']) for c in HELD_CHECKED))


def noisy_distance_checks(rows, halves, base, gains, v):
    """Item 4's checks of a clearing setting: each half's noisy EERs (T_u
    refitted on the half for the main form and the setting alike), the
    held conditions' EERs and FARs."""
    out = []
    for name, sel in halves:
        caps = main_caps(sel)
        tb, b = noisy_distance_setting(sel, caps, NOISY_DISTANCE_ENGINE)
        tv, h = noisy_distance_setting(sel, caps, gains)
        print('  half %s: caps white10 %d speech20 %d, T_u %.4f -> %.4f' % (
            name, caps['white10'], caps['speech20'], tb, tv))
        out += half_noisy_eer_checks(name, b, h)
    out += condition_checks(base, v, HELD_CHECKED)
    print_checks(out, 44)
    return all(ok for _, _, _, ok in out)


def figures_line(v):
    return ' '.join('%s %.2f/%.2f/%.2f' % (c, v[c]['eer'], v[c]['far'], v[c]['frr']) for c in ALL_CONDITIONS)


def noisy_distance_grid(rows):
    halves = [(name, [r for r in rows if r['model_speaker'] in half and r['test_speaker'] in half])
              for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B))]
    dumped_m = noisy_distance_margins(rows, noisy_distance_cuts(rows, None), T_SPLIT)
    print_dumped_decisions(rows, dumped_m)
    print('noisy path trials (genuine / impostor / replays): %s' % ', '.join(
        '%s %s' % (c, '/'.join(str(sum(1 for r in rows if r['condition'] == c and r['noisy'] and r['kind'] == k))
                               for k in 'gir')) for c in ALL_CONDITIONS + ('replay',)))
    worst = max(abs(noisy_distance_score(r, NOISY_DISTANCE_ENGINE) - r['s']) for r in rows
                if r['noisy'] and r['s'] < math.inf)
    print('noisy path scored trials %d, largest |recomputed - dumped| score %.6f' % (
        sum(1 for r in rows if r['noisy'] and r['s'] < math.inf), worst))
    caps = main_caps(rows)
    print('white10 / speech20 impostors accepted by the main branch: %d / %d' % (caps['white10'], caps['speech20']))
    base = noisy_distance_figures(rows, dumped_m)
    _, own = noisy_distance_setting(rows, caps, NOISY_DISTANCE_ENGINE, T_SPLIT)
    print_main_recomputed(base, own, 21)
    t_own, _ = noisy_distance_setting(rows, caps, NOISY_DISTANCE_ENGINE)
    print('main\'s form refitted by the rule: T_u %.4f' % t_own)
    print('slack: ' + ', '.join('%s EER %.2f (FAR: %d impostor trials + 1)' % (c, slack(base[c], 'gi'), base[c]['fa'])
                                for c in NOISY_CONDITIONS))
    print('main: ' + noisy_distance_text(NOISY_DISTANCE_ENGINE, T_SPLIT, base))
    grid_and_choose(NOISY_DISTANCE_GAINS, lambda g: noisy_distance_setting(rows, caps, g), noisy_distance_text,
                    lambda v: noisy_distance_clears(v, base), noisy_distance_rank,
                    lambda g, v: noisy_distance_checks(rows, halves, base, g, v), best=10)


def noisy_distance_engine_check(rows, text, dumps, built_dumps):
    """The engine built with a gain per distance on the noisy path against
    the offline setting, trial by trial: on the noisy path its score,
    threshold (main's moved by the base) and decision; off it every column
    of its dump but the take's time."""
    gd, gn, t_u = (float(x) for x in text.split(','))
    path_engine_check(rows, dumps, built_dumps, 'noisy', lambda r: r['noisy'],
                      lambda r: noisy_distance_score(r, (gd, gn)), t_u - T_SPLIT,
                      'g %g,%g T_u %.4f' % (gd, gn, t_u))


# The take's noise added to the templates on the noisy path (fifty-sixth
# round), offline from main's dumps and a trial build's of the same trials
# (the unweighted path matched to each take's noise): a setting is a gate
# (G1: every trial on the noisy path takes the trial's score; G2: only
# those whose snr lies at least MATCH_GATE_DB under min(snrEnrol, 60), the
# room's noise rather than the recording's own) and the noise figure's term
# kept (N1) or dropped (N0) for the matched trials. Every other trial keeps
# its dumped score and threshold; a noisy-path trial's threshold is its
# dumped one moved by T_u - MATCH_T_MAIN.
MATCH_T_MAIN = -0.6636   # main's unweighted base, the dumps' own
MATCH_GATE_DB = 10.0
MATCH_SETTINGS = (('G1', 'N1'), ('G1', 'N0'), ('G2', 'N1'), ('G2', 'N0'))
MATCH_MAIN = ('main', 'N1')


def read_match_rows(dumps, trial_dumps, log):
    """Main's tuning trials (paths as read_main_rows tells them, the
    present constants for the threshold's recomputation), each with the
    trial build's score of the same trial and its noise figure's term."""
    rows = read_main_rows(dumps, log)
    REPORT.set_weighted('40,6,-0.2984')
    REPORT.LINE['offset'] = -0.15
    trial = raw_rows(trial_dumps) if trial_dumps else None
    for r in rows:
        t = trial[r['key']] if trial is not None else r
        s = float(t['score'])
        r['s_match'] = math.inf if s >= REPORT.REFUSED else s
        r['t_match'] = float(t['threshold'])
        enrol = min(r['enrol_db'], REPORT.ENROL_SNR_CAP)
        r['allow'] = REPORT.noise_allowance(r, enrol) if r['noisy'] and r['enrol_db'] > 0.0 else 0.0
        r['room'] = r['snr_db'] <= min(r['enrol_db'], REPORT.ENROL_SNR_CAP) - MATCH_GATE_DB
        r['excess'] = float(t['noise_excess']) if 'noise_excess' in t else math.nan
        r['excess_trial'] = r['excess']
        r['take_move'] = float(t['take_move']) if 'take_move' in t else math.nan
    return rows


def matched(r, gate):
    return gate != 'main' and r['noisy'] and (gate == 'G1' or r['room'])


def match_cuts(rows, setting):
    """Each trial's margin but the noisy path's base (off the path: its
    final margin)."""
    gate, term = setting
    out = []
    for r in rows:
        if not r['noisy']:
            out.append(r['s'] - r['t'])
        elif matched(r, gate):
            out.append(r['s_match'] - (r['t'] - MATCH_T_MAIN - (r['allow'] if term == 'N0' else 0.0)))
        else:
            out.append(r['s'] - (r['t'] - MATCH_T_MAIN))
    return out


def match_limits(rows, c, caps):
    """Each limit of the refit apart (the clean FAR's 1 %, each cap's
    count), unrounded: which one binds."""
    n_clean = sum(1 for r in rows if r['condition'] == 'clean' and r['kind'] == 'i')
    out = {'clean': largest_base(rows, c, 'clean', int(math.floor(0.01 * n_clean)), lambda r: r['noisy'],
                                 lambda r, x: x)}
    for cond, cap in caps.items():
        out[cond] = largest_base(rows, c, cond, cap, lambda r: r['noisy'], lambda r, x: x)
    return out


def match_setting(rows, caps, setting, t_u=None):
    return noisy_base_figures(rows, match_cuts(rows, setting), caps, t_u)


def match_caps(rows):
    return noisy_caps(rows, match_cuts(rows, MATCH_MAIN), MATCH_T_MAIN)


def match_text(setting, t_u, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return '%s %s T_u %.4f | %s | mean EER %.2f FRR %.2f | %s | clean FRR %.2f' % (
        setting[0], setting[1], t_u,
        ' '.join('%s %.2f/%.2f/%.2f (%d)' % (c, v[c]['eer'], v[c]['far'], v[c]['frr'], v[c]['fa'])
                 for c in NOISY_CONDITIONS),
        mean('eer'), mean('frr'),
        ' '.join('%s %.2f/%.2f' % (c, v[c]['eer'], v[c]['far']) for c in HELD_CHECKED), v['clean']['frr'])


def match_rank(setting, v):
    mean = lambda side: sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0
    return (round(mean('eer'), 6), round(mean('frr'), 6), MATCH_SETTINGS.index(setting))


def match_clears(v, base):
    """Each noisy EER lower than main's by more than the slack, no noisy
    FAR up by more than one impostor trial; the failing parts."""
    why = []
    for c in NOISY_CONDITIONS:
        if not v[c]['eer'] < base[c]['eer'] - slack(base[c], 'gi') - 1e-9:
            why.append('%s EER %.2f (main %.2f, slack %.2f)' % (c, v[c]['eer'], base[c]['eer'], slack(base[c], 'gi')))
        if v[c]['fa'] > base[c]['fa'] + 1:
            why.append('%s FAR %d of %d (main %d)' % (c, v[c]['fa'], v[c]['i'], base[c]['fa']))
    return why


def match_checks(rows, halves, base, setting, v):
    """Item 5's checks: each half's noisy EERs (T_u refitted on the half
    for main's form and the setting alike) and their mean; the held
    conditions' EERs and FARs and the clean FRR."""
    out = []
    for name, sel in halves:
        caps = match_caps(sel)
        tb, b = match_setting(sel, caps, MATCH_MAIN)
        tv, h = match_setting(sel, caps, setting)
        print('  half %s: caps white10 %d speech20 %d, T_u %.4f -> %.4f (limits %s); main %s; setting %s' % (
            name, caps['white10'], caps['speech20'], tb, tv,
            ' '.join('%s %.4f' % kv for kv in match_limits(sel, match_cuts(sel, setting), caps).items()),
            ' '.join('%s %.2f/%.2f/%.2f' % (c, b[c]['eer'], b[c]['far'], b[c]['frr']) for c in NOISY_CONDITIONS),
            ' '.join('%s %.2f/%.2f/%.2f' % (c, h[c]['eer'], h[c]['far'], h[c]['frr']) for c in NOISY_CONDITIONS)))
        out += half_noisy_eer_checks(name, b, h)
        mb = sum(b[c]['eer'] for c in NOISY_CONDITIONS) / 3.0
        mh = sum(h[c]['eer'] for c in NOISY_CONDITIONS) / 3.0
        out.append(('half %s mean noisy EER lower' % name, mb, mh, mh < mb - 1e-9))
    out += condition_checks(base, v, HELD_CHECKED)
    out += frr_not_higher_checks(base, v, ('clean',))
    print_checks(out, 44)
    return all(ok for _, _, _, ok in out)


def match_recomputation(rows):
    """Main's dumped thresholds of the noisy path against the present
    constants, the noise figure's term among them; the trials the trial
    build scored differently, by path."""
    worst, off = 0.0, 0
    for r in rows:
        if not r['noisy'] or r['s'] == math.inf:
            continue
        d = abs(REPORT.threshold(r, MATCH_T_MAIN, 0.015, 60.0) - r['t'])   # the give-back in it if main has one
        worst = max(worst, d)
        off += d > 5e-4
    print('noisy path: thresholds recomputed with the present constants within 5e-4 of the dumped ones but %d '
          '(largest difference %.6f); trials with a noise figure\'s term %d (from %.4f to %.4f)' % (
              off, worst, sum(1 for r in rows if r['noisy'] and r['allow'] != 0.0),
              min(r['allow'] for r in rows if r['noisy']), max(r['allow'] for r in rows if r['noisy'])))
    moved = [r for r in rows if r['s_match'] != r['s']]
    print('trials the trial build scored differently: %d on the noisy path, %d off it; thresholds differing %d' % (
        sum(1 for r in moved if r['noisy']), sum(1 for r in moved if not r['noisy']),
        sum(1 for r in rows if abs(r['t_match'] - r['t']) > 1e-9)))
    print('noisy path trials (genuine / impostor / replays) and of them at least %.0f dB under min(snrEnrol, 60): %s'
          % (MATCH_GATE_DB, ', '.join('%s %s, %s' % (
              c, '/'.join(str(sum(1 for r in rows if r['condition'] == c and r['noisy'] and r['kind'] == k))
                          for k in 'gir'),
              '/'.join(str(sum(1 for r in rows if r['condition'] == c and r['noisy'] and r['room'] and r['kind'] == k))
                       for k in 'gir')) for c in ALL_CONDITIONS + ('replay',))))


def noise_match_grid(rows):
    halves = [(name, [r for r in rows if r['model_speaker'] in half and r['test_speaker'] in half])
              for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B))]
    match_recomputation(rows)
    dumped_m = [r['s'] - r['t'] for r in rows]
    print('genuine and impostor decisions from the dumped scores and thresholds differing from the dumped ones: %d'
          % dumped_decisions_differing(rows, dumped_m))
    caps = match_caps(rows)
    print('white10 / speech20 impostors accepted by main: %d / %d' % (caps['white10'], caps['speech20']))
    base = noisy_distance_figures(rows, dumped_m)
    _, own = match_setting(rows, caps, MATCH_MAIN, MATCH_T_MAIN)
    print_main_recomputed(base, own, 18)
    t_own, v_own = match_setting(rows, caps, MATCH_MAIN)
    print('main refitted:    ' + match_text(MATCH_MAIN, t_own, v_own))
    print('main:             ' + match_text(MATCH_MAIN, MATCH_T_MAIN, base))
    print('slack: ' + ', '.join('%s EER %.2f (FAR: %d impostor trials + 1)' % (c, slack(base[c], 'gi'), base[c]['fa'])
                                for c in NOISY_CONDITIONS))
    results = []
    for setting in MATCH_SETTINGS:
        t_u, v = match_setting(rows, caps, setting)
        results.append((setting, t_u, v))
        why = match_clears(v, base)
        print(match_text(setting, t_u, v) + (' | clears' if not why else ' | fails: ' + '; '.join(why)))
        print('    T_u limits: ' + ' '.join('%s %.4f' % kv for kv in
                                        match_limits(rows, match_cuts(rows, setting), caps).items()))
        print('    all: ' + figures_line(v))
    for setting, t_u, v in sorted(results, key=lambda x: match_rank(x[0], x[2])):
        print('halves and held conditions of %s %s (whether or not it clears):' % setting)
        passed = match_checks(rows, halves, base, setting, v)
        if not match_clears(v, base) and passed:
            print('chosen: ' + match_text(setting, t_u, v))
            return
    print('chosen: none clears and passes every check; nothing ships')



# The matched takes held to a threshold of their own (fifty-seventh round),
# from the same dumps as the fifty-sixth: a trial is matched when it is on
# the noisy path, under G2's gate and at most K dB itself; it takes the
# trial build's score and a threshold T_m + s_m x max(0, 60 - snr) + the
# enrolment and security terms as main has them, the noise figure's term
# kept (N1) or dropped (N0). Every other trial keeps its dumped score and
# threshold, the noisy path's unmatched ones main's base among them. T_m
# is refitted within the clean FAR's 1 % and a cap for each noisy
# condition: main's accepted impostors or 1.5 % of its impostor trials,
# whichever is more.
OWN_BOUNDS = (30.0, 34.0, 40.0)
OWN_SLOPES = (0.0, 0.005, 0.01, 0.015, 0.02, 0.025, 0.03)
OWN_TERMS = ('N0', 'N1')
MAIN_SLOPE = 0.015   # per dB under SNR_KNEE, main's noisy-path slope
SNR_KNEE = 60.0
OWN_CAP_SHARE = 0.015
# Each noisy condition's cap as a share of its impostor trials alone, main's
# accepted count not counted (eighty-third round: a noisy take may spend no
# more than the clean side's own FAR target). None: OWN_CAP_SHARE's rule.
OWN_CAP_ONLY_SHARE = None
OWN_MAIN = None      # the setting "main": no matched trial, one base for the path
OWN_FRR_CHECKED = ('clean', 'soft12', 'reverb')
OWN_SHOWN = 4      # the best rows whose checks are shown when none clears
OWN_GATES = ('G1', 'G2')
# G2 leaves a model whose enrolment is too noisy for any take to lie 10 dB
# under it unmatched at main's base; G1 matches its trials with the rest.
OWN_GATE = 'G2'
# The take's noise over the model's own (the trial dump's noise_excess,
# dB): a take at its enrolment's own noise stays unmatched however low its
# snr. None: no such gate; otherwise the X0 values of the grid.
OWN_EXCESS = None


# Main's dumps may carry the sixty-third round's give-back (a take under X0
# dB of excess gets back c of the path's loosening below the model's
# level) at a base of their own: --main-level C,X0,T_U. Main's thresholds
# are then recomputed with it, and an unmatched trial keeps it in its
# dumped threshold; a matched trial's threshold is rebuilt from its dumped
# one, which must carry none.
OWN_HOLD_UNTOUCHED = False
# The halves' corpus split recorded beside every checked setting, not only
# beside those with a matched move term (which always record it).
OWN_BY_CORPUS = False

# The model's own move under the matching (sixty-sixth round): training
# scores each enrolment take's noisy copy, and each take and copy moved as
# the four near voices say them, with the templates and voices given the
# copy's noise, as a matched take is scored. The enrolment log's "matched
# copy parts" give per model and group (the takes, then each moved voice)
# the count of takes and the sums of the matched copy's score, the take's
# (unmatched, the unweighted path's fusion), the unmatched copy's, the dB
# under the knee and under the enrolment (the threshold's two snr terms)
# of copy and take, and the two snr. e_m = the takes' mean of matched copy
# less take, less the matched threshold's own move between the two snr at
# slope s_m (and the enrolment term's 0.0025 a dB); i_m the same over every
# moved take. N2: the matched threshold without the noise figure's term,
# plus a x (min(e_m, i_m) - M), M the tuning models' mean of min(e_m, i_m)
# at that s_m, fixed before the grid (MOVE_TYPICAL); a model without the
# parts gets no such term.
#
# N3 (sixty-seventh round) reads the same parts for another figure, D: the
# takes' mean of the matched copy's score less the unmatched copy's, the
# matching's own move on the model's copies, which follows the model's
# genuine move under the matching within each corpus as min(e_m, i_m) does
# not. Both scores are the same copy's at the same snr, so no threshold
# move is taken off and D is one figure at every s_m. N3: the matched
# threshold without the noise figure's term, plus a x (D - M_D), M_D the
# tuning models' mean of D, fixed before the grid (MOVE_TYPICAL_COPY).
#
# N4 (sixty-eighth round) takes the same move at the take's own noise, not
# the copies': the trial build gives each template the take's noise as the
# matching does and scores it as a matched take less as an unmatched one,
# the mean over the templates (the trial dump's take_move, one figure per
# take). N4: the matched threshold without the noise figure's term, plus
# a x (D_t - M_t), M_t fixed before the grid (MOVE_TYPICAL_TAKE); a matched
# trial without a take_move gets no such term.
MOVE_GROUPS = 5
FSDD_SPEAKERS = {'george', 'jackson', 'nicolas', 'theo'}
MOVE_FIELDS = 9
MOVE_ENROL_SLOPE = 0.0025
MOVE_SHARES = (0.5, 1.0, 1.5)
# M at each s_m of the grid, from the trial build's tuning models (105),
# fixed before any figure of the grid; the log's own mean is printed beside.
MOVE_TYPICAL = {0.01: -0.1072, 0.02: -0.3469, 0.03: -0.5866}
# M_D from the same 105 tuning models, fixed before any figure of N3's grid.
MOVE_TYPICAL_COPY = -1.1367
# M_t: the tuning genuine trials' mean of D_t, the white20, speech20 and
# white10 takes on the noisy path that carry one, fixed before N4's grid.
MOVE_TYPICAL_TAKE = -1.4655
#
# N5 (seventy-third round) keeps the move per model but measures it at the
# noise a take brings: at training the trial build gives the templates their
# own noise (what noise_excess counts from) raised by x dB in every channel,
# for a few x, and takes N4's move there (the enrolment log's "matched move
# curve": pairs of x and the move). A model enrolled in noise is thus
# measured at noise beyond its own, as its noisy takes bring it. D_c of a
# trial: the model's curve read at the trial's noise_excess, linearly
# between the points and held at the end points. N5: the matched threshold
# without the noise figure's term, plus a x (D_c - M_c), M_c fixed before
# the grid (MOVE_TYPICAL_CURVE); a model without a curve gets no such term.
MOVE_TERMS = ('N2', 'N3', 'N4', 'N5')
MATCHED_MOVES = {}   # (model speaker, word) -> {'ms': training ms, 'groups': [(count, sums)]}
MATCHED_CURVES = {}   # (model speaker, word) -> [(excess dB, move)], the excesses rising
# M_c: the tuning genuine white20, speech20 and white10 trials' mean of D_c
# (the noisy-path takes), fixed before N5's grid.
MOVE_TYPICAL_CURVE = -0.5237


def read_matched_moves(log):
    out = {}
    for line in open(log):
        if not line.startswith('matched copy parts: '):
            continue
        f = line.split()
        v = [float(x) for x in f[6:]]
        if len(v) != MOVE_GROUPS * (1 + MOVE_FIELDS):
            raise SystemExit('a matched copy parts line of %d values: %s' % (len(v), line.strip()))
        step = 1 + MOVE_FIELDS
        out[(f[3], f[4])] = {'ms': float(f[5]),
                             'groups': [(int(v[g * step]), v[g * step + 1:(g + 1) * step]) for g in range(MOVE_GROUPS)]}
    return out


def group_move_sum(sums, slope):
    """A group's summed matched copy score less take score, less the
    matched threshold's own move between the copies' snr and the takes'."""
    copy, take, _, copy_knee, take_knee, copy_under, take_under = sums[:7]
    return copy - take - slope * (copy_knee - take_knee) - MOVE_ENROL_SLOPE * (copy_under - take_under)


def matched_move(parts, slope):
    """(e_m, i_m) of a model's parts at slope s_m, None when it has none."""
    if parts is None:
        return None
    n, sums = parts['groups'][0]
    moved = parts['groups'][1:]
    n_moved = sum(k for k, _ in moved)
    if n == 0 or n_moved == 0:
        return None
    return (group_move_sum(sums, slope) / n, sum(group_move_sum(s, slope) for k, s in moved if k) / n_moved)


def matched_copy_move(parts):
    """D of a model's parts: its takes' mean of matched copy less unmatched
    copy, None when it has none."""
    if parts is None:
        return None
    n, sums = parts['groups'][0]
    return (sums[0] - sums[2]) / n if n else None


def read_matched_curves(log):
    out = {}
    for line in open(log):
        if not line.startswith('matched move curve: '):
            continue
        f = line.split()
        v = [float(x) for x in f[5:]]
        if not v or len(v) % 2:
            raise SystemExit('a matched move curve line of %d values: %s' % (len(v), line.strip()))
        points = list(zip(v[0::2], v[1::2]))
        if any(b[0] <= a[0] for a, b in zip(points, points[1:])):
            raise SystemExit('a matched move curve whose excesses do not rise: %s' % line.strip())
        out[(f[3], f[4])] = points
    return out


def curve_at(points, excess):
    """A curve's move at `excess` dB: linear between its points, held at
    its end points."""
    if excess <= points[0][0]:
        return points[0][1]
    for (x0, y0), (x1, y1) in zip(points, points[1:]):
        if excess <= x1:
            return y0 + (y1 - y0) * (excess - x0) / (x1 - x0)
    return points[-1][1]


def curve_move(r):
    """D_c of a trial (its model's curve at its noise_excess), None when
    the model has no curve or the trial no excess."""
    points = MATCHED_CURVES.get((r['model_speaker'], r['word']))
    x = r.get('excess', math.nan)
    return None if points is None or math.isnan(x) else curve_at(points, x)


def take_move(r):
    """D_t of a trial (its trial dump's take_move), None when it has none."""
    x = r.get('take_move', math.nan)
    return None if math.isnan(x) or x == 0.0 else x


def matched_move_figure(r, slope, term='N2'):
    if term == 'N4':
        return take_move(r)
    if term == 'N5':
        return curve_move(r)
    parts = MATCHED_MOVES.get((r['model_speaker'], r['word']))
    if term == 'N3':
        return matched_copy_move(parts)
    move = matched_move(parts, slope)
    return None if move is None else min(move)


def move_typical(slope, term):
    if term == 'N4':
        return MOVE_TYPICAL_TAKE
    if term == 'N5':
        return MOVE_TYPICAL_CURVE
    return MOVE_TYPICAL_COPY if term == 'N3' else MOVE_TYPICAL[slope]


def set_take_moves(shares, rows):
    """Fixes a's values for N4; prints M_t beside the dumps' own mean and
    how many noisy-path trials carry a D_t."""
    global MOVE_SHARES
    MOVE_SHARES = shares
    if MOVE_TYPICAL_TAKE is None:
        raise SystemExit('N4 needs M_t fixed (MOVE_TYPICAL_TAKE)')
    noisy = [r for r in rows if r['noisy']]
    carry = [r for r in noisy if take_move(r) is not None]
    genuine = [take_move(r) for r in carry if r['kind'] == 'g' and r['condition'] in NOISY_CONDITIONS]
    print('take moves: %d of the %d noisy-path trials carry a D_t, %d off the path' % (
        len(carry), len(noisy), sum(1 for r in rows if not r['noisy'] and take_move(r) is not None)))
    print('  N4: M_t fixed %.4f, the genuine white20, speech20, white10 trials\' mean of D_t %.4f (%d trials)' % (
        MOVE_TYPICAL_TAKE, sum(genuine) / len(genuine), len(genuine)))


def set_curve_moves(log, shares, rows):
    """Reads the curves, fixes a's values for N5; prints M_c beside the
    dumps' own mean and the tuning models the log lacks."""
    global MOVE_SHARES
    MATCHED_CURVES.update(read_matched_curves(log))
    MOVE_SHARES = shares
    if MOVE_TYPICAL_CURVE is None:
        raise SystemExit('N5 needs M_c fixed (MOVE_TYPICAL_CURVE)')
    models = sorted({(r['model_speaker'], r['word']) for r in rows})
    lacking = [m for m in models if m not in MATCHED_CURVES]
    print('matched move curves: %d models in the log, %d models in the dumps, %d of them without one%s' % (
        len(MATCHED_CURVES), len(models), len(lacking), (': ' + ' '.join('/'.join(m) for m in lacking)) if lacking
        else ''))
    genuine = [curve_move(r) for r in rows
               if r['noisy'] and r['kind'] == 'g' and r['condition'] in NOISY_CONDITIONS and r['s_match'] != math.inf]
    genuine = [x for x in genuine if x is not None]
    print('  N5: M_c fixed %.4f, the genuine white20, speech20, white10 trials\' mean of D_c %.4f (%d trials)' % (
        MOVE_TYPICAL_CURVE, sum(genuine) / len(genuine), len(genuine)))


def set_matched_moves(log, shares, rows, slopes, term='N2'):
    """Reads the parts, fixes a's values; prints M (M_D) as the log gives
    it beside the fixed one, and the tuning models the log lacks."""
    global MOVE_SHARES
    MATCHED_MOVES.update(read_matched_moves(log))
    MOVE_SHARES = shares
    models = sorted({(r['model_speaker'], r['word']) for r in rows})
    lacking = [m for m in models if matched_move_figure({'model_speaker': m[0], 'word': m[1]}, 0.0, term) is None]
    print('matched moves: %d models in the log, %d models in the dumps, %d of them without one%s' % (
        len(MATCHED_MOVES), len(models), len(lacking), (': ' + ' '.join('/'.join(m) for m in lacking)) if lacking
        else ''))
    if term == 'N3':
        figs = [matched_copy_move(MATCHED_MOVES.get(m)) for m in models]
        figs = [x for x in figs if x is not None]
        print('  N3: M_D fixed %.4f, the tuning models\' mean of D %.4f (%d models)' % (
            MOVE_TYPICAL_COPY, sum(figs) / len(figs), len(figs)))
        return
    for slope in slopes:
        figs = [matched_move_figure({'model_speaker': m[0], 'word': m[1]}, slope) for m in models]
        figs = [x for x in figs if x is not None]
        mean = sum(figs) / len(figs)
        if slope not in MOVE_TYPICAL:
            raise SystemExit('no fixed M for s_m %g' % slope)
        print('  s_m %.3f: M fixed %.4f, the tuning models\' mean of min(e_m, i_m) %.4f (%d models)' % (
            slope, MOVE_TYPICAL[slope], mean, len(figs)))


def matched_move_term(r, setting):
    """N2's term of a matched trial, a x (min(e_m, i_m) - M), N3's,
    a x (D - M_D), N4's, a x (D_t - M_t), or N5's, a x (D_c - M_c)."""
    slope, term, share = setting[1], setting[2], setting[4]
    figure = matched_move_figure(r, slope, term)
    return 0.0 if figure is None else share * (figure - move_typical(slope, term))


def own_corpus_text(rows, setting, base):
    """Recorded, not a check: the setting's noisy EERs against main's on
    each half's trials of one corpus (model and test speaker both of it),
    at the pooled base."""
    c = own_cuts(rows, setting)
    on = own_on_path(setting)
    m = [x - base if on(r) else x for r, x in zip(rows, c)]
    main = [r['s'] - r['t'] for r in rows]
    out = []
    for name, half in (('A fsdd', GW.HALF_A & FSDD_SPEAKERS), ('A arabicsc', GW.HALF_A - FSDD_SPEAKERS),
                       ('B', GW.HALF_B)):
        keep = [j for j, r in enumerate(rows) if r['model_speaker'] in half and r['test_speaker'] in half]
        sel = [rows[j] for j in keep]
        b = noisy_distance_figures(sel, [main[j] for j in keep])
        v = noisy_distance_figures(sel, [m[j] for j in keep])
        out.append('%s %s' % (name, ' '.join('%s %.2f -> %.2f' % (k, b[k]['eer'], v[k]['eer'])
                                               for k in NOISY_CONDITIONS)))
    return 'by corpus (EERs, main -> setting): ' + '; '.join(out)


def set_main_level(text):
    """Main's dumps made with the give-back (c, X0) and the unweighted base
    T_U: the recomputation and every move of the path's base count from
    there."""
    global MATCH_T_MAIN
    share, excess, base = (float(x) for x in text.split(','))
    REPORT.LEVEL.update(share=share, excess=excess)
    MATCH_T_MAIN = base
    print('main: the unweighted base %.4f, the give-back %.2f under %g dB of noise_excess' % (base, share, excess))


def excess_from_main(rows):
    """The gate reads main's own noise_excess column; the trial build's must
    agree with it within 1e-3 dB on every trial, every trial in both."""
    worst = 0.0
    for r in rows:
        main, trial = r.get('noise_excess', ''), r['excess']
        if main == '' or math.isnan(trial):
            raise SystemExit('trial %s lacks a noise_excess in %s' % (
                '/'.join(r['key']), 'main\'s dumps' if main == '' else 'the trial dumps'))
        worst = max(worst, abs(float(main) - trial))
        r['excess'] = float(main)
    print('noise_excess: main\'s column against the trial build\'s, every one of the %d trials in both, largest '
          'difference %.6f dB' % (len(rows), worst))
    if worst > 1e-3:
        raise SystemExit('the two noise_excess columns differ by more than 1e-3 dB')


def matched_give_back_check(rows, settings):
    """No trial any setting matches may carry the give-back: its excess is
    at least 1.5 dB, and its dumped threshold is its recomputation without
    the give-back."""
    hit = [r for r in rows if any(own_matched(r, s) for s in settings)]
    if REPORT.LEVEL['share'] == 0.0:
        return
    under = sum(1 for r in hit if r['excess'] < REPORT.LEVEL['excess'])
    level = dict(REPORT.LEVEL)
    REPORT.LEVEL.update(share=0.0)
    off = sum(1 for r in hit if r['s'] != math.inf and
              abs(REPORT.threshold(r, MATCH_T_MAIN, MAIN_SLOPE, SNR_KNEE) - r['t']) > 5e-4)
    REPORT.LEVEL.update(level)
    print('trials matched by any setting: %d; reading under %g dB of excess: %d; dumped threshold off its '
          'recomputation without the give-back by more than 5e-4: %d' % (len(hit), level['excess'], under, off))


def own_matched(r, setting):
    """setting: (K, s_m, term), with the excess gate (K, s_m, term, X0)."""
    return (setting is not OWN_MAIN and r['noisy'] and (OWN_GATE == 'G1' or r['room'])
            and r['snr_db'] <= setting[0] and (len(setting) < 4 or r['excess'] >= setting[3]))


def own_on_path(setting):
    """The trials whose base the refit moves: the matched ones (main: the
    whole noisy path)."""
    if setting is OWN_MAIN:
        return lambda r: r['noisy']
    return lambda r: own_matched(r, setting)


# The matched threshold's level term (seventy-seventh round): None, or
# (L0, b) lowering a matched trial's threshold by b x max(0, L - L0).
OWN_LEVEL = None


def matched_level_term(r):
    """How much stricter a matched trial is held for its noise lying
    close under its word (L = -snr_db, dB)."""
    if OWN_LEVEL is None:
        return 0.0
    knee, slope = OWN_LEVEL
    return slope * max(0.0, -r['snr_db'] - knee)


def use_matched_level(level):
    global OWN_LEVEL
    OWN_LEVEL = level


def matched_level_name(level):
    return '' if level is None else 'L0 %g b %.2f ' % level


def matched_level_rank(level):
    return (0.0, 0.0) if level is None else (level[1], -level[0])


# The unmatched noisy-path threshold's shift (seventy-eighth round): None,
# or d, holding a take the gate reaches by its snr but leaves unmatched for
# bringing too little noise over its model's own d stricter. Such a take
# keeps main's score and threshold, so without it a model that holds its
# room's noise is judged on main's scale beside the matched ones.
OWN_UNMATCHED_SHIFT = None
# The shift's gate on how the take was recorded (eighty-first round): None,
# or G, shifting only a take whose noise shape against its model's
# enrolment noise (enrol_noise_shape) lies over G dB; a take read as
# recorded the way its model's enrolment was keeps main's threshold.
OWN_SHIFT_SHAPE_GATE = None
# Whether a shifted setting's base is held at its unshifted refit (the
# shifted trials counted at their unshifted margins; seventy-ninth round).
OWN_HOLD_UNSHIFTED_BASE = False


def unmatched_shift_term(r, setting):
    """How much stricter a noisy-path take under the gate's K, but under
    its X0, is held (0 for a matched take and off the noisy path)."""
    if OWN_UNMATCHED_SHIFT is None or setting is OWN_MAIN or not r['noisy'] or r['snr_db'] > setting[0]:
        return 0.0
    if OWN_SHIFT_SHAPE_GATE is not None and not r['enrol_noise_shape'] > OWN_SHIFT_SHAPE_GATE:
        return 0.0
    return OWN_UNMATCHED_SHIFT


def use_unmatched_shift(shift):
    """shift: None, d, or (d, G) with the shape gate G."""
    global OWN_UNMATCHED_SHIFT, OWN_SHIFT_SHAPE_GATE
    OWN_UNMATCHED_SHIFT, OWN_SHIFT_SHAPE_GATE = shift if isinstance(shift, tuple) else (shift, None)


def unmatched_shift_name(shift):
    if isinstance(shift, tuple):
        return 'd %.2f G %.3f ' % shift
    return '' if shift is None else 'd %.2f ' % shift


def unmatched_shift_rank(shift):
    """The smaller d first, then the larger shape gate."""
    if isinstance(shift, tuple):
        return (shift[0], -shift[1])
    return (shift or 0.0, 0.0)


MATCHED_THRESHOLD_SLACK = 5e-4


def own_engine_check(rows, setting, base, dumps, trial_dumps, built_dumps):
    """The engine built with one excess-gated setting (K, s_m, term, X0),
    the unmatched shift as OWN_UNMATCHED_SHIFT holds it and the base T_M,
    against the offline setting, trial by trial; then the build's own
    figures."""
    main, trial, built = raw_rows(dumps), raw_rows(trial_dumps), raw_rows(built_dumps)
    bound, slope, term = setting[:3]
    differ = {'missing': 0, 'hold': 0, 'score': 0, 'threshold': 0, 'decision': 0, 'enrol_noise_shape': 0}
    reached = {1: 0, 2: 0}
    worst = {1: 0.0, 2: 0.0}
    column_worst = {}
    compared = 0
    margins = []
    for r in rows:
        new = built.get(r['key'])
        if new is None:
            differ['missing'] += 1
            margins.append(math.inf)
            continue
        matched = own_matched(r, setting)
        shifted = not matched and unmatched_shift_term(r, setting) != 0.0
        hold = 1 if matched else 2 if shifted else 0
        if hold:
            reached[hold] += 1
        if int(float(new['noise_hold'])) != hold:
            differ['hold'] += 1
            print('  hold differs: %s engine %s, offline %d' % (r['key'], new['noise_hold'], hold))
        old_trial = trial[r['key']]
        if abs(float(new['enrol_noise_shape']) - float(old_trial['enrol_noise_shape'])) > 1e-4:
            differ['enrol_noise_shape'] += 1
        # The columns the build must reproduce: a matched trial's the trial
        # build's (it scored every noisy-path take so), any other main's.
        reference = old_trial if matched else main[r['key']]
        skip = TIMED + ('threshold', 'accept') + (('score',) if hold else ())
        for k, v in reference.items():
            if k in skip or k not in main[r['key']] or new.get(k) == v:
                continue
            try:
                gap = abs(float(new[k]) - float(v))
            except (TypeError, ValueError):
                gap = math.inf
            column_worst[k] = max(column_worst.get(k, (0.0, 0))[0], gap), column_worst.get(k, (0.0, 0))[1] + 1
        e_s = float(new['score'])
        e_s = math.inf if e_s >= REPORT.REFUSED else e_s
        e_t = float(new['threshold'])
        if matched:
            s = r['s_match']
            knee = max(0.0, SNR_KNEE - r['snr_db'])
            t = r['t'] - MATCH_T_MAIN + (slope - MAIN_SLOPE) * knee - (r['allow'] if term != 'N1' else 0.0) + base
        else:
            s = r['s']
            t = r['t'] - unmatched_shift_term(r, setting)
        if hold and s != math.inf:
            compared += 1
            if score_differs(s, e_s):
                differ['score'] += 1
                print('  score differs: %s engine %.5f, offline %.5f' % (r['key'], e_s, s))
            # A matched threshold drops the noise figure's term, which the
            # offline side rebuilds from rounded dump columns (main's own
            # recomputation comes within MATCHED_THRESHOLD_SLACK of its
            # dumped thresholds); a shifted one moves the dumped one alone.
            worst[hold] = max(worst[hold], abs(t - e_t))
            if abs(t - e_t) > (MATCHED_THRESHOLD_SLACK if matched else 1.5e-5):
                differ['threshold'] += 1
                print('  threshold differs: %s engine %.5f, offline %.5f' % (r['key'], e_t, t))
        accept = new['accept'] == '1'
        offline = s <= t and not r['flag'] if hold else r['accept'] == '1'
        if r['kind'] in 'gi' and offline != accept:
            differ['decision'] += 1
            print('  decision differs: %s engine score %.5f limit %.5f accept %d, offline %d' % (
                r['key'], e_s, e_t, accept, offline))
        margins.append(e_s - e_t)
    print('engine check (%s d %.2f G %s T_m %.4f): %d trials, %d matched and %d shifted offline (%d scored compared); '
          'differing: %s' % (own_name(setting), OWN_UNMATCHED_SHIFT or 0.0, OWN_SHIFT_SHAPE_GATE, base, len(rows),
                             reached[1], reached[2], compared, ', '.join('%s %d' % kv for kv in differ.items())))
    print('largest |engine - offline| threshold: matched %.6f, shifted %.6f' % (worst[1], worst[2]))
    print('columns differing from the reference (trials, largest difference): %s' % (
        ', '.join('%s %d %.6f' % (k, n, w) for k, (w, n) in sorted(column_worst.items())) or 'none'))
    for cond in ALL_CONDITIONS:
        print('  reached in %s (genuine / impostor / replays): matched %s, shifted %s' % (cond, *(
            '/'.join(str(sum(1 for r in rows if r['condition'] == cond and r['kind'] == k and
                             int(float(built.get(r['key'], {}).get('noise_hold', 0))) == h)) for k in 'gir')
            for h in (1, 2))))
    v = noisy_distance_figures(rows, margins)
    print('the build\'s figures: %s | mean EER %.2f FRR %.2f' % (figures_line(v), noisy_mean(v, 'eer'),
                                                               noisy_mean(v, 'frr')))
    speaker = noisiest_speaker(rows)
    own = [(r, x) for r, x in zip(rows, margins) if r['model_speaker'] == speaker]
    acc = lambda r, x: x <= 0.0 and not r['flag']
    count = lambda cond, kind, want: '%d of %d' % (
        sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind and acc(r, x) == want),
        sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind))
    print('the build\'s %s\'s models: impostors accepted white20 %s, speech20 %s; genuine refused clean %s, reverb %s, '
          'soft12 %s' % (speaker, count('white20', 'i', True), count('speech20', 'i', True), count('clean', 'g', False),
                         count('reverb', 'g', False), count('soft12', 'g', False)))


def held_base(rows, caps, setting):
    """The base a setting is held at (None: refitted): with
    OWN_HOLD_UNSHIFTED_BASE, the same setting's refit without the shift."""
    if not OWN_HOLD_UNSHIFTED_BASE or OWN_UNMATCHED_SHIFT is None or setting is OWN_MAIN:
        return None
    kept = (OWN_UNMATCHED_SHIFT, OWN_SHIFT_SHAPE_GATE)
    use_unmatched_shift(None)
    base = own_setting(rows, caps, setting)[0]
    use_unmatched_shift(kept)
    return base


def own_cuts(rows, setting):
    """Each trial's score less its threshold but the moved base (a trial
    the base does not move: its final margin)."""
    out = []
    for r in rows:
        if setting is OWN_MAIN and r['noisy']:
            out.append(r['s'] - (r['t'] - MATCH_T_MAIN))
        elif own_matched(r, setting):
            bound, slope, term = setting[:3]
            knee = max(0.0, SNR_KNEE - r['snr_db'])
            part = r['t'] - MATCH_T_MAIN + (slope - MAIN_SLOPE) * knee - (r['allow'] if term != 'N1' else 0.0)
            if term in MOVE_TERMS:
                part += matched_move_term(r, setting)
            part -= matched_level_term(r)
            out.append(r['s_match'] - part)
        else:
            out.append(r['s'] - r['t'] + unmatched_shift_term(r, setting))
    return out


def own_caps(rows):
    """Each noisy condition's cap: main's accepted impostors at its base or
    OWN_CAP_SHARE of the condition's impostor trials, whichever is more."""
    if OWN_CAP_ONLY_SHARE is not None:
        return {c: int(math.floor(OWN_CAP_ONLY_SHARE * sum(1 for r in rows if r['condition'] == c and r['kind'] == 'i')))
                for c in NOISY_CONDITIONS}
    m = [r['s'] - r['t'] for r in rows]
    return {c: max(accepted_impostors(rows, m, c),
                   int(math.floor(OWN_CAP_SHARE * sum(1 for r in rows if r['condition'] == c and r['kind'] == 'i'))))
            for c in NOISY_CONDITIONS}


def own_setting(rows, caps, setting, base=None):
    """The moved base (None: refitted) and the figures of a setting."""
    c = own_cuts(rows, setting)
    on = own_on_path(setting)
    if base is None:
        base = refit_base(rows, c, caps, on, lambda r, x: x)
    return base, noisy_distance_figures(rows, [x - base if on(r) else x for r, x in zip(rows, c)])


def own_name(setting):
    if setting is OWN_MAIN:
        return 'main'
    return 'K %2.0f s_m %.3f %s' % setting[:3] + (' X0 %2.0f' % setting[3] if len(setting) > 3 else '') + (
        ' a %.2f' % setting[4] if len(setting) > 4 else '')


def noisy_mean(v, side):
    return sum(v[c][side] for c in NOISY_CONDITIONS) / 3.0


def genuine_slack(v):
    return max([FIT.SLACK] + [one_trial(v[c]['g']) for c in NOISY_CONDITIONS])


def own_text(setting, base, v):
    return '%-20s T %.4f | %s | mean EER %.2f FRR %.2f | %s | clean FRR %.2f soft12 FRR %.2f reverb FRR %.2f' % (
        own_name(setting), base,
        ' '.join('%s %.2f/%.2f/%.2f (%d)' % (c, v[c]['eer'], v[c]['far'], v[c]['frr'], v[c]['fa'])
                 for c in NOISY_CONDITIONS),
        noisy_mean(v, 'eer'), noisy_mean(v, 'frr'),
        ' '.join('%s %.2f/%.2f' % (c, v[c]['eer'], v[c]['far']) for c in HELD_CHECKED),
        v['clean']['frr'], v['soft12']['frr'], v['reverb']['frr'])


def own_clears(v, main, refit):
    """Item 4's failing parts: each noisy EER lower than main's by more
    than its slack, the mean noisy FRR lower than main refit's by more
    than the slack, the clean FAR up by one impostor trial at most."""
    why = []
    for c in NOISY_CONDITIONS:
        if not v[c]['eer'] < main[c]['eer'] - slack(main[c], 'gi') - 1e-9:
            why.append('%s EER %.2f (main %.2f, slack %.2f)' % (c, v[c]['eer'], main[c]['eer'], slack(main[c], 'gi')))
    s = genuine_slack(refit)
    if not noisy_mean(v, 'frr') < noisy_mean(refit, 'frr') - s - 1e-9:
        why.append('mean FRR %.2f (main refit %.2f, slack %.2f)' % (noisy_mean(v, 'frr'), noisy_mean(refit, 'frr'), s))
    if v['clean']['fa'] > main['clean']['fa'] + 1:
        why.append('clean FAR %d of %d (main %d)' % (v['clean']['fa'], v['clean']['i'], main['clean']['fa']))
    return why


def own_rank(setting, v):
    bound, slope, term = setting[:3]
    return (round(noisy_mean(v, 'frr'), 6), round(noisy_mean(v, 'eer'), 6), OWN_TERMS.index(term), -bound,
            abs(slope - MAIN_SLOPE), slope, -(setting[3] if len(setting) > 3 else 0.0),
            abs(setting[4] - 1.0) if len(setting) > 4 else 0.0)


def own_half_checks(name, sel, setting):
    """A half's checks, T_m and main's base refitted on the half's own
    trials with its own caps."""
    caps = own_caps(sel)
    _, main = own_setting(sel, caps, OWN_MAIN, MATCH_T_MAIN)
    tr, refit = own_setting(sel, caps, OWN_MAIN)
    tv, v = own_setting(sel, caps, setting, held_base(sel, caps, setting))
    print('  half %s: caps %s; main     %s' % (name, ' '.join('%s %d' % kv for kv in caps.items()),
                                              own_text(OWN_MAIN, MATCH_T_MAIN, main)))
    print('  half %s: main refit %s' % (name, own_text(OWN_MAIN, tr, refit)))
    print('  half %s: setting    %s' % (name, own_text(setting, tv, v)))
    moved = sum(1 for r in sel if own_matched(r, setting))
    if OWN_HOLD_UNTOUCHED:
        print('  half %s: trials the setting matches: %d of %d' % (name, moved, len(sel)))
    if OWN_HOLD_UNTOUCHED and moved == 0:
        return own_held_half_checks(name, main, v)
    out = []
    out += half_noisy_eer_checks(name, main, v)
    out.append(('half %s mean noisy EER lower' % name, noisy_mean(main, 'eer'), noisy_mean(v, 'eer'),
                noisy_mean(v, 'eer') < noisy_mean(main, 'eer') - 1e-9))
    s = genuine_slack(refit)
    out.append(('half %s mean noisy FRR lower than refit (slack %.2f)' % (name, s), noisy_mean(refit, 'frr'),
                noisy_mean(v, 'frr'), noisy_mean(v, 'frr') < noisy_mean(refit, 'frr') - s - 1e-9))
    return out


def own_held_half_checks(name, main, v):
    """A half in which the setting matches no trial: its three noisy EERs,
    their mean and its mean noisy FRR each not higher than main's (nothing
    of the half moved, so it can be held, never bettered)."""
    out = [('half %s %s EER not higher (untouched)' % (name, c), main[c]['eer'], v[c]['eer'],
            v[c]['eer'] <= main[c]['eer'] + 1e-9) for c in NOISY_CONDITIONS]
    for side in ('eer', 'frr'):
        out.append(('half %s mean noisy %s not higher (untouched)' % (name, side.upper()), noisy_mean(main, side),
                    noisy_mean(v, side), noisy_mean(v, side) <= noisy_mean(main, side) + 1e-9))
    return out


def own_speaker_text(rows, setting, base, speaker):
    """A speaker's models at a setting: white20 and speech20 impostors
    accepted, clean, reverberated and soft12 genuine takes refused."""
    c = own_cuts(rows, setting)
    on = own_on_path(setting)
    m = [x - base if on(r) else x for r, x in zip(rows, c)]
    own = [(r, x) for r, x in zip(rows, m) if r['model_speaker'] == speaker]
    acc = lambda r, x: x <= 0.0 and not r['flag']
    count = lambda cond, kind, want: '%d of %d' % (
        sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind and acc(r, x) == want),
        sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind))
    return '%s\'s models: impostors accepted white20 %s, speech20 %s; genuine refused clean %s, reverb %s, ' \
           'soft12 %s' % (speaker, count('white20', 'i', True), count('speech20', 'i', True),
                          count('clean', 'g', False), count('reverb', 'g', False), count('soft12', 'g', False))


def own_checks(rows, halves, main, setting, v):
    """Item 5's checks: each half's, then the held conditions' EERs and
    FARs and the clean, soft12 and reverberation FRRs against main."""
    out = []
    for name, sel in halves:
        out += own_half_checks(name, sel, setting)
    out += condition_checks(main, v, HELD_CHECKED)
    out += frr_not_higher_checks(main, v, OWN_FRR_CHECKED)
    print_checks(out, 50)
    if len(setting) > 4 or OWN_BY_CORPUS:
        caps = own_caps(rows)
        print('  ' + own_corpus_text(rows, setting, own_setting(rows, caps, setting, held_base(rows, caps, setting))[0]))
    return all(ok for _, _, _, ok in out)


def read_matched_offsets(rows, dumps, given, log):
    """Each D=DUMP,... of --matched-offsets: that build's matched score of
    every trial, kept per D beside the rows; its noise_excess and
    thresholds must be the --own-threshold-grid dumps' (only the matched
    score may differ)."""
    out = []
    for offset_dumps in given:
        label, _, paths = offset_dumps.partition('=')
        other = read_match_rows(dumps, paths.split(','), log)
        if [r['key'] for r in other] != [r['key'] for r in rows]:
            raise SystemExit('--matched-offsets %s: not the same trials' % label)
        worst = max(max(abs(o['excess'] - r['excess_trial']), abs(o['t_match'] - r['t_match']))
                    for o, r in zip(other, rows))
        if worst > 1e-6:
            raise SystemExit('--matched-offsets %s: noise_excess or threshold differ by %g' % (label, worst))
        offset = float(label)
        for o, r in zip(other, rows):
            r.setdefault('s_match_at', {})[offset] = o['s_match']
        out.append(offset)
        print('matched offset %g dB: %s, noise_excess and thresholds equal to the grid\'s dumps' % (offset, paths))
    return tuple(out)


def use_offset(rows, offset):
    """The matched score the setting's offset gives (None: the grid's dumps')."""
    if offset is None:
        return
    for r in rows:
        r['s_match'] = r['s_match_at'][offset]


def offset_name(offset):
    return '' if offset is None else 'D %2g ' % offset


def own_threshold_grid(rows, gate, excess=None, hold_untouched=False, offsets=(None,), levels=(None,),
                       shifts=(None,)):
    global OWN_GATE, OWN_EXCESS, OWN_HOLD_UNTOUCHED
    OWN_GATE = 'G1' if excess else gate
    OWN_EXCESS = excess
    OWN_HOLD_UNTOUCHED = hold_untouched
    print('gate %s: %s' % (OWN_GATE, 'every noisy-path trial at most K dB' if OWN_GATE == 'G1' else
                           'noisy-path trials at most K dB and %.0f dB under min(snrEnrol, %.0f)'
                           % (MATCH_GATE_DB, REPORT.ENROL_SNR_CAP)))
    if excess:
        print('excess gate: and its noise X0 dB or more over the model\'s own, X0 in %s' %
              ', '.join('%g' % x for x in excess))
    gates = [(x,) for x in excess] if excess else [()]
    if excess and any(math.isnan(r['excess']) for r in rows):
        raise SystemExit('--excess-gate needs trial dumps with the column noise_excess')
    halves = [(name, [r for r in rows if r['model_speaker'] in half and r['test_speaker'] in half])
              for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B))]
    match_recomputation(rows)
    matched_give_back_check(rows, [(bound, 0.0, 'N0') + g for bound in OWN_BOUNDS for g in gates])
    caps = own_caps(rows)
    if OWN_CAP_ONLY_SHARE is not None:
        print('caps (%.1f %% of the impostor trials; a limit overspent off the moved base admits no matched '
              'impostor): %s' % (100.0 * OWN_CAP_ONLY_SHARE, ' '.join('%s %d' % kv for kv in caps.items())))
    else:
        print('caps (main\'s count or %.1f %% of the impostor trials): %s' % (
            100.0 * OWN_CAP_SHARE, ' '.join('%s %d' % kv for kv in caps.items())))
    for bound in OWN_BOUNDS:
        for g in gates:
            print('matched under %.0f dB%s (genuine / impostor / replays): %s' % (
                bound, ''.join(' X0 %g' % x for x in g), ', '.join(
                    '%s %s' % (c, '/'.join(str(sum(1 for r in rows if r['condition'] == c and r['kind'] == k and
                                                   own_matched(r, (bound, 0.0, 'N0') + g))) for k in 'gir'))
                    for c in ALL_CONDITIONS + ('replay',))))
    dumped = noisy_distance_figures(rows, [r['s'] - r['t'] for r in rows])
    _, main = own_setting(rows, caps, OWN_MAIN, MATCH_T_MAIN)
    same = all('%.2f' % dumped[c][k] == '%.2f' % main[c][k] for c in ALL_CONDITIONS for k in ('eer', 'far', 'frr'))
    print('main recomputed at %.4f gives its dumped figures: %s' % (MATCH_T_MAIN, 'yes' if same else 'NO'))
    t_refit, refit = own_setting(rows, caps, OWN_MAIN)
    print('main:        ' + own_text(OWN_MAIN, MATCH_T_MAIN, main))
    print('main refit:  ' + own_text(OWN_MAIN, t_refit, refit))
    print('    all: ' + figures_line(refit))
    speaker = noisiest_speaker(rows)
    print('    main:       ' + own_speaker_text(rows, OWN_MAIN, MATCH_T_MAIN, speaker))
    print('    main refit: ' + own_speaker_text(rows, OWN_MAIN, t_refit, speaker))
    results = []
    for offset, level, shift in ((o, l, d) for o in offsets for l in levels for d in shifts):
        use_offset(rows, offset)
        use_matched_level(level)
        use_unmatched_shift(shift)
        for bound in OWN_BOUNDS:
            for slope in OWN_SLOPES:
                for term in OWN_TERMS:
                    for g in gates:
                        for share in (MOVE_SHARES if term in MOVE_TERMS else (None,)):
                            setting = (bound, slope, term) + g + ((share,) if share is not None else ())
                            t_m, v = own_setting(rows, caps, setting, held_base(rows, caps, setting))
                            results.append((setting, t_m, v, offset, level, shift))
    results.sort(key=lambda x: own_rank(x[0], x[2]) + (x[3] or 0.0,) + matched_level_rank(x[4]) +
                 unmatched_shift_rank(x[5]))

    def use(offset, level, shift):
        use_offset(rows, offset)
        use_matched_level(level)
        use_unmatched_shift(shift)
        return offset_name(offset) + matched_level_name(level) + unmatched_shift_name(shift)
    for setting, t_m, v, offset, level, shift in results:
        name = use(offset, level, shift)
        why = own_clears(v, main, refit)
        print(name + own_text(setting, t_m, v) + (' | clears' if not why else ' | fails: ' + '; '.join(why)))
        print('    ' + own_speaker_text(rows, setting, t_m, speaker))
    clearing = [x for x in results if not own_clears(x[2], main, refit)]
    print('clearing settings: %d of %d' % (len(clearing), len(results)))
    for setting, t_m, v, offset, level, shift in clearing:
        name = use(offset, level, shift)
        print('checks of ' + name + own_text(setting, t_m, v))
        print('    all: ' + figures_line(v))
        if own_checks(rows, halves, main, setting, v):
            print('chosen: ' + name + own_text(setting, t_m, v))
            return
    if not clearing:
        # For the record only: what the best rows would have met.
        for setting, t_m, v, offset, level, shift in results[:OWN_SHOWN]:
            name = use(offset, level, shift)
            print('checks of %s%s (does not clear)' % (name, own_name(setting)))
            own_checks(rows, halves, main, setting, v)
    print('chosen: none clears and passes every check; nothing ships')


# Where a matched setting's margin moves against main's (sixty-fifth
# round), trial for trial: each unweighted-path margin split into what the
# scorer sums, on main's dumps and the trial build's alike: each distance
# in the fusion w d / s, each typical taken off - w k m / s, each
# distance's neighbours' term (Gn + Gf) w g (d - v) / s (v the voices'
# mean, each pair weighed by its gain), and the threshold; a matched
# trial's threshold moved by its base (T_m - T_u) and its variable part
# (the slope s_m for main's, the noise figure's term dropped under N0).
# The recomposed score must give the dumped one of every scored trial on
# the path in both dumps. Each side is taken at its own EER point on a
# group's trials of a condition; a trial changes side when main accepts it
# there and the setting refuses it at its own (genuine lost), or the
# reverse. A part is put back by giving the setting's margin main's value
# of it, taken again at its own EER point; a flip is undone when the trial
# is back on main's side.
PARTS_DISTANCE_GAINS = {0: 1.25, 2: 1.0, 3: 1.0}   # the unweighted path's gain of each distance
PARTS_ONE = (('d0', 'DTW distance d0'), ('d2', 'nearest frames d2'), ('m0', 'DTW typical, - m0'),
             ('m2', 'nearest frames typical, - 2 m2'), ('n0', 'neighbours\' term, DTW'),
             ('n2', 'neighbours\' term, nearest frames'), ('tb', 'threshold: the base T_m'),
             ('tvs', 'threshold: the slope s_m'), ('tva', 'threshold: the noise term dropped'))
PARTS_TOGETHER = (('the distances together', ('d0', 'd2', 'd3')), ('the typicals together', ('m0', 'm2', 'm3')),
                  ('the neighbours\' term together', ('n0', 'n2', 'n3')),
                  ('the whole score', ('d0', 'd2', 'd3', 'm0', 'm2', 'm3', 'n0', 'n2', 'n3')),
                  ('the threshold whole', ('tb', 'tvs', 'tva')))
PARTS_SCORE = ('d0', 'd2', 'd3', 'm0', 'm2', 'm3', 'n0', 'n2', 'n3')
PARTS_FLOWS = ('genuine lost', 'impostor gained', 'genuine gained', 'impostor lost')
PARTS_CONDITIONS = ('speech20', 'white20', 'white10')


def score_parts(src):
    """The unweighted path's score of a dump row, term by term."""
    w2, w3, k0, k2, k3, _ = GW.NOISY_FUSION
    gn, gf = SPLIT_ENGINE[1], SPLIT_ENGINE[2]
    share = [gf / (2.0 * (gn + gf)) if s in FAR else gn / (2.0 * (gn + gf)) for s in range(4)]
    out = {}
    for p, w, k in ((0, 1.0, k0), (2, w2, k2), (3, w3, k3)):
        d, m = float(src['d%d' % p]), float(src['m%d' % p])
        v = sum(share[s] * float(src['v%d_d%d' % (s, p)]) for s in range(4))
        out['d%d' % p] = w * d / SCALES[p]
        out['m%d' % p] = -w * k * m / SCALES[p]
        out['n%d' % p] = (gn + gf) * w * PARTS_DISTANCE_GAINS[p] * (d - v) / SCALES[p]
    return out


def attach_parts(rows, trial_dumps, setting, t_m):
    """Each trial's margin terms on main's side ('main_parts') and the
    setting's ('set_parts'), its two margins; the recomposition's largest
    differences printed."""
    trial = raw_rows(trial_dumps)
    cuts = own_cuts(rows, setting)
    worst, scored = [0.0, 0.0], 0
    for r, c in zip(rows, cuts):
        r['on_setting'] = own_matched(r, setting)
        r['margin_main'] = r['s'] - r['t']
        r['margin_set'] = c - t_m if r['on_setting'] else r['margin_main']
        r['main_parts'] = score_parts(r)
        r['set_parts'] = score_parts(trial[r['key']])
        if r['noisy'] and r['s'] != math.inf and r['s_match'] != math.inf:
            scored += 1
            worst[0] = max(worst[0], abs(sum(r['main_parts'].values()) - r['s']))
            worst[1] = max(worst[1], abs(sum(r['set_parts'].values()) - r['s_match']))
        # A trial the setting leaves unmatched keeps main's score, whatever
        # the trial build gave it.
        if not r['on_setting']:
            r['set_parts'] = dict(r['main_parts'])
        for side in ('main_parts', 'set_parts'):
            r[side].update(tb=0.0, tvs=0.0, tva=0.0)
        if r['on_setting']:
            slope, term = setting[1], setting[2]
            r['set_parts']['tb'] = -(t_m - MATCH_T_MAIN)
            r['set_parts']['tvs'] = -(slope - MAIN_SLOPE) * max(0.0, SNR_KNEE - r['snr_db'])
            r['set_parts']['tva'] = r['allow'] if term == 'N0' else 0.0
    print('recomposition: %d scored unweighted-path trials, the dumped score within %.6f (main) and %.6f (the '
          'trial build)' % (scored, worst[0], worst[1]))
    off = max(abs(r['margin_set'] - r['margin_main'] - sum(r['set_parts'][p] - r['main_parts'][p]
                                                            for p in r['set_parts']))
              for r in rows if r['s'] != math.inf and r['s_match'] != math.inf)
    print('every margin\'s move the sum of its terms\' moves within %.6f' % off)


def eer_point(rows, margins):
    """Each trial's side (accepted) at the margins' own EER point, and the
    EER (REPORT.eer's point: the least |FAR - FRR|)."""
    g = sorted(x for r, x in zip(rows, margins) if r['kind'] == 'g')
    i = [x for r, x in zip(rows, margins) if r['kind'] == 'i']
    fa, fr, best, cut = 0, len(g), 2.0, None
    for x, imp in sorted([(x, 0) for x in g] + [(x, 1) for x in i]):
        fa, fr = fa + imp, fr - (1 - imp)
        if abs(fa / len(i) - fr / len(g)) < best:
            best, cut = abs(fa / len(i) - fr / len(g)), x
    return [x <= cut for x in margins], 100.0 * REPORT.eer(g, i)


def parts_flow(r, before, after):
    if before == after:
        return None
    if r['kind'] == 'g':
        return 'genuine lost' if before else 'genuine gained'
    return 'impostor gained' if after else 'impostor lost'


def parts_study(sel):
    """A group's EERs, its flips and, per part put back, the flips undone
    and the EER."""
    main_side, e_main = eer_point(sel, [r['margin_main'] for r in sel])
    set_side, e_set = eer_point(sel, [r['margin_set'] for r in sel])
    flows = [parts_flow(r, a, b) for r, a, b in zip(sel, main_side, set_side)]
    out = {'eer': (e_main, e_set), 'flows': [sum(1 for f in flows if f == k) for k in PARTS_FLOWS]}
    for name, parts in [(label, (p,)) for p, label in PARTS_ONE] + list(PARTS_TOGETHER):
        back, e_back = eer_point(sel, [r['margin_set'] + sum(r['main_parts'][p] - r['set_parts'][p] for p in parts)
                                       for r in sel])
        undone = [sum(1 for j, f in enumerate(flows) if f == k and back[j] == main_side[j]) for k in PARTS_FLOWS[:2]]
        out[name] = (undone, e_back)
    return out


def matched_parts(rows, trial_dumps, text):
    """The sixty-fifth round's tables for setting K,S_M,TERM,X0 at T_m."""
    bound, slope, term, x0, t_m = text.split(',')
    setting = (float(bound), float(slope), term, float(x0))
    global OWN_GATE
    OWN_GATE = 'G1'
    print('setting %s at T_m %.4f against main at %.4f' % (own_name(setting), float(t_m), MATCH_T_MAIN))
    attach_parts(rows, trial_dumps, setting, float(t_m))
    noisiest = noisiest_speaker(rows)
    in_a = lambda r: r['model_speaker'] in GW.HALF_A and r['test_speaker'] in GW.HALF_A and r['model_speaker'] != noisiest
    groups = (('half A without %s\'s models' % noisiest, in_a),
              ('its fsdd models', lambda r: in_a(r) and not r['model_speaker'].startswith('asc')),
              ('its arabicsc models', lambda r: in_a(r) and r['model_speaker'].startswith('asc')),
              ('half B', lambda r: r['model_speaker'] in GW.HALF_B and r['test_speaker'] in GW.HALF_B))
    for cond in PARTS_CONDITIONS:
        res = [parts_study([r for r in rows if r['condition'] == cond and f(r)]) for _, f in groups]
        print('\n%s (a part\'s row: genuine lost / impostors gained undone by putting it back; the EER so, %%)' % cond)
        print('| | ' + ' | '.join(name for name, _ in groups) + ' |')
        print('|---|' + '---|' * len(groups))
        print('| EER main -> setting | ' + ' | '.join('%.2f -> %.2f' % v['eer'] for v in res) + ' |')
        print('| flips (genuine gained / impostors lost) | ' + ' | '.join(
            '%d / %d (%d / %d)' % tuple(v['flows']) for v in res) + ' |')
        for name in [label for _, label in PARTS_ONE] + [label for label, _ in PARTS_TOGETHER]:
            print('| %s | %s |' % (name, ' | '.join('%d / %d; %.2f' % (v[name][0][0], v[name][0][1], v[name][1])
                                                    for v in res)))


# The unweighted path's noise allowance counted from the model's own level
# (sixtieth round), offline from main's dumps alone: the path's snr term
# 0.015 x max(0, 60 - snr) less c x 0.015 x max(0, 60 - max(snr, snrE)),
# snrE = min(snrEnrol, 60): a take as noisy as the model's enrolment has not
# moved away from it for its noise, so at c 1 it gets no loosening and a
# noisier take only the loosening from the model's level down. Every trial
# keeps its dumped score; one on the path its dumped threshold moved by
# that change and by the base. T_u is refitted by the forty-first round's
# rule (the clean FAR's 1 %, white10 and speech20 within main's counts).
#
# The excess gate (sixty-second round) gives that change only to a take
# whose noise the model already holds, its noise_excess (read from a trial
# build's dumps) under X0 dB: a take noisier than the model's templates
# was moved by its noise and keeps main's loosening. A setting is (c, X0),
# X0 None for the ungated form.
LEVEL_ALLOWANCES = (0.0, 0.25, 0.5, 0.75, 1.0)
LEVEL_MAIN = (0.0, None)


def level_change(r, setting):
    """The change of a trial's threshold at a setting (none off the path,
    none for a model without an enrolment snr, none past the excess
    gate)."""
    c, x0 = setting
    if c == 0.0 or not r['noisy'] or not r['enrol_db'] > 0.0:
        return 0.0
    if x0 is not None and not r['excess'] < x0:
        return 0.0
    level = min(r['enrol_db'], SNR_KNEE)
    return -c * MAIN_SLOPE * max(0.0, SNR_KNEE - max(r['snr_db'], level))


def level_cuts(rows, setting):
    """Each trial's margin but the path's base (off the path: its final
    margin)."""
    return [r['s'] - (r['t'] - MATCH_T_MAIN + level_change(r, setting)) if r['noisy'] else r['s'] - r['t']
            for r in rows]


def level_setting(rows, caps, setting, t_u=None):
    """T_u (None: refitted) and the figures of a setting on rows, the three
    noisy conditions pooled among them."""
    cut = level_cuts(rows, setting)
    if t_u is None:
        t_u = refit_noisy_base(rows, cut, caps)
    return t_u, pooled_noisy_figures(rows, noisy_distance_margins(rows, cut, t_u))


def level_name(setting):
    c, x0 = setting
    return 'c %.2f' % c + ('' if x0 is None or c == 0.0 else ' X0 %g' % x0)


def level_text(name, t_u, v):
    return '%-10s T_u %.4f | %s | mean EER %.2f FRR %.2f | %s | FRR clean %.2f soft12 %.2f reverb %.2f' % (
        name, t_u, ' '.join('%s %.2f/%.2f/%.2f (%d)' % (c, v[c]['eer'], v[c]['far'], v[c]['frr'], v[c]['fa'])
                            for c in NOISY_CONDITIONS),
        v['mean eer'], v['mean frr'], ' '.join('%s %.2f/%.2f' % (c, v[c]['eer'], v[c]['far']) for c in HELD_CHECKED),
        v['clean']['frr'], v['soft12']['frr'], v['reverb']['frr'])


def level_clears(v, main):
    """Item 3's failing parts: the mean noisy EER lower than main's by more
    than the pooled slack, none of the three higher than its slack, the
    clean FAR up by one impostor trial at most."""
    why = []
    s = pooled_slack(main)
    if not v['mean eer'] < main['mean eer'] - s - 1e-9:
        why.append('mean EER %.2f (main %.2f, slack %.2f)' % (v['mean eer'], main['mean eer'], s))
    for c in NOISY_CONDITIONS:
        if v[c]['eer'] > main[c]['eer'] + slack(main[c], 'gi') + 1e-9:
            why.append('%s EER %.2f (main %.2f, slack %.2f)' % (c, v[c]['eer'], main[c]['eer'], slack(main[c], 'gi')))
    if v['clean']['fa'] > main['clean']['fa'] + 1:
        why.append('clean FAR %d of %d (main %d)' % (v['clean']['fa'], v['clean']['i'], main['clean']['fa']))
    return why


def level_rank(setting, v):
    """Mean noisy EER, mean noisy FRR, the smaller c, the smaller X0."""
    c, x0 = setting
    return (round(v['mean eer'], 6), round(v['mean frr'], 6), c, -1.0 if x0 is None else x0)


def level_half(sel, setting):
    """A half's main at -0.6636 and the setting with T_u refitted on the
    half's own trials and caps."""
    caps = match_caps(sel)
    _, main = level_setting(sel, caps, LEVEL_MAIN, MATCH_T_MAIN)
    t_u, v = level_setting(sel, caps, setting)
    return caps, main, t_u, v


def level_moved(sel, setting):
    """How many of a half's trials the setting gives a term other than
    main's."""
    return sum(1 for r in sel if level_change(r, setting) != 0.0)


def held_half_checks(name, main, v):
    """A half the setting moves no threshold in: its three noisy EERs and
    their mean each not higher than main's (a term that leaves every model
    of the half alone can hold it, never better it)."""
    out = [('half %s %s EER not higher (untouched)' % (name, c), main[c]['eer'], v[c]['eer'],
            v[c]['eer'] <= main[c]['eer'] + 1e-9) for c in NOISY_CONDITIONS]
    out.append(('half %s mean noisy EER not higher (untouched)' % name, main['mean eer'], v['mean eer'],
                v['mean eer'] <= main['mean eer'] + 1e-9))
    return out


def level_checks(halves, main, setting, v, hold_untouched=False):
    """Item 4's checks but the cross check: each half's noisy EERs and
    their mean, the held conditions' EERs and FARs and the clean, soft12
    and reverberation FRRs. hold_untouched (sixty-third round): a half in
    which the setting moves no trial's threshold is asked to be held."""
    out = []
    for name, sel in halves:
        caps, hm, t_u, hv = level_half(sel, setting)
        t_r, hr = level_setting(sel, caps, LEVEL_MAIN)
        print('  half %s: caps %s; main       %s' % (name, ' '.join('%s %d' % kv for kv in caps.items()),
                                                  level_text('main', MATCH_T_MAIN, hm)))
        print('  half %s: main refit %s' % (name, level_text('c 0', t_r, hr)))
        print('  half %s: setting    %s' % (name, level_text(level_name(setting), t_u, hv)))
        moved = level_moved(sel, setting)
        if hold_untouched:
            print('  half %s: trials whose threshold the setting moves: %d of %d' % (name, moved, len(sel)))
        if hold_untouched and moved == 0:
            out += held_half_checks(name, hm, hv)
            continue
        out += half_noisy_eer_checks(name, hm, hv)
        out.append(('half %s mean noisy EER lower' % name, hm['mean eer'], hv['mean eer'],
                    hv['mean eer'] < hm['mean eer'] - 1e-9))
    out += condition_checks(main, v, HELD_CHECKED)
    out += frr_not_higher_checks(main, v, OWN_FRR_CHECKED)
    print_checks(out, 50)
    return all(ok for _, _, _, ok in out)


def level_cross(halves, settings):
    """The cross check: the best setting on each half alone (item 4's order
    over every setting, T_u refitted on that half) must not raise the other
    half's mean noisy EER above main's there at -0.6636."""
    ok = True
    for (name, sel), (other, rest) in ((halves[0], halves[1]), (halves[1], halves[0])):
        best = min(settings, key=lambda x: level_rank(x, level_half(sel, x)[3]))
        _, om, t_u, ov = level_half(rest, best)
        fine = ov['mean eer'] <= om['mean eer'] + 1e-9
        print('  cross: best %s on half %s alone %s; half %s at it (T_u %.4f): mean noisy EER %.2f, main %.2f: %s' % (
            'c' if best[1] is None else 'setting', name, level_name(best)[2:] if best[1] is None else level_name(best),
            other, t_u, ov['mean eer'], om['mean eer'], 'ok' if fine else 'RAISED'))
        ok = ok and fine
    return ok


def read_excess(rows, trial_dumps, gates):
    """Each trial's noise_excess from a trial build's dumps of the same
    trials (only that column: scores and thresholds stay main's); every
    trial must be there."""
    trial = raw_rows(trial_dumps)
    missing = [r['key'] for r in rows if r['key'] not in trial or trial[r['key']].get('noise_excess', '') == '']
    if missing:
        raise SystemExit('%d trials without a noise_excess in the trial dumps (first %s)' % (len(missing), missing[0]))
    for r in rows:
        r['excess'] = float(trial[r['key']]['noise_excess'])
    on = [r for r in rows if r['noisy'] and r['enrol_db'] > 0.0]
    print('noise_excess found for every one of the %d trials; on the path with an enrolment snr and under '
          'their model\'s level, under X0: %s' % (len(rows), ', '.join(
              '%g dB %d' % (x0, sum(1 for r in on if r['excess'] < x0 and r['snr_db'] < min(r['enrol_db'], SNR_KNEE)))
              for x0 in gates)))


def noisiest_speaker(rows):
    """The model speaker enrolled at the lowest snr."""
    return min((r for r in rows if r['enrol_db'] > 0.0), key=lambda r: r['enrol_db'])['model_speaker']


def level_speaker_text(rows, cut, t_u, speaker):
    """A speaker's models: white20 and speech20 impostor trials accepted
    and soft12 genuine trials refused, of how many."""
    m = noisy_distance_margins(rows, cut, t_u)
    acc = lambda r, x: x <= 0.0 and not r['flag']
    own = [(r, x) for r, x in zip(rows, m) if r['model_speaker'] == speaker]
    count = lambda cond, kind, want: (sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind
                                          and acc(r, x) == want),
                                      sum(1 for r, x in own if r['condition'] == cond and r['kind'] == kind))
    return '%s\'s models: white20 impostors accepted %d of %d, speech20 %d of %d, soft12 genuine refused %d of %d' % (
        (speaker,) + count('white20', 'i', True) + count('speech20', 'i', True) + count('soft12', 'g', False))


def level_allowance_grid(rows, allowances, excess_gates=None, hold_untouched=False):
    halves = [(name, [r for r in rows if r['model_speaker'] in half and r['test_speaker'] in half])
              for name, half in (('A', GW.HALF_A), ('B', GW.HALF_B))]
    match_recomputation(rows)
    on = [r for r in rows if r['noisy'] and r['enrol_db'] > 0.0]
    print('trials on the path with an enrolment snr: %d; under their model\'s level: %d' % (
        len(on), sum(1 for r in on if r['snr_db'] < min(r['enrol_db'], SNR_KNEE))))
    caps = match_caps(rows)
    print('caps (main\'s accepted impostors at %.4f): %s' % (MATCH_T_MAIN, ' '.join('%s %d' % kv for kv in caps.items())))
    dumped = noisy_distance_figures(rows, [r['s'] - r['t'] for r in rows])
    _, main = level_setting(rows, caps, LEVEL_MAIN, MATCH_T_MAIN)
    same = all('%.2f' % dumped[c][k] == '%.2f' % main[c][k] for c in ALL_CONDITIONS for k in ('eer', 'far', 'frr'))
    print('main recomputed at %.4f gives its dumped figures: %s' % (MATCH_T_MAIN, 'yes' if same else 'NO'))
    print('slack: mean EER %.2f (pooled g %d, i %d), %s' % (
        pooled_slack(main), main['pooled']['g'], main['pooled']['i'],
        ', '.join('%s EER %.2f' % (c, slack(main[c], 'gi')) for c in NOISY_CONDITIONS)))
    print(level_text('main', MATCH_T_MAIN, main))
    print('    all: ' + figures_line(main))
    speaker = noisiest_speaker(rows) if excess_gates else None
    if speaker:
        print('    ' + level_speaker_text(rows, level_cuts(rows, LEVEL_MAIN), MATCH_T_MAIN, speaker))
    if excess_gates:
        settings = [LEVEL_MAIN] + [(c, x0) for c in allowances if c != 0.0 for x0 in excess_gates]
    else:
        settings = [(c, None) for c in allowances]
    results = []
    for setting in settings:
        t_u, v = level_setting(rows, caps, setting)
        results.append((setting, t_u, v))
        why = level_clears(v, main)
        print(level_text(level_name(setting), t_u, v) + (' | clears' if not why else ' | fails: ' + '; '.join(why)))
        cut = level_cuts(rows, setting)
        print('    T_u limits: ' + ' '.join('%s %.4f' % kv for kv in match_limits(rows, cut, caps).items()))
        print('    all: ' + figures_line(v))
        if speaker:
            print('    ' + level_speaker_text(rows, cut, t_u, speaker))
    results.sort(key=lambda x: level_rank(x[0], x[2]))
    chosen = None
    for setting, t_u, v in results:
        why = level_clears(v, main)
        print('checks of %s (%s):' % (level_name(setting), 'clears' if not why else 'does not clear'))
        passed = level_checks(halves, main, setting, v, hold_untouched)
        if not why and passed and chosen is None:
            chosen = (setting, t_u, v)
    cross = level_cross(halves, settings if excess_gates else [(c, None) for c in LEVEL_ALLOWANCES])
    if chosen is not None and cross:
        print('chosen: ' + level_text(level_name(chosen[0]), chosen[1], chosen[2]))
        return chosen
    print('chosen: none clears and passes every check%s; nothing ships' % ('' if cross else ' (the cross check fails)'))
    return None


def level_engine_check(rows, text, dumps, built_dumps):
    """The engine built with a level-allowance setting ('C,X0,T_U'): on the
    unweighted path every score main's, every threshold main's moved by the
    base and the setting's term, the decisions the offline fit's; off it
    every column main's; and the build's noise_excess the trial build's."""
    c, x0, t_u = (float(x) for x in text.split(','))
    setting = (c, x0)
    built = raw_rows(built_dumps)
    excess_differ = sum(1 for r in rows if r['key'] in built and
                        abs(float(built[r['key']]['noise_excess']) - r['excess']) > 1e-4)
    print('noise_excess of the build against the trial build\'s: %d of %d trials differ' % (excess_differ, len(rows)))
    reached = [r for r in rows if level_change(r, setting) != 0.0]
    print('trials whose threshold the term moves: %d (%s)' % (len(reached), ', '.join(
        '%s %d' % (cond, sum(1 for r in reached if r['condition'] == cond)) for cond in ALL_CONDITIONS + ('replay',))))
    path_engine_check(rows, dumps, built_dumps, 'noisy', lambda r: r['noisy'], lambda r: r['s'],
                      lambda r: t_u - MATCH_T_MAIN + level_change(r, setting), level_name(setting))


def path_engine_check(rows, dumps, built_dumps, path, on_path, score_of, moved_base, setting):
    """A build that changed one path's score and base against the offline
    setting from the dumps rows were read from, trial by trial: on the path
    (on_path(r)) the score score_of(r), the threshold the dumped one moved
    by moved_base (a refused take's unmoved) and the decision; off it every
    column but the take's time. moved_base may be a function of the row."""
    before = raw_rows(dumps)
    after = raw_rows(built_dumps)
    differ = {'missing': 0, path + ' score': 0, path + ' threshold': 0, 'decision': 0, 'other column': 0}
    compared = {path: 0, 'other': 0, 'decisions': 0}
    changed_decisions = 0
    for r in rows:
        new = after.get(r['key'])
        if new is None:
            differ['missing'] += 1
            continue
        old = before[r['key']]
        compared[path if on_path(r) else 'other'] += 1
        differ['other column'] += columns_differ(r['key'], old, new, on_path(r))
        accept = new['accept'] == '1'
        if on_path(r):
            s = score_of(r)
            e_s = float(new['score'])
            e_s = math.inf if e_s >= REPORT.REFUSED else e_s
            moved = 0.0 if r['s'] == math.inf else moved_base(r) if callable(moved_base) else moved_base
            score_moved = score_differs(s, e_s)
            threshold_moved = threshold_differs(r['t'] + moved, float(new['threshold']))
            differ[path + ' score'] += score_moved
            differ[path + ' threshold'] += threshold_moved
            if score_moved or threshold_moved:
                print('  score or threshold differs: %s engine %s / %s, offline %.5f / %.5f' % (
                    r['key'], new['score'], new['threshold'], s, r['t'] + moved))
            offline = s <= r['t'] + moved and not r['flag']
        else:
            offline = r['accept'] == '1'
        if r['kind'] in 'gi':
            compared['decisions'] += 1
            changed_decisions += accept != (r['accept'] == '1')
            if offline != accept:
                differ['decision'] += 1
                print('  decision differs: %s engine score %s limit %s accept %d, offline %d' % (
                    r['key'], new['score'], new['threshold'], accept, offline))
    print('engine check (%s): %d trials on the %s path, %d off it, %d genuine and impostor '
          'decisions (%d changed against the dumps); differing: %s' % (
              setting, compared[path], path, compared['other'], compared['decisions'], changed_decisions,
              ', '.join('%s %d' % kv for kv in differ.items())))


# The word's duration and intonation (forty-second round on), read as
# condition-report.py reads the main branch's dumps: every trial keeps its
# dumped score and threshold, and only one path's scored trials take the
# cues, their thresholds moved by the path's base (or offset), refitted
# for each setting by the path's own rule. The paths tried: the weighted
# one (forty-second and forty-fourth rounds), the unweighted one under 40
# dB (forty-third), the line's (forty-fifth; the `phone` trials, its offset
# refitted as condition-report.py --fit-line does) and the clean
# unweighted one (forty-sixth; mostly the soft voice's takes at 40 dB or
# more, its base T_c refitted within main's accepted impostors on the path
# and the clean FAR's 1 %).
CUE_WEIGHTS = (0.0, 0.05, 0.1, 0.15, 0.2, 0.3, 0.4)
CUE_FRR_WEIGHTS = (0.0, 0.025, 0.05, 0.075, 0.1, 0.15, 0.2)
CUE_FRR_SCALES = (0.12458, 1.50899)   # the forty-second round's spreads, as the engine would carry them
CUE_T_WEIGHTED = -0.5129   # the weighted path's base the dumps were made with
SHIPPED_CUE_WEIGHTS = (0.05, 0.05)   # the cues the engine ships on the weighted path (forty-fourth round)
SHIPPED_T_WEIGHTED = -0.2984         # and the weighted path's base it ships with them
CUE_T_NOISY = -0.6636   # the noisy path's base the dumps were made with
LINE_CUE_OFFSET = -0.17   # the line's offset the dumps were made with
HELD_CUE_BASE = -0.5681   # the clean unweighted path's base the dumps were made with
CUE_CHECKED = ('soft12', 'reverb', 'phone')
NOISY_CUE_CHECKED = ('soft12', 'reverb', 'phone', 'clean')
CUE_HALVES = (('A', GW.HALF_A), ('B', GW.HALF_B))
NO_CUES = (0.0, 0.0)


def read_cue_rows(dumps, log):
    """The tuning trials of dumps made with the cues' columns by the main
    branch's scoring (weighted base -0.5129, the noisy path's gain per
    distance at -0.6636, a line's take at -0.5681 - 0.17), each with its
    path and its two cues."""
    REPORT.ENROL.update(slope=0.0025, margin=4.0, snr=REPORT.read_enrol_log(log))
    REPORT.NOISE.update(share=1.25, typical=0.28397, margin=6.0, min_drop=10.0, cap=True, impostor=True)
    REPORT.LINE['offset'] = -0.0745
    REPORT.set_weighted('40,6,%.4f' % CUE_T_WEIGHTED)
    REPORT.set_clean_held('40,-0.5681')
    rows = [r for r in REPORT.load(dumps, set(GW.TUNING.split(','))) if r['kind'] in 'gir']
    for r in rows:
        r['key'] = tuple(r[k] for k in FIT.KEY)
        r['t'] = float(r['threshold'])
        r['flag'] = REPORT.copy_flag(r)
        r['weighted'] = REPORT.weighed(r)
        r['noisy'] = REPORT.on_noisy_path(r)
        r['cue'] = (float(r['cue_dur']), float(r['cue_int']))
    return rows


def on_weighted(r):
    return r['weighted']


def on_noisy(r):
    return r['noisy']


def on_line(r):
    return r['condition'] in REPORT.LINE['conditions']


def on_held(r):
    return REPORT.clean_held(r)


def refit_weighted_base(rows, c):
    """T_w by the thirty-ninth round's rule on rows."""
    return refit_base(rows, c, {}, on_weighted, lambda r, x: x)


def noisy_cue_caps(rows):
    """The white10 and speech20 impostor trials the dumps accept."""
    m = [r['s'] - r['t'] for r in rows]
    return {cond: accepted_impostors(rows, m, cond) for cond in ('white10', 'speech20')}


def refit_noisy_cue_base(rows, c):
    """T_u by the thirty-sixth round's rule on rows, within their own caps."""
    return refit_noisy_base(rows, c, noisy_cue_caps(rows))


def refit_line_offset(rows, c):
    """condition-report.py's fit_line: the largest offset, a multiple of
    0.01, at which no more than 1 % of the line's impostor trials pass."""
    imp = [(r, x) for r, x in zip(rows, c) if on_line(r) and r['kind'] == 'i']
    allowed = int(math.floor(0.01 * len(imp)))
    margins = sorted(x for r, x in imp if x < math.inf and not r['flag'])
    limit = margins[allowed] - 1e-6 if allowed < len(margins) else 10.0
    return round(math.floor(limit * 100.0) / 100.0, 2)


def held_impostors_accepted(rows):
    """Main's unflagged impostor trials on the clean unweighted path
    accepted at their dumped thresholds."""
    return sum(1 for r in rows if on_held(r) and r['kind'] == 'i' and not r['flag'] and r['s'] - r['t'] <= 0.0)


def refit_held_base(rows, c):
    """T_c: the largest base, four decimals on the stricter side, at which
    the path's impostor trials accepted (every condition) are no more than
    main's on rows, and the clean impostor trials (every path counted)
    within 1 %."""
    cap = held_impostors_accepted(rows)
    u = sorted(x for r, x in zip(rows, c) if on_held(r) and r['kind'] == 'i' and not r['flag'] and x < math.inf)
    own = u[cap] - 1e-6 if cap < len(u) else math.inf
    n_clean = sum(1 for r in rows if r['condition'] == 'clean' and r['kind'] == 'i')
    clean = largest_base(rows, c, 'clean', int(math.floor(0.01 * n_clean)), on_held, lambda r, x: x)
    return math.floor(min(own, clean) * 1e4) / 1e4


class CuePath:
    """A path the cues are tried on: which trials are on it, the condition
    it is judged by, its base as dumped and how it is refitted."""

    def __init__(self, name, on, cond, dumped, refit, label, digits):
        self.name, self.on, self.cond, self.dumped, self.refit = name, on, cond, dumped, refit
        self.label, self.digits = label, digits
        self.others = tuple(c for c in ALL_CONDITIONS if c != cond)

    def base_text(self, base):
        return '%s %.*f' % (self.label, self.digits, base)


WEIGHTED_PATH = CuePath('weighted', on_weighted, 'clean', CUE_T_WEIGHTED, refit_weighted_base, 'T_w', 4)
SHIPPED_WEIGHTED_PATH = CuePath('weighted', on_weighted, 'clean', SHIPPED_T_WEIGHTED, refit_weighted_base, 'T_w', 4)
NOISY_PATH = CuePath('noisy', on_noisy, None, CUE_T_NOISY, refit_noisy_cue_base, 'T_u', 4)
LINE_PATH = CuePath('line', on_line, 'phone', LINE_CUE_OFFSET, refit_line_offset, 'L', 2)
HELD_PATH = CuePath('clean unweighted', on_held, 'soft12', HELD_CUE_BASE, refit_held_base, 'T_c', 4)


def cue_scales(rows):
    """Each cue's spread over the scored genuine clean trials."""
    g = [r['cue'] for r in rows if r['condition'] == 'clean' and r['kind'] == 'g' and r['s'] < math.inf]
    return tuple(statistics.pstdev(c[k] for c in g) for k in range(2))


def noisy_cue_scales(rows):
    """Each cue's spread over the scored genuine trials on the noisy path
    in the three noisy conditions."""
    g = [r['cue'] for r in rows if r['condition'] in NOISY_CONDITIONS and r['noisy'] and r['kind'] == 'g' and
         r['s'] < math.inf]
    return tuple(statistics.pstdev(c[k] for c in g) for k in range(2))


def path_cue_scales(rows, path):
    """Each cue's spread over the scored genuine trials on the path, to
    five decimals (as the engine would carry them)."""
    g = [r['cue'] for r in rows if path.on(r) and r['kind'] == 'g' and r['s'] < math.inf]
    return tuple(round(statistics.pstdev(c[k] for c in g), 5) for k in range(2))


def path_cue_score(r, weights, scales):
    return r['s'] + sum(w * c / sc for w, c, sc in zip(weights, r['cue'], scales))


def path_cue_cuts(rows, path, weights, scales):
    """Each trial's score less its threshold but the path's base: a trial
    on the path has its margin this less the base, every other trial's is
    final."""
    return [path_cue_score(r, weights, scales) - (r['t'] - path.dumped) if path.on(r) else r['s'] - r['t']
            for r in rows]


def path_cue_margins(rows, path, c, base):
    return [x - base if path.on(r) else x for r, x in zip(rows, c)]


def pooled_noisy_figures(rows, m):
    """Every condition's figures, and the three noisy conditions pooled."""
    v = noisy_distance_figures(rows, m)
    v['mean eer'] = sum(v[k]['eer'] for k in NOISY_CONDITIONS) / 3.0
    v['mean frr'] = sum(v[k]['frr'] for k in NOISY_CONDITIONS) / 3.0
    v['pooled'] = {'g': sum(v[k]['g'] for k in NOISY_CONDITIONS), 'i': sum(v[k]['i'] for k in NOISY_CONDITIONS)}
    return v


def pooled_slack(v):
    """The larger of 0.1 point and one trial of either side of the three
    noisy conditions pooled."""
    return max([FIT.SLACK] + [one_trial(v['pooled'][k]) for k in 'gi'])


def weight_text(w):
    """A weight to two decimals, to three where it has them (0.025)."""
    return '%.2f' % w if abs(w * 100.0 - round(w * 100.0)) < 1e-9 else '%.3f' % w


def worst_pair(rows, m, cond='clean'):
    """The model (a speaker's word) and impostor speaker whose takes of
    cond are accepted most often at margins m: (share in %, accepted,
    trials, key)."""
    pairs = impostor_pairs(rows, m, cond)
    key, (a, n) = max(pairs.items(), key=lambda kv: (kv[1][0] / kv[1][1], kv[0]))
    return 100.0 * a / n, a, n, key


def cue_separation(rows):
    """Each cue alone in each condition, on the noisy path's scored trials
    and on the weighted path's: the genuine and impostor medians and the
    share of genuine-impostor pairs the cue orders rightly (ties half)."""
    for cond in ('clean',) + NOISY_CONDITIONS + ('soft12',):
        for path in ('noisy', 'weighted'):
            sel = [r for r in rows if r['condition'] == cond and r[path] and r['s'] < math.inf]
            for k, name in ((0, 'duration'), (1, 'intonation')):
                g = sorted(r['cue'][k] for r in sel if r['kind'] == 'g')
                i = [r['cue'][k] for r in sel if r['kind'] == 'i']
                if len(g) < 20 or not i:
                    continue
                right = sum(bisect.bisect_left(g, x) + 0.5 * (bisect.bisect_right(g, x) - bisect.bisect_left(g, x))
                            for x in i) / (len(g) * len(i))
                print('  %-8s %-8s %-10s genuine %4d median %.3f, impostor %4d median %.3f, pairs ordered %.3f' % (
                    cond, path, name, len(g), statistics.median(g), len(i), statistics.median(i), right))


class CueGrid:
    """A grid of the two cue weights on one path, judged on all tuning
    speakers, on each half and across the halves. run() writes the frame
    every round of the cues shares: main's figures as dumped and refitted,
    each setting's row, the best rows by the round's order with what each
    misses, the best on each half alone, the cross check (the best setting
    on either half alone must lower the judged figure on the other) and the
    first clearing setting that passes every check. A round gives what
    differs: the path and its scales, the figure judged (value, slack,
    what a row must not raise besides), the order, a row's text and the
    checks of a clearing setting."""

    weights = CUE_FRR_WEIGHTS
    checked = CUE_CHECKED
    shows_misses = True      # under each best row, what keeps it from clearing
    marks_best = True        # the best rows say which clear
    best_on_halves = 5       # rows listed for each half alone
    judged_name = ''         # the judged figure in a miss
    cross_name = ''          # and in the cross check
    main_form = NO_CUES      # the weights (or a round's own token) main's dumps were scored with
    main_name = '(0, 0)'

    def __init__(self, rows, path):
        self.rows, self.path = rows, path
        self.halves = [(name, [r for r in rows if r['model_speaker'] in half and r['test_speaker'] in half])
                       for name, half in CUE_HALVES]
        self.scales = None

    # What a round gives.
    def head(self, dumped_m):
        """The lines before main's figures; sets the cues' scales."""
        raise NotImplementedError

    def summary(self):
        """Main's judged figures on all tuning speakers and on each half."""
        raise NotImplementedError

    def value(self, v):
        """The judged figure of figures v."""
        raise NotImplementedError

    def judged_slack(self, v):
        raise NotImplementedError

    def ranked(self, v):
        """The two figures of the order, before the weights' sum."""
        raise NotImplementedError

    def limits_missed(self, v):
        """What a setting raises beyond its limits on all tuning speakers."""
        return []

    def text(self, weights, base, v):
        raise NotImplementedError

    def worst_cond(self):
        """The condition whose worst model/impostor pair is checked (None:
        no pair is)."""
        return None

    def point_text(self, base):
        return '%.4f' % base

    def cross_at(self, alone, own):
        """Where the cross check says a half's best was found (alone) and
        judged (own): nowhere unless a round names its bases."""
        return '', ''

    def before_choice(self):
        pass

    def cuts(self, rows, weights):
        """Each trial's score less its threshold but the path's base
        (path_cue_cuts)."""
        return path_cue_cuts(rows, self.path, weights, self.scales)

    # The frame.
    def figures(self, rows, m):
        return noisy_distance_figures(rows, m)

    def setting(self, rows, weights, base=None):
        """The path's base (None: refitted on rows) and every condition's
        figures of a setting."""
        c = self.cuts(rows, weights)
        if base is None:
            base = self.path.refit(rows, c)
        return base, self.figures(rows, path_cue_margins(rows, self.path, c, base))

    def evaluate(self, weights):
        """A setting on all tuning speakers and on each half, the base
        refitted on each."""
        base, v = self.setting(self.rows, weights)
        for name, sel in self.halves:
            v[name] = self.setting(sel, weights)
        return base, v

    def lowers(self, after, before):
        """The judged figure lower than before's by more than its slack."""
        return self.value(after) < self.value(before) - self.judged_slack(before) - 1e-9

    def not_lowered(self, prefix, after, before):
        if self.lowers(after, before):
            return []
        return ['%s%s %.2f -> %.2f not lower by %.2f' % (prefix, self.judged_name, self.value(before),
                                                         self.value(after), self.judged_slack(before))]

    def misses(self, v):
        """What keeps a setting from clearing items 2 and 3 (empty: it
        clears)."""
        out = self.not_lowered('', v, self.base) + self.limits_missed(v)
        for name, _ in self.halves:
            out += self.not_lowered('half %s ' % name, v[name][1], self.half_base[name][1])
        return out

    def clears(self, v):
        return not self.misses(v)

    def settings(self):
        """The grid's settings, each a tuple of weights."""
        return [(wd, wi) for wd in self.weights for wi in self.weights]

    def tiebreak(self, weights):
        """The order's last keys, after the weights' sum."""
        return (weights[0],)

    def rank(self, weights, v):
        first, second = self.ranked(v)
        return (round(first, 6), round(second, 6), round(sum(weights), 6)) + self.tiebreak(weights)

    def checks(self, weights, base, v):
        """Item 4: the checked conditions' EERs and FARs, and the worst pair
        of worst_cond() (where a round names one) no worse than main's."""
        cond = self.worst_cond()
        if cond is not None:
            c = self.cuts(self.rows, weights)
            worst = worst_pair(self.rows, path_cue_margins(self.rows, self.path, c, base), cond)
            print('  worst %s pair: %s\'s %s by %s, %d of %d' % ((cond,) + worst[3] + worst[1:3]))
        out = condition_checks(self.base, v, self.checked)
        if cond is not None:
            out.append(('worst %s pair\'s FAR not higher' % cond, self.base_worst[0], worst[0],
                        worst[0] <= self.base_worst[0] + 1e-9))
        print_checks(out, 44)
        return all(ok for _, _, _, ok in out)

    def marked(self, r):
        return self.text(*r) + (' | clears' if self.clears(r[2]) else '')

    def cross(self, rows_out):
        """Whether the best setting on each half alone lowers the other's
        judged figure at that half's own refitted base."""
        passes = True
        for name, other in (('A', 'B'), ('B', 'A')):
            best = min(rows_out, key=lambda r: self.rank(r[0], r[2][name][1]))
            after, before = best[2][other][1], self.half_base[other][1]
            ok = self.lowers(after, before)
            passes = passes and ok
            alone, own = self.cross_at(best[2][name][0], best[2][other][0])
            print('cross: best on %s alone w %s (%s %s %.2f%s); on %s%s: %s %.2f -> %.2f (slack %.2f) %s' % (
                name, weights_text(best[0]), name, self.cross_name,
                self.value(best[2][name][1]), alone, other, own, self.cross_name, self.value(before),
                self.value(after), self.judged_slack(before), 'ok' if ok else 'FAILS'))
        return passes

    def run(self):
        rows = self.rows
        self.dumped_m = [r['s'] - r['t'] for r in rows]
        self.head(self.dumped_m)
        self.base = self.figures(rows, self.dumped_m)
        cond = self.worst_cond()
        self.base_worst = worst_pair(rows, self.dumped_m, cond) if cond is not None else None
        _, own = self.setting(rows, self.main_form, self.path.dumped)
        print('main as dumped:  ' + figures_line(self.base))
        print('%s at %s: ' % (self.main_name, self.point_text(self.path.dumped)) + figures_line(own))
        same = all('%.2f' % self.base[c][k] == '%.2f' % own[c][k] for c in ALL_CONDITIONS
                   for k in ('eer', 'far', 'frr'))
        print('%s gives the dumped figures: %s' % (self.main_name, 'yes' if same else 'NO'))
        refitted, _ = self.setting(rows, self.main_form)
        print('%s refitted by the rule: %s' % (self.main_name, self.path.base_text(refitted)))
        self.half_base = {name: self.setting(sel, self.main_form) for name, sel in self.halves}
        self.summary()
        rows_out = []
        for weights in self.settings():
            base, v = self.evaluate(weights)
            rows_out.append((weights, base, v))
            print(self.marked(rows_out[-1]))
        order = lambda r: self.rank(r[0], r[2])
        print('best rows by the order (whether or not they clear)%s:' % (
            ', and what each misses' if self.shows_misses else ''))
        for r in sorted(rows_out, key=order)[:10]:
            print('  ' + (self.marked(r) if self.marks_best else self.text(*r)))
            if self.shows_misses:
                print('    ' + ('; '.join(self.misses(r[2])) or 'nothing'))
        for name, _ in self.halves if self.best_on_halves else ():
            print('best rows on half %s alone:' % name)
            for r in sorted(rows_out, key=lambda r: self.rank(r[0], r[2][name][1]))[:self.best_on_halves]:
                print('  ' + self.text(*r))
        cross = self.cross(rows_out)
        candidates = sorted((r for r in rows_out if self.clears(r[2])), key=order)
        print('clearing: %d, in order:' % len(candidates))
        for r in candidates:
            print('  ' + self.text(*r))
        self.before_choice()
        if not cross:
            print('chosen: none; the cross check fails, nothing ships')
            return
        for weights, base, v in candidates:
            print('checked: ' + self.text(weights, base, v))
            if self.checks(weights, base, v):
                print('chosen: ' + self.text(weights, base, v))
                return
        print('chosen: none passes every check; nothing ships')


def dumped_decisions_differing(rows, dumped_m):
    """The genuine and impostor trials whose decision from the dumped score
    and threshold is not the dumped one."""
    return sum(1 for r, x in zip(rows, dumped_m) if r['kind'] in 'gi' and
               (x <= 0.0 and not r['flag']) != (r['accept'] == '1'))


def print_dumped_decisions(rows, dumped_m):
    print('trials %d; genuine and impostor decisions from the dumped scores and thresholds differing from the '
          'dumped ones: %d' % (len(rows), dumped_decisions_differing(rows, dumped_m)))


def print_path_trials(rows, path, conds=ALL_CONDITIONS):
    print('%s path trials (genuine / impostor / replays): %s' % (path.name, ', '.join(
        '%s %s' % (c, '/'.join(str(sum(1 for r in rows if r['condition'] == c and path.on(r) and r['kind'] == k))
                               for k in 'gir')) for c in conds)))


def weights_text(weights):
    return ','.join(weight_text(w) for w in weights)


def weighted_text(weights, t_w, v):
    c = v['clean']
    return 'w %s T_w %.4f clean EER %.2f FAR %.2f FRR %.2f | A %.4f %.2f/%.2f B %.4f %.2f/%.2f | %s' % (
        weights_text(weights), t_w, c['eer'], c['far'], c['frr'],
        v['A'][0], v['A'][1]['clean']['eer'], v['A'][1]['clean']['frr'],
        v['B'][0], v['B'][1]['clean']['eer'], v['B'][1]['clean']['frr'],
        ' '.join('%s %.2f/%.2f' % (k, v[k]['eer'], v[k]['far']) for k in CUE_CHECKED))


class CleanEerCueGrid(CueGrid):
    """--cue-grid (forty-second round): the weighted path, the clean EER
    judged, the clean FRR not higher."""

    weights = CUE_WEIGHTS
    shows_misses = False
    best_on_halves = 0
    judged_name = 'EER'
    cross_name = 'clean EER'

    def __init__(self, rows):
        super().__init__(rows, WEIGHTED_PATH)

    def head(self, dumped_m):
        rows = self.rows
        scored = [r for r in rows if r['s'] < math.inf]
        worst = max(abs(REPORT.threshold(r, -0.6636, 0.015, 60.0) - r['t']) for r in scored)
        differ = dumped_decisions_differing(rows, dumped_m)
        print('trials %d; scored thresholds recomputed by condition-report.py against the dumped: largest '
              'difference %.6f; genuine and impostor decisions from the dumped scores and thresholds differing from '
              'the dumped ones: %d' % (len(rows), worst, differ))
        print_path_trials(rows, self.path)
        self.scales = cue_scales(rows)
        print('cue spreads over the scored genuine clean trials: duration %.5f, intonation %.5f semitones' %
              self.scales)

    def summary(self):
        for name, _ in self.halves:
            t, f = self.half_base[name]
            print('main on half %s (T_w refitted on it %.4f): clean EER %.2f FAR %.2f FRR %.2f (g %d, i %d), slack '
                  '%.2f' % (name, t, f['clean']['eer'], f['clean']['far'], f['clean']['frr'], f['clean']['g'],
                            f['clean']['i'], slack(f['clean'], 'gi')))
        print('slack: clean EER %.2f; the clean FRR not higher than %.2f' % (slack(self.base['clean'], 'gi'),
                                                                           self.base['clean']['frr']))

    def value(self, v):
        return v['clean']['eer']

    def judged_slack(self, v):
        return slack(v['clean'], 'gi')

    def ranked(self, v):
        return v['clean']['eer'], v['clean']['frr']

    def limits_missed(self, v):
        b, c = self.base['clean'], v['clean']
        return [] if c['frr'] <= b['frr'] + 1e-9 else ['FRR %.2f -> %.2f higher' % (b['frr'], c['frr'])]

    def text(self, weights, t_w, v):
        return weighted_text(weights, t_w, v)


class NoisyCueGrid(CueGrid):
    """--noisy-cue-grid (forty-third round): the noisy path, the mean of
    the three noisy EERs judged (pooled slack), none of them higher than
    its slack nor its FAR up by more than one impostor trial."""

    weights = CUE_WEIGHTS
    checked = NOISY_CUE_CHECKED
    judged_name = 'mean EER'
    cross_name = 'mean noisy EER'

    def __init__(self, rows):
        super().__init__(rows, NOISY_PATH)

    def head(self, dumped_m):
        rows = self.rows
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path, ALL_CONDITIONS + ('replay',))
        self.scales = noisy_cue_scales(rows)
        print('cue spreads over the scored genuine white20, speech20 and white10 trials on the noisy path: duration '
              '%.5f, intonation %.5f semitones' % self.scales)
        caps = noisy_cue_caps(rows)
        print('white10 / speech20 impostors accepted by the main branch: %d / %d' % (caps['white10'],
                                                                                    caps['speech20']))

    def figures(self, rows, m):
        return pooled_noisy_figures(rows, m)

    def summary(self):
        base = self.base
        print('main: mean noisy EER %.2f, mean FRR %.2f; slack: mean EER %.2f (pooled g %d, i %d), %s; FARs: %s' % (
            base['mean eer'], base['mean frr'], pooled_slack(base), base['pooled']['g'], base['pooled']['i'],
            ', '.join('%s EER %.2f' % (c, slack(base[c], 'gi')) for c in NOISY_CONDITIONS),
            ', '.join('%s %d of %d (+1)' % (c, base[c]['fa'], base[c]['i']) for c in NOISY_CONDITIONS)))
        for name, sel in self.halves:
            half_caps = noisy_cue_caps(sel)
            t, f = self.half_base[name]
            print('main on half %s (caps white10 %d speech20 %d, T_u refitted on it %.4f): %s | mean EER %.2f FRR '
                  '%.2f, slack %.2f (pooled g %d, i %d)' % (
                      name, half_caps['white10'], half_caps['speech20'], t,
                      ' '.join('%s %.2f/%.2f/%.2f' % (c, f[c]['eer'], f[c]['far'], f[c]['frr'])
                               for c in NOISY_CONDITIONS),
                      f['mean eer'], f['mean frr'], pooled_slack(f), f['pooled']['g'], f['pooled']['i']))

    def value(self, v):
        return v['mean eer']

    def judged_slack(self, v):
        return pooled_slack(v)

    def ranked(self, v):
        return v['mean eer'], v['mean frr']

    def limits_missed(self, v):
        out = []
        for c in NOISY_CONDITIONS:
            b = self.base[c]
            if v[c]['eer'] > b['eer'] + slack(b, 'gi') + 1e-9:
                out.append('%s EER %.2f -> %.2f' % (c, b['eer'], v[c]['eer']))
            if v[c]['fa'] > b['fa'] + 1:
                out.append('%s FAR %d -> %d impostor trials' % (c, b['fa'], v[c]['fa']))
        return out

    def text(self, weights, t_u, v):
        half = lambda name: '%s %.4f %.2f/%.2f' % (name, v[name][0], v[name][1]['mean eer'], v[name][1]['mean frr'])
        return 'w %.2f,%.2f T_u %.4f | %s | mean EER %.2f FRR %.2f | %s %s | %s' % (
            weights[0], weights[1], t_u,
            ' '.join('%s %.2f/%.2f/%.2f' % (c, v[c]['eer'], v[c]['far'], v[c]['frr']) for c in NOISY_CONDITIONS),
            v['mean eer'], v['mean frr'], half('A'), half('B'),
            ' '.join('%s %.2f/%.2f' % (c, v[c]['eer'], v[c]['far']) for c in NOISY_CUE_CHECKED))

    def before_choice(self):
        print('each cue alone:')
        cue_separation(self.rows)


class FrrCueGrid(CueGrid):
    """The path's condition's FRR at the refitted point judged (forty-fourth
    round on): its EER not higher than its slack, its FAR up by one impostor
    trial at most; a clearing setting's worst pair of that condition no
    worse than main's."""

    judged_name = 'FRR'

    def worst_cond(self):
        return self.path.cond

    def value(self, v):
        return v[self.path.cond]['frr']

    def judged_slack(self, v):
        return slack(v[self.path.cond], 'g')

    def ranked(self, v):
        p = v[self.path.cond]
        return p['frr'], p['eer']

    def limits_missed(self, v):
        p, b = v[self.path.cond], self.base[self.path.cond]
        out = []
        if p['eer'] > b['eer'] + slack(b, 'gi') + 1e-9:
            out.append('EER %.2f -> %.2f higher by more than %.2f' % (b['eer'], p['eer'], slack(b, 'gi')))
        if p['fa'] > b['fa'] + 1:
            out.append('FAR %d -> %d impostor trials' % (b['fa'], p['fa']))
        return out

    def cross_at(self, alone, own):
        return ' at ' + self.point_text(alone), ' at its own ' + self.path.base_text(own)

    def refitted_on_half(self, base):
        return 'refitted on it ' + self.path.base_text(base)

    def summary(self):
        k, b, w = self.path.cond, self.base[self.path.cond], self.base_worst
        print('main: %s EER %.2f FAR %.2f (%d of %d) FRR %.2f (g %d); slack: FRR %.2f, EER %.2f, FAR %d impostor '
              'trials + 1; worst %s pair %.1f %% (%s\'s %s by %s, %d of %d)' % (
                  k, b['eer'], b['far'], b['fa'], b['i'], b['frr'], b['g'], slack(b, 'g'), slack(b, 'gi'), b['fa'],
                  k, w[0], w[3][0], w[3][1], w[3][2], w[1], w[2]))
        for name, _ in self.halves:
            at, f = self.half_base[name]
            print('main on half %s (%s): %s EER %.2f FAR %.2f FRR %.2f (g %d, i %d), FRR slack %.2f' % (
                name, self.refitted_on_half(at), k, f[k]['eer'], f[k]['far'], f[k]['frr'], f[k]['g'], f[k]['i'],
                slack(f[k], 'g')))


class CleanFrrCueGrid(FrrCueGrid):
    """--cue-frr-grid (forty-fourth round): the weighted path with the
    forty-second round's scales fixed, the clean FRR judged."""

    cross_name = 'clean FRR'

    def __init__(self, rows):
        super().__init__(rows, WEIGHTED_PATH)

    def head(self, dumped_m):
        rows = self.rows
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path)
        self.scales = CUE_FRR_SCALES
        print('cue scales: duration %.5f, intonation %.5f semitones; recomputed from these dumps %.5f, %.5f' % (
            self.scales + cue_scales(rows)))

    def refitted_on_half(self, base):
        return 'T_w refitted on it %.4f' % base

    def text(self, weights, t_w, v):
        return weighted_text(weights, t_w, v)


class PathFrrCueGrid(FrrCueGrid):
    """--line-cue-grid (forty-fifth round) and --held-cue-grid (forty-sixth):
    the cues on the line's path or the clean unweighted one, s each cue's
    spread over the path's scored genuine trials; every other condition
    checked."""

    def __init__(self, rows, path):
        super().__init__(rows, path)
        self.checked = path.others
        self.cross_name = '%s FRR' % path.cond

    def head(self, dumped_m):
        rows = self.rows
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path)
        self.scales = path_cue_scales(rows, self.path)
        print('cue spreads over the scored genuine trials on the %s path: duration %.5f, intonation %.5f semitones' %
              ((self.path.name,) + self.scales))

    def point_text(self, base):
        return self.path.base_text(base)

    def text(self, weights, base, v):
        path = self.path
        p, k = v[path.cond], path.cond
        return 'w %s,%s %s %s EER %.2f FAR %.2f (%d) FRR %.2f | A %s %.2f/%.2f B %s %.2f/%.2f' % (
            weight_text(weights[0]), weight_text(weights[1]), path.base_text(base), k, p['eer'], p['far'], p['fa'],
            p['frr'], path.base_text(v['A'][0]), v['A'][1][k]['eer'], v['A'][1][k]['frr'],
            path.base_text(v['B'][0]), v['B'][1][k]['eer'], v['B'][1][k]['frr'])


class ColumnIntonationFrrCueGrid(CleanFrrCueGrid):
    """--cue-frr-grid --intonation-column (forty-seventh round): the
    weighted path's intonation read from another column of the shipped
    engine's dumps in place of the one it ships, judged as --cue-frr-grid
    judges the shipped cues. Main's form is the shipped one, recomputed
    from the same trial's spectral score (the dumped one less the shipped
    cue term); a setting (w_dur, w_int) weighs the duration and the
    column."""

    main_form = None   # the shipped cues, not a setting of the grid
    main_name = 'main (%s, %s with cue_int)' % SHIPPED_CUE_WEIGHTS

    def __init__(self, rows, column):
        super().__init__(rows)
        self.path, self.column = SHIPPED_WEIGHTED_PATH, column
        for r in rows:
            r['alt'] = float(r[column])

    def head(self, dumped_m):
        rows = self.rows
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path)
        g = [r['alt'] for r in rows if r['condition'] == 'clean' and self.path.on(r) and r['kind'] == 'g' and
             r['s'] < math.inf]
        self.scales = (CUE_FRR_SCALES[0], round(statistics.pstdev(g), 5))
        print('scales: duration %.5f (fixed); %s %.5f semitones, its spread over the %d scored genuine clean '
              'trials on the weighted path' % (self.scales[0], self.column, self.scales[1], len(g)))

    def score(self, r, weights):
        """A weighted trial's score: its spectral part (the dumped score
        less the shipped cue term) plus the cues of weights (None: the
        shipped ones)."""
        shipped = sum(w * c / s for w, c, s in zip(SHIPPED_CUE_WEIGHTS, r['cue'], CUE_FRR_SCALES))
        spectral = r['s'] - shipped
        if weights is None:
            return spectral + shipped
        return spectral + weights[0] * r['cue'][0] / self.scales[0] + weights[1] * r['alt'] / self.scales[1]

    def cuts(self, rows, weights):
        return [self.score(r, weights) - (r['t'] - self.path.dumped) if self.path.on(r) else r['s'] - r['t']
                for r in rows]


CONTOUR_CUE_WEIGHTS = (0.0, 0.025, 0.05, 0.1, 0.15)
CONTOUR_CUE_COLUMNS = ('cue_loud', 'cue_int_path', 'cue_voiced')
LINEAR_MELODY_WEIGHTS = (0.05, 0.0)   # the shipped linear melody kept, or the path melody in its place


class ContourCueFrrGrid(CleanFrrCueGrid):
    """--cue-frr-grid --contour-cues (forty-ninth round): the loudness
    contour, the melody along the DTW path and the voiced share on the
    weighted path beside the shipped duration, with the shipped linear
    melody or without it, judged as --cue-frr-grid judges the shipped
    cues. A setting is (w_e, w_m, w_v, w_int); main's form is the shipped
    one, (0, 0, 0, 0.05)."""

    weights = CONTOUR_CUE_WEIGHTS
    main_form = (0.0, 0.0, 0.0, SHIPPED_CUE_WEIGHTS[1])
    main_name = 'main (0, 0, 0 with w_int %s)' % SHIPPED_CUE_WEIGHTS[1]

    def __init__(self, rows):
        super().__init__(rows)
        self.path = SHIPPED_WEIGHTED_PATH
        for r in rows:
            r['more'] = tuple(float(r[k]) for k in CONTOUR_CUE_COLUMNS)

    def settings(self):
        return [(we, wm, wv, wi) for wi in LINEAR_MELODY_WEIGHTS for we in self.weights for wm in self.weights
                for wv in self.weights]

    def tiebreak(self, weights):
        return tuple(weights)

    def head(self, dumped_m):
        rows = self.rows
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path)
        g = [r['more'] for r in rows if r['condition'] == 'clean' and self.path.on(r) and r['kind'] == 'g' and
             r['s'] < math.inf]
        self.scales = tuple(round(statistics.pstdev(c[k] for c in g), 5) for k in range(len(CONTOUR_CUE_COLUMNS)))
        print('scales over the %d scored genuine clean trials on the weighted path: %s' % (
            len(g), ', '.join('%s %.5f' % kv for kv in zip(CONTOUR_CUE_COLUMNS, self.scales))))

    def score(self, r, weights):
        """A weighted trial's score: the dumped one with the linear
        melody's weight moved to w_int and the three cues added."""
        we, wm, wv, wi = weights
        linear = (wi - SHIPPED_CUE_WEIGHTS[1]) * r['cue'][1] / CUE_FRR_SCALES[1]
        return r['s'] + linear + sum(w * c / s for w, c, s in zip((we, wm, wv), r['more'], self.scales))

    def cuts(self, rows, weights):
        return [self.score(r, weights) - (r['t'] - self.path.dumped) if self.path.on(r) else r['s'] - r['t']
                for r in rows]


CONTOUR_CUE_SCALES = (0.90653, 1.39877, 0.07966)   # the forty-ninth round's spreads on the digits, fixed


class ContourCueConfirm(ContourCueFrrGrid):
    """--cue-confirm W_E,W_M,W_V,W_INT,T_W (sixty-first round): one setting
    of the forty-ninth round's form, fixed with its scales and base as
    fitted on the digits (nothing refitted), against main's shipped form
    at -0.2984 on dumps no setting was chosen on. It passes if the clean
    FRR at the shipped point is lower than main's by more than its slack,
    and the clean FAR and EER and the soft12, reverberation and telephone
    EERs and FARs are not higher than main's by more than theirs; the
    halves and the worst clean pair are reported beside, not judged."""

    checked = ('clean',) + CUE_CHECKED

    def __init__(self, rows, weights, t_w):
        super().__init__(rows)
        self.scales = CONTOUR_CUE_SCALES
        self.confirmed, self.t_w = weights, t_w

    def margins(self, rows, weights, base):
        return path_cue_margins(rows, self.path, self.cuts(rows, weights), base)

    def print_figures(self, name, v):
        for cond in ALL_CONDITIONS:
            f = v[cond]
            print('  %-6s %-8s EER %5.2f FAR %5.2f (%d of %d) FRR %6.2f (%d of %d refused)' % (
                name, cond, f['eer'], f['far'], f['fa'], f['i'], f['frr'], round(f['frr'] * f['g'] / 100.0), f['g']))

    def print_worst(self, name, rows, m):
        share, a, n, key = worst_pair(rows, m)
        print('  %-6s worst clean pair %.1f %% (%s\'s %s by %s, %d of %d)' % ((name, share) + key + (a, n)))

    def print_turned(self, rows, main_m, new_m):
        """The trials whose decision the setting turns, by condition and
        side: now accepted, now refused."""
        accepted = lambda r, x: x <= 0.0 and not r['flag']
        for cond in ALL_CONDITIONS:
            turned = {(k, now): 0 for k in 'gi' for now in (True, False)}
            for r, x, y in zip(rows, main_m, new_m):
                if r['condition'] == cond and r['kind'] in 'gi' and accepted(r, x) != accepted(r, y):
                    turned[(r['kind'], accepted(r, y))] += 1
            if any(turned.values()):
                print('  turned, %-8s genuine %d now accepted, %d now refused; impostor %d now accepted, %d now '
                      'refused' % (cond, turned[('g', True)], turned[('g', False)], turned[('i', True)],
                                   turned[('i', False)]))

    def judged(self, base, v):
        b, c = base['clean'], v['clean']
        out = [('clean FRR lower (slack %.2f)' % slack(b, 'g'), b['frr'], c['frr'],
                c['frr'] < b['frr'] - slack(b, 'g') - 1e-9)]
        return out + condition_checks(base, v, self.checked)

    def run(self):
        rows = self.rows
        dumped_m = [r['s'] - r['t'] for r in rows]
        print_dumped_decisions(rows, dumped_m)
        print_path_trials(rows, self.path)
        print('scales (fixed): %s' % ', '.join('%s %.5f' % kv for kv in zip(CONTOUR_CUE_COLUMNS, self.scales)))
        base = self.figures(rows, dumped_m)
        main_m = self.margins(rows, self.main_form, self.path.dumped)
        own = self.figures(rows, main_m)
        same = all('%.2f' % base[c][k] == '%.2f' % own[c][k] for c in ALL_CONDITIONS for k in ('eer', 'far', 'frr'))
        print('%s at %s gives the dumped figures: %s' % (self.main_name, self.point_text(self.path.dumped),
                                                         'yes' if same else 'NO'))
        setting = 'w %s T_w %.4f' % (weights_text(self.confirmed), self.t_w)
        for part, sel in [('all', rows)] + self.halves:
            print('%s (%s):' % ('all speakers' if part == 'all' else 'half %s' % part,
                                ', '.join(sorted({r['model_speaker'] for r in sel}))))
            main_v = self.figures(sel, self.margins(sel, self.main_form, self.path.dumped))
            new_m = self.margins(sel, self.confirmed, self.t_w)
            self.print_figures('main', main_v)
            self.print_figures('set', self.figures(sel, new_m))
            self.print_worst('main', sel, self.margins(sel, self.main_form, self.path.dumped))
            self.print_worst('set', sel, new_m)
        new_m = self.margins(rows, self.confirmed, self.t_w)
        self.print_turned(rows, main_m, new_m)
        v = self.figures(rows, new_m)
        print('the rule, %s against main at %s, all speakers:' % (setting, self.point_text(self.path.dumped)))
        print_checks(self.judged(base, v), 44)


def cue_confirm(rows, text):
    values = tuple(float(x) for x in text.split(','))
    ContourCueConfirm(rows, values[:4], values[4]).run()


def cue_engine_check(rows, text, dumps, built_dumps):
    """The engine built with the cues on the weighted path against the
    offline setting (the fixed scales), trial by trial."""
    wd, wi, t_w = (float(x) for x in text.split(','))
    cue_score = lambda r: r['s'] + wd * r['cue'][0] / CUE_FRR_SCALES[0] + wi * r['cue'][1] / CUE_FRR_SCALES[1]
    path_engine_check(rows, dumps, built_dumps, 'weighted', lambda r: r['weighted'], cue_score,
                      t_w - CUE_T_WEIGHTED, 'w %s,%s T_w %.4f' % (weight_text(wd), weight_text(wi), t_w))


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('dumps', nargs='+')
    ap.add_argument('--check', action='store_true')
    ap.add_argument('--grid', action='store_true')
    ap.add_argument('--show', action='append', default=[], help='FORM,G or split,GN,GF: that setting\'s checks')
    ap.add_argument('--noisy-grid', action='store_true')
    ap.add_argument('--noisy-show', action='append', default=[], help='GN,GF: that noisy-path setting\'s checks')
    ap.add_argument('--noisy-engine', nargs='+', metavar='GN,GF,T_U DUMP',
                    help='the engine built with that setting, its dumps of the same trials')
    ap.add_argument('--soft-held-grid', action='store_true')
    ap.add_argument('--soft-held-show', action='append', default=[], help='S,GN,GF: that setting\'s checks')
    ap.add_argument('--distance-grid', action='store_true')
    ap.add_argument('--distance-engine', nargs='+', metavar='GD,GN,T_W DUMP',
                    help='the engine built with that setting on the weighted path, its dumps of the same trials')
    ap.add_argument('--noisy-distance-grid', action='store_true')
    ap.add_argument('--noisy-distance-engine', nargs='+', metavar='GD,GN,T_U DUMP',
                    help='the engine built with that setting on the noisy path, its dumps of the same trials')
    ap.add_argument('--noise-match-grid', nargs='+', metavar='TRIAL_DUMP',
                    help='the trial build\'s dumps of the same trials, the noisy path matched to the take\'s noise')
    ap.add_argument('--own-threshold-grid', nargs='+', metavar='TRIAL_DUMP',
                    help='the same trial dumps: the matched takes held to a base and slope of their own')
    ap.add_argument('--gate', choices=OWN_GATES, default='G2',
                    help='--own-threshold-grid\'s gate: G2 also asks 10 dB under the enrolment, G1 does not')
    ap.add_argument('--excess-gate', metavar='X0,...',
                    help='--own-threshold-grid: G1 and the take\'s noise X0 dB or more over the model\'s own '
                         '(the trial dumps\' noise_excess), one setting per X0')
    ap.add_argument('--main-level', metavar='C,X0,T_U',
                    help='--own-threshold-grid: main\'s dumps carry the give-back c under X0 dB of excess at the '
                         'unweighted base T_U (sixty-third round); unmatched trials keep it')
    ap.add_argument('--excess-from-main', action='store_true',
                    help='--excess-gate: the gate reads main\'s noise_excess column, checked against the trial '
                         'dumps\' within 1e-3 dB')
    ap.add_argument('--matched-move', metavar='ENROL_LOG',
                    help='--own-threshold-grid --excess-gate: the matched threshold N2 alone, without the noise '
                         'figure\'s term and with a x (min(e_m, i_m) - M), the model\'s own move under the matching '
                         'from this log\'s "matched copy parts" (sixty-sixth round)')
    ap.add_argument('--move-share', metavar='A,...', default='0.5,1,1.5', help='--matched-move: the values of a')
    ap.add_argument('--move-figure', choices=('min', 'copy', 'take', 'curve'), default='min',
                    help='--matched-move: min, N2\'s a x (min(e_m, i_m) - M); copy, N3\'s a x (D - M_D), D the takes\' '
                         'mean of matched copy less unmatched copy (sixty-seventh round); take (no log needed), '
                         'N4\'s a x (D_t - M_t), D_t the trial dumps\' take_move (sixty-eighth round); curve, N5\'s '
                         'a x (D_c - M_c), D_c the model\'s "matched move curve" from this log read at the trial\'s '
                         'noise_excess (seventy-third round)')
    ap.add_argument('--own-bounds', metavar='K,...', help='--own-threshold-grid: the values of K')
    ap.add_argument('--own-terms', choices=('N0', 'N1'),
                    help='--own-threshold-grid: that threshold term alone in the grid')
    ap.add_argument('--matched-offsets', nargs='+', metavar='D=DUMP,...',
                    help='--own-threshold-grid --excess-gate: the matched score from these dumps, one grid '
                         'dimension value per D (seventy-sixth round)')
    ap.add_argument('--own-slopes', metavar='S_M,...', help='--own-threshold-grid: the values of s_m')
    ap.add_argument('--level-knees', metavar='L0,...',
                    help='--own-threshold-grid --excess-gate --level-slopes: a matched trial held stricter by '
                         'b x max(0, L - L0), L minus the take\'s snr; the values of L0 (seventy-seventh round)')
    ap.add_argument('--level-slopes', metavar='B,...', help='--level-knees: the values of b')
    ap.add_argument('--unmatched-shifts', metavar='D,...',
                    help='--own-threshold-grid --excess-gate: a noisy-path take under K the gate leaves unmatched '
                         'held d stricter on main\'s threshold; the values of d (seventy-eighth round)')
    ap.add_argument('--shift-shape-gates', metavar='G,...',
                    help='--unmatched-shifts: shift only a take whose enrol_noise_shape (a column of the '
                         '--own-threshold-grid dumps) lies over G dB; the values of G (eighty-first round)')
    ap.add_argument('--impostor-caps', metavar='SHARE', type=float,
                    help='--own-threshold-grid: each noisy condition\'s cap SHARE of its impostor trials alone '
                         '(not main\'s count), in each half its own; a limit the trials off the moved base already '
                         'overspend admits no matched impostor instead of no base (eighty-third round)')
    ap.add_argument('--own-engine', nargs='+', metavar='T_M DUMP',
                    help='--own-threshold-grid with one setting: the engine built with it at base T_M '
                         '(eighty-second round)')
    ap.add_argument('--hold-unshifted-base', action='store_true',
                    help='--unmatched-shifts: hold each setting\'s T_m (and each half\'s) at its refit without '
                         'the shift (seventy-ninth round)')
    ap.add_argument('--matched-parts', metavar='K,S_M,TERM,X0,T_M',
                    help='--own-threshold-grid\'s dumps: that excess-gated setting\'s margins split into the '
                         'score\'s terms and the threshold against main\'s, and which part turns the trials that '
                         'change side (sixty-fifth round) instead of the grid')
    ap.add_argument('--level-allowance', metavar='C,...',
                    help='the unweighted path\'s snr term less c x its part above the model\'s own level, one '
                         'setting per c, its base refitted (main\'s dumps alone)')
    ap.add_argument('--level-excess', metavar='X0,...',
                    help='--level-allowance: the change only for a take whose noise_excess (--excess-dumps) is '
                         'under X0 dB, one setting per c and X0')
    ap.add_argument('--by-corpus', action='store_true',
                    help='--own-threshold-grid: each checked setting\'s noisy EERs on each half\'s corpora beside it '
                         '(recorded, not a check), whatever its threshold term')
    ap.add_argument('--hold-untouched-half', action='store_true',
                    help='--level-allowance / --own-threshold-grid: a half in which a setting moves no trial is '
                         'asked only not to be worse than main (sixty-third round)')
    ap.add_argument('--level-engine', nargs='+', metavar='C,X0,T_U DUMP',
                    help='the engine built with that level-allowance setting, its dumps of the same trials '
                         '(with --excess-dumps)')
    ap.add_argument('--excess-dumps', nargs='+', metavar='TRIAL_DUMP',
                    help='a trial build\'s dumps of the same trials, read for their noise_excess only')
    ap.add_argument('--cue-grid', action='store_true')
    ap.add_argument('--noisy-cue-grid', action='store_true')
    ap.add_argument('--cue-frr-grid', action='store_true')
    ap.add_argument('--intonation-column', help='with --cue-frr-grid, on the dumps of the engine that ships the '
                    'cues: the weighted path\'s intonation read from this column instead (cue_int_fold)')
    ap.add_argument('--contour-cues', action='store_true', help='with --cue-frr-grid, on the dumps of the engine '
                    'that ships the cues: the loudness contour, the melody along the DTW path and the voiced share '
                    'beside them (forty-ninth round)')
    ap.add_argument('--line-cue-grid', action='store_true')
    ap.add_argument('--held-cue-grid', action='store_true')
    ap.add_argument('--cue-confirm', metavar='W_E,W_M,W_V,W_INT,T_W',
                    help='one setting of --contour-cues\' form, its scales and base fixed, judged against main on '
                         'dumps of trials it was not chosen on')
    ap.add_argument('--cue-engine', nargs='+', metavar='W_DUR,W_INT,T_W DUMP',
                    help='the engine built with the cues on the weighted path, its dumps of the same trials')
    a = ap.parse_args()
    if a.cue_confirm:
        cue_confirm(read_cue_rows(a.dumps, a.enrol_log), a.cue_confirm)
        return
    if a.cue_frr_grid or a.cue_engine:
        rows = read_cue_rows(a.dumps, a.enrol_log)
        if a.cue_frr_grid and a.contour_cues:
            ContourCueFrrGrid(rows).run()
        elif a.cue_frr_grid and a.intonation_column:
            ColumnIntonationFrrCueGrid(rows, a.intonation_column).run()
        elif a.cue_frr_grid:
            CleanFrrCueGrid(rows).run()
        if a.cue_engine:
            cue_engine_check(rows, a.cue_engine[0], a.dumps, a.cue_engine[1:])
        return
    if a.line_cue_grid or a.held_cue_grid:
        PathFrrCueGrid(read_cue_rows(a.dumps, a.enrol_log), LINE_PATH if a.line_cue_grid else HELD_PATH).run()
        return
    if a.cue_grid:
        CleanEerCueGrid(read_cue_rows(a.dumps, a.enrol_log)).run()
        return
    if a.noisy_cue_grid:
        NoisyCueGrid(read_cue_rows(a.dumps, a.enrol_log)).run()
        return
    if a.level_allowance and not a.own_threshold_grid:
        rows = read_match_rows(a.dumps, None, a.enrol_log)
        gates = None
        if a.level_excess:
            gates = tuple(float(x) for x in a.level_excess.split(','))
            read_excess(rows, a.excess_dumps or [], gates)
        level_allowance_grid(rows, tuple(float(x) for x in a.level_allowance.split(',')), gates,
                             a.hold_untouched_half)
        return
    if a.level_engine:
        rows = read_match_rows(a.dumps, None, a.enrol_log)
        read_excess(rows, a.excess_dumps or [], (float(a.level_engine[0].split(',')[1]),))
        level_engine_check(rows, a.level_engine[0], a.dumps, a.level_engine[1:])
        return
    if a.own_threshold_grid:
        excess = tuple(float(x) for x in a.excess_gate.split(',')) if a.excess_gate else None
        if a.main_level:
            set_main_level(a.main_level)
        rows = read_match_rows(a.dumps, a.own_threshold_grid, a.enrol_log)
        if a.excess_from_main:
            excess_from_main(rows)
        if a.matched_parts:
            matched_parts(rows, a.own_threshold_grid, a.matched_parts)
            return
        global OWN_BOUNDS, OWN_SLOPES, OWN_TERMS, OWN_BY_CORPUS, OWN_HOLD_UNSHIFTED_BASE, OWN_CAP_ONLY_SHARE
        global OVERSPENT_ADMITS_NONE
        OWN_BY_CORPUS = a.by_corpus
        if a.impostor_caps is not None:
            OWN_CAP_ONLY_SHARE = a.impostor_caps
            OVERSPENT_ADMITS_NONE = True
        if a.own_bounds:
            OWN_BOUNDS = tuple(float(x) for x in a.own_bounds.split(','))
        if a.own_slopes:
            OWN_SLOPES = tuple(float(x) for x in a.own_slopes.split(','))
        if a.move_figure == 'take':
            if not excess:
                raise SystemExit('--move-figure take needs --excess-gate')
            OWN_TERMS = ('N4',)
            set_take_moves(tuple(float(x) for x in a.move_share.split(',')), rows)
        elif a.move_figure == 'curve':
            if not excess or not a.matched_move:
                raise SystemExit('--move-figure curve needs --excess-gate and --matched-move')
            OWN_TERMS = ('N5',)
            set_curve_moves(a.matched_move, tuple(float(x) for x in a.move_share.split(',')), rows)
        elif a.matched_move:
            if not excess:
                raise SystemExit('--matched-move needs --excess-gate')
            OWN_TERMS = ('N3',) if a.move_figure == 'copy' else ('N2',)
            set_matched_moves(a.matched_move, tuple(float(x) for x in a.move_share.split(',')), rows, OWN_SLOPES,
                              OWN_TERMS[0])
        offsets = (None,)
        if a.matched_offsets:
            if not excess:
                raise SystemExit('--matched-offsets needs --excess-gate')
            offsets = read_matched_offsets(rows, a.dumps, a.matched_offsets, a.enrol_log)
        if a.own_terms:
            OWN_TERMS = (a.own_terms,)
        levels = (None,)
        if a.level_knees or a.level_slopes:
            if not (a.level_knees and a.level_slopes and excess):
                raise SystemExit('--level-knees and --level-slopes go together, with --excess-gate')
            levels = tuple((float(k), float(b)) for k in a.level_knees.split(',') for b in a.level_slopes.split(','))
            print('level term: b x max(0, L - L0), L0 in %s dB, b in %s' % (a.level_knees, a.level_slopes))
        shifts = (None,)
        if a.unmatched_shifts:
            if not excess:
                raise SystemExit('--unmatched-shifts needs --excess-gate')
            shifts = tuple(float(d) for d in a.unmatched_shifts.split(','))
            print('unmatched shift: a noisy-path take under K but under X0 held d stricter, d in %s' %
                  a.unmatched_shifts)
            if a.shift_shape_gates:
                trial = raw_rows(a.own_threshold_grid)
                for r in rows:
                    r['enrol_noise_shape'] = float(trial[r['key']]['enrol_noise_shape'])
                shifts = tuple((d, float(g)) for d in shifts for g in a.shift_shape_gates.split(','))
                print('the shift only where enrol_noise_shape is over G dB, G in %s' % a.shift_shape_gates)
            if a.hold_unshifted_base:
                OWN_HOLD_UNSHIFTED_BASE = True
                print('T_m held at each setting\'s refit without the shift')
        elif a.shift_shape_gates or a.hold_unshifted_base:
            raise SystemExit('--shift-shape-gates and --hold-unshifted-base need --unmatched-shifts')
        own_threshold_grid(rows, a.gate, excess, a.hold_untouched_half, offsets, levels, shifts)
        if a.own_engine:
            if not (excess and len(excess) == 1 and len(OWN_BOUNDS) == 1 and len(OWN_SLOPES) == 1 and
                    len(OWN_TERMS) == 1 and len(shifts) == 1):
                raise SystemExit('--own-engine needs one value of each of the grid\'s options')
            use_unmatched_shift(shifts[0])
            own_engine_check(rows, (OWN_BOUNDS[0], OWN_SLOPES[0], OWN_TERMS[0], excess[0]), float(a.own_engine[0]),
                             a.dumps, a.own_threshold_grid, a.own_engine[1:])
        return
    if a.noise_match_grid:
        noise_match_grid(read_match_rows(a.dumps, a.noise_match_grid, a.enrol_log))
        return
    if a.noisy_distance_grid or a.noisy_distance_engine:
        rows = read_main_rows(a.dumps, a.enrol_log)
        if a.noisy_distance_grid:
            noisy_distance_grid(rows)
        if a.noisy_distance_engine:
            noisy_distance_engine_check(rows, a.noisy_distance_engine[0], a.dumps, a.noisy_distance_engine[1:])
        return
    if a.soft_held_grid or a.distance_grid or a.distance_engine:
        trials = read_split_engine(a.dumps, a.enrol_log)
    else:
        trials = GW.read(a.dumps, a.enrol_log, set(GW.TUNING.split(',')))
    attach_voices(trials, a.dumps)
    print('trials: %d' % len(trials))
    if a.check:
        check(trials)
    if a.grid:
        grid(trials, a.show)
    if a.noisy_grid:
        noisy_grid(trials, a.noisy_show)
    if a.noisy_engine:
        noisy_engine_check(trials, a.noisy_engine[0], a.dumps, a.noisy_engine[1:], a.enrol_log)
    if a.soft_held_grid:
        soft_held_grid(trials, a.soft_held_show)
    if a.distance_grid:
        distance_grid(trials)
    if a.distance_engine:
        distance_engine_check(trials, a.distance_engine[0], a.dumps, a.distance_engine[1:], a.enrol_log)


if __name__ == '__main__':
    main()
