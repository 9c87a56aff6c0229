// The network report as PDF on A4 pages, laid out from its HTML by Qt's text document.
#pragma once

#include <string>

struct PdfReport {
    std::string bytes;  // the PDF file
    int pages = 0;  // 0: nothing could be made
};

// Renders the report. Works without a window: when the process has no Qt application yet, one
// on the offscreen platform is made for the rendering.
PdfReport RenderReportPdf(const std::string& html);
