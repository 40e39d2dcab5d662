#include "runtime/transaction.h"

#include <QRegularExpression>

namespace rt {

QString ConnectionSettings::connectString() const
{
    static const QRegularExpression pattern(QStringLiteral("ConnectString\\s*=\\s*'([^']*)'"),
                                            QRegularExpression::CaseInsensitiveOption);
    const auto match = pattern.match(dbParm);
    return match.hasMatch() ? match.captured(1) : QString();
}

Transaction::~Transaction() = default;  // the connection rolls back and disconnects

namespace {
// A connection the server or the network has dropped: class 08, or the
// server shutting down (57P01 to 57P03 on PostgreSQL).
bool connectionLost(const odbc::Outcome& outcome)
{
    const QString state = outcome.sqlstate();
    return outcome.status < 0 && (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0")));
}
} // namespace

void Transaction::record(const odbc::Outcome& outcome)
{
    SQLCode = outcome.status;
    SQLDBCode = outcome.diagnostics.empty() || outcome.status >= 0 ? 0 : outcome.diagnostics.front().native;
    SQLErrText = outcome.status < 0 ? outcome.errorText() : QString();
    SQLState = outcome.status < 0 ? outcome.sqlstate() : QString();
    if (connectionLost(outcome))
        broken_ = true;
}

odbc::Outcome ConnectionSettings::open(odbc::Connection& connection) const
{
    if (dbms.compare(QLatin1String("ODBC"), Qt::CaseInsensitive) != 0)
        return odbc::failure(QStringLiteral("IM002"), QStringLiteral("Unsupported database interface \"%1\".").arg(dbms));
    const QString text = connectString();
    if (text.isEmpty())
        return odbc::failure(QStringLiteral("IM002"), QStringLiteral("No ODBC connection string was given."));
    return connection.open(text, autoCommit);
}

odbc::Outcome Transaction::open(const ConnectionSettings& settings)
{
    odbc::Outcome outcome = settings.open(connection_);
    broken_ = false;
    holdsChanges_ = false;
    return outcome;
}

void Transaction::connect()
{
    connectedWith_ = settings();
    record(open(*connectedWith_));
}

bool Transaction::reconnectIfLost()
{
    if (!connectedWith_ || (connection_.isOpen() && !broken_))
        return true;
    // Whatever the lost connection held is gone with it.
    const odbc::Outcome outcome = open(*connectedWith_);
    if (outcome.status < 0) {
        record(outcome);
        return false;
    }
    return true;
}

std::optional<odbc::Statement> Transaction::newStatement()
{
    if (!reconnectIfLost())
        return std::nullopt;
    odbc::Outcome outcome;
    auto statement = connection_.statement(outcome);
    if (!statement)
        record(outcome);
    return statement;
}

template <class Attempt>
void Transaction::withOneRetry(Attempt attempt)
{
    const bool heldChanges = holdsChanges_;
    attempt();
    // A statement that found the connection dropped is tried once more on a
    // new one, unless earlier changes were lost with the old one: then the
    // failure must be seen.
    if (SQLCode < 0 && broken_ && !heldChanges && connectedWith_)
        attempt();
}

void Transaction::endReadOnlyTransaction()
{
    // Not recorded: the scripts see the outcome of their own statement.
    if (!holdsChanges_ && connection_.isOpen())
        connection_.rollback();
}

void Transaction::execute(const QString& sql, std::vector<Param> params)
{
    withOneRetry([&] { executeOnce(sql, params); });
}

void Transaction::executeOnce(const QString& sql, const std::vector<Param>& params)
{
    auto statement = newStatement();
    if (!statement)
        return;
    holdsChanges_ = true;
    odbc::Outcome outcome = statement->prepare(sql);
    if (outcome.status >= 0)
        outcome = statement->bind(params);
    if (outcome.status >= 0)
        outcome = statement->execute();
    record(outcome);
}

namespace {

odbc::Outcome receive(odbc::Statement& statement, const std::vector<Into>& into)
{
    // Read every column first, so a failure leaves the variables as they were.
    std::vector<std::variant<Int, Text>> values;
    SQLUSMALLINT column = 1;
    for (const Into& target : into) {
        odbc::Outcome outcome;
        if (std::holds_alternative<Int*>(target)) {
            Int v;
            outcome = statement.getInteger(column, v);
            values.emplace_back(v);
        } else {
            Text v;
            outcome = statement.getText(column, v);
            values.emplace_back(v);
        }
        if (outcome.status < 0)
            return outcome;
        ++column;
    }
    for (std::size_t i = 0; i < into.size(); ++i) {
        if (auto* p = std::get_if<Int*>(&into[i]))
            **p = std::get<Int>(values[i]);
        else
            *std::get<Text*>(into[i]) = std::get<Text>(values[i]);
    }
    return {};
}

} // namespace

void Transaction::selectInto(const QString& sql, std::vector<Param> params, std::vector<Into> into)
{
    withOneRetry([&] { selectIntoOnce(sql, params, into); });
}

void Transaction::selectIntoOnce(const QString& sql, const std::vector<Param>& params, const std::vector<Into>& into)
{
    auto statement = newStatement();
    if (!statement)
        return;
    odbc::Outcome outcome = statement->prepare(sql);
    if (outcome.status >= 0)
        outcome = statement->bind(params);
    if (outcome.status >= 0)
        outcome = statement->execute();
    if (outcome.status == 0) {
        outcome = statement->fetch();
        if (outcome.status == 0) {
            outcome = receive(*statement, into);
            // A select into variables must find exactly one row.
            if (outcome.status == 0 && statement->fetch().status == 0)
                outcome = odbc::failure(QStringLiteral("21000"),
                                        QStringLiteral("Select returned more than one row."));
        }
    }
    statement.reset();
    record(outcome);
    endReadOnlyTransaction();
}

void Transaction::commit()
{
    record(connection_.commit());
    if (SQLCode == 0)
        holdsChanges_ = false;
}

void Transaction::rollback()
{
    record(connection_.rollback());
    if (SQLCode == 0)
        holdsChanges_ = false;
}

// ---- dynamic SQL ------------------------------------------------------------

void DynamicStagingArea::prepare(const QString& sql, Transaction& transaction)
{
    sql_ = sql;
    transaction_ = &transaction;
}

DynamicCursor::~DynamicCursor()
{
    if (statement_) {
        statement_.reset();
        if (Transaction* transaction = area_.transaction())
            transaction->endReadOnlyTransaction();
    }
}

void DynamicCursor::open()
{
    Transaction* transaction = area_.transaction();
    if (!transaction)
        return;
    statement_.reset();
    transaction->withOneRetry([&] {
        auto statement = transaction->newStatement();
        if (!statement)
            return;
        odbc::Outcome outcome = statement->executeDirect(area_.sql());
        transaction->record(outcome);
        if (outcome.status == 0)
            statement_ = std::move(statement);
    });
    if (!statement_)
        transaction->endReadOnlyTransaction();
}

void DynamicCursor::fetch(std::vector<Into> into)
{
    Transaction* transaction = area_.transaction();
    if (!transaction)
        return;
    if (!statement_) {
        transaction->record(odbc::failure(QStringLiteral("24000"), QStringLiteral("Cursor is not open.")));
        return;
    }
    odbc::Outcome outcome = statement_->fetch();
    if (outcome.status == 0)
        outcome = receive(*statement_, into);
    transaction->record(outcome);
}

void DynamicCursor::close()
{
    Transaction* transaction = area_.transaction();
    if (!statement_) {
        if (transaction)
            transaction->record(odbc::failure(QStringLiteral("24000"), QStringLiteral("Cursor is not open.")));
        return;
    }
    odbc::Outcome outcome = statement_->closeCursor();
    statement_.reset();
    if (transaction) {
        transaction->record(outcome);
        transaction->endReadOnlyTransaction();
    }
}

} // namespace rt
