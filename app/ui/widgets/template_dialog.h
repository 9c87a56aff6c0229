// A dialog built at run time from a dialog template of the resource manager: every control is
// a child widget placed in dialog units of the template's font, with its decimal control id as
// objectName. Behaviour code finds controls by id, directly or through IDialogControls.
#pragma once

#include <QDialog>
#include <QHash>
#include <QPointer>
#include <cstdint>
#include <vector>

#include "resources/dialog_controls.h"
#include "resources/resource_manager.h"

class TemplateDialog : public QDialog, public IDialogControls {
    Q_OBJECT
public:
    // Builds the dialog from template `templateId` of the installed manager. When the
    // language template lacks one of `requiredIds`, the built-in template is used and one
    // warning log line names the dialog and the missing ids. Push buttons with id 1 accept
    // and id 2 reject the dialog.
    explicit TemplateDialog(uint32_t templateId, QWidget* parent = nullptr, std::vector<uint16_t> requiredIds = {});
    ~TemplateDialog() override;

    uint32_t TemplateId() const { return templateId_; }
    // False when no template of the id exists (the dialog is then empty).
    bool HasTemplate() const { return hasTemplate_; }
    // The first control with `id`, or nullptr.
    QWidget* Control(int id) const;
    template <class W>
    W* ControlAs(int id) const {
        return qobject_cast<W*>(Control(id));
    }
    // Pixels of `du` horizontal / vertical dialog units in this dialog's font.
    int DialogUnitsToPixelsX(int du) const;
    int DialogUnitsToPixelsY(int du) const;
    // Makes `extra` pixels of room at x (a negative value takes room back): the controls that
    // start at or right of x move, those across x grow, and the dialog grows with them.
    void WidenAt(int x, int extra);

    // ---- IDialogControls ----
    bool HasControl(int id) const override;
    std::string GetText(int id) const override;
    void SetText(int id, std::string_view text) override;
    bool IsChecked(int id) const override;
    void SetChecked(int id, bool checked) override;
    bool IsEnabled(int id) const override;
    void SetEnabled(int id, bool enabled) override;
    bool IsShown(int id) const override;
    void SetShown(int id, bool shown) override;
    std::vector<std::string> Items(int id) const override;
    void SetItems(int id, const std::vector<std::string>& items) override;
    int CurrentIndex(int id) const override;
    void SetCurrentIndex(int id, int index) override;

private:
    void Build(const DialogTemplate& dialogTemplate);

    uint32_t templateId_ = 0;
    bool hasTemplate_ = false;
    int baseUnitX_ = 6;  // average character width of the dialog font, pixels
    int baseUnitY_ = 13;  // character height of the dialog font, pixels
    QHash<int, QPointer<QWidget>> controls_;  // first control of each id
};
