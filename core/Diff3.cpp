#include "core/Diff3.h"

#include <algorithm>

namespace {

// Myers' diff, the linear-space form: the middle snake splits the problem in two, each half
// solved the same way; common ends are taken first, as most edits touch a few places.
class Differ {
public:
    Differ(const Symbols& a, const Symbols& b) : a_(a), b_(b) {
        const size_t most = (a.size() + b.size() + 1) / 2;
        forward_.reach.resize(2 * most + 2);
        backward_.reach.resize(2 * most + 2);
    }

    std::vector<CommonRun> Runs() {
        Compare(0, a_.size(), 0, b_.size());
        return std::move(runs_);
    }

private:
    void Common(size_t a, size_t b, size_t length) {
        if (length == 0)
            return;
        if (!runs_.empty()) {
            CommonRun& last = runs_.back();
            if (last.a + last.length == a && last.b + last.length == b) {
                last.length += length;
                return;
            }
        }
        runs_.push_back({a, b, length});
    }

    void Compare(size_t a0, size_t a1, size_t b0, size_t b1) {
        size_t head = 0;
        while (a0 + head < a1 && b0 + head < b1 && a_[a0 + head] == b_[b0 + head])
            ++head;
        Common(a0, b0, head);
        a0 += head;
        b0 += head;
        size_t tail = 0;
        while (a1 - tail > a0 && b1 - tail > b0 && a_[a1 - tail - 1] == b_[b1 - tail - 1])
            ++tail;
        if (a0 < a1 - tail && b0 < b1 - tail)
            Bisect(a0, a1 - tail, b0, b1 - tail);
        Common(a1 - tail, b1 - tail, tail);
    }

    // One of the two searches: per diagonal k (at offset + k), the furthest x it reached; the
    // diagonals that left the grid on either side are no longer searched.
    struct Search {
        std::vector<long long> reach;
        long long first = 0; // diagonals left out at the low end
        long long last = 0;  // and at the high end

        void Reset(long long size, long long offset) {
            std::fill(reach.begin(), reach.begin() + size, -1);
            reach[offset + 1] = 0;
            first = last = 0;
        }

        // The furthest x on diagonal k after d edits: one step on from the better neighbouring
        // diagonal, then along the elements both share. False when it left the grid.
        template <typename Same>
        bool Step(long long at, long long k, long long d, long long n, long long m, Same same, long long& x) {
            x = (k == -d || (k != d && reach[at - 1] < reach[at + 1])) ? reach[at + 1] : reach[at - 1] + 1;
            while (x < n && x - k < m && same(x, x - k))
                ++x;
            reach[at] = x;
            if (x > n)
                last += 2;
            else if (x - k > m)
                first += 2;
            return x <= n && x - k <= m;
        }
    };

    // Both ranges non-empty and differing at both ends. The two searches run towards each other
    // one edit at a time; where they overlap lies a point of some shortest edit script.
    void Bisect(size_t a0, size_t a1, size_t b0, size_t b1) {
        const long long n = static_cast<long long>(a1 - a0);
        const long long m = static_cast<long long>(b1 - b0);
        const long long maxD = (n + m + 1) / 2;
        const long long offset = maxD;
        const long long size = 2 * maxD + 2;
        forward_.Reset(size, offset);
        backward_.Reset(size, offset);
        const long long delta = n - m;
        const bool front = (delta % 2) != 0; // which search can meet the other first
        const auto a = [&](long long i) { return a_[a0 + static_cast<size_t>(i)]; };
        const auto b = [&](long long i) { return b_[b0 + static_cast<size_t>(i)]; };
        const auto ahead = [&](long long x, long long y) { return a(x) == b(y); };
        const auto behind = [&](long long x, long long y) { return a(n - x - 1) == b(m - y - 1); };
        const auto reached = [&](const Search& search, long long at) {
            return at >= 0 && at < size && search.reach[at] != -1;
        };
        for (long long d = 0; d < maxD; ++d) {
            for (long long k = -d + forward_.first; k <= d - forward_.last; k += 2) {
                long long x = 0;
                const long long other = offset + delta - k;
                if (forward_.Step(offset + k, k, d, n, m, ahead, x) && front && reached(backward_, other) &&
                    x >= n - backward_.reach[other])
                    return Split(a0, a1, b0, b1, x, x - k);
            }
            for (long long k = -d + backward_.first; k <= d - backward_.last; k += 2) {
                long long x = 0;
                const long long other = offset + delta - k;
                if (backward_.Step(offset + k, k, d, n, m, behind, x) && !front && reached(forward_, other) &&
                    forward_.reach[other] >= n - x)
                    return Split(a0, a1, b0, b1, forward_.reach[other], forward_.reach[other] - (other - offset));
            }
        }
        // Nothing in common.
    }

    void Split(size_t a0, size_t a1, size_t b0, size_t b1, long long x, long long y) {
        // The searches' arrays are free again: each half fills them anew.
        Compare(a0, a0 + static_cast<size_t>(x), b0, b0 + static_cast<size_t>(y));
        Compare(a0 + static_cast<size_t>(x), a1, b0 + static_cast<size_t>(y), b1);
    }

    const Symbols& a_;
    const Symbols& b_;
    Search forward_;
    Search backward_;
    std::vector<CommonRun> runs_;
};

bool SameStretch(const Symbols& x, size_t x0, size_t x1, const Symbols& y, size_t y0, size_t y1) {
    return x1 - x0 == y1 - y0 && std::equal(x.begin() + x0, x.begin() + x1, y.begin() + y0);
}

// A stretch of base with its places in ours and theirs, unchanged on both sides.
struct Stable {
    size_t base, ours, theirs, length;
};

// The stretches of base that both sides kept where they stand, from the two diffs.
std::vector<Stable> StableStretches(const std::vector<CommonRun>& withOurs, const std::vector<CommonRun>& withTheirs) {
    std::vector<Stable> stable;
    size_t i = 0, j = 0;
    while (i < withOurs.size() && j < withTheirs.size()) {
        const CommonRun& o = withOurs[i];
        const CommonRun& t = withTheirs[j];
        const size_t begin = std::max(o.a, t.a);
        const size_t end = std::min(o.a + o.length, t.a + t.length);
        if (begin < end)
            stable.push_back({begin, o.b + (begin - o.a), t.b + (begin - t.a), end - begin});
        if (o.a + o.length < t.a + t.length)
            ++i;
        else
            ++j;
    }
    return stable;
}

class PieceList {
public:
    void Add(MergeSide side, size_t begin, size_t end) {
        if (begin == end)
            return;
        if (!pieces_.empty() && pieces_.back().side == side && pieces_.back().end == begin)
            pieces_.back().end = end;
        else
            pieces_.push_back({side, begin, end});
    }
    std::vector<MergePiece> Take() { return std::move(pieces_); }

private:
    std::vector<MergePiece> pieces_;
};

// Both sides changed the same stretch of base differently: ours' version, then theirs', what both
// begin and end with once.
void AddConflict(PieceList& out, const Symbols& ours, size_t o0, size_t o1, const Symbols& theirs, size_t t0,
                 size_t t1) {
    size_t head = 0;
    while (o0 + head < o1 && t0 + head < t1 && ours[o0 + head] == theirs[t0 + head])
        ++head;
    size_t tail = 0;
    while (o1 - tail > o0 + head && t1 - tail > t0 + head && ours[o1 - tail - 1] == theirs[t1 - tail - 1])
        ++tail;
    out.Add(MergeSide::Ours, o0, o1 - tail);
    out.Add(MergeSide::Theirs, t0 + head, t1 - tail);
    out.Add(MergeSide::Ours, o1 - tail, o1);
}

} // namespace

std::vector<CommonRun> CommonRuns(const Symbols& a, const Symbols& b) {
    return Differ(a, b).Runs();
}

Symbols CommonSymbols(const Symbols& a, const Symbols& b) {
    Symbols common;
    for (const CommonRun& run : CommonRuns(a, b))
        common.insert(common.end(), a.begin() + run.a, a.begin() + run.a + run.length);
    return common;
}

std::vector<MergePiece> MergeSymbols(const Symbols& base, const Symbols& ours, const Symbols& theirs) {
    std::vector<Stable> stable = StableStretches(CommonRuns(base, ours), CommonRuns(base, theirs));
    stable.push_back({base.size(), ours.size(), theirs.size(), 0}); // the end: the last gap closes there
    PieceList out;
    size_t b = 0, o = 0, t = 0;
    for (const Stable& s : stable) {
        if (SameStretch(ours, o, s.ours, theirs, t, s.theirs) || SameStretch(theirs, t, s.theirs, base, b, s.base))
            out.Add(MergeSide::Ours, o, s.ours);
        else if (SameStretch(ours, o, s.ours, base, b, s.base))
            out.Add(MergeSide::Theirs, t, s.theirs);
        else
            AddConflict(out, ours, o, s.ours, theirs, t, s.theirs);
        out.Add(MergeSide::Ours, s.ours, s.ours + s.length);
        b = s.base + s.length;
        o = s.ours + s.length;
        t = s.theirs + s.length;
    }
    return out.Take();
}
