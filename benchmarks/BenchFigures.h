#pragma once

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

// Figures and their statistics, in standard C++ only, so that the program
// measuring under wine prints its lines as the Linux benchmarks do.
namespace Bench {

using TClock = std::chrono::steady_clock;

inline double Seconds(TClock::duration d) { return std::chrono::duration<double>(d).count(); }
inline double Milliseconds(TClock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Nearest-rank percentile; p in [0, 100].
inline double Percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::ceil(p / 100.0 * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}
inline double Median(const std::vector<double> &values)
{
    if (values.empty())
        return NAN;
    std::vector<double> v = values;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}
inline double Min(const std::vector<double> &v) { return v.empty() ? NAN : *std::min_element(v.begin(), v.end()); }
inline double Max(const std::vector<double> &v) { return v.empty() ? NAN : *std::max_element(v.begin(), v.end()); }

inline std::string Fixed(double value, int decimals = 2)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// `name value unit (spread)`, then the goal's verdict when there is one. Lines
// go out at once, so that a slow case shows what it has so far.
inline void Figure(const std::string &name, double value, const std::string &unit, const std::string &spread,
                   int decimals = 2)
{
    std::printf("%s %s %s (%s)\n", name.c_str(), Fixed(value, decimals).c_str(), unit.c_str(), spread.c_str());
    std::fflush(stdout);
}
inline void Goal(const std::string &name, bool met, const std::string &goal)
{
    std::printf("%s_goal %s (%s)\n", name.c_str(), met ? "met" : "MISSED", goal.c_str());
    std::fflush(stdout);
}
inline void Note(const std::string &text)
{
    std::printf("# %s\n", text.c_str());
    std::fflush(stdout);
}

// Thrown when a run cannot be measured at all: lost bytes, a port that would
// not open. A benchmark that hides such a fault would measure nothing.
class EBenchFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace Bench
