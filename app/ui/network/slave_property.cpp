#include "ui/network/slave_property.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFileDialog>
#include <QMessageBox>

#include <algorithm>
#include <vector>

#include "services/global.h"
#include "ui/monitor/param_dlg.h"
#include "ui/widgets/ui_text.h"

namespace {

constexpr uint16_t kRequired[] = {3339, 17005, 17007, 17008, 17009, 3344, 3345, 3346, 3347, 3348, 3349, 3350, 3351,
                                  3353, 3356,  3357,  3359,  3360,  3408, 3409, 3410, 3411, 3412, 3455, 3456};

}  // namespace

SlavePropertyRules::Context CSlaveProperty::MakeContext() {
    SlavePropertyRules::Context context;
    context.eds = &GetGlobal().Eds();
    context.message = [this](std::string_view text) { ShowText(text); };
    context.pickEdsFile = [this] { return PickEdsFile(); };
    // Captions of the current language (strings 17011 to 17014); the built-in ones otherwise.
    auto caption = [](uint32_t id, std::string& target) {
        const QString text = LoadText(id);
        if (!text.isEmpty()) target = text.toStdString();
    };
    caption(17011, context.slaveAddressLabel);
    caption(17012, context.startAddressLabel);
    caption(17013, context.heartbeatLabel);
    caption(17014, context.cycleTimeLabel);
    return context;
}

CSlaveProperty::CSlaveProperty(CServerDev* master, const std::string& edsName, QWidget* parent)
    : TemplateDialog(kTemplateId, parent, std::vector<uint16_t>(std::begin(kRequired), std::end(kRequired))) {
    setObjectName(QString::number(kTemplateId));
    rules_ = std::make_unique<SlavePropertyRules>(*this, MakeContext(), master, edsName);
    opened_ = rules_->Open();
    Bind();
}

CSlaveProperty::CSlaveProperty(CSlaveDev* slave, QWidget* parent)
    : TemplateDialog(kTemplateId, parent, std::vector<uint16_t>(std::begin(kRequired), std::end(kRequired))) {
    setObjectName(QString::number(kTemplateId));
    setWindowTitle(LoadText(resource_ids::kTextSlaveDialogTitle));
    rules_ = std::make_unique<SlavePropertyRules>(*this, MakeContext(), slave);
    opened_ = rules_->Open();
    // "参数配置…" opens the parameter editor for the slave being edited.
    if (auto* parameters = ControlAs<QAbstractButton>(SlavePropertyRules::kParameters)) {
        parameters->setEnabled(true);
        connect(parameters, &QAbstractButton::clicked, this, [this, slave] {
            CParamDlg editor(*slave, this);
            editor.exec();
        });
    }
    Bind();
}

CSlaveProperty::~CSlaveProperty() = default;

void CSlaveProperty::Bind() {
    using R = SlavePropertyRules;
    auto onCombo = [this](int id, auto handler) {
        if (auto* combo = ControlAs<QComboBox>(id)) connect(combo, &QComboBox::activated, this, handler);
    };
    auto onClick = [this](int id, auto handler) {
        if (auto* button = ControlAs<QAbstractButton>(id)) connect(button, &QAbstractButton::clicked, this, handler);
    };
    onCombo(R::kEdsList, [this] { rules_->OnEdsSelected(); });
    onCombo(R::kStartList, [this] { rules_->OnStartChanged(); });
    onClick(R::kBatch, [this] { rules_->OnBatchToggled(); });
    onClick(R::kAckCheck, [this] { rules_->OnAckCheckToggled(); });
    onClick(R::kDefaultIo, [this] { rules_->OnDefaultIo(); });
    for (const R::ConnectionControls& k : R::kConnections) {
        const int check = k.check;
        onClick(check, [this, check] { rules_->OnConnectionToggled(check); });
        for (int list : {k.inputList, k.outputList}) onCombo(list, [this, list] { rules_->OnEntryChanged(list); });
    }
    // The information texts below the background-poll group are not shown: the dialog ends 3
    // pixels below that group.
    if (QWidget* group = Control(R::kBackgroundGroup)) {
        const int height = group->geometry().bottom() + 1 + 3;
        setFixedHeight(height);
        // What lies below is hidden too, so neither a screen reader nor the tab order reaches it.
        for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
            if (child->geometry().top() >= height) child->hide();
        }
    }
}

void CSlaveProperty::SetItems(int id, const std::vector<std::string>& items) {
    TemplateDialog::SetItems(id, items);
    if (id == SlavePropertyRules::kEdsList) {
        FitLists();
        return;
    }
    for (const SlavePropertyRules::ConnectionControls& k : SlavePropertyRules::kConnections) {
        if (id == k.inputList || id == k.outputList) {
            FitLists();
            return;
        }
    }
}

void CSlaveProperty::FitLists() {
    // Each column of lists (the EDS list; the connections' input lists; their output lists) is
    // as wide as its longest entry, never narrower than the template made it and at most twice
    // as wide as that, or 120 dialog units (a longer name is cut, whole in the tool tip); the
    // controls right of it make room.
    for (int column = 0; column < 3; ++column) {
        std::vector<QComboBox*> lists;
        if (column == 0) {
            if (auto* combo = ControlAs<QComboBox>(SlavePropertyRules::kEdsList)) lists.push_back(combo);
        } else {
            for (const SlavePropertyRules::ConnectionControls& k : SlavePropertyRules::kConnections) {
                if (auto* combo = ControlAs<QComboBox>(column == 1 ? k.inputList : k.outputList))
                    lists.push_back(combo);
            }
        }
        if (lists.empty()) continue;
        if (templateListWidth_[column] == 0) templateListWidth_[column] = lists.front()->width();
        const int most = std::max(2 * templateListWidth_[column], DialogUnitsToPixelsX(120));
        int wanted = templateListWidth_[column];
        for (QComboBox* combo : lists) {
            combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
            wanted = std::max(wanted, std::min(most, combo->sizeHint().width()));
        }
        const int have = lists.front()->width();
        if (wanted == have) continue;
        const int right = lists.front()->geometry().right() + 1;
        WidenAt(right, wanted - have);
        for (QComboBox* combo : lists) combo->resize(wanted, combo->height());
    }
}

int CSlaveProperty::Run() { return opened_ ? exec() : QDialog::Rejected; }

void CSlaveProperty::accept() {
    if (rules_->Ok() == SlavePropertyRules::OkResult::kAccepted) TemplateDialog::accept();
}

void CSlaveProperty::ShowText(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
                    isVisible() ? this : parentWidget());
    box.exec();
}

std::optional<std::string> CSlaveProperty::PickEdsFile() {
    QFileDialog dialog(this, LoadText(resource_ids::kTextChooseDeviceNetEds), QString(),
                       FileFilter(resource_ids::kTextEdsFilter, "*.eds *.EDS"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first().toStdString();
}
