#include "ui/frame/report_export.h"

#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>

#include "network/network.h"
#include "report/atomic_file.h"
#include "report/network_report.h"
#include "report/report_texts.h"
#include "services/global.h"
#include "ui/report/report_pdf.h"
#include "ui/widgets/ui_text.h"

bool WriteNetworkReport(const NetworkRegistry& network, const QString& path, QString& error) {
    ReportInput input;
    input.network = &network;
    input.created = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")).toStdString();
    input.text = [](uint32_t id) { return GetGlobal().LoadText(id); };
    std::string bytes = BuildNetworkReport(input);
    if (path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive)) {
        PdfReport pdf = RenderReportPdf(bytes);
        if (pdf.pages == 0) {
            error = LoadText(report_text::kWriteFailed).replace(QStringLiteral("%s"), path);
            return false;
        }
        bytes = std::move(pdf.bytes);
    }
    std::string reason;
    if (!WriteFileWhole(QFile::encodeName(path).toStdString(), bytes, reason)) {
        error = LoadText(report_text::kWriteFailed)
                    .replace(QStringLiteral("%s"), path + QStringLiteral(" (") + QString::fromStdString(reason) + ")");
        return false;
    }
    return true;
}

void ExportReportWithDialog(QWidget* parent) {
    const QString html = LoadText(report_text::kFilterHtml);
    const QString pdf = LoadText(report_text::kFilterPdf);
    QFileDialog dialog(parent, LoadText(report_text::kExportTitle), QString(), html + QStringLiteral(";;") + pdf);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QStringLiteral("html"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, pdf](const QString& filter) {
        dialog.setDefaultSuffix(filter == pdf ? QStringLiteral("pdf") : QStringLiteral("html"));
    });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString error;
    if (!WriteNetworkReport(GetNetwork(), dialog.selectedFiles().constFirst(), error)) {
        GetGlobal().ShowMessageBox(0, "%s", error.toUtf8().constData());
    }
}
