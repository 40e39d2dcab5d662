#include "results.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace bench {

double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string spread(std::vector<double> values)
{
    if (values.empty())
        return "-";
    const auto [least, most] = std::minmax_element(values.begin(), values.end());
    return fixed(*least, 1) + " / " + fixed(median(values), 1) + " / " + fixed(*most, 1) + " ms";
}

void Results::add(const Row& r)
{
    std::fprintf(stderr, "%-9s %-40s %10s  %-28s %10s  %8s  %s\n", backend_.c_str(), r.measure.c_str(), r.ours.c_str(),
                 r.against.c_str(), r.theirs.c_str(), r.result.c_str(), r.notes.c_str());
    if (!file_.empty()) {
        std::ofstream out(file_, std::ios::app);
        out << r.measure << '\t' << backend_ << '\t' << r.ours << '\t' << r.against << '\t' << r.theirs << '\t'
            << r.result << '\t' << r.goal << '\t' << r.met << '\t' << r.notes << '\n';
    }
}

} // namespace bench
