#include "convert/TileMemory.h"

#include <cstdlib>

namespace wedmorph {

namespace {

class HeapMemory final : public TileMemory {
public:
    void* allocate(std::size_t bytes) override { return std::malloc(bytes == 0 ? 1 : bytes); }
    void release(void* block) override { std::free(block); }
};

}  // namespace

TileMemory& heapMemory() {
    static HeapMemory memory;
    return memory;
}

}  // namespace wedmorph
