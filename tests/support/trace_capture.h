#pragma once
// Switches the trace on into memory for as long as it lives.

#include "runtime/trace.h"

#include <set>
#include <string>
#include <vector>

class TraceCapture {
public:
    explicit TraceCapture(std::set<int> classes = {rt::ScriptLines, rt::StatementLines});
    ~TraceCapture();
    const std::vector<std::string>& lines() const { return lines_; }
    void clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};
