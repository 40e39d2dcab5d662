#pragma once
// What the benchmarks share: medians, numbers as text, and the rows of the
// final table (bench/report.py prints them).

#include <string>
#include <vector>

namespace bench {

double median(std::vector<double> values);
// "12.3": value with that many decimals.
std::string fixed(double value, int decimals);
// "11.9 / 12.3 / 14.0 ms": the least, the median and the most.
std::string spread(std::vector<double> values);

// One row of the final table.
struct Row {
    std::string measure, ours, against, theirs, result, goal, met, notes;
};

// Prints each row on standard error and appends it to a tab-separated file.
class Results {
public:
    Results(std::string backend, std::string file) : backend_(std::move(backend)), file_(std::move(file)) {}
    void add(const Row& r);

private:
    std::string backend_;
    std::string file_;
};

} // namespace bench
