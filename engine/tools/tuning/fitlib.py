"""What the offline fits share: a sibling script's functions, the arguments
and trials of the tuning protocol's dumps, each model's enrolment snr."""
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


def parser():
    """The arguments of every fit; each adds its own."""
    ap = argparse.ArgumentParser()
    ap.add_argument('--speakers', required=True)
    ap.add_argument('--enrol-log', required=True)
    ap.add_argument('dumps', nargs='+')
    return ap


def trial_rows(args):
    """The genuine and impostor trials among the given speakers."""
    speakers = set(args.speakers.split(','))
    return [r for p in args.dumps for r in csv.DictReader(open(p))
            if r['model_speaker'] in speakers and r['test_speaker'] in speakers and r['kind'] in 'gi']


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
