#include "report/network_export.h"

#include <cstdio>

namespace {

std::string EscapeLine(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        if (c == '\\') out += "\\\\";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else out += c;
    }
    return out;
}

std::string JsonString(const std::string& value) {
    std::string out = "\"";
    for (unsigned char c : value) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default:
                if (c < 0x20) {
                    char buffer[8];
                    std::snprintf(buffer, sizeof buffer, "\\u%04x", c);
                    out += buffer;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    return out + "\"";
}

void TextFields(std::string& out, const std::vector<ListedField>& fields) {
    for (const ListedField& f : fields) out += f.key + " = " + EscapeLine(f.value) + "\n";
}

void JsonFields(std::string& out, const std::vector<ListedField>& fields, const std::string& indent) {
    out += indent + "\"fields\": {";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        out += (i == 0 ? "\n" : ",\n") + indent + "  " + JsonString(fields[i].key) + ": " + JsonString(fields[i].value);
    }
    out += fields.empty() ? "}" : "\n" + indent + "}";
}

}  // namespace

std::string ExportText(const NetworkListing& listing) {
    std::string out;
    for (const ListedMaster& master : listing.masters) {
        if (!out.empty()) out += "\n";
        out += "[master " + master.Key() + "]\n";
        out += "DeviceType = " + std::to_string(master.deviceType) + "\n";
        out += "DeviceIndex = " + std::to_string(master.deviceIndex) + "\n";
        out += "Channel = " + std::to_string(master.channel) + "\n";
        TextFields(out, master.fields);
        for (const ListedSlave& slave : master.slaves) {
            out += "\n[slave " + master.Key() + " " + slave.Key() + "]\n";
            out += "Address = " + std::to_string(slave.mac) + "\n";
            TextFields(out, slave.fields);
        }
    }
    return out;
}

std::string ExportJson(const NetworkListing& listing) {
    std::string out = "{\n  \"masters\": [";
    for (std::size_t m = 0; m < listing.masters.size(); ++m) {
        const ListedMaster& master = listing.masters[m];
        out += m == 0 ? "\n" : ",\n";
        out += "    {\n";
        out += "      \"type\": " + std::to_string(master.deviceType) + ",\n";
        out += "      \"index\": " + std::to_string(master.deviceIndex) + ",\n";
        out += "      \"channel\": " + std::to_string(master.channel) + ",\n";
        JsonFields(out, master.fields, "      ");
        out += ",\n      \"slaves\": [";
        for (std::size_t s = 0; s < master.slaves.size(); ++s) {
            const ListedSlave& slave = master.slaves[s];
            out += s == 0 ? "\n" : ",\n";
            out += "        {\n          \"mac\": " + std::to_string(slave.mac) + ",\n";
            JsonFields(out, slave.fields, "          ");
            out += "\n        }";
        }
        out += master.slaves.empty() ? "]" : "\n      ]";
        out += "\n    }";
    }
    out += listing.masters.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}
