// The program's resource managers (strings for now). CXTPResourceManager serves the built-in
// resources compiled into the program; CXTPResourceManagerXMLEx serves a language file and
// falls back to the built-in resources for whatever the file does not hold. One manager is
// installed for the whole program; it is used from the user-interface thread only.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>

class CXTPResourceManager {
public:
    CXTPResourceManager() = default;
    CXTPResourceManager(const CXTPResourceManager&) = delete;
    CXTPResourceManager& operator=(const CXTPResourceManager&) = delete;
    virtual ~CXTPResourceManager();

    // The text of string `id` into `text`; false (text untouched) when there is none.
    virtual bool LoadString(std::string& text, uint32_t id);
    virtual void Close() {}
    // Whether the manager can be installed; the built-in one always can.
    virtual bool IsValid() const { return true; }
};

class CXTPResourceManagerXMLEx : public CXTPResourceManager {
public:
    // Loads the language file; the manager is valid when the file is an XML document with
    // the root element "resource".
    explicit CXTPResourceManagerXMLEx(const std::string& path);
    ~CXTPResourceManagerXMLEx() override;

    bool LoadString(std::string& text, uint32_t id) override;
    // Releases the document and clears the valid flag.
    void Close() override;
    bool IsValid() const override { return valid_ != 0; }

    // Parses a document held in memory (the language file's content).
    static std::unique_ptr<CXTPResourceManagerXMLEx> FromText(std::string_view xml);

private:
    CXTPResourceManagerXMLEx() = default;
    void LoadDocument(std::string_view bytes);

    int32_t valid_ = 0;
    bool hasRoot_ = false;
    std::map<uint32_t, std::string> strings_;  // string[@id = "%i"] -> "value"
};

// The built-in resource document (UTF-8 XML, root "resource").
std::string_view BuiltinResourceXml();
// The strings of the built-in document by id.
const std::map<uint32_t, std::string>& BuiltinStrings();

// The installed manager (the built-in one until a language is installed).
CXTPResourceManager& XTPResourceManager();
// Installs `manager` when it is valid and returns true; otherwise keeps the current one.
bool SetResourceManager(std::unique_ptr<CXTPResourceManager> manager);
// Goes back to the built-in resources.
void ResetResourceManager();
