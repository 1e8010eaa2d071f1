// Memory in another process, for control messages whose pointers the system does not carry
// across processes (list views, toolbars, tooltips): the structure is written into the
// target, the message points there, and the answer is read back.
#pragma once

#include "Process.h"

#include <windows.h>

#include <cstddef>

namespace tw::e2e {

// A block of `size` bytes committed in the process that owns `window`, freed with it.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    explicit operator bool() const { return address_ != nullptr; }
    // The block's address in the target, to put in a message or inside a structure.
    void* Address(size_t offset = 0) const { return static_cast<char*>(address_) + offset; }
    LPARAM Param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(Address(offset)); }

    bool Write(const void* data, size_t length, size_t offset = 0);
    bool Read(void* data, size_t length, size_t offset = 0) const;
    template <class T>
    bool Write(const T& value, size_t offset = 0) { return Write(&value, sizeof value, offset); }
    template <class T>
    bool Read(T& value, size_t offset = 0) const { return Read(&value, sizeof value, offset); }

private:
    UniqueHandle process_;
    void* address_ = nullptr;
    size_t size_ = 0;
};

// SendMessageTimeout with abort-if-hung: a test must fail, not hang, on a hung program.
// False when the message did not complete; `result` is then 0.
bool SendTimed(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result, UINT timeoutMs = 5000);
LRESULT SendTimed(HWND window, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0);

} // namespace tw::e2e
