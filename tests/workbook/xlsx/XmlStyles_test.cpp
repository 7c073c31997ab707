#include "workbook/xlsx/XmlStyles.h"

#include <gtest/gtest.h>

#include "workbook/xlsx/XmlRelations.h"

namespace {

using namespace workbook;

// Parses one element and keeps its tree alive for the test.
class Element {
public:
    explicit Element(std::string_view xml) { FTree.Parse(xml, "xl/styles.xml"); }
    const TExXMLTag& operator*() const { return *FTree.Root().FTags.at(0); }

private:
    TXmlTree FTree;
};

TEST(XmlColor, kinds_in_order_of_precedence)
{
    EXPECT_EQ(ReadXmlColor(nullptr), TXmlColor{});
    EXPECT_EQ(ReadXmlColor(&*Element("<color auto=\"1\" rgb=\"FF000000\"/>")).Kind, xcAutomatic);
    EXPECT_EQ(ReadXmlColor(&*Element("<color indexed=\"64\" rgb=\"FF000000\"/>")), (TXmlColor{xcIndexed, 64, 0}));
    EXPECT_EQ(ReadXmlColor(&*Element("<color rgb=\"FFFF0000\"/>")), (TXmlColor{xcRgb, 0xFFFF0000, 0}));
    EXPECT_EQ(ReadXmlColor(&*Element("<color theme=\"1\" tint=\"-0.25\"/>")), (TXmlColor{xcTheme, 0, -0.25}));
    EXPECT_EQ(ReadXmlColor(&*Element("<color/>")).Kind, xcUnassigned);
}

TEST(XmlStyleLists, positions_and_defaults)
{
    EXPECT_EQ(PatternTypeIndex("solid"), 1);
    EXPECT_EQ(PatternTypeIndex("gray0625"), 18);
    EXPECT_EQ(PatternTypeIndex("Solid"), 0);
    EXPECT_EQ(BorderStyleIndex("thin"), 1);
    EXPECT_EQ(BorderStyleIndex("slantedDashDot"), 13);
    EXPECT_EQ(BorderStyleIndex(""), 0);
    EXPECT_EQ(HorizontalAlignmentIndex("centerContinuous"), 6);
    EXPECT_EQ(HorizontalAlignmentIndex("middle"), 0);
    EXPECT_EQ(VerticalAlignmentIndex("top"), 0);
    EXPECT_EQ(VerticalAlignmentIndex(""), 2);
}

TEST(XmlFill, pattern_fill_with_colours)
{
    const TXmlFill fill = ReadXmlFill(
        *Element("<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FFFFFF00\"/><bgColor indexed=\"64\"/>"
                 "</patternFill></fill>"));
    EXPECT_FALSE(fill.Gradient);
    EXPECT_EQ(fill.PatternType, 1);
    EXPECT_EQ(fill.Foreground, (TXmlColor{xcRgb, 0xFFFFFF00, 0}));
    EXPECT_EQ(fill.Background, (TXmlColor{xcIndexed, 64, 0}));
}

TEST(XmlFill, gradient_fill_with_stops)
{
    const TXmlFill fill = ReadXmlFill(*Element(
        "<fill><gradientFill type=\"path\" degree=\"90\" left=\"0.5\"><stop position=\"0\"><color theme=\"0\"/>"
        "</stop><stop position=\"1\"><color rgb=\"FF000000\"/></stop></gradientFill></fill>"));
    EXPECT_TRUE(fill.Gradient);
    EXPECT_TRUE(fill.Path);
    EXPECT_EQ(fill.Degree, 90);
    EXPECT_EQ(fill.Left, 0.5);
    ASSERT_EQ(fill.Stops.size(), 2u);
    EXPECT_EQ(fill.Stops[1].Position, 1);
    EXPECT_EQ(fill.Stops[1].Color.Kind, xcRgb);
    EXPECT_FALSE(ReadXmlFill(*Element("<fill><gradientFill/></fill>")).Path);
}

TEST(XmlFill, fill_without_pattern_or_gradient_fails)
{
    EXPECT_THROW(ReadXmlFill(*Element("<fill/>")), EXmlError);
    try {
        ReadXmlFill(*Element("<fill><other/></fill>"));
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "Unknown fill type");
    }
    EXPECT_THROW(ReadXmlFill(*Element("<fill><gradientFill><stop/></gradientFill></fill>")), EXmlError);
}

TEST(XmlBorder, sides_styles_and_options)
{
    const TXmlBorder border = ReadXmlBorder(
        *Element("<border diagonalUp=\"1\" outline=\"true\"><left style=\"thin\"><color indexed=\"8\"/></left>"
                 "<right/><diagonal style=\"double\"/></border>"));
    EXPECT_EQ(border.Options, 2 | 4);
    EXPECT_EQ(border.Lines[bsLeft].Style, 1);
    EXPECT_EQ(border.Lines[bsLeft].Color, (TXmlColor{xcIndexed, 8, 0}));
    EXPECT_EQ(border.Lines[bsRight].Style, 0);
    EXPECT_EQ(border.Lines[bsDiagonal].Style, 6);
    EXPECT_EQ(border.Lines[bsTop].Color.Kind, xcUnassigned);
}

TEST(XmlFont, properties_and_defaults)
{
    const TXmlFont font = ReadXmlFont(
        *Element("<font><b/><i val=\"0\"/><strike val=\"1\"/><sz val=\"11\"/><color theme=\"1\"/>"
                 "<name val=\"&#x5B8B;&#x4F53;\"/><family val=\"2\"/><charset val=\"134\"/><scheme val=\"Minor\"/>"
                 "<u/><vertAlign val=\"superscript\"/></font>"));
    EXPECT_TRUE(font.Bold);
    EXPECT_FALSE(font.Italic);
    EXPECT_TRUE(font.StrikeOut);
    EXPECT_EQ(font.Height20, 220);
    EXPECT_EQ(font.Name, u"宋体");
    EXPECT_EQ(font.Family, 2);
    EXPECT_EQ(font.Charset, 134);
    EXPECT_EQ(font.Scheme, 1);
    EXPECT_EQ(font.Underline, 1);
    EXPECT_EQ(font.VertAlign, 1);
    EXPECT_EQ(font.Color.Kind, xcTheme);
    const TXmlFont plain = ReadXmlFont(*Element("<font/>"));
    EXPECT_EQ(plain.Name, u"Arial");
    EXPECT_EQ(plain.Height20, 160);
    EXPECT_EQ(plain.Underline, 0);
}

TEST(XmlFont, underline_kinds_read_whatever_their_case)
{
    EXPECT_EQ(ReadXmlFont(*Element("<font><u val=\"double\"/></font>")).Underline, 2);
    EXPECT_EQ(ReadXmlFont(*Element("<font><u val=\"singleAccounting\"/></font>")).Underline, 3);
    EXPECT_EQ(ReadXmlFont(*Element("<font><u val=\"doubleAccounting\"/></font>")).Underline, 4);
    EXPECT_EQ(ReadXmlFont(*Element("<font><u val=\"none\"/></font>")).Underline, 1);
}

TEST(XmlFont, rich_run_properties_take_the_name_from_rfont)
{
    const Element rPr("<rPr><rFont val=\"Calibri\"/><sz val=\"10.5\"/></rPr>");
    EXPECT_EQ(ReadXmlFont(*rPr).Name, u"Calibri");
    EXPECT_EQ(ReadXmlFont(*rPr).Height20, 210);
    EXPECT_THROW(ReadXmlFont(*Element("<rPr><rFont/></rPr>")), EXmlError);
}

TEST(XmlCellFormat, ids_flags_alignment_and_protection)
{
    const TXmlCellFormat xf = ReadXmlCellFormat(
        *Element("<xf numFmtId=\"14\" fontId=\"2\" fillId=\"3\" borderId=\"1\" xfId=\"0\" applyNumberFormat=\"1\" "
                 "applyAlignment=\"1\" quotePrefix=\"1\"><alignment horizontal=\"center\" vertical=\"top\" "
                 "wrapText=\"1\" indent=\"2\" textRotation=\"90\"/><protection locked=\"0\" hidden=\"1\"/></xf>"));
    EXPECT_EQ(xf.NumFmtId, 14);
    EXPECT_EQ(xf.FontId, 2);
    EXPECT_EQ(xf.FillId, 3);
    EXPECT_EQ(xf.BorderId, 1);
    EXPECT_EQ(xf.ApplyFlags, 1 | 16);
    EXPECT_EQ(xf.Horizontal, 2);
    EXPECT_EQ(xf.Vertical, 0);
    EXPECT_EQ(xf.AlignOptions, 1);
    EXPECT_EQ(xf.Indent, 2);
    EXPECT_EQ(xf.TextRotation, 90);
    EXPECT_FALSE(xf.Locked);
    EXPECT_TRUE(xf.Hidden);
    EXPECT_TRUE(xf.QuotePrefix);
    const TXmlCellFormat plain = ReadXmlCellFormat(*Element("<xf/>"));
    EXPECT_EQ(plain.Vertical, 2);
    EXPECT_TRUE(plain.Locked);
}

TEST(XmlRelations, types_split_from_their_namespace)
{
    const TXMLRelation sheet =
        ReadRelation(*Element("<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                              "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/>"));
    EXPECT_EQ(sheet.FId, "rId3");
    EXPECT_EQ(sheet.FRelType, "worksheet");
    EXPECT_EQ(sheet.FNamespace, rnOfficeDocument);
    EXPECT_EQ(sheet.FTarget, "worksheets/sheet1.xml");
    EXPECT_EQ(sheet.FTargetMode, tmNone);
    EXPECT_EQ(sheet.FWorkbookRel, 19);
    EXPECT_TRUE(IsRegeneratedWorkbookPart(sheet.FRelType));
    const TXMLRelation vba =
        ReadRelation(*Element("<Relationship Id=\"rId9\" Type=\"http://schemas.microsoft.com/office/2006/relationships/"
                              "vbaProject\" Target=\"vbaProject.bin\"/>"));
    EXPECT_EQ(vba.FNamespace, rnOffice2006);
    EXPECT_EQ(vba.FWorkbookRel, 20);
    EXPECT_EQ(RelationNamespaceText(vba.FNamespace), "http://schemas.microsoft.com/office/2006/relationships/");
}

TEST(XmlRelations, strict_and_newer_types_are_kept)
{
    const TXMLRelation theme = ReadRelation(
        *Element("<Relationship Id=\"rId1\" Type=\"http://purl.oclc.org/ooxml/officeDocument/relationships/theme\" "
                 "Target=\"theme/theme1.xml\"/>"));
    EXPECT_EQ(theme.FNamespace, rnStrict);
    EXPECT_EQ(theme.FWorkbookRel, 12);
    const TXMLRelation rich = ReadRelation(
        *Element("<Relationship Id=\"rId7\" Type=\"http://schemas.microsoft.com/office/2017/06/relationships/"
                 "rdRichValue\" Target=\"richData/rdrichvalue.xml\" TargetMode=\"Internal\"/>"));
    EXPECT_EQ(rich.FNamespace, rnNone);
    EXPECT_EQ(rich.FWorkbookRel, 0);
    EXPECT_EQ(rich.FTargetMode, tmInternal);
}

TEST(XmlRelations, missing_values_and_unknown_target_modes_fail)
{
    try {
        ReadRelation(*Element("<Relationship Id=\"rId1\" Target=\"a.xml\"/>"));
        FAIL();
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "Required value missing: Type");
    }
    try {
        ReadRelation(*Element("<Relationship Id=\"r\" Type=\"t\" Target=\"a\" TargetMode=\"external\"/>"));
        FAIL();
    } catch (const EXmlError& e) {
        EXPECT_STREQ(e.what(), "Unknown Relation TargetMode");
    }
}

TEST(XmlRelations, list_is_sorted_and_searched_by_id)
{
    TXMLRelations list;
    list.Add({.FId = "rId2", .FRelType = "theme"});
    list.Add({.FId = "rId1", .FRelType = "styles"});
    list.SortById();
    EXPECT_EQ(list.Items()[0].FId, "rId1");
    ASSERT_NE(list.Find("rId2"), nullptr);
    EXPECT_EQ(list.Find("rId2")->FRelType, "theme");
    EXPECT_EQ(list.Find("rId3"), nullptr);
}

}  // namespace
