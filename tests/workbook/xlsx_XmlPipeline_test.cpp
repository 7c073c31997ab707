// Scanning a part as it arrives piece by piece, and scanning a zip entry
// while a worker inflates it, report what a scan of the whole part reports.
#include "workbook/xlsx/XmlPartPipeline.h"
#include "XmlEventLog.h"
#include "workbook/xlsx/ZipWriter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace workbook;

using tbtest::TEventLog;

// The log of a whole scan, with the message of its error, if any.
template <class Scan>
std::string Logged(Scan scan) {
    TEventLog log;
    try {
        scan(log);
    } catch (const std::exception& e) {
        log.Log += std::string("!") + e.what();
    }
    return log.Log;
}

std::string Whole(std::string_view xml) {
    return Logged([&](TEventLog& log) { ScanXml(xml, log); });
}

// The bytes arrive `step` at a time; a scanner sees all that arrived so far.
std::string InPieces(std::string_view xml, std::size_t step) {
    return Logged([&](TEventLog& log) {
        TXmlScanner scanner(log);
        for (std::size_t got = 0; got < xml.size(); got += step) scanner.Scan(xml.substr(0, got), false);
        scanner.Scan(xml, true);
    });
}

const std::vector<std::string> kParts = {
    "<?xml version=\"1.0\"?>\n<a><b/><c x=\"1\"/></a>",
    "<t> a b \r\n</t><t xml:space=\"preserve\"> a </t>",
    "<f ref=\"a>b/c\"/><f ref='a>b/c'/><r Target='xl/a.xml' Id=\"x'y\"/>",
    "<row r=\"1\" s=\"\" x14ac:dyDescent=\"0.25\" spans=\"1:2\"/><c\n r=\"A1\"\tt = \"s\"\r\n/>",
    "<!-- <x> --><?mso-application progid=\"a\"?><!DOCTYPE a><a>1<!-- c -->2</a>",
    "<t><![CDATA[a<b>&c]]></t><t>x<![CDATA[Hello]]>y<!-- z -->w</t>",
    "<a></a></b><c/>",
    "<a><b x=\"1",
    "<a>text",
    "<!-- open",
    "<t>x<![CDATA[never closed",
    "<a/b c=\"1\"/d><e/ f/>",
    "<sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>&#21830;</t></is></c></row></sheetData>",
    "<<<>>><a>< / ></a>",
};

TEST(ScanXmlInPieces, every_split_reports_what_the_whole_part_reports) {
    for (const std::string& xml : kParts)
        for (std::size_t step = 1; step <= xml.size(); ++step)
            EXPECT_EQ(InPieces(xml, step), Whole(xml)) << xml << " in pieces of " << step;
}

std::string Zip(const std::string& name, const std::string& bytes) {
    std::string zip;
    TZipWriter writer([&zip](const void* data, std::size_t size) { zip.append(static_cast<const char*>(data), size); });
    writer.Add(name, bytes);
    writer.Finish();
    return zip;
}

std::string Pipelined(const TZipContainer& zip, std::size_t chunk) {
    return Logged([&](TEventLog& log) { ScanZipEntry(zip, 0, log, {.PipelinedFrom = 0, .Chunk = chunk}); });
}

std::string BigSheet(int rows) {
    std::string xml = "<worksheet><sheetData>";
    for (int r = 1; r <= rows; ++r)
        xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\" t=\"inlineStr\"><is><t>x" +
               std::to_string(r) + "</t></is></c><c r=\"B" + std::to_string(r) + "\"><v>" + std::to_string(r * 0.5) +
               "</v></c></row>";
    return xml + "</sheetData></worksheet>";
}

TEST(ScanZipEntry, a_worker_inflating_in_chunks_gives_the_events_of_the_whole_part) {
    for (const std::string& xml : kParts) {
        const TZipContainer zip(Zip("xl/worksheets/sheet1.xml", xml));
        for (const std::size_t chunk : {1, 3, 64})
            EXPECT_EQ(Pipelined(zip, chunk), Whole(xml)) << xml << " in chunks of " << chunk;
    }
    const std::string big = BigSheet(3000);
    const TZipContainer zip(Zip("xl/worksheets/sheet1.xml", big));
    EXPECT_EQ(Pipelined(zip, 1000), Whole(big));
    TEventLog log;
    ScanZipEntry(zip, 0, log);  // below the size a worker is used for
    EXPECT_EQ(log.Log, Whole(big));
}

// Damages the first entry's data in the middle: inflating fails or the checksum differs.
std::string Damaged(std::string zip) {
    const std::size_t header = zip.find("PK\3\4");
    const auto field = [&](std::size_t at) {
        return static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8;
    };
    const std::size_t data = header + 30 + field(header + 26) + field(header + 28);
    const std::size_t end = zip.find("PK\1\2");
    for (std::size_t i = data + (end - data) / 2; i < data + (end - data) / 2 + 40; ++i) zip[i] = char(zip[i] ^ 0x5A);
    return zip;
}

TEST(ScanZipEntry, a_damaged_entry_fails_as_damaged_even_after_the_events_failed) {
    // The tags fail at once ("XML level < 0"), the damage shows only at the end.
    const std::string xml = "</a>" + BigSheet(3000);
    const TZipContainer zip(Damaged(Zip("xl/worksheets/sheet1.xml", xml)));
    const std::string log = Pipelined(zip, 500);
    EXPECT_NE(log.find("!Damaged zip entry: xl/worksheets/sheet1.xml"), std::string::npos) << log;
    EXPECT_EQ(Logged([&](TEventLog& l) { ScanZipEntry(zip, 0, l); }).rfind("!Damaged zip entry: ", 0), 0u);
}

class TThrowingEvents : public TEventLog {
public:
    int Left = 100;
    void TagEnds() override {
        if (--Left == 0) throw std::runtime_error("handler failed");
    }
};

TEST(ScanZipEntry, an_error_of_the_events_stops_the_scan_and_comes_back) {
    const TZipContainer zip(Zip("xl/worksheets/sheet1.xml", BigSheet(3000)));
    TThrowingEvents events;
    try {
        ScanZipEntry(zip, 0, events, {.PipelinedFrom = 0, .Chunk = 100});
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "handler failed");
    }
    const TZipContainer damaged(Damaged(Zip("xl/worksheets/sheet1.xml", BigSheet(3000))));
    TThrowingEvents later;
    try {
        ScanZipEntry(damaged, 0, later, {.PipelinedFrom = 0, .Chunk = 100});
        FAIL() << "no error";
    } catch (const EZipError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Damaged zip entry: ", 0), 0u);
    }
}

}  // namespace
