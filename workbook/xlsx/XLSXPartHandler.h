// A part handler made of one function: called for each element as it ends,
// it answers whether the children collected so far may be dropped.
#pragma once

#include <functional>
#include <utility>

#include "workbook/xlsx/XmlTree.h"

namespace workbook {

class TXLSXPartHandler : public TXmlPartHandler {
public:
    explicit TXLSXPartHandler(std::function<bool(TExXMLTag&)> ends) : FEnds(std::move(ends)) {}
    bool TagEnds(TExXMLTag& tag) override { return FEnds(tag); }

private:
    std::function<bool(TExXMLTag&)> FEnds;
};

}  // namespace workbook
