#include "runtime/transaction.h"

#include "runtime/waiting.h"
#include "runtime/worker.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>

namespace rt {
namespace {

std::optional<std::chrono::milliseconds> parseSeconds(const QString& text)
{
    bool ok = false;
    const double seconds = text.trimmed().toDouble(&ok);
    if (!ok || !(seconds > 0))
        return std::nullopt;
    // From a fifth of a second to an hour: beyond that a wait is no longer bounded in any useful sense.
    return std::chrono::milliseconds(static_cast<long long>(std::clamp(seconds, 0.2, 3600.0) * 1000.0));
}

// The drivers' own timeouts: a second past the program's limit, so the
// program's wait ends first and the driver then frees a call given up on.
SQLULEN driverSeconds(std::chrono::milliseconds limit)
{
    return static_cast<SQLULEN>(std::ceil(static_cast<double>(limit.count()) / 1000.0)) + 1;
}

using Value = std::variant<Int, Text, Wide>;
enum class Kind { Integer, Text, Wide };

std::vector<Kind> kindsOf(const std::vector<Into>& into)
{
    std::vector<Kind> kinds;
    for (const Into& target : into)
        kinds.push_back(std::holds_alternative<Int*>(target)    ? Kind::Integer
                        : std::holds_alternative<Text*>(target) ? Kind::Text
                                                                : Kind::Wide);
    return kinds;
}

// Reads every column of the current row; the targets are set only later, on
// the GUI thread, and only when every column could be read.
odbc::Outcome receive(odbc::Statement& statement, const std::vector<Kind>& kinds, std::vector<Value>& values)
{
    values.clear();
    SQLUSMALLINT column = 1;
    for (Kind kind : kinds) {
        odbc::Outcome outcome;
        if (kind == Kind::Integer) {
            Int v;
            outcome = statement.getInteger(column, v);
            values.emplace_back(v);
        } else if (kind == Kind::Text) {
            Text v;
            outcome = statement.getText(column, v);
            values.emplace_back(v);
        } else {
            Wide v;
            outcome = statement.getWide(column, v);
            values.emplace_back(v);
        }
        if (outcome.status < 0)
            return outcome;
        ++column;
    }
    return {};
}

void assign(const std::vector<Into>& into, std::vector<Value>& values)
{
    for (std::size_t i = 0; i < into.size() && i < values.size(); ++i) {
        if (auto* p = std::get_if<Int*>(&into[i]))
            **p = std::get<Int>(values[i]);
        else if (auto* t = std::get_if<Text*>(&into[i]))
            **t = std::move(std::get<Text>(values[i]));
        else
            *std::get<Wide*>(into[i]) = std::get<Wide>(values[i]);
    }
}

// A statement prepared, its values bound and run; nullopt (with the outcome) when any step failed.
std::optional<odbc::Statement> run(odbc::Connection& connection, const QString& sql, const std::vector<Param>& params,
                                   odbc::Outcome& outcome)
{
    auto statement = connection.statement(outcome);
    if (!statement)
        return std::nullopt;
    outcome = statement->prepare(sql);
    if (outcome.status >= 0)
        outcome = statement->bind(params);
    if (outcome.status >= 0)
        outcome = statement->execute();
    return statement;
}

odbc::Outcome runChange(odbc::Connection& connection, const QString& sql, const std::vector<Param>& params)
{
    odbc::Outcome outcome;
    run(connection, sql, params, outcome);
    return outcome;
}

odbc::Outcome selectOne(odbc::Connection& connection, const QString& sql, const std::vector<Param>& params,
                        const std::vector<Kind>& kinds, std::vector<Value>& values)
{
    odbc::Outcome outcome;
    auto statement = run(connection, sql, params, outcome);
    if (statement && outcome.status == 0) {
        outcome = statement->fetch();
        if (outcome.status == 0) {
            outcome = receive(*statement, kinds, values);
            // A select into variables must find exactly one row.
            if (outcome.status == 0 && statement->fetch().status == 0)
                outcome = odbc::failure(QStringLiteral("21000"), QStringLiteral("Select returned more than one row."));
        }
    }
    return outcome;
}

odbc::Outcome notConnected()
{
    return odbc::failure(QStringLiteral("08003"), QStringLiteral("Not connected to the database."));
}

odbc::Outcome cursorNotOpen()
{
    return odbc::failure(QStringLiteral("24000"), QStringLiteral("Cursor is not open."));
}

// How long closing may hold up the end of the run when the server hangs.
constexpr std::chrono::milliseconds closingBound{3000};

} // namespace

// What the connection's worker owns: the connection and what belongs to it.
struct Transaction::Session {
    odbc::Connection connection;
    // The dynamic cursor's statement; declared after the connection, so
    // freed before it.
    std::optional<odbc::Statement> cursor;
    Product product = Product::Other;
    // SQLite: the database file and its identity when the connection opened.
    QString databaseFile;
    std::optional<FileIdentity> file;
};

std::optional<FileIdentity> identify(const QString& path)
{
    struct stat st {};
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino};
}

Product productOf(const odbc::Connection& connection)
{
    const QString dbms = connection.info(SQL_DBMS_NAME);
    return dbms.startsWith(QLatin1String("SQLite"), Qt::CaseInsensitive)       ? Product::SQLite
           : dbms.startsWith(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) ? Product::PostgreSQL
                                                                               : Product::Other;
}

// ---- settings ---------------------------------------------------------------

// Read by hand rather than with a regular expression: compiling one at
// every start loads and prepares PCRE2 (half a MiB, a fraction of a ms).
QString ConnectionSettings::connectString() const
{
    static constexpr QLatin1String key("ConnectString");
    const auto skipSpace = [this](qsizetype at) {
        while (at < dbParm.size() && (dbParm[at] == u' ' || (dbParm[at] >= u'\t' && dbParm[at] <= u'\r')))
            ++at;
        return at;
    };
    for (qsizetype found = dbParm.indexOf(key, 0, Qt::CaseInsensitive); found >= 0;
         found = dbParm.indexOf(key, found + 1, Qt::CaseInsensitive)) {
        qsizetype at = skipSpace(found + key.size());
        if (at >= dbParm.size() || dbParm[at] != u'=')
            continue;
        at = skipSpace(at + 1);
        if (at >= dbParm.size() || dbParm[at] != u'\'')
            continue;
        const qsizetype end = dbParm.indexOf(u'\'', at + 1);
        if (end >= 0)
            return dbParm.mid(at + 1, end - at - 1);
    }
    return {};
}

QString ConnectionSettings::dataSourceName() const
{
    for (const QString& part : connectString().split(u';')) {
        const auto eq = part.indexOf(u'=');
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("DSN"), Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return {};
}

namespace {

// What keeps SQLite from a database file, in words: the SQLite driver says
// only "connect failed" or "unable to open database file", whatever it was.
QString whyTheFileWouldNotOpen(const QString& file)
{
    if (file.isEmpty())
        return {};
    const QByteArray path = QFile::encodeName(file);
    if (::access(path.constData(), F_OK) != 0)
        return QStringLiteral("No database file exists at %1.").arg(file);
    if (::access(path.constData(), R_OK) != 0)
        return QStringLiteral("The database file %1 cannot be read with your account's rights.").arg(file);
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    if (::access(path.constData(), W_OK) != 0 || ::access(folder.constData(), W_OK) != 0)
        return QStringLiteral("The database file %1 or its folder is read-only.").arg(file);
    return {};
}

} // namespace

odbc::Outcome ConnectionSettings::open(odbc::Connection& connection) const
{
    if (dbms.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) != 0)
        return odbc::failure(QStringLiteral("IM002"), QStringLiteral("Unsupported database interface \"%1\".").arg(dbms));
    const QString text = connectString();
    if (text.isEmpty())
        return odbc::failure(QStringLiteral("IM002"), QStringLiteral("No ODBC connection string was given."));
    odbc::loadDriverLibrary(dataSourceName());
    odbc::Outcome outcome = connection.open(text, autoCommit, driverSeconds(waitLimit));
    addFileFindings(outcome, odbc::dataSourceSetting(dataSourceName(), "Database"));
    return outcome;
}

void addFileFindings(odbc::Outcome& outcome, const QString& file)
{
    if (outcome.status >= 0 || file.isEmpty())
        return;
    const QString text = outcome.errorText();
    if (!text.contains(QLatin1String("[SQLite]connect failed")) && !text.contains(QLatin1String("unable to open database file")))
        return;
    if (const QString why = whyTheFileWouldNotOpen(file); !why.isEmpty())
        outcome.diagnostics.push_back({outcome.sqlstate(), 0, why});
}

QString ConnectionSettings::databaseFile() const { return odbc::dataSourceSetting(dataSourceName(), "Database"); }

std::chrono::milliseconds waitLimitFor(const QString& dataSource)
{
    if (const auto fromEnvironment = parseSeconds(qEnvironmentVariable("VETFAQ_WAIT_LIMIT")))
        return *fromEnvironment;
    if (const auto fromDataSource = parseSeconds(odbc::dataSourceSetting(dataSource, "WaitLimit")))
        return *fromDataSource;
    return defaultWaitLimit;
}

// ---- transaction ------------------------------------------------------------

Transaction::Transaction() = default;

Transaction::~Transaction()
{
    // Closed on its worker: rolled back and disconnected, never committed.
    letGoOfSessionWithin(closingBound);
}

void Transaction::letGoOfSessionWithin(std::chrono::milliseconds bound) noexcept
{
    if (worker_) {
        if (session_)
            worker_->post([s = std::move(session_)]() mutable { s.reset(); });
        worker_->finishWithin(bound);
        worker_.reset();
    }
    session_.reset();
}

void Transaction::letGoOfSession() noexcept
{
    if (worker_) {
        // The session goes last on its own worker, after whatever that worker still runs.
        if (session_)
            worker_->post([s = std::move(session_)]() mutable { s.reset(); });
        worker_->retire();
        worker_.reset();
    }
    session_.reset();
    cursorOpen_ = false;
}

Product Transaction::product()
{
    settle();
    return session_ ? session_->product : Product::Other;
}

bool Transaction::isConnected()
{
    settle();
    return session_ && session_->connection.isOpen() && !broken_;
}

void Transaction::record(const odbc::Outcome& outcome)
{
    SQLCode = outcome.status;
    SQLDBCode = outcome.diagnostics.empty() || outcome.status >= 0 ? 0 : outcome.diagnostics.front().native;
    SQLErrText = outcome.status < 0 ? outcome.errorText() : QString();
    SQLState = outcome.status < 0 ? outcome.sqlstate() : QString();
    cause_ = causeOf(outcome);
    if (isConnectionLost(cause_))
        broken_ = true;
}

odbc::Outcome Transaction::run(Operation op)
{
    if (!worker_ || !session_)
        return notConnected();
    auto result = std::make_shared<odbc::Outcome>();
    const WaitEnd end = waitFor(
        *worker_,
        [session = session_, op = std::move(op), result] {
            *result = op(*session);
            if (result->status < 0 && session->connection.isOpen() && session->connection.isDead())
                result->connectionDead = true;
            addFileFindings(*result, session->databaseFile);
        },
        limit_);
    if (end == WaitEnd::Done)
        return std::move(*result);
    // The call may still be running: its connection is left to it, and
    // whatever the connection held is gone with it.
    letGoOfSession();
    broken_ = true;
    holdsChanges_ = false;
    return givenUp(end, limit_);
}

// A connection on its way: the worker that makes it, the session it goes
// into and its outcome once made.
struct Transaction::Opening {
    ConnectionSettings settings;
    std::unique_ptr<Worker> worker;
    std::shared_ptr<Session> session;
    std::shared_ptr<odbc::Outcome> opened;

    explicit Opening(ConnectionSettings wanted)
        : settings(std::move(wanted)), worker(std::make_unique<Worker>()), session(std::make_shared<Session>()),
          opened(std::make_shared<odbc::Outcome>())
    {
        worker->post([session = session, settings = settings, opened = opened] {
            Session& s = *session;
            *opened = settings.open(s.connection);
            if (opened->status != 0)
                return;
            s.product = productOf(s.connection);
            if (s.product == Product::SQLite) {
                // The SQLite driver names the database file here.
                const QString name = s.connection.info(SQL_DATABASE_NAME);
                s.databaseFile = name.isEmpty() ? QString() : QFileInfo(name).absoluteFilePath();
                s.file = identify(s.databaseFile);
            }
        });
    }
};

namespace {
// The connection begun ahead; touched by the GUI thread only.
std::unique_ptr<Transaction::Opening>& openingAhead()
{
    static std::unique_ptr<Transaction::Opening> opening;
    return opening;
}
} // namespace

void Transaction::connectAhead(ConnectionSettings settings)
{
    dropConnectAhead();
    settings.waitLimit = waitLimitFor(settings.dataSourceName());
    openingAhead() = std::make_unique<Opening>(std::move(settings));
}

void Transaction::dropConnectAhead() noexcept
{
    std::unique_ptr<Opening> opening = std::move(openingAhead());
    if (!opening)
        return;
    opening->worker->post([s = std::move(opening->session)]() mutable { s.reset(); });
    opening->worker->retire();
}

std::shared_ptr<odbc::Outcome> Transaction::startSession(const ConnectionSettings& settings)
{
    letGoOfSession();
    std::unique_ptr<Opening> opening;
    if (openingAhead() && openingAhead()->settings == settings)
        opening = std::move(openingAhead());
    else
        opening = std::make_unique<Opening>(settings);
    worker_ = std::move(opening->worker);
    session_ = std::move(opening->session);
    broken_ = false;
    holdsChanges_ = false;
    return opening->opened;
}

odbc::Outcome Transaction::waitForOpening(const std::shared_ptr<odbc::Outcome>& opening)
{
    // Done once the worker has run what was posted before.
    const odbc::Outcome waited = run([](Session&) { return odbc::Outcome{}; });
    return waited.status < 0 ? waited : *opening;
}

odbc::Outcome Transaction::openSession(const ConnectionSettings& settings)
{
    return waitForOpening(startSession(settings));
}

void Transaction::connect()
{
    connectMeanwhile();
    settle();
}

void Transaction::connectMeanwhile()
{
    ConnectionSettings wanted = settings();
    limit_ = waitLimitFor(wanted.dataSourceName());
    wanted.waitLimit = limit_;
    connectedWith_ = wanted;
    pendingConnect_ = startSession(wanted);
}

void Transaction::settle()
{
    if (!pendingConnect_)
        return;
    const std::shared_ptr<odbc::Outcome> opening = std::move(pendingConnect_);
    pendingConnect_.reset();
    record(waitForOpening(opening));
}

namespace {
odbc::Outcome fileMoved(const QString& file)
{
    return odbc::failure(QLatin1String(fileMovedState),
                         QStringLiteral("The database file %1 was moved, replaced or removed while the program was "
                                        "running; nothing was sent to it.")
                             .arg(file));
}
} // namespace

bool Transaction::fileStillThere() const
{
    return !session_ || !session_->file || identify(session_->databaseFile) == session_->file;
}

bool Transaction::ensureSession()
{
    if (!connectedWith_) {
        record(notConnected());
        return false;
    }
    if (session_ && !broken_ && session_->connection.isOpen()) {
        if (fileStillThere())
            return true;
        // Nothing more goes into the old file; the next action opens the one now in its place.
        record(fileMoved(session_->databaseFile));
        broken_ = true;
        return false;
    }
    const odbc::Outcome outcome = openSession(*connectedWith_);
    if (outcome.status < 0) {
        record(outcome);
        return false;
    }
    return true;
}

template <class Attempt>
void Transaction::withOneRetry(Attempt attempt)
{
    const bool heldChanges = holdsChanges_;
    attempt();
    // A statement that found the connection dropped is tried once more on a
    // new one, unless earlier changes were lost with the old one: then the
    // failure must be seen.
    if (SQLCode < 0 && isConnectionLost(cause_) && !heldChanges && connectedWith_)
        attempt();
}

void Transaction::execute(const QString& sql, std::vector<Param> params)
{
    settle();
    withOneRetry([&] {
        if (!ensureSession())
            return;
        holdsChanges_ = true;
        record(run([sql, params](Session& s) { return runChange(s.connection, sql, params); }));
    });
}

void Transaction::selectInto(const QString& sql, std::vector<Param> params, std::vector<Into> into)
{
    select(sql, params, into, false);
}

void Transaction::selectForChange(const QString& sql, std::vector<Param> params, std::vector<Into> into)
{
    select(sql, params, into, true);
}

void Transaction::select(const QString& sql, const std::vector<Param>& params, const std::vector<Into>& into,
                         bool forChange)
{
    settle();
    const std::vector<Kind> kinds = kindsOf(into);
    withOneRetry([&] {
        if (!ensureSession())
            return;
        if (forChange)
            holdsChanges_ = true;
        const bool endRead = !holdsChanges_;
        auto values = std::make_shared<std::vector<Value>>();
        const odbc::Outcome outcome = run([sql, params, kinds, values, endRead](Session& s) {
            odbc::Outcome o = selectOne(s.connection, sql, params, kinds, *values);
            // Not recorded: the scripts see the outcome of their own statement.
            if (endRead)
                s.connection.rollback();
            return o;
        });
        if (outcome.status == 0)
            assign(into, *values);
        record(outcome);
    });
}

void Transaction::commit()
{
    settle();
    if (!session_ || !session_->connection.isOpen()) {
        record(notConnected());
        return;
    }
    // A change made before the file moved must not be committed into the old one.
    if (!fileStillThere()) {
        record(fileMoved(session_->databaseFile));
        broken_ = true;
        return;
    }
    if (broken_) {
        record(odbc::failure(QStringLiteral("08S01"), QStringLiteral("The connection to the database was lost before "
                                                                     "the commit; the change was not stored.")));
        return;
    }
    record(run([](Session& s) {
        odbc::Outcome outcome = s.connection.commit();
        // psqlODBC answers a commit on a connection it knows to be gone with
        // success, without sending anything.
        if (outcome.status == 0 && s.connection.isDead())
            outcome = odbc::failure(QStringLiteral("08S01"),
                                    QStringLiteral("The connection to the database was lost; the change was not stored."));
        return outcome;
    }));
    if (SQLCode == 0) {
        holdsChanges_ = false;
        return;
    }
    // What the connection's transaction holds now is not known (the SQLite
    // driver goes on as if a transaction were open after a failed COMMIT, and
    // commits every later statement at once): it is made anew.
    broken_ = true;
    holdsChanges_ = false;
}

void Transaction::rollback()
{
    settle();
    if (!session_ || !session_->connection.isOpen()) {
        // Nothing is held by a connection that is gone.
        holdsChanges_ = false;
        record(notConnected());
        return;
    }
    record(run([](Session& s) {
        s.cursor.reset();
        return s.connection.rollback();
    }));
    cursorOpen_ = false;
    if (SQLCode == 0)
        holdsChanges_ = false;
}

// ---- the dynamic cursor -------------------------------------------------------

void Transaction::openCursor(const QString& sql)
{
    settle();
    withOneRetry([&] {
        if (!ensureSession())
            return;
        cursorOpen_ = false;
        const bool endRead = !holdsChanges_;
        const odbc::Outcome outcome = run([sql, endRead](Session& s) {
            s.cursor.reset();
            odbc::Outcome o;
            auto statement = s.connection.statement(o);
            if (!statement)
                return o;
            o = statement->executeDirect(sql);
            if (o.status == 0) {
                s.cursor = std::move(statement);
            } else if (endRead) {
                statement.reset();
                s.connection.rollback();
            }
            return o;
        });
        cursorOpen_ = outcome.status == 0;
        record(outcome);
    });
}

void Transaction::fetchCursor(const std::vector<Into>& into)
{
    if (!cursorOpen_ || !session_) {
        record(cursorNotOpen());
        return;
    }
    const std::vector<Kind> kinds = kindsOf(into);
    auto values = std::make_shared<std::vector<Value>>();
    const odbc::Outcome outcome = run([kinds, values](Session& s) {
        if (!s.cursor)
            return cursorNotOpen();
        odbc::Outcome o = s.cursor->fetch();
        if (o.status == 0)
            o = receive(*s.cursor, kinds, *values);
        return o;
    });
    if (outcome.status == 0)
        assign(into, *values);
    record(outcome);
}

void Transaction::closeCursor()
{
    if (!cursorOpen_ || !session_) {
        record(cursorNotOpen());
        return;
    }
    cursorOpen_ = false;
    const bool endRead = !holdsChanges_;
    record(run([endRead](Session& s) {
        if (!s.cursor)
            return cursorNotOpen();
        odbc::Outcome o = s.cursor->closeCursor();
        s.cursor.reset();
        if (endRead)
            s.connection.rollback();
        return o;
    }));
}

void Transaction::dropCursor() noexcept
{
    if (!cursorOpen_ || !session_ || !worker_)
        return;
    cursorOpen_ = false;
    // Not waited for: the worker runs it before anything posted later.
    worker_->post([s = session_, endRead = !holdsChanges_] {
        s->cursor.reset();
        if (endRead)
            s->connection.rollback();
    });
}

// ---- dynamic SQL ------------------------------------------------------------

void DynamicStagingArea::prepare(const QString& sql, Transaction& transaction)
{
    sql_ = sql;
    transaction_ = &transaction;
}

DynamicCursor::~DynamicCursor()
{
    if (open_)
        if (Transaction* transaction = area_.transaction())
            transaction->dropCursor();
}

void DynamicCursor::open()
{
    Transaction* transaction = area_.transaction();
    if (!transaction)
        return;
    transaction->openCursor(area_.sql());
    open_ = transaction->SQLCode == 0;
}

void DynamicCursor::fetch(std::vector<Into> into)
{
    Transaction* transaction = area_.transaction();
    if (!transaction)
        return;
    if (!open_) {
        transaction->fetchCursor({});  // records that it is not open
        return;
    }
    transaction->fetchCursor(into);
}

void DynamicCursor::close()
{
    Transaction* transaction = area_.transaction();
    if (!transaction)
        return;
    open_ = false;
    transaction->closeCursor();
}

} // namespace rt
