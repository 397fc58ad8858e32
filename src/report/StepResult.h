// What a step of a run comes to: it went through, or it failed with the error
// message that ends the run. Every step reports its failure this way, so the
// run sequence reads as the list of its steps.
#pragma once

#include <optional>

namespace wedmorph {

struct Failure {
    const char* message;  // one of the texts in report/Messages.h
};

// Nothing when the step went through.
using StepResult = std::optional<Failure>;

}  // namespace wedmorph
