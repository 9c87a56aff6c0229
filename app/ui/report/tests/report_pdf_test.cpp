// The network report as PDF: one PDF page per laid-out page, more slaves give more pages.
#include <gtest/gtest.h>

#include <regex>

#include "network/server_dev.h"
#include "network/slave_dev.h"
#include "recording_services.h"
#include "report/file_network.h"
#include "report/network_report.h"
#include "testing/build_paths.h"
#include "ui/report/report_pdf.h"

namespace {

// Page objects of a PDF ("/Type /Page", not "/Type /Pages").
int PdfPages(const std::string& pdf) {
    static const std::regex page("/Type\\s*/Page(?![a-zA-Z])");
    return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page), std::sregex_iterator()));
}

std::string DemoReport(int copies) {
    FileNetwork network(testkit::SourceDir() + "/resources/demo/demo.kld");
    EXPECT_TRUE(network.Readable());
    // More slaves: copies of the demo's slaves at further addresses.
    CServerDev* master = network.Network().Masters().front();
    const int count = master->GetChildCount();
    int mac = 10;
    for (int c = 1; c < copies; ++c) {
        for (int i = 0; i < count && mac < 64; ++i) {
            auto copy = std::make_unique<CSlaveDev>(*master->GetChild(i));
            copy->SetAddress(mac++);
            master->AddChild(std::move(copy));
        }
    }
    ReportInput input;
    input.network = &network.Network();
    return BuildNetworkReport(input);
}

TEST(ReportPdf, PagesOfTheDemoReport) {
    RecordingServices services;
    netsvc::ScopedServices scoped(services);
    const PdfReport small = RenderReportPdf(DemoReport(1));
    ASSERT_GE(small.pages, 1);
    EXPECT_EQ(small.bytes.rfind("%PDF-", 0), 0u);
    EXPECT_EQ(PdfPages(small.bytes), small.pages);

    const PdfReport large = RenderReportPdf(DemoReport(9));
    EXPECT_GT(large.pages, small.pages);
    EXPECT_EQ(PdfPages(large.bytes), large.pages);
}

}  // namespace
