#!/usr/bin/env python3
"""Leave-one-speaker-out report over sonvera-eval --dump files.

Each file is one condition of the tuning split. Prints the EER of each
condition, the pooled EER with the FRR at 0.5 % pooled FAR, and for every
speaker left out in turn: the EER of the trials involving it, and the FAR and
FRR on them at the 0.5 %-FAR threshold chosen on the other speakers' trials
(does the operating point carry over to a new voice?). Last, the threshold
at 1 % FAR of the first file alone (the speakers at their own level): the
shipped threshold is the smallest of these over the tuning splits.

Optional FUSE=w0,w1,w2,w3 recomputes the fused score from the four distances
(scales 25, 10, 12, 0.085) instead of taking the engine's.
"""
import csv
import math
import os
import sys

SCALES = (25.0, 10.0, 12.0, 0.085)
REFUSED = 1e8          # sonvera-eval's score of a take refused before scoring
TARGET_FAR = 0.005
OPERATING_FAR = 0.01


def score(row):
    if float(row['score']) >= REFUSED:
        return math.inf
    fuse = os.environ.get('FUSE')
    if not fuse:
        return float(row['score'])
    weights = [float(w) for w in fuse.split(',')]
    return sum(w * float(row['d%d' % p]) / SCALES[p] for p, w in enumerate(weights))


def load(path):
    rows = [r for r in csv.DictReader(open(path)) if r['kind'] in ('g', 'i')]
    for r in rows:
        r['s'] = score(r)
    return rows


def eer(genuine, impostor):
    if not genuine or not impostor:
        return float('nan')
    trials = sorted([(s, 0) for s in genuine] + [(s, 1) for s in impostor])
    accepted_g = accepted_i = 0
    best_gap, result = 2.0, 0.0
    for _, is_impostor in trials:
        if is_impostor:
            accepted_i += 1
        else:
            accepted_g += 1
        frr = 1.0 - accepted_g / len(genuine)
        far = accepted_i / len(impostor)
        if abs(frr - far) < best_gap:
            best_gap, result = abs(frr - far), (frr + far) / 2
    return 100.0 * result


def threshold_at_far(impostor, far=TARGET_FAR):
    ordered = sorted(impostor)
    k = int(math.floor(far * len(ordered)))
    return ordered[k] - 1e-9 if k < len(ordered) else math.inf


def rates(genuine, impostor, threshold):
    far = 100.0 * sum(s <= threshold for s in impostor) / max(1, len(impostor))
    frr = 100.0 * sum(s > threshold for s in genuine) / max(1, len(genuine))
    return far, frr


def split(rows):
    return [r['s'] for r in rows if r['kind'] == 'g'], [r['s'] for r in rows if r['kind'] == 'i']


def main(paths):
    conditions = [load(p) for p in paths]
    eers = [eer(*split(c)) for c in conditions]
    rows = [r for c in conditions for r in c]
    genuine, impostor = split(rows)
    threshold = threshold_at_far(impostor)
    _, frr = rates(genuine, impostor, threshold)
    print('EER per condition: %s  mean+worst=%.2f  pooled EER %.2f  threshold@0.5%%FAR=%.3f FRR=%.2f'
          % (' / '.join('%.2f' % e for e in eers), sum(eers) / len(eers) + max(eers), eer(genuine, impostor),
             threshold, frr))
    left_out = []
    for speaker in sorted(set(r['model_speaker'] for r in rows)):
        involved = [r for r in rows if speaker in (r['model_speaker'], r['test_speaker'])]
        others = [r for r in rows if speaker not in (r['model_speaker'], r['test_speaker'])]
        g, i = split(involved)
        far, frr = rates(g, i, threshold_at_far(split(others)[1]))
        left_out.append((speaker, eer(g, i), far, frr))
    print('left out: ' + '  '.join('%s EER %.2f FAR %.2f FRR %.2f' % x for x in left_out))
    for k, name in ((1, 'EER'), (2, 'FAR'), (3, 'FRR')):
        values = [x[k] for x in left_out]
        print('  %s mean %.2f worst %.2f' % (name, sum(values) / len(values), max(values)))
    genuine, impostor = split(conditions[0])
    threshold = threshold_at_far(impostor, OPERATING_FAR)
    far, frr = rates(genuine, impostor, threshold)
    print('own level: threshold@1%%FAR=%.3f FAR=%.2f FRR=%.2f' % (threshold, far, frr))


if __name__ == '__main__':
    if len(sys.argv) < 2:
        sys.exit('usage: loso-report.py DUMP.csv [DUMP.csv ...]')
    main(sys.argv[1:])
