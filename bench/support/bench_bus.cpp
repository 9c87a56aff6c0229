#include "support/bench_bus.h"

#include <sstream>

namespace bench {

std::string CountingBusText(uint32_t slaves) {
    std::ostringstream out;
    out << "<bus name=\"bench\">\n";
    for (uint32_t mac = 1; mac <= slaves; ++mac) {
        out << "<slave mac=\"" << mac << "\" name=\"s" << mac << "\">"
            << "<identity vendor-id=\"1250\" device-type=\"7\" product-code=\"101\" product-name=\"Bench " << mac
            << "\"/><poll input=\"4\" output=\"2\" inputs=\"counter\"/></slave>\n";
    }
    out << "</bus>\n";
    return out.str();
}

}  // namespace bench
