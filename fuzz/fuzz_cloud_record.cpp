// Record files of the local store can be written by any program of the user: reading one either
// fails cleanly or gives a record that is written and read back unchanged, and whose pet snapshot
// (if any) reads without fault.
#include "platform/LocalCloudDatabase.hpp"
#include "shared/CloudKitTransport.hpp"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(uint8_t const* data, size_t size)
{
    std::string_view bytes(reinterpret_cast<char const*>(data), size);
    auto record = Platform::LocalCloudDatabase::decodeRecordFile(bytes);
    if (!record)
        return 0;
    auto written = Platform::LocalCloudDatabase::encodeRecordFile(*record);
    if (!written)
        std::abort();
    auto again = Platform::LocalCloudDatabase::decodeRecordFile(*written);
    if (!again || !(*again == *record))
        std::abort();
    (void)PawletShared::CloudKitTransport::snapshot(*record);
    return 0;
}
