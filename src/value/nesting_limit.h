// The one bound on how deeply values may nest, shared by every way a value enters the process.
#ifndef PYX_VALUE_NESTING_LIMIT_H_
#define PYX_VALUE_NESTING_LIMIT_H_

#include <cstddef>

namespace Vane {

// Most containers (collections and structures) that may be open at once along any path of a
// value tree, the outermost one included: a collection holding a collection holding a scalar
// has depth 2. Every reader of outside data (the host value conversion, and the JSON,
// MessagePack and YAML readers) rejects input nested deeper than this with an error value, so
// no tree deeper than this is ever built from outside data. Copying, converting and
// destroying a value recurse once per level; the bound keeps that recursion far from the
// stack's limit on every thread the host may call on.
inline constexpr size_t kMaxNestingDepth = 512;

}  // namespace Vane

#endif  // PYX_VALUE_NESTING_LIMIT_H_
