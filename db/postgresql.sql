-- Table faq on a PostgreSQL server, for the program's login role mirt. Run
-- by an administrator inside the FAQ database; safe to run again.

CREATE TABLE IF NOT EXISTS faq (
    rbr      smallint PRIMARY KEY,
    adresa   text,
    pitanje  text,
    datum    timestamp,
    proizvod text,
    lot      text,
    odgovor  text
);

GRANT USAGE ON SCHEMA public TO mirt;
GRANT SELECT, INSERT, UPDATE, DELETE ON faq TO mirt;

-- The program sends the date as the text 'mm/dd/yyyy'. A server whose
-- default DateStyle is day-first would read 12/06/2026 as 12 June, so the
-- database fixes the order for every session that connects to it.
DO $$
BEGIN
    EXECUTE format('ALTER DATABASE %I SET datestyle = %L', current_database(), 'ISO, MDY');
    EXECUTE format('GRANT CONNECT ON DATABASE %I TO mirt', current_database());
END
$$;
