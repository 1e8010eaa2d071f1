// The small dialog that turns a row's title into a rule: the user keeps the part of the
// title that names what to tick (a site, a document), and every window whose title holds it
// is ticked from then on.
#pragma once

#include "platform/ui/Form.h"

#include <optional>
#include <string>

namespace tw {

class TFrmTitleRule final : public ui::Form {
public:
    // Builds the dialog over `owner`, its edit holding `title`, hidden.
    void Create(HWND owner, const std::wstring& title);
    // Shown modally; the text left in the edit on OK, nothing on Cancel. OK is offered only
    // while the text holds something besides blanks.
    std::optional<std::wstring> Ask(HWND owner);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void edtTitleRuleChange();
    void BtnTitleRuleOkClick();

    std::optional<std::wstring> answer_;
};

} // namespace tw
