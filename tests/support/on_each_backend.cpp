#include "support/on_each_backend.h"

#include <cstdlib>
#include <exception>

void OnEachBackend::SetUp()
{
    SKIP_UNLESS_POSTGRESQL(ThrowawayDataSource::unavailable(backend()));
    try {
        source_.emplace(backend());
    } catch (const std::exception& e) {
        FAIL() << e.what();
    }
}

std::string backendName(const ::testing::TestParamInfo<Backend>& info)
{
    return ThrowawayDataSource::name(info.param).toStdString();
}

void PrintTo(Backend backend, std::ostream* os) { *os << ThrowawayDataSource::name(backend).toStdString(); }
