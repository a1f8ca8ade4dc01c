#!/usr/bin/python3
"""Checks the table reader and the tab-separated export against tables that
another program writes: python3-dbf writes a Visual FoxPro and a FoxPro table,
dbfread reads them back, and every exported line must hold exactly what the
values read back turn into.

    /usr/bin/python3 tests/peers/check_peers.py build/native/tests/peers/table_export
"""
import datetime as dt
import math
import os
import struct
import subprocess
import sys
import tempfile
from decimal import Decimal

import dbf
from dbfread import DBF

INT_MIN, INT_MAX = -2**31, 2**31 - 1

# python3-dbf numbers the bits of _NullFlags by field position, Visual FoxPro
# by nullable field: the two agree only while the nullable fields come first.
VFP_FIELDS = ('cnt I null; dbl B null; cash Y null; stamp T null; name C(20) null; '
              'note M null; qty N(12,3); ratio F(14,5); born D; ok L; gen G; pic P')
VFP_RECORDS = [
    (42, 18.75, Decimal('12.5'), dt.datetime(2021, 3, 4, 5, 6, 7, 890000), 'Ñandú café',
     'memo text', 1234.5, 3.25, dt.date(2020, 2, 29), True, b'GIF89a', b'\x89PNG'),
    # python3-dbf refuses both int32 limits, so these are patched in below.
    (INT_MIN + 1, -4.875, Decimal('-3.25'), dt.datetime(1, 1, 1), 'Œuvre «à» € ÿ',
     '', -0.125, -2.5, dt.date(1, 1, 1), False, b'', None),
    (INT_MAX - 1, 185185.16999999998, Decimal('922337203685477.5807'),
     dt.datetime(9999, 12, 31, 23, 59, 59, 999000), '  both ends  ', None,
     99999999.999, 0.00001, dt.date(9999, 12, 31), None, None, b'x'),
    (-1, 1e300, Decimal('-922337203685477.5807'), dt.datetime(2000, 1, 1, 12)),
    (1, 5e-324, Decimal('0.0001')),
    (2, 1.7976931348623157e308),
    (3, float('inf')),
    (4, float('-inf')),
    (5, float('nan')),
    (0, 0.0, Decimal(0), None, '', None, 0, 0, None, None, None, None),
    (dbf.Null,) * 6,
    (),
]
FP_FIELDS = 'name C(20); qty N(10,2); whole N(6,0); ratio F(12,4); born D; ok L; note M; gen G; pic P'
FP_RECORDS = [
    ('café Ñu', 1234.5, 7, 3.25, dt.date(2020, 2, 29), True, 'memo', b'GIF89a', b'\x89PNG'),
    ('Œuvre €', -0.5, -99999, -2.5, dt.date(1, 1, 1), False, '', b'', None),
    ('', 0, 0, 0, None, None, None, None, None),
    (),
]
VFP_VERSIONS = (0x30, 0x31, 0x32)


def write_table(path, fields, records, dbf_type):
    table = dbf.Table(path, fields, dbf_type=dbf_type, codepage='cp1252')
    table.open(dbf.READ_WRITE)
    for record in records:
        table.append(record)
    # Closed by hand: "with table.open()" leaves it open and loses memos not yet written.
    table.close()
    if dbf_type != 'vfp':
        return
    with open(path, 'r+b') as f:
        data = f.read()
        for written, wanted in ((INT_MIN + 1, INT_MIN), (INT_MAX - 1, INT_MAX)):
            old = struct.pack('<i', written)
            assert data.count(old) == 1, 'int32 placeholder not unique'
            data = data.replace(old, struct.pack('<i', wanted))
        f.seek(0)
        f.write(data)


def fixed(x):
    """std::to_chars fixed without precision."""
    if math.isnan(x) or math.isinf(x):
        return repr(x)
    if x == int(x):
        # Integral values are printed in full, not cut to their shortest digits.
        return str(int(x))
    return format(Decimal(repr(x)), 'f')


def export_text(field, value, raw, null):
    """The text the export writes for one value, from what dbfread read."""
    if null:
        return ''  # a null value exports empty, whatever its stored bytes
    kind = field.type
    if kind in 'MGP' and field.length == 4:
        # dbfread returns the memo's text; the export shows the block number.
        block = struct.unpack('<I', raw)[0]
        return str(block) if block else ''
    if kind == 'C':
        return value  # dbfread drops trailing blanks, as the export does
    if kind == 'N':
        return raw.decode('cp1252').lstrip()
    if kind == 'I':
        return '%d' % value
    if kind == 'B':
        return fixed(value)
    if kind == 'Y':
        return format(value, '.4f')  # a Decimal: '%' would round it through a float
    if kind == 'T':
        # dbfread gives None for a zero day number, which python3-dbf writes for None.
        if value is None:
            return ''
        return '%04d-%02d-%02d %02d:%02d:%02d' % (value.year, value.month, value.day,
                                                  value.hour, value.minute, value.second)
    return raw.decode('cp1252')  # every other type exactly as stored


def expected_export(path):
    """The field names and the export lines that dbfread's reading implies."""
    options = dict(ignore_missing_memofile=True, encoding='cp1252', char_decode_errors='strict')
    table, raw_table = DBF(path, **options), DBF(path, raw=True, **options)
    vfp = table.header.dbversion in VFP_VERSIONS
    # dbfread lists the hidden system fields (_NullFlags) like any other; it
    # calls the flags byte reserved1.
    visible = [f for f in table.fields if not (vfp and f.reserved1 & 0x01)]
    null_bits = {}
    if vfp:
        nullable = [f.name for f in table.fields if f.reserved1 & 0x02]
        null_bits = {name: bit for bit, name in enumerate(nullable)}
    lines = []
    for record, raw in zip(table, raw_table):
        # dbfread ignores _NullFlags: a null value reads as its blank bytes.
        flags = int.from_bytes(b''.join(raw[f.name] for f in table.fields if f.type == '0'), 'little')
        texts = [export_text(f, record[f.name], raw[f.name],
                             f.name in null_bits and flags >> null_bits[f.name] & 1)
                 for f in visible]
        lines.append('\t'.join(texts).encode('cp1252'))
    assert len(lines) == table.header.numrecords, 'dbfread skipped records'
    return [f.name for f in visible], lines


def show(data):
    return data.decode('cp1252', 'backslashreplace')


def compare(exe, path, out):
    """The differences between table_export's output and what dbfread implies."""
    names, lines = expected_export(path)
    run = subprocess.run([exe, path, out], capture_output=True)
    if run.returncode != 0:
        return ['table_export failed (%d): %s' % (run.returncode, show(run.stderr))], names
    problems = []
    got_names = show(run.stdout).splitlines()
    if got_names != names:
        problems.append('field names: expected %s\n  got %s' % (names, got_names))
    with open(out, 'rb') as f:
        got = f.read().split(b'\r\n')
    if got.pop() != b'':
        problems.append('the last line does not end with \\r\\n')
    if len(got) != len(lines):
        problems.append('%d lines, expected %d' % (len(got), len(lines)))
    for n, (want, have) in enumerate(zip(lines, got), 1):
        if want != have:
            problems.append('record %d: expected %r\n  got %r' % (n, show(want), show(have)))
            problems += ['  %s: expected %r, got %r' % (name, show(w), show(h))
                         for name, w, h in zip(names, want.split(b'\t'), have.split(b'\t')) if w != h]
    return problems, names


def main():
    exe = os.path.abspath(sys.argv[1])
    failed, summary = False, []
    with tempfile.TemporaryDirectory() as folder:
        for name, fields, records, dbf_type in (('vfp.dbf', VFP_FIELDS, VFP_RECORDS, 'vfp'),
                                                ('fp.dbf', FP_FIELDS, FP_RECORDS, 'fp')):
            path = os.path.join(folder, name)
            write_table(path, fields, records, dbf_type)
            problems, names = compare(exe, path, path + '.txt')
            summary.append('%s %d records x %d fields' % (name, len(records), len(names)))
            for problem in problems:
                print('%s: %s' % (name, problem))
            failed = failed or bool(problems)
    print('peer tables: %s compared: %s' % (', '.join(summary), 'FAILED' if failed else 'OK'))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
