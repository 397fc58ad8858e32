// The memory of one run, taken from the platform in whole pages: a large
// block (the buffer tiles are made in, the copy of a large WED) in pages of
// its own, small ones (the marks of the tiles, the list of extra tiles)
// carved from shared 2 MiB chunks. Pages come as they are first used: the
// platform gives blocks of a megabyte or more large pages where it can, one
// fault each, and smaller ones plain pages, a fault per page touched.
#pragma once

#include <cstddef>

#include "memory/TileMemory.h"
#include "platform/Platform.h"

namespace wedmorph {

class RunMemory final : public TileMemory {
public:
    explicit RunMemory(Platform& platform) : platform_(platform) {}
    ~RunMemory() override;
    RunMemory(const RunMemory&) = delete;
    RunMemory& operator=(const RunMemory&) = delete;

    void* allocate(std::size_t bytes) override;
    void release(void* block) override;

private:
    struct Chunk {
        std::size_t bytes;  // the whole chunk, this header included
        std::size_t used;
        int live;           // blocks handed out and not yet released
    };

    Chunk* newChunk(std::size_t bytes);
    void retire(Chunk* chunk);

    Platform& platform_;
    Chunk* current_ = nullptr;
};

}  // namespace wedmorph
