#include "files/FileListRules.h"

#include "settings/IniCodec.h"
#include "settings/uIniFileMgr.h"

namespace tw {

namespace {

const char kSection[] = "system";
const char kFileKey[] = "File";

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

} // namespace

void VectorFileLines::Delete(int index) { lines_.erase(lines_.begin() + index); }

int VectorFileLines::FindIgnoringCase(const std::string& path) const
{
    for (std::size_t i = 0; i < lines_.size(); ++i)
        if (SameIgnoringAsciiCase(lines_[i], path))
            return static_cast<int>(i);
    return -1;
}

std::string QuoteArgument(std::string_view arg)
{
    std::string out = "\"";
    std::size_t backslashes = 0;
    for (char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes only escape when a quote follows them.
        out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, '\\');
    out += '"';
    return out;
}

std::string AttribCommandLine(const std::string& systemDir, bool unhide, const std::string& path)
{
    return QuoteArgument(systemDir + "\\attrib.exe") + (unhide ? " -h -s " : " +h +s ") + QuoteArgument(path);
}

std::string ExplorerFile(const std::string& windowsDir) { return windowsDir + "\\Explorer.exe"; }

std::string ExplorerParameters(const std::string& path) { return QuoteArgument(path); }

bool HasWildcard(std::string_view path) { return path.find_first_of("?*") != std::string_view::npos; }

void ApplyFileAttributes(FileApi& files, bool unhide, const std::string& path) noexcept
{
    try {
        if (path.empty() || HasWildcard(path))
            return;
        files.RunHidden(AttribCommandLine(files.SystemDirectory(), unhide, path), kAttribWaitMs);
    } catch (...) {
        // Whether attrib ran or not, the list has changed as the user asked.
    }
}

bool IsFileListed(const FileLines& lines, const std::string& path) { return lines.FindIgnoringCase(path) >= 0; }

void HideFile(FileLines& lines, FileApi& files, const std::string& path)
{
    lines.Append(path);
    ApplyFileAttributes(files, false, path);
}

void UnhideFile(FileLines& lines, FileApi& files, const std::string& path)
{
    ApplyFileAttributes(files, true, path);
    for (int i = lines.Count() - 1; i >= 0; --i)
        if (lines.Line(i) == path)
            lines.Delete(i);
}

void UnhideLine(FileLines& lines, FileApi& files, int index)
{
    if (index < 0 || index >= lines.Count())
        return;
    ApplyFileAttributes(files, true, lines.Line(index));
    lines.Delete(index);
}

std::string FileListText(const FileLines& lines)
{
    std::vector<std::string> all;
    all.reserve(static_cast<std::size_t>(lines.Count()));
    for (int i = 0; i < lines.Count(); ++i)
        all.push_back(lines.Line(i));
    return JoinLines(all);
}

std::vector<std::string> FileListFromText(std::string_view text)
{
    return SplitLines(text.substr(0, text.find('\0')));
}

void LoadFileList(FileLines& lines, TIniFileMgr& ini)
{
    std::string stream;
    ini.ReadBinaryStream(kSection, kFileKey, stream);
    lines.Assign(FileListFromText(stream));
}

void SaveFileList(const FileLines& lines, TIniFileMgr& ini)
{
    ini.WriteBinaryStream(kSection, kFileKey, FileListText(lines));
}

} // namespace tw
