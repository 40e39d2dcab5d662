#include "runtime/trace.h"

#include <cstdlib>
#include <cstring>

namespace rt {

TraceWriter& TraceWriter::instance()
{
    static TraceWriter writer;
    return writer;
}

TraceWriter::~TraceWriter() { closeFile(); }

void TraceWriter::closeFile()
{
    if (file_ && ownsFile_)
        std::fclose(file_);
    file_ = nullptr;
    ownsFile_ = false;
}

std::set<int> parseTraceClasses(std::string_view text)
{
    std::set<int> classes;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] < '0' || text[i] > '9'))
            ++i;
        int value = 0;
        bool any = false;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000) {
            value = value * 10 + (text[i] - '0');
            any = true;
            ++i;
        }
        if (any)
            classes.insert(value);
    }
    return classes;
}

void TraceWriter::configureFromEnvironment()
{
    switchOff();
    const char* target = std::getenv("VETFAQ_TRACE");
    if (!target || !*target)
        return;
    const char* classes = std::getenv("VETFAQ_TRACE_CLASSES");
    classes_ = classes ? parseTraceClasses(classes) : std::set<int>{ScriptLines, StatementLines};
    if (std::strcmp(target, "-") == 0) {
        file_ = stderr;
    } else {
        file_ = std::fopen(target, "w");
        if (!file_) {
            std::fprintf(stderr, "vetfaq: cannot write the trace to %s: %s\n", target, std::strerror(errno));
            return;
        }
        ownsFile_ = true;
    }
    on_ = true;
}

void TraceWriter::configure(Sink sink, std::set<int> classes)
{
    switchOff();
    sink_ = std::move(sink);
    classes_ = std::move(classes);
    on_ = true;
}

void TraceWriter::switchOff()
{
    closeFile();
    sink_ = nullptr;
    on_ = false;
    level_ = 0;
}

void TraceWriter::write(int traceClass, std::string_view text)
{
    if (!on_ || !enabled(traceClass))
        return;
    buffer_.assign(static_cast<std::size_t>(level_) * 2, ' ');
    buffer_.append(text);
    if (sink_) {
        sink_(buffer_);
    } else if (file_) {
        buffer_.push_back('\n');
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
        // Flushed line by line so a trace survives a crash.
        std::fflush(file_);
    }
}

} // namespace rt
