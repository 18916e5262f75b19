-- Who may do what in a lab's catalogue on PostgreSQL.
--
-- Makes two group roles (they cannot log in themselves) and gives them their
-- rights on the catalogue's tables:
--
--   quorvex_station  what a station needs to register and build packs: reads
--                    everything; adds cells, records, their bytes, their
--                    sources and stock moves; moves cells (their place);
--                    rewrites a record's remark when a data file imported
--                    again changed it. It deletes nothing, rewrites no
--                    measured value and no point, and changes no table.
--   quorvex_admin    everything: owns the tables, so it runs
--                    `quorvex-cli catalog init` (the schema and its
--                    upgrades), and may correct or delete records.
--
-- Run it as a superuser (or the owner of the tables, if a member of
-- quorvex_admin), in the catalogue's database, after `catalog init` has made
-- the tables; again after an upgrade (it may run any number of times):
--
--   psql -d quorvex -f /usr/share/quorvex/catalog-roles.sql
--
-- Then give each station computer (or person) a login role in one group:
--
--   CREATE ROLE station1 LOGIN IN ROLE quorvex_station;
--   \password station1            -- its password goes into the station's ~/.pgpass
--   CREATE ROLE lab_admin LOGIN IN ROLE quorvex_admin;
--
-- Other group names: psql -v station_role=NAME -v admin_role=NAME ...
\set ON_ERROR_STOP on
\if :{?station_role}
\else
\set station_role quorvex_station
\endif
\if :{?admin_role}
\else
\set admin_role quorvex_admin
\endif

SELECT format('CREATE ROLE %I NOLOGIN', r)
  FROM unnest(ARRAY[:'station_role', :'admin_role']) AS r
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = r)
\gexec

BEGIN;

-- The catalogue's tables belong to the admin group, which may then upgrade
-- them; nobody else has any right on them but the ones granted here.
SELECT format('ALTER TABLE %I.%I OWNER TO %I', schemaname, tablename, :'admin_role')
  FROM pg_tables WHERE schemaname = current_schema()
\gexec
SELECT format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %I, %I', current_database(),
              :'station_role', :'admin_role')
\gexec
SELECT format('GRANT USAGE ON SCHEMA %I TO %I', current_schema(), :'station_role'),
       format('GRANT USAGE, CREATE ON SCHEMA %I TO %I', current_schema(), :'admin_role')
\gexec
SELECT format('REVOKE ALL ON ALL TABLES IN SCHEMA %I FROM PUBLIC, %I', current_schema(),
              :'station_role'),
       format('GRANT SELECT ON ALL TABLES IN SCHEMA %I TO %I', current_schema(), :'station_role'),
       format('GRANT ALL ON ALL TABLES IN SCHEMA %I TO %I', current_schema(), :'admin_role'),
       format('GRANT USAGE ON ALL SEQUENCES IN SCHEMA %I TO %I', current_schema(),
              :'station_role'),
       format('GRANT ALL ON ALL SEQUENCES IN SCHEMA %I TO %I', current_schema(), :'admin_role')
\gexec

-- A station adds; it updates only the rows it must (a cell's place and its
-- newest test, a record's remark), which the triggers below hold it to.
GRANT INSERT ON cells, sources, records, record_bytes, moves TO :"station_role";
GRANT UPDATE ON cells, records, record_bytes TO :"station_role";

-- Refuses an update of a row that changes anything but the columns named
-- after the first argument, unless the user is in the role the first
-- argument names (the admin group; a superuser is in every role).
CREATE OR REPLACE FUNCTION quorvex_keep_measured() RETURNS trigger
LANGUAGE plpgsql AS $$
DECLARE
  now_row jsonb := to_jsonb(NEW);
  was_row jsonb := to_jsonb(OLD);
BEGIN
  IF pg_has_role(current_user, TG_ARGV[0], 'USAGE') THEN
    RETURN NEW;
  END IF;
  FOR i IN 1 .. TG_NARGS - 1 LOOP
    now_row := now_row - TG_ARGV[i];
    was_row := was_row - TG_ARGV[i];
  END LOOP;
  IF now_row IS DISTINCT FROM was_row THEN
    RAISE EXCEPTION 'permission denied: % keeps its measured values', TG_TABLE_NAME
      USING ERRCODE = 'insufficient_privilege';
  END IF;
  RETURN NEW;
END
$$;

DROP TRIGGER IF EXISTS quorvex_keep_measured ON records;
CREATE TRIGGER quorvex_keep_measured BEFORE UPDATE ON records FOR EACH ROW
  EXECUTE FUNCTION quorvex_keep_measured(:'admin_role', 'remark', 'source_id');
-- The head of a record's bytes holds its remark; its points are measured.
DROP TRIGGER IF EXISTS quorvex_keep_measured ON record_bytes;
CREATE TRIGGER quorvex_keep_measured BEFORE UPDATE ON record_bytes FOR EACH ROW
  EXECUTE FUNCTION quorvex_keep_measured(:'admin_role', 'head');
-- A cell keeps its identity; its place and its newest test change.
DROP TRIGGER IF EXISTS quorvex_keep_measured ON cells;
CREATE TRIGGER quorvex_keep_measured BEFORE UPDATE ON cells FOR EACH ROW
  EXECUTE FUNCTION quorvex_keep_measured(:'admin_role', 'state', 'pack', 'newest', 'tests');

COMMIT;
