// "Export listed entries…" of all 32767 entries to CSV, from the moment the
// file is chosen to the file in place, against the database's own tool
// writing the same seven columns to a file, in the same run:
//
//   export_bench sqlite|postgresql [--repetitions N] [--results FILE]
//
// On SQLite `sqlite3 -csv`, on PostgreSQL `psql -At --csv`, each from starting
// the process to its end. The runs alternate who goes first; one round
// before them is not counted. Rows for the table go to FILE (tab-separated).

#include "bench_data.h"
#include "process.h"
#include "results.h"

#include "export/csv_file.h"
#include "export/output_steps.h"
#include "support/throwaway_data_source.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;
using bench::fixed;
using bench::largestTable;
using bench::median;
using bench::spread;

const QString selectAll = QStringLiteral("SELECT rbr, adresa, pitanje, datum, proizvod, lot, odgovor FROM faq");

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void check(bool ok, const std::string& what)
{
    if (!ok)
        throw std::runtime_error(what);
}

rt::ConnectionSettings settings()
{
    return {QStringLiteral("ODBC"), false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

// The list's order: every entry, in an order that is not the table's.
std::vector<qint64> listedOrder()
{
    std::vector<qint64> numbers;
    for (qint64 i = 0; i < largestTable; ++i)
        numbers.push_back(i * 7919 % largestTable + 1);
    return numbers;
}

std::vector<std::string> baseline(ThrowawayDataSource& source, const std::string& file)
{
    if (source.backend() == ThrowawayDataSource::Backend::SQLite)
        return {"sqlite3", "-csv", source.databaseFile().toStdString(), ".output " + file, selectAll.toStdString()};
    // psql reads the password from the environment, never from its command line.
    setenv("PGPASSWORD", "qelp", 1);
    return {"psql", "-X", "-At", "--csv", "-h", qEnvironmentVariable("VETFAQ_TEST_PG_HOST").toStdString(),
            "-p", qEnvironmentVariable("VETFAQ_TEST_PG_PORT").toStdString(), "-U", "mirt",
            "-d", bench::databaseName().toStdString(), "-c", selectAll.toStdString(), "-o", file};
}

void run(ThrowawayDataSource& source, int repetitions, const std::string& resultsFile)
{
    const bool sqlite = source.backend() == ThrowawayDataSource::Backend::SQLite;
    bench::Results results(ThrowawayDataSource::name(source.backend()).toStdString(), resultsFile);
    QTemporaryDir dir;
    const QString ourFile = dir.filePath(QStringLiteral("ours.csv"));
    const std::string theirFile = dir.filePath(QStringLiteral("theirs.csv")).toStdString();
    const std::vector<std::string> theirCommand = baseline(source, theirFile);
    const std::vector<qint64> numbers = listedOrder();
    const output::Selection listed = output::Selection::listed(numbers);

    std::vector<double> ours, theirs, read, write;
    for (int rep = -1; rep < repetitions; ++rep) {
        auto export_ = [&] {
            const auto start = Clock::now();
            check(output::exportCsv(nullptr, settings(), listed, ourFile, {}), "the export failed");
            if (rep >= 0)
                ours.push_back(msSince(start));
        };
        if (rep % 2 == 0)
            export_();
        const bench::Finished f = bench::run(theirCommand);
        check(f.exitCode == 0 && QFileInfo(QString::fromStdString(theirFile)).size() > 0, theirCommand[0] + " failed");
        if (rep >= 0)
            theirs.push_back(f.ms);
        if (rep % 2 != 0)
            export_();

        // The export's two parts apart, on this thread: the read with the
        // records encoded (and the driver's copy of the rows freed), and the file.
        auto start = Clock::now();
        output::CsvRecords records(numbers.size());
        std::size_t missing = 0;
        check(output::readListed(
                  settings(), numbers, [&](std::size_t place, const output::EntryView& e) { records.add(place, e); }, missing)
                      .ok()
                  && missing == 0,
              "the read failed");
        const double r = msSince(start);
        start = Clock::now();
        check(records.write(ourFile).ok(), "the write failed");
        if (rep >= 0) {
            read.push_back(r);
            write.push_back(msSince(start));
        }
    }
    const double ratio = median(ours) / median(theirs);
    const std::string tool = sqlite ? "sqlite3 -csv" : "psql -At --csv";
    results.add({"Export: 32767 listed entries to CSV", fixed(median(ours), 1) + " ms", tool + " to a file",
                 fixed(median(theirs), 1) + " ms", fixed(ratio, 2) + " x", "<= 1.5 x", ratio <= 1.5 ? "yes" : "NO",
                 "min/median/max ours " + spread(ours) + ", theirs " + spread(theirs) + "; the read alone " +
                     spread(read) + ", the file alone " + spread(write) + "; files " +
                     std::to_string(QFileInfo(ourFile).size() >> 10) + " / " +
                     std::to_string(QFileInfo(QString::fromStdString(theirFile)).size() >> 10) + " KiB"});
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    try {
        if (argc < 2 || (std::string(argv[1]) != "sqlite" && std::string(argv[1]) != "postgresql"))
            throw std::runtime_error("usage: export_bench sqlite|postgresql [--repetitions N] [--results FILE]");
        const auto backend = std::string(argv[1]) == "sqlite" ? ThrowawayDataSource::Backend::SQLite
                                                              : ThrowawayDataSource::Backend::PostgreSQL;
        int repetitions = 7;
        std::string resultsFile;
        for (int i = 2; i + 1 < argc; i += 2) {
            const std::string key = argv[i];
            if (key == "--repetitions")
                repetitions = std::max(1, std::atoi(argv[i + 1]));
            else if (key == "--results")
                resultsFile = argv[i + 1];
            else
                throw std::runtime_error("unknown option " + key);
        }
        if (const auto why = ThrowawayDataSource::unavailable(backend)) {
            std::fprintf(stderr, "export_bench: %s\n", qPrintable(*why));
            return 77;
        }
        ThrowawayDataSource source(backend);
        bench::fillSettled(source, largestTable);
        run(source, repetitions, resultsFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "export_bench: %s\n", e.what());
        return 1;
    }
    return 0;
}
