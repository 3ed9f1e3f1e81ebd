#pragma once
// The figures the benchmark programs print from their samples.

#include <algorithm>
#include <cstddef>

// The value below which the given share of the samples lies (0.5: the median).
template <typename Samples> double percentile(Samples samples, double share)
{
    std::sort(samples.begin(), samples.end());
    const auto count = std::size_t(samples.size());
    return samples[std::min(count - 1, std::size_t(share * double(count)))];
}

template <typename Samples> double median(const Samples &samples)
{
    return percentile(samples, 0.5);
}
