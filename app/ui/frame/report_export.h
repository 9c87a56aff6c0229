// The File-menu command "导出报告…" (Export Report…): the report of the network in the window,
// written as a self-contained HTML file or as PDF.
#pragma once

#include <QString>

class NetworkRegistry;
class QWidget;

// Asks for the output file and writes the report of the program's network; a failure is shown
// in a message box.
void ExportReportWithDialog(QWidget* parent);

// Writes the report of `network` to `path`: PDF when the name ends in ".pdf", HTML otherwise. The
// file is replaced whole or left alone. On failure `error` holds the message to show.
bool WriteNetworkReport(const NetworkRegistry& network, const QString& path, QString& error);
