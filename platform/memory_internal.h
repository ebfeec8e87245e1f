// Memory handles over bytes the memory calls do not own (BlockKeep).
#pragma once

#include <memory>

#include "talix_platform/types.h"

namespace plat {

// A memory handle whose block is size bytes at data, kept alive by keeper
// (the handle holds a reference to it). The block cannot be reallocated.
STATUS AddKeptBlock(std::shared_ptr<const void> keeper, BYTE* data, DWORD size, DHANDLE* handle);

} // namespace plat
