// Both readers of "Baza.xml" on any bytes: whatever the quick reader gives, read whole or through
// a small buffer (its size from the first two bytes), is exactly what the full parser gives.
#include "format/DatabaseFile.h"
#include "format/PacketReading.h"
#include "model/ProductSchema.h"
#include "platform/Error.h"

#include <cassert>
#include <cstdint>

using namespace data;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::size_t skip = std::min<std::size_t>(size, 2);
    const std::size_t bufferSize = 64 + (skip < 2 ? 0 : (data[0] | data[1] << 8) % 4033);
    const std::string_view bytes(reinterpret_cast<const char *>(data) + skip, size - skip);
    std::optional<std::vector<Record>> full;
    setRowScannerForTesting(false);
    try {
        full = parseDataPacket(bytes, productSchema(), "Baza.xml");
    } catch (const Error &) {
    }
    setRowScannerForTesting(true);
    const auto quick = packet::scanRows(bytes, productSchema());
    const auto pieces = packet::scanPiecesForTesting(bytes, productSchema(), bufferSize);
    assert((!quick || quick == full) && (!pieces || pieces == full));
    return 0;
}
