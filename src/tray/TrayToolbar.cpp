#include "tray/TrayToolbar.h"

#include "platform/WideText.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace tw {

namespace {

// One buffer in the shell's process serves a whole reading: the button record at its start,
// then the request for a button's text, then the text.
constexpr std::size_t kSharedBufferSize = 4096;

// The record is the shell's TBBUTTON: iBitmap, idCommand, fsState, fsStyle, reserved bytes,
// dwData, iString. A 32-bit shell fills 20 bytes (two reserved bytes, 4-byte fields); the
// 64-bit shell of 64-bit Windows fills 32 (six reserved bytes, 8-byte fields).
struct RecordLayout {
    std::size_t size;
    std::size_t dataOffset;
};
constexpr RecordLayout kRecord32{20, 12};
constexpr RecordLayout kRecord64{32, 16};
constexpr std::size_t kIdCommandOffset = 4;
constexpr std::size_t kStateOffset = 8;
constexpr std::uint8_t kStateHidden = 0x08;   // TBSTATE_HIDDEN

// The text request is the shell's TBBUTTONINFOW: cbSize, dwMask, idCommand, iImage, fsState,
// fsStyle, cx, lParam, pszText, cchText. A 32-bit shell's is 32 bytes, pszText at 24 and
// cchText at 28. In a 64-bit shell lParam and pszText are 8 bytes wide and 8-aligned: four
// bytes of padding after cx put lParam at 24, pszText at 32, cchText at 40, and the whole is
// padded to 48. The toolbar checks cbSize against its own build's structure (the one without
// the later iImageLabel) and refuses any other, so the request is sized as the shell's.
struct RequestLayout {
    std::size_t size;
    std::size_t textOffset;
    std::size_t capacityOffset;
};
constexpr RequestLayout kRequest32{32, 24, 28};
constexpr RequestLayout kRequest64{48, 32, 40};
constexpr std::uint32_t kRequestText = 0x00000002;   // TBIF_TEXT
// Behind the widest record, 8-aligned as a 64-bit shell wants it.
constexpr std::size_t kRequestOffset = kRecord64.size;
constexpr std::size_t kTextOffset = kRequestOffset + kRequest64.size;
// What we read back of a button's text, in UTF-16 units: the wide message gives every tip
// exactly, whatever the code page; tray tips are far shorter (the shell keeps at most 128
// characters).
constexpr std::size_t kTextLength = 1025;
// The toolbar writes at most this many units, its NUL included, so a longer text is cut and
// nothing lands past our buffer, however long the text has grown by the time it is copied.
constexpr std::int32_t kTextCapacity = kTextLength + 1;
static_assert(kTextOffset + kTextCapacity * sizeof(char16_t) <= kSharedBufferSize);

constexpr char kToolbarClass[] = "ToolbarWindow32";

// Checking a hide or show request a few times is plenty for a toolbar that obeys; one that
// never reports the requested state (an identifier no longer on it, a handle that now names
// some other window) must not keep us asking for ever.
constexpr int kMaxHideRequests = 3;

// No tray holds anywhere near this many icons. A window that is not a toolbar may answer
// TB_BUTTONCOUNT with any number at all, and each button costs round trips into the shell,
// so a wild count is cut down rather than followed.
constexpr std::intptr_t kMaxButtons = 4096;

// Command identifiers are ints; a 32-bit wParam carries their bits unchanged (and a 64-bit
// shell truncates the zero-extended value back to the same int).
std::uintptr_t IdParam(std::int32_t id) { return static_cast<std::uintptr_t>(static_cast<std::uint32_t>(id)); }

// Long enough for a shell that is merely drawing to answer, short enough that a look once a
// second never holds up the window's own input.
constexpr unsigned kAtOnceMs = 100;

// TB_ISBUTTONHIDDEN answers with the button's TBSTATE_HIDDEN bit, and with -1 when no button
// has that identifier (the common controls of Wine do; nothing promises Windows answers 0):
// a button no longer there is no button of ours hidden.
bool IsHiddenAnswer(std::intptr_t answer) { return answer > 0; }

template <typename T>
void Put(std::uint8_t* at, std::size_t offset, T value)
{
    std::memcpy(at + offset, &value, sizeof value);
}

} // namespace

bool IsToolbarWindow(WindowApi& api, Hwnd w)
{
    // Class names compare without regard to case, as the system looks them up.
    const std::string cls = api.ClassName(w);
    return std::equal(cls.begin(), cls.end(), std::begin(kToolbarClass), std::end(kToolbarClass) - 1,
                      [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); });
}

bool AskButtonHidden(WindowApi& api, Hwnd toolbar, std::int32_t id, bool& hidden)
{
    std::intptr_t answer = 0;
    const bool answered = api.SendMessageA(toolbar, tb::IsButtonHidden, IdParam(id), 0, answer);
    hidden = IsHiddenAnswer(answer);
    return answered;
}

bool SendAtOnce(WindowApi& api, Hwnd w, std::uint32_t msg, std::uintptr_t wParam, std::intptr_t& result)
{
    result = 0;
    // Abort-if-hung gives up at once only on a window the system already counts hung; a
    // shell that is merely busy would otherwise hold us for the whole bound.
    return !api.IsHungAppWindow(w) && api.SendMessageWithin(w, msg, wParam, 0, kAtOnceMs, result);
}

bool AskButtonHiddenAtOnce(WindowApi& api, Hwnd toolbar, std::int32_t id, bool& hidden)
{
    std::intptr_t answer = 0;
    const bool answered = SendAtOnce(api, toolbar, tb::IsButtonHidden, IdParam(id), answer);
    hidden = IsHiddenAnswer(answer);
    return answered;
}

bool SetButtonShown(WindowApi& api, Hwnd toolbar, std::int32_t id, bool show)
{
    // After a shell restart the handle may name some other window, or none.
    if (!IsToolbarWindow(api, toolbar))
        return false;
    for (int requests = 0;; ++requests) {
        bool hidden = false;
        if (!AskButtonHidden(api, toolbar, id, hidden))
            return false;
        if (hidden != show)
            return true;   // the button is as asked
        if (requests == kMaxHideRequests)
            return true;   // it refuses; asking again would not change its mind
        std::intptr_t ignored = 0;
        if (!api.SendMessageA(toolbar, tb::HideButton, IdParam(id), show ? 0 : 1, ignored))
            return false;
    }
}

TTrayToolbarReader::TTrayToolbarReader(WindowApi& windows, ProcessApi& processes, IdentityApi* identity)
    : windows_(windows), processes_(processes), identity_(identity)
{
}

bool TTrayToolbarReader::Read(Hwnd toolbar, const Hooks& hooks, std::vector<TrayButton>& out)
{
    // The buffer owns the process handle too: both are let go on every way out.
    std::unique_ptr<RemoteBuffer> buffer =
        processes_.ReserveRemoteBuffer(windows_.GetWindowProcessId(toolbar), kSharedBufferSize);
    if (!buffer)
        return true;
    std::intptr_t count = 0;
    if (!windows_.SendMessageA(toolbar, tb::ButtonCount, 0, 0, count))
        return false;
    count = std::clamp<std::intptr_t>(count, 0, kMaxButtons);

    // Per button the record, a message and a read, which also says whether the button is
    // hidden; the text, one more message and a read, only for a button new to the caller.
    for (std::intptr_t index = 0; index < count; ++index) {
        Record record;
        if (!ReadRecord(toolbar, *buffer, index, record))
            return false;
        const bool listed = hooks.listed && hooks.listed(record.id);
        // A hidden button nobody lists was hidden by its own program, or by the system.
        if (record.hidden && !listed)
            continue;
        TrayButton button;
        button.id = record.id;
        button.hidden = record.hidden;
        if (!listed && !ReadText(toolbar, *buffer, record.id, button.text))
            return false;
        if (identity_)
            button.owner = OwnerOf(*buffer, record.data);
        out.push_back(std::move(button));
    }
    return true;
}

std::optional<std::string> TTrayToolbarReader::ReadOwner(Hwnd toolbar, std::int32_t id)
{
    if (!identity_ || !IsToolbarWindow(windows_, toolbar))
        return std::nullopt;
    std::unique_ptr<RemoteBuffer> buffer =
        processes_.ReserveRemoteBuffer(windows_.GetWindowProcessId(toolbar), kSharedBufferSize);
    std::intptr_t index = -1;
    Record record;
    if (!buffer || !windows_.SendMessageA(toolbar, tb::CommandToIndex, IdParam(id), 0, index) || index < 0 ||
        !ReadRecord(toolbar, *buffer, index, record) || record.id != id)
        return std::nullopt;
    return OwnerOf(*buffer, record.data);
}

bool TTrayToolbarReader::ReadRecord(Hwnd toolbar, RemoteBuffer& buffer, std::intptr_t index, Record& record)
{
    const RecordLayout layout = buffer.PointerSize() == 8 ? kRecord64 : kRecord32;
    // Zeroed first: the toolbar's answer is not examined, and a button gone meanwhile must
    // not read as the previous one.
    std::uint8_t bytes[kRecord64.size]{};
    buffer.Write(0, bytes, layout.size);
    std::intptr_t ignored = 0;
    if (!windows_.SendMessageA(toolbar, tb::GetButton, static_cast<std::uintptr_t>(index),
                               static_cast<std::intptr_t>(buffer.Address()), ignored))
        return false;
    if (!buffer.Read(0, bytes, layout.size))
        std::memset(bytes, 0, sizeof bytes);
    std::memcpy(&record.id, bytes + kIdCommandOffset, sizeof record.id);
    record.hidden = (bytes[kStateOffset] & kStateHidden) != 0;
    // Little-endian: a 4-byte field lands in the low half.
    record.data = 0;
    std::memcpy(&record.data, bytes + layout.dataOffset, buffer.PointerSize() == 8 ? 8 : 4);
    return true;
}

bool TTrayToolbarReader::ReadText(Hwnd toolbar, RemoteBuffer& buffer, std::int32_t id, std::string& text)
{
    // One message that carries its capacity. Asked for the length first and for the text in
    // a second message, a tip that grew in between would run past the buffer, into the
    // shell's own memory. By identifier, as every other question about a button: by index,
    // a button removed meanwhile would hand us its neighbour's text.
    const bool wide = buffer.PointerSize() == 8;
    const RequestLayout layout = wide ? kRequest64 : kRequest32;
    // Zeroed, so no field we leave out says anything; the text's first unit is zeroed with
    // it, so that a toolbar that copies no text leaves no other button's behind.
    std::uint8_t request[kTextOffset - kRequestOffset + sizeof(char16_t)]{};
    Put<std::uint32_t>(request, 0, static_cast<std::uint32_t>(layout.size));
    Put<std::uint32_t>(request, 4, kRequestText);
    // Our buffer lies below 4 GB in a 64-bit shell too; little-endian, the low half comes first.
    const std::uint64_t textAddress = buffer.Address() + kTextOffset;
    std::memcpy(request + layout.textOffset, &textAddress, wide ? 8 : 4);
    Put<std::int32_t>(request, layout.capacityOffset, kTextCapacity);
    if (!buffer.Write(kRequestOffset, request, sizeof request))
        return true;
    // The answer is the button's index, or -1 when there is no such button (nothing written).
    std::intptr_t index = -1;
    if (!windows_.SendMessageA(toolbar, tb::GetButtonInfoW, IdParam(id),
                               static_cast<std::intptr_t>(buffer.Address() + kRequestOffset), index))
        return false;
    char16_t units[kTextLength]{};
    if (index >= 0 && buffer.Read(kTextOffset, units, sizeof units)) {
        std::u16string_view written(units, kTextLength);
        text = Utf8FromUtf16(written.substr(0, written.find(u'\0')));
    }
    return true;
}

std::string TTrayToolbarReader::OwnerOf(RemoteBuffer& buffer, std::uint64_t data)
{
    // The shell's record for a button starts with the window that put the icon there.
    std::uint64_t window = 0;
    if (data == 0 || !buffer.ReadAt(data, &window, buffer.PointerSize() == 8 ? 8 : 4))
        return {};
    // Window handles have 32 significant bits, in a 64-bit process too.
    const auto owner = static_cast<Hwnd>(static_cast<std::uint32_t>(window));
    const std::uint32_t pid = owner ? windows_.GetWindowProcessId(owner) : 0;
    if (pid == 0)
        return {};
    auto [known, isNew] = owners_.try_emplace(pid);
    // A process we may not ask (access denied, or gone) gives no owner: the icon is then
    // known by its text alone.
    if (isNew)
        known->second = identity_->ProcessImagePath(pid).value_or("");
    return known->second;
}

} // namespace tw
