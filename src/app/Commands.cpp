#include "app/Commands.h"

#include <array>

namespace tw {

namespace {

struct Word {
    StartSwitch which;
    std::string_view text;
};

const std::array<Word, 7> kWords{{
    {StartSwitch::Restore, "restore"},
    {StartSwitch::Hidden, "hidden"},
    {StartSwitch::Hide, "hide"},
    {StartSwitch::Show, "show"},
    {StartSwitch::HideFront, "hide-front"},
    {StartSwitch::Toggle, "toggle"},
    {StartSwitch::Quit, "quit"},
}};

// The longest word: a command's bytes are never more.
constexpr std::size_t kMaxWordLength = 10;

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n'; }

wchar_t Lower(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c; }

bool SameWord(std::wstring_view typed, std::string_view word)
{
    if (typed.size() != word.size())
        return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (Lower(typed[i]) != static_cast<wchar_t>(word[i]))
            return false;
    return true;
}

std::wstring_view Trimmed(std::wstring_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

StartSwitch ParseStartSwitch(std::wstring_view commandLine)
{
    std::wstring_view text = Trimmed(commandLine);
    if (text.empty())
        return StartSwitch::None;
    // A script may quote its argument as it quotes a path.
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"')
        text = Trimmed(text.substr(1, text.size() - 2));
    if (text.size() < 2 || (text[0] != L'/' && text[0] != L'-'))
        return StartSwitch::Unknown;
    text.remove_prefix(1);
    for (const Word& w : kWords)
        if (SameWord(text, w.text))
            return w.which;
    return StartSwitch::Unknown;
}

std::string_view CommandWord(StartSwitch command)
{
    for (const Word& w : kWords)
        if (w.which == command && IsCommand(command))
            return w.text;
    return {};
}

std::optional<StartSwitch> ReadCommand(std::uintptr_t tag, const void* data, std::size_t length)
{
    if (tag != kCommandTag || !data || length == 0 || length > kMaxWordLength)
        return std::nullopt;
    const std::string_view bytes(static_cast<const char*>(data), length);
    for (const Word& w : kWords)
        if (IsCommand(w.which) && bytes == w.text)
            return w.which;
    return std::nullopt;
}

} // namespace tw
