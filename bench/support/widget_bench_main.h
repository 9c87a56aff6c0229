// The body of main() for the benchmarks that need the Qt widgets (offscreen unless a display is
// set): a program folder of its own made before anything asks CGlobal, the application object,
// then the benchmarks; the network is cleared at the end. Header only: bench_support itself
// stays free of Qt.
#pragma once

#include <benchmark/benchmark.h>

#include <QApplication>

#include <functional>
#include <string>

#include "network/network.h"
#include "support/program_home.h"

namespace bench {

// prepare runs once the application object exists, before the first benchmark.
inline int RunWidgetBenchmarks(int argc, char** argv, const std::string& homePrefix,
                               const std::function<void(const ProgramHome&)>& prepare = {}) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    ProgramHome home(homePrefix);
    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    if (prepare) prepare(home);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    GetNetwork().ClearNetwork();
    return 0;
}

}  // namespace bench
