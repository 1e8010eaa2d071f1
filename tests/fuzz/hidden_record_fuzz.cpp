// Hidden.dat as anyone with the user's rights may leave it: a write cut short, a line of a
// newer version, bytes that are no record at all. Reading never fails; what was read and is
// written again reads back the same; and a line the reader rejects changes nothing it returns.
#include "record/uHiddenRecord.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void Check(bool ok)
{
    if (!ok)
        std::abort();
}

struct Read {
    std::vector<tw::RecordedWindow> windows;
    std::vector<tw::RecordedIcon> icons;
    std::vector<tw::RecordedSetting> settings;
    std::vector<std::string> others;
    std::vector<tw::RecordedSession> sessions;
    std::vector<tw::RecordedProgram> programs;

    explicit Read(const std::string& text)
    {
        tw::THiddenRecord::Parse(text, windows, icons, &settings, &others, &sessions, &programs);
    }
    bool operator==(const Read& o) const
    {
        return windows == o.windows && icons == o.icons && settings == o.settings && others == o.others &&
               sessions == o.sessions && programs == o.programs;
    }
    std::string Format() const
    {
        return tw::THiddenRecord::Format(windows, icons, settings, others, sessions, programs);
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const Read first(text);

    // Written back, it reads the same: nothing the file held is lost by a run that read it.
    const std::string written = first.Format();
    const Read again(written);
    Check(again == first);
    Check(again.Format() == written);

    // Lines the reader rejects, before and after whole ones, change nothing it returns.
    if (!written.empty()) {
        std::string damaged = written;
        damaged.insert(damaged.find('\n') + 1, "W 12 x\nI 1 2\nP 2E2E -\n\n");
        damaged.insert(damaged.find('\n') + 1, "E\nE 41 1 2\nE  1 2 41\n");
        damaged += "W 0 1 2 41\nP 5C -\nM 1 2 4\nE 41 1 2 4\nI 1 2 3 4 5 6 7";
        Check(Read(damaged) == first);
    }
    return 0;
}
