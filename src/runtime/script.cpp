#include "runtime/script.h"

#include "runtime/message.h"
#include "runtime/message_box.h"

#include <QPointer>

#include <bit>
#include <cstdio>
#include <string>
#include <vector>

namespace rt {
namespace {

const Script* innermost = nullptr;
Message* theMessage = nullptr;
std::vector<QPointer<QObject>>& awaitingDeletion()
{
    static std::vector<QPointer<QObject>> objects;
    return objects;
}

std::string describe(const ScriptId& id, std::string_view leading)
{
    std::string text(leading);
    text += id.kind == ScriptKind::Event ? " event script " : " object function ";
    text += id.name;
    text += " for class ";
    text += id.cls;
    text += ", lib entry ";
    text += id.object;
    return text;
}

const char* errorDescription(int code)
{
    switch (code) {
    case NullObjectReference: return "Null object reference";
    case InvalidNumber: return "Invalid number converted to an integer";
    case MissingParent: return "The control has no parent window";
    default: return "Run-time error";
    }
}

} // namespace

Message* messageObject() { return theMessage; }
void registerMessageObject(Message* message) { theMessage = message; }

bool isErrorMarker(double value)
{
    return std::bit_cast<std::uint64_t>(value) == 0x7FEFFFFFFFFFFFFBull;
}

const Script* Script::current() { return innermost; }

Script::Script(const ScriptId& id) : id_(id), outer_(innermost)
{
    innermost = this;
    TraceWriter& trace = TraceWriter::instance();
    if (trace.on() && trace.enabled(ScriptLines)) {
        trace.write(ScriptLines, describe(id_, "Executing"));
        if (trace.on()) {
            trace.raiseLevel();
            opened_ = true;
        }
    }
}

void deleteWhenScriptsEnd(QObject* object)
{
    if (!object)
        return;
    if (!Script::current())
        object->deleteLater();
    else
        awaitingDeletion().emplace_back(object);
}

Script::~Script()
{
    innermost = outer_;
    if (!outer_ && !awaitingDeletion().empty()) {
        for (const QPointer<QObject>& object : std::exchange(awaitingDeletion(), {}))
            if (object)
                object->deleteLater();
    }
    TraceWriter& trace = TraceWriter::instance();
    if (trace.on() && trace.enabled(ScriptLines)) {
        if (opened_)
            trace.lowerLevel();
        trace.write(ScriptLines, describe(id_, "End"));
    }
}

void Script::traceLine(int n)
{
    char text[48];
    std::snprintf(text, sizeof text, "Executing instruction at line %d", n);
    TraceWriter::instance().write(StatementLines, text);
}

void Script::end(int n)
{
    line(n);
    const Message* message = messageObject();
    result_ = message ? message->ReturnValue : 0;
}

void Script::raise(int code) const
{
    const QString text = QStringLiteral("Run-time error %1: %2\nin %3.")
                             .arg(code)
                             .arg(QLatin1String(errorDescription(code)))
                             .arg(QString::fromStdString(describe(id_, "the").substr(4)));
    messageBox(QStringLiteral("Application Error"), text);
    throw ScriptStopped{};
}

void Script::callFailed(std::uint32_t tag) const
{
    TraceWriter& trace = TraceWriter::instance();
    if (trace.on()) {
        char text[64];
        std::snprintf(text, sizeof text, "*** WE HAVE A PROBLEM HERE. Error = %07x ***", static_cast<unsigned>(tag));
        trace.write(StatementLines, text);
    }
    throw ScriptStopped{};
}

} // namespace rt
