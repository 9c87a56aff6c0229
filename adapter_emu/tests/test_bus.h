// The bus the tests run against.
#pragma once

#include <sstream>
#include <string>
#include <vector>

namespace emu_test {

inline const char* kTestBus = R"(<?xml version="1.0"?>
<bus>
  <slave mac="1" name="io">
    <identity vendor-id="1250" device-type="7" product-code="101" revision="1.2" serial="0x4E560001" product-name="IO Block"/>
    <poll input="4" output="2" inputs="counter"/>
  </slave>
  <slave mac="2">
    <identity vendor-id="1250" device-type="6" product-code="102" product-name="Sensor"/>
    <strobe input="1" inputs="constant" data="01"/>
  </slave>
  <slave mac="3">
    <identity vendor-id="1250" device-type="115" product-code="103" product-name="Analog"/>
    <cos input="4" output="4" inputs="loopback"/>
  </slave>
  <slave mac="4">
    <identity vendor-id="1250" device-type="2" product-code="104" revision="3.4" serial="7" product-name="Drive"/>
    <poll input="4" output="4" inputs="loopback"/>
    <parameter number="1" name="Accel" units="s" type="UINT" value="100" min="1" max="6000"/>
    <parameter number="2" name="Direction" type="USINT" value="0" min="0" max="2">
      <choice value="0" text="Forward"/>
      <choice value="2" text="Reverse"/>
    </parameter>
    <parameter number="3" name="Hours" type="UDINT" value="1234" settable="false"/>
    <parameter number="4" name="Offset" type="INT" value="-5" min="-500" max="500"/>
    <attribute class="0x64" instance="1" id="3" type="UINT" value="5" settable="true"/>
    <attribute class="0x64" instance="1" id="4" data="DE AD"/>
  </slave>
  <slave mac="5">
    <identity vendor-id="1250" device-type="27" product-code="105" product-name="Valves"/>
    <cyclic input="2" output="2" inputs="loopback"/>
    <fault type="silent" after="10"/>
  </slave>
  <slave mac="6">
    <identity vendor-id="1250" device-type="0" product-code="106" product-name="Idle one"/>
    <poll input="2" inputs="constant" data="E8 03"/>
    <fault type="idle"/>
  </slave>
  <slave mac="7">
    <identity vendor-id="1250" device-type="0" product-code="107" product-name="Gone"/>
    <poll input="1" output="1"/>
    <fault type="absent"/>
  </slave>
  <slave mac="8">
    <identity vendor-id="1250" device-type="0" product-code="108" product-name="Slow"/>
    <fault type="slow" delay="500"/>
  </slave>
  <slave mac="9">
    <identity vendor-id="1250" device-type="0" product-code="109" product-name="Wide"/>
    <poll input="200" output="200" inputs="loopback"/>
  </slave>
</bus>
)";

inline std::vector<uint8_t> Bytes(const std::string& hex) {
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    for (std::string b; in >> b;) out.push_back(static_cast<uint8_t>(std::stoul(b, nullptr, 16)));
    return out;
}

}  // namespace emu_test
