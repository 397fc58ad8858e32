// A run of bytes to write, as the conversion hands the output TIS to the
// writer and as the platform's writes take it. It lives below every layer so
// that both can name it without the conversion reaching a platform header.
#pragma once

#include <cstdint>
#include <span>

namespace wedmorph {

using WritePiece = std::span<const std::uint8_t>;

}  // namespace wedmorph
