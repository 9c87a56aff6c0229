#include "report/network_diff.h"

#include <map>

namespace {

std::string Quoted(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '"' || c == '\\') (out += '\\') += c;
        else out += c;
    }
    return out + "\"";
}

// Numbers as they are, any other value in quotes (so that blanks and empty texts show).
std::string ValueText(const std::string& value) {
    if (!value.empty() && value.size() < 12 && value.find_first_not_of("0123456789") == std::string::npos) return value;
    return Quoted(value);
}

std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Field changes, removals and additions between two field lists, keyed by field name (the group
// and item fields of a slave differ in number between files).
void DiffFields(const std::string& subject, const std::vector<ListedField>& before,
                const std::vector<ListedField>& after, std::vector<std::string>& out) {
    std::map<std::string, const ListedField*> old;
    for (const ListedField& f : before) old[f.key] = &f;
    std::map<std::string, bool> present;
    for (const ListedField& f : after) {
        present[f.key] = true;
        auto it = old.find(f.key);
        if (it == old.end()) {
            out.push_back(subject + ": " + f.words + " added, " + ValueText(f.value));
        } else if (it->second->value != f.value) {
            out.push_back(subject + ": " + f.words + " changed from " + ValueText(it->second->value) + " to " +
                          ValueText(f.value));
        }
    }
    for (const ListedField& f : before) {
        if (present.count(f.key) == 0) out.push_back(subject + ": " + f.words + " removed, was " + ValueText(f.value));
    }
}

std::string SlaveSubject(const ListedMaster& master, const ListedSlave& slave) {
    return "slave " + slave.Key() + " " + Quoted(slave.name) + " of master " + master.Key();
}

void DiffSlaves(const ListedMaster& before, const ListedMaster& after, std::vector<std::string>& out) {
    std::map<std::string, const ListedSlave*> old;
    for (const ListedSlave& s : before.slaves) old[s.Key()] = &s;
    std::map<std::string, bool> present;
    for (const ListedSlave& s : after.slaves) {
        present[s.Key()] = true;
        auto it = old.find(s.Key());
        if (it == old.end()) {
            out.push_back(SlaveSubject(after, s) + ": added");
        } else {
            DiffFields(SlaveSubject(after, s), it->second->fields, s.fields, out);
        }
    }
    for (const ListedSlave& s : before.slaves) {
        if (present.count(s.Key()) == 0) out.push_back(SlaveSubject(before, s) + ": removed");
    }
}

}  // namespace

std::vector<std::string> DiffNetworks(const NetworkListing& before, const NetworkListing& after) {
    std::vector<std::string> out;
    std::map<std::string, const ListedMaster*> old;
    for (const ListedMaster& m : before.masters) old[m.Key()] = &m;
    std::map<std::string, bool> present;
    for (const ListedMaster& m : after.masters) {
        present[m.Key()] = true;
        auto it = old.find(m.Key());
        if (it == old.end()) {
            out.push_back("master " + m.Key() + ": added (" + Count(m.slaves.size(), "slave", "slaves") + ")");
            continue;
        }
        DiffFields("master " + m.Key(), it->second->fields, m.fields, out);
        DiffSlaves(*it->second, m, out);
    }
    for (const ListedMaster& m : before.masters) {
        if (present.count(m.Key()) == 0) {
            out.push_back("master " + m.Key() + ": removed (" + Count(m.slaves.size(), "slave", "slaves") + ")");
        }
    }
    return out;
}
