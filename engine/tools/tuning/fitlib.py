"""What the offline fits share: a sibling script's functions, the arguments
and trials of the tuning protocol's dumps, each model's enrolment snr, the
figures a rule checks as one line of text."""
import argparse
import csv
import os
import runpy
import statistics
import types

HERE = os.path.dirname(os.path.abspath(__file__))


def sibling(name):
    """A sibling script's functions (its name has dashes: no import)."""
    return types.SimpleNamespace(**runpy.run_path(os.path.join(HERE, name)))


def parser(speakers=None):
    """The arguments of every fit; each adds its own. speakers: the
    default speaker list (required when None)."""
    ap = argparse.ArgumentParser()
    ap.add_argument('--speakers', required=speakers is None, default=speakers)
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('dumps', nargs='+')
    return ap


def trial_rows(args):
    """The genuine and impostor trials among the given speakers."""
    speakers = set(args.speakers.split(','))
    return [r for p in args.dumps for r in csv.DictReader(open(p))
            if r['model_speaker'] in speakers and r['test_speaker'] in speakers and r['kind'] in 'gi']


def impostor_pairs(rows, m, cond):
    """Per model (a speaker's word) and impostor speaker, [accepted, trials]
    over the impostor takes of cond at margins m (accepted: margin <= 0 and
    not flagged as a replay)."""
    pairs = {}
    for r, x in zip(rows, m):
        if r['condition'] == cond and r['kind'] == 'i':
            p = pairs.setdefault((r['model_speaker'], r['word'], r['test_speaker']), [0, 0])
            p[0] += x <= 0.0 and not r['flag']
            p[1] += 1
    return pairs


def enrol_log(path):
    """Each model's enrolment takes' snr, from the "enrolment snr:" lines
    sonvera-eval writes to stderr with --dump."""
    snr = {}
    for line in open(path):
        if line.startswith('enrolment snr:'):
            p = line.split()
            snr[(p[2], p[3])] = [float(x) for x in p[4:]]
    return snr


def mean_enrol(path):
    return {k: statistics.mean(v) for k, v in enrol_log(path).items()}


def figures_text(v):
    """The figures a fit's rule checks, as one line: the clean EER, FAR and
    FRR, each condition's EER, the halves' clean EERs, the noisy FARs."""
    c = v['clean']
    return ('clean EER %.2f FAR %.2f FRR %.2f | EER white20 %.2f speech20 %.2f soft12 %.2f phone %.2f '
            'reverb %.2f white10 %.2f | halves %.2f / %.2f | FAR white10 %.2f speech20 %.2f' % (
                c['eer'], c['far'], c['frr'], v['white20']['eer'], v['speech20']['eer'], v['soft12']['eer'],
                v['phone']['eer'], v['reverb']['eer'], v['white10']['eer'], v['halves'][0], v['halves'][1],
                v['white10']['far'], v['speech20']['far']))


def print_checks(checks, width=40, unit=''):
    """A rule's checks (name, before, after, ok), one line each, then
    whether the rule passes."""
    for name, before, after, ok in checks:
        print('  %-*s %.4f -> %.4f%s %s' % (width, name, before, after, unit, 'ok' if ok else 'FAILS'))
    print('passes' if all(ok for _, _, _, ok in checks) else 'fails')
