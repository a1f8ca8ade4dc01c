#!/usr/bin/python3
"""Checks the table reader, the tab-separated export and orvalis-export
against tables that another program writes: python3-dbf writes Visual FoxPro,
FoxPro, dBase III and Clipper tables with memos and deleted records, Perl's
XBase dBase IV (0x84) and dBase III ones; dbfread reads them back, and every
exported line must hold exactly what the values read back turn into.

    /usr/bin/python3 tests/peers/check_peers.py build/native/tests/peers/table_export \
        build/native/cli/orvalis-export
"""
import datetime as dt
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
from decimal import Decimal

import dbf
from dbfread import DBF, FieldParser
from dbfread.memo import BinaryMemo

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
DB3_FIELDS = 'name C(20); qty N(10,2); born D; ok L; note M'
DB3_RECORDS = [
    ('a "b", c', 1234.5, dt.date(2020, 2, 29), True, 'memo'),
    ('Œuvre €', -0.5, dt.date(1, 1, 1), False, ''),
    (),
]
# Clipper keeps the high byte of a long "C" field's length in byte 17.
CLP_FIELDS = 'title C(300); qty N(8,2); born D; ok L; note M'
CLP_RECORDS = [
    ('x' * 290 + ' end', -0.5, dt.date(1999, 12, 31), False, 'memo'),
    ('Ñandú ' * 50, 12345.67, dt.date(2020, 2, 29), True, None),
    ('short',),
    (),
]
# Perl's XBase writes version 4 as 0x84 with 32-byte field descriptors, a long
# "C" field's high length byte in byte 17, and a .dbt of blocks that begin
# FF FF 08 00; its default version is dBase III (0x83). "NOTE" comes last.
XBASE_FIELDS = [('NOMBRE', 'C', 300, 0), ('IMPORTE', 'N', 10, 2), ('FLOTA', 'F', 12, 3),
                ('FECHA', 'D', 8, 0), ('OK', 'L', 1, 0), ('NOTE', 'M', 10, 0)]
XBASE_RECORDS = [
    ('Ñandú café ' * 20 + 'fin', 1234.5, 3.25, '20240229', True, 'línea 1\r\nlínea 2\r\n'),
    ('Œuvre «à» € ÿ', -0.5, -2.5, '19000101', False, ''),
    ('bloques', 0, 0.001, '99991231', True,
     ''.join('%04d «x» "q" \\ \t\r\n' % n for n in range(150))),  # six blocks
    ('justo', 1, 1, '20000101', None, 'x' * 504),  # with its 8-byte head, one full block
    (),
]
XBASE_VERSIONS = {'xb4': 4, 'xb3': None}
# The table comes as JSON, texts as cp1252 bytes in characters below 256,
# which Perl writes as they are.
XBASE_WRITER = r'''
my $o = decode_json(join '', <STDIN>);
my ($records, $deleted) = delete @$o{qw(records deleted)};
my $t = XBase->create(%$o) or die XBase->errstr;
$t->set_record($_, @{$records->[$_]}) or die $t->errstr for 0 .. $#$records;
$t->delete_record($_) or die $t->errstr for @$deleted;
$t->close;
'''
# Written as a text, then marked a picture block in .fpt files: an M field
# pointing at it writes its block number, even with --memo.
PICTURE = 'picture'
# Appended to every table, one record each in its M field "note". python3-dbf
# stores an empty block for '' (and for None, but in Visual FoxPro).
MEMO_TEXTS = ['say "hi", then "bye"', '"', 'C:\\dir\\new', 'a\tb\t', 'one\ntwo\n',
              'one\r\ntwo\r\n\r\n', 'Œuvre «à» café € ÿ', '', None, PICTURE,
              '\\n is no line break', 'long ' * 120 + 'end']
TABLES = (('vfp', VFP_FIELDS, VFP_RECORDS), ('fp', FP_FIELDS, FP_RECORDS),
          ('db3', DB3_FIELDS, DB3_RECORDS), ('clp', CLP_FIELDS, CLP_RECORDS),
          ('xb4', XBASE_FIELDS, XBASE_RECORDS), ('xb3', XBASE_FIELDS, XBASE_RECORDS))
# orvalis-export as a user runs it; the line each run implies follows from its options.
CLI_RUNS = (['--memo', '--csv'], ['--memo', '--tab'], ['--memo', '--csv', '--skip-deleted'],
            ['--memo', '--tab', '--skip-deleted'], ['--csv'])
VFP_VERSIONS = (0x30, 0x31, 0x32)
TAB_ESCAPES = str.maketrans({'\\': '\\\\', '\t': '\\t', '\n': '\\n', '\r': '\\r'})


def patch(path, old, new):
    with open(path, 'r+b') as f:
        data = f.read()
        assert data.count(old) == 1, 'patched bytes not unique in ' + path
        f.seek(0)
        f.write(data.replace(old, new))


def write_xbase(path, fields, records, version):
    records = [list(r) for r in records] + [[None] * (len(fields) - 1) + [t] for t in MEMO_TEXTS]
    names, types, lengths, places = zip(*fields)
    table = dict(name=path, version=version, field_names=names, field_types=types,
                 field_lengths=lengths, field_decimals=places, deleted=[1, len(records) - 1],
                 records=[[v.encode('cp1252').decode('latin-1') if isinstance(v, str) else v
                           for v in r] for r in records])
    try:
        run = subprocess.run(['perl', '-MXBase', '-MJSON::PP', '-e', XBASE_WRITER],
                             input=json.dumps(table).encode(), capture_output=True)
        error = run.returncode and (run.stderr.decode('utf-8', 'replace').strip() or 'failed')
    except FileNotFoundError:
        error = 'no perl'
    if error:  # a failure, not a skip: tools/setup installs it
        sys.exit("Perl's XBase (Debian libdbd-xbase-perl) wrote no %s: %s" % (path, error))


def write_table(path, fields, records, dbf_type):
    if dbf_type in XBASE_VERSIONS:
        return write_xbase(path, fields, records, XBASE_VERSIONS[dbf_type])
    table = dbf.Table(path, fields, dbf_type=dbf_type, codepage='cp1252')
    table.open(dbf.READ_WRITE)
    for record in records + [{'note': text} for text in MEMO_TEXTS]:
        table.append(record)
    for index in (1, len(table) - 1):  # a deleted record inside and one at the end
        dbf.delete(table[index])
    # Closed by hand: "with table.open()" leaves it open and loses memos not yet written.
    table.close()
    if dbf_type == 'vfp':
        for written, wanted in ((INT_MIN + 1, INT_MIN), (INT_MAX - 1, INT_MAX)):
            patch(path, struct.pack('<i', written), struct.pack('<i', wanted))
    if dbf_type in ('vfp', 'fp'):
        text = PICTURE.encode()
        patch(path[:-4] + '.fpt', struct.pack('>II', 1, len(text)) + text,
              struct.pack('>II', 0, len(text)) + text)


def dbt_reader(path, version):
    """Memo texts by block number as a .dbt stores them. dbfread takes every
    block as 512 bytes and dBase IV's stored length as not counting the
    8-byte block head, and cuts the text at 0x1F."""
    with open(path, 'rb') as f:
        data = f.read()
    size = 512 if version in (0x03, 0x83) else struct.unpack_from('<H', data, 20)[0] or 512

    def memo(block):
        if block <= 0:
            return None
        start = block * size
        if data[start:start + 4] == b'\xff\xff\x08\x00':
            return data[start + 8:start + struct.unpack_from('<I', data, start + 4)[0]]
        return data[start:].split(b'\x1a', 1)[0]
    return memo


class DbtParser(FieldParser):
    """dbfread's parsing, with the memos of .dbt files read by dbt_reader."""

    def __init__(self, table, memofile=None):
        super().__init__(table, memofile)
        if table.memofilename and table.memofilename.lower().endswith('.dbt'):
            self.get_memo = dbt_reader(table.memofilename, self.dbversion)


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


def value_text(field, value, raw, null, csv, memo):
    """The text one value exports as, with or without --memo, tab or comma."""
    text = export_text(field, value, raw, null)
    memo_column = memo and field.type == 'M'
    if memo_column and not isinstance(value, BinaryMemo):
        text = '' if null or value is None else value
        if not csv:
            text = text.translate(TAB_ESCAPES)
    # With --memo every value of an M column is quoted, a picture block's number too.
    if csv and (field.type == 'C' or memo_column):
        return '"' + text.replace('"', '""') + '"'
    return text


def expected_export(path, csv=False, memo=False, skip_deleted=False):
    """The field names and the (record number, line) pairs that dbfread's reading implies."""
    options = dict(ignore_missing_memofile=True, encoding='cp1252', char_decode_errors='strict')
    table, raw_table = DBF(path, parserclass=DbtParser, **options), DBF(path, raw=True, **options)
    vfp = table.header.dbversion in VFP_VERSIONS
    # dbfread lists the hidden system fields (_NullFlags) like any other; it
    # calls the flags byte reserved1.
    visible = [f for f in table.fields if not (vfp and f.reserved1 & 0x01)]
    null_bits = {}
    if vfp:
        nullable = [f.name for f in table.fields if f.reserved1 & 0x02]
        null_bits = {name: bit for bit, name in enumerate(nullable)}
    # dbfread reads deleted records apart; their flag bytes put them back in place.
    with open(path, 'rb') as f:
        f.seek(table.header.headerlen)
        flags = f.read(table.header.numrecords * table.header.recordlen)[::table.header.recordlen]
    live, dead = zip(table, raw_table), zip(table.deleted, raw_table.deleted)
    lines = []
    for number, flag in enumerate(flags, 1):
        record, raw = next(dead if flag == ord('*') else live)
        if skip_deleted and flag == ord('*'):
            continue
        # dbfread ignores _NullFlags: a null value reads as its blank bytes.
        bits = int.from_bytes(b''.join(raw[f.name] for f in table.fields if f.type == '0'), 'little')
        texts = [value_text(f, record[f.name], raw[f.name],
                            f.name in null_bits and bits >> null_bits[f.name] & 1, csv, memo)
                 for f in visible]
        lines.append((number, (',' if csv else '\t').join(texts).encode('cp1252')))
    assert next(live, None) is None and next(dead, None) is None, 'dbfread skipped records'
    return [f.name for f in visible], lines


def show(data):
    return data.decode('cp1252', 'backslashreplace')


def compare(command, out, lines, names=None):
    """The differences between what the command writes to out and the lines expected."""
    run = subprocess.run(command, capture_output=True)
    if run.returncode != 0 or (names is None and run.stderr):
        return ['status %d: %s' % (run.returncode, run.stderr.decode('utf-8', 'replace'))]
    problems = []
    if names is not None and show(run.stdout).splitlines() != names:
        problems.append('field names: expected %s\n  got %s' % (names, show(run.stdout).splitlines()))
    with open(out, 'rb') as f:
        got = f.read()
    # Memo texts hold line breaks: records are found by their place, not by splitting lines.
    at = 0
    for number, line in lines:
        line += b'\r\n'
        if got[at:at + len(line)] != line:
            return problems + ['record %d: expected %r\n  got %r'
                               % (number, show(line), show(got[at:at + len(line) + 40]))]
        at += len(line)
    if at != len(got):
        problems.append('more than the %d lines expected: %r' % (len(lines), show(got[at:at + 80])))
    return problems


def main():
    table_export, orvalis_export = (os.path.abspath(arg) for arg in sys.argv[1:3])
    failed, summary = False, []
    with tempfile.TemporaryDirectory() as folder:
        for name, fields, records in TABLES:
            path = os.path.join(folder, name + '.dbf')
            write_table(path, fields, records, name)
            names, lines = expected_export(path)
            problems = ['table_export: ' + p for p in compare([table_export, path, path + '.txt'],
                                                              path + '.txt', lines, names)]
            out = os.path.join(folder, 'out.txt')
            for options in CLI_RUNS:
                wanted = expected_export(path, '--csv' in options, '--memo' in options,
                                         '--skip-deleted' in options)[1]
                problems += ['orvalis-export %s: %s' % (' '.join(options), p)
                             for p in compare([orvalis_export] + options + ['-o', out, path], out, wanted)]
            summary.append('%s %d records x %d fields' % (name, len(lines), len(names)))
            for problem in problems:
                print('%s: %s' % (name, problem))
            failed = failed or bool(problems)
    print('peer tables: %s; table_export and orvalis-export %s: %s'
          % (', '.join(summary), ', '.join(' '.join(o) for o in CLI_RUNS), 'FAILED' if failed else 'OK'))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
