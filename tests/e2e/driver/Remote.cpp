#include "Remote.h"

#include "Paths.h"

#include <gtest/gtest.h>

namespace tw::e2e {

RemoteBuffer::RemoteBuffer(HWND window, size_t size) : size_(size) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    process_.Reset(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                               FALSE, pid));
    if (!process_) {
        ADD_FAILURE() << "OpenProcess(" << pid << ") failed: " << GetLastError();
        return;
    }
    address_ = VirtualAllocEx(process_.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) {
        ADD_FAILURE() << "VirtualAllocEx in process " << pid << " failed: " << GetLastError();
    }
}

RemoteBuffer::~RemoteBuffer() {
    if (address_) {
        VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE);
    }
}

bool RemoteBuffer::Write(const void* data, size_t length, size_t offset) {
    SIZE_T done = 0;
    return address_ && offset + length <= size_ &&
           WriteProcessMemory(process_.Get(), Address(offset), data, length, &done) && done == length;
}

bool RemoteBuffer::Read(void* data, size_t length, size_t offset) const {
    SIZE_T done = 0;
    return address_ && offset + length <= size_ &&
           ReadProcessMemory(process_.Get(), Address(offset), data, length, &done) && done == length;
}

bool SendTimed(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result, UINT timeoutMs) {
    DWORD_PTR answer = 0;
    const bool done =
        SendMessageTimeoutW(window, msg, wParam, lParam, SMTO_ABORTIFHUNG | SMTO_BLOCK, timeoutMs, &answer) != 0;
    result = done ? static_cast<LRESULT>(answer) : 0;
    return done;
}

LRESULT SendTimed(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    SendTimed(window, msg, wParam, lParam, result);
    return result;
}

} // namespace tw::e2e
