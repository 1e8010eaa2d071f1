// The "FileAttributes" value of "System.ini" as a hand-edited or damaged file may hold it:
// decoding never fails, what decodes and is encoded again decodes to the same entries, and a
// damaged line costs that line only.
#include "settings/IniCodec.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

bool Same(const std::vector<tw::KeptAttributes>& a, const std::vector<tw::KeptAttributes>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].path != b[i].path || a[i].bits != b[i].bits)
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view value(reinterpret_cast<const char*>(data), size);
    bool whole = false;
    const std::vector<tw::KeptAttributes> first = tw::DecodeKeptAttributes(value, whole);
    for (const tw::KeptAttributes& entry : first)
        Check(!entry.path.empty() && entry.bits <= 0xF);

    // What the program would write back reads the same, and whole.
    const std::string written = tw::EncodeKeptAttributes(first);
    bool rewrittenWhole = false;
    Check(Same(tw::DecodeKeptAttributes(written, rewrittenWhole), first));
    Check(rewrittenWhole);

    // A line that is no entry, before the others, changes none of them.
    const std::string damaged = tw::EncodeHex("zC:\\x\r\n\r\n") + written;
    bool damagedWhole = true;
    Check(Same(tw::DecodeKeptAttributes(damaged, damagedWhole), first));
    return 0;
}
