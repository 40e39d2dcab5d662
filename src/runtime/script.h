#pragma once
// The execution protocol every script runs under: the opening and closing
// trace lines, one call per traced line, the run-time checks and the stop on
// failure. A handler reads like its line table:
//
//     Script s(id);
//     s.line(1); if (g.rbr > 0) {
//         s.line(2); ...
//     }
//     s.end(5);
//
// Failures throw ScriptStopped; the closing line is written by the guard's
// destructor on the way out, and fire() turns the stop into status 0.

#include "runtime/trace.h"

#include <QObject>

#include <cstdint>
#include <string_view>
#include <utility>

namespace rt {

enum class ScriptKind { Event, Function };

struct ScriptId {
    ScriptKind kind;
    std::string_view name;    // "open", "clicked", "centriraj_prozor", ...
    std::string_view cls;     // the object itself or one of its controls
    std::string_view object;  // the object that owns the script
};

inline constexpr ScriptId event(std::string_view name, std::string_view cls, std::string_view object)
{
    return {ScriptKind::Event, name, cls, object};
}
inline constexpr ScriptId function(std::string_view name, std::string_view object)
{
    return {ScriptKind::Function, name, object, object};
}

// Run-time error codes.
enum RuntimeErrorCode : int {
    NullObjectReference = 20502,
    InvalidNumber = 20525,
    MissingParent = 20543,
};

// Stops the running script; caught only by fire() and by the guards' callers.
struct ScriptStopped {};

// The platform's error marker in a real about to become an integer.
bool isErrorMarker(double value);

class Script {
public:
    explicit Script(const ScriptId& id);
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    // Traces the statement line n, just before its statement runs.
    void line(int n)
    {
        if (TraceWriter::instance().on())
            traceLine(n);
    }
    // The end-of-event line: traced, and the event's long result taken from
    // the message object (0 when there is none).
    void end(int n);
    // A return statement's value.
    void setResult(long value) { result_ = value; }
    long result() const { return result_; }

    // Hands the code to the run-time error handler and stops the script.
    [[noreturn]] void raise(int code) const;
    // A failed call of an object function or method: marker line, stop.
    [[noreturn]] void callFailed(std::uint32_t tag) const;

    // Every object reference is checked before use.
    template <class T>
    T& need(T* object) const
    {
        if (!object)
            raise(NullObjectReference);
        return *object;
    }
    template <class P>
    auto& need(const P& pointer) const
        requires requires { pointer.get(); }
    {
        return need(pointer.get());
    }
    // A real about to be converted to an integer.
    double checkedNumber(double value) const
    {
        if (isErrorMarker(value))
            raise(InvalidNumber);
        return value;
    }

    // Calls an object function or method; if the callee stops, the call
    // fails here with the call site's tag.
    template <class F>
    decltype(auto) call(std::uint32_t tag, F&& f) const
    {
        try {
            return std::forward<F>(f)();
        } catch (const ScriptStopped&) {
            callFailed(tag);
        }
    }

    const ScriptId& id() const { return id_; }
    // The innermost running script, or null.
    static const Script* current();

private:
    void traceLine(int n);

    ScriptId id_;
    long result_ = 0;
    bool opened_ = false;  // wrote an opening line and raised the level
    const Script* outer_;
};

// Deletes the object once no script runs any more (at once when none does):
// a script may still be running on a window it has closed, and waits for the
// database process events in the middle of a script.
void deleteWhenScriptsEnd(QObject* object);

// Runs a script body at the platform's edge (an event from the user or the
// platform): 1 when it ran to its end, 0 when it stopped.
template <class F>
int fire(F&& body) noexcept
{
    try {
        std::forward<F>(body)();
        return 1;
    } catch (const ScriptStopped&) {
        return 0;
    }
}

} // namespace rt
