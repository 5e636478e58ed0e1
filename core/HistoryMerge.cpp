// The history's merge: entries paired by text, their order from what each side moved.
#include "core/Merge.h"

#include "core/TextPrint.h"

#include <algorithm>
#include <cstdint>
#include <unordered_map>

namespace {

constexpr int kBase = 0;
constexpr int kOurs = 1;
constexpr int kTheirs = 2;
constexpr uint32_t kAbsent = UINT32_MAX;

// A text's identity for pairing: its length and fingerprint, as the history writer knows an entry
// it wrote before. Comparing the texts themselves would read every text of three histories a
// second time (tens of megabytes for 10,000 long entries).
struct TextKey {
    TextPrint print;
    size_t length;
    bool operator==(const TextKey& o) const { return print == o.print && length == o.length; }
};

// Numbers the distinct texts by fingerprint: open addressing in one table of at least twice as
// many slots as texts, so that pairing allocates once.
class TextIds {
public:
    explicit TextIds(size_t texts) {
        size_t size = 16;
        while (size < 2 * texts)
            size *= 2;
        slots_.resize(size, Slot{{{}, 0}, kAbsent});
    }

    // The text's number, or `fresh` when it is new.
    uint32_t Of(std::wstring_view text, uint32_t fresh) {
        const TextKey key{Fingerprint(text), text.size()};
        const size_t mask = slots_.size() - 1;
        for (size_t i = static_cast<size_t>(key.print.a) & mask;; i = (i + 1) & mask) {
            Slot& slot = slots_[i];
            if (slot.id == kAbsent)
                slot = {key, fresh};
            if (slot.key == key)
                return slot.id;
        }
    }

private:
    struct Slot {
        TextKey key;
        uint32_t id;
    };
    std::vector<Slot> slots_;
};

// One entry across the versions: its row in each, or kAbsent.
struct Unit {
    uint32_t row[3] = {kAbsent, kAbsent, kAbsent};
};

struct Pairing {
    std::vector<Unit> units;
    std::vector<uint32_t> unitAt[3]; // per version, the unit of each row
};

// The k-th entry with a text in one version pairs with the k-th entry with it in the others.
// Linear: each text is read once.
Pairing PairEntries(const std::vector<const std::vector<HistoryItem>*>& versions) {
    size_t total = 0;
    for (const auto* version : versions)
        total += version->size();
    TextIds textIds(total);
    std::vector<uint32_t> firstUnit;                  // per text, the unit of its first occurrence
    std::unordered_map<uint64_t, uint32_t> nextUnits; // (text, k) for k > 0: duplicates are few
    std::vector<uint32_t> seen;                       // occurrences of each text so far in this version
    Pairing p;
    p.units.reserve(total);
    for (size_t v = 0; v < versions.size(); ++v) {
        std::fill(seen.begin(), seen.end(), 0);
        p.unitAt[v].reserve(versions[v]->size());
        for (const HistoryItem& item : *versions[v]) {
            const uint32_t text = textIds.Of(item.text, static_cast<uint32_t>(firstUnit.size()));
            if (text == firstUnit.size()) {
                firstUnit.push_back(kAbsent);
                seen.push_back(0);
            }
            const uint32_t k = seen[text]++;
            uint32_t& unit =
                k == 0 ? firstUnit[text]
                       : nextUnits.try_emplace((static_cast<uint64_t>(text) << 32) | k, kAbsent).first->second;
            if (unit == kAbsent) {
                unit = static_cast<uint32_t>(p.units.size());
                p.units.emplace_back();
            }
            p.units[unit].row[v] = static_cast<uint32_t>(p.unitAt[v].size());
            p.unitAt[v].push_back(unit);
        }
    }
    return p;
}

// Per unit: whether `side` left it in base's order, the longest increasing run of base rows
// down the side. Where runs tie, the greedy search keeps the lower entries, so a swap of two
// reads as the lower one moved up, as a promotion does.
std::vector<bool> KeptInOrder(const Pairing& p, int side) {
    std::vector<uint32_t> units; // the side's entries that base holds, top down
    for (uint32_t u : p.unitAt[side])
        if (p.units[u].row[kBase] != kAbsent)
            units.push_back(u);
    std::vector<uint32_t> tails;                         // per run length, the index of its smallest last entry
    std::vector<uint32_t> before(units.size(), kAbsent); // the entry before each in its run
    const auto baseRow = [&](uint32_t i) { return p.units[units[i]].row[kBase]; };
    for (uint32_t i = 0; i < units.size(); ++i) {
        const auto at = std::lower_bound(tails.begin(), tails.end(), baseRow(i),
                                         [&](uint32_t tail, uint32_t row) { return baseRow(tail) < row; });
        if (at != tails.begin())
            before[i] = *(at - 1);
        if (at == tails.end())
            tails.push_back(i);
        else
            *at = i;
    }
    std::vector<bool> kept(p.units.size(), false);
    for (uint32_t i = tails.empty() ? kAbsent : tails.back(); i != kAbsent; i = before[i])
        kept[units[i]] = true;
    return kept;
}

bool SameMarks(const HistoryItem& a, const HistoryItem& b) {
    return a.label == b.label && a.used == b.used && a.locked == b.locked;
}

// A field both sides hold: the change of one side, or the later side's where both changed it.
template <typename T> const T& MergeField(const T* base, const T& ours, const T& theirs, bool theirsChangedLast) {
    if (ours == theirs || (base && *base == theirs))
        return ours;
    if (base && *base == ours)
        return theirs;
    return theirsChangedLast ? theirs : ours;
}

enum class Role : uint8_t {
    Gone,       // deleted on one side and left as it was on the other
    InPlace,    // left in base's order on every side that holds it: keeps base's order
    FromOurs,   // new or moved: placed as ours shows it
    FromTheirs, // placed as theirs shows it
};

struct Versions {
    const std::vector<HistoryItem>& base;
    const std::vector<HistoryItem>& ours;
    const std::vector<HistoryItem>& theirs;
    const HistoryItem* Get(const Unit& u, int v) const {
        const std::vector<HistoryItem>& items = v == kBase ? base : v == kOurs ? ours : theirs;
        return u.row[v] == kAbsent ? nullptr : &items[u.row[v]];
    }
};

Role RoleOf(const Versions& versions, const Unit& u, bool keptByOurs, bool keptByTheirs, bool theirsChangedLast) {
    const HistoryItem* base = versions.Get(u, kBase);
    const HistoryItem* ours = versions.Get(u, kOurs);
    const HistoryItem* theirs = versions.Get(u, kTheirs);
    const bool movedByOurs = ours && !(base && keptByOurs); // new counts as moved
    const bool movedByTheirs = theirs && !(base && keptByTheirs);
    if (base) {
        const bool changedByOurs = ours && (movedByOurs || !SameMarks(*base, *ours));
        const bool changedByTheirs = theirs && (movedByTheirs || !SameMarks(*base, *theirs));
        if ((!ours && !changedByTheirs) || (!theirs && !changedByOurs))
            return Role::Gone;
    }
    if (movedByOurs && movedByTheirs)
        return theirsChangedLast ? Role::FromTheirs : Role::FromOurs;
    if (movedByOurs)
        return Role::FromOurs;
    return movedByTheirs ? Role::FromTheirs : Role::InPlace;
}

struct Placed {
    uint32_t above; // the in-place entry it goes above, by its rank in base; the count of them: the bottom
    uint32_t unit;
};

// The entries `side` places, top down, each with the in-place entry below it on that side.
std::vector<Placed> PlacedBy(const Pairing& p, int side, const std::vector<Role>& roles,
                             const std::vector<uint32_t>& rank, uint32_t inPlaceCount) {
    const Role mine = side == kOurs ? Role::FromOurs : Role::FromTheirs;
    std::vector<Placed> placed;
    uint32_t above = inPlaceCount;
    for (auto u = p.unitAt[side].rbegin(); u != p.unitAt[side].rend(); ++u) {
        if (roles[*u] == Role::InPlace)
            above = rank[*u];
        else if (roles[*u] == mine)
            placed.push_back({above, *u});
    }
    std::reverse(placed.begin(), placed.end());
    return placed;
}

// The merged order as units: the in-place entries in base's order, each with the entries placed
// above it, the later side's group first.
std::vector<uint32_t> MergedOrder(const Pairing& p, const std::vector<Role>& roles, bool theirsChangedLast) {
    std::vector<uint32_t> inPlace;
    std::vector<uint32_t> rank(p.units.size(), kAbsent);
    for (uint32_t u : p.unitAt[kBase]) {
        if (roles[u] == Role::InPlace) {
            rank[u] = static_cast<uint32_t>(inPlace.size());
            inPlace.push_back(u);
        }
    }
    const uint32_t count = static_cast<uint32_t>(inPlace.size());
    const std::vector<Placed> later = PlacedBy(p, theirsChangedLast ? kTheirs : kOurs, roles, rank, count);
    const std::vector<Placed> earlier = PlacedBy(p, theirsChangedLast ? kOurs : kTheirs, roles, rank, count);
    std::vector<uint32_t> order;
    order.reserve(inPlace.size() + later.size() + earlier.size());
    size_t i = 0, j = 0;
    for (uint32_t r = 0; r <= count; ++r) {
        for (; i < later.size() && later[i].above == r; ++i)
            order.push_back(later[i].unit);
        for (; j < earlier.size() && earlier[j].above == r; ++j)
            order.push_back(earlier[j].unit);
        if (r < count)
            order.push_back(inPlace[r]);
    }
    return order;
}

bool MergedLock(const Versions& versions, const Unit& u, bool theirsChangedLast) {
    const HistoryItem* base = versions.Get(u, kBase);
    const HistoryItem* ours = versions.Get(u, kOurs);
    const HistoryItem* theirs = versions.Get(u, kTheirs);
    if (!ours || !theirs)
        return (ours ? ours : theirs)->locked;
    return MergeField(base ? &base->locked : nullptr, ours->locked, theirs->locked, theirsChangedLast);
}

// Takes theirs' text where theirs holds the entry (each unit is taken once), ours' id where ours
// does; `locked` is its merged lock mark (MergedLock).
HistoryItem TakeMergedEntry(const Versions& versions, std::vector<HistoryItem>& theirsItems, const Unit& u,
                            bool locked, bool theirsChangedLast) {
    const HistoryItem* base = versions.Get(u, kBase);
    const HistoryItem* ours = versions.Get(u, kOurs);
    if (u.row[kTheirs] == kAbsent)
        return *ours;
    HistoryItem& theirs = theirsItems[u.row[kTheirs]];
    if (!ours)
        return std::move(theirs);
    HistoryItem merged;
    merged.label = MergeField(base ? &base->label : nullptr, ours->label, theirs.label, theirsChangedLast);
    merged.used = MergeField(base ? &base->used : nullptr, ours->used, theirs.used, theirsChangedLast);
    merged.locked = locked;
    merged.text = std::move(theirs.text);
    merged.id = ours->id;
    return merged;
}

} // namespace

std::vector<HistoryItem> MergeHistory(const std::vector<HistoryItem>& base, const std::vector<HistoryItem>& ours,
                                      std::vector<HistoryItem> theirs, bool theirsChangedLast, int maxHistory) {
    const Versions versions{base, ours, theirs};
    const Pairing p = PairEntries({&base, &ours, &theirs});
    const std::vector<bool> keptByOurs = KeptInOrder(p, kOurs);
    const std::vector<bool> keptByTheirs = KeptInOrder(p, kTheirs);
    std::vector<Role> roles(p.units.size());
    for (size_t u = 0; u < p.units.size(); ++u)
        roles[u] = RoleOf(versions, p.units[u], keptByOurs[u], keptByTheirs[u], theirsChangedLast);

    // The locked group gathered and the cut made on the order first, so that no text is copied
    // in vain.
    std::vector<uint32_t> order = MergedOrder(p, roles, theirsChangedLast);
    std::vector<bool> locked(p.units.size(), false);
    for (uint32_t u : order)
        locked[u] = MergedLock(versions, p.units[u], theirsChangedLast);
    const auto isLocked = [&](uint32_t u) { return locked[u]; };
    std::stable_partition(order.begin(), order.end(), isLocked);
    const size_t lockedCount = static_cast<size_t>(std::count_if(order.begin(), order.end(), isLocked));
    if (maxHistory > 0 && order.size() - lockedCount > static_cast<size_t>(maxHistory))
        order.resize(lockedCount + static_cast<size_t>(maxHistory));

    std::vector<HistoryItem> merged;
    merged.reserve(order.size());
    for (uint32_t u : order)
        merged.push_back(TakeMergedEntry(versions, theirs, p.units[u], locked[u], theirsChangedLast));
    return merged;
}

std::vector<HistoryItem> MergeHistoryTwoWay(const std::vector<HistoryItem>& ours, std::vector<HistoryItem> copy,
                                            int maxHistory) {
    const Pairing p = PairEntries({&ours, &copy});
    std::vector<HistoryItem> shared;
    for (uint32_t u : p.unitAt[1])
        if (p.units[u].row[0] != kAbsent)
            shared.push_back(copy[p.units[u].row[1]]);
    return MergeHistory(shared, ours, std::move(copy), false, maxHistory);
}
