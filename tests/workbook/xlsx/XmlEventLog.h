// Records the XML scanner's events as text: "+name[a=v,...]{text}" for a
// tag that begins and "-" for one that ends, so tests compare scans as strings.
#pragma once

#include "workbook/xlsx/XmlScanner.h"

#include <span>
#include <string>
#include <string_view>

namespace tbtest {

class TEventLog : public workbook::TXmlScanEvents {
public:
    std::string Log;
    void TagBegins(std::string_view name, std::span<const workbook::TXmlScannedAttribute> attributes,
                   std::string_view text) override
    {
        Log += "+" + std::string(name) + "[";
        for (const auto& a : attributes) Log += std::string(a.Name) + "=" + std::string(a.Value) + ",";
        Log += "]{" + std::string(text) + "}";
    }
    void TagEnds() override { Log += "-"; }
};

}  // namespace tbtest
