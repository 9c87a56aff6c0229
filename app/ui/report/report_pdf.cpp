#include "ui/report/report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QGuiApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>
#include <memory>

namespace {

constexpr int kResolution = 300;
constexpr double kMarginMm = 15.0;

// Qt's own notes about the environment (no runtime folder and the like) are not the command's
// output; only critical messages pass.
QtMessageHandler previousHandler = nullptr;
void QuietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if ((type == QtCriticalMsg || type == QtFatalMsg) && previousHandler != nullptr) {
        previousHandler(type, context, message);
    }
}

// A Qt application on the offscreen platform for a process that has none (the command line):
// fonts need one. Qt's notes are kept quiet while it lives.
class TemporaryApplication {
public:
    TemporaryApplication() {
        if (QCoreApplication::instance() != nullptr) return;
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        previousHandler = qInstallMessageHandler(QuietHandler);
        installed_ = true;
        application_ = std::make_unique<QGuiApplication>(argc_, argv_);
    }
    ~TemporaryApplication() {
        application_.reset();
        if (installed_) qInstallMessageHandler(previousHandler);
    }
    TemporaryApplication(const TemporaryApplication&) = delete;
    TemporaryApplication& operator=(const TemporaryApplication&) = delete;

private:
    bool installed_ = false;
    int argc_ = 1;
    char name_[8] = "norvane";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QGuiApplication> application_;
};

}  // namespace

PdfReport RenderReportPdf(const std::string& html) {
    TemporaryApplication application;
    PdfReport result;
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        if (!buffer.open(QIODevice::WriteOnly)) return result;
        QPdfWriter writer(&buffer);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm), QPageLayout::Millimeter);
        writer.setCreator(QStringLiteral("Norvane"));

        QTextDocument document;
        // Lay out for the writer's resolution, so that point sizes keep their size on paper.
        document.documentLayout()->setPaintDevice(&writer);
        document.setHtml(QString::fromStdString(html));
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        const QRectF page(QPointF(0, 0), writer.pageLayout().paintRectPixels(kResolution).size());
        document.setPageSize(page.size());
        const int pages = document.pageCount();

        QPainter painter;
        if (!painter.begin(&writer)) return result;
        for (int i = 0; i < pages; ++i) {
            if (i > 0) writer.newPage();
            painter.save();
            painter.translate(0, -i * page.height());
            document.drawContents(&painter, page.translated(0, i * page.height()));
            painter.restore();
        }
        if (!painter.end()) return result;
        result.pages = pages;
    }
    result.bytes.assign(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return result;
}
