// What a step of a run comes to: it went through, or it failed with the error
// message that ends the run. Every step reports its failure this way, so the
// run sequence reads as the list of its steps.
#pragma once

#include <optional>
#include <string>
#include <system_error>

namespace wedmorph {

struct Failure {
    const char* message;  // one of the texts in report/Messages.h
    // When a platform call's failure ended the step: its reason, and the file
    // it concerns, as the run names it (an output by its own name, not its
    // temporary's). Empty when the run's own checks ended it.
    std::error_code error = {};
    std::string path = {};
};

// Nothing when the step went through.
using StepResult = std::optional<Failure>;

// `result`, with its failure said to concern `path` unless it names a file
// already (an input the step read, say).
inline StepResult concerning(const std::string& path, StepResult result) {
    if (result && result->path.empty()) result->path = path;
    return result;
}

}  // namespace wedmorph
