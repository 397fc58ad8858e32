#include "platform/FileOwners.h"

namespace wedmorph {

bool mapWholeFile(Platform& platform, MappedFile& mapped, Access access) {
    mapped.size = platform.fileSize(mapped.file.get());
    mapped.mapping = OwnedMapping(platform, platform.createMapping(mapped.file.get(), access));
    if (!mapped.mapping) return false;
    mapped.view = OwnedView(platform, platform.mapView(mapped.mapping.get(), access));
    return static_cast<bool>(mapped.view);
}

}  // namespace wedmorph
