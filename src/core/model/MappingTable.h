#pragma once

// Button ID -> cookie, walked in the order every saved file and driver record shows: 17 buckets
// by (ID >> 4) % 17 ascending, and within a bucket the most recently added button first.
// Re-mapping a button keeps its place, as a hash map's value update does.

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <unordered_map>
#include <vector>

namespace vext {

class MappingTable {
public:
    struct Entry {
        uint32_t nButtonId;
        int32_t nCookie;
    };

    static constexpr size_t kBucketCount = 17;

    // Returns true when the button was not mapped before.
    bool SetAt(uint32_t nButtonId, int32_t nCookie);
    bool RemoveKey(uint32_t nButtonId);
    bool Lookup(uint32_t nButtonId, int32_t& nCookie) const;
    void RemoveAll();
    // Replaces every mapping with entries, given in enumeration order, which they then keep.
    void Assign(const std::vector<Entry>& entries);
    size_t GetCount() const { return m_index.size(); }
    bool IsEmpty() const { return m_index.empty(); }

    // Calls f(const Entry&) for every mapping in enumeration order.
    template <typename F>
    void ForEach(F&& f) const {
        for (const auto& bucket : m_buckets) {
            for (const Entry& e : bucket) {
                f(e);
            }
        }
    }

    // Removes every mapping for which pred(const Entry&) holds, walking in enumeration order, and
    // calls removed(const Entry&) for each one taken out.
    template <typename Pred, typename Removed>
    void RemoveIf(Pred&& pred, Removed&& removed) {
        for (auto& bucket : m_buckets) {
            for (auto it = bucket.begin(); it != bucket.end();) {
                if (pred(*it)) {
                    const Entry e = *it;
                    m_index.erase(e.nButtonId);
                    it = bucket.erase(it);
                    removed(e);
                } else {
                    ++it;
                }
            }
        }
    }

    static size_t BucketOf(uint32_t nButtonId) { return (nButtonId >> 4) % kBucketCount; }

private:
    using Bucket = std::list<Entry>;
    std::array<Bucket, kBucketCount> m_buckets;
    std::unordered_map<uint32_t, Bucket::iterator> m_index;
};

} // namespace vext
