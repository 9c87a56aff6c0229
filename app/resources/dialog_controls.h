// The controls of an open dialog, addressed by their numeric control ids. Dialog rules in the
// core are written against this interface; the template dialog implements it with widgets and
// tests implement it with a map. Texts are UTF-8. Calls for an id the dialog does not have
// do nothing and read as empty, unchecked, disabled, hidden or index -1.
#pragma once

#include <string>
#include <string_view>
#include <vector>

class IDialogControls {
public:
    virtual ~IDialogControls() = default;

    virtual bool HasControl(int id) const = 0;

    // Caption of a button or static, content of an edit, current text of a combo box.
    virtual std::string GetText(int id) const = 0;
    virtual void SetText(int id, std::string_view text) = 0;

    // Check boxes and radio buttons.
    virtual bool IsChecked(int id) const = 0;
    virtual void SetChecked(int id, bool checked) = 0;

    virtual bool IsEnabled(int id) const = 0;
    virtual void SetEnabled(int id, bool enabled) = 0;
    virtual bool IsShown(int id) const = 0;
    virtual void SetShown(int id, bool shown) = 0;

    // Combo boxes, list boxes and list views: the item texts and the current item (-1: none).
    virtual std::vector<std::string> Items(int id) const = 0;
    virtual void SetItems(int id, const std::vector<std::string>& items) = 0;
    virtual int CurrentIndex(int id) const = 0;
    virtual void SetCurrentIndex(int id, int index) = 0;
};
