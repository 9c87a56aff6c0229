// The byte scanner: comments, quoting, escapes, joined strings, headers and entry ends.
#include <gtest/gtest.h>

#include <string>

#include "eds/eds_file.h"

using DeviceNetEDS::EntryMap;
using DeviceNetEDS::ScanEds;
using DeviceNetEDS::ScanResult;

namespace {

const EntryMap& Device(const ScanResult& r) { return r.fixed[DeviceNetEDS::kDeviceSection]; }

std::string DeviceValue(const std::string& text, const std::string& key) {
    ScanResult r = ScanEds(text);
    auto it = Device(r).find(key);
    return it == Device(r).end() ? std::string("<missing>") : it->second;
}

}  // namespace

TEST(EdsScanner, ValueRules) {
    struct Case {
        const char* name;
        std::string body;  // text after "[Device]\n"
        std::string key;
        std::string value;  // expected stored value
    };
    const Case cases[] = {
        {"blanks outside quotes dropped", "  Vend Code =  2 8 3 ;", "VendCode", "283"},
        {"quotes kept around text", "VendName = \"Acme Ltd\";", "VendName", "\"Acme Ltd\""},
        {"adjacent strings joined over blanks", "K = \"ab\"   \"cd\";", "K", "\"abcd\""},
        {"adjacent strings joined over line ends", "K = \"ab\"\r\n\t\"cd\";", "K", "\"abcd\""},
        {"adjacent strings joined over a comment", "K = \"ab\" $ note \"x\"\r\n \"cd\";", "K", "\"abcd\""},
        {"escaped quote is a plain quote", "K = \"a\\\"b\";", "K", "\"a\"b\""},
        {"escaped backslash", "K = \"a\\\\b\";", "K", "\"a\\b\""},
        {"escape n gives CR LF", "K = \"a\\nb\";", "K", "\"a\r\nb\""},
        {"escape t gives TAB", "K = \"a\\tb\";", "K", "\"a\tb\""},
        {"other escapes lose the backslash", "K = \"a\\qb\";", "K", "\"aqb\""},
        {"CR LF inside quotes stores CR CR LF", "K = \"a\r\nb\";", "K", "\"a\r\r\nb\""},
        {"blanks inside quotes kept", "K = \" a  b \";", "K", "\" a  b \""},
        {"comment between number and semicolon", "K = 12 $ twelve\r\n ;", "K", "12"},
        {"comment in the middle of a value", "K = 1$x\n2;", "K", "12"},
        {"dollar inside quotes is text", "K = \"a$b\";", "K", "\"a$b\""},
        {"semicolon inside quotes is text", "K = \"a;b\";", "K", "\"a;b\""},
        {"equals inside quotes is text", "K = \"a=b\";", "K", "\"a=b\""},
        {"unquoted equals dropped", "K = a=b;", "K", "ab"},
        {"brackets inside quotes are text", "K = \"a[b]\";", "K", "\"a[b]\""},
        {"closing bracket outside a header is text", "K = a]b;", "K", "a]b"},
        {"quoted key keeps its quotes, not its blanks", "\"K 1\" = 1;", "\"K1\"", "1"},
        {"escape inside a quoted key", "\"K\\\"\" = 1;", "\"K\"\"", "1"},
        {"entry runs on without semicolon", "K = 1,\r\n 2,\r\n L = 3;", "K", "1,2,L3"},
        {"later key replaces earlier", "K = 1; K = 2;", "K", "2"},
        {"key is case sensitive", "k = 1; K = 2;", "k", "1"},
        {"empty value", "K = ;", "K", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DeviceValue("[Device]\n" + c.body, c.key), c.value) << c.name;
    }
}

TEST(EdsScanner, CommentInsideHeaderAndKey) {
    ScanResult r = ScanEds("[Dev$ comment\nice]\nVe$x\nndCode = 1;");
    EXPECT_EQ(Device(r).at("VendCode"), "1");
}

TEST(EdsScanner, TextOutsideSectionsIsIgnored) {
    ScanResult r = ScanEds("VendCode = 9; garbage;\n[Device]\nVendCode = 1;\nProdCode = 2; trailing = 5");
    EXPECT_TRUE(r.fixed[DeviceNetEDS::kFileSection].empty());
    EXPECT_EQ(Device(r).size(), 2u);
    EXPECT_EQ(Device(r).at("VendCode"), "1");
    EXPECT_EQ(Device(r).count("trailing"), 0u);
}

TEST(EdsScanner, HeadersWithBlanksOrLowerCaseAreOtherSections) {
    ScanResult r = ScanEds("[ Device ]\nA = 1;\n[device]\nB = 2;\n[Device]\nC = 3;");
    EXPECT_EQ(Device(r).size(), 1u);
    EXPECT_EQ(Device(r).at("C"), "3");
    ASSERT_EQ(r.otherIndex.size(), 2u);
    EXPECT_EQ(r.otherIndex.at(" Device "), 8);
    EXPECT_EQ(r.otherIndex.at("device"), 9);
    EXPECT_EQ(r.others.at(8).at("A"), "1");
    EXPECT_EQ(r.others.at(9).at("B"), "2");
    EXPECT_EQ(r.otherCounter, 2);
}

TEST(EdsScanner, RepeatedInterpretedSectionsMerge) {
    ScanResult r = ScanEds("[Params]\nParam1 = 1;\nX = 1;\n[Device]\nA = 1;\n[Params]\nParam2 = 2;\nX = 2;");
    const EntryMap& params = r.fixed[DeviceNetEDS::kParamsSection];
    EXPECT_EQ(params.size(), 3u);
    EXPECT_EQ(params.at("Param1"), "1");
    EXPECT_EQ(params.at("Param2"), "2");
    EXPECT_EQ(params.at("X"), "2");
}

TEST(EdsScanner, RepeatedOtherSectionsAreRenumbered) {
    ScanResult r = ScanEds("[Vendor]\nA = 1;\n[Other]\nO = 1;\n[Vendor]\nB = 2;");
    ASSERT_EQ(r.otherIndex.size(), 2u);
    EXPECT_EQ(r.otherIndex.at("Vendor"), 10);
    EXPECT_EQ(r.otherIndex.at("Other"), 9);
    EXPECT_EQ(r.otherCounter, 3);
    // The entries of the first occurrence went with its number.
    EXPECT_EQ(r.others.count(8), 0u);
    EXPECT_EQ(r.others.at(10).size(), 1u);
    EXPECT_EQ(r.others.at(10).at("B"), "2");
}

TEST(EdsScanner, EntryOpenAcrossHeaderLandsInNewSection) {
    // Entries end only at ';': a key begun in one section is stored in the section current at
    // the semicolon.
    ScanResult r = ScanEds("[File]\nK = 1\n[Device]\n;");
    EXPECT_TRUE(r.fixed[DeviceNetEDS::kFileSection].empty());
    EXPECT_EQ(Device(r).at("K"), "1");
}

TEST(EdsScanner, LoneQuoteSwallowsTheRest) {
    ScanResult r = ScanEds("[Device]\nA = \"open; B = 2;\n[File]\nC = 3;");
    EXPECT_TRUE(Device(r).empty());
    EXPECT_TRUE(r.fixed[DeviceNetEDS::kFileSection].empty());
}

TEST(EdsScanner, BytesOfChineseTextPassThrough) {
    // UTF-8 bytes of "设备" do not collide with any special byte.
    EXPECT_EQ(DeviceValue("[Device]\nVendName = \"\xE8\xAE\xBE\xE5\xA4\x87\";", "VendName"),
              "\"\xE8\xAE\xBE\xE5\xA4\x87\"");
}

TEST(EdsFileLoad, TitleRules) {
    struct Case {
        const char* path;
        const char* title;
    };
    const Case cases[] = {
        {"/tmp/x/Motor Drive.eds", "Motor Drive"},
        {"C:\\eds\\Motor.v2.EDS", "Motor.v2"},
        {"plain.eds", "plain"},
        {"/tmp/x/noext", ""},
        {"/tmp/x.d/noext", ""},
    };
    for (const Case& c : cases) {
        CEDSFile doc;
        EXPECT_EQ(doc.LoadFromMemory("", c.path), 1);
        EXPECT_EQ(doc.Title(), c.title) << c.path;
        EXPECT_EQ(doc.Path(), c.path);
    }
}
