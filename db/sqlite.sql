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

-- Entry numbers stay within 16 bits, as PostgreSQL's smallint keeps them:
-- the program holds them in 16-bit integers. Rows already outside the range
-- in an older database are left as they are.
CREATE TRIGGER IF NOT EXISTS faq_rbr_range_insert BEFORE INSERT ON faq
WHEN NEW.rbr NOT BETWEEN -32768 AND 32767
BEGIN
    SELECT RAISE(ABORT, 'entry number out of range (-32768 to 32767)');
END;
CREATE TRIGGER IF NOT EXISTS faq_rbr_range_update BEFORE UPDATE OF rbr ON faq
WHEN NEW.rbr NOT BETWEEN -32768 AND 32767
BEGIN
    SELECT RAISE(ABORT, 'entry number out of range (-32768 to 32767)');
END;
