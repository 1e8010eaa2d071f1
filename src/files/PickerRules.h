// What the file picker decides without a screen: the paths of its nodes, which of them may
// be browsed, how a folder is listed and sorted, and how a name too long for its column is
// shortened. The picker's window (DrawTreeDemo) only shows what these answer.
#pragma once

#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Shell attribute bits the picker asks for and uses.
namespace shell {
inline constexpr std::uint32_t kRequestMask = 0xF40F0000u;
inline constexpr std::uint32_t kHasSubfolders = 0x80000000u;
inline constexpr std::uint32_t kFileSystem = 0x40000000u;
inline constexpr std::uint32_t kFolder = 0x20000000u;
inline constexpr std::uint32_t kFileSystemAncestor = 0x10000000u;
inline constexpr std::uint32_t kCompressed = 0x04000000u;
inline constexpr std::uint32_t kHidden = 0x00080000u;
inline constexpr std::uint32_t kReadOnly = 0x00040000u;
inline constexpr std::uint32_t kShared = 0x00020000u;
inline constexpr std::uint32_t kLink = 0x00010000u;
} // namespace shell

// File attributes of the file search that the shell's bits above repeat.
inline constexpr std::uint32_t kFileReadOnly = 0x01;
inline constexpr std::uint32_t kFileHidden = 0x02;
inline constexpr std::uint32_t kFileDirectory = 0x10;
inline constexpr std::uint32_t kFileCompressed = 0x800;

// File search masks: every entry, and every entry that is not a folder.
inline constexpr std::uint32_t kAnyEntryMask = 0x3F;
inline constexpr std::uint32_t kFilesOnlyMask = 0x27;

// Drive types the shell attributes are read for.
inline constexpr unsigned kDriveRemovable = 2;
inline constexpr unsigned kDriveFixed = 3;

// SHGetFileInfo flags: system icon index of the small icon, and of the open small icon.
inline constexpr unsigned kClosedIconFlags = 0x4001;
inline constexpr unsigned kOpenIconFlags = 0x4003;

enum class SortDirection { Ascending, Descending };

// `parent` + "\" (unless it ends in one) + `name`.
std::string ChildPath(const std::string& parent, std::string_view name);
// The name shown for a path below a drive: its last component, a trailing "\" dropped.
std::string LastComponent(std::string_view path);
// `pattern` for a search of every entry in the folder `path`.
std::string SearchPattern(const std::string& path);

// Drives A to Z in the logical-drive mask.
int CountDrives(std::uint32_t mask);
// Entry `index` (from 0) of a NUL-separated, double-NUL-ended list of roots; empty past the end.
std::string DriveRootPath(std::string_view driveStrings, int index);

// Only local hard and removable drives are browsed, and never A:, whose floppy would spin up.
bool ReadsShellAttributes(unsigned driveType, std::string_view path);

// What a name sorts by: its bytes in the ANSI code page, the order folders had before names
// in other scripts could be read, when the code page holds the name exactly; else its UTF-8
// bytes. The ASCII letters among them come folded to capitals, as every comparison folds
// them. Made once per entry: a sort compares each entry many times.
std::string SortKey(FileApi& files, const std::string& name);

// Folders before everything else, then the sort keys compared byte by byte with the ASCII
// letters folded to capitals. Siblings share their parent's path, so their names' keys give
// the order of their full paths. Negative, zero or positive.
int ComparePaths(std::string_view a, std::string_view b);
int CompareNodes(std::uint32_t attrs1, std::string_view key1, std::uint32_t attrs2, std::string_view key2);
inline int CompareNodes(std::uint32_t attrs1, std::string_view key1, std::uint32_t attrs2, std::string_view key2,
                        SortDirection dir)
{
    int r = CompareNodes(attrs1, key1, attrs2, key2);
    return dir == SortDirection::Ascending ? r : -r;
}

// A folder entry as listed: its full path, its name and the name's SortKey, and the shell
// bits its search entry already tells.
struct ListedEntry {
    std::string path;
    std::string name;
    std::string sortKey;
    std::uint32_t shellAttributes = 0;
};

// The shell bits of an entry of the file system that its search attributes already answer:
// folder, compressed, hidden, read-only. Asking the shell for them costs a parse per entry.
std::uint32_t SearchedShellAttributes(std::uint32_t fileAttributes);
// What only the shell knows about an entry, asked once its node is drawn: the shared and link
// overlays, and for a folder whether it has subfolders.
std::uint32_t DrawnShellMask(std::uint32_t shellAttributes);

// What a node's first icon depends on, known without the disk: every folder (and drive)
// shows the same, a file what its extension's type shows, letters' case aside. Nodes with
// equal keys share one icon until each is given its own.
std::string TypeIconKey(std::uint32_t shellAttributes, std::string_view path, bool topLevel, bool open);

// Every entry of the folder `path` (hidden and system ones too, "." and ".." left out), with
// the shell bits its search entry tells, sorted in `dir`. Only the file search is used: the
// shell is asked nothing, so a listing may run on any thread.
std::vector<ListedEntry> ListFolder(FileApi& files, const std::string& path, SortDirection dir);
// True when the folder holds an entry that is not a folder; the search stops at the first.
bool FolderHasFiles(FileApi& files, const std::string& path);
// Whether a node shows an expand button. `folderHasFiles` is asked only when the shell
// did not already say that the folder has subfolders.
bool HasChildren(std::uint32_t shellAttributes, const std::function<bool()>& folderHasFiles);

// How the picker's icons come out at the `wanted` size (pixels) a window's DPI asks for, from
// the system's icon lists of icon heights `sizes`: the list of that size when there is one;
// else the smallest larger one (else the largest), each icon drawn at `wanted` into a list of
// our own, since an icon shrunk stays sharp where a smaller one grown blurs and a larger one
// drawn at its own size would overrun the row. `list` is an index into `sizes`; 0 for none.
struct IconPlan {
    std::size_t list = 0;
    bool scaled = false;
};
IconPlan PlanIcons(int wanted, const std::vector<int>& sizes);

// The longest beginning of `text` that, followed by "...", is at most `width` wide, with
// "..." appended; empty when not even "..." fits. Text that fits is returned unchanged.
// `measure` gives the width of a text as it would be drawn.
std::wstring ShortenWithEllipsis(const std::wstring& text, int width,
                                 const std::function<int(std::wstring_view)>& measure);

} // namespace tw
