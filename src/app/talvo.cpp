#include "app/talvo.h"

#include "app/first_use.h"
#include "app/globals.h"
#include "runtime/script.h"
#include "runtime/trace.h"
#include "runtime/window.h"
#include "search/w_search.h"

#include <QApplication>

using rt::Script;

namespace {
const QString dbms = QStringLiteral("ODBC");
constexpr bool autoCommit = false;
const QString dbParm = QStringLiteral("ConnectString='DSN=FAQ;UID=mirt;PWD=qelp'");
} // namespace

rt::ConnectionSettings talvo::connection() { return {dbms, autoCommit, dbParm}; }

void talvo::beginAhead()
{
    const rt::ConnectionSettings settings = connection();
    odbc::prepareDriverLibraries(settings.dataSourceName());
    if (first_use::dataSourceExists())
        rt::Transaction::connectAhead(settings);
}

void talvo::create()
{
    Script s(rt::event("create", "talvo", "talvo"));
    s.line(2); appname = QStringLiteral("talvo");
    s.line(3); g.Message = std::make_unique<rt::Message>();
    rt::registerMessageObject(g.Message.get());
    s.line(4); g.SQLCA = std::make_unique<rt::Transaction>();
    s.line(5); g.SQLDA = std::make_unique<rt::DynamicDescriptionArea>();
    s.line(6); g.SQLSA = std::make_unique<rt::DynamicStagingArea>();
    s.line(7); g.Error = std::make_unique<rt::Error>();
}

void talvo::open(const QString& /*commandline*/)
{
    Script s(rt::event("open", "talvo", "talvo"));
    s.line(2); s.need(g.SQLCA).DBMS = dbms;
    s.line(3); s.need(g.SQLCA).AutoCommit = autoCommit;
    s.line(4); s.need(g.SQLCA).DBParm = dbParm;
    // The outcome of the connect is left in SQLCA; the window opens either way.
    // The driver logs in on its own thread while the window is built (or
    // since the program started, see main()); SQLCA holds the outcome once
    // the window is open.
    s.line(6); s.need(g.SQLCA).connectMeanwhile();
    s.line(8); g.w_search = rt::open<w_search>();
    g.SQLCA->settle();
    if (!g.w_search)
        throw rt::ScriptStopped{};
}

int talvo::run()
{
    rt::TraceWriter::instance().configureFromEnvironment();
    if (rt::fire([this] { create(); }) == 1)
        rt::fire([this] { open(QString()); });
    // A connection begun ahead that open did not take over is of no use now.
    rt::Transaction::dropConnectAhead();
    int result = 0;
    if (g.w_search && g.w_search->isVisible())
        result = QApplication::exec();
    rt::fire([this] { destroy(); });
    return result;
}

void talvo::destroy()
{
    Script s(rt::event("destroy", "talvo", "talvo"));
    // Destroying the connection rolls back what is still open and disconnects;
    // nothing here commits.
    s.line(2); g.SQLCA.reset();
    s.line(3); g.SQLDA.reset();
    s.line(4); g.SQLSA.reset();
    s.line(5); g.Error.reset();
    s.line(6); rt::registerMessageObject(nullptr);
    g.Message.reset();
}
