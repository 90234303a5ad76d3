#include <type_traits>

#include "kit/core/DataItemResult.h"

namespace kavro {
namespace {

// Results exist only as their factory makes them; a copy of a whole one is whole.
static_assert(!std::is_default_constructible_v<DataItemResult>);
static_assert(std::is_copy_constructible_v<DataItemResult>);

}  // namespace
}  // namespace kavro
