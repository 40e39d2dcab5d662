#include "support/on_each_backend.h"

#include <cstdlib>
#include <exception>

void OnEachBackend::SetUp()
{
    if (const auto why = ThrowawayDataSource::unavailable(backend())) {
        if (qEnvironmentVariable("VETFAQ_TEST_REQUIRE_PG") == QLatin1String("1"))
            FAIL() << why->toStdString();
        GTEST_SKIP() << why->toStdString();
    }
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
