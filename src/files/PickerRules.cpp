#include "files/PickerRules.h"

#include <algorithm>
#include <bit>
#include <optional>

namespace tw {

std::string ChildPath(const std::string& parent, std::string_view name)
{
    std::string path = parent;
    if (path.empty() || path.back() != '\\')
        path += '\\';
    path += name;
    return path;
}

std::string LastComponent(std::string_view path)
{
    if (!path.empty() && path.back() == '\\')
        path.remove_suffix(1);
    std::size_t slash = path.find_last_of("\\:");
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string SearchPattern(const std::string& path) { return ChildPath(path, "*.*"); }

int CountDrives(std::uint32_t mask) { return std::popcount(mask & 0x03FFFFFFu); }

std::string DriveRootPath(std::string_view driveStrings, int index)
{
    std::size_t pos = 0;
    for (int i = 0; pos < driveStrings.size(); ++i) {
        std::size_t end = driveStrings.find('\0', pos);
        if (end == std::string_view::npos)
            end = driveStrings.size();
        if (end == pos)
            break;   // the empty entry that ends the list
        if (i == index)
            return std::string(driveStrings.substr(pos, end - pos));
        pos = end + 1;
    }
    return {};
}

bool ReadsShellAttributes(unsigned driveType, std::string_view path)
{
    return (driveType == kDriveFixed || driveType == kDriveRemovable) && path.find("A:\\") == std::string_view::npos;
}

namespace {

unsigned FoldAscii(char c)
{
    auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? u - ('a' - 'A') : static_cast<unsigned>(u);
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

std::string SortKey(FileApi& files, const std::string& name)
{
    std::string key = name;
    // Every ANSI code page keeps ASCII as it is, so only other names are converted (twice,
    // as checked below): they were the largest part of a listing's work beyond the search.
    if (!IsAscii(name)) {
        // Some code pages take a character for another one all the same; only a form that
        // names the same file again is the name's own.
        std::optional<std::string> ansi = files.PathToAnsi(name);
        if (ansi && files.AnsiToPath(*ansi) == name)
            key = std::move(*ansi);
    }
    for (char& c : key)
        c = static_cast<char>(FoldAscii(c));
    return key;
}

int ComparePaths(std::string_view a, std::string_view b)
{
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned x = FoldAscii(a[i]);
        unsigned y = FoldAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareNodes(std::uint32_t attrs1, std::string_view key1, std::uint32_t attrs2, std::string_view key2)
{
    bool folder1 = (attrs1 & shell::kFolder) != 0;
    bool folder2 = (attrs2 & shell::kFolder) != 0;
    if (folder1 != folder2)
        return folder1 ? -1 : 1;
    return ComparePaths(key1, key2);
}

std::uint32_t SearchedShellAttributes(std::uint32_t fileAttributes)
{
    std::uint32_t bits = shell::kFileSystem;
    if (fileAttributes & kFileDirectory)
        bits |= shell::kFolder | shell::kFileSystemAncestor;
    if (fileAttributes & kFileCompressed)
        bits |= shell::kCompressed;
    if (fileAttributes & kFileHidden)
        bits |= shell::kHidden;
    if (fileAttributes & kFileReadOnly)
        bits |= shell::kReadOnly;
    return bits;
}

std::uint32_t DrawnShellMask(std::uint32_t shellAttributes)
{
    // Whether a folder has subfolders is the costly question; a file cannot have any.
    std::uint32_t mask = shell::kShared | shell::kLink;
    return (shellAttributes & shell::kFolder) ? mask | shell::kHasSubfolders : mask;
}

std::string TypeIconKey(std::uint32_t shellAttributes, std::string_view path, bool topLevel, bool open)
{
    // A file's key is empty or starts with "."; the folders' keys cannot be taken for one.
    if (topLevel || (shellAttributes & shell::kFolder))
        return open ? "\\open" : "\\";
    std::string name = LastComponent(path);
    std::size_t dot = name.rfind('.');
    std::string key = dot == std::string::npos ? std::string{} : name.substr(dot);
    // Only an all-ASCII extension is folded, as the system's own folding of other letters is
    // not ours to guess.
    if (IsAscii(key))
        for (char& c : key)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    return key;
}

std::vector<ListedEntry> ListFolder(FileApi& files, const std::string& path, SortDirection dir)
{
    std::vector<ListedEntry> found;
    files.FindFiles(SearchPattern(path), kAnyEntryMask, [&](const FindEntry& entry) {
        if (entry.name != "." && entry.name != "..") {
            ListedEntry listed;
            listed.path = ChildPath(path, entry.name);
            listed.name = entry.name;
            listed.sortKey = SortKey(files, entry.name);
            listed.shellAttributes = SearchedShellAttributes(entry.attributes);
            found.push_back(std::move(listed));
        }
        return true;
    });
    // The entries are ordered by their places and moved once: each holds three strings, and a
    // sort moves what it sorts many times. Sort keys come folded, so they compare as bytes.
    std::vector<std::size_t> order(found.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&found, dir](std::size_t i, std::size_t j) {
        const ListedEntry& a = found[i];
        const ListedEntry& b = found[j];
        bool folderA = (a.shellAttributes & shell::kFolder) != 0;
        bool folderB = (b.shellAttributes & shell::kFolder) != 0;
        int r = folderA != folderB ? (folderA ? -1 : 1) : std::string_view(a.sortKey).compare(b.sortKey);
        return dir == SortDirection::Ascending ? r < 0 : r > 0;
    });
    std::vector<ListedEntry> entries;
    entries.reserve(found.size());
    for (std::size_t i : order)
        entries.push_back(std::move(found[i]));
    return entries;
}

bool FolderHasFiles(FileApi& files, const std::string& path)
{
    bool found = false;
    files.FindFiles(SearchPattern(path), kFilesOnlyMask, [&](const FindEntry&) {
        found = true;
        return false;
    });
    return found;
}

bool HasChildren(std::uint32_t shellAttributes, const std::function<bool()>& folderHasFiles)
{
    if (shellAttributes & shell::kHasSubfolders)
        return true;
    return (shellAttributes & shell::kFolder) && folderHasFiles();
}

std::wstring ShortenWithEllipsis(const std::wstring& text, int width,
                                 const std::function<int(std::wstring_view)>& measure)
{
    if (measure(text) <= width)
        return text;
    const std::wstring dots = L"...";
    if (measure(dots) > width)
        return {};
    // Widths grow with the length, so the longest fitting beginning is found by halving.
    std::size_t lo = 0;              // fits
    std::size_t hi = text.size();    // the whole text does not
    while (hi - lo > 1) {
        std::size_t mid = lo + (hi - lo) / 2;
        if (measure(text.substr(0, mid) + dots) <= width)
            lo = mid;
        else
            hi = mid;
    }
    // Never split a surrogate pair.
    if (lo > 0 && text[lo - 1] >= 0xD800 && text[lo - 1] <= 0xDBFF)
        --lo;
    return text.substr(0, lo) + dots;
}

IconPlan PlanIcons(int wanted, const std::vector<int>& sizes)
{
    if (sizes.empty())
        return IconPlan{};
    if (auto exact = std::find(sizes.begin(), sizes.end(), wanted); exact != sizes.end())
        return IconPlan{static_cast<std::size_t>(exact - sizes.begin()), false};
    // Ordered by how well a list shrinks to `wanted`: larger ones first, the nearest of them
    // first; among smaller ones the nearest.
    auto better = [wanted](int a, int b) {
        if ((a > wanted) != (b > wanted))
            return a > wanted;
        return a > wanted ? a < b : a > b;
    };
    auto best = std::min_element(sizes.begin(), sizes.end(), better);
    return IconPlan{static_cast<std::size_t>(best - sizes.begin()), true};
}

} // namespace tw
