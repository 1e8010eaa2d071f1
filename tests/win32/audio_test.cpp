// The Win32 audio sessions under Wine, which has no session enumerator and no sound device
// here: every request must be answered at once, say nothing was done, and never hold up the
// caller. (What muting does is tested natively against simulated sessions.)
#include "platform/Win32Platform.h"
#include "windows/uAudioMuter.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>

namespace tw {
namespace {

TEST(Win32Audio, RequestsReturnAtOnceAndAnAudioSystemThatCannotListMutesNothing)
{
    AudioApi& audio = Win32Audio();
    const std::string self = audio.ExecutablePath(::GetCurrentProcessId());
    EXPECT_EQ(ProgramKey(self).substr(self.size() - 15), "win32_tests.exe") << self;
    EXPECT_EQ(audio.ExecutablePath(0), "");
    // A process is known by its id and its age: another age under the same id is another process.
    const std::uint64_t created = Win32Identity().ProcessCreationTime(::GetCurrentProcessId());
    EXPECT_TRUE(audio.IsRunning(::GetCurrentProcessId(), created));
    EXPECT_FALSE(audio.IsRunning(::GetCurrentProcessId(), created + 1));
    EXPECT_FALSE(audio.IsRunning(0, 0));

    const auto start = std::chrono::steady_clock::now();
    audio.Post({{"no such session", ::GetCurrentProcessId(), 1, true}}, true);
    const auto posted = std::chrono::steady_clock::now();
    ASSERT_TRUE(audio.WaitIdle(5000)) << "the audio thread did not answer";
    const auto answered = std::chrono::steady_clock::now();
    std::optional<AudioAnswer> answer = audio.TakeAnswer();
    ASSERT_TRUE(answer);
    EXPECT_FALSE(audio.TakeAnswer());
    ASSERT_EQ(answer->outcomes.size(), 1u);
    EXPECT_NE(answer->outcomes[0], MuteOutcome::Done);
    if (answer->sessions) {
        for (const AudioSession& s : *answer->sessions)
            EXPECT_FALSE(s.id.empty());
    }
    using std::chrono::milliseconds;
    const auto postMs = std::chrono::duration_cast<milliseconds>(posted - start).count();
    const auto answerMs = std::chrono::duration_cast<milliseconds>(answered - start).count();
    std::printf("post %lld ms, answer %lld ms, sessions %s\n", static_cast<long long>(postMs),
                static_cast<long long>(answerMs), answer->sessions ? "listed" : "not listed");
    // Generous bounds for a loaded machine; the point is that nothing waits for a time-out.
    EXPECT_LT(postMs, 500);
    EXPECT_LT(answerMs, 2000);
}

} // namespace
} // namespace tw
