#!/usr/bin/python3
"""Reads what `orvalis-export --xlsx` writes back, typed, with openpyxl and
compares every value with what dbfread reads from the table (the SQL check's
tables: every family, memo files, junk values), then converts each workbook
to CSV with LibreOffice and compares the cells as their formats show them.
Also: one workbook of several tables, sheet names, escaped characters, and
a table past Excel's 1,048,576 rows continued on a second sheet.

    /usr/bin/python3 tests/peers/check_xlsx.py build/native/cli/orvalis-export \
        build/native/tests/peers/make_database

With make_database, also a Visual FoxPro database: one workbook, a sheet per
table under its long name, and a member table alone under its long name.
"""
import csv
import datetime as dt
import glob
import math
import os
import re
import subprocess
import sys
import tempfile
import zipfile
from decimal import Decimal

import openpyxl

import check_database
import check_sql

ESCAPE = re.compile(r'_x([0-9A-Fa-f]{4})_')
EXCEL_DIGITS, CELL_MOST = 15, 32767


class Expected(check_sql.Expected):
    """Any number in text is a number, whatever the field's width and
    decimals: a cell is no column of fixed precision."""

    def parseN(self, field, data):
        text = data.strip(b' ')
        if not text:
            return None
        if re.fullmatch(rb'-?(\d+\.?\d*|\.\d+)[eE][-+]?\d+', text):
            return float(text)  # a double with its exponent
        if not re.fullmatch(rb'[-+]?(\d+[.,]?\d*|[.,]\d+)', text):
            return check_sql.Junk
        return Decimal(text.decode().replace(',', '.'))

    parseF = parseN


class Anything:
    """A reader that holds every value: none is junk for its own sake."""
    @staticmethod
    def holds(value):
        return True


def unescaped(text):
    """The text as Excel reads a cell's _xHHHH_ (openpyxl leaves them)."""
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text) if isinstance(text, str) else text


def significant(value):
    digits = value.normalize().as_tuple().digits if value else ()
    return len(digits)


def short(value):
    text = repr(value)
    return text if len(text) < 80 else text[:60] + '...'


def cell(want, decimals):
    """What a cell holds for one of dbfread's values, and its CSV text (as
    LibreOffice shows it with the cell's format: None, not compared); None:
    an empty cell."""
    if want is None or want == '' or isinstance(want, bytes) or (isinstance(want, float) and not math.isfinite(want)):
        return None, ''
    if isinstance(want, bool):
        return want, 'TRUE' if want else 'FALSE'
    if isinstance(want, str):
        want = want[:CELL_MOST]
        # LibreOffice ends a cell's lines with LF alone, and reads the escaped
        # underscore of a literal _xHHHH_ and then the character it names.
        return want, unescaped(want.replace('\r\n', '\n'))
    if isinstance(want, dt.datetime):
        text = '%04d-%02d-%02d %s.%03d' % (want.year, want.month, want.day, want.strftime('%H:%M:%S'),
                                          want.microsecond // 1000)
        return (text if want.year < 1900 else want), text if want >= dt.datetime(1900, 3, 1) else None
    if isinstance(want, dt.date):
        text = want.strftime('%Y-%m-%d') if want.year >= 1000 else '%04d-%02d-%02d' % (want.year, want.month, want.day)
        # LibreOffice reads Excel's serials before 1900-03-01 a day early.
        shown = text if want >= dt.date(1900, 3, 1) or want.year < 1900 else None
        return (text if want.year < 1900 else dt.datetime(want.year, want.month, want.day)), shown
    if isinstance(want, Decimal):
        if significant(want) > EXCEL_DIGITS:
            return str(want), str(want)
        return float(want), '%.*f' % (decimals, want if want else abs(want))  # no minus zero
    return want, None  # int and float: shown by their format, checked by openpyxl alone


def same(want, got):
    if isinstance(want, float) and isinstance(got, (int, float)):
        return want == got
    if isinstance(want, int) and not isinstance(want, bool) and isinstance(got, (int, float)):
        return want == got and not isinstance(got, bool)
    if isinstance(want, dt.datetime) and isinstance(got, dt.datetime):
        return abs(want - got) < dt.timedelta(microseconds=500)
    return type(want) is type(got) and want == got


def expected(path):
    """check_sql's reading of the table, with numbers read as above."""
    original = check_sql.Expected
    check_sql.Expected = Expected
    try:
        return check_sql.expected(path, False, Anything)
    finally:
        check_sql.Expected = original


def check_workbook(path, tables, problems):
    """tables: (sheet name, dbf path) in the workbook's order."""
    book = openpyxl.load_workbook(path)
    if book.sheetnames != [name for name, _ in tables]:
        problems.append('sheets %s, not %s' % (book.sheetnames, [name for name, _ in tables]))
        return {}
    shown = {}
    for (name, table), sheet in zip(tables, book.worksheets):
        names, rows, _ = expected(table)
        described = [f for f in check_sql.Table(table, encoding='cp1252').fields if f.name.upper() != '_NULLFLAGS']
        fields = [f.name for f in described]
        got = [[unescaped(v) for v in row] for row in sheet.iter_rows(values_only=True)]
        if sheet.freeze_panes != 'A2' or not all(c.font.b for c in sheet[1]):
            problems.append('%s: title row not bold and frozen' % name)
        if got[:1] != [tuple(fields)] and got[:1] != [list(fields)]:
            if [list(got[0]) if got else []] != [fields]:
                problems.append('%s: title row %s, not %s' % (name, got[:1], fields))
        width = len(fields)
        expected_csv = [fields]
        for index, (number, values) in enumerate(rows):
            line = list(got[index + 1]) if index + 1 < len(got) else []
            line += [None] * (width - len(line))
            csv_line = []
            for field, want, value in zip(described, values, line):
                decimals = 4 if field.type == 'Y' else field.decimal_count
                held, text = cell(want, decimals)
                if not same(held, value):
                    problems.append('%s, record %d, %s: %s, not %s (dbfread: %s)'
                                    % (name, number, field.name, short(value), short(held), short(want)))
                csv_line.append(text)
            expected_csv.append(csv_line)
        while expected_csv and not any(expected_csv[-1]):
            expected_csv.pop()  # LibreOffice leaves out the empty rows that end a sheet
        shown[name] = expected_csv
    return shown


def libreoffice_csv(workbooks, folder):
    """Every sheet of every workbook as LibreOffice's CSV, values as shown."""
    out = os.path.join(folder, 'csv')
    profile = 'file://' + os.path.join(folder, 'lo-profile')
    subprocess.run(['soffice', '-env:UserInstallation=' + profile, '--headless', '--convert-to',
                    'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false,-1',
                    '--outdir', out] + workbooks, check=True, capture_output=True, timeout=600)
    sheets = {}
    for path in glob.glob(os.path.join(out, '*.csv')):
        with open(path, newline='', encoding='utf-8') as f:
            sheets[os.path.basename(path)[:-4]] = list(csv.reader(f))
    return sheets


def compare_csv(name, want, got, problems):
    for n, (want_line, got_line) in enumerate(zip(want, got or [])):
        got_line = [unescaped(v) for v in got_line] + [''] * (len(want_line) - len(got_line))
        for field, w, g in zip(want[0], want_line, got_line):
            if w is not None and w != g:
                problems.append('LibreOffice, %s, row %d, %s: %s, not %s' % (name, n + 1, field, short(g), short(w)))
    if got is None or len(got) != len(want):
        problems.append('LibreOffice, %s: %s rows, not %d' % (name, None if got is None else len(got), len(want)))


def run(exe, *args):
    return subprocess.run([exe, '--xlsx'] + list(args), capture_output=True, text=True, errors='replace')


# What some tables' exports must say: a memo cut to a cell's 32,767
# characters, a number of 20 digits written as text, pictures and objects
# left out.
WARNINGS = {'memogrande.dbf': 'de más de 32.767 caracteres', 'Select.dbf': 'más de 15 cifras significativas',
            'vfp.dbf': 'Nota: tabla'}


def main():
    exe = os.path.abspath(sys.argv[1])
    problems = []
    with tempfile.TemporaryDirectory() as folder:
        os.mkdir(os.path.join(folder, 'tables'))
        tables = check_sql.write_tables(os.path.join(folder, 'tables'))
        # Characters XML forbids, a CR, markup and a literal _xHHHH_; numbers
        # with an exponent, of 16 and more digits, and of 15 with zeros after.
        escapes = os.path.join(folder, 'tables', 'marcas.dbf')
        check_sql.raw_table(escapes, 0x03, [('TEXTO', 'C', 20, 0), ('NUMERO', 'N', 20, 3)],
                            [(b' ', v) for v in (('a\x01b\x1fc', '1.5E+10'), ('x\ry', '-2.5e-003'),
                                                 ('_x0041_ y _x00', '1234567890123.456'),
                                                 ('<&>"\'', '123456789012.345000'[:19]), (' lead', '-0.000'))])
        tables['marcas.dbf'] = escapes
        workbooks, shown = [], {}
        for name, path in sorted(tables.items()):
            result = run(exe, path)
            book = path[:-4] + '.xlsx'
            if result.returncode != 0 or not os.path.exists(book):
                problems.append('%s: status %d: %s' % (name, result.returncode, result.stderr))
                continue
            workbooks.append(book)
            if name in WARNINGS and WARNINGS[name] not in result.stderr:
                problems.append('%s: no warning %r in %r' % (name, WARNINGS[name], result.stderr))
            sheet = name[:-4][:31].replace('[', '_')
            shown[sheet] = check_workbook(book, [(sheet, path)], problems).get(sheet)
        # One workbook of several tables: sheets named after them, a repeat
        # (letter case apart) numbered and cut to fit.
        long_name = check_sql.LONG_NAMES[1]
        several = os.path.join(folder, 'varias.xlsx')
        result = run(exe, '-o', several, tables['level7.dbf'], tables[long_name + '.dbf'], tables['Select.dbf'])
        cut = long_name[:31]
        if result.returncode != 0:
            problems.append('several tables: %s' % result.stderr)
        else:
            check_workbook(several, [('level7', tables['level7.dbf']), (cut, tables[long_name + '.dbf']),
                                     ('Select', tables['Select.dbf'])], problems)
        for sheet_name, sheet in libreoffice_csv(workbooks, folder).items():
            stem = sheet_name.rsplit('-', 1)[-1]
            if stem in shown and shown[stem] is not None:
                compare_csv(stem, shown[stem], sheet, problems)
        if len(workbooks) != len(tables):
            problems.append('%d workbooks of %d tables' % (len(workbooks), len(tables)))
        problems += check_long_table(exe, folder)
        if len(sys.argv) > 2:
            problems += check_database_workbook(exe, os.path.abspath(sys.argv[2]), folder)
    for problem in problems:
        print(problem)
    print('xlsx: %d tables read back with openpyxl and LibreOffice: %s' % (len(tables), 'FAILED' if problems else 'OK'))
    return 1 if problems else 0


def check_database_workbook(exe, make, folder):
    problems = []
    root = os.path.join(folder, 'tienda')
    subprocess.run([make, root], check=True)
    result = run(exe, os.path.join(root, 'db', 'Tienda.dbc'))  # a listed table is missing: status 1
    book = os.path.join(root, 'db', 'Tienda.xlsx')
    if result.returncode != 1 or not os.path.exists(book):
        return ['database: status %d: %s' % (result.returncode, result.stderr)]
    sheets = openpyxl.load_workbook(book, read_only=True)
    if sorted(s.lower() for s in sheets.sheetnames) != sorted(check_database.TABLES):
        problems.append('database: sheets %s' % sheets.sheetnames)
    for name, (_, columns, _) in check_database.TABLES.items():
        title = next((s for s in sheets.sheetnames if s.lower() == name), None)
        got = [str(v).lower() for v in next(sheets[title].iter_rows(values_only=True))] if title else None
        if got != columns:
            problems.append('database: %s has the title row %s' % (name, got))
    alone = os.path.join(folder, 'sola.xlsx')
    result = run(exe, '-o', alone, os.path.join(root, 'tablas', 'Orders.DBF'))
    if result.returncode != 0 or openpyxl.load_workbook(alone, read_only=True).sheetnames != ['orders']:
        problems.append('database: a member alone: %s' % result.stderr)
    return problems


def check_long_table(exe, folder):
    """Past 1,048,575 records the rows go on in "NAME (2)", after its own title row."""
    problems = []
    path = os.path.join(folder, 'filas.dbf')
    count = 1048577
    head = bytes([3, 124, 1, 2]) + count.to_bytes(4, 'little') + (65).to_bytes(2, 'little') + (8).to_bytes(2, 'little')
    head = head.ljust(32, b'\0') + b'N'.ljust(11, b'\0') + b'N' + bytes(4) + bytes([7, 0]) + bytes(14) + b'\r'
    with open(path, 'wb') as f:
        f.write(head + b''.join(b' %7d' % n for n in range(1, count + 1)) + b'\x1a')
    result = run(exe, path)
    if result.returncode != 0:
        return ['long table: %s' % result.stderr]
    with zipfile.ZipFile(path[:-4] + '.xlsx') as book:
        names = re.findall(r'<sheet name="([^"]*)"', book.read('xl/workbook.xml').decode())
        second = book.read('xl/worksheets/sheet2.xml').decode()
        last = book.read('xl/worksheets/sheet1.xml')[-200:].decode()
    if names != ['filas', 'filas (2)']:
        problems.append('long table: sheets %s' % names)
    rows = re.findall(r'<row r="(\d+)">(.*?)</row>', second)
    if [r for r, _ in rows] != ['1', '2', '3'] or 'N</t>' not in rows[0][1] or '<v>1048576</v>' not in rows[1][1]:
        problems.append('long table: second sheet %s' % rows)
    if '<row r="1048576"><c s="2"><v>1048575</v></c></row>' not in last:
        problems.append('long table: first sheet ends %r' % last)
    return problems


if __name__ == '__main__':
    sys.exit(main())
