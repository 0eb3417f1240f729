#include "core/model/MappingTable.h"

namespace vext {

bool MappingTable::SetAt(uint32_t nButtonId, int32_t nCookie) {
    if (auto found = m_index.find(nButtonId); found != m_index.end()) {
        found->second->nCookie = nCookie;
        return false;
    }
    Bucket& bucket = m_buckets[BucketOf(nButtonId)];
    bucket.push_front(Entry{nButtonId, nCookie});
    m_index.emplace(nButtonId, bucket.begin());
    return true;
}

bool MappingTable::RemoveKey(uint32_t nButtonId) {
    auto found = m_index.find(nButtonId);
    if (found == m_index.end()) {
        return false;
    }
    m_buckets[BucketOf(nButtonId)].erase(found->second);
    m_index.erase(found);
    return true;
}

bool MappingTable::Lookup(uint32_t nButtonId, int32_t& nCookie) const {
    auto found = m_index.find(nButtonId);
    if (found == m_index.end()) {
        return false;
    }
    nCookie = found->second->nCookie;
    return true;
}

void MappingTable::RemoveAll() {
    for (auto& bucket : m_buckets) {
        bucket.clear();
    }
    m_index.clear();
}

void MappingTable::Assign(const std::vector<Entry>& entries) {
    RemoveAll();
    // SetAt puts a new button first in its bucket, so the last of each bucket goes in first.
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        SetAt(it->nButtonId, it->nCookie);
    }
}

} // namespace vext
