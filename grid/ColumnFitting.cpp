#include "grid/ColumnFitting.h"

#include <algorithm>
#include <cstdint>
#include <numeric>

namespace ColumnFitting {

namespace {

// Shares total among the columns in proportion to weights, each at least kMinWidth, the
// rounding spare going to the largest remainders.
std::vector<int> share(const std::vector<std::int64_t>& weights, int total) {
    const int n = static_cast<int>(weights.size());
    std::vector<int> out(n, kMinWidth);
    if (n == 0)
        return out;
    const std::int64_t floor = static_cast<std::int64_t>(kMinWidth) * n;
    if (total <= floor)
        return out;

    std::vector<std::int64_t> w(weights);
    for (auto& x : w)
        x = std::max<std::int64_t>(x, 0);
    std::int64_t sum = std::accumulate(w.begin(), w.end(), std::int64_t{0});
    if (sum == 0) {
        std::fill(w.begin(), w.end(), 1);
        sum = n;
    }

    // Columns whose proportional share would fall below the minimum are pinned to it and
    // the rest is shared again among the others.
    std::vector<bool> pinned(n, false);
    std::int64_t free = total;
    for (bool again = true; again;) {
        again = false;
        std::int64_t freeSum = 0;
        for (int i = 0; i < n; ++i)
            if (!pinned[i])
                freeSum += w[i];
        for (int i = 0; i < n; ++i) {
            if (pinned[i])
                continue;
            if (freeSum == 0 || w[i] * free < static_cast<std::int64_t>(kMinWidth) * freeSum) {
                pinned[i] = true;
                free -= kMinWidth;
                again = true;
            }
        }
        if (!again) {
            if (freeSum == 0)
                break;
            std::vector<std::int64_t> rem(n, -1);
            std::int64_t given = 0;
            for (int i = 0; i < n; ++i) {
                if (pinned[i])
                    continue;
                const std::int64_t num = w[i] * free;
                out[i] = static_cast<int>(num / freeSum);
                rem[i] = num % freeSum;
                given += out[i];
            }
            std::int64_t spare = free - given;
            std::vector<int> order(n);
            std::iota(order.begin(), order.end(), 0);
            std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return rem[a] > rem[b]; });
            for (int k = 0; k < n && spare > 0; ++k) {
                if (pinned[order[k]])
                    continue;
                ++out[order[k]];
                --spare;
            }
        }
    }
    return out;
}

} // namespace

std::vector<int> fit(const std::vector<int>& designWidths, int available) {
    std::vector<std::int64_t> w(designWidths.begin(), designWidths.end());
    return share(w, available);
}

std::vector<int> resize(const std::vector<int>& widths, int index, int newWidth, int available) {
    const int n = static_cast<int>(widths.size());
    if (index < 0 || index >= n)
        return fit(widths, available);
    if (n == 1)
        return {std::max(available, kMinWidth)};
    const int maxWidth = available - kMinWidth * (n - 1);
    const int width = std::clamp(newWidth, kMinWidth, std::max(kMinWidth, maxWidth));
    std::vector<std::int64_t> others;
    for (int i = 0; i < n; ++i)
        if (i != index)
            others.push_back(widths[i]);
    const std::vector<int> rest = share(others, available - width);
    std::vector<int> out;
    out.reserve(n);
    for (int i = 0, k = 0; i < n; ++i)
        out.push_back(i == index ? width : rest[k++]);
    return out;
}

int equalWidth(int gridWidth, int columnCount) {
    if (columnCount <= 0 || gridWidth <= 0)
        return 0;
    return gridWidth / columnCount;
}

} // namespace ColumnFitting
