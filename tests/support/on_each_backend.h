#pragma once
// Runs every test of a suite once on each database product, with the
// product's name at the end of the test's name:
//
//   class Faq : public OnEachBackend {};
//   TEST_P(Faq, ...) { source().exec(...); }
//   INSTANTIATE_ON_EACH_BACKEND(Faq);
//
// Without a PostgreSQL test cluster its cases fail under ./test (which sets
// VETFAQ_TEST_REQUIRE_PG=1) and are skipped elsewhere.

#include "support/throwaway_data_source.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

using Backend = ThrowawayDataSource::Backend;

class OnEachBackend : public ::testing::TestWithParam<Backend> {
protected:
    // A fixture of its own calls this first and returns at once when
    // IsSkipped() or HasFatalFailure().
    void SetUp() override;

    Backend backend() const { return GetParam(); }
    ThrowawayDataSource& source() { return *source_; }
    const ThrowawayDataSource& source() const { return *source_; }
    // What this backend says or needs where the two differ.
    template <class T>
    T either(T onSqlite, T onPostgresql) const
    {
        return backend() == Backend::SQLite ? onSqlite : onPostgresql;
    }

private:
    std::optional<ThrowawayDataSource> source_;
};

std::string backendName(const ::testing::TestParamInfo<Backend>& info);
// Names the backend in failure messages and in CTest's test names.
void PrintTo(Backend backend, std::ostream* os);

// Skips the test when `why` holds a reason PostgreSQL cannot be used here;
// under ./test (VETFAQ_TEST_REQUIRE_PG=1) that fails it instead.
#define SKIP_UNLESS_POSTGRESQL(why)                                                        \
    do {                                                                                   \
        if (const std::optional<QString> reason = (why)) {                                 \
            if (qEnvironmentVariable("VETFAQ_TEST_REQUIRE_PG") == QLatin1String("1"))      \
                FAIL() << reason->toStdString();                                           \
            GTEST_SKIP() << reason->toStdString();                                         \
        }                                                                                  \
    } while (false)

#define INSTANTIATE_ON_EACH_BACKEND(Suite) \
    INSTANTIATE_TEST_SUITE_P(, Suite, ::testing::Values(Backend::SQLite, Backend::PostgreSQL), backendName)
