// SortStrings: the in-place quicksort the dictionary uses for its ranking keys and its words.
#include <algorithm>

#include "image/image.h"

namespace orv {
namespace {

unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
}

// <0, 0, >0 comparing by character codes, optionally ignoring the case of ASCII letters.
int Compare(const std::string& a, const std::string& b, bool caseSensitive) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < n; ++k) {
        unsigned char x = static_cast<unsigned char>(a[k]);
        unsigned char y = static_cast<unsigned char>(b[k]);
        if (!caseSensitive) {
            x = Fold(x);
            y = Fold(y);
        }
        if (x != y) return x < y ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

struct Sorter {
    std::vector<std::string>& items;
    bool ascending;
    bool caseSensitive;

    // True when a belongs before b.
    bool Before(const std::string& a, const std::string& b) const {
        const int c = Compare(a, b, caseSensitive);
        return ascending ? c < 0 : c > 0;
    }

    void Insertion(std::ptrdiff_t lo, std::ptrdiff_t hi) {
        for (std::ptrdiff_t i = lo + 1; i <= hi; ++i) {
            std::string v = std::move(items[i]);
            std::ptrdiff_t j = i - 1;
            while (j >= lo && Before(v, items[j])) {
                items[j + 1] = std::move(items[j]);
                --j;
            }
            items[j + 1] = std::move(v);
        }
    }

    void Quick(std::ptrdiff_t lo, std::ptrdiff_t hi) {
        while (hi - lo > 60) {
            const std::string pivot = items[lo + (hi - lo) / 2];
            std::ptrdiff_t i = lo;
            std::ptrdiff_t j = hi;
            while (i <= j) {
                while (Before(items[i], pivot)) ++i;
                while (Before(pivot, items[j])) --j;
                if (i <= j) {
                    std::swap(items[i], items[j]);
                    ++i;
                    --j;
                }
            }
            // Recurse into the smaller side, loop on the larger one: the stack stays shallow.
            if (j - lo < hi - i) {
                Quick(lo, j);
                lo = i;
            } else {
                Quick(i, hi);
                hi = j;
            }
        }
        if (hi > lo) Insertion(lo, hi);
    }
};

}  // namespace

void SortStrings(std::vector<std::string>& items, bool ascending, bool caseSensitive) {
    if (items.size() < 2) return;
    Sorter{items, ascending, caseSensitive}.Quick(0, static_cast<std::ptrdiff_t>(items.size()) - 1);
}

}  // namespace orv
