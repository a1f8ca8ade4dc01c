#!/usr/bin/python3
"""Exports the Visual FoxPro database that make_database writes, whole, as
one script per database, loads each into a real PostgreSQL and SQLite and
checks the long table and column names, every row (compared, typed, with
dbfread's reading of the member tables), the keys and indexes each database
then holds, and the messages for what the script leaves out. Also a member
table exported alone, several tables in one script, and the text layouts.

    /usr/bin/python3 tests/peers/check_database.py build/native/cli/orvalis-export \
        build/native/tests/peers/make_database

PostgreSQL as check_sql.py starts it; where it cannot start, SQLite alone,
unless ORVALIS_REQUIRE_POSTGRESQL=1 makes that a failure.
"""
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile

import check_sql

# Each table: its file, its long field names, and the keys the script holds:
# (kind, columns[, parent table, parent columns]).
TABLES = {
    'customer': ('db/customer.dbf',
                 ['cust_id', 'company_name', 'city', 'contact_type', 'contact_type_id', 'notes'],
                 {('p', ('cust_id',)), ('u', ('company_name', 'city')), ('i', ('city',))}),
    'orders': ('tablas/Orders.DBF',
               ['order_id', 'cust_id', 'order_date', 'ship_company', 'ship_city', 'total'],
               {('p', ('order_id',)), ('i', ('cust_id',)), ('i', ('ship_company', 'ship_city')),
                ('f', ('cust_id',), 'customer', ('cust_id',)),
                ('f', ('ship_company', 'ship_city'), 'customer', ('company_name', 'city'))}),
    'order_line_items': ('db/orditems.dbf', ['order_id', 'line_no', 'product_id', 'quantity'],
                         {('i', ('order_id',)), ('i', ('product_id',))}),
    'products': ('db/products.dbf', ['product_id', 'product_name'], set()),
    'employees': ('db/data dir/employee.dbf', ['employee_id', 'reports_to', 'last_name'],
                  {('p', ('employee_id',)), ('i', ('reports_to',)),
                   ('f', ('reports_to',), 'employees', ('employee_id',))}),
}
# What the export says it leaves out, and why.
MESSAGES = [
    r'Nota: tabla customer: .*uppername \(UPPER\(company_na\)\), active \(FOR !DELETED\(\)\)',
    r'Nota: tabla order_line_items: .*itemkey \(STR\(order_id\)\+STR\(line_no\)\)',
    r'Aviso: tabla products: se omite la clave primaria product_id: el valor del registro 4 se repite',
    r'Aviso: tabla order_line_items: se omite la clave for.nea order_id hacia orders: '
    r'el registro 4 no tiene registro padre',
    r'Aviso: tabla order_line_items: se omite la clave for.nea product_id hacia products: '
    r'se ha omitido la clave primaria product_id',
    r'shippers\.dbf',
]


def postgres_keys(db):
    """(table, kind, columns[, parent, parent columns]) of every key and index."""
    connection = db.psycopg2.connect(host=db.folder, user='orvalis', dbname='postgres')
    try:
        with connection.cursor() as cursor:
            def columns(table, numbers):
                cursor.execute('SELECT attnum, attname FROM pg_attribute WHERE attrelid = %s::regclass',
                               ('"%s"' % table,))
                names = dict(cursor.fetchall())
                return tuple(names[n] for n in numbers)
            keys = set()
            cursor.execute("SELECT conrelid::regclass::text, contype, conkey, confrelid::regclass::text, "
                           "confkey FROM pg_constraint WHERE connamespace = 'public'::regnamespace")
            for table, kind, conkey, parent, confkey in cursor.fetchall():
                table, parent = table.strip('"'), parent.strip('"')
                key = (table, kind, columns(table, conkey))
                keys.add(key + ((parent, columns(parent, confkey)) if kind == 'f' else ()))
            cursor.execute("SELECT indrelid::regclass::text, indkey::int2[] FROM pg_index "
                           "JOIN pg_class c ON c.oid = indexrelid WHERE c.relnamespace = 'public'::regnamespace "
                           "AND NOT EXISTS (SELECT 1 FROM pg_constraint WHERE conindid = indexrelid)")
            for table, numbers in cursor.fetchall():
                table = table.strip('"')
                keys.add((table, 'i', columns(table, numbers)))
            return keys
    finally:
        connection.close()


def sqlite_keys(db):
    connection = sqlite3.connect(db.path)
    try:
        keys = set()
        for (table,) in connection.execute("SELECT name FROM sqlite_master WHERE type = 'table'"):
            # An INTEGER primary key is the rowid, with no index of its own.
            primary = sorted((pk, name) for _, name, _, _, _, pk in connection.execute('PRAGMA table_info("%s")' % table) if pk)
            if primary:
                keys.add((table, 'p', tuple(name for _, name in primary)))
            for _, name, _, origin, _ in connection.execute('PRAGMA index_list("%s")' % table):
                columns = tuple(c[2] for c in connection.execute('PRAGMA index_info("%s")' % name))
                keys.add((table, {'pk': 'p', 'u': 'u', 'c': 'i'}[origin], columns))
            fks = {}
            for fk in connection.execute('PRAGMA foreign_key_list("%s")' % table):
                fks.setdefault(fk[0], []).append(fk)
            for rows in fks.values():
                rows.sort(key=lambda r: r[1])
                keys.add((table, 'f', tuple(r[3] for r in rows), rows[0][2], tuple(r[4] for r in rows)))
        return keys
    finally:
        connection.close()


def run(exe, *args):
    done = subprocess.run([exe, *args], capture_output=True, timeout=120)
    return done.returncode, done.stderr.decode('utf-8', 'replace')


def check_loaded(db, root, keys):
    """The tables, their rows and their keys, as the database holds them."""
    problems = []
    want_keys = set()
    for name, (path, fields, table_keys) in TABLES.items():
        want_keys |= {(name,) + key for key in table_keys}
        _, rows, _ = check_sql.expected(os.path.join(root, path), False)
        try:
            got_names, got_rows = db.read(name)
        except Exception as error:
            problems.append('reading %s: %s' % (name, str(error).strip()))
            continue
        if got_names != fields:
            problems.append('%s: columns %s, expected %s' % (name, got_names, fields))
        if len(got_rows) != len(rows):
            problems.append('%s: %d rows, expected %d' % (name, len(got_rows), len(rows)))
            continue
        for (number, values), got in zip(rows, got_rows):
            for field, value, have in zip(fields, values, got):
                wants = db.wants(value)
                if not any(check_sql.same(want, have) for want in wants):
                    problems.append('%s, record %d, %s: expected %r, got %r' % (name, number, field, wants[0], have))
    got_keys = keys(db)
    for missing in sorted(want_keys - got_keys, key=str):
        problems.append('key missing: %s' % (missing,))
    for extra in sorted(got_keys - want_keys, key=str):
        problems.append('key not expected: %s' % (extra,))
    return problems


def check_database(exe, db, root, keys, out):
    status, stderr = run(exe, '--sql=' + db.dialect, '-d', out, os.path.join(root, 'db', 'Tienda.dbc'))
    problems = [] if status == 1 else ['exit %d, expected 1 (a listed table is missing)' % status]
    problems += ['no message: %s\n  %s' % (m, stderr) for m in MESSAGES if not re.search(m, stderr)]
    script = os.path.join(out, 'Tienda.sql')
    load = db.load(script)
    if load.returncode:
        return problems + ['the load failed: %s' % load.stderr.decode('utf-8', 'replace').strip()]
    return problems + check_loaded(db, root, keys)


def check_alone(exe, root, folder):
    """A member table alone has its long names; several tables go into one
    script with -o; a database's text layouts are one file per table."""
    problems = []
    db = check_sql.Sqlite(folder)
    script = os.path.join(folder, 'alone.sql')
    status, stderr = run(exe, '--sql=sqlite', '-o', script, os.path.join(root, 'tablas', 'Orders.DBF'),
                         os.path.join(root, 'db', 'customer.dbf'))
    load = db.load(script)
    if status or load.returncode:
        problems.append('alone: exit %d, load %d: %s %s' % (status, load.returncode, stderr,
                                                             load.stderr.decode('utf-8', 'replace')))
    for name in ('orders', 'customer'):
        got = db.read(name)[0] if not problems else []
        if got != TABLES[name][1]:
            problems.append('alone: %s has columns %s' % (name, got))
    texts = os.path.join(folder, 'texts')
    os.mkdir(texts)
    status, stderr = run(exe, '--csv', '--header', '-d', texts, os.path.join(root, 'db', 'Tienda.dbc'))
    written = sorted(os.listdir(texts))
    if status != 1 or written != sorted(n + '.txt' for n in TABLES):
        problems.append('texts: exit %d, files %s: %s' % (status, written, stderr))
    elif open(os.path.join(texts, 'employees.txt'), 'rb').readline() != b'"employee_id","reports_to","last_name"\r\n':
        problems.append('texts: the header of employees.txt names the short fields')
    return problems


def main():
    exe, make = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    require = os.environ.get('ORVALIS_REQUIRE_POSTGRESQL') == '1'
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    failed, skipped = False, None
    with tempfile.TemporaryDirectory() as folder, \
            tempfile.TemporaryDirectory(prefix='orvalis-pg-', dir='/tmp') as pg_folder:
        root = os.path.join(folder, 'tienda')
        subprocess.run([make, root], check=True)
        databases = [(check_sql.Sqlite(folder), sqlite_keys)]
        postgres = check_sql.Postgres(pg_folder)
        try:
            try:
                postgres.start()
                databases.append((postgres, postgres_keys))
            except check_sql.Skip as why:
                skipped = str(why)
                failed = require
            checks = [(db.name, lambda db=db, keys=keys: check_database(exe, db, root, keys, folder))
                      for db, keys in databases]
            checks.append(('alone', lambda: check_alone(exe, root, tempfile.mkdtemp(dir=folder))))
            for name, check in checks:
                for problem in check():
                    print('%s: %s' % (name, problem))
                    failed = True
        finally:
            postgres.stop()
    verdict = 'FAILED' if failed else 'OK'
    print('database: %s%s' % (verdict, '; PostgreSQL skipped: %s' % skipped.splitlines()[0] if skipped else ''))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
