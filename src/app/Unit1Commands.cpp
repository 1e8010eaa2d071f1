// Commands another start hands the running copy ("Tarnwick.exe /hide" from a script or a
// macro key): each is carried out as its hot key or button would, and answered once done.
#include "app/Unit1.h"

#include "platform/ui/Controls.h"

#include <optional>
#include <utility>

namespace tw {

LRESULT TFrmAmbler::OnCopyData(const COPYDATASTRUCT* data)
{
    // Any program of the session may send us this message: what it carries is read within
    // the size it gives, and anything but one of our commands is left unanswered.
    const std::optional<StartSwitch> command =
        data ? ReadCommand(data->dwData, data->lpData, data->cbData) : std::nullopt;
    if (!command)
        return 0;
    // Work on the lists is waiting on another program; the command runs once it is done.
    if (QueueWhileBusy(*command))
        return kCommandTaken;
    // The close may ask the user something, and waits for the file commands: the start is
    // answered first and watches the process end instead.
    if (*command == StartSwitch::Quit) {
        ::ReplyMessage(kCommandTaken);
        OnClose();
        return kCommandTaken;
    }
    if (::InSendMessage())
        answerOwed_ = kCommandTaken;
    ui::Guarded(hwnd_, [&] { RunCommand(*command); });
    AnswerWaitingStart();
    return kCommandTaken;
}

bool TFrmAmbler::QueueWhileBusy(StartSwitch command)
{
    if (busy_ == 0)
        return false;
    // As many as a script could mean; a flood from another program is not kept.
    constexpr std::size_t kMaxPendingCommands = 8;
    if (pendingCommands_.size() < kMaxPendingCommands)
        pendingCommands_.push_back(command);
    return true;
}

void TFrmAmbler::RunCommand(StartSwitch command)
{
    switch (command) {
    case StartSwitch::Hide: HideCheckedWindows(); break;
    case StartSwitch::Show: SetCheckedWindowsShown(true); break;
    case StartSwitch::HideFront: HideFrontWindow(); break;
    case StartSwitch::Toggle:
        if (AnyCheckedHiddenByUs())
            SetCheckedWindowsShown(true);
        else
            HideCheckedWindows();
        break;
    case StartSwitch::Quit: OnClose(); break;
    default: break;
    }
}

bool TFrmAmbler::AnyCheckedHiddenByUs()
{
    HWND lv = Control(ids::lstWindowName);
    for (int row = 0; row < ui::LvGetItemCount(lv); ++row) {
        TWindow* entry = ui::LvGetChecked(lv, row) ? RowWindow(row) : nullptr;
        if (entry && entry->HiddenByUs && !entry->WillBeVisible())
            return true;
    }
    return false;
}

void TFrmAmbler::AnswerWaitingStart()
{
    if (const std::optional<LRESULT> answer = std::exchange(answerOwed_, std::nullopt))
        ::ReplyMessage(*answer);
}

void TFrmAmbler::Tell(const wchar_t* text)
{
    // A message waits on the user; the start that sent the command must not wait with it.
    AnswerWaitingStart();
    ui::ShowMessage(hwnd_, text);
}

} // namespace tw
