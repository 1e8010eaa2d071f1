// The test bed that the Windows tests take for granted (scripts/testbed.sh): checked here so
// that a broken bed shows up as one clear failure, not as a scatter of puzzling ones.
#include "E2e.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

using namespace tw::e2e;

TEST(TestBed, AnsiCodePageFollowsLang) {
    const char* lang = std::getenv("LANG");
    ASSERT_NE(lang, nullptr);
    const std::string name = lang;
    if (name.rfind("zh_CN", 0) == 0) {
        EXPECT_EQ(GetACP(), 936u);
    } else if (name.rfind("en_US", 0) == 0) {
        EXPECT_EQ(GetACP(), 1252u);
    } else {
        GTEST_SKIP() << "LANG=" << name;
    }
}

// Without the font replacements Chinese text draws as empty boxes under code page 1252, which
// no test would notice; the replaced faces keep their own names, as on Windows.
TEST(TestBed, DialogAndChineseFacesHaveChineseGlyphs) {
    HDC dc = CreateCompatibleDC(nullptr);
    for (const wchar_t* face : {L"宋体", L"SimSun", L"MS Shell Dlg", L"MS Shell Dlg 2", L"Tahoma"}) {
        HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                 CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, face);
        HGDIOBJ old = SelectObject(dc, font);
        wchar_t got[LF_FACESIZE]{};
        GetTextFaceW(dc, LF_FACESIZE, got);
        EXPECT_EQ(std::wstring(got), face);
        WORD glyphs[2]{};
        GetGlyphIndicesW(dc, L"隐藏", 2, glyphs, GGI_MARK_NONEXISTING_GLYPHS);
        EXPECT_NE(glyphs[0], 0xFFFF) << WideToUtf8(face);
        EXPECT_NE(glyphs[1], 0xFFFF) << WideToUtf8(face);
        SelectObject(dc, old);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

// Title bar buttons, menu check marks and scroll arrows are Marlett glyphs; without the font
// they draw as letters ("0 1 r") in every screenshot.
TEST(TestBed, MarlettIsInstalled) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SYMBOL_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Marlett");
    HGDIOBJ old = SelectObject(dc, font);
    wchar_t got[LF_FACESIZE]{};
    GetTextFaceW(dc, LF_FACESIZE, got);
    EXPECT_EQ(std::wstring(got), L"Marlett");
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
}

// Wine converts file names through the C library's locale, which must exist for GBK names.
TEST(TestBed, GbkFileNamesWorkUnderCodePage936) {
    TW_REQUIRE_CODEPAGE(936);
    TempFolder folder;
    const std::string gbkName = "\xB2\xE2\xCA\xD4"; // 测试
    const std::string path = WideToAnsi(folder.Path()) + "\\" + gbkName;
    ASSERT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << "error " << GetLastError();
    EXPECT_NE(GetFileAttributesW(folder.File(L"测试").c_str()), INVALID_FILE_ATTRIBUTES);
}

// With Wine's default managed windows and no window manager, each hide waits ~2 s for an
// answer that never comes; the bed switches that off.
TEST(TestBed, HidingWindowsDoesNotWaitForAWindowManager) {
    std::vector<HWND> windows;
    for (int i = 0; i < 5; ++i) {
        windows.push_back(CreateWindowExW(0, L"STATIC", L"bed", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10 + i * 20, 10, 200,
                                          100, nullptr, nullptr, nullptr, nullptr));
        ASSERT_NE(windows.back(), nullptr);
    }
    PumpFor(Ms(50));
    const ULONGLONG start = GetTickCount64();
    for (HWND w : windows) {
        ShowWindow(w, SW_HIDE);
    }
    const ULONGLONG took = GetTickCount64() - start;
    for (HWND w : windows) {
        DestroyWindow(w);
    }
    EXPECT_LT(took, 1000u) << "5 hides took " << took << " ms; is \"Managed\"=\"N\" set in the prefix?";
}

} // namespace
