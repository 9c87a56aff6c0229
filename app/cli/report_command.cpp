// norvanectl report: the network report as HTML (standard output or a file) or PDF.
#include <cctype>
#include <ctime>
#include <iostream>

#include "cli_network_file.h"
#include "commands.h"
#include "report/atomic_file.h"
#include "report/live_survey.h"
#include "report/network_report.h"
#include "services/global.h"
#include "terminal_host.h"
#include "terminal_session.h"
#ifdef NORVANE_WITH_PDF
#include "ui/report/report_pdf.h"
#endif

namespace {

std::string Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M", &local);
    return buffer;
}

bool EndsWith(const std::string& text, const std::string& end) {
    if (text.size() < end.size()) return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[text.size() - end.size() + i])) != end[i]) return false;
    }
    return true;
}

}  // namespace

bool IsPdfReportPath(const std::string& path) { return EndsWith(path, ".pdf"); }
bool IsHtmlReportPath(const std::string& path) { return EndsWith(path, ".html") || EndsWith(path, ".htm"); }

int ReportNetwork(const ReportOptions& options) {
#ifndef NORVANE_WITH_PDF
    if (options.output && IsPdfReportPath(*options.output)) {
        std::cerr << "norvanectl: this norvanectl was built without PDF output; write .html instead" << std::endl;
        return kExitUsage;
    }
#endif
    CGlobal& global = GetGlobal();
    // Live reports talk to the adapters; their failures go to stderr, not into the report.
    TerminalHost host(std::cerr);
    std::unique_ptr<TerminalSession> session;
    if (options.live) session = std::make_unique<TerminalSession>(global, &host);
    std::unique_ptr<FileNetwork> network = ReadCommandNetwork(options.networkFile, options.live);
    if (!network) return kExitUsage;

    ReportInput input;
    input.network = &network->Network();
    input.networkFile = options.networkFile;
    input.created = Now();
    input.text = [&global](uint32_t id) { return global.LoadText(id); };
    bool partial = false;
    if (options.live) {
        input.live = SurveyNetwork(network->Network(), SurveyOptions{});
        for (const auto& [key, slave] : *input.live) partial = partial || !slave.answered;
    }
    const std::string html = BuildNetworkReport(input);

    if (!options.output) {
        std::cout << html << std::flush;
    } else {
        std::string bytes = html;
#ifdef NORVANE_WITH_PDF
        if (IsPdfReportPath(*options.output)) {
            PdfReport pdf = RenderReportPdf(html);
            if (pdf.pages == 0) {
                std::cerr << "norvanectl: the PDF could not be made" << std::endl;
                return kExitFailed;
            }
            bytes = std::move(pdf.bytes);
        }
#endif
        std::string error;
        if (!WriteFileWhole(*options.output, bytes, error)) {
            std::cerr << "norvanectl: cannot write report '" << *options.output << "': " << error << std::endl;
            return kExitFailed;
        }
    }
    if (partial) {
        std::cerr << "norvanectl: partial report: some devices did not answer" << std::endl;
        return kExitFailed;
    }
    return kExitOk;
}
