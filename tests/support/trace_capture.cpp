#include "support/trace_capture.h"

TraceCapture::TraceCapture(std::set<int> classes)
{
    rt::TraceWriter::instance().configure([this](std::string_view line) { lines_.emplace_back(line); },
                                          std::move(classes));
}

TraceCapture::~TraceCapture() { rt::TraceWriter::instance().switchOff(); }
