#!/usr/bin/python3
"""Prints the Markdown table of bench/pairs.txt from the JSON results of the benchmark programs.

usage: bench_table.py PAIRS RESULTS_DIR
Each program's results are RESULTS_DIR/<program>.json; a program that failed or timed out has none, and its rows
say so. A benchmark a pair names but the program no longer has shows as "missing".
"""
import json
import os
import sys


def read_pairs(path):
    rows = []
    for raw in open(path, encoding='utf-8'):
        line = raw.strip()
        if not line or line.startswith('#'):
            continue
        fields = [f.strip() for f in line.split('|')]
        if len(fields) != 7:
            sys.exit(f'{path}: seven fields wanted: {line}')
        program, what, ours, peer_name, peer, measure, goal = fields
        rows.append(dict(program=program, what=what, ours=ours.split(), peer_name=peer_name, peer=peer.split(),
                         measure=measure, goal=goal))
    return rows


MODIFIERS = ('min_time:', 'iterations:', 'repeats:', 'threads:', 'real_time', 'manual_time', 'process_time')


def plain_name(name):
    """The name without the run's modifiers: "BM_A/10/min_time:2.000/real_time" is "BM_A/10"."""
    return '/'.join(part for part in name.split('/') if not part.startswith(MODIFIERS))


def results_of(folder, program):
    try:
        data = json.load(open(os.path.join(folder, program + '.json'), encoding='utf-8'))
    except (OSError, ValueError):
        return None
    found = {}
    for b in data.get('benchmarks', []):
        if b.get('run_type', 'iteration') != 'iteration' or b.get('error_occurred'):
            continue
        found[plain_name(b['name'])] = b
    return found


LABELS = {'cpu': 'CPU', 'real': 'wall'}
UNIT_TO_MS = {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}


def value(result, measure):
    """The measure: a time in milliseconds, or a counter times its factor; None when the run has no such value."""
    if measure[0] in ('cpu', 'real'):
        return result[measure[0] + '_time'] * UNIT_TO_MS[result.get('time_unit', 'ns')]
    if measure[0] not in result:
        return None
    return float(result[measure[0]]) * (float(measure[1]) if len(measure) > 1 else 1.0)


def shown(v, measure):
    if v is None:
        return 'missing'
    if measure[0] in ('cpu', 'real'):
        if v >= 1000:
            return f'{v / 1000:.3g} s'
        if v >= 1:
            return f'{v:.3g} ms'
        return f'{v * 1000:.3g} µs'
    return f'{v:.3g}' + (f' {measure[2]}' if len(measure) > 2 else '')


def cells(results, names, measure):
    return [value(results[n], measure) if n in results else None for n in names]


def joined(values, measure):
    return ' / '.join(shown(v, measure) for v in values)


def main():
    pairs, folder = sys.argv[1], sys.argv[2]
    rows = read_pairs(pairs)
    cache = {}
    print('| what | ours | peer | ratio | goal |')
    print('| --- | --- | --- | --- | --- |')
    for row in rows:
        program = row['program']
        if program not in cache:
            cache[program] = results_of(folder, program)
        results = cache[program]
        measure = row['measure'].split()
        what = f"{row['what']} (`bench_{program}`, {LABELS.get(measure[0], measure[0].replace('_', ' '))})"
        if results is None:
            print(f"| {what} | no result (failed or timed out) | {row['peer_name']} | | {row['goal']} |")
            continue
        ours = cells(results, row['ours'], measure)
        peer = cells(results, row['peer'], measure)
        ratios = []
        for a, b in zip(ours, peer):
            ratios.append(f'{a / b:.3g}×' if a is not None and b else '–')
        peer_text = f"{row['peer_name']} {joined(peer, measure)}".strip()
        print(f"| {what} | {joined(ours, measure)} | {peer_text} | {' / '.join(ratios)} | {row['goal']} |")


if __name__ == '__main__':
    main()
