// Where the tile buffers of a conversion come from. A failed allocation is a
// result (null), never an exception, and tests swap in memory that runs out
// on demand and counts what is still held.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

namespace wedmorph {

class TileMemory {
public:
    virtual ~TileMemory() = default;
    virtual void* allocate(std::size_t bytes) = 0;
    virtual void release(void* block) = 0;
};

// One block of tile memory, given back when its owner goes.
class TileBlock {
public:
    TileBlock() = default;
    // Null when the memory has none to give.
    static TileBlock allocate(TileMemory& memory, std::size_t bytes) {
        return TileBlock(memory, static_cast<std::uint8_t*>(memory.allocate(bytes)));
    }
    ~TileBlock() { reset(); }
    TileBlock(TileBlock&& other) noexcept
        : memory_(other.memory_), bytes_(std::exchange(other.bytes_, nullptr)) {}
    TileBlock& operator=(TileBlock&& other) noexcept {
        if (this != &other) {
            reset();
            memory_ = other.memory_;
            bytes_ = std::exchange(other.bytes_, nullptr);
        }
        return *this;
    }

    std::uint8_t* get() const { return bytes_; }
    explicit operator bool() const { return bytes_ != nullptr; }
    void reset() {
        if (bytes_ != nullptr) memory_->release(std::exchange(bytes_, nullptr));
    }

private:
    TileBlock(TileMemory& memory, std::uint8_t* bytes) : memory_(&memory), bytes_(bytes) {}

    TileMemory* memory_ = nullptr;
    std::uint8_t* bytes_ = nullptr;
};

}  // namespace wedmorph
