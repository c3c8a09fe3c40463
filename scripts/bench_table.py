#!/usr/bin/python3
"""Prints the Markdown table of bench/pairs.txt from the JSON results of the benchmark programs.

usage: bench_table.py PAIRS RESULTS_DIR
Each program's results are RESULTS_DIR/<program>.json, every case in one or more repetitions; a cell shows the
median of the repetitions and their range, the ratio is that of the medians. A program that failed or timed out
has no results, and its rows say so; a benchmark a pair names but the program no longer has shows as "missing".
RESULTS_DIR/run.txt (key=value lines: start, cores, load_before, load_after, minutes, quick) and load.txt (the
one-minute load average sampled during the run, one a line) make the lines above the table.
Checked by hand: python3 -m doctest scripts/bench_table.py
"""
import collections
import json
import os
import statistics
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


def repetitions_by_name(benchmarks):
    """Each case's repetitions in the order they ran; aggregates and failed repetitions are left out.

    >>> runs = repetitions_by_name([
    ...     {'name': 'BM_A/real_time', 'run_type': 'iteration', 'real_time': 3.0},
    ...     {'name': 'BM_B/real_time', 'run_type': 'iteration', 'real_time': 9.0},
    ...     {'name': 'BM_A/real_time', 'run_type': 'iteration', 'real_time': 1.0},
    ...     {'name': 'BM_A/real_time', 'run_type': 'iteration', 'error_occurred': True, 'real_time': 0.0},
    ...     {'name': 'BM_A/real_time_median', 'run_type': 'aggregate', 'real_time': 2.0}])
    >>> sorted(runs), [r['real_time'] for r in runs['BM_A']]
    (['BM_A', 'BM_B'], [3.0, 1.0])
    """
    found = collections.defaultdict(list)
    for b in benchmarks:
        if b.get('run_type', 'iteration') != 'iteration' or b.get('error_occurred'):
            continue
        found[plain_name(b['name'])].append(b)
    return dict(found)


def results_of(folder, program):
    try:
        data = json.load(open(os.path.join(folder, program + '.json'), encoding='utf-8'))
    except (OSError, ValueError):
        return None
    return repetitions_by_name(data.get('benchmarks', []))


LABELS = {'cpu': 'CPU', 'real': 'wall'}
UNIT_TO_MS = {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}


def value(result, measure):
    """The measure: a time in milliseconds, or a counter times its factor; None when the run has no such value."""
    if measure[0] in ('cpu', 'real'):
        return result[measure[0] + '_time'] * UNIT_TO_MS[result.get('time_unit', 'ns')]
    if measure[0] not in result:
        return None
    return float(result[measure[0]]) * (float(measure[1]) if len(measure) > 1 else 1.0)


class Spread:
    """The values of a case's repetitions: their median and range."""

    def __init__(self, values):
        self.values = sorted(values)
        self.median = statistics.median(self.values)


def spread_of(repetitions, measure):
    """The spread of the measure over the repetitions; None when none of them has it.

    >>> s = spread_of([{'real_time': 5.0, 'time_unit': 'ms'}, {'real_time': 1000.0, 'time_unit': 'us'},
    ...                {'real_time': 2.0, 'time_unit': 'ms'}], ['real'])
    >>> s.median, s.values
    (2.0, [1.0, 2.0, 5.0])
    >>> spread_of([{'per_pick': 4e-3}, {'per_pick': 1e-3}], ['per_pick', '1000', 'ms']).median
    2.5
    >>> spread_of([{'real_time': 1.0}], ['fps']) is None
    True
    """
    values = [v for v in (value(r, measure) for r in repetitions) if v is not None]
    return Spread(values) if values else None


def number(v):
    """Three significant digits, whole numbers from 1000 on rather than an exponent.

    >>> number(0.0123), number(121.46), number(1034.6), number(2180.0)
    ('0.0123', '121', '1035', '2180')
    """
    return f'{v:.0f}' if abs(v) >= 1000 else f'{v:.3g}'


def unit_of(v, measure):
    """The unit a cell shows the value v in: the factor from the measure's own unit and the unit's name."""
    if measure[0] in ('cpu', 'real'):
        if v >= 1000:
            return 1e-3, 's'
        if v >= 1:
            return 1.0, 'ms'
        return 1e3, 'µs'
    return 1.0, measure[2] if len(measure) > 2 else ''


def shown(spread, measure):
    """The median in its unit, and the range of the repetitions in the same unit when there are several.

    >>> shown(Spread([118.4, 121.2, 130.0]), ['real'])
    '121 ms (118-130)'
    >>> shown(Spread([990e-3, 1.004, 1.021]), ['cpu'])
    '1 ms (0.99-1.02)'
    >>> shown(Spread([2300.0]), ['real'])
    '2.3 s'
    >>> shown(Spread([690.0, 734.0, 1100.0]), ['real'])
    '734 ms (690-1100)'
    >>> shown(Spread([0.95, 0.954, 0.96]), ['faces/s', '1e-6', 'M'])
    '0.954 M (0.95-0.96)'
    >>> shown(None, ['real'])
    'missing'
    """
    if spread is None:
        return 'missing'
    factor, unit = unit_of(spread.median, measure)
    text = number(spread.median * factor) + (f' {unit}' if unit else '')
    if len(spread.values) > 1:
        text += f' ({number(spread.values[0] * factor)}-{number(spread.values[-1] * factor)})'
    return text


def ratio(ours, peer):
    """The ratio of the medians.

    >>> ratio(Spread([1.0, 2.0, 9.0]), Spread([4.0, 5.0])), ratio(Spread([2.26]), Spread([2.12e-3]))
    ('0.444×', '1066×')
    >>> ratio(None, Spread([1.0])), ratio(Spread([1.0]), Spread([0.0]))
    ('–', '–')
    """
    if ours is None or peer is None or not peer.median:
        return '–'
    return number(ours.median / peer.median) + '×'


def cells(results, names, measure):
    """The spread of each named benchmark; "BM_X@counter" takes that counter of BM_X instead of the row's (a case
    that measures both sides itself, as a heap before and after a step).

    >>> r = {'BM_X': [{'after': 3.0, 'before': 2.0}]}
    >>> [s.median for s in cells(r, ['BM_X', 'BM_X@before'], ['after', '1', 'MiB'])]
    [3.0, 2.0]
    """
    spreads = []
    for n in names:
        name, _, counter = n.partition('@')
        spreads.append(spread_of(results[name], [counter] + measure[1:] if counter else measure)
                       if name in results else None)
    return spreads


def joined(spreads, measure):
    return ' / '.join(shown(s, measure) for s in spreads)


def read_run(folder):
    """The run's facts (run.txt) and the load averages sampled while it ran (load.txt)."""
    run = {}
    try:
        for line in open(os.path.join(folder, 'run.txt'), encoding='utf-8'):
            key, _, text = line.strip().partition('=')
            run[key] = text
    except OSError:
        pass
    samples = []
    try:
        for line in open(os.path.join(folder, 'load.txt'), encoding='utf-8'):
            try:
                samples.append(float(line))
            except ValueError:
                pass
    except OSError:
        pass
    return run, samples


def load_line(run, samples):
    """The sentence on when the table was measured and under what load.

    >>> print(load_line({'start': '2026-12-07 21:35 UTC', 'cores': '8', 'load_before': '9.50',
    ...                  'load_after': '11.02', 'minutes': '6', 'quick': '0'}, [10.0, 12.5, 11.0, 9.0]))
    2026-12-07 21:35 UTC, 8 cores, 6 min; load average (1 min) 9.5 before, 10.5 during (median of 4 samples \
5 s apart, 9-12.5), 11 after.
    >>> print(load_line({'cores': '8', 'quick': '1'}, []))
    8 cores, quick; load average (1 min) ? before, not sampled during, ? after.
    """
    def reading(key):
        try:
            return number(float(run[key]))
        except (KeyError, ValueError):
            return '?'

    when = [run[k] for k in ('start',) if run.get(k)]
    when.append(f"{run.get('cores', '?')} cores")
    if run.get('minutes'):
        when.append(f"{run['minutes']} min")
    if run.get('quick') == '1':
        when.append('quick')
    if samples:
        during = (f'{number(statistics.median(samples))} during (median of {len(samples)} samples 5 s apart, '
                  f'{number(min(samples))}-{number(max(samples))})')
    else:
        during = 'not sampled during'
    return f"{', '.join(when)}; load average (1 min) {reading('load_before')} before, {during}, " \
           f"{reading('load_after')} after."


def repetitions_line(counts):
    """How many repetitions the cells are the median of: the usual count and the programs that ran another.

    >>> print(repetitions_line({'a': 5, 'b': 5, 'whole_open': 3, 'x': 3, 'c': 5}))
    Each cell: the median of 5 repetitions (3 for `bench_whole_open`, `bench_x`) and their range, ours and the \
peer's interleaved at random within their program; the ratio is that of the medians.
    >>> print(repetitions_line({}))
    No program gave results.
    """
    if not counts:
        return 'No program gave results.'
    usual = collections.Counter(counts.values()).most_common(1)[0][0]
    others = collections.defaultdict(list)
    for program, n in sorted(counts.items()):
        if n != usual:
            others[n].append(f'`bench_{program}`')
    extra = '; '.join(f"{n} for {', '.join(names)}" for n, names in sorted(others.items()))
    return (f"Each cell: the median of {usual} repetition{'s' if usual != 1 else ''}" +
            (f' ({extra})' if extra else '') +
            " and their range, ours and the peer's interleaved at random within their program; the ratio is that "
            "of the medians.")


def main():
    pairs, folder = sys.argv[1], sys.argv[2]
    rows = read_pairs(pairs)
    cache = {}
    for row in rows:
        if row['program'] not in cache:
            cache[row['program']] = results_of(folder, row['program'])
    counts = {p: max(len(r) for r in results.values()) for p, results in cache.items() if results}
    run, samples = read_run(folder)
    print(load_line(run, samples))
    print(repetitions_line(counts))
    print()
    print('| what | ours | peer | ratio | goal |')
    print('| --- | --- | --- | --- | --- |')
    for row in rows:
        results = cache[row['program']]
        measure = row['measure'].split()
        what = f"{row['what']} (`bench_{row['program']}`, {LABELS.get(measure[0], measure[0].replace('_', ' '))})"
        if results is None:
            print(f"| {what} | no result (failed or timed out) | {row['peer_name']} | | {row['goal']} |")
            continue
        ours = cells(results, row['ours'], measure)
        peer = cells(results, row['peer'], measure)
        ratios = ' / '.join(ratio(a, b) for a, b in zip(ours, peer))
        peer_text = f"{row['peer_name']} {joined(peer, measure)}".strip()
        print(f"| {what} | {joined(ours, measure)} | {peer_text} | {ratios} | {row['goal']} |")


if __name__ == '__main__':
    main()
