#include "memory/RunMemory.h"

#include <new>

namespace wedmorph {

namespace {

// Every block starts 64 bytes after its header, which names its chunk; blocks
// are 64-byte aligned.
constexpr std::size_t kHeader = 64;
constexpr std::size_t kChunkBytes = std::size_t{2} << 20;
constexpr std::size_t kOwnChunkFrom = kChunkBytes / 4;

std::size_t roundUp(std::size_t bytes) { return (bytes + kHeader - 1) / kHeader * kHeader; }

}  // namespace

RunMemory::~RunMemory() {
    if (current_ != nullptr && current_->live == 0) platform_.releasePages(current_, current_->bytes);
}

RunMemory::Chunk* RunMemory::newChunk(std::size_t bytes) {
    void* pages = *platform_.allocatePages(bytes);
    if (pages == nullptr) return nullptr;
    return new (pages) Chunk{bytes, kHeader, 0};
}

void RunMemory::retire(Chunk* chunk) {
    if (chunk != nullptr && chunk->live == 0) platform_.releasePages(chunk, chunk->bytes);
}

void* RunMemory::allocate(std::size_t bytes) {
    if (bytes > static_cast<std::size_t>(-1) / 2) return nullptr;
    const std::size_t need = kHeader + roundUp(bytes == 0 ? 1 : bytes);
    Chunk* chunk;
    if (need >= kOwnChunkFrom) {
        chunk = newChunk(kHeader + need);
        if (chunk == nullptr) return nullptr;
    } else {
        if (current_ == nullptr || current_->used + need > current_->bytes) {
            Chunk* fresh = newChunk(kChunkBytes);
            if (fresh == nullptr) return nullptr;
            retire(current_);
            current_ = fresh;
        }
        chunk = current_;
    }
    auto* at = reinterpret_cast<unsigned char*>(chunk) + chunk->used;
    chunk->used += need;
    ++chunk->live;
    *reinterpret_cast<Chunk**>(at) = chunk;
    return at + kHeader;
}

void RunMemory::release(void* block) {
    if (block == nullptr) return;
    Chunk* chunk = *reinterpret_cast<Chunk**>(static_cast<unsigned char*>(block) - kHeader);
    if (--chunk->live == 0 && chunk != current_) platform_.releasePages(chunk, chunk->bytes);
}

}  // namespace wedmorph
