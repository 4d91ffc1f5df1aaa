// The three loads of a HEX file into a memory image, for both families.
#include <cstddef>
#include <cstdint>

#include "device/hex_file.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace vek;
    static MemoryImage image;
    const std::string& path = fuzz::WriteInput(data, size);
    for (const LoadVariant variant :
         {LoadVariant::Listing, LoadVariant::Program, LoadVariant::Verify}) {
        for (const TargetFamily family : {TargetFamily::PIC16, TargetFamily::SX}) {
            std::string comment = "stale";
            fuzz::Require(LoadHexInto(path, image, variant, family, &comment),
                          "the load reads the file");
            fuzz::Require(comment.empty() || comment[0] == ';', "the comment is a comment line");
        }
    }
    return 0;
}
