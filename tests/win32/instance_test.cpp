// The one-copy lock against the system's real objects.
#include "platform/Win32Platform.h"

#include "E2e.h"

#include <gtest/gtest.h>

#include <aclapi.h>

#include <thread>

namespace tw {
namespace {

constexpr wchar_t kLock[] = L"Local\\Tarnwick.Test.InstanceLock";

std::unique_ptr<InstanceApi> NewLock() { return NewWin32InstanceLock(kLock, L"Tarnwick.Test.NoSuchClass", 0, 0); }

// Claimed on a thread of its own, as by another process: the thread that holds a mutex
// always gets it again.
InstanceClaim ClaimElsewhere(InstanceApi& lock)
{
    InstanceClaim claim = InstanceClaim::Failed;
    std::thread([&] { claim = lock.Claim(); }).join();
    return claim;
}

// The lock names the user in its own DACL, so that a start at another level than its maker's
// still opens it and learns that a copy runs (a lock made as administrator would otherwise
// let administrators alone in). The DACL is what Wine checks; it gives every process one
// integrity level and keeps no label on an object, so the label's part cannot be seen here.
TEST(InstanceLock, AnotherStartOfTheUserOpensItAndTakesItOverOnceItsCopyEnds)
{
    auto first = NewLock();
    ASSERT_EQ(first->Claim(), InstanceClaim::Held);
    auto second = NewLock();
    EXPECT_EQ(ClaimElsewhere(*second), InstanceClaim::Taken);

    // Not merely open to all (as Wine's default would leave it): the user is named.
    HANDLE reader = OpenMutexW(READ_CONTROL, FALSE, kLock);
    ASSERT_TRUE(reader);
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetSecurityInfo(reader, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr,
                              &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(reader);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    alignas(TOKEN_USER) BYTE user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE]{};
    DWORD length = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &length));
    CloseHandle(token);
    void* ace = nullptr;
    ASSERT_TRUE(dacl && dacl->AceCount == 1 && GetAce(dacl, 0, &ace));
    const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
    EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(allowed->Mask & (SYNCHRONIZE | MUTEX_MODIFY_STATE), static_cast<DWORD>(SYNCHRONIZE | MUTEX_MODIFY_STATE));
    EXPECT_TRUE(EqualSid(const_cast<DWORD*>(&allowed->SidStart), reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
    LocalFree(descriptor);

    // Shut to the start as an elevated copy's lock may be: refused, and so told, never held.
    HANDLE own = OpenMutexW(WRITE_DAC, FALSE, kLock);
    ASSERT_TRUE(own);
    ACL empty{};
    ASSERT_TRUE(InitializeAcl(&empty, sizeof empty, ACL_REVISION));
    ASSERT_EQ(SetSecurityInfo(own, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, &empty, nullptr),
              static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(own);
    auto shutOut = NewLock();
    EXPECT_EQ(ClaimElsewhere(*shutOut), InstanceClaim::Denied);

    first.reset();
    EXPECT_EQ(ClaimElsewhere(*second), InstanceClaim::Held);
}

} // namespace
} // namespace tw
