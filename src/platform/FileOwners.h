// Owners of what a run holds open: a file and a read-only view of one. Each
// releases itself through the platform when it goes, so every way out of a
// run releases exactly what is held, and nothing twice.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>

#include "platform/Platform.h"

namespace wedmorph {

class OwnedFile {
public:
    OwnedFile() = default;
    OwnedFile(Platform& platform, FileHandle file) : platform_(&platform), file_(file) {}
    ~OwnedFile() { reset(); }
    OwnedFile(OwnedFile&& other) noexcept
        : platform_(other.platform_), file_(std::exchange(other.file_, FileHandle{})) {}
    OwnedFile& operator=(OwnedFile&& other) noexcept {
        if (this != &other) {
            reset();
            platform_ = other.platform_;
            file_ = std::exchange(other.file_, FileHandle{});
        }
        return *this;
    }

    FileHandle get() const { return file_; }
    explicit operator bool() const { return file_.isOpen(); }
    void reset() {
        if (file_.isOpen()) platform_->closeFile(std::exchange(file_, FileHandle{}));
    }

private:
    Platform* platform_ = nullptr;
    FileHandle file_{};
};

// A read-only view of a whole file, unmapped when its owner goes.
class MappedRegion {
public:
    MappedRegion() = default;
    // Takes a view that `platform` mapped.
    MappedRegion(Platform& platform, std::span<const std::uint8_t> view) : platform_(&platform), bytes_(view) {}
    ~MappedRegion() { reset(); }
    MappedRegion(MappedRegion&& other) noexcept
        : platform_(other.platform_), bytes_(std::exchange(other.bytes_, {})) {}
    MappedRegion& operator=(MappedRegion&& other) noexcept {
        if (this != &other) {
            reset();
            platform_ = other.platform_;
            bytes_ = std::exchange(other.bytes_, {});
        }
        return *this;
    }

    std::span<const std::uint8_t> bytes() const { return bytes_; }
    explicit operator bool() const { return bytes_.data() != nullptr; }
    void reset() {
        if (bytes_.data() != nullptr) platform_->unmapFile(std::exchange(bytes_, {}));
    }

private:
    Platform* platform_ = nullptr;
    std::span<const std::uint8_t> bytes_;
};

}  // namespace wedmorph
