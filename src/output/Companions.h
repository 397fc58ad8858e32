// The area's MOS and four bitmaps, carried over under the output names, and
// the removal of the input area's files after a complete run.
#pragma once

#include <array>
#include <bitset>
#include <vector>

#include "area/AreaPaths.h"
#include "platform/Platform.h"
#include "report/Reporter.h"

namespace wedmorph {

// The companions whose copy failed, by their place in kCompanionKinds.
using FailedCopies = std::bitset<kCompanionCount>;

// The identities of the input area's companions, in the table's order;
// unknown for one that is missing.
using CompanionIdentities = std::array<FileIdentity, kCompanionCount>;
CompanionIdentities identifyCompanionSources(Platform& platform, const AreaPaths& paths);

// Copies each companion in its order, replacing a target that is there but
// never one of `kept`; each copy made joins `kept`. A companion that is
// missing, or whose copy fails, is a warning and the run goes on.
FailedCopies copyCompanionFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                                const CompanionIdentities& sources,
                                std::vector<FileIdentity>& kept);

// Deletes the input WED, TIS and companions in their order, each failure a
// warning. A companion whose copy failed keeps its source: it is reported as
// not deleted, so its content is never lost.
void deleteSourceFiles(Platform& platform, const AreaPaths& paths, Reporter& reporter,
                       const FailedCopies& failedCopies);

}  // namespace wedmorph
