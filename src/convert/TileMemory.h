// Where the tile buffers of a conversion come from. A failed allocation is a
// result (null), never an exception, and tests swap in memory that runs out
// on demand and counts what is still held.
#pragma once

#include <cstddef>

namespace wedmorph {

class TileMemory {
public:
    virtual ~TileMemory() = default;
    virtual void* allocate(std::size_t bytes) = 0;
    virtual void release(void* block) = 0;
};

}  // namespace wedmorph
