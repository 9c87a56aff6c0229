#include "ui/network/server_property.h"

#include <QComboBox>
#include <QMessageBox>
#include <QPushButton>

#include "network/network.h"
#include "services/global.h"
#include "ui/widgets/ui_text.h"

namespace {

constexpr uint16_t kRequired[] = {3301, 3302, 3303, 3304, 3391, 3306, 3309, 3327, 3328, 3329, 3331, 3300};

}  // namespace

CServerProperty::CServerProperty(int mode, CDeviceBase* selected, QWidget* parent)
    : TemplateDialog(kTemplateId, parent, std::vector<uint16_t>(std::begin(kRequired), std::end(kRequired))) {
    setObjectName(QString::number(kTemplateId));
    CGlobal& global = GetGlobal();
    ServerPropertyRules::Context context;
    context.deviceTypes = &global.DeviceTypes();
    context.baudNames = &global.BaudNames();
    context.network = &GetNetwork();
    context.selectedNode = selected;
    context.rememberedType = &global.Infobar().selDevType;
    context.rememberedBaud = &global.Infobar().selBaud;
    context.message = [this](std::string_view text) { ShowText(text); };
    rules_ = std::make_unique<ServerPropertyRules>(*this, std::move(context), mode);

    // Tool tips of the number fields: the string with the control's id, braces and \b as bold.
    for (int id : ServerPropertyRules::kNumberFields) {
        if (QWidget* field = Control(id)) {
            const QString markup = LoadText(static_cast<uint32_t>(id));
            if (markup.isEmpty()) continue;
            const std::string html = ServerPropertyRules::TooltipHtml(markup.toStdString());
            field->setToolTip(
                QStringLiteral("<table width=\"200\"><tr><td>%1</td></tr></table>").arg(QString::fromStdString(html)));
        }
    }

    rules_->Open();

    auto onActivated = [this](int id, auto handler) {
        if (auto* combo = ControlAs<QComboBox>(id)) connect(combo, &QComboBox::activated, this, handler);
    };
    onActivated(ServerPropertyRules::kDeviceType, [this] { rules_->OnDeviceTypeChanged(); });
    onActivated(ServerPropertyRules::kDeviceIndex, [this] { rules_->OnDeviceIndexChanged(); });
    onActivated(ServerPropertyRules::kChannel, [this] { rules_->OnChannelChanged(); });
    onActivated(ServerPropertyRules::kBaud, [this] { rules_->OnBaudOrAddressChanged(); });
    onActivated(ServerPropertyRules::kAddress, [this] { rules_->OnBaudOrAddressChanged(); });
    if (auto* ok = ControlAs<QPushButton>(kOkButton)) connect(ok, &QPushButton::clicked, this, &CServerProperty::OnOk);
}

CServerProperty::~CServerProperty() = default;

void CServerProperty::OnOk() {
    if (rules_->Ok() == ServerPropertyRules::OkResult::kAccepted) accept();
}

void CServerProperty::ShowText(std::string_view text) {
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())), QMessageBox::Ok,
                    isVisible() ? this : parentWidget());
    box.exec();
}
