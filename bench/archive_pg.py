#!/usr/bin/env python3
"""The archive's search on PostgreSQL: the time of CArchive::Find for a surname prefix with
1,000, 10,000 and 100,000 records of 200, 2,000 and 20,000 patients (goal: 100 ms at 100,000).

One private PostgreSQL server (tests/support/postgres_server.py) and one database, grown in
three steps. velmora-cli imports eight real records first (which makes the schema); the rest are
added with SQL in the archive's own tables: patients with random Russian names (COPY), and
records that share those eight records' blocks and cards, spread over the patients and ten years
of dates. After each step ANALYZE (as autovacuum would), then bench/archive_find_bench times
Find in-process (no process start, the connection open): the first run, and the median and
maximum of RUNS runs after it.
    bench/archive_pg.py build/src/cli/velmora-cli build/bench/archive_find_bench [RUNS]"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, os.pardir, "tests", "support"))
sys.path.insert(0, os.path.join(HERE, os.pardir, "tests", "archive"))
from archive_records import card_text, make_scp  # noqa: E402
import postgres_server  # noqa: E402

CLI, BENCH = sys.argv[1], sys.argv[2]
RUNS = int(sys.argv[3]) if len(sys.argv) > 3 else 21
TMP = tempfile.mkdtemp(prefix="velmora-archive-bench-")
ENV = dict(os.environ, HOME=TMP, XDG_CONFIG_HOME=os.path.join(TMP, "config"), LC_ALL="C.UTF-8")
REAL = 8
STEPS = (1000, 10000, 100000)
RECORDS_PER_PATIENT = 5

STEMS = ("Иван Петр Сидор Кузнец Смирн Попов Воробь Соколь Лебед Козл Новик Мороз Волк Алексе "
         "Павл Семен Голуб Виноград Богдан Ворон Федор Михайл Тарас Бел Комар Орл Кисел Макар "
         "Андре Ковал Зайц Медвед Соловь Гусев Баран Жук Егор Никит Степан Яковл Григорь Тимоф "
         "Осип Денис Лукин Марк Филипп Щукин Шестак Чернышев Рыбак Журавл Сорок Дроздов Ершов "
         "Карп Лещ Судак Окун Налим Кедр Дуб Липов Берез Клен Осин Рябин Калин Малин Вишн Слив "
         "Абрик Грушев Яблок Огурц Капуст Репин Морков Свекл Горох Бобр Лис Ёжик Хорьк").split()
MIDDLES = ("", "", "", "ан", "ен", "ин", "ор", "ал", "ич", "ушк")
ENDINGS = ("ов", "ев", "ин", "ский", "енко", "ук", "ых", "ович", "ко", "ец")
FIRST = ("Анна Мария Елена Ольга Татьяна Наталья Ирина Светлана Юлия Алексей Дмитрий Сергей "
         "Андрей Михаил Иван Николай Павел Пётр Владимир Евгений").split()
PATRONYMIC = ("Ивановна Петровна Сергеевна Андреевна Алексеевна Иванович Петрович Сергеевич "
              "Андреевич Алексеевич").split()


def surname(rng):
    return rng.choice(STEMS) + rng.choice(MIDDLES) + rng.choice(ENDINGS)


def fold(text):
    return " ".join(text.split()).lower().replace("ё", "е")


def copy_text(value):
    return value.replace("\\", "\\\\").replace("\t", "\\t").replace("\n", "\\n")


def add_patients(pg, rng, first, count):
    """Patients first..first+count-1 (by number): random names, birth dates, no identifier."""
    rows = []
    for n in range(first, first + count):
        last, name, middle = surname(rng), rng.choice(FIRST), rng.choice(PATRONYMIC)
        born = "%04d-%02d-%02d" % (1930 + n % 80, 1 + n % 12, 1 + n % 28)
        key = "name:%s|%s|%s|%s#%d" % (fold(last), fold(name), fold(middle), born, n)
        rows.append("\t".join(copy_text(v) for v in (key, last, name, middle, fold(last), born)))
    # The card column takes an imported record's card: the search reads the record's card only.
    pg.psql(None, script="""
CREATE TABLE bench_stage (match_key TEXT, last_name TEXT, first_name TEXT, patronymic TEXT,
                          name_fold TEXT, birth_date TEXT);
COPY bench_stage FROM STDIN;
%s
\\.
INSERT INTO patients (match_key, identifier, last_name, first_name, patronymic, name_fold,
                      birth_date, card)
SELECT s.match_key, NULL, s.last_name, s.first_name, s.patronymic, s.name_fold, s.birth_date,
       (SELECT card FROM patients ORDER BY id LIMIT 1) FROM bench_stage s;
DROP TABLE bench_stage;
""" % "\n".join(rows))


def add_records(pg, first, last):
    """Records first..last (by number) sharing the real records' blocks and cards."""
    pg.psql("""
WITH real AS (SELECT array_agg(record ORDER BY id) AS r, array_agg(card ORDER BY id) AS c,
                     count(*) AS k FROM (SELECT * FROM records ORDER BY id LIMIT %d) x),
     who AS (SELECT array_agg(id ORDER BY id) AS ids, count(*) AS n FROM patients)
INSERT INTO records (patient_id, recorded_at, device, record_number, type, source_name,
                     content_hash, record, original, card, heart_rate_bpm, qrs_ms,
                     qtc_bazett_ms, imported_at)
SELECT who.ids[1 + (i * 7919) %% who.n],
       to_char(timestamp '2016-01-01' + ((i * 7907) %% 3650) * interval '1 day'
               + ((i * 37) %% 86400) * interval '1 second', 'YYYY-MM-DD HH24:MI:SS'),
       'K.107.18641.' || i, i, '.scp', 'bench' || i || '.scp', md5('velmora bench ' || i),
       real.r[1 + i %% real.k], NULL, real.c[1 + i %% real.k], 60 + i %% 40, 90 + i %% 30,
       380 + i %% 60, '2026-12-09T00:00:00Z'
FROM generate_series(%d, %d) AS i, real, who;
ANALYZE;
""" % (REAL, first, last), timeout=3600)


def main():
    postgres_server.skip_unless_installed()
    rng = random.Random(20261209)
    folder = os.path.join(TMP, "records")
    os.makedirs(folder)
    real = [make_scp(CLI, folder, "real%d.scp" % k, card_text(surname(rng)), k, ENV)
            for k in range(REAL)]
    with postgres_server.PostgresServer(TMP) as pg:
        env = pg.env(ENV)
        subprocess.run([CLI, "archive", "import", "--db", pg.url()] + real, check=True, env=env,
                       capture_output=True)
        patients, records = REAL, REAL
        print("CArchive::Find by surname prefix on PostgreSQL %s (in-process, connection open; "
              "first run, then median / max of %d)"
              % (pg.psql("SHOW server_version").strip(), RUNS))
        print("%8s %8s  %-22s %7s %9s %9s %9s" % ("records", "patients", "prefix", "rows",
                                                  "first ms", "median ms", "max ms"))
        for target in STEPS:
            t = time.monotonic()
            add_patients(pg, rng, patients, target // RECORDS_PER_PATIENT - patients)
            patients = target // RECORDS_PER_PATIENT
            add_records(pg, records + 1, target)
            records = target
            fill = time.monotonic() - t
            # A whole surname, its first three letters and its first letter, of a patient there.
            name = pg.psql("SELECT last_name FROM patients ORDER BY md5(match_key) LIMIT 1").strip()
            prefixes = [name, name[:3], name[:1]]
            r = subprocess.run([BENCH, pg.url(), str(RUNS)] + prefixes, env=env,
                               capture_output=True, text=True)
            if r.returncode != 0:
                sys.exit("archive_find_bench: " + r.stderr)
            for line in r.stdout.splitlines():
                prefix, rows, first, median, worst = line.split()
                print("%8d %8d  %-22s %7s %9s %9s %9s" % (records, patients, prefix, rows, first,
                                                          median, worst))
            print("%8s (filled in %.0f s; database %s)"
                  % ("", fill, pg.psql("SELECT pg_size_pretty(pg_database_size(current_database()))")
                     .strip()))
        plan = pg.psql("EXPLAIN ANALYZE SELECT r.id FROM records r LEFT JOIN patients p "
                       "ON p.id = r.patient_id WHERE p.name_fold LIKE '%s%%' ESCAPE '\\' "
                       "ORDER BY r.recorded_at, r.id" % fold(prefixes[1]))
        print("\nthe plan of a three-letter search at %d records:\n%s" % (records, plan))


if __name__ == "__main__":
    try:
        main()
    finally:
        shutil.rmtree(TMP, ignore_errors=True)
