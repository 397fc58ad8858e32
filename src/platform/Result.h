// What a platform call that can fail comes to: done (with its value), or the
// reason it failed. A reason from the system is its own code, taken right
// after the call that failed: errno on POSIX, GetLastError on Windows, both in
// std::system_category. A failure the platform finds itself, with no failing
// call behind it (a folder where a file was asked for, say), has a code of
// refusalCategory(), which no system call gives.
#pragma once

#include <string>
#include <system_error>
#include <utility>

namespace wedmorph {

// The platform's own reasons for refusing a call.
enum class Refusal {
    NotRegularFile = 1,  // a folder, a pipe, a device: only regular files are opened
    WildcardName,        // "*" or "?" in a name that is not a file search
    MoreThanOneName,     // a log that is a link, symbolic or hard
    EmptyFile,           // a file of zero bytes, which cannot be mapped
    LeadsElsewhere,      // the name no longer leads to the file held
    Unknown,             // the system failed without saying why
};

inline const std::error_category& refusalCategory() {
    class Category final : public std::error_category {
    public:
        const char* name() const noexcept override { return "wedmorph platform"; }
        std::string message(int value) const override {
            switch (static_cast<Refusal>(value)) {
                case Refusal::NotRegularFile: return "not a regular file";
                case Refusal::WildcardName: return "a wildcard in the name";
                case Refusal::MoreThanOneName: return "a file with more than one name";
                case Refusal::EmptyFile: return "an empty file";
                case Refusal::LeadsElsewhere: return "the name leads to another file";
                case Refusal::Unknown: break;
            }
            return "no reason given";
        }
    };
    static const Category category;
    return category;
}

inline std::error_code refused(Refusal why) { return {static_cast<int>(why), refusalCategory()}; }

// Whether `error` is a reason the system gave, not the platform's own refusal.
inline bool isSystemError(const std::error_code& error) {
    return error && error.category() != refusalCategory();
}

// A value, or the reason it could not be had. A failed result still holds
// T's default (a closed handle, an unknown identity, an empty view), so that
// a caller that needs no reason reads it as it would a success.
template <typename T = void>
class [[nodiscard]] Result {
public:
    Result(T value) : value_(std::move(value)) {}
    // `error` is never empty: a failure always has a reason.
    Result(std::error_code error) : error_(error ? error : refused(Refusal::Unknown)) {}

    explicit operator bool() const { return !error_; }
    const T& operator*() const { return value_; }
    const T* operator->() const { return &value_; }
    const std::error_code& error() const { return error_; }

private:
    T value_{};
    std::error_code error_;
};

// Done, or the reason it was not.
template <>
class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(std::error_code error) : error_(error ? error : refused(Refusal::Unknown)) {}

    explicit operator bool() const { return !error_; }
    const std::error_code& error() const { return error_; }

private:
    std::error_code error_;
};

}  // namespace wedmorph
