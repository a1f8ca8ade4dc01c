#!/usr/bin/python3
"""Loads what `orvalis-export --sql` writes into a real PostgreSQL (psql), a
real SQLite (the sqlite3 shell) and a real MariaDB (the mariadb client), reads
every value back typed and compares it with what dbfread reads from the table:
tables that python3-dbf and Perl's XBase write and tables written here byte by
byte (dBase III, dBase IV with a .dbt memo file, dBase level 7, wide rows, long
names). Also the warnings on junk values, and that a script loaded again fails
and leaves the table as it was, unless written with --replace; in MariaDB,
that a --replace load that fails part-way leaves the table as it was too.

    /usr/bin/python3 tests/peers/check_sql.py build/native/cli/orvalis-export

The PostgreSQL cluster and the MariaDB server are their own, each in a
temporary folder, on a Unix socket only, and are stopped at the end whatever
happens. Where one cannot start, the others are checked, unless
ORVALIS_REQUIRE_POSTGRESQL=1 or ORVALIS_REQUIRE_MARIADB=1 makes that a
failure. Another script of this folder can start them the same way:

    with check_sql.databases(folder) as (started, skipped):
        for db in started: db.load(script); db.read(table)
"""
import contextlib
import datetime as dt
import glob
import math
import os
import pwd
import re
import shutil
import signal
import sqlite3
import struct
import subprocess
import sys
import tempfile
import time
from decimal import Decimal

from dbfread import DBF
from dbfread.dbf import DBFField
from dbfread.memo import BinaryMemo

import check_peers

INT_MIN, INT_MAX = check_peers.INT_MIN, check_peers.INT_MAX


def raw_table(path, version, fields, records, memos=()):
    """A table written byte by byte: fields (name, type, length, decimals; a
    length past 255 keeps its high byte where the decimals go, as Clipper does),
    records (flag, values) with values as text or bytes, numbers right-aligned.
    memos: the texts of a dBase IV .dbt with 1024-byte blocks; a value that
    is an int in a memo field points at that memo (1-based)."""
    level7 = version == 0x04
    blocks, pointers = [], []
    for text in memos:
        pointers.append(1 + sum(len(b) // 1024 for b in blocks))
        data = b'\xff\xff\x08\x00' + struct.pack('<I', len(text) + 8) + text
        # Filled with '~', not 0x1A: only the stored length ends the text.
        blocks.append(data + b'~' * (-len(data) % 1024))
    start, size = (68, 48) if level7 else (32, 32)
    head = struct.pack('<4BIHH17xB2x', version, 124, 1, 2, len(records),
                       start + size * len(fields) + 1, 1 + sum(f[2] for f in fields), 0x03)
    if level7:
        head += b'DBWINWE0'.ljust(32, b'\0') + bytes(4)
    for name, kind, length, places in fields:
        name = name.encode('cp1252').ljust(32 if level7 else 11, b'\0')
        head += (name + kind.encode() + (b'' if level7 else bytes(4))
                 + bytes([length & 0xFF, length >> 8 or places])).ljust(size, b'\0')
    body = b''
    for flag, values in records:
        body += flag
        for (_, kind, length, _), value in zip(fields, values):
            if isinstance(value, int):
                value = str(pointers[value - 1])
            if isinstance(value, str):
                value = value.encode('cp1252')
            value = value.rjust(length) if kind in 'NFM' else value.ljust(length)
            assert len(value) == length, (value, length)
            body += value
    with open(path, 'wb') as f:
        f.write(head + b'\r' + body + b'\x1a')
    if memos:
        with open(path[:-4] + '.dbt', 'wb') as f:
            f.write(struct.pack('<I16xH', 1 + len(b''.join(blocks)) // 1024, 1024).ljust(1024, b'\0'))
            f.write(b''.join(blocks))


# SQL words, an accented name, two names that are one lower-cased; texts with
# quotes, backslashes (\N and \. mean something to COPY), tabs, CR/LF and a
# final CR (the sqlite3 shell drops a CR that ends a line), a byte 1252 does
# not map; blank, zero and impossible dates; every logical byte; junk numbers.
DBASE3_FIELDS = [('DESC', 'C', 12, 0), ('ORDER', 'N', 8, 2), ('USER', 'L', 1, 0),
                 ('AÑO', 'N', 4, 0), ('FECHA', 'D', 8, 0), ('NOTA', 'C', 6, 0),
                 ('Nota', 'C', 6, 0), ('QTY', 'N', 5, 0), ('CNT', 'N', 12, 0),
                 ('BIG', 'N', 20, 0), ('RATIO', 'F', 10, 3)]
DBASE3_RECORDS = [(b' ', values) for values in (
    ('it\'s "q"', '1234.50', 'T', '1999', '20240229', 'a\\b', 'x\ty', '42', '99999999999',
     '12345678901234567890', '-0.125'),
    ('a\r\nb', '-0.50', 'f', '', '        ', '\\.', 'end\r', '-7', '-1', '', ''),
    ('\\N', '', 'Y', '0', '00000000', '', '', '', '', '', '.5'),
    # Junk: an impossible date first, then letters, a fraction, *****, too many digits, X.
    (' lead', '', '?', '', '20230230', 'Ñ€ÿ', '', '', '', '', ''),
    (b'caf\x81', 'abc', ' ', '', '', '', '', '1.5', '', '', ''),
    ('', '********', b'\0', '', '', '', '', '', '', '', ''),
    ('', '12345678', 'X', '', '', '', '', '', '', '', ''),
    ('', '', 'n', '', '', '', '', '', '', '', ''),
    ('', '', 't', '', '', '', '', '', '', '', ''),
    ('', '', 'F', '', '', '', '', '', '', '', ''),
    ('', '', 'N', '', '', '', '', '', '', '', ''),
)]
# Memos in 1024-byte blocks with CR/LF, one over three blocks; a deleted
# record with a junk number, warned only when the record is written.
DBASE4_FIELDS = [('NAME', 'C', 10, 0), ('AMOUNT', 'N', 7, 2), ('DAY', 'D', 8, 0),
                 ('OK', 'L', 1, 0), ('NOTES', 'M', 10, 0)]
DBASE4_MEMOS = [b'line 1\r\nline 2\r\n', b'gone',
                b''.join(b'%04d it\'s "q" \\ \t\xe9\r\n' % n for n in range(100)),
                b'\rCR first, CR last\r']
DBASE4_RECORDS = [(b' ', ('uno', '12.5', '20240101', 'T', 1)),
                  (b'*', ('borrado', '1x', '20000101', 'F', 2)),
                  (b' ', ('tres', '', '', '?', 3)),
                  (b' ', ('cuatro', '-3', '19000101', 'N', '')),
                  (b' ', ('cinco', '0.01', '20991231', 'Y', 4))]


def level7_int(value):
    return struct.pack('>I', value + 2**31)


def level7_double(value):
    bits = struct.unpack('>Q', struct.pack('>d', value))[0]
    return struct.pack('>Q', bits ^ (2**64 - 1 if bits >> 63 else 2**63))


LEVEL7_FIELDS = [('Nombre_largo_de_campo', 'C', 10, 0), ('ENTERO', 'I', 4, 0),
                 ('AUTO', '+', 4, 0), ('DOBLE', 'O', 8, 0), ('IMPORTE', 'N', 10, 2),
                 ('FECHA', 'D', 8, 0), ('SI', 'L', 1, 0)]
LEVEL7_RECORDS = [(b' ', (name, level7_int(i), level7_int(n), level7_double(d), amount, day, ok))
                  for n, (name, i, d, amount, day, ok) in enumerate((
                      ('cero', 0, 0.0, '0.00', '20240229', 'T'),
                      ('uno', 1, 1.5, '-12.34', '', 'F'),
                      ('menos', -1, -2.25, '', '19991231', '?'),
                      ('máx', INT_MAX, 1e300, '9999999.99', '', 'Y'),
                      ('mín', INT_MIN + 1, -1e-300, '', '', 'N')), 1)]
# Enough records for several of SQLite's multi-row INSERTs; doubles with 17 digits.
LEVEL7_RECORDS += [(b' ', ('r%d' % n, level7_int(n * 4099 - 2**21), level7_int(n),
                           level7_double(n / 7 - 50), '%.2f' % (n * 0.37), '', 'T'))
                   for n in range(6, 1000)]


# Character fields past the rows MySQL and MariaDB take as VARCHAR: InnoDB's
# 8,126 bytes in a page (a real table: 145 fields, 3,541 characters in "C"
# fields), and the server's 65,535 bytes. Full texts of 3-byte characters.
WIDE_LENGTHS = [20 + n % 32 for n in range(100)]
WIDE_FIELDS = ([('C%02d' % n, 'C', length, 0) for n, length in enumerate(WIDE_LENGTHS)]
               + [('N%02d' % n, 'N', 10, 2) for n in range(30)] + [('D%02d' % n, 'D', 8, 0) for n in range(15)])
WIDE_RECORDS = [(b' ', ['€ñ'[n % 2] * length for n, length in enumerate(WIDE_LENGTHS)]
                 + ['%.2f' % (n * 1.5) for n in range(30)] + ['2024%02d%02d' % (n % 12 + 1, n + 1) for n in range(15)]),
                (b' ', ['x%d' % n for n in range(100)] + [''] * 45)]
LONG_FIELDS = [('L%02d' % n, 'C', 300, 0) for n in range(60)]
LONG_RECORDS = [(b' ', ['%02d' % n + 'é' * 297 + '€' for n in range(60)]), (b' ', [''] * 60)]
# A memo past the 1 MiB of a MySQL statement, between short ones.
BIG_MEMOS = [b'corto', b''.join(b'%07d \\ \'q\' \xe9\r\n' % n for n in range(120000)), b'otro']
BIG_RECORDS = [(b' ', (str(n), n)) for n in (1, 2, 3)]
# Table names of 64 characters and more, cut at a character to what each
# database keeps.
LONG_NAMES = ['Ñandú' * 12 + 'abcd', 'Tabla_de_clientes_de_la_delegación_de_Logroño_con_un_nombre_larguísimo']


def write_tables(folder):
    """The tables, by file name."""
    tables = {}
    # The peer check's python3-dbf and Perl XBase tables: memos, nulls, deleted
    # records, a picture block in an M field, long character fields.
    for dbf_type, fields, records in check_peers.TABLES:
        tables[dbf_type + '.dbf'] = os.path.join(folder, dbf_type + '.dbf')
        check_peers.write_table(tables[dbf_type + '.dbf'], fields, records, dbf_type)
    # Written byte by byte: what python3-dbf does not write.
    for name, version, fields, records, memos in (
            ('Select.dbf', 0x03, DBASE3_FIELDS, DBASE3_RECORDS, ()),
            ('dbase4.dbf', 0x8B, DBASE4_FIELDS, DBASE4_RECORDS, DBASE4_MEMOS),
            ('level7.dbf', 0x04, LEVEL7_FIELDS, LEVEL7_RECORDS, ()),
            ('empty.dbf', 0x03, DBASE4_FIELDS[:2], [], ()),
            ('ancha.dbf', 0x03, WIDE_FIELDS, WIDE_RECORDS, ()),
            ('larga.dbf', 0x03, LONG_FIELDS, LONG_RECORDS, ()),
            ('memogrande.dbf', 0x8B, DBASE4_FIELDS[:1] + DBASE4_FIELDS[4:], BIG_RECORDS, BIG_MEMOS)):
        tables[name] = os.path.join(folder, name)
        raw_table(tables[name], version, fields, records, memos)
    for name in LONG_NAMES:
        tables[name + '.dbf'] = os.path.join(folder, name + '.dbf')
        shutil.copy(tables['level7.dbf'], tables[name + '.dbf'])
    return tables


class Junk:
    """A value that cannot be what its type says: NULL, and warned."""


class Table(DBF):
    """dbfread, also reading level 7 field descriptors, and deleted records in place."""

    def _read_field_headers(self, infile):
        self.level7 = self.header.dbversion == 0x04
        if not self.level7:
            return super()._read_field_headers(infile)
        infile.seek(68)
        while (raw := infile.read(48))[:1] not in (b'\r', b''):
            field = DBFField.unpack(bytes(11) + raw[32:33] + bytes(4) + raw[33:35] + bytes(14))
            field.type = chr(ord(field.type))
            field.name = self._decode_text(raw[:32].split(b'\0')[0])
            self.fields.append(field)
            self.field_names.append(field.name)

    def in_order(self):
        """(deleted, values) for every record in the file's order."""
        with open(self.filename, 'rb') as f:
            data = f.read()
        start, size = self.header.headerlen, self.header.recordlen
        flags = [data[start + n * size:start + n * size + 1] for n in range(self.header.numrecords)]
        live, deleted = iter(self.records), iter(self.deleted)
        return [(flag == b'*', next(deleted if flag == b'*' else live)) for flag in flags]


class Expected(check_peers.DbtParser):
    """dbfread's parsing (.dbt memos read right), where it raises on junk or
    misreads, made to give what the values are."""

    def parseN(self, field, data):
        text = data.strip(b' ')
        if not text:
            return None
        if not re.fullmatch(rb'-?(\d+\.?\d*|\.\d+)', text):
            return Junk
        value, places = Decimal(text.decode()), field.decimal_count
        if places == 0:
            if value != int(value):
                return Junk
            return int(value) if field.length <= 18 else Decimal(int(value))
        # numeric(n,d) holds n - d digits before the point.
        return Junk if value.adjusted() >= field.length - places else value

    parseF = parseN

    def parseM(self, field, data):
        value = super().parseM(field, data)
        return Junk if isinstance(value, BinaryMemo) else value  # a picture or object block

    def parseL(self, field, data):
        if data == b'\0':
            return None
        try:
            return super().parseL(field, data)
        except ValueError:
            return Junk

    def parseD(self, field, data):
        try:
            return super().parseD(field, data) if data.isdigit() or not data.strip(b' 0') else Junk
        except ValueError:
            return Junk

    def parseY(self, field, data):
        # The stored 4 places, so that SQLite's reading of the text agrees.
        return Decimal(struct.unpack('<q', data)[0]).scaleb(-4)

    def parseI(self, field, data):
        if self.table.level7:  # big-endian with the sign bit flipped
            return struct.unpack('>I', data)[0] - 2**31
        return super().parseI(field, data)

    parse2B = parseI

    def parseO(self, field, data):
        bits = struct.unpack('>Q', data)[0]
        bits ^= 2**63 if bits >> 63 else 2**64 - 1
        return struct.unpack('>d', struct.pack('>Q', bits))[0]


def column_names(fields):
    """Lower-cased, _2, _3 for names that repeat."""
    names = []
    for field in fields:
        name, n = field.name.lower(), 1
        while (name if n == 1 else '%s_%d' % (name, n)) in names:
            n += 1
        names.append(name if n == 1 else '%s_%d' % (name, n))
    return names


def expected(path, skip_deleted, db, parserclass=None, names=column_names):
    """Column names, (record number, values) of the rows, and the warnings;
    parserclass (Expected by default) reads the values, names names the columns."""
    # With a one-byte code page 'replace' differs from 'strict' only where
    # 1252 maps no character: U+FFFD, as the export writes it.
    table = Table(path, encoding='cp1252', char_decode_errors='replace', parserclass=parserclass or Expected,
                  recfactory=lambda items: [value for _, value in items])
    vfp = table.header.dbversion in check_peers.VFP_VERSIONS
    # Hidden fields (_NullFlags) are not columns; null bits count the nullable fields.
    visible = [n for n, f in enumerate(table.fields) if not (vfp and f.reserved1 & 0x01)]
    nullable = [n for n, f in enumerate(table.fields) if vfp and f.reserved1 & 0x02]
    flags_at = [n for n, f in enumerate(table.fields) if vfp and f.type == '0']
    rows, junk, unmapped = [], [], []
    for number, (deleted, values) in enumerate(table.in_order(), 1):
        if deleted and skip_deleted:
            continue
        flags = int.from_bytes(b''.join(values[n] for n in flags_at), 'little')
        for bit, n in enumerate(nullable):
            if flags >> bit & 1:
                values[n] = None
        for n in visible:
            name = table.fields[n].name
            if values[n] is Junk or not db.holds(values[n]):
                junk.append((number, name))
                values[n] = None
            if isinstance(values[n], bytes):
                values[n] = bytes(values[n])  # dbfread's memo classes
            if isinstance(values[n], str):
                unmapped += [(number, name)] * values[n].count('\ufffd')
        rows.append((number, [values[n] for n in visible]))
    warnings = {kind: (len(found), found[0][0], found[0][1].lower())
                for kind, found in (('valores', junk), ('bytes', unmapped)) if found}
    return names([table.fields[n] for n in visible]), rows, warnings


def same(want, got):
    if isinstance(want, float) and isinstance(got, float) and math.isnan(want):
        return math.isnan(got)
    return type(want) is type(got) and want == got


class Skip(Exception):
    pass


class Database:
    """What the checks ask of every database: load(script) runs a script as
    the database's own client does and gives its CompletedProcess; read(table)
    gives the column names and the rows; wants(value) the values that may
    stand for one of dbfread's; holds(value) whether it can at all."""
    longest, in_characters = 63, False  # the names it keeps

    def start(self):
        pass

    def stop(self):
        pass

    @staticmethod
    def wants(value):
        return [value]

    @staticmethod
    def holds(value):
        return True

    def table_name(self, stem):
        """The table a file of that name loads into: lower-cased and cut."""
        if self.in_characters:
            return stem.lower()[:self.longest].rstrip(' ')
        return stem.lower().encode()[:self.longest].decode('utf-8', 'ignore')

    def run_as_owner(self, folder, user):
        """As root, the server runs as its own user, in a folder it owns."""
        if os.geteuid() != 0:
            return []
        try:
            owner = pwd.getpwnam(user)
        except KeyError:
            raise Skip('no user %s to run the server as' % user)
        os.chown(folder, owner.pw_uid, owner.pw_gid)
        return ['runuser', '-u', user, '--']


class Postgres(Database):
    name, dialect = 'PostgreSQL', 'postgresql'

    def __init__(self, folder):
        self.folder, self.run_as = folder, []

    def start(self):
        try:
            import psycopg2
        except ImportError:
            raise Skip('no psycopg2 (python3-psycopg2)')
        self.psycopg2 = psycopg2
        found = sorted(glob.glob('/usr/lib/postgresql/*/bin/initdb'),
                       key=lambda p: int(re.sub(r'\D', '', p.split('/')[3]) or 0))
        if not found:
            raise Skip('no initdb under /usr/lib/postgresql/*/bin')
        self.bin = os.path.dirname(found[-1])
        self.run_as = self.run_as_owner(self.folder, 'postgres')  # it refuses to run as root
        data = os.path.join(self.folder, 'data')
        self.tool('initdb', '-D', data, '-U', 'orvalis', '-A', 'trust', '-E', 'UTF8',
                  '--locale=C', '--no-sync')
        self.tool('pg_ctl', '-D', data, '-l', os.path.join(self.folder, 'log'), '-w', '-o',
                  "-c listen_addresses='' -c unix_socket_directories='%s' -c fsync=off"
                  % self.folder, 'start')
        try:
            self.read('pg_class')
        except self.psycopg2.Error as error:
            raise Skip('no connection: %s' % str(error).strip())

    def tool(self, name, *args):
        # Own session: a Ctrl-C reaches this script, which stops the server.
        run = subprocess.run(self.run_as + [os.path.join(self.bin, name), *args],
                             capture_output=True, text=True, start_new_session=True, timeout=120)
        if run.returncode:
            log = os.path.join(self.folder, 'log')
            tail = open(log).read().splitlines()[-4:] if os.path.exists(log) else []
            raise Skip('\n  '.join(['%s failed (%d): %s' % (name, run.returncode,
                                                            (run.stderr or run.stdout).strip())] + tail))

    def stop(self):
        # Also a start that failed or was interrupted half-way.
        if os.path.exists(os.path.join(self.folder, 'data', 'postmaster.pid')):
            try:
                self.tool('pg_ctl', '-D', os.path.join(self.folder, 'data'), '-m', 'immediate',
                          '-w', 'stop')
            except Skip as why:
                print('PostgreSQL did not stop: %s' % why)

    def load(self, script):
        return subprocess.run([os.path.join(self.bin, 'psql'), '-v', 'ON_ERROR_STOP=1', '-X', '-q',
                               '-h', self.folder, '-U', 'orvalis', '-d', 'postgres', '-f', script],
                              capture_output=True, timeout=120)

    def read(self, table):
        connection = self.psycopg2.connect(host=self.folder, user='orvalis', dbname='postgres')
        connection.autocommit = True  # no lock held against the next load's DROP TABLE
        try:
            with connection.cursor() as cursor:
                cursor.execute('SELECT * FROM "%s"' % table)
                return ([d.name for d in cursor.description],
                        [[bytes(v) if isinstance(v, memoryview) else v for v in row]
                         for row in cursor.fetchall()])
        finally:
            connection.close()


class Sqlite(Database):
    name, dialect = 'SQLite', 'sqlite'

    def __init__(self, folder):
        self.path = os.path.join(folder, 'sqlite.db')
        self.own = sqlite3.connect(':memory:')

    def load(self, script):
        with open(script, 'rb') as f:
            return subprocess.run(['sqlite3', self.path], stdin=f, capture_output=True, timeout=120)

    def read(self, table):
        connection = sqlite3.connect(self.path)
        connection.text_factory = lambda b: b.decode('utf-8', 'backslashreplace')
        try:
            cursor = connection.execute('SELECT * FROM "%s"' % table)
            return [d[0] for d in cursor.description], [list(row) for row in cursor]
        finally:
            connection.close()

    def cast(self, value, kind):
        return self.own.execute('SELECT CAST(? AS %s)' % kind, (value,)).fetchone()[0]

    def wants(self, value):
        """What SQLite holds for a value: its reading of the value's text, or
        the value itself (SQLite's text-to-number may round otherwise)."""
        if isinstance(value, bool):
            return [int(value)]
        if isinstance(value, (int, Decimal)):
            whole = value == int(value) and -2**63 <= value < 2**63
            return [self.cast(format(value, 'f'), 'NUMERIC'), int(value) if whole else float(value)]
        if isinstance(value, float):
            return [self.cast(value, 'REAL')] + [self.cast(repr(value), 'REAL')] * math.isfinite(value)
        if isinstance(value, dt.datetime):
            return ['%04d-%02d-%02d %02d:%02d:%02d' % value.timetuple()[:6]
                    + ('.%03d' % (value.microsecond // 1000) if value.microsecond else '')]
        if isinstance(value, dt.date):
            return ['%04d-%02d-%02d' % (value.year, value.month, value.day)]
        return [value]


class MariaDb(Database):
    """A throwaway server from Debian's packages: mariadb-install-db and
    mariadbd as user mysql, data and socket in its folder, no network."""
    name, dialect = 'MariaDB', 'mysql'
    longest, in_characters = 64, True

    def __init__(self, folder):
        self.folder, self.server = folder, None
        self.socket = os.path.join(folder, 'socket')

    def start(self):
        try:
            import pymysql
        except ImportError:
            raise Skip('no pymysql (python3-pymysql)')
        self.pymysql = pymysql
        programs = {name: shutil.which(name, path='/usr/bin:/usr/sbin')
                    for name in ('mariadb-install-db', 'mariadbd', 'mariadb')}
        if not all(programs.values()):
            raise Skip('no %s (mariadb-server, mariadb-client)'
                       % ', '.join(name for name, found in programs.items() if not found))
        self.client = programs['mariadb']
        run_as = self.run_as_owner(self.folder, 'mysql')
        data, log = os.path.join(self.folder, 'data'), os.path.join(self.folder, 'log.err')
        install = subprocess.run(run_as + [programs['mariadb-install-db'], '--no-defaults', '--datadir=' + data,
                                           '--auth-root-authentication-method=normal', '--skip-test-db'],
                                 capture_output=True, text=True, start_new_session=True, timeout=120)
        if install.returncode:
            raise Skip('mariadb-install-db failed (%d): %s' % (install.returncode, install.stderr.strip()))
        # Own session: a Ctrl-C reaches this script, which stops the server.
        self.server = subprocess.Popen(
            run_as + [programs['mariadbd'], '--no-defaults', '--datadir=' + data, '--socket=' + self.socket,
                      '--skip-networking', '--pid-file=' + os.path.join(self.folder, 'pid'),
                      '--log-error=' + log, '--skip-grant-tables', '--innodb-flush-log-at-trx-commit=0'],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, start_new_session=True)
        for _ in range(300):
            if self.server.poll() is not None:
                break
            try:
                self.connect(None).close()
                break
            except pymysql.Error:
                time.sleep(0.1)
        else:
            raise Skip('no connection after 30 seconds')
        if self.server.poll() is not None:
            tail = open(log).read().splitlines()[-4:] if os.path.exists(log) else []
            raise Skip('\n  '.join(['mariadbd ended (%d)' % self.server.returncode] + tail))
        connection = self.connect(None)
        try:
            connection.cursor().execute('CREATE DATABASE orvalis')
        finally:
            connection.close()

    def connect(self, database='orvalis'):
        return self.pymysql.connect(unix_socket=self.socket, user='root', database=database, charset='utf8mb4')

    def stop(self):
        # Also a start that failed or was interrupted half-way.
        if self.server is None or self.server.poll() is not None:
            return
        self.server.terminate()
        try:
            self.server.wait(timeout=60)
        except subprocess.TimeoutExpired:
            self.server.kill()
            self.server.wait()

    def load(self, script):
        with open(script, 'rb') as f:
            return subprocess.run([self.client, '--no-defaults', '--socket=' + self.socket, '-u', 'root',
                                   'orvalis'], stdin=f, capture_output=True, timeout=120)

    def read(self, table):
        connection = self.connect()
        try:
            with connection.cursor() as cursor:
                cursor.execute('SELECT * FROM `%s`' % table.replace('`', '``'))
                return [d[0] for d in cursor.description], [list(row) for row in cursor.fetchall()]
        finally:
            connection.close()

    @staticmethod
    def wants(value):
        return [int(value) if isinstance(value, bool) else value]  # BOOLEAN is TINYINT(1)

    @staticmethod
    def holds(value):
        return not (isinstance(value, float) and not math.isfinite(value))  # DOUBLE has no infinity or NaN


@contextlib.contextmanager
def databases(folder):
    """SQLite in `folder`, and PostgreSQL and MariaDB each started in a folder
    of its own under /tmp (a socket's path must be short), all stopped and
    removed whatever happens. Yields the databases that started and, by name,
    why the others could not."""
    servers = [Postgres(tempfile.mkdtemp(prefix='orvalis-pg-', dir='/tmp')),
               MariaDb(tempfile.mkdtemp(prefix='orvalis-mariadb-', dir='/tmp'))]
    started, skipped = [Sqlite(folder)], {}
    try:
        for server in servers:
            try:
                server.start()
                started.append(server)
            except Skip as why:
                skipped[server.name] = str(why)
        yield started, skipped
    finally:
        for server in servers:
            try:
                server.stop()
            finally:
                shutil.rmtree(server.folder, ignore_errors=True)


WARNING = re.compile(r'Aviso: tabla .*?: (\w+)[^:]*: (\d+), el primero en el registro (\d+), '
                     r'campo (.*?); ')
# Options, tables (None: all), whether the load succeeds, and whether the
# table then lacks the deleted records.
RUNS = [
    ((), None, True, False),
    # Already loaded: the load fails and the table keeps every record.
    (('--skip-deleted',), ['dbase4.dbf'], False, False),
    (('--skip-deleted', '--replace'), ['dbase4.dbf'], True, True),
]


def short(value):
    text = repr(value)
    return text if len(text) < 160 else text[:150] + '...' + text[-10:]


def check_run(exe, db, path, options, must_load, held_skip_deleted, script, edit=None):
    """Exports the table, loads the script (changed by `edit` first, if
    given) and compares the table the database then holds with dbfread's."""
    warnings = expected(path, '--skip-deleted' in options, db)[2]
    names, rows, _ = expected(path, held_skip_deleted, db)
    run = subprocess.run([exe, '--sql=' + db.dialect, *options, '-o', script, path],
                         capture_output=True, timeout=120)
    stderr = run.stderr.decode('utf-8', 'backslashreplace')
    if run.returncode:
        return ['orvalis-export exit %d: %s' % (run.returncode, stderr.strip())]
    problems = []
    said = {kind: (int(count), int(record), field.strip('"\'«»').lower())
            for kind, count, record, field in WARNING.findall(stderr)}
    if said != warnings:
        problems.append('warnings (count, record, field): expected %s, got %s\n  %s'
                        % (warnings, said, stderr.strip()))
    with open(script, 'rb') as f:
        text = f.read()
    if b'\r' in text:  # lines end in LF; a CR in a value is written escaped
        problems.append('a CR byte in the script, at %d' % text.index(b'\r'))
    try:
        text.decode('utf-8')
    except UnicodeDecodeError as error:
        problems.append('the script is not UTF-8: %s' % error)
    if edit:
        with open(script, 'wb') as f:
            f.write(edit(text))
    load = db.load(script)
    if (load.returncode == 0) != must_load:
        problems.append('the load %s (exit %d): %s' % ('failed' if must_load else 'succeeded',
                                                       load.returncode,
                                                       load.stderr.decode('utf-8', 'replace').strip()))
    table = db.table_name(os.path.splitext(os.path.basename(path))[0])
    try:
        got_names, got_rows = db.read(table)
    except Exception as error:  # any driver's error: the table is not there as it should be
        return problems + ['reading "%s" back: %s' % (table, str(error).strip())]
    if got_names != names:
        problems.append('columns: expected %s\n  got %s' % (names, got_names))
    if len(got_rows) != len(rows):  # values by place would mislead
        return problems + ['%d rows, expected %d' % (len(got_rows), len(rows))]
    for (number, values), got in zip(rows, got_rows):
        for name, value, have in zip(names, values, got):
            wants = db.wants(value)
            if not any(same(want, have) for want in wants):
                problems.append('record %d, %s: expected %s, got %s'
                                % (number, name, short(wants[0]), short(have)))
    return problems


def cut_short(text):
    """The script up to the middle of its second row."""
    first = text.index(b'),\n(', text.index(b'INSERT INTO'))
    return text[:first + 6]


def refused(text):
    """The script with a date the server refuses (in STRICT mode)."""
    assert text.count(b"'2024-01-01'") == 1
    return text.replace(b"'2024-01-01'", b"'2024-13-45'")


def check_mariadb(exe, db, tables, script):
    """What MySQL and MariaDB need beyond the others: character fields past
    the row's limits are TEXT, and a --replace load that fails part-way, cut
    short or refused, leaves the table as it was; the next load goes through."""
    problems = []
    for name in ('ancha.dbf', 'larga.dbf'):
        subprocess.run([exe, '--sql=mysql', '-o', script, tables[name]], capture_output=True, timeout=120)
        with open(script, 'rb') as f:
            text = f.read()
        if b' TEXT,' not in text or b' VARCHAR(' not in text:
            problems.append('%s: the row past its limit should take VARCHAR and TEXT columns' % name)
    path = tables['dbase4.dbf']
    problems += check_run(exe, db, path, ('--replace',), True, False, script)  # every record
    for edit in (cut_short, refused):
        problems += ['%s: %s' % (edit.__name__, problem) for problem in
                     check_run(exe, db, path, ('--replace', '--skip-deleted'), False, False, script, edit)]
    problems += check_run(exe, db, path, ('--replace', '--skip-deleted'), True, True, script)
    return problems


def main():
    exe = os.path.abspath(sys.argv[1])
    required = {name for name, variable in (('PostgreSQL', 'ORVALIS_REQUIRE_POSTGRESQL'),
                                            ('MariaDB', 'ORVALIS_REQUIRE_MARIADB'))
                if os.environ.get(variable) == '1'}
    # A kill runs the finally clauses, as a Ctrl-C does.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    failed = False
    with tempfile.TemporaryDirectory() as folder, databases(folder) as (started, skipped):
        for name, why in skipped.items():
            print('%s could not be started: %s' % (name, why))
            failed = failed or name in required
        os.mkdir(os.path.join(folder, 'tables'))
        tables = write_tables(os.path.join(folder, 'tables'))
        script = os.path.join(folder, 'out.sql')
        for db in started:
            for options, names, must_load, held_skip_deleted in RUNS:
                for name in names or tables:
                    problems = check_run(exe, db, tables[name], options, must_load, held_skip_deleted, script)
                    for problem in problems:
                        print('%s, %s%s: %s' % (db.name, name, ''.join(' ' + o for o in options), problem))
                    failed = failed or bool(problems)
            if db.dialect == 'mysql':
                problems = check_mariadb(exe, db, tables, script)
                for problem in problems:
                    print('%s: %s' % (db.name, problem))
                failed = failed or bool(problems)
    verdict = 'FAILED' if failed else 'OK'
    names = ', '.join(db.name for db in started)
    print('sql loads: %d tables x %d databases (%s) compared: %s%s'
          % (len(tables), len(started), names, verdict,
             ''.join('; %s skipped: %s' % (name, why.splitlines()[0]) for name, why in skipped.items())))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
