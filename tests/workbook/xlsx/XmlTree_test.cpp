#include "workbook/xlsx/XmlTree.h"
#include "XmlEventLog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace workbook;

using tbtest::TEventLog;

std::string Events(std::string_view xml)
{
    TEventLog log;
    ScanXml(xml, log);
    return log.Log;
}

TEST(ScanXml, declaration_gives_no_event_and_empty_elements_end_at_once)
{
    EXPECT_EQ(Events("<?xml version=\"1.0\"?>\n<a><b/><c x=\"1\"/></a>"), "+a[]{}+b[]{}-+c[x=1,]{}--");
}

TEST(ScanXml, text_is_trimmed_unless_the_tag_preserves_space)
{
    EXPECT_EQ(Events("<t> a b \r\n</t>"), "+t[]{a b}-");
    EXPECT_EQ(Events("<t xml:space=\"preserve\"> a </t>"), "+t[xml:space=preserve,]{ a }-");
    EXPECT_EQ(Events("<si xml:space=\"preserve\"><t> a </t></si>"), "+si[xml:space=preserve,]{}+t[]{a}--");
}

TEST(ScanXml, text_stays_raw_for_later_decoding) { EXPECT_EQ(Events("<t>a&amp;b&lt;</t>"), "+t[]{a&amp;b&lt;}-"); }

TEST(ScanXml, quoted_greater_than_and_slash_stay_in_values)
{
    EXPECT_EQ(Events("<f ref=\"a>b/c\"/>"), "+f[ref=a>b/c,]{}-");
    EXPECT_EQ(Events("<f ref='a>b/c'/>"), "+f[ref=a>b/c,]{}-");
    EXPECT_EQ(Events("<r Target='xl/a.xml' Id=\"x'y\"/>"), "+r[Target=xl/a.xml,Id=x'y,]{}-");
}

TEST(ScanXml, attributes_with_empty_values_or_x14ac_names_are_dropped)
{
    EXPECT_EQ(Events("<row r=\"1\" s=\"\" x14ac:dyDescent=\"0.25\" spans=\"1:2\"/>"), "+row[r=1,spans=1:2,]{}-");
}

TEST(ScanXml, any_whitespace_separates_attributes)
{
    EXPECT_EQ(Events("<c\n r=\"A1\"\tt = \"s\"\r\n/>"), "+c[r=A1,t=s,]{}-");
}

TEST(ScanXml, comments_and_processing_instructions_are_skipped)
{
    EXPECT_EQ(Events("<!-- <x> --><?mso-application progid=\"a\"?><!DOCTYPE a><a>1<!-- c -->2</a>"), "+a[]{12}-");
}

TEST(ScanXml, cdata_joins_the_text_with_markup_escaped)
{
    EXPECT_EQ(Events("<t><![CDATA[a<b>&c]]></t>"), "+t[]{a&lt;b&gt;&amp;c}-");
    EXPECT_EQ(Events("<t>x<![CDATA[Hello]]>y</t>"), "+t[]{xHelloy}-");
}

TEST(ScanXml, end_tag_without_start_fails)
{
    try {
        Events("<a></a></b>");
        FAIL() << "no error";
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "XML level < 0");
    }
}

TEST(ScanXml, truncated_parts_end_quietly)
{
    EXPECT_EQ(Events("<a><b x=\"1"), "+a[]{}");
    EXPECT_EQ(Events("<a>text"), "+a[]{text}");
    EXPECT_EQ(Events(""), "");
    EXPECT_EQ(Events("<!-- open"), "");
}

TEST(XmlTree, elements_and_attributes_get_table_numbers)
{
    TXmlTree tree;
    tree.Parse("<c r=\"B1\" t=\"s\" foo=\"1\"><v>3</v><unknown/></c>", "sheet1.xml");
    ASSERT_EQ(tree.Root().FName, "PARENT");
    ASSERT_EQ(tree.Root().FTags.size(), 1u);
    const TExXMLTag& c = *tree.Root().FTags[0];
    EXPECT_EQ(c.FId, xe_c);
    EXPECT_EQ(c.FParent, &tree.Root());
    EXPECT_EQ(c.Raw(xa_r), "B1");
    EXPECT_EQ(c.Raw(xa_t), "s");
    EXPECT_EQ(c.FValues.size(), 2u);  // foo is not in the table
    ASSERT_NE(c.Child(xe_v), nullptr);
    EXPECT_EQ(c.Child(xe_v)->FText, "3");
    EXPECT_EQ(c.FTags[1]->FId, kUnknownElement);
    EXPECT_EQ(c.FTags[1]->FName, "unknown");
}

TEST(XmlTree, name_lookup_is_case_sensitive)
{
    EXPECT_EQ(ElementId("Relationship"), xe_Relationship);
    EXPECT_EQ(ElementId("relationship"), kUnknownElement);
    EXPECT_EQ(AttributeId("Id"), xa_Id);
    EXPECT_EQ(AttributeId("id"), xa_id);
    EXPECT_EQ(AttributeId("ID"), -1);
    EXPECT_EQ(ElementName(xe_xf), "xf");
    EXPECT_EQ(AttributeName(xa_zoomScaleSheetLayoutView), "zoomScaleSheetLayoutView");
    EXPECT_EQ(AttributeName(xa_r_id), "r:id");
}

TEST(XmlTree, duplicate_attribute_names_the_part_and_enclosing_tag)
{
    TXmlTree tree;
    try {
        tree.Parse("<row><c r=\"A1\" r=\"A2\"/></row>", "xl/worksheets/sheet1.xml");
        FAIL() << "no error";
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "Duplicate tag value: r; Doc=xl/worksheets/sheet1.xml; Tag=row");
    }
}

TEST(XmlTree, required_value_missing_names_the_attribute)
{
    TXmlTree tree;
    tree.Parse("<row/>", "s");
    try {
        tree.Root().FTags[0]->Required(xa_r);
        FAIL() << "no error";
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "Required value missing: r");
    }
}

TEST(XmlTree, typed_values_with_defaults)
{
    TXmlTree tree;
    tree.Parse("<row r=\"7\" ht=\"15.5\" hidden=\"true\"/>", "s");
    const TExXMLTag& row = *tree.Root().FTags[0];
    EXPECT_EQ(row.AsInt(xa_r), 7);
    EXPECT_EQ(row.AsFloat(xa_ht, 12.75), 15.5);
    EXPECT_EQ(row.AsFloat(xa_customHeight, 12.75), 12.75);
    EXPECT_TRUE(row.AsBool(xa_hidden));
    EXPECT_EQ(row.AsInt(xa_outlineLevel), 0);
}

TEST(XmlTree, prefixed_sheet_elements_read_like_unprefixed_ones)
{
    TXmlTree tree;
    tree.Parse("<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
               "xmlns:o=\"urn:other\"><x:sheetData><x:c r=\"A1\"/><o:c/></x:sheetData></x:worksheet>",
               "s");
    const TExXMLTag& ws = *tree.Root().FTags[0];
    EXPECT_EQ(ws.FId, xe_worksheet);
    const TExXMLTag& data = *ws.FTags[0];
    EXPECT_EQ(data.FId, xe_sheetData);
    EXPECT_EQ(data.FTags[0]->FId, xe_c);
    EXPECT_EQ(data.FTags[0]->FName, "c");
    EXPECT_EQ(data.FTags[1]->FId, kUnknownElement);
    EXPECT_EQ(data.FTags[1]->FName, "o:c");
}

TEST(XmlTree, relationship_attributes_read_as_r_whatever_their_prefix)
{
    TXmlTree tree;
    tree.Parse("<sheets><sheet name=\"S\" xmlns:ns=\"http://schemas.openxmlformats.org/"
               "officeDocument/2006/relationships\" ns:id=\"rId3\" other:id=\"x\"/></sheets>",
               "s");
    const TExXMLTag& sheet = *tree.Root().FTags[0]->FTags[0];
    EXPECT_EQ(sheet.Raw(xa_r_id), "rId3");
    EXPECT_FALSE(sheet.Has(xa_id));
}

TEST(XmlTree, prefix_binding_ends_with_its_element)
{
    TXmlTree tree;
    tree.Parse("<a><b xmlns:x=\"http://purl.oclc.org/ooxml/spreadsheetml/main\"><x:row/></b>"
               "<x:row/></a>",
               "s");
    const TExXMLTag& a = *tree.Root().FTags[0];
    EXPECT_EQ(a.FTags[0]->FTags[0]->FId, xe_row);
    EXPECT_EQ(a.FTags[1]->FId, kUnknownElement);
}

TEST(XmlTree, rebuilt_xml_orders_attributes_by_table)
{
    TXmlTree tree;
    tree.Parse("<pageMargins top=\"0.75\" left=\"0.7\" foo=\"x\"/>"
               "<sheetViews><sheetView workbookViewId=\"0\" tabSelected=\"1\">"
               "<selection activeCell=\"A1\"/></sheetView></sheetViews>"
               "<t>a&amp;b</t><v ref='say \"hi\"'/>",
               "s");
    const auto& tags = tree.Root().FTags;
    EXPECT_EQ(tags[0]->AsXml(), "<pageMargins left=\"0.7\" top=\"0.75\"/>");
    EXPECT_EQ(tags[1]->AsXml(), "<sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\">"
                                "<selection activeCell=\"A1\"/></sheetView></sheetViews>");
    EXPECT_EQ(tags[2]->AsXml(), "<t>a&amp;b</t>");
    EXPECT_EQ(tags[3]->AsXml(), "<v ref=\"say &quot;hi&quot;\"/>");
    EXPECT_EQ(tags[1]->PlaceMarker(), "<sheetViews />");
}

TEST(XmlTree, decoded_text_and_values)
{
    TXmlTree tree;
    tree.Parse("<sheet name=\"A&amp;B\"/><t>&#x5907;&#x6CE8;</t>", "s");
    EXPECT_EQ(tree.Root().FTags[0]->DecodedValue(xa_name), u"A&B");
    EXPECT_EQ(tree.Root().FTags[0]->Raw(xa_name), "A&amp;B");
    EXPECT_EQ(tree.Root().FTags[1]->DecodedText(), u"备注");
}

// Answers done for cells and rows, as the sheet reader does.
class TCellCounter : public TXmlPartHandler {
public:
    int Cells = 0;
    std::size_t MostChildren = 0;
    void TagBegins(TExXMLTag& tag) override { ++Begun; }
    bool TagEnds(TExXMLTag& tag) override
    {
        if (tag.FParent) MostChildren = std::max(MostChildren, tag.FParent->FTags.size());
        if (tag.FId == xe_c) ++Cells;
        return tag.FId == xe_c || tag.FId == xe_row;
    }
    int Begun = 0;
};

TEST(XmlTree, done_answers_drop_collected_children)
{
    std::string xml = "<worksheet><sheetData>";
    for (int r = 1; r <= 100; ++r) {
        xml += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 0; c < 10; ++c) xml += "<c><v>1</v></c>";
        xml += "</row>";
    }
    xml += "</sheetData></worksheet>";
    TXmlTree tree;
    TCellCounter counter;
    tree.Parse(xml, "s", &counter);
    EXPECT_EQ(counter.Cells, 1000);
    EXPECT_EQ(counter.Begun, 2 + 100 + 2000);
    EXPECT_LE(counter.MostChildren, 1u);
    EXPECT_TRUE(tree.Root().FTags[0]->FTags[0]->FTags.empty());
}

TEST(XmlTree, end_tag_closes_the_current_tag_whatever_its_name)
{
    TXmlTree tree;
    tree.Parse("<a><b></a></b>", "s");
    const TExXMLTag& a = *tree.Root().FTags[0];
    EXPECT_EQ(a.FTags[0]->FName, "b");
    EXPECT_EQ(tree.Root().FTags.size(), 1u);
}

TEST(XmlTree, hostile_nesting_is_refused)
{
    std::string xml;
    for (int i = 0; i < 100000; ++i) xml += "<a>";
    TXmlTree tree;
    EXPECT_THROW(tree.Parse(xml, "s"), EXmlError);
}

}  // namespace
