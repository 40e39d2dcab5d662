-- Table faq for the embedded SQLite database. Safe to run on a database that
-- already has it.
PRAGMA journal_mode = WAL;

CREATE TABLE IF NOT EXISTS faq (
    rbr      INTEGER PRIMARY KEY,
    adresa   TEXT,
    pitanje  TEXT,
    datum    TIMESTAMP,
    proizvod TEXT,
    lot      TEXT,
    odgovor  TEXT
);

-- The program sends the date as 'mm/dd/yyyy'. Stored as ISO text it sorts,
-- compares and reaches ODBC as a real timestamp.
CREATE TRIGGER IF NOT EXISTS faq_datum_iso AFTER INSERT ON faq
WHEN NEW.datum GLOB '[0-1][0-9]/[0-3][0-9]/[0-9][0-9][0-9][0-9]'
BEGIN
    UPDATE faq
       SET datum = substr(NEW.datum, 7, 4) || '-' || substr(NEW.datum, 1, 2) || '-'
                   || substr(NEW.datum, 4, 2) || ' 00:00:00'
     WHERE rowid = NEW.rowid;
END;
