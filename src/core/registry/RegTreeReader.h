#pragma once

// Reading a key with everything below it out of the registry store in a go, by one connection
// or, for a large tree, by two at once (half the values each). Not for use outside the store.

#include "core/registry/RegConnection.h"
#include "core/registry/RegTree.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vext {

class RegTreeReader {
public:
    // Below this span of value ids a tree is read by one connection: a thread and a second
    // connection cost more than they save.
    static constexpr uint64_t kReadInHalvesFrom = 4096;

    // An empty tree standing for the key of row nRoot.
    static RegTree EmptyAt(int64_t nRoot);

    // Reads the tree of the key of row nRoot (which exists) on conn.
    static RegStatus Read(detail::RegConnection& conn, int64_t nRoot, RegTree& tree);

    // Reads it with a second connection that sees the same state of the store; the caller
    // makes sure it does. helper gives that connection when the tree is large (null: none to
    // be had), and hook runs between fixing this connection's state and the helper's.
    // nConnections says how many read it: 1 for a small tree or without a helper, 2 for a large
    // one, 0 (nothing read, and kOk) when the helper failed, which the caller drops then.
    static RegStatus ReadInHalves(detail::RegConnection& conn,
                                  const std::function<detail::RegConnection*()>& helper,
                                  const std::function<void()>& hook, int64_t nRoot, RegTree& tree,
                                  int& nConnections);

private:
    struct TreeKeys;
    struct KeyRows;
    struct ValueRows;

    static RegStatus ReadKeyRows(detail::RegConnection& conn, KeyRows& out, TreeKeys& keys);
    static RegStatus ReadKeys(detail::RegConnection& conn, int64_t nRoot, RegTree& tree,
                              TreeKeys& keys);
    template <typename Sink>
    static RegStatus ReadValueRows(detail::RegConnection& conn, int64_t nFrom, int64_t nTo,
                                   Sink sink);
    static RegStatus ReadOwnValues(detail::RegConnection& conn, int64_t nFrom, int64_t nTo,
                                   const TreeKeys& keys, RegTree& tree);
    static RegStatus ReadHelperValues(detail::RegConnection& helper, int64_t nFrom,
                                      ValueRows& rows);
    // Adds a value read for value.nKey (kNoKey: not in the tree, and nothing is added); pWhy
    // says what is wrong with a damaged one. False, with the reason, on failure.
    static bool AddValue(detail::RegConnection& conn, RegTree& tree, RegTree::ValueRef& value,
                         std::string_view name, std::span<const uint8_t> data,
                         const std::string* pWhy);
    // The helper's rows, all of them after this connection's, join the tree.
    static RegStatus JoinHelperValues(detail::RegConnection& conn, ValueRows& rows, RegTree& tree);
};

} // namespace vext
