// Dialog controls held in a map, for tests of dialog rules without a display. A control exists
// once it was added (Add) or set through the interface.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "resources/dialog_controls.h"

class FakeDialogControls : public IDialogControls {
public:
    struct Control {
        std::string text;
        bool checked = false;
        bool enabled = true;
        bool shown = true;
        std::vector<std::string> items;
        int current = -1;
    };

    Control& Add(int id) { return controls_[id]; }
    const Control* Find(int id) const {
        auto it = controls_.find(id);
        return it == controls_.end() ? nullptr : &it->second;
    }

    bool HasControl(int id) const override { return Find(id) != nullptr; }
    std::string GetText(int id) const override { return Find(id) ? Find(id)->text : std::string(); }
    void SetText(int id, std::string_view text) override { controls_[id].text = std::string(text); }
    bool IsChecked(int id) const override { return Find(id) && Find(id)->checked; }
    void SetChecked(int id, bool checked) override { controls_[id].checked = checked; }
    bool IsEnabled(int id) const override { return Find(id) && Find(id)->enabled; }
    void SetEnabled(int id, bool enabled) override { controls_[id].enabled = enabled; }
    bool IsShown(int id) const override { return Find(id) && Find(id)->shown; }
    void SetShown(int id, bool shown) override { controls_[id].shown = shown; }
    std::vector<std::string> Items(int id) const override {
        return Find(id) ? Find(id)->items : std::vector<std::string>{};
    }
    void SetItems(int id, const std::vector<std::string>& items) override {
        Control& c = controls_[id];
        c.items = items;
        c.current = -1;
    }
    int CurrentIndex(int id) const override { return Find(id) ? Find(id)->current : -1; }
    void SetCurrentIndex(int id, int index) override {
        Control& c = controls_[id];
        c.current = index >= 0 && index < static_cast<int>(c.items.size()) ? index : -1;
        if (c.current >= 0) c.text = c.items[static_cast<size_t>(c.current)];
    }

private:
    std::map<int, Control> controls_;
};
