#!/usr/bin/python3
"""Reads what `orvalis-export --jsonl` writes with Python's json module
(numbers as Decimal) and compares every value, typed, with what dbfread reads
from the table: the SQL check's tables (python3-dbf's and Perl's XBase's, and
those written byte by byte: dBase III, IV with memos, level 7, wide rows),
with and without --skip-deleted; a memo table whose memo file is gone; and
the Visual FoxPro database of the database check, one file per table with
its long names.

    /usr/bin/python3 tests/peers/check_jsonl.py build/native/cli/orvalis-export \\
        build/native/tests/peers/make_database
"""
import base64
import datetime as dt
import json
import math
import os
import re
import shutil
import subprocess
import sys
import tempfile
from decimal import Decimal

from dbfread.memo import BinaryMemo

import check_database
import check_peers
import check_sql


class Values(check_sql.Expected):
    """The SQL check's reading, but a picture or object in an M field is its bytes."""

    def parseN(self, field, data):
        # Any number, as stored: JSON has no column to fit.
        text = data.strip(b' ')
        if not text:
            return None
        if not re.fullmatch(rb'-?(\d+\.?\d*|\.\d+)', text):
            return check_sql.Junk
        value = Decimal(text.decode())
        return int(value) if field.decimal_count == 0 and value == int(value) else value

    parseF = parseN

    def parseM(self, field, data):
        value = check_peers.DbtParser.parseM(self, field, data)
        return bytes(value) if isinstance(value, BinaryMemo) else value


class Json:
    """What JSON holds: every value but infinities and NaN."""

    @staticmethod
    def holds(value):
        return not (isinstance(value, float) and not math.isfinite(value))


def keys(fields):
    """The names as they are, _2, _3 for names that repeat."""
    names = []
    for field in fields:
        name, n = field.name, 1
        while (name if n == 1 else '%s_%d' % (name, n)) in names:
            n += 1
        names.append(name if n == 1 else '%s_%d' % (name, n))
    return names


def matches(want, got):
    if want is None or isinstance(want, (bool, str)):
        return type(want) is type(got) and want == got
    if isinstance(want, (int, Decimal)):
        # Decimals with their stored digits: 1.50 stays 1.50.
        return isinstance(got, Decimal) and got == want and (isinstance(want, int) or str(got) == str(want))
    if isinstance(want, float):
        return isinstance(got, Decimal) and float(got) == want
    if isinstance(want, dt.datetime):
        return got == '%04d-%02d-%02dT%02d:%02d:%02d.%03d' % (want.year, want.month, want.day, want.hour, want.minute,
                                                          want.second, want.microsecond // 1000)
    if isinstance(want, dt.date):
        return got == '%04d-%02d-%02d' % (want.year, want.month, want.day)
    if isinstance(want, bytes):
        return isinstance(got, str) and base64.b64decode(got, validate=True) == want
    return False


def compare(name, output, want_keys, rows, warnings=None, stderr=''):
    problems = []
    if warnings is not None:
        said = {kind: (int(count), int(record), field.strip('"\'«»').lower())
                for kind, count, record, field in check_sql.WARNING.findall(stderr)}
        if said != warnings:
            problems.append('%s: warnings expected %s, got %s: %s' % (name, warnings, said, stderr.strip()))
    with open(output, 'rb') as f:
        data = f.read()
    lines = data.split(b'\n')
    if lines[-1] != b'' or len(lines) - 1 != len(rows):
        return problems + ['%s: %d lines for %d records' % (name, len(lines) - 1, len(rows))]
    for line, (number, values) in zip(lines, rows):
        record = json.loads(line.decode('utf-8'), parse_float=Decimal, parse_int=Decimal)
        if list(record) != want_keys:
            problems.append('%s: keys %s, expected %s' % (name, list(record), want_keys))
            break
        for key, want in zip(want_keys, values):
            if not matches(want, record[key]):
                problems.append('%s record %d %s: expected %s, got %s'
                                % (name, number, key, check_sql.short(want), check_sql.short(record[key])))
    return problems


def run(exe, *args):
    done = subprocess.run([exe, *args], capture_output=True, timeout=120)
    return done.returncode, done.stderr.decode('utf-8', 'backslashreplace')


def check_tables(exe, folder):
    problems = []
    tables = check_sql.write_tables(os.path.join(folder, 'tables'))
    output = os.path.join(folder, 'out.jsonl')
    for name, path in sorted(tables.items()):
        for skip in (False, True):
            status, stderr = run(exe, '--jsonl', *(['--skip-deleted'] if skip else []), '-o', output, path)
            if status:
                problems.append('%s: exit %d: %s' % (name, status, stderr.strip()))
                continue
            want_keys, rows, warnings = check_sql.expected(path, skip, Json, Values, keys)
            problems += compare(name, output, want_keys, rows, warnings, stderr)
    # Without its memo file: a warning, every record, and null memos.
    lost = os.path.join(folder, 'sin_memos.dbf')
    shutil.copy(tables['dbase4.dbf'], lost)
    status, stderr = run(exe, '--jsonl', lost)
    want_keys, rows, _ = check_sql.expected(tables['dbase4.dbf'], False, Json, Values, keys)
    memo_keys = [k for k, f in zip(want_keys, check_sql.Table(tables['dbase4.dbf']).fields) if f.type == 'M']
    rows = [(n, [None if k in memo_keys else v for k, v in zip(want_keys, values)]) for n, values in rows]
    if status or 'sus memos se escriben como null' not in stderr:
        problems.append('no memo file: exit %d: %s' % (status, stderr.strip()))
    else:
        problems += compare('no memo file', os.path.join(folder, 'sin_memos.jsonl'), want_keys, rows)
    return problems


def check_database_tables(exe, make, folder):
    """A database: one file per table, named after it, with its long names."""
    root = os.path.join(folder, 'tienda')
    subprocess.run([make, root], check=True)
    out = os.path.join(folder, 'db')
    os.mkdir(out)
    status, stderr = run(exe, '--jsonl', '-d', out, os.path.join(root, 'db', 'Tienda.dbc'))
    written = sorted(os.listdir(out))
    if status != 1 or written != sorted(n + '.jsonl' for n in check_database.TABLES):
        return ['database: exit %d, files %s: %s' % (status, written, stderr)]
    problems = []
    for name, (path, names, _) in check_database.TABLES.items():
        _, rows, _ = check_sql.expected(os.path.join(root, path), False, Json, Values, keys)
        problems += compare(name, os.path.join(out, name + '.jsonl'), names, rows)
    return problems


def main():
    exe, make = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    with tempfile.TemporaryDirectory() as folder:
        os.mkdir(os.path.join(folder, 'tables'))
        problems = check_tables(exe, folder) + check_database_tables(exe, make, folder)
    for problem in problems:
        print(problem)
    print('jsonl: %s' % ('FAILED' if problems else 'OK'))
    return 1 if problems else 0


if __name__ == '__main__':
    sys.exit(main())
