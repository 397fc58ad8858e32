// Owners of what a run holds open: a file, a mapping, a view. Each releases
// itself through the platform when it goes, so every way out of a run
// releases exactly what is held, and nothing twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "platform/Platform.h"

namespace wedmorph {

inline bool isHeld(FileHandle file) { return file.isOpen(); }
inline bool isHeld(MappingHandle mapping) { return mapping.isOpen(); }
inline bool isHeld(std::uint8_t* view) { return view != nullptr; }

template <typename Handle, void (Platform::*release)(Handle)>
class PlatformOwner {
public:
    PlatformOwner() = default;
    PlatformOwner(Platform& platform, Handle handle) : platform_(&platform), handle_(handle) {}
    ~PlatformOwner() { reset(); }
    PlatformOwner(PlatformOwner&& other) noexcept
        : platform_(other.platform_), handle_(std::exchange(other.handle_, Handle{})) {}
    PlatformOwner& operator=(PlatformOwner&& other) noexcept {
        if (this != &other) {
            reset();
            platform_ = other.platform_;
            handle_ = std::exchange(other.handle_, Handle{});
        }
        return *this;
    }

    Handle get() const { return handle_; }
    explicit operator bool() const { return isHeld(handle_); }
    void reset() {
        if (isHeld(handle_)) (platform_->*release)(std::exchange(handle_, Handle{}));
    }

private:
    Platform* platform_ = nullptr;
    Handle handle_{};
};

using OwnedFile = PlatformOwner<FileHandle, &Platform::closeFile>;
using OwnedMapping = PlatformOwner<MappingHandle, &Platform::closeMapping>;
using OwnedView = PlatformOwner<std::uint8_t*, &Platform::unmapView>;

// A file mapped whole. Its members go in reverse order: the view first, then
// the mapping, then the file; with a writable view gone, every change made
// through it stands in the file.
struct MappedFile {
    OwnedFile file;
    OwnedMapping mapping;
    OwnedView view;
    std::size_t size = 0;

    std::span<std::uint8_t> bytes() const { return {view.get(), size}; }
    void release() {
        view.reset();
        mapping.reset();
        file.reset();
    }
};

// Maps the whole of `mapped.file`, which is open; false when the mapping or
// its view cannot be made.
bool mapWholeFile(Platform& platform, MappedFile& mapped, Access access);

}  // namespace wedmorph
