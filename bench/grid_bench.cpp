// Retrieving the grid's 32767 entries: our loader and model, without and
// with a criterion on Answer, against unixODBC's isql fetching the grid's
// select from the same data source.

#include "data/dw_pretraga.h"
#include "data/dw_pretraga_model.h"
#include "data/faq_rows.h"
#include "search/criteria.h"
#include "search/dw_search.h"
#include "support/throwaway_data_source.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace {

constexpr int entries = 32767;

// One data source for the whole run: unixODBC reads its configuration folder once per process.
ThrowawayDataSource* source = nullptr;
QString selectFile;

rt::ConnectionSettings settings()
{
    return {QStringLiteral("ODBC"), false, QStringLiteral("ConnectString='%1'").arg(ThrowawayDataSource::connectString())};
}

void fill()
{
    source->exec(QStringLiteral(
        "BEGIN; WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)"
        " INSERT INTO faq (rbr, adresa, pitanje, datum, proizvod, lot, odgovor)"
        " SELECT i, 'Veterinarska stanica Čakovec ' || i || ', ul. Đure Đakovića 12', 'question ' || i,"
        "        '12/06/2026', 'product', 'LOT-' || (i * 7919 % 100000), 'Answer ' || i || ': give it twice a day.'"
        " FROM n; COMMIT;")
                     .arg(entries));
}

// One address longer than the bound text buffer sends the SQLite driver down the row-by-row path.
void setLongAddress(bool on)
{
    source->exec(on ? QStringLiteral("UPDATE faq SET adresa = adresa || replace(hex(zeroblob(150)), '00', 'ab') WHERE rbr = 100")
                    : QStringLiteral("UPDATE faq SET adresa = substr(adresa, 1, length(adresa) - 300) WHERE rbr = 100"));
}

// One answer longer than the bound text buffer: the same for a criterion on Answer.
void setLongAnswer(bool on)
{
    source->exec(on ? QStringLiteral("UPDATE faq SET odgovor = odgovor || replace(hex(zeroblob(150)), '00', 'ab') WHERE rbr = 100")
                    : QStringLiteral("UPDATE faq SET odgovor = substr(odgovor, 1, length(odgovor) - 300) WHERE rbr = 100"));
}

void retrieve(benchmark::State& state)
{
    const bool longAddress = state.range(0) != 0;
    setLongAddress(longAddress);
    dw_pretraga::Model model;
    for (auto _ : state) {
        std::vector<faq::Row> rows;
        const odbc::Outcome outcome = faq::loadRows(settings(), rows);
        if (!outcome.ok() || rows.size() != entries) {
            state.SkipWithError(outcome.errorText().toUtf8().constData());
            break;
        }
        model.setRows(std::move(rows));
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * entries);
    setLongAddress(false);
}

// "ANSWER 327" in Answer, as typed in a criterion row: capitals against
// mixed case, so every answer is case-folded.
void retrieve_filtered(benchmark::State& state)
{
    const bool longAnswer = state.range(0) != 0;
    setLongAnswer(longAnswer);
    const search::Filter filter({{QStringLiteral("ANSWER 327"), search::Field::Answer, search::Connective::And}});
    const faq::RowFilter rowFilter = rowFilterFor(filter);
    std::size_t expected = 0;
    for (int i = 1; i <= entries; ++i)
        expected += QStringLiteral("answer %1:").arg(i).contains(QStringLiteral("answer 327"));
    dw_pretraga::Model model;
    for (auto _ : state) {
        std::vector<faq::Row> rows;
        const odbc::Outcome outcome = faq::loadRows(settings(), rows, rowFilter);
        if (!outcome.ok() || rows.size() != expected) {
            state.SkipWithError(outcome.ok() ? "another number of rows" : outcome.errorText().toUtf8().constData());
            break;
        }
        model.setRows(std::move(rows));
        benchmark::DoNotOptimize(model.rowCount());
    }
    state.SetItemsProcessed(state.iterations() * entries);
    setLongAnswer(false);
}

void isql(benchmark::State& state)
{
    const std::string command = "isql -b -d, FAQ mirt qelp < '" + selectFile.toStdString() + "'";
    std::vector<char> buffer(1 << 16);
    for (auto _ : state) {
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) {
            state.SkipWithError("cannot start isql");
            break;
        }
        long lines = 0;
        for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
            for (std::size_t i = 0; i < n; ++i)
                lines += buffer[i] == '\n';
        if (pclose(pipe) != 0 || lines != entries) {
            state.SkipWithError("isql failed or delivered another number of rows");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * entries);
}

} // namespace

BENCHMARK(retrieve)->Arg(0)->ArgName("long_address")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(retrieve)->Arg(1)->ArgName("long_address")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(retrieve_filtered)->Arg(0)->ArgName("long_answer")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(retrieve_filtered)->Arg(1)->ArgName("long_answer")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(isql)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);  // the model's font needs it
    benchmark::Initialize(&argc, argv);
    ThrowawayDataSource data;
    source = &data;
    fill();
    selectFile = QDir(QDir::tempPath()).filePath(QStringLiteral("grid_bench_select.sql"));
    {
        QFile file(selectFile);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 1;
        file.write(dw_pretraga::select.toString().toUtf8() + '\n');
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    QFile::remove(selectFile);
    return 0;
}
