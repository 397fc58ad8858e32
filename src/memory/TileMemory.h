// Where a run's large blocks come from: the conversion's tile buffers and
// the output WED's bytes. A failed allocation is a result (null), never an
// exception, and tests swap in memory that runs out on demand and counts what
// is still held.
#pragma once

#include <cstddef>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

namespace wedmorph {

class TileMemory {
public:
    virtual ~TileMemory() = default;
    virtual void* allocate(std::size_t bytes) = 0;
    virtual void release(void* block) = 0;
};

// `count` items of T in one block of a TileMemory, given back when the owner
// goes. Only plain data lives here: items start out uninitialised, as the
// memory gives them, and nothing is run when they go.
template <typename T>
class MemoryArray {
    static_assert(std::is_trivially_default_constructible_v<T> &&
                  std::is_trivially_destructible_v<T> && alignof(T) <= alignof(std::max_align_t));

public:
    MemoryArray() = default;
    // Empty when the memory has none to give.
    static MemoryArray allocate(TileMemory& memory, std::size_t count) {
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T)) return {};
        void* block = memory.allocate(sizeof(T) * count);
        if (block == nullptr) return {};
        auto* items = static_cast<T*>(block);
        std::uninitialized_default_construct_n(items, count);  // writes nothing
        return MemoryArray(memory, items, count);
    }
    ~MemoryArray() { reset(); }
    MemoryArray(MemoryArray&& other) noexcept
        : memory_(other.memory_),
          items_(std::exchange(other.items_, nullptr)),
          count_(std::exchange(other.count_, 0)) {}
    MemoryArray& operator=(MemoryArray&& other) noexcept {
        if (this != &other) {
            reset();
            memory_ = other.memory_;
            items_ = std::exchange(other.items_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }

    T& operator[](std::size_t index) { return items_[index]; }
    const T& operator[](std::size_t index) const { return items_[index]; }
    std::size_t size() const { return count_; }
    explicit operator bool() const { return items_ != nullptr; }
    void reset() {
        if (items_ != nullptr) memory_->release(std::exchange(items_, nullptr));
        count_ = 0;
    }

private:
    MemoryArray(TileMemory& memory, T* items, std::size_t count)
        : memory_(&memory), items_(items), count_(count) {}

    TileMemory* memory_ = nullptr;
    T* items_ = nullptr;
    std::size_t count_ = 0;
};

}  // namespace wedmorph
