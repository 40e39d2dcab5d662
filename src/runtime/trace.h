#pragma once
// The trace writer: an optional record of every script and traced line.
// Switched on by VETFAQ_TRACE (a file name, or "-" for standard error);
// VETFAQ_TRACE_CLASSES lists the enabled classes (default "30,31").

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <string_view>

namespace rt {

enum TraceClass : int {
    ScriptLines = 30,     // opening and closing lines of a script
    StatementLines = 31,  // "Executing instruction at line N" and failure markers
};

class TraceWriter {
public:
    using Sink = std::function<void(std::string_view line)>;

    static TraceWriter& instance();

    // Reads VETFAQ_TRACE and VETFAQ_TRACE_CLASSES; tracing stays off
    // when VETFAQ_TRACE is unset or empty.
    void configureFromEnvironment();
    // For tests: every finished line (without its line break) goes to sink.
    void configure(Sink sink, std::set<int> classes = {ScriptLines, StatementLines});
    void switchOff();

    bool on() const { return on_; }
    bool enabled(int traceClass) const { return classes_.count(traceClass) != 0; }

    // Writes one line of the given class at the current nesting level.
    void write(int traceClass, std::string_view text);
    void raiseLevel() { ++level_; }
    void lowerLevel() { if (level_ > 0) --level_; }
    int level() const { return level_; }

private:
    TraceWriter() = default;
    ~TraceWriter();
    void closeFile();

    bool on_ = false;
    int level_ = 0;
    std::set<int> classes_;
    Sink sink_;
    std::FILE* file_ = nullptr;
    bool ownsFile_ = false;
    std::string buffer_;
};

// Parses a list such as "30,31" or "30 31"; unknown words are skipped.
std::set<int> parseTraceClasses(std::string_view text);

} // namespace rt
