// The settings file: integer values, the hexadecimal file list, and the store over the
// profile functions.
#include "hotkeys/uGlobalHotKeys.h"
#include "sim/SimProfile.h"
#include "sim/SimRegistry.h"
#include "settings/uRemembered.h"
#include "settings/IniCodec.h"
#include "settings/IniText.h"
#include "settings/uAutoStart.h"
#include "settings/uIniFileMgr.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>

namespace tw {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(IniInteger, DecimalWithOptionalSign)
{
    EXPECT_EQ(ParseIniInteger("88", 1), 88);
    EXPECT_EQ(ParseIniInteger("+17", 1), 17);
    EXPECT_EQ(ParseIniInteger("-5", 1), -5);
    EXPECT_EQ(ParseIniInteger("0", 1), 0);   // a stored 0 is a value, never the default
    EXPECT_EQ(ParseIniInteger("007", 1), 7);
}

TEST(IniInteger, HexadecimalAfterPrefix)
{
    EXPECT_EQ(ParseIniInteger("0x11", 18), 17);
    EXPECT_EQ(ParseIniInteger("0X1f", 18), 31);
    EXPECT_EQ(ParseIniInteger("$51", 18), 81);
    EXPECT_EQ(ParseIniInteger("$aB", 18), 171);
}

TEST(IniInteger, AnythingElseIsTheDefault)
{
    for (const char* text : {"abc", "", " 17", "17 ", "17abc", "0x", "$", "-", "+", "--1", "1e3", "0x1G", "$-1",
                             "-0x11", "1.5", "0b101", "١٢"})
        EXPECT_EQ(ParseIniInteger(text, 18), 18) << '"' << text << '"';
}

TEST(IniInteger, OutOfRangeIsTheDefaultNotAWrappedValue)
{
    EXPECT_EQ(ParseIniInteger("2147483647", 7), INT_MAX);
    EXPECT_EQ(ParseIniInteger("-2147483648", 7), INT_MIN);
    EXPECT_EQ(ParseIniInteger("2147483648", 7), 7);
    EXPECT_EQ(ParseIniInteger("-2147483649", 7), 7);
    EXPECT_EQ(ParseIniInteger("0x7FFFFFFF", 7), INT_MAX);
    EXPECT_EQ(ParseIniInteger("0x80000000", 7), 7);
    EXPECT_EQ(ParseIniInteger("$100000011", 7), 7);   // would wrap to 17 in 32 bits
    EXPECT_EQ(ParseIniInteger(std::string(5000, '9'), 7), 7);
    EXPECT_EQ(ParseIniInteger("0x" + std::string(40, '0') + "11", 7), 17);   // leading zeros are no overflow
}

TEST(HexCodec, EncodesUpperCaseHighNibbleFirst)
{
    EXPECT_EQ(EncodeHex("C:\\a\r\n"), "433A5C610D0A");
    EXPECT_EQ(EncodeHex(std::string("\x00\x7F\x80\xFF=", 5)), "007F80FF3D");
    EXPECT_EQ(EncodeHex(""), "");
}

TEST(HexCodec, DecodesEitherCase)
{
    EXPECT_EQ(DecodeHex("433A5C610D0A"), "C:\\a\r\n");
    EXPECT_EQ(DecodeHex("433a5c610d0a"), "C:\\a\r\n");
    EXPECT_EQ(DecodeHex("fFeE"), "\xFF\xEE");
}

TEST(HexCodec, MalformedValueKeepsWhatCameBeforeTheFirstBadPair)
{
    EXPECT_EQ(DecodeHex("4142XX4344"), "AB");
    EXPECT_EQ(DecodeHex("41 42"), "A");
    EXPECT_EQ(DecodeHex("4G41"), "");
    EXPECT_EQ(DecodeHex("zz"), "");
    EXPECT_EQ(DecodeHex("414"), "A");   // an odd final digit is ignored
    EXPECT_EQ(DecodeHex("4"), "");
    EXPECT_EQ(DecodeHex(std::string("41\0" "42", 5)), "A");

    // Whether every digit was taken tells a damaged value from a whole one.
    bool whole = true;
    EXPECT_EQ(DecodeHex("4142XX", whole), "AB");
    EXPECT_FALSE(whole);
    EXPECT_EQ(DecodeHex("414", whole), "A");
    EXPECT_FALSE(whole);
    EXPECT_EQ(DecodeHex("4142", whole), "AB");
    EXPECT_TRUE(whole);
    EXPECT_EQ(DecodeHex("", whole), "");
    EXPECT_TRUE(whole);
}

// --- The file's text, edited whole ----------------------------------------------------

TEST(KeptAttributesCodec, ReadsWhatItWritesAndSkipsWhatNoHideWrote)
{
    const std::vector<KeptAttributes> kept = {{"C:\\ProgramData", 6}, {"C:\\b c\\\xD6\xD0.sys", 4}, {"D:\\x", 0}};
    bool whole = false;
    std::vector<KeptAttributes> back = DecodeKeptAttributes(EncodeKeptAttributes(kept), whole);
    EXPECT_TRUE(whole);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[1].path, kept[1].path);
    EXPECT_EQ(back[1].bits, 4u);
    EXPECT_EQ(EncodeKeptAttributes(kept).substr(0, 4), "3643");   // "6C", as an editor shows it

    // Lines that are no digit of the two bits followed by a path are left out, alone.
    using namespace std::string_literals;
    back = DecodeKeptAttributes(EncodeHex("6C:\\a\r\n1C:\\ro\r\n2\r\n\r\n4C:\\n\0ul\r\nxC:\\y\r\n2E:\\e"s), whole);
    EXPECT_FALSE(whole);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].path, "C:\\a");
    EXPECT_EQ(back[1].path, "E:\\e");
    // After a pair that is no hexadecimal, nothing; a line it cut short is no path.
    back = DecodeKeptAttributes("36433A5C610D0A36443A5C6ZZ0D0A", whole);
    EXPECT_FALSE(whole);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].path, "C:\\a");
    EXPECT_TRUE(DecodeKeptAttributes("", whole).empty());
    EXPECT_TRUE(whole);
    EXPECT_TRUE(DecodeKeptAttributes("3", whole).empty());
    EXPECT_FALSE(whole);

    // A path the code page cannot hold is kept as UTF-8 under a digit no older version
    // reads, so none of them takes its bytes for an ANSI path; damaged UTF-8 is no path.
    back = DecodeKeptAttributes(EncodeKeptAttributes({{"C:\\\xED\x95\x9C", 6, true}}), whole);
    EXPECT_TRUE(whole);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].path, "C:\\\xED\x95\x9C");
    EXPECT_EQ(back[0].bits, 6u);
    EXPECT_TRUE(back[0].utf8);
    EXPECT_EQ(EncodeKeptAttributes({{"C:\\x", 6, true}}).substr(0, 2), "45");   // "E"
    back = DecodeKeptAttributes(EncodeHex("EC:\\\xED\x95\r\n8C:\\ok\r\n"), whole);
    EXPECT_FALSE(whole);
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].path, "C:\\ok");
}

// "FileUtf8": the paths the ANSI code page cannot hold, UTF-8 lines.
TEST(Utf8PathLines, KeepsWholeUtf8LinesOnly)
{
    using namespace std::string_literals;
    const std::string hangul = "C:\\\xED\x95\x9C\xEA\xB8\x80 \xF0\x9F\x98\x80.txt";
    EXPECT_THAT(Utf8PathLines(hangul + "\r\n" + "C:\\a\r\n", true), ElementsAre(hangul, "C:\\a"));
    // A cut or lone sequence, a NUL and an empty line name no file.
    EXPECT_THAT(Utf8PathLines("C:\\\xED\x95\r\nC:\\\xFF\r\nC:\\n\0ul\r\n\r\nC:\\b\r\n"s, true), ElementsAre("C:\\b"));
    // A damaged value: the line it cut short could be another path.
    EXPECT_THAT(Utf8PathLines("C:\\a\r\nC:\\ab", false), ElementsAre("C:\\a"));
    EXPECT_THAT(Utf8PathLines("C:\\ab", false), IsEmpty());
}

TEST(IniTextEdit, ChangesOneValueAndKeepsEveryOtherByteOfTheFile)
{
    const std::string text = "; written by hand\r\n[Other]\r\nFile=keep\r\n\r\n[ System ]\r\n"
                             "HideWord=72\r\n  file = 41 \r\nShowWord=82\r\n[system]\r\nFile=second\r\n";
    EXPECT_EQ(SetIniValue(text, "system", "File", "42"),
              "; written by hand\r\n[Other]\r\nFile=keep\r\n\r\n[ System ]\r\n"
              "HideWord=72\r\nFile=42\r\nShowWord=82\r\n[system]\r\nFile=second\r\n");
    // Lone LF line ends and a UTF-8 mark in front of the first section stay as they were.
    EXPECT_EQ(SetIniValue("\xEF\xBB\xBF[system]\nHideWord=72\n", "system", "HideWord", "81"),
              "\xEF\xBB\xBF[system]\nHideWord=81\n");
    // A commented-out key is no key.
    EXPECT_EQ(SetIniValue("[system]\r\n;File=old\r\n", "system", "File", "1"), "[system]\r\n;File=old\r\nFile=1\r\n");
}

TEST(IniTextEdit, AddsAMissingKeyToItsSectionAndAMissingSectionAtTheEnd)
{
    EXPECT_EQ(SetIniValue("", "system", "File", ""), "[system]\r\nFile=\r\n");
    EXPECT_EQ(SetIniValue("[system]\r\nHideWord=72\r\n\r\n[other]\r\nx=1\r\n", "system", "File", "41"),
              "[system]\r\nHideWord=72\r\nFile=41\r\n\r\n[other]\r\nx=1\r\n");
    // A last line without its line end does not run on into what is added.
    EXPECT_EQ(SetIniValue("[other]\r\nx=1", "system", "File", "41"), "[other]\r\nx=1\r\n[system]\r\nFile=41\r\n");
    EXPECT_EQ(SetIniValue("[system]", "system", "File", "41"), "[system]\r\nFile=41\r\n");
}

TEST(FileListLines, SplitsAtEveryKindOfBreak)
{
    EXPECT_THAT(SplitLines(""), IsEmpty());
    EXPECT_THAT(SplitLines("C:\\a"), ElementsAre("C:\\a"));
    EXPECT_THAT(SplitLines("a\r\nb\rc\nd"), ElementsAre("a", "b", "c", "d"));
    // LF then CR is two breaks, not one.
    EXPECT_THAT(SplitLines("a\n\rb"), ElementsAre("a", "", "b"));
}

TEST(FileListLines, BreakAtTheEndMakesNoEmptyEntryButInnerEmptyLinesStay)
{
    EXPECT_THAT(SplitLines("a\r\n"), ElementsAre("a"));
    EXPECT_THAT(SplitLines("a\r"), ElementsAre("a"));
    EXPECT_THAT(SplitLines("a\n"), ElementsAre("a"));
    EXPECT_THAT(SplitLines("a\r\n\r\nb\r\n"), ElementsAre("a", "", "b"));
    EXPECT_THAT(SplitLines("\r\n"), ElementsAre(""));
}

std::vector<std::string> RoundTrip(const std::vector<std::string>& lines)
{
    return SplitLines(DecodeHex(EncodeHex(JoinLines(lines))));
}

TEST(FileListLines, RoundTripKeepsEveryListWhole)
{
    EXPECT_THAT(RoundTrip({}), IsEmpty());
    EXPECT_THAT(RoundTrip({"D:\\x"}), ElementsAre("D:\\x"));
    // GBK bytes of "隐藏", an "=" that must not end a key, and a path far past MAX_PATH.
    const std::vector<std::string> three = {"C:\\\xD2\xFE\xB2\xD8\\a=b.txt", "\\\\server\\share\\" + std::string(32000, 'p'),
                                            "E:\\"};
    EXPECT_EQ(RoundTrip(three), three);

    std::vector<std::string> many;
    for (int i = 0; i < 10000; ++i)
        many.push_back("C:\\folder " + std::to_string(i) + "\\\xB0\xA1" + std::string(static_cast<std::size_t>(i % 300), 'x'));
    EXPECT_EQ(RoundTrip(many), many);
}

// -----------------------------------------------------------------------------------------
// The store over the profile functions.

class SettingsStore : public ::testing::Test {
protected:
    sim::SimProfile profile;
    TIniFileMgr ini{profile};
    const std::string path = "C:\\Program Files\\Tarnwick\\System.ini";

    std::string& Stored(const std::string& key) { return profile.Contents(path)["system"][key]; }
};

TEST_F(SettingsStore, PathIsTheExecutableFolderWorkedOutOnce)
{
    EXPECT_EQ(ini.Path(), path);
    profile.exeDir = "D:\\elsewhere\\";
    ini.WriteInteger("system", "HideWord", 81);
    EXPECT_TRUE(profile.Exists(path));
    EXPECT_FALSE(profile.Exists("D:\\elsewhere\\System.ini"));
}

TEST_F(SettingsStore, IntegersAreWrittenInDecimalAndReadBackAsWrittenElseTheDefault)
{
    ini.WriteInteger("system", "HideAllWord", 88);
    ini.WriteInteger("system", "HideAllHelp", 0);
    EXPECT_EQ(Stored("HideAllWord"), "88");
    EXPECT_EQ(ini.ReadInteger("system", "HideAllWord", 1), 88);
    EXPECT_EQ(ini.ReadInteger("system", "HideAllHelp", 18), 0);
    EXPECT_EQ(ini.ReadInteger("SYSTEM", "hideallword", 1), 88);   // names match without regard to case

    // Missing or unreadable: the default.
    EXPECT_EQ(ini.ReadInteger("system", "ShowWord", 82), 82);
    Stored("HideAllHelp") = "0x11";
    Stored("HideHelp") = "abc";
    Stored("ShowHelp") = "";
    EXPECT_EQ(ini.ReadInteger("system", "HideAllHelp", 18), 17);
    EXPECT_EQ(ini.ReadInteger("system", "HideHelp", 18), 18);
    EXPECT_EQ(ini.ReadInteger("system", "ShowHelp", 18), 18);
}

TEST_F(SettingsStore, FailedWriteNamesTheFullPath)
{
    profile.readOnly.insert(path);
    try {
        ini.WriteInteger("system", "HideWord", 81);
        FAIL() << "the write did not fail";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "Unable to write to C:\\Program Files\\Tarnwick\\System.ini");
    }
    EXPECT_THROW(ini.WriteBinaryStream("system", "File", "x"), std::runtime_error);
    EXPECT_EQ(ini.ReadInteger("system", "HideWord", 72), 72);
}

TEST_F(SettingsStore, BinaryStreamIsHexAppendedAtTheStreamsEndAndMayBeEmpty)
{
    ini.WriteBinaryStream("system", "File", JoinLines({"C:\\a"}));
    EXPECT_EQ(Stored("File"), "433A5C610D0A");
    std::string stream = "xy";
    ini.ReadBinaryStream("system", "File", stream);
    EXPECT_EQ(stream, "xyC:\\a\r\n");

    // An empty stream is an empty value, there and read as nothing.
    ini.WriteBinaryStream("system", "File", "");
    ASSERT_TRUE(profile.ReadString(path, "system", "File"));
    EXPECT_EQ(Stored("File"), "");
    stream.clear();
    ini.ReadBinaryStream("system", "File", stream);
    ini.ReadBinaryStream("system", "File", stream);
    ini.ReadBinaryStream("system", "NoSuchKey", stream);
    EXPECT_EQ(stream, "");
}

TEST_F(SettingsStore, AWriteKeepsEveryOtherValueOfTheFile)
{
    Stored("HideWord") = "81";
    Stored("File") = "433A5C610D0A";
    profile.Contents(path)["Elsewhere"]["Mine"] = "kept";
    ini.WriteInteger("system", "HideAllHelp", 17);
    EXPECT_EQ(Stored("HideWord"), "81");
    EXPECT_EQ(Stored("File"), "433A5C610D0A");
    EXPECT_EQ(profile.Contents(path)["Elsewhere"]["Mine"], "kept");
    EXPECT_EQ(Stored("HideAllHelp"), "17");
}

TEST_F(SettingsStore, AFileThatCannotBeReadIsNeverWrittenThatRun)
{
    Stored("File") = "433A5C610D0A";
    profile.lockedReads[path] = sim::SimProfile::kAlways;   // another program holds it
    TIniFileMgr locked{profile};
    EXPECT_TRUE(locked.Unreadable());
    EXPECT_EQ(profile.pauses, kSettingsReadTries - 1);       // it was tried again first

    profile.lockedReads.clear();   // even once it is let go, this run keeps its hands off
    EXPECT_THROW(locked.WriteInteger("system", "HideWord", 81), std::runtime_error);
    EXPECT_THROW(locked.WriteBinaryStream("system", "File", ""), std::runtime_error);
    EXPECT_EQ(Stored("File"), "433A5C610D0A");
    EXPECT_EQ(profile.writes, 0);
    EXPECT_FALSE(ini.Unreadable());   // an absent file is no reason not to save
}

TEST_F(SettingsStore, AFileHeldForAMomentIsReadOnASecondTry)
{
    Stored("HideWord") = "81";
    profile.lockedReads[path] = 2;
    TIniFileMgr settings{profile};
    EXPECT_FALSE(settings.Unreadable());
    profile.lockedReads[path] = 1;   // held again as a value is written: still not lost
    settings.WriteInteger("system", "HideHelp", 17);
    EXPECT_EQ(Stored("HideWord"), "81");
    EXPECT_EQ(Stored("HideHelp"), "17");
}

TEST_F(SettingsStore, AnUnwritableProgramFolderMovesTheSettingsToTheUsersFolder)
{
    const std::string roaming = "C:\\Users\\me\\AppData\\Roaming\\Tarnwick\\";
    Stored("File") = "433A5C610D0A";
    profile.unwritableDirs.insert(profile.exeDir);
    TIniFileMgr moved{profile};
    EXPECT_EQ(moved.SettingsDir(), roaming);
    EXPECT_EQ(moved.Path(), roaming + "System.ini");
    // Seeded from the file beside the executable, which is left as it was.
    std::string stream;
    moved.ReadBinaryStream("system", "File", stream);
    EXPECT_EQ(stream, "C:\\a\r\n");
    moved.WriteBinaryStream("system", "File", "");
    EXPECT_EQ(profile.Contents(moved.Path())["system"]["File"], "");
    EXPECT_EQ(Stored("File"), "433A5C610D0A");

    // The next run takes the user's file, not the seed again.
    TIniFileMgr next{profile};
    EXPECT_EQ(next.Path(), moved.Path());
    EXPECT_EQ(profile.Contents(moved.Path())["system"]["File"], "");
}

TEST_F(SettingsStore, AnUnreadableFileBesideUsIsNotSucceededByAnEmptyOne)
{
    Stored("File") = "433A5C610D0A";
    profile.unwritableDirs.insert(profile.exeDir);
    profile.lockedReads[path] = sim::SimProfile::kAlways;
    TIniFileMgr moved{profile};
    EXPECT_TRUE(moved.Unreadable());
    EXPECT_THROW(moved.WriteInteger("system", "HideWord", 81), std::runtime_error);
    EXPECT_FALSE(profile.Exists(moved.Path()));
}

TEST_F(SettingsStore, ProgramHotKeysFallBackKeyByKeyOnlyWhereNothingIsStored)
{
    EXPECT_EQ(ReadProgramHotKey(ini, kSelfHotKey), (THotKeyValue{18, 88}));
    EXPECT_EQ(ReadProgramHotKey(ini, kHideHotKey), (THotKeyValue{18, 72}));
    EXPECT_EQ(ReadProgramHotKey(ini, kShowHotKey), (THotKeyValue{18, 82}));
    Stored("HideAllHelp") = "17";
    EXPECT_EQ(THotKeyBox::HotKeyText(ReadProgramHotKey(ini, kSelfHotKey)), "Ctrl + X");

    // A stored value beyond 16 bits is no key, not the key of its low bits nor the default.
    Stored("HideAllWord") = "65624";   // 0x10058: its low 16 bits would be the letter X
    Stored("HideHelp") = "-1";
    EXPECT_EQ(ReadProgramHotKey(ini, kSelfHotKey).Key, 0);
    EXPECT_EQ(THotKeyBox::HotKeyText(ReadProgramHotKey(ini, kHideHotKey)), "");

    // Cleared, it stays cleared instead of falling back.
    WriteProgramHotKey(ini, kSelfHotKey, THotKeyValue{});
    EXPECT_EQ(Stored("HideAllHelp"), "0");
    EXPECT_EQ(Stored("HideAllWord"), "0");
    EXPECT_EQ(THotKeyBox::HotKeyText(ReadProgramHotKey(ini, kSelfHotKey)), "");
}

// Starting with Windows: the Run value names this exe, or it is not ours.
TEST(AutoStart, OnlyAValueStartingThisExeTicksTheBox)
{
    sim::SimRegistry registry;
    TAutoStart autoStart(registry, "C:\\Tools\\My Apps\\Tarnwick.exe");
    EXPECT_FALSE(autoStart.Enabled());
    ASSERT_TRUE(autoStart.Set(true));
    EXPECT_EQ(registry.ReadString(kRunKey, kRunValue), "\"C:\\Tools\\My Apps\\Tarnwick.exe\" /hidden");
    EXPECT_TRUE(autoStart.Enabled());

    auto startsWith = [&](TAutoStart& exe, const std::string& command) {
        registry.keys[kRunKey].strings[kRunValue] = command;
        return exe.Enabled();
    };
    // The file system ignores case, and a value written by hand may lack the switch, or the
    // quotes around a path without blanks.
    EXPECT_TRUE(startsWith(autoStart, "\"c:\\TOOLS\\my apps\\tarnwick.EXE\" /hidden"));
    EXPECT_TRUE(startsWith(autoStart, "  \"C:\\Tools\\My Apps\\Tarnwick.exe\""));
    TAutoStart plain(registry, "C:\\Tarnwick.exe");
    EXPECT_TRUE(startsWith(plain, "C:\\TARNWICK.exe /hidden"));
    // Another copy (the exe was moved), or a path this one only begins.
    EXPECT_FALSE(startsWith(autoStart, "\"D:\\Old\\Tarnwick.exe\" /hidden"));
    EXPECT_FALSE(startsWith(autoStart, "\"C:\\Tools\\My Apps\\Tarnwick.exe.bak\" /hidden"));
    EXPECT_FALSE(startsWith(autoStart, "C:\\Tools\\My Apps\\Tarnwick.exe /hidden"));   // starts "C:\Tools\My"
    EXPECT_FALSE(startsWith(autoStart, ""));
    // Folding case never joins two different characters outside ASCII: C:\工具 is not C:\工其.
    TAutoStart chinese(registry, "C:\\\xe5\xb7\xa5\xe5\x85\xb7\\Tarnwick.exe");
    EXPECT_FALSE(startsWith(chinese, "\"C:\\\xe5\xb7\xa5\xe5\x85\xb6\\Tarnwick.exe\""));
    EXPECT_TRUE(startsWith(chinese, "\"c:\\\xe5\xb7\xa5\xe5\x85\xb7\\TARNWICK.exe\""));

    // Ticking over another copy's value replaces it; clearing deletes it.
    startsWith(autoStart, "\"D:\\Old\\Tarnwick.exe\" /hidden");
    ASSERT_TRUE(autoStart.Set(true));
    EXPECT_TRUE(autoStart.Enabled());
    ASSERT_TRUE(autoStart.Set(false));
    EXPECT_EQ(registry.ReadString(kRunKey, kRunValue), std::nullopt);
    EXPECT_TRUE(autoStart.Set(false)) << "deleting a value that is not there failed";
}

TEST(AutoStart, ARefusedWriteIsReportedAndChangesNothing)
{
    sim::SimRegistry registry;
    registry.keys[kRunKey].strings[kRunValue] = "\"D:\\Old\\Tarnwick.exe\" /hidden";
    registry.readOnly = true;   // a policy, or access denied
    TAutoStart autoStart(registry, "C:\\Tarnwick.exe");
    EXPECT_FALSE(autoStart.Set(true));
    EXPECT_FALSE(autoStart.Set(false));
    EXPECT_EQ(registry.ReadString(kRunKey, kRunValue), "\"D:\\Old\\Tarnwick.exe\" /hidden");
    EXPECT_FALSE(autoStart.Enabled());
    // Without a path of its own the exe can name nothing: no value naming nothing is written.
    registry.readOnly = false;
    EXPECT_FALSE(TAutoStart(registry, "").Set(true));
    EXPECT_EQ(registry.writes, 0);
}

// -----------------------------------------------------------------------------------------
// Remembered programs and tray icons.

TEST(RememberedCodec, AnyTextSurvivesAndALineItCannotReadIsKeptAsItStood)
{
    std::vector<RememberedProgram> programs{
        {"C:\\Program Files\\Tencent\\微信\\WeChat.exe", true, false, "Alt + Q", 18, 81},
        {"D:\\tab\there\\and\\\\back\r\n.exe", false, true, "", 0, 0},
    };
    std::vector<RememberedIcon> icons{{"C:\\QQ\\QQ.exe", "QQ: 张三\n在线"}, {"", "a\\t=b"}};
    // A newer version's flag, a line with a field missing, a bad escape: kept, not read.
    const std::vector<std::string> foreign{"4\t0\t0\t\tC:\\new.exe", "1\t0\tC:\\short.exe", "x\\q\ty"};

    std::vector<std::string> unread;
    std::vector<RememberedProgram> back = DecodePrograms(EncodePrograms(programs, {foreign[0], foreign[1]}), unread);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].path, programs[0].path);
    EXPECT_TRUE(back[0].alwaysTick && !back[0].muteWhenHidden);
    EXPECT_EQ(back[0].bossKeyText, "Alt + Q");
    EXPECT_EQ(back[0].modifier, 18);
    EXPECT_EQ(back[0].key, 81);
    EXPECT_EQ(back[1].path, programs[1].path);
    EXPECT_TRUE(!back[1].alwaysTick && back[1].muteWhenHidden);
    EXPECT_EQ(unread, (std::vector<std::string>{foreign[0], foreign[1]}));

    unread.clear();
    std::vector<RememberedIcon> icons2 = DecodeIcons(EncodeIcons(icons, {foreign[2]}), unread);
    ASSERT_EQ(icons2.size(), 2u);
    EXPECT_EQ(icons2[0].owner, icons[0].owner);
    EXPECT_EQ(icons2[0].text, icons[0].text);
    EXPECT_EQ(icons2[1].owner, "");
    EXPECT_EQ(icons2[1].text, icons[1].text);
    EXPECT_EQ(unread, (std::vector<std::string>{foreign[2]}));
}

TEST(RememberedCodec, PathsCompareWithoutCaseButAnotherNameIsAnotherProgram)
{
    EXPECT_TRUE(SamePath("C:\\Apps\\Player.EXE", "c:\\apps\\player.exe"));
    EXPECT_TRUE(SamePath("C:\\Программы\\Ä.exe", "c:\\программы\\ä.exe"));
    EXPECT_TRUE(SamePath("C:\\Łódź\\Ĺ.exe", "c:\\łódź\\ĺ.exe"));
    EXPECT_FALSE(SamePath("C:\\Ĺ.exe", "C:\\ĸ.exe"));
    EXPECT_FALSE(SamePath("C:\\Apps\\Player.exe", "C:\\Apps\\Player2.exe"));
    EXPECT_FALSE(SamePath("C:\\Apps\\Player.exe", "C:\\Apps\\Player.ex"));
}

TEST_F(SettingsStore, RememberedListsAreWrittenOnlyWhenChangedAndReadByTheNextRun)
{
    Stored("File") = "433A5C610D0A";
    TRememberedStore store{&ini};
    store.Load();
    store.SetAlwaysTick("C:\\Apps\\Player.exe", true);
    store.SetBossKey("c:\\apps\\player.exe", "Alt + P", 18, 80);
    store.SetMuteWhenHidden("C:\\Apps\\Browser.exe", true);
    store.SetIconRemembered("C:\\QQ\\QQ.exe", "QQ", true);
    store.Save();
    const int writes = profile.writes;
    EXPECT_EQ(writes, 1);   // both lists in one write
    store.SetAlwaysTick("C:\\APPS\\PLAYER.EXE", true);   // no change: nothing written
    store.Save();
    EXPECT_EQ(profile.writes, writes);
    EXPECT_EQ(Stored("File"), "433A5C610D0A");

    TRememberedStore next{&ini};
    next.Load();
    EXPECT_TRUE(next.TicksAlways("c:\\apps\\player.exe"));
    ASSERT_NE(next.FindProgram("C:\\Apps\\Player.exe"), nullptr);
    EXPECT_EQ(next.FindProgram("C:\\Apps\\Player.exe")->bossKeyText, "Alt + P");
    EXPECT_FALSE(next.MutesWhenHidden("C:\\Apps\\Player.exe"));
    EXPECT_TRUE(next.MutePredicate()("C:\\Apps\\Browser.exe"));
    EXPECT_FALSE(next.TicksAlways("C:\\Apps\\Browser.exe"));
    EXPECT_TRUE(next.IsIconRemembered("c:\\qq\\qq.exe", "QQ"));
    EXPECT_FALSE(next.IsIconRemembered("C:\\Other\\QQ.exe", "QQ"));   // same text, another program

    // Forgetting takes the boss key with it, and a program asked nothing of goes.
    next.SetAlwaysTick("C:\\Apps\\Player.exe", false);
    next.SetIconRemembered("C:\\QQ\\QQ.exe", "QQ", false);
    next.Save();
    TRememberedStore third{&ini};
    third.Load();
    EXPECT_EQ(third.FindProgram("C:\\Apps\\Player.exe"), nullptr);
    EXPECT_FALSE(third.IsIconRemembered("C:\\QQ\\QQ.exe", "QQ"));
    EXPECT_TRUE(third.MutesWhenHidden("C:\\Apps\\Browser.exe"));
}

TEST(TitleRules, ATitleMatchesWithoutCaseInEveryScriptThatHasCaseAndABlankRuleNever)
{
    EXPECT_TRUE(TitleContains("GitHub - Google Chrome", "github"));
    EXPECT_TRUE(TitleContains("Почта — ЯНДЕКС", "яндекс"));
    EXPECT_TRUE(TitleContains("ΑΘΗΝΑ - Wikipedia", "αθηνα"));
    EXPECT_TRUE(TitleContains("Ｂｉｌｉｂｉｌｉ 哔哩哔哩", "ＢＩＬＩ"));        // typed full-width
    EXPECT_TRUE(TitleContains("Tiếng Việt - Zalo", "TIẾNG VIỆT"));
    EXPECT_TRUE(TitleContains("微信 - 文件传输助手", "文件传输"));
    EXPECT_FALSE(TitleContains("微信 - 文件传输助手", "文件 传输"));
    EXPECT_FALSE(TitleContains("Ĺ", "ĸ"));                                  // a neighbour, not its capital
    EXPECT_FALSE(TitleContains("Bili", "Ｂｉｌｉ"));                          // full-width is another letter
    EXPECT_FALSE(TitleContains("Git", "GitHub"));
    // A rule of blanks (the full-width one of Chinese input among them) would tick everything.
    for (const char* blank : {"", " ", "\t\r\n", "\xE3\x80\x80", "\xC2\xA0 "}) {
        EXPECT_FALSE(IsUsableTitleRule(blank)) << testing::PrintToString(blank);
        EXPECT_FALSE(TitleContains(std::string("a ") + blank + " b", blank));
    }
    EXPECT_TRUE(IsUsableTitleRule(" x "));

    TRememberedStore store{nullptr};
    EXPECT_FALSE(store.AddTitleRule("\xE3\x80\x80"));
    EXPECT_TRUE(store.AddTitleRule("GitHub"));
    EXPECT_FALSE(store.AddTitleRule("GITHUB")) << "the same rule twice";
    for (const char* rule : {"Hub", "Chrome", "Git", "it", "H", "G"})
        EXPECT_TRUE(store.AddTitleRule(rule));
    EXPECT_EQ(store.TitleRulesIn("GitHub - Google Chrome", 5),
              (std::vector<std::string>{"GitHub", "Hub", "Chrome", "Git", "it"}));
    EXPECT_FALSE(store.MatchesTitleRule("Firefox"));
}

TEST_F(SettingsStore, TitleRulesAreKeptWhateverTheirTextWrittenOnlyWhenTheyChangeAndNeverOverADamagedValue)
{
    TRememberedStore store{&ini};
    store.Load();
    EXPECT_FALSE(store.AnyTitleRule());
    ASSERT_TRUE(store.AddTitleRule("GitHub"));
    ASSERT_TRUE(store.AddTitleRule("微信\t&\\ 周报\r\n"));
    store.Save();
    EXPECT_EQ(profile.writes, 1);
    EXPECT_EQ(DecodeHex(Stored("TitleRules")), "GitHub\r\n微信\\t&\\\\ 周报\\r\\n\r\n");
    EXPECT_EQ(profile.Contents(path)["system"].count("Programs"), 0u) << "an unchanged list was written";
    store.AddTitleRule("github");
    store.Save();
    EXPECT_EQ(profile.writes, 1);

    TRememberedStore next{&ini};
    next.Load();
    EXPECT_EQ(next.TitleRules(), (std::vector<std::string>{"GitHub", "微信\t&\\ 周报\r\n"}));
    EXPECT_TRUE(next.MatchesTitleRule("My page · GITHUB"));
    next.ForgetTitleRule("GitHub");
    next.Save();
    TRememberedStore third{&ini};
    third.Load();
    EXPECT_EQ(third.TitleRules(), (std::vector<std::string>{"微信\t&\\ 周报\r\n"}));

    // Damaged: the rules read before the fault hold for the run, the value stays as it is, and
    // a new rule, which lasts for the run only, is not dropped without a word.
    Stored("TitleRules") = EncodeHex("QQ\r\n") + "Z";
    TRememberedStore damaged{&ini};
    damaged.Load();
    EXPECT_TRUE(damaged.MatchesTitleRule("QQ音乐"));
    damaged.AddTitleRule("Word");
    EXPECT_THROW(damaged.Save(), std::runtime_error) << "a rule that cannot be kept was dropped without a word";
    EXPECT_EQ(Stored("TitleRules"), EncodeHex("QQ\r\n") + "Z");
}

TEST_F(SettingsStore, ADamagedRememberedValueIsKeptAsItIsAndTheOtherSettingsToo)
{
    Stored("Programs") = "31093009300909433A5C612E657865ZZ";   // not whole hexadecimal
    Stored("TrayIcons") = EncodeHex("\tQQ\r\n\\x\r\n");        // one good line, one bad
    Stored("HideWord") = "81";
    TRememberedStore store{&ini};
    store.Load();
    store.SetAlwaysTick("C:\\b.exe", true);          // lasts for the run
    store.SetIconRemembered("", "WeChat", true);
    EXPECT_TRUE(store.TicksAlways("C:\\b.exe"));
    EXPECT_TRUE(store.IsIconRemembered("C:\\any.exe", "QQ"));   // remembered by its text alone
    // The icon is saved; the program's tick cannot be, and that is no success.
    EXPECT_THROW(store.Save(), std::runtime_error);
    EXPECT_EQ(Stored("Programs"), "31093009300909433A5C612E657865ZZ");
    EXPECT_EQ(DecodeHex(Stored("TrayIcons")), "\tQQ\r\n\tWeChat\r\n\\x\r\n");
    EXPECT_EQ(Stored("HideWord"), "81");
    // Told once: a later change to the icons alone is saved without a word.
    store.SetIconRemembered("", "WeChat", false);
    EXPECT_NO_THROW(store.Save());
    EXPECT_EQ(DecodeHex(Stored("TrayIcons")), "\tQQ\r\n\\x\r\n");
}

} // namespace
} // namespace tw
