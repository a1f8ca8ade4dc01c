#!/usr/bin/python3
"""Exports the Visual FoxPro database that make_database writes, whole, as
one script per database, loads each into a real PostgreSQL and SQLite and
checks the long table and column names, every row (compared, typed, with
dbfread's reading of the member tables), the keys and indexes each database
then holds, and the messages for what the script leaves out. Also a member
table exported alone, several tables in one script, and the text layouts.

    /usr/bin/python3 tests/peers/check_database.py build/native/cli/orvalis-export \
        build/native/tests/peers/make_database

PostgreSQL and MariaDB as check_sql.py starts them; where one cannot start,
the others, unless ORVALIS_REQUIRE_POSTGRESQL=1 or ORVALIS_REQUIRE_MARIADB=1
makes that a failure.
"""
import os
import re
import signal
import sqlite3
import subprocess
import sys
import tempfile

import check_sql

# A field name of 128 characters, the longest FoxPro gives.
LEDGER_CODE = ('category_code_used_by_the_accounting_department_in_its_yearly_reports_and_'
               'in_each_export_to_the_general_ledgers_of_all_companies')
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
    'expense_categories': ('db/expcat.dbf',
                           ['expensecategoryid', LEDGER_CODE, 'description_in_spanish', 'description_in_english',
                            'region_code', 'region_code_of_the_office', 'region_co2'],
                           {('p', ('expensecategoryid',)), ('u', (LEDGER_CODE,)),
                            ('u', ('description_in_spanish', 'description_in_english')),
                            ('i', ('region_code',)), ('i', ('region_code_of_the_office',)), ('i', ('region_co2',))}),
    'expenses': ('db/expenses.dbf', ['expense_id', 'expensecategoryid', 'amount_in_euros'],
                 {('p', ('expense_id',)), ('i', ('expensecategoryid',)),
                  ('f', ('expensecategoryid',), 'expense_categories', ('expensecategoryid',))}),
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


def mariadb_keys(db):
    connection = db.connect()
    try:
        with connection.cursor() as cursor:
            keys, foreign = set(), set()
            cursor.execute("SELECT k.TABLE_NAME, c.CONSTRAINT_TYPE, k.CONSTRAINT_NAME, k.COLUMN_NAME, "
                           "k.REFERENCED_TABLE_NAME, k.REFERENCED_COLUMN_NAME FROM "
                           "information_schema.KEY_COLUMN_USAGE k JOIN information_schema.TABLE_CONSTRAINTS c "
                           "USING (CONSTRAINT_SCHEMA, TABLE_NAME, CONSTRAINT_NAME) "
                           "WHERE k.TABLE_SCHEMA = DATABASE() ORDER BY k.TABLE_NAME, k.CONSTRAINT_NAME, "
                           "k.ORDINAL_POSITION")
            constraints = {}
            for table, kind, name, column, parent, parent_column in cursor.fetchall():
                entry = constraints.setdefault((table, name), [kind, [], parent, []])
                entry[1].append(column)
                entry[3].append(parent_column)
            for (table, name), (kind, columns, parent, parents) in constraints.items():
                short = {'PRIMARY KEY': 'p', 'UNIQUE': 'u', 'FOREIGN KEY': 'f'}[kind]
                keys.add((table, short, tuple(columns)) + ((parent, tuple(parents)) if short == 'f' else ()))
                foreign |= {(table, name)} if short == 'f' else set()
            cursor.execute("SELECT TABLE_NAME, INDEX_NAME, COLUMN_NAME FROM information_schema.STATISTICS "
                           "WHERE TABLE_SCHEMA = DATABASE() AND NON_UNIQUE = 1 ORDER BY TABLE_NAME, INDEX_NAME, "
                           "SEQ_IN_INDEX")
            indexes = {}
            for table, name, column in cursor.fetchall():
                if (table, name) not in foreign:  # the index a foreign key makes for itself
                    indexes.setdefault((table, name), []).append(column)
            keys |= {(table, 'i', tuple(columns)) for (table, _), columns in indexes.items()}
            return keys
    finally:
        connection.close()


def fitted(db, key):
    """A key's column names as the database keeps them: MariaDB cuts names to
    64 characters, the others to 63."""
    most = 64 if db.name == 'MariaDB' else 63
    return tuple(tuple(n[:most] for n in part) if isinstance(part, tuple) else part for part in key)


def run(exe, *args):
    done = subprocess.run([exe, *args], capture_output=True, timeout=120)
    return done.returncode, done.stderr.decode('utf-8', 'replace')


def check_loaded(db, root, keys):
    """The tables, their rows and their keys, as the database holds them."""
    problems = []
    want_keys = set()
    for name, (path, fields, table_keys) in TABLES.items():
        want_keys |= {fitted(db, (name,) + key) for key in table_keys}
        fields = list(fitted(db, (tuple(fields),))[0])
        _, rows, _ = check_sql.expected(os.path.join(root, path), False, db)
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
        # In any order: a database may give them back in the order of a key.
        left = list(got_rows)
        for number, values in rows:
            match = next((got for got in left if all(any(check_sql.same(want, have) for want in db.wants(value))
                                                     for value, have in zip(values, got))), None)
            if match is None:
                problems.append('%s, record %d: %r not loaded' % (name, number, values))
            else:
                left.remove(match)
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


KEYS = {'PostgreSQL': postgres_keys, 'SQLite': sqlite_keys, 'MariaDB': mariadb_keys}


def main():
    exe, make = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    required = {name for name, variable in (('PostgreSQL', 'ORVALIS_REQUIRE_POSTGRESQL'),
                                            ('MariaDB', 'ORVALIS_REQUIRE_MARIADB'))
                if os.environ.get(variable) == '1'}
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    failed = False
    with tempfile.TemporaryDirectory() as folder, check_sql.databases(folder) as (started, skipped):
        failed = bool(required & set(skipped))
        root = os.path.join(folder, 'tienda')
        subprocess.run([make, root], check=True)
        checks = [(db.name, lambda db=db: check_database(exe, db, root, KEYS[db.name], folder)) for db in started]
        checks.append(('alone', lambda: check_alone(exe, root, tempfile.mkdtemp(dir=folder))))
        for name, check in checks:
            for problem in check():
                print('%s: %s' % (name, problem))
                failed = True
    print('database: %s (%s)%s' % ('FAILED' if failed else 'OK', ', '.join(db.name for db in started),
                                   ''.join('; %s skipped: %s' % (name, why.splitlines()[0])
                                           for name, why in skipped.items())))
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
