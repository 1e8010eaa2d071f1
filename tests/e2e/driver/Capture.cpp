#include "Capture.h"

#include "Paths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <vector>

namespace tw::e2e {
namespace {

struct ScreenDc {
    HDC dc = GetDC(nullptr);
    ~ScreenDc() { ReleaseDC(nullptr, dc); }
};

struct MemoryDc {
    HDC dc;
    explicit MemoryDc(HDC like) : dc(CreateCompatibleDC(like)) {}
    ~MemoryDc() { DeleteDC(dc); }
};

struct Bitmap {
    HBITMAP bitmap;
    explicit Bitmap(HBITMAP b) : bitmap(b) {}
    ~Bitmap() { DeleteObject(bitmap); }
};

} // namespace

bool SaveWindowBitmap(HWND window, const std::wstring& bmpPath) {
    RECT rect{};
    if (!GetWindowRect(window, &rect) || rect.right <= rect.left || rect.bottom <= rect.top) {
        ADD_FAILURE() << "SaveWindowBitmap: no window rectangle";
        return false;
    }
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;

    ScreenDc screen;
    MemoryDc memory(screen.dc);
    Bitmap bitmap(CreateCompatibleBitmap(screen.dc, width, height));
    HGDIOBJ old = SelectObject(memory.dc, bitmap.bitmap);
    const BOOL copied = BitBlt(memory.dc, 0, 0, width, height, screen.dc, rect.left, rect.top, SRCCOPY);
    SelectObject(memory.dc, old);
    if (!copied) {
        ADD_FAILURE() << "SaveWindowBitmap: BitBlt failed: " << GetLastError();
        return false;
    }

    // Bottom-up 24-bit rows, each padded to 4 bytes, as a BMP file stores them.
    BITMAPINFOHEADER info{};
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;
    info.biPlanes = 1;
    info.biBitCount = 24;
    info.biCompression = BI_RGB;
    const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
    info.biSizeImage = stride * static_cast<DWORD>(height);
    std::vector<char> pixels(info.biSizeImage);
    if (!GetDIBits(memory.dc, bitmap.bitmap, 0, static_cast<UINT>(height), pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS)) {
        ADD_FAILURE() << "SaveWindowBitmap: GetDIBits failed";
        return false;
    }
    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42; // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + info.biSizeImage;

    std::ofstream out(bmpPath.c_str(), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof file);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    if (!out) {
        ADD_FAILURE() << "SaveWindowBitmap: could not write " << WideToUtf8(bmpPath);
        return false;
    }
    return true;
}

} // namespace tw::e2e

namespace tw::e2e {

std::string FailureScreenshot() {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::wstring name = test ? Utf8ToWide(std::string(test->test_suite_name()) + "." + test->name()) : L"no-test";
    static int taken = 0;
    name += L"-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++taken) + L".bmp";
    // Beside the test's own working folder (the build's), where a CI log reader can find it.
    wchar_t cwd[MAX_PATH]{};
    GetCurrentDirectoryW(MAX_PATH, cwd);
    const std::wstring folder = std::wstring(cwd) + L"\\failures";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\" + name;
    return SaveWindowBitmap(GetDesktopWindow(), path) ? WideToUtf8(path) : "(no screenshot)";
}

} // namespace tw::e2e
